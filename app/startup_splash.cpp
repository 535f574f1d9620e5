// The start-up splash in the play area.
#include "app/startup_splash.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

namespace pavalo {

StartupSplash::StartupSplash(Compositor& compositor, QWidget* view) : compositor_(compositor), view_(view) {}

StartupSplash::~StartupSplash() { compositor_.setStartupFrame(nullptr); }

bool StartupSplash::load(const std::string& path) {
    // A missing splash is no reason to bother the player: no message.
    if (animation_.loadFile(path, nullptr) != 1 || animation_.width() < 1 || animation_.height() < 1) return false;
    drawn_ = -1;
    due_ = 0;
    compositor_.setStartupFrame(
        [this](DrawSurface& backBuffer, DisplaySurface& display) { return drawFrame(backBuffer, display); });
    return true;
}

bool StartupSplash::play(const std::string& path) {
    if (!load(path)) return false;
    RendererState& state = compositor_.state();
    state.displayState = DisplayState::StartupAnimation;
    state.rebuildBuffers = true;
    done_ = false;
    QEventLoop loop;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [this, &loop] {
        if (done_ || due_ >= animation_.frameCount() - 1 + kHoldFrames) {
            finish();
            loop.quit();
            return;
        }
        ++due_;
        if (view_) view_->update();
    });
    qApp->installEventFilter(this);
    if (view_) view_->update();
    timer.start(1000 / WdaPlayer::kFramesPerSecond);
    loop.exec();
    qApp->removeEventFilter(this);
    return true;
}

void StartupSplash::finish() {
    done_ = true;
    compositor_.setStartupFrame(nullptr);
    RendererState& state = compositor_.state();
    state.displayState = DisplayState::Tile;
    state.rebuildBuffers = true;
    if (view_) view_->update();
}

bool StartupSplash::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress) {
        done_ = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

std::optional<Rect> StartupSplash::drawFrame(DrawSurface& backBuffer, DisplaySurface& display) {
    if (!animation_.loaded() || !backBuffer.hasPixels()) return std::nullopt;
    const bool fresh = backBuffer.pixels() != buffer_ || backBuffer.width() != bufferWidth_ ||
                       backBuffer.height() != bufferHeight_ || backBuffer.depth() != bufferDepth_;
    const int32_t w = animation_.width(), h = animation_.height();
    const int32_t x = (backBuffer.width() - w) / 2, y = (backBuffer.height() - h) / 2;
    const bool direct = backBuffer.depth() == 8;
    if (fresh) {
        // A new back buffer: start again from the first (whole) frame, with
        // the splash's first palette colour around it.
        buffer_ = backBuffer.pixels();
        bufferWidth_ = backBuffer.width();
        bufferHeight_ = backBuffer.height();
        bufferDepth_ = backBuffer.depth();
        drawn_ = -1;
        const std::span<const uint8_t> pal = animation_.palette();
        if (direct) {
            animation_.paletteToSurface(backBuffer);
            backBuffer.rectFill(0);
        } else {
            backBuffer.rectFill(backBuffer.nativeColour(makeColour(pal[0], pal[1], pal[2])));
            if (!scratch_.create(w, h, 8)) return std::nullopt;
            animation_.paletteToSurface(scratch_);
        }
        animation_.paletteToSurface(display);
    }
    const int32_t last = std::min(due_, animation_.frameCount() - 1);
    if (last <= drawn_ && !fresh) return Rect{x, y, x + w, y + h};
    for (int32_t f = drawn_ + 1; f <= last; ++f) {
        if (direct)
            animation_.drawFrame(backBuffer, f, x, y);
        else
            animation_.drawFrame(scratch_, f, 0, 0);
    }
    drawn_ = std::max(drawn_, last);
    if (!direct) backBuffer.copyBitmap(scratch_, x, y);
    if (fresh) return Rect{0, 0, backBuffer.width(), backBuffer.height()};
    return Rect{x, y, x + w, y + h};
}

}  // namespace pavalo
