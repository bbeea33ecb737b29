#include <tovradocs/mediamanager.h>

#include "capture/footswitch.h"
#include "capture/testjoystick.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"

// The members of MediaManager that reach the foot switch.

namespace tovradocs {

using namespace Internal;

void MediaManager::OpenJoyToy(qint16 PrevAction, QWidget *&ParentWnd)
{
    trapErrors(QStringLiteral("MediaManager"), [&] {
        TestJoystick dialog(PrevAction, ParentWnd ? ParentWnd : parentWindow());
        DialogService::showModal(&dialog);
    });
}

qint32 MediaManager::IsJoyStickPresent()
{
    QVariant connected(true);
    return IsJoyStickPresent(connected);
}

qint32 MediaManager::IsJoyStickPresent(QVariant &IsConnected)
{
    // The joystick service offers sixteen device slots; connected ones are
    // those SDL sees now.
    constexpr qint32 kSupportedDevices = 16;
    if (IsConnected.isValid() && !IsConnected.toBool())
        return kSupportedDevices;
    return FootSwitch::shared()->count();
}

} // namespace tovradocs
