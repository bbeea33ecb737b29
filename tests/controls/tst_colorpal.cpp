#include "controls/colorpal.h"
#include "controls/palettefile.h"
#include "support/testhost.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

const QList<QColor> kColours = {QColor(0, 0, 0), QColor(255, 128, 1), QColor(17, 34, 51), QColor(255, 255, 255)};

} // namespace

class TestColorPal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsItsOwnAndOtherWritersPalettes()
    {
        QCOMPARE(*readPalette(writeRiffPalette(kColours)), kColours);
        QCOMPARE(*readPalette(writeJascPalette(kColours)), kColours);
        QCOMPARE(writeRiffPalette(kColours).size(), 24 + 4 * 4);

        // Unix line ends, extra blanks, a trailing alpha column.
        const QByteArray jasc = "JASC-PAL\n0100\n2\n  1   2 3\n4 5 6 255\n";
        QCOMPARE(*readPalette(jasc), (QList<QColor> {QColor(1, 2, 3), QColor(4, 5, 6)}));
        // A RIFF palette with an odd-sized chunk before its data and a wrong RIFF size.
        QByteArray riff = writeRiffPalette(kColours);
        riff.insert(12, QByteArray("INFO\x03\x00\x00\x00xyz\x00", 12));
        qToLittleEndian(quint32(7), riff.data() + 4);
        QCOMPARE(*readPalette(riff), kColours);
    }

    void refusesBadPalettes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray riff = writeRiffPalette(kColours);
        QByteArray huge = riff;
        qToLittleEndian(quint16(60000), huge.data() + 22);
        QByteArray longChunk = riff;
        qToLittleEndian(quint32(0xfffffff0), longChunk.data() + 16);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a palette") << QByteArray("GIF89a....");
        QTest::newRow("RIFF of another kind") << QByteArray("RIFF\x10\x00\x00\x00WAVEfmt ", 16);
        QTest::newRow("RIFF cut in the colours") << riff.left(riff.size() - 3);
        QTest::newRow("RIFF count beyond data") << huge;
        QTest::newRow("RIFF chunk longer than file") << longChunk;
        QTest::newRow("RIFF without data chunk") << QByteArray("RIFF\x04\x00\x00\x00PAL ", 12);
        QTest::newRow("JASC wrong version") << QByteArray("JASC-PAL\r\n0200\r\n1\r\n1 2 3\r\n");
        QTest::newRow("JASC count too large") << QByteArray("JASC-PAL\r\n0100\r\n999999\r\n1 2 3\r\n");
        QTest::newRow("JASC fewer lines than counted") << QByteArray("JASC-PAL\r\n0100\r\n3\r\n1 2 3\r\n");
        QTest::newRow("JASC value out of range") << QByteArray("JASC-PAL\r\n0100\r\n1\r\n1 256 3\r\n");
        QTest::newRow("JASC text for a number") << QByteArray("JASC-PAL\r\n0100\r\n1\r\nred 2 3\r\n");
    }

    void refusesBadPalettes()
    {
        QFETCH(QByteArray, bytes);
        const Result<QList<QColor>> colours = readPalette(bytes);
        QVERIFY(!colours.ok());
        QVERIFY(!colours.error().isEmpty());
    }

    void swatchesReportTheirColour()
    {
        ColorPal pal;
        pal.setColumns(2);
        pal.setColors(kColours);
        pal.resize(41, 41);
        pal.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pal));
        QSignalSpy clicked(&pal, &ColorPal::colorClicked);
        QSignalSpy hovered(&pal, &ColorPal::colorHovered);
        const QRect third = pal.swatchRect(2);
        QCOMPARE(pal.indexAt(third.center()), 2);
        QTest::mouseClick(&pal, Qt::RightButton, {}, third.center());
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().at(0).value<QColor>(), kColours.at(2));
        QCOMPARE(clicked.first().at(1).value<Qt::MouseButton>(), Qt::RightButton);
        QTest::mouseMove(&pal, pal.swatchRect(1).center());
        QTRY_COMPARE(hovered.count(), 1);
        QCOMPARE(hovered.first().at(0).value<QColor>(), kColours.at(1));
        QCOMPARE(pal.indexAt(QPoint(40, 40)), -1);
    }

    void badFileKeepsTheSwatches()
    {
        QTemporaryDir dir;
        ColorPal pal;
        const QList<QColor> before = pal.colors();
        const QString bad = dir.filePath(QStringLiteral("bad.pal"));
        QVERIFY(Testing::writeFile(bad, "JASC-PAL\r\n0100\r\n5\r\n"));
        QVERIFY(!pal.loadPalette(bad).ok());
        QCOMPARE(pal.colors(), before);
        const QString good = dir.filePath(QStringLiteral("good.pal"));
        QVERIFY(Testing::writeFile(good, writeRiffPalette(kColours)));
        QVERIFY(pal.loadPalette(good).ok());
        QCOMPARE(pal.colors(), kColours);
    }
};

QTEST_MAIN(TestColorPal)
#include "tst_colorpal.moc"
