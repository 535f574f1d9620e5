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

#include "app/surface_image.h"

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

// The picture of one button: the current frame of its animated tile with
// the caption below it.
QIcon buttonPicture(const QImage& tile, const QString& caption) {
    QPixmap pix(160, 150);
    pix.fill(Qt::transparent);
    QPainter g(&pix);
    g.setRenderHint(QPainter::Antialiasing);
    if (!tile.isNull()) {
        // Only the tile's rounded card: its corners stay transparent.
        const QPointF at((160 - tile.width()) / 2.0, 2);
        QPainterPath card;
        card.addRoundedRect(QRectF(at + QPointF(4, 4), QSizeF(tile.width() - 10, tile.height() - 10)), 18, 18);
        g.setClipPath(card);
        g.drawImage(at, tile);
        g.setClipping(false);
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
        uint32_t animation;  // its WDA resource
    };
    const Entry entries[] = {
        {StartChoice::Continue, "Continue", 181},     {StartChoice::NewPuzzle, "New Puzzle", 182},
        {StartChoice::OpenPuzzle, "Open Puzzle", 183}, {StartChoice::HostGame, "Host a Game", 184},
        {StartChoice::JoinGame, "Join a Game", 185},  {StartChoice::Exit, "Exit", 186},
    };
    for (int i = 0; i < 6; ++i) {
        const Entry& e = entries[i];
        auto* b = new QPushButton(this);
        ButtonAnimation& anim = animations_[size_t(e.choice)];
        anim.caption = e.caption;
        if (anim.wda.loadResource(e.animation) == 1 && anim.tile.create(anim.wda.width(), anim.wda.height(), 8)) {
            anim.wda.paletteToSurface(anim.tile);
            anim.wda.drawFrame(anim.tile, 0, 0, 0);
        }
        b->setIcon(buttonPicture(surfaceImage(anim.tile), e.caption));
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
    // The button under the pointer or with the focus plays its animation;
    // the others rest on their first frame.
    connect(&timer_, &QTimer::timeout, this, &StartDialog::animate);
    timer_.start(67);
}

void StartDialog::animate() {
    for (size_t i = 0; i < buttons_.size(); ++i) {
        ButtonAnimation& a = animations_[i];
        QPushButton* b = buttons_[i];
        if (!a.tile.hasPixels() || a.wda.frameCount() < 2) continue;
        const bool active = b->isEnabled() && (b->underMouse() || b->hasFocus());
        if (!active && a.frame == 0) continue;
        // Frame 0 is whole, so going back to it needs no other frame.
        a.frame = active ? (a.frame + 1) % a.wda.frameCount() : 0;
        a.wda.drawFrame(a.tile, a.frame, 0, 0);
        b->setIcon(buttonPicture(surfaceImage(a.tile), a.caption));
    }
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

void StartDialog::takeFileDrops(FileDropTarget::Accepts accepts) {
    new FileDropTarget(this, std::move(accepts), [this](const DroppedFile& file) {
        dropped_ = file;
        accept();
    });
}

}  // namespace pavalo
