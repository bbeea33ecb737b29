#pragma once

#include "component/result.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Internal {

struct ImageLoadOptions
{
    // Decode straight to this size (JPEG decodes scaled in the codec). Invalid: full size.
    QSize scaledTo;
    // With keepAspect, scaledTo is a box the picture is fitted into.
    bool keepAspect = false;
    // Pictures declaring more pixels than this are refused before anything is allocated.
    qint64 maxPixels = 120'000'000;
};

// The one way the component reads a picture file. The decoder the extension
// names is tried first, then the one the content names (a .jpg holding a PNG
// opens): Qt's readers (EXIF orientation applied), libheif for HEIC, HEIF and
// AVIF, DCMTK for DICOM (with the file's window), GraphicsMagick for JPEG XL
// and the older formats (PCX, DCX, WPG, WMF, Utah RLE, PICT, TGA without
// footer). A picture refused for its size is not handed to another decoder.
// Safe to call from any thread; the result is in a format QPainter draws on.
Result<QImage> loadImage(const QString &path, const ImageLoadOptions &options = {});

// The same, in the format its decoder gives (Grayscale8 for a grey
// radiograph), for callers that reduce it further before drawing.
Result<QImage> loadImageAsDecoded(const QString &path, const ImageLoadOptions &options = {});

// The pixel size from the file's header, without decoding the pixels.
Result<QSize> imageSize(const QString &path);

// What keeps a picture file from being shown, in a few words for a tile
// ("File missing", "Empty file", "Cannot read picture"); empty when its
// header reads. Reads the header only.
QString pictureProblem(const QString &path);

} // namespace tovradocs::Internal
