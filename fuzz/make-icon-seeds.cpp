// Writes hostile program files into <out>/corpus-pe and palette icons into
// <out>/corpus-ico: the files that once hung or exhausted the icon readers.

#include "tests/icons/hostilepe.h"

#include <QDir>
#include <QFile>

namespace {

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// A 4-bit icon whose neighbouring pixels differ, so a swapped nibble shows.
QByteArray fourBitIcon()
{
    const int side = 32;
    const int stride = 16;
    QByteArray f(6 + 16 + 40 + 64 + (stride + 4) * side, '\0');
    uchar *p = reinterpret_cast<uchar *>(f.data());
    qToLittleEndian<quint16>(1, p + 2);
    qToLittleEndian<quint16>(1, p + 4);
    p[6] = p[7] = side;
    qToLittleEndian<quint16>(4, p + 12);
    qToLittleEndian<quint32>(quint32(f.size() - 22), p + 14);
    qToLittleEndian<quint32>(22, p + 18);
    uchar *d = p + 22;
    qToLittleEndian<quint32>(40, d);
    qToLittleEndian<qint32>(side, d + 4);
    qToLittleEndian<qint32>(2 * side, d + 8);
    qToLittleEndian<quint16>(1, d + 12);
    qToLittleEndian<quint16>(4, d + 14);
    for (int i = 0; i < 16; ++i)
        qToLittleEndian<quint32>(quint32(i * 0x101010 + 0x0f), d + 40 + 4 * i);
    uchar *bits = d + 40 + 64;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; x += 2)
            bits[stride * y + x / 2] = uchar(((x + y) % 16) << 4 | ((x + y + 1) % 16));
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    using namespace tovradocs::Testing;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("corpus-pe"));
    out.mkpath(QStringLiteral("corpus-ico"));
    const auto pe = [&](const char *name, const QByteArray &bytes) {
        put(out.filePath(QStringLiteral("corpus-pe/") + QLatin1String(name)), bytes);
    };
    const auto plain = [](int x, int y) { return 0xff000000u | quint32(x << 16 | y << 8); };
    pe("loop-256", loopingResourceFile(256));
    pe("loop-4096", loopingResourceFile(4096));
    pe("one-icon-named-16m-times", sharedIconGroupFile(4095, 4096));
    pe("16m-icons-claimed", sharedIconGroupFile(4096, 4096, false));
    pe("groups-20000", manyIconGroupsFile(20000, 32, plain));
    pe("group-of-1024-shared", bigGroupFile(64, 1024));
    pe("distinct-icons", distinctIconsFile(8, 32, [](int i) {
           return iconDib(
               32, [i](int x, int y) { return 0xff000000u | quint32(i << 16 | x << 8 | y); });
       }));
    put(out.filePath(QStringLiteral("corpus-ico/four-bit")), fourBitIcon());
    return 0;
}
