#include "icons/peiconreader.h"

#include <QFile>
#include <QtEndian>

#include <climits>

namespace tovradocs::Internal {

namespace {

constexpr quint32 RtIcon = 3;
constexpr quint32 RtGroupIcon = 14;
constexpr quint32 SubdirFlag = 0x80000000u;
// Real files have a handful of entries per directory; this bounds the work on damaged ones.
constexpr int MaxEntries = 4096;
constexpr int MaxSections = 96;
constexpr qint64 MaxFileSize = 512 * 1024 * 1024;

} // namespace

bool PeIconReader::hasPeStamp(QByteArrayView head)
{
    return head.size() >= 2 && head[0] == 'M' && head[1] == 'Z';
}

PeIconReader::PeIconReader(QByteArray file) : m_file(std::move(file))
{
    parse();
}

bool PeIconReader::fail(const QString &text)
{
    m_error = text;
    m_groups.clear();
    m_icons.clear();
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

bool PeIconReader::readDirectory(quint32 at, QList<std::pair<quint32, quint32>> &entries) const
{
    entries.clear();
    if (quint64(at) + 16 > m_resSize)
        return false;
    const char *p = m_file.constData() + m_resBase + at;
    const int count = qFromLittleEndian<quint16>(p + 12) + qFromLittleEndian<quint16>(p + 14);
    if (count > MaxEntries || quint64(at) + 16 + 8 * quint64(count) > m_resSize)
        return false;
    entries.reserve(count);
    for (int i = 0; i < count; ++i)
        entries.append({qFromLittleEndian<quint32>(p + 16 + 8 * i),
                        qFromLittleEndian<quint32>(p + 20 + 8 * i)});
    return true;
}

bool PeIconReader::firstLeaf(quint32 entryValue, Blob &blob) const
{
    // Name level entry -> language directory -> data entry.
    if (!(entryValue & SubdirFlag))
        return false;
    QList<std::pair<quint32, quint32>> languages;
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
        return fail(QStringLiteral("This is not a program or library file."));
    const quint32 pe = u32(0x3c);
    if (quint64(pe) + 24 > quint64(f.size()) || f.sliced(pe, 4) != QByteArrayView("PE\0\0", 4))
        return fail(QStringLiteral("This is not a program or library file."));
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
        return fail(QStringLiteral("The file has no resources."));
    const quint32 resRva = u32(opt + dirCountAt + 4 + 16);
    const quint32 resSize = u32(opt + dirCountAt + 4 + 20);
    if (resRva == 0 || resSize == 0)
        return fail(QStringLiteral("The file has no resources."));
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

    QList<std::pair<quint32, quint32>> types;
    if (!readDirectory(0, types))
        return fail(QStringLiteral("The file's resource directory is damaged."));
    for (const auto &[type, value] : types) {
        if ((type != RtIcon && type != RtGroupIcon) || !(value & SubdirFlag))
            continue;
        QList<std::pair<quint32, quint32>> names;
        if (!readDirectory(value & ~SubdirFlag, names))
            return fail(QStringLiteral("The file's resource directory is damaged."));
        for (const auto &[name, sub] : names) {
            Blob blob;
            if (!firstLeaf(sub, blob))
                continue; // a damaged entry is skipped; the others may still be good
            if (type == RtGroupIcon)
                m_groups.append(blob);
            else if (!(name & SubdirFlag))
                m_icons.append({name, blob});
        }
    }
    return true;
}

Result<IconImage> PeIconReader::icon(int index) const
{
    if (index < 0 || index >= m_groups.size())
        return Result<IconImage>::failure(QStringLiteral("The file has no icon %1.").arg(index + 1));
    const Blob group = m_groups.at(index);
    const QByteArrayView g = QByteArrayView(m_file).sliced(group.offset, group.size);
    if (g.size() < 6 || qFromLittleEndian<quint16>(g.data() + 2) != 1)
        return Result<IconImage>::failure(QStringLiteral("The icon group is damaged."));
    const int count = qFromLittleEndian<quint16>(g.data() + 4);
    if (6 + 14 * qsizetype(count) > g.size())
        return Result<IconImage>::failure(QStringLiteral("The icon group is truncated."));
    int bestScore = INT_MAX;
    const IconEntry *best = nullptr;
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
        for (const IconEntry &icon : m_icons)
            if (icon.id == id) {
                best = &icon;
                bestScore = score;
                break;
            }
    }
    if (!best)
        return Result<IconImage>::failure(QStringLiteral("The icon group names no icon that the file holds."));
    return Ico::decodeImage(QByteArrayView(m_file).sliced(best->data.offset, best->data.size));
}

int iconCountOfFile(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return 0;
    }
    const QByteArray head = f.read(6);
    if (PeIconReader::hasPeStamp(head)) {
        if (f.size() > MaxFileSize)
            return 0;
        f.seek(0);
        const PeIconReader reader(f.readAll());
        if (error)
            *error = reader.error();
        return reader.iconCount();
    }
    return Ico::imageCount(head) > 0 ? 1 : 0;
}

QList<IconImage> iconsOfFile(const QString &path)
{
    QList<IconImage> icons;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return icons;
    const QByteArray head = f.read(6);
    if (PeIconReader::hasPeStamp(head)) {
        if (f.size() > MaxFileSize)
            return icons;
        f.seek(0);
        const PeIconReader reader(f.readAll());
        for (int i = 0; i < reader.iconCount(); ++i)
            if (const auto icon = reader.icon(i))
                icons.append(*icon);
    } else if (Ico::imageCount(head) > 0 && f.size() <= 16 * 1024 * 1024) {
        f.seek(0);
        if (const auto icon = Ico::read(f.readAll()))
            icons.append(*icon);
    }
    return icons;
}

Result<IconImage> iconOfFile(const QString &path, int index)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Result<IconImage>::failure(f.errorString());
    if (f.size() > MaxFileSize)
        return Result<IconImage>::failure(QStringLiteral("The file is too large."));
    const QByteArray data = f.readAll();
    if (PeIconReader::hasPeStamp(data)) {
        const PeIconReader reader(data);
        if (!reader.isValid())
            return Result<IconImage>::failure(reader.error());
        return reader.icon(index);
    }
    if (index != 0)
        return Result<IconImage>::failure(QStringLiteral("An icon file holds one icon."));
    return Ico::read(data);
}

} // namespace tovradocs::Internal
