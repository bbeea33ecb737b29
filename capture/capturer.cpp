#include <tovradocs/capturer.h>

#include "capture/capturebkgnd.h"
#include "capture/captureenvironment.h"
#include "capture/smartgrab.h"
#include "component/hostlink.h"

namespace tovradocs {

using namespace Internal;

namespace capturer {

void open(Capturer *self, const QString &caption, bool immediateVideo)
{
    trapErrors(QStringLiteral("Capturer"), [&] {
        QPointer<CaptureBkgnd> &window = CaptureEnvironment::background();
        // One capture environment at a time: a second call brings it forward,
        // unless it was closed in this same dispatch (not yet deleted) or it
        // fills another book than this call would, which opens it anew.
        const qint32 book = SmartGrab::knownBook(self);
        if (window && window->isVisible() && window->immediateVideo() == immediateVideo
            && window->grab() && (book == 0 || book == window->grab()->bookCode())) {
            CaptureEnvironment::currentCapturer() = self;
            window->setWindowTitle(caption);
            window->raise();
            window->activateWindow();
            return;
        }
        // Closing the old environment ends its target; this call's own stays.
        const std::optional<CaptureEnvironment::Target> own = CaptureEnvironment::targetOf(self);
        if (window)
            window->close();
        if (own)
            CaptureEnvironment::setTarget(self, own->bookCode, own->bookName);
        // Set after the old environment has let go of its Capturer.
        CaptureEnvironment::currentCapturer() = self;
        window = new CaptureBkgnd(immediateVideo, parentWindow());
        window->setWindowTitle(caption);
        window->show();
    });
}

} // namespace capturer

Capturer::Capturer(QObject *parent) : QObject(parent) {}
Capturer::~Capturer() = default;

void Capturer::ShowCapture(const QString &caption)
{
    capturer::open(this, caption, false);
}

void Capturer::CaptureVideo(const QString &caption)
{
    capturer::open(this, caption, true);
}

void Capturer::TransferFileEntryToDB(bool bVideofile, const QString &first, const QString &second)
{
    if (bVideofile)
        Q_EMIT VideoFileSaved(first, second);
    else
        Q_EMIT ImageFileSaved(first, second);
}

QString Capturer::RequestNextTempFileName(bool video)
{
    QString name;
    if (video)
        Q_EMIT GetNextTempVideoFileName(name);
    else
        Q_EMIT GetNextTempImageFileName(name);
    return name;
}

} // namespace tovradocs
