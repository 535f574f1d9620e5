// Painting the composed play area and forwarding input to the controller.
#include "app/play_view.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include "app/cursors.h"
#include "app/surface_image.h"

namespace pavalo {
namespace {

Point pointOf(const QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    return {p.x(), p.y()};
}

}  // namespace

KeyFlags keyFlagsOf(Qt::KeyboardModifiers m) {
    return {(m & Qt::ShiftModifier) != 0, (m & Qt::ControlModifier) != 0};
}

ViewKey viewKeyFor(int key) {
    switch (key) {
        case Qt::Key_Escape: return ViewKey::Escape;
        case Qt::Key_A: return ViewKey::A;
        case Qt::Key_S: return ViewKey::S;
        case Qt::Key_Z: return ViewKey::Z;
        case Qt::Key_F: return ViewKey::F;
        case Qt::Key_N: return ViewKey::N;
        case Qt::Key_C: return ViewKey::C;
        case Qt::Key_1: return ViewKey::Box1;
        case Qt::Key_2: return ViewKey::Box2;
        case Qt::Key_3: return ViewKey::Box3;
        case Qt::Key_4: return ViewKey::Box4;
        case Qt::Key_O: return ViewKey::O;
        case Qt::Key_P: return ViewKey::P;
        case Qt::Key_T: return ViewKey::T;
        case Qt::Key_Backspace: return ViewKey::Backspace;
        case Qt::Key_Control: return ViewKey::Control;
        case Qt::Key_Left: return ViewKey::Left;
        case Qt::Key_Right: return ViewKey::Right;
        case Qt::Key_Up: return ViewKey::Up;
        case Qt::Key_Down: return ViewKey::Down;
        case Qt::Key_Return:
        case Qt::Key_Enter: return ViewKey::Enter;
        case Qt::Key_Space: return ViewKey::Space;
        case Qt::Key_8: return ViewKey::Eight;
        case Qt::Key_Minus: return ViewKey::Minus;
        case Qt::Key_Plus:
        case Qt::Key_Equal: return ViewKey::Plus;
        case Qt::Key_0: return ViewKey::Zero;
        default: return ViewKey::Other;
    }
}

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
    // On a screen of device pixel ratio 2 or more the composed pixels are
    // scaled up by the painter: each one fills whole device pixels, never
    // blended with its neighbours, so pieces keep their size and stay crisp.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const QRect& r : event->region()) {
        const Rect clip{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        ViewRequest request;
        if (controller_) request = controller_->viewRequest(clip);
        request.clipBox = clip;
        const Presentation shown = compositor_.updateView(request);
        if (!shown.present) continue;
        const QRect dest(shown.dest.left, shown.dest.top, shown.dest.width(), shown.dest.height());
        const bool stretches = shown.source.width() != shown.dest.width() ||
                               shown.source.height() != shown.dest.height();
        if (stretches && !hardwareStretching_) {
            // Nearest-pixel stretch into the zoom surface, then an unscaled copy.
            if (!zoomSurface_.createLike(compositor_.backBuffer(), shown.dest.width(), shown.dest.height()))
                continue;
            zoomSurface_.copyPaletteFrom(compositor_.backBuffer(), false);
            zoomSurface_.copyBitmap(compositor_.backBuffer(), 0, 0, shown.source.left, shown.source.top,
                                    shown.source.width(), shown.source.height(), shown.dest.width(),
                                    shown.dest.height());
            const QImage zoomed = surfaceImage(zoomSurface_);
            if (!zoomed.isNull()) painter.drawImage(dest.topLeft(), zoomed);
            continue;
        }
        // Wrapped after the update: a rebuild may have replaced the buffer.
        const QImage image = surfaceImage(compositor_.backBuffer());
        if (image.isNull()) continue;
        const QRect source(shown.source.left, shown.source.top, shown.source.width(), shown.source.height());
        painter.drawImage(dest, image, source);
    }
    lastPaintMs_ = double(timer.nsecsElapsed()) / 1e6;
}

void PlayView::mousePressEvent(QMouseEvent* e) {
    if (!controller_) return;
    if (e->button() == Qt::MiddleButton) controller_->panPress(pointOf(e));
    if (e->button() == Qt::LeftButton) controller_->mousePress(WindowId::view(), pointOf(e), keyFlagsOf(e->modifiers()));
    if (e->button() == Qt::RightButton) controller_->rightButton(WindowId::view(), pointOf(e), keyFlagsOf(e->modifiers()));
}

void PlayView::mouseMoveEvent(QMouseEvent* e) {
    if (!controller_) return;
    if (controller_->panning() && (e->buttons() & Qt::MiddleButton)) {
        controller_->panMove(pointOf(e));
        return;
    }
    // With a button held the view keeps the pointer even over a sorting box,
    // where a dragged piece must go into the box.
    if (route_ && e->buttons()) {
        const auto [window, at] = route_(e->globalPosition().toPoint());
        controller_->mouseMove(window, {at.x(), at.y()}, keyFlagsOf(e->modifiers()));
        return;
    }
    controller_->mouseMove(WindowId::view(), pointOf(e), keyFlagsOf(e->modifiers()));
}

void PlayView::mouseReleaseEvent(QMouseEvent* e) {
    if (controller_ && e->button() == Qt::MiddleButton) controller_->panRelease();
    if (!controller_ || e->button() != Qt::LeftButton) return;
    if (route_) {
        const auto [window, at] = route_(e->globalPosition().toPoint());
        controller_->mouseRelease(window, {at.x(), at.y()}, keyFlagsOf(e->modifiers()));
        return;
    }
    controller_->mouseRelease(WindowId::view(), pointOf(e), keyFlagsOf(e->modifiers()));
}

void PlayView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (controller_ && e->button() == Qt::LeftButton)
        controller_->mouseDoubleClick(WindowId::view(), pointOf(e), keyFlagsOf(e->modifiers()));
}

void PlayView::keyPressEvent(QKeyEvent* e) {
    if (!controller_) return;
    // Keys act on the window under the pointer (N and C over a box's piece).
    const WindowId window = route_ ? route_(QCursor::pos()).first : WindowId::view();
    controller_->keyDown(viewKeyFor(e->key()), keyFlagsOf(e->modifiers()), window);
}

void PlayView::keyReleaseEvent(QKeyEvent* e) {
    if (controller_ && !e->isAutoRepeat()) controller_->keyUp(viewKeyFor(e->key()), keyFlagsOf(e->modifiers()));
}

void PlayView::wheelEvent(QWheelEvent* e) {
    if (!controller_) return;
    e->accept();
    const QPoint angle = e->angleDelta();
    if (e->modifiers() & Qt::ControlModifier) {
        // A notch of a mouse wheel is 120; a touchpad sends small parts.
        wheelZoom_ += angle.y() != 0 ? angle.y() : angle.x();
        const int steps = wheelZoom_ / 120;
        if (steps == 0) return;
        wheelZoom_ -= steps * 120;
        const QPoint p = e->position().toPoint();
        controller_->zoomAbout({p.x(), p.y()}, steps);
        return;
    }
    // A touchpad gives the distance in pixels; a wheel notch moves the view
    // by 60 window pixels. The content moves with the fingers.
    QPoint move = !e->pixelDelta().isNull() ? e->pixelDelta() : angle / 2;
    if ((e->modifiers() & Qt::ShiftModifier) && move.x() == 0) move = QPoint(move.y(), 0);
    if (move.isNull()) return;
    controller_->wheelScroll(-move.x(), -move.y());
}

void PlayView::enterEvent(QEnterEvent* e) {
    if (controller_) setCursor(gameCursor(controller_->cursor((e->modifiers() & Qt::ControlModifier) != 0)));
}

}  // namespace pavalo
