// A host and three players on real sessions over loopback, two of them
// behind the fault-injecting relay, end with the host's model.
#include "tests/net/live_game.h"

namespace pavalo::net {
namespace {

TEST(LiveGame, FourMachinesEndWithTheHostsModel) {
    test::playLiveGame({});
}

TEST(LiveGame, FourMachinesOverLossyLinksEndWithTheHostsModel) {
    test::LiveGame g;
    g.faults.loss = 0.2;
    g.faults.duplicate = 0.1;
    g.faults.jitterMs = 4;
    test::playLiveGame(g);
}

}  // namespace
}  // namespace pavalo::net
