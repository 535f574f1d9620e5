// The roster of a real network layer and the room's requests to the set-up.
#include "net/player_roster.h"

#include "net/game_setup.h"
#include "net/messages.h"
#include "net/net_layer.h"

namespace pavalo::net {

bool LayerRoster::sessionOpen() const { return layer_.sessionOpen() && layer_.session(); }

bool LayerRoster::isHost() const { return sessionOpen() && layer_.session()->isHost(); }

uint32_t LayerRoster::localPlayer() const { return layer_.localPlayerId(); }

std::vector<RosterPlayer> LayerRoster::players() const {
    std::vector<RosterPlayer> out;
    if (!sessionOpen()) return out;
    const std::vector<PlayerRecord> records = layer_.session()->players();
    const PlayerTable table = layer_.playerTable();
    const uint32_t me = layer_.localPlayerId();
    for (int slot = 0; slot < kPlayerSlots; ++slot) {
        if (!(table.inUse[size_t(slot)] & 1)) continue;
        const uint32_t id = table.dpid[size_t(slot)];
        for (const PlayerRecord& r : records) {
            if (r.id != id) continue;
            // This machine's own record is the freshest copy of its data.
            out.push_back({id, r.name, id == me ? layer_.localPlayerData() : PlayerData::decode(r.data)});
            break;
        }
    }
    return out;
}

void SetupRoomActions::setReady(bool ready) { setup_.setReady(ready); }

void SetupRoomActions::setTeam(int team) { setup_.setTeam(team); }

std::optional<std::string> SetupRoomActions::begin() { return setup_.begin(); }

bool SetupRoomActions::kick(uint32_t player) {
    for (const NetGameSetup::Player& p : setup_.players())
        if (p.id == player) return setup_.kick(p.slot);
    return false;
}

void SetupRoomActions::sendChat(const std::string& text) {
    if (!layer_.sessionOpen()) return;
    GameMessage m;
    m.id = kMsgChat;
    m.text = text;
    const std::vector<uint8_t> bytes = encodeMessage(m);
    layer_.send(layer_.localPlayerId(), kAllPlayers, 0, bytes);
}

}  // namespace pavalo::net
