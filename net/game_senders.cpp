// The sender side of the game protocol.
#include "net/game_senders.h"

#include <algorithm>

#include "common/named_mutex.h"
#include "common/sound_events.h"

namespace pavalo::net {

namespace {

// The outcome of a drop decided on this machine (the Competitive type).
struct OwnOutcome final : DropReporter {
    std::vector<RemoteOutcome> outcomes;
    void reportJoin(int player, int32_t piece, int32_t group, ListId list) override {
        outcomes.push_back({list, piece, 0, 0, group, player});
    }
    void reportPlacement(int player, int32_t piece, int32_t) override {
        outcomes.push_back({ListId::Main, piece, 0, 0, kOutcomeSolved, player});
    }
    void reportDrop(int player, int32_t piece) override {
        outcomes.push_back({ListId::Main, piece, 0, 0, kOutcomeDropped, player});
    }
};

}  // namespace

bool GameSenders::requestUntil(const GameMessage& m, uint16_t awaitedId,
                               const std::function<bool(const GameMessage&)>& match, bool repeatable,
                               GameMessage* reply) {
    const std::vector<uint8_t> bytes = encodeMessage(m);
    const MessageLimits limits = d_.limits();
    // Only our answer ends the wait: another player's message of the
    // awaited id goes on to the queue, and the request is not sent again
    // for it (a drop decided twice lands the group twice, the second time
    // over whatever happened to it in between).
    const ReplyFilter ours = [&](std::span<const uint8_t> data) {
        std::string why;
        const std::optional<GameMessage> got = decodeMessage(data, limits, why);
        return got && got->id == awaitedId && match(*got);
    };
    std::vector<uint8_t> answer;
    if (!d_.port().request(bytes, awaitedId, ours, repeatable, answer)) return false;
    std::string why;
    std::optional<GameMessage> got = decodeMessage(answer, limits, why);
    if (!got) return false;
    if (reply) *reply = std::move(*got);
    return true;
}

int GameSenders::requestPickup(ListId list, int32_t piece) {
    if (list == ListId::Finished || !d_.model().validPiece(piece)) return 0;
    if (list != ListId::Main || !shared()) return 1;
    GameMessage m;
    m.id = kMsgRequestPickup;
    m.player = me();
    m.piece = uint32_t(piece);
    {
        std::lock_guard lock(m_);
        m.serial = serial_.next();
    }
    GameMessage reply;
    if (!requestUntil(
            m, kMsgPickupPiece, [&](const GameMessage& r) { return r.player == me() && r.piece == uint32_t(piece); },
            true, &reply)) {
        d_.abandonPickup(piece);
        return 0;
    }
    // Another player's grant of this piece is not our answer. The holders
    // change when the queued broadcast is applied, in its turn among the
    // messages before it (one of them may be this piece's last drop, whose
    // release must not undo the new hold).
    return reply.code == 1 && reply.player == me() ? 1 : 0;
}

int GameSenders::requestRotate(ListId list, int32_t piece) {
    if (list == ListId::Finished) return 0;
    if (list != ListId::Main || !shared()) return 1;
    GameMessage m;
    m.id = kMsgRequestRotate;
    m.piece = uint32_t(piece);
    {
        std::lock_guard lock(m_);
        m.serial = serial_.next();
    }
    d_.send(m, me(), kServerPlayer, false);
    return 1;
}

std::vector<int32_t> GameSenders::requestSelection(ListId list, std::span<const int32_t> pieces) {
    PuzzleModel& model = d_.model();
    std::vector<int32_t> wanted;
    for (int32_t p : pieces)
        if (model.validPiece(p)) wanted.push_back(p);
    std::vector<int32_t> granted;
    if (list == ListId::Main && shared()) {
        std::vector<uint32_t> asked(wanted.begin(), wanted.end());
        const FilteredSelection f =
            filterSelection(asked, d_.port().holders(), d_.port().players(), d_.localSlot(), true);
        if (f.kept.empty()) return {};
        GameMessage m;
        m.id = kMsgRequestSelection;
        m.player = me();
        {
            std::lock_guard lock(m_);
            m.serial = serial_.next();
        }
        m.pieces = f.kept;
        GameMessage reply;
        const uint32_t serial = m.serial;
        if (!requestUntil(
                m, kMsgSelectPieces,
                [&](const GameMessage& r) { return r.player == me() && r.serial == serial; }, true, &reply)) {
            d_.abandonSelection(serial);
            return {};
        }
        for (uint32_t p : reply.pieces) granted.push_back(int32_t(p));
        // The answer ends the wait as it arrives, ahead of the host's
        // messages queued before it: a drop that let one of these groups go
        // (and clears its selection) or a join into one of them. They are
        // applied first, so that the groups selected here are the ones the
        // host has this player hold; a selection the drop cleared would be
        // left behind by this player's drag everywhere but here.
        d_.dispatch(false);
    } else {
        granted = wanted;
    }
    NamedLock lock(NamedMutex::PIECE);
    std::vector<int32_t> selected;
    for (int32_t p : granted) {
        if (model.findGroupOfPiece(list, p) == kNone) continue;
        model.setGroupSelected(list, p, true);
        selected.push_back(p);
    }
    return selected;
}

bool GameSenders::sendMove(ListId list, int32_t piece, int32_t x, int32_t y) {
    if (list != ListId::Main || !shared()) return false;
    {
        std::lock_guard lock(m_);
        if (!moveThrottle_.allow(d_.port().nowMs())) return false;
    }
    GameMessage m;
    m.id = kMsgMovePiece;
    m.player = me();
    m.piece = uint32_t(piece);
    m.x = d_.model().toPictureX(x);
    m.y = d_.model().toPictureY(y);
    d_.send(m, me(), kServerPlayer, false);
    return true;
}

bool GameSenders::sendMoveSelected(ListId list) {
    if (list != ListId::Main || !shared()) return false;
    PuzzleModel& model = d_.model();
    int32_t ref = kNone;
    {
        NamedLock lock(NamedMutex::PIECE);
        model.forEachGroup(ListId::Main, [&](int32_t g) {
            model.forEachMember(g, [&](int32_t p) {
                if (model.member(p).selected && (ref == kNone || p < ref)) ref = p;
            });
        });
    }
    if (ref == kNone) return false;
    {
        std::lock_guard lock(m_);
        if (!moveSelectedThrottle_.allow(d_.port().nowMs())) return false;
    }
    GameMessage m;
    m.id = kMsgMoveSelected;
    m.player = me();
    m.piece = uint32_t(ref);
    m.x = model.toPictureX(model.piece(ref).x);
    m.y = model.toPictureY(model.piece(ref).y);
    d_.send(m, me(), kServerPlayer, false);
    return true;
}

// The drop decided here: the Competitive type's private copy, with its score.
void GameSenders::localDrop(ListId list, int32_t piece) {
    PuzzleModel& model = d_.model();
    if (list != ListId::Main) {
        NoReports none;
        dropInSortingBox(model, list, piece, d_.localSlot(), none);
        return;
    }
    OwnOutcome outcomes;
    int32_t members = 0;
    {
        NamedLock lock(NamedMutex::PIECE);
        const int32_t g = model.findGroupOfPiece(ListId::Main, piece);
        if (g == kNone) return;
        members = model.groupNode(g).pieceCount;
    }
    const Piece& p = model.piece(piece);
    const DropResult r = dropGroup(model, piece, model.toPictureX(p.x), model.toPictureY(p.y), d_.localSlot(), outcomes);
    if (r.placed) d_.addPlacedPieces(members);
    uint32_t unused = 0;
    (void)unused;
    for (RemoteOutcome& o : outcomes.outcomes) {
        if (o.outcome == kOutcomeSolved) {
            playEvent(kSoundLockPiece);
            d_.checkCompletion();
        } else {
            playEvent(o.outcome >= 0 ? kSoundJoinPieces : kSoundDropPiece);
        }
    }
}

void GameSenders::sendDrop(ListId list, int32_t piece) {
    PuzzleModel& model = d_.model();
    if (!model.validPiece(piece) || list == ListId::Finished) return;
    if (!shared()) {
        localDrop(list, piece);
        return;
    }
    if (list != ListId::Main) {
        // In a sorting box the joins are made here and each is told to the
        // others, whose copy of the box is their Extra list.
        struct Connects final : DropReporter {
            GameSenders& s;
            explicit Connects(GameSenders& senders) : s(senders) {}
            void reportJoin(int, int32_t p, int32_t group, ListId) override {
                GameMessage m;
                m.id = kMsgConnectInBox;
                m.player = s.me();
                m.piece = uint32_t(p);
                m.code = group;
                s.d_.send(m, s.me(), kServerPlayer, true);
            }
            void reportPlacement(int, int32_t, int32_t) override {}
            void reportDrop(int, int32_t) override {}
        } connects(*this);
        dropInSortingBox(model, list, piece, d_.localSlot(), connects);
        return;
    }
    GameMessage m;
    m.id = kMsgDropPiece;
    m.player = me();
    m.piece = uint32_t(piece);
    {
        NamedLock lock(NamedMutex::PIECE);
        m.rotation = uint32_t(model.piece(piece).rotation & 3);
        m.x = model.toPictureX(model.piece(piece).x);
        m.y = model.toPictureY(model.piece(piece).y);
    }
    m.code = kOutcomeDropped;
    requestUntil(
        m, kMsgDropPiece, [&](const GameMessage& r) { return r.player == me() && r.piece == uint32_t(piece); }, false);
}

std::vector<DropRecord> GameSenders::selectedRecords(ListId list) {
    PuzzleModel& model = d_.model();
    std::vector<DropRecord> records;
    NamedLock lock(NamedMutex::PIECE);
    model.forEachGroup(list, [&](int32_t g) {
        const int32_t first = model.groupNode(g).firstMember;
        if (first == kNone || !model.member(first).selected) return;
        const Piece& p = model.piece(first);
        DropRecord r;
        r.piece = uint32_t(first);
        r.rotation = uint32_t(p.rotation & 3);
        const int32_t x = list == ListId::Main ? model.toPictureX(p.x) : p.x;
        const int32_t y = list == ListId::Main ? model.toPictureY(p.y) : p.y;
        r.x = int16_t(std::clamp(x, -32768, 32767));
        r.y = int16_t(std::clamp(y, -32768, 32767));
        records.push_back(r);
    });
    return records;
}

int GameSenders::sendDropSelected(ListId list) {
    if (list != ListId::Main || !shared()) return 0;
    const std::vector<DropRecord> records = selectedRecords(list);
    int sent = 0;
    for (const GameMessage& m : dropRecordMessages(kMsgDropSelected, me(), records)) {
        d_.send(m, me(), kServerPlayer, true);
        ++sent;
    }
    return sent;
}

void GameSenders::sendUnselect(ListId list, int32_t piece) {
    if (list != ListId::Main || !shared()) return;
    GameMessage m;
    m.id = kMsgUnselectPieces;
    m.player = me();
    {
        std::lock_guard lock(m_);
        m.serial = serial_.next();
    }
    m.count = piece < 0 ? -1 : 1;
    m.pieces = {piece < 0 ? kNoPiece : uint32_t(piece)};
    d_.send(m, me(), kServerPlayer, true);
}

void GameSenders::sendArrange(ListId list, const Rect& area) {
    if (list != ListId::Main || !shared()) return;
    PuzzleModel& model = d_.model();
    GameMessage m;
    m.id = kMsgArrangePieces;
    m.player = me();
    m.left = model.toPictureX(area.left);
    m.top = model.toPictureY(area.top);
    m.right = model.toPictureX(area.right);
    m.bottom = model.toPictureY(area.bottom);
    requestUntil(m, kMsgArrangePieces, [&](const GameMessage& r) { return r.player == me(); }, false);
}

void GameSenders::sendSolveSelected(ListId list) {
    if (!shared()) return;
    PuzzleModel& model = d_.model();
    if (list == ListId::Main) {
        GameMessage m;
        m.id = kMsgSolveSelected;
        m.player = me();
        requestUntil(m, kMsgSolveSelected, [&](const GameMessage& r) { return r.player == me(); }, false);
        return;
    }
    if (!isSortingBox(list)) return;
    std::vector<uint32_t> pieces;
    {
        NamedLock lock(NamedMutex::PIECE);
        model.forEachGroup(list, [&](int32_t g) {
            model.forEachMember(g, [&](int32_t p) {
                if (model.member(p).selected) pieces.push_back(uint32_t(p));
            });
        });
    }
    const FilteredSelection f = filterSelection(pieces, d_.port().holders(), d_.port().players(), d_.localSlot(), true);
    if (f.kept.empty()) return;
    GameMessage m;
    m.id = kMsgSolveInBox;
    m.player = me();
    {
        std::lock_guard lock(m_);
        m.serial = serial_.next();
    }
    m.pieces = f.kept;
    d_.send(m, me(), kServerPlayer, true);
}

void GameSenders::sendIntoSortingBox(ListId box, int32_t piece) {
    if (!shared()) return;
    PuzzleModel& model = d_.model();
    GameMessage m;
    m.id = kMsgIntoSortingBox;
    m.player = me();
    {
        std::lock_guard lock(m_);
        m.serial = serial_.next();
    }
    if (piece >= 0) {
        m.pieces = {uint32_t(piece)};
    } else {
        NamedLock lock(NamedMutex::PIECE);
        model.forEachGroup(box, [&](int32_t g) {
            model.forEachMember(g, [&](int32_t p) {
                if (model.member(p).selected) m.pieces.push_back(uint32_t(p));
            });
        });
    }
    if (m.pieces.empty()) return;
    d_.send(m, me(), kServerPlayer, true);
}

void GameSenders::sendOutOfSortingBox(ListId, int32_t piece) {
    if (!shared()) return;
    std::vector<DropRecord> records;
    if (piece >= 0) {
        PuzzleModel& model = d_.model();
        if (!model.validPiece(piece)) return;
        NamedLock lock(NamedMutex::PIECE);
        const Piece& p = model.piece(piece);
        records.push_back({uint32_t(piece), uint32_t(p.rotation & 3),
                           int16_t(std::clamp(model.toPictureX(p.x), -32768, 32767)),
                           int16_t(std::clamp(model.toPictureY(p.y), -32768, 32767))});
    } else {
        records = selectedRecords(ListId::Main);
    }
    for (const GameMessage& m : dropRecordMessages(kMsgOutOfSortingBox, me(), records))
        d_.send(m, me(), kServerPlayer, true);
}

void GameSenders::sendRotateInBox(int32_t piece) {
    if (!shared()) return;
    GameMessage m;
    m.id = kMsgRotateInBox;
    m.player = me();
    m.piece = uint32_t(piece);
    d_.send(m, me(), kServerPlayer, true);
}

void GameSenders::sendChat(const std::string& text) {
    if (!d_.inSession() || text.empty()) return;
    if (chat_) chat_->chatLine(d_.port().playerName(me()), text);
    GameMessage m;
    m.id = kMsgChat;
    m.text = text.substr(0, kChatField - 1);
    d_.send(m, me(), kAllPlayers, false);
}

// ------------------------------------------------------------ the view's seam

void NetViewNetwork::announceListChange(ListId from, ListId to, int32_t piece, Point) {
    if (from == ListId::Main && isSortingBox(to)) s_.sendIntoSortingBox(to, piece);
    if (isSortingBox(from) && to == ListId::Main) s_.sendOutOfSortingBox(from, piece);
}

void NetViewNetwork::announceSelectedListChange(ListId from, ListId to) {
    if (from == ListId::Main && isSortingBox(to)) s_.sendIntoSortingBox(to, -1);
    if (isSortingBox(from) && to == ListId::Main) s_.sendOutOfSortingBox(from, -1);
}

void NetViewNetwork::announceRotation(ListId list, int32_t piece) {
    if (list == ListId::Main)
        s_.requestRotate(list, piece);
    else if (isSortingBox(list))
        s_.sendRotateInBox(piece);
}

}  // namespace pavalo::net
