// Opens the pages of a book of 10,000 entries in a practice of 100,000
// entries: the library's page statement through the reference host into a
// recordset walked to the end, against the same statement stepped through the
// bare sqlite3 C API reading every column. Both connections are opened the
// same way (read-write, private cache, no connection mutex, the host's
// pragmas). Warm runs, interleaved, median of several; also the heap a
// recordset of the book holds.
//
//   bench_bookopen [--runs 9]

#include "benchhost.h"
#include "host/referencehost.h"
#include "host/sqldialect.h"
#include "library/librarysql.h"

#include <tovradocs/recordset.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

constexpr int TotalRows = 100'000;
constexpr int BookRows = 10'000;
constexpr qint32 BigBook = 4242;

bool check(int rc, sqlite3 *db, const char *what)
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    return false;
}

// The big book's entries are spread through the table, every tenth row, as
// entries added over years would be; the other rows form books of ten.
bool fillPractice(const QString &file)
{
    sqlite3 *db = nullptr;
    if (!check(sqlite3_open(file.toUtf8().constData(), &db), db, "open"))
        return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    check(
        sqlite3_prepare_v2(db,
                           "INSERT INTO BookContents (Entry_Code, BookCode, Description, FileName,"
                           " EntryType, EntryDate, IndexImage, CTEffect, Category, OnScreenTime,"
                           " PlaySound, SoundFile) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                           -1, &insert, nullptr),
        db, "prepare");
    int other = 0;
    for (int i = 1; i <= TotalRows; ++i) {
        const bool big = i % 10 == 0;
        const qint32 book = big ? BigBook : 10'000 + other++ / 10;
        const QByteArray description
            = QStringLiteral("Intraoral view %1, upper right quadrant").arg(i).toUtf8();
        const QByteArray fileName
            = QStringLiteral("LIBRARY\\B%1\\E%2.JPG").arg(book).arg(i).toUtf8();
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_int(insert, 2, book);
        sqlite3_bind_text(insert, 3, description.constData(), int(description.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, fileName.constData(), int(fileName.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 5, 1 + i % 4);
        sqlite3_bind_text(insert, 6, "2026-12-05", -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 7, 0);
        sqlite3_bind_int(insert, 8, i % 3);
        sqlite3_bind_int(insert, 9, 0);
        sqlite3_bind_int(insert, 10, 5);
        sqlite3_bind_int(insert, 11, 0);
        sqlite3_bind_text(insert, 12, "", 0, SQLITE_STATIC);
        if (!check(sqlite3_step(insert), db, "insert"))
            return false;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool ok = check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
    return ok;
}

// Time of one walk: wall clock, and CPU time of this thread (less disturbed
// when other programs share the cores).
struct Took
{
    qint64 wall = 0;
    qint64 cpu = 0;
};

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// What the library window does with each row.
Took walkHost(DataLink &host, const QString &sql, int &rows)
{
    const qint64 cpu = threadCpuNs();
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<Recordset> rs;
    host.FillRecordSet(rs, sql);
    qint64 touched = 0;
    rows = 0;
    for (; !rs->isEof(); rs->moveNext()) {
        touched += rs->value(QStringLiteral("Entry_Code")).toInt();
        touched += rs->value(QStringLiteral("FileName")).toString().size();
        touched += rs->value(QStringLiteral("Description")).toString().size();
        touched += rs->value(QStringLiteral("EntryType")).toInt();
        touched += rs->value(QStringLiteral("CTEffect")).toInt();
        ++rows;
    }
    rs->close();
    const Took took{timer.nsecsElapsed(), threadCpuNs() - cpu};
    if (touched == 0)
        std::printf(" ");
    return took;
}

// Prepares, steps every row and reads every column, as any host handing out
// a SELECT * must.
Took walkSqlite(sqlite3 *db, const QByteArray &sql, int &rows)
{
    const qint64 cpu = threadCpuNs();
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt *stmt = nullptr;
    check(sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr), db, "prepare");
    const int columns = sqlite3_column_count(stmt);
    qint64 touched = 0;
    rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_INTEGER)
                touched += sqlite3_column_int(stmt, c);
            else
                touched
                    += sqlite3_column_bytes(stmt, c) + (sqlite3_column_text(stmt, c) != nullptr);
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    const Took took{timer.nsecsElapsed(), threadCpuNs() - cpu};
    if (touched == 0)
        std::printf(" ");
    return took;
}

// Heap in use, as glibc's allocator counts it.
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

// Whether every connection the host has open runs without SQLite's own mutex.
bool hostConnectionsUnlocked()
{
    bool any = false;
    for (const QString &name : QSqlDatabase::connectionNames()) {
        const QVariant handle = QSqlDatabase::database(name, false).driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            continue;
        sqlite3 *db = *static_cast<sqlite3 *const *>(handle.constData());
        if (sqlite3_db_mutex(db) != nullptr)
            return false;
        any = true;
    }
    return any;
}

double median(std::vector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2] / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Opens a book of 10,000 entries through the reference host and through the "
        "sqlite3 C API with the same open flags and pragmas."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Measured rounds (median)."),
                      QStringLiteral("n"), QStringLiteral("9")});
    parser.process(app);
    const int Runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::shared_ptr<ReferenceHost> host = openBenchHost(dir.path());
    if (!host || !fillPractice(dir.filePath(QStringLiteral("practice.db"))))
        return 1;

    const QString sql = LibrarySql::bookPages(BigBook, true);
    const QByteArray translated = SqlDialect::translate(sql, Dialect::SQLite).toUtf8();
    // Opened as the host's driver opens its connection, with the host's pragmas
    // (WAL is kept in the file).
    sqlite3 *db = nullptr;
    if (!check(sqlite3_open_v2(dir.filePath(QStringLiteral("practice.db")).toUtf8().constData(), &db,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_PRIVATECACHE
                                   | SQLITE_OPEN_NOMUTEX,
                               nullptr),
               db, "open"))
        return 1;
    sqlite3_busy_timeout(db, 30000);
    if (!check(sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), db, "pragma")
        || !check(sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr), db,
                  "pragma"))
        return 1;
    const bool sameLocking = sqlite3_db_mutex(db) == nullptr && hostConnectionsUnlocked();

    std::vector<qint64> ours, bare, oursCpu, bareCpu;
    std::vector<double> ratios, cpuRatios;
    int hostRows = 0;
    int sqliteRows = 0;
    for (int run = -2; run < Runs; ++run) { // two warm-up rounds
        // Alternate which goes first, so that neither always runs on a cache the other warmed.
        Took a, b;
        if (run % 2) {
            a = walkHost(*host, sql, hostRows);
            b = walkSqlite(db, translated, sqliteRows);
        } else {
            b = walkSqlite(db, translated, sqliteRows);
            a = walkHost(*host, sql, hostRows);
        }
        if (run >= 0) {
            ours.push_back(a.wall);
            bare.push_back(b.wall);
            oursCpu.push_back(a.cpu);
            bareCpu.push_back(b.cpu);
            ratios.push_back(double(a.wall) / double(b.wall));
            cpuRatios.push_back(double(a.cpu) / double(b.cpu));
        }
    }
    // After the runs, so that SQLite's page cache is full already: what one recordset of the book keeps on the heap while it is open.
    qint64 recordsetBytes = 0;
    {
        const qint64 before = heapInUse();
        std::unique_ptr<Recordset> rs;
        host->FillRecordSet(rs, sql);
        recordsetBytes = heapInUse() - before;
        rs->close();
    }

    sqlite3_close(db);
    if (hostRows != BookRows || sqliteRows != BookRows) {
        std::fprintf(stderr, "expected %d rows, host gave %d, sqlite3 %d\n", BookRows, hostRows,
                     sqliteRows);
        return 1;
    }

    const double o = median(ours);
    const double b = median(bare);
    std::printf("book of %d entries among %d; statement: %s\n", BookRows, TotalRows,
                qPrintable(sql));
    std::printf("median of %d warm runs, interleaved; both connections without SQLite's mutex: %s\n",
                Runs, sameLocking ? "yes" : "NO");
    const auto middle = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("                                   wall ms   CPU ms\n");
    std::printf("reference host, recordset walked   %8.2f %8.2f\n", o, median(oursCpu));
    std::printf("sqlite3 C API, every column read   %8.2f %8.2f\n", b, median(bareCpu));
    std::printf("ratio of the medians (host / C)    %8.2f %8.2f   (target <= 1.2)\n", o / b,
                median(oursCpu) / median(bareCpu));
    std::printf("median of the rounds' ratios       %8.2f %8.2f\n", middle(ratios), middle(cpuRatios));
    std::printf("recordset of the book holds        %8.2f MB\n", recordsetBytes / 1048576.0);
    return 0;
}
