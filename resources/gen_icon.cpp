// Generates the program's icon: one puzzle piece on a rounded tile, as a
// scalable SVG and as PNGs at the sizes desktops look up.
//
// Usage: pavalo-gen-icon OUT_DIR SIZE...
// Writes OUT_DIR/pavalo.svg and OUT_DIR/pavalo-SIZE.png for each SIZE.
//
// Every shape is given twice from the same numbers: as SVG path data, and as
// a signed distance (negative inside) that the rasteriser turns into
// anti-aliased coverage, so the PNGs show what the SVG shows.
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// Every shape is given in a 64 x 64 design square.
constexpr double kDesign = 64.0;

struct Vec {
    double x, y;
};

double length(double x, double y) { return std::sqrt(x * x + y * y); }

double circle(Vec p, Vec c, double r) { return length(p.x - c.x, p.y - c.y) - r; }

// Rectangle [x0, x1] x [y0, y1] with corners rounded by r.
double roundedBox(Vec p, double x0, double y0, double x1, double y1, double r) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double qx = std::abs(p.x - cx) - ((x1 - x0) / 2 - r);
    const double qy = std::abs(p.y - cy) - ((y1 - y0) / 2 - r);
    return length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

// The tile: the icon's background.
constexpr double kTile0 = 4, kTile1 = 60, kTileRadius = 11;
// The piece: a square body with knobs on its top and right sides and a
// socket in its left side, as a cut puzzle piece looks.
constexpr double kBody0x = 17, kBody0y = 21, kBody1x = 43, kBody1y = 47, kBodyRadius = 2.5;
constexpr Vec kTopKnob{30, 18}, kRightKnob{46, 34}, kSocket{17, 34};
constexpr double kKnobRadius = 6.5, kSocketRadius = 5.5;
// The horizon: sky above, water below.
constexpr double kHorizon = 30;
constexpr Vec kShadowOffset{1.5, 2.0};
constexpr Vec kSun{27, 30};
constexpr double kSunRadius = 4;

double tile(Vec p) { return roundedBox(p, kTile0, kTile0, kTile1, kTile1, kTileRadius); }

double sky(Vec p) { return std::max(tile(p), p.y - kHorizon); }

double piece(Vec p) {
    const double body = roundedBox(p, kBody0x, kBody0y, kBody1x, kBody1y, kBodyRadius);
    const double joined = std::min({body, circle(p, kTopKnob, kKnobRadius), circle(p, kRightKnob, kKnobRadius)});
    return std::max(joined, -circle(p, kSocket, kSocketRadius));
}

double shadow(Vec p) { return piece({p.x - kShadowOffset.x, p.y - kShadowOffset.y}); }

double sun(Vec p) { return circle(p, kSun, kSunRadius); }

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string point(double x, double y) { return number(x) + " " + number(y); }

// An arc of radius r to (x, y); the flags as SVG's arc command takes them.
std::string arc(double r, bool large, bool clockwise, double x, double y) {
    return "A" + number(r) + " " + number(r) + " 0 " + (large ? "1 " : "0 ") + (clockwise ? "1 " : "0 ") + point(x, y);
}

std::string tilePath() {
    const double a = kTile0, b = kTile1, r = kTileRadius;
    return "M" + point(a + r, a) + "L" + point(b - r, a) + arc(r, false, true, b, a + r) + "L" + point(b, b - r) +
           arc(r, false, true, b - r, b) + "L" + point(a + r, b) + arc(r, false, true, a, b - r) + "L" +
           point(a, a + r) + arc(r, false, true, a + r, a) + "Z";
}

std::string skyPath() {
    const double a = kTile0, b = kTile1, r = kTileRadius;
    return "M" + point(a, kHorizon) + "L" + point(a, a + r) + arc(r, false, true, a + r, a) + "L" + point(b - r, a) +
           arc(r, false, true, b, a + r) + "L" + point(b, kHorizon) + "Z";
}

// The piece's outline, clockwise from the top-left corner: where a knob meets
// the body's side, the side is a chord of the knob's circle.
std::string piecePath() {
    const double r = kBodyRadius;
    const double topHalf = std::sqrt(kKnobRadius * kKnobRadius - std::pow(kBody0y - kTopKnob.y, 2));
    const double rightHalf = std::sqrt(kKnobRadius * kKnobRadius - std::pow(kRightKnob.x - kBody1x, 2));
    return "M" + point(kBody0x + r, kBody0y) + "L" + point(kTopKnob.x - topHalf, kBody0y) +
           arc(kKnobRadius, true, true, kTopKnob.x + topHalf, kBody0y) + "L" + point(kBody1x - r, kBody0y) +
           arc(r, false, true, kBody1x, kBody0y + r) + "L" + point(kBody1x, kRightKnob.y - rightHalf) +
           arc(kKnobRadius, true, true, kBody1x, kRightKnob.y + rightHalf) + "L" + point(kBody1x, kBody1y - r) +
           arc(r, false, true, kBody1x - r, kBody1y) + "L" + point(kBody0x + r, kBody1y) +
           arc(r, false, true, kBody0x, kBody1y - r) + "L" + point(kBody0x, kSocket.y + kSocketRadius) +
           arc(kSocketRadius, false, false, kBody0x, kSocket.y - kSocketRadius) + "L" + point(kBody0x, kBody0y + r) +
           arc(r, false, true, kBody0x + r, kBody0y) + "Z";
}

std::string circlePath(Vec c, double r) {
    return "M" + point(c.x - r, c.y) + arc(r, false, true, c.x + r, c.y) + arc(r, false, true, c.x - r, c.y) + "Z";
}

struct Colour {
    uint8_t r, g, b;
    double alpha = 1.0;
};

struct Layer {
    std::function<double(Vec)> distance;
    std::string path;
    std::string transform;  // SVG transform, matching the distance's offset
    Colour fill;
    double strokeWidth = 0;  // 0: no outline
    Colour stroke{0, 0, 0};
};

std::vector<Layer> layers() {
    return {
        {tile, tilePath(), "", {0x2f, 0x5d, 0x8a}, 2.0, {0x1c, 0x3a, 0x57}},
        {sky, skyPath(), "", {0x5b, 0x8f, 0xc4}},
        {shadow, piecePath(), "translate(" + point(kShadowOffset.x, kShadowOffset.y) + ")", {0, 0, 0, 0.3}},
        {piece, piecePath(), "", {0xf2, 0xa6, 0x3b}, 1.6, {0x8a, 0x4b, 0x12}},
        {sun, circlePath(kSun, kSunRadius), "", {0xff, 0xe8, 0x8a}},
    };
}

std::string hex(const Colour& c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

bool writeSvg(const std::string& file, const std::vector<Layer>& ls) {
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n";
    for (const Layer& l : ls) {
        svg += "  <path d=\"" + l.path + "\" fill=\"" + hex(l.fill) + "\"";
        if (l.fill.alpha < 1) svg += " fill-opacity=\"" + number(l.fill.alpha) + "\"";
        if (!l.transform.empty()) svg += " transform=\"" + l.transform + "\"";
        if (l.strokeWidth > 0)
            svg += " stroke=\"" + hex(l.stroke) + "\" stroke-width=\"" + number(l.strokeWidth) +
                   "\" stroke-linejoin=\"round\"";
        svg += "/>\n";
    }
    svg += "</svg>\n";
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(svg.data(), 1, svg.size(), f) == svg.size();
    return std::fclose(f) == 0 && ok;
}

// Straight-alpha RGBA, composed "over" in linear order of the layers.
struct Pixel {
    double r = 0, g = 0, b = 0, a = 0;
    void over(const Colour& c, double coverage) {
        const double sa = c.alpha * coverage;
        const double outA = sa + a * (1 - sa);
        if (outA <= 0) return;
        r = (c.r * sa + r * a * (1 - sa)) / outA;
        g = (c.g * sa + g * a * (1 - sa)) / outA;
        b = (c.b * sa + b * a * (1 - sa)) / outA;
        a = outA;
    }
};

std::vector<uint8_t> rasterise(int size, const std::vector<Layer>& ls) {
    const double unit = kDesign / size;  // design units per pixel
    std::vector<uint8_t> rgba(size_t(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const Vec p{(x + 0.5) * unit, (y + 0.5) * unit};
            Pixel px;
            for (const Layer& l : ls) {
                const double d = l.distance(p);
                // A one-pixel ramp across each edge gives the anti-aliasing.
                px.over(l.fill, std::clamp(0.5 - d / unit, 0.0, 1.0));
                if (l.strokeWidth > 0)
                    px.over(l.stroke, std::clamp(0.5 - (std::abs(d) - l.strokeWidth / 2) / unit, 0.0, 1.0));
            }
            uint8_t* out = &rgba[(size_t(y) * size + x) * 4];
            out[0] = uint8_t(std::lround(px.r));
            out[1] = uint8_t(std::lround(px.g));
            out[2] = uint8_t(std::lround(px.b));
            out[3] = uint8_t(std::lround(px.a * 255));
        }
    }
    return rgba;
}

bool writePng(const std::string& file, int size, const std::vector<uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(size);
    image.height = png_uint_32(size);
    image.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_file(&image, file.c_str(), 0, rgba.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: pavalo-gen-icon OUT_DIR SIZE...\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<Layer> ls = layers();
    if (!writeSvg(dir + "/pavalo.svg", ls)) {
        std::fprintf(stderr, "pavalo-gen-icon: cannot write %s/pavalo.svg\n", dir.c_str());
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const std::string file = dir + "/pavalo-" + std::to_string(size) + ".png";
        if (size < 8 || size > 1024 || !writePng(file, size, rasterise(size, ls))) {
            std::fprintf(stderr, "pavalo-gen-icon: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
