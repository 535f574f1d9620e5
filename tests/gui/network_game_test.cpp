// The real game window hosting a network game, with a headless player
// joined over loopback in this process: the player picks a piece up and the
// window outlines it in the others' colour; it drags and drops the piece
// and the window shows it where it was dropped.
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <thread>
#include <unistd.h>

#include "app/application.h"
#include "app/game_window.h"
#include "app/network_game.h"
#include "app/play_view.h"
#include "common/named_mutex.h"
#include "net/headless_game.h"

using namespace pavalo;

namespace {

net::NetSettings loopback() {
    net::NetSettings s;
    s.bindAddress = "127.0.0.1";
    s.port = 0;
    s.discoveryPort = uint16_t(30000 + (getpid() * 7919) % 20000);
    s.broadcastAddress = "127.255.255.255";
    s.peerTimeoutMs = 5000;
    return s;
}

}  // namespace

class NetworkGameTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;

    PuzzleModel& model() { return app_->model(); }
    PlayView* view() { return app_->window().view(); }

    // A loose piece that lies wholly inside the window.
    int32_t visiblePiece() {
        const QRect window = view()->rect().adjusted(60, 60, -200, -200);
        for (int32_t i = 0; i < model().pieceCount(); ++i) {
            const Rect b = model().piece(i).box();
            if (model().listOfPiece(i) == ListId::Main && window.contains(QRect(b.left, b.top, b.width(), b.height())))
                return i;
        }
        return -1;
    }
    // Pixels of the others' colour (pure red) inside the piece's box as the
    // window shows it.
    int othersColourPixels(int32_t piece) {
        const Rect b = model().piece(piece).box();
        const QImage shown = view()->grab().toImage();
        int n = 0;
        for (int y = b.top; y < b.bottom; ++y)
            for (int x = b.left; x < b.right; ++x)
                if (shown.valid(x, y) && shown.pixel(x, y) == qRgb(255, 0, 0)) ++n;
        return n;
    }

private slots:
    void aJoinedPlayersHoldAndDragShowInTheWindow() {
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        LaunchOptions o;
        o.window = QSize(1280, 800);
        o.newPicture = std::string(PAVALO_SAMPLE_DIR) + "/stained-glass.bmp";
        o.pieces = 100;
        o.seed = 7;
        app_ = std::make_unique<Application>(o);
        QVERIFY(app_->start());
        app_->runStartRoutine();
        QVERIFY(app_->document().hasPuzzle());
        QVERIFY(QTest::qWaitForWindowExposed(&app_->window()));
        app_->view().zoomTo(WindowId::view(), 0, true);
        const std::string saved = (home_.path() + "/shared.gvp").toStdString();
        std::string error;
        QVERIFY2(app_->document().saveCopy(saved, error), error.c_str());

        NetworkGame& game = app_->attachNetworkGame();
        game.layer().setSettings(loopback());
        QVERIFY(game.layer().openSession("Game", "Host", 4, net::kGameCooperative, 1, 0xFF));
        net::HeadlessGame bot(loopback());
        QVERIFY2(bot.open(saved, error), error.c_str());
        QCOMPARE(bot.join("127.0.0.1", game.layer().session()->listenPort(), "Bot"), net::JoinResult::Ok);
        QTRY_COMPARE_WITH_TIMEOUT(game.layer().playerTable().inUseCount(), 2, 5000);
        game.start();
        bot.start();
        const int botSlot = game.layer().playerTable().slotOf(bot.layer().localPlayerId(), false);

        const int32_t piece = visiblePiece();
        QVERIFY(piece >= 0);
        const int before = othersColourPixels(piece);

        // The player's hand, on its own thread: pick up, then (when told)
        // drag and drop 90 pixels right, 50 down.
        std::atomic<int> step{0};
        PuzzleModel& theirs = bot.model();
        std::thread hand([&] {
            if (bot.senders().requestPickup(ListId::Main, piece) != 1) return;
            step = 1;
            while (step.load() == 1) bot.idle(10);
            const int32_t x = theirs.piece(piece).x + 90, y = theirs.piece(piece).y + 50;
            theirs.moveGroup(ListId::Main, piece, x - 40, y - 20);
            bot.senders().sendMove(ListId::Main, piece, x - 40, y - 20);
            bot.idle(150);
            theirs.moveGroup(ListId::Main, piece, x, y);
            bot.senders().sendMove(ListId::Main, piece, x, y);
            bot.idle(150);
            bot.senders().sendDrop(ListId::Main, piece);
            step = 3;
        });
        const int32_t x0 = model().piece(piece).x, y0 = model().piece(piece).y;
        QTRY_COMPARE_WITH_TIMEOUT(step.load(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(model().holders().holderOf(piece), botSlot, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(othersColourPixels(piece) > before + 20, 3000);
        step = 2;
        QTRY_COMPARE_WITH_TIMEOUT(step.load(), 3, 8000);
        hand.join();
        QTRY_VERIFY_WITH_TIMEOUT(model().piece(piece).x == x0 + 90 && model().piece(piece).y == y0 + 50, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(model().holders().holderOf(piece), kNoHolder, 5000);
        // The window shows the piece at its new place, no longer outlined,
        // and has taken every message that came.
        QTRY_VERIFY_WITH_TIMEOUT(othersColourPixels(piece) <= before, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(game.layer().incomingCount(), 0, 3000);
        bot.close();
        app_->detachNetworkGame();
    }

    void cleanupTestCase() { app_.reset(); }
};

QTEST_MAIN(NetworkGameTest)
#include "network_game_test.moc"
