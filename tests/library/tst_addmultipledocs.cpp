// The batch import window and the serial grabber driven through their
// controls, and the file lists they read from the clipboard and from drops.

#include "libraryfixture.h"

#include "component/dialogservice.h"
#include "controls/doclist.h"
#include "controls/tovracheck.h"
#include "controls/tovracombo.h"
#include "controls/tovrasearch.h"
#include "controls/tovratext.h"
#include "library/addmultipledocs.h"
#include "library/clipboardfiles.h"
#include "library/importitemsmodel.h"
#include "library/serialgrabber.h"
#include "library/tovralib.h"

#include <tovradocs/dokumentz.h>

#include <QCheckBox>
#include <QClipboard>
#include <QDataStream>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

constexpr qint32 kBook = 12;

void click(const QObject *window, const char *name) { child<QPushButton>(window, name)->click(); }

QMimeData *uriList(const QByteArray &lines, const QString &type = QStringLiteral("text/uri-list"))
{
    auto *data = new QMimeData;
    data->setData(type, lines);
    return data;
}

// Clicks "&Save" and lets the import run to its end.
int saveAndWait(QDialog *d)
{
    QSignalSpy finished(d, SIGNAL(importFinished()));
    click(d, "cbOK");
    if (finished.isEmpty())
        finished.wait(20000);
    return d->result();
}

// Drags the files over a widget and drops them; false when it refuses them.
bool dropFiles(QWidget *target, const QStringList &files)
{
    QMimeData data;
    for (const QString &file : files)
        data.setUrls(data.urls() << QUrl::fromLocalFile(file));
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return true;
}

// A bitmap that claims to be 16000 x 16000 pixels; only its header is there.
QByteArray hugeBitmapHeader()
{
    QByteArray bmp;
    QDataStream out(&bmp, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54 + 16000u * 16000u * 3u) << quint32(0) << quint32(54) << quint32(40)
        << quint32(16000) << quint32(16000) << quint16(1) << quint16(24);
    for (int i = 0; i < 6; ++i)
        out << quint32(0);
    return bmp;
}

// A script that notes the files the import window offers, then saves.
std::function<int(QDialog *)> noteOfferedAndSave(QStringList *offered)
{
    return [offered](QDialog *d) {
        auto *model = child<QTableView>(d, "tgFiles")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            *offered << model->index(r, ImportItemsModel::FileNameColumn).data().toString();
        return saveAndWait(d);
    };
}

} // namespace

class tst_AddMultipleDocs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void fileListsRead_data();
    void fileListsRead();
    void fileListsWrittenForFileManagers();

    void gridShowsNamesRowsHoldCodes();
    void closeImportsNothing();
    void failedFileStaysListed();
    void cancelStopsBetweenFiles();

    void grabberTakesPicturesAndFileLists();
    void grabberSurvivesUnusableClipboard();
    void grabberSavesIntoTheChosenBook();
    void grabberCopiesSelectedToAFolder();
    void libraryPastesAndTakesDrops();

private:
    QString src(const QString &name) { return LibraryFixture::savePicture(m_fx.path(QStringLiteral("src/") + name)); }
    // Opens the import window for the book on these files; the scripted window
    // decides. The files it imported.
    static QStringList addFiles(Dokumentz &docs, const QStringList &files)
    {
        docs.DefSourceID = kBook;
        AddMultipleDocs window;
        window.AddMultipleFiles(files, docs);
        return window.importedFiles();
    }

    LibraryFixture m_fx;
};

void tst_AddMultipleDocs::init()
{
    QVERIFY(m_fx.open());
    m_fx.addBook(kBook, QStringLiteral("Lee, Ann"), 0);
    m_fx.exec(QStringLiteral("Insert Into DocumentCategories (Entry_Code, Description) Values (3, 'X-ray')"));
    m_fx.exec(QStringLiteral("Insert Into DocumentCategories (Entry_Code, Description) Values (5, 'Letter')"));
    m_fx.exec(QStringLiteral("Insert Into SystemLists (Entry_Code, SubID, Description, ParentID) "
                             "Values (901, 14, 'Fade', 71)"));
}

void tst_AddMultipleDocs::cleanup()
{
    m_fx.close();
}

void tst_AddMultipleDocs::fileListsRead_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("refused");
    const QStringList two = {QStringLiteral("/srv/x/a b.png"), QStringLiteral("/srv/x/Ä.jpg")};
    QTest::newRow("uri list, percent-encoded")
        << "text/uri-list" << QByteArray("file:///srv/x/a%20b.png\r\nfile:///srv/x/%C3%84.jpg\r\n") << two << 0;
    QTest::newRow("gnome copied files alone")
        << "x-special/gnome-copied-files" << QByteArray("copy\nfile:///srv/x/a%20b.png\nfile:///srv/x/%C3%84.jpg")
        << two << 0;
    QTest::newRow("KDE copied files, cut")
        << "x-special/KDE-copied-files" << QByteArray("cut\nfile:///srv/x/a%20b.png\nfile:///srv/x/%C3%84.jpg")
        << two << 0;
    QTest::newRow("comments, localhost, trailing NUL")
        << "text/uri-list" << QByteArray("# from a browser\nfile://localhost/srv/x/a%20b.png\n").append('\0')
        << QStringList{QStringLiteral("/srv/x/a b.png")} << 0;
    QTest::newRow("another machine, web, not UTF-8")
        << "text/uri-list"
        << QByteArray("file://xray-pc/share/a.png\nhttps://example.org/a.png\nfile:///srv/%FF%FE.png\n")
        << QStringList() << 3;
    QTest::newRow("extra slashes stay local")
        << "text/uri-list" << QByteArray("file:////srv//x/a%20b.png") << QStringList{QStringLiteral("/srv//x/a b.png")} << 0;
    // "?" and "#" start the query and the fragment, which name no part of the
    // file; written as %3F and %23 they are characters of the name.
    const QByteArray tails("file:///tmp/a%3Fb.jpg\nfile:///tmp/a.jpg?x=1#frag\nfile:///tmp/c%23d.jpg#page=2\n");
    const QStringList tailPaths = {QStringLiteral("/tmp/a?b.jpg"), QStringLiteral("/tmp/a.jpg"),
                                   QStringLiteral("/tmp/c#d.jpg")};
    QTest::newRow("uri list, query and fragment") << "text/uri-list" << tails << tailPaths << 0;
    QTest::newRow("gnome copied files, query and fragment")
        << "x-special/gnome-copied-files" << QByteArray("copy\n") + tails << tailPaths << 0;
    QTest::newRow("plain text") << "text/plain" << QByteArray("file:///srv/x/a.png") << QStringList() << 0;
}

void tst_AddMultipleDocs::fileListsRead()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, paths);
    QFETCH(int, refused);
    std::unique_ptr<QMimeData> data(uriList(content, type));
    const ClipboardFiles files = filesFromMimeData(data.get());
    QCOMPARE(files.paths, paths);
    QCOMPARE(files.refused.size(), refused);
}

void tst_AddMultipleDocs::fileListsWrittenForFileManagers()
{
    const QStringList paths = {QStringLiteral("/lib/12/4 a.jpg"), QStringLiteral("/lib/12/5#.png")};
    std::unique_ptr<QMimeData> data(mimeDataForFiles(paths));
    QVERIFY(data->hasUrls());
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")),
             QByteArray("copy\nfile:///lib/12/4%20a.jpg\nfile:///lib/12/5%23.png"));
    // Each type read back on its own gives the same files.
    for (const QString &type : {QStringLiteral("text/uri-list"), QStringLiteral("x-special/gnome-copied-files"),
                                QStringLiteral("x-special/KDE-copied-files")}) {
        std::unique_ptr<QMimeData> only(uriList(data->data(type), type));
        QCOMPARE(filesFromMimeData(only.get()).paths, paths);
    }
}

void tst_AddMultipleDocs::gridShowsNamesRowsHoldCodes()
{
    const QStringList files = {src(QStringLiteral("one.jpg")), src(QStringLiteral("two.jpg")),
                               src(QStringLiteral("three.jpg"))};
    QStringList shown;
    bool listsFilled = false, detailsOffWhenUnselected = false;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *grid = child<QTableView>(d, "tgFiles");
        auto *model = static_cast<ImportItemsModel *>(grid->model());
        // Row 1: details typed into the frame reach the row when the user moves on.
        child<TovraText>(d, "stDescription")->setText(QStringLiteral("Upper molar"));
        listsFilled = child<TovraCombo>(d, "fcDocCategory")->selectByItemData(3)
                      && child<TovraCombo>(d, "fcTransition")->selectByItemData(14);
        child<TovraCheck>(d, "chkImport")->setChecked(false);
        grid->setCurrentIndex(model->index(1, 1));
        shown << QString::number(model->rowCount())
              << model->index(0, ImportItemsModel::CategoryColumn).data().toString()
              << model->index(0, ImportItemsModel::TransitionColumn).data().toString()
              << model->index(0, ImportItemsModel::CategoryColumn).data(Qt::EditRole).toString();
        // Row 2 is left out.
        child<QCheckBox>(d, "chkSelect")->click();
        detailsOffWhenUnselected = !child<QGroupBox>(d, "frmDetails")->isEnabled();
        return saveAndWait(d);
    });
    Dokumentz docs;
    QCOMPARE(addFiles(docs, files), (QStringList{files[0], files[2]}));

    // Three rows; the grid shows names, the row holds the category's code.
    QCOMPARE(shown, (QStringList{"3", "X-ray", "Fade", "3"}));
    QVERIFY(listsFilled);
    QVERIFY(detailsOffWhenUnselected);
    QCOMPARE(docs.Count(), 2);
    // Not copied: "Copy to Library folder" was cleared.
    const auto first = docs.Item(1);
    QCOMPARE((QStringList{first->Description, first->FileName, QString::number(first->DocCategory),
                          QString::number(first->SlideTransition)}),
             (QStringList{"Upper molar", files[0], "3", "14"}));
    QVERIFY(docs.Item(2)->FileName.startsWith(m_fx.libraryFolder));
    QCOMPARE(m_fx.pageCount("CTEffect = 14"), 1);
    QCOMPARE(m_fx.pageCount(), 2);
}

void tst_AddMultipleDocs::closeImportsNothing()
{
    const QString temp = LibraryFixture::savePicture(m_fx.path(QStringLiteral("tmp/Tow9.bmp")));
    m_fx.dialogs->pushModal([&](QDialog *d) {
        click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    QVERIFY(addFiles(docs, {src(QStringLiteral("a.jpg")), u'?' + temp}).isEmpty());
    QCOMPARE(docs.Count(), 0);
    QCOMPARE(m_fx.pageCount(), 0);
    QVERIFY(QFileInfo::exists(temp));
    QVERIFY(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
}

void tst_AddMultipleDocs::failedFileStaysListed()
{
    const QStringList files = {src(QStringLiteral("ok.jpg")), m_fx.path(QStringLiteral("src/missing.png")),
                               src(QStringLiteral("later.jpg"))};
    int rowsLeft = -1;
    bool stayedOpen = false;
    m_fx.dialogs->pushAnswer(Answer::Ok);
    m_fx.dialogs->pushModal([&](QDialog *d) {
        saveAndWait(d);
        stayedOpen = d->result() != QDialog::Accepted;
        rowsLeft = child<QTableView>(d, "tgFiles")->model()->rowCount();
        click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    QCOMPARE(addFiles(docs, files), QStringList{files[0]});
    QVERIFY(stayedOpen);
    QCOMPARE(rowsLeft, 2);
    const QStringList messages = messageTexts(*m_fx.dialogs);
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(QStringLiteral("missing.png")), qPrintable(messages[0]));
    QCOMPARE(m_fx.pageCount(), 1);
}

void tst_AddMultipleDocs::cancelStopsBetweenFiles()
{
    const QStringList files = {src(QStringLiteral("a.jpg")), src(QStringLiteral("b.jpg"))};
    int rowsLeft = -1;
    bool hadProgress = false;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        QSignalSpy finished(d, SIGNAL(importFinished()));
        click(d, "cbOK");
        // Cancelled before the first file: nothing is imported, everything stays listed.
        if (auto *progress = d->findChild<QProgressDialog *>(QStringLiteral("prgImport"))) {
            hadProgress = true;
            progress->cancel();
        }
        if (finished.isEmpty())
            finished.wait(20000);
        rowsLeft = child<QTableView>(d, "tgFiles")->model()->rowCount();
        click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    QVERIFY(addFiles(docs, files).isEmpty());
    QVERIFY(hadProgress);
    QCOMPARE(rowsLeft, 2);
    QVERIFY(messageTexts(*m_fx.dialogs).isEmpty());
    QCOMPARE(m_fx.pageCount(), 0);
}

void tst_AddMultipleDocs::grabberTakesPicturesAndFileLists()
{
    SerialGrabber grabber;
    auto *list = child<DocList>(&grabber, "docImgs");
    // A picture becomes a temporary file of its own.
    QImage shot(320, 240, QImage::Format_RGB32);
    shot.fill(Qt::red);
    QMimeData data;
    data.setImageData(shot);
    QCOMPARE(grabber.grabFrom(&data), 1);
    QVERIFY(list->isItemTemporary(1));
    const QString file = list->itemPath(1);
    QVERIFY(file.endsWith(QStringLiteral(".bmp")));
    QCOMPARE(QImage(file).pixelColor(5, 5), QColor(Qt::red));
    child<QCheckBox>(&grabber, "chkGrabSrc_0")->setChecked(false);
    QCOMPARE(grabber.grabFrom(&data), 0);
    click(&grabber, "cmdClear");
    QCOMPARE(list->itemCount(), 0);
    QVERIFY(!QFileInfo::exists(file));

    // Of a file list only pictures are taken, once unless duplicates are allowed.
    const QString picture = src(QStringLiteral("cephalo.jpg"));
    const QString letter = m_fx.path(QStringLiteral("src/referral.pdf"));
    QVERIFY(writeFile(letter, "%PDF-1.4\n"));
    std::unique_ptr<QMimeData> copy(mimeDataForFiles({picture, letter}));
    QCOMPARE(grabber.grabFrom(copy.get()), 1);
    QCOMPARE(grabber.grabFrom(copy.get()), 0);
    QCOMPARE(list->itemCount(), 1);
    QVERIFY(!list->isItemTemporary(1));

    auto *duplicates = child<QCheckBox>(&grabber, "chkAllowDuplicates");
    QVERIFY(duplicates->isEnabled());
    duplicates->setChecked(true);
    QCOMPARE(grabber.grabFrom(copy.get()), 1);
    QCOMPARE(list->itemCount(), 2);

    // Without "Explorer Copy" file lists are not taken at all.
    child<QCheckBox>(&grabber, "chkGrabSrc_1")->setChecked(false);
    QVERIFY(!duplicates->isEnabled());
    QCOMPARE(grabber.grabFrom(copy.get()), 0);

    auto *device = child<QCheckBox>(&grabber, "chkGrabSrc_2");
    QVERIFY(!device->isEnabled());
    QVERIFY(!device->toolTip().isEmpty());

    // Drops follow the same rules; "Remove Selected" takes out the marked items only.
    child<QCheckBox>(&grabber, "chkGrabSrc_1")->setChecked(true);
    duplicates->setChecked(false);
    click(&grabber, "cmdClear");
    QVERIFY(dropFiles(list->viewport(), {picture, letter, picture}));
    QCOMPARE(list->itemCount(), 1);
    QCOMPARE(list->itemPath(1), picture);
    std::unique_ptr<QMimeData> more(mimeDataForFiles({src(QStringLiteral("b.jpg"))}));
    grabber.grabFrom(more.get());
    list->setItemSelected(2, false);
    click(&grabber, "cmdRemoveSelected");
    QCOMPARE(list->itemCount(), 1);
    QVERIFY(list->itemPath(1).endsWith(QStringLiteral("b.jpg")));
    QVERIFY(QFileInfo::exists(picture)); // an ordinary file is never deleted
}

void tst_AddMultipleDocs::grabberSurvivesUnusableClipboard()
{
    SerialGrabber grabber;
    auto *list = child<DocList>(&grabber, "docImgs");
    QMimeData text;
    text.setText(QStringLiteral("Dear colleague, ..."));
    QCOMPARE(grabber.grabFrom(&text), 0);

    QMimeData huge;
    huge.setData(QStringLiteral("image/bmp"), hugeBitmapHeader());
    QCOMPARE(grabber.grabFrom(&huge), 0);
    QVERIFY2(child<QLabel>(&grabber, "lblStatus")->text().contains(QStringLiteral("too large")),
             qPrintable(child<QLabel>(&grabber, "lblStatus")->text()));

    QMimeData broken;
    broken.setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\nnot really", 18));
    QCOMPARE(grabber.grabFrom(&broken), 0);

    std::unique_ptr<QMimeData> odd(uriList("file://xray-pc/a.png\nfile:///nowhere/%FF.png\nfile:///gone/x.png\n"));
    QCOMPARE(grabber.grabFrom(odd.get()), 0);
    QCOMPARE(grabber.grabFrom(nullptr), 0);
    QCOMPARE(list->itemCount(), 0);
}

void tst_AddMultipleDocs::grabberSavesIntoTheChosenBook()
{
    SerialGrabber grabber;
    grabber.GrabFor(kBook, QStringLiteral("Lee, Ann"));
    auto *list = child<DocList>(&grabber, "docImgs");
    click(&grabber, "cmdClear");

    click(&grabber, "cbOK");
    QCOMPARE(messageTexts(*m_fx.dialogs), QStringList{QStringLiteral("No Document selected !")});

    const QString file = src(QStringLiteral("kept.jpg"));
    const QString skipped = src(QStringLiteral("skipped.jpg"));
    std::unique_ptr<QMimeData> copy(mimeDataForFiles({file, skipped}));
    grabber.grabFrom(copy.get());
    QImage shot(64, 64, QImage::Format_RGB32);
    shot.fill(Qt::blue);
    QMimeData data;
    data.setImageData(shot);
    grabber.grabFrom(&data);
    QCOMPARE(list->itemCount(), 3);
    const QString temp = list->itemPath(3);
    list->setItemSelected(2, false);

    QStringList offered;
    m_fx.dialogs->pushModal(noteOfferedAndSave(&offered));
    click(&grabber, "cbOK");
    QCOMPARE(offered, (QStringList{file, temp}));
    QCOMPARE(m_fx.pageCount("BookCode = 12"), 2);
    // The grabbed picture went into the library and its temporary file is gone.
    QVERIFY(!QFileInfo::exists(temp));
    QCOMPARE(list->itemCount(), 1);
    QCOMPARE(list->itemPath(1), skipped);

    // The book is chosen through the host's picker; cancelling it keeps the book.
    m_fx.addBook(40, QStringLiteral("Orthodontic plans"), 0);
    auto *book = child<TovraSearch>(&grabber, "SrchBook");
    m_fx.dialogs->pushModal([](QDialog *) { return int(QDialog::Rejected); });
    book->searchButton()->click();
    QCOMPARE(book->bookCode(), kBook);
    m_fx.dialogs->pushModal([](QDialog *d) {
        child<QLineEdit>(d, "txtSearch")->setText(QStringLiteral("ortho"));
        return int(QDialog::Accepted);
    });
    book->searchButton()->click();
    QCOMPARE(book->bookCode(), 40);
    QCOMPARE(book->bookName(), QStringLiteral("Orthodontic plans"));
}

void tst_AddMultipleDocs::grabberCopiesSelectedToAFolder()
{
    SerialGrabber grabber;
    auto *list = child<DocList>(&grabber, "docImgs");
    const QString a = src(QStringLiteral("a.jpg"));
    const QString b = src(QStringLiteral("b.jpg"));
    std::unique_ptr<QMimeData> copy(mimeDataForFiles({a, b}));
    QCOMPARE(grabber.grabFrom(copy.get()), 2);
    const QString folder = m_fx.path(QStringLiteral("usb"));
    QDir().mkpath(folder);
    QVERIFY(writeFile(folder + QStringLiteral("/a.jpg"), "older picture"));

    m_fx.dialogs->pushText(folder);
    click(&grabber, "Command1");
    QCOMPARE(messageTexts(*m_fx.dialogs).value(0),
             QStringLiteral("2 files copied to \"%1\".").arg(folder));
    // What was there stays; the copy takes a free name beside it.
    QCOMPARE(fileContents(folder + QStringLiteral("/a.jpg")), QByteArray("older picture"));
    QCOMPARE(fileContents(folder + QStringLiteral("/a (2).jpg")), fileContents(a));
    QCOMPARE(fileContents(folder + QStringLiteral("/b.jpg")), fileContents(b));
    QCOMPARE(list->itemCount(), 2);
}

void tst_AddMultipleDocs::libraryPastesAndTakesDrops()
{
    auto lib = m_fx.openLibrary(kBook);
    QCOMPARE(lib->currentBookCode(), kBook);

    // A copy in a file manager that offers only its own type still pastes.
    const QString pasted = src(QStringLiteral("pasted.jpg"));
    auto *copied = new QMimeData;
    copied->setData(QStringLiteral("x-special/gnome-copied-files"),
                    "copy\n" + QUrl::fromLocalFile(pasted).toEncoded());
    QGuiApplication::clipboard()->setMimeData(copied);
    QStringList offered;
    m_fx.dialogs->pushModal(noteOfferedAndSave(&offered));
    lib->tbrLibCommand(QStringLiteral("PasteExplorer"));
    QCOMPARE(offered, QStringList{pasted});
    QCOMPARE(lib->pageTable().count(), 1);

    // Files dropped on the pages go the same way, documents included.
    const QString letter = m_fx.path(QStringLiteral("src/referral.pdf"));
    QVERIFY(writeFile(letter, "%PDF-1.4\n"));
    offered.clear();
    m_fx.dialogs->pushModal(noteOfferedAndSave(&offered));
    QVERIFY(dropFiles(child<QWidget>(lib, "PicPages"), {letter, src(QStringLiteral("drop.jpg"))}));
    QCOMPARE(offered.size(), 2);
    QCOMPARE(lib->pageTable().count(), 3);
    QCOMPARE(m_fx.pageCount("EntryType = 5"), 1);

    // The serial grabber opens once, for the book shown, and follows the clipboard.
    QGuiApplication::clipboard()->clear();
    lib->tbrLibCommand(QStringLiteral("SerialGrab"));
    QCOMPARE(m_fx.shownWindows<SerialGrabber>().size(), 1);
    QPointer<SerialGrabber> grabber = m_fx.shownWindows<SerialGrabber>().constFirst();
    QCOMPARE(child<TovraSearch>(grabber.data(), "SrchBook")->bookName(), QStringLiteral("Lee, Ann"));
    QCOMPARE(child<TovraSearch>(grabber.data(), "SrchBook")->bookCode(), kBook);
    QCOMPARE(SerialGrabber::openFor(kBook, QStringLiteral("Lee, Ann")), grabber.data());
    auto *list = child<DocList>(grabber.data(), "docImgs");
    const int before = list->itemCount();
    const QString followed = src(QStringLiteral("follow.jpg"));
    QGuiApplication::clipboard()->setMimeData(mimeDataForFiles({followed}));
    QTRY_COMPARE(list->itemCount(), before + 1);
    QCOMPARE(list->itemPath(list->itemCount()), followed);
    grabber->close();
    QTRY_VERIFY(grabber.isNull());
    QGuiApplication::clipboard()->clear();
}

QTEST_MAIN(tst_AddMultipleDocs)
#include "tst_addmultipledocs.moc"
