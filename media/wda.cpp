// WDA animations: checked loading, the row decoders, frame drawing with
// clipping, and conversion between pixel formats.
#include "media/wda.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/file_io.h"
#include "platform/platform.h"
#include "common/resources.h"

namespace pavalo {
namespace {

// Files beyond this are not animations the program could show.
constexpr size_t kMaxWdaBytes = size_t(512) << 20;

struct Run {
    uint8_t type = 0;
    uint32_t length = 0;
    size_t headerBytes = 0;  // control byte and length byte
};

// Reads the control byte (and length byte) at codes[i]; false when the
// length byte is missing or the length form is 3.
inline bool readRun(std::span<const uint8_t> codes, size_t i, Run& run) {
    const uint8_t c = codes[i];
    run.type = c & 3;
    switch ((c >> 2) & 3) {
        case 0:
            run.length = c >> 4;
            run.headerBytes = 1;
            return true;
        case 1:
            if (i + 1 >= codes.size()) return false;
            run.length = codes[i + 1];
            run.headerBytes = 2;
            return true;
        case 2:
            if (i + 1 >= codes.size()) return false;
            run.length = uint32_t(c >> 4) * 256 + codes[i + 1];
            run.headerBytes = 2;
            return true;
        default:
            return false;
    }
}

// The part [begin, end) of a run at `pos` of `length` pixels that falls in a
// line of `width` pixels; begin >= end when none does.
struct Span {
    int64_t begin, end;
};
inline Span clipRun(int64_t pos, uint32_t length, int64_t width) {
    return {std::max<int64_t>(pos, 0), std::min<int64_t>(pos + length, width)};
}

template <int Bpp>
WdaRowStatus decodeRowWide(std::span<uint8_t> dest, int64_t x, std::span<const uint8_t> codes) {
    const int64_t width = int64_t(dest.size() / Bpp);
    uint8_t* const line = dest.data();
    int64_t pos = x;
    size_t i = 0;
    Run run;
    while (i < codes.size()) {
        if (!readRun(codes, i, run)) return WdaRowStatus::Damaged;
        i += run.headerBytes;
        if (run.type == kWdaFillRun) {
            if (codes.size() - i < size_t(Bpp)) return WdaRowStatus::Damaged;
            const uint8_t* pixel = codes.data() + i;
            i += Bpp;
            const Span s = clipRun(pos, run.length, width);
            for (int64_t p = s.begin; p < s.end; ++p) std::memcpy(line + p * Bpp, pixel, Bpp);
        } else if (run.type == kWdaLiteralRun) {
            const size_t bytes = size_t(run.length) * Bpp;
            if (codes.size() - i < bytes) return WdaRowStatus::Damaged;
            const Span s = clipRun(pos, run.length, width);
            if (s.begin < s.end)
                std::memcpy(line + s.begin * Bpp, codes.data() + i + (s.begin - pos) * Bpp,
                            size_t(s.end - s.begin) * Bpp);
            i += bytes;
        }
        pos += run.length;
    }
    return WdaRowStatus::Ok;
}

// --- Pixel conversions ---------------------------------------------------

struct Rgb {
    uint8_t r, g, b;
};

inline Rgb pixelToRgb(int32_t code, const uint8_t* p, const uint8_t* palette) {
    switch (code) {
        case kWdaIndexed8: {
            const uint8_t* e = palette + 3 * p[0];
            return {e[0], e[1], e[2]};
        }
        case kWda555: {
            const uint32_t w = loadU16(p);
            return {uint8_t((w >> 10) << 3), uint8_t((w >> 5) << 3), uint8_t(w << 3)};
        }
        case kWda565: {
            const uint32_t w = loadU16(p);
            return {uint8_t((w >> 11) << 3), uint8_t((w >> 5) << 2), uint8_t(w << 3)};
        }
        default:  // 3 and 4: blue, green, red first
            return {p[2], p[1], p[0]};
    }
}

inline void rgbToPixel(int32_t code, Rgb c, uint8_t* out) {
    switch (code) {
        case kWda555:
            storeU16(out, uint16_t(0x8000 | (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3));
            break;
        case kWda565:
            storeU16(out, uint16_t((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3));
            break;
        case kWdaBgr24:
            out[0] = c.b;
            out[1] = c.g;
            out[2] = c.r;
            break;
        case kWda32:
            out[0] = c.b;
            out[1] = c.g;
            out[2] = c.r;
            out[3] = 0;
            break;
        default:
            break;
    }
}

// A control byte of length form 3, which no encoder writes: it marks where
// a converted row was damaged.
constexpr uint8_t kDamagedRun = 0x0C;

// Converts the runs of one row's codes, appending them to `out`. Returns
// false when the row is damaged; the runs before the damage are kept, as a
// draw of the original would show them.
bool convertRow(std::span<const uint8_t> codes, int32_t from, int32_t to, const uint8_t* palette,
                std::vector<uint8_t>& out) {
    const size_t inBpp = size_t(wdaBytesPerPixel(from)), outBpp = size_t(wdaBytesPerPixel(to));
    size_t i = 0;
    Run run;
    while (i < codes.size()) {
        if (!readRun(codes, i, run)) return false;
        const size_t pixels = run.type == kWdaFillRun ? 1 : run.type == kWdaLiteralRun ? run.length : 0;
        if (codes.size() - i - run.headerBytes < pixels * inBpp) return false;
        out.insert(out.end(), codes.begin() + ptrdiff_t(i), codes.begin() + ptrdiff_t(i + run.headerBytes));
        i += run.headerBytes;
        const size_t at = out.size();
        out.resize(at + pixels * outBpp);
        for (size_t p = 0; p < pixels; ++p, i += inBpp)
            rgbToPixel(to, pixelToRgb(from, codes.data() + i, palette), out.data() + at + p * outBpp);
    }
    return true;
}

}  // namespace

int32_t wdaBytesPerPixel(int32_t code) {
    switch (code) {
        case kWdaIndexed8:
            return 1;
        case kWda555:
        case kWda565:
            return 2;
        case kWdaBgr24:
            return 3;
        case kWda32:
            return 4;
        default:
            return 0;
    }
}

int32_t wdaFormatOfSurface(const DrawSurface& surface) {
    if (!surface.hasPixels()) return -1;
    switch (surface.depth()) {
        case 8:
            return kWdaIndexed8;
        case 16:
            return surface.is555() ? kWda555 : kWda565;
        case 24:
            return kWdaBgr24;
        default:
            return kWda32;
    }
}

WdaRowStatus decodeWdaRow8(std::span<uint8_t> dest, int64_t x, std::span<const uint8_t> codes) {
    const int64_t width = int64_t(dest.size());
    uint8_t* const line = dest.data();
    int64_t pos = x;
    size_t i = 0;
    Run run;
    // One pass over the codes: block fills and block copies, clipped per run.
    while (i < codes.size()) {
        if (!readRun(codes, i, run)) return WdaRowStatus::Damaged;
        i += run.headerBytes;
        if (run.type == kWdaFillRun) {
            if (i >= codes.size()) return WdaRowStatus::Damaged;
            const Span s = clipRun(pos, run.length, width);
            if (s.begin < s.end) std::memset(line + s.begin, codes[i], size_t(s.end - s.begin));
            ++i;
        } else if (run.type == kWdaLiteralRun) {
            if (codes.size() - i < run.length) return WdaRowStatus::Damaged;
            const Span s = clipRun(pos, run.length, width);
            if (s.begin < s.end)
                std::memcpy(line + s.begin, codes.data() + i + (s.begin - pos), size_t(s.end - s.begin));
            i += run.length;
        }
        pos += run.length;
    }
    return WdaRowStatus::Ok;
}

WdaRowStatus decodeWdaRow(int32_t code, std::span<uint8_t> dest, int64_t x, std::span<const uint8_t> codes) {
    switch (code) {
        case kWdaIndexed8:
            return decodeWdaRow8(dest, x, codes);
        case kWda555:
        case kWda565:
            return decodeRowWide<2>(dest, x, codes);
        case kWdaBgr24:
            return decodeRowWide<3>(dest, x, codes);
        case kWda32:
            return decodeRowWide<4>(dest, x, codes);
        default:
            return WdaRowStatus::Damaged;
    }
}

// --- WdaAnimation --------------------------------------------------------

WdaAnimation::WdaAnimation(const std::string& path, Platform* messages) { loadFile(path, messages); }

void WdaAnimation::clear() {
    owned_.clear();
    owned_.shrink_to_fit();
    data_ = {};
    fromResource_ = false;
    original_ = {};
    convertedBytes_.reset();
    converted_.reset();
    kind_ = width_ = height_ = 0;
    conversions_ = 0;
}

int WdaAnimation::loadFile(const std::string& path, Platform* messages) {
    clear();
    std::vector<uint8_t> bytes;
    std::string error;
    bool read = false;
    try {
        read = readWholeFile(path, bytes, error, kMaxWdaBytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!read) {
        if (messages) {
            std::vector<char> text(path.size() + 64);
            std::snprintf(text.data(), text.size(), wda_text::kNoSuchFile, path.c_str());
            messages->messageBox(text.data(), wda_text::kLoadFailureCaption, MessageButtons::Ok);
        }
        return -1;
    }
    owned_ = std::move(bytes);
    if (!take(owned_, nullptr)) {
        clear();
        return 0;
    }
    return 1;
}

int WdaAnimation::loadResource(uint32_t id) {
    clear();
    const std::span<const uint8_t> bytes = findResource("WDA", id);
    if (bytes.empty() || !take(bytes, nullptr)) {
        clear();
        return -1;
    }
    fromResource_ = true;
    return 1;
}

bool WdaAnimation::loadBytes(std::span<const uint8_t> bytes, std::string* error) {
    clear();
    owned_.assign(bytes.begin(), bytes.end());
    if (!take(owned_, error)) {
        clear();
        return false;
    }
    return true;
}

WdaAnimation::Frame WdaAnimation::checkFrame(std::span<const uint8_t> data, size_t offset) {
    Frame f;
    if (offset > data.size() || data.size() - offset < kWdaFrameHeaderSize) return f;
    const uint8_t* p = data.data() + offset;
    const size_t size = loadU32(p);
    f.width = loadU16(p + 8);
    f.rows = loadU16(p + 10);
    if (size > data.size() - offset || size < kWdaFrameHeaderSize + 4 * size_t(f.rows)) return {};
    f.offset = offset;
    f.size = size;
    f.valid = true;
    return f;
}

std::span<const uint8_t> WdaAnimation::rowCodes(std::span<const uint8_t> data, const Frame& f, int32_t r) {
    const uint8_t* table = data.data() + f.offset + kWdaFrameHeaderSize;
    const size_t codesStart = kWdaFrameHeaderSize + 4 * size_t(f.rows);
    const size_t codesLength = f.size - codesStart;
    const size_t begin = loadU32(table + 4 * size_t(r));
    const size_t end = r + 1 < f.rows ? loadU32(table + 4 * size_t(r + 1)) : codesLength;
    if (end <= begin || end > codesLength) return {};
    return data.subspan(f.offset + codesStart + begin, end - begin);
}

bool WdaAnimation::take(std::span<const uint8_t> bytes, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (bytes.size() < kWdaMinimumSize) return fail("shorter than a WDA header");
    const int32_t frames = loadU16(bytes.data() + 6);
    const int32_t format = loadU16(bytes.data() + 24);
    if (frames < 1) return fail("no frames");
    if (kWdaFrameTableOffset + 4 * size_t(frames) > bytes.size()) return fail("frame table past the end");
    if (wdaBytesPerPixel(format) == 0) return fail("unknown pixel format");
    data_ = bytes;
    kind_ = loadU16(bytes.data());
    width_ = loadU16(bytes.data() + 2);
    height_ = loadU16(bytes.data() + 4);
    original_.bytes = bytes;
    original_.format = format;
    original_.frames.resize(size_t(frames));
    for (int32_t i = 0; i < frames; ++i)
        original_.frames[size_t(i)] = checkFrame(bytes, loadU32(bytes.data() + kWdaFrameTableOffset + 4 * size_t(i)));
    return true;
}

std::span<const uint8_t> WdaAnimation::palette() const {
    if (!loaded()) return {};
    return data_.subspan(kWdaPaletteOffset, 768);
}

WdaFrameSize WdaAnimation::frameSize(int32_t frame) const {
    if (frame < 0 || frame >= frameCount()) return {};
    const Frame& f = original_.frames[size_t(frame)];
    if (!f.valid) return {};
    return {f.width, f.rows};
}

bool WdaAnimation::convertToFormat(const DrawSurface& surface) {
    const int32_t code = wdaFormatOfSurface(surface);
    return code >= 0 && convertToCode(code);
}

bool WdaAnimation::convertToCode(int32_t code) {
    if (!loaded() || wdaBytesPerPixel(code) == 0) return false;
    if (code == pixelFormat()) return true;
    if (code == original_.format) {
        converted_.reset();
        convertedBytes_.reset();
        return true;
    }
    // True colour cannot become palette indices.
    if (code == kWdaIndexed8) return false;

    const int32_t from = original_.format;
    const uint8_t* palette = data_.data() + kWdaPaletteOffset;
    const size_t frames = original_.frames.size();
    auto out = std::make_unique<std::vector<uint8_t>>();
    std::vector<size_t> offsets(frames);
    try {
        out->assign(data_.begin(), data_.begin() + ptrdiff_t(kWdaFrameTableOffset + 4 * frames));
        std::vector<uint8_t> codes;
        std::vector<uint32_t> rowStarts;
        for (size_t fi = 0; fi < frames; ++fi) {
            const Frame& f = original_.frames[fi];
            offsets[fi] = out->size();
            const size_t header = out->size();
            // A missing frame becomes an empty record: it draws nothing, as before.
            const int32_t rows = f.valid ? f.rows : 0;
            out->resize(header + kWdaFrameHeaderSize + 4 * size_t(rows));
            if (f.valid) std::memcpy(out->data() + header, data_.data() + f.offset, kWdaFrameHeaderSize);
            codes.clear();
            rowStarts.assign(size_t(rows), 0);
            for (int32_t r = 0; r < rows; ++r) {
                rowStarts[size_t(r)] = uint32_t(codes.size());
                // Each row mirrors the original: a row without codes stays
                // without codes, and a damaged row keeps its sound runs and
                // ends in a length form 3 control byte, so drawing the
                // conversion stops exactly where drawing the original stops.
                const std::span<const uint8_t> row = rowCodes(data_, f, r);
                if (!row.empty() && !convertRow(row, from, code, palette, codes)) codes.push_back(kDamagedRun);
            }
            uint8_t* h = out->data() + header;
            const size_t size = kWdaFrameHeaderSize + 4 * size_t(rows) + codes.size();
            if (size > UINT32_MAX) return false;
            storeU32(h, uint32_t(size));
            storeU16(h + 10, uint16_t(rows));
            for (int32_t r = 0; r < rows; ++r) storeU32(h + kWdaFrameHeaderSize + 4 * size_t(r), rowStarts[size_t(r)]);
            out->insert(out->end(), codes.begin(), codes.end());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (out->size() > UINT32_MAX) return false;
    uint8_t* d = out->data();
    storeU16(d + 24, uint16_t(code));
    storeU32(d + 8, uint32_t(out->size() - 4 * (frames - 1)));
    size_t largest = 0;
    for (size_t fi = 0; fi < frames; ++fi) {
        storeU32(d + kWdaFrameTableOffset + 4 * fi, uint32_t(offsets[fi]));
        largest = std::max(largest, size_t(loadU32(d + offsets[fi])));
    }
    storeU32(d + 12, uint32_t(largest));

    auto coded = std::make_unique<Coded>();
    coded->bytes = *out;
    coded->format = code;
    coded->frames.resize(frames);
    for (size_t fi = 0; fi < frames; ++fi) coded->frames[fi] = checkFrame(coded->bytes, offsets[fi]);
    convertedBytes_ = std::move(out);
    converted_ = std::move(coded);
    ++conversions_;
    return true;
}

bool WdaAnimation::drawFrame(DrawSurface& surface, int32_t frame, int32_t x, int32_t y) {
    if (!loaded() || !surface.hasPixels() || frame < 0 || frame >= frameCount()) return false;
    if (!original_.frames[size_t(frame)].valid || !convertToFormat(surface)) return false;
    const Coded& c = current();
    const Frame& f = c.frames[size_t(frame)];
    if (!f.valid) return false;
    const int32_t code = c.format;
    const size_t bpp = size_t(wdaBytesPerPixel(code));
    const bool wasLocked = surface.lockedPixels() != nullptr;
    uint8_t* base = surface.lock();
    if (!base) return false;
    const int64_t left = int64_t(x) + surface.originX();
    const int64_t top = int64_t(y) + surface.originY();
    const int64_t height = surface.height();
    const size_t lineBytes = size_t(surface.width()) * bpp;
    for (int32_t r = 0; r < f.rows; ++r) {
        const int64_t line = top + f.rows - 1 - r;
        if (line >= height) continue;  // below the surface
        if (line < 0) break;           // this and every later row is above it
        const std::span<const uint8_t> codes = rowCodes(c.bytes, f, r);
        if (codes.empty()) break;
        const std::span<uint8_t> dest(base + line * surface.pitch(), lineBytes);
        if (decodeWdaRow(code, dest, left, codes) != WdaRowStatus::Ok) break;
    }
    if (!wasLocked) surface.unlock();
    return true;
}

bool WdaAnimation::paletteToSurface(DrawSurface& surface) const {
    if (!loaded()) return false;
    if (surface.depth() != 8) return true;
    return surface.setPaletteFromPicture(std::span<const uint8_t, 768>(data_.data() + kWdaPaletteOffset, 768), false);
}

// --- WdaPlayer -----------------------------------------------------------

void WdaPlayer::attach(WdaAnimation* first, WdaAnimation* second) {
    first_ = first && first->loaded() ? first : nullptr;
    second_ = first_ && second && second->loaded() ? second : nullptr;
    frame_ = 0;
    start_ = 0;
}

int32_t WdaPlayer::totalFrames() const {
    return (first_ ? first_->frameCount() : 0) + (second_ ? second_->frameCount() : 0);
}

bool WdaPlayer::draw(DrawSurface& target, int32_t number) {
    if (number < first_->frameCount()) return first_->drawFrame(target, number, 0, 0);
    return second_ && second_->drawFrame(target, number - first_->frameCount(), 0, 0);
}

bool WdaPlayer::start(DrawSurface& target, uint32_t now) {
    if (!first_) return false;
    frame_ = 0;
    start_ = now;
    return draw(target, 0);
}

bool WdaPlayer::advance(DrawSurface& target, uint32_t now) {
    if (!first_) return false;
    // Unsigned difference: right across a wrap of the millisecond clock.
    const uint64_t due = uint64_t(uint32_t(now - start_)) * kFramesPerSecond / 1000;
    if (due == uint64_t(frame_)) return false;
    ++frame_;
    if (frame_ >= totalFrames()) {
        frame_ = 0;
        start_ = now;
    }
    draw(target, frame_);
    return true;
}

}  // namespace pavalo
