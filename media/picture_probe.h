// Telling a picture file's kind and size without decoding it, and loading a
// still picture by its kind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "media/bmp.h"

namespace pavalo {

// Flags of probePictureFile.
inline constexpr uint32_t kProbeCannotOpen = 1;  // not opened, or its header unreadable
inline constexpr uint32_t kProbeBmp = 2;
inline constexpr uint32_t kProbeJpeg = 4;
inline constexpr uint32_t kProbePng = 8;
inline constexpr uint32_t kProbeWebp = 16;

// The kind comes from the name: a file name ending in ".png" or ".webp" (any
// case) is a PNG or a WebP picture; otherwise a path holding ".jpg" or
// ".jpeg" anywhere (any case) is a JPEG, anything else a BMP. With `info`,
// the header is read into it: for a BMP the file's 40-byte info header with
// the width rounded up to a multiple of 4; for the other kinds the image
// width and height and 24 bits per pixel (other fields left as they were). A
// file that cannot be opened, or whose header cannot be read, adds
// kProbeCannotOpen.
uint32_t probePictureFile(const std::string& path, BitmapInfoHeader* info);

// The kind of still picture the first bytes of a file show: kProbeBmp,
// kProbeJpeg, kProbePng, kProbeWebp, or 0 for none of them (or a file that
// cannot be read).
uint32_t pictureKindOfBytes(std::span<const uint8_t> head);
uint32_t pictureKindOfFile(const std::string& path);

// Decodes a PNG, WebP or JPEG file by the kind its first bytes show, at
// `depth` (as decodeJpegFile); a file of another kind is tried as a JPEG and
// fails as one would. Sets surface.lastLoadError on failure.
bool decodeCompressedPicture(DrawSurface& surface, const std::string& path, int32_t depth);

// Loads a still picture of the kind its name shows (probePictureFile): a
// JPEG, PNG or WebP picture decoded at `depth`, a BMP at its own depth.
// Sets surface.lastLoadError on failure.
bool loadPictureFile(DrawSurface& surface, const std::string& path, int32_t depth);

// True when the path names a still picture (not ".avi", ".mpg", ".mpeg")
// whose probed width and height equal these; the probed width of a BMP is
// rounded up to a multiple of 4, and a top-down BMP's height counts as
// positive.
bool pictureMatchesSize(const std::string& path, int32_t width, int32_t height);

// The real pixel size of a picture file (kind chosen by name as in
// probePictureFile; a BMP's width is not rounded, its height is positive).
// False when the file cannot be read or its header is not a picture's.
bool probePictureSize(const std::string& path, int32_t& width, int32_t& height);

}  // namespace pavalo
