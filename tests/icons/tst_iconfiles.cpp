#include "iconfixture.h"

#include "icons/inifile.h"
#include "icons/peiconreader.h"

#include <QImage>
#include <QtEndian>

using namespace tovradocs::Internal;
using tovradocs::Testing::fileContents;
using tovradocs::Testing::writeFile;

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

QTEST_GUILESS_MAIN(TestIconFiles)
#include "tst_iconfiles.moc"
