// pavalo-tool cut and info: cutting a puzzle headlessly and describing a
// saved puzzle.
#include <cstdio>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "common/random.h"
#include "media/picture_probe.h"
#include "puzzle/cutter.h"
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
    if (ext == "jpg" || ext == "jpeg") return kPictureJpeg;
    if (ext == "wda") return kPictureWda;
    if (ext == "avi" || ext == "mpg" || ext == "mpeg") return kPictureMovie;
    return kPictureBmp;
}

int usageError(const char* text) {
    std::fprintf(stderr, "pavalo-tool cut: %s\n", text);
    return 2;
}

}  // namespace

bool pictureSizeOfFile(const std::string& path, int32_t& width, int32_t& height, std::string& error) {
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
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: pavalo-tool info FILE.gvp\n");
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
    std::string why;
    if (!model.checkInvariants(&why)) {
        std::printf("consistency:     FAILED (%s)\n", why.c_str());
        return 1;
    }
    std::printf("consistency:     ok\n");
    return 0;
}

}  // namespace pavalo::tool
