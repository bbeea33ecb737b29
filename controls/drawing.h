#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>

namespace tovradocs::Internal {

// The kinds of object a drawing holds; the numbers are stored in files.
enum class ShapeKind : quint8 {
    Line = 1,
    Arc,
    Rectangle,
    RoundRectangle,
    Ellipse,
    Polygon,
    Star,
    Text,
    Picture,
    Group,
};
constexpr quint8 kLastShapeKind = quint8(ShapeKind::Group);

// Fill styles in the order the fill-style box lists them.
enum class FillStyle : quint8 {
    Solid,
    Transparent,
    HorLine,
    VertLine,
    UpwardDiag,
    DownwardDiag,
    Cross,
    DiagCross,
};
constexpr quint8 kLastFillStyle = quint8(FillStyle::DiagCross);

enum class TextAlign : quint8 { Left, Center, Right };

// One object of a drawing, independent of how it is shown. rect is in canvas
// pixels before rotation; a line runs from rect's top-left to its bottom-right,
// so its width and height may be negative. Rotation turns about rect's centre.
// Children of a group have rects relative to the group's top-left.
struct DrawObject
{
    ShapeKind kind = ShapeKind::Rectangle;
    QRectF rect;
    qreal rotation = 0;
    QColor border = Qt::black;
    QColor fill = Qt::white;
    int borderWidth = 1;
    FillStyle fillStyle = FillStyle::Solid;
    int points = 5;
    int roundSize = 20;
    qreal arcStart = 0;
    qreal arcSpan = 90;
    QString text;
    QString fontFamily = QStringLiteral("Arial");
    qreal fontSize = 15;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    TextAlign align = TextAlign::Left;
    QImage picture; // ARGB32 premultiplied
    QByteArray pictureData; // the picture as PNG, kept so saving does not encode again
    QList<DrawObject> children;

    // Compares everything a user can see; pictureData is only a cache.
    bool operator==(const DrawObject &other) const;
};

struct Drawing
{
    QSize canvas {640, 480};
    QColor background = Qt::white;
    QList<DrawObject> objects; // bottom to top

    bool operator==(const Drawing &other) const = default;
};

// Pixels of every picture in objects, those inside groups included.
qint64 picturePixels(const QList<DrawObject> &objects);

// The polygon a polygon or star of this many corners has inside box.
QPolygonF shapeOutline(ShapeKind kind, int points, const QRectF &box);

} // namespace tovradocs::Internal
