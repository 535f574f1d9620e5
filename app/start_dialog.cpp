// Start dialog with button pictures drawn by the program.
#include "app/start_dialog.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace pavalo {
namespace {

// A jigsaw piece outline in a 100 x 100 box, knobs on the right and bottom.
QPainterPath piecePath(QRectF r) {
    const double s = r.width() / 100.0;
    auto at = [&](double x, double y) { return QPointF(r.left() + x * s, r.top() + y * s); };
    QPainterPath p(at(15, 15));
    p.lineTo(at(85, 15));
    p.lineTo(at(85, 38));
    p.cubicTo(at(100, 30), at(100, 60), at(85, 52));
    p.lineTo(at(85, 85));
    p.lineTo(at(62, 85));
    p.cubicTo(at(70, 100), at(40, 100), at(48, 85));
    p.lineTo(at(15, 85));
    p.closeSubpath();
    return p;
}

// The picture of one button: a coloured piece with a symbol and a caption.
QIcon buttonPicture(int index, const QString& caption) {
    const QColor colours[] = {QColor(70, 150, 90), QColor(220, 150, 50), QColor(80, 130, 210),
                              QColor(170, 90, 180), QColor(60, 170, 180), QColor(190, 70, 70)};
    QPixmap pix(160, 150);
    pix.fill(Qt::transparent);
    QPainter g(&pix);
    g.setRenderHint(QPainter::Antialiasing);
    QLinearGradient shade(0, 0, 0, 120);
    shade.setColorAt(0, colours[index].lighter(135));
    shade.setColorAt(1, colours[index].darker(125));
    g.setPen(QPen(QColor(30, 30, 30), 3));
    g.setBrush(shade);
    g.drawPath(piecePath(QRectF(25, 0, 110, 110)));
    g.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.setBrush(Qt::NoBrush);
    const QPointF c(72, 55);
    switch (index) {
        case 0:  // new: a plus
            g.drawLine(c + QPointF(-16, 0), c + QPointF(16, 0));
            g.drawLine(c + QPointF(0, -16), c + QPointF(0, 16));
            break;
        case 1:  // open: a folder
            g.drawRect(QRectF(c.x() - 18, c.y() - 10, 36, 24));
            g.drawLine(c + QPointF(-18, -10), c + QPointF(-8, -18));
            break;
        case 2:  // continue: a play arrow
            g.drawPolygon(QPolygonF({c + QPointF(-10, -16), c + QPointF(16, 0), c + QPointF(-10, 16)}));
            break;
        case 3:  // host: a tower sending waves
            g.drawLine(c + QPointF(0, -6), c + QPointF(0, 18));
            g.drawArc(QRectF(c.x() - 12, c.y() - 18, 24, 24), 30 * 16, 120 * 16);
            g.drawArc(QRectF(c.x() - 20, c.y() - 26, 40, 40), 30 * 16, 120 * 16);
            break;
        case 4:  // join: two linked rings
            g.drawEllipse(c + QPointF(-8, 0), 11, 11);
            g.drawEllipse(c + QPointF(8, 0), 11, 11);
            break;
        case 5:  // exit: a door with an arrow
            g.drawRect(QRectF(c.x() - 16, c.y() - 18, 20, 36));
            g.drawLine(c + QPointF(0, 0), c + QPointF(20, 0));
            g.drawLine(c + QPointF(13, -7), c + QPointF(20, 0));
            g.drawLine(c + QPointF(13, 7), c + QPointF(20, 0));
            break;
    }
    QFont f;
    f.setPixelSize(17);
    f.setBold(true);
    g.setFont(f);
    g.setPen(QColor(250, 245, 230));
    g.drawText(QRectF(0, 118, 160, 30), Qt::AlignCenter, caption);
    return QIcon(pix);
}

}  // namespace

StartDialog::StartDialog(QWidget* parent, bool canContinue) : QDialog(parent, Qt::FramelessWindowHint) {
    setObjectName("StartDialog");
    if (parent) setGeometry(QRect(parent->mapToGlobal(QPoint(0, 0)), parent->size()));
    auto* outer = new QVBoxLayout(this);
    auto* title = new QLabel("Pavalo", this);
    QFont tf;
    tf.setPixelSize(64);
    tf.setBold(true);
    title->setFont(tf);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet("color: #f4ecd8;");
    outer->addStretch(2);
    outer->addWidget(title);
    outer->addStretch(1);
    auto* grid = new QGridLayout;
    grid->setSpacing(28);
    struct Entry {
        StartChoice choice;
        const char* caption;
        int picture;
    };
    const Entry entries[] = {
        {StartChoice::Continue, "Continue", 2},   {StartChoice::NewPuzzle, "New Puzzle", 0},
        {StartChoice::OpenPuzzle, "Open Puzzle", 1}, {StartChoice::HostGame, "Host a Game", 3},
        {StartChoice::JoinGame, "Join a Game", 4},  {StartChoice::Exit, "Exit", 5},
    };
    for (int i = 0; i < 6; ++i) {
        const Entry& e = entries[i];
        auto* b = new QPushButton(this);
        b->setIcon(buttonPicture(e.picture, e.caption));
        b->setIconSize(QSize(160, 150));
        b->setFlat(true);
        b->setAccessibleName(e.caption);
        b->setToolTip(e.caption);
        b->setStyleSheet("QPushButton { border: 2px solid transparent; border-radius: 12px; padding: 6px; }"
                         "QPushButton:focus { border-color: #f4ecd8; }"
                         "QPushButton:hover { background: rgba(255,255,255,30); }");
        connect(b, &QPushButton::clicked, this, [this, c = e.choice] { choose(c); });
        buttons_[size_t(e.choice)] = b;
        grid->addWidget(b, i / 3, i % 3, Qt::AlignCenter);
    }
    outer->addLayout(grid);
    outer->addStretch(3);
    button(StartChoice::Continue)->setEnabled(canContinue);
    // Enter picks the focused button, or Continue when none of the others has
    // the focus; no button starts with the focus.
    for (QPushButton* b : buttons_) b->setAutoDefault(false);
    setFocus();
}

void StartDialog::choose(StartChoice c) {
    choice_ = c;
    accept();
}

void StartDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            choose(StartChoice::Exit);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            for (size_t i = 0; i < buttons_.size(); ++i)
                if (buttons_[i]->hasFocus()) return choose(StartChoice(i));
            if (button(StartChoice::Continue)->isEnabled()) choose(StartChoice::Continue);
            return;
        }
        default: QDialog::keyPressEvent(event);
    }
}

void StartDialog::paintEvent(QPaintEvent*) {
    QPainter g(this);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(38, 52, 78));
    sky.setColorAt(1, QColor(16, 20, 30));
    g.fillRect(rect(), sky);
    // A faint lattice of piece outlines behind the buttons.
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(255, 255, 255, 18), 2));
    for (int y = -40; y < height(); y += 110)
        for (int x = -40; x < width(); x += 110) g.drawPath(piecePath(QRectF(x, y, 120, 120)));
}

}  // namespace pavalo
