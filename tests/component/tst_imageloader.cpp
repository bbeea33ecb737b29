#include "component/imageloader.h"
#include "support/dicomfixtures.h"
#include "support/mediafixtures.h"
#include "support/testhost.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QPainter>
#include <QTest>

#include <libheif/heif.h>

using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

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

// Red on the left half, blue on the right: where red ends up tells the turn.
QImage halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image;
}

bool isRed(QRgb c) { return qRed(c) > 170 && qBlue(c) < 100; }
bool isBlue(QRgb c) { return qBlue(c) > 170 && qRed(c) < 100; }

// The TIFF-structured EXIF block of a JPEG's APP1, naming only the orientation.
QByteArray exifNamingOrientation(quint16 orientation)
{
    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08", 8);
    tiff.append("\x00\x01", 2);
    tiff.append("\x01\x12\x00\x03", 4);
    tiff.append("\x00\x00\x00\x01", 4);
    tiff.append(char(orientation >> 8)).append(char(orientation & 0xff)).append("\x00\x00", 2);
    tiff.append("\x00\x00\x00\x00", 4);
    return tiff;
}

// A phone's HEIC: the picture stored as taken, its turn in an 'irot' box
// and, as phones do, the same turn once more in its EXIF block.
bool writeTurnedHeic(const QString &path, const QImage &source)
{
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *image = nullptr;
    heif_image_handle *handle = nullptr;
    heif_encoding_options *options = heif_encoding_options_alloc();
    bool ok = heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code
                  == heif_error_Ok
              && heif_image_create(source.width(), source.height(), heif_colorspace_RGB,
                                   heif_chroma_interleaved_RGB, &image)
                     .code
                     == heif_error_Ok
              && heif_image_add_plane(image, heif_channel_interleaved, source.width(),
                                      source.height(), 8)
                     .code
                     == heif_error_Ok;
    if (ok) {
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < rgb.height(); ++y)
            memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
        heif_encoder_set_lossy_quality(encoder, 90);
        options->image_orientation = heif_orientation_rotate_90_cw;
        ok = heif_context_encode_image(context, image, encoder, options, &handle).code == heif_error_Ok;
    }
    if (ok) {
        const QByteArray exif = exifNamingOrientation(6);
        ok = heif_context_add_exif_metadata(context, handle, exif.constData(), int(exif.size())).code
                 == heif_error_Ok
             && heif_context_write_to_file(context, QFile::encodeName(path).constData()).code
                    == heif_error_Ok;
    }
    heif_encoding_options_free(options);
    if (handle)
        heif_image_handle_release(handle);
    if (image)
        heif_image_release(image);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    return ok;
}

// Two halves of stored values, for windows that map each to a known grey.
DicomContent twoValues(int bits, int left, int right)
{
    DicomContent content;
    content.size = QSize(96, 64);
    content.bitsStored = bits;
    content.value = [left, right](int x, int) { return x < 48 ? left : right; };
    return content;
}

} // namespace

Q_DECLARE_METATYPE(DicomContent)

class tst_ImageLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void extensionFirstThenContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");

        QTest::newRow(".jpg holding a png") << "a.jpg" << QByteArray("PNG");
        QTest::newRow(".png holding a jpeg") << "b.png" << QByteArray("JPG");
        QTest::newRow(".dcm holding a png") << "c.dcm" << QByteArray("PNG");
        QTest::newRow(".heic holding a bmp") << "d.heic" << QByteArray("BMP");
        QTest::newRow("no extension") << "e" << QByteArray("PNG");
    }

    void extensionFirstThenContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        const QString path = file(name);
        QVERIFY(halves(QSize(40, 20)).save(path, format.constData()));
        const auto image = loadImage(path);
        QVERIFY2(image.ok(), qPrintable(image.error()));
        QCOMPARE(image->size(), QSize(40, 20));
        QVERIFY(isRed(image->pixel(5, 10)) && isBlue(image->pixel(35, 10)));
        QCOMPARE(imageSize(path).value(), QSize(40, 20));
    }

    void phonePicturesAndJpegXl_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("heic") << "phone.heic";
        QTest::newRow("avif") << "phone.avif";
        QTest::newRow("heic without an extension") << "IMG_0001";
        QTest::newRow("jpeg xl") << "scan.jxl";
    }

    void phonePicturesAndJpegXl()
    {
        QFETCH(QString, name);
        const QString path = file(name);
        const QImage source = halves(QSize(64, 32));
        if (name.endsWith(QLatin1String(".jxl"))) {
            const QString png = path + QStringLiteral(".png");
            QVERIFY(source.save(png));
            if (QProcess::execute(QStringLiteral("gm"), {QStringLiteral("convert"), png, path}) != 0)
                QSKIP("GraphicsMagick cannot write JPEG XL here");
        } else {
            const QString made = makeHeic(name.endsWith(QLatin1String(".avif")) ? path : path + QStringLiteral(".heic"), source);
            if (made.isEmpty())
                QSKIP("heif-enc is not installed; the setup script installs it");
            if (made != path)
                QVERIFY(QFile::rename(made, path));
        }
        const auto image = loadImage(path);
        QVERIFY2(image.ok(), qPrintable(image.error()));
        QCOMPARE(image->size(), QSize(64, 32));
        QVERIFY(isRed(image->pixel(8, 16)) && isBlue(image->pixel(56, 16)));
        QCOMPARE(imageSize(path).value(), QSize(64, 32));
        const auto small = loadImage(path, box(16));
        QVERIFY2(small.ok(), qPrintable(small.error()));
        QCOMPARE(small->size(), QSize(16, 8));
        QVERIFY(isRed(small->pixel(2, 4)) && isBlue(small->pixel(14, 4)));
    }

    void heicIsShownUpright_data()
    {
        QTest::addColumn<bool>("ownTurn");
        // heif-enc copies a JPEG's EXIF block but not its turn: the EXIF
        // orientation is all there is.
        QTest::newRow("turn only in EXIF") << false;
        // Phones turn with 'irot' and repeat it in EXIF: turned once, not twice.
        QTest::newRow("irot and EXIF both") << true;
    }

    void heicIsShownUpright()
    {
        QFETCH(bool, ownTurn);
        const QString path = file(ownTurn ? "irot.heic" : "exif.heic");
        const QImage source = halves(QSize(64, 32));
        if (ownTurn) {
            QVERIFY(writeTurnedHeic(path, source));
        } else {
            const QString jpeg = file("turned.jpg");
            QVERIFY(writeFile(jpeg, jpegWithOrientation(source, 6)));
            if (QProcess::execute(QStringLiteral("heif-enc"), {QStringLiteral("-q"), QStringLiteral("90"),
                                                              QStringLiteral("-o"), path, jpeg}) != 0)
                QSKIP("heif-enc is not installed; the setup script installs it");
        }
        QCOMPARE(imageSize(path).value(), QSize(32, 64));
        for (const ImageLoadOptions &options : {ImageLoadOptions(), box(16)}) {
            const auto image = loadImage(path, options);
            QVERIFY2(image.ok(), qPrintable(image.error()));
            const QSize expected = options.scaledTo.isValid() ? QSize(8, 16) : QSize(32, 64);
            QCOMPARE(image->size(), expected);
            // Turned a quarter clockwise: the left (red) half is on top.
            QVERIFY(isRed(image->pixel(expected.width() / 2, expected.height() / 8)));
            QVERIFY(isBlue(image->pixel(expected.width() / 2, expected.height() * 7 / 8)));
        }
    }

    void dicomShowsItsStoredWindow_data()
    {
        QTest::addColumn<DicomContent>("content");
        QTest::addColumn<int>("leftGrey");
        QTest::addColumn<int>("rightGrey");

        DicomContent content = twoValues(16, 30000, 45000);
        content.windowCenter = 30000;
        content.windowWidth = 20001;
        QTest::newRow("16-bit, window centred on 30000") << content << 128 << 255;
        content = twoValues(12, 2048, 0);
        content.windowCenter = 2048;
        content.windowWidth = 4096;
        QTest::newRow("12-bit, window centred on 2048") << content << 128 << 0;
        // Without a window the pixels' own range is used; read as 16-bit,
        // 3000 would be nearly black.
        QTest::newRow("12-bit without a window") << twoValues(12, 1000, 3000) << 0 << 255;
        content = twoValues(12, 0, 4095);
        content.monochrome1 = true;
        content.windowCenter = 2048;
        content.windowWidth = 4096;
        QTest::newRow("MONOCHROME1 is inverted") << content << 255 << 0;
        // A bent curve only the table gives: 512 reaches mid-grey, where the
        // pixels' range would give 32.
        content = twoValues(12, 512, 4095);
        for (int i = 0; i < 4096; ++i)
            content.voiLut.append(quint16(std::min(65535, i * 64)));
        QTest::newRow("VOI LUT") << content << 128 << 255;
    }

    void dicomShowsItsStoredWindow()
    {
        QFETCH(DicomContent, content);
        QFETCH(int, leftGrey);
        QFETCH(int, rightGrey);
        const QString path = makeDicomPicture(file(QStringLiteral("window-%1.dcm").arg(QTest::currentDataTag()).replace(' ', '-')), content);
        QVERIFY(!path.isEmpty());
        // The viewer's picture and a thumbnail's alike.
        for (const ImageLoadOptions &options : {ImageLoadOptions(), box(24)}) {
            const auto image = loadImage(path, options);
            QVERIFY2(image.ok(), qPrintable(image.error()));
            const int w = image->width();
            const int h = image->height();
            QCOMPARE(QSize(w, h), options.scaledTo.isValid() ? QSize(24, 16) : QSize(96, 64));
            QVERIFY2(qAbs(qGray(image->pixel(w / 4, h / 2)) - leftGrey) <= 2,
                     qPrintable(QString::number(qGray(image->pixel(w / 4, h / 2)))));
            QVERIFY2(qAbs(qGray(image->pixel(w * 3 / 4, h / 2)) - rightGrey) <= 2,
                     qPrintable(QString::number(qGray(image->pixel(w * 3 / 4, h / 2)))));
        }
    }

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
