// FinishPanel: shown once a puzzle is completed, after the completion's
// sounds and steps: the finished picture, the piece count and the play
// time, with "New Puzzle", "Play Again" (the same picture cut anew) and
// "Close".
#pragma once

#include <QDialog>
#include <QImage>

#include "shell/game_session.h"

namespace pavalo {

class FinishPanel : public QDialog {
    Q_OBJECT
public:
    // `picture` may be null (a puzzle whose picture is missing); it is
    // shown scaled to at most `maxPicture`.
    FinishPanel(QWidget* parent, const QImage& picture, const FinishSummary& summary, QSize maxPicture);

    // What the player chose; Close when the panel was closed otherwise.
    FinishChoice choice() const { return choice_; }

    // "4000 pieces in 1:02:03".
    static QString summaryText(const FinishSummary& summary);

private:
    void choose(FinishChoice choice);

    FinishChoice choice_ = FinishChoice::Close;
};

}  // namespace pavalo
