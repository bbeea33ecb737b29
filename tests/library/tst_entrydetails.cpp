#include "library/entrydetails.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "controls/tovracombo.h"
#include "host/referencehost.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <tovradocs/recordset.h>

#include <QCheckBox>
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

template<typename T = QWidget>
T *control(QDialog *dialog, const char *name)
{
    T *found = dialog->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void click(QDialog *dialog, const char *name)
{
    control<QPushButton>(dialog, name)->click();
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
    void closingANewEntryLeavesNoRow();
    void editingLoadsAndSavesWithoutANewKey();
    void closingAnEditKeepsTheRow();
    void editOfAMissingEntryTellsTheUser();
    void durationLabel();
    void soundFileIsChosenThroughTheFileDialog();

private:
    qint32 contentCount();
    QVariantMap row(qint32 entryCode);
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

qint32 TestEntryDetails::contentCount()
{
    std::unique_ptr<Recordset> rs;
    m_host->FillRecordSet(rs, QStringLiteral("Select Count(*) As N From BookContents"));
    return rs && !rs->isEof() ? rs->value(QStringLiteral("N")).toInt() : -1;
}

QVariantMap TestEntryDetails::row(qint32 entryCode)
{
    std::unique_ptr<Recordset> rs;
    QVariantMap values;
    m_host->FillRecordSet(rs,
                          QStringLiteral("Select * From BookContents where Entry_Code = ")
                              + QString::number(entryCode));
    if (!rs || rs->isEof())
        return values;
    for (const QString &field : rs->fieldNames())
        values.insert(field.toLower(), rs->value(field));
    return values;
}

qint32 TestEntryDetails::insertPage(qint32 code, qint32 ctEffect, qint32 category)
{
    m_host->ExecuteStmt(
        false,
        QStringLiteral(
            "Insert Into BookContents (Entry_Code, BookCode, FileName, Description, EntryType, "
            "EntryDate, "
            "IndexImage, CTEffect, Category, PlaySound, SoundFile, OnScreenTime) Values "
            "(%1, 3, 'LIBRARY\\x.jpg', 'Before treatment', 1, '2024-03-05', false, %2, %3, true, "
            "'/snd/bell.wav', 45)")
            .arg(code)
            .arg(ctEffect)
            .arg(category));
    return code;
}

void TestEntryDetails::validationWritesNothing_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QString() << QStringLiteral("Panoramic")
                             << QStringLiteral("Cannot proceed without a valid document");
    QTest::newRow("no description")
        << QStringLiteral("/lib/scan.jpg") << QString()
        << QStringLiteral("Cannot Proceed without a valid description for this entry.");
}

void TestEntryDetails::validationWritesNothing()
{
    QFETCH(QString, file);
    QFETCH(QString, description);
    QFETCH(QString, message);

    const qint32 before = contentCount();
    bool stayedOpen = false;
    m_responder->pushAnswer(Answer::Ok);
    m_responder->pushModal([&](QDialog *d) {
        control<QLineEdit>(d, "txtDescription")->setText(description);
        click(d, "cbOK");
        stayedOpen = d->isVisible();
        click(d, "cbClose");
        return d->result();
    });
    EntryDetails details;
    QString text;
    QCOMPARE(details.AddLibraryEntry(1, QStringLiteral("Ann Lee"), 4, file, text, nullptr), 0);
    QVERIFY(stayedOpen);
    QCOMPARE(messageTexts(*m_responder), QStringList {message});
    QVERIFY(text.isEmpty());
    QCOMPARE(contentCount(), before);
    QVERIFY(m_link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
}

void TestEntryDetails::newEntryTakesItsKeyAtSave()
{
    const qint32 before = contentCount();
    int keysBeforeSave = -1;
    QString shownBook;
    QString shownFile;
    QString suggested;
    m_responder->pushModal([&](QDialog *d) {
        keysBeforeSave = int(m_link->callsOf(QStringLiteral("GenerateEntrycode")).size());
        shownBook = control<QLabel>(d, "lblBookName")->text();
        shownFile = control<QLabel>(d, "lblFileName")->text();
        suggested = control<QLineEdit>(d, "txtDescription")->text();
        control<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Upper arch"));
        control<QDateEdit>(d, "DtpEntryDate")->setDate(QDate(2025, 1, 31));
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
    QCOMPARE(r.value("cteffect").toInt(), 0);
    QCOMPARE(r.value("category").toInt(), 0);
    QCOMPARE(r.value("onscreentime").toInt(), 2);
    QVERIFY(!r.value("playsound").toBool());
    QVERIFY(m_responder->prompts().size() == 1); // the window itself, no message
}

void TestEntryDetails::chosenListsStoreTheirItemData()
{
    QStringList effects;
    QStringList categories;
    m_responder->pushModal([&](QDialog *d) {
        auto *transition = control<QComboBox>(d, "cboTransition");
        auto *category = control<TovraCombo>(d, "fcDocCategory");
        for (int i = 0; i < transition->count(); ++i)
            effects << transition->itemText(i);
        for (int i = 0; i < category->count(); ++i)
            categories << category->itemText(i);
        transition->setCurrentIndex(transition->findText(QStringLiteral("Dissolve")));
        category->setCurrentIndex(category->comboBox()->findText(QStringLiteral("X-Rays")));
        control<QCheckBox>(d, "chkPlaySound")->setChecked(true);
        control<QLineEdit>(d, "txtSndFile")->setText(QStringLiteral("/snd/chime.wav"));
        control<QScrollBar>(d, "hsbOnScreenTime")->setValue(12);
        control<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("Bitewing"));
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
        QStringLiteral("Select  Description , Entry_Code from DocumentCategories")));

    const QVariantMap r = row(key);
    QCOMPARE(r.value("cteffect").toInt(), 3); // Dissolve's Entry_Code
    QCOMPARE(r.value("category").toInt(), 6); // X-Rays
    QVERIFY(r.value("playsound").toBool());
    QCOMPARE(r.value("soundfile").toString(), QStringLiteral("/snd/chime.wav"));
    QCOMPARE(r.value("onscreentime").toInt(), 12);
}

void TestEntryDetails::closingANewEntryLeavesNoRow()
{
    const qint32 before = contentCount();
    m_responder->pushModal([&](QDialog *d) {
        control<QLineEdit>(d, "txtDescription")
            ->setText(QStringLiteral("typed, then thought better"));
        click(d, "cbClose");
        return d->result();
    });
    EntryDetails details;
    QString text = QStringLiteral("was here");
    QCOMPARE(details.AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, m_file, text, nullptr), 0);
    QVERIFY(text.isEmpty());
    QCOMPARE(contentCount(), before);
    QVERIFY(m_link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
}

void TestEntryDetails::editingLoadsAndSavesWithoutANewKey()
{
    const qint32 code = insertPage(9001, 5, 2);
    QString loadedDescription;
    QString effect;
    QString category;
    bool playSound = false;
    QString duration;
    m_responder->pushModal([&](QDialog *d) {
        loadedDescription = control<QLineEdit>(d, "txtDescription")->text();
        effect = control<QComboBox>(d, "cboTransition")->currentText();
        category = control<TovraCombo>(d, "fcDocCategory")->currentText();
        playSound = control<QCheckBox>(d, "chkPlaySound")->isChecked();
        duration = control<QLabel>(d, "lblDuration")->text();
        control<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("After treatment"));
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
    QVERIFY(m_link->callsOf(QStringLiteral("GenerateEntrycode")).isEmpty());
    QVERIFY(m_link->sqlTexts().contains(
        QStringLiteral("Select * From BookContents where Entry_Code = 9001")));

    const QVariantMap r = row(code);
    QCOMPARE(r.value("description").toString(), QStringLiteral("After treatment"));
    QCOMPARE(r.value("cteffect").toInt(), 5);
    QCOMPARE(r.value("category").toInt(), 2);
    QCOMPARE(r.value("entrydate").toDate(), QDate(2024, 3, 5));
    QCOMPARE(r.value("onscreentime").toInt(), 45);
    QCOMPARE(r.value("soundfile").toString(), QStringLiteral("/snd/bell.wav"));
}

void TestEntryDetails::closingAnEditKeepsTheRow()
{
    // An effect the list does not know is written back as it was.
    const qint32 code = insertPage(9002, 77, 0);
    m_responder->pushModal([&](QDialog *d) {
        control<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("not kept"));
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
}

void TestEntryDetails::editOfAMissingEntryTellsTheUser()
{
    const qint32 before = contentCount();
    m_responder->pushAnswer(Answer::Ok);
    EntryDetails details;
    QVERIFY(details.EditLibraryEntry(424242, QStringLiteral("Ann Lee"), nullptr).isEmpty());
    QCOMPARE(messageTexts(*m_responder).size(), 1);
    QCOMPARE(contentCount(), before);
}

void TestEntryDetails::durationLabel()
{
    QString atStart;
    QString atLeft;
    QString atRight;
    m_responder->pushModal([&](QDialog *d) {
        auto *bar = control<QScrollBar>(d, "hsbOnScreenTime");
        auto *label = control<QLabel>(d, "lblDuration");
        atStart = label->text();
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        atLeft = label->text();
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        atRight = label->text();
        click(d, "cbClose");
        return d->result();
    });
    EntryDetails details;
    QString text;
    details.AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, m_file, text, nullptr);
    QCOMPARE(atStart, QStringLiteral("2 seconds"));
    QCOMPARE(atLeft, QStringLiteral("1 seconds"));
    QCOMPARE(atRight, QStringLiteral("180 seconds"));
}

void TestEntryDetails::soundFileIsChosenThroughTheFileDialog()
{
    QStringList chosen;
    m_responder->pushText(QStringLiteral("/snd/drill.wav"));
    m_responder->pushText(std::nullopt); // the second time the user cancels
    m_responder->pushModal([&](QDialog *d) {
        click(d, "cmdSndFile");
        chosen << control<QLineEdit>(d, "txtSndFile")->text();
        click(d, "cmdSndFile");
        chosen << control<QLineEdit>(d, "txtSndFile")->text();
        click(d, "cbClose");
        return d->result();
    });
    EntryDetails details;
    QString text;
    details.AddLibraryEntry(1, QStringLiteral("Ann Lee"), 3, m_file, text, nullptr);
    QCOMPARE(chosen,
             (QStringList {QStringLiteral("/snd/drill.wav"), QStringLiteral("/snd/drill.wav")}));
    const QList<Prompt> prompts = m_responder->prompts();
    QCOMPARE(prompts.size(), 3);
    QCOMPARE(prompts[1].kind, Prompt::OpenFile);
    QCOMPARE(prompts[1].title, QStringLiteral("Select sound file.."));
    QVERIFY2(prompts[1].filter.contains(QStringLiteral("*.wav"))
                 && prompts[1].filter.contains(QStringLiteral("*.mid")),
             qPrintable(prompts[1].filter));
}

QTEST_MAIN(TestEntryDetails)
#include "tst_entrydetails.moc"
