// The batch import path on a real host: what it stores, what it copies and
// deletes, and what it leaves behind when a copy fails or the process dies.

#include "libraryfixture.h"
#include "support/pgserver.h"

#include "library/importcheck.h"
#include "library/importrun.h"
#include "support/mediafixtures.h"

#include <tovradocs/dokumentz.h>
#include <tovradocs/recordset.h>

#include <QProcess>
#include <QSet>

#include <csignal>
#include <cstdio>
#include <sys/mount.h>
#include <unistd.h>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

constexpr qint32 kBook = 7;

// Files of the library folder that carry a name (hidden temporaries and
// journals are listed separately).
QStringList libraryFiles(const QString &folder, bool hidden = false)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | (hidden ? QDir::Hidden : QDir::Filters()),
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (hidden == QFileInfo(file).fileName().startsWith(u'.'))
            files << file;
    }
    files.sort();
    return files;
}

// Every stored row's file exists, and every named library file has its row.
void checkConsistent(DataLink &link, const QString &libraryFolder)
{
    std::unique_ptr<Recordset> rs;
    link.FillRecordSet(rs, QStringLiteral("Select * From BookContents"));
    QSet<QString> stored;
    if (rs && rs->recordCount() > 0) {
        for (rs->moveFirst(); !rs->isEof(); rs->moveNext()) {
            const QString file = rs->value(QStringLiteral("FileName")).toString();
            QVERIFY2(QFileInfo::exists(file), qPrintable(QStringLiteral("row without file: ") + file));
            stored.insert(file);
        }
        rs->close();
    }
    for (const QString &file : libraryFiles(libraryFolder))
        QVERIFY2(stored.contains(file), qPrintable(QStringLiteral("file without row: ") + file));
    QVERIFY2(libraryFiles(libraryFolder, true).isEmpty(),
             qPrintable(libraryFiles(libraryFolder, true).join(u' ')));
}

// Child modes: the test runs itself as a second workstation or as a process
// that is killed in the middle of an import.
int importChild(const QStringList &args)
{
    // --import-child <database> <library> <book> <stopAt or -1> <files...>
    HostOptions options;
    options.database = args.value(2);
    options.libraryFolder = args.value(3);
    auto host = ReferenceHost::open(options);
    if (!host) {
        fprintf(stderr, "child: %s\n", qPrintable(host.error()));
        return 3;
    }
    Dokumentz documents;
    documents.DefSourceID = args.value(4).toInt();
    const int stopAt = args.value(5).toInt();
    ImportRun run(*host.value(), documents, importItemsFromFiles(args.mid(6)));
    run.setAfterCopyHook([stopAt](int index) {
        if (index != stopAt)
            return;
        // The copy is in place, its row not yet written: wait here to be killed.
        fputs("copied\n", stdout);
        fflush(stdout);
        for (;;)
            pause();
    });
    run.runAll();
    run.finish();
    if (!run.error().isEmpty()) {
        fprintf(stderr, "child: %s\n", qPrintable(run.error()));
        return 2;
    }
    return 0;
}

} // namespace

class tst_BatchImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void callerListBecomesItems();
    void filesAreCheckedBeforeImport_data();
    void filesAreCheckedBeforeImport();
    void storesChosenItemsWithConsecutiveKeys();
    void copiesOnlyWhenAskedOrTemporary();
    void filesInLibraryAreNotCopied();
    void vanishedSourceFailsAloneAndTheRunGoesOn();
    void rowsTheHostDidNotKeepLeaveNothingBehind_data();
    void rowsTheHostDidNotKeepLeaveNothingBehind();
    void fullFileSystemLeavesNoPartialFile();
    void killedImportLeavesNothingHalfDone();
    void twoWorkstationsOnPostgreSQL();

private:
    // Imports the items into the book and finishes the run.
    static void runAll(ImportRun &run)
    {
        run.runAll();
        run.finish();
    }
    QString source(const QString &name, QColor colour = Qt::darkYellow)
    {
        return LibraryFixture::savePicture(m_fx.path(QStringLiteral("src/") + name), colour);
    }
    QString temporary(const QString &name)
    {
        return LibraryFixture::savePicture(m_fx.path(QStringLiteral("tmp/") + name), Qt::magenta);
    }

    LibraryFixture m_fx;
    std::unique_ptr<Dokumentz> m_docs; // the caller's list, for the book
    QString m_mounted;
};

void tst_BatchImport::init()
{
    QVERIFY(m_fx.open());
    m_fx.addBook(kBook, QStringLiteral("Smith, Anna"), 0);
    m_docs = std::make_unique<Dokumentz>();
    m_docs->DefSourceID = kBook;
}

void tst_BatchImport::cleanup()
{
    if (!m_mounted.isEmpty()) {
        ::umount2(QFile::encodeName(m_mounted).constData(), MNT_DETACH);
        m_mounted.clear();
    }
    m_docs.reset();
    m_fx.close();
}

void tst_BatchImport::callerListBecomesItems()
{
    // A leading "?" marks a temporary file, and the type follows the extension.
    const QList<ImportItem> items =
        importItemsFromFiles({"/a/b/Pano 1.JPG", "?/tmp/Tow123.bmp", "C:\\scans\\letter.pdf"});
    QStringList described;
    for (const ImportItem &item : items)
        described << QStringLiteral("%1 | %2 | type %3%4")
                         .arg(item.fileName, item.description)
                         .arg(item.docFileType)
                         .arg(item.isTempfile ? ", temporary" : "");
    QCOMPARE(described, (QStringList{"/a/b/Pano 1.JPG | Pano 1.JPG | type 1",
                                     "/tmp/Tow123.bmp | Tow123.bmp | type 1, temporary",
                                     "C:\\scans\\letter.pdf | letter.pdf | type 5"}));
    QVERIFY(items[2].select && items[2].import);

    // A file given twice, under the same or another spelling of its path, is one item;
    // the temporary mark of either copy holds.
    const QString a = source("a.jpg");
    const QString b = source("b.jpg");
    const QString again = QFileInfo(a).path() + QStringLiteral("/../src/a.jpg");
    QList<int> rowOfFile;
    const QList<ImportItem> once = importItemsFromFiles({a, b, again, u'?' + b}, &rowOfFile);
    QCOMPARE(once.size(), 2);
    QCOMPARE(rowOfFile, (QList<int>{0, 1, 0, 1}));
    QCOMPARE(once[1].srNo, 2);
    QVERIFY(!once[0].isTempfile && once[1].isTempfile);
}

void tst_BatchImport::filesAreCheckedBeforeImport_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("tail");  // appended to a whole file
    QTest::addColumn<int>("keep");         // bytes kept of it, -1 all
    QTest::addColumn<int>("problem");
    QTest::newRow("JPEG with a phone's data after its end") << "motion.jpg" << QByteArray(70000, 'M') << -1 << int(FileCheck::NoProblem);
    QTest::newRow("JPEG without its last two bytes") << "short.jpg" << QByteArray() << -3 << int(FileCheck::Truncated);
    QTest::newRow("bitmap cut short") << "cut.bmp" << QByteArray() << 1000 << int(FileCheck::Truncated);
    QTest::newRow("whole GIF") << "dot.gif" << QByteArray() << -1 << int(FileCheck::NoProblem);
    QTest::newRow("GIF cut short") << "cut.gif" << QByteArray() << 30 << int(FileCheck::Truncated);
    QTest::newRow("phone photo (HEIC)") << "IMG_0042.HEIC" << QByteArray() << -1 << int(FileCheck::NoProblem);
    QTest::newRow("radiograph without extension") << "RADIOGRAPH01" << QByteArray() << -1 << int(FileCheck::NoProblem);
    QTest::newRow("radiograph cut short") << "RADIOGRAPH02" << QByteArray() << 400 << int(FileCheck::Unreadable);
    QTest::newRow("whole clip") << "clip.mp4" << QByteArray() << -1 << int(FileCheck::NoProblem);
    QTest::newRow("clip missing its end") << "clip.mp4" << QByteArray() << 3000 << int(FileCheck::Truncated);
    QTest::newRow("a folder") << "folder.jpg" << QByteArray() << -1 << int(FileCheck::Unreadable);
    QTest::newRow("missing") << "gone.png" << QByteArray() << -1 << int(FileCheck::Missing);
    QTest::newRow("letter (no check of its content)") << "letter.doc" << QByteArray("x") << -1 << int(FileCheck::NoProblem);
}

void tst_BatchImport::filesAreCheckedBeforeImport()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, tail);
    QFETCH(int, keep);
    QFETCH(int, problem);
    const QString file = m_fx.path(QStringLiteral("src/") + name);
    QDir().mkpath(QFileInfo(file).path());
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(QColor(180, 90, 40));
    const QString suffix = QFileInfo(name).suffix().toLower();
    bool made = true;
    if (name == u"folder.jpg")
        made = QDir().mkpath(file);
    else if (suffix == u"gif") // Qt writes no GIF: one white pixel, by hand
        made = Testing::writeFile(file, QByteArray::fromHex("474946383961010001008000"
                                                             "00ffffff00000021f90401000000002c0000"
                                                             "0000010001000002024401003b"));
    else if (suffix == u"jpg" || suffix == u"bmp")
        made = picture.save(file);
    else if (suffix == u"heic")
        made = !Testing::makeHeic(file, picture).isEmpty();
    else if (suffix == u"mp4")
        made = !Testing::makeMp4Clip(file, QSize(64, 48), 10).isEmpty();
    else if (suffix.isEmpty())
        made = !Testing::makeDicom(file, picture.convertToFormat(QImage::Format_Grayscale8)).isEmpty();
    if (name != u"gone.png" && name != u"folder.jpg") {
        QFile f(file);
        QVERIFY(made && f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        if (keep >= 0)
            bytes.truncate(keep);
        else if (keep < -1)
            bytes.chop(-keep - 1);
        f.resize(0);
        f.write(bytes + tail);
    }
    const FileCheck check = checkImportFile(file);
    QVERIFY2(check.problem == problem, qPrintable(check.reason));
    QCOMPARE(check.reason.isEmpty(), problem == FileCheck::NoProblem);
}

void tst_BatchImport::storesChosenItemsWithConsecutiveKeys()
{
    QList<ImportItem> items =
        importItemsFromFiles({source("a.jpg"), source("b.jpg"), source("c.jpg"), source("d.jpg")});
    items[1].select = false;
    items[2].description = QStringLiteral("Bitewing left");
    items[2].ctEffect = 4;
    items[2].category = 2;
    items[2].comments = QStringLiteral("recheck in 6 months");
    m_docs->DefSourceTable = 3;
    ImportRun run(*m_fx.link, *m_docs, items);
    QCOMPARE(run.total(), 3);
    runAll(run);
    QVERIFY2(run.error().isEmpty(), qPrintable(run.error()));
    QCOMPARE(run.imported(), (QList<int>{0, 2, 3}));

    const QList<qint32> codes = run.entryCodes();
    QCOMPARE(codes.size(), 3);
    QCOMPARE(codes[1], codes[0] + 1);
    QCOMPARE(codes[2], codes[0] + 2);
    QCOMPARE(m_fx.pageCount(), 3);

    const QVariantMap row = m_fx.row(codes[1]);
    const QStringList stored = {"description=Bitewing left", "bookcode=7", "entrytype=1",
                                "cteffect=4", "category=2", "comments=recheck in 6 months",
                                "entrydate=" + QDate::currentDate().toString(Qt::ISODate)};
    QCOMPARE(Testing::fieldTexts(row, stored), stored);
    const QStringList defaults = {"onscreentime=5", "playsound=false", "soundfile=", "indeximage=false"};
    for (qint32 code : codes)
        QCOMPARE(Testing::fieldTexts(m_fx.row(code), defaults), defaults);

    // The caller's list gets what was stored.
    QCOMPARE(m_docs->Count(), 3);
    const auto second = m_docs->Item(2);
    QCOMPARE(second->FileName, row.value("filename").toString());
    QCOMPARE(second->Comments, QStringLiteral("recheck in 6 months"));
    QCOMPARE(second->SlideTransition, 4);
    QCOMPARE(second->SourceTable, 3);
}

void tst_BatchImport::copiesOnlyWhenAskedOrTemporary()
{
    const QString kept = source("kept.jpg");
    const QString linked = source("linked.jpg");
    const QString temp = temporary("Tow1.bmp");
    const QString tempNoImport = temporary("Tow2.bmp");
    QList<ImportItem> items = importItemsFromFiles({kept, linked, u'?' + temp, u'?' + tempNoImport});
    items[1].import = false;
    items[3].import = false;
    const QByteArray tempBytes = Testing::fileContents(tempNoImport);
    ImportRun run(*m_fx.link, *m_docs, items);
    run.runAll();
    // Temporary sources survive until the rows and copies are safe.
    QVERIFY(QFileInfo::exists(temp));
    run.finish();
    QVERIFY2(run.error().isEmpty(), qPrintable(run.error()));

    const QList<qint32> codes = run.entryCodes();
    const QString copied = m_fx.row(codes[0]).value("filename").toString();
    QVERIFY2(copied.startsWith(m_fx.libraryFolder + QStringLiteral("/7/")), qPrintable(copied));
    QCOMPARE(Testing::fileContents(copied), Testing::fileContents(kept));
    QVERIFY(QFileInfo::exists(kept));
    QCOMPARE(m_fx.row(codes[1]).value("filename").toString(), linked);

    // Temporary files are copied in and deleted, whatever Import said.
    for (int i : {2, 3}) {
        const QString file = m_fx.row(codes[i]).value("filename").toString();
        QVERIFY2(file.startsWith(m_fx.libraryFolder), qPrintable(file));
        QVERIFY(QFileInfo::exists(file));
    }
    QCOMPARE(Testing::fileContents(m_fx.row(codes[3]).value("filename").toString()), tempBytes);
    QVERIFY(!QFileInfo::exists(temp));
    QVERIFY(!QFileInfo::exists(tempNoImport));
    QCOMPARE(libraryFiles(m_fx.libraryFolder).size(), 3);
    checkConsistent(*m_fx.link, m_fx.libraryFolder);
}

void tst_BatchImport::filesInLibraryAreNotCopied()
{
    const QString file = LibraryFixture::savePicture(m_fx.libraryFolder + QStringLiteral("/7/already.jpg"));
    // The same folder written in other letters still counts as the library.
    QString otherCase = m_fx.libraryFolder.toUpper() + QStringLiteral("/7/already.jpg");
    ImportRun run(*m_fx.link, *m_docs, importItemsFromFiles({file, otherCase}));
    runAll(run);
    QVERIFY2(run.error().isEmpty(), qPrintable(run.error()));
    QCOMPARE(m_fx.row(run.entryCodes()[0]).value("filename").toString(), file);
    QCOMPARE(m_fx.row(run.entryCodes()[1]).value("filename").toString(), otherCase);
    QCOMPARE(libraryFiles(m_fx.libraryFolder), QStringList{file});
}

void tst_BatchImport::vanishedSourceFailsAloneAndTheRunGoesOn()
{
    const QString a = source("a.jpg");
    const QString b = source("b.jpg");
    const QString gone = source("gone.jpg");
    const QString tempDone = temporary("Tow1.bmp");
    const QString tempLater = temporary("Tow2.bmp");
    ImportRun run(*m_fx.link, *m_docs, importItemsFromFiles({a, u'?' + tempDone, b, gone, u'?' + tempLater}));
    run.setAfterCopyHook([&](int index) {
        if (index == 2)
            QFile::remove(gone); // another program moves it away meanwhile
    });
    runAll(run);

    QVERIFY2(run.error().isEmpty(), qPrintable(run.error()));
    QCOMPARE(run.failures().size(), 1);
    QCOMPARE(run.failures()[0].index, 3);
    QCOMPARE(run.failures()[0].reason, QStringLiteral("The file is missing."));
    QCOMPARE(run.imported(), (QList<int>{0, 1, 2, 4}));
    QCOMPARE(run.processed(), 5);
    QCOMPARE(m_fx.pageCount(), 4);
    QCOMPARE(m_docs->Count(), 4);
    QCOMPARE(libraryFiles(m_fx.libraryFolder).size(), 4);
    QVERIFY(!QFileInfo::exists(tempDone));
    QVERIFY(!QFileInfo::exists(tempLater));
    checkConsistent(*m_fx.link, m_fx.libraryFolder);
}

void tst_BatchImport::rowsTheHostDidNotKeepLeaveNothingBehind_data()
{
    QTest::addColumn<QString>("raise");
    QTest::addColumn<QList<int>>("kept");
    // The host refuses the third row alone, or rolls back the open transaction with it.
    QTest::newRow("row refused") << "ABORT" << QList<int>{0, 1};
    QTest::newRow("transaction rolled back") << "ROLLBACK" << QList<int>{};
}

void tst_BatchImport::rowsTheHostDidNotKeepLeaveNothingBehind()
{
    QFETCH(QString, raise);
    QFETCH(QList<int>, kept);
    m_fx.exec(QStringLiteral("CREATE TRIGGER refuse_c BEFORE INSERT ON BookContents "
                             "WHEN NEW.Description = 'c.jpg' BEGIN SELECT RAISE(%1, 'refused'); END")
                  .arg(raise));
    const QString tempA = temporary("Tow1.bmp");
    const QStringList given = {u'?' + tempA, source("b.jpg"), source("c.jpg"), source("d.jpg")};
    ImportRun run(*m_fx.link, *m_docs, importItemsFromFiles(given));
    runAll(run);

    // What the run says it imported is what the book holds, and nothing else is left behind.
    QCOMPARE(run.imported(), kept);
    QCOMPARE(m_fx.pageCount(), kept.size());
    QCOMPARE(m_docs->Count(), kept.size());
    QCOMPARE(libraryFiles(m_fx.libraryFolder).size(), kept.size());
    checkConsistent(*m_fx.link, m_fx.libraryFolder);
    QList<int> failed;
    for (const ImportFailure &failure : run.failures())
        failed << failure.index;
    QList<int> expectedFailed {0, 1, 2};
    for (int index : kept)
        expectedFailed.removeAll(index);
    QCOMPARE(failed, expectedFailed);
    QVERIFY2(run.error().contains(QStringLiteral("c.jpg")), qPrintable(run.error()));
    // A temporary source is deleted only when its row is stored.
    QCOMPARE(QFileInfo::exists(tempA), !kept.contains(0));
}

void tst_BatchImport::fullFileSystemLeavesNoPartialFile()
{
    if (::geteuid() != 0)
        QSKIP("mounting a small tmpfs as the library folder needs root");
    const QByteArray target = QFile::encodeName(m_fx.libraryFolder);
    if (::mount("tovra-full", target.constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here: ")
                         + QString::fromLocal8Bit(strerror(errno))));
    m_mounted = m_fx.libraryFolder;

    // Random bytes: 400 kB each, so the third copy cannot fit in 1 MB.
    QStringList files;
    for (int i = 0; i < 4; ++i) {
        QByteArray bytes(400 * 1024, '\0');
        for (qsizetype j = 0; j < bytes.size(); ++j)
            bytes[j] = char((j * 7919 + i * 31) % 251);
        const QString file = m_fx.path(QStringLiteral("src/scan%1.jpg").arg(i));
        QDir().mkpath(QFileInfo(file).absolutePath());
        QVERIFY(Testing::writeFile(file, bytes));
        files << file;
    }
    ImportRun run(*m_fx.link, *m_docs, importItemsFromFiles(files));
    runAll(run);

    QCOMPARE(run.failedIndex(), 2);
    QVERIFY2(run.error().contains(QStringLiteral("scan2.jpg")), qPrintable(run.error()));
    QCOMPARE(m_fx.pageCount(), 2);
    QCOMPARE(libraryFiles(m_fx.libraryFolder).size(), 2);
    checkConsistent(*m_fx.link, m_fx.libraryFolder);
    for (const QString &file : files)
        QVERIFY(QFileInfo::exists(file));
}

void tst_BatchImport::killedImportLeavesNothingHalfDone()
{
    QStringList args;
    QStringList temps;
    for (int i = 0; i < 4; ++i) {
        const QString file = i % 2 ? temporary(QStringLiteral("Tow%1.bmp").arg(i))
                                   : source(QStringLiteral("p%1.jpg").arg(i));
        if (i % 2)
            temps << file;
        args << (i % 2 ? u'?' + file : file);
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setReadChannel(QProcess::StandardOutput);
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--import-child"), m_fx.path(QStringLiteral("practice.db")),
                            m_fx.libraryFolder, QString::number(kBook), QStringLiteral("2")}
                    + args);
    QVERIFY(child.waitForStarted());
    while (!child.canReadLine())
        QVERIFY2(child.waitForReadyRead(30000), child.readAllStandardError().constData());
    QCOMPARE(child.readLine().trimmed(), QByteArray("copied"));

    // While it runs, its copies belong to it.
    QCOMPARE(ImportRun::recoverInterrupted(*m_fx.link), 0);
    QCOMPARE(libraryFiles(m_fx.libraryFolder).size(), 3);

    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    // The next start removes what the dead run had copied without a stored row.
    ImportRun::recoverInterrupted(*m_fx.link);
    checkConsistent(*m_fx.link, m_fx.libraryFolder);
    for (const QString &temp : std::as_const(temps))
        QVERIFY2(QFileInfo::exists(temp), "temporary sources stay for another try");

    // And the book takes the same files again.
    ImportRun again(*m_fx.link, *m_docs, importItemsFromFiles(args));
    runAll(again);
    QVERIFY2(again.error().isEmpty(), qPrintable(again.error()));
    QCOMPARE(m_fx.pageCount(), 4);
    checkConsistent(*m_fx.link, m_fx.libraryFolder);
}

void tst_BatchImport::twoWorkstationsOnPostgreSQL()
{
    if (PgServer::binDir().isEmpty())
        QSKIP("PostgreSQL is not installed: no /usr/lib/postgresql/*/bin/initdb");
    PgServer pg;
    QVERIFY2(pg.start(), qPrintable(pg.errorString()));
    QVERIFY2(pg.createDatabase(QStringLiteral("practice")), qPrintable(pg.errorString()));
    const QString url = pg.url(QStringLiteral("practice"));
    HostOptions options;
    options.database = url;
    options.libraryFolder = m_fx.path(QStringLiteral("shared/Library"));
    auto opened = ReferenceHost::open(options);
    QVERIFY2(opened, qPrintable(opened.error()));
    auto host = opened.value();
    host->ExecuteStmt(false, QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) "
                                            "Values (7, 'Smith, Anna', 0)"));

    QStringList files;
    for (int i = 0; i < 15; ++i)
        files << source(QStringLiteral("w%1.jpg").arg(i), QColor::fromHsv(i * 20, 200, 200));
    QList<QProcess *> workers;
    for (int w = 0; w < 2; ++w) {
        auto *p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 QStringList{QStringLiteral("--import-child"), url, options.libraryFolder,
                             QString::number(kBook), QStringLiteral("-1")}
                     + files);
        workers << p;
    }
    for (QProcess *p : std::as_const(workers)) {
        QVERIFY(p->waitForFinished(120000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
    }
    qDeleteAll(workers);

    std::unique_ptr<Recordset> rs;
    host->FillRecordSet(rs, QStringLiteral("Select * From BookContents where (BookCode = 7)"));
    QVERIFY(rs);
    QSet<qint32> keys;
    QSet<QString> names;
    for (rs->moveFirst(); !rs->isEof(); rs->moveNext()) {
        keys.insert(rs->value(QStringLiteral("Entry_Code")).toInt());
        const QString name = rs->value(QStringLiteral("FileName")).toString();
        QVERIFY2(QFileInfo::exists(name), qPrintable(name));
        names.insert(name);
    }
    QCOMPARE(keys.size(), 30);
    QCOMPARE(names.size(), 30);
    QCOMPARE(libraryFiles(options.libraryFolder).size(), 30);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--import-child"))
        return importChild(args);
    tst_BatchImport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_batchimport.moc"
