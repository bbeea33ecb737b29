// Thumbnails of videos, phone pictures and radiographs against the tools a
// desktop uses for them, in one run, the two sides taking turns:
//
//   video  1080p H.264 MP4, 256 px      ours / ffmpegthumbnailer -s 256
//   grid   a book of 50 such clips       time to the first tile, the first screen, all
//   heic   12 MP phone photo, 256 px     ours / heif-thumbnailer -s 256 (and GraphicsMagick)
//   dicom  16-bit 3000 x 2400, 256 px    ours / dcmj2pnm to a full-size 8-bit picture
//   bad    the four broken files         time and peak memory of each, in a process of its own
//
//   bench_mediathumbs [--dir /tmp/tovra-bench-media] [--repeat 5] [--sets video,grid,heic,dicom,bad]
//
// Fixtures are made once in --dir (the 12 MP HEIC takes x265 about half a
// minute of CPU). Each side is timed cold: a fresh thumbnail cache per turn,
// the file itself in the page cache for both.

#include "benchpictures.h"
#include "component/fileprobe.h"
#include "component/imageloader.h"
#include "component/thumbnailprovider.h"
#include "support/dicomfixtures.h"

#include <Magick++.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

using namespace tovradocs::Internal;
using namespace benchpictures;

namespace {

constexpr int Pixels = 256;

double cpuMsUsed(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double residentMb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QString packageVersion(const QString &package)
{
    QProcess query;
    query.start(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Version}"), package});
    query.waitForFinished(10000);
    const QString version = QString::fromLatin1(query.readAllStandardOutput()).trimmed();
    return version.isEmpty() ? QStringLiteral("not installed") : version;
}

bool run(const QString &program, const QStringList &args, int timeoutMs = 600000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

struct Sample
{
    double wallMs = 0;
    double cpuMs = 0;
    bool ok = false;
};

// One thumbnail from a fresh provider and an empty cache: what a tile costs
// the first time. The media engine stays started between turns, as in the
// program after its first video.
Sample oursOnce(const QString &file, const QString &cacheDir, int workers = 1)
{
    QDir(cacheDir).removeRecursively();
    ThumbnailProvider provider;
    provider.setThumbnailBaseDir(cacheDir);
    provider.setWorkerCount(workers);
    Sample s;
    QEventLoop loop;
    QObject::connect(&provider, &ThumbnailProvider::thumbnailLoaded, &loop, [&] {
        s.ok = true;
        loop.quit();
    });
    QObject::connect(&provider, &ThumbnailProvider::thumbnailFailed, &loop,
                     [&](const QString &, const QString &why) {
                         std::printf("  ours failed: %s\n", qPrintable(why));
                         loop.quit();
                     });
    const double cpu = cpuMsUsed(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    provider.request(file, Pixels);
    loop.exec();
    s.wallMs = clock.nsecsElapsed() / 1e6;
    s.cpuMs = cpuMsUsed(RUSAGE_SELF) - cpu;
    return s;
}

Sample peerOnce(const QString &program, const QStringList &args)
{
    Sample s;
    const double cpu = cpuMsUsed(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    s.ok = run(program, args);
    s.wallMs = clock.nsecsElapsed() / 1e6;
    s.cpuMs = cpuMsUsed(RUSAGE_CHILDREN) - cpu;
    return s;
}

// GraphicsMagick's libheif coder, scaled the same way: the road not taken.
Sample magickOnce(const QString &file)
{
    Sample s;
    const double cpu = cpuMsUsed(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    try {
        Magick::Image image;
        image.read(QFile::encodeName(QStringLiteral("HEIC:") + file).toStdString());
        image.filterType(Magick::BoxFilter);
        image.resize(Magick::Geometry(Pixels, Pixels));
        s.ok = image.columns() > 0;
    } catch (const std::exception &e) {
        std::printf("  GraphicsMagick failed: %s\n", e.what());
    }
    s.wallMs = clock.nsecsElapsed() / 1e6;
    s.cpuMs = cpuMsUsed(RUSAGE_SELF) - cpu;
    return s;
}

struct Side
{
    QString name;
    std::function<Sample()> once;
    std::vector<double> wall, cpu;
    int failures = 0;
};

// The sides take turns, repeat times; medians are compared with the last side.
void compare(const QString &title, std::vector<Side> sides, int repeat, const QString &target)
{
    for (Side &side : sides)
        side.once(); // page cache, plugin loading
    for (int r = 0; r < repeat; ++r) {
        for (Side &side : sides) {
            const Sample s = side.once();
            side.wall.push_back(s.wallMs);
            side.cpu.push_back(s.cpuMs);
            side.failures += s.ok ? 0 : 1;
        }
    }
    const Side &peer = sides.back();
    std::printf("\n%s (median of %d turns)\n", qPrintable(title), repeat);
    std::printf("  %-34s %10s %10s %12s %12s %9s\n", "", "wall ms", "CPU ms", "ratio wall", "ratio CPU",
                "failures");
    for (const Side &side : sides) {
        std::printf("  %-34s %10.1f %10.1f %12.2f %12.2f %9d\n", qPrintable(side.name), median(side.wall),
                    median(side.cpu), median(side.wall) / median(peer.wall),
                    median(side.cpu) / median(peer.cpu), side.failures);
    }
    std::printf("  target: %s\n", qPrintable(target));
}

// 10 s of 1080p H.264 with a key frame every gop frames: 30 as phones
// record (one a second), 250 as x264 does by default.
QString ensureClip(const QString &dir, int gop)
{
    const QString clip = dir + QStringLiteral("/clip1080-gop%1.mp4").arg(gop);
    if (QFile::exists(clip))
        return clip;
    std::printf("making %s (10 s of 1080p H.264)...\n", qPrintable(clip));
    const QString pipeline = QStringLiteral(
        "videotestsrc num-buffers=250 pattern=smpte horizontal-speed=6 ! "
        "video/x-raw,width=1920,height=1080,framerate=25/1 ! "
        "videoconvert ! x264enc speed-preset=faster bitrate=12000 key-int-max=%2 ! "
        "video/x-h264,profile=high ! mp4mux ! filesink location=%1.part").arg(clip).arg(gop);
    if (!run(QStringLiteral("gst-launch-1.0"), QStringList{QStringLiteral("-q")} + QProcess::splitCommand(pipeline))
        || !QFile::rename(clip + QStringLiteral(".part"), clip))
        return {};
    return clip;
}

QString ensureHeic(const QString &dir, bool withThumbnail)
{
    const QString heic = dir + (withThumbnail ? QStringLiteral("/photo12mp-thumb.heic") : QStringLiteral("/photo12mp.heic"));
    if (QFile::exists(heic))
        return heic;
    const QString png = dir + QStringLiteral("/photo12mp.png");
    if (!QFile::exists(png) && !cameraPicture(7).save(png))
        return {};
    std::printf("making %s with heif-enc (x265 at 12 MP: a minute or so)...\n", qPrintable(heic));
    QStringList args{QStringLiteral("-q"), QStringLiteral("80"), QStringLiteral("-o"), heic, png};
    if (withThumbnail)
        args.prepend(QStringLiteral("320")), args.prepend(QStringLiteral("-t"));
    return run(QStringLiteral("heif-enc"), args) ? heic : QString();
}

QString ensureDicom(const QString &dir)
{
    const QString dcm = dir + QStringLiteral("/radiograph16.dcm");
    if (QFile::exists(dcm))
        return dcm;
    const QImage film = radiograph(3, QSize(3000, 2400));
    tovradocs::Testing::DicomContent content;
    content.size = film.size();
    content.bitsStored = 16;
    content.windowCenter = 30000;
    content.windowWidth = 50000;
    quint32 rng = 12345;
    content.value = [&](int x, int y) {
        return std::clamp(qGray(film.pixel(x, y)) * 240 + int(nextRandom(rng) % 200), 0, 65535);
    };
    return tovradocs::Testing::makeDicomPicture(dcm, content);
}

void videoSet(const QString &dir, int repeat)
{
    for (int gop : {30, 250}) {
        const QString clip = ensureClip(dir, gop);
        if (clip.isEmpty()) {
            std::printf("video: cannot make the clip (gst-launch-1.0 with x264enc needed)\n");
            return;
        }
        const QString cache = dir + QStringLiteral("/cache-video");
        const QString out = dir + QStringLiteral("/peer-video.png");
        compare(QStringLiteral("Video thumbnail, 10 s of 1080p H.264 in MP4, a key frame every %1 frames, 256 px")
                    .arg(gop),
                {{QStringLiteral("ours (a tenth in)"), [&] { return oursOnce(clip, cache); }},
                 {QStringLiteral("ffmpegthumbnailer -s 256"),
                  [&] {
                      return peerOnce(QStringLiteral("ffmpegthumbnailer"),
                                      {QStringLiteral("-i"), clip, QStringLiteral("-o"), out,
                                       QStringLiteral("-s"), QString::number(Pixels)});
                  }}},
                repeat, QStringLiteral("ours / ffmpegthumbnailer <= 1.0"));
    }
}

// A book of 50 clips as the library window asks for them: every tile of the
// grid in order, on two workers, from an empty cache.
void gridSet(const QString &dir, int repeat)
{
    const QString clip = ensureClip(dir, 30);
    if (clip.isEmpty())
        return;
    QDir().mkpath(dir + QStringLiteral("/book"));
    QStringList clips;
    for (int i = 0; i < 50; ++i) {
        const QString copy = dir + QStringLiteral("/book/clip%1.mp4").arg(i, 2, 10, QLatin1Char('0'));
        if (!QFile::exists(copy))
            QFile::link(clip, copy) || QFile::copy(clip, copy);
        clips << copy;
    }
    const QString cache = dir + QStringLiteral("/cache-grid");
    std::printf("\nA book of 50 clips, 256 px, two workers, empty cache (the first turn starts the media engine)\n");
    std::printf("  %-8s %14s %18s %14s %9s\n", "turn", "first tile ms", "first 24 tiles ms", "all 50 ms",
                "failures");
    std::vector<double> firsts, screens, totals;
    for (int r = 0; r <= repeat; ++r) {
        QDir(cache).removeRecursively();
        ThumbnailProvider provider;
        provider.setThumbnailBaseDir(cache);
        provider.setWorkerCount(2);
        QEventLoop loop;
        QElapsedTimer clock;
        double first = -1, screen = -1;
        int answered = 0, failures = 0, screenLeft = 24;
        const auto arrived = [&](const QString &path) {
            if (first < 0)
                first = clock.nsecsElapsed() / 1e6;
            if (clips.indexOf(path) < 24 && --screenLeft == 0)
                screen = clock.nsecsElapsed() / 1e6;
            if (++answered == clips.size())
                loop.quit();
        };
        QObject::connect(&provider, &ThumbnailProvider::thumbnailLoaded, &loop,
                         [&](const QString &path) { arrived(path); });
        QObject::connect(&provider, &ThumbnailProvider::thumbnailFailed, &loop,
                         [&](const QString &path, const QString &why) {
                             if (++failures < 3)
                                 std::printf("  failed: %s\n", qPrintable(why));
                             arrived(path);
                         });
        clock.start();
        // The provider serves the newest request first (what was scrolled to
        // last), so the whole book is asked for from its end: the first
        // screen's tiles are asked last and come first.
        for (auto c = clips.crbegin(); c != clips.crend(); ++c)
            provider.request(*c, Pixels);
        loop.exec();
        const double total = clock.nsecsElapsed() / 1e6;
        std::printf("  %-8s %14.0f %18.0f %14.0f %9d\n", r == 0 ? "first" : qPrintable(QString::number(r)),
                    first, screen, total, failures);
        if (r > 0) {
            firsts.push_back(first);
            screens.push_back(screen);
            totals.push_back(total);
        }
    }
    std::printf("  %-8s %14.0f %18.0f %14.0f\n", "median", median(firsts), median(screens), median(totals));
    std::printf("  target: the first tile within 1000 ms\n");
}

void heicSet(const QString &dir, int repeat)
{
    for (bool thumb : {false, true}) {
        const QString heic = ensureHeic(dir, thumb);
        if (heic.isEmpty()) {
            std::printf("heic: heif-enc could not make the photo\n");
            return;
        }
        const QString cache = dir + QStringLiteral("/cache-heic");
        const QString out = dir + QStringLiteral("/peer-heic.png");
        compare(thumb ? QStringLiteral("HEIC 4032 x 3024 carrying a 320-pixel thumbnail, 256 px")
                      : QStringLiteral("HEIC 4032 x 3024 phone photo (no thumbnail inside), 256 px"),
                {{QStringLiteral("ours (libheif, planes averaged)"), [&] { return oursOnce(heic, cache); }},
                 {QStringLiteral("GraphicsMagick's HEIC coder + box"), [&] { return magickOnce(heic); }},
                 {QStringLiteral("heif-thumbnailer -s 256"),
                  [&] {
                      return peerOnce(QStringLiteral("heif-thumbnailer"),
                                      {QStringLiteral("-s"), QString::number(Pixels), heic, out});
                  }}},
                repeat, QStringLiteral("ours / heif-thumbnailer <= 1.0"));
    }
}

void dicomSet(const QString &dir, int repeat)
{
    const QString dcm = ensureDicom(dir);
    if (dcm.isEmpty()) {
        std::printf("dicom: cannot write the radiograph\n");
        return;
    }
    const QString cache = dir + QStringLiteral("/cache-dicom");
    const QString out = dir + QStringLiteral("/peer-dicom.pgm");
    compare(QStringLiteral("DICOM 16-bit 3000 x 2400 radiograph, 256 px"),
            {{QStringLiteral("ours (window applied)"), [&] { return oursOnce(dcm, cache); }},
             {QStringLiteral("dcmj2pnm to a full-size 8-bit PGM"),
              [&] { return peerOnce(QStringLiteral("dcmj2pnm"), {dcm, out}); }}},
            repeat, QStringLiteral("ours / dcmj2pnm <= 0.9"));
}

// Run in a process of its own: its thumbnail, "View" and probe of one file.
int oneBadFile(const QString &file, const QString &cacheDir)
{
    // The libraries a thumbnail worker uses, loaded before the baseline.
    const QString warm = cacheDir + QStringLiteral(".warm.png");
    cameraPicture(1, QSize(64, 48)).save(warm);
    oursOnce(warm, cacheDir);
    const double baseline = residentMb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    QString reason;
    {
        ThumbnailProvider provider;
        provider.setThumbnailBaseDir(cacheDir + QStringLiteral("/cold"));
        QEventLoop loop;
        QObject::connect(&provider, &ThumbnailProvider::thumbnailLoaded, &loop, [&] { loop.quit(); });
        QObject::connect(&provider, &ThumbnailProvider::thumbnailFailed, &loop,
                         [&](const QString &, const QString &why) {
                             reason = why;
                             loop.quit();
                         });
        provider.request(file, Pixels);
        loop.exec();
    }
    const double thumbMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    const Result<QImage> viewed = loadImage(file);
    const double viewMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    const Result<QSize> probed = probeFile(file);
    const double probeMs = clock.nsecsElapsed() / 1e6;
    std::printf("%.1f %.1f %.1f %.1f %s\n", thumbMs, viewMs, probeMs, residentMb("VmHWM:") - baseline,
                qPrintable(reason.isEmpty() ? QStringLiteral("(no reason)") : reason));
    Q_UNUSED(viewed);
    Q_UNUSED(probed);
    return 0;
}

void badSet(const QString &dir)
{
    const QString bad = dir + QStringLiteral("/bad");
    QDir().mkpath(bad);
    const QString clip = ensureClip(dir, 30);
    QFile in(clip);
    QFile cut(bad + QStringLiteral("/cut.mp4"));
    if (in.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly))
        cut.write(in.read(in.size() / 2));
    cut.close();
    QFile(bad + QStringLiteral("/empty.heic")).open(QIODevice::WriteOnly);
    tovradocs::Testing::makeDicomPicture(bad + QStringLiteral("/header-only.dcm"), {.pixelData = false});
    QFile claims(bad + QStringLiteral("/claims.png"));
    if (claims.open(QIODevice::WriteOnly))
        claims.write(QByteArray::fromBase64(
            "iVBORw0KGgoAAAANSUhEUgAA6mAAAOpgCAIAAAAPsOIVAAAADElEQVR4nGNgoAwAAABAAAG3NHzvAAAAAElFTkSuQmCC")
                         .append(QByteArray(1024 - 69, '\0')));
    claims.close();
    std::printf("\nBroken files, each in a process of its own (limits: 2000 ms, 256 MB)\n");
    std::printf("  %-18s %10s %10s %10s %12s  %s\n", "file", "thumb ms", "view ms", "probe ms",
                "peak +MB", "reason");
    for (const QString &name : {QStringLiteral("cut.mp4"), QStringLiteral("empty.heic"),
                                QStringLiteral("header-only.dcm"), QStringLiteral("claims.png")}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--one"), bad + QLatin1Char('/') + name, QStringLiteral("--dir"),
                     bad + QStringLiteral("/cache-") + name});
        child.waitForFinished(60000);
        const QStringList fields = QString::fromUtf8(child.readAllStandardOutput()).trimmed().split(u' ');
        std::printf("  %-18s %10s %10s %10s %12s  %s\n", qPrintable(name), qPrintable(fields.value(0)),
                    qPrintable(fields.value(1)), qPrintable(fields.value(2)), qPrintable(fields.value(3)),
                    qPrintable(fields.mid(4).join(u' ')));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Folder for the fixtures."), QStringLiteral("dir"),
                      QStringLiteral("/tmp/tovra-bench-media")});
    parser.addOption({QStringLiteral("repeat"), QStringLiteral("Turns per side."), QStringLiteral("n"),
                      QStringLiteral("5")});
    parser.addOption({QStringLiteral("sets"), QStringLiteral("video,grid,heic,dicom,bad"), QStringLiteral("list"),
                      QStringLiteral("grid,video,heic,dicom,bad")});
    parser.addOption({QStringLiteral("one"), QStringLiteral("(internal) one broken file"), QStringLiteral("file")});
    parser.process(app);
    const QString dir = parser.value(QStringLiteral("dir"));
    QDir().mkpath(dir);
    Magick::InitializeMagick(nullptr);
    if (parser.isSet(QStringLiteral("one")))
        return oneBadFile(parser.value(QStringLiteral("one")), dir);

    const int repeat = std::max(1, parser.value(QStringLiteral("repeat")).toInt());
    std::printf("peers: ffmpegthumbnailer %s, heif-thumbnailer %s (libheif), dcmtk %s; "
                "gstreamer %s, graphicsmagick %s\n",
                qPrintable(packageVersion(QStringLiteral("ffmpegthumbnailer"))),
                qPrintable(packageVersion(QStringLiteral("heif-thumbnailer"))),
                qPrintable(packageVersion(QStringLiteral("dcmtk"))),
                qPrintable(packageVersion(QStringLiteral("libgstreamer1.0-0"))),
                qPrintable(packageVersion(QStringLiteral("libgraphicsmagick-q16-3"))));
    for (const QString &set : parser.value(QStringLiteral("sets")).split(u',')) {
        if (set == QLatin1String("grid"))
            gridSet(dir, repeat);
        else if (set == QLatin1String("video"))
            videoSet(dir, repeat);
        else if (set == QLatin1String("heic"))
            heicSet(dir, repeat);
        else if (set == QLatin1String("dicom"))
            dicomSet(dir, repeat);
        else if (set == QLatin1String("bad"))
            badSet(dir);
    }
    return 0;
}
