// Test doubles for the music code: a front end that records messages and
// answers file dialogs from a script, a MIDI device and a CD drive that
// record what they are asked and fail on demand, and a rig that wires a
// music player to them with a temporary folder.
#pragma once

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "media/cd_audio.h"
#include "media/music.h"

namespace pavalo::audio_fakes {

namespace fs = std::filesystem;

struct FrontEnd : MusicFrontEnd {
    struct Message {
        std::string text, caption;
        MessageIcon icon;
    };
    std::vector<Message> messages;
    std::deque<std::optional<std::vector<std::string>>> picks;
    std::vector<std::string> pickedFrom;
    int refreshes = 0;
    void showMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(caption), icon});
    }
    std::optional<std::vector<std::string>> pickFiles(std::string_view, std::string_view,
                                                      std::string_view directory) override {
        pickedFrom.emplace_back(directory);
        if (picks.empty()) return std::nullopt;
        auto p = picks.front();
        picks.pop_front();
        return p;
    }
    void refreshMidiDialog() override { ++refreshes; }
    std::vector<std::string> captions() const {
        std::vector<std::string> c;
        for (const Message& m : messages) c.push_back(m.caption);
        return c;
    }
};

// A MIDI device that records what it is asked and fails on demand.
struct FakeDevice : MidiDevice {
    std::vector<std::string> log;
    std::string openedPath;
    bool open_ = false;
    uint64_t play_ = 0;
    std::map<std::string, std::string> failures;  // step -> error text
    std::string step(const std::string& name, const std::string& detail = {}) {
        log.push_back(detail.empty() ? name : name + " " + detail);
        auto it = failures.find(name);
        return it == failures.end() ? std::string() : it->second;
    }
    std::string open(const std::string& path) override {
        std::string e = step("open", fs::path(path).filename().string());
        if (e.empty()) open_ = true, openedPath = path;
        return e;
    }
    std::string play() override {
        ++play_;
        return step("play");
    }
    std::string seekToStart() override { return step("seek"); }
    std::string pause() override { return step("pause"); }
    std::string stop() override { return step("stop"); }
    std::string close() override {
        std::string e = step("close");
        if (e.empty()) open_ = false;
        return e;
    }
    bool isOpen() const override { return open_; }
    uint64_t currentPlay() const override { return play_; }
    MidiNotice ended() const { return {play_, MciNotify::Successful}; }
    // The end of the current play reported as a device does, from whatever
    // thread calls this.
    void finishFromAnotherThread() const { deliver(ended()); }
    int count(const std::string& what) const { return int(std::count(log.begin(), log.end(), what)); }
};

// Everything a music test needs, wired together, with a temporary folder
// for song files and user files.
struct MusicRig {
    fs::path dir;
    MusicSettings settings;
    std::vector<std::string> playList;
    FrontEnd fe;
    FakeDevice device;
    Sequencer seq{device, fe};
    SongFiles songs;
    MusicPlayer player{settings, playList, seq, songs, fe};

    MusicRig()
        : dir(fs::temp_directory_path() / ("pavalo-music-" + std::to_string(::getpid()) + "-" + std::to_string(serial()))),
          songs((fs::create_directories(dir), dir.string())) {}
    ~MusicRig() {
        songs.deleteAll();
        fs::remove_all(dir);
    }
    static int serial() {
        static int n = 0;
        return ++n;
    }
    std::string userFile(const std::string& name) {
        const fs::path p = dir / name;
        std::ofstream(p) << "MThd";
        return p.string();
    }
    std::string playingFile() const { return fs::path(device.openedPath).filename().string(); }
};

// A drive with a disc of three tracks that plays in software time.
struct FakeDrive : CdDrive {
    OpenResult openResult = OpenResult::Ok;
    std::string openError;
    bool open_ = false, disc = true;
    std::vector<CdTrack> discTracks = {{0, 75 * 200}, {75 * 200, 75 * 185}, {75 * 385, 75 * 61}};
    CdMode mode = CdMode::Stopped;
    int32_t at = 0;
    std::map<std::string, bool> failing;
    std::vector<std::string> log;
    bool failIf(const std::string& step, std::string& error) {
        log.push_back(step);
        if (failing[step]) {
            error = "drive error " + step;
            return true;
        }
        return false;
    }
    OpenResult open(std::string& error) override {
        log.push_back("open");
        error = openError;
        open_ = openResult == OpenResult::Ok;
        return openResult;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool mediaPresent() override { return open_ && disc; }
    bool readTracks(std::vector<CdTrack>& t, std::string& error) override {
        if (failIf("toc", error)) return false;
        t = discTracks;
        return true;
    }
    int trackAt(int32_t sector) const {
        for (size_t i = 0; i < discTracks.size(); ++i)
            if (sector < discTracks[i].start + discTracks[i].length) return int(i) + 1;
        return int(discTracks.size());
    }
    bool status(CdStatus& s, std::string& error) override {
        if (failIf("status", error)) return false;
        s.mode = mode;
        s.track = trackAt(at);
        s.inTrack = at - discTracks[size_t(s.track - 1)].start;
        s.absolute = at;
        return true;
    }
    bool play(int32_t from, int32_t, std::string& error) override {
        if (failIf("play " + std::to_string(trackAt(from)), error)) return false;
        at = from;
        mode = CdMode::Playing;
        return true;
    }
    bool pause(std::string& error) override {
        if (failIf("pause", error)) return false;
        mode = CdMode::Paused;
        return true;
    }
    bool resume(std::string& error) override {
        if (failIf("resume", error)) return false;
        mode = CdMode::Playing;
        return true;
    }
    bool stop(std::string& error) override {
        if (failIf("stop", error)) return false;
        mode = CdMode::Stopped;
        return true;
    }
};


}  // namespace pavalo::audio_fakes
