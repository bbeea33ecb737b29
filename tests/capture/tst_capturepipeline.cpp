#include "media/captureclipreader.h"
#include "media/captureframestamp.h"
#include "media/capturepipeline.h"

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
    void cleanup() { QCOMPARE(CapturePipeline::livePipelines(), 0); }
    void clipHoldsEveryFrameOfItsTime_data();
    void clipHoldsEveryFrameOfItsTime();
    void clipsEndWhenAskedAndCanFollowEachOther();
    void clipEndingWhileTheWindowIsBusyLeavesTheSourceRunning();
    void closingMidClipKeepsAPlayableFile();
    void fullDiskEndsTheClipNotTheLiveView();

private:
    static std::unique_ptr<CapturePipeline> running(QSize size = QSize(320, 240), int fps = 25);
    // The frame numbers a clip's pictures carry, in order.
    static QList<qint64> stampsOf(const QString &path, CaptureClipReader::Info *info);

    QTemporaryDir m_dir;
};

void TestCapturePipeline::initTestCase()
{
    QVERIFY(m_dir.isValid());
    CapturePipeline::setAudioSourceDescription(QStringLiteral("audiotestsrc is-live=true"));
}

std::unique_ptr<CapturePipeline> TestCapturePipeline::running(QSize size, int fps)
{
    auto pipeline = CapturePipeline::testPattern({size, fps, false});
    const QString refused = pipeline->start();
    if (!refused.isEmpty()) {
        qWarning() << refused;
        return nullptr;
    }
    return pipeline;
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
    QSignalSpy finished(pipeline.get(), &CapturePipeline::recordingFinished);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    QCOMPARE(pipeline->startRecording({.path = path, .container = container, .audio = audio, .timeLimitSeconds = 1}),
             QString());
    QVERIFY(pipeline->isRecording());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    const auto result = finished.at(0).at(0).value<Result>();
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
    QSignalSpy finished(pipeline.get(), &CapturePipeline::recordingFinished);
    QList<qint64> last;
    for (int n = 0; n < 2; ++n) {
        const QString path = m_dir.filePath(QStringLiteral("asked%1.avi").arg(n));
        QCOMPARE(pipeline->startRecording({.path = path}), QString());
        QCOMPARE(pipeline->startRecording({.path = path}), QStringLiteral("A clip is being recorded already."));
        QTRY_VERIFY(pipeline->framesRecorded() >= 5);
        pipeline->stopRecording();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), n + 1, 10000);
        const auto result = finished.at(n).at(0).value<Result>();
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
    QSignalSpy finished(pipeline.get(), &CapturePipeline::recordingFinished);
    QCOMPARE(pipeline->startRecording({.path = m_dir.filePath(QStringLiteral("busy.avi")), .timeLimitSeconds = 1}),
             QString());
    // Busy past the clip's end: the tee goes on pushing pictures meanwhile.
    QThread::msleep(1600);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QCOMPARE(finished.at(0).at(0).value<Result>().frames, 25);
    const qint64 produced = pipeline->framesProduced();
    QTRY_VERIFY(pipeline->framesProduced() > produced + 2);
}

void TestCapturePipeline::closingMidClipKeepsAPlayableFile()
{
    auto pipeline = running();
    QVERIFY(pipeline);
    const QString path = m_dir.filePath(QStringLiteral("closed.avi"));
    QCOMPARE(pipeline->startRecording({.path = path}), QString());
    QTRY_VERIFY(pipeline->framesRecorded() >= 5);
    pipeline.reset();
    QCOMPARE(CapturePipeline::livePipelines(), 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The index is written: players can seek in it.
    QVERIFY(file.readAll().contains("idx1"));
    const auto clip = CaptureClipReader::read(path);
    QVERIFY2(clip.ok(), qPrintable(clip.error));
    QVERIFY(clip.frames >= 5);
}

void TestCapturePipeline::fullDiskEndsTheClipNotTheLiveView()
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

    auto pipeline = running(QSize(640, 480), 30);
    QVERIFY(pipeline);
    QSignalSpy finished(pipeline.get(), &CapturePipeline::recordingFinished);
    QSignalSpy failed(pipeline.get(), &CapturePipeline::failed);
    const QString path = m_dir.filePath(QStringLiteral("full.avi"));
    QCOMPARE(pipeline->startRecording({.path = path, .quality = 100}), QString());
    // The window is busy while the disk fills: the source must not wait for it.
    QThread::msleep(2000);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    const auto result = finished.at(0).at(0).value<Result>();
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
