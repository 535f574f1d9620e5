// WDA animations: the program's own run-length format for palettised
// animations and still pictures, drawn frame by frame onto a DrawSurface.
//
// Layout (little-endian, the same bytes in a file or a resource): an 808-byte
// header holding kind, width, height, frame count, data size, largest frame
// size, the pixel format code and a 256-entry RGB palette; a table of frame
// offsets; the frame records. A frame record is a 20-byte header (size,
// width, rows), a table of row offsets and the coded rows, bottom row first.
// Each row is a sequence of runs (background, skip, fill, literal) that
// start with a control byte; see decodeWdaRow8.
//
// Checking: the header and the frame table are checked when the data is
// taken; every frame record is checked before it is used (its header, row
// table and each row's code range inside the record, each run inside its
// row), so damaged data draws what is sound up to the first fault and never
// reads or writes outside the data or the surface. Frames are clipped at
// every edge of the surface.
//
// Ownership: data read from a file or given as bytes is owned by the object;
// resource data is only referred to (it lives for the whole run). A
// conversion to another pixel format keeps the original data, so the
// animation can later be drawn onto a surface of yet another format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "surface/draw_surface.h"

namespace pavalo {

class Platform;

inline constexpr size_t kWdaPaletteOffset = 40;
inline constexpr size_t kWdaFrameTableOffset = 808;
inline constexpr size_t kWdaFrameHeaderSize = 20;
// The header and one frame-table entry: the smallest amount of data.
inline constexpr size_t kWdaMinimumSize = kWdaFrameTableOffset + 4;

// Pixel format codes of frame data.
enum WdaPixelFormat : int32_t {
    kWdaIndexed8 = 0,  // palette index
    kWda555 = 1,       // 16-bit word, bit 15 set, 5-5-5
    kWda565 = 2,       // 16-bit word, 5-6-5
    kWdaBgr24 = 3,     // blue, green, red bytes
    kWda32 = 4,        // four bytes per pixel
};

// Run types: the low two bits of a control byte.
enum WdaRunType : uint8_t { kWdaBackgroundRun = 0, kWdaSkipRun = 1, kWdaFillRun = 2, kWdaLiteralRun = 3 };

// Texts of the file loader's message box.
namespace wda_text {
inline constexpr const char* kLoadFailureCaption = "WDA Load Failure";
// Filled with the path.
inline constexpr const char* kNoSuchFile = "%s: No such file, or sharing violation?";
}  // namespace wda_text

// Bytes per pixel of a pixel format code; 0 for an unknown code.
int32_t wdaBytesPerPixel(int32_t code);
// The pixel format code of a surface by its depth and 16-bit layout; -1
// without pixels.
int32_t wdaFormatOfSurface(const DrawSurface& surface);

// How a row decode ended.
enum class WdaRowStatus {
    Ok,       // every run decoded
    Damaged,  // a run needs bytes past the row's codes, or has length form 3
};

// Decodes one row of 8-bit codes into `dest`, a surface line of
// dest.size() pixels, with the row's first pixel at column `x` (which may be
// negative or beyond the line: pixels outside the line are not written).
// Fill runs write their pixel `length` times, literal runs copy their pixels,
// skip and background runs leave `length` pixels as they were.
WdaRowStatus decodeWdaRow8(std::span<uint8_t> dest, int64_t x, std::span<const uint8_t> codes);
// The same for any pixel format code (dest holds dest.size() / bytes per
// pixel whole pixels); 8-bit rows go to decodeWdaRow8.
WdaRowStatus decodeWdaRow(int32_t code, std::span<uint8_t> dest, int64_t x, std::span<const uint8_t> codes);

// A frame's width and rows; zeros for a missing or damaged frame.
struct WdaFrameSize {
    int32_t width = 0;
    int32_t rows = 0;
    bool operator==(const WdaFrameSize&) const = default;
};

class WdaAnimation {
public:
    WdaAnimation() = default;
    // Loads the file (see loadFile; messages go to `messages` when given).
    explicit WdaAnimation(const std::string& path, Platform* messages = nullptr);
    WdaAnimation(const WdaAnimation&) = delete;
    WdaAnimation& operator=(const WdaAnimation&) = delete;
    WdaAnimation(WdaAnimation&&) noexcept = default;
    WdaAnimation& operator=(WdaAnimation&&) noexcept = default;

    // 1 on success; -1 when the file cannot be opened or read (then, with
    // `messages`, the "WDA Load Failure" message box without owner); 0 when
    // its contents are not an animation. On failure the object is empty.
    int loadFile(const std::string& path, Platform* messages = nullptr);
    // The embedded resource of type "WDA" with this id: 1, or -1 when there
    // is none or it is not an animation.
    int loadResource(uint32_t id);
    // Takes a copy of the bytes; false (object empty) when they are not an
    // animation. `error`, when given, says why.
    bool loadBytes(std::span<const uint8_t> bytes, std::string* error = nullptr);
    // Forgets everything.
    void clear();

    bool loaded() const { return !data_.empty(); }
    bool ownsData() const { return loaded() && !fromResource_; }
    int32_t kind() const { return kind_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t frameCount() const { return int32_t(original_.frames.size()); }
    // The pixel format of the data drawn now (after any conversion).
    int32_t pixelFormat() const { return current().format; }
    // The format of the data as loaded.
    int32_t originalPixelFormat() const { return original_.format; }
    // 256 (red, green, blue) triples; empty when nothing is loaded.
    std::span<const uint8_t> palette() const;
    // The data as loaded.
    std::span<const uint8_t> data() const { return data_; }
    // How many conversions were made since the load.
    int32_t conversions() const { return conversions_; }

    // A frame record's width and rows; zeros when the frame is missing or
    // damaged.
    WdaFrameSize frameSize(int32_t frame) const;

    // Draws the frame with its top-left corner at (x, y) relative to the
    // surface's origin, converting the animation to the surface's format
    // first when they differ. Stored row r goes to line y + rows - 1 - r;
    // lines outside the surface are not drawn, nor pixels left or right of
    // it. Drawing stops at a row with no codes or a damaged run. False when
    // nothing could be drawn (no pixels, missing frame, no conversion).
    bool drawFrame(DrawSurface& surface, int32_t frame, int32_t x, int32_t y);

    // Makes the data drawn from now on be in the surface's pixel format.
    // True when it already is or the conversion succeeded; false for a target
    // of 8 bits from true colour, to or from code 4, or without pixels.
    bool convertToFormat(const DrawSurface& surface);
    bool convertToCode(int32_t code);

    // An 8-bit surface takes the 256 palette entries (through
    // setPaletteFromPicture); other depths succeed doing nothing.
    bool paletteToSurface(DrawSurface& surface) const;

private:
    // A checked frame record: where it lies in its data and its row table.
    struct Frame {
        size_t offset = 0;  // of the record in the data
        size_t size = 0;    // of the whole record
        int32_t width = 0;
        int32_t rows = 0;
        bool valid = false;
    };
    struct Coded {
        std::span<const uint8_t> bytes;
        std::vector<Frame> frames;
        int32_t format = 0;
    };
    const Coded& current() const { return converted_ ? *converted_ : original_; }
    bool take(std::span<const uint8_t> bytes, std::string* error);
    // The code range of stored row r of a checked frame; empty when the
    // row's offsets are not in order or leave the record.
    static std::span<const uint8_t> rowCodes(std::span<const uint8_t> data, const Frame& f, int32_t r);
    static Frame checkFrame(std::span<const uint8_t> data, size_t offset);

    std::vector<uint8_t> owned_;
    std::span<const uint8_t> data_;
    bool fromResource_ = false;
    Coded original_;
    std::unique_ptr<std::vector<uint8_t>> convertedBytes_;
    std::unique_ptr<Coded> converted_;
    int32_t kind_ = 0, width_ = 0, height_ = 0;
    int32_t conversions_ = 0;
};

// Plays an animation onto a picture surface as a puzzle picture: frame
// number n is due (now - start) * 15 / 1000 ms after the start; each pass
// that finds a different frame due draws the next one (one per pass, never
// skipping, since frames only repaint changes) at (0, 0). After the last
// frame a second animation, when attached, continues; after everything the
// frame number and start time are reset and frame 0 is drawn again.
// The animations are not owned and must outlive the player's use of them.
class WdaPlayer {
public:
    static constexpr int32_t kFramesPerSecond = 15;

    void attach(WdaAnimation* first, WdaAnimation* second = nullptr);
    void detach() { attach(nullptr, nullptr); }
    bool attached() const { return first_ != nullptr; }
    // Draws frame 0 and starts the clock; false when there is nothing to draw.
    bool start(DrawSurface& target, uint32_t now);
    // One idle pass; true when a frame was drawn (the picture changed).
    bool advance(DrawSurface& target, uint32_t now);
    int32_t frameNumber() const { return frame_; }
    uint32_t startTime() const { return start_; }
    // Frames of both animations together.
    int32_t totalFrames() const;

private:
    bool draw(DrawSurface& target, int32_t number);
    WdaAnimation* first_ = nullptr;
    WdaAnimation* second_ = nullptr;
    int32_t frame_ = 0;
    uint32_t start_ = 0;
};

}  // namespace pavalo
