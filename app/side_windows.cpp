// The side windows' widgets and the pointer's routing between them.
#include "app/side_windows.h"

#include <algorithm>

namespace pavalo {

SideWindows::SideWindows(QWidget* view, const SideWindowContext& context) : view_(view), context_(context) {}

SideWindows::~SideWindows() {
    for (auto& w : windows_) delete w.data();
}

SortingBoxWindow* SideWindows::boxWindow(int box) const {
    if (box < 1 || box > 4) return nullptr;
    return qobject_cast<SortingBoxWindow*>(windows_[size_t(sideWindowOfBox(box))].data());
}

PreviewWindow* SideWindows::preview() const {
    return qobject_cast<PreviewWindow*>(windows_[size_t(SideWindow::Preview)].data());
}

OverviewWindow* SideWindows::overview() const {
    return qobject_cast<OverviewWindow*>(windows_[size_t(SideWindow::Overview)].data());
}

// ------------------------------------------------------------------ views

void SideWindows::create(SideWindow w, const Rect& frame) {
    SideWindowFrame* window = nullptr;
    if (const int box = boxOfSideWindow(w)) {
        auto* b = new SortingBoxWindow(view_, context_, box);
        b->canvas()->setRoute([this](QPoint global) { return route(global); });
        window = b;
    } else if (w == SideWindow::Preview) {
        window = new PreviewWindow(view_, context_);
    } else {
        window = new OverviewWindow(view_, context_);
    }
    window->place(toQRect(frame));
    windows_[size_t(w)] = window;
    window->show();
    window->raise();
}

void SideWindows::destroy(SideWindow w) {
    SideWindowFrame* window = windows_[size_t(w)];
    windows_[size_t(w)] = nullptr;
    if (!window) return;
    // The window may be closing from inside its own event handler.
    window->hide();
    window->deleteLater();
}

void SideWindows::place(SideWindow w, const Rect& frame) {
    if (SideWindowFrame* window = windows_[size_t(w)]) window->place(toQRect(frame));
}

Rect SideWindows::frame(SideWindow w) const {
    const SideWindowFrame* window = windows_[size_t(w)];
    return window ? toRect(window->geometry()) : Rect{};
}

Rect SideWindows::client(SideWindow w) const {
    if (const int box = boxOfSideWindow(w)) {
        const SortingBoxWindow* b = boxWindow(box);
        return b ? b->clientRect() : Rect{};
    }
    const SideWindowFrame* window = windows_[size_t(w)];
    return window ? toRect(window->clientRectInFrame().translated(window->pos())) : Rect{};
}

Point SideWindows::frameExtra() const {
    const QSize extra = SideWindowFrame::frameExtra();
    return {extra.width(), extra.height()};
}

Point SideWindows::minimumSize() const { return {SideWindowFrame::kMinWidth, SideWindowFrame::kMinHeight}; }

void SideWindows::setCaption(SideWindow w, const std::string& caption) {
    if (SideWindowFrame* window = windows_[size_t(w)]) window->setCaption(QString::fromStdString(caption));
}

void SideWindows::showScrollBars(int box, const ScrollAxis& horizontal, const ScrollAxis& vertical) {
    if (SortingBoxWindow* b = boxWindow(box)) b->showScrollBars(horizontal, vertical);
}

void SideWindows::redraw(SideWindow w) {
    if (const int box = boxOfSideWindow(w)) {
        if (SortingBoxWindow* b = boxWindow(box)) b->redraw();
    } else if (SideWindowFrame* window = windows_[size_t(w)]) {
        window->client()->update();
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
            // Any part of a box window (its caption, border or scroll bars
            // too) is the box: a piece let go there goes into it, at the
            // nearest point of the box's area so that it stays in view.
            const SortingBoxWindow* w = boxWindow(box);
            if (w && child == w) {
                const QWidget* canvas = w->canvas();
                const QPoint at = canvas->mapFromGlobal(global);
                const QRect area = canvas->rect();
                return {WindowId::sortingBox(box - 1), QPoint(std::clamp(at.x(), area.left(), area.right()),
                                                              std::clamp(at.y(), area.top(), area.bottom()))};
            }
        }
    }
    return {WindowId::view(), local};
}

bool SideWindows::covers(QPoint global) const {
    const QPoint local = view_->mapFromGlobal(global);
    return view_->rect().contains(local) && view_->childAt(local) != nullptr;
}

}  // namespace pavalo
