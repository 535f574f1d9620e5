// Whole games played through the game session alone, without a window: new
// puzzle, drags and drops with the mouse, undo, sorting boxes and finds,
// save and reopen, colours, completion and Exit — each through the same
// commands the window's menus, palette and keys run — and the side windows'
// rules on rectangles.
#include "shell/game_session.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/file_io.h"
#include "media/bmp.h"
#include "platform/scripted_platform.h"
#include "shell/dialogs/assist_dialogs.h"
#include "shell/recovery.h"

using namespace pavalo;

namespace {

namespace mc = menu_command;
namespace fc = frame_command;

constexpr int32_t kPlayW = 1000, kPlayH = 750;

// A player who answers every dialog as the test says.
class ScriptedFrontEnd final : public SessionFrontEnd {
public:
    std::string picture;
    Grid grid{4, 3};
    int edgeMask = 15, edgeDelivery = 0;
    std::optional<uint32_t> colourAnswer;
    std::string title;
    PaletteState palette;
    int returnsToStart = 0;
    int pieceCountAsked = 0;
    std::vector<FinishSummary> finished;

    std::optional<std::string> choosePicture() override { return picture; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules&, bool) override {
        ++pieceCountAsked;
        PieceCountChoice c;
        c.grid = grid;
        return c;
    }
    bool runFindEdges(FindEdgesDialog& model) override {
        for (int edge = 0; edge < 4; ++edge) model.setChecked(edge, (edgeMask >> edge) & 1);
        return model.delivery.choose(edgeDelivery);
    }
    std::optional<uint32_t> customAnswer;  // put into the first custom colour while choosing
    std::optional<uint32_t> chooseColour(uint32_t, std::array<uint32_t, 16>& custom) override {
        if (customAnswer) custom[0] = *customAnswer;
        return colourAnswer;
    }
    void setTitle(const std::string& t) override { title = t; }
    void showPalette(const PaletteState& state) override { palette = state; }
    void returnToStart() override { ++returnsToStart; }
    void puzzleFinished(const FinishSummary& summary) override { finished.push_back(summary); }
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
        // The pieces lie around the picture, mostly past the play area's
        // edges: the first view shows the whole table.
        ViewController& v = session_->view();
        const Rect shown = v.visiblePlayArea();
        EXPECT_EQ(shown.united(v.tableRect()), shown);
        // The tests work in play-area pixels: back to x1, which changes nothing.
        const bool modified = session_->document().modified();
        v.zoomTo(WindowId::view(), 0, true);
        session_->document().setModified(modified);
    }

    // The play clock reads nowMs_, which only the test moves.
    void useTestClock() {
        session_->setClock(PlayClock([this] { return nowMs_; }));
    }
    bool autosaveNow(std::string& error) {
        return session_->autosave(error) && session_->finishAutosave(error);
    }
    // The bytes a save would write now, the play time included.
    std::vector<uint8_t> savedBytes() { return session_->document().savedBytes(); }

    std::filesystem::path folder_;
    int64_t nowMs_ = 1'000'000;
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

TEST_F(GameSessionTest, TheTitleNamesTheFileAndMarksUnsavedChanges) {
    startPuzzle();
    session_->document().setModified(false);
    session_->refreshTitle();
    EXPECT_EQ(front_.title, "Pavalo");
    drag(pointOn(3), {700, 600});
    EXPECT_EQ(front_.title, "*Pavalo");

    const std::string first = (folder_ / "first.gvp").string();
    platform_.saveAnswers.push_back(first);
    ASSERT_TRUE(session_->dispatch(mc::kSaveAs));
    EXPECT_EQ(front_.title, "Pavalo - first.gvp");
    drag(pointOn(4), {650, 560});
    EXPECT_EQ(front_.title, "*Pavalo - first.gvp");

    // Save As under another name: the title follows the new name.
    platform_.saveAnswers.push_back((folder_ / "second.gvp").string());
    ASSERT_TRUE(session_->dispatch(mc::kSaveAs));
    EXPECT_EQ(front_.title, "Pavalo - second.gvp");
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
    SideWindowManager& windows = session_->sideWindows();
    ASSERT_TRUE(session_->dispatch(fc::kBox1 + 1));
    EXPECT_TRUE(windows.isBoxOpen(2));
    EXPECT_TRUE(front_.palette.isOn(fc::kBox1 + 1));
    EXPECT_EQ(session_->document().record().boxOpen[1], 1u);
    ASSERT_TRUE(session_->dispatch(mc::kFindEdges));
    // A 4 x 3 grid has 10 edge pieces and 2 inner ones.
    EXPECT_EQ(m.countListPieces(sortingBoxList(2)), 10);
    EXPECT_EQ(m.countListPieces(ListId::Main), 2);
    const Rect area = windows.boxClientArea(2);
    const Rect pieces = m.listBoundingBox(sortingBoxList(2));
    EXPECT_TRUE(pieces.intersects(area));
    ASSERT_TRUE(session_->dispatch(fc::kBox1 + 1));
    EXPECT_FALSE(windows.isBoxOpen(2));
    EXPECT_EQ(session_->document().record().boxOpen[1], 0u);
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

// The keys cannot take back the move that completed the puzzle; the
// palette's Undo button can, and the puzzle is in play again.
TEST_F(GameSessionTest, ThePaletteUndoTakesBackTheCompletingMove) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    const Point loose{m.piece(7).x, m.piece(7).y};
    ViewController& v = session_->view();
    v.setTool(kToolSolve);
    // Ctrl: every piece whose place meets the rectangle, wherever it lies.
    const Point from{m.solvedX(0) + 2, m.solvedY(0) + 2};
    const Point to{from.x + m.geometry().pictureWidth - 6, from.y + m.geometry().pictureHeight - 6};
    v.mousePress(WindowId::view(), from, {.control = true});
    v.mouseMove(WindowId::view(), to, {.control = true});
    v.mouseRelease(WindowId::view(), to, {.control = true});
    ASSERT_EQ(m.countListPieces(ListId::Finished), 12);
    ASSERT_EQ(session_->document().puzzleState(), kPuzzleStateCompleted);

    v.keyDown(ViewKey::Backspace, {});
    v.keyDown(ViewKey::Z, {.control = true});
    EXPECT_EQ(m.countListPieces(ListId::Finished), 12);
    EXPECT_EQ(session_->document().puzzleState(), kPuzzleStateCompleted);

    ASSERT_TRUE(session_->pressPaletteButton(fc::kPaletteUndo));
    EXPECT_EQ(m.countListPieces(ListId::Main), 12);
    EXPECT_EQ(m.piece(7).x, loose.x);
    EXPECT_EQ(m.piece(7).y, loose.y);
    EXPECT_NE(session_->document().puzzleState(), kPuzzleStateCompleted);
    EXPECT_EQ(session_->compositor().state().viewMode, kViewPiecesShown);
    EXPECT_TRUE(front_.palette.isEnabled(fc::kArrangeTool));
    EXPECT_TRUE(front_.palette.isEnabled(fc::kSolveTool));
}

// In a network game no command starts, opens, saves or recuts a puzzle,
// turns rotation on, or takes back a move, whichever key or button asks;
// the palette shows New and Undo disabled.
TEST_F(GameSessionTest, ANetworkGameRefusesFileCommandsRecutRotationAndUndo) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    ViewController& v = session_->view();
    v.setTool(kToolSolve);
    // Ctrl: the pieces whose places meet the small rectangle.
    const Point from{m.solvedX(0) + 2, m.solvedY(0) + 2}, to{from.x + 4, from.y + 4};
    v.mousePress(WindowId::view(), from, {.control = true});
    v.mouseMove(WindowId::view(), to, {.control = true});
    v.mouseRelease(WindowId::view(), to, {.control = true});
    const int placed = m.countListPieces(ListId::Finished);
    ASSERT_GT(placed, 0);
    session_->document().record().networkGame = 1;
    const uint32_t rotation = session_->document().record().rotationOption;
    const std::string saveTo = (folder_ / "refused.gvp").string();
    platform_.saveAnswers.push_back(saveTo);
    front_.grid = {3, 2};
    for (uint32_t id : {mc::kNew, mc::kSave, mc::kSaveAs, mc::kRecut, mc::kRotatedPieces, mc::kOpen})
        session_->dispatch(id);
    session_->pressPaletteButton(fc::kPaletteUndo);
    v.keyDown(ViewKey::Backspace, {});
    EXPECT_EQ(m.countListPieces(ListId::Finished), placed);
    EXPECT_EQ(m.pieceCount(), 12);
    EXPECT_EQ(session_->document().record().rotationOption, rotation);
    EXPECT_FALSE(std::filesystem::exists(saveTo));
    EXPECT_TRUE(platform_.messages.empty());
    session_->refreshPalette();
    EXPECT_FALSE(front_.palette.isEnabled(fc::kPaletteNew));
    EXPECT_FALSE(front_.palette.isEnabled(fc::kPaletteUndo));

    session_->document().record().networkGame = 0;
    session_->refreshPalette();
    EXPECT_TRUE(front_.palette.isEnabled(fc::kPaletteNew));
    ASSERT_TRUE(session_->pressPaletteButton(fc::kPaletteUndo));
    EXPECT_LT(m.countListPieces(ListId::Finished), placed);
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
    EXPECT_FALSE(session_->sideWindows().isBoxOpen(1));
    session_->refreshPalette();
    EXPECT_FALSE(front_.palette.isEnabled(fc::kArrangeTool));
    EXPECT_FALSE(front_.palette.isEnabled(fc::kBox1));
}

// Dropped files: the first one the game takes wins; a picture starts a new
// puzzle through the piece-count question, a saved puzzle opens, both after
// the save question, and a network game refuses them as it refuses New and
// Open.
TEST_F(GameSessionTest, DroppedFilesStartOrOpenPuzzles) {
    const std::string text = (folder_ / "notes.txt").string(), saved = (folder_ / "first.GVP").string();
    std::ofstream(text) << "words";
    std::filesystem::create_directories(folder_ / "folder.bmp");
    EXPECT_EQ(chooseDroppedFile({text, (folder_ / "folder.bmp").string(), (folder_ / "gone.png").string()}).kind,
              DroppedFileKind::None);
    const DroppedFile picture = chooseDroppedFile({text, front_.picture, saved});
    EXPECT_EQ(picture.kind, DroppedFileKind::Picture);
    EXPECT_EQ(picture.path, front_.picture);

    front_.grid = {5, 4};
    ASSERT_TRUE(session_->openDroppedFile(picture));
    EXPECT_EQ(session_->model().pieceCount(), 20);
    ASSERT_TRUE(session_->document().saveAs(saved));
    const DroppedFile puzzle = chooseDroppedFile({text, saved, front_.picture});
    EXPECT_EQ(puzzle.kind, DroppedFileKind::SavedPuzzle);

    front_.grid = {3, 2};
    ASSERT_TRUE(session_->openDroppedFile(picture));
    EXPECT_EQ(session_->model().pieceCount(), 6);
    // A changed puzzle asks first; Cancel keeps it.
    session_->document().setModified();
    platform_.messageAnswers.push_back(MessageResult::Cancel);
    EXPECT_FALSE(session_->openDroppedFile(puzzle));
    EXPECT_EQ(session_->model().pieceCount(), 6);
    platform_.messageAnswers.push_back(MessageResult::No);
    ASSERT_TRUE(session_->openDroppedFile(puzzle));
    EXPECT_EQ(session_->document().path(), saved);
    EXPECT_EQ(session_->model().pieceCount(), 20);

    session_->document().record().networkGame = 1;
    EXPECT_FALSE(session_->acceptsDroppedFile(picture));
    EXPECT_FALSE(session_->acceptsDroppedFile(puzzle));
    EXPECT_FALSE(session_->openDroppedFile(picture));
    EXPECT_EQ(session_->model().pieceCount(), 20);
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

TEST_F(GameSessionTest, CustomColoursAreKeptOnlyWhenTheChooserEndsWithOk) {
    startPuzzle();
    const uint32_t before = session_->colours().customColour(0);
    front_.customAnswer = before ^ 0x00FFFFu;
    ASSERT_TRUE(session_->dispatch(fc::kPieceOutlineColour));  // Cancel
    EXPECT_EQ(session_->colours().customColour(0), before);
    front_.colourAnswer = chosenColour(1, 2, 3);
    ASSERT_TRUE(session_->dispatch(fc::kPieceOutlineColour));  // OK
    EXPECT_EQ(session_->colours().customColour(0), before ^ 0x00FFFFu);
}

TEST_F(GameSessionTest, ExitAsksToSaveAndReturnsToTheStartOnlyWhenNotCancelled) {
    startPuzzle();
    drag(pointOn(3), {300, 300});
    ASSERT_TRUE(session_->document().modified());
    platform_.messageAnswers.push_back(MessageResult::Cancel);
    ASSERT_TRUE(session_->dispatch(mc::kExit));
    EXPECT_TRUE(session_->document().hasPuzzle());
    EXPECT_EQ(front_.returnsToStart, 0);

    ASSERT_TRUE(session_->dispatch(fc::kBox1));
    platform_.messageAnswers.push_back(MessageResult::No);
    ASSERT_TRUE(session_->dispatch(mc::kExit));
    EXPECT_FALSE(session_->document().hasPuzzle());
    EXPECT_EQ(front_.returnsToStart, 1);
    EXPECT_FALSE(session_->sideWindows().isBoxOpen(1));
    EXPECT_EQ(session_->compositor().state().displayState, DisplayState::Tile);
}

TEST_F(GameSessionTest, ContinueReopensTheLastPuzzleWhileItsFileExists) {
    EXPECT_FALSE(session_->continuePath());
    EXPECT_FALSE(session_->runStartChoice(StartChoice::Continue));
    ASSERT_TRUE(session_->runStartChoice(StartChoice::NewPuzzle));
    const std::string path = (folder_ / "last.gvp").string();
    ASSERT_TRUE(session_->document().saveAs(path));
    ASSERT_EQ(session_->continuePath(), path);
    platform_.messageAnswers.push_back(MessageResult::No);
    ASSERT_TRUE(session_->exitGame());
    ASSERT_TRUE(session_->runStartChoice(StartChoice::Continue));
    EXPECT_EQ(session_->document().path(), path);
    // Without its picture the puzzle still comes back, as through the menu.
    platform_.messageAnswers.push_back(MessageResult::No);
    ASSERT_TRUE(session_->exitGame());
    std::filesystem::remove(front_.picture);
    platform_.messageAnswers.push_back(MessageResult::No);
    EXPECT_TRUE(session_->runStartChoice(StartChoice::Continue));
    EXPECT_TRUE(session_->document().hasPuzzle());
    EXPECT_FALSE(session_->document().hasPicture());
    EXPECT_NE(platform_.messages.back().text.find(front_.picture), std::string::npos);
    std::filesystem::remove(path);
    EXPECT_FALSE(session_->continuePath());
}

TEST_F(GameSessionTest, APuzzleKeptAtAnEndFromOutsideComesBackOnlyWhenTheOfferIsTaken) {
    const std::string folder = folder_.string();
    std::string error;
    startPuzzle();
    const std::string saved = (folder_ / "kept.gvp").string();
    ASSERT_TRUE(session_->document().saveAs(saved));
    // Saved and unchanged: nothing to keep.
    EXPECT_TRUE(session_->keepPuzzleForNextStart(error));
    EXPECT_FALSE(keptPuzzleWaiting(folder));

    drag(pointOn(1), {250, 250});
    const Rect moved = session_->model().piece(1).box();
    ASSERT_TRUE(session_->keepPuzzleForNextStart(error)) << error;
    ASSERT_TRUE(keptPuzzleWaiting(folder));
    // The document is still the saved file's, with its changes.
    EXPECT_EQ(session_->document().path(), saved);
    EXPECT_TRUE(session_->document().modified());

    session_->document().release();
    platform_.messageAnswers.push_back(MessageResult::Yes);
    ASSERT_TRUE(session_->offerKeptPuzzle());
    EXPECT_EQ(platform_.messages.back().text, kRecoveryQuestion);
    EXPECT_EQ(session_->document().path(), saved);
    EXPECT_TRUE(session_->document().modified());
    EXPECT_EQ(session_->model().piece(1).box().left, moved.left);
    EXPECT_EQ(session_->continuePath(), saved);
    EXPECT_EQ(session_->recentFiles().files().front(), saved);
    EXPECT_FALSE(keptPuzzleWaiting(folder));

    // No discards it; nothing waiting asks nothing.
    ASSERT_TRUE(session_->keepPuzzleForNextStart(error));
    platform_.messageAnswers.push_back(MessageResult::No);
    EXPECT_FALSE(session_->offerKeptPuzzle());
    EXPECT_FALSE(keptPuzzleWaiting(folder));
    const size_t asked = platform_.messages.size();
    EXPECT_FALSE(session_->offerKeptPuzzle());
    EXPECT_EQ(platform_.messages.size(), asked);
}

TEST_F(GameSessionTest, ClosingTheWindowKeepsTheGameWhenTheSaveQuestionIsCancelled) {
    startPuzzle();
    drag(pointOn(1), {250, 250});
    platform_.messageAnswers.push_back(MessageResult::Cancel);
    EXPECT_FALSE(session_->closeRequested());
    EXPECT_TRUE(session_->document().modified());
    platform_.messageAnswers.push_back(MessageResult::No);
    EXPECT_TRUE(session_->closeRequested());
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
    // The side windows are rectangles: a box opens and takes pieces.
    EXPECT_TRUE(s.dispatch(fc::kBox1));
    EXPECT_TRUE(s.isBoxOpen(1));
    EXPECT_TRUE(s.dispatch(mc::kArrange));
    EXPECT_FALSE(s.dispatch(1));  // an id nobody handles
}

TEST_F(GameSessionTest, ABoxCarriesItsPiecesAndKeepsItsPlaceInTheRecord) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    SideWindowManager& w = session_->sideWindows();
    const SideWindow box2 = sideWindowOfBox(2);
    ASSERT_TRUE(session_->dispatch(fc::kBox1 + 1));
    // A first opening: the default place of box 2.
    EXPECT_EQ(w.views().frame(box2), (Rect{80, 80, 280, 280}));
    front_.edgeDelivery = 2;
    ASSERT_TRUE(session_->dispatch(mc::kFindEdges));
    const Rect before = m.listBoundingBox(sortingBoxList(2));

    // Moved by (+100, +40): the pieces go along and the record follows.
    const Rect to = w.correctMove(box2, {180, 120, 380, 320});
    w.views().place(box2, to);
    w.moved(box2, to);
    EXPECT_EQ(m.listBoundingBox(sortingBoxList(2)), before.offset(100, 40));
    EXPECT_EQ(rectOf(session_->document().record().boxRect[1]), to);
    EXPECT_TRUE(session_->document().modified());

    // Dragged nearly off the screen, it is pulled back in steps of 30 until
    // 30 pixels of it are on the screen.
    const Rect off = w.correctMove(box2, {kPlayW - 5, 120, kPlayW + 195, 320});
    EXPECT_EQ(off.left, kPlayW - 35);

    // Hide closes it remembering it; the second Hide brings it back where it was.
    ASSERT_TRUE(session_->pressPaletteButton(fc::kHide));
    EXPECT_FALSE(w.isBoxOpen(2));
    EXPECT_TRUE(front_.palette.isOn(fc::kHide));
    ASSERT_TRUE(session_->pressPaletteButton(fc::kHide));
    EXPECT_TRUE(w.isBoxOpen(2));
    EXPECT_EQ(w.views().frame(box2), to);
    EXPECT_EQ(m.listBoundingBox(sortingBoxList(2)), before.offset(100, 40));
}

TEST_F(GameSessionTest, APlacementFromALargerScreenIsPulledBackWithItsPieces) {
    startPuzzle();
    PuzzleModel& m = session_->model();
    SideWindowManager& w = session_->sideWindows();
    front_.edgeDelivery = 1;
    ASSERT_TRUE(session_->dispatch(fc::kBox1));
    ASSERT_TRUE(session_->dispatch(mc::kFindEdges));
    ASSERT_TRUE(session_->dispatch(fc::kBox1));  // closed, its place kept
    const Rect pieces = m.listBoundingBox(sortingBoxList(1));
    // As if saved on a screen 2000 pixels wide: the box and its pieces 1440
    // pixels further right.
    session_->document().record().boxRect[0] = storedRectOf({1500, 60, 1700, 260});
    m.offsetListPieces(sortingBoxList(1), 1440, 0, nullptr);
    ASSERT_TRUE(session_->dispatch(fc::kBox1));
    const Rect frame = w.views().frame(sideWindowOfBox(1));
    EXPECT_EQ(frame.left, 1500 - 18 * 30);
    EXPECT_EQ(m.listBoundingBox(sortingBoxList(1)), pieces.offset(frame.left - 60, 0));
}

TEST_F(GameSessionTest, ThePreviewKeepsThePicturesAspect) {
    startPuzzle();
    SideWindowManager& w = session_->sideWindows();
    ASSERT_TRUE(session_->dispatch(fc::kPreview));
    ASSERT_TRUE(w.isOpen(SideWindow::Preview));
    const Rect client = w.views().client(SideWindow::Preview);
    // The picture is 400 x 300.
    EXPECT_NEAR(double(client.width()) / client.height(), 4.0 / 3.0, 0.02);
    const Rect sized = w.correctSize(SideWindow::Preview, {100, 100, 500, 160}, SizingEdge::Bottom);
    const Point extra = w.views().frameExtra();
    EXPECT_NEAR(double(sized.width() - extra.x) / (sized.height() - extra.y), 4.0 / 3.0, 0.02);
}

TEST(PlayClockTest, CountsOnlyWhileInPlayAndNothingHoldsIt) {
    int64_t now = 5000;
    PlayClock clock([&] { return now; });
    clock.reset(100);
    now += 7000;
    EXPECT_EQ(clock.seconds(), 100u);  // not in play yet
    clock.setInPlay(true);
    now += 3000;
    EXPECT_EQ(clock.seconds(), 103u);
    clock.hold(ClockHold::Minimised, true);
    clock.hold(ClockHold::ModalDialog, true);
    now += 10000;
    clock.hold(ClockHold::Minimised, false);  // the dialog still holds it
    now += 10000;
    EXPECT_EQ(clock.seconds(), 103u);
    clock.hold(ClockHold::ModalDialog, false);
    now += 1500;
    EXPECT_EQ(clock.milliseconds(), 104500);
    clock.setInPlay(false);
    now += 60000;
    EXPECT_EQ(clock.milliseconds(), 104500);
    EXPECT_EQ(formatPlayTime(59), "0:59");
    EXPECT_EQ(formatPlayTime(754), "12:34");
    EXPECT_EQ(formatPlayTime(3600 + 62), "1:01:02");
}

TEST_F(GameSessionTest, PlayTimeIsShownAndSurvivesUndoSaveAndOpen) {
    useTestClock();
    startPuzzle();
    nowMs_ += 125'000;
    EXPECT_EQ(session_->progressText(), "0 / 12 pieces   2:05");
    session_->holdClock(ClockHold::Minimised, true);
    nowMs_ += 50'000;
    session_->holdClock(ClockHold::Minimised, false);
    // The undo step holds the record as it was before the move; taking the
    // move back takes back no time.
    drag(pointOn(1), {250, 250});
    nowMs_ += 10'000;
    session_->view().keyDown(ViewKey::Backspace, {});
    EXPECT_EQ(session_->clock().seconds(), 135u);

    const std::string saved = (folder_ / "timed.gvp").string();
    ASSERT_TRUE(session_->document().saveAs(saved));
    std::ifstream in(saved, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 58u + 908u);
    EXPECT_EQ(loadU32(bytes.data() + 58 + 904), 135u);  // after the magic, version and record size

    ASSERT_TRUE(session_->dispatch(mc::kNew));
    EXPECT_EQ(session_->clock().seconds(), 0u);
    nowMs_ += 7'000;
    ASSERT_TRUE(session_->document().open(saved));
    EXPECT_EQ(session_->clock().seconds(), 135u);
    nowMs_ += 2'000;
    EXPECT_EQ(session_->progressText(), "0 / 12 pieces   2:17");
}

TEST_F(GameSessionTest, CompletionStopsTheClockKeepsThePuzzleAndOffersTheFinishPanelOnce) {
    useTestClock();
    startPuzzle();
    nowMs_ += 61'000;
    ASSERT_TRUE(session_->dispatch(mc::kSelectAll));
    ASSERT_TRUE(session_->dispatch(mc::kSolveSelected));
    ASSERT_EQ(front_.finished.size(), 1u);
    EXPECT_EQ(front_.finished[0].pieces, 12);
    EXPECT_EQ(front_.finished[0].seconds, 61u);
    EXPECT_TRUE(front_.finished[0].canStartAgain);
    std::string error;
    ASSERT_TRUE(session_->finishAutosave(error)) << error;
    EXPECT_TRUE(keptPuzzleWaiting(folder_.string()));
    nowMs_ += 30'000;
    EXPECT_EQ(session_->progressText(), "12 / 12 pieces   1:01");
    ASSERT_TRUE(session_->dispatch(mc::kCheckCompletion));
    EXPECT_EQ(front_.finished.size(), 1u);

    session_->finishPanelClosed(FinishChoice::Close);
    EXPECT_EQ(session_->model().pieceCount(), 12);
    // Play Again: the same picture, cut anew after the piece count.
    const int asked = front_.pieceCountAsked;
    front_.grid = {3, 2};
    session_->finishPanelClosed(FinishChoice::PlayAgain);
    EXPECT_EQ(front_.pieceCountAsked, asked + 1);
    EXPECT_EQ(session_->model().pieceCount(), 6);
    EXPECT_EQ(session_->document().record().picture(), front_.picture);
    EXPECT_EQ(session_->document().puzzleState(), kPuzzleStateNew);
    nowMs_ += 2'000;
    EXPECT_EQ(session_->clock().seconds(), 2u);
}

TEST_F(GameSessionTest, AutosaveWritesOnlyChangesAndASaveOrACloseTakesItAway) {
    const std::string folder = folder_.string();
    std::string error;
    startPuzzle();
    ASSERT_TRUE(autosaveNow(error)) << error;
    EXPECT_TRUE(keptPuzzleWaiting(folder));  // never saved
    // A save while the autosave is still being written: the saved file is
    // newer, and the autosave's write does not outlast its removal.
    drag(pointOn(1), {250, 250});
    ASSERT_TRUE(session_->autosave(error));
    ASSERT_TRUE(session_->document().saveAs((folder_ / "auto.gvp").string()));
    ASSERT_TRUE(session_->finishAutosave(error));
    EXPECT_FALSE(keptPuzzleWaiting(folder));
    ASSERT_TRUE(autosaveNow(error));
    EXPECT_FALSE(keptPuzzleWaiting(folder));  // saved and unchanged

    drag(pointOn(2), {250, 250});
    ASSERT_TRUE(autosaveNow(error));
    ASSERT_TRUE(keptPuzzleWaiting(folder));
    discardKeptPuzzle(folder);
    ASSERT_TRUE(autosaveNow(error));
    EXPECT_FALSE(keptPuzzleWaiting(folder));  // nothing changed since the last one

    drag(pointOn(3), {300, 300});
    ASSERT_TRUE(autosaveNow(error));
    ASSERT_TRUE(keptPuzzleWaiting(folder));
    platform_.messageAnswers.push_back(MessageResult::No);  // "Save changes?" No
    EXPECT_TRUE(session_->closeRequested());
    EXPECT_FALSE(keptPuzzleWaiting(folder));
}

// A discard waits for the write in flight: a large write begun just before
// it must not bring the file back afterwards.
TEST_F(GameSessionTest, TheRecoveryWriterNeverLetsAnOlderWriteOutlastADiscard) {
    const std::string folder = folder_.string();
    std::vector<uint8_t> large(48u << 20);
    for (size_t i = 0; i < large.size(); i += 4096) large[i] = uint8_t(i >> 12);
    std::string error;
    {
        RecoveryWriter writer(folder);
        writer.write(large, "/somewhere/large.gvp");
        writer.discard();
        ASSERT_TRUE(writer.finish(error)) << error;
        EXPECT_FALSE(keptPuzzleWaiting(folder));

        writer.write({1, 2, 3}, "/somewhere/small.gvp");
    }  // the destructor waits for the write
    std::ifstream in(recoveryPath(folder), std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {}), (std::vector<uint8_t>{1, 2, 3}));
    std::ifstream name(recoveryNamePath(folder));
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(name)), {}), "/somewhere/small.gvp");
}

// A child process plays, autosaves and is killed without a chance to do
// anything more; the next start offers its puzzle and brings it back as it
// was at the autosave.
TEST_F(GameSessionTest, AnAutosaveOutlivesAKilledProcessAndRestoresThePuzzleExactly) {
    useTestClock();
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        std::string error;
        if (!session_->dispatch(mc::kNew) || !session_->document().hasPuzzle()) _exit(2);
        session_->view().zoomTo(WindowId::view(), 0, true);
        nowMs_ += 754'000;
        drag(pointOn(3), {260, 240});
        if (!autosaveNow(error)) _exit(3);
        const std::vector<uint8_t> expected = savedBytes();
        // Changes after the autosave are lost with the process.
        drag(pointOn(4), {320, 200});
        const uint64_t size = expected.size();
        if (write(pipeEnds[1], &size, sizeof size) != ssize_t(sizeof size)) _exit(4);
        for (size_t done = 0; done < expected.size();) {
            const ssize_t n = write(pipeEnds[1], expected.data() + done, expected.size() - done);
            if (n <= 0) _exit(5);
            done += size_t(n);
        }
        for (;;) pause();
    }
    close(pipeEnds[1]);
    std::vector<uint8_t> expected;
    uint64_t size = 0;
    size_t got = 0;
    std::vector<uint8_t> buffer(64 * 1024);
    std::vector<uint8_t> received;
    for (;;) {
        pollfd p{pipeEnds[0], POLLIN, 0};
        if (poll(&p, 1, 20'000) <= 0) break;
        const ssize_t n = read(pipeEnds[0], buffer.data(), buffer.size());
        if (n <= 0) break;
        received.insert(received.end(), buffer.begin(), buffer.begin() + n);
        got = received.size();
        if (got >= sizeof size) {
            std::memcpy(&size, received.data(), sizeof size);
            if (got >= sizeof size + size) break;
        }
    }
    close(pipeEnds[0]);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself: " << status;
    ASSERT_EQ(got, sizeof size + size);
    expected.assign(received.begin() + sizeof size, received.end());

    ASSERT_FALSE(session_->document().hasPuzzle());
    platform_.messageAnswers.push_back(MessageResult::Yes);
    ASSERT_TRUE(session_->offerKeptPuzzle());
    EXPECT_EQ(platform_.messages.back().text, kRecoveryQuestion);
    EXPECT_EQ(session_->clock().seconds(), 754u);
    EXPECT_TRUE(session_->document().modified());
    EXPECT_TRUE(session_->document().path().empty());
    EXPECT_EQ(savedBytes(), expected);
}

}  // namespace
