#include "component/dicomimage.h"

#include <QFile>
#include <QFileInfo>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmimage/diregist.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#include <dcmtk/dcmimgle/dipixel.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace tovradocs::Internal::Dicom {

namespace {

// Elements longer than this stay on disk while the header is read.
constexpr Uint32 kHeaderReadLength = 4096;

void registerCodecs()
{
    static std::once_flag once;
    std::call_once(once, [] {
        DJDecoderRegistration::registerCodecs();
        DJLSDecoderRegistration::registerCodecs();
        DcmRLEDecoderRegistration::registerCodecs();
        OFLog::configure(OFLogger::ERROR_LOG_LEVEL);
    });
}

struct Header
{
    std::unique_ptr<DcmFileFormat> file;
    QSize size;
};

// Bytes the first frame of uncompressed pixel data needs; 0 when unknown.
quint64 expectedPixelBytes(DcmDataset *data, QSize size)
{
    Uint16 samples = 1, allocated = 0;
    data->findAndGetUint16(DCM_SamplesPerPixel, samples);
    if (data->findAndGetUint16(DCM_BitsAllocated, allocated).bad() || allocated == 0)
        return 0;
    const quint64 bits = quint64(size.width()) * quint64(size.height()) * samples * allocated;
    return (bits + 7) / 8;
}

Result<Header> readHeader(const QString &path)
{
    registerCodecs();
    Header header;
    header.file = std::make_unique<DcmFileFormat>();
    const OFCondition status = header.file->loadFile(
        OFFilename(QFile::encodeName(path).constData()), EXS_Unknown, EGL_noChange, kHeaderReadLength);
    // The stream ran dry before an element the header announced was complete.
    if (status == EC_StreamNotifyClient)
        return Result<Header>::failure(QStringLiteral("it is cut short"));
    if (status.bad())
        return Result<Header>::failure(QString::fromLatin1(status.text()));
    DcmDataset *data = header.file->getDataset();
    Uint16 rows = 0;
    Uint16 columns = 0;
    if (data->findAndGetUint16(DCM_Rows, rows).bad()
        || data->findAndGetUint16(DCM_Columns, columns).bad() || rows == 0 || columns == 0)
        return Result<Header>::failure(QStringLiteral("it holds no picture (no rows and columns)"));
    header.size = QSize(columns, rows);

    DcmElement *pixels = nullptr;
    if (data->findAndGetElement(DCM_PixelData, pixels).bad() || !pixels)
        return Result<Header>::failure(QStringLiteral("it holds no picture (no pixel data)"));
    const Uint32 length = pixels->getLength();
    const bool encapsulated = DcmXfer(data->getOriginalXfer()).isEncapsulated();
    if (!encapsulated && length != DCM_UndefinedLength) {
        // A value left on disk is read later from where the header said it
        // lies; a file cut short has less than the header promised.
        const qint64 fileSize = QFileInfo(path).size();
        const quint64 needed = expectedPixelBytes(data, header.size);
        if (length == 0)
            return Result<Header>::failure(QStringLiteral("its pixel data are empty"));
        if (quint64(length) > quint64(fileSize) || (needed > 0 && length < needed))
            return Result<Header>::failure(
                QStringLiteral("its pixel data are cut short (%1 of %2 bytes)")
                    .arg(std::min<qint64>(length, fileSize))
                    .arg(needed > 0 ? needed : quint64(length)));
    }
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

// The window a reader of the radiograph expects: the file's first window,
// else its first VOI LUT, else the range of the pixels themselves.
void applyStoredWindow(DicomImage &image)
{
    if (image.getWindowCount() > 0 && image.setWindow(0))
        return;
    if (image.getVoiLutCount() > 0 && image.setVoiLut(0))
        return;
    image.setMinMaxWindow(0);
}

} // namespace

bool looksLikeDicom(const QString &path, const QByteArray &head)
{
    return path.endsWith(QLatin1String(".dcm"), Qt::CaseInsensitive)
           || path.endsWith(QLatin1String(".dicom"), Qt::CaseInsensitive)
           || (head.size() >= 132 && head.mid(128, 4) == "DICM");
}

Result<QSize> pictureSize(const QString &path)
{
    try {
        auto header = readHeader(path);
        if (!header)
            return Result<QSize>::failure(header.error());
        return header->size;
    } catch (const std::exception &e) {
        return Result<QSize>::failure(QString::fromLocal8Bit(e.what()));
    }
}

namespace {

struct FirstFrame
{
    Header header; // owns the file the image reads from
    std::unique_ptr<DicomImage> image;
};

// The first frame, opened for decoding; the file object stays ours.
Result<FirstFrame> openFirstFrame(const QString &path)
{
    auto header = readHeader(path);
    if (!header)
        return Result<FirstFrame>::failure(header.error());
    DcmFileFormat *file = header.value().file.get();
    if (firstJpegFrameStalls(file->getDataset()))
        return Result<FirstFrame>::failure(QStringLiteral("the compressed picture data are damaged"));
    FirstFrame frame{std::move(header.value()), nullptr};
    frame.image = std::make_unique<DicomImage>(file, file->getDataset()->getOriginalXfer(),
                                               CIF_UsePartialAccessToPixelData, 0, 1);
    if (frame.image->getStatus() != EIS_Normal)
        return Result<FirstFrame>::failure(QString::fromLatin1(DicomImage::getString(frame.image->getStatus())));
    return frame;
}

// A copy that fits box, averaged over the stored values (interpolation 1)
// before any window is applied, which travels with the copy; none when the
// frame fits already or the copy fails.
std::unique_ptr<DicomImage> reducedToFit(DicomImage &dicom, QSize box)
{
    const QSize size(int(dicom.getWidth()), int(dicom.getHeight()));
    if (!box.isValid() || box.isEmpty() || (size.width() <= box.width() && size.height() <= box.height()))
        return nullptr;
    const QSize fit = size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    std::unique_ptr<DicomImage> reduced(dicom.createScaledImage(ulong(fit.width()), ulong(fit.height()), 1, 0));
    if (!reduced || reduced->getStatus() != EIS_Normal)
        return nullptr;
    return reduced;
}

} // namespace

Result<QImage> decode(const QString &path, QSize box)
{
    try {
        auto opened = openFirstFrame(path);
        if (!opened)
            return Result<QImage>::failure(opened.error());
        DicomImage &dicom = *opened.value().image;

        const bool mono = dicom.isMonochrome();
        if (mono)
            applyStoredWindow(dicom);
        const std::unique_ptr<DicomImage> reduced = reducedToFit(dicom, box);
        DicomImage *shown = reduced ? reduced.get() : &dicom;
        const int width = int(shown->getWidth());
        const int height = int(shown->getHeight());
        const void *pixels = shown->getOutputData(8, 0, 0);
        if (!pixels)
            return Result<QImage>::failure(QStringLiteral("the pixel data cannot be decoded"));

        QImage image(width, height, mono ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        if (image.isNull())
            return Result<QImage>::failure(QStringLiteral("not enough memory"));
        const int rowBytes = mono ? width : width * 3;
        const auto *source = static_cast<const uchar *>(pixels);
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), source + qsizetype(y) * rowBytes, size_t(rowBytes));
        return image;
    } catch (const std::exception &e) {
        return Result<QImage>::failure(QString::fromLocal8Bit(e.what()));
    }
}

namespace {

template<typename T>
void copyGrey(const void *data, GreyPixels &out, double low)
{
    const auto *in = static_cast<const T *>(data);
    for (size_t i = 0; i < out.values.size(); ++i)
        out.values[i] = quint16(std::clamp<double>(double(in[i]) - low, 0, 65535));
}

} // namespace

Result<GreyPixels> decodeGrey(const QString &path, QSize box)
{
    try {
        auto opened = openFirstFrame(path);
        if (!opened)
            return Result<GreyPixels>::failure(opened.error());
        DicomImage &dicom = *opened.value().image;
        if (!dicom.isMonochrome())
            return Result<GreyPixels>::failure(QStringLiteral("it is not a grey picture"));

        GreyPixels grey;
        grey.monochrome1 = dicom.getPhotometricInterpretation() == EPI_Monochrome1;
        double low = 0, high = 0;
        dicom.getMinMaxValues(low, high);
        applyStoredWindow(dicom);
        double center = 0, width = 0;
        if (!dicom.getWindow(center, width) || width <= 0) {
            center = (low + high) / 2;
            width = std::max(1.0, high - low);
        }
        grey.windowCenter = center;
        grey.windowWidth = width;
        grey.minimum = low;
        grey.maximum = high;

        const std::unique_ptr<DicomImage> reduced = reducedToFit(dicom, box);
        DicomImage *shown = reduced ? reduced.get() : &dicom;
        const DiPixel *inter = shown->getInterData();
        if (!inter || !inter->getData())
            return Result<GreyPixels>::failure(QStringLiteral("the pixel data cannot be decoded"));
        grey.size = QSize(int(shown->getWidth()), int(shown->getHeight()));
        const size_t count = size_t(grey.size.width()) * size_t(grey.size.height());
        if (inter->getCount() < count)
            return Result<GreyPixels>::failure(QStringLiteral("the pixel data are cut short"));
        // Values are kept from the lowest present up, so signed and rescaled
        // pictures fit 16 bits whenever their range does.
        const double base = low >= 0 && high <= 65535 ? 0 : std::floor(low);
        grey.offset = base;
        grey.values.resize(count);
        switch (inter->getRepresentation()) {
        case EPR_Uint8: copyGrey<Uint8>(inter->getData(), grey, base); break;
        case EPR_Sint8: copyGrey<Sint8>(inter->getData(), grey, base); break;
        case EPR_Uint16: copyGrey<Uint16>(inter->getData(), grey, base); break;
        case EPR_Sint16: copyGrey<Sint16>(inter->getData(), grey, base); break;
        case EPR_Uint32: copyGrey<Uint32>(inter->getData(), grey, base); break;
        case EPR_Sint32: copyGrey<Sint32>(inter->getData(), grey, base); break;
        }
        return grey;
    } catch (const std::bad_alloc &) {
        return Result<GreyPixels>::failure(QStringLiteral("not enough memory"));
    } catch (const std::exception &e) {
        return Result<GreyPixels>::failure(QString::fromLocal8Bit(e.what()));
    }
}

PixelSpacing pixelSpacing(const QString &path)
{
    try {
        auto header = readHeader(path);
        if (!header)
            return {};
        DcmDataset *data = header->file->getDataset();
        for (const auto &[tag, source] : {std::pair{DCM_PixelSpacing, PixelSpacing::Patient},
                                          std::pair{DCM_ImagerPixelSpacing, PixelSpacing::Imager}}) {
            Float64 rows = 0, columns = 0;
            if (data->findAndGetFloat64(tag, rows, 0).good() && data->findAndGetFloat64(tag, columns, 1).good()
                && rows > 0 && columns > 0 && std::isfinite(rows) && std::isfinite(columns))
                return {source, double(columns), double(rows)};
        }
    } catch (const std::exception &) {
    }
    return {};
}

} // namespace tovradocs::Internal::Dicom
