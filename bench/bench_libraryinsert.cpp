// Adds 10,000 entries whose files are already in the library through
// LibraryData::addEntries, and the same rows through the sqlite3 shell in one
// transaction (the shell's time includes its start and reading the script),
// median of several rounds, and prints both rates.

#include "benchhost.h"
#include "host/referencehost.h"
#include "library/librarydata.h"

#include <tovradocs/recordset.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

constexpr int EntryCount = 10000;
constexpr int Rounds = 5;

QString sqlText(const QString &s) { return QLatin1Char('\'') + QString(s).replace("'", "''") + QLatin1Char('\''); }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    std::shared_ptr<ReferenceHost> host = openBenchHost(dir.path());
    if (!host)
        return 1;
    LibraryData data(*host);
    const QString folder = host->GetLibraryFilesFolder();

    // The shell gets the table exactly as the host made it.
    QProcess schema;
    schema.start(QStringLiteral("sqlite3"), {dir.filePath(QStringLiteral("practice.db")), QStringLiteral(".schema BookContents")});
    schema.waitForFinished(-1);
    const QByteArray createTable = schema.readAllStandardOutput();
    if (schema.exitCode() != 0 || createTable.isEmpty()) {
        std::fprintf(stderr, "sqlite3 could not read the schema\n");
        return 1;
    }

    // Each round a new book of EntryCount rows through the library, and the
    // same rows through the shell into a fresh database; the median counts.
    std::vector<qint64> oursRuns;
    std::vector<qint64> shellRuns;
    for (int round = 0; round < Rounds; ++round) {
        const qint32 book = data.addBook(QStringLiteral("Bench %1").arg(round), 0);
        QList<NewEntry> entries;
        entries.reserve(EntryCount);
        for (int i = 0; i < EntryCount; ++i) {
            NewEntry e;
            e.bookCode = book;
            e.sourcePath = folder + QStringLiteral("/B%1/E%2.JPG").arg(book).arg(i);
            e.entryType = 1;
            e.description = QStringLiteral("Intraoral view %1").arg(i);
            e.entryDate = QDate(2026, 12, 5);
            e.ctEffect = 0;
            e.category = 0;
            e.playSound = false;
            e.soundFile = QString();
            e.onScreenTime = 5;
            entries.append(e);
        }

        QElapsedTimer timer;
        timer.start();
        const EntryRun run = data.addEntries(entries);
        oursRuns.push_back(timer.nsecsElapsed());
        if (run.addedCount() != EntryCount) {
            std::fprintf(stderr, "only %d of %d entries were added\n", run.addedCount(), EntryCount);
            for (const EntryOutcome &o : run.items)
                if (!o.added) {
                    std::fprintf(stderr, "first failure: %s\n", qPrintable(o.error));
                    break;
                }
            return 1;
        }
        const qint32 firstKey = run.items.first().entryCode;

        const QString scriptPath = dir.filePath(QStringLiteral("inserts.sql"));
        {
            QFile script(scriptPath);
            if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return 1;
            QTextStream out(&script);
            out << createTable << "BEGIN;\n";
            for (int i = 0; i < EntryCount; ++i) {
                const NewEntry &e = entries[i];
                out << "INSERT INTO BookContents (Entry_Code, BookCode, Description, FileName, EntryType,"
                       " EntryDate, IndexImage, CTEffect, Category, PlaySound, SoundFile, OnScreenTime) VALUES ("
                    << firstKey + i << ", " << book << ", " << sqlText(e.description) << ", "
                    << sqlText(e.sourcePath) << ", 1, '2026-12-05', 0, 0, 0, 0, '', 5);\n";
            }
            out << "COMMIT;\n";
        }
        const QString shellDb = dir.filePath(QStringLiteral("shell%1.db").arg(round));
        QProcess shell;
        shell.setStandardInputFile(scriptPath);
        timer.restart();
        shell.start(QStringLiteral("sqlite3"), {shellDb});
        shell.waitForFinished(-1);
        shellRuns.push_back(timer.nsecsElapsed());
        if (shell.exitCode() != 0) {
            std::fprintf(stderr, "sqlite3 failed: %s\n", shell.readAllStandardError().constData());
            return 1;
        }
        std::printf("round %d: ours %.1f ms, shell %.1f ms\n", round + 1, oursRuns.back() / 1e6,
                    shellRuns.back() / 1e6);
    }
    host.reset();
    std::sort(oursRuns.begin(), oursRuns.end());
    std::sort(shellRuns.begin(), shellRuns.end());
    const qint64 oursNs = oursRuns[oursRuns.size() / 2];
    const qint64 shellNs = shellRuns[shellRuns.size() / 2];

    const double ours = EntryCount / (oursNs / 1e9);
    const double theirs = EntryCount / (shellNs / 1e9);
    std::printf("%d entries, files already in the library; median of %d rounds\n", EntryCount, Rounds);
    std::printf("LibraryData::addEntries   %8.1f ms  %10.0f rows/s\n", oursNs / 1e6, ours);
    std::printf("sqlite3 shell, one txn    %8.1f ms  %10.0f rows/s\n", shellNs / 1e6, theirs);
    std::printf("ratio (ours / shell)      %8.2f   (target >= 1.0)\n", ours / theirs);
    return 0;
}
