// The lobby program: starting the players, answering them, the standings.
#include "net/lobby_program.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "common/random.h"
#include "net/lobby_connection.h"
#include "net/messages.h"

extern char** environ;

namespace pavalo::net {

const char* const kLobbyCommandUsage =
    "lobby [--players N] [--type 0|1|2] [--picture NAME|URL] [--pieces N] [--rotate 0|1] [--seed S]\n"
    "      [--sorting-boxes 0|1] [--tools all|none] [--session NAME] [--names A,B,...] [--bind ADDRESS]\n"
    "      [--port P] [--session-port P] [--discovery-port P] [--poll MS] [--rate R] [--seconds S]\n"
    "      [--windows K [--game PATH]]\n"
    "    start a game of N players (a host and N-1 bots, the first K of them the game's window) as a lobby,\n"
    "    print the standings while they play";

namespace {

using Clock = std::chrono::steady_clock;

void line(std::ostream& out, const std::string& text) {
    out << text << "\n";
    out.flush();
}

struct Child {
    pid_t pid = -1;
    std::string name;
    bool ended = false;
    int status = -1;
};

pid_t spawn(const std::vector<std::string>& args, std::string& why) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        why = "cannot start " + args[0] + ": " + std::to_string(rc);
        return -1;
    }
    return pid;
}

void reap(std::vector<Child>& children, std::ostream& out) {
    for (auto& c : children) {
        if (c.ended) continue;
        int status = 0;
        if (::waitpid(c.pid, &status, WNOHANG) == c.pid) {
            c.ended = true;
            c.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            line(out, c.name + " ended with status " + std::to_string(c.status));
        }
    }
}

bool allEnded(const std::vector<Child>& children) {
    return std::all_of(children.begin(), children.end(), [](const Child& c) { return c.ended; });
}

// Ends what is still running: asked first, then made to.
void endAll(std::vector<Child>& children, std::ostream& out) {
    for (auto& c : children)
        if (!c.ended) ::kill(c.pid, SIGTERM);
    const auto grace = Clock::now() + std::chrono::seconds(3);
    while (!allEnded(children) && Clock::now() < grace) {
        reap(children, out);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& c : children) {
        if (c.ended) continue;
        ::kill(c.pid, SIGKILL);
        int status = 0;
        ::waitpid(c.pid, &status, 0);
        c.ended = true;
        c.status = 128 + SIGKILL;
        line(out, c.name + " was ended");
    }
}

struct Player {
    std::unique_ptr<LobbyConnection> connection;
    bool host = false;
    bool open = true;
};

std::vector<std::string> playerArgs(const LobbyProgramOptions& o, size_t index, uint16_t lobbyPort) {
    const std::string name = index < o.names.size() ? o.names[index] : "Player " + std::to_string(index + 1);
    const uint32_t team = o.settings.gameType == kGameTeamCompetitive ? uint32_t(index % 2 + 1) : 0;
    const std::string lobby = o.bind + ":" + std::to_string(lobbyPort);
    if (index < o.windows) {
        // The window program: the same connection settings; a joining
        // window's own socket takes any free port.
        std::vector<std::string> w{o.game, "--lobby", lobby, "--player", name, "--team", std::to_string(team),
                                   "--bind", o.bind, "--discovery-port", std::to_string(o.discoveryPort)};
        if (index == 0)
            w.insert(w.end(), {"--name", o.sessionName, "--port", std::to_string(o.sessionPort)});
        else
            w.insert(w.end(), {"--join", o.bind + ":" + std::to_string(o.sessionPort), "--port", "0"});
        return w;
    }
    std::vector<std::string> a{o.program, "net"};
    if (index == 0)
        a.insert(a.end(), {"host", "--lobby", lobby, "--name", o.sessionName, "--port", std::to_string(o.sessionPort),
                           "--bind", o.bind, "--discovery-port", std::to_string(o.discoveryPort)});
    else
        a.insert(a.end(), {"bot", "--lobby", lobby, "--join", o.bind + ":" + std::to_string(o.sessionPort),
                           "--rate", std::to_string(o.rate)});
    a.insert(a.end(), {"--player", name, "--team", std::to_string(team), "--seconds", std::to_string(o.seconds)});
    return a;
}

// Answers one player's messages; false once its connection has ended.
bool serve(Player& p, const LobbyGameSettings& settings, std::optional<LobbyStatus>& last, std::ostream& out,
           std::ostream& err) {
    for (;;) {
        LobbyMessage m;
        std::string why;
        switch (p.connection->receive(m, 0, why)) {
        case LobbyConnection::Received::Timeout:
            return true;
        case LobbyConnection::Received::Closed:
            return false;
        case LobbyConnection::Received::Error:
            line(err, std::string(p.host ? "the host's" : "a player's") + " lobby connection: " + why);
            return false;
        case LobbyConnection::Received::Message:
            break;
        }
        if (m.type == kLobbyPropertyRequest) {
            const bool ours = m.tag == lobbySettingsTag();
            if (!p.connection->send(lobbyPropertyResponse(m.requestId, ours ? std::optional(settings) : std::nullopt),
                                    why))
                return false;
        } else if (m.type == kLobbyStatusReply && p.host) {
            last = m.status;
            std::ostringstream s;
            s << "status " << m.status.finishedPieces << "/" << m.status.pieces << " pieces finished, "
              << m.status.players.size() << " players";
            line(out, s.str());
            for (const auto& l : lobbyStandings(m.status)) line(out, "  " + l);
        }
    }
}

}  // namespace

std::vector<std::string> lobbyStandings(const LobbyStatus& status) {
    std::vector<std::string> lines;
    std::map<uint32_t, uint32_t> teams;
    for (size_t i = 0; i < status.players.size(); ++i) {
        const PlayerData d = PlayerData::decode(status.players[i]);
        std::ostringstream s;
        s << "player " << i + 1 << ": " << d.piecesPlaced << " placed, state " << d.state << ", "
          << d.elapsedMs / 1000 << " s";
        if (status.gameType == kGameTeamCompetitive) {
            s << ", team " << d.team();
            if (d.team() != 0) teams[d.team()] += d.piecesPlaced;
        }
        lines.push_back(s.str());
    }
    for (const auto& [team, placed] : teams) lines.push_back("team " + std::to_string(team) + ": " + std::to_string(placed) + " placed");
    return lines;
}

int runLobby(const LobbyProgramOptions& o, std::ostream& out, std::ostream& err) {
    if (o.players < 1 || o.players > kLobbyMaxPlayers || o.program.empty()) {
        line(err, kLobbyCommandUsage);
        return 2;
    }
    std::string why;
    auto listener = LobbyListener::listen(o.bind, o.port, why);
    if (!listener) {
        line(err, why);
        return 1;
    }
    LobbyGameSettings settings = o.settings;
    if (settings.seed == kLobbyUnset) settings.seed = millisecondTicks();
    line(out, "lobby on " + o.bind + ":" + std::to_string(listener->port()) + ", seed " + std::to_string(settings.seed));

    std::vector<Child> children;
    std::vector<Player> players;
    const auto end = Clock::now() + std::chrono::seconds(o.seconds) + std::chrono::seconds(10);
    auto start = [&](size_t index) {
        const std::vector<std::string> args = playerArgs(o, index, listener->port());
        const pid_t pid = spawn(args, why);
        if (pid < 0) {
            line(err, why);
            return false;
        }
        children.push_back({pid, index == 0 ? "host" : "player " + std::to_string(index + 1)});
        line(out, "started " + children.back().name + " (pid " + std::to_string(pid) + ")");
        return true;
    };

    bool ok = start(0);
    // The host's connection first: it is the one asked for the standings.
    const auto hostEnd = Clock::now() + std::chrono::milliseconds(o.hostConnectMs);
    while (ok && players.empty() && Clock::now() < hostEnd) {
        if (auto c = listener->accept(100)) players.push_back({std::move(c), true});
        reap(children, out);
        if (allEnded(children)) ok = false;
    }
    if (ok && players.empty()) {
        line(err, "the host did not connect to the lobby");
        ok = false;
    }
    for (size_t i = 1; ok && i < o.players; ++i) ok = start(i);

    std::optional<LobbyStatus> last;
    auto nextPoll = Clock::now() + std::chrono::milliseconds(o.pollMs);
    while (ok && !allEnded(children) && Clock::now() < end) {
        while (players.size() < o.players)
            if (auto c = listener->accept(0)) players.push_back({std::move(c), false});
            else break;
        for (auto& p : players)
            if (p.open) p.open = serve(p, settings, last, out, err);
        if (Clock::now() >= nextPoll) {
            nextPoll = Clock::now() + std::chrono::milliseconds(o.pollMs);
            for (auto& p : players)
                if (p.host && p.open && !p.connection->send(lobbyStatusQuery(), why)) p.open = false;
        }
        reap(children, out);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // What the host said last, on its way out, counts too.
    for (auto& p : players)
        if (p.open) p.open = serve(p, settings, last, out, err);
    if (!allEnded(children)) line(err, ok ? "time is up: ending the players" : "ending the players");
    endAll(children, out);
    if (last) {
        line(out, "final standings: " + std::to_string(last->finishedPieces) + "/" + std::to_string(last->pieces) +
                      " pieces finished");
        for (const auto& l : lobbyStandings(*last)) line(out, "  " + l);
    }
    const bool allZero =
        std::all_of(children.begin(), children.end(), [](const Child& c) { return c.status == 0; });
    return ok && allZero && children.size() == o.players ? 0 : 1;
}

namespace {

bool parseUnsigned(const std::string& text, uint32_t max, uint32_t& out) {
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    const unsigned long long v = std::stoull(text);
    if (v > max) return false;
    out = uint32_t(v);
    return true;
}

}  // namespace

int runLobbyCommand(const std::vector<std::string>& args, const std::string& program, const std::string& game,
                    std::ostream& out, std::ostream& err) {
    LobbyProgramOptions o;
    o.program = program;
    o.game = game;
    // A lobby decides everything unless told otherwise: a cooperative game
    // with the create dialog's defaults.
    o.settings.gameType = kGameCooperative;
    o.settings.sortingBoxes = 0;
    o.settings.arrange = 1;
    o.settings.solve = o.settings.findNearby = o.settings.findEdges = o.settings.findByColour =
        o.settings.puzzleOutline = 0;
    o.settings.rotatePieces = 0;
    o.settings.pieces = 24;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        uint32_t n = 0;
        bool good = i + 1 < args.size();
        if (good) v = args[++i];
        if (!good) {
        } else if (a == "--players") good = parseUnsigned(v, kLobbyMaxPlayers, o.players) && o.players >= 1;
        else if (a == "--type") good = parseUnsigned(v, 2, o.settings.gameType);
        else if (a == "--picture") o.settings.picture = v;
        else if (a == "--pieces") good = parseUnsigned(v, 4000, o.settings.pieces) && o.settings.pieces >= 2;
        else if (a == "--rotate") good = parseUnsigned(v, 1, o.settings.rotatePieces);
        else if (a == "--seed") good = parseUnsigned(v, 0xFFFFFFFEu, o.settings.seed);
        else if (a == "--sorting-boxes") good = parseUnsigned(v, 1, o.settings.sortingBoxes);
        else if (a == "--tools") {
            good = v == "all" || v == "none";
            const uint32_t f = v == "all" ? 1 : 0;
            o.settings.arrange = o.settings.solve = o.settings.findNearby = o.settings.findEdges =
                o.settings.findByColour = o.settings.puzzleOutline = f;
        } else if (a == "--session") o.sessionName = v;
        else if (a == "--names") {
            std::stringstream s(v);
            for (std::string name; std::getline(s, name, ',');) o.names.push_back(name);
        } else if (a == "--bind") o.bind = v;
        else if (a == "--port") good = parseUnsigned(v, 65535, n) && (o.port = uint16_t(n), true);
        else if (a == "--session-port") good = parseUnsigned(v, 65535, n) && n > 0 && (o.sessionPort = uint16_t(n), true);
        else if (a == "--discovery-port") good = parseUnsigned(v, 65535, n) && (o.discoveryPort = uint16_t(n), true);
        else if (a == "--poll") good = parseUnsigned(v, 600000, o.pollMs) && o.pollMs >= 10;
        else if (a == "--rate") good = parseUnsigned(v, 1000, o.rate);
        else if (a == "--seconds") good = parseUnsigned(v, 24 * 3600, o.seconds);
        else if (a == "--windows") good = parseUnsigned(v, kLobbyMaxPlayers, o.windows);
        else if (a == "--game") good = !(o.game = v).empty();
        else good = false;
        if (!good) {
            line(err, "bad option: " + a + "\n" + kLobbyCommandUsage);
            return 2;
        }
    }
    if (o.windows > o.players) {
        line(err, "--windows cannot be more than --players\n" + std::string(kLobbyCommandUsage));
        return 2;
    }
    if (o.settings.picture.empty()) {
        line(err, "--picture is required\n" + std::string(kLobbyCommandUsage));
        return 2;
    }
    return runLobby(o, out, err);
}

}  // namespace pavalo::net
