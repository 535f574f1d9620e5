// Animated puzzle pictures: opening and the idle-time frame advance.
#include "shell/animated_picture.h"

namespace pavalo {

bool AnimatedPictures::openAnimation(const std::string& path, DrawSurface& picture) {
    releasePictures();
    if (animation_.loadFile(path, &platform_) != 1) return false;
    const int32_t width = animation_.width(), height = animation_.height();
    if (width < 1 || height < 1 || !picture.create(width, height, 8)) {
        animation_.clear();
        return false;
    }
    // create() keeps the pixels of a surface of the same size: start clean.
    picture.rectFill(0);
    animation_.paletteToSurface(picture);
    player_.attach(&animation_);
    if (!player_.start(picture, platform_.tickCount())) {
        releasePictures();
        picture.releasePixels();
        return false;
    }
    return true;
}

void AnimatedPictures::releasePictures() {
    player_.detach();
    animation_.clear();
}

bool AnimatedPictures::advance(DrawSurface& picture) {
    if (!player_.attached() || !picture.hasPixels()) return false;
    return player_.advance(picture, platform_.tickCount());
}

}  // namespace pavalo
