// The "net" command: a session layer with a dispatcher that prints what
// arrives, driven for a fixed time.
#include "net/net_tool.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "common/file_io.h"
#include "net/game_setup.h"
#include "net/headless_game.h"
#include "net/headless_setup.h"
#include "net/net_layer.h"
#include "platform/platform.h"

namespace pavalo::net {

const char* const kNetCommandUsage =
    "net host [--name NAME] [--port P] [--max K] [--connection lan|lan-unguaranteed] [--bind ADDRESS]\n"
    "         [--discovery-port P] [--seconds S]\n"
    "net find [--broadcast ADDRESS] [--discovery-port P] [--seconds S]\n"
    "net join ADDRESS:PORT [--name NAME] [--send ID:HEX[:guaranteed] ...] [--connection ...] [--seconds S]\n"
    "net host --puzzle FILE [--dump FILE] [--name NAME] [--port P] [--max K] [--seconds S]\n"
    "net bot --join ADDRESS:PORT --puzzle FILE [--seed S] [--actions N] [--rate R] [--dump FILE] [--name NAME]\n"
    "        [--stay] [--seconds S]\n"
    "net host --picture P --pieces N [--seed S] [--rotate] --type coop|comp [--players K] [--port P]\n"
    "         [--max K] [--name NAME] [--seconds S] [--dump FILE]\n"
    "net bot --join ADDRESS:PORT [--name NAME] [--seed S] [--actions N] [--rate R] [--seconds S] [--dump FILE]\n"
    "        [--download-to DIR] [--stay]\n"
    "  A bot without the host's picture downloads it into DIR/downloads (DIR: the current folder\n"
    "  unless given); a bot joining a game under way is synchronised with it first. With --stay a bot\n"
    "  that is done stays in the game until the host closes it or S seconds have passed.";

namespace {

std::string hex(std::span<const uint8_t> b) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t v : b) {
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

bool parseHex(const std::string& text, std::vector<uint8_t>& out) {
    if (text.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned v = 0;
        for (size_t k = i; k < i + 2; ++k) {
            char c = text[k];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f') v |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') v |= unsigned(c - 'A' + 10);
            else return false;
        }
        out.push_back(uint8_t(v));
    }
    return true;
}

bool parseNumber(const std::string& text, uint32_t max, uint32_t& out) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > max) return false;
    out = uint32_t(v);
    return true;
}

struct Options {
    std::vector<std::string> positional;
    std::string name = "Player";
    std::string connection = "lan";
    std::string bind = "0.0.0.0";
    std::string broadcast = "255.255.255.255";
    uint32_t port = kDefaultSessionPort;
    uint32_t discoveryPort = kDefaultDiscoveryPort;
    uint32_t max = 16;
    uint32_t seconds = 10;
    std::vector<std::string> sends;
    std::string puzzle, dump, join;
    uint32_t seed = 1, actions = 100, rate = 5;
    bool seedGiven = false;
    std::string picture, type;
    std::string downloadTo = ".";
    uint32_t pieces = 0, players = 1;
    bool rotate = false;
    bool stay = false;
};

bool parseOptions(const std::vector<std::string>& args, size_t first, Options& o, std::ostream& err) {
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        std::string v;
        bool ok = true;
        if (a == "--name") ok = value(o.name);
        else if (a == "--connection") ok = value(o.connection) && (o.connection == "lan" || o.connection == "lan-unguaranteed");
        else if (a == "--bind") ok = value(o.bind);
        else if (a == "--broadcast") ok = value(o.broadcast);
        else if (a == "--port") ok = value(v) && parseNumber(v, 65535, o.port);
        else if (a == "--discovery-port") ok = value(v) && parseNumber(v, 65535, o.discoveryPort);
        else if (a == "--max") ok = value(v) && parseNumber(v, 16, o.max) && o.max >= 1;
        else if (a == "--seconds") ok = value(v) && parseNumber(v, 24 * 3600, o.seconds);
        else if (a == "--puzzle") ok = value(o.puzzle);
        else if (a == "--dump") ok = value(o.dump);
        else if (a == "--join") ok = value(o.join);
        else if (a == "--seed") ok = value(v) && parseNumber(v, 0xFFFFFFFFu, o.seed) && (o.seedGiven = true);
        else if (a == "--picture") ok = value(o.picture);
        else if (a == "--download-to") ok = value(o.downloadTo) && !o.downloadTo.empty();
        else if (a == "--pieces") ok = value(v) && parseNumber(v, 4000, o.pieces) && o.pieces >= 1;
        else if (a == "--rotate") o.rotate = true;
        else if (a == "--stay") o.stay = true;
        else if (a == "--type") ok = value(o.type) && (o.type == "coop" || o.type == "comp");
        else if (a == "--players") ok = value(v) && parseNumber(v, 15, o.players);
        else if (a == "--actions") ok = value(v) && parseNumber(v, 1000000, o.actions);
        else if (a == "--rate") ok = value(v) && parseNumber(v, 1000, o.rate);
        else if (a == "--send") {
            ok = value(v);
            if (ok) o.sends.push_back(v);
        }
        else if (!a.empty() && a[0] == '-') ok = false;
        else o.positional.push_back(a);
        if (!ok) {
            err << "bad option: " << a << "\n" << kNetCommandUsage << "\n";
            return false;
        }
    }
    return true;
}

// The line of a system message; empty for none.
std::string systemLine(const Received& r) {
    std::ostringstream s;
    switch (r.kind) {
        case SystemKind::PlayerCreated: s << "player-created " << r.playerId << " " << r.name; break;
        case SystemKind::PlayerDestroyed: s << "player-destroyed " << r.playerId; break;
        case SystemKind::PlayerDataChanged: s << "player-data " << r.playerId << " " << hex(r.playerData); break;
        case SystemKind::BecameHost: s << "became-host"; break;
        case SystemKind::None: break;
    }
    return s.str();
}

// Whole lines from several threads.
class Lines {
public:
    explicit Lines(std::ostream& out) : out_(out) {}
    void line(const std::string& s) {
        std::lock_guard lock(m_);
        out_ << s << "\n";
        out_.flush();
    }

private:
    std::mutex m_;
    std::ostream& out_;
};

// A layer whose dispatcher prints every message, one whole line at a time.
class Printer {
public:
    explicit Printer(std::ostream& out) : out_(out), layer_(hooks()) {}
    NetLayer& layer() { return layer_; }
    void line(const std::string& s) {
        std::lock_guard lock(m_);
        out_ << s << "\n";
        out_.flush();
    }

private:
    NetHooks hooks() {
        NetHooks h;
        h.postNetMessage = [this] { drain(false); };
        h.sendNetMessage = [this] { drain(false); };
        h.dispatch = [this](bool server) { drain(server); };
        h.systemMessage = [this](const Received& r) {
            if (std::string s = systemLine(r); !s.empty()) line(s);
        };
        return h;
    }
    void drain(bool serverMode) {
        QueueEntry e;
        int i;
        while (layer_.takeIncoming(serverMode, e, i)) {
            std::ostringstream s;
            s << "from=" << e.from << " to=" << e.to << " id=" << (loadU32(e.data.data()) & 0xFFFF)
              << " size=" << e.size << " " << hex(e.data);
            line(s.str());
            layer_.finishIncoming(i);
        }
    }

    std::mutex m_;
    std::ostream& out_;
    NetLayer layer_;
};

void runFor(NetLayer& layer, uint32_t seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        layer.resendPass();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

NetSettings settingsOf(const Options& o) {
    NetSettings s;
    s.bindAddress = o.bind;
    s.port = uint16_t(o.port);
    s.discoveryPort = uint16_t(o.discoveryPort);
    s.broadcastAddress = o.broadcast;
    return s;
}

const char* connectionName(const Options& o) {
    return o.connection == "lan" ? kConnectionLan : kConnectionLanUnguaranteed;
}

bool splitAddress(const std::string& target, std::string& address, uint16_t& port, std::ostream& err) {
    const size_t colon = target.rfind(':');
    uint32_t p = 0;
    if (colon == std::string::npos || !parseNumber(target.substr(colon + 1), 65535, p)) {
        err << "expected ADDRESS:PORT, got " << target << "\n";
        return false;
    }
    address = target.substr(0, colon);
    port = uint16_t(p);
    return true;
}

bool dumpGame(HeadlessGame& game, const Options& o, std::ostream& out, std::ostream& err) {
    if (o.dump.empty()) return true;
    std::string error;
    if (!game.dump(o.dump, error)) {
        err << error << "\n";
        return false;
    }
    out << "dumped " << o.dump << "\n";
    return true;
}

// A game host without a window: it decides for the players that join and
// plays nothing itself.
int gameHostCommand(const Options& o, std::ostream& out, std::ostream& err) {
    HeadlessGame game(settingsOf(o));
    game.layer().chooseConnection(connectionName(o));
    std::string error;
    if (!game.open(o.puzzle, error)) {
        err << error << "\n";
        return 1;
    }
    if (!game.host(o.name, o.max)) {
        err << "cannot host a session on " << o.bind << ":" << o.port << "\n";
        return 1;
    }
    game.start();
    out << "listening " << o.bind << ":" << game.layer().session()->listenPort() << "\n";
    out.flush();
    game.idle(o.seconds * 1000);
    const bool ok = dumpGame(game, o, out, err);
    game.close();
    return ok ? 0 : 1;
}

int setupBotCommand(const Options& o, std::ostream& out, std::ostream& err);

// --stay: a bot that is done stays in the game (the others' moves still
// reach it) until the session ends or the seconds pass.
void stayUntilEnd(HeadlessGame& game, const Options& o) {
    if (!o.stay) return;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(o.seconds);
    while (game.layer().sessionOpen() && std::chrono::steady_clock::now() < end) game.idle(50);
}

int botCommand(const Options& o, std::ostream& out, std::ostream& err) {
    std::string address;
    uint16_t port = 0;
    if (o.puzzle.empty() && !o.join.empty()) return setupBotCommand(o, out, err);
    if (o.join.empty() || o.puzzle.empty() || !o.positional.empty()) {
        err << kNetCommandUsage << "\n";
        return 2;
    }
    if (!splitAddress(o.join, address, port, err)) return 2;
    NetSettings settings = settingsOf(o);
    settings.port = 0;
    HeadlessGame game(settings);
    game.layer().chooseConnection(connectionName(o));
    std::string error;
    if (!game.open(o.puzzle, error)) {
        err << error << "\n";
        return 1;
    }
    if (game.join(address, port, o.name) != JoinResult::Ok) {
        err << "no session answered\n";
        return 1;
    }
    game.start();
    out << "joined as " << game.layer().localPlayerId() << "\n";
    out.flush();
    game.play(o.seed, int(o.actions), double(o.rate));
    out << "actions " << game.actionsMade() << "\n";
    stayUntilEnd(game, o);
    const bool ok = dumpGame(game, o, out, err);
    game.close();
    return ok ? 0 : 1;
}

using Clock = std::chrono::steady_clock;

// What a download asks of a person, answered for the tool: every question
// with Yes, the save dialog with the name it proposes; messages go to the
// error stream.
class ToolPlatform final : public Platform {
public:
    explicit ToolPlatform(std::ostream& err) : err_(err) {}
    MessageResult messageBox(std::string_view text, std::string_view, MessageButtons buttons) override {
        if (buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel) return MessageResult::Yes;
        err_ << text << "\n";
        return MessageResult::Ok;
    }
    std::optional<std::string> pickOpenFile(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> pickSaveFile(std::string_view, std::string_view, std::string_view directory,
                                            std::string_view suggestedName) override {
        if (suggestedName.empty()) return std::nullopt;
        return (std::filesystem::path(directory) / suggestedName).string();
    }
    void invalidate(WindowId, const Rect&) override {}
    void invalidateAll(WindowId) override {}
    void setCursor(CursorShape) override {}
    Point pointerPosition(WindowId) const override { return {}; }
    void movePointer(WindowId, Point) override {}
    uint32_t popupMenu(WindowId, Point, const std::vector<MenuItem>&) override { return 0; }
    void postCommand(uint32_t) override {}
    uint32_t tickCount() const override {
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
    }

private:
    std::ostream& err_;
};

// The set-up's questions answered from the command line. The host starts
// once --players others have joined and everybody is ready; a player ticks
// Ready and waits for the host. Both give up at the deadline.
class ToolFrontEnd final : public SetupFrontEnd {
public:
    ToolFrontEnd(const Options& o, Lines& out, std::ostream& err, Clock::time_point deadline)
        : o_(o), out_(out), err_(err), deadline_(deadline), platform_(err) {}

    std::optional<std::string> askPlayerName(const std::string&) override { return o_.name; }
    std::optional<std::string> chooseConnection(const std::vector<std::string>&) override {
        return std::string(connectionName(o_));
    }
    bool editCreateGame(CreateGameForm& form) override {
        form.maxPlayers = std::clamp(int(o_.max), CreateGameForm::kMinPlayers, CreateGameForm::kMaxPlayers);
        form.gameType = o_.type == "comp" ? kGameCompetitive : kGameCooperative;
        return !form.refusal();
    }
    std::optional<std::string> choosePicture() override { return o_.picture; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool) override {
        PieceCountChoice c;
        c.grid = rules.gridForTarget(int32_t(o_.pieces));
        c.rotate = o_.rotate;
        return c;
    }
    std::optional<JoinTarget> chooseSession(JoinList&) override {
        if (asked_) return std::nullopt;  // one try: the address given
        asked_ = true;
        std::string address;
        uint16_t port = 0;
        if (!splitAddress(o_.join, address, port, err_)) return std::nullopt;
        return JoinTarget{address, port};
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        err_ << (caption.empty() ? "" : caption + ": ") << text << "\n";
    }
    RoomResult runWaitingRoom(NetGameSetup& setup) override {
        if (setup.isHost()) {
            Session* s = layer->session();
            out_.line("listening " + o_.bind + ":" + std::to_string(s ? s->listenPort() : 0));
        } else {
            out_.line("waiting as " + std::to_string(layer->localPlayerId()));
            setup.setReady(true);
        }
        while (Clock::now() < deadline_ && setup.sessionOpen() && !setup.kicked()) {
            if (setup.begun()) return RoomResult::Start;
            // --players others besides the host's own player.
            const bool enough = setup.players().size() > size_t(o_.players);
            if (setup.isHost() && enough && setup.allReady() && !setup.begin()) return RoomResult::Start;
            setup.pump(50);
        }
        return RoomResult::Exit;
    }
    // The picture is downloaded without asking, the receiver pumped until it
    // ends or the deadline passes.
    bool offerDownload(const std::string& hostPath, uint32_t fileSize, std::string& localPath) override {
        out_.line("downloading " + std::to_string(fileSize) + " bytes");
        const std::optional<std::string> saved = net::offerDownload(
            platform_, *layer, headless->transfers().pictureReceiver(), hostPath, fileSize, o_.downloadTo,
            [this](PictureReceiver& receiver) {
                while (!receiver.finished() && Clock::now() < deadline_) headless->pump(20);
            });
        if (!saved) return false;
        out_.line("downloaded " + *saved);
        localPath = *saved;
        return true;
    }
    // A game under way: its pieces as the host has them, before playing.
    bool synchronise(NetGameSetup&) override {
        SyncReceiver& receiver = headless->transfers().syncReceiver();
        out_.line("synchronising");
        receiver.start();
        while (!receiver.finished() && Clock::now() < deadline_ && layer->sessionOpen()) headless->pump(20);
        if (!receiver.finished()) receiver.abort();
        const SyncReceiver::Status status = receiver.status();
        if (status.phase != SyncReceiver::Phase::Finished) return false;
        out_.line("synchronised " + std::to_string(status.records) + " records");
        return true;
    }
    void waitingProgress(int percent) override {
        if (percent != shown_) out_.line("waiting " + std::to_string(percent) + "%");
        shown_ = percent;
    }

    NetLayer* layer = nullptr;
    HeadlessSetup* headless = nullptr;

private:
    const Options& o_;
    Lines& out_;
    std::ostream& err_;
    Clock::time_point deadline_;
    ToolPlatform platform_;
    bool asked_ = false;
    int shown_ = -1;
};

// A game set up as the window sets one up, without the window.
struct ToolGame {
    ToolGame(const Options& o, const NetSettings& settings, Lines& lines, std::ostream& err)
        : game(settings),
          headless(game),
          frontEnd(o, lines, err, Clock::now() + std::chrono::seconds(o.seconds)),
          setup(headless, frontEnd, prefs) {
        headless.attach(setup);
        frontEnd.layer = &game.layer();
        frontEnd.headless = &headless;
        headless.onSystem = [&lines](const Received& r) {
            if (std::string s = systemLine(r); !s.empty()) lines.line(s);
        };
    }
    ~ToolGame() { setup.leave(); }
    HeadlessGame game;
    HeadlessSetup headless;
    ToolFrontEnd frontEnd;
    Preferences prefs;
    NetGameSetup setup;
};

int setupHostCommand(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.pieces == 0 || o.type.empty() || !o.positional.empty()) {
        err << kNetCommandUsage << "\n";
        return 2;
    }
    Lines lines(out);
    const auto deadline = Clock::now() + std::chrono::seconds(o.seconds);
    ToolGame t(o, settingsOf(o), lines, err);
    if (!t.setup.host(o.seedGiven ? std::optional<uint32_t>(o.seed) : std::nullopt)) {
        err << "the game did not start\n";
        return 1;
    }
    const NetPuzzle& p = t.setup.puzzle();
    lines.line("started " + std::to_string(p.columns * p.rows) + " pieces, seed " +
               std::to_string(t.setup.options().seed));
    // The host's own player moves nothing; it decides for the others. In a
    // Competitive game each player finishes a copy of its own: the game is
    // over once they have all left.
    const bool competitive = t.setup.options().gameType == kGameCompetitive;
    while (Clock::now() < deadline && t.game.puzzleState() != kPuzzleStateCompleted &&
           !(competitive && t.setup.players().size() <= 1))
        t.game.idle(50);
    if (t.game.puzzleState() == kPuzzleStateCompleted) {
        lines.line("completed");
        // The last results reach the others before the host goes.
        while (Clock::now() < deadline && t.setup.players().size() > 1) t.game.idle(50);
    }
    const bool ok = dumpGame(t.game, o, out, err);
    return ok ? 0 : 1;
}

int setupBotCommand(const Options& o, std::ostream& out, std::ostream& err) {
    std::string address;
    uint16_t port = 0;
    if (!o.positional.empty() || !splitAddress(o.join, address, port, err)) {
        err << kNetCommandUsage << "\n";
        return 2;
    }
    NetSettings settings = settingsOf(o);
    settings.port = 0;
    Lines lines(out);
    ToolGame t(o, settings, lines, err);
    if (!t.setup.join()) {
        err << "the game did not start\n";
        return 1;
    }
    lines.line("joined as " + std::to_string(t.game.layer().localPlayerId()));
    t.game.play(o.seed, int(o.actions), double(o.rate), true);
    lines.line("actions " + std::to_string(t.game.actionsMade()));
    if (t.game.puzzleState() == kPuzzleStateCompleted) lines.line("completed");
    stayUntilEnd(t.game, o);
    const bool ok = dumpGame(t.game, o, out, err);
    return ok ? 0 : 1;
}

int hostCommand(const Options& o, std::ostream& out, std::ostream& err) {
    if (!o.picture.empty()) return setupHostCommand(o, out, err);
    if (!o.puzzle.empty()) return gameHostCommand(o, out, err);
    Printer p(out);
    p.layer().setSettings(settingsOf(o));
    p.layer().chooseConnection(connectionName(o));
    if (!p.layer().openSession(o.name, o.name, o.max, 0, 0, 0)) {
        err << "cannot host a session on " << o.bind << ":" << o.port << "\n";
        return 1;
    }
    p.line("listening " + o.bind + ":" + std::to_string(p.layer().session()->listenPort()));
    runFor(p.layer(), o.seconds);
    p.layer().closeSession();
    return 0;
}

int findCommand(const Options& o, std::ostream& out) {
    NetSettings s = settingsOf(o);
    // The join dialog asks every 100 ms; so does this command.
    std::vector<FoundSession> seen;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(o.seconds);
    do {
        for (const auto& f : Session::findSessions(s, 100)) {
            bool known = false;
            for (const auto& k : seen) known = known || (k.address == f.address && k.port == f.port);
            if (known) continue;
            seen.push_back(f);
            // Players and maximum leave out the server player.
            out << f.address << ":" << f.port << " name=" << f.desc.name
                << " players=" << (f.desc.currentPlayers ? f.desc.currentPlayers - 1 : 0)
                << " max=" << (f.desc.maxPlayers ? f.desc.maxPlayers - 1 : 0) << " user1=" << f.desc.user1
                << " user2=" << f.desc.user2 << " user3=" << f.desc.user3 << "\n";
            out.flush();
        }
    } while (std::chrono::steady_clock::now() < end);
    return 0;
}

int joinCommand(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.positional.size() != 1) {
        err << kNetCommandUsage << "\n";
        return 2;
    }
    const std::string& target = o.positional[0];
    size_t colon = target.rfind(':');
    uint32_t port = 0;
    if (colon == std::string::npos || !parseNumber(target.substr(colon + 1), 65535, port)) {
        err << "expected ADDRESS:PORT, got " << target << "\n";
        return 2;
    }
    struct Send {
        uint32_t id;
        std::vector<uint8_t> message;
        bool guaranteed;
    };
    std::vector<Send> sends;
    for (const auto& sendArg : o.sends) {
        // ID:HEX or ID:HEX:guaranteed
        size_t a = sendArg.find(':');
        size_t b = a == std::string::npos ? a : sendArg.find(':', a + 1);
        Send s{};
        std::vector<uint8_t> payload;
        std::string flag = b == std::string::npos ? "" : sendArg.substr(b + 1);
        if (a == std::string::npos || !parseNumber(sendArg.substr(0, a), 0xFFFF, s.id) ||
            !parseHex(sendArg.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1), payload) ||
            (!flag.empty() && flag != "guaranteed") || payload.size() + 4 > kMaxMessageSize) {
            err << "bad --send " << sendArg << "\n";
            return 2;
        }
        s.message.resize(4 + payload.size());
        storeU32(s.message.data(), s.id);
        std::copy(payload.begin(), payload.end(), s.message.begin() + 4);
        s.guaranteed = flag == "guaranteed";
        sends.push_back(std::move(s));
    }
    Printer p(out);
    NetSettings settings = settingsOf(o);
    settings.port = 0;  // a joiner listens on any free port
    p.layer().setSettings(settings);
    p.layer().chooseConnection(connectionName(o));
    JoinResult r = p.layer().joinSession(target.substr(0, colon), uint16_t(port), o.name);
    if (r != JoinResult::Ok) {
        err << (r == JoinResult::Full ? "session full" : r == JoinResult::JoinDisabled ? "joining disabled"
                                                                                    : "no session answered")
            << "\n";
        return 1;
    }
    p.line("joined as " + std::to_string(p.layer().localPlayerId()));
    for (const auto& s : sends)
        // Messages go to the server player, as a game's requests do.
        p.layer().send(p.layer().localPlayerId(), kServerPlayer, s.guaranteed ? 1 : 0, s.message);
    runFor(p.layer(), o.seconds);
    p.layer().closeSession();
    return 0;
}

}  // namespace

int runNetCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kNetCommandUsage << "\n";
        return 2;
    }
    Options o;
    if (!parseOptions(args, 1, o, err)) return 2;
    if (args[0] == "host" && o.positional.empty()) return hostCommand(o, out, err);
    if (args[0] == "find" && o.positional.empty()) return findCommand(o, out);
    if (args[0] == "join") return joinCommand(o, out, err);
    if (args[0] == "bot") return botCommand(o, out, err);
    err << kNetCommandUsage << "\n";
    return 2;
}

int netCommand(const std::vector<std::string>& args) { return runNetCommand(args, std::cout, std::cerr); }

}  // namespace pavalo::net
