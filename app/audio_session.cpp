// The audio session: effect player registration, the option dialogs, and
// orderly release at exit.
#include "app/audio_session.h"

#include <QThread>
#include <QWidget>

#include "app/sound_options_dialog.h"

namespace pavalo {

static_assert(kSoundsEnableAll == kSoundModeEnableAll && kSoundsDisableAll == kSoundModeDisableAll &&
                  kSoundsUseSwitches == kSoundModeUseSwitches,
              "the preferences and the player agree on the sound modes");
static_assert(std::tuple_size_v<decltype(PreferencesRecord::soundSwitches)> == kSoundSwitchCount);

namespace {
constexpr const char* kNoSound = "Unable to Initialize Directsound";
}

AudioSession::AudioSession(Preferences& prefs, MusicSettings& music, Platform& platform, QWidget* dialogParent)
    : prefs_(prefs), music_(music), platform_(platform), parent_(dialogParent) {
    effects_ = std::make_unique<SoundEffects>([this] { return soundPreferences(); });
}

AudioSession::~AudioSession() { shutdown(); }

SoundPreferences AudioSession::soundPreferences() const {
    SoundPreferences p;
    p.effectsOn = prefs_.record.soundEffects != 0;
    p.mode = prefs_.record.soundMode;
    p.switches = prefs_.record.soundSwitches;
    return p;
}

bool AudioSession::otherPlayersAudible() const { return pavalo::otherPlayersAudible(soundPreferences()); }

void AudioSession::start() {
    if (started_) return;
    started_ = true;
    if (!effects_->start()) platform_.messageBox(kNoSound, {}, MessageButtons::Ok);
    setSoundPlayer(effects_.get());
}

void AudioSession::shutdown() {
    if (!started_) return;
    started_ = false;
    if (soundPlayer() == effects_.get()) setSoundPlayer(nullptr);
    // The exit sound plays as the window closes; let it finish first.
    for (int waited = 0; waited < 1500 && effects_->sound(kSoundExit).IsPlaying(); waited += 20)
        QThread::msleep(20);
    effects_.reset();
}

void AudioSession::showSoundOptions() {
    SoundOptionsDialog dialog(parent_, SoundOptionsModel(prefs_.record.soundSwitches, prefs_.record.soundMode));
    if (dialog.exec() == QDialog::Accepted) dialog.model().apply(prefs_.record.soundSwitches, prefs_.record.soundMode);
}

}  // namespace pavalo
