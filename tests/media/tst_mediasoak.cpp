#include "media/mediaengine.h"
#include "media/mediaplayer.h"
#include "support/numberedclips.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

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

// Ends the process when the soak stops making progress: a GStreamer call that
// blocks the UI thread would otherwise hold the whole test run until CTest's
// timeout. Every load pets it; it bites after quietMs without a pet.
class Watchdog
{
public:
    explicit Watchdog(int quietMs)
        : m_quiet(quietMs)
        , m_thread([this] { watch(); })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void pet(int load)
    {
        std::lock_guard lock(m_mutex);
        m_load = load;
        ++m_pets;
    }

private:
    void watch()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            const long long before = m_pets;
            if (m_wake.wait_for(lock, m_quiet, [this] { return m_done; }))
                return;
            if (m_pets == before) {
                std::fprintf(stderr, "FAIL! soak: no progress for %lld ms at load %d; ending the test\n",
                             static_cast<long long>(m_quiet.count()), m_load);
                std::fflush(stderr);
                std::_Exit(EXIT_FAILURE);
            }
        }
    }

    std::chrono::milliseconds m_quiet;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    long long m_pets = 0;
    int m_load = -1;
    bool m_done = false;
    std::thread m_thread; // last: starts once the rest is set up
};

} // namespace

// Many loads in one process, each watched: no load may hang, and memory must
// level off once the libraries have loaded what they keep. Bounded: the run
// stops at its time budget (TOVRA_SOAK_SECONDS, 240 s) with what it has, stops
// at the first hang, and a watchdog ends the process when a call never returns.
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
        const qint64 budgetMs = 1000LL
            * (qEnvironmentVariableIsSet("TOVRA_SOAK_SECONDS")
                   ? qEnvironmentVariableIntValue("TOVRA_SOAK_SECONDS")
                   : 240);
        const int watchdogMs = MediaPlayer::loadTimeout() + 2000;
        // Longer than any wait of one load below (load, pictures, idle).
        Watchdog watchdog(2 * watchdogMs + 20000);
        int hangs = 0;
        int failures = 0;
        int done = 0;
        qint64 baseline = -1;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < loads && hangs + failures == 0; ++i) {
            watchdog.pet(i);
            if (i > 100 && clock.elapsed() > budgetMs) {
                qInfo("time budget of %lld s reached after %d loads", budgetMs / 1000, i);
                break;
            }
            done = i + 1;
            const QString clip = m_clips.at(i % m_clips.size());
            auto player = std::make_unique<MediaPlayer>();
            player->setMuted(true);
            QSignalSpy loaded(player.get(), &MediaPlayer::loaded);
            QSignalSpy frames(player.get(), &MediaPlayer::frameChanged);
            player->open(clip);
            if (!loaded.wait(watchdogMs)) {
                ++hangs;
                qWarning("load %d of %s: no answer within %d ms", i, qPrintable(clip), watchdogMs);
                break;
            }
            if (!loaded.first().first().toBool()) {
                ++failures;
                qWarning("load %d of %s failed: %s", i, qPrintable(clip),
                         qPrintable(player->errorString()));
                break;
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
        qInfo("%d loads in %lld ms; resident %lld kB after 100 loads, %lld kB after all", done,
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
