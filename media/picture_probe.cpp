// Picture kind by file name, and sizes from BMP and JPEG headers.
#include "media/picture_probe.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "media/jpeg.h"
#include "media/movie_names.h"

namespace pavalo {
namespace {

std::string lowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool isJpegName(const std::string& path) {
    const std::string lower = lowerCase(path);
    return lower.find(".jpg") != std::string::npos || lower.find(".jpeg") != std::string::npos;
}

// Reads the 14-byte file header and the 40-byte info header; `magicOk` tells
// whether the file starts with "BM".
bool readBmpHeaders(const std::string& path, BitmapInfoHeader& info, bool& magicOk) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t bytes[kBmpFileHeaderSize + kBmpInfoHeaderSize];
    const bool whole = std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes;
    std::fclose(file);
    if (!whole) return false;
    magicOk = bytes[0] == 'B' && bytes[1] == 'M';
    info = parseBitmapInfoHeader(std::span<const uint8_t, 40>(bytes + kBmpFileHeaderSize, 40));
    return true;
}

}  // namespace

uint32_t probePictureFile(const std::string& path, BitmapInfoHeader* info) {
    const uint32_t kind = isJpegName(path) ? kProbeJpeg : kProbeBmp;
    if (!info) return kind;
    if (kind == kProbeBmp) {
        BitmapInfoHeader header;
        bool magicOk = false;
        if (!readBmpHeaders(path, header, magicOk)) return kind | kProbeCannotOpen;
        header.width = int32_t((int64_t(header.width) + 3) & ~int64_t(3));
        *info = header;
        return kind;
    }
    int32_t width = 0, height = 0;
    if (!readJpegSize(path, width, height)) return kind | kProbeCannotOpen;
    info->width = width;
    info->height = height;
    info->bitCount = 24;
    return kind;
}

bool pictureMatchesSize(const std::string& path, int32_t width, int32_t height) {
    const std::string lower = lowerCase(path);
    for (const char* movie : {".avi", ".mpg", ".mpeg"})
        if (lower.find(movie) != std::string::npos) return false;
    // The modern containers only by their real extension (".mov" would
    // otherwise catch names like "removal.jpg").
    if (isMovieFileName(path)) return false;
    BitmapInfoHeader info;
    if (probePictureFile(path, &info) & kProbeCannotOpen) return false;
    const int64_t probedHeight = info.height < 0 ? -int64_t(info.height) : info.height;
    return info.width == width && probedHeight == height;
}

bool probePictureSize(const std::string& path, int32_t& width, int32_t& height) {
    if (isJpegName(path)) return readJpegSize(path, width, height);
    BitmapInfoHeader info;
    bool magicOk = false;
    if (!readBmpHeaders(path, info, magicOk) || !magicOk || info.size < kBmpInfoHeaderSize) return false;
    if (info.width <= 0 || info.height == 0 || info.height == INT32_MIN) return false;
    width = info.width;
    height = info.height < 0 ? -info.height : info.height;
    return true;
}

}  // namespace pavalo
