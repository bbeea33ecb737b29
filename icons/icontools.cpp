#include "icons/icontools.h"

#include <QPainter>

namespace tovradocs::Internal::IconTools {

namespace {

void drawOn(QImage &plane, QRgb colour, int tool, QPoint a, QPoint b, int brush)
{
    QPainter p(&plane);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen{QColor::fromRgb(colour)};
    pen.setWidth(brush);
    pen.setCapStyle(brush == 1 ? Qt::SquareCap : Qt::RoundCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    const bool filled = tool == FilledSquare || tool == FilledCircle;
    p.setBrush(filled ? QBrush(QColor::fromRgb(colour)) : Qt::NoBrush);
    switch (tool) {
    case Line:
        p.drawLine(a, b);
        if (brush == 1)
            p.drawPoint(b); // the end pixel belongs to the line
        break;
    case Square:
    case FilledSquare:
        p.drawRect(spanning(a, b).adjusted(0, 0, -1, -1)); // Qt's outline runs one past the size
        break;
    case Circle:
    case FilledCircle: {
        const double dx = b.x() - a.x();
        const double dy = b.y() - a.y();
        const QPointF centre(a.x() + dx / 2, a.y() + dy / 2);
        p.drawEllipse(centre, qAbs(dx) / 2, qAbs(dy) / 2);
        break;
    }
    default:
        break;
    }
}

} // namespace

QRect spanning(QPoint a, QPoint b)
{
    return QRect(QPoint(qMin(a.x(), b.x()), qMin(a.y(), b.y())), QPoint(qMax(a.x(), b.x()), qMax(a.y(), b.y())));
}

Pens pensFor(const IconKit &kit, bool screenMode, bool rightButton)
{
    Pens pens;
    if (!screenMode) {
        const QRgb c = toRgb(kit.mouse[rightButton ? IconKit::RightColour : IconKit::LeftColour]);
        pens = {c, OpaqueBlack, c};
    } else if (!rightButton) {
        pens = {OpaqueBlack, OpaqueWhite, toRgb(kit.mouse[IconKit::ScreenColour])};
    } else {
        pens = {OpaqueWhite, OpaqueWhite, toRgb(kit.mouse[IconKit::InverseColour])};
    }
    return pens;
}

void paint(Planes &planes, QPoint p, int brush, const Pens &pens)
{
    const int h = brush / 2;
    const QRect r = QRect(p.x() - h, p.y() - h, 2 * h + 1, 2 * h + 1) & planes.image.rect();
    if (r.isEmpty())
        return;
    QPainter(&planes.image).fillRect(r, QColor::fromRgb(pens.image));
    QPainter(&planes.mask).fillRect(r, QColor::fromRgb(pens.mask));
}

void drawShape(Planes &planes, int tool, QPoint a, QPoint b, int brush, const Pens &pens)
{
    if ((tool == Circle || tool == FilledCircle) && a.x() == b.x())
        return;
    drawOn(planes.image, pens.image, tool, a, b, brush);
    drawOn(planes.mask, pens.mask, tool, a, b, brush);
}

bool fill(Planes &planes, QPoint p, QRgb screen, const Pens &pens)
{
    if (!planes.image.rect().contains(p))
        return false;
    const QImage look = planes.toIcon().composite(screen);
    const QRgb target = look.pixel(p);
    if ((target & 0xffffff) == (pens.display & 0xffffff))
        return false; // the area already has the fill colour
    // Four-connected, as the surface flood fill spreads.
    QList<QPoint> stack{p};
    std::vector<bool> done(size_t(look.width() * look.height()), false);
    while (!stack.isEmpty()) {
        const QPoint q = stack.takeLast();
        if (!look.rect().contains(q) || done[size_t(q.y() * look.width() + q.x())] || look.pixel(q) != target)
            continue;
        done[size_t(q.y() * look.width() + q.x())] = true;
        planes.image.setPixel(q, pens.image);
        planes.mask.setPixel(q, pens.mask);
        stack << q + QPoint(1, 0) << q - QPoint(1, 0) << q + QPoint(0, 1) << q - QPoint(0, 1);
    }
    return true;
}

void clear(Planes &planes, const QRect &r)
{
    const QRect c = r & planes.image.rect();
    QPainter(&planes.image).fillRect(c, Qt::black);
    QPainter(&planes.mask).fillRect(c, Qt::white);
}

void flipHorizontal(Planes &planes, const QRect &r)
{
    const QRect c = r & planes.image.rect();
    planes.paste({planes.image.copy(c).mirrored(true, false), planes.mask.copy(c).mirrored(true, false)},
                 c.topLeft());
}

void flipVertical(Planes &planes, const QRect &r)
{
    const QRect c = r & planes.image.rect();
    planes.paste({planes.image.copy(c).mirrored(false, true), planes.mask.copy(c).mirrored(false, true)},
                 c.topLeft());
}

void rotate(Planes &planes, const QRect &r, bool right)
{
    const int w = r.width();
    if (w != r.height())
        return;
    const Planes lifted = planes.copy(r);
    for (int j = 0; j < w; ++j)
        for (int i = 0; i < w; ++i) {
            const QPoint to = right ? QPoint(r.left() + w - 1 - j, r.top() + i)
                                    : QPoint(r.left() + j, r.top() + w - 1 - i);
            if (!planes.image.rect().contains(to))
                continue;
            planes.image.setPixel(to, lifted.image.pixel(i, j));
            planes.mask.setPixel(to, lifted.mask.pixel(i, j));
        }
}

void invert(Planes &planes, const QRect &r)
{
    const QRect c = r & planes.image.rect();
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x)
            planes.image.setPixel(x, y, planes.image.pixel(x, y) ^ 0xffffff);
}

Planes fromPicture(const QImage &picture, bool transparent, QRgb screen)
{
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    Planes piece{source.copy(), QImage(source.size(), QImage::Format_RGB32)};
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const bool clear = transparent && (source.pixel(x, y) & 0xffffff) == (screen & 0xffffff);
            piece.mask.setPixel(x, y, clear ? OpaqueWhite : OpaqueBlack);
            if (clear)
                piece.image.setPixel(x, y, OpaqueBlack);
        }
    return piece;
}

} // namespace tovradocs::Internal::IconTools
