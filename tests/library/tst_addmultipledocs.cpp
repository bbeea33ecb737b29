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

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QToolButton>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QDataStream>

using namespace tovradocs;
using namespace tovradocs::Internal;
using Testing::child;

namespace {

constexpr qint32 kBook = 12;

void click(const QObject *window, const char *name) { child<QPushButton>(window, name)->click(); }

QString makePicture(const QString &path, QColor colour = Qt::darkGreen)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(80, 60, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path) ? path : QString();
}

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

    void grabberDuplicateRuleAndDocuments();
    void grabberTakesPicturesAsTemporaryFiles();
    void grabberSurvivesUnusableClipboard();
    void grabberFollowsTheClipboard();
    void grabberSavesIntoTheBook();
    void grabberClearAndDrops();
    void grabberSearchesTheBook();
    void grabberCopiesSelectedToAFolder();
    void libraryPastesAndTakesDrops();

private:
    QString src(const QString &name) { return makePicture(m_fx.path(QStringLiteral("src/") + name)); }
    // Opens the import window for the book on these files; the scripted window decides.
    void addFiles(AddMultipleDocs &window, Dokumentz &docs, const QStringList &files)
    {
        docs.DefSourceID = kBook;
        window.AddMultipleFiles(files, docs);
    }

    LibraryFixture m_fx;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<ResponderGuard> m_guard;
};

void tst_AddMultipleDocs::init()
{
    QVERIFY(m_fx.open());
    m_fx.addBook(kBook, QStringLiteral("Lee, Ann"), 0);
    m_fx.exec(QStringLiteral("Insert Into DocumentCategories (Entry_Code, Description) Values (3, 'X-ray')"));
    m_fx.exec(QStringLiteral("Insert Into DocumentCategories (Entry_Code, Description) Values (5, 'Letter')"));
    m_fx.exec(QStringLiteral("Insert Into SystemLists (Entry_Code, SubID, Description, ParentID) "
                             "Values (901, 14, 'Fade', 71)"));
    m_responder = std::make_unique<ScriptedResponder>();
    m_guard = std::make_unique<ResponderGuard>(m_responder.get());
}

void tst_AddMultipleDocs::cleanup()
{
    m_guard.reset();
    m_responder.reset();
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
    QString categoryShown, transitionShown;
    qint64 categoryHeld = -1;
    bool detailsOffWhenUnselected = false;
    int rows = 0;
    bool listsFilled = false;
    m_responder->pushModal([&](QDialog *d) {
        auto *grid = child<QTableView>(d, "tgFiles");
        auto *model = static_cast<ImportItemsModel *>(grid->model());
        rows = model->rowCount();
        // Row 1: details typed into the frame reach the row when the user moves on.
        child<TovraText>(d, "stDescription")->setText(QStringLiteral("Upper molar"));
        listsFilled = child<TovraCombo>(d, "fcDocCategory")->selectByItemData(3)
                      && child<TovraCombo>(d, "fcTransition")->selectByItemData(14);
        child<TovraCheck>(d, "chkImport")->setChecked(false);
        grid->setCurrentIndex(model->index(1, 1));
        categoryShown = model->index(0, ImportItemsModel::CategoryColumn).data().toString();
        transitionShown = model->index(0, ImportItemsModel::TransitionColumn).data().toString();
        categoryHeld = model->index(0, ImportItemsModel::CategoryColumn).data(Qt::EditRole).toLongLong();
        // Row 2 is left out.
        child<QCheckBox>(d, "chkSelect")->click();
        detailsOffWhenUnselected = !child<QGroupBox>(d, "frmDetails")->isEnabled();
        return saveAndWait(d);
    });
    Dokumentz docs;
    AddMultipleDocs window;
    addFiles(window, docs, files);

    QCOMPARE(rows, 3);
    QVERIFY(listsFilled);
    QCOMPARE(categoryShown, QStringLiteral("X-ray"));
    QCOMPARE(transitionShown, QStringLiteral("Fade"));
    QCOMPARE(categoryHeld, 3);
    QVERIFY(detailsOffWhenUnselected);
    QCOMPARE(window.importedFiles(), (QStringList{files[0], files[2]}));
    QCOMPARE(docs.Count(), 2);
    QCOMPARE(docs.Item(1)->Description, QStringLiteral("Upper molar"));
    QCOMPARE(docs.Item(1)->FileName, files[0]); // not copied: "Copy to Library folder" was cleared
    QCOMPARE(docs.Item(1)->DocCategory, 3);
    QCOMPARE(docs.Item(1)->SlideTransition, 14);
    QVERIFY(docs.Item(2)->FileName.startsWith(m_fx.libraryFolder));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where CTEffect = 14")), 1);
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents")), 2);
}

void tst_AddMultipleDocs::closeImportsNothing()
{
    const QString temp = makePicture(m_fx.path(QStringLiteral("tmp/Tow9.bmp")));
    m_responder->pushModal([&](QDialog *d) {
        click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    AddMultipleDocs window;
    addFiles(window, docs, {src(QStringLiteral("a.jpg")), u'?' + temp});
    QCOMPARE(docs.Count(), 0);
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents")), 0);
    QVERIFY(QFileInfo::exists(temp));
    QVERIFY(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
}

void tst_AddMultipleDocs::failedFileStaysListed()
{
    const QStringList files = {src(QStringLiteral("ok.jpg")), m_fx.path(QStringLiteral("src/missing.png")),
                               src(QStringLiteral("later.jpg"))};
    int rowsLeft = -1;
    bool stayedOpen = false;
    m_responder->pushAnswer(Answer::Ok);
    m_responder->pushModal([&](QDialog *d) {
        saveAndWait(d);
        stayedOpen = d->result() != QDialog::Accepted;
        rowsLeft = child<QTableView>(d, "tgFiles")->model()->rowCount();
        click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    AddMultipleDocs window;
    addFiles(window, docs, files);
    QVERIFY(stayedOpen);
    QCOMPARE(rowsLeft, 2);
    QCOMPARE(window.importedFiles(), QStringList{files[0]});
    const QStringList messages = Testing::messageTexts(*m_responder);
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(QStringLiteral("missing.png")), qPrintable(messages[0]));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents")), 1);
}

void tst_AddMultipleDocs::cancelStopsBetweenFiles()
{
    const QStringList files = {src(QStringLiteral("a.jpg")), src(QStringLiteral("b.jpg"))};
    int rowsLeft = -1;
    bool hadProgress = false;
    m_responder->pushModal([&](QDialog *d) {
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
    AddMultipleDocs window;
    addFiles(window, docs, files);
    QVERIFY(hadProgress);
    QCOMPARE(rowsLeft, 2);
    QVERIFY(window.importedFiles().isEmpty());
    QVERIFY(Testing::messageTexts(*m_responder).isEmpty());
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents")), 0);
}

void tst_AddMultipleDocs::grabberDuplicateRuleAndDocuments()
{
    const QString picture = src(QStringLiteral("cephalo.jpg"));
    const QString letter = m_fx.path(QStringLiteral("src/referral.pdf"));
    QVERIFY(Testing::writeFile(letter, "%PDF-1.4\n"));
    SerialGrabber grabber;
    auto *list = child<DocList>(&grabber, "docImgs");
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
}

void tst_AddMultipleDocs::grabberTakesPicturesAsTemporaryFiles()
{
    SerialGrabber grabber;
    auto *list = child<DocList>(&grabber, "docImgs");
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

void tst_AddMultipleDocs::grabberFollowsTheClipboard()
{
    const QString picture = src(QStringLiteral("follow.jpg"));
    QPointer<SerialGrabber> grabber = SerialGrabber::openFor(kBook, QStringLiteral("Lee, Ann"));
    QCOMPARE(child<TovraSearch>(grabber.data(), "SrchBook")->bookCode(), kBook);
    QCOMPARE(SerialGrabber::openFor(kBook, QStringLiteral("Lee, Ann")), grabber.data());
    auto *list = child<DocList>(grabber.data(), "docImgs");
    const int before = list->itemCount();
    QGuiApplication::clipboard()->setMimeData(mimeDataForFiles({picture}));
    QTRY_COMPARE(list->itemCount(), before + 1);
    QCOMPARE(list->itemPath(list->itemCount()), picture);
    grabber->close();
    QTRY_VERIFY(grabber.isNull());
    QGuiApplication::clipboard()->clear();
}

void tst_AddMultipleDocs::grabberSavesIntoTheBook()
{
    SerialGrabber grabber;
    grabber.GrabFor(kBook, QStringLiteral("Lee, Ann"));
    auto *list = child<DocList>(&grabber, "docImgs");
    click(&grabber, "cmdClear");

    click(&grabber, "cbOK");
    QCOMPARE(Testing::messageTexts(*m_responder), QStringList{QStringLiteral("No Document selected !")});

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
    m_responder->pushModal(noteOfferedAndSave(&offered));
    click(&grabber, "cbOK");
    QCOMPARE(offered, (QStringList{file, temp}));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where BookCode = 12")), 2);
    // The grabbed picture went into the library and its temporary file is gone.
    QVERIFY(!QFileInfo::exists(temp));
    QCOMPARE(list->itemCount(), 1);
    QCOMPARE(list->itemPath(1), skipped);
}

void tst_AddMultipleDocs::grabberClearAndDrops()
{
    SerialGrabber grabber;
    auto *list = child<DocList>(&grabber, "docImgs");
    const QString picture = src(QStringLiteral("dropped.jpg"));
    const QString letter = m_fx.path(QStringLiteral("src/notes.txt"));
    QVERIFY(Testing::writeFile(letter, "notes"));

    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(picture), QUrl::fromLocalFile(letter), QUrl::fromLocalFile(picture)});
    const QPoint at = list->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropEvent(at, Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &dropEvent);
    QCOMPARE(list->itemCount(), 1);
    QCOMPARE(list->itemPath(1), picture);

    // "Remove Selected" takes out the marked items only.
    std::unique_ptr<QMimeData> more(mimeDataForFiles({src(QStringLiteral("b.jpg"))}));
    grabber.grabFrom(more.get());
    list->setItemSelected(2, false);
    click(&grabber, "cmdRemoveSelected");
    QCOMPARE(list->itemCount(), 1);
    QVERIFY(list->itemPath(1).endsWith(QStringLiteral("b.jpg")));
    QVERIFY(QFileInfo::exists(picture)); // an ordinary file is never deleted
}

void tst_AddMultipleDocs::grabberSearchesTheBook()
{
    m_fx.addBook(40, QStringLiteral("Orthodontic plans"), 0);
    SerialGrabber grabber;
    auto *book = child<TovraSearch>(&grabber, "SrchBook");
    book->setBook(kBook, QStringLiteral("Lee, Ann"));

    // Cancelled: the book stays.
    m_responder->pushModal([](QDialog *) { return int(QDialog::Rejected); });
    book->searchButton()->click();
    QCOMPARE(book->bookCode(), kBook);

    m_responder->pushModal([](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("txtSearch"))->setText(QStringLiteral("ortho"));
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
    QVERIFY(Testing::writeFile(folder + QStringLiteral("/a.jpg"), "older picture"));

    m_responder->pushText(folder);
    click(&grabber, "Command1");
    QCOMPARE(Testing::messageTexts(*m_responder).value(0),
             QStringLiteral("2 files copied to \"%1\".").arg(folder));
    // What was there stays; the copy takes a free name beside it.
    QCOMPARE(Testing::fileContents(folder + QStringLiteral("/a.jpg")), QByteArray("older picture"));
    QCOMPARE(Testing::fileContents(folder + QStringLiteral("/a (2).jpg")), Testing::fileContents(a));
    QCOMPARE(Testing::fileContents(folder + QStringLiteral("/b.jpg")), Testing::fileContents(b));
    QCOMPARE(list->itemCount(), 2);
}

void tst_AddMultipleDocs::libraryPastesAndTakesDrops()
{
    TovraLib lib;
    lib.resize(900, 640);
    lib.show();
    QCoreApplication::processEvents();
    auto *books = child<QComboBox>(&lib, "cboBooks");
    books->setCurrentIndex(books->findData(kBook));
    QCOMPARE(lib.currentBookCode(), kBook);

    // A copy in a file manager that offers only its own type still pastes.
    const QString pasted = src(QStringLiteral("pasted.jpg"));
    auto *copied = new QMimeData;
    copied->setData(QStringLiteral("x-special/gnome-copied-files"),
                    "copy\n" + QUrl::fromLocalFile(pasted).toEncoded());
    QGuiApplication::clipboard()->setMimeData(copied);
    QStringList offered;
    m_responder->pushModal(noteOfferedAndSave(&offered));
    lib.tbrLibCommand(QStringLiteral("PasteExplorer"));
    QCOMPARE(offered, QStringList{pasted});
    QCOMPARE(lib.pageTable().count(), 1);

    // Files dropped on the pages go the same way, documents included.
    const QString letter = m_fx.path(QStringLiteral("src/referral.pdf"));
    QVERIFY(Testing::writeFile(letter, "%PDF-1.4\n"));
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(letter), QUrl::fromLocalFile(src(QStringLiteral("drop.jpg")))});
    auto *pages = child<QWidget>(&lib, "PicPages");
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pages, &enter);
    QVERIFY(enter.isAccepted());
    offered.clear();
    m_responder->pushModal(noteOfferedAndSave(&offered));
    QDropEvent dropped(QPoint(20, 20), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pages, &dropped);
    QCOMPARE(offered.size(), 2);
    QCOMPARE(lib.pageTable().count(), 3);
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where EntryType = 5")), 1);

    // The serial grabber opens for the book shown.
    QGuiApplication::clipboard()->clear();
    lib.tbrLibCommand(QStringLiteral("SerialGrab"));
    QPointer<SerialGrabber> grabber;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *g = qobject_cast<SerialGrabber *>(w))
            grabber = g;
    QVERIFY(grabber);
    QCOMPARE(child<TovraSearch>(grabber.data(), "SrchBook")->bookName(), QStringLiteral("Lee, Ann"));
    grabber->close();
    QTRY_VERIFY(grabber.isNull());
}

QTEST_MAIN(tst_AddMultipleDocs)
#include "tst_addmultipledocs.moc"
