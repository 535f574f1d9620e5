// Integer points and rectangles in play-area or window pixels.
#pragma once

#include <algorithm>
#include <cstdint>

namespace pavalo {

struct Point {
    int32_t x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// Left and top inclusive, right and bottom exclusive. A rectangle with
// right <= left or bottom <= top is empty.
struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool intersects(const Rect& o) const {
        return !empty() && !o.empty() && left < o.right && o.left < right && top < o.bottom &&
               o.top < bottom;
    }
    // Smallest rectangle holding both; an empty operand adds nothing.
    Rect united(const Rect& o) const {
        if (o.empty()) return *this;
        if (empty()) return o;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    void unite(const Rect& o) { *this = united(o); }
    Rect offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const Rect&) const = default;
};

}  // namespace pavalo
