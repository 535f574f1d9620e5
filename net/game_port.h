// What the game protocol needs of the network layer, as one small seam: who
// this machine is, the player and holder tables, sending, waiting for a
// reply from the host, and the incoming queue. LayerPort serves it from the
// real NetLayer; tests and the fuzz target plug in machines of their own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "net/net_layer.h"
#include "net/tables.h"

namespace pavalo::net {

class GamePort {
public:
    virtual ~GamePort() = default;
    virtual bool sessionOpen() const = 0;
    // This machine decides for everybody: it hosts the session, or no
    // session is open.
    virtual bool isHost() const = 0;
    virtual uint32_t localPlayer() const = 0;
    virtual PlayerTable players() const = 0;
    virtual HolderTable& holders() = 0;
    virtual PlayerData localData() const = 0;
    virtual void publish(const PlayerData& data) = 0;
    // The short name of a player, empty when unknown.
    virtual std::string playerName(uint32_t id) const = 0;

    virtual bool send(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> bytes) = 0;
    // Sends a request to the server player and waits for the next message
    // with `awaitedId` that `accept` takes (others of that id, answers to
    // somebody else, go on to the queue); false when none came within the
    // wait's limit or the session ended. A `repeatable` request is sent
    // again while no answer comes; any other goes once and only the
    // transport resends it, so that the host never decides it twice.
    virtual bool request(std::span<const uint8_t> bytes, uint16_t awaitedId, const ReplyFilter& accept,
                         bool repeatable, std::vector<uint8_t>& reply) = 0;

    // The incoming queue: the next entry this dispatcher may handle (server
    // mode: only those addressed to the server player), then finished.
    virtual bool take(bool serverMode, QueueEntry& entry, int& index) = 0;
    virtual void finish(int index) = 0;

    virtual uint32_t nowMs() const = 0;
    // The pause between consecutive broadcasts of one decision, so that
    // every machine's queue takes them in order.
    virtual void pauseBetweenBroadcasts() {}

    // The slot of a player id in this machine's table, -1 when it has none.
    int slotOf(uint32_t id) const { return players().slotOf(id, !sessionOpen()); }
};

// The port of a real network layer.
class LayerPort final : public GamePort {
public:
    explicit LayerPort(NetLayer& layer, uint32_t requestLimitMs = 10000)
        : layer_(layer), requestLimitMs_(requestLimitMs) {}
    bool sessionOpen() const override { return layer_.sessionOpen(); }
    bool isHost() const override;
    uint32_t localPlayer() const override { return layer_.localPlayerId(); }
    PlayerTable players() const override { return layer_.playerTable(); }
    HolderTable& holders() override { return layer_.holders(); }
    PlayerData localData() const override { return layer_.localPlayerData(); }
    void publish(const PlayerData& data) override { layer_.setLocalPlayerData(data); }
    std::string playerName(uint32_t id) const override;
    bool send(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> bytes) override {
        return layer_.send(from, to, guaranteed ? 1 : 0, bytes) != 0;
    }
    bool request(std::span<const uint8_t> bytes, uint16_t awaitedId, const ReplyFilter& accept, bool repeatable,
                 std::vector<uint8_t>& reply) override;
    bool take(bool serverMode, QueueEntry& entry, int& index) override {
        return layer_.takeIncoming(serverMode, entry, index);
    }
    void finish(int index) override { layer_.finishIncoming(index); }
    uint32_t nowMs() const override;
    void pauseBetweenBroadcasts() override;

private:
    NetLayer& layer_;
    uint32_t requestLimitMs_;
};

}  // namespace pavalo::net
