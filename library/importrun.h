#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tovradocs {
class DataLink;
class Dokument;
class Dokumentz;
class Recordset;
}

namespace tovradocs::Internal {

class LibraryCopier;
class ImportJournal;

// One file proposed for import, as the batch import window edits it.
struct ImportItem
{
    QString fileName;
    QString comments;
    QString description;
    bool import = true;  // copy into the library files folder
    bool select = true;  // import at all
    qint64 srNo = 0;
    qint64 category = 0;
    qint64 docFileType = 0;
    qint64 ctEffect = 0;
    bool isTempfile = false; // made by the caller; copied and then deleted

    // Filled in by the checks while the list is shown.
    // OtherPatient: a DICOM file naming another patient than the book's.
    enum Mark { Unchecked, Fine, Broken, Duplicate, OtherPatient };
    Mark mark = Unchecked;
    QString reason;          // why the row is marked, for the grid
    bool selectSet = false;  // the user ticked or unticked the row himself
};

// Why an item was not imported.
struct ImportFailure
{
    int index = -1;
    QString reason;
};

// Items for the caller's paths; a leading "?" marks a temporary file. A file
// listed more than once is one item; rowOfFile (when given) tells, for each
// path given, the item it went to.
QList<ImportItem> importItemsFromFiles(const QStringList &files, QList<int> *rowOfFile = nullptr);

// Imports chosen items into one book, a file at a time, so a window can show
// progress and stop between files. For each item the file is copied into the
// library first (atomically, never overwriting) and only then is its row
// written, so no row points at a missing file. Every copy is noted in a journal
// beside the library until its row is committed; recoverInterrupted() removes
// the copies of a run that was killed before its rows were stored.
// A source that is gone or cannot be read fails that item only and the run
// goes on; any other failure (the library folder, the host) stops the run
// there. Rows the host did not keep after a failure (a transaction it rolled
// back) are found by reading them back, their copies are removed and they are
// reported as failed, so imported() is only ever what the book holds. Earlier
// items stay imported, and temporary sources are deleted only for items that
// were imported. UI thread only (it calls the host).
class ImportRun
{
public:
    ImportRun(DataLink &link, Dokumentz &documents, QList<ImportItem> items);
    ~ImportRun();
    ImportRun(const ImportRun &) = delete;
    ImportRun &operator=(const ImportRun &) = delete;

    int total() const { return m_total; }  // items chosen for import
    int done() const { return int(m_imported.size()); }
    int processed() const { return m_processed; } // imported or failed so far
    bool atEnd() const { return m_ended; }

    // Imports the next chosen item. False once the run has ended: every item
    // done, or a failure (see error()). Call finish() afterwards.
    bool step();
    // Imports everything that is left.
    void runAll();
    // Commits the rows, makes the copies durable and deletes imported
    // temporary sources. Safe to call more than once.
    void finish();

    // Indexes (into the items given) of the imported items, in order.
    QList<int> imported() const { return m_imported; }
    QList<qint32> entryCodes() const { return m_codes; }
    // Why the run stopped early; empty when it went through to the end.
    QString error() const { return m_error; }
    int failedIndex() const { return m_failedIndex; }
    // Every item that was not imported for a fault, in order.
    QList<ImportFailure> failures() const { return m_failures; }

    // Test seam: runs after an item's copy is in place and before its row is written.
    void setAfterCopyHook(std::function<void(int index)> hook) { m_afterCopy = std::move(hook); }

    // Removes library files of runs that ended without storing their rows
    // (a crash or kill). Runs still going on in other processes are left alone.
    // Returns how many files were removed. Never throws.
    static int recoverInterrupted(DataLink &link);

private:
    struct Pending
    {
        int index = -1;
        qint32 key = 0;
        QString file;   // as stored
        QString copy;   // made by this run, or empty
        std::shared_ptr<Dokument> document;
    };

    void begin();
    void fail(int index, const QString &reason);
    void stop(int index, const QString &message);
    void commitRows();
    void reconcile(const QString &why);

    DataLink &m_link;
    Dokumentz &m_documents;
    QList<ImportItem> m_items;
    std::unique_ptr<LibraryCopier> m_copier;
    std::unique_ptr<ImportJournal> m_journal;
    std::unique_ptr<Recordset> m_set;
    QString m_libraryFolder;
    int m_next = 0;
    int m_total = 0;
    int m_processed = 0;
    int m_hasComments = -1; // whether the host's table has the column; -1 not asked yet
    int m_uncommitted = 0;
    qint32 m_nextKey = 0;
    bool m_begun = false;
    bool m_ended = false;
    bool m_finished = false;
    bool m_journalKept = false;
    QList<int> m_imported;
    QList<qint32> m_codes;
    QList<Pending> m_pending; // written since the last commit
    QHash<int, QString> m_temporarySources; // item -> source to delete once its row is safe
    QString m_error;
    int m_failedIndex = -1;
    QList<ImportFailure> m_failures;
    std::function<void(int)> m_afterCopy;
};

} // namespace tovradocs::Internal
