#include <tovradocs/hostobjects.h>
#include <tovradocs/mediamanager.h>

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "component/mediaicons.h"

#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QUrl>

namespace tovradocs {

using namespace Internal;

namespace {

const QString kWindowName = QStringLiteral("MediaManager");

void notAvailable(const QString &what)
{
    notify(what + QStringLiteral(" is not available in this build."));
}

} // namespace

struct MediaManager::Private
{
    std::unique_ptr<ImageEditor> imageEditor;
};

MediaManager::MediaManager() : d(std::make_unique<Private>())
{
    retainHostLink();
    lastPickerDrive().clear();
    lastPickerFolder().clear();
}

MediaManager::~MediaManager()
{
    d->imageEditor.reset();
    releaseHostLink();
}

void MediaManager::SendFaxMail(QString &, QString &, QString &) {}

// ShowTutorial, VisitSiteInline and ViewFile open viewer windows and live with
// them in viewers/mediamanager_viewers.cpp.

void MediaManager::ShowFileProps(QWidget *hwn, const QString &FileName)
{
    showFileProperties(hwn, FileName);
}

QImage MediaManager::GetMediaIcon(qint16 IconID) { return mediaIcon(IconID); }

QString MediaManager::GetViewerFilterString(qint32 SubDocumentType)
{
    return viewerFilterString(SubDocumentType);
}

QString MediaManager::GetDocTypeFilterString(LibraryContentTypes DocType)
{
    return docTypeFilterString(DocType);
}

bool MediaManager::ISRelativePath(const QString &FilePath) { return isRelativePath(FilePath); }

// AddLibEntry, ViewLibrary, GetStdPicture and SelectFile open library windows and
// live with them in library/mediamanager_library.cpp.

bool MediaManager::DoesFileExist(const QString &FileName) { return doesFileExist(FileName); }

void MediaManager::ViewImageEditor(const QString &FileName)
{
    trapErrors(kWindowName, [&] {
        if (!d->imageEditor) {
            if (auto &make = hostObjectFactories().imageEditor)
                d->imageEditor = make();
        }
        if (!d->imageEditor) {
            notAvailable(QStringLiteral("An image editor"));
            return;
        }
        d->imageEditor->EditImage(FileName, parentWindow());
    });
}

QString MediaManager::GetFileExtension(const QString &FileName) { return fileExtension(FileName); }

qint32 MediaManager::GetFileViewer(const QString &Extension) { return fileViewer(Extension); }

void MediaManager::ClearDataLink() { clearHostLink(); }

void MediaManager::SetDataLink(std::shared_ptr<DataLink> DataLink, QWidget *ParentWnd)
{
    setHostLink(std::move(DataLink), ParentWnd);
}

} // namespace tovradocs
