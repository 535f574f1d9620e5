// A roster of players kept in a table: what the waiting room and the
// standings see of a session, and the room's requests, recorded.
#pragma once

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "net/player_roster.h"

namespace pavalo::net::test {

class FakeRoster final : public PlayerRoster, public RoomActions {
public:
    bool open = true;
    bool host = true;
    uint32_t me = 2;
    std::vector<RosterPlayer> table;  // slot order
    // What begin() answers, in turn; the game begins when they run out.
    std::deque<std::string> refusals;
    std::vector<bool> readyCalls;
    std::vector<uint32_t> kicks;
    std::vector<std::string> chats;
    int begins = 0;

    RosterPlayer& player(uint32_t id) {
        return *std::find_if(table.begin(), table.end(), [id](const RosterPlayer& p) { return p.id == id; });
    }
    void add(uint32_t id, const std::string& name, PlayerData data = {}) { table.push_back({id, name, data}); }

    bool sessionOpen() const override { return open; }
    bool isHost() const override { return host; }
    uint32_t localPlayer() const override { return me; }
    std::vector<RosterPlayer> players() const override { return open ? table : std::vector<RosterPlayer>{}; }

    void setReady(bool ready) override {
        readyCalls.push_back(ready);
        RosterPlayer& p = player(me);
        p.data.ready = (p.data.ready & ~1u) | (ready ? 1 : 0);
    }
    std::vector<int> teamCalls;
    void setTeam(int team) override {
        teamCalls.push_back(team);
        player(me).data.setTeam(uint32_t(team));
    }
    std::optional<std::string> begin() override {
        ++begins;
        if (refusals.empty()) return std::nullopt;
        std::string r = refusals.front();
        refusals.pop_front();
        return r;
    }
    bool kick(uint32_t player) override {
        kicks.push_back(player);
        return true;
    }
    void sendChat(const std::string& text) override { chats.push_back(text); }
};

}  // namespace pavalo::net::test
