// The preview window.
#include "app/preview_window.h"

#include <QPainter>

#include "app/surface_image.h"
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
        DrawSurface* picture = context_.picture();
        const QImage image = picture ? surfaceImage(*picture) : QImage();
        if (image.isNull()) {
            g.fillRect(rect(), Qt::black);
            return;
        }
        g.setRenderHint(QPainter::SmoothPixmapTransform);
        g.drawImage(rect(), image);
    }

private:
    SideWindowContext context_;
};

}  // namespace

PreviewWindow::PreviewWindow(QWidget* view, const SideWindowContext& context)
    : SideWindowFrame(view, "Preview", SideWindow::Preview, context.manager) {
    setClient(new PreviewCanvas(this, context));
}

}  // namespace pavalo
