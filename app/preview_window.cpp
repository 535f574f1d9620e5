// The preview window.
#include "app/preview_window.h"

#include <QPainter>

#include "app/surface_image.h"
#include "display/side_window_composer.h"
#include "surface/draw_surface.h"

namespace pavalo {
namespace {

class PreviewCanvas : public QWidget {
public:
    PreviewCanvas(QWidget* parent, const SideWindowContext& context) : QWidget(parent), context_(context) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        if (!composePreview(surface_, width(), height(), context_.picture())) return;
        const QImage image = surfaceImage(surface_);
        if (!image.isNull()) g.drawImage(QPoint(0, 0), image);
    }

private:
    SideWindowContext context_;
    DrawSurface surface_;  // the scaled picture, kept to reuse its memory
};

}  // namespace

PreviewWindow::PreviewWindow(QWidget* view, const SideWindowContext& context)
    : SideWindowFrame(view, "Preview", SideWindow::Preview, context.manager) {
    setClient(new PreviewCanvas(this, context));
}

}  // namespace pavalo
