// Cursors drawn at start-up with QPainter, 32 x 32 with a transparent ground.
#include "app/cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <map>

namespace pavalo {
namespace {

QPixmap blank() {
    QPixmap p(32, 32);
    p.fill(Qt::transparent);
    return p;
}

void outlined(QPainter& g, const QPainterPath& path, QColor fill) {
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::black, 2.5));
    g.drawPath(path);
    g.setPen(QPen(Qt::white, 1.2));
    g.setBrush(fill);
    g.drawPath(path);
}

// A magnifying glass whose lens shows a plus, a minus or a question mark.
QCursor magnifier(QChar sign) {
    QPixmap p = blank();
    QPainter g(&p);
    QPainterPath handle;
    handle.moveTo(19, 19);
    handle.lineTo(29, 29);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
    g.drawPath(handle);
    g.setPen(QPen(QColor(120, 80, 40), 3, Qt::SolidLine, Qt::RoundCap));
    g.drawPath(handle);
    QPainterPath lens;
    lens.addEllipse(QPointF(12, 12), 9, 9);
    outlined(g, lens, QColor(200, 230, 255, 200));
    g.setPen(QPen(Qt::black, 2));
    if (sign == '+' || sign == '-') g.drawLine(8, 12, 16, 12);
    if (sign == '+') g.drawLine(12, 8, 12, 16);
    if (sign == '?') {
        QFont f;
        f.setPixelSize(13);
        f.setBold(true);
        g.setFont(f);
        g.drawText(QRect(4, 3, 16, 18), Qt::AlignCenter, "?");
    }
    return QCursor(p, 12, 12);
}

// Four small pieces in a tidy grid.
QCursor arrangeCursor() {
    QPixmap p = blank();
    QPainter g(&p);
    const QColor colours[] = {QColor(230, 120, 60), QColor(90, 170, 90), QColor(80, 130, 220), QColor(230, 200, 70)};
    for (int i = 0; i < 4; ++i) {
        QPainterPath piece;
        piece.addRoundedRect(QRectF(3 + (i % 2) * 14, 3 + (i / 2) * 14, 11, 11), 2, 2);
        outlined(g, piece, colours[i]);
    }
    return QCursor(p, 3, 3);
}

// A jigsaw piece with a tick: put this piece in its place.
QCursor solveCursor() {
    QPixmap p = blank();
    QPainter g(&p);
    QPainterPath piece;
    piece.moveTo(4, 8);
    piece.lineTo(12, 8);
    piece.arcTo(12, 3, 7, 7, 200, -220);
    piece.lineTo(24, 8);
    piece.lineTo(24, 16);
    piece.arcTo(23, 15, 7, 7, 110, -220);
    piece.lineTo(24, 26);
    piece.lineTo(4, 26);
    piece.closeSubpath();
    outlined(g, piece, QColor(240, 200, 120));
    g.setPen(QPen(QColor(0, 120, 0), 3, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(8, 17, 12, 21);
    g.drawLine(12, 21, 20, 12);
    return QCursor(p, 4, 8);
}

}  // namespace

QCursor gameCursor(CursorShape shape) {
    static std::map<CursorShape, QCursor> made;
    auto it = made.find(shape);
    if (it != made.end()) return it->second;
    QCursor c;
    switch (shape) {
        case CursorShape::Arrow: c = QCursor(Qt::ArrowCursor); break;
        case CursorShape::Wait: c = QCursor(Qt::WaitCursor); break;
        case CursorShape::ZoomIn: c = magnifier('+'); break;
        case CursorShape::ZoomOut: c = magnifier('-'); break;
        case CursorShape::Find: c = magnifier('?'); break;
        case CursorShape::Arrange: c = arrangeCursor(); break;
        case CursorShape::Solve: c = solveCursor(); break;
    }
    made[shape] = c;
    return c;
}

}  // namespace pavalo
