// Crowds on one 500-piece puzzle over loopback, every player behind the
// fault-injecting relay (loss, doubles, reordering): a host and 7 players,
// and a host and 15. Slow: labelled so.
#include "tests/net/live_game.h"

namespace pavalo::net {
namespace {

test::LiveGame crowd(int players) {
    test::LiveGame g;
    g.players = players;
    g.linked = players;
    g.cols = 25;
    g.rows = 20;
    g.actions = 20;
    g.faults.loss = 0.2;
    g.faults.duplicate = 0.1;
    g.faults.jitterMs = 4;
    g.limitMs = 120000;
    // Eight machines and their relays share one test host: what is checked
    // is that everybody ends with the host's model, not how soon a starved
    // machine is given up.
    g.peerTimeoutMs = 20000;
    return g;
}

TEST(Crowd, HostAndSevenPlayersEndWithTheHostsModel) {
    test::playLiveGame(crowd(7));
}

// Half of them behind relays: sixteen machines and their relays on one
// test host are more than its scheduler keeps answering within any sane
// silence limit.
TEST(Crowd, HostAndFifteenPlayersEndWithTheHostsModel) {
#if defined(__SANITIZE_ADDRESS__)
    // Sixteen instrumented machines answer too slowly for their queues to
    // keep up; the optimised build runs it.
    GTEST_SKIP() << "too slow under the address sanitizer";
#endif
    test::LiveGame g = crowd(15);
    g.linked = 8;
    g.actions = 8;
    test::playLiveGame(g);
}

}  // namespace
}  // namespace pavalo::net
