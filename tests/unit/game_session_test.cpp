// Whole games played through the game session alone, without a window: new
// puzzle, drags and drops with the mouse, undo, sorting boxes and finds,
// save and reopen, colours, completion and Exit — each through the same
// commands the window's menus, palette and keys run.
#include "shell/game_session.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>

#include "media/bmp.h"
#include "platform/scripted_platform.h"
#include "shell/dialogs/assist_dialogs.h"

using namespace pavalo;

namespace {

namespace mc = menu_command;
namespace fc = frame_command;

constexpr int32_t kPlayW = 1000, kPlayH = 750;

// Side windows that keep rectangles only: box k's client area lies at
// (600, 100 + 150 (k - 1)), 300 x 140, at the box's zoom.
class RectSideWindows final : public SideWindowHost {
public:
    std::array<bool, 6> open{};  // SideWindow order: preview, overview, boxes 1-4
    std::array<int, 5> zoom{};
    std::map<int, std::string> captions;
    std::array<bool, 6> remembered{};
    bool hiddenNow = false;
    int contentsChanges = 0;

    static size_t slot(int box) { return size_t(box + 1); }
    bool isOpen(SideWindow w) const override { return open[size_t(w)]; }
    bool isBoxOpen(int box) const override { return box >= 1 && box <= 4 && open[slot(box)]; }
    void openBox(int box, bool) override { open[slot(box)] = true; }
    void toggleBox(int box) override { open[slot(box)] = !open[slot(box)]; }
    void togglePreview() override { open[0] = !open[0]; }
    void toggleOverview() override { open[1] = !open[1]; }
    Rect boxClientRect(int box) const override {
        const int32_t top = 100 + 150 * (box - 1);
        return {600, top, 900, top + 140};
    }
    Rect boxClientArea(int box) const override {
        const Rect r = boxClientRect(box);
        return {r.left, r.top, r.left + (r.width() >> zoom[size_t(box)]), r.top + (r.height() >> zoom[size_t(box)])};
    }
    int boxZoom(int box) const override { return zoom[size_t(box)]; }
    void setBoxZoom(int box, int z) override { zoom[size_t(box)] = z; }
    void boxContentsChanged(int) override { ++contentsChanges; }
    void setBoxCaption(int box, const std::string& caption) override { captions[box] = caption; }
    void refreshCaptions() override {}
    void redrawBox(int) override {}
    void redrawOverview() override {}
    void redrawAll() override {}
    bool hidden() const override { return hiddenNow; }
    void toggleHide() override { hiddenNow ? restore() : hide(); }
    void hide() override {
        remembered = open;
        open = {};
        hiddenNow = true;
    }
    void restore() override {
        open = remembered;
        hiddenNow = false;
    }
    void endHide() override { hiddenNow = false; }
    void closeAll() override { open = {}; }
    void closePreviewAndOverview() override { open[0] = open[1] = false; }
    void closeSortingBoxes() override {
        for (int box = 1; box <= 4; ++box) open[slot(box)] = false;
    }
    void openFromRecord() override {}
    void restorePlacements() override {}
};

// A player who answers every dialog as the test says.
class ScriptedFrontEnd final : public SessionFrontEnd {
public:
    RectSideWindows windows;
    std::string picture;
    Grid grid{4, 3};
    int edgeMask = 15, edgeDelivery = 0;
    std::optional<uint32_t> colourAnswer;
    std::string title;
    PaletteState palette;
    int returnsToStart = 0;

    std::optional<std::string> choosePicture() override { return picture; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules&, bool) override {
        PieceCountChoice c;
        c.grid = grid;
        return c;
    }
    bool runFindEdges(FindEdgesDialog& model) override {
        for (int edge = 0; edge < 4; ++edge) model.setChecked(edge, (edgeMask >> edge) & 1);
        return model.delivery.choose(edgeDelivery);
    }
    std::optional<uint32_t> chooseColour(uint32_t, std::array<uint32_t, 16>&) override { return colourAnswer; }
    SideWindowHost* sideWindows() override { return &windows; }
    void setTitle(const std::string& t) override { title = t; }
    void showPalette(const PaletteState& state) override { palette = state; }
    void returnToStart() override { ++returnsToStart; }
};

class GameSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("pavalo-session-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        front_.picture = writePicture(400, 300);
        session_ = std::make_unique<GameSession>(SessionOptions{folder_.string(), kPlayW, kPlayH}, platform_, rng_);
        session_->setFrontEnd(&front_);
        ASSERT_TRUE(session_->display().createDisplay(nullptr, kPlayW, kPlayH, 24, false, false));
    }
    void TearDown() override {
        session_.reset();
        std::filesystem::remove_all(folder_);
    }

    // A 24-bit picture of smooth colour: every piece differs from its neighbours.
    std::string writePicture(int w, int h) {
        DrawSurface s;
        EXPECT_TRUE(s.create(w, h, 24));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = s.row(y) + 3 * x;
                p[0] = uint8_t(x * 255 / w);
                p[1] = uint8_t(y * 255 / h);
                p[2] = uint8_t((x + y) & 0xFF);
            }
        const std::string path = (folder_ / "picture.bmp").string();
        EXPECT_TRUE(saveBmp(s, path));
        return path;
    }

    // A play-area point inside the piece (the view is at zoom 0, unscrolled).
    Point pointOn(int32_t piece) {
        const PuzzleModel& m = session_->model();
        const Rect box = m.piece(piece).box();
        for (int32_t y = box.top; y < box.bottom; ++y)
            for (int32_t x = box.left; x < box.right; ++x)
                if (m.findPieceAtPoint(ListId::Main, x, y) == piece) return {x, y};
        ADD_FAILURE() << "piece " << piece << " cannot be hit";
        return {};
    }

    void drag(Point from, Point to) {
        ViewController& v = session_->view();
        v.mousePress(WindowId::view(), from, {});
        v.mouseMove(WindowId::view(), {(from.x + to.x) / 2, (from.y + to.y) / 2}, {});
        v.mouseMove(WindowId::view(), to, {});
        v.mouseRelease(WindowId::view(), to, {});
    }

    void startPuzzle() {
        ASSERT_TRUE(session_->dispatch(mc::kNew));
        ASSERT_TRUE(session_->document().hasPuzzle());
    }

    std::filesystem::path folder_;
    ScriptedPlatform platform_;
    Random rng_{12345};
    ScriptedFrontEnd front_;
    std::unique_ptr<GameSession> session_;
};

TEST_F(GameSessionTest, NewPuzzleThroughTheMenuCommandShowsAPlayablePuzzle) {
    startPuzzle();
    const PuzzleModel& m = session_->model();
    EXPECT_EQ(m.pieceCount(), 12);
    EXPECT_EQ(m.countListPieces(ListId::Main), 12);
    EXPECT_NE(front_.title.find("Pavalo"), std::string::npos);
    // The palette offers the tools of a game in play.
    EXPECT_TRUE(front_.palette.isEnabled(fc::kArrangeTool));
    EXPECT_TRUE(front_.palette.isEnabled(fc::kSolveTool));
    EXPECT_TRUE(front_.palette.isEnabled(fc::kBox1));
    EXPECT_EQ(front_.palette.tool, kToolNormal);
    EXPECT_EQ(session_->compositor().state().displayState, DisplayState::Playing);
}

TEST_F(GameSessionTest, APieceDroppedOnItsPlaceLocksInAndUndoTakesItBack) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    const int32_t piece = 5;
    const Point before{m.piece(piece).x, m.piece(piece).y};
    const Point grab = pointOn(piece);
    const Point target{m.solvedX(piece) + (grab.x - before.x), m.solvedY(piece) + (grab.y - before.y)};
    drag(grab, {target.x + 2, target.y - 1});  // within the snap tolerance
    EXPECT_EQ(m.listOfPiece(piece), ListId::Finished);
    EXPECT_EQ(m.piece(piece).x, m.solvedX(piece));
    EXPECT_TRUE(session_->document().modified());

    session_->view().keyDown(ViewKey::Backspace, {});
    EXPECT_EQ(m.listOfPiece(piece), ListId::Main);
    EXPECT_EQ(m.piece(piece).x, before.x);
    EXPECT_EQ(m.piece(piece).y, before.y);
}

TEST_F(GameSessionTest, FindEdgesDeliversTheEdgePiecesIntoAnOpenSortingBox) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    front_.edgeDelivery = 2;
    ASSERT_TRUE(session_->dispatch(fc::kBox1 + 1));
    EXPECT_TRUE(front_.windows.isBoxOpen(2));
    EXPECT_TRUE(front_.palette.isOn(fc::kBox1 + 1));
    ASSERT_TRUE(session_->dispatch(mc::kFindEdges));
    // A 4 x 3 grid has 10 edge pieces and 2 inner ones.
    EXPECT_EQ(m.countListPieces(sortingBoxList(2)), 10);
    EXPECT_EQ(m.countListPieces(ListId::Main), 2);
    const Rect area = front_.windows.boxClientArea(2);
    const Rect pieces = m.listBoundingBox(sortingBoxList(2));
    EXPECT_TRUE(pieces.intersects(area));
    EXPECT_GT(front_.windows.contentsChanges, 0);
    ASSERT_TRUE(session_->dispatch(fc::kBox1 + 1));
    EXPECT_FALSE(front_.windows.isBoxOpen(2));
}

TEST_F(GameSessionTest, SavedPuzzleReopensThroughTheOpenCommandWithItsPieces) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    const Point grab = pointOn(0);
    drag(grab, {grab.x + 37, grab.y + 23});
    const Point moved{m.piece(0).x, m.piece(0).y};
    const std::string path = (folder_ / "game.gvp").string();
    ASSERT_TRUE(session_->document().saveAs(path));
    EXPECT_FALSE(session_->document().modified());
    ASSERT_FALSE(session_->recentFiles().files().empty());
    EXPECT_EQ(session_->recentFiles().files().front(), path);

    drag(pointOn(0), {400, 400});
    platform_.messageAnswers.push_back(MessageResult::No);  // discard the later move
    platform_.openAnswers.push_back(path);
    ASSERT_TRUE(session_->dispatch(mc::kOpen));
    EXPECT_EQ(m.pieceCount(), 12);
    EXPECT_EQ(m.piece(0).x, moved.x);
    EXPECT_EQ(m.piece(0).y, moved.y);
    EXPECT_EQ(session_->document().path(), path);
}

TEST_F(GameSessionTest, SolvingEverythingCompletesThePuzzleAndDisablesTheTools) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    ASSERT_TRUE(session_->dispatch(mc::kSelectAll));
    EXPECT_EQ(m.countSelectedPieces(ListId::Main), 12);
    ASSERT_TRUE(session_->dispatch(mc::kSolveSelected));
    EXPECT_EQ(m.countListPieces(ListId::Finished), 12);
    EXPECT_EQ(session_->document().puzzleState(), kPuzzleStateCompleted);
    EXPECT_FALSE(front_.palette.isEnabled(fc::kArrangeTool));
    EXPECT_FALSE(front_.palette.isEnabled(fc::kFindTool));
    EXPECT_EQ(session_->compositor().state().viewMode, kViewFinished);
    // A completed puzzle is not marked changed by later commands.
    session_->document().setModified(false);
    session_->markChanged();
    EXPECT_FALSE(session_->document().modified());
}

TEST_F(GameSessionTest, ToolsFollowThePermissionsOfTheRecord) {
    startPuzzle();
    ASSERT_TRUE(session_->pressPaletteButton(fc::kArrangeTool));
    EXPECT_EQ(session_->view().tool(), kToolArrange);
    EXPECT_EQ(front_.palette.tool, kToolArrange);
    ASSERT_TRUE(session_->pressPaletteButton(fc::kArrow));
    EXPECT_EQ(session_->view().tool(), kToolNormal);

    // A network record that forbids arranging and the boxes.
    SettingsRecord& r = session_->document().record();
    r.networkGame = 1;
    r.assistAllowed = {0, 0, 1, 1, 1, 1, 1};  // no sorting boxes, no arranging
    ASSERT_TRUE(session_->pressPaletteButton(fc::kArrangeTool));
    EXPECT_EQ(session_->view().tool(), kToolNormal);
    ASSERT_TRUE(session_->dispatch(fc::kBox1));
    EXPECT_FALSE(front_.windows.isBoxOpen(1));
    session_->refreshPalette();
    EXPECT_FALSE(front_.palette.isEnabled(fc::kArrangeTool));
    EXPECT_FALSE(front_.palette.isEnabled(fc::kBox1));
}

TEST_F(GameSessionTest, ColourCommandsChangeTheRendererOnlyWhenAColourIsChosen) {
    startPuzzle();
    const uint32_t before = session_->colours().chosen(ColourItem::Background);
    ASSERT_TRUE(session_->dispatch(fc::kBackgroundColour));  // cancelled
    EXPECT_EQ(session_->colours().chosen(ColourItem::Background), before);
    front_.colourAnswer = chosenColour(10, 200, 30);
    ASSERT_TRUE(session_->dispatch(fc::kBackgroundColour));
    EXPECT_EQ(session_->colours().chosen(ColourItem::Background), chosenColour(10, 200, 30));
    EXPECT_EQ(session_->compositor().state().options.background, chosenColour(10, 200, 30));
}

TEST_F(GameSessionTest, ExitAsksToSaveAndReturnsToTheStartOnlyWhenNotCancelled) {
    startPuzzle();
    drag(pointOn(3), {300, 300});
    ASSERT_TRUE(session_->document().modified());
    platform_.messageAnswers.push_back(MessageResult::Cancel);
    ASSERT_TRUE(session_->dispatch(mc::kExit));
    EXPECT_TRUE(session_->document().hasPuzzle());
    EXPECT_EQ(front_.returnsToStart, 0);

    front_.windows.open[2] = true;
    platform_.messageAnswers.push_back(MessageResult::No);
    ASSERT_TRUE(session_->dispatch(mc::kExit));
    EXPECT_FALSE(session_->document().hasPuzzle());
    EXPECT_EQ(front_.returnsToStart, 1);
    EXPECT_FALSE(front_.windows.isBoxOpen(1));
    EXPECT_EQ(session_->compositor().state().displayState, DisplayState::Tile);
}

TEST_F(GameSessionTest, AHeadlessSessionRunsWithTheDefaultFrontEnd) {
    GameSession& s = *session_;
    s.setFrontEnd(nullptr);
    // Every dialog is cancelled: no puzzle, no crash, nothing opened.
    EXPECT_TRUE(s.dispatch(mc::kNew));
    EXPECT_FALSE(s.document().hasPuzzle());
    NewPuzzleOptions o;
    o.picture = front_.picture;
    o.pieces = 12;
    o.seed = 99;
    ASSERT_TRUE(s.document().newPuzzle(o));
    EXPECT_TRUE(s.dispatch(fc::kBox1));
    EXPECT_FALSE(s.isBoxOpen(1));
    EXPECT_TRUE(s.dispatch(mc::kArrange));
    EXPECT_FALSE(s.dispatch(1));  // an id nobody handles
}

}  // namespace
