// Joins, the snap into place, drops, remote outcomes and completion.
#include "puzzle/joining.h"

#include <cstdlib>
#include <vector>

#include "common/named_mutex.h"
#include "common/sound_events.h"

namespace pavalo {
namespace {

Rect widened(const Rect& r, int32_t by) {
    if (r.empty()) return r;
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

int32_t groupNumberOf(const PuzzleModel& model, ListId list, int32_t piece) {
    int32_t g = model.findGroupOfPiece(list, piece);
    return g == kNone ? kNone : model.groupNode(g).groupNumber;
}

Rect wholeGroupRect(const PuzzleModel& model, ListId list, int32_t piece) {
    Rect r;
    model.getPieceRect(list, piece, r, true);
    return r;
}

}  // namespace

bool gridNeighbours(const PuzzleModel& model, int32_t a, int32_t b) {
    const int32_t cols = model.columns();
    if (cols <= 0) return false;
    const int32_t dr = std::abs(a / cols - b / cols), dc = std::abs(a % cols - b % cols);
    return (dr == 1 && dc == 0) || (dr == 0 && dc == 1);
}

bool neighbourFits(const PuzzleModel& model, int32_t a, int32_t b) {
    const Piece& pa = model.piece(a);
    const Piece& pb = model.piece(b);
    if (pa.rotation != pb.rotation || !gridNeighbours(model, a, b)) return false;
    int32_t ex, ey;
    model.expectedPosition(a, b, ex, ey);
    const int32_t t = model.geometry().snapTolerance;
    return std::abs(pa.x - ex) <= t && std::abs(pa.y - ey) <= t;
}

int32_t joinNeighbours(PuzzleModel& model, ListId list, int32_t piece, int player) {
    NamedLock lock(NamedMutex::PIECE);
    if (list == ListId::Finished) return kNone;
    const int32_t g = model.findGroupOfPiece(list, piece);
    if (g == kNone) return kNone;
    // Only grid neighbours can fit, so the candidate groups are those of the
    // neighbours of the group's members; the first of them in list order
    // (head to tail) is the one a full walk over the list would find first.
    const int32_t cols = model.columns(), n = model.pieceCount();
    std::vector<int32_t> candidates;
    model.forEachMember(g, [&](int32_t m) {
        const int32_t r = m / cols, c = m % cols;
        const int32_t around[4] = {c > 0 ? m - 1 : kNone, c < cols - 1 ? m + 1 : kNone,
                                   r > 0 ? m - cols : kNone, m + cols < n ? m + cols : kNone};
        for (int32_t nb : around) {
            if (nb == kNone) continue;
            const int32_t h = model.member(nb).group;
            if (h == g || h == kNone || model.groupNode(h).list != list) continue;
            const int holder = model.holders().holderOf(nb);
            if (holder != kNoHolder && holder != player) continue;
            if (neighbourFits(model, m, nb)) candidates.push_back(h);
        }
    });
    if (candidates.empty()) return kNone;
    int32_t first = kNone;
    for (int32_t h = model.list(list).head; h != kNone && first == kNone; h = model.groupNode(h).next)
        for (int32_t c : candidates)
            if (c == h) first = h;
    // Merged by node, not by number: a number repeated within the list would
    // otherwise find the wrong group, or the piece's own, and merge nothing,
    // and a caller repeating until no join would never stop.
    if (!model.mergeGroupNodes(list, first, g)) return kNone;
    return model.groupNode(first).groupNumber;
}

int snapToSolved(PuzzleModel& model, ListId list, int32_t piece, int32_t dx, int32_t dy) {
    NamedLock lock(NamedMutex::PIECE);
    if (list == ListId::Main && model.findGroupOfPiece(list, piece) != kNone &&
        model.piece(piece).rotation == 0) {
        const PuzzleGeometry& geo = model.geometry();
        const Piece& p = model.piece(piece);
        const int32_t t = geo.snapTolerance;
        const int32_t offX = p.x - (geo.playWidth / 2 - geo.pictureWidth / 2 + dx) - p.homeX;
        const int32_t offY = p.y - (geo.playHeight / 2 - geo.pictureHeight / 2 + dy) - p.homeY;
        if (std::abs(offX) < 2 * t && std::abs(offY) < 2 * t) {
            const int32_t first = model.groupNode(model.findGroupOfPiece(list, piece)).firstMember;
            model.solvePiece(list, first, dx, dy);
            return 1;
        }
    }
    model.settleGroupOrder(list, piece);
    return 0;
}

DropResult dropGroup(PuzzleModel& model, int32_t piece, int32_t x, int32_t y, int player,
                     DropReporter& reporter) {
    DropResult result;
    if (!model.validPiece(piece)) return result;
    const int32_t t = model.geometry().snapTolerance;
    int32_t pieceCount = 0;
    Rect before;
    {
        NamedLock lock(NamedMutex::PIECE);
        const int32_t g = model.findGroupOfPiece(ListId::Main, piece);
        if (g != kNone) pieceCount = model.groupNode(g).pieceCount;
        before = wholeGroupRect(model, ListId::Main, piece);
    }
    model.moveGroup(ListId::Main, piece, model.toPlayX(x), model.toPlayY(y));

    for (int32_t into; (into = joinNeighbours(model, ListId::Main, piece, player)) != kNone;) {
        if (result.joins > 0) reporter.pauseBetweenReports();
        reporter.reportJoin(player, piece, into, ListId::Main);
        ++result.joins;
    }
    result.placed = snapToSolved(model, ListId::Main, piece, model.geometry().offsetX,
                                 model.geometry().offsetY) == 1;
    if (result.placed) {
        if (result.joins > 0) reporter.pauseBetweenReports();
        reporter.reportPlacement(player, piece, pieceCount);
    } else if (result.joins == 0) {
        NamedLock lock(NamedMutex::PIECE);
        int32_t g = model.findGroupOfPiece(ListId::Main, piece);
        if (g == kNone) g = model.findGroupOfPiece(ListId::Finished, piece);
        if (g != kNone) model.forEachMember(g, [&](int32_t m) { model.holders().setHolder(m, kNoHolder); });
        reporter.reportDrop(player, piece);
    }

    NamedLock lock(NamedMutex::PIECE);
    const ListId now = result.placed ? ListId::Finished : ListId::Main;
    Rect after = wholeGroupRect(model, now, piece);
    result.dirty = widened(before.united(after), t * result.joins + 2);
    if (result.placed) result.dirty.unite(widened(after, t + 2));
    return result;
}

DropResult dropInSortingBox(PuzzleModel& model, ListId box, int32_t piece, int player,
                            DropReporter& reporter) {
    DropResult result;
    const Rect before = wholeGroupRect(model, box, piece);
    for (int32_t into; (into = joinNeighbours(model, box, piece, player)) != kNone;) {
        if (result.joins > 0) reporter.pauseBetweenReports();
        reporter.reportJoin(player, piece, into, box);
        ++result.joins;
    }
    playEvent(result.joins > 0 ? kSoundJoinPieces : kSoundDropPiece);
    const Rect after = wholeGroupRect(model, box, piece);
    result.dirty = widened(before.united(after), model.geometry().snapTolerance * result.joins + 2);
    return result;
}

bool checkPuzzleCompletion(const PuzzleModel& model, uint32_t& puzzleState, bool networkGame,
                           CompletionActions& actions, Random& rng) {
    bool completed = false;
    if (model.hasPuzzle() && model.countListPieces(ListId::Finished) == model.pieceCount() &&
        puzzleState != 16) {
        if (networkGame) actions.recordNetworkGameEnd();
        puzzleState = 16;
        actions.disableAssistTools();
        actions.closePreviewAndOverview();
        actions.closeSortingBoxes();
        actions.centreView();
        const int r = rng.below(100);
        playEvent(r < 10 ? kSoundFinishedShort : r < 30 ? kSoundFinishedLong : kSoundPuzzleFinished);
        actions.refreshTitleAndStatus();
        completed = true;
    }
    actions.refreshStatusAndSortingBoxes();
    return completed;
}

Rect applyRemoteOutcome(PuzzleModel& model, const RemoteOutcome& o, const RemoteContext& context,
                        uint32_t& puzzleState, CompletionActions& actions, Random& rng) {
    const bool audible = o.player == context.localPlayer || context.hearOtherPlayers;
    auto sound = [&](int event) {
        if (audible) playEvent(event);
    };
    if (context.decidingMachine && o.list == ListId::Main) {
        if (o.outcome >= 0) {
            sound(kSoundJoinPieces);
        } else if (o.outcome == kOutcomeSolved) {
            sound(kSoundLockPiece);
            checkPuzzleCompletion(model, puzzleState, context.networkGame, actions, rng);
        } else {
            sound(kSoundDropPiece);
        }
        return {};
    }
    Rect dirty;
    {
        NamedLock lock(NamedMutex::PIECE);
        if (model.findGroupOfPiece(o.list, o.piece) == kNone) return {};
        dirty = wholeGroupRect(model, o.list, o.piece);
        model.moveGroup(o.list, o.piece, o.x, o.y);
        model.setGroupSelected(o.list, o.piece, false);
    }
    bool check = false;
    if (o.outcome >= 0) {
        const int32_t number = groupNumberOf(model, o.list, o.piece);
        if (number != o.outcome) {
            model.mergeGroups(o.list, o.outcome, number);
            sound(kSoundJoinPieces);
        }
    } else if (o.outcome == kOutcomeSolved) {
        if (model.listOfPiece(o.piece) != ListId::Finished) {
            model.solvePiece(o.list, o.piece, model.geometry().offsetX, model.geometry().offsetY);
            sound(kSoundLockPiece);
            check = true;
        }
    } else {
        sound(kSoundDropPiece);
    }
    dirty.unite(wholeGroupRect(model, model.listOfPiece(o.piece), o.piece));
    if (check) checkPuzzleCompletion(model, puzzleState, context.networkGame, actions, rng);
    if (o.list != ListId::Main) return {};
    return widened(dirty, 2 << context.zoomShift);
}

}  // namespace pavalo
