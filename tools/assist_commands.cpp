// pavalo-tool find and arrange: the assist tools run on a saved puzzle.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/random.h"
#include "surface/draw_surface.h"
#include "display/picture_view_adapter.h"
#include "media/bmp.h"
#include "media/still_picture.h"
#include "media/picture_probe.h"
#include "puzzle/assist_tools.h"
#include "puzzle/saved_puzzle.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

constexpr int32_t kPlayWidth = 1920, kPlayHeight = 1080;
constexpr ListId kSearchOrder[] = {ListId::Main, ListId::Box1, ListId::Box2, ListId::Box3, ListId::Box4};

int usageError(const char* command, const std::string& text) {
    std::fprintf(stderr, "pavalo-tool %s: %s\n", command, text.c_str());
    return 2;
}

int failure(const char* command, const std::string& text) {
    std::fprintf(stderr, "pavalo-tool %s: %s\n", command, text.c_str());
    return 1;
}

bool parseNumber(const std::string& text, int64_t lo, int64_t hi, int32_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    out = int32_t(v);
    return true;
}

struct Opened {
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
};

bool openPuzzle(const char* command, const std::string& path, Opened& p) {
    Random rng(millisecondTicks());
    const OpenResult r = openPuzzleFile(path, kPlayWidth, kPlayHeight, rng, p.record, p.model, p.order);
    if (!r.ok()) std::fprintf(stderr, "pavalo-tool %s: %s: %s\n", command, path.c_str(), r.message.c_str());
    return r.ok();
}

// Loads the puzzle's picture as the game would for a display of `depth`.
bool loadPicture(DrawSurface& surface, const std::string& path, int32_t depth, std::string& error) {
    const bool ok = loadStillPicture(surface, path, (probePictureFile(path, nullptr) & (kProbeJpeg | kProbePng | kProbeWebp)) != 0, depth);
    if (!ok) error = path + ": " + loadErrorText(surface.lastLoadError);
    return ok;
}

void printPieces(const std::vector<int32_t>& pieces) {
    for (int32_t p : pieces) std::printf("%d\n", p);
}

}  // namespace

int findCommand(const Args& args) {
    const char* cmd = "find";
    if (args.size() < 2) return usageError(cmd, "usage: find FILE.gvp (edges | near PIECE | color PIECE X Y) [options]");
    Opened p;
    const std::string kind = args[1];
    int32_t piece = -1, x = 0, y = 0, range = -1, threshold = 5, depth = 24, mask = kEdgeAll;
    std::string picture;
    size_t i = 2;
    if (kind == "near" || kind == "color") {
        if (i >= args.size() || !parseNumber(args[i], 0, 0xFFFE, piece)) return usageError(cmd, "a piece number is needed");
        ++i;
    }
    if (kind == "color") {
        if (i + 1 >= args.size() || !parseNumber(args[i], -100000, 100000, x) ||
            !parseNumber(args[i + 1], -100000, 100000, y))
            return usageError(cmd, "color needs the point X Y inside the piece");
        i += 2;
    } else if (kind != "edges" && kind != "near") {
        return usageError(cmd, "unknown search '" + kind + "' (edges, near or color)");
    }
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool value = i + 1 < args.size();
        if (a == "--mask" && value && kind == "edges") {
            mask = 0;
            for (char c : args[++i]) {
                switch (c) {
                    case 'T': case 't': mask |= kEdgeTop; break;
                    case 'B': case 'b': mask |= kEdgeBottom; break;
                    case 'L': case 'l': mask |= kEdgeLeft; break;
                    case 'R': case 'r': mask |= kEdgeRight; break;
                    default: return usageError(cmd, "--mask takes the letters T, B, L and R");
                }
            }
        } else if (a == "--range" && value && kind != "edges") {
            if (!parseNumber(args[++i], 1, kind == "near" ? 5 : 100, range))
                return usageError(cmd, kind == "near" ? "--range takes 1 to 5" : "--range takes 1 to 100");
        } else if (a == "--threshold" && value && kind == "color") {
            if (!parseNumber(args[++i], 1, 100, threshold)) return usageError(cmd, "--threshold takes 1 to 100");
        } else if (a == "--picture" && value && kind == "color") {
            picture = args[++i];
        } else if (a == "--depth" && value && kind == "color") {
            if (!parseNumber(args[++i], 8, 16555, depth) || (depth != 8 && depth != 16 && depth != 16555 && depth != 24))
                return usageError(cmd, "--depth takes 8, 16, 16555 or 24");
        } else {
            return usageError(cmd, "unexpected argument " + a);
        }
    }
    if (range < 0) range = 1;
    if (!openPuzzle(cmd, args[0], p)) return 1;
    if (piece >= p.model.pieceCount()) return failure(cmd, "the puzzle has no piece " + std::to_string(piece));

    std::vector<int32_t> found;
    if (kind == "edges") {
        for (ListId list : kSearchOrder) {
            const std::vector<int32_t> f = findEdgePieces(p.model, list, mask);
            found.insert(found.end(), f.begin(), f.end());
        }
    } else if (kind == "near") {
        for (ListId list : kSearchOrder) {
            const std::vector<int32_t> f = findNearbyPieces(p.model, list, piece, range);
            found.insert(found.end(), f.begin(), f.end());
        }
    } else {
        if (picture.empty()) picture = p.record.picture();
        if (picture.empty()) return failure(cmd, "the puzzle names no picture; give --picture");
        DrawSurface surface;
        std::string error;
        if (!loadPicture(surface, picture, depth, error)) return failure(cmd, error);
        if (surface.width() != p.record.pictureWidth || surface.height() != p.record.pictureHeight)
            return failure(cmd, picture + " is " + std::to_string(surface.width()) + "x" +
                                    std::to_string(surface.height()) + " but the puzzle was cut from " +
                                    std::to_string(p.record.pictureWidth) + "x" +
                                    std::to_string(p.record.pictureHeight));
        const PictureView view = pictureViewOf(surface);
        const Piece& pc = p.model.piece(piece);
        const SampleColours samples = sampleColours(p.model, view, piece, pc.x + x, pc.y + y);
        for (ListId list : kSearchOrder) {
            const std::vector<int32_t> f = findColorPieces(p.model, list, view, samples, range, threshold);
            found.insert(found.end(), f.begin(), f.end());
        }
    }
    printPieces(found);
    std::fprintf(stderr, "%zu pieces found\n", found.size());
    return 0;
}

int arrangeCommand(const Args& args) {
    const char* cmd = "arrange";
    if (args.empty()) return usageError(cmd, "usage: arrange FILE.gvp --rect L,T,R,B [--confine] --out FILE2.gvp");
    std::string out;
    bool confine = false, haveRect = false;
    int32_t r[4] = {};
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--confine") {
            confine = true;
        } else if (a == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else if (a == "--rect" && i + 1 < args.size()) {
            const std::string& text = args[++i];
            size_t start = 0;
            for (int k = 0; k < 4; ++k) {
                const size_t comma = k < 3 ? text.find(',', start) : text.size();
                if (comma == std::string::npos ||
                    !parseNumber(text.substr(start, comma - start), -1000000, 1000000, r[k]))
                    return usageError(cmd, "--rect takes L,T,R,B");
                start = comma + 1;
            }
            if (r[2] <= r[0] || r[3] <= r[1]) return usageError(cmd, "--rect must have R > L and B > T");
            haveRect = true;
        } else {
            return usageError(cmd, "unexpected argument " + a);
        }
    }
    if (!haveRect || out.empty()) return usageError(cmd, "--rect and --out are required");
    Opened p;
    if (!openPuzzle(cmd, args[0], p)) return 1;
    // The rectangle is picture-relative, like the positions in the file.
    Rect area{p.model.toPlayX(r[0]), p.model.toPlayY(r[1]), p.model.toPlayX(r[2]), p.model.toPlayY(r[3])};
    const Rect before = area;
    const int n = arrangeGroups(p.model, ListId::Main, area, confine);
    std::string error;
    if (!savePuzzleFile(out, p.record, p.model, error)) return failure(cmd, error);
    std::printf("%d pieces arranged", n);
    if (!(area == before))
        std::printf("; the area moved to %d,%d,%d,%d", p.model.toPictureX(area.left), p.model.toPictureY(area.top),
                    p.model.toPictureX(area.right), p.model.toPictureY(area.bottom));
    std::printf("\n");
    return 0;
}

}  // namespace pavalo::tool
