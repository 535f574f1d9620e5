// Still pictures (BMP, JPEG, PNG and WebP) loaded the way a puzzle shows them: at the
// display's depth. The game's document and the command-line tool both load
// puzzle pictures through here, so both work on the same pixels.
#pragma once

#include <cstdint>
#include <string>

#include "surface/draw_surface.h"

namespace pavalo {

// Loads a puzzle picture for a display of `displayDepth` (8, 16, 16555 or
// 24). A compressed picture (a JPEG, or a PNG or WebP picture, told apart by
// the file's first bytes) is decoded straight at that depth; so is a file
// recorded as a BMP whose first bytes show a PNG or WebP picture (a BMP never
// starts like one). A BMP is read at its own
// depth; an 8-bit one has its palette fitted around the static colours, and
// when the display's depth differs the picture is copied to that depth. A
// true-colour BMP is refused for an 8-bit display (kLoadErrorNeedsTrueColour).
// On failure sets picture.lastLoadError and returns false.
bool loadStillPicture(DrawSurface& picture, const std::string& path, bool compressed, int32_t displayDepth);

}  // namespace pavalo
