// Sub-commands of pavalo-tool. Each takes the arguments after its name and
// returns the process exit status (0 success, 1 failure, 2 usage error).
#pragma once

#include <string>
#include <vector>

namespace pavalo::tool {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args& args);
};

// Puzzle commands (puzzle_commands.cpp).
int cutCommand(const Args& args);
int infoCommand(const Args& args);

}  // namespace pavalo::tool
