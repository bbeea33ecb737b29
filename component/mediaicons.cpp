#include "component/mediaicons.h"

#include <QPainter>
#include <QPainterPath>

namespace tovradocs::Internal {

namespace {

// A framed landscape: the picture windows' icon.
void drawPictureIcon(QPainter &p)
{
    p.setPen(QPen(QColor(0x3a, 0x4a, 0x5a), 1.5));
    p.setBrush(QColor(0xf4, 0xf1, 0xe8));
    p.drawRoundedRect(QRectF(2.5, 5.5, 27, 21), 2, 2);
    const QRectF sky(5, 8, 22, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x8e, 0xc8, 0xf0));
    p.drawRect(sky);
    p.setBrush(QColor(0xf6, 0xc3, 0x3c));
    p.drawEllipse(QPointF(21.5, 12.5), 2.6, 2.6);
    QPainterPath hills;
    hills.moveTo(5, 24);
    hills.lineTo(11.5, 14.5);
    hills.lineTo(16, 20);
    hills.lineTo(19, 17);
    hills.lineTo(27, 24);
    hills.closeSubpath();
    p.setBrush(QColor(0x3f, 0x8f, 0x4e));
    p.drawPath(hills);
}

void drawNumberTile(QPainter &p, int id, const QRect &area)
{
    p.setBrush(QColor(0x2e, 0x7d, 0x9a));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.drawText(area, Qt::AlignCenter, QString::number(id));
}

} // namespace

QImage mediaIcon(int id)
{
    QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    switch (id) {
    case ImageViewerIcon:
        drawPictureIcon(p);
        break;
    default:
        drawNumberTile(p, id, icon.rect());
        break;
    }
    return icon;
}

} // namespace tovradocs::Internal
