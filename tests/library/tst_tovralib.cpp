#include "libraryfixture.h"

#include "component/dialogservice.h"
#include "controls/imgview.h"
#include "library/menuman.h"
#include "library/tovralib.h"
#include "printing/systemprinter.h"

#include <tovradocs/mediamanager.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

const QString kBookListHead = QStringLiteral("Select Entry_Code , Description from Books  Where ( entry_Code > 0 )");

QStringList comboTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

QCheckBox *check(TovraLib &lib, int slot)
{
    return lib.findChild<QCheckBox *>(QStringLiteral("chkEntries_") + QString::number(slot));
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

} // namespace

class TestTovraLib : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void bookListForEveryViewAndTab();
    void openingPatientBook();
    void addPatientTellsWhenBookExists();
    void addAndDeleteBooks();
    void deleteSelectedPages();
    void indexPicture();
    void selectionSurvivesScrolling();
    void emptyBook();
    void editPageDetails();
    void duplicateEntry();
    void externalEditor();
    void pasting();
    void undoOfDeletes();
    void copyToFileManagerAndPrinting();
    void printingSelectedPicturesToPdf();
    void helpKey();
    void thumbnailClicks();
    void keyboardOnThePageGrid();
    void brokenFilesGetTheirOwnTiles();
    void indexBoxStandsInForItsPage();
    void viewLibraryFromHost();

private:
    std::unique_ptr<TovraLib> openBook(qint32 code, QSize size = QSize(900, 640));

    LibraryFixture m_fx;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<ResponderGuard> m_guard;
};

void TestTovraLib::init()
{
    QVERIFY(m_fx.open());
    // Patients' books and practice books under several letters.
    m_fx.addBook(1, QStringLiteral("Maria Lopez"), 11);
    m_fx.addBook(2, QStringLiteral("Mark Chan"), 12);
    m_fx.addBook(3, QStringLiteral("Implant cases"), 0);
    m_fx.addBook(4, QStringLiteral("Marketing"), 0);
    m_responder = std::make_unique<ScriptedResponder>();
    m_guard = std::make_unique<ResponderGuard>(m_responder.get());
}

void TestTovraLib::cleanup()
{
    m_guard.reset();
    m_responder.reset();
    TovraLib::setPrinterCheck(nullptr);
    m_fx.close();
}

// The window shown with one book chosen; 0 leaves the first book.
std::unique_ptr<TovraLib> TestTovraLib::openBook(qint32 code, QSize size)
{
    auto lib = std::make_unique<TovraLib>();
    lib->resize(size);
    lib->show();
    QCoreApplication::processEvents();
    auto *books = child<QComboBox>(lib, "cboBooks");
    if (code)
        books->setCurrentIndex(books->findData(code));
    return lib;
}

void TestTovraLib::bookListForEveryViewAndTab()
{
    auto lib = openBook(0);
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
        QCOMPARE(comboTexts(books), view.names);
        QCOMPARE(books->currentIndex(), 0);
    }

    // Letter tabs narrow the list; "Books" and "M" together.
    child<QRadioButton>(lib, "optView_1")->click();
    m_fx.link->clear();
    tabs->setCurrentIndex(12);
    QCOMPARE(m_fx.link->sqlTexts().value(0),
             kBookListHead + QStringLiteral(" AND ( PatientCode = 0 ) AND  ( Ucase$(Description) Like 'M%' )"));
    QCOMPARE(comboTexts(books), QStringList{QStringLiteral("Marketing")});

    m_fx.link->clear();
    tabs->setCurrentIndex(25); // Z: nothing there, nothing chosen
    QCOMPARE(m_fx.link->sqlTexts().size(), 1);
    QCOMPARE(books->count(), 0);
    QVERIFY(!check(*lib, 0)->isVisible());
}

void TestTovraLib::openingPatientBook()
{
    m_fx.addPictures(2, 20, {QStringLiteral("Upper jaw")});
    TovraLib lib;
    auto *books = child<QComboBox>(&lib, "cboBooks");
    auto *tabs = child<QTabBar>(&lib, "TabAlpha");
    child<QRadioButton>(&lib, "optView_1")->setChecked(true);
    m_fx.link->clear();

    // An existing book opens without a notice, under its letter, in "Patients".
    lib.DisplayData(true, 12, QStringLiteral("Mark Chan"));
    QCOMPARE(m_fx.link->sqlTexts().value(0), QStringLiteral("Select * From Books where ( Patientcode = 12 ) "));
    QCOMPARE(tabs->currentIndex(), 12);
    QVERIFY(child<QRadioButton>(&lib, "optView_0")->isChecked());
    QCOMPARE(books->currentData().toInt(), 2);
    QCOMPARE(lib.pageTable().count(), 1);
    QVERIFY(lib.isVisible());

    // A patient without a book gets one, keyed by the host; lower case goes under "Z".
    lib.DisplayData(true, 31, QStringLiteral("zoe Park"));
    const qint64 code = m_fx.scalar(QStringLiteral("Select Entry_Code From Books where PatientCode = 31"));
    QVERIFY(code > 4);
    QCOMPARE(books->currentData().toLongLong(), code);
    QCOMPARE(books->currentText(), QStringLiteral("zoe Park"));
    QCOMPARE(tabs->currentIndex(), 25);
    QCOMPARE(lib.pageTable().count(), 0);

    // A name that starts with no letter goes under "All".
    lib.DisplayData(true, 32, QStringLiteral("1st visit"));
    QCOMPARE(tabs->currentIndex(), 26);
    QCOMPARE(books->currentText(), QStringLiteral("1st visit"));
    QVERIFY(m_responder->prompts().isEmpty());
}

void TestTovraLib::addPatientTellsWhenBookExists()
{
    m_fx.exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (12, 'Mark', 'Chan')"));
    m_fx.exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (40, 'Nina', 'Holt')"));
    auto lib = openBook(0);
    auto *books = child<QComboBox>(lib, "cboBooks");
    auto pick = [](const QString &name) {
        return [name](QDialog *dialog) {
            child<QLineEdit>(dialog, "txtSearch")->setText(name);
            return int(QDialog::Accepted);
        };
    };

    m_responder->pushModal(pick(QStringLiteral("chan")));
    m_responder->pushAnswer(Answer::Ok);
    child<QPushButton>(lib, "cmdAddPatient")->click();
    QCOMPARE(messageTexts(*m_responder),
             QStringList{QStringLiteral("Patient : Mark Chan's documents are already included in the book :Mark Chan")});
    QCOMPARE(books->currentData().toInt(), 2);

    m_responder->clearPrompts();
    m_responder->pushModal(pick(QStringLiteral("holt")));
    child<QPushButton>(lib, "cmdAddPatient")->click();
    QVERIFY(messageTexts(*m_responder).isEmpty());
    QCOMPARE(books->currentText(), QStringLiteral("Nina Holt"));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From Books where PatientCode = 40")), 1);

    // Cancelling the picker changes nothing.
    m_responder->pushModal(reject);
    child<QPushButton>(lib, "cmdAddPatient")->click();
    QCOMPARE(books->currentText(), QStringLiteral("Nina Holt"));
}

void TestTovraLib::addAndDeleteBooks()
{
    const QStringList files = m_fx.addPictures(1, 10, {QStringLiteral("Before"), QStringLiteral("After")});
    m_fx.addPictures(2, 20, {QStringLiteral("Chan")});
    auto lib = openBook(0);
    auto *books = child<QComboBox>(lib, "cboBooks");
    auto *add = child<QPushButton>(lib, "cmdAddBook");

    m_responder->pushText(QStringLiteral("Ortho cases"));
    add->click();
    const Prompt asked = m_responder->prompts().constLast();
    QCOMPARE(asked.kind, Prompt::Input);
    QCOMPARE(asked.text, QStringLiteral("Your Book Name here"));
    QCOMPARE(asked.title, QStringLiteral("Enter Book Name"));
    QCOMPARE(books->currentText(), QStringLiteral("Ortho cases"));
    QCOMPARE(books->currentData().toLongLong(),
             m_fx.scalar(QStringLiteral("Select Entry_Code From Books where Description = 'Ortho cases' and PatientCode = 0")));

    // An empty answer and a cancel add nothing.
    m_responder->pushText(QStringLiteral("   "));
    add->click();
    m_responder->pushText(std::nullopt);
    add->click();
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From Books")), 5);
    QCOMPARE(books->count(), 5);

    // Deleting asks nothing, takes the pages' rows and leaves their files.
    books->setCurrentIndex(books->findData(1));
    m_responder->clearPrompts();
    child<QPushButton>(lib, "cmdDeleteBook")->click();
    QVERIFY(m_responder->prompts().isEmpty());
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where BookCode = 1")), 0);
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where BookCode = 2")), 1);
    QVERIFY(QFile::exists(files[0]) && QFile::exists(files[1]));
    QCOMPARE(books->findData(1), -1);
}

void TestTovraLib::deleteSelectedPages()
{
    m_fx.addPictures(3, 10, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
    auto lib = openBook(3);

    // Nothing selected: nothing is deleted.
    m_fx.link->clear();
    child<QPushButton>(lib, "cmdDelSelPages")->click();
    QVERIFY(!m_fx.link->sqlTexts().join(u'\n').contains(QStringLiteral("Delete")));

    check(*lib, 1)->click();
    check(*lib, 3)->click();
    m_fx.link->clear();
    child<QPushButton>(lib, "cmdDelSelPages")->click();
    QStringList deletes = m_fx.link->sqlTexts().filter(QStringLiteral("Delete"));
    QCOMPARE(deletes,
             (QStringList{QStringLiteral("Delete From BookContents where entry_Code = 11"),
                          QStringLiteral("Delete From BookContents where entry_Code = 13")}));
    QCOMPARE(lib->pageTable().count(), 2);
    QCOMPARE(lib->pageTable().at(PageTable::EntryCodeRow, 1), QStringLiteral("10"));
    QCOMPARE(lib->pageTable().at(PageTable::EntryCodeRow, 2), QStringLiteral("12"));
    QVERIFY(!check(*lib, 0)->isChecked() && !check(*lib, 1)->isChecked());
}

void TestTovraLib::indexPicture()
{
    const QStringList files = m_fx.addPictures(3, 10, {QStringLiteral("One"), QStringLiteral("Two")});
    auto lib = openBook(3);
    auto *index = child<ImgView>(lib, "ImxIndexImage");
    // Without a marked picture the book shows its first one.
    QCOMPARE(index->fileName(), files[0]);

    m_responder->pushAnswer(Answer::No);
    lib->SetIndexImage(1);
    QCOMPARE(messageTexts(*m_responder),
             QStringList{QStringLiteral("Index Image has already been assigned to this entry.\nDo you want to replace it ?")});
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where IndexImage = true")), 0);
    QCOMPARE(index->fileName(), files[0]);

    m_responder->pushAnswer(Answer::Yes);
    lib->SetIndexImage(1);
    QCOMPARE(m_fx.row(11).value(QStringLiteral("indeximage")).toBool(), true);
    QCOMPARE(m_fx.row(10).value(QStringLiteral("indeximage")).toBool(), false);
    QCOMPARE(index->fileName(), files[1]);

    // The marked picture leaves the grid when the pages are read again.
    lib->RefreshDocuments();
    QCOMPARE(lib->pageTable().count(), 1);
    QCOMPARE(lib->pageTable().at(PageTable::EntryCodeRow, 1), QStringLiteral("10"));
    QCOMPARE(index->fileName(), files[1]);
}

void TestTovraLib::selectionSurvivesScrolling()
{
    for (int i = 0; i < 40; ++i)
        m_fx.addPage(100 + i, 3, m_fx.picture(QStringLiteral("s%1.png").arg(i)), i % 3 == 2 ? 2 : 1,
                     QStringLiteral("Page %1").arg(i + 1));
    auto lib = openBook(3, QSize(700, 500));
    auto *scroll = child<QScrollBar>(lib, "fsbControl");
    const int slots = lib->slotCount();
    QVERIFY2(slots > 1 && slots < 40, qPrintable(QString::number(slots)));
    QCOMPARE(scroll->minimum(), 1);
    // The last screen ends on the last page.
    QCOMPARE(scroll->maximum(), 40 - slots + 1);
    QCOMPARE(scroll->pageStep(), slots);

    // Slot 1 shows page 2; the check box writes row 5.
    check(*lib, 1)->click();
    QCOMPARE(lib->pageTable().at(PageTable::SelectedRow, 2), QStringLiteral("1"));
    QCOMPARE(check(*lib, 1)->toolTip(), QStringLiteral("Page 2"));

    scroll->setValue(scroll->maximum());
    QCOMPARE(check(*lib, 0)->property("tag").toString(), QString::number(100 + 40 - slots));
    QCOMPARE(check(*lib, slots - 1)->property("tag").toString(), QStringLiteral("139"));
    QVERIFY(check(*lib, slots - 1)->isVisible());
    QVERIFY(!check(*lib, 0)->isChecked());
    check(*lib, 0)->click();
    QCOMPARE(lib->pageTable().at(PageTable::SelectedRow, 40 - slots + 1), QStringLiteral("1"));

    // Row 5 is the truth when the boxes are drawn again.
    scroll->setValue(1);
    QVERIFY(check(*lib, 1)->isChecked());
    QVERIFY(!check(*lib, 0)->isChecked());
    // Every third page is a video, shown by caption.
    QCOMPARE(child<ImgView>(lib, "ImxPics_2")->caption(), QStringLiteral("Video"));

    lib->tbrLibCommand(QStringLiteral("Select All"));
    for (int page = 1; page <= 40; ++page)
        QCOMPARE(lib->pageTable().at(PageTable::SelectedRow, page), QStringLiteral("1"));
    QVERIFY(check(*lib, 0)->isChecked());
    lib->command(QStringLiteral("DeSelect All"))->trigger();
    QVERIFY(!check(*lib, 1)->isChecked());
    QCOMPARE(lib->pageTable().at(PageTable::SelectedRow, 2), QStringLiteral("0"));
}

void TestTovraLib::emptyBook()
{
    m_fx.addPictures(4, 10, {QStringLiteral("Elsewhere")});
    auto lib = openBook(4);
    child<QComboBox>(lib, "cboBooks")->setCurrentIndex(child<QComboBox>(lib, "cboBooks")->findData(3));
    auto *scroll = child<QScrollBar>(lib, "fsbControl");
    QCOMPARE(lib->pageTable().count(), 0);
    QCOMPARE(scroll->minimum(), 1);
    QCOMPARE(scroll->maximum(), 1);
    for (int i = 0; i < lib->slotCount(); ++i)
        QVERIFY(!check(*lib, i)->isVisible());
    QVERIFY(child<ImgView>(lib, "ImxPics_0")->fileName().isEmpty());
    QVERIFY(child<ImgView>(lib, "ImxIndexImage")->fileName().isEmpty());
    // Commands on an empty book do nothing and ask nothing.
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    lib->tbrLibCommand(QStringLiteral("Select All"));
    QVERIFY(m_responder->prompts().isEmpty());
}

void TestTovraLib::editPageDetails()
{
    m_fx.addPictures(3, 10, {QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third")});
    auto lib = openBook(3);

    // None selected: nothing opens.
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    QVERIFY(m_responder->prompts().isEmpty());

    // Several selected: the first of them.
    QString seen;
    check(*lib, 2)->click();
    check(*lib, 1)->click();
    m_responder->pushModal(editDescription(&seen, QStringLiteral("Second, edited")));
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    QCOMPARE(m_responder->prompts().size(), 1);
    QCOMPARE(m_responder->prompts().constFirst().text, QStringLiteral("EntryDetails"));
    QCOMPARE(seen, QStringLiteral("Second"));
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 2), QStringLiteral("Second, edited"));
    QCOMPARE(check(*lib, 1)->toolTip(), QStringLiteral("Second, edited"));
    QCOMPARE(m_fx.row(11).value(QStringLiteral("description")).toString(), QStringLiteral("Second, edited"));

    // One, through its slot; closing without saving keeps the caption.
    m_responder->pushModal(reject);
    lib->EditPageDetails(0);
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 1), QStringLiteral("First"));
}

void TestTovraLib::duplicateEntry()
{
    const QString source = m_fx.addPictures(3, 10, {QStringLiteral("Crown")}).constFirst();
    auto lib = openBook(3);
    lib->DuplicateEntry(0);
    QCOMPARE(lib->pageTable().count(), 2);
    const QVariantMap copy = m_fx.row(lib->pageTable().at(PageTable::EntryCodeRow, 2).toInt());
    QCOMPARE(copy.value(QStringLiteral("description")).toString(), QStringLiteral("Crown"));
    const QString copyFile = copy.value(QStringLiteral("filename")).toString();
    QVERIFY(copyFile != source);
    QCOMPARE(QImage(copyFile).pixelColor(1, 1), QImage(source).pixelColor(1, 1));
}

void TestTovraLib::externalEditor()
{
    const QString file = m_fx.picture(QStringLiteral("it's \"a\" pic $HOME.png"));
    m_fx.addPage(10, 3, file, 1, QStringLiteral("Odd name"));
    auto lib = openBook(3);

    lib->OpenInExternalEditor(0);
    QCOMPARE(messageTexts(*m_responder),
             QStringList{QStringLiteral("You need to define an external Image Editor under the Library section in the Options window")});

    // A program whose own path has a blank; it writes each argument on a line.
    const QString out = m_fx.path(QStringLiteral("argv.txt"));
    const QString script = m_fx.path(QStringLiteral("my editor.sh"));
    QVERIFY(writeFile(script, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                                  .arg(out).toUtf8()));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_fx.host->setSetting(164, script);
    m_responder->clearPrompts();
    lib->OpenInExternalEditor(0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(QString::fromUtf8(fileContents(out)), QStringLiteral("1\n") + file + u'\n');
    QVERIFY(m_responder->prompts().isEmpty());

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
    auto lib = openBook(3);
    QClipboard *clipboard = QGuiApplication::clipboard();

    // Nothing on the clipboard: the user is told, nothing is added.
    clipboard->clear();
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    lib->tbrLibCommand(QStringLiteral("PasteExplorer"));
    QCOMPARE(messageTexts(*m_responder), (QStringList{QStringLiteral("No Image data found on clipboard !"),
                                                      QStringLiteral("No files found on clipboard !")}));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents")), 0);

    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    clipboard->setImage(picture);

    // Closing the details window of a pasted picture leaves no file, row or window behind.
    m_fx.link->clear();
    m_responder->pushModal(reject);
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("NextFileName")).size(), 1);
    QCOMPARE(QDir(m_fx.libraryFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents")), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(w == lib.get() || !w->isVisible(), qPrintable(w->objectName()));

    m_fx.link->clear();
    m_responder->pushModal(editDescription(nullptr, QStringLiteral("Pasted")));
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    const QStringList names = m_fx.link->callsOf(QStringLiteral("NextFileName"));
    QCOMPARE(names.size(), 1);
    QVERIFY2(names.constFirst().startsWith(QStringLiteral("1, 3, ")) && names.constFirst().endsWith(QStringLiteral(", jpg")),
             qPrintable(names.constFirst()));
    QCOMPARE(lib->pageTable().count(), 1);
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 1), QStringLiteral("Pasted"));
    QCOMPARE(QImage(lib->pageTable().at(PageTable::FileNameRow, 1)).size(), QSize(40, 30));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() != QLatin1String("TovraLib"))
            w->close();
}

void TestTovraLib::undoOfDeletes()
{
    const QStringList files = m_fx.addPictures(1, 10, {QStringLiteral("Before"), QStringLiteral("After"),
                                                       QStringLiteral("Recall")});
    m_fx.exec(QStringLiteral("Update BookContents Set IndexImage = true, CTEffect = 4, "
                             "SoundFile = '/snd/a.wav' where Entry_Code = 11"));
    const QVariantMap eleven = m_fx.row(11);
    m_fx.host->setSetting(130, true);
    auto lib = openBook(1);
    QAction *undo = lib->findChild<QAction *>(QStringLiteral("cmdUndoDelete"));
    QVERIFY(undo);
    QVERIFY(!undo->isEnabled());
    QCOMPARE(undo->shortcut(), QKeySequence(QKeySequence::Undo));

    // Pages: a misclick is taken back whole.
    check(*lib, 1)->click();
    check(*lib, 2)->click();
    child<QPushButton>(lib, "cmdDelSelPages")->click();
    QCOMPARE(lib->pageTable().count(), 1);
    QVERIFY(undo->isEnabled());
    undo->trigger();
    QVERIFY(!undo->isEnabled());
    QCOMPARE(lib->pageTable().count(), 3);
    QCOMPARE(m_fx.row(11), eleven);

    // The book with all its pages, chosen again afterwards.
    child<QPushButton>(lib, "cmdDeleteBook")->click();
    auto *books = child<QComboBox>(lib, "cboBooks");
    QCOMPARE(books->findData(1), -1);
    undo->trigger();
    QCOMPARE(books->currentData().toInt(), 1);
    QCOMPARE(books->currentText(), QStringLiteral("Maria Lopez"));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select PatientCode From Books where Entry_Code = 1")), 11);
    QCOMPARE(lib->pageTable().count(), 3);
    QCOMPARE(m_fx.row(11), eleven);
    for (const QString &file : files)
        QVERIFY(QFile::exists(file));

    // Another change to the books ends what can be undone.
    child<QPushButton>(lib, "cmdDeleteBook")->click();
    QVERIFY(undo->isEnabled());
    m_responder->pushText(QStringLiteral("Ortho cases"));
    child<QPushButton>(lib, "cmdAddBook")->click();
    QVERIFY(!undo->isEnabled());
}

void TestTovraLib::copyToFileManagerAndPrinting()
{
    const QStringList files = m_fx.addPictures(3, 10, {QStringLiteral("A"), QStringLiteral("B")});
    m_fx.addPage(12, 3, m_fx.path(QStringLiteral("letter.pdf")), 3, QStringLiteral("Letter"));
    auto lib = openBook(3);

    lib->command(QStringLiteral("CopyToExplorer"))->trigger();
    QCOMPARE(messageTexts(*m_responder).value(0), QStringLiteral("You need to select at least one document !"));

    // Documents are not copied; pictures and videos are.
    m_responder->clearPrompts();
    lib->tbrLibCommand(QStringLiteral("Select All"));
    lib->tbrExportCommand(QStringLiteral("CopyToExplorer"));
    QCOMPARE(messageTexts(*m_responder).value(0), QStringLiteral("2 files copied to clipboard !"));
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(),
             (QList<QUrl>{QUrl::fromLocalFile(files[0]), QUrl::fromLocalFile(files[1])}));

    TovraLib::setPrinterCheck([] { return false; });
    m_responder->clearPrompts();
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QCOMPARE(messageTexts(*m_responder), QStringList{QStringLiteral("Default Printer not available !")});

    TovraLib::setPrinterCheck([] { return true; });
    lib->tbrLibCommand(QStringLiteral("DeSelect All"));
    m_responder->clearPrompts();
    m_responder->pushAnswer(Answer::No);
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QCOMPARE(messageTexts(*m_responder),
             QStringList{QStringLiteral("No images selected !\nDo you want to print all images ?")});

    QFile::remove(files[0]);
    QFile::remove(files[1]);
    m_responder->clearPrompts();
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QCOMPARE(messageTexts(*m_responder), QStringList{QStringLiteral("No images available for print ! ")});
}

void TestTovraLib::printingSelectedPicturesToPdf()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
    m_fx.addPictures(3, 10, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    auto lib = openBook(3);
    const qint64 rows = scalar(*m_fx.host, QStringLiteral("Select count(*) from BookContents"));
    lib->tbrLibCommand(QStringLiteral("Select All"));
    check(*lib, 1)->click(); // two of three stay selected
    m_responder->pushModal([](QDialog *dialog) {
        auto *printers = child<QComboBox>(dialog, "cboPrinter");
        printers->setCurrentIndex(printers->findText(SystemPrinter::pdfPrinterName()));
        Q_EMIT printers->activated(printers->currentIndex());
        child<QPushButton>(dialog, "cmdPrint")->click();
        return dialog->result();
    });
    const QString pdf = m_fx.path(QStringLiteral("selected.pdf"));
    m_responder->pushText(pdf);
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished());
    QVERIFY(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))));
    QCOMPARE(scalar(*m_fx.host, QStringLiteral("Select count(*) from BookContents")), rows);
    QVERIFY(!check(*lib, 1)->isChecked());
}

void TestTovraLib::helpKey()
{
    auto lib = openBook(0);
    lib->activateWindow();
    QTest::keyClick(child<QComboBox>(lib, "cboBooks"), Qt::Key_F1);
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("ShowHelp")), QStringList{QStringLiteral("W130.htm")});
}

void TestTovraLib::thumbnailClicks()
{
    m_fx.addPage(10, 3, m_fx.path(QStringLiteral("clip.avi")), 2, QStringLiteral("Clip"));
    m_fx.addPage(11, 3, m_fx.path(QStringLiteral("referral.pdf")), 3, QStringLiteral("Referral"));
    auto lib = openBook(3);

    // The right button opens the entry menu without the picture-only items.
    QTest::mouseClick(child<ImgView>(lib, "ImxPics_0"), Qt::RightButton, {}, QPoint(10, 10));
    auto *menu = lib->findChild<MenuMan *>();
    QVERIFY(menu && menu->libMenu()->isVisible());
    QVERIFY(!menu->libItem(MenuMan::CopyItem)->isVisible());
    menu->libMenu()->hide();
    // Its commands come back to this window and slot.
    m_responder->pushModal(reject);
    menu->libItem(MenuMan::EditPageDetailItem)->trigger();
    QCOMPARE(m_responder->prompts().constLast().text, QStringLiteral("EntryDetails"));

    // Any other button views the entry: documents go to the host's viewer.
    QTest::mouseClick(child<ImgView>(lib, "ImxPics_1"), Qt::LeftButton, {}, QPoint(10, 10));
    const QStringList viewed = m_fx.link->callsOf(QStringLiteral("ViewOtherDocument"));
    QCOMPARE(viewed.size(), 1);
    QVERIFY2(viewed.constFirst().contains(QStringLiteral("referral.pdf")), qPrintable(viewed.constFirst()));
}

void TestTovraLib::keyboardOnThePageGrid()
{
    m_fx.addPictures(3, 10, {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
                             "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"});
    auto lib = openBook(3, QSize(900, 400));
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
    QCOMPARE(lib->pageTable().at(PageTable::SelectedRow, 2), QStringLiteral("1"));

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
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(20, 20), grid->mapToGlobal(QPointF(20, 20)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid, &event);
    };
    wheel(-60);
    QCOMPARE(scroll->value(), 1);
    wheel(-60);
    QCOMPARE(scroll->value(), 1 + columns);
    wheel(240);
    QCOMPARE(scroll->value(), 1);

    // Enter views the page; the Menu key and Shift+F10 open its menu.
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    bool viewed = false;
    for (QWidget *w : QApplication::topLevelWidgets())
        viewed = viewed || (w != lib.get() && w->isVisible() && w->windowTitle() == QStringLiteral("B"));
    QVERIFY2(viewed, "Enter opens the page's viewer");
    QTest::keyClick(grid, Qt::Key_Menu);
    auto *menu = lib->findChild<MenuMan *>();
    QVERIFY(menu);
    QVERIFY(menu->libMenu()->isVisible());
    menu->libMenu()->hide();
    QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(menu->libMenu()->isVisible());
    menu->libMenu()->hide();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != lib.get())
            w->close();
}

void TestTovraLib::brokenFilesGetTheirOwnTiles()
{
    const QString empty = m_fx.libraryFolder + QStringLiteral("/empty.jpg");
    const QString garbage = m_fx.libraryFolder + QStringLiteral("/garbage.jpg");
    QVERIFY(writeFile(empty, QByteArray()));
    QVERIFY(writeFile(garbage, "these bytes are no picture at all"));
    m_fx.addPage(10, 3, m_fx.libraryFolder + QStringLiteral("/gone.jpg"), 1, QStringLiteral("Gone"));
    m_fx.addPage(11, 3, empty, 1, QStringLiteral("Empty"));
    m_fx.addPage(12, 3, garbage, 1, QStringLiteral("Garbage"));
    m_fx.addPictures(3, 13, {QStringLiteral("Fine")});
    auto lib = openBook(3);
    const QStringList expected = {QStringLiteral("File missing"), QStringLiteral("Empty file"),
                                  QStringLiteral("Cannot read picture"), QString()};
    for (int i = 0; i < 4; ++i) {
        auto *tile = child<ImgView>(lib, qPrintable(QStringLiteral("ImxPics_%1").arg(i)));
        QTRY_VERIFY_WITH_TIMEOUT(tile->hasPicture() || !tile->problem().isEmpty(), 10000);
        QCOMPARE(tile->problem(), expected[i]);
    }

    // Viewing a broken page says what is wrong instead of opening an empty window.
    const int windows = int(QApplication::topLevelWidgets().size());
    m_responder->pushAnswer(Answer::Ok);
    QTest::mouseClick(child<ImgView>(lib, "ImxPics_0"), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(messageTexts(*m_responder).size(), 1);
    QVERIFY2(messageTexts(*m_responder).constFirst().contains(QStringLiteral("File missing")),
             qPrintable(messageTexts(*m_responder).constFirst()));
    QCOMPARE(m_responder->prompts().constFirst().owner, lib.get());
    QCOMPARE(int(QApplication::topLevelWidgets().size()), windows);
}

void TestTovraLib::indexBoxStandsInForItsPage()
{
    m_fx.addPictures(3, 10, {QStringLiteral("Plain")});
    const QString marked = m_fx.picture(QStringLiteral("m.png"));
    m_fx.addPage(11, 3, marked, 1, QStringLiteral("Marked"), true);
    auto lib = openBook(3);
    QCOMPARE(lib->pageTable().count(), 1);
    auto *box = child<ImgView>(lib, "ImxIndexImage");
    QCOMPARE(box->fileName(), marked);

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5));
    QStringList titles;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != lib.get() && w->isVisible())
            titles << w->windowTitle();
    }
    QVERIFY2(titles.contains(QStringLiteral("Marked")), qPrintable(titles.join(u'|')));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != lib.get())
            w->close();

    QTest::mouseClick(box, Qt::RightButton, {}, QPoint(5, 5));
    auto *menu = lib->findChild<MenuMan *>();
    QVERIFY(menu && menu->libMenu()->isVisible());
    menu->libMenu()->hide();
    // Its commands reach the index page, not a grid slot.
    QString seen;
    m_responder->pushModal(editDescription(&seen, QStringLiteral("Marked, edited")));
    menu->libItem(MenuMan::EditPageDetailItem)->trigger();
    QCOMPARE(seen, QStringLiteral("Marked"));
    QCOMPARE(m_fx.row(11).value("description").toString(), QStringLiteral("Marked, edited"));
}

void TestTovraLib::viewLibraryFromHost()
{
    m_fx.addPictures(2, 20, {QStringLiteral("Chan")});
    auto shown = [] {
        QList<TovraLib *> found;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *lib = qobject_cast<TovraLib *>(w); lib && lib->isVisible())
                found.append(lib);
        return found;
    };
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
