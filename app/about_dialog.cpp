// The about box's window.
#include "app/about_dialog.h"

#include <QPainter>
#include <QPushButton>

#include "app/surface_image.h"
#include "media/sound.h"

namespace pavalo {
namespace {

// The about box's sounds through the effect player: both are queued when
// the loop starts (the intro once, the loop for ever) and stopped together.
class QueuedAboutSounds : public AboutSounds {
public:
    explicit QueuedAboutSounds(SoundEffects* effects) : effects_(effects) {}
    void playIntro() override {}
    void startLoop() override {
        if (effects_) sounds_ = std::make_unique<AboutBoxSounds>(*effects_);
    }
    void stop() override { sounds_.reset(); }

private:
    SoundEffects* effects_;
    std::unique_ptr<AboutBoxSounds> sounds_;
};

}  // namespace

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

void showAnimatedAboutBox(QWidget* parent, SoundEffects* effects) {
    QueuedAboutSounds sounds(effects);
    showAnimatedAboutBox(parent, &sounds);
}

}  // namespace pavalo
