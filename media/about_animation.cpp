// The about box's animation and its timing.
#include "media/about_animation.h"

namespace pavalo {

int32_t AboutAnimation::animationFrame(int32_t n) {
    if (n < kLoopFirst) return n;
    return kLoopFirst + (n - kLoopFirst) % kLoopFrames;
}

bool AboutAnimation::open(uint32_t now, AboutSounds* sounds) {
    close();
    if (first_.loadResource(kFirstId) != 1 || second_.loadResource(kSecondId) != 1 ||
        background_.loadResource(kBackgroundId) != 1)
        return false;
    const WdaFrameSize size = background_.frameSize(0);
    if (size.width < 1 || size.rows < 1 || !surface_.create(size.width, size.rows, 8)) return false;
    background_.paletteToSurface(surface_);
    background_.drawFrame(surface_, 0, 0, 0);
    first_.drawFrame(surface_, 0, kOriginX, kOriginY);
    const WdaFrameSize f0 = first_.frameSize(0);
    area_ = {kOriginX, kOriginY, kOriginX + f0.width, kOriginY + f0.rows};
    lastDrawn_ = 0;
    sounds_ = sounds;
    if (sounds_) sounds_->playIntro();
    start_ = now + kStartDelayMs;
    if (sounds_) sounds_->startLoop();
    return true;
}

void AboutAnimation::close() {
    if (sounds_) sounds_->stop();
    sounds_ = nullptr;
}

bool AboutAnimation::drawNumber(int32_t n) {
    const int32_t f = animationFrame(n);
    if (f < first_.frameCount()) return first_.drawFrame(surface_, f, kOriginX, kOriginY);
    return second_.drawFrame(surface_, f - first_.frameCount(), kOriginX, kOriginY);
}

Rect AboutAnimation::tick(uint32_t now) {
    // The difference as a signed number: before the start time it is negative.
    const int32_t elapsed = int32_t(now - start_);
    if (!surface_.hasPixels() || elapsed < 0) return {};
    const int32_t due = elapsed / int32_t(kFrameMs);
    if (due <= lastDrawn_) return {};
    // Inside the loop whole rounds show nothing new: skip them.
    if (lastDrawn_ >= kLoopFirst && due - lastDrawn_ > kLoopFrames)
        lastDrawn_ += (due - lastDrawn_ - 1) / kLoopFrames * kLoopFrames;
    for (int32_t n = lastDrawn_ + 1; n <= due; ++n) drawNumber(n);
    lastDrawn_ = due;
    return area_;
}

}  // namespace pavalo
