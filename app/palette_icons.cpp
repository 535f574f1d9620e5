// The tool palette's button pictures, drawn with QPainter at 32 x 32.
#include "app/palette_icons.h"

#include <QPainter>
#include <QPainterPath>

#include "shell/command_table.h"

namespace pavalo {
namespace {

namespace fc = frame_command;

constexpr int kSize = kPaletteButtonSize;

void outlined(QPainter& g, const QPainterPath& path, const QColor& fill, qreal width = 1.2) {
    g.setPen(QPen(QColor(20, 20, 20), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.setBrush(fill);
    g.drawPath(path);
}

// A jigsaw piece with a knob on the top and one on the right.
QPainterPath piecePath(QRectF r) {
    const qreal k = r.width() * 0.28;
    QPainterPath p;
    p.moveTo(r.left(), r.top());
    p.lineTo(r.center().x() - k / 2, r.top());
    p.arcTo(QRectF(r.center().x() - k / 2, r.top() - k * 0.8, k, k), 200, -220);
    p.lineTo(r.right(), r.top());
    p.lineTo(r.right(), r.center().y() - k / 2);
    p.arcTo(QRectF(r.right() - k * 0.2, r.center().y() - k / 2, k, k), 110, -220);
    p.lineTo(r.right(), r.bottom());
    p.lineTo(r.left(), r.bottom());
    p.closeSubpath();
    return p;
}

void magnifier(QPainter& g, const QString& sign) {
    g.setPen(QPen(QColor(90, 60, 30), 4, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(19, 19), QPointF(27, 27));
    QPainterPath lens;
    lens.addEllipse(QPointF(13, 13), 8.5, 8.5);
    outlined(g, lens, QColor(200, 230, 255), 1.8);
    QFont f;
    f.setPixelSize(13);
    f.setBold(true);
    g.setFont(f);
    g.setPen(QColor(10, 40, 120));
    g.drawText(QRectF(4.5, 4, 17, 18), Qt::AlignCenter, sign);
}

void drawNew(QPainter& g) {
    QPainterPath sheet;
    sheet.moveTo(7, 4);
    sheet.lineTo(20, 4);
    sheet.lineTo(26, 10);
    sheet.lineTo(26, 28);
    sheet.lineTo(7, 28);
    sheet.closeSubpath();
    outlined(g, sheet, Qt::white);
    outlined(g, piecePath(QRectF(11, 15, 10, 9)), QColor(240, 170, 70));
    g.setPen(QPen(QColor(230, 180, 0), 1.5));
    g.drawLine(QPointF(20, 4), QPointF(20, 10));
    g.drawLine(QPointF(20, 10), QPointF(26, 10));
}

void drawExit(QPainter& g) {
    outlined(g, [] {
        QPainterPath p;
        p.addRect(QRectF(6, 4, 14, 24));
        return p;
    }(), QColor(150, 100, 50));
    QPainterPath door;
    door.moveTo(6, 4);
    door.lineTo(15, 7);
    door.lineTo(15, 30);
    door.lineTo(6, 28);
    door.closeSubpath();
    outlined(g, door, QColor(200, 140, 70));
    g.setPen(QPen(QColor(180, 20, 20), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.drawLine(QPointF(18, 16), QPointF(29, 16));
    g.drawLine(QPointF(25, 12), QPointF(29, 16));
    g.drawLine(QPointF(25, 20), QPointF(29, 16));
}

void drawArrow(QPainter& g) {
    QPainterPath a;
    a.moveTo(9, 4);
    a.lineTo(9, 25);
    a.lineTo(14, 20);
    a.lineTo(18, 28);
    a.lineTo(21, 27);
    a.lineTo(17, 19);
    a.lineTo(24, 19);
    a.closeSubpath();
    outlined(g, a, Qt::white);
}

void drawColors(QPainter& g) {
    QPainterPath board;
    board.addEllipse(QRectF(3, 6, 26, 21));
    QPainterPath hole;
    hole.addEllipse(QRectF(18, 18, 5, 5));
    outlined(g, board.subtracted(hole), QColor(225, 190, 140));
    const QColor dots[] = {QColor(220, 30, 30), QColor(30, 160, 40), QColor(30, 70, 220), QColor(240, 210, 20),
                           QColor(160, 40, 180)};
    const QPointF at[] = {{8, 12}, {13, 9}, {19, 9}, {24, 12}, {8, 19}};
    for (int i = 0; i < 5; ++i) {
        g.setPen(Qt::NoPen);
        g.setBrush(dots[i]);
        g.drawEllipse(at[i], 2.6, 2.6);
    }
}

void drawArrange(QPainter& g) {
    const QColor colours[] = {QColor(230, 120, 60), QColor(90, 170, 90), QColor(80, 130, 220), QColor(230, 200, 70)};
    for (int i = 0; i < 4; ++i) {
        QPainterPath p;
        p.addRoundedRect(QRectF(5 + (i % 2) * 12, 5 + (i / 2) * 12, 10, 10), 2, 2);
        outlined(g, p, colours[i]);
    }
}

void drawSolve(QPainter& g) {
    outlined(g, piecePath(QRectF(5, 10, 18, 17)), QColor(240, 200, 120));
    g.setPen(QPen(QColor(0, 130, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.drawLine(QPointF(9, 19), QPointF(13, 23));
    g.drawLine(QPointF(13, 23), QPointF(21, 14));
}

void drawHide(QPainter& g) {
    // Two stacked windows with an eye.
    for (int i = 0; i < 2; ++i) {
        QPainterPath w;
        w.addRect(QRectF(4 + i * 7, 5 + i * 6, 17, 14));
        outlined(g, w, i ? QColor(235, 235, 235) : QColor(200, 200, 200));
        g.fillRect(QRectF(4.6 + i * 7, 5.6 + i * 6, 16, 3), QColor(40, 80, 160));
    }
    QPainterPath eye;
    eye.moveTo(12, 19);
    eye.quadTo(19, 12, 26, 19);
    eye.quadTo(19, 26, 12, 19);
    outlined(g, eye, Qt::white);
    g.setBrush(QColor(30, 30, 30));
    g.drawEllipse(QPointF(19, 19), 2.2, 2.2);
}

void drawPuzzleOutline(QPainter& g) {
    g.fillRect(QRectF(5, 6, 22, 20), QColor(40, 60, 90));
    g.setPen(QPen(Qt::white, 1.5, Qt::DashLine));
    g.setBrush(Qt::NoBrush);
    g.drawRect(QRectF(5, 6, 22, 20));
    g.setPen(QPen(QColor(255, 255, 255, 150), 1));
    g.drawLine(QPointF(16, 6), QPointF(16, 26));
    g.drawLine(QPointF(5, 16), QPointF(27, 16));
}

void drawPieceOutlines(QPainter& g) {
    QPainterPath p = piecePath(QRectF(6, 10, 18, 16));
    g.setPen(QPen(QColor(30, 30, 30), 3));
    g.setBrush(QColor(120, 170, 230));
    g.drawPath(p);
    g.setPen(QPen(Qt::white, 1.2));
    g.setBrush(Qt::NoBrush);
    g.drawPath(p);
}

void drawOverview(QPainter& g) {
    g.fillRect(QRectF(3, 5, 26, 22), QColor(20, 20, 20));
    g.setPen(QColor(130, 130, 130));
    g.drawRect(QRectF(11.5, 12.5, 9, 7));
    g.setPen(Qt::NoPen);
    g.setBrush(Qt::white);
    const QPointF marks[] = {{6, 8}, {9, 22}, {24, 9}, {26, 23}, {14, 15}, {18, 24}, {5, 16}};
    for (const QPointF& m : marks) g.drawRect(QRectF(m, QSizeF(1.6, 1.6)));
    g.setPen(QPen(QColor(255, 210, 0), 1.2));
    g.setBrush(Qt::NoBrush);
    g.drawRect(QRectF(7.5, 9.5, 13, 10));
}

void drawPreview(QPainter& g) {
    QPainterPath frame;
    frame.addRect(QRectF(4, 6, 24, 20));
    outlined(g, frame, QColor(130, 190, 240));
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(250, 220, 40));
    g.drawEllipse(QPointF(22, 11), 2.6, 2.6);
    QPainterPath hills;
    hills.moveTo(4.6, 25.4);
    hills.lineTo(11, 15);
    hills.lineTo(16, 21);
    hills.lineTo(20, 17);
    hills.lineTo(27.4, 25.4);
    hills.closeSubpath();
    g.setBrush(QColor(60, 140, 60));
    g.drawPath(hills);
}

void drawBox(QPainter& g, int number) {
    QPainterPath tray;
    tray.moveTo(4, 12);
    tray.lineTo(28, 12);
    tray.lineTo(25, 27);
    tray.lineTo(7, 27);
    tray.closeSubpath();
    outlined(g, piecePath(QRectF(9, 6, 9, 8)), QColor(230, 120, 60), 1);
    outlined(g, tray, QColor(190, 150, 90));
    QFont f;
    f.setPixelSize(12);
    f.setBold(true);
    g.setFont(f);
    g.setPen(QColor(40, 20, 0));
    g.drawText(QRectF(7, 13, 18, 14), Qt::AlignCenter, QString::number(number));
}

void drawUndo(QPainter& g) {
    QPainterPath arc;
    arc.moveTo(10, 12);
    arc.cubicTo(18, 5, 29, 11, 25, 20);
    arc.cubicTo(23, 25, 17, 27, 12, 25);
    g.setPen(QPen(QColor(20, 20, 20), 5, Qt::SolidLine, Qt::RoundCap));
    g.setBrush(Qt::NoBrush);
    g.drawPath(arc);
    g.setPen(QPen(QColor(40, 140, 220), 2.6, Qt::SolidLine, Qt::RoundCap));
    g.drawPath(arc);
    QPainterPath head;
    head.moveTo(4, 12);
    head.lineTo(13, 6);
    head.lineTo(13, 17);
    head.closeSubpath();
    outlined(g, head, QColor(40, 140, 220));
}

}  // namespace

QPixmap palettePicture(uint32_t id) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter g(&pixmap);
    g.setRenderHint(QPainter::Antialiasing);
    switch (id) {
        case fc::kPaletteNew: drawNew(g); break;
        case fc::kPaletteExit: drawExit(g); break;
        case fc::kArrow: drawArrow(g); break;
        case fc::kColors: drawColors(g); break;
        case fc::kArrangeTool: drawArrange(g); break;
        case fc::kSolveTool: drawSolve(g); break;
        case fc::kZoomTool: magnifier(g, "+"); break;
        case fc::kHide: drawHide(g); break;
        case fc::kPuzzleOutline: drawPuzzleOutline(g); break;
        case fc::kPieceOutlines: drawPieceOutlines(g); break;
        case fc::kOverview: drawOverview(g); break;
        case fc::kPreview: drawPreview(g); break;
        case fc::kBox1:
        case fc::kBox1 + 1:
        case fc::kBox1 + 2:
        case fc::kBox1 + 3: drawBox(g, int(id - fc::kBox1) + 1); break;
        case fc::kFindTool: magnifier(g, "?"); break;
        case fc::kPaletteUndo: drawUndo(g); break;
        default: break;
    }
    return pixmap;
}

}  // namespace pavalo
