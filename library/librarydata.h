#pragma once

#include "component/result.h"
#include "library/entrywriter.h"
#include "library/librarysql.h"
#include "library/pagetable.h"

#include <QHash>
#include <QList>
#include <QVariantMap>
#include <QString>
#include <QStringList>

#include <optional>

class QDate;

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
// a delete can be taken back. The files stay where they are until then.
struct DeletedRows
{
    QList<QVariantMap> books;
    QList<QVariantMap> pages;
    bool isEmpty() const { return books.isEmpty() && pages.isEmpty(); }
};

// What became of the files of rows deleted for good.
struct RetiredFiles
{
    QStringList moved;  // where each file went, under the Deleted folder
    QStringList shared; // another row still points at it: left where it was
    QStringList failed; // could not be moved, with the reason
};

// Books and pages of the library, read and written through the host.
// Host failures are thrown as HostError to the calling window, which traps
// them; addEntries instead reports every entry. Files of deleted rows are only
// moved, never deleted, except those put away longer than kDeletedKeepDays.
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
    // pages read so far stay in table and the failure is thrown. markedIndex,
    // when given, receives the code of the first picture marked as index
    // picture among the rows read (0 when none is).
    void readPages(qint32 bookCode, bool includeIndexImage, PageTable &table,
                   qint32 *markedIndex = nullptr);
    void deletePage(qint32 entryCode);

    // The marked picture, else the first picture of the book; empty when none.
    QString indexPicture(qint32 bookCode);
    // The row of the picture marked as the book's index picture, if one is.
    std::optional<PageTable::Page> markedIndexRow(qint32 bookCode);
    void setIndexImage(qint32 bookCode, qint32 entryCode);

    // Seconds on screen by entry code, for the pages of the book that have a time.
    QHash<qint32, int> onScreenTimes(qint32 bookCode);

    // Files of rows deleted for good (Undo can no longer bring them back) go to
    // a folder per day, "Deleted/<yyyy-MM-dd>/" inside the library files
    // folder, under their path relative to it; kept kDeletedKeepDays days, then
    // removed. A file outside the library folder, already put away, or still
    // pointed at by another row (a page sharing it) never moves.
    static constexpr int kDeletedKeepDays = 30;
    static const QString &deletedFolderName();
    RetiredFiles retireFiles(const QList<QVariantMap> &pages, const QDate &day);
    // Removes the day folders older than keepDays before today, except files a
    // row points at. Returns the number of files removed.
    int purgeDeleted(const QDate &today, int keepDays = kDeletedKeepDays);
    // purgeDeleted, once per library folder and process.
    static void purgeDeletedOnce(DataLink &link);

    EntryRun addEntries(const QList<NewEntry> &entries,
                        EntryWriter::EmptySet emptySet = EntryWriter::ByEntryCode);

    // Copies the entry's file under a new key into bookCode's folder and adds a
    // row dated today. Returns the new key.
    Result<qint32> duplicateEntry(qint32 entryCode, qint32 bookCode);

private:
    DataLink &m_link;
};

} // namespace tovradocs::Internal
