// The set-up flow at the window: a host whose dialogs are the real windows
// (player name, connection, create, waiting room, the wait for the others)
// and a player on another thread, over loopback. The host's name window,
// connection list and create window are answered, the waiting room shows
// the player, Start begins the game on both machines.
// PAVALO_SCREENSHOTS=DIR saves the host's waiting room there.
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <thread>
#include <unistd.h>

#include "app/net_dialogs_qt.h"
#include "app/net_setup_front_end.h"
#include "media/jpeg_writer.h"
#include "net/headless_setup.h"
#include "platform/scripted_platform.h"
#include "tests/net/scripted_person.h"

using namespace pavalo;
using namespace pavalo::net;

class NetSetupWindowTest : public QObject {
    Q_OBJECT

private slots:
    void hostStartsFromTheWaitingRoomWindow() {
        std::vector<uint8_t> rgb(160 * 120 * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 13 / 7);
        const std::string picture = QDir::tempPath().toStdString() + "/" + std::to_string(getpid()) + "-window.jpg";
        QVERIFY(saveJpeg(picture, 160, 120, 3, rgb));

        ScriptedPlatform platform;
        HeadlessGame hostGame{test::loopbackSettings()};
        HeadlessSetup hostHeadless(hostGame);
        ChatRouter chat;
        QtSetupFrontEnd::Hooks hooks;
        hooks.choosePicture = [&] { return std::optional<std::string>(picture); };
        hooks.askPieceCount = [](const PieceCountRules& rules, bool) {
            return std::optional<PieceCountChoice>(PieceCountChoice{.grid = rules.gridForTarget(6), .rotate = false});
        };
        QtSetupFrontEnd front(nullptr, platform, hostGame.layer(), &chat, hooks);
        Preferences hostPrefs;
        NetGameSetup host(hostHeadless, front, hostPrefs);
        hostHeadless.attach(host);

        // The guest joins once the host listens and waits for BEGINGAME.
        std::atomic<uint16_t> port{0};
        HeadlessGame guestGame{test::loopbackSettings()};
        HeadlessSetup guestHeadless(guestGame);
        test::Person guest;
        guest.name = "Guest";
        guest.hostPort = &port;
        Preferences guestPrefs;
        NetGameSetup guestSetup(guestHeadless, guest, guestPrefs);
        guestHeadless.attach(guestSetup);
        guest.room = [&](NetGameSetup& s) {
            test::waitUntil([&] {
                s.pump(5);
                return s.begun() || s.kicked();
            }, 10000);
            return s.begun() ? RoomResult::Start : RoomResult::Exit;
        };
        bool guestStarted = false;
        std::thread guestThread;

        // The host's person: answers each window as it comes up.
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
                QCOMPARE(create->sessionEdit()->text(), QString("Hana"));
                create->okButton()->click();
            } else if (auto* room = qobject_cast<WaitingRoomWindow*>(w)) {
                if (!seen.contains("room")) {
                    seen << "room";
                    port = hostGame.layer().session()->listenPort();
                    guestThread = std::thread([&] { guestStarted = guestSetup.join(); });
                }
                QVERIFY(room->startButton()->isEnabled());
                if (room->list(0)->item(1, 0)->text() != "Guest" || started) return;
                started = true;
                if (const QByteArray dir = qgetenv("PAVALO_SCREENSHOTS"); !dir.isEmpty())
                    room->grab().save(QString::fromUtf8(dir) + "/waiting_room_live.png");
                room->startButton()->click();
            }
        });
        person.start(20);
        const bool hostStarted = host.host(21);
        person.stop();
        if (guestThread.joinable()) guestThread.join();

        QCOMPARE(seen, (QStringList{"name", "connection", "create", "room"}));
        QVERIFY(hostStarted);
        QVERIFY(guestStarted);
        QCOMPARE(host.step(), NetGameSetup::Step::Playing);
        QCOMPARE(guestSetup.step(), NetGameSetup::Step::Playing);
        QCOMPARE(PreferencesRecord::text(hostPrefs.record.playerName), std::string("Hana"));
        QVERIFY(platform.messages.empty());
        guestSetup.leave();
        host.leave();
        std::remove(picture.c_str());
    }
};

QTEST_MAIN(NetSetupWindowTest)
#include "net_setup_window_test.moc"
