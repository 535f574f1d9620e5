// The network layer: local mode, sends with and without acknowledged
// delivery, the reply waiter, the receive and server threads and the
// handling of system messages, including taking over as host.
#include "net/net_layer.h"

#include <algorithm>
#include <chrono>

#include "common/file_io.h"
#include "common/named_mutex.h"

namespace pavalo::net {

namespace {

constexpr const char* kServerPlayerName = "TavornTesselServerPlayer";

bool headerOnlyAllowed(uint16_t id) {
    static constexpr uint16_t allowed[] = {1, 2, 3, 8, 11, 12, 13, 14, 15, 17, 37, 38};
    return std::find(std::begin(allowed), std::end(allowed), id) != std::end(allowed);
}

uint16_t messageId(const std::vector<uint8_t>& m) { return m.size() >= 4 ? uint16_t(loadU32(m.data())) : 0; }

}  // namespace

NetLayer::NetLayer(NetHooks hooks) : hooks_(std::move(hooks)) {}

NetLayer::~NetLayer() { closeSession(); }

uint32_t NetLayer::now() const {
    if (clock_) return clock_();
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void NetLayer::show(const std::string& text) {
    if (hooks_.showMessage) hooks_.showMessage(text);
}

std::vector<std::string> NetLayer::fillConnections() {
    closeSession();
    connectionChosen_ = false;
    // The plain local network comes first: it is what most players want.
    return {kConnectionLan, kConnectionInternet, kConnectionLanUnguaranteed};
}

bool NetLayer::chooseConnection(const std::string& name) {
    if (name == kConnectionLan)
        kind_ = ConnectionKind::Lan;
    else if (name == kConnectionInternet)
        kind_ = ConnectionKind::Internet;
    else if (name == kConnectionLanUnguaranteed)
        kind_ = ConnectionKind::LanUnguaranteed;
    else {
        show(kMsgCannotInitConnection);
        return false;
    }
    connectionChosen_ = true;
    return true;
}

bool NetLayer::createServerPlayer(uint32_t state) {
    PlayerData pd;
    pd.state = state;
    Event* ev = &serverEvent_;
    return session_->createPlayer(kServerPlayerName, pd.encode(), kPlayerServer, ev) == kServerPlayer;
}

bool NetLayer::openSession(const std::string& sessionName, const std::string& playerName, uint32_t maxPlayers,
                           uint32_t gameType, uint32_t seed, uint32_t optionMask) {
    closeSession();
    session_ = std::make_unique<Session>(kind_, settings_);
    SessionDesc d;
    d.flags = kSessionKeepAlive | kSessionMigrateHost;
    d.maxPlayers = maxPlayers + 1;  // room for the server player
    d.name = sessionName;
    d.user1 = gameType;
    d.user2 = seed;
    d.user3 = optionMask;
    sessionOpen_ = true;
    if (!session_->host(d)) {
        sessionOpen_ = false;
        session_.reset();
        show(kMsgCannotCreateSession);
        return false;
    }
    localName_ = playerName;
    PlayerData data;
    data.state = uint32_t(PlayerState::Connected);
    {
        std::lock_guard lock(tableMutex_);
        localData_ = data;
    }
    startThreads(true);
    uint32_t id = 0;
    if (createServerPlayer(uint32_t(PlayerState::Connected)))
        id = session_->createPlayer(playerName, data.encode(), 0, &receiveEvent_);
    if (id == 0) {
        show(kMsgCannotCreatePlayer);
        closeSession();
        return false;
    }
    localPlayerId_ = id;
    std::lock_guard lock(tableMutex_);
    players_.clear();
    players_.add(id);
    return true;
}

JoinResult NetLayer::joinSession(const std::string& address, uint16_t port, const std::string& playerName) {
    closeSession();
    session_ = std::make_unique<Session>(kind_, settings_);
    localName_ = playerName;
    PlayerData data;
    data.state = uint32_t(PlayerState::Connected);
    {
        std::lock_guard lock(tableMutex_);
        localData_ = data;
    }
    startThreads(false);
    sessionOpen_ = true;
    // Player arrivals and departures wait until the initial list is read.
    playerGate_.reset();
    JoinResult r = session_->join(address, port, playerName, data.encode(), &receiveEvent_);
    if (r != JoinResult::Ok) {
        playerGate_.set();
        closeSession();
        return r;
    }
    localPlayerId_ = session_->localPlayerId();
    {
        std::lock_guard lock(tableMutex_);
        players_.clear();
        players_.add(localPlayerId_);
        for (const auto& p : session_->players())
            if (p.id != kServerPlayer) players_.add(p.id);
    }
    playerGate_.set();
    while (!session_->hasPlayer(kServerPlayer)) {
        if (!session_->isOpen()) {
            closeSession();
            return JoinResult::NoAnswer;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return JoinResult::Ok;
}

void NetLayer::closeSession() {
    stopThreads();
    if (session_) session_->close();
    session_.reset();
    sessionOpen_ = false;
    {
        std::lock_guard d(deliveriesMutex_);
        deliveries_.clear();
    }
    std::lock_guard lock(tableMutex_);
    players_.clear();
}

void NetLayer::vanish() {
    stopThreads();
    if (session_) session_->vanish();
    session_.reset();
    sessionOpen_ = false;
}

void NetLayer::startThreads(bool server) {
    stopThreads_ = false;
    if (!receiveThread_.joinable()) receiveThread_ = std::thread([this] { receiveLoop(); });
    if (server && !serverThread_.joinable()) serverThread_ = std::thread([this] { serverLoop(); });
}

void NetLayer::stopThreads() {
    stopThreads_ = true;
    playerGate_.set();
    receiveEvent_.set();
    serverEvent_.set();
    // The receive thread may start the server thread while taking over as
    // host, so it is joined first.
    if (receiveThread_.joinable()) receiveThread_.join();
    if (serverThread_.joinable()) serverThread_.join();
    receiveEvent_.reset();
    serverEvent_.reset();
}

PlayerTable NetLayer::playerTable() const {
    std::lock_guard lock(tableMutex_);
    return players_;
}

PlayerData NetLayer::localPlayerData() const {
    std::lock_guard lock(tableMutex_);
    return localData_;
}

bool NetLayer::setLocalPlayerData(const PlayerData& data) {
    {
        std::lock_guard lock(tableMutex_);
        localData_ = data;
    }
    if (!session_ || !sessionOpen_) return true;
    NamedLock dp(NamedMutex::DP);
    return session_->setPlayerData(localPlayerId_, data.encode());
}

void NetLayer::setDeliverySeq(uint32_t seq) {
    NamedLock lock(NamedMutex::OUTMSG);
    deliverySeq_ = seq;
}

uint32_t NetLayer::deliverySeq() const {
    NamedLock lock(NamedMutex::OUTMSG);
    return deliverySeq_;
}

// ---- sending -------------------------------------------------------------

int NetLayer::send(uint32_t from, uint32_t to, uint32_t flags, std::span<const uint8_t> data) {
    if (data.size() < kMinMessageSize || data.size() > kMaxMessageSize) return 0;
    if (!sessionOpen_ || !session_) {
        std::vector<uint8_t> copy(data.begin(), data.end());
        if (to == localPlayerId_ || to == kAllPlayers) completeWaiter(messageId(copy), from, 0, copy);
        putIncoming(from, to, std::move(copy));
        if (hooks_.postNetMessage) hooks_.postNetMessage();
        return 1;
    }
    if (flags & 1) {
        if (!session_->caps(to).guaranteed) {
            enqueueAcknowledged(from, to, data);
            return 1;
        }
    }
    return sendRaw(from, to, flags & 1, data);
}

int NetLayer::sendRaw(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> data) {
    Session* s = session_.get();
    if (!s) return 0;
    for (;;) {
        SendResult r;
        {
            NamedLock dp(NamedMutex::DP);
            r = s->send(from, to, guaranteed, data);
        }
        if (r != SendResult::Busy) return r == SendResult::Ok ? 1 : 0;
        // Busy lasts while the outgoing queue drains or while a new host
        // takes over; a session that ended will not drain any more.
        if (!s->isOpen() || stopThreads_) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void NetLayer::enqueueAcknowledged(uint32_t from, uint32_t to, std::span<const uint8_t> data) {
    NamedLock lock(NamedMutex::OUTMSG);
    auto it = std::find_if(outQueue_.begin(), outQueue_.end(), [](const QueueEntry& e) { return !(e.flags & 1); });
    if (it == outQueue_.end()) return;  // full: dropped
    QueueEntry& e = *it;
    e = QueueEntry{};
    e.flags = 1;
    e.size = uint32_t(data.size());
    e.from = from;
    e.to = to;
    e.data.assign(data.begin(), data.end());
    // Token 0 would mean "no acknowledgement wanted", so the counter skips
    // every value whose low 16 bits are 0.
    if ((deliverySeq_ & 0xFFFF) == 0) ++deliverySeq_;
    e.token = deliverySeq_ << 16;
    ++deliverySeq_;
    storeU32(e.data.data(), (loadU32(e.data.data()) & 0xFFFF) | e.token);
    e.sentAt = now();
    // The sender never receives its own broadcast, so its slot counts as
    // having acknowledged. A message to one player is different: slot 0
    // there stands for the server player, which still has to answer.
    if (to == kAllPlayers) {
        std::lock_guard t(tableMutex_);
        int s = players_.slotOf(localPlayerId_, false);
        if (s >= 0) e.acked[s] = 1;
    }
    sendRaw(from, to, false, e.data);
}

int NetLayer::sendHeaderOnly(uint32_t from, uint32_t to, uint16_t id) {
    if (!headerOnlyAllowed(id)) return 0;
    uint8_t header[4];
    storeU32(header, id);
    return send(from, to, 1, header);
}

int NetLayer::sendAndWait(uint32_t to, uint32_t flags, std::span<const uint8_t> data, uint16_t awaitedId,
                          bool retry, uint32_t limitMs, ReplyFilter accept) {
    {
        std::lock_guard lock(waiterMutex_);
        if (waitEvent_) return 0;
        armWaiter(awaitedId);
        accept_ = std::move(accept);
    }
    return waitArmed(to, flags, data, retry, limitMs);
}

int NetLayer::sendHeaderAndWait(uint32_t to, uint16_t id, uint16_t awaitedId, bool retry) {
    if (!headerOnlyAllowed(id)) return 0;
    {
        std::lock_guard lock(waiterMutex_);
        if (waitEvent_) return 0;
        armWaiter(awaitedId);
    }
    uint8_t header[4];
    storeU32(header, id);
    return waitArmed(to, 1, header, retry);
}

int NetLayer::waitArmed(uint32_t to, uint32_t flags, std::span<const uint8_t> data, bool retry, uint32_t limitMs) {
    const bool guaranteed = flags & 1;
    const bool once = guaranteed && (flags & kSendOnce);
    std::shared_ptr<Event> ev;
    {
        std::lock_guard lock(waiterMutex_);
        ev = waitEvent_;
    }
    auto disarm = [this] {
        std::lock_guard lock(waiterMutex_);
        waitEvent_.reset();
        accept_ = {};
    };
    bool wasOpen = sessionOpen_;
    if (!send(localPlayerId_, to, guaranteed ? 1 : 0, data)) {
        disarm();
        return 0;
    }
    bool local = !sessionOpen_;
    if (local && hooks_.sendNetMessage) hooks_.sendNetMessage();
    if (retry) {
        const uint32_t start = now();
        uint32_t last = start;
        while (!ev->wait(50)) {
            if (limitMs != 0 && now() - start > limitMs) {
                disarm();
                return 0;
            }
            if (local && hooks_.sendNetMessage) hooks_.sendNetMessage();
            // No overall limit while the session lives; once it has ended no
            // answer can come, so the wait gives up instead of hanging.
            if (wasOpen && (!sessionOpen_ || !session_ || !session_->isOpen())) {
                disarm();
                return 0;
            }
            // The waiting thread is the one that otherwise runs the resend
            // passes: a request sent once gets through a lossy link this way.
            if (once) resendPass();
            if (!once && now() - last > 500) {
                if (!send(localPlayerId_, to, guaranteed ? 1 : 0, data)) {
                    disarm();
                    return 0;
                }
                last = now();
            }
        }
    } else if (!ev->wait(5000)) {
        disarm();
        return 0;
    }
    disarm();
    return 1;
}

int NetLayer::waitFor(uint16_t id, int timeoutMs) {
    if (!session_ || !sessionOpen_) return 0;
    std::shared_ptr<Event> ev;
    {
        std::lock_guard lock(waiterMutex_);
        if (waitEvent_) return 0;
        awaitedId_ = id;
        accept_ = {};
        waitEvent_ = ev = std::make_shared<Event>(true, false);
    }
    bool got = ev->wait(timeoutMs);
    std::lock_guard lock(waiterMutex_);
    waitEvent_.reset();
    return got ? 1 : 0;
}

std::vector<uint8_t> NetLayer::reply() const {
    std::lock_guard lock(waiterMutex_);
    return reply_;
}

// Called with waiterMutex_ held.
void NetLayer::armWaiter(uint16_t awaitedId) {
    awaitedId_ = awaitedId;
    accept_ = {};
    waitFloor_.clear();
    {
        std::lock_guard d(deliveriesMutex_);
        for (const auto& [from, seen] : deliveries_) waitFloor_[from] = seen.newest;
    }
    waitEvent_ = std::make_shared<Event>(true, false);
}

void NetLayer::completeWaiter(uint16_t id, uint32_t from, uint16_t token, const std::vector<uint8_t>& data) {
    std::lock_guard lock(waiterMutex_);
    if (waitEvent_ && awaitedId_ == id && token != 0) {
        auto floor = waitFloor_.find(from);
        if (floor != waitFloor_.end() && int16_t(uint16_t(token - floor->second)) <= 0) return;
    }
    if (waitEvent_ && awaitedId_ == id && (!accept_ || accept_(data))) {
        reply_ = data;
        waitEvent_->set();
    }
}

void NetLayer::resendPass() {
    uint32_t t = now();
    if (t - lastResendPass_ <= 49) return;
    lastResendPass_ = t;
    if (!session_ || !sessionOpen_) return;
    PlayerTable table = playerTable();
    NamedLock lock(NamedMutex::OUTMSG);
    for (QueueEntry& e : outQueue_) {
        if (!(e.flags & 1)) continue;
        if (e.to == kAllPlayers) {
            bool all = true;
            for (int s = 0; s < kPlayerSlots; ++s)
                if ((table.inUse[s] & 1) && !e.acked[s]) all = false;
            if (all) {
                e = QueueEntry{};
                continue;
            }
            if (t - e.sentAt > 1000) {
                e.sentAt = t;
                for (int s = 0; s < kPlayerSlots; ++s)
                    if ((table.inUse[s] & 1) && !e.acked[s]) sendRaw(e.from, table.dpid[s], false, e.data);
            }
        } else {
            int slot = e.to == kServerPlayer ? 0 : table.slotOf(e.to, false);
            if (slot >= 0 && e.acked[slot]) {
                e = QueueEntry{};
                continue;
            }
            if (slot >= 0 && t - e.sentAt > 1000) {
                e.sentAt = t;
                sendRaw(e.from, e.to, false, e.data);
            }
        }
    }
}

int NetLayer::outgoingCount() const {
    NamedLock lock(NamedMutex::OUTMSG);
    return int(std::count_if(outQueue_.begin(), outQueue_.end(), [](const QueueEntry& e) { return e.flags & 1; }));
}

// ---- incoming queue ------------------------------------------------------

namespace {
// Movement messages travel without guarantee and each one supersedes the
// one before: a full queue may give them up.
constexpr uint16_t kMsgMovePiece = 18, kMsgMoveSelected = 19;
bool movement(const std::vector<uint8_t>& m) {
    const uint16_t id = m.size() >= 2 ? uint16_t(m[0] | m[1] << 8) : 0;
    return id == kMsgMovePiece || id == kMsgMoveSelected;
}
}  // namespace

void NetLayer::putIncoming(uint32_t from, uint32_t to, std::vector<uint8_t> data, bool repeat) {
    NamedLock lock(NamedMutex::INMSG);
    int slot = -1;
    for (int i = 0; i < kIncomingEntries && slot < 0; ++i)
        if (!(inQueue_[i].flags & 1) && !inDispatch_[i]) slot = i;
    // Full (a dispatcher waiting for a reply takes nothing meanwhile): the
    // oldest waiting movement message makes room for anything but another
    // movement message, so results and requests are never lost to moves.
    if (slot < 0 && !movement(data)) {
        for (int i = 0; i < kIncomingEntries; ++i)
            if (!inDispatch_[i] && movement(inQueue_[i].data) &&
                (slot < 0 || inQueue_[i].arrival < inQueue_[slot].arrival))
                slot = i;
    }
    if (slot < 0) {
        ++droppedIncoming_;
        return;
    }
    {
        QueueEntry& e = inQueue_[slot];
        e = QueueEntry{};
        e.flags = repeat ? 3 : 1;
        e.size = uint32_t(data.size());
        e.from = from;
        e.to = to;
        e.data = std::move(data);
        e.arrival = ++arrivals_;
    }
}

bool NetLayer::takeIncoming(bool serverMode, QueueEntry& copy, int& index) {
    NamedLock lock(NamedMutex::INMSG);
    int oldest = -1;
    for (int i = 0; i < kIncomingEntries; ++i) {
        const QueueEntry& e = inQueue_[i];
        if (!(e.flags & 1) || inDispatch_[i]) continue;
        if (serverMode && e.to != kServerPlayer) continue;
        if (oldest < 0 || e.arrival < inQueue_[oldest].arrival) oldest = i;
    }
    if (oldest < 0) return false;
    inDispatch_[oldest] = 1;
    copy = inQueue_[oldest];
    index = oldest;
    return true;
}

void NetLayer::finishIncoming(int index) {
    if (index < 0 || index >= kIncomingEntries) return;
    NamedLock lock(NamedMutex::INMSG);
    inQueue_[index] = QueueEntry{};
    inDispatch_[index] = 0;
}

int NetLayer::incomingCount() const {
    NamedLock lock(NamedMutex::INMSG);
    return int(std::count_if(inQueue_.begin(), inQueue_.end(), [](const QueueEntry& e) { return e.flags & 1; }));
}

// ---- receiving -----------------------------------------------------------

void NetLayer::handleGameMessage(uint32_t from, uint32_t to, std::vector<uint8_t> data, bool serverThread) {
    if (data.size() < kMinMessageSize || data.size() > kMaxMessageSize) return;
    uint32_t header = loadU32(data.data());
    uint16_t id = uint16_t(header);
    uint32_t token = header & 0xFFFF0000u;
    storeU32(data.data(), id);
    if (token != 0) {
        if (id == kMsgGuaranteedAck) {
            recordAck(from, token);
        } else {
            uint8_t ack[4];
            storeU32(ack, token | kMsgGuaranteedAck);
            uint32_t me = to != kAllPlayers ? to : localPlayerId_.load();
            sendRaw(me, from, false, ack);
            ++acksSent_;
            // Acknowledged and queued every time, but marked as a repeat:
            // the dispatcher leaves it alone (a doubled turn would turn
            // twice) and it never answers a wait (it may be a late copy of
            // an earlier answer).
            if (!firstDelivery(from, uint16_t(token >> 16))) {
                putIncoming(from, to, std::move(data), true);
                if (!serverThread && hooks_.postNetMessage) hooks_.postNetMessage();
                return;
            }
        }
    }
    putIncoming(from, to, data);
    completeWaiter(id, from, uint16_t(token >> 16), data);
    if (!serverThread && hooks_.postNetMessage) hooks_.postNetMessage();
}

bool NetLayer::firstDelivery(uint32_t from, uint16_t token) {
    std::lock_guard lock(deliveriesMutex_);
    Deliveries& d = deliveries_[from];
    if (d.seen[token]) return false;
    d.seen[token] = true;
    d.order.push_back(token);
    if (d.order.size() > kRememberedTokens) {
        d.seen[d.order.front()] = false;
        d.order.pop_front();
    }
    if (d.order.size() == 1 || int16_t(uint16_t(token - d.newest)) > 0) d.newest = token;
    return true;
}

// A sender that left (or a host that handed over) starts a new run of
// tokens that must not be taken for copies of the old one's.
void NetLayer::forgetDeliveries(uint32_t from) {
    std::lock_guard lock(deliveriesMutex_);
    deliveries_.erase(from);
}

void NetLayer::recordAck(uint32_t from, uint32_t token) {
    int slot;
    if (from == kServerPlayer) {
        slot = 0;
    } else {
        std::lock_guard t(tableMutex_);
        slot = players_.slotOf(from, false);
    }
    if (slot < 0) return;
    NamedLock lock(NamedMutex::OUTMSG);
    for (QueueEntry& e : outQueue_)
        if ((e.flags & 1) && e.token == token) e.acked[slot] = 1;
}

void NetLayer::playerLeft(uint32_t id) {
    forgetDeliveries(id);
    forgetDeliveries(kServerPlayer);
    int slot;
    {
        std::lock_guard t(tableMutex_);
        slot = players_.slotOf(id, false);
    }
    if (slot < 0) return;
    {
        NamedLock lock(NamedMutex::OUTMSG);
        for (QueueEntry& e : outQueue_)
            if (e.flags & 1) e.acked[slot] = 1;
    }
    if (session_ && session_->isHost() && hooks_.returnSortingBoxPieces) hooks_.returnSortingBoxPieces(slot);
    PlayerTable table = playerTable();
    int released = holders_.releaseAll(model_.load(), slot, table);
    if (released > 0 && hooks_.redrawPlayArea) hooks_.redrawPlayArea();
    {
        std::lock_guard t(tableMutex_);
        players_.inUse[slot] = 0;
    }
    if (hooks_.playerListChanged) hooks_.playerListChanged();
}

void NetLayer::handleSystem(const Received& r) {
    if (hooks_.systemMessage) hooks_.systemMessage(r);
    switch (r.kind) {
        case SystemKind::PlayerCreated:
            playerGate_.wait();
            if (r.playerFlags & kPlayerServer) return;
            {
                std::lock_guard t(tableMutex_);
                players_.add(r.playerId);
            }
            if (hooks_.playerListChanged) hooks_.playerListChanged();
            break;
        case SystemKind::PlayerDestroyed:
            playerGate_.wait();
            // The server player leaves only with its host, and a new one takes
            // its place: what waits for its acknowledgement is kept for it.
            if (r.playerId == kServerPlayer) return;
            playerLeft(r.playerId);
            break;
        case SystemKind::PlayerDataChanged:
            if (hooks_.playerListChanged) hooks_.playerListChanged();
            break;
        case SystemKind::BecameHost:
            runBecomeHost();
            break;
        case SystemKind::None:
            break;
    }
}

void NetLayer::runBecomeHost() {
    if (!session_) return;
    if (!serverThread_.joinable()) serverThread_ = std::thread([this] { serverLoop(); });
    createServerPlayer(localPlayerData().state);
    if (HolderModel* model = model_.load()) {
        holders_.rebuild(*model, playerTable(), true);
        if (hooks_.returnSortingBoxPieces) hooks_.returnSortingBoxPieces(kNoSlot);
    }
    if (hooks_.becameHost) hooks_.becameHost();
    SessionDesc d = session_->desc();
    d.name = localName_;
    session_->setDesc(d);
    sendHeaderOnly(kServerPlayer, kAllPlayers, kMsgNewHost);
}

void NetLayer::receiveLoop() {
    while (!stopThreads_) {
        receiveEvent_.wait();
        receiveEvent_.reset();
        if (stopThreads_) break;
        Session* s = session_.get();
        if (!s) continue;
        for (;;) {
            Received r;
            bool got;
            {
                NamedLock dp(NamedMutex::DP);
                got = s->receive(false, r);
            }
            if (!got || stopThreads_) break;
            if (r.from == kAllPlayers && r.kind != SystemKind::None)
                handleSystem(r);
            else if (r.from != kAllPlayers)
                handleGameMessage(r.from, r.to, std::move(r.data), false);
        }
    }
}

void NetLayer::serverLoop() {
    // The lobby is looked at whenever the wait times out, and at least every
    // 500 ms while messages keep it from timing out: during busy play the
    // lobby's status queries would otherwise go unanswered.
    auto lastLobbyLook = std::chrono::steady_clock::now();
    auto lookAtLobby = [&] {
        lastLobbyLook = std::chrono::steady_clock::now();
        LobbyLink* lobby = lobby_.load();
        if (!lobby) return;
        std::vector<uint8_t> m;
        bool system = false;
        for (int i = 0; i < 64 && lobby->receive(m, system); ++i)
            if (!system && m.size() >= 4 && loadU32(m.data()) == kLobbyStatusQuery) lobby->send(lobbyStatusReply());
    };
    while (!stopThreads_) {
        if (!serverEvent_.wait(500)) {
            lookAtLobby();
            continue;
        }
        if (std::chrono::steady_clock::now() - lastLobbyLook >= std::chrono::milliseconds(500)) lookAtLobby();
        serverEvent_.reset();
        if (stopThreads_) break;
        Session* s = session_.get();
        if (!s) continue;
        for (;;) {
            Received r;
            bool got;
            {
                NamedLock dp(NamedMutex::DP);
                got = s->receive(true, r);
            }
            if (!got || stopThreads_) break;
            if (r.from != kAllPlayers) handleGameMessage(r.from, r.to, std::move(r.data), true);
        }
        if (hooks_.dispatch) hooks_.dispatch(true);
    }
}

std::vector<uint8_t> NetLayer::lobbyStatusReply() {
    std::array<uint32_t, 3> st{};
    if (hooks_.lobbyStatus) st = hooks_.lobbyStatus();
    const LobbyStatus status = lobbyStatusOf(st[0], st[1], st[2], playerTable(), [this](uint32_t dpid) {
        PlayerDataBytes b{};
        if (session_) session_->playerData(dpid, b);
        return b;
    });
    return encodeLobbyMessage(net::lobbyStatusReply(status));
}

}  // namespace pavalo::net
