// Test and benchmark support: encodes pixels as a JPEG with libjpeg, so that
// tests can make pictures of known content and benchmarks large ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace pavalo::testing {

// `pixels` holds height rows of width * components bytes: grey (1), red-
// green-blue (3) or CMYK (4). `progressive` writes a progressive file.
inline std::vector<uint8_t> encodeJpeg(int width, int height, int components,
                                       const std::vector<uint8_t>& pixels, int quality = 90,
                                       bool progressive = false) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() +
                                            size_t(cinfo.next_scanline) * size_t(width) * size_t(components));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

// A varied colour picture: smooth gradients crossed by sharp bands, so that
// every part of the decoder has work.
inline std::vector<uint8_t> syntheticPicture(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool band = ((x / 37) + (y / 23)) % 5 == 0;
            rgb[i++] = uint8_t(band ? 255 - (x * 255 / width) : x * 255 / width);
            rgb[i++] = uint8_t((y * 255 / height + (x * y) % 31) & 0xFF);
            rgb[i++] = uint8_t(band ? 40 : ((x + y) * 127 / (width + height) + 64));
        }
    }
    return rgb;
}

}  // namespace pavalo::testing
