#include <tovradocs/hostobjects.h>
#include <tovradocs/mediamanager.h>

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "component/mediaicons.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QPageSetupDialog>
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

// Until the player and browser windows exist, videos and pages open in the
// desktop's own applications so a user is never left with nothing.
class DesktopViewerTargets : public ViewerTargets
{
public:
    bool showVideo(const QString &path, const QString &) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    bool showBrowser(const QString &address, const QString &) override
    {
        const QUrl url = QUrl::fromUserInput(address);
        return url.isValid() && QDesktopServices::openUrl(url);
    }
};

} // namespace

struct MediaManager::Private
{
    // Image table of the patient report: rows of Entry_Code, FileName,
    // Description, EntryType, "1".
    QList<QStringList> imageTable;
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

void MediaManager::OpenJoyToy(qint16, QWidget *&)
{
    notAvailable(QStringLiteral("The foot switch test"));
}

void MediaManager::RunPatientReportWithImages(PtImageReports PirRpt, qint32 RecID,
                                              const QString &, qint16, qint32, Recordset *,
                                              Recordset *, QObject *)
{
    if (PirRpt == pirDrOndalReport) {
        notAvailable(QStringLiteral("The cross-tab report"));
        return;
    }
    trapErrors(kWindowName, [&] {
        d->imageTable.clear();
        DataLink *link = dataLink();
        if (PirRpt != pirNone && RecID > 0 && link) {
            std::unique_ptr<Recordset> visit;
            link->FillRecordSet(visit, QStringLiteral("Select PatientCode , VisitDate From Visits where (Entry_Code = ")
                                           + QString::number(RecID) + QStringLiteral(")"));
            if (visit && visit->isOpen() && !visit->isEof()) {
                const qint32 code = visit->value(QStringLiteral("PatientCode")).toInt();
                visit->close();
                std::unique_ptr<Recordset> rows;
                link->FillRecordSet(rows, QStringLiteral("Select BookContents.* From Books,BookContents where (Books.Patientcode = ")
                                              + QString::number(code) + QStringLiteral(")")
                                              + QStringLiteral(" and (BookContents.BookCode = Books.Entry_Code) "));
                for (; rows && rows->isOpen() && !rows->isEof(); rows->moveNext()) {
                    d->imageTable.append({rows->value(QStringLiteral("Entry_Code")).toString(),
                                          rows->value(QStringLiteral("FileName")).toString(),
                                          rows->value(QStringLiteral("Description")).toString(),
                                          rows->value(QStringLiteral("EntryType")).toString(),
                                          QStringLiteral("1")});
                }
                if (rows)
                    rows->close();
            }
        }
        notAvailable(QStringLiteral("The patient report"));
    });
}

void MediaManager::SendFaxMail(QString &, QString &, QString &) {}

void MediaManager::ShowTutorial(qint32 &)
{
    notAvailable(QStringLiteral("The tutorial window"));
}

bool MediaManager::PrintSetupDlg(QWidget *&hWnd)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || info.printerName().isEmpty()) {
        DialogService::message(hWnd, QStringLiteral("Error retrieving printer information !"));
        return false;
    }
    QPrinter printer(info);
    QPageSetupDialog dialog(&printer, hWnd);
    dialog.setObjectName(QStringLiteral("PrinterSetup"));
    DialogService::showModal(&dialog);
    return true;
}

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

void MediaManager::VisitSiteInline(const QString &SiteAddress, const QString &WinCaption)
{
    DesktopViewerTargets targets;
    try {
        targets.showBrowser(SiteAddress, WinCaption);
    } catch (...) {
        // Errors inside the browser are of no concern to the caller.
    }
}

bool MediaManager::ViewFile(const QString &FileName, const QString &WinCaption)
{
    DesktopViewerTargets targets;
    bool shown = false;
    trapErrors(kWindowName, [&] { shown = viewFile(FileName, WinCaption, targets); });
    return shown;
}

QString MediaManager::GetFileExtension(const QString &FileName) { return fileExtension(FileName); }

qint32 MediaManager::GetFileViewer(const QString &Extension) { return fileViewer(Extension); }

void MediaManager::ClearDataLink() { clearHostLink(); }

void MediaManager::SetDataLink(std::shared_ptr<DataLink> DataLink, QWidget *ParentWnd)
{
    setHostLink(std::move(DataLink), ParentWnd);
}

qint32 MediaManager::IsJoyStickPresent()
{
    QVariant connected(true);
    return IsJoyStickPresent(connected);
}

qint32 MediaManager::IsJoyStickPresent(QVariant &)
{
    return 0; // no joystick service in this build
}

} // namespace tovradocs
