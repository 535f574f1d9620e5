// Composition of the side windows without a window system: a sorting box's
// pieces and selection band (into the compositor's back buffer, like the play
// area), the overview's map and the preview's scaled picture (each into a
// surface of the window's client size). The windows only show the result.
//
// Sorting boxes: a box's pieces lie in play-area pixels under the box window,
// so a box is composed into the same back buffer as the view, at the place
// the box covers. A point w of the box's client area is the back-buffer
// point origin + (w >> zoomShift); an update rectangle is widened to
// multiples of 1 << zoomShift first so that the conversion is exact.
//
// Threads: user-interface thread only. The model is read under PIECEMutex,
// taken before any surface lock.
#pragma once

#include <cstdint>
#include <optional>

#include "common/geometry.h"
#include "display/compositor.h"
#include "display/side_window_rules.h"
#include "puzzle/puzzle_model.h"
#include "surface/draw_surface.h"

namespace pavalo {

// One update of a sorting box window.
struct BoxRequest {
    ListId list = ListId::Box1;  // the box's piece list
    Point origin;                // the client area's top-left in view pixels
    int32_t zoomShift = 0;       // 0..3: magnification 1 << zoomShift
    Rect clipBox;                // the invalid part of the client area, client coordinates
    // The selection band being dragged in the box, box coordinates, right and
    // bottom exclusive (corners in any order).
    std::optional<Rect> band;
};

// Recomposes the part of the box that `request.clipBox` shows into the
// compositor's back buffer: background, the list's pieces with their
// outlines, then the band's edges inside that part only. Nothing is done (and
// nothing is presented) unless the back buffer has pixels, the display state
// is Playing and the model holds a puzzle. The presentation says which part
// of the back buffer to show where in the box's client area; it is the
// update's rectangle cut to the back buffer, so parts of the client area
// outside it keep the window's background.
Presentation composeSortingBox(Compositor& compositor, const PuzzleModel& model, DrawSurface* picture,
                               const BoxRequest& request);

// The overview's colours: the background chosen for the play area; marks of
// loose pieces and the frames in black on a light background (HSL lightness
// above 128), white on a dark one; finished pieces in a fixed blue; the
// picture's frame grey; the view's frame amber.
struct OverviewPalette {
    uint32_t background, ink, finished, pictureFrame, viewFrame;  // 0xRRGGBB
    static OverviewPalette forBackground(uint32_t chosenBackground);  // 0x00BBGGRR, all ones white
};

// Composes the overview for a client area of clientWidth x clientHeight into
// `out` (made 24-bit of that size when it is not): the background, the
// assembled picture's frame, a mark per piece of the Finished and then the
// Main list (where OverviewMap puts it, cell - 1 pixels square from 3-pixel
// cells up, a 1 x cell stroke below), and the frame of what the view shows at
// `viewZoom`. Without a puzzle only the background. Reads the model under
// PIECEMutex. False when the surface cannot be made.
bool composeOverview(DrawSurface& out, int32_t clientWidth, int32_t clientHeight, const PuzzleModel& model,
                     uint32_t chosenBackground, int32_t viewZoom);

// The overview's map for a client width, as composeOverview draws it.
OverviewMap overviewMapFor(const PuzzleModel& model, int32_t clientWidth);

// Composes the preview for a client area of clientWidth x clientHeight into
// `out` (made 24-bit of that size when it is not): the whole picture scaled
// to fill it, each pixel the average of the picture pixels it covers (so a
// reduced photograph stays smooth; an enlarged one repeats pixels). Pictures
// of 8 (through their palette), 16, 24 and 32 bits. Black without a picture.
// False when the surface cannot be made.
bool composePreview(DrawSurface& out, int32_t clientWidth, int32_t clientHeight, const DrawSurface* picture);

}  // namespace pavalo
