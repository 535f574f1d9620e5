// The game messages' wire format: the name table, packed piece lists, sizes
// from the size table, round trips of every payload, and refusal of every
// message whose size, counts, pieces or texts do not fit.
#include "net/messages.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/file_io.h"

using namespace pavalo;
using namespace pavalo::net;

namespace {

MessageLimits limits(int32_t pieces = 100) {
    MessageLimits l;
    l.pieceCount = pieces;
    return l;
}

GameMessage roundTrip(const GameMessage& m, size_t expectedSize, MessageLimits l = limits()) {
    const std::vector<uint8_t> bytes = encodeMessage(m);
    EXPECT_EQ(bytes.size(), expectedSize) << messageName(m.id);
    std::string why;
    const std::optional<GameMessage> back = decodeMessage(bytes, l, why);
    EXPECT_TRUE(back) << messageName(m.id) << ": " << why;
    return back.value_or(GameMessage{});
}

bool refused(std::vector<uint8_t> bytes, MessageLimits l = limits()) {
    std::string why;
    return !decodeMessage(bytes, l, why) && !why.empty();
}

TEST(MessageNames, TableEndsWithLastAndNamesUnknownIds) {
    EXPECT_STREQ(messageName(0), "INVALID");
    EXPECT_STREQ(messageName(20), "DROPPIECE");
    EXPECT_STREQ(messageName(32), "GUARANTEEDACK");
    EXPECT_STREQ(messageName(37), "NEWHOST");
    EXPECT_STREQ(messageName(38), "UNKNOWN MESSAGE");
    EXPECT_STREQ(messageName(39), "UNKNOWN MESSAGE");
    EXPECT_STREQ(messageName(41), "UNKNOWN MESSAGE");
    EXPECT_STREQ(messageName(42), "LAST");
}

TEST(PackedLists, TwelveBitEntriesShareBytesAndKeepTheirNeighboursBits) {
    EXPECT_EQ(packedListBytes(1), 2u);
    EXPECT_EQ(packedListBytes(2), 3u);
    EXPECT_EQ(packedListBytes(5), 8u);
    const std::vector<uint32_t> pieces = {0xABC, 0x123, 0xFFF, 0x001, 0x800};
    std::vector<uint8_t> list = packPieceList(pieces);
    ASSERT_EQ(list.size(), 8u);
    // Entries 0 and 1 lie in bytes 0-2: BC, 3A, 12.
    EXPECT_EQ(list[0], 0xBC);
    EXPECT_EQ(list[1], 0x3A);
    EXPECT_EQ(list[2], 0x12);
    list.push_back(0);  // the message's spare bytes
    list.push_back(0);
    for (size_t i = 0; i < pieces.size(); ++i) EXPECT_EQ(packedEntry(list, i), pieces[i]) << i;
    // Rewriting an entry leaves the four bits of its neighbour alone.
    setPackedEntry(list, 1, 0x456);
    EXPECT_EQ(packedEntry(list, 0), 0xABCu);
    EXPECT_EQ(packedEntry(list, 1), 0x456u);
    setPackedEntry(list, 0, 0x001);
    EXPECT_EQ(packedEntry(list, 1), 0x456u);
}

TEST(MessageRoundTrips, EveryPayloadComesBackWithItsFields) {
    GameMessage drop;
    drop.id = kMsgDropPiece;
    drop.token = 0x1234;
    drop.player = 77;
    drop.piece = 42;
    drop.rotation = 3;
    drop.x = -5;
    drop.y = 600;
    drop.code = -2;
    GameMessage d = roundTrip(drop, 24);
    EXPECT_EQ(d.token, 0x1234);
    EXPECT_EQ(d.player, 77u);
    EXPECT_EQ(d.piece, 42u);
    EXPECT_EQ(d.rotation, 3u);
    EXPECT_EQ(d.x, -5);
    EXPECT_EQ(d.y, 600);
    EXPECT_EQ(d.code, -2);

    GameMessage sel;
    sel.id = kMsgRequestSelection;
    sel.player = 9;
    sel.serial = 31;
    sel.pieces = {1, kNoPiece, 99, 0, 50};
    GameMessage s = roundTrip(sel, 16 + 8 + 2);
    EXPECT_EQ(s.pieces, sel.pieces);
    EXPECT_EQ(s.serial, 31u);

    GameMessage none;
    none.id = kMsgSelectPieces;
    none.player = 9;
    none.serial = 31;
    EXPECT_TRUE(roundTrip(none, 20).pieces.empty());

    GameMessage many;
    many.id = kMsgDropSelected;
    many.player = 4;
    for (uint32_t i = 0; i < 30; ++i) many.drops.push_back({i, i % 4, int16_t(-int(i)), int16_t(3 * i)});
    EXPECT_EQ(roundTrip(many, 14 + 6 * 30).drops, many.drops);

    GameMessage chat;
    chat.id = kMsgChat;
    chat.text = "hello from the harbour";
    EXPECT_EQ(roundTrip(chat, 260).text, chat.text);

    GameMessage options;
    options.id = kMsgNetOptions;
    options.options = {"Friday puzzle", 8, kGameTeamCompetitive, {1, 0, 1, 0, 1, 1, 0}, 0xDEADBEEF};
    EXPECT_EQ(roundTrip(options, 172).options, options.options);

    GameMessage sync;
    sync.id = kMsgSyncData;
    sync.sync = {{3, 7, -10, 20, makePlacement(5, 1, 2)}, {4, kNoHolder, 100, -100, 0}};
    const GameMessage y = roundTrip(sync, 88);
    ASSERT_EQ(y.sync.size(), 2u);
    EXPECT_EQ(y.sync[0].x, -10);
    EXPECT_EQ(y.sync[1].holder, kNoHolder);
    EXPECT_EQ(y.sync[0].placement, makePlacement(5, 1, 2));

    GameMessage block;
    block.id = kMsgImageBlock;
    block.block = 3;
    block.data = {1, 2, 3};
    MessageLimits l = limits();
    l.blockCount = 4;
    EXPECT_EQ(roundTrip(block, 268, l).data, block.data);

    GameMessage data;
    data.id = kMsgGameData;
    for (int i = 0; i < kGameDataFields; ++i) data.gameData[size_t(i)] = uint32_t(1000 + i);
    EXPECT_EQ(roundTrip(data, 44).gameData, data.gameData);

    GameMessage header;
    header.id = kMsgBeginGame;
    roundTrip(header, 4);
}

TEST(MessageDecoding, RefusesWhatDoesNotFit) {
    GameMessage drop;
    drop.id = kMsgDropPiece;
    drop.piece = 10;
    std::vector<uint8_t> bytes = encodeMessage(drop);
    EXPECT_FALSE(refused(bytes));
    // A size that is not the table's, one byte either way.
    bytes.push_back(0);
    EXPECT_TRUE(refused(bytes));
    bytes.resize(23);
    EXPECT_TRUE(refused(bytes));
    // A piece beyond the puzzle, and a join code beyond its groups.
    EXPECT_TRUE(refused(encodeMessage(drop), limits(10)));
    drop.code = 100;
    EXPECT_TRUE(refused(encodeMessage(drop), limits(100)));
    drop.code = -3;
    EXPECT_TRUE(refused(encodeMessage(drop)));

    // Counts: DROPSELECTED needs 1..30 records that its size agrees with.
    GameMessage many;
    many.id = kMsgDropSelected;
    many.drops = {{1, 0, 0, 0}};
    std::vector<uint8_t> m = encodeMessage(many);
    storeU32(m.data() + 8, 2);
    EXPECT_TRUE(refused(m));
    storeU32(m.data() + 8, 0);
    EXPECT_TRUE(refused(m));
    m.resize(14 + 6 * 31);
    storeU32(m.data() + 8, 31);
    EXPECT_TRUE(refused(m));

    // A packed list whose count and size disagree, and a reply naming "no piece".
    GameMessage sel;
    sel.id = kMsgSelectPieces;
    sel.pieces = {1, 2, 3};
    std::vector<uint8_t> s = encodeMessage(sel);
    storeU32(s.data() + 12, 4);
    EXPECT_TRUE(refused(s));
    sel.pieces = {1, kNoPiece};
    EXPECT_TRUE(refused(encodeMessage(sel)));

    // SYNCDATA holds 1..5 records.
    GameMessage sync;
    sync.id = kMsgSyncData;
    sync.sync = {{1, 0, 0, 0, 0}};
    std::vector<uint8_t> y = encodeMessage(sync);
    storeU32(y.data() + 4, 6);
    EXPECT_TRUE(refused(y));

    // Texts must end inside their fields.
    GameMessage chat;
    chat.id = kMsgChat;
    std::vector<uint8_t> c = encodeMessage(chat);
    std::memset(c.data() + 4, 'a', 256);
    EXPECT_TRUE(refused(c));

    // Image blocks: 1..256 bytes, an index inside the picture.
    GameMessage block;
    block.id = kMsgImageBlock;
    block.block = 4;
    block.data = {1};
    MessageLimits l = limits();
    l.blockCount = 4;
    EXPECT_TRUE(refused(encodeMessage(block), l));
    block.block = 0;
    std::vector<uint8_t> b = encodeMessage(block);
    storeU32(b.data() + 8, 257);
    EXPECT_TRUE(refused(b, l));

    // Unknown ids, ids without a payload of their own, and short headers.
    EXPECT_TRUE(refused({40, 0, 0, 0}));
    EXPECT_TRUE(refused({0, 0, 0, 0}));
    EXPECT_TRUE(refused({20, 0}));
    // Options: a game type beyond Team Competitive.
    GameMessage options;
    options.id = kMsgNetOptions;
    std::vector<uint8_t> o = encodeMessage(options);
    storeU32(o.data() + 4 + 132, 3);
    EXPECT_TRUE(refused(o));
}

}  // namespace
