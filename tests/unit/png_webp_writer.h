// Test support: PNG and WebP files of known content, written with libpng and
// libwebp themselves so the decoders are checked against the libraries'
// own encoders.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include <png.h>
#include <webp/encode.h>

namespace pavalo::testing {

struct PngLayout {
    int width = 0, height = 0;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    // The rows in PNG's own layout: samples packed below 8 bits, 16-bit
    // samples high byte first.
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;  // tRNS of a palette picture
};

inline std::vector<uint8_t> encodePng(const PngLayout& layout) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png write failed");
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(layout.width), png_uint_32(layout.height), layout.bitDepth, layout.colourType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
    if (!layout.paletteAlpha.empty())
        png_set_tRNS(png, info, layout.paletteAlpha.data(), int(layout.paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& r : layout.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// An 8-bit red, green, blue, alpha PNG.
inline std::vector<uint8_t> encodeRgbaPng(int width, int height, const std::vector<uint8_t>& rgba,
                                          bool interlaced = false) {
    PngLayout layout{width, height, PNG_COLOR_TYPE_RGBA, 8, interlaced, {}, {}, {}};
    for (int y = 0; y < height; ++y)
        layout.rows.emplace_back(rgba.begin() + y * width * 4, rgba.begin() + (y + 1) * width * 4);
    return encodePng(layout);
}

// A lossless WebP of red, green, blue, alpha pixels.
inline std::vector<uint8_t> encodeLosslessWebp(int width, int height, const std::vector<uint8_t>& rgba) {
    uint8_t* data = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &data);
    std::vector<uint8_t> out(data, data + size);
    WebPFree(data);
    if (out.empty()) throw std::runtime_error("webp write failed");
    return out;
}

// A lossy WebP of red, green, blue pixels.
inline std::vector<uint8_t> encodeLossyWebp(int width, int height, const std::vector<uint8_t>& rgb, float quality) {
    uint8_t* data = nullptr;
    const size_t size = WebPEncodeRGB(rgb.data(), width, height, width * 3, quality, &data);
    std::vector<uint8_t> out(data, data + size);
    WebPFree(data);
    if (out.empty()) throw std::runtime_error("webp write failed");
    return out;
}

}  // namespace pavalo::testing
