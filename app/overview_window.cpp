// The overview window.
#include "app/overview_window.h"

#include <QMouseEvent>
#include <QPainter>

#include "common/named_mutex.h"
#include "display/compositor.h"
#include "display/view_controller.h"
#include "shell/colour_options.h"

namespace pavalo {
namespace {

QColor qColourOf(uint32_t chosen) { return QColor(chosenRed(chosen), chosenGreen(chosen), chosenBlue(chosen)); }

class OverviewCanvas : public QWidget {
public:
    OverviewCanvas(QWidget* parent, const SideWindowContext& context) : QWidget(parent), context_(context) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    OverviewMap map() const {
        const int32_t columns = std::max(context_.model.columns(), 1);
        return OverviewMap(columns, std::max(context_.model.rows(), 1), OverviewMap::cellForWidth(width(), columns));
    }

    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        const RendererState& st = context_.compositor.state();
        const QColor background = qColourOf(st.options.background);
        g.fillRect(rect(), background);
        if (!context_.model.hasPuzzle()) return;
        const OverviewMap m = map();
        // Frames and marks in a colour that stands out from the background.
        const QColor ink = background.lightness() > 128 ? QColor(0, 0, 0) : QColor(255, 255, 255);
        const Rect picture = m.pictureFrame();
        g.setPen(QColor(128, 128, 128));
        g.drawRect(picture.left, picture.top, picture.width() - 1, picture.height() - 1);
        const int s = m.cell();
        const int markW = s >= 3 ? s - 1 : 1;
        const int markH = s >= 3 ? s - 1 : s;
        {
            NamedLock lock(NamedMutex::PIECE);
            const PuzzleModel& model = context_.model;
            for (ListId list : {ListId::Finished, ListId::Main}) {
                const QColor colour = list == ListId::Main ? ink : QColor(120, 160, 220);
                model.forEachGroup(list, [&](int32_t group) {
                    model.forEachMember(group, [&](int32_t piece) {
                        const Point p = m.markOf(model, piece);
                        g.fillRect(p.x, p.y, markW, markH, colour);
                    });
                });
            }
        }
        ViewController* c = context_.controller();
        const Rect view = m.viewFrame(context_.model.geometry(), c ? c->zoom() : 0);
        g.setPen(QPen(QColor(255, 210, 0), 1));
        g.setBrush(Qt::NoBrush);
        g.drawRect(view.left, view.top, view.width() - 1, view.height() - 1);
    }

    void scrollTowards(QPoint at) {
        ViewController* c = context_.controller();
        if (!c || !context_.model.hasPuzzle()) return;
        const Point d = map().scrollFor({at.x(), at.y()}, context_.model.geometry(), c->zoom());
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
};

}  // namespace

OverviewWindow::OverviewWindow(QWidget* view, const SideWindowContext& context)
    : SideWindowFrame(view, "Overview", SideWindow::Overview, context.manager) {
    setClient(new OverviewCanvas(this, context));
}

}  // namespace pavalo
