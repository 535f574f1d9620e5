// pavalo-tool probe, convert and thumb: picture headers, loading a picture as
// the game does and saving it as BMP, and library thumbnails.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "surface/display_modes.h"
#include "surface/draw_surface.h"
#include "media/bmp.h"
#include "media/picture_probe.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

int usageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "pavalo-tool %s: %s\n", command, message.c_str());
    return 2;
}

int failure(const char* command, const std::string& message) {
    std::fprintf(stderr, "pavalo-tool %s: %s\n", command, message.c_str());
    return 1;
}

// Loads a still picture: a JPEG, PNG or WebP picture decoded at `jpegDepth`,
// a BMP at its own depth. False with a message on failure.
bool loadPicture(DrawSurface& surface, const std::string& path, int32_t jpegDepth, std::string& error) {
    const bool ok = loadPictureFile(surface, path, jpegDepth);
    if (!ok) error = path + ": " + loadErrorText(surface.lastLoadError);
    return ok;
}

}  // namespace

std::string loadErrorText(int32_t code) {
    switch (code) {
        case kLoadErrorUnsupportedDepth:
            return "Pavalo only supports 8 and 24 bit .bmp files";
        case kLoadErrorCannotOpen:
            return "the file could not be opened";
        case kLoadErrorCompressed:
            return "the BMP is compressed";
        case kLoadErrorNoSurface:
            return "no surface could be made at the picture's size";
        case kLoadErrorDamaged:
            return "the picture file is damaged";
        case kLoadErrorNeedsTrueColour:
            return "The specified image is a 24 bit .BMP file, but your video card does not support true-color at "
                   "the current resolution.";
        default:
            return "the picture could not be loaded (code " + std::to_string(code) + ")";
    }
}

int probeCommand(const Args& args) {
    if (args.size() != 1) return usageError("probe", "usage: probe FILE");
    BitmapInfoHeader info;
    const uint32_t flags = probePictureFile(args[0], &info);
    std::string kinds = (flags & kProbeJpeg)   ? "jpeg"
                        : (flags & kProbePng)  ? "png"
                        : (flags & kProbeWebp) ? "webp"
                                               : "bmp";
    if (flags & kProbeCannotOpen) kinds += ", cannot open";
    std::printf("flags %u (%s)\n", flags, kinds.c_str());
    if (flags & kProbeCannotOpen) return 1;
    std::printf("width %d\nheight %d\nbits %u\n", info.width, info.height, unsigned(info.bitCount));
    return 0;
}

int convertCommand(const Args& args) {
    std::string in, out;
    int32_t depth = 0;
    bool fit = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--depth" && i + 1 < args.size()) {
            const std::string& d = args[++i];
            if (d != "8" && d != "16" && d != "16555" && d != "24")
                return usageError("convert", "--depth takes 8, 16, 16555 or 24");
            depth = std::atoi(d.c_str());
        } else if (a == "--fit-statics") {
            fit = true;
        } else if (!a.empty() && a[0] == '-') {
            return usageError("convert", "unknown option " + a);
        } else if (in.empty()) {
            in = a;
        } else if (out.empty()) {
            out = a;
        } else {
            return usageError("convert", "usage: convert IN OUT.bmp [--depth 8|16|16555|24] [--fit-statics]");
        }
    }
    if (out.empty())
        return usageError("convert", "usage: convert IN OUT.bmp [--depth 8|16|16555|24] [--fit-statics]");

    // A JPEG, PNG or WebP picture is decoded straight at the wanted depth (the best display depth
    // when none is given); a BMP is loaded at its own and then copied.
    DrawSurface picture;
    std::string error;
    const int32_t jpegDepth = depth != 0 ? depth : bestDisplayDepth(0, 0, 24);
    if (!loadPicture(picture, in, jpegDepth, error)) return failure("convert", error);
    if (fit && picture.depth() == 8) picture.fitPaletteToStatics();
    const int32_t wanted = depth == kDepth16555 ? 16 : depth;
    const bool layoutDiffers = depth == kDepth16555 && picture.depth() == 16 && !picture.is555();
    if (depth != 0 && (picture.depth() != wanted || layoutDiffers)) {
        if (picture.depth() != 8 && wanted == 8)
            return failure("convert",
                           "The specified image is a 24 bit .BMP file, but your video card does not support "
                           "true-color at the current resolution.");
        DrawSurface converted;
        if (!converted.create(picture.width(), picture.height(), depth) ||
            !converted.copyBitmap(picture, 0, 0))
            return failure("convert", "cannot convert the picture to " + std::to_string(depth) + " bits");
        if (!saveBmp(converted, out)) return failure("convert", "cannot write " + out);
        return 0;
    }
    if (!saveBmp(picture, out)) return failure("convert", "cannot write " + out);
    return 0;
}

int thumbCommand(const Args& args) {
    if (args.size() != 2) return usageError("thumb", "usage: thumb IN OUT.bmp");
    DrawSurface picture;
    std::string error;
    if (!loadPicture(picture, args[0], 24, error)) return failure("thumb", error);
    // The longer side becomes 96 pixels; the other keeps the proportions.
    DrawSurface thumb;
    const bool wide = picture.width() >= picture.height();
    if (!thumb.makeScaledCopy8(picture, wide ? 96 : -1, wide ? -1 : 96))
        return failure("thumb", "cannot make the thumbnail");
    if (!saveBmp(thumb, args[1])) return failure("thumb", "cannot write " + args[1]);
    return 0;
}

}  // namespace pavalo::tool
