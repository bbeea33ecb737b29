// Thumbnails of a whole book: our service, cold and warm, with one and two
// workers, against vipsthumbnail making the same 256-pixel PNGs.
//
//   bench_thumbnails [--dir /tmp/tovra-bench-thumbs] [--jpegs 500] [--pngs 100] [--screen 24]
//                    [--sets camera,xray,...] [--repeat 3]
//
// The camera and radiograph sets are generated once and kept in --dir;
// bench_thumbcorpus writes the others there. Every other folder of pictures
// in --dir is measured too, cold with one worker against vipsthumbnail, the
// two taking turns --repeat times.

#include "benchpictures.h"
#include "component/thumbnailprovider.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QSet>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>

#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <numeric>

using tovradocs::Internal::ThumbnailProvider;
using namespace benchpictures;

namespace {

constexpr int Pixels = 256;

struct Run
{
    QString set;
    QString tool;
    int workers = 1;
    double firstScreenMs = -1;
    double totalMs = 0;
    int pictures = 0;
    int failures = 0;
    QSize largestDecode; // what came out of the decoders, at most
    double peakMb = -1; // resident memory the run added at its peak (one worker)
    double cpuMs = 0; // CPU time of our process or of the peer's processes

    double cpuMsPerPicture() const { return cpuMs / pictures; }

    double perSecond() const { return pictures * 1000.0 / totalMs; }
    double msPerPictureCore() const { return totalMs * workers / pictures; }
};

// Resident memory now, or at its peak since the last reset (Linux).
double residentMb(bool peak)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = peak ? "VmHWM:" : "VmRSS:";
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Hands freed memory back first, so that the peak shows what a run needs
// rather than what earlier runs left in the allocator.
// CPU time used so far by this process, or by its finished children.
double cpuMsUsed(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void resetPeakMemory()
{
    malloc_trim(0);
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Requests the whole book in order, then the first screen again, as a grid asks
// for what it shows; the first screen is therefore decoded first.
Run runOurs(const QString &set, const QStringList &files, int workers, const QString &cacheDir,
            bool cold, int screen)
{
    if (cold)
        QDir(cacheDir).removeRecursively();
    ThumbnailProvider provider;
    provider.setThumbnailBaseDir(cacheDir);
    provider.setWorkerCount(workers);

    Run run;
    run.set = set;
    run.tool = cold ? QStringLiteral("ours cold") : QStringLiteral("ours warm");
    run.workers = workers;
    run.pictures = int(files.size());
    QSet<QString> firstScreen(files.begin(), files.begin() + std::min<int>(screen, int(files.size())));
    int answered = 0;
    QElapsedTimer timer;
    QEventLoop loop;
    const auto arrived = [&](const QString &path) {
        if (firstScreen.remove(path) && firstScreen.isEmpty())
            run.firstScreenMs = timer.nsecsElapsed() / 1e6;
        if (++answered == run.pictures)
            loop.quit();
    };
    QObject::connect(&provider, &ThumbnailProvider::thumbnailLoaded, &loop,
                     [&](const QString &path, const QImage &) { arrived(path); });
    QObject::connect(&provider, &ThumbnailProvider::pictureDecoded, &loop,
                     [&](const QString &, int, const QSize &decoded) {
                         if (qint64(decoded.width()) * decoded.height()
                             > qint64(run.largestDecode.width()) * run.largestDecode.height())
                             run.largestDecode = decoded;
                     });
    QObject::connect(&provider, &ThumbnailProvider::thumbnailFailed, &loop,
                     [&](const QString &path, const QString &message) {
                         ++run.failures;
                         if (run.failures < 3)
                             std::printf("  failed: %s\n", qPrintable(message));
                         arrived(path);
                     });
    resetPeakMemory();
    const double before = residentMb(false);
    const double cpuBefore = cpuMsUsed(RUSAGE_SELF);
    timer.start();
    for (const QString &f : files)
        provider.request(f, Pixels);
    for (int i = std::min<int>(screen, int(files.size())) - 1; i >= 0; --i)
        provider.request(files[i], Pixels);
    loop.exec();
    run.totalMs = timer.nsecsElapsed() / 1e6;
    run.cpuMs = cpuMsUsed(RUSAGE_SELF) - cpuBefore;
    if (workers == 1)
        run.peakMb = residentMb(true) - before;
    return run;
}

// vipsthumbnail, each process single-threaded, the files split evenly.
Run runVips(const QString &set, const QStringList &files, int processes, const QString &outDir)
{
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    Run run;
    run.set = set;
    run.tool = QStringLiteral("vipsthumbnail");
    run.workers = processes;
    run.pictures = int(files.size());
    const double cpuBefore = cpuMsUsed(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<QProcess>> running;
    for (int p = 0; p < processes; ++p) {
        QStringList args{QStringLiteral("-s"), QString::number(Pixels), QStringLiteral("-o"),
                         outDir + QStringLiteral("/%s.png")};
        for (int i = p; i < files.size(); i += processes)
            args << files[i];
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VIPS_CONCURRENCY"), QStringLiteral("1"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral("vipsthumbnail"), args);
        running.push_back(std::move(process));
    }
    for (auto &process : running) {
        process->waitForFinished(-1);
        if (process->exitCode() != 0)
            ++run.failures;
    }
    run.totalMs = timer.nsecsElapsed() / 1e6;
    run.cpuMs = cpuMsUsed(RUSAGE_CHILDREN) - cpuBefore;
    run.failures += run.pictures - int(QDir(outDir).entryList(QDir::Files).size());
    return run;
}

void printRun(const Run &r)
{
    const QString screen = r.firstScreenMs < 0 ? QStringLiteral("-")
                                               : QString::number(r.firstScreenMs, 'f', 0);
    const QString decoded = r.largestDecode.isEmpty()
                                ? QStringLiteral("-")
                                : QStringLiteral("%1x%2").arg(r.largestDecode.width()).arg(r.largestDecode.height());
    const QString peak = r.peakMb < 0 ? QStringLiteral("-") : QString::number(r.peakMb, 'f', 1);
    std::printf("%-22s %-15s %7d %13s %10.0f %9.1f %12.1f %8d %12s %8s\n", qPrintable(r.set),
                qPrintable(r.tool), r.workers, qPrintable(screen), r.totalMs, r.perSecond(),
                r.msPerPictureCore(), r.failures, qPrintable(decoded), qPrintable(peak));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Picture cache."), QStringLiteral("dir"),
                      QStringLiteral("/tmp/tovra-bench-thumbs")});
    parser.addOption({QStringLiteral("jpegs"), QStringLiteral("Camera pictures."), QStringLiteral("n"),
                      QStringLiteral("500")});
    parser.addOption({QStringLiteral("pngs"), QStringLiteral("Radiographs."), QStringLiteral("n"),
                      QStringLiteral("100")});
    parser.addOption({QStringLiteral("screen"), QStringLiteral("Thumbnails on the first screen."),
                      QStringLiteral("n"), QStringLiteral("24")});
    parser.addOption({QStringLiteral("sets"),
                      QStringLiteral("Only these sets (folder names, comma-separated)."),
                      QStringLiteral("names")});
    parser.addOption({QStringLiteral("repeat"),
                      QStringLiteral("Turns of ours and vipsthumbnail on the other sets (median)."),
                      QStringLiteral("n"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("peaks"),
                      QStringLiteral("Only measure each set's peak memory with one worker.")});
    parser.process(app);
    const QString dir = parser.value(QStringLiteral("dir"));
    const bool peaksOnly = parser.isSet(QStringLiteral("peaks"));
    const QStringList only = parser.value(QStringLiteral("sets")).split(u',', Qt::SkipEmptyParts);
    const auto wanted = [&](const QString &name) { return only.isEmpty() || only.contains(name); };
    const int repeat = std::max(1, parser.value(QStringLiteral("repeat")).toInt());
    const int screen = parser.value(QStringLiteral("screen")).toInt();

    const QStringList jpegs = !wanted(QStringLiteral("camera")) ? QStringList() : ensureSet(
        dir + QStringLiteral("/camera"), QStringLiteral("IMG"), QStringLiteral("jpg"),
        parser.value(QStringLiteral("jpegs")).toInt(), 40,
        [](int i, const QString &path) { return cameraPicture(i).save(path, "JPEG", 92); });
    const QStringList pngs = !wanted(QStringLiteral("xray")) ? QStringList() : ensureSet(
        dir + QStringLiteral("/xray"), QStringLiteral("RX"), QStringLiteral("png"),
        parser.value(QStringLiteral("pngs")).toInt(), 10,
        [](int i, const QString &path) { return radiograph(i).save(path, "PNG"); });

    const auto averageSize = [](const QStringList &files) {
        qint64 total = 0;
        for (const QString &f : files)
            total += QFileInfo(f).size();
        return files.isEmpty() ? 0.0 : double(total) / files.size() / 1e6;
    };
    std::printf("book: %lld JPEG 4032x3024 (avg %.2f MB), %lld PNG 2000x1500 grey (avg %.2f MB); "
                "%d-pixel thumbnails, first screen = %d\n\n",
                qsizetype(jpegs.size()), averageSize(jpegs), qsizetype(pngs.size()),
                averageSize(pngs), Pixels, screen);

    const QString work = QDir::tempPath() + QStringLiteral("/tovra-bench-work");
    std::printf("%-22s %-15s %7s %13s %10s %9s %12s %8s %12s %8s\n", "set", "tool", "workers",
                "1st screen ms", "total ms", "pics/s", "ms/pic/core", "failed", "max decode",
                "peak MB");

    struct SetResult
    {
        Run cold1, cold2, warm1, warm2, vips1, vips2;
        QSize fullSize;
    };
    const auto measure = [&](const QString &name, const QStringList &files) {
        SetResult r;
        r.fullSize = QImageReader(files.value(0)).size();
        const QString cache = work + QStringLiteral("/cache-") + name.section(u' ', 0, 0);
        r.cold1 = runOurs(name, files, 1, cache, true, screen);
        printRun(r.cold1);
        r.warm1 = runOurs(name, files, 1, cache, false, screen);
        printRun(r.warm1);
        r.cold2 = runOurs(name, files, 2, cache, true, screen);
        printRun(r.cold2);
        r.warm2 = runOurs(name, files, 2, cache, false, screen);
        printRun(r.warm2);
        r.vips1 = runVips(name, files, 1, work + QStringLiteral("/vips"));
        printRun(r.vips1);
        r.vips2 = runVips(name, files, 2, work + QStringLiteral("/vips"));
        printRun(r.vips2);
        std::fflush(stdout);
        return r;
    };
    std::vector<std::pair<QString, SetResult>> baseline;
    if (!jpegs.isEmpty() && !peaksOnly)
        baseline.emplace_back(QStringLiteral("JPEG"), measure(QStringLiteral("JPEG camera"), jpegs));
    if (!pngs.isEmpty() && !peaksOnly)
        baseline.emplace_back(QStringLiteral("PNG "), measure(QStringLiteral("PNG radiograph"), pngs));

    // The other sets: ours cold and vipsthumbnail, one worker each, in turns.
    struct Other
    {
        QString name;
        double ours = 0, vips = 0, oursCpu = 0, vipsCpu = 0, peakMb = 0;
        QSize decoded, full;
        int failures = 0;
    };
    std::vector<Other> others;
    const QStringList folders = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &folder : folders) {
        if (folder == QLatin1String("camera") || folder == QLatin1String("xray") || !wanted(folder))
            continue;
        QStringList files;
        for (const QString &f : QDir(dir + u'/' + folder).entryList(QDir::Files, QDir::Name)) {
            if (!f.endsWith(QLatin1String(".part")))
                files << dir + u'/' + folder + u'/' + f;
        }
        if (files.isEmpty() || peaksOnly)
            continue;
        Other o;
        o.name = folder;
        o.full = QImageReader(files.first()).size();
        std::vector<double> ours, vips, oursCpu, vipsCpu;
        for (int k = 0; k < repeat; ++k) {
            const Run a = runOurs(folder, files, 1, work + QStringLiteral("/cache-") + folder, true, screen);
            const Run b = runVips(folder, files, 1, work + QStringLiteral("/vips"));
            printRun(a);
            printRun(b);
            std::fflush(stdout);
            ours.push_back(a.msPerPictureCore());
            vips.push_back(b.msPerPictureCore());
            oursCpu.push_back(a.cpuMsPerPicture());
            vipsCpu.push_back(b.cpuMsPerPicture());
            o.peakMb = std::max(o.peakMb, a.peakMb);
            o.decoded = a.largestDecode;
            o.failures = std::max(a.failures, b.failures);
        }
        const auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
        };
        o.ours = median(ours);
        o.vips = median(vips);
        o.oursCpu = median(oursCpu);
        o.vipsCpu = median(vipsCpu);
        others.push_back(o);
    }

    const auto verdict = [](bool ok) { return ok ? "met" : "NOT met"; };
    std::printf("\nratios\n");
    for (const auto &[name, r] : baseline) {
        const double perCore = r.cold1.msPerPictureCore() / r.vips1.msPerPictureCore();
        const double perCore2 = r.cold2.msPerPictureCore() / r.vips2.msPerPictureCore();
        const double scaling = r.cold1.totalMs / r.cold2.totalMs;
        const char *n = qPrintable(name);
        std::printf("  %s ours/vipsthumbnail per picture per core, cold: %.2fx with 1, %.2fx with 2 "
                    "(target <= 0.8: %s)\n",
                    n, perCore, perCore2, verdict(perCore <= 0.8));
        std::printf("  %s 2 workers vs 1, cold: %.2fx (target >= 1.8: %s)\n", n, scaling,
                    verdict(scaling >= 1.8));
        std::printf("  %s first screen warm: %.0f ms with 1, %.0f ms with 2 (target < 1000: %s)\n",
                    n, r.warm1.firstScreenMs, r.warm2.firstScreenMs,
                    verdict(r.warm2.firstScreenMs < 1000));
        std::printf("  %s peak memory with one worker, cold: %.1f MB\n", n, r.cold1.peakMb);
        std::printf("  %s CPU per picture, cold, one worker: ours %.1f ms, vipsthumbnail %.1f ms: %.2fx\n",
                    n, r.cold1.cpuMsPerPicture(), r.vips1.cpuMsPerPicture(),
                    r.cold1.cpuMsPerPicture() / r.vips1.cpuMsPerPicture());
        const QSize decoded = r.cold1.largestDecode.expandedTo(r.cold2.largestDecode);
        std::printf("  %s largest decode %dx%d of %dx%d originals (%s)\n", n, decoded.width(),
                    decoded.height(), r.fullSize.width(), r.fullSize.height(),
                    decoded.width() < r.fullSize.width() ? "never at full size"
                                                         : "AT FULL SIZE: the format has no scaled decoding");
    }
    for (const Other &o : others) {
        std::printf("  %-14s ours %6.1f ms, vipsthumbnail %6.1f ms per picture per core: %.2fx; "
                    "CPU %5.1f / %5.1f ms: %.2fx; decoded %dx%d of %dx%d; peak %.1f MB%s\n",
                    qPrintable(o.name), o.ours, o.vips, o.ours / o.vips, o.oursCpu, o.vipsCpu,
                    o.oursCpu / o.vipsCpu, o.decoded.width(),
                    o.decoded.height(), o.full.width(), o.full.height(), o.peakMb,
                    o.failures ? " (FAILURES)" : "");
    }

    // Peak memory, each set on its own: large buffers are mapped and unmapped
    // by themselves from here on, so that no set runs in memory an earlier
    // one left resident.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    std::printf("\npeak resident memory added by one worker, cold, first 8 pictures of each set\n");
    QStringList peakSets;
    for (const QString &folder : folders) {
        if (wanted(folder))
            peakSets << folder;
    }
    for (const QString &folder : peakSets) {
        QStringList files;
        for (const QString &f : QDir(dir + u'/' + folder).entryList(QDir::Files, QDir::Name)) {
            if (!f.endsWith(QLatin1String(".part")) && files.size() < 8)
                files << dir + u'/' + folder + u'/' + f;
        }
        if (files.isEmpty())
            continue;
        const Run r = runOurs(folder, files, 1, work + QStringLiteral("/cache-peak"), true, screen);
        std::printf("  %-14s %6.1f MB (largest decode %dx%d)\n", qPrintable(folder), r.peakMb,
                    r.largestDecode.width(), r.largestDecode.height());
    }
    QDir(work).removeRecursively();
    return 0;
}
