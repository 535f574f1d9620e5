// The audio session: effect player registration, music start and song ends,
// the option dialogs, and orderly release at exit.
#include "app/audio_session.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QWidget>

#include "app/music_dialogs.h"
#include "app/sound_options_dialog.h"
#include "media/audio_output.h"
#include "media/profile.h"

namespace pavalo {

static_assert(kSoundsEnableAll == kSoundModeEnableAll && kSoundsDisableAll == kSoundModeDisableAll &&
                  kSoundsUseSwitches == kSoundModeUseSwitches,
              "the preferences and the player agree on the sound modes");
static_assert(std::tuple_size_v<decltype(PreferencesRecord::soundSwitches)> == kSoundSwitchCount);
static_assert(kMaxUserSongs == int(kMaxPlayListEntries));

namespace {
constexpr const char* kNoSound = "Unable to Initialize Directsound";

QString qt(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
}  // namespace

AudioSession::AudioSession(Preferences& prefs, MusicSettings& music, Platform& platform, QWidget* dialogParent,
                           std::unique_ptr<MidiDevice> midiDevice, std::unique_ptr<CdDrive> cdDrive)
    : prefs_(prefs), music_(music), platform_(platform), parent_(dialogParent) {
    effects_ = std::make_unique<SoundEffects>([this] { return soundPreferences(); });
    midi_ = midiDevice ? std::move(midiDevice) : std::make_unique<SdlMidiDevice>();
    // The device's notices come from the audio thread: they are handled on
    // this object's thread, in order, after the current event.
    midi_->setNoticeSink([this](const MidiNotice& n) {
        QMetaObject::invokeMethod(
            this, [this, n] { if (player_) player_->onNotice(n); }, Qt::QueuedConnection);
    });
    MusicFrontEnd& frontEnd = *this;
    sequencer_ = std::make_unique<Sequencer>(*midi_, frontEnd);
    songs_ = std::make_unique<SongFiles>();
    player_ = std::make_unique<MusicPlayer>(music_, prefs_.playList, *sequencer_, *songs_, frontEnd);
    drive_ = cdDrive ? std::move(cdDrive) : makeSystemCdDrive();
    cd_ = std::make_unique<CdPlayer>(*drive_, frontEnd);
}

AudioSession::~AudioSession() {
    shutdown();
    // No notice may reach a player that is gone.
    if (midi_) midi_->setNoticeSink({});
}

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
    const std::string profile = profilePath();
    audio::setEffectsVolume(readProfileVolume(profile, kEffectsVolumeKey));
    audio::setMusicVolume(readProfileVolume(profile, kMusicVolumeKey));
    if (!effects_->start()) platform_.messageBox(kNoSound, {}, MessageButtons::Ok);
    setSoundPlayer(effects_.get());
    // The play list read from the preferences is the one in use.
    if (prefs_.playList.size() > kMaxPlayListEntries) prefs_.playList.resize(kMaxPlayListEntries);
    if (music_.musicOn) player_->startSelectedSong();
}

void AudioSession::shutdown() {
    if (!started_) return;
    started_ = false;
    if (soundPlayer() == effects_.get()) setSoundPlayer(nullptr);
    player_->shutdown();
    if (cd_->playing()) cd_->stop();
    drive_->close();
    // The exit sound plays as the window closes; let it finish first.
    for (int waited = 0; waited < 1500 && effects_->sound(kSoundExit).IsPlaying(); waited += 20) QThread::msleep(20);
    effects_ = std::make_unique<SoundEffects>([this] { return soundPreferences(); });
}

void AudioSession::showSoundOptions() {
    SoundOptionsModel model(prefs_.record.soundSwitches, prefs_.record.soundMode);
    const std::string profile = profilePath();
    model.setEffectsVolume(readProfileVolume(profile, kEffectsVolumeKey));
    SoundOptionsDialog dialog(parent_, model);
    if (dialog.exec() != QDialog::Accepted) return;
    dialog.model().apply(prefs_.record.soundSwitches, prefs_.record.soundMode);
    writeProfileVolume(profile, kEffectsVolumeKey, dialog.model().effectsVolume());
    audio::setEffectsVolume(dialog.model().effectsVolume());
}

void AudioSession::showMidiOptions() {
    MusicFrontEnd& frontEnd = *this;
    MidiOptionsModel model(*player_, frontEnd, profilePath());
    MidiOptionsDialog dialog(parent_, model);
    midiDialog_ = &dialog;
    dialog.exec();
    midiDialog_ = nullptr;
}

void AudioSession::showCdOptions() {
    MusicFrontEnd& frontEnd = *this;
    CdOptionsModel model(*cd_, frontEnd);
    CdOptionsDialog dialog(parent_, model);
    if (dialog.prepare()) dialog.exec();
}

// ---- MusicFrontEnd ---------------------------------------------------------------------

void AudioSession::showMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
    // Music's boxes have no owner window, as the device errors always had.
    QMessageBox box(icon == MessageIcon::Warning       ? QMessageBox::Warning
                    : icon == MessageIcon::Information ? QMessageBox::Information
                                                       : QMessageBox::NoIcon,
                    qt(caption), qt(text), QMessageBox::Ok);
    box.exec();
}

std::optional<std::vector<std::string>> AudioSession::pickFiles(std::string_view title, std::string_view,
                                                                std::string_view directory) {
    // The filter "MIDI files (*.mid)", matching names in any case.
    const QStringList files = QFileDialog::getOpenFileNames(parent_, qt(title), qt(directory),
                                                            QStringLiteral("MIDI files (*.mid *.MID *.Mid)"));
    if (files.isEmpty()) return std::nullopt;
    std::vector<std::string> out;
    for (const QString& f : files) out.push_back(f.toStdString());
    return out;
}

void AudioSession::refreshMidiDialog() {
    if (midiDialog_) midiDialog_->refresh();
}

}  // namespace pavalo
