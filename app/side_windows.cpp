// The side windows together: open, close, Hide, placements and routing.
#include "app/side_windows.h"

#include "common/sound_events.h"
#include "surface/draw_surface.h"
#include "puzzle/assist_commands.h"

namespace pavalo {
namespace {

bool validBox(int box) { return box >= 1 && box <= 4; }

}  // namespace

SideWindows::SideWindows(QWidget* view, const SideWindowContext& context) : view_(view), context_(context) {}

SideWindows::~SideWindows() {
    for (auto& w : boxWindows_) delete w.data();
    delete preview_.data();
    delete overview_.data();
}

// ------------------------------------------------------------ sorting boxes

bool SideWindows::isBoxOpen(int box) const { return validBox(box) && boxWindows_[size_t(box - 1)]; }

SortingBoxWindow* SideWindows::boxWindow(int box) const {
    return validBox(box) ? boxWindows_[size_t(box - 1)].data() : nullptr;
}

void SideWindows::openBox(int box, bool sound) {
    if (validBox(box)) open(sideWindowOfBox(box), sound);
}

void SideWindows::closeBox(int box, bool byPlayer, bool sound) {
    if (validBox(box)) close(sideWindowOfBox(box), byPlayer, sound);
}

void SideWindows::toggleBox(int box) {
    if (!validBox(box)) return;
    if (isBoxOpen(box))
        closeBox(box);
    else
        openBox(box);
}

Rect SideWindows::boxClientRect(int box) const {
    const SortingBoxWindow* w = boxWindow(box);
    return w ? w->clientRect() : Rect{};
}

Rect SideWindows::boxClientArea(int box) const {
    const SortingBoxWindow* w = boxWindow(box);
    return w ? w->clientArea() : Rect{};
}

int SideWindows::boxZoom(int box) const { return validBox(box) ? boxes_[size_t(box - 1)].zoom : 0; }

void SideWindows::setBoxZoom(int box, int zoom) {
    if (!validBox(box)) return;
    boxes_[size_t(box - 1)].zoom = std::clamp(zoom, 0, 3);
    if (SortingBoxWindow* w = boxWindow(box)) w->setZoom(zoom);
}

void SideWindows::boxContentsChanged(int box) {
    if (SortingBoxWindow* w = boxWindow(box)) w->updateScrollBars();
}

void SideWindows::setBoxCaption(int box, const std::string& caption) {
    if (SortingBoxWindow* w = boxWindow(box)) w->setCaption(QString::fromStdString(caption));
}

void SideWindows::redrawBox(int box) {
    if (SortingBoxWindow* w = boxWindow(box)) w->canvas()->update();
}

void SideWindows::refreshCaptions() {
    for (int box = 1; box <= 4; ++box)
        if (isBoxOpen(box)) setBoxCaption(box, sortingBoxCaption(context_.model, box));
}

// ------------------------------------------------------ preview, overview

void SideWindows::togglePreview() {
    if (isOpen(SideWindow::Preview))
        close(SideWindow::Preview, false, false);
    else
        open(SideWindow::Preview, true);
}

void SideWindows::toggleOverview() {
    if (isOpen(SideWindow::Overview))
        close(SideWindow::Overview, false, false);
    else
        open(SideWindow::Overview, false);
}

void SideWindows::redrawOverview() {
    if (overview_) overview_->canvas()->update();
}

void SideWindows::redrawAll() {
    for (int box = 1; box <= 4; ++box) redrawBox(box);
    redrawOverview();
    if (preview_) preview_->client()->update();
}

// ------------------------------------------------------------- open, close

void SideWindows::open(SideWindow w, bool sound) {
    if (set_.isOpen(w) || !context_.model.hasPuzzle()) return;
    SettingsRecord& record = context_.record;
    if (const int box = boxOfSideWindow(w)) {
        BoxState& state = boxes_[size_t(box - 1)];
        auto* window = new SortingBoxWindow(view_, context_, box, state);
        window->canvas()->setRoute([this](QPoint global) { return route(global); });
        Rect r = rectOf(record.boxRect[size_t(box - 1)]);
        if (r.empty()) r = {60 + 20 * (box - 1), 60 + 20 * (box - 1), 260 + 20 * (box - 1), 260 + 20 * (box - 1)};
        state.placement.place(r);
        window->place(toQRect(r));
        // A placement saved on a larger screen is pulled back onto this one;
        // the pieces move with the window.
        const Rect kept = keepBoxOnScreen(r, view_->width(), view_->height());
        if (!(kept == r)) {
            window->place(toQRect(kept));
            const Point d = state.placement.moved(kept);
            context_.model.offsetListPieces(sortingBoxList(box), d.x, d.y, nullptr);
        }
        record.boxRect[size_t(box - 1)] = storedRect(window->geometry());
        record.boxOpen[size_t(box - 1)] = 1;
        boxWindows_[size_t(box - 1)] = window;
        connect(window, &SideWindowFrame::closeClicked, this, [this, box] { closeBox(box, true); });
        window->show();
        window->raise();
        window->setCaption(QString::fromStdString(sortingBoxCaption(context_.model, box)));
        window->updateScrollBars();
    } else if (w == SideWindow::Preview) {
        DrawSurface* picture = context_.picture();
        if (!picture || !picture->hasPixels()) return;  // nothing to show
        auto* window = new PreviewWindow(view_, context_);
        Rect r = rectOf(record.previewRect);
        if (r.width() < 40 || r.height() < 30) {
            const int32_t width = std::max(160, view_->width() / 6);
            r = {view_->width() - 5 - width, 5, view_->width() - 5, 5 + width * picture->height() / picture->width()};
        }
        window->place(toQRect(keepWithinScreen(r, view_->width(), view_->height())));
        window->fitToPicture();
        preview_ = window;
        connect(window, &SideWindowFrame::closeClicked, this, [this] { close(SideWindow::Preview, true, false); });
        window->show();
        window->raise();
    } else {
        auto* window = new OverviewWindow(view_, context_);
        const Rect r = rectOf(record.overviewRect);
        window->place(r.empty() ? OverviewWindow::newGeometry(context_.model)
                                : toQRect(keepWithinScreen(r, view_->width(), view_->height())));
        window->saveRect();
        overview_ = window;
        connect(window, &SideWindowFrame::closeClicked, this, [this] { close(SideWindow::Overview, true, false); });
        window->show();
        window->raise();
    }
    set_.opened(w);
    if (sound) playEvent(kSoundOpenWindow);
    emit windowsChanged();
}

void SideWindows::close(SideWindow w, bool byPlayer, bool sound) {
    if (!set_.isOpen(w)) return;
    QWidget* window = nullptr;
    if (const int box = boxOfSideWindow(w)) {
        SortingBoxWindow* b = boxWindows_[size_t(box - 1)];
        if (b) context_.record.boxRect[size_t(box - 1)] = storedRect(b->geometry());
        context_.record.boxOpen[size_t(box - 1)] = 0;
        boxWindows_[size_t(box - 1)] = nullptr;
        window = b;
    } else if (w == SideWindow::Preview) {
        if (preview_) context_.record.previewRect = storedRect(preview_->geometry());
        window = preview_;
        preview_ = nullptr;
    } else {
        if (overview_) overview_->saveRect();
        window = overview_;
        overview_ = nullptr;
    }
    set_.closed(w, byPlayer);
    if (window) {
        // The window may be closing from inside its own event handler.
        window->hide();
        window->deleteLater();
    }
    if (sound) playEvent(kSoundCloseWindow);
    emit windowsChanged();
}

// ------------------------------------------------------------ all of them

void SideWindows::toggleHide() {
    if (set_.hidden())
        restore();
    else
        hide();
}

void SideWindows::hide() {
    for (SideWindow w : set_.hide()) close(w, false, false);
}

void SideWindows::restore() {
    for (SideWindow w : set_.restore()) open(w, false);
}

void SideWindows::closeAll() {
    for (int i = 0; i < kSideWindowCount; ++i) close(SideWindow(i), false, false);
    set_.forgetAll();
}

void SideWindows::closePreviewAndOverview() {
    close(SideWindow::Preview, false, false);
    close(SideWindow::Overview, false, false);
}

void SideWindows::closeSortingBoxes() {
    for (int box = 1; box <= 4; ++box) close(sideWindowOfBox(box), false, false);
}

void SideWindows::openFromRecord() {
    for (int box = 1; box <= 4; ++box)
        if (context_.record.boxOpen[size_t(box - 1)] && !isBoxOpen(box)) {
            // open() sets the flag again once the window exists.
            context_.record.boxOpen[size_t(box - 1)] = 0;
            openBox(box, false);
        }
}

void SideWindows::restorePlacements() {
    SettingsRecord& record = context_.record;
    for (int box = 1; box <= 4; ++box) {
        SortingBoxWindow* w = boxWindow(box);
        record.boxOpen[size_t(box - 1)] = w ? 1 : 0;
        if (!w) continue;
        const Rect r = rectOf(record.boxRect[size_t(box - 1)]);
        if (r.empty()) continue;
        boxes_[size_t(box - 1)].placement.place(r);
        w->place(toQRect(r));
        w->updateScrollBars();
        w->canvas()->update();
    }
    if (preview_) {
        const Rect r = rectOf(record.previewRect);
        if (!r.empty()) preview_->place(toQRect(r));
    }
    if (overview_) {
        const Rect r = rectOf(record.overviewRect);
        if (!r.empty()) overview_->place(toQRect(r));
    }
}

// ---------------------------------------------------------------- routing

QWidget* SideWindows::widgetFor(WindowId id) const {
    if (id.isView()) return view_;
    const SortingBoxWindow* w = boxWindow(id.box + 1);
    return w ? w->canvas() : nullptr;
}

std::pair<WindowId, QPoint> SideWindows::route(QPoint global) const {
    const QPoint local = view_->mapFromGlobal(global);
    for (QWidget* child = view_->childAt(local); child; child = child->parentWidget()) {
        if (child == view_) break;
        for (int box = 1; box <= 4; ++box) {
            const SortingBoxWindow* w = boxWindow(box);
            if (w && child == w->canvas()) return {WindowId::sortingBox(box - 1), w->canvas()->mapFromGlobal(global)};
        }
    }
    return {WindowId::view(), local};
}

bool SideWindows::covers(QPoint global) const {
    const QPoint local = view_->mapFromGlobal(global);
    return view_->rect().contains(local) && view_->childAt(local) != nullptr;
}

}  // namespace pavalo
