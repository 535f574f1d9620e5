// The game message dispatcher.
#include "net/dispatcher.h"

#include <algorithm>

#include "common/named_mutex.h"
#include "common/sound_events.h"
#include "net/drop_broadcasts.h"
#include "net/protocol_rules.h"
#include "puzzle/assist_tools.h"

namespace pavalo::net {

namespace {

constexpr int kSoundRefusal = 8;

bool pieceMessage(uint16_t id) {
    return (id >= kMsgMovePiece && id <= kMsgSolveSelected) || (id >= kMsgIntoSortingBox && id <= kMsgRotateInBox) ||
           id == kMsgSolveInBox;
}

// Messages whose player field names the player who acts.
bool carriesPlayer(uint16_t id) {
    switch (id) {
        case kMsgMovePiece:
        case kMsgMoveSelected:
        case kMsgDropPiece:
        case kMsgDropSelected:
        case kMsgRequestPickup:
        case kMsgRequestSelection:
        case kMsgUnselectPieces:
        case kMsgArrangePieces:
        case kMsgSolveSelected:
        case kMsgIntoSortingBox:
        case kMsgOutOfSortingBox:
        case kMsgConnectInBox:
        case kMsgRotateInBox:
        case kMsgSolveInBox: return true;
        default: return false;
    }
}

int32_t groupNumberOf(const PuzzleModel& model, int32_t piece) {
    const int32_t g = model.member(piece).group;
    return g == kNone ? kNone : model.groupNode(g).groupNumber;
}

Rect groupArea(const PuzzleModel& model, ListId list, int32_t piece) {
    Rect r;
    model.getPieceRect(list, piece, r, true);
    return r;
}

}  // namespace

Dispatcher::Dispatcher(DispatchContext context)
    : c_(context), holderModel_(context.model), holders_(context.port, holderModel_) {
    c_.model.setHolderTable(&holders_);
}

Dispatcher::~Dispatcher() { c_.model.setHolderTable(nullptr); }

void Dispatcher::startGame(uint32_t startMs) {
    startMs_ = startMs;
    started_ = true;
    {
        // Every player numbers its requests afresh in a new game.
        NamedLock lock(NamedMutex::PIECE);
        requests_.clear();
        abandonedPickups_.clear();
        abandonedSelections_.clear();
    }
    c_.port.holders().rebuild(holderModel_, c_.port.players(), false);
}

void Dispatcher::setOptions(const NetOptions& options) {
    NamedLock lock(NamedMutex::PIECE);
    options_ = options;
    gameType_ = options.gameType;
}

NetOptions Dispatcher::options() const {
    NamedLock lock(NamedMutex::PIECE);
    return options_;
}

int Dispatcher::localSlot() const { return c_.port.slotOf(c_.port.localPlayer()); }

MessageLimits Dispatcher::limits() const {
    MessageLimits l;
    l.pieceCount = c_.model.pieceCount();
    return l;
}

int32_t Dispatcher::clampX(int32_t x) const {
    const PuzzleGeometry& g = c_.model.geometry();
    const int32_t lo = std::min(-g.pictureWidth, c_.model.toPictureX(0));
    const int32_t hi = std::max(2 * g.pictureWidth, c_.model.toPictureX(g.playWidth));
    return std::clamp(x, lo, std::max(lo, hi));
}

int32_t Dispatcher::clampY(int32_t y) const {
    const PuzzleGeometry& g = c_.model.geometry();
    const int32_t lo = std::min(-g.pictureHeight, c_.model.toPictureY(0));
    const int32_t hi = std::max(2 * g.pictureHeight, c_.model.toPictureY(g.playHeight));
    return std::clamp(y, lo, std::max(lo, hi));
}

void Dispatcher::send(const GameMessage& m, uint32_t from, uint32_t to, bool guaranteed) {
    const std::vector<uint8_t> bytes = encodeMessage(m);
    c_.port.send(from, to, guaranteed, bytes);
}

bool Dispatcher::gateOpen() const {
    if (!c_.port.sessionOpen()) return true;
    const uint32_t state = c_.port.localData().state;
    return state == uint32_t(PlayerState::Playing) || state == uint32_t(PlayerState::Synchronising);
}

bool Dispatcher::refuse() {
    ++refused_;
    return false;
}

void Dispatcher::refresh(int32_t piece) {
    if (c_.port.isHost()) c_.port.holders().refresh(holderModel_, piece, true);
}

void Dispatcher::refreshHeld(int slot) {
    if (c_.port.isHost() && slot >= 0) c_.port.holders().refreshHeld(holderModel_, c_.port.players(), slot);
}

bool Dispatcher::heldByOther(int32_t piece, int slot) const {
    const int holder = c_.port.holders().holderOf(piece, c_.port.players());
    return holder != kNoSlot && holder != slot;
}

bool Dispatcher::anyHeldByOther(std::span<const uint32_t> pieces, int slot) const {
    for (uint32_t p : pieces)
        if (p != kNoPiece && heldByOther(int32_t(p), slot)) return true;
    return false;
}

void Dispatcher::addPlacedPieces(int count) {
    // Every game type counts: a Team Competitive game's standings are its
    // teams' sums of these.
    PlayerData d = c_.port.localData();
    d.piecesPlaced += uint32_t(std::max(count, 0));
    d.elapsedMs = c_.port.nowMs() - startMs_.load();
    c_.port.publish(d);
}

void Dispatcher::publishOwnCopyScore() {
    if (!started_ || !inSession() || !competitive()) return;
    const uint32_t placed = uint32_t(c_.model.countListPieces(ListId::Finished));  // takes the piece lock
    PlayerData d = c_.port.localData();
    if (d.piecesPlaced == placed) return;
    d.piecesPlaced = placed;
    d.elapsedMs = c_.port.nowMs() - startMs_.load();
    c_.port.publish(d);
}

void Dispatcher::returnSortingBoxPieces(int slot) {
    if (!c_.port.isHost() || competitive()) return;
    std::vector<DropRecord> records;
    NamedLock lock(NamedMutex::PIECE);
    c_.model.forEachGroup(ListId::Extra, [&](int32_t g) {
        const int32_t first = c_.model.groupNode(g).firstMember;
        if (first == kNone || c_.port.holders().holderOf(first, c_.port.players()) != slot) return;
        const Piece& p = c_.model.piece(first);
        records.push_back({uint32_t(first), uint32_t(p.rotation & 3),
                           int16_t(std::clamp(c_.model.toPictureX(p.x), -32768, 32767)),
                           int16_t(std::clamp(c_.model.toPictureY(p.y), -32768, 32767))});
    });
    for (GameMessage& m : dropRecordMessages(kMsgOutOfSortingBox, kServerPlayer, records)) relay(m, true);
}

void Dispatcher::checkCompletion() {
    checkPuzzleCompletion(c_.model, c_.puzzleState, inSession(), c_.completion, c_.rng);
    c_.frontEnd.postCompletionCheck();
}

// ------------------------------------------------------------- dispatching

int Dispatcher::dispatch(bool serverMode) {
    int n = 0;
    QueueEntry entry;
    int index = -1;
    while (c_.port.take(serverMode, entry, index)) {
        // A repeat of a guaranteed delivery was handled when it first came;
        // results are absolute but turns are not, so a repeat is passed by.
        if (!(entry.flags & 2)) handle(entry.data, entry.from, entry.to);
        c_.port.finish(index);
        ++n;
    }
    return n;
}

void Dispatcher::handle(std::span<const uint8_t> bytes, uint32_t from, uint32_t to) {
    std::string why;
    std::optional<GameMessage> decoded = decodeMessage(bytes, limits(), why);
    if (!decoded) {
        refuse();
        return;
    }
    GameMessage& m = *decoded;
    m.token = 0;
    ++handled_;
    const bool gated = pieceMessage(m.id) && !gateOpen();
    if (to == kServerPlayer) {
        if (gated && m.id != kMsgSolveInBox) return;
        serverMessage(m, bytes, from);
        return;
    }
    if (gated) return;
    playerMessage(m, from);
}

void Dispatcher::setUpRequest(const GameMessage& m, uint32_t from) {
    GameMessage reply;
    const uint32_t me = c_.port.localPlayer();
    if (m.id == kMsgRequestNetOptions) {
        reply.id = kMsgNetOptions;
        reply.options = options();
    } else if (!c_.frontEnd.setUpReply(m, reply)) {
        return;
    }
    (void)me;
    send(reply, c_.port.isHost() ? kServerPlayer : c_.port.localPlayer(), from, false);
}

// ------------------------------------------------------ the host's column

void Dispatcher::serverMessage(GameMessage& m, std::span<const uint8_t>, uint32_t from) {
    switch (m.id) {
        case kMsgRequestImageName:
        case kMsgRequestNetOptions:
        case kMsgRequestGameData: setUpRequest(m, from); return;
        case kMsgChat: return;
        case kMsgNewHostAnnounce: c_.frontEnd.playerListChanged(); return;
        case kMsgKickPlayer: return;
        default: break;
    }
    if (!pieceMessage(m.id) && m.id != kMsgRequestRotate) {
        c_.frontEnd.setUpMessage(m, from, true);
        return;
    }
    // A player speaks only for itself.
    if (carriesPlayer(m.id) && m.player != from) {
        refuse();
        return;
    }
    const int slot = c_.port.slotOf(from);
    if (slot < 0) {
        refuse();
        return;
    }
    NamedLock lock(NamedMutex::PIECE);
    switch (m.id) {
        case kMsgMovePiece:
            if (c_.port.holders().holderOf(int32_t(m.piece), c_.port.players()) != slot) {
                refuse();
                return;
            }
            m.x = clampX(m.x);
            m.y = clampY(m.y);
            relay(m, false);
            return;
        case kMsgMoveSelected:
            // A move sent before the selection was let go may come after
            // it; it would shift the groups from where the drop put them.
            if (c_.port.holders().holderOf(int32_t(m.piece), c_.port.players()) != slot ||
                selectionLetGo_[size_t(slot)]) {
                refuse();
                return;
            }
            m.x = clampX(m.x);
            m.y = clampY(m.y);
            // Relayed in order with the drop that ends the drag.
            relay(m, true);
            return;
        case kMsgDropPiece:
            closeRequests(m.player);
            if (heldByOther(int32_t(m.piece), slot)) {
                refuse();
                answerRefusedDrop(m);
                return;
            }
            serverDrop(m, slot);
            return;
        case kMsgDropSelected:
        case kMsgOutOfSortingBox: {
            if (m.id == kMsgDropSelected) {
                selectionLetGo_[size_t(slot)] = true;
                closeRequests(m.player);
            }
            for (DropRecord& r : m.drops) {
                if (heldByOther(int32_t(r.piece), slot)) {
                    refuse();
                    return;
                }
                r.x = int16_t(clampX(r.x));
                r.y = int16_t(clampY(r.y));
            }
            relay(m, true);
            return;
        }
        case kMsgRequestPickup:
            if (lateSerial(m)) return;
            selectionLetGo_[size_t(slot)] = false;
            arbitratePickup(m, slot);
            return;
        case kMsgRequestRotate:
            if (repeatedTurn(m, from)) return;
            arbitrateRotate(m, from, slot);
            return;
        case kMsgRequestSelection:
            if (lateSerial(m)) return;
            selectionLetGo_[size_t(slot)] = false;
            arbitrateSelection(m, slot);
            return;
        case kMsgUnselectPieces:
            lateSerial(m);
            selectionLetGo_[size_t(slot)] = false;
            relay(m, true);
            return;
        case kMsgArrangePieces: {
            const int32_t l = clampX(std::min(m.left, m.right)), r = clampX(std::max(m.left, m.right));
            const int32_t t = clampY(std::min(m.top, m.bottom)), b = clampY(std::max(m.top, m.bottom));
            m.left = l;
            m.right = r;
            m.top = t;
            m.bottom = b;
            relay(m, true);
            return;
        }
        case kMsgSolveSelected: relay(m, true); return;
        case kMsgIntoSortingBox:
        case kMsgSolveInBox:
            lateSerial(m);
            if (anyHeldByOther(m.pieces, slot)) {
                refuse();
                return;
            }
            relay(m, true);
            return;
        case kMsgConnectInBox:
            if (heldByOther(int32_t(m.piece), slot) || m.code < 0) {
                refuse();
                return;
            }
            relay(m, true);
            return;
        case kMsgRotateInBox: relay(m, true); return;
        default: refuse(); return;  // results are not requests
    }
}

// A resend of the newest request is not late while the player has not
// dropped since: its answer may have been lost.
bool Dispatcher::lateSerial(const GameMessage& m) {
    if (m.serial == 0) return false;
    RequestHistory& h = requests_[m.player];
    if (m.serial < h.newest || m.serial <= h.closed) return true;
    h.newest = m.serial;
    return false;
}

// A player drops only what it was granted, so a copy of a request it made
// before dropping that comes now is one already answered.
void Dispatcher::closeRequests(uint32_t player) {
    RequestHistory& h = requests_[player];
    h.closed = h.newest;
}

bool Dispatcher::repeatedTurn(const GameMessage& m, uint32_t from) {
    if (m.serial == 0) return false;
    RequestHistory& h = requests_[from];
    if (m.serial <= h.turned) return true;
    h.turned = m.serial;
    return false;
}

bool Dispatcher::groupHeldByOther(int32_t piece, int slot) const {
    const int32_t g = c_.model.findGroupOfPiece(ListId::Main, piece);
    if (g == kNone) return heldByOther(piece, slot);
    bool held = false;
    c_.model.forEachMember(g, [&](int32_t p) { held = held || heldByOther(p, slot); });
    return held;
}

void Dispatcher::arbitratePickup(const GameMessage& m, int slot) {
    const int32_t piece = int32_t(m.piece);
    const int holder = c_.port.holders().holderOf(piece, c_.port.players());
    const int held = inSession() ? c_.port.holders().countHeld(slot, c_.port.players()) : 0;
    GameMessage reply;
    reply.id = kMsgPickupPiece;
    reply.player = m.player;
    reply.piece = m.piece;
    if (!pickupGranted(holder, slot, held, inSession())) {
        reply.code = 0;
        send(reply, kServerPlayer, m.player, false);
        return;
    }
    const int32_t g = c_.model.findGroupOfPiece(ListId::Main, piece);
    if (g != kNone) c_.model.forEachMember(g, [&](int32_t p) { holders_.setHolder(p, slot); });
    reply.code = 1;
    broadcast(reply, true);
    c_.frontEnd.redrawPlayArea(groupArea(c_.model, ListId::Main, piece));
}

void Dispatcher::arbitrateRotate(const GameMessage& m, uint32_t from, int slot) {
    GameMessage reply;
    reply.piece = m.piece;
    const int32_t piece = int32_t(m.piece);
    const int holder = c_.port.holders().holderOf(piece, c_.port.players());
    // Only the holder turns a group: a request that arrives after its drop
    // released the group would turn it everywhere but on the requester's
    // machine, which turned it when it asked.
    if (holder == slot && c_.model.findGroupOfPiece(ListId::Main, piece) != kNone) {
        const Rect before = groupArea(c_.model, ListId::Main, piece);
        c_.model.rotateGroup(ListId::Main, piece, 1);
        c_.frontEnd.redrawPlayArea(before.united(groupArea(c_.model, ListId::Main, piece)));
        refresh(piece);
        reply.id = kMsgRotatePiece;
        reply.player = from;
        broadcast(reply, true);
    } else {
        reply.id = kMsgRequestRotateAck;
        reply.code = 0;
        send(reply, kServerPlayer, from, false);
    }
}

// A granted piece's whole group is held, as a pickup holds it: the player
// selects and drags whole groups, and a group partly held by two players
// would be dragged apart. A piece whose group another player holds a part
// of is refused like a piece that player holds.
void Dispatcher::arbitrateSelection(const GameMessage& m, int slot) {
    GameMessage reply;
    reply.id = kMsgSelectPieces;
    reply.player = m.player;
    reply.serial = m.serial;
    // A repeat of the request answered last gets that answer again, to its
    // sender: deciding again could grant pieces freed meanwhile, which the
    // player, already gone on with the first answer, never selects.
    RequestHistory& h = requests_[m.player];
    if (m.serial != 0 && m.serial == h.answered) {
        reply.pieces = h.granted;
        send(reply, kServerPlayer, m.player, !reply.pieces.empty());
        return;
    }
    const FilteredSelection f =
        filterSelection(m.pieces, c_.port.holders(), c_.port.players(), slot, inSession());
    for (uint32_t p : f.kept)
        if (!groupHeldByOther(int32_t(p), slot)) reply.pieces.push_back(p);
    h.answered = m.serial;
    h.granted = reply.pieces;
    if (reply.pieces.empty()) {
        send(reply, kServerPlayer, m.player, false);
        return;
    }
    applyHolders(reply.pieces, m.player);
    Rect dirty;
    for (uint32_t p : reply.pieces) dirty.unite(groupArea(c_.model, ListId::Main, int32_t(p)));
    c_.frontEnd.redrawPlayArea(dirty);
    refreshHeld(slot);
    broadcast(reply, true);
}

void Dispatcher::serverDrop(const GameMessage& request, int slot) {
    GameMessage m = request;
    m.x = clampX(m.x);
    m.y = clampY(m.y);
    // The group lands turned as its player sees it.
    if (c_.model.findGroupOfPiece(ListId::Main, int32_t(m.piece)) != kNone)
        c_.model.setGroupRotation(ListId::Main, int32_t(m.piece), int32_t(m.rotation & 3));
    DropBroadcasts outcomes(c_.model, m);
    const DropResult r = dropGroup(c_.model, int32_t(m.piece), m.x, m.y, slot, outcomes);
    bool first = true;
    for (const GameMessage& out : outcomes.messages()) {
        if (!first) c_.port.pauseBetweenBroadcasts();
        first = false;
        broadcast(out, true);
    }
    c_.frontEnd.redrawPlayArea(r.dirty);
}

// A drop the host refuses is still answered, to its player alone: the
// group stays where the host has it, which the player's machine, waiting
// for the answer and letting go meanwhile, takes over as a plain drop (on
// the others nothing happened).
void Dispatcher::answerRefusedDrop(const GameMessage& request) {
    const int32_t piece = int32_t(request.piece);
    GameMessage m;
    m.id = kMsgDropPiece;
    m.player = request.player;
    m.piece = request.piece;
    m.code = kOutcomeDropped;
    const Piece& p = c_.model.piece(piece);
    m.rotation = uint32_t(p.rotation & 3);
    m.x = c_.model.toPictureX(p.x);
    m.y = c_.model.toPictureY(p.y);
    send(m, kServerPlayer, request.player, true);
}

// Relays a player's message to everybody. In a session the host's model
// takes it now, in the order the host decides and sends, as every other
// machine will; the host's own copy of the broadcast then changes nothing.
void Dispatcher::relay(GameMessage& m, bool guaranteed) {
    if (hostApplies() && (m.id != kMsgSolveInBox || gateOpen())) applyResult(m, kServerPlayer);
    broadcast(m, guaranteed);
}

// ------------------------------------------------------ a player's column

void Dispatcher::playerMessage(GameMessage& m, uint32_t from) {
    switch (m.id) {
        case kMsgRequestImageName:
        case kMsgRequestNetOptions:
        case kMsgRequestGameData: setUpRequest(m, from); return;
        case kMsgNetOptions: setOptions(m.options); return;
        case kMsgChat:
            if (c_.chat) c_.chat->chatLine(c_.port.playerName(from), m.text);
            return;
        case kMsgNewHostAnnounce: c_.frontEnd.playerListChanged(); return;
        case kMsgKickPlayer: c_.frontEnd.kicked(); return;
        default: break;
    }
    const bool result = pieceMessage(m.id) || m.id == kMsgRequestRotateAck;
    if (!result) {
        c_.frontEnd.setUpMessage(m, from, false);
        return;
    }
    // Results are the host's: nobody else may announce them.
    if (from != kServerPlayer && inSession()) {
        refuse();
        return;
    }
    NamedLock lock(NamedMutex::PIECE);
    if (hostApplies()) {
        // Applied when decided or relayed; the drop is still heard (and
        // scored, and may complete the puzzle) here.
        if (m.id == kMsgDropPiece)
            applyDrop(m, from);
        else if (m.id == kMsgRequestRotateAck && m.code == 0)
            playEvent(kSoundRefusal);
        return;
    }
    applyResult(m, from);
}

void Dispatcher::applyResult(GameMessage& m, uint32_t from) {
    const uint32_t me = c_.port.localPlayer();
    NamedLock lock(NamedMutex::PIECE);
    switch (m.id) {
        case kMsgMovePiece:
            if (m.player != me) applyMove(m);
            return;
        case kMsgMoveSelected:
            if (m.player != me) applyMoveSelected(m);
            return;
        case kMsgDropPiece: applyDrop(m, from); return;
        case kMsgDropSelected:
            if (m.player != me) applyDropRecords(m, false);
            return;
        case kMsgOutOfSortingBox:
            if (m.player != me) applyDropRecords(m, true);
            return;
        case kMsgPickupPiece: {
            const std::span<const uint32_t> piece(&m.piece, m.code == 1 ? 1 : 0);
            applyHolders(piece, m.player);
            if (m.player == me) adoptGrant(abandonedPickups_, int32_t(m.piece), piece);
            return;
        }
        case kMsgRequestRotateAck:
            if (m.code == 0) playEvent(kSoundRefusal);
            return;
        case kMsgRotatePiece:
            remoteRotate(ListId::Main, m.piece, m.player);
            refresh(int32_t(m.piece));
            return;
        case kMsgSelectPieces:
            applyHolders(m.pieces, m.player);
            if (m.player == me && m.serial != 0) adoptGrant(abandonedSelections_, m.serial, m.pieces);
            return;
        case kMsgUnselectPieces: release(m); return;
        case kMsgArrangePieces: applyArrange(m); return;
        case kMsgSolveSelected: applySolveSelected(m); return;
        case kMsgIntoSortingBox:
            if (m.player != me) applyIntoBox(m);
            return;
        case kMsgConnectInBox: applyConnectInBox(m); return;
        case kMsgRotateInBox:
            remoteRotate(ListId::Extra, m.piece, m.player);
            refresh(int32_t(m.piece));
            return;
        case kMsgSolveInBox: applySolveInBox(m); return;
        default: refuse(); return;  // requests go to the server player
    }
}

// A move arrives without guarantee and may come after the drop that ended
// the drag; only a group its mover still holds follows it.
void Dispatcher::applyMove(const GameMessage& m) {
    const int32_t piece = int32_t(m.piece);
    if (c_.model.findGroupOfPiece(ListId::Main, piece) == kNone) return;
    if (holders_.holderOf(piece) != c_.port.slotOf(m.player)) return;
    const Rect before = groupArea(c_.model, ListId::Main, piece);
    const Point from{c_.model.piece(piece).x, c_.model.piece(piece).y};
    c_.model.moveGroup(ListId::Main, piece, c_.model.toPlayX(clampX(m.x)), c_.model.toPlayY(clampY(m.y)));
    const Point to{c_.model.piece(piece).x, c_.model.piece(piece).y};
    c_.frontEnd.redrawPlayArea(before.united(groupArea(c_.model, ListId::Main, piece)));
    if (!(from == to)) c_.frontEnd.remoteDrag(piece, from, to);
    refresh(piece);
}

void Dispatcher::applyMoveSelected(const GameMessage& m) {
    const int slot = c_.port.slotOf(m.player);
    const int32_t ref = int32_t(m.piece);
    if (slot < 0 || c_.model.findGroupOfPiece(ListId::Main, ref) == kNone) return;
    const int32_t dx = c_.model.toPlayX(clampX(m.x)) - c_.model.piece(ref).x;
    const int32_t dy = c_.model.toPlayY(clampY(m.y)) - c_.model.piece(ref).y;
    if (dx == 0 && dy == 0) return;
    Rect dirty;
    c_.model.forEachGroup(ListId::Main, [&](int32_t g) {
        const int32_t first = c_.model.groupNode(g).firstMember;
        if (first == kNone || holders_.holderOf(first) != slot) return;
        dirty.unite(c_.model.groupRect(g));
        const Piece& p = c_.model.piece(first);
        c_.model.moveGroup(ListId::Main, first, p.x + dx, p.y + dy);
        dirty.unite(c_.model.groupRect(g));
    });
    c_.frontEnd.redrawPlayArea(dirty);
    refreshHeld(slot);
}

void Dispatcher::applyDrop(const GameMessage& m, uint32_t from) {
    const int32_t piece = int32_t(m.piece);
    const int slot = c_.port.slotOf(m.player);
    const int local = localSlot();
    int32_t members = 0;
    if (from == kServerPlayer) {
        int32_t g = c_.model.findGroupOfPiece(ListId::Main, piece);
        if (g == kNone) g = c_.model.findGroupOfPiece(ListId::Finished, piece);
        if (g != kNone) members = c_.model.groupNode(g).pieceCount;
    }
    if (from == kServerPlayer && !hostApplies()) {
        int32_t g = c_.model.findGroupOfPiece(ListId::Main, piece);
        if (g == kNone) g = c_.model.findGroupOfPiece(ListId::Finished, piece);
        if (g != kNone) {
            if (m.code == kOutcomeDropped)
                c_.model.forEachMember(g, [&](int32_t p) {
                    if (holders_.holderOf(p) == slot) holders_.setHolder(p, kNoSlot);
                });
        }
    }
    const bool placedBefore = c_.model.listOfPiece(piece) == ListId::Finished;
    RemoteOutcome o;
    o.list = ListId::Main;
    o.piece = piece;
    o.x = c_.model.toPlayX(clampX(m.x));
    o.y = c_.model.toPlayY(clampY(m.y));
    o.outcome = m.code;
    o.player = slot;
    RemoteContext context;
    context.localPlayer = local;
    context.hearOtherPlayers = hearOthers_.load() || !inSession();
    context.networkGame = inSession();
    // The host's server thread has already decided and applied the drop on
    // this model; here it is only heard.
    context.decidingMachine = hostApplies();
    const Rect before = groupArea(c_.model, ListId::Main, piece);
    if (!context.decidingMachine && c_.model.findGroupOfPiece(ListId::Main, piece) != kNone)
        c_.model.setGroupRotation(ListId::Main, piece, int32_t(m.rotation & 3));
    const Rect dirty = applyRemoteOutcome(c_.model, o, context, c_.puzzleState, c_.completion, c_.rng);
    c_.frontEnd.redrawPlayArea(before.united(dirty).united(groupArea(c_.model, ListId::Finished, piece)));
    if (m.code == kOutcomeSolved) {
        // Checked now (when this drop did not already complete it) and once
        // more through the posted command.
        if (!context.decidingMachine && placedBefore)
            checkPuzzleCompletion(c_.model, c_.puzzleState, inSession(), c_.completion, c_.rng);
        c_.frontEnd.postCompletionCheck();
        // On the host the server thread placed the group before this copy
        // arrived; elsewhere a group already placed was counted once.
        if (m.player == c_.port.localPlayer() && (context.decidingMachine || !placedBefore))
            addPlacedPieces(members);
    }
    refresh(piece);
}

void Dispatcher::applyDropRecords(const GameMessage& m, bool outOfBox) {
    Rect dirty;
    for (const DropRecord& r : m.drops) {
        const int32_t piece = int32_t(r.piece);
        c_.model.setGroupSelected(ListId::Extra, piece, false);
        if (outOfBox) c_.model.movePieceToList(ListId::Main, ListId::Extra, piece);
        if (c_.model.findGroupOfPiece(ListId::Main, piece) == kNone) continue;
        dirty.unite(groupArea(c_.model, ListId::Main, piece));
        c_.model.setGroupRotation(ListId::Main, piece, int32_t(r.rotation & 3));
        c_.model.moveGroup(ListId::Main, piece, c_.model.toPlayX(clampX(r.x)), c_.model.toPlayY(clampY(r.y)));
        dirty.unite(groupArea(c_.model, ListId::Main, piece));
        refresh(piece);
    }
    c_.frontEnd.redrawPlayArea(dirty);
    if (outOfBox) c_.frontEnd.redrawSortingBoxes();
}

void Dispatcher::abandonPickup(int32_t piece) {
    NamedLock lock(NamedMutex::PIECE);
    abandonedPickups_.push_back(piece);
}

void Dispatcher::abandonSelection(uint32_t serial) {
    NamedLock lock(NamedMutex::PIECE);
    abandonedSelections_.push_back(serial);
}

template <class Key>
void Dispatcher::adoptGrant(std::vector<Key>& abandoned, Key key, std::span<const uint32_t> pieces) {
    const auto it = std::find(abandoned.begin(), abandoned.end(), key);
    if (it == abandoned.end()) return;
    abandoned.erase(it);
    for (uint32_t p : pieces)
        if (p != kNoPiece && c_.model.findGroupOfPiece(ListId::Main, int32_t(p)) != kNone)
            c_.model.setGroupSelected(ListId::Main, int32_t(p), true);
    c_.frontEnd.redrawPlayArea({});
}

// Every member of each listed piece's Main-list group is held by the player.
void Dispatcher::applyHolders(std::span<const uint32_t> pieces, uint32_t player) {
    const int slot = c_.port.slotOf(player);
    if (slot < 0) return;
    Rect dirty;
    for (uint32_t p : pieces) {
        if (p == kNoPiece) continue;
        const int32_t piece = int32_t(p);
        const int32_t g = c_.model.findGroupOfPiece(ListId::Main, piece);
        if (g != kNone)
            c_.model.forEachMember(g, [&](int32_t member) { holders_.setHolder(member, slot); });
        else
            holders_.setHolder(piece, slot);
        if (g != kNone) dirty.unite(c_.model.groupRect(g));
    }
    if (player != c_.port.localPlayer()) c_.frontEnd.redrawPlayArea(dirty);
}

// Frees what the player holds: with n = -1 every piece, with n = 1 the
// listed piece's group (its members were taken together, and a hold left
// on the others would outlive the drag).
void Dispatcher::release(const GameMessage& m) {
    const int slot = c_.port.slotOf(m.player);
    if (slot < 0) return;
    Rect dirty;
    auto freeGroup = [&](int32_t g) {
        bool any = false;
        c_.model.forEachMember(g, [&](int32_t p) {
            if (holders_.holderOf(p) != slot) return;
            holders_.setHolder(p, kNoSlot);
            any = true;
        });
        if (any) dirty.unite(c_.model.groupRect(g));
    };
    if (m.count == -1) {
        for (int32_t p = 0; p < c_.model.pieceCount(); ++p)
            if (holders_.holderOf(p) == slot) {
                holders_.setHolder(p, kNoSlot);
                const int32_t g = c_.model.member(p).group;
                if (g != kNone) dirty.unite(c_.model.groupRect(g));
            }
    } else if (!m.pieces.empty() && m.pieces.front() != kNoPiece) {
        const int32_t piece = int32_t(m.pieces.front());
        const int32_t g = c_.model.member(piece).group;
        if (g != kNone) freeGroup(g);
    }
    c_.frontEnd.redrawPlayArea(dirty);
    refreshHeld(slot);
}

// The rotating player's own machine turned the group when it asked (the
// view turns at once and picks the piece up), and the host's model was
// turned when the host granted it; every other machine turns it here.
void Dispatcher::remoteRotate(ListId list, uint32_t piece, uint32_t player) {
    if (player == c_.port.localPlayer() && inSession()) return;
    const int32_t p = int32_t(piece);
    if (c_.model.findGroupOfPiece(list, p) == kNone) return;
    const Rect before = groupArea(c_.model, list, p);
    c_.model.rotateGroup(list, p, 1);
    if (list == ListId::Main) {
        if (!inSession()) playEvent(kSoundRotatePiece);
        c_.frontEnd.redrawPlayArea(before.united(groupArea(c_.model, list, p)));
    }
}

void Dispatcher::applyArrange(const GameMessage& m) {
    const int slot = c_.port.slotOf(m.player);
    if (slot < 0) return;
    Rect area{c_.model.toPlayX(clampX(m.left)), c_.model.toPlayY(clampY(m.top)), c_.model.toPlayX(clampX(m.right)),
              c_.model.toPlayY(clampY(m.bottom))};
    std::vector<int32_t> identity;
    std::span<const int32_t> order = order_;
    if (order_.size() != size_t(c_.model.pieceCount())) {
        identity.resize(size_t(c_.model.pieceCount()));
        for (size_t i = 0; i < identity.size(); ++i) identity[i] = int32_t(i);
        order = identity;
    }
    arrangePlayerGroups(c_.model, slot, ListId::Main, area, false, order);
    c_.frontEnd.redrawPlayArea({});
    refreshHeld(slot);
}

void Dispatcher::applySolveSelected(const GameMessage& m) {
    const int slot = c_.port.slotOf(m.player);
    if (slot < 0) return;
    std::vector<int32_t> firsts;
    c_.model.forEachGroup(ListId::Main, [&](int32_t g) {
        const int32_t first = c_.model.groupNode(g).firstMember;
        if (first != kNone && holders_.holderOf(first) == slot) firsts.push_back(first);
    });
    int placed = 0;
    const PuzzleGeometry& geo = c_.model.geometry();
    for (int32_t first : firsts) placed += c_.model.solvePiece(ListId::Main, first, geo.offsetX, geo.offsetY);
    if (placed > 0) {
        playEvent(kSoundLockPiece);
        c_.frontEnd.redrawPlayArea({});
    }
    checkCompletion();
    for (int32_t first : firsts) refresh(first);
}

void Dispatcher::applyIntoBox(const GameMessage& m) {
    Rect dirty;
    for (uint32_t p : m.pieces) {
        if (p == kNoPiece) continue;
        const int32_t piece = int32_t(p);
        if (c_.model.findGroupOfPiece(ListId::Main, piece) == kNone) continue;
        dirty.unite(groupArea(c_.model, ListId::Main, piece));
        c_.model.movePieceToList(ListId::Extra, ListId::Main, piece);
        refresh(piece);
    }
    c_.frontEnd.redrawPlayArea(dirty);
}

void Dispatcher::applyConnectInBox(const GameMessage& m) {
    const int32_t piece = int32_t(m.piece);
    if (c_.model.findGroupOfPiece(ListId::Extra, piece) == kNone) return;
    const int32_t number = groupNumberOf(c_.model, piece);
    if (number != m.code) c_.model.mergeGroups(ListId::Extra, m.code, number);
    refresh(piece);
}

void Dispatcher::applySolveInBox(const GameMessage& m) {
    static constexpr ListId kOrder[] = {ListId::Main, ListId::Extra, ListId::Box1,
                                        ListId::Box2, ListId::Box3,  ListId::Box4};
    const PuzzleGeometry& geo = c_.model.geometry();
    bool found = false;
    for (uint32_t p : m.pieces) {
        if (p == kNoPiece) continue;
        for (ListId list : kOrder) {
            if (c_.model.findGroupOfPiece(list, int32_t(p)) == kNone) continue;
            c_.model.solvePiece(list, int32_t(p), geo.offsetX, geo.offsetY);
            found = true;
            refresh(int32_t(p));
            break;
        }
    }
    if (found) {
        playEvent(kSoundLockPiece);
        c_.frontEnd.redrawPlayArea({});
        c_.frontEnd.redrawPreview();
        checkCompletion();
    }
    c_.frontEnd.redrawSortingBoxes();
}

}  // namespace pavalo::net
