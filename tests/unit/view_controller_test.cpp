// Tests of the play-area view's behaviour driven by scripted events: pick-up,
// drag and drop (joins, snaps, sorting boxes), bands and their tools, double
// click rotation, zoom, scrolling at the edge and by keys, Enter and Space,
// undo, menus and messages.
#include "tests/unit/test_doubles.h"
#include "display/view_controller.h"
#include "puzzle/assist_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "common/sound_events.h"
#include "platform/scripted_platform.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;
using pavalo::testing::MapHolders;
using pavalo::testing::RecordingSounds;

namespace {

constexpr int kCell = 40;
constexpr int kCols = 8, kRows = 6;
constexpr int kW = 800, kH = 600;
// The assembled picture (320 x 240) lies at (240, 180)-(560, 420).
constexpr int kPicLeft = 240, kPicTop = 180;
const WindowId kView = WindowId::view();

// 48 square pieces on a 800 x 600 play area, piece i at (30 + 50 (i % 15),
// 30 + 50 (i / 15)): 10 pixels apart, so no two fit, none on the picture's
// place and none in the scrolling border.
PuzzleModel makePuzzle() {
    std::vector<Piece> pieces(size_t(kCols * kRows));
    for (int i = 0; i < kCols * kRows; ++i) {
        Piece& p = pieces[size_t(i)];
        p.homeX = (i % kCols) * kCell;
        p.homeY = (i / kCols) * kCell;
        p.width = p.height = kCell;
        p.mask = encodePieceMask(kCell, kCell, [](int, int) { return true; });
        p.x = 30 + 50 * (i % 15);
        p.y = 30 + 50 * (i / 15);
    }
    PuzzleModel m;
    m.geometry() = {kW, kH, kCols * kCell, kRows * kCell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), kRows, kCols);
    return m;
}


struct Document : ViewDocument {
    bool exists = true, rotated = true;
    int changes = 0;
    bool puzzleExists() const override { return exists; }
    bool rotatedPieces() const override { return rotated; }
    void markChanged() override { ++changes; }
};

struct Windows : ViewWindows {
    std::array<bool, 5> open{};
    std::array<int, 5> zooms{};
    std::vector<int> tools;
    int hidden = 0, restored = 0, overviews = 0;
    std::vector<int> toggledBoxes;
    bool isBoxOpen(int box) const override { return open[size_t(box)]; }
    // Box k's client area lies at (100 + 200 (k - 1), 300), 200 x 200.
    Rect boxClientRect(int box) const override {
        const int32_t left = 100 + 200 * (box - 1);
        return {left, 300, left + 200, 500};
    }
    int boxZoom(int box) const override { return zooms[size_t(box)]; }
    void setBoxZoom(int box, int zoom) override { zooms[size_t(box)] = zoom; }
    void toolChanged(int tool) override { tools.push_back(tool); }
    void toggleSortingBox(int box) override { toggledBoxes.push_back(box); }
    int sideToggles = 0;  // overview, preview and tool palette
    void toggleOverview() override { ++sideToggles; }
    void togglePreview() override { ++sideToggles; }
    void toggleToolPalette() override { ++sideToggles; }
    void redrawOverview() override { ++overviews; }
    void hideSideWindows() override { ++hidden; }
    void restoreSideWindows() override { ++restored; }
};

struct Completion : CompletionActions {};

// A network game's seam: whether pieces are shared, and the solves asked of
// the host.
struct Network : ViewNetwork {
    bool game = false, shares = false;
    std::vector<ListId> solves;
    bool networkGame() const override { return game; }
    bool sharesPieces() const override { return shares; }
    void sendSolveSelected(ListId list) override { solves.push_back(list); }
};

struct Fixture {
    PuzzleModel model = makePuzzle();
    ScriptedPlatform platform;
    SettingsRecord settings;
    uint32_t state = kPuzzleStateNew;
    RendererState renderer;
    UndoRing undo;
    UndoActions undoActions;
    Windows windows;
    LocalPieceSelector selector;
    Completion completion;
    Random rng{3};
    AssistCommands assist{model, windows, selector, completion, state, rng};
    Document document;
    Network network;
    RecordingSounds sounds;
    ViewController view{ViewContext{model, platform, settings, state, renderer, undo, undoActions, assist,
                                    completion, rng, document, windows, network}};

    Fixture() { platform.pointer = {kW / 2, kH / 2}; }

    void press(Point at, KeyFlags keys = {}) { view.mousePress(kView, at, keys); }
    void move(Point at, KeyFlags keys = {}) { view.mouseMove(kView, at, keys); }
    void release(Point at, KeyFlags keys = {}) { view.mouseRelease(kView, at, keys); }
    void band(Point from, Point to, KeyFlags keys = {}) {
        press(from, keys);
        move(to, keys);
        release(to, keys);
    }
    Point at(int piece) const { return {model.piece(piece).x, model.piece(piece).y}; }
    bool sameGroup(ListId list, int a, int b) const {
        return model.findGroupOfPiece(list, a) != kNone &&
               model.findGroupOfPiece(list, a) == model.findGroupOfPiece(list, b);
    }
    int fullRedraws() const {
        return int(std::count_if(platform.invalidations.begin(), platform.invalidations.end(),
                                 [](const ScriptedPlatform::Invalidation& i) { return i.all; }));
    }
};

using Sounds = std::vector<int>;

}  // namespace

// ------------------------------------------------------------- coordinates

TEST(ViewCoordinates, BoxPointsUseTheBoxOriginAndZoom) {
    Fixture f;
    f.windows.open[2] = true;  // box 2: client area at (300, 300), zoom x2
    f.windows.zooms[2] = 1;
    const WindowId box = WindowId::sortingBox(1);
    EXPECT_EQ(f.view.windowToPlay(box, Point{21, 10}), (Point{310, 305}));
    EXPECT_EQ(f.view.playToWindow(box, Point{310, 305}), (Point{20, 10}));
    f.settings.zoomShift = 3;
    EXPECT_EQ(f.view.windowToPlay(kView, Point{17, 9}), (Point{2, 1}));
}

TEST(ViewCoordinates, MovedGroupRepaintsItsBoxesInWindowPixelsGrownByTheZoom) {
    Fixture f;
    f.settings.zoomShift = 1;
    f.press({70, 70});  // play (35, 35) on piece 0 at (30, 30)
    f.platform.invalidations.clear();
    f.move({90, 70});  // play (45, 35): the piece goes to (40, 30)
    EXPECT_EQ(f.at(0), (Point{40, 30}));
    ASSERT_EQ(f.platform.invalidations.size(), 1u);
    // (30, 30)-(80, 70) in play-area pixels, doubled, grown by 2 << 1.
    EXPECT_EQ(f.platform.invalidations[0].rect, (Rect{56, 56, 164, 144}));
}

// --------------------------------------------------------- pick up and drop

TEST(ViewDrag, DropBesideItsNeighbourJoinsAndNearItsPlaceSnaps) {
    Fixture f;
    f.press({85, 35});  // piece 1 at (80, 30), grabbed 5 pixels in
    EXPECT_EQ(f.view.dragPiece(), 1);
    EXPECT_EQ(f.undo.available(), 1);
    f.move({77, 38});
    f.release({77, 38});  // (72, 33): 2 and 3 off its place beside piece 0
    EXPECT_TRUE(f.sameGroup(ListId::Main, 0, 1));
    EXPECT_EQ(f.at(1), (Point{70, 30}));  // pulled exactly into place
    EXPECT_EQ(f.view.dragPiece(), kNone);
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundPickupPiece, kSoundJoinPieces}));
    EXPECT_GT(f.document.changes, 0);

    // Piece 9 (column 1, row 1) belongs at (280, 220); dropped 10 and 5 off.
    f.sounds.played.clear();
    const Point grab{f.at(9).x + 20, f.at(9).y + 20};
    f.press(grab);
    f.move({310, 235});
    f.release({310, 235});
    EXPECT_EQ(f.model.listOfPiece(9), ListId::Finished);
    EXPECT_EQ(f.at(9), (Point{280, 220}));
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundPickupPiece, kSoundLockPiece}));
}

TEST(ViewDrag, PressOnAFinishedPieceStartsABandAndNeverPicksItUp) {
    Fixture f;
    f.model.solvePiece(ListId::Main, 0, 0, 0);  // at (240, 180)
    f.press({250, 190});
    EXPECT_EQ(f.view.dragPiece(), kNone);
    EXPECT_TRUE(f.view.bandActive());
    f.move({300, 230});
    const ViewRequest request = f.view.viewRequest({0, 0, kW, kH});
    ASSERT_TRUE(request.selection.has_value());
    EXPECT_EQ(*request.selection, (Rect{250, 190, 300, 230}));
    f.release({300, 230});
    EXPECT_FALSE(f.view.bandActive());
    EXPECT_EQ(f.at(0), (Point{240, 180}));
    EXPECT_EQ(f.sounds.played, (Sounds{8}));  // nothing selected, nothing deselected
    EXPECT_EQ(f.undo.available(), 0);
}

TEST(ViewDrag, GroupCarriedIntoASortingBoxDropsAndJoinsThere) {
    Fixture f;
    f.windows.open[1] = true;  // box 1: client area at (100, 300), zoom x1
    const WindowId box = WindowId::sortingBox(0);
    f.press({35, 35});
    f.view.mouseMove(box, {20, 20}, {});
    EXPECT_EQ(f.model.listOfPiece(0), ListId::Box1);
    EXPECT_EQ(f.at(0), (Point{115, 315}));
    f.view.mouseRelease(box, {20, 20}, {});
    EXPECT_EQ(f.sounds.played.back(), kSoundDropPiece);

    f.press({85, 35});  // piece 1, grabbed 5 pixels in
    f.view.mouseMove(box, {62, 22}, {});
    f.view.mouseRelease(box, {62, 22}, {});
    EXPECT_EQ(f.model.listOfPiece(1), ListId::Box1);
    EXPECT_TRUE(f.sameGroup(ListId::Box1, 0, 1));
    EXPECT_EQ(f.sounds.played.back(), kSoundJoinPieces);
}

TEST(ViewDrag, SelectionDragRefusedAtTheEdgePutsThePointerBack) {
    Fixture f;
    f.view.setScrollBounds({0, 0, 0, 0});  // no scrolling at the edge
    f.press({35, 35}, {.shift = true});    // selects piece 0 at (30, 30)
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 0));
    f.press({35, 35});
    EXPECT_TRUE(f.view.draggingSelection());
    f.move({4, 35});  // would put it at x = -1
    EXPECT_EQ(f.at(0), (Point{30, 30}));
    ASSERT_EQ(f.platform.pointerMoves.size(), 1u);
    EXPECT_EQ(f.platform.pointerMoves[0].second, (Point{35, 35}));
    f.move({32, 35});
    EXPECT_EQ(f.at(0), (Point{27, 30}));
    f.release({32, 35});  // the one selected group is dropped as a group
    EXPECT_FALSE(f.view.draggingSelection());
    EXPECT_FALSE(f.model.isSelected(ListId::Main, 0));
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundSelectPieces, kSoundPickupPiece, kSoundDropPiece}));

    // Two selected groups move together and stay selected.
    f.sounds.played.clear();
    f.press({35, 35}, {.control = true});
    f.press({85, 35}, {.shift = true});
    f.press({85, 35});
    f.move({95, 55});
    f.release({95, 55});
    EXPECT_EQ(f.at(0), (Point{37, 50}));
    EXPECT_EQ(f.at(1), (Point{90, 50}));
    EXPECT_EQ(f.model.countSelectedGroups(ListId::Main), 2);
    EXPECT_EQ(f.sounds.played.back(), kSoundDropPiece);
}

TEST(ViewDrag, RightButtonDuringADragDropsFirstThenShowsTheMenu) {
    Fixture f;
    f.view.setTool(kToolNormal);
    f.press({35, 35});
    f.move({135, 135});
    f.platform.menuAnswers.push_back(menu_command::kZoom2);
    f.view.rightButton(kView, {135, 135}, {});
    EXPECT_EQ(f.view.dragPiece(), kNone);
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundPickupPiece, kSoundDropPiece}));
    ASSERT_EQ(f.platform.menusShown.size(), 1u);
    EXPECT_NE(findMenuItem(f.platform.menusShown[0], menu_command::kNearThisOne), nullptr);
    EXPECT_EQ(f.view.zoom(), 1);  // the chosen zoom ran in the view

    // A choice that is not the view's goes to the frame's dispatch.
    f.platform.menuAnswers.push_back(menu_command::kFindEdges);
    f.view.rightButton(kView, {700, 550}, {});
    EXPECT_EQ(f.platform.postedCommands, (std::vector<uint32_t>{menu_command::kFindEdges}));
}

TEST(ViewDrag, AModalWindowEndsTheDragWhereTheGroupLies) {
    Fixture f;
    f.press({35, 35});
    f.move({135, 135});
    f.view.modalWindowOpened();
    EXPECT_EQ(f.view.dragPiece(), kNone);
    EXPECT_EQ(f.at(0), (Point{130, 130}));
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundPickupPiece, kSoundDropPiece}));
    f.move({335, 335});  // no button is down any more: nothing follows
    EXPECT_EQ(f.at(0), (Point{130, 130}));
    f.release({335, 335});
    EXPECT_EQ(f.at(0), (Point{130, 130}));

    // An unfinished band is wiped without selecting.
    f.press({700, 550});
    f.move({720, 570});
    ASSERT_TRUE(f.view.bandActive());
    f.view.modalWindowOpened();
    EXPECT_FALSE(f.view.bandActive());
    f.release({720, 570});
    EXPECT_EQ(f.model.countSelectedPieces(ListId::Main), 0);
    f.view.modalWindowOpened();  // nothing held: nothing happens
}

// ------------------------------------------------------------------ bands

TEST(ViewBand, CtrlAndShiftAddToTheSelectionAPlainBandReplacesIt) {
    Fixture f;
    f.band({25, 25}, {75, 75});
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 0));
    f.band({75, 25}, {125, 75}, {.shift = true});
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 0));
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 1));
    f.band({25, 25}, {75, 125}, {.control = true});  // adds piece 15 below piece 0
    EXPECT_EQ(f.model.countSelectedPieces(ListId::Main), 3);
    f.band({300, 300}, {310, 310});  // empty: clears, silently
    EXPECT_EQ(f.model.countSelectedPieces(ListId::Main), 0);
    f.band({300, 300}, {310, 310});  // empty again, nothing to clear
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundSelectPieces, kSoundSelectPieces, kSoundSelectPieces, 8}));
}

TEST(ViewBand, ArrangeSolveAndFindToolsWorkOnTheRectangle) {
    Fixture f;
    f.press({35, 35}, {.shift = true});
    f.press({85, 35}, {.shift = true});
    f.view.setTool(kToolArrange);
    f.sounds.played.clear();
    f.band({600, 450}, {740, 560});
    // Laid out from the grown rectangle's corner (599, 449) + 10, the latest
    // picked group first.
    EXPECT_EQ(f.at(1), (Point{609, 459}));
    EXPECT_EQ(f.at(0), (Point{654, 459}));
    EXPECT_EQ(f.view.tool(), kToolNormal);
    EXPECT_EQ(f.undo.available(), 1);
    EXPECT_EQ(f.sounds.played.front(), kSoundArrange);

    // Solve over the picture's top-left cell with nothing selected there.
    f.view.setTool(kToolSolve);
    f.sounds.played.clear();
    f.band({kPicLeft, kPicTop}, {kPicLeft + 30, kPicTop + 30});
    EXPECT_EQ(f.model.listOfPiece(0), ListId::Finished);
    EXPECT_EQ(f.model.countListPieces(ListId::Finished), 1);
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundLockPiece}));
    EXPECT_EQ(f.view.tool(), kToolSolve);

    // Find selects the pieces that belong in the rectangle: piece 1 and 2.
    f.view.setTool(kToolFind);
    f.sounds.played.clear();
    f.band({kPicLeft + 50, kPicTop + 5}, {kPicLeft + 110, kPicTop + 30});  // meets cells 1 and 2
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 1));
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 2));
    EXPECT_EQ(f.model.countSelectedPieces(ListId::Main), 2);
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundSelectPieces}));
}

// In a shared network game only the host solves: the band's selection is
// sent, an area without one is refused, and nothing is solved here.
TEST(ViewBand, SolveToolInASharedGameAsksTheHostAndSolvesNothingHere) {
    Fixture f;
    f.network.game = f.network.shares = true;
    f.view.setTool(kToolSolve);
    f.band({25, 25}, {75, 75});  // around piece 0
    EXPECT_TRUE(f.model.isSelected(ListId::Main, 0));
    EXPECT_EQ(f.network.solves, std::vector<ListId>{ListId::Main});
    EXPECT_EQ(f.model.countListPieces(ListId::Finished), 0);
    EXPECT_EQ(f.undo.available(), 0);

    f.sounds.played.clear();
    f.band({kPicLeft, kPicTop}, {kPicLeft + 30, kPicTop + 30});  // no piece lies there
    EXPECT_EQ(f.network.solves.size(), 1u);
    EXPECT_EQ(f.model.countListPieces(ListId::Finished), 0);
    EXPECT_EQ(f.sounds.played, (Sounds{8}));  // refused

    // A Competitive game's copy is the player's own: solved here.
    f.network.shares = false;
    f.band({kPicLeft, kPicTop}, {kPicLeft + 30, kPicTop + 30});
    EXPECT_EQ(f.network.solves.size(), 1u);
    EXPECT_EQ(f.model.listOfPiece(0), ListId::Finished);
}

TEST(ViewBand, FindToolClickOnAPieceShowsItsMenuAndReturnsToTheArrow) {
    Fixture f;
    f.view.setTool(kToolFind);
    f.platform.menuAnswers.push_back(menu_command::kNearThisOne);
    f.press({135, 35});  // piece 2
    EXPECT_EQ(f.view.tool(), kToolNormal);
    ASSERT_EQ(f.platform.menusShown.size(), 1u);
    EXPECT_EQ(f.platform.menusShown[0], composeFindToolMenu({}));
    EXPECT_EQ(f.platform.postedCommands, (std::vector<uint32_t>{menu_command::kNearThisOne}));
    EXPECT_EQ(f.view.lastHit().piece(), 2);
    EXPECT_EQ(f.view.clickPoint(), (Point{135, 35}));
}

// -------------------------------------------------------------- rotation

TEST(ViewRotation, DoubleClickTurnsAndPicksUpOnlyLoosePiecesWithTheOption) {
    Fixture f;
    f.press({135, 35});
    f.release({135, 35});
    f.sounds.played.clear();
    f.view.mouseDoubleClick(kView, {135, 35}, {});
    EXPECT_EQ(f.model.piece(2).rotation, 1);
    EXPECT_EQ(f.view.dragPiece(), 2);
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundRotatePiece, kSoundPickupPiece}));
    f.release({135, 35});

    f.model.solvePiece(ListId::Main, 3, 0, 0);  // at (360, 180)
    f.sounds.played.clear();
    f.view.mouseDoubleClick(kView, {370, 190}, {});
    EXPECT_EQ(f.sounds.played, (Sounds{8}));
    EXPECT_EQ(f.model.piece(3).rotation, 0);

    f.document.rotated = false;
    f.sounds.played.clear();
    f.view.mouseDoubleClick(kView, {135, 35}, {});
    EXPECT_EQ(f.model.piece(2).rotation, 1);
    EXPECT_TRUE(f.sounds.played.empty());
}

// ------------------------------------------------------- zoom and scroll

TEST(ViewZoom, ZoomClickBringsThePointToTheCentreCtrlZoomsOut) {
    Fixture f;
    f.view.setScrollBounds({-1000, -1000, 1000, 1000});
    f.view.setTool(kToolZoom);
    // Ctrl at x1 goes on to x1/2; the clicked point comes to the centre.
    Point clicked = f.view.windowToPlay(kView, Point{600, 400});
    Point before = f.view.assemblyOffset();
    f.press({600, 400}, {.control = true});
    EXPECT_EQ(f.view.zoom(), 0);
    EXPECT_EQ(f.view.reduce(), 2);
    Point after = f.view.assemblyOffset();
    EXPECT_EQ(f.view.playToWindow(kView, Point{clicked.x + after.x - before.x, clicked.y + after.y - before.y}),
              (Point{kW / 2, kH / 2}));
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundZoomOut}));
    f.press({400, 300});  // back to x1
    EXPECT_EQ(f.view.reduce(), 1);
    EXPECT_EQ(f.view.zoom(), 0);

    // Zooming in: the play point under (600, 400) shows at the centre.
    clicked = f.view.windowToPlay(kView, Point{600, 400});
    before = f.view.assemblyOffset();
    f.press({600, 400});
    EXPECT_EQ(f.view.zoom(), 1);
    after = f.view.assemblyOffset();
    const Point moved{clicked.x + after.x - before.x, clicked.y + after.y - before.y};
    EXPECT_EQ(f.view.playToWindow(kView, moved), (Point{kW / 2, kH / 2}));
    EXPECT_EQ(f.sounds.played.back(), kSoundZoomIn);
}

TEST(ViewZoom, ZoomCommandKeepsTheCentreAndBoxesZoomAroundTheirOwn) {
    Fixture f;
    f.view.setScrollBounds({-1000, -1000, 1000, 1000});
    EXPECT_TRUE(f.view.command(menu_command::kZoom4));
    EXPECT_EQ(f.view.zoom(), 2);
    // The centre (400, 300) now shows at the window's centre (100, 75) x4.
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-300, -225}));
    EXPECT_EQ(f.settings.zoomShift, 2);
    EXPECT_GT(f.fullRedraws(), 0);
    EXPECT_GT(f.document.changes, 0);

    // A box zooms with its own level; its pieces keep the centre.
    f.windows.open[1] = true;
    f.model.movePieceToList(ListId::Box1, ListId::Main, 5);
    f.model.moveGroup(ListId::Box1, 5, 200, 400);  // at the box's centre (200, 400)
    f.view.mousePress(WindowId::sortingBox(0), {150, 150}, {});
    f.view.mouseRelease(WindowId::sortingBox(0), {150, 150}, {});
    ASSERT_EQ(f.view.lastHit().box(), 0);
    EXPECT_TRUE(f.view.command(menu_command::kZoom2));
    EXPECT_EQ(f.windows.zooms[1], 1);
    EXPECT_EQ(f.view.zoom(), 2);
    EXPECT_EQ(f.at(5), (Point{150, 350}));
}

TEST(ViewScroll, EdgeScrollsByTheOverhangUntilTheBoundsRefuse) {
    Fixture f;
    f.view.setScrollBounds({-1000, -1000, 1000, 1000});
    f.settings.zoomShift = 1;
    const Point piece0 = f.at(0);
    f.move({10, 300});  // Scroll(-20, 0) on every move at x2
    EXPECT_EQ(f.view.assemblyOffset(), (Point{20, 0}));
    f.move({10, 300});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{40, 0}));
    EXPECT_EQ(f.at(0), (Point{piece0.x + 40, piece0.y}));

    // At x1 the puzzle's own bounds allow 80 pixels each way.
    Fixture g;
    g.settings.zoomShift = 0;
    for (int i = 0; i < 4; ++i) g.move({0, 300});
    EXPECT_EQ(g.view.assemblyOffset(), (Point{80, 0}));
    const int redraws = g.fullRedraws();
    g.move({0, 300});
    EXPECT_EQ(g.view.scroll(-20, 0), 0);
    EXPECT_EQ(g.view.assemblyOffset(), (Point{80, 0}));
    EXPECT_EQ(g.fullRedraws(), redraws);
    // The right edge scrolls back; the idle pass scrolls only inside the view.
    EXPECT_TRUE(g.view.idleEdgeScroll({kW - 1, 300}, {}));
    EXPECT_EQ(g.view.assemblyOffset(), (Point{61, 0}));
    EXPECT_FALSE(g.view.idleEdgeScroll({400, 300}, {}));
    EXPECT_FALSE(g.view.idleEdgeScroll({-5, 300}, {}));
    EXPECT_EQ(g.view.assemblyOffset(), (Point{61, 0}));
}

TEST(ViewScroll, TheIdleScrollKeepsThePlayersLastHit) {
    Fixture f;
    f.view.setScrollBounds({-1000, -1000, 1000, 1000});
    f.move({35, 35});
    ASSERT_EQ(f.view.lastHit().piece(), 0);
    EXPECT_TRUE(f.view.idleEdgeScroll({kW - 1, 300}, {}));
    EXPECT_NE(f.view.assemblyOffset(), (Point{0, 0}));
    EXPECT_EQ(f.view.lastHit().piece(), 0);
}

// Zoomed in, the view shows only W >> z of the play area, so the world may
// move that much further left (and up) before the bounds' low edge is reached.
TEST(ViewScroll, LowBoundsAllowForTheZoomedViewsSize) {
    const Point lowest[] = {{-100, -50}, {-500, -350}, {-700, -500}, {-800, -575}};
    for (int z = 0; z <= 3; ++z) {
        Fixture f;
        f.view.setScrollBounds({-100, -50, 1000, 1000});
        f.settings.zoomShift = z;
        EXPECT_EQ(f.view.scroll(5000, 4000), 1);
        EXPECT_EQ(f.view.assemblyOffset(), lowest[z]) << "zoom " << z;
        EXPECT_EQ(f.view.scroll(30, 30), 0);
    }
}

TEST(ViewScroll, DraggedGroupStaysUnderThePointerWhileTheEdgeScrolls) {
    Fixture f;
    f.press({135, 35});  // piece 2 at (130, 30)
    f.move({5, 300});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{15, 0}));
    EXPECT_EQ(f.at(2), (Point{0, 295}));
    EXPECT_EQ(f.at(1), (Point{95, 30}));  // the others moved with the world
    f.release({5, 300});

    // A dragged selection keeps its grip too: the anchor moves with the world.
    Fixture g;
    g.press({35, 35}, {.shift = true});
    g.press({35, 35});
    g.move({5, 35});
    EXPECT_EQ(g.view.assemblyOffset(), (Point{15, 0}));
    EXPECT_EQ(g.at(0), (Point{0, 30}));
}

// ------------------------------------------------------------------- keys

TEST(ViewKeys, ToolKeysSetToolsAndCursorsAndRespectTheAllowances) {
    Fixture f;
    f.view.keyDown(ViewKey::Z, {});
    EXPECT_EQ(f.view.tool(), kToolZoom);
    EXPECT_EQ(f.platform.cursors.back(), CursorShape::ZoomIn);
    f.view.keyDown(ViewKey::Control, {.control = true});
    EXPECT_EQ(f.platform.cursors.back(), CursorShape::ZoomOut);
    f.view.keyUp(ViewKey::Control, {});
    EXPECT_EQ(f.platform.cursors.back(), CursorShape::ZoomIn);
    f.view.keyDown(ViewKey::A, {});
    EXPECT_EQ(f.platform.cursors.back(), CursorShape::Arrange);
    f.view.keyDown(ViewKey::S, {});
    EXPECT_EQ(f.platform.cursors.back(), CursorShape::Solve);
    f.view.keyDown(ViewKey::F, {});
    EXPECT_EQ(f.view.tool(), kToolFind);
    f.view.keyDown(ViewKey::Escape, {});
    EXPECT_EQ(f.view.tool(), kToolNormal);
    EXPECT_EQ(f.platform.cursors.back(), CursorShape::Arrow);
    EXPECT_EQ(f.windows.tools, (std::vector<int>{1, 2, 3, 4, 0}));
    f.view.keyDown(ViewKey::Box3, {});
    f.view.keyDown(ViewKey::N, {});
    EXPECT_EQ(f.windows.toggledBoxes, (std::vector<int>{3}));
    EXPECT_EQ(f.platform.postedCommands, (std::vector<uint32_t>{menu_command::kNearThisOne}));

    // A network game that allows no assist tools ignores their keys.
    Fixture g;
    g.settings.networkGame = 1;
    for (ViewKey k : {ViewKey::A, ViewKey::S, ViewKey::F, ViewKey::Box1, ViewKey::N, ViewKey::C})
        g.view.keyDown(k, {});
    EXPECT_EQ(g.view.tool(), kToolNormal);
    EXPECT_TRUE(g.windows.toggledBoxes.empty());
    EXPECT_TRUE(g.platform.postedCommands.empty());
    g.view.keyDown(ViewKey::Z, {});
    EXPECT_EQ(g.view.tool(), kToolZoom);
}

TEST(ViewKeys, LettersWithCtrlLeaveToolsAndWindowsAlone) {
    Fixture f;
    for (ViewKey k : {ViewKey::A, ViewKey::S, ViewKey::Z, ViewKey::F, ViewKey::N, ViewKey::C, ViewKey::O, ViewKey::P,
                      ViewKey::T})
        f.view.keyDown(k, {.control = true});
    EXPECT_EQ(f.view.tool(), kToolNormal);
    EXPECT_TRUE(f.windows.tools.empty());
    EXPECT_TRUE(f.windows.toggledBoxes.empty());
    EXPECT_EQ(f.windows.sideToggles, 0);
    EXPECT_TRUE(f.platform.postedCommands.empty());
    // Ctrl still changes the zoom cursor, and the same letter alone acts.
    f.view.keyDown(ViewKey::Z, {});
    f.view.keyDown(ViewKey::Control, {.control = true});
    EXPECT_EQ(f.platform.cursors.back(), CursorShape::ZoomOut);
    f.view.keyDown(ViewKey::A, {.shift = true});
    EXPECT_EQ(f.view.tool(), kToolArrange);
}

TEST(ViewKeys, ArrowsScrollOneCellScaledByTheZoom) {
    Fixture f;
    f.view.keyDown(ViewKey::Right, {});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-40, 0}));
    f.settings.zoomShift = 1;
    f.view.keyDown(ViewKey::Right, {});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-120, 0}));
    f.view.keyDown(ViewKey::Down, {});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-120, -80}));
    f.view.keyDown(ViewKey::Up, {});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-120, 0}));
    f.view.keyDown(ViewKey::Up, {});  // cut short by the bounds at 60
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-120, 60}));
    EXPECT_FALSE(f.view.savedScroll().has_value());

    // At x4 a step is one cell, at x8 half a cell.
    Fixture g;
    g.view.setScrollBounds({-1000, -1000, 1000, 1000});
    g.settings.zoomShift = 2;
    g.view.keyDown(ViewKey::Left, {});
    EXPECT_EQ(g.view.assemblyOffset(), (Point{40, 0}));
    g.settings.zoomShift = 3;
    g.view.keyDown(ViewKey::Left, {});
    g.view.keyDown(ViewKey::Up, {});
    EXPECT_EQ(g.view.assemblyOffset(), (Point{60, 20}));
}

TEST(ViewKeys, EnterCentresAndGoesBackEvenFromTheOrigin) {
    Fixture f;
    f.settings.zoomShift = 1;
    f.view.keyDown(ViewKey::Enter, {});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-200, -150}));
    ASSERT_TRUE(f.view.savedScroll().has_value());
    // The remembered offset is (0, 0), which still counts as remembered.
    f.view.keyDown(ViewKey::Enter, {});
    EXPECT_EQ(f.view.assemblyOffset(), (Point{0, 0}));
    EXPECT_FALSE(f.view.savedScroll().has_value());
    EXPECT_EQ(f.sounds.played, (Sounds{kSoundCenter, kSoundCenter}));
    EXPECT_EQ(f.at(0), (Point{30, 30}));
}

TEST(ViewKeys, SpaceCyclesHiddenAssembledAndBackAndIsEnterOnceFinished) {
    Fixture f;
    f.settings.zoomShift = 1;
    f.view.keyDown(ViewKey::Space, {});
    EXPECT_EQ(f.renderer.viewMode, kViewPlayAreaHidden);
    EXPECT_EQ(f.windows.hidden, 1);
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-200, -150}));
    f.press({35, 35});  // loose pieces are hidden: nothing is picked up
    EXPECT_EQ(f.view.dragPiece(), kNone);
    f.view.keyDown(ViewKey::Space, {});
    EXPECT_EQ(f.renderer.viewMode, kViewAssembled);
    f.view.keyDown(ViewKey::Space, {});
    EXPECT_EQ(f.renderer.viewMode, kViewPiecesShown);
    EXPECT_EQ(f.windows.restored, 1);
    EXPECT_EQ(f.view.assemblyOffset(), (Point{0, 0}));

    f.state = kPuzzleStateCompleted;
    f.view.keyDown(ViewKey::Space, {});
    EXPECT_EQ(f.renderer.viewMode, kViewPiecesShown);
    EXPECT_EQ(f.view.assemblyOffset(), (Point{-200, -150}));
    f.view.keyDown(ViewKey::A, {});  // changes nothing once finished
    EXPECT_EQ(f.view.tool(), kToolNormal);
}

TEST(ViewKeys, BackspaceUndoesThePickUpAndTheScrollAfterIt) {
    Fixture f;
    f.press({35, 35});
    f.move({535, 535});
    f.release({535, 535});
    f.view.keyDown(ViewKey::Right, {});
    ASSERT_EQ(f.view.assemblyOffset(), (Point{-40, 0}));
    f.sounds.played.clear();
    f.view.keyDown(ViewKey::Backspace, {});
    EXPECT_EQ(f.sounds.played, (Sounds{23}));
    EXPECT_EQ(f.at(0), (Point{30, 30}));
    EXPECT_EQ(f.at(1), (Point{80, 30}));
    EXPECT_EQ(f.view.assemblyOffset(), (Point{0, 0}));
    EXPECT_EQ(f.model.solvedX(0), kPicLeft);  // the solved places agree
    std::string why;
    EXPECT_TRUE(f.model.checkInvariants(&why)) << why;

    // Ctrl+Z is the desktop's undo key: the same as Backspace.
    f.press({35, 35});
    f.move({535, 535});
    f.release({535, 535});
    f.sounds.played.clear();
    f.view.keyDown(ViewKey::Z, {.control = true});
    EXPECT_EQ(f.sounds.played, (Sounds{23}));
    EXPECT_EQ(f.at(0), (Point{30, 30}));
    EXPECT_EQ(f.view.tool(), kToolNormal);
}

// ----------------------------------------------------- messages and more

TEST(ViewCommands, PieceInfoPieceNumberAndSelectAll) {
    Fixture f;
    f.move({285, 85});  // piece 20 at (280, 80)
    EXPECT_TRUE(f.view.command(menu_command::kPieceInfo));
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text,
              "Piece #:20\nX: 280 Y: 80\nWidth: 40 Height: 40\nGroup: Main\nGroup Number: 20");
    f.view.keyDown(ViewKey::Eight, {});  // the pointer is over no piece
    EXPECT_EQ(f.platform.messages.size(), 1u);
    f.platform.pointer = {285, 85};
    f.view.keyDown(ViewKey::Eight, {});
    EXPECT_EQ(f.platform.messages.back().text, "Piece number: 20");

    EXPECT_EQ(f.view.selectAll(), kCols * kRows);
    EXPECT_EQ(f.model.countSelectedPieces(ListId::Main), kCols * kRows);
    EXPECT_FALSE(f.view.command(menu_command::kFindEdges));
}

TEST(ViewCommands, NothingHappensWithoutAPuzzle) {
    Fixture f;
    f.document.exists = false;
    f.press({35, 35});
    f.move({0, 0});
    f.view.keyDown(ViewKey::Right, {});
    f.view.centerView();
    EXPECT_EQ(f.view.dragPiece(), kNone);
    EXPECT_EQ(f.view.assemblyOffset(), (Point{0, 0}));
    EXPECT_TRUE(f.sounds.played.empty());
    // The menu still opens, without the puzzle's entries.
    f.view.rightButton(kView, {100, 100}, {});
    ASSERT_EQ(f.platform.menusShown.size(), 1u);
    EXPECT_EQ(findMenuItem(f.platform.menusShown[0], menu_command::kSelectAll), nullptr);
}

// ---------------------------------------------------------------- zoom out

namespace {

// Every piece's place, rotation, list and group, to compare two games.
std::vector<std::array<int32_t, 5>> snapshot(const PuzzleModel& m) {
    std::vector<std::array<int32_t, 5>> out;
    for (int32_t i = 0; i < m.pieceCount(); ++i) {
        const ListId list = m.listOfPiece(i);
        const int32_t g = m.findGroupOfPiece(list, i);
        out.push_back({m.piece(i).x, m.piece(i).y, int32_t(list), g == kNone ? -1 : m.groupNode(g).firstMember,
                       m.piece(i).rotation});
    }
    return out;
}

}  // namespace

TEST(ViewZoomOut, DropAtAQuarterJoinsAndGivesTheModelOfTheSameDropAtX1) {
    Fixture atOne, atQuarter;
    atQuarter.view.zoomOutTo(4);
    ASSERT_EQ(atQuarter.view.reduce(), 4);
    EXPECT_EQ(atQuarter.settings.zoomShift, 0u);
    // Window pixel w shows the middle of play-area cell -1200 + 4w (x) and
    // -900 + 4w (y): the play area's centre stays at the window's centre.
    EXPECT_EQ(atQuarter.view.windowToPlay(kView, Point{400, 300}), (Point{402, 302}));
    const Point grab = atQuarter.view.playToWindow(kView, Point{86, 34});
    EXPECT_EQ(grab, (Point{321, 233}));
    // A press between pieces 0 and 1 picks nothing up.
    atQuarter.press(atQuarter.view.playToWindow(kView, Point{74, 34}));
    EXPECT_EQ(atQuarter.view.dragPiece(), kNone);
    atQuarter.release(atQuarter.view.playToWindow(kView, Point{74, 34}));

    atQuarter.press(grab);  // piece 1, at (80, 30)
    EXPECT_EQ(atQuarter.view.dragPiece(), 1);
    atQuarter.move({320, 234});
    atQuarter.release({319, 234});  // pointer at (78, 38): the piece at (72, 34)
    EXPECT_TRUE(atQuarter.sameGroup(ListId::Main, 0, 1));
    EXPECT_EQ(atQuarter.at(1), (Point{70, 30}));

    atOne.press({86, 34});
    atOne.move({78, 38});
    atOne.release({78, 38});
    EXPECT_EQ(snapshot(atQuarter.model), snapshot(atOne.model));
    EXPECT_EQ(atQuarter.view.assemblyOffset(), atOne.view.assemblyOffset());
}

TEST(ViewZoomOut, KeysStepThroughTheZoomsAndZeroFitsTheWholeTable) {
    Fixture f;
    const KeyFlags none;
    f.view.keyDown(ViewKey::Minus, none);
    EXPECT_EQ(f.view.reduce(), 2);
    f.view.keyDown(ViewKey::Minus, none);
    f.view.keyDown(ViewKey::Minus, none);
    f.view.keyDown(ViewKey::Minus, none);  // x1/8 is the last step
    EXPECT_EQ(f.view.reduce(), 8);
    for (int i = 0; i < 4; ++i) f.view.keyDown(ViewKey::Plus, none);
    EXPECT_EQ(f.view.reduce(), 1);
    EXPECT_EQ(f.settings.zoomShift, 1u);  // through x1 on to x2
    // Ctrl-click of the zoom tool goes on past x1.
    f.view.setTool(kToolZoom);
    f.view.mousePress(kView, {400, 300}, {false, true});
    f.view.mousePress(kView, {400, 300}, {false, true});
    EXPECT_EQ(f.view.reduce(), 2);

    // One piece far out: "fit" shows it, the others and the picture's frame.
    f.model.piece(47).x = 3000;  // moves keep pieces on the play area; scrolls need not
    f.model.piece(47).y = 2000;
    f.view.keyDown(ViewKey::Zero, none);
    EXPECT_TRUE(f.view.fitted());
    EXPECT_GE(f.view.reduce(), 4);  // about 3000 x 2000 pixels into 800 x 600
    const Rect shown = f.view.visiblePlayArea();
    EXPECT_EQ(shown.united(f.view.tableRect()), shown);

    // The menu's Zoom popup offers the reduced zooms and checks Fit.
    f.platform.menuAnswers.push_back(view_command::kZoomQuarter);
    f.view.rightButton(kView, {10, 10}, none);
    ASSERT_FALSE(f.platform.menusShown.empty());
    const MenuItem* fit = findMenuItem(f.platform.menusShown.back(), view_command::kZoomFit);
    ASSERT_NE(fit, nullptr);
    EXPECT_TRUE(fit->checked);
    EXPECT_EQ(f.view.reduce(), 4);
    EXPECT_FALSE(f.view.fitted());
}

TEST(ViewZoomOut, FirstViewFitsOnlyATableLargerThanTheWindow) {
    Fixture fits;
    const Point before = fits.at(5);
    fits.view.fitIfTableHidden();
    EXPECT_EQ(fits.view.reduce(), 1);
    EXPECT_EQ(fits.at(5), before);

    Fixture large;
    large.settings.zoomShift = 2;
    large.model.piece(47).x = -1500;
    large.model.piece(47).y = 900;
    large.view.fitIfTableHidden();
    EXPECT_GT(large.view.reduce(), 1);
    EXPECT_EQ(large.settings.zoomShift, 0u);
    const Rect shown = large.view.visiblePlayArea();
    EXPECT_EQ(shown.united(large.view.tableRect()), shown);
    EXPECT_EQ(large.document.changes, 0);  // opening is no change
    EXPECT_EQ(large.at(47), (Point{-1500, 900}));  // nor a move
}

TEST(ViewZoomOut, WheelScrollsPanFollowsThePointerCtrlWheelZoomsAboutIt) {
    Fixture f;
    f.view.zoomOutTo(4);
    const Point start = f.view.assemblyOffset();
    f.view.wheelScroll(0, 10);  // ten window pixels down: forty play pixels
    EXPECT_EQ(f.view.assemblyOffset(), (Point{start.x, start.y - 40}));
    f.view.wheelScroll(-3, 0);
    EXPECT_EQ(f.view.assemblyOffset(), (Point{start.x + 12, start.y - 40}));

    f.view.panPress({100, 100});
    f.view.panMove({105, 98});
    f.view.panRelease();
    EXPECT_EQ(f.view.assemblyOffset(), (Point{start.x + 32, start.y - 48}));
    f.view.panMove({200, 200});  // released: nothing more
    EXPECT_EQ(f.view.assemblyOffset(), (Point{start.x + 32, start.y - 48}));

    // The piece under the pointer stays under it through zooms in and out.
    const Point pointer = f.view.playToWindow(kView, Point{f.at(20).x + 20, f.at(20).y + 20});
    f.view.zoomAbout(pointer, 1);
    EXPECT_EQ(f.view.reduce(), 2);
    f.view.zoomAbout(pointer, 2);
    EXPECT_EQ(f.settings.zoomShift, 1u);
    f.view.mousePress(kView, pointer, {});
    EXPECT_EQ(f.view.dragPiece(), 20);
}
