// libFuzzer target for the BMP readers (file and resource forms). A picture
// that loads must survive the palette algorithms and save and load back to
// the same pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "media/bmp.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void exercise(pavalo::DrawSurface& picture) {
    using namespace pavalo;
    const std::vector<uint8_t> saved = encodeBmp(picture);
    DrawSurface again;
    check(loadBmpBytes(again, saved));
    check(again.width() == picture.width() && again.height() == picture.height() &&
          again.depth() == picture.depth());
    const size_t rowBytes = size_t(picture.width()) * size_t(picture.depth() / 8);
    for (int32_t y = 0; y < picture.height(); ++y)
        check(std::memcmp(again.row(y), picture.row(y), rowBytes) == 0);

    DrawSurface thumb;
    const bool wide = picture.width() >= picture.height();
    check(thumb.makeScaledCopy8(picture, wide ? 24 : -1, wide ? -1 : 24));
    if (picture.depth() == 8) check(picture.fitPaletteToStatics());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Keep single inputs small enough to run many per second.
    pavalo::setSurfaceByteLimit(size_t(16) << 20);
    const std::span<const uint8_t> bytes(data, size);
    pavalo::DrawSurface file;
    if (pavalo::loadBmpBytes(file, bytes)) exercise(file);
    pavalo::DrawSurface resource;
    if (size > pavalo::kBmpFileHeaderSize &&
        pavalo::loadBmpResourceBytes(resource, bytes.subspan(pavalo::kBmpFileHeaderSize)))
        exercise(resource);
    return 0;
}
