// One network session over ENet: hosting or joining, the players of every
// machine, guaranteed and plain sends, system messages, session discovery,
// keep-alive and host migration.
//
// Topology: the host's machine is connected to every other machine; clients
// talk only to the host, which stamps the sender of everything it relays, so
// a client can never speak as another player or as the server player. Every
// machine's ENet host listens, so any of them can take over as host.
//
// Threads: each Session owns one service thread, the only one that touches
// its ENetHost. Other threads call the public functions, which take the
// session's mutex and hand outgoing frames to the service thread. Received
// game messages and system messages wait in two bounded receive queues (the
// local player's and the server player's), and the player's Event is set when
// something arrives.
//
// Failure behaviour: nothing from the wire is trusted. Frames that do not
// decode, come from the wrong peer, name unknown players or arrive when the
// queue is full are dropped and counted (droppedFrames()).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/event.h"
#include "net/wire.h"

struct _ENetHost;
struct _ENetPeer;

namespace pavalo::net {

inline constexpr uint16_t kDefaultSessionPort = 28760;
inline constexpr uint16_t kDefaultDiscoveryPort = 28761;

// The three connections the connection dialog offers.
enum class ConnectionKind { Lan, Internet, LanUnguaranteed };

struct NetSettings {
    // Address and port this machine's session socket binds to; port 0 takes
    // any free port (clients, tests).
    std::string bindAddress = "0.0.0.0";
    uint16_t port = kDefaultSessionPort;
    // Discovery: hosts listen on discoveryPort; finders send to
    // broadcastAddress. Tests point it at 127.255.255.255.
    uint16_t discoveryPort = kDefaultDiscoveryPort;
    std::string broadcastAddress = "255.255.255.255";
    // A machine that stays silent this long is taken as gone.
    uint32_t peerTimeoutMs = 2000;
    // After a host migration, how long the new host waits for the others to
    // reconnect before it destroys the players that did not.
    uint32_t rejoinWindowMs = 4000;
    uint32_t joinTimeoutMs = 5000;
};

enum class SendResult { Ok, Busy, Failed };

enum class SystemKind { None, PlayerCreated, PlayerDestroyed, PlayerDataChanged, BecameHost };

// One received message. A system message has from == 0 and kind != None.
struct Received {
    uint32_t from = 0;
    uint32_t to = 0;
    std::vector<uint8_t> data;
    SystemKind kind = SystemKind::None;
    uint32_t playerId = 0;  // system messages: the player concerned
    uint32_t playerFlags = 0;
    std::string name;
    PlayerDataBytes playerData{};
};

struct Caps {
    bool guaranteed = true;
    uint32_t roundTripMs = 0;
    uint32_t bytesPerSecond = 0;  // estimate from the link's window and round trip
};

struct FoundSession {
    std::string address;  // dotted IPv4
    uint16_t port = 0;
    SessionDesc desc;
};

enum class JoinResult { Ok, Refused, JoinDisabled, Full, NoAnswer };

class Session {
public:
    Session(ConnectionKind kind, NetSettings settings);
    ~Session();  // closes the session gracefully
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Creates a session described by `desc` (application and instance ids are
    // filled in) and starts listening. False when the socket cannot be bound.
    bool host(SessionDesc desc);
    // Events handed to createPlayer and join are set by the service thread
    // and must outlive the session.
    // Creates a player on the hosting machine: the server player (flags has
    // kPlayerServer, id 1) or the local player. Returns the id, 0 on failure.
    uint32_t createPlayer(const std::string& name, const PlayerDataBytes& data, uint32_t flags,
                          Event* event);
    // Joins the session at address:port with a local player.
    JoinResult join(const std::string& address, uint16_t port, const std::string& name,
                    const PlayerDataBytes& data, Event* event);
    // Tells the others and leaves.
    void close();
    // Stops at once without telling anybody: how a crashed machine looks.
    void vanish();

    bool isOpen() const;
    // True while something this machine sent guaranteed has not yet been
    // acknowledged by its receiver (or still waits to go out).
    bool deliveriesPending() const;
    bool isHost() const;
    uint32_t localPlayerId() const;
    uint16_t listenPort() const;
    ConnectionKind connection() const { return kind_; }

    // Sends a game message (4..4096 bytes) from a player of this machine.
    SendResult send(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> data);
    // Takes the next message for the local player (serverPlayer false) or
    // the server player. False when none is waiting.
    bool receive(bool serverPlayer, Received& out);

    std::vector<PlayerRecord> players() const;  // join order, server player included
    bool hasPlayer(uint32_t id) const;
    bool playerData(uint32_t id, PlayerDataBytes& out) const;
    // Publishes a player's data to every machine, guaranteed. Only players of
    // this machine may be changed.
    bool setPlayerData(uint32_t id, const PlayerDataBytes& data);
    Caps caps(uint32_t playerId) const;

    SessionDesc desc() const;
    // Host only: replaces the session description and tells every machine.
    bool setDesc(const SessionDesc& desc);

    uint64_t droppedFrames() const { return dropped_.load(); }
    // Frames waiting for the service thread. Bulk senders keep it short:
    // a full queue refuses every send, answers included.
    size_t backlog() const;

    // Asks the local network (settings.broadcastAddress) for sessions of this
    // game and collects the answers for waitMs.
    static std::vector<FoundSession> findSessions(const NetSettings& settings, int waitMs);

private:
    struct Player {
        PlayerRecord rec;
        _ENetPeer* peer = nullptr;   // host: the peer of that player's machine
        bool awaitingRejoin = false;  // host after migration
        uint64_t rejoinDeadline = 0;
        bool local = false;
        uint32_t rttMs = 0;
        uint32_t window = 0;
    };
    // A frame waiting for the service thread. The destination is resolved
    // when it is sent, so a peer that left meanwhile never gets another's mail.
    struct Outgoing {
        uint32_t playerId;  // 0: this client's host
        std::vector<uint8_t> bytes;
        bool reliable;
    };
    enum class State { Idle, Joining, Joined, Rejoining, Hosting, Refused, Failed, Closed };

    bool startHost(uint16_t port);
    void serviceLoop();
    void handleEvent(void* enetEvent);
    void handleFrame(_ENetPeer* peer, const Frame& f, bool reliable);
    void handleHostFrame(_ENetPeer* peer, const Frame& f, bool reliable);
    void handleClientFrame(_ENetPeer* peer, const Frame& f, bool reliable);
    void acceptRejoin(_ENetPeer* peer, const Frame& f);
    void peerGone(_ENetPeer* peer);
    void hostLost();
    void tryNextHost();
    void becomeHost();
    void announceHostWhenSettled();
    void checkTimers();
    void serviceDiscovery();
    void openDiscovery();
    void route(uint32_t from, uint32_t to, std::vector<uint8_t> message, bool reliable);
    void deliver(bool serverPlayer, Received r);
    void sysMessage(SystemKind kind, const PlayerRecord& p);
    void destroyPlayer(uint32_t id, bool tellOthers);
    void sendToPeer(_ENetPeer* peer, const std::vector<uint8_t>& bytes, bool reliable);
    void broadcastFrame(const std::vector<uint8_t>& bytes, uint32_t exceptId);
    void setPeerTimeouts(_ENetPeer* peer);
    void wake();
    void stopThread(bool graceful);
    Player* findPlayer(uint32_t id);
    const Player* findPlayer(uint32_t id) const;
    Player* playerOfPeer(_ENetPeer* peer);
    std::vector<PlayerRecord> records() const;
    uint32_t countPlayers() const;

    const ConnectionKind kind_;
    const NetSettings settings_;
    mutable std::mutex m_;
    std::condition_variable stateCv_;
    State state_ = State::Idle;
    JoinResult joinResult_ = JoinResult::NoAnswer;
    _ENetHost* host_ = nullptr;
    _ENetPeer* hostPeer_ = nullptr;
    uint16_t port_ = 0;
    int wakePipe_[2] = {-1, -1};
    int discoverySocket_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    bool graceful_ = true;
    SessionDesc desc_;
    std::vector<Player> players_;
    uint32_t localId_ = 0;
    uint32_t nextId_ = 2;
    Event* localEvent_ = nullptr;
    Event* serverEvent_ = nullptr;
    std::deque<Received> localQueue_, serverQueue_;
    std::vector<Outgoing> outgoing_;
    // Connected peers that have not joined yet, with the time they connected.
    std::vector<std::pair<_ENetPeer*, uint64_t>> pendingPeers_;
    // Rejoin requests that came before this machine noticed it is the new host.
    std::vector<std::pair<_ENetPeer*, Frame>> heldRejoins_;
    uint64_t rejoinDeadline_ = 0;
    uint32_t rejoinCandidate_ = 0;
    bool becameHostPending_ = false;
    std::string localName_;
    PlayerDataBytes localData_{};
    uint32_t hostRtt_ = 0, hostWindow_ = 0;
    std::map<_ENetPeer*, uint64_t> lastHeard_;  // when each peer was last heard from
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace pavalo::net
