// A sorting box window: showing its list, the mouse, moving, sizing and
// the scroll bars.
#include "app/sorting_box_window.h"

#include <QGridLayout>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include "app/cursors.h"
#include "app/play_view.h"
#include "app/surface_image.h"
#include "display/compositor.h"
#include "display/side_window_composer.h"
#include "display/view_controller.h"
#include "puzzle/assist_commands.h"
#include "shell/colour_options.h"

namespace pavalo {
namespace {

Point pointOf(QPoint p) { return {p.x(), p.y()}; }

ListId listOfBox(int box) { return sortingBoxList(box); }

// The all-ones colour is the brightest: white.
QColor qColourOf(uint32_t chosen) { return QColor(chosenRed(chosen), chosenGreen(chosen), chosenBlue(chosen)); }

}  // namespace

// ------------------------------------------------------------------ canvas

BoxCanvas::BoxCanvas(QWidget* parent, const SideWindowContext& context, int box)
    : QWidget(parent), context_(context), box_(box) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

QPoint BoxCanvas::origin() const {
    QWidget* view = parentWidget();
    while (view && view->parentWidget() && !qobject_cast<PlayView*>(view)) view = view->parentWidget();
    return view ? mapTo(view, QPoint(0, 0)) : QPoint(0, 0);
}

void BoxCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    Compositor& comp = context_.compositor;
    // What the back buffer does not reach shows the play area's background.
    painter.fillRect(event->rect(), qColourOf(comp.state().options.background));
    const QPoint o = origin();
    ViewController* controller = context_.controller();
    BoxRequest request;
    request.list = listOfBox(box_);
    request.origin = {o.x(), o.y()};
    request.zoomShift = zoom;
    request.band = controller ? controller->bandRect(WindowId::sortingBox(box_ - 1)) : std::nullopt;
    for (const QRect& r : event->region()) {
        request.clipBox = {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        const Presentation shown = composeSortingBox(comp, context_.model, context_.picture(), request);
        if (!shown.present) continue;
        const QImage image = surfaceImage(comp.backBuffer());
        if (image.isNull()) continue;
        painter.drawImage(QRect(shown.dest.left, shown.dest.top, shown.dest.width(), shown.dest.height()), image,
                          QRect(shown.source.left, shown.source.top, shown.source.width(), shown.source.height()));
    }
}

std::pair<WindowId, Point> BoxCanvas::routed(const QMouseEvent* e) const {
    if (route_) {
        const auto [window, local] = route_(e->globalPosition().toPoint());
        return {window, pointOf(local)};
    }
    return {window(), pointOf(e->position().toPoint())};
}

void BoxCanvas::mousePressEvent(QMouseEvent* e) {
    ViewController* c = context_.controller();
    if (!c) return;
    const Point at = pointOf(e->position().toPoint());
    if (e->button() == Qt::LeftButton) c->mousePress(window(), at, keyFlagsOf(e->modifiers()));
    if (e->button() == Qt::RightButton) c->rightButton(window(), at, keyFlagsOf(e->modifiers()));
    emit pressed();
}

void BoxCanvas::mouseMoveEvent(QMouseEvent* e) {
    ViewController* c = context_.controller();
    if (!c) return;
    // While a button is held the canvas keeps the pointer; the move belongs
    // to whichever window the pointer is over now.
    const auto [w, at] = e->buttons() ? routed(e) : std::pair{window(), pointOf(e->position().toPoint())};
    c->mouseMove(w, at, keyFlagsOf(e->modifiers()));
}

void BoxCanvas::mouseReleaseEvent(QMouseEvent* e) {
    ViewController* c = context_.controller();
    if (!c || e->button() != Qt::LeftButton) return;
    const auto [w, at] = routed(e);
    c->mouseRelease(w, at, keyFlagsOf(e->modifiers()));
    emit released();
}

void BoxCanvas::mouseDoubleClickEvent(QMouseEvent* e) {
    ViewController* c = context_.controller();
    if (c && e->button() == Qt::LeftButton)
        c->mouseDoubleClick(window(), pointOf(e->position().toPoint()), keyFlagsOf(e->modifiers()));
}

void BoxCanvas::enterEvent(QEnterEvent* e) {
    if (ViewController* c = context_.controller())
        setCursor(gameCursor(c->cursor((e->modifiers() & Qt::ControlModifier) != 0)));
}

// ------------------------------------------------------------------ window

SortingBoxWindow::SortingBoxWindow(QWidget* view, const SideWindowContext& context, int box)
    : SideWindowFrame(view, QString::fromStdString(sortingBoxCaption(box, 0, 0)), sideWindowOfBox(box),
                      context.manager),
      context_(context),
      box_(box) {
    auto* client = new QWidget(this);
    auto* grid = new QGridLayout(client);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    canvas_ = new BoxCanvas(client, context, box);
    canvas_->zoom = context.manager.boxZoom(box);
    horizontal_ = new QScrollBar(Qt::Horizontal, client);
    vertical_ = new QScrollBar(Qt::Vertical, client);
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        bar->setSingleStep(kBoxLineStep);
        bar->setPageStep(kBoxPageStep);
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setEnabled(false);
    }
    grid->addWidget(canvas_, 0, 0);
    grid->addWidget(vertical_, 0, 1);
    grid->addWidget(horizontal_, 1, 0);
    setClient(client);
    connect(canvas_, &BoxCanvas::released, this, &SortingBoxWindow::updateScrollBars);
    connect(canvas_, &BoxCanvas::pressed, this, &SortingBoxWindow::refreshCaption);
    connect(canvas_, &BoxCanvas::released, this, &SortingBoxWindow::refreshCaption);

    // Each action goes to the position the box's steps give; the value that
    // follows moves the pieces.
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        const bool horizontal = bar == horizontal_;
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar, horizontal](int a) {
            ScrollAction s;
            switch (a) {
                case QAbstractSlider::SliderSingleStepSub: s = ScrollAction::LineBack; break;
                case QAbstractSlider::SliderSingleStepAdd: s = ScrollAction::LineForward; break;
                case QAbstractSlider::SliderPageStepSub: s = ScrollAction::PageBack; break;
                case QAbstractSlider::SliderPageStepAdd: s = ScrollAction::PageForward; break;
                case QAbstractSlider::SliderToMinimum: s = ScrollAction::First; break;
                case QAbstractSlider::SliderToMaximum: s = ScrollAction::Last; break;
                default: s = ScrollAction::Track; break;
            }
            bar->setSliderPosition(context_.manager.scrollTarget(box_, horizontal, s, bar->sliderPosition()));
        });
        connect(bar, &QAbstractSlider::valueChanged, this, [this, horizontal](int v) {
            if (!updatingBars_) context_.manager.scrollTo(box_, horizontal, v);
        });
    }
}

Rect SortingBoxWindow::clientRect() const {
    const QPoint o = canvas_->origin();
    return {o.x(), o.y(), o.x() + canvas_->width(), o.y() + canvas_->height()};
}

Rect SortingBoxWindow::clientArea() const { return context_.manager.boxClientArea(box_); }

void SortingBoxWindow::setZoom(int zoom) { context_.manager.setBoxZoom(box_, zoom); }

void SortingBoxWindow::redraw() {
    canvas_->zoom = context_.manager.boxZoom(box_);
    canvas_->update();
}

void SortingBoxWindow::refreshCaption() {
    setCaption(QString::fromStdString(sortingBoxCaption(context_.model, box_)));
}

void SortingBoxWindow::showAxis(QScrollBar* bar, const ScrollAxis& axis) {
    bar->setRange(axis.minimum, axis.maximum);
    bar->setValue(axis.position);
    bar->setEnabled(axis.active());
}

void SortingBoxWindow::updateScrollBars() { context_.manager.boxContentsChanged(box_); }

void SortingBoxWindow::showScrollBars(const ScrollAxis& horizontal, const ScrollAxis& vertical) {
    updatingBars_ = true;
    showAxis(horizontal_, horizontal);
    showAxis(vertical_, vertical);
    updatingBars_ = false;
}

}  // namespace pavalo
