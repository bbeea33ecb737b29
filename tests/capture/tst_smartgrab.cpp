#include "capturefixture.h"

#include "capture/avirecorder.h"
#include "capture/grabcontroller.h"
#include "capture/testpatternsource.h"

#include <tovradocs/capturer.h>

#include <QAction>
#include <QComboBox>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

class TestSmartGrab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(m_fx.open()); }
    void cleanup() { m_fx.close(); }

    void snapsBecomeConsecutiveEntries();
    void controlBarAndDriverChoice();
    void noHardwareClosesTheEnvironment();
    void immediateVideoRecordsOnceAndCloses();
    void cancelledRecordingAddsNothing();
    void unpluggedCameraKeepsTheClip();

private:
    SmartGrab *openCapture(Capturer &capturer)
    {
        capturer.ShowCapture(QStringLiteral("Smith"));
        SmartGrab *grab = m_fx.grab();
        // Keys are handed out at the first activation.
        if (grab && !QTest::qWaitFor([grab] { return grab->entryCode() > 0; }, 5000))
            return nullptr;
        return grab;
    }

    CaptureFixture m_fx;
};

void TestSmartGrab::snapsBecomeConsecutiveEntries()
{
    Capturer capturer;
    QStringList asked;
    connect(&capturer, &Capturer::GetNextTempImageFileName, this,
            [&](QString &name) { asked << u"image"_qs; name = u"tmp.jpg"_qs; }, Qt::DirectConnection);
    connect(&capturer, &Capturer::GetNextTempVideoFileName, this,
            [&](QString &name) { asked << u"video"_qs; name = u"tmp.avi"_qs; }, Qt::DirectConnection);
    QSignalSpy saved(&capturer, &Capturer::ImageFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    QCOMPARE(asked, QStringList({u"image"_qs, u"video"_qs}));
    QCOMPARE(grab->currentFrameFile(), u"tmp.jpg"_qs);
    QVERIFY(m_fx.link->sqlTexts().contains(u"Select * From BookContents where BookCode = -1"_qs));

    const qint32 first = grab->entryCode();
    QTest::keyClick(grab, Qt::Key_F5);
    QTest::keyClick(grab, Qt::Key_Space);
    grab->TranslateToMenuClicks(154);
    QCOMPARE(saved.count(), 3);
    QCOMPARE(m_fx.link->callsOf(u"GenerateEntrycode"_qs).size(), 1);
    QCOMPARE(grab->entryCode(), first + 3);

    QSet<QString> files;
    for (int i = 0; i < 3; ++i) {
        const QVariantMap row = m_fx.row(first + i);
        QCOMPARE(row.value(u"entrytype"_qs).toInt(), 1);
        QCOMPARE(row.value(u"bookcode"_qs).toInt(), CaptureFixture::kBook);
        QCOMPARE(row.value(u"description"_qs).toString(), u"Desc"_qs);
        const QString file = row.value(u"filename"_qs).toString();
        QVERIFY(file.endsWith(u".jpg"_qs));
        // Full resolution, in the format the extension names.
        QImageReader reader(file);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(320, 240));
        files << file;
        QCOMPARE(saved.at(i).at(0).toString(), file);
        QCOMPARE(saved.at(i).at(1).toString(), QString::number(first + i));
    }
    QCOMPARE(files.size(), 3);
    QCOMPARE(m_fx.responder.prompts().size(), 0);
}

void TestSmartGrab::controlBarAndDriverChoice()
{
    // A remembered driver beyond those installed falls back to the first.
    CaptureFixture::setting(u"driver"_qs, u"index"_qs, u"7"_qs);
    Capturer capturer;
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    QCOMPARE(grab->driverIndex(), 0);
    QCOMPARE(grab->driverCount(), 1);
    auto *drivers = child<QComboBox>(m_fx.background(), "cboDrivers");
    QCOMPARE(drivers->count(), 1);
    QCOMPARE(drivers->itemText(0), u"Test Pattern 1.0"_qs);
    QCOMPARE(drivers->currentIndex(), 0);

    auto *bar = child<QToolBar>(m_fx.background(), "tbrCapture");
    QStringList keys;
    for (QAction *action : bar->actions())
        keys << action->objectName();
    QCOMPARE(keys, QStringList({u"154CK"_qs, u"SepCX2"_qs, u"812CK"_qs, u"SepCX3"_qs, u"SepCX4"_qs,
                                u"SepD"_qs, u"814CK"_qs, u"383CK"_qs, u"SepC1"_qs, u"813CK"_qs,
                                u"815CK"_qs, u"SepC3"_qs, u"757CK"_qs, u"255CK"_qs, u"253CK"_qs,
                                u"805CK"_qs, u"SepF"_qs, u"208CK"_qs}));
    // The test pattern offers only a format dialog.
    QVERIFY(!child<QAction>(bar, "757CK")->isEnabled());
    QVERIFY(child<QAction>(bar, "253CK")->isEnabled());
    QVERIFY(!child<QAction>(bar, "813CK")->isEnabled());

    // Unknown numbers do nothing; the toolbar's snap makes an entry.
    const qint32 code = grab->entryCode();
    for (qint16 command : {0, 1, 155, 811, 999})
        grab->TranslateToMenuClicks(command);
    QCOMPARE(grab->entryCode(), code);
    QCOMPARE(m_fx.responder.prompts().size(), 0);
    child<QAction>(bar, "154CK")->trigger();
    QCOMPARE(grab->entryCode(), code + 1);

    // Choosing the driver stores it; Close ends the environment.
    grab->RemoteSelectDriver(0);
    QCOMPARE(CaptureSettings::value(u"driver"_qs, u"index"_qs, QString()), u"0"_qs);
    child<QAction>(bar, "208CK")->trigger();
    QTRY_VERIFY(!CaptureEnvironment::background());
}

void TestSmartGrab::noHardwareClosesTheEnvironment()
{
    CaptureDrivers::setTestPatternEnabled(false);
    Capturer capturer;
    capturer.ShowCapture(u"Smith"_qs);
    QTRY_VERIFY(!CaptureEnvironment::background());
    QCOMPARE(messageTexts(m_fx.responder), QStringList(u"No capture hardware detected"_qs));
    QCOMPARE(m_fx.link->callsOf(u"GenerateEntrycode"_qs).size(), 0);
}

void TestSmartGrab::immediateVideoRecordsOnceAndCloses()
{
    CaptureFixture::setting(u"capture settings"_qs, u"time limit"_qs, u"1"_qs);
    CaptureFixture::setting(u"capture settings"_qs, u"seconds"_qs, u"1"_qs);
    CaptureFixture::setting(u"capture settings"_qs, u"fps"_qs, u"20"_qs);
    m_fx.answerRecording(true);
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::VideoFileSaved);
    QSignalSpy images(&capturer, &Capturer::ImageFileSaved);
    capturer.CaptureVideo(u"Smith"_qs);
    QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 15000);
    QTRY_VERIFY(!CaptureEnvironment::background());
    QCOMPARE(images.count(), 0);

    const QString file = saved.at(0).at(0).toString();
    const QVariantMap row = m_fx.row(saved.at(0).at(1).toString().toInt());
    QCOMPARE(row.value(u"entrytype"_qs).toInt(), 2);
    QCOMPARE(row.value(u"filename"_qs).toString(), file);
    QVERIFY(file.endsWith(u".avi"_qs));
    const auto clip = AviRecorder::readClip(file);
    QVERIFY2(clip.ok(), qPrintable(clip.error()));
    QCOMPARE(clip->size, QSize(320, 240));
    // One second at 20 frames a second, give or take the timer's slack.
    QVERIFY2(clip->frames >= 12 && clip->frames <= 26, qPrintable(QString::number(clip->frames)));
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents Where BookCode = 5"_qs), 1);
}

void TestSmartGrab::cancelledRecordingAddsNothing()
{
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::VideoFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    m_fx.answerRecording(false);
    QTest::keyClick(grab, Qt::Key_F8);
    QVERIFY(!grab->isRecording());
    QCOMPARE(saved.count(), 0);
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents"_qs), 0);
    QCOMPARE(messageTexts(m_fx.responder).join(u'|'), QString());
}

void TestSmartGrab::unpluggedCameraKeepsTheClip()
{
    CaptureFixture::setting(u"capture settings"_qs, u"time limit"_qs, u"0"_qs);
    Capturer capturer;
    QSignalSpy saved(&capturer, &Capturer::VideoFileSaved);
    SmartGrab *grab = openCapture(capturer);
    QVERIFY(grab);
    m_fx.answerRecording(true);
    grab->TranslateToMenuClicks(812);
    QVERIFY(grab->isRecording());
    QTRY_VERIFY(grab->framesRecorded() >= 5);
    auto *pattern = qobject_cast<TestPatternSource *>(grab->source());
    QVERIFY(pattern);
    const qint64 frames = grab->framesRecorded();
    pattern->unplug();
    QVERIFY(!grab->isRecording());
    QCOMPARE(saved.count(), 1);
    const auto clip = AviRecorder::readClip(saved.at(0).at(0).toString());
    QVERIFY2(clip.ok(), qPrintable(clip.error()));
    QCOMPARE(clip->frames, frames);
    // The window stays open without a source; snapping then does nothing.
    QVERIFY(CaptureEnvironment::background());
    grab->TranslateToMenuClicks(154);
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents"_qs), 1);
}

QTEST_MAIN(TestSmartGrab)
#include "tst_smartgrab.moc"
