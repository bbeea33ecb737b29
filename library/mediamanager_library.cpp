#include <tovradocs/mediamanager.h>

#include "component/filetypes.h"
#include "component/hostlink.h"
#include "library/entryopeners.h"
#include "library/tovralib.h"
#include "viewers/viewimg.h"

#include "library/entrydetails.h"
#include "library/picselector.h"

#include <QPointer>

// The members of MediaManager that open library windows; the component layer
// below cannot see them.

namespace tovradocs {

using namespace Internal;

namespace mediamanager_library {

const QString kWindowName = QStringLiteral("MediaManager");

// One library window at a time; a second call brings it forward.
QPointer<TovraLib> &libraryWindow()
{
    static QPointer<TovraLib> window;
    return window;
}

} // namespace mediamanager_library

void MediaManager::ViewLibrary(bool bPatientsOnly, qint32 PatientID, const QString &PatientName)
{
    trapErrors(mediamanager_library::kWindowName, [&] {
        QPointer<TovraLib> &window = mediamanager_library::libraryWindow();
        if (!window) {
            window = new TovraLib(parentWindow());
            window->setAttribute(Qt::WA_DeleteOnClose);
        }
        window->DisplayData(bPatientsOnly, PatientID, PatientName);
    });
}

void MediaManager::AddLibEntry(qint16 EntryType, const QString &FileName, qint32 BookCode,
                               const QString &BookName)
{
    trapErrors(mediamanager_library::kWindowName, [&] {
        EntryDetails details(parentWindow());
        QString description;
        details.AddLibraryEntry(EntryType, BookName, BookCode, FileName, description,
                                parentWindow());
    });
}

QImage MediaManager::GetStdPicture(const QString &Picturefile)
{
    QImage picture;
    trapErrors(mediamanager_library::kWindowName, [&] {
        ViewImg viewer(parentWindow());
        viewer.setAttribute(Qt::WA_DeleteOnClose, false);
        picture = viewer.CovertFiletoPicture(Picturefile);
    });
    return picture;
}

QString MediaManager::SelectFile(QWidget *&hWnd, qint16 &wMode, QString &szDialogTitle,
                                 QString &szFilename, QString &szFilter, QString &szDefDir,
                                 QString &szDefExt)
{
    if (wMode == 101) {
        QString file;
        trapErrors(mediamanager_library::kWindowName, [&] {
            PicSelector picker(parentWindow());
            file = picker.SelectSystemImage(parentWindow());
        });
        return file;
    }
    return commonFileDialog(hWnd, wMode, szDialogTitle, szFilename, szFilter, szDefDir, szDefExt);
}

} // namespace tovradocs
