#include "capturefixture.h"

#include "capture/footswitch.h"
#include "capture/testjoystick.h"

#include <tovradocs/capturer.h>
#include <tovradocs/mediamanager.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <SDL.h>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

// SDL's virtual joystick stands in for the foot switch, so presses travel the
// real event path.
class TestFootSwitch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { QVERIFY(m_fx.open()); }
    void cleanup() { m_fx.close(); }

    void joysticksAreCounted();
    void assignModeStoresTheActionForEitherButton();
    void testModeReportsTheStoredAction_data();
    void testModeReportsTheStoredAction();
    void openJoyToyShowsTheDialogModally();
    void footSwitchDrivesTheCaptureWindow();

private:
    void press(int sdlButton)
    {
        SDL_JoystickSetVirtualButton(m_joystick, sdlButton, SDL_PRESSED);
        FootSwitch::shared()->poll();
        SDL_JoystickSetVirtualButton(m_joystick, sdlButton, SDL_RELEASED);
        FootSwitch::shared()->poll();
    }

    CaptureFixture m_fx;
    SDL_Joystick *m_joystick = nullptr;
};

void TestFootSwitch::initTestCase()
{
    QVERIFY(FootSwitch::shared()->isAvailable());
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 0, 2, 0);
    QVERIFY2(index >= 0, SDL_GetError());
    m_joystick = SDL_JoystickOpen(index);
    QVERIFY(m_joystick);
    // The switch sees the device arrive.
    QSignalSpy changed(FootSwitch::shared(), &FootSwitch::devicesChanged);
    FootSwitch::shared()->poll();
    QCOMPARE(changed.count(), 1);
}

void TestFootSwitch::cleanupTestCase()
{
    if (m_joystick)
        SDL_JoystickClose(m_joystick);
}

void TestFootSwitch::joysticksAreCounted()
{
    MediaManager manager;
    QCOMPARE(manager.IsJoyStickPresent(), 1);
    QVariant connected(false);
    QCOMPARE(manager.IsJoyStickPresent(connected), 16);
}

void TestFootSwitch::assignModeStoresTheActionForEitherButton()
{
    {
        TestJoystick dialog(1, nullptr);
        auto *message = child<QLabel>(&dialog, "lblMessage");
        QCOMPARE(message->text(), u"Click a button"_qs);
        QCOMPARE(dialog.GetWindowID(), 27);
        press(0);
        QCOMPARE(message->text(), u"Freeze Control assigned !"_qs);
        QCOMPARE(m_fx.host->GetSystemSetting(155).toInt(), 1);
        press(1);
        QCOMPARE(m_fx.host->GetSystemSetting(156).toInt(), 1);
    }

    // Both buttons pressed in assign mode store the same action.
    TestJoystick capture(0, nullptr);
    press(1);
    press(0);
    QCOMPARE(child<QLabel>(&capture, "lblMessage")->text(), u"Capture Control assigned !"_qs);
    QCOMPARE(m_fx.host->GetSystemSetting(156).toInt(), 0);
    QCOMPARE(m_fx.host->GetSystemSetting(155).toInt(), 0);
}

void TestFootSwitch::testModeReportsTheStoredAction_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("capture") << 0 << u"Capture requested !"_qs;
    QTest::newRow("freeze") << 1 << u"Freeze requested !"_qs;
    QTest::newRow("any other action") << 7 << u"Freeze requested !"_qs;
}

void TestFootSwitch::testModeReportsTheStoredAction()
{
    QFETCH(int, stored);
    QFETCH(QString, shown);
    m_fx.host->setSetting(156, stored);
    TestJoystick dialog(-1, nullptr);
    press(1);
    QCOMPARE(child<QLabel>(&dialog, "lblMessage")->text(), shown);
}

void TestFootSwitch::openJoyToyShowsTheDialogModally()
{
    QString shown;
    m_fx.responder.pushModal([&](QDialog *dialog) {
        press(0);
        shown = child<QLabel>(dialog, "lblMessage")->text();
        child<QPushButton>(dialog, "CancelButton")->click();
        return dialog->result();
    });
    MediaManager manager;
    QWidget *parent = nullptr;
    manager.OpenJoyToy(0, parent);
    QCOMPARE(shown, u"Capture Control assigned !"_qs);
    QCOMPARE(m_fx.responder.prompts().size(), 1);
    QCOMPARE(m_fx.responder.prompts().at(0).text, u"TestJoystick"_qs);
}

void TestFootSwitch::footSwitchDrivesTheCaptureWindow()
{
    m_fx.host->setSetting(155, 0); // button 1 snaps
    m_fx.host->setSetting(156, 1); // button 2 records
    Capturer capturer;
    QSignalSpy images(&capturer, &Capturer::ImageFileSaved);
    QSignalSpy videos(&capturer, &Capturer::VideoFileSaved);
    CaptureFixture::showCapture(capturer);
    SmartGrab *grab = m_fx.grab();
    QVERIFY(grab);
    QTRY_VERIFY(grab->entryCode() > 0);
    press(0);
    QTRY_COMPARE(images.count(), 1);
    m_fx.answerRecording(true);
    press(1);
    QVERIFY(grab->isRecording());
    QTRY_VERIFY(grab->framesRecorded() >= 2);
    press(1);
    QTRY_VERIFY(!grab->isRecording());
    QCOMPARE(videos.count(), 1);
}

QTEST_MAIN(TestFootSwitch)
#include "tst_footswitch.moc"
