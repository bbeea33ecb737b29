#pragma once

#include "component/result.h"

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

namespace tovradocs::Internal {

constexpr QRgb OpaqueWhite = 0xffffffff;
constexpr QRgb OpaqueBlack = 0xff000000;

// An icon as the icon tools exchange it: the colour (XOR) image and the AND
// mask. A set mask bit (white) over a black colour pixel lets the screen show
// through; over a white one it inverts the screen. Icons that carry their own
// alpha channel (32-bit, PNG) use alpha instead and have no inverse pixels.
struct IconImage
{
    QImage colour; // Format_ARGB32; alpha is 255 everywhere unless hasAlpha
    QImage mask;   // Format_RGB32, white where the AND bit is set
    bool hasAlpha = false;

    bool isNull() const { return colour.isNull(); }
    QSize size() const { return colour.size(); }

    // How the icon looks drawn over a plain screen colour.
    QImage composite(QRgb screen) const;
    // A picture for hosts: masked pixels transparent, inverse pixels black.
    QImage toImage() const;
    // The same icon at 32 x 32 (nearest pixel, so masks stay exact).
    IconImage scaled32() const;

    static IconImage blank(int width = 32, int height = 32);
};

namespace Ico {

// Largest picture inside an icon we decode; PNG icons declaring more are refused
// before any pixel is allocated.
constexpr int MaxSide = 256;

// One icon image as stored in an .ico file or an RT_ICON resource: a DIB with
// its height doubled for the AND mask, or a PNG.
Result<IconImage> decodeImage(QByteArrayView data);
// The file's image closest to 32 x 32 (the deepest of equal sizes).
Result<IconImage> read(QByteArrayView file);
Result<IconImage> readFile(const QString &path);
// Number of images in an icon file's directory; 0 when it is not one.
int imageCount(QByteArrayView file);

// A single-image icon file: 32-bit colour with alpha plus the AND mask.
QByteArray write(const IconImage &icon);
Outcome writeFile(const QString &path, const IconImage &icon);

} // namespace Ico

} // namespace tovradocs::Internal
