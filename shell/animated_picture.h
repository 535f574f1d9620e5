// AnimatedPictures: the document's source of animated (WDA) puzzle
// pictures. It opens the animation into the picture surface (8 bits with the
// animation's palette, frame 0 drawn) and, from the idle pass, advances it
// at 15 frames a second onto that surface. No Qt.
//
// Ownership: the animation lives here from openAnimation until
// releasePictures (the document releases its pictures before every new
// puzzle and at exit); the picture surface belongs to the document.
#pragma once

#include <string>

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
    void releasePictures() override;

    // The idle pass: draws the next frame into the picture when one is due;
    // true when the picture changed and the windows showing it need a redraw.
    bool advance(DrawSurface& picture);
    bool playing() const { return player_.attached(); }
    const WdaPlayer& player() const { return player_; }

private:
    Platform& platform_;
    WdaAnimation animation_;
    WdaPlayer player_;
};

}  // namespace pavalo
