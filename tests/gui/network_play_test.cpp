// The window hosts a network game from the start: its own dialogs (player
// name, connection, create, the library picture, the piece count, the
// waiting room) answered as a person would, while a headless player in this
// process joins a cooperative game, chats and moves a piece once it starts.
// The window shows the move, the standings window lists both players and
// carries the chat. PAVALO_SCREENSHOTS=DIR saves the window with its
// standings there.
#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "app/application.h"
#include "app/frame_controller.h"
#include "app/game_window.h"
#include "app/net_dialogs_qt.h"
#include "app/network_game.h"
#include "app/network_play.h"
#include "app/piece_count_dialog.h"
#include "app/select_image_dialog.h"
#include "net/headless_setup.h"
#include "platform/scripted_platform.h"
#include "shell/registry.h"
#include "tests/net/scripted_person.h"

using namespace pavalo;
using namespace pavalo::net;

namespace {

// The host's library, made as a player would with the chooser's buttons.
struct LibraryDialogs : SelectImageFrontEnd {
    std::vector<std::string> pictures;
    std::optional<NewLibraryAnswer> askCreateLibrary() override { return NewLibraryAnswer{"Shared", ""}; }
    std::optional<size_t> askRemoveLibrary(const std::vector<std::string>&) override { return std::nullopt; }
    bool askPassword(PasswordPrompt&) override { return false; }
    std::vector<std::string> pickPictures(std::string_view, std::string_view, std::string_view, bool) override {
        return std::exchange(pictures, {});
    }
};

}  // namespace

class NetworkPlayTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;

private slots:
    void theWindowHostsAndShowsTheJoinedPlayer() {
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toUtf8());
        LaunchOptions o;
        o.window = QSize(HeadlessGame::kPlayWidth, HeadlessGame::kPlayHeight);
        app_ = std::make_unique<Application>(o);
        QVERIFY(app_->start());
        app_->setNetSettings(test::loopbackSettings());
        {
            ScriptedPlatform platform;
            Registry registry(defaultRegistryPath());
            LibraryDialogs dialogs;
            dialogs.pictures = {std::string(PAVALO_SAMPLE_DIR) + "/stained-glass.bmp"};
            SelectImageDialog library(nullptr, platform, registry, app_->dataFolderPath(), app_->dataFolderPath(), 24,
                                      &dialogs);
            library.start({});
            library.model().createLibrary();
            library.model().addImage();
            QCOMPARE(library.model().imageCount(), 1);
            PreferencesRecord::setText(app_->preferences().record.lastLibrary, library.openLibrary());
        }

        // The joining player, on its own thread: ready in the room, then,
        // once the game runs, a chat line and one piece moved 90 right, 50 down.
        std::atomic<uint16_t> port{0};
        std::atomic<bool> stop{false};
        HeadlessGame botGame{test::loopbackSettings()};
        HeadlessSetup botHeadless(botGame);
        test::Person bot;
        bot.name = "Bot";
        bot.hostPort = &port;
        Preferences botPrefs;
        NetGameSetup botSetup(botHeadless, bot, botPrefs);
        botHeadless.attach(botSetup);
        bot.room = [&](NetGameSetup& s) {
            s.setReady(true);
            test::waitUntil([&] {
                s.pump(5);
                return s.begun() || s.kicked() || stop;
            }, 15000);
            return s.begun() ? RoomResult::Start : RoomResult::Exit;
        };
        std::atomic<int> botStep{0};
        std::atomic<int32_t> movedPiece{-1};
        std::atomic<int32_t> toX{0}, toY{0};
        std::thread botThread;
        // However the test ends, the player's thread ends with it.
        struct EndBot {
            std::thread& thread;
            std::atomic<bool>& stop;
            ~EndBot() {
                stop = true;
                if (thread.joinable()) thread.join();
            }
        } endBot{botThread, stop};

        QStringList seen;
        bool started = false;
        QTimer person;
        connect(&person, &QTimer::timeout, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w) return;
            if (auto* name = qobject_cast<PlayerNameWindow*>(w)) {
                seen << "name";
                name->nameEdit()->setText("Hana");
                emit name->nameEdit()->textEdited("Hana");
                name->accept();
            } else if (auto* connection = qobject_cast<QInputDialog*>(w)) {
                seen << "connection";
                connection->accept();
            } else if (auto* create = qobject_cast<CreateGameWindow*>(w)) {
                seen << "create";
                create->typeButton(int(kGameCooperative))->click();
                create->okButton()->click();
            } else if (auto* chooser = qobject_cast<SelectImageDialog*>(w)) {
                seen << "picture";
                chooser->model().clickGrid(20, 20);
                chooser->model().ok();
                chooser->sync();
            } else if (auto* count = qobject_cast<PieceCountDialog*>(w)) {
                seen << "pieces";
                count->accept();
            } else if (auto* room = qobject_cast<WaitingRoomWindow*>(w)) {
                if (!seen.contains("room")) {
                    seen << "room";
                    port = app_->networkGame()->layer().session()->listenPort();
                    botThread = std::thread([&] {
                        if (!botSetup.join()) return;
                        botStep = 1;
                        botGame.senders().sendChat("hello from the bot");
                        while (botStep.load() == 1 && !stop) botGame.idle(10);
                        const int32_t piece = movedPiece.load();
                        if (piece >= 0 && botGame.senders().requestPickup(ListId::Main, piece) == 1) {
                            PuzzleModel& theirs = botGame.model();
                            const int32_t x = theirs.piece(piece).x + 90, y = theirs.piece(piece).y + 50;
                            toX = x, toY = y;
                            theirs.moveGroup(ListId::Main, piece, x - 40, y - 20);
                            botGame.senders().sendMove(ListId::Main, piece, x - 40, y - 20);
                            botGame.idle(150);
                            theirs.moveGroup(ListId::Main, piece, x, y);
                            botGame.senders().sendMove(ListId::Main, piece, x, y);
                            botGame.idle(150);
                            botGame.senders().sendDrop(ListId::Main, piece);
                        }
                        botStep = 3;
                        while (!stop) botGame.idle(10);
                    });
                }
                if (room->list(0)->rowCount() < 2 || !room->list(0)->item(1, 0) ||
                    room->list(0)->item(1, 0)->text() != "Bot" || started)
                    return;
                // Cooperative: no Ready boxes to tick.
                if (!room->readyBox(0)->isHidden()) return;
                started = true;
                room->startButton()->click();
            }
        });
        person.start(30);
        const bool hostStarted = app_->runNetworkGame(true, 21);
        person.stop();

        QCOMPARE(seen, (QStringList{"name", "connection", "create", "picture", "pieces", "room"}));
        QVERIFY(hostStarted);
        NetworkPlay* play = app_->networkPlay();
        QVERIFY(play && play->playing());
        QVERIFY(app_->document().hasPuzzle());
        QTRY_COMPARE_WITH_TIMEOUT(botStep.load(), 1, 10000);

        // Both players stand in the standings; the bot's line reached the
        // window's chat.
        StandingsWindow* standings = play->standingsWindow();
        QVERIFY(standings && standings->isVisible());
        auto listed = [&] {
            QStringList names;
            for (int i = 0; i < standings->standingsList()->count(); ++i)
                names << standings->standingsList()->item(i)->text().section(' ', 0, 0);
            return names;
        };
        QTRY_COMPARE_WITH_TIMEOUT(listed(), (QStringList{"Hana", "Bot"}), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(standings->chatOutput()->toPlainText().contains("Bot: hello from the bot"), 5000);

        // Groups the bot holds are outlined in its colour, the host's own not.
        const RendererState& drawn = app_->session().compositor().state();
        QVERIFY(drawn.multiplayer);
        QCOMPARE(drawn.localPlayer, 0);

        // A loose piece the bot moves: the window's model follows.
        PuzzleModel& model = app_->model();
        int32_t piece = -1;
        for (int32_t i = 0; i < model.pieceCount() && piece < 0; ++i)
            if (model.listOfPiece(i) == ListId::Main && model.piece(i).x > 200 && model.piece(i).x < 1500 &&
                model.piece(i).y > 200 && model.piece(i).y < 800)
                piece = i;
        QVERIFY(piece >= 0);
        movedPiece = piece;
        botStep = 2;
        QTRY_COMPARE_WITH_TIMEOUT(botStep.load(), 3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(model.piece(piece).x == toX.load() && model.piece(piece).y == toY.load(), 5000);

        if (const QByteArray dir = qgetenv("PAVALO_SCREENSHOTS"); !dir.isEmpty()) {
            QTest::qWait(600);
            app_->window().screen()->grabWindow(0).save(QString::fromUtf8(dir) + "/network_play.png");
        }

        // The menu's network entries stand before Exit while the game runs;
        // the document's New is off.
        auto ids = [&] {
            std::vector<uint32_t> out;
            for (const MenuItem& m : app_->frame().paletteMenu()) out.push_back(m.id);
            return out;
        };
        const std::vector<uint32_t> during = ids();
        const auto check = std::find(during.begin(), during.end(), menu_command::kCheckCompletion);
        QVERIFY(check != during.end() && check + 2 < during.end());
        QCOMPARE(check[1], frame_command::kIncomingMessages);
        QCOMPARE(check[2], menu_command::kExit);
        QVERIFY(app_->session().networkGame());

        stop = true;
        botThread.join();
        botSetup.leave();
        play->leave();
        QVERIFY(!app_->networkGame()->layer().sessionOpen());
        QVERIFY(!app_->session().networkGame());
        const std::vector<uint32_t> after = ids();
        QVERIFY(std::find(after.begin(), after.end(), frame_command::kIncomingMessages) == after.end());
    }

    void cleanupTestCase() { app_.reset(); }
};

QTEST_MAIN(NetworkPlayTest)
#include "network_play_test.moc"
