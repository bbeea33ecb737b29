#include "capture/captureenvironment.h"
#include "component/hostlink.h"
#include "library/acquisitionhooks.h"

#include <tovradocs/capturer.h>
#include <tovradocs/hostobjects.h>

#include <QPointer>
#include <QWidget>

// Answers the library window's capture commands.

namespace tovradocs::Internal {

namespace libraryacquisition {

constexpr qint16 kUseCaptureServerSetting = 104;

void capture(QWidget *library, qint32 bookCode, const QString &bookName)
{
    DataLink *link = dataLink();
    if (!link)
        return;
    // The practice may run its own capture server instead of ours.
    if (link->GetSystemSetting(kUseCaptureServerSetting).toBool()) {
        if (const auto &factory = hostObjectFactories().captureServer) {
            if (std::unique_ptr<CaptureServer> server = factory()) {
                server->SetDataLink(sharedDataLink(), library);
                server->CaptureImages(bookCode, bookName);
                return;
            }
        }
    }
    // The library window's Capturer lives as long as the window.
    static QPointer<Capturer> capturer;
    if (!capturer || capturer->parent() != library)
        capturer = new Capturer(library);
    CaptureEnvironment::setTarget(bookCode, bookName);
    capturer->ShowCapture(bookName);
}

void install()
{
    AcquisitionHooks &hooks = acquisitionHooks();
    hooks.capture = capture;
}

// Filled when the library is loaded, before any window can ask.
Q_CONSTRUCTOR_FUNCTION(install)

} // namespace libraryacquisition

} // namespace tovradocs::Internal
