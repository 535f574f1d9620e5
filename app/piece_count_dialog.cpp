// The piece-count dialog bound to the piece-count rules.
#include "app/piece_count_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace pavalo {

PieceCountDialog::PieceCountDialog(QWidget* parent, const PieceCountRules& rules, bool rotate,
                                   PieceCountMemory& memory)
    : QDialog(parent), rules_(rules), memory_(memory) {
    setWindowTitle("Enter Number of Pieces");
    auto* layout = new QVBoxLayout(this);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(rules.sliderMinimum(), rules.sliderMaximum());
    slider_->setMinimumWidth(360);
    label_ = new QLabel(this);
    label_->setAlignment(Qt::AlignCenter);
    layout->addWidget(slider_);
    layout->addWidget(label_);
    auto* presets = new QGridLayout;
    for (int i = 0; i < int(piecePresets().size()); ++i) {
        auto* b = new QPushButton(piecePresets()[size_t(i)].name, this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { choosePreset(i); });
        presets->addWidget(b, i / 4, i % 4);
    }
    layout->addLayout(presets);
    rotate_ = new QCheckBox("Rotated Pieces", this);
    rotate_->setChecked(rotate);
    layout->addWidget(rotate_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        remember();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(slider_, &QSlider::valueChanged, this, &PieceCountDialog::sliderMoved);

    // Restore the last choice: the preset by its target, or the slider's count.
    const int32_t target = memory.preset >= 0 ? piecePresets()[size_t(memory.preset)].target : memory.sliderCount;
    const Grid start = rules.gridForTarget(std::max(target, 1));
    const int lastPreset = memory.preset;
    slider_->setValue(rules.sliderForGrid(start));
    grid_ = start;
    preset_ = lastPreset;
    label_->setText(QString::fromStdString(PieceCountRules::label(grid_)));
}

void PieceCountDialog::choosePreset(int index) {
    const Grid g = rules_.gridForTarget(piecePresets()[size_t(index)].target);
    slider_->blockSignals(true);
    slider_->setValue(rules_.sliderForGrid(g));
    slider_->blockSignals(false);
    grid_ = g;
    preset_ = index;
    label_->setText(QString::fromStdString(PieceCountRules::label(grid_)));
}

void PieceCountDialog::sliderMoved(int position) {
    grid_ = rules_.gridForSlider(position);
    preset_ = -1;
    label_->setText(QString::fromStdString(PieceCountRules::label(grid_)));
}

void PieceCountDialog::remember() {
    memory_.preset = preset_;
    memory_.sliderCount = grid_.pieces();
}

PieceCountChoice PieceCountDialog::choice() const {
    return {grid_, rotate_->isChecked(), preset_, grid_.pieces()};
}

}  // namespace pavalo
