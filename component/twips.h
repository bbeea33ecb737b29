#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace tovradocs::Internal {

// Window and picture geometry is kept in twips (1/1440 inch); on our 96 dpi
// logical screen one pixel is 15 twips.
constexpr int kTwipsPerPixel = 15;

// Rounds half away from zero, so -7 twips stays 0 pixels and 8 twips is 1 pixel.
constexpr int twipsToPixels(qint32 twips)
{
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr qint32 pixelsToTwips(int pixels) { return qint32(pixels) * kTwipsPerPixel; }

inline QSize twipsToPixels(const QSize &twips)
{
    return {twipsToPixels(twips.width()), twipsToPixels(twips.height())};
}

inline QPoint twipsToPixels(const QPoint &twips)
{
    return {twipsToPixels(twips.x()), twipsToPixels(twips.y())};
}

inline QRect twipsToPixels(const QRect &twips)
{
    return {twipsToPixels(twips.topLeft()), twipsToPixels(twips.size())};
}

inline QSize pixelsToTwips(const QSize &pixels)
{
    return {pixelsToTwips(pixels.width()), pixelsToTwips(pixels.height())};
}

inline QPoint pixelsToTwips(const QPoint &pixels)
{
    return {pixelsToTwips(pixels.x()), pixelsToTwips(pixels.y())};
}

inline QRect pixelsToTwips(const QRect &pixels)
{
    return {pixelsToTwips(pixels.topLeft()), pixelsToTwips(pixels.size())};
}

} // namespace tovradocs::Internal
