// pavalo-tool render: composes a saved puzzle's play area as the game shows
// it and writes it as a BMP.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/random.h"
#include "display/compositor.h"
#include "surface/display_modes.h"
#include "media/bmp.h"
#include "media/picture_probe.h"
#include "puzzle/saved_puzzle.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

struct RenderOptions {
    std::string puzzle, picture, out;
    int32_t playWidth = 1920, playHeight = 1080;
    int32_t depth = 24;
    int32_t zoom = 0;
    bool assembled = false;
    bool outlines = true;
};

bool parseRenderOptions(const Args& args, RenderOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--assembled") {
            o.assembled = true;
        } else if (a == "--no-outlines") {
            o.outlines = false;
        } else if (a == "--picture" && hasValue) {
            o.picture = args[++i];
        } else if (a == "--out" && hasValue) {
            o.out = args[++i];
        } else if (a == "--play-area" && hasValue) {
            if (std::sscanf(args[++i].c_str(), "%dx%d", &o.playWidth, &o.playHeight) != 2 || o.playWidth < 16 ||
                o.playHeight < 16 || o.playWidth > 16384 || o.playHeight > 16384)
                return false;
        } else if (a == "--depth" && hasValue) {
            o.depth = std::atoi(args[++i].c_str());
            if (o.depth != 8 && o.depth != 16 && o.depth != 24) return false;
        } else if (a == "--zoom" && hasValue) {
            o.zoom = std::atoi(args[++i].c_str());
            if (o.zoom < 0 || o.zoom > 3) return false;
        } else if (o.puzzle.empty() && a.rfind("--", 0) != 0) {
            o.puzzle = a;
        } else {
            return false;
        }
    }
    return !o.puzzle.empty() && !o.out.empty();
}

// Loads the picture at the wanted depth, converting a BMP when its own depth
// differs.
bool loadPictureAt(const std::string& path, int32_t depth, DrawSurface& picture) {
    if (!(probePictureFile(path, nullptr) & kProbeBmp)) return loadStillPicture(picture, path, depth);
    DrawSurface file;
    if (!loadBmpFile(file, path)) return false;
    if (file.depth() == depth) return picture.create(file.width(), file.height(), depth) &&
                                      picture.copyPaletteFrom(file, false) && picture.copyBitmap(file, 0, 0);
    if (depth == 8) return picture.ditherFrom24(file);
    return picture.create(file.width(), file.height(), depth) && picture.copyBitmap(file, 0, 0);
}

}  // namespace

int renderCommand(const Args& args) {
    RenderOptions o;
    if (!parseRenderOptions(args, o)) {
        std::fprintf(stderr,
                     "usage: pavalo-tool render FILE.gvp [--picture P] --out OUT.bmp [--play-area WxH]\n"
                     "       [--depth 8|16|24] [--zoom 0-3] [--assembled] [--no-outlines]\n");
        return 2;
    }
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
    Random rng(1);
    OpenResult r = openPuzzleFile(o.puzzle, o.playWidth, o.playHeight, rng, record, model, order);
    if (!r.ok()) {
        std::fprintf(stderr, "%s: %s\n", o.puzzle.c_str(), r.message.c_str());
        return 1;
    }
    if (o.picture.empty()) o.picture = record.picture();
    DrawSurface picture;
    if (!loadPictureAt(o.picture, o.depth, picture)) {
        std::fprintf(stderr, "pavalo-tool render: cannot load the picture %s\n", o.picture.c_str());
        return 1;
    }
    if (picture.width() != record.pictureWidth || picture.height() != record.pictureHeight) {
        std::fprintf(stderr, "pavalo-tool render: %s is %dx%d, the puzzle was cut from %dx%d\n", o.picture.c_str(),
                     picture.width(), picture.height(), record.pictureWidth, record.pictureHeight);
        return 1;
    }

    // A display offering exactly the wanted depth at the play area's size.
    setDisplayModes({{o.playWidth, o.playHeight, o.depth, o.depth == 16 ? 0xF800u : 0u}});
    DisplaySurface display;
    if (!display.createDisplay(nullptr, o.playWidth, o.playHeight, o.depth, false, true)) {
        std::fprintf(stderr, "pavalo-tool render: cannot make a %d-bit display\n", o.depth);
        return 1;
    }
    Compositor compositor(display);
    compositor.setScene({&model, &picture, &record});
    RendererState& state = compositor.state();
    state.displayState = DisplayState::Playing;
    state.viewMode = record.puzzleState == kPuzzleStateCompleted ? kViewFinished : kViewPiecesShown;
    if (o.assembled) state.viewMode = kViewPiecesShown | kViewAssembled;
    state.outlinesShown = o.outlines;
    state.rebuildBuffers = true;
    compositor.updateView(ViewRequest{});
    compositor.renderer.buildOutlineShades(model, &picture);

    ViewRequest request;
    request.clipBox = {0, 0, o.playWidth, o.playHeight};
    request.zoomShift = o.zoom;
    Presentation shown = compositor.updateView(request);
    if (!shown.present) {
        std::fprintf(stderr, "pavalo-tool render: nothing was composed\n");
        return 1;
    }
    // The shown part, magnified as the screen would show it.
    DrawSurface out;
    if (!out.createLike(compositor.backBuffer(), shown.dest.width(), shown.dest.height()) ||
        !out.copyPaletteFrom(compositor.backBuffer(), false) ||
        !out.copyBitmap(compositor.backBuffer(), 0, 0, shown.source.left, shown.source.top, shown.source.width(),
                        shown.source.height(), shown.dest.width(), shown.dest.height())) {
        std::fprintf(stderr, "pavalo-tool render: cannot copy the composed picture\n");
        return 1;
    }
    if (!saveBmp(out, o.out)) {
        std::fprintf(stderr, "pavalo-tool render: cannot write %s\n", o.out.c_str());
        return 1;
    }
    std::printf("%dx%d at %d bits written to %s\n", out.width(), out.height(), out.depth(), o.out.c_str());
    return 0;
}

}  // namespace pavalo::tool
