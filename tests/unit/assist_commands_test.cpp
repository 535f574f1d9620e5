// Tests of the assist commands (finds with delivery into a sorting box,
// solves, arrange, select all, rectangle tools), the hit code, the dialog
// models and the composed menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>

#include "tests/unit/test_doubles.h"
#include "common/sound_events.h"
#include "puzzle/assist_commands.h"
#include "shell/dialogs/assist_dialogs.h"
#include "puzzle/assist_menu.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;
using pavalo::testing::MapHolders;
using pavalo::testing::RecordingSounds;

namespace {

constexpr int kCell = 40;

PuzzleModel makePuzzle(int cols, int rows) {
    std::vector<Piece> pieces(static_cast<size_t>(cols * rows));
    for (int i = 0; i < cols * rows; ++i) {
        Piece& p = pieces[size_t(i)];
        p.homeX = (i % cols) * kCell;
        p.homeY = (i / cols) * kCell;
        p.width = p.height = kCell;
        p.mask = encodePieceMask(kCell, kCell, [](int, int) { return true; });
        p.x = 20 + 7 * i;
        p.y = 30 + 3 * i;
    }
    PuzzleModel m;
    m.geometry() = {3000, 2000, cols * kCell, rows * kCell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), rows, cols);
    return m;
}

struct FakeFrontEnd : AssistFrontEnd {
    std::array<bool, 5> open{};
    std::vector<std::string> log;
    std::map<int, std::string> captions;
    std::vector<int32_t> announced;
    int deselections = 0;
    std::vector<int32_t> progress;  // maximum, then positions
    bool searching = false;

    bool isBoxOpen(int box) const override { return open[size_t(box)]; }
    void openBox(int box) override {
        open[size_t(box)] = true;
        log.push_back("open " + std::to_string(box));
    }
    Rect boxClientArea(int box) const override { return {100 * box, 100, 100 * box + 300, 400}; }
    void resetBoxScroll(int box) override { log.push_back("scroll " + std::to_string(box)); }
    void setBoxCaption(int box, const std::string& caption) override { captions[box] = caption; }
    void announceIntoSortingBox(const std::vector<int32_t>& pieces) override {
        announced = pieces;
        log.push_back("announce");
    }
    void announceDeselection() override { ++deselections; }
    void searchingOpened(const SearchingProgress& p) override {
        searching = true;
        progress = {p.maximum()};
    }
    void searchingStepped(const SearchingProgress& p) override { progress.push_back(p.position()); }
    void searchingClosed() override { searching = false; }
};


struct CountingCompletion : CompletionActions {
    int checks = 0, centred = 0;
    void refreshStatusAndSortingBoxes() override { ++checks; }
    void centreView() override { ++centred; }
};

// A selector that grants only the pieces it is told to, as a host might.
struct GrantSome : PieceSelector {
    std::set<int32_t> grant;
    LocalPieceSelector local;
    std::vector<int32_t> select(PuzzleModel& m, ListId list, std::span<const int32_t> pieces) override {
        std::vector<int32_t> granted;
        for (int32_t p : pieces)
            if (grant.count(p)) granted.push_back(p);
        return local.select(m, list, granted);
    }
};

struct Fixture {
    PuzzleModel model;
    FakeFrontEnd front;
    LocalPieceSelector local;
    CountingCompletion completion;
    uint32_t state = kPuzzleStateNew;
    Random rng{5};
    AssistCommands commands;
    explicit Fixture(PuzzleModel m, AssistGame game = {}, PieceSelector* selector = nullptr)
        : model(std::move(m)),
          commands(model, front, selector ? *selector : local, completion, state, rng, game) {}
};

std::set<int32_t> piecesIn(const PuzzleModel& m, ListId list) {
    std::set<int32_t> s;
    m.forEachGroup(list, [&](int32_t g) { m.forEachMember(g, [&](int32_t p) { s.insert(p); }); });
    return s;
}

}  // namespace

// ------------------------------------------------------------------ hit code

TEST(HitCode, EncodesAndDecodesPieceWindowAndFlags) {
    const HitCode none;
    EXPECT_EQ(none.value(), 0xFFFF0000u);
    EXPECT_FALSE(none.hasPiece());
    EXPECT_EQ(none.piece(), -1);
    EXPECT_EQ(none.list(), ListId::None);

    const HitCode view = HitCode::playArea(1234, HitCode::kSelected);
    EXPECT_EQ(view.value(), (1234u << 16) | 0x8000 | 0x1000);
    EXPECT_EQ(view.piece(), 1234);
    EXPECT_TRUE(view.inPlayArea());
    EXPECT_EQ(view.box(), -1);
    EXPECT_EQ(view.list(), ListId::Main);
    EXPECT_EQ(HitCode::playArea(7, HitCode::kFinished).list(), ListId::Finished);

    const HitCode box = HitCode::sortingBox(2, -1);
    EXPECT_EQ(box.value(), 0xFFFF0000u | 0x4000 | 2);
    EXPECT_EQ(box.box(), 2);
    EXPECT_EQ(box.list(), ListId::Box3);
    EXPECT_FALSE(box.inPlayArea());
    // Pieces beyond the 16 bits are no piece, and stray bits stay out.
    EXPECT_FALSE(HitCode::playArea(0x10000).hasPiece());
    EXPECT_EQ(HitCode::playArea(0, 0xFFFFFFFF).value(), 0x8000u | HitCode::kFlagBits);
    EXPECT_EQ(HitCode(0x4000 | 9).box(), -1);
}

TEST(HitCode, HitTestAsksMainThenFinishedOrTheBoxList) {
    PuzzleModel m = makePuzzle(3, 3);
    m.moveGroup(ListId::None, 0, 500, 500);
    m.moveGroup(ListId::None, 1, 500, 500);  // 1 lies under 0 in the list order
    EXPECT_EQ(hitTest(m, -1, 510, 510).piece(), 0);
    EXPECT_EQ(hitTest(m, -1, 510, 510).value() & 0xFFFF, 0x8000u | HitCode::kNotSelected);
    m.solvePiece(ListId::Main, 4, 0, 0);
    const int32_t sx = m.solvedX(4) + 1, sy = m.solvedY(4) + 1;
    EXPECT_EQ(hitTest(m, -1, sx, sy), HitCode::playArea(4, HitCode::kFinished | HitCode::kNotSelected));
    m.moveGroup(ListId::None, 2, sx - 1, sy - 1);  // a loose piece over a finished one wins
    EXPECT_EQ(hitTest(m, -1, sx, sy).piece(), 2);
    m.movePieceToList(ListId::Box2, ListId::Main, 8);
    m.setGroupSelected(ListId::Box2, 8, true);
    m.moveGroup(ListId::None, 8, 10, 10);
    EXPECT_EQ(hitTest(m, 1, 15, 15), HitCode::sortingBox(1, 8, HitCode::kSelected));
    EXPECT_EQ(hitTest(m, 0, 15, 15), HitCode::sortingBox(0, -1));
    EXPECT_EQ(hitTest(m, -1, 2999, 1999), HitCode::playArea(-1));
}

// ---------------------------------------------------------------- delivery

TEST(Delivery, FindEdgesIntoBoxTwoGathersEveryListArrangedAndDeselected) {
    Fixture f(makePuzzle(5, 5));
    PuzzleModel& m = f.model;
    // Edge pieces spread over the play area and boxes 1, 2, 3 and 4; the
    // interior pieces 6 and 18 sit in boxes 1 and 4.
    for (int32_t p : {1, 6}) m.movePieceToList(ListId::Box1, ListId::Main, p);
    for (int32_t p : {2}) m.movePieceToList(ListId::Box2, ListId::Main, p);
    for (int32_t p : {10, 14}) m.movePieceToList(ListId::Box3, ListId::Main, p);
    for (int32_t p : {24, 18}) m.movePieceToList(ListId::Box4, ListId::Main, p);
    f.commands.setLastHit(HitCode::sortingBox(1, -1));
    EXPECT_EQ(DeliveryChoice(f.commands.lastHit(), true).value(), 2);

    const int selected = f.commands.findEdges(kEdgeAll, 2);
    EXPECT_EQ(selected, 16);
    std::set<int32_t> edges;
    for (int32_t p = 0; p < 25; ++p)
        if (p / 5 == 0 || p / 5 == 4 || p % 5 == 0 || p % 5 == 4) edges.insert(p);
    EXPECT_EQ(piecesIn(m, ListId::Box2), edges);
    EXPECT_EQ(piecesIn(m, ListId::Box1), std::set<int32_t>{6});
    EXPECT_TRUE(piecesIn(m, ListId::Box3).empty());
    EXPECT_EQ(piecesIn(m, ListId::Box4), std::set<int32_t>{18});
    EXPECT_EQ(m.countSelectedPieces(ListId::Box2), 0);
    for (ListId l : {ListId::Main, ListId::Box1, ListId::Box4}) EXPECT_EQ(m.countSelectedPieces(l), 0);
    // Opened once, before anything moved in; arranged in its client area
    // (left 200, top 100): the head group sits at the first slot.
    EXPECT_EQ(std::count(f.front.log.begin(), f.front.log.end(), "open 2"), 1);
    EXPECT_EQ(f.front.log.front(), "open 2");
    const int32_t head = m.groupNode(m.list(ListId::Box2).head).firstMember;
    EXPECT_EQ(m.piece(head).x, 210);
    EXPECT_EQ(m.piece(head).y, 110);
    for (int32_t p : edges) {
        EXPECT_GE(m.piece(p).x, 210);
        EXPECT_LE(m.piece(p).x + 40, 490);
    }
    EXPECT_NE(std::find(f.front.log.begin(), f.front.log.end(), "scroll 2"), f.front.log.end());
    EXPECT_EQ(f.commands.lastHit(), HitCode::sortingBox(1, -1));
    EXPECT_EQ(f.front.captions[2], "Box 2  (16 pieces)");
    EXPECT_TRUE(m.checkInvariants());
}

TEST(Delivery, PiecesSelectedBeforeTheFindGoIntoTheBoxFromEveryList) {
    Fixture f(makePuzzle(4, 4));
    PuzzleModel& m = f.model;
    // The top row waits in box 3, so the play area's find and box 1's find
    // collect nothing; pieces 5 (play area) and 6 (box 1) were selected before.
    for (int32_t p : {0, 1, 2, 3}) m.movePieceToList(ListId::Box3, ListId::Main, p);
    m.movePieceToList(ListId::Box1, ListId::Main, 6);
    m.movePieceToList(ListId::Box1, ListId::Main, 9);
    m.setGroupSelected(ListId::Main, 5, true);
    m.setGroupSelected(ListId::Box1, 6, true);
    EXPECT_EQ(f.commands.findEdges(kEdgeTop, 2), 4);
    EXPECT_EQ(piecesIn(m, ListId::Box2), (std::set<int32_t>{0, 1, 2, 3, 5, 6}));
    EXPECT_EQ(piecesIn(m, ListId::Box1), std::set<int32_t>{9});
    EXPECT_EQ(m.countSelectedPieces(ListId::Box2), 0);
    EXPECT_EQ(m.countSelectedPieces(ListId::Main), 0);
    EXPECT_TRUE(m.checkInvariants());
}

TEST(Delivery, NothingFoundOpensAndMovesNothing) {
    Fixture f(makePuzzle(3, 3));
    f.model.setGroupSelected(ListId::Main, 4, true);
    EXPECT_EQ(f.commands.findEdges(0, 3), 0);
    EXPECT_FALSE(f.front.open[3]);
    EXPECT_TRUE(piecesIn(f.model, ListId::Box3).empty());
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 4));
}

TEST(Delivery, WithoutABoxTheFoundPiecesStaySelectedWhereTheyAre) {
    Fixture f(makePuzzle(4, 4));
    f.model.movePieceToList(ListId::Box1, ListId::Main, 0);
    f.commands.setLastHit(HitCode::playArea(5));
    EXPECT_EQ(f.commands.findNearby(1, 0), 9);
    EXPECT_TRUE(f.model.isSelected(ListId::Box1, 0));
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 10));
    EXPECT_FALSE(f.model.isSelected(ListId::Main, 3));
    EXPECT_EQ(f.model.countListPieces(ListId::Box1), 1);
    EXPECT_TRUE(std::none_of(f.front.open.begin(), f.front.open.end(), [](bool b) { return b; }));
    // Without a piece under the pointer it does nothing.
    f.commands.setLastHit(HitCode::playArea(-1));
    EXPECT_EQ(f.commands.findNearby(5, 1), 0);
}

TEST(Delivery, NetworkPlayerMovesOnlyWhatTheHostGrantsAndAnnouncesIt) {
    GrantSome host;
    host.grant = {0, 1, 2};
    Fixture f(makePuzzle(4, 4), AssistGame{true, false}, &host);
    f.front.open[1] = true;
    EXPECT_EQ(f.commands.findEdges(kEdgeTop, 1), 3);
    EXPECT_EQ(piecesIn(f.model, ListId::Box1), (std::set<int32_t>{0, 1, 2}));
    EXPECT_EQ(std::set<int32_t>(f.front.announced.begin(), f.front.announced.end()),
              (std::set<int32_t>{0, 1, 2}));
    // The open box is not opened again, and the announcement comes before the move.
    EXPECT_EQ(f.front.log.front(), "announce");
    // The host does not announce.
    Fixture h(makePuzzle(4, 4), AssistGame{true, true});
    h.commands.findEdges(kEdgeTop, 1);
    EXPECT_TRUE(h.front.announced.empty());
}

TEST(Delivery, ColourSearchShowsProgressOverTheMainListOnly) {
    PuzzleModel m = makePuzzle(3, 2);  // 120 x 80 picture
    std::vector<uint8_t> pixels(120 * 80, 0);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 40; ++x) pixels[size_t(y * 120 + x)] = 7;  // column 0 cells
    PictureView pic;
    pic.pixels = pixels.data();
    pic.width = pic.pitch = 120;
    pic.height = 80;
    pic.depth = 8;
    pic.palette[7] = {200, 50, 50};
    m.movePieceToList(ListId::Box3, ListId::Main, 3);
    m.moveGroup(ListId::None, 0, 600, 700);
    Fixture f(std::move(m));
    f.commands.setLastHit(HitCode::playArea(0));
    const SampleColours samples = f.commands.takeSamples(pic, 620, 720);
    EXPECT_EQ(samples[4], 7u);
    EXPECT_EQ(f.commands.findByColour(pic, samples, 1, 50, 0), 2);
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 0));
    EXPECT_TRUE(f.model.isSelected(ListId::Box3, 3));
    EXPECT_FALSE(f.front.searching);
    // Range 0..5 for six pieces; one step for each of the five Main pieces.
    EXPECT_EQ(f.front.progress, (std::vector<int32_t>{5, 1, 2, 3, 4, 5}));
    // No piece under the pointer: nothing is searched.
    f.commands.setLastHit(HitCode::playArea(-1));
    EXPECT_EQ(f.commands.takeSamples(pic, 620, 720), SampleColours{});
    EXPECT_EQ(f.commands.findByColour(pic, samples, 1, 50, 0), 0);
}

TEST(Delivery, CaptionForms) {
    EXPECT_EQ(sortingBoxCaption(2, 0, 0), "Box 2");
    EXPECT_EQ(sortingBoxCaption(2, 7, 0), "Box 2  (7 pieces)");
    EXPECT_EQ(sortingBoxCaption(2, 7, 2), "Box 2  (7 pieces / 2 selected)");
}

// ------------------------------------------------------------------ solving

TEST(SolveCommands, SolveThisPieceInItsListAndSolveThisSpace) {
    RecordingSounds sounds;
    Fixture f(makePuzzle(2, 2));
    PuzzleModel& m = f.model;
    m.movePieceToList(ListId::Box3, ListId::Main, 1);
    f.commands.setLastHit(HitCode::sortingBox(2, 1));
    EXPECT_EQ(f.commands.solveThisPiece(0, 0), 1);
    EXPECT_EQ(m.listOfPiece(1), ListId::Finished);
    EXPECT_EQ(f.completion.checks, 1);
    // A finished piece under the pointer is not solved again.
    f.commands.setLastHit(HitCode::playArea(1, HitCode::kFinished));
    EXPECT_EQ(f.commands.solveThisPiece(0, 0), 0);
    EXPECT_EQ(f.completion.checks, 2);
    // Empty space over cell (0, 1): piece 2 comes from the play area.
    const Rect picture = assembledPictureRect(m);
    f.commands.setLastHit(HitCode::playArea(-1));
    EXPECT_EQ(f.commands.solveThisPiece(picture.left + 5, picture.top + 45), 1);
    EXPECT_EQ(m.listOfPiece(2), ListId::Finished);
    // In a sorting box without a piece: nothing.
    f.commands.setLastHit(HitCode::sortingBox(0, -1));
    EXPECT_EQ(f.commands.solveThisPiece(picture.left + 45, picture.top + 45), 0);
    // The last two pieces complete the puzzle once.
    f.commands.setLastHit(HitCode::playArea(-1));
    f.commands.solveThisPiece(picture.left + 45, picture.top + 45);
    f.commands.setLastHit(HitCode::playArea(0));
    f.commands.solveThisPiece(0, 0);
    EXPECT_EQ(f.state, kPuzzleStateCompleted);
    EXPECT_EQ(f.completion.centred, 1);
    EXPECT_EQ(std::count(sounds.played.begin(), sounds.played.end(), int(kSoundLockPiece)), 4);
}

TEST(SolveCommands, SolveToolByRectangleOrSelectionWithSounds) {
    RecordingSounds sounds;
    Fixture f(makePuzzle(4, 4));
    PuzzleModel& m = f.model;
    const Rect picture = assembledPictureRect(m);
    m.movePieceToList(ListId::Box4, ListId::Main, 5);
    EXPECT_EQ(f.commands.solveTool({picture.left, picture.top, picture.left + 80, picture.top + 80}, false), 4);
    EXPECT_EQ(m.listOfPiece(5), ListId::Finished);
    EXPECT_EQ(sounds.played.back(), int(kSoundLockPiece));
    EXPECT_EQ(f.completion.checks, 1);
    // Selected groups only, wherever the rectangle is.
    m.setGroupSelected(ListId::Main, 15, true);
    EXPECT_EQ(f.commands.solveTool({0, 0, 1, 1}, true), 1);
    EXPECT_EQ(m.listOfPiece(15), ListId::Finished);
    // Nothing to place: sound 8 and no check.
    EXPECT_EQ(f.commands.solveTool({0, 0, 1, 1}, false), 0);
    EXPECT_EQ(sounds.played.back(), 8);
    EXPECT_EQ(f.completion.checks, 2);
    // A Competitive player's own copy (shared copies are solved by the
    // host and never come here) completes like a single player's.
    Fixture n(makePuzzle(2, 2), AssistGame{true, false});
    sounds.played.clear();
    EXPECT_EQ(n.commands.solveTool(assembledPictureRect(n.model), false), 4);
    EXPECT_EQ(sounds.played.front(), int(kSoundLockPiece));
    EXPECT_EQ(n.completion.checks, 1);
}

TEST(SolveCommands, FindToolSelectsWhatBelongsInTheRectangle) {
    RecordingSounds sounds;
    Fixture f(makePuzzle(4, 4));
    const Rect picture = assembledPictureRect(f.model);
    f.model.movePieceToList(ListId::Box1, ListId::Main, 0);
    f.front.open[1] = true;
    Rect rect{picture.left, picture.top, picture.left + 41, picture.top + 1};
    EXPECT_EQ(f.commands.findTool(rect), 2);
    EXPECT_TRUE(f.model.isSelected(ListId::Box1, 0));
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 1));
    EXPECT_EQ(sounds.played.back(), int(kSoundSelectPieces));
    EXPECT_EQ(f.front.captions[1], "Box 1  (1 pieces / 1 selected)");
    Rect off{0, 0, 5, 5};
    EXPECT_EQ(f.commands.findTool(off), 0);
    EXPECT_EQ(sounds.played.back(), 8);
}

// ------------------------------------------------------- arrange, select all

TEST(ArrangeCommand, BoxIsConfinedToItsClientAreaAndScrolledHome) {
    Fixture f(makePuzzle(4, 4));
    for (int32_t p = 0; p < 12; ++p) f.model.movePieceToList(ListId::Box3, ListId::Main, p);
    f.commands.setLastHit(HitCode::sortingBox(2, -1));
    EXPECT_EQ(f.commands.arrange(800, 600), 12);
    // Client area (300, 100)-(600, 400): six 40-pixel slots per row.
    std::set<int32_t> xs;
    for (int32_t p = 0; p < 12; ++p) xs.insert(f.model.piece(p).x);
    EXPECT_EQ(xs, (std::set<int32_t>{310, 355, 400, 445, 490, 535}));
    EXPECT_EQ(f.front.log.back(), "scroll 3");
    // On the play area the Main list is arranged in the view's rectangle.
    f.commands.setLastHit(HitCode::playArea(-1));
    EXPECT_EQ(f.commands.arrange(800, 600), 4);
    // Without a window nothing is arranged.
    f.commands.setLastHit(HitCode{});
    EXPECT_EQ(f.commands.arrange(800, 600), 0);
}

TEST(SelectAllCommand, ClearsEveryListThenSelectsTheFocusedOne) {
    Fixture f(makePuzzle(3, 3), AssistGame{true, true});
    PuzzleModel& m = f.model;
    m.movePieceToList(ListId::Box1, ListId::Main, 0);
    m.movePieceToList(ListId::Box2, ListId::Main, 1);
    m.movePieceToList(ListId::Box2, ListId::Main, 2);
    m.setGroupSelected(ListId::Box1, 0, true);
    m.moveGroup(ListId::None, 3, -5000, 0);  // far off the play area
    f.commands.setLastHit(HitCode::playArea(-1));
    EXPECT_EQ(f.commands.selectAll(), 5);
    EXPECT_FALSE(m.isSelected(ListId::Box1, 0));
    EXPECT_FALSE(m.isSelected(ListId::Main, 3));
    EXPECT_TRUE(m.isSelected(ListId::Main, 8));
    EXPECT_EQ(f.front.deselections, 0);  // nothing in the Main list was selected
    // From box 2: its whole list, the play area cleared and announced.
    f.commands.setLastHit(HitCode::sortingBox(1, -1));
    EXPECT_EQ(f.commands.selectAll(), 2);
    EXPECT_EQ(m.countSelectedPieces(ListId::Main), 0);
    EXPECT_EQ(m.countSelectedPieces(ListId::Box2), 2);
    EXPECT_EQ(f.front.deselections, 1);
}

// ------------------------------------------------------------ dialog models

TEST(DialogModels, DeliveryDefaultsAndDisabling) {
    EXPECT_EQ(DeliveryChoice(HitCode::playArea(5), true).value(), 0);
    EXPECT_EQ(DeliveryChoice(HitCode::sortingBox(3, 5), true).value(), 4);
    DeliveryChoice allowed(HitCode::sortingBox(0, -1), true);
    EXPECT_TRUE(allowed.choose(3));
    EXPECT_EQ(allowed.value(), 3);
    EXPECT_FALSE(allowed.choose(5));
    EXPECT_FALSE(allowed.choose(-1));
    DeliveryChoice locked(HitCode::sortingBox(2, -1), false);
    EXPECT_FALSE(locked.enabled());
    EXPECT_FALSE(locked.choose(0));
    EXPECT_EQ(locked.value(), 3);
    EXPECT_STREQ(DeliveryChoice::kLabels[0], "None");
    EXPECT_STREQ(DeliveryChoice::kLabels[4], "Box 4");
}

TEST(DialogModels, FindDialogsRangesAndDefaults) {
    const DeliveryChoice none(HitCode{}, true);
    FindEdgesDialog edges(none);
    EXPECT_EQ(edges.mask(), 15);
    edges.setChecked(1, false);  // Bottom
    edges.setChecked(2, false);  // Left
    EXPECT_EQ(edges.mask(), kEdgeTop | kEdgeRight);
    edges.setChecked(7, false);
    EXPECT_EQ(edges.mask(), 9);

    FindNearbyDialog near(none);
    EXPECT_EQ(near.range(), 1);
    EXPECT_EQ(near.editText(), "1");
    near.setSlider(4);
    EXPECT_EQ(near.editText(), "4");
    near.setSlider(9);
    EXPECT_EQ(near.range(), 5);
    EXPECT_TRUE(near.setEditText(" 2 "));
    EXPECT_EQ(near.range(), 2);
    EXPECT_TRUE(near.setEditText("0"));
    EXPECT_EQ(near.range(), 1);
    EXPECT_TRUE(near.setEditText("99999999999999999999"));
    EXPECT_EQ(near.range(), 5);
    EXPECT_FALSE(near.setEditText("3x"));
    EXPECT_FALSE(near.setEditText(""));
    EXPECT_EQ(near.editText(), "5");

    ColorMatchDialog colour(none);
    EXPECT_EQ(colour.colourRange(), 1);
    EXPECT_EQ(colour.threshold(), 5);
    EXPECT_STREQ(ColorMatchDialog::kThresholdLabel, "Threshhold");
    colour.setColourRange(0);
    colour.setThreshold(101);
    EXPECT_EQ(colour.colourRange(), 1);
    EXPECT_EQ(colour.threshold(), 100);

    SolveAreaDialog area(12, 30);
    EXPECT_EQ(area.maximum(), 30);
    EXPECT_EQ(area.radius(), 1);
    area.setRadius(31);
    EXPECT_EQ(area.radiusText(), "30");
    EXPECT_EQ(SolveAreaDialog(0, 0).maximum(), 1);

    SearchingProgress progress(3);
    EXPECT_EQ(progress.maximum(), 2);
    for (int i = 0; i < 5; ++i) progress.step();
    EXPECT_EQ(progress.position(), 2);
}

// --------------------------------------------------------------------- menus

namespace {
namespace mc = menu_command;
ViewMenuState loaded(HitCode hit) {
    ViewMenuState s;
    s.hit = hit;
    s.puzzleLoaded = true;
    return s;
}
bool has(const std::vector<MenuItem>& menu, uint32_t id) { return findMenuItem(menu, id) != nullptr; }
const MenuItem* popupNamed(const std::vector<MenuItem>& menu, const std::string& text) {
    for (const MenuItem& m : menu)
        if (m.isPopup() && m.text == text) return &m;
    return nullptr;
}
}  // namespace

TEST(ViewMenu, OnAPieceEverythingButPieceInfoAndSolveSelected) {
    const std::vector<MenuItem> menu = composeViewMenu(loaded(HitCode::playArea(3)));
    std::vector<uint32_t> ids;
    std::function<void(const std::vector<MenuItem>&)> walk = [&](const std::vector<MenuItem>& items) {
        for (const MenuItem& m : items) m.isPopup() ? walk(m.items) : ids.push_back(m.id);
    };
    walk(menu);
    EXPECT_EQ(ids, (std::vector<uint32_t>{mc::kMinimize, mc::kToolBar, view_command::kZoomFit,
                                          view_command::kZoomEighth, view_command::kZoomQuarter,
                                          view_command::kZoomHalf, mc::kZoom1, mc::kZoom2, mc::kZoom4,
                                          mc::kZoom8, mc::kSelectAll, mc::kArrange, mc::kFindEdges,
                                          mc::kNearThisOne, mc::kWithThisColor, mc::kSolveThisPiece,
                                          mc::kHelpTopics, mc::kViewExit}));
    EXPECT_EQ(findMenuItem(menu, mc::kSolveThisPiece)->text, "Solve This Piece");
    EXPECT_TRUE(findMenuItem(menu, mc::kZoom1)->checked);
    EXPECT_FALSE(findMenuItem(menu, mc::kZoom4)->checked);
}

TEST(ViewMenu, EmptySpaceRelabelsOrRemovesTheSolveEntry) {
    ViewMenuState s = loaded(HitCode::playArea(-1));
    s.solveSpaceAvailable = true;
    s.zoom = 2;
    std::vector<MenuItem> menu = composeViewMenu(s);
    EXPECT_EQ(findMenuItem(menu, mc::kSolveThisPiece)->text, "Solve This Space");
    EXPECT_FALSE(has(menu, mc::kNearThisOne));
    EXPECT_FALSE(has(menu, mc::kWithThisColor));
    EXPECT_TRUE(has(menu, mc::kFindEdges));
    EXPECT_TRUE(findMenuItem(menu, mc::kZoom4)->checked);
    s.solveSpaceAvailable = false;
    EXPECT_FALSE(has(composeViewMenu(s), mc::kSolveThisPiece));
    // A sorting box without a piece never offers Solve This Space.
    ViewMenuState box = loaded(HitCode::sortingBox(1, -1));
    box.solveSpaceAvailable = true;
    EXPECT_FALSE(has(composeViewMenu(box), mc::kSolveThisPiece));
}

TEST(ViewMenu, NoPuzzleAndFinishedState) {
    ViewMenuState none;
    none.hit = HitCode::playArea(-1);
    std::vector<MenuItem> menu = composeViewMenu(none);
    for (uint32_t id : {mc::kSolveThisPiece, mc::kSelectAll, mc::kArrange}) EXPECT_FALSE(has(menu, id));
    EXPECT_TRUE(has(menu, mc::kFindEdges));
    EXPECT_TRUE(has(menu, mc::kViewExit));
    ViewMenuState done = loaded(HitCode::playArea(2, HitCode::kFinished));
    done.finished = true;
    menu = composeViewMenu(done);
    EXPECT_FALSE(has(menu, mc::kSelectAll));
    EXPECT_FALSE(has(menu, mc::kArrange));
    EXPECT_TRUE(has(menu, mc::kSolveThisPiece));
    EXPECT_FALSE(has(menu, mc::kCheckCompletion));
}

TEST(ViewMenu, NetworkAllowances) {
    ViewMenuState s = loaded(HitCode::playArea(4));
    s.networkGame = true;
    s.allowed = {false, false, false, false, false, false, false};
    std::vector<MenuItem> menu = composeViewMenu(s);
    EXPECT_FALSE(has(menu, mc::kArrange));
    EXPECT_FALSE(has(menu, mc::kSolveThisPiece));
    EXPECT_EQ(popupNamed(menu, "Find Pieces"), nullptr);
    EXPECT_EQ(menu.back().id, mc::kCheckCompletion);
    EXPECT_EQ(menu.back().text, "Check Puzzle Completion");
    // Arranging a sorting box is the player's own business.
    s.hit = HitCode::sortingBox(0, 4);
    EXPECT_TRUE(has(composeViewMenu(s), mc::kArrange));
    // Only the allowed finds stay.
    s.allowed.findByColour = true;
    menu = composeViewMenu(s);
    ASSERT_NE(popupNamed(menu, "Find Pieces"), nullptr);
    EXPECT_EQ(popupNamed(menu, "Find Pieces")->items.size(), 1u);
    EXPECT_TRUE(has(menu, mc::kWithThisColor));
    // Allowed finds that need a piece still go without one, taking the popup along.
    s.hit = HitCode::playArea(-1);
    EXPECT_EQ(popupNamed(composeViewMenu(s), "Find Pieces"), nullptr);
}

TEST(ViewMenu, FindToolMenuAndPaletteMenu) {
    AssistAllowances a;
    EXPECT_EQ(composeFindToolMenu(a).size(), 2u);
    a.findNearby = false;
    ASSERT_EQ(composeFindToolMenu(a).size(), 1u);
    EXPECT_EQ(composeFindToolMenu(a)[0].text, "With This Color");
    a.findByColour = false;
    EXPECT_TRUE(composeFindToolMenu(a).empty());

    PaletteMenuState p;
    std::vector<MenuItem> bar = composePaletteMenu(p);
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].text, "&Menu");
    EXPECT_EQ(findMenuItem(bar, mc::kAbout)->text, "&About Pavalo...");
    // The desktop's shortcuts are shown beside their entries.
    EXPECT_EQ(findMenuItem(bar, mc::kNew)->shortcut, "Ctrl+N");
    EXPECT_EQ(findMenuItem(bar, mc::kOpen)->shortcut, "Ctrl+O");
    EXPECT_EQ(findMenuItem(bar, mc::kSave)->shortcut, "Ctrl+S");
    EXPECT_EQ(findMenuItem(bar, mc::kSaveAs)->shortcut, "Ctrl+Shift+S");
    EXPECT_EQ(findMenuItem(bar, mc::kHelpTopics)->shortcut, "F1");
    EXPECT_EQ(findMenuItem(bar, mc::kExit)->shortcut, "Ctrl+Q");
    EXPECT_EQ(findMenuItem(bar, mc::kCenter)->shortcut, "");
    EXPECT_FALSE(findMenuItem(bar, mc::kRecentFile)->enabled);
    p.recentFiles = {"a.gvp", "b.gvp"};
    p.rotatedPieces = true;
    bar = composePaletteMenu(p);
    EXPECT_FALSE(has(bar, mc::kRecentFile));
    EXPECT_EQ(findMenuItem(bar, mc::kFirstRecentFile + 1)->text, "b.gvp");
    EXPECT_EQ(findMenuItem(bar, mc::kFirstRecentFile)->statusPrompt, "Open this document");
    EXPECT_TRUE(findMenuItem(bar, mc::kRotatedPieces)->checked);
    EXPECT_TRUE(has(bar, mc::kRecut));
    p.networkGame = true;
    bar = composePaletteMenu(p);
    for (uint32_t id : {mc::kNew, mc::kOpen, mc::kSave, mc::kSaveAs, mc::kRotatedPieces})
        EXPECT_FALSE(findMenuItem(bar, id)->enabled) << id;
    EXPECT_FALSE(has(bar, mc::kRecut));
    EXPECT_FALSE(has(bar, mc::kFirstRecentFile));
    EXPECT_TRUE(findMenuItem(bar, mc::kCenter)->enabled);
}

TEST(ViewMenu, ZoomsBelowX1OnlyOnThePlayAreaWithTheReducedOneChecked) {
    ViewMenuState s = loaded(HitCode::playArea(-1));
    s.reduce = 4;
    std::vector<MenuItem> menu = composeViewMenu(s);
    EXPECT_TRUE(findMenuItem(menu, view_command::kZoomQuarter)->checked);
    EXPECT_FALSE(findMenuItem(menu, view_command::kZoomFit)->checked);
    EXPECT_FALSE(findMenuItem(menu, mc::kZoom1)->checked);
    s.fitted = true;
    menu = composeViewMenu(s);
    EXPECT_TRUE(findMenuItem(menu, view_command::kZoomFit)->checked);
    EXPECT_FALSE(findMenuItem(menu, view_command::kZoomQuarter)->checked);
    // A sorting box keeps its own zooms only.
    ViewMenuState box = loaded(HitCode::sortingBox(1, -1));
    box.zoom = 1;
    menu = composeViewMenu(box);
    EXPECT_FALSE(has(menu, view_command::kZoomHalf));
    EXPECT_TRUE(findMenuItem(menu, mc::kZoom2)->checked);
}
