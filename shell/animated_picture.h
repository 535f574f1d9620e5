// AnimatedPictures: the document's source of moving puzzle pictures. A WDA
// animation opens into the picture surface (8 bits with the animation's
// palette, frame 0 drawn) and, from the idle pass, advances at 15 frames a
// second; a movie opens into a picture surface of the display's depth with
// its first frame, and from the idle pass the newest due frame of its
// player is copied in, at the movie's own rate up to 30 times a second.
// No Qt.
//
// Ownership: the animation and the movie live here from their opening until
// releasePictures (the document releases its pictures before every new
// puzzle and at exit; the movie's decoder thread ends there); the picture
// surface belongs to the document.
#pragma once

#include <functional>
#include <string>

#include "media/movie_player.h"
#include "media/wda.h"
#include "platform/platform.h"
#include "shell/document.h"

namespace pavalo {

class AnimatedPictures : public MoviePictures {
public:
    explicit AnimatedPictures(Platform& platform) : platform_(platform) {}

    // Loads the file (a file that cannot be opened shows "WDA Load
    // Failure"), makes the picture an 8-bit surface of the animation's size
    // with its palette, draws frame 0 and starts the clock. False when the
    // file cannot be opened or is not an animation of a usable size.
    bool openAnimation(const std::string& path, DrawSurface& picture) override;
    bool movieSystemAvailable() const override { return true; }
    MovieOpenResult openMovie(const std::string& path, DrawSurface& picture, int32_t depth) override;
    void releasePictures() override;

    // The idle pass: draws the next frame into the picture when one is due;
    // true when the picture changed and the windows showing it need a redraw.
    bool advance(DrawSurface& picture);
    bool playing() const { return player_.attached(); }
    const WdaPlayer& player() const { return player_; }

    // The idle pass for a movie: copies the newest due frame into the
    // picture, at most kMovieRedrawsPerSecond times a second; true when the
    // picture changed.
    bool advanceMovie(DrawSurface& picture);
    // Popup menus stop the movie's clock and restart it (nested: a popup
    // over a popup).
    void pauseMovie(bool paused);
    // A modal window opened or closed over the game: the movie (and its
    // sound) stops while one is open, a movie opened under one included,
    // and goes on as it was when the last closes.
    void setModalWindowOpen(bool open);
    // Whether a movie opened from now on plays its sound track; asked at
    // every opening (the player's sound settings may have changed).
    void setMovieSoundWanted(std::function<bool()> wanted) { movieSoundWanted_ = std::move(wanted); }
    bool moviePlaying() const { return movie_.running(); }
    const MoviePlayer& movie() const { return movie_; }
    static constexpr int64_t kMovieRedrawsPerSecond = 30;

private:
    Platform& platform_;
    WdaAnimation animation_;
    WdaPlayer player_;
    int64_t movieClock();

    MoviePlayer movie_;
    uint32_t lastTick_ = 0;
    int64_t movieClockMs_ = 0;
    int64_t lastMovieTakeMs_ = 0;
    int32_t moviePauses_ = 0;  // nested popup-menu pauses
    bool modalOpen_ = false;
    std::function<bool()> movieSoundWanted_;
    void applyMoviePause();
};

}  // namespace pavalo
