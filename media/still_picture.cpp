// Still pictures at the display's depth.
#include "media/still_picture.h"

#include "media/bmp.h"
#include "media/load_error.h"
#include "media/picture_probe.h"

namespace pavalo {

bool loadStillPicture(DrawSurface& picture, const std::string& path, bool compressed, int32_t displayDepth) {
    picture.lastLoadError = kLoadErrorNone;
    if (!compressed) {
        const uint32_t bytesKind = pictureKindOfFile(path);
        compressed = bytesKind == kProbePng || bytesKind == kProbeWebp;
    }
    if (compressed) return decodeCompressedPicture(picture, path, displayDepth);
    if (!loadBmpFile(picture, path)) return false;
    // Entries 0-9 and 246-255 must hold the static colours that frames,
    // outlines and the selection rectangle are drawn in.
    if (picture.depth() == 8) picture.fitPaletteToStatics();
    const int32_t wanted = displayDepth == kDepth16555 ? 16 : displayDepth;
    if (picture.depth() == wanted) return true;
    if (wanted == 8) {
        picture.releasePixels();
        picture.lastLoadError = kLoadErrorNeedsTrueColour;
        return false;
    }
    DrawSurface converted;
    if (!converted.create(picture.width(), picture.height(), displayDepth) || !converted.copyBitmap(picture, 0, 0)) {
        picture.releasePixels();
        picture.lastLoadError = kLoadErrorNoSurface;
        return false;
    }
    return picture.adopt(converted);
}

}  // namespace pavalo
