// What the waiting room and the standings read of a running session (the
// players in slot order with their names and published data) and what the waiting room asks the set-up
// to do (Ready, Start, Kick, chat). LayerRoster reads the real NetLayer;
// SetupRoomActions passes the room's requests to the set-up flow; tests
// plug in a table of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/tables.h"

namespace pavalo::net {

class NetLayer;
class NetGameSetup;

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
};

class RoomActions {
public:
    virtual ~RoomActions() = default;
    // The local player's ready field, published.
    virtual void setReady(bool ready) = 0;
    // Team Competitive: the local player's team (1 or 2), published.
    virtual void setTeam(int team) = 0;
    // Host's "Start Game": the refusal to show, or nothing once the game
    // began (BEGINGAME sent, joining closed).
    virtual std::optional<std::string> begin() = 0;
    // Host: KICKPLAYER to the player; false when it could not be sent.
    virtual bool kick(uint32_t player) = 0;
    // A chat line from the local player to everybody.
    virtual void sendChat(const std::string& text) = 0;
};

class LayerRoster final : public PlayerRoster {
public:
    explicit LayerRoster(NetLayer& layer) : layer_(layer) {}
    bool sessionOpen() const override;
    bool isHost() const override;
    uint32_t localPlayer() const override;
    std::vector<RosterPlayer> players() const override;

private:
    NetLayer& layer_;
};

class SetupRoomActions final : public RoomActions {
public:
    SetupRoomActions(NetGameSetup& setup, NetLayer& layer) : setup_(setup), layer_(layer) {}
    void setReady(bool ready) override;
    void setTeam(int team) override;
    std::optional<std::string> begin() override;
    bool kick(uint32_t player) override;
    void sendChat(const std::string& text) override;

private:
    NetGameSetup& setup_;
    NetLayer& layer_;
};

}  // namespace pavalo::net
