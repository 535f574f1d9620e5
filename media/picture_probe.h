// Telling a picture file's kind and size without decoding it.
#pragma once

#include <cstdint>
#include <string>

#include "media/bmp.h"

namespace pavalo {

// Flags of probePictureFile.
inline constexpr uint32_t kProbeCannotOpen = 1;  // not opened, or its header unreadable
inline constexpr uint32_t kProbeBmp = 2;
inline constexpr uint32_t kProbeJpeg = 4;

// The kind comes from the name: a path holding ".jpg" or ".jpeg" anywhere
// (any case) is a JPEG, anything else a BMP. With `info`, the header is read
// into it: for a BMP the file's 40-byte info header with the width rounded
// up to a multiple of 4; for a JPEG the image width and height and 24 bits
// per pixel (other fields left as they were). A file that cannot be opened,
// or whose header cannot be read, adds kProbeCannotOpen.
uint32_t probePictureFile(const std::string& path, BitmapInfoHeader* info);

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
