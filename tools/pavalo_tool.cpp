// pavalo-tool: headless front end for scripting, tests and benchmarks.
#include <cstdio>
#include <cstring>

#include "net/lobby_player.h"
#include "net/lobby_program.h"
#include "net/net_tool.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

const Command kCommands[] = {
    {"cut",
     "cut (--picture FILE | --size WxH) (--pieces N | --grid CxR) [--seed S] [--rotate]\n"
     "    [--play-area WxH] --out FILE.gvp     cut a new puzzle and save it",
     cutCommand},
    {"info", "info FILE.gvp [--pieces]        describe and check a saved puzzle (and list its pieces)",
     infoCommand},
    {"solve", "solve FILE.gvp --out FILE2.gvp [--pieces a,b,...]   solve all or some pieces", solveCommand},
    {"drop", "drop FILE.gvp PIECE X Y --out FILE2.gvp   drop a piece at a picture-relative place", dropCommand},
    {"render",
     "render FILE.gvp [--picture P] --out OUT.bmp [--play-area WxH] [--depth 8|16|24] [--zoom 0-3]\n"
     "    [--assembled] [--no-outlines]     compose the play area as the game shows it",
     renderCommand},
    {"prefs",
     "prefs [--data DIR] show | reset\n"
     "    every field of the preferences file and its play list, or write the default file",
     prefsCommand},
    {"probe", "probe FILE                      a picture's kind, width, height and bits from its header",
     probeCommand},
    {"convert",
     "convert IN OUT.bmp [--depth 8|16|16555|24] [--fit-statics]\n"
     "    load a picture at a depth as the game would and save it as BMP",
     convertCommand},
    {"thumb", "thumb IN OUT.bmp                an 8-bit thumbnail, longer side 96, as BMP", thumbCommand},
    {"find",
     "find FILE.gvp edges [--mask TBLR] | near PIECE [--range 1-5] |\n"
     "    color PIECE X Y [--range 1-100] [--threshold 1-100] [--picture P] [--depth 8|16|16555|24]\n"
     "    the pieces an assist find selects (play area, then boxes 1-4), one per line;\n"
     "    X Y is the click point inside the piece as drawn",
     findCommand},
    {"arrange",
     "arrange FILE.gvp --rect L,T,R,B [--confine] --out FILE2.gvp\n"
     "    lay the play area's groups out in rows in a picture-relative rectangle",
     arrangeCommand},
    {"library",
     "library create NAME [--password P] [--data DIR] | add LIB.gvl PICTURE... | list LIB.gvl |\n"
     "    remove LIB.gvl INDEX | thumb LIB.gvl INDEX OUT.bmp     image libraries",
     libraryCommand},
    {"play", "play FILE.gvp COMMAND... --out FILE2.gvp   run the game's commands (ids or names) on a puzzle",
     playCommand},
    {"net", pavalo::net::kNetCommandUsage, netOrLobbyCommand},
    {"net", pavalo::net::kLobbyNetUsage, netOrLobbyCommand},
    {"lobby", pavalo::net::kLobbyCommandUsage, lobbyCommand},
    {"wda",
     "wda info FILE.wda | frame FILE.wda N OUT.bmp [--depth 8|16|24] | encode OUT.wda FRAME.bmp...\n"
     "    WDA animations (FILE may be resource:ID); frame draws frames 0..N in order",
     wdaCommand},
    {"movie",
     "movie info FILE | frame FILE N OUT.bmp [--depth 16|24]\n"
     "    movies: size, rate, codecs, sound; frame N as the game shows it, counting on across the loop",
     movieCommand},
};

void usage() {
    std::fprintf(stderr, "usage: pavalo-tool COMMAND [ARGS]\ncommands:\n");
    for (const auto& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
}

}  // namespace
}  // namespace pavalo::tool

int main(int argc, char** argv) {
    using namespace pavalo::tool;
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        usage();
        return argc < 2 ? 2 : 0;
    }
    for (const auto& c : kCommands) {
        if (!std::strcmp(argv[1], c.name)) return c.run(Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "pavalo-tool: unknown command '%s'\n", argv[1]);
    usage();
    return 2;
}
