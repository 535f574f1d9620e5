// The players' standings during a network game, without a window: the
// in-game list (pieces placed in a Cooperative game, share complete or
// finishing time in a Competitive one, one line per team in a Team
// Competitive one, summing the players of each team the lobby gave), the
// score dialog's list with its headings, the
// announcements of finished players, and the end of the game.
//
// Threads: user-interface thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net/chat.h"
#include "net/player_roster.h"

namespace pavalo::net {

inline constexpr size_t kStandingsNameWidth = 15;
// The score dialog's list is as wide as this text in the list's font.
inline constexpr const char* kScoreListWidthText = "123456789012345678901234567890";

// "hh:mm:ss" of a time in milliseconds.
std::string finishingTime(uint32_t ms);

class Standings {
public:
    // Announcements (a player finished) go to `announce` under "Pavalo".
    Standings(PlayerRoster& roster, ChatSink& announce);

    // A puzzle of `pieces` pieces starts at `startTick`: the local
    // finishing time is forgotten.
    void newPuzzle(uint32_t gameType, int pieces, uint32_t startTick);

    // The in-game list, local player first; empty without a session.
    std::vector<std::string> refresh(uint32_t nowTick);
    // The score dialog's list: headings, then the players.
    std::vector<std::string> scoreLines() const;

    // The game is over on this machine: the shared puzzle is complete, or
    // in a Competitive game every player still here has finished.
    bool gameOver(bool puzzleComplete) const;
    // True the first time gameOver() holds (the final standings show once).
    bool takeGameEnd(bool puzzleComplete);

    int64_t localFinishMs() const { return localFinish_; }

private:
    std::vector<RosterPlayer> localFirst() const;
    std::vector<std::string> teamLines(const std::vector<RosterPlayer>& players) const;
    std::string competitiveLine(const RosterPlayer& p, uint32_t nowTick);

    PlayerRoster& roster_;
    ChatSink& announce_;
    uint32_t gameType_ = 0;
    int pieces_ = 0;
    uint32_t startTick_ = 0;
    int64_t localFinish_ = -1;
    std::map<uint32_t, int64_t> finished_;  // other players' recorded times, by id
    bool ended_ = false;
};

}  // namespace pavalo::net
