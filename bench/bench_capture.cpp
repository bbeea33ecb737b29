// Capture figures in one run: the live test pattern at 1280 x 720 and 30 fps
// recorded to MJPEG AVI with the picture shown meanwhile (frames in the clip,
// gaps in their numbers, CPU beside gst-launch doing the same without a
// window), the time and CPU from snap to a stored library entry beside a
// plain QImage::save of the same frame, and a SANE test-backend scan beside
// scanimage.
//
//   bench_capture [--seconds 60] [--snaps 30] [--scans 7]

#include "benchhost.h"

#include "capture/captureenvironment.h"
#include "capture/capturesettings.h"
#include "capture/capturesource.h"
#include "capture/scanner.h"
#include "capture/smartgrab.h"
#include "capture/capturebkgnd.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "media/captureclipreader.h"
#include "media/captureframestamp.h"

#include <tovradocs/capturer.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

int argument(const QStringList &args, const QString &name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU time from the scheduler's clock, finer than getrusage's ticks.
double cpuClock(clockid_t which)
{
    timespec now {};
    clock_gettime(which, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void recordLive(const QString &folder, int seconds)
{
    constexpr int kFps = 30;
    auto source = CaptureSource::testPattern(QSize(1280, 720), kFps);
    CaptureView view(nullptr);
    view.resize(1280, 720);
    view.show();
    QObject::connect(source.get(), &CaptureSource::frameReady, &view, &CaptureView::setFrame);
    if (!source->connectDriver()) {
        std::printf("the test pattern does not start: %s\n", qPrintable(source->lastError()));
        return;
    }
    CapturePipeline *pipeline = source->pipeline();
    const QString clip = folder + QStringLiteral("/live.avi");
    QEventLoop loop;
    CapturePipeline::RecordingResult result;
    QObject::connect(pipeline, &CapturePipeline::recordingFinished, &loop,
                     [&](const CapturePipeline::RecordingResult &r) {
                         result = r;
                         loop.quit();
                     });
    const qint64 producedBefore = pipeline->framesProduced();
    const qint64 shownBefore = pipeline->framesShown();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    const QString refused = pipeline->startRecording({.path = clip, .timeLimitSeconds = seconds});
    if (!refused.isEmpty()) {
        std::printf("recording could not start: %s\n", qPrintable(refused));
        return;
    }
    loop.exec();
    const double elapsed = clock.elapsed() / 1000.0;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    const qint64 produced = pipeline->framesProduced() - producedBefore;
    const qint64 shown = pipeline->framesShown() - shownBefore;
    source->disconnectDriver();

    // The frame numbers the pattern carries tell a frame lost or doubled.
    qint64 previous = -1, gaps = 0, repeats = 0, unreadable = 0;
    const auto info = CaptureClipReader::read(clip, [&](const QImage &frame) {
        const qint64 n = CaptureFrameStamp::read(frame);
        if (n < 0)
            ++unreadable;
        else if (previous >= 0 && n <= previous)
            ++repeats;
        else if (previous >= 0 && n > previous + 1)
            gaps += n - previous - 1;
        previous = n < 0 ? previous : n;
    });
    std::printf("live 1280x720 @%d fps, %d s clip: %lld frames in the AVI (due %d +-1), %lld missing and %lld "
                "doubled by their numbers, %lld unreadable; %s\n",
                kFps, seconds, static_cast<long long>(info.frames), seconds * kFps, static_cast<long long>(gaps),
                static_cast<long long>(repeats), static_cast<long long>(unreadable),
                info.ok() ? "clip reads back" : qPrintable(info.error));
    std::printf("  while recording (%.1f s): source made %lld, window shown %lld (%lld skipped); %.1f s CPU\n",
                elapsed, static_cast<long long>(produced), static_cast<long long>(shown),
                static_cast<long long>(produced - shown), cpu);

    // The same clip with gst-launch and no window.
    const double peerBefore = cpuSeconds(RUSAGE_CHILDREN);
    QProcess peer;
    peer.start(QStringLiteral("gst-launch-1.0"),
               {QStringLiteral("-q"), QStringLiteral("videotestsrc"), QStringLiteral("is-live=true"),
                QStringLiteral("pattern=smpte"), QStringLiteral("num-buffers=%1").arg(seconds * kFps),
                QStringLiteral("!"),
                QStringLiteral("video/x-raw,format=BGRx,width=1280,height=720,framerate=%1/1").arg(kFps),
                QStringLiteral("!"), QStringLiteral("queue"), QStringLiteral("!"), QStringLiteral("jpegenc"),
                QStringLiteral("!"), QStringLiteral("avimux"), QStringLiteral("!"), QStringLiteral("filesink"),
                QStringLiteral("location=") + folder + QStringLiteral("/peer.avi")});
    peer.waitForFinished(seconds * 2000 + 30000);
    const double peerCpu = cpuSeconds(RUSAGE_CHILDREN) - peerBefore;
    std::printf("  gst-launch, same clip without a window: %.1f s CPU; ratio %.2f\n", peerCpu,
                cpu / qMax(0.001, peerCpu));
}

// The still is taken from a live 1280 x 720 pattern at one frame a second,
// so that making and painting the live picture hardly counts in the measured
// rounds; the snap itself is the same at any rate.
void snapToLibrary(const QString &folder, int snaps)
{
    auto host = openBenchHost(folder);
    if (!host)
        return;
    host->ExecuteStmt(false, QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (7, 'Bench', 1)"));
    setHostLink(host, nullptr);
    CaptureSettings::setFileName(folder + QStringLiteral("/capture.ini"));
    CaptureDrivers::setTestPatternFormat(QSize(1280, 720), 1);
    Capturer capturer;
    int stored = 0;
    QObject::connect(&capturer, &Capturer::ImageFileSaved, [&] { ++stored; });
    CaptureEnvironment::setTarget(&capturer, 7, QStringLiteral("Bench"));
    capturer.ShowCapture(QStringLiteral("Bench"));
    SmartGrab *grab = CaptureEnvironment::background()->grab();
    while (grab->entryCode() == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // One snap first: it names the format, and warms the writer up.
    grab->TranslateToMenuClicks(CaptureEnvironment::CmdSnap);
    while (stored < 1)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const QByteArray format = QFileInfo(grab->currentFrameFile()).suffix().toLatin1();

    // What the process spends with the live picture alone, per second.
    QElapsedTimer clock;
    clock.start();
    double cpu = cpuClock(CLOCK_PROCESS_CPUTIME_ID);
    {
        QEventLoop idle;
        QTimer::singleShot(2000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    const double idlePerSecond = (cpuClock(CLOCK_PROCESS_CPUTIME_ID) - cpu) / (clock.nsecsElapsed() / 1e9);

    std::printf("  (the process idles at %.1f ms CPU a second)\n", idlePerSecond * 1e3);
    // Rounds alternate: a snap, from the key to its stored row, then a plain save.
    std::vector<double> ours, onUiThread, oursCpu, plain, plainCpu;
    for (int i = 0; i < snaps; ++i) {
        const QImage frame = grab->source()->currentFrame();
        const int before = stored;
        cpu = cpuClock(CLOCK_PROCESS_CPUTIME_ID);
        clock.start();
        grab->TranslateToMenuClicks(CaptureEnvironment::CmdSnap);
        onUiThread.push_back(clock.nsecsElapsed() / 1e6);
        while (stored == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double wall = clock.nsecsElapsed() / 1e9;
        ours.push_back(wall * 1e3);
        oursCpu.push_back((cpuClock(CLOCK_PROCESS_CPUTIME_ID) - cpu - idlePerSecond * wall) * 1e3);

        cpu = cpuClock(CLOCK_THREAD_CPUTIME_ID);
        clock.start();
        frame.save(folder + QStringLiteral("/plain%1.").arg(i) + QString::fromLatin1(format), format.constData());
        plain.push_back(clock.nsecsElapsed() / 1e6);
        plainCpu.push_back((cpuClock(CLOCK_THREAD_CPUTIME_ID) - cpu) * 1e3);
    }
    const bool decodable = !QImageReader(grab->currentFrameFile()).read().isNull();
    const double o = medianOf(ours);
    const double p = medianOf(plain);
    const double oc = medianOf(oursCpu);
    const double pc = medianOf(plainCpu);
    std::printf("snap to library (1280x720 %s, row stored), median of %d: %.2f ms from the key to the row, "
                "%.2f ms of it on the UI thread; QImage::save: %.2f ms; ratio %.2f (limit 1.2)%s\n",
                format.constData(), snaps, o, medianOf(onUiThread), p, o / p,
                decodable ? "" : " - LAST FILE NOT DECODABLE");
    std::printf("  CPU per snap, all threads: %.2f ms; QImage::save: %.2f ms; ratio %.2f\n", oc, pc, oc / pc);
    delete CaptureEnvironment::background().data();
    clearHostLink();
}

// Interleaved rounds, medians compared: the first scan of a process also
// loads the backend, which scanimage pays on every run.
void scanAgainstScanimage(const QString &folder, int rounds)
{
    QDir().mkpath(folder + QStringLiteral("/sane"));
    QFile conf(folder + QStringLiteral("/sane/dll.conf"));
    if (!conf.open(QIODevice::WriteOnly) || conf.write("test\n") < 0)
        return;
    conf.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(folder + QStringLiteral("/sane")));
    // The test backend's bed is 200 x 200 mm; that is the largest page it gives.
    ScanRequest request;
    request.device = QStringLiteral("test:0");
    request.mode = QStringLiteral("Color");
    request.resolution = 300;
    request.areaMm = QRectF(0, 0, 200, 200);
    request.extra = {{"test-picture", QStringLiteral("Color pattern")}};
    Scanner scanner;
    QImage page;
    QEventLoop loop;
    QObject::connect(&scanner, &Scanner::finished, &loop,
                     [&](Scanner::Outcome, const QString &, const QImage &image) {
                         page = image;
                         loop.quit();
                     });
    const auto ours = [&] {
        QElapsedTimer clock;
        clock.start();
        scanner.start(request);
        loop.exec();
        return clock.nsecsElapsed() / 1e6;
    };
    const auto peer = [&] {
        QProcess scanimage;
        scanimage.setStandardOutputFile(folder + QStringLiteral("/scanimage.pnm"));
        QElapsedTimer clock;
        clock.start();
        scanimage.start(QStringLiteral("scanimage"),
                        {QStringLiteral("-d"), QStringLiteral("test:0"), QStringLiteral("--mode"),
                         QStringLiteral("Color"), QStringLiteral("--resolution"), QStringLiteral("300"),
                         QStringLiteral("--test-picture"), QStringLiteral("Color pattern"),
                         QStringLiteral("-l"), QStringLiteral("0"), QStringLiteral("-t"), QStringLiteral("0"),
                         QStringLiteral("-x"), QStringLiteral("200"), QStringLiteral("-y"),
                         QStringLiteral("200"), QStringLiteral("--format=pnm")});
        scanimage.waitForFinished(120000);
        return clock.nsecsElapsed() / 1e6;
    };
    std::vector<double> oursRuns, peerRuns;
    double first = 0;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2)
            peerRuns.push_back(peer());
        oursRuns.push_back(ours());
        if (round == 0)
            first = oursRuns.back();
        if (round % 2 == 0)
            peerRuns.push_back(peer());
    }
    const double o = medianOf(oursRuns);
    const double p = medianOf(peerRuns);
    std::printf("SANE test scan 300 dpi colour 200x200 mm (%dx%d), median of %d: %.1f ms (first %.1f ms); "
                "scanimage: %.1f ms; ratio %.2f (limit 1.1)\n",
                page.width(), page.height(), rounds, o, first, p, o / p);
}

} // namespace

int main(int argc, char **argv)
{
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::printf("bench_capture [--seconds 60] [--snaps 30] [--scans 7]\n"
                    "  live picture while recording a clip, snap to a library entry, and a SANE\n"
                    "  test-backend scan, each beside its peer in the same run\n");
        return 0;
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // Message boxes would stop the run; there are none on the paths measured.
    ScriptedResponder quiet;
    ResponderGuard guard(&quiet);
    recordLive(dir.path(), argument(args, QStringLiteral("--seconds"), 60));
    snapToLibrary(dir.path(), argument(args, QStringLiteral("--snaps"), 30));
    scanAgainstScanimage(dir.path(), argument(args, QStringLiteral("--scans"), 7));
    return 0;
}
