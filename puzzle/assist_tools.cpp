// The assist tools' walks over the piece lists: finds, colour matching,
// arranging in rows and the solve operations.
#include "puzzle/assist_tools.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/named_mutex.h"
#include "puzzle/piece_mask.h"

namespace pavalo {
namespace {

struct PieceLock {
    NamedLock lock{NamedMutex::PIECE};
};

// Appends every member of a group in member order.
void collectGroup(const PuzzleModel& model, int32_t g, std::vector<int32_t>& out) {
    model.forEachMember(g, [&](int32_t m) { out.push_back(m); });
}

// Collects every group of the list (head to tail) for which `matches` is
// true of at least one member; the member walk stops at the first match.
template <class Match>
std::vector<int32_t> collectGroupsWhere(const PuzzleModel& model, ListId list, Match&& matches) {
    std::vector<int32_t> found;
    model.forEachGroup(list, [&](int32_t g) {
        for (int32_t m = model.groupNode(g).firstMember; m != kNone; m = model.member(m).next) {
            if (matches(m)) {
                collectGroup(model, g, found);
                return;
            }
        }
    });
    return found;
}

uint32_t readPixel(const PictureView& picture, int32_t x, int32_t y) {
    const uint8_t* p = picture.at(x, y);
    switch (picture.depth) {
        case 8: return p[0];
        case 16: return uint32_t(p[0]) | uint32_t(p[1]) << 8;
        case 24: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        default: return 0;
    }
}

struct Fields16 {
    int32_t red, green, blue;
};
Fields16 fields16(uint32_t word, bool is555) {
    if (is555) return {int32_t(word >> 10 & 31), int32_t(word >> 5 & 31), int32_t(word & 31)};
    return {int32_t(word >> 11 & 31), int32_t(word >> 5 & 63), int32_t(word & 31)};
}

int32_t square(int32_t v) { return v * v; }

constexpr int64_t kPrefetchRows = 4;

// The largest r with r * r <= v (v >= 0).
int32_t integerRoot(int32_t v) {
    int32_t r = int32_t(std::sqrt(double(v)));
    while (r > 0 && r * r > v) --r;
    while ((r + 1) * (r + 1) <= v) ++r;
    return r;
}

// Sets bits base + from .. base + to (inclusive) of a bit table.
void setBitRun(std::vector<uint64_t>& bits, uint32_t base, int32_t from, int32_t to) {
    for (uint32_t i = base + uint32_t(from), end = base + uint32_t(to) + 1; i < end;) {
        const uint32_t bit = i & 63;
        const uint32_t span = std::min<uint32_t>(64 - bit, end - i);
        const uint64_t mask = span == 64 ? ~uint64_t(0) : ((uint64_t(1) << span) - 1) << bit;
        bits[i >> 6] |= mask;
        i += span;
    }
}

}  // namespace

// ------------------------------------------------------------------ finding

std::vector<int32_t> findEdgePieces(const PuzzleModel& model, ListId list, int mask) {
    PieceLock lock;
    const int32_t cols = model.columns(), rows = model.rows();
    if (cols <= 0 || rows <= 0) return {};
    return collectGroupsWhere(model, list, [&](int32_t p) {
        const int32_t r = p / cols, c = p % cols;
        return ((mask & kEdgeTop) && r == 0) || ((mask & kEdgeBottom) && r == rows - 1) ||
               ((mask & kEdgeLeft) && c == 0) || ((mask & kEdgeRight) && c == cols - 1);
    });
}

std::vector<int32_t> findNearbyPieces(const PuzzleModel& model, ListId list, int32_t piece,
                                      int range) {
    PieceLock lock;
    const int32_t cols = model.columns(), rows = model.rows();
    if (cols <= 0 || rows <= 0 || !model.validPiece(piece)) return {};
    range = std::max(range, 0);
    const int32_t c = piece % cols, r = piece / cols;
    const int32_t left = std::max(c - range, 0), right = std::min(c + range, cols - 1);
    const int32_t top = std::max(r - range, 0), bottom = std::min(r + range, rows - 1);
    return collectGroupsWhere(model, list, [&](int32_t p) {
        const int32_t pr = p / cols, pc = p % cols;
        return pc >= left && pc <= right && pr >= top && pr <= bottom;
    });
}

SampleColours sampleColours(const PuzzleModel& model, const PictureView& picture, int32_t piece,
                            int32_t x, int32_t y) {
    PieceLock lock;
    SampleColours samples{};
    if (!model.validPiece(piece) || !picture.valid() || picture.depth == 32) return samples;
    const Piece& p = model.piece(piece);
    const int32_t ox = x - p.x, oy = y - p.y;  // the point inside the drawn box
    int i = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx, ++i) {
            const int32_t px = ox + dx, py = oy + dy;
            if (px < 0 || py < 0 || px >= p.drawnWidth() || py >= p.drawnHeight()) continue;
            // Back to the upright box: the same turn the mask test makes.
            int32_t c, r;
            switch (p.rotation & 3) {
                case 0: c = px; r = py; break;
                case 1: c = py; r = p.height - 1 - px; break;
                case 2: c = p.width - 1 - px; r = p.height - 1 - py; break;
                default: c = p.width - 1 - py; r = px; break;
            }
            const int64_t sx = int64_t(p.homeX) + c, sy = int64_t(p.homeY) + r;
            if (sx < 0 || sy < 0 || sx >= picture.width || sy >= picture.height) continue;
            samples[size_t(i)] = readPixel(picture, int32_t(sx), int32_t(sy));
        }
    }
    return samples;
}

ColourMatcher::ColourMatcher(const PictureView& picture, const SampleColours& samples,
                             int colourRange)
    : picture_(picture), depth_(picture.valid() ? picture.depth : 0) {
    const int32_t range = std::clamp(colourRange, 0, 100);
    switch (depth_) {
        case 24: {
            limit_ = range * 12288 / 100;
            // Every colour within the limit of a sample is marked in a
            // table of 2^24 bits, a run of red values at a time, so that a
            // pixel then costs one look-up whatever the range.
            bits24_.assign(size_t(1) << 18, 0);
            SampleColours distinct = samples;
            std::sort(distinct.begin(), distinct.end());
            const auto last = std::unique(distinct.begin(), distinct.end());
            for (auto s = distinct.begin(); s != last; ++s) {
                const int32_t sb = int32_t(*s & 0xFF), sg = int32_t(*s >> 8 & 0xFF), sr = int32_t(*s >> 16 & 0xFF);
                const int32_t reachB = integerRoot(limit_);
                for (int32_t b = std::max(sb - reachB, 0); b <= std::min(sb + reachB, 255); ++b) {
                    const int32_t restB = limit_ - square(b - sb);
                    const int32_t reachG = integerRoot(restB);
                    for (int32_t g = std::max(sg - reachG, 0); g <= std::min(sg + reachG, 255); ++g) {
                        const int32_t reachR = integerRoot(restB - square(g - sg));
                        setBitRun(bits24_, uint32_t(b) << 16 | uint32_t(g) << 8, std::max(sr - reachR, 0),
                                  std::min(sr + reachR, 255));
                    }
                }
            }
            break;
        }
        case 16: {
            limit_ = range * 147 / 100;
            const int32_t greenFactor = picture.is555 ? 4 : 2;
            Fields16 f[9];
            for (size_t s = 0; s < samples.size(); ++s) f[s] = fields16(samples[s] & 0xFFFF, picture.is555);
            flags16_.assign(65536, 0);
            for (uint32_t w = 0; w < 65536; ++w) {
                const Fields16 v = fields16(w, picture.is555);
                for (const Fields16& s : f) {
                    if (square(4 * (v.red - s.red)) + square(greenFactor * (v.green - s.green)) +
                            square(4 * (v.blue - s.blue)) <=
                        limit_) {
                        flags16_[w] = 1;
                        break;
                    }
                }
            }
            break;
        }
        case 8:
            limit_ = range * 12288 / 100;
            for (int32_t i = 0; i < 256; ++i) {
                const PictureRgb& c = picture.palette[size_t(i)];
                for (uint32_t s : samples) {
                    const PictureRgb& sc = picture.palette[s & 0xFF];
                    if (square(c.red - sc.red) + square(c.green - sc.green) + square(c.blue - sc.blue) <=
                        limit_) {
                        flags8_[size_t(i)] = 1;
                        break;
                    }
                }
            }
            break;
        default:
            depth_ = 0;
            break;
    }
}

bool ColourMatcher::close24(const uint8_t* p) const {
    const uint32_t colour = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    return (bits24_[colour >> 6] >> (colour & 63) & 1) != 0;
}

bool ColourMatcher::close(uint32_t pixel) const {
    switch (depth_) {
        case 8: return flags8_[pixel & 0xFF] != 0;
        case 16: return flags16_[pixel & 0xFFFF] != 0;
        case 24: {
            const uint8_t bytes[3] = {uint8_t(pixel), uint8_t(pixel >> 8), uint8_t(pixel >> 16)};
            return close24(bytes);
        }
        default: return false;
    }
}

int ColourMatcher::score(const Piece& piece) const {
    int64_t total = 0, matches = 0;
    const bool readable = depth_ != 0;
    forEachMaskRun(piece.mask, [&](int x, int y, int length, bool opaque) {
        if (!opaque) return;
        total += length;
        if (!readable) return;
        // Only the part of the run that lies on the picture can match.
        const int64_t py = int64_t(piece.homeY) + y;
        if (py < 0 || py >= picture_.height) return;
        const int64_t x0 = std::max<int64_t>(int64_t(piece.homeX) + x, 0);
        const int64_t x1 = std::min<int64_t>(int64_t(piece.homeX) + x + length, picture_.width);
        if (x0 >= x1) return;
        const uint8_t* p = picture_.at(int32_t(x0), int32_t(py));
        const int64_t n = x1 - x0;
        // Rows of a piece lie a whole picture row apart, each on its own
        // memory page for wide pictures; asking for a later row early hides
        // most of the wait for it.
        if (py + kPrefetchRows < picture_.height) __builtin_prefetch(p + kPrefetchRows * int64_t(picture_.pitch));
        int64_t hits = 0;
        switch (depth_) {
            case 8:
                for (int64_t i = 0; i < n; ++i) hits += flags8_[p[i]];
                break;
            case 16:
                for (int64_t i = 0; i < n; ++i) {
                    uint16_t w;
                    std::memcpy(&w, p + 2 * i, 2);
                    hits += flags16_[w];
                }
                break;
            case 24:
                for (int64_t i = 0; i < n; ++i, p += 3) hits += close24(p) ? 1 : 0;
                break;
            default:
                break;
        }
        matches += hits;
    });
    if (total == 0) return 0;
    return int(double(matches) / double(total) * 100.0);
}

int colorMatchScore(const PictureView& picture, const SampleColours& samples, int colourRange,
                    const Piece& piece) {
    return ColourMatcher(picture, samples, colourRange).score(piece);
}

std::vector<int32_t> findColorPieces(const PuzzleModel& model, ListId list,
                                     const PictureView& picture, const SampleColours& samples,
                                     int colourRange, int threshold,
                                     const SearchProgress& progress) {
    PieceLock lock;
    const ColourMatcher matcher(picture, samples, colourRange);
    return collectGroupsWhere(model, list, [&](int32_t p) {
        const bool match = matcher.score(model.piece(p)) >= threshold;
        if (progress) progress();
        return match;
    });
}

// ---------------------------------------------------------------- arranging

namespace {

// The slot walk shared by the three arrange operations; `firsts` names one
// piece of each group to place, in placing order.
int layOutGroups(PuzzleModel& model, ListId list, Rect& area, bool confine,
                 const std::vector<int32_t>& firsts) {
    int32_t slotX = area.left + 10, slotY = area.top + 10;
    auto slideArea = [&](int32_t w, int32_t h) {
        area.left += w / 2;
        area.top += h / 2;
        slotX = area.left + 10;
        slotY = area.top + 10;
    };
    int placed = 0;
    for (int32_t first : firsts) {
        Rect box;
        if (!model.getPieceRect(list, first, box, true)) continue;
        const int32_t w = box.width(), h = box.height();
        if (slotX + w + 5 > area.right - 10) {
            slotX = area.left + 10;
            slotY += h + 5;
            if (slotY + h + 5 > area.bottom - 10 && !confine) slideArea(w, h);
        }
        const Piece& p = model.piece(first);
        model.moveGroup(list, first, p.x + (slotX - box.left), p.y + (slotY - box.top));
        placed += model.groupNode(model.member(first).group).pieceCount;
        slotX += w + 5;
        if (slotX > area.right - 10) {
            slotX = area.left + 10;
            slotY += h;  // no gap on this wrap
            if (slotY + h + 5 > area.bottom - 10 && !confine) slideArea(w, h);
        }
    }
    return placed;
}

template <class Want>
std::vector<int32_t> groupFirsts(const PuzzleModel& model, ListId list, Want&& want) {
    std::vector<int32_t> firsts;
    model.forEachGroup(list, [&](int32_t g) {
        const int32_t first = model.groupNode(g).firstMember;
        if (first != kNone && want(first)) firsts.push_back(first);
    });
    return firsts;
}

}  // namespace

int arrangeGroups(PuzzleModel& model, ListId list, Rect& area, bool confine) {
    PieceLock lock;
    return layOutGroups(model, list, area, confine, groupFirsts(model, list, [](int32_t) { return true; }));
}

int arrangeSelected(PuzzleModel& model, ListId list, Rect& area, bool confine) {
    PieceLock lock;
    return layOutGroups(model, list, area, confine,
                        groupFirsts(model, list, [&](int32_t first) { return model.member(first).selected != 0; }));
}

int arrangePlayerGroups(PuzzleModel& model, int player, ListId list, Rect& area, bool confine,
                        std::span<const int32_t> order) {
    PieceLock lock;
    std::vector<int32_t> firsts;
    std::vector<uint8_t> visited(size_t(model.pieceCount()), 0);
    for (int32_t p : order) {
        const int32_t g = model.findGroupOfPiece(list, p);
        if (g == kNone || visited[size_t(g)] || model.holders().holderOf(p) != player) continue;
        visited[size_t(g)] = 1;
        firsts.push_back(model.groupNode(g).firstMember);
    }
    return layOutGroups(model, list, area, confine, firsts);
}

// ----------------------------------------------------------------- selection

std::vector<int32_t> LocalPieceSelector::select(PuzzleModel& model, ListId list,
                                                std::span<const int32_t> pieces) {
    PieceLock lock;
    std::vector<int32_t> selected;
    selected.reserve(pieces.size());
    for (int32_t p : pieces) {
        if (model.findGroupOfPiece(list, p) == kNone) continue;
        model.setGroupSelected(list, p, true);
        selected.push_back(p);
    }
    return selected;
}

// ------------------------------------------------------------------- solving

Rect solvedBox(const PuzzleModel& model, int32_t piece, int32_t dx, int32_t dy) {
    const PuzzleGeometry& g = model.geometry();
    const Piece& p = model.piece(piece);
    const int32_t x = g.playWidth / 2 - g.pictureWidth / 2 + dx + p.homeX;
    const int32_t y = g.playHeight / 2 - g.pictureHeight / 2 + dy + p.homeY;
    return {x, y, x + p.width, y + p.height};
}

int solveInRect(PuzzleModel& model, ListId list, const Rect& rect, int32_t dx, int32_t dy) {
    PieceLock lock;
    const std::vector<int32_t> firsts = groupFirsts(model, list, [&](int32_t first) {
        for (int32_t m = first; m != kNone; m = model.member(m).next)
            if (solvedBox(model, m, dx, dy).intersects(rect)) return true;
        return false;
    });
    int placed = 0;
    for (int32_t first : firsts) placed += model.solvePiece(list, first, dx, dy);
    return placed;
}

std::vector<int32_t> findSolvedInRect(const PuzzleModel& model, ListId list, const Rect& rect) {
    PieceLock lock;
    const PuzzleGeometry& g = model.geometry();
    return collectGroupsWhere(model, list, [&](int32_t p) {
        return solvedBox(model, p, g.offsetX, g.offsetY).intersects(rect);
    });
}

int selectSolvedInRect(PuzzleModel& model, ListId list, Rect& rect, PieceSelector& selector) {
    const std::vector<int32_t> found = findSolvedInRect(model, list, rect);
    if (found.empty()) return 0;
    const std::vector<int32_t> selected = selector.select(model, list, found);
    PieceLock lock;
    for (int32_t p : selected)
        if (model.validPiece(p)) rect.unite(model.piece(p).box());
    return int(selected.size());
}

Rect assembledPictureRect(const PuzzleModel& model) {
    const PuzzleGeometry& g = model.geometry();
    return {model.toPlayX(0), model.toPlayY(0), model.toPlayX(g.pictureWidth),
            model.toPlayY(g.pictureHeight)};
}

int32_t pieceOfSolvedCell(const PuzzleModel& model, int32_t x, int32_t y) {
    PieceLock lock;
    const PuzzleGeometry& g = model.geometry();
    const int32_t cols = model.columns(), rows = model.rows();
    const Rect picture = assembledPictureRect(model);
    if (cols <= 0 || rows <= 0 || !picture.contains(x, y)) return kNone;
    // Cells are picture width / columns wide as a real number.
    const int64_t c = int64_t(x - picture.left) * cols / g.pictureWidth;
    const int64_t r = int64_t(y - picture.top) * rows / g.pictureHeight;
    const int64_t piece = r * cols + c;
    return model.validPiece(int32_t(piece)) ? int32_t(piece) : kNone;
}

bool solveSpaceAvailable(const PuzzleModel& model, int32_t x, int32_t y) {
    PieceLock lock;
    return model.hasPuzzle() && assembledPictureRect(model).contains(x, y) &&
           model.findPieceAtPoint(ListId::Finished, x, y) == kNone;
}

int solvePieceAnywhere(PuzzleModel& model, int32_t piece) {
    PieceLock lock;
    static constexpr ListId kLookIn[] = {ListId::Main, ListId::Box1, ListId::Box2, ListId::Box3,
                                         ListId::Box4};
    const PuzzleGeometry& g = model.geometry();
    for (ListId list : kLookIn)
        if (model.findGroupOfPiece(list, piece) != kNone)
            return model.solvePiece(list, piece, g.offsetX, g.offsetY);
    return 0;
}

int solveThisSpace(PuzzleModel& model, int32_t x, int32_t y) {
    PieceLock lock;
    if (!solveSpaceAvailable(model, x, y)) return 0;
    const int32_t piece = pieceOfSolvedCell(model, x, y);
    return piece == kNone ? 0 : solvePieceAnywhere(model, piece);
}

int solveArea(PuzzleModel& model, int32_t x, int32_t y, int radius) {
    PieceLock lock;
    const int32_t centre = pieceOfSolvedCell(model, x, y);
    if (centre == kNone) return 0;
    const int32_t cols = model.columns(), rows = model.rows();
    radius = std::max(radius, 0);
    const int32_t c = centre % cols, r = centre / cols;
    int placed = 0;
    for (int32_t row = std::max(r - radius, 0); row <= std::min(r + radius, rows - 1); ++row)
        for (int32_t col = std::max(c - radius, 0); col <= std::min(c + radius, cols - 1); ++col)
            placed += solvePieceAnywhere(model, row * cols + col);
    return placed;
}

// ---------------------------------------------------------------- select all

Rect selectAllRect(const PuzzleModel& model) {
    PieceLock lock;
    int32_t largest = 0;
    for (const Piece& p : model.pieces()) largest = std::max({largest, p.width, p.height});
    const int32_t margin = 6 * largest;
    const PuzzleGeometry& g = model.geometry();
    return {-margin, -margin, g.playWidth + margin, g.playHeight + margin};
}

std::vector<int32_t> piecesOfGroupsInside(const PuzzleModel& model, ListId list, const Rect& rect) {
    PieceLock lock;
    std::vector<int32_t> found;
    model.forEachGroup(list, [&](int32_t g) {
        if (model.groupNode(g).firstMember == kNone) return;
        const Rect box = model.groupRect(g);
        if (box.left >= rect.left && box.top >= rect.top && box.right <= rect.right &&
            box.bottom <= rect.bottom)
            collectGroup(model, g, found);
    });
    return found;
}

std::vector<int32_t> allPiecesOf(const PuzzleModel& model, ListId list) {
    PieceLock lock;
    std::vector<int32_t> found;
    model.forEachGroup(list, [&](int32_t g) { collectGroup(model, g, found); });
    return found;
}

}  // namespace pavalo
