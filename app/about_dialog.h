// The about box (dialog 100, "About Pavalo"): the animated picture of
// AboutAnimation shown in a fixed 328 x 392 client area, its frames advanced
// by the window's timer, with an OK button in the strip below the picture.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include "media/about_animation.h"

namespace pavalo {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // `sounds` (may be null) plays the box's two sounds while it is open.
    AboutDialog(QWidget* parent, AboutSounds* sounds = nullptr);
    ~AboutDialog() override;
    // False when the animation's resources could not be loaded.
    bool animated() const { return animated_; }
    AboutAnimation& animation() { return animation_; }
    // One timer tick at a given clock time (tests drive the clock).
    void tickAt(uint32_t now);
    uint32_t now() const { return uint32_t(clock_.elapsed()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AboutAnimation animation_;
    QElapsedTimer clock_;
    QTimer timer_;
    bool animated_ = false;
};

class SoundEffects;

// Shows the about box modally.
void showAnimatedAboutBox(QWidget* parent, AboutSounds* sounds = nullptr);
// The same with the box's two sounds played through the effect player's
// queue (when there is one, sound is available and effects are on).
void showAnimatedAboutBox(QWidget* parent, SoundEffects* effects);

}  // namespace pavalo
