// Writes the pictures bench_thumbnails measures, one folder a set, so that
// anyone can measure the same files:
//
//   camera/         JPEG 4032 x 3024, baseline, quality 92
//   xray/           PNG 2000 x 1500, 8-bit grey
//   jpeg24-turned/  JPEG 6000 x 4000 (24 MP) with EXIF orientation 6
//   progressive/    progressive JPEG 4032 x 3024, quality 92
//   tiff-lzw/       TIFF 4032 x 3024, RGB, LZW, strips of the default height
//   tiff-jpeg/      TIFF 4032 x 3024, YCbCr 2x2 in JPEG strips of 16 rows
//   webp/           lossy WebP 4032 x 3024, quality 80
//   png16-grey/     PNG 3000 x 2400, 16-bit grey
//
// A set keeps a few distinct pictures and copies them up to the count.
// Existing files are kept; delete a folder to make it again.

#include "benchpictures.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QImageWriter>

#include <tiffio.h>

using namespace benchpictures;

namespace {

QByteArray exifOrientationBlock(int orientation)
{
    const uchar block[] = {'I', 'I', '*', 0, 8, 0, 0, 0, // header, first directory at 8
                           1, 0,                          // one entry
                           0x12, 0x01, 3, 0, 1, 0, 0, 0, uchar(orientation), 0, 0, 0, // Orientation
                           0, 0, 0, 0};                   // no next directory
    return QByteArray("Exif\0\0", 6) + QByteArray(reinterpret_cast<const char *>(block), sizeof block);
}

bool saveJpeg(const QImage &image, const QString &path, bool progressive, int orientation)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        return false;
    if (orientation > 1) {
        const QByteArray payload = exifOrientationBlock(orientation);
        const int length = int(payload.size()) + 2;
        bytes.insert(2, QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + payload);
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool saveTiff(const QImage &source, const QString &path, bool jpeg)
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
    if (jpeg) {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 92);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, quint32(16));
    } else {
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    }
    bool ok = true;
    for (int y = 0; y < image.height() && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar *>(image.constScanLine(y)), quint32(y), 0) >= 0;
    TIFFClose(tif);
    return ok;
}

// Sensors give noise in every bit, which is what makes such files large.
QImage radiograph16(int seed, QSize size)
{
    const QImage grey = radiograph(seed, size);
    QImage image(size, QImage::Format_Grayscale16);
    quint32 rng = 0x27d4eb2du * quint32(seed + 7);
    for (int y = 0; y < size.height(); ++y) {
        const uchar *in = grey.constScanLine(y);
        auto *out = reinterpret_cast<quint16 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            out[x] = quint16(in[x] * 257 + (nextRandom(rng) & 0xff) - 128 + (in[x] == 0 ? 128 : 0));
    }
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the thumbnail benchmark's picture sets, one folder each, into --dir."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Where the sets go."), QStringLiteral("dir"),
                      QStringLiteral("/tmp/tovra-bench-thumbs")});
    parser.addOption({QStringLiteral("count"), QStringLiteral("Pictures in each new set."),
                      QStringLiteral("n"), QStringLiteral("40")});
    parser.addOption({QStringLiteral("jpegs"), QStringLiteral("Pictures in the camera set."),
                      QStringLiteral("n"), QStringLiteral("500")});
    parser.addOption({QStringLiteral("pngs"), QStringLiteral("Pictures in the radiograph set."),
                      QStringLiteral("n"), QStringLiteral("100")});
    parser.process(app);
    const QString dir = parser.value(QStringLiteral("dir"));
    const int count = std::max(1, parser.value(QStringLiteral("count")).toInt());
    const QSize camera(4032, 3024);

    ensureSet(dir + QStringLiteral("/camera"), QStringLiteral("IMG"), QStringLiteral("jpg"),
              parser.value(QStringLiteral("jpegs")).toInt(), 40,
              [&](int i, const QString &path) { return cameraPicture(i, camera).save(path, "JPEG", 92); });
    ensureSet(dir + QStringLiteral("/xray"), QStringLiteral("RX"), QStringLiteral("png"),
              parser.value(QStringLiteral("pngs")).toInt(), 10,
              [](int i, const QString &path) { return radiograph(i).save(path, "PNG"); });
    ensureSet(dir + QStringLiteral("/jpeg24-turned"), QStringLiteral("IMG"), QStringLiteral("jpg"), count, 8,
              [](int i, const QString &path) {
                  return saveJpeg(cameraPicture(100 + i, QSize(6000, 4000)), path, false, 6);
              });
    ensureSet(dir + QStringLiteral("/progressive"), QStringLiteral("IMG"), QStringLiteral("jpg"), count, 8,
              [&](int i, const QString &path) {
                  return saveJpeg(cameraPicture(200 + i, camera), path, true, 1);
              });
    ensureSet(dir + QStringLiteral("/tiff-lzw"), QStringLiteral("SCAN"), QStringLiteral("tif"), count, 8,
              [&](int i, const QString &path) { return saveTiff(cameraPicture(300 + i, camera), path, false); });
    ensureSet(dir + QStringLiteral("/tiff-jpeg"), QStringLiteral("SCAN"), QStringLiteral("tif"), count, 8,
              [&](int i, const QString &path) { return saveTiff(cameraPicture(400 + i, camera), path, true); });
    ensureSet(dir + QStringLiteral("/webp"), QStringLiteral("IMG"), QStringLiteral("webp"), count, 8,
              [&](int i, const QString &path) { return cameraPicture(500 + i, camera).save(path, "WEBP", 80); });
    ensureSet(dir + QStringLiteral("/png16-grey"), QStringLiteral("RX"), QStringLiteral("png"), count, 8,
              [](int i, const QString &path) {
                  return radiograph16(600 + i, QSize(3000, 2400)).save(path, "PNG");
              });
    std::printf("sets are in %s\n", qPrintable(dir));
    return 0;
}
