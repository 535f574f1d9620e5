// "Enable/Disable Sounds" (dialog 310): a check box per sound switch and the
// three sound modes, bound to SoundOptionsModel.
#pragma once

#include <QDialog>
#include <array>

#include "shell/dialogs/sound_options.h"

class QCheckBox;
class QRadioButton;
class QSlider;

namespace pavalo {

class SoundOptionsDialog : public QDialog {
    Q_OBJECT
public:
    SoundOptionsDialog(QWidget* parent, const SoundOptionsModel& model);
    // The choices as they stand (written back by the caller on OK).
    const SoundOptionsModel& model() const { return model_; }

    QCheckBox* box(size_t index) const { return boxes_[index]; }
    QRadioButton* modeButton(int mode) const { return modes_[size_t(mode)]; }
    QSlider* volume() const { return volume_; }

private:
    SoundOptionsModel model_;
    std::array<QCheckBox*, kSoundSwitchBoxes.size()> boxes_{};
    std::array<QRadioButton*, 3> modes_{};
    QSlider* volume_ = nullptr;
};

}  // namespace pavalo
