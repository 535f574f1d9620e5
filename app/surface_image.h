// A drawing surface seen as a QImage over the same memory (no copy), for
// painting it onto a widget.
#pragma once

#include <QImage>

#include "surface/draw_surface.h"

namespace pavalo {

// The surface's pixels as an image in the matching format: Indexed8 with
// the presentation colour table, RGB16 or RGB555, BGR888, RGB32. A null
// image when the surface has no pixels. Valid while the surface keeps them.
QImage surfaceImage(DrawSurface& surface);

}  // namespace pavalo
