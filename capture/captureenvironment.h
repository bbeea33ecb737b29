#pragma once

#include <QPointer>
#include <QString>

#include <optional>

namespace tovradocs {
class Capturer;
}

namespace tovradocs::Internal {

class CaptureBkgnd;

// The capture environment's shared state: the Capturer that opened it, its
// background window, and the book the next capture window fills.
namespace CaptureEnvironment {

QPointer<Capturer> &currentCapturer();
QPointer<CaptureBkgnd> &background();

struct Target
{
    qint32 bookCode = 0;
    QString bookName;
};
// Set by the library window for the capture environment its own Capturer
// opens. It holds for that Capturer only and ends with the environment, so a
// capture the host opens later takes the book selected then, never this one.
void setTarget(const Capturer *owner, qint32 bookCode, const QString &bookName);
void clearTarget();
std::optional<Target> targetOf(const Capturer *capturer);

// The command numbers of the capture window.
enum Command : qint16 {
    CmdSnap = 154,
    CmdClose = 208,
    CmdVideoFormat = 253,
    CmdVideoDisplay = 255,
    CmdSaveFrameAs = 383,
    CmdVideoSource = 757,
    CmdVideoCompression = 805,
    CmdRecord = 812,
    CmdOverlay = 813,
    CmdCopy = 814,
    CmdPreview = 815,
};

} // namespace CaptureEnvironment

} // namespace tovradocs::Internal
