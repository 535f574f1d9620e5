// The WDA writer: run selection per row and the file layout.
#include "media/wda_encoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "common/file_io.h"

namespace pavalo {
namespace {

constexpr uint32_t kMaxRunLength = 4095;
constexpr uint8_t kBackground = 0, kSkip = 1, kFill = 2, kLiteral = 3;

int32_t bytesPerPixelOf(int32_t code) {
    switch (code) {
        case 0:
            return 1;
        case 1:
        case 2:
            return 2;
        case 3:
            return 3;
        case 4:
            return 4;
        default:
            throw std::invalid_argument("unknown WDA pixel format");
    }
}

uint32_t pixelAt(const uint8_t* p, int32_t bpp) {
    uint32_t v = 0;
    for (int32_t b = 0; b < bpp; ++b) v |= uint32_t(p[b]) << (8 * b);
    return v;
}

// Emits `length` pixels of a run that carries nothing, in pieces of at most 4095.
void emitEmpty(std::vector<uint8_t>& out, uint8_t type, size_t length) {
    do {
        const uint32_t n = uint32_t(std::min<size_t>(length, kMaxRunLength));
        appendWdaRunHeader(out, type, n);
        length -= n;
    } while (length > 0);
}

}  // namespace

void appendWdaRunHeader(std::vector<uint8_t>& out, uint8_t type, uint32_t length) {
    if (length > kMaxRunLength) throw std::invalid_argument("WDA run longer than 4095");
    if (length < 16) {
        out.push_back(uint8_t(length << 4 | type));
    } else if (length < 256) {
        out.push_back(uint8_t(1 << 2 | type));
        out.push_back(uint8_t(length));
    } else {
        out.push_back(uint8_t((length >> 8) << 4 | 2 << 2 | type));
        out.push_back(uint8_t(length & 0xFF));
    }
}

std::vector<uint8_t> encodeWdaRow(std::span<const uint8_t> pixels, int32_t bpp, std::span<const uint8_t> unchanged,
                                  std::optional<uint32_t> background) {
    const size_t width = pixels.size() / size_t(bpp);
    std::vector<uint8_t> out;
    auto skipped = [&](size_t i) { return !unchanged.empty() && unchanged[i] != 0; };
    auto value = [&](size_t i) { return pixelAt(pixels.data() + i * size_t(bpp), bpp); };
    auto isBackground = [&](size_t i) { return background && value(i) == *background; };
    // Length of the run of equal, coded, non-background pixels from i.
    auto sameFrom = [&](size_t i) {
        size_t j = i + 1;
        while (j < width && !skipped(j) && !isBackground(j) && value(j) == value(i)) ++j;
        return j - i;
    };
    size_t i = 0;
    size_t pendingSkip = 0;  // skip pixels not yet written (dropped at the row's end)
    auto flushSkip = [&] {
        if (pendingSkip) emitEmpty(out, kSkip, pendingSkip);
        pendingSkip = 0;
    };
    while (i < width) {
        if (skipped(i)) {
            ++pendingSkip;
            ++i;
            continue;
        }
        flushSkip();
        if (isBackground(i)) {
            size_t j = i + 1;
            while (j < width && !skipped(j) && isBackground(j)) ++j;
            emitEmpty(out, kBackground, j - i);
            i = j;
            continue;
        }
        const size_t same = sameFrom(i);
        if (same >= 3) {
            for (size_t left = same; left > 0;) {
                const uint32_t n = uint32_t(std::min<size_t>(left, kMaxRunLength));
                appendWdaRunHeader(out, kFill, n);
                out.insert(out.end(), pixels.begin() + ptrdiff_t(i * size_t(bpp)),
                           pixels.begin() + ptrdiff_t((i + 1) * size_t(bpp)));
                left -= n;
            }
            i += same;
            continue;
        }
        // A literal run up to the next skipped or background pixel or the
        // next run worth a fill.
        size_t j = i;
        while (j < width && !skipped(j) && !isBackground(j) && (j == i || sameFrom(j) < 3) && j - i < kMaxRunLength)
            ++j;
        appendWdaRunHeader(out, kLiteral, uint32_t(j - i));
        out.insert(out.end(), pixels.begin() + ptrdiff_t(i * size_t(bpp)), pixels.begin() + ptrdiff_t(j * size_t(bpp)));
        i = j;
    }
    if (out.empty()) appendWdaRunHeader(out, kSkip, 0);
    return out;
}

WdaEncoder::WdaEncoder(int32_t width, int32_t height, std::span<const uint8_t> palette, int32_t pixelFormat,
                       int32_t kind)
    : width_(width), height_(height), format_(pixelFormat), kind_(kind), bpp_(bytesPerPixelOf(pixelFormat)) {
    if (width < 0 || height < 0 || width > 0xFFFF || height > 0xFFFF) throw std::invalid_argument("WDA size");
    palette_.assign(768, 0);
    std::copy_n(palette.begin(), std::min<size_t>(palette.size(), 768), palette_.begin());
}

void WdaEncoder::addFrame(std::span<const uint8_t> pixels, std::span<const std::span<const uint8_t>> before) {
    addFrameOfSize(width_, height_, pixels, before);
}

void WdaEncoder::addFrameOfSize(int32_t width, int32_t rows, std::span<const uint8_t> pixels,
                                std::span<const std::span<const uint8_t>> before) {
    const size_t rowBytes = size_t(width) * size_t(bpp_);
    if (pixels.size() < rowBytes * size_t(rows)) throw std::invalid_argument("WDA frame pixels too short");
    for (const auto& b : before)
        if (b.size() < rowBytes * size_t(rows)) throw std::invalid_argument("WDA earlier frame too short");
    std::vector<std::vector<uint8_t>> stored;
    std::vector<uint8_t> unchanged(static_cast<size_t>(width));
    for (int32_t r = 0; r < rows; ++r) {
        const size_t line = size_t(rows - 1 - r);  // bottom row first
        const std::span<const uint8_t> row = pixels.subspan(line * rowBytes, rowBytes);
        std::span<const uint8_t> mask;
        if (!before.empty()) {
            for (size_t x = 0; x < size_t(width); ++x) {
                bool same = true;
                for (const auto& b : before)
                    same = same && std::memcmp(b.data() + line * rowBytes + x * size_t(bpp_),
                                               row.data() + x * size_t(bpp_), size_t(bpp_)) == 0;
                unchanged[x] = same;
            }
            mask = unchanged;
        }
        stored.push_back(encodeWdaRow(row, bpp_, mask, background_));
    }
    addCodedFrame(width, stored);
}

void WdaEncoder::addCodedFrame(int32_t width, const std::vector<std::vector<uint8_t>>& storedRows) {
    ByteWriter w;
    const size_t rows = storedRows.size();
    size_t codes = 0;
    for (const auto& r : storedRows) codes += r.size();
    w.u32(uint32_t(20 + 4 * rows + codes));
    w.zeros(4);
    w.u16(uint16_t(width));
    w.u16(uint16_t(rows));
    w.zeros(8);
    uint32_t offset = 0;
    for (const auto& r : storedRows) {
        w.u32(offset);
        offset += uint32_t(r.size());
    }
    for (const auto& r : storedRows) w.bytes(r);
    frames_.push_back(std::move(w.buffer()));
}

std::vector<uint8_t> WdaEncoder::finish() const {
    const size_t count = frames_.size();
    if (count == 0 || count > 0xFFFF) throw std::logic_error("a WDA animation has 1 to 65535 frames");
    size_t total = 808 + 4 * count, largest = 0;
    for (const auto& f : frames_) {
        total += f.size();
        largest = std::max(largest, f.size());
    }
    ByteWriter w;
    w.u16(uint16_t(kind_));
    w.u16(uint16_t(width_));
    w.u16(uint16_t(height_));
    w.u16(uint16_t(count));
    w.u32(uint32_t(total - 4 * (count - 1)));
    w.u32(uint32_t(largest));
    w.zeros(8);
    w.u16(uint16_t(format_));
    w.zeros(14);
    w.bytes(palette_);
    size_t offset = 808 + 4 * count;
    for (const auto& f : frames_) {
        w.u32(uint32_t(offset));
        offset += f.size();
    }
    for (const auto& f : frames_) w.bytes(f);
    return std::move(w.buffer());
}

bool writeWdaFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    return writeFileAtomically(path, bytes, error);
}

}  // namespace pavalo
