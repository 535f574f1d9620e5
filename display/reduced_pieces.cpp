// Reduced copies of the picture and the piece masks for zoomed-out views.
#include "display/reduced_pieces.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "common/named_mutex.h"
#include "display/piece_renderer.h"
#include "puzzle/piece_mask.h"

namespace pavalo {
namespace {

// The sample point of cell `cell` along an axis of `size` pixels.
inline int32_t samplePoint(int32_t cell, int32_t factor, int32_t size) {
    return std::min(cell * factor + factor / 2, size - 1);
}

// The cells whose sample points lie in [from, from + length): [first, last).
void cellsCovering(int32_t from, int32_t length, int32_t factor, int32_t size, int32_t& first,
                   int32_t& last) {
    const int32_t cells = ceilDivide(size, factor);
    first = std::clamp(floorDivide(int64_t(from) - factor, factor), 0, cells);
    while (first < cells && samplePoint(first, factor, size) < from) ++first;
    last = first;
    while (last < cells && samplePoint(last, factor, size) < from + length) ++last;
}

// Adds n pixels' blue, green and red to s[0..2].
template <int Bpp>
[[gnu::always_inline]] inline void sumPixels(const uint8_t* p, int32_t n, uint32_t* s) {
    uint32_t a = 0, b = 0, c = 0;
    for (int32_t i = 0; i < n; ++i, p += Bpp) a += p[0], b += p[1], c += p[2];
    s[0] += a, s[1] += b, s[2] += c;
}

// The x1/2 cells of two whole rows at 24 and 32 bits, the common case: each
// channel the rounded mean of its four bytes, as the general sum gives it.
template <int Bpp>
void halveRows(const uint8_t* a, const uint8_t* b, int32_t cells, uint8_t* dst) {
    for (int32_t X = 0; X < cells; ++X, a += 2 * Bpp, b += 2 * Bpp, dst += Bpp) {
        for (int j = 0; j < 3; ++j)
            dst[j] = uint8_t((uint32_t(a[j]) + a[j + Bpp] + b[j] + b[j + Bpp] + 2) >> 2);
        if constexpr (Bpp == 4) dst[3] = 0;
    }
}

// Averages each factor x factor cell of 16-, 24- and 32-bit pictures channel
// by channel; 8-bit pictures keep each cell's middle pixel (an average of
// palette indices means nothing).
void reduceInto(const DrawSurface& picture, int32_t factor, DrawSurface& out) {
    const int32_t w = picture.width(), h = picture.height();
    const int32_t rw = out.width(), rh = out.height();
    const int bpp = picture.depth() / 8;
    const bool is555 = picture.is555();
    std::vector<uint32_t> sums(size_t(rw) * 4);
    for (int32_t Y = 0; Y < rh; ++Y) {
        uint8_t* dst = out.row(Y);
        const int32_t y0 = Y * factor, y1 = std::min(h, y0 + factor);
        if (bpp == 1) {
            const uint8_t* src = picture.row(samplePoint(Y, factor, h));
            for (int32_t X = 0; X < rw; ++X) dst[X] = src[samplePoint(X, factor, w)];
            continue;
        }
        // Whole 2 x 2 cells at 24 and 32 bits directly; the rest (a last
        // partial column or row, other factors and depths) by sums.
        int32_t firstSummed = 0;
        if (factor == 2 && y1 - y0 == 2 && bpp >= 3) {
            firstSummed = w / 2;
            if (bpp == 4)
                halveRows<4>(picture.row(y0), picture.row(y0 + 1), firstSummed, dst);
            else
                halveRows<3>(picture.row(y0), picture.row(y0 + 1), firstSummed, dst);
            if (firstSummed == rw) continue;
        }
        std::fill(sums.begin(), sums.end(), 0u);
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* src = picture.row(y);
            for (int32_t X = firstSummed; X < rw; ++X) {
                const int32_t x0 = X * factor, x1 = std::min(w, x0 + factor);
                uint32_t* s = &sums[size_t(X) * 4];
                if (bpp == 2) {
                    for (int32_t x = x0; x < x1; ++x) {
                        uint16_t v;
                        std::memcpy(&v, src + 2 * x, 2);
                        if (is555) {
                            s[0] += v & 31, s[1] += (v >> 5) & 31, s[2] += (v >> 10) & 31;
                        } else {
                            s[0] += v & 31, s[1] += (v >> 5) & 63, s[2] += (v >> 11) & 31;
                        }
                    }
                } else if (bpp == 4) {
                    sumPixels<4>(src + ptrdiff_t(x0) * 4, x1 - x0, s);
                } else {
                    sumPixels<3>(src + ptrdiff_t(x0) * 3, x1 - x0, s);
                }
                s[3] += uint32_t(x1 - x0);
            }
        }
        for (int32_t X = firstSummed; X < rw; ++X) {
            const uint32_t* s = &sums[size_t(X) * 4];
            const uint32_t n = s[3], half = n / 2;  // pixels summed over the cell's rows
            const uint32_t a = (s[0] + half) / n, b = (s[1] + half) / n, c = (s[2] + half) / n;
            if (bpp == 2) {
                const uint16_t v = is555 ? uint16_t(0x8000 | a | b << 5 | c << 10) : uint16_t(a | b << 5 | c << 11);
                std::memcpy(dst + 2 * X, &v, 2);
            } else {
                uint8_t* d = dst + ptrdiff_t(X) * bpp;
                d[0] = uint8_t(a), d[1] = uint8_t(b), d[2] = uint8_t(c);
                if (bpp == 4) d[3] = 0;
            }
        }
    }
}

// Scratch memory reused from piece to piece.
struct PieceScratch {
    std::vector<int32_t> rowCell, columnCell;  // mask row / column -> cell, or -1
    std::vector<uint8_t> cells, edge;
};

// The reduced shape of one piece: the cells whose sample points its mask
// covers, and as its outline the shape's cells that touch a cell outside it.
// Only the mask's runs on sample rows are looked at; the mask is never
// unpacked.
void reducePiece(const Piece& full, int32_t factor, int32_t pictureWidth, int32_t pictureHeight,
                 PieceScratch& scratch, Piece& out) {
    out = Piece{};
    int32_t x0, x1, y0, y1;
    cellsCovering(full.homeX, full.width, factor, pictureWidth, x0, x1);
    cellsCovering(full.homeY, full.height, factor, pictureHeight, y0, y1);
    if (x1 <= x0 || y1 <= y0) return;
    const int32_t w = x1 - x0, h = y1 - y0;
    scratch.rowCell.assign(size_t(full.height), -1);
    scratch.columnCell.assign(size_t(full.width), -1);
    for (int32_t r = 0; r < h; ++r) scratch.rowCell[size_t(samplePoint(y0 + r, factor, pictureHeight) - full.homeY)] = r;
    for (int32_t c = 0; c < w; ++c)
        scratch.columnCell[size_t(samplePoint(x0 + c, factor, pictureWidth) - full.homeX)] = c;
    std::vector<uint8_t>& cells = scratch.cells;
    cells.assign(size_t(w) * size_t(h), 0);
    bool any = false;
    const int32_t* rowCell = scratch.rowCell.data();
    const int32_t* columnCell = scratch.columnCell.data();
    forEachMaskRun(full.mask, [&](int32_t x, int32_t y, int32_t length, bool opaque) {
        if (!opaque || rowCell[y] < 0) return;
        uint8_t* row = cells.data() + size_t(rowCell[y]) * size_t(w);
        for (int32_t k = x; k < x + length; ++k)
            if (columnCell[k] >= 0) row[columnCell[k]] = 1, any = true;
    });
    if (!any) return;
    // The outline: shape cells with a 4-neighbour outside the shape.
    std::vector<uint8_t>& edge = scratch.edge;
    edge.assign(cells.size(), 0);
    for (int32_t r = 0; r < h; ++r) {
        const uint8_t* row = cells.data() + size_t(r) * size_t(w);
        const uint8_t* above = r > 0 ? row - w : nullptr;
        const uint8_t* below = r + 1 < h ? row + w : nullptr;
        uint8_t* e = edge.data() + size_t(r) * size_t(w);
        for (int32_t c = 0; c < w; ++c)
            e[c] = row[c] && !(c > 0 && row[c - 1] && c + 1 < w && row[c + 1] && above && above[c] && below && below[c]);
    }
    out.homeX = x0;
    out.homeY = y0;
    out.width = w;
    out.height = h;
    out.mask = encodePieceMaskFromPixels(cells.data(), w, w, h, 1);
    out.outline = encodePieceMaskFromPixels(edge.data(), w, w, h, 1);
}

}  // namespace

size_t ReducedPuzzle::bytes() const {
    size_t n = picture.hasPixels() ? size_t(picture.pitch()) * size_t(picture.height()) : 0;
    n += pieces.capacity() * sizeof(Piece);
    for (const Piece& p : pieces) n += p.mask.capacity() + p.outline.capacity() + p.renderCache.capacity();
    return n;
}

namespace {

// Makes the reduced picture's surface for `picture`; false when it cannot.
bool prepareReducedPicture(const DrawSurface& picture, ReducedPuzzle& reduced) {
    if (reduced.factor < 2 || !picture.hasPixels()) return false;
    const int32_t rw = ceilDivide(picture.width(), reduced.factor), rh = ceilDivide(picture.height(), reduced.factor);
    if (!reduced.picture.hasPixels() || reduced.picture.width() != rw || reduced.picture.height() != rh) {
        if (!reduced.picture.createLike(picture, rw, rh)) return false;
    }
    if (picture.depth() == 8) reduced.picture.copyPaletteFrom(picture, false);
    return true;
}

}  // namespace

void refreshReducedPicture(const DrawSurface& picture, ReducedPuzzle& reduced) {
    if (!prepareReducedPicture(picture, reduced)) return;
    reduceInto(picture, reduced.factor, reduced.picture);
    reduced.darkening = outlineDarkening(reduced.picture);  // a new frame may bring a new palette
}

bool buildReducedPuzzle(const PuzzleModel& model, const DrawSurface* picture, int32_t factor, ReducedPuzzle& out) {
    out.pieces.clear();
    out.picture.releasePixels();
    out.factor = 0;
    out.darkening = {};
    if (factor < 2) return false;
    const DrawSurface* source = picture && picture->hasPixels() ? picture : nullptr;
    NamedLock lock(NamedMutex::PIECE);
    const PuzzleGeometry& g = model.geometry();
    const int32_t pw = g.pictureWidth > 0 ? g.pictureWidth : (source ? source->width() : 0);
    const int32_t ph = g.pictureHeight > 0 ? g.pictureHeight : (source ? source->height() : 0);
    if (pw <= 0 || ph <= 0) return false;
    out.factor = factor;
    out.pictureWidth = pw;
    out.pictureHeight = ph;
    out.pieces.resize(size_t(model.pieceCount()));
    // Two threads share the work: a second one reduces the picture, then
    // both take the pieces in chunks. Each piece's copy is written by the
    // one thread that took it; the model is only read.
    const int32_t count = model.pieceCount();
    std::atomic<int32_t> nextChunk{0};
    auto reducePieces = [&] {
        constexpr int32_t kChunk = 64;
        PieceScratch scratch;
        for (;;) {
            const int32_t first = nextChunk.fetch_add(kChunk, std::memory_order_relaxed);
            if (first >= count) return;
            for (int32_t i = first; i < std::min(count, first + kChunk); ++i) {
                const Piece& p = model.piece(i);
                // A piece whose box leaves the picture (never cut so) gets no cells.
                if (p.homeX < 0 || p.homeY < 0 || p.width <= 0 || p.height <= 0 || p.homeX + p.width > pw ||
                    p.homeY + p.height > ph)
                    continue;
                reducePiece(p, factor, pw, ph, scratch, out.pieces[size_t(i)]);
            }
        }
    };
    const bool withPicture = source && prepareReducedPicture(*source, out);
    std::thread helper([&] {
        if (withPicture) reduceInto(*source, out.factor, out.picture);
        reducePieces();
    });
    reducePieces();
    helper.join();
    if (out.picture.hasPixels()) out.darkening = outlineDarkening(out.picture);
    return true;
}

Point reducedPlaceAt(const Piece& full, const Piece& small, int32_t factor, Point origin, int32_t x, int32_t y,
                     int32_t rotation) {
    // The picture's part covered by the reduced box, in the full mask's
    // coordinates: columns c0..c1 and rows r0..r1, inclusive.
    const int32_t c0 = small.homeX * factor - full.homeX, c1 = (small.homeX + small.width) * factor - full.homeX - 1;
    const int32_t r0 = small.homeY * factor - full.homeY, r1 = (small.homeY + small.height) * factor - full.homeY - 1;
    const int32_t w = full.width, h = full.height;
    int64_t left, top;
    switch (rotation & 3) {
        case 0: left = int64_t(x) + c0, top = int64_t(y) + r0; break;
        case 1: left = int64_t(x) + h - 1 - r1, top = int64_t(y) + c0; break;
        case 2: left = int64_t(x) + w - 1 - c1, top = int64_t(y) + h - 1 - r1; break;
        default: left = int64_t(x) + r0, top = int64_t(y) + w - 1 - c1; break;
    }
    return {floorDivide(left - origin.x, factor), floorDivide(top - origin.y, factor)};
}

Point reducedPlace(const Piece& full, const Piece& small, int32_t factor, Point origin) {
    return reducedPlaceAt(full, small, factor, origin, full.x, full.y, full.rotation);
}

}  // namespace pavalo
