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
    : SideWindowFrame(view, "Preview"), context_(context) {
    setClient(new PreviewCanvas(this, context));
}

void PreviewWindow::fitToPicture() {
    const QRect g = geometry();
    const QRect fitted = correctSize(g, SizingEdge::Right);
    setGeometry(fitted);
    saveRect();
}

QRect PreviewWindow::correctMove(const QRect& proposed) {
    const QWidget* view = parentWidget();
    return toQRect(keepWithinScreen(toRect(proposed), view->width(), view->height()));
}

QRect PreviewWindow::correctSize(const QRect& proposed, SizingEdge edge) {
    const DrawSurface* picture = context_.picture();
    const int32_t pw = picture && picture->hasPixels() ? picture->width() : context_.record.pictureWidth;
    const int32_t ph = picture && picture->hasPixels() ? picture->height() : context_.record.pictureHeight;
    if (pw <= 0 || ph <= 0) return proposed;
    const bool fromLeft = edge == SizingEdge::Left || edge == SizingEdge::TopLeft || edge == SizingEdge::BottomLeft;
    const bool fromTop = edge == SizingEdge::Top || edge == SizingEdge::TopLeft || edge == SizingEdge::TopRight;
    const QWidget* view = parentWidget();
    // The edges that stay put limit how large the window may grow on screen.
    const int fixedX = fromLeft ? proposed.right() + 1 : proposed.left();
    const int fixedY = fromTop ? proposed.bottom() + 1 : proposed.top();
    const Point maxWindow{fromLeft ? fixedX : view->width() - fixedX, fromTop ? fixedY : view->height() - fixedY};
    const QSize extra = frameExtra();
    const Point client = previewClientSize({proposed.width() - extra.width(), proposed.height() - extra.height()},
                                           edge, pw, ph, {extra.width(), extra.height()}, maxWindow,
                                           {minimumWidth(), minimumHeight()});
    const int w = client.x + extra.width(), h = client.y + extra.height();
    return QRect(fromLeft ? fixedX - w : fixedX, fromTop ? fixedY - h : fixedY, w, h);
}

void PreviewWindow::saveRect() {
    context_.record.previewRect = storedRect(geometry());
}

void PreviewWindow::wasMoved(const QRect&, const QRect&) { saveRect(); }

void PreviewWindow::wasSized(const QRect&, const QRect&) { saveRect(); }

}  // namespace pavalo
