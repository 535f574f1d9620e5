// Background music: the SDL2_mixer MIDI device, the sequencer queue, the
// built-in song files and the song-selection rules.
#include "media/music.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "common/file_io.h"
#include "media/audio_output.h"
#include "common/resources.h"

namespace pavalo {
namespace fs = std::filesystem;

// ---- the SDL device -------------------------------------------------------------

namespace {

// SDL_mixer's music hook takes no argument: the device that plays is kept
// here. Only one device plays music at a time (there is one music stream).
std::atomic<SdlMidiDevice*> gMusicDevice{nullptr};

void SDLCALL musicFinishedHook() {
    if (SdlMidiDevice* d = gMusicDevice.load()) d->finished();
}

Mix_Music* asMusic(void* m) { return static_cast<Mix_Music*>(m); }

}  // namespace

std::string findSoundFont() {
    if (const char* env = std::getenv("SDL_SOUNDFONTS"); env && *env) return env;
    for (const char* candidate :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2",
          "/usr/share/soundfonts/FluidR3_GM.sf2"}) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return {};
}

SdlMidiDevice::SdlMidiDevice() = default;

SdlMidiDevice::~SdlMidiDevice() {
    close();
    SdlMidiDevice* self = this;
    gMusicDevice.compare_exchange_strong(self, nullptr);
    if (haveOutput_) audio::releaseOutput();
}

std::string SdlMidiDevice::prepare() {
    if (haveOutput_) return {};
    std::string error;
    if (!audio::acquireOutput(error)) return error;
    haveOutput_ = true;
    std::lock_guard lock(audio::mixerLock());
    Mix_Init(MIX_INIT_MID);
    const std::string font = findSoundFont();
    if (!font.empty()) Mix_SetSoundFonts(font.c_str());
    return {};
}

std::string SdlMidiDevice::open(const std::string& path) {
    close();
    if (std::string e = prepare(); !e.empty()) return e;
    std::lock_guard lock(audio::mixerLock());
    Mix_Music* m = Mix_LoadMUS(path.c_str());
    if (!m) {
        const char* e = Mix_GetError();
        return "Cannot play " + path + ": " + (e && *e ? e : "the file is not a song that can be played");
    }
    music_ = m;
    paused_ = false;
    return {};
}

void SdlMidiDevice::halt() {
    std::lock_guard lock(audio::mixerLock());
    if (gMusicDevice.load() != this || !Mix_PlayingMusic()) return;
    halting_ = true;
    Mix_HaltMusic();  // the hook runs inside, and reports Aborted
    halting_ = false;
}

std::string SdlMidiDevice::play() {
    if (!music_) return "The device is not open";
    std::lock_guard lock(audio::mixerLock());
    if (paused_ && gMusicDevice.load() == this && Mix_PausedMusic()) {
        Mix_ResumeMusic();
        paused_ = false;
        return {};
    }
    halt();
    SdlMidiDevice* other = gMusicDevice.exchange(this);
    if (other && other != this) other->paused_ = false;
    Mix_HookMusicFinished(musicFinishedHook);
    ++play_;
    if (Mix_PlayMusic(asMusic(music_), 0) != 0) {
        const char* e = Mix_GetError();
        return e && *e ? e : "The song cannot be played";
    }
    paused_ = false;
    return {};
}

std::string SdlMidiDevice::seekToStart() {
    if (!music_) return "The device is not open";
    // Playing again after this starts from the beginning.
    halt();
    paused_ = false;
    return {};
}

std::string SdlMidiDevice::pause() {
    if (!music_) return "The device is not open";
    std::lock_guard lock(audio::mixerLock());
    if (gMusicDevice.load() == this && Mix_PlayingMusic()) {
        Mix_PauseMusic();
        paused_ = true;
    }
    return {};
}

std::string SdlMidiDevice::stop() {
    if (!music_) return {};
    halt();
    {
        std::lock_guard lock(audio::mixerLock());
        if (gMusicDevice.load() == this) Mix_ResumeMusic();  // a later play starts unpaused
    }
    paused_ = false;
    return {};
}

std::string SdlMidiDevice::close() {
    if (!music_) return {};
    halt();
    std::lock_guard lock(audio::mixerLock());
    Mix_FreeMusic(asMusic(music_));
    music_ = nullptr;
    paused_ = false;
    return {};
}

bool SdlMidiDevice::isOpen() const { return music_ != nullptr; }

void SdlMidiDevice::finished() {
    deliver({play_.load(), halting_.load() ? MciNotify::Aborted : MciNotify::Successful});
}

// ---- the sequencer ---------------------------------------------------------------

Sequencer::Sequencer(MidiDevice& device, MusicFrontEnd& frontEnd) : device_(device), frontEnd_(frontEnd) {}

bool Sequencer::fail(const std::string& error, std::string_view title, bool quiet) {
    enabled_ = false;
    if (!quiet && !quiet_) frontEnd_.showMessage(error, title, MessageIcon::None);
    return false;
}

bool Sequencer::Enqueue(const std::string& path, int repeat) {
    if (count_ == kSequencerQueueSize) return false;  // a full ring keeps its songs
    queue_[size_t(write_)] = {path, repeat};
    write_ = (write_ + 1) % kSequencerQueueSize;
    ++count_;
    return true;
}

bool Sequencer::Open(bool quiet) {
    if (count_ == 0) return false;
    SequencerEntry entry = queue_[size_t(read_)];
    read_ = (read_ + 1) % kSequencerQueueSize;
    --count_;
    if (std::string e = device_.open(entry.path); !e.empty()) {
        current_.reset();
        return fail(e, "Open Error", quiet);
    }
    current_ = std::move(entry);
    return true;
}

bool Sequencer::PlayNext() {
    if (!enabled_ || !noticesWanted_) return false;
    if (device_.isOpen()) {
        Stop(false);
        Close();
    }
    playing_ = paused_ = false;
    // Only a song taken from the queue plays; with nothing queued the
    // device stays closed. A song that cannot be opened (the play list
    // moving on to a damaged or unreadable file) is said, not just silence.
    if (count_ == 0) return false;
    if (!Open(false)) return false;
    if (std::string e = device_.play(); !e.empty()) return fail(e, "Play Error", false);
    playing_ = true;
    return true;
}

bool Sequencer::Repeat() {
    if (std::string e = device_.seekToStart(); !e.empty()) return fail(e, "Seek Error during Repeat()", false);
    if (std::string e = device_.play(); !e.empty()) return fail(e, "Play Error", false);
    playing_ = true;
    paused_ = false;
    return true;
}

bool Sequencer::Pause() {
    if (!playing_ || paused_) return true;
    if (std::string e = device_.pause(); !e.empty()) {
        fail(e, "Pause Error", false);
        if (std::string e2 = device_.stop(); !e2.empty()) fail(e2, "Pause 2nd Try Error", false);
        playing_ = false;
        return false;
    }
    paused_ = true;
    return true;
}

bool Sequencer::Resume() {
    if (!paused_) return true;
    paused_ = false;
    if (std::string e = device_.play(); !e.empty()) return fail(e, "Resume 2nd Try Error", false);
    return true;
}

bool Sequencer::Stop(bool clearQueue) {
    bool ok = true;
    if (device_.isOpen())
        if (std::string e = device_.stop(); !e.empty()) ok = fail(e, "Stop Error", false);
    if (clearQueue) read_ = write_ = count_ = 0;
    playing_ = paused_ = false;
    return ok;
}

bool Sequencer::Close() {
    if (!device_.isOpen()) return true;
    if (std::string e = device_.close(); !e.empty()) return fail(e, "Close Error", false);
    current_.reset();
    return true;
}

Completion Sequencer::onCompletion(MciNotify flags) {
    if (flags != MciNotify::Successful && flags != MciNotify::Superseded) return Completion::Ignored;
    playing_ = paused_ = false;
    if (current_ && current_->repeat != 0) {
        if (current_->repeat > 0) --current_->repeat;
        if (current_->repeat != 0) {
            Repeat();
            return Completion::Repeated;
        }
    }
    return Completion::Ended;
}

// ---- built-in songs ------------------------------------------------------------------

const std::array<SongTitle, kBuiltInSongCount + 1>& builtInSongTitles() {
    static const auto table = [] {
        std::array<SongTitle, kBuiltInSongCount + 1> t{};
        auto put = [](SongTitle& field, std::string_view s) {
            for (size_t i = 0; i < s.size() && i + 1 < field.size(); ++i) field[i] = s[i];
        };
        put(t[0], "None");
        for (int k = 0; k < kBuiltInSongCount; ++k) put(t[size_t(k + 1)], kBuiltInSongTitles[size_t(k)]);
        return t;
    }();
    return table;
}

std::string songTitle(int selection) {
    if (selection < 0 || selection > kBuiltInSongCount) return {};
    const SongTitle& t = builtInSongTitles()[size_t(selection)];
    return std::string(t.data(), std::find(t.begin(), t.end(), '\0'));
}

SongFiles::SongFiles(std::string tempRoot) : root_(std::move(tempRoot)) {}

SongFiles::~SongFiles() { deleteAll(); }

std::string SongFiles::extract(uint32_t resourceId) {
    const std::span<const uint8_t> bytes = findResource("MIDI", resourceId);
    if (bytes.empty()) return {};
    if (folder_.empty()) {
        std::error_code ec;
        const fs::path root = root_.empty() ? fs::temp_directory_path(ec) : fs::path(root_);
        std::string pattern = (root / "pavalo-songs-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return {};  // made with owner-only access
        folder_ = pattern;
    }
    const std::string path = (fs::path(folder_) / ("tavtmp" + std::to_string(resourceId % 100) + ".mid")).string();
    std::string error;
    if (!writeFileAtomically(path, bytes, error)) return {};
    exist_ = true;
    return path;
}

void SongFiles::deleteAll() {
    if (folder_.empty()) return;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder_, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("tavtmp", 0) == 0 && name.size() > 10 && name.ends_with(".mid")) fs::remove(e.path(), ec);
    }
    fs::remove(folder_, ec);  // only when nothing else was put there
    folder_.clear();
    exist_ = false;
}

// ---- the player -------------------------------------------------------------------------

MusicPlayer::MusicPlayer(MusicSettings& settings, std::vector<std::string>& playList, Sequencer& sequencer,
                         SongFiles& songs, MusicFrontEnd& frontEnd)
    : fileExists([](const std::string& p) {
          std::error_code ec;
          return fs::is_regular_file(p, ec);
      }),
      settings_(settings), playList_(playList), sequencer_(sequencer), songs_(songs), frontEnd_(frontEnd) {
    sequencer_.setNoticesWanted(true);
}

int MusicPlayer::playingSelection() const {
    return playing_ && playing_->userList == settings_.userPlayList ? playing_->selection : -1;
}

void MusicPlayer::stopMusic() {
    sequencer_.Stop(true);
    playing_.reset();
}

void MusicPlayer::turnMusicOff() {
    settings_.musicOn = false;
    stopMusic();
}

void MusicPlayer::startSelectedSong() {
    settings_.playListCount = int32_t(playList_.size());
    if (!settings_.musicOn) return stopMusic();
    const bool user = settings_.userPlayList;
    if (playing_ && playing_->userList == user && playing_->selection == settings_.currentSong && sequencer_.playing())
        return;
    stopMusic();
    // Starting a song is the player asking for music again.
    sequencer_.setEnabled(true);
    if (!user) {
        if (settings_.currentSong == 0) return turnMusicOff();
        // A selection beyond the table (a damaged preferences file) starts
        // at the first song.
        if (settings_.currentSong < 0 || settings_.currentSong > kBuiltInSongCount) settings_.currentSong = 1;
        const int s = settings_.currentSong;
        const std::string path = songs_.extract(songResource(s));
        if (path.empty()) return turnMusicOff();
        sequencer_.Enqueue(path, 1);
        playing_ = Playing{s, false};
    } else {
        const int count = int(playList_.size());
        int s = settings_.currentSong;
        if (s == 0 || count == 0) return turnMusicOff();
        if (s < 0 || s > count) s = 1;
        int found = 0;
        for (int i = 0; i < count && !found; ++i) {
            const int k = (s - 1 + i) % count + 1;
            if (fileExists(playList_[size_t(k - 1)])) found = k;
        }
        if (!found) return turnMusicOff();  // every file has gone: silently off
        const bool skipped = found != settings_.currentSong;
        settings_.currentSong = found;
        if (skipped && dialogOpen_) frontEnd_.refreshMidiDialog();
        sequencer_.Enqueue(playList_[size_t(found - 1)], 1);
        playing_ = Playing{found, true};
    }
    sequencer_.PlayNext();
}

void MusicPlayer::songEnded() {
    if (!settings_.autoAdvance) {
        playing_.reset();
        sequencer_.PlayNext();
        return;
    }
    const int last = settings_.userPlayList ? int(playList_.size()) : kBuiltInSongCount;
    const int s = settings_.currentSong;
    settings_.currentSong = s >= last || s < 1 ? 1 : s + 1;
    playing_.reset();  // a one-song list starts its song again
    startSelectedSong();
    if (dialogOpen_) frontEnd_.refreshMidiDialog();
}

void MusicPlayer::onNotice(const MidiNotice& notice) {
    if (notice.play != sequencer_.device().currentPlay()) return;  // about an earlier play
    if (sequencer_.onCompletion(notice.flags) == Completion::Ended) songEnded();
}

void MusicPlayer::shutdown() {
    sequencer_.Stop(true);
    sequencer_.Close();
    playing_.reset();
    songs_.deleteAll();
}

}  // namespace pavalo
