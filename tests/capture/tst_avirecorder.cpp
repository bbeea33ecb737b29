#include "capture/avirecorder.h"
#include "capture/testpatternsource.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;

class TestAviRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void clipHoldsEveryFramePushed_data();
    void clipHoldsEveryFramePushed();
    void framesOfAnotherSizeAreScaled();
    void unwritableTargetFailsWithMessage();
    void damagedFileIsRefused();

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
    AviRecorder::Format format;
    format.frameSize = size;
    format.framesPerSecond = 25;
    format.audio = audio;
    format.stepped = stepped;
    const auto started = recorder.start(path, format);
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
    AviRecorder::Format format;
    format.frameSize = QSize(320, 240);
    QVERIFY(recorder.start(path, format).ok());
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

void TestAviRecorder::unwritableTargetFailsWithMessage()
{
    AviRecorder recorder;
    AviRecorder::Format format;
    format.frameSize = QSize(64, 48);
    const auto started = recorder.start(m_dir.filePath(QStringLiteral("missing/folder/x.avi")), format);
    QVERIFY(!started.ok());
    QVERIFY(!started.error().isEmpty());
    QVERIFY(!recorder.isRecording());
    QVERIFY(!recorder.push(QImage(64, 48, QImage::Format_RGB32)));
    QVERIFY(!recorder.start(QString(), AviRecorder::Format()).ok());
}

void TestAviRecorder::damagedFileIsRefused()
{
    const QString path = m_dir.filePath(QStringLiteral("not-a-clip.avi"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("RIFF\x10\0\0\0AVI garbage that is no clip at all");
    file.close();
    QVERIFY(!AviRecorder::readClip(path).ok());
    QVERIFY(!AviRecorder::readClip(m_dir.filePath(QStringLiteral("absent.avi"))).ok());
}

QTEST_MAIN(TestAviRecorder)
#include "tst_avirecorder.moc"
