#pragma once

#include "component/result.h"
#include "library/librarycopier.h"

#include <QDate>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace tovradocs {
class DataLink;
class Recordset;
}

namespace tovradocs::Internal {

// One entry to add to a book.
struct NewEntry
{
    qint32 bookCode = 0;
    QString sourcePath;
    qint32 entryType = 1;
    QString description;
    QDate entryDate; // null: today
    std::optional<qint32> ctEffect;
    std::optional<qint32> category;
    std::optional<bool> playSound;
    std::optional<QString> soundFile;
    std::optional<qint16> onScreenTime;
    // Remove sourcePath once its copy is safely in the library (temporary files).
    bool deleteSource = false;
    // Extension for the library file name; empty takes the source's. Pictures the
    // component makes itself use the configured picture extension.
    QString extension;
    // Copy even a file already in the library, so the new entry owns its file
    // (a page added to another book must not share its picture).
    bool alwaysCopy = false;
};

struct EntryOutcome
{
    bool added = false;
    qint32 entryCode = 0;
    QString fileName; // the stored path
    bool copied = false; // false when the file was already in the library
    QString error;
};

// Adds entries to BookContents through one empty updatable set, with
// consecutive keys: the first from the host, each next one the previous plus 1.
// A failed entry keeps its source, leaves no copy behind and does not use up
// a key. Runs on the thread that owns the DataLink.
class EntryWriter
{
public:
    enum EmptySet { ByEntryCode, ByBookCode };

    explicit EntryWriter(DataLink &link, EmptySet emptySet = ByEntryCode);
    ~EntryWriter();
    EntryWriter(const EntryWriter &) = delete;
    EntryWriter &operator=(const EntryWriter &) = delete;

    // The key the next add() stores; asks the host the first time. Callers
    // that write a file under this key themselves (capture) read it first.
    // Throws HostError.
    qint32 nextKey();

    EntryOutcome add(const NewEntry &entry);
    // As add() for each entry, in order, with the rows stored in runs.
    QList<EntryOutcome> addAll(const QList<NewEntry> &entries);

    // Closes the set, makes the copies durable and removes flagged sources.
    Outcome finish();

private:
    void openSet();
    // The key and the library file of an entry, before its row is written.
    EntryOutcome place(const NewEntry &entry);
    // Gives up a placed entry: its copy goes, the error is kept.
    void unplace(EntryOutcome &outcome, const QString &error);

    DataLink &m_link;
    EmptySet m_emptySet;
    LibraryCopier m_copier;
    std::unique_ptr<Recordset> m_set;
    std::optional<qint32> m_nextKey;
};

} // namespace tovradocs::Internal
