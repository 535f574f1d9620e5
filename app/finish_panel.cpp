// The finish panel.
#include "app/finish_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pavalo {

QString FinishPanel::summaryText(const FinishSummary& summary) {
    const QString pieces = summary.pieces == 1 ? QStringLiteral("1 piece") : QStringLiteral("%1 pieces").arg(summary.pieces);
    return QStringLiteral("%1 in %2").arg(pieces, QString::fromStdString(formatPlayTime(summary.seconds)));
}

FinishPanel::FinishPanel(QWidget* parent, const QImage& picture, const FinishSummary& summary, QSize maxPicture)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Puzzle Complete"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* heading = new QLabel(QStringLiteral("Puzzle complete!"), this);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    heading->setFont(big);
    heading->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);

    if (!picture.isNull()) {
        auto* shown = new QLabel(this);
        // Scaled into a copy: the picture's own memory may change (a movie).
        const QImage scaled = picture.size().boundedTo(maxPicture) == picture.size()
                                  ? picture.copy()
                                  : picture.scaled(maxPicture, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        shown->setPixmap(QPixmap::fromImage(scaled));
        shown->setAlignment(Qt::AlignCenter);
        shown->setFrameShape(QFrame::Box);
        layout->addWidget(shown, 0, Qt::AlignHCenter);
    }

    auto* text = new QLabel(summaryText(summary), this);
    QFont medium = text->font();
    medium.setPointSizeF(medium.pointSizeF() * 1.25);
    text->setFont(medium);
    text->setAlignment(Qt::AlignCenter);
    text->setObjectName(QStringLiteral("summary"));
    layout->addWidget(text);

    auto* row = new QHBoxLayout;
    row->addStretch();
    const struct {
        FinishChoice choice;
        const char* label;
    } kButtons[] = {{FinishChoice::NewPuzzle, "New Puzzle"}, {FinishChoice::PlayAgain, "Play Again"},
                    {FinishChoice::Close, "Close"}};
    for (const auto& b : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(b.label), this);
        if (b.choice != FinishChoice::Close && !summary.canStartAgain) button->setEnabled(false);
        connect(button, &QPushButton::clicked, this, [this, c = b.choice] { choose(c); });
        if (b.choice == FinishChoice::Close) button->setDefault(true);
        row->addWidget(button);
    }
    row->addStretch();
    layout->addLayout(row);
}

void FinishPanel::choose(FinishChoice choice) {
    choice_ = choice;
    accept();
}

}  // namespace pavalo
