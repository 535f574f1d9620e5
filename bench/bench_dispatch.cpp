// The host's side of the game protocol on a 4000-piece puzzle: one
// REQUESTPICKUP, one DROPPIECE that joins a neighbour, and a 128-piece
// REQUESTSELECTION, each handled by the host's dispatcher with its answers
// sent (into an in-process hub instead of a socket); and a player's pickup
// over loopback, from asking to holding the piece.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <thread>

#include "net/headless_game.h"
#include "puzzle/saved_puzzle.h"
#include "tests/net/protocol_hub.h"

namespace {

using namespace pavalo;
using namespace pavalo::net;

std::unique_ptr<test::Hub> bigHub() {
    return std::make_unique<test::Hub>(1, [] { return test::gridPuzzle(80, 50); });
}

void clearInboxes(test::Hub& hub) {
    for (auto& m : hub.machines) m->inbox.clear();
    hub.log.clear();
}

void BM_HostPickup(benchmark::State& state) {
    auto hub = bigHub();
    test::HubMachine& host = hub->host();
    const uint32_t player = hub->at(1).id();
    GameMessage m;
    m.id = kMsgRequestPickup;
    m.player = player;
    m.piece = 1234;
    const std::vector<uint8_t> bytes = encodeMessage(m);
    for (auto _ : state) {
        host.dispatcher.handle(bytes, player, kServerPlayer);
        clearInboxes(*hub);
    }
}
BENCHMARK(BM_HostPickup)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_HostDropWithJoin(benchmark::State& state) {
    auto hub = bigHub();
    test::HubMachine& host = hub->host();
    PuzzleModel& model = host.model;
    const uint32_t player = hub->at(1).id();
    // Pairs (2k, 2k + 1) of one row: the odd piece is dropped beside the
    // even one, so every drop joins exactly one group the first time.
    std::vector<std::vector<uint8_t>> drops;
    for (int32_t a = 1; a < model.pieceCount(); a += 2) {
        int32_t x, y;
        model.expectedPosition(a, a - 1, x, y);
        GameMessage m;
        m.id = kMsgDropPiece;
        m.player = player;
        m.piece = uint32_t(a);
        m.x = model.toPictureX(x);
        m.y = model.toPictureY(y);
        m.code = -1;
        drops.push_back(encodeMessage(m));
    }
    size_t next = 0;
    int64_t joins = 0;
    for (auto _ : state) {
        host.dispatcher.handle(drops[next++ % drops.size()], player, kServerPlayer);
        for (const test::Envelope& e : hub->log)
            if (e.id() == kMsgDropPiece && e.bytes[20] != 0xFF) ++joins;
        clearInboxes(*hub);
    }
    state.counters["joins"] = double(joins);
}
BENCHMARK(BM_HostDropWithJoin)->Unit(benchmark::kMicrosecond)->Iterations(600)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_HostSelection128(benchmark::State& state) {
    auto hub = bigHub();
    test::HubMachine& host = hub->host();
    const uint32_t player = hub->at(1).id();
    GameMessage m;
    m.id = kMsgRequestSelection;
    m.player = player;
    m.serial = 1;
    for (uint32_t p = 0; p < 128; ++p) m.pieces.push_back(p * 31);
    std::vector<uint8_t> bytes = encodeMessage(m);
    uint32_t serial = 1;
    for (auto _ : state) {
        // Each request a new one (a repeat would only get its answer again).
        ++serial;
        for (int i = 0; i < 4; ++i) bytes[size_t(8 + i)] = uint8_t(serial >> (8 * i));
        host.dispatcher.handle(bytes, player, kServerPlayer);
        clearInboxes(*hub);
    }
}
BENCHMARK(BM_HostSelection128)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PickupOverLoopback(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() / "pavalo-bench-pickup.gvp").string();
    {
        PuzzleModel model = test::gridPuzzle(20, 10);
        SettingsRecord record;
        std::string error;
        if (!savePuzzleFile(path, record, model, error)) state.SkipWithError(error.c_str());
    }
    NetSettings settings;
    settings.bindAddress = "127.0.0.1";
    settings.port = 0;
    settings.discoveryPort = 0;
    HeadlessGame host(settings), player(settings);
    std::string error;
    if (!host.open(path, error) || !player.open(path, error) || !host.host("Bench", 4)) {
        state.SkipWithError("no game");
        return;
    }
    host.start();
    if (player.join("127.0.0.1", host.layer().session()->listenPort(), "Player") != JoinResult::Ok) {
        state.SkipWithError("no join");
        return;
    }
    player.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int32_t piece = 0;
    for (auto _ : state) {
        if (player.senders().requestPickup(ListId::Main, piece) != 1) state.SkipWithError("refused");
        state.PauseTiming();
        player.senders().sendUnselect(ListId::Main, piece);
        player.idle(2);
        host.idle(2);
        piece = (piece + 1) % 200;
        state.ResumeTiming();
    }
    player.close();
    host.close();
    std::filesystem::remove(path);
}
BENCHMARK(BM_PickupOverLoopback)->Unit(benchmark::kMillisecond)->Iterations(100)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
