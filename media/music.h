// Background music: the MIDI "sequencer" with its queue of songs, the
// twenty built-in songs and the player's own play list, and the rules that
// start the selected song and move on when a song ends.
//
// The sequencer plays through a MidiDevice: the shipped one is SDL2_mixer
// music with its FluidSynth backend and a General-MIDI soundfont found on the
// system; tests use their own. Devices report the end of a play through a
// completion notice, which may arrive on any thread; the owner passes it on
// to MusicPlayer::onNotice on the user-interface thread (the notice posted
// to the main frame).
//
// Every device failure is shown (unless quiet) in a message box titled by
// the failed step, with the device's error text, and clears the sequencer's
// enabled flag: music stays silent until the player starts a song again.
// Nothing here ends the program.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/song_titles.h"
#include "media/music_settings.h"

namespace pavalo {

// ---- the front end's part ------------------------------------------------------

enum class MessageIcon { None, Information, Warning };

// What music needs from the window system: message boxes with an icon, the
// multiple-selection file dialog, and a refresh of the open MIDI dialog.
class MusicFrontEnd {
public:
    virtual ~MusicFrontEnd() = default;
    virtual void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    // The files chosen, as full paths in the order the dialog gives them;
    // nothing when cancelled.
    virtual std::optional<std::vector<std::string>> pickFiles(std::string_view title, std::string_view filter,
                                                              std::string_view directory) = 0;
    // The MIDI dialog, when open, shows the list and selection afresh.
    virtual void refreshMidiDialog() = 0;
};

// ---- the device ------------------------------------------------------------------

// How a play ended, as the completion notice says.
enum class MciNotify { Successful, Superseded, Aborted, Failure };

struct MidiNotice {
    uint64_t play = 0;  // which play of the device it is about
    MciNotify flags = MciNotify::Successful;
};

class MidiDevice {
public:
    using NoticeSink = std::function<void(const MidiNotice&)>;
    virtual ~MidiDevice() = default;
    // Each step returns an empty string on success, else the error text.
    virtual std::string open(const std::string& path) = 0;
    // Plays from the current position (a paused play continues); a notice
    // follows when the play ends by itself (Successful) or is stopped
    // (Aborted).
    virtual std::string play() = 0;
    virtual std::string seekToStart() = 0;
    virtual std::string pause() = 0;
    virtual std::string stop() = 0;
    virtual std::string close() = 0;
    virtual bool isOpen() const = 0;
    // The play the next notice for the current song will name; notices for
    // earlier plays are stale.
    virtual uint64_t currentPlay() const = 0;
    // Where notices go; may be called from any thread.
    void setNoticeSink(NoticeSink sink) { sink_ = std::move(sink); }

protected:
    void deliver(const MidiNotice& n) const {
        if (sink_) sink_(n);
    }

private:
    NoticeSink sink_;
};

// The shipped device: SDL2_mixer music (MIDI through FluidSynth).
class SdlMidiDevice final : public MidiDevice {
public:
    SdlMidiDevice();
    ~SdlMidiDevice() override;
    std::string open(const std::string& path) override;
    std::string play() override;
    std::string seekToStart() override;
    std::string pause() override;
    std::string stop() override;
    std::string close() override;
    bool isOpen() const override;
    uint64_t currentPlay() const override { return play_.load(); }

    // Called by SDL_mixer's music-finished hook (audio thread, or inside a
    // halt on the calling thread).
    void finished();

private:
    std::string prepare();  // opens the output and the MIDI decoder once
    void halt();            // stops without a Successful notice

    void* music_ = nullptr;  // Mix_Music
    bool haveOutput_ = false;
    bool paused_ = false;
    std::atomic<uint64_t> play_{0};
    std::atomic<bool> halting_{false};
};

// The General-MIDI soundfont to use: SDL_SOUNDFONTS when set, else the first
// of the usual Debian places that exists; empty when none.
std::string findSoundFont();

// ---- the sequencer -----------------------------------------------------------------

inline constexpr int kSequencerQueueSize = 200;

struct SequencerEntry {
    std::string path;
    int repeat = 0;  // 0 play once, > 0 that many repeats, < 0 for ever
};

enum class Completion { Ignored, Repeated, Ended };

class Sequencer {
public:
    Sequencer(MidiDevice& device, MusicFrontEnd& frontEnd);

    // Queues a song; false (nothing queued) when all 200 entries wait.
    bool Enqueue(const std::string& path, int repeat);
    // Opens the device on the next queued song and moves the read index on.
    bool Open(bool quiet);
    // Opens the next queued song (closing the current one) and plays it.
    bool PlayNext();
    bool Repeat();
    bool Pause();
    bool Resume();
    bool Stop(bool clearQueue);
    bool Close();
    // The completion notice: a song that still has repeats plays again
    // (Repeated); a used-up song is Ended; aborted and failed plays are
    // Ignored.
    Completion onCompletion(MciNotify flags);

    // Where completion notices go; play next does nothing until set.
    void setNoticesWanted(bool wanted) { noticesWanted_ = wanted; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    bool quiet() const { return quiet_; }
    void setQuiet(bool q) { quiet_ = q; }
    bool playing() const { return playing_; }
    bool paused() const { return paused_; }
    int readIndex() const { return read_; }
    int writeIndex() const { return write_; }
    int queued() const { return count_; }
    const std::optional<SequencerEntry>& current() const { return current_; }
    MidiDevice& device() { return device_; }

private:
    bool fail(const std::string& error, std::string_view title, bool quiet);

    MidiDevice& device_;
    MusicFrontEnd& frontEnd_;
    std::array<SequencerEntry, kSequencerQueueSize> queue_;
    int read_ = 0, write_ = 0, count_ = 0;
    std::optional<SequencerEntry> current_;
    bool enabled_ = true, quiet_ = false, playing_ = false, paused_ = false, noticesWanted_ = false;
};

// ---- built-in songs ------------------------------------------------------------------

// The 21 selections' titles in fixed 20-byte fields: "None", then the songs.
using SongTitle = std::array<char, 20>;
const std::array<SongTitle, kBuiltInSongCount + 1>& builtInSongTitles();
std::string songTitle(int selection);  // "" outside 0..20
inline uint32_t songResource(int selection) { return uint32_t(kFirstSongResource - 1 + selection); }

// Built-in songs written out for the device: "tavtmp<id mod 100>.mid" in a
// folder of this run's own (made with owner-only access under the system's
// temporary folder), so no other program or copy of the game can swap or
// remove them, and deleting them touches nothing else.
class SongFiles {
public:
    // tempRoot: where the folder is made; the system's temporary folder
    // when empty.
    explicit SongFiles(std::string tempRoot = {});
    ~SongFiles();
    SongFiles(const SongFiles&) = delete;
    SongFiles& operator=(const SongFiles&) = delete;

    // Writes the "MIDI" resource; the file's path, or empty on failure.
    std::string extract(uint32_t resourceId);
    // Deletes every "tavtmp*.mid" of the folder, then the folder.
    void deleteAll();
    bool exist() const { return exist_; }
    const std::string& folder() const { return folder_; }

private:
    std::string root_, folder_;
    bool exist_ = false;
};

// ---- the player ------------------------------------------------------------------------

inline constexpr int kMaxUserSongs = 255;

class MusicPlayer {
public:
    MusicPlayer(MusicSettings& settings, std::vector<std::string>& playList, Sequencer& sequencer,
                SongFiles& songs, MusicFrontEnd& frontEnd);

    // Music on: starts the selection of the list in use, unless it already
    // plays; off: stops. A user list whose files have all gone turns music
    // off silently; skipped files move the selection on.
    void startSelectedSong();
    // A song ended by itself: the next plays (song 20 is followed by 1, the
    // last user song by the first) or, without auto-advance, only what is
    // queued.
    void songEnded();
    // The completion notice from the device, on the user-interface thread.
    void onNotice(const MidiNotice& notice);

    void turnMusicOff();
    // The user list's contents changed: what plays no longer counts as the
    // selection.
    void listChanged() { playing_.reset(); }
    void setDialogOpen(bool open) { dialogOpen_ = open; }
    // Stops and closes the sequencer and deletes the song files (exit).
    void shutdown();

    MusicSettings& settings() { return settings_; }
    std::vector<std::string>& playList() { return playList_; }
    Sequencer& sequencer() { return sequencer_; }
    // The selection playing in the list in use, or -1.
    int playingSelection() const;

    // Whether a play-list file exists (replaceable in tests).
    std::function<bool(const std::string&)> fileExists;

private:
    struct Playing {
        int selection;
        bool userList;
    };
    void stopMusic();

    MusicSettings& settings_;
    std::vector<std::string>& playList_;
    Sequencer& sequencer_;
    SongFiles& songs_;
    MusicFrontEnd& frontEnd_;
    std::optional<Playing> playing_;
    bool dialogOpen_ = false;
};

}  // namespace pavalo
