// The network game's windows bound to their Qt-free models (net/):
// "Enter Player Name", "Create Net Game" with its "Settings" tool list,
// "Join Net Game", the waiting room, the in-game standings window with its
// chat, and the score dialog. The windows copy control changes into the
// models and draw what the models say; every rule lives in the models.
#pragma once

#include <QDialog>
#include <QImage>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "net/net_dialogs.h"
#include "net/standings.h"
#include "net/waiting_room.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTableWidget;
class QTimer;

namespace pavalo {

class PlayerNameWindow : public QDialog {
    Q_OBJECT
public:
    PlayerNameWindow(QWidget* parent, net::PlayerNameDialog& model);
    QLineEdit* nameEdit() const { return edit_; }

private:
    QLineEdit* edit_;
};

// "Settings": the six tools everybody may use, edited on the copy it holds.
class ToolSettingsWindow : public QDialog {
    Q_OBJECT
public:
    ToolSettingsWindow(QWidget* parent, const std::array<bool, 6>& flags);
    const std::array<bool, 6>& flags() const { return flags_; }
    QCheckBox* box(int i) const { return boxes_[size_t(i)]; }

private:
    std::array<bool, 6> flags_;
    std::array<QCheckBox*, 6> boxes_{};
};

// "Create Net Game" on the set-up's form.
class CreateGameWindow : public QDialog {
    Q_OBJECT
public:
    // `runSettings` shows the tool list on a copy; true with the copy
    // edited when it closed with OK (the window's own by default).
    using SettingsRunner = std::function<bool(QWidget*, std::array<bool, 6>&)>;
    CreateGameWindow(QWidget* parent, net::CreateGameForm& form, Platform& platform, SettingsRunner runSettings = {});

    QLineEdit* sessionEdit() const { return session_; }
    QLineEdit* maxPlayersEdit() const { return maxPlayers_; }
    QScrollBar* maxPlayersBar() const { return bar_; }
    QRadioButton* typeButton(int type) const { return types_[size_t(type)]; }
    QRadioButton* boxesButton(bool yes) const { return boxes_[yes ? 0 : 1]; }
    QRadioButton* cheatsButton(net::CreateGameForm::Cheats c) const { return cheats_[size_t(c)]; }
    QPushButton* settingsButton() const { return settings_; }
    QPushButton* okButton() const { return ok_; }

private:
    void tryAccept();

    net::CreateGameForm& form_;
    Platform& platform_;
    SettingsRunner runSettings_;
    QLineEdit* session_;
    QLineEdit* maxPlayers_;
    QScrollBar* bar_;
    std::array<QRadioButton*, 2> types_{};
    std::array<QRadioButton*, 2> boxes_{};
    std::array<QRadioButton*, 3> cheats_{};
    QPushButton* settings_;
    QPushButton* ok_;
};

// "Join Net Game" on the set-up's list of sessions.
class JoinGameWindow : public QDialog {
    Q_OBJECT
public:
    // `refresh` asks for the sessions again (every 100 ms).
    using Refresh = std::function<void(net::JoinList&)>;
    JoinGameWindow(QWidget* parent, net::JoinList& list, Platform& platform, Refresh refresh);
    // After Join: where to go.
    const net::JoinTarget& target() const { return target_; }

    QListWidget* sessionList() const { return list_; }
    QLabel* infoLine(int i) const { return info_[size_t(i)]; }
    QPushButton* joinButton() const { return joinButton_; }
    // One turn of the 100 ms timer.
    void refreshSessions();

private:
    void showInfo();

    net::JoinList& sessions_;
    Platform& platform_;
    Refresh refresh_;
    net::JoinTarget target_;
    QListWidget* list_;
    std::array<QLabel*, 6> info_{};
    QPushButton* joinButton_;
    QTimer* timer_;
};

// "Waiting to Start". It closes with the room's result (1 Start, 2 Exit)
// once the room has one, whoever gave it (a button, BEGINGAME, a kick).
class WaitingRoomWindow : public QDialog {
    Q_OBJECT
public:
    WaitingRoomWindow(QWidget* parent, net::WaitingRoom& room, const QImage& preview);
    // Shows the room as the model has it now (the timer's turn).
    void showRoom();

    QLabel* title() const { return title_; }
    QTableWidget* list(int i) const { return lists_[size_t(i)]; }
    QCheckBox* readyBox(int row) const { return ready_[size_t(row)]; }
    QComboBox* teamBox(int row) const { return team_[size_t(row)]; }
    QLabel* optionLine(int i) const { return options_[size_t(i)]; }
    QLabel* preview() const { return preview_; }
    QPlainTextEdit* chatOutput() const { return chatOut_; }
    QLineEdit* chatInput() const { return chatIn_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* exitButton() const { return exit_; }
    QPushButton* kickButton() const { return kick_; }
    // The row (0..15) selected in either list, or -1.
    int selectedRow() const;

protected:
    void reject() override;  // Escape and the close box are "Exit"

private:
    void closeWhenDone();

    net::WaitingRoom& room_;
    QLabel* title_;
    std::array<QTableWidget*, 2> lists_{};
    std::array<QCheckBox*, net::kRoomRows> ready_{};
    std::array<QComboBox*, net::kRoomRows> team_{};
    std::array<QLabel*, 3> options_{};
    QLabel* preview_;
    QPlainTextEdit* chatOut_;
    QLineEdit* chatIn_;
    QPushButton* start_;
    QPushButton* exit_;
    QPushButton* kick_;
    QTimer* timer_;
    size_t chatShown_ = 0;
};

// Sends a chat line (the in-game senders do it in a running game).
using ChatSend = std::function<void(const std::string&)>;

// The in-game window: standings, chat output and the chat line.
class StandingsWindow : public QDialog {
    Q_OBJECT
public:
    StandingsWindow(QWidget* parent, net::Standings& standings, net::ChatLog& chat, ChatSend send,
                    std::function<uint32_t()> clock);
    void refreshStandings();
    QListWidget* standingsList() const { return list_; }
    QPlainTextEdit* chatOutput() const { return chatOut_; }
    QLineEdit* chatInput() const { return chatIn_; }

private:
    net::Standings& standings_;
    net::ChatLog& chat_;
    ChatSend send_;
    std::function<uint32_t()> clock_;
    QListWidget* list_;
    QPlainTextEdit* chatOut_;
    QLineEdit* chatIn_;
    QTimer* timer_;
    size_t chatShown_ = 0;
};

// The scores with their headings.
class ScoreWindow : public QDialog {
    Q_OBJECT
public:
    ScoreWindow(QWidget* parent, const net::Standings& standings);
    void refreshScores();
    QListWidget* scoreList() const { return list_; }

private:
    const net::Standings& standings_;
    QListWidget* list_;
};

}  // namespace pavalo
