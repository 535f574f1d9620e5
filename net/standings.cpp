// Standings lines and the end of a network game.
#include "net/standings.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "net/game_setup.h"

namespace pavalo::net {
namespace {

std::string shownName(const std::string& name) {
    return padRight(displayableText(name, kStandingsNameWidth), kStandingsNameWidth);
}

std::string piecesLine(const std::string& name, uint32_t pieces) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "  %-6u", pieces);
    return shownName(name) + tail;
}

std::string percentLine(const std::string& name, uint32_t percent) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "    %-3u%%", percent);
    return shownName(name) + tail;
}

uint32_t percentOf(uint32_t placed, int pieces) {
    return pieces > 0 ? uint32_t(uint64_t(placed) * 100 / uint32_t(pieces)) : 0;
}

}  // namespace

std::string finishingTime(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", ms / 3600000, ms % 3600000 / 60000, ms % 60000 / 1000);
    return text;
}

Standings::Standings(PlayerRoster& roster, ChatSink& announce) : roster_(roster), announce_(announce) {}

void Standings::newPuzzle(uint32_t gameType, int pieces, uint32_t startTick) {
    gameType_ = gameType;
    pieces_ = pieces;
    startTick_ = startTick;
    localFinish_ = -1;
    ended_ = false;
}

std::vector<RosterPlayer> Standings::localFirst() const {
    std::vector<RosterPlayer> players = roster_.players();
    const uint32_t me = roster_.localPlayer();
    for (size_t i = 0; i < players.size(); ++i) {
        if (players[i].id != me) continue;
        RosterPlayer local = players[i];
        players.erase(players.begin() + ptrdiff_t(i));
        players.insert(players.begin(), local);
        break;
    }
    return players;
}

std::vector<std::string> Standings::teamLines(const std::vector<RosterPlayer>& players) const {
    std::map<uint32_t, uint32_t> sums;  // team, pieces
    for (const RosterPlayer& p : players)
        if (p.data.team() != 0) sums[p.data.team()] += p.data.piecesPlaced;
    // The local player's team first, then the others in their order.
    std::vector<std::string> lines;
    const uint32_t mine = players.empty() ? 0 : players.front().data.team();
    if (sums.count(mine)) lines.push_back(piecesLine("Team " + std::to_string(mine), sums[mine]));
    for (const auto& [team, pieces] : sums)
        if (team != mine) lines.push_back(piecesLine("Team " + std::to_string(team), pieces));
    return lines;
}

std::string Standings::competitiveLine(const RosterPlayer& p, uint32_t nowTick) {
    const bool local = p.id == roster_.localPlayer();
    if (pieces_ > 0 && p.data.piecesPlaced == uint32_t(pieces_)) {
        int64_t& recorded = local ? localFinish_ : finished_.try_emplace(p.id, -1).first->second;
        if (recorded < 0) {
            // Unsigned subtraction counts across a wrap of the tick counter.
            recorded = local ? int64_t(uint32_t(nowTick - startTick_)) : int64_t(p.data.elapsedMs);
            const std::string time = finishingTime(uint32_t(recorded));
            announce_.chatLine(kChatSystemName, local ? "You finished the game in " + time
                                                      : displayableText(p.name, kMaxNameLength) +
                                                            " finished the game in " + time);
        }
        return shownName(p.name) + "    " + finishingTime(uint32_t(recorded));
    }
    // A puzzle is complete only when its last piece is placed: the share
    // never reads 100 before that.
    return percentLine(p.name, std::min<uint32_t>(percentOf(p.data.piecesPlaced, pieces_), 99));
}

std::vector<std::string> Standings::refresh(uint32_t nowTick) {
    std::vector<std::string> lines;
    if (!roster_.sessionOpen()) return lines;
    const std::vector<RosterPlayer> players = localFirst();
    if (gameType_ == kGameTeamCompetitive) return teamLines(players);
    for (const RosterPlayer& p : players)
        lines.push_back(gameType_ == kGameCompetitive ? competitiveLine(p, nowTick)
                                                      : piecesLine(p.name, p.data.piecesPlaced));
    return lines;
}

std::vector<std::string> Standings::scoreLines() const {
    std::vector<std::string> lines;
    if (!roster_.sessionOpen()) return lines;
    const std::vector<RosterPlayer> players = localFirst();
    if (gameType_ == kGameCompetitive) {
        lines = {"Player Name      Complete", "---------------    ----"};
        for (const RosterPlayer& p : players) lines.push_back(percentLine(p.name, percentOf(p.data.piecesPlaced, pieces_)));
    } else if (gameType_ == kGameTeamCompetitive) {
        lines = {"Team             Pieces", "---------------  ------"};
        for (std::string& l : teamLines(players)) lines.push_back(std::move(l));
    } else {
        lines = {"Player Name      Pieces", "---------------  ------"};
        for (const RosterPlayer& p : players) lines.push_back(piecesLine(p.name, p.data.piecesPlaced));
    }
    return lines;
}

bool Standings::gameOver(bool puzzleComplete) const {
    if (!roster_.sessionOpen()) return false;
    if (gameType_ != kGameCompetitive) return puzzleComplete;
    const std::vector<RosterPlayer> players = roster_.players();
    if (players.empty() || pieces_ <= 0) return false;
    for (const RosterPlayer& p : players)
        if (p.data.piecesPlaced < uint32_t(pieces_)) return false;
    return true;
}

bool Standings::takeGameEnd(bool puzzleComplete) {
    if (ended_ || !gameOver(puzzleComplete)) return false;
    ended_ = true;
    return true;
}

}  // namespace pavalo::net
