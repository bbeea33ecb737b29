#include "libraryfixture.h"

#include "library/librarycopier.h"
#include "library/librarydata.h"

#include <QDateTime>

#include <unistd.h>

using namespace tovradocs;
using namespace tovradocs::Internal;
using Testing::fieldTexts;

Q_DECLARE_METATYPE(tovradocs::Internal::BookView)

// One library operation, given the data layer, its link and an entry already in the library.
using Operation = std::function<void(LibraryData &, DataLink &, const NewEntry &)>;
Q_DECLARE_METATYPE(Operation)

class TestLibraryData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void sqlTexts_data();
    void sqlTexts();

    void listBooks_data();
    void listBooks();

    void pageTableReadsNullsAsEmpty();
    void indexPicture();

    void addEntriesCopiesWithConsecutiveKeys();
    void refusedRowLeavesNoCopyAndFreesItsKey();
    void addEntriesKeepsFilesAlreadyInLibrary_data();
    void addEntriesKeepsFilesAlreadyInLibrary();
    void copyNeverOverwrites();
    void failedCopyLeavesNothing_data();
    void failedCopyLeavesNothing();
    void copierDeletesSourcesOnlyWhenFinished();
    void isInLibrary_data();
    void isInLibrary();
    void staleTemporariesAreRemoved();
    void deletedRowsComeBack();

    void duplicateEntry();

private:
    QString makeFile(const QString &name, const QByteArray &content);
    QVariantMap row(qint32 entryCode) { return m_fx.row(entryCode); }
    NewEntry entry(qint32 book, const QString &path, qint32 type = 1,
                   const QString &description = QString());

    LibraryFixture m_fx;
    std::unique_ptr<LibraryData> m_data;
};

void TestLibraryData::init()
{
    QVERIFY(m_fx.open());
    QDir().mkpath(m_fx.path(QStringLiteral("incoming")));
    m_data = std::make_unique<LibraryData>(*m_fx.link);
}

void TestLibraryData::cleanup()
{
    m_data.reset();
    m_fx.close();
}

QString TestLibraryData::makeFile(const QString &name, const QByteArray &content)
{
    const QString path = m_fx.path(QStringLiteral("incoming/") + name);
    if (!Testing::writeFile(path, content))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

NewEntry TestLibraryData::entry(qint32 book, const QString &path, qint32 type,
                                const QString &description)
{
    NewEntry e;
    e.bookCode = book;
    e.sourcePath = path;
    e.entryType = type;
    e.description = description.isEmpty() ? QFileInfo(path).fileName() : description;
    return e;
}

// --- statements -------------------------------------------------------------

void TestLibraryData::sqlTexts_data()
{
    QTest::addColumn<Operation>("op");
    QTest::addColumn<QStringList>("expected");
    const auto row = [](const char *name, Operation op, const QStringList &expected) {
        QTest::newRow(name) << op << expected;
    };
    row("patient's book", [](auto &d, auto &, auto &) { d.findPatientBook(12); },
        {"Select * From Books where ( Patientcode = 12 ) "});
    row("add book", [](auto &d, auto &, auto &) { d.addBook(QStringLiteral("Anna"), 12); },
        {"Select * From Books where entry_code = -1"});
    row("pages without index picture", [](auto &d, auto &, auto &) { d.loadPages(7, false); },
        {"Select * From BookContents where (BookCode = 7) AND ( IndexImage = false) "});
    row("pages with index picture", [](auto &d, auto &, auto &) { d.loadPages(7, true); },
        {"Select * From BookContents where (BookCode = 7)"});
    row("index picture", [](auto &d, auto &, auto &) { d.indexPicture(7); },
        {"Select Filename From BookContents where (BookCode = 7 ) And ( EntryType = 1 ) Order by IndexImage"});
    row("set index picture", [](auto &d, auto &, auto &) { d.setIndexImage(7, 55); },
        {"Update BookContents Set IndexImage = false where ( BookCode = 7 )   and ( IndexImage = true) ",
         "Update BookContents Set IndexImage = True where ( Entry_Code = 55 ) "});
    row("delete book", [](auto &d, auto &, auto &) { d.deleteBook(7); },
        {"Delete From Books where Entry_Code = 7", "Delete From BookContents where BookCode = 7"});
    row("delete page", [](auto &d, auto &, auto &) { d.deletePage(55); },
        {"Delete From BookContents where entry_Code = 55"});
    row("add entries", [](auto &d, auto &, auto &e) { QCOMPARE(d.addEntries({e}).addedCount(), 1); },
        {"Select * from BookContents where Entry_Code = -1"});
    row("add entries, set by book",
        [](auto &d, auto &, auto &e) { QCOMPARE(d.addEntries({e}, EntryWriter::ByBookCode).addedCount(), 1); },
        {"Select * From BookContents where BookCode = -1"});
    row("duplicate", [](auto &d, auto &, auto &) { QVERIFY(!d.duplicateEntry(55, 7)); },
        {"Select * from BookContents where Entry_Code =55"});
}

void TestLibraryData::sqlTexts()
{
    QFETCH(Operation, op);
    QFETCH(QStringList, expected);
    op(*m_data, *m_fx.link, entry(7, m_fx.libraryFolder + QStringLiteral("/kept.JPG")));
    QCOMPARE(m_fx.link->sqlTexts(), expected);
}

// --- books ------------------------------------------------------------------

void TestLibraryData::listBooks_data()
{
    QTest::addColumn<BookView>("view");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("expected");

    const int a = 1, b = 2, z = 26, q = 17; // letter tabs
    QTest::newRow("patients, A") << BookView::Patients << a << QStringList{"Anna Berg"};
    QTest::newRow("patients, B, lower-case name") << BookView::Patients << b << QStringList{"bruno Costa"};
    QTest::newRow("books, Z") << BookView::Books << z << QStringList{"Zygoma"};
    QTest::newRow("books, All") << BookView::Books << AllBooksTab
                                << QStringList{"Anterior cases", "Before and after", "Zygoma"};
    QTest::newRow("both, B") << BookView::Both << b << QStringList{"Before and after", "bruno Costa"};
    QTest::newRow("both, All") << BookView::Both << AllBooksTab
                               << QStringList{"Anna Berg", "Anterior cases", "Before and after",
                                              "Zygoma", "bruno Costa"};
    QTest::newRow("both, Q, none") << BookView::Both << q << QStringList{};
}

void TestLibraryData::listBooks()
{
    QFETCH(BookView, view);
    QFETCH(int, tab);
    QFETCH(QStringList, expected);

    QHash<QString, qint32> codes;
    int patient = 0;
    for (const char *name : {"Anna Berg", "bruno Costa"})
        codes[name] = m_data->addBook(QLatin1String(name), ++patient);
    for (const char *name : {"Anterior cases", "Before and after", "Zygoma"})
        codes[name] = m_data->addBook(QLatin1String(name), 0);
    // A row without a valid key never shows up in a list.
    m_fx.host->ExecuteStmt(false, QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) Values (0, 'Archived', 0)"));

    const QList<BookItem> books = m_data->listBooks(view, tab);
    QStringList names;
    for (const BookItem &book : books) {
        names << book.description;
        QCOMPARE(book.code, codes.value(book.description));
    }
    names.sort();
    QCOMPARE(names, expected);
}

// --- pages and index picture ------------------------------------------------

void TestLibraryData::pageTableReadsNullsAsEmpty()
{
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    m_fx.host->ExecuteStmt(false, QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, EntryType) Values (900, %1, 3)")
                                   .arg(book));
    const PageTable pages = m_data->loadPages(book, true);
    QCOMPARE(pages.count(), 1);
    QStringList cells;
    for (int r : {PageTable::FileNameRow, PageTable::DescriptionRow, PageTable::EntryTypeRow,
                  PageTable::SelectedRow, PageTable::CTEffectRow})
        cells << pages.at(r, pages.pageOf(900));
    QCOMPARE(cells, (QStringList{"", "", "3", "0", "0"}));
    QCOMPARE(m_data->loadPages(book + 1000, true).count(), 0);
}

void TestLibraryData::indexPicture()
{
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    const qint32 other = m_data->addBook(QStringLiteral("Other"), 0);
    const QString lib = m_fx.libraryFolder + QLatin1Char('/');

    QCOMPARE(m_data->indexPicture(book), QString());
    QCOMPARE(m_data->addEntries({entry(book, lib + "letter.PDF", 5)}).addedCount(), 1);
    QVERIFY2(m_data->indexPicture(book).isEmpty(), "a book without pictures has no index picture");

    const EntryRun run = m_data->addEntries({entry(book, lib + "first.JPG"), entry(book, lib + "clip.AVI", 2),
                                             entry(book, lib + "second.JPG"), entry(book, lib + "third.JPG"),
                                             entry(other, lib + "other.JPG")});
    QCOMPARE(run.addedCount(), 5);
    QCOMPARE(m_data->indexPicture(book), lib + "first.JPG");

    m_data->setIndexImage(book, run.items[2].entryCode);
    QCOMPARE(m_data->indexPicture(book), lib + "second.JPG");
    m_data->setIndexImage(other, run.items[4].entryCode);
    m_data->setIndexImage(book, run.items[3].entryCode);
    QCOMPARE(m_data->indexPicture(book), lib + "third.JPG");
    QCOMPARE(m_data->indexPicture(other), lib + "other.JPG");

    int marked = 0;
    for (const EntryOutcome &item : run.items)
        marked += row(item.entryCode).value("indeximage").toBool() ? 1 : 0;
    QCOMPARE(marked, 2); // one in each book

    // The marked picture is left out of the pages unless asked for.
    const PageTable without = m_data->loadPages(book, false);
    QCOMPARE(without.count(), 4);
    QCOMPARE(without.pageOf(run.items[3].entryCode), 0);
    QVERIFY(m_data->loadPages(book, true).pageOf(run.items[3].entryCode) > 0);
}

// --- adding entries ---------------------------------------------------------

void TestLibraryData::refusedRowLeavesNoCopyAndFreesItsKey()
{
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    // While the third picture is copied, another workstation takes the key
    // the fourth will get.
    qint32 firstKey = 0;
    m_fx.link->setNextFileNameHook([&](qint16, qint32, qint32 entryCode, const QString &ext) {
        if (firstKey == 0)
            firstKey = entryCode;
        if (entryCode == firstKey + 2)
            m_fx.host->ExecuteStmt(false, QStringLiteral("Insert Into BookContents (Entry_Code, BookCode) Values (%1, %2)")
                                           .arg(entryCode + 1)
                                           .arg(book + 1000));
        return m_fx.libraryFolder + QStringLiteral("/B%1/E%2.%3").arg(book).arg(entryCode).arg(ext);
    });
    QList<NewEntry> entries;
    for (int i = 0; i < 5; ++i)
        entries.append(entry(book, makeFile(QStringLiteral("p%1.jpg").arg(i), QByteArray::number(i))));
    const EntryRun run = m_data->addEntries(entries);

    QCOMPARE(run.addedCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(run.items[i].entryCode, firstKey + i);
    // The refused entry and the one after it, tried again with the freed
    // key, store nothing and leave no file behind; their sources stay.
    for (int i = 3; i < 5; ++i) {
        QVERIFY(!run.items[i].added);
        QVERIFY(!run.items[i].error.isEmpty());
        QVERIFY(run.items[i].fileName.isEmpty());
        QVERIFY(QFile::exists(entries[i].sourcePath));
    }
    QCOMPARE(run.items[4].entryCode, firstKey + 3);
    QCOMPARE(QDir(m_fx.libraryFolder + QStringLiteral("/B%1").arg(book)).entryList(QDir::Files).size(), 3);
    QCOMPARE(m_data->loadPages(book, true).count(), 3);
}

void TestLibraryData::addEntriesCopiesWithConsecutiveKeys()
{
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")),
             QStringList{QStringLiteral("false, Books, Entry_code")});
    m_fx.link->clear();
    const QString kept = makeFile(QStringLiteral("xray.jpg"), QByteArray(300000, 'x'));
    const QString temp = makeFile(QStringLiteral("Tow1A.tmp.bmp"), "BM-temporary");
    const QString video = makeFile(QStringLiteral("clip.avi"), "RIFF....AVI ");

    NewEntry tempEntry = entry(book, temp, 1, QStringLiteral("Pasted"));
    tempEntry.deleteSource = true;
    tempEntry.extension = QStringLiteral("PNG");
    NewEntry videoEntry = entry(book, video, 2, QStringLiteral("Clip"));
    videoEntry.entryDate = QDate(2024, 2, 29);
    videoEntry.ctEffect = 7;
    videoEntry.category = 3;
    videoEntry.playSound = true;
    videoEntry.soundFile = QStringLiteral("LIBRARY\\sound.wav");
    videoEntry.onScreenTime = 5;

    const EntryRun run = m_data->addEntries({entry(book, kept, 1, QStringLiteral("X-ray")), tempEntry, videoEntry});
    QVERIFY2(run.error.isEmpty(), qPrintable(run.error));
    QCOMPARE(run.addedCount(), 3);
    const qint32 first = run.items[0].entryCode;
    QCOMPARE(run.items[1].entryCode, first + 1);
    QCOMPARE(run.items[2].entryCode, first + 2);
    // One key from the host for the run; each file named for its key.
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")),
             QStringList{QStringLiteral("false, BookContents, Entry_code")});
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("NextFileName")),
             (QStringList{QStringLiteral("1, %1, %2, JPG").arg(book).arg(first),
                          QStringLiteral("1, %1, %2, PNG").arg(book).arg(first + 1),
                          QStringLiteral("1, %1, %2, AVI").arg(book).arg(first + 2)}));

    const QList<QByteArray> contents{QByteArray(300000, 'x'), "BM-temporary", "RIFF....AVI "};
    for (int i = 0; i < 3; ++i) {
        const EntryOutcome &item = run.items[i];
        QVERIFY(item.copied);
        QVERIFY2(LibraryCopier::isInLibrary(m_fx.libraryFolder, item.fileName), qPrintable(item.fileName));
        QCOMPARE(Testing::fileContents(item.fileName), contents[i]);
        QCOMPARE(row(item.entryCode).value("filename").toString(), item.fileName);
    }
    QVERIFY(QFile::exists(kept));
    QVERIFY2(!QFile::exists(temp), "a temporary source is removed once copied");
    QVERIFY(QFile::exists(video));

    const QStringList stored = {"bookcode=" + QString::number(book), "description=Clip",
                                "entrytype=2", "entrydate=2024-02-29", "indeximage=false",
                                "cteffect=7", "category=3", "playsound=true",
                                "soundfile=LIBRARY\\sound.wav", "onscreentime=5"};
    QCOMPARE(fieldTexts(row(run.items[2].entryCode), stored), stored);
    QCOMPARE(row(first).value("entrydate").toDate(), QDate::currentDate());
}

void TestLibraryData::addEntriesKeepsFilesAlreadyInLibrary_data()
{
    QTest::addColumn<QString>("relativeSpelling");
    QTest::newRow("same spelling") << "same";
    QTest::newRow("other letter case") << "lower";
    QTest::newRow("backslash separators") << "backslash";
}

void TestLibraryData::addEntriesKeepsFilesAlreadyInLibrary()
{
    QFETCH(QString, relativeSpelling);
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    const QString real = m_fx.libraryFolder + QStringLiteral("/B1/E1.JPG");
    QDir().mkpath(QFileInfo(real).path());
    QVERIFY(Testing::writeFile(real, "picture"));

    QString path = real;
    if (relativeSpelling == "lower")
        path = m_fx.libraryFolder.toLower() + QStringLiteral("/B1/E1.JPG");
    else if (relativeSpelling == "backslash")
        path = QString(real).replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QStringList before = m_fx.libraryFiles();

    NewEntry e = entry(book, path);
    e.deleteSource = true; // never applies to a file the row points at
    const EntryRun run = m_data->addEntries({e});
    QCOMPARE(run.addedCount(), 1);
    QCOMPARE(run.items[0].fileName, path);
    QVERIFY(!run.items[0].copied);
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("NextFileName")), QStringList());
    QCOMPARE(row(run.items[0].entryCode).value("filename").toString(), path);
    QCOMPARE(m_fx.libraryFiles(), before);
    QVERIFY(QFile::exists(real));
}

void TestLibraryData::copyNeverOverwrites()
{
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    const QString taken = m_fx.libraryFolder + QStringLiteral("/taken.JPG");
    QVERIFY(Testing::writeFile(taken, "precious"));
    int calls = 0;
    m_fx.link->setNextFileNameHook([&](qint16, qint32, qint32 entryCode, const QString &ext) {
        return ++calls == 1 ? taken
                            : m_fx.libraryFolder + QStringLiteral("/fresh%1.%2").arg(entryCode).arg(ext);
    });

    NewEntry clash = entry(book, makeFile(QStringLiteral("new.jpg"), "new picture"));
    clash.deleteSource = true;
    const NewEntry next = entry(book, makeFile(QStringLiteral("next.jpg"), "next picture"));
    const EntryRun run = m_data->addEntries({clash, next});

    QVERIFY(!run.items[0].added);
    QVERIFY2(run.items[0].error.contains(QStringLiteral("already")), qPrintable(run.items[0].error));
    QVERIFY2(QFile::exists(clash.sourcePath), "the source of a failed copy is kept");
    QCOMPARE(Testing::fileContents(taken), QByteArray("precious"));

    // The failed entry stored no row and used up no key.
    QVERIFY(run.items[1].added);
    QCOMPARE(run.items[1].entryCode, run.items[0].entryCode);
    QCOMPARE(m_data->loadPages(book, true).count(), 1);
    QCOMPARE(run.failedCount(), 1);
}

void TestLibraryData::failedCopyLeavesNothing_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("readOnlyFolder");
    // Opens fine, then fails on the first read: the temporary file already exists then.
    QTest::newRow("source unreadable after opening") << "/proc/self/mem" << false;
    QTest::newRow("source missing") << "missing.jpg" << false;
    QTest::newRow("read-only destination folder") << "ok.jpg" << true;
}

void TestLibraryData::failedCopyLeavesNothing()
{
    QFETCH(QString, source);
    QFETCH(bool, readOnlyFolder);
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    if (!source.startsWith(QLatin1Char('/')))
        source = m_fx.path(QStringLiteral("incoming/") + source);
    if (source.endsWith(QStringLiteral("ok.jpg")))
        makeFile(QStringLiteral("ok.jpg"), "picture");

    QString folder = m_fx.libraryFolder + QStringLiteral("/target");
    QDir().mkpath(folder);
    if (readOnlyFolder) {
        if (::geteuid() == 0)
            folder = QStringLiteral("/proc/self"); // permissions do not stop root; procfs does
        else
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    const QString target = folder + QStringLiteral("/copy.JPG");
    m_fx.link->setNextFileNameHook([&](qint16, qint32, qint32, const QString &) { return target; });

    const QStringList before = m_fx.libraryFiles();
    NewEntry e = entry(book, source);
    e.deleteSource = true;
    const EntryRun run = m_data->addEntries({e});
    QFile::setPermissions(m_fx.libraryFolder + QStringLiteral("/target"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(run.items.size(), 1);
    QVERIFY(!run.items[0].added);
    QVERIFY2(!run.items[0].error.isEmpty(), "a failed copy says why");
    QVERIFY(!QFile::exists(target));
    QCOMPARE(m_fx.libraryFiles(), before);
    QCOMPARE(m_data->loadPages(book, true).count(), 0);
    if (source.endsWith(QStringLiteral("ok.jpg")))
        QVERIFY(QFile::exists(source));
}

void TestLibraryData::copierDeletesSourcesOnlyWhenFinished()
{
    QStringList sources;
    for (int i = 0; i < 3; ++i)
        sources << makeFile(QStringLiteral("t%1.png").arg(i), QByteArray::number(i));

    LibraryCopier copier(*m_fx.link);
    QStringList targets;
    for (int i = 0; i < 3; ++i) {
        const auto copied = copier.copy(sources[i], 1, 5, 100 + i, i != 1);
        QVERIFY2(copied.ok(), qPrintable(copied.error()));
        targets << copied.value();
    }
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("GetLibraryFilesFolder")).size(), 1);
    for (const QString &s : sources)
        QVERIFY2(QFile::exists(s), "sources stay until the copies are durable");
    copier.discard(targets[2]);
    QVERIFY(!QFile::exists(targets[2]));

    QVERIFY(copier.finish().ok());
    QVERIFY(!QFile::exists(sources[0]));
    QVERIFY(QFile::exists(sources[1])); // not flagged
    QVERIFY(QFile::exists(sources[2])); // its copy was taken back
    QVERIFY(QFile::exists(targets[0]));
    QVERIFY(QFile::exists(targets[1]));
}

void TestLibraryData::isInLibrary_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("inside");
    QTest::newRow("inside") << "/data/Library" << "/data/Library/b1/e1.jpg" << true;
    QTest::newRow("folder upper-cased by caller") << "/DATA/LIBRARY" << "/data/Library/e1.jpg" << true;
    QTest::newRow("path in other case") << "/data/Library" << "/DATA/library/e1.jpg" << true;
    QTest::newRow("backslashes in path") << "C:/Practice/Library" << "c:\\practice\\library\\e1.jpg" << true;
    QTest::newRow("the folder itself") << "/data/Library" << "/data/library" << false;
    QTest::newRow("elsewhere") << "/data/Library" << "/home/me/e1.jpg" << false;
    QTest::newRow("no folder") << "" << "/home/me/e1.jpg" << false;
    QTest::newRow("sibling with a longer name") << "/data/Library" << "/data/LibraryOld/e1.jpg" << false;
    QTest::newRow("climbing out with ..") << "/data/Library" << "/data/Library/../x.jpg" << false;
    QTest::newRow("climbing out with \\..") << "/data/Library" << "/data/Library\\..\\x.jpg" << false;
    QTest::newRow(".. that stays inside") << "/data/Library" << "/data/Library/b1/../e1.jpg" << true;
    QTest::newRow("folder given with a slash") << "/data/Library/" << "/data/library/e1.jpg" << true;
    QTest::newRow("doubled slash and a dot") << "/data/Library" << "/data//Library/./e1.jpg" << true;
}

void TestLibraryData::isInLibrary()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QFETCH(bool, inside);
    QCOMPARE(LibraryCopier::isInLibrary(folder, path), inside);
}

void TestLibraryData::staleTemporariesAreRemoved()
{
    QDir().mkpath(m_fx.libraryFolder + QStringLiteral("/b7"));
    const QString stale = m_fx.libraryFolder + QStringLiteral("/b7/.tovra-copy-AbC123");
    const QString fresh = m_fx.libraryFolder + QStringLiteral("/.tovra-copy-XyZ789");
    const QString picture = m_fx.libraryFolder + QStringLiteral("/b7/old.JPG");
    for (const QString &file : {stale, fresh, picture})
        QVERIFY(Testing::writeFile(file, "bytes"));
    const QDateTime twoDaysAgo = QDateTime::currentDateTime().addDays(-2);
    for (const QString &file : {stale, picture}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(twoDaysAgo, QFileDevice::FileModificationTime));
    }

    QCOMPARE(LibraryCopier::removeStaleTemporaries(m_fx.libraryFolder,
                                                   QDateTime::currentDateTime().addDays(-1)),
             1);
    QVERIFY(!QFile::exists(stale));
    QVERIFY2(QFile::exists(fresh), "a copy may still be writing it");
    QVERIFY2(QFile::exists(picture), "only our temporaries are touched, however old");
}

void TestLibraryData::deletedRowsComeBack()
{
    const qint32 book = m_data->addBook(QStringLiteral("Ann Lee"), 12);
    NewEntry first = entry(book, makeFile("a.jpg", "a"), 1, QStringLiteral("Before"));
    first.ctEffect = 4;
    first.category = 2;
    first.soundFile = QStringLiteral("/snd/a.wav");
    const EntryRun run = m_data->addEntries({first, entry(book, makeFile("b.mp4", "b"), 2),
                                             entry(book, makeFile("c.pdf", "c"), 5)});
    QCOMPARE(run.addedCount(), 3);
    m_data->setIndexImage(book, run.items[0].entryCode);
    QList<QVariantMap> rowsBefore;
    for (const EntryOutcome &item : run.items)
        rowsBefore << row(item.entryCode);
    const auto bookRow = [&] {
        return m_fx.scalar(QStringLiteral("Select PatientCode From Books where Entry_Code = %1").arg(book));
    };

    // One page.
    DeletedRows pages = m_data->pageRows({run.items[1].entryCode});
    m_data->deletePage(run.items[1].entryCode);
    QCOMPARE(m_data->loadPages(book, true).count(), 2);
    m_data->restore(pages);
    QCOMPARE(row(run.items[1].entryCode), rowsBefore[1]);

    // The whole book, with its own keys and every column.
    const DeletedRows whole = m_data->bookRows(book);
    QCOMPARE(whole.books.size(), 1);
    QCOMPARE(whole.pages.size(), 3);
    m_data->deleteBook(book);
    QCOMPARE(bookRow(), -1);
    m_data->restore(whole);
    QCOMPARE(bookRow(), 12);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(row(run.items[i].entryCode), rowsBefore[i]);
    QCOMPARE(m_data->indexPicture(book), run.items[0].fileName);
}

// --- duplicating ------------------------------------------------------------

void TestLibraryData::duplicateEntry()
{
    const qint32 book = m_data->addBook(QStringLiteral("Book"), 0);
    const qint32 target = m_data->addBook(QStringLiteral("Target"), 0);
    NewEntry original = entry(book, makeFile("crown.jpeg", "crown picture"), 1, QStringLiteral("Crown"));
    original.entryDate = QDate(2020, 1, 2);
    const EntryRun run = m_data->addEntries({original});
    const qint32 code = run.items[0].entryCode;
    m_data->setIndexImage(book, code);
    m_fx.link->clear();

    const Result<qint32> copy = m_data->duplicateEntry(code, target);
    QVERIFY2(copy.ok(), qPrintable(copy.error()));
    QVERIFY(*copy != code);
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("NextFileName")),
             QStringList{QStringLiteral("1, %1, %2, JPEG").arg(target).arg(*copy)});

    const QString file = row(*copy).value("filename").toString();
    QVERIFY(file != run.items[0].fileName);
    QCOMPARE(Testing::fileContents(file), QByteArray("crown picture"));
    const QStringList stored = {"description=Crown", "bookcode=" + QString::number(book), "entrytype=1",
                                "entrydate=" + QDate::currentDate().toString(Qt::ISODate),
                                "indeximage=false"};
    QCOMPARE(fieldTexts(row(*copy), stored), stored);
    QCOMPARE(row(code).value("indeximage").toBool(), true);

    // A page whose file is gone cannot be duplicated and adds no row.
    const EntryRun lost = m_data->addEntries({entry(book, m_fx.libraryFolder + QStringLiteral("/lost.JPG"))});
    QVERIFY(!m_data->duplicateEntry(lost.items[0].entryCode, book).ok());
    QCOMPARE(m_data->loadPages(book, true).count(), 3); // the original, its copy and the lost page
}

// The copy tests run twice: once as on local disks, once the way taken where a
// folder refuses unnamed temporary files (network shares).
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestLibraryData test;
    int failures = QTest::qExec(&test, argc, argv);
    LibraryCopier::setForceNamedTemporary(true);
    failures += QTest::qExec(&test, argc, argv);
    return failures;
}
#include "tst_librarydata.moc"
