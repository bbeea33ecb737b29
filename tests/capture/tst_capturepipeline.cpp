#include "media/captureclipreader.h"
#include "support/fulldisk.h"
#include "media/captureframestamp.h"
#include "media/capturepipeline.h"
#include "media/mediaengine.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace tovradocs::Internal;
using Container = CapturePipeline::Container;
using Result = CapturePipeline::RecordingResult;

class TestCapturePipeline : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { m_results.clear(); }
    void cleanup()
    {
        QVERIFY(MediaEngine::waitForIdle(20000));
        QCOMPARE(MediaEngine::livePipelines(), 0);
    }
    void sourcesThatCannotStartSayWhy();
    void stoppedWhileStartingLetsGoOfEverything();
    void clipHoldsEveryFrameOfItsTime_data();
    void clipHoldsEveryFrameOfItsTime();
    void clipsEndWhenAskedAndCanFollowEachOther();
    void clipEndingWhileTheWindowIsBusyLeavesTheSourceRunning();
    void closingMidClipKeepsAPlayableFile();
    void fullDiskEndsTheClipNotTheLiveView();

private:
    static std::unique_ptr<CapturePipeline> running(QSize size = QSize(320, 240), int fps = 25);
    // A clip to path whose outcome lands in m_results.
    CapturePipeline::Recording recordingTo(const QString &path);
    // The frame numbers a clip's pictures carry, in order.
    static QList<qint64> stampsOf(const QString &path, CaptureClipReader::Info *info);

    QTemporaryDir m_dir;
    QList<Result> m_results;
};

void TestCapturePipeline::initTestCase()
{
    QVERIFY(m_dir.isValid());
    CapturePipeline::setAudioSourceDescription(QStringLiteral("audiotestsrc is-live=true"));
}

std::unique_ptr<CapturePipeline> TestCapturePipeline::running(QSize size, int fps)
{
    auto pipeline = CapturePipeline::testPattern({size, fps, false});
    QSignalSpy started(pipeline.get(), &CapturePipeline::started);
    QSignalSpy refused(pipeline.get(), &CapturePipeline::startFailed);
    pipeline->start();
    if (!QTest::qWaitFor([&] { return !started.isEmpty() || !refused.isEmpty(); },
                         CapturePipeline::startTimeout() + 2000)
        || started.isEmpty()) {
        qWarning() << "the test pattern does not start" << refused;
        return nullptr;
    }
    return pipeline;
}

CapturePipeline::Recording TestCapturePipeline::recordingTo(const QString &path)
{
    CapturePipeline::Recording recording;
    recording.path = path;
    recording.whenFinished = [this](const Result &result) { m_results << result; };
    return recording;
}

// A device that cannot be opened, or that is no device at all, says so through
// startFailed and leaves nothing running.
void TestCapturePipeline::sourcesThatCannotStartSayWhy()
{
    CaptureDevice nothing;
    nothing.name = QStringLiteral("Gone");
    nothing.id = QByteArrayLiteral("gone");
    auto pipeline = CapturePipeline::device(nothing, {QSize(320, 240), 25, false});
    QSignalSpy started(pipeline.get(), &CapturePipeline::started);
    QSignalSpy refused(pipeline.get(), &CapturePipeline::startFailed);
    pipeline->start();
    QVERIFY(pipeline->isStarting());
    // A clip asked for meanwhile is refused with the source.
    QCOMPARE(pipeline->startRecording(recordingTo(m_dir.filePath(QStringLiteral("never.avi")))),
             QString());
    QTRY_COMPARE(refused.size(), 1);
    QVERIFY(!refused.at(0).at(0).toString().isEmpty());
    QCOMPARE(started.size(), 0);
    QVERIFY(!pipeline->isStarting() && !pipeline->isRunning());
    QTRY_COMPARE(m_results.size(), 1);
    QCOMPARE(m_results.at(0).frames, 0);
    QVERIFY(!m_results.at(0).failure.isEmpty());
    QVERIFY(!pipeline->isRecording());
}

// Stopping (or destroying) a source before its first picture returns at once
// and leaves no pipeline and no late signal behind.
void TestCapturePipeline::stoppedWhileStartingLetsGoOfEverything()
{
    for (int round = 0; round < 20; ++round) {
        auto pipeline = CapturePipeline::testPattern({QSize(320, 240), 25, false});
        QSignalSpy started(pipeline.get(), &CapturePipeline::started);
        QSignalSpy refused(pipeline.get(), &CapturePipeline::startFailed);
        pipeline->start();
        // Let the worker get somewhere different each round.
        for (int turns = 0; turns < round; ++turns)
            QCoreApplication::processEvents();
        if (round % 2)
            pipeline->stop();
        else
            pipeline.reset();
        QVERIFY(MediaEngine::waitForIdle(10000));
        QCoreApplication::processEvents();
        QCOMPARE(MediaEngine::livePipelines(), 0);
        QCOMPARE(refused.size(), 0);
        if (pipeline)
            QVERIFY(!pipeline->isRunning());
    }
}

QList<qint64> TestCapturePipeline::stampsOf(const QString &path, CaptureClipReader::Info *info)
{
    QList<qint64> stamps;
    *info = CaptureClipReader::read(path, [&](const QImage &frame) { stamps << CaptureFrameStamp::read(frame); });
    return stamps;
}

void TestCapturePipeline::clipHoldsEveryFrameOfItsTime_data()
{
    QTest::addColumn<Container>("container");
    QTest::addColumn<bool>("audio");
    QTest::newRow("MJPEG AVI") << Container::Avi << false;
    QTest::newRow("MJPEG AVI with sound") << Container::Avi << true;
    QTest::newRow("H.264 MP4") << Container::Mp4 << false;
}

// One second at 25 frames a second is 25 frames, each one the source made,
// none twice, none left out; the picture on screen runs on meanwhile.
void TestCapturePipeline::clipHoldsEveryFrameOfItsTime()
{
    QFETCH(Container, container);
    QFETCH(bool, audio);
    if (!CapturePipeline::canRecord(container))
        QSKIP("no H.264 encoder is installed");
    auto pipeline = running();
    QVERIFY(pipeline);
    // start() waited for the first picture.
    QVERIFY(!pipeline->currentFrame().isNull());
    QCOMPARE(pipeline->currentFrame().size(), QSize(320, 240));
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    CapturePipeline::Recording recording = recordingTo(path);
    recording.container = container;
    recording.audio = audio;
    recording.timeLimitSeconds = 1;
    QCOMPARE(pipeline->startRecording(recording), QString());
    QVERIFY(pipeline->isRecording());
    QTRY_COMPARE_WITH_TIMEOUT(m_results.size(), 1, 15000);
    const Result result = m_results.at(0);
    QCOMPARE(result.path, path);
    QCOMPARE(result.failure, QString());
    QCOMPARE(result.frames, 25);
    QVERIFY(!pipeline->isRecording());
    const qint64 shown = pipeline->framesShown();
    QTRY_VERIFY(pipeline->framesShown() > shown);
    pipeline.reset();

    CaptureClipReader::Info clip;
    const QList<qint64> stamps = stampsOf(path, &clip);
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(clip.frames, 25);
    QCOMPARE(clip.size, QSize(320, 240));
    QCOMPARE(clip.hasAudio, audio);
    QVERIFY(stamps.first() >= 0);
    for (int i = 1; i < stamps.size(); ++i)
        QCOMPARE(stamps.at(i), stamps.first() + i);
}

void TestCapturePipeline::clipsEndWhenAskedAndCanFollowEachOther()
{
    auto pipeline = running();
    QVERIFY(pipeline);
    QList<qint64> last;
    for (int n = 0; n < 2; ++n) {
        const QString path = m_dir.filePath(QStringLiteral("asked%1.avi").arg(n));
        QCOMPARE(pipeline->startRecording(recordingTo(path)), QString());
        QCOMPARE(pipeline->startRecording(recordingTo(path)),
                 QStringLiteral("A clip is being recorded already."));
        QTRY_VERIFY(pipeline->framesRecorded() >= 5);
        pipeline->stopRecording();
        QTRY_COMPARE_WITH_TIMEOUT(m_results.size(), n + 1, 10000);
        // The clip is let go of before it is reported: the next may start.
        QVERIFY(!pipeline->isRecording());
        const Result result = m_results.at(n);
        CaptureClipReader::Info clip;
        const QList<qint64> stamps = stampsOf(path, &clip);
        QVERIFY2(clip.ok(), qPrintable(clip.error));
        QCOMPARE(clip.frames, result.frames);
        // The second clip starts after the first, from the same running source.
        if (!last.isEmpty())
            QVERIFY(stamps.first() > last.last());
        last = stamps;
    }
}

// A clip that reaches its time limit while the user-interface thread is busy
// must not stop the source: its branch ends on its own, apart from the tee.
void TestCapturePipeline::clipEndingWhileTheWindowIsBusyLeavesTheSourceRunning()
{
    auto pipeline = running();
    QVERIFY(pipeline);
    CapturePipeline::Recording recording = recordingTo(m_dir.filePath(QStringLiteral("busy.avi")));
    recording.timeLimitSeconds = 1;
    QCOMPARE(pipeline->startRecording(recording), QString());
    // Busy past the clip's end: the tee goes on pushing pictures meanwhile.
    QThread::msleep(1600);
    QTRY_COMPARE_WITH_TIMEOUT(m_results.size(), 1, 10000);
    QCOMPARE(m_results.at(0).frames, 25);
    const qint64 produced = pipeline->framesProduced();
    QTRY_VERIFY(pipeline->framesProduced() > produced + 2);
}

// The pipeline goes mid-clip; the worker finishes the file and reports it.
void TestCapturePipeline::closingMidClipKeepsAPlayableFile()
{
    auto pipeline = running();
    QVERIFY(pipeline);
    const QString path = m_dir.filePath(QStringLiteral("closed.avi"));
    QCOMPARE(pipeline->startRecording(recordingTo(path)), QString());
    QTRY_VERIFY(pipeline->framesRecorded() >= 5);
    const qint64 recorded = pipeline->framesRecorded();
    pipeline.reset();
    QTRY_COMPARE_WITH_TIMEOUT(m_results.size(), 1, 15000);
    QCOMPARE(m_results.at(0).path, path);
    QCOMPARE(m_results.at(0).failure, QString());
    QVERIFY(m_results.at(0).frames >= recorded);
    QVERIFY(MediaEngine::waitForIdle(10000));
    QCOMPARE(MediaEngine::livePipelines(), 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The index is written: players can seek in it.
    QVERIFY(file.readAll().contains("idx1"));
    const auto clip = CaptureClipReader::read(path);
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QCOMPARE(clip.frames, m_results.at(0).frames);
}

void TestCapturePipeline::fullDiskEndsTheClipNotTheLiveView()
{
    // The disk fills at 1 MB: every write past it fails as on a full disk.
    constexpr rlim_t kRoom = 1 << 20;
    const tovradocs::Testing::FullDiskAfter fullDisk(kRoom);
    QVERIFY(fullDisk.ok());

    auto pipeline = running(QSize(640, 480), 30);
    QVERIFY(pipeline);
    QSignalSpy failed(pipeline.get(), &CapturePipeline::failed);
    const QString path = m_dir.filePath(QStringLiteral("full.avi"));
    CapturePipeline::Recording recording = recordingTo(path);
    recording.quality = 100;
    QCOMPARE(pipeline->startRecording(recording), QString());
    // The window is busy while the disk fills: the source must not wait for it.
    QThread::msleep(2000);
    QTRY_COMPARE_WITH_TIMEOUT(m_results.size(), 1, 20000);
    const Result result = m_results.at(0);
    QVERIFY(!result.failure.isEmpty());
    QVERIFY(result.frames > 0);
    // The source and the picture on screen go on.
    QVERIFY(pipeline->isRunning());
    const qint64 shown = pipeline->framesShown();
    QTRY_VERIFY(pipeline->framesShown() > shown + 2);
    QCOMPARE(failed.size(), 0);
    const qint64 size = QFileInfo(path).size();
    QVERIFY2(size > qint64(kRoom / 2) && size <= qint64(kRoom), qPrintable(QString::number(size)));
}

QTEST_MAIN(TestCapturePipeline)
#include "tst_capturepipeline.moc"
