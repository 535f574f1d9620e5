// The window started by a lobby: launched with the lobby's arguments against
// a lobby and an HTTP server in this process, it asks the lobby for the
// settings, downloads the picture while the progress window counts the
// bytes, cuts the lobby's puzzle and hosts the game without the start
// dialog; a lobby-launched headless bot joins and plays, and the lobby's
// status queries are answered with the growing counts. Abort in the
// progress window stops the start with nothing opened and nothing saved.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <mutex>
#include <sstream>
#include <thread>

#include "app/application.h"
#include "app/finish_panel.h"
#include "app/lobby_progress_window.h"
#include "app/network_game.h"
#include "app/network_play.h"
#include "media/jpeg_writer.h"
#include "net/lobby_connection.h"
#include "net/headless_game.h"
#include "net/lobby_player.h"
#include "net/picture_download.h"
#include "tests/net/http_test_server.h"
#include "tests/net/rig.h"

using namespace pavalo;
using namespace pavalo::net;

namespace {

std::string jpegBytes(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width * height * 3));
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7 + i / 97);
    const std::vector<uint8_t> b = encodeJpeg(width, height, 3, rgb);
    return std::string(b.begin(), b.end());
}

// A lobby in this process: it answers every settings request with its
// settings and asks the first program that connected (the window) for the
// standings every 200 ms, keeping the replies.
class TestLobby {
public:
    // `vanish`: the lobby closes the connection instead of answering.
    explicit TestLobby(LobbyGameSettings settings, bool vanish = false)
        : settings_(std::move(settings)), vanish_(vanish) {
        std::string why;
        listener_ = LobbyListener::listen("127.0.0.1", 0, why);
        if (listener_) thread_ = std::thread([this] { serve(); });
    }
    ~TestLobby() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool listening() const { return listener_ != nullptr; }
    LobbyAddress address() const { return {"127.0.0.1", listener_->port()}; }
    std::vector<LobbyStatus> statuses() const {
        std::lock_guard lock(mutex_);
        return statuses_;
    }

private:
    void serve() {
        std::vector<std::unique_ptr<LobbyConnection>> programs;
        auto nextPoll = std::chrono::steady_clock::now();
        while (!stop_) {
            if (auto c = listener_->accept(10)) programs.push_back(std::move(c));
            for (auto& c : programs) {
                std::string why;
                LobbyMessage m;
                LobbyConnection::Received r;
                while (c && (r = c->receive(m, 0, why)) == LobbyConnection::Received::Message) {
                    if (m.type == kLobbyPropertyRequest && vanish_) {
                        c.reset();
                        r = LobbyConnection::Received::Closed;
                        break;
                    }
                    if (m.type == kLobbyPropertyRequest)
                        c->send(lobbyPropertyResponse(m.requestId, settings_), why);
                    else if (m.type == kLobbyStatusReply) {
                        std::lock_guard lock(mutex_);
                        statuses_.push_back(m.status);
                    }
                }
                if (c && r != LobbyConnection::Received::Timeout) c.reset();
            }
            if (std::chrono::steady_clock::now() >= nextPoll && !programs.empty() && programs.front()) {
                std::string why;
                programs.front()->send(lobbyStatusQuery(), why);
                nextPoll = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            }
        }
    }

    LobbyGameSettings settings_;
    bool vanish_ = false;
    std::unique_ptr<LobbyListener> listener_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<LobbyStatus> statuses_;
    std::thread thread_;
};

LobbyGameSettings cooperativeSettings(const std::string& picture) {
    LobbyGameSettings s;
    s.gameType = kGameCooperative;
    s.sortingBoxes = 0;
    s.arrange = 1;
    s.solve = s.findNearby = s.findEdges = s.findByColour = s.puzzleOutline = 0;
    s.seed = 777;
    s.pieces = 6;
    s.rotatePieces = 0;
    s.picture = picture;
    return s;
}

LaunchOptions lobbyLaunch(const LobbyAddress& lobby) {
    LaunchOptions o;
    o.window = QSize(HeadlessGame::kPlayWidth, HeadlessGame::kPlayHeight);
    LobbyRole role;
    role.lobby = lobby;
    role.host = true;
    role.sessionName = "Friday Game";
    role.playerName = "Hana";
    o.lobby = role;
    o.net = net::test::loopbackSettings();
    return o;
}

}  // namespace

class LobbyStartTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;

private slots:
    void initTestCase() {
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toUtf8());
    }

    void theWindowHostsTheLobbysGameAndABotPlaysIt() {
        pavalo::test::HttpTestServer http;
        // The picture comes in two parts, so the window counts bytes a while.
        http.route("/hills.jpg", pavalo::test::HttpRoute::ok(jpegBytes(192, 128)).pausing(600, 500));
        TestLobby lobby(cooperativeSettings(http.url("/hills.jpg")));
        QVERIFY(lobby.listening());

        app_ = std::make_unique<Application>(lobbyLaunch(lobby.address()));
        QVERIFY(app_->start());
        QStringList texts;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<LobbyProgressWindow*>(w); progress && progress->isVisible())
                    if (texts.isEmpty() || texts.back() != progress->textLabel()->text())
                        texts << progress->textLabel()->text();
        });
        watch.start(10);
        QVERIFY(app_->runLobbyStart());
        watch.stop();

        // The download was counted from 0 up; the picture was saved where
        // the host serves it from.
        QVERIFY2(texts.contains(QString::fromStdString(downloadProgressText(0))), qPrintable(texts.join(" | ")));
        QVERIFY2(texts.contains(QString::fromStdString(downloadProgressText(600))), qPrintable(texts.join(" | ")));
        const std::string saved = app_->dataFolderPath() + "/" + std::string(kDownloadedPictureName);
        QVERIFY(QFileInfo::exists(QString::fromStdString(saved)));

        // The lobby's game runs in the window: its session name, seed and
        // piece count, the picture downloaded, no start dialog.
        NetworkPlay* play = app_->networkPlay();
        QVERIFY(play && play->playing());
        QCOMPARE(play->setup().options().sessionName, std::string("Friday Game"));
        QCOMPARE(play->setup().options().seed, 777u);
        QCOMPARE(play->setup().options().allowed[1], 1u);
        QCOMPARE(play->setup().picture(), saved);
        QCOMPARE(app_->model().pieceCount(), PieceCountRules(192, 128).gridForTarget(6).pieces());

        // A headless player started by the same lobby joins and plays.
        const int before = app_->networkGame()->layer().playerTable().inUseCount();
        LobbyPlayerOptions bot;
        bot.role.lobby = lobby.address();
        bot.role.host = false;
        bot.role.joinAddress = "127.0.0.1";
        bot.role.joinPort = app_->networkGame()->layer().session()->listenPort();
        bot.role.playerName = "Bot";
        bot.net = net::test::loopbackSettings();
        bot.seconds = 40;
        bot.rate = 0;
        std::atomic<int> botStatus{-1};
        std::ostringstream botOut, botErr;
        std::thread botThread([&] { botStatus = runLobbyBot(bot, botOut, botErr); });
        struct Join {
            std::thread& t;
            ~Join() {
                if (t.joinable()) t.join();
            }
        } join{botThread};

        QTRY_COMPARE_WITH_TIMEOUT(app_->networkGame()->layer().playerTable().inUseCount(), before + 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            !lobby.statuses().empty() && lobby.statuses().back().players.size() == size_t(before + 1), 5000);
        // The finish panel the completion opens is closed as a person would.
        bool finishShown = false;
        QTimer person;
        connect(&person, &QTimer::timeout, [&] {
            if (auto* panel = qobject_cast<FinishPanel*>(QApplication::activeModalWidget())) {
                finishShown = true;
                panel->reject();
            }
        });
        person.start(50);
        QTRY_COMPARE_WITH_TIMEOUT(app_->document().puzzleState(), kPuzzleStateCompleted, 40000);
        QTRY_VERIFY_WITH_TIMEOUT(finishShown, 5000);
        botThread.join();
        QVERIFY2(botStatus == 0, (botOut.str() + botErr.str()).c_str());

        // The status replies count the finished pieces as they grow.
        const uint32_t pieces = uint32_t(app_->model().pieceCount());
        QTRY_VERIFY_WITH_TIMEOUT(lobby.statuses().back().finishedPieces == pieces, 5000);
        const std::vector<LobbyStatus> seen = lobby.statuses();
        QCOMPARE(seen.back().pieces, pieces);
        QCOMPARE(seen.back().gameType, uint32_t(kGameCooperative));
        QVERIFY(seen.front().finishedPieces < pieces);

        app_->leaveNetworkGame();
        QVERIFY(!app_->networkGame()->layer().sessionOpen());
        app_.reset();
    }

    void abortStopsTheDownloadAndOpensNothing() {
        pavalo::test::HttpTestServer http;
        // Half the picture, then a long pause: Abort ends the wait.
        http.route("/slow.jpg", pavalo::test::HttpRoute::ok(jpegBytes(192, 128)).pausing(300, 20000));
        TestLobby lobby(cooperativeSettings(http.url("/slow.jpg")));
        QVERIFY(lobby.listening());

        app_ = std::make_unique<Application>(lobbyLaunch(lobby.address()));
        QVERIFY(app_->start());
        const std::string saved = app_->dataFolderPath() + "/" + std::string(kDownloadedPictureName);
        QFile::remove(QString::fromStdString(saved));
        bool pressed = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<LobbyProgressWindow*>(w);
                if (!progress || !progress->isVisible() || pressed) continue;
                if (progress->textLabel()->text() != QString::fromStdString(downloadProgressText(300))) continue;
                QVERIFY(progress->abortButton()->isVisible());
                pressed = true;
                progress->abortButton()->click();
            }
        });
        watch.start(10);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!app_->runLobbyStart());
        watch.stop();
        QVERIFY(pressed);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(!app_->networkPlay());
        QVERIFY(!app_->networkGame() || !app_->networkGame()->layer().sessionOpen());
        QVERIFY(!app_->document().hasPuzzle());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(saved)));
        app_.reset();
    }

    void aLobbyThatGoesAwayIsReported() {
        TestLobby lobby(cooperativeSettings("unused.jpg"), true);
        QVERIFY(lobby.listening());
        app_ = std::make_unique<Application>(lobbyLaunch(lobby.address()));
        QVERIFY(app_->start());
        QStringList shown;
        QTimer person;
        connect(&person, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                box->accept();
            }
        });
        person.start(20);
        QVERIFY(!app_->runLobbyStart());
        person.stop();
        QCOMPARE(shown, QStringList{kLobbyMessagesFailed});
        QVERIFY(!app_->networkPlay());
        app_.reset();
    }

    void cleanupTestCase() { app_.reset(); }
};

QTEST_MAIN(LobbyStartTest)
#include "lobby_start_test.moc"
