// The side windows' frame: caption, border, close box, moving and sizing.
#include "app/side_window.h"

#include <QMouseEvent>
#include <QPainter>

namespace pavalo {
namespace {

constexpr int kCorner = 12;  // corner zones reach this far along the edges

Qt::CursorShape cursorFor(SizingEdge e) {
    switch (e) {
        case SizingEdge::Left:
        case SizingEdge::Right: return Qt::SizeHorCursor;
        case SizingEdge::Top:
        case SizingEdge::Bottom: return Qt::SizeVerCursor;
        case SizingEdge::TopLeft:
        case SizingEdge::BottomRight: return Qt::SizeFDiagCursor;
        case SizingEdge::TopRight:
        case SizingEdge::BottomLeft: break;
    }
    return Qt::SizeBDiagCursor;
}

}  // namespace

SideWindowFrame::SideWindowFrame(QWidget* parent, const QString& caption, SideWindow kind,
                                 SideWindowManager& manager)
    : QWidget(parent), caption_(caption), kind_(kind), manager_(manager) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(kMinWidth, kMinHeight);
}

void SideWindowFrame::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update(0, 0, width(), kBorder + kCaption);
}

void SideWindowFrame::setClient(QWidget* client) {
    client_ = client;
    client_->setParent(this);
    client_->setGeometry(clientRectInFrame());
    client_->show();
}

QRect SideWindowFrame::clientRectInFrame() const {
    return QRect(kBorder, kBorder + kCaption, std::max(1, width() - 2 * kBorder),
                 std::max(1, height() - 2 * kBorder - kCaption));
}

void SideWindowFrame::place(const QRect& geometry) { setGeometry(geometry); }

QRect SideWindowFrame::closeBox() const { return QRect(width() - kBorder - kCaption + 2, kBorder + 2, kCaption - 4, kCaption - 4); }

SideWindowFrame::Zone SideWindowFrame::zoneAt(QPoint p, SizingEdge& edge) const {
    if (closeBox().contains(p)) return Zone::Close;
    const bool left = p.x() < kBorder, right = p.x() >= width() - kBorder;
    const bool top = p.y() < kBorder, bottom = p.y() >= height() - kBorder;
    const bool nearLeft = p.x() < kCorner, nearRight = p.x() >= width() - kCorner;
    const bool nearTop = p.y() < kCorner, nearBottom = p.y() >= height() - kCorner;
    if ((top && nearLeft) || (left && nearTop)) edge = SizingEdge::TopLeft;
    else if ((top && nearRight) || (right && nearTop)) edge = SizingEdge::TopRight;
    else if ((bottom && nearLeft) || (left && nearBottom)) edge = SizingEdge::BottomLeft;
    else if ((bottom && nearRight) || (right && nearBottom)) edge = SizingEdge::BottomRight;
    else if (left) edge = SizingEdge::Left;
    else if (right) edge = SizingEdge::Right;
    else if (top) edge = SizingEdge::Top;
    else if (bottom) edge = SizingEdge::Bottom;
    else if (p.y() < kBorder + kCaption) return Zone::Caption;
    else return Zone::None;
    return Zone::Edge;
}

void SideWindowFrame::paintEvent(QPaintEvent*) {
    QPainter g(this);
    const QRect all = rect();
    g.fillRect(all, QColor(192, 192, 192));
    // A raised border: light on the top and left, dark on the bottom and right.
    g.setPen(QColor(255, 255, 255));
    g.drawLine(0, 0, all.right(), 0);
    g.drawLine(0, 0, 0, all.bottom());
    g.setPen(QColor(64, 64, 64));
    g.drawLine(0, all.bottom(), all.right(), all.bottom());
    g.drawLine(all.right(), 0, all.right(), all.bottom());
    const QRect bar(kBorder, kBorder, width() - 2 * kBorder, kCaption - 1);
    QLinearGradient shade(bar.topLeft(), bar.topRight());
    shade.setColorAt(0, QColor(16, 52, 120));
    shade.setColorAt(1, QColor(70, 130, 200));
    g.fillRect(bar, shade);
    QFont f = font();
    f.setPixelSize(11);
    f.setBold(true);
    g.setFont(f);
    g.setPen(Qt::white);
    g.drawText(bar.adjusted(4, 0, -kCaption, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, caption_);
    const QRect box = closeBox();
    g.fillRect(box, QColor(192, 192, 192));
    g.setPen(QColor(255, 255, 255));
    g.drawLine(box.topLeft(), box.topRight());
    g.drawLine(box.topLeft(), box.bottomLeft());
    g.setPen(QColor(64, 64, 64));
    g.drawLine(box.bottomLeft(), box.bottomRight());
    g.drawLine(box.topRight(), box.bottomRight());
    g.setPen(QPen(Qt::black, 1.6));
    g.setRenderHint(QPainter::Antialiasing);
    g.drawLine(QPointF(box.left() + 3.5, box.top() + 3.5), QPointF(box.right() - 2.5, box.bottom() - 2.5));
    g.drawLine(QPointF(box.right() - 2.5, box.top() + 3.5), QPointF(box.left() + 3.5, box.bottom() - 2.5));
}

void SideWindowFrame::resizeEvent(QResizeEvent*) {
    if (client_) client_->setGeometry(clientRectInFrame());
}

void SideWindowFrame::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    raise();
    SizingEdge edge{};
    const Zone zone = zoneAt(e->position().toPoint(), edge);
    pressGlobal_ = e->globalPosition().toPoint();
    pressGeometry_ = geometry();
    if (zone == Zone::Close) {
        manager_.closeClicked(kind_);
    } else if (zone == Zone::Caption) {
        moving_ = true;
    } else if (zone == Zone::Edge) {
        edge_ = edge;
    }
}

void SideWindowFrame::mouseMoveEvent(QMouseEvent* e) {
    const QPoint delta = e->globalPosition().toPoint() - pressGlobal_;
    if (moving_) {
        const QRect before = geometry();
        const QRect after = toQRect(manager_.correctMove(kind_, toRect(pressGeometry_.translated(delta))));
        if (after != before) {
            setGeometry(after);
            manager_.moved(kind_, toRect(after));
        }
        return;
    }
    if (edge_) {
        QRect r = pressGeometry_;
        const SizingEdge s = *edge_;
        const bool l = s == SizingEdge::Left || s == SizingEdge::TopLeft || s == SizingEdge::BottomLeft;
        const bool rt = s == SizingEdge::Right || s == SizingEdge::TopRight || s == SizingEdge::BottomRight;
        const bool t = s == SizingEdge::Top || s == SizingEdge::TopLeft || s == SizingEdge::TopRight;
        const bool b = s == SizingEdge::Bottom || s == SizingEdge::BottomLeft || s == SizingEdge::BottomRight;
        // The opposite edge stays; the dragged one stops at the minimum size.
        if (l) r.setLeft(std::min(r.left() + delta.x(), r.right() + 1 - kMinWidth));
        if (rt) r.setRight(std::max(r.right() + delta.x(), r.left() + kMinWidth - 1));
        if (t) r.setTop(std::min(r.top() + delta.y(), r.bottom() + 1 - kMinHeight));
        if (b) r.setBottom(std::max(r.bottom() + delta.y(), r.top() + kMinHeight - 1));
        const QRect before = geometry();
        const QRect after = toQRect(manager_.correctSize(kind_, toRect(r), s));
        if (after != before) {
            setGeometry(after);
            manager_.sized(kind_, toRect(after));
        }
        return;
    }
    SizingEdge edge{};
    if (zoneAt(e->position().toPoint(), edge) == Zone::Edge)
        setCursor(cursorFor(edge));
    else
        unsetCursor();
}

void SideWindowFrame::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    moving_ = false;
    if (edge_) {
        edge_.reset();
        manager_.sizingEnded(kind_);
    }
}

}  // namespace pavalo
