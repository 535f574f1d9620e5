// Field-by-field little-endian encoding of the settings record.
#include "puzzle/settings_record.h"

#include <algorithm>
#include <cstring>

#include "common/file_io.h"
#include "common/text_field.h"

namespace pavalo {
namespace {

// Walks every field in offset order with a codec that either writes or
// reads; one table serves both directions so they cannot drift apart.
template <class Codec, class Record>
void visitFields(Codec& c, Record& r) {
    c(r.spare0);
    c(r.pickerValue);
    c(r.pictureKind);
    c(r.picturePath);
    c(r.movieDataPath);
    c(r.spare788);
    for (auto& v : r.boxOpen) c(v);
    for (auto& v : r.boxRect) c(v);
    c(r.overviewRect);
    c(r.paletteRect);
    c(r.playSeconds);
    c(r.spare908);
    c(r.field936);
    c(r.previewRect);
    c(r.spare956);
    c(r.snapTolerance);
    c(r.assemblyOffsetX);
    c(r.assemblyOffsetY);
    c(r.zoomShift);
    c(r.puzzleState);
    c(r.spare980);
    for (auto& v : r.colourChoices) c(v);
    c(r.field1012);
    c(r.spare1016);
    c(r.field1048);
    c(r.field1052);
    c(r.field1056);
    c(r.currentTool);
    c(r.colourChoice4);
    c(r.rotationOption);
    c(r.spare1072);
    c(r.networkGame);
    for (auto& v : r.assistAllowed) c(v);
    c(r.networkSeed);
    c(r.columns);
    c(r.rows);
    c(r.pictureWidth);
    c(r.pictureHeight);
    c(r.field1256);
    c(r.spare1260);
}

struct Writer {
    uint8_t* out;
    size_t pos = 0;
    void operator()(uint32_t v) { storeU32(out + pos, v), pos += 4; }
    void operator()(int32_t v) { (*this)(uint32_t(v)); }
    void operator()(const StoredRect& r) {
        (*this)(r.left), (*this)(r.top), (*this)(r.right), (*this)(r.bottom);
    }
    template <size_t N>
    void operator()(const std::array<uint8_t, N>& a) { std::memcpy(out + pos, a.data(), N), pos += N; }
    template <size_t N>
    void operator()(const std::array<char, N>& a) { std::memcpy(out + pos, a.data(), N), pos += N; }
};

struct Reader {
    const uint8_t* in;
    size_t pos = 0;
    void operator()(uint32_t& v) { v = loadU32(in + pos), pos += 4; }
    void operator()(int32_t& v) { v = int32_t(loadU32(in + pos)), pos += 4; }
    void operator()(StoredRect& r) { (*this)(r.left), (*this)(r.top), (*this)(r.right), (*this)(r.bottom); }
    template <size_t N>
    void operator()(std::array<uint8_t, N>& a) { std::memcpy(a.data(), in + pos, N), pos += N; }
    template <size_t N>
    void operator()(std::array<char, N>& a) { std::memcpy(a.data(), in + pos, N), pos += N; }
};

constexpr int32_t kPreviewWidth = 200;

}  // namespace

std::string SettingsRecord::text(std::span<const char> field) { return fieldText(field); }

bool SettingsRecord::setText(std::span<char> field, std::string_view text) { return setFieldText(field, text); }

std::array<uint8_t, kSettingsRecordSize> SettingsRecord::encode() const {
    std::array<uint8_t, kSettingsRecordSize> bytes{};
    Writer w{bytes.data()};
    visitFields(w, *this);
    return bytes;
}

SettingsRecord SettingsRecord::decode(std::span<const uint8_t, kSettingsRecordSize> bytes) {
    SettingsRecord r;
    Reader rd{bytes.data()};
    visitFields(rd, r);
    return r;
}

void resetForNewPuzzle(SettingsRecord& record, uint32_t pickerValue, std::string_view picture,
                       int32_t playWidth, int32_t pictureWidth, int32_t pictureHeight) {
    SettingsRecord fresh;
    fresh.pictureKind = record.pictureKind;
    fresh.movieDataPath = record.movieDataPath;
    fresh.pickerValue = pickerValue;
    fresh.networkGame = 0;
    fresh.assistAllowed.fill(1);
    SettingsRecord::setText(fresh.picturePath, picture);
    fresh.puzzleState = kPuzzleStateNew;
    for (int i = 0; i < 4; ++i) {
        fresh.boxOpen[size_t(i)] = 0;
        int32_t at = 60 + 20 * i;
        fresh.boxRect[size_t(i)] = {at, at, at + 200, at + 200};
    }
    fresh.field936 = 1;
    fresh.field1012 = 1;
    fresh.field1048 = 1;
    fresh.field1256 = 1;
    fresh.field1052 = 5;
    fresh.field1056 = 5;
    fresh.currentTool = 0;
    int32_t previewHeight =
        pictureWidth > 0 ? int32_t(kPreviewWidth / (double(pictureWidth) / pictureHeight)) : kPreviewWidth;
    fresh.previewRect = {playWidth - 5 - kPreviewWidth, 5, playWidth - 5, 5 + previewHeight};
    record = fresh;
}

}  // namespace pavalo
