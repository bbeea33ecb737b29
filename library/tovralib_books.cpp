// The book buttons: adding books, deleting books and pages, and Undo.
#include "library/tovralib.h"
#include "library/tovralib_p.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "library/librarydata.h"
#include "library/librarylogging.h"

#include <QComboBox>
#include <QDate>

#include <algorithm>
#include <utility>

namespace tovradocs::Internal {

void TovraLib::addBook()
{
    const std::optional<QString> answer =
        DialogService::input(this, QStringLiteral("Your Book Name here"),
                             QStringLiteral("Enter Book Name"));
    const QString name = answer.value_or(QString()).trimmed();
    if (name.isEmpty())
        return;
    bool taken = false;
    withLibrary([&](LibraryData &data) {
        const QList<BookItem> books = data.listBooks(BookView::Both, AllBooksTab);
        taken = std::any_of(books.cbegin(), books.cend(), [&](const BookItem &book) {
            return book.description.trimmed().compare(name, Qt::CaseInsensitive) == 0;
        });
    });
    if (taken
        && DialogService::message(this,
                                  QStringLiteral("A book named \"%1\" already exists. Add a second "
                                                 "book with the same name?").arg(name),
                                  QStringLiteral("Add Book"), Buttons::YesNo, Severity::Question)
               != Answer::Yes)
        return;
    qint32 code = 0;
    if (!withLibrary([&](LibraryData &data) { code = data.addBook(name, 0); }) || code <= 0)
        return;
    forgetUndo();
    m_books->addItem(name, code);
    m_books->setCurrentIndex(m_books->count() - 1);
}

void TovraLib::addPatient()
{
    DataLink *link = dataLink();
    if (!link)
        return;
    QString name;
    qint32 code = 0;
    if (!trapErrors(tovralib::kWindowName, [&] { code = link->GetPatientData(name); }))
        return;
    if (code > 0)
        openPatientBook(code, name, true);
}

void TovraLib::deleteBook()
{
    if (!hasBook())
        return;
    const qint32 code = currentBookCode();
    DeletedRows removed;
    if (!withLibrary([&](LibraryData &data) {
            removed = data.bookRows(code);
            data.deleteBook(code);
        }))
        return;
    keepForUndo(std::move(removed), code);
    {
        BusyMark busy(m_books);
        m_books->removeItem(m_books->currentIndex());
    }
    fillBookList(true);
}

void TovraLib::deleteSelectedPages()
{
    if (!hasBook())
        return;
    const QList<int> pages = selectedPages();
    if (pages.isEmpty())
        return;
    QList<qint32> codes;
    for (int page : pages)
        codes.append(m_pages.at(PageTable::EntryCodeRow, page).toInt());
    DeletedRows removed;
    const qint32 book = currentBookCode();
    withLibrary([&](LibraryData &data) {
        removed = data.pageRows(codes);
        for (qint32 code : std::as_const(codes))
            data.deletePage(code);
    });
    keepForUndo(std::move(removed), book);
    loadPages();
}

// The delete buttons act at once; this makes a misclick cheap to take back.
void TovraLib::keepForUndo(DeletedRows rows, qint32 bookCode)
{
    putAwayDeletedFiles(); // the delete before this one can no longer be undone
    m_undoRows = std::move(rows);
    m_undoBook = bookCode;
    m_undo->setEnabled(!m_undoRows.isEmpty());
}

void TovraLib::forgetUndo()
{
    putAwayDeletedFiles();
    m_undo->setEnabled(false);
}

// Once a delete can no longer be undone, its pages' files leave the book
// folders for the library's dated "Deleted" folder.
void TovraLib::putAwayDeletedFiles()
{
    const DeletedRows rows = std::exchange(m_undoRows, DeletedRows());
    if (rows.pages.isEmpty())
        return;
    RetiredFiles retired;
    withLibrary([&](LibraryData &data) { retired = data.retireFiles(rows.pages, QDate::currentDate()); });
    for (const QString &failure : std::as_const(retired.failed))
        qCWarning(lcLibrary) << "a deleted page's file stays where it was:" << failure;
}

void TovraLib::undoDelete()
{
    if (m_undoRows.isEmpty())
        return;
    const DeletedRows rows = std::exchange(m_undoRows, DeletedRows());
    m_undo->setEnabled(false);
    if (!withLibrary([&](LibraryData &data) { data.restore(rows); }))
        return;
    if (!rows.books.isEmpty())
        fillBookList(false);
    if (!selectComboByItemData(m_books, m_undoBook, true))
        return;
    loadPages();
}

} // namespace tovradocs::Internal
