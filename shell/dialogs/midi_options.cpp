// The MIDI options' rules: song choice, the two lists, loading play lists.
#include "shell/dialogs/midi_options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "media/audio_output.h"
#include "media/profile.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

size_t selectionLength(const std::vector<std::string>& paths) {
    if (paths.empty()) return 0;
    size_t n = fs::path(paths.front()).parent_path().string().size() + 1;
    for (const std::string& p : paths) n += fs::path(p).filename().string().size() + 1;
    return n + 1;
}

MidiOptionsModel::MidiOptionsModel(MusicPlayer& player, MusicFrontEnd& frontEnd, std::string profileFile)
    : player_(player), frontEnd_(frontEnd), profileFile_(std::move(profileFile)) {
    player_.setDialogOpen(true);
}

MidiOptionsModel::~MidiOptionsModel() { player_.setDialogOpen(false); }

int MidiOptionsModel::musicVolume() const { return readProfileVolume(profileFile_, kMusicVolumeKey); }

void MidiOptionsModel::setMusicVolume(int percent) {
    writeProfileVolume(profileFile_, kMusicVolumeKey, percent);
    audio::setMusicVolume(percent);
}

std::vector<std::string> MidiOptionsModel::entries() const {
    std::vector<std::string> list;
    if (!player_.settings().userPlayList) {
        for (int k = 0; k <= kBuiltInSongCount; ++k) list.push_back(songTitle(k));
    } else {
        list.push_back("None");
        for (const std::string& p : player_.playList()) list.push_back(fs::path(p).filename().string());
    }
    return list;
}

int MidiOptionsModel::currentIndex() const {
    const int s = player_.settings().currentSong;
    const int last = int(entries().size()) - 1;
    return s >= 0 && s <= last ? s : 0;
}

void MidiOptionsModel::choose(int index) {
    MusicSettings& m = player_.settings();
    m.musicOn = true;
    m.currentSong = index;
    if (index == 0) m.musicOn = false;
    player_.startSelectedSong();
}

void MidiOptionsModel::playMusic() {
    MusicSettings& m = player_.settings();
    if (m.currentSong == 0) return;
    m.musicOn = true;
    player_.startSelectedSong();
}

void MidiOptionsModel::stopMusic() { player_.turnMusicOff(); }

void MidiOptionsModel::defaultPlayList() {
    MusicSettings& m = player_.settings();
    m.userPlayList = false;
    if (m.currentSong > kBuiltInSongCount) m.currentSong = 1;
    player_.startSelectedSong();
}

void MidiOptionsModel::userPlayList() {
    MusicSettings& m = player_.settings();
    if (player_.playList().empty()) {
        frontEnd_.showMessage("Please add MIDI songs to your playlist first", "Playlist Empty", MessageIcon::None);
        return;
    }
    m.userPlayList = true;
    m.currentSong = 1;
    player_.startSelectedSong();
}

void MidiOptionsModel::newPlayList() { loadFiles(false); }

void MidiOptionsModel::addToPlayList() { loadFiles(true); }

void MidiOptionsModel::loadFiles(bool append) {
    Sequencer& seq = player_.sequencer();
    seq.Pause();
    std::string dir = readProfileString(profileFile_, kProfileSection, kMidiDirKey);
    if (dir.empty()) {
        std::error_code ec;
        dir = fs::current_path(ec).string();
    }
    std::optional<std::vector<std::string>> chosen = frontEnd_.pickFiles(kLoadMidiTitle, kMidiFilter, dir);
    // A selection too long for the dialog's buffer fails as a cancel does.
    if (!chosen || chosen->empty() || selectionLength(*chosen) > kMidiSelectionBuffer) {
        seq.Resume();
        return;
    }
    const std::vector<std::string>& names = *chosen;
    writeProfileString(profileFile_, kProfileSection, kMidiDirKey, fs::path(names.front()).parent_path().string());

    std::vector<std::string>& list = player_.playList();
    MusicSettings& m = player_.settings();
    for (const std::string& name : names) {
        if (!lower(fs::path(name).filename().string()).ends_with(".mid")) {
            char text[600];
            std::snprintf(text, sizeof text, "Please try again %s does not end with .mid", fs::path(name).filename().c_str());
            frontEnd_.showMessage(text, "Sorry", MessageIcon::None);
            list.clear();
            m.playListCount = 0;
            player_.listChanged();
            seq.Resume();
            return;
        }
    }
    if (!append) list.clear();
    const size_t base = list.size();
    const size_t room = base < size_t(kMaxUserSongs) ? size_t(kMaxUserSongs) - base : 0;
    const size_t taken = std::min(room, names.size());
    // The first name returned goes to the last new slot, and so on back to
    // the first new slot.
    list.resize(base + taken);
    for (size_t i = 0; i < taken; ++i) list[base + taken - 1 - i] = names[i];
    m.playListCount = int32_t(list.size());
    if (taken < names.size())
        frontEnd_.showMessage("Only the last 255 songs were selected", "Note", MessageIcon::Information);
    m.userPlayList = true;
    if (!append) m.currentSong = 1;
    else if (taken > 0) m.currentSong = int32_t(base + 1);
    player_.listChanged();
    player_.startSelectedSong();
    frontEnd_.refreshMidiDialog();
}

}  // namespace pavalo
