// Copies 200 camera-sized pictures into the library through LibraryCopier and
// the same files with dd (bs=1M conv=fsync), on the same filesystem, and
// prints both times.

#include "benchhost.h"
#include "host/referencehost.h"
#include "library/librarycopier.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

constexpr int PictureCount = 200;

// Random bytes: pictures do not compress, and neither must these.
QStringList makePictures(const QString &folder)
{
    std::mt19937_64 random(2026);
    std::uniform_int_distribution<int> size(3 << 20, 5 << 20);
    QStringList files;
    QByteArray data;
    for (int i = 0; i < PictureCount; ++i) {
        data.resize(size(random) & ~7);
        auto *words = reinterpret_cast<quint64 *>(data.data());
        for (qsizetype w = 0; w < data.size() / 8; ++w)
            words[w] = random();
        const QString path = folder + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            qFatal("cannot write %s", qPrintable(path));
        files << path;
    }
    return files;
}

qint64 runLibraryCopier(DataLink &link, const QStringList &files, int round)
{
    QElapsedTimer timer;
    timer.start();
    LibraryCopier copier(link);
    for (int i = 0; i < files.size(); ++i) {
        const auto copied = copier.copy(files[i], 1, round, 1 + i, false);
        if (!copied)
            qFatal("copy failed: %s", qPrintable(copied.error()));
    }
    const Outcome done = copier.finish();
    if (!done)
        qFatal("finish failed: %s", qPrintable(done.error()));
    return timer.nsecsElapsed();
}

qint64 runDd(const QStringList &files, const QString &target)
{
    QDir().mkpath(target);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < files.size(); ++i) {
        QProcess dd;
        dd.start(QStringLiteral("dd"), {QStringLiteral("if=") + files[i],
                                        QStringLiteral("of=%1/E%2.JPG").arg(target).arg(i),
                                        QStringLiteral("bs=1M"), QStringLiteral("conv=fsync"),
                                        QStringLiteral("status=none")});
        dd.waitForFinished(-1);
        if (dd.exitCode() != 0)
            qFatal("dd failed: %s", dd.readAllStandardError().constData());
    }
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Under the build tree by default so that source and target share one filesystem.
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir(base + QStringLiteral("/bench-copy-XXXXXX"));
    if (!dir.isValid())
        return 1;
    QDir().mkpath(dir.filePath(QStringLiteral("camera")));
    std::printf("writing %d pictures...\n", PictureCount);
    const QStringList files = makePictures(dir.filePath(QStringLiteral("camera")));
    qint64 bytes = 0;
    for (const QString &f : files)
        bytes += QFileInfo(f).size();

    const auto host = openBenchHost(dir.path());
    if (!host)
        return 1;

    // Alternate the two so that neither gets a warmer cache; keep the best of each.
    qint64 bestOurs = std::numeric_limits<qint64>::max();
    qint64 bestDd = bestOurs;
    for (int round = 1; round <= 2; ++round) {
        const qint64 dd = runDd(files, dir.filePath(QStringLiteral("dd%1").arg(round)));
        const qint64 ours = runLibraryCopier(*host, files, round);
        std::printf("round %d: LibraryCopier %8.1f ms   dd %8.1f ms\n", round, ours / 1e6, dd / 1e6);
        bestOurs = std::min(bestOurs, ours);
        bestDd = std::min(bestDd, dd);
        QDir(dir.filePath(QStringLiteral("dd%1").arg(round))).removeRecursively();
        QDir(dir.filePath(QStringLiteral("Library"))).removeRecursively();
        QDir().mkpath(dir.filePath(QStringLiteral("Library")));
    }
    std::printf("%d files, %.1f MB\n", PictureCount, bytes / 1048576.0);
    std::printf("LibraryCopier  %8.1f ms  %7.1f MB/s\n", bestOurs / 1e6, bytes / 1048576.0 / (bestOurs / 1e9));
    std::printf("dd conv=fsync  %8.1f ms  %7.1f MB/s\n", bestDd / 1e6, bytes / 1048576.0 / (bestDd / 1e9));
    std::printf("ratio (ours / dd) %.2f\n", double(bestOurs) / double(bestDd));
    return 0;
}
