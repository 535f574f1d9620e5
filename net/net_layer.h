// The game's network layer: one per process in the game (tests make several).
// It owns the session, the receive and server threads, the incoming queue
// that the dispatcher drains, the outgoing queue of acknowledged delivery,
// the single reply waiter, the player table and the holder table.
//
// With no session open the same calls run in local mode: a message sent is
// put straight into the incoming queue as if it had been received.
//
// Threads: the user-interface thread sends, waits, dispatches and runs the
// resend pass; the receive thread takes the local player's messages and the
// system messages; on the host the server thread takes the server player's
// messages and runs the server dispatcher. Locks: DPMutex only around single
// session calls; OUTMSGMutex before DPMutex; INMSGMutex never held while
// sending; PIECEMutex around the holder table.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "net/event.h"
#include "net/lobby_protocol.h"
#include "net/session.h"
#include "net/tables.h"

namespace pavalo::net {

inline constexpr int kQueueEntries = 128;  // the outgoing queue
// The incoming queue is larger: a player waiting for the host's answer
// takes nothing from it meanwhile, and with many players moving, 128
// entries fill and results would be lost.
inline constexpr int kIncomingEntries = 1024;
inline constexpr uint16_t kMsgGuaranteedAck = 32;
inline constexpr uint16_t kMsgNewHost = 37;
inline constexpr uint32_t kNetMessageCommand = 32844;
inline constexpr uint32_t kFirstDeliverySeq = 4928;

// The connection dialog's entries, the first one on top.
inline constexpr const char* kConnectionLan = "Local network (UDP)";
inline constexpr const char* kConnectionInternet = "Internet address (UDP)";
inline constexpr const char* kConnectionLanUnguaranteed = "Local network without guaranteed delivery (UDP)";

// Message box texts.
inline constexpr const char* kMsgCannotStart = "Unable to start the network layer";
inline constexpr const char* kMsgNoConnections = "No network connections were found";
inline constexpr const char* kMsgCannotInitConnection = "Unable to start the connection";
inline constexpr const char* kMsgCannotCreateSession = "Unable to create a network session";
inline constexpr const char* kMsgCannotCreatePlayer = "Unable to create a network player";

struct QueueEntry {
    uint32_t flags = 0;  // bit 0: in use; in queue, bit 1: a repeat of a delivery already queued
    uint32_t size = 0;
    uint32_t to = 0;
    uint32_t from = 0;
    std::vector<uint8_t> data;  // the whole message, header included
    uint32_t token = 0;         // out queue: delivery token in the high 16 bits
    std::array<uint32_t, kPlayerSlots> acked{};
    uint32_t sentAt = 0;
    uint64_t arrival = 0;  // in queue: arrival order, oldest taken first
};

// What the game supplies. Every member may be left empty.
struct NetHooks {
    std::function<void()> postNetMessage;  // post command 32844 to the view
    std::function<void()> sendNetMessage;  // the same, handled before returning
    std::function<void(bool serverMode)> dispatch;
    std::function<void(const std::string&)> showMessage;
    std::function<void()> playerListChanged;
    // Host: sends a departed slot's sorting-box pieces back to the play area
    // (slot 16: pieces nobody holds).
    std::function<void(int slot)> returnSortingBoxPieces;
    std::function<void()> redrawPlayArea;
    // Runs the game's part of becoming host (waiting room, session name).
    std::function<void()> becameHost;
    // Lobby status: game type, pieces, finished pieces.
    std::function<std::array<uint32_t, 3>()> lobbyStatus;
    // Sees every system message first (receive thread), for tools and logs.
    std::function<void(const Received&)> systemMessage;
};

// Where a lobby launch would plug in: the server thread polls it.
class LobbyLink {
public:
    virtual ~LobbyLink() = default;
    // Next pending lobby message; false when none. `system` for the lobby's own.
    virtual bool receive(std::vector<uint8_t>& message, bool& system) = 0;
    virtual void send(std::span<const uint8_t> message) = 0;
};

// Which awaited message answers a wait: true to take it.
using ReplyFilter = std::function<bool(std::span<const uint8_t>)>;
inline constexpr uint32_t kSendOnce = 2;

class NetLayer {
public:
    explicit NetLayer(NetHooks hooks = {});
    ~NetLayer();
    NetLayer(const NetLayer&) = delete;
    NetLayer& operator=(const NetLayer&) = delete;

    // Connection dialog: fill returns the entries (empty on failure, after
    // showing the message); choose picks one, false with a message if unknown.
    std::vector<std::string> fillConnections();
    bool chooseConnection(const std::string& name);
    void setSettings(const NetSettings& s) { settings_ = s; }
    const NetSettings& settings() const { return settings_; }

    // Host: opens a session of `maxPlayers` players (plus the server player).
    bool openSession(const std::string& sessionName, const std::string& playerName, uint32_t maxPlayers,
                     uint32_t gameType, uint32_t seed, uint32_t optionMask);
    // Client: joins the session at address:port.
    JoinResult joinSession(const std::string& address, uint16_t port, const std::string& playerName);
    void closeSession();
    // Test aid: this machine stops without telling anybody.
    void vanish();

    bool sessionOpen() const { return sessionOpen_.load(); }
    uint32_t localPlayerId() const { return localPlayerId_.load(); }
    Session* session() { return session_.get(); }

    int send(uint32_t from, uint32_t to, uint32_t flags, std::span<const uint8_t> data);
    int sendHeaderOnly(uint32_t from, uint32_t to, uint16_t id);
    // flags bit 0: guaranteed. With retry the request is resent every 500 ms
    // until the answer comes, the session ends or, when limitMs is not 0,
    // that long has passed. flags bit 1 (kSendOnce, with bit 0): the request
    // goes out once, a request its receiver must not take twice; while the
    // wait lasts the unacknowledged guaranteed messages, it among them, are
    // resent under their own delivery tokens. With `accept` the wait ends
    // only on an awaited message it accepts (its bytes, header word without
    // the token); others of that id pass by to the queue.
    int sendAndWait(uint32_t to, uint32_t flags, std::span<const uint8_t> data, uint16_t awaitedId, bool retry,
                    uint32_t limitMs = 0, ReplyFilter accept = {});
    int sendHeaderAndWait(uint32_t to, uint16_t id, uint16_t awaitedId, bool retry);
    int waitFor(uint16_t id, int timeoutMs);
    std::vector<uint8_t> reply() const;
    void resendPass();

    // Dispatcher access to the incoming queue: takes the oldest entry this
    // dispatcher may handle (server mode: only those to the server player)
    // and marks it in dispatch; finish() frees it. Oldest, not lowest
    // numbered: a freed low entry refilled by a newer message must not
    // overtake older ones (a drop's join messages apply in their order).
    bool takeIncoming(bool serverMode, QueueEntry& copy, int& index);
    void finishIncoming(int index);
    int incomingCount() const;
    // Messages a full incoming queue had no room for.
    uint64_t droppedIncoming() const { return droppedIncoming_.load(); }
    int outgoingCount() const;

    PlayerTable playerTable() const;
    bool setLocalPlayerData(const PlayerData& data);
    PlayerData localPlayerData() const;
    HolderTable& holders() { return holders_; }
    void setHolderModel(HolderModel* model) { model_ = model; }
    void setLobby(LobbyLink* lobby) { lobby_ = lobby; }
    // Builds the reply to a lobby status query.
    std::vector<uint8_t> lobbyStatusReply();

    // The layer's millisecond clock.
    uint32_t clockMs() const { return now(); }

    // Test aids.
    void setClock(std::function<uint32_t()> clock) { clock_ = std::move(clock); }
    void setDeliverySeq(uint32_t seq);
    uint32_t deliverySeq() const;
    uint64_t ackSent() const { return acksSent_.load(); }

private:
    uint32_t now() const;
    int sendRaw(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> data);
    void enqueueAcknowledged(uint32_t from, uint32_t to, std::span<const uint8_t> data);
    void putIncoming(uint32_t from, uint32_t to, std::vector<uint8_t> data, bool repeat = false);
    void completeWaiter(uint16_t id, uint32_t from, uint16_t token, const std::vector<uint8_t>& data);
    // Records a guaranteed message's delivery token; false when that sender's
    // message with this token came before (a resend whose acknowledgement
    // was lost, or a copy the link doubled).
    bool firstDelivery(uint32_t from, uint16_t token);
    void armWaiter(uint16_t awaitedId);
    void forgetDeliveries(uint32_t from);
    int waitArmed(uint32_t to, uint32_t flags, std::span<const uint8_t> data, bool retry, uint32_t limitMs = 0);
    void handleGameMessage(uint32_t from, uint32_t to, std::vector<uint8_t> data, bool serverThread);
    void recordAck(uint32_t from, uint32_t token);
    void handleSystem(const Received& r);
    void playerLeft(uint32_t id);
    void runBecomeHost();
    void receiveLoop();
    void serverLoop();
    void startThreads(bool server);
    void stopThreads();
    bool createServerPlayer(uint32_t state);
    void show(const std::string& text);
    std::string localName_;

    NetHooks hooks_;
    NetSettings settings_;
    ConnectionKind kind_ = ConnectionKind::Lan;
    bool connectionChosen_ = false;
    std::unique_ptr<Session> session_;
    std::atomic<bool> sessionOpen_{false};
    std::atomic<uint32_t> localPlayerId_{0};
    PlayerData localData_;  // guarded by tableMutex_

    mutable std::mutex tableMutex_;  // guards players_ (read by many threads)
    PlayerTable players_;
    HolderTable holders_;
    std::atomic<HolderModel*> model_{nullptr};
    std::atomic<LobbyLink*> lobby_{nullptr};

    std::array<QueueEntry, kIncomingEntries> inQueue_;
    std::array<uint32_t, kIncomingEntries> inDispatch_{};
    std::array<QueueEntry, kQueueEntries> outQueue_;
    uint32_t deliverySeq_ = kFirstDeliverySeq;
    uint64_t arrivals_ = 0;  // guarded by INMSGMutex
    std::atomic<uint64_t> droppedIncoming_{0};
    uint32_t lastResendPass_ = 0;

    // The delivery tokens taken from each sender, the oldest forgotten once
    // kRememberedTokens are kept, and the newest in sending order.
    struct Deliveries {
        std::vector<bool> seen = std::vector<bool>(65536);
        std::deque<uint16_t> order;
        uint16_t newest = 0;
    };
    static constexpr size_t kRememberedTokens = 16384;
    std::mutex deliveriesMutex_;
    std::map<uint32_t, Deliveries> deliveries_;

    mutable std::mutex waiterMutex_;
    uint16_t awaitedId_ = 0;
    // The newest token of each sender when the wait began: a guaranteed
    // answer must be newer, since an older one was sent before the request
    // could have arrived (a late copy of an earlier answer).
    std::map<uint32_t, uint16_t> waitFloor_;
    std::shared_ptr<Event> waitEvent_;
    ReplyFilter accept_;
    std::vector<uint8_t> reply_;

    Event receiveEvent_{true, false};
    Event serverEvent_{true, false};
    Event playerGate_{true, true};
    std::thread receiveThread_, serverThread_;
    std::atomic<bool> stopThreads_{false};
    std::function<uint32_t()> clock_;
    std::atomic<uint64_t> acksSent_{0};
};

}  // namespace pavalo::net
