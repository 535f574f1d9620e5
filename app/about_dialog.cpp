// The about box's window.
#include "app/about_dialog.h"

#include <QPainter>
#include <QPushButton>

#include "app/surface_image.h"

namespace pavalo {

AboutDialog::AboutDialog(QWidget* parent, AboutSounds* sounds) : QDialog(parent) {
    setObjectName("AboutDialog");
    setWindowTitle("About Pavalo");
    setFixedSize(AboutAnimation::kClientWidth, AboutAnimation::kClientHeight);
    clock_.start();
    animated_ = animation_.open(now(), sounds);
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    const int strip = AboutAnimation::kClientHeight - (animated_ ? animation_.surface().height() : 372);
    ok->setGeometry(AboutAnimation::kClientWidth - 84, AboutAnimation::kClientHeight - strip + 1, 80, strip - 2);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // The timer runs faster than the frames so that none comes late.
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this] { tickAt(now()); });
    if (animated_) timer_.start();
}

AboutDialog::~AboutDialog() { animation_.close(); }

void AboutDialog::tickAt(uint32_t at) {
    const Rect r = animation_.tick(at);
    if (!r.empty()) repaint(QRect(r.left, r.top, r.width(), r.height()));
}

void AboutDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(12, 16, 36));
    if (animated_) {
        painter.drawImage(0, 0, surfaceImage(animation_.surface()));
        return;
    }
    painter.setPen(QColor(250, 204, 92));
    painter.drawText(rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, "Pavalo\nversion 0.1");
}

void showAnimatedAboutBox(QWidget* parent, AboutSounds* sounds) {
    AboutDialog box(parent, sounds);
    box.exec();
}

}  // namespace pavalo
