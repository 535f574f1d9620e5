// Frames exchanged between session layers over ENet and the discovery socket:
// their encoders and one checked decoder. Everything here is plain bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pavalo::net {

using Guid = std::array<uint8_t, 16>;
using PlayerDataBytes = std::array<uint8_t, 16>;

inline constexpr uint32_t kAllPlayers = 0;    // destination "everybody", source "system"
inline constexpr uint32_t kServerPlayer = 1;  // the host's server player
inline constexpr size_t kMaxMessageSize = 4096;
inline constexpr size_t kMinMessageSize = 4;  // the header word
inline constexpr size_t kMaxNameLength = 63;
inline constexpr int kMaxPlayersInFrame = 64;

// Session flags.
inline constexpr uint32_t kSessionKeepAlive = 0x04;
inline constexpr uint32_t kSessionMigrateHost = 0x40;
inline constexpr uint32_t kSessionJoinDisabled = 0x20;

// Player flags.
inline constexpr uint32_t kPlayerServer = 0x100;
// The local player of the machine that hosts the session.
inline constexpr uint32_t kPlayerHost = 0x200;

struct SessionDesc {
    uint32_t flags = kSessionKeepAlive | kSessionMigrateHost;
    uint32_t maxPlayers = 17;  // including the server player
    uint32_t currentPlayers = 0;
    Guid application{};
    Guid instance{};
    uint32_t user1 = 0, user2 = 0, user3 = 0;
    std::string name;
    bool operator==(const SessionDesc&) const = default;
};

struct PlayerRecord {
    uint32_t id = 0;
    uint32_t flags = 0;
    uint32_t address = 0;  // IPv4 in network byte order, as ENet keeps it
    uint16_t port = 0;     // the port this player's machine listens on
    std::string name;
    PlayerDataBytes data{};
    bool operator==(const PlayerRecord&) const = default;
};

enum class FrameType : uint8_t {
    Join = 1,
    JoinAccept = 2,
    JoinRefused = 3,
    PlayerCreated = 4,
    PlayerDestroyed = 5,
    PlayerData = 6,
    SessionDescChanged = 7,
    App = 8,
    Rejoin = 9,
    Discover = 10,
    DiscoveryReply = 11,
};

enum class RefuseReason : uint8_t { WrongApplication = 1, JoinDisabled = 2, Full = 3, UnknownPlayer = 4 };

// One decoded frame; which fields are meaningful depends on `type`.
struct Frame {
    FrameType type = FrameType::App;
    Guid application{};  // Join, Rejoin, Discover
    Guid instance{};     // Rejoin
    uint32_t playerId = 0;  // JoinAccept (your id), PlayerDestroyed, PlayerData, Rejoin
    uint32_t nextId = 0;    // JoinAccept, PlayerCreated: lowest id not yet given out
    uint16_t port = 0;      // Join, Rejoin (listen port), DiscoveryReply (session port)
    std::string name;       // Join
    PlayerDataBytes data{};  // Join, PlayerData
    RefuseReason reason = RefuseReason::Full;
    SessionDesc desc;                  // JoinAccept, SessionDescChanged, DiscoveryReply
    std::vector<PlayerRecord> players;  // JoinAccept; PlayerCreated holds one
    uint32_t from = 0, to = 0;          // App
    std::vector<uint8_t> payload;       // App: the whole game message, header included
};

// Decodes one frame. Returns false with a reason in `error` for anything that
// is not exactly a well-formed frame: unknown type, wrong length, a name too
// long, a message outside 4..4096 bytes, too many players.
bool decodeFrame(std::span<const uint8_t> bytes, Frame& out, std::string& error);

// Encodes any decoded frame back to bytes; decodeFrame(encodeFrame(f)) == f.
std::vector<uint8_t> encodeFrame(const Frame& f);

std::vector<uint8_t> encodeJoin(const Guid& app, uint16_t listenPort, const std::string& name,
                                const PlayerDataBytes& data);
std::vector<uint8_t> encodeJoinAccept(uint32_t yourId, const SessionDesc& desc, uint32_t nextId,
                                      const std::vector<PlayerRecord>& players);
std::vector<uint8_t> encodeJoinRefused(RefuseReason reason);
std::vector<uint8_t> encodePlayerCreated(const PlayerRecord& p, uint32_t nextId);
std::vector<uint8_t> encodePlayerDestroyed(uint32_t id);
std::vector<uint8_t> encodePlayerData(uint32_t id, const PlayerDataBytes& data);
std::vector<uint8_t> encodeSessionDesc(const SessionDesc& desc);
std::vector<uint8_t> encodeApp(uint32_t from, uint32_t to, std::span<const uint8_t> message);
std::vector<uint8_t> encodeRejoin(const Guid& app, const Guid& instance, uint32_t id,
                                  uint16_t listenPort);
std::vector<uint8_t> encodeDiscover(const Guid& app);
std::vector<uint8_t> encodeDiscoveryReply(uint16_t sessionPort, const SessionDesc& desc);

// The application identity every copy of the game carries.
Guid gameApplicationGuid();

}  // namespace pavalo::net
