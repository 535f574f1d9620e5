// Several machines of one game in one thread: each runs the real
// dispatcher and senders on its own model; a hub routes their messages as
// the session does (requests to the host's server player, broadcasts to
// every player), logs everything that leaves a machine, and may lose,
// double or reorder the messages sent without guarantee.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/named_mutex.h"
#include "net/dispatcher.h"
#include "net/game_senders.h"
#include "puzzle/piece_mask.h"

namespace pavalo::net::test {

constexpr int kCell = 40;

// cols x rows square pieces; the picture sits at the centre of a
// 4000 x 3000 play area and every piece starts scattered in the region a
// group may lie in (one picture size around the picture).
inline PuzzleModel gridPuzzle(int cols, int rows, uint32_t seed = 7) {
    std::vector<Piece> pieces(size_t(cols * rows));
    std::mt19937 rng(seed);
    const int32_t pw = cols * kCell, ph = rows * kCell;
    const int32_t left = 2000 - pw / 2 - pw, top = 1500 - ph / 2 - ph;
    for (int i = 0; i < cols * rows; ++i) {
        Piece& p = pieces[size_t(i)];
        p.homeX = (i % cols) * kCell;
        p.homeY = (i / cols) * kCell;
        p.width = p.height = kCell;
        p.mask = encodePieceMask(kCell, kCell, [](int, int) { return true; });
        p.outline = encodePieceMask(kCell, kCell, [](int x, int y) {
            return x == 0 || y == 0 || x == kCell - 1 || y == kCell - 1;
        });
        p.x = left + int32_t(rng() % uint32_t(3 * pw - kCell));
        p.y = top + int32_t(rng() % uint32_t(3 * ph - kCell));
    }
    PuzzleModel m;
    m.geometry() = {4000, 3000, cols * kCell, rows * kCell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), rows, cols);
    return m;
}

struct Envelope {
    uint32_t from = 0, to = 0;
    bool guaranteed = false;
    std::vector<uint8_t> bytes;
    uint16_t id() const { return uint16_t(bytes[0] | bytes[1] << 8); }
};

struct CountingCompletion : CompletionActions {
    int ends = 0, checks = 0;
    void recordNetworkGameEnd() override { ++ends; }
    void refreshStatusAndSortingBoxes() override { ++checks; }
};

class Hub;

class HubMachine final : public GamePort, public DispatchFrontEnd, public ChatSink {
public:
    HubMachine(Hub& hub, uint32_t id, bool host, PuzzleModel puzzle)
        : model(std::move(puzzle)),
          dispatcher(DispatchContext{model, *this, puzzleState, completion, rng, *this, this}),
          senders(dispatcher, this),
          hub_(hub),
          id_(id),
          host_(host) {
        data.state = uint32_t(PlayerState::Playing);
    }

    // ---- GamePort ----
    bool sessionOpen() const override { return true; }
    bool isHost() const override { return host_; }
    uint32_t localPlayer() const override { return id_; }
    PlayerTable players() const override { return table; }
    HolderTable& holders() override { return holderTable; }
    PlayerData localData() const override { return data; }
    void publish(const PlayerData& d) override { data = d; }
    std::string playerName(uint32_t id) const override { return "P" + std::to_string(id); }
    bool send(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> bytes) override;
    bool request(std::span<const uint8_t> bytes, uint16_t awaitedId, const ReplyFilter& accept, bool repeatable,
                 std::vector<uint8_t>& reply) override;
    bool take(bool serverMode, QueueEntry& entry, int& index) override {
        for (auto it = inbox.begin(); it != inbox.end(); ++it) {
            if (serverMode && it->to != kServerPlayer) continue;
            entry = *it;
            index = 0;
            inbox.erase(it);
            return true;
        }
        return false;
    }
    void finish(int) override {}
    uint32_t nowMs() const override;

    // ---- front end ----
    void chatLine(const std::string& name, const std::string& text) override { chat.push_back(name + ": " + text); }
    void postCompletionCheck() override {
        checkPuzzleCompletion(model, puzzleState, true, completion, rng);
    }

    uint32_t id() const { return id_; }

    PuzzleModel model;
    uint32_t puzzleState = 0;
    Random rng{3};
    CountingCompletion completion;
    PlayerTable table;
    HolderTable holderTable;
    PlayerData data;
    std::deque<QueueEntry> inbox;
    std::vector<std::string> chat;
    Dispatcher dispatcher;
    GameSenders senders;

private:
    Hub& hub_;
    uint32_t id_;
    bool host_;
};

struct HubFaults {
    double loss = 0, duplicate = 0, reorder = 0;  // for messages without guarantee
};

class Hub {
public:
    // A host (player id 2) and `players` more machines (ids 3..), each with
    // its own copy of the puzzle.
    Hub(int players, const std::function<PuzzleModel()>& puzzle, HubFaults faults = {}, uint32_t seed = 1)
        : faults_(faults), rng_(seed) {
        for (int i = 0; i <= players; ++i)
            machines.push_back(std::make_unique<HubMachine>(*this, uint32_t(2 + i), i == 0, puzzle()));
        for (auto& m : machines) {
            m->table.add(m->id());
            for (auto& other : machines) m->table.add(other->id());
            m->dispatcher.startGame(clock);
        }
    }
    HubMachine& host() { return *machines.front(); }
    HubMachine& at(size_t i) { return *machines[i]; }

    void route(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> bytes) {
        Envelope e{from, to, guaranteed, {bytes.begin(), bytes.end()}};
        log.push_back(e);
        if (!guaranteed && faults_.loss > 0 && chance(faults_.loss)) return;
        const int copies = !guaranteed && chance(faults_.duplicate) ? 2 : 1;
        for (int c = 0; c < copies; ++c) {
            for (auto& m : machines) {
                const bool toHost = to == kServerPlayer && m->isHost();
                const bool toAll = to == kAllPlayers && m->id() != from;
                if (!toHost && !toAll && to != m->id()) continue;
                QueueEntry q;
                q.flags = 1;
                q.from = from;
                q.to = to == kAllPlayers ? m->id() : to;
                q.data = e.bytes;
                q.size = uint32_t(q.data.size());
                if (!guaranteed && chance(faults_.reorder) && !m->inbox.empty())
                    m->inbox.insert(m->inbox.begin() + long(rng_() % m->inbox.size()), q);
                else
                    m->inbox.push_back(std::move(q));
            }
        }
    }

    // Runs every dispatcher until no message is left; `waiting` stands in
    // its request (only its server player, on the host, dispatches).
    void pump(const HubMachine* waiting = nullptr) {
        for (bool any = true; any;) {
            any = false;
            for (auto& m : machines) {
                if (m->isHost()) any |= m->dispatcher.dispatch(true) > 0;
                if (m.get() != waiting) any |= m->dispatcher.dispatch(false) > 0;
            }
        }
    }

    std::vector<Envelope> sent(uint16_t id) const {
        std::vector<Envelope> out;
        for (const Envelope& e : log)
            if (e.id() == id) out.push_back(e);
        return out;
    }

    std::vector<std::unique_ptr<HubMachine>> machines;
    std::vector<Envelope> log;
    uint32_t clock = 5000;

private:
    bool chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    HubFaults faults_;
    std::mt19937 rng_;
};

inline bool HubMachine::send(uint32_t from, uint32_t to, bool guaranteed, std::span<const uint8_t> bytes) {
    hub_.route(from, to, guaranteed, bytes);
    return true;
}

inline bool HubMachine::request(std::span<const uint8_t> bytes, uint16_t awaitedId, const ReplyFilter& accept,
                                bool repeatable, std::vector<uint8_t>& reply) {
    // A repeatable request is resent until the answer comes, as the layer
    // does every 500 ms; any other goes once, guaranteed.
    for (int attempt = 0; attempt < (repeatable ? 20 : 1); ++attempt) {
        hub_.route(id_, kServerPlayer, !repeatable, bytes);
        hub_.pump(this);
        for (const QueueEntry& q : inbox)
            if (q.to == id_ && q.data.size() >= 2 && uint16_t(q.data[0] | q.data[1] << 8) == awaitedId &&
                (!accept || accept(q.data))) {
                reply = q.data;
                return true;
            }
    }
    return false;
}

inline uint32_t HubMachine::nowMs() const { return hub_.clock; }

// What must agree between machines: every piece's list (sorting boxes and
// other players' boxes count as one), group, rotation, holder and, outside
// the boxes, position.
struct PieceState {
    uint32_t code = 0;
    int32_t group = 0, rotation = 0, x = 0, y = 0;
    int holder = 0;
    bool operator==(const PieceState&) const = default;
};

inline std::vector<PieceState> snapshot(const PuzzleModel& model, const HolderTable& holders,
                                        const PlayerTable& table) {
    NamedLock lock(NamedMutex::PIECE);
    std::vector<PieceState> out;
    for (int32_t p = 0; p < model.pieceCount(); ++p) {
        PieceState s;
        const int32_t g = model.member(p).group;
        s.code = listCode(model.groupNode(g).list);
        s.group = model.groupNode(g).groupNumber;
        s.rotation = model.piece(p).rotation;
        if (s.code != 2) {
            s.x = model.piece(p).x;
            s.y = model.piece(p).y;
        }
        const int slot = holders.holderOf(p, table);
        s.holder = slot == kNoSlot ? 0 : int(table.dpid[size_t(slot)]);
        out.push_back(s);
    }
    return out;
}

inline std::vector<PieceState> snapshot(HubMachine& m) { return snapshot(m.model, m.holderTable, m.table); }

}  // namespace pavalo::net::test
