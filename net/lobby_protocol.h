// The launch protocol between a lobby program and the copies of the game it
// starts: the game is run with `--lobby HOST:PORT` and keeps one TCP
// connection to the lobby, on which the lobby messages travel, each in a
// frame of a u32 little-endian length followed by that many bytes.
//
// Messages (all integers u32 little-endian, GUIDs 16 bytes in their usual
// byte layout):
//   7  property request, 40 bytes: +0 type, +4 request id, +8 player GUID
//      (zero), +24 property tag;
//   8  property response: +0 type, +4 request id, +8 player GUID, +24
//      property tag, +40 result (0 success), +44 data size, +48 data: with
//      result 0 the LobbyGameSettings, otherwise no data;
//   40 status query, 4 bytes: +0 type;
//   41 status reply: +0 type, +4 total size (24 + 16 per player), +8 game
//      type, +12 pieces, +16 pieces finished, +20 players (at most 16), +24
//      one 16-byte player data record per player.
// LobbyGameSettings: nine u32 (game type, sorting boxes, Arrange, Solve, Find
// Nearby Pieces, Find Edges, Find by Color, Puzzle Outline, random seed; each
// 0xFFFFFFFF when the lobby leaves it to the host), at 36 the piece count
// (2..4000) and at 40 the rotated-pieces option (0 or 1), each 0xFFFFFFFF
// when left to the host, and at 44 the picture reference: a picture name or
// an http/https address, NUL-terminated, at most 259 characters.
//
// Decoding trusts nothing: every size, count, value range and text end is
// checked, and anything else is refused with a reason. A decoded message
// encodes back to exactly the bytes it came from.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/tables.h"
#include "puzzle/puzzle_model.h"
#include "net/wire.h"

namespace pavalo::net {

enum LobbyMessageType : uint32_t {
    kLobbyPropertyRequest = 7,
    kLobbyPropertyResponse = 8,
    kLobbyStatusQuery = 40,
    kLobbyStatusReply = 41,
};

inline constexpr uint32_t kLobbyUnset = 0xFFFFFFFF;
inline constexpr size_t kLobbyPictureField = 260;  // the reference with its NUL
inline constexpr size_t kLobbySettingsHead = 44;   // the u32 fields before the reference
inline constexpr uint32_t kLobbyMaxPlayers = 16;
inline constexpr size_t kLobbyMaxFrame = 4096;  // larger frames are refused unread

// {DBE08562-83A6-11D2-B2D7-00C0F01A2B03}: the property that holds the game settings.
Guid lobbySettingsTag();

struct LobbyGameSettings {
    uint32_t gameType = kLobbyUnset;  // 0 Cooperative, 1 Competitive, 2 Team Competitive
    uint32_t sortingBoxes = kLobbyUnset;
    uint32_t arrange = kLobbyUnset;
    uint32_t solve = kLobbyUnset;
    uint32_t findNearby = kLobbyUnset;
    uint32_t findEdges = kLobbyUnset;
    uint32_t findByColour = kLobbyUnset;
    uint32_t puzzleOutline = kLobbyUnset;
    uint32_t seed = kLobbyUnset;
    uint32_t pieces = kLobbyUnset;        // 2..4000
    uint32_t rotatePieces = kLobbyUnset;  // 0 or 1
    std::string picture;  // empty: the host chooses
    // True when all eight options (all but the seed) are set.
    bool complete() const;
    bool operator==(const LobbyGameSettings&) const = default;
};

struct LobbyStatus {
    uint32_t gameType = 0;
    uint32_t pieces = 0;
    uint32_t finishedPieces = 0;
    std::vector<PlayerDataBytes> players;  // one per in-use player slot, in slot order
    bool operator==(const LobbyStatus&) const = default;
};

// One message; which fields count depends on `type`.
struct LobbyMessage {
    uint32_t type = 0;
    uint32_t requestId = 0;  // 7, 8
    Guid player{};           // 7, 8
    Guid tag{};              // 7, 8
    uint32_t result = 0;     // 8
    std::optional<LobbyGameSettings> settings;  // 8 with result 0
    LobbyStatus status;      // 41
    bool operator==(const LobbyMessage&) const = default;
};

LobbyMessage lobbyPropertyRequest(uint32_t requestId);
// With settings: result 0 and the settings; without: the failure `result`.
LobbyMessage lobbyPropertyResponse(uint32_t requestId, std::optional<LobbyGameSettings> settings,
                                   uint32_t result = 0x80004005);
LobbyMessage lobbyStatusQuery();
LobbyMessage lobbyStatusReply(LobbyStatus status);

// What the host tells the lobby: one player data record per in-use slot of
// the player table, in slot order, each read through `dataOf(dpid)`.
LobbyStatus lobbyStatusOf(uint32_t gameType, uint32_t pieces, uint32_t finishedPieces, const PlayerTable& players,
                          const std::function<PlayerDataBytes(uint32_t dpid)>& dataOf);

// The counts a status reply starts with, of a running game: its type, its
// pieces and those in the finished state, read under the piece mutex.
std::array<uint32_t, 3> lobbyCountsOf(const PuzzleModel& model, uint32_t gameType);

// The message's bytes. Texts and lists beyond their limits are cut to fit.
std::vector<uint8_t> encodeLobbyMessage(const LobbyMessage& message);
// Nothing, with the reason, for bytes that are not exactly one message.
std::optional<LobbyMessage> decodeLobbyMessage(std::span<const uint8_t> bytes, std::string& why);

// The framed bytes of a message, as sent on the connection.
std::vector<uint8_t> encodeLobbyFrame(const LobbyMessage& message);

// Cuts a received byte stream into messages. Once it has refused something
// (a length of 0 or beyond kLobbyMaxFrame, or a frame that does not decode)
// it stays failed: the connection is no longer in step.
class LobbyFrameReader {
public:
    enum class Next { Message, NeedMore, Error };

    void feed(std::span<const uint8_t> bytes);
    Next next(LobbyMessage& out, std::string& why);
    // The stream ended inside a frame: what the caller reports when the
    // connection closes with this true.
    bool midFrame() const { return !buffer_.empty(); }
    bool failed() const { return !error_.empty(); }

private:
    std::deque<uint8_t> buffer_;
    std::string error_;
};

// `--lobby HOST:PORT`: a host name or IPv4 address, or an IPv6 address in
// brackets, and a port 1..65535.
struct LobbyAddress {
    std::string host;
    uint16_t port = 0;
    bool operator==(const LobbyAddress&) const = default;
};
std::optional<LobbyAddress> parseLobbyAddress(std::string_view text, std::string& why);

}  // namespace pavalo::net
