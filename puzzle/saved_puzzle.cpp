// Writing and checked reading of saved puzzle files.
#include "puzzle/saved_puzzle.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/file_io.h"
#include "common/named_mutex.h"
#include "puzzle/cutter.h"
#include "puzzle/piece_count.h"
#include "puzzle/piece_mask.h"

namespace pavalo {
namespace {

constexpr size_t kMagicSize = 50;
constexpr int kStoredLists = 6;  // Main, Finished, boxes 1..4; Extra is not stored
// Limits that keep position arithmetic far from overflow.
constexpr int32_t kMaxPictureSide = 65535;
constexpr int32_t kMaxStoredCoordinate = 1 << 24;

OpenResult damaged(const std::string& why) {
    return {OpenStatus::Damaged, "This saved puzzle is damaged and cannot be opened: " + why + "."};
}

bool withinCoordinateRange(int32_t v) { return v >= -kMaxStoredCoordinate && v <= kMaxStoredCoordinate; }

// The smallest and largest join tolerance that cutting gives.
constexpr int32_t kLowestTolerance = 7;
constexpr int32_t kHighestTolerance = 50;

void repairRect(StoredRect& r, int32_t screenWidth, int32_t screenHeight) {
    if (r == StoredRect{}) return;
    const int64_t width = int64_t(r.right) - r.left, height = int64_t(r.bottom) - r.top;
    if (width <= 0 || height <= 0) {
        r = {};
        return;
    }
    const int64_t w = std::min<int64_t>(width, std::max(screenWidth, 1));
    const int64_t h = std::min<int64_t>(height, std::max(screenHeight, 1));
    const int64_t left = std::clamp<int64_t>(r.left, -int64_t(screenWidth) - w, 2 * int64_t(screenWidth));
    const int64_t top = std::clamp<int64_t>(r.top, -int64_t(screenHeight) - h, 2 * int64_t(screenHeight));
    r = {int32_t(left), int32_t(top), int32_t(left + w), int32_t(top + h)};
}

}  // namespace

void repairOpenedRecord(SettingsRecord& record, int32_t screenWidth, int32_t screenHeight) {
    if (record.snapTolerance < kLowestTolerance || record.snapTolerance > kHighestTolerance) {
        const int32_t cols = std::max(record.columns, 1), rows = std::max(record.rows, 1);
        record.snapTolerance =
            snapToleranceForCell(std::min(record.pictureWidth / cols, record.pictureHeight / rows));
    }
    for (StoredRect& r : record.boxRect) repairRect(r, screenWidth, screenHeight);
    repairRect(record.previewRect, screenWidth, screenHeight);
    repairRect(record.overviewRect, screenWidth, screenHeight);
    repairRect(record.paletteRect, screenWidth, screenHeight);
    record.networkGame = 0;
    record.assistAllowed.fill(1);
}

void syncRecordFromModel(SettingsRecord& record, const PuzzleModel& model) {
    const PuzzleGeometry& g = model.geometry();
    record.snapTolerance = g.snapTolerance;
    record.assemblyOffsetX = g.offsetX;
    record.assemblyOffsetY = g.offsetY;
    record.columns = model.columns();
    record.rows = model.rows();
    record.pictureWidth = g.pictureWidth;
    record.pictureHeight = g.pictureHeight;
}

std::vector<uint8_t> encodeSavedPuzzle(SettingsRecord record, const PuzzleModel& model) {
    NamedLock lock(NamedMutex::PIECE);
    syncRecordFromModel(record, model);
    ByteWriter out;
    uint8_t magic[kMagicSize] = {};
    std::memcpy(magic, kSavedPuzzleMagic, std::strlen(kSavedPuzzleMagic));
    out.bytes(magic);
    out.u32(kSavedPuzzleVersion);
    out.u32(kSettingsRecordSize);
    out.bytes(record.encode());

    out.u32(uint32_t(model.pieceCount()));
    out.u32(uint32_t(model.rows()));
    out.u32(uint32_t(model.columns()));
    for (const Piece& p : model.pieces()) {
        out.i32(model.toPictureX(p.x));
        out.i32(model.toPictureY(p.y));
        out.i32(p.rotation);
        out.i32(p.homeX);
        out.i32(p.homeY);
        out.i32(p.width);
        out.i32(p.height);
        out.u32(uint32_t(p.mask.size()));
        out.u32(0);  // buffer words carry no meaning in the file
        out.u32(uint32_t(p.outline.size()));
        out.u32(0);
        out.u32(0);
        out.bytes(p.mask);
        out.bytes(p.outline);
    }
    for (int li = 0; li < kStoredLists; ++li) {
        ListId list = static_cast<ListId>(li);
        out.u32(uint32_t(model.countListGroups(list)));
        model.forEachGroup(list, [&](int32_t g) {
            const PieceGroup& node = model.groupNode(g);
            out.u32(uint32_t(node.groupNumber));
            out.u32(uint32_t(node.pieceCount));
            model.forEachMember(g, [&](int32_t m) {
                out.u32(uint32_t(m));
                out.u32(uint32_t(model.member(m).selected));
            });
        });
    }
    return std::move(out.buffer());
}

bool savePuzzleFile(const std::string& path, const SettingsRecord& record,
                    const PuzzleModel& model, std::string& error) {
    std::vector<uint8_t> bytes = encodeSavedPuzzle(record, model);
    return writeFileAtomically(path, bytes, error);
}

OpenResult decodeSavedPuzzle(std::span<const uint8_t> bytes, int32_t playWidth, int32_t playHeight,
                             Random& rng, SettingsRecord& record, PuzzleModel& model,
                             std::vector<int32_t>& order) {
    ByteReader in(bytes);

    // The magic compares as text: it ends at its zero byte.
    auto magic = in.bytes(kMagicSize);
    size_t textLength = std::strlen(kSavedPuzzleMagic);
    if (magic.size() != kMagicSize || std::memcmp(magic.data(), kSavedPuzzleMagic, textLength) != 0 ||
        magic[textLength] != 0)
        return {OpenStatus::NotSavedPuzzle, kNotSavedPuzzleMessage};

    uint32_t version = in.u32();
    if (!in.ok()) return damaged("the file ends early");
    if (version != kSavedPuzzleVersion) return {OpenStatus::OtherVersion, kOldVersionMessage};

    uint32_t recordSize = in.u32();
    if (!in.ok()) return damaged("the file ends early");
    if (recordSize != kSettingsRecordSize)
        return damaged("its settings record has " + std::to_string(recordSize) + " bytes instead of " +
                       std::to_string(kSettingsRecordSize));
    auto recordBytes = in.bytes(kSettingsRecordSize);
    if (!in.ok()) return damaged("the file ends early");
    SettingsRecord newRecord =
        SettingsRecord::decode(std::span<const uint8_t, kSettingsRecordSize>(recordBytes.data(), kSettingsRecordSize));

    const int32_t cols = newRecord.columns, rows = newRecord.rows;
    if (cols <= 0 || rows <= 0 || int64_t(cols) * rows > kMaxPuzzlePieces)
        return damaged("its grid of " + std::to_string(cols) + " x " + std::to_string(rows) + " is not possible");
    const int32_t n = cols * rows;
    const int32_t imgW = newRecord.pictureWidth, imgH = newRecord.pictureHeight;
    if (imgW <= 0 || imgH <= 0 || imgW > kMaxPictureSide || imgH > kMaxPictureSide)
        return damaged("its picture size is not possible");
    if (!withinCoordinateRange(newRecord.assemblyOffsetX) || !withinCoordinateRange(newRecord.assemblyOffsetY))
        return damaged("its picture offset is out of range");
    repairOpenedRecord(newRecord, playWidth, playHeight);

    std::vector<int32_t> newOrder = makePieceOrderTable(n, rng);

    uint32_t storedN = in.u32(), storedRows = in.u32(), storedCols = in.u32();
    if (!in.ok()) return damaged("the file ends early");
    if (storedN != uint32_t(n) || storedRows != uint32_t(rows) || storedCols != uint32_t(cols))
        return damaged("its piece count does not match its grid");

    PuzzleModel fresh;
    fresh.geometry() = PuzzleGeometry{playWidth, playHeight, imgW, imgH, newRecord.assemblyOffsetX,
                                      newRecord.assemblyOffsetY, newRecord.snapTolerance};
    std::vector<Piece> pieces(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        Piece& p = pieces[size_t(i)];
        int32_t x = in.i32(), y = in.i32();
        p.rotation = in.i32();
        p.homeX = in.i32();
        p.homeY = in.i32();
        p.width = in.i32();
        p.height = in.i32();
        uint32_t maskSize = in.u32();
        in.skip(4);
        uint32_t outlineSize = in.u32();
        in.skip(8);
        if (!in.ok()) return damaged("the file ends early");
        const std::string which = "piece " + std::to_string(i);
        if (p.rotation < 0 || p.rotation > 3) return damaged(which + " has an impossible rotation");
        if (p.width <= 0 || p.height <= 0 || p.homeX < 0 || p.homeY < 0 || p.width > imgW - p.homeX ||
            p.height > imgH - p.homeY)
            return damaged(which + " lies outside the picture");
        if (!withinCoordinateRange(x) || !withinCoordinateRange(y))
            return damaged(which + " lies too far from the picture");
        p.x = fresh.toPlayX(x);
        p.y = fresh.toPlayY(y);
        auto mask = in.bytes(maskSize);
        auto outline = in.bytes(outlineSize);
        if (!in.ok()) return damaged("the file ends early");
        if (!pieceMaskIsValid(mask, p.width, p.height)) return damaged(which + " has a broken shape");
        if (!pieceMaskIsValid(outline, p.width, p.height)) return damaged(which + " has a broken outline");
        p.mask.assign(mask.begin(), mask.end());
        p.outline.assign(outline.begin(), outline.end());
    }
    fresh.createEmpty(std::move(pieces), rows, cols);

    // Groups are read first and linked after: a number that an earlier group
    // of the file already carries (in this list or another) is given the
    // lowest number no group of the file uses, so every group number is
    // unique once the puzzle is open and merges by number stay exact when
    // groups later move between lists.
    struct StoredGroup {
        ListId list;
        int32_t number;
        std::vector<std::pair<int32_t, bool>> members;
    };
    std::vector<StoredGroup> stored;
    std::vector<uint8_t> numberUsed(size_t(n), 0);
    // A piece named twice is refused at once, so what is held here never
    // exceeds one entry per piece, whatever the file claims.
    std::vector<uint8_t> pieceNamed(size_t(n), 0);
    int32_t totalGroups = 0;
    for (int li = 0; li < kStoredLists; ++li) {
        const ListId list = static_cast<ListId>(li);
        uint32_t groups = in.u32();
        if (!in.ok()) return damaged("the file ends early");
        if (groups > uint32_t(n - totalGroups))
            return damaged(std::string("the ") + listName(list) + " list has too many groups");
        totalGroups += int32_t(groups);
        for (uint32_t k = 0; k < groups; ++k) {
            int32_t number = in.i32();
            uint32_t count = in.u32();
            if (!in.ok()) return damaged("the file ends early");
            if (number < 0 || number >= n)
                return damaged("group number " + std::to_string(number) + " is wrong");
            if (count > uint32_t(n)) return damaged("a group has too many pieces");
            StoredGroup group{list, number, {}};
            bool groupSelected = false;
            for (uint32_t j = 0; j < count; ++j) {
                uint32_t piece = in.u32();
                uint32_t selected = in.u32();
                if (!in.ok()) return damaged("the file ends early");
                if (piece >= uint32_t(n)) return damaged("a group names piece " + std::to_string(piece));
                if (pieceNamed[piece]++)
                    return damaged("piece " + std::to_string(piece) + " is in two groups");
                // Members of a group share one flag: the first member's.
                if (j == 0) groupSelected = selected != 0;
                group.members.emplace_back(int32_t(piece), groupSelected);
            }
            stored.push_back(std::move(group));
        }
    }
    std::vector<int32_t> repeated;  // indices into `stored`
    for (size_t k = 0; k < stored.size(); ++k)
        if (numberUsed[size_t(stored[k].number)]++) repeated.push_back(int32_t(k));
    int32_t freeNumber = 0;
    for (int32_t k : repeated) {
        while (numberUsed[size_t(freeNumber)]) ++freeNumber;  // at most n groups: one is free
        numberUsed[size_t(freeNumber)] = 1;
        stored[size_t(k)].number = freeNumber;
    }
    for (const StoredGroup& group : stored) {
        const int32_t node = fresh.appendGroup(group.list, group.number);
        for (const auto& [piece, selected] : group.members)
            if (!fresh.appendMember(node, piece, selected))
                return damaged("piece " + std::to_string(piece) + " is in two groups");
    }
    std::string why;
    if (!fresh.checkInvariants(&why)) return damaged(why);

    NamedLock lock(NamedMutex::PIECE);
    HolderTable* holders = &model.holders();
    model = std::move(fresh);
    model.setHolderTable(holders);
    record = newRecord;
    order = std::move(newOrder);
    return {};
}

OpenResult openPuzzleFile(const std::string& path, int32_t playWidth, int32_t playHeight,
                          Random& rng, SettingsRecord& record, PuzzleModel& model,
                          std::vector<int32_t>& order) {
    std::vector<uint8_t> bytes;
    std::string error;
    // The largest possible puzzle is far below this; a bigger file is not ours.
    if (!readWholeFile(path, bytes, error, size_t(1) << 30)) return {OpenStatus::Unreadable, error};
    return decodeSavedPuzzle(bytes, playWidth, playHeight, rng, record, model, order);
}

}  // namespace pavalo
