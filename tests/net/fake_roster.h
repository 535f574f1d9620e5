// A roster of players kept in a table: what the waiting room and the
// standings see of a session, and what they sent.
#pragma once

#include <algorithm>
#include <vector>

#include "net/player_roster.h"

namespace pavalo::net::test {

class FakeRoster final : public PlayerRoster {
public:
    struct Sent {
        GameMessage message;
        uint32_t from, to;
        bool guaranteed;
    };

    bool open = true;
    bool host = true;
    uint32_t me = 2;
    std::vector<RosterPlayer> table;  // slot order; the local player is the first
    std::vector<uint32_t> joined;     // join order; table order when empty
    std::vector<PlayerData> published, serverPublished;
    std::vector<Sent> sent;
    bool joinDisabled = true;

    RosterPlayer& player(uint32_t id) {
        return *std::find_if(table.begin(), table.end(), [id](const RosterPlayer& p) { return p.id == id; });
    }
    void add(uint32_t id, const std::string& name, PlayerData data = {}) { table.push_back({id, name, data}); }

    bool sessionOpen() const override { return open; }
    bool isHost() const override { return host; }
    uint32_t localPlayer() const override { return me; }
    std::vector<RosterPlayer> players() const override { return open ? table : std::vector<RosterPlayer>{}; }
    std::vector<uint32_t> joinOrder() const override {
        if (!joined.empty()) return joined;
        std::vector<uint32_t> ids;
        for (const RosterPlayer& p : table) ids.push_back(p.id);
        return ids;
    }
    void publish(const PlayerData& data) override {
        published.push_back(data);
        player(me).data = data;
    }
    void publishServer(const PlayerData& data) override { serverPublished.push_back(data); }
    void send(const GameMessage& message, uint32_t from, uint32_t to, bool guaranteed) override {
        sent.push_back({message, from, to, guaranteed});
    }
    void setJoinDisabled(bool disabled) override { joinDisabled = disabled; }
};

}  // namespace pavalo::net::test
