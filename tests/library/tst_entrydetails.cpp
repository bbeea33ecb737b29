#include "library/entrydetails.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "library/librarycopier.h"
#include "controls/tovracombo.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFile>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using tovradocs::Testing::RecordingDataLink;
using tovradocs::Testing::openTestHost;
using tovradocs::Testing::messageTexts;

namespace {

void click(QDialog *dialog, const char *name)
{
    Testing::child<QPushButton>(dialog, name)->click();
}

} // namespace

class TestEntryDetails : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void validationWritesNothing_data();
    void validationWritesNothing();
    void newEntryTakesItsKeyAtSave();
    void chosenListsStoreTheirItemData();
    void editingLoadsAndSavesWithoutANewKey();
    void closingAnEditKeepsTheRow();
    void durationAndSoundFile();
    void newFileIsCopiedIntoTheLibraryAtSave();
    void enterMovesOnAndNeverSaves_data();
    void enterMovesOnAndNeverSaves();

private:
    qint64 contentCount()
    {
        return Testing::scalar(*m_host, QStringLiteral("Select Count(*) From BookContents"));
    }
    QVariantMap row(qint32 entryCode) { return Testing::contentRow(*m_host, entryCode); }
    qint32 insertPage(qint32 code, qint32 ctEffect, qint32 category);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_link;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<ResponderGuard> m_guard;
    QString m_file;
};

void TestEntryDetails::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_host = openTestHost(m_dir->path(), true); // the demo brings effects and categories
    QVERIFY(m_host);
    m_link = std::make_shared<RecordingDataLink>(m_host);
    setHostLink(m_link, nullptr);
    m_responder = std::make_unique<ScriptedResponder>();
    m_guard = std::make_unique<ResponderGuard>(m_responder.get());
    m_file = m_dir->filePath(QStringLiteral("Library/scan.jpg"));
}

void TestEntryDetails::cleanup()
{
    m_guard.reset();
    m_responder.reset();
    clearHostLink();
    m_link.reset();
    m_host.reset();
    m_dir.reset();
}

qint32 TestEntryDetails::insertPage(qint32 code, qint32 ctEffect, qint32 category)
{
    m_host->ExecuteStmt(
        false,
        QStringLiteral(
            "Insert Into BookContents (Entry_Code, BookCode, FileName, Description, EntryType, "
            "EntryDate, "
            "IndexImage, CTEffect, Category, PlaySound, SoundFile, OnScreenTime, Comments) Values "
            "(%1, 3, 'LIBRARY\\x.jpg', 'Before treatment', 1, '2024-03-05', false, %2, %3, true, "
            "'/snd/bell.wav', 45, 'Shade A2')")
            .arg(code)
            .arg(ctEffect)
            .arg(category));
    return code;
}

void TestEntryDetails::validationWritesNothing_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message"); // empty: closed without saving
    QTest::newRow("no file") << QString() << "Panoramic" << "Cannot proceed without a valid document";
    QTest::newRow("no description")
        << "/lib/scan.jpg" << QString() << "Cannot Proceed without a valid description for this entry.";
    QTest::newRow("closed without saving") << "/lib/scan.jpg" << "typed, then thought better" << QString();
}

void TestEntryDetails::validationWritesNothing()
{
    QFETCH(QString, file);
    QFETCH(QString, description);
    QFETCH(QString, message);

    const qint64 before = contentCount();
    bool stayedOpen = false;
    m_responder->pushAnswer(Answer::Ok);
    m_responder->pushModal([&](QDialog *d) {
        Testing::child<QLineEdit>(d, "txtDescription")->setText(description);
        if (!message.isEmpty()) {
            click(d, "cbOK");
            stayedOpen = d->isVisible();
        }
        click(d, "cbClose");
        return d->result();
    });
    EntryDetails details;
    QString text = QStringLiteral("was here");
    QCOMPARE(details.AddLibraryEntry(1, QStringLiteral("Ann Lee"), 4, file, text, nullptr), 0);
    QCOMPARE(stayedOpen, !message.isEmpty());
    QCOMPARE(messageTexts(*m_responder), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(text.isEmpty());
    QCOMPARE(contentCount(), before);
    QVERIFY(m_link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
}

void TestEntryDetails::newEntryTakesItsKeyAtSave()
{
    const qint64 before = contentCount();
    int keysBeforeSave = -1;
    QString shownBook;
    QString shownFile;
    QString suggested;
    m_responder->pushModal([&](QDialog *d) {
        keysBeforeSave = int(m_link->callsOf(QStringLiteral("GenerateEntrycode")).size());
        shownBook = Testing::child<QLabel>(d, "lblBookName")->text();
        shownFile = Testing::child<QLabel>(d, "lblFileName")->text();
        suggested = Testing::child<QLineEdit>(d, "txtDescription")->text();
        Testing::child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Upper arch"));
        Testing::child<QDateEdit>(d, "DtpEntryDate")->setDate(QDate(2025, 1, 31));
        click(d, "cbOK");
        return d->result();
    });
    EntryDetails details;
    QString text = QStringLiteral("suggested");
    // Books of the practice come with negative codes from some callers.
    const qint32 key
        = details.AddLibraryEntry(2, QStringLiteral("Practice book"), -7, m_file, text, nullptr);
    QCOMPARE(keysBeforeSave, 0);
    QCOMPARE(shownBook, QStringLiteral("Practice book"));
    QCOMPARE(suggested, QStringLiteral("suggested"));
    QCOMPARE(shownFile, m_file);
    QVERIFY(key > 0);
    QCOMPARE(text, QStringLiteral("Upper arch"));
    QCOMPARE(m_link->callsOf(QStringLiteral("GenerateEntrycode")),
             QStringList {QStringLiteral("false, BookContents, Entry_code")});
    QCOMPARE(contentCount(), before + 1);

    const QVariantMap r = row(key);
    QCOMPARE(r.value("bookcode").toInt(), 7);
    QCOMPARE(r.value("entrytype").toInt(), 2);
    QCOMPARE(r.value("filename").toString(), m_file);
    QCOMPARE(r.value("description").toString(), QStringLiteral("Upper arch"));
    QCOMPARE(r.value("entrydate").toDate(), QDate(2025, 1, 31));
    QVERIFY(!r.value("indeximage").toBool());
    QCOMPARE(r.value("onscreentime").toInt(), 2);
    QCOMPARE(m_responder->prompts().size(), 1); // the window itself, no message
}

void TestEntryDetails::chosenListsStoreTheirItemData()
{
    QStringList effects;
    QStringList categories;
    m_responder->pushModal([&](QDialog *d) {
        auto *transition = Testing::child<QComboBox>(d, "cboTransition");
        auto *category = Testing::child<TovraCombo>(d, "fcDocCategory");
        for (int i = 0; i < transition->count(); ++i)
            effects << transition->itemText(i);
        for (int i = 0; i < category->count(); ++i)
            categories << category->itemText(i);
        transition->setCurrentIndex(transition->findText(QStringLiteral("Dissolve")));
        category->setCurrentIndex(category->comboBox()->findText(QStringLiteral("X-Rays")));
        Testing::child<QCheckBox>(d, "chkPlaySound")->setChecked(true);
        Testing::child<QLineEdit>(d, "txtSndFile")->setText(QStringLiteral("/snd/chime.wav"));
        Testing::child<QScrollBar>(d, "hsbOnScreenTime")->setValue(12);
        Testing::child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Bitewing"));
        Testing::child<QPlainTextEdit>(d, "txtComments")->setPlainText(QStringLiteral("Shade A2\nrecheck"));
        click(d, "cbOK");
        return d->result();
    });
    EntryDetails details;
    QString text;
    const qint32 key
        = details.AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, m_file, text, nullptr);
    QVERIFY(key > 0);
    QVERIFY(effects.contains(QStringLiteral("Dissolve")));
    QCOMPARE(categories.value(0), QStringLiteral("(None)"));
    QVERIFY(categories.contains(QStringLiteral("X-Rays")));
    QVERIFY(m_link->sqlTexts().contains(QStringLiteral(
        "Select  Description , Entry_Code from SystemLists  where   ParentID = 71 ")));
    QVERIFY(m_link->sqlTexts().contains(
        QStringLiteral("Select  Description , Entry_Code from DocumentCategories  where   Entry_Code > 0 ")));

    const QVariantMap r = row(key);
    QCOMPARE(r.value("cteffect").toInt(), 3); // Dissolve's Entry_Code
    QCOMPARE(r.value("category").toInt(), 6); // X-Rays
    QVERIFY(r.value("playsound").toBool());
    QCOMPARE(r.value("soundfile").toString(), QStringLiteral("/snd/chime.wav"));
    QCOMPARE(r.value("onscreentime").toInt(), 12);
    QCOMPARE(r.value("comments").toString(), QStringLiteral("Shade A2\nrecheck"));
}

void TestEntryDetails::editingLoadsAndSavesWithoutANewKey()
{
    const qint32 code = insertPage(9001, 5, 2);
    QString loadedDescription;
    QString effect;
    QString category;
    bool playSound = false;
    QString duration;
    QString comments;
    m_responder->pushModal([&](QDialog *d) {
        loadedDescription = Testing::child<QLineEdit>(d, "txtDescription")->text();
        comments = Testing::child<QPlainTextEdit>(d, "txtComments")->toPlainText();
        effect = Testing::child<QComboBox>(d, "cboTransition")->currentText();
        category = Testing::child<TovraCombo>(d, "fcDocCategory")->currentText();
        playSound = Testing::child<QCheckBox>(d, "chkPlaySound")->isChecked();
        duration = Testing::child<QLabel>(d, "lblDuration")->text();
        Testing::child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("After treatment"));
        click(d, "cbOK");
        return d->result();
    });
    m_link->clear();
    EntryDetails details;
    QCOMPARE(details.EditLibraryEntry(code, QStringLiteral("Ann Lee"), nullptr),
             QStringLiteral("After treatment"));
    QCOMPARE(loadedDescription, QStringLiteral("Before treatment"));
    QCOMPARE(effect, QStringLiteral("Wipe Right")); // Entry_Code 5
    QCOMPARE(category, QStringLiteral("Consent Forms")); // Entry_Code 2
    QVERIFY(playSound);
    QCOMPARE(duration, QStringLiteral("45 seconds"));
    QCOMPARE(comments, QStringLiteral("Shade A2"));
    QVERIFY(m_link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
    QVERIFY(m_link->sqlTexts().contains(
        QStringLiteral("Select * From BookContents where Entry_Code = 9001")));

    const QVariantMap r = row(code);
    QCOMPARE(r.value("description").toString(), QStringLiteral("After treatment"));
    QCOMPARE(r.value("cteffect").toInt(), 5);
    QCOMPARE(r.value("category").toInt(), 2);
    QCOMPARE(r.value("entrydate").toDate(), QDate(2024, 3, 5));
}

void TestEntryDetails::closingAnEditKeepsTheRow()
{
    // An effect the list does not know is written back as it was.
    const qint32 code = insertPage(9002, 77, 0);
    m_responder->pushModal([&](QDialog *d) {
        Testing::child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("not kept"));
        click(d, "cbClose");
        return d->result();
    });
    EntryDetails details;
    QVERIFY(details.EditLibraryEntry(code, QStringLiteral("Ann Lee"), nullptr).isEmpty());
    QCOMPARE(row(code).value("description").toString(), QStringLiteral("Before treatment"));

    m_responder->pushModal([&](QDialog *d) {
        click(d, "cbOK");
        return d->result();
    });
    EntryDetails again;
    QCOMPARE(again.EditLibraryEntry(code, QStringLiteral("Ann Lee"), nullptr),
             QStringLiteral("Before treatment"));
    QCOMPARE(row(code).value("cteffect").toInt(), 77);
    QCOMPARE(row(code).value("category").toInt(), 0);

    // An entry that is gone is told about and nothing is added.
    const qint64 before = contentCount();
    m_responder->pushAnswer(Answer::Ok);
    QVERIFY(EntryDetails().EditLibraryEntry(424242, QStringLiteral("Ann Lee"), nullptr).isEmpty());
    QCOMPARE(messageTexts(*m_responder).size(), 1);
    QCOMPARE(contentCount(), before);
}

void TestEntryDetails::durationAndSoundFile()
{
    QStringList durations;
    QStringList chosen;
    m_responder->pushText(QStringLiteral("/snd/drill.wav"));
    m_responder->pushText(std::nullopt); // the second time the user cancels
    m_responder->pushModal([&](QDialog *d) {
        auto *bar = Testing::child<QScrollBar>(d, "hsbOnScreenTime");
        auto *label = Testing::child<QLabel>(d, "lblDuration");
        durations << label->text();
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        durations << label->text();
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        durations << label->text();
        for (int i = 0; i < 2; ++i) {
            click(d, "cmdSndFile");
            chosen << Testing::child<QLineEdit>(d, "txtSndFile")->text();
        }
        click(d, "cbClose");
        return d->result();
    });
    EntryDetails details;
    QString text;
    details.AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, m_file, text, nullptr);
    QCOMPARE(durations, (QStringList{"2 seconds", "1 seconds", "180 seconds"}));
    QCOMPARE(chosen, (QStringList{"/snd/drill.wav", "/snd/drill.wav"}));
    const Prompt asked = m_responder->prompts().value(1);
    QCOMPARE(asked.kind, Prompt::OpenFile);
    QCOMPARE(asked.title, QStringLiteral("Select sound file.."));
    QVERIFY2(asked.filter.contains(QStringLiteral("*.wav"))
                 && asked.filter.contains(QStringLiteral("*.mid")),
             qPrintable(asked.filter));
}

void TestEntryDetails::newFileIsCopiedIntoTheLibraryAtSave()
{
    // A picture on a camera card: the entry must not point at the card.
    const QString card = m_dir->filePath(QStringLiteral("card/DCIM/IMG_0042.JPG"));
    QVERIFY(QDir().mkpath(QFileInfo(card).absolutePath()));
    QVERIFY(Testing::writeFile(card, "jpeg bytes of a camera picture"));
    const QString library = m_dir->filePath(QStringLiteral("Library"));
    auto libraryFiles = [&] {
        QStringList files;
        for (QDirIterator it(library, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();)
            files << it.next();
        return files;
    };
    const QStringList before = libraryFiles();

    // Closing without saving copies nothing.
    m_responder->pushModal([&](QDialog *d) {
        Testing::child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Smile"));
        click(d, "cbClose");
        return d->result();
    });
    QString text;
    QCOMPARE(EntryDetails().AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, card, text, nullptr), 0);
    QCOMPARE(libraryFiles(), before);
    QVERIFY(m_link->callsOf(QStringLiteral("NextFileName")).isEmpty());

    QString shownAfterSave;
    m_responder->pushModal([&](QDialog *d) {
        Testing::child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Smile"));
        click(d, "cbOK");
        shownAfterSave = Testing::child<QLabel>(d, "lblFileName")->text();
        return d->result();
    });
    const qint32 key
        = EntryDetails().AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, card, text, nullptr);
    QVERIFY(key > 0);
    QCOMPARE(m_link->callsOf(QStringLiteral("NextFileName")),
             QStringList{QStringLiteral("1, 3, %1, JPG").arg(key)});
    const QString stored = row(key).value("filename").toString();
    QVERIFY2(LibraryCopier::isInLibrary(library, stored), qPrintable(stored));
    QCOMPARE(shownAfterSave, stored);
    QVERIFY(QFile::exists(card)); // the card is the user's; nothing is taken from it

    QVERIFY(QFile::remove(card)); // the card goes back into the camera
    QCOMPARE(Testing::fileContents(stored), QByteArray("jpeg bytes of a camera picture"));
    QCOMPARE(libraryFiles().size(), before.size() + 1);
}

void TestEntryDetails::enterMovesOnAndNeverSaves_data()
{
    QTest::addColumn<QByteArray>("control");
    QTest::newRow("play sound") << QByteArray("chkPlaySound");
    QTest::newRow("sound file button") << QByteArray("cmdSndFile");
    QTest::newRow("close button") << QByteArray("cbClose");
    QTest::newRow("description") << QByteArray("txtDescription");
}

void TestEntryDetails::enterMovesOnAndNeverSaves()
{
    QFETCH(QByteArray, control);
    const qint64 before = contentCount();
    bool stillOpen = false;
    bool focusMoved = false;
    m_responder->pushModal([&](QDialog *d) {
        Testing::child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Filled in"));
        auto *widget = Testing::child<QWidget>(d, control.constData());
        d->activateWindow();
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        stillOpen = d->isVisible() && d->result() == QDialog::Rejected;
        focusMoved = QApplication::focusWidget() != widget;
        if (d->isVisible())
            click(d, "cbClose");
        return d->result();
    });
    QString text;
    QCOMPARE(EntryDetails().AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, m_file, text, nullptr), 0);
    QVERIFY2(stillOpen, "Enter reached the Save button");
    QCOMPARE(contentCount(), before);
    QVERIFY2(focusMoved, "Enter moves to the next control");
}

QTEST_MAIN(TestEntryDetails)
#include "tst_entrydetails.moc"
