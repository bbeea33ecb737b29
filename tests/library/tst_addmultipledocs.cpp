// The batch import window and the serial grabber driven through their
// controls, and the file lists they read from the clipboard and from drops.

#include "libraryfixture.h"
#include "support/mediafixtures.h"

#include "component/dialogservice.h"
#include "controls/doclist.h"
#include "controls/tovracheck.h"
#include "controls/tovracombo.h"
#include "controls/tovrasearch.h"
#include "controls/tovratext.h"
#include "library/addmultipledocs.h"
#include "library/clipboardfiles.h"
#include "library/entrydetails.h"
#include "library/importchecker.h"
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
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QStyle>
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

// Lets the checks of the listed files come to their end.
void waitForChecks(QDialog *d)
{
    auto *window = static_cast<AddMultipleDocs *>(d);
    QSignalSpy checked(window, &AddMultipleDocs::checksFinished);
    if (window->isChecking())
        QVERIFY(checked.wait(20000));
}

// What the grid shows for a row: its tick, what the check says, and whether an icon goes with it.
QString rowShown(QDialog *d, int row)
{
    auto *model = child<QTableView>(d, "tgFiles")->model();
    const QModelIndex check = model->index(row, ImportItemsModel::CheckColumn);
    return QStringLiteral("%1 | %2 | %3")
        .arg(model->index(row, ImportItemsModel::SelectColumn).data(Qt::CheckStateRole).toInt() == Qt::Checked
                 ? "ticked" : "unticked",
             check.data().toString(),
             check.data(Qt::DecorationRole).value<QIcon>().isNull() ? "no icon" : "icon");
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

// The smallest PDF file that has its end.
QByteArray wholePdf() { return "%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%EOF\n"; }

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
    void gridMarksFilesAsTheyAreChecked_data();
    void gridMarksFilesAsTheyAreChecked();
    void checksLeaveTheWindowFree();
    void saveAsksOnceAboutMarkedFiles_data();
    void saveAsksOnceAboutMarkedFiles();
    void summaryCountsAddedSkippedFailed();
    void currentRowEditsSurviveSave_data();
    void currentRowEditsSurviveSave();
    void commentsReachTheEntryEditor();
    void fileListedTwiceIsOneRow();
    void cancelStopsBetweenFiles();

    void grabberTakesPicturesAndFileLists();
    void grabberSurvivesUnusableClipboard();
    void grabberRowsShowPictureNameAndTick_data();
    void grabberRowsShowPictureNameAndTick();
    void grabberSavesIntoTheChosenBook();
    void grabberCopiesSelectedToAFolder();
    void libraryPastesAndTakesDrops();

private:
    // A picture of its own colour, so no two files named differently have the same content.
    QString src(const QString &name)
    {
        return LibraryFixture::savePicture(m_fx.path(QStringLiteral("src/") + name),
                                           QColor::fromHsv(int(qHash(name) % 360), 200, 200));
    }
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

namespace {

enum class Sample { Fine, Scrambled, Empty, CutJpeg, CutPng, CutClip, CutPdf, InBook, TwiceInList };

// A file made as the case needs; first bytes of a good one where the case cuts it.
QString makeSample(Sample sample, const QString &folder)
{
    QDir().mkpath(folder);
    const auto picture = [&](const QString &name, const char *format) {
        QImage image(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 5) % 256, (x ^ y) % 256));
        const QString file = folder + u'/' + name;
        return image.save(file, format) ? file : QString();
    };
    const auto cut = [](const QString &file) {
        QFile f(file);
        return f.resize(f.size() / 2) ? file : QString();
    };
    switch (sample) {
    case Sample::Fine:
    case Sample::InBook:
    case Sample::TwiceInList:
        return picture(QStringLiteral("pano.jpg"), "JPG");
    case Sample::Scrambled: {
        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919) % 251);
        const QString file = folder + QStringLiteral("/scrambled.jpg");
        return writeFile(file, noise) ? file : QString();
    }
    case Sample::Empty: {
        const QString file = folder + QStringLiteral("/blank.png");
        return writeFile(file, QByteArray()) ? file : QString();
    }
    case Sample::CutJpeg:
        return cut(picture(QStringLiteral("cut.jpg"), "JPG"));
    case Sample::CutPng:
        return cut(picture(QStringLiteral("cut.png"), "PNG"));
    case Sample::CutClip:
        return cut(makeMp4Clip(folder + QStringLiteral("/cut.mp4"), QSize(64, 48), 10));
    case Sample::CutPdf: {
        const QString file = folder + QStringLiteral("/cut.pdf");
        return writeFile(file, wholePdf().left(20)) ? file : QString();
    }
    }
    return {};
}

} // namespace

void tst_AddMultipleDocs::gridMarksFilesAsTheyAreChecked_data()
{
    QTest::addColumn<Sample>("sample");
    QTest::addColumn<QString>("shown");
    QTest::newRow("readable") << Sample::Fine << "ticked |  | no icon";
    QTest::newRow("unreadable") << Sample::Scrambled << "unticked | The picture cannot be read. | icon";
    QTest::newRow("empty") << Sample::Empty << "unticked | The file is empty. | icon";
    QTest::newRow("JPEG cut short")
        << Sample::CutJpeg << "unticked | The file is cut short: the picture data ends early. | icon";
    QTest::newRow("PNG cut short")
        << Sample::CutPng << "unticked | The file is cut short: the picture data ends early. | icon";
    QTest::newRow("video cut short")
        << Sample::CutClip << "unticked | The file is cut short: the video ends early or has no index. | icon";
    QTest::newRow("PDF cut short")
        << Sample::CutPdf << "unticked | The file is cut short: the end of the document is missing. | icon";
    QTest::newRow("already in the book")
        << Sample::InBook << "unticked | Already in this book as \"Bitewing left\" (entry 50). | icon";
    QTest::newRow("twice in the list")
        << Sample::TwiceInList << "unticked | The same file as row 1 (pano.jpg). | icon";
}

void tst_AddMultipleDocs::gridMarksFilesAsTheyAreChecked()
{
    QFETCH(Sample, sample);
    QFETCH(QString, shown);
    const QString file = makeSample(sample, m_fx.path(QStringLiteral("src")));
    QVERIFY(!file.isEmpty());
    QStringList files = {file};
    if (sample == Sample::InBook) {
        // The same content under another name is already an entry of the book.
        const QString stored = m_fx.libraryFolder + QStringLiteral("/12/50.JPG");
        QDir().mkpath(QFileInfo(stored).path());
        QVERIFY(QFile::copy(file, stored));
        m_fx.addPage(50, kBook, stored, 1, QStringLiteral("Bitewing left"));
        m_fx.addPage(51, kBook, src(QStringLiteral("other.jpg")), 1, QStringLiteral("Other"));
    }
    if (sample == Sample::TwiceInList) {
        const QString copy = m_fx.path(QStringLiteral("usb/pano copy.jpg"));
        QDir().mkpath(QFileInfo(copy).path());
        QVERIFY(QFile::copy(file, copy));
        files = {file, copy};
    }
    QString seen, details;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        waitForChecks(d);
        const int row = files.size() - 1;
        seen = rowShown(d, row);
        child<QTableView>(d, "tgFiles")->setCurrentIndex(
            child<QTableView>(d, "tgFiles")->model()->index(row, ImportItemsModel::FileNameColumn));
        details = child<QLabel>(d, "lblCheck")->text();
        click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    addFiles(docs, files);
    QCOMPARE(seen, shown);
    // The details of the row say the same.
    QCOMPARE(details, shown.section(QStringLiteral(" | "), 1, 1));
}

void tst_AddMultipleDocs::checksLeaveTheWindowFree()
{
    // The second file's check is held on its worker thread while the user works.
    QSemaphore held, release;
    ImportChecker::setBeforeEachFileHook([&](int row) {
        if (row == 1) {
            held.release();
            release.acquire();
        }
    });
    const QStringList files = {src(QStringLiteral("a.jpg")), src(QStringLiteral("b.jpg")),
                               m_fx.path(QStringLiteral("src/gone.jpg"))};
    QStringList whileHeld;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        // Never leave the worker held, or closing the window would wait for it.
        const auto unhold = qScopeGuard([&] { release.release(); });
        // A wait that runs out shows in whileHeld, which the test compares.
        if (!QTest::qWaitFor([&] { return held.tryAcquire(); }, 20000))
            return int(QDialog::Rejected);
        auto *grid = child<QTableView>(d, "tgFiles");
        if (!QTest::qWaitFor([&] { return rowShown(d, 0) == QStringLiteral("ticked |  | no icon"); }, 20000))
            return int(QDialog::Rejected);
        whileHeld << rowShown(d, 0);
        whileHeld << rowShown(d, 1) << rowShown(d, 2);
        // The window answers meanwhile: the user unticks the first file.
        grid->setCurrentIndex(grid->model()->index(0, ImportItemsModel::FileNameColumn));
        child<QCheckBox>(d, "chkSelect")->click();
        whileHeld << rowShown(d, 0);
        release.release();
        waitForChecks(d);
        whileHeld << rowShown(d, 2);
        return saveAndWait(d);
    });
    Dokumentz docs;
    const QStringList imported = addFiles(docs, files);
    ImportChecker::setBeforeEachFileHook(nullptr);
    QCOMPARE(whileHeld, (QStringList{"ticked |  | no icon", "ticked | Checking... | no icon",
                                     "ticked | Checking... | no icon",
                                     "unticked |  | no icon", "unticked | The file is missing. | icon"}));
    QCOMPARE(imported, QStringList{files[1]});
}

void tst_AddMultipleDocs::saveAsksOnceAboutMarkedFiles_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("stored"); // description=entry type, in order
    QTest::addColumn<bool>("stayedOpen");
    QTest::newRow("import as documents") << Answer::Yes << QStringList{"a.jpg=1", "blank.png=3", "pano.jpg=1"} << false;
    QTest::newRow("skip them") << Answer::No << QStringList{"a.jpg=1"} << false;
    QTest::newRow("back to the list") << Answer::Cancel << QStringList() << true;
}

void tst_AddMultipleDocs::saveAsksOnceAboutMarkedFiles()
{
    QFETCH(Answer, answer);
    QFETCH(QStringList, stored);
    QFETCH(bool, stayedOpen);
    const QString folder = m_fx.path(QStringLiteral("src"));
    const QString duplicate = makeSample(Sample::InBook, folder);
    const QString inBook = m_fx.libraryFolder + QStringLiteral("/12/50.JPG");
    QDir().mkpath(QFileInfo(inBook).path());
    QVERIFY(QFile::copy(duplicate, inBook));
    m_fx.addPage(50, kBook, inBook, 1, QStringLiteral("Bitewing left"));
    const QStringList files = {src(QStringLiteral("a.jpg")), makeSample(Sample::Empty, folder), duplicate};

    bool open = false;
    m_fx.dialogs->pushAnswer(answer);
    m_fx.dialogs->pushModal([&](QDialog *d) {
        waitForChecks(d);
        // The user ticks both marked files again.
        auto *model = child<QTableView>(d, "tgFiles")->model();
        for (int row : {1, 2})
            model->setData(model->index(row, ImportItemsModel::SelectColumn), Qt::Checked, Qt::CheckStateRole);
        saveAndWait(d);
        open = d->result() != QDialog::Accepted;
        if (open)
            click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    addFiles(docs, files);

    const QStringList prompts = messageTexts(*m_fx.dialogs);
    QVERIFY(!prompts.isEmpty());
    // One question, naming each marked file and why.
    const QString question = prompts.first();
    QVERIFY2(question.startsWith(QStringLiteral("2 ticked files are marked:")), qPrintable(question));
    QVERIFY(question.contains(QDir::toNativeSeparators(files[1]) + QStringLiteral(": The file is empty.")));
    QVERIFY(question.contains(QStringLiteral("Already in this book as \"Bitewing left\" (entry 50).")));
    QCOMPARE(prompts.size(), stayedOpen ? 1 : 2); // the question, then the summary
    QCOMPARE(open, stayedOpen);
    QStringList rows;
    const qint64 max = m_fx.scalar(QStringLiteral("Select Max(Entry_Code) From BookContents"));
    for (qint64 code = 51; code <= max; ++code)
        if (const QVariantMap row = m_fx.row(qint32(code)); !row.isEmpty())
            rows << row.value("description").toString() + u'=' + row.value("entrytype").toString();
    QCOMPARE(rows, stored);
}

void tst_AddMultipleDocs::summaryCountsAddedSkippedFailed()
{
    const QString empty = makeSample(Sample::Empty, m_fx.path(QStringLiteral("src")));
    const QString vanishing = src(QStringLiteral("vanishing.jpg"));
    const QStringList files = {src(QStringLiteral("ok.jpg")), src(QStringLiteral("unticked.jpg")), empty,
                               vanishing, src(QStringLiteral("later.jpg"))};
    int rowsLeft = -1;
    QString leftShown;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        waitForChecks(d);
        auto *model = child<QTableView>(d, "tgFiles")->model();
        model->setData(model->index(1, ImportItemsModel::SelectColumn), Qt::Unchecked, Qt::CheckStateRole);
        // Another program moves a file away after it was checked.
        QFile::remove(vanishing);
        saveAndWait(d);
        rowsLeft = model->rowCount();
        leftShown = rowShown(d, rowsLeft - 1);
        click(d, "cbClose");
        return d->result();
    });
    Dokumentz docs;
    QCOMPARE(addFiles(docs, files), (QStringList{files[0], files[4]}));
    const QStringList messages = messageTexts(*m_fx.dialogs);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0], QStringLiteral("Added: 2\nSkipped: 2\nFailed: 1\n\n%1: The file is missing.")
                              .arg(QDir::toNativeSeparators(vanishing)));
    // What failed stays listed and says why, as do the files left out.
    QCOMPARE(rowsLeft, 3);
    QCOMPARE(leftShown, QStringLiteral("unticked | The file is missing. | icon"));
    QCOMPARE(m_fx.pageCount(), 2);
}

void tst_AddMultipleDocs::currentRowEditsSurviveSave_data()
{
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("description typed in the grid") << 0 << "description" << "Edited in the grid";
    QTest::newRow("category chosen in the grid") << 1 << "category" << "3";
    QTest::newRow("comments typed in the details") << 2 << "comments" << "Recall in 6 months";
    QTest::newRow("comments typed, then the grid edited") << 3 << "comments" << "Recall in 6 months";
}

void tst_AddMultipleDocs::currentRowEditsSurviveSave()
{
    QFETCH(int, edit);
    QFETCH(QString, field);
    QFETCH(QString, value);
    m_fx.dialogs->pushModal([&](QDialog *d) {
        waitForChecks(d);
        auto *grid = child<QTableView>(d, "tgFiles");
        const int column = edit == 0 ? ImportItemsModel::DescriptionColumn : ImportItemsModel::CategoryColumn;
        if (edit < 2) {
            // The editor is left open, as when Alt+S is pressed while typing.
            const QModelIndex at = grid->model()->index(0, column);
            grid->setCurrentIndex(at);
            grid->edit(at);
            if (auto *line = grid->viewport()->findChild<QLineEdit *>())
                line->setText(value);
            if (auto *combo = grid->viewport()->findChild<QComboBox *>())
                combo->setCurrentIndex(combo->findData(value.toLongLong()));
        } else {
            child<QPlainTextEdit>(d, "txtComments")->setPlainText(value);
        }
        if (edit == 3)
            grid->model()->setData(grid->model()->index(0, ImportItemsModel::DescriptionColumn),
                                   QStringLiteral("Molar"), Qt::EditRole);
        return saveAndWait(d);
    });
    Dokumentz docs;
    QCOMPARE(addFiles(docs, {src(QStringLiteral("a.jpg"))}).size(), 1);
    const qint64 code = m_fx.scalar(QStringLiteral("Select Max(Entry_Code) From BookContents"));
    QCOMPARE(m_fx.row(qint32(code)).value(field).toString(), value);
}

void tst_AddMultipleDocs::commentsReachTheEntryEditor()
{
    m_fx.dialogs->pushModal([&](QDialog *d) {
        waitForChecks(d);
        child<QPlainTextEdit>(d, "txtComments")->setPlainText(QStringLiteral("Caries distal 36"));
        return saveAndWait(d);
    });
    Dokumentz docs;
    addFiles(docs, {src(QStringLiteral("bitewing.jpg"))});
    const qint32 code = qint32(m_fx.scalar(QStringLiteral("Select Max(Entry_Code) From BookContents")));
    QCOMPARE(m_fx.row(code).value("comments").toString(), QStringLiteral("Caries distal 36"));
    QCOMPARE(docs.Item(1)->Comments, QStringLiteral("Caries distal 36"));

    // The entry editor shows them, and a save of other details keeps them.
    QString shown;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        shown = child<QPlainTextEdit>(d, "txtComments")->toPlainText();
        child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Bitewing right"));
        click(d, "cbOK");
        return d->result();
    });
    EntryDetails editor;
    QCOMPARE(editor.EditLibraryEntry(code, QStringLiteral("Lee, Ann"), nullptr), QStringLiteral("Bitewing right"));
    QCOMPARE(shown, QStringLiteral("Caries distal 36"));
    QCOMPARE(m_fx.row(code).value("comments").toString(), QStringLiteral("Caries distal 36"));
}

void tst_AddMultipleDocs::fileListedTwiceIsOneRow()
{
    // The grabber with duplicates allowed lists a file twice; the import takes it once.
    SerialGrabber grabber;
    grabber.GrabFor(kBook, QStringLiteral("Lee, Ann"));
    click(&grabber, "cmdClear");
    child<QCheckBox>(&grabber, "chkAllowDuplicates")->setChecked(true);
    const QString file = src(QStringLiteral("twice.jpg"));
    std::unique_ptr<QMimeData> copy(mimeDataForFiles({file}));
    grabber.grabFrom(copy.get());
    grabber.grabFrom(copy.get());
    auto *list = child<DocList>(&grabber, "docImgs");
    QCOMPARE(list->itemCount(), 2);
    int rows = -1;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        rows = child<QTableView>(d, "tgFiles")->model()->rowCount();
        return saveAndWait(d);
    });
    click(&grabber, "cbOK");
    QCOMPARE(rows, 1);
    QCOMPARE(m_fx.pageCount(), 1);
    // Both items reached the book, so both leave the list.
    QCOMPARE(list->itemCount(), 0);
}

void tst_AddMultipleDocs::cancelStopsBetweenFiles()
{
    const QStringList files = {src(QStringLiteral("a.jpg")), src(QStringLiteral("b.jpg"))};
    int rowsLeft = -1;
    bool hadProgress = false;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        waitForChecks(d);
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
    QCOMPARE(messageTexts(*m_fx.dialogs),
             QStringList{"Added: 0\nSkipped: 0\nFailed: 0\n\nThe import was cancelled.\n\n"
                         "2 files were not tried and stay listed."});
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
    QVERIFY(LibraryFixture::dropFiles(list->viewport(), {picture, letter, picture}));
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

void tst_AddMultipleDocs::grabberRowsShowPictureNameAndTick_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("default size") << QSize();
    QTest::newRow("made small") << QSize(520, 380);
    QTest::newRow("made large") << QSize(1300, 900);
}

void tst_AddMultipleDocs::grabberRowsShowPictureNameAndTick()
{
    QFETCH(QSize, size);
    SerialGrabber grabber;
    grabber.GrabFor(kBook, QStringLiteral("Lee, Ann"));
    click(&grabber, "cmdClear");
    QVERIFY(QTest::qWaitForWindowExposed(&grabber));
    auto *list = child<DocList>(&grabber, "docImgs");
    // Files whose thumbnails arrive later, and a picture that brings its own.
    QStringList files;
    for (int i = 0; i < 7; ++i)
        files << src(QStringLiteral("IMG_%1 with a long name.jpg").arg(2041 + i));
    std::unique_ptr<QMimeData> copy(mimeDataForFiles(files));
    QCOMPARE(grabber.grabFrom(copy.get()), 7);
    QImage shot(320, 240, QImage::Format_RGB32);
    shot.fill(Qt::darkGreen);
    QMimeData picture;
    picture.setImageData(shot);
    QCOMPARE(grabber.grabFrom(&picture), 1);
    QTRY_COMPARE(ThumbnailProvider::shared()->pendingCount(), 0);
    if (size.isValid())
        grabber.resize(size);
    QTRY_VERIFY(list->viewport()->width() > 0);
    QCoreApplication::processEvents();

    const QFontMetrics metrics(list->font());
    const int indicator = list->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, list);
    QVERIFY(list->iconSize().height() >= 64);
    QStringList faults;
    QList<QRect> seen;
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        const QRect rect = list->visualItemRect(item);
        const QString name = item->text();
        // Room for the picture above its name, and for the tick box beside it.
        if (rect.height() < list->iconSize().height() + metrics.height())
            faults << QStringLiteral("%1: %2 pixels high").arg(name).arg(rect.height());
        if (rect.width() < list->iconSize().width() + indicator)
            faults << QStringLiteral("%1: %2 pixels wide").arg(name).arg(rect.width());
        if (rect.left() < 0 || rect.right() >= list->viewport()->width())
            faults << QStringLiteral("%1: cut at the side").arg(name);
        for (const QRect &other : std::as_const(seen))
            if (other.intersects(rect))
                faults << QStringLiteral("%1: overlaps another").arg(name);
        if (item->icon().isNull() || item->checkState() != Qt::Checked)
            faults << QStringLiteral("%1: no picture or tick").arg(name);
        seen << rect;
    }
    // The first row is in view whole.
    if (!list->viewport()->rect().contains(list->visualItemRect(list->item(0))))
        faults << QStringLiteral("first item not in view");
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    click(&grabber, "cmdClear");
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
    QVERIFY(writeFile(letter, wholePdf()));
    offered.clear();
    m_fx.dialogs->pushModal(noteOfferedAndSave(&offered));
    QVERIFY(LibraryFixture::dropFiles(child<QWidget>(lib, "PicPages"), {letter, src(QStringLiteral("drop.jpg"))}));
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
