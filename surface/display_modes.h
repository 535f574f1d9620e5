// The virtual display's list of display modes and the depth queries on it.
//
// The modes stand in for what a graphics card offers. By default the list is
// 8, 16 (5-6-5), 24 and 32 bits at the screen size; the front end sets the
// screen size, tests install other lists to reach the 8-bit-only and 5-5-5
// paths. The list is process-wide and meant to be set from the user-interface
// thread before surfaces are made.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace pavalo {

struct DisplayMode {
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;     // 8, 16, 24 or 32
    uint32_t redMask = 0;  // 16-bit modes: 0xF800 (5-6-5) or 0x7C00 (5-5-5)
    bool operator==(const DisplayMode&) const = default;
};

// The default list at a screen size: 8, 16 in 5-6-5, 24 and 32 bits.
std::vector<DisplayMode> defaultDisplayModes(int32_t screenWidth, int32_t screenHeight);

// Replaces the list (and forgets the cached Has565Mode answer). Until this is
// called the list is defaultDisplayModes(1920, 1080).
void setDisplayModes(std::vector<DisplayMode> modes);
std::vector<DisplayMode> displayModes();

// The greatest depth among the modes at least width x height that is not
// above maxDepth (a maxDepth of 32 counts as 24); -1 when no mode counts.
int32_t bestDisplayDepth(int32_t width, int32_t height, int32_t maxDepth);

// True when some 16-bit mode has the red mask 0xF800. A true answer is cached
// until the list is replaced.
bool has565Mode();

// The first mode of exactly this size and depth (16 matches either layout).
std::optional<DisplayMode> findDisplayMode(int32_t width, int32_t height, int32_t depth);

}  // namespace pavalo
