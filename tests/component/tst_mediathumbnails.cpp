// Thumbnails of what is not a plain picture: a video's frame a tenth of the
// way in, a PDF's first page, a radiograph in its own window, a phone's HEIC;
// and the reasons broken files give instead.

#include "component/thumbnailprovider.h"
#include "support/dicomfixtures.h"
#include "support/mediafixtures.h"
#include "support/numberedclips.h"
#include "support/testhost.h"

#include <QPainter>
#include <QPdfWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

Q_DECLARE_METATYPE(ClipFormat)

namespace {

QImage halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image;
}

bool near(QRgb c, QColor want, int slack = 40)
{
    return qAbs(qRed(c) - want.red()) <= slack && qAbs(qGreen(c) - want.green()) <= slack
           && qAbs(qBlue(c) - want.blue()) <= slack;
}

QString colourOf(QRgb c)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

} // namespace

class TestMediaThumbnails : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup() { m_provider.reset(); }

    void videoShowsAFrameATenthIn_data();
    void videoShowsAFrameATenthIn();
    void pdfShowsItsFirstPage();
    void radiographKeepsItsWindow();
    void phonePhotoIsReducedInItsDecoder();
    void brokenFilesSayWhyAndFreeTheWorker_data();
    void brokenFilesSayWhyAndFreeTheWorker();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // The thumbnail, or a null image and the reason in *why.
    QImage thumbnailOf(const QString &file, int pixels, QString *why = nullptr);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ThumbnailProvider> m_provider;
};

void TestMediaThumbnails::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_provider = std::make_unique<ThumbnailProvider>();
    m_provider->setThumbnailBaseDir(path(QStringLiteral("cache")));
}

QImage TestMediaThumbnails::thumbnailOf(const QString &file, int pixels, QString *why)
{
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
    m_provider->request(file, pixels);
    if (loaded.isEmpty() && failed.isEmpty() && !QTest::qWaitFor([&] { return !loaded.isEmpty() || !failed.isEmpty(); }, 30000)) {
        if (why)
            *why = QStringLiteral("no answer within 30 seconds");
        return {};
    }
    if (!failed.isEmpty()) {
        if (why)
            *why = failed.at(0).at(1).toString();
        return {};
    }
    return loaded.at(0).at(1).value<QImage>();
}

void TestMediaThumbnails::videoShowsAFrameATenthIn_data()
{
    QTest::addColumn<ClipFormat>("format");
    QTest::newRow("H.264 in MP4") << ClipFormat::Mp4;
    QTest::newRow("MJPEG in AVI, as captured") << ClipFormat::Avi;
    QTest::newRow("VP8 in WebM") << ClipFormat::WebM;
}

void TestMediaThumbnails::videoShowsAFrameATenthIn()
{
    QFETCH(ClipFormat, format);
    QString error;
    // 400 frames: a tenth in is frame 40; a key frame comes every 30 frames
    // (every frame in MJPEG), and the thumbnail is the one at or before it.
    const QString clip = makeNumberedClip(path(QStringLiteral("clip.") + clipSuffix(format)), format,
                                          QSize(320, 240), 400, 25, &error);
    if (clip.isEmpty())
        QSKIP(qPrintable(error));
    QString why;
    const QImage thumbnail = thumbnailOf(clip, 128, &why);
    QVERIFY2(!thumbnail.isNull(), qPrintable(why));
    QCOMPARE(thumbnail.size(), QSize(128, 96));
    const int frame = frameNumber(thumbnail);
    QVERIFY2(frame >= 29 && frame <= 41, qPrintable(QString::number(frame)));
    if (format == ClipFormat::Avi)
        QVERIFY2(frame >= 39, qPrintable(QString::number(frame)));
    // Kept in the shared cache like a picture's.
    QVERIFY(QFileInfo::exists(m_provider->thumbnailFileName(clip, 128)));
    QCOMPARE(m_provider->cachedThumbnail(clip, 128).size(), QSize(128, 96));
}

void TestMediaThumbnails::pdfShowsItsFirstPage()
{
    const QString pdf = path(QStringLiteral("referral.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF());
        QPainter painter(&writer);
        const QRect page = painter.viewport();
        painter.fillRect(QRect(page.topLeft(), QSize(page.width(), page.height() / 2)), Qt::red);
        painter.fillRect(QRect(QPoint(0, page.height() / 2), QSize(page.width(), page.height() / 2)),
                         Qt::blue);
        writer.newPage();
        painter.fillRect(page, Qt::green);
    }
    QString why;
    const QImage thumbnail = thumbnailOf(pdf, 128, &why);
    QVERIFY2(!thumbnail.isNull(), qPrintable(why));
    // A4 upright: 128 high, 91 wide.
    QCOMPARE(thumbnail.height(), 128);
    QVERIFY2(qAbs(thumbnail.width() - 91) <= 1, qPrintable(QString::number(thumbnail.width())));
    const QRgb top = thumbnail.pixel(thumbnail.width() / 2, 20);
    const QRgb bottom = thumbnail.pixel(thumbnail.width() / 2, 108);
    QVERIFY2(near(top, Qt::red), qPrintable(colourOf(top)));
    QVERIFY2(near(bottom, Qt::blue), qPrintable(colourOf(bottom)));
}

void TestMediaThumbnails::radiographKeepsItsWindow()
{
    // A 16-bit sensor picture with no extension, as sensors save them: the
    // left half at the window's centre (mid-grey), the right half above it.
    DicomContent content;
    content.size = QSize(1200, 960);
    content.windowCenter = 30000;
    content.windowWidth = 20001;
    content.value = [](int x, int) { return x < 600 ? 30000 : 50000; };
    const QString file = makeDicomPicture(path(QStringLiteral("RVG00042")), content);
    QVERIFY(!file.isEmpty());
    QString why;
    const QImage thumbnail = thumbnailOf(file, 256, &why);
    QVERIFY2(!thumbnail.isNull(), qPrintable(why));
    QCOMPARE(thumbnail.size(), QSize(256, 205));
    QCOMPARE(thumbnail.format(), QImage::Format_Grayscale8);
    QVERIFY2(qAbs(qGray(thumbnail.pixel(64, 100)) - 128) <= 2, qPrintable(colourOf(thumbnail.pixel(64, 100))));
    QCOMPARE(qGray(thumbnail.pixel(192, 100)), 255);
}

void TestMediaThumbnails::phonePhotoIsReducedInItsDecoder()
{
    const QString heic = makeHeic(path(QStringLiteral("IMG_0042.HEIC")), halves(QSize(1024, 768)));
    if (heic.isEmpty())
        QSKIP("heif-enc is not installed; the setup script installs it");
    QString why;
    const QImage thumbnail = thumbnailOf(heic, 128, &why);
    QVERIFY2(!thumbnail.isNull(), qPrintable(why));
    QCOMPARE(thumbnail.size(), QSize(128, 96));
    QVERIFY2(near(thumbnail.pixel(20, 48), Qt::red), qPrintable(colourOf(thumbnail.pixel(20, 48))));
    QVERIFY2(near(thumbnail.pixel(108, 48), Qt::blue), qPrintable(colourOf(thumbnail.pixel(108, 48))));
    QCOMPARE(QImage(m_provider->thumbnailFileName(heic, 128)).text(QStringLiteral("Thumb::Image::Width")),
             QStringLiteral("1024"));
}

void TestMediaThumbnails::brokenFilesSayWhyAndFreeTheWorker_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("words");
    QTest::newRow("truncated mp4") << "cut.mp4" << "cut short";
    QTest::newRow("zero-byte heic") << "empty.heic" << "is empty";
    QTest::newRow("dicom without pixel data") << "header-only.dcm" << "no pixel data";
    QTest::newRow("a kilobyte claiming 60000 x 60000") << "claims.png" << "60000 x 60000";
    QTest::newRow("pdf cut short") << "cut.pdf" << "cut short";
}

void TestMediaThumbnails::brokenFilesSayWhyAndFreeTheWorker()
{
    QFETCH(QString, name);
    QFETCH(QString, words);
    const QString file = path(name);
    if (name == QLatin1String("cut.mp4")) {
        const QString whole = makeMp4Clip(path(QStringLiteral("whole.mp4")), QSize(160, 120), 50);
        QVERIFY(!whole.isEmpty());
        QVERIFY(!truncatedCopy(whole, file, QFileInfo(whole).size() * 2 / 3).isEmpty());
    } else if (name == QLatin1String("empty.heic")) {
        QVERIFY(writeFile(file, {}));
    } else if (name == QLatin1String("header-only.dcm")) {
        QVERIFY(!makeDicomPicture(file, {.pixelData = false}).isEmpty());
    } else if (name == QLatin1String("claims.png")) {
        QVERIFY(writeFile(file, QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAA6mAAAOpgCAIAAAAPsOIVAAAADElEQVR4nGNgoAwAAABAAAG3NHzvAAAAAElFTkSuQmCC")));
    } else {
        QVERIFY(writeFile(file, "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n"));
    }
    // One worker: the good picture after the broken file is answered only
    // once the worker is free again.
    m_provider->setWorkerCount(1);
    QString why;
    QVERIFY(thumbnailOf(file, 128, &why).isNull());
    QVERIFY2(why.contains(words), qPrintable(why));
    QVERIFY2(why.contains(name), qPrintable(why));
    const QString good = path(QStringLiteral("good.png"));
    QVERIFY(halves(QSize(64, 48)).save(good));
    QVERIFY(!thumbnailOf(good, 128).isNull());
}

QTEST_MAIN(TestMediaThumbnails)
#include "tst_mediathumbnails.moc"
