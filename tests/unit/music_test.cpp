// Tests of the music: the embedded songs (valid Standard MIDI Files of one to
// three minutes, not silent when rendered), the sequencer's queue, repeats
// and error titles, the song rules (None, wrap from 20 to 1, vanished user
// files, auto-advance), the song files' private folder, the MIDI options'
// rules (New and Add order, the 255 limit, the file-name check, midiDir),
// "tavorn.ini", the CD player and dialog on a scripted drive, and the real
// MIDI device on SDL's silent driver.
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "media/audio_output.h"
#include "media/cd_audio.h"
#include "shell/dialogs/midi_options.h"
#include "media/music.h"
#include "media/profile.h"
#include "common/resources.h"
#include "tests/unit/music_fakes.h"

using namespace pavalo;
using namespace pavalo::audio_fakes;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// ---- reading Standard MIDI Files -------------------------------------------------------

struct SmfSummary {
    bool ok = false;
    std::string error;
    int format = -1, tracks = 0, notes = 0;
    std::set<int> programs, channels;
    double seconds = 0;
};

// A strict reader: chunk sizes, running status, meta and sysex lengths,
// note balance and an End of Track at each track's end; the playing time
// through the tempo map.
SmfSummary readSmf(std::span<const uint8_t> b) {
    SmfSummary s;
    auto be = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | b[at + size_t(i)];
        return v;
    };
    auto fail = [&](const char* why) {
        s.error = why;
        return s;
    };
    if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0 || be(4, 4) != 6) return fail("header");
    s.format = int(be(8, 2));
    const int declared = int(be(10, 2));
    const int division = int(be(12, 2));
    if (division <= 0 || division & 0x8000) return fail("division");
    std::vector<std::pair<uint64_t, uint32_t>> tempos = {{0, 500000}};
    uint64_t endTick = 0;
    size_t at = 14;
    while (at + 8 <= b.size()) {
        if (std::memcmp(b.data() + at, "MTrk", 4) != 0) return fail("track chunk");
        const size_t len = be(at + 4, 4);
        size_t p = at + 8;
        const size_t end = p + len;
        if (end > b.size()) return fail("track length");
        uint64_t tick = 0;
        uint8_t status = 0;
        bool ended = false;
        std::map<std::pair<int, int>, int> on;
        auto varlen = [&](uint32_t& v) {
            v = 0;
            for (int i = 0; i < 4; ++i) {
                if (p >= end) return false;
                const uint8_t c = b[p++];
                v = v << 7 | (c & 0x7F);
                if (!(c & 0x80)) return true;
            }
            return false;
        };
        while (p < end) {
            if (ended) return fail("events after End of Track");
            uint32_t delta;
            if (!varlen(delta)) return fail("delta");
            tick += delta;
            if (p >= end) return fail("event");
            uint8_t c = b[p];
            if (c == 0xFF) {
                if (p + 2 > end) return fail("meta");
                const uint8_t type = b[p + 1];
                p += 2;
                uint32_t n;
                if (!varlen(n) || p + n > end) return fail("meta length");
                if (type == 0x51 && n == 3) tempos.push_back({tick, be(p, 3)});
                if (type == 0x2F) ended = true;
                p += n;
                continue;
            }
            if (c == 0xF0 || c == 0xF7) {
                ++p;
                uint32_t n;
                if (!varlen(n) || p + n > end) return fail("sysex");
                p += n;
                continue;
            }
            if (c & 0x80) status = c, ++p;
            if (!status) return fail("running status without status");
            const int kind = status & 0xF0, ch = status & 0x0F;
            const int n = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            if (p + size_t(n) > end) return fail("data");
            const uint8_t d1 = b[p], d2 = n == 2 ? b[p + 1] : 0;
            if (d1 & 0x80 || d2 & 0x80) return fail("data byte");
            p += size_t(n);
            if (kind == 0x90 && d2 > 0) {
                ++on[{ch, d1}];
                ++s.notes;
                s.channels.insert(ch);
            } else if (kind == 0x80 || (kind == 0x90 && d2 == 0)) {
                if (on[{ch, d1}]-- <= 0) return fail("note off without note on");
            } else if (kind == 0xC0) {
                s.programs.insert(d1);
            }
        }
        if (!ended) return fail("no End of Track");
        for (auto& [k, v] : on)
            if (v != 0) return fail("note left sounding");
        endTick = std::max(endTick, tick);
        ++s.tracks;
        at = end;
    }
    if (at != b.size() || s.tracks != declared) return fail("track count");
    std::sort(tempos.begin(), tempos.end());
    for (size_t i = 0; i < tempos.size(); ++i) {
        const uint64_t from = tempos[i].first, to = i + 1 < tempos.size() ? tempos[i + 1].first : endTick;
        if (to > from) s.seconds += double(to - from) / division * tempos[i].second / 1e6;
    }
    s.ok = true;
    return s;
}

// A one-note MIDI file of about a fifth of a second.
std::vector<uint8_t> tinySong() {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k', 0, 0, 0, 15,
            0,   0xC0, 0,  0,   0x90, 60, 100, 20, 0x80, 60, 0,   0,   0xFF, 0x2F, 0};
}

}  // namespace

// ---- the embedded songs -------------------------------------------------------------------

TEST(BuiltInSongs, EverySongIsAValidGeneralMidiFileOfOneToThreeMinutes) {
    for (int k = 1; k <= kBuiltInSongCount; ++k) {
        SCOPED_TRACE("song " + std::to_string(k) + " " + songTitle(k));
        const std::span<const uint8_t> bytes = findResource("MIDI", songResource(k));
        ASSERT_FALSE(bytes.empty());
        const SmfSummary s = readSmf(bytes);
        ASSERT_TRUE(s.ok) << s.error;
        EXPECT_EQ(s.format, 1);
        EXPECT_GE(s.seconds, 60.0);
        EXPECT_LE(s.seconds, 180.0);
        EXPECT_GE(s.notes, 200);
        EXPECT_GE(s.programs.size(), 2u) << "several instruments";
        EXPECT_GE(s.channels.size(), 4u);
    }
    EXPECT_TRUE(findResource("MIDI", 49).empty());
    EXPECT_TRUE(findResource("MIDI", 70).empty());
}

TEST(BuiltInSongs, TitleTableHasNoneThenTwentyFittingTitles) {
    const auto& table = builtInSongTitles();
    ASSERT_EQ(table.size(), 21u);
    EXPECT_EQ(songTitle(0), "None");
    std::set<std::string> seen;
    for (int k = 0; k <= kBuiltInSongCount; ++k) {
        EXPECT_EQ(table[size_t(k)].back(), '\0');
        EXPECT_FALSE(songTitle(k).empty());
        EXPECT_TRUE(seen.insert(songTitle(k)).second);
    }
    EXPECT_EQ(songTitle(21), "");
    EXPECT_EQ(songResource(1), 50u);
    EXPECT_EQ(songResource(20), 69u);
}

TEST(BuiltInSongs, ASongRenderedThroughTheSoundfontIsNotSilent) {
    const std::string font = findSoundFont();
    ASSERT_FALSE(font.empty()) << "the General-MIDI soundfont is installed by the set-up script";
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", 22050);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(fluid_synth_sfload(synth, font.c_str(), 1), FLUID_FAILED);
    fluid_player_t* player = new_fluid_player(synth);
    const std::span<const uint8_t> song = findResource("MIDI", songResource(1));
    ASSERT_EQ(fluid_player_add_mem(player, song.data(), song.size()), FLUID_OK);
    fluid_player_play(player);
    // Ten seconds from the start: past the introduction into the tune.
    std::vector<int16_t> left(22050 * 10), right(left.size());
    fluid_synth_write_s16(synth, int(left.size()), left.data(), 0, 1, right.data(), 0, 1);
    double sum = 0;
    int peak = 0;
    for (int16_t v : left) {
        sum += double(v) * v;
        peak = std::max(peak, std::abs(int(v)));
    }
    const double rmsDb = 10 * std::log10(sum / double(left.size()) / (32768.0 * 32768.0));
    EXPECT_GT(rmsDb, -45.0);
    EXPECT_LT(peak, 32767) << "clipped";
    fluid_player_stop(player);
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
}

// ---- the sequencer --------------------------------------------------------------------------

TEST(Sequencer, QueueWrapsFrom199To0AndAFullRingKeepsItsSongs) {
    FrontEnd fe;
    FakeDevice d;
    Sequencer seq(d, fe);
    seq.setNoticesWanted(true);
    for (int i = 0; i < 199; ++i) {
        ASSERT_TRUE(seq.Enqueue("song" + std::to_string(i) + ".mid", 0));
        ASSERT_TRUE(seq.PlayNext());
    }
    EXPECT_EQ(seq.writeIndex(), 199);
    EXPECT_EQ(seq.readIndex(), 199);
    ASSERT_TRUE(seq.Enqueue("last.mid", 0));
    EXPECT_EQ(seq.writeIndex(), 0);
    ASSERT_TRUE(seq.Enqueue("wrapped.mid", 0));
    ASSERT_TRUE(seq.PlayNext());
    EXPECT_EQ(d.log[d.log.size() - 2], "open last.mid");
    EXPECT_EQ(seq.readIndex(), 0);
    ASSERT_TRUE(seq.PlayNext());
    EXPECT_EQ(d.log[d.log.size() - 2], "open wrapped.mid");
    EXPECT_EQ(seq.readIndex(), 1);

    // 200 waiting songs fill the ring; the 201st is refused, none is lost.
    seq.Stop(true);
    for (int i = 0; i < kSequencerQueueSize; ++i) ASSERT_TRUE(seq.Enqueue("q" + std::to_string(i) + ".mid", 0));
    EXPECT_FALSE(seq.Enqueue("overflow.mid", 0));
    ASSERT_TRUE(seq.PlayNext());
    EXPECT_EQ(d.log[d.log.size() - 2], "open q0.mid");
}

TEST(Sequencer, RepeatCountsAndCompletionKinds) {
    FrontEnd fe;
    FakeDevice d;
    Sequencer seq(d, fe);
    seq.setNoticesWanted(true);

    // A song queued with repeat count 3: the count goes down at each end
    // and the song plays again while it is not 0.
    seq.Enqueue("a.mid", 3);
    seq.Enqueue("b.mid", 0);
    ASSERT_TRUE(seq.PlayNext());
    EXPECT_EQ(seq.onCompletion(MciNotify::Successful), Completion::Repeated);
    EXPECT_EQ(seq.onCompletion(MciNotify::Superseded), Completion::Repeated);
    EXPECT_EQ(seq.onCompletion(MciNotify::Successful), Completion::Ended);
    EXPECT_EQ(d.count("seek"), 2);
    EXPECT_EQ(d.count("play"), 3);
    // Aborted and failed plays change nothing.
    EXPECT_EQ(seq.onCompletion(MciNotify::Aborted), Completion::Ignored);
    EXPECT_EQ(seq.onCompletion(MciNotify::Failure), Completion::Ignored);
    EXPECT_EQ(d.count("play"), 3);
    ASSERT_TRUE(seq.PlayNext());
    EXPECT_EQ(d.log[d.log.size() - 2], "open b.mid");
    EXPECT_EQ(seq.onCompletion(MciNotify::Successful), Completion::Ended);

    // A negative count repeats for ever.
    seq.Enqueue("c.mid", -1);
    ASSERT_TRUE(seq.PlayNext());
    for (int i = 0; i < 50; ++i) ASSERT_EQ(seq.onCompletion(MciNotify::Successful), Completion::Repeated);

    // Nothing queued: play next closes the song and plays nothing.
    const int plays = d.count("play");
    EXPECT_FALSE(seq.PlayNext());
    EXPECT_EQ(d.count("play"), plays);
    EXPECT_FALSE(d.isOpen());
    EXPECT_TRUE(seq.enabled());
}

TEST(Sequencer, EveryFailureHasItsTitleAndSilencesUntilEnabledAgain) {
    struct Case {
        std::string step;
        std::function<void(Sequencer&)> act;
        std::vector<std::string> titles;
    };
    const std::vector<Case> cases = {
        {"play", [](Sequencer& s) { s.PlayNext(); }, {"Play Error"}},
        {"seek", [](Sequencer& s) { s.PlayNext(), s.Repeat(); }, {"Seek Error during Repeat()"}},
        {"pause", [](Sequencer& s) { s.PlayNext(), s.Pause(); }, {"Pause Error"}},
        {"stop", [](Sequencer& s) { s.PlayNext(), s.Stop(false); }, {"Stop Error"}},
        {"close", [](Sequencer& s) { s.PlayNext(), s.Close(); }, {"Close Error"}},
        {"open", [](Sequencer& s) { s.Open(false); }, {"Open Error"}},
        {"open", [](Sequencer& s) { s.Open(true); }, {}},  // quiet
        // Play next (the play list moving on) says why a song cannot be opened.
        {"open", [](Sequencer& s) { s.PlayNext(); }, {"Open Error"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        FrontEnd fe;
        FakeDevice d;
        Sequencer seq(d, fe);
        seq.setNoticesWanted(true);
        seq.Enqueue("x.mid", 0);
        d.failures[c.step] = "MCI says no";
        c.act(seq);
        EXPECT_EQ(fe.captions(), c.titles);
        for (const auto& m : fe.messages) EXPECT_EQ(m.text, "MCI says no");
        EXPECT_FALSE(seq.enabled());
        // Disabled: nothing plays until the flag is set again.
        d.failures.clear();
        seq.Enqueue("y.mid", 0);
        EXPECT_FALSE(seq.PlayNext());
        seq.setEnabled(true);
        EXPECT_TRUE(seq.PlayNext());
    }

    // Pause failing falls back to stop; that failing too has its own title.
    FrontEnd fe;
    FakeDevice d;
    Sequencer seq(d, fe);
    seq.setNoticesWanted(true);
    seq.Enqueue("x.mid", 0);
    seq.PlayNext();
    d.failures["pause"] = "no pause";
    d.failures["stop"] = "no stop";
    seq.Pause();
    EXPECT_EQ(fe.captions(), (std::vector<std::string>{"Pause Error", "Pause 2nd Try Error"}));
    EXPECT_FALSE(seq.playing());

    // Resume after a pause plays on; failing, it says so and is unpaused.
    FrontEnd fe2;
    FakeDevice d2;
    Sequencer s2(d2, fe2);
    s2.setNoticesWanted(true);
    s2.Enqueue("x.mid", 0);
    s2.PlayNext();
    EXPECT_TRUE(s2.Pause());
    EXPECT_TRUE(s2.paused());
    d2.failures["play"] = "no";
    s2.Resume();
    EXPECT_EQ(fe2.captions(), (std::vector<std::string>{"Resume 2nd Try Error"}));
    EXPECT_FALSE(s2.paused());

    // The quiet flag keeps every box away.
    FrontEnd fe3;
    FakeDevice d3;
    Sequencer s3(d3, fe3);
    s3.setNoticesWanted(true);
    s3.setQuiet(true);
    s3.Enqueue("x.mid", 0);
    d3.failures["play"] = "no";
    s3.PlayNext();
    EXPECT_TRUE(fe3.messages.empty());
    EXPECT_FALSE(s3.enabled());
}

TEST(Sequencer, PlayNextNeedsSomewhereForNotices) {
    FrontEnd fe;
    FakeDevice d;
    Sequencer seq(d, fe);
    seq.Enqueue("x.mid", 0);
    EXPECT_FALSE(seq.PlayNext());
    EXPECT_TRUE(d.log.empty());
    seq.setNoticesWanted(true);
    EXPECT_TRUE(seq.PlayNext());
}

// ---- the song rules ----------------------------------------------------------------------

TEST(MusicPlayer, BuiltInSongsPlayFromPrivateFilesAndWrapFrom20To1) {
    MusicRig r;
    r.settings.currentSong = 19;
    r.player.startSelectedSong();
    EXPECT_EQ(r.playingFile(), "tavtmp68.mid");
    EXPECT_EQ(r.player.playingSelection(), 19);
    // The file is the song, in a folder of its own with owner-only access.
    const fs::path file = r.device.openedPath;
    EXPECT_EQ(file.parent_path(), fs::path(r.songs.folder()));
    EXPECT_NE(file.parent_path(), r.dir);
    EXPECT_EQ(fs::status(file.parent_path()).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    const std::span<const uint8_t> resource = findResource("MIDI", 68);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), resource.begin(), resource.end()));

    // Starting the song that already plays does nothing.
    const size_t calls = r.device.log.size();
    r.player.startSelectedSong();
    EXPECT_EQ(r.device.log.size(), calls);

    r.player.onNotice(r.device.ended());
    EXPECT_EQ(r.settings.currentSong, 20);
    EXPECT_EQ(r.playingFile(), "tavtmp69.mid");
    r.player.onNotice(r.device.ended());
    EXPECT_EQ(r.settings.currentSong, 1);
    EXPECT_EQ(r.playingFile(), "tavtmp50.mid");

    // A notice about an earlier play (the song was changed meanwhile) is
    // not an ending.
    const MidiNotice stale = r.device.ended();
    r.settings.currentSong = 5;
    r.player.startSelectedSong();
    r.player.onNotice(stale);
    EXPECT_EQ(r.settings.currentSong, 5);
    r.player.onNotice({r.device.currentPlay(), MciNotify::Aborted});
    EXPECT_EQ(r.settings.currentSong, 5);

    // Leaving: the files and their folder are gone.
    const std::string folder = r.songs.folder();
    EXPECT_TRUE(r.songs.exist());
    r.player.shutdown();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(r.songs.exist());
    EXPECT_FALSE(r.device.isOpen());
}

TEST(MusicPlayer, NoneStopsAndMusicStaysOffUntilAnotherSongIsChosen) {
    MusicRig r;
    r.settings.currentSong = 3;
    r.player.startSelectedSong();
    ASSERT_TRUE(r.seq.playing());
    r.settings.currentSong = 0;
    r.player.startSelectedSong();
    EXPECT_FALSE(r.settings.musicOn);
    EXPECT_FALSE(r.seq.playing());
    EXPECT_EQ(r.player.playingSelection(), -1);
    // While off, nothing starts.
    r.settings.currentSong = 4;
    const int plays = r.device.count("play");
    r.player.startSelectedSong();
    EXPECT_EQ(r.device.count("play"), plays);
    r.settings.musicOn = true;
    r.player.startSelectedSong();
    EXPECT_EQ(r.playingFile(), "tavtmp53.mid");

    // A damaged selection starts the first song.
    r.settings.currentSong = 77;
    r.player.startSelectedSong();
    EXPECT_EQ(r.settings.currentSong, 1);
    EXPECT_EQ(r.playingFile(), "tavtmp50.mid");
}

TEST(MusicPlayer, UserListSkipsVanishedFilesAndTurnsOffWhenAllAreGone) {
    MusicRig r;
    r.playList = {r.userFile("one.mid"), (r.dir / "gone.mid").string(), r.userFile("three.mid")};
    r.settings.userPlayList = true;
    r.settings.currentSong = 2;
    r.player.setDialogOpen(true);
    r.player.startSelectedSong();
    EXPECT_EQ(r.playingFile(), "three.mid");
    EXPECT_EQ(r.settings.currentSong, 3);
    EXPECT_EQ(r.settings.playListCount, 3);
    EXPECT_EQ(r.fe.refreshes, 1);

    // After the last song comes the first.
    r.player.onNotice(r.device.ended());
    EXPECT_EQ(r.playingFile(), "one.mid");
    EXPECT_EQ(r.settings.currentSong, 1);

    // Every file gone: music off, no message.
    for (const std::string& p : r.playList) fs::remove(p);
    r.player.onNotice(r.device.ended());
    EXPECT_FALSE(r.settings.musicOn);
    EXPECT_TRUE(r.fe.messages.empty());
    EXPECT_FALSE(r.seq.playing());
}

TEST(MusicPlayer, OneSongListRestartsAndWithoutAutoAdvanceOnlyTheQueuePlays) {
    MusicRig r;
    r.playList = {r.userFile("only.mid")};
    r.settings.userPlayList = true;
    r.settings.currentSong = 1;
    r.player.startSelectedSong();
    const int opens = r.device.count("open only.mid");
    r.player.onNotice(r.device.ended());
    EXPECT_EQ(r.device.count("open only.mid"), opens + 1);
    EXPECT_TRUE(r.seq.playing());

    r.settings.autoAdvance = false;
    const int plays = r.device.count("play");
    r.player.onNotice(r.device.ended());
    EXPECT_EQ(r.device.count("play"), plays);
    EXPECT_FALSE(r.seq.playing());
    EXPECT_EQ(r.settings.currentSong, 1);
}

TEST(SongFiles, DeletingTouchesOnlyTheGamesOwnFolder) {
    const fs::path root = fs::temp_directory_path() / ("pavalo-songroot-" + std::to_string(::getpid()));
    fs::create_directories(root);
    // Someone else's file with the same kind of name, beside our folder.
    std::ofstream(root / "tavtmp50.mid") << "not ours";
    {
        SongFiles a(root.string()), b(root.string());
        const std::string pa = a.extract(50), pb = b.extract(50);
        ASSERT_FALSE(pa.empty());
        ASSERT_FALSE(pb.empty());
        EXPECT_NE(pa, pb) << "two copies of the game never share a file";
        EXPECT_EQ(fs::path(pa).filename(), "tavtmp50.mid");
        EXPECT_TRUE(a.extract(999).empty());
        a.deleteAll();
        EXPECT_FALSE(fs::exists(pa));
        EXPECT_TRUE(fs::exists(pb));
    }  // b deletes its files as it goes
    EXPECT_TRUE(fs::exists(root / "tavtmp50.mid"));
    size_t left = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(root)) ++left;
    EXPECT_EQ(left, 1u);
    fs::remove_all(root);
}

// ---- the MIDI options -----------------------------------------------------------------------

namespace {
struct MidiRig : MusicRig {
    std::string ini = (dir / "cfg" / "tavorn.ini").string();
    MidiOptionsModel model{player, fe, ini};
};
}  // namespace

TEST(MidiOptions, ComboListsAndSongChoices) {
    MidiRig r;
    std::vector<std::string> e = r.model.entries();
    ASSERT_EQ(e.size(), 21u);
    EXPECT_EQ(e[0], "None");
    EXPECT_EQ(e[1], songTitle(1));
    EXPECT_EQ(r.model.currentIndex(), 1);

    r.model.choose(7);
    EXPECT_TRUE(r.settings.musicOn);
    EXPECT_EQ(r.playingFile(), "tavtmp56.mid");
    r.model.choose(0);
    EXPECT_FALSE(r.settings.musicOn);
    EXPECT_FALSE(r.seq.playing());
    // Play with "None" selected does nothing; with a song it plays.
    r.model.playMusic();
    EXPECT_FALSE(r.settings.musicOn);
    r.settings.currentSong = 2;
    r.model.playMusic();
    EXPECT_TRUE(r.seq.playing());
    r.model.stopMusic();
    EXPECT_FALSE(r.settings.musicOn);
    EXPECT_FALSE(r.seq.playing());

    // The user list is refused while empty.
    r.model.userPlayList();
    ASSERT_EQ(r.fe.messages.size(), 1u);
    EXPECT_EQ(r.fe.messages[0].text, "Please add MIDI songs to your playlist first");
    EXPECT_EQ(r.fe.messages[0].caption, "Playlist Empty");
    EXPECT_FALSE(r.settings.userPlayList);

    r.playList = {r.userFile("a.mid"), r.userFile("b.mid")};
    r.settings.musicOn = true;
    r.model.userPlayList();
    EXPECT_TRUE(r.settings.userPlayList);
    EXPECT_EQ(r.settings.currentSong, 1);
    EXPECT_EQ(r.playingFile(), "a.mid");
    e = r.model.entries();
    EXPECT_EQ(e, (std::vector<std::string>{"None", "a.mid", "b.mid"}));

    // Back to the built-in list: a selection above 20 becomes 1.
    r.settings.currentSong = 40;
    r.model.defaultPlayList();
    EXPECT_FALSE(r.settings.userPlayList);
    EXPECT_EQ(r.settings.currentSong, 1);
    EXPECT_EQ(r.playingFile(), "tavtmp50.mid");
}

TEST(MidiOptions, NewListOf300FilesKeeps255InReverseAndSaysSo) {
    MidiRig r;
    r.player.startSelectedSong();
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) names.push_back((r.dir / "tunes" / ("t" + std::to_string(i) + ".mid")).string());
    r.fe.picks.push_back(names);
    r.model.newPlayList();
    ASSERT_EQ(r.playList.size(), 255u);
    EXPECT_EQ(r.playList.front(), names[254]);
    EXPECT_EQ(r.playList.back(), names[0]);
    EXPECT_EQ(r.settings.playListCount, 255);
    ASSERT_EQ(r.fe.messages.size(), 1u);
    EXPECT_EQ(r.fe.messages[0].text, "Only the last 255 songs were selected");
    EXPECT_EQ(r.fe.messages[0].caption, "Note");
    EXPECT_EQ(r.fe.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(r.settings.userPlayList);
    EXPECT_EQ(r.settings.currentSong, 1);
    // The folder of the chosen files is remembered and offered next time.
    EXPECT_EQ(readProfileString(r.ini, "Tessel", "midiDir"), (r.dir / "tunes").string());
    r.fe.picks.push_back(std::nullopt);
    r.model.addToPlayList();
    EXPECT_EQ(r.fe.pickedFrom.back(), (r.dir / "tunes").string());
    EXPECT_EQ(r.playList.size(), 255u);
}

TEST(MidiOptions, AddAppendsInReverseSelectsTheFirstNewSlotAndAcceptsUpperCase) {
    MidiRig r;
    r.playList = {r.userFile("old.mid")};
    r.settings.userPlayList = true;
    r.player.startSelectedSong();
    ASSERT_EQ(r.playingFile(), "old.mid");
    const std::string x = r.userFile("x.MID"), y = r.userFile("y.mid");
    r.fe.picks.push_back(std::vector<std::string>{x, y});
    r.model.addToPlayList();
    EXPECT_EQ(r.playList, (std::vector<std::string>{(r.dir / "old.mid").string(), y, x}));
    EXPECT_EQ(r.settings.currentSong, 2);
    EXPECT_EQ(r.playingFile(), "y.mid");
    EXPECT_TRUE(r.fe.messages.empty());
    // The music was paused for the file dialog and then changed song.
    EXPECT_GE(r.device.count("pause"), 1);

    // A list refilled with New plays its first song even when the old list's
    // first song was the one playing.
    r.settings.currentSong = 1;
    r.player.startSelectedSong();
    const std::string z = r.userFile("z.mid");
    r.fe.picks.push_back(std::vector<std::string>{z});
    r.model.newPlayList();
    EXPECT_EQ(r.playList, (std::vector<std::string>{z}));
    EXPECT_EQ(r.playingFile(), "z.mid");
}

TEST(MidiOptions, CancelResumesAndABadNameEmptiesTheList) {
    MidiRig r;
    r.player.startSelectedSong();
    r.fe.picks.push_back(std::nullopt);
    r.model.newPlayList();
    EXPECT_EQ(r.device.count("pause"), 1);
    EXPECT_EQ(r.device.log.back(), "play");  // resumed
    EXPECT_TRUE(r.seq.playing());
    EXPECT_FALSE(r.seq.paused());
    // No midiDir yet: the dialog started in the current folder.
    EXPECT_EQ(r.fe.pickedFrom.back(), fs::current_path().string());

    r.playList = {r.userFile("keep.mid")};
    r.fe.picks.push_back(std::vector<std::string>{r.userFile("good.mid"), r.userFile("notes.txt"), r.userFile("c.mid")});
    r.model.addToPlayList();
    ASSERT_EQ(r.fe.messages.size(), 1u);
    EXPECT_EQ(r.fe.messages[0].text, "Please try again notes.txt does not end with .mid");
    EXPECT_EQ(r.fe.messages[0].caption, "Sorry");
    EXPECT_TRUE(r.playList.empty());
    EXPECT_EQ(r.settings.playListCount, 0);
    EXPECT_FALSE(r.seq.paused());

    // A selection too long for the dialog's 43000-character buffer comes
    // back as a cancel.
    std::vector<std::string> many;
    for (int i = 0; i < 200; ++i) many.push_back((r.dir / (std::string(220, 'n') + std::to_string(i) + ".mid")).string());
    ASSERT_GT(selectionLength(many), kMidiSelectionBuffer);
    r.fe.picks.push_back(many);
    r.model.newPlayList();
    EXPECT_TRUE(r.playList.empty());
    EXPECT_EQ(r.fe.messages.size(), 1u);
    EXPECT_EQ(selectionLength({"/d/a.mid", "/d/bb.mid"}), (2u + 1) + (5 + 1) + (6 + 1) + 1);
}

// ---- tavorn.ini ---------------------------------------------------------------------------

TEST(Profile, ReadsAndWritesOneKeyKeepingEverythingElse) {
    const fs::path dir = fs::temp_directory_path() / ("pavalo-ini-" + std::to_string(::getpid()));
    const std::string file = (dir / "sub" / "tavorn.ini").string();
    EXPECT_EQ(readProfileString(file, "Tessel", "midiDir", "fallback"), "fallback");
    ASSERT_TRUE(writeProfileString(file, "Tessel", "midiDir", "/music/one"));
    EXPECT_EQ(readProfileString(file, "tessel", "MIDIDIR"), "/music/one");

    std::ofstream(file) << "; note\r\n[Other]\r\nmidiDir=elsewhere\r\n\r\n[TESSEL]\r\nfoo = bar=baz\r\nmididir = /old\r\n[Last]\r\nx=1\r\n";
    EXPECT_EQ(readProfileString(file, "Tessel", "midiDir"), "/old");
    EXPECT_EQ(readProfileString(file, "Tessel", "foo"), "bar=baz");
    ASSERT_TRUE(writeProfileString(file, "Tessel", "midiDir", "/new\nline"));
    EXPECT_EQ(readProfileString(file, "Tessel", "midiDir"), "/newline");
    EXPECT_EQ(readProfileString(file, "Other", "midiDir"), "elsewhere");
    EXPECT_EQ(readProfileString(file, "Last", "x"), "1");
    EXPECT_EQ(readProfileString(file, "Tessel", "foo"), "bar=baz");
    // A new key joins its section, not the end of the file.
    ASSERT_TRUE(writeProfileString(file, "Other", "added", "yes"));
    EXPECT_EQ(readProfileString(file, "Other", "added"), "yes");
    EXPECT_EQ(readProfileString(file, "Last", "added"), "");
    fs::remove_all(dir);
}

TEST(Profile, VolumesAreWholePercentsAndAnythingElseIsTakenSafely) {
    const fs::path dir = fs::temp_directory_path() / ("pavalo-volume-" + std::to_string(::getpid()));
    const std::string file = (dir / "tavorn.ini").string();
    EXPECT_EQ(readProfileVolume(file, kMusicVolumeKey), 100);  // no file: full volume
    ASSERT_TRUE(writeProfileVolume(file, kMusicVolumeKey, 35));
    ASSERT_TRUE(writeProfileVolume(file, kEffectsVolumeKey, 140));
    EXPECT_EQ(readProfileVolume(file, kMusicVolumeKey), 35);
    EXPECT_EQ(readProfileVolume(file, kEffectsVolumeKey), 100);
    for (const auto& [text, volume] : std::vector<std::pair<std::string, int>>{
             {"-7", 0}, {"loud", 100}, {"", 100}, {" 42", 42}, {"99999999999999999999", 100}, {"-99999999999999999999", 0}}) {
        ASSERT_TRUE(writeProfileString(file, "Tessel", kMusicVolumeKey, text));
        EXPECT_EQ(readProfileVolume(file, kMusicVolumeKey), volume) << text;
    }
    EXPECT_EQ(audio::mixerVolume(0), 0);
    EXPECT_EQ(audio::mixerVolume(50), 64);
    EXPECT_EQ(audio::mixerVolume(100), 128);
    EXPECT_EQ(audio::mixerVolume(250), 128);

    // The MIDI dialog's slider is kept in the file at once.
    MidiRig r;
    EXPECT_EQ(r.model.musicVolume(), 100);
    r.model.setMusicVolume(20);
    EXPECT_EQ(readProfileVolume(r.ini, kMusicVolumeKey), 20);
    EXPECT_EQ(r.model.musicVolume(), 20);
    EXPECT_EQ(readProfileString(r.ini, "Tessel", kEffectsVolumeKey, "none"), "none");
    fs::remove_all(dir);
}

// ---- CD audio ------------------------------------------------------------------------------

TEST(CdAudio, NoDriveNoDiscOrABusyDriveMeansNotAvailable) {
    {
        // No drive at all is said as such, not as a busy drive.
        FrontEnd fe;
        FakeDrive d;
        d.openResult = CdDrive::OpenResult::NoDrive;
        CdPlayer cd(d, fe);
        CdOptionsModel dialog(cd, fe);
        EXPECT_FALSE(dialog.open());
        ASSERT_EQ(fe.messages.size(), 1u);
        EXPECT_EQ(fe.messages[0].text, kNoCdDrive);
        EXPECT_EQ(fe.messages[0].caption, "CD Interface Warning");
    }
    {
        FrontEnd fe;
        FakeDrive d;
        d.openResult = CdDrive::OpenResult::Failed;
        CdPlayer cd(d, fe);
        CdOptionsModel dialog(cd, fe);
        EXPECT_FALSE(dialog.open());
        ASSERT_EQ(fe.messages.size(), 1u) << "opened quietly: only the warning";
        EXPECT_EQ(fe.messages[0].text, "Another program is using the CD player,or CD not ready, please retry");
        EXPECT_EQ(fe.messages[0].caption, "CD Interface Warning");
        EXPECT_EQ(fe.messages[0].icon, MessageIcon::Warning);
        // Not quiet: the error text titled "MCI Error", "Unknown error"
        // when the drive gives none.
        EXPECT_FALSE(cd.Open(false));
        EXPECT_EQ(fe.messages.back().text, "Unknown error");
        EXPECT_EQ(fe.messages.back().caption, "MCI Error");
    }
    {
        FrontEnd fe;
        FakeDrive d;
        d.openResult = CdDrive::OpenResult::InUse;
        CdPlayer cd(d, fe);
        EXPECT_FALSE(cd.Open(false));
        ASSERT_EQ(fe.messages.size(), 1u);
        EXPECT_EQ(fe.messages[0].text, "Another program is using the CD, please close it and retry");
        EXPECT_EQ(fe.messages[0].caption, "CD Sharing violation");
        EXPECT_EQ(fe.messages[0].icon, MessageIcon::Warning);
    }
    {
        FrontEnd fe;
        FakeDrive d;
        d.disc = false;
        CdPlayer cd(d, fe);
        EXPECT_FALSE(cd.Open(false));
        EXPECT_TRUE(fe.messages.empty()) << "no disc is silent";
        cd.play();
        cd.next();
        EXPECT_EQ(std::count(d.log.begin(), d.log.end(), "play 1"), 0);
        // A disc put in later is found by the timer.
        d.disc = true;
        cd.tick();
        EXPECT_TRUE(cd.available());
    }
}

TEST(CdAudio, ButtonsMoveThroughTracksAndTheDisplayFollows) {
    FrontEnd fe;
    FakeDrive d;
    CdPlayer cd(d, fe);
    CdOptionsModel dialog(cd, fe);
    ASSERT_TRUE(dialog.open());
    EXPECT_EQ(cd.tracks(), 3);
    EXPECT_EQ(dialog.totalTime(), "07 : 26");
    EXPECT_EQ(dialog.currentTrack(), "1");
    EXPECT_EQ(dialog.currentTime(), "00 : 00");

    cd.play();
    EXPECT_TRUE(cd.playing());
    d.at += 75 * 65;  // a minute and five seconds later
    dialog.tick();
    EXPECT_EQ(dialog.currentTime(), "01 : 05");

    // Previous from track 1 goes to the last track and keeps playing.
    cd.previous();
    EXPECT_EQ(cd.currentTrack(), 3);
    EXPECT_EQ(d.log.back(), "play 3");
    cd.next();
    EXPECT_EQ(cd.currentTrack(), 1);
    EXPECT_EQ(d.log.back(), "play 1");

    // Paused, next moves on and plays; stopped, it only moves.
    cd.pause();
    EXPECT_TRUE(cd.paused());
    cd.next();
    EXPECT_EQ(cd.currentTrack(), 2);
    EXPECT_EQ(d.log.back(), "play 2");
    EXPECT_FALSE(cd.paused());
    cd.pause();
    cd.play();  // resume continues where it paused
    EXPECT_EQ(d.log.back(), "resume");
    cd.stop();
    EXPECT_EQ(cd.currentTrack(), 1);
    EXPECT_FALSE(cd.playing());
    cd.next();
    EXPECT_EQ(cd.currentTrack(), 2);
    EXPECT_EQ(d.log.back(), "stop");
    cd.play();
    EXPECT_EQ(d.log.back(), "play 2");

    // The disc plays to its end: stopped, back at track 1.
    d.mode = CdMode::Stopped;
    dialog.tick();
    EXPECT_FALSE(cd.playing());
    EXPECT_EQ(cd.currentTrack(), 1);
    cd.play();
    EXPECT_EQ(d.log.back(), "play 1");

    // A failing play shows the drive's error and makes the CD unavailable.
    cd.stop();
    d.failing["play 1"] = true;
    cd.play();
    EXPECT_EQ(fe.messages.back().caption, "MCI Error");
    EXPECT_EQ(fe.messages.back().text, "drive error play 1");
    EXPECT_FALSE(cd.available());
    EXPECT_EQ(dialog.currentTrack(), "0");
    d.failing.clear();
    dialog.tick();  // opened again quietly
    EXPECT_TRUE(cd.available());

    // The disc taken out while the dialog is open.
    d.disc = false;
    dialog.tick();
    EXPECT_FALSE(cd.available());
    EXPECT_EQ(dialog.totalTime(), "00 : 00");
}

TEST(CdAudio, TheSystemDriveOnAMachineWithoutOneIsNotAvailable) {
    FrontEnd fe;
    std::unique_ptr<CdDrive> drive = makeSystemCdDrive();
    CdPlayer cd(*drive, fe);
    CdOptionsModel dialog(cd, fe);
    if (dialog.open()) GTEST_SKIP() << "this machine has a CD with a disc";
    EXPECT_FALSE(cd.available());
    EXPECT_EQ(fe.messages.back().caption, "CD Interface Warning");
}

// ---- the SDL device ----------------------------------------------------------------------

TEST(SdlMidiDevice, PlaysAMidiFileAndReportsItsEndAndStops) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const fs::path file = fs::temp_directory_path() / ("pavalo-tiny-" + std::to_string(::getpid()) + ".mid");
    const std::vector<uint8_t> song = tinySong();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(song.data()), std::streamsize(song.size()));
    {
        SdlMidiDevice device;
        std::mutex m;
        std::vector<MidiNotice> notices;
        device.setNoticeSink([&](const MidiNotice& n) {
            std::lock_guard lock(m);
            notices.push_back(n);
        });
        EXPECT_EQ(device.open("/nonexistent.mid").rfind("Cannot play /nonexistent.mid: ", 0), 0u);
        EXPECT_FALSE(device.isOpen());
        ASSERT_EQ(device.open(file.string()), "");
        ASSERT_EQ(device.play(), "");
        const uint64_t first = device.currentPlay();
        // FluidSynth lets the note die away before the music ends.
        const auto until = std::chrono::steady_clock::now() + 15s;
        auto count = [&] {
            std::lock_guard lock(m);
            return notices.size();
        };
        while (count() == 0 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
        ASSERT_EQ(count(), 1u);
        EXPECT_EQ(notices[0].play, first);
        EXPECT_EQ(notices[0].flags, MciNotify::Successful);

        // Played again and stopped: the notice says aborted.
        ASSERT_EQ(device.seekToStart(), "");
        ASSERT_EQ(device.play(), "");
        EXPECT_GT(device.currentPlay(), first);
        EXPECT_EQ(device.pause(), "");
        EXPECT_EQ(device.play(), "");  // continues
        EXPECT_EQ(device.stop(), "");
        ASSERT_EQ(count(), 2u);
        EXPECT_EQ(notices[1].flags, MciNotify::Aborted);
        EXPECT_EQ(device.close(), "");
        EXPECT_FALSE(device.isOpen());
    }
    EXPECT_FALSE(audio::outputOpen());
    fs::remove(file);
}
