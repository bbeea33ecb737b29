// Playing video in the video window, against GStreamer's own command line.
//
// 1. CPU: a 1080p30 H.264 MP4 of 20 s played to its end in the video window
//    at the view's size, against
//      gst-launch-1.0 filesrc ! decodebin ! videoconvert ! videoscale !
//                     video/x-raw,width=W,height=H ! fakesink sync=true
//    and, where GStreamer's X sink is installed and Qt runs on X, against the
//    other way to the screen: playbin drawing into a native child window
//    through GstVideoOverlay (ximagesink; Xvfb has no XVideo).
//    CPU time (user + system) of each side: the machine is shared with other
//    builds, and CPU time moves far less with their load than wall time.
//    Sides alternate round by round; medians are compared.
// 2. Compare: two numbered 25 fps clips in "Compare": the time from the call
//    to both pictures moving, and after --compare-seconds how far apart the
//    frame numbers on screen are (read from the pictures themselves).
//
//   bench_playback [--dir /tmp/tovra-bench-playback] [--size 960x540]
//                  [--rounds 3] [--only cpu|compare] [--compare-seconds 60]
//                  [--sides peer,window,overlay] [--xserver-pid PID]
//
// The clips are made once and kept in --dir. With --xserver-pid the X
// server's CPU time during each side is printed as well (it copies the
// pictures of both on-screen paths to the frame buffer). With BENCH_WARM=1 a
// player alone loads the first clip twice before the compare (first and next).

#include "benchhost.h"
#include "controls/vidplay.h"
#include "media/mediaengine.h"
#include "media/mediaplayer.h"
#include "support/numberedclips.h"
#include "viewers/vidplaywindow.h"

#include <tovradocs/dokumentz.h>

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tovradocs;
using namespace tovradocs::Internal;

extern char **environ;

namespace {

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double selfCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// utime + stime of another process, from /proc; -1 when unknown.
double processCpu(qint64 pid)
{
    if (pid <= 0)
        return -1;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// Runs the event loop, as the program does, until done() or msecs; the loop
// sleeps between events, so the waiting costs no CPU of its own.
bool waitFor(const std::function<bool()> &done, int msecs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return done();
}

bool runQuiet(const QString &program, const QStringList &args, int msecs = 600000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(msecs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString makeH264Clip(const QString &dir, int seconds)
{
    const QString path = dir + QStringLiteral("/h264-1080p30-%1s.mp4").arg(seconds);
    if (QFileInfo(path).size() > 0)
        return path;
    std::printf("making %s (once)...\n", qPrintable(path));
    std::fflush(stdout);
    // Moving bars with a moving ball on them; about 8 Mbit/s, as cameras write 1080p.
    const QString pipeline = QStringLiteral(
        "videotestsrc num-buffers=%1 pattern=smpte horizontal-speed=3 ! "
        "video/x-raw,width=1920,height=1080,framerate=30/1 ! mix.sink_0 "
        "videotestsrc num-buffers=%1 pattern=ball motion=sweep background-color=0x00000000 "
        "foreground-color=0xffffff00 ! video/x-raw,format=AYUV,width=1920,height=1080,framerate=30/1 ! mix.sink_1 "
        "compositor name=mix ! videoconvert ! video/x-raw,format=I420 ! "
        "x264enc speed-preset=faster bitrate=8000 key-int-max=60 ! mp4mux ! filesink location=%2")
                                 .arg(seconds * 30)
                                 .arg(path + QStringLiteral(".part"));
    if (!runQuiet(QStringLiteral("gst-launch-1.0"), QProcess::splitCommand(QString(QStringLiteral("-q ") + pipeline)))
        || !QFile::rename(path + QStringLiteral(".part"), path)) {
        std::fprintf(stderr, "cannot make the H.264 clip (x264enc and compositor are needed)\n");
        return {};
    }
    return path;
}

// The peer: gst-launch-1.0 as its own process; its CPU time from wait4.
struct Run
{
    double cpu = -1;
    double wall = -1;
    double xserver = -1;
    bool ok = false;
};

Run runPeer(const QString &clip, QSize view, qint64 xserverPid)
{
    const QByteArray location = "location=" + QFile::encodeName(clip);
    const QByteArray caps = QStringLiteral("video/x-raw,width=%1,height=%2").arg(view.width()).arg(view.height()).toLatin1();
    const char *argv[] = {"gst-launch-1.0", "-q", "filesrc", location.constData(), "!", "decodebin", "!",
                          "videoconvert", "!", "videoscale", "!", caps.constData(), "!", "fakesink",
                          "sync=true", nullptr};
    Run run;
    const double x0 = processCpu(xserverPid);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "gst-launch-1.0", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.wall = clock.elapsed() / 1000.0;
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (x0 >= 0)
        run.xserver = processCpu(xserverPid) - x0;
    return run;
}

// Ours: the video window, its view W x H, from the call to the clip's end.
Run runWindow(const QString &clip, QSize view, qint64 xserverPid)
{
    Run run;
    MediaEngine::waitForIdle(10000);
    const double x0 = processCpu(xserverPid);
    const double cpu0 = selfCpu();
    QElapsedTimer clock;
    clock.start();
    QPointer<VidPlayWindow> window = new VidPlayWindow;
    window->ViewVideo(clip, QStringLiteral("bench"), nullptr);
    VidPlay *box = window->videoBox(0);
    box->setMuted(true);
    bool ended = false;
    QObject::connect(box, &VidPlay::ended, window, [&] { ended = true; });
    // After the window sized itself to the video: the view gets W x H.
    QObject::connect(box, &VidPlay::loaded, window, [&](bool) {
        window->resize(view.width(), view.height() + window->height() - window->videoArea().height());
    });
    run.ok = waitFor([&] { return ended || box->statusText() == QLatin1String("error"); }, 120000) && ended;
    run.wall = clock.elapsed() / 1000.0;
    if (run.ok && box->size() != view)
        std::fprintf(stderr, "the view was %dx%d, not %dx%d\n", box->width(), box->height(),
                     view.width(), view.height());
    delete window;
    MediaEngine::waitForIdle(10000);
    run.cpu = selfCpu() - cpu0;
    if (x0 >= 0)
        run.xserver = processCpu(xserverPid) - x0;
    return run;
}

// The other way to the screen: playbin scales and converts for an X window
// of the view's size and draws into it itself (GstVideoOverlay).
Run runOverlay(const QString &clip, QSize view, qint64 xserverPid)
{
    Run run;
    GstElement *ximagesink = gst_element_factory_make("ximagesink", nullptr);
    if (!ximagesink)
        return run;
    MediaEngine::waitForIdle(10000);
    const double x0 = processCpu(xserverPid);
    const double cpu0 = selfCpu();
    QElapsedTimer clock;
    clock.start();
    QWidget top;
    top.resize(view);
    QWidget child(&top);
    child.setAttribute(Qt::WA_NativeWindow);
    child.setAttribute(Qt::WA_NoSystemBackground);
    child.setAttribute(Qt::WA_OpaquePaintEvent);
    child.setUpdatesEnabled(false); // the sink draws here, not Qt
    child.setGeometry(0, 0, view.width(), view.height());
    top.show();
    const WId handle = child.winId();

    GstElement *bin = gst_bin_new(nullptr);
    GstElement *scale = gst_element_factory_make("videoscale", nullptr);
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, view.width(), "height",
                                        G_TYPE_INT, view.height(), nullptr);
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(bin), scale, convert, filter, ximagesink, nullptr);
    gst_element_link_many(scale, filter, convert, ximagesink, nullptr);
    GstPad *pad = gst_element_get_static_pad(scale, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(ximagesink), guintptr(handle));

    GstElement *playbin = gst_element_factory_make("playbin", nullptr);
    gchar *uri = gst_filename_to_uri(QFile::encodeName(clip).constData(), nullptr);
    // Video, sound, software volume, native video: as the engine's players.
    g_object_set(playbin, "uri", uri, "video-sink", bin, "flags", 0x1 | 0x2 | 0x10 | 0x40, nullptr);
    GstElement *audio = gst_element_factory_make("fakesink", nullptr);
    g_object_set(audio, "sync", TRUE, nullptr);
    g_object_set(playbin, "audio-sink", audio, nullptr);
    g_free(uri);
    gst_element_set_state(playbin, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(playbin);
    bool done = false;
    bool failed = false;
    waitFor([&] {
        while (GstMessage *message = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
            failed = failed || GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
            done = true;
            gst_message_unref(message);
        }
        return done;
    }, 120000);
    gst_object_unref(bus);
    gst_element_set_state(playbin, GST_STATE_NULL);
    gst_object_unref(playbin);
    run.wall = clock.elapsed() / 1000.0;
    run.ok = done && !failed;
    run.cpu = selfCpu() - cpu0;
    if (x0 >= 0)
        run.xserver = processCpu(xserverPid) - x0;
    return run;
}

void cpuBench(const QString &dir, QSize view, int rounds, qint64 xserverPid, const QStringList &sides)
{
    const QString clip = makeH264Clip(dir, 20);
    if (clip.isEmpty())
        return;
    const bool onX = QGuiApplication::platformName() == QLatin1String("xcb");
    GstElement *probe = gst_element_factory_make("ximagesink", nullptr);
    const bool overlay = onX && probe && sides.contains(QLatin1String("overlay"));
    if (probe)
        gst_object_unref(gst_object_ref_sink(probe));
    std::printf("\n1080p30 H.264, 20 s (%.1f Mbit/s), view %dx%d, platform %s, %d rounds\n",
                QFileInfo(clip).size() * 8 / 20.0 / 1e6, view.width(), view.height(),
                qPrintable(QGuiApplication::platformName()), rounds);
    if (!overlay)
        std::printf("(no GstVideoOverlay side: it needs Qt on X and GStreamer's ximagesink)\n");
    std::printf("%-5s %-26s %8s %8s %8s\n", "round", "side", "cpu s", "wall s", "X cpu s");
    QList<double> peer, ours, over, xOurs, xOver;
    auto line = [](int round, const char *side, const Run &r) {
        std::printf("%-5d %-26s %8.2f %8.2f %8.2f%s\n", round, side, r.cpu, r.wall, r.xserver,
                    r.ok ? "" : "  FAILED");
        std::fflush(stdout);
    };
    for (int round = 1; round <= rounds; ++round) {
        Run p;
        Run w;
        if (sides.contains(QLatin1String("peer"))) {
            p = runPeer(clip, view, xserverPid);
            line(round, "gst-launch ... fakesink", p);
        }
        if (sides.contains(QLatin1String("window"))) {
            w = runWindow(clip, view, xserverPid);
            line(round, "video window (appsink)", w);
        }
        if (p.ok)
            peer << p.cpu;
        if (w.ok) {
            ours << w.cpu;
            xOurs << w.xserver;
        }
        if (overlay) {
            const Run o = runOverlay(clip, view, xserverPid);
            line(round, "playbin + overlay (X)", o);
            if (o.ok) {
                over << o.cpu;
                xOver << o.xserver;
            }
        }
    }
    const double base = median(peer);
    std::printf("median cpu: peer %.2f s, window %.2f s -> ratio %.2f (target <= 1.3)\n", base,
                median(ours), median(ours) / base);
    if (overlay)
        std::printf("median cpu: overlay %.2f s -> ratio %.2f; X server: window %.2f s, overlay %.2f s\n",
                    median(over), median(over) / base, median(xOurs), median(xOver));
}

void compareBench(const QString &dir, int compareSeconds)
{
    const int frames = (compareSeconds + 8) * 25;
    QStringList clips;
    for (const char *name : {"numbered-a", "numbered-b"}) {
        const QString path = dir + u'/' + QLatin1String(name) + QStringLiteral("-%1.mp4").arg(frames);
        if (QFileInfo(path).size() == 0) {
            std::printf("making %s (once)...\n", qPrintable(path));
            std::fflush(stdout);
            QString error;
            if (Testing::makeNumberedClip(path, Testing::ClipFormat::Mp4, {640, 480}, frames, 25, &error).isEmpty()) {
                std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(path), qPrintable(error));
                return;
            }
        }
        clips << path;
    }
    MediaEngine::waitForIdle(10000);
    if (qEnvironmentVariableIsSet("BENCH_WARM")) {
        for (int k = 0; k < 2; ++k) {
            QElapsedTimer t;
            t.start();
            MediaPlayer player;
            bool done = false;
            QObject::connect(&player, &MediaPlayer::loaded, [&] { done = true; });
            player.open(clips.at(0));
            waitFor([&] { return done; }, 20000);
            std::printf("a player alone: loaded after %lld ms\n", t.elapsed());
        }
        MediaEngine::waitForIdle(10000);
    }
    Dokumentz docs;
    docs.Add(1, clips.at(0), QString(), 2, 2, 0, 0);
    docs.Add(2, clips.at(1), QString(), 2, 2, 0, 0);
    QElapsedTimer clock;
    clock.start();
    QPointer<VidPlayWindow> window = new VidPlayWindow;
    window->CompareVideos(docs, false);
    qint64 moving[2] = {-1, -1};
    qint64 loaded[2] = {-1, -1};
    qint64 first[2] = {-1, -1};
    const qint64 called = clock.elapsed();
    for (int i = 0; i < 2; ++i) {
        VidPlay *box = window->videoBox(i);
        box->setMuted(true);
        QObject::connect(box, &VidPlay::loaded, window, [&, i] { loaded[i] = clock.elapsed(); });
        QObject::connect(box, &VidPlay::frameShown, window, [&, i, box] {
            if (first[i] < 0)
                first[i] = clock.elapsed();
            if (moving[i] < 0 && box->position() > 0)
                moving[i] = clock.elapsed();
        });
    }
    if (!waitFor([&] { return moving[0] >= 0 && moving[1] >= 0; }, 20000)) {
        std::printf("the compared videos did not start\n");
        delete window;
        return;
    }
    const double cpu0 = selfCpu();
    const qint64 started = std::max(moving[0], moving[1]);
    int worst = 0;
    int samples = 0;
    int unreadable = 0;
    int last = 0;
    qint64 lastAt = 0;
    while (clock.elapsed() < started + compareSeconds * 1000) {
        waitFor([&] { return false; }, 250);
        const int a = Testing::frameNumber(window->videoBox(0)->currentFrame());
        const int b = Testing::frameNumber(window->videoBox(1)->currentFrame());
        if (a < 0 || b < 0) {
            ++unreadable;
            continue;
        }
        int diff = std::abs(a - b);
        diff = std::min(diff, 1024 - diff); // the pictures count modulo 1024
        worst = std::max(worst, diff);
        last = diff;
        lastAt = clock.elapsed() - started;
        ++samples;
    }
    const double cpu = selfCpu() - cpu0;
    std::printf("\nCompare of two 640x480 H.264 clips at 25 fps\n");
    std::printf("CompareVideos returned:   %6lld ms\n", called);
    std::printf("first pictures:           %6lld ms and %lld ms\n", first[0], first[1]);
    std::printf("loaded:                   %6lld ms and %lld ms\n", loaded[0], loaded[1]);
    std::printf("both moving after:        %6lld ms and %lld ms (target <= 300)\n", moving[0], moving[1]);
    std::printf("frames apart, %d samples over %d s: at most %d; %d at %.1f s (target <= 1)%s\n",
                samples, compareSeconds, worst, last, lastAt / 1000.0,
                unreadable ? qPrintable(QStringLiteral(", %1 samples unreadable").arg(unreadable)) : "");
    std::printf("cpu while comparing:      %6.2f s for %d s\n", cpu, compareSeconds);
    delete window;
    MediaEngine::waitForIdle(10000);
}

} // namespace

int main(int argc, char **argv)
{
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("CPU of playing video, and compared videos in step."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Folder for the clips."),
                                       QStringLiteral("folder"), QDir::tempPath() + QStringLiteral("/tovra-bench-playback"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("The view's size, WxH."),
                                        QStringLiteral("WxH"), QStringLiteral("960x540"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds of each side."),
                                          QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption onlyOption(QStringLiteral("only"), QStringLiteral("cpu or compare."),
                                        QStringLiteral("part"));
    const QCommandLineOption compareOption(QStringLiteral("compare-seconds"),
                                           QStringLiteral("How long the compared videos play."),
                                           QStringLiteral("s"), QStringLiteral("60"));
    const QCommandLineOption sidesOption(QStringLiteral("sides"),
                                         QStringLiteral("Sides of the CPU part (for profiling one)."),
                                         QStringLiteral("list"), QStringLiteral("peer,window,overlay"));
    const QCommandLineOption xOption(QStringLiteral("xserver-pid"),
                                     QStringLiteral("The X server, to print its CPU time too."),
                                     QStringLiteral("pid"), QStringLiteral("0"));
    parser.addOptions({dirOption, sizeOption, roundsOption, onlyOption, compareOption, sidesOption, xOption});
    parser.process(app);

    QString error;
    if (!MediaEngine::start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString dir = parser.value(dirOption);
    QDir().mkpath(dir);
    const QStringList wh = parser.value(sizeOption).split(u'x');
    const QSize view(wh.value(0).toInt(), wh.value(1).toInt());
    const QString only = parser.value(onlyOption);
    if (only.isEmpty() || only == QLatin1String("cpu"))
        cpuBench(dir, view, std::max(1, parser.value(roundsOption).toInt()), parser.value(xOption).toLongLong(),
                 parser.value(sidesOption).split(u','));
    if (only.isEmpty() || only == QLatin1String("compare"))
        compareBench(dir, std::max(5, parser.value(compareOption).toInt()));
    return 0;
}
