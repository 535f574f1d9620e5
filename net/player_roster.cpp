// The roster of a real network layer.
#include "net/player_roster.h"

#include "net/net_layer.h"

namespace pavalo::net {

bool LayerRoster::sessionOpen() const { return layer_.sessionOpen() && layer_.session(); }

bool LayerRoster::isHost() const {
    Session* s = layer_.session();
    return sessionOpen() && s->isHost();
}

uint32_t LayerRoster::localPlayer() const { return layer_.localPlayerId(); }

std::vector<RosterPlayer> LayerRoster::players() const {
    std::vector<RosterPlayer> out;
    if (!sessionOpen()) return out;
    const std::vector<PlayerRecord> records = layer_.session()->players();
    const PlayerTable table = layer_.playerTable();
    const uint32_t me = layer_.localPlayerId();
    for (int slot = 0; slot < kPlayerSlots; ++slot) {
        if (!table.inUse[slot]) continue;
        const uint32_t id = table.dpid[slot];
        for (const PlayerRecord& r : records) {
            if (r.id != id) continue;
            // This machine's own record is the freshest copy of its data.
            out.push_back({id, r.name, id == me ? layer_.localPlayerData() : PlayerData::decode(r.data)});
            break;
        }
    }
    return out;
}

std::vector<uint32_t> LayerRoster::joinOrder() const {
    std::vector<uint32_t> out;
    if (!sessionOpen()) return out;
    for (const PlayerRecord& r : layer_.session()->players())
        if (r.id != kServerPlayer && !(r.flags & kPlayerServer)) out.push_back(r.id);
    return out;
}

void LayerRoster::publish(const PlayerData& data) { layer_.setLocalPlayerData(data); }

void LayerRoster::publishServer(const PlayerData& data) {
    if (isHost()) layer_.session()->setPlayerData(kServerPlayer, data.encode());
}

void LayerRoster::send(const GameMessage& message, uint32_t from, uint32_t to, bool guaranteed) {
    const std::vector<uint8_t> bytes = encodeMessage(message);
    layer_.send(from, to, guaranteed ? 1 : 0, bytes);
}

void LayerRoster::setJoinDisabled(bool disabled) {
    if (!isHost()) return;
    Session* s = layer_.session();
    SessionDesc d = s->desc();
    const uint32_t flags = disabled ? d.flags | kSessionJoinDisabled : d.flags & ~kSessionJoinDisabled;
    if (flags == d.flags) return;
    d.flags = flags;
    s->setDesc(d);
}

}  // namespace pavalo::net
