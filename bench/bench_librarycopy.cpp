// Copies 200 camera-sized pictures into the library through LibraryCopier,
// the same files through one process of plain POSIX calls (open,
// copy_file_range, fsync per file, one folder sync), and with dd
// (bs=1M conv=fsync, one process per file), on the same filesystem. The three
// take turns each round; medians are compared.
//
//   bench_librarycopy [--dir <folder on the target filesystem>] [--files 200] [--rounds 3]

#include "benchstats.h"
#include "benchhost.h"
#include "host/referencehost.h"
#include "library/librarycopier.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

int PictureCount = 200;

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

// What a careful copy program does without our bookkeeping: the kernel
// copies, each file is synced, the folder is synced once at the end.
qint64 runPosix(const QStringList &files, const QString &target)
{
    QDir().mkpath(target);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < files.size(); ++i) {
        const QByteArray from = QFile::encodeName(files[i]);
        const QByteArray to = QFile::encodeName(QStringLiteral("%1/E%2.JPG").arg(target).arg(i));
        const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (in < 0 || out < 0)
            qFatal("cannot open %s or %s", from.constData(), to.constData());
        for (;;) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n == 0)
                break;
            if (n < 0) { // filesystems that cannot: through user space
                static char buffer[1 << 20];
                ssize_t r;
                while ((r = ::read(in, buffer, sizeof buffer)) > 0) {
                    if (::write(out, buffer, size_t(r)) != r)
                        qFatal("write failed");
                }
                break;
            }
        }
        if (::fsync(out) != 0)
            qFatal("fsync failed");
        ::close(in);
        ::close(out);
    }
    const int folder = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || ::fsync(folder) != 0)
        qFatal("folder sync failed");
    ::close(folder);
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies camera-sized files into the library and through two peers: one process of "
        "POSIX calls, and dd per file."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("dir"),
                      QStringLiteral("Folder for source and targets (one filesystem); default: the "
                                     "current folder."),
                      QStringLiteral("folder"), QDir::currentPath()});
    parser.addOption({QStringLiteral("files"), QStringLiteral("Pictures to copy."), QStringLiteral("n"),
                      QStringLiteral("200")});
    parser.addOption({QStringLiteral("rounds"), QStringLiteral("Rounds (median)."), QStringLiteral("n"),
                      QStringLiteral("3")});
    parser.process(app);
    PictureCount = std::max(1, parser.value(QStringLiteral("files")).toInt());
    const int rounds = std::max(1, parser.value(QStringLiteral("rounds")).toInt());
    const QString base = parser.value(QStringLiteral("dir"));
    QTemporaryDir dir(base + QStringLiteral("/bench-copy-XXXXXX"));
    if (!dir.isValid())
        return 1;
    const CameraFolder camera = writeCameraFolder(dir.path(), PictureCount, QStringLiteral("jpg"));
    const QStringList &files = camera.files;
    const qint64 bytes = camera.bytes;

    const auto host = openBenchHost(dir.path());
    if (!host)
        return 1;

    // The three take turns, starting with a different one each round, so that
    // none always follows the same one.
    std::vector<qint64> ours, posix, dd;
    for (int round = 1; round <= rounds; ++round) {
        const QString ddDir = dir.filePath(QStringLiteral("dd%1").arg(round));
        const QString posixDir = dir.filePath(QStringLiteral("posix%1").arg(round));
        const std::function<void()> jobs[3] = {
            [&] { ours.push_back(runLibraryCopier(*host, files, round)); },
            [&] { posix.push_back(runPosix(files, posixDir)); },
            [&] { dd.push_back(runDd(files, ddDir)); },
        };
        for (int k = 0; k < 3; ++k)
            jobs[(round + k) % 3]();
        std::printf("round %d: LibraryCopier %8.1f ms   POSIX %8.1f ms   dd %8.1f ms\n", round,
                    ours.back() / 1e6, posix.back() / 1e6, dd.back() / 1e6);
        std::fflush(stdout);
        QDir(ddDir).removeRecursively();
        QDir(posixDir).removeRecursively();
        QDir(dir.filePath(QStringLiteral("Library"))).removeRecursively();
        QDir().mkpath(dir.filePath(QStringLiteral("Library")));
    }
    const double mb = bytes / 1048576.0;
    const qint64 o = median(ours), p = median(posix), d = median(dd);
    std::printf("%d files, %.1f MB; median of %d rounds\n", PictureCount, mb, rounds);
    std::printf("LibraryCopier        %8.1f ms  %7.1f MB/s\n", o / 1e6, mb / (o / 1e9));
    std::printf("POSIX, one process   %8.1f ms  %7.1f MB/s\n", p / 1e6, mb / (p / 1e9));
    std::printf("dd conv=fsync        %8.1f ms  %7.1f MB/s\n", d / 1e6, mb / (d / 1e9));
    std::printf("ratio (ours / POSIX) %.2f   (target <= 1.1)\n", double(o) / double(p));
    std::printf("ratio (ours / dd)    %.2f\n", double(o) / double(d));
    return 0;
}
