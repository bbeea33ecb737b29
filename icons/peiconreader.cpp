#include "icons/peiconreader.h"

#include <QFile>
#include <QSet>
#include <QtEndian>

#include <climits>

namespace tovradocs::Internal {

namespace {

constexpr quint32 RtIcon = 3;
constexpr quint32 RtGroupIcon = 14;
constexpr quint32 SubdirFlag = 0x80000000u;
constexpr int MaxSections = 96;
constexpr qint64 MaxFileSize = 512 * 1024 * 1024;
constexpr qint64 MaxIconFileSize = 16 * 1024 * 1024;
constexpr int MaxGroupImages = 1024;

quint64 keyOf(quint32 offset, quint32 size)
{
    return quint64(offset) << 32 | size;
}

// A file's bytes, mapped rather than read: of a large program only the
// resource directories and the icons are ever touched.
struct FileBytes
{
    explicit FileBytes(const QString &path)
        : file(path)
    {
        if (!file.open(QIODevice::ReadOnly)) {
            error = file.errorString();
            return;
        }
        if (file.isSequential()) {
            error = QStringLiteral("The file is not a program or icon file.");
            return;
        }
        if (file.size() > MaxFileSize) {
            error = QStringLiteral("The file is too large.");
            return;
        }
        if (file.size() == 0)
            return;
        if (const uchar *mapped = file.map(0, file.size()))
            bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), file.size());
        else
            bytes = file.readAll();
    }

    QFile file; // unmaps when it goes, after bytes
    QByteArray bytes;
    QString error;
};

} // namespace

bool PeIconReader::hasPeStamp(QByteArrayView head)
{
    return head.size() >= 2 && head[0] == 'M' && head[1] == 'Z';
}

PeIconReader::PeIconReader(QByteArray file) : m_file(std::move(file))
{
    parse();
    m_visited.clear();
    m_visited.squeeze();
}

bool PeIconReader::fail(const QString &text, bool damaged)
{
    m_error = text;
    m_damaged = damaged;
    m_note.clear();
    m_groups.clear();
    m_images.clear();
    return false;
}

bool PeIconReader::rvaToOffset(quint32 rva, quint32 size, quint32 &offset) const
{
    for (const Section &s : m_sections) {
        const quint32 span = qMax(s.vsize, s.rawSize);
        if (rva < s.va || quint64(rva) - s.va >= span)
            continue;
        const quint64 inSection = quint64(rva) - s.va;
        if (inSection + size > s.rawSize || quint64(s.raw) + inSection + size > quint64(m_file.size()))
            return false;
        offset = quint32(s.raw + inSection);
        return true;
    }
    return false;
}

// False for a directory that does not fit; a directory read before, or more
// entries than a real tree holds, also refuses the whole file.
bool PeIconReader::readDirectory(quint32 at, Entries &entries)
{
    entries.clear();
    if (quint64(at) + 16 > m_resSize)
        return false;
    if (m_visited.contains(at))
        return fail(QStringLiteral(
            "The file's resource directory is damaged: it leads back to a part already read."));
    m_visited.insert(at);
    const char *p = m_file.constData() + m_resBase + at;
    const int count = qFromLittleEndian<quint16>(p + 12) + qFromLittleEndian<quint16>(p + 14);
    if (quint64(at) + 16 + 8 * quint64(count) > m_resSize)
        return false;
    m_entriesRead += count;
    if (m_entriesRead > MaxEntries)
        return fail(QStringLiteral(
            "The file's resource directory is larger than any program's; it is damaged."));
    entries.reserve(count);
    for (int i = 0; i < count; ++i)
        entries.append({qFromLittleEndian<quint32>(p + 16 + 8 * i),
                        qFromLittleEndian<quint32>(p + 20 + 8 * i)});
    return true;
}

bool PeIconReader::firstLeaf(quint32 entryValue, Blob &blob)
{
    // Name level entry -> language directory -> data entry.
    if (!(entryValue & SubdirFlag))
        return false;
    Entries languages;
    if (!readDirectory(entryValue & ~SubdirFlag, languages) || languages.isEmpty())
        return false;
    const quint32 leaf = languages.first().second;
    if ((leaf & SubdirFlag) || quint64(leaf) + 16 > m_resSize)
        return false;
    const char *p = m_file.constData() + m_resBase + leaf;
    const quint32 rva = qFromLittleEndian<quint32>(p);
    const quint32 size = qFromLittleEndian<quint32>(p + 4);
    if (size == 0 || !rvaToOffset(rva, size, blob.offset))
        return false;
    blob.size = size;
    return true;
}

bool PeIconReader::parse()
{
    const QByteArrayView f(m_file);
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(f.data() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(f.data() + at); };
    if (f.size() < 64 || !hasPeStamp(f))
        return fail(QStringLiteral("This is not a program or library file."), false);
    const quint32 pe = u32(0x3c);
    if (quint64(pe) + 24 > quint64(f.size()) || f.sliced(pe, 4) != QByteArrayView("PE\0\0", 4))
        return fail(QStringLiteral("This is not a program or library file."), false);
    const int sectionCount = u16(pe + 6);
    const quint32 optSize = u16(pe + 20);
    const quint32 opt = pe + 24;
    if (quint64(opt) + optSize > quint64(f.size()) || optSize < 2)
        return fail(QStringLiteral("The file's headers are truncated."));
    const quint16 magic = u16(opt);
    quint32 dirCountAt = 0;
    if (magic == 0x10b)
        dirCountAt = 92;
    else if (magic == 0x20b)
        dirCountAt = 108;
    else
        return fail(QStringLiteral("The file's optional header is of an unknown kind."));
    if (dirCountAt + 4 > optSize || u32(opt + dirCountAt) < 3 || dirCountAt + 4 + 3 * 8 > optSize)
        return fail(QStringLiteral("The file has no resources."), false);
    const quint32 resRva = u32(opt + dirCountAt + 4 + 16);
    const quint32 resSize = u32(opt + dirCountAt + 4 + 20);
    if (resRva == 0 || resSize == 0)
        return fail(QStringLiteral("The file has no resources."), false);
    if (sectionCount > MaxSections || quint64(opt) + optSize + 40ull * sectionCount > quint64(f.size()))
        return fail(QStringLiteral("The file's section table is damaged."));
    for (int i = 0; i < sectionCount; ++i) {
        const qsizetype s = opt + optSize + 40 * i;
        m_sections.append({u32(s + 12), u32(s + 8), u32(s + 20), u32(s + 16)});
    }
    // The directory may claim more than the section holds; use what is there.
    quint32 size = resSize;
    while (size >= 16 && !rvaToOffset(resRva, size, m_resBase))
        size = size > 4096 ? size / 2 : size - 16;
    if (size < 16 || !rvaToOffset(resRva, size, m_resBase))
        return fail(QStringLiteral("The file's resources lie outside it."));
    m_resSize = size;

    Entries types;
    if (!readDirectory(0, types))
        return isValid() ? fail(QStringLiteral("The file's resource directory is damaged."))
                         : false;
    qint64 named = 0;
    for (const auto &[type, value] : types) {
        if ((type != RtIcon && type != RtGroupIcon) || !(value & SubdirFlag))
            continue;
        Entries names;
        if (!readDirectory(value & ~SubdirFlag, names))
            return isValid() ? fail(QStringLiteral("The file's resource directory is damaged."))
                             : false;
        if (type == RtGroupIcon)
            named += names.size();
        for (const auto &[name, sub] : names) {
            if (type == RtGroupIcon && m_groups.size() == MaxIcons)
                break; // counted above, not read
            Blob blob;
            const bool found = firstLeaf(sub, blob);
            if (!isValid())
                return false;
            if (!found)
                continue; // a damaged entry is skipped; the others may still be good
            if (type == RtGroupIcon)
                m_groups.append(blob);
            else if (name <= 0xffff && !m_images.contains(quint16(name)))
                m_images.insert(quint16(name), blob);
        }
    }
    if (named > MaxIcons)
        m_note
            = QStringLiteral(
                  "The file names %1 icons, more than a program holds; only the first %2 are read.")
                  .arg(named)
                  .arg(MaxIcons);
    return true;
}

Result<PeIconReader::Blob> PeIconReader::chooseImage(int index) const
{
    if (index < 0 || index >= m_groups.size())
        return Result<Blob>::failure(QStringLiteral("The file has no icon %1.").arg(index + 1));
    const Blob group = m_groups.at(index);
    const QByteArrayView g = QByteArrayView(m_file).sliced(group.offset, group.size);
    if (g.size() < 6 || qFromLittleEndian<quint16>(g.data() + 2) != 1)
        return Result<Blob>::failure(QStringLiteral("The icon group is damaged."));
    const int count = qFromLittleEndian<quint16>(g.data() + 4);
    if (6 + 14 * qsizetype(count) > g.size())
        return Result<Blob>::failure(QStringLiteral("The icon group is truncated."));
    // A few sizes at a few depths make an icon; this bounds the work on groups that many icons
    // share.
    if (count > MaxGroupImages)
        return Result<Blob>::failure(
            QStringLiteral("The icon group lists %1 images, more than an icon holds.").arg(count));
    int bestScore = INT_MAX;
    const Blob *best = nullptr;
    for (int i = 0; i < count; ++i) {
        const char *e = g.data() + 6 + 14 * i;
        const int w = uchar(e[0]) ? uchar(e[0]) : 256;
        const int h = uchar(e[1]) ? uchar(e[1]) : 256;
        const int bpp = qFromLittleEndian<quint16>(e + 6);
        const quint16 id = qFromLittleEndian<quint16>(e + 12);
        const int side = qMax(w, h);
        const int score = (side == 32 ? 0 : side > 32 ? side - 32 : 1000 + 32 - side) * 64 - qMin(bpp, 63);
        if (score >= bestScore)
            continue;
        const auto image = m_images.constFind(id);
        if (image == m_images.cend())
            continue;
        best = &*image;
        bestScore = score;
    }
    if (!best)
        return Result<Blob>::failure(
            QStringLiteral("The icon group names no icon that the file holds."));
    return *best;
}

Result<quint64> PeIconReader::imageKey(int index) const
{
    const Result<Blob> image = chooseImage(index);
    if (!image)
        return Result<quint64>::failure(image.error());
    return keyOf(image->offset, image->size);
}

Result<IconImage> PeIconReader::icon(int index) const
{
    const Result<Blob> image = chooseImage(index);
    if (!image)
        return Result<IconImage>::failure(image.error());
    return Ico::decodeImage(QByteArrayView(m_file).sliced(image->offset, image->size));
}

int iconCountOfFile(const QString &path, QString *error)
{
    const FileBytes file(path);
    if (!file.error.isEmpty()) {
        if (error)
            *error = file.error;
        return 0;
    }
    if (PeIconReader::hasPeStamp(file.bytes)) {
        const PeIconReader reader(file.bytes);
        if (error)
            *error = reader.error();
        return reader.iconCount();
    }
    return Ico::imageCount(file.bytes) > 0 ? 1 : 0;
}

FileIcons iconsOfFile(const QString &path, const std::function<bool()> &stop)
{
    FileIcons out;
    const FileBytes file(path);
    if (!file.error.isEmpty()) {
        out.problem = file.error;
        return out;
    }
    if (!PeIconReader::hasPeStamp(file.bytes)) {
        if (Ico::imageCount(file.bytes) == 0)
            return out;
        if (file.bytes.size() > MaxIconFileSize) {
            out.problem = QStringLiteral("The file is too large for an icon.");
            return out;
        }
        if (const auto icon = Ico::read(file.bytes))
            out.icons.append(icon->scaled32());
        else
            out.problem = icon.error();
        return out;
    }
    const PeIconReader reader(file.bytes);
    if (!reader.isValid()) {
        if (reader.isDamaged())
            out.problem = reader.error();
        return out;
    }
    out.problem = reader.note();
    // Groups that name one image share its decoded picture; a damaged image is tried once.
    QHash<quint64, IconImage> decoded;
    QSet<quint64> damaged;
    qint64 pixels = 0;
    int leftOut = 0;
    QString firstDamage;
    const auto skip = [&](const QString &why) {
        if (!leftOut++)
            firstDamage = why;
    };
    for (int i = 0; i < reader.iconCount(); ++i) {
        if (stop && stop()) {
            out.cancelled = true;
            break;
        }
        const Result<quint64> key = reader.imageKey(i);
        if (!key) {
            skip(key.error());
            continue;
        }
        if (damaged.contains(*key)) {
            skip(QStringLiteral("The icon image is damaged."));
            continue;
        }
        if (const auto known = decoded.constFind(*key); known != decoded.cend()) {
            out.icons.append(*known);
            continue;
        }
        if (pixels >= MaxIconPixelsPerFile) {
            out.problem = QStringLiteral(
                              "The file's icons add up to more pixels than real icons do; only the "
                              "first %1 are read.")
                              .arg(out.icons.size());
            break;
        }
        const Result<IconImage> icon = reader.icon(i);
        if (!icon) {
            damaged.insert(*key);
            skip(icon.error());
            continue;
        }
        pixels += qint64(icon->size().width()) * icon->size().height();
        const IconImage small = icon->scaled32();
        decoded.insert(*key, small);
        out.icons.append(small);
    }
    if (leftOut && out.problem.isEmpty())
        out.problem = QStringLiteral("%1 of its icons are damaged and were left out: %2")
                          .arg(leftOut)
                          .arg(firstDamage);
    return out;
}

Result<IconImage> iconOfFile(const QString &path, int index)
{
    const FileBytes file(path);
    if (!file.error.isEmpty())
        return Result<IconImage>::failure(file.error);
    if (PeIconReader::hasPeStamp(file.bytes)) {
        const PeIconReader reader(file.bytes);
        if (!reader.isValid())
            return Result<IconImage>::failure(reader.error());
        return reader.icon(index);
    }
    if (index != 0)
        return Result<IconImage>::failure(QStringLiteral("An icon file holds one icon."));
    if (file.bytes.size() > MaxIconFileSize)
        return Result<IconImage>::failure(QStringLiteral("The file is too large for an icon."));
    return Ico::read(file.bytes);
}

} // namespace tovradocs::Internal
