// `pavalo-tool lobby`: a small lobby program. It listens for the launch
// protocol's connections, starts the players of one game (a host and N-1
// joiners, each a headless `pavalo-tool net host|bot --lobby ...` or, for
// the first --windows of them, the game's window program with the same
// lobby arguments), answers
// their settings requests with the game's settings, asks the host for the
// standings every poll interval and prints them, and ends every program it
// started: when they have all ended by themselves, or at its time limit.
//
// The host is started first and its connection taken before the joiners
// start, so the lobby knows which connection answers status queries. In a
// Team Competitive game the players alternate between teams 1 and 2.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "net/lobby_protocol.h"

namespace pavalo::net {

struct LobbyProgramOptions {
    std::string bind = "127.0.0.1";  // where the lobby listens and the host's session is bound
    uint16_t port = 0;               // the lobby's TCP port (0: any free one)
    uint32_t players = 3;            // programs started: the host and players-1 joiners
    std::string program;             // the pavalo-tool executable started for each player
    std::string game;                // the game's window program, for the first `windows` players
    uint32_t windows = 0;            // players started as the window program (the host first)
    std::vector<std::string> names;  // player names; "Player N" for those not given
    std::string sessionName = "Lobby Game";
    uint16_t sessionPort = 28760;
    uint16_t discoveryPort = 28761;
    LobbyGameSettings settings;
    uint32_t pollMs = 1000;
    uint32_t seconds = 300;
    uint32_t rate = 5;  // the bots' moves a second (0: as fast as the host answers)
    uint32_t hostConnectMs = 10000;  // how long the host has to connect
};

// The standings of a status reply, one line per player in slot order and,
// in a Team Competitive game, one per team with its members' sum.
std::vector<std::string> lobbyStandings(const LobbyStatus& status);

// 0 when every program ended by itself with status 0, 1 otherwise.
int runLobby(const LobbyProgramOptions& options, std::ostream& out, std::ostream& err);

extern const char* const kLobbyCommandUsage;
// The command's arguments (after "lobby"); `program` is this executable.
// `game` is the window program's default (beside this executable).
int runLobbyCommand(const std::vector<std::string>& args, const std::string& program, const std::string& game,
                    std::ostream& out, std::ostream& err);

}  // namespace pavalo::net
