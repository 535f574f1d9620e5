// SideWindow: a captioned, sizable child window of the play-area view — the
// frame shared by the preview, the overview and the sorting boxes. It draws
// its own border, caption and close box (the play area has no window
// manager of its own) and turns drags of the caption and of the border into
// proposed rectangles that the side windows' manager corrects (the 30-pixel
// rule, the preview's aspect) before they are applied. Rectangles are in
// the parent's (the view's) pixels.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "display/side_window_rules.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"
#include "shell/side_window_manager.h"

namespace pavalo {

class Compositor;
class DrawSurface;
class ViewController;

// What the side windows draw from and report to; everything outlives them.
struct SideWindowContext {
    PuzzleModel& model;
    Compositor& compositor;
    SettingsRecord& record;  // side-window placements, box open flags
    std::function<ViewController*()> controller;
    std::function<DrawSurface*()> picture;  // null without a picture
    SideWindowManager& manager;             // the rules of moving, sizing and closing
    // Changes whenever the picture's pixels change (a new puzzle, the next
    // frame of an animation).
    std::function<uint64_t()> pictureVersion;
};

class SideWindowFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorder = 4;
    static constexpr int kCaption = 18;
    static constexpr int kMinWidth = 80, kMinHeight = 50;

    // `kind` names the window to the manager, which corrects and records
    // its moves and sizes and closes it when its close box is clicked.
    SideWindowFrame(QWidget* parent, const QString& caption, SideWindow kind, SideWindowManager& manager);

    void setCaption(const QString& caption);
    QString caption() const { return caption_; }
    // The client widget fills the area inside the border and below the caption.
    void setClient(QWidget* client);
    QWidget* client() const { return client_; }
    QRect clientRectInFrame() const;
    // The size the frame adds around its client.
    static QSize frameExtra() { return {2 * kBorder, 2 * kBorder + kCaption}; }
    // Places the window without the move and size rules (saved placements).
    void place(const QRect& geometry);
    bool sizingInProgress() const { return edge_.has_value(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Zone { None, Caption, Close, Edge };
    Zone zoneAt(QPoint p, SizingEdge& edge) const;
    QRect closeBox() const;

    QString caption_;
    SideWindow kind_;
    SideWindowManager& manager_;
    QWidget* client_ = nullptr;
    bool moving_ = false;
    std::optional<SizingEdge> edge_;
    QPoint pressGlobal_;
    QRect pressGeometry_;
};

// QRect and Rect (left, top, right and bottom exclusive).
inline Rect toRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
inline QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }
// A window's rectangle as the settings record stores it.
inline StoredRect storedRect(const QRect& r) { return storedRectOf(toRect(r)); }

}  // namespace pavalo
