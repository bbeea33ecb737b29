#include "media/mediaengine.h"
#include "media/videoframe.h"
#include "support/mediafixtures.h"
#include "support/numberedclips.h"
#include "support/testhost.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

class TestVideoFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QString error;
        m_avi = makeNumberedClip(m_dir.filePath(QStringLiteral("numbered.avi")), ClipFormat::Avi,
                                 {320, 240}, 50, 25, &error);
        QVERIFY2(!m_avi.isEmpty(), qPrintable(error));
        m_mp4 = makeNumberedClip(m_dir.filePath(QStringLiteral("numbered.mp4")), ClipFormat::Mp4,
                                 {320, 180}, 60, 25, &error);
        QVERIFY2(!m_mp4.isEmpty(), qPrintable(error));
    }

    void cleanupTestCase()
    {
        // Every grab leaves its pipeline to a worker; none may stay behind.
        QVERIFY(MediaEngine::waitForIdle(10000));
        QCOMPARE(MediaEngine::livePipelines(), 0);
    }

    void grabsThePictureAtTheFractionScaledToTheBound()
    {
        // MJPEG: every frame is a key frame, so the middle is exact.
        const VideoFrame frame = grabVideoFrame(m_avi, 0.5, {160, 160});
        QVERIFY2(frame.ok(), qPrintable(frame.error));
        QCOMPARE(frame.image.size(), QSize(160, 120));
        QCOMPARE(frame.videoSize, QSize(320, 240));
        QCOMPARE(frame.durationMs, qint64(2000));
        QCOMPARE(frameNumber(frame.image), 25);
        QCOMPARE(frame.positionMs, qint64(1000));
        QVERIFY(frame.error.isEmpty());
    }

    void smallPicturesAreNotEnlarged()
    {
        const VideoFrame frame = grabVideoFrame(m_avi, 0.0, {1024, 1024});
        QVERIFY2(frame.ok(), qPrintable(frame.error));
        QCOMPARE(frame.image.size(), QSize(320, 240));
        QCOMPARE(frameNumber(frame.image), 0);
    }

    void h264BetweenKeyFramesIsExact()
    {
        // Key frames every 30 frames, B-frames, and the first picture delayed by
        // the encoder: 0.45 of 60 frames is frame 27 all the same.
        const VideoFrame frame = grabVideoFrame(m_mp4, 0.45, {320, 320});
        QVERIFY2(frame.ok(), qPrintable(frame.error));
        QCOMPARE(frameNumber(frame.image), 27);
        QCOMPARE(frame.positionMs, qint64(1080));
    }

    void grabsRunTogetherOnWorkerThreads()
    {
        QList<QFuture<VideoFrame>> grabs;
        for (int i = 0; i < 6; ++i)
            grabs << QtConcurrent::run([path = i % 2 ? m_avi : m_mp4] {
                return grabVideoFrame(path, 0.0, QSize(64, 64), 10000);
            });
        for (auto &grab : grabs) {
            const VideoFrame frame = grab.result();
            QVERIFY2(frame.ok(), qPrintable(frame.error));
            QCOMPARE(frameNumber(frame.image), 0);
        }
    }

    void badFilesGiveAReadableError_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << "missing" << "does not exist";
        QTest::newRow("empty") << "empty" << "is empty";
        QTest::newRow("text named mp4") << "text" << "cannot be shown";
        QTest::newRow("truncated mp4") << "truncated" << "cannot be shown";
        QTest::newRow("sound only") << "sound" << "holds no video";
        QTest::newRow("codec without decoder") << "codec" << "No decoder";
    }

    void badFilesGiveAReadableError()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        const QString path = badFile(kind);
        QVERIFY(!path.isEmpty());
        const VideoFrame frame = grabVideoFrame(path, 0.5, {128, 128}, 8000);
        QVERIFY(!frame.ok());
        QVERIFY2(frame.error.contains(path) && frame.error.contains(says), qPrintable(frame.error));
        QTRY_COMPARE_WITH_TIMEOUT(MediaEngine::livePipelines(), 0, 10000);
    }

private:
    QString badFile(const QString &kind)
    {
        const QString path = m_dir.filePath(kind + QStringLiteral(".bad"));
        if (kind == QLatin1String("missing"))
            return m_dir.filePath(QStringLiteral("gone.mp4"));
        if (kind == QLatin1String("empty"))
            return writeFile(path, {}) ? path : QString();
        if (kind == QLatin1String("text"))
            return writeFile(path, QByteArray("no frames in here\n").repeated(40)) ? path : QString();
        if (kind == QLatin1String("truncated"))
            return truncatedCopy(m_mp4, path, QFileInfo(m_mp4).size() / 2);
        if (kind == QLatin1String("sound"))
            return makeSoundOnlyFile(m_dir.filePath(QStringLiteral("sound.wav")));
        return withUnknownCodec(m_avi, m_dir.filePath(QStringLiteral("unknown.avi")));
    }

    QTemporaryDir m_dir;
    QString m_avi;
    QString m_mp4;
};

QTEST_GUILESS_MAIN(TestVideoFrame)
#include "tst_videoframe.moc"
