// The network game's windows bound to their models: player name, create
// (scroll bar, radios, Settings on a copy, refusals), join (list, lines,
// refusals), the waiting room (ready boxes, start, kick, chat, closing on
// the room's result), the standings window and the score dialog.
// PAVALO_SCREENSHOTS=DIR saves pictures of the waiting room and the
// standings window there.
#include "app/net_dialogs_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include "platform/scripted_platform.h"
#include "tests/net/fake_roster.h"

using namespace pavalo;
using net::test::FakeRoster;

namespace {

void saveShot(QWidget* w, const char* name) {
    const QByteArray dir = qgetenv("PAVALO_SCREENSHOTS");
    if (dir.isEmpty()) return;
    QTest::qWait(100);
    w->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

net::NetOptions options(uint32_t type) {
    net::NetOptions o;
    o.sessionName = "Friday Puzzle";
    o.maxPlayers = 8;
    o.gameType = type;
    o.allowed = {1, 1, 1, 0, 0, 1, 0};
    return o;
}

QImage previewPicture() {
    QImage img(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) img.setPixel(x, y, qRgb(x * 255 / 320, y * 255 / 240, 120));
    return img;
}

}  // namespace

class NetDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void playerNameIsCutToTheField() {
        net::PlayerNameDialog model("Ann");
        PlayerNameWindow w(nullptr, model);
        QCOMPARE(w.windowTitle(), QString("Enter Player Name"));
        QCOMPARE(w.nameEdit()->text(), QString("Ann"));
        w.nameEdit()->clear();
        QTest::keyClicks(w.nameEdit(), QString(70, 'z'));
        QCOMPARE(model.name(), std::string(63, 'z'));
        QCOMPARE(w.nameEdit()->text().size(), 63);
    }

    void createDialogBindsEveryControl() {
        using Cheats = net::CreateGameForm::Cheats;
        PreferencesRecord prefs;
        prefs.maxPlayers = 15;
        prefs.toolsAllowed = {0, 0, 0, 0, 0, 0};
        PreferencesRecord::setText(prefs.playerName, "Ann");
        net::CreateGameForm form = net::CreateGameForm::fromPreferences(prefs);
        ScriptedPlatform platform;
        int settingsRuns = 0;
        bool settingsOk = false;
        CreateGameWindow w(nullptr, form, platform, [&](QWidget*, std::array<bool, 6>& flags) {
            ++settingsRuns;
            flags[1] = true;  // Solve
            return settingsOk;
        });
        QCOMPARE(w.windowTitle(), QString("Create Net Game"));
        QCOMPARE(w.sessionEdit()->text(), QString("Ann"));
        QVERIFY(w.cheatsButton(Cheats::No)->isChecked());
        QVERIFY(w.boxesButton(false)->isChecked());
        QVERIFY(!w.settingsButton()->isEnabled());

        // Arrows and pages step by one, held to 2..16.
        for (auto a : {QAbstractSlider::SliderSingleStepSub, QAbstractSlider::SliderPageStepSub,
                       QAbstractSlider::SliderToMinimum})
            w.maxPlayersBar()->triggerAction(a);
        QCOMPARE(w.maxPlayersEdit()->text(), QString("16"));
        for (int i = 0; i < 20; ++i) w.maxPlayersBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(w.maxPlayersEdit()->text(), QString("2"));
        w.maxPlayersEdit()->clear();
        QTest::keyClicks(w.maxPlayersEdit(), "40");
        w.okButton()->click();
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QCOMPARE(platform.messages.back().text, std::string(net::kMsgMaxPlayersRange));
        w.maxPlayersEdit()->setText("5");
        w.maxPlayersBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(w.maxPlayersEdit()->text(), QString("6"));

        w.cheatsButton(Cheats::Advanced)->click();
        QVERIFY(w.settingsButton()->isEnabled());
        w.settingsButton()->click();  // cancelled: nothing changes
        QVERIFY(!form.tools[1]);
        settingsOk = true;
        w.settingsButton()->click();
        QCOMPARE(settingsRuns, 2);
        QVERIFY(form.tools[1]);
        w.typeButton(1)->click();
        w.boxesButton(true)->click();

        w.sessionEdit()->clear();
        w.okButton()->click();
        QCOMPARE(platform.messages.back().text, std::string(net::setup_text::kNeedSessionName));
        QVERIFY(w.result() != QDialog::Accepted);
        QTest::keyClicks(w.sessionEdit(), "Evening");
        w.okButton()->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        const net::NetOptions o = form.options(7);
        QCOMPARE(o.sessionName, std::string("Evening"));
        QCOMPARE(o.maxPlayers, 6u);
        QCOMPARE(o.gameType, net::kGameCompetitive);
        QCOMPARE(o.allowed, (std::array<uint32_t, 7>{1, 0, 1, 0, 0, 0, 0}));
    }

    void toolSettingsEditItsCopy() {
        const std::array<bool, 6> flags{true, false, false, false, false, true};
        ToolSettingsWindow w(nullptr, flags);
        QCOMPARE(w.windowTitle(), QString("Settings"));
        QVERIFY(w.box(0)->isChecked() && w.box(5)->isChecked() && !w.box(3)->isChecked());
        w.box(3)->click();
        w.box(0)->click();
        QCOMPARE(w.flags(), (std::array<bool, 6>{false, false, false, true, false, true}));
    }

    void joinDialogListsSessionsAndJoins() {
        std::vector<net::FoundSession> found(1);
        found[0].address = "127.0.0.1";
        found[0].port = 4000;
        found[0].desc.name = "Alpha";
        net::JoinList sessions;
        ScriptedPlatform platform;
        int refreshes = 0;
        JoinGameWindow w(nullptr, sessions, platform, [&](net::JoinList& list) {
            ++refreshes;
            list.update(found);
        });
        QCOMPARE(w.windowTitle(), QString("Join Net Game"));
        QCOMPARE(w.sessionList()->count(), 1);
        QCOMPARE(w.infoLine(0)->text(), QString("Max Players: "));
        w.joinButton()->click();
        QCOMPARE(platform.messages.back().text, std::string(net::setup_text::kSelectGameFirst));
        QVERIFY(w.result() != QDialog::Accepted);

        // A second session turns up; the first stays chosen.
        w.sessionList()->setCurrentRow(0);
        net::FoundSession beta;
        beta.address = "127.0.0.2";
        beta.port = 4001;
        beta.desc.name = std::string("Be\x01ta");
        beta.desc.maxPlayers = 5;
        beta.desc.currentPlayers = 2;
        beta.desc.user3 = 0x01;
        found.insert(found.begin(), beta);
        QTRY_COMPARE(w.sessionList()->count(), 2);
        QVERIFY(refreshes >= 2);
        QCOMPARE(w.sessionList()->currentRow(), 0);
        QCOMPARE(w.sessionList()->item(1)->text(), QString::fromUtf8("Be\xEF\xBF\xBDta"));
        w.sessionList()->setCurrentRow(1);
        QCOMPARE(w.infoLine(0)->text(), QString("Max Players: 4"));
        QCOMPARE(w.infoLine(1)->text(), QString("Current Players: 1"));
        QCOMPARE(w.infoLine(3)->text(), QString("Sorting Boxes: On"));
        QCOMPARE(w.infoLine(5)->text(), QString("Cheats Allowed: None"));
        w.joinButton()->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(w.target().address, std::string("127.0.0.2"));
        QCOMPARE(w.target().port, uint16_t(4001));
    }

    void cooperativeGuestHasNoReadyBoxesNorStart() {
        FakeRoster roster;
        roster.host = false;
        roster.me = 3;
        roster.add(3, "Guest");
        roster.add(2, "Host", {1, 0, 2, 0});
        ScriptedPlatform platform;
        net::WaitingRoom room(roster, roster, platform, options(net::kGameCooperative), false);
        room.open();
        WaitingRoomWindow w(nullptr, room, QImage());
        w.show();
        QCOMPARE(w.windowTitle(), QString("Waiting to Start"));
        QCOMPARE(w.title()->text(), QString("Welcome To Pavalo"));
        for (int r = 0; r < net::kRoomRows; ++r) QVERIFY(!w.readyBox(r)->isVisible());
        QVERIFY(!w.startButton()->isEnabled());
        QVERIFY(!w.kickButton()->isVisible());
        QVERIFY(w.list(0)->isColumnHidden(2));
        QCOMPARE(w.list(0)->item(1, 0)->text(), QString("Host"));
        QCOMPARE(w.optionLine(2)->text(), QString("Rotated Pieces:Off"));

        // BEGINGAME closes the window with result 1.
        room.beginGameArrived();
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(w.result(), 1);
    }

    void hostTicksStartsKicksAndChats() {
        FakeRoster roster;
        roster.add(2, "Host");
        roster.add(5, "Bob");
        roster.add(6, "Bob", {0, 0, 2, 0});
        for (uint32_t id = 7; id < 16; ++id) roster.add(id, "Player " + std::to_string(id), {1, 0, 2, 0});
        roster.player(5).data.ready = 1;
        roster.player(2).data.ready = 1;
        roster.refusals = {net::setup_text::kWaitForReady};
        ScriptedPlatform platform;
        for (size_t i = 0; i < roster.table.size(); ++i) roster.table[i].data.setTeam(uint32_t(i % 2 + 1));
        net::WaitingRoom room(roster, roster, platform, options(net::kGameTeamCompetitive), true);
        room.open();
        room.chat().chatLine("Bob", "ready when you are");
        WaitingRoomWindow w(nullptr, room, previewPicture());
        w.show();
        QVERIFY(!w.list(0)->isColumnHidden(2));
        QCOMPARE(w.list(1)->item(3, 0)->text(), QString("Player 15"));  // row 11
        QCOMPARE(w.teamBox(1)->currentText(), QString("2"));
        QVERIFY(w.teamBox(0)->isEnabled() && !w.teamBox(1)->isEnabled());
        QVERIFY(!w.teamBox(15)->isVisible());  // an empty row
        QVERIFY(w.readyBox(0)->isEnabled() && w.readyBox(0)->isChecked());
        QVERIFY(!w.readyBox(1)->isEnabled() && w.readyBox(1)->isChecked());
        QVERIFY(!w.readyBox(2)->isChecked());
        QVERIFY(!w.readyBox(14)->isEnabled() && !w.readyBox(14)->isChecked());
        QVERIFY(w.chatOutput()->toPlainText().contains("Bob: ready when you are"));
        saveShot(&w, "waiting_room");

        // The host moves to team 2: published through the room.
        emit w.teamBox(0)->activated(1);
        QCOMPARE(roster.teamCalls, std::vector<int>{2});
        QCOMPARE(w.teamBox(0)->currentText(), QString("2"));

        w.readyBox(0)->click();
        QVERIFY(!w.readyBox(0)->isChecked());
        w.readyBox(0)->click();
        QCOMPARE(roster.readyCalls, (std::vector<bool>{false, true}));

        w.startButton()->click();
        QCOMPARE(platform.messages.back().text, std::string(net::setup_text::kWaitForReady));
        QVERIFY(w.isVisible());

        // Kick the second Bob: row 2 in the left list.
        QVERIFY(!w.kickButton()->isEnabled());
        w.list(0)->selectRow(2);
        QVERIFY(w.kickButton()->isEnabled());
        w.kickButton()->click();
        QCOMPARE(roster.kicks, std::vector<uint32_t>{6});
        w.list(1)->selectRow(0);
        QCOMPARE(w.selectedRow(), 8);
        QVERIFY(w.list(0)->selectedItems().isEmpty());

        QTest::keyClicks(w.chatInput(), "hello all");
        QTest::keyClick(w.chatInput(), Qt::Key_Return);
        QCOMPARE(roster.chats, std::vector<std::string>{"hello all"});
        QVERIFY(w.chatInput()->text().isEmpty());
        QVERIFY(w.chatOutput()->toPlainText().contains("Host: hello all"));

        roster.table.erase(roster.table.begin() + 2);  // the second Bob leaves
        room.playersChanged();
        QTRY_COMPARE(w.list(0)->item(2, 0)->text(), QString("Player 7"));
        w.startButton()->click();
        QCOMPARE(w.result(), 1);
        QVERIFY(!w.isVisible());
    }

    void standingsWindowListsAndSendsChat() {
        FakeRoster roster;
        roster.add(2, "Host", {0, 40, 4, 0});
        roster.add(5, "Bob", {0, 100, 4, 125000});
        net::ChatLog chat;
        net::Standings standings(roster, chat);
        standings.newPuzzle(net::kGameCompetitive, 100, 0);
        std::vector<std::string> sent;
        StandingsWindow w(nullptr, standings, chat, [&](const std::string& t) { sent.push_back(t); },
                          [] { return 1000u; });
        w.show();
        QCOMPARE(w.standingsList()->count(), 2);
        QCOMPARE(w.standingsList()->item(0)->text(), QString("Host               40 %"));
        QCOMPARE(w.standingsList()->item(1)->text(), QString("Bob                00:02:05"));
        QVERIFY(w.chatOutput()->toPlainText().contains("Pavalo: Bob finished the game in 00:02:05"));
        QTest::keyClicks(w.chatInput(), QString(300, 'q'));
        QTest::keyClick(w.chatInput(), Qt::Key_Return);
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].size(), net::kChatInputLimit);
        chat.chatLine("Bob", "well played");
        w.refreshStandings();
        QCOMPARE(w.chatOutput()->toPlainText().count("finished the game"), 1);
        QVERIFY(w.chatOutput()->toPlainText().endsWith("Bob: well played"));
        saveShot(&w, "standings");

        ScoreWindow scores(nullptr, standings);
        QCOMPARE(scores.scoreList()->count(), 4);
        QCOMPARE(scores.scoreList()->item(0)->text(), QString("Player Name      Complete"));
        QCOMPARE(scores.scoreList()->item(3)->text(), QString("Bob                100%"));
        const QFontMetrics metrics(scores.scoreList()->font());
        QVERIFY(scores.scoreList()->width() >= metrics.horizontalAdvance(net::kScoreListWidthText));
        scores.show();
        // The final scores hold the game's windows until closed.
        QCOMPARE(QApplication::activeModalWidget(), &scores);
        saveShot(&scores, "scores");
    }
};

QTEST_MAIN(NetDialogsTest)
#include "net_dialogs_test.moc"
