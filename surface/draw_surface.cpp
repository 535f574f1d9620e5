// DrawSurface creation, pixel access, fills, lines and palette setting.
#include "surface/draw_surface.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>

#include "surface/display_modes.h"

namespace pavalo {
namespace {

// Surfaces of a few megabytes (a 24-bit play area and its picture) are drawn
// at scattered places row by row: with 4 KB pages every row of every piece
// is another page, and the two buffers together outgrow what the address
// caches hold. Large stores are therefore mapped on 2 MB boundaries and
// offered to the kernel for huge pages; small ones come from the heap.
constexpr size_t kHugePage = size_t(2) << 20;

// Zero bytes after the last row, so that a pixel of fewer than four bytes
// can be read with one four-byte load anywhere in the surface.
constexpr size_t kReadSlack = 4;

struct PixelMemory {
    uint8_t* bytes = nullptr;
    size_t mapped = 0;  // bytes mapped with mmap; 0: from calloc
};

// Zeroed memory for `size` bytes, or null.
PixelMemory allocatePixels(size_t size) {
    PixelMemory m;
    if (size < kHugePage) {
        // calloc gives zeroed memory without touching large blocks page by page.
        m.bytes = static_cast<uint8_t*>(std::calloc(size, 1));
        return m;
    }
    const size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
    const size_t reserve = rounded + kHugePage;
    void* p = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return m;
    // Keep the aligned middle; give back the slack on both sides.
    const uintptr_t start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (aligned > start) munmap(p, aligned - start);
    const size_t tail = start + reserve - (aligned + rounded);
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + rounded), tail);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);  // a hint: failure is harmless
#endif
    m.bytes = reinterpret_cast<uint8_t*>(aligned);
    m.mapped = rounded;
    return m;
}

void releasePixelMemory(const PixelMemory& m) {
    if (m.mapped)
        munmap(m.bytes, m.mapped);
    else
        std::free(m.bytes);
}

}  // namespace

struct DrawSurface::PixelStore {
    PixelFormat format;
    int32_t width = 0, height = 0, pitch = 0;
    PixelMemory memory;
    uint8_t* bytes = nullptr;

    PixelStore() = default;
    PixelStore(const PixelStore&) = delete;
    PixelStore& operator=(const PixelStore&) = delete;
    ~PixelStore() { releasePixelMemory(memory); }
};

namespace {

std::atomic<size_t> gSurfaceByteLimit{size_t(1) << 30};

const PixelFormat kNoFormat{};

// Writes `count` pixels of `bytesPerPixel` bytes each, the value's low bytes
// in little-endian order.
void fillPixels(uint8_t* p, int32_t count, int32_t bytesPerPixel, uint32_t value) {
    switch (bytesPerPixel) {
        case 1:
            std::memset(p, int(value & 0xFF), size_t(count));
            break;
        case 2: {
            uint16_t v = uint16_t(value);
            for (int32_t i = 0; i < count; ++i) std::memcpy(p + 2 * i, &v, 2);
            break;
        }
        case 3: {
            uint8_t b0 = uint8_t(value), b1 = uint8_t(value >> 8), b2 = uint8_t(value >> 16);
            for (int32_t i = 0; i < count; ++i, p += 3) {
                p[0] = b0;
                p[1] = b1;
                p[2] = b2;
            }
            break;
        }
        default: {
            for (int32_t i = 0; i < count; ++i) std::memcpy(p + 4 * i, &value, 4);
            break;
        }
    }
}

}  // namespace

void setSurfaceByteLimit(size_t bytes) { gSurfaceByteLimit = bytes; }
size_t surfaceByteLimit() { return gSurfaceByteLimit; }

std::optional<PixelFormat> pixelFormatForDepth(int32_t requestedDepth) {
    switch (requestedDepth) {
        case 8:
            return PixelFormat{8, true, 0, 0, 0};
        case 16:
            if (has565Mode()) return PixelFormat{16, false, 0xF800, 0x07E0, 0x001F};
            return PixelFormat{16, false, 0x7C00, 0x03E0, 0x001F};
        case kDepth16555:
            return PixelFormat{16, false, 0x7C00, 0x03E0, 0x001F};
        case 24:
            return PixelFormat{24, false, 0xFF0000, 0x00FF00, 0x0000FF};
        case 32:
            return PixelFormat{32, false, 0xFF0000, 0x00FF00, 0x0000FF};
        default:
            return std::nullopt;
    }
}

// --- Creation ------------------------------------------------------------

bool DrawSurface::createWithFormat(int32_t width, int32_t height, const PixelFormat& format) {
    releasePixels();
    if (width <= 0 || height <= 0) return false;
    const int64_t bytesPerPixel = format.depth / 8;
    const int64_t pitch = (int64_t(width) * bytesPerPixel + 3) & ~int64_t(3);
    const int64_t total = pitch * height;
    if (pitch > INT32_MAX || uint64_t(total) > surfaceByteLimit()) return false;
    auto store = std::make_shared<PixelStore>();
    store->memory = allocatePixels(size_t(total) + kReadSlack);
    store->bytes = store->memory.bytes;
    if (!store->bytes) return false;
    store->format = format;
    store->width = width;
    store->height = height;
    store->pitch = int32_t(pitch);
    store_ = std::move(store);
    requestedWidth_ = width;
    requestedHeight_ = height;
    originX_ = originY_ = 0;
    return true;
}

bool DrawSurface::create(int32_t width, int32_t height, int32_t depth) {
    const int32_t effectiveDepth = depth == kDepth16555 ? 16 : depth;
    if (store_ && store_->width == width && store_->height == height &&
        store_->format.depth == effectiveDepth)
        return true;
    std::optional<PixelFormat> format = pixelFormatForDepth(depth);
    if (!format) {
        releasePixels();
        return false;
    }
    return createWithFormat(width, height, *format);
}

bool DrawSurface::createLike(const DrawSurface& other, int32_t width, int32_t height) {
    if (!other.store_) return false;
    if (width == -1) width = other.width();
    if (height == -1) height = other.height();
    const PixelFormat format = other.format();
    return createWithFormat(width, height, format);
}

bool DrawSurface::adopt(const DrawSurface& other) {
    if (!other.store_) return false;
    std::shared_ptr<PixelStore> shared = other.store_;
    releasePixels();
    store_ = std::move(shared);
    requestedWidth_ = store_->width;
    requestedHeight_ = store_->height;
    originX_ = originY_ = 0;
    return true;
}

void DrawSurface::releasePixels() {
    lockedPixels_ = nullptr;
    presentation_.reset();
    store_.reset();
}

void DrawSurface::dropPalette() {
    palette_.reset();
    presentation_.reset();
}

int32_t DrawSurface::width() const { return store_ ? store_->width : 0; }
int32_t DrawSurface::height() const { return store_ ? store_->height : 0; }
int32_t DrawSurface::pitch() const { return store_ ? store_->pitch : 0; }
int32_t DrawSurface::depth() const { return store_ ? store_->format.depth : 0; }
const PixelFormat& DrawSurface::format() const { return store_ ? store_->format : kNoFormat; }
bool DrawSurface::is555() const { return depth() == 16 && store_->format.redMask == 0x7C00; }

uint8_t* DrawSurface::lock() {
    if (!store_) return nullptr;
    lockedPixels_ = store_->bytes;
    return lockedPixels_;
}

void DrawSurface::unlock() { lockedPixels_ = nullptr; }

uint8_t* DrawSurface::pixels() { return store_ ? store_->bytes : nullptr; }
const uint8_t* DrawSurface::pixels() const { return store_ ? store_->bytes : nullptr; }

void DrawSurface::setOrigin(int32_t x, int32_t y) {
    originX_ = width() == requestedWidth_ ? 0 : x;
    originY_ = height() == requestedHeight_ ? 0 : y;
}

// --- Fills and lines -----------------------------------------------------

bool DrawSurface::rectFill(uint32_t colour, Rect* rect) {
    if (!store_) return false;
    Rect r{0, 0, width(), height()};
    if (rect) {
        rect->left = std::max(rect->left, 0);
        rect->top = std::max(rect->top, 0);
        rect->right = std::min(rect->right, width());
        rect->bottom = std::min(rect->bottom, height());
        r = *rect;
    }
    if (r.empty()) return true;
    const int32_t bpp = depth() / 8;
    for (int32_t y = r.top; y < r.bottom; ++y) fillPixels(row(y) + r.left * bpp, r.width(), bpp, colour);
    return true;
}

bool DrawSurface::hLine(int32_t x, int32_t y, int32_t length, uint32_t colour) {
    if (!store_) return false;
    if (y < 0 || y >= height()) return true;
    if (x < 0) {
        length += x;
        x = 0;
    }
    length = std::min<int64_t>(length, int64_t(width()) - x);
    if (length <= 0) return true;
    const int32_t bpp = depth() / 8;
    fillPixels(row(y) + x * bpp, length, bpp, colour);
    return true;
}

bool DrawSurface::vLine(int32_t x, int32_t y, int32_t length, uint32_t colour) {
    if (!store_) return false;
    if (x < 0 || x >= width()) return true;
    if (y < 0) {
        length += y;
        y = 0;
    }
    length = std::min<int64_t>(length, int64_t(height()) - y);
    const int32_t bpp = depth() / 8;
    for (int32_t i = 0; i < length; ++i) fillPixels(row(y + i) + x * bpp, 1, bpp, colour);
    return true;
}

bool DrawSurface::drawFrame(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) {
    const int32_t w = right - left + 1, h = bottom - top + 1;
    bool ok = hLine(left, top, w, colour);
    ok = hLine(left, bottom, w, colour) && ok;
    ok = vLine(left, top, h, colour) && ok;
    ok = vLine(right, top, h, colour) && ok;
    return ok;
}

bool DrawSurface::replaceColour(uint32_t from, uint32_t to, const Rect* rect) {
    if (!store_) return false;
    Rect r{0, 0, width(), height()};
    if (rect) {
        r = {std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, width()),
             std::min(rect->bottom, height())};
    }
    if (r.empty()) return true;
    const int32_t bpp = depth() / 8;
    uint8_t fromBytes[4], toBytes[4];
    std::memcpy(fromBytes, &from, 4);
    std::memcpy(toBytes, &to, 4);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* p = row(y) + r.left * bpp;
        for (int32_t x = r.left; x < r.right; ++x, p += bpp) {
            if (std::memcmp(p, fromBytes, size_t(bpp)) == 0) std::memcpy(p, toBytes, size_t(bpp));
        }
    }
    return true;
}

uint32_t DrawSurface::nativeColour(uint32_t colour) const {
    switch (depth()) {
        case 8:
            return nearestIndex(colour);
        case 16:
            return is555() ? colourTo555(colour) : colourTo565(colour);
        default:
            return uint32_t(colourRed(colour)) << 16 | uint32_t(colourGreen(colour)) << 8 |
                   colourBlue(colour);
    }
}

// --- Palettes ------------------------------------------------------------

const PaletteTable& DrawSurface::fallbackPalette() const { return greyPalette(); }

bool DrawSurface::setPaletteEntries(const PaletteTable& entries, bool clearFirst) {
    if (depth() != 8) return true;
    PaletteTable table = entries;
    for (PaletteEntry& e : table) e.flags = kPaletteEntryFlags;
    if (clearFirst) rectFill(0);
    palette_ = table;
    presentation_.reset();
    return true;
}

bool DrawSurface::copyPaletteFrom(const DrawSurface& other, bool clearFirst) {
    const PaletteTable& entries = other.palette_ ? *other.palette_ : other.fallbackPalette();
    return setPaletteEntries(entries, clearFirst);
}

bool DrawSurface::setPaletteFromPicture(std::span<const uint8_t, 768> triples, bool clearFirst) {
    return setPaletteEntries(paletteFromTriples(triples), clearFirst);
}

bool DrawSurface::setPaletteFromQuads(std::span<const uint8_t, 1024> quads, bool clearFirst) {
    return setPaletteEntries(paletteFromQuads(quads), clearFirst);
}

bool DrawSurface::setDefaultPalette() { return setPaletteEntries(defaultPalette(), false); }

bool DrawSurface::getPaletteEntries(PaletteTable& out) const {
    if (depth() != 8 || !palette_) return false;
    out = *palette_;
    return true;
}

void DrawSurface::ensurePalette() {
    if (depth() == 8 && !palette_) setPaletteEntries(fallbackPalette(), false);
}

const PresentationTable* DrawSurface::presentationTable() {
    if (depth() != 8) return nullptr;
    ensurePalette();
    if (!presentation_) {
        PresentationTable t;
        for (int i = 0; i < 256; ++i) {
            const PaletteEntry& e = (*palette_)[i];
            t[i] = 0xFF000000u | uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue;
        }
        presentation_ = t;
    }
    return &*presentation_;
}

uint8_t DrawSurface::nearestIndex(uint32_t colour) const {
    if (depth() != 8 || !palette_) return 0;
    return nearestPaletteIndex(*palette_, colourRed(colour), colourGreen(colour), colourBlue(colour));
}

}  // namespace pavalo
