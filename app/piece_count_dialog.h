// "Enter Number of Pieces": a slider over the longer side, the piece count
// under it, eight preset buttons and the "Rotated Pieces" check box.
#pragma once

#include <QDialog>

#include "puzzle/piece_count.h"
#include "shell/document.h"

class QCheckBox;
class QLabel;
class QSlider;

namespace pavalo {

// The choice remembered between openings: the preset last used, else the
// slider's last count.
struct PieceCountMemory {
    int preset = 2;  // "Moderate" until the player chooses
    int32_t sliderCount = 0;
};

class PieceCountDialog : public QDialog {
    Q_OBJECT
public:
    PieceCountDialog(QWidget* parent, const PieceCountRules& rules, bool rotate, PieceCountMemory& memory);
    PieceCountChoice choice() const;
    QSlider* slider() const { return slider_; }
    QLabel* countLabel() const { return label_; }
    QCheckBox* rotateBox() const { return rotate_; }
    void choosePreset(int index);

private:
    void sliderMoved(int position);
    void remember();

    const PieceCountRules& rules_;
    PieceCountMemory& memory_;
    QSlider* slider_ = nullptr;
    QLabel* label_ = nullptr;
    QCheckBox* rotate_ = nullptr;
    Grid grid_;
    int preset_ = -1;
};

}  // namespace pavalo
