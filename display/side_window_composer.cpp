// The side windows' composition: sorting boxes into the back buffer, the
// overview's map and the preview's scaled picture into their own surfaces.
#include "display/side_window_composer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "common/named_mutex.h"

namespace pavalo {
namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }

// A 24-bit surface of the given size, made again only when it is not one.
bool ensure24(DrawSurface& out, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return false;
    if (out.hasPixels() && out.depth() == 24 && out.width() == width && out.height() == height) return true;
    return out.create(width, height, 24);
}

// The edges of `r` (right and bottom exclusive), each clipped to the surface.
void outline(DrawSurface& s, const Rect& r, uint32_t colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    s.hLine(r.left, r.top, r.width(), colour);
    s.hLine(r.left, r.bottom - 1, r.width(), colour);
    s.vLine(r.left, r.top, r.height(), colour);
    s.vLine(r.right - 1, r.top, r.height(), colour);
}

// The band's four edges (right and bottom inclusive), only where they cross
// `area`. A band no wider (or taller) than nothing still gets its two other
// edges, one pixel apart.
void bandInside(DrawSurface& s, const Rect& band, const Rect& area, uint32_t colour) {
    const int32_t l = std::min(band.left, band.right), t = std::min(band.top, band.bottom);
    const int32_t r = std::max(band.left, band.right) - 1, b = std::max(band.top, band.bottom) - 1;
    auto h = [&](int32_t y) {
        if (y < area.top || y >= area.bottom) return;
        const int32_t a = std::max(l, area.left), e = std::min(r, area.right - 1);
        if (a <= e) s.hLine(a, y, e - a + 1, colour);
    };
    auto v = [&](int32_t x) {
        if (x < area.left || x >= area.right) return;
        const int32_t a = std::max(t, area.top), e = std::min(b, area.bottom - 1);
        if (a <= e) s.vLine(x, a, e - a + 1, colour);
    };
    h(t);
    h(b);
    v(l);
    v(r);
}

// One channel of a packed pixel widened to 8 bits by repeating its top bits.
uint8_t channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    int bits = 0;
    while ((mask >> (shift + bits)) & 1) ++bits;
    uint32_t c = (value & mask) >> shift;
    if (bits >= 8) return uint8_t(c >> (bits - 8));
    uint32_t wide = 0;
    for (int filled = 0; filled < 8; filled += bits) wide = (wide << bits) | c;
    const int total = ((8 + bits - 1) / bits) * bits;
    return uint8_t(wide >> (total - 8));
}

// Turns a picture's rows into 8-bit R, G, B triples.
class RowReader {
public:
    explicit RowReader(const DrawSurface& picture) : picture_(picture) {
        const PixelFormat& f = picture.format();
        if (f.indexed) {
            PaletteTable pal;
            if (picture.getPaletteEntries(pal)) {
                for (size_t i = 0; i < 256; ++i) lookup_[i] = rgb(pal[i].red, pal[i].green, pal[i].blue);
            } else {
                // The grey ramp a surface without a palette is shown with.
                for (uint32_t i = 0; i < 256; ++i) lookup_[i] = rgb(i, i, i);
            }
        } else if (f.depth == 16) {
            // Every 16-bit value once, rather than its channels at every pixel.
            wide_.resize(65536);
            for (uint32_t v = 0; v < 65536; ++v)
                wide_[v] = rgb(channel(v, f.redMask), channel(v, f.greenMask), channel(v, f.blueMask));
        }
    }

    void read(int32_t y, uint8_t* out) const {
        const uint8_t* p = picture_.row(y);
        const int32_t w = picture_.width();
        auto put = [&out](uint32_t c) {
            *out++ = uint8_t(c >> 16);
            *out++ = uint8_t(c >> 8);
            *out++ = uint8_t(c);
        };
        switch (picture_.depth()) {
            case 8:
                for (int32_t x = 0; x < w; ++x) put(lookup_[p[x]]);
                break;
            case 16:
                for (int32_t x = 0; x < w; ++x) put(wide_[uint32_t(p[2 * x]) | uint32_t(p[2 * x + 1]) << 8]);
                break;
            default: {
                // 24 and 32 bits: blue, green, red in the low three bytes.
                const int32_t step = picture_.depth() / 8;
                for (int32_t x = 0; x < w; ++x, p += step) {
                    *out++ = p[2];
                    *out++ = p[1];
                    *out++ = p[0];
                }
            }
        }
    }

private:
    const DrawSurface& picture_;
    std::array<uint32_t, 256> lookup_{};
    std::vector<uint32_t> wide_;
};

}  // namespace

// ------------------------------------------------------------ sorting box

Presentation composeSortingBox(Compositor& compositor, const PuzzleModel& model, DrawSurface* picture,
                               const BoxRequest& request) {
    Presentation out;
    const RendererState& st = compositor.state();
    DrawSurface& back = compositor.backBuffer();
    if (!back.hasPixels() || st.displayState != DisplayState::Playing || !model.hasPuzzle()) return out;
    const int32_t z = std::clamp(request.zoomShift, 0, 3);
    Rect area = windowToPlay(widenClipBox(request.clipBox, z), request.origin.x, request.origin.y, z);
    {
        // The model before the surfaces, as the view's update does.
        NamedLock lock(NamedMutex::PIECE);
        back.rectFill(st.backgroundColour, &area);  // clips `area` to the back buffer
        if (area.empty()) return out;
        uint8_t* target = back.lock();
        const uint8_t* source = picture ? picture->lock() : nullptr;
        if (target && (!picture || source)) {
            // Pieces are clipped to `area`; how far they reach is not shown.
            Rect drawn = area;
            compositor.renderer.drawAllOutlinesAndPieces(model, request.list, drawn, back, picture);
        }
        back.unlock();
        if (picture) picture->unlock();
        if (request.band) bandInside(back, *request.band, area, st.selectionRectColour);
    }
    out.present = true;
    out.source = area;
    out.dest = playToWindow(area, request.origin.x, request.origin.y, z);
    out.zoomShift = z;
    return out;
}

// --------------------------------------------------------------- overview

OverviewPalette OverviewPalette::forBackground(uint32_t chosen) {
    const bool allOnes = chosen == 0xFFFFFFFFu;
    const uint32_t r = allOnes ? 255 : chosen & 0xFF;
    const uint32_t g = allOnes ? 255 : (chosen >> 8) & 0xFF;
    const uint32_t b = allOnes ? 255 : (chosen >> 16) & 0xFF;
    // HSL lightness, halves rounded up.
    const uint32_t lightness = (std::max({r, g, b}) + std::min({r, g, b}) + 1) / 2;
    OverviewPalette p{};
    p.background = rgb(r, g, b);
    p.ink = lightness > 128 ? rgb(0, 0, 0) : rgb(255, 255, 255);
    p.finished = rgb(120, 160, 220);
    p.pictureFrame = rgb(128, 128, 128);
    p.viewFrame = rgb(255, 210, 0);
    return p;
}

OverviewMap overviewMapFor(const PuzzleModel& model, int32_t clientWidth) {
    const int32_t columns = std::max(model.columns(), 1);
    return OverviewMap(columns, std::max(model.rows(), 1), OverviewMap::cellForWidth(clientWidth, columns));
}

bool composeOverview(DrawSurface& out, int32_t clientWidth, int32_t clientHeight, const PuzzleModel& model,
                     uint32_t chosenBackground, int32_t viewZoom) {
    if (!ensure24(out, clientWidth, clientHeight)) return false;
    const OverviewPalette colours = OverviewPalette::forBackground(chosenBackground);
    out.rectFill(colours.background);
    if (!model.hasPuzzle()) return true;
    const OverviewMap map = overviewMapFor(model, clientWidth);
    outline(out, map.pictureFrame(), colours.pictureFrame);
    // A mark leaves a one-pixel gap to the next cell when the cells allow it.
    const int32_t s = map.cell();
    const int32_t markW = s >= 3 ? s - 1 : 1;
    const int32_t markH = s >= 3 ? s - 1 : s;
    PuzzleGeometry geometry;
    {
        NamedLock lock(NamedMutex::PIECE);
        geometry = model.geometry();
        for (ListId list : {ListId::Finished, ListId::Main}) {
            const uint32_t colour = list == ListId::Main ? colours.ink : colours.finished;
            model.forEachGroup(list, [&](int32_t group) {
                model.forEachMember(group, [&](int32_t piece) {
                    const Point p = map.markOf(model, piece);
                    Rect mark{p.x, p.y, p.x + markW, p.y + markH};
                    out.rectFill(colour, &mark);
                });
            });
        }
    }
    outline(out, map.viewFrame(geometry, viewZoom), colours.viewFrame);
    return true;
}

// ---------------------------------------------------------------- preview

bool composePreview(DrawSurface& out, int32_t clientWidth, int32_t clientHeight, const DrawSurface* picture) {
    if (!ensure24(out, clientWidth, clientHeight)) return false;
    if (!picture || !picture->hasPixels() || picture->depth() < 8) {
        out.rectFill(0);
        return true;
    }
    const int32_t sw = picture->width(), sh = picture->height();
    const int32_t w = clientWidth, h = clientHeight;
    // Output column x covers picture columns [first[x], last[x]); at least
    // one, so an enlarged picture repeats its pixels.
    std::vector<int32_t> first(static_cast<size_t>(w)), last(static_cast<size_t>(w));
    for (int32_t x = 0; x < w; ++x) {
        first[size_t(x)] = int32_t(int64_t(x) * sw / w);
        last[size_t(x)] = std::max(int32_t(int64_t(x + 1) * sw / w), first[size_t(x)] + 1);
    }
    const RowReader reader(*picture);
    std::vector<uint8_t> row(size_t(sw) * 3);
    std::vector<uint64_t> sums(size_t(w) * 3);
    int32_t readRow = -1;
    for (int32_t y = 0; y < h; ++y) {
        const int32_t top = int32_t(int64_t(y) * sh / h);
        const int32_t bottom = std::max(int32_t(int64_t(y + 1) * sh / h), top + 1);
        std::fill(sums.begin(), sums.end(), 0);
        for (int32_t sy = top; sy < bottom; ++sy) {
            if (sy != readRow) reader.read(sy, row.data());
            readRow = sy;
            for (int32_t x = 0; x < w; ++x) {
                uint64_t* sum = &sums[size_t(x) * 3];
                for (int32_t sx = first[size_t(x)]; sx < last[size_t(x)]; ++sx) {
                    const uint8_t* p = &row[size_t(sx) * 3];
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
        }
        // 24-bit rows hold blue, green, red.
        uint8_t* dst = out.row(y);
        for (int32_t x = 0; x < w; ++x) {
            const uint64_t n = uint64_t(bottom - top) * uint64_t(last[size_t(x)] - first[size_t(x)]);
            const uint64_t* sum = &sums[size_t(x) * 3];
            dst[3 * x + 2] = uint8_t((sum[0] + n / 2) / n);
            dst[3 * x + 1] = uint8_t((sum[1] + n / 2) / n);
            dst[3 * x + 0] = uint8_t((sum[2] + n / 2) / n);
        }
    }
    return true;
}

}  // namespace pavalo
