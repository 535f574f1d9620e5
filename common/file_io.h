// Little-endian byte readers and writers, whole-file reads and safe writes.
// Every stored or sent integer goes through these, never through struct layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pavalo {

inline uint32_t loadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t loadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void storeU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void storeU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// Reads from a byte span. A read past the end fails: it returns zeros, and
// ok() stays false from then on, so a decoder can check once per section.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    size_t remaining() const { return ok_ ? data_.size() - pos_ : 0; }

    uint32_t u32();
    int32_t i32() { return static_cast<int32_t>(u32()); }
    uint16_t u16();
    uint8_t u8();
    // A view of the next n bytes; empty and failing when fewer remain.
    std::span<const uint8_t> bytes(size_t n);
    bool skip(size_t n) { return bytes(n).size() == n; }

private:
    bool take(size_t n);
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Appends little-endian values to a growing buffer.
class ByteWriter {
public:
    void u32(uint32_t v);
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void u16(uint16_t v);
    void u8(uint8_t v) { buf_.push_back(v); }
    void bytes(std::span<const uint8_t> b) { buf_.insert(buf_.end(), b.begin(), b.end()); }
    void zeros(size_t n) { buf_.insert(buf_.end(), n, 0); }

    std::vector<uint8_t>& buffer() { return buf_; }
    const std::vector<uint8_t>& buffer() const { return buf_; }

private:
    std::vector<uint8_t> buf_;
};

// Reads a whole file. On failure returns false and sets `error`.
// Files larger than maxBytes are refused rather than loaded.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error,
                   size_t maxBytes = size_t(1) << 31);

// Writes `data` to a temporary file beside `path`, flushes it and renames it
// into place, so a crash or full disk never leaves a half-written file.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> data,
                         std::string& error);

}  // namespace pavalo
