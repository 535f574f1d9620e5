// The frame's rules without a window system: Hide and restore, the 30-pixel
// rule, how box pieces follow moves and sizings, box scroll bars and steps,
// the preview's aspect, the overview's map, the command table's scopes, the
// recent-file list, the colour options at every depth and the wallpaper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "common/file_io.h"
#include "display/side_window_rules.h"
#include "puzzle/piece_mask.h"
#include "shell/colour_options.h"
#include "shell/command_table.h"
#include "shell/recent_files.h"
#include "shell/wallpaper.h"

using namespace pavalo;

namespace {

// A temporary folder removed at the end of the test.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        path = std::filesystem::temp_directory_path() /
               ("pavalo-frame-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
};

// 4 x 3 square pieces of 20 pixels cut from an 80 x 60 picture on a 400 x
// 300 play area; piece i lies at (10 + 25 i, 10).
PuzzleModel makePuzzle() {
    constexpr int kCell = 20, kCols = 4, kRows = 3;
    std::vector<Piece> pieces(kCols * kRows);
    for (int i = 0; i < kCols * kRows; ++i) {
        Piece& p = pieces[size_t(i)];
        p.homeX = (i % kCols) * kCell;
        p.homeY = (i / kCols) * kCell;
        p.width = p.height = kCell;
        p.mask = encodePieceMask(kCell, kCell, [](int, int) { return true; });
        p.x = 10 + 25 * i;
        p.y = 10;
    }
    PuzzleModel m;
    m.geometry() = {400, 300, kCols * kCell, kRows * kCell, 0, 0, 7};
    m.createFromPieces(std::move(pieces), kRows, kCols);
    return m;
}

}  // namespace

// ------------------------------------------------------------------ Hide

TEST(SideWindowSet, HideThenRestoreReopensExactlyTheOpenWindows) {
    SideWindowSet set;
    set.opened(SideWindow::Preview);
    set.opened(SideWindow::Box2);
    set.opened(SideWindow::Box4);
    set.closed(SideWindow::Box4, false);
    const std::vector<SideWindow> closing = set.hide();
    EXPECT_EQ(closing, (std::vector<SideWindow>{SideWindow::Preview, SideWindow::Box2}));
    for (SideWindow w : closing) set.closed(w, false);
    EXPECT_TRUE(set.hidden());
    EXPECT_TRUE(set.hide().empty());  // a second hide changes nothing
    EXPECT_EQ(set.restore(), (std::vector<SideWindow>{SideWindow::Preview, SideWindow::Box2}));
    EXPECT_FALSE(set.hidden());
    EXPECT_TRUE(set.restore().empty());
}

TEST(SideWindowSet, AWindowClosedByItsOwnCloseBoxIsNotRestoredAndForgetAllEndsHiding) {
    SideWindowSet set;
    set.opened(SideWindow::Preview);
    set.opened(SideWindow::Box1);
    for (SideWindow w : set.hide()) set.closed(w, false);
    // Reopened by its key while hidden, then closed with its close box.
    set.opened(SideWindow::Box1);
    set.closed(SideWindow::Box1, true);
    EXPECT_EQ(set.restore(), std::vector<SideWindow>{SideWindow::Preview});

    set.opened(SideWindow::Overview);
    set.hide();
    set.forgetAll();
    EXPECT_FALSE(set.hidden());
    EXPECT_FALSE(set.isOpen(SideWindow::Overview));
    EXPECT_TRUE(set.restore().empty());
}

// ------------------------------------------------------- box placement

TEST(BoxPlacementRules, ThirtyPixelsOfABoxStayOnTheScreen) {
    const int32_t W = 1024, H = 768;
    EXPECT_EQ(keepBoxOnScreen({1000, 100, 1200, 300}, W, H), (Rect{970, 100, 1170, 300}));
    EXPECT_EQ(keepBoxOnScreen({-190, 100, 10, 300}, W, H), (Rect{-160, 100, 40, 300}));
    EXPECT_EQ(keepBoxOnScreen({100, -25, 300, 175}, W, H), (Rect{100, 0, 300, 200}));
    EXPECT_EQ(keepBoxOnScreen({100, 750, 300, 950}, W, H), (Rect{100, 720, 300, 920}));
    EXPECT_EQ(keepBoxOnScreen({100, 100, 300, 300}, W, H), (Rect{100, 100, 300, 300}));
    // Any throw, however far, leaves at least 30 pixels and keeps the size.
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> pos(-5000, 5000), size(60, 600);
    for (int i = 0; i < 2000; ++i) {
        const int32_t x = pos(rng), y = pos(rng), w = size(rng), h = size(rng);
        const Rect r = keepBoxOnScreen({x, y, x + w, y + h}, W, H);
        EXPECT_EQ(r.width(), w);
        EXPECT_EQ(r.height(), h);
        EXPECT_LE(r.left, W - kOnScreenMargin);
        EXPECT_GE(r.right, kOnScreenMargin);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.top, H - kOnScreenMargin);
    }
}

TEST(BoxPlacementRules, AMoveCarriesThePiecesAndASizingFromTheLeftKeepsThemOnTheScreen) {
    BoxPlacement placement({60, 60, 260, 260});
    EXPECT_EQ(placement.moved({160, 60, 360, 260}), (Point{100, 0}));
    EXPECT_EQ(placement.saved(), (Rect{160, 60, 360, 260}));

    // A piece at box point b shows at o + ((b - o) << z). Drag the left and
    // top border in steps; after every step the piece stays where it was
    // (to within the pixels one box pixel covers).
    for (int zoom = 0; zoom <= 3; ++zoom) {
        BoxPlacement p({100, 100, 300, 300});
        const Point origin0{104, 122};  // the client's top-left
        const Point b0{150, 170};
        const Point shown0{origin0.x + ((b0.x - origin0.x) << zoom), origin0.y + ((b0.y - origin0.y) << zoom)};
        Point b = b0;
        for (int step : {7, 13, -5, 31, 2}) {
            const Rect now{100 + step, 100 + step / 2, 300, 300};
            const Point d = p.sizing(now, zoom);
            b = {b.x + d.x, b.y + d.y};
            const Point origin{origin0.x + step, origin0.y + step / 2};
            const Point shown{origin.x + ((b.x - origin.x) << zoom), origin.y + ((b.y - origin.y) << zoom)};
            EXPECT_LT(std::abs(shown.x - shown0.x), 1 << zoom) << "zoom " << zoom << " step " << step;
            EXPECT_LT(std::abs(shown.y - shown0.y), 1 << zoom) << "zoom " << zoom << " step " << step;
        }
        p.sizingEnded({102, 101, 300, 300});
        EXPECT_EQ(p.saved(), (Rect{102, 101, 300, 300}));
    }
    // Sizing from the right or bottom never moves the pieces.
    BoxPlacement right({100, 100, 300, 300});
    EXPECT_EQ(right.sizing({100, 100, 420, 380}, 2), (Point{0, 0}));
}

// ------------------------------------------------------ box scroll bars

TEST(BoxScrollBarRules, AnEmptyBoxOrAHeapThatFitsHasNoScrolling) {
    const Rect visible{100, 100, 300, 250};
    const BoxScrollBars none = boxScrollBars(visible, {});
    EXPECT_FALSE(none.horizontal.active());
    EXPECT_EQ(none.shift, (Point{0, 0}));
    const BoxScrollBars inside = boxScrollBars(visible, {150, 150, 200, 200});
    EXPECT_EQ(inside.shift, (Point{0, 0}));
    EXPECT_FALSE(inside.horizontal.active() || inside.vertical.active());
}

TEST(BoxScrollBarRules, ASmallHeapPartlyOutsideIsPulledToTheVisibleStart) {
    const Rect visible{100, 100, 300, 250};
    // 50 wide, grown to 60: fits; it sticks out on the right and above.
    const BoxScrollBars bars = boxScrollBars(visible, {280, 80, 330, 130});
    EXPECT_EQ(bars.shift, (Point{100 - (280 - 5), 100 - (80 - 5)}));
    EXPECT_FALSE(bars.horizontal.active() || bars.vertical.active());
}

TEST(BoxScrollBarRules, AWideHeapScrollsOverItsWholeWidth) {
    const Rect visible{100, 100, 300, 250};  // 200 x 150
    // Contents 400 wide starting 50 left of the visible area.
    const Rect pieces{55, 120, 445, 200};
    const BoxScrollBars bars = boxScrollBars(visible, pieces);
    EXPECT_EQ(bars.shift, (Point{0, 0}));
    EXPECT_EQ(bars.horizontal, (ScrollAxis{50, 50 + 400 - 200, 100}));
    EXPECT_FALSE(bars.vertical.active());
    // Scrolling to either end shows that end of the contents: the pieces
    // move by (old position - new position).
    const int32_t toStart = bars.horizontal.position - scrollTarget(bars.horizontal, ScrollAction::First);
    EXPECT_EQ(pieces.left - 5 + toStart, visible.left);
    const int32_t toEnd = bars.horizontal.position - scrollTarget(bars.horizontal, ScrollAction::Last);
    EXPECT_EQ(pieces.right + 5 + toEnd, visible.right);
    // Contents starting right of the visible area: the range takes in the
    // visible start, so the position lies inside it.
    const BoxScrollBars late = boxScrollBars(visible, {150, 120, 600, 200});
    EXPECT_LE(late.horizontal.minimum, late.horizontal.position);
    EXPECT_LE(late.horizontal.position, late.horizontal.maximum);
}

TEST(BoxScrollBarRules, StepsAreFiveAndTwentyPixelsAndStopAtTheEnds) {
    const ScrollAxis a{0, 100, 50};
    EXPECT_EQ(scrollTarget(a, ScrollAction::LineForward), 55);
    EXPECT_EQ(scrollTarget(a, ScrollAction::LineBack), 45);
    EXPECT_EQ(scrollTarget(a, ScrollAction::PageForward), 70);
    EXPECT_EQ(scrollTarget(a, ScrollAction::PageBack), 30);
    EXPECT_EQ(scrollTarget(a, ScrollAction::First), 0);
    EXPECT_EQ(scrollTarget(a, ScrollAction::Last), 100);
    EXPECT_EQ(scrollTarget(a, ScrollAction::Track, 73), 73);
    EXPECT_EQ(scrollTarget({0, 100, 98}, ScrollAction::LineForward), 100);
    EXPECT_EQ(scrollTarget({0, 100, 10}, ScrollAction::PageBack), 0);
    EXPECT_EQ(scrollTarget(a, ScrollAction::Track, 500), 100);
}

// --------------------------------------------------------------- preview

TEST(PreviewRules, TheDraggedSideDecidesAndTheOtherFollowsTheAspect) {
    const Point extra{8, 26}, screen{1920, 1080}, minimum{80, 50};
    EXPECT_EQ(previewClientSize({200, 400}, SizingEdge::Right, 640, 480, extra, screen, minimum), (Point{200, 150}));
    EXPECT_EQ(previewClientSize({200, 400}, SizingEdge::BottomLeft, 640, 480, extra, screen, minimum),
              (Point{200, 150}));
    EXPECT_EQ(previewClientSize({999, 300}, SizingEdge::Bottom, 640, 480, extra, screen, minimum), (Point{400, 300}));
    // Too big for the room left on the screen: the limit wins, still in aspect.
    EXPECT_EQ(previewClientSize({1000, 0}, SizingEdge::Right, 640, 480, extra, {508, 1080}, minimum),
              (Point{500, 375}));
    EXPECT_EQ(previewClientSize({1000, 0}, SizingEdge::Right, 640, 480, extra, {1920, 326}, minimum),
              (Point{400, 300}));
    // Never smaller than the smallest window.
    const Point tiny = previewClientSize({10, 0}, SizingEdge::Right, 640, 480, extra, screen, minimum);
    EXPECT_GE(tiny.x + extra.x, minimum.x);
    EXPECT_GE(tiny.y + extra.y, minimum.y);
}

TEST(PreviewRules, MovingKeepsTheWholeWindowOnTheScreen) {
    EXPECT_EQ(keepWithinScreen({900, 700, 1100, 850}, 1024, 768), (Rect{824, 618, 1024, 768}));
    EXPECT_EQ(keepWithinScreen({-20, -5, 180, 145}, 1024, 768), (Rect{0, 0, 200, 150}));
}

// -------------------------------------------------------------- overview

TEST(OverviewRules, TheMapCoversThreePicturesWithOneCellPerPuzzleCell) {
    EXPECT_EQ(OverviewMap::cellForWidth(240, 10), 8);
    EXPECT_EQ(OverviewMap::cellForWidth(20, 10), 1);
    const OverviewMap map(10, 8, 4);
    EXPECT_EQ(map.newClientSize(), (Point{125, 101}));
    EXPECT_EQ(map.pictureFrame(), (Rect{40, 32, 80, 64}));

    PuzzleModel model = makePuzzle();  // 4 x 3 cells of 20 on 400 x 300
    const OverviewMap m(4, 3, 5);
    // The picture lies at (160, 120) on the play area: piece 0 at its home
    // has its centre in cell (0, 0), the map's middle picture.
    model.moveGroup(ListId::Main, 0, 160, 120);
    EXPECT_EQ(m.markOf(model, 0), (Point{20, 15}));
    // Far outside the region: clamped into the map's last cell.
    model.moveGroup(ListId::None, 1, 2000, 2000);
    EXPECT_EQ(m.markOf(model, 1), (Point{55, 40}));
    model.moveGroup(ListId::None, 2, -2000, -2000);
    EXPECT_EQ(m.markOf(model, 2), (Point{0, 0}));
}

TEST(OverviewRules, ClickingThePictureCentreCentresTheAssembledPicture) {
    PuzzleGeometry g{1280, 800, 640, 480, 0, 0, 7};
    const OverviewMap map(16, 12, 3);
    for (int zoom = 0; zoom <= 2; ++zoom) {
        for (Point offset : {Point{0, 0}, Point{300, -200}, Point{-450, 120}}) {
            g.offsetX = offset.x;
            g.offsetY = offset.y;
            const Rect frame = map.pictureFrame();
            const Point d = map.scrollFor({(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2}, g, zoom);
            // A scroll of d moves the world by -d.
            const int32_t centreX = g.playWidth / 2 - g.pictureWidth / 2 + g.offsetX - d.x + g.pictureWidth / 2;
            const int32_t centreY = g.playHeight / 2 - g.pictureHeight / 2 + g.offsetY - d.y + g.pictureHeight / 2;
            EXPECT_NEAR(centreX, (g.playWidth >> zoom) / 2, 640 / 48 + 1) << zoom;
            EXPECT_NEAR(centreY, (g.playHeight >> zoom) / 2, 480 / 36 + 1) << zoom;
        }
    }
    // The view's frame halves with each zoom step.
    g.offsetX = g.offsetY = 0;
    const Rect whole = map.viewFrame(g, 0), half = map.viewFrame(g, 1);
    EXPECT_NEAR(half.width() * 2, whole.width(), 2);
    EXPECT_EQ(half.left, whole.left);
}

// --------------------------------------------------------- command table

TEST(CommandTable, PaletteIdsComeFirstThenTheFramesAndUnhandledEntriesAreDisabled) {
    CommandTable table;
    std::vector<std::string> ran;
    table.set(menu_command::kZoom1, [&] { ran.push_back("x1"); });
    table.set(frame_command::kPaletteUndo, [&] { ran.push_back("undo"); }, CommandScope::Palette);
    table.set(menu_command::kNew, [&] { ran.push_back("new"); });
    EXPECT_TRUE(table.dispatch(32787));
    EXPECT_TRUE(table.dispatch(32787, CommandScope::Palette));
    EXPECT_TRUE(table.dispatch(menu_command::kNew, CommandScope::Palette));  // through the frame's
    EXPECT_FALSE(table.dispatch(menu_command::kAbout));
    EXPECT_EQ(ran, (std::vector<std::string>{"x1", "undo", "new"}));

    std::vector<MenuItem> menu = composePaletteMenu({});
    table.disableUnhandled(menu);
    EXPECT_TRUE(findMenuItem(menu, menu_command::kNew)->enabled);
    EXPECT_FALSE(findMenuItem(menu, menu_command::kSave)->enabled);
    EXPECT_FALSE(findMenuItem(menu, menu_command::kAbout)->enabled);  // inside "&Help"

    // A handler may replace itself while it runs.
    int calls = 0;
    table.set(menu_command::kSave, [&] {
        ++calls;
        table.set(menu_command::kSave, {});
    });
    EXPECT_TRUE(table.dispatch(menu_command::kSave));
    EXPECT_FALSE(table.dispatch(menu_command::kSave));
    EXPECT_EQ(calls, 1);
}

TEST(CommandTable, TheColourAndNetworkMenusAndRecentFileIds) {
    const std::vector<MenuItem> colours = composeColourMenu();
    ASSERT_EQ(colours.size(), 5u);
    EXPECT_EQ(colours[2].id, 32835u);
    EXPECT_EQ(colours[2].text, "Puzzle Outline");
    EXPECT_EQ(colours[4].text, "Restore Default");
    EXPECT_EQ(composeNetworkMenu()[1].id, 32844u);
    EXPECT_EQ(recentFileCommand(7), 57623u);
    EXPECT_EQ(recentFileIndex(57616), 0);
    EXPECT_EQ(recentFileIndex(57624), -1);
    EXPECT_EQ(recentFileIndex(57615), -1);
}

// ----------------------------------------------------------- recent files

TEST(RecentFiles, NewestFirstWithoutRepeatsAndAtMostEight) {
    RecentFileList list;
    for (int i = 0; i < 10; ++i) list.add("/p/" + std::to_string(i) + ".gvp");
    list.add("/p/5.gvp");
    list.add("");
    ASSERT_EQ(list.files().size(), 8u);
    EXPECT_EQ(list.files()[0], "/p/5.gvp");
    EXPECT_EQ(list.files()[1], "/p/9.gvp");
    EXPECT_EQ(std::count(list.files().begin(), list.files().end(), "/p/5.gvp"), 1);
    EXPECT_TRUE(list.remove("/p/9.gvp"));
    EXPECT_FALSE(list.remove("/p/9.gvp"));
    list.add("/games/R&D.gvp");
    EXPECT_EQ(list.menuTexts()[0], "&1 R&&D.gvp");
    EXPECT_EQ(list.menuTexts()[1], "&2 5.gvp");
}

TEST(RecentFiles, TheFileSurvivesARunAndADamagedOneIsReadSafely) {
    TempDir dir;
    RecentFileList list;
    list.add("/a.gvp");
    list.add("/b b.gvp");
    ASSERT_TRUE(list.save(dir.file("recent")));
    RecentFileList again;
    ASSERT_TRUE(again.load(dir.file("recent")));
    EXPECT_EQ(again.files(), list.files());

    std::ofstream bad(dir.file("bad"), std::ios::binary);
    bad << "\n\r\n/x.gvp\r\n/x.gvp\n" << std::string(5000, 'y') << "\n";
    bad << std::string("/nul\0here", 9) << "\n";
    for (int i = 0; i < 20; ++i) bad << "/f" << i << "\n";
    bad.close();
    RecentFileList damaged;
    ASSERT_TRUE(damaged.load(dir.file("bad")));
    ASSERT_EQ(damaged.files().size(), 8u);
    EXPECT_EQ(damaged.files()[0], "/x.gvp");
    EXPECT_EQ(damaged.files()[1], "/f0");
    EXPECT_FALSE(RecentFileList().load(dir.file("missing")));
}

// --------------------------------------------------------------- colours

TEST(ColourOptionRules, ChosenColoursBecomeTheBackBuffersNativeForm) {
    PreferencesRecord prefs;
    RendererState renderer;
    ColourSettings colours(prefs, renderer);
    const uint32_t red = chosenColour(255, 0, 0);
    EXPECT_EQ(red, 0x0000FFu);

    DrawSurface s24, s32, s16, s8;
    ASSERT_TRUE(s24.create(4, 4, 24));
    ASSERT_TRUE(s32.create(4, 4, 32));
    ASSERT_TRUE(s16.create(4, 4, 16));
    ASSERT_TRUE(s8.create(4, 4, 8));
    s8.setDefaultPalette();
    colours.choose(ColourItem::Background, red, &s24);
    EXPECT_EQ(prefs.backgroundColour, 0x0000FFu);
    EXPECT_EQ(renderer.backgroundColour, 0xFF0000u);
    colours.choose(ColourItem::Background, red, &s32);
    EXPECT_EQ(renderer.backgroundColour, 0xFF0000u);
    colours.choose(ColourItem::Background, red, &s16);
    EXPECT_EQ(renderer.backgroundColour, s16.is555() ? 0xFC00u : 0xF800u);
    colours.choose(ColourItem::Selection, chosenColour(0, 255, 0), &s8);
    PaletteTable palette;
    ASSERT_TRUE(s8.getPaletteEntries(palette));
    const PaletteEntry& e = palette[renderer.selectionRectColour];
    EXPECT_EQ(e.red, 0);
    EXPECT_GE(e.green, 240);
    EXPECT_EQ(e.blue, 0);
    // All ones stays all ones at every depth: the brightest colour.
    colours.choose(ColourItem::PieceOutline, kAllOnes, &s8);
    EXPECT_EQ(renderer.pieceColour, kAllOnes);
    // Without a back buffer only the options change; the next rebuild derives
    // the native form from them.
    colours.choose(ColourItem::PuzzleOutline, chosenColour(0, 0, 255), nullptr);
    EXPECT_EQ(renderer.options.puzzleOutline, 0xFF0000u);
}

TEST(ColourOptionRules, RestoreDefaultAndTheOutlineSwitches) {
    PreferencesRecord prefs;
    RendererState renderer;
    ColourSettings colours(prefs, renderer);
    DrawSurface s24;
    ASSERT_TRUE(s24.create(4, 4, 24));
    colours.choose(ColourItem::Background, chosenColour(10, 20, 30), &s24);
    colours.choose(ColourItem::PieceOutline, chosenColour(1, 2, 3), &s24);
    colours.choose(ColourItem::Selection, 0, &s24);
    colours.restoreDefaults(&s24);
    EXPECT_EQ(renderer.backgroundColour, 0u);
    EXPECT_EQ(renderer.pieceColour, kAllOnes);
    EXPECT_EQ(renderer.puzzleOutlineColour, kAllOnes);
    EXPECT_EQ(renderer.selectionRectColour, kAllOnes);
    EXPECT_EQ(prefs.selectionColour, kAllOnes);

    prefs.pieceOutlines = 0;
    colours.applyPreferences(&s24);
    EXPECT_FALSE(renderer.outlinesShown);
    colours.togglePieceOutlines();
    EXPECT_TRUE(renderer.outlinesShown);
    EXPECT_EQ(prefs.pieceOutlines, 1);
    EXPECT_FALSE(colours.togglePuzzleOutline(false));
    EXPECT_FALSE(renderer.puzzleOutlineShown);
    EXPECT_TRUE(colours.togglePuzzleOutline(true));
    EXPECT_TRUE(renderer.puzzleOutlineShown);

    // A new puzzle's record carries the chosen colours at their offsets.
    prefs.backgroundColour = 0x112233;
    prefs.pieceOutlineColour = 0x445566;
    prefs.selectionColour = 0x778899;
    prefs.puzzleOutlineColour = 0xAABBCC;
    SettingsRecord record;
    copyColourChoices(prefs, record);
    const auto bytes = record.encode();
    EXPECT_EQ(loadU32(&bytes[1000]), 0x112233u);
    EXPECT_EQ(loadU32(&bytes[1004]), 0x445566u);
    EXPECT_EQ(loadU32(&bytes[1008]), 0x778899u);
    EXPECT_EQ(loadU32(&bytes[1064]), 0xAABBCCu);
}

// -------------------------------------------------------------- wallpaper

TEST(Wallpaper, TheFileIsAlways24BitsAndLeavesSortingBoxesOut) {
    TempDir dir;
    PuzzleModel model = makePuzzle();
    // Piece 1 in a sorting box, at a place where nothing else lies.
    model.movePieceToList(ListId::Box1, ListId::Main, 1);
    model.moveGroup(ListId::Box1, 1, 300, 250);
    for (int depth : {8, 16, 24, 32}) {
        DrawSurface picture, like;
        ASSERT_TRUE(picture.create(80, 60, depth));
        ASSERT_TRUE(like.create(400, 300, depth));
        if (depth == 8) {
            picture.setDefaultPalette();
            like.setDefaultPalette();
        }
        picture.rectFill(picture.nativeColour(chosenColour(250, 250, 250)));
        PieceRenderer renderer;
        renderer.state.options.background = chosenColour(0, 0, 200);
        renderer.state.refreshNativeColours(like);
        renderer.state.outlinesShown = false;
        const std::string path = wallpaperPath(dir.path.string() + "/bg" + std::to_string(depth));
        ASSERT_TRUE(saveWallpaper(renderer, model, &picture, like, path)) << depth;
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(readWholeFile(path, bytes, error));
        ASSERT_GT(bytes.size(), 54u);
        EXPECT_EQ(loadU16(&bytes[28]), 24) << depth;

        DrawSurface out;
        ASSERT_TRUE(composeWallpaper(renderer, model, &picture, like, out));
        ASSERT_EQ(out.depth(), 24);
        auto pixel = [&](int x, int y) {
            const uint8_t* p = out.row(y) + 3 * x;
            return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        };
        // A Main-list piece is drawn; the box's piece is not.
        const Piece& p0 = model.piece(0);
        EXPECT_GT(pixel(p0.x + 5, p0.y + 5) & 0xFF00, 0xE000u) << depth;
        EXPECT_EQ(pixel(305, 255), pixel(395, 295)) << depth;
        EXPECT_LT(pixel(305, 255) & 0xFF0000, 0x100000u) << depth;
    }
}

TEST(Wallpaper, TheBackgroundsFolderAndTheFileName) {
    EXPECT_EQ(wallpaperFolder("/data", "/home/u"), "/data/backgrounds");
    EXPECT_EQ(wallpaperFolder("relative", "/home/u"), "/home/u/.local/share/backgrounds");
    EXPECT_EQ(wallpaperFolder("", ""), "");
    EXPECT_EQ(wallpaperPath("/d/backgrounds"), "/d/backgrounds/Pavalo Background.bmp");
    EXPECT_EQ(wallpaperPath("/d/backgrounds/"), "/d/backgrounds/Pavalo Background.bmp");
    PuzzleModel empty;
    DrawSurface picture, like, out;
    picture.create(8, 8, 24);
    like.create(8, 8, 24);
    PieceRenderer renderer;
    EXPECT_FALSE(composeWallpaper(renderer, empty, &picture, like, out));
    EXPECT_FALSE(composeWallpaper(renderer, makePuzzle(), nullptr, like, out));
}

// The wallpaper reaches the desktop through the programs it offers; the
// programs are recorded here, never run.
TEST(DesktopWallpaper, EachDesktopGetsItsOwnCommandsAndAnUnknownOneIsSaid) {
    struct Desk {
        explicit Desk(std::vector<std::string> programs) : installed(std::move(programs)) {}
        std::vector<std::string> installed;
        std::vector<DesktopCommand> ran;
        std::string listing;
        int status = 0;
        DesktopCommands commands() {
            return {[this](const std::string& p) { return std::count(installed.begin(), installed.end(), p) > 0; },
                    [this](const DesktopCommand& c) {
                        ran.push_back(c);
                        return DesktopCommandResult{true, status, listing};
                    }};
        }
    };
    const std::string path = "/home/p/.local/share/backgrounds/Pavalo Background.bmp";
    const std::string uri = "file:///home/p/.local/share/backgrounds/Pavalo%20Background.bmp";

    Desk plasma({"plasma-apply-wallpaperimage", "gsettings"});
    EXPECT_EQ(setDesktopWallpaper(path, "KDE", plasma.commands()), "");
    ASSERT_EQ(plasma.ran.size(), 1u);
    EXPECT_EQ(plasma.ran[0], (DesktopCommand{"plasma-apply-wallpaperimage", {path}}));

    Desk olderPlasma({"qdbus"});
    EXPECT_EQ(setDesktopWallpaper(path, "KDE", olderPlasma.commands()), "");
    ASSERT_EQ(olderPlasma.ran.size(), 1u);
    EXPECT_EQ(olderPlasma.ran[0].program, "qdbus");
    EXPECT_NE(olderPlasma.ran[0].arguments.back().find("'" + uri + "'"), std::string::npos);

    Desk xfce({"xfconf-query"});
    xfce.listing = "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n/backdrop/screen0/monitorHDMI-1/"
                   "workspace0/image-style\n/backdrop/screen0/monitorDP-2/workspace1/last-image\n";
    EXPECT_EQ(setDesktopWallpaper(path, "XFCE", xfce.commands()), "");
    ASSERT_EQ(xfce.ran.size(), 3u);
    EXPECT_EQ(xfce.ran[1], (DesktopCommand{"xfconf-query", {"-c", "xfce4-desktop", "-p",
                                                            "/backdrop/screen0/monitorHDMI-1/workspace0/last-image",
                                                            "-s", path}}));
    EXPECT_EQ(xfce.ran[2].arguments[3], "/backdrop/screen0/monitorDP-2/workspace1/last-image");

    Desk gnome({"gsettings"});
    EXPECT_EQ(setDesktopWallpaper(path, "ubuntu:GNOME", gnome.commands()), "");
    ASSERT_EQ(gnome.ran.size(), 2u);
    EXPECT_EQ(gnome.ran[0], (DesktopCommand{"gsettings", {"set", "org.gnome.desktop.background", "picture-uri", uri}}));
    EXPECT_EQ(gnome.ran[1].arguments[2], "picture-uri-dark");

    // A refusal, a missing program and an unknown desktop are all said,
    // with where the picture is.
    gnome.status = 1;
    EXPECT_NE(setDesktopWallpaper(path, "GNOME", gnome.commands()).find("gsettings failed"), std::string::npos);
    Desk bare({});
    const std::string missing = setDesktopWallpaper(path, "XFCE", bare.commands());
    EXPECT_NE(missing.find("xfconf-query"), std::string::npos);
    const std::string unknown = setDesktopWallpaper(path, "", Desk({"gsettings"}).commands());
    EXPECT_NE(unknown.find("does not know how to set the wallpaper"), std::string::npos);
    EXPECT_NE(unknown.find(path), std::string::npos);
    EXPECT_TRUE(bare.ran.empty());
}
