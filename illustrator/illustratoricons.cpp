#include "illustratoricons.h"

#include "controls/drawing.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tovradocs::Internal {

namespace {

constexpr int kSide = 24;

void drawBars(QPainter &p, const QList<int> &widths, Qt::Alignment align)
{
    int y = 5;
    for (int w : widths) {
        const int x = align == Qt::AlignLeft ? 3 : align == Qt::AlignRight ? 21 - w : 12 - w / 2;
        p.drawLine(x, y, x + w, y);
        y += 4;
    }
}

void drawAlign(QPainter &p, const QString &key)
{
    p.setBrush(QColor(90, 140, 210));
    const bool vertical = key.contains(u"Left") || key.contains(u"Right") || key == u"AlignCenterVertical";
    if (key == u"AlignCenterHorVert") {
        p.drawRect(5, 8, 14, 8);
        p.drawLine(12, 2, 12, 22);
        p.drawLine(2, 12, 22, 12);
        return;
    }
    if (vertical) {
        const int x = key.contains(u"Left") ? 4 : key.contains(u"Right") ? 20 : 12;
        p.drawLine(x, 2, x, 22);
        const int w1 = 14, w2 = 9;
        const int l1 = key.contains(u"Left") ? 4 : key.contains(u"Right") ? 20 - w1 : 12 - w1 / 2;
        const int l2 = key.contains(u"Left") ? 4 : key.contains(u"Right") ? 20 - w2 : 12 - w2 / 2;
        p.drawRect(l1, 5, w1, 5);
        p.drawRect(l2, 14, w2, 5);
    } else {
        const int y = key.contains(u"Top") ? 4 : key.contains(u"Bottom") ? 20 : 12;
        p.drawLine(2, y, 22, y);
        const int h1 = 14, h2 = 9;
        const int t1 = key.contains(u"Top") ? 4 : key.contains(u"Bottom") ? 20 - h1 : 12 - h1 / 2;
        const int t2 = key.contains(u"Top") ? 4 : key.contains(u"Bottom") ? 20 - h2 : 12 - h2 / 2;
        p.drawRect(5, t1, 5, h1);
        p.drawRect(14, t2, 5, h2);
    }
}

void drawOrder(QPainter &p, const QString &key)
{
    const bool front = key == u"BringToFront" || key == u"BringForward";
    const QColor back(200, 200, 200), top(90, 140, 210);
    p.setBrush(front ? back : top);
    p.drawRect(3, 3, 12, 12);
    p.setBrush(front ? top : back);
    p.drawRect(9, 9, 12, 12);
    if (key == u"BringForward" || key == u"SendBackward") {
        p.setBrush(Qt::NoBrush);
        p.drawLine(19, 2, 19, 7);
        p.drawLine(17, 4, 19, 2);
        p.drawLine(21, 4, 19, 2);
    }
}

QPixmap draw(const QString &key)
{
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(255, 236, 160));
    QFont font = p.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    const QRect box(4, 5, 16, 14);
    static const QHash<QString, ShapeKind> shapes = {
        {QStringLiteral("Rectangle"), ShapeKind::Rectangle}, {QStringLiteral("RoundRectangle"), ShapeKind::RoundRectangle},
        {QStringLiteral("Ellipse"), ShapeKind::Ellipse}, {QStringLiteral("Polygon"), ShapeKind::Polygon},
        {QStringLiteral("Star"), ShapeKind::Star}};
    if (shapes.contains(key)) {
        switch (shapes.value(key)) {
        case ShapeKind::Rectangle: p.drawRect(box); break;
        case ShapeKind::RoundRectangle: p.drawRoundedRect(box, 4, 4); break;
        case ShapeKind::Ellipse: p.drawEllipse(box); break;
        default: p.drawPolygon(shapeOutline(shapes.value(key), 5, QRectF(3, 3, 18, 18))); break;
        }
    } else if (key == u"Line") {
        p.drawLine(4, 20, 20, 4);
    } else if (key == u"Arc") {
        p.drawArc(QRect(4, 4, 30, 30), 90 * 16, 90 * 16);
    } else if (key == u"Select" || key == u"SelectAll" || key == u"UnselectAll") {
        if (key != u"Select") {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(40, 40, 40), 1, Qt::DashLine));
            p.drawRect(2, 2, 20, 20);
            p.setPen(QPen(QColor(40, 40, 40), 1.5));
        }
        p.setBrush(key == u"UnselectAll" ? QColor(Qt::white) : QColor(40, 40, 40));
        p.drawPolygon(QPolygonF({QPointF(7, 4), QPointF(7, 19), QPointF(11, 15), QPointF(15, 21), QPointF(17, 20), QPointF(13, 14), QPointF(18, 14)}));
    } else if (key.startsWith(u"Text")) {
        drawBars(p, {16, 10, 16, 8}, key == u"TextLeft" ? Qt::AlignLeft : key == u"TextRight" ? Qt::AlignRight : Qt::AlignHCenter);
    } else if (key.startsWith(u"Align")) {
        drawAlign(p, key);
    } else if (key.contains(u"Front") || key.contains(u"Back") || key.contains(u"Forward")) {
        drawOrder(p, key);
    } else if (key == u"Group" || key == u"Ungroup") {
        p.setBrush(QColor(90, 140, 210));
        p.drawRect(4, 4, 9, 9);
        p.drawEllipse(11, 11, 9, 9);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(40, 40, 40), 1, key == u"Group" ? Qt::SolidLine : Qt::DashLine));
        p.drawRect(2, 2, 20, 20);
    } else if (key == u"Picture") {
        p.setBrush(QColor(170, 210, 240));
        p.drawRect(3, 5, 18, 14);
        p.setBrush(QColor(80, 160, 80));
        p.drawPolygon(QPolygonF({QPointF(4, 18), QPointF(10, 10), QPointF(14, 15), QPointF(17, 12), QPointF(20, 18)}));
    } else {
        // Letters for the commands that have no shape of their own.
        static const QHash<QString, QString> letters = {
            {QStringLiteral("New"), QStringLiteral("□")}, {QStringLiteral("Open"), QStringLiteral("O")},
            {QStringLiteral("Save"), QStringLiteral("S")}, {QStringLiteral("Export"), QStringLiteral("E")},
            {QStringLiteral("Cut"), QStringLiteral("✂")}, {QStringLiteral("Copy"), QStringLiteral("C")},
            {QStringLiteral("Paste"), QStringLiteral("P")}, {QStringLiteral("Undo"), QStringLiteral("↶")},
            {QStringLiteral("Redo"), QStringLiteral("↷")}, {QStringLiteral("Delete"), QStringLiteral("✕")},
            {QStringLiteral("Bold"), QStringLiteral("B")}, {QStringLiteral("Italic"), QStringLiteral("I")},
            {QStringLiteral("Underline"), QStringLiteral("U")}, {QStringLiteral("Strikethru"), QStringLiteral("S")},
            {QStringLiteral("UnZoom"), QStringLiteral("1:1")}, {QStringLiteral("Zoom-"), QStringLiteral("−")},
            {QStringLiteral("Zoom+"), QStringLiteral("+")}};
        font.setItalic(key == u"Italic");
        font.setUnderline(key == u"Underline");
        font.setStrikeOut(key == u"Strikethru");
        if (key.startsWith(u"Zoom") || key == u"UnZoom") {
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(2, 2, 16, 16);
            p.drawLine(16, 16, 22, 22);
            font.setPixelSize(key == u"UnZoom" ? 7 : 12);
            p.setFont(font);
            p.drawText(QRect(2, 2, 16, 16), Qt::AlignCenter, letters.value(key));
        } else {
            p.setFont(font);
            p.drawText(QRect(0, 0, kSide, kSide), Qt::AlignCenter, letters.value(key, key.left(1)));
        }
    }
    return pixmap;
}

} // namespace

QIcon illustratorIcon(const QString &key)
{
    return QIcon(draw(key));
}

} // namespace tovradocs::Internal
