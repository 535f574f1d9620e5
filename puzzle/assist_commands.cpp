// The assist-tool commands: finds with selection and delivery, solves,
// arrange, select all and the rectangle tools.
#include "puzzle/assist_commands.h"

#include <algorithm>
#include <cstdio>

#include "common/named_mutex.h"
#include "common/sound_events.h"

namespace pavalo {
namespace {

constexpr int kSoundRefused = 8;
constexpr ListId kSearchOrder[] = {ListId::Main, ListId::Box1, ListId::Box2, ListId::Box3, ListId::Box4};

std::vector<int32_t> selectedPiecesOf(const PuzzleModel& model, ListId list) {
    NamedLock lock(NamedMutex::PIECE);
    std::vector<int32_t> pieces;
    model.forEachGroup(list, [&](int32_t g) {
        model.forEachMember(g, [&](int32_t m) {
            if (model.member(m).selected) pieces.push_back(m);
        });
    });
    return pieces;
}

}  // namespace

std::string sortingBoxCaption(int box, int32_t pieces, int32_t selected) {
    char text[96];
    if (pieces <= 0)
        std::snprintf(text, sizeof text, "Box %d", box);
    else if (selected <= 0)
        std::snprintf(text, sizeof text, "Box %d  (%d pieces)", box, pieces);
    else
        std::snprintf(text, sizeof text, "Box %d  (%d pieces / %d selected)", box, pieces, selected);
    return text;
}

std::string sortingBoxCaption(const PuzzleModel& model, int box) {
    NamedLock lock(NamedMutex::PIECE);
    const ListId list = sortingBoxList(box);
    return sortingBoxCaption(box, model.countListPieces(list), model.countSelectedPieces(list));
}

AssistCommands::AssistCommands(PuzzleModel& model, AssistFrontEnd& frontEnd, PieceSelector& selector,
                               CompletionActions& completion, uint32_t& puzzleState, Random& rng,
                               AssistGame game)
    : model_(model),
      frontEnd_(frontEnd),
      selector_(selector),
      completion_(completion),
      puzzleState_(puzzleState),
      rng_(rng),
      game_(game) {}

void AssistCommands::refreshBoxCaptions() {
    for (int box = 1; box <= 4; ++box)
        if (frontEnd_.isBoxOpen(box)) frontEnd_.setBoxCaption(box, sortingBoxCaption(model_, box));
}

void AssistCommands::checkCompletion() {
    checkPuzzleCompletion(model_, puzzleState_, game_.networkGame, completion_, rng_);
}

// ------------------------------------------------------------------- finds

template <class Find>
int AssistCommands::findAndDeliver(Find&& find, int delivery) {
    const int k = delivery >= 1 && delivery <= 4 ? delivery : 0;
    const ListId target = k ? sortingBoxList(k) : ListId::None;
    // Each found piece counts once, in whichever list it was found.
    std::vector<uint8_t> counted(size_t(std::max(model_.pieceCount(), 0)), 0);
    int selected = 0;
    for (ListId list : kSearchOrder) {
        const std::vector<int32_t> found = find(list);
        if (found.empty()) continue;
        for (int32_t p : selector_.select(model_, list, found)) {
            if (model_.validPiece(p) && !counted[size_t(p)]) {
                counted[size_t(p)] = 1;
                ++selected;
            }
        }
    }
    // The chosen box takes the selection of the play area and of every other
    // box, pieces selected before the find included. It opens only once
    // something was found, so a find that collects nothing leaves every
    // window and piece as it was.
    if (k && selected > 0) {
        if (!frontEnd_.isBoxOpen(k)) frontEnd_.openBox(k);
        for (ListId from : kSearchOrder) {
            if (from == target) continue;
            if (from == ListId::Main && game_.networkGame && !game_.host) {
                const std::vector<int32_t> pieces = selectedPiecesOf(model_, ListId::Main);
                if (!pieces.empty()) frontEnd_.announceIntoSortingBox(pieces);
            }
            model_.moveSelectedPiecesToList(target, from);
        }
    }
    if (k && selected > 0 && frontEnd_.isBoxOpen(k)) {
        lastHit_ = HitCode::sortingBox(k - 1, kNone);
        Rect area = frontEnd_.boxClientArea(k);
        arrangeGroups(model_, target, area, true);
        frontEnd_.resetBoxScroll(k);
        model_.setAllSelected(target, false, nullptr);
    }
    frontEnd_.redrawPlayArea();
    for (int box = 1; box <= 4; ++box)
        if (frontEnd_.isBoxOpen(box)) frontEnd_.redrawBox(box);
    refreshBoxCaptions();
    return selected;
}

int AssistCommands::findEdges(int mask, int delivery) {
    return findAndDeliver([&](ListId list) { return findEdgePieces(model_, list, mask); }, delivery);
}

int AssistCommands::findNearby(int range, int delivery) {
    const int32_t piece = lastHit_.piece();
    if (piece == kNone || !model_.validPiece(piece)) return 0;
    return findAndDeliver([&](ListId list) { return findNearbyPieces(model_, list, piece, range); },
                          delivery);
}

SampleColours AssistCommands::takeSamples(const PictureView& picture, int32_t x, int32_t y) const {
    const int32_t piece = lastHit_.piece();
    if (piece == kNone || !model_.validPiece(piece)) return {};
    return sampleColours(model_, picture, piece, x, y);
}

int AssistCommands::findByColour(const PictureView& picture, const SampleColours& samples,
                                 int colourRange, int threshold, int delivery) {
    const int32_t piece = lastHit_.piece();
    if (piece == kNone || !model_.validPiece(piece)) return 0;
    return findAndDeliver(
        [&](ListId list) {
            if (list != ListId::Main)
                return findColorPieces(model_, list, picture, samples, colourRange, threshold);
            int32_t pieces = 0;
            for (ListId l : kSearchOrder) pieces += model_.countListPieces(l);
            SearchingProgress progress(pieces);
            frontEnd_.searchingOpened(progress);
            std::vector<int32_t> found =
                findColorPieces(model_, list, picture, samples, colourRange, threshold, [&] {
                    progress.step();
                    frontEnd_.searchingStepped(progress);
                });
            frontEnd_.searchingClosed();
            return found;
        },
        delivery);
}

// ------------------------------------------------------------------ solving

int AssistCommands::solveThisPiece(int32_t x, int32_t y) {
    int placed = 0;
    if (lastHit_.hasPiece()) {
        const ListId list = lastHit_.box() >= 0 ? lastHit_.list() : ListId::Main;
        const PuzzleGeometry& g = model_.geometry();
        placed = model_.solvePiece(list, lastHit_.piece(), g.offsetX, g.offsetY);
    } else if (lastHit_.inPlayArea()) {
        placed = solveThisSpace(model_, x, y);
    }
    if (placed > 0) {
        playEvent(kSoundLockPiece);
        frontEnd_.redrawPlayArea();
        if (lastHit_.box() >= 0) frontEnd_.redrawBox(lastHit_.box() + 1);
        refreshBoxCaptions();
    }
    checkCompletion();
    return placed;
}

int AssistCommands::solveArea(int32_t x, int32_t y, int radius) {
    const int placed = pavalo::solveArea(model_, x, y, radius);
    if (placed > 0) {
        playEvent(kSoundLockPiece);
        frontEnd_.redrawPlayArea();
        for (int box = 1; box <= 4; ++box)
            if (frontEnd_.isBoxOpen(box)) frontEnd_.redrawBox(box);
        refreshBoxCaptions();
    }
    checkCompletion();
    return placed;
}

// ------------------------------------------------------- arrange, select all

int AssistCommands::arrange(int32_t viewWidth, int32_t viewHeight) {
    const int box = lastHit_.box() + 1;
    if (box >= 1) {
        Rect area = frontEnd_.boxClientArea(box);
        const int n = arrangeGroups(model_, sortingBoxList(box), area, true);
        frontEnd_.resetBoxScroll(box);
        frontEnd_.redrawBox(box);
        return n;
    }
    if (!lastHit_.inPlayArea()) return 0;
    Rect area{0, 0, viewWidth, viewHeight};
    const int n = arrangeGroups(model_, ListId::Main, area, false);
    frontEnd_.redrawPlayArea();
    return n;
}

int AssistCommands::selectAll() {
    Rect dirty;
    if (model_.setAllSelected(ListId::Main, false, &dirty) > 0) {
        if (game_.networkGame) frontEnd_.announceDeselection();
        frontEnd_.redrawPlayArea();
    }
    for (int box = 1; box <= 4; ++box)
        if (model_.setAllSelected(sortingBoxList(box), false, nullptr) > 0 && frontEnd_.isBoxOpen(box))
            frontEnd_.redrawBox(box);
    const int box = lastHit_.box() + 1;
    ListId list;
    std::vector<int32_t> pieces;
    if (box >= 1) {
        list = sortingBoxList(box);
        pieces = allPiecesOf(model_, list);
    } else {
        list = ListId::Main;
        pieces = piecesOfGroupsInside(model_, list, selectAllRect(model_));
    }
    const int n = pieces.empty() ? 0 : int(selector_.select(model_, list, pieces).size());
    if (box >= 1)
        frontEnd_.redrawBox(box);
    else
        frontEnd_.redrawPlayArea();
    refreshBoxCaptions();
    return n;
}

// ---------------------------------------------------------- rectangle tools

int AssistCommands::arrangeTool(ListId list, const Rect& rect) {
    Rect area = rect;
    const int n = arrangeSelected(model_, list, area, isSortingBox(list));
    if (isSortingBox(list))
        frontEnd_.redrawBox(int(list) - int(ListId::Box1) + 1);
    else
        frontEnd_.redrawPlayArea();
    return n;
}

int AssistCommands::solveTool(const Rect& rect, bool selectedOnly) {
    const PuzzleGeometry& g = model_.geometry();
    int placed = 0;
    for (ListId list : kSearchOrder)
        placed += selectedOnly ? model_.solveSelectedPieces(list)
                               : solveInRect(model_, list, rect, g.offsetX, g.offsetY);
    if (placed == 0) {
        playEvent(kSoundRefused);
        return 0;
    }
    frontEnd_.redrawPlayArea();
    for (int box = 1; box <= 4; ++box)
        if (frontEnd_.isBoxOpen(box)) frontEnd_.redrawBox(box);
    refreshBoxCaptions();
    // Shared network puzzles never come here (the host solves them); a
    // Competitive player's own copy completes like a single player's.
    playEvent(kSoundLockPiece);
    checkCompletion();
    return placed;
}

int AssistCommands::findTool(Rect& rect) {
    int selected = 0;
    for (ListId list : kSearchOrder) selected += selectSolvedInRect(model_, list, rect, selector_);
    if (selected == 0) {
        playEvent(kSoundRefused);
        return 0;
    }
    playEvent(kSoundSelectPieces);
    frontEnd_.redrawPlayArea();
    for (int box = 1; box <= 4; ++box)
        if (frontEnd_.isBoxOpen(box)) frontEnd_.redrawBox(box);
    refreshBoxCaptions();
    return selected;
}

}  // namespace pavalo
