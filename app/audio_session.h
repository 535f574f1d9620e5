// AudioSession: the game's sound effects and music for the life of the
// program. At start-up it opens the sound output, registers the effect
// player for every playEvent call site and starts the chosen music; it opens
// the sound, MIDI and CD option dialogs; at exit it stops everything and
// removes the temporary song files.
//
// It works on the application's preferences and music settings (which must
// outlive it), tells the player of failures in message boxes, and receives
// the music device's completion notices on the user-interface thread (they
// are posted to it from the audio thread).
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "media/cd_audio.h"
#include "media/music.h"
#include "media/sound.h"
#include "platform/platform.h"
#include "media/music_settings.h"
#include "shell/preferences.h"

class QWidget;

namespace pavalo {

class MidiOptionsDialog;

class AudioSession : public QObject, private MusicFrontEnd {
    Q_OBJECT
public:
    // midiDevice and cdDrive replace the system's (tests); null uses them.
    AudioSession(Preferences& prefs, MusicSettings& music, Platform& platform, QWidget* dialogParent,
                 std::unique_ptr<MidiDevice> midiDevice = nullptr, std::unique_ptr<CdDrive> cdDrive = nullptr);
    ~AudioSession() override;

    // Opens the sound output ("Unable to Initialize Directsound" and silent
    // effects when it cannot), registers the effect player and starts the
    // selected song when music is on.
    void start();
    // Stops the music (deleting the song files) and the effects, and
    // unregisters the player; also done by the destructor.
    void shutdown();

    // Command 32839 "Sound Options": the "Enable/Disable Sounds" dialog.
    void showSoundOptions();
    // Command 32838 "Midi Music Options": the "MIDI Options..." dialog.
    void showMidiOptions();
    // Command 32837 "CD Music Options": the "CD Options..." dialog (or its
    // warning when no CD can be played).
    void showCdOptions();

    SoundEffects& effects() { return *effects_; }
    MusicPlayer& music() { return *player_; }
    CdPlayer& cd() { return *cd_; }
    // For the network layer: whether other players' pickups and drops sound.
    bool otherPlayersAudible() const;

private:
    SoundPreferences soundPreferences() const;
    // MusicFrontEnd
    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
    std::optional<std::vector<std::string>> pickFiles(std::string_view title, std::string_view filter,
                                                      std::string_view directory) override;
    void refreshMidiDialog() override;

    Preferences& prefs_;
    MusicSettings& music_;
    Platform& platform_;
    QPointer<QWidget> parent_;
    std::unique_ptr<SoundEffects> effects_;
    std::unique_ptr<MidiDevice> midi_;
    std::unique_ptr<Sequencer> sequencer_;
    std::unique_ptr<SongFiles> songs_;
    std::unique_ptr<MusicPlayer> player_;
    std::unique_ptr<CdDrive> drive_;
    std::unique_ptr<CdPlayer> cd_;
    QPointer<MidiOptionsDialog> midiDialog_;
    bool started_ = false;
};

}  // namespace pavalo
