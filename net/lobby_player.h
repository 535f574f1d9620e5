// Lobby-launched players without a window: what `pavalo-tool net host
// --lobby` and `net bot --lobby` run when a lobby program starts them.
//
// The host connects to the lobby, asks for the game settings, fetches or
// finds the picture the lobby names, cuts the puzzle with the game's seed,
// opens the session with the lobby's options and answers the lobby's status
// queries from its server thread until the game ends; then it sends the
// lobby a last status reply and ends.
//
// A bot connects to the lobby too and, until the joining flow hands it the
// host's puzzle, makes the same puzzle from the same settings (the lobby's
// picture, piece count and rotation, and the session's seed), joins the
// host (trying every 500 ms while the host is still setting up), and plays
// towards the solution until the game ends.
//
// Either ends, reporting why on `err`, when the lobby is unreachable, sends
// garbage or goes away, when the picture cannot be had, or after `seconds`.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "net/lobby_launch.h"
#include "net/session.h"

namespace pavalo::net {

struct LobbyPlayerOptions {
    LobbyRole role;
    NetSettings net;                     // the host's session port and addresses
    std::string connection = kConnectionLan;
    uint32_t maxPlayers = 16;            // the host's choice unless the lobby says otherwise
    std::string dataFolder;              // where the host saves a downloaded picture
    uint32_t seconds = 300;              // the longest a program plays
    uint32_t joinWaitSeconds = 30;       // how long a bot keeps trying to join
    double rate = 5;                     // a bot's moves a second (0: as fast as answered)
    uint32_t botSeed = 1;                // a bot's choice of pieces
};

// The exit status: 0 when the game ended with the puzzle done, 1 otherwise.
int runLobbyHost(const LobbyPlayerOptions& options, std::ostream& out, std::ostream& err);
int runLobbyBot(const LobbyPlayerOptions& options, std::ostream& out, std::ostream& err);

// Whether the arguments of a "net" command carry --lobby.
bool lobbyLaunched(const std::vector<std::string>& args);

extern const char* const kLobbyNetUsage;
// `net host --lobby HOST:PORT [--name SESSION] [--player NAME] [--port P]
// [--bind A] [--discovery-port P] [--max K] [--team T] [--seconds S]` and
// `net bot --lobby HOST:PORT --join ADDRESS:PORT [--player NAME] [--team T]
// [--rate R] [--seed S] [--seconds S]`: 0 success, 1 failure, 2 usage error.
int runLobbyNetCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pavalo::net
