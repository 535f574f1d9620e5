// CD audio: the libcdio drive, the CD player's state and buttons, and the
// CD dialog's display.
#include "media/cd_audio.h"

#include <cdio/cdio.h>
// audio.h needs the driver types cdio.h declares.
#include <cdio/audio.h>
#include <cdio/logging.h>
#include <cdio/mmc.h>
#include <cdio/util.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace pavalo {

// ---- the libcdio drive ------------------------------------------------------------

namespace {

// libcdio would print its complaints on the terminal; the game reports
// failures in its own messages instead.
void quietLog(cdio_log_level_t, const char*) {}

int32_t sectorsOf(const msf_t& msf) {
    return (int32_t(cdio_from_bcd8(msf.m)) * 60 + cdio_from_bcd8(msf.s)) * kCdFramesPerSecond + cdio_from_bcd8(msf.f);
}

std::string driverError(driver_return_code_t rc) {
    const char* text = cdio_driver_errmsg(rc);
    return text && *text ? text : "Unknown error";
}

class LibcdioDrive final : public CdDrive {
public:
    LibcdioDrive() { cdio_log_set_handler(quietLog); }
    ~LibcdioDrive() override { close(); }

    OpenResult open(std::string& error) override {
        close();
        char* device = cdio_get_default_device(nullptr);
        if (!device) {
            error = kNoCdDrive;
            return OpenResult::NoDrive;
        }
        errno = 0;
        cdio_ = cdio_open(device, DRIVER_DEVICE);
        const int err = errno;
        std::free(device);
        if (!cdio_) {
            if (err == EBUSY) return OpenResult::InUse;
            error = "The CD drive cannot be opened";
            return OpenResult::Failed;
        }
        return OpenResult::Ok;
    }
    void close() override {
        if (cdio_) cdio_destroy(cdio_);
        cdio_ = nullptr;
    }
    bool isOpen() const override { return cdio_ != nullptr; }
    bool mediaPresent() override {
        return cdio_ && cdio_get_num_tracks(cdio_) != CDIO_INVALID_TRACK && cdio_get_num_tracks(cdio_) > 0;
    }
    bool readTracks(std::vector<CdTrack>& tracks, std::string& error) override {
        tracks.clear();
        if (!cdio_) return fail(error, "The CD drive is not open");
        const track_t first = cdio_get_first_track_num(cdio_);
        const track_t count = cdio_get_num_tracks(cdio_);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK) return fail(error, "The disc has no tracks");
        for (int t = first; t < first + count; ++t) {
            const lsn_t start = cdio_get_track_lsn(cdio_, track_t(t));
            const lsn_t end = cdio_get_track_lsn(cdio_, t + 1 < first + count ? track_t(t + 1) : track_t(CDIO_CDROM_LEADOUT_TRACK));
            if (start == CDIO_INVALID_LSN || end == CDIO_INVALID_LSN || end < start)
                return fail(error, "The disc's table of contents cannot be read");
            tracks.push_back({start, end - start});
        }
        return true;
    }
    bool status(CdStatus& s, std::string& error) override {
        if (!cdio_) return fail(error, "The CD drive is not open");
        cdio_subchannel_t sub{};
        const driver_return_code_t rc = cdio_audio_read_subchannel(cdio_, &sub);
        if (rc != DRIVER_OP_SUCCESS) return fail(error, driverError(rc));
        switch (sub.audio_status) {
            case CDIO_MMC_READ_SUB_ST_PLAY: s.mode = CdMode::Playing; break;
            case CDIO_MMC_READ_SUB_ST_PAUSED: s.mode = CdMode::Paused; break;
            case CDIO_MMC_READ_SUB_ST_COMPLETED:
            case CDIO_MMC_READ_SUB_ST_NO_STATUS: s.mode = CdMode::Stopped; break;
            default: s.mode = CdMode::Other; break;
        }
        s.track = sub.track;
        s.inTrack = sectorsOf(sub.rel_addr);
        s.absolute = cdio_msf_to_lsn(&sub.abs_addr);
        return true;
    }
    bool play(int32_t from, int32_t to, std::string& error) override {
        if (!cdio_) return fail(error, "The CD drive is not open");
        msf_t a, b;
        cdio_lsn_to_msf(from, &a);
        cdio_lsn_to_msf(to, &b);
        return check(cdio_audio_play_msf(cdio_, &a, &b), error);
    }
    bool pause(std::string& error) override { return cdio_ ? check(cdio_audio_pause(cdio_), error) : fail(error, "The CD drive is not open"); }
    bool resume(std::string& error) override { return cdio_ ? check(cdio_audio_resume(cdio_), error) : fail(error, "The CD drive is not open"); }
    bool stop(std::string& error) override { return cdio_ ? check(cdio_audio_stop(cdio_), error) : fail(error, "The CD drive is not open"); }

private:
    static bool fail(std::string& error, std::string text) {
        error = std::move(text);
        return false;
    }
    static bool check(driver_return_code_t rc, std::string& error) {
        return rc == DRIVER_OP_SUCCESS || fail(error, driverError(rc));
    }
    CdIo_t* cdio_ = nullptr;
};

}  // namespace

std::unique_ptr<CdDrive> makeSystemCdDrive() { return std::make_unique<LibcdioDrive>(); }

// ---- the player --------------------------------------------------------------------------

CdPlayer::CdPlayer(CdDrive& drive, MusicFrontEnd& frontEnd) : drive_(drive), frontEnd_(frontEnd) {}

bool CdPlayer::failed(const std::string& error, bool show) {
    if (show) frontEnd_.showMessage(error.empty() ? "Unknown error" : error, "MCI Error", MessageIcon::None);
    available_ = false;
    return false;
}

bool CdPlayer::Open(bool quiet) {
    available_ = false;
    noDrive_ = false;
    std::string error;
    switch (drive_.open(error)) {
        case CdDrive::OpenResult::NoDrive:
            noDrive_ = true;
            return failed(error.empty() ? kNoCdDrive : error, !quiet);
        case CdDrive::OpenResult::InUse:
            if (!quiet)
                frontEnd_.showMessage("Another program is using the CD, please close it and retry", "CD Sharing violation",
                                      MessageIcon::Warning);
            return false;
        case CdDrive::OpenResult::Failed: return failed(error, !quiet);
        case CdDrive::OpenResult::Ok: break;
    }
    if (!drive_.mediaPresent()) return false;  // no disc: unavailable, silently
    available_ = true;
    if (!readTrackInfo()) return false;
    if (!playing_ && !paused_) seekToTrack(current_);
    return true;
}

bool CdPlayer::readTrackInfo() {
    std::string error;
    std::vector<CdTrack> tracks;
    if (!drive_.readTracks(tracks, error) || tracks.empty()) {
        playing_ = paused_ = false;
        return failed(error, false);
    }
    tracks_ = std::move(tracks);
    CdStatus s;
    if (drive_.status(s, error)) {
        playing_ = s.mode == CdMode::Playing;
        current_ = s.track;
        inTrack_ = s.inTrack;
        if (playing_ && s.absolute >= 0) position_ = s.absolute;
    } else {
        current_ = 0;
    }
    if (current_ < 1 || current_ > int(tracks_.size())) current_ = 1;
    return true;
}

int32_t CdPlayer::leadOut() const { return tracks_.empty() ? 0 : tracks_.back().start + tracks_.back().length; }

int32_t CdPlayer::totalSectors() const {
    int32_t n = 0;
    for (const CdTrack& t : tracks_) n += t.length;
    return n;
}

void CdPlayer::seekToTrack(int track) {
    current_ = track;
    inTrack_ = 0;
    if (track >= 1 && track <= int(tracks_.size())) position_ = tracks_[size_t(track - 1)].start;
}

void CdPlayer::play() {
    if (!available_) return;
    if (playing_ && !paused_) return;  // already playing from where it is
    std::string error;
    const bool ok = paused_ ? drive_.resume(error) : drive_.play(position_, leadOut(), error);
    if (!ok) {
        playing_ = paused_ = false;
        failed(error, true);
        return;
    }
    playing_ = true;
    paused_ = false;
}

void CdPlayer::pause() {
    if (!available_ || !playing_ || paused_) return;
    std::string error;
    if (!drive_.pause(error)) {
        failed(error, false);
        return;
    }
    paused_ = true;
}

void CdPlayer::stop() {
    if (!available_) return;
    std::string error;
    if (!drive_.stop(error)) failed(error, false);
    seekToTrack(1);
    playing_ = paused_ = false;
}

void CdPlayer::next() {
    if (!available_ || tracks_.empty()) return;
    std::string error;
    const bool active = playing_ || paused_;
    if (playing_ && !paused_ && !drive_.pause(error)) failed(error, false);
    seekToTrack(current_ >= int(tracks_.size()) ? 1 : current_ + 1);
    if (active && available_) {
        paused_ = false;
        playing_ = false;
        play();
    }
}

void CdPlayer::previous() {
    if (!available_ || tracks_.empty()) return;
    std::string error;
    const bool active = playing_ || paused_;
    if (playing_ && !paused_ && !drive_.pause(error)) failed(error, false);
    seekToTrack(current_ <= 1 ? int(tracks_.size()) : current_ - 1);
    if (active && available_) {
        paused_ = false;
        playing_ = false;
        play();
    }
}

void CdPlayer::tick() {
    if (!available_) {
        Open(true);
        return;
    }
    if (!drive_.mediaPresent()) {
        available_ = playing_ = paused_ = false;
        return;
    }
    const bool wasPlaying = playing_ && !paused_;
    if (!readTrackInfo()) return;
    // The disc played to its end (no notice comes for CD play): back to
    // the first track, stopped.
    if (wasPlaying && !playing_) {
        CdStatus s;
        std::string error;
        if (!drive_.status(s, error) || s.mode != CdMode::Paused) {
            seekToTrack(1);
            paused_ = false;
        }
    }
}

// ---- the dialog's display ----------------------------------------------------------------

std::string cdTime(int32_t sectors) {
    const int32_t seconds = sectors > 0 ? sectors / kCdFramesPerSecond : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d : %02d", int(seconds / 60), int(seconds % 60));
    return text;
}

CdOptionsModel::CdOptionsModel(CdPlayer& player, MusicFrontEnd& frontEnd) : player_(player), frontEnd_(frontEnd) {}

bool CdOptionsModel::open() {
    if (!player_.available()) player_.Open(true);
    if (!player_.available() && player_.noDrive()) {
        frontEnd_.showMessage(kNoCdDrive, "CD Interface Warning", MessageIcon::Warning);
        return false;
    }
    if (!player_.available() || !player_.readTrackInfo()) {
        frontEnd_.showMessage("Another program is using the CD player,or CD not ready, please retry",
                              "CD Interface Warning", MessageIcon::Warning);
        return false;
    }
    return true;
}

std::string CdOptionsModel::totalTime() const { return cdTime(player_.available() ? player_.totalSectors() : 0); }

std::string CdOptionsModel::currentTrack() const {
    return player_.available() ? std::to_string(player_.currentTrack()) : std::string("0");
}

std::string CdOptionsModel::currentTime() const { return cdTime(player_.available() ? player_.positionInTrack() : 0); }

}  // namespace pavalo
