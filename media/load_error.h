// Why a picture load failed: the codes the loaders leave in a surface's
// lastLoadError.
#pragma once

#include <cstdint>

namespace pavalo {

enum LoadError : int32_t {
    kLoadErrorNone = 0,
    // The BMP is neither 8 nor 24 bits per pixel, or has a header form
    // other than the Windows one (40 bytes or longer).
    kLoadErrorUnsupportedDepth = 1,
    // The file could not be opened or read.
    kLoadErrorCannotOpen = 2,
    // The BMP is compressed.
    kLoadErrorCompressed = 3,
    // No pixel memory of the picture's size and depth could be made.
    kLoadErrorNoSurface = 4,
    // The data is damaged: truncated, sizes the file cannot hold, a decoder
    // error or warning, or a JPEG colour space that cannot be shown.
    kLoadErrorDamaged = 5,
    // A true-colour picture was asked for on a display that has only 8 bits.
    kLoadErrorNeedsTrueColour = 6,
};

}  // namespace pavalo
