// JPEG pictures: decoding into a DrawSurface at the display's depth with
// libjpeg-turbo, and reading a JPEG's size from its header.
//
// Depths: 24 (bytes blue, green, red), 32 (blue, green, red, spare), 16 in
// the surface's own layout (5-6-5 words keep green to five bits, so white is
// 0xFFDF; 5-5-5 words have the top bit set), 16555 (16 bits, 5-5-5 whatever
// the display offers) and 8 (two-pass quantisation to 236 colours, indices
// 10-245, palette entries 10 onward after the DefaultPalette's static
// colours). A grey JPEG gives grey pixels at every depth.
//
// A decoder error or warning (truncated or corrupt data) fails the load with
// kLoadErrorDamaged and releases everything the decoder held; so does a
// four-colour (CMYK) JPEG. A failed load leaves the surface alive for the
// caller, possibly created at the picture's size.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "surface/draw_surface.h"
#include "media/load_error.h"

namespace pavalo {

// Decodes JPEG bytes. On failure sets surface.lastLoadError and returns false.
bool decodeJpegMemory(DrawSurface& surface, std::span<const uint8_t> data, int32_t depth);
// The same from a file; code 2 when it cannot be opened or read.
bool decodeJpegFile(DrawSurface& surface, const std::string& path, int32_t depth);
// The embedded resource of type "JPEG" with this id, decoded from memory.
// False without an error code when there is no such resource.
bool decodeJpegResource(DrawSurface& surface, uint32_t id, int32_t depth);

// The image size from a JPEG header; false when the file cannot be opened or
// its header cannot be read.
bool readJpegSize(const std::string& path, int32_t& width, int32_t& height);

}  // namespace pavalo
