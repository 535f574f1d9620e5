// What the waiting room, the standings and the chat read of a running
// session and send into it: the players in slot order with their names and
// published data, the join order every machine agrees on, and the few
// sends of the set-up (chat, kick, begin). LayerRoster serves it from the
// real NetLayer; tests plug in a table of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/messages.h"
#include "net/tables.h"

namespace pavalo::net {

struct RosterPlayer {
    uint32_t id = 0;
    std::string name;  // as the player gave it (not yet made safe to show)
    PlayerData data;
};

class PlayerRoster {
public:
    virtual ~PlayerRoster() = default;
    virtual bool sessionOpen() const = 0;
    virtual bool isHost() const = 0;
    virtual uint32_t localPlayer() const = 0;
    // Every in-use slot in slot order (slot 0 is this machine's player).
    virtual std::vector<RosterPlayer> players() const = 0;
    // The players (server player left out) in the order they joined; the
    // same order on every machine.
    virtual std::vector<uint32_t> joinOrder() const = 0;
    virtual void publish(const PlayerData& data) = 0;
    // Host: the server player's published data.
    virtual void publishServer(const PlayerData& data) = 0;
    virtual void send(const GameMessage& message, uint32_t from, uint32_t to, bool guaranteed) = 0;
    // Host: whether newcomers are refused.
    virtual void setJoinDisabled(bool disabled) = 0;
};

class NetLayer;

class LayerRoster final : public PlayerRoster {
public:
    explicit LayerRoster(NetLayer& layer) : layer_(layer) {}
    bool sessionOpen() const override;
    bool isHost() const override;
    uint32_t localPlayer() const override;
    std::vector<RosterPlayer> players() const override;
    std::vector<uint32_t> joinOrder() const override;
    void publish(const PlayerData& data) override;
    void publishServer(const PlayerData& data) override;
    void send(const GameMessage& message, uint32_t from, uint32_t to, bool guaranteed) override;
    void setJoinDisabled(bool disabled) override;

private:
    NetLayer& layer_;
};

}  // namespace pavalo::net
