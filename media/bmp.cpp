// BMP loading and saving with every header field checked against the data.
#include "media/bmp.h"

#include <algorithm>
#include <cstring>

#include "common/file_io.h"
#include "common/resources.h"

namespace pavalo {
namespace {

// Where the parts of a device-independent bitmap lie within its bytes.
struct DibLayout {
    BitmapInfoHeader info;
    int32_t rows = 0;
    bool topDown = false;
    size_t tableStart = 0;
    uint32_t tableEntries = 0;
    size_t pixelStart = 0;
    size_t rowBytes = 0;    // stored row, padded to a multiple of 4
    size_t pixelBytes = 0;  // bytes of one row that hold pixels
};

// Checks the info header at `infoStart` and the parts it describes.
// `pixelOffset` is the file header's pixel offset (0 for resources: the
// pixels then follow the colour table). Returns a LoadError.
LoadError layOutDib(std::span<const uint8_t> data, size_t infoStart, uint32_t pixelOffset, DibLayout& out) {
    if (data.size() < infoStart + kBmpInfoHeaderSize) return kLoadErrorDamaged;
    out.info = parseBitmapInfoHeader(data.subspan(infoStart).first<40>());
    const BitmapInfoHeader& info = out.info;
    // Shorter headers are the OS/2 forms, whose fields lie elsewhere.
    if (info.size < kBmpInfoHeaderSize) return kLoadErrorUnsupportedDepth;
    if (info.bitCount != 8 && info.bitCount != 24) return kLoadErrorUnsupportedDepth;
    if (info.compression != 0) return kLoadErrorCompressed;
    if (info.size > data.size() - infoStart) return kLoadErrorDamaged;
    if (info.width <= 0 || info.height == 0 || info.height == INT32_MIN) return kLoadErrorDamaged;

    out.topDown = info.height < 0;
    out.rows = out.topDown ? -info.height : info.height;
    out.tableStart = infoStart + info.size;
    size_t tableEnd = out.tableStart;
    if (info.bitCount == 8) {
        uint32_t entries = info.clrUsed == 0 ? 256 : std::min<uint32_t>(info.clrUsed, 256);
        if (pixelOffset >= out.tableStart)
            entries = uint32_t(std::min<size_t>(entries, (pixelOffset - out.tableStart) / 4));
        out.tableEntries = entries;
        tableEnd = out.tableStart + size_t(entries) * 4;
        if (tableEnd > data.size()) return kLoadErrorDamaged;
    }
    out.pixelStart = pixelOffset >= tableEnd ? pixelOffset : tableEnd;
    out.pixelBytes = size_t(info.width) * (info.bitCount / 8);
    out.rowBytes = (out.pixelBytes + 3) & ~size_t(3);
    // The last row may lack its padding; every other row must be whole.
    if (out.pixelStart > data.size()) return kLoadErrorDamaged;
    const uint64_t needed = uint64_t(out.rowBytes) * uint64_t(out.rows - 1) + out.pixelBytes;
    if (needed > data.size() - out.pixelStart) return kLoadErrorDamaged;
    return kLoadErrorNone;
}

// Creates the surface and copies the palette and the rows.
LoadError fillSurface(DrawSurface& surface, std::span<const uint8_t> data, const DibLayout& dib) {
    if (!surface.create(dib.info.width, dib.rows, dib.info.bitCount)) return kLoadErrorNoSurface;
    if (dib.info.bitCount == 8) {
        uint8_t quads[1024] = {};
        std::memcpy(quads, data.data() + dib.tableStart, size_t(dib.tableEntries) * 4);
        surface.setPaletteFromQuads(std::span<const uint8_t, 1024>(quads), false);
    }
    for (int32_t i = 0; i < dib.rows; ++i) {
        const uint8_t* src = data.data() + dib.pixelStart + size_t(i) * dib.rowBytes;
        const int32_t y = dib.topDown ? i : dib.rows - 1 - i;
        std::memcpy(surface.row(y), src, dib.pixelBytes);
    }
    return kLoadErrorNone;
}

bool fail(DrawSurface& surface, LoadError code) {
    surface.lastLoadError = code;
    return false;
}

}  // namespace

BitmapInfoHeader parseBitmapInfoHeader(std::span<const uint8_t, 40> bytes) {
    ByteReader r(bytes);
    BitmapInfoHeader h;
    h.size = r.u32();
    h.width = r.i32();
    h.height = r.i32();
    h.planes = r.u16();
    h.bitCount = r.u16();
    h.compression = r.u32();
    h.sizeImage = r.u32();
    h.xPelsPerMeter = r.i32();
    h.yPelsPerMeter = r.i32();
    h.clrUsed = r.u32();
    h.clrImportant = r.u32();
    return h;
}

bool loadBmpBytes(DrawSurface& surface, std::span<const uint8_t> data) {
    if (data.size() < kBmpFileHeaderSize + kBmpInfoHeaderSize || data[0] != 'B' || data[1] != 'M')
        return fail(surface, kLoadErrorDamaged);
    const uint32_t pixelOffset = loadU32(data.data() + 10);
    DibLayout dib;
    LoadError e = layOutDib(data, kBmpFileHeaderSize, pixelOffset, dib);
    if (e == kLoadErrorNone) e = fillSurface(surface, data, dib);
    return e == kLoadErrorNone ? true : fail(surface, e);
}

bool loadBmpFile(DrawSurface& surface, const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, bytes, error)) return fail(surface, kLoadErrorCannotOpen);
    return loadBmpBytes(surface, bytes);
}

bool loadBmpResourceBytes(DrawSurface& surface, std::span<const uint8_t> data) {
    DibLayout dib;
    return layOutDib(data, 0, 0, dib) == kLoadErrorNone && fillSurface(surface, data, dib) == kLoadErrorNone;
}

bool loadBmpResource(DrawSurface& surface, uint32_t id) {
    std::span<const uint8_t> bytes = findResource("BITMAP", id);
    return !bytes.empty() && loadBmpResourceBytes(surface, bytes);
}

}  // namespace pavalo
