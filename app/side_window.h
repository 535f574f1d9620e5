// SideWindow: a captioned, sizable child window of the play-area view — the
// frame shared by the preview, the overview and the sorting boxes. It draws
// its own border, caption and close box (the play area has no window
// manager of its own) and turns drags of the caption and of the border into
// proposed rectangles that the concrete window may correct (the 30-pixel
// rule, the preview's aspect) before they are applied. Rectangles are in
// the parent's (the view's) pixels.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "display/side_window_rules.h"
#include "puzzle/puzzle_model.h"
#include "puzzle/settings_record.h"

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
    std::function<void()> markChanged;
};

class SideWindowFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorder = 4;
    static constexpr int kCaption = 18;

    SideWindowFrame(QWidget* parent, const QString& caption);

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

signals:
    // The close box was clicked.
    void closeClicked();

protected:
    // A drag of the caption asks for `proposed`; the result is applied.
    virtual QRect correctMove(const QRect& proposed) { return proposed; }
    // A drag of the border asks for `proposed`.
    virtual QRect correctSize(const QRect& proposed, SizingEdge) { return proposed; }
    // After a move or a sizing step was applied (old and new geometry).
    virtual void wasMoved(const QRect& /*before*/, const QRect& /*after*/) {}
    virtual void wasSized(const QRect& /*before*/, const QRect& /*after*/) {}
    // The sizing drag ended at the window's present geometry.
    virtual void sizingEnded() {}

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
    QWidget* client_ = nullptr;
    bool moving_ = false;
    std::optional<SizingEdge> edge_;
    QPoint pressGlobal_;
    QRect pressGeometry_;
};

// QRect and Rect (left, top, right and bottom exclusive).
inline Rect toRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
inline QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }
// A window's rectangle as the settings record stores it, and back.
inline StoredRect storedRect(const QRect& r) {
    const Rect x = toRect(r);
    return {x.left, x.top, x.right, x.bottom};
}
inline Rect rectOf(const StoredRect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace pavalo
