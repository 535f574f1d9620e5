// CD audio: the drive (libcdio: the drive plays the disc itself), the
// game's CD state (available, tracks, current track, playing, paused), the
// buttons of the "CD Options..." dialog and the dialog's once-a-second
// display, in tracks, minutes and seconds.
//
// A machine without a drive, or a drive without a disc, is simply "not
// available": the dialog says so and closes. Every failing drive command
// marks the CD unavailable until it is opened again; none ends the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/music.h"

namespace pavalo {

inline constexpr int kCdFramesPerSecond = 75;  // sectors of audio a second

enum class CdMode { Stopped, Playing, Paused, Other };

struct CdTrack {
    int32_t start = 0;   // first sector
    int32_t length = 0;  // sectors
};

struct CdStatus {
    CdMode mode = CdMode::Other;
    int track = 0;             // 0 when unknown
    int32_t inTrack = 0;       // sectors from the track's start
    int32_t absolute = -1;     // sector on the disc, -1 when unknown
};

inline constexpr const char* kNoCdDrive = "This computer has no CD drive, so CD music cannot be played.";

// The drive as the CD player needs it. Each step returns false with the
// error text on failure.
class CdDrive {
public:
    enum class OpenResult { Ok, InUse, Failed, NoDrive };
    virtual ~CdDrive() = default;
    virtual OpenResult open(std::string& error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool mediaPresent() = 0;
    virtual bool readTracks(std::vector<CdTrack>& tracks, std::string& error) = 0;
    virtual bool status(CdStatus& status, std::string& error) = 0;
    // Plays sectors [from, to).
    virtual bool play(int32_t from, int32_t to, std::string& error) = 0;
    virtual bool pause(std::string& error) = 0;
    virtual bool resume(std::string& error) = 0;
    virtual bool stop(std::string& error) = 0;
};

// The system's default CD drive through libcdio.
std::unique_ptr<CdDrive> makeSystemCdDrive();

class CdPlayer {
public:
    CdPlayer(CdDrive& drive, MusicFrontEnd& frontEnd);

    // Opens the drive; unless quiet, "CD Sharing violation" when another
    // program holds it, else the error titled "MCI Error". Without a disc
    // the CD is unavailable, silently. Then reads the track information.
    bool Open(bool quiet);
    // Tracks, the current track (1 when unreadable or beyond the count) and
    // whether the drive plays. false (and unavailable) on failure.
    bool readTrackInfo();

    // The dialog's buttons.
    void play();  // "&Play" and "&Resume": from the current position
    void pause();
    void stop();  // back to track 1
    void next();
    void previous();
    // The timer: opens an unavailable CD again quietly; with a disc,
    // refreshes the track information. A disc that played to its end is
    // stopped and returns to track 1.
    void tick();

    bool available() const { return available_; }
    // The last opening found no CD drive at all.
    bool noDrive() const { return noDrive_; }
    bool playing() const { return playing_; }
    bool paused() const { return paused_; }
    int tracks() const { return int(tracks_.size()); }
    int currentTrack() const { return current_; }
    int32_t totalSectors() const;
    int32_t positionInTrack() const { return inTrack_; }

private:
    bool failed(const std::string& error, bool show);
    void seekToTrack(int track);
    int32_t leadOut() const;

    CdDrive& drive_;
    MusicFrontEnd& frontEnd_;
    bool noDrive_ = false;
    bool available_ = false, playing_ = false, paused_ = false;
    std::vector<CdTrack> tracks_;
    int current_ = 1;
    int32_t position_ = 0;  // where a play starts from
    int32_t inTrack_ = 0;
};

// "Total Time:", "Current Track:", "Current Time:" and the buttons, with the
// dialog's timer (id 55, every second).
class CdOptionsModel {
public:
    static constexpr int kTimerId = 55;
    static constexpr int kTimerMs = 1000;

    CdOptionsModel(CdPlayer& player, MusicFrontEnd& frontEnd);
    // Opening: an unavailable CD is opened quietly; if it stays
    // unavailable the warning is shown and false says the dialog closes.
    bool open();
    void tick() { player_.tick(); }

    std::string totalTime() const;
    std::string currentTrack() const;
    std::string currentTime() const;

    CdPlayer& player() { return player_; }

private:
    CdPlayer& player_;
    MusicFrontEnd& frontEnd_;
};

// Minutes and seconds of a sector count, "%02d : %02d".
std::string cdTime(int32_t sectors);

}  // namespace pavalo
