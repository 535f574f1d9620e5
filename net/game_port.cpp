// The game protocol's port on the real network layer.
#include "net/game_port.h"

#include <chrono>
#include <thread>

namespace pavalo::net {

bool LayerPort::isHost() const {
    if (!layer_.sessionOpen()) return true;
    Session* s = layer_.session();
    return s && s->isHost();
}

std::string LayerPort::playerName(uint32_t id) const {
    Session* s = layer_.session();
    if (!s) return {};
    for (const PlayerRecord& p : s->players())
        if (p.id == id) return p.name;
    return {};
}

// Requests go guaranteed, in order with the player's other guaranteed
// messages: a request that overtook the unselect or drop sent before it
// would be decided on holds its player had already let go of (an arrange
// or a selection drag then takes those groups along on every machine but
// the player's own). The resends of a repeatable request still cover a
// refusal that was lost.
bool LayerPort::request(std::span<const uint8_t> bytes, uint16_t awaitedId, const ReplyFilter& accept,
                        bool repeatable, std::vector<uint8_t>& reply) {
    const uint32_t flags = repeatable ? 1 : 1 | kSendOnce;
    if (!layer_.sendAndWait(kServerPlayer, flags, bytes, awaitedId, true, requestLimitMs_, accept)) return false;
    reply = layer_.reply();
    return true;
}

uint32_t LayerPort::nowMs() const { return layer_.clockMs(); }

void LayerPort::pauseBetweenBroadcasts() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

}  // namespace pavalo::net
