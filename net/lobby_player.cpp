// Lobby-launched headless host and bot.
#include "net/lobby_player.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "common/named_mutex.h"
#include "common/random.h"
#include "net/headless_game.h"
#include "net/headless_setup.h"
#include "shell/data_folder.h"

namespace pavalo::net {
namespace {

using Clock = std::chrono::steady_clock;

void line(std::ostream& out, const std::string& text) {
    out << text << "\n";
    out.flush();
}

// A private folder for the files a program makes on its way to the puzzle,
// removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pavalo-lobby-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Connects and asks for the settings. Nothing, reported, when the lobby is
// unreachable or failed; `settings` stays empty when it only sent none.
std::unique_ptr<LobbyClient> openLobby(const LobbyPlayerOptions& o, std::optional<LobbyGameSettings>& settings,
                                       std::ostream& out, std::ostream& err) {
    std::string why;
    auto lobby = LobbyClient::connect(o.role.lobby, kLobbyConnectWaitMs, why);
    if (!lobby) {
        line(err, "cannot reach the lobby: " + why);
        return nullptr;
    }
    line(out, kGettingLobbySettings);
    settings = lobby->requestSettings(kLobbySettingsWaitMs, why);
    if (!settings && lobby->failed()) {
        line(err, "the lobby failed: " + why);
        return nullptr;
    }
    if (!settings) line(err, why);
    return lobby;
}

// The picture of the lobby's settings, progress shown when it changes.
std::optional<LobbyPicture> lobbyPicture(const LobbyGameSettings& s, const std::string& folder, std::ostream& out,
                                         std::ostream& err) {
    std::string shown;
    const LobbyPicture picture = resolveLobbyPicture(s.picture, folder, [&](const std::string& text) {
        if (text != shown) line(out, text);
        shown = text;
        return true;
    });
    if (!picture.ok) {
        line(err, picture.message + (picture.detail.empty() ? "" : " (" + picture.detail + ")"));
        return std::nullopt;
    }
    return picture;
}

// Cuts the game's puzzle from the lobby's picture with the game's seed, as
// every machine of the game cuts it.
bool makePuzzle(HeadlessGame& game, const LobbyPicture& picture, const LobbyGameSettings& s, uint32_t seed,
                bool rotate, std::ostream& err) {
    std::string error;
    const std::optional<NetPuzzle> puzzle = lobbyPuzzle(picture, s, rotate, error);
    if (!puzzle) {
        line(err, error);
        return false;
    }
    NetOptions options = lobbyNetOptions(s, {});
    options.seed = seed;
    const SettingsRecord record = networkPuzzleRecord(*puzzle, picture.path, options, HeadlessGame::kPlayWidth);
    const CutRequest request{puzzle->pictureWidth, puzzle->pictureHeight, puzzle->columns, puzzle->rows,
                             HeadlessGame::kPlayWidth, HeadlessGame::kPlayHeight, puzzle->rotation != 0};
    // Messages may already be arriving (a bot that had to join first).
    NamedLock lock(NamedMutex::PIECE);
    if (!game.cut(request, seed, record, error)) {
        line(err, error);
        return false;
    }
    return true;
}

void publishTeam(HeadlessGame& game, uint32_t gameType, uint32_t team) {
    if (gameType != kGameTeamCompetitive) return;
    PlayerData d = game.layer().localPlayerData();
    d.setTeam(team);
    game.layer().setLocalPlayerData(d);
}

// Drains what the lobby sent a player that answers nothing; false once the
// lobby has failed or gone.
bool lobbyStillThere(LobbyClient& lobby) {
    std::vector<uint8_t> message;
    bool system = false;
    for (int i = 0; i < 64 && lobby.receive(message, system); ++i) {
    }
    return !lobby.failed();
}

// A Competitive game ends when every player who came has placed every
// piece of its own copy (the host plays none).
bool everyPlayerDone(HeadlessGame& game) {
    const PlayerTable table = game.layer().playerTable();
    const uint32_t own = game.layer().localPlayerId();
    const uint32_t pieces = uint32_t(game.model().pieceCount());
    int others = 0;
    for (int slot = 0; slot < kPlayerSlots; ++slot) {
        if (!(table.inUse[slot] & 1) || table.dpid[slot] == own) continue;
        PlayerDataBytes b{};
        if (!game.layer().session() || !game.layer().session()->playerData(table.dpid[slot], b) ||
            PlayerData::decode(b).piecesPlaced < pieces)
            return false;
        ++others;
    }
    return others > 0;
}

}  // namespace

int runLobbyHost(const LobbyPlayerOptions& o, std::ostream& out, std::ostream& err) {
    std::optional<LobbyGameSettings> settings;
    std::unique_ptr<LobbyClient> lobby = openLobby(o, settings, out, err);
    if (!lobby) return 1;
    // Without a window the create dialog's remembered defaults stand for the
    // host's choices.
    NetOptions choices;
    choices.sessionName = o.role.sessionName;
    choices.maxPlayers = o.maxPlayers;
    choices.gameType = kGameCooperative;
    choices.allowed = {0, 1, 0, 0, 0, 0, 0};
    choices.seed = millisecondTicks();
    const LobbyGameSettings s = settings.value_or(LobbyGameSettings{});
    const NetOptions options = lobbyNetOptions(s, choices);
    const bool rotate = s.rotatePieces == 1;

    const std::optional<LobbyPicture> picture = lobbyPicture(s, o.dataFolder, out, err);
    if (!picture) return 1;
    HeadlessGame game(o.net);
    game.layer().chooseConnection(o.connection);
    if (!makePuzzle(game, *picture, s, options.seed, rotate, err)) return 1;
    game.dispatcher().setOptions(options);
    if (!game.layer().openSession(options.sessionName, o.role.playerName, options.maxPlayers, options.gameType,
                                  options.seed, optionMaskOf(options, rotate))) {
        line(err, kMsgCannotCreateSession);
        return 1;
    }
    game.layer().setLobby(lobby.get());
    game.start();
    publishTeam(game, options.gameType, o.role.team);
    line(out, "hosting \"" + options.sessionName + "\" on port " + std::to_string(game.layer().session()->listenPort()) +
                  ": type " + std::to_string(options.gameType) + ", " + std::to_string(game.model().pieceCount()) +
                  " pieces, seed " + std::to_string(options.seed));

    // The game ends when the puzzle is done (in a Competitive game: every
    // player's own copy), or, once players came, when they have all left.
    const auto end = Clock::now() + std::chrono::seconds(o.seconds);
    bool playersCame = false;
    bool lobbyGone = false;
    auto over = [&] {
        return options.gameType == kGameCompetitive ? everyPlayerDone(game) : game.puzzleState() == 16;
    };
    while (!over() && Clock::now() < end) {
        game.idle(100);
        const int players = game.layer().playerTable().inUseCount();
        playersCame = playersCame || players > 1;
        if (playersCame && players <= 1) break;
        if (lobby->failed()) {
            lobbyGone = true;
            break;
        }
    }
    const bool done = over();
    // The last standings, unasked, while the players are still there: a
    // moment first for the last placer's count to arrive.
    if (done && !lobbyGone) game.idle(300);
    game.layer().setLobby(nullptr);
    if (!lobbyGone) lobby->send(game.layer().lobbyStatusReply());
    if (lobby->failed()) line(err, "the lobby went away: " + lobby->failure());
    // The players see the end through the results they apply; the host waits
    // a little for them to leave before closing the session under them.
    const auto grace = Clock::now() + std::chrono::seconds(5);
    while (done && game.layer().playerTable().inUseCount() > 1 && Clock::now() < grace) game.idle(100);
    line(out, done ? "game over" : "game ended unfinished");
    game.close();
    return done && !lobby->failed() ? 0 : 1;
}

int runLobbyBot(const LobbyPlayerOptions& o, std::ostream& out, std::ostream& err) {
    std::optional<LobbyGameSettings> settings;
    std::unique_ptr<LobbyClient> lobby = openLobby(o, settings, out, err);
    if (!lobby) return 1;
    if (!settings) {
        line(err, "a bot needs the lobby's game settings to make the puzzle");
        return 1;
    }
    ScratchFolder downloads;
    if (downloads.path().empty()) {
        line(err, "cannot make a temporary folder for the picture");
        return 1;
    }
    const std::optional<LobbyPicture> picture = lobbyPicture(*settings, downloads.path(), out, err);
    if (!picture) return 1;

    NetSettings net = o.net;
    net.port = 0;  // a joiner listens on any free port
    HeadlessGame game(net);
    game.layer().chooseConnection(o.connection);
    const bool rotate = settings->rotatePieces == 1;
    // With the lobby's seed the puzzle is made before joining; otherwise the
    // session's description tells the seed.
    bool made = settings->seed != kLobbyUnset && makePuzzle(game, *picture, *settings, settings->seed, rotate, err);
    if (settings->seed != kLobbyUnset && !made) return 1;

    const auto joinEnd = Clock::now() + std::chrono::seconds(o.joinWaitSeconds);
    JoinResult joined = JoinResult::NoAnswer;
    while ((joined = game.join(o.role.joinAddress, o.role.joinPort, o.role.playerName)) != JoinResult::Ok &&
           Clock::now() < joinEnd && lobbyStillThere(*lobby))
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (joined != JoinResult::Ok) {
        line(err, lobby->failed() ? "the lobby went away: " + lobby->failure()
                                  : "no session answered at " + o.role.joinAddress + ":" + std::to_string(o.role.joinPort));
        return 1;
    }
    const SessionDesc desc = game.layer().session()->desc();
    if (!made && !makePuzzle(game, *picture, *settings, desc.user2, (desc.user3 >> 6 & 1) != 0, err)) {
        game.close();
        return 1;
    }
    NetOptions options;
    options.gameType = desc.user1;
    options.seed = desc.user2;
    game.dispatcher().setOptions(options);
    game.start();
    publishTeam(game, desc.user1, o.role.team);
    line(out, "joined as " + std::to_string(game.layer().localPlayerId()) +
                  (desc.user1 == kGameTeamCompetitive ? " in team " + std::to_string(o.role.team) : std::string()));

    const auto end = Clock::now() + std::chrono::seconds(o.seconds);
    uint32_t round = 0;
    bool lobbyGone = false;
    while (game.puzzleState() != 16 && game.layer().sessionOpen() && Clock::now() < end) {
        game.play(o.botSeed + round++, 10, o.rate, true);
        if (!lobbyStillThere(*lobby)) {
            lobbyGone = true;
            break;
        }
    }
    const bool done = game.puzzleState() == 16;
    // Stays a moment at the finished table, so that the host's last
    // standings still list this player.
    if (done) game.idle(1500);
    if (lobbyGone) line(err, "the lobby went away: " + lobby->failure());
    line(out, "actions " + std::to_string(game.actionsMade()) + (done ? ", game over" : ", game ended unfinished"));
    game.close();
    return done && !lobbyGone ? 0 : 1;
}

const char* const kLobbyNetUsage =
    "net host --lobby HOST:PORT [--name SESSION] [--player NAME] [--port P] [--bind ADDRESS]\n"
    "         [--discovery-port P] [--max K] [--team T] [--seconds S]\n"
    "net bot --lobby HOST:PORT --join ADDRESS:PORT [--player NAME] [--team T] [--rate R] [--seed S] [--seconds S]";

bool lobbyLaunched(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--lobby") != args.end();
}

namespace {

bool parseCount(const std::string& text, uint32_t max, uint32_t& out) {
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    const unsigned long long v = std::stoull(text);
    if (v > max) return false;
    out = uint32_t(v);
    return true;
}

}  // namespace

int runLobbyNetCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || (args[0] != "host" && args[0] != "bot")) {
        line(err, kLobbyNetUsage);
        return 2;
    }
    LobbyPlayerOptions o;
    o.role.host = args[0] == "host";
    o.dataFolder = dataFolder();
    bool haveLobby = false, haveJoin = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string v = hasValue ? args[++i] : std::string();
        uint32_t n = 0;
        std::string why;
        bool good = hasValue;
        if (!good) {
        } else if (a == "--lobby") {
            const std::optional<LobbyAddress> address = parseLobbyAddress(v, why);
            good = haveLobby = address.has_value();
            if (address) o.role.lobby = *address;
        } else if (a == "--join" && !o.role.host) good = haveJoin = parseJoinAddress(v, o.role.joinAddress, o.role.joinPort);
        else if (a == "--name" && o.role.host) o.role.sessionName = v;
        else if (a == "--player") o.role.playerName = v;
        else if (a == "--team") good = parseCount(v, 255, o.role.team);
        else if (a == "--port") good = parseCount(v, 65535, n) && (o.net.port = uint16_t(n), true);
        else if (a == "--bind") o.net.bindAddress = v;
        else if (a == "--discovery-port") good = parseCount(v, 65535, n) && (o.net.discoveryPort = uint16_t(n), true);
        else if (a == "--max") good = parseCount(v, 16, o.maxPlayers) && o.maxPlayers >= 1;
        else if (a == "--seconds") good = parseCount(v, 24 * 3600, o.seconds);
        else if (a == "--rate") good = parseCount(v, 1000, n) && (o.rate = n, true);
        else if (a == "--seed") good = parseCount(v, 0xFFFFFFFFu, o.botSeed);
        else good = false;
        if (!good) {
            line(err, "bad option: " + a + (why.empty() ? "" : " (" + why + ")") + "\n" + kLobbyNetUsage);
            return 2;
        }
    }
    if (!haveLobby || (!o.role.host && !haveJoin)) {
        line(err, kLobbyNetUsage);
        return 2;
    }
    return o.role.host ? runLobbyHost(o, out, err) : runLobbyBot(o, out, err);
}

}  // namespace pavalo::net
