// A player without a window.
#include "net/headless_game.h"

#include <chrono>
#include <thread>

#include "common/named_mutex.h"
#include "puzzle/saved_puzzle.h"

namespace pavalo::net {

HeadlessGame::HeadlessGame(const NetSettings& settings)
    : layer_(NetHooks{.postNetMessage = {},
                      .sendNetMessage = {},
                      .dispatch = [this](bool server) {
                          if (dispatcher_) dispatcher_->dispatch(server);
                      },
                      .showMessage = {},
                      .playerListChanged = {},
                      .returnSortingBoxPieces =
                          [this](int slot) {
                              if (dispatcher_) dispatcher_->returnSortingBoxPieces(slot);
                          },
                      .redrawPlayArea = {},
                      .becameHost =
                          [this] {
                              if (SetUpListener* l = setUp_.load()) l->becameHost();
                          },
                      .lobbyStatus = [this] { return lobbyCounts(); },
                      .systemMessage =
                          [this](const Received& r) {
                              if (SetUpListener* l = setUp_.load()) l->systemMessage(r);
                          }}) {
    layer_.setSettings(settings);
    dispatcher_ = std::make_unique<Dispatcher>(
        DispatchContext{model_, port_, puzzleState_, completion_, rng_, *this, nullptr});
    senders_ = std::make_unique<GameSenders>(*dispatcher_);
    layer_.setHolderModel(&dispatcher_->holderModel());
}

HeadlessGame::~HeadlessGame() {
    close();
    layer_.setHolderModel(nullptr);
}

bool HeadlessGame::open(const std::string& path, std::string& error) {
    std::vector<int32_t> order;
    Random shuffle(1);
    const OpenResult r = openPuzzleFile(path, playArea_.x, playArea_.y, shuffle, record_, model_, order);
    if (!r.ok()) {
        error = r.message.empty() ? "not a puzzle: " + path : r.message;
        return false;
    }
    // The file's order table is reshuffled on opening; every machine arranges
    // by piece number instead, the same everywhere.
    dispatcher_->setPieceOrder({});
    return true;
}

bool HeadlessGame::cut(const CutRequest& request, uint32_t seed, const SettingsRecord& record, std::string& error) {
    Random rng(seed);
    std::vector<int32_t> order;
    if (!runCutSequence(request, rng, model_, order, error)) return false;
    record_ = record;
    syncRecordFromModel(record_, model_);
    puzzleState_ = record_.puzzleState;
    // Every machine cut the same order table from the same seed.
    dispatcher_->setPieceOrder(std::move(order));
    layer_.holders().rebuild(dispatcher_->holderModel(), layer_.playerTable(), false);
    return true;
}

bool HeadlessGame::host(const std::string& name, uint32_t maxPlayers) {
    return layer_.openSession(name, name, maxPlayers, kGameCooperative, 0, 0xFF);
}

JoinResult HeadlessGame::join(const std::string& address, uint16_t port, const std::string& name) {
    return layer_.joinSession(address, port, name);
}

void HeadlessGame::start() {
    PlayerData d = layer_.localPlayerData();
    d.state = uint32_t(PlayerState::Playing);
    layer_.setLocalPlayerData(d);
    dispatcher_->startGame(layer_.clockMs());
}

void HeadlessGame::idle(uint32_t ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        dispatcher_->dispatch(false);
        layer_.resendPass();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

void HeadlessGame::play(uint32_t seed, int actions, double rate, bool towardsSolution) {
    std::mt19937 rng(seed);
    BotStyle style;
    style.towardsSolution = towardsSolution;
    // A drag step as a hand makes it: a little time, messages handled.
    style.step = [this] { idle(30); };
    const uint32_t gapMs = rate > 0 ? uint32_t(1000.0 / rate) : 0;
    for (int made = 0; made < actions && layer_.sessionOpen() && puzzleState_ != 16;) {
        if (playRandomAction(*senders_, model_, rng, style)) {
            ++made;
            ++actionsMade_;
        }
        idle(gapMs);
    }
    senders_->sendUnselect(ListId::Main, -1);
    idle(200);
}

bool HeadlessGame::dump(const std::string& path, std::string& error) {
    return savePuzzleFile(path, record_, model_, error);
}

std::array<uint32_t, 3> HeadlessGame::lobbyCounts() const {
    return lobbyCountsOf(model_, dispatcher_ ? dispatcher_->options().gameType : kGameCooperative);
}

void HeadlessGame::close() { layer_.closeSession(); }

}  // namespace pavalo::net
