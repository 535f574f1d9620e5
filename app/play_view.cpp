// Painting the composed play area and forwarding input.
#include "app/play_view.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "app/surface_image.h"

namespace pavalo {
namespace {

KeyFlags flagsOf(Qt::KeyboardModifiers m) {
    return {(m & Qt::ShiftModifier) != 0, (m & Qt::ControlModifier) != 0};
}

Point pointOf(const QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    return {p.x(), p.y()};
}

}  // namespace

PlayView::PlayView(QWidget* parent, Compositor& compositor) : QWidget(parent), compositor_(compositor) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PlayView::paintEvent(QPaintEvent* event) {
    QElapsedTimer timer;
    timer.start();
    QPainter painter(this);
    for (const QRect& r : event->region()) {
        ViewRequest request = input_ ? input_->viewRequest() : ViewRequest{};
        request.clipBox = {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        Presentation shown = compositor_.updateView(request);
        if (!shown.present) {
            painter.fillRect(r, Qt::black);
            continue;
        }
        // Wrapped after the update: a rebuild may have replaced the buffer.
        const QImage image = surfaceImage(compositor_.backBuffer());
        if (image.isNull()) continue;
        const QRect source(shown.source.left, shown.source.top, shown.source.width(), shown.source.height());
        const QRect dest(shown.dest.left, shown.dest.top, shown.dest.width(), shown.dest.height());
        painter.drawImage(dest, image, source);
    }
    lastPaintMs_ = double(timer.nsecsElapsed()) / 1e6;
}

void PlayView::mousePressEvent(QMouseEvent* e) {
    if (!input_) return;
    if (e->button() == Qt::LeftButton) input_->mousePress(pointOf(e), flagsOf(e->modifiers()));
    if (e->button() == Qt::RightButton) input_->rightButton(pointOf(e), flagsOf(e->modifiers()));
}

void PlayView::mouseMoveEvent(QMouseEvent* e) {
    if (input_) input_->mouseMove(pointOf(e), flagsOf(e->modifiers()), (e->buttons() & Qt::LeftButton) != 0);
}

void PlayView::mouseReleaseEvent(QMouseEvent* e) {
    if (input_ && e->button() == Qt::LeftButton) input_->mouseRelease(pointOf(e), flagsOf(e->modifiers()));
}

void PlayView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (input_ && e->button() == Qt::LeftButton) input_->mouseDoubleClick(pointOf(e), flagsOf(e->modifiers()));
}

void PlayView::keyPressEvent(QKeyEvent* e) {
    if (input_) input_->keyDown(e->key(), flagsOf(e->modifiers()));
}

void PlayView::keyReleaseEvent(QKeyEvent* e) {
    if (input_ && !e->isAutoRepeat()) input_->keyUp(e->key(), flagsOf(e->modifiers()));
}

}  // namespace pavalo
