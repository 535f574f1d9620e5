// Generates the program's icon: one puzzle piece on a rounded tile, as a
// scalable SVG and as PNGs at the sizes desktops look up.
//
// Usage: pavalo-gen-icon OUT_DIR SIZE...
// Writes OUT_DIR/pavalo.svg and OUT_DIR/pavalo-SIZE.png for each SIZE.
// The SVG and the PNGs are drawn from the same outlines, so every size shows
// the same picture.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Every outline is given in a 64 x 64 design square.
constexpr double kDesign = 64.0;

struct Layer {
    QPainterPath path;
    QColor fill;
    QColor stroke;     // invalid: no outline
    double strokeWidth = 0;
};

QPainterPath circle(double cx, double cy, double r) {
    QPainterPath p;
    p.addEllipse(QPointF(cx, cy), r, r);
    return p;
}

// The piece: a square body with a knob on its top and right sides and a
// socket on its left side, as a cut puzzle piece looks.
QPainterPath piece() {
    QPainterPath body;
    body.addRoundedRect(QRectF(17, 21, 26, 26), 2.5, 2.5);
    QPainterPath shape = body.united(circle(30, 18, 6.5)).united(circle(46, 34, 6.5));
    return shape.subtracted(circle(17, 34, 5.5)).simplified();
}

std::vector<Layer> layers() {
    std::vector<Layer> out;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(4, 4, 56, 56), 11, 11);
    out.push_back({tile, QColor(0x2f, 0x5d, 0x8a), QColor(0x1c, 0x3a, 0x57), 2.0});
    // A lighter band across the tile's top: sky over the picture's horizon.
    QPainterPath sky;
    sky.addRect(QRectF(4, 4, 56, 26));
    out.push_back({sky.intersected(tile).simplified(), QColor(0x5b, 0x8f, 0xc4), QColor(), 0});
    // The piece's shadow, then the piece itself in warm sunset colours.
    out.push_back({piece().translated(1.5, 2.0), QColor(0, 0, 0, 80), QColor(), 0});
    out.push_back({piece(), QColor(0xf2, 0xa6, 0x3b), QColor(0x8a, 0x4b, 0x12), 1.6});
    // A sun on the piece.
    out.push_back({circle(27, 30, 4.0), QColor(0xff, 0xe8, 0x8a), QColor(), 0});
    return out;
}

std::string colour(const QColor& c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.red(), c.green(), c.blue());
    return buf;
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

// SVG path data for a painter path; curves stay cubic Béziers.
std::string svgPath(const QPainterPath& path) {
    std::string d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += "M" + number(e.x) + " " + number(e.y);
        } else if (e.isLineTo()) {
            d += "L" + number(e.x) + " " + number(e.y);
        } else if (e.isCurveTo()) {
            if (i + 2 >= path.elementCount()) break;
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            d += "C" + number(e.x) + " " + number(e.y) + " " + number(c2.x) + " " + number(c2.y) + " " +
                 number(end.x) + " " + number(end.y);
            i += 2;
        }
    }
    return d + "Z";
}

bool writeSvg(const std::string& file, const std::vector<Layer>& ls) {
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n";
    for (const Layer& l : ls) {
        svg += "  <path d=\"" + svgPath(l.path) + "\" fill=\"" + colour(l.fill) + "\"";
        if (l.fill.alpha() != 255) svg += " fill-opacity=\"" + number(l.fill.alphaF()) + "\"";
        if (l.stroke.isValid())
            svg += " stroke=\"" + colour(l.stroke) + "\" stroke-width=\"" + number(l.strokeWidth) +
                   "\" stroke-linejoin=\"round\"";
        svg += "/>\n";
    }
    svg += "</svg>\n";
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(svg.data(), 1, svg.size(), f) == svg.size();
    return std::fclose(f) == 0 && ok;
}

bool writePng(const std::string& file, int size, const std::vector<Layer>& ls) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kDesign, size / kDesign);
    for (const Layer& l : ls) {
        p.setBrush(l.fill);
        if (l.stroke.isValid())
            p.setPen(QPen(l.stroke, l.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        else
            p.setPen(Qt::NoPen);
        p.drawPath(l.path);
    }
    p.end();
    return image.save(QString::fromStdString(file), "PNG");
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
        if (size < 8 || size > 1024 || !writePng(file, size, ls)) {
            std::fprintf(stderr, "pavalo-gen-icon: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
