// The tool palette.
#include "app/tool_palette.h"

#include <QMenu>
#include <QKeySequence>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

#include "app/palette_icons.h"
#include "shell/command_table.h"

namespace pavalo {
namespace {

constexpr int kGrip = 12;
constexpr int kFrame = 2;

}  // namespace

void fillMenu(QMenu& menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        if (item.isPopup()) {
            QMenu* sub = menu.addMenu(QString::fromStdString(item.text));
            fillMenu(*sub, item.items);
            continue;
        }
        // Text after a tab is drawn as the entry's shortcut column; the keys
        // themselves are bound once by the frame, not by these short-lived
        // actions.
        QString text = QString::fromStdString(item.text);
        if (!item.shortcut.empty()) text += '\t' + QKeySequence(QString::fromStdString(item.shortcut)).toString(QKeySequence::NativeText);
        QAction* action = menu.addAction(text);
        action->setData(item.id);
        action->setEnabled(item.enabled);
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
        action->setStatusTip(QString::fromStdString(item.statusPrompt));
    }
}

// ------------------------------------------------------------------ button

PaletteButtonWidget::PaletteButtonWidget(QWidget* parent, uint32_t id)
    : QAbstractButton(parent), id_(id), picture_(palettePicture(id)) {
    setFixedSize(kPaletteButtonSize, kPaletteButtonSize);
    setFocusPolicy(Qt::NoFocus);
}

QSize PaletteButtonWidget::sizeHint() const { return {kPaletteButtonSize, kPaletteButtonSize}; }

void PaletteButtonWidget::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    update();
}

void PaletteButtonWidget::paintEvent(QPaintEvent*) {
    QPainter g(this);
    const bool sunken = isDown() || on_;
    const QRect r = rect();
    // A chosen tool or an open window shows as a pressed, lighter-checked
    // button, as a toolbar shows a switched-on state.
    g.fillRect(r, on_ ? QColor(232, 232, 214) : isDown() ? QColor(176, 176, 176) : QColor(200, 200, 200));
    const QColor light(250, 250, 250), dark(64, 64, 64);
    g.setPen(sunken ? dark : light);
    g.drawLine(r.topLeft(), r.topRight());
    g.drawLine(r.topLeft(), r.bottomLeft());
    if (sunken) {
        g.setPen(QColor(128, 128, 128));
        g.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        g.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
    }
    g.setPen(sunken ? light : dark);
    g.drawLine(r.bottomLeft(), r.bottomRight());
    g.drawLine(r.topRight(), r.bottomRight());
    g.setRenderHint(QPainter::SmoothPixmapTransform);
    const int shift = sunken ? 1 : 0;
    if (!isEnabled()) g.setOpacity(0.35);
    g.drawPixmap(QRect(2 + shift, 2 + shift, 28, 28), picture_);
}

// ----------------------------------------------------------------- palette

ToolPalette::ToolPalette(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(kFrame);
    setMouseTracking(true);
    setAutoFillBackground(true);
    bar_ = new QMenuBar(this);
    bar_->setNativeMenuBar(false);
    menu_ = bar_->addMenu("&Menu");
    connect(menu_, &QMenu::aboutToShow, this, &ToolPalette::rebuildMenu);
    connect(menu_, &QMenu::triggered, this, [this](QAction* a) {
        if (onMenuCommand && a->data().isValid()) onMenuCommand(a->data().toUInt());
    });
    const int width = 2 * kPaletteButtonSize;
    const int barHeight = bar_->sizeHint().height();
    bar_->setGeometry(kFrame, kFrame + kGrip, width, barHeight);
    const int top = kFrame + kGrip + barHeight;
    for (size_t i = 0; i < kPaletteButtons.size(); ++i) {
        const PaletteButton& b = kPaletteButtons[i];
        auto* w = new PaletteButtonWidget(this, b.id);
        w->setToolTip(b.toolTip);
        w->move(kFrame + int(i % 2) * kPaletteButtonSize, top + int(i / 2) * kPaletteButtonSize);
        connect(w, &QAbstractButton::clicked, this, [this, id = b.id] {
            if (onButton) onButton(id);
        });
        buttons_[b.id] = w;
    }
    setFixedSize(width + 2 * kFrame, top + 9 * kPaletteButtonSize + kFrame);
}

PaletteButtonWidget* ToolPalette::button(uint32_t id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void ToolPalette::setTool(int tool) {
    for (const PaletteButton& b : kPaletteButtons)
        if (b.tool >= 0) setOn(b.id, b.tool == tool);
}

void ToolPalette::setOn(uint32_t id, bool on) {
    if (PaletteButtonWidget* b = button(id)) b->setOn(on);
}

void ToolPalette::setButtonEnabled(uint32_t id, bool enabled) {
    if (PaletteButtonWidget* b = button(id)) b->setEnabled(enabled);
}

void ToolPalette::placeDefault() {
    if (QWidget* p = parentWidget()) move(8, std::max(0, (p->height() - height()) / 2));
}

void ToolPalette::placeAt(QPoint to) {
    if (QWidget* p = parentWidget()) {
        // Keep the grip reachable.
        to.setX(std::clamp(to.x(), 30 - width(), p->width() - 30));
        to.setY(std::clamp(to.y(), 0, std::max(0, p->height() - kGrip - kFrame)));
    }
    move(to);
}

void ToolPalette::rebuildMenu() {
    menu_->clear();
    if (!menuContents) return;
    const std::vector<MenuItem> items = menuContents();
    fillMenu(*menu_, items);
}

void ToolPalette::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter g(this);
    // The grip: a dark strip with two ridges to drag the palette by.
    const QRect grip(kFrame, kFrame, width() - 2 * kFrame, kGrip);
    g.fillRect(grip, QColor(16, 52, 120));
    g.setPen(QColor(140, 170, 220));
    for (int y : {grip.top() + 4, grip.top() + 7}) g.drawLine(grip.left() + 4, y, grip.right() - 4, y);
}

void ToolPalette::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && e->position().y() < kFrame + kGrip) {
        dragging_ = true;
        grabOffset_ = e->position().toPoint();
    }
}

void ToolPalette::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) {
        placeAt(mapToParent(e->position().toPoint()) - grabOffset_);
        return;
    }
    if (onPointer) onPointer(e->globalPosition().toPoint(), false);
}

void ToolPalette::mouseReleaseEvent(QMouseEvent* e) {
    if (dragging_) {
        dragging_ = false;
        if (onMoved) onMoved();
        return;
    }
    if (onPointer && e->button() == Qt::LeftButton) onPointer(e->globalPosition().toPoint(), true);
}

}  // namespace pavalo
