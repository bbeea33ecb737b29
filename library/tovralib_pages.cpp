// The page menu: viewing, printing, editing and duplicating one page.
#include "library/tovralib.h"
#include "library/tovralib_p.h"

#include "component/dialogservice.h"
#include "component/fileprobe.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "controls/imgview.h"
#include "library/entrydetails.h"
#include "library/entryopeners.h"
#include "library/mountcommands.h"
#include "library/librarydata.h"
#include "printing/previewer.h"
#include "viewers/singleimageview.h"
#include "viewers/viewimg.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace tovradocs::Internal {

void TovraLib::ViewEntry(const QString &FileName, const QString &Description, qint16 EntryType,
                         bool bFullScreen)
{
    if (EntryType == 1 || EntryType == 2) {
        // An empty viewer or a silent player would only puzzle; say what is
        // wrong with the file.
        const FileProbe probe = inspectFile(localLibraryPath(FileName));
        if (!probe.ok()) {
            DialogService::message(this,
                                   QStringLiteral("%1: %2\n%3\n%4")
                                       .arg(Description.isEmpty() ? QStringLiteral("This page") : Description,
                                            problemLabel(probe.problem, EntryType), probe.reason,
                                            QDir::toNativeSeparators(localLibraryPath(FileName))),
                                   QString(), Buttons::Ok, Severity::Warning);
            return;
        }
    }
    trapErrors(tovralib::kWindowName, [&] {
        if (EntryType == 1) {
            if (bFullScreen) {
                auto *viewer = new ViewImg(this);
                viewer->ViewSingleImage(FileName, Description);
                viewer->ViewFullScreen();
            } else if (m_viewingMode != 5) {
                using SingleView = SingleImageView;
                auto *view = qobject_cast<SingleView *>(m_singleView.data());
                if (!view) {
                    view = new SingleView(this);
                    m_singleView = view;
                }
                view->ViewSingleImage(FileName, Description);
            } else {
                (new ViewImg(this))->ViewSingleImage(FileName, Description);
            }
        } else if (EntryType == 2) {
            openInVideoPlayer(FileName, Description, this);
        } else if (isMountFile(FileName)) {
            openMountEntry(this, currentBookCode(), FileName);
        } else {
            openOtherDocument(FileName, Description);
        }
    });
}

void TovraLib::PrintImages(int index, bool singlePage)
{
    const bool printer = tovralib::g_printerCheck ? tovralib::g_printerCheck() : defaultPrinterAvailable();
    if (!printer) {
        DialogService::message(this, QStringLiteral("Default Printer not available !"));
        return;
    }
    if ((index >= 0 || index == kIndexSlot) && singlePage) {
        if (const std::optional<PageTable::Page> row = rowOfSlot(index)) {
            PageTable one;
            one.pages.append(*row);
            one.at(PageTable::SelectedRow, 1) = QStringLiteral("1");
            Previewer(this).ShowPrintPreview(one, 0, 1);
        }
        return;
    }
    int printable = 0;
    int selected = 0;
    for (int page = 1; page <= m_pages.count(); ++page) {
        if (m_pages.at(PageTable::EntryTypeRow, page).toInt() != 1
            || !QFileInfo::exists(localLibraryPath(m_pages.at(PageTable::FileNameRow, page))))
            continue;
        ++printable;
        if (m_pages.at(PageTable::SelectedRow, page) == QLatin1String("1"))
            ++selected;
    }
    if (selected == 0) {
        if (printable == 0) {
            DialogService::message(this, QStringLiteral("No images available for print ! "));
            return;
        }
        if (DialogService::message(this,
                                   QStringLiteral("No images selected !\nDo you want to print all images ?"),
                                   QString(), Buttons::YesNo, Severity::Question)
            != Answer::Yes)
            return;
    }
    // Printing never changes the library's own selection.
    PageTable chosen = m_pages;
    if (selected == 0) {
        for (int page = 1; page <= chosen.count(); ++page)
            chosen.at(PageTable::SelectedRow, page) = QStringLiteral("1");
    }
    Previewer(this).ShowPrintPreview(chosen, 0, qint16(chosen.count()));
}

void TovraLib::SetIndexImage(int index)
{
    const std::optional<PageTable::Page> row = rowOfSlot(index);
    if (!row || !hasBook() || index == kIndexSlot)
        return;
    // A first picture standing in for a missing index is no choice to replace.
    if (m_indexMarked) {
        const Answer answer = DialogService::message(
            this,
            QStringLiteral("Index Image has already been assigned to this entry.\nDo you want to replace it ?"),
            QString(), Buttons::YesNo, Severity::Question);
        if (answer != Answer::Yes)
            return;
    }
    const qint32 book = currentBookCode();
    const qint32 entry = row->at(PageTable::EntryCodeRow - 1).toInt();
    const QString file = row->at(PageTable::FileNameRow - 1);
    if (withLibrary([&](LibraryData &data) { data.setIndexImage(book, entry); })) {
        // Left out of the grid, the new index picture leaves it: read the book again.
        if (!m_includeIndexImage) {
            loadPages();
        } else {
            m_indexImage->setFileName(localLibraryPath(file));
            m_indexRow = row;
            m_indexMarked = true;
            showIndexState();
        }
    }
}

void TovraLib::EditPageDetails(int index)
{
    if (index == kIndexSlot) {
        if (const std::optional<PageTable::Page> row = rowOfSlot(index)) {
            trapErrors(tovralib::kWindowName, [&] {
                EntryDetails details(this);
                details.EditLibraryEntry(row->at(PageTable::EntryCodeRow - 1).toInt(),
                                         currentBookName(), this);
            });
            loadPages();
        }
        return;
    }
    if (const int page = pageOfSlot(index))
        editPage(page);
}

void TovraLib::editPage(int page)
{
    if (page < 1 || page > m_pages.count())
        return;
    const qint32 code = m_pages.at(PageTable::EntryCodeRow, page).toInt();
    QString description;
    trapErrors(tovralib::kWindowName, [&] {
        EntryDetails details(this);
        description = details.EditLibraryEntry(code, currentBookName(), this);
    });
    if (description.isEmpty())
        return;
    // The page may have gone while the editor was open.
    if (page <= m_pages.count() && m_pages.at(PageTable::EntryCodeRow, page).toInt() == code) {
        m_pages.at(PageTable::DescriptionRow, page) = description;
        drawGrid();
    }
}

qint32 TovraLib::newEntryCode()
{
    DataLink *link = dataLink();
    return link ? link->GenerateEntrycode(false, QStringLiteral("BookContents"),
                                          QStringLiteral("Entry_code"))
                : 0;
}

void TovraLib::DuplicateEntry(int index)
{
    const std::optional<PageTable::Page> row = rowOfSlot(index);
    if (!row || !hasBook())
        return;
    const qint32 entry = row->at(PageTable::EntryCodeRow - 1).toInt();
    const qint32 book = currentBookCode();
    std::optional<QString> failure;
    const bool ran = withLibrary([&](LibraryData &data) {
        const Result<qint32> copy = data.duplicateEntry(entry, book);
        if (!copy.ok())
            failure = copy.error();
    });
    if (failure)
        DialogService::message(this, *failure, QString(), Buttons::Ok, Severity::Warning);
    if (ran && !failure) {
        forgetUndo();
        loadPages();
    }
}

void TovraLib::OpenInExternalEditor(int index)
{
    const std::optional<PageTable::Page> row = rowOfSlot(index);
    if (!row)
        return;
    const QString editor = tovralib::setting(164).toString().trimmed();
    if (editor.isEmpty()) {
        DialogService::message(this, QStringLiteral("You need to define an external Image Editor "
                                                    "under the Library section in the Options window"));
        return;
    }
    // The setting may carry arguments; split as a command line, never by a
    // shell, and the path is one argument whatever characters it holds.
    const QString file = localLibraryPath(row->at(PageTable::FileNameRow - 1));
    QStringList arguments;
    QString program = editor;
    // A program path with blanks in it is taken whole; anything else as a command line.
    if (!QFileInfo(editor).isExecutable()) {
        arguments = QProcess::splitCommand(editor);
        program = arguments.isEmpty() ? editor : arguments.takeFirst();
    }
    arguments << file;
    if (!QProcess::startDetached(program, arguments))
        DialogService::message(this, QStringLiteral("The external editor \"%1\" could not be started.")
                                         .arg(editor),
                               QString(), Buttons::Ok, Severity::Warning);
}

} // namespace tovradocs::Internal
