// Session layer speed on loopback: request/reply round trip through
// SendAndWait to a host in another process, the host's CPU load with 16
// players moving, and the time a host migration takes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "common/file_io.h"
#include "net/net_layer.h"

namespace {

using namespace pavalo::net;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kRequest = 22, kAnswer = 23, kMove = 18, kDrop = 20;

NetSettings loopback() {
    NetSettings s;
    s.bindAddress = "127.0.0.1";
    s.port = 0;
    s.discoveryPort = 0;  // no discovery socket
    return s;  // the game's own keep-alive and rejoin times
}

std::vector<uint8_t> msg(uint16_t id, uint32_t v = 0, size_t size = 8) {
    std::vector<uint8_t> m(size);
    pavalo::storeU32(m.data(), id);
    pavalo::storeU32(m.data() + 4, v);
    return m;
}

// A layer with the smallest dispatcher: the server answers each request and
// broadcasts each drop; everything else is taken off the queue.
struct Player {
    NetLayer layer;
    std::atomic<uint64_t> handled{0};
    Player() : layer(hooks(this)) { layer.setSettings(loopback()); }
    static NetHooks hooks(Player* p) {
        NetHooks h;
        h.postNetMessage = [p] { p->drain(false); };
        h.dispatch = [p](bool server) { p->drain(server); };
        return h;
    }
    void drain(bool server) {
        QueueEntry e;
        int i;
        while (layer.takeIncoming(server, e, i)) {
            uint16_t id = uint16_t(pavalo::loadU32(e.data.data()));
            if (e.to == kServerPlayer && id == kRequest) layer.send(kServerPlayer, e.from, 0, msg(kAnswer));
            if (e.to == kServerPlayer && id == kDrop) layer.send(kServerPlayer, kAllPlayers, 1, msg(kDrop));
            layer.finishIncoming(i);
            ++handled;
        }
    }
};

// Hosts a session in a child process for at most `seconds`; returns its pid
// and the port it listens on.
pid_t hostInChild(int seconds, uint16_t& port) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        ::close(fds[0]);
        {
            Player host;
            if (!host.layer.openSession("bench", "Host", 16, 2, 1, 0)) _exit(1);
            uint16_t p = host.layer.session()->listenPort();
            [[maybe_unused]] auto n = ::write(fds[1], &p, sizeof p);
            auto end = Clock::now() + std::chrono::seconds(seconds);
            bool someoneCame = false;
            while (Clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                host.layer.resendPass();
                int n2 = host.layer.playerTable().inUseCount();
                if (n2 > 1) someoneCame = true;
                if (someoneCame && n2 == 1) break;  // everybody left
            }
            host.layer.closeSession();
        }
        _exit(0);
    }
    ::close(fds[1]);
    if (::read(fds[0], &port, sizeof port) != sizeof port) port = 0;
    ::close(fds[0]);
    return pid;
}

double childCpuSeconds(pid_t pid) {
    int status;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

void BM_SendAndWaitRoundTrip(benchmark::State& state) {
    uint16_t port = 0;
    pid_t pid = hostInChild(60, port);
    Player me;
    if (pid < 0 || port == 0 || me.layer.joinSession("127.0.0.1", port, "Me") != JoinResult::Ok) {
        state.SkipWithError("cannot reach the host");
        return;
    }
    for (auto _ : state) {
        if (me.layer.sendAndWait(kServerPlayer, 0, msg(kRequest), kAnswer, true) != 1) {
            state.SkipWithError("no answer");
            break;
        }
    }
    me.layer.closeSession();
    childCpuSeconds(pid);
}
BENCHMARK(BM_SendAndWaitRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// 15 remote players and the host's own: each remote sends 10 plain moves a
// second to everybody and one guaranteed drop a second to the server, which
// broadcasts it. Reports the host process's CPU share.
void BM_HostLoadSixteenPlayers(benchmark::State& state) {
    constexpr int kSeconds = 5;
    for (auto _ : state) {
        uint16_t port = 0;
        pid_t pid = hostInChild(kSeconds + 20, port);
        std::vector<std::unique_ptr<Player>> players;
        for (int i = 0; i < 15; ++i) {
            players.push_back(std::make_unique<Player>());
            if (players.back()->layer.joinSession("127.0.0.1", port, "P" + std::to_string(i)) != JoinResult::Ok) {
                state.SkipWithError("join failed");
                return;
            }
        }
        auto start = Clock::now();
        for (int tick = 0; tick < kSeconds * 10; ++tick) {
            for (auto& p : players) {
                p->layer.send(p->layer.localPlayerId(), kAllPlayers, 0, msg(kMove, uint32_t(tick), 16));
                if (tick % 10 == 0) p->layer.send(p->layer.localPlayerId(), kServerPlayer, 1, msg(kDrop, uint32_t(tick), 24));
            }
            std::this_thread::sleep_until(start + std::chrono::milliseconds(100 * (tick + 1)));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        uint64_t minHandled = ~0ull;
        for (auto& p : players) minHandled = std::min<uint64_t>(minHandled, p->handled.load());
        for (auto& p : players) p->layer.closeSession();
        double wall = std::chrono::duration<double>(Clock::now() - start).count();
        // The host process's whole CPU time (its joins included) over the
        // time it carried the load: an upper bound of its network threads.
        double cpu = childCpuSeconds(pid);
        state.SetIterationTime(wall);
        state.counters["host_cpu_percent"] = 100.0 * cpu / wall;
        // Each player should have seen 14 others' moves and every drop.
        state.counters["min_handled_per_player"] = double(minHandled);
        state.counters["expected_per_player"] = double(kSeconds * 10 * 14 + kSeconds * 15);
    }
}
BENCHMARK(BM_HostLoadSixteenPlayers)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// From the host vanishing to the first request answered by the new host.
void BM_HostMigration(benchmark::State& state) {
    for (auto _ : state) {
        auto host = std::make_unique<Player>();
        auto a = std::make_unique<Player>();
        auto b = std::make_unique<Player>();
        host->layer.openSession("bench", "Host", 8, 2, 1, 0);
        uint16_t port = host->layer.session()->listenPort();
        if (a->layer.joinSession("127.0.0.1", port, "A") != JoinResult::Ok ||
            b->layer.joinSession("127.0.0.1", port, "B") != JoinResult::Ok) {
            state.SkipWithError("join failed");
            return;
        }
        auto start = Clock::now();
        host->layer.vanish();
        int ok = b->layer.sendAndWait(kServerPlayer, 0, msg(kRequest), kAnswer, true);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (ok != 1) state.SkipWithError("no answer after migration");
    }
}
BENCHMARK(BM_HostMigration)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
