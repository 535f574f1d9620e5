// The hit test of the play-area view and the sorting boxes.
#include "puzzle/hit_code.h"

#include "common/named_mutex.h"

namespace pavalo {

HitCode hitTest(const PuzzleModel& model, int box, int32_t x, int32_t y) {
    NamedLock lock(NamedMutex::PIECE);
    const bool inBox = box >= 0 && box < 4;
    ListId list = inBox ? sortingBoxList(box + 1) : ListId::Main;
    int32_t piece = model.findPieceAtPoint(list, x, y);
    if (piece == kNone && !inBox) {
        list = ListId::Finished;
        piece = model.findPieceAtPoint(list, x, y);
    }
    uint32_t flags = 0;
    if (piece != kNone) {
        flags |= model.isSelected(list, piece) ? HitCode::kSelected : HitCode::kNotSelected;
        if (list == ListId::Finished) flags |= HitCode::kFinished;
    }
    return inBox ? HitCode::sortingBox(box, piece, flags) : HitCode::playArea(piece, flags);
}

}  // namespace pavalo
