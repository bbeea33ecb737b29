#include "libraryfixture.h"

#include "controls/imgview.h"
#include "library/menuman.h"
#include "printing/systemprinter.h"
#include "support/mediafixtures.h"
#include "viewers/viewimg.h"

#include <tovradocs/mediamanager.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDate>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabBar>
#include <QWheelEvent>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

const QString kBookListHead = QStringLiteral("Select Entry_Code , Description from Books  Where ( entry_Code > 0 )");

QCheckBox *check(TovraLib &lib, int slot)
{
    return lib.findChild<QCheckBox *>(QStringLiteral("chkEntries_") + QString::number(slot));
}

QString selected(const TovraLib &lib, int page)
{
    return lib.pageTable().at(PageTable::SelectedRow, page);
}

// A script for the entry details window: notes what it showed, types, saves.
std::function<int(QDialog *)> editDescription(QString *seen, const QString &newText)
{
    return [seen, newText](QDialog *dialog) {
        auto *text = child<QLineEdit>(dialog, "txtDescription");
        if (seen)
            *seen = text->text();
        text->setText(newText);
        child<QPushButton>(dialog, "cbOK")->click();
        return dialog->result();
    };
}

int reject(QDialog *) { return QDialog::Rejected; }

QStringList shownTitles()
{
    QStringList titles;
    for (QWidget *w : LibraryFixture::shownWindows())
        titles << w->windowTitle();
    return titles;
}

// The entry menu a right click on a tile opened, hidden again.
MenuMan *rightClick(TovraLib &lib, QWidget *tile)
{
    QTest::mouseClick(tile, Qt::RightButton, {}, QPoint(5, 5));
    auto *menu = lib.findChild<MenuMan *>();
    if (!menu || !menu->libMenu()->isVisible())
        return nullptr;
    menu->libMenu()->hide();
    return menu;
}

} // namespace

class TestTovraLib : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void bookListForEveryViewAndTab();
    void openingPatientBook();
    void addingBooksAndPatients();
    void deletingAndUndo();
    void indexPicture();
    void selectionSurvivesScrolling();
    void emptyBook();
    void editAndDuplicatePage();
    void externalEditor();
    void pasting();
    void copyToFileManagerAndPrinting();
    void printingSelectedPicturesToPdf();
    void keyboardOnThePageGrid();
    void brokenFilesAndDocumentTiles();
    void videoAndPdfTilesShowTheirContent();
    void indexBoxStandsInForItsPage();
    void openingABookReadsEachRowOnce();
    void filesOfDeletedPagesArePutAwayWhenUndoEnds();
    void oldDeletedFilesGoWhenALibraryFolderIsFirstUsed();
    void viewLibraryFromHost();

private:
    LibraryFixture m_fx;
};

void TestTovraLib::init()
{
    QVERIFY(m_fx.open());
    // Patients' books and practice books under several letters.
    m_fx.addBook(1, QStringLiteral("Maria Lopez"), 11);
    m_fx.addBook(2, QStringLiteral("Mark Chan"), 12);
    m_fx.addBook(3, QStringLiteral("Implant cases"), 0);
    m_fx.addBook(4, QStringLiteral("Marketing"), 0);
}

void TestTovraLib::cleanup()
{
    TovraLib::setPrinterCheck(nullptr);
    m_fx.close();
}

void TestTovraLib::bookListForEveryViewAndTab()
{
    auto lib = m_fx.openLibrary(0);
    auto *books = child<QComboBox>(lib, "cboBooks");
    auto *tabs = child<QTabBar>(lib, "TabAlpha");
    QCOMPARE(tabs->count(), 27);
    QCOMPARE(tabs->tabText(26), QStringLiteral("All"));

    // First showing: every book, the first one chosen and its pages read.
    QCOMPARE(m_fx.link->sqlTexts().constFirst(), kBookListHead);
    QCOMPARE(books->count(), 4);
    QCOMPARE(books->currentIndex(), 0);
    QVERIFY(m_fx.link->sqlTexts().contains(QStringLiteral("Select * From BookContents where (BookCode = %1) AND ( IndexImage = false) ")
                                               .arg(books->currentData().toInt())));

    const struct { const char *option; QString clause; QStringList names; } views[] = {
        {"optView_0", QStringLiteral(" AND ( PatientCode > 0 )"), {"Maria Lopez", "Mark Chan"}},
        {"optView_1", QStringLiteral(" AND ( PatientCode = 0 )"), {"Implant cases", "Marketing"}},
        {"optView_2", QString(), {"Maria Lopez", "Mark Chan", "Implant cases", "Marketing"}},
    };
    for (const auto &view : views) {
        m_fx.link->clear();
        child<QRadioButton>(lib, view.option)->click();
        QCOMPARE(m_fx.link->sqlTexts().value(0), kBookListHead + view.clause);
        QCOMPARE(itemTexts(books), view.names);
        QCOMPARE(books->currentIndex(), 0);
    }

    // Letter tabs narrow the list; "Books" and "M" together.
    child<QRadioButton>(lib, "optView_1")->click();
    m_fx.link->clear();
    tabs->setCurrentIndex(12);
    QCOMPARE(m_fx.link->sqlTexts().value(0),
             kBookListHead + QStringLiteral(" AND ( PatientCode = 0 ) AND  ( Ucase$(Description) Like 'M%' )"));
    QCOMPARE(itemTexts(books), QStringList{"Marketing"});

    m_fx.link->clear();
    tabs->setCurrentIndex(25); // Z: nothing there, nothing chosen
    QCOMPARE(m_fx.link->sqlTexts().size(), 1);
    QCOMPARE(books->count(), 0);
    QVERIFY(!check(*lib, 0)->isVisible());

    // F1 asks for the window's own help topic.
    lib->activateWindow();
    QTest::keyClick(books, Qt::Key_F1);
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("ShowHelp")), QStringList{"W130.htm"});
}

void TestTovraLib::openingPatientBook()
{
    m_fx.addPictures(2, 20, {"Upper jaw"});
    TovraLib lib;
    auto *books = child<QComboBox>(&lib, "cboBooks");
    auto *tabs = child<QTabBar>(&lib, "TabAlpha");
    child<QRadioButton>(&lib, "optView_1")->setChecked(true);

    // An existing book opens without a notice, under its letter, in "Patients".
    lib.DisplayData(true, 12, QStringLiteral("Mark Chan"));
    QCOMPARE(tabs->currentIndex(), 12);
    QVERIFY(child<QRadioButton>(&lib, "optView_0")->isChecked());
    QCOMPARE(books->currentData().toInt(), 2);
    QCOMPARE(lib.pageTable().count(), 1);
    QVERIFY(lib.isVisible());

    // A patient without a book gets one, keyed by the host; lower case goes under "Z".
    lib.DisplayData(true, 31, QStringLiteral("zoe Park"));
    const qint64 code = m_fx.scalar("Select Entry_Code From Books where PatientCode = 31");
    QVERIFY(code > 4);
    QCOMPARE(books->currentData().toLongLong(), code);
    QCOMPARE(books->currentText(), QStringLiteral("zoe Park"));
    QCOMPARE(tabs->currentIndex(), 25);
    QCOMPARE(lib.pageTable().count(), 0);

    // A name that starts with no letter goes under "All".
    lib.DisplayData(true, 32, QStringLiteral("1st visit"));
    QCOMPARE(tabs->currentIndex(), 26);
    QCOMPARE(books->currentText(), QStringLiteral("1st visit"));
    QVERIFY(m_fx.dialogs->prompts().isEmpty());
}

void TestTovraLib::addingBooksAndPatients()
{
    m_fx.exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (12, 'Mark', 'Chan')"));
    m_fx.exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (40, 'Nina', 'Holt')"));
    auto lib = m_fx.openLibrary(0);
    auto *books = child<QComboBox>(lib, "cboBooks");
    auto *add = child<QPushButton>(lib, "cmdAddBook");

    m_fx.dialogs->pushText(QStringLiteral("Ortho cases"));
    add->click();
    const Prompt asked = m_fx.dialogs->prompts().constLast();
    QCOMPARE(asked.kind, Prompt::Input);
    QCOMPARE(asked.text, QStringLiteral("Your Book Name here"));
    QCOMPARE(asked.title, QStringLiteral("Enter Book Name"));
    QCOMPARE(books->currentText(), QStringLiteral("Ortho cases"));
    QCOMPARE(books->currentData().toLongLong(),
             m_fx.scalar("Select Entry_Code From Books where Description = 'Ortho cases' and PatientCode = 0"));

    // An empty answer and a cancel add nothing.
    m_fx.dialogs->pushText(QStringLiteral("   "));
    add->click();
    m_fx.dialogs->pushText(std::nullopt);
    add->click();
    QCOMPARE(m_fx.scalar("Select Count(*) From Books"), 5);
    QCOMPARE(books->count(), 5);

    // A patient's book is made once; asking again says where it is.
    const auto pick = [](const QString &name) {
        return [name](QDialog *dialog) {
            child<QLineEdit>(dialog, "txtSearch")->setText(name);
            return int(QDialog::Accepted);
        };
    };
    m_fx.dialogs->clearPrompts();
    m_fx.dialogs->pushModal(pick(QStringLiteral("chan")));
    m_fx.dialogs->pushAnswer(Answer::Ok);
    child<QPushButton>(lib, "cmdAddPatient")->click();
    QCOMPARE(messageTexts(*m_fx.dialogs),
             QStringList{"Patient : Mark Chan's documents are already included in the book :Mark Chan"});
    QCOMPARE(books->currentData().toInt(), 2);

    m_fx.dialogs->clearPrompts();
    m_fx.dialogs->pushModal(pick(QStringLiteral("holt")));
    child<QPushButton>(lib, "cmdAddPatient")->click();
    QVERIFY(messageTexts(*m_fx.dialogs).isEmpty());
    QCOMPARE(books->currentText(), QStringLiteral("Nina Holt"));
    QCOMPARE(m_fx.scalar("Select Count(*) From Books where PatientCode = 40"), 1);

    // Cancelling the picker changes nothing.
    m_fx.dialogs->pushModal(reject);
    child<QPushButton>(lib, "cmdAddPatient")->click();
    QCOMPARE(books->currentText(), QStringLiteral("Nina Holt"));
}

void TestTovraLib::deletingAndUndo()
{
    const QStringList files = m_fx.addPictures(1, 10, {"Before", "After", "Recall"});
    m_fx.addPictures(2, 20, {"Chan"});
    m_fx.exec(QStringLiteral("Update BookContents Set IndexImage = true, CTEffect = 4, "
                             "SoundFile = '/snd/a.wav' where Entry_Code = 11"));
    const QVariantMap eleven = m_fx.row(11);
    m_fx.host->setSetting(130, true); // the index picture stays among the pages
    auto lib = m_fx.openLibrary(1);
    auto *books = child<QComboBox>(lib, "cboBooks");
    auto *deletePages = child<QPushButton>(lib, "cmdDelSelPages");
    auto *undo = child<QAction>(lib, "cmdUndoDelete");
    QVERIFY(!undo->isEnabled());
    QCOMPARE(undo->shortcut(), QKeySequence(QKeySequence::Undo));

    deletePages->click();
    QCOMPARE(m_fx.pageCount(), 4); // nothing selected, nothing deleted

    // The checked pages go; a misclick is taken back whole.
    check(*lib, 0)->click();
    check(*lib, 1)->click();
    deletePages->click();
    QCOMPARE(m_fx.pageCount("BookCode = 1"), 1);
    QCOMPARE(lib->pageTable().count(), 1);
    QCOMPARE(lib->pageTable().at(PageTable::EntryCodeRow, 1), QStringLiteral("12"));
    QVERIFY(!check(*lib, 0)->isChecked());
    QVERIFY(undo->isEnabled());
    undo->trigger();
    QVERIFY(!undo->isEnabled());
    QCOMPARE(lib->pageTable().count(), 3);
    QCOMPARE(m_fx.row(11), eleven);

    // The book goes without a question, with its pages' rows but not their
    // files, and comes back chosen.
    m_fx.dialogs->clearPrompts();
    child<QPushButton>(lib, "cmdDeleteBook")->click();
    QVERIFY(m_fx.dialogs->prompts().isEmpty());
    QCOMPARE(books->findData(1), -1);
    QCOMPARE(m_fx.pageCount("BookCode = 1"), 0);
    QCOMPARE(m_fx.pageCount("BookCode = 2"), 1);
    for (const QString &file : files)
        QVERIFY(QFile::exists(file));
    undo->trigger();
    QCOMPARE(books->currentData().toInt(), 1);
    QCOMPARE(books->currentText(), QStringLiteral("Maria Lopez"));
    QCOMPARE(m_fx.scalar("Select PatientCode From Books where Entry_Code = 1"), 11);
    QCOMPARE(lib->pageTable().count(), 3);
    QCOMPARE(m_fx.row(11), eleven);

    // Another change to the books ends what can be undone.
    child<QPushButton>(lib, "cmdDeleteBook")->click();
    QVERIFY(undo->isEnabled());
    m_fx.dialogs->pushText(QStringLiteral("Ortho cases"));
    child<QPushButton>(lib, "cmdAddBook")->click();
    QVERIFY(!undo->isEnabled());
}

void TestTovraLib::indexPicture()
{
    const QStringList files = m_fx.addPictures(3, 10, {"One", "Two", "Three"});
    const QString replace = QStringLiteral("Index Image has already been assigned to this entry.\n"
                                           "Do you want to replace it ?");
    for (bool included : {false, true}) {
        m_fx.exec(QStringLiteral("Update BookContents Set IndexImage = false"));
        m_fx.host->setSetting(130, included);
        m_fx.dialogs->clearPrompts();
        auto lib = m_fx.openLibrary(3);
        auto *index = child<ImgView>(lib, "ImxIndexImage");
        // Without a marked picture the book's first one stands in, and says so.
        QCOMPARE(index->fileName(), files[0]);
        QVERIFY2(index->toolTip().contains(QStringLiteral("stands in")), qPrintable(index->toolTip()));

        // Choosing the first index picture replaces nothing, so nothing is asked.
        lib->SetIndexImage(1);
        QVERIFY(m_fx.dialogs->prompts().isEmpty());
        QCOMPARE(m_fx.row(11).value("indeximage").toBool(), true);
        QCOMPARE(index->fileName(), files[1]);
        QCOMPARE(index->toolTip(), QStringLiteral("Index picture of the book"));
        // Left out of the grid, the marked picture leaves it at once.
        QCOMPARE(lib->pageTable().count(), included ? 3 : 2);

        // A marked one is replaced only when the user says so.
        const int third = included ? 2 : 1;
        m_fx.dialogs->pushAnswer(Answer::No);
        lib->SetIndexImage(third);
        QCOMPARE(messageTexts(*m_fx.dialogs), QStringList{replace});
        QCOMPARE(m_fx.pageCount("IndexImage = true and Entry_Code = 11"), 1);
        m_fx.dialogs->pushAnswer(Answer::Yes);
        lib->SetIndexImage(third);
        QCOMPARE(m_fx.pageCount("IndexImage = true"), 1);
        QCOMPARE(m_fx.row(12).value("indeximage").toBool(), true);
        QCOMPARE(index->fileName(), files[2]);

        // Read again, the book still knows its index picture is chosen.
        lib->RefreshDocuments();
        QCOMPARE(index->fileName(), files[2]);
        m_fx.dialogs->pushAnswer(Answer::No);
        lib->SetIndexImage(0);
        QCOMPARE(messageTexts(*m_fx.dialogs), (QStringList{replace, replace, replace}));
    }
}

void TestTovraLib::selectionSurvivesScrolling()
{
    for (int i = 0; i < 40; ++i)
        m_fx.addPage(100 + i, 3, m_fx.picture(QStringLiteral("s%1.png").arg(i)), i % 3 == 2 ? 2 : 1,
                     QStringLiteral("Page %1").arg(i + 1));
    auto lib = m_fx.openLibrary(3, QSize(700, 500));
    auto *scroll = child<QScrollBar>(lib, "fsbControl");
    const int slots = lib->slotCount();
    QVERIFY2(slots > 1 && slots < 40, qPrintable(QString::number(slots)));
    // The last screen ends on the last page.
    QCOMPARE(scroll->minimum(), 1);
    QCOMPARE(scroll->maximum(), 40 - slots + 1);
    QCOMPARE(scroll->pageStep(), slots);

    // Slot 1 shows page 2; the check box writes row 5.
    check(*lib, 1)->click();
    QCOMPARE(selected(*lib, 2), QStringLiteral("1"));
    QCOMPARE(check(*lib, 1)->toolTip(), QStringLiteral("Page 2"));

    scroll->setValue(scroll->maximum());
    QCOMPARE(check(*lib, 0)->property("tag").toString(), QString::number(100 + 40 - slots));
    QCOMPARE(check(*lib, slots - 1)->property("tag").toString(), QStringLiteral("139"));
    QVERIFY(check(*lib, slots - 1)->isVisible());
    QVERIFY(!check(*lib, 0)->isChecked());
    check(*lib, 0)->click();
    QCOMPARE(selected(*lib, 40 - slots + 1), QStringLiteral("1"));

    // Row 5 is the truth when the boxes are drawn again.
    scroll->setValue(1);
    QVERIFY(check(*lib, 1)->isChecked());
    QVERIFY(!check(*lib, 0)->isChecked());
    // Every third page is a video, shown by caption.
    QCOMPARE(child<ImgView>(lib, "ImxPics_2")->caption(), QStringLiteral("Video"));

    lib->tbrLibCommand(QStringLiteral("Select All"));
    for (int page = 1; page <= 40; ++page)
        QCOMPARE(selected(*lib, page), QStringLiteral("1"));
    QVERIFY(check(*lib, 0)->isChecked());
    lib->command(QStringLiteral("DeSelect All"))->trigger();
    QVERIFY(!check(*lib, 1)->isChecked());
    QCOMPARE(selected(*lib, 2), QStringLiteral("0"));
}

void TestTovraLib::emptyBook()
{
    m_fx.addPictures(4, 10, {"Elsewhere"});
    auto lib = m_fx.openLibrary(4);
    auto *books = child<QComboBox>(lib, "cboBooks");
    books->setCurrentIndex(books->findData(3));
    auto *scroll = child<QScrollBar>(lib, "fsbControl");
    QCOMPARE(lib->pageTable().count(), 0);
    QCOMPARE(scroll->maximum(), 1);
    for (int i = 0; i < lib->slotCount(); ++i)
        QVERIFY(!check(*lib, i)->isVisible());
    QVERIFY(child<ImgView>(lib, "ImxPics_0")->fileName().isEmpty());
    QVERIFY(child<ImgView>(lib, "ImxIndexImage")->fileName().isEmpty());
    // Commands on an empty book do nothing and ask nothing.
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    lib->tbrLibCommand(QStringLiteral("Select All"));
    QVERIFY(m_fx.dialogs->prompts().isEmpty());
}

void TestTovraLib::editAndDuplicatePage()
{
    const QStringList files = m_fx.addPictures(3, 10, {"First", "Second", "Third"});
    auto lib = m_fx.openLibrary(3);

    // None selected: nothing opens.
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    QVERIFY(m_fx.dialogs->prompts().isEmpty());

    // Several selected: the first of them.
    QString seen;
    check(*lib, 2)->click();
    check(*lib, 1)->click();
    m_fx.dialogs->pushModal(editDescription(&seen, QStringLiteral("Second, edited")));
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    QCOMPARE(m_fx.dialogs->prompts().size(), 1);
    QCOMPARE(m_fx.dialogs->prompts().constFirst().text, QStringLiteral("EntryDetails"));
    QCOMPARE(seen, QStringLiteral("Second"));
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 2), QStringLiteral("Second, edited"));
    QCOMPARE(check(*lib, 1)->toolTip(), QStringLiteral("Second, edited"));
    QCOMPARE(m_fx.row(11).value("description").toString(), QStringLiteral("Second, edited"));

    // One, through its slot; closing without saving keeps the caption.
    m_fx.dialogs->pushModal(reject);
    lib->EditPageDetails(0);
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 1), QStringLiteral("First"));

    // A duplicate owns a copy of the picture.
    lib->DuplicateEntry(0);
    QCOMPARE(lib->pageTable().count(), 4);
    const QVariantMap copy = m_fx.row(lib->pageTable().at(PageTable::EntryCodeRow, 4).toInt());
    QCOMPARE(copy.value("description").toString(), QStringLiteral("First"));
    QVERIFY(copy.value("filename").toString() != files[0]);
    QCOMPARE(fileContents(copy.value("filename").toString()), fileContents(files[0]));
}

void TestTovraLib::externalEditor()
{
    const QString file = m_fx.picture(QStringLiteral("it's \"a\" pic $HOME.png"));
    m_fx.addPage(10, 3, file, 1, QStringLiteral("Odd name"));
    auto lib = m_fx.openLibrary(3);

    lib->OpenInExternalEditor(0);
    QCOMPARE(messageTexts(*m_fx.dialogs),
             QStringList{"You need to define an external Image Editor under the Library section in the Options window"});

    // A program whose own path has a blank; it writes each argument on a line.
    const QString out = m_fx.path(QStringLiteral("argv.txt"));
    const QString script = m_fx.path(QStringLiteral("my editor.sh"));
    QVERIFY(writeFile(script, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                                  .arg(out).toUtf8()));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_fx.host->setSetting(164, script);
    m_fx.dialogs->clearPrompts();
    lib->OpenInExternalEditor(0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(QString::fromUtf8(fileContents(out)), QStringLiteral("1\n") + file + u'\n');
    QVERIFY(m_fx.dialogs->prompts().isEmpty());

    // With arguments: split as a command line, never by a shell.
    QFile::remove(out);
    m_fx.host->setSetting(164, QString(u'"' + script + QStringLiteral("\" --new-window '$HOME'")));
    lib->OpenInExternalEditor(0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(QString::fromUtf8(fileContents(out)),
             QStringLiteral("3\n--new-window\n'$HOME'\n") + file + u'\n');
}

void TestTovraLib::pasting()
{
    auto lib = m_fx.openLibrary(3);
    QClipboard *clipboard = QGuiApplication::clipboard();

    // Nothing on the clipboard: the user is told, nothing is added.
    clipboard->clear();
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    lib->tbrLibCommand(QStringLiteral("PasteExplorer"));
    QCOMPARE(messageTexts(*m_fx.dialogs), (QStringList{"No Image data found on clipboard !",
                                                    "No files found on clipboard !"}));
    QCOMPARE(m_fx.pageCount(), 0);

    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    clipboard->setImage(picture);

    // Closing the details window of a pasted picture leaves no file, row or window behind.
    m_fx.link->clear();
    m_fx.dialogs->pushModal(reject);
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("NextFileName")).size(), 1);
    QCOMPARE(m_fx.libraryFiles(), QStringList());
    QCOMPARE(m_fx.pageCount(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(LibraryFixture::shownWindows(), QList<QWidget *>{lib.get()});

    m_fx.link->clear();
    QStringList shownWhileDescribing;
    bool keptInSight = false;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        shownWhileDescribing = shownTitles();
        // The description box raises the library window with it; the picture
        // must not end up under it.
        const auto viewers = lib->findChildren<ViewImg *>();
        keptInSight = viewers.size() == 1 && viewers.first()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        return editDescription(nullptr, QStringLiteral("Pasted"))(d);
    });
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    const QStringList names = m_fx.link->callsOf(QStringLiteral("NextFileName"));
    QCOMPARE(names.size(), 1);
    QVERIFY2(names.constFirst().startsWith(QStringLiteral("1, 3, ")) && names.constFirst().endsWith(QStringLiteral(", jpg")),
             qPrintable(names.constFirst()));
    QCOMPARE(lib->pageTable().count(), 1);
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 1), QStringLiteral("Pasted"));
    QCOMPARE(QImage(lib->pageTable().at(PageTable::FileNameRow, 1)).size(), QSize(40, 30));

    // The picture is on screen while it is described; afterwards it is a page
    // and its viewer is gone, paste after paste.
    QVERIFY2(shownWhileDescribing.contains(QStringLiteral("Image pasted from clipboard !")),
             qPrintable(shownWhileDescribing.join(u'|')));
    QVERIFY(keptInSight);
    for (int paste = 2; paste <= 3; ++paste) {
        m_fx.dialogs->pushModal(editDescription(nullptr, QStringLiteral("Pasted %1").arg(paste)));
        lib->tbrLibCommand(QStringLiteral("Paste Image"));
    }
    QCOMPARE(lib->pageTable().count(), 3);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(LibraryFixture::shownWindows(), QList<QWidget *>{lib.get()});
    QCOMPARE(lib->findChildren<ViewImg *>().size(), 0);
}

void TestTovraLib::copyToFileManagerAndPrinting()
{
    const QStringList files = m_fx.addPictures(3, 10, {"A", "B"});
    m_fx.addPage(12, 3, m_fx.path(QStringLiteral("letter.pdf")), 3, QStringLiteral("Letter"));
    auto lib = m_fx.openLibrary(3);
    // Each command's messages, from a clean list.
    const auto run = [&](const QString &command) {
        m_fx.dialogs->clearPrompts();
        lib->tbrExportCommand(command);
        return messageTexts(*m_fx.dialogs);
    };

    QCOMPARE(run(QStringLiteral("CopyToExplorer")), QStringList{"You need to select at least one document !"});
    // Documents are not copied; pictures and videos are.
    lib->tbrLibCommand(QStringLiteral("Select All"));
    QCOMPARE(run(QStringLiteral("CopyToExplorer")), QStringList{"2 files copied to clipboard !"});
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(),
             (QList<QUrl>{QUrl::fromLocalFile(files[0]), QUrl::fromLocalFile(files[1])}));

    TovraLib::setPrinterCheck([] { return false; });
    QCOMPARE(run(QStringLiteral("SelPrint")), QStringList{"Default Printer not available !"});
    TovraLib::setPrinterCheck([] { return true; });
    lib->tbrLibCommand(QStringLiteral("DeSelect All"));
    m_fx.dialogs->pushAnswer(Answer::No);
    QCOMPARE(run(QStringLiteral("SelPrint")), QStringList{"No images selected !\nDo you want to print all images ?"});
    QFile::remove(files[0]);
    QFile::remove(files[1]);
    QCOMPARE(run(QStringLiteral("SelPrint")), QStringList{"No images available for print ! "});
}

void TestTovraLib::printingSelectedPicturesToPdf()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
    m_fx.addPictures(3, 10, {"A", "B", "C"});
    auto lib = m_fx.openLibrary(3);
    lib->tbrLibCommand(QStringLiteral("Select All"));
    check(*lib, 1)->click(); // two of three stay selected
    m_fx.dialogs->pushModal([](QDialog *dialog) {
        auto *printers = child<QComboBox>(dialog, "cboPrinter");
        printers->setCurrentIndex(printers->findText(SystemPrinter::pdfPrinterName()));
        Q_EMIT printers->activated(printers->currentIndex());
        child<QPushButton>(dialog, "cmdPrint")->click();
        return dialog->result();
    });
    const QString pdf = m_fx.path(QStringLiteral("selected.pdf"));
    m_fx.dialogs->pushText(pdf);
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished());
    QVERIFY(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))));
    QCOMPARE(m_fx.pageCount(), 3);
    QVERIFY(!check(*lib, 1)->isChecked());
}

void TestTovraLib::keyboardOnThePageGrid()
{
    m_fx.addPictures(3, 10, {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
                             "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"});
    auto lib = m_fx.openLibrary(3, QSize(900, 400));
    const int columns = lib->columnCount();
    QVERIFY(columns > 1);
    auto *grid = child<QWidget>(lib, "PicPages");
    QCOMPARE(grid->focusPolicy(), Qt::StrongFocus);
    lib->activateWindow();
    grid->setFocus();
    QVERIFY(child<ImgView>(lib, "ImxPics_0")->isCurrent());

    QTest::keyClick(grid, Qt::Key_Right);
    QVERIFY(child<ImgView>(lib, "ImxPics_1")->isCurrent());
    QVERIFY(!child<ImgView>(lib, "ImxPics_0")->isCurrent());
    QTest::keyClick(grid, Qt::Key_Space);
    QVERIFY(check(*lib, 1)->isChecked());
    QVERIFY2(child<ImgView>(lib, "ImxPics_1")->isSelected(), "a chosen page is marked on its tile");
    QCOMPARE(selected(*lib, 2), QStringLiteral("1"));

    // Down past the last row on screen scrolls by whole rows.
    for (int i = 0; i < lib->rowCount(); ++i)
        QTest::keyClick(grid, Qt::Key_Down);
    auto *scroll = child<QScrollBar>(lib, "fsbControl");
    QCOMPARE(scroll->value(), 1 + columns);
    QTest::keyClick(grid, Qt::Key_End);
    QVERIFY(scroll->value() > 1);
    QTest::keyClick(grid, Qt::Key_Home);
    QCOMPARE(scroll->value(), 1);

    // The wheel scrolls a row a notch; half a notch waits for the other half.
    for (auto [delta, value] : {std::pair{-60, 1}, {-60, 1 + columns}, {240, 1}}) {
        QWheelEvent event(QPointF(20, 20), grid->mapToGlobal(QPointF(20, 20)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid, &event);
        QCOMPARE(scroll->value(), value);
    }

    // Enter views the page; the Menu key and Shift+F10 open its menu.
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY2(shownTitles().contains("B"), "Enter opens the page's viewer");
    QTest::keyClick(grid, Qt::Key_Menu);
    auto *menu = lib->findChild<MenuMan *>();
    QVERIFY(menu && menu->libMenu()->isVisible());
    menu->libMenu()->hide();
    QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(menu->libMenu()->isVisible());
    menu->libMenu()->hide();
    LibraryFixture::closeOtherWindows(lib.get());
}

void TestTovraLib::brokenFilesAndDocumentTiles()
{
    const QString empty = m_fx.libraryFolder + QStringLiteral("/empty.jpg");
    const QString garbage = m_fx.libraryFolder + QStringLiteral("/garbage.jpg");
    QVERIFY(writeFile(empty, QByteArray()));
    QVERIFY(writeFile(garbage, "these bytes are no picture at all"));
    m_fx.addPage(10, 3, m_fx.libraryFolder + QStringLiteral("/gone.jpg"), 1, QStringLiteral("Gone"));
    m_fx.addPage(11, 3, empty, 1, QStringLiteral("Empty"));
    m_fx.addPage(12, 3, garbage, 1, QStringLiteral("Garbage"));
    m_fx.addPictures(3, 13, {"Fine"});
    m_fx.addPage(14, 3, m_fx.path(QStringLiteral("clip.avi")), 2, QStringLiteral("Clip"));
    m_fx.addPage(15, 3, m_fx.path(QStringLiteral("referral.pdf")), 3, QStringLiteral("Referral"));
    auto lib = m_fx.openLibrary(3);
    const QStringList expected = {"File missing", "Empty file", "Cannot read picture", ""};
    for (int i = 0; i < 4; ++i) {
        auto *tile = child<ImgView>(lib, qPrintable(QStringLiteral("ImxPics_%1").arg(i)));
        QTRY_VERIFY_WITH_TIMEOUT(tile->hasPicture() || !tile->problem().isEmpty(), 10000);
        QCOMPARE(tile->problem(), expected[i]);
    }

    // Viewing a broken page says what is wrong instead of opening an empty window.
    const int windows = int(QApplication::topLevelWidgets().size());
    m_fx.dialogs->pushAnswer(Answer::Ok);
    QTest::mouseClick(child<ImgView>(lib, "ImxPics_0"), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(messageTexts(*m_fx.dialogs).size(), 1);
    QVERIFY2(messageTexts(*m_fx.dialogs).constFirst().contains(QStringLiteral("File missing")),
             qPrintable(messageTexts(*m_fx.dialogs).constFirst()));
    QCOMPARE(m_fx.dialogs->prompts().constFirst().owner, lib.get());
    QCOMPARE(int(QApplication::topLevelWidgets().size()), windows);

    // A video's menu has no picture-only items; its commands reach its slot.
    MenuMan *menu = rightClick(*lib, child<ImgView>(lib, "ImxPics_4"));
    QVERIFY(menu);
    QVERIFY(!menu->libItem(MenuMan::CopyItem)->isVisible());
    m_fx.dialogs->pushModal(reject);
    menu->libItem(MenuMan::EditPageDetailItem)->trigger();
    QCOMPARE(m_fx.dialogs->prompts().constLast().text, QStringLiteral("EntryDetails"));
    // Documents go to the host's viewer.
    QTest::mouseClick(child<ImgView>(lib, "ImxPics_5"), Qt::LeftButton, {}, QPoint(10, 10));
    const QStringList viewed = m_fx.link->callsOf(QStringLiteral("ViewOtherDocument"));
    QCOMPARE(viewed.size(), 1);
    QVERIFY2(viewed.constFirst().contains(QStringLiteral("referral.pdf")), qPrintable(viewed.constFirst()));
}

void TestTovraLib::videoAndPdfTilesShowTheirContent()
{
    const QString clip = makeClip(m_fx.libraryFolder + QStringLiteral("/clip.avi"), QSize(160, 120),
                                  25, QStringLiteral("red"));
    if (clip.isEmpty())
        QSKIP("gst-launch-1.0 is not installed; the setup script installs it");
    const QString pdf = m_fx.libraryFolder + QStringLiteral("/referral.pdf");
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        painter.fillRect(painter.viewport(), Qt::green);
    }
    const QString notes = m_fx.libraryFolder + QStringLiteral("/notes.txt");
    QVERIFY(writeFile(notes, "Referral to the oral surgeon"));
    m_fx.addPage(10, 3, clip, 2, QStringLiteral("Clip"));
    m_fx.addPage(11, 3, pdf, 3, QStringLiteral("Referral"));
    m_fx.addPage(12, 3, notes, 3, QStringLiteral("Notes"));
    auto lib = m_fx.openLibrary(3);

    const auto centre = [](const ImgView *tile) {
        const QImage shown = tile->shownImage();
        return shown.pixelColor(shown.width() / 2, shown.height() / 2);
    };
    auto *video = child<ImgView>(lib, "ImxPics_0");
    QTRY_VERIFY_WITH_TIMEOUT(video->hasPicture() || !video->problem().isEmpty(), 20000);
    QVERIFY2(video->hasPicture(), qPrintable(video->errorString()));
    QVERIFY2(centre(video).red() > 200 && centre(video).green() < 60, qPrintable(centre(video).name()));
    QVERIFY(video->hasPlayMark());
    // Still a video page by its caption, for whatever cannot draw its frame.
    QCOMPARE(video->caption(), QStringLiteral("Video"));

    auto *document = child<ImgView>(lib, "ImxPics_1");
    QTRY_VERIFY_WITH_TIMEOUT(document->hasPicture() || !document->problem().isEmpty(), 20000);
    QVERIFY2(document->hasPicture(), qPrintable(document->errorString()));
    QVERIFY2(centre(document).green() > 200 && centre(document).red() < 60,
             qPrintable(centre(document).name()));
    QVERIFY(!document->hasPlayMark());

    // Other documents keep their plain tile.
    auto *text = child<ImgView>(lib, "ImxPics_2");
    QVERIFY(text->fileName().isEmpty());
    QCOMPARE(text->caption(), QStringLiteral("Document"));
}

void TestTovraLib::indexBoxStandsInForItsPage()
{
    m_fx.addPictures(3, 10, {"Plain"});
    const QString marked = m_fx.picture(QStringLiteral("m.png"));
    m_fx.addPage(11, 3, marked, 1, QStringLiteral("Marked"), true);
    auto lib = m_fx.openLibrary(3);
    QCOMPARE(lib->pageTable().count(), 1);
    auto *box = child<ImgView>(lib, "ImxIndexImage");
    QCOMPARE(box->fileName(), marked);

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY2(shownTitles().contains("Marked"), qPrintable(shownTitles().join(u'|')));
    LibraryFixture::closeOtherWindows(lib.get());

    // Its menu's commands reach the index page, not a grid slot.
    MenuMan *menu = rightClick(*lib, box);
    QVERIFY(menu);
    QString seen;
    m_fx.dialogs->pushModal(editDescription(&seen, QStringLiteral("Marked, edited")));
    menu->libItem(MenuMan::EditPageDetailItem)->trigger();
    QCOMPARE(seen, QStringLiteral("Marked"));
    QCOMPARE(m_fx.row(11).value("description").toString(), QStringLiteral("Marked, edited"));
}

// The grid's statement reads every page once; the index box needs one row
// more only when its picture is left out of the grid.
void TestTovraLib::openingABookReadsEachRowOnce()
{
    m_fx.addPictures(3, 10, {"One", "Two"});
    m_fx.addPictures(4, 20, {"Plain"});
    const QString marked = m_fx.picture(QStringLiteral("m.png"));
    m_fx.addPage(21, 4, marked, 1, QStringLiteral("Marked"), true);
    auto lib = m_fx.openLibrary(0);
    auto *books = child<QComboBox>(lib, "cboBooks");
    const auto open = [&](qint32 book) {
        books->setCurrentIndex(-1);
        m_fx.link->clear();
        books->setCurrentIndex(books->findData(book));
        // The book's rows; the adjustments table is read once per link.
        return m_fx.link->sqlTexts().filter(QStringLiteral("BookContents"));
    };
    const QString index = QStringLiteral("Select Filename From BookContents where (BookCode = %1 ) "
                                         "And ( EntryType = 1 ) Order by IndexImage");
    const QString pages = QStringLiteral("Select * From BookContents where (BookCode = %1) AND ( IndexImage = false) ");
    QCOMPARE(open(3), (QStringList{index.arg(3), pages.arg(3)}));
    QCOMPARE(open(4), (QStringList{index.arg(4), pages.arg(4),
                                   QStringLiteral("Select * From BookContents where (BookCode = 4 ) "
                                                  "And ( EntryType = 1 ) And ( IndexImage = true) ")}));
    // The one row read is the index page, there for the box's menu and clicks.
    QCOMPARE(child<ImgView>(lib, "ImxIndexImage")->fileName(), marked);
    QCOMPARE(lib->pageTable().count(), 1);
    QTest::mouseClick(child<ImgView>(lib, "ImxIndexImage"), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY2(shownTitles().contains("Marked"), qPrintable(shownTitles().join(u'|')));
    LibraryFixture::closeOtherWindows(lib.get());
}

void TestTovraLib::filesOfDeletedPagesArePutAwayWhenUndoEnds()
{
    const QStringList files = m_fx.addPictures(1, 10, {"Before", "After", "Recall"});
    // Another book's page shares a file; a file outside the library is the user's.
    m_fx.addPage(13, 2, files[1], 1, QStringLiteral("Shared"));
    const QString outside = LibraryFixture::savePicture(m_fx.path(QStringLiteral("Desktop/own.png")));
    m_fx.addPage(14, 1, outside, 1, QStringLiteral("Own"));
    const QString put = m_fx.libraryFolder + QStringLiteral("/Deleted/")
        + QDate::currentDate().toString(Qt::ISODate) + u'/';
    auto lib = m_fx.openLibrary(1);
    auto *undo = child<QAction>(lib, "cmdUndoDelete");
    QVERIFY(child<QPushButton>(lib, "cmdDeleteBook")->toolTip().contains(QStringLiteral("30 days")));

    // While Undo can bring the book back, its files stay where they are.
    child<QPushButton>(lib, "cmdDeleteBook")->click();
    QVERIFY(undo->isEnabled());
    for (const QString &file : files)
        QVERIFY(QFile::exists(file));

    // Undo ends with another change: the book's own files are put away.
    m_fx.dialogs->pushText(QStringLiteral("Ortho cases"));
    child<QPushButton>(lib, "cmdAddBook")->click();
    QVERIFY(!undo->isEnabled());
    QVERIFY(!QFile::exists(files[0]) && !QFile::exists(files[2]));
    QVERIFY(QFile::exists(put + QStringLiteral("10.png")));
    QVERIFY(QFile::exists(put + QStringLiteral("12.png")));
    QVERIFY2(QFile::exists(files[1]), "a file another page shows stays");
    QVERIFY(QFile::exists(outside));
    QCOMPARE(m_fx.scalar("Select Count(*) From BookContents where Entry_Code = 13"), 1);

    // Deleted pages follow: the shared file goes once its last page is deleted
    // and the window closes.
    auto *books = child<QComboBox>(lib, "cboBooks");
    books->setCurrentIndex(books->findData(2));
    check(*lib, 0)->click();
    child<QPushButton>(lib, "cmdDelSelPages")->click();
    QVERIFY(QFile::exists(files[1]));
    lib.reset();
    QVERIFY(!QFile::exists(files[1]));
    QVERIFY(QFile::exists(put + QStringLiteral("11.png")));
    QStringList left = m_fx.libraryFiles();
    left.replaceInStrings(m_fx.libraryFolder, QString());
    QCOMPARE(left, (QStringList{"/Deleted/" + QDate::currentDate().toString(Qt::ISODate) + "/10.png",
                                "/Deleted/" + QDate::currentDate().toString(Qt::ISODate) + "/11.png",
                                "/Deleted/" + QDate::currentDate().toString(Qt::ISODate) + "/12.png"}));
}

void TestTovraLib::oldDeletedFilesGoWhenALibraryFolderIsFirstUsed()
{
    const QString deleted = m_fx.libraryFolder + QStringLiteral("/Deleted/");
    const QString old = QDate::currentDate().addDays(-31).toString(Qt::ISODate);
    const QString recent = QDate::currentDate().addDays(-30).toString(Qt::ISODate);
    const QString expired = m_fx.picture(QStringLiteral("Deleted/%1/4/40.png").arg(old));
    const QString kept = m_fx.picture(QStringLiteral("Deleted/%1/4/41.png").arg(old));
    const QString young = m_fx.picture(QStringLiteral("Deleted/%1/4/42.png").arg(recent));
    const QString unrelated = m_fx.picture(QStringLiteral("Deleted/notes/43.png"));
    // Someone took this file back by hand: a row points at it again.
    m_fx.addPage(41, 4, kept, 1, QStringLiteral("Taken back"));
    auto lib = m_fx.openLibrary(4);
    QVERIFY(!QFile::exists(expired));
    QVERIFY(QFile::exists(kept));
    QVERIFY(QFile::exists(young));
    QVERIFY(QFile::exists(unrelated));
    QVERIFY(QDir(deleted + old + QStringLiteral("/4")).exists());
    QFile::remove(kept);
    lib.reset();
    // Once a process: the next window leaves the folder alone.
    lib = m_fx.openLibrary(4);
    QVERIFY(QDir(deleted + old).exists());
}

void TestTovraLib::viewLibraryFromHost()
{
    m_fx.addPictures(2, 20, {"Chan"});
    const auto shown = &LibraryFixture::shownWindows<TovraLib>;
    MediaManager manager;
    manager.ViewLibrary(true, 12, QStringLiteral("Mark Chan"));
    QCOMPARE(shown().size(), 1);
    QPointer<TovraLib> lib = shown().constFirst();
    QCOMPARE(lib->windowTitle(), QStringLiteral("Document Manager"));
    QCOMPARE(lib->currentBookCode(), 2);
    QVERIFY(TovraLib::isOpen());

    // A second call brings the same window to the practice's books.
    manager.ViewLibrary(false, 0, QString());
    QCOMPARE(shown(), QList<TovraLib *>{lib});
    lib->command(QStringLiteral("Close"))->trigger();
    QTRY_VERIFY(!lib);
    QVERIFY(!TovraLib::isOpen());
}

QTEST_MAIN(TestTovraLib)
#include "tst_tovralib.moc"
