// The start dialog: a frameless dialog over the play area with six picture
// buttons — continue the last puzzle, new puzzle, open, host, join, exit.
// Each button's picture is an animated tile (WDA resources 181-186) that
// plays while the button is under the pointer or has the focus.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <optional>

#include "app/file_drops.h"

#include "surface/draw_surface.h"
#include "media/wda.h"

class QPushButton;

#include "shell/game_session.h"

namespace pavalo {

class StartDialog : public QDialog {
    Q_OBJECT
public:
    // canContinue: the last puzzle's file is known and exists.
    StartDialog(QWidget* parent, bool canContinue);
    StartChoice choice() const { return choice_; }
    QPushButton* button(StartChoice c) const { return buttons_[size_t(c)]; }
    // The frame a button's animation shows now.
    int32_t buttonFrame(StartChoice c) const { return animations_[size_t(c)].frame; }
    // Takes dropped files that `accepts` allows: a drop ends the dialog, and
    // the file is then droppedFile() (for the start routine to open).
    void takeFileDrops(FileDropTarget::Accepts accepts);
    const std::optional<DroppedFile>& droppedFile() const { return dropped_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void choose(StartChoice c);
    void animate();
    struct ButtonAnimation {
        WdaAnimation wda;
        DrawSurface tile;  // the frame shown, 8 bits in the animation's palette
        int32_t frame = 0;
        QString caption;
    };
    std::array<QPushButton*, 6> buttons_{};
    std::array<ButtonAnimation, 6> animations_;
    QTimer timer_;
    StartChoice choice_ = StartChoice::Exit;
    std::optional<DroppedFile> dropped_;
};

}  // namespace pavalo
