// The play-area view's behaviour: press, drag, release, double click, band,
// zoom, scroll, keys and menus, for the view and the sorting boxes alike.
#include "display/view_controller.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/named_mutex.h"
#include "common/sound_events.h"
#include "puzzle/assist_menu.h"
#include "puzzle/assist_tools.h"
#include "display/reduced_pieces.h"

namespace pavalo {
namespace {

constexpr int kSoundRefused = 8;

bool isLetterKey(ViewKey key) {
    switch (key) {
        case ViewKey::A:
        case ViewKey::S:
        case ViewKey::Z:
        case ViewKey::F:
        case ViewKey::N:
        case ViewKey::C:
        case ViewKey::O:
        case ViewKey::P:
        case ViewKey::T:
            return true;
        default:
            return false;
    }
}

int clampZoom(int z) { return std::clamp(z, 0, 3); }

// Scroll steps (edge and arrow keys) are doubled at zoom 1 and halved at
// zoom 3, as the game has always done.
int32_t zoomScaledStep(int32_t v, int zoom) {
    if (zoom == 1) return v * 2;
    if (zoom == 3) return v / 2;
    return v;
}

Rect grown(const Rect& r, int32_t by) {
    if (r.empty()) return r;
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

Rect normalised(Point a, Point b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// The outcomes of a drop decided on this machine, applied afterwards as the
// deciding machine applies every outcome: each plays its sound, and a
// placement runs the completion check.
class LocalOutcomes final : public DropReporter {
public:
    std::vector<RemoteOutcome> outcomes;
    void reportJoin(int player, int32_t piece, int32_t groupNumber, ListId list) override {
        outcomes.push_back({list, piece, 0, 0, groupNumber, player});
    }
    void reportPlacement(int player, int32_t piece, int32_t) override {
        outcomes.push_back({ListId::Main, piece, 0, 0, kOutcomeSolved, player});
    }
    void reportDrop(int player, int32_t piece) override {
        outcomes.push_back({ListId::Main, piece, 0, 0, kOutcomeDropped, player});
    }
};

const ListId kSelectableLists[] = {ListId::Main, ListId::Box1, ListId::Box2, ListId::Box3, ListId::Box4};

WindowId windowOfList(ListId list) {
    return isSortingBox(list) ? WindowId::sortingBox(int(list) - int(ListId::Box1)) : WindowId::view();
}

}  // namespace

// ------------------------------------------------------------ coordinates

Point ViewTransform::toWindow(Point play) const {
    if (reduce > 1) return {floorDivide(int64_t(play.x) - originX, reduce), floorDivide(int64_t(play.y) - originY, reduce)};
    return {(play.x - originX) * (1 << zoom), (play.y - originY) * (1 << zoom)};
}

Rect ViewTransform::toPlay(const Rect& window) const {
    if (reduce > 1)
        return {originX + window.left * reduce, originY + window.top * reduce, originX + window.right * reduce,
                originY + window.bottom * reduce};
    return windowToPlay(window, originX, originY, zoom);
}

Rect ViewTransform::toWindow(const Rect& play) const {
    if (reduce > 1)
        return {floorDivide(int64_t(play.left) - originX, reduce), floorDivide(int64_t(play.top) - originY, reduce),
                ceilDivide(int64_t(play.right) - originX, reduce), ceilDivide(int64_t(play.bottom) - originY, reduce)};
    return playToWindow(play, originX, originY, zoom);
}

Rect ViewTransform::invalidation(const Rect& play) const {
    if (play.empty()) return {};
    return grown(toWindow(play), reduce > 1 ? 2 : 2 << zoom);
}

Rect defaultScrollBounds(const PuzzleGeometry& g) {
    const int32_t W = g.playWidth, H = g.playHeight, w = g.pictureWidth, h = g.pictureHeight;
    // Offsets at which the region's left (top) edge reaches the window's left
    // (top) edge, and its right (bottom) edge the window's right (bottom).
    const int32_t right = w + w / 2 - W / 2;
    const int32_t left = W - W / 2 + w / 2 - 2 * w;
    const int32_t bottom = h + h / 2 - H / 2;
    const int32_t top = H - H / 2 + h / 2 - 2 * h;
    return {std::min(0, left), std::min(0, top), std::max(0, right), std::max(0, bottom)};
}

ViewController::ViewController(const ViewContext& context) : c_(context) {}

ListId ViewController::listOf(WindowId window) {
    return window.isView() ? ListId::Main : sortingBoxList(window.box + 1);
}

ViewTransform ViewController::transform(WindowId window) const {
    if (window.isView() && reduce_ > 1) {
        // Zoomed out about the play area's centre: scrolling still moves the
        // pieces, and x1 shows the middle of what this shows.
        const Point size = windowSize(window);
        return {size.x / 2 - (size.x / 2) * reduce_, size.y / 2 - (size.y / 2) * reduce_, 0, reduce_};
    }
    if (window.isView()) return {0, 0, zoom()};
    const Rect client = c_.windows.boxClientRect(window.box + 1);
    return {client.left, client.top, clampZoom(c_.windows.boxZoom(window.box + 1))};
}

Point ViewController::toViewPixels(WindowId window, Point at) const {
    if (window.isView()) return at;
    const Rect client = c_.windows.boxClientRect(window.box + 1);
    return {client.left + at.x, client.top + at.y};
}

Point ViewController::fromViewPixels(WindowId window, Point at) const {
    if (window.isView()) return at;
    const Rect client = c_.windows.boxClientRect(window.box + 1);
    return {at.x - client.left, at.y - client.top};
}

// A list point of one window as a list point of another window, through the
// screen position it is shown at.
Point ViewController::convertPlay(WindowId from, Point play, WindowId to) const {
    if (from == to) return play;
    return windowToPlay(to, fromViewPixels(to, toViewPixels(from, playToWindow(from, play))));
}

// ------------------------------------------------------------------ state

bool ViewController::puzzleExists() const { return c_.document.puzzleExists() && c_.model.hasPuzzle(); }

bool ViewController::finished() const {
    return c_.puzzleState == kPuzzleStateCompleted || c_.renderer.viewMode == kViewFinished;
}

bool ViewController::windowOpen(WindowId window) const {
    return window.isView() || (window.box >= 0 && window.box < 4 && c_.windows.isBoxOpen(window.box + 1));
}

Point ViewController::windowSize(WindowId window) const {
    if (window.isView()) return {c_.model.geometry().playWidth, c_.model.geometry().playHeight};
    const Rect client = c_.windows.boxClientRect(window.box + 1);
    return {client.width(), client.height()};
}

AssistAllowances ViewController::allowances() const { return AssistAllowances::fromRecord(c_.settings); }

int ViewController::tool() const { return c_.settings.currentTool <= 4 ? int(c_.settings.currentTool) : 0; }

int ViewController::zoom(WindowId window) const {
    if (!window.isView()) return clampZoom(c_.windows.boxZoom(window.box + 1));
    return clampZoom(c_.settings.zoomShift);
}

Point ViewController::assemblyOffset() const {
    return {c_.model.geometry().offsetX, c_.model.geometry().offsetY};
}

CursorShape ViewController::cursorFor(int tool, bool ctrlHeld) {
    switch (tool) {
        case kToolZoom:
            return ctrlHeld ? CursorShape::ZoomOut : CursorShape::ZoomIn;
        case kToolArrange:
            return CursorShape::Arrange;
        case kToolSolve:
            return CursorShape::Solve;
        case kToolFind:
            return CursorShape::Find;
        default:
            return CursorShape::Arrow;
    }
}

CursorShape ViewController::cursor(bool ctrlHeld) const { return cursorFor(tool(), ctrlHeld); }

std::optional<Rect> ViewController::bandRect(WindowId window) const {
    if (!bandActive_ || !(bandWindow_ == window)) return std::nullopt;
    return Rect{bandAnchor_.x, bandAnchor_.y, bandCorner_.x, bandCorner_.y};
}

ViewRequest ViewController::viewRequest(const Rect& clipBox, bool minimised) const {
    ViewRequest r;
    r.clipBox = clipBox;
    r.zoomShift = zoom();
    if (reduce_ > 1) {
        const ViewTransform t = transform(WindowId::view());
        r.reduce = reduce_;
        r.reduceOrigin = {t.originX, t.originY};
    }
    r.selection = bandRect(WindowId::view());
    r.minimised = minimised;
    return r;
}

Rect ViewController::scrollBounds() const {
    return scrollBounds_ ? *scrollBounds_ : defaultScrollBounds(c_.model.geometry());
}

void ViewController::reset() {
    dragPiece_ = kNone;
    draggingSelection_ = false;
    bandActive_ = false;
    dragWindow_ = bandWindow_ = WindowId::view();
    savedScroll_.reset();
    scrollBounds_.reset();
    reduce_ = 1;
    fitted_ = false;
    panning_ = false;
}

Rect ViewController::visiblePlayArea() const {
    const Point size = windowSize(WindowId::view());
    return transform(WindowId::view()).toPlay(Rect{0, 0, size.x, size.y});
}

Rect ViewController::tableRect() const {
    const PuzzleGeometry& g = c_.model.geometry();
    const int32_t x = g.playWidth / 2 - g.pictureWidth / 2 + g.offsetX;
    const int32_t y = g.playHeight / 2 - g.pictureHeight / 2 + g.offsetY;
    Rect r{x, y, x + g.pictureWidth, y + g.pictureHeight};
    NamedLock lock(NamedMutex::PIECE);
    for (ListId list : {ListId::Main, ListId::Finished})
        c_.model.forEachGroup(list, [&](int32_t group) { r.unite(c_.model.groupRect(group)); });
    return r;
}

bool ViewController::selectTool(int t) {
    const AssistAllowances allowed = allowances();
    if ((t == kToolArrange && !allowed.arrange) || (t == kToolSolve && !allowed.solve) ||
        (t == kToolFind && !allowed.anyFind()))
        return false;
    setTool(t);
    return true;
}

void ViewController::setTool(int t) {
    c_.settings.currentTool = uint32_t(t >= 0 && t <= 4 ? t : 0);
    c_.platform.setCursor(cursor(keys_.control));
    c_.windows.toolChanged(tool());
}

// ---------------------------------------------------------------- helpers

void ViewController::invalidate(WindowId window, const Rect& play) {
    if (play.empty() || !windowOpen(window)) return;
    c_.platform.invalidate(window, transform(window).invalidation(play));
}

void ViewController::invalidateAll(WindowId window) {
    if (windowOpen(window)) c_.platform.invalidateAll(window);
}

Rect ViewController::groupBox(ListId list, int32_t piece) const {
    Rect r;
    c_.model.getPieceRect(list, piece, r, true);
    return r;
}

Rect ViewController::selectedBox(ListId list) const {
    NamedLock lock(NamedMutex::PIECE);
    Rect r;
    c_.model.forEachGroup(list, [&](int32_t g) {
        const int32_t first = c_.model.groupNode(g).firstMember;
        if (first != kNone && c_.model.member(first).selected) r.unite(c_.model.groupRect(g));
    });
    return r;
}

// A change by the player makes the document modified, except once the
// puzzle is finished and in a network game (where nothing is saved).
void ViewController::markChanged() {
    if (!finished() && !c_.network.networkGame()) c_.document.markChanged();
}

void ViewController::recordUndo() {
    // The record carries the offset the recorded positions belong to.
    c_.settings.assemblyOffsetX = c_.model.geometry().offsetX;
    c_.settings.assemblyOffsetY = c_.model.geometry().offsetY;
    c_.undo.record(c_.settings, c_.model, c_.network.networkGame());
}

HitCode ViewController::hitAt(WindowId window, Point play) {
    HitCode hit;
    if (!window.isView()) {
        hit = windowOpen(window) ? hitTest(c_.model, window.box, play.x, play.y)
                                 : HitCode::sortingBox(window.box, kNone);
    } else if (c_.renderer.viewMode & kViewAssembled) {
        // The assembled picture is shown instead of pieces: nothing to hit.
        hit = HitCode::playArea(kNone);
    } else if (c_.renderer.viewMode & kViewPlayAreaHidden) {
        // Only the Finished list is shown.
        const int32_t piece = c_.model.findPieceAtPoint(ListId::Finished, play.x, play.y);
        hit = HitCode::playArea(piece, piece == kNone ? 0 : HitCode::kFinished | HitCode::kNotSelected);
    } else {
        hit = hitTest(c_.model, -1, play.x, play.y);
    }
    c_.assist.setLastHit(hit);
    return hit;
}

// Deselects the Main list and the four boxes, releasing the holds; returns
// the number of pieces deselected.
int ViewController::clearAllSelections() {
    int total = 0;
    for (ListId list : kSelectableLists) {
        Rect dirty;
        const int n = c_.model.setAllSelected(list, false, &dirty);
        if (n <= 0) continue;
        c_.network.announceDeselectAll(list);
        invalidate(windowOfList(list), dirty);
        total += n;
    }
    return total;
}

// Selects the groups of the list lying wholly inside the rectangle; returns
// the number of pieces newly selected.
int ViewController::selectInside(ListId list, const Rect& rect) {
    int selected = 0;
    for (int32_t piece : piecesOfGroupsInside(c_.model, list, rect)) {
        if (c_.model.isSelected(list, piece)) continue;
        if (!c_.network.requestHold(list, piece)) continue;
        selected += c_.model.setGroupSelected(list, piece, true);
        c_.network.announceSelection(list, piece, true);
    }
    return selected;
}

// ----------------------------------------------------------------- events

void ViewController::mousePress(WindowId window, Point at, KeyFlags keys) {
    keys_ = keys;
    if (!puzzleExists() || busy()) return;
    const Point play = windowToPlay(window, at);
    const HitCode hit = hitAt(window, play);
    clickPoint_ = play;
    pressPiece(window, hit, keys, play, at);
}

void ViewController::mouseMove(WindowId window, Point at, KeyFlags keys) {
    keys_ = keys;
    if (!puzzleExists()) return;
    const Point play = windowToPlay(window, at);
    hitAt(window, play);
    dragPieceTo(window, keys, play, at);
}

void ViewController::mouseRelease(WindowId window, Point at, KeyFlags keys) {
    keys_ = keys;
    if (!puzzleExists()) return;
    const Point play = windowToPlay(window, at);
    hitAt(window, play);
    releasePiece(window, keys, play, at);
}

void ViewController::mouseDoubleClick(WindowId window, Point at, KeyFlags keys) {
    keys_ = keys;
    if (!puzzleExists() || busy()) return;
    const Point play = windowToPlay(window, at);
    const HitCode hit = hitAt(window, play);
    if (tool() == kToolZoom) {
        zoomClick(window, at, keys);
        return;
    }
    // Nothing is picked up or turned while the loose pieces are not shown.
    if (window.isView() && c_.renderer.viewMode != kViewPiecesShown && !finished()) return;
    const int32_t piece = hit.piece();
    if (piece == kNone || !c_.document.rotatedPieces()) return;
    if (hit.finished()) {
        playEvent(kSoundRefused);
        return;
    }
    const ListId list = listOf(window);
    if (!c_.network.requestHold(list, piece)) {
        playEvent(kSoundRefused);
        return;
    }
    c_.network.announceRotation(list, piece);
    markChanged();
    playEvent(kSoundRotatePiece);
    const Rect before = groupBox(list, piece);
    c_.model.bringGroupToFront(list, piece);
    c_.model.rotateGroup(list, piece, 1);
    invalidate(window, before.united(groupBox(list, piece)));
    c_.windows.redrawOverview();
    // The turned piece is picked up at once.
    clickPoint_ = play;
    pressPiece(window, hit, keys, play, at);
}

void ViewController::rightButton(WindowId window, Point at, KeyFlags keys) {
    keys_ = keys;
    const Point play = windowToPlay(window, at);
    HitCode hit = puzzleExists()
                      ? hitAt(window, play)
                      : (window.isView() ? HitCode::playArea(kNone) : HitCode::sortingBox(window.box, kNone));
    clickPoint_ = play;
    popUpViewMenu(window, hit, keys, play, at);
}

bool ViewController::idleEdgeScroll(Point pointer, KeyFlags keys) {
    const Point size = windowSize(WindowId::view());
    // A pointer outside a windowed view (over another program) is not ours.
    const bool inside = pointer.x >= 0 && pointer.y >= 0 && pointer.x < size.x && pointer.y < size.y;
    const bool inBorder = pointer.x < kEdgeScrollBorder || pointer.y < kEdgeScrollBorder ||
                          pointer.x > size.x - kEdgeScrollBorder || pointer.y > size.y - kEdgeScrollBorder;
    if (!inside || !inBorder || !puzzleExists()) return false;
    // The scroll is not the player's move: the hit that a menu or a posted
    // command ("Near this one", a zoom) will act on stays the one made by
    // the player's own click or key.
    const HitCode kept = c_.assist.lastHit();
    mouseMove(WindowId::view(), pointer, keys);
    c_.assist.setLastHit(kept);
    return true;
}

// -------------------------------------------------------------- PressPiece

void ViewController::pressPiece(WindowId window, HitCode hit, KeyFlags keys, Point play, Point at) {
    const int t = tool();
    if (t == kToolZoom) {
        zoomClick(window, at, keys);
        return;
    }
    // Nothing is picked up or selected while the loose pieces are not shown.
    if (window.isView() && c_.renderer.viewMode != kViewPiecesShown && !finished()) return;
    const int32_t piece = hit.piece();

    if (t == kToolFind && piece != kNone && !keys.control) {
        setTool(kToolNormal);
        const AssistAllowances allowed = allowances();
        if (allowed.findNearby || allowed.findByColour) {
            c_.windows.pauseMovie(true);
            const uint32_t id = c_.platform.popupMenu(window, at, composeFindToolMenu(allowed));
            c_.windows.pauseMovie(false);
            runMenuChoice(id);
        }
        return;
    }

    if (piece == kNone || hit.finished() || t == kToolArrange || t == kToolSolve || t == kToolFind) {
        bandActive_ = true;
        bandWindow_ = dragWindow_ = window;
        bandAnchor_ = bandCorner_ = anchor_ = play;
        return;
    }

    const ListId list = listOf(window);
    c_.model.bringGroupToFront(list, piece);
    const Rect box = groupBox(list, piece);
    const bool selected = c_.model.isSelected(list, piece);
    if (keys.shift || (keys.control && !selected)) {
        if (!c_.network.requestHold(list, piece)) {
            playEvent(kSoundRefused);
        } else {
            playEvent(kSoundSelectPieces);
            c_.model.setGroupSelected(list, piece, true);
            c_.network.announceSelection(list, piece, true);
        }
    } else if (keys.control) {
        c_.network.releaseHold(list, piece);
        c_.model.setGroupSelected(list, piece, false);
        c_.network.announceSelection(list, piece, false);
    } else if (!selected) {
        if (!c_.network.requestHold(list, piece)) {
            playEvent(kSoundRefused);
        } else {
            playEvent(kSoundPickupPiece);
            recordUndo();
            dragPiece_ = piece;
            dragWindow_ = window;
            anchor_ = {box.left, box.top};
            const Piece& p = c_.model.piece(piece);
            grabOffset_ = {p.x - play.x, p.y - play.y};
            clearAllSelections();
        }
    } else {
        playEvent(kSoundPickupPiece);
        recordUndo();
        draggingSelection_ = true;
        dragWindow_ = window;
        anchor_ = play;
        c_.model.bringSelectedToFront(list);
        invalidate(window, selectedBox(list));
    }
    invalidate(window, box);
}

// --------------------------------------------------------------- DragPiece

// Scrolls when the pointer (view pixels) is in the border at the play area's
// edges, by its overhang into the border. Returns whether the view scrolled.
bool ViewController::edgeScroll(Point at) {
    const Point size = windowSize(WindowId::view());
    // A pointer grabbed outside a windowed view scrolls as if on its edge.
    const int32_t x = std::clamp(at.x, 0, std::max(0, size.x - 1));
    const int32_t y = std::clamp(at.y, 0, std::max(0, size.y - 1));
    int32_t dx = 0, dy = 0;
    if (x < kEdgeScrollBorder)
        dx = x - kEdgeScrollBorder;
    else if (x > size.x - kEdgeScrollBorder)
        dx = kEdgeScrollBorder - (size.x - x);
    if (y < kEdgeScrollBorder)
        dy = y - kEdgeScrollBorder;
    else if (y > size.y - kEdgeScrollBorder)
        dy = kEdgeScrollBorder - (size.y - y);
    if (dx == 0 && dy == 0) return false;
    savedScroll_.reset();
    if (reduce_ > 1) return scroll(dx * reduce_, dy * reduce_) != 0;
    return scroll(zoomScaledStep(dx, zoom()), zoomScaledStep(dy, zoom())) != 0;
}

// A dragged group follows the pointer into another window's list.
void ViewController::followIntoWindow(WindowId window, Point play) {
    if (window == dragWindow_ || !windowOpen(window)) return;
    const ListId from = listOf(dragWindow_), to = listOf(window);
    invalidate(dragWindow_, groupBox(from, dragPiece_));
    c_.model.movePieceToList(to, from, dragPiece_);
    c_.network.announceListChange(from, to, dragPiece_, {play.x + grabOffset_.x, play.y + grabOffset_.y});
    if (isSortingBox(from)) c_.windows.boxContentsChanged(int(from) - int(ListId::Box1) + 1);
    if (isSortingBox(to)) c_.windows.boxContentsChanged(int(to) - int(ListId::Box1) + 1);
    dragWindow_ = window;
}

void ViewController::dragPieceTo(WindowId window, KeyFlags, Point play, Point at) {
    const bool scrolled = window.isView() && edgeScroll(at);
    if (dragPiece_ != kNone) {
        followIntoWindow(window, play);
        const ListId list = listOf(dragWindow_);
        const Rect before = groupBox(list, dragPiece_);
        c_.model.moveGroup(list, dragPiece_, play.x + grabOffset_.x, play.y + grabOffset_.y);
        const Piece& p = c_.model.piece(dragPiece_);
        c_.network.announceMove(list, dragPiece_, p.x, p.y);
        const Rect after = groupBox(list, dragPiece_);
        // Two boxes, not their union: a fast move far across the view
        // repaints two small areas instead of everything between them.
        if (before.intersects(after)) {
            invalidate(dragWindow_, before.united(after));
        } else {
            invalidate(dragWindow_, before);
            invalidate(dragWindow_, after);
        }
        if (!scrolled) c_.windows.redrawOverview();
    } else if (draggingSelection_) {
        moveSelection(window, play);
    } else if (bandActive_) {
        const Rect old = normalised(bandAnchor_, bandCorner_);
        bandCorner_ = convertPlay(window, play, bandWindow_);
        invalidate(bandWindow_, old.united(normalised(bandAnchor_, bandCorner_)));
    }
}

// Moves the selection by the pointer's travel since the anchor, after taking
// it into the window the pointer entered. A move that would take a piece
// off its area is not made and the pointer goes back onto the anchor.
bool ViewController::moveSelection(WindowId window, Point play) {
    ListId list = listOf(dragWindow_);
    if (!(window == dragWindow_) && windowOpen(window)) {
        const ListId to = listOf(window);
        invalidate(dragWindow_, selectedBox(list));
        c_.model.moveSelectedPiecesToList(to, list);
        c_.network.announceSelectedListChange(list, to);
        if (isSortingBox(list)) c_.windows.boxContentsChanged(int(list) - int(ListId::Box1) + 1);
        if (isSortingBox(to)) c_.windows.boxContentsChanged(int(to) - int(ListId::Box1) + 1);
        // The anchor is carried over to where it shows in the new window, so
        // the selection keeps its place under the pointer.
        anchor_ = convertPlay(dragWindow_, anchor_, window);
        dragWindow_ = window;
        list = to;
    } else {
        play = convertPlay(window, play, dragWindow_);
    }
    const int32_t dx = play.x - anchor_.x, dy = play.y - anchor_.y;
    Rect dirty;
    if (c_.model.moveSelectedBy(list, dx, dy, &dirty, true)) {
        if (dx != 0 || dy != 0) c_.network.announceMoveSelected(list, dx, dy);
        anchor_ = play;
        invalidate(dragWindow_, dirty);
        return true;
    }
    c_.platform.movePointer(dragWindow_, playToWindow(dragWindow_, anchor_));
    return false;
}

// ------------------------------------------------------------ ReleasePiece

void ViewController::releasePiece(WindowId window, KeyFlags keys, Point play, Point at) {
    if (dragPiece_ != kNone)
        releaseGroup(window, play);
    else if (draggingSelection_)
        releaseSelection(window, play);
    else if (bandActive_)
        releaseBand(window, keys, at);
    else
        return;
    c_.windows.redrawOverview();
    c_.assist.refreshBoxCaptions();
}

// Lets go of the group of `piece` where it lies in the list: a single
// player decides at once (the play area: joins, the snap into place and
// their sounds; a box: joins only); a network drop goes to the host.
void ViewController::dropGroupAt(ListId list, int32_t piece) {
    const WindowId window = windowOfList(list);
    const Piece& p = c_.model.piece(piece);
    if (c_.network.networkGame()) {
        c_.network.sendDrop(list, piece, p.x, p.y);
        invalidate(window, groupBox(list, piece));
        return;
    }
    const int player = c_.network.localPlayer();
    if (list != ListId::Main) {
        NoReports none;
        const DropResult r = dropInSortingBox(c_.model, list, piece, player, none);
        invalidate(window, r.dirty);
        c_.windows.boxContentsChanged(int(list) - int(ListId::Box1) + 1);
        return;
    }
    LocalOutcomes outcomes;
    const DropResult r =
        dropGroup(c_.model, piece, c_.model.toPictureX(p.x), c_.model.toPictureY(p.y), player, outcomes);
    invalidate(window, r.dirty);
    RemoteContext context;
    context.decidingMachine = true;
    context.localPlayer = player;
    context.hearOtherPlayers = c_.network.hearOtherPlayers();
    context.zoomShift = zoom();
    context.networkGame = false;
    for (const RemoteOutcome& o : outcomes.outcomes)
        applyRemoteOutcome(c_.model, o, context, c_.puzzleState, c_.completion, c_.rng);
}

void ViewController::releaseGroup(WindowId window, Point play) {
    const int32_t piece = dragPiece_;
    followIntoWindow(window, play);
    if (!(window == dragWindow_)) play = convertPlay(window, play, dragWindow_);
    const ListId list = listOf(dragWindow_);
    markChanged();
    const Rect before = groupBox(list, piece);
    c_.model.moveGroup(list, piece, play.x + grabOffset_.x, play.y + grabOffset_.y);
    c_.model.setGroupSelected(list, piece, false);
    invalidate(dragWindow_, before.united(groupBox(list, piece)));
    dragPiece_ = kNone;
    dropGroupAt(list, piece);
}

void ViewController::modalWindowOpened() {
    if (!puzzleExists()) return;
    if (dragPiece_ != kNone) {
        const Piece& p = c_.model.piece(dragPiece_);
        releaseGroup(dragWindow_, {p.x - grabOffset_.x, p.y - grabOffset_.y});
    } else if (draggingSelection_) {
        releaseSelection(dragWindow_, anchor_);
    } else if (bandActive_) {
        bandActive_ = false;
        invalidate(bandWindow_, grown(normalised(bandAnchor_, bandCorner_), 1));
        return;
    } else {
        return;
    }
    c_.windows.redrawOverview();
    c_.assist.refreshBoxCaptions();
}

void ViewController::releaseSelection(WindowId window, Point play) {
    draggingSelection_ = false;
    moveSelection(window, play);
    // Moving the selection changes the arrangement as much as a group drag.
    markChanged();
    const ListId list = listOf(dragWindow_);
    c_.network.announceSelectionDropped(list);
    if (c_.model.countSelectedGroups(list) != 1) {
        playEvent(kSoundDropPiece);
        return;
    }
    int32_t piece = kNone;
    {
        NamedLock lock(NamedMutex::PIECE);
        c_.model.forEachGroup(list, [&](int32_t g) {
            const int32_t first = c_.model.groupNode(g).firstMember;
            if (piece == kNone && first != kNone && c_.model.member(first).selected) piece = first;
        });
    }
    if (piece == kNone) return;
    c_.model.setGroupSelected(list, piece, false);
    c_.network.announceSelection(list, piece, false);
    c_.network.releaseHold(list, piece);
    dropGroupAt(list, piece);
}

void ViewController::releaseBand(WindowId window, KeyFlags keys, Point at) {
    bandCorner_ = convertPlay(window, windowToPlay(window, at), bandWindow_);
    bandActive_ = false;
    const Rect rect = grown(normalised(bandAnchor_, bandCorner_), 1);
    const ListId list = listOf(bandWindow_);
    invalidate(bandWindow_, rect);

    const int t = tool();
    int deselected = 0;
    if ((!keys.control && !keys.shift && t != kToolArrange) || t == kToolSolve || t == kToolFind)
        deselected = clearAllSelections();
    int selected = 0;
    if (t == kToolNormal || t == kToolZoom || t == kToolSolve) selected = selectInside(list, rect);
    if (t == kToolNormal) {
        if (selected > 0)
            playEvent(kSoundSelectPieces);
        else if (deselected == 0)
            playEvent(kSoundRefused);
    }
    switch (t) {
        case kToolArrange:
            playEvent(kSoundArrange);
            recordUndo();
            c_.network.announceArrange(list, rect);
            c_.assist.arrangeTool(list, rect);
            markChanged();
            setTool(kToolNormal);
            break;
        case kToolSolve:
            // A shared puzzle changes only through the host: it solves the
            // groups just selected (and so held); an area without them is
            // refused rather than solved on this machine alone.
            if (c_.network.sharesPieces()) {
                if (selected > 0 && !keys.control)
                    c_.network.sendSolveSelected(list);
                else
                    playEvent(kSoundRefused);
                break;
            }
            recordUndo();
            if (c_.assist.solveTool(rect, !(selected == 0 || keys.control)) > 0) markChanged();
            break;
        case kToolFind: {
            Rect area = rect;
            c_.assist.findTool(area);
            break;
        }
        default:
            break;
    }
}

// ----------------------------------------------------------- zoom, scroll

void ViewController::zoomTo(WindowId window, int z, bool redraw) {
    z = clampZoom(z);
    if (!windowOpen(window)) return;
    if (!window.isView()) {
        // The box's pieces shift so that what was at its centre stays there.
        const Rect client = c_.windows.boxClientRect(window.box + 1);
        const int old = zoom(window);
        const int32_t dx = ((client.width() >> z) - (client.width() >> old)) / 2;
        const int32_t dy = ((client.height() >> z) - (client.height() >> old)) / 2;
        c_.windows.setBoxZoom(window.box + 1, z);
        if (dx != 0 || dy != 0) c_.model.offsetListPieces(listOf(window), dx, dy, nullptr);
        c_.windows.boxContentsChanged(window.box + 1);
    } else {
        // From below x1 the view comes back to x1 about the same centre.
        reduce_ = 1;
        fitted_ = false;
        const Point size = windowSize(window);
        const int old = zoom();
        c_.settings.zoomShift = z;
        // The centre of the window's play-area rectangle stays where it was.
        const int32_t shiftX = (size.x >> z) / 2 - (size.x >> old) / 2;
        const int32_t shiftY = (size.y >> z) / 2 - (size.y >> old) / 2;
        if (puzzleExists()) scroll(-shiftX, -shiftY);
    }
    markChanged();
    if (redraw) invalidateAll(window);
}

void ViewController::zoomOutTo(int32_t factor) {
    if (factor <= 1) {
        zoomTo(WindowId::view(), 0, true);
        return;
    }
    factor = std::min(factor, kMaxReduce);
    // Back to x1 about the centre first (the record's zoom changes only
    // then), then out about the play area's centre, which x1 shows.
    if (zoom() != 0) zoomTo(WindowId::view(), 0, false);
    reduce_ = factor;
    fitted_ = false;
    invalidateAll(WindowId::view());
    c_.windows.redrawOverview();
}

void ViewController::zoomToFit() {
    if (!puzzleExists()) return;
    const Point size = windowSize(WindowId::view());
    if (size.x <= 0 || size.y <= 0) return;
    const Rect table = tableRect();
    // A margin of a few pixels keeps the outermost pieces off the edge.
    const int64_t w = int64_t(table.width()) + 16, h = int64_t(table.height()) + 16;
    const int32_t factor =
        std::clamp(std::max(ceilDivide(w, size.x), ceilDivide(h, size.y)), 1, kMaxReduce);
    // The table's centre comes to the play area's centre, past the scroll
    // bounds if need be (they are for scrolling, not for showing the table).
    const Point centre{size.x / 2, size.y / 2};
    const Point mid{table.left + table.width() / 2, table.top + table.height() / 2};
    // The record's zoom (x1 from here) is the saved one: changing it is a
    // change of the document, a reduction is not.
    if (zoom() != 0) {
        c_.settings.zoomShift = 0;
        markChanged();
    }
    reduce_ = factor;
    moveWorld(centre.x - mid.x, centre.y - mid.y);
    fitted_ = true;
    invalidateAll(WindowId::view());
    c_.windows.redrawOverview();
}

void ViewController::fitIfTableHidden() {
    if (!puzzleExists()) return;
    const Rect table = tableRect();
    const Rect shown = visiblePlayArea();
    if (shown.united(table) == shown) return;
    // Opening a puzzle is no change of it: the record's zoom goes back to
    // x1 without marking the document, and the pieces stay where they were
    // saved when zooming out far enough shows them all.
    c_.settings.zoomShift = 0;
    for (int32_t factor = 2; factor <= kMaxReduce; ++factor) {
        reduce_ = factor;
        const Rect view = visiblePlayArea();
        if (view.united(table) == view) {
            fitted_ = true;
            invalidateAll(WindowId::view());
            c_.windows.redrawOverview();
            return;
        }
    }
    reduce_ = 1;
    zoomToFit();
}

int32_t ViewController::playDistance(int32_t windowPixels) const {
    if (reduce_ > 1) return windowPixels * reduce_;
    const int z = zoom();
    return windowPixels >= 0 ? windowPixels >> z : -((-windowPixels) >> z);
}

// One step along x1/8, x1/4, x1/2, x1, x2, x4, x8; from a fit's factor the
// next power of two.
void ViewController::zoomStep(int steps) {
    for (; steps > 0; --steps) {
        if (reduce_ > 1) {
            int32_t next = 1;
            while (next * 2 < reduce_) next *= 2;
            if (next == 1)
                zoomTo(WindowId::view(), 0, false);
            else
                zoomOutTo(next);
        } else if (zoom() < 3) {
            zoomTo(WindowId::view(), zoom() + 1, false);
        }
    }
    for (; steps < 0; ++steps) {
        if (reduce_ > 1) {
            int32_t next = 2;
            while (next <= reduce_) next *= 2;
            if (next <= 8) zoomOutTo(next);
        } else if (zoom() > 0) {
            zoomTo(WindowId::view(), zoom() - 1, false);
        } else {
            zoomOutTo(2);
        }
    }
    invalidateAll(WindowId::view());
}

void ViewController::zoomAbout(Point at, int steps) {
    if (!puzzleExists() || steps == 0) return;
    const Point offset = assemblyOffset();
    Point before = windowToPlay(WindowId::view(), at);
    zoomStep(steps);
    // The zoom's own centring moved the pieces; the point that was under the
    // pointer comes back under it.
    before.x += assemblyOffset().x - offset.x;
    before.y += assemblyOffset().y - offset.y;
    const Point after = windowToPlay(WindowId::view(), at);
    moveWorld(after.x - before.x, after.y - before.y);
    if (busy()) dragAtPointer();
    invalidateAll(WindowId::view());
    c_.windows.redrawOverview();
}

void ViewController::wheelScroll(int32_t dx, int32_t dy) {
    if (!puzzleExists()) return;
    savedScroll_.reset();
    // A held piece follows; without one the pointer's place means nothing
    // (it may lie in the edge-scrolling border).
    if (scroll(playDistance(dx), playDistance(dy)) && busy()) dragAtPointer();
}

void ViewController::panPress(Point at) {
    if (!puzzleExists()) return;
    panning_ = true;
    panAnchor_ = at;
}

void ViewController::panMove(Point at) {
    if (!panning_ || !puzzleExists()) return;
    const int32_t px = playDistance(at.x - panAnchor_.x), py = playDistance(at.y - panAnchor_.y);
    if (px == 0 && py == 0) return;
    // The anchor advances by what was turned into play-area pixels, so slow
    // moves at a magnifying zoom add up.
    const ViewTransform t = transform(WindowId::view());
    const int32_t usedX = t.reduce > 1 ? at.x - panAnchor_.x : px * (1 << t.zoom);
    const int32_t usedY = t.reduce > 1 ? at.y - panAnchor_.y : py * (1 << t.zoom);
    panAnchor_.x += usedX;
    panAnchor_.y += usedY;
    savedScroll_.reset();
    scroll(-px, -py);
}

void ViewController::panRelease() { panning_ = false; }

void ViewController::zoomClick(WindowId window, Point at, KeyFlags keys) {
    if (!windowOpen(window)) return;
    if (window.isView() && (reduce_ > 1 || (keys.control && zoom() == 0))) {
        // Below x1: the same steps, the clicked point brought to the centre.
        playEvent(keys.control ? kSoundZoomOut : kSoundZoomIn);
        const Point offset = assemblyOffset();
        Point clicked = windowToPlay(window, at);
        zoomStep(keys.control ? -1 : 1);
        clicked.x += assemblyOffset().x - offset.x;
        clicked.y += assemblyOffset().y - offset.y;
        const Point size = windowSize(window);
        const Point centre = windowToPlay(window, Point{size.x / 2, size.y / 2});
        scroll(clicked.x - centre.x, clicked.y - centre.y);
        invalidateAll(window);
        return;
    }
    const Point size = windowSize(window);
    const int old = zoom(window);
    const Point offset{(at.x - size.x / 2) >> old, (at.y - size.y / 2) >> old};
    int z;
    if (keys.control) {
        playEvent(kSoundZoomOut);
        z = std::max(0, old - 1);
    } else {
        playEvent(kSoundZoomIn);
        z = std::min(3, old + 1);
    }
    if (z != old) zoomTo(window, z, false);
    // The clicked point comes to the centre.
    if (window.isView())
        scroll(offset.x, offset.y);
    else if (offset.x != 0 || offset.y != 0)
        c_.model.offsetListPieces(listOf(window), -offset.x, -offset.y, nullptr);
    invalidateAll(window);
}

int ViewController::scroll(int32_t dx, int32_t dy) {
    if (!puzzleExists()) return 0;
    const Rect bounds = scrollBounds();
    const Point size = windowSize(WindowId::view());
    // The bounds hold for the window's left (top) edge at zoom 0; the view
    // shows the play area from `shown`'s corner, `shown`'s size across.
    const Rect shown = visiblePlayArea();
    int32_t lowX = bounds.left + shown.left + shown.width() - size.x, highX = bounds.right + shown.left;
    int32_t lowY = bounds.top + shown.top + shown.height() - size.y, highY = bounds.bottom + shown.top;
    // Zoomed out past the region pieces may lie in, the region may move
    // anywhere inside the view.
    if (lowX > highX) std::swap(lowX, highX);
    if (lowY > highY) std::swap(lowY, highY);
    int32_t sx, sy;
    {
        NamedLock lock(NamedMutex::PIECE);
        // The shift is cut short at the bounds, never turned round: an
        // offset already outside them (after a zoom out) is not pulled back
        // by a scroll the other way.
        auto limit = [](int32_t offset, int32_t shift, int32_t low, int32_t high) {
            int32_t next = offset + shift;
            if (next > high) next = high;
            if (next < low) next = low;
            const int32_t limited = next - offset;
            return (shift > 0 && limited > 0) || (shift < 0 && limited < 0) ? limited : 0;
        };
        const PuzzleGeometry& g = c_.model.geometry();
        sx = limit(g.offsetX, -dx, lowX, highX);
        sy = limit(g.offsetY, -dy, lowY, highY);
    }
    if (sx == 0 && sy == 0) return 0;
    moveWorld(sx, sy);
    return 1;
}

void ViewController::moveWorld(int32_t sx, int32_t sy) {
    if (sx == 0 && sy == 0) return;
    {
        NamedLock lock(NamedMutex::PIECE);
        PuzzleGeometry& g = c_.model.geometry();
        c_.model.offsetListPieces(ListId::Main, sx, sy, nullptr);
        c_.model.offsetListPieces(ListId::Finished, sx, sy, nullptr);
        g.offsetX += sx;
        g.offsetY += sy;
        c_.settings.assemblyOffsetX = g.offsetX;
        c_.settings.assemblyOffsetY = g.offsetY;
    }
    if (bandActive_ && bandWindow_.isView()) {
        bandAnchor_.x += sx;
        bandAnchor_.y += sy;
    }
    if ((dragPiece_ != kNone || draggingSelection_ || bandActive_) && dragWindow_.isView()) {
        anchor_.x += sx;
        anchor_.y += sy;
    }
    c_.windows.redrawOverview();
    invalidateAll(WindowId::view());
}

void ViewController::scrollTo(Point offset) {
    const Point now = assemblyOffset();
    scroll(now.x - offset.x, now.y - offset.y);
}

void ViewController::dragAtPointer() {
    mouseMove(WindowId::view(), c_.platform.pointerPosition(WindowId::view()), keys_);
}

void ViewController::centerView() {
    if (!puzzleExists()) return;
    playEvent(kSoundCenter);
    const Point size = windowSize(WindowId::view());
    const int z = zoom();
    const Point off = assemblyOffset();
    // Zoomed out, the view is centred on the play area's centre.
    if (reduce_ > 1)
        scroll(off.x, off.y);
    else
        scroll(off.x + (size.x - (size.x >> z)) / 2, off.y + (size.y - (size.y >> z)) / 2);
    dragAtPointer();
    invalidateAll(WindowId::view());
}

int ViewController::selectAll() {
    if (!puzzleExists()) return 0;
    const int n = c_.assist.selectAll();
    markChanged();
    return n;
}

// --------------------------------------------------------------- messages

void ViewController::pieceInfo() {
    const int32_t piece = lastHit().piece();
    if (!c_.model.validPiece(piece)) return;
    std::string text;
    {
        NamedLock lock(NamedMutex::PIECE);
        const Piece& p = c_.model.piece(piece);
        const ListId list = c_.model.listOfPiece(piece);
        const int32_t g = c_.model.findGroupOfPiece(list, piece);
        const int32_t number = g == kNone ? -1 : c_.model.groupNode(g).groupNumber;
        char buffer[256];
        std::snprintf(buffer, sizeof buffer,
                      "Piece #:%d\nX: %d Y: %d\nWidth: %d Height: %d\nGroup: %s\nGroup Number: %d",
                      int(piece), int(p.x), int(p.y), int(p.width), int(p.height),
                      list == ListId::None ? "None" : listName(list), int(number));
        text = buffer;
    }
    c_.platform.messageBox(text);
}

void ViewController::pieceNumber() {
    const int32_t piece = lastHit().piece();
    if (piece == kNone) return;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Piece number: %ld", long(piece));
    c_.platform.messageBox(buffer);
}

// ---------------------------------------------------------------- commands

bool ViewController::command(uint32_t id) {
    namespace mc = menu_command;
    const HitCode hit = lastHit();
    const WindowId window = hit.box() >= 0 ? WindowId::sortingBox(hit.box()) : WindowId::view();
    switch (id) {
        case mc::kZoom1:
            zoomTo(window, 0, true);
            return true;
        case mc::kZoom2:
            zoomTo(window, 1, true);
            return true;
        case mc::kZoom4:
            zoomTo(window, 2, true);
            return true;
        case mc::kZoom8:
            zoomTo(window, 3, true);
            return true;
        case view_command::kZoomHalf:
            zoomOutTo(2);
            return true;
        case view_command::kZoomQuarter:
            zoomOutTo(4);
            return true;
        case view_command::kZoomEighth:
            zoomOutTo(8);
            return true;
        case view_command::kZoomFit:
            zoomToFit();
            return true;
        case mc::kSelectAll:
            selectAll();
            return true;
        case mc::kCenter:
            centerView();
            return true;
        case mc::kPieceInfo:
            pieceInfo();
            return true;
        case view_command::kPieceNumber:
            pieceNumber();
            return true;
        default:
            return false;
    }
}

// A menu choice: the view's own commands run here, the others in the
// frame's dispatch, at once when the front end can.
void ViewController::runMenuChoice(uint32_t id) {
    if (id != 0 && !command(id) && !c_.windows.runCommand(id)) c_.platform.postCommand(id);
}

void ViewController::popUpViewMenu(WindowId window, HitCode hit, KeyFlags keys, Point play, Point at) {
    if (tool() != kToolNormal) setTool(kToolNormal);
    if (busy()) releasePiece(window, keys, play, at);
    c_.assist.setLastHit(hit);
    ViewMenuState state;
    state.hit = hit;
    state.puzzleLoaded = puzzleExists();
    state.finished = finished();
    state.solveSpaceAvailable = state.puzzleLoaded && window.isView() && !hit.hasPiece() &&
                                solveSpaceAvailable(c_.model, play.x, play.y);
    state.networkGame = c_.network.networkGame();
    state.allowed = allowances();
    state.zoom = zoom(window);
    if (window.isView()) {
        state.reduce = reduce_;
        state.fitted = fitted_;
    }
    c_.windows.pauseMovie(true);
    const uint32_t id = c_.platform.popupMenu(window, at, composeViewMenu(state));
    c_.windows.pauseMovie(false);
    runMenuChoice(id);
}

// -------------------------------------------------------------------- keys

void ViewController::enterKey() {
    if (!savedScroll_) {
        savedScroll_ = assemblyOffset();
        centerView();
        return;
    }
    const Point back = *savedScroll_;
    savedScroll_.reset();
    playEvent(kSoundCenter);
    scrollTo(back);
    dragAtPointer();
    invalidateAll(WindowId::view());
}

void ViewController::spaceKey() {
    switch (c_.renderer.viewMode) {
        case kViewPiecesShown: {
            c_.renderer.viewMode = kViewPlayAreaHidden;
            c_.windows.hideSideWindows();
            const Point now = assemblyOffset();
            centerView();
            savedScroll_ = now;  // after the centring, whose pointer move may clear it
            invalidateAll(WindowId::view());
            break;
        }
        case kViewPlayAreaHidden:
            c_.renderer.viewMode = kViewAssembled;
            invalidateAll(WindowId::view());
            break;
        case kViewAssembled:
            playEvent(kSoundCenter);
            c_.renderer.viewMode = kViewPiecesShown;
            if (savedScroll_) scrollTo(*savedScroll_);
            savedScroll_.reset();
            c_.windows.restoreSideWindows();
            invalidateAll(WindowId::view());
            break;
        default:
            break;
    }
}

bool ViewController::undoLastMove(bool fromKeyboard) {
    // Not while something is held: the lists are rebuilt by an undo. Not
    // in a network game: the others' moves cannot be taken back.
    if (!puzzleExists() || busy() || c_.network.networkGame() || c_.settings.networkGame) return false;
    const bool undone = fromKeyboard
                            ? c_.undo.undoFromKeyboard(c_.puzzleState, c_.model, c_.settings, c_.undoActions)
                            : c_.undo.undo(c_.model, c_.settings, c_.undoActions);
    if (undone) {
        // The restored record brings back the offset its positions belong
        // to, and its zoom.
        NamedLock lock(NamedMutex::PIECE);
        c_.model.geometry().offsetX = c_.settings.assemblyOffsetX;
        c_.model.geometry().offsetY = c_.settings.assemblyOffsetY;
        c_.settings.zoomShift = clampZoom(c_.settings.zoomShift);
    }
    // A magnifying zoom brought back replaces a reduced one.
    if (undone && c_.settings.zoomShift != 0) {
        reduce_ = 1;
        fitted_ = false;
    }
    invalidateAll(WindowId::view());
    return undone;
}

void ViewController::keyDown(ViewKey key, KeyFlags keys, WindowId window) {
    keys_ = keys;
    if (!puzzleExists()) return;
    // Letters pick tools and open windows only on their own: with Ctrl they
    // are the desktop's shortcuts, which the frame handles (Ctrl+S saves),
    // except Ctrl+Z, undo, the same as Backspace.
    if (keys.control && key == ViewKey::Z) key = ViewKey::Backspace;
    if (keys.control && isLetterKey(key)) return;
    if (!windowOpen(window)) window = WindowId::view();
    const Point at = c_.platform.pointerPosition(window);
    const Point play = windowToPlay(window, at);
    hitAt(window, play);

    if (finished()) {
        // A finished puzzle only looks: Space centres like Enter, and the
        // keys that change pieces or open windows do nothing.
        if (key == ViewKey::Space) key = ViewKey::Enter;
        switch (key) {
            case ViewKey::Escape:
            case ViewKey::Z:
            case ViewKey::T:
            case ViewKey::Control:
            case ViewKey::Left:
            case ViewKey::Right:
            case ViewKey::Up:
            case ViewKey::Down:
            case ViewKey::Enter:
            case ViewKey::Minus:
            case ViewKey::Plus:
            case ViewKey::Zero:
                break;
            default:
                return;
        }
    }

    const AssistAllowances allowed = allowances();
    switch (key) {
        case ViewKey::Escape:
            setTool(kToolNormal);
            break;
        case ViewKey::A:
            selectTool(kToolArrange);
            break;
        case ViewKey::S:
            selectTool(kToolSolve);
            break;
        case ViewKey::Z:
            setTool(kToolZoom);
            break;
        case ViewKey::F:
            selectTool(kToolFind);
            break;
        case ViewKey::N:
            if (allowed.findNearby) {
                clickPoint_ = play;
                runMenuChoice(menu_command::kNearThisOne);
            }
            break;
        case ViewKey::C:
            if (allowed.findByColour) {
                clickPoint_ = play;
                runMenuChoice(menu_command::kWithThisColor);
            }
            break;
        case ViewKey::Box1:
        case ViewKey::Box2:
        case ViewKey::Box3:
        case ViewKey::Box4:
            if (allowed.sortingBoxes) c_.windows.toggleSortingBox(int(key) - int(ViewKey::Box1) + 1);
            break;
        case ViewKey::O:
            c_.windows.toggleOverview();
            break;
        case ViewKey::P:
            c_.windows.togglePreview();
            break;
        case ViewKey::T:
            c_.windows.toggleToolPalette();
            break;
        case ViewKey::Backspace:
            undoLastMove(true);
            break;
        case ViewKey::Control:
            if (tool() == kToolZoom) c_.platform.setCursor(CursorShape::ZoomOut);
            break;
        case ViewKey::Left:
        case ViewKey::Right:
        case ViewKey::Up:
        case ViewKey::Down: {
            const PuzzleGeometry& g = c_.model.geometry();
            const int32_t cellW = c_.model.columns() > 0 ? g.pictureWidth / c_.model.columns() : 0;
            const int32_t cellH = c_.model.rows() > 0 ? g.pictureHeight / c_.model.rows() : 0;
            int32_t dx = 0, dy = 0;
            if (key == ViewKey::Left) dx = -cellW;
            if (key == ViewKey::Right) dx = cellW;
            if (key == ViewKey::Up) dy = -cellH;
            if (key == ViewKey::Down) dy = cellH;
            savedScroll_.reset();
            if (reduce_ > 1) dx *= reduce_, dy *= reduce_;
            if (scroll(zoomScaledStep(dx, zoom()), zoomScaledStep(dy, zoom()))) {
                dragAtPointer();
                invalidateAll(WindowId::view());
            }
            break;
        }
        case ViewKey::Enter:
            enterKey();
            break;
        case ViewKey::Space:
            spaceKey();
            break;
        case ViewKey::Eight:
            pieceNumber();
            break;
        case ViewKey::Minus:
        case ViewKey::Plus: {
            // About the window's centre, as the menu's zooms.
            const Point size = windowSize(WindowId::view());
            zoomAbout({size.x / 2, size.y / 2}, key == ViewKey::Plus ? 1 : -1);
            break;
        }
        case ViewKey::Zero:
            zoomToFit();
            break;
        case ViewKey::Other:
            break;
    }
}

void ViewController::keyUp(ViewKey key, KeyFlags keys) {
    keys_ = keys;
    if (key == ViewKey::Control && tool() == kToolZoom) c_.platform.setCursor(CursorShape::ZoomIn);
}

}  // namespace pavalo
