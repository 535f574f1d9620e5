// Recording and restoring arrangements of the pieces.
#include "puzzle/undo.h"

#include "common/named_mutex.h"
#include "common/sound_events.h"

namespace pavalo {
namespace {
constexpr int kNothingToUndoSound = 8;
constexpr int kUndoSound = 23;
constexpr int kRecordedLists = 6;  // Main, Finished, boxes 1..4; not Extra
}  // namespace

void UndoRing::record(const SettingsRecord& settings, const PuzzleModel& model, bool networkGame) {
    if (networkGame) return;
    NamedLock undoLock(NamedMutex::UNDO);
    count_ = std::min(count_ + 1, kUndoSteps);
    index_ = (index_ + 1) % kUndoSteps;
    Slot& slot = slots_[size_t(index_)];
    slot.used = true;
    slot.settings = settings;
    NamedLock pieceLock(NamedMutex::PIECE);
    for (int li = 0; li < kRecordedLists; ++li) {
        auto& sizes = slot.groupSizes[size_t(li)];
        auto& members = slot.members[size_t(li)];
        sizes.clear();
        members.clear();
        model.forEachGroup(ListId(li), [&](int32_t g) {
            sizes.push_back(model.groupNode(g).pieceCount);
            model.forEachMember(g, [&](int32_t m) {
                const Piece& p = model.piece(m);
                members.push_back({m, p.x, p.y, p.rotation, model.member(m).selected});
            });
        });
    }
}

bool UndoRing::undo(PuzzleModel& model, SettingsRecord& settings, UndoActions& actions) {
    NamedLock undoLock(NamedMutex::UNDO);
    if (count_ == 0 || index_ < 0 || !slots_[size_t(index_)].used) {
        playEvent(kNothingToUndoSound);
        return false;
    }
    NamedLock pieceLock(NamedMutex::PIECE);
    --count_;
    playEvent(kUndoSound);
    Slot& slot = slots_[size_t(index_)];
    // The pieces that are not recorded (the Extra list) stay where they are.
    std::vector<int32_t> extra;
    model.forEachGroup(ListId::Extra, [&](int32_t g) { model.forEachMember(g, [&](int32_t m) { extra.push_back(m); }); });
    model.clearGroups();
    int32_t number = 0;
    HolderTable& holders = model.holders();
    for (int li = 0; li < kRecordedLists; ++li) {
        size_t next = 0;
        const auto& members = slot.members[size_t(li)];
        for (int32_t size : slot.groupSizes[size_t(li)]) {
            const int32_t g = model.appendGroup(ListId(li), number++);
            for (int32_t k = 0; k < size && next < members.size(); ++k, ++next) {
                const Member& m = members[next];
                model.appendMember(g, m.piece, m.selected != 0);
                Piece& p = model.piece(m.piece);
                p.x = m.x;
                p.y = m.y;
                p.rotation = m.rotation;
                holders.setHolder(m.piece, m.selected ? 0 : kNoHolder);
            }
        }
    }
    for (int32_t piece : extra) model.appendMember(model.appendGroup(ListId::Extra, number++), piece, false);

    const uint32_t tool = settings.currentTool;
    settings = slot.settings;
    settings.currentTool = tool;
    actions.refreshToolPalette();
    slot = Slot{};
    index_ = (index_ + kUndoSteps - 1) % kUndoSteps;
    actions.restoreWindows(settings);
    return true;
}

bool UndoRing::undoFromKeyboard(uint32_t puzzleState, PuzzleModel& model, SettingsRecord& settings,
                                UndoActions& actions) {
    if (puzzleState == kPuzzleStateCompleted) return false;
    return undo(model, settings, actions);
}

void UndoRing::clear() {
    NamedLock undoLock(NamedMutex::UNDO);
    for (Slot& s : slots_) s = Slot{};
    index_ = -1;
    count_ = 0;
}

int UndoRing::available() const {
    NamedLock undoLock(NamedMutex::UNDO);
    return count_;
}

}  // namespace pavalo
