// Headless network sessions for scripting and end-to-end tests: the "net"
// command of the command-line tool (host, find, join). Every command ends by
// itself after its --seconds.
//
//   net host [--name NAME] [--port P] [--max K] [--connection lan|lan-unguaranteed]
//            [--bind ADDRESS] [--discovery-port P] [--seconds S]
//   net find [--broadcast ADDRESS] [--discovery-port P] [--seconds S]
//   net join ADDRESS:PORT [--name NAME] [--send ID:HEX[:guaranteed] ...]
//            [--connection lan|lan-unguaranteed] [--seconds S]
//   net host --puzzle FILE [--dump FILE] ...: hosts a game of that saved
//            puzzle for --seconds, deciding for its players
//   net bot --join ADDRESS:PORT --puzzle FILE [--seed S] [--actions N]
//            [--rate R] [--dump FILE]: a headless player of that game, N
//            moves at R a second; --dump writes the model at the end
//   net host --picture P --pieces N [--seed S] [--rotate] --type coop|comp
//            [--players K] ...: sets a game up from the picture through the
//            same flow as the window, starting once K others are ready
//   net bot --join ADDRESS:PORT [--seed S] [--actions N] ...: joins such a
//            game through that flow, ticks Ready and plays towards the
//            solution
//
// While a session is open, one line per arriving message
// ("from=ID to=ID id=MSGID size=BYTES HEX", HEX the whole message) and per
// system message ("player-created ID NAME", "player-destroyed ID",
// "player-data ID HEX", "became-host").
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pavalo::net {

// Runs one net command (the arguments after "net"); returns the exit status:
// 0 success, 1 failure, 2 usage error. Output lines go to `out`, errors to `err`.
int runNetCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The same on standard output and standard error.
int netCommand(const std::vector<std::string>& args);

extern const char* const kNetCommandUsage;

}  // namespace pavalo::net
