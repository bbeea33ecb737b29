#include "palettefile.h"

#include <QFile>
#include <QtEndian>

namespace tovradocs::Internal {

namespace {

using ColorList = QList<QColor>;

Result<ColorList> readRiff(QByteArrayView bytes)
{
    const auto damaged = [] { return Result<ColorList>::failure(QStringLiteral("The palette file is damaged.")); };
    if (bytes.size() < 12 || bytes.sliced(8, 4) != QByteArrayView("PAL "))
        return Result<ColorList>::failure(QStringLiteral("The file is a RIFF file but not a palette."));
    // The RIFF size may disagree with the file; only the chunks inside the file count.
    qsizetype pos = 12;
    while (pos + 8 <= bytes.size()) {
        const QByteArrayView id = bytes.sliced(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes.data() + pos + 4);
        pos += 8;
        if (size > quint32(bytes.size() - pos))
            return damaged();
        if (id == QByteArrayView("data")) {
            if (size < 4)
                return damaged();
            const quint16 count = qFromLittleEndian<quint16>(bytes.data() + pos + 2);
            if (count == 0 || count > kMaxPaletteColors || 4 + quint32(count) * 4 > size)
                return damaged();
            ColorList colors;
            colors.reserve(count);
            for (int i = 0; i < count; ++i) {
                const char *e = bytes.data() + pos + 4 + i * 4;
                colors << QColor(quint8(e[0]), quint8(e[1]), quint8(e[2]));
            }
            return colors;
        }
        pos += size + (size & 1); // chunks are padded to even sizes
    }
    return Result<ColorList>::failure(QStringLiteral("The palette file holds no colours."));
}

Result<ColorList> readJasc(QByteArrayView bytes)
{
    const auto damaged = [](const QString &why) {
        return Result<ColorList>::failure(QStringLiteral("The palette file is damaged: %1").arg(why));
    };
    const QList<QByteArray> lines = bytes.toByteArray().split('\n');
    if (lines.size() < 3 || lines.at(1).trimmed() != "0100")
        return damaged(QStringLiteral("unknown version."));
    bool ok = false;
    const int count = lines.at(2).trimmed().toInt(&ok);
    if (!ok || count < 1 || count > kMaxPaletteColors)
        return damaged(QStringLiteral("impossible number of colours."));
    if (lines.size() < 3 + count)
        return damaged(QStringLiteral("fewer colours than it counts."));
    ColorList colors;
    colors.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QList<QByteArray> parts = lines.at(3 + i).simplified().split(' ');
        if (parts.size() < 3)
            return damaged(QStringLiteral("line %1 is not a colour.").arg(4 + i));
        int rgb[3];
        for (int c = 0; c < 3; ++c) {
            rgb[c] = parts.at(c).toInt(&ok);
            if (!ok || rgb[c] < 0 || rgb[c] > 255)
                return damaged(QStringLiteral("line %1 is not a colour.").arg(4 + i));
        }
        colors << QColor(rgb[0], rgb[1], rgb[2]);
    }
    return colors;
}

} // namespace

Result<QList<QColor>> readPalette(const QByteArray &bytes)
{
    if (bytes.startsWith("RIFF"))
        return readRiff(bytes);
    if (bytes.startsWith("JASC-PAL"))
        return readJasc(bytes);
    return Result<ColorList>::failure(QStringLiteral("The file is not a palette."));
}

Result<QList<QColor>> loadPaletteFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<ColorList>::failure(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    // The largest palette in either form is far below this.
    if (file.size() > 1 << 20)
        return Result<ColorList>::failure(QStringLiteral("%1 is too large for a palette.").arg(path));
    return readPalette(file.readAll());
}

QByteArray writeRiffPalette(const QList<QColor> &colors)
{
    const int count = int(qMin<qsizetype>(colors.size(), kMaxPaletteColors));
    const quint32 dataSize = 4 + quint32(count) * 4;
    QByteArray out;
    auto u32 = [&](quint32 v) { v = qToLittleEndian(v); out.append(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](quint16 v) { v = qToLittleEndian(v); out.append(reinterpret_cast<const char *>(&v), 2); };
    out += "RIFF";
    u32(4 + 8 + dataSize);
    out += "PAL data";
    u32(dataSize);
    u16(0x0300);
    u16(quint16(count));
    for (int i = 0; i < count; ++i) {
        const QColor &c = colors.at(i);
        out += char(c.red());
        out += char(c.green());
        out += char(c.blue());
        out += char(0);
    }
    return out;
}

QByteArray writeJascPalette(const QList<QColor> &colors)
{
    QByteArray out = "JASC-PAL\r\n0100\r\n" + QByteArray::number(colors.size()) + "\r\n";
    for (const QColor &c : colors)
        out += QByteArray::number(c.red()) + ' ' + QByteArray::number(c.green()) + ' '
            + QByteArray::number(c.blue()) + "\r\n";
    return out;
}

} // namespace tovradocs::Internal
