// Putting decoded true-colour rows into a DrawSurface at a display depth:
// the shared last step of the PNG and WebP decoders (and the 16-bit row form
// the JPEG decoder uses).
#pragma once

#include <cstdint>

#include "surface/draw_surface.h"
#include "media/load_error.h"

namespace pavalo {

// One row of blue, green, red byte triples as 16-bit words: each channel
// keeps its top five bits (green too, so 5-6-5 white is 0xFFDF); the 5-5-5
// layout sets the top bit.
void bgrRowTo16(uint8_t* out, const uint8_t* bgr, uint32_t width, bool layout555);

// Receives a picture's rows as red, green, blue, alpha bytes and stores them
// in `surface` at a requested depth (8, 16, 16555, 24, 32). Alpha is
// composited over white: a picture is cut into opaque pieces, and see-through
// parts look like the paper they would be printed on. At 8 bits the rows are
// gathered at 24 bits first and then dithered to DefaultPalette.
class RgbaRowSink {
public:
    // Makes the pixels; kLoadErrorNoSurface when they cannot be made.
    LoadError begin(DrawSurface& surface, int32_t width, int32_t height, int32_t depth);
    // Row y of the picture, width() * 4 bytes.
    void putRow(int32_t y, const uint8_t* rgba);
    // Ends the picture: the 8-bit dither, when asked for.
    LoadError finish();

private:
    DrawSurface* out_ = nullptr;
    DrawSurface wide_;  // the 24-bit gathering surface of an 8-bit picture
    DrawSurface* target_ = nullptr;
};

}  // namespace pavalo
