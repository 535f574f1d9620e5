// Tests of the puzzle store: list operations, moves, selection, ordering,
// rotation, merging, and random operation sequences against a shadow model.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/random.h"
#include "puzzle/piece_mask.h"
#include "puzzle/puzzle_model.h"

using namespace pavalo;

namespace {

// A grid puzzle of rectangular pieces with a transparent top-left pixel, so
// picking can tell the mask from the box.
PuzzleModel makeGrid(int cols, int rows, int cell = 20, bool shuffle = false) {
    std::vector<Piece> pieces(size_t(cols * rows));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            Piece& p = pieces[size_t(r * cols + c)];
            p.homeX = p.x = c * cell;
            p.homeY = p.y = r * cell;
            p.width = cell;
            p.height = cell + 2;  // not square, so rotation shows
            p.mask = encodePieceMask(p.width, p.height, [](int x, int y) { return x + y > 0; });
        }
    PuzzleModel m;
    m.geometry() = {1000, 800, cols * cell, rows * cell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), rows, cols);
    if (shuffle) {
        Random rng(7);
        m.shuffleInitialGroups(rng);
    }
    return m;
}

std::vector<int32_t> groupOrder(const PuzzleModel& m, ListId list) {
    std::vector<int32_t> firsts;
    m.forEachGroup(list, [&](int32_t g) { firsts.push_back(m.groupNode(g).firstMember); });
    return firsts;
}

}  // namespace

TEST(PuzzleModel, InitialListsAndShuffle) {
    PuzzleModel m = makeGrid(6, 5, 20, false);
    ASSERT_TRUE(m.checkInvariants());
    EXPECT_EQ(m.countListGroups(ListId::Main), 30);
    for (int l = 1; l < kListCount; ++l) EXPECT_EQ(m.countListGroups(ListId(l)), 0);
    // Node i holds piece i, numbered i, in head-to-tail order.
    int i = 0;
    m.forEachGroup(ListId::Main, [&](int32_t g) {
        EXPECT_EQ(g, i);
        EXPECT_EQ(m.groupNode(g).groupNumber, i);
        EXPECT_EQ(m.groupNode(g).firstMember, i);
        ++i;
    });

    PuzzleModel a = makeGrid(6, 5, 20, true), b = makeGrid(6, 5, 20, true);
    ASSERT_TRUE(a.checkInvariants());
    // Shuffling exchanges members; group numbers stay with the nodes.
    std::set<int32_t> seen;
    int moved = 0;
    a.forEachGroup(ListId::Main, [&](int32_t g) {
        EXPECT_EQ(a.groupNode(g).groupNumber, g);
        seen.insert(a.groupNode(g).firstMember);
        moved += a.groupNode(g).firstMember != g;
    });
    EXPECT_EQ(seen.size(), 30u);
    EXPECT_GT(moved, 20);
    EXPECT_EQ(groupOrder(a, ListId::Main), groupOrder(b, ListId::Main));  // same seed, same order
}

TEST(PuzzleModel, MovesKeepGroupsTogetherAndInsideTheRegion) {
    PuzzleModel m = makeGrid(4, 4);
    m.mergeGroups(ListId::Main, 0, 1);  // pieces 0 and 1 now move together
    const Piece& p0 = m.piece(0);
    const Piece& p1 = m.piece(1);
    m.moveGroup(ListId::Main, 1, 500, 400);
    EXPECT_EQ(p1.x, 500);
    EXPECT_EQ(p1.y, 400);
    EXPECT_EQ(p0.x, 480);
    EXPECT_EQ(p0.y, 400);

    // The allowed region reaches one picture size beyond the picture, whose
    // top-left is at W/2 - 80/2 = 460, 400 - 40 = 360.
    m.moveGroup(ListId::Main, 1, -5000, 400);
    EXPECT_EQ(p0.x, 460 - 80);  // group box flush with the region's left edge
    EXPECT_EQ(p1.x - p0.x, 20);
    m.moveGroup(ListId::Main, 0, 5000, 5000);
    EXPECT_EQ(p1.x + p1.width, 460 + 160);
    EXPECT_EQ(p0.y + p0.height, 360 + 160);

    // Outside the Main list there is no region; in the Finished list pieces
    // always go to their solved places.
    m.movePieceToList(ListId::Box1, ListId::Main, 5);
    m.moveGroup(ListId::Box1, 5, -5000, -5000);
    EXPECT_EQ(m.piece(5).x, -5000);
    m.solvePiece(ListId::Main, 6, 0, 0);
    m.moveGroup(ListId::Finished, 6, 3, 3);
    EXPECT_EQ(m.piece(6).x, 460 + 40);
    m.moveGroup(ListId::None, 6, 3, 3);
    EXPECT_EQ(m.piece(6).x, 460 + 40);
    m.moveGroup(ListId::None, 7, 3, 4);  // only the one piece
    EXPECT_EQ(m.piece(7).x, 3);
    // A piece not in the list does nothing.
    m.moveGroup(ListId::Box2, 7, 100, 100);
    EXPECT_EQ(m.piece(7).x, 3);
}

// A picture as large as the play area, so the region rule never interferes.
void fillPlayArea(PuzzleModel& m) {
    m.geometry().pictureWidth = m.geometry().playWidth;
    m.geometry().pictureHeight = m.geometry().playHeight;
}

TEST(PuzzleModel, MoveSelectedByRefusesToLeaveThePlayArea) {
    PuzzleModel m = makeGrid(3, 3);
    fillPlayArea(m);
    m.setGroupSelected(ListId::Main, 0, true);
    m.setGroupSelected(ListId::Main, 4, true);
    Rect dirty;
    // Piece 0 sits at x = 0; moving left would take it off the play area.
    EXPECT_EQ(m.moveSelectedBy(ListId::Main, -1, 0, &dirty, true), 0);
    EXPECT_EQ(m.piece(0).x, 0);
    EXPECT_EQ(m.piece(4).x, 20);
    EXPECT_TRUE(dirty.empty());
    EXPECT_EQ(m.moveSelectedBy(ListId::Main, 5, 6, &dirty, true), 1);
    EXPECT_EQ(m.piece(0).x, 5);
    EXPECT_EQ(m.piece(4).y, 26);
    EXPECT_EQ(m.piece(1).x, 20);  // unselected stays
    EXPECT_EQ(dirty, (Rect{0, 0, 45, 48}));
    // Without the check the same move is allowed.
    EXPECT_EQ(m.moveSelectedBy(ListId::Main, -100, 0, nullptr, false), 1);
}

TEST(PuzzleModel, SelectionCountsAndEmptiedGroups) {
    PuzzleModel m = makeGrid(3, 3);
    m.mergeGroups(ListId::Main, 4, 5);
    m.mergeGroups(ListId::Main, 4, 1);
    EXPECT_EQ(m.countListGroups(ListId::Main), 9);  // emptied nodes still count
    EXPECT_EQ(m.countListPieces(ListId::Main), 9);
    EXPECT_EQ(m.toggleGroupSelection(ListId::Main, 5), 3);
    EXPECT_EQ(m.countSelectedPieces(ListId::Main), 3);
    EXPECT_EQ(m.countSelectedGroups(ListId::Main), 1);
    EXPECT_TRUE(m.isSelected(ListId::Main, 1));
    EXPECT_FALSE(m.isSelected(ListId::Box1, 1));
    EXPECT_EQ(m.setGroupSelected(ListId::Main, 4, true), 0);
    Rect dirty;
    EXPECT_EQ(m.setAllSelected(ListId::Main, true, &dirty), 6);
    EXPECT_EQ(m.setAllSelected(ListId::Main, false, nullptr), 9);
    m.setGroupSelected(ListId::Main, 4, true);
    // Moving selected groups skips the emptied nodes.
    EXPECT_EQ(m.moveSelectedPiecesToList(ListId::Box2, ListId::Main), 1);
    EXPECT_EQ(m.countListPieces(ListId::Box2), 3);
    EXPECT_EQ(m.countListGroups(ListId::Box2), 1);
    EXPECT_EQ(m.countListGroups(ListId::Main), 8);
    EXPECT_TRUE(m.checkInvariants());
}

TEST(PuzzleModel, MergePlacesMembersBesideTheKeptGroup) {
    PuzzleModel m = makeGrid(3, 3);
    m.piece(1).x += 3;  // a small error in the drop
    m.piece(1).y -= 2;
    m.setGroupSelected(ListId::Main, 0, true);
    m.mergeGroups(ListId::Main, 1, 0);
    EXPECT_EQ(m.piece(0).x, m.piece(1).x - 20);
    EXPECT_EQ(m.piece(0).y, m.piece(1).y);
    EXPECT_FALSE(m.isSelected(ListId::Main, 0));  // takes the kept group's flag
    EXPECT_EQ(m.groupNode(m.findGroupOfPiece(ListId::Main, 0)).groupNumber, 1);
    // Unknown numbers, other lists and self-merges do nothing.
    m.mergeGroups(ListId::Main, 1, 77);
    m.mergeGroups(ListId::Box1, 1, 2);
    m.mergeGroups(ListId::Main, 1, 1);
    EXPECT_EQ(m.countListPieces(ListId::Main), 9);
    EXPECT_TRUE(m.checkInvariants());
}

TEST(PuzzleModel, OrderingOperations) {
    PuzzleModel m = makeGrid(5, 1);  // order from head: 0 1 2 3 4
    m.bringGroupToFront(ListId::Main, 3);
    EXPECT_EQ(groupOrder(m, ListId::Main), (std::vector<int32_t>{3, 0, 1, 2, 4}));
    m.setGroupSelected(ListId::Main, 1, true);
    m.setGroupSelected(ListId::Main, 4, true);
    m.bringSelectedToFront(ListId::Main);
    EXPECT_EQ(groupOrder(m, ListId::Main), (std::vector<int32_t>{4, 1, 3, 0, 2}));
    // Clusters sink below groups at least as large; single pieces rise.
    m.mergeGroups(ListId::Main, 0, 2);  // group of 0 and 2 (number 0)
    EXPECT_TRUE(m.settleGroupOrder(ListId::Main, 2));
    EXPECT_EQ(groupOrder(m, ListId::Main)[4], 0);  // no group as large: to the tail
    m.mergeGroups(ListId::Main, 4, 1);
    m.mergeGroups(ListId::Main, 4, 3);  // group of 3 ahead of it
    m.settleGroupOrder(ListId::Main, 0);
    std::vector<int32_t> order = groupOrder(m, ListId::Main);
    auto pos = [&](int32_t piece) { return std::find(order.begin(), order.end(), piece) - order.begin(); };
    EXPECT_EQ(pos(0), pos(4) - 1);  // just ahead of the larger group
    EXPECT_FALSE(m.settleGroupOrder(ListId::Main, 0));  // already there
    EXPECT_TRUE(m.checkInvariants());
}

// Equal sizes decide the place: a cluster settles just ahead of the first
// other group at least as large (an equal one included, never itself), and a
// group moved to another list lies at that list's head.
TEST(PuzzleModel, EqualSizedGroupsAndMovesBetweenListsOrderTheStack) {
    PuzzleModel m = makeGrid(8, 1);  // order from head: 0 .. 7
    m.mergeGroups(ListId::Main, 1, 2);  // {1, 2}
    m.mergeGroups(ListId::Main, 3, 4);
    m.mergeGroups(ListId::Main, 3, 5);  // {3, 4, 5}
    m.mergeGroups(ListId::Main, 6, 7);  // {6, 7} at the tail
    auto nonEmpty = [&](ListId list) {
        std::vector<int32_t> firsts;
        for (int32_t f : groupOrder(m, list))
            if (f != kNone) firsts.push_back(f);
        return firsts;
    };
    ASSERT_EQ(nonEmpty(ListId::Main), (std::vector<int32_t>{0, 1, 3, 6}));
    EXPECT_TRUE(m.settleGroupOrder(ListId::Main, 7));
    EXPECT_EQ(nonEmpty(ListId::Main), (std::vector<int32_t>{0, 6, 1, 3}));  // ahead of {1, 2}
    // Already ahead of its equal: it stays, though it is as large as itself.
    EXPECT_FALSE(m.settleGroupOrder(ListId::Main, 6));
    EXPECT_EQ(nonEmpty(ListId::Main), (std::vector<int32_t>{0, 6, 1, 3}));
    EXPECT_TRUE(m.checkInvariants());

    m.movePieceToList(ListId::Box2, ListId::Main, 3);
    m.movePieceToList(ListId::Box2, ListId::Main, 0);
    EXPECT_EQ(nonEmpty(ListId::Box2), (std::vector<int32_t>{0, 3}));
    m.movePieceToList(ListId::Box2, ListId::Main, 2);
    EXPECT_EQ(nonEmpty(ListId::Box2), (std::vector<int32_t>{1, 0, 3}));
    m.movePieceToList(ListId::Main, ListId::Box2, 4);
    EXPECT_EQ(nonEmpty(ListId::Main).front(), 3);
    EXPECT_TRUE(m.checkInvariants());
}

TEST(PuzzleModel, TransfersAndSolving) {
    PuzzleModel m = makeGrid(3, 2);
    m.movePieceToList(ListId::Main, ListId::Main, 2);
    EXPECT_EQ(groupOrder(m, ListId::Main).front(), 0);  // same list: nothing changes
    m.movePieceToList(ListId::Box3, ListId::Box1, 2);  // not in the source
    EXPECT_EQ(m.listOfPiece(2), ListId::Main);
    m.movePieceToList(ListId::Box3, ListId::Main, 2);
    EXPECT_EQ(m.listOfPiece(2), ListId::Box3);

    m.mergeGroups(ListId::Main, 3, 4);
    m.setGroupRotation(ListId::Main, 3, 1);
    m.setGroupSelected(ListId::Main, 3, true);
    EXPECT_EQ(m.solvePiece(ListId::Main, 4, 10, -5), 2);
    const int32_t baseX = 500 - 30 + 10, baseY = 400 - 20 - 5;
    EXPECT_EQ(m.piece(3).x, baseX + m.piece(3).homeX);
    EXPECT_EQ(m.piece(4).y, baseY + m.piece(4).homeY);
    EXPECT_EQ(m.piece(3).rotation, 0);
    EXPECT_FALSE(m.isSelected(ListId::Finished, 3));
    EXPECT_EQ(m.listOfPiece(3), ListId::Finished);
    EXPECT_EQ(m.solvePiece(ListId::Main, 3, 0, 0), 0);  // no longer there

    m.setGroupSelected(ListId::Main, 0, true);
    m.setGroupSelected(ListId::Main, 5, true);
    EXPECT_EQ(m.solveSelectedPieces(ListId::Main), 2);
    EXPECT_EQ(m.countListPieces(ListId::Finished), 4);
    EXPECT_TRUE(m.checkInvariants());
}

TEST(PuzzleModel, RotationTurnsTheGroupAboutThePivot) {
    PuzzleModel m = makeGrid(3, 3);
    m.mergeGroups(ListId::Main, 4, 5);
    m.mergeGroups(ListId::Main, 4, 7);
    const Rect start = m.piece(4).box();
    for (int k = 1; k <= 4; ++k) {
        m.rotateGroup(ListId::Main, 4, 1);
        EXPECT_EQ(m.piece(4).rotation, k & 3);
        EXPECT_EQ(m.piece(5).rotation, k & 3);
        // Pivot's top-left stays put.
        EXPECT_EQ(m.piece(4).x, start.left);
        EXPECT_EQ(m.piece(4).y, start.top);
    }
    EXPECT_EQ(m.piece(4).box(), start);
    EXPECT_EQ(m.piece(5).x, start.left + 20);
    // At rotation 1 the right neighbour ends up below the pivot, the lower
    // neighbour to its left.
    m.rotateGroup(ListId::Main, 4, 1);
    EXPECT_EQ(m.piece(5).x, start.left);
    EXPECT_EQ(m.piece(5).y, start.top + 20);
    EXPECT_EQ(m.piece(7).x, start.left - 20);
    EXPECT_EQ(m.piece(7).y, start.top);
    m.rotateGroup(ListId::Main, 4, -1);
    EXPECT_EQ(m.piece(4).rotation, 0);
    m.rotateGroup(ListId::Main, 4, 1);
    m.rotateGroup(ListId::Main, 4, 0);
    EXPECT_EQ(m.piece(4).rotation, 0);
    EXPECT_EQ(m.piece(5).x, start.left + 20);
}

TEST(PuzzleModel, PickingFollowsTheMaskAndTheStack) {
    PuzzleModel m = makeGrid(2, 1);
    fillPlayArea(m);
    m.moveGroup(ListId::Main, 1, 0, 0);  // piece 1 now exactly over piece 0
    EXPECT_EQ(m.findPieceAtPoint(ListId::Main, 5, 5), 0);  // 0 is nearer the head
    m.bringGroupToFront(ListId::Main, 1);
    EXPECT_EQ(m.findPieceAtPoint(ListId::Main, 5, 5), 1);
    m.moveGroup(ListId::Main, 0, 100, 100);
    m.moveGroup(ListId::Main, 1, 200, 200);
    EXPECT_EQ(m.findPieceAtPoint(ListId::Main, 100, 100), -1);  // the hole at the mask's corner
    EXPECT_EQ(m.findPieceAtPoint(ListId::Main, 101, 100), 0);
    // Rotated one turn, the mask's top-left corner is drawn at the top right.
    m.setGroupRotation(ListId::Main, 0, 1);
    EXPECT_EQ(m.piece(0).box(), (Rect{100, 100, 122, 120}));
    EXPECT_EQ(m.findPieceAtPoint(ListId::Main, 121, 100), -1);
    EXPECT_EQ(m.findPieceAtPoint(ListId::Main, 100, 100), 0);
    EXPECT_EQ(m.findPieceAtPoint(ListId::Main, 122, 100), -1);
    EXPECT_EQ(m.findPieceAtPoint(ListId::Box1, 101, 101), -1);

    Rect r;
    EXPECT_TRUE(m.getPieceRect(ListId::Main, 0, r, false));
    EXPECT_EQ(r, (Rect{100, 100, 122, 120}));
    EXPECT_FALSE(m.getPieceRect(ListId::Box1, 0, r, true));
    EXPECT_EQ(m.listBoundingBox(ListId::Main), (Rect{100, 100, 220, 222}));
}

// Random operation sequences against a shadow model of which list holds each
// piece and which pieces form a group; the model's own invariant check runs
// after every step.
TEST(PuzzleModel, RandomOperationSequencesKeepTheInvariants) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        PuzzleModel m = makeGrid(6, 5, 20, true);
        const int n = m.pieceCount();
        std::vector<ListId> shadowList(static_cast<size_t>(n), ListId::Main);
        std::vector<int> shadowGroup(static_cast<size_t>(n));  // a representative per group
        for (int i = 0; i < n; ++i) shadowGroup[size_t(i)] = i;
        auto sameGroup = [&](int a, int b) { return shadowGroup[size_t(a)] == shadowGroup[size_t(b)]; };
        auto setListOfGroup = [&](int piece, ListId l) {
            for (int i = 0; i < n; ++i)
                if (sameGroup(i, piece)) shadowList[size_t(i)] = l;
        };
        Random rng(seed);
        for (int step = 0; step < 400; ++step) {
            const int p = rng.below(n), q = rng.below(n);
            const ListId lp = shadowList[size_t(p)];
            const ListId target = ListId(rng.below(6));
            switch (rng.below(9)) {
                case 0:
                    m.moveGroup(lp, p, rng.below(1200) - 100, rng.below(1000) - 100);
                    break;
                case 1:
                    m.movePieceToList(target, lp, p);
                    if (target != lp) setListOfGroup(p, target);
                    break;
                case 2:
                    if (lp == shadowList[size_t(q)] && lp != ListId::Finished) {
                        int32_t gp = m.findGroupOfPiece(lp, p), gq = m.findGroupOfPiece(lp, q);
                        m.mergeGroups(lp, m.groupNode(gp).groupNumber, m.groupNode(gq).groupNumber);
                        int from = shadowGroup[size_t(q)], to = shadowGroup[size_t(p)];
                        for (auto& g : shadowGroup)
                            if (g == from) g = to;
                    }
                    break;
                case 3: m.toggleGroupSelection(lp, p); break;
                case 4: {
                    // Groups whose first member is selected move, and only they.
                    std::set<int> groupsToMove;
                    for (int i = 0; i < n; ++i) {
                        if (shadowList[size_t(i)] != lp) continue;
                        int32_t g = m.member(i).group;
                        if (m.member(m.groupNode(g).firstMember).selected) groupsToMove.insert(g);
                    }
                    int moved = m.moveSelectedPiecesToList(target, lp);
                    EXPECT_EQ(moved, target != lp ? int(groupsToMove.size()) : 0);
                    if (target != lp)
                        for (int i = 0; i < n; ++i)
                            if (groupsToMove.count(m.member(i).group)) shadowList[size_t(i)] = target;
                    break;
                }
                case 5: m.rotateGroup(lp, p, rng.below(3) - 1); break;
                case 6: m.settleGroupOrder(lp, p); break;
                case 7:
                    if (lp != ListId::Finished) {
                        m.solvePiece(lp, p, 0, 0);
                        setListOfGroup(p, ListId::Finished);
                    }
                    break;
                case 8: m.bringSelectedToFront(lp); break;
            }
            std::string why;
            ASSERT_TRUE(m.checkInvariants(&why)) << "seed " << seed << " step " << step << ": " << why;
            for (int i = 0; i < n; ++i) ASSERT_EQ(m.listOfPiece(i), shadowList[size_t(i)]) << "piece " << i;
            int32_t total = 0;
            for (int l = 0; l < kListCount; ++l) total += m.countListPieces(ListId(l));
            ASSERT_EQ(total, n);
            // Group membership matches the shadow.
            ASSERT_EQ(m.member(p).group == m.member(q).group, sameGroup(p, q));
        }
    }
}
