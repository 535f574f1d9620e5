// "MIDI Options..." (dialog 196) and "CD Options..." (dialog 197): thin
// windows over MidiOptionsModel and CdOptionsModel.
#pragma once

#include <QDialog>

#include "media/cd_audio.h"
#include "shell/dialogs/midi_options.h"

class QComboBox;
class QSlider;
class QLabel;
class QPushButton;

namespace pavalo {

class MidiOptionsDialog : public QDialog {
    Q_OBJECT
public:
    MidiOptionsDialog(QWidget* parent, MidiOptionsModel& model);
    // Shows the list and the selection as the model has them.
    void refresh();

    QComboBox* songs() const { return songs_; }
    QSlider* volume() const { return volume_; }
    // The buttons by their labels: "&Default Play List", "&User Play List",
    // "&New Play List", "&Add to Play List", "&Play MIDI Music",
    // "&Stop MIDI Music".
    QPushButton* button(const QString& label) const;

private:
    MidiOptionsModel& model_;
    QComboBox* songs_ = nullptr;
    QSlider* volume_ = nullptr;
    bool refreshing_ = false;
};

class CdOptionsDialog : public QDialog {
    Q_OBJECT
public:
    CdOptionsDialog(QWidget* parent, CdOptionsModel& model);
    // Opens the CD; false (the warning shown) when the dialog must not show.
    bool prepare();
    void refresh();

    QLabel* totalTime() const { return total_; }
    QLabel* currentTrack() const { return track_; }
    QLabel* currentTime() const { return time_; }
    // "&Stop", "&Play", "Pre&vious", "&Resume", "&Next", "P&ause".
    QPushButton* button(const QString& label) const;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    CdOptionsModel& model_;
    QLabel* total_ = nullptr;
    QLabel* track_ = nullptr;
    QLabel* time_ = nullptr;
    int timer_ = 0;
};

}  // namespace pavalo
