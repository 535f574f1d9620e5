// Wrapping surface memory in QImages of the right format.
#include "app/surface_image.h"

#include <QList>

namespace pavalo {

QImage surfaceImage(DrawSurface& surface) {
    if (!surface.hasPixels()) return {};
    QImage::Format format;
    switch (surface.depth()) {
        case 8: format = QImage::Format_Indexed8; break;
        case 16: format = surface.is555() ? QImage::Format_RGB555 : QImage::Format_RGB16; break;
        case 24: format = QImage::Format_BGR888; break;
        case 32: format = QImage::Format_RGB32; break;
        default: return {};
    }
    QImage image(surface.pixels(), surface.width(), surface.height(), surface.pitch(), format);
    if (format == QImage::Format_Indexed8) {
        const PresentationTable* table = surface.presentationTable();
        QList<QRgb> colours(256);
        for (int i = 0; i < 256; ++i) colours[i] = table ? (*table)[size_t(i)] : qRgb(i, i, i);
        image.setColorTable(colours);
    }
    return image;
}

}  // namespace pavalo
