// The host's window under a crowd: the real view hosting a network game on a
// 4000-piece puzzle, 15 headless players joined over loopback, each
// dragging pieces as fast as moves may go out (one move per 100 ms, their
// pickups and drops as quick as the host answers). Each iteration is one
// mouse-move event of the host's own drag up to the end of the repaint it
// causes, the messages the players' moves bring handled on the same thread
// meanwhile. Reported: the median and the 95th percentile per move.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "app/application.h"
#include "app/game_window.h"
#include "app/network_game.h"
#include "app/play_view.h"
#include "media/bmp.h"
#include "net/headless_game.h"
#include "puzzle/piece_mask.h"

using namespace pavalo;

namespace {

Application* gApp = nullptr;

net::NetSettings loopback() {
    net::NetSettings s;
    s.bindAddress = "127.0.0.1";
    s.port = 0;
    s.discoveryPort = 0;
    s.peerTimeoutMs = 20000;
    s.joinTimeoutMs = 10000;
    return s;
}

QPoint grabPoint(PuzzleModel& m, int32_t& piece) {
    for (int32_t i = 0; i < m.pieceCount(); ++i) {
        const Piece& p = m.piece(i);
        if (m.listOfPiece(i) != ListId::Main || p.x < 60 || p.x > 1800 || p.y < 60 || p.y > 980) continue;
        const int x = p.drawnWidth() / 2, y = p.drawnHeight() / 2;
        if (maskCoversPoint(p.mask, p.width, p.height, p.rotation, x, y) &&
            m.findPieceAtPoint(ListId::Main, p.x + x, p.y + y) == i) {
            piece = i;
            return QPoint(p.x + x, p.y + y);
        }
    }
    return {};
}

// A player's hand: picks a piece up, drags it a while, drops it, again.
void dragForever(net::HeadlessGame& bot, uint32_t seed, const std::atomic<bool>& stop) {
    std::mt19937 rng(seed);
    PuzzleModel& m = bot.model();
    while (!stop) {
        const int32_t piece = int32_t(rng() % uint32_t(m.pieceCount()));
        if (m.listOfPiece(piece) != ListId::Main || bot.senders().requestPickup(ListId::Main, piece) != 1) {
            bot.idle(5);
            continue;
        }
        for (int step = 0; step < 30 && !stop; ++step) {
            const Piece& p = m.piece(piece);
            const int32_t x = p.x + int32_t(rng() % 9) - 4, y = p.y + int32_t(rng() % 9) - 4;
            m.moveGroup(ListId::Main, piece, x, y);
            bot.senders().sendMove(ListId::Main, piece, x, y);
            bot.idle(10);
        }
        bot.senders().sendDrop(ListId::Main, piece);
    }
}

}  // namespace

static void hostDragUnderFifteenPlayers(benchmark::State& state) {
    PlayView* view = gApp->window().view();
    int32_t piece = -1;
    const QPoint start = grabPoint(gApp->model(), piece);
    if (piece < 0) {
        state.SkipWithError("no piece to grab");
        return;
    }
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    QApplication::processEvents();
    std::vector<double> ms;
    int step = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int dx = (step++ % 40) - 20;
        QTest::mouseMove(view, start + QPoint(dx, dx / 2));
        QApplication::processEvents();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, start);
    QApplication::processEvents();
    std::sort(ms.begin(), ms.end());
    if (!ms.empty()) {
        state.counters["median_ms"] = ms[ms.size() / 2];
        state.counters["p95_ms"] = ms[ms.size() * 95 / 100];
    }
}
BENCHMARK(hostDragUnderFifteenPlayers)->Unit(benchmark::kMillisecond)->Iterations(600)->Repetitions(3);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication qt(argc, argv);
    QTemporaryDir home;
    qputenv("TAVORN_HOME", home.path().toUtf8());
    LaunchOptions o;
    o.window = QSize(1920, 1080);
    DrawSurface picture;
    picture.create(1600, 1000, 24);
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 1600; ++x) {
            uint8_t* px = picture.row(y) + 3 * x;
            px[0] = uint8_t(x / 7 + y / 3);
            px[1] = uint8_t((x * y) >> 9);
            px[2] = uint8_t(255 - y / 4);
        }
    const std::string path = home.filePath("bench.bmp").toStdString();
    saveBmp(picture, path);
    o.newPicture = path;
    o.pieces = 4000;
    o.seed = 3;
    Application app(o);
    if (!app.start()) return 1;
    app.runStartRoutine();
    if (!QTest::qWaitForWindowExposed(&app.window())) return 1;
    const std::string saved = home.filePath("shared.gvp").toStdString();
    std::string error;
    if (!app.document().saveCopy(saved, error)) return 1;

    NetworkGame& game = app.attachNetworkGame();
    game.layer().setSettings(loopback());
    if (!game.layer().openSession("Bench", "Host", 16, net::kGameCooperative, 1, 0xFF)) return 1;
    game.start();
    constexpr int kPlayers = 15;
    std::vector<std::unique_ptr<net::HeadlessGame>> bots;
    for (int i = 0; i < kPlayers; ++i) {
        bots.push_back(std::make_unique<net::HeadlessGame>(loopback()));
        if (!bots.back()->open(saved, error) ||
            bots.back()->join("127.0.0.1", game.layer().session()->listenPort(), "Bot") != net::JoinResult::Ok) {
            std::printf("player %d could not join: %s\n", i, error.c_str());
            return 1;
        }
        bots.back()->start();
    }
    if (!QTest::qWaitFor([&] { return game.layer().playerTable().inUseCount() == kPlayers + 1; }, 20000)) return 1;
    std::atomic<bool> stop{false};
    std::vector<std::thread> hands;
    for (int i = 0; i < kPlayers; ++i) hands.emplace_back(dragForever, std::ref(*bots[size_t(i)]), uint32_t(i + 1), std::cref(stop));
    QTest::qWait(1000);  // everybody dragging
    std::printf("%d pieces, %d players\n", app.model().pieceCount(), game.layer().playerTable().inUseCount());
    gApp = &app;
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    stop = true;
    // The host's server thread answers the hands' last requests.
    for (auto& h : hands) h.join();
    for (auto& b : bots) b->close();
    app.detachNetworkGame();
    app.shutdown();
    return 0;
}
