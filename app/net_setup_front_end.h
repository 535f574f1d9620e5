// The set-up flow's person at the window: each step the flow asks about
// opens its dialog (player name, connection, create, join), the waiting
// room runs as a modal window while the flow's messages are pumped, and
// "Waiting For Other Players" shows as a progress window. What the frame
// already knows how to ask (the picture, the piece count) comes through
// hooks. A joining player who lacks the host's picture is offered it and
// watches it arrive in "Downloading Image"; a player joining a running game
// waits in "Synchronizing Piece Positions".
#pragma once

#include <QImage>
#include <functional>
#include <memory>

#include "net/waiting_room.h"
#include "net/game_setup.h"
#include "net/transfers.h"
#include "platform/platform.h"

class QWidget;

namespace pavalo {

class ProgressWindow;

class QtSetupFrontEnd final : public net::SetupFrontEnd {
public:
    struct Hooks {
        std::function<std::optional<std::string>()> choosePicture;
        std::function<std::optional<PieceCountChoice>(const PieceCountRules&, bool)> askPieceCount;
        // The picture the waiting room previews (the one loaded for the game).
        std::function<QImage()> preview;
        // Asks the network for sessions again (the join list's timer).
        std::function<void(net::JoinList&)> refreshSessions;
        // The receivers of the set-up's game (SessionSetup::transfers()).
        // Unset: no download is offered and a running game cannot be joined.
        net::Transfers* transfers = nullptr;
        // The data folder: a download is proposed in its "downloads" folder
        // and listed in its Downloads library.
        std::string dataFolder;
    };

    // `chat` (may be null) is pointed at the waiting room while it is open.
    QtSetupFrontEnd(QWidget* parent, Platform& platform, net::NetLayer& layer, net::ChatRouter* chat, Hooks hooks);
    ~QtSetupFrontEnd() override;

    std::optional<std::string> askPlayerName(const std::string& current) override;
    std::optional<std::string> chooseConnection(const std::vector<std::string>& entries) override;
    bool editCreateGame(net::CreateGameForm& form) override;
    std::optional<std::string> choosePicture() override;
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules& rules, bool rotate) override;
    std::optional<net::JoinTarget> chooseSession(net::JoinList& list) override;
    void showMessage(const std::string& text, const std::string& caption) override;
    bool offerDownload(const std::string& hostPath, uint32_t fileSize, std::string& localPath) override;
    net::RoomResult runWaitingRoom(net::NetGameSetup& setup) override;
    bool synchronise(net::NetGameSetup& setup) override;
    void waitingProgress(int percent) override;
    void waitingClosed() override;

private:
    QWidget* parent_;
    Platform& platform_;
    net::NetLayer& layer_;
    net::ChatRouter* chat_;
    Hooks hooks_;
    std::unique_ptr<ProgressWindow> progress_;
};

}  // namespace pavalo
