// Players on real sessions over loopback: a host and its players, some of
// them behind the relay of the fault-injecting link, play one puzzle with
// the headless player's moves from their own threads while the host's
// server thread decides. Afterwards every model equals the host's and
// nobody holds anything.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "net/bot.h"
#include "tests/net/fault_link.h"
#include "tests/net/protocol_hub.h"
#include "tests/net/rig.h"

namespace pavalo::net::test {

// A machine of the game: model, layer, dispatcher and senders, with a
// thread standing in for the user-interface thread.
struct LiveMachine final : DispatchFrontEnd {
    PuzzleModel model;
    uint32_t puzzleState = 0;
    Random rng{5};
    CountingCompletion completion;
    NetLayer layer;
    LayerPort port{layer};
    Dispatcher dispatcher{DispatchContext{model, port, puzzleState, completion, rng, *this, nullptr}};
    GameSenders senders{dispatcher};
    std::thread ui;
    std::atomic<bool> stop{false}, playing{false};
    std::atomic<int> actions{0};

    LiveMachine(PuzzleModel puzzle, const NetSettings& settings)
        : model(std::move(puzzle)),
          layer(NetHooks{.postNetMessage = {},
                         .sendNetMessage = {},
                         .dispatch = [this](bool server) { dispatcher.dispatch(server); },
                         .showMessage = {},
                         .playerListChanged = {},
                         .returnSortingBoxPieces = {},
                         .redrawPlayArea = {},
                         .becameHost = {},
                         .lobbyStatus = {},
                         .systemMessage = {}}) {
        layer.setSettings(settings);
        layer.setHolderModel(&dispatcher.holderModel());
    }
    ~LiveMachine() override { finish(); }
    void postCompletionCheck() override { checkPuzzleCompletion(model, puzzleState, true, completion, rng); }

    // Every machine is playing before anybody moves: a machine that is not
    // yet playing leaves piece messages alone (a late joiner is brought
    // level by the synchronisation instead).
    void ready() {
        PlayerData d = layer.localPlayerData();
        d.state = uint32_t(PlayerState::Playing);
        layer.setLocalPlayerData(d);
        dispatcher.startGame(layer.clockMs());
    }
    // Plays `count` random actions (or, towards the solution, until the
    // puzzle is complete), dispatching between them.
    void startPlaying(uint32_t seed, int count, bool towardsSolution = false) {
        finish();
        stop = false;
        actions = 0;
        ui = std::thread([this, seed, count, towardsSolution] {
            std::mt19937 r(seed);
            BotStyle style;
            style.towardsSolution = towardsSolution;
            style.step = [this] {
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
                dispatcher.dispatch(false);
            };
            while (!stop) {
                if (actions < count) {
                    // A piece already placed is no action: the others
                    // are given the machine meanwhile.
                    if (!playRandomAction(senders, model, r, style))
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    ++actions;
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                dispatcher.dispatch(false);
                layer.resendPass();
            }
        });
    }
    void finish() {
        stop = true;
        if (ui.joinable()) ui.join();
    }
    // Nothing waits here and nothing sent from here is still under way: a
    // guaranteed message a lossy link made the transport resend, and every
    // one sent after it, arrive only once that resend gets through.
    bool quiet() {
        Session* s = layer.session();
        return layer.incomingCount() == 0 && layer.outgoingCount() == 0 && !(s && s->deliveriesPending());
    }
};

struct LiveGame {
    int players = 3;         // besides the host's own
    int linked = 2;          // how many of them play behind a fault link
    int cols = 20, rows = 10;
    int actions = 25;        // random actions per machine
    bool complete = false;   // then play on towards the solution
    Faults faults;
    // A machine of a loaded test host may stay silent for a while; a
    // player taken as gone is shown as such below, not as a model apart.
    uint32_t peerTimeoutMs = 10000;
    int limitMs = 60000;
};

inline void playLiveGame(const LiveGame& g) {
    NetSettings settings = loopbackSettings();
    settings.peerTimeoutMs = g.peerTimeoutMs;
    settings.joinTimeoutMs = 8000;
    auto host = std::make_unique<LiveMachine>(gridPuzzle(g.cols, g.rows), settings);
    ASSERT_TRUE(host->layer.openSession("Game", "Host", uint32_t(g.players + 1), kGameCooperative, 1, 0xFF));
    const uint16_t port = host->layer.session()->listenPort();
    std::vector<std::unique_ptr<FaultLink>> links;
    std::vector<std::unique_ptr<LiveMachine>> players;
    for (int i = 0; i < g.players; ++i) {
        uint16_t p = port;
        if (i < g.linked) {
            links.push_back(std::make_unique<FaultLink>(port, g.faults, uint32_t(5 + i)));
            p = links.back()->port();
        }
        players.push_back(std::make_unique<LiveMachine>(gridPuzzle(g.cols, g.rows), settings));
        // A join over a lossy link may miss its answers: tried again, a few times.
        JoinResult joined = JoinResult::NoAnswer;
        for (int attempt = 0; attempt < 3 && joined != JoinResult::Ok; ++attempt)
            joined = players.back()->layer.joinSession("127.0.0.1", p, "Bot");
        ASSERT_EQ(joined, JoinResult::Ok) << "player " << i;
    }
    const int everybody = g.players + 1;
    auto all = [&](auto&& fn) {
        if (!fn(*host)) return false;
        for (auto& m : players)
            if (!fn(*m)) return false;
        return true;
    };
    ASSERT_TRUE(waitUntil([&] { return all([&](LiveMachine& m) { return m.layer.playerTable().inUseCount() == everybody; }); },
                          8000 + 500 * everybody));
    all([](LiveMachine& m) {
        m.ready();
        return true;
    });
    host->startPlaying(1, g.actions);
    for (size_t i = 0; i < players.size(); ++i) players[i]->startPlaying(uint32_t(10 + i), g.actions);
    EXPECT_TRUE(waitUntil([&] { return all([&](LiveMachine& m) { return m.actions.load() >= g.actions; }); }, g.limitMs));
    if (g.complete) {
        const int32_t n = host->model.pieceCount();
        host->startPlaying(2, 1 << 30, true);
        for (size_t i = 0; i < players.size(); ++i) players[i]->startPlaying(uint32_t(40 + i), 1 << 30, true);
        EXPECT_TRUE(waitUntil([&] { return host->model.countListPieces(ListId::Finished) == n; }, g.limitMs));
    }
    all([](LiveMachine& m) {
        m.finish();
        return true;
    });
    // Everybody lets go of everything, then the queues drain.
    all([](LiveMachine& m) {
        m.senders.sendUnselect(ListId::Main, -1);
        return true;
    });
    for (int settled = 0, rounds = 0; settled < 20 && rounds < 4000; ++rounds) {
        all([](LiveMachine& m) {
            m.dispatcher.dispatch(false);
            m.layer.resendPass();
            return true;
        });
        settled = all([](LiveMachine& m) { return m.quiet(); }) ? settled + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    all([&](LiveMachine& m) {
        // Moves may be given up by a full queue, nothing else; nobody left.
        EXPECT_EQ(m.layer.droppedIncoming(), 0u);
        EXPECT_EQ(m.layer.playerTable().inUseCount(), everybody) << "player " << m.layer.localPlayerId();
        if (g.complete) {
            EXPECT_EQ(m.puzzleState, 16u);
            EXPECT_EQ(m.completion.ends, 1) << "player " << m.layer.localPlayerId();
        }
        return true;
    });
    const auto want = snapshot(host->model, host->layer.holders(), host->layer.playerTable());
    for (const auto& s : want) EXPECT_EQ(s.holder, 0);
    for (auto& m : players) {
        const auto got = snapshot(m->model, m->layer.holders(), m->layer.playerTable());
        int differing = 0;
        for (size_t p = 0; p < want.size(); ++p) {
            if (got[p] == want[p]) continue;
            if (++differing <= 3)
                ADD_FAILURE() << "player " << m->layer.localPlayerId() << " piece " << p << ": host list "
                              << want[p].code << " group " << want[p].group << " turn " << want[p].rotation << " at "
                              << want[p].x << "," << want[p].y << " held by " << want[p].holder << "; player list "
                              << got[p].code << " group " << got[p].group << " turn " << got[p].rotation << " at "
                              << got[p].x << "," << got[p].y << " held by " << got[p].holder;
        }
    }
    for (auto& m : players) m->layer.closeSession();
    host->layer.closeSession();
}

}  // namespace pavalo::net::test
