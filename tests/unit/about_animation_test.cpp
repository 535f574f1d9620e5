// The program's own animations: the embedded WDA resources have the sizes
// and frame counts their users rely on, and the about box's timing draws
// every due frame in order, loops its last 27 frames seamlessly, starts and
// stops its sounds, and survives long pauses.
#include "media/about_animation.h"

#include <gtest/gtest.h>

#include <cstring>

#include "media/wda.h"

namespace pavalo {
namespace {

struct Sounds : AboutSounds {
    std::vector<std::string> calls;
    void playIntro() override { calls.push_back("intro"); }
    void startLoop() override { calls.push_back("loop"); }
    void stop() override { calls.push_back("stop"); }
};

// The about picture after drawing animation frames in the given order onto
// the background, as the about box would.
std::vector<uint8_t> drawnInOrder(const std::vector<int32_t>& frames) {
    WdaAnimation first, second, background;
    EXPECT_EQ(first.loadResource(193), 1);
    EXPECT_EQ(second.loadResource(194), 1);
    EXPECT_EQ(background.loadResource(326), 1);
    DrawSurface s;
    EXPECT_TRUE(s.create(328, 372, 8));
    background.drawFrame(s, 0, 0, 0);
    for (int32_t f : frames) (f < 122 ? first.drawFrame(s, f, 4, 4) : second.drawFrame(s, f - 122, 4, 4));
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < s.height(); ++y) out.insert(out.end(), s.row(y), s.row(y) + s.width());
    return out;
}

std::vector<uint8_t> pixels(DrawSurface& s) {
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < s.height(); ++y) out.insert(out.end(), s.row(y), s.row(y) + s.width());
    return out;
}

TEST(ProgramAnimations, ResourcesHaveTheirSizesAndFrames) {
    struct Want {
        uint32_t id;
        int32_t frames, width, height;
    };
    for (Want w : {Want{193, 122, 160, 120}, Want{194, 123, 160, 120}, Want{326, 1, 328, 372}, Want{181, 24, 112, 112},
                   Want{182, 24, 112, 112}, Want{183, 24, 112, 112}, Want{184, 24, 112, 112}, Want{185, 24, 112, 112},
                   Want{186, 24, 112, 112}}) {
        WdaAnimation a;
        ASSERT_EQ(a.loadResource(w.id), 1) << w.id;
        EXPECT_FALSE(a.ownsData());
        EXPECT_EQ(a.frameCount(), w.frames) << w.id;
        EXPECT_EQ(a.width(), w.width) << w.id;
        EXPECT_EQ(a.height(), w.height) << w.id;
        EXPECT_EQ(a.originalPixelFormat(), kWdaIndexed8);
        for (int32_t f = 0; f < a.frameCount(); ++f) EXPECT_EQ(a.frameSize(f), (WdaFrameSize{w.width, w.height}));
    }
    // The about box's three pictures share one palette.
    WdaAnimation a, b, c;
    a.loadResource(193), b.loadResource(194), c.loadResource(326);
    EXPECT_TRUE(std::equal(a.palette().begin(), a.palette().end(), b.palette().begin()));
    EXPECT_TRUE(std::equal(a.palette().begin(), a.palette().end(), c.palette().begin()));
}

TEST(AboutAnimationTest, FrameNumbersLoopTheLast27Frames) {
    EXPECT_EQ(AboutAnimation::animationFrame(0), 0);
    EXPECT_EQ(AboutAnimation::animationFrame(217), 217);
    EXPECT_EQ(AboutAnimation::animationFrame(218), 218);
    EXPECT_EQ(AboutAnimation::animationFrame(244), 244);
    EXPECT_EQ(AboutAnimation::animationFrame(245), 218);
    EXPECT_EQ(AboutAnimation::animationFrame(271), 244);
    EXPECT_EQ(AboutAnimation::animationFrame(272), 218);
}

TEST(AboutAnimationTest, TimingDrawsEveryDueFrameInOrder) {
    Sounds sounds;
    AboutAnimation about;
    const uint32_t t0 = 0xFFFFF000u;  // the clock wraps while it runs
    ASSERT_TRUE(about.open(t0, &sounds));
    EXPECT_EQ(sounds.calls, (std::vector<std::string>{"intro", "loop"}));
    EXPECT_EQ(about.surface().width(), 328);
    EXPECT_EQ(about.surface().depth(), 8);
    EXPECT_EQ(about.animationRect(), (Rect{4, 4, 164, 124}));
    EXPECT_EQ(pixels(about.surface()), drawnInOrder({0}));

    // Nothing before the start 667 ms after opening, then a frame every 67 ms.
    EXPECT_TRUE(about.tick(t0 + 600).empty());
    EXPECT_TRUE(about.tick(t0 + 667 + 66).empty());
    EXPECT_EQ(about.tick(t0 + 667 + 67), (Rect{4, 4, 164, 124}));
    EXPECT_EQ(about.lastDrawn(), 1);
    // A late tick draws all the frames it missed.
    EXPECT_FALSE(about.tick(t0 + 667 + 67 * 30).empty());
    EXPECT_EQ(about.lastDrawn(), 30);
    std::vector<int32_t> order;
    for (int32_t n = 0; n <= 30; ++n) order.push_back(n);
    EXPECT_EQ(pixels(about.surface()), drawnInOrder(order));
    about.close();
    EXPECT_EQ(sounds.calls.back(), "stop");
}

TEST(AboutAnimationTest, TheLoopIsSeamlessAndLongPausesCatchUp) {
    AboutAnimation about;
    ASSERT_TRUE(about.open(0));
    // Frame number 245 shows frame 218 again: the picture equals the one of
    // frame number 218 drawn straight after 217.
    about.tick(667 + 67 * 245);
    std::vector<int32_t> direct;
    for (int32_t n = 0; n <= 218; ++n) direct.push_back(n);
    EXPECT_EQ(pixels(about.surface()), drawnInOrder(direct));
    // An hour later, at the same place in the loop, the same picture again.
    about.tick(667 + 67 * (245 + 27 * 53728));
    EXPECT_EQ(pixels(about.surface()), drawnInOrder(direct));
    EXPECT_EQ(AboutAnimation::animationFrame(about.lastDrawn()), 218);
}

}  // namespace
}  // namespace pavalo
