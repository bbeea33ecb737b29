#include "libraryfixture.h"

#include "component/dialogservice.h"
#include "controls/imgview.h"
#include "library/menuman.h"
#include "library/tovralib.h"

#include <tovradocs/mediamanager.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

const QString kBookListHead = QStringLiteral("Select Entry_Code , Description from Books  Where ( entry_Code > 0 )");

QStringList messages(const ScriptedResponder &responder)
{
    QStringList texts;
    for (const Prompt &prompt : responder.prompts())
        if (prompt.kind == Prompt::Message)
            texts.append(prompt.text);
    return texts;
}

QStringList comboTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
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
    void addPatientTellsWhenBookExists();
    void addBook();
    void deleteBookKeepsFiles();
    void deleteSelectedPages();
    void indexPicture();
    void indexPictureIncludedAmongPages();
    void selectionSurvivesScrolling();
    void emptyBook();
    void gridFollowsThumbnailSettingsAndResize();
    void editPageDetails();
    void duplicateEntry();
    void externalEditor();
    void pasteImage();
    void copyToFileManagerAndPrinting();
    void laterFeaturesSayTheyAreMissing();
    void helpKey();
    void thumbnailClicks();
    void viewLibraryFromHost();

private:
    std::unique_ptr<TovraLib> openWindow(QSize size = QSize(900, 640));
    QCheckBox *check(TovraLib &lib, int slot);
    void selectBook(TovraLib &lib, qint32 code);

    LibraryFixture m_fx;
    ScriptedResponder *m_responder = nullptr;
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
    m_responder = new ScriptedResponder;
    m_guard = std::make_unique<ResponderGuard>(m_responder);
}

void TestTovraLib::cleanup()
{
    m_guard.reset();
    delete m_responder;
    m_responder = nullptr;
    TovraLib::setPrinterCheck(nullptr);
    m_fx.close();
}

std::unique_ptr<TovraLib> TestTovraLib::openWindow(QSize size)
{
    auto lib = std::make_unique<TovraLib>();
    lib->resize(size);
    lib->show();
    QCoreApplication::processEvents();
    return lib;
}

QCheckBox *TestTovraLib::check(TovraLib &lib, int slot)
{
    return lib.findChild<QCheckBox *>(QStringLiteral("chkEntries_") + QString::number(slot));
}

void TestTovraLib::selectBook(TovraLib &lib, qint32 code)
{
    auto *books = lib.findChild<QComboBox *>(QStringLiteral("cboBooks"));
    const int index = books->findData(code);
    QVERIFY(index >= 0);
    books->setCurrentIndex(index);
}

void TestTovraLib::bookListForEveryViewAndTab()
{
    auto lib = openWindow();
    auto *books = lib->findChild<QComboBox *>(QStringLiteral("cboBooks"));
    auto *tabs = lib->findChild<QTabBar *>(QStringLiteral("TabAlpha"));
    QVERIFY(books && tabs);
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
        lib->findChild<QRadioButton *>(QLatin1String(view.option))->click();
        QCOMPARE(m_fx.link->sqlTexts().value(0), kBookListHead + view.clause);
        QCOMPARE(comboTexts(books), view.names);
        QCOMPARE(books->currentIndex(), 0);
    }

    // Letter tabs narrow the list; "Books" and "M" together.
    lib->findChild<QRadioButton *>(QStringLiteral("optView_1"))->click();
    m_fx.link->clear();
    tabs->setCurrentIndex(12);
    QCOMPARE(m_fx.link->sqlTexts().value(0),
             kBookListHead + QStringLiteral(" AND ( PatientCode = 0 ) AND  ( Ucase$(Description) Like 'M%' )"));
    QCOMPARE(comboTexts(books), QStringList{QStringLiteral("Marketing")});

    m_fx.link->clear();
    tabs->setCurrentIndex(25); // Z: nothing there, nothing chosen
    QCOMPARE(m_fx.link->sqlTexts().size(), 1);
    QCOMPARE(books->count(), 0);
    QCOMPARE(lib->slotCount() > 0, true);
    QVERIFY(!check(*lib, 0)->isVisible());
}

void TestTovraLib::openingPatientBook()
{
    m_fx.addPage(20, 2, m_fx.picture(QStringLiteral("chan1.png")), 1, QStringLiteral("Upper jaw"));
    TovraLib lib;
    auto *books = lib.findChild<QComboBox *>(QStringLiteral("cboBooks"));
    auto *tabs = lib.findChild<QTabBar *>(QStringLiteral("TabAlpha"));
    lib.findChild<QRadioButton *>(QStringLiteral("optView_1"))->setChecked(true);
    m_fx.link->clear();

    // An existing book opens without a notice, under its letter, in "Patients".
    lib.DisplayData(true, 12, QStringLiteral("Mark Chan"));
    QCOMPARE(m_fx.link->sqlTexts().value(0), QStringLiteral("Select * From Books where ( Patientcode = 12 ) "));
    QVERIFY(messages(*m_responder).isEmpty());
    QCOMPARE(tabs->currentIndex(), 12);
    QVERIFY(lib.findChild<QRadioButton *>(QStringLiteral("optView_0"))->isChecked());
    QCOMPARE(books->currentData().toInt(), 2);
    QCOMPARE(lib.pageTable().count(), 1);
    QVERIFY(lib.isVisible());

    // A patient without a book gets one, keyed by the host.
    const qint64 before = m_fx.scalar(QStringLiteral("Select Count(*) From Books"));
    lib.DisplayData(true, 31, QStringLiteral("zoe Park"));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From Books")), before + 1);
    const qint64 code = m_fx.scalar(QStringLiteral("Select Entry_Code From Books where PatientCode = 31"));
    QVERIFY(code > 4);
    QCOMPARE(books->currentData().toLongLong(), code);
    QCOMPARE(books->currentText(), QStringLiteral("zoe Park"));
    QCOMPARE(tabs->currentIndex(), 25); // lower case goes under "Z"
    QCOMPARE(lib.pageTable().count(), 0);

    // A name that starts with no letter goes under "All".
    lib.DisplayData(true, 32, QStringLiteral("1st visit"));
    QCOMPARE(tabs->currentIndex(), 26);
    QCOMPARE(books->currentText(), QStringLiteral("1st visit"));
    QVERIFY(messages(*m_responder).isEmpty());
}

void TestTovraLib::addPatientTellsWhenBookExists()
{
    m_fx.exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (12, 'Mark', 'Chan')"));
    m_fx.exec(QStringLiteral("Insert Into Patients (Entry_Code, FirstName, LastName) Values (40, 'Nina', 'Holt')"));
    auto lib = openWindow();
    auto *books = lib->findChild<QComboBox *>(QStringLiteral("cboBooks"));
    auto pick = [](const QString &name) {
        return [name](QDialog *dialog) {
            auto *search = dialog->findChild<QLineEdit *>(QStringLiteral("txtSearch"));
            if (!search)
                return int(QDialog::Rejected);
            search->setText(name);
            return int(QDialog::Accepted);
        };
    };

    m_responder->pushModal(pick(QStringLiteral("chan")));
    m_responder->pushAnswer(Answer::Ok);
    lib->findChild<QPushButton *>(QStringLiteral("cmdAddPatient"))->click();
    QCOMPARE(messages(*m_responder),
             QStringList{QStringLiteral("Patient : Mark Chan's documents are already included in the book :Mark Chan")});
    QCOMPARE(books->currentData().toInt(), 2);

    m_responder->clearPrompts();
    m_responder->pushModal(pick(QStringLiteral("holt")));
    lib->findChild<QPushButton *>(QStringLiteral("cmdAddPatient"))->click();
    QVERIFY(messages(*m_responder).isEmpty());
    QCOMPARE(books->currentText(), QStringLiteral("Nina Holt"));
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From Books where PatientCode = 40")), 1);

    // Cancelling the picker changes nothing.
    m_responder->pushModal([](QDialog *) { return int(QDialog::Rejected); });
    lib->findChild<QPushButton *>(QStringLiteral("cmdAddPatient"))->click();
    QCOMPARE(books->currentText(), QStringLiteral("Nina Holt"));
}

void TestTovraLib::addBook()
{
    auto lib = openWindow();
    auto *books = lib->findChild<QComboBox *>(QStringLiteral("cboBooks"));
    auto *add = lib->findChild<QPushButton *>(QStringLiteral("cmdAddBook"));

    m_responder->pushText(QStringLiteral("Ortho cases"));
    add->click();
    const Prompt asked = m_responder->prompts().constLast();
    QCOMPARE(asked.kind, Prompt::Input);
    QCOMPARE(asked.text, QStringLiteral("Your Book Name here"));
    QCOMPARE(asked.title, QStringLiteral("Enter Book Name"));
    QCOMPARE(books->currentText(), QStringLiteral("Ortho cases"));
    const qint64 code = m_fx.scalar(QStringLiteral("Select Entry_Code From Books where Description = 'Ortho cases' and PatientCode = 0"));
    QVERIFY(code > 0);
    QCOMPARE(books->currentData().toLongLong(), code);

    // An empty answer and a cancel add nothing.
    const qint64 count = m_fx.scalar(QStringLiteral("Select Count(*) From Books"));
    m_responder->pushText(QStringLiteral("   "));
    add->click();
    m_responder->pushText(std::nullopt);
    add->click();
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From Books")), count);
    QCOMPARE(books->count(), 5);
}

void TestTovraLib::deleteBookKeepsFiles()
{
    const QString a = m_fx.picture(QStringLiteral("lopez1.png"));
    const QString b = m_fx.picture(QStringLiteral("lopez2.png"));
    m_fx.addPage(10, 1, a, 1, QStringLiteral("Before"));
    m_fx.addPage(11, 1, b, 1, QStringLiteral("After"));
    m_fx.addPage(20, 2, m_fx.picture(QStringLiteral("chan.png")), 1, QStringLiteral("Chan"));
    auto lib = openWindow();
    auto *books = lib->findChild<QComboBox *>(QStringLiteral("cboBooks"));
    selectBook(*lib, 1);
    QCOMPARE(lib->pageTable().count(), 2);

    m_fx.link->clear();
    lib->findChild<QPushButton *>(QStringLiteral("cmdDeleteBook"))->click();
    const QStringList sql = m_fx.link->sqlTexts();
    QCOMPARE(sql.value(0), QStringLiteral("Delete From Books where Entry_Code = 1"));
    QCOMPARE(sql.value(1), QStringLiteral("Delete From BookContents where BookCode = 1"));
    QVERIFY(m_responder->prompts().isEmpty()); // no confirmation
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where BookCode = 1")), 0);
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where BookCode = 2")), 1);
    QVERIFY(QFile::exists(a) && QFile::exists(b));
    QCOMPARE(books->findData(1), -1);
    QCOMPARE(books->count(), 3);
}

void TestTovraLib::deleteSelectedPages()
{
    for (int i = 0; i < 4; ++i)
        m_fx.addPage(10 + i, 3, m_fx.picture(QStringLiteral("p%1.png").arg(i)), 1,
                     QStringLiteral("Page %1").arg(i));
    auto lib = openWindow();
    selectBook(*lib, 3);
    QCOMPARE(lib->pageTable().count(), 4);

    // Nothing selected: nothing is deleted.
    m_fx.link->clear();
    lib->findChild<QPushButton *>(QStringLiteral("cmdDelSelPages"))->click();
    QVERIFY(!m_fx.link->sqlTexts().join(u'\n').contains(QStringLiteral("Delete")));

    check(*lib, 1)->click();
    check(*lib, 3)->click();
    m_fx.link->clear();
    lib->findChild<QPushButton *>(QStringLiteral("cmdDelSelPages"))->click();
    QCOMPARE(m_fx.link->sqlTexts().mid(0, 2),
             (QStringList{QStringLiteral("Delete From BookContents where entry_Code = 11"),
                          QStringLiteral("Delete From BookContents where entry_Code = 13")}));
    QCOMPARE(lib->pageTable().count(), 2);
    QCOMPARE(lib->pageTable().at(PageTable::EntryCodeRow, 1), QStringLiteral("10"));
    QCOMPARE(lib->pageTable().at(PageTable::EntryCodeRow, 2), QStringLiteral("12"));
    QVERIFY(!check(*lib, 0)->isChecked() && !check(*lib, 1)->isChecked());
}

void TestTovraLib::indexPicture()
{
    const QString first = m_fx.picture(QStringLiteral("i1.png"));
    const QString second = m_fx.picture(QStringLiteral("i2.png"));
    m_fx.addPage(10, 3, first, 1, QStringLiteral("One"));
    m_fx.addPage(11, 3, second, 1, QStringLiteral("Two"));
    auto lib = openWindow();
    selectBook(*lib, 3);
    auto *index = lib->findChild<ImgView *>(QStringLiteral("ImxIndexImage"));
    QVERIFY(index);
    // Without a marked picture the book shows its first one.
    QCOMPARE(index->fileName(), first);

    const QString question = QStringLiteral("Index Image has already been assigned to this entry.\nDo you want to replace it ?");
    m_responder->pushAnswer(Answer::No);
    lib->SetIndexImage(1);
    QCOMPARE(messages(*m_responder), QStringList{question});
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents where IndexImage = true")), 0);
    QCOMPARE(index->fileName(), first);

    m_responder->pushAnswer(Answer::Yes);
    lib->SetIndexImage(1);
    QCOMPARE(m_fx.row(11).value(QStringLiteral("indeximage")).toBool(), true);
    QCOMPARE(m_fx.row(10).value(QStringLiteral("indeximage")).toBool(), false);
    QCOMPARE(index->fileName(), second);

    // The marked picture leaves the grid when the pages are read again.
    lib->RefreshDocuments();
    QCOMPARE(lib->pageTable().count(), 1);
    QCOMPARE(lib->pageTable().at(PageTable::EntryCodeRow, 1), QStringLiteral("10"));
    QCOMPARE(index->fileName(), second);
}

void TestTovraLib::indexPictureIncludedAmongPages()
{
    m_fx.host->setSetting(130, true);
    const QString marked = m_fx.picture(QStringLiteral("m.png"));
    m_fx.addPage(10, 3, m_fx.picture(QStringLiteral("n.png")), 1, QStringLiteral("Plain"));
    m_fx.addPage(11, 3, marked, 1, QStringLiteral("Marked"), true);
    auto lib = openWindow();
    m_fx.link->clear();
    selectBook(*lib, 3);
    QCOMPARE(m_fx.link->sqlTexts().contains(QStringLiteral("Select * From BookContents where (BookCode = 3)")), true);
    QCOMPARE(lib->pageTable().count(), 2);
    QCOMPARE(lib->findChild<ImgView *>(QStringLiteral("ImxIndexImage"))->fileName(), marked);
}

void TestTovraLib::selectionSurvivesScrolling()
{
    for (int i = 0; i < 40; ++i)
        m_fx.addPage(100 + i, 3, m_fx.picture(QStringLiteral("s%1.png").arg(i)), i % 3 == 2 ? 2 : 1,
                     QStringLiteral("Page %1").arg(i + 1));
    auto lib = openWindow(QSize(700, 500));
    selectBook(*lib, 3);
    auto *scroll = lib->findChild<QScrollBar *>(QStringLiteral("fsbControl"));
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
    auto *third = lib->findChild<ImgView *>(QStringLiteral("ImxPics_2"));
    QCOMPARE(third->caption(), QStringLiteral("Video"));
    QVERIFY(third->fileName().isEmpty());

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
    m_fx.addPage(10, 4, m_fx.picture(QStringLiteral("e.png")), 1, QStringLiteral("Elsewhere"));
    auto lib = openWindow();
    selectBook(*lib, 4);
    selectBook(*lib, 3);
    auto *scroll = lib->findChild<QScrollBar *>(QStringLiteral("fsbControl"));
    QCOMPARE(lib->pageTable().count(), 0);
    QCOMPARE(scroll->minimum(), 1);
    QCOMPARE(scroll->maximum(), 1);
    for (int i = 0; i < lib->slotCount(); ++i) {
        QVERIFY(!check(*lib, i)->isVisible());
        QVERIFY(lib->findChild<ImgView *>(QStringLiteral("ImxPics_%1").arg(i))->fileName().isEmpty());
    }
    QVERIFY(lib->findChild<ImgView *>(QStringLiteral("ImxIndexImage"))->fileName().isEmpty());
    // Commands on an empty book do nothing and ask nothing.
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    lib->tbrLibCommand(QStringLiteral("Select All"));
    QVERIFY(m_responder->prompts().isEmpty());
}

void TestTovraLib::gridFollowsThumbnailSettingsAndResize()
{
    m_fx.host->setSetting(57, 100);
    m_fx.host->setSetting(58, 80);
    for (int i = 0; i < 3; ++i)
        m_fx.addPage(10 + i, 3, m_fx.picture(QStringLiteral("g%1.png").arg(i)), 1, QStringLiteral("G"));
    auto lib = openWindow(QSize(900, 640));
    selectBook(*lib, 3);
    auto *area = lib->findChild<QWidget *>(QStringLiteral("PicPages"));
    auto *scroll = lib->findChild<QScrollBar *>(QStringLiteral("fsbControl"));
    auto *first = lib->findChild<ImgView *>(QStringLiteral("ImxPics_0"));
    QCOMPARE(first->size(), QSize(100, 80));
    // Cells are thumbnail + 100 twips wide and + 680 twips high.
    const int cellW = 100 + 7, cellH = 80 + 45;
    QCOMPARE(lib->columnCount(), std::max(1, (area->width() - scroll->width()) / cellW));
    QCOMPARE(lib->rowCount(), std::max(1, area->height() / cellH));
    QCOMPARE(lib->slotCount(), lib->rowCount() * lib->columnCount());
    auto *second = lib->findChild<ImgView *>(QStringLiteral("ImxPics_1"));
    QCOMPARE(second->x() - first->x(), cellW);
    QCOMPARE(check(*lib, 0)->y(), first->geometry().bottom() + 1 + 7);

    // A wider window gets more columns and keeps drawing the same pages.
    const int columns = lib->columnCount();
    lib->resize(1250, 640);
    QCoreApplication::processEvents();
    QVERIFY(lib->columnCount() > columns);
    QVERIFY(check(*lib, 2)->isVisible());
    QCOMPARE(check(*lib, 2)->property("tag").toString(), QStringLiteral("12"));
}

void TestTovraLib::editPageDetails()
{
    m_fx.addPage(10, 3, m_fx.picture(QStringLiteral("d1.png")), 1, QStringLiteral("First"));
    m_fx.addPage(11, 3, m_fx.picture(QStringLiteral("d2.png")), 1, QStringLiteral("Second"));
    m_fx.addPage(12, 3, m_fx.picture(QStringLiteral("d3.png")), 1, QStringLiteral("Third"));
    auto lib = openWindow();
    selectBook(*lib, 3);

    // None selected: nothing opens.
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    QVERIFY(m_responder->prompts().isEmpty());

    QString seen;
    auto edit = [&seen](const QString &newText) {
        return [&seen, newText](QDialog *dialog) {
            auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("txtDescription"));
            auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("cbOK"));
            if (!text || !ok)
                return int(QDialog::Rejected);
            seen = text->text();
            text->setText(newText);
            ok->click();
            return dialog->result();
        };
    };

    // Several selected: the first of them.
    check(*lib, 2)->click();
    check(*lib, 1)->click();
    m_responder->pushModal(edit(QStringLiteral("Second, edited")));
    lib->tbrLibCommand(QStringLiteral("Edit Page Details"));
    QCOMPARE(m_responder->prompts().size(), 1);
    QCOMPARE(m_responder->prompts().constFirst().text, QStringLiteral("EntryDetails"));
    QCOMPARE(seen, QStringLiteral("Second"));
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 2), QStringLiteral("Second, edited"));
    QCOMPARE(check(*lib, 1)->toolTip(), QStringLiteral("Second, edited"));
    QCOMPARE(m_fx.row(11).value(QStringLiteral("description")).toString(), QStringLiteral("Second, edited"));

    // One, through its slot; closing without saving keeps the caption.
    m_responder->pushModal([](QDialog *) { return int(QDialog::Rejected); });
    lib->EditPageDetails(0);
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 1), QStringLiteral("First"));
}

void TestTovraLib::duplicateEntry()
{
    const QString source = m_fx.picture(QStringLiteral("dup.png"), Qt::red);
    m_fx.addPage(10, 3, source, 1, QStringLiteral("Crown"));
    m_fx.exec(QStringLiteral("Update BookContents set EntryDate = '2020-01-02' where Entry_Code = 10"));
    auto lib = openWindow();
    selectBook(*lib, 3);
    m_fx.link->clear();
    lib->DuplicateEntry(0);
    QVERIFY(m_fx.link->sqlTexts().contains(QStringLiteral("Select * from BookContents where Entry_Code =10")));
    QCOMPARE(lib->pageTable().count(), 2);
    const qint32 copyCode = lib->pageTable().at(PageTable::EntryCodeRow, 2).toInt();
    QVERIFY(copyCode != 10 && copyCode > 0);
    const QVariantMap copy = m_fx.row(copyCode);
    QCOMPARE(copy.value(QStringLiteral("description")).toString(), QStringLiteral("Crown"));
    QCOMPARE(copy.value(QStringLiteral("bookcode")).toInt(), 3);
    QCOMPARE(copy.value(QStringLiteral("entrytype")).toInt(), 1);
    QCOMPARE(copy.value(QStringLiteral("entrydate")).toDate(), QDate::currentDate());
    QCOMPARE(copy.value(QStringLiteral("indeximage")).toBool(), false);
    const QString copyFile = copy.value(QStringLiteral("filename")).toString();
    QVERIFY(copyFile != source);
    QVERIFY(QFile::exists(copyFile));
    QCOMPARE(QImage(copyFile).pixelColor(1, 1), QColor(Qt::red));
}

void TestTovraLib::externalEditor()
{
    const QString file = m_fx.picture(QStringLiteral("it's \"a\" pic $HOME.png"));
    m_fx.addPage(10, 3, file, 1, QStringLiteral("Odd name"));
    auto lib = openWindow();
    selectBook(*lib, 3);

    lib->OpenInExternalEditor(0);
    QCOMPARE(messages(*m_responder),
             QStringList{QStringLiteral("You need to define an external Image Editor under the Library section in the Options window")});

    // A program whose own path has a blank; it writes each argument on a line.
    const QString out = m_fx.path(QStringLiteral("argv.txt"));
    const QString script = m_fx.path(QStringLiteral("my editor.sh"));
    QFile sh(script);
    QVERIFY(sh.open(QIODevice::WriteOnly));
    sh.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                 .arg(out).toUtf8());
    sh.close();
    sh.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_fx.host->setSetting(164, script);
    m_responder->clearPrompts();
    lib->OpenInExternalEditor(0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QFile result(out);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(result.readAll()), QStringLiteral("1\n") + file + u'\n');
    QVERIFY(m_responder->prompts().isEmpty());
}

void TestTovraLib::pasteImage()
{
    auto lib = openWindow();
    selectBook(*lib, 3);
    QClipboard *clipboard = QGuiApplication::clipboard();

    // Nothing on the clipboard: the user is told, nothing is added.
    clipboard->clear();
    m_fx.link->clear();
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    QCOMPARE(messages(*m_responder), QStringList{QStringLiteral("No Image data found on clipboard !")});
    QCOMPARE(m_fx.scalar(QStringLiteral("Select Count(*) From BookContents")), 0);

    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    clipboard->setImage(picture);
    m_responder->clearPrompts();
    m_fx.link->clear();
    m_responder->pushModal([](QDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("txtDescription"))->setText(QStringLiteral("Pasted"));
        dialog->findChild<QPushButton *>(QStringLiteral("cbOK"))->click();
        return dialog->result();
    });
    lib->tbrLibCommand(QStringLiteral("Paste Image"));
    const QStringList names = m_fx.link->callsOf(QStringLiteral("NextFileName"));
    QCOMPARE(names.size(), 1);
    QVERIFY2(names.constFirst().startsWith(QStringLiteral("1, 3, ")) && names.constFirst().endsWith(QStringLiteral(", jpg")),
             qPrintable(names.constFirst()));
    QCOMPARE(lib->pageTable().count(), 1);
    QCOMPARE(lib->pageTable().at(PageTable::DescriptionRow, 1), QStringLiteral("Pasted"));
    const QString stored = lib->pageTable().at(PageTable::FileNameRow, 1);
    QVERIFY(QFile::exists(stored));
    QCOMPARE(QImage(stored).size(), QSize(40, 30));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() != QLatin1String("TovraLib"))
            w->close();
}

void TestTovraLib::copyToFileManagerAndPrinting()
{
    const QString a = m_fx.picture(QStringLiteral("c1.png"));
    const QString b = m_fx.picture(QStringLiteral("c2.png"));
    m_fx.addPage(10, 3, a, 1, QStringLiteral("A"));
    m_fx.addPage(11, 3, b, 1, QStringLiteral("B"));
    m_fx.addPage(12, 3, m_fx.path(QStringLiteral("letter.pdf")), 3, QStringLiteral("Letter"));
    auto lib = openWindow();
    selectBook(*lib, 3);

    lib->command(QStringLiteral("CopyToExplorer"))->trigger();
    QCOMPARE(messages(*m_responder).value(0), QStringLiteral("You need to select at least one document !"));

    // Documents are not copied; pictures and videos are.
    m_responder->clearPrompts();
    lib->tbrLibCommand(QStringLiteral("Select All"));
    lib->tbrExportCommand(QStringLiteral("CopyToExplorer"));
    QCOMPARE(messages(*m_responder).value(0), QStringLiteral("2 files copied to clipboard !"));
    const QList<QUrl> urls = QGuiApplication::clipboard()->mimeData()->urls();
    QCOMPARE(urls, (QList<QUrl>{QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}));

    TovraLib::setPrinterCheck([] { return false; });
    m_responder->clearPrompts();
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QCOMPARE(messages(*m_responder), QStringList{QStringLiteral("Default Printer not available !")});

    TovraLib::setPrinterCheck([] { return true; });
    lib->tbrLibCommand(QStringLiteral("DeSelect All"));
    m_responder->clearPrompts();
    m_responder->pushAnswer(Answer::No);
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QCOMPARE(messages(*m_responder),
             QStringList{QStringLiteral("No images selected !\nDo you want to print all images ?")});

    QFile::remove(a);
    QFile::remove(b);
    m_responder->clearPrompts();
    lib->tbrExportCommand(QStringLiteral("SelPrint"));
    QCOMPARE(messages(*m_responder), QStringList{QStringLiteral("No images available for print ! ")});
}

void TestTovraLib::laterFeaturesSayTheyAreMissing()
{
    auto lib = openWindow();
    const struct { const char *key; bool exportBar; const char *text; } commands[] = {
        {"Capture", false, "Capture is not available in this build."},
        {"Scan", false, "Scanning is not available in this build."},
        {"SerialGrab", false, "The serial grabber is not available in this build."},
    };
    for (const auto &c : commands) {
        m_responder->clearPrompts();
        lib->command(QLatin1String(c.key))->trigger();
        QCOMPARE(messages(*m_responder), QStringList{QLatin1String(c.text)});
    }

    // Every toolbar key has its picture and its tool tip.
    for (const char *key : {"Capture", "Scan", "Paste Image", "PasteExplorer", "SerialGrab", "Load Image",
                            "Load Video", "Add Document", "Select All", "DeSelect All", "Close",
                            "CopyToExplorer", "SelViewWindow", "View Selected Entry", "SelEmail",
                            "SelPrint", "SelViewShow"}) {
        QAction *action = lib->command(QLatin1String(key));
        QVERIFY2(action, key);
        QVERIFY2(!action->icon().isNull(), key);
        QVERIFY2(!action->toolTip().isEmpty(), key);
    }
    QCOMPARE(lib->command(QStringLiteral("PasteExplorer"))->toolTip(), QStringLiteral("Paste From Explorer"));
    QCOMPARE(lib->command(QStringLiteral("SelViewShow"))->text(), QStringLiteral("Slide Show"));

    // Paste from the file manager with no files on the clipboard.
    QGuiApplication::clipboard()->clear();
    m_responder->clearPrompts();
    lib->tbrLibCommand(QStringLiteral("PasteExplorer"));
    QCOMPARE(messages(*m_responder), QStringList{QStringLiteral("No files found on clipboard !")});
}

void TestTovraLib::helpKey()
{
    auto lib = openWindow();
    lib->activateWindow();
    QTest::keyClick(lib->findChild<QComboBox *>(QStringLiteral("cboBooks")), Qt::Key_F1);
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("ShowHelp")), QStringList{QStringLiteral("W130.htm")});
    QCOMPARE(lib->GetWindowID(), 130);
}

void TestTovraLib::thumbnailClicks()
{
    m_fx.addPage(10, 3, m_fx.path(QStringLiteral("clip.avi")), 2, QStringLiteral("Clip"));
    m_fx.addPage(11, 3, m_fx.path(QStringLiteral("referral.pdf")), 3, QStringLiteral("Referral"));
    auto lib = openWindow();
    selectBook(*lib, 3);
    auto *video = lib->findChild<ImgView *>(QStringLiteral("ImxPics_0"));
    auto *document = lib->findChild<ImgView *>(QStringLiteral("ImxPics_1"));
    QCOMPARE(document->caption(), QStringLiteral("Document"));

    // The right button opens the entry menu without the picture-only items.
    QTest::mouseClick(video, Qt::RightButton, {}, QPoint(10, 10));
    auto *menu = lib->findChild<MenuMan *>();
    QVERIFY(menu);
    QVERIFY(menu->libMenu()->isVisible());
    QVERIFY(!menu->libItem(MenuMan::CopyItem)->isVisible());
    QVERIFY(!menu->libItem(MenuMan::SetIndexImageItem)->isVisible());
    QVERIFY(menu->libItem(MenuMan::EditPageDetailItem)->isVisible());
    menu->libMenu()->hide();
    // Its commands come back to this window and slot.
    m_responder->pushModal([](QDialog *dialog) {
        return dialog->objectName() == QLatin1String("EntryDetails") ? int(QDialog::Rejected) : -1;
    });
    menu->libItem(MenuMan::EditPageDetailItem)->trigger();
    QCOMPARE(m_responder->prompts().constLast().text, QStringLiteral("EntryDetails"));

    // Any other button views the entry: documents go to the host's viewer.
    QTest::mouseClick(document, Qt::LeftButton, {}, QPoint(10, 10));
    const QStringList viewed = m_fx.link->callsOf(QStringLiteral("ViewOtherDocument"));
    QCOMPARE(viewed.size(), 1);
    QVERIFY2(viewed.constFirst().contains(QStringLiteral("referral.pdf")), qPrintable(viewed.constFirst()));
}

void TestTovraLib::viewLibraryFromHost()
{
    m_fx.addPage(20, 2, m_fx.picture(QStringLiteral("chan.png")), 1, QStringLiteral("Chan"));
    auto topLibraries = [] {
        QList<TovraLib *> found;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *lib = qobject_cast<TovraLib *>(w); lib && lib->isVisible())
                found.append(lib);
        return found;
    };
    {
        MediaManager manager;
        manager.ViewLibrary(true, 12, QStringLiteral("Mark Chan"));
        QCOMPARE(topLibraries().size(), 1);
        TovraLib *lib = topLibraries().constFirst();
        QCOMPARE(lib->windowTitle(), QStringLiteral("Document Manager"));
        QCOMPARE(lib->currentBookCode(), 2);
        QCOMPARE(lib->pageTable().count(), 1);
        QVERIFY(TovraLib::isOpen());

        // A second call brings the same window to the practice's books.
        manager.ViewLibrary(false, 0, QString());
        QCOMPARE(topLibraries(), QList<TovraLib *>{lib});
        QPointer<TovraLib> guard(lib);
        lib->command(QStringLiteral("Close"))->trigger();
        QTRY_VERIFY(!guard);
    }
    QVERIFY(!TovraLib::isOpen());
}

QTEST_MAIN(TestTovraLib)
#include "tst_tovralib.moc"
