#pragma once

#include <QPointer>
#include <QString>

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
// Set by the library window before it opens the capture window; without it
// the capture window takes the open library window's book or asks the host.
void setTarget(qint32 bookCode, const QString &bookName);
void clearTarget();
bool hasTarget();
Target target();

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
