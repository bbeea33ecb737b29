#include "library/toolbaricons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tovradocs::Internal {

namespace toolbaricons {

const QColor kInk(45, 55, 72);
const QColor kPaper(250, 250, 246);
const QColor kSky(120, 170, 225);
const QColor kGrass(96, 160, 88);
const QColor kAccent(214, 120, 40);
const QColor kGood(52, 140, 72);
const QColor kBad(196, 52, 48);

QPen ink(qreal width = 1.6) { return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// A small landscape: the sign for "picture" on several buttons.
void picture(QPainter &p, const QRectF &r)
{
    p.setPen(ink());
    p.setBrush(kSky);
    p.drawRect(r);
    QPainterPath hill;
    hill.moveTo(r.left(), r.bottom());
    hill.lineTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.45);
    hill.lineTo(r.left() + r.width() * 0.6, r.top() + r.height() * 0.75);
    hill.lineTo(r.left() + r.width() * 0.78, r.top() + r.height() * 0.55);
    hill.lineTo(r.right(), r.bottom());
    hill.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kGrass);
    p.drawPath(hill);
    p.setBrush(QColor(250, 215, 70));
    p.drawEllipse(QPointF(r.left() + r.width() * 0.75, r.top() + r.height() * 0.28),
                  r.width() * 0.1, r.width() * 0.1);
    p.setPen(ink());
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

void page(QPainter &p, const QRectF &r)
{
    QPainterPath path;
    const qreal fold = r.width() * 0.3;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
    p.setPen(QPen(kInk.lighter(160), 1.2));
    for (qreal y = r.top() + fold + 3; y < r.bottom() - 2; y += 3.5)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void film(QPainter &p, const QRectF &r)
{
    p.setPen(ink());
    p.setBrush(QColor(70, 70, 80));
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    for (qreal x = r.left() + 2; x < r.right() - 2; x += 4.5) {
        p.drawRect(QRectF(x, r.top() + 1.5, 2.5, 2.5));
        p.drawRect(QRectF(x, r.bottom() - 4, 2.5, 2.5));
    }
    p.setBrush(kSky);
    p.drawRect(QRectF(r.left() + 2, r.top() + 5.5, r.width() - 4, r.height() - 11));
}

void plusBadge(QPainter &p)
{
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(kGood);
    p.drawEllipse(QPointF(24.5, 24.5), 6.5, 6.5);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24.5, 21), QPointF(24.5, 28));
    p.drawLine(QPointF(21, 24.5), QPointF(28, 24.5));
}

void clipboard(QPainter &p)
{
    p.setPen(ink());
    p.setBrush(QColor(190, 140, 90));
    p.drawRoundedRect(QRectF(4, 5, 20, 24), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(7, 9, 14, 17));
    p.setBrush(QColor(160, 160, 170));
    p.drawRoundedRect(QRectF(10, 3, 8, 5), 1.5, 1.5);
}

void folder(QPainter &p, const QRectF &r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 3);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + 3);
    path.lineTo(r.left() + r.width() * 0.5, r.top());
    path.lineTo(r.right(), r.top());
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(ink());
    p.setBrush(QColor(238, 196, 90));
    p.drawPath(path);
    p.drawLine(QPointF(r.left(), r.top() + 6), QPointF(r.right(), r.top() + 6));
}

void arrow(QPainter &p, QPointF from, QPointF to, const QColor &color)
{
    p.setPen(QPen(color, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF head1 = line;
    head1.setLength(5.5);
    head1.setAngle(line.angle() + 35);
    QLineF head2 = line;
    head2.setLength(5.5);
    head2.setAngle(line.angle() - 35);
    p.drawLine(head1);
    p.drawLine(head2);
}

void checkBox(QPainter &p, const QRectF &r, bool checked)
{
    p.setPen(ink(1.4));
    p.setBrush(Qt::white);
    p.drawRect(r);
    if (!checked)
        return;
    p.setPen(QPen(kGood, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(r.left() + 2, r.center().y());
    tick.lineTo(r.left() + r.width() * 0.42, r.bottom() - 2);
    tick.lineTo(r.right() - 1.5, r.top() + 1.5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

void draw(QPainter &p, const QString &key)
{
    if (key == QLatin1String("Capture")) {
        // A video camera.
        p.setPen(ink());
        p.setBrush(QColor(90, 100, 120));
        p.drawRoundedRect(QRectF(3, 10, 19, 14), 2, 2);
        QPolygonF lens({QPointF(22, 14), QPointF(29, 10), QPointF(29, 24), QPointF(22, 20)});
        p.drawPolygon(lens);
        p.setBrush(kBad);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(7.5, 14), 2, 2);
    } else if (key == QLatin1String("Scan")) {
        p.setPen(ink());
        p.setBrush(QColor(200, 205, 215));
        p.drawRoundedRect(QRectF(3, 15, 26, 11), 2, 2);
        p.setBrush(QColor(90, 100, 120));
        p.drawRect(QRectF(3, 12, 26, 4));
        page(p, QRectF(9, 3, 14, 10));
        p.setPen(QPen(QColor(60, 200, 90), 2));
        p.drawLine(QPointF(6, 21), QPointF(26, 21));
    } else if (key == QLatin1String("Paste Image")) {
        clipboard(p);
        picture(p, QRectF(13, 15, 16, 13));
    } else if (key == QLatin1String("PasteExplorer")) {
        clipboard(p);
        folder(p, QRectF(13, 16, 17, 12));
    } else if (key == QLatin1String("SerialGrab")) {
        picture(p, QRectF(3, 3, 16, 12));
        picture(p, QRectF(7, 8, 16, 12));
        picture(p, QRectF(11, 13, 16, 12));
        arrow(p, QPointF(28, 4), QPointF(28, 12), kAccent);
    } else if (key == QLatin1String("Load Image")) {
        picture(p, QRectF(2, 4, 24, 19));
        plusBadge(p);
    } else if (key == QLatin1String("Load Video")) {
        film(p, QRectF(2, 4, 24, 19));
        plusBadge(p);
    } else if (key == QLatin1String("Add Document")) {
        page(p, QRectF(5, 2, 18, 24));
        plusBadge(p);
    } else if (key == QLatin1String("Select All")) {
        checkBox(p, QRectF(3, 3, 11, 11), true);
        checkBox(p, QRectF(18, 3, 11, 11), true);
        checkBox(p, QRectF(3, 18, 11, 11), true);
        checkBox(p, QRectF(18, 18, 11, 11), true);
    } else if (key == QLatin1String("DeSelect All")) {
        checkBox(p, QRectF(3, 3, 11, 11), false);
        checkBox(p, QRectF(18, 3, 11, 11), false);
        checkBox(p, QRectF(3, 18, 11, 11), false);
        checkBox(p, QRectF(18, 18, 11, 11), false);
    } else if (key == QLatin1String("Close")) {
        p.setPen(QPen(kBad.darker(130), 1.5));
        p.setBrush(kBad);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
    } else if (key == QLatin1String("CopyToExplorer")) {
        page(p, QRectF(2, 2, 13, 16));
        folder(p, QRectF(12, 15, 18, 14));
        arrow(p, QPointF(15, 10), QPointF(24, 10), kAccent);
        p.drawLine(QPointF(24, 10), QPointF(24, 13));
    } else if (key == QLatin1String("SelViewWindow")) {
        p.setPen(ink());
        p.setBrush(QColor(220, 225, 235));
        p.drawRect(QRectF(2, 4, 28, 24));
        picture(p, QRectF(4, 9, 11, 16));
        picture(p, QRectF(17, 9, 11, 16));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 90, 160));
        p.drawRect(QRectF(2.8, 4.8, 26.4, 3));
    } else if (key == QLatin1String("View Selected Entry")) {
        picture(p, QRectF(2, 3, 20, 16));
        p.setPen(QPen(kInk, 2.5));
        p.setBrush(QColor(255, 255, 255, 150));
        p.drawEllipse(QPointF(19, 19), 6.5, 6.5);
        p.setPen(QPen(kInk, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(24, 24), QPointF(29, 29));
    } else if (key == QLatin1String("SelEmail")) {
        p.setPen(ink());
        p.setBrush(kPaper);
        p.drawRect(QRectF(3, 8, 26, 18));
        p.drawLine(QPointF(3, 8), QPointF(16, 18));
        p.drawLine(QPointF(29, 8), QPointF(16, 18));
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(26, 8), 3.5, 3.5);
    } else if (key == QLatin1String("SelPrint")) {
        p.setPen(ink());
        page(p, QRectF(9, 2, 14, 12));
        p.setPen(ink());
        p.setBrush(QColor(170, 175, 190));
        p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 20, 14, 9));
        p.setPen(Qt::NoPen);
        p.setBrush(kGood);
        p.drawEllipse(QPointF(25.5, 15.5), 1.5, 1.5);
    } else if (key == QLatin1String("SelViewShow")) {
        // A screen on a stand with a play sign.
        p.setPen(ink());
        p.setBrush(QColor(235, 235, 240));
        p.drawRect(QRectF(3, 3, 26, 18));
        p.drawLine(QPointF(16, 21), QPointF(16, 27));
        p.drawLine(QPointF(10, 29), QPointF(16, 25));
        p.drawLine(QPointF(22, 29), QPointF(16, 25));
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawPolygon(QPolygonF({QPointF(13, 7), QPointF(21, 12), QPointF(13, 17)}));
    } else {
        page(p, QRectF(6, 3, 20, 26));
    }
}

} // namespace toolbaricons

QIcon libraryToolbarIcon(const QString &key)
{
    QIcon icon;
    for (const int size : {32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        toolbaricons::draw(p, key);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tovradocs::Internal
