#include "hostilepe.h"
#include "iconfixture.h"

#include "icons/inifile.h"
#include "icons/peiconreader.h"
#include "support/peakmemory.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb Black = 0xff000000;

// Colours, screen pixels and inverse pixels in one pattern.
Planes samplePlanes()
{
    Planes p = Planes::blank();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if ((x + y) % 5 == 0)
                continue; // screen
            if (x == y) {
                p.image.setPixel(x, y, White); // inverse
                continue;
            }
            p.image.setPixel(x, y, qRgb(x * 8, y * 8, (x * y) % 256));
            p.mask.setPixel(x, y, Black);
        }
    return p;
}

// How a reader that knows only transparency should see our icon.
void compareAsAlpha(const QImage &seen, const Planes &planes)
{
    QCOMPARE(seen.size(), QSize(32, 32));
    const QImage got = seen.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool masked = planes.mask.pixel(x, y) == White;
            if (masked)
                QVERIFY2(qAlpha(got.pixel(x, y)) == 0, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            else
                QCOMPARE(got.pixel(x, y), planes.image.pixel(x, y) | 0xff000000);
        }
}

QByteArray dib(int w, int h, int bpp)
{
    QByteArray d(40, '\0');
    uchar *p = reinterpret_cast<uchar *>(d.data());
    qToLittleEndian<quint32>(40, p);
    qToLittleEndian<qint32>(w, p + 4);
    qToLittleEndian<qint32>(2 * h, p + 8);
    qToLittleEndian<quint16>(1, p + 12);
    qToLittleEndian<quint16>(quint16(bpp), p + 14);
    return d;
}

QByteArray icoWith(const QByteArray &image, quint16 count = 1, quint32 offset = 22)
{
    QByteArray f(22, '\0');
    uchar *p = reinterpret_cast<uchar *>(f.data());
    qToLittleEndian<quint16>(1, p + 2);
    qToLittleEndian<quint16>(count, p + 4);
    p[6] = 32;
    p[7] = 32;
    qToLittleEndian<quint32>(quint32(image.size()), p + 14);
    qToLittleEndian<quint32>(offset, p + 18);
    return f + image;
}

// A palette icon of side x side whose pixel (x, y) is colour index(x, y) of
// a table where entry i is colourOf(i).
QByteArray paletteDib(int side, int bpp, int (*index)(int, int))
{
    const int colours = 1 << bpp;
    const int stride = ((side * bpp + 31) / 32) * 4;
    const int maskStride = ((side + 31) / 32) * 4;
    QByteArray d
        = dib(side, side, bpp) + QByteArray(4 * colours + (stride + maskStride) * side, '\0');
    uchar *p = reinterpret_cast<uchar *>(d.data());
    for (int i = 0; i < colours; ++i)
        qToLittleEndian<quint32>(qRgb(i, 255 - i, (i * 37) & 255) & 0xffffff, p + 40 + 4 * i);
    uchar *bits = p + 40 + 4 * colours;
    for (int y = 0; y < side; ++y) {
        uchar *row = bits + stride * (side - 1 - y); // bottom-up
        for (int x = 0; x < side; ++x) {
            const int bit = x * bpp; // leftmost pixel in the highest bits
            row[bit / 8] |= uchar(index(x, y) << (8 - bpp - bit % 8));
        }
    }
    return d;
}

QByteArray pngIcon(int side, QRgb colour)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return png;
}

} // namespace

class TestIconFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void planesSurviveOurFilesAndOtherReaders();
    void compositeShowsScreenAndInverse();
    void otherToolsMultiSizeAlphaIcons();
    void damagedIconFiles_data();
    void damagedIconFiles();
    void settingsFile();
    void settingsFileUnwritable();
    void iconsInsideLibraries();
    void damagedLibraries_data();
    void damagedLibraries();
    void paletteIconsKeepPixelOrder_data();
    void paletteIconsKeepPixelOrder();
    void hostileLibrariesAreRefusedOrBounded_data();
    void hostileLibrariesAreRefusedOrBounded();
    void groupsNamingOneImageShareIt();
    void stopIsHeardInsideAFile();

private:
    QTemporaryDir m_dir;
    QString m_library;
    // Made by icotool: 16, 32 and 48 pixels with alpha; a 32 pixel PNG inside.
    QString m_bmpIco;
    QString m_pngIco;
};

void TestIconFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_library = m_dir.filePath(QStringLiteral("three.dll"));
    if (QStandardPaths::findExecutable(QStringLiteral("icotool")).isEmpty())
        return;
    QStringList pngs;
    for (int side : {16, 32, 48}) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(0);
        for (int i = 0; i < side; ++i)
            image.setPixel(i, i, qRgba(side * 5, 0, 200, 255));
        image.setPixel(side - 1, 0, qRgba(10, 20, 30, 100));
        pngs << m_dir.filePath(QStringLiteral("a%1.png").arg(side));
        QVERIFY(image.save(pngs.last()));
    }
    m_bmpIco = m_dir.filePath(QStringLiteral("multi.ico"));
    QVERIFY(runTool(QStringLiteral("icotool"),
                    QStringList{QStringLiteral("-c"), QStringLiteral("-o"), m_bmpIco} + pngs));
    m_pngIco = m_dir.filePath(QStringLiteral("multi-png.ico"));
    QVERIFY(runTool(QStringLiteral("icotool"),
                    {QStringLiteral("-c"), QStringLiteral("-o"), m_pngIco, QStringLiteral("--raw=") + pngs.at(1)}));
}

void TestIconFiles::planesSurviveOurFilesAndOtherReaders()
{
    const Planes planes = samplePlanes();
    QCOMPARE(Planes::fromIcon(planes.toIcon()), planes);
    const QString file = m_dir.filePath(QStringLiteral("round.ico"));
    QVERIFY(Ico::writeFile(file, planes.toIcon()));
    const auto read = Ico::readFile(file);
    QVERIFY2(read, qPrintable(read.error()));
    QVERIFY(!read->hasAlpha);
    QCOMPARE(Planes::fromIcon(*read), planes);

    compareAsAlpha(QImage(file, "ICO"), planes);
    if (m_bmpIco.isEmpty())
        QSKIP("icotool is not installed (scripts/setup-debian.sh installs icoutils)");
    QByteArray listing;
    QVERIFY(runTool(QStringLiteral("icotool"), {QStringLiteral("-l"), file}, &listing));
    QVERIFY2(listing.contains("--width=32 --height=32 --bit-depth=32"), listing.constData());
    const QString png = m_dir.filePath(QStringLiteral("round-icotool.png"));
    QVERIFY(runTool(QStringLiteral("icotool"), {QStringLiteral("-x"), QStringLiteral("-o"), png, file}));
    compareAsAlpha(QImage(png), planes);
    const QString gmPng = m_dir.filePath(QStringLiteral("round-gm.png"));
    QVERIFY(runTool(QStringLiteral("gm"), {QStringLiteral("convert"), file, QStringLiteral("PNG32:") + gmPng}));
    compareAsAlpha(QImage(gmPng), planes);
}

void TestIconFiles::compositeShowsScreenAndInverse()
{
    const Planes planes = samplePlanes();
    const QRgb screen = qRgb(0, 128, 255);
    const QImage look = planes.toIcon().composite(screen);
    QCOMPARE(look.pixel(0, 0), screen);                                 // screen pixel
    QCOMPARE(look.pixel(3, 3), qRgb(255, 127, 0));                      // inverse pixel
    QCOMPARE(look.pixel(1, 2), planes.image.pixel(1, 2) | 0xff000000); // opaque
    const QImage host = planes.toIcon().toImage();
    QCOMPARE(qAlpha(host.pixel(0, 0)), 0);
    QCOMPARE(host.pixel(3, 3), Black);
}

void TestIconFiles::otherToolsMultiSizeAlphaIcons()
{
    if (m_bmpIco.isEmpty())
        QSKIP("icotool is not installed");
    for (const QString &file : {m_bmpIco, m_pngIco}) {
        const auto icon = Ico::readFile(file);
        QVERIFY2(icon, qPrintable(icon.error()));
        QCOMPARE(icon->size(), QSize(32, 32));
        QVERIFY(icon->hasAlpha);
        QCOMPARE(icon->colour.pixel(5, 5), qRgba(160, 0, 200, 255));
        QCOMPARE(qAlpha(icon->colour.pixel(31, 0)), 100);
        QCOMPARE(qAlpha(icon->colour.pixel(5, 6)), 0);
        const Planes planes = Planes::fromIcon(*icon);
        QCOMPARE(planes.mask.pixel(5, 6), White);
        QCOMPARE(planes.image.pixel(5, 6), Black); // no inverse pixels from alpha icons
        QCOMPARE(planes.mask.pixel(31, 0), White);  // alpha 100 is below half
    }
}

void TestIconFiles::damagedIconFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = Ico::write(samplePlanes().toIcon());
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << good.left(6);
    QTest::newRow("truncated pixels") << good.left(good.size() / 2);
    QByteArray many = good;
    qToLittleEndian<quint16>(65535, many.data() + 4);
    QTest::newRow("65535 images") << many;
    QTest::newRow("offset past end") << icoWith(dib(32, 32, 24), 1, 1u << 30);
    QTest::newRow("odd depth") << icoWith(dib(32, 32, 7) + QByteArray(4096, '\0'));
    QTest::newRow("huge dib") << icoWith(dib(1 << 20, 1 << 20, 32));
    QTest::newRow("negative width") << icoWith(dib(-32, 32, 24) + QByteArray(4096, '\0'));
    QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    QByteArray size(8, '\0');
    qToBigEndian<quint32>(100000, size.data());
    qToBigEndian<quint32>(100000, size.data() + 4);
    QTest::newRow("png bomb") << icoWith(png + size + QByteArray("\x08\x06\0\0\0", 5) + QByteArray(64, 'x'));
    QTest::newRow("png garbage") << icoWith(png + QByteArray("\0\0\0\x20\0\0\0\x20", 8) + QByteArray(40, 'x'));
}

void TestIconFiles::damagedIconFiles()
{
    QFETCH(QByteArray, file);
    const auto icon = Ico::read(file);
    QVERIFY(!icon);
    QVERIFY(!icon.error().isEmpty());
}

void TestIconFiles::settingsFile()
{
    const QString path = m_dir.filePath(QStringLiteral("IconKit.INI"));
    IniFile none(path);
    for (const auto &flag : IconKit::flags())
        QCOMPARE(IconKit::readFlag(none, flag.key), flag.fallback);

    QVERIFY(writeFile(path, "; kept\r\n[Other]\r\nGrid=1\r\n\r\n[icon editor]\r\nGRID=2\r\nStatus Bar=-1\r\n"
                            "this line is damaged\r\n[broken\r\nTool Palette = 0 \r\nColors Row2=00000001 00000002\r\n"
                            "Unknown Key=7\r\n"));
    IniFile ini(path);
    QVERIFY(IconKit::readFlag(ini, "Grid"));
    QVERIFY(!IconKit::readFlag(ini, "Status Bar"));
    QVERIFY(!IconKit::readFlag(ini, "Tool Palette"));
    QVERIFY(IconKit::readFlag(ini, "Color Palette")); // missing: default
    IconKit kit;
    kit.loadPaletteFrom(ini);
    QCOMPARE(kit.palette[16], 1);
    QCOMPARE(kit.palette[17], 2);
    QCOMPARE(kit.palette[18], 0);
    QCOMPARE(kit.palette[0], 16777215); // row 1 missing: default

    kit.palette[0] = 33023;
    kit.writePaletteTo(ini);
    ini.setValue(IconKit::section(), QStringLiteral("Dotted Grid"), QStringLiteral("1"));
    QVERIFY(ini.save(path));
    const QByteArray text = fileContents(path);
    QVERIFY(text.startsWith("; kept\r\n[Other]\r\nGrid=1\r\n"));
    QVERIFY(text.contains("Colors Row1=00033023 14737632 "));
    QVERIFY(text.contains("this line is damaged\r\n"));
    QVERIFY(text.contains("Unknown Key=7\r\n"));
    IniFile again(path);
    QVERIFY(IconKit::readFlag(again, "Dotted Grid"));
    IconKit reread;
    reread.loadPaletteFrom(again);
    QCOMPARE(reread.palette, kit.palette);
}

void TestIconFiles::settingsFileUnwritable()
{
    // A folder in the file's place can be neither read nor replaced, even by root.
    const QString path = m_dir.filePath(QStringLiteral("blocked/IconKit.INI"));
    QVERIFY(QDir().mkpath(path));
    IniFile ini(path);
    QVERIFY(IconKit::readFlag(ini, "Status Bar"));
    QVERIFY(!IconKit::readFlag(ini, "Grid"));
    ini.setValue(IconKit::section(), QStringLiteral("Grid"), QStringLiteral("1"));
    QVERIFY(!ini.save(path));
    QVERIFY(QFileInfo(path).isDir());
}

void TestIconFiles::iconsInsideLibraries()
{
    if (!haveMinGw() || m_pngIco.isEmpty())
        QSKIP("MinGW binutils or icoutils are not installed (scripts/setup-debian.sh installs them)");
    const Planes planes = samplePlanes();
    const QString plain = m_dir.filePath(QStringLiteral("plain.ico"));
    QVERIFY(Ico::writeFile(plain, planes.toIcon()));
    const QString green = m_dir.filePath(QStringLiteral("green.ico"));
    QVERIFY(Ico::writeFile(green, filledIcon(qRgb(0, 200, 0))));
    QVERIFY(buildIconLibrary(m_library, {plain, green, m_pngIco}));

    QCOMPARE(iconCountOfFile(m_library), 3);
    const auto first = iconOfFile(m_library, 0);
    QVERIFY2(first, qPrintable(first.error()));
    QCOMPARE(Planes::fromIcon(*first), planes);
    QCOMPARE(iconOfFile(m_library, 1)->colour.pixel(7, 9), qRgb(0, 200, 0));
    const auto third = iconOfFile(m_library, 2);
    QVERIFY2(third, qPrintable(third.error()));
    QCOMPARE(third->size(), QSize(32, 32));
    QCOMPARE(third->colour.pixel(5, 5), qRgba(160, 0, 200, 255));
    QVERIFY(!iconOfFile(m_library, 3));

    // Not PE, and an icon file counts as one icon.
    QCOMPARE(iconCountOfFile(plain), 1);
    QCOMPARE(iconCountOfFile(m_library + QStringLiteral(".rc")), 0);
}

void TestIconFiles::damagedLibraries_data()
{
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("patchAt"); // -1: none; else relative to the resource directory
    QTest::addColumn<quint32>("value");
    QTest::newRow("truncated headers") << 300 << -1 << 0u;
    QTest::newRow("truncated resources") << -200 << -1 << 0u;
    QTest::newRow("type entry loops to root") << 0 << 20 << 0x80000000u;
    QTest::newRow("entry count 65535") << 0 << 14 << 0xffffu;
    QTest::newRow("subdirectory past the end") << 0 << 20 << 0xfffffff0u;
}

void TestIconFiles::damagedLibraries()
{
    QFETCH(int, cut);
    QFETCH(int, patchAt);
    QFETCH(quint32, value);
    QByteArray data = fileContents(m_library);
    if (data.isEmpty())
        QSKIP("needs the library built by iconsInsideLibraries");
    if (cut > 0)
        data.truncate(cut);
    else if (cut < 0)
        data.chop(-cut);
    if (patchAt >= 0) {
        // The .rsrc section's raw data: find it by name in the section table.
        const qsizetype sec = data.indexOf(QByteArray(".rsrc\0\0\0", 8));
        QVERIFY(sec > 0);
        const quint32 raw = qFromLittleEndian<quint32>(data.constData() + sec + 20);
        if (patchAt == 14)
            qToLittleEndian<quint16>(quint16(value), data.data() + raw + 14);
        else
            qToLittleEndian<quint32>(value, data.data() + raw + patchAt);
    }
    const PeIconReader reader(data);
    if (!reader.isValid())
        QVERIFY(!reader.error().isEmpty());
    int decoded = 0;
    for (int i = 0; i < reader.iconCount(); ++i)
        decoded += reader.icon(i).ok() ? 1 : 0;
    QVERIFY(decoded < 3 || cut < 0);
}

void TestIconFiles::paletteIconsKeepPixelOrder_data()
{
    QTest::addColumn<int>("bpp");
    QTest::addColumn<void *>("index");
    // Neighbours differ, so pixels read from the wrong part of a byte show.
    QTest::newRow("1 bit: the high bit is the left pixel")
        << 1 << reinterpret_cast<void *>(+[](int x, int y) { return (x / 3 + y) % 2; });
    QTest::newRow("4 bits: the high nibble is the left pixel")
        << 4 << reinterpret_cast<void *>(+[](int x, int y) { return (x + 3 * y) % 16; });
    QTest::newRow("8 bits") << 8 << reinterpret_cast<void *>(+[](int x, int y) {
        return (x * 7 + y) % 256;
    });
}

void TestIconFiles::paletteIconsKeepPixelOrder()
{
    QFETCH(int, bpp);
    QFETCH(void *, index);
    const auto at = reinterpret_cast<int (*)(int, int)>(index);
    const auto icon = Ico::read(icoWith(paletteDib(32, bpp, at)));
    QVERIFY2(icon, qPrintable(icon.error()));
    QCOMPARE(icon->size(), QSize(32, 32));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int i = at(x, y);
            if (icon->colour.pixel(x, y) != qRgb(i, 255 - i, (i * 37) & 255))
                QFAIL(qPrintable(
                    QStringLiteral("pixel %1,%2 is not colour %3").arg(x).arg(y).arg(i)));
        }
}

void TestIconFiles::hostileLibrariesAreRefusedOrBounded_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("icons");
    QTest::addColumn<QString>("why");
    const QString loop = QStringLiteral("leads back to a part already read");
    const auto plain = [](int x, int y) { return 0xff000000u | quint32(x << 16 | y << 8); };
    QTest::newRow("256 type entries pointing back at the root")
        << loopingResourceFile(256) << 0 << loop;
    QTest::newRow("4096 type entries pointing back at the root")
        << loopingResourceFile(4096) << 0 << loop;
    QTest::newRow("one icon named 4095 x 4096 times")
        << sharedIconGroupFile(4095, 4096) << 0 << loop;
    QTest::newRow("16777216 icons claimed, none held")
        << sharedIconGroupFile(4096, 4096, false) << 0 << loop;
    QTest::newRow("20000 groups") << manyIconGroupsFile(20000, 32, plain) << PeIconReader::MaxIcons
                                  << QStringLiteral("names 20000 icons");
    // 256 x 256 pixels each: the pixel budget stops after 128 of them.
    QTest::newRow("200 icons of 256 pixels")
        << distinctIconsFile(200, 256, [](int i) { return pngIcon(256, qRgb(i, 0, 0)); })
        << int(MaxIconPixelsPerFile / (256 * 256)) << QStringLiteral("more pixels than real icons");
    // Holding no icons is no damage: nothing to report.
    QTest::newRow("a program without resources") << peWithResources(QByteArray()) << 0 << QString();
    QTest::newRow("4096 groups sharing one listing 1024 images")
        << bigGroupFile(4096, 1024) << 4096 << QString();
    QTest::newRow("4096 groups sharing one listing 65535 images")
        << bigGroupFile(4096, 65535) << 0
        << QStringLiteral("4096 of its icons are damaged and were left out: "
                          "The icon group lists 65535 images");
}

void TestIconFiles::hostileLibrariesAreRefusedOrBounded()
{
    QFETCH(QByteArray, file);
    QFETCH(int, icons);
    QFETCH(QString, why);
    const QString path = m_dir.filePath(QStringLiteral("hostile.dll"));
    QVERIFY(writeFile(path, file));
    FileIcons read;
    const qint64 growth = peakGrowth([&] { read = iconsOfFile(path); });
    QCOMPARE(read.icons.size(), icons);
    QVERIFY2(why.isEmpty() ? read.problem.isEmpty() : read.problem.contains(why),
             qPrintable(read.problem));
    QVERIFY(!read.cancelled);
    QVERIFY2(growth < 256 * MiB, qPrintable(QStringLiteral("%1 MB").arg(growth / MiB)));
    if (why.contains(u"leads back")) {
        QString error;
        QCOMPARE(iconCountOfFile(path, &error), 0);
        QVERIFY2(error.contains(why), qPrintable(error));
    }
}

void TestIconFiles::groupsNamingOneImageShareIt()
{
    const QString path = m_dir.filePath(QStringLiteral("shared.dll"));
    QVERIFY(writeFile(path, manyIconGroupsFile(50, 32, [](int x, int y) {
                          return 0xff000000u | quint32(x * 8 << 16 | y);
                      })));
    const FileIcons read = iconsOfFile(path);
    QCOMPARE(read.icons.size(), 50);
    QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
    QCOMPARE(read.icons.last().colour.pixel(3, 4), qRgb(24, 0, 4));
    // Decoded once: every icon is the same picture, not a copy of it.
    for (const IconImage &icon : read.icons)
        QCOMPARE(icon.colour.cacheKey(), read.icons.first().colour.cacheKey());
}

void TestIconFiles::stopIsHeardInsideAFile()
{
    const QString path = m_dir.filePath(QStringLiteral("many.dll"));
    QVERIFY(writeFile(path, distinctIconsFile(64, 32, [](int i) {
                          return iconDib(32, [i](int, int) { return 0xff000000u | quint32(i); });
                      })));
    const FileIcons all = iconsOfFile(path);
    QCOMPARE(all.icons.size(), 64);
    QCOMPARE(all.icons.at(9).colour.pixel(0, 0), 0xff000000u | 10u); // in resource order
    int asked = 0;
    const FileIcons stopped = iconsOfFile(path, [&] { return ++asked > 2; });
    QVERIFY(stopped.cancelled);
    QCOMPARE(stopped.icons.size(), 2);
    QCOMPARE(asked, 3);
}

QTEST_GUILESS_MAIN(TestIconFiles)
#include "tst_iconfiles.moc"
