// Setting up a network game: the create form's and join list's rules, the
// checked game data, and the whole flow on loopback with a host and players
// whose dialogs are scripted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "media/jpeg_writer.h"
#include "net/game_setup.h"
#include "net/headless_setup.h"
#include "net/session_setup.h"
#include "platform/scripted_platform.h"
#include "tests/net/rig.h"

namespace pavalo::net {
namespace {

using Scroll = CreateGameForm::Scroll;

TEST(CreateGameForm, MaxPlayersStaysWithinTwoToSixteen) {
    CreateGameForm f;
    f.maxPlayers = 15;
    f.scroll(Scroll::Top);
    f.scroll(Scroll::LineUp);
    f.scroll(Scroll::PageUp);
    EXPECT_EQ(f.maxPlayers, 16);
    f.maxPlayers = 3;
    f.scroll(Scroll::Bottom);
    f.scroll(Scroll::PageDown);
    f.scroll(Scroll::LineDown);
    EXPECT_EQ(f.maxPlayers, 2);
    for (const char* bad : {"1", "17", "", "x4", "-3", "100"}) EXPECT_FALSE(f.setMaxPlayersText(bad)) << bad;
    EXPECT_EQ(f.maxPlayers, 2);
    EXPECT_TRUE(f.setMaxPlayersText("09"));
    EXPECT_EQ(f.options(0).maxPlayers, 9u);
}

TEST(CreateGameForm, CheatsChooseTheToolsAndTheChoicesAreRemembered) {
    PreferencesRecord prefs;
    CreateGameForm f = CreateGameForm::fromPreferences(prefs);
    // "Player" hosts an unnamed session; only Arrange is allowed at first.
    EXPECT_EQ(f.sessionName, "Unnamed Session");
    EXPECT_EQ(f.cheats, CreateGameForm::Cheats::Advanced);
    EXPECT_EQ(allowedToolsText(f.options(0), true), "Arrange");

    f.cheats = CreateGameForm::Cheats::Yes;
    EXPECT_EQ(f.options(0).allowed, (std::array<uint32_t, 7>{0, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(allowedToolsText(f.options(0), true), "All");
    EXPECT_EQ(allowedToolsText(f.options(0), false),
              "Arrange, Solve, Find by Color, Find Edges, Find Nearby Pieces, Puzzle Outline");
    f.cheats = CreateGameForm::Cheats::No;
    EXPECT_EQ(allowedToolsText(f.options(0), true), "None");

    // Advanced: the Settings dialog's boxes (Solve and Find Edges), listed in
    // the lists' order.
    f.cheats = CreateGameForm::Cheats::Advanced;
    f.setTools({false, true, false, true, false, false});
    f.sortingBoxes = true;
    f.gameType = kGameCompetitive;
    f.maxPlayers = 7;
    f.sessionName = "Friday";
    const NetOptions o = f.options(4242);
    EXPECT_EQ(o.allowed, (std::array<uint32_t, 7>{1, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(o.seed, 4242u);
    EXPECT_EQ(allowedToolsText(o, true), "Solve, Find Edges");

    f.remember(prefs);
    PreferencesRecord::setText(prefs.playerName, "Rosa");
    const CreateGameForm back = CreateGameForm::fromPreferences(prefs);
    EXPECT_EQ(back.sessionName, "Rosa");  // the player's name, not the last session's
    EXPECT_EQ(PreferencesRecord::text(prefs.sessionName), "Friday");
    EXPECT_EQ(back.maxPlayers, 7);
    EXPECT_EQ(back.gameType, kGameCompetitive);
    EXPECT_TRUE(back.sortingBoxes);
    EXPECT_EQ(back.options(0), (NetOptions{.sessionName = "Rosa", .maxPlayers = 7, .gameType = 1,
                                           .allowed = {1, 0, 1, 0, 1, 0, 0}, .seed = 0}));

    f.cheats = CreateGameForm::Cheats::Yes;
    f.remember(prefs);
    EXPECT_EQ(CreateGameForm::fromPreferences(prefs).cheats, CreateGameForm::Cheats::Yes);
    f.sessionName.clear();
    EXPECT_EQ(f.refusal(), "You must enter a session name");
}

TEST(JoinList, InformationLinesAndChoosing) {
    SessionDesc d;
    d.name = "Den";
    d.maxPlayers = 9;
    d.currentPlayers = 4;
    d.user1 = kGameCompetitive;
    // Rotated pieces, Solve, Find by Color and Puzzle Outline; no sorting boxes.
    d.user3 = 1u << 6 | 1u << 2 | 1u << 5 | 1u << 7;
    EXPECT_EQ(sessionInfoLines(&d),
              (std::array<std::string, 6>{"Max Players: 8", "Current Players: 3", "Game Type: Competitive",
                                          "Sorting Boxes: Off", "Rotated Pieces: On",
                                          "Cheats Allowed: Solve, Find by Color, Puzzle Outline"}));
    d.user3 = 1;
    d.user1 = 7;  // no such type: the heading alone
    const auto lines = sessionInfoLines(&d);
    EXPECT_EQ(lines[2], "Game Type: ");
    EXPECT_EQ(lines[3], "Sorting Boxes: On");
    EXPECT_EQ(lines[5], "Cheats Allowed: None");
    EXPECT_EQ(sessionInfoLines(nullptr)[0], "Max Players: ");

    NetOptions o;
    o.allowed = {1, 0, 0, 1, 0, 0, 1};
    SessionDesc announced;
    announced.user3 = optionMaskOf(o, false);
    EXPECT_EQ(optionsOfDescription(announced).allowed, o.allowed);

    JoinList list;
    std::string message;
    EXPECT_FALSE(list.choose(-1, message));
    EXPECT_EQ(message, "You must select a game first");
    SessionDesc a = d, b = d;
    a.name = "A";
    b.name = std::string("B\x01\xff", 3);
    list.update({{"127.0.0.1", 5000, a}, {"127.0.0.1", 5001, b}});
    a.name = "A2";
    list.update({{"127.0.0.1", 5000, a}});  // known: updated, not added
    EXPECT_EQ(list.names(), (std::vector<std::string>{"A2", "B\xEF\xBF\xBD\xEF\xBF\xBD"}));
    EXPECT_EQ(list.choose(1, message)->port, 5001);
}

TEST(NetPuzzle, GameDataIsCheckedBeforeAnythingIsCut) {
    NetPuzzle p{.field0 = 11, .pickerValue = 2, .pictureKind = 1, .snapTolerance = 9, .puzzleState = 1,
                .rotation = 1, .columns = 5, .rows = 4, .pictureWidth = 300, .pictureHeight = 200};
    std::string why;
    ASSERT_EQ(NetPuzzle::fromGameData(p.toGameData(), why), p);
    auto refused = [&](int field, uint32_t value) {
        auto f = p.toGameData();
        f[size_t(field)] = value;
        return !NetPuzzle::fromGameData(f, why);
    };
    EXPECT_TRUE(refused(6, 0));           // no columns
    EXPECT_TRUE(refused(7, 0xFFFFFFFF));  // rows beyond any puzzle
    EXPECT_TRUE(refused(6, 4001));        // more than 4000 pieces
    EXPECT_TRUE(refused(8, 4));           // pieces narrower than a pixel
    EXPECT_TRUE(refused(9, 0));
    EXPECT_TRUE(refused(5, 2));
    EXPECT_TRUE(refused(2, 9));
    EXPECT_FALSE(refused(7, 200));  // 5 x 200: a thin but real grid
}

TEST(NetPuzzle, TheHostsPlayAreaTravelsInTheFirstWordAndAnOddOneNamesNone) {
    NetPuzzle p{.columns = 5, .rows = 4, .pictureWidth = 300, .pictureHeight = 200};
    EXPECT_EQ(p.playArea(), std::nullopt);  // an older host's zero
    p.setPlayArea({1366, 768});
    std::string why;
    const std::optional<NetPuzzle> q = NetPuzzle::fromGameData(p.toGameData(), why);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->playArea(), (Point{1366, 768}));
    for (const Point odd : {Point{7681, 768}, Point{1366, 4321}, Point{100, 768}, Point{1366, 0}}) {
        p.setPlayArea(odd);
        EXPECT_EQ(p.playArea(), std::nullopt) << odd.x << " x " << odd.y;
    }
}

TEST(DisplayableText, ControlCharactersAndBrokenUtf8AreShownSafely) {
    EXPECT_EQ(displayableText("Zoë's game", 64), "Zoë's game");
    EXPECT_EQ(displayableText(std::string("a\nb\x7f", 4), 64), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(displayableText("\xC3", 64), "\xEF\xBF\xBD");          // cut short
    EXPECT_EQ(displayableText("\xC0\xAF", 64), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong
    EXPECT_EQ(displayableText("\xED\xA0\x80", 64).find("\xED"), std::string::npos);  // a surrogate
    EXPECT_EQ(displayableText("abcdef", 3), "abc");
}

// ------------------------------------------------------------ the flow

// A person at each dialog, scripted.
class Scripted final : public SetupFrontEnd {
public:
    std::string name = "Player";
    std::string picture;
    int pieces = 12;
    uint32_t gameType = kGameCooperative;
    std::atomic<uint16_t>* hostPort = nullptr;
    std::function<RoomResult(NetGameSetup&)> room;
    std::function<bool(NetGameSetup&)> sync;
    std::vector<std::string> messages;
    std::vector<std::string> downloadsOffered;
    int sessionsChosen = 0;

    std::optional<std::string> askPlayerName(const std::string&) override { return name; }
    std::optional<std::string> chooseConnection(const std::vector<std::string>& entries) override {
        return entries.front();
    }
    bool editCreateGame(CreateGameForm& form) override {
        form.gameType = gameType;
        form.maxPlayers = 4;
        form.cheats = CreateGameForm::Cheats::Yes;
        return true;
    }
    std::optional<std::string> choosePicture() override { return picture; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool) override {
        return PieceCountChoice{.grid = rules.gridForTarget(pieces), .rotate = true};
    }
    std::optional<JoinTarget> chooseSession(JoinList&) override {
        if (sessionsChosen++ > 0) return std::nullopt;
        EXPECT_TRUE(test::waitUntil([&] { return hostPort->load() != 0; }));
        return JoinTarget{"127.0.0.1", hostPort->load()};
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption.empty() ? text : caption + ": " + text);
    }
    bool offerDownload(const std::string& hostPath, uint32_t, std::string&) override {
        downloadsOffered.push_back(hostPath);
        return false;
    }
    RoomResult runWaitingRoom(NetGameSetup& s) override { return room(s); }
    bool synchronise(NetGameSetup& s) override { return sync ? sync(s) : false; }
    std::function<void()> waited;
    void waitingClosed() override {
        if (waited) waited();
    }
};

// One machine: its headless game, the set-up and the scripted person.
struct Machine {
    explicit Machine(const std::string& name) : headless(game), setup(headless, person, prefs) {
        person.name = name;
        headless.attach(setup);
    }
    ~Machine() { setup.leave(); }
    HeadlessGame game{test::loopbackSettings()};
    HeadlessSetup headless;
    Scripted person;
    Preferences prefs;
    NetGameSetup setup;

    std::string dump(const std::string& path) {
        std::string error;
        EXPECT_TRUE(game.dump(path, error)) << error;
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

std::string writePicture(const std::string& name, int w, int h) {
    std::vector<uint8_t> rgb(size_t(w * h * 3));
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
    const std::string path = ::testing::TempDir() + "/" + std::to_string(getpid()) + "-" + name;
    EXPECT_TRUE(saveJpeg(path, w, h, 3, rgb));
    return path;
}

// The host starts once `players` are in and all ready; a player waits for
// BEGINGAME (ticking Ready first), leaving as Exit when kicked.
RoomResult hostRoom(NetGameSetup& s, size_t players, std::atomic<uint16_t>& port, NetLayer& layer) {
    port = layer.session()->listenPort();
    EXPECT_TRUE(test::waitUntil([&] {
        s.pump(5);
        return s.players().size() == players && s.allReady();
    }, 8000));
    EXPECT_EQ(s.begin(), std::nullopt);
    return RoomResult::Start;
}

// Waits until `players` are in the waiting room, each with the picture.
bool allInRoom(NetGameSetup& s, size_t players) {
    return test::waitUntil([&] {
        s.pump(5);
        const auto rows = s.players();
        return rows.size() == players && std::all_of(rows.begin(), rows.end(), [](const NetGameSetup::Player& p) {
                   return p.data.state == uint32_t(PlayerState::PictureLoaded);
               });
    });
}

RoomResult playerRoom(NetGameSetup& s) {
    s.setReady(true);
    test::waitUntil([&] {
        s.pump(5);
        return s.begun() || s.kicked();
    }, 8000);
    return s.begun() && !s.kicked() ? RoomResult::Start : RoomResult::Exit;
}

TEST(GameSetup, EveryMachineCutsTheSamePuzzleAndALatecomerIsSynchronised) {
    std::atomic<uint16_t> port{0};
    Machine host("Hana"), ann("Ann"), bob("Bob");
    // The host's screen is not the players': they cut in the host's area.
    host.game.setPlayArea({1280, 1024});
    host.person.picture = writePicture("same.jpg", 240, 160);
    host.person.pieces = 24;
    host.person.room = [&](NetGameSetup& s) { return hostRoom(s, 3, port, host.game.layer()); };
    for (Machine* m : {&ann, &bob}) {
        m->person.hostPort = &port;
        m->person.room = playerRoom;
    }
    bool started[3] = {};
    std::thread t0([&] { started[0] = host.setup.host(777); });
    std::thread t1([&] { started[1] = ann.setup.join(); });
    std::thread t2([&] { started[2] = bob.setup.join(); });
    t0.join();
    t1.join();
    t2.join();
    ASSERT_TRUE(started[0] && started[1] && started[2])
        << testing::PrintToString(host.person.messages) << testing::PrintToString(ann.person.messages);
    EXPECT_EQ(host.setup.step(), NetGameSetup::Step::Playing);
    EXPECT_EQ(ann.setup.options().seed, 777u);
    EXPECT_EQ(bob.setup.puzzle().rotation, 1u);
    EXPECT_EQ(ann.game.model().pieceCount(), 24);
    EXPECT_EQ(bob.game.model().geometry().playWidth, 1280);
    EXPECT_EQ(bob.game.model().geometry().playHeight, 1024);
    for (Machine* m : {&host, &ann, &bob})
        EXPECT_EQ(m->game.layer().localPlayerData().state, uint32_t(PlayerState::Playing));

    const std::string dir = ::testing::TempDir() + "/" + std::to_string(getpid());
    const std::string hostFile = host.dump(dir + "-host.gvp");
    EXPECT_EQ(ann.dump(dir + "-ann.gvp"), hostFile);
    EXPECT_EQ(bob.dump(dir + "-bob.gvp"), hostFile);

    // The game runs and is open again: a latecomer is handed to the
    // synchronisation, with the puzzle cut as everybody's was.
    Machine late("Lu");
    late.person.hostPort = &port;
    late.person.room = [](NetGameSetup&) -> RoomResult { ADD_FAILURE() << "a latecomer has no waiting room"; return RoomResult::Exit; };
    int synchronised = 0;
    late.person.sync = [&](NetGameSetup& s) {
        ++synchronised;
        EXPECT_EQ(s.step(), NetGameSetup::Step::Synchronising);
        SyncReceiver& receiver = late.headless.transfers().syncReceiver();
        receiver.start();
        test::waitUntil([&] {
            s.pump(5);
            return receiver.finished();
        });
        return receiver.status().phase == SyncReceiver::Phase::Finished;
    };
    // Ann holds a piece while the latecomer catches up: it learns who.
    std::atomic<bool> idling{true};
    std::thread hostIdle([&] {
        while (idling) host.game.idle(20);
    });
    ASSERT_EQ(ann.game.senders().requestPickup(ListId::Main, 5), 1);
    EXPECT_TRUE(late.setup.join()) << testing::PrintToString(late.person.messages);
    idling = false;
    hostIdle.join();
    EXPECT_TRUE(late.setup.latecomer());
    EXPECT_EQ(synchronised, 1);
    const PlayerTable table = late.game.layer().playerTable();
    EXPECT_EQ(late.game.layer().holders().holderOf(5, table), table.slotOf(ann.game.layer().localPlayerId(), false));
    EXPECT_EQ(late.dump(dir + "-late.gvp"), hostFile);
    ann.game.senders().sendUnselect(ListId::Main, -1);

    // The running game is found by its address, as the join dialog lists it.
    JoinList list;
    ASSERT_TRUE(list.addByAddress(test::loopbackSettings(), "127.0.0.1"));
    EXPECT_EQ(list.names(), std::vector<std::string>{"Hana"});
    const auto lines = sessionInfoLines(&list.entries()[0].desc);
    EXPECT_EQ(lines[1], "Current Players: 4");
    EXPECT_EQ(lines[4], "Rotated Pieces: On");
    EXPECT_EQ(lines[5], "Cheats Allowed: Arrange, Solve, Find by Color, Find Edges, Find Nearby Pieces, Puzzle Outline");

    // Exit waits while a player is still catching up (its state says so),
    // then leaves.
    auto publishState = [&](PlayerState state) {
        PlayerData d = late.game.layer().localPlayerData();
        d.state = uint32_t(state);
        late.game.layer().setLocalPlayerData(d);
    };
    publishState(PlayerState::Synchronising);
    ASSERT_TRUE(test::waitUntil([&] { return anyPlayerSynchronising(host.game.layer()); }));
    EXPECT_FALSE(host.setup.exitGame());
    EXPECT_TRUE(host.game.layer().sessionOpen());
    EXPECT_EQ(host.person.messages.back().rfind("There are players joining", 0), 0u);
    publishState(PlayerState::Playing);
    ASSERT_TRUE(test::waitUntil([&] { return !anyPlayerSynchronising(host.game.layer()); }));
    EXPECT_TRUE(host.setup.exitGame());
    EXPECT_FALSE(host.game.layer().sessionOpen());
}

TEST(GameSetup, TheWindowAndAHeadlessPlayerCutTheSamePuzzle) {
    ScriptedPlatform platform;
    Random random(4);
    GameSession session(SessionOptions{"", 1024, 768}, platform, random);
    std::atomic<NetGameLink*> linked{nullptr};
    std::atomic<SessionSetup*> listening{nullptr};
    NetHooks hooks;
    hooks.dispatch = [&](bool) {
        if (NetGameLink* l = linked.load()) l->dispatchServer();
    };
    hooks.becameHost = [&] {
        if (SessionSetup* s = listening.load()) s->becameHost();
    };
    hooks.systemMessage = [&](const Received& r) {
        if (SessionSetup* s = listening.load()) s->systemMessage(r);
    };
    NetLayer layer(hooks);
    layer.setSettings(test::loopbackSettings());
    NetGameLink link(session, layer);
    linked = &link;
    SessionSetup window(session, layer, link);
    Scripted person;
    Preferences prefs;
    NetGameSetup setup(window, person, prefs);
    window.attach(setup);
    listening = &window;

    // A headless host with a larger play area than the joining window's.
    std::atomic<uint16_t> port{0};
    Machine ann("Ann");
    ann.person.picture = writePicture("window.jpg", 200, 150);
    ann.person.pieces = 20;
    ann.person.room = [&](NetGameSetup& s) { return hostRoom(s, 2, port, ann.game.layer()); };
    person.hostPort = &port;
    person.room = playerRoom;
    bool started[2] = {};
    std::thread t1([&] { started[1] = ann.setup.host(31337); });
    started[0] = setup.join();
    t1.join();
    ASSERT_TRUE(started[0] && started[1]) << (platform.messages.empty() ? std::string() : platform.messages.front().text);
    const PuzzleModel& a = session.model();
    const PuzzleModel& b = ann.game.model();
    ASSERT_EQ(a.pieceCount(), b.pieceCount());
    EXPECT_EQ(a.geometry().playWidth, HeadlessGame::kPlayWidth);
    EXPECT_EQ(session.document().playHeight(), HeadlessGame::kPlayHeight);
    for (int32_t p = 0; p < a.pieceCount(); ++p) {
        EXPECT_EQ(a.piece(p).x, b.piece(p).x) << p;
        EXPECT_EQ(a.piece(p).y, b.piece(p).y) << p;
        EXPECT_EQ(a.piece(p).rotation, b.piece(p).rotation) << p;
    }
    // The game's options and seed are in both records.
    const auto mine = session.document().record().encode(), theirs = ann.game.record().encode();
    EXPECT_TRUE(std::equal(mine.begin() + 1072, mine.begin() + 1256, theirs.begin() + 1072));
    EXPECT_EQ(session.document().record().networkSeed, 31337u);
    setup.leave();
    linked = nullptr;
    listening = nullptr;
}

TEST(GameSetup, JoiningIsClosedFromStartUntilTheHostHasCut) {
    std::atomic<uint16_t> port{0};
    Machine host("Hana"), ann("Ann"), late("Lu");
    host.person.picture = writePicture("closed.jpg", 120, 90);
    host.person.pieces = 6;
    host.person.gameType = kGameCompetitive;
    ann.person.hostPort = late.person.hostPort = &port;
    bool lateJoined = true;
    std::atomic<bool> refused{false};
    int rooms = 0;
    host.person.room = [&](NetGameSetup& s) {
        port = host.game.layer().session()->listenPort();
        EXPECT_TRUE(test::waitUntil([&] {
            s.pump(5);
            return s.players().size() == 2;
        }));
        // Competitive: Start waits for Ready boxes, not only downloads; the
        // refusal is shown and the room opens again.
        if (rooms++ == 0) return RoomResult::Start;
        EXPECT_EQ(host.person.messages, std::vector<std::string>{"You must wait for everybody to check their Ready box"});
        refused = true;
        EXPECT_TRUE(test::waitUntil([&] {
            s.pump(5);
            return s.allReady();
        }));
        EXPECT_EQ(s.begin(), std::nullopt);
        // Started, not yet cut: the latecomer is refused.
        lateJoined = late.setup.join();
        return RoomResult::Start;
    };
    ann.person.room = [&](NetGameSetup& s) {
        EXPECT_TRUE(test::waitUntil([&] {
            s.pump(5);
            return refused.load();
        }));
        // A team given by a lobby stays through every Ready tick and after the cut.
        PlayerData teamed = ann.game.layer().localPlayerData();
        teamed.setTeam(2);
        ann.game.layer().setLocalPlayerData(teamed);
        // A slow machine: BEGINGAME waits unread while the host cuts, and
        // the Ready tick of the room must not count as done with the cut.
        s.setReady(true);
        EXPECT_TRUE(test::waitUntil([&] { return host.setup.step() == NetGameSetup::Step::WaitingForOthers; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return playerRoom(s);
    };
    NetGameSetup::Step annWhenHostStarted = NetGameSetup::Step::Idle;
    host.person.waited = [&] { annWhenHostStarted = ann.setup.step(); };
    bool started[2] = {};
    std::thread t0([&] { started[0] = host.setup.host(5); });
    std::thread t1([&] { started[1] = ann.setup.join(); });
    t0.join();
    t1.join();
    EXPECT_TRUE(started[0] && started[1]);
    EXPECT_EQ(ann.game.layer().localPlayerData().team(), 2u);
    EXPECT_TRUE(ann.game.layer().localPlayerData().readyFlag());
    EXPECT_FALSE(lateJoined);
    EXPECT_TRUE(annWhenHostStarted == NetGameSetup::Step::WaitingForOthers ||
                annWhenHostStarted == NetGameSetup::Step::Playing);
    EXPECT_EQ(late.person.messages, std::vector<std::string>{"Unable to Join game"});
    // A Competitive game stays closed after the cut as well.
    ASSERT_NE(host.game.layer().session(), nullptr);
    EXPECT_TRUE(host.game.layer().session()->desc().flags & kSessionJoinDisabled);
}

TEST(GameSetup, KickedPlayerIsToldAndLeavesAndAMissingPictureEndsTheJoin) {
    std::atomic<uint16_t> port{0};
    Machine host("Hana"), ann("Sam"), bob("Sam");
    const std::string picture = writePicture("kick.jpg", 120, 90);
    host.person.picture = picture;
    host.person.pieces = 6;
    ann.person.hostPort = bob.person.hostPort = &port;
    uint32_t bobId = 0;
    std::atomic<bool> hostDone{false};
    host.person.room = [&](NetGameSetup& s) {
        port = host.game.layer().session()->listenPort();
        EXPECT_TRUE(allInRoom(s, 3));
        // Two players called Sam: the second row's is the one removed.
        const auto rows = s.players();
        bobId = bob.game.layer().localPlayerId();
        const int bobSlot = rows[1].id == bobId ? rows[1].slot : rows[2].slot;
        EXPECT_TRUE(s.kick(bobSlot));
        EXPECT_FALSE(s.kick(0));  // never the host
        EXPECT_TRUE(test::waitUntil([&] {
            s.pump(5);
            return s.players().size() == 2;
        }));
        hostDone = true;
        return RoomResult::Exit;
    };
    ann.person.room = bob.person.room = [&](NetGameSetup& s) {
        test::waitUntil([&] {
            s.pump(5);
            return s.kicked() || hostDone;
        }, 8000);
        return RoomResult::Exit;
    };
    bool started[3] = {true, true, true};
    std::thread t0([&] { started[0] = host.setup.host(5); });
    std::thread t1([&] { started[1] = ann.setup.join(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::thread t2([&] { started[2] = bob.setup.join(); });
    t0.join();
    t1.join();
    t2.join();
    EXPECT_FALSE(started[0] || started[1] || started[2]);
    EXPECT_EQ(bob.person.messages, std::vector<std::string>{"Das Boot: The host has kicked you out of the game."});
    EXPECT_TRUE(ann.person.messages.empty());
    EXPECT_FALSE(bob.game.layer().sessionOpen());
    EXPECT_EQ(bob.setup.step(), NetGameSetup::Step::Ended);

    // The host's picture is not where its path says: the download is
    // offered, and refusing it ends the join with the message.
    Machine host2("Hana"), cat("Cat");
    host2.person.picture = writePicture("gone.jpg", 120, 90);
    host2.person.pieces = 6;
    cat.person.hostPort = &port;
    port = 0;
    host2.person.room = [&](NetGameSetup& s) {
        std::remove(host2.person.picture.c_str());
        port = host2.game.layer().session()->listenPort();
        test::waitUntil([&] {
            s.pump(5);
            return cat.setup.step() == NetGameSetup::Step::Ended;
        });
        return RoomResult::Exit;
    };
    std::thread t3([&] { host2.setup.host(5); });
    EXPECT_FALSE(cat.setup.join());
    t3.join();
    EXPECT_EQ(cat.person.downloadsOffered, std::vector<std::string>{host2.person.picture});
    EXPECT_EQ(cat.person.messages, std::vector<std::string>{document_text::kImageNotFound});
}

TEST(GameSetup, APlayerKickedOrLeftAloneDuringPlayIsToldTheGameEnded) {
    std::atomic<uint16_t> port{0};
    Machine host("Hana"), ann("Ann"), bob("Bob");
    host.person.picture = writePicture("ended.jpg", 120, 90);
    host.person.pieces = 6;
    host.person.room = [&](NetGameSetup& s) { return hostRoom(s, 3, port, host.game.layer()); };
    for (Machine* m : {&ann, &bob}) {
        m->person.hostPort = &port;
        m->person.room = playerRoom;
    }
    bool started[3] = {};
    std::thread t0([&] { started[0] = host.setup.host(9); });
    std::thread t1([&] { started[1] = ann.setup.join(); });
    std::thread t2([&] { started[2] = bob.setup.join(); });
    t0.join();
    t1.join();
    t2.join();
    ASSERT_TRUE(started[0] && started[1] && started[2]);
    for (Machine* m : {&host, &ann, &bob}) EXPECT_EQ(m->setup.endedFromOutside(), std::nullopt);

    std::atomic<bool> hostIdling{true};
    std::thread hostIdle([&] {
        while (hostIdling) host.game.idle(20);
    });
    int bobSlot = -1;
    for (const NetGameSetup::Player& p : host.setup.players())
        if (p.id == bob.game.layer().localPlayerId()) bobSlot = p.slot;
    ASSERT_TRUE(host.setup.kick(bobSlot));
    std::optional<NetGameSetup::Ending> ended;
    EXPECT_TRUE(test::waitUntil([&] {
        bob.game.idle(5);
        return (ended = bob.setup.endedFromOutside()).has_value();
    }));
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->text, setup_text::kKicked);
    EXPECT_EQ(ended->caption, setup_text::kKickCaption);
    bob.setup.leave();
    EXPECT_TRUE(test::waitUntil([&] { return host.setup.players().size() == 2; }));
    ann.game.idle(50);
    EXPECT_EQ(ann.setup.endedFromOutside(), std::nullopt);

    // The host goes: Ann takes over a game nobody else is left in.
    hostIdling = false;
    hostIdle.join();
    host.game.layer().vanish();
    EXPECT_TRUE(test::waitUntil([&] {
        ann.game.idle(5);
        return (ended = ann.setup.endedFromOutside()).has_value();
    }, 15000));
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->text, setup_text::kHostLost);
    EXPECT_TRUE(ann.setup.isHost());
}

TEST(GameSetup, TeamCompetitiveNewcomersEvenTheTeamsAndEachPickReachesEveryone) {
    std::atomic<uint16_t> port{0};
    Machine host("Hana"), ann("Ann"), bob("Bob");
    host.person.picture = writePicture("teams.jpg", 120, 90);
    host.person.pieces = 6;
    host.person.gameType = kGameTeamCompetitive;
    ann.person.hostPort = bob.person.hostPort = &port;
    auto teamOf = [](NetGameSetup& s, const Machine& m) {
        for (const NetGameSetup::Player& p : s.players())
            if (p.id == const_cast<Machine&>(m).game.layer().localPlayerId()) return p.data.team();
        return 99u;
    };
    std::atomic<bool> done{false}, recorded{false};
    std::atomic<uint32_t> hostSeesBob{0}, annSeesBob{0};
    uint32_t arrived[3] = {};
    host.person.room = [&](NetGameSetup& s) {
        port = host.game.layer().session()->listenPort();
        EXPECT_TRUE(allInRoom(s, 3));
        EXPECT_TRUE(test::waitUntil([&] {
            s.pump(5);
            return teamOf(s, bob) == 1 || teamOf(s, bob) == 2;
        }));
        arrived[0] = teamOf(s, host), arrived[1] = teamOf(s, ann), arrived[2] = teamOf(s, bob);
        recorded = true;
        test::waitUntil([&] {
            s.pump(5);
            return teamOf(s, bob) == 2;
        });
        hostSeesBob = teamOf(s, bob);
        test::waitUntil([&] {
            s.pump(5);
            return annSeesBob != 0;
        });
        done = true;
        return RoomResult::Exit;
    };
    ann.person.room = [&](NetGameSetup& s) {
        test::waitUntil([&] {
            s.pump(5);
            return done || hostSeesBob == 2;
        }, 8000);
        test::waitUntil([&] {
            s.pump(5);
            return teamOf(s, bob) == 2;
        });
        annSeesBob = teamOf(s, bob);
        test::waitUntil([&] {
            s.pump(5);
            return done.load();
        });
        return RoomResult::Exit;
    };
    bob.person.room = [&](NetGameSetup& s) {
        test::waitUntil([&] {
            s.pump(5);
            return recorded.load();
        });
        EXPECT_FALSE(s.setTeam(3));
        EXPECT_TRUE(s.setTeam(2));
        test::waitUntil([&] {
            s.pump(5);
            return done.load();
        }, 8000);
        return RoomResult::Exit;
    };
    std::thread t0([&] { host.setup.host(5); });
    std::thread t1([&] { ann.setup.join(); });
    // Ann is in the room with her team before Bob comes.
    EXPECT_TRUE(test::waitUntil([&] { return ann.setup.step() == NetGameSetup::Step::WaitingRoom; }));
    std::thread t2([&] { bob.setup.join(); });
    t0.join();
    t1.join();
    t2.join();
    EXPECT_EQ(arrived[0], 1u);
    EXPECT_EQ(arrived[1], 2u);
    EXPECT_EQ(arrived[2], 1u);
    EXPECT_EQ(hostSeesBob, 2u);
    EXPECT_EQ(annSeesBob, 2u);
}

TEST(GameSetup, HostVanishingInTheWaitingRoomHandsOverToANewHost) {
    std::atomic<uint16_t> port{0};
    Machine host("Hana"), ann("Ann"), bob("Bob");
    host.person.picture = writePicture("vanish.jpg", 120, 90);
    host.person.pieces = 6;
    host.person.gameType = kGameCompetitive;
    ann.person.hostPort = bob.person.hostPort = &port;
    host.person.room = [&](NetGameSetup& s) {
        port = host.game.layer().session()->listenPort();
        // Everybody is in the room (has the picture) when the host goes.
        EXPECT_TRUE(allInRoom(s, 3));
        host.game.layer().vanish();
        return RoomResult::Exit;
    };
    std::atomic<int> heard{0};
    struct Seen {
        bool newHost = false, host = false, ready = false, open = false;
    } seen[2];
    auto room = [&](int who) {
        return [&, who](NetGameSetup& s) {
            Seen& me = seen[who];
            test::waitUntil([&] {
                s.pump(5);
                for (SetupEvent e : s.takeEvents())
                    if (e == SetupEvent::NewHost && !me.newHost) {
                        me.newHost = true;
                        ++heard;
                    }
                return heard == 2;
            }, 15000);
            me.host = s.isHost();
            me.ready = s.players().front().data.ready == 1;
            Session* session = (who == 0 ? ann : bob).game.layer().session();
            me.open = session && !(session->desc().flags & kSessionJoinDisabled);
            // The new host stays until the other has heard of it.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return RoomResult::Exit;
        };
    };
    ann.person.room = room(0);
    bob.person.room = room(1);
    std::thread t0([&] { host.setup.host(5); });
    std::thread t1([&] { ann.setup.join(); });
    std::thread t2([&] { bob.setup.join(); });
    t0.join();
    t1.join();
    t2.join();
    ASSERT_TRUE(seen[0].newHost && seen[1].newHost);
    ASSERT_NE(seen[0].host, seen[1].host);  // exactly one took over
    const Seen& now = seen[0].host ? seen[0] : seen[1];
    const Seen& other = seen[0].host ? seen[1] : seen[0];
    // A Competitive game's host counts as ready; the others tick their own box.
    EXPECT_TRUE(now.ready);
    EXPECT_FALSE(other.ready);
    EXPECT_TRUE(now.open);
}

}  // namespace
}  // namespace pavalo::net
