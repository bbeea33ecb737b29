// Imports 200 camera-sized pictures into a book through the batch import path
// (copy into the library, then the row, with "Copy to Library folder" on), and
// does the same work with dd (bs=1M conv=fsync) plus the sqlite3 shell
// inserting the same rows, in the same run; prints both and their ratio.

#include "benchhost.h"
#include "host/referencehost.h"
#include "library/importrun.h"

#include <tovradocs/dokumentz.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <limits>
#include <random>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

constexpr int PictureCount = 200;

qint64 runImport(DataLink &link, const QStringList &files, qint32 book)
{
    Dokumentz documents;
    documents.DefDocumentType = 1;
    documents.DefSourceID = book;
    QElapsedTimer timer;
    timer.start();
    ImportRun run(link, documents, importItemsFromFiles(files));
    run.runAll();
    run.finish();
    const qint64 ns = timer.nsecsElapsed();
    if (!run.error().isEmpty() || run.done() != files.size())
        qFatal("import failed: %s", qPrintable(run.error()));
    return ns;
}

QString sqlText(const QString &text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

qint64 runPeers(const QStringList &files, const QString &target, const QString &shellDb,
                const QByteArray &createTable)
{
    QDir().mkpath(target);
    const QString scriptPath = target + QStringLiteral(".sql");
    {
        QFile script(scriptPath);
        if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the script");
        QTextStream out(&script);
        out << createTable << "BEGIN;\n";
        for (int i = 0; i < files.size(); ++i)
            out << "INSERT INTO BookContents (Entry_Code, BookCode, Description, FileName, EntryType,"
                   " EntryDate, IndexImage, CTEffect, Category, PlaySound, SoundFile, OnScreenTime) VALUES ("
                << 1 + i << ", 1, " << sqlText(QFileInfo(files[i]).fileName()) << ", "
                << sqlText(QStringLiteral("%1/%2.jpg").arg(target).arg(1 + i))
                << ", 1, '2026-12-06', 0, 0, 0, 0, '', 5);\n";
        out << "COMMIT;\n";
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < files.size(); ++i) {
        QProcess dd;
        dd.start(QStringLiteral("dd"), {QStringLiteral("if=") + files[i],
                                        QStringLiteral("of=%1/%2.jpg").arg(target).arg(1 + i),
                                        QStringLiteral("bs=1M"), QStringLiteral("conv=fsync"),
                                        QStringLiteral("status=none")});
        dd.waitForFinished(-1);
        if (dd.exitCode() != 0)
            qFatal("dd failed: %s", dd.readAllStandardError().constData());
    }
    QProcess shell;
    shell.setStandardInputFile(scriptPath);
    shell.start(QStringLiteral("sqlite3"), {shellDb});
    shell.waitForFinished(-1);
    if (shell.exitCode() != 0)
        qFatal("sqlite3 failed: %s", shell.readAllStandardError().constData());
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Batch import of camera pictures against dd conv=fsync plus the sqlite3 shell."));
    parser.addHelpOption();
    // Under the current folder by default so that source and target share one filesystem.
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Folder to work in."), QStringLiteral("folder"),
                      QDir::currentPath()});
    parser.process(app);
    const QString base = parser.value(QStringLiteral("dir"));
    QTemporaryDir dir(base + QStringLiteral("/bench-import-XXXXXX"));
    if (!dir.isValid())
        return 1;
    const CameraFolder camera = writeCameraFolder(dir.path(), PictureCount, QStringLiteral("JPG"));
    const QStringList &files = camera.files;
    const qint64 bytes = camera.bytes;

    const auto host = openBenchHost(dir.path());
    if (!host)
        return 1;
    QProcess schema;
    schema.start(QStringLiteral("sqlite3"),
                 {dir.filePath(QStringLiteral("practice.db")), QStringLiteral(".schema BookContents")});
    schema.waitForFinished(-1);
    const QByteArray createTable = schema.readAllStandardOutput();
    if (schema.exitCode() != 0 || createTable.isEmpty()) {
        std::fprintf(stderr, "sqlite3 could not read the schema\n");
        return 1;
    }

    // Alternate the two so that neither gets a warmer cache; keep the best of each.
    qint64 bestOurs = std::numeric_limits<qint64>::max();
    qint64 bestPeers = bestOurs;
    for (int round = 1; round <= 2; ++round) {
        const QString peerFolder = dir.filePath(QStringLiteral("dd%1").arg(round));
        const qint64 peers = runPeers(files, peerFolder,
                                      dir.filePath(QStringLiteral("shell%1.db").arg(round)), createTable);
        const qint64 ours = runImport(*host, files, round);
        std::printf("round %d: import %8.1f ms   dd + sqlite3 %8.1f ms\n", round, ours / 1e6,
                    peers / 1e6);
        bestOurs = std::min(bestOurs, ours);
        bestPeers = std::min(bestPeers, peers);
        QDir(peerFolder).removeRecursively();
        QDir(dir.filePath(QStringLiteral("Library"))).removeRecursively();
        QDir().mkpath(dir.filePath(QStringLiteral("Library")));
    }
    std::printf("%d files, %.1f MB\n", PictureCount, bytes / 1048576.0);
    std::printf("batch import          %8.1f ms  %7.1f MB/s\n", bestOurs / 1e6,
                bytes / 1048576.0 / (bestOurs / 1e9));
    std::printf("dd fsync + sqlite3    %8.1f ms  %7.1f MB/s\n", bestPeers / 1e6,
                bytes / 1048576.0 / (bestPeers / 1e9));
    std::printf("ratio (ours / peers) %.2f\n", double(bestOurs) / double(bestPeers));
    return 0;
}
