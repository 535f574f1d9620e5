// pavalo-tool play: a saved puzzle opened in a headless game session, the
// named commands run through the session's command table exactly as the
// window's menus, palette and keys run them, and the result saved.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/random.h"
#include "shell/game_session.h"
#include "tools/console_platform.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {
namespace {

struct NamedCommand {
    const char* name;
    uint32_t id;
};

constexpr NamedCommand kNamedCommands[] = {
    {"select-all", menu_command::kSelectAll},
    {"solve-selected", menu_command::kSolveSelected},
    {"arrange", menu_command::kArrange},
    {"check-completion", menu_command::kCheckCompletion},
    {"center", menu_command::kCenter},
    {"recut", menu_command::kRecut},
    {"rotated-pieces", menu_command::kRotatedPieces},
    {"piece-outlines", frame_command::kPieceOutlines},
    {"puzzle-outline", frame_command::kPuzzleOutline},
    {"restore-colours", frame_command::kRestoreDefaultColours},
};

bool commandId(const std::string& text, uint32_t& id) {
    for (const NamedCommand& c : kNamedCommands)
        if (text == c.name) return id = c.id, true;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v == 0 || v > 0xFFFF) return false;
    id = uint32_t(v);
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: pavalo-tool play FILE.gvp COMMAND... --out FILE2.gvp\n"
                         "COMMAND: a command id or one of");
    for (const NamedCommand& c : kNamedCommands) std::fprintf(stderr, " %s", c.name);
    std::fprintf(stderr, "\n");
    return 2;
}

}  // namespace

int playCommand(const Args& args) {
    std::string in, out;
    std::vector<uint32_t> commands;
    for (size_t i = 0; i < args.size(); ++i) {
        uint32_t id = 0;
        if (args[i] == "--out" && i + 1 < args.size()) out = args[++i];
        else if (in.empty()) in = args[i];
        else if (commandId(args[i], id)) commands.push_back(id);
        else return usage();
    }
    if (in.empty() || out.empty()) return usage();

    // Questions are answered "No": nothing is saved behind the player's back.
    ConsolePlatform platform("pavalo-tool play: ", MessageResult::No);
    Random random(1);
    // No data folder: the player's recent files and preferences stay as they are.
    GameSession session(SessionOptions{}, platform, random);
    if (!session.document().open(in) || !session.document().hasPuzzle()) {
        std::fprintf(stderr, "pavalo-tool play: cannot open %s\n", in.c_str());
        return 1;
    }
    for (uint32_t id : commands) {
        if (!session.dispatch(id)) {
            std::fprintf(stderr, "pavalo-tool play: no command %u\n", id);
            return 1;
        }
    }
    const PuzzleModel& m = session.model();
    std::printf("pieces %d, in place %d, in play %d, completed %s\n", m.pieceCount(),
                m.countListPieces(ListId::Finished), m.countListPieces(ListId::Main),
                session.document().puzzleState() == kPuzzleStateCompleted ? "yes" : "no");
    if (!session.document().saveAs(std::filesystem::absolute(out).string())) {
        std::fprintf(stderr, "pavalo-tool play: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace pavalo::tool
