// A network game played from the start dialog.
#include "app/network_play.h"

#include <QCoreApplication>
#include <QImage>
#include <QThread>

#include "app/application.h"
#include "app/frame_controller.h"
#include "app/game_window.h"
#include "app/net_dialogs_qt.h"
#include "app/net_setup_front_end.h"
#include "app/play_view.h"
#include "app/network_game.h"
#include "common/random.h"
#include "net/player_roster.h"
#include "net/session_setup.h"
#include "net/standings.h"

namespace pavalo {

NetworkPlay::NetworkPlay(Application& app) : app_(app) {
    connect(&follow_, &QTimer::timeout, this, &NetworkPlay::followGame);
}

NetworkPlay::~NetworkPlay() {
    leave();
    target_ = nullptr;
    setup_.reset();
    answers_.reset();
    frontEnd_.reset();
    sessionSetup_.reset();
    standings_.reset();
    roster_.reset();
    if (game_) app_.detachNetworkGame();
}

bool NetworkPlay::run(bool host, std::optional<uint32_t> seed, const FrontEndWrap& answers) {
    // The layer's system messages and a host's hand-over reach the set-up
    // on the receive thread.
    net::NetHooks hooks;
    hooks.systemMessage = [this](const net::Received& message) {
        if (net::SessionSetup* target = target_.load()) target->systemMessage(message);
    };
    hooks.becameHost = [this] {
        if (net::SessionSetup* target = target_.load()) target->becameHost();
    };
    game_ = &app_.attachNetworkGame(std::move(hooks), &chat_);
    sessionSetup_ = std::make_unique<net::SessionSetup>(app_.session(), game_->layer(), game_->link());
    // While the flow waits (its requests, the wait for the others) the
    // window keeps drawing; what the player types waits until it is done.
    sessionSetup_->wait = [this](uint32_t ms) {
        if (!waiting_) {
            waiting_ = true;
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, int(ms));
            waiting_ = false;
        }
        QThread::msleep(std::min<uint32_t>(ms, 2));
    };

    QtSetupFrontEnd::Hooks dialogs;
    dialogs.choosePicture = [this] { return app_.frame().choosePicture(); };
    dialogs.askPieceCount = [this](const PieceCountRules& rules, bool rotate) {
        return app_.frame().askPieceCount(rules, rotate);
    };
    dialogs.preview = [this] { return setup_ ? QImage(QString::fromStdString(setup_->picture())) : QImage(); };
    // The list's timer asks every 100 ms: a short wait keeps the dialog
    // answering the player.
    dialogs.refreshSessions = [this](net::JoinList& list) { list.refresh(game_->layer().settings(), 20); };
    dialogs.transfers = &sessionSetup_->transfers();
    dialogs.dataFolder = app_.dataFolderPath();
    frontEnd_ = std::make_unique<QtSetupFrontEnd>(&app_.window(), app_.platform(), game_->layer(), &chat_,
                                                  std::move(dialogs));
    if (answers) answers_ = answers(*frontEnd_);
    net::SetupFrontEnd& asked = answers_ ? *answers_ : static_cast<net::SetupFrontEnd&>(*frontEnd_);
    setup_ = std::make_unique<net::NetGameSetup>(*sessionSetup_, asked, app_.preferences());
    sessionSetup_->attach(*setup_);
    target_ = sessionSetup_.get();

    if (!(host ? setup_->host(seed) : setup_->join())) {
        leave();
        windowPlayArea();
        return false;
    }
    // The menus follow the network game's rules while it lasts.
    app_.document().record().networkGame = 1;
    playing_ = true;
    startStandings();
    follow_.start(250);
    return true;
}

void NetworkPlay::startStandings() {
    roster_ = std::make_unique<net::LayerRoster>(game_->layer());
    standings_ = std::make_unique<net::Standings>(*roster_, gameChat_);
    standings_->newPuzzle(setup_->options().gameType, app_.model().pieceCount(), millisecondTicks());
    chat_.setGameWindow(&gameChat_);
    standingsWindow_ = std::make_unique<StandingsWindow>(
        &app_.window(), *standings_, gameChat_,
        [this](const std::string& text) {
            if (game_) game_->link().senders().sendChat(text);
        },
        [] { return millisecondTicks(); });
    // Inside the play area's top right corner, clear of the tool palette;
    // placed once shown, when its frame has its final size.
    standingsWindow_->show();
    const QRect frame = app_.window().geometry();
    standingsWindow_->move(frame.right() - standingsWindow_->frameGeometry().width() - 24, frame.top() + 24);
}

bool NetworkPlay::mayExit() {
    if (!playing_ || !setup_->isHost() || !setup_->playersSynchronising || !setup_->playersSynchronising())
        return true;
    app_.platform().messageBox(net::setup_text::kPlayersSynchronising, {}, MessageButtons::Ok);
    return false;
}

void NetworkPlay::followGame() {
    if (!playing_) return;
    // Once the scores show the game is over; the host may go then.
    if (!scoreWindow_) {
        if (const std::optional<net::NetGameSetup::Ending> ended = setup_->endedFromOutside())
            return endFromOutside(*ended);
    }
    if (!standings_ || !app_.document().hasPuzzle()) return;
    const bool complete = app_.document().puzzleState() == kPuzzleStateCompleted;
    if (!standings_->takeGameEnd(complete)) return;
    if (standingsWindow_) standingsWindow_->refreshStandings();
    scoreWindow_ = std::make_unique<ScoreWindow>(&app_.window(), *standings_);
    scoreWindow_->show();
}

// The game ended for this machine from outside (kicked, or the host gone):
// the session closes, the message shows, and the start dialog returns
// without asking to save a game that is no longer there.
void NetworkPlay::endFromOutside(const net::NetGameSetup::Ending& ending) {
    leave();
    app_.platform().messageBox(ending.text, ending.caption, MessageButtons::Ok);
    app_.document().setModified(false);
    app_.session().exitGame();
}

// The set-up may have cut in the host's play area: the window's own size
// holds again.
void NetworkPlay::windowPlayArea() {
    const QSize size = app_.window().view()->size();
    app_.session().setPlayArea(size.width(), size.height());
}

void NetworkPlay::leave() {
    follow_.stop();
    scoreWindow_.reset();
    standingsWindow_.reset();
    chat_.setGameWindow(nullptr);
    if (setup_)
        setup_->leave();
    else if (game_)
        game_->layer().closeSession();
    if (playing_) {
        app_.document().record().networkGame = 0;
        windowPlayArea();
    }
    playing_ = false;
}

}  // namespace pavalo
