// WdaEncoder: writes WDA animations — the header with its palette, the frame
// table and frames whose rows are coded as runs. A frame is coded whole, or
// as the changes from the frames that may have been drawn before it (pixels
// equal in all of them become skip runs). Used by the asset generators,
// pavalo-tool and the tests. No dependencies beyond the byte helpers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pavalo {

// Appends a run's control byte and, when needed, its length byte: lengths
// 0-15 in the short form, 16-255 in the one-byte form, 256-4095 in the
// 12-bit form. Longer lengths are the caller's to split.
void appendWdaRunHeader(std::vector<uint8_t>& out, uint8_t type, uint32_t length);

// Codes one row of pixels (bytesPerPixel bytes each). Pixels whose entry in
// `unchanged` is nonzero become skip runs; with `background`, pixels of that
// value become background runs; runs of three or more equal pixels become
// fill runs; the rest literal runs. Skip runs at the end of the row are left
// out, but a row always has at least one byte of codes.
std::vector<uint8_t> encodeWdaRow(std::span<const uint8_t> pixels, int32_t bytesPerPixel,
                                  std::span<const uint8_t> unchanged = {},
                                  std::optional<uint32_t> background = std::nullopt);

class WdaEncoder {
public:
    // An animation of width x height in a pixel format code (0-4) with 256
    // (red, green, blue) palette entries; `kind` is stored, not interpreted.
    WdaEncoder(int32_t width, int32_t height, std::span<const uint8_t> palette, int32_t pixelFormat = 0,
               int32_t kind = 1);

    // Pixels equal to this value are coded as background runs from now on.
    void setBackground(std::optional<uint32_t> pixel) { background_ = pixel; }

    // Adds a frame of the animation's size: `pixels` top row first, width
    // pixels per row. Pixels equal in every frame of `before` (each of the
    // same size) are coded as skip runs; with none the frame is coded whole.
    void addFrame(std::span<const uint8_t> pixels, std::span<const std::span<const uint8_t>> before = {});
    // The same for a frame of its own size.
    void addFrameOfSize(int32_t width, int32_t rows, std::span<const uint8_t> pixels,
                        std::span<const std::span<const uint8_t>> before = {});
    // A frame from rows already coded, in stored order (bottom row first).
    void addCodedFrame(int32_t width, const std::vector<std::vector<uint8_t>>& storedRows);

    int32_t frameCount() const { return int32_t(frames_.size()); }
    int32_t bytesPerPixel() const { return bpp_; }
    // The whole animation.
    std::vector<uint8_t> finish() const;

private:
    int32_t width_, height_, format_, kind_, bpp_;
    std::vector<uint8_t> palette_;
    std::optional<uint32_t> background_;
    std::vector<std::vector<uint8_t>> frames_;  // complete frame records
};

// Writes the bytes to a temporary file and renames it into place.
bool writeWdaFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

}  // namespace pavalo
