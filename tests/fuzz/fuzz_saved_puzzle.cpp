// Fuzz target: the saved puzzle reader must refuse or accept any bytes
// without crashing, and an accepted puzzle must be consistent, re-save to the
// same bytes, and stand being played: drops with their joins and snaps, drops
// in the sorting boxes, a find, and the side windows' placement and scroll
// rules on the record's rectangles. Any value the reader lets through that
// overflows, loops for ever or breaks the model shows up here.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "display/side_window_rules.h"
#include "puzzle/assist_tools.h"
#include "puzzle/joining.h"
#include "puzzle/saved_puzzle.h"

namespace {

using namespace pavalo;

constexpr int32_t kPlayWidth = 1920, kPlayHeight = 1080;

Rect rectOf(const StoredRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// What the reader promises about the record values the game acts on.
void checkRecord(const SettingsRecord& record, const PuzzleModel& model) {
    if (record.snapTolerance < 7 || record.snapTolerance > 50) std::abort();
    if (model.geometry().snapTolerance != record.snapTolerance) std::abort();
    if (record.networkGame != 0) std::abort();
    for (uint32_t allowed : record.assistAllowed)
        if (allowed != 1) std::abort();
    auto sane = [](const StoredRect& r) {
        if (r == StoredRect{}) return true;
        const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
        return w > 0 && h > 0 && w <= kPlayWidth && h <= kPlayHeight && r.right >= -kPlayWidth &&
               r.left <= 2 * kPlayWidth && r.bottom >= -kPlayHeight && r.top <= 2 * kPlayHeight;
    };
    for (const StoredRect& r : record.boxRect)
        if (!sane(r)) std::abort();
    for (const StoredRect& r : {record.previewRect, record.overviewRect, record.paletteRect})
        if (!sane(r)) std::abort();
}

void placeSideWindows(const SettingsRecord& record, const PuzzleModel& model) {
    for (int box = 1; box <= 4; ++box) {
        const Rect r = rectOf(record.boxRect[size_t(box - 1)]);
        const Rect kept = keepBoxOnScreen(r, kPlayWidth, kPlayHeight);
        BoxPlacement placement(r);
        placement.moved(kept);
        const Rect visible{0, 0, kept.width(), kept.height()};
        boxScrollBars(visible, model.listBoundingBox(sortingBoxList(box)));
    }
    for (const StoredRect& stored : {record.previewRect, record.overviewRect, record.paletteRect}) {
        const Rect r = keepWithinScreen(rectOf(stored), kPlayWidth, kPlayHeight);
        if (r.width() < 0 || r.height() < 0) std::abort();
    }
}

void play(PuzzleModel& model) {
    NoReports quiet;
    const int32_t n = model.pieceCount();
    for (const int32_t piece : {int32_t(0), n / 2, n - 1}) {
        const ListId list = model.listOfPiece(piece);
        if (list == ListId::Main) {
            // Where it lies, then at its solved place (joins and the snap).
            const int32_t x = model.toPictureX(model.piece(piece).x);
            const int32_t y = model.toPictureY(model.piece(piece).y);
            dropGroup(model, piece, x + 3, y - 2, 0, quiet);
            if (model.listOfPiece(piece) == ListId::Main)
                dropGroup(model, piece, model.piece(piece).homeX + model.geometry().offsetX,
                          model.piece(piece).homeY + model.geometry().offsetY, 0, quiet);
        } else if (isSortingBox(list)) {
            dropInSortingBox(model, list, piece, 0, quiet);
        }
        findNearbyPieces(model, ListId::Main, piece, 2);
    }
    findEdgePieces(model, ListId::Main, kEdgeAll);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
    Random rng(1);
    OpenResult r = decodeSavedPuzzle(std::span<const uint8_t>(data, size), kPlayWidth, kPlayHeight,
                                     rng, record, model, order);
    if (r.ok()) {
        if (!model.checkInvariants()) std::abort();
        std::vector<uint8_t> again = encodeSavedPuzzle(record, model);
        PuzzleModel second;
        SettingsRecord record2;
        if (!decodeSavedPuzzle(again, kPlayWidth, kPlayHeight, rng, record2, second, order).ok())
            std::abort();
        if (encodeSavedPuzzle(record2, second) != again) std::abort();

        checkRecord(record, model);
        placeSideWindows(record, model);
        play(model);
        if (!model.checkInvariants()) std::abort();
        placeSideWindows(record, model);
    }
    return 0;
}
