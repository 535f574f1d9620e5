// Tests of the undo ring: ten steps, what an undo restores, and refusals.
#include <gtest/gtest.h>

#include <map>

#include "tests/unit/test_doubles.h"
#include "common/sound_events.h"
#include "puzzle/cutter.h"
#include "puzzle/joining.h"
#include "puzzle/undo.h"

using namespace pavalo;
using pavalo::testing::MapHolders;
using pavalo::testing::RecordingSounds;

namespace {


struct Actions : UndoActions {
    int refreshed = 0;
    std::vector<SettingsRecord> restored;
    void refreshToolPalette() override { ++refreshed; }
    void restoreWindows(const SettingsRecord& r) override { restored.push_back(r); }
};


PuzzleModel cut(int cols = 5, int rows = 4) {
    Random rng(17);
    PuzzleModel m;
    std::vector<int32_t> order;
    std::string error;
    EXPECT_TRUE(runCutSequence({400, 300, cols, rows, 1280, 1024, true}, rng, m, order, error));
    return m;
}

// Everything an undo must bring back, in list order.
std::vector<std::vector<int32_t>> snapshot(const PuzzleModel& m) {
    std::vector<std::vector<int32_t>> lists;
    for (int l = 0; l < 6; ++l) {
        std::vector<int32_t> v;
        m.forEachGroup(ListId(l), [&](int32_t g) {
            v.push_back(-1 - m.groupNode(g).pieceCount);
            m.forEachMember(g, [&](int32_t p) {
                const Piece& q = m.piece(p);
                v.insert(v.end(), {p, q.x, q.y, q.rotation, m.member(p).selected});
            });
        });
        lists.push_back(v);
    }
    return lists;
}

}  // namespace

TEST(Undo, TenStepsBackThenNothing) {
    RecordingSounds sounds;
    PuzzleModel m = cut();
    SettingsRecord settings;
    UndoRing ring;
    Actions actions;
    std::vector<std::vector<std::vector<int32_t>>> before;
    for (int move = 0; move < 11; ++move) {
        before.push_back(snapshot(m));
        settings.zoomShift = move % 4;
        ring.record(settings, m, false);
        m.moveGroup(ListId::Main, move, 100 + 7 * move, 200);
        m.rotateGroup(ListId::Main, move, 1);
    }
    EXPECT_EQ(ring.available(), 10);
    for (int k = 10; k >= 1; --k) {
        ASSERT_TRUE(ring.undo(m, settings, actions));
        EXPECT_EQ(snapshot(m), before[size_t(k)]) << "undo back to before move " << k;
        EXPECT_EQ(settings.zoomShift, k % 4);
        EXPECT_TRUE(m.checkInvariants());
    }
    EXPECT_FALSE(ring.undo(m, settings, actions));
    EXPECT_EQ(sounds.played.back(), 8);
    EXPECT_EQ(std::count(sounds.played.begin(), sounds.played.end(), 23), 10);
    EXPECT_EQ(actions.refreshed, 10);
    EXPECT_EQ(actions.restored.size(), 10u);
}

TEST(Undo, RestoresGroupsAfterAJoinWithSelectionAndHolders) {
    PuzzleModel m = cut(3, 3);
    MapHolders holders;
    m.setHolderTable(&holders);
    SettingsRecord settings;
    settings.currentTool = 3;
    settings.boxOpen[2] = 1;
    m.moveGroup(ListId::Main, 4, m.toPlayX(-200), m.toPlayY(100));
    m.setGroupSelected(ListId::Main, 4, true);
    m.setGroupRotation(ListId::Main, 4, 1);
    m.movePieceToList(ListId::Box1, ListId::Main, 8);
    const auto before = snapshot(m);
    UndoRing ring;
    ring.record(settings, m, false);

    // Drop 5 beside 4 so that they join, and change the settings.
    int32_t x, y;
    m.setGroupRotation(ListId::Main, 5, 1);
    m.expectedPosition(5, 4, x, y);
    m.moveGroup(ListId::Main, 5, x + 2, y - 1);
    ASSERT_NE(joinNeighbours(m, ListId::Main, 5), -1);
    settings.boxOpen[2] = 0;
    settings.currentTool = 7;

    Actions actions;
    ASSERT_TRUE(ring.undo(m, settings, actions));
    EXPECT_EQ(snapshot(m), before);
    EXPECT_NE(m.member(4).group, m.member(5).group);
    EXPECT_EQ(settings.boxOpen[2], 1u);
    EXPECT_EQ(settings.currentTool, 7u);  // the current tool is not taken back
    EXPECT_EQ(holders.holderOf(4), 0);   // selected pieces are marked as held
    EXPECT_EQ(holders.holderOf(5), kNoHolder);
    // Group numbers follow the rebuild order.
    int32_t expected = 0;
    for (int l = 0; l < 6; ++l)
        m.forEachGroup(ListId(l), [&](int32_t g) { EXPECT_EQ(m.groupNode(g).groupNumber, expected++); });
    EXPECT_EQ(expected, 9);
    EXPECT_TRUE(m.checkInvariants());
}

TEST(Undo, RefusalsAndClearing) {
    RecordingSounds sounds;
    PuzzleModel m = cut(3, 2);
    SettingsRecord settings;
    UndoRing ring;
    Actions actions;
    ring.record(settings, m, true);  // network game: nothing recorded
    EXPECT_EQ(ring.available(), 0);
    ring.record(settings, m, false);
    EXPECT_FALSE(ring.undoFromKeyboard(kPuzzleStateCompleted, m, settings, actions));
    EXPECT_TRUE(sounds.played.empty());  // refused silently
    EXPECT_EQ(ring.available(), 1);
    ring.clear();
    EXPECT_EQ(ring.available(), 0);
    EXPECT_FALSE(ring.undoFromKeyboard(kPuzzleStateNew, m, settings, actions));
    EXPECT_EQ(sounds.played, (std::vector<int>{8}));
}
