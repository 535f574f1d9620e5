// The lobby program and the lobby-launched players of pavalo-tool.
#include <unistd.h>

#include <iostream>

#include "net/lobby_player.h"
#include "net/lobby_program.h"
#include "net/net_tool.h"
#include "tools/tool_commands.h"

namespace pavalo::tool {

namespace {

// This executable, started again for every player.
std::string thisProgram() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    return n > 0 ? path.substr(0, size_t(n)) : std::string();
}

}  // namespace

int lobbyCommand(const Args& args) {
    const std::string tool = thisProgram();
    // The game's window program is installed beside this one; in the build
    // tree it is in app/.
    const std::string folder = tool.substr(0, tool.find_last_of('/') + 1);
    std::string game = folder + "pavalo";
    if (::access(game.c_str(), X_OK) != 0 && ::access((folder + "../app/pavalo").c_str(), X_OK) == 0)
        game = folder + "../app/pavalo";
    return net::runLobbyCommand(args, tool, game, std::cout, std::cerr);
}

int netOrLobbyCommand(const Args& args) {
    return net::lobbyLaunched(args) ? net::runLobbyNetCommand(args, std::cout, std::cerr) : net::netCommand(args);
}

}  // namespace pavalo::tool
