// The side windows' rules: open, close, Hide, placements, box pieces and
// scroll bars, the preview's aspect.
#include "shell/side_window_manager.h"

#include <algorithm>

#include "common/sound_events.h"
#include "puzzle/assist_commands.h"

namespace pavalo {

Rect RectangleViews::client(SideWindow w) const {
    const Rect& f = frames_[size_t(w)];
    if (f.empty()) return {};
    return {f.left + kBorder, f.top + kBorder + kCaption, std::max(f.left + kBorder + 1, f.right - kBorder),
            std::max(f.top + kBorder + kCaption + 1, f.bottom - kBorder)};
}

SideWindowManager::SideWindowManager(PuzzleModel& model, SettingsRecord& record,
                                     std::function<const DrawSurface*()> picture, std::function<void()> markChanged,
                                     Point viewSize)
    : model_(model),
      record_(record),
      picture_(std::move(picture)),
      markChanged_(std::move(markChanged)),
      rectangles_(viewSize) {}

void SideWindowManager::setViews(SideWindowViews* views) {
    for (int i = 0; i < kSideWindowCount; ++i) close(SideWindow(i), false, false);
    set_.forgetAll();
    views_ = views ? views : &rectangles_;
}

// ------------------------------------------------------------ sorting boxes

void SideWindowManager::openBox(int box, bool sound) {
    if (validBox(box)) open(sideWindowOfBox(box), sound);
}

void SideWindowManager::closeBox(int box, bool byPlayer, bool sound) {
    if (validBox(box)) close(sideWindowOfBox(box), byPlayer, sound);
}

void SideWindowManager::toggleBox(int box) {
    if (!validBox(box)) return;
    if (isBoxOpen(box))
        closeBox(box);
    else
        openBox(box);
}

Rect SideWindowManager::boxClientRect(int box) const {
    return isBoxOpen(box) ? views_->client(sideWindowOfBox(box)) : Rect{};
}

Rect SideWindowManager::boxClientArea(int box) const {
    if (!isBoxOpen(box)) return {};
    const Rect c = views_->client(sideWindowOfBox(box));
    const int z = std::clamp(boxes_[size_t(box - 1)].zoom, 0, 3);
    return {c.left, c.top, c.left + (c.width() >> z), c.top + (c.height() >> z)};
}

void SideWindowManager::setBoxZoom(int box, int zoom) {
    if (!validBox(box)) return;
    boxes_[size_t(box - 1)].zoom = std::clamp(zoom, 0, 3);
    if (isBoxOpen(box)) views_->redraw(sideWindowOfBox(box));
}

void SideWindowManager::offsetBox(int box, Point d) {
    if (d.x != 0 || d.y != 0) model_.offsetListPieces(sortingBoxList(box), d.x, d.y, nullptr);
}

void SideWindowManager::boxContentsChanged(int box) {
    if (!isBoxOpen(box)) return;
    const ListId list = sortingBoxList(box);
    const Rect pieces = model_.hasPuzzle() ? model_.listBoundingBox(list) : Rect{};
    const BoxScrollBars bars = boxScrollBars(boxClientArea(box), pieces);
    if (bars.shift.x != 0 || bars.shift.y != 0) {
        offsetBox(box, bars.shift);
        views_->redraw(sideWindowOfBox(box));
    }
    BoxState& state = boxes_[size_t(box - 1)];
    state.horizontal = bars.horizontal;
    state.vertical = bars.vertical;
    views_->showScrollBars(box, bars.horizontal, bars.vertical);
}

void SideWindowManager::setBoxCaption(int box, const std::string& caption) {
    if (isBoxOpen(box)) views_->setCaption(sideWindowOfBox(box), caption);
}

void SideWindowManager::refreshCaptions() {
    for (int box = 1; box <= 4; ++box)
        if (isBoxOpen(box)) setBoxCaption(box, sortingBoxCaption(model_, box));
}

void SideWindowManager::redrawBox(int box) {
    if (isBoxOpen(box)) views_->redraw(sideWindowOfBox(box));
}

void SideWindowManager::redrawOverview() {
    if (isOpen(SideWindow::Overview)) views_->redraw(SideWindow::Overview);
}

void SideWindowManager::redrawAll() {
    for (int i = 0; i < kSideWindowCount; ++i)
        if (set_.isOpen(SideWindow(i))) views_->redraw(SideWindow(i));
}

void SideWindowManager::scrollTo(int box, bool horizontal, int32_t value) {
    if (!isBoxOpen(box)) return;
    ScrollAxis& axis = horizontal ? boxes_[size_t(box - 1)].horizontal : boxes_[size_t(box - 1)].vertical;
    const int32_t delta = axis.position - value;
    axis.position = value;
    if (delta == 0) return;
    offsetBox(box, horizontal ? Point{delta, 0} : Point{0, delta});
    views_->redraw(sideWindowOfBox(box));
}

int32_t SideWindowManager::scrollTarget(int box, bool horizontal, ScrollAction action, int32_t track) const {
    if (!validBox(box)) return 0;
    const BoxState& state = boxes_[size_t(box - 1)];
    return pavalo::scrollTarget(horizontal ? state.horizontal : state.vertical, action, track);
}

// ------------------------------------------------------ preview, overview

void SideWindowManager::togglePreview() {
    if (isOpen(SideWindow::Preview))
        close(SideWindow::Preview, false, false);
    else
        open(SideWindow::Preview, true);
}

void SideWindowManager::toggleOverview() {
    if (isOpen(SideWindow::Overview))
        close(SideWindow::Overview, false, false);
    else
        open(SideWindow::Overview, false);
}

// The preview keeps the picture's aspect; the edges that stay put limit how
// large it may grow on the screen.
Rect SideWindowManager::previewFrame(const Rect& proposed, SizingEdge edge) const {
    const DrawSurface* picture = picture_ ? picture_() : nullptr;
    const int32_t pw = picture && picture->hasPixels() ? picture->width() : record_.pictureWidth;
    const int32_t ph = picture && picture->hasPixels() ? picture->height() : record_.pictureHeight;
    if (pw <= 0 || ph <= 0) return proposed;
    const bool fromLeft = edge == SizingEdge::Left || edge == SizingEdge::TopLeft || edge == SizingEdge::BottomLeft;
    const bool fromTop = edge == SizingEdge::Top || edge == SizingEdge::TopLeft || edge == SizingEdge::TopRight;
    const Point view = views_->viewSize();
    const int32_t fixedX = fromLeft ? proposed.right : proposed.left;
    const int32_t fixedY = fromTop ? proposed.bottom : proposed.top;
    const Point maxWindow{fromLeft ? fixedX : view.x - fixedX, fromTop ? fixedY : view.y - fixedY};
    const Point extra = views_->frameExtra();
    const Point client = previewClientSize({proposed.width() - extra.x, proposed.height() - extra.y}, edge, pw, ph,
                                           extra, maxWindow, views_->minimumSize());
    const int32_t w = client.x + extra.x, h = client.y + extra.y;
    const int32_t left = fromLeft ? fixedX - w : fixedX, top = fromTop ? fixedY - h : fixedY;
    return {left, top, left + w, top + h};
}

Rect SideWindowManager::correctMove(SideWindow w, const Rect& proposed) const {
    const Point view = views_->viewSize();
    if (boxOfSideWindow(w)) return keepBoxOnScreen(proposed, view.x, view.y);
    if (w == SideWindow::Preview) return keepWithinScreen(proposed, view.x, view.y);
    return proposed;
}

Rect SideWindowManager::correctSize(SideWindow w, const Rect& proposed, SizingEdge edge) const {
    return w == SideWindow::Preview ? previewFrame(proposed, edge) : proposed;
}

// ------------------------------------------------------------- open, close

void SideWindowManager::open(SideWindow w, bool sound) {
    if (set_.isOpen(w) || !model_.hasPuzzle()) return;
    const Point view = views_->viewSize();
    if (const int box = boxOfSideWindow(w)) {
        BoxState& state = boxes_[size_t(box - 1)];
        Rect r = rectOf(record_.boxRect[size_t(box - 1)]);
        const int32_t step = 20 * (box - 1);
        if (r.empty()) r = {60 + step, 60 + step, 260 + step, 260 + step};
        state.placement.place(r);
        // A placement saved on a larger screen is pulled back onto this one;
        // the pieces move with the window.
        const Rect kept = keepBoxOnScreen(r, view.x, view.y);
        views_->create(w, kept);
        set_.opened(w);
        if (!(kept == r)) offsetBox(box, state.placement.moved(kept));
        saveFrame(w);
        record_.boxOpen[size_t(box - 1)] = 1;
        views_->setCaption(w, sortingBoxCaption(model_, box));
        boxContentsChanged(box);
    } else if (w == SideWindow::Preview) {
        const DrawSurface* picture = picture_ ? picture_() : nullptr;
        if (!picture || !picture->hasPixels()) return;  // nothing to show
        Rect r = rectOf(record_.previewRect);
        if (r.width() < 40 || r.height() < 30) {
            const int32_t width = std::max(160, view.x / 6);
            r = {view.x - 5 - width, 5, view.x - 5, 5 + width * picture->height() / picture->width()};
        }
        views_->create(w, previewFrame(keepWithinScreen(r, view.x, view.y), SizingEdge::Right));
        set_.opened(w);
        saveFrame(w);
    } else {
        Rect r = rectOf(record_.overviewRect);
        if (r.empty()) {
            const int32_t columns = std::max(model_.columns(), 1);
            const OverviewMap m(columns, std::max(model_.rows(), 1), OverviewMap::defaultCell(columns));
            const Point client = m.newClientSize(), extra = views_->frameExtra();
            r = {5, 5, 5 + client.x + extra.x, 5 + client.y + extra.y};
        } else {
            r = keepWithinScreen(r, view.x, view.y);
        }
        views_->create(w, r);
        set_.opened(w);
        saveFrame(w);
    }
    if (sound) playEvent(kSoundOpenWindow);
    views_->windowsChanged();
}

void SideWindowManager::close(SideWindow w, bool byPlayer, bool sound) {
    if (!set_.isOpen(w)) return;
    saveFrame(w);
    if (const int box = boxOfSideWindow(w)) record_.boxOpen[size_t(box - 1)] = 0;
    set_.closed(w, byPlayer);
    views_->destroy(w);
    if (sound) playEvent(kSoundCloseWindow);
    views_->windowsChanged();
}

void SideWindowManager::saveFrame(SideWindow w) {
    const StoredRect r = storedRectOf(views_->frame(w));
    if (const int box = boxOfSideWindow(w))
        record_.boxRect[size_t(box - 1)] = r;
    else if (w == SideWindow::Preview)
        record_.previewRect = r;
    else
        record_.overviewRect = r;
}

void SideWindowManager::closeClicked(SideWindow w) {
    // A box's close box plays the close sound; the preview's and the
    // overview's close silently.
    close(w, true, boxOfSideWindow(w) != 0);
}

// ------------------------------------------------------ moving and sizing

void SideWindowManager::moved(SideWindow w, const Rect& now) {
    if (!set_.isOpen(w)) return;
    if (const int box = boxOfSideWindow(w)) {
        offsetBox(box, boxes_[size_t(box - 1)].placement.moved(now));
        saveFrame(w);
        if (markChanged_) markChanged_();
    } else {
        saveFrame(w);
    }
}

void SideWindowManager::sized(SideWindow w, const Rect& now) {
    if (!set_.isOpen(w)) return;
    if (const int box = boxOfSideWindow(w)) {
        BoxState& state = boxes_[size_t(box - 1)];
        offsetBox(box, state.placement.sizing(now, state.zoom));
        views_->redraw(w);
    } else {
        saveFrame(w);
    }
}

void SideWindowManager::sizingEnded(SideWindow w) {
    if (!set_.isOpen(w)) return;
    if (const int box = boxOfSideWindow(w)) {
        boxes_[size_t(box - 1)].placement.sizingEnded(views_->frame(w));
        saveFrame(w);
        if (markChanged_) markChanged_();
        boxContentsChanged(box);
    }
}

// ------------------------------------------------------------ all of them

void SideWindowManager::toggleHide() {
    if (set_.hidden())
        restore();
    else
        hide();
}

void SideWindowManager::hide() {
    for (SideWindow w : set_.hide()) close(w, false, false);
}

void SideWindowManager::restore() {
    for (SideWindow w : set_.restore()) open(w, false);
}

void SideWindowManager::closeAll() {
    for (int i = 0; i < kSideWindowCount; ++i) close(SideWindow(i), false, false);
    set_.forgetAll();
}

void SideWindowManager::closePreviewAndOverview() {
    close(SideWindow::Preview, false, false);
    close(SideWindow::Overview, false, false);
}

void SideWindowManager::closeSortingBoxes() {
    for (int box = 1; box <= 4; ++box) close(sideWindowOfBox(box), false, false);
}

void SideWindowManager::openFromRecord() {
    for (int box = 1; box <= 4; ++box)
        if (record_.boxOpen[size_t(box - 1)] && !isBoxOpen(box)) {
            // open() sets the flag again once the window exists.
            record_.boxOpen[size_t(box - 1)] = 0;
            openBox(box, false);
        }
}

void SideWindowManager::keepOnScreen() {
    for (int box = 1; box <= 4; ++box) {
        if (!isBoxOpen(box)) continue;
        const SideWindow w = sideWindowOfBox(box);
        const Rect now = views_->frame(w);
        const Rect kept = correctMove(w, now);
        if (kept == now) continue;
        views_->place(w, kept);
        offsetBox(box, boxes_[size_t(box - 1)].placement.moved(kept));
        saveFrame(w);
        boxContentsChanged(box);
    }
    for (SideWindow w : {SideWindow::Preview, SideWindow::Overview}) {
        if (!isOpen(w)) continue;
        const Point view = views_->viewSize();
        const Rect now = views_->frame(w);
        const Rect kept = keepWithinScreen(now, view.x, view.y);
        if (kept == now) continue;
        views_->place(w, kept);
        saveFrame(w);
    }
}

void SideWindowManager::restorePlacements() {
    for (int box = 1; box <= 4; ++box) {
        const bool open = isBoxOpen(box);
        record_.boxOpen[size_t(box - 1)] = open ? 1 : 0;
        if (!open) continue;
        const Rect r = rectOf(record_.boxRect[size_t(box - 1)]);
        if (r.empty()) continue;
        boxes_[size_t(box - 1)].placement.place(r);
        views_->place(sideWindowOfBox(box), r);
        boxContentsChanged(box);
        views_->redraw(sideWindowOfBox(box));
    }
    if (isOpen(SideWindow::Preview)) {
        const Rect r = rectOf(record_.previewRect);
        if (!r.empty()) views_->place(SideWindow::Preview, r);
    }
    if (isOpen(SideWindow::Overview)) {
        const Rect r = rectOf(record_.overviewRect);
        if (!r.empty()) views_->place(SideWindow::Overview, r);
    }
}

}  // namespace pavalo
