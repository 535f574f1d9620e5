// The process-wide display mode list and the depth queries answered from it.
#include "surface/display_modes.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace pavalo {
namespace {

struct ModeState {
    std::mutex mutex;
    std::vector<DisplayMode> modes = defaultDisplayModes(1920, 1080);
    bool has565Cached = false;
};

ModeState& state() {
    static ModeState s;
    return s;
}

}  // namespace

std::vector<DisplayMode> defaultDisplayModes(int32_t screenWidth, int32_t screenHeight) {
    return {
        {screenWidth, screenHeight, 8, 0},
        {screenWidth, screenHeight, 16, 0xF800},
        {screenWidth, screenHeight, 24, 0xFF0000},
        {screenWidth, screenHeight, 32, 0xFF0000},
    };
}

void setDisplayModes(std::vector<DisplayMode> modes) {
    ModeState& s = state();
    std::lock_guard lock(s.mutex);
    s.modes = std::move(modes);
    s.has565Cached = false;
}

std::vector<DisplayMode> displayModes() {
    ModeState& s = state();
    std::lock_guard lock(s.mutex);
    return s.modes;
}

int32_t bestDisplayDepth(int32_t width, int32_t height, int32_t maxDepth) {
    if (maxDepth == 32) maxDepth = 24;
    ModeState& s = state();
    std::lock_guard lock(s.mutex);
    int32_t best = -1;
    for (const DisplayMode& m : s.modes) {
        if (m.width >= width && m.height >= height && m.depth <= maxDepth) best = std::max(best, m.depth);
    }
    return best;
}

bool has565Mode() {
    ModeState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.has565Cached) {
        s.has565Cached = std::any_of(s.modes.begin(), s.modes.end(), [](const DisplayMode& m) {
            return m.depth == 16 && m.redMask == 0xF800;
        });
    }
    return s.has565Cached;
}

std::optional<DisplayMode> findDisplayMode(int32_t width, int32_t height, int32_t depth) {
    ModeState& s = state();
    std::lock_guard lock(s.mutex);
    for (const DisplayMode& m : s.modes) {
        if (m.width == width && m.height == height && m.depth == depth) return m;
    }
    return std::nullopt;
}

}  // namespace pavalo
