// The overview window.
#include "app/overview_window.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/surface_image.h"
#include "display/compositor.h"
#include "display/side_window_composer.h"
#include "display/view_controller.h"

namespace pavalo {
namespace {

class OverviewCanvas : public QWidget {
public:
    OverviewCanvas(QWidget* parent, const SideWindowContext& context) : QWidget(parent), context_(context) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    OverviewMap map() const { return overviewMapFor(context_.model, width()); }

    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        ViewController* c = context_.controller();
        if (!composeOverview(surface_, width(), height(), context_.model, context_.compositor.state().options.background,
                             c ? (c->reduce() > 1 ? -c->reduce() : c->zoom()) : 0))
            return;
        const QImage image = surfaceImage(surface_);
        if (!image.isNull()) g.drawImage(QPoint(0, 0), image);
    }

    void scrollTowards(QPoint at) {
        ViewController* c = context_.controller();
        if (!c || !context_.model.hasPuzzle()) return;
        const Point d = map().scrollFor({at.x(), at.y()}, context_.model.geometry(),
                                        c->reduce() > 1 ? -c->reduce() : c->zoom());
        if (d.x != 0 || d.y != 0) c->scroll(d.x, d.y);
        update();
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) scrollTowards(e->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (e->buttons() & Qt::LeftButton) scrollTowards(e->position().toPoint());
    }

private:
    SideWindowContext context_;
    DrawSurface surface_;  // the composed map, kept to reuse its memory
};

}  // namespace

OverviewWindow::OverviewWindow(QWidget* view, const SideWindowContext& context)
    : SideWindowFrame(view, "Overview", SideWindow::Overview, context.manager) {
    setClient(new OverviewCanvas(this, context));
}

}  // namespace pavalo
