#include "media/mediaengine.h"
#include "media/mediaplayer.h"
#include "support/numberedclips.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

// Many loads in one process, each watched: no load may hang, and memory must
// level off once the libraries have loaded what they keep.
class TestMediaSoak : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (ClipFormat format : {ClipFormat::Avi, ClipFormat::Mp4, ClipFormat::Mov, ClipFormat::Mkv,
                                  ClipFormat::WebM}) {
            QString error;
            const QString clip = makeNumberedClip(
                m_dir.filePath(QStringLiteral("soak.") + clipSuffix(format)), format, {160, 120}, 8,
                25, &error);
            QVERIFY2(!clip.isEmpty(), qPrintable(error));
            m_clips << clip;
        }
    }

    void loadsNeverHangAndMemoryLevelsOff()
    {
        const int loads = qEnvironmentVariableIsSet("TOVRA_SOAK_LOADS")
            ? qEnvironmentVariableIntValue("TOVRA_SOAK_LOADS")
            : 2000;
        const int watchdogMs = MediaPlayer::loadTimeout() + 2000;
        int hangs = 0;
        int failures = 0;
        qint64 baseline = -1;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < loads; ++i) {
            const QString clip = m_clips.at(i % m_clips.size());
            auto player = std::make_unique<MediaPlayer>();
            player->setMuted(true);
            QSignalSpy loaded(player.get(), &MediaPlayer::loaded);
            QSignalSpy frames(player.get(), &MediaPlayer::frameChanged);
            player->open(clip);
            if (!loaded.wait(watchdogMs)) {
                ++hangs;
                qWarning("load %d of %s: no answer within %d ms", i, qPrintable(clip), watchdogMs);
                continue;
            }
            if (!loaded.first().first().toBool()) {
                ++failures;
                qWarning("load %d of %s failed: %s", i, qPrintable(clip),
                         qPrintable(player->errorString()));
                continue;
            }
            // Every fourth load plays a little and is dropped while playing.
            if (i % 4 == 0) {
                player->play();
                const int seen = int(frames.size());
                if (!QTest::qWaitFor([&] { return frames.size() >= seen + 2; }, watchdogMs)) {
                    ++hangs;
                    qWarning("load %d of %s: no pictures while playing", i, qPrintable(clip));
                }
            }
            player.reset();
            if (i + 1 == 100) {
                QVERIFY(MediaEngine::waitForIdle(10000));
                baseline = residentKb();
            }
        }
        QVERIFY(MediaEngine::waitForIdle(10000));
        const qint64 after = residentKb();
        qInfo("%d loads in %lld ms; resident %lld kB after 100 loads, %lld kB after all", loads,
              clock.elapsed(), baseline, after);
        QCOMPARE(hangs, 0);
        QCOMPARE(failures, 0);
        QCOMPARE(MediaEngine::livePipelines(), 0);
        if (baseline > 0)
            QVERIFY2(after - baseline <= 20 * 1024,
                     qPrintable(QStringLiteral("grew by %1 kB").arg(after - baseline)));
    }

private:
    QTemporaryDir m_dir;
    QStringList m_clips;
};

QTEST_GUILESS_MAIN(TestMediaSoak)
#include "tst_mediasoak.moc"
