// Build tool: paints the sample pictures that ship as default puzzle content.
// Usage: pavalo-gen-samples OUTDIR
// Writes OUTDIR/sunset-harbour.jpg (800x600 JPEG), OUTDIR/balloons.bmp
// (640x480, 24-bit) and OUTDIR/stained-glass.bmp (640x480, 8-bit palette).
// Pictures well below the screen's size leave room around them for the
// scattered pieces; the first two are painted larger and scaled down.
//
// Everything is drawn procedurally from fixed seeds, so the pictures are the
// same on every build. A good puzzle picture has distinct regions, edges and
// gradients everywhere and no large flat areas, so every scene layers several
// motifs over textured backgrounds.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "media/bmp.h"
#include "media/jpeg_writer.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// ---------------------------------------------------------------- colour --

struct Rgb {
    float r = 0, g = 0, b = 0;
};

Rgb rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }
Rgb mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb scale(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Rgb add(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

float clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
float smoothstep(float e0, float e1, float x) {
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
uint8_t toByte(float v) { return uint8_t(clamp01(v) * 255.0f + 0.5f); }

// Piecewise-linear gradient through (position, colour) stops.
Rgb gradient(const std::vector<std::pair<float, Rgb>>& stops, float t) {
    if (t <= stops.front().first) return stops.front().second;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].first) {
            float u = (t - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
            return mix(stops[i - 1].second, stops[i].second, u);
        }
    }
    return stops.back().second;
}

// ----------------------------------------------------------------- noise --

uint32_t hash3(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

float hashUnit(int x, int y, uint32_t seed) { return float(hash3(x, y, seed) >> 8) / float(1u << 24); }

// Smoothly interpolated lattice noise in [0, 1).
float valueNoise(float x, float y, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    float a = hashUnit(ix, iy, seed), b = hashUnit(ix + 1, iy, seed);
    float c = hashUnit(ix, iy + 1, seed), d = hashUnit(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Fractal sum of octaves, normalised to about [0, 1).
float fbm(float x, float y, int octaves, uint32_t seed) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * valueNoise(x, y, seed + uint32_t(o) * 101u);
        norm += amp;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f + 9.7f;
        amp *= 0.5f;
    }
    return sum / norm;
}

// Small deterministic generator for layout choices.
class Rng {
public:
    explicit Rng(uint32_t seed) : state_(seed) {}
    float unit() {
        state_ = state_ * 1664525u + 1013904223u;
        return float(state_ >> 8) / float(1u << 24);
    }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
    int below(int n) { return std::min(n - 1, int(unit() * float(n))); }

private:
    uint32_t state_;
};

// ---------------------------------------------------------------- canvas --

struct Canvas {
    int width, height;
    std::vector<Rgb> px;

    Canvas(int w, int h) : width(w), height(h), px(size_t(w) * size_t(h)) {}

    Rgb& at(int x, int y) { return px[size_t(y) * size_t(width) + size_t(x)]; }
    void blend(int x, int y, Rgb c, float alpha) {
        if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
        Rgb& p = at(x, y);
        p = mix(p, c, std::min(alpha, 1.0f));
    }

    // Sets every pixel from a function of its centre.
    void fill(const std::function<Rgb(float, float)>& paint) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) at(x, y) = paint(x + 0.5f, y + 0.5f);
    }

    // Paints the region where inside(x, y) holds, anti-aliased by 4x4
    // sampling; the colour comes from paint() at the pixel centre.
    void shape(float x0, float y0, float x1, float y1, const std::function<bool(float, float)>& inside,
               const std::function<Rgb(float, float)>& paint, float alpha = 1.0f) {
        int ix0 = std::max(0, int(std::floor(x0))), iy0 = std::max(0, int(std::floor(y0)));
        int ix1 = std::min(width - 1, int(std::ceil(x1))), iy1 = std::min(height - 1, int(std::ceil(y1)));
        for (int y = iy0; y <= iy1; ++y) {
            for (int x = ix0; x <= ix1; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4);
                if (hits) blend(x, y, paint(x + 0.5f, y + 0.5f), alpha * float(hits) / 16.0f);
            }
        }
    }

    void disc(float cx, float cy, float r, Rgb c, float alpha = 1.0f) {
        shape(
            cx - r, cy - r, cx + r, cy + r,
            [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; },
            [=](float, float) { return c; }, alpha);
    }

    void ellipse(float cx, float cy, float rx, float ry, Rgb c, float alpha = 1.0f) {
        shape(
            cx - rx, cy - ry, cx + rx, cy + ry,
            [=](float x, float y) {
                float u = (x - cx) / rx, v = (y - cy) / ry;
                return u * u + v * v <= 1;
            },
            [=](float, float) { return c; }, alpha);
    }

    // A thick line segment with round ends.
    void line(float xa, float ya, float xb, float yb, float width, Rgb c, float alpha = 1.0f) {
        float half = width / 2;
        float dx = xb - xa, dy = yb - ya, len2 = std::max(dx * dx + dy * dy, 1e-6f);
        shape(
            std::min(xa, xb) - half, std::min(ya, yb) - half, std::max(xa, xb) + half, std::max(ya, yb) + half,
            [=](float x, float y) {
                float t = std::clamp(((x - xa) * dx + (y - ya) * dy) / len2, 0.0f, 1.0f);
                float ex = x - (xa + t * dx), ey = y - (ya + t * dy);
                return ex * ex + ey * ey <= half * half;
            },
            [=](float, float) { return c; }, alpha);
    }
};

struct Pt {
    float x, y;
};

// Even-odd point-in-polygon test.
bool insidePolygon(const std::vector<Pt>& poly, float x, float y) {
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Pt& a = poly[i];
        const Pt& b = poly[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

void polygon(Canvas& c, const std::vector<Pt>& poly, const std::function<Rgb(float, float)>& paint,
             float alpha = 1.0f) {
    float x0 = poly[0].x, x1 = x0, y0 = poly[0].y, y1 = y0;
    for (const Pt& p : poly) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    c.shape(x0, y0, x1, y1, [&](float x, float y) { return insidePolygon(poly, x, y); }, paint, alpha);
}

void polygon(Canvas& c, const std::vector<Pt>& poly, Rgb colour, float alpha = 1.0f) {
    polygon(c, poly, [=](float, float) { return colour; }, alpha);
}

// ---------------------------------------------------------------- output --

// Reports a file that could not be written.
bool written(bool ok, const std::string& path) {
    if (!ok) std::fprintf(stderr, "pavalo-gen-samples: cannot write %s\n", path.c_str());
    return ok;
}

// Area-averaging reduction to width x height (no larger than the source).
Canvas downscale(const Canvas& src, int width, int height) {
    Canvas out(width, height);
    const float sx = float(src.width) / width, sy = float(src.height) / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
            Rgb sum;
            float weight = 0;
            for (int v = int(y0); v < int(std::ceil(y1)) && v < src.height; ++v) {
                const float wy = std::min(y1, v + 1.0f) - std::max(y0, float(v));
                for (int u = int(x0); u < int(std::ceil(x1)) && u < src.width; ++u) {
                    const float w = wy * (std::min(x1, u + 1.0f) - std::max(x0, float(u)));
                    sum = add(sum, scale(src.px[size_t(v) * size_t(src.width) + size_t(u)], w));
                    weight += w;
                }
            }
            out.at(x, y) = scale(sum, 1.0f / weight);
        }
    }
    return out;
}

bool writeBmp24(const std::string& path, const Canvas& c) {
    pavalo::DrawSurface surface;
    if (!surface.create(c.width, c.height, 24)) return written(false, path);
    for (int y = 0; y < c.height; ++y) {
        uint8_t* row = surface.row(y);
        for (int x = 0; x < c.width; ++x) {
            const Rgb& p = c.px[size_t(y) * size_t(c.width) + size_t(x)];
            row[size_t(x) * 3] = toByte(p.b);
            row[size_t(x) * 3 + 1] = toByte(p.g);
            row[size_t(x) * 3 + 2] = toByte(p.r);
        }
    }
    return written(pavalo::saveBmp(surface, path), path);
}

bool writeBmp8(const std::string& path, int width, int height, const std::vector<uint8_t>& indices,
               const std::array<Rgb, 256>& palette) {
    pavalo::DrawSurface surface;
    if (!surface.create(width, height, 8)) return written(false, path);
    pavalo::PaletteTable table{};
    for (size_t i = 0; i < palette.size(); ++i)
        table[i] = {toByte(palette[i].r), toByte(palette[i].g), toByte(palette[i].b), 0};
    surface.setPaletteEntries(table, true);
    for (int y = 0; y < height; ++y)
        std::copy_n(indices.begin() + std::ptrdiff_t(y) * width, width, surface.row(y));
    return written(pavalo::saveBmp(surface, path), path);
}

bool writeJpeg(const std::string& path, const Canvas& c, int quality) {
    std::vector<uint8_t> rgb(size_t(c.width) * size_t(c.height) * 3);
    for (size_t i = 0; i < c.px.size(); ++i) {
        rgb[i * 3] = toByte(c.px[i].r);
        rgb[i * 3 + 1] = toByte(c.px[i].g);
        rgb[i * 3 + 2] = toByte(c.px[i].b);
    }
    return written(pavalo::saveJpeg(path, c.width, c.height, 3, rgb, quality), path);
}

// ------------------------------------------------------- sunset harbour --

// A harbour at sunset: banded sky with lit clouds and a low sun, a headland
// with a lighthouse, a quay of coloured houses, sailing and moored boats, and
// a sea that breaks the sun's reflection into glitter.
Canvas paintSunsetHarbour() {
    const int W = 1024, H = 768;
    const float horizon = 430;
    const float sunX = 600, sunY = 378, sunR = 46;
    Canvas c(W, H);

    const std::vector<std::pair<float, Rgb>> sky = {
        {0.0f, rgb(34, 28, 84)},   {0.3f, rgb(92, 48, 120)},   {0.55f, rgb(178, 72, 112)},
        {0.75f, rgb(236, 114, 86)}, {0.9f, rgb(250, 168, 84)}, {1.0f, rgb(255, 208, 128)},
    };
    c.fill([&](float x, float y) {
        if (y < horizon) {
            Rgb col = gradient(sky, y / horizon);
            // Glow around the sun, strongest near the horizon.
            float d = std::hypot(x - sunX, (y - sunY) * 1.4f);
            col = add(col, scale(rgb(255, 170, 90), 0.55f * std::exp(-d / 170.0f)));
            // Clouds: long horizontal streaks, thicker higher up, lit pink
            // and gold from below, dark violet on top.
            float n = fbm(x / 230.0f, y / 26.0f, 5, 11);
            float band = smoothstep(horizon, horizon * 0.45f, y);
            float density = smoothstep(0.5f, 0.68f, n) * (0.35f + 0.65f * band);
            if (density > 0) {
                float lit = clamp01(fbm(x / 120.0f, (y + 6) / 14.0f, 3, 12) * 1.4f - 0.2f);
                Rgb under = mix(rgb(255, 140, 120), rgb(255, 206, 140), smoothstep(220, 400, y));
                Rgb cloud = mix(rgb(70, 42, 96), under, lit * (0.5f + 0.5f * (1 - band * 0.6f)));
                cloud = add(cloud, scale(rgb(255, 190, 110), 0.5f * std::exp(-std::hypot(x - sunX, y - sunY) / 140.0f)));
                col = mix(col, cloud, density);
            }
            return col;
        }
        // Sea: perspective waves, finer towards the horizon.
        float p = (y - horizon) / (H - horizon);
        Rgb base = gradient({{0.0f, rgb(214, 120, 104)}, {0.15f, rgb(120, 64, 108)}, {0.5f, rgb(52, 40, 96)},
                             {1.0f, rgb(18, 24, 60)}},
                            p);
        float wave = fbm(x / (18.0f + 160.0f * p), (y - horizon) / (1.5f + 14.0f * p), 4, 21);
        Rgb col = scale(base, 0.78f + 0.45f * wave);
        // The sky's colours mirrored in the wave crests.
        float crest = smoothstep(0.55f, 0.8f, wave);
        col = mix(col, scale(gradient(sky, clamp01(1 - p * 1.6f)), 0.75f), crest * 0.5f);
        // Foreground ripples: long thin highlights and troughs.
        float ripple = fbm(x / (30.0f + 260.0f * p), (y - horizon) / (1.2f + 7.0f * p), 3, 22);
        col = mix(col, rgb(236, 140, 150), smoothstep(0.6f, 0.72f, ripple) * 0.45f * p);
        col = scale(col, 1.0f - smoothstep(0.38f, 0.25f, ripple) * 0.3f * p);
        // Sun glitter: a widening column of broken bright strokes.
        float half = 18.0f + 190.0f * p;
        float across = std::fabs(x - sunX) / half;
        if (across < 1) {
            float glitter = smoothstep(0.52f - 0.25f * (1 - across), 0.78f, wave) * (1 - across * across);
            col = mix(col, rgb(255, 226, 150), glitter * (1 - 0.55f * p));
        }
        return col;
    });

    // The sun, its lower edge just above the horizon, with a brighter core.
    c.disc(sunX, sunY, sunR, rgb(255, 226, 150));
    c.disc(sunX - 6, sunY - 6, sunR * 0.7f, rgb(255, 242, 196), 0.6f);

    // Headland on the left: two ridges of hills, the nearer darker.
    auto ridge = [&](float x, float base, float height, uint32_t seed) {
        float fall = smoothstep(560, 280, x);  // the land ends in the sea
        return base - fall * height * (0.55f + 0.6f * fbm(x / 160.0f, 0.5f, 4, seed));
    };
    c.shape(
        0, 300, 600, horizon + 2, [&](float x, float y) { return y > ridge(x, horizon + 1, 110, 31); },
        [&](float x, float y) {
            return mix(rgb(104, 52, 98), rgb(140, 70, 104), fbm(x / 40.0f, y / 40.0f, 3, 32) * 0.8f);
        });
    c.shape(
        0, 330, 420, horizon + 2, [&](float x, float y) { return y > ridge(x * 1.35f, horizon + 1, 80, 33); },
        [&](float x, float y) {
            float tex = fbm(x / 14.0f, y / 14.0f, 3, 34);
            return mix(rgb(52, 30, 60), rgb(84, 46, 76), tex);
        });
    // Lighthouse on the point, white with red bands, its lamp lit.
    const float lhX = 260, lhBase = ridge(260 * 1.35f, horizon + 1, 80, 33) + 6, lhTop = lhBase - 92;
    polygon(
        c, {{lhX - 13, lhBase}, {lhX + 13, lhBase}, {lhX + 8, lhTop}, {lhX - 8, lhTop}},
        [&](float x, float y) {
            int band = int((lhBase - y) / 18.0f);
            Rgb col = band % 2 ? rgb(196, 60, 60) : rgb(236, 214, 200);
            return scale(col, 0.65f + 0.45f * clamp01((x - lhX + 13) / 26.0f));  // lit from the sun side
        });
    c.line(lhX - 12, lhTop, lhX + 12, lhTop, 4, rgb(40, 30, 40));
    c.disc(lhX, lhTop - 8, 7, rgb(255, 240, 170));
    polygon(c, {{lhX - 10, lhTop - 14}, {lhX + 10, lhTop - 14}, {lhX, lhTop - 26}}, rgb(50, 34, 50));

    // Quay on the right: a stone wall with houses on top.
    const float quayTop = 520, quayLeft = 690;
    Rng rng(77);
    const std::array<Rgb, 6> walls = {rgb(214, 150, 86), rgb(190, 84, 64), rgb(120, 150, 176),
                                      rgb(226, 204, 160), rgb(150, 170, 110), rgb(204, 120, 140)};
    float hx = quayLeft + 6;
    int houseIndex = 0;
    while (hx < W) {
        float hw = rng.range(52, 78), hh = rng.range(60, 110), roof = rng.range(26, 40);
        Rgb wall = walls[size_t(houseIndex++ % int(walls.size()))];
        float left = hx, right = std::min(hx + hw, float(W + 30)), top = quayTop - hh;
        // Walls lit from the left (the sun), with plaster texture.
        polygon(c, {{left, quayTop}, {right, quayTop}, {right, top}, {left, top}}, [=](float x, float y) {
            float tex = fbm(x / 6.0f, y / 6.0f, 3, 41);
            float light = 0.95f - 0.35f * (x - left) / (right - left);
            return scale(wall, light * (0.85f + 0.3f * tex));
        });
        Rgb roofCol = rng.unit() < 0.5f ? rgb(150, 60, 44) : rgb(70, 60, 80);
        polygon(c, {{left - 5, top}, {right + 5, top}, {(left + right) / 2, top - roof}},
                [=](float x, float y) {
                    float tiles = std::fmod(y, 6.0f) < 1.2f ? 0.7f : 1.0f;
                    return scale(roofCol, tiles * (1.05f - 0.3f * (x - left) / (right - left)));
                });
        // Windows in rows, most of them lit.
        for (float wy = top + 14; wy < quayTop - 26; wy += 28) {
            for (float wx = left + 10; wx + 12 < right - 6; wx += 22) {
                bool lit = rng.unit() < 0.7f;
                polygon(c, {{wx, wy}, {wx + 12, wy}, {wx + 12, wy + 16}, {wx, wy + 16}},
                        lit ? rgb(255, 214, 110) : rgb(50, 44, 60));
                c.line(wx + 6, wy, wx + 6, wy + 16, 1.2f, rgb(60, 40, 40));
            }
        }
        float door = (left + right) / 2 + rng.range(-10, 6);
        polygon(c, {{door, quayTop}, {door + 13, quayTop}, {door + 13, quayTop - 24}, {door, quayTop - 24}},
                rgb(84, 48, 40));
        hx = right;
    }
    // Stone quay wall down to the water, and its broken reflection.
    polygon(c, {{quayLeft - 20, quayTop}, {float(W), quayTop}, {float(W), 560}, {quayLeft - 20, 560}},
            [=](float x, float y) {
                float row = std::floor((y - quayTop) / 10.0f);
                float block = hashUnit(int(std::floor((x + row * 13) / 26.0f)), int(row), 51);
                bool mortar = std::fmod(y - quayTop, 10.0f) < 1.2f;
                return mortar ? rgb(60, 44, 50) : mix(rgb(110, 84, 86), rgb(150, 116, 104), block);
            });
    c.shape(
        quayLeft - 20, 560, W, 640, [](float, float y) { return y < 640; },
        [&](float x, float y) {
            float wobble = fbm(x / 30.0f, y / 3.0f, 3, 52);
            return scale(rgb(70, 46, 70), 0.7f + 0.5f * wobble);
        },
        0.55f);
    // Bollards and a ladder on the quay.
    for (float bx = quayLeft; bx < W; bx += 90) {
        polygon(c, {{bx, quayTop - 10}, {bx + 8, quayTop - 10}, {bx + 8, quayTop}, {bx, quayTop}}, rgb(40, 30, 36));
        c.disc(bx + 4, quayTop - 10, 5, rgb(40, 30, 36));
    }
    c.line(quayLeft + 40, quayTop, quayLeft + 40, 560, 2, rgb(50, 36, 40));
    c.line(quayLeft + 52, quayTop, quayLeft + 52, 560, 2, rgb(50, 36, 40));
    for (float ry = quayTop + 6; ry < 560; ry += 8) c.line(quayLeft + 40, ry, quayLeft + 52, ry, 1.5f, rgb(50, 36, 40));

    // Boats. Sailing boats: hull, mast, two sails lit by the sun, and a
    // reflection broken by the waves.
    struct Sail {
        float x, waterline, size;
        Rgb sail;
    };
    const Sail sailboats[] = {
        {150, 470, 1.0f, rgb(255, 226, 200)},
        {470, 448, 0.55f, rgb(250, 200, 170)},
        {604, 437, 0.3f, rgb(255, 214, 180)},
        {380, 600, 1.5f, rgb(240, 236, 226)},
    };
    for (const Sail& s : sailboats) {
        float k = s.size, x = s.x, w = s.waterline;
        std::vector<Pt> hull = {{x - 60 * k, w - 14 * k}, {x + 66 * k, w - 14 * k}, {x + 46 * k, w}, {x - 46 * k, w}};
        // Reflection first, so the boat is drawn over its upper edge.
        c.shape(
            x - 60 * k, w, x + 66 * k, w + 130 * k,
            [&](float px, float py) {
                float shift = (fbm(px / 25.0f, py / 3.0f, 2, 61) - 0.5f) * 14 * k;
                float my = 2 * w - py;
                return insidePolygon(hull, px + shift, my) ||
                       insidePolygon({{x - 2 * k, w - 14 * k}, {x + 2 * k, w - 14 * k}, {x + 2 * k, w - 130 * k},
                                      {x - 2 * k, w - 130 * k}},
                                     px + shift, my) ||
                       insidePolygon({{x + 4 * k, w - 22 * k}, {x + 56 * k, w - 22 * k}, {x + 4 * k, w - 124 * k}},
                                     px + shift, my);
            },
            [&](float, float) { return rgb(40, 28, 56); }, 0.45f);
        polygon(c, hull, [&](float px, float) {
            return mix(rgb(30, 24, 40), rgb(120, 56, 60), clamp01((px - x + 60 * k) / (126 * k)) * 0.6f);
        });
        c.line(x, w - 14 * k, x, w - 132 * k, 3.5f * k, rgb(46, 34, 44));
        polygon(c, {{x + 4 * k, w - 22 * k}, {x + 58 * k, w - 22 * k}, {x + 4 * k, w - 126 * k}},
                [&](float px, float py) {
                    float shade = 0.75f + 0.3f * clamp01((py - (w - 126 * k)) / (104 * k));
                    return scale(s.sail, shade * (0.9f + 0.1f * std::sin(px * 0.3f)));
                });
        polygon(c, {{x - 4 * k, w - 26 * k}, {x - 44 * k, w - 26 * k}, {x - 4 * k, w - 104 * k}},
                [&](float, float py) {
                    return scale(s.sail, 0.6f + 0.25f * clamp01((py - (w - 104 * k)) / (78 * k)));
                });
    }
    // Moored fishing boats by the quay: coloured hulls, cabins, masts.
    const Rgb hulls[] = {rgb(196, 52, 48), rgb(40, 90, 160), rgb(232, 196, 70)};
    for (int i = 0; i < 3; ++i) {
        float x = 640 + i * 120.0f, w = 600 + i * 14.0f, k = 1.0f + i * 0.1f;
        std::vector<Pt> hull = {{x - 52 * k, w - 20 * k}, {x + 58 * k, w - 24 * k}, {x + 40 * k, w}, {x - 40 * k, w}};
        c.shape(
            x - 52 * k, w, x + 58 * k, w + 36 * k,
            [&](float px, float py) {
                float shift = (fbm(px / 20.0f, py / 2.5f, 2, 70 + uint32_t(i)) - 0.5f) * 10;
                return insidePolygon(hull, px + shift, 2 * w - py);
            },
            [&](float, float) { return scale(hulls[i], 0.45f); }, 0.6f);
        polygon(c, hull, [&](float px, float) { return scale(hulls[i], 1.0f - 0.4f * clamp01((px - x + 52 * k) / (110 * k))); });
        c.line(x - 52 * k, w - 20 * k, x + 58 * k, w - 24 * k, 3, rgb(240, 230, 210));
        polygon(c, {{x - 18 * k, w - 21 * k}, {x + 16 * k, w - 22 * k}, {x + 14 * k, w - 44 * k}, {x - 16 * k, w - 44 * k}},
                rgb(230, 220, 200));
        polygon(c, {{x - 12 * k, w - 36 * k}, {x + 8 * k, w - 36 * k}, {x + 8 * k, w - 28 * k}, {x - 12 * k, w - 28 * k}},
                rgb(255, 210, 120));
        c.line(x + 26 * k, w - 22 * k, x + 26 * k, w - 90 * k, 2.5f, rgb(50, 36, 44));
        c.line(x + 26 * k, w - 88 * k, x + 70 * k, w - 40 * k, 1, rgb(50, 36, 44));
    }
    // Rocks in the left foreground, lit on their sun side, wet at the foot.
    struct Rock {
        float x, y, rx, ry;
    };
    const Rock rocks[] = {{40, 740, 110, 70}, {170, 760, 90, 50}, {-10, 690, 70, 60},
                          {250, 770, 60, 30}, {110, 700, 50, 34}};
    for (const Rock& r : rocks) {
        c.shape(
            r.x - r.rx, r.y - r.ry, r.x + r.rx, r.y + r.ry,
            [&](float x, float y) {
                float u = (x - r.x) / r.rx, v = (y - r.y) / r.ry;
                float bumpy = 1 + 0.18f * (fbm(x / 25.0f, y / 25.0f, 3, 81) - 0.5f);
                return u * u + v * v <= bumpy * bumpy;
            },
            [&](float x, float y) {
                float u = (x - r.x) / r.rx, v = (y - r.y) / r.ry;
                float light = clamp01(0.35f + 0.6f * (u * 0.7f - v * 0.7f));
                float tex = fbm(x / 7.0f, y / 7.0f, 4, 82);
                Rgb stone = mix(rgb(40, 30, 46), rgb(150, 96, 96), light);
                stone = scale(stone, 0.75f + 0.5f * tex);
                if (v > 0.35f) stone = mix(stone, rgb(40, 60, 50), smoothstep(0.35f, 0.8f, v) * 0.6f);  // weed
                return stone;
            });
    }
    // Mooring buoys.
    const Pt buoys[] = {{300, 660}, {520, 560}, {560, 700}, {930, 690}};
    for (const Pt& b : buoys) {
        float k = b.y / 600.0f;
        c.ellipse(b.x, b.y + 4 * k, 14 * k, 4 * k, rgb(40, 30, 60), 0.5f);
        c.disc(b.x, b.y - 4 * k, 10 * k, rgb(220, 50, 40));
        c.line(b.x - 10 * k, b.y - 5 * k, b.x + 10 * k, b.y - 5 * k, 4 * k, rgb(240, 230, 220));
        c.disc(b.x - 3 * k, b.y - 9 * k, 3 * k, rgb(255, 200, 170), 0.7f);
    }
    // Gulls.
    for (int i = 0; i < 9; ++i) {
        float gx = rng.range(80, 940), gy = rng.range(60, 300), gs = rng.range(5, 11);
        c.line(gx - gs, gy - gs * 0.4f, gx, gy, 1.6f, rgb(40, 26, 50));
        c.line(gx, gy, gx + gs, gy - gs * 0.5f, 1.6f, rgb(40, 26, 50));
    }
    return c;
}

// -------------------------------------------------------------- balloons --

// Hot-air balloons of many striped colours over rolling farmland.
Canvas paintBalloons() {
    const int W = 800, H = 600;
    Canvas c(W, H);
    c.fill([&](float x, float y) {
        Rgb col = gradient({{0.0f, rgb(46, 104, 196)}, {0.6f, rgb(120, 176, 232)}, {1.0f, rgb(204, 228, 244)}},
                           y / 420.0f);
        // Fair-weather clouds: puffy, white on top, grey underneath.
        float n = fbm(x / 150.0f, y / 70.0f, 5, 101);
        float density = smoothstep(0.55f, 0.7f, n) * smoothstep(430, 250, y);
        if (density > 0) {
            float shade = fbm(x / 150.0f, (y - 14) / 70.0f, 5, 101);  // denser above: shadowed
            Rgb cloud = mix(rgb(255, 255, 255), rgb(170, 180, 204), smoothstep(0.55f, 0.8f, shade) * 0.7f);
            col = mix(col, cloud, density);
        }
        return col;
    });

    // Hills, far to near: each a noisy ridge with fields of its own colours.
    struct Hill {
        float base, height, freq;
        uint32_t seed;
        Rgb a, b;
        float fieldScale;
    };
    const Hill hills[] = {
        {380, 60, 260, 111, rgb(120, 150, 160), rgb(140, 170, 170), 0},
        {420, 70, 200, 112, rgb(110, 160, 90), rgb(170, 180, 80), 60},
        {470, 80, 170, 113, rgb(80, 140, 60), rgb(210, 190, 70), 80},
        {530, 70, 140, 114, rgb(60, 120, 44), rgb(140, 110, 60), 110},
    };
    for (size_t layer = 0; layer < std::size(hills); ++layer) {
        const Hill& h = hills[layer];
        // Far hills fade into the sky's haze; each hill is brightest at its
        // crest and darker down its slope, so the layers stand apart.
        const float haze = 0.3f - 0.1f * float(layer);
        auto ridgeY = [&](float x) { return h.base - h.height * fbm(x / h.freq, 0.3f, 4, h.seed); };
        c.shape(
            0, h.base - h.height - 2, W, H, [&](float x, float y) { return y >= ridgeY(x); },
            [&](float x, float y) {
                if (h.fieldScale == 0) return mix(h.a, h.b, fbm(x / 30.0f, y / 30.0f, 3, h.seed + 7));
                // Fields: a patchwork of slanted plots, each with its own
                // crop colour and furrows, hedges between them.
                float u = x / h.fieldScale + (y - h.base) / (h.fieldScale * 0.7f);
                float v = (y - ridgeY(x)) / (h.fieldScale * 0.35f) + x / (h.fieldScale * 3);
                int fu = int(std::floor(u)), fv = int(std::floor(v));
                float pick = hashUnit(fu, fv, h.seed);
                Rgb crop = pick < 0.3f ? h.a : pick < 0.55f ? h.b : pick < 0.75f ? mix(h.a, h.b, 0.5f)
                                                                   : pick < 0.88f ? rgb(196, 170, 60)
                                                                                  : rgb(150, 110, 70);
                float furrow = 0.9f + 0.1f * std::sin((u * 9 + v * 3) * kPi);
                float tex = 0.85f + 0.3f * fbm(x / 5.0f, y / 5.0f, 2, h.seed + 9);
                float hedge = std::min(std::min(u - fu, 1 - (u - fu)), std::min(v - fv, 1 - (v - fv)));
                Rgb col = scale(crop, furrow * tex);
                if (hedge < 0.04f) col = mix(col, rgb(40, 80, 30), 0.8f);
                col = scale(col, 1.08f - 0.3f * smoothstep(0, 70, y - ridgeY(x)));
                return mix(col, rgb(190, 214, 230), std::max(haze, 0.0f));
            });
        // Trees along the ridge and scattered in the fields.
        Rng trees(h.seed);
        int count = h.fieldScale == 0 ? 0 : int(W / 22);
        for (int i = 0; i < count; ++i) {
            float tx = trees.range(0, W);
            float ty = ridgeY(tx) + trees.range(2, 40 + h.height);
            float r = h.fieldScale / 16 + trees.range(0, 3);
            c.disc(tx + r * 0.3f, ty + r * 0.4f, r, rgb(30, 60, 26), 0.5f);  // shadow
            c.disc(tx, ty, r, rgb(44, 96, 40));
            c.disc(tx - r * 0.3f, ty - r * 0.35f, r * 0.55f, rgb(80, 140, 60));
        }
    }
    // A farmhouse and barn on the nearest hill.
    polygon(c, {{560, 560}, {640, 560}, {640, 520}, {560, 520}}, rgb(236, 226, 200));
    polygon(c, {{552, 522}, {648, 522}, {600, 490}}, rgb(170, 60, 44));
    for (float wx : {570.0f, 606.0f, 626.0f}) polygon(c, {{wx, 530}, {wx + 10, 530}, {wx + 10, 542}, {wx, 542}}, rgb(70, 90, 120));
    polygon(c, {{660, 566}, {730, 566}, {730, 528}, {660, 528}}, rgb(150, 50, 40));
    polygon(c, {{654, 530}, {736, 530}, {718, 508}, {672, 508}}, rgb(90, 80, 80));
    polygon(c, {{684, 566}, {704, 566}, {704, 542}, {684, 542}}, rgb(240, 230, 210));

    // Balloons: envelope of vertical gores around a round crown tapering to
    // the throat, a decorative belt, ropes and a wicker basket.
    struct Balloon {
        float x, y, r;
        std::array<Rgb, 3> colours;
        int gores;
        Rgb belt;
    };
    const Balloon balloons[] = {
        {250, 230, 86, {rgb(220, 40, 40), rgb(250, 210, 40), rgb(220, 40, 40)}, 12, rgb(40, 60, 160)},
        {560, 170, 64, {rgb(40, 110, 210), rgb(250, 250, 250), rgb(40, 180, 120)}, 12, rgb(250, 140, 30)},
        {670, 330, 44, {rgb(150, 50, 170), rgb(250, 140, 30), rgb(250, 230, 90)}, 10, rgb(30, 30, 60)},
        {110, 90, 36, {rgb(40, 170, 90), rgb(250, 250, 120), rgb(40, 170, 90)}, 10, rgb(200, 30, 60)},
        {420, 90, 28, {rgb(250, 120, 160), rgb(120, 60, 170), rgb(250, 250, 250)}, 8, rgb(40, 120, 200)},
        {430, 360, 24, {rgb(250, 170, 30), rgb(200, 40, 40), rgb(40, 40, 120)}, 8, rgb(250, 250, 250)},
        {740, 80, 20, {rgb(60, 200, 220), rgb(250, 250, 250), rgb(240, 90, 60)}, 8, rgb(60, 60, 60)},
        {60, 300, 30, {rgb(250, 220, 60), rgb(40, 150, 200), rgb(250, 100, 50)}, 10, rgb(120, 40, 120)},
    };
    for (const Balloon& b : balloons) {
        const float r = b.r, taper = 1.3f;
        // Half-width of the envelope at height t = (y - centre) / r: a circle
        // above the equator, a narrowing curve below it down to the throat.
        auto halfWidth = [&](float t) {
            if (t < -1 || t > taper) return -1.0f;
            if (t <= 0) return r * std::sqrt(1 - t * t);
            float u = t / taper;
            return r * (1 - 0.72f * u * u);
        };
        c.shape(
            b.x - r, b.y - r, b.x + r, b.y + r * taper,
            [&](float x, float y) {
                float w = halfWidth((y - b.y) / r);
                return w > 0 && std::fabs(x - b.x) <= w;
            },
            [&](float x, float y) {
                float t = (y - b.y) / r;
                float w = std::max(halfWidth(t), 1e-3f);
                float u = std::clamp((x - b.x) / w, -1.0f, 1.0f);
                // Gores follow the round body: equal angles, not equal widths.
                float angle = std::asin(u);
                int gore = int(std::floor((angle / kPi + 0.5f) * b.gores));
                Rgb col = b.colours[size_t(gore % 3)];
                if (t > 0.05f && t < 0.22f) col = b.belt;
                if (t > -0.08f && t <= 0.05f) col = (gore % 2) ? b.colours[1] : b.belt;
                // Round shading lit from the upper left, with a soft highlight.
                float depth = std::sqrt(1 - u * u);
                float light = 0.45f + 0.55f * depth * (0.8f + 0.2f * (-t));
                float shine = std::exp(-((u + 0.45f) * (u + 0.45f) + (t + 0.45f) * (t + 0.45f)) * 9.0f);
                Rgb shaded = add(scale(col, light), scale(rgb(255, 255, 255), 0.35f * shine));
                // Seams between gores.
                float along = (angle / kPi + 0.5f) * b.gores;
                if (std::fabs(along - std::round(along)) < 0.05f && r > 30) shaded = scale(shaded, 0.75f);
                return shaded;
            });
        // Ropes from the throat to the basket, and the basket.
        float throatY = b.y + r * taper, throatW = r * (1 - 0.72f) * 0.9f;
        float basketTop = throatY + r * 0.32f, basketW = r * 0.22f, basketH = r * 0.2f;
        Rgb rope = rgb(80, 60, 50);
        float thick = std::max(1.0f, r / 40.0f);
        c.line(b.x - throatW, throatY, b.x - basketW, basketTop, thick, rope);
        c.line(b.x + throatW, throatY, b.x + basketW, basketTop, thick, rope);
        c.line(b.x, throatY, b.x, basketTop, thick * 0.8f, rope);
        polygon(c,
                {{b.x - basketW, basketTop}, {b.x + basketW, basketTop}, {b.x + basketW * 0.85f, basketTop + basketH},
                 {b.x - basketW * 0.85f, basketTop + basketH}},
                [&](float x, float y) {
                    bool weave = (int(std::floor((x - b.x) / 3)) + int(std::floor(y / 3))) % 2 == 0;
                    return weave ? rgb(150, 100, 50) : rgb(120, 80, 40);
                });
        c.line(b.x - basketW, basketTop, b.x + basketW, basketTop, thick * 1.5f, rgb(90, 60, 30));
    }
    return c;
}

// --------------------------------------------------------- stained glass --

// Stained-glass window in an 8-bit palette. The palette is 16 glass families
// of 16 brightness steps each; the picture is painted directly as indices.
enum Glass : int {
    kLead, kStone, kDeepBlue, kSkyBlue, kRuby, kOrange, kGold, kEmerald,
    kLeaf, kPurple, kRose, kTurquoise, kAmber, kClear, kCobalt, kWine,
};

std::array<Rgb, 256> glassPalette() {
    const Rgb base[16] = {
        rgb(70, 70, 76),   rgb(196, 184, 160), rgb(30, 50, 150),  rgb(90, 160, 230),
        rgb(200, 24, 40),  rgb(240, 130, 30),  rgb(250, 210, 50), rgb(20, 150, 70),
        rgb(130, 200, 60), rgb(110, 40, 160),  rgb(230, 100, 160), rgb(30, 180, 180),
        rgb(170, 100, 30), rgb(230, 236, 220), rgb(40, 80, 200),  rgb(120, 20, 60),
    };
    std::array<Rgb, 256> pal{};
    for (int f = 0; f < 16; ++f) {
        for (int l = 0; l < 16; ++l) {
            float k = float(l) / 15.0f;
            // Dark steps sink towards black, bright steps glow towards white.
            Rgb col = k < 0.7f ? scale(base[f], 0.18f + k / 0.7f * 0.82f)
                               : mix(base[f], rgb(255, 255, 240), (k - 0.7f) / 0.3f * 0.45f);
            if (f == kLead) col = scale(rgb(80, 80, 90), 0.15f + 0.85f * k);
            pal[size_t(f * 16 + l)] = col;
        }
    }
    return pal;
}

// The design: which piece of glass a point belongs to. Pieces with a fixed
// family are cut whole (petals, fruit, the sun); "mosaic" regions are broken
// into small Voronoi cells whose glass is picked per cell from a few
// families. Lead runs wherever the piece changes.
struct GlassPiece {
    int id = 0;        // different ids are separated by lead
    int family = -1;   // fixed glass, or -1: chosen per mosaic cell
    int mosaic = 0;    // which family set a mosaic cell picks from (1..4)
};

class GlassWindow {
public:
    static constexpr float kLeft = 150, kRight = 490, kSpring = 235, kApex = 22, kBottom = 458;

    GlassWindow() {
        const float span = kRight - kLeft, rise = kSpring - kApex;
        radius_ = (span * span / 4 + rise * rise) / span;
    }

    // Inside the pointed arch shrunk by `inset` pixels: a rectangle below the
    // springing line, the intersection of two arcs above it.
    bool inside(float x, float y, float inset) const {
        if (x < kLeft + inset || x > kRight - inset || y > kBottom - inset) return false;
        if (y >= kSpring) return true;
        float r = radius_ - inset;
        return std::hypot(x - (kLeft + radius_), y - kSpring) <= r &&
               std::hypot(x - (kRight - radius_), y - kSpring) <= r;
    }

    GlassPiece piece(float x, float y) const {
        // Decorative border: alternating ruby and gold tiles around the edge.
        if (!inside(x, y, 22)) {
            float along;
            if (y >= kSpring) {
                along = y > kBottom - 22 ? 2000 + x : (x < (kLeft + kRight) / 2 ? y : 1000 + y);
            } else {
                bool leftSide = x < (kLeft + kRight) / 2;
                float cx = leftSide ? kLeft + radius_ : kRight - radius_;
                along = (leftSide ? 3000.0f : 4000.0f) + std::atan2(kSpring - y, std::fabs(x - cx)) * radius_;
            }
            int tile = int(std::floor(along / 24));
            return {100 + tile, tile % 2 ? kGold : kRuby, 0};
        }
        // Rose window: gold centre, eight petals, a ring of sixteen panes.
        const float dx = x - kRoseX, dy = y - kRoseY, dr = std::hypot(dx, dy);
        if (dr < kRoseR) {
            if (dr < 15) return {1, kGold, 0};
            float a = std::atan2(dy, dx);
            if (dr < 56) {
                for (int k = 0; k < 8; ++k) {
                    float pa = float(k) * kPi / 4;
                    if (std::hypot(dx - 34 * std::cos(pa), dy - 34 * std::sin(pa)) < 17)
                        return {10 + k, k % 2 ? kRose : kRuby, 0};
                }
                return {2, kCobalt, 0};
            }
            int pane = int(std::floor((a / (2 * kPi) + 0.5f) * 16)) % 16;
            // Each outer pane holds a small round jewel.
            float mid = (float(pane) + 0.5f) / 16 * 2 * kPi - kPi;
            if (std::hypot(dx - 72 * std::cos(mid), dy - 72 * std::sin(mid)) < 8)
                return {40 + pane, pane % 2 ? kTurquoise : kOrange, 0};
            return {20 + pane, pane % 2 ? kPurple : kGold, 0};
        }
        // Water and the far shore at the bottom, a green hill, a tree with
        // red fruit, a sun, all on a mosaic of blue sky.
        if (y > 424 + 4 * std::sin(x / 17.0f)) return {3, -1, 4};
        if (y > 392 + 12 * std::sin(x / 41.0f + 1)) return {4, -1, 3};
        if (std::fabs(x - kTreeX) < 10 + (y - 330) * 0.08f && y > 330) return {5, kAmber, 0};
        const Pt fruit[] = {{kTreeX - 34, 300}, {kTreeX + 30, 318}, {kTreeX + 8, 282}, {kTreeX - 10, 326},
                            {kTreeX + 44, 290}};
        for (int k = 0; k < 5; ++k)
            if (std::hypot(x - fruit[k].x, y - fruit[k].y) < 8.5f) return {60 + k, kRuby, 0};
        if (std::hypot((x - kTreeX) / 1.3f, y - 306) < 46) return {6, -1, 2};
        float ds = std::hypot(x - kSunX, y - kSunY);
        if (ds < 24) return {7, kGold, 0};
        if (ds < 40) {
            // Rays: alternating orange and gold wedges.
            int ray = int(std::floor((std::atan2(y - kSunY, x - kSunX) / (2 * kPi) + 0.5f) * 12));
            return {70 + ray, ray % 2 ? kOrange : kGold, 0};
        }
        return {8, -1, 1};
    }

private:
    static constexpr float kRoseX = 320, kRoseY = 146, kRoseR = 86;
    static constexpr float kTreeX = 352, kSunX = 226, kSunY = 292;
    float radius_ = 0;
};

// Glass for a mosaic cell of the given set, picked by the cell's own hash.
int mosaicFamily(int set, float x, float y, uint32_t cellHash) {
    float pick = float(cellHash >> 8) / float(1u << 24);
    switch (set) {
        case 1: {  // sky: bands of deep and light blues
            float sky = fbm(x / 70.0f, y / 70.0f, 2, 301) + (pick - 0.5f) * 0.2f;
            return sky < 0.42f ? kDeepBlue : sky < 0.56f ? kCobalt : sky < 0.64f ? kSkyBlue : kClear;
        }
        case 2: return pick < 0.55f ? kLeaf : kEmerald;                      // leaves
        case 3: return pick < 0.7f ? kEmerald : pick < 0.9f ? kLeaf : kAmber;  // hill
        default: return pick < 0.5f ? kTurquoise : pick < 0.8f ? kSkyBlue : kClear;  // water
    }
}

void paintStainedGlass(std::vector<uint8_t>& out, int W, int H) {
    out.assign(size_t(W) * size_t(H), 0);
    const GlassWindow window;
    Rng rng(2024);

    // Mosaic cells: jittered-grid seeds.
    const float cell = 20;
    const int cols = int(std::ceil(W / cell)), rows = int(std::ceil(H / cell));
    std::vector<Pt> seeds;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i)
            seeds.push_back({(float(i) + rng.range(0.15f, 0.85f)) * cell, (float(j) + rng.range(0.15f, 0.85f)) * cell});

    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            uint8_t& dst = out[size_t(y) * size_t(W) + size_t(x)];
            if (!window.inside(px, py, 0)) {
                // Stone wall: ashlar blocks with mortar joints and grain.
                int row = int(py / 24);
                float shift = float(row % 2) * 22.0f;
                bool joint = std::fmod(py, 24.0f) < 2 || std::fmod(px + shift, 44.0f) < 2;
                float grain = fbm(px / 9.0f, py / 9.0f, 3, 401);
                float brick = hashUnit(int((px + shift) / 44), row, 402);
                int level = joint ? 3 : 5 + int(grain * 7) + int(brick * 4);
                // Now and then a warmer, iron-stained block.
                int family = !joint && brick > 0.86f ? kAmber : kStone;
                if (family == kAmber) level -= 3;
                dst = uint8_t(family * 16 + std::clamp(level, 0, 15));
                continue;
            }
            if (!window.inside(px, py, 9)) {
                // The window's stone frame, bevelled: a dark outer edge, a
                // light inner one.
                int level = !window.inside(px, py, 2) ? 4 : window.inside(px, py, 5) ? 13 : 9;
                dst = uint8_t(kStone * 16 + level);
                continue;
            }
            GlassPiece here = window.piece(px, py);
            bool lead = false;
            const float step = 1.4f;
            for (auto [ox, oy] : {std::pair{step, 0.0f}, {-step, 0.0f}, {0.0f, step}, {0.0f, -step}})
                lead |= window.piece(px + ox, py + oy).id != here.id;
            // Iron saddle bars across the window.
            lead |= std::fabs(py - 250) < 2 || std::fabs(py - 350) < 2;

            int family = here.family;
            float level = 10;
            float rim = 1;
            if (here.mosaic) {
                int gx = int(px / cell), gy = int(py / cell);
                float d1 = 1e9f, d2 = 1e9f;
                int nearest = 0;
                for (int j = std::max(0, gy - 1); j <= std::min(rows - 1, gy + 1); ++j) {
                    for (int i = std::max(0, gx - 1); i <= std::min(cols - 1, gx + 1); ++i) {
                        int k = j * cols + i;
                        float d = std::hypot(px - seeds[size_t(k)].x, py - seeds[size_t(k)].y);
                        if (d < d1) {
                            d2 = d1;
                            d1 = d;
                            nearest = k;
                        } else if (d < d2) {
                            d2 = d;
                        }
                    }
                }
                lead |= d2 - d1 < 2.4f;
                uint32_t h = hash3(nearest, here.mosaic, 404);
                family = mosaicFamily(here.mosaic, seeds[size_t(nearest)].x, seeds[size_t(nearest)].y, h);
                level = 8.5f + float(h % 4);
                rim = std::min(d2 - d1, 8.0f) / 8.0f;
            } else {
                level = 9.5f + float(hash3(here.id, 0, 405) % 3);
            }
            if (lead) {
                dst = uint8_t(kLead * 16 + 3 + (int(px + py) % 7 == 0 ? 2 : 0));
                continue;
            }
            // Mottled glass of uneven thickness, brighter towards the window's
            // middle (light from behind), darker near the lead; a small
            // ordered dither hides the steps between the 16 levels.
            float mottle = fbm(px / 10.0f, py / 10.0f, 3, 403) - 0.5f;
            float glow = 1.0f - std::hypot((px - 320) / 260.0f, (py - 240) / 300.0f);
            static const float kDither[4] = {0.0f, 0.5f, 0.75f, 0.25f};
            float v = level + mottle * 5 + glow * 3 - (1 - rim) * 2 - 1.5f + kDither[(x & 1) * 2 + (y & 1)];
            dst = uint8_t(family * 16 + std::clamp(int(v), 1, 15));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    if (!writeJpeg(dir + "/sunset-harbour.jpg", downscale(paintSunsetHarbour(), 800, 600), 90)) return 1;
    if (!writeBmp24(dir + "/balloons.bmp", downscale(paintBalloons(), 640, 480))) return 1;
    std::vector<uint8_t> glass;
    paintStainedGlass(glass, 640, 480);
    if (!writeBmp8(dir + "/stained-glass.bmp", 640, 480, glass, glassPalette())) return 1;
    return 0;
}
