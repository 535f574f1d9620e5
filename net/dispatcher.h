// The game message dispatcher: takes the received messages out of the
// incoming queue and applies them to the puzzle model.
//
// Messages addressed to the server player (on the host) are decisions: who
// may hold which piece, whether a drop joins or lands on its solved place.
// The host checks everything a player wrote before acting or relaying: the
// player field must be the sender, pieces must exist, positions and
// rectangles are clamped to the area a group may lie in, and nobody may
// move, drop, solve or box a piece that another player holds. Refused
// messages are counted and dropped.
//
// Messages addressed to a player are results every machine applies, the
// requester's included; they come only from the server player. The host's
// model is changed by the server column alone, in the order it decides and
// sends, so every machine applies the same changes in the same order; its
// own player's copies of the broadcasts are only heard. Applying a result
// twice leaves the model as applying it once (positions are absolute,
// merges and placements of what is already merged or placed do nothing),
// turns excepted.
//
// Threads: dispatch(false) on the user-interface thread, dispatch(true) on
// the host's server thread; each message is handled by one of them. Every
// handler holds PIECEMutex while it changes the model.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "common/random.h"
#include "net/game_port.h"
#include "net/messages.h"
#include "net/model_link.h"
#include "puzzle/joining.h"
#include "puzzle/puzzle_model.h"

namespace pavalo::net {

// Where chat lines go (the waiting room and the standings show them).
class ChatSink {
public:
    virtual ~ChatSink() = default;
    virtual void chatLine(const std::string& name, const std::string& text) = 0;
};

// What the windows and the game set-up do with dispatched messages. Every
// call has a harmless default.
class DispatchFrontEnd {
public:
    virtual ~DispatchFrontEnd() = default;
    // Play-area pixels changed (play-area coordinates).
    virtual void redrawPlayArea(const Rect& /*area*/) {}
    virtual void redrawSortingBoxes() {}
    virtual void redrawPreview() {}
    // Posts the command that runs the completion check once more.
    virtual void postCompletionCheck() {}
    // NEWHOST: the player list and standings are shown again.
    virtual void playerListChanged() {}
    // KICKPLAYER: the waiting room closes as kicked.
    virtual void kicked() {}
    // Another player's group moved while dragged: the piece's top-left went
    // from `from` to `to` (play area), for a view that glides between them.
    virtual void remoteDrag(int32_t /*piece*/, Point /*from*/, Point /*to*/) {}
    // The set-up's messages (picture name, game data, begin, picture
    // transfer and synchronisation). For requests 1 and 3 the set-up fills
    // the reply and returns true to have it sent.
    virtual bool setUpReply(const GameMessage& /*request*/, GameMessage& /*reply*/) { return false; }
    virtual void setUpMessage(const GameMessage& /*message*/, uint32_t /*from*/, bool /*toServer*/) {}
};

// Where a game's set-up hears the dispatcher's set-up messages (as a
// DispatchFrontEnd) and the layer's system messages; the game's own front
// end passes them on.
class SetUpListener : public DispatchFrontEnd {
public:
    virtual void systemMessage(const Received& /*message*/) {}
    virtual void becameHost() {}
};

struct DispatchContext {
    PuzzleModel& model;
    GamePort& port;
    uint32_t& puzzleState;  // 16 once completed
    CompletionActions& completion;
    Random& rng;
    DispatchFrontEnd& frontEnd;
    ChatSink* chat = nullptr;
};

class Dispatcher {
public:
    // Installs the network's holder seam in the model; the destructor takes
    // it out again.
    explicit Dispatcher(DispatchContext context);
    ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    // A game starts: the holder table is built from the model (nobody
    // holds anything) and the score clock starts at `startMs`.
    void startGame(uint32_t startMs);
    void setOptions(const NetOptions& options);
    NetOptions options() const;
    bool competitive() const { return gameType_.load() == kGameCompetitive; }
    void setHearOtherPlayers(bool on) { hearOthers_ = on; }
    bool hearOtherPlayers() const { return hearOthers_.load(); }
    // The piece order table that arranging walks (0..n-1 when not set).
    void setPieceOrder(std::vector<int32_t> order) { order_ = std::move(order); }

    // Handles every message this mode may take from the queue; returns how
    // many were taken.
    int dispatch(bool serverMode);
    // Handles one message (header included) from `from` to `to`.
    void handle(std::span<const uint8_t> bytes, uint32_t from, uint32_t to);

    // The local player stopped waiting for the answer to a pickup of
    // `piece` or to the selection request `serial`. A grant that comes
    // later is still its own: the host holds those groups for it and its
    // selection moves take them along everywhere, so when the grant is
    // applied here they join the local selection.
    void abandonPickup(int32_t piece);
    void abandonSelection(uint32_t serial);

    uint64_t refusedCount() const { return refused_.load(); }
    uint64_t handledCount() const { return handled_.load(); }

    // For the sender operations.
    PuzzleModel& model() { return c_.model; }
    GamePort& port() { return c_.port; }
    PuzzleHolderModel& holderModel() { return holderModel_; }
    int localSlot() const;
    bool inSession() const { return c_.port.sessionOpen(); }
    // The host's refresh of the piece's holder records (markChanged set).
    void refresh(int32_t piece);
    void refreshHeld(int slot);
    // The score of a placement by the local player: pieces placed and the
    // time since the start, published with the player data.
    void addPlacedPieces(int count);
    // Competitive: the published score is what lies placed in this
    // machine's own copy, however it got there (drops, the Solve tool, the
    // menus' solves). Publishes only when it changed.
    void publishOwnCopyScore();
    // Host: a departed slot's sorting-box pieces (the Extra-list groups it
    // holds; with kNoSlot those nobody holds) go back to the play area
    // where they lay, on every machine. Any thread.
    void returnSortingBoxPieces(int slot);
    // The completion check, now and once more through a posted command.
    void checkCompletion();
    MessageLimits limits() const;
    // Picture-relative coordinates clamped to where a Main-list group may lie.
    int32_t clampX(int32_t x) const;
    int32_t clampY(int32_t y) const;
    void send(const GameMessage& m, uint32_t from, uint32_t to, bool guaranteed);
    void broadcast(const GameMessage& m, bool guaranteed) { send(m, kServerPlayer, kAllPlayers, guaranteed); }

private:
    bool gateOpen() const;
    bool refuse();
    void serverMessage(GameMessage& m, std::span<const uint8_t> bytes, uint32_t from);
    void playerMessage(GameMessage& m, uint32_t from);
    void applyResult(GameMessage& m, uint32_t from);
    void relay(GameMessage& m, bool guaranteed);
    // In a session the host's model is changed by its server column alone.
    bool hostApplies() const { return c_.port.isHost() && inSession(); }
    void setUpRequest(const GameMessage& m, uint32_t from);
    bool heldByOther(int32_t piece, int slot) const;
    bool anyHeldByOther(std::span<const uint32_t> pieces, int slot) const;

    // Host decisions.
    void arbitratePickup(const GameMessage& m, int slot);
    void arbitrateRotate(const GameMessage& m, uint32_t from, int slot);
    void arbitrateSelection(const GameMessage& m, int slot);
    void serverDrop(const GameMessage& m, int slot);
    void answerRefusedDrop(const GameMessage& request);

    // Results applied by every machine.
    void applyMove(const GameMessage& m);
    void applyMoveSelected(const GameMessage& m);
    void applyDrop(const GameMessage& m, uint32_t from);
    void applyDropRecords(const GameMessage& m, bool outOfBox);
    void applyHolders(std::span<const uint32_t> pieces, uint32_t player);
    void release(const GameMessage& m);
    void remoteRotate(ListId list, uint32_t piece, uint32_t player);
    void applyArrange(const GameMessage& m);
    void applySolveSelected(const GameMessage& m);
    void applyIntoBox(const GameMessage& m);
    void applyConnectInBox(const GameMessage& m);
    void applySolveInBox(const GameMessage& m);

    DispatchContext c_;
    PuzzleHolderModel holderModel_;
    NetHolders holders_;
    std::atomic<uint32_t> gameType_{kGameCooperative};
    NetOptions options_;  // guarded by PIECEMutex
    std::atomic<bool> hearOthers_{true};
    std::vector<int32_t> order_;
    std::atomic<uint32_t> startMs_{0};
    std::atomic<bool> started_{false};
    std::atomic<uint64_t> refused_{0}, handled_{0};
    // Per slot: the player's selection was let go (DROPSELECTED) and no
    // hold was asked for since; its moves are late ones. Guarded by PIECEMutex.
    std::array<bool, kPlayerSlots> selectionLetGo_{};
    // Per player: what its numbered requests have told. Requests go
    // unguaranteed and may come twice or late (a resend, a doubled or
    // delayed datagram). A pickup or selection request older than the
    // newest one heard, or heard before the player's last drop, is a late
    // copy: granting it would give the player holds it does not know of,
    // which its next selection moves would drag along everywhere but on
    // its own machine. A turn request is taken once. Serial 0 is a request
    // without a number, always taken. Guarded by PIECEMutex.
    struct RequestHistory {
        uint32_t newest = 0;  // newest serial heard
        uint32_t closed = 0;  // newest serial heard when the player last dropped
        uint32_t turned = 0;  // newest turn request taken
        uint32_t answered = 0;          // the selection request answered last
        std::vector<uint32_t> granted;  // and the pieces it was granted
    };
    std::map<uint32_t, RequestHistory> requests_;
    // Given-up requests of the local player (guarded by PIECEMutex).
    std::vector<int32_t> abandonedPickups_;
    std::vector<uint32_t> abandonedSelections_;
    // Selects the Main-list groups of `pieces` when `abandoned` held the
    // key of their grant, taking the key out.
    template <class Key>
    void adoptGrant(std::vector<Key>& abandoned, Key key, std::span<const uint32_t> pieces);
    // Notes the request's serial; true when it is a late copy.
    bool lateSerial(const GameMessage& m);
    // The player dropped: every request it made so far has been answered.
    void closeRequests(uint32_t player);
    // True when the turn request was taken before (or a newer one was).
    bool repeatedTurn(const GameMessage& m, uint32_t from);
    // True when a member of the piece's Main-list group is held by another.
    bool groupHeldByOther(int32_t piece, int slot) const;
};

}  // namespace pavalo::net
