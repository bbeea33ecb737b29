#pragma once

#include "component/result.h"
#include "library/entrywriter.h"
#include "library/librarysql.h"
#include "library/pagetable.h"

#include <QList>
#include <QVariantMap>
#include <QString>

#include <optional>

namespace tovradocs {
class DataLink;
}

namespace tovradocs::Internal {

struct BookItem
{
    qint32 code = 0;
    QString description;
    bool operator==(const BookItem &) const = default;
};

struct EntryRun
{
    QList<EntryOutcome> items; // one per entry, in the order given
    QString error;             // a problem of the whole run (syncing, removing sources)

    int addedCount() const;
    int failedCount() const { return int(items.size()) - addedCount(); }
};

// Rows taken out of the library, kept whole (every column, their own keys) so
// a delete can be taken back. The files were never touched.
struct DeletedRows
{
    QList<QVariantMap> books;
    QList<QVariantMap> pages;
    bool isEmpty() const { return books.isEmpty() && pages.isEmpty(); }
};

// Books and pages of the library, read and written through the host.
// Host failures are thrown as HostError to the calling window, which traps
// them; addEntries instead reports every entry. No files are deleted here.
class LibraryData
{
public:
    explicit LibraryData(DataLink &link);

    QList<BookItem> listBooks(BookView view, int tab);
    std::optional<BookItem> findPatientBook(qint32 patientCode);
    // A new book; patientCode 0 makes a practice book. Returns its code.
    qint32 addBook(const QString &description, qint32 patientCode);
    void deleteBook(qint32 bookCode);
    // Reads what deleteBook / deletePage would remove, for undoing them.
    DeletedRows bookRows(qint32 bookCode);
    DeletedRows pageRows(const QList<qint32> &entryCodes);
    // Puts deleted rows back through the empty updatable sets, one set a table.
    void restore(const DeletedRows &rows);

    PageTable loadPages(qint32 bookCode, bool includeIndexImage);
    // As loadPages, into table as the rows come: when reading fails midway the
    // pages read so far stay in table and the failure is thrown.
    void readPages(qint32 bookCode, bool includeIndexImage, PageTable &table);
    void deletePage(qint32 entryCode);

    // The marked picture, else the first picture of the book; empty when none.
    QString indexPicture(qint32 bookCode);
    void setIndexImage(qint32 bookCode, qint32 entryCode);

    EntryRun addEntries(const QList<NewEntry> &entries,
                        EntryWriter::EmptySet emptySet = EntryWriter::ByEntryCode);

    // Copies the entry's file under a new key into bookCode's folder and adds a
    // row dated today. Returns the new key.
    Result<qint32> duplicateEntry(qint32 entryCode, qint32 bookCode);

private:
    DataLink &m_link;
};

} // namespace tovradocs::Internal
