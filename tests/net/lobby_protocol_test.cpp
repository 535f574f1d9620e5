// The lobby launch protocol: message layouts, the checked decoder, framing
// on a byte stream and the --lobby address.
#include <gtest/gtest.h>

#include "common/file_io.h"
#include "net/lobby_connection.h"
#include "net/lobby_protocol.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace pavalo::net {
namespace {

LobbyGameSettings sampleSettings() {
    LobbyGameSettings s;
    s.gameType = 2;
    s.sortingBoxes = 1;
    s.arrange = 0;
    s.solve = 1;
    s.findNearby = 0;
    s.findEdges = 1;
    s.findByColour = 0;
    s.puzzleOutline = 1;
    s.seed = 0x12345678;
    s.pieces = 300;
    s.rotatePieces = 1;
    s.picture = "http://127.0.0.1:8080/pictures/hills.jpg";
    return s;
}

LobbyStatus sampleStatus() {
    LobbyStatus st;
    st.gameType = 1;
    st.pieces = 300;
    st.finishedPieces = 77;
    for (uint8_t i = 0; i < 3; ++i) {
        PlayerDataBytes p{};
        for (uint8_t j = 0; j < 16; ++j) p[j] = uint8_t(i * 16 + j + 1);
        st.players.push_back(p);
    }
    return st;
}

std::optional<LobbyMessage> decode(const std::vector<uint8_t>& bytes) {
    std::string why;
    return decodeLobbyMessage(bytes, why);
}

std::string refusal(const std::vector<uint8_t>& bytes) {
    std::string why;
    EXPECT_FALSE(decodeLobbyMessage(bytes, why).has_value());
    return why;
}

TEST(LobbyProtocol, MessagesHaveTheirLayouts) {
    const auto request = encodeLobbyMessage(lobbyPropertyRequest(0));
    ASSERT_EQ(request.size(), 40u);
    EXPECT_EQ(loadU32(&request[0]), 7u);
    EXPECT_EQ(loadU32(&request[4]), 0u);
    const std::vector<uint8_t> tag{0x62, 0x85, 0xE0, 0xDB, 0xA6, 0x83, 0xD2, 0x11,
                                   0xB2, 0xD7, 0x00, 0xC0, 0xF0, 0x1A, 0x2B, 0x03};
    EXPECT_EQ(std::vector<uint8_t>(request.begin() + 24, request.end()), tag);

    const LobbyGameSettings s = sampleSettings();
    const auto response = encodeLobbyMessage(lobbyPropertyResponse(5, s));
    ASSERT_EQ(response.size(), 48 + 44 + s.picture.size() + 1);
    EXPECT_EQ(loadU32(&response[0]), 8u);
    EXPECT_EQ(loadU32(&response[4]), 5u);
    EXPECT_EQ(loadU32(&response[40]), 0u);
    EXPECT_EQ(loadU32(&response[44]), 44 + s.picture.size() + 1);
    const std::vector<uint32_t> values{2, 1, 0, 1, 0, 1, 0, 1, 0x12345678, 300, 1};
    for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(loadU32(&response[48 + 4 * i]), values[i]) << i;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&response[48 + 44])), s.picture);

    const auto query = encodeLobbyMessage(lobbyStatusQuery());
    EXPECT_EQ(query, (std::vector<uint8_t>{40, 0, 0, 0}));

    const auto reply = encodeLobbyMessage(lobbyStatusReply(sampleStatus()));
    ASSERT_EQ(reply.size(), 40u + 16u * 2);
    const std::vector<uint32_t> head{41, 72, 1, 300, 77, 3};
    for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(loadU32(&reply[4 * i]), head[i]) << i;
    EXPECT_EQ(reply[24], 1);
    EXPECT_EQ(reply[24 + 16 * 2 + 15], 48);

    for (const auto& bytes : {request, response, query, reply}) {
        const auto m = decode(bytes);
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(encodeLobbyMessage(*m), bytes);
    }
    EXPECT_EQ(decode(response)->settings, s);
    EXPECT_EQ(decode(reply)->status, sampleStatus());

    // A failed response carries no settings, and never reads as success.
    const auto failed = decode(encodeLobbyMessage(lobbyPropertyResponse(0, std::nullopt, 0)));
    ASSERT_TRUE(failed.has_value());
    EXPECT_NE(failed->result, 0u);
    EXPECT_FALSE(failed->settings.has_value());
    EXPECT_TRUE(s.complete());
    LobbyGameSettings partial = s;
    partial.puzzleOutline = kLobbyUnset;
    EXPECT_FALSE(partial.complete());
}

TEST(LobbyProtocol, StatusListsInUseSlotsInSlotOrder) {
    PlayerTable table;
    table.inUse[0] = table.inUse[3] = table.inUse[7] = 1;
    table.dpid = {101, 0, 0, 104, 0, 0, 0, 108};
    table.dpid[5] = 106;  // a free slot's stale id is not listed
    const LobbyStatus st = lobbyStatusOf(2, 500, 123, table, [](uint32_t id) {
        PlayerData d;
        d.piecesPlaced = id;
        d.state = 4;
        return d.encode();
    });
    ASSERT_EQ(st.players.size(), 3u);
    const std::vector<uint32_t> placed{101, 104, 108};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(PlayerData::decode(st.players[i]).piecesPlaced, placed[i]);
    const auto bytes = encodeLobbyMessage(lobbyStatusReply(st));
    EXPECT_EQ(loadU32(&bytes[4]), 40u + 16u * 2);
    EXPECT_EQ(loadU32(&bytes[8]), 2u);
    EXPECT_EQ(loadU32(&bytes[12]), 500u);
    EXPECT_EQ(loadU32(&bytes[16]), 123u);
}

TEST(LobbyProtocol, DecoderRefusesWhatDoesNotFit) {
    const auto response = encodeLobbyMessage(lobbyPropertyResponse(0, sampleSettings()));
    const auto reply = encodeLobbyMessage(lobbyStatusReply(sampleStatus()));
    for (const auto& whole : {encodeLobbyMessage(lobbyPropertyRequest(0)), response, reply})
        for (size_t n = 0; n < whole.size(); ++n)
            EXPECT_FALSE(decode(std::vector<uint8_t>(whole.begin(), whole.begin() + n)).has_value()) << n;

    auto bytes = reply;
    storeU32(&bytes[20], 17);
    EXPECT_NE(refusal(bytes).find("more than 16"), std::string::npos);
    bytes = reply;
    storeU32(&bytes[4], 71);
    EXPECT_NE(refusal(bytes).find("says 71"), std::string::npos);
    bytes = reply;
    storeU32(&bytes[16], 301);
    EXPECT_NE(refusal(bytes).find("301 finished of 300"), std::string::npos);
    bytes = reply;
    storeU32(&bytes[8], 3);
    EXPECT_NE(refusal(bytes).find("game type 3"), std::string::npos);

    bytes = response;
    storeU32(&bytes[48], 3);
    EXPECT_NE(refusal(bytes).find("game type 3"), std::string::npos);
    bytes = response;
    storeU32(&bytes[48 + 4 * 7], 2);  // Puzzle Outline
    EXPECT_NE(refusal(bytes).find("not 0 or 1"), std::string::npos);
    bytes = response;
    storeU32(&bytes[48 + 36], 1);  // piece count
    EXPECT_NE(refusal(bytes).find("ask for 1 pieces"), std::string::npos);
    storeU32(&bytes[48 + 36], 4001);
    EXPECT_NE(refusal(bytes).find("ask for 4001 pieces"), std::string::npos);
    bytes = response;
    storeU32(&bytes[48 + 40], 2);  // rotated pieces
    EXPECT_NE(refusal(bytes).find("not 0 or 1"), std::string::npos);
    bytes = response;
    bytes.back() = 'x';
    EXPECT_EQ(refusal(bytes), "the picture reference has no end");
    bytes = response;
    bytes[bytes.size() - 3] = 0;
    EXPECT_EQ(refusal(bytes), "bytes follow the picture reference");
    bytes = response;
    storeU32(&bytes[44], 10);
    EXPECT_NE(refusal(bytes).find("says 10 bytes"), std::string::npos);
    bytes = response;
    storeU32(&bytes[40], 1);
    EXPECT_EQ(refusal(bytes), "a failed property response carries data");

    LobbyGameSettings longName = sampleSettings();
    longName.picture = std::string(259, 'p');
    bytes = encodeLobbyMessage(lobbyPropertyResponse(0, longName));
    ASSERT_EQ(decode(bytes)->settings->picture.size(), 259u);
    bytes.insert(bytes.end() - 1, 'q');
    storeU32(&bytes[44], loadU32(&bytes[44]) + 1);
    EXPECT_NE(refusal(bytes).find("longer than 259"), std::string::npos);

    EXPECT_NE(refusal({40, 0, 0, 0, 0}).find("status query is 5 bytes"), std::string::npos);
    EXPECT_EQ(refusal({9, 0, 0, 0}), "unknown lobby message type 9");
}

TEST(LobbyProtocol, FramesAreCutFromAStreamInAnyPieces) {
    std::vector<uint8_t> stream;
    const std::vector<LobbyMessage> sent{lobbyPropertyRequest(3), lobbyPropertyResponse(3, sampleSettings()),
                                         lobbyStatusQuery(), lobbyStatusReply(sampleStatus())};
    for (const auto& m : sent) {
        const auto f = encodeLobbyFrame(m);
        stream.insert(stream.end(), f.begin(), f.end());
    }
    for (size_t piece : {size_t(1), size_t(7), stream.size()}) {
        LobbyFrameReader reader;
        std::vector<LobbyMessage> got;
        std::string why;
        for (size_t at = 0; at < stream.size(); at += piece) {
            reader.feed(std::span(stream).subspan(at, std::min(piece, stream.size() - at)));
            LobbyMessage m;
            while (reader.next(m, why) == LobbyFrameReader::Next::Message) got.push_back(m);
            ASSERT_FALSE(reader.failed()) << why;
        }
        EXPECT_EQ(got, sent) << piece;
        EXPECT_FALSE(reader.midFrame());
    }

    LobbyFrameReader cut;
    cut.feed(std::span(stream).first(10));
    LobbyMessage m;
    std::string why;
    EXPECT_EQ(cut.next(m, why), LobbyFrameReader::Next::NeedMore);
    EXPECT_TRUE(cut.midFrame());

    for (uint32_t length : {0u, 3u, 4097u, 0xFFFFFFFFu}) {
        LobbyFrameReader reader;
        std::vector<uint8_t> head(4);
        storeU32(head.data(), length);
        reader.feed(head);
        EXPECT_EQ(reader.next(m, why), LobbyFrameReader::Next::Error) << length;
        EXPECT_NE(why.find(std::to_string(length) + " bytes"), std::string::npos) << why;
        // Once out of step, a good frame after it is not taken.
        reader.feed(encodeLobbyFrame(lobbyStatusQuery()));
        EXPECT_EQ(reader.next(m, why), LobbyFrameReader::Next::Error);
    }

    LobbyFrameReader garbage;
    garbage.feed(std::vector<uint8_t>{6, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', '!'});
    EXPECT_EQ(garbage.next(m, why), LobbyFrameReader::Next::Error);
    EXPECT_NE(why.find("not understood"), std::string::npos);
}

TEST(LobbyProtocol, LobbyAddressIsHostAndPort) {
    std::string why;
    EXPECT_EQ(parseLobbyAddress("127.0.0.1:4000", why), (LobbyAddress{"127.0.0.1", 4000}));
    EXPECT_EQ(parseLobbyAddress("lobby.example:1", why), (LobbyAddress{"lobby.example", 1}));
    EXPECT_EQ(parseLobbyAddress("[::1]:65535", why), (LobbyAddress{"::1", 65535}));
    for (const char* bad : {"", "host", "host:", ":80", "host:0", "host:65536", "host:12a", "host:-1", "[::1]4000",
                            "[::1]", "a b:80", "::1:80", "[]:80", "host:000080"}) {
        why.clear();
        EXPECT_FALSE(parseLobbyAddress(bad, why).has_value()) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
}

// A raw client socket, for sending what no LobbyConnection would.
int rawClient(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

TEST(LobbyConnection, CarriesMessagesBothWaysOverLoopback) {
    std::string why;
    auto listener = LobbyListener::listen("127.0.0.1", 0, why);
    ASSERT_TRUE(listener) << why;
    auto game = LobbyConnection::connect({"127.0.0.1", listener->port()}, 2000, why);
    ASSERT_TRUE(game) << why;
    auto lobby = listener->accept(2000);
    ASSERT_TRUE(lobby);

    LobbyMessage m;
    ASSERT_TRUE(game->send(lobbyPropertyRequest(0), why));
    ASSERT_EQ(lobby->receive(m, 2000, why), LobbyConnection::Received::Message) << why;
    EXPECT_EQ(m, lobbyPropertyRequest(0));
    ASSERT_TRUE(lobby->send(lobbyPropertyResponse(0, sampleSettings()), why));
    ASSERT_TRUE(lobby->send(lobbyStatusQuery(), why));
    ASSERT_EQ(game->receive(m, 2000, why), LobbyConnection::Received::Message) << why;
    EXPECT_EQ(m.settings, sampleSettings());
    ASSERT_EQ(game->receive(m, 2000, why), LobbyConnection::Received::Message) << why;
    EXPECT_EQ(m.type, kLobbyStatusQuery);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(game->receive(m, 100, why), LobbyConnection::Received::Timeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));

    lobby.reset();
    EXPECT_EQ(game->receive(m, 2000, why), LobbyConnection::Received::Closed);
    EXPECT_EQ(why, "the lobby closed the connection");
}

TEST(LobbyConnection, ReportsGarbageCutFramesAndAMissingLobby) {
    std::string why;
    auto listener = LobbyListener::listen("127.0.0.1", 0, why);
    ASSERT_TRUE(listener) << why;
    LobbyMessage m;

    const int garbage = rawClient(listener->port());
    auto side = listener->accept(2000);
    ASSERT_TRUE(side);
    const std::string text = "GET / HTTP/1.0\r\n\r\n";
    ASSERT_EQ(::send(garbage, text.data(), text.size(), 0), ssize_t(text.size()));
    EXPECT_EQ(side->receive(m, 2000, why), LobbyConnection::Received::Error);
    EXPECT_NE(why.find("bytes (allowed: 4 to 4096)"), std::string::npos) << why;
    EXPECT_FALSE(side->send(lobbyStatusQuery(), why));
    ::close(garbage);

    const int cut = rawClient(listener->port());
    side = listener->accept(2000);
    ASSERT_TRUE(side);
    const auto frame = encodeLobbyFrame(lobbyStatusReply(sampleStatus()));
    ASSERT_EQ(::send(cut, frame.data(), 30, 0), 30);
    ::close(cut);
    EXPECT_EQ(side->receive(m, 2000, why), LobbyConnection::Received::Error);
    EXPECT_EQ(why, "the lobby closed the connection in the middle of a message");

    const uint16_t port = listener->port();
    listener.reset();
    EXPECT_FALSE(LobbyConnection::connect({"127.0.0.1", port}, 2000, why));
    EXPECT_NE(why.find("cannot connect to the lobby"), std::string::npos) << why;
}

}  // namespace
}  // namespace pavalo::net
