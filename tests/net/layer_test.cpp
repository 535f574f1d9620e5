// The network layer over local mode and real loopback sessions: the waiter,
// header-only sends, queue limits, acknowledged delivery under loss and
// silence, the token wrap, the holder table, and taking over as host.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <memory>
#include <mutex>

#include "common/file_io.h"
#include "net/net_layer.h"
#include "tests/net/fault_link.h"
#include "tests/net/rig.h"

namespace pavalo::net {
namespace {

using test::loopbackSettings;
using test::waitUntil;

constexpr uint16_t kRequest = 22, kAnswer = 23, kMove = 18, kChat = 7;

std::vector<uint8_t> message(uint16_t id, uint32_t value = 0) {
    std::vector<uint8_t> m(8);
    storeU32(m.data(), id);
    storeU32(m.data() + 4, value);
    return m;
}

// Pieces 0..n-1, each its own group in the main list.
struct FakeModel : HolderModel {
    int n = 10;
    std::vector<int> changed;
    int pieceCount() const override { return n; }
    HolderRecord pieceRecord(int piece) const override {
        HolderRecord r;
        r.x = int16_t(piece * 10);
        r.y = int16_t(-piece);
        r.placement = makePlacement(uint32_t(piece), 0, uint32_t(piece) & 3);
        return r;
    }
    std::vector<int> groupMembers(int piece) const override { return {piece}; }
    std::vector<int> mainListGroups() const override {
        std::vector<int> v;
        for (int i = 0; i < n; ++i) v.push_back(i);
        return v;
    }
    void markChanged(int piece) override { changed.push_back(piece); }
};

// A machine running the layer with a minimal dispatcher: it records every
// message it handles, and the server answers each request.
struct Machine {
    std::recursive_mutex m;
    std::vector<QueueEntry> handled, serverHandled;
    int redraws = 0, sortingBoxReturns = 0, listChanges = 0;
    FakeModel model;
    NetLayer layer;
    std::thread pump;
    std::atomic<bool> stop{false};

    Machine()
        : layer(NetHooks{
              .postNetMessage = [this] { drain(false); },
              .sendNetMessage = [this] { drain(false); },
              .dispatch = [this](bool server) { drain(server); },
              .showMessage = {},
              .playerListChanged = [this] { std::lock_guard l(m); ++listChanges; },
              .returnSortingBoxPieces = [this](int) { std::lock_guard l(m); ++sortingBoxReturns; },
              .redrawPlayArea = [this] { std::lock_guard l(m); ++redraws; },
              .becameHost = {},
              .lobbyStatus = {},
              .systemMessage = {},
          }) {
        layer.setSettings(loopbackSettings());
        layer.setHolderModel(&model);
    }
    ~Machine() { stopPump(); }

    void drain(bool serverMode) {
        QueueEntry e;
        int i;
        while (layer.takeIncoming(serverMode, e, i)) {
            uint16_t id = uint16_t(loadU32(e.data.data()));
            {
                std::lock_guard l(m);
                (e.to == kServerPlayer ? serverHandled : handled).push_back(e);
            }
            if (e.to == kServerPlayer && id == kRequest)
                layer.send(kServerPlayer, e.from, 0, message(kAnswer, loadU32(e.data.data() + 4)));
            layer.finishIncoming(i);
        }
    }
    // The idle loop's resend pass.
    void startPump() {
        pump = std::thread([this] {
            while (!stop) {
                layer.resendPass();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    void stopPump() {
        stop = true;
        if (pump.joinable()) pump.join();
    }
    size_t countHandled(uint16_t id, bool server = false) {
        std::lock_guard l(m);
        auto& v = server ? serverHandled : handled;
        return size_t(std::count_if(v.begin(), v.end(), [&](auto& e) { return uint16_t(loadU32(e.data.data())) == id; }));
    }
    std::set<uint32_t> valuesHandled(uint16_t id, bool server) {
        std::lock_guard l(m);
        std::set<uint32_t> s;
        for (auto& e : server ? serverHandled : handled)
            if (uint16_t(loadU32(e.data.data())) == id) s.insert(loadU32(e.data.data() + 4));
        return s;
    }
};

TEST(LocalMode, RequestToTheServerPlayerIsAnsweredAtOnce) {
    Machine me;
    // Without retry the wait would last 5 s if the loopback answer were not
    // handled before waiting.
    ASSERT_EQ(me.layer.sendAndWait(kServerPlayer, 1, message(kRequest, 42), kAnswer, false), 1);
    auto reply = me.layer.reply();
    ASSERT_EQ(reply.size(), 8u);
    EXPECT_EQ(loadU32(reply.data()), kAnswer);
    EXPECT_EQ(loadU32(reply.data() + 4), 42u);
    EXPECT_EQ(me.countHandled(kRequest, true), 1u);
}

TEST(LocalMode, IncomingQueueHandsOutTheOldestFirst) {
    NetLayer layer;  // no hooks: messages wait in the queue
    for (uint32_t v : {1u, 2u, 3u}) ASSERT_EQ(layer.send(7, 7, 0, message(kMove, v)), 1);
    QueueEntry e;
    int i = -1;
    ASSERT_TRUE(layer.takeIncoming(false, e, i));
    EXPECT_EQ(loadU32(e.data.data() + 4), 1u);
    layer.finishIncoming(i);
    // The freed first entry takes the newest message, which still waits its turn.
    ASSERT_EQ(layer.send(7, 7, 0, message(kMove, 4)), 1);
    std::vector<uint32_t> order;
    while (layer.takeIncoming(false, e, i)) {
        order.push_back(loadU32(e.data.data() + 4));
        layer.finishIncoming(i);
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{2, 3, 4}));
}

TEST(LocalMode, FullQueueGivesUpAMoveButNoOtherMessage) {
    NetLayer layer;
    ASSERT_EQ(layer.send(7, 7, 0, message(kMove, 0)), 1);
    for (uint32_t v = 1; v < kIncomingEntries; ++v) ASSERT_EQ(layer.send(7, 7, 0, message(kChat, v)), 1);
    ASSERT_EQ(layer.send(7, 7, 0, message(kAnswer, 500)), 1);  // takes the move's place
    ASSERT_EQ(layer.send(7, 7, 0, message(kMove, 501)), 1);    // no room left for it
    ASSERT_EQ(layer.send(7, 7, 0, message(kAnswer, 502)), 1);  // nor for this
    EXPECT_EQ(layer.droppedIncoming(), 2u);
    std::vector<uint32_t> got;
    QueueEntry e;
    int i = -1;
    while (layer.takeIncoming(false, e, i)) {
        got.push_back(loadU32(e.data.data() + 4));
        layer.finishIncoming(i);
    }
    ASSERT_EQ(got.size(), size_t(kIncomingEntries));
    EXPECT_EQ(got.front(), 1u);
    EXPECT_EQ(got.back(), 500u);
}

TEST(LocalMode, SecondWaitIsRefusedWithoutSending) {
    Machine me;
    std::atomic<int> first{-1};
    std::thread waiter([&] { first = me.layer.sendAndWait(kServerPlayer, 0, message(99), 77, false); });
    ASSERT_TRUE(waitUntil([&] { return me.countHandled(99, true) == 1; }));
    EXPECT_EQ(me.layer.sendAndWait(kServerPlayer, 0, message(kRequest), kAnswer, false), 0);
    EXPECT_EQ(me.layer.sendHeaderAndWait(kServerPlayer, 1, 4, false), 0);
    EXPECT_EQ(me.countHandled(kRequest, true), 0u);
    EXPECT_EQ(me.countHandled(1, true), 0u);
    // The awaited message ends the first wait.
    me.layer.send(kServerPlayer, 0, 0, message(77));
    waiter.join();
    EXPECT_EQ(first, 1);
}

TEST(LocalMode, HeaderOnlyListQueueLimitAndSizes) {
    NetLayer layer;  // nobody dispatches: messages stay queued
    EXPECT_EQ(layer.sendHeaderOnly(2, 1, 7), 0);
    EXPECT_EQ(layer.sendHeaderOnly(2, 1, 39), 0);
    EXPECT_EQ(layer.incomingCount(), 0);
    for (uint16_t id : {1, 2, 3, 8, 11, 12, 13, 14, 15, 17, 37, 38}) EXPECT_EQ(layer.sendHeaderOnly(2, 1, id), 1) << id;
    EXPECT_EQ(layer.incomingCount(), 12);
    for (int i = 0; i < kIncomingEntries + 50; ++i) layer.send(2, 0, 0, message(kMove, uint32_t(i)));
    EXPECT_EQ(layer.incomingCount(), kIncomingEntries);
    EXPECT_EQ(layer.send(2, 0, 0, std::vector<uint8_t>(3)), 0);
    EXPECT_EQ(layer.send(2, 0, 0, std::vector<uint8_t>(4097)), 0);
    EXPECT_EQ(layer.waitFor(5, 10), 0);  // only with a session
}

TEST(Tables, PlayerTableSlots) {
    PlayerTable t;
    EXPECT_EQ(t.add(10), 0);
    EXPECT_EQ(t.add(11), 1);
    EXPECT_EQ(t.add(10), 0);
    EXPECT_EQ(t.slotOf(11, false), 1);
    EXPECT_EQ(t.slotOf(12, false), -1);
    EXPECT_EQ(t.slotOf(12, true), 0);
    EXPECT_EQ(t.slotOf(0xFFFFFFFFu, true), -1);
    t.inUse[0] = 0;
    EXPECT_EQ(t.slotOf(10, false), -1);
    EXPECT_EQ(t.add(12), 0);  // the first free slot is reused
    for (uint32_t id = 20; id < 34; ++id) t.add(id);
    EXPECT_EQ(t.inUseCount(), 16);
    EXPECT_EQ(t.add(99), -1);
}

TEST(Tables, HolderTableKeepsOnlyHoldersThatStillHaveASlot) {
    FakeModel model;
    PlayerTable t;
    t.add(5);
    t.add(6);
    t.add(7);
    HolderTable h;
    EXPECT_EQ(h.holderOf(0, t), kNoSlot);  // no table yet
    h.rebuild(model, t, false);
    ASSERT_EQ(h.records().size(), 10u);
    EXPECT_EQ(h.records()[3].x, 30);
    EXPECT_EQ(h.records()[3].placement >> 23 & 3, 3u);
    h.setHolder(&model, 1, 1, t);
    h.setHolder(&model, 2, 2, t);
    h.setHolder(&model, 4, 2, t);
    EXPECT_EQ(h.holderOf(2, t), 2);
    EXPECT_EQ(h.countHeld(2, t), 2);
    EXPECT_EQ(h.holderOf(-1, t), kNoSlot);
    EXPECT_EQ(h.holderOf(10, t), kNoSlot);
    t.inUse[2] = 0;  // player 7 left without its pieces being released
    EXPECT_EQ(h.holderOf(2, t), kNoSlot);
    h.rebuild(model, t, true);
    EXPECT_EQ(h.holderOf(1, t), 1);
    EXPECT_EQ(h.records()[2].holder, kNoHolder);
    t.inUse[2] = 1;  // the slot comes back: the rebuilt table stays clear
    EXPECT_EQ(h.holderOf(2, t), kNoSlot);
    EXPECT_EQ(h.releaseAll(&model, 1, t), 1);
    EXPECT_EQ(h.countHeld(1, t), 0);
    h.rebuild(model, t, false);
    EXPECT_EQ(h.countHeld(kNoSlot, t), 10);
}

TEST(Tables, RefreshHeldRewritesOnlyThatSlotsGroups) {
    FakeModel model;
    PlayerTable t;
    t.add(5);
    t.add(6);
    HolderTable h;
    h.rebuild(model, t, false);
    h.setHolder(nullptr, 3, 1, t);
    model.changed.clear();
    h.refreshHeld(model, t, 1);
    EXPECT_EQ(model.changed, std::vector<int>{3});
}

struct Session3 {
    std::unique_ptr<Machine> host, a, b;
    void open(ConnectionKind kind, uint16_t viaA = 0, uint16_t viaB = 0) {
        host = std::make_unique<Machine>();
        a = std::make_unique<Machine>();
        b = std::make_unique<Machine>();
        for (auto* m : {host.get(), a.get(), b.get()}) {
            m->layer.fillConnections();
            ASSERT_TRUE(m->layer.chooseConnection(kind == ConnectionKind::Lan ? kConnectionLan : kConnectionLanUnguaranteed));
        }
        ASSERT_TRUE(host->layer.openSession("Test", "Host", 8, 2, 1234, 0xFF));
        uint16_t port = host->layer.session()->listenPort();
        ASSERT_EQ(a->layer.joinSession("127.0.0.1", viaA ? viaA : port, "Ann"), JoinResult::Ok);
        ASSERT_EQ(b->layer.joinSession("127.0.0.1", viaB ? viaB : port, "Bob"), JoinResult::Ok);
        ASSERT_TRUE(waitUntil([&] { return host->layer.playerTable().inUseCount() == 3 && a->layer.playerTable().inUseCount() == 3; }));
    }
};

TEST(AcknowledgedDelivery, BroadcastIsResentUntilEverySlotAcksOrLeaves) {
    // Bob is behind a link that can go silent.
    // The silences below stay shorter than the time after which a machine
    // counts as gone.
    NetSettings settings = loopbackSettings();
    settings.peerTimeoutMs = 3000;
    Session3 s;
    s.host = std::make_unique<Machine>();
    s.host->layer.setSettings(settings);
    s.host->layer.chooseConnection(kConnectionLanUnguaranteed);
    ASSERT_TRUE(s.host->layer.openSession("Test", "Host", 8, 2, 1, 0));
    uint16_t port = s.host->layer.session()->listenPort();
    test::FaultLink link(port, {});
    s.a = std::make_unique<Machine>();
    s.b = std::make_unique<Machine>();
    s.a->layer.setSettings(settings);
    s.b->layer.setSettings(settings);
    s.a->layer.chooseConnection(kConnectionLanUnguaranteed);
    s.b->layer.chooseConnection(kConnectionLanUnguaranteed);
    ASSERT_EQ(s.a->layer.joinSession("127.0.0.1", port, "Ann"), JoinResult::Ok);
    ASSERT_EQ(s.b->layer.joinSession("127.0.0.1", link.port(), "Bob"), JoinResult::Ok);
    ASSERT_TRUE(waitUntil([&] { return s.host->layer.playerTable().inUseCount() == 3; }));
    ASSERT_FALSE(s.host->layer.session()->caps(s.a->layer.localPlayerId()).guaranteed);
    s.host->startPump();

    test::Faults silent;
    silent.silent = true;
    link.setFaults(silent);
    ASSERT_EQ(s.host->layer.send(kServerPlayer, kAllPlayers, 1, message(kChat, 1)), 1);
    EXPECT_TRUE(waitUntil([&] { return s.a->countHandled(kChat) == 1; }));
    // Bob hears nothing, so the message stays queued and is resent.
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(s.host->layer.outgoingCount(), 1);
    link.setFaults({});
    EXPECT_TRUE(waitUntil([&] { return s.b->countHandled(kChat) >= 1; }, 3000));
    EXPECT_TRUE(waitUntil([&] { return s.host->layer.outgoingCount() == 0; }, 3000));
    EXPECT_EQ(s.a->countHandled(kChat), 1u);  // Ann acked at once: no resend to her

    // Bob goes silent for good and then vanishes: he stops holding it back.
    link.setFaults(silent);
    ASSERT_EQ(s.host->layer.send(kServerPlayer, kAllPlayers, 1, message(kChat, 2)), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(s.host->layer.outgoingCount(), 1);
    uint32_t bob = s.b->layer.localPlayerId();
    s.b->layer.vanish();
    EXPECT_TRUE(waitUntil([&] { return s.host->layer.playerTable().slotOf(bob, false) < 0; }, 5000));
    EXPECT_TRUE(waitUntil([&] { return s.host->layer.outgoingCount() == 0; }, 5000));
}

TEST(AcknowledgedDelivery, EveryMessageArrivesThroughLossAndDuplicationAcrossTheTokenWrap) {
    auto host = std::make_unique<Machine>();
    host->layer.chooseConnection(kConnectionLanUnguaranteed);
    ASSERT_TRUE(host->layer.openSession("Test", "Host", 8, 2, 1, 0));
    test::Faults f;
    f.loss = 0.2;
    f.duplicate = 0.2;
    f.jitterMs = 4;
    test::FaultLink link(host->layer.session()->listenPort(), f, 3);
    auto a = std::make_unique<Machine>();
    a->layer.chooseConnection(kConnectionLanUnguaranteed);
    ASSERT_EQ(a->layer.joinSession("127.0.0.1", link.port(), "Ann"), JoinResult::Ok);
    // Start just below the wrap of the 16-bit token.
    a->layer.setDeliverySeq(0xFFF0);
    a->startPump();
    host->startPump();
    constexpr uint32_t kCount = 40;
    for (uint32_t i = 0; i < kCount; ++i) {
        ASSERT_EQ(a->layer.send(a->layer.localPlayerId(), kServerPlayer, 1, message(kChat, i)), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::set<uint32_t> want;
    for (uint32_t i = 0; i < kCount; ++i) want.insert(i);
    EXPECT_TRUE(waitUntil([&] { return host->valuesHandled(kChat, true) == want; }, 15000));
    EXPECT_TRUE(waitUntil([&] { return a->layer.outgoingCount() == 0; }, 8000));
    // No token 0 was handed out: counter skipped 0x10000.
    EXPECT_EQ(a->layer.deliverySeq(), 0xFFF0u + kCount + 1);
    // Duplicates and resends are queued and handled again, never merged.
    EXPECT_GE(host->countHandled(kChat, true), size_t(kCount));
}

TEST(AcknowledgedDelivery, MessageResentBeforeItsAckArrivesIsHandledTwice) {
    NetSettings settings = loopbackSettings();
    settings.peerTimeoutMs = 3000;  // the lost acknowledgements must not end the link
    auto host = std::make_unique<Machine>();
    host->layer.setSettings(settings);
    host->layer.chooseConnection(kConnectionLanUnguaranteed);
    ASSERT_TRUE(host->layer.openSession("Test", "Host", 8, 2, 1, 0));
    test::FaultLink link(host->layer.session()->listenPort(), {});
    auto a = std::make_unique<Machine>();
    a->layer.setSettings(settings);
    a->layer.chooseConnection(kConnectionLanUnguaranteed);
    ASSERT_EQ(a->layer.joinSession("127.0.0.1", link.port(), "Ann"), JoinResult::Ok);
    a->startPump();
    test::Faults noReplies;
    noReplies.dropReplies = true;
    link.setFaults(noReplies);
    ASSERT_EQ(a->layer.send(a->layer.localPlayerId(), kServerPlayer, 1, message(kChat, 5)), 1);
    // The acknowledgement is lost, so Ann sends it again after a second.
    EXPECT_TRUE(waitUntil([&] { return host->countHandled(kChat, true) == 2; }, 3000));
    {
        // The second copy is marked as a repeat, so that the game's
        // dispatcher passes it by.
        std::lock_guard l(host->m);
        ASSERT_EQ(host->serverHandled.size(), 2u);
        EXPECT_EQ(host->serverHandled[0].flags & 2, 0u);
        EXPECT_EQ(host->serverHandled[1].flags & 2, 2u);
    }
    link.setFaults({});
    EXPECT_TRUE(waitUntil([&] { return a->layer.outgoingCount() == 0; }, 3000));
    EXPECT_EQ(host->valuesHandled(kChat, true), std::set<uint32_t>{5});
}

TEST(Migration, NewHostKeepsHoldersFreesTheOldHostsPiecesAndAnswersRequests) {
    Session3 s;
    s.open(ConnectionKind::Lan);
    uint32_t ida = s.a->layer.localPlayerId(), idb = s.b->layer.localPlayerId();
    uint32_t idh = s.host->layer.localPlayerId();
    // Ann's machine keeps a holder table: she holds 3, Bob 5, the host 7.
    PlayerTable t = s.a->layer.playerTable();
    HolderTable& h = s.a->layer.holders();
    h.rebuild(s.a->model, t, false);
    h.setHolder(nullptr, 3, t.slotOf(ida, false), t);
    h.setHolder(nullptr, 5, t.slotOf(idb, false), t);
    h.setHolder(nullptr, 7, t.slotOf(idh, false), t);
    s.b->startPump();

    auto start = std::chrono::steady_clock::now();
    s.host->layer.vanish();
    ASSERT_TRUE(waitUntil([&] { return s.a->layer.session()->isHost() && s.a->layer.session()->hasPlayer(kServerPlayer); }, 5000));
    // Bob hears NEWHOST from the new server player.
    EXPECT_TRUE(waitUntil([&] { return s.b->countHandled(kMsgNewHost) >= 1; }, 5000));
    // Requests from Bob are answered by the new host's server.
    ASSERT_EQ(s.b->layer.sendAndWait(kServerPlayer, 0, message(kRequest, 9), kAnswer, true), 1);
    std::printf("migration: first answered request through the new host after %.0f ms\n", test::msSince(start));
    EXPECT_EQ(loadU32(s.b->layer.reply().data() + 4), 9u);

    t = s.a->layer.playerTable();
    EXPECT_EQ(h.holderOf(3, t), t.slotOf(ida, false));
    EXPECT_EQ(h.holderOf(5, t), t.slotOf(idb, false));
    EXPECT_EQ(h.holderOf(7, t), kNoSlot);
    EXPECT_EQ(t.slotOf(idh, false), -1);
    EXPECT_GE(s.a->redraws, 1);
    EXPECT_GE(s.a->sortingBoxReturns, 1);
    // The session now carries the new host's name.
    EXPECT_TRUE(waitUntil([&] { return s.b->layer.session()->desc().name == "Ann"; }));
}

TEST(Migration, AcknowledgedRequestsToTheServerAreNotLostWithTheOldHost) {
    Session3 s;
    s.open(ConnectionKind::LanUnguaranteed);
    s.b->startPump();
    s.host->layer.vanish();
    // Bob sends while the host is gone or being replaced; the new host's
    // server must still get every one.
    for (uint32_t i = 0; i < 5; ++i) {
        ASSERT_EQ(s.b->layer.send(s.b->layer.localPlayerId(), kServerPlayer, 1, message(kChat, i)), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(waitUntil([&] { return s.a->valuesHandled(kChat, true) == std::set<uint32_t>{0, 1, 2, 3, 4}; }, 8000));
    EXPECT_TRUE(waitUntil([&] { return s.b->layer.outgoingCount() == 0; }, 3000));
}

// A scripted lobby: one status query, then silence.
struct ScriptedLobby : LobbyLink {
    std::mutex m;
    std::vector<std::vector<uint8_t>> pending, sent;
    bool receive(std::vector<uint8_t>& message, bool& system) override {
        std::lock_guard l(m);
        if (pending.empty()) return false;
        message = pending.front();
        pending.erase(pending.begin());
        system = false;
        return true;
    }
    void send(std::span<const uint8_t> message) override {
        std::lock_guard l(m);
        sent.emplace_back(message.begin(), message.end());
    }
};

TEST(Lobby, StatusQueryIsAnsweredWithEveryPlayersData) {
    Session3 s;
    s.open(ConnectionKind::Lan);
    PlayerData mine;
    mine.state = 4;
    mine.piecesPlaced = 12;
    ASSERT_TRUE(s.a->layer.setLocalPlayerData(mine));
    ASSERT_TRUE(waitUntil([&] {
        PlayerDataBytes b{};
        return s.host->layer.session()->playerData(s.a->layer.localPlayerId(), b) && PlayerData::decode(b) == mine;
    }));
    ScriptedLobby lobby;
    lobby.pending.push_back({40, 0, 0, 0});
    lobby.pending.push_back({39, 0, 0, 0});  // not a status query: no answer
    s.host->layer.setLobby(&lobby);
    ASSERT_TRUE(waitUntil([&] { std::lock_guard l(lobby.m); return !lobby.sent.empty(); }, 2000));
    s.host->layer.setLobby(nullptr);
    std::lock_guard l(lobby.m);
    ASSERT_EQ(lobby.sent.size(), 1u);
    const auto& r = lobby.sent[0];
    ASSERT_EQ(r.size(), 24u + 16 * 3);
    EXPECT_EQ(loadU32(&r[0]), 41u);
    EXPECT_EQ(loadU32(&r[4]), 40u + 16 * 2);
    EXPECT_EQ(loadU32(&r[20]), 3u);
    // Slot order: the host first, then Ann.
    EXPECT_EQ(loadU32(&r[24 + 8]), 1u);
    EXPECT_EQ(loadU32(&r[40 + 4]), 12u);
    EXPECT_EQ(loadU32(&r[40 + 8]), 4u);
}

TEST(Caps, ReportTheConnectionsGuaranteeAndALinkRate) {
    Session3 s;
    s.open(ConnectionKind::LanUnguaranteed);
    Caps c = s.host->layer.session()->caps(s.a->layer.localPlayerId());
    EXPECT_FALSE(c.guaranteed);
    EXPECT_GT(c.bytesPerSecond, 0u);
    Session3 t;
    t.open(ConnectionKind::Lan);
    EXPECT_TRUE(t.a->layer.session()->caps(kServerPlayer).guaranteed);
}

TEST(ConnectionDialog, OffersTheThreeConnectionsAndRefusesOthers) {
    std::vector<std::string> shown;
    NetHooks hooks;
    hooks.showMessage = [&](const std::string& m) { shown.push_back(m); };
    NetLayer layer(hooks);
    auto list = layer.fillConnections();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], kConnectionLan);
    EXPECT_FALSE(layer.chooseConnection("Modem"));
    EXPECT_EQ(shown, std::vector<std::string>{kMsgCannotInitConnection});
    EXPECT_TRUE(layer.chooseConnection(kConnectionLanUnguaranteed));
}

}  // namespace
}  // namespace pavalo::net
