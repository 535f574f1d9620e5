// Lobby launches: the game's lobby client against scripted lobbies, the
// lobby's options, picture and puzzle, the standings, a lobby-launched host
// whose lobby goes away, and `pavalo-tool lobby` running a whole Team
// Competitive game of a host and two bots with a picture from an HTTP server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "media/bmp.h"
#include "media/jpeg_writer.h"
#include "net/lobby_front_end.h"
#include "net/lobby_launch.h"
#include "net/lobby_player.h"
#include "net/lobby_program.h"
#include "surface/draw_surface.h"
#include "tests/net/http_test_server.h"
#include "tests/net/rig.h"

namespace pavalo::net {
namespace {

namespace fs = std::filesystem;

uint16_t freeUdpPort() {
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

// A lobby that takes one connection and runs a script on it.
class ScriptedLobby {
public:
    explicit ScriptedLobby(std::function<void(LobbyConnection&)> script) {
        std::string why;
        listener_ = LobbyListener::listen("127.0.0.1", 0, why);
        EXPECT_TRUE(listener_) << why;
        thread_ = std::thread([this, script] {
            if (auto c = listener_->accept(5000)) script(*c);
        });
    }
    ~ScriptedLobby() { thread_.join(); }
    LobbyAddress address() const { return {"127.0.0.1", listener_->port()}; }

private:
    std::unique_ptr<LobbyListener> listener_;
    std::thread thread_;
};

LobbyMessage next(LobbyConnection& c) {
    LobbyMessage m;
    std::string why;
    EXPECT_EQ(c.receive(m, 5000, why), LobbyConnection::Received::Message) << why;
    return m;
}

void send(LobbyConnection& c, const LobbyMessage& m) {
    std::string why;
    EXPECT_TRUE(c.send(m, why)) << why;
}

LobbyGameSettings settingsWith(uint32_t gameType, uint32_t seed, const std::string& picture) {
    LobbyGameSettings s;
    s.gameType = gameType;
    s.seed = seed;
    s.pieces = 6;
    s.picture = picture;
    return s;
}

// A folder of the test's own, removed at the end.
struct TempFolder {
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "lobby-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string path;
};

std::string jpegBytes(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width * height * 3));
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7 + i / 97);
    const std::vector<uint8_t> b = encodeJpeg(width, height, 3, rgb);
    return std::string(b.begin(), b.end());
}

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

TEST(LobbyClient, SettingsComeOnlyFromTheResponseToTheRequest) {
    const LobbyGameSettings wanted = settingsWith(2, 99, "Hills.jpg");
    const LobbyGameSettings other = settingsWith(1, 5, "Other.jpg");
    ScriptedLobby lobby([&](LobbyConnection& c) {
        const LobbyMessage request = next(c);
        EXPECT_EQ(request.type, kLobbyPropertyRequest);
        EXPECT_EQ(request.requestId, 0u);
        EXPECT_EQ(request.tag, lobbySettingsTag());
        send(c, lobbyStatusQuery());
        send(c, lobbyPropertyResponse(3, other));
        LobbyMessage otherTag = lobbyPropertyResponse(0, other);
        otherTag.tag[0] ^= 1;
        send(c, otherTag);
        send(c, lobbyPropertyResponse(0, wanted));
        LobbyMessage m;
        std::string why;
        c.receive(m, 2000, why);  // until the client hangs up
    });
    std::string why;
    auto client = LobbyClient::connect(lobby.address(), 2000, why);
    ASSERT_TRUE(client) << why;
    const auto settings = client->requestSettings(5000, why);
    ASSERT_TRUE(settings.has_value()) << why;
    EXPECT_EQ(*settings, wanted);
    EXPECT_FALSE(client->failed());
}

TEST(LobbyClient, RefusalSilenceGarbageAndAVanishedLobbyEndTheWait) {
    struct Case {
        const char* name;
        std::function<void(LobbyConnection&)> script;
        bool failed;
        const char* why;
    };
    const std::vector<Case> cases{
        {"refused",
         [](LobbyConnection& c) {
             next(c);
             send(c, lobbyPropertyResponse(0, std::nullopt));
         },
         false,
         "result 2147500037"},
        {"silent",
         [](LobbyConnection& c) {
             next(c);
             std::this_thread::sleep_for(std::chrono::milliseconds(700));
         },
         false, "did not send the game settings"},
        {"garbage",
         [](LobbyConnection& c) {
             next(c);
             LobbyMessage unknown;
             unknown.type = 9;
             send(c, unknown);
         },
         true, "unknown lobby message type 9"},
        {"vanished", [](LobbyConnection& c) { next(c); }, true, "closed the connection"},
    };
    for (const Case& k : cases) {
        ScriptedLobby lobby(k.script);
        std::string why;
        auto client = LobbyClient::connect(lobby.address(), 2000, why);
        ASSERT_TRUE(client) << why;
        EXPECT_FALSE(client->requestSettings(300, why).has_value()) << k.name;
        EXPECT_NE(why.find(k.why), std::string::npos) << k.name << ": " << why;
        EXPECT_EQ(client->failed(), k.failed) << k.name;
        // A failed lobby gives the server thread nothing more.
        std::vector<uint8_t> message;
        bool system = false;
        if (k.failed) {
            EXPECT_FALSE(client->receive(message, system)) << k.name;
        }
    }
}

TEST(LobbyLaunch, LobbyValuesOverrideTheChoicesTheyName) {
    NetOptions choices;
    choices.gameType = 1;
    choices.allowed = {1, 1, 1, 1, 1, 1, 1};
    choices.seed = 1234;
    LobbyGameSettings s;  // nothing set: the choices stand
    EXPECT_EQ(lobbyNetOptions(s, choices), choices);
    s.gameType = 2;
    s.findByColour = 0;
    s.puzzleOutline = 0;
    s.seed = 0;
    const NetOptions o = lobbyNetOptions(s, choices);
    EXPECT_EQ(o.gameType, 2u);
    EXPECT_EQ(o.allowed, (std::array<uint32_t, 7>{1, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(o.seed, 0u);

    // Each flag at its own bit: rotation at 6 and Puzzle Outline at 7.
    NetOptions one;
    for (size_t i = 0; i < 7; ++i) {
        one.allowed = {};
        one.allowed[i] = 1;
        EXPECT_EQ(optionMaskOf(one, false), i < 6 ? 1u << i : 0x80u) << i;
    }
    one.allowed = {};
    EXPECT_EQ(optionMaskOf(one, true), 0x40u);
}

TEST(LobbyLaunch, NamedPicturesAreFoundAndCutByTheLobbysCount) {
    TempFolder data;
    // A JPEG under a name that says nothing of its kind, as a download is.
    writeFile(data.path + "/gamedata.tmp", jpegBytes(96, 64));
    writeFile(data.path + "/notes.jpg", "not a picture at all");
    auto show = [](const std::string&) { return true; };

    const LobbyPicture byName = resolveLobbyPicture("gamedata.tmp", data.path, show);
    ASSERT_TRUE(byName.ok) << byName.message;
    EXPECT_EQ(byName.path, data.path + "/gamedata.tmp");
    EXPECT_EQ(byName.pictureKind, 1u);
    EXPECT_TRUE(resolveLobbyPicture(data.path + "/gamedata.tmp", "/nonexistent", show).ok);
    for (const std::string missing : {"", "nowhere.jpg", "notes.jpg", "ftp://127.0.0.1/p.jpg"}) {
        const LobbyPicture p = resolveLobbyPicture(missing, data.path, show);
        EXPECT_FALSE(p.ok) << missing;
        EXPECT_EQ(p.message, kLobbyPictureNotFound) << missing;
    }

    // The grid is the piece-count rule's for the lobby's count, as the
    // window's host takes it; the picture's kind and the rotation go along.
    LobbyGameSettings s = settingsWith(0, 4242, "gamedata.tmp");
    s.pieces = 12;
    std::string error;
    const std::optional<NetPuzzle> p = lobbyPuzzle(byName, s, true, error);
    ASSERT_TRUE(p) << error;
    const Grid grid = PieceCountRules(96, 64).gridForTarget(12);
    EXPECT_EQ(p->columns, grid.columns);
    EXPECT_EQ(p->rows, grid.rows);
    EXPECT_EQ(p->pictureWidth, 96);
    EXPECT_EQ(p->pictureHeight, 64);
    EXPECT_EQ(p->rotation, 1u);
    EXPECT_EQ(p->pictureKind, uint32_t(kPictureJpeg));
    s.pieces = kLobbyUnset;
    const std::optional<NetPuzzle> open = lobbyPuzzle(byName, s, false, error);
    ASSERT_TRUE(open) << error;
    EXPECT_EQ(open->columns * open->rows, PieceCountRules(96, 64).gridForTarget(kLobbyDefaultPieces).pieces());
    EXPECT_EQ(open->rotation, 0u);
    LobbyPicture notPicture = byName;
    notPicture.path = data.path + "/notes.jpg";
    error.clear();
    EXPECT_FALSE(lobbyPuzzle(notPicture, s, false, error));
    EXPECT_FALSE(error.empty());
}

// The window's dialogs, counting what the lobby left to them.
struct CountingDialogs : SetupFrontEnd {
    int creates = 0, counts = 0, pictures = 0;
    std::optional<std::string> askPlayerName(const std::string&) override { return "Asked"; }
    std::optional<std::string> chooseConnection(const std::vector<std::string>&) override { return {}; }
    bool editCreateGame(CreateGameForm& form) override {
        ++creates;
        form.cheats = CreateGameForm::Cheats::Yes;
        form.gameType = kGameCompetitive;
        return true;
    }
    std::optional<std::string> choosePicture() override {
        ++pictures;
        return "chosen.jpg";
    }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules&, bool) override {
        ++counts;
        return PieceCountChoice{};
    }
    std::optional<JoinTarget> chooseSession(JoinList&) override { return {}; }
    void showMessage(const std::string&, const std::string&) override {}
    RoomResult runWaitingRoom(NetGameSetup&) override { return RoomResult::Exit; }
};

TEST(LobbyFrontEnd, TheLobbyAnswersWhatItSetsAndTheDialogsTheRest) {
    LobbyRole role;
    role.sessionName = "Friday";
    role.playerName = "Hana";
    role.host = false;
    role.joinAddress = "10.0.0.7";
    role.joinPort = 4100;
    LobbyGameSettings s = settingsWith(kGameTeamCompetitive, 5, "hills.jpg");
    s.sortingBoxes = 1;
    s.arrange = 1;
    s.solve = 0;
    s.findNearby = 1;
    s.findEdges = 0;
    s.findByColour = 1;
    s.puzzleOutline = 0;
    s.pieces = 30;
    s.rotatePieces = 1;
    LobbyPicture picture;
    picture.ok = true;
    picture.path = "/data/gamedata.tmp";

    CountingDialogs dialogs;
    LobbyFrontEnd complete(dialogs, role, s, picture);
    EXPECT_EQ(complete.askPlayerName("Old"), "Hana");
    EXPECT_EQ(complete.chooseConnection({kConnectionInternet, kConnectionLan}), kConnectionLan);
    CreateGameForm form;
    ASSERT_TRUE(complete.editCreateGame(form));
    EXPECT_EQ(dialogs.creates, 0);
    EXPECT_EQ(form.sessionName, "Friday");
    EXPECT_EQ(form.maxPlayers, CreateGameForm::kMaxPlayers);
    const NetOptions o = form.options(5);
    EXPECT_EQ(o.gameType, uint32_t(kGameTeamCompetitive));
    EXPECT_EQ(o.allowed, (std::array<uint32_t, 7>{1, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(complete.choosePicture(), picture.path);
    std::string local;
    EXPECT_TRUE(complete.offerDownload("/elsewhere/gamedata.tmp", 100, local));
    EXPECT_EQ(local, picture.path);
    const std::optional<PieceCountChoice> count = complete.askPieceCount(PieceCountRules(640, 480), false);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->grid.pieces(), PieceCountRules(640, 480).gridForTarget(30).pieces());
    EXPECT_TRUE(count->rotate);
    EXPECT_EQ(complete.seed(), 5u);
    JoinList list;
    const std::optional<JoinTarget> target = complete.chooseSession(list);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->address, "10.0.0.7");
    EXPECT_EQ(target->port, 4100);
    EXPECT_FALSE(complete.chooseSession(list)) << "a failed join is not tried again";

    // Two tools left open: the dialog decides them (its "all tools"), the
    // lobby's values still stand over the dialog's; no piece count, no seed
    // and no picture: the dialogs and the clock.
    s.solve = kLobbyUnset;
    s.puzzleOutline = kLobbyUnset;
    s.pieces = kLobbyUnset;
    s.seed = kLobbyUnset;
    LobbyFrontEnd open(dialogs, role, s, LobbyPicture{});
    CreateGameForm asked;
    ASSERT_TRUE(open.editCreateGame(asked));
    EXPECT_EQ(dialogs.creates, 1);
    EXPECT_EQ(asked.options(0).gameType, uint32_t(kGameTeamCompetitive));
    EXPECT_EQ(asked.options(0).allowed, (std::array<uint32_t, 7>{1, 1, 1, 1, 0, 1, 1}));
    EXPECT_EQ(open.choosePicture(), "chosen.jpg");
    open.askPieceCount(PieceCountRules(640, 480), false);
    EXPECT_EQ(dialogs.counts, 1);
    EXPECT_FALSE(open.seed());
}

TEST(LobbyStandings, TeamsSumTheirMembersAndKeepTheReadyFlag) {
    PlayerData d;
    d.ready = 1;
    d.setTeam(2);
    EXPECT_TRUE(d.readyFlag());
    EXPECT_EQ(d.team(), 2u);
    d.ready &= ~1u;
    EXPECT_EQ(d.team(), 2u);

    LobbyStatus st;
    st.gameType = kGameTeamCompetitive;
    st.pieces = 40;
    const uint32_t teams[] = {1, 2, 1, 2}, placed[] = {3, 5, 11, 17};
    for (int i = 0; i < 4; ++i) {
        PlayerData p;
        p.setTeam(teams[i]);
        p.piecesPlaced = placed[i];
        p.state = 4;
        p.elapsedMs = 61000;
        st.players.push_back(p.encode());
    }
    const std::vector<std::string> lines = lobbyStandings(st);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "player 3: 11 placed, state 4, 61 s, team 1");
    EXPECT_EQ(lines[4], "team 1: 14 placed");
    EXPECT_EQ(lines[5], "team 2: 22 placed");
    st.gameType = kGameCooperative;
    EXPECT_EQ(lobbyStandings(st).size(), 4u);
}

TEST(LobbyHost, AnswersStatusQueriesAndEndsWhenTheLobbyGoesAway) {
    TempFolder data;
    DrawSurface picture;
    ASSERT_TRUE(picture.create(80, 60, 24));
    const std::vector<uint8_t> bmp = encodeBmp(picture);
    writeFile(data.path + "/Hills.bmp", std::string(bmp.begin(), bmp.end()));

    LobbyStatus seen;
    ScriptedLobby lobby([&](LobbyConnection& c) {
        next(c);
        send(c, lobbyPropertyResponse(0, settingsWith(1, 77, "Hills.bmp")));
        for (int i = 0; i < 100 && seen.pieces == 0; ++i) {
            send(c, lobbyStatusQuery());
            LobbyMessage m;
            std::string why;
            if (c.receive(m, 200, why) == LobbyConnection::Received::Message && m.type == kLobbyStatusReply)
                seen = m.status;
        }
        // Then the lobby goes away.
    });
    LobbyPlayerOptions o;
    o.role.lobby = lobby.address();
    o.net = test::loopbackSettings();
    o.dataFolder = data.path;
    o.seconds = 30;
    std::ostringstream out, err;
    EXPECT_EQ(runLobbyHost(o, out, err), 1);
    EXPECT_NE(out.str().find("type 1, "), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("the lobby went away"), std::string::npos) << err.str();
    EXPECT_EQ(seen.gameType, 1u);
    EXPECT_GE(seen.pieces, 4u);
    EXPECT_EQ(seen.finishedPieces, 0u);
    ASSERT_EQ(seen.players.size(), 1u);
    EXPECT_EQ(PlayerData::decode(seen.players[0]).state, uint32_t(PlayerState::Playing));
}

TEST(LobbyBot, StopsTryingToJoinWhenTheLobbyGoesAway) {
    TempFolder data;
    DrawSurface picture;
    ASSERT_TRUE(picture.create(64, 48, 24));
    const std::vector<uint8_t> bmp = encodeBmp(picture);
    writeFile(data.path + "/Hills.bmp", std::string(bmp.begin(), bmp.end()));
    ScriptedLobby lobby([&](LobbyConnection& c) {
        next(c);
        send(c, lobbyPropertyResponse(0, settingsWith(0, 8, data.path + "/Hills.bmp")));
    });
    LobbyPlayerOptions o;
    o.role.host = false;
    o.role.lobby = lobby.address();
    o.role.joinAddress = "127.0.0.1";
    o.role.joinPort = freeUdpPort();  // nobody hosts there
    o.net = test::loopbackSettings();
    o.net.joinTimeoutMs = 200;
    o.joinWaitSeconds = 30;
    std::ostringstream out, err;
    EXPECT_EQ(runLobbyBot(o, out, err), 1);
    EXPECT_NE(err.str().find("the lobby went away"), std::string::npos) << err.str();
}

// The whole game: the lobby starts a host and two bots, Team Competitive,
// with a picture the host downloads; they play to the end; the standings
// grow and the last ones list both teams; every program ends by itself.
TEST(LobbyProgram, RunsATeamCompetitiveGameToTheEnd) {
    pavalo::test::HttpTestServer web;
    web.route("/game.jpg", pavalo::test::HttpRoute::ok(jpegBytes(160, 120)));
    TempFolder data;
    ASSERT_EQ(::setenv("TAVORN_HOME", data.path.c_str(), 1), 0);

    LobbyProgramOptions o;
    o.program = PAVALO_TOOL;
    o.players = 3;
    o.sessionPort = freeUdpPort();
    o.discoveryPort = test::loopbackSettings().discoveryPort;
    o.settings = settingsWith(kGameTeamCompetitive, 31337, web.url("/game.jpg"));
    o.settings.pieces = 20;
    o.pollMs = 200;
    o.rate = 10;
    o.seconds = 40;
    std::ostringstream out, err;
    EXPECT_EQ(runLobby(o, out, err), 0) << err.str() << out.str();
    const std::string text = out.str();

    EXPECT_EQ(web.requests(), 3);  // the host's and each bot's download
    for (const char* ended : {"host ended with status 0", "player 2 ended with status 0", "player 3 ended with status 0"})
        EXPECT_NE(text.find(ended), std::string::npos) << ended << "\n" << text;
    // The finished counts the host reported, in order: they grow to the end.
    std::vector<int> finished;
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);) {
        int f = 0, n = 0;
        if (std::sscanf(l.c_str(), "status %d/%d pieces finished", &f, &n) == 2) finished.push_back(f);
    }
    ASSERT_GE(finished.size(), 2u) << text;
    EXPECT_TRUE(std::is_sorted(finished.begin(), finished.end())) << text;
    EXPECT_LT(finished.front(), finished.back());
    const size_t final = text.find("final standings: ");
    ASSERT_NE(final, std::string::npos) << text;
    const std::string last = text.substr(final);
    int f = 0, n = 0, team1 = -1, team2 = -1;
    ASSERT_EQ(std::sscanf(last.c_str(), "final standings: %d/%d", &f, &n), 2);
    EXPECT_EQ(f, n);
    ASSERT_NE(last.find("team 1: "), std::string::npos) << last;
    ASSERT_NE(last.find("team 2: "), std::string::npos) << last;
    std::sscanf(last.c_str() + last.find("team 1: "), "team 1: %d", &team1);
    std::sscanf(last.c_str() + last.find("team 2: "), "team 2: %d", &team2);
    // The bots placed every piece between them (the host plays none).
    EXPECT_GT(team1, 0);
    EXPECT_GT(team2, 0);
    EXPECT_EQ(team1 + team2, n);
    ::unsetenv("TAVORN_HOME");
}

// In a Competitive game each bot finishes a copy of its own; the game is
// over, and the host ends well, once every player has placed every piece.
TEST(LobbyProgram, EndsACompetitiveGameWhenEveryPlayerIsDone) {
    TempFolder data;
    writeFile(data.path + "/Hills.jpg", jpegBytes(120, 90));
    LobbyProgramOptions o;
    o.program = PAVALO_TOOL;
    o.players = 2;
    o.sessionPort = freeUdpPort();
    o.discoveryPort = test::loopbackSettings().discoveryPort;
    o.settings = settingsWith(kGameCompetitive, 5150, data.path + "/Hills.jpg");
    o.pollMs = 200;
    o.rate = 20;
    o.seconds = 40;
    std::ostringstream out, err;
    EXPECT_EQ(runLobby(o, out, err), 0) << err.str() << out.str();
    const std::string text = out.str();
    const size_t final = text.find("final standings: ");
    ASSERT_NE(final, std::string::npos) << text;
    int n = 0, placed = 0;
    ASSERT_EQ(std::sscanf(text.c_str() + final, "final standings: 0/%d", &n), 1) << text.substr(final);
    const size_t second = text.find("player 2: ", final);
    ASSERT_NE(second, std::string::npos) << text.substr(final);
    ASSERT_EQ(std::sscanf(text.c_str() + second, "player 2: %d placed", &placed), 1);
    EXPECT_EQ(placed, n);
}

// A program that never speaks to the lobby is ended by it, and nothing the
// lobby started outlives it.
TEST(LobbyProgram, EndsAProgramThatNeverConnects) {
    TempFolder scripts;
    const std::string program = scripts.path + "/mute";
    writeFile(program, "#!/bin/sh\nexec sleep 60\n");
    fs::permissions(program, fs::perms::owner_all);
    LobbyProgramOptions o;
    o.program = program;
    o.players = 2;
    o.settings.picture = "Hills.jpg";
    o.hostConnectMs = 300;
    std::ostringstream out, err;
    EXPECT_EQ(runLobby(o, out, err), 1);
    EXPECT_NE(err.str().find("the host did not connect to the lobby"), std::string::npos) << err.str();
    // SIGTERM ends it (128 + 15).
    EXPECT_NE(out.str().find("host ended with status 143"), std::string::npos) << out.str();
    // Only the host was started, and it is gone.
    int pid = 0;
    const size_t started = out.str().find("started host (pid ");
    ASSERT_NE(started, std::string::npos) << out.str();
    ASSERT_EQ(std::sscanf(out.str().c_str() + started, "started host (pid %d)", &pid), 1);
    EXPECT_NE(::kill(pid, 0), 0);
    EXPECT_EQ(out.str().find("player 2"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace pavalo::net
