// libFuzzer target for the game message dispatcher: random messages reach a
// host and a player on a cut puzzle, addressed to the host's server player
// or to a player and coming from either player or the server player; the
// host's answers are delivered too. Afterwards both models must hold every
// piece in exactly one group, every group in exactly one list, and every
// position inside the region a group may lie in.
#include <cstdint>
#include <cstdlib>

#include "tests/net/protocol_hub.h"

using namespace pavalo;
using namespace pavalo::net;

namespace {

void check(test::HubMachine& m) {
    std::string why;
    if (!m.model.checkInvariants(&why)) std::abort();
    const PuzzleGeometry& g = m.model.geometry();
    for (int32_t p = 0; p < m.model.pieceCount(); ++p) {
        const Piece& piece = m.model.piece(p);
        if (std::abs(piece.x) > 4 * (g.playWidth + g.pictureWidth) ||
            std::abs(piece.y) > 4 * (g.playHeight + g.pictureHeight) || piece.rotation < 0 || piece.rotation > 3)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::Hub hub(1, [] { return test::gridPuzzle(6, 5); });
    test::HubMachine& host = hub.host();
    test::HubMachine& player = hub.at(1);
    // Each message: a routing byte, a length byte (times 2), then the bytes.
    size_t at = 0;
    for (int count = 0; count < 64 && at + 2 <= size; ++count) {
        const uint8_t route = data[at];
        const size_t length = std::min(size_t(data[at + 1]) * 2 + (route >> 6 & 1), size - at - 2);
        const std::span<const uint8_t> bytes(data + at + 2, length);
        at += 2 + length;
        const uint32_t from = (route & 3) == 0 ? kServerPlayer : (route & 3) == 1 ? host.id() : player.id();
        switch (route >> 2 & 3) {
            case 0: host.dispatcher.handle(bytes, from, kServerPlayer); break;
            case 1: host.dispatcher.handle(bytes, from, host.id()); break;
            case 2: player.dispatcher.handle(bytes, from, player.id()); break;
            default: {
                // The other machines' dispatchers take the answers.
                NetOptions o;
                o.gameType = route >> 7 ? kGameCompetitive : kGameCooperative;
                player.dispatcher.setOptions(o);
                hub.pump();
                break;
            }
        }
    }
    hub.pump();
    check(host);
    check(player);
    return 0;
}
