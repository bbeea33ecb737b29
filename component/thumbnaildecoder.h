#pragma once

#include "component/imageloader.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace tovradocs::Internal {

// Even reduced, a claimed size beyond this is not a photograph: refused
// before anything of that size is allocated.
constexpr qint64 MaxReducedPixels = 64 * 1024 * 1024;
// A JPEG whose header claims more pixels than the image loader opens is
// refused from the header alone: reduction would bound the picture kept, not
// the work of decoding it.
constexpr qint64 MaxClaimedPixels = ImageLoadOptions().maxPixels;

// A picture read at the smallest size its format can give that still covers
// a thumbnail: JPEG through the DCT's scaling, WebP through libwebp's scaler,
// TIFF through a box reduction of each strip as it is read (and JPEG strips
// through the DCT's scaling). The picture is as stored: its orientation is
// for the caller to apply once it has scaled it down to the thumbnail.
struct ReducedPicture
{
    QImage image; // RGB32, ARGB32 or Grayscale8
    QSize original; // as stored, before orientation
    QSize decoded; // what came out of the decoder, before orientation
    int orientation = 1; // EXIF / TIFF orientation, 1 to 8
    QString error;
    bool tooLarge = false; // refused for its claimed size: no other reader should try it
};

// nullopt when the file is none of these formats, or a variant they do not
// cover here (the caller then uses the general readers).
std::optional<ReducedPicture> decodeReduced(const QString &path, int edge);

// size fitted into edge x edge keeping its proportions, the short side
// rounded to the nearest pixel.
QSize fitSize(QSize size, int edge);

// A grey picture (8 or 16 bits) with each factor x factor block averaged
// into one 8-bit pixel; other formats come back as they are.
QImage greyBoxReduced(const QImage &image, int factor);

// Orientation 1-8 as EXIF and TIFF number it.
QImage oriented(const QImage &image, int orientation);

// The orientation an EXIF block names (starting at its "II*\0" or "MM\0*"
// header), 1 when it names none.
int exifOrientation(const uchar *data, qsizetype size);

} // namespace tovradocs::Internal
