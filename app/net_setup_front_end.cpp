// The set-up flow's dialogs at the window.
#include "app/net_setup_front_end.h"

#include <QInputDialog>
#include <QTimer>

#include "app/net_dialogs_qt.h"
#include "app/progress_window.h"
#include "app/transfer_dialogs.h"
#include "net/player_roster.h"

namespace pavalo {

QtSetupFrontEnd::QtSetupFrontEnd(QWidget* parent, Platform& platform, net::NetLayer& layer, net::ChatRouter* chat,
                                 Hooks hooks)
    : parent_(parent), platform_(platform), layer_(layer), chat_(chat), hooks_(std::move(hooks)) {}

QtSetupFrontEnd::~QtSetupFrontEnd() = default;

std::optional<std::string> QtSetupFrontEnd::askPlayerName(const std::string& current) {
    net::PlayerNameDialog model(current);
    PlayerNameWindow w(parent_, model);
    if (w.exec() != QDialog::Accepted) return std::nullopt;
    return model.accepted();
}

std::optional<std::string> QtSetupFrontEnd::chooseConnection(const std::vector<std::string>& entries) {
    QStringList items;
    for (const std::string& e : entries) items << QString::fromStdString(e);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent_, "Connection", "Select a connection", items, 0, false, &ok);
    if (!ok) return std::nullopt;
    return chosen.toStdString();
}

bool QtSetupFrontEnd::editCreateGame(net::CreateGameForm& form) {
    CreateGameWindow w(parent_, form, platform_);
    return w.exec() == QDialog::Accepted;
}

std::optional<std::string> QtSetupFrontEnd::choosePicture() {
    return hooks_.choosePicture ? hooks_.choosePicture() : std::nullopt;
}

std::optional<PieceCountChoice> QtSetupFrontEnd::askPieceCount(const PieceCountRules& rules, bool rotate) {
    return hooks_.askPieceCount ? hooks_.askPieceCount(rules, rotate) : std::nullopt;
}

std::optional<net::JoinTarget> QtSetupFrontEnd::chooseSession(net::JoinList& list) {
    JoinGameWindow w(parent_, list, platform_, hooks_.refreshSessions);
    if (w.exec() != QDialog::Accepted) return std::nullopt;
    return w.target();
}

void QtSetupFrontEnd::showMessage(const std::string& text, const std::string& caption) {
    platform_.messageBox(text, caption);
}

// The question, the save dialog and the progress window; the receiver's
// blocks are taken by the window's own message dispatching meanwhile.
bool QtSetupFrontEnd::offerDownload(const std::string& hostPath, uint32_t fileSize, std::string& localPath) {
    if (!hooks_.transfers) return false;
    const std::optional<std::string> saved =
        net::offerDownload(platform_, layer_, hooks_.transfers->pictureReceiver(), hostPath, fileSize,
                           hooks_.dataFolder, downloadDialogRunner(parent_));
    if (!saved) return false;
    localPath = *saved;
    return true;
}

bool QtSetupFrontEnd::synchronise(net::NetGameSetup&) {
    return hooks_.transfers && runSyncDialog(parent_, hooks_.transfers->syncReceiver());
}

net::RoomResult QtSetupFrontEnd::runWaitingRoom(net::NetGameSetup& setup) {
    net::LayerRoster roster(layer_);
    net::SetupRoomActions actions(setup, layer_);
    net::WaitingRoom room(roster, actions, platform_, setup.options(), setup.puzzle().rotation != 0);
    room.open();
    if (chat_) chat_->setWaitingRoom(&room.chat());
    WaitingRoomWindow w(parent_, room, hooks_.preview ? hooks_.preview() : QImage());
    // The flow's messages (chat, BEGINGAME, kicks, the players' data) are
    // taken between the window's events.
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, &w, [&] {
        setup.pump(5);
        room.follow(setup);
        if (room.closed()) w.done(int(room.result()));
    });
    pump.start(20);
    w.exec();
    if (chat_) chat_->setWaitingRoom(nullptr);
    return room.result();
}

void QtSetupFrontEnd::waitingProgress(int percent) {
    if (!progress_) {
        progress_ = std::make_unique<ProgressWindow>(parent_);
        progress_->start(net::setup_text::kWaitingForOthers);
    }
    progress_->set(percent, net::setup_text::kWaitingForOthers);
}

void QtSetupFrontEnd::waitingClosed() { progress_.reset(); }

}  // namespace pavalo
