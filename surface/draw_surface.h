// DrawSurface: a rectangle of pixels in heap memory (8, 16, 24 or 32 bits per
// pixel) with, for 8 bits, a 256-entry palette; copies between depths, fills,
// lines and the palette operations.
//
// Ownership: the pixel memory is shared between surfaces only through adopt();
// otherwise each surface owns its pixels, its palette and its presentation
// colour table. Surfaces are used on one thread (the user-interface thread).
//
// Invariants: a surface either has no pixels (width, height, pitch and depth
// 0) or width, height >= 1, pitch >= width * bytes per pixel, pitch a
// multiple of 4, and pitch * height bytes of zero-initialised memory, plus
// four readable bytes after them (pixels may be read four bytes at a time).
//
// Failure: operations return false (or null / 0) and never show messages or
// throw; bad arguments (rectangles outside the surface, missing palette,
// unsupported depth pairs) draw nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "surface/palette.h"
#include "common/geometry.h"

namespace pavalo {

// A requested depth of 16 bits in the 5-5-5 layout whatever the display offers.
inline constexpr int32_t kDepth16555 = 16555;

struct PixelFormat {
    int32_t depth = 0;  // bits per pixel: 8, 16, 24 or 32
    bool indexed = false;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    bool operator==(const PixelFormat&) const = default;
};

// The format a surface created at `requestedDepth` gets (8, 16, 16555, 24,
// 32); nullopt for any other depth. Depth 16 is 5-6-5 when the display modes
// offer it (has565Mode), else 5-5-5.
std::optional<PixelFormat> pixelFormatForDepth(int32_t requestedDepth);

// Largest pixel memory one surface may take; creation above it fails. The
// default is 1 GiB; fuzz targets lower it.
void setSurfaceByteLimit(size_t bytes);
size_t surfaceByteLimit();

// The presentation colour table of an 8-bit surface: 256 values 0xFFRRGGBB,
// ready for the front end's indexed image.
using PresentationTable = std::array<uint32_t, 256>;

class DrawSurface {
public:
    DrawSurface() = default;
    virtual ~DrawSurface() = default;
    DrawSurface(const DrawSurface&) = delete;
    DrawSurface& operator=(const DrawSurface&) = delete;

    // Fields that their users set directly.
    Rect updateRect;             // part of a back buffer the view last composed
    bool clipToWindow = true;    // only meaningful on a DisplaySurface
    int32_t colourKey8 = -1;     // transparent index when copied onto 8 bits; -1 none
    uint32_t colourKeyTrue = 0;  // transparent pixel value onto deeper surfaces
    int32_t lastLoadError = 0;   // set by the picture loaders on failure

    // --- Creation -------------------------------------------------------
    // Makes pixels of width x height at a requested depth (8, 16, 16555, 24,
    // 32). A surface already of exactly this size and depth (16555 counts as
    // 16) is kept with its pixels. Otherwise the old pixels are dropped first;
    // new pixels are zero. The palette survives. False on a bad size or depth,
    // above the byte limit, or when memory runs out.
    bool create(int32_t width, int32_t height, int32_t depth);
    // Pixels in the other surface's exact format; -1 takes the other's size.
    bool createLike(const DrawSurface& other, int32_t width = -1, int32_t height = -1);
    // Shares the other surface's pixel memory (both see every write). The
    // palette of this surface is kept. False when the other has no pixels.
    bool adopt(const DrawSurface& other);
    // Drops the pixels (the palette stays).
    void releasePixels();

    bool hasPixels() const { return store_ != nullptr; }
    int32_t width() const;
    int32_t height() const;
    int32_t pitch() const;
    int32_t depth() const;
    const PixelFormat& format() const;
    int32_t requestedWidth() const { return requestedWidth_; }
    int32_t requestedHeight() const { return requestedHeight_; }
    int32_t originX() const { return originX_; }
    int32_t originY() const { return originY_; }
    // A 16-bit surface in the 5-5-5 layout (red mask 0x7C00).
    bool is555() const;

    // --- Pixel access ---------------------------------------------------
    // Lock returns the pixel base (the same pointer while locked), null
    // without pixels; Unlock ends the lock whatever the number of Locks.
    // Heap pixels never move while the surface keeps them, so the library's
    // own operations need no lock.
    uint8_t* lock();
    void unlock();
    uint8_t* lockedPixels() const { return lockedPixels_; }
    uint8_t* pixels();
    const uint8_t* pixels() const;
    uint8_t* row(int32_t y) { return pixels() + ptrdiff_t(y) * pitch(); }
    const uint8_t* row(int32_t y) const { return pixels() + ptrdiff_t(y) * pitch(); }

    // Sets the origin added to copy positions; each part is forced to 0 when
    // the real size equals the requested size in that direction.
    void setOrigin(int32_t x, int32_t y);

    // --- Copies ---------------------------------------------------------
    // Copies a rectangle of `source` into this surface. srcWidth/srcHeight 0
    // take the source's size, destWidth/destHeight -1 take srcWidth/srcHeight.
    // Both rectangles are moved by their surface's origin and clipped to their
    // surface independently. Same depth: nearest-pixel stretch of the source
    // rectangle onto the destination rectangle, turned by `rotation` quarter
    // turns clockwise (0-3), honouring the source's colour key. Different
    // depths convert 8->16, 8->24 (source palette needed), 16->24, 24->16,
    // 32->16 and 32->24 without stretching or turning, over the part both
    // clipped rectangles share. Every other pair draws nothing.
    // Returns false when nothing could be drawn for a reason other than an
    // empty rectangle (no pixels, no palette, unsupported pair).
    bool copyBitmap(const DrawSurface& source, int32_t destX, int32_t destY, int32_t srcX = 0,
                    int32_t srcY = 0, int32_t srcWidth = 0, int32_t srcHeight = 0, int32_t destWidth = -1,
                    int32_t destHeight = -1, int32_t rotation = 0);
    // The same with rectangles; a negative destination left or top is cut to
    // 0 and the source's left or top moved by the same amount.
    bool copyRect(const DrawSurface& source, Rect dest, Rect src, int32_t rotation = 0);
    // The copy seen from the source: destination.copyBitmap(*this, ...).
    bool copyFrom(DrawSurface& destination, int32_t destX, int32_t destY, int32_t srcX = 0, int32_t srcY = 0,
                  int32_t srcWidth = 0, int32_t srcHeight = 0, int32_t destWidth = -1,
                  int32_t destHeight = -1, int32_t rotation = 0) const;
    // 8-bit quarter turn into `destination` (turn 1 clockwise, 3 counter-
    // clockwise) whose size is this one's transposed; false otherwise.
    bool rotateQuarter8(DrawSurface& destination, int32_t turn) const;
    // 8-bit mirror into an equal-sized `destination`: mode 1 left-right,
    // mode 2 top-bottom; false otherwise.
    bool mirror8(DrawSurface& destination, int32_t mode) const;

    // --- Fills and lines (colours in native form, see nativeColour) -----
    // Fills `rect` (clipped to the surface, the clipped value written back) or
    // the whole surface. False without pixels.
    bool rectFill(uint32_t colour, Rect* rect = nullptr);
    // One-pixel lines clipped to the surface; a line off the surface is a
    // success that draws nothing. False without pixels.
    bool hLine(int32_t x, int32_t y, int32_t length, uint32_t colour);
    bool vLine(int32_t x, int32_t y, int32_t length, uint32_t colour);
    // Outline of a rectangle whose right and bottom edges are inclusive.
    bool drawFrame(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour);
    // Every pixel equal to `from` (its low depth/8 bytes) becomes `to`,
    // within `rect` clipped to the surface, or everywhere.
    bool replaceColour(uint32_t from, uint32_t to, const Rect* rect = nullptr);
    // A 0x00BBGGRR colour in this surface's native form: the nearest palette
    // index at 8 bits, the 16-bit value in the surface's layout, 0xRRGGBB at
    // 24 and 32 bits.
    uint32_t nativeColour(uint32_t colour) const;

    // --- Palettes (act on 8-bit surfaces; other depths succeed doing nothing)
    // Sets all 256 entries with flags 2; clearFirst fills the pixels with
    // index 0 first. Drops the presentation table.
    bool setPaletteEntries(const PaletteTable& entries, bool clearFirst);
    // The other's entries, or its fallback palette when it has none.
    bool copyPaletteFrom(const DrawSurface& other, bool clearFirst);
    bool setPaletteFromPicture(std::span<const uint8_t, 768> triples, bool clearFirst);
    bool setPaletteFromQuads(std::span<const uint8_t, 1024> quads, bool clearFirst);
    bool setDefaultPalette();
    // False when the surface is not 8-bit or has no palette.
    bool getPaletteEntries(PaletteTable& out) const;
    bool hasPalette() const { return palette_.has_value(); }
    // Gives an 8-bit surface without a palette its fallback palette.
    void ensurePalette();
    // The presentation colour table, made on demand from the palette (the
    // fallback palette is set first when there is none). Null unless 8-bit.
    // Valid until the next palette change.
    const PresentationTable* presentationTable();
    // Palette index nearest the 0x00BBGGRR colour; 0 unless 8-bit with a palette.
    uint8_t nearestIndex(uint32_t colour) const;

    // Sets `entries` and rewrites every pixel to the new index nearest its old
    // colour. False without a palette.
    bool remapToPalette(const PaletteTable& entries);
    bool remapToDefaultPalette();
    // Moves the picture's colours so that entries 0-9 and 246-255 hold the
    // static colours of DefaultPalette, merging the nearest colours to make
    // room. False unless 8-bit with a palette.
    bool fitPaletteToStatics();
    // Makes this surface an 8-bit width x height copy of `source` in
    // DefaultPalette; -1 for one side keeps the source's aspect ratio, -1 for
    // both keeps its size. `source` must be another surface.
    bool makeScaledCopy8(const DrawSurface& source, int32_t width, int32_t height);
    // Box-filters this 24-bit surface into the top-left width x height of a
    // 24-bit destination (a stretching copy when enlarging).
    bool shrinkFrom24(DrawSurface& destination, int32_t width, int32_t height) const;
    // Makes this surface an 8-bit copy of a 24-bit `source` in DefaultPalette
    // by error diffusion along the rows.
    bool ditherFrom24(const DrawSurface& source);

protected:
    // The palette used when one is needed and none was set: the grey palette.
    virtual const PaletteTable& fallbackPalette() const;
    // Makes zeroed pixels of exactly this format (see create).
    bool createWithFormat(int32_t width, int32_t height, const PixelFormat& format);
    void dropPalette();

private:
    struct PixelStore;
    bool copyConverted(const DrawSurface& source, const Rect& dst, const Rect& src);
    bool copySameDepth(const DrawSurface& source, const Rect& dst, const Rect& src, int32_t rotation);

    std::shared_ptr<PixelStore> store_;
    std::optional<PaletteTable> palette_;
    std::optional<PresentationTable> presentation_;
    int32_t requestedWidth_ = 0, requestedHeight_ = 0;
    int32_t originX_ = 0, originY_ = 0;
    uint8_t* lockedPixels_ = nullptr;
};

// 1 for a 16-bit surface in the 5-5-5 layout.
inline bool is555(const DrawSurface& surface) { return surface.is555(); }

}  // namespace pavalo
