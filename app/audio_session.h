// AudioSession: the game's sound effects and music for the life of the
// program. At start-up it opens the sound output, registers the effect
// player for every playEvent call site and starts the chosen music; it opens
// the sound, MIDI and CD option dialogs; at exit it stops everything and
// removes the temporary song files.
//
// It works on the application's preferences and music settings (which must
// outlive it) and tells the player of failures through the platform's
// message boxes.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "media/sound.h"
#include "platform/platform.h"
#include "shell/music_settings.h"
#include "shell/preferences.h"

class QWidget;

namespace pavalo {

class AudioSession : public QObject {
    Q_OBJECT
public:
    AudioSession(Preferences& prefs, MusicSettings& music, Platform& platform, QWidget* dialogParent);
    ~AudioSession() override;

    // Opens the sound output ("Unable to Initialize Directsound" and silent
    // effects when it cannot) and registers the effect player.
    void start();
    // Unregisters and releases everything; also done by the destructor.
    void shutdown();

    // Command 32839 "Sound Options": the "Enable/Disable Sounds" dialog.
    void showSoundOptions();

    SoundEffects& effects() { return *effects_; }
    // For the network layer: whether other players' pickups and drops sound.
    bool otherPlayersAudible() const;

private:
    SoundPreferences soundPreferences() const;

    Preferences& prefs_;
    MusicSettings& music_;
    Platform& platform_;
    QPointer<QWidget> parent_;
    std::unique_ptr<SoundEffects> effects_;
    bool started_ = false;
};

}  // namespace pavalo
