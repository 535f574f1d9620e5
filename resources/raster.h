// A small software painter for the asset generators: true-colour canvases,
// anti-aliased shapes from signed distances (discs, capsules, rounded boxes,
// convex polygons, jigsaw pieces), a stroke font for capitals and digits,
// and a median-cut quantiser that turns frames into one 256-colour palette.
// Everything is deterministic: the same program draws the same bytes.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace gen {

struct Rgb {
    float r = 0, g = 0, b = 0;
};
inline Rgb mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
inline Rgb rgb(int r, int g, int b) { return {float(r), float(g), float(b)}; }
inline Rgb scale(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }

struct Point {
    float x = 0, y = 0;
};

// Signed distance helpers: negative inside.
inline float sdCircle(float x, float y, float cx, float cy, float r) { return std::hypot(x - cx, y - cy) - r; }
inline float sdSegment(float x, float y, Point a, Point b) {
    const float bax = b.x - a.x, bay = b.y - a.y, pax = x - a.x, pay = y - a.y;
    const float len = bax * bax + bay * bay;
    const float h = len > 0 ? std::clamp((pax * bax + pay * bay) / len, 0.0f, 1.0f) : 0.0f;
    return std::hypot(pax - bax * h, pay - bay * h);
}
inline float sdBox(float x, float y, float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - radius;
}

// A jigsaw piece on the square (x0, y0)-(x0 + size, y0 + size): each side
// 0 top, 1 right, 2 bottom, 3 left has a knob (+1), a hole (-1) or is flat.
struct PieceShape {
    float x0 = 0, y0 = 0, size = 10;
    std::array<int, 4> sides{1, -1, 1, -1};
    float distance(float x, float y) const {
        const float s = size, r = s * 0.15f, out = s * 0.12f, neck = s * 0.085f;
        float d = sdBox(x, y, x0, y0, x0 + s, y0 + s, 0);
        const float cx = x0 + s / 2, cy = y0 + s / 2;
        // Per side: the knob's centre outside the edge, the hole's inside, and
        // the neck joining a knob to the square (or cut into it for a hole).
        const Point outside[4] = {{cx, y0 - out}, {x0 + s + out, cy}, {cx, y0 + s + out}, {x0 - out, cy}};
        const Point inside[4] = {{cx, y0 + out}, {x0 + s - out, cy}, {cx, y0 + s - out}, {x0 + out, cy}};
        for (int i = 0; i < 4; ++i) {
            const int side = sides[size_t(i)];
            if (side == 0) continue;
            const Point c = side > 0 ? outside[i] : inside[i];
            const bool vertical = i == 0 || i == 2;
            const float edge = i == 0 ? y0 : i == 1 ? x0 + s : i == 2 ? y0 + s : x0;
            const float neckBox = vertical
                                      ? sdBox(x, y, cx - neck, std::min(edge, c.y), cx + neck, std::max(edge, c.y), 0)
                                      : sdBox(x, y, std::min(edge, c.x), cy - neck, std::max(edge, c.x), cy + neck, 0);
            const float knob = std::min(sdCircle(x, y, c.x, c.y, r), neckBox);
            d = side > 0 ? std::min(d, knob) : std::max(d, -knob);
        }
        return d;
    }
};

// Stroke glyphs on a 4 x 6 grid (y down): strokes separated by '|', points
// by spaces.
inline const char* glyphStrokes(char c) {
    switch (c) {
        case 'A':
            return "0,6 2,0 4,6|0.7,4 3.3,4";
        case 'B':
            return "0,3 3,3 4,4 4,5 3,6 0,6 0,0 3,0 3.8,0.8 3.8,2.2 3,3";
        case 'C':
            return "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5";
        case 'D':
            return "0,0 0,6 2.5,6 4,4.5 4,1.5 2.5,0 0,0";
        case 'E':
            return "4,0 0,0 0,6 4,6|0,3 3,3";
        case 'F':
            return "4,0 0,0 0,6|0,3 3,3";
        case 'G':
            return "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.5 2.2,3.5";
        case 'H':
            return "0,0 0,6|4,0 4,6|0,3 4,3";
        case 'I':
            return "1,0 3,0|2,0 2,6|1,6 3,6";
        case 'J':
            return "4,0 4,5 3,6 1,6 0,5";
        case 'K':
            return "0,0 0,6|4,0 0,3.5|1.3,2.6 4,6";
        case 'L':
            return "0,0 0,6 4,6";
        case 'M':
            return "0,6 0,0 2,3.5 4,0 4,6";
        case 'N':
            return "0,6 0,0 4,6 4,0";
        case 'O':
            return "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0";
        case 'P':
            return "0,6 0,0 3,0 4,1 4,2 3,3 0,3";
        case 'Q':
            return "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0|2.5,4.5 4,6.3";
        case 'R':
            return "0,6 0,0 3,0 4,1 4,2 3,3 0,3|2,3 4,6";
        case 'S':
            return "4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5";
        case 'T':
            return "0,0 4,0|2,0 2,6";
        case 'U':
            return "0,0 0,5 1,6 3,6 4,5 4,0";
        case 'V':
            return "0,0 2,6 4,0";
        case 'W':
            return "0,0 1,6 2,2.5 3,6 4,0";
        case 'X':
            return "0,0 4,6|4,0 0,6";
        case 'Y':
            return "0,0 2,3 4,0|2,3 2,6";
        case 'Z':
            return "0,0 4,0 0,6 4,6";
        case '0':
            return "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0";
        case '1':
            return "1,1 2,0 2,6|1,6 3,6";
        case '2':
            return "0,1 1,0 3,0 4,1 4,2 0,6 4,6";
        case '3':
            return "0,1 1,0 3,0 4,1 4,2 3,3 1.5,3|3,3 4,4 4,5 3,6 1,6 0,5";
        case '4':
            return "3,6 3,0 0,4 4,4";
        case '5':
            return "4,0 0,0 0,3 3,3 4,4 4,5 3,6 1,6 0,5";
        case '6':
            return "3.5,0 1,0 0,1 0,5 1,6 3,6 4,5 4,4 3,3 0,3";
        case '7':
            return "0,0 4,0 1.5,6";
        case '8':
            return "1,3 0,2 0,1 1,0 3,0 4,1 4,2 3,3 1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3";
        case '9':
            return "4,3 1,3 0,2 0,1 1,0 3,0 4,1 4,5 3,6 0.5,6";
        case '.':
            return "2,5.9 2,6";
        case ',':
            return "2,5.6 1.5,6.8";
        case '-':
            return "1,3.5 3,3.5";
        case '!':
            return "2,0 2,4|2,5.9 2,6";
        case '?':
            return "0,1 1,0 3,0 4,1 4,2 2,3.5 2,4.2|2,5.9 2,6";
        case ':':
            return "2,1.9 2,2|2,5.9 2,6";
        case '/':
            return "0,6 4,0";
        case '\'':
            return "2,0 2,1.5";
        case '(':
            return "2.5,0 1.5,1.5 1.5,4.5 2.5,6";
        case ')':
            return "1.5,0 2.5,1.5 2.5,4.5 1.5,6";
        default:
            return "";
    }
}

inline std::vector<std::vector<Point>> parseStrokes(const char* glyph) {
    std::vector<std::vector<Point>> strokes(1);
    std::string_view s(glyph);
    while (!s.empty()) {
        if (s[0] == '|') {
            strokes.emplace_back();
            s.remove_prefix(1);
            continue;
        }
        if (s[0] == ' ') {
            s.remove_prefix(1);
            continue;
        }
        const size_t end = s.find_first_of(" |");
        const std::string token(s.substr(0, end));
        const size_t comma = token.find(',');
        strokes.back().push_back({std::stof(token.substr(0, comma)), std::stof(token.substr(comma + 1))});
        s.remove_prefix(end == std::string_view::npos ? s.size() : end);
    }
    return strokes;
}

class Canvas {
public:
    Canvas(int width, int height, Rgb fill = {}) : w(width), h(height), px(size_t(width) * size_t(height), fill) {}

    int w, h;
    std::vector<Rgb> px;

    Rgb& at(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
    Rgb at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }

    // Paints every pixel of the box whose centre lies inside the shape
    // (distance < 0), blending by coverage estimated from the distance.
    // `colour` may depend on the position.
    void shade(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& distance,
               const std::function<Rgb(float, float)>& colour, float alpha = 1.0f) {
        const int ix0 = std::max(0, int(std::floor(x0)) - 1), iy0 = std::max(0, int(std::floor(y0)) - 1);
        const int ix1 = std::min(w, int(std::ceil(x1)) + 1), iy1 = std::min(h, int(std::ceil(y1)) + 1);
        for (int y = iy0; y < iy1; ++y)
            for (int x = ix0; x < ix1; ++x) {
                const float cx = float(x) + 0.5f, cy = float(y) + 0.5f;
                const float cover = std::clamp(0.5f - distance(cx, cy), 0.0f, 1.0f) * alpha;
                if (cover <= 0) continue;
                Rgb& p = at(x, y);
                p = mix(p, colour(cx, cy), cover);
            }
    }
    void fillShape(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& distance,
                   Rgb colour, float alpha = 1.0f) {
        shade(
            x0, y0, x1, y1, distance, [&](float, float) { return colour; }, alpha);
    }

    void disc(float cx, float cy, float r, Rgb c, float alpha = 1.0f) {
        fillShape(
            cx - r, cy - r, cx + r, cy + r, [&](float x, float y) { return sdCircle(x, y, cx, cy, r); }, c, alpha);
    }
    void ring(float cx, float cy, float r, float width, Rgb c, float alpha = 1.0f) {
        const float o = r + width;
        fillShape(
            cx - o, cy - o, cx + o, cy + o,
            [&](float x, float y) { return std::fabs(sdCircle(x, y, cx, cy, r)) - width / 2; }, c, alpha);
    }
    void line(Point a, Point b, float width, Rgb c, float alpha = 1.0f) {
        const float r = width / 2;
        fillShape(
            std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r, std::max(a.y, b.y) + r,
            [&](float x, float y) { return sdSegment(x, y, a, b) - r; }, c, alpha);
    }
    void polyline(const std::vector<Point>& pts, float width, Rgb c, float alpha = 1.0f) {
        if (pts.empty()) return;
        const float r = width / 2;
        float x0 = pts[0].x, y0 = pts[0].y, x1 = x0, y1 = y0;
        for (const Point& p : pts) {
            x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
        }
        fillShape(
            x0 - r, y0 - r, x1 + r, y1 + r,
            [&](float x, float y) {
                float d = 1e9f;
                for (size_t i = 0; i + 1 < pts.size(); ++i) d = std::min(d, sdSegment(x, y, pts[i], pts[i + 1]));
                if (pts.size() == 1) d = std::hypot(x - pts[0].x, y - pts[0].y);
                return d - r;
            },
            c, alpha);
    }
    void box(float x0, float y0, float x1, float y1, float radius, Rgb c, float alpha = 1.0f) {
        fillShape(
            x0, y0, x1, y1, [&](float x, float y) { return sdBox(x, y, x0, y0, x1, y1, radius); }, c, alpha);
    }
    // A convex polygon (points in either order).
    void convex(const std::vector<Point>& pts, Rgb c, float alpha = 1.0f) {
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (const Point& p : pts) {
            x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
        }
        float area = 0;
        for (size_t i = 0; i < pts.size(); ++i) {
            const Point& a = pts[i];
            const Point& b = pts[(i + 1) % pts.size()];
            area += a.x * b.y - b.x * a.y;
        }
        const float sign = area >= 0 ? 1.0f : -1.0f;
        fillShape(
            x0, y0, x1, y1,
            [&](float x, float y) {
                float d = -1e9f;
                for (size_t i = 0; i < pts.size(); ++i) {
                    const Point& a = pts[i];
                    const Point& b = pts[(i + 1) % pts.size()];
                    const float ex = b.x - a.x, ey = b.y - a.y, len = std::hypot(ex, ey);
                    if (len <= 0) continue;
                    d = std::max(d, sign * ((x - a.x) * ey - (y - a.y) * ex) / len);
                }
                return d;
            },
            c, alpha);
    }
    void piece(const PieceShape& p, const std::function<Rgb(float, float)>& colour, float alpha = 1.0f) {
        const float m = p.size * 0.35f;
        shade(
            p.x0 - m, p.y0 - m, p.x0 + p.size + m, p.y0 + p.size + m,
            [&](float x, float y) { return p.distance(x, y); }, colour, alpha);
    }
    // The outline band of a piece, `width` wide, centred on its edge.
    void pieceOutline(const PieceShape& p, float width, Rgb c, float alpha = 1.0f) {
        const float m = p.size * 0.35f + width;
        fillShape(
            p.x0 - m, p.y0 - m, p.x0 + p.size + m, p.y0 + p.size + m,
            [&](float x, float y) { return std::fabs(p.distance(x, y)) - width / 2; }, c, alpha);
    }
    void vgradient(int y0, int y1, Rgb top, Rgb bottom) {
        for (int y = std::max(0, y0); y < std::min(h, y1); ++y) {
            const Rgb c = mix(top, bottom, y1 - y0 > 1 ? float(y - y0) / float(y1 - y0 - 1) : 0.0f);
            for (int x = 0; x < w; ++x) at(x, y) = c;
        }
    }

    // Text in the stroke font: capitals `size` pixels high from the top-left
    // (x, y); returns the width drawn.
    float text(std::string_view s, float x, float y, float size, float weight, Rgb c, float alpha = 1.0f) {
        const float unit = size / 6.0f;
        float pen = x;
        for (char ch : s) {
            if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
            if (ch == ' ') {
                pen += 3.2f * unit;
                continue;
            }
            for (auto& stroke : parseStrokes(glyphStrokes(ch))) {
                for (Point& p : stroke) p = {pen + p.x * unit, y + p.y * unit};
                polyline(stroke, weight, c, alpha);
            }
            pen += 5.6f * unit;
        }
        return pen - x - 1.6f * unit;
    }
    static float textWidth(std::string_view s, float size) {
        const float unit = size / 6.0f;
        float pen = 0;
        for (char ch : s) pen += ch == ' ' ? 3.2f * unit : 5.6f * unit;
        return std::max(0.0f, pen - 1.6f * unit);
    }
};

// A 256-colour palette for a set of true-colour canvases by median cut over
// their colours (15 bits), and each canvas mapped to its indices.
class Quantizer {
public:
    void add(const Canvas& c) {
        for (const Rgb& p : c.px) ++histogram_[key(p)];
    }
    // Colours that must be in the palette exactly (placed first).
    void reserve(Rgb c) { reserved_.push_back(c); }

    // Builds the palette: 768 bytes (red, green, blue).
    std::vector<uint8_t> build(int colours = 256) {
        struct Box {
            std::vector<std::pair<uint16_t, uint32_t>> entries;
        };
        std::vector<Box> boxes(1);
        for (size_t k = 0; k < histogram_.size(); ++k)
            if (histogram_[k]) boxes[0].entries.push_back({uint16_t(k), histogram_[k]});
        const int wanted = colours - int(reserved_.size());
        auto channel = [](uint16_t k, int ch) { return (k >> (10 - 5 * ch)) & 31; };
        while (int(boxes.size()) < wanted) {
            // Split the box with the widest weighted channel range.
            int best = -1, bestChannel = 0;
            double bestScore = 0;
            for (size_t b = 0; b < boxes.size(); ++b) {
                if (boxes[b].entries.size() < 2) continue;
                for (int ch = 0; ch < 3; ++ch) {
                    int lo = 31, hi = 0;
                    uint64_t count = 0;
                    for (auto& e : boxes[b].entries) {
                        lo = std::min(lo, channel(e.first, ch)), hi = std::max(hi, channel(e.first, ch));
                        count += e.second;
                    }
                    const double score = double(hi - lo) * std::sqrt(double(count));
                    if (score > bestScore) bestScore = score, best = int(b), bestChannel = ch;
                }
            }
            if (best < 0) break;
            auto& entries = boxes[size_t(best)].entries;
            std::sort(entries.begin(), entries.end(), [&](auto& a, auto& b) {
                return channel(a.first, bestChannel) < channel(b.first, bestChannel) ||
                       (channel(a.first, bestChannel) == channel(b.first, bestChannel) && a.first < b.first);
            });
            uint64_t total = 0, half = 0;
            for (auto& e : entries) total += e.second;
            size_t cut = 0;
            while (cut + 1 < entries.size() && half + entries[cut].second < total / 2) half += entries[cut++].second;
            cut = std::max<size_t>(cut, 1);
            Box right;
            right.entries.assign(entries.begin() + ptrdiff_t(cut), entries.end());
            entries.resize(cut);
            boxes.push_back(std::move(right));
        }
        palette_.clear();
        for (const Rgb& c : reserved_) palette_.push_back(c);
        for (auto& b : boxes) {
            double r = 0, g = 0, bl = 0, n = 0;
            for (auto& e : b.entries) {
                r += double(channel(e.first, 0) * 8 + 4) * e.second;
                g += double(channel(e.first, 1) * 8 + 4) * e.second;
                bl += double(channel(e.first, 2) * 8 + 4) * e.second;
                n += e.second;
            }
            if (n > 0) palette_.push_back({float(r / n), float(g / n), float(bl / n)});
        }
        while (int(palette_.size()) < colours) palette_.push_back({});
        lookup_.assign(32768, -1);
        std::vector<uint8_t> out;
        for (int i = 0; i < 256; ++i) {
            const Rgb c = i < int(palette_.size()) ? palette_[size_t(i)] : Rgb{};
            out.push_back(clampByte(c.r));
            out.push_back(clampByte(c.g));
            out.push_back(clampByte(c.b));
        }
        bytes_ = out;
        return out;
    }

    // The palette built last: 768 bytes (red, green, blue).
    const std::vector<uint8_t>& palette() const { return bytes_; }

    // The canvas as palette indices, top row first. With `dither`, a fixed
    // 4 x 4 ordered pattern of +-`dither` levels breaks up the bands of smooth
    // gradients; being tied to the position, it leaves unchanged pixels
    // unchanged from frame to frame.
    std::vector<uint8_t> map(const Canvas& c, float dither = 0) {
        static constexpr int kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
        std::vector<uint8_t> out(c.px.size());
        for (size_t i = 0; i < c.px.size(); ++i) {
            Rgb p = c.px[i];
            if (dither > 0) {
                const int x = int(i % size_t(c.w)), y = int(i / size_t(c.w));
                const float d = (float(kBayer[(y & 3) * 4 + (x & 3)]) / 15.0f - 0.5f) * 2 * dither;
                p = {p.r + d, p.g + d, p.b + d};
            }
            out[i] = index(p);
        }
        return out;
    }
    uint8_t index(Rgb p) {
        const uint16_t k = key(p);
        if (lookup_[k] < 0) {
            const int r = clampByte(p.r), g = clampByte(p.g), b = clampByte(p.b);
            int best = 0;
            long bestD = 1L << 40;
            for (int i = 0; i < 256; ++i) {
                const long dr = r - bytes_[3 * size_t(i)], dg = g - bytes_[3 * size_t(i) + 1],
                           db = b - bytes_[3 * size_t(i) + 2];
                const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                if (d < bestD) bestD = d, best = i;
            }
            lookup_[k] = best;
        }
        return uint8_t(lookup_[k]);
    }

    static uint8_t clampByte(float v) { return uint8_t(std::clamp(int(std::lround(v)), 0, 255)); }

private:
    static uint16_t key(Rgb p) {
        return uint16_t((clampByte(p.r) >> 3) << 10 | (clampByte(p.g) >> 3) << 5 | (clampByte(p.b) >> 3));
    }
    std::vector<uint32_t> histogram_ = std::vector<uint32_t>(32768, 0);
    std::vector<Rgb> reserved_;
    std::vector<Rgb> palette_;
    std::vector<uint8_t> bytes_;
    std::vector<int> lookup_;
};

}  // namespace gen
