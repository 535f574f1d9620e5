// The "Enable/Disable Sounds" dialog's state between opening and OK.
#include "shell/dialogs/sound_options.h"

#include <algorithm>

namespace pavalo {

namespace {
int32_t knownMode(int32_t mode) {
    return mode == kSoundModeDisableAll || mode == kSoundModeUseSwitches ? mode : kSoundModeEnableAll;
}
}  // namespace

SoundOptionsModel::SoundOptionsModel(const Switches& switches, int32_t mode)
    : switches_(switches), mode_(knownMode(mode)) {}

bool SoundOptionsModel::checked(size_t box) const {
    return box < kSoundSwitchBoxes.size() && switches_[size_t(kSoundSwitchBoxes[box].entry)] != 0;
}

void SoundOptionsModel::setChecked(size_t box, bool on) {
    if (box < kSoundSwitchBoxes.size()) switches_[size_t(kSoundSwitchBoxes[box].entry)] = on ? 1 : 0;
}

void SoundOptionsModel::setMode(int32_t mode) { mode_ = knownMode(mode); }

void SoundOptionsModel::setEffectsVolume(int percent) { effectsVolume_ = std::clamp(percent, 0, 100); }

void SoundOptionsModel::apply(Switches& switches, int32_t& mode) const {
    for (const SoundSwitchBox& box : kSoundSwitchBoxes)
        switches[size_t(box.entry)] = switches_[size_t(box.entry)] != 0 ? 1 : 0;
    mode = mode_;
}

}  // namespace pavalo
