// Remote drags gliding between the positions received.
#include "net/drag_glide.h"

#include <algorithm>

#include "common/named_mutex.h"

namespace pavalo::net {

void DragGlides::start(PuzzleModel& model, int32_t piece, Point from, Point to, int slot, uint32_t nowMs) {
    NamedLock lock(NamedMutex::PIECE);
    auto it = std::find_if(glides_.begin(), glides_.end(), [&](const Glide& g) { return g.piece == piece; });
    // A glide under way goes on from where it has got to.
    if (it != glides_.end()) {
        from = {model.piece(piece).x, model.piece(piece).y};
        glides_.erase(it);
    }
    if (from == to) return;
    model.moveGroup(ListId::Main, piece, from.x, from.y);
    glides_.push_back({piece, from, to, slot, nowMs});
}

Rect DragGlides::step(PuzzleModel& model, uint32_t nowMs) {
    NamedLock lock(NamedMutex::PIECE);
    Rect dirty;
    for (auto it = glides_.begin(); it != glides_.end();) {
        const Glide& g = *it;
        if (model.findGroupOfPiece(ListId::Main, g.piece) == kNone || model.holders().holderOf(g.piece) != g.slot) {
            it = glides_.erase(it);
            continue;
        }
        const uint32_t t = std::min(nowMs - g.start, kGlideMs);
        const int32_t x = g.from.x + int32_t((int64_t(g.to.x) - g.from.x) * t / kGlideMs);
        const int32_t y = g.from.y + int32_t((int64_t(g.to.y) - g.from.y) * t / kGlideMs);
        Rect r;
        model.getPieceRect(ListId::Main, g.piece, r, true);
        dirty.unite(r);
        model.moveGroup(ListId::Main, g.piece, x, y);
        model.getPieceRect(ListId::Main, g.piece, r, true);
        dirty.unite(r);
        it = t >= kGlideMs ? glides_.erase(it) : it + 1;
    }
    return dirty;
}

bool DragGlides::active() const {
    NamedLock lock(NamedMutex::PIECE);
    return !glides_.empty();
}

}  // namespace pavalo::net
