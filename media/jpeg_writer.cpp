// JPEG writing through libjpeg, with errors ending the encode cleanly.
#include "media/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "common/file_io.h"

namespace pavalo {
namespace {

struct EncodeErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
};

// libjpeg's default handler ends the process; a failed encode returns instead.
[[noreturn]] void jumpOnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<EncodeErrors*>(info->err);
    std::longjmp(errors->jump, 1);
}

}  // namespace

std::vector<uint8_t> encodeJpeg(int width, int height, int components, const std::vector<uint8_t>& pixels,
                                int quality, bool progressive) {
    if (width <= 0 || height <= 0 || (components != 1 && components != 3 && components != 4) ||
        pixels.size() < size_t(width) * size_t(height) * size_t(components))
        return {};
    jpeg_compress_struct cinfo{};
    EncodeErrors errors;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOnError;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(out);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t rowBytes = size_t(width) * size_t(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + size_t(cinfo.next_scanline) * rowBytes);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

bool saveJpeg(const std::string& path, int width, int height, int components, const std::vector<uint8_t>& pixels,
              int quality) {
    const std::vector<uint8_t> bytes = encodeJpeg(width, height, components, pixels, quality);
    std::string error;
    return !bytes.empty() && writeFileAtomically(path, bytes, error);
}

}  // namespace pavalo
