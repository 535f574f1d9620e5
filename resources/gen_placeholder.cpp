// Generates the placeholder thumbnail (bitmap resource 329) that an image
// library shows for a picture it could not read: a 96 x 96 8-bit bitmap in
// DefaultPalette of a landscape photo card with a missing jigsaw piece and
// a question mark, on the thumbnails' light grey.
//
// Usage: pavalo-gen-placeholder OUT.bmp  (the resource form: info header,
// colour table, rows bottom-up, without the file header)
#include <cstdio>
#include <fstream>

#include "media/bmp.h"
#include "surface/palette.h"
#include "resources/raster.h"

namespace {

}  // namespace

int main(int argc, char** argv) {
    using namespace gen;
    if (argc != 2) {
        std::fprintf(stderr, "usage: pavalo-gen-placeholder OUT.bmp\n");
        return 2;
    }
    constexpr int kSize = 96;
    Canvas c(kSize, kSize, rgb(192, 192, 192));
    // The photo card with a soft shadow.
    c.box(15, 19, 87, 83, 5, rgb(128, 128, 128), 0.6f);
    c.box(11, 15, 83, 79, 4, rgb(252, 252, 252));
    c.box(11, 15, 83, 79, 4, rgb(160, 160, 164), 0.0f);
    // The landscape inside it.
    const float left = 17, top = 21, right = 77, bottom = 69;
    auto inside = [&](float x, float y) { return sdBox(x, y, left, top, right, bottom, 1.5f); };
    c.shade(left, top, right, bottom, inside,
            [&](float, float y) { return mix(rgb(96, 150, 230), rgb(200, 224, 252), (y - top) / (bottom - top)); });
    c.disc(62, 33, 6, rgb(252, 220, 60));
    c.shade(
        left, top, right, bottom, [&](float x, float y) { return std::max(inside(x, y), sdCircle(x, y, 30, 86, 34)); },
        [](float, float) { return rgb(40, 150, 60); });
    c.shade(
        left, top, right, bottom, [&](float x, float y) { return std::max(inside(x, y), sdCircle(x, y, 74, 92, 34)); },
        [](float, float) { return rgb(20, 110, 40); });
    // The missing piece: a hole with a shaded rim and a question mark.
    PieceShape hole{38, 38, 22, {1, -1, 1, 1}};
    c.piece(hole, [](float, float) { return rgb(64, 64, 72); });
    c.pieceOutline(hole, 1.6f, rgb(250, 250, 250), 0.9f);
    c.text("?", 45.5f, 42, 14, 2.6f, rgb(252, 220, 60));

    const pavalo::PaletteTable& palette = pavalo::defaultPalette();
    pavalo::DrawSurface bitmap;
    if (!bitmap.create(kSize, kSize, 8)) return 1;
    bitmap.setPaletteEntries(palette, true);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const Rgb p = c.at(x, y);
            bitmap.row(y)[x] = pavalo::nearestPaletteIndex(palette, Quantizer::clampByte(p.r),
                                                          Quantizer::clampByte(p.g), Quantizer::clampByte(p.b));
        }
    // A bitmap resource is the BMP file without its 14-byte file header.
    const std::vector<uint8_t> bmp = pavalo::encodeBmp(bitmap);
    if (bmp.size() <= pavalo::kBmpFileHeaderSize) return 1;
    const std::vector<uint8_t> out(bmp.begin() + std::ptrdiff_t(pavalo::kBmpFileHeaderSize), bmp.end());
    std::ofstream file(argv[1], std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    return file ? 0 : 1;
}
