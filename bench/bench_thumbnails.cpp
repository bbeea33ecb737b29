// Thumbnails of a whole book: our service, cold and warm, with one and two
// workers, against vipsthumbnail making the same 256-pixel PNGs.
//
//   bench_thumbnails [--dir /tmp/tovra-bench-thumbs] [--jpegs 500] [--pngs 100] [--screen 24]
//
// The pictures are generated once and kept in --dir; delete it to regenerate.

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

#include <cstdio>
#include <numeric>

using tovradocs::Internal::ThumbnailProvider;

namespace {

constexpr int Pixels = 256;

quint32 nextRandom(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Sky-to-ground gradient, soft blobs and sensor-like noise: compresses like a photo.
QImage cameraPicture(int seed)
{
    QImage image(4032, 3024, QImage::Format_RGB32);
    QPainter p(&image);
    quint32 rng = 0x9e3779b9u * (seed + 1);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(int(nextRandom(rng) % 360), 90, 230));
    sky.setColorAt(1, QColor::fromHsv(int(nextRandom(rng) % 360), 160, 70));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        QRadialGradient blob(QPointF(nextRandom(rng) % 4032, nextRandom(rng) % 3024),
                             200 + nextRandom(rng) % 900);
        const QColor c = QColor::fromHsv(int(nextRandom(rng) % 360), 120, 60 + int(nextRandom(rng) % 190));
        blob.setColorAt(0, c);
        blob.setColorAt(1, QColor(c.red(), c.green(), c.blue(), 0));
        p.setBrush(blob);
        p.drawRect(image.rect());
    }
    p.end();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(nextRandom(rng) & 15) - 8;
            const QRgb v = line[x];
            line[x] = qRgb(std::clamp(qRed(v) + n, 0, 255), std::clamp(qGreen(v) + n, 0, 255),
                           std::clamp(qBlue(v) + n, 0, 255));
        }
    }
    return image;
}

// Grey radiograph-like picture: dark field, bright rounded shapes, grain.
QImage radiograph(int seed)
{
    QImage image(2000, 1500, QImage::Format_Grayscale8);
    image.fill(30);
    QPainter p(&image);
    quint32 rng = 0x85ebca6bu * (seed + 3);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 9; ++i) {
        QRadialGradient tooth(QPointF(150 + i * 210, 750), 380);
        tooth.setColorAt(0, QColor(230, 230, 230));
        tooth.setColorAt(1, QColor(40, 40, 40));
        p.setBrush(tooth);
        p.drawRoundedRect(QRectF(60 + i * 210, 200 + nextRandom(rng) % 200, 180, 1000), 80, 80);
    }
    p.end();
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            line[x] = uchar(std::clamp(int(line[x]) + int(nextRandom(rng) % 13) - 6, 0, 255));
    }
    return image;
}

// Makes `distinct` pictures and copies them up to `count` files: decoding cost
// is per file, so copies measure the same as unique pictures.
QStringList ensureSet(const QString &dir, const QString &stem, const QString &suffix, int count,
                      int distinct, const std::function<bool(int, const QString &)> &make)
{
    QDir().mkpath(dir);
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << QStringLiteral("%1/%2_%3.%4").arg(dir, stem).arg(i, 4, 10, QLatin1Char('0')).arg(suffix);
    QList<int> missing;
    for (int i = 0; i < std::min(count, distinct); ++i) {
        if (!QFile::exists(files[i]))
            missing << i;
    }
    if (!missing.isEmpty()) {
        std::printf("generating %lld %s pictures in %s ...\n", qsizetype(missing.size()),
                    qPrintable(suffix), qPrintable(dir));
        std::fflush(stdout);
        QtConcurrent::blockingMap(missing, [&](int i) {
            const QString temp = files[i] + QStringLiteral(".part");
            if (make(i, temp))
                QFile::rename(temp, files[i]);
        });
    }
    for (int i = distinct; i < count; ++i) {
        if (!QFile::exists(files[i]))
            QFile::copy(files[i % distinct], files[i]);
    }
    return files;
}

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

    double perSecond() const { return pictures * 1000.0 / totalMs; }
    double msPerPictureCore() const { return totalMs * workers / pictures; }
};

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
                     [&](const QString &path, const QImage &) {
                         const QSize decoded = provider.lastDecodedSize();
                         if (qint64(decoded.width()) * decoded.height()
                             > qint64(run.largestDecode.width()) * run.largestDecode.height())
                             run.largestDecode = decoded;
                         arrived(path);
                     });
    QObject::connect(&provider, &ThumbnailProvider::thumbnailFailed, &loop,
                     [&](const QString &path, const QString &message) {
                         ++run.failures;
                         if (run.failures < 3)
                             std::printf("  failed: %s\n", qPrintable(message));
                         arrived(path);
                     });
    timer.start();
    for (const QString &f : files)
        provider.request(f, Pixels);
    for (int i = std::min<int>(screen, int(files.size())) - 1; i >= 0; --i)
        provider.request(files[i], Pixels);
    loop.exec();
    run.totalMs = timer.nsecsElapsed() / 1e6;
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
    std::printf("%-22s %-15s %7d %13s %10.0f %9.1f %12.1f %8d %12s\n", qPrintable(r.set),
                qPrintable(r.tool), r.workers, qPrintable(screen), r.totalMs, r.perSecond(),
                r.msPerPictureCore(), r.failures, qPrintable(decoded));
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
    parser.process(app);
    const QString dir = parser.value(QStringLiteral("dir"));
    const int screen = parser.value(QStringLiteral("screen")).toInt();

    const QStringList jpegs = ensureSet(
        dir + QStringLiteral("/camera"), QStringLiteral("IMG"), QStringLiteral("jpg"),
        parser.value(QStringLiteral("jpegs")).toInt(), 40,
        [](int i, const QString &path) { return cameraPicture(i).save(path, "JPEG", 92); });
    const QStringList pngs = ensureSet(
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
    std::printf("%-22s %-15s %7s %13s %10s %9s %12s %8s %12s\n", "set", "tool", "workers",
                "1st screen ms", "total ms", "pics/s", "ms/pic/core", "failed", "max decode");

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
    const SetResult j = measure(QStringLiteral("JPEG camera"), jpegs);
    const SetResult x = measure(QStringLiteral("PNG radiograph"), pngs);

    const auto verdict = [](bool ok) { return ok ? "met" : "NOT met"; };
    std::printf("\nratios\n");
    for (const auto &[name, r] : {std::pair{"JPEG", j}, std::pair{"PNG ", x}}) {
        const double perCore = r.cold1.msPerPictureCore() / r.vips1.msPerPictureCore();
        const double perCore2 = r.cold2.msPerPictureCore() / r.vips2.msPerPictureCore();
        const double scaling = r.cold1.totalMs / r.cold2.totalMs;
        std::printf("  %s ours/vipsthumbnail per picture per core, cold: %.2fx with 1, %.2fx with 2 "
                    "(target <= 0.8: %s)\n",
                    name, perCore, perCore2, verdict(perCore <= 0.8));
        std::printf("  %s 2 workers vs 1, cold: %.2fx (target >= 1.8: %s)\n", name, scaling,
                    verdict(scaling >= 1.8));
        std::printf("  %s first screen warm: %.0f ms with 1, %.0f ms with 2 (target < 1000: %s)\n",
                    name, r.warm1.firstScreenMs, r.warm2.firstScreenMs,
                    verdict(r.warm2.firstScreenMs < 1000));
        const QSize decoded = r.cold1.largestDecode.expandedTo(r.cold2.largestDecode);
        std::printf("  %s largest decode %dx%d of %dx%d originals (%s)\n", name, decoded.width(),
                    decoded.height(), r.fullSize.width(), r.fullSize.height(),
                    decoded.width() < r.fullSize.width() ? "never at full size"
                                                         : "AT FULL SIZE: the format has no scaled decoding");
    }
    QDir(work).removeRecursively();
    return 0;
}
