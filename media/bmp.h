// BMP pictures: loading 8- and 24-bit uncompressed BMP files and bitmap
// resources into a DrawSurface, and saving a surface as a BMP file.
//
// Loading replaces the surface's pixels (re-using them when size and depth
// already match) and, at 8 bits, its palette. Every size, count and offset
// in the data is checked against the data before anything is allocated or
// read; a failed load leaves the surface alive for the caller, possibly
// created at the picture's size with part of the picture in it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "surface/draw_surface.h"
#include "media/load_error.h"

namespace pavalo {

// The 40-byte Windows bitmap info header, field by field.
struct BitmapInfoHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative: rows stored top row first
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

inline constexpr size_t kBmpFileHeaderSize = 14;
inline constexpr size_t kBmpInfoHeaderSize = 40;

// Reads the 40-byte header at `bytes` (which must hold 40 bytes).
BitmapInfoHeader parseBitmapInfoHeader(std::span<const uint8_t, 40> bytes);

// Loads a BMP file's bytes (file header first). On failure sets
// surface.lastLoadError (LoadError) and returns false.
//
// Accepted: "BM" files with a header of 40 bytes or more, 8 or 24 bits,
// no compression, rows bottom-up or top-down (negative height). The pixels
// start at the file header's pixel offset (right after the colour table when
// that offset points before it); an 8-bit colour table has the colours-used
// count of entries (256 when 0, at most 256, never past the pixel offset),
// missing entries are black.
bool loadBmpBytes(DrawSurface& surface, std::span<const uint8_t> data);
// The same from a file; code 2 when it cannot be opened or read.
bool loadBmpFile(DrawSurface& surface, const std::string& path);
// Loads an embedded bitmap resource of type "BITMAP": the info header first,
// then for 8 bits the colour table, then the rows. False when there is no such
// resource or it cannot be loaded; sets no error code.
bool loadBmpResource(DrawSurface& surface, uint32_t id);
// The resource form from bytes (for tests and the resource loader).
bool loadBmpResourceBytes(DrawSurface& surface, std::span<const uint8_t> data);

// The surface as BMP file bytes: 8 bits with its 256-entry colour table
// (the fallback palette when it has none), 24 and 32 bits and 16 bits in the
// 5-5-5 layout uncompressed, 16 bits in the 5-6-5 layout with bit-field masks.
// Empty when the surface has no pixels.
std::vector<uint8_t> encodeBmp(const DrawSurface& surface);
// Writes encodeBmp's bytes to a temporary file beside `path` and renames it
// into place. An 8-bit surface without a palette is given its fallback palette
// first. False when there is nothing to write or the file cannot be written.
bool saveBmp(DrawSurface& surface, const std::string& path);

}  // namespace pavalo
