// The protocol's session-free decisions: the selection filter and its limit,
// pickup arbitration, DROPSELECTED in messages of 30 and the movement pace.
#include "net/protocol_rules.h"

#include <gtest/gtest.h>

using namespace pavalo::net;

namespace {

// Pieces 0..n-1, each its own group.
struct Pieces : HolderModel {
    int n = 300;
    int pieceCount() const override { return n; }
    HolderRecord pieceRecord(int piece) const override {
        HolderRecord r;
        r.pieceId = uint32_t(piece);
        return r;
    }
    std::vector<int> groupMembers(int piece) const override { return {piece}; }
    std::vector<int> mainListGroups() const override { return {}; }
    void markChanged(int) override {}
};

struct Table {
    Pieces model;
    PlayerTable players;
    HolderTable holders;
    Table() {
        players.add(100);  // slot 0: the requester
        players.add(200);  // slot 1: somebody else
        holders.rebuild(model, players, false);
    }
    void hold(int slot, int from, int to) {
        for (int p = from; p < to; ++p) holders.setHolder(nullptr, p, slot, players);
    }
};

TEST(SelectionFilter, PiecesHeldByOthersBecomeNoPieceAndTheLimitStopsTheRest) {
    Table t;
    t.hold(1, 5, 7);  // pieces 5 and 6 belong to the other player
    t.hold(0, 7, 8);  // piece 7 is the requester's already
    const std::vector<uint32_t> ask = {4, 5, 6, 7, 8};
    FilteredSelection f = filterSelection(ask, t.holders, t.players, 0, true);
    EXPECT_EQ(f.entries, (std::vector<uint32_t>{4, kNoPiece, kNoPiece, 7, 8}));
    EXPECT_EQ(f.kept, (std::vector<uint32_t>{4, 7, 8}));

    // Holding 126: two more new pieces reach 128, everything after is filtered;
    // a piece already held does not count.
    Table u;
    u.hold(0, 0, 126);
    const std::vector<uint32_t> more = {0, 200, 201, 202, 203};
    f = filterSelection(more, u.holders, u.players, 0, true);
    EXPECT_EQ(f.entries, (std::vector<uint32_t>{0, 200, 201, kNoPiece, kNoPiece}));
    // Outside a session there is no limit.
    f = filterSelection(more, u.holders, u.players, 0, false);
    EXPECT_EQ(f.kept.size(), 5u);

    // Everything held by somebody else: nothing survives.
    Table v;
    v.hold(1, 0, 3);
    const std::vector<uint32_t> taken = {0, 1, 2};
    EXPECT_TRUE(filterSelection(taken, v.holders, v.players, 0, true).kept.empty());
}

TEST(PickupArbitration, FreeOrOwnPiecesAreGrantedUpToTheLimit) {
    EXPECT_TRUE(pickupGranted(kNoSlot, 3, 0, true));
    EXPECT_TRUE(pickupGranted(3, 3, 10, true));  // a piece the requester holds already
    EXPECT_FALSE(pickupGranted(2, 3, 0, true));
    EXPECT_TRUE(pickupGranted(kNoSlot, 3, 128, true));
    EXPECT_FALSE(pickupGranted(kNoSlot, 3, 129, true));
    EXPECT_TRUE(pickupGranted(kNoSlot, 3, 129, false));
}

TEST(DropRecords, SixtyFiveGroupsGoOutAsThirtyThirtyAndFive) {
    std::vector<DropRecord> records;
    for (uint32_t i = 0; i < 65; ++i) records.push_back({i, i & 3, int16_t(i), int16_t(-int(i))});
    const std::vector<GameMessage> out = dropRecordMessages(kMsgDropSelected, 7, records);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].drops.size(), 30u);
    EXPECT_EQ(out[1].drops.size(), 30u);
    EXPECT_EQ(out[2].drops.size(), 5u);
    EXPECT_EQ(out[1].drops.front().piece, 30u);
    EXPECT_EQ(out[2].drops.back().piece, 64u);
    EXPECT_EQ(encodeMessage(out[2]).size(), 14u + 6 * 5);
    EXPECT_TRUE(dropRecordMessages(kMsgDropSelected, 7, {}).empty());
}

TEST(SendThrottle, AMoveWaitsMoreThanAHundredMilliseconds) {
    SendThrottle t(kMovePieceGapMs);
    EXPECT_TRUE(t.allow(5000));
    EXPECT_FALSE(t.allow(5100));
    EXPECT_TRUE(t.allow(5101));
    EXPECT_FALSE(t.allow(5150));
    // The millisecond clock wrapping does not stop the moves.
    SendThrottle w(kMovePieceGapMs);
    EXPECT_TRUE(w.allow(0xFFFFFFF0u));
    EXPECT_TRUE(w.allow(0x00000100u));
}

TEST(RequestSerial, IncrementsBeforeEachRequest) {
    RequestSerial s;
    EXPECT_EQ(s.next(), 1u);
    EXPECT_EQ(s.next(), 2u);
    EXPECT_EQ(s.current(), 2u);
}

}  // namespace

// ---------------------------------------------------------- the host's drop

#include "net/drop_broadcasts.h"
#include "puzzle/piece_mask.h"

namespace {

constexpr int kCell = 40;

// Square pieces in a row; the picture sits at (1000, 700) of a 3000 x 2000
// play area, every piece far from its place.
pavalo::PuzzleModel row(int n) {
    std::vector<pavalo::Piece> pieces(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        pavalo::Piece& p = pieces[size_t(i)];
        p.homeX = i * kCell;
        p.width = p.height = kCell;
        p.mask = pavalo::encodePieceMask(kCell, kCell, [](int, int) { return true; });
        p.x = 1330 + 97 * i;
        p.y = 1500;
    }
    pavalo::PuzzleModel m;
    m.geometry() = {3000, 2000, n * kCell, kCell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), 1, n);
    return m;
}

GameMessage dropRequest(uint32_t player, uint32_t piece, int32_t x, int32_t y) {
    GameMessage m;
    m.id = kMsgDropPiece;
    m.player = player;
    m.piece = piece;
    m.x = x;
    m.y = y;
    m.code = pavalo::kOutcomeDropped;
    return m;
}

TEST(HostDrop, ADropBetweenTwoNeighboursBroadcastsTwoJoinsAndNoPlainDrop) {
    pavalo::PuzzleModel m = row(3);
    // 0 and 2 wait 70 pixels below their places, where 1 will fit between them.
    for (int32_t p : {0, 2}) m.moveGroup(pavalo::ListId::Main, p, m.toPlayX(p * kCell), m.toPlayY(70));
    const int32_t group0 = m.groupNode(m.findGroupOfPiece(pavalo::ListId::Main, 0)).groupNumber;
    const int32_t group2 = m.groupNode(m.findGroupOfPiece(pavalo::ListId::Main, 2)).groupNumber;
    const std::vector<GameMessage> out = decideDrop(m, dropRequest(77, 1, kCell + 2, 70), 3);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].code, group0);
    EXPECT_EQ(out[1].code, group2);
    for (const GameMessage& b : out) {
        EXPECT_EQ(b.id, kMsgDropPiece);
        EXPECT_EQ(b.player, 77u);
        EXPECT_EQ(b.piece, 1u);
        EXPECT_EQ(b.x, kCell + 2);
    }
    // All three pieces are one group now.
    const int32_t g = m.findGroupOfPiece(pavalo::ListId::Main, 1);
    EXPECT_EQ(m.findGroupOfPiece(pavalo::ListId::Main, 0), g);
    EXPECT_EQ(m.findGroupOfPiece(pavalo::ListId::Main, 2), g);
}

TEST(HostDrop, APlainDropAndAPlacementEachBroadcastOnce) {
    pavalo::PuzzleModel m = row(3);
    std::vector<GameMessage> out = decideDrop(m, dropRequest(5, 0, -100, 70), 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].code, pavalo::kOutcomeDropped);
    // Two pixels from its solved place: placed.
    out = decideDrop(m, dropRequest(5, 2, 2 * kCell + 2, 1), 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].code, pavalo::kOutcomeSolved);
    EXPECT_EQ(m.listOfPiece(2), pavalo::ListId::Finished);
    // A piece the puzzle does not have changes nothing.
    EXPECT_TRUE(decideDrop(m, dropRequest(5, 9, 0, 0), 1).empty());
}

}  // namespace
