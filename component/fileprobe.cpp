#include "component/fileprobe.h"

#include "component/dicomimage.h"
#include "component/filetypes.h"
#include "component/heifimage.h"
#include "component/imageloader.h"
#include "component/isomedia.h"
#include "component/thumbnaildecoder.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace tovradocs::Internal {

namespace {

quint32 be32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

quint32 le32(const uchar *p)
{
    return quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | quint32(p[0]);
}

// The outcome of one structural check: a problem and its clause, or a size.
struct Check
{
    FileProbe::Problem problem = FileProbe::None;
    QString clause; // "it is cut short (...)"
    QSize size;
};

Check problem(FileProbe::Problem p, const QString &clause)
{
    return Check{p, clause, {}};
}

Check sized(QSize size)
{
    return Check{FileProbe::None, {}, size};
}

// Marker segments up to the first scan, then the end-of-picture mark after
// it: entropy-coded data cannot hold FF D9, so its absence means the file
// was cut short.
Check checkJpeg(const uchar *data, qint64 size)
{
    qint64 at = 2;
    QSize frame;
    int orientation = 1;
    while (at + 4 <= size) {
        if (data[at] != 0xff)
            return problem(FileProbe::Damaged, QStringLiteral("its header is damaged"));
        const uchar marker = data[at + 1];
        if (marker == 0xff) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xd8 || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            at += 2;
            continue;
        }
        if (marker == 0xd9)
            return problem(FileProbe::NoPicture, QStringLiteral("it ends before its picture data"));
        const qint64 length = qint64(data[at + 2]) << 8 | data[at + 3];
        if (length < 2)
            return problem(FileProbe::Damaged, QStringLiteral("its header is damaged"));
        if (at + 2 + length > size)
            return problem(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
        const uchar *segment = data + at + 4;
        const qint64 body = length - 2;
        const bool sof = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8
                         && marker != 0xcc;
        if (sof && body >= 5)
            frame = QSize(int(segment[3]) << 8 | segment[4], int(segment[1]) << 8 | segment[2]);
        if (marker == 0xe1 && body > 6 && std::memcmp(segment, "Exif\0\0", 6) == 0 && orientation == 1)
            orientation = exifOrientation(segment + 6, qsizetype(body - 6));
        if (marker == 0xda) {
            if (frame.isEmpty())
                return problem(FileProbe::Damaged, QStringLiteral("it names no picture size"));
            const qint64 scan = at + 2 + length;
            static const uchar eoi[2] = {0xff, 0xd9};
            if (!memmem(data + scan, size_t(size - scan), eoi, 2))
                return problem(FileProbe::Truncated,
                               QStringLiteral("it is cut short (the picture data stop before "
                                              "their end mark)"));
            return sized(orientation >= 5 ? frame.transposed() : frame);
        }
        at += 2 + length;
    }
    return problem(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
}

// Chunk by chunk to IEND; each chunk's length must stay inside the file.
Check checkPng(const uchar *data, qint64 size)
{
    qint64 at = 8;
    QSize frame;
    bool first = true;
    while (at + 8 <= size) {
        const quint32 length = be32(data + at);
        const uchar *type = data + at + 4;
        if (length > 0x7fffffffu)
            return problem(FileProbe::Damaged, QStringLiteral("a chunk has an impossible length"));
        if (first) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length < 8 || at + 16 > size)
                return problem(FileProbe::Damaged, QStringLiteral("its header is missing"));
            frame = QSize(int(std::min<quint32>(be32(data + at + 8), 0x7fffffff)),
                          int(std::min<quint32>(be32(data + at + 12), 0x7fffffff)));
            first = false;
        }
        const qint64 end = at + 12 + qint64(length);
        if (end > size)
            return problem(FileProbe::Truncated,
                           QStringLiteral("it is cut short inside its '%1' chunk")
                               .arg(QString::fromLatin1(reinterpret_cast<const char *>(type), 4)));
        if (std::memcmp(type, "IEND", 4) == 0)
            return frame.isEmpty() ? problem(FileProbe::Damaged, QStringLiteral("its size is zero"))
                                   : sized(frame);
        at = end;
    }
    return problem(FileProbe::Truncated, QStringLiteral("it is cut short (its end mark is missing)"));
}

// A RIFF file (AVI, WebP) says how long it is; 0 is what a recorder that
// never finished leaves, and says nothing.
Check checkRiff(const uchar *data, qint64 size)
{
    const quint64 declared = quint64(le32(data + 4)) + 8;
    if (le32(data + 4) != 0 && declared > quint64(size))
        return problem(FileProbe::Truncated,
                       QStringLiteral("it is cut short (%1 of %2 bytes)").arg(size).arg(declared));
    return sized({});
}

// EBML variable-length integer at data[at]; false when it does not fit.
bool readVint(const uchar *data, qint64 size, qint64 &at, quint64 &value, bool keepMarker,
              bool *unknown = nullptr)
{
    if (at >= size || data[at] == 0)
        return false;
    int length = 1;
    while (!(data[at] & (0x80 >> (length - 1))))
        ++length;
    if (at + length > size)
        return false;
    value = keepMarker ? data[at] : data[at] & (0xff >> length);
    bool allOnes = (data[at] & (0xff >> length)) == (0xff >> length);
    for (int i = 1; i < length; ++i) {
        value = value << 8 | data[at + i];
        allOnes = allOnes && data[at + i] == 0xff;
    }
    if (unknown)
        *unknown = allOnes;
    at += length;
    return true;
}

// Matroska and WebM: the EBML header, then the segment, whose declared size
// must fit in the file.
Check checkMatroska(const uchar *data, qint64 size)
{
    qint64 at = 0;
    quint64 id = 0, length = 0;
    bool unknown = false;
    if (!readVint(data, size, at, id, true) || !readVint(data, size, at, length, false)
        || length > quint64(size - at))
        return problem(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
    at += qint64(length);
    if (!readVint(data, size, at, id, true) || !readVint(data, size, at, length, false, &unknown))
        return problem(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
    if (id != 0x18538067)
        return problem(FileProbe::Damaged, QStringLiteral("it holds no video segment"));
    if (!unknown && length > quint64(size - at))
        return problem(FileProbe::Truncated, QStringLiteral("it is cut short (%1 of %2 bytes)")
                                                 .arg(size)
                                                 .arg(quint64(at) + length));
    return sized({});
}

Check checkIsoVideo(const uchar *data, qint64 size)
{
    const IsoMedia media = readIsoMedia(data, size);
    if (media.damage == IsoMedia::Truncated)
        return problem(FileProbe::Truncated, QStringLiteral("it is cut short (%1)").arg(media.problem));
    if (media.damage == IsoMedia::Broken)
        return problem(FileProbe::Damaged, QStringLiteral("it is damaged (%1)").arg(media.problem));
    if (!media.hasMovie)
        return problem(FileProbe::Truncated,
                       QStringLiteral("its index is missing, as when a recording was cut off"));
    return sized(media.videoSize);
}

Check checkHeif(const QString &path, const uchar *data, qint64 size)
{
    const IsoMedia media = readIsoMedia(data, size);
    if (media.damage == IsoMedia::Truncated)
        return problem(FileProbe::Truncated, QStringLiteral("it is cut short (%1)").arg(media.problem));
    if (!media.hasMeta)
        return problem(FileProbe::NoPicture, QStringLiteral("it holds no picture"));
    const Result<QSize> picture = Heif::pictureSize(path);
    if (!picture)
        return problem(FileProbe::Damaged, picture.error());
    return sized(*picture);
}

Check checkPdf(const uchar *data, qint64 size)
{
    // The end mark lies within the last kilobyte; anything after it is padding.
    const qint64 tail = std::min<qint64>(size, 1024);
    if (!memmem(data + size - tail, size_t(tail), "%%EOF", 5))
        return problem(FileProbe::Truncated, QStringLiteral("it is cut short (its end mark is missing)"));
    return sized({});
}

Check checkDicom(const QString &path)
{
    const Result<QSize> size = Dicom::pictureSize(path);
    if (size)
        return sized(*size);
    const QString reason = size.error();
    if (reason.contains(QLatin1String("cut short")))
        return problem(FileProbe::Truncated, reason);
    if (reason.contains(QLatin1String("no picture")) || reason.contains(QLatin1String("empty")))
        return problem(FileProbe::NoPicture, reason);
    return problem(FileProbe::Damaged, QStringLiteral("it cannot be read (%1)").arg(reason));
}

bool starts(QByteArrayView head, qsizetype at, QByteArrayView magic)
{
    return head.size() >= at + magic.size() && head.sliced(at, magic.size()) == magic;
}

Check checkContent(const QString &path, qint32 kind, const uchar *data, qint64 size)
{
    const QByteArrayView head(reinterpret_cast<const char *>(data), std::min<qint64>(size, 4096));
    const QByteArray head132 = head.first(std::min<qsizetype>(head.size(), 132)).toByteArray();
    if (starts(head, 0, "\xFF\xD8\xFF"))
        return checkJpeg(data, size);
    if (starts(head, 0, "\x89PNG\r\n\x1A\n"))
        return checkPng(data, size);
    if (Dicom::looksLikeDicom(path, head132))
        return checkDicom(path);
    if (starts(head, 0, "RIFF") && size >= 12) {
        const Check riff = checkRiff(data, size);
        if (riff.problem != FileProbe::None || !starts(head, 8, "WEBP"))
            return riff;
    }
    if (starts(head, 4, "ftyp") && Heif::looksLikeHeif(head.first(std::min<qsizetype>(head.size(), 64)).toByteArray()))
        return checkHeif(path, data, size);
    if (starts(head, 4, "ftyp") || starts(head, 4, "moov") || starts(head, 4, "mdat")
        || starts(head, 4, "wide") || starts(head, 4, "free"))
        return checkIsoVideo(data, size);
    if (starts(head, 0, "\x1A\x45\xDF\xA3"))
        return checkMatroska(data, size);
    if (starts(head, 0, "%PDF-"))
        return checkPdf(data, size);
    if (kind != 1)
        return sized({}); // videos and documents without a check of their own
    const Result<QSize> picture = imageSize(path);
    if (!picture)
        return problem(FileProbe::Damaged, QStringLiteral("it cannot be read"));
    return sized(*picture);
}

QString normalised(const QString &path)
{
    QString p = path.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

} // namespace

FileProbe inspectFile(const QString &fileName)
{
    FileProbe probe;
    const QString path = normalised(fileName);
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    const auto fail = [&](FileProbe::Problem p, const QString &clause) {
        probe.problem = p;
        probe.reason = QStringLiteral("The file \"%1\" cannot be shown: %2.").arg(name, clause);
        return probe;
    };
    if (path.isEmpty() || !info.exists())
        return fail(FileProbe::Missing, QStringLiteral("it does not exist"));
    // Opening a pipe or a device could wait for ever.
    if (!info.isFile())
        return fail(FileProbe::Missing, QStringLiteral("it is not an ordinary file"));
    probe.kind = classifyFile(path);
    QFile file(path);
    if (!info.isReadable() || !file.open(QIODevice::ReadOnly))
        return fail(FileProbe::Unreadable, QStringLiteral("it cannot be opened for reading"));
    const qint64 size = file.size();
    if (size == 0)
        return fail(FileProbe::Empty, QStringLiteral("it is empty"));
    const uchar *data = file.map(0, size);
    if (!data)
        return fail(FileProbe::Unreadable, QStringLiteral("it cannot be read"));
    // A file with no extension is what its bytes say.
    if (probe.kind == 101) {
        char head[4096];
        std::memcpy(head, data, size_t(std::min<qint64>(size, sizeof head)));
        probe.kind = contentViewer(QByteArrayView(head, std::min<qint64>(size, sizeof head)));
    }
    const Check check = checkContent(path, probe.kind, data, size);
    file.unmap(const_cast<uchar *>(data));
    if (check.problem != FileProbe::None)
        return fail(check.problem, check.clause);
    probe.size = check.size;
    const qint64 limit = ImageLoadOptions().maxPixels;
    if (probe.kind == 1 && probe.size.isValid()
        && qint64(probe.size.width()) * probe.size.height() > limit)
        return fail(FileProbe::TooLarge,
                    QStringLiteral("it claims %1 x %2 pixels, more than the %3 megapixels a picture "
                                   "may have")
                        .arg(probe.size.width())
                        .arg(probe.size.height())
                        .arg(double(limit) / 1e6, 0, 'f', 0));
    return probe;
}

Result<QSize> probeFile(const QString &path)
{
    const FileProbe probe = inspectFile(path);
    if (!probe.ok())
        return Result<QSize>::failure(probe.reason);
    return probe.size;
}

QString problemLabel(FileProbe::Problem problem, qint32 kind)
{
    switch (problem) {
    case FileProbe::None: return {};
    case FileProbe::Missing: return QStringLiteral("File missing");
    case FileProbe::Empty: return QStringLiteral("Empty file");
    default: break;
    }
    if (kind == 2)
        return QStringLiteral("Cannot read video");
    if (kind == 1)
        return QStringLiteral("Cannot read picture");
    return QStringLiteral("Cannot read document");
}

QString unreadableLabel(const QString &fileName)
{
    const QString path = normalised(fileName);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return problemLabel(FileProbe::Missing, 101);
    if (info.size() == 0)
        return problemLabel(FileProbe::Empty, 101);
    return problemLabel(FileProbe::Damaged, classifyFile(path));
}

} // namespace tovradocs::Internal
