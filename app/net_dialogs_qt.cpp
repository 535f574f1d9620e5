// The network game's windows.
#include "app/net_dialogs_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace pavalo {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QDialogButtonBox* okCancel(QDialog* dialog, bool connectOk = true) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    if (connectOk) QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// The chat's new lines, appended below those already shown.
void appendChat(QPlainTextEdit* out, const net::ChatLog& chat, size_t& shown) {
    const size_t version = chat.version();
    if (version == shown) return;
    const std::vector<std::string> lines = chat.lines();
    const size_t fresh = std::min(lines.size(), version - shown);
    for (size_t i = lines.size() - fresh; i < lines.size(); ++i) out->appendPlainText(qs(lines[i]));
    shown = version;
}

void fillList(QListWidget* list, const std::vector<std::string>& lines) {
    if (list->count() == int(lines.size())) {
        bool same = true;
        for (int i = 0; i < list->count() && same; ++i) same = list->item(i)->text() == qs(lines[size_t(i)]);
        if (same) return;
    }
    list->clear();
    for (const std::string& l : lines) list->addItem(qs(l));
}

QLineEdit* chatLine(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(int(net::kChatInputLimit));
    return edit;
}

}  // namespace

// ------------------------------------------------------------ player name

PlayerNameWindow::PlayerNameWindow(QWidget* parent, net::PlayerNameDialog& model) : QDialog(parent) {
    setWindowTitle(net::kPlayerNameCaption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(net::kPlayerNamePrompt, this));
    edit_ = new QLineEdit(qs(model.name()), this);
    edit_->selectAll();
    layout->addWidget(edit_);
    connect(edit_, &QLineEdit::textEdited, this, [this, &model](const QString& text) {
        model.setName(text.toStdString());
        if (qs(model.name()) != text) edit_->setText(qs(model.name()));
    });
    layout->addWidget(okCancel(this));
}

// --------------------------------------------------------- tool settings

ToolSettingsWindow::ToolSettingsWindow(QWidget* parent, const std::array<bool, 6>& flags)
    : QDialog(parent), flags_(flags) {
    setWindowTitle(net::kToolSettingsCaption);
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(net::kToolSettingsPrompt, this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);
    for (size_t i = 0; i < 6; ++i) {
        boxes_[i] = new QCheckBox(net::kToolNames[i], this);
        boxes_[i]->setChecked(flags_[i]);
        connect(boxes_[i], &QCheckBox::toggled, this, [this, i](bool on) { flags_[i] = on; });
        layout->addWidget(boxes_[i]);
    }
    layout->addWidget(okCancel(this));
}

// ------------------------------------------------------------ create game

CreateGameWindow::CreateGameWindow(QWidget* parent, net::CreateGameForm& form, Platform& platform,
                                   SettingsRunner runSettings)
    : QDialog(parent), form_(form), platform_(platform), runSettings_(std::move(runSettings)) {
    using Cheats = net::CreateGameForm::Cheats;
    setWindowTitle(net::kCreateGameCaption);
    if (!runSettings_) {
        runSettings_ = [](QWidget* owner, std::array<bool, 6>& flags) {
            ToolSettingsWindow w(owner, flags);
            if (w.exec() != QDialog::Accepted) return false;
            flags = w.flags();
            return true;
        };
    }
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Session Name", this), 0, 0);
    session_ = new QLineEdit(qs(form.sessionName), this);
    session_->setMaxLength(int(net::kPathField - 1));
    grid->addWidget(session_, 0, 1, 1, 2);
    connect(session_, &QLineEdit::textChanged, this, [this](const QString& t) { form_.sessionName = t.toStdString(); });

    grid->addWidget(new QLabel("Max Players", this), 1, 0);
    maxPlayers_ = new QLineEdit(QString::number(form.maxPlayers), this);
    maxPlayers_->setMaxLength(2);
    grid->addWidget(maxPlayers_, 1, 1);
    // The bar only reports its arrows and pages; it always rests in the
    // middle so that every press counts. It steps from a valid typed count.
    bar_ = new QScrollBar(Qt::Vertical, this);
    bar_->setRange(0, 2);
    bar_->setValue(1);
    bar_->setFixedHeight(maxPlayers_->sizeHint().height());
    grid->addWidget(bar_, 1, 2, Qt::AlignLeft);
    connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) {
        using A = QAbstractSlider::SliderAction;
        using S = net::CreateGameForm::Scroll;
        S a;
        switch (action) {
            case A::SliderSingleStepSub: a = S::LineUp; break;
            case A::SliderSingleStepAdd: a = S::LineDown; break;
            case A::SliderPageStepSub: a = S::PageUp; break;
            case A::SliderPageStepAdd: a = S::PageDown; break;
            case A::SliderToMinimum: a = S::Top; break;
            case A::SliderToMaximum: a = S::Bottom; break;
            default: return;
        }
        form_.setMaxPlayersText(maxPlayers_->text().toStdString());
        form_.scroll(a);
        maxPlayers_->setText(QString::number(form_.maxPlayers));
        bar_->setSliderPosition(1);
    });
    layout->addLayout(grid);

    const auto radios = [this](const char* title, std::initializer_list<const char*> names, QRadioButton** out) {
        auto* box = new QGroupBox(title, this);
        auto* row = new QHBoxLayout(box);
        for (const char* n : names) {
            *out = new QRadioButton(n, box);
            row->addWidget(*out++);
        }
        return box;
    };
    layout->addWidget(radios("Game Type", {"Cooperative", "Competitive"}, types_.data()));
    layout->addWidget(radios("Sorting Boxes", {"Yes", "No"}, boxes_.data()));
    auto* cheatsBox = radios("Cheats", {"Yes", "No", "Advanced"}, cheats_.data());
    settings_ = new QPushButton("Settings", cheatsBox);
    cheatsBox->layout()->addWidget(settings_);
    layout->addWidget(cheatsBox);

    types_[form.gameType == net::kGameCompetitive ? 1 : 0]->setChecked(true);
    boxes_[form.sortingBoxes ? 0 : 1]->setChecked(true);
    cheats_[size_t(form.cheats)]->setChecked(true);
    settings_->setEnabled(form.cheats == Cheats::Advanced);
    connect(types_[1], &QRadioButton::toggled, this, [this](bool on) {
        form_.gameType = on ? net::kGameCompetitive : net::kGameCooperative;
    });
    connect(boxes_[0], &QRadioButton::toggled, this, [this](bool on) { form_.sortingBoxes = on; });
    for (size_t c = 0; c < 3; ++c) {
        connect(cheats_[c], &QRadioButton::toggled, this, [this, c](bool on) {
            if (!on) return;
            form_.cheats = Cheats(c);
            settings_->setEnabled(form_.cheats == Cheats::Advanced);
        });
    }
    connect(settings_, &QPushButton::clicked, this, [this] {
        std::array<bool, 6> copy = form_.tools;
        if (runSettings_(this, copy)) form_.setTools(copy);
    });

    auto* buttons = okCancel(this, false);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CreateGameWindow::tryAccept);
    layout->addWidget(buttons);
}

void CreateGameWindow::tryAccept() {
    QLineEdit* wrong = nullptr;
    if (!form_.setMaxPlayersText(maxPlayers_->text().toStdString())) {
        platform_.messageBox(net::kMsgMaxPlayersRange);
        wrong = maxPlayers_;
    } else if (const std::optional<std::string> refused = form_.refusal()) {
        platform_.messageBox(*refused);
        wrong = session_;
    }
    if (wrong) {
        wrong->setFocus();
        wrong->selectAll();
        return;
    }
    accept();
}

// -------------------------------------------------------------- join game

JoinGameWindow::JoinGameWindow(QWidget* parent, net::JoinList& list, Platform& platform, Refresh refresh)
    : QDialog(parent), sessions_(list), platform_(platform), refresh_(std::move(refresh)) {
    setWindowTitle(net::kJoinGameCaption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(net::kJoinListCaption, this));
    list_ = new QListWidget(this);
    layout->addWidget(list_);
    for (QLabel*& l : info_) layout->addWidget(l = new QLabel(this));
    connect(list_, &QListWidget::currentRowChanged, this, &JoinGameWindow::showInfo);
    auto* buttons = new QDialogButtonBox(this);
    joinButton_ = buttons->addButton("Join", QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        std::string message;
        if (const std::optional<net::JoinTarget> t = sessions_.choose(list_->currentRow(), message)) {
            target_ = *t;
            accept();
        } else if (!message.empty()) {
            platform_.messageBox(message);
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &JoinGameWindow::refreshSessions);
    timer_->start(net::kJoinListRefreshMs);
    refreshSessions();
}

void JoinGameWindow::refreshSessions() {
    // Sessions keep their rows (new ones are appended), so the selection
    // stays on the session chosen.
    if (refresh_) refresh_(sessions_);
    const std::vector<std::string> names = sessions_.names();
    const int row = list_->currentRow();
    QSignalBlocker quiet(list_);
    for (int i = 0; i < int(names.size()); ++i) {
        if (i < list_->count()) {
            if (list_->item(i)->text() != qs(names[size_t(i)])) list_->item(i)->setText(qs(names[size_t(i)]));
        } else {
            list_->addItem(qs(names[size_t(i)]));
        }
    }
    while (list_->count() > int(names.size())) delete list_->takeItem(list_->count() - 1);
    list_->setCurrentRow(row < list_->count() ? row : -1);
    showInfo();
}

void JoinGameWindow::showInfo() {
    const int row = list_->currentRow();
    const auto& entries = sessions_.entries();
    const std::array<std::string, 6> lines =
        net::sessionInfoLines(row >= 0 && size_t(row) < entries.size() ? &entries[size_t(row)].desc : nullptr);
    for (size_t i = 0; i < 6; ++i) info_[i]->setText(qs(lines[i]));
}

// ----------------------------------------------------------- waiting room

WaitingRoomWindow::WaitingRoomWindow(QWidget* parent, net::WaitingRoom& room, const QImage& preview)
    : QDialog(parent), room_(room) {
    setWindowTitle(net::kWaitingRoomCaption);
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(net::kWaitingRoomTitle, this);
    QFont big = title_->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title_->setFont(big);
    title_->setAlignment(Qt::AlignCenter);
    layout->addWidget(title_);

    auto* top = new QHBoxLayout;
    for (int l = 0; l < 2; ++l) {
        auto* t = new QTableWidget(8, 3, this);
        t->setHorizontalHeaderLabels({"Player Name", "Ready", "Team #"});
        t->verticalHeader()->hide();
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->setSelectionMode(QAbstractItemView::SingleSelection);
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->setFocusPolicy(Qt::NoFocus);  // the chat line keeps the keys
        t->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        t->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        t->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
        t->setColumnHidden(2, !room.teamColumnsShown());
        for (int r = 0; r < 8; ++r) {
            const int row = l * 8 + r;
            t->setItem(r, 0, new QTableWidgetItem);
            // Team #: each player picks its own team; the others' show.
            // (Inside a holder: the table shows its cell widgets itself.)
            auto* teamHolder = new QWidget(t);
            auto* teamLayout = new QHBoxLayout(teamHolder);
            teamLayout->setContentsMargins(0, 0, 0, 0);
            auto* team = new QComboBox(teamHolder);
            for (int n = 1; n <= net::NetGameSetup::kTeams; ++n) team->addItem(QString::number(n));
            teamLayout->addWidget(team);
            t->setCellWidget(r, 2, teamHolder);
            team_[size_t(row)] = team;
            connect(team, &QComboBox::activated, this, [this, row](int index) {
                room_.chooseTeam(row, index + 1);
                showRoom();
            });
            auto* holder = new QWidget(t);
            auto* centre = new QHBoxLayout(holder);
            centre->setContentsMargins(0, 0, 0, 0);
            centre->setAlignment(Qt::AlignCenter);
            auto* box = new QCheckBox(holder);
            centre->addWidget(box);
            t->setCellWidget(r, 1, holder);
            ready_[size_t(row)] = box;
            connect(box, &QCheckBox::clicked, this, [this, row](bool on) {
                room_.tickReady(row, on);
                showRoom();
            });
        }
        t->setFixedHeight(t->horizontalHeader()->sizeHint().height() + 8 * t->rowHeight(0) + 4);
        connect(t, &QTableWidget::itemSelectionChanged, this, [this, l] {
            // One selection across both lists.
            if (!lists_[size_t(l)]->selectedItems().isEmpty()) {
                QSignalBlocker quiet(lists_[size_t(1 - l)]);
                lists_[size_t(1 - l)]->clearSelection();
            }
            kick_->setEnabled(room_.kickEnabled(selectedRow()));
        });
        lists_[size_t(l)] = t;
        top->addWidget(t, 1);
    }
    preview_ = new QLabel(this);
    preview_->setFixedSize(200, 150);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::Box);
    if (!preview.isNull()) preview_->setPixmap(QPixmap::fromImage(preview.scaled(198, 148, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    top->addWidget(preview_);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout;
    auto* chat = new QVBoxLayout;
    chatOut_ = new QPlainTextEdit(this);
    chatOut_->setReadOnly(true);
    chatOut_->setMaximumBlockCount(int(net::kChatLogLines));
    chatIn_ = chatLine(this);
    chat->addWidget(chatOut_);
    chat->addWidget(chatIn_);
    middle->addLayout(chat, 1);
    auto* side = new QVBoxLayout;
    for (QLabel*& o : options_) side->addWidget(o = new QLabel(this));
    side->addStretch();
    start_ = new QPushButton("Start Game", this);
    kick_ = new QPushButton("Kick", this);
    exit_ = new QPushButton("Exit", this);
    side->addWidget(start_);
    side->addWidget(kick_);
    side->addWidget(exit_);
    middle->addLayout(side);
    layout->addLayout(middle, 1);

    const std::vector<std::string> lines = room.optionLines();
    for (size_t i = 0; i < options_.size() && i < lines.size(); ++i) options_[i]->setText(qs(lines[i]));
    start_->setEnabled(room.startEnabled());
    kick_->setVisible(room.startEnabled());
    kick_->setEnabled(false);
    connect(start_, &QPushButton::clicked, this, [this] {
        room_.startGame();
        closeWhenDone();
    });
    connect(exit_, &QPushButton::clicked, this, [this] {
        room_.exit();
        closeWhenDone();
    });
    connect(kick_, &QPushButton::clicked, this, [this] {
        room_.kick(selectedRow());
        showRoom();
    });
    connect(chatIn_, &QLineEdit::returnPressed, this, [this] {
        room_.sendChat(chatIn_->text().toStdString());
        chatIn_->clear();
        showRoom();
    });
    start_->setAutoDefault(false);
    exit_->setAutoDefault(false);
    kick_->setAutoDefault(false);

    // Arrivals, departures and data changes mark the room stale from the
    // network's threads; the quick poll shows them, the slow turn reads
    // everything again.
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        room_.refresh();
        showRoom();
    });
    timer_->start(net::kRoomRefreshMs);
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] {
        if (room_.poll()) showRoom();
        closeWhenDone();
    });
    poll->start(50);
    resize(760, 520);
    showRoom();
}

int WaitingRoomWindow::selectedRow() const {
    for (int l = 0; l < 2; ++l) {
        const QList<QTableWidgetItem*> items = lists_[size_t(l)]->selectedItems();
        if (!items.isEmpty()) return l * 8 + items.front()->row();
    }
    return -1;
}

void WaitingRoomWindow::showRoom() {
    const auto& rows = room_.rows();
    const bool shown = room_.readyBoxesShown();
    for (int row = 0; row < net::kRoomRows; ++row) {
        const net::RoomRow& r = rows[size_t(row)];
        QTableWidget* t = lists_[size_t(row / 8)];
        t->item(row % 8, 0)->setText(r.used ? qs(r.name) : QString());
        QComboBox* team = team_[size_t(row)];
        const bool knownTeam = r.used && r.team >= 1 && r.team <= net::NetGameSetup::kTeams;
        team->setCurrentIndex(knownTeam ? r.team - 1 : -1);
        team->setEnabled(r.teamEnabled);
        team->setVisible(r.used);
        QCheckBox* box = ready_[size_t(row)];
        box->setVisible(shown);
        box->setChecked(r.used && r.ready);
        box->setEnabled(r.readyEnabled);
    }
    // A new host may take over while the room is open.
    start_->setEnabled(room_.startEnabled());
    kick_->setVisible(room_.startEnabled());
    kick_->setEnabled(room_.kickEnabled(selectedRow()));
    appendChat(chatOut_, room_.chat(), chatShown_);
}

void WaitingRoomWindow::closeWhenDone() {
    if (room_.closed() && isVisible()) done(int(room_.result()));
}

void WaitingRoomWindow::reject() {
    room_.exit();
    closeWhenDone();
}

// ------------------------------------------------------ in-game standings

StandingsWindow::StandingsWindow(QWidget* parent, net::Standings& standings, net::ChatLog& chat, ChatSend send,
                                 std::function<uint32_t()> clock)
    : QDialog(parent), standings_(standings), chat_(chat), send_(std::move(send)), clock_(std::move(clock)) {
    setWindowTitle("Standings");
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(list_, 1);
    chatOut_ = new QPlainTextEdit(this);
    chatOut_->setReadOnly(true);
    chatOut_->setMaximumBlockCount(int(net::kChatLogLines));
    layout->addWidget(chatOut_, 1);
    chatIn_ = chatLine(this);
    layout->addWidget(chatIn_);
    connect(chatIn_, &QLineEdit::returnPressed, this, [this] {
        const std::string text = net::chatTextToSend(chatIn_->text().toStdString());
        chatIn_->clear();
        if (!text.empty() && send_) send_(text);
        refreshStandings();
    });
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &StandingsWindow::refreshStandings);
    timer_->start(500);
    resize(320, 360);
    refreshStandings();
}

void StandingsWindow::refreshStandings() {
    fillList(list_, standings_.refresh(clock_ ? clock_() : 0));
    appendChat(chatOut_, chat_, chatShown_);
}

// ------------------------------------------------------------------ scores

ScoreWindow::ScoreWindow(QWidget* parent, const net::Standings& standings) : QDialog(parent), standings_(standings) {
    setWindowTitle("Scores");
    // The final standings wait for the player before the game goes on.
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    // As wide as thirty characters of the list's font, plus its frame.
    const int width = QFontMetrics(list_->font()).horizontalAdvance(net::kScoreListWidthText);
    list_->setFixedWidth(width + 2 * list_->frameWidth() + list_->verticalScrollBar()->sizeHint().width());
    layout->addWidget(list_);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ok);
    refreshScores();
}

void ScoreWindow::refreshScores() { fillList(list_, standings_.scoreLines()); }

}  // namespace pavalo
