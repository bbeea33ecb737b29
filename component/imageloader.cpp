#include "component/imageloader.h"

#include "component/hostlink.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <Magick++.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmimage/diregist.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include <memory>
#include <mutex>

namespace tovradocs::Internal {

namespace {

// Larger than any radiograph or scan we expect; per-call limits below it are
// checked against the declared size before decoding.
constexpr qint64 kGlobalPixelLimit = 120'000'000;
constexpr int kQtAllocationLimitMb = 1024;

// DICOM elements longer than this stay on disk while the header is inspected.
constexpr Uint32 kDicomHeaderReadLength = 4096;

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
        DJDecoderRegistration::registerCodecs();
        DJLSDecoderRegistration::registerCodecs();
        DcmRLEDecoderRegistration::registerCodecs();
        OFLog::configure(OFLogger::ERROR_LOG_LEVEL);
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

bool looksLikeDicom(const QString &path, const QByteArray &head)
{
    return path.endsWith(QLatin1String(".dcm"), Qt::CaseInsensitive)
           || (head.size() >= 132 && head.mid(128, 4) == "DICM");
}

// GraphicsMagick is only handed formats we name explicitly, never left to
// guess: its guessing reaches coders that run external programs or read other files.
QString magickCoder(const QString &path, const QByteArray &head)
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

    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pic") || suffix == QLatin1String("pict")
        || suffix == QLatin1String("pct"))
        return QStringLiteral("PICT");
    if (suffix == QLatin1String("tga") || suffix == QLatin1String("vda")
        || suffix == QLatin1String("icb") || suffix == QLatin1String("vst"))
        return QStringLiteral("TGA");
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
        return paintable(scaledAfterDecode(out, options));
    } catch (const std::exception &e) {
        return loadFailure(path, QString::fromLocal8Bit(e.what()));
    }
}

struct DicomHeader
{
    std::unique_ptr<DcmFileFormat> file;
    long width = 0;
    long height = 0;
};

Result<DicomHeader> readDicomHeader(const QString &path)
{
    DicomHeader header;
    header.file = std::make_unique<DcmFileFormat>();
    const OFCondition status = header.file->loadFile(OFFilename(QFile::encodeName(path).constData()),
                                                     EXS_Unknown, EGL_noChange,
                                                     kDicomHeaderReadLength);
    if (status.bad())
        return Result<DicomHeader>::failure(QString::fromLatin1(status.text()));
    DcmDataset *data = header.file->getDataset();
    Uint16 rows = 0;
    Uint16 columns = 0;
    if (data->findAndGetUint16(DCM_Rows, rows).bad()
        || data->findAndGetUint16(DCM_Columns, columns).bad())
        return Result<DicomHeader>::failure(QStringLiteral("the file holds no picture"));
    header.width = columns;
    header.height = rows;
    return header;
}

// Walks a JPEG fragment's markers the way DCMTK 3.6.7 does when it looks for
// the bit depth, and tells whether that walk would reach a TEM marker
// (FF01), on which it loops for ever.
bool jpegScanStalls(const Uint8 *data, Uint32 length)
{
    const auto word = [data](Uint32 at) { return Uint16(data[at] << 8 | data[at + 1]); };
    Uint32 offset = 0;
    while (offset + 4 < length) {
        const Uint16 marker = word(offset);
        const Uint8 low = marker & 0xff;
        if ((marker >> 8) != 0xff)
            return false; // the walk stops at anything but a marker
        if (low == 0x01)
            return true;
        if ((low >= 0xc0 && low <= 0xcf && low != 0xc4 && low != 0xc8 && low != 0xcc))
            return false; // a frame header: the walk ends here
        if (low == 0xff)
            offset += 1;
        else if ((low >= 0xd0 && low <= 0xd9) || (low > 0x02 && low <= 0xbf))
            offset += 2;
        else if (low >= 0xc4)
            offset += Uint32(word(offset + 2)) + 2;
        else
            return false;
    }
    return false;
}

// The first frame's data, as the JPEG decoder will scan it.
bool firstJpegFrameStalls(DcmDataset *data)
{
    const DcmXfer xfer(data->getOriginalXfer());
    if (!xfer.isEncapsulated())
        return false;
    DcmElement *element = nullptr;
    if (data->findAndGetElement(DCM_PixelData, element).bad() || !element)
        return false;
    DcmPixelSequence *sequence = nullptr;
    if (static_cast<DcmPixelData *>(element)
            ->getEncapsulatedRepresentation(xfer.getXfer(), nullptr, sequence)
            .bad()
        || !sequence)
        return false;
    DcmPixelItem *item = nullptr;
    Uint8 *bytes = nullptr;
    if (sequence->getItem(item, 1).bad() || !item || item->getUint8Array(bytes).bad() || !bytes)
        return false;
    return jpegScanStalls(bytes, item->getLength());
}

Result<QImage> loadDicom(const QString &path, const ImageLoadOptions &options)
{
    try {
        auto header = readDicomHeader(path);
        if (!header)
            return loadFailure(path, header.error());
        if (exceedsLimit(header->width, header->height, options.maxPixels))
            return tooLarge<QImage>(path, header->width, header->height, options.maxPixels);

        DcmFileFormat *file = header->file.get();
        if (firstJpegFrameStalls(file->getDataset()))
            return loadFailure(path, QStringLiteral("the compressed picture data are damaged"));
        const E_TransferSyntax syntax = file->getDataset()->getOriginalXfer();
        // Only the first frame; the file object stays ours.
        DicomImage dicom(file, syntax, CIF_UsePartialAccessToPixelData, 0, 1);
        if (dicom.getStatus() != EIS_Normal)
            return loadFailure(path, QString::fromLatin1(DicomImage::getString(dicom.getStatus())));

        const int width = int(dicom.getWidth());
        const int height = int(dicom.getHeight());
        const bool mono = dicom.isMonochrome();
        if (mono) {
            // The file's own window when it has one, else the full range of the pixels.
            if (dicom.getWindowCount() > 0)
                dicom.setWindow(0);
            else
                dicom.setMinMaxWindow();
        }
        const void *pixels = dicom.getOutputData(8, 0, 0);
        if (!pixels)
            return loadFailure(path, QStringLiteral("the pixel data cannot be decoded"));

        QImage image(width, height, mono ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        if (image.isNull())
            return loadFailure(path, QStringLiteral("not enough memory"));
        const int rowBytes = mono ? width : width * 3;
        const auto *source = static_cast<const uchar *>(pixels);
        for (int y = 0; y < height; ++y)
            memcpy(image.scanLine(y), source + qsizetype(y) * rowBytes, size_t(rowBytes));
        return paintable(scaledAfterDecode(image, options));
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

} // namespace

Result<QImage> loadImage(const QString &fileName, const ImageLoadOptions &options)
{
    initialiseDecoders();
    const QString path = normalisedPath(fileName);
    if (const QString problem = readableCheck(path); !problem.isEmpty())
        return Result<QImage>::failure(problem);

    const QByteArray head = readHead(path);
    if (head.isEmpty())
        return loadFailure(path, QStringLiteral("the file is empty"));
    if (looksLikeDicom(path, head))
        return loadDicom(path, options);

    // Qt paints a GIF onto a canvas as large as its logical screen and every
    // frame together; a few bytes can ask for gigabytes.
    if (head.startsWith("GIF8")) {
        const QSize canvas = gifCanvasSize(path);
        if (exceedsLimit(canvas.width(), canvas.height(), options.maxPixels))
            return tooLarge<QImage>(path, canvas.width(), canvas.height(), options.maxPixels);
    }

    QString qtError;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
        const QSize declared = reader.size();
        if (declared.isValid() && exceedsLimit(declared.width(), declared.height(), options.maxPixels))
            return tooLarge<QImage>(path, declared.width(), declared.height(), options.maxPixels);

        // The scaled size applies before the EXIF rotation.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize upright = turned ? declared.transposed() : declared;
        const QSize target = targetSize(upright, options);
        if (target.isValid() && declared.isValid())
            reader.setScaledSize(turned ? target.transposed() : target);

        QImage image = reader.read();
        if (!image.isNull()) {
            // Some readers only learn the size while decoding, and a header may
            // declare less than the decoder then produces (a GIF's first frame
            // against its screen size).
            if (exceedsLimit(image.width(), image.height(), options.maxPixels))
                return tooLarge<QImage>(path, image.width(), image.height(), options.maxPixels);
            if (!declared.isValid())
                image = scaledAfterDecode(image, options);
            return paintable(image);
        }
        qtError = reader.errorString();
    }

    const QString coder = magickCoder(path, head);
    if (!coder.isEmpty())
        return loadWithMagick(coder, path, options);
    return loadFailure(path, qtError.isEmpty() ? QStringLiteral("the format is not supported") : qtError);
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

    try {
        if (looksLikeDicom(path, head)) {
            auto header = readDicomHeader(path);
            if (!header)
                return Result<QSize>::failure(header.error());
            return QSize(int(header->width), int(header->height));
        }
    } catch (const std::exception &e) {
        return Result<QSize>::failure(QString::fromLocal8Bit(e.what()));
    }

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
        const QSize size = reader.size();
        if (size.isValid())
            return reader.transformation() & QImageIOHandler::TransformationRotate90 ? size.transposed()
                                                                                      : size;
    }
    const QString coder = magickCoder(path, head);
    if (!coder.isEmpty())
        return magickSize(coder, path);
    return Result<QSize>::failure(QStringLiteral("The size of \"%1\" cannot be read.").arg(fileLabel(path)));
}

} // namespace tovradocs::Internal
