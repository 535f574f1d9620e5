// BMP saving: a surface written as an uncompressed bottom-up BMP file.
#include "media/bmp.h"

#include "common/file_io.h"

namespace pavalo {

std::vector<uint8_t> encodeBmp(const DrawSurface& surface) {
    if (!surface.hasPixels()) return {};
    const int32_t depth = surface.depth();
    const bool indexed = depth == 8;
    // 16-bit BMPs without masks mean 5-5-5; a 5-6-5 surface states its masks.
    const bool bitFields = depth == 16 && !surface.is555();
    const uint32_t pixelBytes = uint32_t(surface.width()) * uint32_t(depth / 8);
    const uint32_t rowSize = (pixelBytes + 3) & ~3u;
    const uint32_t extra = indexed ? 1024 : bitFields ? 12 : 0;
    const uint32_t offset = uint32_t(kBmpFileHeaderSize + kBmpInfoHeaderSize) + extra;

    ByteWriter w;
    w.buffer().reserve(size_t(offset) + size_t(rowSize) * size_t(surface.height()));
    w.u8('B');
    w.u8('M');
    w.u32(offset + rowSize * uint32_t(surface.height()));
    w.u16(0);
    w.u16(0);
    w.u32(offset);
    w.u32(uint32_t(kBmpInfoHeaderSize));
    w.i32(surface.width());
    w.i32(surface.height());
    w.u16(1);
    w.u16(uint16_t(depth));
    w.u32(bitFields ? 3 : 0);
    w.u32(0);
    w.i32(0);
    w.i32(0);
    w.u32(indexed ? 256 : 0);
    w.u32(indexed ? 256 : 0);
    if (indexed) {
        PaletteTable palette;
        if (!surface.getPaletteEntries(palette)) palette = greyPalette();
        for (const PaletteEntry& e : palette) {
            w.u8(e.blue);
            w.u8(e.green);
            w.u8(e.red);
            w.u8(0);
        }
    } else if (bitFields) {
        w.u32(0xF800);
        w.u32(0x07E0);
        w.u32(0x001F);
    }
    for (int32_t y = surface.height() - 1; y >= 0; --y) {
        w.bytes({surface.row(y), pixelBytes});
        w.zeros(rowSize - pixelBytes);
    }
    return std::move(w.buffer());
}

bool saveBmp(DrawSurface& surface, const std::string& path) {
    surface.ensurePalette();
    const std::vector<uint8_t> bytes = encodeBmp(surface);
    std::string error;
    return !bytes.empty() && writeFileAtomically(path, bytes, error);
}

}  // namespace pavalo
