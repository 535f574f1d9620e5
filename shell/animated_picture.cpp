// Moving puzzle pictures: opening animations and movies, and the idle-time
// frame advance of each.
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
    movie_.close();
    moviePauses_ = 0;
}

MovieOpenResult AnimatedPictures::openMovie(const std::string& path, DrawSurface& picture, int32_t depth) {
    releasePictures();
    MovieOpenResult result;
    if (depth == 8) {
        // Every movie decodes to true colour.
        result.needsTrueColour = true;
        return result;
    }
    const MovieError error = movie_.open(path, depth, movieSoundWanted_ && movieSoundWanted_());
    if (error != MovieError::None) {
        result.error = movieErrorText(error);
        return result;
    }
    const DrawSurface& first = movie_.firstFrame();
    if (!picture.createLike(first) || !picture.copyBitmap(first, 0, 0)) {
        movie_.close();
        picture.releasePixels();
        result.error = movieErrorText(MovieError::NoSurface);
        return result;
    }
    lastTick_ = platform_.tickCount();
    movieClockMs_ = 0;
    movie_.start(0);
    lastMovieTakeMs_ = 0;
    applyMoviePause();
    result.opened = true;
    return result;
}

int64_t AnimatedPictures::movieClock() {
    // The platform's ticks wrap after 49 days; the movie's clock does not.
    const uint32_t tick = platform_.tickCount();
    movieClockMs_ += int64_t(uint32_t(tick - lastTick_));
    lastTick_ = tick;
    return movieClockMs_;
}

bool AnimatedPictures::advanceMovie(DrawSurface& picture) {
    if (!movie_.running() || !picture.hasPixels()) return false;
    const int64_t now = movieClock();
    if (now - lastMovieTakeMs_ < 1000 / kMovieRedrawsPerSecond) return false;
    if (!movie_.takeFrame(now, picture)) return false;
    lastMovieTakeMs_ = now;
    return true;
}

void AnimatedPictures::pauseMovie(bool paused) {
    if (!movie_.running()) return;
    if (paused)
        ++moviePauses_;
    else if (moviePauses_ > 0)
        --moviePauses_;
    applyMoviePause();
}

void AnimatedPictures::setModalWindowOpen(bool open) {
    modalOpen_ = open;
    applyMoviePause();
}

void AnimatedPictures::applyMoviePause() {
    if (!movie_.running()) return;
    const bool wanted = modalOpen_ || moviePauses_ > 0;
    if (wanted == movie_.paused()) return;
    const int64_t now = movieClock();
    if (wanted)
        movie_.pause(now);
    else
        movie_.resume(now);
}

bool AnimatedPictures::advance(DrawSurface& picture) {
    if (!player_.attached() || !picture.hasPixels()) return false;
    return player_.advance(picture, platform_.tickCount());
}

}  // namespace pavalo
