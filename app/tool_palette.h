// ToolPalette: the small floating palette over the play area — a grip to
// drag it by, the menu bar with its one popup "&Menu" (composed afresh each
// time it opens), and 18 picture buttons of 32 x 32 pixels in 9 rows of 2.
// It only reports: a button's palette id, a menu entry's command id, and the
// pointer moving or released over it (so a dragged piece keeps following
// the pointer). The frame decides what they do.
#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <functional>
#include <map>
#include <vector>

#include "puzzle/assist_menu.h"

class QMenu;
class QMenuBar;

namespace pavalo {

// One picture button: a raised bevel, sunken while pressed or while its
// state is on.
class PaletteButtonWidget : public QAbstractButton {
    Q_OBJECT
public:
    PaletteButtonWidget(QWidget* parent, uint32_t id);
    uint32_t id() const { return id_; }
    QSize sizeHint() const override;
    // The state the button shows (a tool chosen, a window open); a click
    // never changes it, the frame does.
    bool on() const { return on_; }
    void setOn(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint32_t id_;
    QPixmap picture_;
    bool on_ = false;
};

class ToolPalette : public QFrame {
    Q_OBJECT
public:
    explicit ToolPalette(QWidget* parent);

    // What the palette reports.
    std::function<void(uint32_t id)> onButton;
    std::function<void(uint32_t id)> onMenuCommand;
    std::function<std::vector<MenuItem>()> menuContents;  // the "&Menu" popup's entries
    // Pointer moves and releases over the palette (global position).
    std::function<void(QPoint global, bool released)> onPointer;
    // The player has dragged the palette to a new place.
    std::function<void()> onMoved;

    PaletteButtonWidget* button(uint32_t id) const;
    QMenu* menu() const { return menu_; }
    QMenuBar* menuBar() const { return bar_; }
    // Shows the tool's button pressed and the others raised.
    void setTool(int tool);
    // A toggle's button shown pressed (a side window open, an outline shown).
    void setOn(uint32_t id, bool on);
    void setButtonEnabled(uint32_t id, bool enabled);
    // Places the palette at the left edge, halfway down its parent.
    void placeDefault();
    // Moves the palette to `topLeft`, kept where its grip can be reached.
    void placeAt(QPoint topLeft);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildMenu();

    QMenuBar* bar_;
    QMenu* menu_;
    std::map<uint32_t, PaletteButtonWidget*> buttons_;
    bool dragging_ = false;
    QPoint grabOffset_;
};

// Fills a Qt menu from composed entries; each action carries its command id.
void fillMenu(QMenu& menu, const std::vector<MenuItem>& items);

}  // namespace pavalo
