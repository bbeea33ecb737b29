#pragma once

#include "component/result.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

class QDateTime;

namespace tovradocs {
class DataLink;
}

namespace tovradocs::Internal {

// Copies files into the library files folder for a run of new entries.
//
// Every copy is written to a hidden temporary file beside the target, synced,
// and then linked into place; an existing file is never replaced and a failed
// copy leaves nothing behind. Each file is synced as it is written, each target
// folder once per run in finish(). Sources flagged for deletion are removed in
// finish(), after the copies are durable, so a crash can never lose both.
// Host errors from NextFileName/GetLibraryFilesFolder propagate as HostError.
// Not thread-safe; use one copier per run.
class LibraryCopier
{
public:
    explicit LibraryCopier(DataLink &link);
    ~LibraryCopier();
    LibraryCopier(const LibraryCopier &) = delete;
    LibraryCopier &operator=(const LibraryCopier &) = delete;

    // Returns the library path of source: unchanged when it already lies in the
    // library files folder, else a copy at NextFileName(kind, bookCode,
    // entryCode, extension). extension defaults to the source's, upper-cased.
    Result<QString> copy(const QString &source, qint16 kind, qint32 bookCode, qint32 entryCode,
                         bool deleteSource, const QString &extension = QString());

    // Copies source to target (which must not exist) without the library check.
    Outcome copyTo(const QString &source, const QString &target);

    // Takes back a copy made by this run (removes the target, keeps the source).
    void discard(const QString &target);

    // Syncs the target folders and deletes the flagged sources. Safe to call
    // more than once; the destructor calls it too.
    Outcome finish();

    int copiedCount() const { return m_copied; }

    // True when path lies inside folder: cleaned absolute paths compared name
    // by name, letter case and \ or / ignored.
    static bool isInLibrary(const QString &libraryFolder, const QString &path);

    // Writes data as a new file at target (never replacing one), complete
    // before its name appears. With sync false the caller makes it durable
    // later with syncFile(), so the thread that waits for it need not.
    static Outcome writeNew(const QByteArray &data, const QString &target, bool sync);
    // Syncs a file and its folder to disk.
    static Outcome syncFile(const QString &path);

    // Hidden temporaries a killed copy left behind; the first use of a library
    // folder in a process removes those older than a day in the background.
    static constexpr QLatin1StringView kTemporaryPrefix{".tovra-copy-"};
    static int removeStaleTemporaries(const QString &folder, const QDateTime &olderThan);

    // Makes every copy take the way network shares need: a named temporary
    // file renamed into place without replacing.
    static void setForceNamedTemporary(bool force);

private:
    DataLink &m_link;
    QString m_libraryFolder;
    QString m_folderPrefix; // the folder's cleaned path and a '/', made once
    bool m_folderRead = false;
    int m_copied = 0;
    QSet<QString> m_dirtyFolders;
    QHash<QString, QString> m_sourceOfTarget; // target -> source to delete at finish
    QList<QString> m_pendingTargets;          // keeps deletion order stable
};

// One copy with its own sync: what a single new entry needs.
Result<QString> copyIntoLibrary(DataLink &link, const QString &source, qint16 kind,
                                qint32 bookCode, qint32 entryCode, bool deleteSource,
                                const QString &extension = QString());

} // namespace tovradocs::Internal
