// Frame encoding and decoding: every frame survives a round trip, and the
// decoder refuses every truncation, overlong name, bad size and forged id.
#include <gtest/gtest.h>

#include "net/wire.h"

namespace pavalo::net {
namespace {

PlayerRecord player(uint32_t id, const std::string& name) {
    PlayerRecord p;
    p.id = id;
    p.flags = id == kServerPlayer ? kPlayerServer : 0;
    p.address = 0x0100007F;
    p.port = 28760;
    p.name = name;
    p.data[0] = uint8_t(id);
    p.data[15] = 0xEE;
    return p;
}

SessionDesc desc() {
    SessionDesc d;
    d.maxPlayers = 9;
    d.currentPlayers = 3;
    d.application = gameApplicationGuid();
    d.instance[3] = 7;
    d.user1 = 2;
    d.user2 = 0xDEADBEEF;
    d.user3 = 0x81;
    d.name = "Friday puzzle";
    return d;
}

std::vector<std::vector<uint8_t>> everyFrame() {
    std::vector<uint8_t> msg{5, 0, 0, 0, 1, 2, 3};
    PlayerDataBytes data{};
    data[4] = 9;
    return {
        encodeJoin(gameApplicationGuid(), 1234, "Ann", data),
        encodeJoinAccept(3, desc(), 5, {player(1, "TavornTesselServerPlayer"), player(2, "Host"), player(3, "Ann")}),
        encodeJoinRefused(RefuseReason::Full),
        encodePlayerCreated(player(4, "Bob"), 5),
        encodePlayerDestroyed(4),
        encodePlayerData(4, data),
        encodeSessionDesc(desc()),
        encodeApp(3, 0, msg),
        encodeRejoin(gameApplicationGuid(), desc().instance, 3, 999),
        encodeDiscover(gameApplicationGuid()),
        encodeDiscoveryReply(28760, desc()),
    };
}

TEST(Wire, EveryFrameRoundTripsAndEveryTruncationIsRefused) {
    for (const auto& bytes : everyFrame()) {
        Frame f;
        std::string error;
        ASSERT_TRUE(decodeFrame(bytes, f, error)) << error << " type " << int(bytes[0]);
        EXPECT_EQ(encodeFrame(f), bytes) << "type " << int(bytes[0]);
        // A game message cut after its 4-byte header is a shorter message.
        size_t cuts = bytes[0] == uint8_t(FrameType::App) ? 1 + 8 + kMinMessageSize : bytes.size();
        for (size_t n = 0; n < cuts; ++n) {
            Frame g;
            EXPECT_FALSE(decodeFrame({bytes.data(), n}, g, error)) << "type " << int(bytes[0]) << " cut at " << n;
        }
        auto longer = bytes;
        longer.push_back(0);
        // Only a game message may grow: its payload is the rest of the frame.
        if (bytes[0] != uint8_t(FrameType::App)) {
            EXPECT_FALSE(decodeFrame(longer, f, error));
        }
    }
}

TEST(Wire, DecodedFieldsAreTheEncodedOnes) {
    Frame f;
    std::string error;
    auto d = desc();
    ASSERT_TRUE(decodeFrame(encodeJoinAccept(3, d, 5, {player(1, "S"), player(3, "Ann")}), f, error));
    EXPECT_EQ(f.playerId, 3u);
    EXPECT_EQ(f.desc, d);
    EXPECT_EQ(f.nextId, 5u);
    ASSERT_EQ(f.players.size(), 2u);
    EXPECT_EQ(f.players[1], player(3, "Ann"));
}

TEST(Wire, GameMessagesOutside4To4096BytesAreRefused) {
    Frame f;
    std::string error;
    std::vector<uint8_t> m(3, 0);
    EXPECT_FALSE(decodeFrame(encodeApp(2, 1, m), f, error));
    m.resize(4);
    EXPECT_TRUE(decodeFrame(encodeApp(2, 1, m), f, error));
    m.resize(4096);
    EXPECT_TRUE(decodeFrame(encodeApp(2, 1, m), f, error));
    EXPECT_EQ(f.payload.size(), 4096u);
    m.resize(4097);
    EXPECT_FALSE(decodeFrame(encodeApp(2, 1, m), f, error));
}

TEST(Wire, ForgedOrOversizedContentIsRefused) {
    Frame f;
    std::string error;
    // A name length beyond the limit.
    auto join = encodeJoin(gameApplicationGuid(), 1, "Ann", {});
    join[19] = 200;
    EXPECT_FALSE(decodeFrame(join, f, error));
    // Id 1 without the server flag, the server flag on another id, id 0.
    auto bad = player(1, "x");
    bad.flags = 0;
    EXPECT_FALSE(decodeFrame(encodePlayerCreated(bad, 5), f, error));
    bad = player(7, "x");
    bad.flags = kPlayerServer;
    EXPECT_FALSE(decodeFrame(encodePlayerCreated(bad, 8), f, error));
    EXPECT_FALSE(decodeFrame(encodePlayerCreated(player(0, "x"), 8), f, error));
    // A player list longer than any session.
    auto accept = encodeJoinAccept(3, desc(), 5, {});
    accept.back() = 200;
    EXPECT_FALSE(decodeFrame(accept, f, error));
    // Unknown type, unknown refusal reason.
    EXPECT_FALSE(decodeFrame(std::vector<uint8_t>{0x7F, 0, 0}, f, error));
    EXPECT_FALSE(decodeFrame(std::vector<uint8_t>{uint8_t(FrameType::JoinRefused), 9}, f, error));
}

}  // namespace
}  // namespace pavalo::net
