// PNG pictures: decoding into a DrawSurface at the display's depth with
// libpng, and reading a PNG's size from its header.
//
// Every colour type and bit depth is read: palettes (with their
// transparency), grey, grey with alpha, true colour with and without alpha,
// 1 to 16 bits per sample, interlaced or not. Samples of 16 bits are scaled
// to 8; gamma and colour profiles are not applied. Alpha is composited over
// white. Depths as for JPEG pictures: 16 (both layouts), 16555, 24, 32, and 8
// (dithered to DefaultPalette).
//
// Damaged data — a wrong signature, a bad header, a checksum error in a
// critical chunk, image data cut short or a file ending before its end chunk —
// fails the load with kLoadErrorDamaged; a picture whose pixels could not be
// made with kLoadErrorNoSurface. Everything libpng held is released on every
// path. A failed load leaves the surface alive for the caller, possibly
// created at the picture's size.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "surface/draw_surface.h"
#include "media/load_error.h"

namespace pavalo {

// The eight bytes every PNG file starts with.
bool hasPngSignature(std::span<const uint8_t> head);

// Decodes PNG bytes. On failure sets surface.lastLoadError and returns false.
bool decodePngMemory(DrawSurface& surface, std::span<const uint8_t> data, int32_t depth);
// The same from a file; code 2 when it cannot be opened or read.
bool decodePngFile(DrawSurface& surface, const std::string& path, int32_t depth);

// The image size from a PNG's header chunk; false when the file cannot be
// opened or does not start with a well-formed header.
bool readPngSize(const std::string& path, int32_t& width, int32_t& height);

}  // namespace pavalo
