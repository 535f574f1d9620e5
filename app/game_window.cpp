// The main frame holding the view.
#include "app/game_window.h"

#include <QCloseEvent>
#include <QScreen>

#include "app/play_view.h"

namespace pavalo {

GameWindow::GameWindow(Compositor& compositor, QSize windowed)
    : QWidget(nullptr, windowed.isEmpty() ? Qt::FramelessWindowHint : Qt::Window),
      windowed_(!windowed.isEmpty()),
      windowedSize_(windowed) {
    setWindowTitle("Pavalo");
    view_ = new PlayView(this, compositor);
    if (windowed_) {
        setFixedSize(windowed);
    } else {
        setGeometry(screen()->geometry());
    }
    view_->setGeometry(rect());
    // The keys (tool letters, Backspace, arrows) belong to the view from the
    // start, not only once it has been clicked; the window passes its focus on.
    setFocusProxy(view_);
    view_->setFocus();
}

Rect GameWindow::windowRect() const {
    const QRect g = frameGeometry();
    return {g.left(), g.top(), g.right() + 1, g.bottom() + 1};
}

void GameWindow::clientOrigin(int32_t& x, int32_t& y) const {
    const QPoint p = mapToGlobal(QPoint(0, 0));
    x = p.x();
    y = p.y();
}

Rect GameWindow::frameForClient(const Rect& client) const {
    const QRect frame = frameGeometry(), inner = geometry();
    return {client.left - (inner.left() - frame.left()), client.top - (inner.top() - frame.top()),
            client.right + (frame.right() - inner.right()), client.bottom + (frame.bottom() - inner.bottom())};
}

void GameWindow::moveWindow(const Rect& r, bool repaint) {
    setGeometry(r.left, r.top, r.width(), r.height());
    if (repaint) update();
}

void GameWindow::showAndUpdate() {
    if (windowed_)
        show();
    else
        showFullScreen();
    update();
}

bool GameWindow::setFullScreen(bool fullScreen) {
    if (fullScreen)
        showFullScreen();
    else
        showNormal();
    return true;
}

void GameWindow::toggleFullScreen() {
    if (windowed_) {
        windowed_ = false;
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
        return;
    }
    windowed_ = true;
    if (windowedSize_.isEmpty()) windowedSize_ = screen()->size() * 3 / 4;
    showNormal();
    setFixedSize(windowedSize_);
    const QRect area = screen()->availableGeometry();
    move(area.center() - QPoint(windowedSize_.width() / 2, windowedSize_.height() / 2));
}

void GameWindow::resizeEvent(QResizeEvent*) {
    view_->setGeometry(rect());
    emit playAreaResized(size());
}

bool GameWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowBlocked) emit blockedByModal();
    return QWidget::event(event);
}

void GameWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

}  // namespace pavalo
