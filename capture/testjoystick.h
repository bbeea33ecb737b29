#pragma once

#include "component/windowutils.h"

#include <QDialog>

class QLabel;

namespace tovradocs::Internal {

// "Test Joystick": assigns an action to a foot-switch button, or shows which
// action a button requests.
class TestJoystick : public QDialog, public HelpIdentified
{
    Q_OBJECT
public:
    // mode: -1 tests; any other value is the action (0 Capture, else Freeze)
    // to assign to the next button pressed.
    TestJoystick(qint16 mode, QWidget *parent);
    ~TestJoystick() override;

    void ButtonPressed(qint16 button);
    qint32 GetWindowID() const override { return 27; }

    // The host settings holding the actions of buttons 1 and 2.
    static constexpr qint16 kButton1Setting = 155;
    static constexpr qint16 kButton2Setting = 156;

private:
    qint16 m_mode;
    QLabel *m_message;
};

} // namespace tovradocs::Internal
