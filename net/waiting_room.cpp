// The waiting room's rules.
#include "net/waiting_room.h"

#include <algorithm>

namespace pavalo::net {

// ----------------------------------------------------------- option lines

std::vector<std::string> roomOptionLines(const NetOptions& options, bool rotated) {
    return {std::string("Sorting Boxes: ") + (options.allowed[0] ? "On" : "Off"),
            "Cheats Allowed: " + allowedToolsText(options, true),
            std::string("Rotated Pieces:") + (rotated ? "On" : "Off")};
}

// ------------------------------------------------------------------- room

WaitingRoom::WaitingRoom(PlayerRoster& roster, RoomActions& actions, Platform& platform, NetOptions options,
                         bool rotated)
    : roster_(roster), actions_(actions), platform_(platform), options_(std::move(options)), rotated_(rotated) {}

void WaitingRoom::refresh() {
    stale_ = false;
    rows_ = {};
    if (!roster_.sessionOpen()) return;
    const uint32_t me = roster_.localPlayer();
    int row = 0;
    for (const RosterPlayer& p : roster_.players()) {
        if (row == kRoomRows) break;
        RoomRow& r = rows_[size_t(row++)];
        r.used = true;
        r.id = p.id;
        r.name = displayableText(p.name, kShownNameLength);
        r.ready = p.data.readyFlag();
        r.readyEnabled = readyBoxesShown() && p.id == me;
        r.team = int(p.data.team());
        r.teamEnabled = teamColumnsShown() && p.id == me;
    }
}

bool WaitingRoom::poll() {
    if (!stale_) return false;
    refresh();
    return true;
}

bool WaitingRoom::kickEnabled(int row) const {
    return roster_.isHost() && row > 0 && row < kRoomRows && rows_[size_t(row)].used &&
           rows_[size_t(row)].id != roster_.localPlayer();
}

void WaitingRoom::tickReady(int row, bool ticked) {
    if (row < 0 || row >= kRoomRows || !readyBoxesShown() || closed()) return;
    const RoomRow& r = rows_[size_t(row)];
    if (!r.used || r.id != roster_.localPlayer()) return;
    actions_.setReady(ticked);
    refresh();
}

void WaitingRoom::chooseTeam(int row, int team) {
    if (row < 0 || row >= kRoomRows || !teamColumnsShown() || closed()) return;
    if (team < 1 || team > NetGameSetup::kTeams) return;
    const RoomRow& r = rows_[size_t(row)];
    if (!r.used || r.id != roster_.localPlayer()) return;
    actions_.setTeam(team);
    refresh();
}

bool WaitingRoom::startGame() {
    if (closed() || !roster_.isHost()) return false;
    if (const std::optional<std::string> refused = actions_.begin()) {
        if (!refused->empty()) platform_.messageBox(*refused);
        refresh();
        return false;
    }
    close(RoomResult::Start);
    return true;
}

void WaitingRoom::beginGameArrived() {
    if (!closed()) close(RoomResult::Start);
}

bool WaitingRoom::exit() {
    if (closed()) return false;
    if (roster_.isHost()) {
        for (const RosterPlayer& p : roster_.players()) {
            if (p.data.state == uint32_t(PlayerState::Downloading)) {
                platform_.messageBox(setup_text::kWaitForDownloads);
                return false;
            }
        }
    }
    close(RoomResult::Exit);
    return true;
}

bool WaitingRoom::kick(int row) {
    if (!kickEnabled(row) || closed()) return false;
    const std::string name = rows_[size_t(row)].name;
    if (platform_.messageBox("Kick " + name + " from the game?", setup_text::kKickCaption,
                             MessageButtons::YesNo) != MessageResult::Yes)
        return false;
    // Rows show names, not players: the n-th row of a name is the n-th
    // player of that name in slot order.
    int wanted = 0;
    for (int r = 0; r <= row; ++r) wanted += rows_[size_t(r)].used && rows_[size_t(r)].name == name;
    for (const RosterPlayer& p : roster_.players()) {
        if (displayableText(p.name, kShownNameLength) != name || --wanted > 0) continue;
        return actions_.kick(p.id);
    }
    return false;
}

void WaitingRoom::kicked() {
    if (closed()) return;
    kicked_ = true;
    close(RoomResult::Exit);
}

void WaitingRoom::follow(const NetGameSetup& setup) {
    if (setup.kicked()) kicked();
    if (setup.begun()) beginGameArrived();
    if (setup.revision() != setupRevision_) {
        setupRevision_ = setup.revision();
        playersChanged();
    }
}

void WaitingRoom::sendChat(const std::string& typed) {
    const std::string text = chatTextToSend(typed);
    if (text.empty() || !roster_.sessionOpen()) return;
    std::string me;
    for (const RosterPlayer& p : roster_.players())
        if (p.id == roster_.localPlayer()) me = p.name;
    chat_.chatLine(me, text);
    actions_.sendChat(text);
}

}  // namespace pavalo::net
