#include "media/captureclipreader.h"
#include "support/fulldisk.h"
#include "media/captureclipwriter.h"
#include "media/captureframestamp.h"
#include "media/mediaengine.h"
#include "support/testhost.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace tovradocs::Internal;

class TestCaptureClipWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void cleanup()
    {
        QVERIFY(MediaEngine::waitForIdle(20000));
        QCOMPARE(MediaEngine::livePipelines(), 0);
    }
    void clipHoldsEveryFramePushed_data();
    void clipHoldsEveryFramePushed();
    void framesOfAnotherSizeAreScaled();
    void badTargetsAndFilesAreRefused();
    void fullDiskStopsTheClipAndKeepsIt();
    void writerGoneBeforeItsClipIsFinished();

private:
    // Ends the writer's clip and waits for its file; the error, or empty.
    static QString finish(CaptureClipWriter &writer);

    QTemporaryDir m_dir;
};

QString TestCaptureClipWriter::finish(CaptureClipWriter &writer)
{
    QSignalSpy finished(&writer, &CaptureClipWriter::finished);
    writer.stop();
    if (!finished.wait(30000))
        return QStringLiteral("no answer");
    return finished.at(0).at(0).toString();
}

void TestCaptureClipWriter::clipHoldsEveryFramePushed_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frames");
    QTest::newRow("small") << QSize(320, 240) << 30;
    QTest::newRow("odd size is evened") << QSize(201, 121) << 5;
    QTest::newRow("large") << QSize(1280, 720) << 3;
}

void TestCaptureClipWriter::clipHoldsEveryFramePushed()
{
    QFETCH(QSize, size);
    QFETCH(int, frames);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".avi");
    CaptureClipWriter writer;
    const QString refused = writer.start(path, {.frameSize = size, .framesPerSecond = 25});
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
    QImage frame(size, QImage::Format_RGB32);
    frame.fill(Qt::darkCyan);
    for (int i = 0; i < frames; ++i) {
        CaptureFrameStamp::write(frame.bits(), frame.width(), frame.height(), frame.bytesPerLine(), i);
        QVERIFY(writer.push(frame));
    }
    QCOMPARE(writer.framesPushed(), frames);
    QCOMPARE(finish(writer), QString());
    QVERIFY(!writer.isRecording());

    // Every picture, in order, at the clip's (even) size.
    QList<qint64> order;
    const auto clip = CaptureClipReader::read(path, [&](const QImage &f) { order << CaptureFrameStamp::read(f); });
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(clip.frames, frames);
    QCOMPARE(clip.size, QSize(size.width() & ~1, size.height() & ~1));
    for (int i = 0; i < frames; ++i)
        QCOMPARE(order.value(i), qint64(i));
}

void TestCaptureClipWriter::framesOfAnotherSizeAreScaled()
{
    const QString path = m_dir.filePath(QStringLiteral("scaled.avi"));
    CaptureClipWriter writer;
    QCOMPARE(writer.start(path, {.frameSize = QSize(320, 240)}), QString());
    QImage big(640, 480, QImage::Format_ARGB32);
    big.fill(Qt::red);
    QVERIFY(writer.push(big));
    QVERIFY(writer.push(big.scaled(100, 50)));
    QCOMPARE(finish(writer), QString());
    const auto clip = CaptureClipReader::read(path);
    QVERIFY(clip.ok());
    QCOMPARE(clip.frames, 2);
    QCOMPARE(clip.size, QSize(320, 240));
}

void TestCaptureClipWriter::badTargetsAndFilesAreRefused()
{
    CaptureClipWriter writer;
    QVERIFY(!writer.start(m_dir.filePath(QStringLiteral("missing/x.avi")), {.frameSize = QSize(64, 48)}).isEmpty());
    QVERIFY(!writer.isRecording());
    QVERIFY(!writer.push(QImage(64, 48, QImage::Format_RGB32)));
    QVERIFY(!writer.start(QString(), {.frameSize = QSize(64, 48)}).isEmpty());
    QVERIFY(!writer.start(m_dir.filePath(QStringLiteral("nothing.avi")), {}).isEmpty());

    const QString damaged = m_dir.filePath(QStringLiteral("not-a-clip.avi"));
    QVERIFY(tovradocs::Testing::writeFile(damaged, "RIFF\x10\0\0\0AVI garbage that is no clip at all"));
    QVERIFY(!CaptureClipReader::read(damaged).ok());
    QVERIFY(!CaptureClipReader::read(m_dir.filePath(QStringLiteral("absent.avi"))).ok());
}

void TestCaptureClipWriter::fullDiskStopsTheClipAndKeepsIt()
{
    // The disk fills at 1 MB: every write past it fails as on a full disk.
    constexpr rlim_t kRoom = 1 << 20;
    const tovradocs::Testing::FullDiskAfter fullDisk(kRoom);
    QVERIFY(fullDisk.ok());

    const QString path = m_dir.filePath(QStringLiteral("full.avi"));
    CaptureClipWriter writer;
    QSignalSpy failed(&writer, &CaptureClipWriter::failed);
    QCOMPARE(writer.start(path, {.frameSize = QSize(320, 240), .quality = 100}), QString());
    // Noise compresses badly: each frame takes tens of kilobytes.
    QImage noise(320, 240, QImage::Format_RGB32);
    for (int frame = 0; frame < 400 && failed.isEmpty(); ++frame) {
        auto *pixels = reinterpret_cast<quint32 *>(noise.bits());
        QRandomGenerator::global()->fillRange(pixels, noise.width() * noise.height());
        writer.push(noise);
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
    QVERIFY(!failed.at(0).at(0).toString().isEmpty());
    QVERIFY(!writer.isRecording());
    // What was written stays.
    const qint64 size = QFileInfo(path).size();
    QVERIFY2(size > qint64(kRoom / 2) && size <= qint64(kRoom), qPrintable(QString::number(size)));
}

// The frame-by-frame dialog lets go of its writer as it closes; the clip is
// finished all the same.
void TestCaptureClipWriter::writerGoneBeforeItsClipIsFinished()
{
    const QString path = m_dir.filePath(QStringLiteral("dropped.avi"));
    {
        CaptureClipWriter writer;
        QCOMPARE(writer.start(path, {.frameSize = QSize(320, 240)}), QString());
        QImage frame(320, 240, QImage::Format_RGB32);
        for (int i = 0; i < 8; ++i) {
            frame.fill(QColor::fromHsv(i * 40, 200, 200));
            CaptureFrameStamp::write(frame.bits(), frame.width(), frame.height(),
                                     frame.bytesPerLine(), i);
            QVERIFY(writer.push(frame));
        }
    }
    QVERIFY(MediaEngine::waitForIdle(20000));
    QList<qint64> order;
    const auto clip = CaptureClipReader::read(
        path, [&](const QImage &f) { order << CaptureFrameStamp::read(f); });
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(order, QList<qint64>({0, 1, 2, 3, 4, 5, 6, 7}));
}

QTEST_MAIN(TestCaptureClipWriter)
#include "tst_captureclipwriter.moc"
