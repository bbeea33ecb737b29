// The library toolbar: pasting, adding, editing, importing and capturing.
#include "library/tovralib.h"
#include "library/tovralib_p.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "controls/imgview.h"
#include "library/acquisitionhooks.h"
#include "library/addmultipledocs.h"
#include "library/clipboardfiles.h"
#include "library/entrydetails.h"
#include "library/entryopeners.h"
#include "library/mountcommands.h"
#include "library/librarydata.h"
#include "library/picselector.h"
#include "library/serialgrabber.h"
#include "library/vidselector.h"
#include "viewers/viewimg.h"

#include <tovradocs/dokument.h>
#include <tovradocs/dokumentz.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace tovradocs::Internal {

namespace tovralib {

// Moves window next to other, right of it where the screen has room, else
// left of it, else above it; level with its top.
void placeBeside(QWidget *window, const QWidget *other)
{
    const QScreen *screen = other->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect taken = other->frameGeometry();
    const QSize size = window->frameGeometry().size();
    constexpr int kGap = 8;
    QPoint at;
    if (taken.right() + kGap + size.width() <= area.right())
        at = QPoint(taken.right() + kGap, taken.top());
    else if (taken.left() - kGap - size.width() >= area.left())
        at = QPoint(taken.left() - kGap - size.width(), taken.top());
    else
        at = QPoint(taken.left(), std::max(area.top(), taken.top() - kGap - size.height()));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    window->move(at);
}

} // namespace tovralib

qint32 TovraLib::addEntry(qint16 entryType, const QString &fileName)
{
    if (fileName.isEmpty() || !hasBook())
        return 0;
    const qint32 book = currentBookCode();
    const QString bookName = currentBookName();
    qint32 added = 0;
    trapErrors(tovralib::kWindowName, [&] {
        EntryDetails details(this);
        QString description;
        added = details.AddLibraryEntry(entryType, bookName, book, fileName, description, this);
    });
    if (added)
        forgetUndo();
    RefreshDocuments();
    return added;
}

void TovraLib::pasteImage()
{
    DataLink *link = dataLink();
    if (!link || !hasBook())
        return;
    QString path;
    QPointer<ViewImg> viewer;
    const bool ran = trapErrors(tovralib::kWindowName, [&] {
        const qint32 key = newEntryCode();
        QString extension = link->GetSystemSetting(61).toString().trimmed();
        if (extension.isEmpty())
            extension = QStringLiteral("jpg");
        const QString target = link->NextFileName(1, currentBookCode(), key, extension);
        viewer = new ViewImg(this);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        // Only up while the picture is described; the window manager would
        // otherwise keep it under this window, which the modal box raises.
        viewer->setWindowFlag(Qt::WindowStaysOnTopHint);
        path = viewer->PasteNSaveImage(target);
        if (path.isEmpty())
            viewer->deleteLater(); // nothing was shown
    });
    if (!ran || path.isEmpty())
        return;
    // Once the description box is up, the picture goes beside it.
    QTimer::singleShot(0, viewer, [shown = viewer.data()] {
        if (QWidget *box = QApplication::activeModalWidget(); box && box != shown)
            tovralib::placeBeside(shown, box);
        shown->raise();
    });
    const bool saved = addEntry(1, path) != 0;
    // The viewer showed the picture while it was described; saved, it is a
    // page of the book now, so no window is left behind either way.
    if (viewer)
        viewer->close();
    // The entry was never saved: the picture we wrote belongs to nothing.
    if (!saved)
        QFile::remove(localLibraryPath(path));
}

void TovraLib::editSelected()
{
    bool imageOpened = false;
    for (int page : selectedPages()) {
        const QString file = m_pages.at(PageTable::FileNameRow, page);
        const QString description = m_pages.at(PageTable::DescriptionRow, page);
        switch (m_pages.at(PageTable::EntryTypeRow, page).toInt()) {
        case 1:
            // One image editor at a time.
            if (!imageOpened) {
                imageOpened = true;
                openInImageEditor(file, this);
            }
            break;
        case 2:
            openInVideoPlayer(file, description, this);
            break;
        default:
            openOtherDocument(file, description);
            break;
        }
    }
}

void TovraLib::copyFirstChecked()
{
    for (const Slot &slot : std::as_const(m_slots)) {
        if (slot.check->isVisible() && slot.check->isChecked()) {
            if (!slot.picture->copyToClipboard())
                notify(QStringLiteral("The picture could not be copied to the clipboard."));
            return;
        }
    }
}

void TovraLib::gatherFiles(const QList<QUrl> &urls)
{
    m_gatheredFiles.clear();
    for (const QUrl &url : urls) {
        const QString path = localPathFromUrl(url.toEncoded());
        if (!path.isEmpty() && !m_gatheredFiles.contains(path))
            m_gatheredFiles.append(path);
    }
}

void TovraLib::gatherFromClipboard()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    m_gatheredFiles = filesFromMimeData(data).paths;
    if (m_gatheredFiles.isEmpty()) {
        DialogService::message(this, QStringLiteral("No files found on clipboard !"));
        return;
    }
    importGathered();
}

void TovraLib::importGathered()
{
    if (m_gatheredFiles.isEmpty() || !hasBook())
        return;
    Dokumentz documents;
    documents.DefDocumentType = 1;
    documents.DefFileType = 0;
    documents.DefSourceID = currentBookCode();
    {
        AddMultipleDocs importer(this);
        importer.AddMultipleFiles(m_gatheredFiles, documents);
    }
    m_gatheredFiles.clear();
    if (documents.Count() > 0)
        booksClicked();
}

// Capture, scan and camera commands are answered by the capture layer.
static void runAcquisition(TovraLib *window, const AcquisitionHooks::BookCommand &hook,
                           const QString &what)
{
    if (hook)
        trapErrors(tovralib::kWindowName,
                   [&] { hook(window, window->currentBookCode(), window->currentBookName()); });
    else
        notifyNotAvailable(what);
}

void TovraLib::tbrLibCommand(const QString &key)
{
    if (key == QLatin1String("Close")) {
        close();
        return;
    }
    if (!hasBook())
        return;
    if (key == QLatin1String("Refresh")) {
        booksClicked();
    } else if (key == QLatin1String("Export DICOM")) {
        tbrExportCommand(key);
    } else if (key == QLatin1String("New Mount")) {
        if (newMount(this, currentBookCode()))
            RefreshDocuments();
    } else if (key == QLatin1String("Edit Slideshow")) {
        trapErrors(tovralib::kWindowName, [&] { editSlideShow(currentBookCode(), this); });
    } else if (key == QLatin1String("Copy")) {
        copyFirstChecked();
    } else if (key == QLatin1String("Capture")) {
        runAcquisition(this, acquisitionHooks().capture, QStringLiteral("Capture"));
    } else if (key == QLatin1String("Scan")) {
        runAcquisition(this, acquisitionHooks().scan, QStringLiteral("Scanning"));
    } else if (key == QLatin1String("Load Image")) {
        QString file;
        trapErrors(tovralib::kWindowName, [&] {
            PicSelector picker(this);
            file = picker.SelectImage();
        });
        addEntry(1, file);
    } else if (key == QLatin1String("Load Video")) {
        QString file;
        trapErrors(tovralib::kWindowName, [&] {
            VidSelector picker(this);
            file = picker.SelectVideo();
        });
        addEntry(2, file);
    } else if (key == QLatin1String("Add Document")) {
        QString file;
        if (DataLink *link = dataLink())
            trapErrors(tovralib::kWindowName, [&] { file = link->SelectDocument(3); });
        addEntry(3, file);
    } else if (key == QLatin1String("Paste Image")) {
        pasteImage();
    } else if (key == QLatin1String("PasteExplorer")) {
        gatherFromClipboard();
    } else if (key == QLatin1String("Edit Selected")) {
        editSelected();
    } else if (key == QLatin1String("Edit Page Details")) {
        const QList<int> pages = selectedPages();
        if (!pages.isEmpty())
            editPage(pages.first());
    } else if (key == QLatin1String("Select All")) {
        setAllSelected(true);
    } else if (key == QLatin1String("DeSelect All")) {
        setAllSelected(false);
    } else if (key == QLatin1String("SerialGrab")) {
        SerialGrabber::openFor(currentBookCode(), currentBookName());
    } else if (key == QLatin1String("GetPicFromImgDevice")) {
        runAcquisition(this, acquisitionHooks().pictureFromDevice,
                       QStringLiteral("Imaging device acquisition"));
    } else if (key == QLatin1String("TakeCameraPic")) {
        runAcquisition(this, acquisitionHooks().cameraPicture, QStringLiteral("Camera pictures"));
    }
}

} // namespace tovradocs::Internal
