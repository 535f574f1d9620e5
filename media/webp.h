// WebP pictures: decoding a still WebP (lossy or lossless, with or without
// alpha) into a DrawSurface at the display's depth with libwebp, and reading
// its size from the header.
//
// Alpha is composited over white; depths as for PNG pictures. Damaged or cut
// short data, and animated WebP files (which the puzzle has no frames for),
// fail the load with kLoadErrorDamaged; a picture whose pixels could not be
// made with kLoadErrorNoSurface. A failed load leaves the surface alive for
// the caller, possibly created at the picture's size.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "surface/draw_surface.h"
#include "media/load_error.h"

namespace pavalo {

// "RIFF", a size, "WEBP": the twelve bytes a WebP file starts with.
bool hasWebpSignature(std::span<const uint8_t> head);

// Decodes WebP bytes. On failure sets surface.lastLoadError and returns false.
bool decodeWebpMemory(DrawSurface& surface, std::span<const uint8_t> data, int32_t depth);
// The same from a file; code 2 when it cannot be opened or read.
bool decodeWebpFile(DrawSurface& surface, const std::string& path, int32_t depth);

// The image size from a WebP header; false when the file cannot be opened or
// its header cannot be read.
bool readWebpSize(const std::string& path, int32_t& width, int32_t& height);

}  // namespace pavalo
