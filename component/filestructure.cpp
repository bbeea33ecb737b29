#include "component/filestructure.h"

#include "component/isomedia.h"
#include "component/thumbnaildecoder.h"

#include <QByteArrayView>

#include <cstring>

namespace tovradocs::Internal {

namespace {

quint32 bigEndian32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

quint32 littleEndian32(const uchar *p)
{
    return quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | quint32(p[0]);
}

FileStructure broken(FileProbe::Problem p, const QString &clause)
{
    FileStructure s;
    s.problem = p;
    s.clause = clause;
    return s;
}

FileStructure whole(QSize size)
{
    FileStructure s;
    s.size = size;
    return s;
}

// Marker segments up to the first scan, then the end-of-picture mark after
// it: entropy-coded data cannot hold FF D9, so its absence means the file
// was cut short.
FileStructure checkJpeg(const uchar *data, qint64 size)
{
    qint64 at = 2;
    QSize frame;
    int orientation = 1;
    while (at + 4 <= size) {
        if (data[at] != 0xff)
            return broken(FileProbe::Damaged, QStringLiteral("its header is damaged"));
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
            return broken(FileProbe::NoPicture, QStringLiteral("it ends before its picture data"));
        const qint64 length = qint64(data[at + 2]) << 8 | data[at + 3];
        if (length < 2)
            return broken(FileProbe::Damaged, QStringLiteral("its header is damaged"));
        if (at + 2 + length > size)
            return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
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
                return broken(FileProbe::Damaged, QStringLiteral("it names no picture size"));
            const qint64 scan = at + 2 + length;
            static const uchar eoi[2] = {0xff, 0xd9};
            if (!memmem(data + scan, size_t(size - scan), eoi, 2))
                return broken(FileProbe::Truncated,
                               QStringLiteral("it is cut short (the picture data stop before "
                                              "their end mark)"));
            return whole(orientation >= 5 ? frame.transposed() : frame);
        }
        at += 2 + length;
    }
    return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
}

// Chunk by chunk to IEND; each chunk's length must stay inside the file.
FileStructure checkPng(const uchar *data, qint64 size)
{
    qint64 at = 8;
    QSize frame;
    bool first = true;
    while (at + 8 <= size) {
        const quint32 length = bigEndian32(data + at);
        const uchar *type = data + at + 4;
        if (length > 0x7fffffffu)
            return broken(FileProbe::Damaged, QStringLiteral("a chunk has an impossible length"));
        if (first) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length < 8 || at + 16 > size)
                return broken(FileProbe::Damaged, QStringLiteral("its header is missing"));
            frame = QSize(int(std::min<quint32>(bigEndian32(data + at + 8), 0x7fffffff)),
                          int(std::min<quint32>(bigEndian32(data + at + 12), 0x7fffffff)));
            first = false;
        }
        const qint64 end = at + 12 + qint64(length);
        if (end > size)
            return broken(FileProbe::Truncated, std::memcmp(type, "IDAT", 4) == 0
                                                    ? QStringLiteral("it is cut short inside its picture data")
                                                    : QStringLiteral("it is cut short inside its header"));
        if (std::memcmp(type, "IEND", 4) == 0)
            return frame.isEmpty() ? broken(FileProbe::Damaged, QStringLiteral("its size is zero"))
                                   : whole(frame);
        at = end;
    }
    return broken(FileProbe::Truncated, QStringLiteral("it is cut short (its end mark is missing)"));
}

// A RIFF file (AVI, WebP) says how long it is; 0 is what a recorder that
// never finished leaves, and says nothing.
FileStructure checkRiff(const uchar *data, qint64 size)
{
    const quint64 declared = quint64(littleEndian32(data + 4)) + 8;
    if (littleEndian32(data + 4) != 0 && declared > quint64(size))
        return broken(FileProbe::Truncated,
                       QStringLiteral("it is cut short (%1 of %2 bytes)").arg(size).arg(declared));
    return whole({});
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
FileStructure checkMatroska(const uchar *data, qint64 size)
{
    qint64 at = 0;
    quint64 id = 0, length = 0;
    bool unknown = false;
    if (!readVint(data, size, at, id, true) || !readVint(data, size, at, length, false)
        || length > quint64(size - at))
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
    at += qint64(length);
    if (!readVint(data, size, at, id, true) || !readVint(data, size, at, length, false, &unknown))
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
    if (id != 0x18538067)
        return broken(FileProbe::Damaged, QStringLiteral("it holds no video segment"));
    if (!unknown && length > quint64(size - at))
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short (%1 of %2 bytes)")
                                                 .arg(size)
                                                 .arg(quint64(at) + length));
    return whole({});
}

FileStructure checkIsoVideo(const uchar *data, qint64 size)
{
    const IsoMedia media = readIsoMedia(data, size);
    if (media.damage == IsoMedia::Truncated)
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short (%1)").arg(media.problem));
    if (media.damage == IsoMedia::Broken)
        return broken(FileProbe::Damaged, QStringLiteral("it is damaged (%1)").arg(media.problem));
    if (!media.hasMovie)
        return broken(FileProbe::Truncated,
                       QStringLiteral("its index is missing, as when a recording was cut off"));
    return whole(media.videoSize);
}

FileStructure checkPdf(const uchar *data, qint64 size)
{
    // The end mark lies within the last kilobyte; anything after it is padding.
    const qint64 tail = std::min<qint64>(size, 1024);
    if (!memmem(data + size - tail, size_t(tail), "%%EOF", 5))
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short (its end mark is missing)"));
    return whole({});
}

quint16 littleEndian16(const uchar *p)
{
    return quint16(p[1] << 8 | p[0]);
}

// A bitmap's rows (padded to four bytes) or its compressed data, as its
// header gives them, must fit between the data offset and the end.
FileStructure checkBmp(const uchar *data, qint64 size)
{
    if (size < 26)
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
    const qint64 offset = littleEndian32(data + 10);
    const quint32 infoSize = littleEndian32(data + 14);
    qint64 width = 0, height = 0, bits = 0, compression = 0, imageSize = 0;
    if (infoSize == 12) {
        width = littleEndian16(data + 18);
        height = littleEndian16(data + 20);
        bits = littleEndian16(data + 24);
    } else if (infoSize >= 40 && size >= 54) {
        width = qint32(littleEndian32(data + 18));
        height = qAbs(qint64(qint32(littleEndian32(data + 22))));
        bits = littleEndian16(data + 28);
        compression = littleEndian32(data + 30);
        imageSize = littleEndian32(data + 34);
    } else if (infoSize >= 40) {
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
    } else {
        return broken(FileProbe::Damaged, QStringLiteral("its header is damaged"));
    }
    if (width <= 0 || height <= 0 || bits == 0 || bits > 64)
        return broken(FileProbe::Damaged, QStringLiteral("its header is damaged"));
    const QSize frame(int(std::min<qint64>(width, 0x7fffffff)), int(std::min<qint64>(height, 0x7fffffff)));
    if (offset > size)
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short before its picture data"));
    const qint64 room = size - offset;
    if (compression == 0 || compression == 3 || compression == 6) {
        const qint64 stride = ((width * bits + 31) / 32) * 4; // at most 2^38: no overflow
        if (height > room / stride)
            return broken(FileProbe::Truncated,
                          QStringLiteral("it is cut short (the picture data stop after %1 of %2 rows)")
                              .arg(room / stride)
                              .arg(height));
    } else if (imageSize > room) {
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its picture data"));
    }
    return whole(frame);
}

// A GIF ends with its trailer byte; some writers pad with zeros after it.
FileStructure checkGif(const uchar *data, qint64 size)
{
    if (size < 10)
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short inside its header"));
    const QSize frame(littleEndian16(data + 6), littleEndian16(data + 8));
    for (qint64 at = size - 1; at >= std::max<qint64>(6, size - 64); --at) {
        if (data[at] == 0x3b)
            return whole(frame);
        if (data[at] != 0)
            break;
    }
    return broken(FileProbe::Truncated, QStringLiteral("it is cut short (its end mark is missing)"));
}

bool startsAt(QByteArrayView head, qsizetype at, QByteArrayView magic)
{
    return head.size() >= at + magic.size() && head.sliced(at, magic.size()) == magic;
}

FileStructure checkHeifStructure(const uchar *data, qint64 size)
{
    const IsoMedia media = readIsoMedia(data, size);
    if (media.damage == IsoMedia::Truncated)
        return broken(FileProbe::Truncated, QStringLiteral("it is cut short (%1)").arg(media.problem));
    if (!media.hasMeta)
        return broken(FileProbe::NoPicture, QStringLiteral("it holds no picture"));
    return whole({});
}

} // namespace

FileStructure checkStructure(const uchar *data, qint64 size)
{
    if (!data || size <= 0)
        return broken(FileProbe::Empty, QStringLiteral("it is empty"));
    const QByteArrayView head(reinterpret_cast<const char *>(data), std::min<qint64>(size, 4096));
    const auto as = [](FileStructure s, FileStructure::Format format) {
        s.format = format;
        return s;
    };
    if (startsAt(head, 0, "\xFF\xD8\xFF"))
        return as(checkJpeg(data, size), FileStructure::Jpeg);
    if (startsAt(head, 0, "\x89PNG\r\n\x1A\n"))
        return as(checkPng(data, size), FileStructure::Png);
    if (startsAt(head, 0, "GIF87a") || startsAt(head, 0, "GIF89a"))
        return as(checkGif(data, size), FileStructure::Gif);
    if (startsAt(head, 0, "BM") && size >= 14 && littleEndian32(data + 6) == 0)
        return as(checkBmp(data, size), FileStructure::Bmp);
    if (startsAt(head, 0, "RIFF") && size >= 12)
        return as(checkRiff(data, size), FileStructure::Riff);
    if (startsAt(head, 4, "ftyp") && namesStillPicture(head))
        return as(checkHeifStructure(data, size), FileStructure::HeifPicture);
    if (startsAt(head, 4, "ftyp") || startsAt(head, 4, "moov") || startsAt(head, 4, "mdat")
        || startsAt(head, 4, "wide") || startsAt(head, 4, "free"))
        return as(checkIsoVideo(data, size), FileStructure::IsoVideo);
    if (startsAt(head, 0, "\x1A\x45\xDF\xA3"))
        return as(checkMatroska(data, size), FileStructure::Matroska);
    if (startsAt(head, 0, "%PDF-"))
        return as(checkPdf(data, size), FileStructure::Pdf);
    return {};
}

} // namespace tovradocs::Internal
