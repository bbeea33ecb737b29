#include "component/imageloader.h"

#include "component/dicomimage.h"
#include "component/heifimage.h"
#include "component/hostlink.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <Magick++.h>

#include <memory>
#include <mutex>
#include <vector>

namespace tovradocs::Internal {

namespace {

// Larger than any radiograph or scan we expect; per-call limits below it are
// checked against the declared size before decoding.
constexpr qint64 kGlobalPixelLimit = 120'000'000;
constexpr int kQtAllocationLimitMb = 1024;

QString fileLabel(const QString &path) { return QFileInfo(path).fileName(); }

Result<QImage> loadFailure(const QString &path, const QString &reason)
{
    return Result<QImage>::failure(QStringLiteral("The picture \"%1\" could not be read: %2")
                                       .arg(fileLabel(path), reason));
}

template<typename T>
Result<T> tooLarge(const QString &path, qint64 width, qint64 height, qint64 maxPixels)
{
    return Result<T>::failure(
        QStringLiteral("The picture \"%1\" is too large to open (%2 x %3 pixels; the limit is %4 megapixels).")
            .arg(fileLabel(path))
            .arg(width)
            .arg(height)
            .arg(double(maxPixels) / 1e6, 0, 'f', 1));
}

bool exceedsLimit(qint64 width, qint64 height, qint64 maxPixels)
{
    return width <= 0 || height <= 0 || width * height > maxPixels;
}

void initialiseDecoders()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kGlobalPixelLimit);
        MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, 1'000'000);
        MagickLib::SetMagickResourceLimit(MagickLib::HeightResource, 1'000'000);
        QImageReader::setAllocationLimit(kQtAllocationLimitMb);
    });
}

// Formats that QPainter paints on directly; everything else is converted once here.
QImage paintable(QImage image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32);
    }
}

QSize targetSize(const QSize &source, const ImageLoadOptions &options)
{
    if (!options.scaledTo.isValid() || options.scaledTo.isEmpty())
        return QSize();
    if (!options.keepAspect || !source.isValid())
        return options.scaledTo;
    return source.scaled(options.scaledTo, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// For decoders that cannot scale while decoding.
QImage scaledAfterDecode(const QImage &image, const ImageLoadOptions &options)
{
    const QSize target = targetSize(image.size(), options);
    if (!target.isValid() || target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// GraphicsMagick is only handed formats we name explicitly, never left to
// guess: its guessing reaches coders that run external programs or read other files.
QString magickCoderByContent(const QByteArray &head)
{
    const auto byte = [&](int i) { return i < head.size() ? quint8(head.at(i)) : 0; };
    if (head.startsWith("\xB1\x68\xDE\x3A"))
        return QStringLiteral("DCX");
    if (head.startsWith("\xFF" "WPC"))
        return QStringLiteral("WPG");
    if (head.startsWith("\xD7\xCD\xC6\x9A")
        || ((byte(0) == 1 || byte(0) == 2) && byte(1) == 0 && byte(2) == 9 && byte(3) == 0))
        return QStringLiteral("WMF");
    if (byte(0) == 0x52 && byte(1) == 0xCC)
        return QStringLiteral("RLE");
    if (byte(0) == 0x0A && byte(1) <= 5 && byte(2) == 1)
        return QStringLiteral("PCX");
    if (head.startsWith("\xFF\x0A") || head.startsWith(QByteArray("\0\0\0\x0CJXL \r\n\x87\n", 12)))
        return QStringLiteral("JXL");
    return QString();
}

QString magickCoderBySuffix(const QString &suffix)
{
    if (suffix == QLatin1String("pic") || suffix == QLatin1String("pict")
        || suffix == QLatin1String("pct"))
        return QStringLiteral("PICT");
    if (suffix == QLatin1String("tga") || suffix == QLatin1String("vda")
        || suffix == QLatin1String("icb") || suffix == QLatin1String("vst"))
        return QStringLiteral("TGA");
    if (suffix == QLatin1String("pcx") || suffix == QLatin1String("dcx")
        || suffix == QLatin1String("wpg") || suffix == QLatin1String("wmf")
        || suffix == QLatin1String("jxl"))
        return suffix.toUpper();
    return QString();
}

std::string magickSpec(const QString &coder, const QString &path)
{
    const QString magickName = coder + QLatin1Char(':') + path;
    return QFile::encodeName(magickName).toStdString();
}

Result<QSize> magickSize(const QString &coder, const QString &path)
{
    try {
        Magick::Image image;
        image.subRange(1);
        try {
            image.ping(magickSpec(coder, path));
        } catch (const Magick::Warning &) {
            // Warnings still leave a usable header.
        }
        if (image.columns() == 0 || image.rows() == 0)
            return Result<QSize>::failure(QStringLiteral("no picture found"));
        return QSize(int(image.columns()), int(image.rows()));
    } catch (const std::exception &e) {
        return Result<QSize>::failure(QString::fromLocal8Bit(e.what()));
    }
}

Result<QImage> loadWithMagick(const QString &coder, const QString &path,
                              const ImageLoadOptions &options)
{
    const auto size = magickSize(coder, path);
    if (!size)
        return loadFailure(path, size.error());
    if (exceedsLimit(size->width(), size->height(), options.maxPixels))
        return tooLarge<QImage>(path, size->width(), size->height(), options.maxPixels);

    try {
        Magick::Image image;
        image.subRange(1); // first page of a DCX
        try {
            image.read(magickSpec(coder, path));
        } catch (const Magick::Warning &e) {
            qCDebug(lcComponent) << "GraphicsMagick warning:" << e.what();
        }
        const unsigned width = image.columns();
        const unsigned height = image.rows();
        if (width == 0 || height == 0)
            return loadFailure(path, QStringLiteral("no picture found"));
        if (exceedsLimit(width, height, options.maxPixels))
            return tooLarge<QImage>(path, width, height, options.maxPixels);

        QImage out(int(width), int(height), QImage::Format_RGBA8888);
        if (out.isNull())
            return loadFailure(path, QStringLiteral("not enough memory"));
        if (out.bytesPerLine() == qsizetype(width) * 4) {
            image.write(0, 0, width, height, "RGBA", Magick::CharPixel, out.bits());
        } else {
            for (unsigned y = 0; y < height; ++y)
                image.write(0, int(y), width, 1, "RGBA", Magick::CharPixel, out.scanLine(int(y)));
        }
        if (!image.matte())
            out = out.convertToFormat(QImage::Format_RGB32);
        return scaledAfterDecode(out, options);
    } catch (const std::exception &e) {
        return loadFailure(path, QString::fromLocal8Bit(e.what()));
    }
}

// The canvas a GIF decoder needs: the logical screen grown to hold every
// frame. Read from the block structure without decoding; a damaged or cut
// file gives what was read so far, and an empty screen with no frame gives
// an empty size, which the caller refuses.
QSize gifCanvasSize(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    const uchar *data = file.map(0, size);
    if (!data || size < 13)
        return {};
    auto word = [data](qint64 at) { return qint64(data[at]) | qint64(data[at + 1]) << 8; };
    qint64 width = word(6);
    qint64 height = word(8);
    qint64 at = 13;
    if (data[10] & 0x80)
        at += 3LL << ((data[10] & 7) + 1);
    // Skips a chain of data sub-blocks; false when the file ends inside it.
    auto skipSubBlocks = [&]() {
        while (at < size) {
            const int length = data[at++];
            if (length == 0)
                return true;
            at += length;
        }
        return false;
    };
    while (at < size) {
        const uchar block = data[at++];
        if (block == 0x3B)
            break;
        if (block == 0x21) {
            ++at; // label
            if (!skipSubBlocks())
                break;
        } else if (block == 0x2C) {
            if (at + 9 > size)
                break;
            width = std::max(width, word(at) + word(at + 4));
            height = std::max(height, word(at + 2) + word(at + 6));
            const uchar packed = data[at + 8];
            at += 9;
            if (packed & 0x80)
                at += 3LL << ((packed & 7) + 1);
            ++at; // LZW code size
            if (!skipSubBlocks())
                break;
        } else {
            break;
        }
    }
    return QSize(int(width), int(height));
}

QByteArray readHead(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(132);
}

QString readableCheck(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return QStringLiteral("The picture \"%1\" does not exist.").arg(path);
    if (info.isDir())
        return QStringLiteral("\"%1\" is a folder, not a picture.").arg(path);
    // Opening a pipe or a device would block or never end.
    if (!info.isFile())
        return QStringLiteral("\"%1\" is not an ordinary file (a device, pipe or socket), so it "
                              "cannot be shown as a picture.").arg(path);
    if (!info.isReadable())
        return QStringLiteral("The picture \"%1\" cannot be opened for reading.").arg(path);
    return QString();
}

QString normalisedPath(const QString &path)
{
    QString p = path.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

// One decoder for a file. A file is tried with the decoder its extension
// names, then with the one its content names.
struct Route
{
    enum Codec { Qt, Heif, Dicom, Magick };
    Codec codec = Qt;
    QByteArray qtFormat; // Qt: the reader to use; empty lets Qt choose by content
    QString coder; // Magick

    bool operator==(const Route &) const = default;
};

bool qtReads(const QByteArray &format)
{
    static const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    return formats.contains(format);
}

std::vector<Route> routesFor(const QString &path, const QByteArray &head)
{
    std::vector<Route> routes;
    const auto add = [&](Route route) {
        if (std::find(routes.begin(), routes.end(), route) == routes.end())
            routes.push_back(std::move(route));
    };
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("heic") || suffix == QLatin1String("heif")
        || suffix == QLatin1String("hif") || suffix == QLatin1String("avif")) {
        add({Route::Heif, {}, {}});
    } else if (suffix == QLatin1String("dcm") || suffix == QLatin1String("dicom")) {
        add({Route::Dicom, {}, {}});
    } else if (!suffix.isEmpty()) {
        if (qtReads(suffix.toLatin1()))
            add({Route::Qt, suffix.toLatin1(), {}});
        if (const QString coder = magickCoderBySuffix(suffix); !coder.isEmpty())
            add({Route::Magick, {}, coder});
    }
    if (head.size() >= 132 && head.mid(128, 4) == "DICM")
        add({Route::Dicom, {}, {}});
    if (Heif::looksLikeHeif(head))
        add({Route::Heif, {}, {}});
    if (const QString coder = magickCoderByContent(head); !coder.isEmpty())
        add({Route::Magick, {}, coder});
    add({Route::Qt, {}, {}});
    return routes;
}

// What one decoder made of a file.
struct Attempt
{
    QImage image;
    QString error; // a whole sentence
    bool recognised = true; // false: the decoder did not know the content
    bool final = false; // refused for its size: no other decoder may try it

    static Attempt failed(const QString &sentence, bool recognised = true)
    {
        Attempt a;
        a.error = sentence;
        a.recognised = recognised;
        return a;
    }
    static Attempt refused(const QString &sentence)
    {
        Attempt a = failed(sentence);
        a.final = true;
        return a;
    }
};

Attempt fromResult(const Result<QImage> &result)
{
    if (result) {
        Attempt a;
        a.image = *result;
        return a;
    }
    return Attempt::failed(result.error());
}

Attempt withQt(const QString &path, const QByteArray &format, const QByteArray &head,
               const ImageLoadOptions &options)
{
    // Qt paints a GIF onto a canvas as large as its logical screen and every
    // frame together; a few bytes can ask for gigabytes.
    if (head.startsWith("GIF8")) {
        const QSize canvas = gifCanvasSize(path);
        if (exceedsLimit(canvas.width(), canvas.height(), options.maxPixels))
            return Attempt::refused(
                tooLarge<QImage>(path, canvas.width(), canvas.height(), options.maxPixels).error());
    }
    QImageReader reader(path, format);
    if (format.isEmpty())
        reader.setDecideFormatFromContent(true);
    else
        reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return Attempt::failed(loadFailure(path, QStringLiteral("the format is not supported")).error(),
                               false);
    const QSize declared = reader.size();
    if (declared.isValid() && exceedsLimit(declared.width(), declared.height(), options.maxPixels))
        return Attempt::refused(
            tooLarge<QImage>(path, declared.width(), declared.height(), options.maxPixels).error());

    // The scaled size applies before the EXIF rotation.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize upright = turned ? declared.transposed() : declared;
    const QSize target = targetSize(upright, options);
    if (target.isValid() && declared.isValid())
        reader.setScaledSize(turned ? target.transposed() : target);

    QImage image = reader.read();
    if (image.isNull())
        return Attempt::failed(loadFailure(path, reader.errorString()).error());
    // Some readers only learn the size while decoding, and a header may
    // declare less than the decoder then produces (a GIF's first frame
    // against its screen size).
    if (exceedsLimit(image.width(), image.height(), options.maxPixels))
        return Attempt::refused(
            tooLarge<QImage>(path, image.width(), image.height(), options.maxPixels).error());
    if (!declared.isValid())
        image = scaledAfterDecode(image, options);
    Attempt a;
    a.image = image;
    return a;
}

// The box a decoder that keeps proportions fits the picture into; the exact
// size, when proportions need not be kept, is reached afterwards.
QSize boxOf(const ImageLoadOptions &options)
{
    return options.scaledTo.isValid() && !options.scaledTo.isEmpty() ? options.scaledTo : QSize();
}

Attempt withHeif(const QString &path, const ImageLoadOptions &options)
{
    const Result<Heif::Decoded> decoded = Heif::decode(path, boxOf(options), options.maxPixels);
    if (!decoded) {
        Attempt a = Attempt::failed(loadFailure(path, decoded.error()).error());
        a.final = decoded.error().contains(QLatin1String("too large"));
        return a;
    }
    Attempt a;
    a.image = options.keepAspect ? decoded->image : scaledAfterDecode(decoded->image, options);
    return a;
}

Attempt withDicom(const QString &path, const ImageLoadOptions &options)
{
    const Result<QSize> size = Dicom::pictureSize(path);
    if (!size)
        return Attempt::failed(loadFailure(path, size.error()).error());
    if (exceedsLimit(size->width(), size->height(), options.maxPixels))
        return Attempt::refused(
            tooLarge<QImage>(path, size->width(), size->height(), options.maxPixels).error());
    const Result<QImage> image = Dicom::decode(path, boxOf(options));
    if (!image)
        return Attempt::failed(loadFailure(path, image.error()).error());
    Attempt a;
    a.image = options.keepAspect ? *image : scaledAfterDecode(*image, options);
    return a;
}

Attempt attempt(const Route &route, const QString &path, const QByteArray &head,
                const ImageLoadOptions &options)
{
    switch (route.codec) {
    case Route::Qt: return withQt(path, route.qtFormat, head, options);
    case Route::Heif: return withHeif(path, options);
    case Route::Dicom: return withDicom(path, options);
    case Route::Magick: {
        const Result<QImage> image = loadWithMagick(route.coder, path, options);
        Attempt a = fromResult(image);
        a.final = !image && image.error().contains(QLatin1String("too large"));
        return a;
    }
    }
    return Attempt::failed(loadFailure(path, QStringLiteral("the format is not supported")).error(), false);
}

} // namespace


Result<QImage> loadImageAsDecoded(const QString &fileName, const ImageLoadOptions &options)
{
    initialiseDecoders();
    const QString path = normalisedPath(fileName);
    if (const QString problem = readableCheck(path); !problem.isEmpty())
        return Result<QImage>::failure(problem);

    const QByteArray head = readHead(path);
    if (head.isEmpty())
        return loadFailure(path, QStringLiteral("the file is empty"));

    // The first decoder that knew the file says why it failed; "not
    // supported" only when none did.
    QString reason;
    bool recognised = false;
    for (const Route &route : routesFor(path, head)) {
        const Attempt a = attempt(route, path, head, options);
        if (!a.image.isNull())
            return a.image;
        if (a.final)
            return Result<QImage>::failure(a.error);
        if (reason.isEmpty() || (a.recognised && !recognised)) {
            reason = a.error;
            recognised = a.recognised;
        }
    }
    return Result<QImage>::failure(reason);
}

Result<QImage> loadImage(const QString &fileName, const ImageLoadOptions &options)
{
    const Result<QImage> image = loadImageAsDecoded(fileName, options);
    if (!image)
        return image;
    return paintable(*image);
}

QString pictureProblem(const QString &fileName)
{
    const QFileInfo info(normalisedPath(fileName));
    if (fileName.trimmed().isEmpty() || !info.exists())
        return QStringLiteral("File missing");
    if (!info.isFile())
        return QStringLiteral("Not a file");
    if (info.size() == 0)
        return QStringLiteral("Empty file");
    if (!imageSize(fileName))
        return QStringLiteral("Cannot read picture");
    return QString();
}

Result<QSize> imageSize(const QString &fileName)
{
    initialiseDecoders();
    const QString path = normalisedPath(fileName);
    if (const QString problem = readableCheck(path); !problem.isEmpty())
        return Result<QSize>::failure(problem);
    const QByteArray head = readHead(path);
    if (head.isEmpty())
        return Result<QSize>::failure(QStringLiteral("The file \"%1\" is empty.").arg(fileLabel(path)));

    QString reason;
    for (const Route &route : routesFor(path, head)) {
        Result<QSize> size = Result<QSize>::failure(QString());
        switch (route.codec) {
        case Route::Qt: {
            QImageReader reader(path, route.qtFormat);
            if (route.qtFormat.isEmpty())
                reader.setDecideFormatFromContent(true);
            else
                reader.setAutoDetectImageFormat(false);
            reader.setAutoTransform(true);
            const QSize declared = reader.canRead() ? reader.size() : QSize();
            if (declared.isValid())
                size = reader.transformation() & QImageIOHandler::TransformationRotate90
                           ? declared.transposed()
                           : declared;
            break;
        }
        case Route::Heif: size = Heif::pictureSize(path); break;
        case Route::Dicom: size = Dicom::pictureSize(path); break;
        case Route::Magick: size = magickSize(route.coder, path); break;
        }
        if (size)
            return size;
        if (reason.isEmpty() && !size.error().isEmpty())
            reason = QStringLiteral("The size of \"%1\" cannot be read: %2").arg(fileLabel(path), size.error());
    }
    return Result<QSize>::failure(
        reason.isEmpty() ? QStringLiteral("The size of \"%1\" cannot be read.").arg(fileLabel(path)) : reason);
}

} // namespace tovradocs::Internal
