// A network game played from the start dialog's "Host a Game" or "Join a
// Game": the set-up flow with the window's dialogs on the window's own game
// session, then, while the game runs, the standings window with the players'
// chat, the final scores once the game is over, and leaving the session when
// the player exits.
//
// Owned by the Application while the game lasts; it attaches the
// application's NetworkGame (the layer and the link) and gives it back when
// it ends.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "net/chat.h"
#include "net/game_setup.h"

namespace pavalo {

class Application;
class NetworkGame;
class QtSetupFrontEnd;
class StandingsWindow;
class ScoreWindow;
namespace net {
class SessionSetup;
class LayerRoster;
class Standings;
}  // namespace net

class NetworkPlay final : public QObject {
    Q_OBJECT
public:
    explicit NetworkPlay(Application& app);
    // Leaves the session before anything its threads could reach goes.
    ~NetworkPlay() override;

    // Hosts or joins through the dialogs; true when the game now runs in
    // the window (the standings window open). `seed` fixes a host's seed.
    // `answers`, when given, puts a front end of its own before the
    // window's dialogs (a lobby launch answers most questions itself).
    using FrontEndWrap = std::function<std::unique_ptr<net::SetupFrontEnd>(net::SetupFrontEnd& dialogs)>;
    bool run(bool host, std::optional<uint32_t> seed = std::nullopt, const FrontEndWrap& answers = {});

    // Exit in the game: false while, on the host, players joining late are
    // still catching up (the message shown); the game goes on then.
    bool mayExit();
    // Leaves the session and closes the game's windows. The puzzle, if any,
    // stays in the document for the caller to release.
    void leave();
    bool playing() const { return playing_; }

    net::NetGameSetup& setup() { return *setup_; }
    NetworkGame& game() { return *game_; }
    StandingsWindow* standingsWindow() { return standingsWindow_.get(); }
    ScoreWindow* scoreWindow() { return scoreWindow_.get(); }
    // Checks whether the game is over; the score window opens the first
    // time. A game ended from outside (see NetGameSetup::endedFromOutside)
    // returns to the start dialog with its message.
    void followGame();

private:
    void startStandings();
    void windowPlayArea();
    void endFromOutside(const net::NetGameSetup::Ending& ending);

    Application& app_;
    net::ChatRouter chat_;
    net::ChatLog gameChat_;
    // The layer's receive thread reaches the set-up through this.
    std::atomic<net::SessionSetup*> target_{nullptr};
    NetworkGame* game_ = nullptr;  // the application's while attached
    std::unique_ptr<net::SessionSetup> sessionSetup_;
    std::unique_ptr<QtSetupFrontEnd> frontEnd_;
    std::unique_ptr<net::SetupFrontEnd> answers_;  // before the dialogs, when given
    std::unique_ptr<net::NetGameSetup> setup_;
    std::unique_ptr<net::LayerRoster> roster_;
    std::unique_ptr<net::Standings> standings_;
    std::unique_ptr<StandingsWindow> standingsWindow_;
    std::unique_ptr<ScoreWindow> scoreWindow_;
    QTimer follow_;
    bool playing_ = false;
    bool waiting_ = false;  // inside the set-up's wait (no nesting)
};

}  // namespace pavalo
