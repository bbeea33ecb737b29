// Arbitrary bytes as a picture file, read the way the component reads every
// picture: size from the header, a full load under a small pixel limit and a
// load scaled into a box. Nothing may crash or leak, a failure always says
// why, and a picture that loads respects the limit and the box.

#include "component/imageloader.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The component's logging category lives in the host link, which the loader
// needs for nothing else.
Q_LOGGING_CATEGORY(lcComponent, "tovradocs.component")

using namespace tovradocs::Internal;

namespace {

constexpr qint64 kMaxPixels = 1'000'000;

QTemporaryDir *workDir = nullptr;

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "%s %s\n", what, qUtf8Printable(detail));
    std::abort();
}

bool paintableFormat(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32
        || f == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    workDir = new QTemporaryDir;
    if (!workDir->isValid())
        fail("no temporary folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 256 * 1024)
        return 0;
    // The first byte picks the file name's suffix: the loader trusts suffixes
    // for DICOM, PICT and TGA and reads everything else by content.
    static const char *const suffixes[]
        = {".img", ".dcm", ".tga", ".pct", ".jpg", ".png", ".bmp", ".gif"};
    const QString path = workDir->filePath(
        QStringLiteral("input") + QLatin1String(suffixes[data[0] % std::size(suffixes)]));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail("cannot write", path);
        file.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    }

    const Result<QSize> size0 = imageSize(path);
    if (!size0 && size0.error().isEmpty())
        fail("imageSize failed without a message");

    ImageLoadOptions full;
    full.maxPixels = kMaxPixels;
    const Result<QImage> image = loadImage(path, full);
    if (!image) {
        if (image.error().isEmpty())
            fail("loadImage failed without a message");
    } else {
        if (image->isNull())
            fail("loadImage succeeded with no picture");
        if (qint64(image->width()) * image->height() > kMaxPixels)
            fail("loadImage went past the pixel limit");
        if (!paintableFormat(image->format()))
            fail("loadImage returned a format QPainter does not paint on directly");
    }

    ImageLoadOptions boxed;
    boxed.maxPixels = kMaxPixels;
    boxed.scaledTo = QSize(64, 48);
    boxed.keepAspect = true;
    const Result<QImage> thumb = loadImage(path, boxed);
    if (!thumb) {
        if (thumb.error().isEmpty())
            fail("scaled loadImage failed without a message");
    } else if (thumb->width() > 64 || thumb->height() > 48 || thumb->isNull()) {
        fail("scaled loadImage came out larger than its box",
             QStringLiteral("%1x%2").arg(thumb->width()).arg(thumb->height()));
    }

    QFile::remove(path);
    return 0;
}
