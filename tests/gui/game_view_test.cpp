// The game's windows driven like a player would: real mouse and key events on
// the play-area view of a running game, and the start and piece-count dialogs.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "app/application.h"
#include "app/game_window.h"
#include "app/piece_count_dialog.h"
#include "app/play_view.h"
#include "app/start_dialog.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;

class GameViewTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;

    // Starts a game with a fresh 100-piece puzzle of the sample picture.
    void startGame(bool rotate = false) {
        app_.reset();
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        LaunchOptions o;
        o.window = QSize(1280, 800);
        o.newPicture = std::string(PAVALO_SAMPLE_DIR) + "/stained-glass.bmp";
        o.pieces = 100;
        o.seed = 7;
        o.rotate = rotate;
        app_ = std::make_unique<Application>(o);
        QVERIFY(app_->start());
        app_->runStartRoutine();
        QVERIFY(app_->document().hasPuzzle());
        QVERIFY(QTest::qWaitForWindowExposed(&app_->window()));
        // The first view shows the whole table; these tests work at x1.
        const Rect shown = app_->view().visiblePlayArea();
        QVERIFY(shown.united(app_->view().tableRect()) == shown);
        const bool modified = app_->document().modified();
        app_->view().zoomTo(WindowId::view(), 0, true);
        app_->document().setModified(modified);
    }
    PuzzleModel& model() { return app_->model(); }
    PlayView* view() { return app_->window().view(); }

    // A point inside a piece's shape, in window pixels (zoom 1).
    QPoint insidePiece(int32_t piece) {
        const Piece& p = model().piece(piece);
        for (int y = p.drawnHeight() / 2; y < p.drawnHeight(); ++y)
            for (int x = p.drawnWidth() / 2; x < p.drawnWidth(); ++x)
                if (maskCoversPoint(p.mask, p.width, p.height, p.rotation, x, y) &&
                    model().findPieceAtPoint(ListId::Main, p.x + x, p.y + y) == piece)
                    return QPoint(p.x + x, p.y + y);
        return {};
    }
    // A loose piece fully inside the window and on top where grabbed.
    int32_t visiblePiece() {
        const QRect window = view()->rect().adjusted(40, 40, -40, -40);
        for (int32_t i = 0; i < model().pieceCount(); ++i) {
            const Rect b = model().piece(i).box();
            if (model().listOfPiece(i) == ListId::Main && window.contains(QRect(b.left, b.top, b.width(), b.height())) &&
                !insidePiece(i).isNull())
                return i;
        }
        return -1;
    }
    // Drags a piece by its grab point so that its top-left lands at `to`.
    void dragPiece(int32_t piece, QPoint to) {
        const QPoint grab = insidePiece(piece);
        QVERIFY(!grab.isNull());
        const QPoint offset = grab - QPoint(model().piece(piece).x, model().piece(piece).y);
        QTest::mousePress(view(), Qt::LeftButton, {}, grab);
        QTest::mouseMove(view(), (grab + to + offset) / 2);
        QTest::mouseMove(view(), to + offset);
        QTest::mouseRelease(view(), Qt::LeftButton, {}, to + offset);
    }

private slots:
    void dropBesideANeighbourJoins() {
        startGame();
        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        const int32_t cols = model().columns();
        const int32_t q = (p % cols + 1 < cols) ? p + 1 : p - 1;
        // Bring q next to p's expected place, then drop p three pixels off it.
        int32_t ex, ey;
        model().moveGroup(ListId::Main, q, model().piece(p).x + 200, model().piece(p).y);
        model().expectedPosition(p, q, ex, ey);
        if (ex < 40 || ex > 1100) QSKIP("no room beside the piece in this layout");
        dragPiece(p, QPoint(ex + 3, ey - 2));
        QCOMPARE(model().member(p).group, model().member(q).group);
        model().expectedPosition(p, q, ex, ey);
        QCOMPARE(model().piece(p).x, ex);  // joined exactly
        QVERIFY(app_->document().modified());
    }

    void dropNearItsPlaceSnapsAndAFinishedPieceStartsABand() {
        startGame();
        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        dragPiece(p, QPoint(model().solvedX(p) + 4, model().solvedY(p) - 3));
        QCOMPARE(model().listOfPiece(p), ListId::Finished);
        QCOMPARE(model().piece(p).x, model().solvedX(p));
        // Pressing on the finished piece draws a band instead of picking it up.
        const Piece& f = model().piece(p);
        const QPoint on(f.x + f.width / 2, f.y + f.height / 2);
        QTest::mousePress(view(), Qt::LeftButton, {}, on);
        QVERIFY(app_->view().bandActive());
        QCOMPARE(app_->view().dragPiece(), -1);
        QTest::mouseRelease(view(), Qt::LeftButton, {}, on + QPoint(5, 5));
        QCOMPARE(model().listOfPiece(p), ListId::Finished);
    }

    void doubleClickRotatesZoomAndSpaceCycle() {
        startGame(true);
        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        const int before = model().piece(p).rotation;
        QTest::mouseDClick(view(), Qt::LeftButton, {}, insidePiece(p));
        QCOMPARE(model().piece(p).rotation, (before + 1) % 4);
        QTest::mouseRelease(view(), Qt::LeftButton, {}, insidePiece(p));

        // The zoom tool: Z, then a click in the view zooms in one step.
        QTest::keyClick(view(), Qt::Key_Z);
        QCOMPARE(app_->view().tool(), kToolZoom);
        QTest::mouseClick(view(), Qt::LeftButton, {}, QPoint(640, 400));
        QCOMPARE(app_->view().zoom(), 1);
        QTest::keyClick(view(), Qt::Key_Escape);
        QCOMPARE(app_->view().tool(), kToolNormal);

        // Space: loose pieces hidden, then the assembled picture, then back.
        RendererState& state = app_->compositor().state();
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(state.viewMode & kViewPlayAreaHidden);
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(state.viewMode & kViewAssembled);
        QTest::keyClick(view(), Qt::Key_Space);
        QCOMPARE(state.viewMode, kViewPiecesShown);
    }

    void pointerAtTheEdgeScrollsTheWorld() {
        startGame();
        const Point before = app_->view().assemblyOffset();
        QTest::mouseMove(view(), QPoint(5, 400));
        const Point after = app_->view().assemblyOffset();
        QVERIFY(after.x != before.x);
        QCOMPARE(after.y, before.y);
    }

    // Zoomed out to x1/4 with the keys, a piece dragged with real events
    // beside its neighbour joins it; the wheel scrolls (Shift sideways, a
    // touchpad by its pixels), Ctrl+wheel zooms about the pointer and the
    // middle button drags the table.
    void zoomOutKeysWheelAndDropAtAQuarter() {
        startGame();
        ViewController& v = app_->view();
        while (v.reduce() > 1) QTest::keyClick(view(), Qt::Key_Equal);
        while (v.zoom() > 0) QTest::keyClick(view(), Qt::Key_Minus);
        QCOMPARE(v.reduce(), 1);
        QTest::keyClick(view(), Qt::Key_Minus);
        QTest::keyClick(view(), Qt::Key_Minus);
        QCOMPARE(v.reduce(), 4);

        const int32_t p = visiblePiece();
        QVERIFY(p >= 0);
        const int32_t cols = model().columns();
        const int32_t q = (p % cols + 1 < cols) ? p + 1 : p - 1;
        int32_t ex, ey;
        model().moveGroup(ListId::Main, q, model().piece(p).x + 200, model().piece(p).y);
        model().expectedPosition(p, q, ex, ey);
        // Grab p in the middle of its shape and let go so that it lands
        // about two play pixels off its place beside q.
        const QPoint inside = insidePiece(p);
        const Point grabPlay{inside.x(), inside.y()};
        const Point grab = v.playToWindow(WindowId::view(), grabPlay);
        const Point grabbed = v.windowToPlay(WindowId::view(), grab);
        QCOMPARE(model().findPieceAtPoint(ListId::Main, grabbed.x, grabbed.y), p);
        const Point offset{model().piece(p).x - grabbed.x, model().piece(p).y - grabbed.y};
        const Point to = v.playToWindow(WindowId::view(), Point{ex + 2 - offset.x, ey - 1 - offset.y});
        QTest::mousePress(view(), Qt::LeftButton, {}, QPoint(grab.x, grab.y));
        QCOMPARE(v.dragPiece(), p);
        QTest::mouseMove(view(), QPoint(to.x, to.y));
        QTest::mouseRelease(view(), Qt::LeftButton, {}, QPoint(to.x, to.y));
        QCOMPARE(model().member(p).group, model().member(q).group);
        model().expectedPosition(p, q, ex, ey);
        QCOMPARE(model().piece(p).x, ex);

        auto wheel = [&](QPoint pixels, QPoint angle, Qt::KeyboardModifiers mods, QPoint at = QPoint(640, 400)) {
            QWheelEvent e(QPointF(at), QPointF(view()->mapToGlobal(at)), pixels, angle, Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(view(), &e);
        };
        v.setScrollBounds({-100000, -100000, 100000, 100000});  // no edge cuts a move short
        Point before = v.assemblyOffset();
        wheel({}, QPoint(0, -120), {});  // one notch down: 60 window pixels, 240 play pixels
        QCOMPARE(v.assemblyOffset().y, before.y - 240);
        QCOMPARE(v.assemblyOffset().x, before.x);
        before = v.assemblyOffset();
        wheel({}, QPoint(0, 120), Qt::ShiftModifier);  // sideways
        QCOMPARE(v.assemblyOffset().x, before.x + 240);
        before = v.assemblyOffset();
        wheel(QPoint(-7, 3), QPoint(-14, 6), {});  // a touchpad's pixels win
        QVERIFY(v.assemblyOffset() == (Point{before.x - 28, before.y + 12}));

        before = v.assemblyOffset();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(300, 300), view()->mapToGlobal(QPointF(300, 300)),
                          Qt::MiddleButton, Qt::MiddleButton, {});
        QApplication::sendEvent(view(), &press);
        QMouseEvent drag(QEvent::MouseMove, QPointF(310, 295), view()->mapToGlobal(QPointF(310, 295)), Qt::NoButton,
                         Qt::MiddleButton, {});
        QApplication::sendEvent(view(), &drag);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(310, 295), view()->mapToGlobal(QPointF(310, 295)),
                       Qt::MiddleButton, Qt::NoButton, {});
        QApplication::sendEvent(view(), &up);
        QVERIFY(v.assemblyOffset() == (Point{before.x + 40, before.y - 20}));

        // Ctrl+wheel up at a piece: x1/2, the piece still under the pointer.
        const QPoint onPiece = insidePiece(p);
        const Point at = v.playToWindow(WindowId::view(), Point{onPiece.x(), onPiece.y()});
        wheel({}, QPoint(0, 120), Qt::ControlModifier, QPoint(at.x, at.y));
        QCOMPARE(v.reduce(), 2);
        const Point under = v.windowToPlay(WindowId::view(), at);
        QCOMPARE(model().findPieceAtPoint(ListId::Main, under.x, under.y), p);

        QTest::keyClick(view(), Qt::Key_0);
        QVERIFY(v.fitted());
        const Rect shown = v.visiblePlayArea();
        QVERIFY(shown.united(v.tableRect()) == shown);
    }

    // A window of the size asked for on the command line is the play area,
    // and a picture that fits it starts with every piece inside it.
    void windowedPlayAreaStartsWithEveryPieceInside() {
        for (const QSize size : {QSize(900, 650), QSize(700, 520), QSize(1100, 560)}) {
            app_.reset();
            qputenv("TAVORN_HOME", home_.path().toUtf8());
            LaunchOptions o;
            o.window = size;
            o.newPicture = std::string(PAVALO_SAMPLE_DIR) + "/balloons.bmp";  // 640 x 480
            o.pieces = 48;
            o.seed = 11;
            app_ = std::make_unique<Application>(o);
            QVERIFY(app_->start());
            app_->runStartRoutine();
            QVERIFY(app_->document().hasPuzzle());
            QVERIFY(QTest::qWaitForWindowExposed(&app_->window()));
            QCOMPARE(view()->size(), size);
            QCOMPARE(app_->document().playWidth(), size.width());
            QCOMPARE(app_->document().playHeight(), size.height());
            const ViewController& v = app_->view();
            const QRect window(QPoint(0, 0), size);
            for (int32_t i = 0; i < model().pieceCount(); ++i) {
                const Rect b = model().piece(i).box();
                const Point a = v.playToWindow(WindowId::view(), Point{b.left, b.top});
                const Point z = v.playToWindow(WindowId::view(), Point{b.right, b.bottom});
                QVERIFY2(window.contains(QRect(QPoint(a.x, a.y), QPoint(z.x - 1, z.y - 1))),
                         qPrintable(QString("piece %1 outside a %2 x %3 window").arg(i).arg(size.width()).arg(size.height())));
            }
        }
    }

    // On a screen whose device pixel ratio is 2 (gui.game_view_hidpi runs
    // this so) the play area keeps the window's own size, so pieces keep
    // theirs, and each composed pixel fills a whole 2 x 2 block of device
    // pixels: crisp, nothing blended between neighbours.
    void playAreaIsCrispAtTheScreensScale() {
        startGame();
        const int ratio = qRound(view()->devicePixelRatioF());
        if (ratio < 2) QSKIP("a device pixel ratio of 2 or more is needed (QT_SCALE_FACTOR=2)");
        QCOMPARE(app_->document().playWidth(), view()->width());
        QCOMPARE(app_->document().playHeight(), view()->height());
        const int32_t piece = [&] {
            for (int32_t i = 0; i < model().pieceCount(); ++i) {
                const Rect b = model().piece(i).box();
                if (QRect(0, 0, view()->width(), view()->height() - 80).contains(QRect(b.left, b.top, b.width(), b.height())))
                    return i;
            }
            return int32_t(-1);
        }();
        QVERIFY(piece >= 0);
        const QImage shot = view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.width(), view()->width() * ratio);
        const Rect b = model().piece(piece).box();
        int blended = 0, coloured = 0;
        for (int32_t y = b.top; y < b.bottom; ++y)
            for (int32_t x = b.left; x < b.right; ++x) {
                const QRgb first = shot.pixel(x * ratio, y * ratio);
                coloured += qGray(first) > 0;
                for (int dy = 0; dy < ratio; ++dy)
                    for (int dx = 0; dx < ratio; ++dx) blended += shot.pixel(x * ratio + dx, y * ratio + dy) != first;
            }
        QCOMPARE(blended, 0);
        QVERIFY(coloured > b.width() * b.height() / 4);  // the piece is there, at its size
    }

    void startDialogButtonsAndKeys() {
        QWidget parent;
        parent.resize(1024, 700);
        {
            StartDialog d(&parent, false);
            QVERIFY(!d.button(StartChoice::Continue)->isEnabled());
            QTimer::singleShot(0, &d, [&] { QTest::mouseClick(d.button(StartChoice::NewPuzzle), Qt::LeftButton); });
            d.exec();
            QCOMPARE(d.choice(), StartChoice::NewPuzzle);
        }
        {
            StartDialog d(&parent, true);
            QTimer::singleShot(0, &d, [&] { QTest::keyClick(&d, Qt::Key_Return); });
            d.exec();
            QCOMPARE(d.choice(), StartChoice::Continue);  // Enter with nothing focused
        }
        {
            StartDialog d(&parent, true);
            QTimer::singleShot(0, &d, [&] { QTest::keyClick(&d, Qt::Key_Escape); });
            d.exec();
            QCOMPARE(d.choice(), StartChoice::Exit);
        }
    }

    void pieceCountDialogFollowsPresetsAndSlider() {
        PieceCountRules rules(640, 480);
        PieceCountMemory memory;
        PieceCountDialog d(nullptr, rules, true, memory);
        QCOMPARE(d.slider()->minimum(), 2);
        QCOMPARE(d.slider()->maximum(), 53);
        QVERIFY(d.rotateBox()->isChecked());
        d.choosePreset(0);  // "Simple": 4 x 3
        QCOMPARE(d.countLabel()->text(), QString("12 Pieces"));
        d.slider()->setValue(10);
        QCOMPARE(d.countLabel()->text(), QString("80 Pieces"));
        QCOMPARE(d.choice().grid.columns, 10);
        QCOMPARE(d.choice().preset, -1);
    }

    void cleanupTestCase() { app_.reset(); }
};

QTEST_MAIN(GameViewTest)
#include "game_view_test.moc"
