// The same contract runs against SQLite and a throw-away PostgreSQL server.
#include "library/acquisitionhooks.h"
#include "host/referencehost.h"
#include "host/hostdatabase.h"

#include "component/dialogservice.h"
#include "support/pgserver.h"
#include "support/testhost.h"

#include <tovradocs/dokumentz.h>
#include <tovradocs/hostobjects.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using Testing::scalar;

namespace {

std::shared_ptr<ReferenceHost> openOrFail(const HostOptions &options)
{
    auto host = ReferenceHost::open(options);
    if (!host)
        qWarning("%s", qPrintable(host.error()));
    return host ? host.value() : nullptr;
}

qint32 nextKey(ReferenceHost &host)
{
    return host.GenerateEntrycode(false, QStringLiteral("BookContents"), QStringLiteral("Entry_code"));
}

// The named fields of the current row.
QVariantList values(const Recordset &rs, const QStringList &fields)
{
    QVariantList list;
    for (const QString &field : fields)
        list << rs.value(field);
    return list;
}

void setValues(Recordset &rs, const QVariantMap &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        rs.setValue(it.key(), it.value());
}

std::unique_ptr<Recordset> emptyPages(ReferenceHost &host)
{
    std::unique_ptr<Recordset> rs;
    host.FillRecordSet(rs, QStringLiteral("Select * from BookContents where Entry_Code = -1"));
    return rs;
}

// Adds a picture row to an updatable set; update() may throw.
void addPage(Recordset &rs, qint32 key, qint32 book, bool indexImage = false)
{
    rs.addNew();
    setValues(rs, {{"Entry_Code", key}, {"BookCode", book}, {"FileName", QStringLiteral("p%1.jpg").arg(key)},
                   {"EntryType", 1}, {"EntryDate", QDate::currentDate()}, {"IndexImage", indexImage}});
    rs.update();
}

// Adds a run of rows the way the component does: one key from the host, the
// following ones counted on from it, all through one empty updatable set.
void addRun(ReferenceHost &host, qint32 book, int rows)
{
    const qint32 first = nextKey(host);
    auto rs = emptyPages(host);
    for (int i = 0; i < rows; ++i)
        addPage(*rs, first + i, book);
    rs->close();
}

int keyWorker(const QStringList &args)
{
    // --key-worker <database> <library> <book> <runs> <rows>
    HostOptions options;
    options.database = args.value(2);
    options.libraryFolder = args.value(3);
    auto host = openOrFail(options);
    if (!host)
        return 3;
    try {
        for (int run = 0; run < args.value(5).toInt(); ++run)
            addRun(*host, args.value(4).toInt(), args.value(6).toInt());
    } catch (const HostError &e) {
        fprintf(stderr, "worker failed: %d %s\n", e.number(), qPrintable(e.description()));
        return 2;
    }
    return 0;
}

} // namespace

class HostContract : public QObject
{
    Q_OBJECT

public:
    enum Backend { SQLite, PostgreSQL };
    explicit HostContract(Backend backend) : m_backend(backend) {}

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void settingsKeepTheirType();
    void indexPictureComesFirst();
    void addUpdateDeleteThroughRecordsets();
    void nullsNamesAndErrors();
    void yesNoFromText_data();
    void yesNoFromText();
    void valuesReadBackByKind();
    void joinedResultIsReadOnly();
    void failingRowKeepsEarlierRows();
    void rowsAddedTogetherAsOneByOne();
    void batchGivesBackWhatItTook();
    void runIsOneTransaction();
    void keysClearExistingRows();
    void keysFromTwoProcessesNeverCollide();
    void nextFileNameNeverInUse();
    void relativePathsResolveInDataFolder();
    void mailDropGetsMessageWithAttachment();
    void patientPicker();
    void addFileToLibCopiesIntoChosenBook();
    void olderDatabaseGainsNewColumns();
    void olderDatabaseStoresPicturesAsPictures();
    void newPracticeGetsItsLists();
    void remoteIconsAreReal();
    void demoPracticeCreatedOnce();
    void libraryWindowGetsCaptureAndScan();

private:
    HostOptions options(bool demo = false) const;
    std::shared_ptr<ReferenceHost> open(bool demo = false) { return openOrFail(options(demo)); }
    void exec(const QString &sql) { m_host->ExecuteStmt(false, sql); }

    Backend m_backend;
    std::unique_ptr<PgServer> m_pg;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<ReferenceHost> m_host;
    int m_case = 0;
};

HostOptions HostContract::options(bool demo) const
{
    HostOptions o;
    o.database = m_backend == SQLite ? m_dir->filePath(QStringLiteral("practice.sqlite"))
                                     : m_pg->url(QStringLiteral("practice%1").arg(m_case));
    o.libraryFolder = m_dir->filePath(QStringLiteral("Library"));
    o.dataFolder = m_dir->path();
    o.createDemoPractice = demo;
    return o;
}

void HostContract::initTestCase()
{
    qInfo("backend: %s", m_backend == SQLite ? "SQLite" : "PostgreSQL");
    if (m_backend == PostgreSQL) {
        if (PgServer::binDir().isEmpty())
            QSKIP("PostgreSQL is not installed: no /usr/lib/postgresql/*/bin/initdb");
        m_pg = std::make_unique<PgServer>();
        QVERIFY2(m_pg->start(), qPrintable(m_pg->errorString()));
    }
}

void HostContract::init()
{
    ++m_case;
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    if (m_backend == PostgreSQL)
        QVERIFY2(m_pg->createDatabase(QStringLiteral("practice%1").arg(m_case)), qPrintable(m_pg->errorString()));
    m_host = open();
    QVERIFY(m_host);
}

void HostContract::cleanup()
{
    m_host.reset();
    m_dir.reset();
}

void HostContract::settingsKeepTheirType()
{
    // Defaults have the kind the component reads; a number never stored has none.
    const QList<std::pair<qint16, QVariant>> defaults = {
        {2, QStringLiteral("Practice Dentist")}, {57, 120}, {130, false}, {164, QString()}, {9999, QVariant()}};
    for (const auto &[number, expected] : defaults) {
        QCOMPARE(m_host->GetSystemSetting(number).typeId(), expected.typeId());
        QCOMPARE(m_host->GetSystemSetting(number), expected);
    }
    // 501 is a foot-switch assignment nobody stored before.
    for (auto [number, value] : {std::pair<qint16, qint16>{130, -1}, {57, 200}, {501, 3}})
        m_host->SetSystemSetting(number, value);
    QCOMPARE(m_host->GetSystemSetting(130), QVariant(true));
    QCOMPARE(m_host->GetSystemSetting(57), QVariant(200));
    QCOMPARE(m_host->GetSystemSetting(501).toInt(), 3);
    m_host->setSetting(164, QStringLiteral("gimp"));
    // Another workstation sees the stored values.
    auto other = open();
    QCOMPARE(other->GetSystemSetting(164), QVariant(QStringLiteral("gimp")));
    QCOMPARE(other->GetSystemSetting(130), QVariant(true));
}

void HostContract::indexPictureComesFirst()
{
    auto rs = emptyPages(*m_host);
    for (int key = 101; key <= 104; ++key)
        addPage(*rs, key, 7, key == 103);
    rs->close();

    const QString indexSql = QStringLiteral("Select Filename From BookContents where (BookCode = 7 ) And ( EntryType = 1 ) Order by IndexImage");
    QVERIFY(m_host->FillRecordSet(rs, indexSql));
    QCOMPARE(rs->value(QStringLiteral("FileName")).toString(), QStringLiteral("p103.jpg"));

    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("Select * From BookContents where (BookCode = 7) AND ( IndexImage = false) ")));
    QCOMPARE(rs->recordCount(), 3);
    QCOMPARE(rs->value(QStringLiteral("IndexImage")), QVariant(false));

    exec(QStringLiteral("Update BookContents Set IndexImage = false where ( BookCode = 7 )   and ( IndexImage = true) "));
    exec(QStringLiteral("Update BookContents Set IndexImage = True where ( Entry_Code = 101 ) "));
    QVERIFY(m_host->FillRecordSet(rs, indexSql));
    QCOMPARE(rs->value(QStringLiteral("FileName")).toString(), QStringLiteral("p101.jpg"));
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents where IndexImage = true")), 1);
}

void HostContract::addUpdateDeleteThroughRecordsets()
{
    const qint32 key = m_host->GenerateEntrycode(false, QStringLiteral("Books"), QStringLiteral("Entry_code"));
    QVERIFY(key > 0);
    std::unique_ptr<Recordset> rs;
    QVERIFY(!m_host->FillRecordSet(rs, QStringLiteral("Select * From Books where entry_code = -1")));
    QVERIFY(rs->isBof() && rs->isEof());
    rs->addNew();
    setValues(*rs, {{"Entry_Code", key}, {"Description", "Ivy Marsh"}, {"PatientCode", 12},
                    {"FontBold", true}, {"FontSize", 13.5}});
    rs->update();
    rs->close();

    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("Select * From Books where (Entry_Code = %1)").arg(key)));
    QCOMPARE(rs->recordCount(), 1);
    // FontItalic was never written.
    QCOMPARE(values(*rs, {"Description", "PatientCode", "FontBold", "FontItalic"}),
             (QVariantList{QStringLiteral("Ivy Marsh"), 12, true, false}));
    QCOMPARE(rs->value(QStringLiteral("FontSize")).toDouble(), 13.5);
    rs->setValue(QStringLiteral("Description"), QStringLiteral("Ivy M."));
    rs->update();
    rs->close();
    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("Select * From Books where ( Patientcode = 12 ) ")));
    QCOMPARE(rs->value(QStringLiteral("Description")).toString(), QStringLiteral("Ivy M."));

    // An entry with a date; moving on stores a pending edit.
    std::unique_ptr<Recordset> pages;
    m_host->FillRecordSet(pages, QStringLiteral("Select * From BookContents where BookCode = -1"));
    pages->addNew();
    setValues(*pages, {{"BookCode", key}, {"EntryDate", QDate(2024, 2, 29)}, {"EntryType", 3}});
    pages->update();
    const QVariant entry = pages->value(QStringLiteral("Entry_Code"));
    QVERIFY2(entry.toInt() > 0, "a row added without a key gets one");
    pages->close();
    QVERIFY(m_host->FillRecordSet(pages, QStringLiteral("Select * From BookContents where (BookCode = %1)").arg(key)));
    QCOMPARE(pages->value(QStringLiteral("EntryDate")), QVariant(QDate(2024, 2, 29)));
    pages->setValue(QStringLiteral("Description"), QStringLiteral("edited"));
    pages->moveNext();
    QVERIFY(pages->isEof());
    pages->close();
    QVERIFY(m_host->FillRecordSet(pages, QStringLiteral("Select * From BookContents where entry_Code = %1").arg(entry.toInt())));
    QCOMPARE(pages->value(QStringLiteral("Description")).toString(), QStringLiteral("edited"));
    pages->deleteCurrent();
    QCOMPARE(pages->recordCount(), 0);
    QVERIFY_THROWS_EXCEPTION(HostError, pages->value(QStringLiteral("Description")));
    pages->close();
    QVERIFY(!m_host->FillRecordSet(pages, QStringLiteral("Select * From BookContents where entry_Code = %1").arg(entry.toInt())));

    exec(QStringLiteral("Delete From Books where Entry_Code = %1").arg(key));
    QVERIFY(!m_host->FillRecordSet(rs, QStringLiteral("Select * From Books where (Entry_Code = %1)").arg(key)));
}

void HostContract::nullsNamesAndErrors()
{
    exec(QStringLiteral("Insert Into BookContents (Entry_Code, BookCode) Values (5, 1)"));
    std::unique_ptr<Recordset> rs;
    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("select entry_code, FILENAME, description, CTEffect, EntryDate from bookcontents")));
    QCOMPARE(rs->fieldNames(), QStringList({"Entry_Code", "FileName", "Description", "CTEffect", "EntryDate"}));
    // Nulls read as invalid values, in any letter case.
    QCOMPARE(values(*rs, {"Description", "ctEFFECT", "EntryDate", "ENTRY_CODE"}),
             (QVariantList{QVariant(), QVariant(), QVariant(), 5}));
    try {
        rs->value(QStringLiteral("NoSuchField"));
        QFAIL("an unknown field must throw");
    } catch (const HostError &e) {
        QCOMPARE(e.number(), 3265);
    }
    QVERIFY_THROWS_EXCEPTION(HostError, rs->setValue(QStringLiteral("EntryDate"), QStringLiteral("not a date")));
    QVERIFY_THROWS_EXCEPTION(HostError, exec(QStringLiteral("Delete From NoSuchTable")));
    QVERIFY_THROWS_EXCEPTION(HostError, m_host->FillRecordSet(rs, QStringLiteral("Select * From")));
    QVERIFY_THROWS_EXCEPTION(HostError, m_host->GenerateEntrycode(false, QStringLiteral("Nowhere"), QStringLiteral("Entry_code")));
    rs->moveNext();
    QVERIFY(rs->isEof());
    QVERIFY_THROWS_EXCEPTION(HostError, rs->moveNext());
}

void HostContract::valuesReadBackByKind()
{
    exec(QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, Description, EntryDate, PlaySound, "
                        "SoundFile) Values (7, 1, 'O''Brien \u2713', #2026-12-05#, true, '')"));
    const QString row = QStringLiteral("Select * From BookContents where Entry_Code = 7");
    std::unique_ptr<Recordset> rs;
    QVERIFY(m_host->FillRecordSet(rs, row));
    QCOMPARE(values(*rs, {"Description", "EntryDate", "PlaySound"}),
             (QVariantList{QStringLiteral("O'Brien \u2713"), QDate(2026, 12, 5), true}));
    QCOMPARE(rs->value(QStringLiteral("SoundFile")).toString(), QString());
    if (m_backend == SQLite) {
        // SQLite keeps what it is given: a number in a text column still
        // reads as text, a date with a time as its date.
        exec(QStringLiteral("Update BookContents Set Description = 42, EntryDate = '2026-12-05 10:30:00' "
                            "where Entry_Code = 7"));
        QVERIFY(m_host->FillRecordSet(rs, row));
        QCOMPARE(values(*rs, {"Description", "EntryDate"}),
                 (QVariantList{QStringLiteral("42"), QDate(2026, 12, 5)}));
        QVERIFY_THROWS_EXCEPTION(
            HostError,
            m_host->FillRecordSet(rs, QStringLiteral("Select * From Books; Select * From Visits")));
    }
}

void HostContract::joinedResultIsReadOnly()
{
    exec(QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (1, 'B', 3)"));
    exec(QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, IndexImage) Values (2, 1, true)"));
    std::unique_ptr<Recordset> rs;
    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("Select BookContents.* From Books,BookContents where (Books.Entry_Code = BookContents.BookCode) and (Books.PatientCode = 3)")));
    QCOMPARE(rs->value(QStringLiteral("IndexImage")), QVariant(true));
    QVERIFY_THROWS_EXCEPTION(HostError, rs->setValue(QStringLiteral("Description"), QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(HostError, rs->addNew());
}

void HostContract::failingRowKeepsEarlierRows()
{
    auto rs = emptyPages(*m_host);
    for (int key : {11, 12, 13})
        addPage(*rs, key, 1);
    QVERIFY_THROWS_EXCEPTION(HostError, addPage(*rs, 12, 1)); // taken
    addPage(*rs, 14, 1);
    rs->close();
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents")), 4);
}

void HostContract::yesNoFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("yes");
    QTest::newRow("-1") << QStringLiteral("-1") << true;
    QTest::newRow("1") << QStringLiteral("1") << true;
    QTest::newRow("True") << QStringLiteral("True") << true;
    QTest::newRow("0") << QStringLiteral("0") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("false") << QStringLiteral("false") << false;
}

// Text typed into a Yes/No field is stored as Yes or No, whichever way the
// row is written, and a query for "= true" finds exactly the Yes rows.
void HostContract::yesNoFromText()
{
    QFETCH(QString, text);
    QFETCH(bool, yes);
    const qint32 first = nextKey(*m_host);
    auto rs = emptyPages(*m_host);
    // Added one by one.
    rs->addNew();
    setValues(*rs, {{"Entry_Code", first}, {"BookCode", 3}, {"IndexImage", text}});
    rs->update();
    // Added as a run.
    rs->addRows({QStringLiteral("Entry_Code"), QStringLiteral("BookCode"), QStringLiteral("IndexImage")},
                {{first + 1, 3, text}});
    // Edited: first the opposite value as a Boolean, then the text.
    rs->addNew();
    setValues(*rs, {{"Entry_Code", first + 2}, {"BookCode", 3}, {"IndexImage", !yes}});
    rs->update();
    rs->close();
    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("Select * From BookContents where Entry_Code = %1").arg(first + 2)));
    rs->setValue(QStringLiteral("IndexImage"), text);
    rs->update();
    rs->close();

    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("Select Entry_Code, IndexImage From BookContents where BookCode = 3 Order by Entry_Code")));
    QVariantList stored;
    for (; !rs->isEof(); rs->moveNext())
        stored << rs->value(QStringLiteral("IndexImage"));
    rs->close();
    QCOMPARE(stored, QVariantList(3, yes));
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents where BookCode = 3 And IndexImage = true")),
             yes ? 3 : 0);
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents where BookCode = 3 And IndexImage = false")),
             yes ? 0 : 3);
}

void HostContract::rowsAddedTogetherAsOneByOne()
{
    const qint32 first = nextKey(*m_host);
    const QStringList fields{QStringLiteral("Entry_Code"), QStringLiteral("BookCode"), QStringLiteral("Description"),
                             QStringLiteral("EntryDate"),  QStringLiteral("IndexImage"), QStringLiteral("CTEffect"),
                             QStringLiteral("Category"),   QStringLiteral("SoundFile")};
    const auto rowFor = [&](int i) {
        return QVariantList{first + i, 1, QStringLiteral("O'Brien \u2713 %1").arg(i), QDate(2026, 12, 5).addDays(i),
                            i % 2 == 0, QVariant::fromValue(qint16(i)), QStringLiteral("7"), QVariant()};
    };
    QList<QVariantList> rows;
    for (int i = 0; i < 150; ++i)
        rows.append(rowFor(i));
    rows[100][0] = first + 20; // a key already taken, past the first statement's rows

    auto rs = emptyPages(*m_host);
    qsizetype stored = -1;
    QVERIFY_THROWS_EXCEPTION(HostError, rs->addRows(fields, rows, &stored));
    QCOMPARE(stored, qsizetype(100));
    QCOMPARE(rs->recordCount(), 100);
    rs->moveLast();
    QCOMPARE(rs->value(QStringLiteral("Description")).toString(), QStringLiteral("O'Brien \u2713 99"));
    QCOMPARE(rs->value(QStringLiteral("IndexImage")), QVariant(false));

    // A value its column cannot hold stops the run the same way.
    QList<QVariantList> more{rowFor(200), rowFor(201), rowFor(202)};
    more[1][1] = QStringLiteral("not a number");
    QVERIFY_THROWS_EXCEPTION(HostError, rs->addRows(fields, more, &stored));
    QCOMPARE(stored, qsizetype(1));
    rs->close();

    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents")), 101);
    std::unique_ptr<Recordset> back;
    QVERIFY(m_host->FillRecordSet(back, QStringLiteral("Select * From BookContents where Entry_Code = %1").arg(first + 70)));
    QCOMPARE(values(*back, {"Description", "EntryDate", "IndexImage", "CTEffect", "Category"}),
             (QVariantList{QStringLiteral("O'Brien \u2713 70"), QDate(2026, 12, 5).addDays(70), true, 70, 7}));
    QVERIFY(back->value(QStringLiteral("SoundFile")).isNull());
    QVERIFY(back->value(QStringLiteral("PlaySound")).isNull() || !back->value(QStringLiteral("PlaySound")).toBool());
    // Yes is stored as one row at a time stores it, so queries find it.
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents where IndexImage = true")), 51);
    QVERIFY(nextKey(*m_host) > first + 200);
}

void HostContract::batchGivesBackWhatItTook()
{
    // Each value comes back as the variant it went in as: a host that stores
    // rows one by one sees no difference from a list of variants.
    const QVariantList row{7, true, QStringLiteral("O'Brien \u2713"), QDate(2026, 12, 5), QDate(),
                           QVariant::fromValue(qint16(-3)), QVariant::fromValue(qint64(1) << 40), 2.5,
                           QVariant(), QVariant(QMetaType::fromType<int>())};
    RowBatch batch(QStringList(row.size(), QStringLiteral("f")));
    for (int round = 0; round < 2; ++round)
        for (const QVariant &v : row)
            batch.add(v);
    QCOMPARE(batch.rowCount(), 2);
    for (qsizetype i = 0; i < row.size() - 1; ++i) {
        const QVariant back = batch.value(1, i);
        QCOMPARE(back.typeId(), row.at(i).typeId());
        QCOMPARE(back, row.at(i));
    }
    // A typed null is a null, not a zero.
    QCOMPARE(batch.kind(1, row.size() - 1), RowBatch::Kind::Null);
    batch.clear();
    QCOMPARE(batch.rowCount(), 0);
    QCOMPARE(batch.fields().size(), row.size());
}

void HostContract::runIsOneTransaction()
{
    const int rows = 2000;
    const qint32 first = nextKey(*m_host);
    auto rs = emptyPages(*m_host);
    for (int i = 0; i < rows; ++i)
        addPage(*rs, first + i, 1);
    // Another workstation sees nothing of the run until it is closed.
    auto other = open();
    QVERIFY(other);
    QCOMPARE(scalar(*other, QStringLiteral("Select Count(*) From BookContents")), 0);
    rs->close();
    QCOMPARE(scalar(*other, QStringLiteral("Select Count(*) From BookContents")), rows);
    // The run outgrew its block of keys: the next key still lies beyond it.
    QVERIFY(nextKey(*other) >= first + rows);
}

void HostContract::keysClearExistingRows()
{
    exec(QStringLiteral("Insert Into Books (Entry_Code, Description) Values (5000, 'old')"));
    const qint32 a = m_host->GenerateEntrycode(false, QStringLiteral("Books"), QStringLiteral("Entry_code"));
    QVERIFY(a > 5000);
    auto other = open();
    const qint32 b = other->GenerateEntrycode(false, QStringLiteral("books"), QStringLiteral("Entry_Code"));
    QVERIFY2(b >= a + HostDatabase::KeyBlock, "each call reserves a block for its run");
}

void HostContract::keysFromTwoProcessesNeverCollide()
{
    const int runs = 5;
    const int rows = 200;
    const HostOptions o = options();
    QList<QProcess *> workers;
    for (int book : {1, 2}) {
        auto *p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--key-worker"), o.database, o.libraryFolder, QString::number(book),
                  QString::number(runs), QString::number(rows)});
        workers.append(p);
    }
    for (QProcess *p : workers) {
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
    }
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents")), 2 * runs * rows);
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From (Select Entry_Code From BookContents Group By Entry_Code Having Count(*) > 1) As d")), 0);
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents where BookCode = 1")), runs * rows);
    qDeleteAll(workers);
}

void HostContract::nextFileNameNeverInUse()
{
    const QString taken = m_host->GetLibraryFilesFolder() + QStringLiteral("/5/10.jpg");
    QDir().mkpath(QFileInfo(taken).absolutePath());
    QFile(taken).open(QIODevice::WriteOnly);
    QSet<QString> names;
    for (int i = 0; i < 3; ++i) {
        const QString name = m_host->NextFileName(1, 5, 10, QStringLiteral("JPG"));
        QVERIFY2(!QFileInfo::exists(name), qPrintable(name));
        QVERIFY(name.startsWith(m_host->GetLibraryFilesFolder() + QStringLiteral("/5/")));
        QVERIFY(name.endsWith(QStringLiteral(".jpg")));
        names.insert(name);
    }
    QCOMPARE(names.size(), 3); // not written yet, still not handed out twice
    const QString fresh = m_host->NextFileName(1, 6, 1, QStringLiteral(".AVI"));
    QVERIFY(QFileInfo(QFileInfo(fresh).absolutePath()).isDir());
    QCOMPARE(QFileInfo(fresh).fileName(), QStringLiteral("1.avi"));
}

void HostContract::relativePathsResolveInDataFolder()
{
    QCOMPARE(m_host->resolvePath(QStringLiteral("LIBRARY\\3\\7.jpg")), m_dir->path() + QStringLiteral("/LIBRARY/3/7.jpg"));
    QCOMPARE(m_host->resolvePath(QStringLiteral("/abs/x.png")), QStringLiteral("/abs/x.png"));
    QDir(m_dir->path()).mkpath(QStringLiteral("help"));
    QCOMPARE(m_host->resolvePath(QStringLiteral("HELP\\W12.htm")), m_dir->path() + QStringLiteral("/help/W12.htm"));
}

void HostContract::mailDropGetsMessageWithAttachment()
{
    const QString file = m_dir->filePath(QStringLiteral("x-ray.txt"));
    QVERIFY(Testing::writeFile(file, "tooth 36, distal caries\n"));
    const QString drop = m_dir->filePath(QStringLiteral("outbox"));
    m_host->setMailDropFolder(drop);
    Dokumentz docs;
    docs.Add(1, file, QStringLiteral("X-ray note"), 3, 0, 0, 0);
    m_host->EmailDocuments(docs);
    const QStringList emls = QDir(drop).entryList({QStringLiteral("*.eml")});
    QCOMPARE(emls.size(), 1);
    const QByteArray text = Testing::fileContents(drop + u'/' + emls.first());
    QVERIFY(text.contains("Content-Type: multipart/mixed"));
    QVERIFY(text.contains("filename=\"x-ray.txt\""));
    QVERIFY(text.contains(QByteArray("tooth 36, distal caries\n").toBase64()));
}

void HostContract::patientPicker()
{
    exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (3, 'Ivy', 'Marsh')"));
    exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (4, 'Tom', 'Reed')"));
    ScriptedResponder responder;
    ResponderGuard guard(&responder);
    responder.pushModal([](QDialog *dialog) {
        if (Testing::child<QListWidget>(dialog, "lstPatients")->count() != 2)
            return int(QDialog::Rejected);
        Testing::child<QLineEdit>(dialog, "txtSearch")->setText(QStringLiteral("reed"));
        return int(QDialog::Accepted);
    });
    QString name;
    QCOMPARE(m_host->GetPatientData(name), 4);
    QCOMPARE(name, QStringLiteral("Tom Reed"));
    responder.pushModal([](QDialog *) { return int(QDialog::Rejected); });
    QCOMPARE(m_host->GetPatientData(name), 0);
    qint32 code = 3;
    QCOMPARE(m_host->GetNameOfPatient(code), QStringLiteral("Ivy Marsh"));
}

void HostContract::addFileToLibCopiesIntoChosenBook()
{
    exec(QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (5, 'Ivy Marsh', 3)"));
    exec(QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (6, 'Implant cases', 0)"));
    const QString file = m_dir->filePath(QStringLiteral("Library/b5/p1.JPG"));
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QVERIFY(Testing::writeFile(file, "radiograph"));
    exec(QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, Description, EntryType) "
                        "Values (70, 5, '%1', 'Implant 36 after 3 months', 1)").arg(file));
    ScriptedResponder responder;
    ResponderGuard guard(&responder);
    responder.pushModal([](QDialog *dialog) {
        Testing::child<QListWidget>(dialog, "lstBooks");
        Testing::child<QLineEdit>(dialog, "txtSearch")->setText(QStringLiteral("implant"));
        return int(QDialog::Accepted);
    });
    responder.pushAnswer(Answer::Ok);
    QString path = file;
    qint16 type = 1;
    m_host->AddFileToLib(path, type);

    std::unique_ptr<Recordset> rs;
    QVERIFY(m_host->FillRecordSet(rs, QStringLiteral("Select * From BookContents where BookCode = 6")));
    QCOMPARE(rs->recordCount(), 1);
    const QString stored = rs->value(QStringLiteral("FileName")).toString();
    QVERIFY2(stored != file, "the new page owns a copy of its own");
    QCOMPARE(Testing::fileContents(stored), QByteArray("radiograph"));
    QCOMPARE(values(*rs, {"Description", "EntryType"}),
             (QVariantList{QStringLiteral("Implant 36 after 3 months"), 1}));
    QCOMPARE(Testing::messageTexts(responder).size(), 1);

    // The chooser and the message after it belong to the window that asked,
    // even when the window manager activates another one in between; a
    // message alone belongs to the active window, else to the host's.
    QWidget library;
    QWidget frontDesk;
    library.show();
    frontDesk.show();
    m_host->setParentWindow(&frontDesk);
    QApplication::setActiveWindow(&library);
    responder.clearPrompts();
    responder.pushModal([&](QDialog *dialog) {
        QApplication::setActiveWindow(&frontDesk);
        Testing::child<QLineEdit>(dialog, "txtSearch")->setText(QStringLiteral("ivy"));
        return int(QDialog::Accepted);
    });
    responder.pushAnswer(Answer::Ok);
    m_host->AddFileToLib(path, type);
    responder.pushAnswer(Answer::Ok);
    QApplication::setActiveWindow(&library);
    m_host->PassMessage(QStringLiteral("from the library"), 0);
    responder.pushAnswer(Answer::Ok);
    QApplication::setActiveWindow(nullptr);
    m_host->PassMessage(QStringLiteral("from nowhere"), 0);
    QList<QWidget *> owners;
    for (const Prompt &prompt : responder.prompts())
        owners << prompt.owner;
    QCOMPARE(owners, (QList<QWidget *>{&library, &library, &library, &frontDesk}));
    m_host->setParentWindow(nullptr);
    QApplication::setActiveWindow(nullptr);
    exec(QStringLiteral("Delete From BookContents where BookCode = 5 and Entry_Code <> 70"));

    // Cancelling the book chooser adds nothing; a missing file says so.
    responder.pushModal([](QDialog *) { return int(QDialog::Rejected); });
    m_host->AddFileToLib(path, type);
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents")), 2);
    responder.pushAnswer(Answer::Ok);
    QString missing = m_dir->filePath(QStringLiteral("gone.jpg"));
    m_host->AddFileToLib(missing, type);
    QVERIFY(Testing::messageTexts(responder).constLast().contains(QStringLiteral("gone.jpg")));
    QCOMPARE(scalar(*m_host, QStringLiteral("Select Count(*) From BookContents")), 2);
}

void HostContract::olderDatabaseGainsNewColumns()
{
    if (m_backend != SQLite)
        QSKIP("one backend shows the upgrade");
    m_host.reset();
    const QString file = m_dir->filePath(QStringLiteral("old.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE BookContents (Entry_Code INTEGER PRIMARY KEY, BookCode INTEGER, "
                                          "Description TEXT, FileName TEXT, EntryType INTEGER)"));
        QSqlQuery(db).exec(QStringLiteral("INSERT INTO BookContents VALUES (1, 2, 'kept', 'a.jpg', 1)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    HostOptions o = options();
    o.database = file;
    auto host = openOrFail(o);
    QVERIFY(host);
    std::unique_ptr<Recordset> rs;
    QVERIFY(host->FillRecordSet(rs, QStringLiteral("Select * From BookContents where Entry_Code = 1")));
    QCOMPARE(rs->value(QStringLiteral("Description")).toString(), QStringLiteral("kept"));
    QVERIFY(rs->fieldNames().contains(QStringLiteral("Comments"), Qt::CaseInsensitive));
    rs->setValue(QStringLiteral("Comments"), QStringLiteral("shade A2"));
    rs->update();
    QCOMPARE(scalar(*host, QStringLiteral("Select Count(*) From BookContents where Comments = 'shade A2'")), 1);
}

// Pictures and videos an older writer stored as documents get their type once,
// when a database without the correction is opened; documents stay documents.
void HostContract::olderDatabaseStoresPicturesAsPictures()
{
    const QString folder = m_dir->filePath(QStringLiteral("Library"));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("LIBRARY")));
    QVERIFY(Testing::writeFile(folder + QStringLiteral("/SENSOR01"), QByteArray(128, 0) + "DICM" + QByteArray(64, 1)));
    QVERIFY(Testing::writeFile(folder + QStringLiteral("/letter"), "%PDF-1.4\n"));
    QVERIFY(Testing::writeFile(m_dir->filePath(QStringLiteral("LIBRARY/CLIP0001")),
                      QByteArray("\0\0\0\x18" "ftypmp42\0\0\0\0mp42isom", 24)));
    struct Row
    {
        int code;
        QString file;
        int stored;
        int expected;
    };
    const QList<Row> rows {
        {1, folder + QStringLiteral("/screen.png"), 101, 1},
        {2, folder + QStringLiteral("/visit.MP4"), 3, 2},
        {3, folder + QStringLiteral("/SENSOR01"), 101, 1},
        {4, QStringLiteral("LIBRARY\\CLIP0001"), 101, 2},
        {5, folder + QStringLiteral("/letter"), 101, 101},
        {6, folder + QStringLiteral("/referral.pdf"), 5, 5},
        {7, folder + QStringLiteral("/notes.txt"), 4, 4},
        {8, folder + QStringLiteral("/gone"), 101, 101},
        {9, folder + QStringLiteral("/x-ray.jpg"), 1, 1},
    };
    for (const Row &row : rows)
        exec(QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, EntryType) "
                            "Values (%1, 2, '%2', %3)").arg(row.code).arg(row.file).arg(row.stored));
    const auto typesNow = [&](ReferenceHost &host) {
        QList<int> types;
        for (const Row &row : rows)
            types << scalar(host, QStringLiteral("Select EntryType From BookContents where Entry_Code = %1")
                                      .arg(row.code));
        return types;
    };
    QList<int> stored, expected;
    for (const Row &row : rows) {
        stored << row.stored;
        expected << row.expected;
    }
    // This database had the correction when it was made, so it stays as it is.
    m_host.reset();
    m_host = open();
    QCOMPARE(typesNow(*m_host), stored);

    // A database of an older build has no record of it: it is made once, logged.
    exec(QStringLiteral("Drop Table HostUpgrades"));
    m_host.reset();
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u"corrected the entry type of 4 "_qs));
    m_host = open();
    QCOMPARE(typesNow(*m_host), expected);
    exec(QStringLiteral("Update BookContents Set EntryType = 101 where Entry_Code = 1"));
    m_host.reset();
    m_host = open();
    QCOMPARE(scalar(*m_host, QStringLiteral("Select EntryType From BookContents where Entry_Code = 1")), 101);
}

void HostContract::newPracticeGetsItsLists()
{
    m_host.reset();
    HostOptions o = options();
    o.createStandardLists = true;
    auto host = openOrFail(o);
    QVERIFY(host);
    QCOMPARE(scalar(*host, QStringLiteral("Select Count(*) From DocumentCategories where Entry_Code > 0")), 6);
    QCOMPARE(scalar(*host, QStringLiteral("Select Count(*) From SystemLists where ParentID = 71")), 12);
    QCOMPARE(scalar(*host, QStringLiteral("Select Count(*) From Patients")), 0);
    // A practice's own lists are never touched.
    host->ExecuteStmt(false, QStringLiteral("Delete From DocumentCategories where Entry_Code > 1"));
    host.reset();
    host = openOrFail(o);
    QCOMPARE(scalar(*host, QStringLiteral("Select Count(*) From DocumentCategories")), 1);
}

void HostContract::remoteIconsAreReal()
{
    for (auto [set, number] : {std::pair{0, 130}, {1, 305}, {0, 1}}) {
        const QImage icon = m_host->GetRemoteIcon(qint16(set), qint16(number));
        QVERIFY(!icon.isNull());
        QVERIFY(icon.pixelColor(16, 4).alpha() > 0);
    }
}

void HostContract::libraryWindowGetsCaptureAndScan()
{
    // The host pulls the capture layer in, so its commands are not "not available".
    const AcquisitionHooks &hooks = acquisitionHooks();
    QVERIFY(hooks.capture && hooks.scan && hooks.pictureFromDevice && hooks.cameraPicture);
}

void HostContract::demoPracticeCreatedOnce()
{
    m_host.reset();
    auto demo = open(true);
    QVERIFY(demo);
    const qint64 patients = scalar(*demo, QStringLiteral("Select Count(*) From Patients"));
    const qint64 pages = scalar(*demo, QStringLiteral("Select Count(*) From BookContents"));
    QVERIFY(patients >= 10);
    QVERIFY(pages > 20);
    std::unique_ptr<Recordset> rs;
    QVERIFY(demo->FillLibRecordSet(rs, QStringLiteral("Select * from SystemLists where ParentID = 71 order by Description")));
    QVERIFY(demo->FillRecordSet(rs, QStringLiteral("Select * From Books where Entry_Code > 0 and PatientCode = 0")));
    QCOMPARE(rs->recordCount(), 2);
    // Every picture row points at a real file.
    demo->FillRecordSet(rs, QStringLiteral("Select FileName From BookContents where EntryType = 1"));
    for (; !rs->isEof(); rs->moveNext())
        QVERIFY2(QFileInfo::exists(demo->resolvePath(rs->value(QStringLiteral("FileName")).toString())),
                 qPrintable(rs->value(QStringLiteral("FileName")).toString()));
    demo.reset();
    auto again = open(true);
    QCOMPARE(scalar(*again, QStringLiteral("Select Count(*) From Patients")), patients);
    QCOMPARE(scalar(*again, QStringLiteral("Select Count(*) From BookContents")), pages);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--key-worker"))
        return keyWorker(args);
    int failures = 0;
    HostContract sqlite(HostContract::SQLite);
    failures += QTest::qExec(&sqlite, argc, argv);
    HostContract postgres(HostContract::PostgreSQL);
    failures += QTest::qExec(&postgres, argc, argv);
    return failures;
}

#include "tst_referencehost.moc"
