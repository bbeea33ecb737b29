#include "icons/iconimage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <QtEndian>

namespace tovradocs::Internal {

namespace {

quint16 u16(QByteArrayView d, qsizetype at) { return qFromLittleEndian<quint16>(d.data() + at); }
quint32 u32(QByteArrayView d, qsizetype at) { return qFromLittleEndian<quint32>(d.data() + at); }
qint32 s32(QByteArrayView d, qsizetype at) { return qFromLittleEndian<qint32>(d.data() + at); }


bool isPng(QByteArrayView d)
{
    return d.size() >= 8 && d.first(8) == QByteArrayView("\x89PNG\r\n\x1a\n", 8);
}

Result<IconImage> decodePng(QByteArrayView data)
{
    // The IHDR chunk comes first; its size is checked before the decoder allocates.
    if (data.size() < 33 || data.sliced(12, 4) != QByteArrayView("IHDR"))
        return Result<IconImage>::failure(QStringLiteral("The PNG icon has no header."));
    const quint32 w = qFromBigEndian<quint32>(data.data() + 16);
    const quint32 h = qFromBigEndian<quint32>(data.data() + 20);
    if (w == 0 || h == 0 || w > Ico::MaxSide || h > Ico::MaxSide)
        return Result<IconImage>::failure(
            QStringLiteral("The PNG icon is %1 x %2 pixels, more than an icon holds.").arg(w).arg(h));
    QByteArray bytes = data.toByteArray();
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "png");
    QImage image;
    if (!reader.read(&image) || image.size() != QSize(int(w), int(h)))
        return Result<IconImage>::failure(QStringLiteral("The PNG icon cannot be decoded."));
    IconImage icon;
    icon.colour = image.convertToFormat(QImage::Format_ARGB32);
    icon.mask = QImage(icon.colour.size(), QImage::Format_RGB32);
    if (icon.colour.isNull() || icon.mask.isNull())
        return Result<IconImage>::failure(
            QStringLiteral("There is not enough memory for the icon image."));
    for (int y = 0; y < icon.colour.height(); ++y) {
        const QRgb *c = reinterpret_cast<const QRgb *>(icon.colour.constScanLine(y));
        QRgb *m = reinterpret_cast<QRgb *>(icon.mask.scanLine(y));
        for (int x = 0; x < icon.colour.width(); ++x)
            m[x] = qAlpha(c[x]) == 0 ? OpaqueWhite : OpaqueBlack;
    }
    icon.hasAlpha = true;
    return icon;
}

Result<IconImage> decodeDib(QByteArrayView d)
{
    auto fail = [](const QString &text) { return Result<IconImage>::failure(text); };
    if (d.size() < 40)
        return fail(QStringLiteral("The icon image is truncated."));
    const quint32 headerSize = u32(d, 0);
    const qint32 width = s32(d, 4);
    const qint32 doubled = s32(d, 8);
    const int bpp = u16(d, 14);
    const quint32 compression = u32(d, 16);
    quint32 colours = u32(d, 32);
    if (headerSize < 40 || headerSize > quint32(d.size()))
        return fail(QStringLiteral("The icon image header is damaged."));
    if (width <= 0 || width > Ico::MaxSide || doubled <= 0 || doubled > 2 * Ico::MaxSide)
        return fail(QStringLiteral("The icon image has an impossible size."));
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return fail(QStringLiteral("Icons of %1 bits per pixel are not supported.").arg(bpp));
    if (compression != 0 && !(compression == 3 && bpp == 32))
        return fail(QStringLiteral("Compressed icon images are not supported."));
    // Some writers leave the height undoubled when there is no mask.
    const int height = doubled == width ? doubled : doubled / 2;
    if (height <= 0)
        return fail(QStringLiteral("The icon image has an impossible size."));

    qsizetype at = headerSize;
    if (compression == 3)
        at += headerSize == 40 ? 12 : 0; // channel masks follow a plain header
    QList<QRgb> table;
    if (bpp <= 8) {
        const quint32 full = 1u << bpp;
        if (colours == 0 || colours > full)
            colours = full;
        if (at + qsizetype(colours) * 4 > d.size())
            return fail(QStringLiteral("The icon's colour table is truncated."));
        table.resize(full, OpaqueBlack);
        for (quint32 i = 0; i < colours; ++i)
            table[i] = 0xff000000 | (u32(d, at + 4 * i) & 0xffffff);
        at += colours * 4;
    }
    const qsizetype stride = ((qsizetype(width) * bpp + 31) / 32) * 4;
    const qsizetype maskStride = ((width + 31) / 32) * 4;
    if (at + stride * height > d.size())
        return fail(QStringLiteral("The icon image is truncated."));
    const uchar *bits = reinterpret_cast<const uchar *>(d.data()) + at;
    const bool haveMask = at + stride * height + maskStride * height <= d.size();
    const uchar *maskBits = bits + stride * height;

    IconImage icon;
    icon.colour = QImage(width, height, QImage::Format_ARGB32);
    icon.mask = QImage(width, height, QImage::Format_RGB32);
    if (icon.colour.isNull() || icon.mask.isNull())
        return fail(QStringLiteral("There is not enough memory for the icon image."));
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const uchar *row = bits + stride * (height - 1 - y);
        QRgb *c = reinterpret_cast<QRgb *>(icon.colour.scanLine(y));
        for (int x = 0; x < width; ++x) {
            switch (bpp) {
            case 1: c[x] = table[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
            case 4: c[x] = table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case 8: c[x] = table[row[x]]; break;
            case 24: c[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            default:
                c[x] = qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
                anyAlpha = anyAlpha || row[4 * x + 3] != 0;
            }
        }
    }
    if (bpp == 32 && !anyAlpha)
        for (int y = 0; y < height; ++y) {
            QRgb *c = reinterpret_cast<QRgb *>(icon.colour.scanLine(y));
            for (int x = 0; x < width; ++x)
                c[x] |= 0xff000000;
        }
    // A 32-bit image whose alpha is only 0 or 255 and agrees with its AND mask is
    // a classic icon written with alpha for newer readers: keep its inverse pixels.
    if (anyAlpha && haveMask) {
        bool classic = true;
        for (int y = 0; y < height && classic; ++y) {
            const QRgb *c = reinterpret_cast<const QRgb *>(icon.colour.constScanLine(y));
            const uchar *row = maskBits + maskStride * (height - 1 - y);
            for (int x = 0; x < width && classic; ++x) {
                const int a = qAlpha(c[x]);
                const bool bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
                classic = (a == 0 && bit) || (a == 255 && !bit);
            }
        }
        if (classic) {
            anyAlpha = false;
            for (int y = 0; y < height; ++y) {
                QRgb *c = reinterpret_cast<QRgb *>(icon.colour.scanLine(y));
                for (int x = 0; x < width; ++x)
                    c[x] = qAlpha(c[x]) == 0 && (c[x] & 0xffffff) != 0xffffff ? OpaqueBlack : (c[x] | 0xff000000);
            }
        }
    }
    icon.hasAlpha = anyAlpha;
    for (int y = 0; y < height; ++y) {
        QRgb *m = reinterpret_cast<QRgb *>(icon.mask.scanLine(y));
        const QRgb *c = reinterpret_cast<const QRgb *>(icon.colour.constScanLine(y));
        const uchar *row = maskBits + maskStride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const bool set = anyAlpha ? qAlpha(c[x]) == 0
                                      : haveMask && ((row[x >> 3] >> (7 - (x & 7))) & 1);
            m[x] = set ? OpaqueWhite : OpaqueBlack;
        }
    }
    return icon;
}

struct DirEntry
{
    int width = 0;
    int height = 0;
    int bpp = 0;
    quint32 size = 0;
    quint32 offset = 0;
};

} // namespace

QImage IconImage::composite(QRgb screen) const
{
    QImage out(colour.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        const QRgb *c = reinterpret_cast<const QRgb *>(colour.constScanLine(y));
        const QRgb *m = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        QRgb *o = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (hasAlpha) {
                const int a = qAlpha(c[x]);
                auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
                o[x] = qRgb(mix(qRed(c[x]), qRed(screen)), mix(qGreen(c[x]), qGreen(screen)),
                            mix(qBlue(c[x]), qBlue(screen)));
            } else {
                // (screen AND mask) XOR colour, as the display combines the two.
                const QRgb under = (m[x] & 0xffffff) ? screen : 0;
                o[x] = 0xff000000 | ((under ^ c[x]) & 0xffffff);
            }
        }
    }
    return out;
}

QImage IconImage::toImage() const
{
    if (hasAlpha)
        return colour;
    QImage out(colour.size(), QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        const QRgb *c = reinterpret_cast<const QRgb *>(colour.constScanLine(y));
        const QRgb *m = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        QRgb *o = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (!(m[x] & 0xffffff))
                o[x] = c[x] | 0xff000000;
            else
                o[x] = (c[x] & 0xffffff) ? OpaqueBlack : 0;
        }
    }
    return out;
}

IconImage IconImage::scaled32() const
{
    if (size() == QSize(32, 32) || isNull())
        return *this;
    IconImage out = *this;
    out.colour = colour.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    out.mask = mask.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return out;
}

IconImage IconImage::blank(int width, int height)
{
    IconImage icon;
    icon.colour = QImage(width, height, QImage::Format_ARGB32);
    icon.colour.fill(OpaqueBlack);
    icon.mask = QImage(width, height, QImage::Format_RGB32);
    icon.mask.fill(OpaqueWhite);
    return icon;
}

namespace Ico {

Result<IconImage> decodeImage(QByteArrayView data)
{
    return isPng(data) ? decodePng(data) : decodeDib(data);
}

int imageCount(QByteArrayView file)
{
    if (file.size() < 6 || u16(file, 0) != 0 || (u16(file, 2) != 1 && u16(file, 2) != 2))
        return 0;
    return u16(file, 4);
}

Result<IconImage> read(QByteArrayView file)
{
    const int count = imageCount(file);
    if (count == 0)
        return Result<IconImage>::failure(QStringLiteral("This is not an icon file."));
    if (6 + 16 * qsizetype(count) > file.size())
        return Result<IconImage>::failure(
            QStringLiteral("The icon file lists %1 images but is too short to hold them.").arg(count));
    int best = -1;
    DirEntry chosen;
    auto score = [](const DirEntry &e) {
        // Exactly 32 first, then the nearest larger, then the nearest smaller; deeper wins ties.
        const int side = qMax(e.width, e.height);
        const int distance = side == 32 ? 0 : side > 32 ? side - 32 : 1000 + 32 - side;
        return distance * 64 - e.bpp;
    };
    for (int i = 0; i < count; ++i) {
        const qsizetype at = 6 + 16 * qsizetype(i);
        DirEntry e;
        e.width = uchar(file[at]) ? uchar(file[at]) : 256;
        e.height = uchar(file[at + 1]) ? uchar(file[at + 1]) : 256;
        e.bpp = u16(file, at + 6);
        e.size = u32(file, at + 8);
        e.offset = u32(file, at + 12);
        if (e.size == 0 || qint64(e.offset) + e.size > file.size())
            continue;
        if (best < 0 || score(e) < score(chosen)) {
            best = i;
            chosen = e;
        }
    }
    if (best < 0)
        return Result<IconImage>::failure(QStringLiteral("The icon file's images lie past its end."));
    return decodeImage(file.sliced(chosen.offset, chosen.size));
}

Result<IconImage> readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Result<IconImage>::failure(f.errorString());
    // An icon of 256 x 256 at 32 bits is about 270 kB; bigger files are not icons.
    if (f.size() > 16 * 1024 * 1024)
        return Result<IconImage>::failure(QStringLiteral("The file is too large for an icon."));
    return read(f.readAll());
}

QByteArray write(const IconImage &icon)
{
    const int w = icon.colour.width();
    const int h = icon.colour.height();
    // Always 32 bits: readers that know only alpha see screen and inverse pixels
    // as transparent, and the AND mask keeps them apart for us.
    const int bpp = 32;
    const qsizetype stride = ((qsizetype(w) * bpp + 31) / 32) * 4;
    const qsizetype maskStride = ((w + 31) / 32) * 4;
    const quint32 imageSize = 40 + quint32(stride * h + maskStride * h);

    QByteArray out(6 + 16 + imageSize, '\0');
    uchar *p = reinterpret_cast<uchar *>(out.data());
    qToLittleEndian<quint16>(1, p + 2);
    qToLittleEndian<quint16>(1, p + 4);
    p[6] = uchar(w >= 256 ? 0 : w);
    p[7] = uchar(h >= 256 ? 0 : h);
    qToLittleEndian<quint16>(1, p + 10);
    qToLittleEndian<quint16>(quint16(bpp), p + 12);
    qToLittleEndian<quint32>(imageSize, p + 14);
    qToLittleEndian<quint32>(22, p + 18);
    uchar *b = p + 22;
    qToLittleEndian<quint32>(40, b);
    qToLittleEndian<qint32>(w, b + 4);
    qToLittleEndian<qint32>(2 * h, b + 8);
    qToLittleEndian<quint16>(1, b + 12);
    qToLittleEndian<quint16>(quint16(bpp), b + 14);
    qToLittleEndian<quint32>(quint32(stride * h + maskStride * h), b + 20);
    uchar *bits = b + 40;
    uchar *maskBits = bits + stride * h;
    for (int y = 0; y < h; ++y) {
        const QRgb *c = reinterpret_cast<const QRgb *>(icon.colour.constScanLine(y));
        const QRgb *m = reinterpret_cast<const QRgb *>(icon.mask.constScanLine(y));
        uchar *row = bits + stride * (h - 1 - y);
        uchar *mrow = maskBits + maskStride * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            uchar *px = row + x * (bpp / 8);
            px[0] = uchar(qBlue(c[x]));
            px[1] = uchar(qGreen(c[x]));
            px[2] = uchar(qRed(c[x]));
            const bool set = icon.hasAlpha ? qAlpha(c[x]) == 0 : (m[x] & 0xffffff) != 0;
            px[3] = icon.hasAlpha ? uchar(qAlpha(c[x])) : set ? 0 : 255;
            if (set)
                mrow[x >> 3] |= uchar(0x80 >> (x & 7));
        }
    }
    return out;
}

Outcome writeFile(const QString &path, const IconImage &icon)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return Outcome::failure(f.errorString());
    f.write(write(icon));
    if (!f.commit())
        return Outcome::failure(f.errorString());
    return {};
}

} // namespace Ico

} // namespace tovradocs::Internal
