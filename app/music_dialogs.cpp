// The MIDI and CD option dialogs: controls bound to their models.
#include "app/music_dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace pavalo {
namespace {

QString qt(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QPushButton* addButton(QWidget* parent, QLayout* layout, const char* label, std::function<void()> action) {
    auto* b = new QPushButton(QString::fromUtf8(label), parent);
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, parent, [action = std::move(action)] { action(); });
    layout->addWidget(b);
    return b;
}

}  // namespace

// ---- MIDI -----------------------------------------------------------------------------

MidiOptionsDialog::MidiOptionsDialog(QWidget* parent, MidiOptionsModel& model) : QDialog(parent), model_(model) {
    setWindowTitle(qt(kMidiOptionsTitle));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("&Current MIDI Selection"), this);
    songs_ = new QComboBox(this);
    label->setBuddy(songs_);
    layout->addWidget(label);
    layout->addWidget(songs_);
    connect(songs_, &QComboBox::activated, this, [this](int index) {
        if (refreshing_) return;
        model_.choose(index);
        refresh();
    });

    auto* lists = new QHBoxLayout;
    addButton(this, lists, "&Default Play List", [this] { model_.defaultPlayList(), refresh(); });
    addButton(this, lists, "&User Play List", [this] { model_.userPlayList(), refresh(); });
    addButton(this, lists, "&New Play List", [this] { model_.newPlayList(), refresh(); });
    addButton(this, lists, "&Add to Play List", [this] { model_.addToPlayList(), refresh(); });
    layout->addLayout(lists);

    // Heard when the slider is let go (or moved by a key), and kept.
    auto* volumeRow = new QHBoxLayout;
    auto* volumeLabel = new QLabel(qt(kMusicVolumeLabel), this);
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 100);
    volume_->setPageStep(10);
    volume_->setTracking(false);
    volume_->setValue(model_.musicVolume());
    volumeLabel->setBuddy(volume_);
    connect(volume_, &QSlider::valueChanged, this, [this](int v) { model_.setMusicVolume(v); });
    volumeRow->addWidget(volumeLabel);
    volumeRow->addWidget(volume_, 1);
    layout->addLayout(volumeRow);

    auto* play = new QHBoxLayout;
    addButton(this, play, "&Play MIDI Music", [this] { model_.playMusic(), refresh(); });
    addButton(this, play, "&Stop MIDI Music", [this] { model_.stopMusic(), refresh(); });
    play->addStretch();
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    play->addWidget(ok);
    layout->addLayout(play);
    refresh();
}

void MidiOptionsDialog::refresh() {
    refreshing_ = true;
    songs_->clear();
    for (const std::string& e : model_.entries()) songs_->addItem(QString::fromStdString(e));
    songs_->setCurrentIndex(model_.currentIndex());
    refreshing_ = false;
}

QPushButton* MidiOptionsDialog::button(const QString& label) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == label) return b;
    return nullptr;
}

// ---- CD ---------------------------------------------------------------------------------

CdOptionsDialog::CdOptionsDialog(QWidget* parent, CdOptionsModel& model) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("CD Options"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    total_ = new QLabel(this);
    track_ = new QLabel(this);
    time_ = new QLabel(this);
    grid->addWidget(new QLabel(QStringLiteral("Total Time:"), this), 0, 0);
    grid->addWidget(total_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Current Track:"), this), 1, 0);
    grid->addWidget(track_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Current Time:"), this), 2, 0);
    grid->addWidget(time_, 2, 1);
    layout->addLayout(grid);

    CdPlayer* cd = &model_.player();
    auto* row1 = new QHBoxLayout;
    addButton(this, row1, "&Stop", [this, cd] { cd->stop(), refresh(); });
    addButton(this, row1, "&Play", [this, cd] { cd->play(), refresh(); });
    addButton(this, row1, "Pre&vious", [this, cd] { cd->previous(), refresh(); });
    layout->addLayout(row1);
    auto* row2 = new QHBoxLayout;
    addButton(this, row2, "&Resume", [this, cd] { cd->play(), refresh(); });
    addButton(this, row2, "&Next", [this, cd] { cd->next(), refresh(); });
    addButton(this, row2, "P&ause", [this, cd] { cd->pause(), refresh(); });
    layout->addLayout(row2);
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

bool CdOptionsDialog::prepare() {
    if (!model_.open()) return false;
    refresh();
    if (!timer_) timer_ = startTimer(CdOptionsModel::kTimerMs);
    return true;
}

void CdOptionsDialog::refresh() {
    total_->setText(QString::fromStdString(model_.totalTime()));
    track_->setText(QString::fromStdString(model_.currentTrack()));
    time_->setText(QString::fromStdString(model_.currentTime()));
}

void CdOptionsDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_) return QDialog::timerEvent(event);
    model_.tick();
    refresh();
}

QPushButton* CdOptionsDialog::button(const QString& label) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == label) return b;
    return nullptr;
}

}  // namespace pavalo
