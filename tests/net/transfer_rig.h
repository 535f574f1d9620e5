// Machines of a network game on loopback sessions with the picture
// transfer and the synchronisation plugged into their dispatchers, for the
// transfer tests and benchmarks.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <thread>

#include "common/file_io.h"
#include "net/bot.h"
#include "net/transfers.h"
#include "tests/net/protocol_hub.h"
#include "tests/net/rig.h"

namespace pavalo::net::test {

struct TransferMachine final : DispatchFrontEnd {
    PuzzleModel model;
    uint32_t puzzleState = 0;
    Random rng{5};
    CountingCompletion completion;
    NetLayer layer;
    LayerPort port{layer};
    Dispatcher dispatcher{DispatchContext{model, port, puzzleState, completion, rng, *this, nullptr}};
    GameSenders senders{dispatcher};
    Transfers transfers{layer, dispatcher};
    std::thread ui;
    std::atomic<bool> stop{false};
    std::atomic<int> actions{0};
    std::atomic<int> moveLimit{0};  // runUi plays moves until this many were made

    explicit TransferMachine(PuzzleModel puzzle) : model(std::move(puzzle)), layer(hooks(this)) {
        layer.setSettings(loopbackSettings());
        layer.setHolderModel(&dispatcher.holderModel());
    }
    ~TransferMachine() override {
        finish();
        transfers.stop();
        layer.closeSession();
    }

    static NetHooks hooks(TransferMachine* self) {
        NetHooks h;
        h.dispatch = [self](bool server) { self->dispatcher.dispatch(server); };
        return h;
    }

    // Sees the set-up messages first; true keeps them from the transfers.
    std::function<bool(const GameMessage&, uint32_t from, bool toServer)> intercept;

    void setUpMessage(const GameMessage& m, uint32_t from, bool toServer) override {
        if (intercept && intercept(m, from, toServer)) return;
        transfers.handle(m, from, toServer);
    }

    void setState(PlayerState state) {
        PlayerData d = layer.localPlayerData();
        d.state = uint32_t(state);
        layer.setLocalPlayerData(d);
    }
    // Playing: the holders are built and piece messages are applied.
    void ready() {
        setState(PlayerState::Playing);
        dispatcher.startGame(layer.clockMs());
    }
    // The user-interface thread: dispatches, and plays random moves (as fast
    // as the host answers) while fewer than moveLimit were made.
    void runUi(int moves = 0, uint32_t seed = 1) {
        moveLimit = moves;
        ui = std::thread([this, seed] {
            std::mt19937 r(seed);
            BotStyle style;
            style.step = [this] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                dispatcher.dispatch(false);
            };
            while (!stop) {
                if (actions < moveLimit) {
                    playRandomAction(senders, model, r, style);
                    ++actions;
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                dispatcher.dispatch(false);
                layer.resendPass();
            }
        });
    }
    void finish() {
        stop = true;
        if (ui.joinable()) ui.join();
        stop = false;
    }
    bool quiet() { return layer.incomingCount() == 0 && layer.outgoingCount() == 0; }
};

// A host and players joined to it directly or through `ports` (relays).
inline std::unique_ptr<TransferMachine> hostMachine(PuzzleModel puzzle) {
    auto m = std::make_unique<TransferMachine>(std::move(puzzle));
    if (!m->layer.openSession("Game", "Host", 8, kGameCooperative, 1, 0xFF)) return nullptr;
    return m;
}

inline std::unique_ptr<TransferMachine> joinMachine(PuzzleModel puzzle, uint16_t port) {
    auto m = std::make_unique<TransferMachine>(std::move(puzzle));
    if (m->layer.joinSession("127.0.0.1", port, "Player") != JoinResult::Ok) return nullptr;
    return m;
}

// A picture file of exactly `total` bytes: a 1 x 1 BMP whose header reads
// as a picture, followed by bytes that differ from block to block.
inline std::vector<uint8_t> paddedBmp(size_t total, uint32_t seed = 1) {
    std::vector<uint8_t> b(total, 0);
    b[0] = 'B';
    b[1] = 'M';
    pavalo::storeU32(&b[2], uint32_t(total));
    pavalo::storeU32(&b[10], 54);
    pavalo::storeU32(&b[14], 40);
    pavalo::storeU32(&b[18], 1);
    pavalo::storeU32(&b[22], 1);
    pavalo::storeU16(&b[26], 1);
    pavalo::storeU16(&b[28], 24);
    pavalo::storeU32(&b[34], 4);
    std::mt19937 r(seed);
    for (size_t i = 58; i < total; ++i) b[i] = uint8_t(r());
    return b;
}

inline std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline void writeAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed at the end.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        static std::atomic<int> n{0};
        path = std::filesystem::temp_directory_path() /
               ("pavalo-transfer-" + std::to_string(getpid()) + "-" + std::to_string(n++));
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace pavalo::net::test
