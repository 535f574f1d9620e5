// Picture kind by file name or first bytes, and sizes from BMP, JPEG, PNG
// and WebP headers.
#include "media/picture_probe.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "media/jpeg.h"
#include "media/png.h"
#include "media/webp.h"
#include "media/movie_names.h"

namespace pavalo {
namespace {

std::string lowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return lowerCase(path.substr(dot + 1));
}

// The kind the name asks for; a name that asks for none (a download saved
// under a name of its own) is told by its first bytes, and is a BMP when
// they say nothing either.
uint32_t kindOfName(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == "png") return kProbePng;
    if (ext == "webp") return kProbeWebp;
    const std::string lower = lowerCase(path);
    if (lower.find(".jpg") != std::string::npos || lower.find(".jpeg") != std::string::npos) return kProbeJpeg;
    if (ext == "bmp") return kProbeBmp;
    const uint32_t bytes = pictureKindOfFile(path);
    return bytes ? bytes : kProbeBmp;
}

bool readCompressedSize(uint32_t kind, const std::string& path, int32_t& width, int32_t& height) {
    switch (kind) {
        case kProbePng: return readPngSize(path, width, height);
        case kProbeWebp: return readWebpSize(path, width, height);
        default: return readJpegSize(path, width, height);
    }
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
    const uint32_t kind = kindOfName(path);
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
    if (!readCompressedSize(kind, path, width, height)) return kind | kProbeCannotOpen;
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
    if (const uint32_t kind = kindOfName(path); kind != kProbeBmp) return readCompressedSize(kind, path, width, height);
    BitmapInfoHeader info;
    bool magicOk = false;
    if (!readBmpHeaders(path, info, magicOk) || !magicOk || info.size < kBmpInfoHeaderSize) return false;
    if (info.width <= 0 || info.height == 0 || info.height == INT32_MIN) return false;
    width = info.width;
    height = info.height < 0 ? -info.height : info.height;
    return true;
}

uint32_t pictureKindOfBytes(std::span<const uint8_t> head) {
    if (hasPngSignature(head)) return kProbePng;
    if (hasWebpSignature(head)) return kProbeWebp;
    if (head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return kProbeJpeg;
    if (head.size() >= 2 && head[0] == 'B' && head[1] == 'M') return kProbeBmp;
    return 0;
}

uint32_t pictureKindOfFile(const std::string& path) {
    uint8_t head[12];
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 0;
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return pictureKindOfBytes(std::span<const uint8_t>(head, got));
}

bool decodeCompressedPicture(DrawSurface& surface, const std::string& path, int32_t depth) {
    switch (pictureKindOfFile(path)) {
        case kProbePng: return decodePngFile(surface, path, depth);
        case kProbeWebp: return decodeWebpFile(surface, path, depth);
        default: return decodeJpegFile(surface, path, depth);
    }
}

bool loadPictureFile(DrawSurface& surface, const std::string& path, int32_t depth) {
    switch (kindOfName(path)) {
        case kProbePng: return decodePngFile(surface, path, depth);
        case kProbeWebp: return decodeWebpFile(surface, path, depth);
        case kProbeJpeg: return decodeJpegFile(surface, path, depth);
        default: return loadBmpFile(surface, path);
    }
}

}  // namespace pavalo
