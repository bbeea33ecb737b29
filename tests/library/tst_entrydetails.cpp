#include "libraryfixture.h"

#include "component/dialogservice.h"
#include "controls/tovracombo.h"
#include "library/entrydetails.h"
#include "library/librarycopier.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

void click(QDialog *dialog, const char *name) { child<QPushButton>(dialog, name)->click(); }

// A script for the window: types a description, then presses a button.
std::function<int(QDialog *)> describeAnd(const QString &description, const char *button)
{
    return [description, button](QDialog *d) {
        child<QLineEdit>(d, "txtDescription")->setText(description);
        click(d, button);
        return d->result();
    };
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
    void durationAndSoundFile();
    void onScreenTimeKeysRunForwards();
    void oneNoTransitionEntryKeepsWhatRowsStore();
    void newFileIsCopiedIntoTheLibraryAtSave();
    void enterMovesOnAndNeverSaves_data();
    void enterMovesOnAndNeverSaves();

private:
    // A new picture entry for Ann Lee's book 3, as the scripted window leaves it.
    qint32 addEntry(const QString &file)
    {
        QString text;
        return EntryDetails().AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, file, text, nullptr);
    }
    qint32 insertPage(qint32 code, qint32 ctEffect, qint32 category);
    // A picture on a camera card, outside the library.
    QString cameraCard()
    {
        const QString card = m_fx.path(QStringLiteral("card/DCIM/IMG_0042.JPG"));
        QDir().mkpath(QFileInfo(card).absolutePath());
        return writeFile(card, "jpeg bytes of a camera picture") ? card : QString();
    }

    LibraryFixture m_fx;
    QString m_file;
};

void TestEntryDetails::init()
{
    QVERIFY(m_fx.open(true)); // the demo brings effects and categories
    m_file = m_fx.libraryFolder + QStringLiteral("/scan.jpg");
}

void TestEntryDetails::cleanup()
{
    m_fx.close();
}

qint32 TestEntryDetails::insertPage(qint32 code, qint32 ctEffect, qint32 category)
{
    m_fx.exec(QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, Description, "
                             "EntryType, EntryDate, IndexImage, CTEffect, Category, PlaySound, "
                             "SoundFile, OnScreenTime, Comments) Values (%1, 3, 'LIBRARY\\x.jpg', "
                             "'Before treatment', 1, '2024-03-05', false, %2, %3, true, "
                             "'/snd/bell.wav', 45, 'Shade A2')")
                  .arg(code)
                  .arg(ctEffect)
                  .arg(category));
    return code;
}

void TestEntryDetails::validationWritesNothing_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message"); // empty: closed without saving
    QTest::newRow("no file") << false << "Panoramic" << "Cannot proceed without a valid document";
    QTest::newRow("no description")
        << true << QString() << "Cannot Proceed without a valid description for this entry.";
    QTest::newRow("closed without saving") << true << "typed, then thought better" << QString();
}

void TestEntryDetails::validationWritesNothing()
{
    QFETCH(bool, withFile);
    QFETCH(QString, description);
    QFETCH(QString, message);

    const QString file = withFile ? cameraCard() : QString();
    const QStringList files = m_fx.libraryFiles();
    const qint64 before = m_fx.pageCount();
    bool stayedOpen = false;
    m_fx.dialogs->pushAnswer(Answer::Ok);
    m_fx.dialogs->pushModal([&](QDialog *d) {
        child<QLineEdit>(d, "txtDescription")->setText(description);
        if (!message.isEmpty()) {
            click(d, "cbOK");
            stayedOpen = d->isVisible();
        }
        click(d, "cbClose");
        return d->result();
    });
    QString text = QStringLiteral("was here");
    QCOMPARE(EntryDetails().AddLibraryEntry(1, QStringLiteral("Ann Lee"), 4, file, text, nullptr), 0);
    QCOMPARE(stayedOpen, !message.isEmpty());
    QCOMPARE(messageTexts(*m_fx.dialogs), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(text.isEmpty());
    QCOMPARE(m_fx.pageCount(), before);
    QCOMPARE(m_fx.libraryFiles(), files);
    QVERIFY(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
    QVERIFY(m_fx.link->callsOf(QStringLiteral("NextFileName")).isEmpty());
}

void TestEntryDetails::newEntryTakesItsKeyAtSave()
{
    const qint64 before = m_fx.pageCount();
    QStringList shown;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        shown << QString::number(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")).size())
              << child<QLabel>(d, "lblBookName")->text() << child<QLabel>(d, "lblFileName")->text()
              << child<QLineEdit>(d, "txtDescription")->text();
        child<QDateEdit>(d, "DtpEntryDate")->setDate(QDate(2025, 1, 31));
        return describeAnd(QStringLiteral("Upper arch"), "cbOK")(d);
    });
    QString text = QStringLiteral("suggested");
    // Books of the practice come with negative codes from some callers.
    const qint32 key
        = EntryDetails().AddLibraryEntry(2, QStringLiteral("Practice book"), -7, m_file, text, nullptr);
    // No key is taken before the save.
    QCOMPARE(shown, (QStringList{"0", "Practice book", m_file, "suggested"}));
    QVERIFY(key > 0);
    QCOMPARE(text, QStringLiteral("Upper arch"));
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")),
             QStringList {QStringLiteral("false, BookContents, Entry_code")});
    QCOMPARE(m_fx.pageCount(), before + 1);

    // Asked for as a video, the picture is stored as what it is.
    const QStringList stored = {"bookcode=7", "entrytype=1", "filename=" + m_file,
                                "description=Upper arch", "entrydate=2025-01-31",
                                "indeximage=false", "onscreentime=2"};
    QCOMPARE(fieldTexts(m_fx.row(key), stored), stored);
    QCOMPARE(m_fx.dialogs->prompts().size(), 1); // the window itself, no message
}

void TestEntryDetails::chosenListsStoreTheirItemData()
{
    QStringList effects;
    QStringList categories;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *transition = child<QComboBox>(d, "cboTransition");
        auto *category = child<TovraCombo>(d, "fcDocCategory");
        effects = itemTexts(transition);
        categories = itemTexts(category->comboBox());
        transition->setCurrentIndex(transition->findText(QStringLiteral("Dissolve")));
        category->setCurrentIndex(category->comboBox()->findText(QStringLiteral("X-Rays")));
        child<QCheckBox>(d, "chkPlaySound")->setChecked(true);
        child<QLineEdit>(d, "txtSndFile")->setText(QStringLiteral("/snd/chime.wav"));
        child<QScrollBar>(d, "hsbOnScreenTime")->setValue(12);
        child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Bitewing"));
        child<QPlainTextEdit>(d, "txtComments")->setPlainText(QStringLiteral("Shade A2\nrecheck"));
        click(d, "cbOK");
        return d->result();
    });
    const qint32 key = addEntry(m_file);
    QVERIFY(key > 0);
    QVERIFY(effects.contains(QStringLiteral("Dissolve")));
    QCOMPARE(categories.value(0), QStringLiteral("(None)"));
    QVERIFY(categories.contains(QStringLiteral("X-Rays")));
    QVERIFY(m_fx.link->sqlTexts().contains(QStringLiteral(
        "Select  Description , Entry_Code from SystemLists  where   ParentID = 71 ")));
    QVERIFY(m_fx.link->sqlTexts().contains(
        QStringLiteral("Select  Description , Entry_Code from DocumentCategories  where   Entry_Code > 0 ")));

    // Dissolve and X-Rays by their Entry_Codes.
    const QStringList stored = {"cteffect=3", "category=6", "playsound=true", "soundfile=/snd/chime.wav",
                                "onscreentime=12", "comments=Shade A2\nrecheck"};
    QCOMPARE(fieldTexts(m_fx.row(key), stored), stored);
}

void TestEntryDetails::editingLoadsAndSavesWithoutANewKey()
{
    const qint32 code = insertPage(9001, 5, 2);
    QStringList shown;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        shown << child<QLineEdit>(d, "txtDescription")->text()
              << child<QPlainTextEdit>(d, "txtComments")->toPlainText()
              << child<QComboBox>(d, "cboTransition")->currentText()
              << child<TovraCombo>(d, "fcDocCategory")->currentText()
              << (child<QCheckBox>(d, "chkPlaySound")->isChecked() ? "sound" : "silent")
              << child<QLabel>(d, "lblDuration")->text();
        return describeAnd(QStringLiteral("After treatment"), "cbOK")(d);
    });
    m_fx.link->clear();
    QCOMPARE(EntryDetails().EditLibraryEntry(code, QStringLiteral("Ann Lee"), nullptr),
             QStringLiteral("After treatment"));
    // Wipe Right and Consent Forms are Entry_Codes 5 and 2.
    QCOMPARE(shown, (QStringList{"Before treatment", "Shade A2", "Wipe Right", "Consent Forms",
                                 "sound", "45 seconds"}));
    QVERIFY(m_fx.link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
    QVERIFY(m_fx.link->sqlTexts().contains("Select * From BookContents where Entry_Code = 9001"));

    const QStringList stored = {"description=After treatment", "cteffect=5", "category=2",
                                "entrydate=2024-03-05"};
    QCOMPARE(fieldTexts(m_fx.row(code), stored), stored);

    // Closing keeps the row; an effect the list does not know is written back as it was.
    const qint32 odd = insertPage(9002, 77, 0);
    m_fx.dialogs->pushModal(describeAnd(QStringLiteral("not kept"), "cbClose"));
    QVERIFY(EntryDetails().EditLibraryEntry(odd, QStringLiteral("Ann Lee"), nullptr).isEmpty());
    QCOMPARE(m_fx.row(odd).value("description").toString(), QStringLiteral("Before treatment"));
    m_fx.dialogs->pushModal(describeAnd(QStringLiteral("Before treatment"), "cbOK"));
    QCOMPARE(EntryDetails().EditLibraryEntry(odd, QStringLiteral("Ann Lee"), nullptr),
             QStringLiteral("Before treatment"));
    const QStringList kept = {"cteffect=77", "category=0"};
    QCOMPARE(fieldTexts(m_fx.row(odd), kept), kept);

    // An entry that is gone is told about and nothing is added.
    const qint64 before = m_fx.pageCount();
    m_fx.dialogs->pushAnswer(Answer::Ok);
    QVERIFY(EntryDetails().EditLibraryEntry(424242, QStringLiteral("Ann Lee"), nullptr).isEmpty());
    QCOMPARE(messageTexts(*m_fx.dialogs).size(), 1);
    QCOMPARE(m_fx.pageCount(), before);
}

void TestEntryDetails::durationAndSoundFile()
{
    QStringList durations;
    QStringList chosen;
    m_fx.dialogs->pushText(QStringLiteral("/snd/drill.wav"));
    m_fx.dialogs->pushText(std::nullopt); // the second time the user cancels
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *bar = child<QScrollBar>(d, "hsbOnScreenTime");
        auto *label = child<QLabel>(d, "lblDuration");
        durations << label->text();
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        durations << label->text();
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        durations << label->text();
        for (int i = 0; i < 2; ++i) {
            click(d, "cmdSndFile");
            chosen << child<QLineEdit>(d, "txtSndFile")->text();
        }
        click(d, "cbClose");
        return d->result();
    });
    addEntry(m_file);
    QCOMPARE(durations, (QStringList{"2 seconds", "1 seconds", "180 seconds"}));
    QCOMPARE(chosen, (QStringList{"/snd/drill.wav", "/snd/drill.wav"}));
    const Prompt asked = m_fx.dialogs->prompts().value(1);
    QCOMPARE(asked.kind, Prompt::OpenFile);
    QCOMPARE(asked.title, QStringLiteral("Select sound file.."));
    QVERIFY2(asked.filter.contains(QStringLiteral("*.wav"))
                 && asked.filter.contains(QStringLiteral("*.mid")),
             qPrintable(asked.filter));
}

void TestEntryDetails::onScreenTimeKeysRunForwards()
{
    QList<int> seen;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *bar = child<QScrollBar>(d, "hsbOnScreenTime");
        d->activateWindow();
        bar->setFocus();
        seen << bar->value();
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_PageUp,
                            Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home}) {
            QTest::keyClick(bar, key);
            seen << bar->value();
        }
        QWheelEvent up(QPointF(5, 5), bar->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &up);
        seen << bar->value();
        click(d, "cbClose");
        return d->result();
    });
    addEntry(m_file);
    // Right, Up and Page Up give more seconds; End is the longest time.
    QCOMPARE(seen, (QList<int> {2, 3, 4, 3, 4, 34, 33, 3, 180, 1, 4}));
}

// The host's list has its own "None"; the window adds no second one, and a
// row saved unchanged keeps whichever of the two numbers it stored.
void TestEntryDetails::oneNoTransitionEntryKeepsWhatRowsStore()
{
    QStringList lists;
    QStringList shown;
    const auto look = [&](QDialog *d) {
        auto *transition = child<QComboBox>(d, "cboTransition");
        lists << itemTexts(transition).join(u'|');
        shown << transition->currentText();
        return describeAnd(QStringLiteral("Kept"), "cbOK")(d);
    };
    // 0 and 1 (the host's "None" row) both mean no transition.
    const qint32 zero = insertPage(9101, 0, 0);
    const qint32 one = insertPage(9102, 1, 0);
    m_fx.exec(
        QStringLiteral("Update BookContents Set CTEffect = Null where Entry_Code = %1").arg(zero));
    for (qint32 code : {zero, one}) {
        m_fx.dialogs->pushModal(look);
        QCOMPARE(EntryDetails().EditLibraryEntry(code, QStringLiteral("Ann Lee"), nullptr),
                 QStringLiteral("Kept"));
    }
    m_fx.dialogs->pushModal(look);
    const qint32 added = addEntry(m_file);
    QVERIFY(added > 0);
    QCOMPARE(shown, (QStringList {"None", "None", "None"}));
    for (const QString &list : std::as_const(lists)) {
        QVERIFY2(!list.contains(QStringLiteral("(None)")), qPrintable(list));
        QCOMPARE(list.count(QStringLiteral("None")), 1);
    }
    QCOMPARE(m_fx.row(zero).value("cteffect").toInt(), 0);
    QCOMPARE(m_fx.row(one).value("cteffect").toInt(), 1);
    QCOMPARE(m_fx.row(added).value("cteffect").toInt(), 0);

    // Taking a chosen effect back to "None" stores no effect.
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *transition = child<QComboBox>(d, "cboTransition");
        transition->setCurrentIndex(transition->findText(QStringLiteral("Fade")));
        transition->setCurrentIndex(transition->findText(QStringLiteral("None")));
        return describeAnd(QStringLiteral("Plain"), "cbOK")(d);
    });
    const qint32 faded = insertPage(9301, 2, 0);
    EntryDetails().EditLibraryEntry(faded, QStringLiteral("Ann Lee"), nullptr);
    QCOMPARE(m_fx.row(faded).value("cteffect").toInt(), 0);

    // A host list without a "None" of its own gets "(None)", stored as 0.
    m_fx.exec(
        QStringLiteral("Delete From SystemLists where ParentID = 71 and Description = 'None'"));
    lists.clear();
    shown.clear();
    m_fx.dialogs->pushModal(look);
    EntryDetails().EditLibraryEntry(faded, QStringLiteral("Ann Lee"), nullptr);
    QCOMPARE(shown, QStringList {"(None)"});
    QCOMPARE(lists.constFirst().split(u'|').constFirst(), QStringLiteral("(None)"));
    QCOMPARE(m_fx.row(faded).value("cteffect").toInt(), 0);
}

void TestEntryDetails::newFileIsCopiedIntoTheLibraryAtSave()
{
    // The entry must not point at the camera card.
    const QString card = cameraCard();
    const QStringList before = m_fx.libraryFiles();
    QString shownAfterSave;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Smile"));
        click(d, "cbOK");
        shownAfterSave = child<QLabel>(d, "lblFileName")->text();
        return d->result();
    });
    const qint32 key = addEntry(card);
    QVERIFY(key > 0);
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("NextFileName")),
             QStringList{QStringLiteral("1, 3, %1, JPG").arg(key)});
    const QString stored = m_fx.row(key).value("filename").toString();
    QVERIFY2(LibraryCopier::isInLibrary(m_fx.libraryFolder, stored), qPrintable(stored));
    QCOMPARE(shownAfterSave, stored);
    QVERIFY(QFile::exists(card)); // the card is the user's; nothing is taken from it

    QVERIFY(QFile::remove(card)); // the card goes back into the camera
    QCOMPARE(fileContents(stored), QByteArray("jpeg bytes of a camera picture"));
    QCOMPARE(m_fx.libraryFiles().size(), before.size() + 1);
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
    const qint64 before = m_fx.pageCount();
    bool stillOpen = false;
    bool focusMoved = false;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Filled in"));
        auto *widget = child<QWidget>(d, control.constData());
        d->activateWindow();
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        stillOpen = d->isVisible() && d->result() == QDialog::Rejected;
        focusMoved = QApplication::focusWidget() != widget;
        if (d->isVisible())
            click(d, "cbClose");
        return d->result();
    });
    QCOMPARE(addEntry(m_file), 0);
    QVERIFY2(stillOpen, "Enter reached the Save button");
    QCOMPARE(m_fx.pageCount(), before);
    QVERIFY2(focusMoved, "Enter moves to the next control");
}

QTEST_MAIN(TestEntryDetails)
#include "tst_entrydetails.moc"
