// The cheap check of a file before it is shown or imported: whole files give
// their size, broken ones a reason a user can act on.

#include "component/fileprobe.h"
#include "support/dicomfixtures.h"
#include "support/mediafixtures.h"
#include "support/testhost.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

QImage picture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    return image;
}

void put32(QByteArray &bytes, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(v >> (24 - 8 * i));
}

// A small JPEG whose frame header claims width x height.
QByteArray jpegClaiming(int width, int height)
{
    QByteArray jpeg = encoded(picture({16, 16}), "JPG");
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width);
    return jpeg;
}

QByteArray pdfPage()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    QPainter(&writer).fillRect(QRect(0, 0, 2000, 2000), Qt::red);
    return bytes;
}

} // namespace

class TestFileProbe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void wholeFilesGiveTheirSize_data();
    void wholeFilesGiveTheirSize();
    void brokenFilesSayWhy_data();
    void brokenFilesSayWhy();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_mp4;
    QString m_heic;
};

void TestFileProbe::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_mp4 = makeMp4Clip(path("clip.mp4"), QSize(160, 120), 50);
    m_heic = makeHeic(path("photo.heic"), picture({64, 48}));
}

void TestFileProbe::wholeFilesGiveTheirSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");

    QTest::newRow("png") << "a.png" << encoded(picture({30, 20}), "PNG") << 1 << QSize(30, 20);
    QTest::newRow("jpeg") << "a.jpg" << encoded(picture({30, 20}), "JPG") << 1 << QSize(30, 20);
    QTest::newRow("a .jpg holding a png") << "b.jpg" << encoded(picture({30, 20}), "PNG") << 1
                                          << QSize(30, 20);
    QTest::newRow("no extension") << "sensor" << encoded(picture({30, 20}), "PNG") << 1
                                  << QSize(30, 20);
    QTest::newRow("pdf") << "letter.pdf" << pdfPage() << 5 << QSize();
    QTest::newRow("pdf after a few bytes of junk") << "mailed.pdf" << QByteArray("\r\n\r\n") + pdfPage()
                                                   << 5 << QSize();
    QTest::newRow("an .mp4 holding a bitmap") << "c.mp4" << encoded(picture({30, 20}), "BMP") << 2
                                              << QSize(30, 20);
}

void TestFileProbe::wholeFilesGiveTheirSize()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(QSize, size);
    QVERIFY(writeFile(path(name), content));
    const FileProbe probe = inspectFile(path(name));
    QVERIFY2(probe.ok(), qPrintable(probe.reason));
    QCOMPARE(probe.kind, kind);
    QCOMPARE(probe.size, size);
    QCOMPARE(probeFile(path(name)).value(), size);
}

void TestFileProbe::brokenFilesSayWhy_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("problem");
    QTest::addColumn<QString>("words");

    QTest::newRow("missing") << path("gone.jpg") << int(FileProbe::Missing) << "does not exist";
    QTest::newRow("folder") << m_dir.path() << int(FileProbe::Unreadable) << "not an ordinary file";

    const QString empty = path("empty.heic");
    writeFile(empty, {});
    QTest::newRow("zero-byte heic") << empty << int(FileProbe::Empty) << "is empty";

    const QString noPixels = makeDicomPicture(path("header-only.dcm"), {.pixelData = false});
    QTest::newRow("dicom without pixel data") << noPixels << int(FileProbe::NoPicture) << "no pixel data";
    DicomContent cut;
    cut.size = QSize(200, 100);
    const QString whole = makeDicomPicture(path("whole.dcm"), cut);
    QTest::newRow("dicom cut short") << truncatedCopy(whole, path("cut.dcm"), 30000)
                                     << int(FileProbe::Truncated) << "cut short";

    QTest::newRow("mp4 cut short") << truncatedCopy(m_mp4, path("cut.mp4"), QFileInfo(m_mp4).size() / 2)
                                   << int(FileProbe::Truncated) << "cut short";
    QByteArray index = fileContents(m_mp4);
    const qsizetype moov = index.indexOf("moov");
    index[moov + 3] = 'x'; // the clip's index renamed away
    writeFile(path("no-index.mp4"), index);
    QTest::newRow("mp4 without its index") << path("no-index.mp4") << int(FileProbe::Truncated)
                                           << "index is missing";
    // A box claiming gigabytes inside a small file.
    QByteArray boxes = fileContents(m_mp4);
    put32(boxes, 0, 0x7ffffff0);
    writeFile(path("huge-box.mp4"), boxes);
    QTest::newRow("mp4 box claiming gigabytes") << path("huge-box.mp4") << int(FileProbe::Truncated)
                                                << "cut short";

    // Claimed types their content does not bear out.
    writeFile(path("notes.mp4"), QByteArray("Consultation notes, typed in the wrong window.\n"));
    QTest::newRow("an .mp4 holding text") << path("notes.mp4") << int(FileProbe::Damaged)
                                          << "not a video";
    writeFile(path("notes.pdf"), QByteArray("Consultation notes, typed in the wrong window.\n"));
    QTest::newRow("a .pdf holding text") << path("notes.pdf") << int(FileProbe::Damaged)
                                         << "not a PDF document";
    const QByteArray bmp = encoded(picture({30, 20}), "BMP");
    writeFile(path("cut.bmp"), bmp.left(bmp.size() - 200));
    QTest::newRow("bitmap cut short") << path("cut.bmp") << int(FileProbe::Truncated) << "rows";

    const QByteArray png = encoded(picture({30, 20}), "PNG");
    writeFile(path("cut.png"), png.left(png.size() - 20));
    QTest::newRow("png cut short") << path("cut.png") << int(FileProbe::Truncated) << "cut short";
    const QByteArray jpeg = encoded(picture({64, 64}), "JPG");
    writeFile(path("cut.jpg"), jpeg.left(jpeg.size() - 40));
    QTest::newRow("jpeg cut short") << path("cut.jpg") << int(FileProbe::Truncated) << "cut short";
    const QByteArray pdf = pdfPage();
    writeFile(path("cut.pdf"), pdf.left(pdf.size() / 2));
    QTest::newRow("pdf cut short") << path("cut.pdf") << int(FileProbe::Truncated) << "cut short";

    // About a kilobyte each, claiming 60000 x 60000 pixels.
    writeFile(path("claims.png"), QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAA6mAAAOpgCAIAAAAPsOIVAAAADElEQVR4nGNgoAwAAABAAAG3NHzvAAAAAElFTkSuQmCC"));
    QTest::newRow("png claiming 60000 x 60000") << path("claims.png") << int(FileProbe::TooLarge)
                                                << "60000 x 60000";
    writeFile(path("claims.jpg"), jpegClaiming(60000, 60000));
    QTest::newRow("jpeg claiming 60000 x 60000") << path("claims.jpg") << int(FileProbe::TooLarge)
                                                 << "60000 x 60000";
    if (!m_heic.isEmpty()) {
        QByteArray heic = fileContents(m_heic);
        for (qsizetype at = heic.indexOf("ispe"); at >= 0; at = heic.indexOf("ispe", at + 4)) {
            put32(heic, at + 8, 60000);
            put32(heic, at + 12, 60000);
        }
        writeFile(path("claims.heic"), heic);
        QTest::newRow("heic claiming 60000 x 60000") << path("claims.heic") << int(FileProbe::TooLarge)
                                                     << "60000 x 60000";
    }
}

void TestFileProbe::brokenFilesSayWhy()
{
    QFETCH(QString, file);
    QFETCH(int, problem);
    QFETCH(QString, words);
    QVERIFY(!file.isEmpty());
    const FileProbe probe = inspectFile(file);
    QVERIFY2(probe.reason.contains(words), qPrintable(probe.reason));
    QCOMPARE(int(probe.problem), problem);
    QVERIFY2(probe.reason.contains(QFileInfo(file).fileName()), qPrintable(probe.reason));
    const Result<QSize> short_ = probeFile(file);
    QVERIFY(!short_);
    QCOMPARE(short_.error(), probe.reason);
}

QTEST_MAIN(TestFileProbe)
#include "tst_fileprobe.moc"
