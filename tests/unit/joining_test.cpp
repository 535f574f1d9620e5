// Tests of joining, the snap into place, drops with their reports, remote
// outcomes and the completion of a puzzle.
#include <gtest/gtest.h>

#include <map>

#include "tests/unit/test_doubles.h"
#include "common/sound_events.h"
#include "puzzle/joining.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;
using pavalo::testing::MapHolders;
using pavalo::testing::RecordingSounds;

namespace {

constexpr int kCell = 40;

// A cols x rows puzzle of square pieces whose picture sits at the play
// area's centre; every piece starts far from its place, unrotated.
PuzzleModel makePuzzle(int cols, int rows, int tolerance = 7) {
    std::vector<Piece> pieces(static_cast<size_t>(cols * rows));
    for (int i = 0; i < cols * rows; ++i) {
        Piece& p = pieces[size_t(i)];
        p.homeX = (i % cols) * kCell;
        p.homeY = (i / cols) * kCell;
        p.width = p.height = kCell;
        p.mask = encodePieceMask(kCell, kCell, [](int, int) { return true; });
        // Inside the region around the picture, but far from fitting anywhere.
        p.x = 1330 + 37 * i;
        p.y = 830 + 17 * i;
    }
    PuzzleModel m;
    m.geometry() = {3000, 2000, cols * kCell, rows * kCell, 0, 0, tolerance};
    m.createFromPieces(std::move(pieces), rows, cols);
    return m;
}

// Puts piece a at (dx, dy) off its expected place beside b.
void placeBeside(PuzzleModel& m, int a, int b, int dx, int dy) {
    int32_t x, y;
    m.expectedPosition(a, b, x, y);
    m.moveGroup(ListId::None, a, x + dx, y + dy);
}

struct RecordingReporter : DropReporter {
    std::vector<std::string> log;
    void reportJoin(int player, int32_t piece, int32_t group, ListId list) override {
        log.push_back("join " + std::to_string(player) + " " + std::to_string(piece) + " " +
                      std::to_string(group) + " " + listName(list));
    }
    void reportPlacement(int player, int32_t piece, int32_t count) override {
        log.push_back("place " + std::to_string(player) + " " + std::to_string(piece) + " " + std::to_string(count));
    }
    void reportDrop(int player, int32_t piece) override {
        log.push_back("drop " + std::to_string(player) + " " + std::to_string(piece));
    }
    void pauseBetweenReports() override { log.push_back("pause"); }
};


struct RecordingActions : CompletionActions {
    std::vector<std::string> log;
    void recordNetworkGameEnd() override { log.push_back("scores"); }
    void disableAssistTools() override { log.push_back("tools"); }
    void closePreviewAndOverview() override { log.push_back("preview"); }
    void closeSortingBoxes() override { log.push_back("boxes"); }
    void centreView() override { log.push_back("centre"); }
    void refreshTitleAndStatus() override { log.push_back("title"); }
    void refreshStatusAndSortingBoxes() override { log.push_back("status"); }
};


}  // namespace

TEST(Joining, ToleranceIsInclusive) {
    PuzzleModel m = makePuzzle(3, 3, 7);
    EXPECT_TRUE(gridNeighbours(m, 0, 1));
    EXPECT_TRUE(gridNeighbours(m, 1, 4));
    EXPECT_FALSE(gridNeighbours(m, 2, 3));  // end of one row, start of the next
    EXPECT_FALSE(gridNeighbours(m, 0, 4));  // diagonal
    placeBeside(m, 1, 0, 7, -7);
    EXPECT_TRUE(neighbourFits(m, 1, 0));
    placeBeside(m, 1, 0, 8, 0);
    EXPECT_FALSE(neighbourFits(m, 1, 0));
    EXPECT_EQ(joinNeighbours(m, ListId::Main, 1), -1);
    placeBeside(m, 1, 0, 0, -8);
    EXPECT_FALSE(neighbourFits(m, 1, 0));
    // Different rotations never join, even with boxes lined up.
    placeBeside(m, 1, 0, 0, 0);
    m.setPieceRotation(1, 2);
    EXPECT_FALSE(neighbourFits(m, 1, 0));
    // Rotated together, the expected position turns with them.
    m.setPieceRotation(0, 2);
    placeBeside(m, 1, 0, 3, 3);
    EXPECT_TRUE(neighbourFits(m, 1, 0));
    EXPECT_LT(m.piece(1).x, m.piece(0).x);  // at rotation 2 the right neighbour is on the left
}

TEST(Joining, JoinsOneGroupPerCallAndPlacesMembersExactly) {
    PuzzleModel m = makePuzzle(3, 3, 7);
    // Piece 4 fits both 3 (left) and 5 (right); 3 lies nearer the head.
    placeBeside(m, 3, 4, 0, 0);
    placeBeside(m, 5, 4, 0, 0);
    m.moveGroup(ListId::Main, 4, m.piece(4).x + 5, m.piece(4).y - 3);  // a small error in the drop
    const int32_t n3 = m.groupNode(m.member(3).group).groupNumber;
    const int32_t n5 = m.groupNode(m.member(5).group).groupNumber;
    EXPECT_EQ(joinNeighbours(m, ListId::Main, 4), n3);
    EXPECT_EQ(m.piece(4).x, m.piece(3).x + kCell);  // snapped onto 3 exactly
    EXPECT_EQ(m.piece(4).y, m.piece(3).y);
    EXPECT_EQ(joinNeighbours(m, ListId::Main, 4), n5);  // the enlarged group joins 5
    EXPECT_EQ(joinNeighbours(m, ListId::Main, 4), -1);
    const int32_t g = m.member(4).group;
    EXPECT_EQ(m.groupNode(g).pieceCount, 3);
    EXPECT_EQ(m.groupNode(g).groupNumber, n5);
    EXPECT_EQ(m.piece(3).x + kCell, m.piece(4).x);
    EXPECT_EQ(m.piece(4).x + kCell, m.piece(5).x);
    EXPECT_EQ(m.countListGroups(ListId::Main), 9);  // emptied nodes stay
    EXPECT_TRUE(m.checkInvariants());
    // Nothing joins in the Finished list.
    EXPECT_EQ(joinNeighbours(m, ListId::Finished, 4), -1);
    EXPECT_EQ(joinNeighbours(m, ListId::Box1, 4), -1);
}

// Two groups of one list with one number: a join must still merge exactly
// the fitting group (never another group of that number) and, once merged,
// report no further join, or a drop would repeat the same join for ever.
TEST(Joining, RepeatedGroupNumbersStillJoinTheFittingGroupOnce) {
    for (const bool numberedLikeTheTarget : {true, false}) {
        PuzzleModel grid = makePuzzle(3, 1, 7);
        std::vector<Piece> pieces(grid.pieces().begin(), grid.pieces().end());
        PuzzleModel m;
        m.geometry() = grid.geometry();
        m.createEmpty(std::move(pieces), 1, 3);
        // Head to tail: piece 2 (number 5), piece 0, piece 1 (number 5).
        // Piece 1 fits beside piece 0; piece 2 lies far from everything.
        m.appendMember(m.appendGroup(ListId::Main, 5), 2, false);
        m.appendMember(m.appendGroup(ListId::Main, numberedLikeTheTarget ? 5 : 3), 0, false);
        m.appendMember(m.appendGroup(ListId::Main, 5), 1, false);
        ASSERT_TRUE(m.checkInvariants());
        placeBeside(m, 1, 0, 2, -1);
        const int32_t target = m.member(0).group;
        EXPECT_EQ(joinNeighbours(m, ListId::Main, 1), m.groupNode(target).groupNumber);
        EXPECT_EQ(m.member(1).group, target);
        EXPECT_EQ(m.piece(1).x, m.piece(0).x + kCell);
        EXPECT_EQ(m.groupNode(m.member(2).group).pieceCount, 1);
        EXPECT_EQ(joinNeighbours(m, ListId::Main, 1), -1);
        EXPECT_TRUE(m.checkInvariants());
    }
}

TEST(Joining, SnapToSolvedNeedsUprightAndStrictlyUnderTwiceTheTolerance) {
    PuzzleModel m = makePuzzle(2, 2, 10);
    auto solvedX = [&](int p) { return m.solvedX(p); };
    m.moveGroup(ListId::Main, 0, solvedX(0) + 19, m.solvedY(0) - 19);
    EXPECT_EQ(snapToSolved(m, ListId::Main, 0, 0, 0), 1);
    EXPECT_EQ(m.listOfPiece(0), ListId::Finished);
    EXPECT_EQ(m.piece(0).x, solvedX(0));
    m.moveGroup(ListId::Main, 1, solvedX(1) + 20, m.solvedY(1));
    EXPECT_EQ(snapToSolved(m, ListId::Main, 1, 0, 0), 0);
    m.moveGroup(ListId::Main, 2, solvedX(2), m.solvedY(2));
    m.setPieceRotation(2, 1);
    EXPECT_EQ(snapToSolved(m, ListId::Main, 2, 0, 0), 0);
    // The assembly offset moves the solved place.
    m.moveGroup(ListId::Main, 3, solvedX(3) + 30, m.solvedY(3));
    EXPECT_EQ(snapToSolved(m, ListId::Main, 3, 30, 0), 1);
    EXPECT_EQ(m.piece(3).x, solvedX(3) + 30);
}

TEST(Joining, DropReportsJoinsThenPlacement) {
    PuzzleModel m = makePuzzle(3, 1, 7);
    MapHolders holders;
    m.setHolderTable(&holders);
    holders.held[1] = 3;
    m.solvePiece(ListId::Main, 2, 0, 0);  // 2 is already in place
    // 0 waits where it fits beside 1 once 1 lands two pixels right of its place.
    m.moveGroup(ListId::None, 0, m.solvedX(0) + 2 + 5, m.solvedY(0));
    RecordingReporter reporter;
    // Drop 1 two pixels off its solved place: joins 0, then snaps in place.
    DropResult r = dropGroup(m, 1, m.piece(1).homeX + 2, m.piece(1).homeY, 5, reporter);
    EXPECT_EQ(r.joins, 1);
    EXPECT_TRUE(r.placed);
    const int32_t kept = 0;  // group number of piece 0's node
    ASSERT_EQ(reporter.log.size(), 3u);
    EXPECT_EQ(reporter.log[0], "join 5 1 " + std::to_string(kept) + " Main");
    EXPECT_EQ(reporter.log[1], "pause");
    EXPECT_EQ(reporter.log[2], "place 5 1 1");  // the count before the joins
    EXPECT_EQ(m.countListPieces(ListId::Finished), 3);
    EXPECT_FALSE(r.dirty.empty());
    EXPECT_TRUE(r.dirty.contains(m.piece(0).x, m.piece(0).y));

    // A plain drop clears the holders of the group and says so.
    PuzzleModel p = makePuzzle(3, 1, 7);
    p.setHolderTable(&holders);
    holders.held = {{0, 4}};
    RecordingReporter plain;
    DropResult d = dropGroup(p, 0, 500, 500, 4, plain);
    EXPECT_EQ(d.joins, 0);
    EXPECT_FALSE(d.placed);
    EXPECT_EQ(plain.log, (std::vector<std::string>{"drop 4 0"}));
    EXPECT_EQ(holders.holderOf(0), kNoHolder);
    EXPECT_EQ(p.toPictureX(p.piece(0).x), 240 - kCell);  // kept within one picture width beyond
}

// The area a drop repaints is exactly the group's old and new boxes, grown
// by t x joins + 2 (and the placed group's box by t + 2), with t = 9 so that
// no margin equals another.
TEST(Joining, DropRepaintsExactlyTheOldAndNewBoxesGrownByTheMargin) {
    const int32_t t = 9;
    auto grown = [](Rect r, int32_t by) { return Rect{r.left - by, r.top - by, r.right + by, r.bottom + by}; };
    auto groupBox = [](const PuzzleModel& m, ListId list, int32_t piece) {
        Rect r;
        m.getPieceRect(list, piece, r, true);
        return r;
    };
    NoReports quiet;
    {  // no join, not placed
        PuzzleModel m = makePuzzle(3, 1, t);
        const Rect before = m.piece(1).box();
        const DropResult r = dropGroup(m, 1, 300, 200, 0, quiet);
        ASSERT_FALSE(r.placed);
        EXPECT_EQ(r.dirty, grown(before.united(m.piece(1).box()), 2));
    }
    {  // placed without a join
        PuzzleModel m = makePuzzle(3, 1, t);
        const Rect before = m.piece(1).box();
        const DropResult r = dropGroup(m, 1, m.piece(1).homeX + 1, m.piece(1).homeY - 1, 0, quiet);
        ASSERT_TRUE(r.placed);
        ASSERT_EQ(r.joins, 0);
        const Rect after = m.piece(1).box();
        EXPECT_EQ(r.dirty, grown(before.united(after), 2).united(grown(after, t + 2)));
    }
    {  // two joins, not placed
        PuzzleModel m = makePuzzle(3, 1, t);
        m.moveGroup(ListId::Main, 0, 1500, 1000);
        m.moveGroup(ListId::Main, 2, 1500 + 2 * kCell, 1000);
        const Rect before = m.piece(1).box();
        const DropResult r = dropGroup(m, 1, m.toPictureX(1500 + kCell + 3), m.toPictureY(1000 - 2), 0, quiet);
        ASSERT_EQ(r.joins, 2);
        ASSERT_FALSE(r.placed);
        EXPECT_EQ(r.dirty, grown(before.united(groupBox(m, ListId::Main, 1)), 2 * t + 2));
    }
    {  // one join in a sorting box
        PuzzleModel m = makePuzzle(3, 1, t);
        m.movePieceToList(ListId::Box3, ListId::Main, 0);
        m.movePieceToList(ListId::Box3, ListId::Main, 1);
        placeBeside(m, 1, 0, -4, 3);
        const Rect before = m.piece(1).box();
        const DropResult r = dropInSortingBox(m, ListId::Box3, 1, 0, quiet);
        ASSERT_EQ(r.joins, 1);
        EXPECT_EQ(r.dirty, grown(before.united(groupBox(m, ListId::Box3, 1)), t + 2));
    }
}

TEST(Joining, DropInASortingBoxJoinsWithoutPlacing) {
    RecordingSounds sounds;
    PuzzleModel m = makePuzzle(2, 1, 7);
    m.movePieceToList(ListId::Box2, ListId::Main, 0);
    m.movePieceToList(ListId::Box2, ListId::Main, 1);
    m.moveGroup(ListId::Box2, 0, 10, 10);
    m.moveGroup(ListId::Box2, 1, 10 + kCell + 3, 12);
    RecordingReporter reporter;
    DropResult r = dropInSortingBox(m, ListId::Box2, 1, 0, reporter);
    EXPECT_EQ(r.joins, 1);
    EXPECT_EQ(reporter.log.size(), 1u);
    EXPECT_NE(reporter.log[0].find("Box 2"), std::string::npos);
    EXPECT_EQ(m.countListPieces(ListId::Finished), 0);
    EXPECT_EQ(sounds.played, (std::vector<int>{kSoundJoinPieces}));
    dropInSortingBox(m, ListId::Box2, 1, 0, reporter);
    EXPECT_EQ(sounds.played.back(), kSoundDropPiece);
}

TEST(Completion, RunsOnceAndPicksAFinishingSound) {
    RecordingSounds sounds;
    PuzzleModel m = makePuzzle(2, 1);
    uint32_t state = 1;
    RecordingActions actions;
    Random rng(1);
    EXPECT_FALSE(checkPuzzleCompletion(m, state, false, actions, rng));
    EXPECT_EQ(actions.log, (std::vector<std::string>{"status"}));
    m.solvePiece(ListId::Main, 0, 0, 0);
    m.solvePiece(ListId::Main, 1, 0, 0);
    actions.log.clear();
    Random expect(1);
    const int r = expect.below(100);
    EXPECT_TRUE(checkPuzzleCompletion(m, state, true, actions, rng));
    EXPECT_EQ(state, 16u);
    EXPECT_EQ(actions.log, (std::vector<std::string>{"scores", "tools", "preview", "boxes", "centre",
                                                     "title", "status"}));
    EXPECT_EQ(sounds.played.back(), r < 10 ? 1 : r < 30 ? 6 : 5);
    actions.log.clear();
    EXPECT_FALSE(checkPuzzleCompletion(m, state, true, actions, rng));
    EXPECT_EQ(actions.log, (std::vector<std::string>{"status"}));

    // The three sounds by the draw: below 10, 10 to 29, 30 and above.
    std::map<int, int> seen;
    for (uint32_t seed = 0; seed < 300; ++seed) {
        uint32_t s = 1;
        Random probe(seed), same(seed);
        const int draw = same.below(100);
        RecordingActions quiet;
        checkPuzzleCompletion(m, s, false, quiet, probe);
        int expected = draw < 10 ? kSoundFinishedShort : draw < 30 ? kSoundFinishedLong : kSoundPuzzleFinished;
        ASSERT_EQ(sounds.played.back(), expected) << seed;
        ++seen[expected];
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST(RemoteOutcome, AppliesJoinsPlacementsAndDrops) {
    RecordingSounds sounds;
    PuzzleModel m = makePuzzle(3, 1);
    uint32_t state = 1;
    RecordingActions actions;
    Random rng(2);
    RemoteContext client{false, 1, true, 1, true};

    // Another player's piece 1 joins piece 0's group.
    const int32_t n0 = m.groupNode(m.member(0).group).groupNumber;
    m.setGroupSelected(ListId::Main, 1, true);
    int32_t ex, ey;
    m.expectedPosition(1, 0, ex, ey);
    Rect dirty = applyRemoteOutcome(m, {ListId::Main, 1, ex + 1, ey, n0, 2}, client, state, actions, rng);
    EXPECT_EQ(m.member(1).group, m.member(0).group);
    EXPECT_EQ(m.piece(1).x, ex);  // placed exactly beside the kept group
    EXPECT_FALSE(m.isSelected(ListId::Main, 1));
    EXPECT_EQ(sounds.played, (std::vector<int>{kSoundJoinPieces}));
    EXPECT_TRUE(dirty.contains(ex - 3, ey - 3));  // widened by 2 << zoom

    // Solved, then a drop; another player's sounds muted when asked.
    client.hearOtherPlayers = false;
    applyRemoteOutcome(m, {ListId::Main, 2, 0, 0, kOutcomeSolved, 2}, client, state, actions, rng);
    EXPECT_EQ(m.listOfPiece(2), ListId::Finished);
    EXPECT_EQ(sounds.played.size(), 1u);
    applyRemoteOutcome(m, {ListId::Main, 0, 700, 700, kOutcomeSolved, 1}, client, state, actions, rng);
    EXPECT_EQ(m.countListPieces(ListId::Finished), 3);
    EXPECT_EQ(state, 16u);  // the last placement completed the puzzle
    EXPECT_EQ(sounds.played[1], kSoundLockPiece);  // own move: always heard

    // Pieces not in the list are left alone; box outcomes redraw nothing here.
    PuzzleModel b = makePuzzle(2, 1);
    b.movePieceToList(ListId::Box1, ListId::Main, 0);
    EXPECT_TRUE(applyRemoteOutcome(b, {ListId::Box1, 0, 5, 6, kOutcomeDropped, 1}, client, state, actions, rng).empty());
    EXPECT_EQ(b.piece(0).x, 5);
    EXPECT_TRUE(applyRemoteOutcome(b, {ListId::Box3, 1, 5, 6, kOutcomeDropped, 1}, client, state, actions, rng).empty());
    EXPECT_NE(b.piece(1).x, 5);

    // On the deciding machine the drop already happened: only the sound.
    sounds.played.clear();
    RemoteContext host{true, 0, true, 0, false};
    const int32_t before = b.piece(1).x;
    applyRemoteOutcome(b, {ListId::Main, 1, 9, 9, kOutcomeDropped, 0}, host, state, actions, rng);
    EXPECT_EQ(b.piece(1).x, before);
    EXPECT_EQ(sounds.played, (std::vector<int>{kSoundDropPiece}));
}

// The join search through grid neighbours must find the same group as the
// plain walk over every member of every other group, head to tail.
TEST(Joining, NeighbourSearchMatchesThePlainWalk) {
    auto plainWalk = [](const PuzzleModel& m, ListId list, int32_t piece) -> int32_t {
        const int32_t g = m.findGroupOfPiece(list, piece);
        for (int32_t h = m.list(list).head; h != kNone; h = m.groupNode(h).next) {
            if (h == g) continue;
            for (int32_t a = m.groupNode(g).firstMember; a != kNone; a = m.member(a).next)
                for (int32_t b = m.groupNode(h).firstMember; b != kNone; b = m.member(b).next)
                    if (neighbourFits(m, a, b)) return m.groupNode(h).groupNumber;
        }
        return kNone;
    };
    int joins = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        Random rng(seed);
        PuzzleModel m = makePuzzle(6, 5, 7);
        const int n = m.pieceCount();
        // Scatter pieces loosely around their places so that many nearly fit,
        // some rotated, then build random clusters by joining.
        for (int i = 0; i < n; ++i) {
            m.moveGroup(ListId::None, i, m.solvedX(i) + rng.below(40) - 20 + 200, m.solvedY(i) + rng.below(40) - 20);
            if (rng.below(5) == 0) m.setPieceRotation(i, rng.below(4));
            if (rng.below(4) == 0) m.bringGroupToFront(ListId::Main, i);
        }
        for (int step = 0; step < 60; ++step) {
            const int32_t p = rng.below(n);
            const int32_t expected = plainWalk(m, ListId::Main, p);
            const int32_t got = joinNeighbours(m, ListId::Main, p);
            ASSERT_EQ(got, expected) << "seed " << seed << " step " << step;
            joins += got != kNone;
            if (got == kNone) {
                // Nudge the group near a random neighbour to make joins likely.
                const int32_t q = rng.below(n);
                if (gridNeighbours(m, p, q)) {
                    m.setGroupRotation(ListId::Main, p, m.piece(q).rotation);
                    int32_t x, y;
                    m.expectedPosition(p, q, x, y);
                    m.moveGroup(ListId::Main, p, x + rng.below(11) - 5, y + rng.below(11) - 5);
                }
            }
            ASSERT_TRUE(m.checkInvariants());
        }
    }
    EXPECT_GT(joins, 300);  // the comparison really covered joins
}
