// A PictureView of a drawing surface, so that the colour tools can read the
// puzzle's picture without knowing about surfaces.
#pragma once

#include "surface/draw_surface.h"
#include "puzzle/picture_view.h"

namespace pavalo {

// The surface's pixels, size, pitch, depth and 5-5-5 flag, and for 8 bits its
// palette (the grey fallback palette when it has none). The view reads the
// surface's memory directly: it stays valid while the surface keeps its
// pixels. A surface without pixels gives an invalid view.
PictureView pictureViewOf(const DrawSurface& surface);

}  // namespace pavalo
