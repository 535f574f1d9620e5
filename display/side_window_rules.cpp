// Side-window rules: open set and Hide, box placement, scroll bars, preview
// size and the overview map.
#include "display/side_window_rules.h"

#include <algorithm>

#include "common/named_mutex.h"

namespace pavalo {
namespace {

// Floor division: map cells of negative picture positions lie left of the
// picture, not on its first column.
int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// One axis of boxScrollBars: v0..v1 visible, c0..c1 the grown contents.
ScrollAxis scrollAxis(int32_t v0, int32_t v1, int32_t& c0, int32_t& c1, int32_t& shift) {
    const int32_t vLength = v1 - v0, cLength = c1 - c0;
    if (cLength <= vLength) {
        if (c0 < v0 || c1 > v1) {
            shift = v0 - c0;
            c0 += shift;
            c1 += shift;
        }
        return {};
    }
    // Wider than the visible area: the range covers the contents, and the
    // position is where the visible area starts over them. A visible area
    // starting before or after the contents widens the range to include it,
    // so that the thumb shows where the box looks and scrolling never jumps.
    ScrollAxis a;
    a.minimum = std::min(c0, v0);
    a.maximum = std::max(c0 + (cLength - vLength), v0);
    a.position = v0;
    return a;
}

}  // namespace

// ---------------------------------------------------------- open windows

void SideWindowSet::closed(SideWindow w, bool byPlayer) {
    open_[size_t(w)] = false;
    if (byPlayer) remembered_[size_t(w)] = false;
}

void SideWindowSet::forgetAll() {
    open_.fill(false);
    remembered_.fill(false);
    hidden_ = false;
}

void SideWindowSet::endHide() {
    remembered_.fill(false);
    hidden_ = false;
}

std::vector<SideWindow> SideWindowSet::hide() {
    std::vector<SideWindow> closing;
    if (hidden_) return closing;
    hidden_ = true;
    for (int i = 0; i < kSideWindowCount; ++i) {
        remembered_[size_t(i)] = open_[size_t(i)];
        if (open_[size_t(i)]) closing.push_back(SideWindow(i));
    }
    return closing;
}

std::vector<SideWindow> SideWindowSet::restore() {
    std::vector<SideWindow> opening;
    if (!hidden_) return opening;
    hidden_ = false;
    for (int i = 0; i < kSideWindowCount; ++i) {
        if (remembered_[size_t(i)] && !open_[size_t(i)]) opening.push_back(SideWindow(i));
        remembered_[size_t(i)] = false;
    }
    return opening;
}

// --------------------------------------------------------- placing boxes

Rect keepBoxOnScreen(const Rect& w, int32_t screenWidth, int32_t screenHeight) {
    int32_t dx = 0, dy = 0;
    if (w.left > screenWidth - kOnScreenMargin)
        dx = -kOnScreenMargin;
    else if (w.right < kOnScreenMargin)
        dx = kOnScreenMargin;
    if (w.top < 0)
        dy = -w.top;
    else if (w.top > screenHeight - kOnScreenMargin)
        dy = -kOnScreenMargin;
    Rect r = w;
    r = r.offset(dx, dy);
    // A single step of 30 may not be enough after a fast drag; the window is
    // pulled back until the rule holds, as repeated corrections would.
    while (r.left > screenWidth - kOnScreenMargin && r.right > 0) r = r.offset(-kOnScreenMargin, 0);
    while (r.right < kOnScreenMargin && r.left < screenWidth) r = r.offset(kOnScreenMargin, 0);
    while (r.top > screenHeight - kOnScreenMargin && r.bottom > 0) r = r.offset(0, -kOnScreenMargin);
    return r;
}

Rect keepWithinScreen(const Rect& w, int32_t screenWidth, int32_t screenHeight) {
    Rect r = w;
    if (r.right > screenWidth) r = r.offset(screenWidth - r.right, 0);
    if (r.bottom > screenHeight) r = r.offset(0, screenHeight - r.bottom);
    if (r.left < 0) r = r.offset(-r.left, 0);
    if (r.top < 0) r = r.offset(0, -r.top);
    return r;
}

Point BoxPlacement::moved(const Rect& now) {
    const Point offset{now.left - saved_.left, now.top - saved_.top};
    saved_ = now;
    sizing_ = false;
    return offset;
}

Point BoxPlacement::sizing(const Rect& now, int zoom) {
    if (!sizing_) {
        sizing_ = true;
        sizingStart_ = saved_;
        applied_ = {};
    }
    const int32_t factor = 1 << std::clamp(zoom, 0, 3);
    const int32_t dx = now.left - sizingStart_.left, dy = now.top - sizingStart_.top;
    // The whole shift since the sizing began; what was applied before is
    // taken back by returning only the difference.
    const Point total{dx - dx / factor, dy - dy / factor};
    const Point step{total.x - applied_.x, total.y - applied_.y};
    applied_ = total;
    return step;
}

void BoxPlacement::sizingEnded(const Rect& final) {
    saved_ = final;
    sizing_ = false;
}

void BoxPlacement::place(const Rect& window) {
    saved_ = window;
    sizing_ = false;
}

// ------------------------------------------------------- box scroll bars

BoxScrollBars boxScrollBars(const Rect& visible, const Rect& pieces) {
    BoxScrollBars bars;
    if (pieces.empty()) return bars;
    int32_t cl = pieces.left - kBoxContentMargin, cr = pieces.right + kBoxContentMargin;
    int32_t ct = pieces.top - kBoxContentMargin, cb = pieces.bottom + kBoxContentMargin;
    bars.horizontal = scrollAxis(visible.left, visible.right, cl, cr, bars.shift.x);
    bars.vertical = scrollAxis(visible.top, visible.bottom, ct, cb, bars.shift.y);
    return bars;
}

int32_t scrollTarget(const ScrollAxis& a, ScrollAction action, int32_t trackValue) {
    int32_t p = a.position;
    switch (action) {
        case ScrollAction::LineBack: p -= kBoxLineStep; break;
        case ScrollAction::LineForward: p += kBoxLineStep; break;
        case ScrollAction::PageBack: p -= kBoxPageStep; break;
        case ScrollAction::PageForward: p += kBoxPageStep; break;
        case ScrollAction::First: p = a.minimum; break;
        case ScrollAction::Last: p = a.maximum; break;
        case ScrollAction::Track: p = trackValue; break;
    }
    return std::clamp(p, a.minimum, std::max(a.minimum, a.maximum));
}

// -------------------------------------------------------------- preview

Point previewClientSize(Point proposed, SizingEdge edge, int32_t pictureWidth, int32_t pictureHeight,
                        Point frameExtra, Point maxWindow, Point minWindow) {
    if (pictureWidth <= 0 || pictureHeight <= 0) return proposed;
    const int64_t pw = pictureWidth, ph = pictureHeight;
    const bool heightDecides = edge == SizingEdge::Top || edge == SizingEdge::Bottom;
    int64_t w = proposed.x, h = proposed.y;
    if (heightDecides)
        w = h * pw / ph;
    else
        h = w * ph / pw;
    // Limits on the client: the screen, then the smallest window.
    const int64_t maxW = std::max<int64_t>(1, maxWindow.x - frameExtra.x);
    const int64_t maxH = std::max<int64_t>(1, maxWindow.y - frameExtra.y);
    if (w > maxW) {
        w = maxW;
        h = w * ph / pw;
    }
    if (h > maxH) {
        h = maxH;
        w = h * pw / ph;
    }
    const int64_t minW = std::max<int64_t>(1, minWindow.x - frameExtra.x);
    const int64_t minH = std::max<int64_t>(1, minWindow.y - frameExtra.y);
    if (w < minW) {
        w = minW;
        h = w * ph / pw;
    }
    if (h < minH) {
        h = minH;
        w = h * pw / ph;
    }
    return {int32_t(w), int32_t(h)};
}

// -------------------------------------------------------------- overview

OverviewMap::OverviewMap(int32_t columns, int32_t rows, int32_t cell)
    : columns_(std::max(columns, 1)), rows_(std::max(rows, 1)), cell_(std::max(cell, 1)) {}

int32_t OverviewMap::cellForWidth(int32_t clientWidth, int32_t columns) {
    return std::max(1, clientWidth / (3 * std::max(columns, 1)));
}

int32_t OverviewMap::defaultCell(int32_t columns) { return std::max(1, 240 / (3 * std::max(columns, 1))); }

Point OverviewMap::newClientSize() const { return {width() + 5, height() + 5}; }

Rect OverviewMap::pictureFrame() const {
    return {columns_ * cell_, rows_ * cell_, 2 * columns_ * cell_, 2 * rows_ * cell_};
}

int32_t OverviewMap::mapX(int64_t pictureX, int32_t pictureWidth) const {
    const int64_t span = int64_t(columns_) * cell_;
    return int32_t(span + floorDiv(pictureX * span, std::max(pictureWidth, 1)));
}

int32_t OverviewMap::mapY(int64_t pictureY, int32_t pictureHeight) const {
    const int64_t span = int64_t(rows_) * cell_;
    return int32_t(span + floorDiv(pictureY * span, std::max(pictureHeight, 1)));
}

Point OverviewMap::markOf(const PuzzleModel& model, int32_t piece) const {
    const PuzzleGeometry& g = model.geometry();
    const Piece& p = model.piece(piece);
    const int64_t cx = model.toPictureX(p.x + p.drawnWidth() / 2);
    const int64_t cy = model.toPictureY(p.y + p.drawnHeight() / 2);
    const int64_t col = floorDiv(cx * columns_, std::max(g.pictureWidth, 1));
    const int64_t row = floorDiv(cy * rows_, std::max(g.pictureHeight, 1));
    const int64_t mapCol = std::clamp<int64_t>(col + columns_, 0, 3 * columns_ - 1);
    const int64_t mapRow = std::clamp<int64_t>(row + rows_, 0, 3 * rows_ - 1);
    return {int32_t(mapCol * cell_), int32_t(mapRow * cell_)};
}

Rect OverviewMap::viewFrame(const PuzzleGeometry& g, int32_t zoom) const {
    const int32_t z = std::clamp(zoom, 0, 3);
    // The picture's top-left on the play area; the view always shows the
    // play area from (0, 0) (scrolling moves the pieces), or zoomed out the
    // play area around its centre.
    const int32_t left = g.playWidth / 2 - g.pictureWidth / 2 + g.offsetX;
    const int32_t top = g.playHeight / 2 - g.pictureHeight / 2 + g.offsetY;
    int64_t x0 = 0, y0 = 0, x1 = g.playWidth >> z, y1 = g.playHeight >> z;
    if (zoom < -1) {
        const int64_t d = -int64_t(zoom);
        x0 = g.playWidth / 2 - (g.playWidth / 2) * d;
        y0 = g.playHeight / 2 - (g.playHeight / 2) * d;
        x1 = x0 + g.playWidth * d;
        y1 = y0 + g.playHeight * d;
    }
    return {mapX(x0 - left, g.pictureWidth), mapY(y0 - top, g.pictureHeight), mapX(x1 - left, g.pictureWidth),
            mapY(y1 - top, g.pictureHeight)};
}

Point OverviewMap::scrollFor(Point click, const PuzzleGeometry& g, int32_t zoom) const {
    const Rect frame = viewFrame(g, zoom);
    const int64_t offX = int64_t(click.x) - (frame.left + frame.right) / 2;
    const int64_t offY = int64_t(click.y) - (frame.top + frame.bottom) / 2;
    // Map pixels to play-area pixels: the map's three pictures over its size.
    const int64_t spanX = int64_t(columns_) * cell_, spanY = int64_t(rows_) * cell_;
    return {int32_t(offX * g.pictureWidth / spanX), int32_t(offY * g.pictureHeight / spanY)};
}

}  // namespace pavalo
