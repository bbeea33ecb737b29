#pragma once

#include "component/pictureadjust.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace tovradocs {
class DataLink;
}

namespace tovradocs::Internal {

// Where the adjustments and overlays of entries live. A host whose database
// has the table PictureAdjustments (keyed by Entry_Code, like BookContents)
// keeps them there, so they travel with the practice's data to every
// workstation and into its backups. Other hosts get one sidecar file per
// entry in the library files folder: ".tovra-adjustments/<Entry_Code>.json".
//
// load(), save() and forget() run on the UI thread (they use the host link);
// knownState() may be asked from any thread and answers from what the UI
// thread has read.
class AdjustmentStore : public QObject
{
    Q_OBJECT

public:
    static AdjustmentStore *instance();

    static QString tableName() { return QStringLiteral("PictureAdjustments"); }
    static QString sidecarFolderName() { return QStringLiteral(".tovra-adjustments"); }

    struct Loaded
    {
        PictureState state;
        // Sentences for the user about damaged records that were ignored.
        QStringList problems;
    };
    // The entry's state; an empty one when nothing is stored or no host is
    // linked. A damaged record leaves its part unadjusted and says so.
    Loaded load(qint32 entryCode, const QString &path);
    // Stores state (an empty one removes the record). Never writes the
    // picture file. Failure: a sentence for the user.
    Outcome save(qint32 entryCode, const QString &path, const PictureState &state);

    // The entry whose file this is; 0 when no book holds it. UI thread.
    qint32 entryForFile(const QString &path);

    // True when the linked host keeps records in its own table.
    bool usesHostTable();
    QString sidecarPath(qint32 entryCode);

    // Any thread: the state last read or saved for this entry or file.
    std::optional<PictureState> knownState(qint32 entryCode, const QString &path) const;
    // Reads every stored record once per host link, so thumbnails and other
    // path-only callers see adjustments without asking the host themselves.
    void preload();
    // Drops what was read; the next use reads again (a new host link).
    void reset();

Q_SIGNALS:
    void changed(qint32 entryCode, const QString &path);

private:
    AdjustmentStore() = default;
    void checkLink();
    struct Record
    {
        QByteArray adjustments;
        QByteArray overlay;
    };
    std::optional<Record> readRecord(qint32 entryCode);
    void remember(qint32 entryCode, const QString &path, const PictureState &state);
    void parse(const Record &record, Loaded &loaded) const;

    DataLink *m_link = nullptr;
    std::optional<bool> m_table;
    bool m_preloaded = false;
    mutable QMutex m_mutex;
    QHash<qint32, PictureState> m_byCode;
    QHash<QString, qint32> m_codeByPath;
};

// The key under which a path is remembered (cleaned, absolute).
QString adjustmentPathKey(const QString &path);

} // namespace tovradocs::Internal
