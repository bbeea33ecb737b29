#include "capture/captureenvironment.h"

#include "capture/capturebkgnd.h"

#include <tovradocs/capturer.h>

#include <optional>

namespace tovradocs::Internal::CaptureEnvironment {

namespace {

std::optional<Target> &storedTarget()
{
    static std::optional<Target> target;
    return target;
}

} // namespace

QPointer<Capturer> &currentCapturer()
{
    static QPointer<Capturer> capturer;
    return capturer;
}

QPointer<CaptureBkgnd> &background()
{
    static QPointer<CaptureBkgnd> window;
    return window;
}

void setTarget(qint32 bookCode, const QString &bookName) { storedTarget() = Target {bookCode, bookName}; }
void clearTarget() { storedTarget().reset(); }
bool hasTarget() { return storedTarget().has_value(); }
Target target() { return storedTarget().value_or(Target {}); }

} // namespace tovradocs::Internal::CaptureEnvironment
