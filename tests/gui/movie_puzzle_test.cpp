// A moving-picture puzzle in the real window, offscreen: the sample movie's
// frames reach the pieces on the play area while the game idles, with its
// sound, and a modal window stops it until it closes.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/application.h"
#include "app/game_window.h"
#include "app/play_view.h"
#include "app/qt_platform.h"

using namespace pavalo;

class MoviePuzzleTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;

private slots:
    void thePiecesShowTheMoviePlaying() {
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        LaunchOptions o;
        o.window = QSize(1280, 800);
        o.newPicture = std::string(PAVALO_SAMPLE_DIR) + "/bubbles.mpg";
        o.pieces = 100;
        o.seed = 7;
        app_ = std::make_unique<Application>(o);
        QVERIFY(app_->start());
        app_->runStartRoutine();
        QVERIFY(app_->document().hasPuzzle());
        QCOMPARE(app_->document().record().pictureKind, uint32_t(kPictureMovie));
        QVERIFY(QTest::qWaitForWindowExposed(&app_->window()));

        PlayView* view = app_->window().view();
        const QImage before = view->grab().toImage();
        // A quarter of a second is several of the movie's frames.
        QTest::qWait(400);
        const QImage after = view->grab().toImage();
        QCOMPARE(before.size(), after.size());
        QVERIFY(before != after);
        // The sample's sound track plays (on SDL's silent driver here).
        QVERIFY(app_->session().animations().movie().sound() != nullptr);
    }
    void aModalWindowStopsTheMovieUntilItCloses() {
        const MoviePlayer& movie = app_->session().animations().movie();
        QVERIFY(movie.running());
        QVERIFY(!movie.paused());
        bool pausedWhileShown = false;
        QTimer::singleShot(100, [&] {
            pausedWhileShown = movie.paused();
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
        app_->platform().messageBox("A question", {}, MessageButtons::Ok);
        QVERIFY(pausedWhileShown);
        QTRY_VERIFY(!movie.paused());
    }
    void cleanupTestCase() { app_.reset(); }
};

QTEST_MAIN(MoviePuzzleTest)
#include "movie_puzzle_test.moc"
