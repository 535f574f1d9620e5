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

// A small puzzle played on to the end: every machine sees the completion
// once and ends with the host's model.
TEST(LiveGame, BotsCompleteASmallPuzzleOverLossyLinks) {
    test::LiveGame g;
    g.cols = 5;
    g.rows = 4;
    g.actions = 10;
    g.complete = true;
    g.faults.loss = 0.2;
    g.faults.duplicate = 0.1;
    g.faults.jitterMs = 4;
    test::playLiveGame(g);
}

}  // namespace
}  // namespace pavalo::net
