#include "drawing.h"

#include <QPolygonF>

#include <cmath>
#include <numbers>

namespace tovradocs::Internal {

bool DrawObject::operator==(const DrawObject &o) const
{
    return kind == o.kind && rect == o.rect && rotation == o.rotation && border == o.border
        && fill == o.fill && borderWidth == o.borderWidth && fillStyle == o.fillStyle
        && points == o.points && roundSize == o.roundSize && arcStart == o.arcStart
        && arcSpan == o.arcSpan && text == o.text && fontFamily == o.fontFamily
        && fontSize == o.fontSize && bold == o.bold && italic == o.italic
        && underline == o.underline && strikeOut == o.strikeOut && align == o.align
        && picture == o.picture && children == o.children;
}

qint64 picturePixels(const QList<DrawObject> &objects)
{
    qint64 pixels = 0;
    for (const DrawObject &o : objects)
        pixels += qint64(o.picture.width()) * o.picture.height() + picturePixels(o.children);
    return pixels;
}

QPolygonF shapeOutline(ShapeKind kind, int points, const QRectF &box)
{
    const bool star = kind == ShapeKind::Star;
    const int corners = qMax(3, points);
    const int vertices = star ? corners * 2 : corners;
    const QPointF c = box.center();
    const qreal rx = box.width() / 2;
    const qreal ry = box.height() / 2;
    QPolygonF outline;
    outline.reserve(vertices);
    for (int i = 0; i < vertices; ++i) {
        // First corner points up, like a drawn star.
        const qreal angle = -std::numbers::pi / 2 + 2 * std::numbers::pi * i / vertices;
        const qreal scale = star && (i % 2) ? 0.45 : 1.0;
        outline << QPointF(c.x() + rx * scale * std::cos(angle), c.y() + ry * scale * std::sin(angle));
    }
    return outline;
}

} // namespace tovradocs::Internal
