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
        // Scaling a large picture down is slow; it is done again only when
        // the picture or the window's size changed.
        const DrawSurface* picture = context_.picture();
        const uint64_t version = context_.pictureVersion ? context_.pictureVersion() : 0;
        const bool fresh = surface_.hasPixels() && picture == shownPicture_ && version == shownVersion_ &&
                           surface_.width() == width() && surface_.height() == height();
        if (!fresh) {
            if (!composePreview(surface_, width(), height(), picture)) return;
            shownPicture_ = picture;
            shownVersion_ = version;
        }
        const QImage image = surfaceImage(surface_);
        if (!image.isNull()) g.drawImage(QPoint(0, 0), image);
    }

private:
    SideWindowContext context_;
    DrawSurface surface_;  // the scaled picture
    const DrawSurface* shownPicture_ = nullptr;
    uint64_t shownVersion_ = 0;
};

}  // namespace

PreviewWindow::PreviewWindow(QWidget* view, const SideWindowContext& context)
    : SideWindowFrame(view, "Preview", SideWindow::Preview, context.manager) {
    setClient(new PreviewCanvas(this, context));
}

}  // namespace pavalo
