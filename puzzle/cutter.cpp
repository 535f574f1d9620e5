// Cut templates, cutting, outlines and scatter.
#include "puzzle/cutter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <type_traits>
#include <utility>

#include "common/named_mutex.h"
#include "puzzle/piece_mask.h"

namespace pavalo {
namespace {

inline constexpr int32_t kMaxPieces = 4000;

int32_t roundHalfAwayFromZero(double v) { return int32_t(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)); }

// Colour 0 up to and including column b, 255 after it.
void fillStripRow(Bitmap8& strip, int32_t y, int32_t b) {
    uint8_t* row = strip.row(y);
    int32_t zeros = std::clamp(b + 1, 0, strip.width);
    std::memset(row, 0, size_t(zeros));
    std::memset(row + zeros, 255, size_t(strip.width - zeros));
}

// Copies a shape into strip rows top.., mirrored and colour-exchanged when flipped.
void copyShape(Bitmap8& strip, int32_t top, const Bitmap8& shape, bool flipped) {
    int32_t s = shape.width;
    for (int32_t r = 0; r < s; ++r) {
        int32_t y = top + r;
        if (y < 0 || y >= strip.height) continue;
        const uint8_t* src = shape.row(r);
        uint8_t* dst = strip.row(y);
        if (flipped) {
            for (int32_t i = 0; i < s; ++i) dst[i] = uint8_t(255 - src[s - 1 - i]);
        } else {
            std::memcpy(dst, src, size_t(s));
        }
    }
}

void report(const CutProgress& progress, int percent) {
    if (progress) progress(percent);
}

// The pixel type of a template: uint8_t (numbers mod 256) or uint16_t.
template <class Grid>
using PixelOf = std::remove_cvref_t<decltype(*std::declval<Grid&>().row(0))>;

// The vertical pass: columns of cells separated by vertical seams.
template <class Grid>
void writeVerticalSeams(Grid& t, int32_t cols, int32_t rows, const SeamShapeSet& shapes,
                        Random& rng, const CutProgress& progress) {
    using Px = PixelOf<Grid>;
    const int32_t W = t.width, H = t.height, S = shapes.size;
    const int32_t cellW = W / cols;
    Px left = 1, right = Px(rows + 1);
    for (int32_t k = 0; k <= cols - 2; ++k) {
        report(progress, int(double(k) / cols * 100 * 0.25));
        Bitmap8 strip = buildVerticalSeamStrip(H, rows, shapes, rng);
        // Even seams: strip colour 0 is the left cell. Odd seams use the
        // strip mirrored, with colour 255 as the left cell.
        const bool odd = (k & 1) != 0;
        const int32_t seamX = int32_t((k + 1) * (double(W) / cols));
        const int32_t x0 = seamX - S / 2;
        for (int32_t y = 0; y < H; ++y) {
            Px* row = t.row(y);
            if (k == 0) std::fill_n(row, std::min(2 * cellW, W), left);
            const uint8_t* s = strip.row(y);
            for (int32_t i = 0; i < S; ++i) {
                int32_t x = x0 + i;
                if (x < 0 || x >= W) continue;
                bool isLeft = odd ? s[S - 1 - i] == 255 : s[i] == 0;
                row[x] = isLeft ? left : right;
            }
            int32_t from = std::max(x0 + S, 0);
            if (from < W) std::fill_n(row + from, std::min(2 * cellW, W - from), right);
        }
        left = Px(left + rows);
        right = Px(right + rows);
    }
}

// The horizontal pass. Each seam adds 1 to the pixels of its lower side
// within its band of S rows and to everything below the band. Rather than
// touching every pixel below every seam, one pass down the picture adds, per
// row, the number of bands already passed plus 1 for each band covering the
// row whose strip marks the pixel as lower side. Strips are built in seam
// order as their bands are reached, so the random draws stay in order.
template <class Grid>
void writeHorizontalSeams(Grid& t, int32_t cols, int32_t rows, const SeamShapeSet& shapes,
                          Random& rng, const CutProgress& progress) {
    using Px = PixelOf<Grid>;
    const int32_t W = t.width, H = t.height, S = shapes.size;
    struct Band {
        int32_t y0;
        int32_t k;
        Bitmap8 strip;
    };
    std::deque<Band> active;
    int32_t next = 0;
    Px passed = 0;
    auto bandTop = [&](int32_t k) { return int32_t((k + 1) * (double(H) / rows)) - S / 2; };
    auto startBand = [&] {
        report(progress, 25 + int(double(next) / rows * 100 * 0.25));
        active.push_back({bandTop(next), next, buildVerticalSeamStrip(W, cols, shapes, rng)});
        ++next;
    };
    // A vertical strip of length W turned a quarter turn: strip pixel (x, y)
    // lands at (y, S - 1 - x), so band pixel (x, i) is strip (S - 1 - i, x),
    // colour 0 on the lower side. Odd seams are flipped top to bottom: band
    // pixel (x, i) is strip (i, x), colour 255 on the lower side.
    auto lowerSide = [&](const Band& b, int32_t x, int32_t i) -> Px {
        return (b.k & 1) ? b.strip.at(i, x) == 255 : b.strip.at(S - 1 - i, x) == 0;
    };
    for (int32_t y = 0; y < H; ++y) {
        while (next <= rows - 2 && bandTop(next) <= y) startBand();
        while (!active.empty() && active.front().y0 + S <= y) {
            active.pop_front();
            ++passed;
        }
        Px* row = t.row(y);
        if (active.empty()) {
            if (passed)
                for (int32_t x = 0; x < W; ++x) row[x] = Px(row[x] + passed);
        } else if (active.size() == 1) {
            const Band& b = active.front();
            const int32_t i = y - b.y0;
            for (int32_t x = 0; x < W; ++x) row[x] = Px(row[x] + passed + lowerSide(b, x, i));
        } else {
            for (int32_t x = 0; x < W; ++x) {
                Px add = passed;
                for (const Band& b : active) add = Px(add + lowerSide(b, x, y - b.y0));
                row[x] = Px(row[x] + add);
            }
        }
    }
    while (next <= rows - 2) startBand();  // seams below the picture still draw
}

}  // namespace

Bitmap8 buildVerticalSeamStrip(int32_t length, int32_t segments, const SeamShapeSet& shapes,
                               Random& rng) {
    const int32_t S = shapes.size;
    const int32_t count = int32_t(shapes.shapes.size());
    Bitmap8 strip(S, length);
    int direction = rng.below(2);
    int nextDirection = rng.below(100) < 90 ? 1 - direction : direction;
    int shape = rng.below(count);
    int nextShape = rng.below(count);
    double e = 0;
    for (int32_t i = 0; i < segments; ++i) {
        if (i > 0) {
            direction = nextDirection;
            shape = nextShape;
            nextDirection = rng.below(100) < 90 ? 1 - direction : direction;
            nextShape = rng.below(count);
        }
        // Direction 1 uses the shape mirrored with its colours exchanged, so
        // its knob points the other way.
        const int32_t b = seamBoundaryColumn(shapes.shapes[size_t(shape)], direction == 1);
        const int32_t bNext = seamBoundaryColumn(shapes.shapes[size_t(nextShape)], nextDirection == 1);
        if (i == 0) e = b;
        const int32_t start = int32_t(int64_t(length) * i / segments);
        const int32_t end = int32_t(int64_t(length) * (i + 1) / segments);
        const int32_t top = start + (end - start - S) / 2;

        // Above the shape: a straight seam from the midpoint with the previous
        // segment's boundary towards this shape's boundary.
        if (top > start) {
            double p = e + (b - e) / 2;
            const double step = (b - p) / (top - start);
            for (int32_t y = std::max(start, 0); y < top && y < length; ++y) {
                fillStripRow(strip, y, roundHalfAwayFromZero(p));
                p += step;
            }
        }
        copyShape(strip, top, shapes.shapes[size_t(shape)], direction == 1);
        // Below the shape: towards the midpoint with the next shape's boundary.
        const int32_t below = end - top - S;
        if (below > 0) {
            double p = b;
            const double step = ((bNext - b) / 2.0) / below;
            for (int32_t y = std::max(top + S, 0); y < end && y < length; ++y) {
                fillStripRow(strip, y, roundHalfAwayFromZero(p));
                p += step;
            }
        }
        e = b;
    }
    return strip;
}

bool cellNumbersNeedSixteenBits(int32_t cols, int32_t rows) {
    // The cell-box search reaches into cells two columns and rows away (a
    // knob a little further); three is checked for a margin.
    constexpr int32_t kReach = 3;
    for (int32_t dc = 0; dc <= (cols > 1 ? kReach : 0); ++dc)
        for (int32_t dr = -kReach; dr <= kReach; ++dr)
            if ((dc > 0 || dr > 0) && std::abs(dr) < rows && (int64_t(dc) * rows + dr) % 256 == 0)
                return true;
    return false;
}

CutTemplate createTemplateWithShapes(int32_t width, int32_t height, int32_t cols, int32_t rows,
                                     const SeamShapeSet& shapes, Random& rng,
                                     const CutProgress& progress) {
    CutTemplate result;
    const int32_t cell = std::min(width / cols, height / rows);
    result.snapTolerance = snapToleranceForCell(cell);
    result.shapeSize = shapes.size;
    if (cellNumbersNeedSixteenBits(cols, rows)) {
        result.wide = CellMap(width, height, 0);
        writeVerticalSeams(result.wide, cols, rows, shapes, rng, progress);
        writeHorizontalSeams(result.wide, cols, rows, shapes, rng, progress);
    } else {
        result.pixels = Bitmap8(width, height, 0);
        writeVerticalSeams(result.pixels, cols, rows, shapes, rng, progress);
        writeHorizontalSeams(result.pixels, cols, rows, shapes, rng, progress);
    }
    return result;
}

std::optional<CutTemplate> createTemplate(int32_t width, int32_t height, int32_t cols,
                                          int32_t rows, Random& rng, std::string* error,
                                          const CutProgress& progress) {
    if (width <= 0 || height <= 0 || cols <= 0 || rows <= 0) {
        if (error) *error = "the picture or the grid is empty";
        return std::nullopt;
    }
    const int32_t cell = std::min(width / cols, height / rows);
    SeamShapeSet shapes;
    std::string why;
    if (!loadSeamShapes(seamShapeSizeForCell(cell), shapes, why)) {
        if (error) *error = why;
        return std::nullopt;
    }
    return createTemplateWithShapes(width, height, cols, rows, shapes, rng, progress);
}

namespace {

struct CellBox {
    int32_t left, top, right, bottom;  // inclusive
    uint16_t number;
};

// The tightest box around the pixels of a cell's number, searched within
// one and a half cells around the cell's centre. Shrinking each side of the
// window while its line holds no such pixel ends at exactly this box, so it
// is found with row scans, which stay in cache, instead of column walks.
template <class Grid>
CellBox findCellBox(const Grid& t, int32_t cols, int32_t rows, int32_t r, int32_t c) {
    using Px = PixelOf<const Grid>;
    const int32_t W = t.width, H = t.height;
    const int32_t cw = W / cols, ch = H / rows;
    const double fw = double(W) / cols, fh = double(H) / rows;
    const double cx = c * fw + fw / 2, cy = r * fh + fh / 2;
    const int32_t tx = int32_t(cx), ty = int32_t(cy);
    const int32_t left = std::max(tx - (cw + cw / 2), 0);
    const int32_t right = std::min(cw / 2 + cw + tx, W - 1);
    const int32_t top = std::max(ty - (ch + ch / 2), 0);
    const int32_t bottom = std::min(ch / 2 + ch + ty, H - 1);
    const Px number = t.at(tx, ty);
    const size_t span = size_t(right - left + 1);
    CellBox b{right, bottom, left, top, number};
    for (int32_t y = top; y <= bottom; ++y) {
        const Px* row = t.row(y) + left;
        const Px* first;
        const Px* last;
        if constexpr (sizeof(Px) == 1) {
            first = static_cast<const Px*>(std::memchr(row, number, span));
            if (!first) continue;
            last = static_cast<const Px*>(memrchr(row, number, span));
        } else {
            first = std::find(row, row + span, number);
            if (first == row + span) continue;
            last = row + span - 1;
            while (*last != number) --last;
        }
        b.left = std::min(b.left, int32_t(first - row) + left);
        b.right = std::max(b.right, int32_t(last - row) + left);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
    }
    return b;
}

template <class Grid>
void cutCells(const Grid& tmpl, int32_t cols, int32_t rows, Random& rng, PuzzleModel& model,
              const CutProgress& progress) {
    using Px = PixelOf<const Grid>;
    std::vector<Piece> pieces(size_t(cols) * size_t(rows));
    for (int32_t r = 0; r < rows; ++r) {
        report(progress, 50 + int(double(r) / rows * 100 * 0.4));
        for (int32_t c = 0; c < cols; ++c) {
            CellBox b = findCellBox(tmpl, cols, rows, r, c);
            Piece& p = pieces[size_t(r * cols + c)];
            p.x = p.homeX = b.left;
            p.y = p.homeY = b.top;
            p.rotation = 0;
            p.width = b.right - b.left + 1;
            p.height = b.bottom - b.top + 1;
            p.mask = encodePieceMaskFromPixels(tmpl.row(b.top) + b.left, tmpl.width, p.width,
                                               p.height, Px(b.number));
        }
    }
    NamedLock lock(NamedMutex::PIECE);
    model.createFromPieces(std::move(pieces), rows, cols);
    model.shuffleInitialGroups(rng);
    extractOutlines(model);
}

}  // namespace

void cutPuzzle(const Bitmap8& tmpl, int32_t cols, int32_t rows, Random& rng, PuzzleModel& model,
               const CutProgress& progress) {
    cutCells(tmpl, cols, rows, rng, model, progress);
}

void cutPuzzle(const CellMap& tmpl, int32_t cols, int32_t rows, Random& rng, PuzzleModel& model,
               const CutProgress& progress) {
    cutCells(tmpl, cols, rows, rng, model, progress);
}

void cutPuzzle(const CutTemplate& tmpl, int32_t cols, int32_t rows, Random& rng, PuzzleModel& model,
               const CutProgress& progress) {
    if (tmpl.wide.pixels.empty())
        cutPuzzle(tmpl.pixels, cols, rows, rng, model, progress);
    else
        cutPuzzle(tmpl.wide, cols, rows, rng, model, progress);
}

void extractOutlines(PuzzleModel& model) {
    NamedLock lock(NamedMutex::PIECE);
    model.forEachGroup(ListId::Main, [&](int32_t g) {
        model.forEachMember(g, [&](int32_t i) {
            Piece& p = model.piece(i);
            const int32_t w = p.width, h = p.height;
            std::vector<uint8_t> px = decodePieceMask(p.mask, w, h, 255);
            // Interior pixels (all four neighbours inside and set) become 128;
            // what stays 255 is the one-pixel border.
            for (int32_t y = 1; y < h - 1; ++y) {
                uint8_t* row = px.data() + size_t(y) * size_t(w);
                const uint8_t* up = row - w;
                const uint8_t* down = row + w;
                for (int32_t x = 1; x < w - 1; ++x) {
                    if (row[x] == 255 && row[x - 1] && row[x + 1] && up[x] && down[x]) row[x] = 128;
                }
            }
            p.outline = encodePieceMaskFromPixels(px.data(), w, w, h, 255);
        });
    });
}

void scatterPieces(PuzzleModel& model, Random& rng, bool rotate) {
    NamedLock lock(NamedMutex::PIECE);
    const int32_t W = model.geometry().pictureWidth, H = model.geometry().pictureHeight;
    const int32_t cw = W / std::max(model.columns(), 1), ch = H / std::max(model.rows(), 1);
    const int32_t spanX = std::max(3 * W - cw - 60, 1), spanY = std::max(3 * H - ch - 60, 1);
    for (int32_t i = 0; i < model.pieceCount(); ++i) {
        int32_t x, y;
        // A picture too small to leave room around it would never satisfy
        // the rule; give up after many tries rather than loop for ever.
        int tries = 0;
        do {
            x = rng.below(spanX) - W + 30;
            y = rng.below(spanY) - H + 30;
        } while (x + cw > -10 && x < W + 10 && y + ch > -10 && y < H + 10 && ++tries < 100000);
        int32_t rotation = rng.below(4);
        model.moveGroup(ListId::Main, i, model.toPlayX(x), model.toPlayY(y));
        if (rotate) model.setPieceRotation(i, rotation);
    }
}

void applyRotationOption(PuzzleModel& model, bool on, Random& rng) {
    NamedLock lock(NamedMutex::PIECE);
    const ListId lists[] = {ListId::Main, ListId::Box1, ListId::Box2, ListId::Box3, ListId::Box4};
    for (ListId list : lists) {
        model.forEachGroup(list, [&](int32_t g) {
            const int32_t first = model.groupNode(g).firstMember;
            if (first == kNone) return;
            if (on) {
                for (int turns = rng.below(4); turns > 0; --turns) model.rotateGroup(list, first, 1);
            } else {
                while (model.piece(first).rotation != 0) model.rotateGroup(list, first, -1);
            }
        });
    }
}

std::vector<int32_t> makePieceOrderTable(int32_t n, Random& rng) {
    std::vector<int32_t> order(size_t(std::max(n, 0)));
    for (int32_t i = 0; i < n; ++i) order[size_t(i)] = i;
    for (int64_t k = 0; k < 4 * int64_t(n); ++k) {
        int32_t a = rng.below(n);
        int32_t b = rng.below(n);
        std::swap(order[size_t(a)], order[size_t(b)]);
    }
    return order;
}

bool runCutSequence(const CutRequest& request, Random& rng, PuzzleModel& model,
                    std::vector<int32_t>& order, std::string& error, const CutProgress& progress) {
    const CutRequest& q = request;
    if (q.pictureWidth <= 0 || q.pictureHeight <= 0 || q.playWidth <= 0 || q.playHeight <= 0) {
        error = "the picture and the play area must not be empty";
        return false;
    }
    if (q.columns <= 0 || q.rows <= 0 || int64_t(q.columns) * q.rows > kMaxPieces) {
        error = "the grid must have between 1 and " + std::to_string(kMaxPieces) + " pieces";
        return false;
    }
    if (q.pictureWidth / q.columns < 1 || q.pictureHeight / q.rows < 1) {
        error = "the picture is too small for that many pieces";
        return false;
    }
    std::vector<int32_t> newOrder = makePieceOrderTable(q.columns * q.rows, rng);
    std::optional<CutTemplate> tmpl =
        createTemplate(q.pictureWidth, q.pictureHeight, q.columns, q.rows, rng, &error, progress);
    if (!tmpl) return false;
    report(progress, 50);

    PuzzleModel fresh;
    fresh.geometry() = PuzzleGeometry{q.playWidth, q.playHeight, q.pictureWidth, q.pictureHeight,
                                      0, 0, tmpl->snapTolerance};
    cutPuzzle(*tmpl, q.columns, q.rows, rng, fresh, progress);
    tmpl.reset();
    report(progress, 90);
    scatterPieces(fresh, rng, q.rotate);
    report(progress, 100);

    NamedLock lock(NamedMutex::PIECE);
    HolderTable* holders = &model.holders();
    model = std::move(fresh);
    model.setHolderTable(holders);
    order = std::move(newOrder);
    return true;
}

}  // namespace pavalo
