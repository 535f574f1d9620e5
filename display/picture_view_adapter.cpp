// Building a PictureView over a DrawSurface.
#include "display/picture_view_adapter.h"

namespace pavalo {

PictureView pictureViewOf(const DrawSurface& surface) {
    PictureView view;
    if (!surface.hasPixels()) return view;
    view.pixels = surface.pixels();
    view.width = surface.width();
    view.height = surface.height();
    view.pitch = surface.pitch();
    view.depth = surface.depth();
    view.is555 = surface.depth() == 16 && surface.is555();
    if (view.depth == 8) {
        PaletteTable entries;
        if (!surface.getPaletteEntries(entries)) entries = greyPalette();
        for (size_t i = 0; i < entries.size(); ++i)
            view.palette[i] = {entries[i].red, entries[i].green, entries[i].blue};
    }
    return view;
}

}  // namespace pavalo
