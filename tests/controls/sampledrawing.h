#pragma once

#include "controls/drawing.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

// A drawing that holds every kind of object with unusual values, shared by the
// drawing tests and the fuzz seeds.
namespace tovradocs::Testing {

inline QImage samplePicture(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(QRect(QPoint(0, 0), size / 2), colour);
    p.fillRect(QRect(QPoint(size.width() / 2, size.height() / 2), size / 2), QColor(10, 200, 30));
    p.end();
    image.setPixel(0, size.height() - 1, qRgba(255, 255, 255, 255));
    return image;
}

inline Internal::DrawObject sampleObject(Internal::ShapeKind kind, int n)
{
    using namespace Internal;
    DrawObject o;
    o.kind = kind;
    o.rect = QRectF(10 + n * 37.5, 20 + n * 11, 80 + n, 50 + n * 2);
    o.rotation = n * 17.25 - 40;
    o.border = QColor(n * 20, 255 - n * 20, 128, 255 - n);
    o.fill = QColor(200, n * 20, 10 * n, 128);
    o.borderWidth = n % 6;
    o.fillStyle = FillStyle(n % (kLastFillStyle + 1));
    o.points = 3 + n;
    o.roundSize = 5 * n;
    o.arcStart = -30 + n;
    o.arcSpan = 200 - n;
    return o;
}

inline Internal::Drawing everyKindDrawing()
{
    using namespace Internal;
    Drawing d;
    d.canvas = QSize(800, 600);
    d.background = QColor(250, 245, 230);
    int n = 0;
    for (ShapeKind kind : {ShapeKind::Line, ShapeKind::Arc, ShapeKind::Rectangle, ShapeKind::RoundRectangle,
                           ShapeKind::Ellipse, ShapeKind::Polygon, ShapeKind::Star})
        d.objects << sampleObject(kind, ++n);
    d.objects.first().rect = QRectF(300, 200, -120.5, -60); // a line drawn up and to the left

    DrawObject text = sampleObject(ShapeKind::Text, ++n);
    text.text = QStringLiteral("Tooth 36 — crown\nsecond line ✓");
    text.fontFamily = QStringLiteral("Liberation Serif");
    text.fontSize = 21.5;
    text.bold = text.underline = true;
    text.align = TextAlign::Center;
    d.objects << text;

    DrawObject picture = sampleObject(ShapeKind::Picture, ++n);
    picture.picture = samplePicture(QSize(33, 21), QColor(0, 0, 255, 128));
    d.objects << picture;

    DrawObject inner = sampleObject(ShapeKind::Group, ++n);
    inner.rect = QRectF(5, 5, 60, 40);
    inner.children = {sampleObject(ShapeKind::Ellipse, 1), sampleObject(ShapeKind::Line, 2)};
    DrawObject group = sampleObject(ShapeKind::Group, ++n);
    group.children = {sampleObject(ShapeKind::Rectangle, 3), inner};
    d.objects << group;
    return d;
}

// count pictures of side x side one-bit pixels: a few kB of PNG each, four
// bytes a pixel once read. Fifteen of 8000 pixels once took 3.9 GB to open.
inline Internal::Drawing bigPicturesDrawing(int count, int side)
{
    QImage bits(side, side, QImage::Format_Mono);
    bits.fill(0);
    for (int i = 0; i < side; i += 50)
        bits.setPixel(i, i, 1);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(bits);
    Internal::Drawing d;
    for (int i = 0; i < count; ++i) {
        Internal::DrawObject o;
        o.kind = Internal::ShapeKind::Picture;
        o.rect = QRectF(10 * i, 10 * i, 320, 240);
        o.pictureData = png; // written as it is; the picture itself is never held
        d.objects << o;
    }
    return d;
}

} // namespace tovradocs::Testing
