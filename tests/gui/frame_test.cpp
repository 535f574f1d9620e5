// The main frame on a running game, offscreen: the tool palette's buttons and
// menu, Hide, the sorting boxes (captions, moving, dragging pieces in and
// out, their zoom in the right-button menu), the overview, the find dialogs
// delivering into a box, undo, save and open through the menu, colours.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QColorDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSlider>
#include <QTextBrowser>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "app/application.h"
#include "app/cursors.h"
#include "app/assist_dialogs_qt.h"
#include "app/finish_panel.h"
#include "app/frame_controller.h"
#include "app/game_window.h"
#include "app/help_window.h"
#include "app/play_view.h"
#include "app/surface_image.h"
#include "display/compositor.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;
namespace fc = frame_command;
namespace mc = menu_command;

namespace {

// Runs `fn` on the modal dialog (or popup) that the next step opens.
void whenModal(std::function<void(QWidget*)> fn) {
    QTimer::singleShot(0, [fn] {
        QWidget* w = QApplication::activePopupWidget();
        if (!w) w = QApplication::activeModalWidget();
        if (w) {
            fn(w);
            return;
        }
        whenModal(fn);  // not shown yet
    });
}

QStringList actionTexts(const QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->text();
    return out;
}

QAction* actionWithId(const QMenu* menu, uint32_t id) {
    for (QAction* a : menu->actions()) {
        if (a->menu())
            if (QAction* inner = actionWithId(a->menu(), id)) return inner;
        if (a->data().isValid() && a->data().toUInt() == id) return a;
    }
    return nullptr;
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;

    void startGame(const char* picture = "stained-glass.bmp") {
        app_.reset();
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        qputenv("XDG_DATA_HOME", (home_.path() + "/xdg").toUtf8());
        LaunchOptions o;
        o.window = QSize(1280, 800);
        o.newPicture = std::string(PAVALO_SAMPLE_DIR) + "/" + picture;
        o.pieces = 100;
        o.seed = 7;
        app_ = std::make_unique<Application>(o);
        QVERIFY(app_->start());
        app_->runStartRoutine();
        QVERIFY(app_->document().hasPuzzle());
        QVERIFY(QTest::qWaitForWindowExposed(&app_->window()));
        frame().setWallpaper = [this](const std::string& path) { wallpaperSet_ = path; };
        // The first view shows the whole table; these tests work at x1.
        const bool modified = app_->document().modified();
        app_->view().zoomTo(WindowId::view(), 0, true);
        app_->document().setModified(modified);
    }
    FrameController& frame() { return app_->frame(); }
    PuzzleModel& model() { return app_->model(); }
    PlayView* view() { return app_->window().view(); }
    SideWindows& windows() { return frame().sideWindowsWidget(); }
    std::string wallpaperSet_;

    // A point inside a piece's shape in its list's pixels (zoom 1).
    QPoint insidePiece(ListId list, int32_t piece) {
        const Piece& p = model().piece(piece);
        for (int y = p.drawnHeight() / 2; y < p.drawnHeight(); ++y)
            for (int x = p.drawnWidth() / 2; x < p.drawnWidth(); ++x)
                if (maskCoversPoint(p.mask, p.width, p.height, p.rotation, x, y) &&
                    model().findPieceAtPoint(list, p.x + x, p.y + y) == piece)
                    return QPoint(p.x + x, p.y + y);
        return {};
    }
    // A loose piece wholly inside the view, away from the palette and boxes.
    int32_t visiblePiece(QRect area = QRect(420, 320, 700, 420)) {
        for (int32_t i = 0; i < model().pieceCount(); ++i) {
            const Rect b = model().piece(i).box();
            if (model().listOfPiece(i) == ListId::Main &&
                area.contains(QRect(b.left, b.top, b.width(), b.height())) && !insidePiece(ListId::Main, i).isNull())
                return i;
        }
        return -1;
    }
    PaletteButtonWidget* button(uint32_t id) { return frame().palette().button(id); }

private slots:
    void paletteButtonsToolTipsAndTools() {
        startGame();
        ToolPalette& palette = frame().palette();
        QVERIFY(palette.isVisible());
        const QPoint first = button(fc::kPaletteNew)->pos();
        for (size_t i = 0; i < kPaletteButtons.size(); ++i) {
            PaletteButtonWidget* b = button(kPaletteButtons[i].id);
            QVERIFY(b);
            QCOMPARE(b->size(), QSize(32, 32));
            QCOMPARE(b->pos() - first, QPoint(int(i % 2) * 32, int(i / 2) * 32));
        }
        QCOMPARE(button(fc::kPaletteExit)->toolTip(), QString("Exit Pavalo"));
        QCOMPARE(button(fc::kHide)->toolTip(), QString("Hide/View all open windows"));
        QCOMPARE(button(fc::kBox1 + 2)->toolTip(), QString("Open/Close Sorting Box 3 (3)"));
        QCOMPARE(button(fc::kPaletteUndo)->toolTip(), QString("Undo (BACKSPACE)"));

        QVERIFY(button(fc::kArrow)->on());
        QTest::mouseClick(button(fc::kZoomTool), Qt::LeftButton);
        QCOMPARE(app_->view().tool(), kToolZoom);
        QVERIFY(button(fc::kZoomTool)->on());
        QVERIFY(!button(fc::kArrow)->on());
        QTest::mouseClick(button(fc::kFindTool), Qt::LeftButton);
        QCOMPARE(app_->view().tool(), kToolFind);
        // Esc in the view goes back to the arrow, and the palette follows.
        QTest::keyClick(view(), Qt::Key_Escape);
        QVERIFY(button(fc::kArrow)->on());
        QVERIFY(!button(fc::kFindTool)->on());

        // The window toggles show their windows' state.
        QTest::mouseClick(button(fc::kBox1 + 1), Qt::LeftButton);
        QVERIFY(windows().isBoxOpen(2));
        QVERIFY(button(fc::kBox1 + 1)->on());
        QTest::keyClick(view(), Qt::Key_2);
        QVERIFY(!windows().isBoxOpen(2));
        QVERIFY(!button(fc::kBox1 + 1)->on());
        QTest::keyClick(view(), Qt::Key_T);
        QVERIFY(!palette.isVisible());
        QTest::keyClick(view(), Qt::Key_T);
        QVERIFY(palette.isVisible());

        // An open box shows a newly chosen tool's pointer at once, as the view does.
        frame().dispatch(fc::kBox1);
        QWidget* canvas = windows().boxWindow(1)->canvas();
        auto pointer = [](const QWidget* w) { return w->cursor().pixmap().toImage(); };
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(canvas->mapToGlobal(QPoint(10, 10))));
        QApplication::sendEvent(canvas, &enter);  // the box takes the arrow's pointer as its own
        QTest::mouseClick(button(fc::kZoomTool), Qt::LeftButton);
        QVERIFY(!pointer(view()).isNull());
        QCOMPARE(pointer(canvas), pointer(view()));
        QTest::mouseClick(button(fc::kArrow), Qt::LeftButton);
        QCOMPARE(pointer(canvas), pointer(view()));
    }

    void paletteMenuPreparation() {
        startGame();
        frame().recentFiles().add("/tmp/one.gvp");
        frame().recentFiles().add("/tmp/two.gvp");
        std::vector<MenuItem> menu = frame().paletteMenu();
        const MenuItem* recent = findMenuItem(menu, recentFileCommand(0));
        QVERIFY(recent);
        QCOMPARE(recent->text, std::string("&1 two.gvp"));
        QCOMPARE(recent->statusPrompt, std::string("Open this document"));
        QVERIFY(!findMenuItem(menu, mc::kRecentFile));
        QVERIFY(findMenuItem(menu, mc::kRecut));
        QVERIFY(findMenuItem(menu, mc::kSave)->enabled);

        // The real menu opens with the same entries.
        whenModal([](QWidget* w) { w->close(); });
        frame().palette().menuBar()->setActiveAction(frame().palette().menu()->menuAction());
        QTRY_VERIFY(actionTexts(frame().palette().menu()).contains("Save &As...\tCtrl+Shift+S"));
        QVERIFY(actionWithId(frame().palette().menu(), mc::kExit));
        frame().palette().menu()->close();

        // A network game: New, Open, Save and Save As disabled, no Recut.
        app_->document().record().networkGame = 1;
        menu = frame().paletteMenu();
        for (uint32_t id : {mc::kNew, mc::kOpen, mc::kSave, mc::kSaveAs}) QVERIFY(!findMenuItem(menu, id)->enabled);
        QVERIFY(!findMenuItem(menu, mc::kRecut));
        QVERIFY(!findMenuItem(menu, recentFileCommand(0)));
        app_->document().record().networkGame = 0;
    }

    void hideTwiceRestoresExactlyWhatWasOpen() {
        startGame();
        frame().dispatch(fc::kPreview);
        frame().dispatch(fc::kBox1 + 1);
        frame().dispatch(fc::kBox1 + 3);
        frame().dispatch(fc::kBox1 + 3);  // box 4 opened and closed again
        QVERIFY(windows().isOpen(SideWindow::Preview));
        QTest::mouseClick(button(fc::kHide), Qt::LeftButton);
        for (int box = 1; box <= 4; ++box) QVERIFY(!windows().isBoxOpen(box));
        QVERIFY(!windows().isOpen(SideWindow::Preview));
        QTest::mouseClick(button(fc::kHide), Qt::LeftButton);
        QVERIFY(windows().isOpen(SideWindow::Preview));
        QVERIFY(!windows().isOpen(SideWindow::Overview));
        QVERIFY(windows().isBoxOpen(2));
        QVERIFY(!windows().isBoxOpen(1) && !windows().isBoxOpen(3) && !windows().isBoxOpen(4));
        // The record's flags follow the windows.
        QCOMPARE(app_->document().record().boxOpen[1], 1u);
        QCOMPARE(app_->document().record().boxOpen[3], 0u);
    }

    void boxCaptionsAndMovingABoxMovesItsPieces() {
        startGame();
        frame().dispatch(fc::kBox1 + 1);
        SortingBoxWindow* box = windows().boxWindow(2);
        QVERIFY(box);
        QCOMPARE(box->caption(), QString("Box 2"));
        const Rect area = box->clientArea();
        for (int32_t p = 0; p < 7; ++p) {
            model().movePieceToList(ListId::Box2, ListId::Main, p);
            model().moveGroup(ListId::Box2, p, area.left + 5 + 3 * p, area.top + 5);
        }
        app_->assist().refreshBoxCaptions();
        QCOMPARE(box->caption(), QString("Box 2  (7 pieces)"));
        model().setGroupSelected(ListId::Box2, 0, true);
        model().setGroupSelected(ListId::Box2, 1, true);
        app_->assist().refreshBoxCaptions();
        QCOMPARE(box->caption(), QString("Box 2  (7 pieces / 2 selected)"));

        // Drag the caption 100 pixels right: every piece moves with it.
        std::vector<Point> before;
        for (int32_t p = 0; p < 7; ++p) before.push_back({model().piece(p).x, model().piece(p).y});
        const QPoint grab(30, SideWindowFrame::kBorder + 5);
        // (Positions are the box's own, which moves with the drag: one step.)
        QTest::mousePress(box, Qt::LeftButton, {}, grab);
        QTest::mouseMove(box, grab + QPoint(100, 0));
        QTest::mouseRelease(box, Qt::LeftButton, {}, grab);
        for (int32_t p = 0; p < 7; ++p) {
            QCOMPARE(model().piece(p).x, before[size_t(p)].x + 100);
            QCOMPARE(model().piece(p).y, before[size_t(p)].y);
        }
        QCOMPARE(app_->document().record().boxRect[1].left, box->geometry().left());
        QVERIFY(app_->document().modified());

        // Dragged almost off the right edge, 30 pixels stay on the screen.
        const QPoint from = grab;
        QTest::mousePress(box, Qt::LeftButton, {}, from);
        QTest::mouseMove(box, from + QPoint(2000, 0));
        QTest::mouseRelease(box, Qt::LeftButton, {}, from);
        QVERIFY(box->geometry().left() <= view()->width() - 30);
    }

    void aPieceDraggedIntoABoxAndBackOut() {
        startGame();
        frame().dispatch(fc::kBox1);
        SortingBoxWindow* box = windows().boxWindow(1);
        QVERIFY(box);
        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        const QPoint grab = insidePiece(ListId::Main, p);
        const QPoint into = box->canvas()->mapTo(view(), QPoint(40, 40));
        QTest::mousePress(view(), Qt::LeftButton, {}, grab);
        QTest::mouseMove(view(), (grab + into) / 2);
        QTest::mouseMove(view(), into);
        QTest::mouseRelease(view(), Qt::LeftButton, {}, into);
        QCOMPARE(model().listOfPiece(p), ListId::Box1);
        QCOMPARE(box->caption(), QString("Box 1  (1 pieces)"));

        // And back out: pressed in the box, released over the play area.
        const QPoint inBox = insidePiece(ListId::Box1, p) - box->canvas()->mapTo(view(), QPoint(0, 0));
        QVERIFY(box->canvas()->rect().contains(inBox));
        const QPoint outside = box->canvas()->mapFrom(view(), QPoint(700, 500));
        QTest::mousePress(box->canvas(), Qt::LeftButton, {}, inBox);
        QTest::mouseMove(box->canvas(), (inBox + outside) / 2);
        QTest::mouseMove(box->canvas(), outside);
        QTest::mouseRelease(box->canvas(), Qt::LeftButton, {}, outside);
        QCOMPARE(model().listOfPiece(p), ListId::Main);
        QCOMPARE(box->caption(), QString("Box 1"));

        // Let go over the box's frame above its area: the piece goes into
        // the box, where it can be seen.
        const QPoint frameTop = box->mapTo(view(), QPoint(box->width() / 2, 2));
        QVERIFY(!box->canvas()->rect().contains(box->canvas()->mapFrom(view(), frameTop)));
        const QPoint again = insidePiece(ListId::Main, p);
        QTest::mousePress(view(), Qt::LeftButton, {}, again);
        QTest::mouseMove(view(), (again + frameTop) / 2);
        QTest::mouseMove(view(), frameTop);
        QTest::mouseRelease(view(), Qt::LeftButton, {}, frameTop);
        QCOMPARE(model().listOfPiece(p), ListId::Box1);
    }

    void zoomCheckMarkFollowsTheBoxUnderThePointer() {
        startGame();
        frame().dispatch(fc::kBox1 + 1);
        SortingBoxWindow* box = windows().boxWindow(2);
        app_->session().setBoxZoom(2, 2);
        QCOMPARE(app_->view().zoom(), 0);
        QStringList checked;
        whenModal([&checked](QWidget* w) {
            auto* menu = qobject_cast<QMenu*>(w);
            if (QAction* zoom = menu ? actionWithId(menu, mc::kZoom4) : nullptr)
                if (zoom->isChecked()) checked << zoom->text();
            if (QAction* one = menu ? actionWithId(menu, mc::kZoom1) : nullptr)
                if (one->isChecked()) checked << one->text();
            w->close();
        });
        QTest::mouseClick(box->canvas(), Qt::RightButton, {}, QPoint(20, 20));
        QCOMPARE(checked, QStringList{"x4"});
    }

    void findEdgesDeliversIntoBox2() {
        startGame();
        QVERIFY(!windows().isBoxOpen(2));
        app_->assist().setLastHit(HitCode::playArea(kNone));
        whenModal([](QWidget* w) {
            auto* dialog = qobject_cast<FindEdgesWindow*>(w);
            QVERIFY(dialog);
            for (int i = 0; i < 4; ++i) QVERIFY(dialog->edge(i)->isChecked());
            QVERIFY(dialog->delivery()->button(0)->isChecked());
            dialog->delivery()->button(2)->click();
            dialog->accept();
        });
        frame().dispatch(mc::kFindEdges);
        QVERIFY(windows().isBoxOpen(2));
        const int32_t cols = model().columns(), rows = model().rows();
        int edges = 0;
        for (int32_t p = 0; p < model().pieceCount(); ++p) {
            const bool edge = p % cols == 0 || p % cols == cols - 1 || p / cols == 0 || p / cols == rows - 1;
            if (edge) {
                ++edges;
                QCOMPARE(model().listOfPiece(p), ListId::Box2);
                QVERIFY(!model().isSelected(ListId::Box2, p));
            }
        }
        QCOMPARE(model().countListPieces(ListId::Box2), edges);
        QCOMPARE(windows().boxWindow(2)->caption(), QString("Box 2  (%1 pieces)").arg(edges));
    }

    void colourMatchShowsSearchingAndSelects() {
        startGame();
        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        // The right button on the piece makes it the last hit and the click point.
        whenModal([](QWidget* w) { w->close(); });
        QTest::mouseClick(view(), Qt::RightButton, {}, insidePiece(ListId::Main, p));
        QCOMPARE(app_->assist().lastHit().piece(), p);
        whenModal([](QWidget* w) {
            auto* dialog = qobject_cast<ColorMatchWindow*>(w);
            QVERIFY(dialog);
            QCOMPARE(dialog->rangeSlider()->value(), 1);
            QCOMPARE(dialog->thresholdSlider()->value(), 5);
            dialog->rangeSlider()->setValue(100);
            dialog->thresholdSlider()->setValue(1);
            dialog->accept();
        });
        frame().dispatch(mc::kWithThisColor);
        SearchingWindow* searching = frame().searchingWindow();
        QVERIFY(searching->repaints() > 0);
        QCOMPARE(searching->bar()->maximum(), model().pieceCount() - 1);
        QVERIFY(!searching->isVisible());
        QVERIFY(model().isSelected(ListId::Main, p));
    }

    // The solve tool as a new player meets it: S pressed as soon as the
    // puzzle shows (before anything was clicked, so the key must find the
    // view through the window), then a drag over the top-left quarter of the
    // empty assembled picture with nothing selected. Every piece whose place
    // meets the rectangle is solved, wherever it lay; the tool stays.
    void solveToolDraggedOverTheEmptyPicture() {
        startGame();
        QCOMPARE(app_->window().focusWidget(), static_cast<QWidget*>(view()));
        QTest::keyClick(app_->window().windowHandle(), Qt::Key_S);
        QCOMPARE(app_->view().tool(), kToolSolve);
        QVERIFY(button(fc::kSolveTool)->on());
        const SettingsRecord& r = app_->document().record();
        const QPoint corner(model().solvedX(0) - model().piece(0).homeX, model().solvedY(0) - model().piece(0).homeY);
        const QRect quarter(corner, QSize(r.pictureWidth / 2, r.pictureHeight / 2));
        QVERIFY(view()->rect().contains(quarter));
        QCOMPARE(model().countListPieces(ListId::Finished), 0);
        QTest::mousePress(view(), Qt::LeftButton, {}, quarter.topLeft() + QPoint(3, 3));
        QTest::mouseMove(view(), quarter.center());
        QTest::mouseMove(view(), quarter.bottomRight());
        QTest::mouseRelease(view(), Qt::LeftButton, {}, quarter.bottomRight());
        const QRect band = QRect(quarter.topLeft() + QPoint(3, 3), quarter.bottomRight()).adjusted(-1, -1, 1, 1);
        int expected = 0;
        for (int32_t p = 0; p < model().pieceCount(); ++p) {
            const Piece& piece = model().piece(p);
            const QRect place(model().solvedX(p), model().solvedY(p), piece.width, piece.height);
            if (!place.intersects(band)) continue;
            ++expected;
            QCOMPARE(model().listOfPiece(p), ListId::Finished);
        }
        QVERIFY(expected >= 25);
        QCOMPARE(model().countListPieces(ListId::Finished), expected);
        QCOMPARE(app_->view().tool(), kToolSolve);
        // And the player sees it: the picture shows where the pieces went.
        const QImage shown = view()->grab().toImage();
        const QImage picture = surfaceImage(app_->document().picture()).convertToFormat(QImage::Format_RGB32);
        const QPoint inside(model().solvedX(0) + model().piece(0).width / 2, model().solvedY(0) + model().piece(0).height / 2);
        QCOMPARE(shown.pixel(inside) & 0xFFFFFF, picture.pixel(inside - corner) & 0xFFFFFF);
        auto pointer = [](const QCursor& c) { return std::make_pair(c.shape(), c.pixmap().toImage()); };
        QCOMPARE(pointer(view()->cursor()), pointer(gameCursor(CursorShape::Solve)));

        // The arrange tool goes back to the arrow after one use, and both the
        // pointer and the palette show it.
        QTest::mouseClick(button(fc::kArrangeTool), Qt::LeftButton);
        QCOMPARE(pointer(view()->cursor()), pointer(gameCursor(CursorShape::Arrange)));
        QVERIFY(button(fc::kArrangeTool)->on());
        const QPoint from(quarter.right() + 20, quarter.bottom() + 20);
        QTest::mousePress(view(), Qt::LeftButton, {}, from);
        QTest::mouseMove(view(), from + QPoint(60, 40));
        QTest::mouseRelease(view(), Qt::LeftButton, {}, from + QPoint(60, 40));
        QCOMPARE(app_->view().tool(), kToolNormal);
        QVERIFY(button(fc::kArrow)->on());
        QVERIFY(!button(fc::kArrangeTool)->on());
        QCOMPARE(pointer(view()->cursor()), pointer(gameCursor(CursorShape::Arrow)));
    }

    void paletteUndoTakesBackAMove() {
        startGame();
        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        const Point start{model().piece(p).x, model().piece(p).y};
        const QPoint grab = insidePiece(ListId::Main, p);
        QTest::mousePress(view(), Qt::LeftButton, {}, grab);
        QTest::mouseMove(view(), grab + QPoint(30, 20));
        QTest::mouseRelease(view(), Qt::LeftButton, {}, grab + QPoint(30, 20));
        QVERIFY(model().piece(p).x != start.x);
        QTest::mouseClick(button(fc::kPaletteUndo), Qt::LeftButton);
        QCOMPARE(model().piece(p).x, start.x);
        QCOMPARE(model().piece(p).y, start.y);

        // A piece dropped into box 1, then the box moved: the undo of the
        // drop takes the box back to where it stood, the piece to the view.
        frame().dispatch(fc::kBox1);
        SortingBoxWindow* box = windows().boxWindow(1);
        const QRect boxAt = box->geometry();
        const QPoint grab2 = insidePiece(ListId::Main, p);
        const QPoint into = box->canvas()->mapTo(view(), QPoint(40, 40));
        QTest::mousePress(view(), Qt::LeftButton, {}, grab2);
        QTest::mouseMove(view(), into);
        QTest::mouseRelease(view(), Qt::LeftButton, {}, into);
        QCOMPARE(model().listOfPiece(p), ListId::Box1);
        const QPoint caption(30, SideWindowFrame::kBorder + 5);
        QTest::mousePress(box, Qt::LeftButton, {}, caption);
        QTest::mouseMove(box, caption + QPoint(120, 60));
        QTest::mouseRelease(box, Qt::LeftButton, {}, caption);
        QVERIFY(box->geometry() != boxAt);
        QTest::keyClick(view(), Qt::Key_Backspace);
        QCOMPARE(model().listOfPiece(p), ListId::Main);
        QCOMPARE(box->geometry(), boxAt);
        QCOMPARE(model().piece(p).x, start.x);
    }

    // The overview and the palette are placed by the settings record: an
    // undo takes both back to where they stood when the step was recorded,
    // and a reopened overview comes back where it was.
    void undoTakesTheOverviewAndPaletteBack() {
        startGame();
        frame().dispatch(fc::kOverview);
        OverviewWindow* overview = windows().overview();
        QVERIFY(overview);
        auto dragBy = [](QWidget* w, QPoint grip, QPoint by) {
            QTest::mousePress(w, Qt::LeftButton, {}, grip);
            QTest::mouseMove(w, grip + by);
            QTest::mouseRelease(w, Qt::LeftButton, {}, grip + by);
        };
        const QPoint caption(30, SideWindowFrame::kBorder + 5);
        ToolPalette& palette = frame().palette();
        const QPoint grip(20, 4);
        dragBy(overview, caption, QPoint(200, 100));
        dragBy(&palette, grip, QPoint(300, -50));
        const QRect overviewAt = overview->geometry();
        const QPoint paletteAt = palette.pos();
        QCOMPARE(app_->document().record().overviewRect.left, overviewAt.left());
        QCOMPARE(app_->document().record().paletteRect.top, paletteAt.y());

        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        const QPoint at = insidePiece(ListId::Main, p);
        dragBy(view(), at, QPoint(25, 25));  // records an undo step
        dragBy(overview, caption, QPoint(-80, 150));
        dragBy(&palette, grip, QPoint(-120, 90));
        QVERIFY(overview->geometry() != overviewAt);
        QVERIFY(palette.pos() != paletteAt);
        QTest::keyClick(view(), Qt::Key_Backspace);
        QCOMPARE(overview->geometry(), overviewAt);
        QCOMPARE(palette.pos(), paletteAt);

        frame().dispatch(fc::kOverview);
        QVERIFY(!windows().overview());
        frame().dispatch(fc::kOverview);
        QVERIFY(windows().overview());
        QCOMPARE(windows().overview()->geometry(), overviewAt);
    }

    void overviewClickCentresThePicture() {
        startGame();
        frame().dispatch(fc::kOverview);
        OverviewWindow* overview = windows().overview();
        QVERIFY(overview);
        // Scroll away first, then click the picture frame's centre.
        app_->view().scroll(150, -90);
        const int32_t columns = model().columns();
        const OverviewMap map(columns, model().rows(), OverviewMap::cellForWidth(overview->canvas()->width(), columns));
        const Rect frameRect = map.pictureFrame();
        QTest::mouseClick(overview->canvas(), Qt::LeftButton, {},
                          QPoint((frameRect.left + frameRect.right) / 2, (frameRect.top + frameRect.bottom) / 2));
        const PuzzleGeometry& g = model().geometry();
        const int32_t centreX = g.playWidth / 2 - g.pictureWidth / 2 + g.offsetX + g.pictureWidth / 2;
        const int32_t centreY = g.playHeight / 2 - g.pictureHeight / 2 + g.offsetY + g.pictureHeight / 2;
        QVERIFY(std::abs(centreX - g.playWidth / 2) <= g.pictureWidth / columns);
        QVERIFY(std::abs(centreY - g.playHeight / 2) <= g.pictureHeight / model().rows());
    }

    void saveAndOpenThroughTheMenu() {
        startGame();
        const int32_t p = visiblePiece();
        model().moveGroup(ListId::Main, p, 500, 400);
        // Box 4 open with a piece in it: both come back with the puzzle.
        frame().dispatch(fc::kBox1 + 3);
        const QRect boxAt = windows().boxWindow(4)->geometry();
        const int32_t q = p == 0 ? 1 : 0;
        model().movePieceToList(ListId::Box4, ListId::Main, q);
        model().moveGroup(ListId::Box4, q, boxAt.left() + 20, boxAt.top() + 40);
        app_->markChanged();
        const QString path = home_.path() + "/round.gvp";
        whenModal([path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            QVERIFY(dialog->nameFilters().join(";").contains("Pavalo Puzzles (*.gvp)"));
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        });
        frame().dispatch(mc::kSaveAs);
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!app_->document().modified());
        QCOMPARE(frame().recentFiles().files().front(), path.toStdString());

        model().moveGroup(ListId::Main, p, 300, 300);
        app_->document().setModified(false);
        frame().dispatch(recentFileCommand(0));
        QCOMPARE(app_->document().path(), path.toStdString());
        QCOMPARE(model().piece(p).x, 500);
        QCOMPARE(model().piece(p).y, 400);
        QVERIFY(windows().isBoxOpen(4));
        QCOMPARE(windows().boxWindow(4)->geometry(), boxAt);
        QCOMPARE(model().listOfPiece(q), ListId::Box4);
        QCOMPARE(model().piece(q).x, boxAt.left() + 20);

        // A file that is not a saved puzzle leaves the list.
        const QString bad = home_.path() + "/bad.gvp";
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(200, 'x'));
        f.close();
        frame().addRecentFile(bad.toStdString());
        whenModal([](QWidget* w) { w->close(); });  // the message box
        frame().dispatch(recentFileCommand(0));
        QCOMPARE(frame().recentFiles().files().front(), path.toStdString());
    }

    void colourChoiceStoresTheNativeColour() {
        startGame("sunset-harbour.jpg");
        QCOMPARE(app_->compositor().backBuffer().depth(), 24);
        whenModal([](QWidget* w) {
            auto* dialog = qobject_cast<QColorDialog*>(w);
            QVERIFY(dialog);
            dialog->setCurrentColor(QColor(255, 0, 0));
            dialog->accept();
        });
        frame().dispatch(fc::kBackgroundColour);
        QCOMPARE(app_->preferences().record.backgroundColour, 0x0000FFu);
        QCOMPARE(app_->compositor().state().backgroundColour, 0xFF0000u);
        QVERIFY(app_->document().modified());
        frame().dispatch(fc::kRestoreDefaultColours);
        QCOMPARE(app_->compositor().state().backgroundColour, 0u);
        QCOMPARE(app_->compositor().state().pieceColour, 0xFFFFFFFFu);

        // The wallpaper goes to the backgrounds folder, then to the desktop.
        frame().dispatch(mc::kWallpaper);
        const QString wallpaper = home_.path() + "/xdg/backgrounds/Pavalo Background.bmp";
        QVERIFY(QFileInfo::exists(wallpaper));
        QCOMPARE(wallpaperSet_, wallpaper.toStdString());
    }

    void boxWindowsScrollSizeAndClose() {
        startGame();
        frame().dispatch(fc::kBox1 + 2);
        SortingBoxWindow* box = windows().boxWindow(3);
        QVERIFY(box);
        // Ten pieces in a row, far wider than the box.
        const Rect area = box->clientArea();
        for (int32_t p = 0; p < 10; ++p) {
            model().movePieceToList(ListId::Box3, ListId::Main, p);
            model().moveGroup(ListId::Box3, p, area.left + 10 + 60 * p, area.top + 10);
        }
        box->updateScrollBars();
        QScrollBar* bar = box->horizontalBar();
        QVERIFY(bar->isEnabled());
        QVERIFY(!box->verticalBar()->isEnabled());
        const int32_t x0 = model().piece(0).x;
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(model().piece(0).x, x0 - 5);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(model().piece(0).x, x0 - 25);
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        // The heap's right end (grown by 5 pixels) meets the visible area's.
        QCOMPARE(model().piece(9).x + model().piece(9).drawnWidth() + 5, box->clientArea().right);
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(model().piece(0).x, x0);  // back to the start

        // Sizing from the left border keeps the pieces where they are on the screen.
        const QPoint shown = box->canvas()->mapTo(view(), QPoint(0, 0)) +
                             QPoint(model().piece(9).x, model().piece(9).y) -
                             QPoint(box->clientArea().left, box->clientArea().top);
        const QPoint border(1, box->height() / 2);
        QTest::mousePress(box, Qt::LeftButton, {}, border);
        QTest::mouseMove(box, border + QPoint(-40, 0));
        QTest::mouseRelease(box, Qt::LeftButton, {}, border);
        const QPoint after = box->canvas()->mapTo(view(), QPoint(0, 0)) +
                             QPoint(model().piece(9).x, model().piece(9).y) -
                             QPoint(box->clientArea().left, box->clientArea().top);
        QCOMPARE(after, shown);

        // Its own close box closes it, and the palette follows.
        QVERIFY(button(fc::kBox1 + 2)->on());
        QTest::mouseClick(box, Qt::LeftButton, {},
                          QPoint(box->width() - SideWindowFrame::kBorder - SideWindowFrame::kCaption / 2,
                                 SideWindowFrame::kBorder + SideWindowFrame::kCaption / 2));
        QVERIFY(!windows().isBoxOpen(3));
        QVERIFY(!button(fc::kBox1 + 2)->on());
        QCOMPARE(app_->document().record().boxOpen[2], 0u);
        QCOMPARE(model().countListPieces(ListId::Box3), 10);  // the pieces stay in the closed box
    }

    void previewKeepsThePicturesAspect() {
        startGame();
        frame().dispatch(fc::kPreview);
        PreviewWindow* preview = windows().preview();
        QVERIFY(preview);
        const DrawSurface& picture = app_->document().picture();
        auto aspectOk = [&] {
            const QSize c = preview->client()->size();
            return std::abs(c.height() - c.width() * picture.height() / picture.width()) <= 1;
        };
        QVERIFY(aspectOk());
        const QPoint corner(preview->width() - 2, preview->height() - 2);
        QTest::mousePress(preview, Qt::LeftButton, {}, corner);
        QTest::mouseMove(preview, corner + QPoint(-37, 25));
        QTest::mouseRelease(preview, Qt::LeftButton, {}, corner);
        QVERIFY(aspectOk());
        const StoredRect saved = app_->document().record().previewRect;
        QCOMPARE(saved.right - saved.left, preview->width());
    }

    void helpColoursMenuAndExitCancelled() {
        startGame();
        frame().dispatch(mc::kHelpTopics);
        QVERIFY(frame().helpWindow());
        QVERIFY(frame().helpWindow()->isVisible());
        QVERIFY(frame().helpWindow()->browser()->toPlainText().contains("Pavalo Help"));

        app_->preferences().record.backgroundColour = 0x123456;
        QStringList texts;
        whenModal([&texts](QWidget* w) {
            auto* menu = qobject_cast<QMenu*>(w);
            QVERIFY(menu);
            texts = actionTexts(menu);
            menu->setActiveAction(actionWithId(menu, fc::kRestoreDefaultColours));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(button(fc::kColors), Qt::LeftButton);
        QCOMPARE(texts, (QStringList{"Background", "Piece Outline", "Puzzle Outline", "Selection Rectangle",
                                     "Restore Default"}));
        QCOMPARE(app_->preferences().record.backgroundColour, 0u);

        // Exit with unsaved changes, and Cancel in the save prompt: play goes on.
        app_->markChanged();
        whenModal([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            box->button(QMessageBox::Cancel)->click();
        });
        QTest::mouseClick(button(fc::kPaletteExit), Qt::LeftButton);
        QVERIFY(app_->document().hasPuzzle());
        QVERIFY(frame().palette().isVisible());
    }

    // The desktop's shortcuts run their menu entries; Ctrl with a tool
    // letter leaves the tool alone.
    void desktopShortcutsRunTheMenuEntries() {
        startGame();
        // Keys typed into the game window while it is the active window.
        auto type = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
            QApplication::setActiveWindow(&app_->window());
            QVERIFY(QTest::qWaitForWindowActive(&app_->window()));
            QTest::keyClick(view(), key, modifiers);
        };
        QString title;
        whenModal([&title](QWidget* w) {
            title = w->windowTitle();
            w->close();
        });
        type(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(title, QString("Open"));

        type(Qt::Key_F1);
        QVERIFY(frame().helpWindow() && frame().helpWindow()->isVisible());
        frame().helpWindow()->close();

        type(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(app_->view().tool(), kToolNormal);

        app_->markChanged();
        bool asked = false;
        whenModal([&asked](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            asked = true;
            box->button(QMessageBox::Cancel)->click();
        });
        type(Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(asked);
        QVERIFY(app_->document().hasPuzzle());
    }

    // F11 takes the window to full screen and back; the play area (display,
    // back buffer, scroll limits) follows each time, and a sorting box
    // that the smaller screen would leave outside is pulled back onto it.
    // The status line counts the placed pieces; a completed puzzle shows
    // the finish panel, whose Play Again cuts the same picture anew.
    void finishPanelAndPlayAgain() {
        startGame();
        frame().updateStatus();
        QVERIFY(frame().statusLine()->isVisible());
        QVERIFY(frame().statusLine()->text().startsWith("0 / 99 pieces   0:0"));
        QString summary;
        bool pictureShown = false, pieceCountAsked = false;
        whenModal([&](QWidget* w) {
            auto* panel = qobject_cast<FinishPanel*>(w);
            if (!panel) {
                w->close();
                return;
            }
            summary = panel->findChild<QLabel*>("summary")->text();
            for (const QLabel* label : panel->findChildren<QLabel*>())
                if (!label->pixmap().isNull()) pictureShown = label->pixmap().width() > 100;
            whenModal([&](QWidget* d) {
                auto* dialog = qobject_cast<PieceCountDialog*>(d);
                pieceCountAsked = dialog != nullptr;
                if (dialog)
                    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                else
                    d->close();
            });
            for (QPushButton* b : panel->findChildren<QPushButton*>())
                if (b->text() == "Play Again") b->click();
        });
        QVERIFY(frame().dispatch(mc::kSelectAll));
        QVERIFY(frame().dispatch(mc::kSolveSelected));
        QCOMPARE(app_->document().puzzleState(), kPuzzleStateCompleted);
        QVERIFY(frame().statusLine()->text().startsWith("99 / 99 pieces"));
        QTRY_VERIFY(pieceCountAsked);
        QVERIFY(summary.startsWith("99 pieces in 0:0"));
        QVERIFY(pictureShown);
        QTRY_COMPARE(app_->document().puzzleState(), kPuzzleStateNew);
        QVERIFY(QString::fromStdString(app_->document().record().picture()).endsWith("stained-glass.bmp"));
        frame().updateStatus();
        QVERIFY(frame().statusLine()->text().startsWith("0 / "));
    }

    void f11TogglesFullScreenAndThePlayAreaFollows() {
        startGame();
        const QSize windowed(1280, 800), screen = app_->window().screen()->size();
        QVERIFY(screen.width() < 1100);  // the box below lies beyond it
        const std::vector<MenuItem> menu = frame().paletteMenu();
        const MenuItem* entry = findMenuItem(menu, mc::kFullScreen);
        QVERIFY(entry);
        QCOMPARE(entry->shortcut, std::string("F11"));
        QVERIFY(!entry->checked);
        app_->document().record().boxRect[0] = {1100, 500, 1260, 700};
        frame().dispatch(fc::kBox1);
        QVERIFY(windows().isBoxOpen(1));

        auto followed = [this](QSize size) {
            QTRY_COMPARE(view()->size(), size);
            QCOMPARE(app_->document().playWidth(), size.width());
            QCOMPARE(app_->document().playHeight(), size.height());
            QCOMPARE(app_->session().display().width(), size.width());
            QCOMPARE(app_->session().display().height(), size.height());
            view()->repaint();
            QCOMPARE(app_->compositor().backBuffer().width(), size.width());
            QCOMPARE(app_->compositor().backBuffer().height(), size.height());
        };
        QApplication::setActiveWindow(&app_->window());
        QVERIFY(QTest::qWaitForWindowActive(&app_->window()));
        QTest::keyClick(view(), Qt::Key_F11);
        followed(screen);
        QVERIFY(findMenuItem(frame().paletteMenu(), mc::kFullScreen)->checked);
        const Rect box = app_->session().sideWindows().views().frame(sideWindowOfBox(1));
        QVERIFY2(box.left <= screen.width() - 30 && box.top <= screen.height() - 30, "the box stayed off the screen");

        QApplication::setActiveWindow(&app_->window());
        QTest::keyClick(view(), Qt::Key_F11);
        followed(windowed);
        QVERIFY(!findMenuItem(frame().paletteMenu(), mc::kFullScreen)->checked);
    }

    // A second copy's request brings the window back as it was: out of the
    // task bar, but still full screen when it was.
    void bringingToFrontKeepsFullScreen() {
        startGame();
        app_->window().setWindowState(Qt::WindowFullScreen | Qt::WindowMinimized);
        app_->bringToFront();
        QVERIFY(app_->window().isFullScreen());
        QVERIFY(!app_->window().isMinimized());
        QVERIFY(app_->window().isVisible());
        app_->window().setWindowState(Qt::WindowNoState);
    }

    // Video Options: turning hardware stretching off stores the choice and
    // the zoomed play area, now stretched by our own zoom surface, shows the
    // same pixels.
    void videoOptionsKeepTheZoomedPicture() {
        startGame();
        frame().dispatch(mc::kZoom2);
        QVERIFY(view()->hardwareStretching());
        const QImage scaledByPainter = view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QString title, label;
        whenModal([&](QWidget* w) {
            title = w->windowTitle();
            auto* box = w->findChild<QCheckBox*>();
            QVERIFY(box);
            label = box->text();
            QVERIFY(box->isChecked());
            box->setChecked(false);
            qobject_cast<QDialog*>(w)->accept();
        });
        frame().dispatch(mc::kVideoOptions);
        QCOMPARE(title, QString("Video Options"));
        QVERIFY(label.startsWith("Hardware Stretching : If you are having problems"));
        QCOMPARE(app_->preferences().record.hardwareStretch, 0);
        QVERIFY(!view()->hardwareStretching());
        const QImage scaledByUs = view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(scaledByUs.size(), scaledByPainter.size());
        QVERIFY(scaledByUs == scaledByPainter);
    }

    void cleanupTestCase() { app_.reset(); }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
