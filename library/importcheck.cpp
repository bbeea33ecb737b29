#include "library/importcheck.h"

#include "component/filetypes.h"
#include "component/imageloader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <optional>

namespace tovradocs::Internal {

namespace importcheck {

// What a container walk found: nothing wrong, cut short, or not that container.
enum class Walk { Fine, Short, Damaged };

constexpr int maxSteps = 100'000; // boxes, chunks or segments walked at most

class Reader
{
public:
    explicit Reader(QFile &file) : m_file(file), m_size(file.size()) {}
    qint64 size() const { return m_size; }
    // Exactly n bytes at pos, or nothing.
    std::optional<QByteArray> at(qint64 pos, qint64 n)
    {
        if (pos < 0 || n < 0 || pos + n > m_size || !m_file.seek(pos))
            return std::nullopt;
        QByteArray bytes = m_file.read(n);
        if (bytes.size() != n)
            return std::nullopt;
        return bytes;
    }

private:
    QFile &m_file;
    qint64 m_size;
};

quint32 be32(const QByteArray &b, int at) { return qFromBigEndian<quint32>(b.constData() + at); }
quint32 le32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 le16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

FileCheck cutShort(const QString &what)
{
    return {FileCheck::Truncated, QStringLiteral("The file is cut short: %1.").arg(what)};
}

FileCheck damaged(const QString &what)
{
    return {FileCheck::Unreadable, QStringLiteral("The file is damaged: %1.").arg(what)};
}

// ISO media (MP4, MOV, HEIC, AVIF): top-level boxes must end inside the file,
// and the box that holds the index (moov, or meta for still pictures) must be there.
Walk walkIsoBoxes(Reader &in, const char *required)
{
    qint64 pos = 0;
    bool found = false;
    for (int step = 0; pos < in.size() && step < maxSteps; ++step) {
        const auto head = in.at(pos, 8);
        if (!head)
            return Walk::Short;
        quint64 size = be32(*head, 0);
        qint64 header = 8;
        if (size == 1) {
            const auto large = in.at(pos + 8, 8);
            if (!large)
                return Walk::Short;
            size = qFromBigEndian<quint64>(large->constData());
            header = 16;
        } else if (size == 0) {
            size = quint64(in.size() - pos); // the last box runs to the end
        }
        if (size < quint64(header))
            return Walk::Damaged;
        if (head->mid(4, 4) == required)
            found = true;
        if (size > quint64(in.size() - pos))
            return Walk::Short;
        pos += qint64(size);
    }
    return found ? Walk::Fine : Walk::Short;
}

// RIFF (AVI, WebP): each top-level chunk must end inside the file.
Walk walkRiff(Reader &in)
{
    qint64 pos = 0;
    for (int step = 0; pos + 8 <= in.size() && step < maxSteps; ++step) {
        const auto head = in.at(pos, 8);
        if (!head)
            return Walk::Short;
        const qint64 size = le32(*head, 4);
        if (pos + 8 + size > in.size())
            return Walk::Short;
        pos += 8 + size + (size & 1);
    }
    return Walk::Fine;
}

// An EBML number: its length from the leading zeros of the first byte.
std::optional<quint64> ebml(Reader &in, qint64 &pos, bool keepMarker, bool *unknown = nullptr)
{
    const auto first = in.at(pos, 1);
    if (!first)
        return std::nullopt;
    const auto lead = quint8(first->at(0));
    int length = 1;
    while (length <= 8 && !(lead & (0x80 >> (length - 1))))
        ++length;
    if (length > 8)
        return std::nullopt;
    const auto bytes = in.at(pos, length);
    if (!bytes)
        return std::nullopt;
    quint64 value = keepMarker ? lead : (lead & (0xFF >> length));
    bool allOnes = (lead & (0xFF >> length)) == (0xFF >> length);
    for (int i = 1; i < length; ++i) {
        value = (value << 8) | quint8(bytes->at(i));
        allOnes = allOnes && quint8(bytes->at(i)) == 0xFF;
    }
    if (unknown)
        *unknown = allOnes;
    pos += length;
    return value;
}

// Matroska and WebM: the EBML header, then a segment whose size fits the file.
Walk walkMatroska(Reader &in)
{
    qint64 pos = 0;
    for (int element = 0; element < 2; ++element) {
        const auto id = ebml(in, pos, true);
        bool unknown = false;
        const auto size = ebml(in, pos, false, &unknown);
        if (!id || !size)
            return Walk::Short;
        if (element == 0 && *id != 0x1A45DFA3)
            return Walk::Damaged;
        if (element == 1 && *id != 0x18538067)
            return Walk::Damaged;
        if (unknown)
            return Walk::Fine; // a live recording leaves its size open
        if (*size > quint64(in.size() - pos))
            return Walk::Short;
        pos += qint64(*size);
    }
    return Walk::Fine;
}

// JPEG: the segments up to the scan must fit, and the end marker must follow
// the scan data (phones may append their own data after it).
Walk walkJpeg(Reader &in)
{
    qint64 pos = 2;
    for (int step = 0; step < maxSteps; ++step) {
        const auto marker = in.at(pos, 2);
        if (!marker)
            return Walk::Short;
        if (quint8(marker->at(0)) != 0xFF)
            return Walk::Damaged;
        const quint8 code = quint8(marker->at(1));
        if (code == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        pos += 2;
        if (code == 0xD9)
            return Walk::Fine;
        if ((code >= 0xD0 && code <= 0xD7) || code == 0x01)
            continue;
        const auto length = in.at(pos, 2);
        if (!length)
            return Walk::Short;
        const qint64 n = qFromBigEndian<quint16>(length->constData());
        if (n < 2)
            return Walk::Damaged;
        if (pos + n > in.size())
            return Walk::Short;
        pos += n;
        if (code == 0xDA)
            break;
    }
    if (const auto tail = in.at(in.size() - 2, 2); tail && *tail == QByteArray("\xFF\xD9", 2))
        return Walk::Fine;
    // Inside scan data a 0xFF is always followed by 0x00 or a restart marker,
    // so the first FF D9 from here on is the end of the picture.
    constexpr qint64 chunk = 256 * 1024;
    bool lastWasFF = false;
    while (pos < in.size()) {
        const auto bytes = in.at(pos, std::min(chunk, in.size() - pos));
        if (!bytes)
            return Walk::Short;
        for (const char c : *bytes) {
            if (lastWasFF && quint8(c) == 0xD9)
                return Walk::Fine;
            lastWasFF = quint8(c) == 0xFF;
        }
        pos += bytes->size();
    }
    return Walk::Short;
}

Walk walkPng(Reader &in)
{
    qint64 pos = 8;
    for (int step = 0; step < maxSteps; ++step) {
        const auto head = in.at(pos, 8);
        if (!head)
            return Walk::Short;
        const qint64 length = be32(*head, 0);
        if (length > 0x7FFFFFFF)
            return Walk::Damaged;
        pos += 12 + length;
        if (pos > in.size())
            return Walk::Short;
        if (head->mid(4, 4) == "IEND")
            return Walk::Fine;
    }
    return Walk::Damaged;
}

Walk walkBmp(Reader &in)
{
    const auto head = in.at(0, 54);
    if (!head)
        return in.size() < 26 ? Walk::Short : Walk::Fine;
    const qint64 offset = le32(*head, 10);
    const quint32 infoSize = le32(*head, 14);
    qint64 width = 0, height = 0, bits = 0, compression = 0, imageSize = 0;
    if (infoSize == 12) {
        width = le16(*head, 18);
        height = le16(*head, 20);
        bits = le16(*head, 24);
    } else if (infoSize >= 40) {
        width = qint32(le32(*head, 18));
        height = qAbs(qint64(qint32(le32(*head, 22))));
        bits = le16(*head, 28);
        compression = le32(*head, 30);
        imageSize = le32(*head, 34);
    } else {
        return Walk::Damaged;
    }
    if (width <= 0 || bits == 0 || bits > 64)
        return Walk::Damaged;
    if (offset > in.size())
        return Walk::Short;
    const qint64 room = in.size() - offset;
    // Uncompressed rows are padded to 4 bytes; compressed data says its own size.
    if (compression == 0 || compression == 3 || compression == 6) {
        const qint64 stride = ((width * bits + 31) / 32) * 4; // at most 2^35
        return height > room / stride ? Walk::Short : Walk::Fine;
    }
    return imageSize > room ? Walk::Short : Walk::Fine;
}

Walk walkGif(Reader &in)
{
    // The trailer byte ends the file; some writers pad with zeros after it.
    const qint64 tailSize = std::min<qint64>(in.size(), 64);
    const auto tail = in.at(in.size() - tailSize, tailSize);
    if (!tail)
        return Walk::Short;
    for (qsizetype i = tail->size() - 1; i >= 0; --i) {
        if (tail->at(i) == 0x3B)
            return Walk::Fine;
        if (tail->at(i) != 0)
            return Walk::Short;
    }
    return Walk::Short;
}

Walk walkPdf(Reader &in)
{
    const qint64 tailSize = std::min<qint64>(in.size(), 2048);
    const auto tail = in.at(in.size() - tailSize, tailSize);
    return tail && tail->contains("%%EOF") ? Walk::Fine : Walk::Short;
}

bool isIsoMedia(const QByteArray &head) { return head.size() >= 12 && head.mid(4, 4) == "ftyp"; }

bool isRiff(const QByteArray &head, const char *form)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == form;
}

// Still pictures in ISO media that this build may have no decoder for yet.
bool isHeifFamily(const QByteArray &head)
{
    if (!isIsoMedia(head))
        return false;
    const QByteArray brand = head.mid(8, 4);
    for (const char *known : {"heic", "heix", "heim", "heis", "hevc", "mif1", "msf1", "avif", "avis"})
        if (brand == known)
            return true;
    return false;
}

// MPEG transport streams: a sync byte every 188 bytes (192 with the time
// stamps of camcorder files).
bool isTransportStream(const QByteArray &head)
{
    for (const auto &[first, step] : {std::pair{0, 188}, std::pair{4, 192}}) {
        bool synced = head.size() > first;
        for (qsizetype at = first; at < head.size() && synced; at += step)
            synced = head.at(at) == 0x47;
        if (synced)
            return true;
    }
    return false;
}

bool isJpegXl(const QByteArray &head)
{
    return head.startsWith(QByteArray("\xFF\x0A", 2))
           || head.startsWith(QByteArray("\0\0\0\x0CJXL \r\n\x87\n", 12));
}

FileCheck verdict(Walk walk, const QString &shortText, const QString &damagedText)
{
    switch (walk) {
    case Walk::Fine:
        return FileCheck::fine();
    case Walk::Short:
        return cutShort(shortText);
    case Walk::Damaged:
        return damaged(damagedText);
    }
    return FileCheck::fine();
}

FileCheck checkPicture(Reader &in, const QString &path, const QByteArray &head)
{
    const QString ends = QStringLiteral("the picture data ends early");
    const QString bad = QStringLiteral("its picture data is not in order");
    FileCheck byContainer;
    if (head.startsWith("\xFF\xD8\xFF"))
        byContainer = verdict(walkJpeg(in), ends, bad);
    else if (head.startsWith("\x89PNG\r\n\x1A\n"))
        byContainer = verdict(walkPng(in), ends, bad);
    else if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        byContainer = verdict(walkGif(in), ends, bad);
    else if (head.startsWith("BM"))
        byContainer = verdict(walkBmp(in), ends, bad);
    else if (isRiff(head, "WEBP"))
        byContainer = verdict(walkRiff(in), ends, bad);
    else if (isIsoMedia(head))
        byContainer = verdict(walkIsoBoxes(in, "meta"), ends, bad);
    if (!byContainer.isFine())
        return byContainer;

    if (imageSize(path))
        return FileCheck::fine();
    // A phone's HEIC or a JPEG XL whose container is whole is taken even
    // where this build has no decoder for it yet.
    if (isHeifFamily(head) || isJpegXl(head))
        return FileCheck::fine();
    return {FileCheck::Unreadable, QStringLiteral("The picture cannot be read.")};
}

FileCheck checkVideo(Reader &in, const QByteArray &head)
{
    const QString ends = QStringLiteral("the video ends early or has no index");
    const QString bad = QStringLiteral("its structure is not in order");
    if (isIsoMedia(head))
        return verdict(walkIsoBoxes(in, "moov"), ends, bad);
    if (isRiff(head, "AVI "))
        return verdict(walkRiff(in), ends, bad);
    if (head.startsWith("\x1A\x45\xDF\xA3"))
        return verdict(walkMatroska(in), ends, bad);
    // MPEG program and transport streams, ASF, Ogg: a plain signature check.
    if (head.startsWith(QByteArray("\0\0\x01\xBA", 4)) || head.startsWith(QByteArray("\0\0\x01\xB3", 4))
        || isTransportStream(head) || head.startsWith("\x30\x26\xB2\x75\x8E\x66\xCF\x11")
        || head.startsWith("OggS"))
        return FileCheck::fine();
    return {FileCheck::Unreadable, QStringLiteral("This is not a video this program can read.")};
}

} // namespace importcheck

FileCheck checkImportFile(const QString &fileName)
{
    using namespace importcheck;
    const QString path = QDir::fromNativeSeparators(fileName.trimmed());
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return {FileCheck::Missing, QStringLiteral("The file is missing.")};
    if (!info.isFile())
        return {FileCheck::Unreadable, QStringLiteral("This is a folder, not a file.")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {FileCheck::Unreadable,
                QStringLiteral("The file cannot be opened: %1.").arg(file.errorString())};
    if (file.size() == 0)
        return {FileCheck::Empty, QStringLiteral("The file is empty.")};
    const QByteArray head = file.read(512);
    if (head.isEmpty())
        return {FileCheck::Unreadable,
                QStringLiteral("The file cannot be read: %1.").arg(file.errorString())};

    Reader in(file);
    try {
        switch (classifyFile(path)) {
        case 1:
            return checkPicture(in, path, head);
        case 2:
            return checkVideo(in, head);
        case 5:
            if (!head.contains("%PDF-"))
                return {FileCheck::Unreadable, QStringLiteral("This is not a PDF file.")};
            return verdict(walkPdf(in), QStringLiteral("the end of the document is missing"),
                           QString());
        default:
            return FileCheck::fine();
        }
    } catch (const std::exception &e) {
        return {FileCheck::Unreadable,
                QStringLiteral("The file cannot be read: %1.").arg(QString::fromLocal8Bit(e.what()))};
    }
}

} // namespace tovradocs::Internal
