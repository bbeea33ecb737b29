// Adds 10,000 entries whose files are already in the library through
// LibraryData::addEntries, against the same rows inserted through the sqlite3
// C API (one prepared statement, one transaction, the host's open flags,
// journal mode and synchronous setting, only the inserts timed). The sqlite3
// shell running the rows as a script is shown too; its time includes its
// start and it syncs on commit. A warm-up round, then interleaved rounds,
// medians compared.
//
//   bench_libraryinsert [--rounds 5]

#include "benchstats.h"
#include "benchhost.h"
#include "host/referencehost.h"
#include "library/librarydata.h"

#include <tovradocs/recordset.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

constexpr int EntryCount = 10000;

QString sqlText(const QString &s) { return QLatin1Char('\'') + QString(s).replace("'", "''") + QLatin1Char('\''); }

bool check(int rc, sqlite3 *db, const char *what)
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    return false;
}

// The peer's database with the host's table, opened and tuned as the host
// opens its own and, like the host's, kept open and growing over the rounds,
// so both meet the same WAL checkpoints. Null on failure.
sqlite3 *openPeer(const QString &file, const QByteArray &schema)
{
    sqlite3 *db = nullptr;
    if (check(sqlite3_open_v2(file.toUtf8().constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_PRIVATECACHE
                                  | SQLITE_OPEN_NOMUTEX,
                              nullptr),
              db, "open")
        && check(sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), db, "wal")
        && check(sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr), db, "sync")
        && check(sqlite3_exec(db, schema.constData(), nullptr, nullptr, nullptr), db, "schema"))
        return db;
    sqlite3_close(db);
    return nullptr;
}

// The inserts alone are timed. -1 on failure.
qint64 insertWithCApi(sqlite3 *db, const QList<NewEntry> &entries, qint32 firstKey)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    if (!check(sqlite3_prepare_v2(db,
                                  "INSERT INTO BookContents (Entry_Code, BookCode, Description, FileName,"
                                  " EntryType, EntryDate, IndexImage, CTEffect, Category, PlaySound,"
                                  " SoundFile, OnScreenTime) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                                  -1, &insert, nullptr),
               db, "prepare"))
        return -1;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const NewEntry &e = entries[i];
        const QByteArray description = e.description.toUtf8();
        const QByteArray path = e.sourcePath.toUtf8();
        sqlite3_bind_int(insert, 1, firstKey + int(i));
        sqlite3_bind_int(insert, 2, e.bookCode);
        sqlite3_bind_text(insert, 3, description.constData(), int(description.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, path.constData(), int(path.size()), SQLITE_STATIC);
        sqlite3_bind_int(insert, 5, e.entryType);
        sqlite3_bind_text(insert, 6, "2026-12-05", 10, SQLITE_STATIC);
        sqlite3_bind_int(insert, 7, 0);
        sqlite3_bind_int(insert, 8, e.ctEffect.value_or(0));
        sqlite3_bind_int(insert, 9, e.category.value_or(0));
        sqlite3_bind_int(insert, 10, e.playSound.value_or(false) ? 1 : 0);
        sqlite3_bind_text(insert, 11, "", 0, SQLITE_STATIC);
        sqlite3_bind_int(insert, 12, e.onScreenTime.value_or(5));
        if (!check(sqlite3_step(insert), db, "insert"))
            return -1;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (!check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit"))
        return -1;
    return timer.nsecsElapsed();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Adds 10,000 entries through the library and through the sqlite3 C API and shell."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("rounds"), QStringLiteral("Rounds (median)."), QStringLiteral("n"),
                      QStringLiteral("5")});
    parser.process(app);
    const int Rounds = std::max(1, parser.value(QStringLiteral("rounds")).toInt());
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

    sqlite3 *peer = openPeer(dir.filePath(QStringLiteral("api.db")), createTable);
    if (!peer)
        return 1;
    const auto closePeer = qScopeGuard([&] { sqlite3_close(peer); });

    // Each round a new book of EntryCount rows through the library and the
    // C API peer, and the same rows through the shell into a fresh database;
    // the median counts.
    std::vector<qint64> oursRuns;
    std::vector<qint64> shellRuns;
    std::vector<qint64> apiRuns;
    for (int round = 0; round <= Rounds; ++round) {
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

        // The C API peer goes first in odd rounds, second in even ones.
        const auto runPeer = [&] {
            const qint64 ns = insertWithCApi(peer, entries, 1 + round * EntryCount);
            if (ns < 0)
                std::exit(1);
            apiRuns.push_back(ns);
        };
        if (round % 2)
            runPeer();
        QElapsedTimer timer;
        timer.start();
        const EntryRun run = data.addEntries(entries);
        oursRuns.push_back(timer.nsecsElapsed());
        if (round % 2 == 0)
            runPeer();
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
        std::printf("%s %d: ours %.1f ms, C API %.1f ms, shell %.1f ms\n", round ? "round" : "warm-up",
                    round, oursRuns.back() / 1e6, apiRuns.back() / 1e6, shellRuns.back() / 1e6);
        std::fflush(stdout);
        // The first round pages in the libraries and grows the allocator's heap on both sides.
        if (round == 0) {
            oursRuns.clear();
            apiRuns.clear();
            shellRuns.clear();
        }
    }
    host.reset();
    const qint64 oursNs = median(oursRuns);
    const qint64 apiNs = median(apiRuns);
    const qint64 shellNs = median(shellRuns);
    const double ours = EntryCount / (oursNs / 1e9);
    const double api = EntryCount / (apiNs / 1e9);
    const double shell = EntryCount / (shellNs / 1e9);
    std::printf("%d entries, files already in the library; median of %d rounds\n", EntryCount, Rounds);
    std::printf("LibraryData::addEntries        %8.1f ms  %10.0f rows/s\n", oursNs / 1e6, ours);
    std::printf("sqlite3 C API, WAL, NORMAL     %8.1f ms  %10.0f rows/s\n", apiNs / 1e6, api);
    std::printf("sqlite3 shell, start included  %8.1f ms  %10.0f rows/s\n", shellNs / 1e6, shell);
    std::printf("ratio (ours / C API)           %8.2f   (target >= 1.0)\n", ours / api);
    std::printf("ratio (ours / shell)           %8.2f\n", ours / shell);
    return 0;
}
