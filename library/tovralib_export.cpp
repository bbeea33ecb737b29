// The export toolbar: viewing, comparing, the slide show, e-mail and copies.
#include "library/tovralib.h"
#include "library/tovralib_p.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "library/clipboardfiles.h"
#include "library/entryopeners.h"
#include "library/mountcommands.h"
#include "library/librarydata.h"
#include "viewers/showman.h"
#include "viewers/viewimg.h"

#include <tovradocs/dokument.h>
#include <tovradocs/dokumentz.h>

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <utility>

namespace tovradocs::Internal {

void TovraLib::viewSelectedEntries()
{
    for (int page : selectedPages()) {
        const QString file = m_pages.at(PageTable::FileNameRow, page);
        const QString description = m_pages.at(PageTable::DescriptionRow, page);
        const int type = m_pages.at(PageTable::EntryTypeRow, page).toInt();
        trapErrors(tovralib::kWindowName, [&] {
            if (type == 1)
                (new ViewImg(this))->ViewSingleImage(file, description);
            else if (type == 2)
                openInVideoPlayer(file, description, this);
            else
                openOtherDocument(file, description);
        });
    }
}

// Pictures side by side in the viewer; videos only, side by side in the
// player, or a single one played on its own.
void TovraLib::compareSelected()
{
    const std::unique_ptr<Dokumentz> chosen = collectDocuments(false);
    int videos = 0;
    int videoPage = 0;
    for (int page : selectedPages()) {
        if (m_pages.at(PageTable::EntryTypeRow, page).toInt() == 2) {
            ++videos;
            videoPage = page;
        }
    }
    if (chosen->Count() == 0) {
        DialogService::message(this, QStringLiteral("Select the pictures or videos to compare first."));
        return;
    }
    if (videos == 1 && chosen->Count() == 1) {
        trapErrors(tovralib::kWindowName, [&] {
            openInVideoPlayer(m_pages.at(PageTable::FileNameRow, videoPage),
                              m_pages.at(PageTable::DescriptionRow, videoPage), this);
        });
        return;
    }
    if (videos >= 2 && videos == chosen->Count()) {
        trapErrors(tovralib::kWindowName, [&] { compareVideos(*chosen, currentBookCode()); });
        return;
    }
    trapErrors(tovralib::kWindowName, [&] {
        ViewImg viewer(this);
        viewer.setAttribute(Qt::WA_DeleteOnClose, false);
        viewer.ViewSelectedImages(m_pages, false, qint16(m_pages.count()));
    });
}

// Every picture and video of the book, each for the time its entry sets.
void TovraLib::slideShow()
{
    const qint32 book = currentBookCode();
    QHash<qint32, int> seconds;
    if (!withLibrary([&](LibraryData &data) { seconds = data.onScreenTimes(book); }))
        return;
    trapErrors(tovralib::kWindowName, [&] {
        std::shared_ptr<Dokumentz> documents = collectDocuments(true);
        auto *show = new ShowMan(this);
        show->setSlideSeconds(seconds);
        show->ViewSlideShow(std::move(documents), 0);
    });
}

std::unique_ptr<Dokumentz> TovraLib::collectDocuments(bool allPages) const
{
    auto documents = std::make_unique<Dokumentz>();
    documents->DefDocumentType = 1;
    documents->DefFileType = 1;
    documents->DefSourceID = currentBookCode();
    for (int page = 1; page <= m_pages.count(); ++page) {
        const int type = m_pages.at(PageTable::EntryTypeRow, page).toInt();
        if (type != 1 && type != 2)
            continue;
        if (!allPages && m_pages.at(PageTable::SelectedRow, page) != QLatin1String("1"))
            continue;
        const QString code = m_pages.at(PageTable::EntryCodeRow, page);
        auto document = documents->Add(code.toInt(), m_pages.at(PageTable::FileNameRow, page),
                                       QString(), documents->DefDocumentType,
                                       documents->DefFileType, documents->DefSourceTable,
                                       documents->DefSourceID, code + QStringLiteral("ND"));
        document->Description = m_pages.at(PageTable::DescriptionRow, page);
        document->SlideTransition = qint16(m_pages.at(PageTable::CTEffectRow, page).toInt());
    }
    return documents;
}

void TovraLib::emailSelected()
{
    DataLink *link = dataLink();
    if (!link || m_pages.isEmpty())
        return;
    trapErrors(tovralib::kWindowName, [&] {
        std::unique_ptr<Dokumentz> documents = collectDocuments(false);
        link->EmailDocuments(*documents);
    });
}

void TovraLib::copyToFileManager()
{
    const std::unique_ptr<Dokumentz> documents = collectDocuments(false);
    if (documents->Count() == 0) {
        DialogService::message(this, QStringLiteral("You need to select at least one document !"));
        return;
    }
    QStringList paths;
    for (const Dokument &document : *documents)
        paths.append(localLibraryPath(document.FileName));
    QGuiApplication::clipboard()->setMimeData(mimeDataForFiles(paths));
    const int count = documents->Count();
    DialogService::message(this, QString::number(count) + QStringLiteral(" file")
                                      + (count >= 2 ? QStringLiteral("s") : QString())
                                      + QStringLiteral(" copied to clipboard !"));
}

void TovraLib::tbrExportCommand(const QString &key)
{
    if (!hasBook())
        return;
    if (key == QLatin1String("SelViewWindow")) {
        if (!m_pages.isEmpty())
            compareSelected();
    } else if (key == QLatin1String("SelViewShow")) {
        if (!m_pages.isEmpty())
            slideShow();
    } else if (key == QLatin1String("View Selected Entry")) {
        viewSelectedEntries();
    } else if (key == QLatin1String("SelEmail")) {
        emailSelected();
    } else if (key == QLatin1String("SelPrint")) {
        PrintImages(-1, false);
    } else if (key == QLatin1String("CopyToExplorer")) {
        copyToFileManager();
    } else if (key == QLatin1String("Export DICOM")) {
        exportSelectedAsDicom(this, currentBookCode(), m_pages, selectedPages());
    } else if (key == QLatin1String("PhotoPrintingWizard")) {
        const QList<int> pages = selectedPages();
        const bool anyImage = std::any_of(pages.begin(), pages.end(), [this](int page) {
            return m_pages.at(PageTable::EntryTypeRow, page).toInt() == 1;
        });
        if (!anyImage)
            DialogService::message(this, QStringLiteral("No Images Selected !"));
        else // the selected pictures through the image printing, with its setup and preview
            PrintImages(-1, false);
    }
}

} // namespace tovradocs::Internal
