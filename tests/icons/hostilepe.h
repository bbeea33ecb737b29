#pragma once

// Program files built byte by byte, for the PE icon reader's tests and fuzz
// seeds: a PE32+ image with one ".rsrc" section whose resource tree is
// whatever the caller assembles, damaged or not.

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <utility>

namespace tovradocs::Testing {

class ResourceSection
{
public:
    static constexpr quint32 Rva = 0x1000;
    static constexpr quint32 Subdir = 0x80000000u;
    using Entries = QList<std::pair<quint32, quint32>>; // id, value

    // Space for a directory of count entries, filled in later (the root must come first).
    int reserveDirectory(int count)
    {
        const int at = align();
        m_bytes.append(QByteArray(16 + 8 * count, '\0'));
        return at;
    }
    void putDirectory(int at, const Entries &entries)
    {
        put16(at + 14, quint16(entries.size()));
        for (int i = 0; i < entries.size(); ++i) {
            put32(at + 16 + 8 * i, entries.at(i).first);
            put32(at + 20 + 8 * i, entries.at(i).second);
        }
    }
    int directory(const Entries &entries)
    {
        const int at = reserveDirectory(int(entries.size()));
        putDirectory(at, entries);
        return at;
    }
    // The payload and a data entry naming it; returns the data entry's offset.
    int data(const QByteArray &payload)
    {
        const int start = align();
        m_bytes.append(payload);
        const int at = align();
        m_bytes.append(QByteArray(16, '\0'));
        put32(at, Rva + quint32(start));
        put32(at + 4, quint32(payload.size()));
        return at;
    }
    // Another data entry for a payload already in the section.
    int dataEntry(int payloadAt, int size)
    {
        const int at = align();
        m_bytes.append(QByteArray(16, '\0'));
        put32(at, Rva + quint32(payloadAt));
        put32(at + 4, quint32(size));
        return at;
    }
    // name -> language 0x409 -> data, as resource compilers lay out one resource.
    int language(int dataEntry) { return directory({{0x409, quint32(dataEntry)}}); }

    const QByteArray &bytes() const { return m_bytes; }

private:
    int align()
    {
        while (m_bytes.size() % 4)
            m_bytes.append('\0');
        return int(m_bytes.size());
    }
    void put16(int at, quint16 v) { qToLittleEndian(v, m_bytes.data() + at); }
    void put32(int at, quint32 v) { qToLittleEndian(v, m_bytes.data() + at); }
    QByteArray m_bytes;
};

// A 64-bit DLL with rsrc as its only section.
inline QByteArray peWithResources(const QByteArray &rsrc)
{
    const int raw = 0x200;
    const int rawSize = (int(rsrc.size()) + 0x1ff) & ~0x1ff;
    QByteArray f(raw, '\0');
    auto p16 = [&](int at, quint16 v) { qToLittleEndian(v, f.data() + at); };
    auto p32 = [&](int at, quint32 v) { qToLittleEndian(v, f.data() + at); };
    f[0] = 'M';
    f[1] = 'Z';
    p32(0x3c, 0x40);
    f.replace(0x40, 4, QByteArray("PE\0\0", 4));
    p16(0x44, 0x8664); // x86-64
    p16(0x46, 1); // sections
    p16(0x54, 240); // optional header size
    p16(0x56, 0x2022); // executable DLL
    const int opt = 0x58;
    p16(opt, 0x20b);
    p32(opt + 32, 0x1000); // section alignment
    p32(opt + 36, 0x200); // file alignment
    p32(opt + 56, ResourceSection::Rva + ((rsrc.size() + 0xfff) & ~0xfff)); // image size
    p32(opt + 60, raw); // header size
    p16(opt + 68, 2);
    p32(opt + 108, 16);
    p32(opt + 112 + 16, ResourceSection::Rva);
    p32(opt + 112 + 20, quint32(rsrc.size()));
    const int sec = opt + 240;
    f.replace(sec, 8, QByteArray(".rsrc\0\0\0", 8));
    p32(sec + 8, quint32(rsrc.size()));
    p32(sec + 12, ResourceSection::Rva);
    p32(sec + 16, quint32(rawSize));
    p32(sec + 20, quint32(raw));
    p32(sec + 36, 0x40000040u); // initialised data, readable
    return f + rsrc + QByteArray(rawSize - rsrc.size(), '\0');
}

// An RT_ICON image: a DIB with doubled height and its AND mask. Each pixel's
// colour is given by pixel(x, y) as 0xAARRGGBB; 32 bits.
template<typename Pixel>
QByteArray iconDib(int side, Pixel pixel)
{
    const int stride = side * 4;
    const int maskStride = ((side + 31) / 32) * 4;
    QByteArray d(40 + stride * side + maskStride * side, '\0');
    uchar *p = reinterpret_cast<uchar *>(d.data());
    qToLittleEndian<quint32>(40, p);
    qToLittleEndian<qint32>(side, p + 4);
    qToLittleEndian<qint32>(2 * side, p + 8);
    qToLittleEndian<quint16>(1, p + 12);
    qToLittleEndian<quint16>(32, p + 14);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            qToLittleEndian<quint32>(pixel(x, y), p + 40 + stride * (side - 1 - y) + 4 * x);
    return d;
}

// An RT_GROUP_ICON naming icon id count times, each time as side x side at 32 bits.
inline QByteArray iconGroup(quint16 id, int side, quint32 imageSize, int count = 1)
{
    QByteArray g(6 + 14 * count, '\0');
    uchar *p = reinterpret_cast<uchar *>(g.data());
    qToLittleEndian<quint16>(1, p + 2);
    qToLittleEndian<quint16>(quint16(count), p + 4);
    for (int i = 0; i < count; ++i) {
        uchar *e = p + 6 + 14 * i;
        e[0] = e[1] = uchar(side >= 256 ? 0 : side);
        qToLittleEndian<quint16>(1, e + 4);
        qToLittleEndian<quint16>(32, e + 6);
        qToLittleEndian<quint32>(imageSize, e + 8);
        qToLittleEndian<quint16>(id, e + 12);
    }
    return g;
}

// A resource directory whose every entry, of type group icon, points back at
// the root: a reader that keeps no record of where it has been walks
// entries^3 directory entries (the root, then each entry as a name, then as a
// language).
inline QByteArray loopingResourceFile(int entries)
{
    ResourceSection r;
    const int root = r.reserveDirectory(entries);
    r.putDirectory(
        root, ResourceSection::Entries(entries, {14, ResourceSection::Subdir | quint32(root)}));
    return peWithResources(r.bytes());
}

// One 32 x 32 icon and types x names group entries naming it: types root
// entries of type group icon all share one name directory of names entries,
// which all share one language directory. Without the icon the file still
// reports types x names icons to a reader that follows every entry.
inline QByteArray sharedIconGroupFile(int types, int names, bool withIcon = true)
{
    ResourceSection r;
    const int root = r.reserveDirectory(types + (withIcon ? 1 : 0));
    const QByteArray dib
        = iconDib(32, [](int x, int y) { return 0xff000000u | quint32(x * 8 << 16 | y * 8); });
    ResourceSection::Entries top;
    if (withIcon) {
        const int iconNames
            = r.directory({{1, ResourceSection::Subdir | quint32(r.language(r.data(dib)))}});
        top.append({3, ResourceSection::Subdir | quint32(iconNames)});
    }
    const int groupLanguage = r.language(r.data(iconGroup(1, 32, quint32(dib.size()))));
    ResourceSection::Entries nameEntries;
    for (int i = 0; i < names; ++i)
        nameEntries.append({quint32(i + 1), ResourceSection::Subdir | quint32(groupLanguage)});
    const int groupNames = r.directory(nameEntries);
    for (int i = 0; i < types; ++i)
        top.append({14, ResourceSection::Subdir | quint32(groupNames)});
    r.putDirectory(root, top);
    return peWithResources(r.bytes());
}

// A well-formed tree of groups icon groups, each with its own name and
// language entries, all naming one side x side icon whose pixels come from
// pixel(x, y). With side 256 each group costs a full-size decode.
template<typename Pixel>
QByteArray manyIconGroupsFile(int groups, int side, Pixel pixel)
{
    ResourceSection r;
    const int root = r.reserveDirectory(2);
    const QByteArray dib = iconDib(side, pixel);
    const int iconNames
        = r.directory({{1, ResourceSection::Subdir | quint32(r.language(r.data(dib)))}});
    const int group = r.data(iconGroup(1, side, quint32(dib.size())));
    ResourceSection::Entries nameEntries;
    for (int i = 0; i < groups; ++i)
        nameEntries.append({quint32(i + 1), ResourceSection::Subdir | quint32(r.language(group))});
    const int groupNames = r.directory(nameEntries);
    r.putDirectory(root,
                   {{3, ResourceSection::Subdir | quint32(iconNames)},
                    {14, ResourceSection::Subdir | quint32(groupNames)}});
    return peWithResources(r.bytes());
}

// groups well-formed groups, each with its own entries, whose data all lie on
// one group payload that lists its one 32 x 32 icon images times.
inline QByteArray bigGroupFile(int groups, int images)
{
    ResourceSection r;
    const int root = r.reserveDirectory(2);
    const QByteArray dib
        = iconDib(32, [](int x, int y) { return 0xff000000u | quint32(x << 8 | y); });
    const int iconNames
        = r.directory({{1, ResourceSection::Subdir | quint32(r.language(r.data(dib)))}});
    const QByteArray payload = iconGroup(1, 32, quint32(dib.size()), images);
    const int first = r.data(payload);
    const int payloadAt
        = int(qFromLittleEndian<quint32>(r.bytes().constData() + first) - ResourceSection::Rva);
    ResourceSection::Entries names;
    for (int i = 0; i < groups; ++i) {
        const int entry = i ? r.dataEntry(payloadAt, int(payload.size())) : first;
        names.append({quint32(i + 1), ResourceSection::Subdir | quint32(r.language(entry))});
    }
    const int groupNames = r.directory(names);
    r.putDirectory(root,
                   {{3, ResourceSection::Subdir | quint32(iconNames)},
                    {14, ResourceSection::Subdir | quint32(groupNames)}});
    return peWithResources(r.bytes());
}

// A well-formed tree of groups icon groups, group i naming its own icon i
// (1-based), whose image is image(i): DIB or PNG bytes of side x side pixels.
template<typename Image>
QByteArray distinctIconsFile(int groups, int side, Image image)
{
    ResourceSection r;
    const int root = r.reserveDirectory(2);
    ResourceSection::Entries icons;
    ResourceSection::Entries names;
    for (int i = 1; i <= groups; ++i) {
        const QByteArray bytes = image(i);
        icons.append({quint32(i), ResourceSection::Subdir | quint32(r.language(r.data(bytes)))});
        const QByteArray group = iconGroup(quint16(i), side, quint32(bytes.size()));
        names.append({quint32(i), ResourceSection::Subdir | quint32(r.language(r.data(group)))});
    }
    const int iconNames = r.directory(icons);
    const int groupNames = r.directory(names);
    r.putDirectory(root,
                   {{3, ResourceSection::Subdir | quint32(iconNames)},
                    {14, ResourceSection::Subdir | quint32(groupNames)}});
    return peWithResources(r.bytes());
}

} // namespace tovradocs::Testing
