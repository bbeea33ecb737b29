#include "capture/avirecorder.h"
#include "capture/testpatternsource.h"
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

class TestAviRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void clipHoldsEveryFramePushed_data();
    void clipHoldsEveryFramePushed();
    void framesOfAnotherSizeAreScaled();
    void badTargetsAndFilesAreRefused();
    void fullDiskStopsTheClipAndKeepsIt();

private:
    QTemporaryDir m_dir;
};

void TestAviRecorder::clipHoldsEveryFramePushed_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<bool>("stepped");
    QTest::newRow("live, small") << QSize(320, 240) << 30 << false << false;
    QTest::newRow("odd size is evened") << QSize(161, 121) << 5 << false << false;
    QTest::newRow("frame by frame") << QSize(640, 480) << 3 << false << true;
    QTest::newRow("with sound") << QSize(320, 240) << 20 << true << false;
}

void TestAviRecorder::clipHoldsEveryFramePushed()
{
    QFETCH(QSize, size);
    QFETCH(int, frames);
    QFETCH(bool, audio);
    QFETCH(bool, stepped);
    AviRecorder::setAudioSourceDescription(QStringLiteral("audiotestsrc is-live=true"));
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".avi");
    AviRecorder recorder;
    const auto started
        = recorder.start(path, {.frameSize = size, .framesPerSecond = 25, .audio = audio, .stepped = stepped});
    QVERIFY2(started.ok(), qPrintable(started.error()));
    if (audio) {
        // Sound needs real time to flow, so the frames come at their pace.
        TestPatternSource source(size, 25);
        connect(&source, &CaptureSource::frameReady, &recorder, &AviRecorder::push);
        QVERIFY(source.connectDriver());
        QTRY_VERIFY(recorder.framesPushed() >= frames);
        source.disconnectDriver();
        frames = int(recorder.framesPushed());
    } else {
        const QImage background = TestPatternSource::makeBackground(size);
        for (int i = 0; i < frames; ++i)
            QVERIFY(recorder.push(TestPatternSource::makeFrame(background, i, QDateTime::currentDateTime())));
    }
    QCOMPARE(recorder.framesPushed(), frames);
    const auto stopped = recorder.stop();
    QVERIFY2(stopped.ok(), qPrintable(stopped.error()));
    QVERIFY(!recorder.isRecording());

    const auto clip = AviRecorder::readClip(path);
    QVERIFY2(clip.ok(), qPrintable(clip.error()));
    QCOMPARE(clip->hasAudio, audio);
    QCOMPARE(clip->frames, frames);
    QCOMPARE(clip->size, QSize(size.width() & ~1, size.height() & ~1));
}

void TestAviRecorder::framesOfAnotherSizeAreScaled()
{
    const QString path = m_dir.filePath(QStringLiteral("scaled.avi"));
    AviRecorder recorder;
    QVERIFY(recorder.start(path, {.frameSize = QSize(320, 240)}).ok());
    QImage big(640, 480, QImage::Format_ARGB32);
    big.fill(Qt::red);
    QVERIFY(recorder.push(big));
    QVERIFY(recorder.push(big.scaled(100, 50)));
    QVERIFY(recorder.stop().ok());
    const auto clip = AviRecorder::readClip(path);
    QVERIFY(clip.ok());
    QCOMPARE(clip->frames, 2);
    QCOMPARE(clip->size, QSize(320, 240));
}

void TestAviRecorder::badTargetsAndFilesAreRefused()
{
    AviRecorder recorder;
    const auto started = recorder.start(m_dir.filePath(QStringLiteral("missing/x.avi")), {.frameSize = QSize(64, 48)});
    QVERIFY(!started.ok());
    QVERIFY(!started.error().isEmpty());
    QVERIFY(!recorder.isRecording());
    QVERIFY(!recorder.push(QImage(64, 48, QImage::Format_RGB32)));
    QVERIFY(!recorder.start(QString(), AviRecorder::Format()).ok());

    const QString damaged = m_dir.filePath(QStringLiteral("not-a-clip.avi"));
    QVERIFY(tovradocs::Testing::writeFile(damaged, "RIFF\x10\0\0\0AVI garbage that is no clip at all"));
    QVERIFY(!AviRecorder::readClip(damaged).ok());
    QVERIFY(!AviRecorder::readClip(m_dir.filePath(QStringLiteral("absent.avi"))).ok());
}

void TestAviRecorder::fullDiskStopsTheClipAndKeepsIt()
{
    // The disk fills at 1 MB: every write past it fails as on a full disk.
    constexpr rlim_t kRoom = 1 << 20;
    rlimit before {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit full {kRoom, before.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
    const auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
    });

    const QString path = m_dir.filePath(QStringLiteral("full.avi"));
    AviRecorder recorder;
    QSignalSpy failed(&recorder, &AviRecorder::failed);
    QVERIFY(recorder.start(path, {.frameSize = QSize(320, 240), .quality = 100, .stepped = true}).ok());
    // Noise compresses badly: each frame takes tens of kilobytes.
    QImage noise(320, 240, QImage::Format_RGB32);
    for (int frame = 0; frame < 400 && failed.isEmpty(); ++frame) {
        auto *pixels = reinterpret_cast<quint32 *>(noise.bits());
        QRandomGenerator::global()->fillRange(pixels, noise.width() * noise.height());
        recorder.push(noise);
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
    QVERIFY(!failed.at(0).at(0).toString().isEmpty());
    QVERIFY(!recorder.isRecording());
    // What was written stays.
    const qint64 size = QFileInfo(path).size();
    QVERIFY2(size > kRoom / 2 && size <= qint64(kRoom), qPrintable(QString::number(size)));
}

QTEST_MAIN(TestAviRecorder)
#include "tst_avirecorder.moc"
