// A person at a real game window in a network game, for the end-to-end run
// on a virtual screen: it starts the game's window, answers every dialog
// through its widgets as a player would, says hello in the waiting room
// once the other window's player is there, ticks Ready, and (as host)
// presses Start once everybody is there, ready and has been heard. In the game it solves its copy with the Solve tool over the
// whole play area, waits for the final scores, prints them and leaves.
//
//   net-window-player --role host|join --player NAME --peer NAME --port P
//                     --discovery D --players N --shots DIR [--picture FILE]
//
// The host hosts a Competitive game of the smallest piece count on FILE
// (put in a library first) and waits for N players in all. Screenshots:
// DIR/NAME-room.png (the waiting room), DIR/NAME-standings.png and
// DIR/NAME-scores.png. Prints "chat" (the room's chat as last seen, then the game's)
// and one "score" line per final score. Exit status 0 only when the whole
// game went so. (Not --name: the X11 platform takes that for itself.)
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/finish_panel.h"
#include "app/frame_controller.h"
#include "app/game_window.h"
#include "app/net_dialogs_qt.h"
#include "app/network_play.h"
#include "app/piece_count_dialog.h"
#include "app/select_image_dialog.h"
#include "platform/scripted_platform.h"
#include "shell/game_session.h"
#include "shell/registry.h"

using namespace pavalo;

namespace {

struct Options {
    bool host = false;
    QString name, peer, shots, picture;
    uint16_t port = 0, discovery = 0;
    int players = 2;
};

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

bool makeLibrary(Application& app, const std::string& picture) {
    ScriptedPlatform platform;
    Registry registry(defaultRegistryPath());
    LibraryDialogs dialogs;
    dialogs.pictures = {picture};
    SelectImageDialog library(nullptr, platform, registry, app.dataFolderPath(), app.dataFolderPath(), 24, &dialogs);
    library.start({});
    library.model().createLibrary();
    library.model().addImage();
    if (library.model().imageCount() != 1) return false;
    PreferencesRecord::setText(app.preferences().record.lastLibrary, library.openLibrary());
    return true;
}

// The window's own pixels: the two game windows share one screen and may
// cover each other there.
void shoot(QWidget* window, const QString& path) {
    QApplication::processEvents();
    window->grab().save(path);
}

// The waiting room's row of a name, or -1.
int rowOf(WaitingRoomWindow* room, const QString& name) {
    QTableWidget* list = room->list(0);
    for (int r = 0; r < list->rowCount(); ++r)
        if (list->item(r, 0) && list->item(r, 0)->text() == name) return r;
    return -1;
}

int namedRows(WaitingRoomWindow* room) {
    int n = 0;
    QTableWidget* list = room->list(0);
    for (int r = 0; r < list->rowCount(); ++r) n += list->item(r, 0) && !list->item(r, 0)->text().isEmpty();
    return n;
}

// Answers whichever dialog is up; a QTimer calls it every 50 ms while the
// set-up's dialogs run their own event loops.
class Person {
public:
    Person(Application& app, const Options& o) : app_(app), o_(o) {}

    void answer() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        // Each dialog met is logged once, for a run that stalls.
        if (w != lastSeen_) {
            lastSeen_ = w;
            std::fprintf(stderr, "%s: %s\n", qPrintable(o_.name), w->metaObject()->className());
        }
        if (auto* name = qobject_cast<PlayerNameWindow*>(w)) {
            name->nameEdit()->setText(o_.name);
            emit name->nameEdit()->textEdited(o_.name);
            name->accept();
        } else if (auto* connection = qobject_cast<QInputDialog*>(w)) {
            connection->accept();
        } else if (auto* create = qobject_cast<CreateGameWindow*>(w)) {
            create->typeButton(int(net::kGameCompetitive))->click();
            create->cheatsButton(net::CreateGameForm::Cheats::Yes)->click();
            create->maxPlayersEdit()->setText(QString::number(o_.players));
            create->okButton()->click();
        } else if (auto* chooser = qobject_cast<SelectImageDialog*>(w)) {
            chooser->model().clickGrid(20, 20);
            chooser->model().ok();
            chooser->sync();
        } else if (auto* count = qobject_cast<PieceCountDialog*>(w)) {
            count->slider()->setValue(count->slider()->minimum());
            count->rotateBox()->setChecked(false);
            count->accept();
        } else if (auto* join = qobject_cast<JoinGameWindow*>(w)) {
            if (join->sessionList()->count() == 0) return;
            join->sessionList()->setCurrentRow(0);
            join->joinButton()->click();
        } else if (auto* room = qobject_cast<WaitingRoomWindow*>(w)) {
            inRoom(room);
        } else if (auto* finished = qobject_cast<FinishPanel*>(w)) {
            finished->reject();  // Close
        }
    }

    const QString& roomChat() const { return roomChat_; }

private:
    void inRoom(WaitingRoomWindow* room) {
        roomChat_ = room->chatOutput()->toPlainText();
        // The host greets once the other window's player is listed, so the
        // line reaches it; the joining window is greeted by then.
        if (!greeted_ && (!o_.host || rowOf(room, o_.peer) >= 0)) {
            greeted_ = true;
            room->chatInput()->setText("hello from " + o_.name);
            emit room->chatInput()->returnPressed();
        }
        const int me = rowOf(room, o_.name);
        if (me < 0) return;
        if (!room->readyBox(me)->isChecked()) return room->readyBox(me)->click();
        if (!o_.host || started_) return;
        // Everybody listed, ready and (the other window) heard from.
        if (namedRows(room) < o_.players) return;
        for (int r = 0; r < o_.players; ++r)
            if (!room->readyBox(r)->isChecked()) return;
        if (!roomChat_.contains(o_.peer + ": hello from " + o_.peer)) return;
        // A moment for the greeting to reach the other window before the
        // room closes.
        if (!heard_.isValid()) heard_.start();
        if (heard_.elapsed() < 1000) return;
        shoot(room, o_.shots + "/" + o_.name + "-room.png");
        started_ = true;
        room->startButton()->click();
    }

    Application& app_;
    const Options& o_;
    bool greeted_ = false, started_ = false;
    QString roomChat_;
    QWidget* lastSeen_ = nullptr;
    QElapsedTimer heard_;
};

bool parse(const QStringList& args, Options& o) {
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& k = args[i];
        const QString& v = args[i + 1];
        if (k == "--role") o.host = v == "host";
        else if (k == "--player") o.name = v;
        else if (k == "--peer") o.peer = v;
        else if (k == "--port") o.port = uint16_t(v.toUInt());
        else if (k == "--discovery") o.discovery = uint16_t(v.toUInt());
        else if (k == "--players") o.players = v.toInt();
        else if (k == "--shots") o.shots = v;
        else if (k == "--picture") o.picture = v;
        else return false;
    }
    return !o.name.isEmpty() && !o.peer.isEmpty() && !o.shots.isEmpty() && o.discovery != 0 && (!o.host || !o.picture.isEmpty());
}

int fail(const char* why) {
    std::fprintf(stderr, "net-window-player: %s\n", why);
    return 1;
}

// Runs the event loop until `done` or `ms` have passed.
template <class F>
bool waitFor(F done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    Options o;
    if (!parse(qt.arguments(), o))
        return fail("usage: --role host|join --player NAME --peer NAME --port P --discovery D --players N --shots DIR [--picture F]");

    LaunchOptions launch;
    launch.window = QSize(1000, 700);
    Application app(launch);
    if (!app.start()) return fail("the game did not start");
    net::NetSettings settings;
    settings.bindAddress = "127.0.0.1";
    settings.port = o.host ? o.port : 0;
    settings.discoveryPort = o.discovery;
    // Broadcasts do not reach a host bound to 127.0.0.1: the finder asks it directly.
    settings.broadcastAddress = "127.0.0.1";
    app.setNetSettings(settings);
    if (o.host && !makeLibrary(app, o.picture.toStdString())) return fail("the library was not made");

    Person person(app, o);
    QTimer hand;
    QObject::connect(&hand, &QTimer::timeout, [&] { person.answer(); });
    hand.start(50);
    const bool started = app.runNetworkGame(o.host, 21);
    NetworkPlay* play = app.networkPlay();
    if (!started || !play || !play->playing()) return fail("the network game did not start");

    // The Solve tool over the whole play area places every piece of this
    // player's copy.
    const int placed = app.session().assist().solveTool(Rect{-100000, -100000, 100000, 100000}, false);
    app.session().redrawPlayArea();
    std::fprintf(stderr, "%s: playing, %d of %d pieces placed with the Solve tool\n", qPrintable(o.name), placed,
                 app.model().pieceCount());

    // The final scores: a window of their own, modal or not.
    auto scores = [&]() -> ScoreWindow* {
        if (auto* modal = qobject_cast<ScoreWindow*>(QApplication::activeModalWidget())) return modal;
        return play->scoreWindow();
    };
    if (!waitFor([&] { return scores() != nullptr; }, 30000)) {
        if (StandingsWindow* standings = play->standingsWindow())
            for (int i = 0; i < standings->standingsList()->count(); ++i)
                std::fprintf(stderr, "standing %s\n", qPrintable(standings->standingsList()->item(i)->text()));
        return fail("no final scores were shown");
    }
    ScoreWindow* final = scores();
    waitFor([] { return false; }, 500);
    StandingsWindow* standings = play->standingsWindow();
    if (standings) shoot(standings, o.shots + "/" + o.name + "-standings.png");
    shoot(final, o.shots + "/" + o.name + "-scores.png");
    for (int i = 0; i < final->scoreList()->count(); ++i)
        std::printf("score %s\n", final->scoreList()->item(i)->text().toUtf8().constData());
    // What was said in the room and in the game.
    QString chat = person.roomChat();
    if (standings) chat += "\n" + standings->chatOutput()->toPlainText();
    std::printf("chat %s\n", chat.replace('\n', " | ").toUtf8().constData());
    std::fflush(stdout);
    // The other window sees the same end a moment later.
    waitFor([] { return false; }, o.host ? 3000 : 500);
    hand.stop();
    final->close();
    play->leave();
    return 0;
}
