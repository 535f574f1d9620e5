// The sound options dialog: two columns of check boxes, the mode buttons
// and OK / Cancel.
#include "app/sound_options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace pavalo {

SoundOptionsDialog::SoundOptionsDialog(QWidget* parent, const SoundOptionsModel& model)
    : QDialog(parent), model_(model) {
    setWindowTitle(QString::fromUtf8(kSoundOptionsTitle.data(), qsizetype(kSoundOptionsTitle.size())));
    auto* layout = new QVBoxLayout(this);

    auto* switches = new QGroupBox(this);
    auto* grid = new QGridLayout(switches);
    const int rows = int(kSoundSwitchBoxes.size() + 1) / 2;
    for (size_t i = 0; i < kSoundSwitchBoxes.size(); ++i) {
        const std::string_view label = kSoundSwitchBoxes[i].label;
        auto* box = new QCheckBox(QString::fromUtf8(label.data(), qsizetype(label.size())), switches);
        box->setChecked(model_.checked(i));
        connect(box, &QCheckBox::toggled, this, [this, i](bool on) { model_.setChecked(i, on); });
        boxes_[i] = box;
        grid->addWidget(box, int(i) % rows, int(i) / rows);
    }
    layout->addWidget(switches);

    auto* modes = new QGroupBox(this);
    auto* modeLayout = new QHBoxLayout(modes);
    auto* group = new QButtonGroup(this);
    for (int m = 0; m < 3; ++m) {
        const std::string_view label = kSoundModeLabels[size_t(m)];
        auto* button = new QRadioButton(QString::fromUtf8(label.data(), qsizetype(label.size())), modes);
        button->setChecked(model_.mode() == m);
        group->addButton(button, m);
        modeLayout->addWidget(button);
        modes_[size_t(m)] = button;
    }
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) model_.setMode(id);
    });
    layout->addWidget(modes);

    auto* volumeRow = new QHBoxLayout;
    auto* volumeLabel = new QLabel(QString::fromUtf8(kEffectsVolumeLabel.data(), qsizetype(kEffectsVolumeLabel.size())), this);
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 100);
    volume_->setPageStep(10);
    volume_->setValue(model_.effectsVolume());
    volumeLabel->setBuddy(volume_);
    connect(volume_, &QSlider::valueChanged, this, [this](int v) { model_.setEffectsVolume(v); });
    volumeRow->addWidget(volumeLabel);
    volumeRow->addWidget(volume_, 1);
    layout->addLayout(volumeRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace pavalo
