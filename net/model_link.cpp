// The model's side of the holder table.
#include "net/model_link.h"

#include <algorithm>

#include "common/named_mutex.h"

namespace pavalo::net {

namespace {
int16_t to16(int32_t v) { return int16_t(std::clamp(v, -32768, 32767)); }
}  // namespace

HolderRecord PuzzleHolderModel::pieceRecord(int piece) const {
    HolderRecord r;
    NamedLock lock(NamedMutex::PIECE);
    if (!model_.validPiece(piece)) return r;
    r.pieceId = uint32_t(piece);
    const Piece& p = model_.piece(piece);
    r.x = to16(model_.toPictureX(p.x));
    r.y = to16(model_.toPictureY(p.y));
    const int32_t g = model_.member(piece).group;
    uint32_t number = 0, code = 2;
    if (g != kNone) {
        number = uint32_t(model_.groupNode(g).groupNumber);
        code = listCode(model_.groupNode(g).list);
    }
    r.placement = makePlacement(number, code, uint32_t(p.rotation));
    return r;
}

std::vector<int> PuzzleHolderModel::groupMembers(int piece) const {
    std::vector<int> out;
    NamedLock lock(NamedMutex::PIECE);
    if (!model_.validPiece(piece)) return out;
    const int32_t g = model_.member(piece).group;
    if (g == kNone) return {piece};
    model_.forEachMember(g, [&](int32_t m) { out.push_back(m); });
    return out;
}

std::vector<int> PuzzleHolderModel::mainListGroups() const {
    std::vector<int> out;
    NamedLock lock(NamedMutex::PIECE);
    model_.forEachGroup(ListId::Main, [&](int32_t g) {
        const int32_t first = model_.groupNode(g).firstMember;
        if (first != kNone) out.push_back(first);
    });
    return out;
}

void PuzzleHolderModel::markChanged(int piece) {
    NamedLock lock(NamedMutex::PIECE);
    if (piece < 0) return;
    if (changed_.size() < size_t(model_.pieceCount())) changed_.resize(size_t(model_.pieceCount()), 0);
    if (size_t(piece) < changed_.size()) changed_[size_t(piece)] = 1;
    if (ChangeListener* l = listener_.load()) l->pieceChanged(piece);
}

std::vector<int> PuzzleHolderModel::takeChanged() {
    NamedLock lock(NamedMutex::PIECE);
    std::vector<int> out;
    for (size_t i = 0; i < changed_.size(); ++i)
        if (changed_[i]) {
            out.push_back(int(i));
            changed_[i] = 0;
        }
    return out;
}

}  // namespace pavalo::net
