// The synchronisation of a latecomer: host senders and the record rules.
#include "net/sync_transfer.h"

#include <algorithm>
#include <chrono>

#include "common/named_mutex.h"
#include "net/picture_transfer.h"
#include "platform/platform.h"

namespace pavalo::net {

namespace {

using Clock = std::chrono::steady_clock;

ListId listOfCode(uint32_t code) {
    return code == 0 ? ListId::Main : code == 1 ? ListId::Finished : ListId::Extra;
}

}  // namespace

int applySyncRecords(PuzzleModel& model, HolderTable& holders, HolderModel* holderModel, const PlayerTable& players,
                     std::span<const HolderRecord> records) {
    NamedLock lock(NamedMutex::PIECE);
    int skipped = 0;
    const int32_t n = model.pieceCount();
    for (const HolderRecord& r : records) {
        const uint32_t number = r.placement & 0xFFFF;
        const uint32_t code = (r.placement >> 21) & 3;
        const uint32_t rotation = (r.placement >> 23) & 3;
        if (r.pieceId >= uint32_t(n) || number >= uint32_t(n) || code > 2) {
            ++skipped;
            continue;
        }
        const int32_t piece = int32_t(r.pieceId);
        const int32_t node = model.member(piece).group;
        if (node == kNone) {
            ++skipped;
            continue;
        }
        if (uint32_t(model.groupNode(node).groupNumber) != number) {
            // The group the host has the piece in: wherever it lies here,
            // the piece's group moves into its list and joins it.
            for (ListId list : {ListId::Main, ListId::Finished, ListId::Extra}) {
                const int32_t keep = model.findGroupByNumber(list, int32_t(number));
                if (keep == kNone) continue;
                const ListId from = model.listOfPiece(piece);
                if (from != list) model.movePieceToList(list, from, piece);
                model.mergeGroupNodes(list, keep, model.member(piece).group);
                break;
            }
        }
        const ListId destination = listOfCode(code);
        const ListId from = model.listOfPiece(piece);
        if (from != destination) model.movePieceToList(destination, from, piece);
        model.setGroupRotation(destination, piece, int32_t(rotation));
        model.moveGroup(destination, piece, model.toPlayX(r.x), model.toPlayY(r.y));
        const int slot = r.holder == kNoHolder ? -1 : players.slotOf(r.holder, false);
        holders.setHolder(holderModel, piece, slot < 0 ? kNoSlot : slot, players);
    }
    return skipped;
}

bool anyPlayerSynchronising(NetLayer& layer) {
    Session* s = layer.session();
    if (!s || !layer.sessionOpen()) return false;
    const PlayerTable table = layer.playerTable();
    for (int i = 0; i < kPlayerSlots; ++i) {
        PlayerDataBytes bytes{};
        if ((table.inUse[size_t(i)] & 1) && s->playerData(table.dpid[size_t(i)], bytes) &&
            PlayerData::decode(bytes).state == uint32_t(PlayerState::Synchronising))
            return true;
    }
    return false;
}

bool hostMayExit(NetLayer& layer, Platform& platform) {
    if (!anyPlayerSynchronising(layer)) return true;
    platform.messageBox(kPlayersStillSynchronising);
    return false;
}

// ---------------------------------------------------------------- host

SyncService::SyncService(NetLayer& layer, Dispatcher& dispatcher) : layer_(layer), dispatcher_(dispatcher) {
    dispatcher_.holderModel().setChangeListener(this);
}

SyncService::~SyncService() {
    dispatcher_.holderModel().setChangeListener(nullptr);
    {
        // A change being reported holds PIECEMutex: it ends before this.
        NamedLock lock(NamedMutex::PIECE);
    }
    stop();
}

void SyncService::stop() {
    {
        std::lock_guard lock(m_);  // no sender starts after this
        stop_ = true;
    }
    for (Slot& s : slots_)
        if (s.thread.joinable()) s.thread.join();
}

bool SyncService::handle(const GameMessage& message, uint32_t from) {
    if (message.id != kMsgRequestSync) return false;
    std::lock_guard lock(m_);
    if (stop_) return true;
    for (const Slot& s : slots_)
        if (s.active && s.player == from) return true;  // already being served
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.active.load(); });
    if (free == slots_.end()) return true;  // all 16 busy: the requester asks again
    Slot& s = *free;
    if (s.thread.joinable()) s.thread.join();
    s.player = from;
    {
        NamedLock piece(NamedMutex::PIECE);
        s.pending.assign(size_t(std::max(dispatcher_.model().pieceCount(), 0)), 1);
    }
    s.active = true;
    s.thread = std::thread(&SyncService::senderThread, this, int(free - slots_.begin()), from);
    return true;
}

void SyncService::pieceChanged(int piece) {
    NamedLock lock(NamedMutex::PIECE);
    for (Slot& s : slots_)
        if (piece >= 0 && size_t(piece) < s.pending.size()) s.pending[size_t(piece)] = 1;
}

int SyncService::activeSenders() const {
    std::lock_guard lock(m_);
    return int(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.active.load(); }));
}

// Each pass sends the next pending pieces, paced. Once every piece has gone
// out once, a piece whose group a player holds is not sent again while it
// is held (provided its own holder went out already): a drag re-marks its
// pieces at every move, faster than a slow link sends, and the drag's moves
// reach the latecomer as they reach everybody. The synchronisation ends
// when nothing else is pending; the pieces still held then are followed
// until let go and sent once more where they ended.
void SyncService::senderThread(int index, uint32_t player) {
    Slot& slot = slots_[size_t(index)];
    HolderTable& holders = dispatcher_.port().holders();
    PuzzleHolderModel& model = dispatcher_.holderModel();
    const uint32_t rate = assumedRate_ ? assumedRate_.load() : transferRateBits(layer_, player);
    const auto step = std::chrono::microseconds(pacingMicros(kSyncDataBytes, rate));
    const auto start = Clock::now();
    // The holder each piece's last record carried; kUnsent before the first.
    constexpr uint32_t kUnsent = 0xFFFFFFFEu;
    std::vector<uint32_t> told;
    size_t unsent = 0;
    {
        NamedLock lock(NamedMutex::PIECE);
        told.assign(slot.pending.size(), kUnsent);
        unsent = told.size();
    }
    // PIECEMutex held.
    auto ownHolder = [&](size_t p) { return p < holders.records().size() ? holders.records()[p].holder : kNoHolder; };
    auto groupHeld = [&](size_t p) {
        for (int m : model.groupMembers(int(p)))
            if (ownHolder(size_t(m)) != kNoHolder) return true;
        return false;
    };
    auto take = [&](size_t p, GameMessage& m) {
        slot.pending[p] = 0;
        HolderRecord r = model.pieceRecord(int(p));
        r.holder = ownHolder(p);
        if (told[p] == kUnsent) --unsent;
        told[p] = r.holder;
        m.sync.push_back(r);
    };
    auto send = [&](const GameMessage& m) {
        // Guaranteed messages without the session's own guarantee wait in
        // the acknowledged delivery's queue, which drops what does not fit.
        while (!stop_ && layer_.outgoingCount() >= kQueueEntries - 16)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        waitForRoomToSend(layer_, stop_);
        if (!layer_.send(kServerPlayer, player, 1, encodeMessage(m))) return false;  // the player left
        recordsSent_ += m.sync.size();
        return true;
    };
    bool reached = true;
    for (uint64_t sent = 0; !stop_;) {
        GameMessage m;
        m.id = kMsgSyncData;
        {
            NamedLock lock(NamedMutex::PIECE);
            for (size_t p = 0; p < slot.pending.size() && m.sync.size() < size_t(kMaxSyncRecords); ++p) {
                if (!slot.pending[p]) continue;
                if (unsent == 0 && told[p] == ownHolder(p) && groupHeld(p)) continue;
                take(p, m);
            }
        }
        if (m.sync.empty()) break;
        if (!send(m)) {
            reached = false;
            break;
        }
        ++sent;
        const auto until = start + step * sent;
        while (!stop_ && Clock::now() < until)
            std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(50)));
    }
    if (reached && !stop_) reached = layer_.sendHeaderOnly(kServerPlayer, player, kMsgFinishedSync) != 0;

    // The pieces held when it ended, until they are let go.
    std::vector<size_t> held;
    {
        NamedLock lock(NamedMutex::PIECE);
        for (size_t p = 0; p < slot.pending.size(); ++p)
            if (slot.pending[p]) held.push_back(p);
    }
    while (reached && !stop_ && !held.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        GameMessage m;
        m.id = kMsgSyncData;
        {
            NamedLock lock(NamedMutex::PIECE);
            for (auto it = held.begin(); it != held.end() && m.sync.size() < size_t(kMaxSyncRecords);) {
                const bool stillHeld = groupHeld(*it);
                if (slot.pending[*it] && (!stillHeld || told[*it] != ownHolder(*it))) take(*it, m);
                it = stillHeld ? it + 1 : held.erase(it);
            }
        }
        if (!m.sync.empty()) reached = send(m);
    }
    {
        NamedLock lock(NamedMutex::PIECE);
        slot.pending = {};
    }
    std::lock_guard lock(m_);
    slot.active = false;
}

// ---------------------------------------------------------------- latecomer

SyncReceiver::SyncReceiver(NetLayer& layer, Dispatcher& dispatcher) : layer_(layer), dispatcher_(dispatcher) {}

SyncReceiver::~SyncReceiver() { abort(); }

const char* SyncReceiver::statusLine(Phase phase) {
    return phase == Phase::Requesting || phase == Phase::Idle ? kRequestingSync : kGettingSync;
}

void SyncReceiver::start() {
    abort();
    GamePort& port = dispatcher_.port();
    if (!port.holders().exists()) port.holders().rebuild(dispatcher_.holderModel(), port.players(), false);
    std::lock_guard lock(m_);
    phase_ = Phase::Requesting;
    records_ = 0;
    skipped_ = 0;
    const uint64_t generation = ++generation_;
    thread_ = std::thread(&SyncReceiver::run, this, generation);
}

void SyncReceiver::abort() {
    {
        std::lock_guard lock(m_);
        ++generation_;
        if (phase_ == Phase::Requesting || phase_ == Phase::Getting) phase_ = Phase::Aborted;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool SyncReceiver::finished() const {
    std::lock_guard lock(m_);
    return phase_ == Phase::Finished || phase_ == Phase::Failed || phase_ == Phase::Aborted;
}

SyncReceiver::Status SyncReceiver::status() const {
    const int32_t pieces = dispatcher_.model().pieceCount();
    std::lock_guard lock(m_);
    Status s;
    s.phase = phase_;
    s.records = records_;
    s.skipped = skipped_;
    s.percent = pieces <= 0 ? 0 : int(std::min<uint64_t>(100, uint64_t(records_) * 100 / uint64_t(pieces)));
    return s;
}

bool SyncReceiver::handle(const GameMessage& message, uint32_t from) {
    if (message.id != kMsgSyncData && message.id != kMsgFinishedSync) return false;
    if (from != kServerPlayer) return true;
    {
        std::lock_guard lock(m_);
        if (phase_ == Phase::Idle || phase_ == Phase::Aborted || phase_ == Phase::Failed) return true;
    }
    if (message.id == kMsgSyncData) {
        GamePort& port = dispatcher_.port();
        const int skipped = applySyncRecords(dispatcher_.model(), port.holders(), &dispatcher_.holderModel(),
                                             port.players(), message.sync);
        std::lock_guard lock(m_);
        records_ += uint32_t(message.sync.size());
        skipped_ += uint64_t(skipped);
        if (phase_ == Phase::Requesting) phase_ = Phase::Getting;
    } else {
        std::lock_guard lock(m_);
        if (phase_ == Phase::Requesting || phase_ == Phase::Getting) phase_ = Phase::Finished;
    }
    cv_.notify_all();
    return true;
}

void SyncReceiver::run(uint64_t generation) {
    std::unique_lock lock(m_);
    auto fail = [&] {
        if (generation == generation_) phase_ = Phase::Failed;
    };
    // Asked again every 500 ms until the first records come.
    while (phase_ == Phase::Requesting) {
        lock.unlock();
        const bool sent = layer_.sendHeaderOnly(layer_.localPlayerId(), kServerPlayer, kMsgRequestSync) != 0;
        lock.lock();
        if (generation != generation_) return;
        if (!sent) return fail();
        cv_.wait_for(lock, std::chrono::milliseconds(kRequestResendMs),
                     [&] { return generation != generation_ || phase_ != Phase::Requesting; });
        if (generation != generation_) return;
    }
    // The end of the synchronisation, however long it takes while the
    // session lasts.
    while (generation == generation_ && phase_ == Phase::Getting) {
        if (!layer_.sessionOpen()) return fail();
        cv_.wait_for(lock, std::chrono::milliseconds(100));
    }
}

}  // namespace pavalo::net
