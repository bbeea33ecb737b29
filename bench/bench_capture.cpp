// Capture figures in one run: the live test pattern at 1280 x 720 and 30 fps
// recorded to MJPEG AVI (frames offered vs frames in the clip), the time from
// snap to a decodable library file beside a plain QImage::save of the same
// frame, and a SANE test-backend scan beside scanimage.
//
//   bench_capture [--seconds 60] [--snaps 30] [--scans 7]

#include "benchhost.h"

#include "capture/avirecorder.h"
#include "capture/captureenvironment.h"
#include "capture/capturesettings.h"
#include "capture/capturesource.h"
#include "capture/scanner.h"
#include "capture/smartgrab.h"
#include "capture/capturebkgnd.h"
#include "capture/testpatternsource.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"

#include <tovradocs/capturer.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

int argument(const QStringList &args, const QString &name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void recordLive(const QString &folder, int seconds)
{
    TestPatternSource source(QSize(1280, 720), 30);
    CaptureView view(nullptr);
    view.resize(1280, 720);
    view.show();
    AviRecorder recorder;
    qint64 shown = 0;
    QObject::connect(&source, &CaptureSource::frameReady, &view, [&](const QImage &frame) {
        recorder.push(frame);
        view.setFrame(frame);
        ++shown;
    });
    AviRecorder::Format format;
    format.frameSize = QSize(1280, 720);
    format.framesPerSecond = 30;
    const QString clip = folder + QStringLiteral("/live.avi");
    if (!recorder.start(clip, format).ok()) {
        std::printf("recording could not start\n");
        return;
    }
    QElapsedTimer clock;
    clock.start();
    source.connectDriver();
    runFor(seconds * 1000);
    source.disconnectDriver();
    const double elapsed = clock.elapsed() / 1000.0;
    recorder.stop();
    const auto info = AviRecorder::readClip(clip);
    const qint64 due = qint64(elapsed * 30);
    std::printf("live 1280x720 @30 fps for %.1f s: frames due %lld, offered %lld, shown %lld, "
                "pushed %lld, in AVI %lld (%dx%d)\n",
                elapsed, static_cast<long long>(due), static_cast<long long>(source.framesOffered()),
                static_cast<long long>(shown), static_cast<long long>(recorder.framesPushed()),
                static_cast<long long>(info ? info->frames : -1), info ? info->size.width() : 0,
                info ? info->size.height() : 0);
    std::printf("  dropped between preview and file: %lld; source kept %.1f%% of its schedule\n",
                static_cast<long long>(source.framesOffered() - (info ? info->frames : 0)),
                100.0 * double(source.framesOffered()) / double(qMax<qint64>(1, due)));
}

void snapToLibrary(const QString &folder, int snaps)
{
    auto host = openBenchHost(folder);
    if (!host)
        return;
    host->ExecuteStmt(false, QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (7, 'Bench', 1)"));
    setHostLink(host, nullptr);
    CaptureSettings::setFileName(folder + QStringLiteral("/capture.ini"));
    CaptureDrivers::setTestPatternFormat(QSize(1280, 720), 30);
    Capturer capturer;
    CaptureEnvironment::setTarget(&capturer, 7, QStringLiteral("Bench"));
    capturer.ShowCapture(QStringLiteral("Bench"));
    SmartGrab *grab = CaptureEnvironment::background()->grab();
    while (grab->entryCode() == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const QImage frame = grab->source()->currentFrame();

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < snaps; ++i)
        grab->TranslateToMenuClicks(CaptureEnvironment::CmdSnap);
    const double ours = clock.nsecsElapsed() / 1e6 / snaps;
    const bool decodable = !QImageReader(grab->currentFrameFile()).read().isNull();

    clock.restart();
    for (int i = 0; i < snaps; ++i)
        frame.save(folder + QStringLiteral("/plain%1.jpg").arg(i), "jpg");
    const double plain = clock.nsecsElapsed() / 1e6 / snaps;
    std::printf("snap to library file (1280x720 JPEG, entry stored): %.2f ms; QImage::save: %.2f ms; "
                "ratio %.2f (limit 1.2)%s\n",
                ours, plain, ours / plain, decodable ? "" : " - LAST FILE NOT DECODABLE");
    delete CaptureEnvironment::background().data();
    clearHostLink();
}

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
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
                    "  live preview while recording a clip, snap to a library file, and a SANE\n"
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
