#include "capturefixture.h"

#include "capture/avirecorder.h"
#include "capture/capturedialogs.h"

#include <tovradocs/capturer.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

class TestCaptureDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup() { m_fx.close(); }

    void recordingDialogRoundTrip();
    void frameRateKeptInRange_data();
    void frameRateKeptInRange();
    void preferencesRoundTrip_data();
    void preferencesRoundTrip();
    void blackPreferenceColoursNextWindow();
    void frameByFrameCapture();
    void fileSizeDialog();

private:
    CaptureFixture m_fx;
    Capturer *m_capturer = nullptr;
    SmartGrab *m_grab = nullptr;
};

void TestCaptureDialogs::init()
{
    QVERIFY(m_fx.open());
    m_capturer = new Capturer(this);
    m_capturer->ShowCapture(u"Smith"_qs);
    m_grab = m_fx.grab();
    QVERIFY(m_grab);
}

void TestCaptureDialogs::recordingDialogRoundTrip()
{
    CaptureFixture::setting(u"preferences"_qs, u"maxframes"_qs, u"324000"_qs);
    CaptureFixture::setting(u"preferences"_qs, u"streammaster"_qs, u" none "_qs);
    {
        frmCapVid dialog(m_grab);
        // Defaults on a first run.
        QCOMPARE(child<QLineEdit>(&dialog, "txtFps")->text(), u"15"_qs);
        QCOMPARE(child<QLineEdit>(&dialog, "txtSec")->text(), u"30"_qs);
        QVERIFY(!child<QCheckBox>(&dialog, "chkLimit")->isChecked());
        QVERIFY(!child<QCheckBox>(&dialog, "chkAudio")->isChecked());
        child<QLineEdit>(&dialog, "txtFps")->setText(u"25"_qs);
        child<QLineEdit>(&dialog, "txtSec")->setText(u"12"_qs);
        child<QCheckBox>(&dialog, "chkLimit")->setChecked(true);
        child<QCheckBox>(&dialog, "chkAudio")->setChecked(true);
        child<QPushButton>(&dialog, "Command1_0")->click();
        QCOMPARE(dialog.property("tag").toString(), u"True"_qs);
    }
    const SequenceParms parms = m_grab->sequenceSetup();
    QCOMPARE(parms.requestMicroSecPerFrame, 40000);
    QVERIFY(parms.limitEnabled);
    QCOMPARE(parms.timeLimit, 12);
    QVERIFY(parms.captureAudio);
    QCOMPARE(parms.indexSize, 324000);
    QCOMPARE(parms.avStreamMaster, 1);

    frmCapVid again(m_grab);
    QCOMPARE(child<QLineEdit>(&again, "txtFps")->text(), u"25"_qs);
    QCOMPARE(child<QLineEdit>(&again, "txtSec")->text(), u"12"_qs);
    QVERIFY(child<QCheckBox>(&again, "chkLimit")->isChecked());
    QVERIFY(child<QCheckBox>(&again, "chkAudio")->isChecked());
    child<QPushButton>(&again, "Command1_1")->click();
    QVERIFY(again.property("tag").toString().isEmpty());
}

void TestCaptureDialogs::frameRateKeptInRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << u"0"_qs << u"1"_qs;
    QTest::newRow("above a hundred") << u"250"_qs << u"100"_qs;
    QTest::newRow("in range") << u"30"_qs << u"30"_qs;
    QTest::newRow("letters refused") << u"1a"_qs << u"1"_qs;
}

void TestCaptureDialogs::frameRateKeptInRange()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    frmCapVid dialog(m_grab);
    auto *fps = child<QLineEdit>(&dialog, "txtFps");
    fps->clear();
    QTest::keyClicks(fps, typed);
    QCOMPARE(fps->text(), shown);
}

void TestCaptureDialogs::preferencesRoundTrip_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("stored");
    QTest::newRow("default") << 0 << u"&H80000005"_qs;
    QTest::newRow("light grey") << 1 << u"&HC0C0C0"_qs;
    QTest::newRow("dark grey") << 2 << u"&H404040"_qs;
    QTest::newRow("black") << 3 << u"0"_qs;
}

void TestCaptureDialogs::preferencesRoundTrip()
{
    QFETCH(int, colour);
    QFETCH(QString, stored);
    {
        frmPrefs dialog(m_grab);
        // Dark grey, 27,000 frames and audio master on a first run.
        QVERIFY(child<QRadioButton>(&dialog, "optColor_2")->isChecked());
        QVERIFY(child<QRadioButton>(&dialog, "optMaxFrames_0")->isChecked());
        QVERIFY(child<QRadioButton>(&dialog, "optSynch_0")->isChecked());
        child<QRadioButton>(&dialog, QStringLiteral("optColor_%1").arg(colour).toLatin1().constData())->click();
        child<QRadioButton>(&dialog, "optMaxFrames_1")->click();
        child<QRadioButton>(&dialog, "optSynch_1")->click();
        child<QPushButton>(&dialog, "cmdOK")->click();
    }
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"backcolor"_qs, QString()), stored);
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"maxframes"_qs, QString()), u"324000"_qs);
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"streammaster"_qs, QString()), u"NONE"_qs);
    frmPrefs again(m_grab);
    QVERIFY(child<QRadioButton>(&again, QStringLiteral("optColor_%1").arg(colour).toLatin1().constData())->isChecked());
    QVERIFY(child<QRadioButton>(&again, "optMaxFrames_1")->isChecked());
    QVERIFY(child<QRadioButton>(&again, "optSynch_1")->isChecked());
    // Cancel stores nothing.
    child<QRadioButton>(&again, "optMaxFrames_0")->click();
    child<QPushButton>(&again, "cmdCancel")->click();
    QCOMPARE(CaptureSettings::value(u"preferences"_qs, u"maxframes"_qs, QString()), u"324000"_qs);
}

void TestCaptureDialogs::blackPreferenceColoursNextWindow()
{
    {
        frmPrefs dialog(m_grab);
        child<QRadioButton>(&dialog, "optColor_3")->click();
        child<QPushButton>(&dialog, "cmdOK")->click();
    }
    QCOMPARE(m_grab->centralWidget()->palette().color(QPalette::Window), QColor(0x40, 0x40, 0x40));
    m_grab->TranslateToMenuClicks(208);
    QTRY_VERIFY(!CaptureEnvironment::background());
    m_capturer->ShowCapture(u"Smith"_qs);
    QVERIFY(m_fx.grab());
    QCOMPARE(m_fx.grab()->centralWidget()->palette().color(QPalette::Window), QColor(Qt::black));
}

void TestCaptureDialogs::frameByFrameCapture()
{
    {
        frmCapFrame dialog(m_grab);
        QCOMPARE(child<QLabel>(&dialog, "lblCapFile")->text(), u"<error: no cap file>"_qs);
        child<QPushButton>(&dialog, "cmdCapture")->click();
        QCOMPARE(messageTexts(m_fx.responder), QStringList(u"Could not capture frame"_qs));
        QCOMPARE(child<QLabel>(&dialog, "lblFrames")->text(), u"0 Frames"_qs);
    }
    const QString file = m_fx.path(u"frames.avi"_qs);
    QVERIFY(m_grab->setCaptureFile(file));
    {
        frmCapFrame dialog(m_grab);
        QCOMPARE(child<QLabel>(&dialog, "lblCapFile")->text(), file);
        for (int i = 0; i < 3; ++i)
            child<QPushButton>(&dialog, "cmdCapture")->click();
        QCOMPARE(child<QLabel>(&dialog, "lblFrames")->text(), u"3 Frames"_qs);
        QCOMPARE(child<QPushButton>(&dialog, "cmdCancel")->text(), u"Close"_qs);
    }
    const auto clip = AviRecorder::readClip(file);
    QVERIFY2(clip.ok(), qPrintable(clip.error()));
    QCOMPARE(clip->frames, 3);
    QCOMPARE(clip->size, QSize(320, 240));
}

void TestCaptureDialogs::fileSizeDialog()
{
    const QString file = m_fx.path(u"space.avi"_qs);
    QVERIFY(m_grab->setCaptureFile(file));
    frmAlloc dialog(m_grab);
    const qint64 free = child<QLabel>(&dialog, "lblFreeDisk")->text().toLongLong();
    QCOMPARE(free, frmAlloc::freeMegabytes(file));
    auto *size = child<QLineEdit>(&dialog, "txtAlloc");
    QVERIFY(size->text().isEmpty());
    // More than the disk holds is cut back to what is free.
    size->setText(QString::number(free + 1000));
    QCOMPARE(size->text(), QString::number(free));
    size->setText(u"2"_qs);
    child<QPushButton>(&dialog, "cmdOK")->click();
    QCOMPARE(QFileInfo(file).size(), 2 * 1048576);
    frmAlloc again(m_grab);
    QCOMPARE(child<QLineEdit>(&again, "txtAlloc")->text(), u"2"_qs);
}

QTEST_MAIN(TestCaptureDialogs)
#include "tst_capturedialogs.moc"
