#include "capture/captureenvironment.h"

#include "capture/capturebkgnd.h"

#include <tovradocs/capturer.h>

#include <optional>

namespace tovradocs::Internal::CaptureEnvironment {

namespace {

struct OwnedTarget
{
    QPointer<const Capturer> owner;
    Target target;
};

std::optional<OwnedTarget> &storedTarget()
{
    static std::optional<OwnedTarget> target;
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

void setTarget(const Capturer *owner, qint32 bookCode, const QString &bookName)
{
    storedTarget() = OwnedTarget {owner, Target {bookCode, bookName}};
}

void clearTarget() { storedTarget().reset(); }

std::optional<Target> targetOf(const Capturer *capturer)
{
    const std::optional<OwnedTarget> &stored = storedTarget();
    // A Capturer deleted since leaves a null owner, which matches nobody.
    if (!capturer || !stored || stored->owner != capturer)
        return std::nullopt;
    return stored->target;
}

} // namespace tovradocs::Internal::CaptureEnvironment
