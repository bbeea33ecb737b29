// The thumbnail provider: the shared cache and its reuse, unreadable files,
// the order of work, and each format it reads reduced (orientation, grey
// pictures, the size each decode produced).

#include "component/jpegdc.h"
#include "component/thumbnaildecoder.h"
#include "component/thumbnailprovider.h"
#include "support/peakmemory.h"
#include "support/testhost.h"

#include <QRegularExpression>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDirIterator>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>

#include <tiffio.h>

using namespace tovradocs::Internal;
using tovradocs::Testing::writeFile;

namespace {

// Red on the left half, blue on the right: where red ends up tells the turn.
QImage halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image;
}

bool isRed(QRgb c) { return qRed(c) > 180 && qBlue(c) < 90; }
bool isBlue(QRgb c) { return qBlue(c) > 180 && qRed(c) < 90; }

QString uri(const QString &path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded());
}

QString mtimeTag(const QString &path)
{
    return QString::number(QFileInfo(path).lastModified().toSecsSinceEpoch());
}

QStringList answeredPaths(const QSignalSpy &spy)
{
    QStringList paths;
    for (const QList<QVariant> &args : spy)
        paths << args.at(0).toString();
    return paths;
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

using Writer = bool (*)(const QString &, const QImage &, int);

// 141 bytes whose frame header claims 65500 x 65500 pixels and whose scan holds nothing.
const QByteArray ClaimingJpeg = QByteArray::fromBase64(
    "/9j/2wBDAP//////////////////////////////////////////////////////////////////////"
    "////////////////wAALCP/c/9wBAREA/8QAFAABAAAAAAAAAAAAAAAAAAAAAP/EABQQAQAAAAAAAAAA"
    "AAAAAAAAAAD/2gAIAQEAAD8AP//Z");

QByteArray claiming(int width, int height)
{
    QByteArray jpeg = ClaimingJpeg;
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    qToBigEndian(quint16(height), jpeg.data() + frame + 5);
    qToBigEndian(quint16(width), jpeg.data() + frame + 7);
    return jpeg;
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class TestThumbnailProvider : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_cache = m_dir->filePath(QStringLiteral("cache"));
        m_provider = std::make_unique<ThumbnailProvider>();
        m_provider->setThumbnailBaseDir(m_cache);
    }

    void cleanup() { m_provider.reset(); }

    void cacheFileFollowsTheSharedLayout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("handedOut");

        QTest::newRow("120 pixels use normal") << "a.jpg" << 120 << "normal" << QSize(128, 96)
                                               << QSize(120, 90);
        QTest::newRow("200 pixels use large") << "a.jpg" << 200 << "large" << QSize(256, 192)
                                              << QSize(200, 150);
        QTest::newRow("name needing escapes") << "Röntgen #1 (2).jpg" << 256 << "large"
                                              << QSize(256, 192) << QSize(256, 192);
    }

    void cacheFileFollowsTheSharedLayout()
    {
        QFETCH(QString, name);
        QFETCH(int, pixels);
        QFETCH(QString, folder);
        QFETCH(QSize, stored);
        QFETCH(QSize, handedOut);

        const QString source = picture(name, QSize(800, 600));
        QCOMPARE(thumbnailOf(source, pixels).size(), handedOut);

        const QByteArray md5 = QCryptographicHash::hash(uri(source).toLatin1(), QCryptographicHash::Md5);
        const QString cacheFile = m_cache + u'/' + folder + u'/' + QString::fromLatin1(md5.toHex())
            + QStringLiteral(".png");
        QCOMPARE(m_provider->thumbnailFileName(source, pixels), cacheFile);
        QCOMPARE(QImageReader(cacheFile).format(), QByteArray("png"));
        // Thumbnails of patients' pictures are for this user's eyes only.
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(cacheFile).permissions() & others, QFileDevice::Permissions());

        const QImage entry(cacheFile);
        QCOMPARE(entry.text("Thumb::URI"), uri(source));
        QCOMPARE(entry.text("Thumb::MTime"), mtimeTag(source));
        QCOMPARE(entry.size(), stored);
    }

    void cachedThumbnailIsUsedUntilTheFileChanges()
    {
        const QString source = picture(QStringLiteral("halves.jpg"), QSize(400, 300));
        // An entry of another file, or one without tags, is not this file's.
        QVERIFY(plantRedEntry(source, QStringLiteral("file:///elsewhere/halves.jpg")));
        QVERIFY(m_provider->cachedThumbnail(source, 128).isNull());
        QVERIFY(plantRedEntry(source, QString()));
        QVERIFY(m_provider->cachedThumbnail(source, 128).isNull());

        // A valid entry that differs from the file's content shows the cache was used.
        QVERIFY(plantRedEntry(source, uri(source)));
        QCOMPARE(m_provider->cachedThumbnail(source, 128).pixelColor(120, 5), QColor(Qt::red));
        QCOMPARE(thumbnailOf(source, 128).pixelColor(120, 5), QColor(Qt::red));

        // Touching the file makes the entry stale; the next request decodes again.
        const QDateTime touched = QFileInfo(source).lastModified().addSecs(60);
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(touched, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(m_provider->cachedThumbnail(source, 128).isNull());
        const QRgb fresh = thumbnailOf(source, 128).pixel(120, 5);
        QVERIFY2(isBlue(fresh), qPrintable(QColor(fresh).name()));
        QCOMPARE(QImage(m_provider->thumbnailFileName(source, 128)).text("Thumb::MTime"),
                 QString::number(touched.toSecsSinceEpoch()));
    }

    void manyRequestsAllArriveAsCompleteFiles()
    {
        m_provider->setWorkerCount(2);
        QStringList sources;
        for (int i = 0; i < 40; ++i)
            sources << picture(QStringLiteral("m%1.jpg").arg(i), QSize(640, 480));
        QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
        QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
        for (const QString &s : sources)
            m_provider->request(s, 256);
        m_provider->request(sources.first(), 256); // a repeat is answered once
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 40, 30000);
        QVERIFY(m_provider->waitForIdle(5000));
        QCOMPARE(failed.count(), 0);
        QStringList answered = answeredPaths(loaded);
        answered.sort();
        sources.sort();
        QCOMPARE(answered, sources);
        QCOMPARE(m_provider->pendingCount(), 0);

        // Workers write aside and rename: no partial or temporary files remain.
        QDirIterator it(m_cache, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        int files = 0;
        for (; it.hasNext(); ++files) {
            const QString file = it.next();
            QVERIFY2(file.endsWith(QLatin1String(".png")), qPrintable(file));
            QImageReader reader(file);
            QVERIFY2(!reader.read().isNull(), qPrintable(file + u' ' + reader.errorString()));
        }
        QCOMPARE(files, 40);
    }

    void unreadableFilesFail_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("recorded");

        QTest::newRow("garbage with a jpeg name") << "garbage.jpg" << QByteArray(4000, 'x') << true;
        QTest::newRow("empty file") << "empty.png" << QByteArray() << true;
        QTest::newRow("png signature only") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n", 8) << true;
        QTest::newRow("missing file") << "missing.jpg" << QByteArray() << false;
    }

    void unreadableFilesFail()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, recorded);

        const QString path = m_dir->filePath(name);
        if (recorded)
            QVERIFY(writeFile(path, content));
        QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
        QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
        m_provider->request(path, 128);
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.at(0).at(0).toString(), path);
        const QString message = failed.at(0).at(1).toString();
        QVERIFY2(message.contains(name), qPrintable(message));
        QCOMPARE(loaded.count(), 0);
        QVERIFY(!QFileInfo::exists(m_provider->thumbnailFileName(path, 128)));

        const QString failureFile = m_provider->failureFileName(path);
        QVERIFY(failureFile.startsWith(m_cache + QStringLiteral("/fail/")));
        QCOMPARE(QFileInfo::exists(failureFile), recorded);
        if (!recorded)
            return;
        QCOMPARE(QImage(failureFile).text("Thumb::URI"), uri(path));

        // The record answers the next request with the same message.
        m_provider->request(path, 128);
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.at(1).at(1).toString(), message);
    }

    void oneWorkerTakesTheNewestFirstAndCancelAllDropsTheRest()
    {
        m_provider->setWorkerCount(1);
        QStringList sources;
        for (int i = 0; i < 5; ++i)
            sources << picture(QStringLiteral("o%1.jpg").arg(i), QSize(1600, 1200));
        QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
        for (const QString &s : sources)
            m_provider->request(s, 128);
        QVERIFY(m_provider->waitForIdle(20000));
        // The first may already be running when the others come in; the rest run newest first.
        QStringList order = answeredPaths(loaded);
        QStringList expected{sources[4], sources[3], sources[2], sources[1]};
        if (order.value(0) == sources[0])
            order.removeFirst();
        else
            expected << sources[0];
        QCOMPARE(order, expected);

        // Cancelled requests, pending or running, are never answered.
        for (int i = 0; i < 8; ++i)
            m_provider->request(picture(QStringLiteral("c%1.jpg").arg(i), QSize(1600, 1200)), 128);
        loaded.clear();
        m_provider->cancelAll();
        const QString wanted = picture(QStringLiteral("wanted.jpg"), QSize(200, 100));
        m_provider->request(wanted, 128);
        QVERIFY(m_provider->waitForIdle(20000));
        QCOMPARE(answeredPaths(loaded), QStringList{wanted});
    }

    void orientationIsAppliedOnEveryFormat_data()
    {
        QTest::addColumn<Writer>("write");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<bool>("redTopLeft");

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
            QTest::addRow("%s upright", f.name) << f.write << f.suffix << 1 << QSize(128, 69) << true;
            QTest::addRow("%s turned right", f.name) << f.write << f.suffix << 6 << QSize(69, 128) << true;
            QTest::addRow("%s upside down", f.name) << f.write << f.suffix << 3 << QSize(128, 69) << false;
            QTest::addRow("%s turned left", f.name) << f.write << f.suffix << 8 << QSize(69, 128) << false;
        }
    }

    void orientationIsAppliedOnEveryFormat()
    {
        QFETCH(Writer, write);
        QFETCH(QString, suffix);
        QFETCH(int, orientation);
        QFETCH(QSize, expected);
        QFETCH(bool, redTopLeft);
        const QString path = m_dir->filePath(QStringLiteral("picture.") + suffix);
        QVERIFY(write(path, halves(QSize(300, 161)), orientation));

        const QImage thumb = thumbnailOf(path, 128);
        QCOMPARE(thumb.size(), expected);
        const QRgb corner = thumb.pixel(3, 3);
        const QRgb opposite = thumb.pixel(thumb.width() - 4, thumb.height() - 4);
        if (redTopLeft)
            QVERIFY2(isRed(corner) && isBlue(opposite), qPrintable(QColor(corner).name()));
        else
            QVERIFY2(isBlue(corner) && isRed(opposite), qPrintable(QColor(corner).name()));
    }

    void greyPicturesGiveGreyThumbnails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("imageFormat");
        QTest::newRow("16-bit PNG radiograph") << "rx16.png" << "png" << int(QImage::Format_Grayscale16);
        QTest::newRow("8-bit PNG") << "rx8.png" << "png" << int(QImage::Format_Grayscale8);
        QTest::newRow("grey JPEG") << "rx.jpg" << "jpeg" << int(QImage::Format_Grayscale8);
        QTest::newRow("grey TIFF") << "rx.tif" << "tiff" << int(QImage::Format_Grayscale8);
    }

    void greyPicturesGiveGreyThumbnails()
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

    void eachRequestReportsItsOwnDecodeSize()
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
        for (const auto &c : cases)
            expected.insert(picture(QLatin1String(c.name), c.size), c.decoded);
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

    void claimedSizeIsRefusedBeforeDecoding_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<bool>("refused");
        QTest::newRow("141 bytes claiming 65500 x 65500") << ClaimingJpeg << true;
        QTest::newRow("claiming 12000 x 10001, just over the limit")
            << claiming(12000, 10001) << true;
        QTest::newRow("claiming 10954 x 10954, just under it") << claiming(10954, 10954) << false;
    }

    void claimedSizeIsRefusedBeforeDecoding()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(bool, refused);
        const QString path = m_dir->filePath(QStringLiteral("claims.jpg"));
        QVERIFY(writeFile(path, jpeg));
        std::optional<ReducedPicture> reduced;
        const qint64 growth
            = tovradocs::Testing::peakGrowth([&] { reduced = decodeReduced(path, 128); });
        QVERIFY2(growth < 256 * tovradocs::Testing::MiB,
                 qPrintable(QStringLiteral("%1 MB").arg(growth / tovradocs::Testing::MiB)));
        QVERIFY(reduced);
        QCOMPARE(reduced->tooLarge, refused);
        if (!refused)
            return;
        QVERIFY(reduced->image.isNull());
        QVERIFY2(reduced->error.contains(QStringLiteral("\"claims.jpg\" is too large to open")),
                 qPrintable(reduced->error));
        QVERIFY(!decodeJpegDc(reinterpret_cast<const uchar *>(jpeg.constData()),
                              size_t(jpeg.size()), 128));

        // Not a thumbnail of what the other readers make of it: a failure that says why.
        QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
        QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
        m_provider->request(path, 128);
        // The file's structure is checked before any decoder runs, so the
        // tile says what that check found: the file and the size it claims.
        QVERIFY(failed.wait(10000));
        const QString said = failed.at(0).at(1).toString();
        const QString claimed = QRegularExpression(QStringLiteral("\\d+ x \\d+")).match(reduced->error).captured();
        QVERIFY2(!claimed.isEmpty() && said.contains(QStringLiteral("\"claims.jpg\"")) && said.contains(claimed),
                 qPrintable(said));
        QCOMPARE(loaded.count(), 0);
    }

    void exifOrientationSurvivesDamagedBlocks()
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

private:
    // halves() saved in the format the name's suffix gives.
    QString picture(const QString &name, QSize size)
    {
        const QString path = m_dir->filePath(name);
        if (!halves(size).save(path))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // A red 128-pixel cache entry for source; without a URI it carries no tags at all.
    bool plantRedEntry(const QString &source, const QString &uriTag)
    {
        QImage planted(128, 96, QImage::Format_RGB32);
        planted.fill(Qt::red);
        if (!uriTag.isEmpty()) {
            planted.setText(QStringLiteral("Thumb::URI"), uriTag);
            planted.setText(QStringLiteral("Thumb::MTime"), mtimeTag(source));
        }
        const QString cacheFile = m_provider->thumbnailFileName(source, 128);
        return QDir().mkpath(QFileInfo(cacheFile).path()) && planted.save(cacheFile);
    }

    QImage thumbnailOf(const QString &path, int pixels)
    {
        QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
        QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
        m_provider->request(path, pixels);
        if (loaded.isEmpty() && !loaded.wait(20000)) {
            qWarning() << "no thumbnail:" << (failed.isEmpty() ? QString() : failed.at(0).at(1).toString());
            return {};
        }
        return loaded.at(0).at(1).value<QImage>();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_cache;
    std::unique_ptr<ThumbnailProvider> m_provider;
};

QTEST_GUILESS_MAIN(TestThumbnailProvider)
#include "tst_thumbnailprovider.moc"
