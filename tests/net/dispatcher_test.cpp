// The game protocol between machines in one process: the host's decisions
// and their limits, what goes out and to whom, the checks on what players
// write, the Competitive type, repeated messages, and several players
// converging on one puzzle over a lossy hub.
#include <gtest/gtest.h>

#include <set>

#include "net/bot.h"
#include "tests/net/protocol_hub.h"

namespace pavalo::net {
namespace {

using test::Envelope;
using test::Hub;
using test::HubFaults;
using test::HubMachine;
using test::snapshot;

std::function<PuzzleModel()> grid(int cols, int rows) {
    return [=] { return test::gridPuzzle(cols, rows); };
}

std::optional<GameMessage> decode(const Envelope& e, int pieces = 4000) {
    std::string why;
    MessageLimits l;
    l.pieceCount = pieces;
    return decodeMessage(e.bytes, l, why);
}

// The local player's drop where the view lets go: the group lies at the
// play-area point and the host decides.
void dropAt(Hub& hub, HubMachine& m, int32_t piece, int32_t x, int32_t y) {
    m.model.moveGroup(ListId::Main, piece, x, y);
    m.senders.sendDrop(ListId::Main, piece);
    hub.pump();
}

// Holds `count` pieces from `first` on for player `id` in the host's table.
void holdOnHost(Hub& hub, uint32_t id, int first, int count) {
    HubMachine& h = hub.host();
    const int slot = h.table.slotOf(id, false);
    for (int p = first; p < first + count; ++p) h.holderTable.setHolder(nullptr, p, slot, h.table);
}

TEST(Arbitration, PickupGrantedAgainAndRefusedAbove128Held) {
    Hub hub(2, grid(20, 10));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    EXPECT_EQ(a.senders.requestPickup(ListId::Main, 5), 1);
    EXPECT_EQ(a.senders.requestPickup(ListId::Main, 5), 1);  // already ours: granted again
    hub.pump();
    EXPECT_EQ(b.senders.requestPickup(ListId::Main, 5), 0);  // A holds it
    EXPECT_EQ(b.senders.requestPickup(ListId::Finished, 6), 0);

    // A holds 128 more (129 with piece 5): refused; B with exactly 128 is not.
    holdOnHost(hub, a.id(), 10, 128);
    EXPECT_EQ(a.senders.requestPickup(ListId::Main, 150), 0);
    const Envelope refusal = hub.log.back();
    EXPECT_EQ(refusal.id(), kMsgPickupPiece);
    EXPECT_EQ(refusal.to, a.id());
    EXPECT_FALSE(refusal.guaranteed);
    holdOnHost(hub, b.id(), 151, 128);
    EXPECT_EQ(b.senders.requestPickup(ListId::Main, 140), 1);
    EXPECT_EQ(hub.log.back().to, kAllPlayers);
    EXPECT_TRUE(hub.log.back().guaranteed);
}

TEST(Arbitration, HoldOfAPlayerWithoutSlotIsGranted) {
    Hub hub(2, grid(6, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 3), 1);
    hub.pump();
    // A's slot goes away on the host (it left) before its release arrived.
    HubMachine& h = hub.host();
    h.table.inUse[size_t(h.table.slotOf(a.id(), false))] = 0;
    EXPECT_EQ(b.senders.requestPickup(ListId::Main, 3), 1);
}

TEST(Arbitration, SelectionStopsAt128AndAllHeldGetsEmptyReplyToRequesterOnly) {
    Hub hub(2, grid(20, 12));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    // A raw request for 200 pieces: the host keeps the first 128.
    GameMessage req;
    req.id = kMsgRequestSelection;
    req.player = a.id();
    req.serial = 77;
    for (uint32_t p = 0; p < 200; ++p) req.pieces.push_back(p);
    a.dispatcher.send(req, a.id(), kServerPlayer, false);
    hub.pump();
    auto replies = hub.sent(kMsgSelectPieces);
    ASSERT_EQ(replies.size(), 1u);
    auto granted = decode(replies[0]);
    ASSERT_TRUE(granted);
    ASSERT_EQ(granted->pieces.size(), 128u);
    EXPECT_EQ(granted->pieces.back(), 127u);
    EXPECT_EQ(granted->serial, 77u);
    EXPECT_EQ(replies[0].to, kAllPlayers);
    EXPECT_EQ(b.holderTable.holderOf(127, b.table), b.table.slotOf(a.id(), false));
    EXPECT_EQ(b.holderTable.holderOf(128, b.table), kNoSlot);

    // The player's own selection: the filter stops at 128 before sending.
    hub.log.clear();
    std::vector<int32_t> wanted;
    for (int32_t p = 128; p < 240; ++p) wanted.push_back(p);
    const auto selected = b.senders.requestSelection(ListId::Main, wanted);
    EXPECT_EQ(selected.size(), 112u);
    EXPECT_TRUE(b.model.isSelected(ListId::Main, 128));
    EXPECT_FALSE(a.model.isSelected(ListId::Main, 128));

    // B asks for pieces A holds: a 20-byte empty reply to B alone.
    hub.log.clear();
    req.player = b.id();
    req.serial = 5;
    req.pieces = {3, 4, 5};
    b.dispatcher.send(req, b.id(), kServerPlayer, false);
    hub.pump();
    replies = hub.sent(kMsgSelectPieces);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes.size(), 20u);
    EXPECT_EQ(replies[0].to, b.id());
    EXPECT_FALSE(replies[0].guaranteed);
    EXPECT_EQ(decode(replies[0])->serial, 5u);

    // A late copy of an older request of B's (serial 4 after 5) is not
    // answered, even for pieces B holds.
    hub.log.clear();
    req.serial = 4;
    req.pieces = {200, 201};
    b.dispatcher.send(req, b.id(), kServerPlayer, false);
    hub.pump();
    EXPECT_TRUE(hub.sent(kMsgSelectPieces).empty());
}

// The last request of `id` that went out.
Envelope lastSent(Hub& hub, uint16_t id) {
    for (auto it = hub.log.rbegin(); it != hub.log.rend(); ++it)
        if (it->id() == id) return *it;
    ADD_FAILURE() << "no " << messageName(id);
    return {};
}

TEST(Arbitration, LateCopiesOfRequestsGrantNothingAndADoubledTurnTurnsOnce) {
    Hub hub(2, grid(6, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    HubMachine& h = hub.host();
    const int slotA = h.table.slotOf(a.id(), false);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 4), 1);
    const Envelope pickup = lastSent(hub, kMsgRequestPickup);
    dropAt(hub, a, 4, 300, 300);
    // A copy of the pickup request that comes after the drop is not
    // granted again: A would hold a piece it does not know of.
    hub.log.clear();
    h.dispatcher.handle(pickup.bytes, a.id(), kServerPlayer);
    hub.pump();
    EXPECT_TRUE(hub.sent(kMsgPickupPiece).empty());
    EXPECT_EQ(h.holderTable.holderOf(4, h.table), kNoSlot);
    EXPECT_EQ(b.senders.requestPickup(ListId::Main, 4), 1);
    // A peer that does not number its requests is answered as always.
    GameMessage unnumbered;
    unnumbered.id = kMsgRequestPickup;
    unnumbered.player = a.id();
    unnumbered.piece = 9;
    h.dispatcher.handle(encodeMessage(unnumbered), a.id(), kServerPlayer);
    hub.pump();
    EXPECT_EQ(h.holderTable.holderOf(9, h.table), slotA);
    EXPECT_EQ(b.holderTable.holderOf(9, b.table), b.table.slotOf(a.id(), false));

    // A copy of an answered selection request gets the same answer, to A
    // alone, though the piece refused first has been let go since.
    ASSERT_EQ(b.senders.requestPickup(ListId::Main, 15), 1);
    EXPECT_EQ(a.senders.requestSelection(ListId::Main, std::vector<int32_t>{14, 15}).size(), 1u);
    const Envelope selection = lastSent(hub, kMsgRequestSelection);
    dropAt(hub, b, 15, 500, 500);
    hub.log.clear();
    h.dispatcher.handle(selection.bytes, a.id(), kServerPlayer);
    hub.pump();
    ASSERT_EQ(hub.sent(kMsgSelectPieces).size(), 1u);
    EXPECT_EQ(hub.sent(kMsgSelectPieces)[0].to, a.id());
    EXPECT_EQ(decode(hub.sent(kMsgSelectPieces)[0])->pieces, std::vector<uint32_t>{14});
    EXPECT_EQ(h.holderTable.holderOf(15, h.table), kNoSlot);

    // A turn request that comes twice turns the group once; the next one
    // turns it again.
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 8), 1);
    a.model.rotateGroup(ListId::Main, 8, 1);
    a.senders.requestRotate(ListId::Main, 8);
    const Envelope turn = lastSent(hub, kMsgRequestRotate);
    hub.pump();
    h.dispatcher.handle(turn.bytes, a.id(), kServerPlayer);
    hub.pump();
    EXPECT_EQ(h.model.piece(8).rotation, 1);
    EXPECT_EQ(b.model.piece(8).rotation, 1);
    a.model.rotateGroup(ListId::Main, 8, 1);
    a.senders.requestRotate(ListId::Main, 8);
    hub.pump();
    EXPECT_EQ(h.model.piece(8).rotation, 2);
    EXPECT_EQ(b.model.piece(8).rotation, 2);
}

TEST(Arbitration, SelectionHoldsWholeGroupsAndSkipsGroupsAnotherHoldsPartOf) {
    Hub hub(2, grid(6, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    HubMachine& h = hub.host();
    // B joins 1 to 0 and 7 to 6: two groups of two.
    for (auto [piece, to] : {std::pair{1, 0}, std::pair{7, 6}}) {
        ASSERT_EQ(b.senders.requestPickup(ListId::Main, to), 1);
        dropAt(hub, b, to, 400, 300 + 100 * to);
        int32_t x, y;
        b.model.expectedPosition(piece, to, x, y);
        ASSERT_EQ(b.senders.requestPickup(ListId::Main, piece), 1);
        dropAt(hub, b, piece, x, y);
        ASSERT_EQ(h.model.member(piece).group, h.model.member(to).group);
    }
    const auto selected = a.senders.requestSelection(ListId::Main, std::vector<int32_t>{0});
    ASSERT_EQ(selected.size(), 1u);
    hub.pump();
    for (HubMachine* m : {&h, &a, &b})
        EXPECT_EQ(m->holderTable.holderOf(1, m->table), m->table.slotOf(a.id(), false));
    // B holds a part of the other group: A's selection of its other part
    // is refused.
    holdOnHost(hub, b.id(), 6, 1);
    hub.log.clear();
    EXPECT_TRUE(a.senders.requestSelection(ListId::Main, std::vector<int32_t>{7}).empty());
    ASSERT_EQ(hub.sent(kMsgSelectPieces).size(), 1u);
    EXPECT_EQ(hub.sent(kMsgSelectPieces)[0].to, a.id());
    EXPECT_NE(h.holderTable.holderOf(7, h.table), h.table.slotOf(a.id(), false));
}

TEST(Departure, APlayersSortingBoxPiecesComeBackWhereTheyLay) {
    Hub hub(2, grid(6, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    HubMachine& h = hub.host();
    // B took 11 and 12 into its box; 13 went in and out again.
    for (int32_t p : {11, 12, 13}) {
        ASSERT_EQ(b.senders.requestPickup(ListId::Main, p), 1);
        b.model.movePieceToList(ListId::Box1, ListId::Main, p);
        b.senders.sendIntoSortingBox(ListId::Box1, p);
        hub.pump();
    }
    b.model.movePieceToList(ListId::Main, ListId::Box1, 13);
    b.senders.sendOutOfSortingBox(ListId::Box1, 13);
    hub.pump();
    const Point was{h.model.piece(12).x, h.model.piece(12).y};
    ASSERT_EQ(a.model.listOfPiece(12), ListId::Extra);
    ASSERT_EQ(h.model.listOfPiece(13), ListId::Main);
    // Pieces nobody holds stay where they are for a departure.
    h.dispatcher.returnSortingBoxPieces(kNoSlot);
    hub.pump();
    EXPECT_EQ(a.model.listOfPiece(12), ListId::Extra);
    h.dispatcher.returnSortingBoxPieces(h.table.slotOf(b.id(), false));
    hub.pump();
    for (HubMachine* m : {&h, &a}) {
        EXPECT_EQ(m->model.listOfPiece(11), ListId::Main);
        EXPECT_EQ(m->model.listOfPiece(12), ListId::Main);
        EXPECT_EQ(m->model.countListPieces(ListId::Extra), 0);
    }
    EXPECT_EQ(h.model.piece(12).x, was.x);
    EXPECT_EQ(h.model.piece(12).y, was.y);
    EXPECT_EQ(snapshot(a), snapshot(h));
}

TEST(ServerDrop, JoinWithTwoNeighboursBroadcastsBothGroupsAndNoPlainDrop) {
    Hub hub(2, grid(3, 3));
    HubMachine& a = hub.at(1);
    // Pieces 0 and 2 lie 80 apart above the picture; 1 goes between them.
    const int32_t x = a.model.toPlayX(0), y = a.model.toPlayY(-110);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 0), 1);
    dropAt(hub, a, 0, x, y);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 2), 1);
    dropAt(hub, a, 2, x + 80, y);
    const int32_t g0 = hub.host().model.groupNode(hub.host().model.member(0).group).groupNumber;
    const int32_t g2 = hub.host().model.groupNode(hub.host().model.member(2).group).groupNumber;
    hub.log.clear();
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 1), 1);
    dropAt(hub, a, 1, x + 40, y);
    std::multiset<int32_t> codes;
    for (const Envelope& e : hub.sent(kMsgDropPiece))
        if (e.from == kServerPlayer) codes.insert(decode(e)->code);
    EXPECT_EQ(codes, (std::multiset<int32_t>{g0, g2}));
    for (auto& m : hub.machines) {
        EXPECT_EQ(m->model.member(0).group, m->model.member(1).group);
        EXPECT_EQ(m->model.member(2).group, m->model.member(1).group);
    }
    EXPECT_EQ(snapshot(a), snapshot(hub.host()));
    EXPECT_EQ(snapshot(hub.at(2)), snapshot(hub.host()));
}

TEST(ServerDrop, NothingJoinsAGroupInAnotherPlayersHand) {
    Hub hub(2, grid(6, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    HubMachine& h = hub.host();
    ASSERT_EQ(b.senders.requestPickup(ListId::Main, 0), 1);
    dropAt(hub, b, 0, 400, 400);
    ASSERT_EQ(b.senders.requestPickup(ListId::Main, 0), 1);  // B holds 0 again
    int32_t x, y;
    a.model.expectedPosition(1, 0, x, y);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 1), 1);
    dropAt(hub, a, 1, x, y);
    EXPECT_NE(h.model.member(1).group, h.model.member(0).group);
    EXPECT_EQ(h.holderTable.holderOf(1, h.table), kNoSlot);
    // Let go, 0 lies on the table: the same drop joins.
    dropAt(hub, b, 0, 400, 400);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 1), 1);
    dropAt(hub, a, 1, x, y);
    EXPECT_EQ(h.model.member(1).group, h.model.member(0).group);
    EXPECT_EQ(snapshot(a), snapshot(h));
}

TEST(Senders, SixtyFiveGroupsGoOutAsThirtyThirtyAndFive) {
    Hub hub(1, grid(10, 10));
    HubMachine& a = hub.at(1);
    std::vector<int32_t> wanted;
    for (int32_t p = 0; p < 65; ++p) wanted.push_back(p);
    ASSERT_EQ(a.senders.requestSelection(ListId::Main, wanted).size(), 65u);
    hub.log.clear();
    EXPECT_EQ(a.senders.sendDropSelected(ListId::Main), 3);
    const auto out = hub.sent(kMsgDropSelected);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].bytes.size(), 14u + 6 * 30);
    EXPECT_EQ(out[1].bytes.size(), 14u + 6 * 30);
    EXPECT_EQ(out[2].bytes.size(), 14u + 6 * 5);
    for (const Envelope& e : out) EXPECT_TRUE(e.to == kServerPlayer && e.guaranteed);
}

TEST(Senders, MovesArePacedAt100And101Milliseconds) {
    Hub hub(1, grid(4, 4));
    HubMachine& a = hub.at(1);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 2), 1);
    hub.clock = 10000;
    EXPECT_TRUE(a.senders.sendMove(ListId::Main, 2, 500, 500));
    hub.clock = 10100;
    EXPECT_FALSE(a.senders.sendMove(ListId::Main, 2, 510, 500));
    hub.clock = 10101;
    EXPECT_TRUE(a.senders.sendMove(ListId::Main, 2, 520, 500));
    EXPECT_EQ(hub.sent(kMsgMovePiece).size(), 2u);

    // MOVESELECTED keeps its own pace and needs a selection.
    EXPECT_FALSE(a.senders.sendMoveSelected(ListId::Main));
    ASSERT_EQ(a.senders.requestSelection(ListId::Main, std::vector<int32_t>{7, 5}).size(), 2u);
    EXPECT_TRUE(a.senders.sendMoveSelected(ListId::Main));
    hub.clock = 10201;
    EXPECT_FALSE(a.senders.sendMoveSelected(ListId::Main));
    hub.clock = 10202;
    EXPECT_TRUE(a.senders.sendMoveSelected(ListId::Main));
    EXPECT_EQ(decode(hub.sent(kMsgMoveSelected).back())->piece, 5u);  // the lowest selected
}

TEST(Senders, CompetitiveTypeSendsNothingAndPlaysLocally) {
    Hub hub(1, grid(4, 4));
    HubMachine& a = hub.at(1);
    NetOptions o;
    o.gameType = kGameCompetitive;
    a.dispatcher.setOptions(o);
    hub.log.clear();
    EXPECT_EQ(a.senders.requestPickup(ListId::Main, 1), 1);
    EXPECT_FALSE(a.senders.sendMove(ListId::Main, 1, 10, 10));
    EXPECT_EQ(a.senders.requestRotate(ListId::Main, 1), 1);
    // Piece 1 dropped beside piece 0 joins it on this machine only.
    int32_t x, y;
    a.model.expectedPosition(1, 0, x, y);
    a.model.moveGroup(ListId::Main, 1, x, y);
    a.senders.sendDrop(ListId::Main, 1);
    EXPECT_EQ(a.model.member(0).group, a.model.member(1).group);
    EXPECT_NE(hub.host().model.member(0).group, hub.host().model.member(1).group);
    // Piece 5 at its solved place: placed, and the score counts it.
    a.model.moveGroup(ListId::Main, 5, a.model.solvedX(5), a.model.solvedY(5));
    a.senders.sendDrop(ListId::Main, 5);
    EXPECT_EQ(a.model.listOfPiece(5), ListId::Finished);
    EXPECT_EQ(a.data.piecesPlaced, 1u);
    // Pieces the Solve tool placed count too.
    a.model.setGroupSelected(ListId::Main, 10, true);
    a.model.setGroupSelected(ListId::Main, 12, true);
    ASSERT_EQ(a.model.solveSelectedPieces(ListId::Main), 2);
    a.dispatcher.publishOwnCopyScore();
    EXPECT_EQ(a.data.piecesPlaced, 3u);
    EXPECT_EQ(a.senders.requestSelection(ListId::Main, std::vector<int32_t>{2, 3}).size(), 2u);
    a.senders.sendMoveSelected(ListId::Main);
    a.senders.sendDropSelected(ListId::Main);
    a.senders.sendArrange(ListId::Main, {0, 0, 500, 500});
    a.senders.sendSolveSelected(ListId::Main);
    a.senders.sendIntoSortingBox(ListId::Box1, 4);
    a.senders.sendOutOfSortingBox(ListId::Box1, 4);
    a.senders.sendRotateInBox(4);
    a.senders.sendUnselect(ListId::Main, -1);
    hub.pump();
    for (const Envelope& e : hub.log) ADD_FAILURE() << "sent " << messageName(e.id());
}

TEST(Results, RepeatOfAGuaranteedTurnDoesNotTurnAgain) {
    Hub hub(2, grid(4, 4));
    HubMachine& a = hub.at(1);
    GameMessage m;
    m.id = kMsgRotatePiece;
    m.piece = 3;
    m.player = hub.at(2).id();
    const std::vector<uint8_t> bytes = encodeMessage(m);
    for (uint32_t flags : {1u, 3u}) {  // the delivery, then its repeat
        QueueEntry q;
        q.flags = flags;
        q.from = kServerPlayer;
        q.to = a.id();
        q.data = bytes;
        q.size = uint32_t(bytes.size());
        a.inbox.push_back(q);
    }
    a.dispatcher.dispatch(false);
    EXPECT_EQ(a.model.piece(3).rotation, 1);
}

TEST(HostChecks, ForgedPlayersForeignPiecesAndResultsFromPlayersAreDropped) {
    Hub hub(2, grid(5, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 4), 1);
    hub.pump();
    hub.log.clear();
    const uint64_t before = hub.host().dispatcher.refusedCount();

    GameMessage m;
    m.id = kMsgMovePiece;
    m.player = a.id();  // B writes A's id
    m.piece = 4;
    m.x = 100;
    m.y = 100;
    b.dispatcher.send(m, b.id(), kServerPlayer, false);
    m.player = b.id();  // B moves A's piece
    b.dispatcher.send(m, b.id(), kServerPlayer, false);
    // B drops A's piece where B's machine has it: refused, and B takes
    // the host's answer.
    b.model.moveGroup(ListId::Main, 4, 500, 500);
    b.senders.sendDrop(ListId::Main, 4);
    GameMessage solve;  // B solves in a box pieces A holds
    solve.id = kMsgSolveInBox;
    solve.player = b.id();
    solve.serial = 1;
    solve.pieces = {4};
    b.dispatcher.send(solve, b.id(), kServerPlayer, true);
    GameMessage unselect;  // B releases everything A holds, in A's name
    unselect.id = kMsgUnselectPieces;
    unselect.player = a.id();
    unselect.count = -1;
    unselect.pieces = {kNoPiece};
    b.dispatcher.send(unselect, b.id(), kServerPlayer, true);
    hub.pump();
    EXPECT_EQ(hub.host().dispatcher.refusedCount(), before + 5);
    EXPECT_EQ(hub.host().holderTable.holderOf(4, hub.host().table), hub.host().table.slotOf(a.id(), false));
    // Nothing is decided; only the refused drop is answered, to B alone,
    // with the piece where the host has it.
    int answers = 0;
    for (const Envelope& e : hub.log) {
        if (e.from != kServerPlayer) continue;
        ++answers;
        EXPECT_EQ(e.id(), kMsgDropPiece) << messageName(e.id());
        EXPECT_EQ(e.to, b.id());
    }
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(snapshot(b), snapshot(hub.host()));

    // A result sent by a player straight to another player is not applied.
    GameMessage fake;
    fake.id = kMsgDropPiece;
    fake.player = b.id();
    fake.piece = 9;
    fake.x = 0;
    fake.y = 0;
    fake.code = -2;
    b.dispatcher.send(fake, b.id(), a.id(), true);
    hub.pump();
    EXPECT_EQ(a.model.listOfPiece(9), ListId::Main);

    // Positions far outside the play area are clamped, not wrapped.
    GameMessage far;
    far.id = kMsgDropPiece;
    far.player = a.id();
    far.piece = 4;
    far.x = 2000000000;
    far.y = -2000000000;
    far.code = -1;
    a.dispatcher.send(far, a.id(), kServerPlayer, false);
    hub.pump();
    const Piece& p = hub.host().model.piece(4);
    EXPECT_LT(p.x, 4000 + 400);
    EXPECT_GT(p.y, -400);
    EXPECT_EQ(snapshot(a), snapshot(hub.host()));
}

// ------------------------------------------------------- repeated messages

// A scripted game of two players; returns every result broadcast.
std::vector<Envelope> scriptedGame() {
    Hub hub(3, grid(6, 6));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    EXPECT_EQ(a.senders.requestPickup(ListId::Main, 0), 1);
    hub.clock += 200;
    a.model.moveGroup(ListId::Main, 0, 400, 400);
    a.senders.sendMove(ListId::Main, 0, 400, 400);
    dropAt(hub, a, 0, 410, 400);
    int32_t x, y;
    b.model.expectedPosition(1, 0, x, y);
    EXPECT_EQ(b.senders.requestPickup(ListId::Main, 1), 1);
    dropAt(hub, b, 1, x, y);  // joins 0
    EXPECT_EQ(b.senders.requestPickup(ListId::Main, 7), 1);
    dropAt(hub, b, 7, b.model.solvedX(7), b.model.solvedY(7));  // placed
    EXPECT_EQ(a.senders.requestSelection(ListId::Main, std::vector<int32_t>{10, 11, 12}).size(), 3u);
    hub.pump();
    a.model.moveSelectedBy(ListId::Main, 50, 20, nullptr, false);
    hub.clock += 200;
    a.senders.sendMoveSelected(ListId::Main);
    a.senders.sendDropSelected(ListId::Main);
    a.senders.sendArrange(ListId::Main, {1000, 1000, 1400, 1400});
    a.model.setAllSelected(ListId::Main, false, nullptr);
    a.senders.sendUnselect(ListId::Main, -1);
    hub.pump();
    b.model.movePieceToList(ListId::Box1, ListId::Main, 20);
    b.senders.sendIntoSortingBox(ListId::Box1, 20);
    b.model.movePieceToList(ListId::Box1, ListId::Main, 21);
    b.senders.sendIntoSortingBox(ListId::Box1, 21);
    hub.pump();
    b.model.moveGroup(ListId::Box1, 21, b.model.piece(20).x + 40, b.model.piece(20).y);
    b.senders.sendDrop(ListId::Box1, 21);  // joins 20 in the box
    hub.pump();
    EXPECT_EQ(b.senders.requestPickup(ListId::Main, 30), 1);
    b.senders.sendSolveSelected(ListId::Main);
    hub.pump();
    b.model.movePieceToList(ListId::Main, ListId::Box1, 20);
    b.model.moveGroup(ListId::Main, 20, 900, 900);
    b.senders.sendOutOfSortingBox(ListId::Box1, 20);
    hub.pump();
    std::vector<Envelope> results;
    for (const Envelope& e : hub.log)
        if (e.from == kServerPlayer && e.to == kAllPlayers) results.push_back(e);
    EXPECT_EQ(snapshot(hub.at(3)), snapshot(hub.host()));
    return results;
}

TEST(Apply, EveryResultAppliedTwiceLeavesTheModelAsOnce) {
    const std::vector<Envelope> results = scriptedGame();
    std::set<uint16_t> ids;
    for (const Envelope& e : results) ids.insert(e.id());
    for (uint16_t id : {kMsgDropPiece, kMsgMoveSelected, kMsgDropSelected, kMsgPickupPiece, kMsgSelectPieces,
                        kMsgUnselectPieces, kMsgArrangePieces, kMsgSolveSelected, kMsgIntoSortingBox,
                        kMsgConnectInBox, kMsgOutOfSortingBox})
        EXPECT_TRUE(ids.count(id)) << messageName(id);
    Hub once(3, grid(6, 6)), twice(3, grid(6, 6));
    HubMachine& c1 = once.at(3);
    HubMachine& c2 = twice.at(3);
    for (const Envelope& e : results) {
        c1.dispatcher.handle(e.bytes, kServerPlayer, c1.id());
        c2.dispatcher.handle(e.bytes, kServerPlayer, c2.id());
        c2.dispatcher.handle(e.bytes, kServerPlayer, c2.id());
    }
    EXPECT_EQ(snapshot(c1), snapshot(c2));
    EXPECT_EQ(c1.model.listOfPiece(7), ListId::Finished);
    EXPECT_EQ(c1.model.listOfPiece(30), ListId::Finished);
    EXPECT_EQ(c1.model.listOfPiece(21), ListId::Main);
    EXPECT_EQ(c1.model.member(20).group, c1.model.member(21).group);
}

// ------------------------------------------------------------- convergence

// One random action of a player, with the hub's clock as its time.
void playOnce(Hub& hub, HubMachine& m, std::mt19937& rng, bool towardsSolution) {
    BotStyle style;
    style.towardsSolution = towardsSolution;
    style.step = [&hub] { hub.clock += 40; };
    playRandomAction(m.senders, m.model, rng, style);
    hub.pump();
}

void expectConverged(Hub& hub) {
    for (auto& m : hub.machines) m->senders.sendUnselect(ListId::Main, -1);
    hub.pump();
    const auto host = snapshot(hub.host());
    for (const auto& s : host) EXPECT_EQ(s.holder, 0);
    for (size_t i = 1; i < hub.machines.size(); ++i) {
        const auto other = snapshot(hub.at(i));
        ASSERT_EQ(other.size(), host.size());
        int differing = 0;
        for (size_t p = 0; p < host.size(); ++p) differing += other[p] == host[p] ? 0 : 1;
        EXPECT_EQ(differing, 0) << "machine " << i;
        std::string why;
        EXPECT_TRUE(hub.at(i).model.checkInvariants(&why)) << why;
    }
}

// B lets go of piece 12 at play-area (100, 100) and the host decides, but
// A has not taken the answer from its queue yet.
void dropDecidedButNotYetHeard(Hub& hub, HubMachine& b) {
    ASSERT_EQ(b.senders.requestPickup(ListId::Main, 12), 1);
    hub.pump();
    b.model.moveGroup(ListId::Main, 12, 100, 100);
    GameMessage drop;
    drop.id = kMsgDropPiece;
    drop.player = b.id();
    drop.piece = 12;
    drop.x = b.model.toPictureX(100);
    drop.y = b.model.toPictureY(100);
    drop.code = kOutcomeDropped;
    b.dispatcher.send(drop, b.id(), kServerPlayer, true);
    hub.host().dispatcher.dispatch(true);
}

TEST(Requests, AnotherPlayersAnswerNeitherEndsTheWaitNorSendsTheDropAgain) {
    Hub hub(2, grid(5, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    ASSERT_EQ(a.senders.requestPickup(ListId::Main, 3), 1);
    hub.pump();
    dropDecidedButNotYetHeard(hub, b);  // B's DROPPIECE waits in A's queue
    hub.log.clear();
    dropAt(hub, a, 3, 300, 300);
    int drops = 0;
    for (const Envelope& e : hub.log) drops += e.from == a.id() && e.id() == kMsgDropPiece;
    EXPECT_EQ(drops, 1);
    expectConverged(hub);
}

// B picks piece 12 up and lets go of it elsewhere; the host then grants it
// to A's selection. A hears the grant before B's pickup and drop, which
// came first (the drop clears the group's selection where it is applied):
// A's selection is made once they are applied, or A's drag leaves piece 12
// behind on A's machine alone.
TEST(Requests, ASelectionIsMadeAfterWhatTheHostSentBeforeTheGrant) {
    Hub hub(2, grid(5, 5));
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    GameMessage pickup;
    pickup.id = kMsgRequestPickup;
    pickup.player = b.id();
    pickup.piece = 12;
    pickup.serial = 1;
    b.dispatcher.send(pickup, b.id(), kServerPlayer, true);
    GameMessage drop;
    drop.id = kMsgDropPiece;
    drop.player = b.id();
    drop.piece = 12;
    drop.x = b.model.toPictureX(100);
    drop.y = b.model.toPictureY(100);
    drop.code = kOutcomeDropped;
    b.dispatcher.send(drop, b.id(), kServerPlayer, true);
    hub.host().dispatcher.dispatch(true);
    const int32_t dropped = hub.host().model.piece(12).x;
    const std::vector<int32_t> wanted{3, 12};
    EXPECT_EQ(a.senders.requestSelection(ListId::Main, wanted).size(), 2u);
    a.model.moveSelectedBy(ListId::Main, 40, 30, nullptr, false);
    a.senders.sendMoveSelected(ListId::Main);
    a.senders.sendDropSelected(ListId::Main);
    a.model.setAllSelected(ListId::Main, false, nullptr);
    hub.pump();
    expectConverged(hub);
    EXPECT_EQ(a.model.piece(12).x, dropped + 40);
}

// A's selection request finds the host not yet playing and A stops
// waiting; a late copy is granted after all. The groups are A's then, on
// the host and on A's machine alike: A's next selection drag takes them
// along everywhere.
TEST(Requests, AGrantThatComesAfterItsRequestWasGivenUpIsTakenUp) {
    Hub hub(2, grid(5, 5));
    HubMachine& a = hub.at(1);
    hub.host().data.state = uint32_t(PlayerState::WaitingForOthers);
    const std::vector<int32_t> first{7};
    EXPECT_TRUE(a.senders.requestSelection(ListId::Main, first).empty());
    hub.host().data.state = uint32_t(PlayerState::Playing);
    GameMessage late;
    late.id = kMsgRequestSelection;
    late.player = a.id();
    late.serial = a.senders.lastSerial();
    late.pieces = {7};
    a.dispatcher.send(late, a.id(), kServerPlayer, true);
    hub.pump();
    EXPECT_TRUE(a.model.member(7).selected);

    const int32_t x7 = a.model.piece(7).x;
    const std::vector<int32_t> second{3};
    EXPECT_EQ(a.senders.requestSelection(ListId::Main, second).size(), 1u);
    a.model.moveSelectedBy(ListId::Main, 40, 30, nullptr, false);
    a.senders.sendMoveSelected(ListId::Main);
    a.senders.sendDropSelected(ListId::Main);
    a.model.setAllSelected(ListId::Main, false, nullptr);
    hub.pump();
    expectConverged(hub);
    EXPECT_EQ(a.model.piece(7).x, x7 + 40);
}

TEST(Convergence, EightPlayersOnFiveHundredPiecesOverALossyHub) {
    Hub hub(7, grid(25, 20), HubFaults{0.2, 0.1, 0.2}, 11);
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round)
        for (auto& m : hub.machines) playOnce(hub, *m, rng, false);
    expectConverged(hub);
    int joined = 0;
    for (int32_t p = 0; p < 500; ++p)
        joined += hub.host().model.groupNode(hub.host().model.member(p).group).pieceCount > 1;
    EXPECT_GT(joined, 20);
}

TEST(Convergence, SixteenPlayersCompleteThePuzzleAndEachSeesItOnce) {
    Hub hub(15, grid(8, 6), HubFaults{0.2, 0.1, 0.2}, 3);
    std::mt19937 rng(9);
    for (int round = 0; round < 400 && hub.host().model.countListPieces(ListId::Finished) < 48; ++round)
        for (auto& m : hub.machines) playOnce(hub, *m, rng, true);
    expectConverged(hub);
    for (auto& m : hub.machines) {
        EXPECT_EQ(m->puzzleState, 16u);
        EXPECT_EQ(m->completion.ends, 1);
    }
    uint32_t placed = 0;
    for (auto& m : hub.machines) placed += m->data.piecesPlaced;
    EXPECT_EQ(placed, 48u);
}

TEST(Gate, PieceMessagesWaitForPlayingButSolveInBoxIsAlwaysRelayed) {
    Hub hub(2, grid(5, 5));
    HubMachine& host = hub.host();
    HubMachine& a = hub.at(1);
    HubMachine& b = hub.at(2);
    host.data.state = uint32_t(PlayerState::WaitingForOthers);
    b.data.state = uint32_t(PlayerState::Synchronising);
    GameMessage drop;
    drop.id = kMsgDropPiece;
    drop.player = a.id();
    drop.piece = 3;
    drop.code = -1;
    a.dispatcher.send(drop, a.id(), kServerPlayer, false);
    GameMessage solve;
    solve.id = kMsgSolveInBox;
    solve.player = a.id();
    solve.serial = 1;
    solve.pieces = {6};
    a.dispatcher.send(solve, a.id(), kServerPlayer, true);
    hub.pump();
    EXPECT_TRUE(hub.sent(kMsgDropPiece).size() == 1u);  // only the request
    ASSERT_EQ(hub.sent(kMsgSolveInBox).size(), 2u);     // the request and its relay
    EXPECT_EQ(host.model.listOfPiece(6), ListId::Main);  // the host is not playing yet
    EXPECT_EQ(a.model.listOfPiece(6), ListId::Finished);
    EXPECT_EQ(b.model.listOfPiece(6), ListId::Finished);  // synchronising counts as playing
}

TEST(Chat, LinesReachTheOthersUnderTheSendersName) {
    Hub hub(2, grid(3, 3));
    hub.at(1).senders.sendChat("hello");
    hub.pump();
    ASSERT_EQ(hub.at(2).chat.size(), 1u);
    EXPECT_EQ(hub.at(2).chat[0], "P3: hello");
    EXPECT_EQ(hub.at(1).chat.size(), 1u);  // its own line, shown once
    EXPECT_TRUE(hub.host().chat.size() == 1u);
}

}  // namespace
}  // namespace pavalo::net
