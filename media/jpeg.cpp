// JPEG decoding with libjpeg-turbo: errors and warnings end the decode through
// a long jump instead of ending the program, and the data always comes from
// memory so that files and embedded resources decode alike.
#include "media/jpeg.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "common/file_io.h"
#include "common/resources.h"
#include "media/decoded_rows.h"

namespace pavalo {
namespace {

// libjpeg hands the error handlers a pointer to `manager`; the jump buffer
// sits behind it.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

// Warnings report damaged data (most often a file cut short, whose missing
// part libjpeg would fill with grey); they fail the decode like errors.
// Trace messages (level >= 0) are ignored.
void onJpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0) std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

// The decompression object and its error handlers. Lives outside the
// function that calls setjmp, so nothing it holds is left indeterminate by a
// long jump; destroying it releases everything libjpeg allocated.
struct JpegDecoder {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};

    JpegDecoder() {
        cinfo.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = onJpegError;
        errors.manager.emit_message = onJpegMessage;
    }
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
    // Safe also when creation never happened or failed: the memory manager
    // pointer is then null.
    ~JpegDecoder() { jpeg_destroy_decompress(&cinfo); }
};

// Everything that may end in a long jump. Only trivially destructible
// objects live here, and the decoder state is reached through `d`.
LoadError runDecode(JpegDecoder& d, DrawSurface& surface, std::span<const uint8_t> data, int32_t depth) {
    if (setjmp(d.errors.jump)) return kLoadErrorDamaged;
    jpeg_create_decompress(&d.cinfo);
    // Bound the decoder's own buffers (whole-image coefficients of
    // progressive files) by the same limit as the pixels.
    d.cinfo.mem->max_memory_to_use = long(std::min<size_t>(surfaceByteLimit() * 2, LONG_MAX));
    jpeg_mem_src(&d.cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&d.cinfo, TRUE);
    if (d.cinfo.num_components != 1 && d.cinfo.num_components != 3) return kLoadErrorDamaged;

    if (!surface.create(int32_t(d.cinfo.image_width), int32_t(d.cinfo.image_height), depth))
        return kLoadErrorNoSurface;
    const int32_t surfaceDepth = surface.depth();
    const bool layout555 = surface.is555();
    // 24 and 32 bits and the quantised indices are written straight into the
    // surface's rows; 16 bits go through a row buffer.
    bool direct = true;
    switch (surfaceDepth) {
        case 8:
            if (d.cinfo.num_components == 3) d.cinfo.out_color_space = JCS_RGB;
            d.cinfo.quantize_colors = TRUE;
            d.cinfo.two_pass_quantize = TRUE;
            d.cinfo.desired_number_of_colors = 236;
            break;
        case 16:
            d.cinfo.out_color_space = JCS_EXT_BGR;
            direct = false;
            break;
        case 24:
            d.cinfo.out_color_space = JCS_EXT_BGR;
            break;
        default:
            d.cinfo.out_color_space = JCS_EXT_BGRX;
            break;
    }
    jpeg_start_decompress(&d.cinfo);
    if (d.cinfo.output_width != JDIMENSION(surface.width()) ||
        d.cinfo.output_height != JDIMENSION(surface.height()))
        return kLoadErrorDamaged;

    const JDIMENSION width = d.cinfo.output_width;
    JSAMPARRAY buffer = nullptr;
    if (!direct) {
        buffer = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                                              width * JDIMENSION(d.cinfo.output_components),
                                              JDIMENSION(d.cinfo.rec_outbuf_height));
    }
    constexpr JDIMENSION kMaxRows = 16;
    JSAMPROW rows[kMaxRows];
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        JDIMENSION got;
        if (direct) {
            const JDIMENSION n = std::min(kMaxRows, d.cinfo.output_height - y);
            for (JDIMENSION i = 0; i < n; ++i) rows[i] = surface.row(int32_t(y + i));
            got = jpeg_read_scanlines(&d.cinfo, rows, n);
        } else {
            got = jpeg_read_scanlines(&d.cinfo, buffer, JDIMENSION(d.cinfo.rec_outbuf_height));
            for (JDIMENSION i = 0; i < got; ++i)
                bgrRowTo16(surface.row(int32_t(y + i)), buffer[i], width, layout555);
        }
        if (got == 0) return kLoadErrorDamaged;
        if (surfaceDepth == 8) {
            // Indices 0-235 move up past the ten low static colours.
            for (JDIMENSION i = 0; i < got; ++i) {
                uint8_t* p = surface.row(int32_t(y + i));
                for (JDIMENSION x = 0; x < width; ++x) p[x] = uint8_t(std::min(p[x] + 10, 245));
            }
        }
    }

    PaletteTable palette = defaultPalette();
    if (surfaceDepth == 8) {
        const int colours = std::min(d.cinfo.actual_number_of_colors, 236);
        const bool grey = d.cinfo.out_color_components == 1;
        for (int i = 0; i < colours; ++i) {
            PaletteEntry& e = palette[size_t(10 + i)];
            e.red = d.cinfo.colormap[0][i];
            e.green = d.cinfo.colormap[grey ? 0 : 1][i];
            e.blue = d.cinfo.colormap[grey ? 0 : 2][i];
        }
    }
    jpeg_finish_decompress(&d.cinfo);
    if (surfaceDepth == 8) surface.setPaletteEntries(palette, false);
    return kLoadErrorNone;
}

LoadError runReadSize(JpegDecoder& d, FILE* file, int32_t& width, int32_t& height) {
    if (setjmp(d.errors.jump)) return kLoadErrorDamaged;
    jpeg_create_decompress(&d.cinfo);
    jpeg_stdio_src(&d.cinfo, file);
    jpeg_read_header(&d.cinfo, TRUE);
    width = int32_t(d.cinfo.image_width);
    height = int32_t(d.cinfo.image_height);
    return kLoadErrorNone;
}

}  // namespace

bool decodeJpegMemory(DrawSurface& surface, std::span<const uint8_t> data, int32_t depth) {
    LoadError e;
    {
        JpegDecoder decoder;
        e = runDecode(decoder, surface, data, depth);
    }
    if (e == kLoadErrorNone) return true;
    surface.lastLoadError = e;
    return false;
}

bool decodeJpegFile(DrawSurface& surface, const std::string& path, int32_t depth) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, bytes, error)) {
        surface.lastLoadError = kLoadErrorCannotOpen;
        return false;
    }
    return decodeJpegMemory(surface, bytes, depth);
}

bool decodeJpegResource(DrawSurface& surface, uint32_t id, int32_t depth) {
    std::span<const uint8_t> bytes = findResource("JPEG", id);
    return !bytes.empty() && decodeJpegMemory(surface, bytes, depth);
}

bool readJpegSize(const std::string& path, int32_t& width, int32_t& height) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    LoadError e;
    {
        JpegDecoder decoder;
        e = runReadSize(decoder, file, width, height);
    }
    std::fclose(file);
    return e == kLoadErrorNone;
}

}  // namespace pavalo
