#include <tovradocs/mediamanager.h>

#include "component/filetypes.h"
#include "component/hostlink.h"
#include "viewers/tovrabrowser.h"
#include "viewers/tovratutor.h"
#include "viewers/vidplaywindow.h"

namespace tovradocs {

using namespace Internal;

namespace {

const QString kViewerManagerName = QStringLiteral("MediaManager");

// ViewFile's own windows: the video player and the web page window.
class ComponentViewerTargets : public ViewerTargets
{
public:
    bool showVideo(const QString &path, const QString &caption) override
    {
        (new VidPlayWindow(parentWindow()))->ViewVideo(path, caption, parentWindow());
        return true;
    }
    bool showBrowser(const QString &address, const QString &caption) override
    {
        return (new TovraBrowser(parentWindow()))->Open(address, caption);
    }
};

} // namespace

void MediaManager::ShowTutorial(qint32 &TutorialCode)
{
    trapErrors(kViewerManagerName, [&] { (new TovraTutor(parentWindow()))->ShowTutorial(TutorialCode); });
}

void MediaManager::VisitSiteInline(const QString &SiteAddress, const QString &WinCaption)
{
    // Hosts running as root need not know about the engine's sandbox.
    prepareWebEngine();
    try {
        ComponentViewerTargets().showBrowser(SiteAddress, WinCaption);
    } catch (...) {
        // Errors inside the browser are of no concern to the caller.
    }
}

bool MediaManager::ViewFile(const QString &FileName, const QString &WinCaption)
{
    ComponentViewerTargets targets;
    bool shown = false;
    trapErrors(kViewerManagerName, [&] { shown = viewFile(FileName, WinCaption, targets); });
    return shown;
}

} // namespace tovradocs
