#include "component/imageloader.h"
#include "support/testhost.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;
using tovradocs::Testing::writeFile;

namespace {

// Fit into a side x side box, keeping the proportions.
ImageLoadOptions box(int side)
{
    ImageLoadOptions options;
    options.scaledTo = QSize(side, side);
    options.keepAspect = true;
    return options;
}

// A JPEG with an EXIF APP1 segment carrying only the orientation tag.
QByteArray jpegWithOrientation(const QImage &image, quint16 orientation)
{
    QByteArray plain;
    QBuffer buffer(&plain);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);

    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08", 8);
    tiff.append("\x00\x01", 2);              // one entry
    tiff.append("\x01\x12\x00\x03", 4);      // Orientation, SHORT
    tiff.append("\x00\x00\x00\x01", 4);      // count 1
    tiff.append(char(orientation >> 8)).append(char(orientation & 0xff)).append("\x00\x00", 2);
    tiff.append("\x00\x00\x00\x00", 4);      // no next IFD
    QByteArray app1("Exif\x00\x00", 6);
    app1.append(tiff);
    QByteArray segment("\xff\xe1", 2);
    const quint16 length = quint16(app1.size() + 2);
    segment.append(char(length >> 8)).append(char(length & 0xff)).append(app1);
    return plain.left(2) + segment + plain.mid(2);
}

// An uncompressed-looking 24-bit PCX (three planes, every byte below 0xC0 is literal).
QByteArray pcx(int width, int height, QRgb colour)
{
    QByteArray header(128, '\0');
    header[0] = 0x0a;
    header[1] = 5;
    header[2] = 1;
    header[3] = 8;
    auto put16 = [&](int at, int v) { header[at] = char(v & 0xff); header[at + 1] = char(v >> 8); };
    put16(8, width - 1);
    put16(10, height - 1);
    put16(12, 96);
    put16(14, 96);
    header[65] = 3;
    put16(66, width);
    put16(68, 1);
    QByteArray data = header;
    const char planes[3] = {char(qRed(colour)), char(qGreen(colour)), char(qBlue(colour))};
    for (int y = 0; y < height; ++y)
        for (char plane : planes)
            for (int x = 0; x < width; ++x)
                data.append(plane);
    return data;
}

} // namespace

class tst_ImageLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void qtFormatsAndScaledDecoding()
    {
        QImage picture(400, 300, QImage::Format_RGB32);
        picture.fill(QColor(10, 200, 30));
        const QString jpg = file("big.jpg");
        QVERIFY(picture.save(jpg, "JPG"));

        auto full = loadImage(jpg);
        QVERIFY2(full.ok(), qPrintable(full.error()));
        QCOMPARE(full->size(), QSize(400, 300));

        auto thumb = loadImage(jpg, box(100));
        QVERIFY(thumb.ok());
        QCOMPARE(thumb->size(), QSize(100, 75));
        QCOMPARE(imageSize(jpg).value(), QSize(400, 300));

        // The name lies about the content; the reader goes by the bytes.
        const QString disguised = file("really-a-jpeg.png");
        QVERIFY(QFile::copy(jpg, disguised));
        QVERIFY(loadImage(disguised).ok());
    }

    void exifOrientationIsHonoured()
    {
        QImage picture(60, 20, QImage::Format_RGB32);
        picture.fill(Qt::white);
        const QString path = file("turned.jpg");
        QVERIFY(writeFile(path, jpegWithOrientation(picture, 6)));

        auto image = loadImage(path);
        QVERIFY(image.ok());
        QCOMPARE(image->size(), QSize(20, 60));
        QCOMPARE(imageSize(path).value(), QSize(20, 60));

        auto small = loadImage(path, box(30));
        QVERIFY(small.ok());
        QCOMPARE(small->size(), QSize(10, 30));
    }

    void badInputGetsAClearMessage_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QByteArray() << QString();
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("empty");
        QTest::newRow("garbage") << QByteArray("this is not a picture at all") << QString();
        QTest::newRow("truncated png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x32", 20) << QString();
        // A header claiming 60000 x 60000 and a token of pixel data: it must be
        // refused before anything is inflated.
        QTest::newRow("decompression bomb")
            << QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAA6mAAAOpgCAIAAAAPsOIVAAAADElEQVR4nGNgoAwAAABAAAG3NHzvAAAAAElFTkSuQmCC")
            << QStringLiteral("too large");
        // 33 bytes: a tiny first frame on a 11828 x 11825 screen.
        QTest::newRow("gif screen bomb")
            << QByteArray("GIF89a4.1.\x00\xff" "b!\xf9\x04\xff\xff\xff\xfc\x00,\x00\x00\x00\x00\x00\x08;\x00" "A\x01\x00", 33)
            << QStringLiteral("too large");
        // 0 x 34 screen, a 15104 x 8 frame: every dimension counts, not the screen's product.
        QTest::newRow("gif with an empty screen")
            << QByteArray::fromBase64("R0lGODlhAAAAIgD/YiH5BP////wALAAAAAAAOwgAQQEA") << QString();
    }

    void badInputGetsAClearMessage()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString path = file(QStringLiteral("bad-%1.png").arg(QTest::currentDataTag()).replace(' ', '-'));
        if (!content.isNull())
            QVERIFY(writeFile(path, content));

        auto image = loadImage(path);
        QVERIFY(!image.ok());
        if (content.isNull())
            QVERIFY(!imageSize(path).ok());
        QVERIFY2(image.error().contains(QFileInfo(path).fileName()), qPrintable(image.error()));
        if (!expected.isEmpty())
            QVERIFY2(image.error().contains(expected, Qt::CaseInsensitive), qPrintable(image.error()));
    }

    void olderFormatsThroughTheImageLibrary()
    {
        const QString path = file("scan.pcx");
        QVERIFY(writeFile(path, pcx(16, 8, qRgb(0x20, 0x40, 0x80))));
        auto image = loadImage(path);
        QVERIFY2(image.ok(), qPrintable(image.error()));
        QCOMPARE(image->size(), QSize(16, 8));
        const QColor pixel = image->pixelColor(3, 3);
        QVERIFY(qAbs(pixel.red() - 0x20) < 3 && qAbs(pixel.green() - 0x40) < 3 && qAbs(pixel.blue() - 0x80) < 3);
        QCOMPARE(imageSize(path).value(), QSize(16, 8));
    }

    void dicomRadiograph()
    {
        const QString img2dcm = QStandardPaths::findExecutable(QStringLiteral("img2dcm"));
        if (img2dcm.isEmpty())
            QSKIP("img2dcm (dcmtk) is not installed; the setup script installs it");
        QImage film(64, 48, QImage::Format_Grayscale8);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                film.setPixel(x, y, qRgb(x * 4, x * 4, x * 4));
        const QString jpg = file("film.jpg");
        const QString dcm = file("film.dcm");
        QVERIFY(film.save(jpg, "JPG", 95));
        QCOMPARE(QProcess::execute(img2dcm, {jpg, dcm}), 0);

        QCOMPARE(imageSize(dcm).value(), QSize(64, 48));
        auto image = loadImage(dcm);
        QVERIFY2(image.ok(), qPrintable(image.error()));
        QCOMPARE(image->size(), QSize(64, 48));
        QVERIFY(qGray(image->pixel(60, 10)) > qGray(image->pixel(2, 10)) + 100);

        // A TEM marker right after the start of the JPEG data sends the
        // toolkit's bit-depth scan into an endless loop; it must be refused.
        QByteArray bytes = tovradocs::Testing::fileContents(dcm);
        const qsizetype soi = bytes.indexOf(QByteArray("\xFF\xD8\xFF", 3));
        QVERIFY(soi > 0);
        bytes[soi + 3] = '\x01';
        const QString damaged = file("damaged.dcm");
        QVERIFY(writeFile(damaged, bytes));
        auto refused = loadImage(damaged);
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error().contains(QStringLiteral("damaged")), qPrintable(refused.error()));
    }

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_ImageLoader)
#include "tst_imageloader.moc"
