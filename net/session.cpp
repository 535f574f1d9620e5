// The session layer's transport: an ENet host serviced by one thread, the
// player list every machine keeps, routing on the host, and migration.
#include "net/session.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

namespace pavalo::net {

namespace {

constexpr size_t kReceiveQueueLimit = 4096;
constexpr size_t kOutgoingLimit = 1024;
constexpr size_t kMaxPeers = 40;
constexpr uint8_t kReliableChannel = 0;
constexpr uint8_t kPlainChannel = 1;
constexpr int kDiscoveryReadsPerPass = 64;

uint64_t nowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void initEnetOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        enet_initialize();
        atexit(enet_deinitialize);
    });
}

Guid randomGuid() {
    std::random_device rd;
    Guid g;
    for (auto& b : g) b = uint8_t(rd());
    return g;
}

Received gameMessage(uint32_t from, uint32_t to, std::vector<uint8_t> data) {
    Received r;
    r.from = from;
    r.to = to;
    r.data = std::move(data);
    return r;
}

bool parseIPv4(const std::string& text, uint32_t& out) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    out = a.s_addr;
    return true;
}

}  // namespace

Session::Session(ConnectionKind kind, NetSettings settings) : kind_(kind), settings_(std::move(settings)) {
    initEnetOnce();
}

Session::~Session() { close(); }

bool Session::startHost(uint16_t port) {
    ENetAddress addr{};
    if (enet_address_set_host_ip(&addr, settings_.bindAddress.c_str()) != 0) return false;
    addr.port = port;
    host_ = enet_host_create(&addr, kMaxPeers, 2, 0, 0);
    if (!host_ && port != 0) {
        // Another copy on this machine holds the port: any free port still
        // lets this machine take over as host later.
        addr.port = 0;
        host_ = enet_host_create(&addr, kMaxPeers, 2, 0, 0);
    }
    if (!host_) return false;
    // Frames never exceed one game message plus its frame head; a peer that
    // sends more, or piles up fragments, is cut off by ENet.
    host_->maximumPacketSize = kMaxMessageSize + 64;
    host_->maximumWaitingData = 256 * 1024;
    ENetAddress bound{};
    enet_socket_get_address(host_->socket, &bound);
    port_ = bound.port;
    if (pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        enet_host_destroy(host_);
        host_ = nullptr;
        return false;
    }
    return true;
}

bool Session::host(SessionDesc desc) {
    std::lock_guard lock(m_);
    if (state_ != State::Idle || !startHost(settings_.port)) return false;
    desc.application = gameApplicationGuid();
    desc.instance = randomGuid();
    desc.currentPlayers = 0;
    desc_ = desc;
    state_ = State::Hosting;
    openDiscovery();
    thread_ = std::thread([this] { serviceLoop(); });
    return true;
}

uint32_t Session::createPlayer(const std::string& name, const PlayerDataBytes& data, uint32_t flags,
                               Event* event) {
    std::lock_guard lock(m_);
    if (state_ != State::Hosting) return 0;
    Player p;
    p.local = true;
    p.rec.name = name.substr(0, kMaxNameLength);
    p.rec.data = data;
    if (flags & kPlayerServer) {
        if (findPlayer(kServerPlayer)) return 0;
        p.rec.id = kServerPlayer;
        p.rec.flags = kPlayerServer;
        serverEvent_ = event;
    } else {
        if (localId_ != 0) return 0;
        p.rec.id = nextId_++;
        p.rec.flags = kPlayerHost;
        localId_ = p.rec.id;
        localEvent_ = event;
        localName_ = p.rec.name;
        localData_ = data;
    }
    p.rec.port = port_;
    players_.push_back(p);
    desc_.currentPlayers = countPlayers();
    broadcastFrame(encodePlayerCreated(p.rec, nextId_), 0);
    wake();
    return p.rec.id;
}

JoinResult Session::join(const std::string& address, uint16_t port, const std::string& name,
                         const PlayerDataBytes& data, Event* event) {
    std::unique_lock lock(m_);
    if (state_ != State::Idle) return JoinResult::NoAnswer;
    if (!startHost(settings_.port)) return JoinResult::NoAnswer;
    ENetAddress addr{};
    if (enet_address_set_host(&addr, address.c_str()) != 0) return JoinResult::NoAnswer;
    addr.port = port;
    hostPeer_ = enet_host_connect(host_, &addr, 2, 0);
    if (!hostPeer_) return JoinResult::NoAnswer;
    setPeerTimeouts(hostPeer_);
    localName_ = name.substr(0, kMaxNameLength);
    localData_ = data;
    localEvent_ = event;
    state_ = State::Joining;
    thread_ = std::thread([this] { serviceLoop(); });
    stateCv_.wait_for(lock, std::chrono::milliseconds(settings_.joinTimeoutMs),
                      [this] { return state_ != State::Joining; });
    if (state_ == State::Joined) return JoinResult::Ok;
    JoinResult r = state_ == State::Refused ? joinResult_ : JoinResult::NoAnswer;
    lock.unlock();
    stopThread(true);
    return r;
}

void Session::close() { stopThread(true); }
void Session::vanish() { stopThread(false); }

void Session::stopThread(bool graceful) {
    {
        std::lock_guard lock(m_);
        graceful_ = graceful;
        stop_ = true;
        wake();
    }
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(m_);
    if (host_) {
        enet_host_destroy(host_);
        host_ = nullptr;
    }
    for (int& fd : wakePipe_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    if (discoverySocket_ >= 0) ::close(discoverySocket_);
    discoverySocket_ = -1;
    hostPeer_ = nullptr;
    if (state_ != State::Idle) state_ = State::Closed;
    stateCv_.notify_all();
}

size_t Session::backlog() const {
    std::lock_guard lock(m_);
    return outgoing_.size();
}

bool Session::isOpen() const {
    std::lock_guard lock(m_);
    return state_ == State::Hosting || state_ == State::Joined || state_ == State::Rejoining;
}

bool Session::deliveriesPending() const {
    std::lock_guard lock(m_);
    if (!outgoing_.empty()) return true;
    if (!host_) return false;
    for (size_t i = 0; i < host_->peerCount; ++i) {
        ENetPeer& p = host_->peers[i];
        if (p.state != ENET_PEER_STATE_CONNECTED) continue;
        if (p.reliableDataInTransit > 0 || !enet_list_empty(&p.outgoingCommands) ||
            !enet_list_empty(&p.sentReliableCommands))
            return true;
    }
    return false;
}

bool Session::isHost() const {
    std::lock_guard lock(m_);
    return state_ == State::Hosting;
}

uint32_t Session::localPlayerId() const {
    std::lock_guard lock(m_);
    return localId_;
}

uint16_t Session::listenPort() const {
    std::lock_guard lock(m_);
    return port_;
}

void Session::wake() {
    if (wakePipe_[1] >= 0) {
        char c = 0;
        [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &c, 1);
    }
}

void Session::setPeerTimeouts(_ENetPeer* peer) {
    uint32_t t = settings_.peerTimeoutMs;
    // Pings keep a quiet link busy enough for a silence to show; a peer is
    // given up only after the whole timeout, never on a short hiccup.
    enet_peer_ping_interval(peer, std::max<uint32_t>(50, t / 8));
    enet_peer_timeout(peer, 32, t, 2 * t);
}

SendResult Session::send(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> data) {
    if (data.size() < kMinMessageSize || data.size() > kMaxMessageSize) return SendResult::Failed;
    std::lock_guard lock(m_);
    bool reliable = guaranteed && kind_ != ConnectionKind::LanUnguaranteed;
    bool fromLocal = (from == localId_ && localId_ != 0) ||
                     (from == kServerPlayer && state_ == State::Hosting && findPlayer(kServerPlayer));
    if (!fromLocal) return SendResult::Failed;
    if (state_ == State::Rejoining) return guaranteed ? SendResult::Busy : SendResult::Ok;
    if (state_ != State::Hosting && state_ != State::Joined) return SendResult::Failed;
    if (outgoing_.size() >= kOutgoingLimit) return SendResult::Busy;
    std::vector<uint8_t> msg(data.begin(), data.end());
    if (state_ == State::Hosting) {
        if (to != kAllPlayers && !findPlayer(to)) return SendResult::Failed;
        route(from, to, std::move(msg), reliable);
    } else if (to == localId_) {
        deliver(false, gameMessage(from, to, std::move(msg)));
    } else {
        outgoing_.push_back({0, encodeApp(from, to, msg), reliable});
    }
    wake();
    return SendResult::Ok;
}

bool Session::receive(bool serverPlayer, Received& out) {
    std::lock_guard lock(m_);
    auto& q = serverPlayer ? serverQueue_ : localQueue_;
    if (q.empty()) return false;
    out = std::move(q.front());
    q.pop_front();
    return true;
}

std::vector<PlayerRecord> Session::players() const {
    std::lock_guard lock(m_);
    return records();
}

std::vector<PlayerRecord> Session::records() const {
    std::vector<PlayerRecord> r;
    for (const auto& p : players_) r.push_back(p.rec);
    return r;
}

uint32_t Session::countPlayers() const { return uint32_t(players_.size()); }

bool Session::hasPlayer(uint32_t id) const {
    std::lock_guard lock(m_);
    return findPlayer(id) != nullptr;
}

bool Session::playerData(uint32_t id, PlayerDataBytes& out) const {
    std::lock_guard lock(m_);
    const Player* p = findPlayer(id);
    if (!p) return false;
    out = p->rec.data;
    return true;
}

bool Session::setPlayerData(uint32_t id, const PlayerDataBytes& data) {
    std::lock_guard lock(m_);
    Player* p = findPlayer(id);
    if (!p || !p->local) return false;
    p->rec.data = data;
    if (id == localId_) localData_ = data;
    auto frame = encodePlayerData(id, data);
    if (state_ == State::Hosting)
        broadcastFrame(frame, 0);
    else if (state_ == State::Joined)
        outgoing_.push_back({0, frame, true});
    wake();
    return true;
}

Caps Session::caps(uint32_t playerId) const {
    std::lock_guard lock(m_);
    Caps c;
    c.guaranteed = kind_ != ConnectionKind::LanUnguaranteed;
    uint32_t rtt = hostRtt_, window = hostWindow_;
    if (state_ == State::Hosting) {
        const Player* p = findPlayer(playerId);
        rtt = p ? p->rttMs : 0;
        window = p ? p->window : 0;
        if (p && p->local) {
            // Players on this machine: no link at all.
            rtt = 0;
            window = 0;
        }
    }
    c.roundTripMs = rtt;
    // One window per round trip is what the link carries at most.
    if (window != 0) c.bytesPerSecond = uint32_t(uint64_t(window) * 1000 / std::max<uint32_t>(rtt, 1));
    else c.bytesPerSecond = 100u * 1000 * 1000;
    return c;
}

SessionDesc Session::desc() const {
    std::lock_guard lock(m_);
    return desc_;
}

bool Session::setDesc(const SessionDesc& desc) {
    std::lock_guard lock(m_);
    if (state_ != State::Hosting) return false;
    Guid app = desc_.application, inst = desc_.instance;
    desc_ = desc;
    desc_.application = app;
    desc_.instance = inst;
    desc_.currentPlayers = countPlayers();
    broadcastFrame(encodeSessionDesc(desc_), 0);
    wake();
    return true;
}

Session::Player* Session::findPlayer(uint32_t id) {
    for (auto& p : players_)
        if (p.rec.id == id) return &p;
    return nullptr;
}

const Session::Player* Session::findPlayer(uint32_t id) const {
    for (const auto& p : players_)
        if (p.rec.id == id) return &p;
    return nullptr;
}

Session::Player* Session::playerOfPeer(_ENetPeer* peer) {
    for (auto& p : players_)
        if (p.peer == peer && peer) return &p;
    return nullptr;
}

void Session::deliver(bool serverPlayer, Received r) {
    auto& q = serverPlayer ? serverQueue_ : localQueue_;
    if (q.size() >= kReceiveQueueLimit) {
        ++dropped_;
        return;
    }
    q.push_back(std::move(r));
    if (Event* e = serverPlayer ? serverEvent_ : localEvent_) e->set();
}

void Session::sysMessage(SystemKind kind, const PlayerRecord& p) {
    Received r;
    r.kind = kind;
    r.playerId = p.id;
    r.playerFlags = p.flags;
    r.name = p.name;
    r.playerData = p.data;
    deliver(false, std::move(r));
}

// Host side: delivers a message from `from` to its destination(s). Broadcasts
// reach every player except the sender; the server player gets only what is
// addressed to it.
void Session::route(uint32_t from, uint32_t to, std::vector<uint8_t> message, bool reliable) {
    if (to == kAllPlayers) {
        for (const auto& p : players_) {
            if (p.rec.id == from || p.rec.id == kServerPlayer) continue;
            if (p.local)
                deliver(false, gameMessage(from, to, message));
            else if (p.peer)
                outgoing_.push_back({p.rec.id, encodeApp(from, to, message), reliable});
        }
        return;
    }
    Player* p = findPlayer(to);
    if (!p || to == from) {
        ++dropped_;
        return;
    }
    if (p->local)
        deliver(to == kServerPlayer, gameMessage(from, to, std::move(message)));
    else if (p->peer)
        outgoing_.push_back({to, encodeApp(from, to, message), reliable});
}

void Session::sendToPeer(_ENetPeer* peer, const std::vector<uint8_t>& bytes, bool reliable) {
    if (!peer) return;
    ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(),
                                            reliable ? ENET_PACKET_FLAG_RELIABLE
                                                     : ENET_PACKET_FLAG_UNSEQUENCED);
    if (!packet) return;
    if (enet_peer_send(peer, reliable ? kReliableChannel : kPlainChannel, packet) != 0)
        enet_packet_destroy(packet);
}

void Session::broadcastFrame(const std::vector<uint8_t>& bytes, uint32_t exceptId) {
    for (const auto& p : players_)
        if (!p.local && p.peer && p.rec.id != exceptId) outgoing_.push_back({p.rec.id, bytes, true});
}

void Session::destroyPlayer(uint32_t id, bool tellOthers) {
    auto it = std::find_if(players_.begin(), players_.end(), [&](const Player& p) { return p.rec.id == id; });
    if (it == players_.end()) return;
    PlayerRecord rec = it->rec;
    players_.erase(it);
    desc_.currentPlayers = countPlayers();
    if (tellOthers && state_ == State::Hosting) broadcastFrame(encodePlayerDestroyed(id), 0);
    sysMessage(SystemKind::PlayerDestroyed, rec);
}

void Session::serviceLoop() {
    while (!stop_) {
        pollfd fds[3];
        int n = 0;
        {
            std::lock_guard lock(m_);
            fds[n++] = {host_->socket, POLLIN, 0};
            fds[n++] = {wakePipe_[0], POLLIN, 0};
            if (discoverySocket_ >= 0) fds[n++] = {discoverySocket_, POLLIN, 0};
        }
        // ENet needs servicing every few milliseconds for its resends and
        // pings; new work wakes the thread at once through the pipe.
        ::poll(fds, nfds_t(n), 5);
        char buf[64];
        while (::read(wakePipe_[0], buf, sizeof buf) > 0) {
        }
        std::lock_guard lock(m_);
        if (stop_) break;
        ENetEvent ev;
        for (int i = 0; i < 256 && enet_host_service(host_, &ev, 0) > 0; ++i) handleEvent(&ev);
        std::vector<Outgoing> out;
        out.swap(outgoing_);
        for (auto& o : out) {
            _ENetPeer* peer = nullptr;
            if (o.playerId == 0) {
                peer = state_ == State::Joined ? hostPeer_ : nullptr;
            } else if (Player* p = findPlayer(o.playerId)) {
                peer = p->peer;
            }
            sendToPeer(peer, o.bytes, o.reliable);
        }
        serviceDiscovery();
        checkTimers();
        for (auto& p : players_)
            if (p.peer) {
                p.rttMs = p.peer->roundTripTime;
                p.window = p.peer->windowSize;
            }
        if (hostPeer_) {
            hostRtt_ = hostPeer_->roundTripTime;
            hostWindow_ = hostPeer_->windowSize;
        }
        enet_host_flush(host_);
    }
    std::lock_guard lock(m_);
    if (graceful_ && host_) {
        for (size_t i = 0; i < host_->peerCount; ++i) {
            ENetPeer* peer = &host_->peers[i];
            if (peer->state == ENET_PEER_STATE_CONNECTED) enet_peer_disconnect_now(peer, 0);
        }
        enet_host_flush(host_);
    }
}

void Session::handleEvent(void* evp) {
    auto& ev = *static_cast<ENetEvent*>(evp);
    if (ev.type == ENET_EVENT_TYPE_DISCONNECT)
        lastHeard_.erase(ev.peer);
    else if (ev.peer)
        lastHeard_[ev.peer] = nowMs();
    switch (ev.type) {
        case ENET_EVENT_TYPE_CONNECT:
            setPeerTimeouts(ev.peer);
            if (ev.peer == hostPeer_) {
                if (state_ == State::Joining)
                    sendToPeer(hostPeer_, encodeJoin(gameApplicationGuid(), port_, localName_, localData_), true);
                else if (state_ == State::Rejoining)
                    sendToPeer(hostPeer_, encodeRejoin(desc_.application, desc_.instance, localId_, port_), true);
            } else {
                pendingPeers_.push_back({ev.peer, nowMs()});
            }
            break;
        case ENET_EVENT_TYPE_RECEIVE: {
            Frame f;
            std::string error;
            bool reliable = ev.channelID == kReliableChannel;
            if (decodeFrame({ev.packet->data, ev.packet->dataLength}, f, error))
                handleFrame(ev.peer, f, reliable);
            else
                ++dropped_;
            enet_packet_destroy(ev.packet);
            break;
        }
        case ENET_EVENT_TYPE_DISCONNECT:
            peerGone(ev.peer);
            break;
        default:
            break;
    }
}

void Session::handleFrame(_ENetPeer* peer, const Frame& f, bool reliable) {
    if (state_ == State::Hosting)
        handleHostFrame(peer, f, reliable);
    else
        handleClientFrame(peer, f, reliable);
}

void Session::handleHostFrame(_ENetPeer* peer, const Frame& f, bool reliable) {
    Player* sender = playerOfPeer(peer);
    if (!sender) {
        auto pending = std::find_if(pendingPeers_.begin(), pendingPeers_.end(),
                                    [&](auto& e) { return e.first == peer; });
        if (pending == pendingPeers_.end()) {
            ++dropped_;
            return;
        }
        if (f.type == FrameType::Rejoin) {
            pendingPeers_.erase(pending);
            acceptRejoin(peer, f);
            return;
        }
        if (f.type != FrameType::Join) {
            ++dropped_;
            return;
        }
        pendingPeers_.erase(pending);
        RefuseReason why{};
        bool refuse = true;
        if (f.application != desc_.application)
            why = RefuseReason::WrongApplication;
        else if (desc_.flags & kSessionJoinDisabled)
            why = RefuseReason::JoinDisabled;
        else if (countPlayers() >= desc_.maxPlayers)
            why = RefuseReason::Full;
        else
            refuse = false;
        if (refuse) {
            sendToPeer(peer, encodeJoinRefused(why), true);
            enet_peer_disconnect_later(peer, 0);
            return;
        }
        Player p;
        p.peer = peer;
        p.rec.id = nextId_++;
        p.rec.name = f.name;
        p.rec.data = f.data;
        p.rec.address = peer->address.host;
        p.rec.port = f.port;
        players_.push_back(p);
        desc_.currentPlayers = countPlayers();
        sendToPeer(peer, encodeJoinAccept(p.rec.id, desc_, nextId_, records()), true);
        broadcastFrame(encodePlayerCreated(p.rec, nextId_), p.rec.id);
        sysMessage(SystemKind::PlayerCreated, p.rec);
        return;
    }
    switch (f.type) {
        case FrameType::App:
            // The sender is the player of the peer it came from, whatever
            // the frame claims.
            route(sender->rec.id, f.to, f.payload, reliable);
            break;
        case FrameType::PlayerData:
            if (f.playerId != sender->rec.id) {
                ++dropped_;
                break;
            }
            sender->rec.data = f.data;
            broadcastFrame(encodePlayerData(sender->rec.id, f.data), sender->rec.id);
            sysMessage(SystemKind::PlayerDataChanged, sender->rec);
            break;
        default:
            ++dropped_;
            break;
    }
}

void Session::acceptRejoin(_ENetPeer* peer, const Frame& f) {
    if (state_ != State::Hosting) {
        // We may not have noticed yet that the host is gone; keep the request.
        heldRejoins_.push_back({peer, f});
        return;
    }
    Player* p = findPlayer(f.playerId);
    if (f.application != desc_.application || f.instance != desc_.instance || !p ||
        !p->awaitingRejoin) {
        sendToPeer(peer, encodeJoinRefused(RefuseReason::UnknownPlayer), true);
        enet_peer_disconnect_later(peer, 0);
        return;
    }
    p->peer = peer;
    p->awaitingRejoin = false;
    p->rec.address = peer->address.host;
    p->rec.port = f.port;
    sendToPeer(peer, encodeJoinAccept(p->rec.id, desc_, nextId_, records()), true);
    announceHostWhenSettled();
}

void Session::handleClientFrame(_ENetPeer* peer, const Frame& f, bool reliable) {
    (void)reliable;
    if (peer != hostPeer_) {
        bool pending = std::any_of(pendingPeers_.begin(), pendingPeers_.end(),
                                   [&](auto& e) { return e.first == peer; });
        if (pending && f.type == FrameType::Rejoin) {
            std::erase_if(pendingPeers_, [&](auto& e) { return e.first == peer; });
            acceptRejoin(peer, f);
        } else {
            ++dropped_;
        }
        return;
    }
    switch (f.type) {
        case FrameType::JoinAccept: {
            if (state_ != State::Joining && state_ != State::Rejoining) {
                ++dropped_;
                return;
            }
            if (state_ == State::Rejoining && f.playerId != localId_) {
                ++dropped_;
                return;
            }
            bool rejoin = state_ == State::Rejoining;
            std::vector<Player> old;
            old.swap(players_);
            for (const auto& rec : f.players) {
                if (findPlayer(rec.id)) continue;  // a repeated id is ignored
                Player p;
                p.rec = rec;
                p.local = rec.id == f.playerId;
                players_.push_back(p);
            }
            if (rejoin) {
                // Tell the game what changed while we were away.
                for (const auto& o : old)
                    if (!findPlayer(o.rec.id)) sysMessage(SystemKind::PlayerDestroyed, o.rec);
                for (const auto& p : players_) {
                    auto it = std::find_if(old.begin(), old.end(), [&](auto& o) { return o.rec.id == p.rec.id; });
                    if (it == old.end())
                        sysMessage(SystemKind::PlayerCreated, p.rec);
                    else if (it->rec.data != p.rec.data)
                        sysMessage(SystemKind::PlayerDataChanged, p.rec);
                }
            }
            localId_ = f.playerId;
            desc_ = f.desc;
            nextId_ = std::max(nextId_, f.nextId);
            state_ = State::Joined;
            stateCv_.notify_all();
            break;
        }
        case FrameType::JoinRefused:
            if (state_ == State::Joining) {
                joinResult_ = f.reason == RefuseReason::JoinDisabled ? JoinResult::JoinDisabled
                              : f.reason == RefuseReason::Full       ? JoinResult::Full
                                                                     : JoinResult::Refused;
                state_ = State::Refused;
                stateCv_.notify_all();
            } else if (state_ == State::Rejoining) {
                rejoinDeadline_ = 0;  // try the next candidate at once
            }
            break;
        case FrameType::PlayerCreated: {
            if (state_ != State::Joined) break;
            const PlayerRecord& rec = f.players[0];
            nextId_ = std::max(nextId_, f.nextId);
            if (findPlayer(rec.id)) break;
            Player p;
            p.rec = rec;
            players_.push_back(p);
            desc_.currentPlayers = countPlayers();
            sysMessage(SystemKind::PlayerCreated, rec);
            break;
        }
        case FrameType::PlayerDestroyed:
            if (state_ == State::Joined && f.playerId != localId_) destroyPlayer(f.playerId, false);
            break;
        case FrameType::PlayerData:
            if (Player* p = findPlayer(f.playerId); p && !p->local) {
                p->rec.data = f.data;
                sysMessage(SystemKind::PlayerDataChanged, p->rec);
            }
            break;
        case FrameType::SessionDescChanged:
            desc_ = f.desc;
            break;
        case FrameType::App:
            if (state_ != State::Joined) break;
            if (f.to == localId_ || (f.to == kAllPlayers && f.from != localId_))
                deliver(false, gameMessage(f.from, f.to, f.payload));
            else
                ++dropped_;
            break;
        default:
            ++dropped_;
            break;
    }
}

void Session::peerGone(_ENetPeer* peer) {
    lastHeard_.erase(peer);
    std::erase_if(pendingPeers_, [&](auto& e) { return e.first == peer; });
    std::erase_if(heldRejoins_, [&](auto& e) { return e.first == peer; });
    if (peer == hostPeer_) {
        hostPeer_ = nullptr;
        if (state_ == State::Joining) {
            state_ = State::Failed;
            stateCv_.notify_all();
        } else if (state_ == State::Joined) {
            hostLost();
        } else if (state_ == State::Rejoining) {
            rejoinDeadline_ = 0;  // the candidate is gone too
        }
        return;
    }
    if (Player* p = playerOfPeer(peer)) {
        if (state_ == State::Hosting) destroyPlayer(p->rec.id, true);
    }
}

void Session::hostLost() {
    // The host's machine took its two players with it.
    if (findPlayer(kServerPlayer)) destroyPlayer(kServerPlayer, false);
    std::vector<uint32_t> gone;
    for (const auto& p : players_)
        if ((p.rec.flags & kPlayerHost) && p.rec.id != localId_) gone.push_back(p.rec.id);
    for (uint32_t id : gone) destroyPlayer(id, false);
    if (!(desc_.flags & kSessionMigrateHost)) {
        state_ = State::Failed;
        return;
    }
    tryNextHost();
}

// Every machine holds the same player list in join order, so every machine
// picks the same new host: the earliest-joined player still present.
void Session::tryNextHost() {
    const Player* candidate = nullptr;
    for (const auto& p : players_)
        if (p.rec.id != kServerPlayer) {
            candidate = &p;
            break;
        }
    if (!candidate) {
        state_ = State::Failed;
        return;
    }
    if (candidate->rec.id == localId_) {
        becomeHost();
        return;
    }
    ENetAddress addr{};
    addr.host = candidate->rec.address;
    addr.port = candidate->rec.port;
    rejoinCandidate_ = candidate->rec.id;
    rejoinDeadline_ = nowMs() + settings_.rejoinWindowMs;
    state_ = State::Rejoining;
    hostPeer_ = enet_host_connect(host_, &addr, 2, 0);
    if (hostPeer_) setPeerTimeouts(hostPeer_);
    else rejoinDeadline_ = 0;
}

void Session::becomeHost() {
    state_ = State::Hosting;
    hostPeer_ = nullptr;
    uint64_t deadline = nowMs() + settings_.rejoinWindowMs;
    for (auto& p : players_) {
        if (p.rec.id == localId_) {
            p.rec.flags |= kPlayerHost;
            p.rec.port = port_;
            p.local = true;
        } else {
            p.awaitingRejoin = true;
            p.rejoinDeadline = deadline;
            p.peer = nullptr;
        }
    }
    nextId_ = std::max(nextId_, localId_ + 1);
    for (const auto& p : players_) nextId_ = std::max(nextId_, p.rec.id + 1);
    desc_.currentPlayers = countPlayers();
    openDiscovery();
    // "You are now host" waits until every other player has reconnected or
    // been given up, so what the game announces then reaches all of them.
    becameHostPending_ = true;
    auto held = std::move(heldRejoins_);
    heldRejoins_.clear();
    for (auto& [peer, f] : held) acceptRejoin(peer, f);
    announceHostWhenSettled();
}

void Session::announceHostWhenSettled() {
    if (!becameHostPending_) return;
    if (std::any_of(players_.begin(), players_.end(), [](const Player& p) { return p.awaitingRejoin; })) return;
    becameHostPending_ = false;
    Received r;
    r.kind = SystemKind::BecameHost;
    r.playerId = localId_;
    deliver(false, std::move(r));
}

void Session::checkTimers() {
    uint64_t now = nowMs();
    // Keep-alive: ENet's own timeout grows with its resend back-off and may
    // take seconds longer than asked, so a connected peer that has sent
    // nothing (not even a ping's acknowledgement) for the whole timeout is
    // taken as gone here.
    for (size_t i = 0; i < host_->peerCount; ++i) {
        ENetPeer* peer = &host_->peers[i];
        if (peer->state != ENET_PEER_STATE_CONNECTED) continue;
        // ENet notes only acknowledgements (pings included); our own note
        // covers the connection itself and every frame.
        int32_t silentFor = int32_t(host_->serviceTime - peer->lastReceiveTime);
        auto heard = lastHeard_.find(peer);
        bool heardLately = heard != lastHeard_.end() && now - heard->second <= settings_.peerTimeoutMs;
        if (silentFor > int32_t(settings_.peerTimeoutMs) && !heardLately) {
            enet_peer_reset(peer);
            peerGone(peer);
        }
    }
    // Peers that connect and never join are cut off.
    for (auto it = pendingPeers_.begin(); it != pendingPeers_.end();) {
        if (now - it->second > settings_.joinTimeoutMs) {
            enet_peer_disconnect_now(it->first, 0);
            it = pendingPeers_.erase(it);
        } else {
            ++it;
        }
    }
    if (state_ == State::Hosting) {
        std::vector<uint32_t> late;
        for (const auto& p : players_)
            if (p.awaitingRejoin && now >= p.rejoinDeadline) late.push_back(p.rec.id);
        for (uint32_t id : late) destroyPlayer(id, true);
        announceHostWhenSettled();
    } else if (state_ == State::Rejoining && now >= rejoinDeadline_) {
        // The chosen machine did not take over: count it as gone, try the next.
        if (hostPeer_) enet_peer_reset(hostPeer_);
        hostPeer_ = nullptr;
        destroyPlayer(rejoinCandidate_, false);
        tryNextHost();
    } else if (state_ != State::Hosting) {
        for (auto it = heldRejoins_.begin(); it != heldRejoins_.end();) {
            if (it->first->state != ENET_PEER_STATE_CONNECTED) it = heldRejoins_.erase(it);
            else ++it;
        }
    }
}

void Session::openDiscovery() {
    if (discoverySocket_ >= 0 || settings_.discoveryPort == 0) return;
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) return;
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(s, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(settings_.discoveryPort);
    uint32_t ip = 0;
    if (!parseIPv4(settings_.bindAddress, ip) ||
        (a.sin_addr.s_addr = ip, ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)) {
        ::close(s);
        return;
    }
    discoverySocket_ = s;
}

void Session::serviceDiscovery() {
    if (discoverySocket_ < 0) return;
    for (int i = 0; i < kDiscoveryReadsPerPass; ++i) {
        uint8_t buf[512];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(discoverySocket_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) break;
        Frame f;
        std::string error;
        if (!decodeFrame({buf, size_t(n)}, f, error) || f.type != FrameType::Discover ||
            f.application != gameApplicationGuid() || state_ != State::Hosting) {
            ++dropped_;
            continue;
        }
        auto reply = encodeDiscoveryReply(port_, desc_);
        ::sendto(discoverySocket_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

std::vector<FoundSession> Session::findSessions(const NetSettings& settings, int waitMs) {
    std::vector<FoundSession> found;
    uint32_t target = 0;
    if (!parseIPv4(settings.broadcastAddress, target)) return found;
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return found;
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(settings.discoveryPort);
    to.sin_addr.s_addr = target;
    auto request = encodeDiscover(gameApplicationGuid());
    if (::sendto(s, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        ::close(s);
        return found;
    }
    uint64_t deadline = nowMs() + uint64_t(std::max(waitMs, 0));
    // At most a bounded number of answers is read, whatever arrives.
    for (int reads = 0; reads < 256;) {
        uint64_t now = nowMs();
        if (now >= deadline) break;
        pollfd pfd{s, POLLIN, 0};
        if (::poll(&pfd, 1, int(deadline - now)) <= 0) break;
        uint8_t buf[512];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(s, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        ++reads;
        if (n <= 0) continue;
        Frame f;
        std::string error;
        if (!decodeFrame({buf, size_t(n)}, f, error) || f.type != FrameType::DiscoveryReply ||
            f.desc.application != gameApplicationGuid())
            continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        bool dup = std::any_of(found.begin(), found.end(), [&](const FoundSession& s2) {
            return s2.address == text && s2.port == f.port;
        });
        if (!dup) found.push_back({text, f.port, f.desc});
    }
    ::close(s);
    return found;
}

}  // namespace pavalo::net
