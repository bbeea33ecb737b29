// The block reader that makes JPEG thumbnails against libjpeg's own 1/8
// decoding of the same files, written here with the sampling, tables and
// restart intervals camera pictures come with.

#include "component/jpegdc.h"

#include <QPainter>
#include <QTest>

#include <cstdio>
#include <jpeglib.h>

using namespace tovradocs::Internal;

namespace {

struct JpegSettings
{
    int hLuma = 2; // 2 x 2: 4:2:0
    int vLuma = 2;
    bool grey = false;
    int quality = 90;
    int restartRows = 0;
    bool optimize = false;
    bool progressive = false;
    bool arithmetic = false;
};

// Fine grey detail over a colour that changes every 16 x 16 pixels: the AC
// coefficients are busy, while 4:2:0 chroma stays flat within each of its
// blocks, where libjpeg's 2 x 2 chroma transform and the DC value agree.
QImage detailed(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            const int detail = ((x * 7 + y * 3) ^ (x * y >> 5)) & 63;
            const int bx = x / 16;
            const int by = y / 16;
            line[3 * x] = uchar(40 + (bx * 37 % 120) + detail);
            line[3 * x + 1] = uchar(40 + (by * 53 % 120) + detail);
            line[3 * x + 2] = uchar(40 + ((bx + by) * 29 % 120) + detail);
        }
    }
    return image;
}

QByteArray writeJpeg(const QImage &rgb, const JpegSettings &s)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = JDIMENSION(rgb.width());
    c.image_height = JDIMENSION(rgb.height());
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, s.quality, TRUE);
    if (s.grey)
        jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    c.comp_info[0].h_samp_factor = s.hLuma;
    c.comp_info[0].v_samp_factor = s.vLuma;
    c.restart_in_rows = s.restartRows;
    c.optimize_coding = s.optimize;
    c.arith_code = s.arithmetic;
    if (s.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uchar *>(rgb.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(outSize));
    std::free(out);
    return bytes;
}

QImage libjpegEighth(const QByteArray &file)
{
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, reinterpret_cast<const uchar *>(file.constData()), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&c, TRUE);
    c.scale_num = 1;
    c.scale_denom = 8;
    c.do_fancy_upsampling = FALSE;
    const bool grey = c.num_components == 1;
    c.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
    jpeg_start_decompress(&c);
    QImage image(int(c.output_width), int(c.output_height), grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = image.scanLine(int(c.output_scanline));
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return image;
}

std::optional<JpegDcPicture> readDc(const QByteArray &file, int edge = 64)
{
    return decodeJpegDc(reinterpret_cast<const uchar *>(file.constData()), size_t(file.size()), edge);
}

// Mean difference of a channel over the picture, in levels.
double meanDifference(const QImage &a, const QImage &b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return double(sum) / (3.0 * a.width() * a.height());
}

} // namespace

Q_DECLARE_METATYPE(JpegSettings)

class TestJpegDc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchesLibjpeg_data();
    void matchesLibjpeg();
    void leavesOtherStreamsToLibjpeg();
    void readsOrientationAndSize();
};

void TestJpegDc::matchesLibjpeg_data()
{
    QTest::addColumn<JpegSettings>("settings");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("tolerance"); // mean levels; 0: identical

    JpegSettings s;
    QTest::newRow("4:2:0, odd size") << s << QSize(1001, 777) << 0.5;
    s.restartRows = 1;
    QTest::newRow("4:2:0, restart every row") << s << QSize(1200, 800) << 0.5;
    s = JpegSettings();
    s.hLuma = 1;
    s.vLuma = 1;
    s.quality = 100; // long codes with many extra bits
    QTest::newRow("4:4:4, quality 100") << s << QSize(900, 650) << 0.0;
    s = JpegSettings();
    s.vLuma = 1;
    s.optimize = true;
    QTest::newRow("4:2:2, optimized tables") << s << QSize(1030, 610) << 0.0;
    s = JpegSettings();
    s.hLuma = 1;
    QTest::newRow("4:4:0") << s << QSize(640, 1030) << 0.0;
    s = JpegSettings();
    s.grey = true;
    s.quality = 20;
    s.restartRows = 3;
    QTest::newRow("grey, coarse, restarts") << s << QSize(1500, 1100) << 0.0;
    // Progressive files are read up to their last DC scan.
    s.progressive = true;
    QTest::newRow("progressive grey, restarts") << s << QSize(1500, 1100) << 0.0;
    s = JpegSettings();
    s.progressive = true;
    QTest::newRow("progressive 4:2:0") << s << QSize(1001, 777) << 0.5;
    s.hLuma = 1;
    s.vLuma = 1;
    QTest::newRow("progressive 4:4:4") << s << QSize(900, 650) << 0.0;
}

void TestJpegDc::matchesLibjpeg()
{
    QFETCH(JpegSettings, settings);
    QFETCH(QSize, size);
    QFETCH(double, tolerance);
    const QByteArray file = writeJpeg(detailed(size), settings);
    const QImage expected = libjpegEighth(file);
    const auto dc = readDc(file);
    QVERIFY(dc);
    QCOMPARE(dc->original, size);
    QCOMPARE(dc->image.size(), expected.size());
    QCOMPARE(dc->image.format(), expected.format());
    if (tolerance == 0) {
        QCOMPARE(dc->image, expected);
    } else {
        // libjpeg keeps a little more of 4:2:0 chroma (a 2 x 2 transform).
        const double mean = meanDifference(dc->image, expected);
        QVERIFY2(mean <= tolerance, qPrintable(QString::number(mean)));
    }
}

void TestJpegDc::leavesOtherStreamsToLibjpeg()
{
    const QImage picture = detailed(QSize(800, 600));
    JpegSettings arithmetic;
    arithmetic.arithmetic = true;
    QVERIFY(!readDc(writeJpeg(picture, arithmetic)));

    // Files cut short (a progressive one before its DC refinement), one with
    // its entropy data overwritten, and one whose 1/8 would not cover the
    // thumbnail all go the general way.
    const QByteArray whole = writeJpeg(picture, JpegSettings());
    QVERIFY(readDc(whole));
    QVERIFY(!readDc(whole.left(whole.size() / 2)));
    JpegSettings progressive;
    progressive.progressive = true;
    const QByteArray inSteps = writeJpeg(picture, progressive);
    QVERIFY(readDc(inSteps));
    QVERIFY(!readDc(inSteps.left(inSteps.size() / 3)));
    QByteArray damaged = whole;
    for (qsizetype i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i)
        damaged[i] = char(0xff);
    QVERIFY(!readDc(damaged));
    QVERIFY(!readDc(whole, 256));
    QVERIFY(!readDc(QByteArray("\xff\xd8\xff\xd9", 4)));
}

void TestJpegDc::readsOrientationAndSize()
{
    QByteArray file = writeJpeg(detailed(QSize(2000, 1000)), JpegSettings());
    // An APP1 EXIF block, big-endian, with orientation 6, after SOI.
    const char exif[] = "\xff\xe1\x00\x22"
                        "Exif\x00\x00"
                        "MM\x00\x2a\x00\x00\x00\x08"
                        "\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00"
                        "\x00\x00\x00\x00";
    file.insert(2, QByteArray(exif, sizeof exif - 1));
    const auto dc = readDc(file, 200);
    QVERIFY(dc);
    QCOMPARE(dc->orientation, 6);
    QCOMPARE(dc->image.size(), QSize(250, 125));
}

QTEST_GUILESS_MAIN(TestJpegDc)
#include "tst_jpegdc.moc"
