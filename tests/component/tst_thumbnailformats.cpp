// Thumbnails of each format the provider reads reduced: orientation, grey
// pictures, the size each decode produced.

#include "component/thumbnaildecoder.h"
#include "component/thumbnailprovider.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <tiffio.h>

using namespace tovradocs::Internal;

namespace {

// Red on the left half, blue on the right: where red ends up tells the turn.
QImage halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image;
}

// A TIFF-structured EXIF block naming only the orientation.
QByteArray exifBlock(int orientation)
{
    QByteArray b("II*\0\x08\0\0\0", 8);
    const uchar entry[2 + 12 + 4] = {1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, uchar(orientation), 0, 0, 0,
                                     0, 0, 0, 0};
    b.append(reinterpret_cast<const char *>(entry), sizeof entry);
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray encoded(const QImage &image, const char *format, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        qFatal("cannot encode %s: %s", format, qPrintable(writer.errorString()));
    return bytes;
}

bool writeJpeg(const QString &path, const QImage &image, int orientation)
{
    QByteArray jpeg = encoded(image, "jpeg");
    if (orientation > 1) {
        const QByteArray payload = QByteArray("Exif\0\0", 6) + exifBlock(orientation);
        QByteArray app1("\xff\xe1", 2);
        app1.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xff));
        jpeg.insert(2, app1 + payload);
    }
    return writeFile(path, jpeg);
}

// The simple file Qt writes, rewrapped as an extended one with an EXIF chunk.
bool writeWebp(const QString &path, const QImage &image, int orientation)
{
    const QByteArray simple = encoded(image, "webp", 95);
    if (!simple.startsWith("RIFF") || simple.mid(8, 4) != "WEBP")
        return false;
    QByteArray vp8x("VP8X", 4);
    vp8x += le32(10);
    QByteArray header(10, '\0');
    header[0] = 0x08; // EXIF present
    const quint32 w = quint32(image.width() - 1), h = quint32(image.height() - 1);
    for (int i = 0; i < 3; ++i) {
        header[4 + i] = char(w >> (8 * i));
        header[7 + i] = char(h >> (8 * i));
    }
    vp8x += header;
    QByteArray exif = exifBlock(orientation);
    QByteArray exifChunk = QByteArray("EXIF", 4) + le32(quint32(exif.size())) + exif;
    if (exif.size() % 2)
        exifChunk.append('\0');
    const QByteArray body = QByteArray("WEBP", 4) + vp8x + simple.mid(12) + exifChunk;
    return writeFile(path, QByteArray("RIFF", 4) + le32(quint32(body.size())) + body);
}

// LZW through Qt's writer, which records the turn in the orientation tag.
bool writeTiff(const QString &path, const QImage &image, int orientation)
{
    QImageWriter writer(path, "tiff");
    writer.setCompression(1);
    const QImageIOHandler::Transformations turns[9] = {
        QImageIOHandler::TransformationNone,       QImageIOHandler::TransformationNone,
        QImageIOHandler::TransformationMirror,     QImageIOHandler::TransformationRotate180,
        QImageIOHandler::TransformationFlip,       QImageIOHandler::TransformationFlipAndRotate90,
        QImageIOHandler::TransformationRotate90,   QImageIOHandler::TransformationMirrorAndRotate90,
        QImageIOHandler::TransformationRotate270};
    writer.setTransformation(turns[orientation]);
    return writer.write(image);
}

// JPEG-compressed strips of YCbCr, as scanners and cameras write them.
bool writeJpegTiff(const QString &path, const QImage &source, int orientation)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, quint32(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, quint32(image.height()));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, quint16(3));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, quint16(8));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, quint32(32));
    TIFFSetField(tif, TIFFTAG_ORIENTATION, quint16(orientation));
    bool ok = true;
    for (int y = 0; y < image.height() && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar *>(image.constScanLine(y)), quint32(y), 0) >= 0;
    TIFFClose(tif);
    return ok;
}

bool isRed(QRgb c) { return qRed(c) > 180 && qBlue(c) < 90; }
bool isBlue(QRgb c) { return qBlue(c) > 180 && qRed(c) < 90; }

} // namespace

class TestThumbnailFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void orientationIsAppliedOnEveryFormat_data();
    void orientationIsAppliedOnEveryFormat();
    void greyPicturesGiveGreyThumbnails_data();
    void greyPicturesGiveGreyThumbnails();
    void eachRequestReportsItsOwnDecodeSize();
    void exifOrientationSurvivesDamagedBlocks();

private:
    QImage thumbnailOf(const QString &path, int pixels);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ThumbnailProvider> m_provider;
};

void TestThumbnailFormats::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_provider = std::make_unique<ThumbnailProvider>();
    m_provider->setThumbnailBaseDir(m_dir->filePath(QStringLiteral("cache")));
}

void TestThumbnailFormats::cleanup()
{
    m_provider.reset();
}

QImage TestThumbnailFormats::thumbnailOf(const QString &path, int pixels)
{
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
    m_provider->request(path, pixels);
    if (!loaded.wait(20000)) {
        qWarning() << "no thumbnail:" << (failed.isEmpty() ? QString() : failed.at(0).at(1).toString());
        return {};
    }
    return loaded.at(0).at(1).value<QImage>();
}

using Writer = bool (*)(const QString &, const QImage &, int);
Q_DECLARE_METATYPE(Writer)

void TestThumbnailFormats::orientationIsAppliedOnEveryFormat_data()
{
    QTest::addColumn<Writer>("write");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<QString>("topLeft"); // "red" or "blue"

    // 300 x 161 turned a quarter fits 128 as 68.69 x 128: rounded, not cut.
    const struct
    {
        const char *name;
        Writer write;
        const char *suffix;
    } formats[] = {{"JPEG", writeJpeg, "jpg"},
                   {"WebP", writeWebp, "webp"},
                   {"TIFF LZW", writeTiff, "tif"},
                   {"TIFF JPEG strips", writeJpegTiff, "tif"}};
    for (const auto &f : formats) {
        QTest::addRow("%s upright", f.name) << f.write << f.suffix << 1 << QSize(128, 69) << "red";
        QTest::addRow("%s turned right", f.name) << f.write << f.suffix << 6 << QSize(69, 128) << "red";
        QTest::addRow("%s upside down", f.name) << f.write << f.suffix << 3 << QSize(128, 69) << "blue";
        QTest::addRow("%s turned left", f.name) << f.write << f.suffix << 8 << QSize(69, 128) << "blue";
    }
}

void TestThumbnailFormats::orientationIsAppliedOnEveryFormat()
{
    QFETCH(Writer, write);
    QFETCH(QString, suffix);
    QFETCH(int, orientation);
    QFETCH(QSize, expected);
    QFETCH(QString, topLeft);
    const QString path = m_dir->filePath(QStringLiteral("picture.") + suffix);
    QVERIFY(write(path, halves(QSize(300, 161)), orientation));

    const QImage thumb = thumbnailOf(path, 128);
    QCOMPARE(thumb.size(), expected);
    const QRgb corner = thumb.pixel(3, 3);
    const QRgb opposite = thumb.pixel(thumb.width() - 4, thumb.height() - 4);
    if (topLeft == QLatin1String("red")) {
        QVERIFY2(isRed(corner) && isBlue(opposite), qPrintable(QColor(corner).name()));
    } else {
        QVERIFY2(isBlue(corner) && isRed(opposite), qPrintable(QColor(corner).name()));
    }
}

void TestThumbnailFormats::greyPicturesGiveGreyThumbnails_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("imageFormat");
    QTest::newRow("16-bit PNG radiograph") << "rx16.png" << "png" << int(QImage::Format_Grayscale16);
    QTest::newRow("8-bit PNG") << "rx8.png" << "png" << int(QImage::Format_Grayscale8);
    QTest::newRow("grey JPEG") << "rx.jpg" << "jpeg" << int(QImage::Format_Grayscale8);
    QTest::newRow("grey TIFF") << "rx.tif" << "tiff" << int(QImage::Format_Grayscale8);
}

void TestThumbnailFormats::greyPicturesGiveGreyThumbnails()
{
    QFETCH(QString, name);
    QFETCH(QString, format);
    QFETCH(int, imageFormat);
    // Dark left half, light right half.
    QImage image(600, 480, QImage::Format(imageFormat));
    image.fill(QColor(40, 40, 40));
    QPainter(&image).fillRect(300, 0, 300, 480, QColor(200, 200, 200));
    const QString path = m_dir->filePath(name);
    QVERIFY(image.save(path, format.toLatin1().constData()));

    const QImage thumb = thumbnailOf(path, 256);
    QCOMPARE(thumb.size(), QSize(256, 205)); // 204.8 rounds up
    QCOMPARE(thumb.format(), QImage::Format_Grayscale8);
    QVERIFY(qAbs(qGray(thumb.pixel(10, 100)) - 40) <= 6);
    QVERIFY(qAbs(qGray(thumb.pixel(245, 100)) - 200) <= 6);

    // Stored one byte a pixel, so other programs read it as grey too.
    QImageReader stored(m_provider->thumbnailFileName(path, 256));
    QCOMPARE(stored.imageFormat(), QImage::Format_Grayscale8);
}

void TestThumbnailFormats::eachRequestReportsItsOwnDecodeSize()
{
    const struct
    {
        const char *name;
        QSize size;
        int pixels;
        QSize decoded;
    } cases[] = {
        {"big.jpg", {4032, 3024}, 256, {504, 378}}, // 1/8 in the DCT
        {"mid.jpg", {1000, 800}, 128, {250, 200}}, // 2/8: 1/8 would be short of 128
        {"photo.webp", {1200, 900}, 256, {256, 192}}, // scaled by libwebp itself
        {"scan.tif", {1200, 900}, 128, {133, 100}}, // reduced 9 x 9 while reading
        {"small.png", {600, 400}, 128, {600, 400}}, // PNG has no reduced decoding
    };
    m_provider->setWorkerCount(2);
    QHash<QString, QSize> expected;
    for (const auto &c : cases) {
        const QString path = m_dir->filePath(QLatin1String(c.name));
        QVERIFY(halves(c.size).save(path));
        expected.insert(path, c.decoded);
    }
    QSignalSpy decoded(m_provider.get(), &ThumbnailProvider::pictureDecoded);
    for (const auto &c : cases)
        m_provider->request(m_dir->filePath(QLatin1String(c.name)), c.pixels);
    QVERIFY(m_provider->waitForIdle(30000));
    QCOMPARE(decoded.count(), int(std::size(cases)));
    for (const QList<QVariant> &args : decoded)
        QCOMPARE(args.at(2).toSize(), expected.value(args.at(0).toString()));

    // From the cache nothing is decoded, so nothing is reported.
    decoded.clear();
    m_provider->request(m_dir->filePath(QStringLiteral("big.jpg")), 256);
    QVERIFY(m_provider->waitForIdle(30000));
    QCOMPARE(decoded.count(), 0);
}

void TestThumbnailFormats::exifOrientationSurvivesDamagedBlocks()
{
    const QByteArray good = exifBlock(6);
    QCOMPARE(exifOrientation(reinterpret_cast<const uchar *>(good.constData()), good.size()), 6);
    // Cut short, pointing outside itself, or naming no orientation: upright.
    for (qsizetype cut = 0; cut < good.size(); ++cut)
        QVERIFY(exifOrientation(reinterpret_cast<const uchar *>(good.constData()), cut) <= 6);
    QByteArray wild = good;
    wild[4] = char(0xf0);
    QCOMPARE(exifOrientation(reinterpret_cast<const uchar *>(wild.constData()), wild.size()), 1);
    QByteArray nine = exifBlock(9);
    QCOMPARE(exifOrientation(reinterpret_cast<const uchar *>(nine.constData()), nine.size()), 1);
}

QTEST_GUILESS_MAIN(TestThumbnailFormats)
#include "tst_thumbnailformats.moc"
