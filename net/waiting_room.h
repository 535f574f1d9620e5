// The waiting room ("Waiting to Start"), without a window: the sixteen rows
// of players with their Ready boxes and teams, the option lines, Start
// Game, Exit, Kick and the chat. The window draws rows() and forwards the
// player's clicks; the set-up flow carries out what the room asks
// (RoomActions), tells it of BEGINGAME and KICKPLAYER, and reads result()
// once it is closed.
//
// Threads: user-interface thread only. The session's notices (arrival,
// departure, player data, new host) come on other threads: they call
// playersChanged(), and the window's timer calls refresh().
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/chat.h"
#include "net/game_setup.h"
#include "net/messages.h"
#include "net/player_roster.h"
#include "platform/platform.h"

namespace pavalo::net {

inline constexpr const char* kWaitingRoomCaption = "Waiting to Start";
inline constexpr const char* kWaitingRoomTitle = "Welcome To Pavalo";
inline constexpr int kRoomRows = 16;        // two lists of eight
inline constexpr int kRoomRefreshMs = 250;  // the window's refresh timer
inline constexpr size_t kShownNameLength = 32;

struct RoomRow {
    bool used = false;
    uint32_t id = 0;
    std::string name;  // safe to show
    bool ready = false;
    bool readyEnabled = false;
    int team = 0;  // Team Competitive: 1 or 2 (0: none yet)
    bool teamEnabled = false;  // the local player's row picks its team
};

// "Sorting Boxes: On", "Cheats Allowed: Arrange, Solve", "Rotated Pieces:Off".
std::vector<std::string> roomOptionLines(const NetOptions& options, bool rotated);

class WaitingRoom {
public:
    WaitingRoom(PlayerRoster& roster, RoomActions& actions, Platform& platform, NetOptions options, bool rotated);

    // Opening (the set-up has published the ready fields): the first list.
    void open() { refresh(); }
    // Fills the rows from the session (also the window's timer).
    void refresh();
    // Any thread: the players changed; the next poll() refreshes.
    void playersChanged() { stale_ = true; }
    // Refreshes when something changed since the last refresh; true then.
    bool poll();

    const std::array<RoomRow, kRoomRows>& rows() const { return rows_; }
    bool readyBoxesShown() const { return options_.gameType != kGameCooperative; }
    bool teamColumnsShown() const { return options_.gameType == kGameTeamCompetitive; }
    bool startEnabled() const { return roster_.isHost(); }
    bool kickEnabled(int row) const;
    std::vector<std::string> optionLines() const { return roomOptionLines(options_, rotated_); }
    const NetOptions& options() const { return options_; }

    // The player ticked (or cleared) the Ready box of a row.
    void tickReady(int row, bool ticked);
    // Team Competitive: the player picked a team (1 or 2) in a row's Team #
    // column; only the local player's row takes it.
    void chooseTeam(int row, int team);
    // "Start Game": true when the room closed with result 1.
    bool startGame();
    // BEGINGAME arrived (a player's machine).
    void beginGameArrived();
    // "Exit": true when the room closed with result 2.
    bool exit();
    // Kick the player of a row (host, after asking); true when sent.
    bool kick(int row);
    // KICKPLAYER arrived: the room closes as kicked.
    void kicked();
    // Takes the set-up's news (user-interface thread, between its pumps):
    // a kick or BEGINGAME closes the room, other changes refresh it.
    void follow(const NetGameSetup& setup);

    // Chat: the line typed (sent and shown here), and the lines received.
    void sendChat(const std::string& typed);
    ChatLog& chat() { return chat_; }

    bool closed() const { return result_.has_value(); }
    // Exit until closed with Start.
    RoomResult result() const { return result_.value_or(RoomResult::Exit); }
    bool wasKicked() const { return kicked_; }

private:
    void close(RoomResult result) { result_ = result; }

    PlayerRoster& roster_;
    RoomActions& actions_;
    Platform& platform_;
    NetOptions options_;
    bool rotated_;
    std::array<RoomRow, kRoomRows> rows_{};
    std::atomic<bool> stale_{true};
    ChatLog chat_;
    std::optional<RoomResult> result_;
    uint64_t setupRevision_ = 0;
    bool kicked_ = false;
};

}  // namespace pavalo::net
