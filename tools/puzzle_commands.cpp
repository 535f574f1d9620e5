// pavalo-tool cut and info: cutting a puzzle headlessly and describing a
// saved puzzle.
#include <cstdio>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "common/random.h"
#include "media/movie_player.h"
#include "media/picture_probe.h"
#include "puzzle/cutter.h"
#include "puzzle/joining.h"
#include "puzzle/piece_count.h"
#include "puzzle/saved_puzzle.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

bool parseInt(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0') return false;
    out = v;
    return true;
}

// "WxH" or "CxR": two positive numbers.
bool parsePair(const std::string& text, int32_t& a, int32_t& b) {
    size_t x = text.find('x');
    int64_t va, vb;
    if (x == std::string::npos || !parseInt(text.substr(0, x), va) || !parseInt(text.substr(x + 1), vb))
        return false;
    if (va <= 0 || vb <= 0 || va > 1000000 || vb > 1000000) return false;
    a = int32_t(va);
    b = int32_t(vb);
    return true;
}

uint32_t pictureKindForPath(const std::string& path) {
    std::string ext;
    size_t dot = path.rfind('.');
    if (dot != std::string::npos)
        for (char c : path.substr(dot + 1)) ext += char(std::tolower(static_cast<unsigned char>(c)));
    // PNG and WebP pictures are recorded as kind 1, as the game does.
    if (ext == "jpg" || ext == "jpeg" || ext == "png" || ext == "webp") return kPictureJpeg;
    if (ext == "wda") return kPictureWda;
    if (isMovieFileName(path)) return kPictureMovie;
    return kPictureBmp;
}

int usageError(const char* text) {
    std::fprintf(stderr, "pavalo-tool cut: %s\n", text);
    return 2;
}

}  // namespace

bool pictureSizeOfFile(const std::string& path, int32_t& width, int32_t& height, std::string& error) {
    if (isMovieFileName(path)) {
        // A movie is cut at the size of its frames, as the game cuts it from the first.
        MovieDecoder movie;
        const MovieError opened = movie.open(path, 24);
        if (opened != MovieError::None) {
            error = path + ": " + movieErrorText(opened);
            return false;
        }
        width = movie.info().width;
        height = movie.info().height;
        return true;
    }
    if (probePictureSize(path, width, height)) return true;
    error = "cannot read the picture " + path;
    return false;
}

int cutCommand(const Args& args) {
    std::string picture, out;
    int32_t width = 0, height = 0, cols = 0, rows = 0, playW = 1920, playH = 1080;
    int64_t pieces = 0, seed = -1;
    bool rotate = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--rotate") {
            rotate = true;
        } else if (!hasValue) {
            return usageError(("missing value after " + a).c_str());
        } else if (a == "--picture") {
            picture = args[++i];
        } else if (a == "--size") {
            if (!parsePair(args[++i], width, height)) return usageError("--size takes WxH");
        } else if (a == "--pieces") {
            if (!parseInt(args[++i], pieces) || pieces <= 0) return usageError("--pieces takes a count");
        } else if (a == "--grid") {
            if (!parsePair(args[++i], cols, rows)) return usageError("--grid takes CxR");
        } else if (a == "--seed") {
            if (!parseInt(args[++i], seed) || seed < 0 || seed > 0xffffffffLL)
                return usageError("--seed takes a number from 0 to 4294967295");
        } else if (a == "--play-area") {
            if (!parsePair(args[++i], playW, playH)) return usageError("--play-area takes WxH");
        } else if (a == "--out") {
            out = args[++i];
        } else {
            return usageError(("unknown option " + a).c_str());
        }
    }
    if (out.empty()) return usageError("--out FILE.gvp is required");
    if (picture.empty() == (width == 0)) return usageError("give either --picture or --size");
    if ((pieces == 0) == (cols == 0)) return usageError("give either --pieces or --grid");
    if (!picture.empty()) {
        std::string error;
        if (!pictureSizeOfFile(picture, width, height, error)) {
            std::fprintf(stderr, "pavalo-tool cut: %s\n", error.c_str());
            return 1;
        }
    }
    if (pieces > 0) {
        Grid g = PieceCountRules(width, height).gridForTarget(int32_t(std::min<int64_t>(pieces, kMaxPuzzlePieces)));
        cols = g.columns;
        rows = g.rows;
    }

    Random& rng = processRandom();
    rng.seed(seed >= 0 ? uint32_t(seed) : millisecondTicks());
    CutRequest request{width, height, cols, rows, playW, playH, rotate};
    PuzzleModel model;
    std::vector<int32_t> order;
    std::string error;
    if (!runCutSequence(request, rng, model, order, error)) {
        std::fprintf(stderr, "pavalo-tool cut: %s\n", error.c_str());
        return 1;
    }
    SettingsRecord record;
    record.pictureKind = picture.empty() ? kPictureBmp : pictureKindForPath(picture);
    resetForNewPuzzle(record, 0, picture, playW, width, height);
    record.rotationOption = rotate ? 1 : 0;
    if (!savePuzzleFile(out, record, model, error)) {
        std::fprintf(stderr, "pavalo-tool cut: %s\n", error.c_str());
        return 1;
    }
    std::printf("%d pieces (%d columns x %d rows) of a %dx%d picture written to %s\n",
                model.pieceCount(), cols, rows, width, height, out.c_str());
    return 0;
}

int infoCommand(const Args& args) {
    const bool listPieces = args.size() == 2 && args[1] == "--pieces";
    if (args.size() != 1 && !listPieces) {
        std::fprintf(stderr, "usage: pavalo-tool info FILE.gvp [--pieces]\n");
        return 2;
    }
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
    Random rng(0);
    OpenResult r = openPuzzleFile(args[0], 1920, 1080, rng, record, model, order);
    if (!r.ok()) {
        std::fprintf(stderr, "%s: %s\n", args[0].c_str(), r.message.c_str());
        return 1;
    }
    std::printf("picture:         %s\n", record.picture().c_str());
    std::printf("picture kind:    %u\n", record.pictureKind);
    std::printf("picture size:    %d x %d\n", record.pictureWidth, record.pictureHeight);
    std::printf("grid:            %d columns x %d rows\n", record.columns, record.rows);
    std::printf("pieces:          %d\n", model.pieceCount());
    std::printf("snap tolerance:  %d\n", record.snapTolerance);
    std::printf("assembly offset: %d, %d\n", record.assemblyOffsetX, record.assemblyOffsetY);
    std::printf("rotation option: %s\n", record.rotationOption ? "on" : "off");
    std::printf("puzzle state:    %u\n", record.puzzleState);
    std::printf("network game:    %u\n", record.networkGame);
    for (int li = 0; li < 6; ++li) {
        ListId list = static_cast<ListId>(li);
        std::printf("%-9s list:  %d groups, %d pieces, %d selected\n", listName(list),
                    model.countListGroups(list), model.countListPieces(list),
                    model.countSelectedPieces(list));
    }
    if (listPieces) {
        std::printf("piece  list      group  x      y      rot  homeX  homeY  width  height\n");
        for (int32_t i = 0; i < model.pieceCount(); ++i) {
            const Piece& p = model.piece(i);
            const ListId list = model.listOfPiece(i);
            const int32_t g = model.findGroupOfPiece(list, i);
            std::printf("%-6d %-9s %-6d %-6d %-6d %-4d %-6d %-6d %-6d %d\n", i, listName(list),
                        g == kNone ? -1 : model.groupNode(g).groupNumber, model.toPictureX(p.x),
                        model.toPictureY(p.y), p.rotation, p.homeX, p.homeY, p.width, p.height);
        }
    }
    std::string why;
    if (!model.checkInvariants(&why)) {
        std::printf("consistency:     FAILED (%s)\n", why.c_str());
        return 1;
    }
    std::printf("consistency:     ok\n");
    return 0;
}

}  // namespace pavalo::tool

namespace pavalo::tool {
namespace {

struct OpenedPuzzle {
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
};

bool openForTool(const std::string& path, OpenedPuzzle& p) {
    Random rng(millisecondTicks());
    OpenResult r = openPuzzleFile(path, 1920, 1080, rng, p.record, p.model, p.order);
    if (!r.ok()) std::fprintf(stderr, "%s: %s\n", path.c_str(), r.message.c_str());
    return r.ok();
}

bool saveForTool(const std::string& path, const OpenedPuzzle& p) {
    std::string error;
    if (savePuzzleFile(path, p.record, p.model, error)) return true;
    std::fprintf(stderr, "pavalo-tool: %s\n", error.c_str());
    return false;
}

// Runs the completion check and says how far the puzzle is.
void reportCompletion(OpenedPuzzle& p) {
    CompletionActions none;
    Random rng(millisecondTicks());
    checkPuzzleCompletion(p.model, p.record.puzzleState, false, none, rng);
    const int32_t placed = p.model.countListPieces(ListId::Finished);
    if (p.record.puzzleState == kPuzzleStateCompleted)
        std::printf("the puzzle is complete\n");
    else
        std::printf("%d of %d pieces in place\n", placed, p.model.pieceCount());
}

// Prints each outcome of a drop as the network layer would receive it.
class PrintingReporter final : public DropReporter {
public:
    void reportJoin(int, int32_t piece, int32_t group, ListId list) override {
        std::printf("join: piece %d joined group %d in the %s list\n", piece, group, listName(list));
    }
    void reportPlacement(int, int32_t piece, int32_t count) override {
        std::printf("placed: piece %d and its group of %d in the finished picture\n", piece, count);
    }
    void reportDrop(int, int32_t piece) override { std::printf("dropped: piece %d joined nothing\n", piece); }
};

bool parsePieceList(const std::string& text, int32_t n, std::vector<int32_t>& out) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        int64_t v;
        if (!parseInt(text.substr(start, comma - start), v) || v < 0 || v >= n) return false;
        out.push_back(int32_t(v));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

}  // namespace

int solveCommand(const Args& args) {
    std::string in, out, pieces;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) out = args[++i];
        else if (args[i] == "--pieces" && i + 1 < args.size()) pieces = args[++i];
        else if (in.empty() && args[i].rfind("--", 0) != 0) in = args[i];
        else in.clear(), out.clear(), i = args.size();
    }
    if (in.empty() || out.empty()) {
        std::fprintf(stderr, "usage: pavalo-tool solve FILE.gvp --out FILE2.gvp [--pieces a,b,...]\n");
        return 2;
    }
    OpenedPuzzle p;
    if (!openForTool(in, p)) return 1;
    std::vector<int32_t> chosen;
    if (pieces.empty()) {
        for (int32_t i = 0; i < p.model.pieceCount(); ++i) chosen.push_back(i);
    } else if (!parsePieceList(pieces, p.model.pieceCount(), chosen)) {
        std::fprintf(stderr, "pavalo-tool solve: --pieces takes piece numbers from 0 to %d\n",
                     p.model.pieceCount() - 1);
        return 2;
    }
    const PuzzleGeometry& g = p.model.geometry();
    for (int32_t piece : chosen) p.model.solvePiece(p.model.listOfPiece(piece), piece, g.offsetX, g.offsetY);
    reportCompletion(p);
    return saveForTool(out, p) ? 0 : 1;
}

int dropCommand(const Args& args) {
    int64_t piece, x, y;
    std::string out;
    if (args.size() != 6 || args[4] != "--out" || !parseInt(args[1], piece) || !parseInt(args[2], x) ||
        !parseInt(args[3], y)) {
        std::fprintf(stderr, "usage: pavalo-tool drop FILE.gvp PIECE X Y --out FILE2.gvp\n");
        return 2;
    }
    out = args[5];
    OpenedPuzzle p;
    if (!openForTool(args[0], p)) return 1;
    if (piece < 0 || piece >= p.model.pieceCount() || x < -(1 << 20) || x > (1 << 20) ||
        y < -(1 << 20) || y > (1 << 20)) {
        std::fprintf(stderr, "pavalo-tool drop: no such piece or position\n");
        return 2;
    }
    if (p.model.listOfPiece(int32_t(piece)) != ListId::Main) {
        std::fprintf(stderr, "pavalo-tool drop: piece %lld is not on the play area\n", (long long)piece);
        return 1;
    }
    PrintingReporter reporter;
    DropResult r = dropGroup(p.model, int32_t(piece), int32_t(x), int32_t(y), 0, reporter);
    if (r.placed) reportCompletion(p);
    return saveForTool(out, p) ? 0 : 1;
}

}  // namespace pavalo::tool
