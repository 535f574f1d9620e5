// Generates the program's own WDA animations:
//  - the play-area splash gfx/splash.wda (640 x 360): twelve jigsaw pieces of
//    a sunset lake fly together, their seams fade, a shine crosses the
//    picture and the title appears;
//  - the six start-dialog buttons, WDA resources 181-186 (112 x 112, 24
//    frames that loop): continue, new puzzle, open, host, join, exit;
//  - the about box: its background, resource 326 (328 x 372), and its
//    animation, resources 193 (frames 0-121) and 194 (frames 122-244) of
//    160 x 120, in one palette: the pieces of the same picture drop into
//    place one by one, the seams fade, a shine passes, and the last 27
//    frames loop with the water, sun and boat moving.
//
//  - a sample animated picture for puzzles, sunset-lake.wda (320 x 240, a
//    30-frame loop of the same picture's water, sun and boat).
//
// Usage: pavalo-gen-wda RESOURCE_DIR SPLASH.wda SAMPLE.wda
// Writes RESOURCE_DIR/wda_<id>.wda for each resource.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/raster.h"
#include "media/wda_encoder.h"

namespace {

using namespace gen;

constexpr float kPi = 3.14159265f;

float smooth(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}
float easeOut(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return 1 - (1 - t) * (1 - t) * (1 - t);
}

// --- The picture: a sunset over a lake, in unit coordinates ----------------
// `phase` (0 to 1) moves the water, the sun's rays and the boat through one
// loop.

constexpr float kHorizon = 0.62f;

Rgb sky(float u, float v, float phase) {
    const float t = std::clamp(v / kHorizon, 0.0f, 1.0f);
    Rgb c = mix(rgb(44, 34, 96), rgb(196, 84, 120), smooth(0.0f, 0.7f, t));
    c = mix(c, rgb(252, 170, 80), smooth(0.55f, 1.0f, t));
    const float du = u - 0.68f, dv = (v - 0.50f) * 1.1f, d = std::hypot(du, dv);
    // A glow and slowly turning rays around the sun.
    const float rays = 0.5f + 0.5f * std::cos(12 * std::atan2(dv, du) + 2 * kPi * phase);
    c = mix(c, rgb(255, 214, 140), std::exp(-d * 9) * 0.85f + rays * std::exp(-d * 6) * 0.18f);
    if (d < 0.085f) c = mix(rgb(255, 236, 170), rgb(255, 250, 220), smooth(0.085f, 0.0f, d));
    return c;
}

float farRidge(float u) { return 0.44f + 0.07f * std::sin(u * 7 + 1) + 0.03f * std::sin(u * 19 + 0.5f); }
float nearRidge(float u) { return 0.53f + 0.05f * std::sin(u * 5 + 2.2f) + 0.025f * std::sin(u * 23); }

Rgb land(float u, float v, float phase) {
    if (v > nearRidge(u)) return mix(rgb(70, 34, 74), rgb(40, 22, 52), (v - nearRidge(u)) * 8);
    if (v > farRidge(u)) return mix(rgb(132, 70, 118), rgb(104, 52, 104), (v - farRidge(u)) * 6);
    return sky(u, v, phase);
}

Rgb landscape(float u, float v, float phase) {
    // The boat bobs once per loop.
    const float bob = 0.006f * std::sin(2 * kPi * phase);
    const float bx = 0.27f, by = 0.70f + bob;
    if (v < kHorizon) {
        // The sail above the water line.
        if (v > by - 0.13f && v < by - 0.005f && u > bx - 0.005f && u < bx + 0.055f * (v - (by - 0.13f)) / 0.13f + 0.0f)
            return mix(rgb(250, 240, 226), rgb(232, 200, 180), (v - by + 0.13f) / 0.13f);
        return land(u, v, phase);
    }
    // The hull.
    if (v > by - 0.005f && v < by + 0.025f && std::fabs(u - bx) < 0.07f - (v - by) * 1.2f) return rgb(58, 30, 40);
    if (v > by - 0.13f && v < by && u > bx - 0.005f && u < bx + 0.055f * (v - (by - 0.13f)) / 0.13f)
        return rgb(240, 226, 214);
    // Water: the sky mirrored, darker, broken by moving ripples.
    const float depth = (v - kHorizon) / (1 - kHorizon);
    const float ripple =
        std::sin(v * 140 + 2 * kPi * phase + std::sin(u * 9) * 2) * std::sin(u * 31 - 2 * kPi * phase * 2 + v * 20);
    const float mirrored = kHorizon - (v - kHorizon) * 1.4f + ripple * 0.012f;
    Rgb c = land(u + ripple * 0.004f, std::max(0.0f, mirrored), phase);
    c = mix(c, rgb(24, 30, 70), 0.35f + depth * 0.45f);
    // Glints of the sun on the water.
    const float glint = std::exp(-std::pow((u - 0.68f) * 9, 2)) * smooth(0.35f, 0.95f, ripple) * (1 - depth);
    return mix(c, rgb(255, 226, 160), glint * 0.8f);
}

// --- Jigsaw pieces ----------------------------------------------------------

// The sides of piece (col, row) in a grid: knobs and holes alternate so
// that neighbours fit; outer sides are flat.
std::array<int, 4> pieceSides(int col, int row, int cols, int rows) {
    auto down = [](int c, int r) { return (c + r) % 2 ? 1 : -1; };   // the edge below (c, r)
    auto right = [](int c, int r) { return (c + r) % 2 ? -1 : 1; };  // the edge right of (c, r)
    return {row == 0 ? 0 : -down(col, row - 1), col == cols - 1 ? 0 : right(col, row),
            row == rows - 1 ? 0 : down(col, row), col == 0 ? 0 : -right(col - 1, row)};
}

struct PiecePose {
    float dx = 0, dy = 0;  // moved from home
    float angle = 0;       // turned about its centre
    float outline = 0;     // 0 to 1: the seam shown around it
    float shadow = 0;      // 0 to 1: the shadow below a lifted piece
    float highlight = 0;   // 0 to 1: a flash when it lands
};

// Draws a piece of `picture` (a function of canvas coordinates at home)
// whose home square is `shape`, moved and turned by `pose`.
void drawPiece(Canvas& c, const PieceShape& shape, const PiecePose& pose,
               const std::function<Rgb(float, float)>& picture) {
    const float cx = shape.x0 + shape.size / 2, cy = shape.y0 + shape.size / 2;
    const float ca = std::cos(pose.angle), sa = std::sin(pose.angle);
    const float reach = shape.size * 0.95f;
    auto home = [&](float x, float y, float& hx, float& hy) {
        const float rx = x - cx - pose.dx, ry = y - cy - pose.dy;
        hx = cx + rx * ca + ry * sa;
        hy = cy - rx * sa + ry * ca;
    };
    const float px = cx + pose.dx, py = cy + pose.dy;
    if (pose.shadow > 0) {
        const float off = 2 + 5 * pose.shadow;
        c.fillShape(
            px - reach + off, py - reach + off, px + reach + off, py + reach + off,
            [&](float x, float y) {
                float hx, hy;
                home(x - off, y - off, hx, hy);
                return shape.distance(hx, hy) - 1.5f;
            },
            rgb(0, 0, 0), 0.35f * pose.shadow);
    }
    c.shade(
        px - reach, py - reach, px + reach, py + reach,
        [&](float x, float y) {
            float hx, hy;
            home(x, y, hx, hy);
            return shape.distance(hx, hy);
        },
        [&](float x, float y) {
            float hx, hy;
            home(x, y, hx, hy);
            Rgb col = picture(hx, hy);
            const float d = shape.distance(hx, hy);
            // The seam: a dark line with a light inner rim.
            if (pose.outline > 0) {
                col = mix(col, rgb(20, 16, 28), pose.outline * smooth(1.6f, 0.4f, -d));
                col = mix(col, rgb(255, 250, 236), pose.outline * 0.25f * smooth(2.6f, 1.6f, -d));
            }
            if (pose.highlight > 0) col = mix(col, rgb(255, 255, 255), pose.highlight * 0.45f);
            return col;
        });
}

// Draws pieces lying at home as one layer: each pixel takes the picture by
// the pieces' summed coverage, so no background shows through the seams
// between neighbours. Then each piece's seam and landing flash on top.
struct Landed {
    PieceShape shape;
    float highlight = 0;
};
void drawAssembled(Canvas& c, const std::vector<Landed>& pieces, float outline,
                   const std::function<Rgb(float, float)>& picture) {
    if (pieces.empty()) return;
    std::vector<float> cover(c.px.size(), 0.0f);
    for (const Landed& l : pieces) {
        const PieceShape& p = l.shape;
        const float m = p.size * 0.35f;
        for (int y = std::max(0, int(p.y0 - m)); y < std::min(c.h, int(p.y0 + p.size + m) + 1); ++y)
            for (int x = std::max(0, int(p.x0 - m)); x < std::min(c.w, int(p.x0 + p.size + m) + 1); ++x)
                cover[size_t(y) * size_t(c.w) + size_t(x)] +=
                    std::clamp(0.5f - p.distance(float(x) + 0.5f, float(y) + 0.5f), 0.0f, 1.0f);
    }
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const float k = std::min(1.0f, cover[size_t(y) * size_t(c.w) + size_t(x)]);
            if (k > 0) c.at(x, y) = mix(c.at(x, y), picture(float(x) + 0.5f, float(y) + 0.5f), k);
        }
    for (const Landed& l : pieces) {
        if (outline > 0) c.pieceOutline(l.shape, 1.2f, rgb(20, 16, 28), outline * 0.8f);
        if (l.highlight > 0)
            c.piece(
                l.shape, [](float, float) { return rgb(255, 255, 255); }, l.highlight * 0.45f);
    }
}

// --- Output -----------------------------------------------------------------

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string error;
    if (!pavalo::writeWdaFile(path, bytes, error)) {
        std::fprintf(stderr, "pavalo-gen-wda: %s\n", error.c_str());
        return false;
    }
    return true;
}

// Encodes frames (true colour) as one animation: frame 0 whole, each later
// frame as its changes from the one before. `loopStart` >= 0 makes that
// frame also a change from the last frame (a loop back to it).
std::vector<uint8_t> encodeFrames(const std::vector<Canvas>& frames, Quantizer& q, int loopStart = -1,
                                  float dither = 0) {
    std::vector<std::vector<uint8_t>> indexed;
    for (const Canvas& f : frames) indexed.push_back(q.map(f, dither));
    pavalo::WdaEncoder enc(frames[0].w, frames[0].h, q.palette());
    for (size_t i = 0; i < indexed.size(); ++i) {
        std::vector<std::span<const uint8_t>> before;
        if (i > 0) before.push_back(indexed[i - 1]);
        if (int(i) == loopStart && i > 0) before.push_back(indexed.back());
        enc.addFrame(indexed[i], before);
    }
    return enc.finish();
}

// --- The splash --------------------------------------------------------------

bool makeSplash(const std::string& path) {
    constexpr int W = 640, H = 360, kFrames = 66;
    constexpr int cols = 4, rows = 3;
    constexpr float s = 64, left = 192, top = 36;
    const Rgb edge = rgb(12, 14, 28);
    Canvas background(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float e = std::hypot((x + 0.5f - 320) / 330, (y + 0.5f - 170) / 180);
            background.at(x, y) = mix(rgb(38, 46, 88), edge, smooth(0.15f, 0.95f, e));
        }
    auto picture = [&](float x, float y) { return landscape((x - left) / (cols * s), (y - top) / (rows * s), 0); };

    // Where each piece starts: scattered around the picture, turned.
    struct Flight {
        int col, row, start;
        float fromX, fromY, fromAngle;
    };
    std::vector<Flight> flights;
    const int order[12] = {0, 3, 8, 11, 1, 7, 4, 10, 2, 5, 9, 6};
    for (int k = 0; k < 12; ++k) {
        const int i = order[k];
        const float a = 2 * kPi * float(k) / 12 + 0.4f;
        flights.push_back({i % cols, i / cols, 2 + 2 * k, 330 * std::cos(a), 220 * std::sin(a),
                           (k % 2 ? 1.0f : -1.0f) * (1.2f + 0.1f * float(k % 4))});
    }
    constexpr int kFlight = 14;
    std::vector<Canvas> frames;
    for (int f = 0; f < kFrames; ++f) {
        Canvas c = background;
        // Pieces at home first, then those in flight, the latest on top.
        std::vector<Landed> landed;
        for (const Flight& fl : flights) {
            const int age = f - fl.start - kFlight;
            if (age >= 0)
                landed.push_back({PieceShape{left + float(fl.col) * s, top + float(fl.row) * s, s,
                                             pieceSides(fl.col, fl.row, cols, rows)},
                                  std::max(0.0f, 1 - float(age) / 3)});
        }
        drawAssembled(c, landed, 0.8f * (1 - smooth(38, 46, float(f))), picture);
        for (const Flight& fl : flights) {
            const float t = float(f - fl.start) / kFlight;
            if (t < 0 || t >= 1) continue;
            const PieceShape shape{left + float(fl.col) * s, top + float(fl.row) * s, s,
                                   pieceSides(fl.col, fl.row, cols, rows)};
            PiecePose pose;
            const float e = easeOut(t);
            pose.dx = fl.fromX * (1 - e);
            pose.dy = fl.fromY * (1 - e);
            pose.angle = fl.fromAngle * (1 - e);
            pose.shadow = 1 - e * 0.7f;
            pose.outline = 0.8f;
            drawPiece(c, shape, pose, picture);
        }
        // A shine across the finished picture.
        const float sweep = (float(f) - 44) / 10;
        if (sweep > 0 && sweep < 1) {
            const float bx = left - 60 + sweep * (cols * s + 120);
            c.shade(
                left, top, left + cols * s, top + rows * s,
                [&](float x, float y) {
                    return std::max(std::fabs((x - bx) + (y - top) * 0.5f) - 14,
                                    sdBox(x, y, left, top, left + cols * s, top + rows * s, 0));
                },
                [](float, float) { return rgb(255, 255, 240); }, 0.35f);
        }
        // The title rises and fades in, then the line below it.
        const float title = smooth(46, 56, float(f));
        if (title > 0) {
            const float size = 36, width = Canvas::textWidth("PAVALO", size);
            const float y = 262 + 10 * (1 - title);
            c.text("PAVALO", 320 - width / 2 + 2, y + 3, size, 6, rgb(0, 0, 0), 0.5f * title);
            c.text("PAVALO", 320 - width / 2, y, size, 6, rgb(250, 204, 92), title);
            c.text("PAVALO", 320 - width / 2, y, size, 2, rgb(255, 240, 190), 0.6f * title);
        }
        const float sub = smooth(52, 60, float(f));
        if (sub > 0) {
            const float size = 12, width = Canvas::textWidth("A PICTURE PUZZLE GAME", size);
            c.text("A PICTURE PUZZLE GAME", 320 - width / 2, 318, size, 1.6f, rgb(200, 210, 240), sub);
        }
        frames.push_back(std::move(c));
    }
    Quantizer q;
    q.reserve(edge);  // index 0: the colour around the splash
    for (const Canvas& c : frames) q.add(c);
    q.build();
    return write(path, encodeFrames(frames, q, -1, 6));
}

// --- The start-dialog buttons --------------------------------------------------

void arc(Canvas& c, float cx, float cy, float r, float width, float a0, float a1, Rgb col, float alpha) {
    const float o = r + width;
    c.fillShape(
        cx - o, cy - o, cx + o, cy + o,
        [&](float x, float y) {
            float a = std::atan2(y - cy, x - cx);
            if (a >= a0 && a <= a1) return std::fabs(std::hypot(x - cx, y - cy) - r) - width / 2;
            const Point e0{cx + r * std::cos(a0), cy + r * std::sin(a0)},
                e1{cx + r * std::cos(a1), cy + r * std::sin(a1)};
            return std::min(std::hypot(x - e0.x, y - e0.y), std::hypot(x - e1.x, y - e1.y)) - width / 2;
        },
        col, alpha);
}

// One frame of button `index` at loop time t (0 to 1).
Canvas buttonFrame(int index, float t) {
    constexpr int S = 112;
    const Rgb colours[6] = {rgb(70, 150, 90),  rgb(220, 150, 50), rgb(80, 130, 210),
                            rgb(170, 90, 180), rgb(60, 170, 180), rgb(190, 70, 70)};
    const Rgb base = colours[index];
    Canvas c(S, S, rgb(27, 36, 54));
    // The card: a rounded tile lit from above with a rim.
    c.box(6, 8, S - 4, S - 2, 18, rgb(0, 0, 0), 0.35f);
    c.shade(
        4, 4, S - 6, S - 6, [&](float x, float y) { return sdBox(x, y, 4, 4, S - 6, S - 6, 18); },
        [&](float, float y) { return mix(scale(base, 1.25f), scale(base, 0.72f), y / S); });
    c.fillShape(
        4, 4, S - 6, S - 6, [&](float x, float y) { return std::fabs(sdBox(x, y, 4, 4, S - 6, S - 6, 18)) - 0.8f; },
        rgb(255, 255, 255), 0.35f);
    // A faint jigsaw piece behind the symbol.
    PieceShape piece{30, 26, 48, {0, 1, 1, 0}};
    c.piece(
        piece, [](float, float) { return rgb(255, 255, 255); }, 0.13f);
    const Rgb ink = rgb(255, 255, 255), shadow = rgb(0, 0, 0);
    const float cx = 53, cy = 51, wave = std::sin(2 * kPi * t);
    auto both = [&](const std::function<void(float, float, Rgb, float)>& draw) {
        draw(1.5f, 2.0f, shadow, 0.3f);
        draw(0, 0, ink, 1.0f);
    };
    switch (index) {
        case 0: {  // continue: a play arrow that surges forward with speed lines
            const float push = 5 * std::max(0.0f, wave);
            both([&](float ox, float oy, Rgb col, float a) {
                c.convex({{cx - 12 + push + ox, cy - 18 + oy},
                          {cx + 20 + push + ox, cy + oy},
                          {cx - 12 + push + ox, cy + 18 + oy}},
                         col, a);
            });
            for (int i = 0; i < 3; ++i) {
                const float len = 14 * std::max(0.0f, wave) * (1 - 0.25f * float(i));
                if (len > 1)
                    c.line({cx - 18 + push - len, cy - 10 + 10 * float(i)}, {cx - 18 + push, cy - 10 + 10 * float(i)},
                           3, ink, 0.7f);
            }
            break;
        }
        case 1: {  // new puzzle: a plus that turns and breathes
            const float k = 1 + 0.12f * wave, a = kPi / 2 * t;
            both([&](float ox, float oy, Rgb col, float al) {
                for (float d : {0.0f, kPi / 2}) {
                    const float dx = 18 * k * std::cos(a + d), dy = 18 * k * std::sin(a + d);
                    c.line({cx - dx + ox, cy - dy + oy}, {cx + dx + ox, cy + dy + oy}, 8, col, al);
                }
            });
            for (int i = 0; i < 4; ++i) {
                const float r = 26 + 4 * std::sin(2 * kPi * t + float(i));
                const float an = a + kPi / 4 + float(i) * kPi / 2;
                c.disc(cx + r * std::cos(an), cy + r * std::sin(an), 2.2f, ink,
                       0.5f + 0.4f * std::sin(2 * kPi * t + float(i)));
            }
            break;
        }
        case 2: {  // open: a folder whose lid lifts and lets a sheet peek out
            const float lift = std::max(0.0f, wave);
            both([&](float ox, float oy, Rgb col, float a) {
                c.box(cx - 22 + ox, cy - 8 + oy, cx + 22 + ox, cy + 18 + oy, 3, col, a);
                c.box(cx - 22 + ox, cy - 14 + oy, cx - 6 + ox, cy - 6 + oy, 2, col, a);
            });
            c.box(cx - 14, cy - 12 - 10 * lift, cx + 14, cy + 8, 2, rgb(250, 246, 230));
            for (int i = 0; i < 3; ++i)
                c.line({cx - 9, cy - 6 - 10 * lift + 5 * float(i)}, {cx + 9, cy - 6 - 10 * lift + 5 * float(i)}, 1.5f,
                       rgb(150, 150, 160));
            const float a = -0.55f * lift;
            const Point hinge{cx - 22, cy + 18};
            auto turn = [&](float x, float y) {
                const float rx = x - hinge.x, ry = y - hinge.y;
                return Point{hinge.x + rx * std::cos(a) - ry * std::sin(a),
                             hinge.y + rx * std::sin(a) + ry * std::cos(a)};
            };
            c.convex({turn(cx - 22, cy - 2), turn(cx + 24, cy - 2), turn(cx + 20, cy + 18), turn(cx - 22, cy + 18)},
                     scale(rgb(255, 255, 255), 0.92f));
            break;
        }
        case 3: {  // host: a mast sending waves outward
            both([&](float ox, float oy, Rgb col, float a) {
                c.line({cx + ox, cy - 4 + oy}, {cx + ox, cy + 24 + oy}, 5, col, a);
                c.line({cx - 10 + ox, cy + 24 + oy}, {cx + 10 + ox, cy + 24 + oy}, 5, col, a);
                c.disc(cx + ox, cy - 6 + oy, 5, col, a);
            });
            for (int i = 0; i < 3; ++i) {
                const float p = std::fmod(t + float(i) / 3, 1.0f);
                const float r = 10 + 26 * p, alpha = std::sin(kPi * p);
                arc(c, cx, cy - 6, r, 3.5f, -kPi * 0.8f, -kPi * 0.2f, ink, alpha);
            }
            break;
        }
        case 4: {  // join: two rings sliding together until they link
            const float gap = 9 + 7 * (0.5f + 0.5f * std::cos(2 * kPi * t));
            both([&](float ox, float oy, Rgb col, float a) {
                c.ring(cx - gap + ox, cy + oy, 13, 5, col, a);
                c.ring(cx + gap + ox, cy + oy, 13, 5, col, a);
            });
            break;
        }
        default: {  // exit: an arrow leaving through a door
            both([&](float ox, float oy, Rgb col, float a) {
                c.fillShape(
                    cx - 26 + ox, cy - 22 + oy, cx + 2 + ox, cy + 24 + oy,
                    [&](float x, float y) {
                        return std::fabs(sdBox(x, y, cx - 24 + ox, cy - 20 + oy, cx + ox, cy + 22 + oy, 2)) - 2;
                    },
                    col, a);
            });
            const float open = 0.5f + 0.5f * std::sin(2 * kPi * t - kPi / 2);
            c.convex({{cx - 22, cy - 18},
                      {cx - 22 + 18 * (1 - open * 0.6f), cy - 14},
                      {cx - 22 + 18 * (1 - open * 0.6f), cy + 24},
                      {cx - 22, cy + 20}},
                     rgb(255, 255, 255), 0.85f);
            const float x = cx - 8 + 22 * t, alpha = smooth(1.0f, 0.75f, t) * smooth(0.0f, 0.15f, t);
            c.line({x - 12, cy + 2}, {x + 8, cy + 2}, 5, ink, alpha);
            c.convex({{x + 6, cy - 8}, {x + 18, cy + 2}, {x + 6, cy + 12}}, ink, alpha);
            break;
        }
    }
    return c;
}

bool makeButtons(const std::string& dir) {
    constexpr int kFrames = 24;
    // Resources 181-186: continue, new puzzle, open, host, join, exit.
    const int symbol[6] = {0, 1, 2, 3, 4, 5};
    for (int b = 0; b < 6; ++b) {
        std::vector<Canvas> frames;
        for (int f = 0; f < kFrames; ++f) frames.push_back(buttonFrame(symbol[b], float(f) / kFrames));
        Quantizer q;
        for (const Canvas& c : frames) q.add(c);
        q.build();
        if (!write(dir + "/wda_" + std::to_string(181 + b) + ".wda", encodeFrames(frames, q, 0))) return false;
    }
    return true;
}

// --- The about box ---------------------------------------------------------------

constexpr int kAboutW = 160, kAboutH = 120, kAboutFrames = 245, kLoopStart = 218, kLoopFrames = 27;

// Frame f of the about animation.
Canvas aboutFrame(int f) {
    constexpr int cols = 4, rows = 3;
    constexpr float s = 40;
    // Frames from 217 on show the living picture; 217 equals the loop's last.
    const float phase = f >= kLoopStart - 1 ? float((f - kLoopStart + kLoopFrames) % kLoopFrames) / kLoopFrames : 0;
    auto picture = [&](float x, float y) { return landscape(x / kAboutW, y / kAboutH, phase); };
    Canvas c(kAboutW, kAboutH);
    // The empty board with the pieces' places marked.
    for (int y = 0; y < kAboutH; ++y)
        for (int x = 0; x < kAboutW; ++x) c.at(x, y) = mix(rgb(52, 46, 64), rgb(30, 28, 42), float(y) / kAboutH);
    const int order[12] = {0, 3, 8, 11, 1, 2, 7, 4, 10, 9, 5, 6};
    constexpr int kFirst = 21, kEach = 15, kFall = 12;
    std::vector<Landed> landed;
    std::vector<std::pair<PieceShape, PiecePose>> falling;
    for (int k = 0; k < 12; ++k) {
        const int i = order[k];
        const PieceShape shape{float(i % cols) * s, float(i / cols) * s, s, pieceSides(i % cols, i / cols, cols, rows)};
        const int start = kFirst + k * kEach;
        if (f < start) {
            c.pieceOutline(shape, 1.0f, rgb(255, 255, 255), 0.16f);
            continue;
        }
        const float t = float(f - start) / kFall;
        if (t >= 1) {
            landed.push_back({shape, std::max(0.0f, 1 - float(f - start - kFall) / 3)});
            continue;
        }
        const float e = easeOut(t);
        PiecePose pose;
        pose.dy = -(90 + float(i / cols) * s) * (1 - e);
        pose.dx = (k % 2 ? 18.0f : -18.0f) * (1 - e);
        pose.angle = (k % 2 ? -0.7f : 0.7f) * (1 - e);
        pose.shadow = 1 - e;
        pose.outline = 0.7f;
        falling.push_back({shape, pose});
    }
    drawAssembled(c, landed, 0.7f * (1 - smooth(201, 211, float(f))), picture);
    for (const auto& [shape, pose] : falling) drawPiece(c, shape, pose, picture);
    // A shine across the whole picture once it is complete.
    const float sweep = (float(f) - 204) / 12;
    if (sweep > 0 && sweep < 1) {
        const float bx = -40 + sweep * 240;
        c.fillShape(
            0, 0, kAboutW, kAboutH, [&](float x, float y) { return std::fabs((x - bx) + y * 0.5f) - 10; },
            rgb(255, 255, 240), 0.35f);
    }
    return c;
}

Canvas aboutBackground() {
    constexpr int W = 328, H = 372;
    Canvas c(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) c.at(x, y) = mix(rgb(30, 40, 82), rgb(12, 16, 36), float(y) / H);
    // A row of faint pieces along the bottom edge.
    for (int i = 0; i < 27; ++i)
        c.piece(
            PieceShape{4 + float(i) * 12, H - 13, 9, {1, -1, 1, -1}}, [](float, float) { return rgb(255, 255, 255); },
            0.07f);
    // The frame around the animation window at (4, 4).
    c.box(0, 0, 168, 128, 3, rgb(210, 170, 90));
    c.box(2, 2, 166, 126, 2, rgb(70, 50, 30));
    c.box(4, 4, 164, 124, 0, rgb(30, 28, 42));
    // The title beside it.
    const float titleW = Canvas::textWidth("PAVALO", 24);
    const float tx = 172 + (W - 176 - titleW) / 2;
    c.text("PAVALO", tx + 1.5f, 24 + 2, 24, 4.5f, rgb(0, 0, 0), 0.5f);
    c.text("PAVALO", tx, 24, 24, 4.5f, rgb(250, 204, 92));
    c.text("PAVALO", tx, 24, 24, 1.5f, rgb(255, 240, 190), 0.7f);
    auto centred = [&](std::string_view s, float cx, float y, float size, float weight, Rgb col, float alpha = 1) {
        c.text(s, cx - Canvas::textWidth(s, size) / 2, y, size, weight, col, alpha);
    };
    centred("VERSION 0.1", 172 + (W - 172) / 2.0f, 60, 8, 1.3f, rgb(200, 210, 240));
    // Three interlocked pieces as an emblem.
    const Rgb emblem[3] = {rgb(70, 150, 90), rgb(80, 130, 210), rgb(220, 150, 50)};
    for (int i = 0; i < 3; ++i) {
        PieceShape p{202 + float(i) * 22, 80, 22, {0, i < 2 ? 1 : 0, 0, i > 0 ? -1 : 0}};
        c.piece(p,
                [&, i](float, float y) { return mix(scale(emblem[i], 1.2f), scale(emblem[i], 0.8f), (y - 80) / 22); });
        c.pieceOutline(p, 1.0f, rgb(10, 10, 20), 0.8f);
    }
    // Lines about the game.
    const char* lines[] = {"A PICTURE PUZZLE GAME", "FOR THE LINUX DESKTOP",   "", "CUT A PICTURE INTO PIECES,",
                           "SCATTER THEM, AND PUT", "IT BACK TOGETHER AGAIN.", "", "PLAY ALONE OR WITH FRIENDS",
                           "OVER THE NETWORK."};
    float y = 150;
    for (const char* line : lines) {
        if (*line) centred(line, W / 2.0f, y, 10, 1.5f, rgb(226, 230, 246));
        y += *line ? 18 : 10;
    }
    centred("THANK YOU FOR PLAYING!", W / 2.0f, y + 14, 11, 1.8f, rgb(250, 204, 92));
    return c;
}

bool makeAbout(const std::string& dir) {
    std::vector<Canvas> frames;
    for (int f = 0; f < kAboutFrames; ++f) frames.push_back(aboutFrame(f));
    const Canvas background = aboutBackground();
    // One palette for the background and every frame: the frames are drawn
    // onto the background's 8-bit surface.
    Quantizer q;
    q.add(background);
    for (const Canvas& c : frames) q.add(c);
    const std::vector<uint8_t> palette = q.build();

    pavalo::WdaEncoder still(background.w, background.h, palette);
    still.addFrame(q.map(background));
    if (!write(dir + "/wda_326.wda", still.finish())) return false;

    std::vector<std::vector<uint8_t>> indexed;
    for (const Canvas& c : frames) indexed.push_back(q.map(c));
    // Frames 0-121 in 193, 122-244 in 194; each a change from the frame the
    // about box draws before it (the loop's first also from the last).
    pavalo::WdaEncoder first(kAboutW, kAboutH, palette), second(kAboutW, kAboutH, palette);
    for (int f = 0; f < kAboutFrames; ++f) {
        std::vector<std::span<const uint8_t>> before;
        if (f > 0) before.push_back(indexed[size_t(f - 1)]);
        if (f == kLoopStart) before.push_back(indexed.back());
        (f < 122 ? first : second).addFrame(indexed[size_t(f)], before);
    }
    return write(dir + "/wda_193.wda", first.finish()) && write(dir + "/wda_194.wda", second.finish());
}

// --- A sample animated picture for puzzles --------------------------------------

// The sunset lake alone, 320 x 240, its water, sun and boat moving through
// one loop of 30 frames (two seconds); the player starts again at frame 0,
// which is whole.
bool makeSample(const std::string& path) {
    constexpr int W = 320, H = 240, kFrames = 30;
    std::vector<Canvas> frames;
    for (int f = 0; f < kFrames; ++f) {
        Canvas c(W, H);
        const float phase = float(f) / kFrames;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) c.at(x, y) = landscape((x + 0.5f) / W, (y + 0.5f) / H, phase);
        frames.push_back(std::move(c));
    }
    Quantizer q;
    for (const Canvas& c : frames) q.add(c);
    q.build();
    return write(path, encodeFrames(frames, q));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: pavalo-gen-wda RESOURCE_DIR SPLASH.wda SAMPLE.wda\n");
        return 2;
    }
    const std::string dir = argv[1];
    return makeButtons(dir) && makeAbout(dir) && makeSplash(argv[2]) && makeSample(argv[3]) ? 0 : 1;
}
