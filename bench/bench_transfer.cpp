// Picture transfer and synchronisation over loopback sessions: a 2 MB JPEG
// to one and to four players at once (with the host's own press-to-hold
// round trip measured while it sends, and again before with nothing being
// sent, as the floor the machine's own scheduling sets), and a latecomer
// synchronised into a 4000-piece game. The players run in this process: on
// a busy machine their receiving competes with the host for the cores.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "media/jpeg_writer.h"
#include "tests/net/transfer_rig.h"

namespace {

using namespace pavalo;
using namespace pavalo::net;
using Clock = std::chrono::steady_clock;

// A photograph-like JPEG of about 2 MB: smooth colour with fine noise.
std::vector<uint8_t> twoMegabyteJpeg() {
    const int w = 1900, h = 1400;
    std::vector<uint8_t> pixels(size_t(w) * h * 3);
    std::mt19937 r(3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &pixels[(size_t(y) * w + x) * 3];
            p[0] = uint8_t(x * 255 / w + (r() % 64));
            p[1] = uint8_t(y * 255 / h + (r() % 64));
            p[2] = uint8_t((x + y) % 256 ^ (r() % 64));
        }
    return encodeJpeg(w, h, 3, pixels, 92);
}

void BM_PictureToPlayers(benchmark::State& state) {
    const int players = int(state.range(0));
    test::TempFolder folder;
    const auto picture = twoMegabyteJpeg();
    test::writeAll(folder.path / "harbour.jpg", picture);
    auto host = test::hostMachine(test::gridPuzzle(4, 3));
    if (!host) return state.SkipWithError("no session");
    host->transfers.pictureService().setPicture((folder.path / "harbour.jpg").string());
    host->ready();
    std::vector<std::unique_ptr<test::TransferMachine>> clients;
    for (int i = 0; i < players; ++i) {
        clients.push_back(test::joinMachine(test::gridPuzzle(4, 3), host->layer.session()->listenPort()));
        if (!clients.back()) return state.SkipWithError("no join");
        clients.back()->runUi();
    }
    test::waitUntil([&] { return host->layer.playerTable().inUseCount() == players + 1; });
    host->runUi();  // the host's dispatching, for its own press requests
    // The host's player presses a piece and lets go again, every 5 ms: the
    // round trip of the press through the host's own server.
    auto press = [&](std::vector<double>& ms) {
        const auto t = Clock::now();
        if (host->senders.requestPickup(ListId::Main, 5)) host->senders.sendUnselect(ListId::Main, 5);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    // The same presses with nothing being sent: what the machine's own
    // scheduling costs, against which the figures under the transfer read.
    std::vector<double> idle, busy;
    for (const auto end = Clock::now() + std::chrono::milliseconds(600); Clock::now() < end;) press(idle);
    for (auto _ : state) {
        for (int i = 0; i < players; ++i)
            clients[size_t(i)]->transfers.pictureReceiver().start(
                (folder.path / ("copy" + std::to_string(i) + ".jpg")).string(), uint32_t(picture.size()));
        auto done = [&] {
            return std::all_of(clients.begin(), clients.end(),
                                [](auto& c) { return c->transfers.pictureReceiver().finished(); });
        };
        while (!done()) press(busy);
        for (auto& c : clients)
            if (c->transfers.pictureReceiver().status().phase != PictureReceiver::Phase::Done)
                state.SkipWithError("transfer failed");
    }
    auto share = [](std::vector<double>& ms, double q) {
        if (ms.empty()) return 0.0;
        std::sort(ms.begin(), ms.end());
        return ms[std::min(ms.size() - 1, size_t(double(ms.size()) * q))];
    };
    state.counters["bytes"] = double(picture.size());
    state.counters["rate_bits"] = double(transferRateBits(host->layer, clients[0]->layer.localPlayerId()));
    state.counters["press_ms_max"] = share(busy, 1.0);
    state.counters["press_ms_p99"] = share(busy, 0.99);
    state.counters["press_ms_median"] = share(busy, 0.5);
    state.counters["idle_press_ms_max"] = share(idle, 1.0);
    state.counters["idle_press_ms_p99"] = share(idle, 0.99);
    state.counters["presses"] = double(busy.size());
}
BENCHMARK(BM_PictureToPlayers)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SyncLatecomer4000(benchmark::State& state) {
    auto host = test::hostMachine(test::gridPuzzle(80, 50));
    if (!host) return state.SkipWithError("no session");
    host->ready();
    auto late = test::joinMachine(test::gridPuzzle(80, 50), host->layer.session()->listenPort());
    if (!late) return state.SkipWithError("no join");
    late->setState(PlayerState::Synchronising);
    late->runUi();
    for (auto _ : state) {
        SyncReceiver& sync = late->transfers.syncReceiver();
        sync.start();
        test::waitUntil([&] { return sync.finished(); }, 60000);
        if (sync.status().phase != SyncReceiver::Phase::Finished || sync.status().records < 4000)
            state.SkipWithError("sync failed");
        state.PauseTiming();
        test::waitUntil([&] { return host->transfers.syncService().activeSenders() == 0; });
        state.ResumeTiming();
    }
    state.counters["records"] = double(late->transfers.syncReceiver().status().records);
    state.counters["rate_bits"] = double(transferRateBits(host->layer, late->layer.localPlayerId()));
}
BENCHMARK(BM_SyncLatecomer4000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
