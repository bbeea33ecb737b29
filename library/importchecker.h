#pragma once

#include "component/dicomexport.h"
#include "library/importcheck.h"

#include <QFuture>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace tovradocs::Internal {

// An entry already in the book, as the duplicate check compares it.
struct BookEntryFile
{
    qint32 entryCode = 0;
    QString description;
    QString fileName;
};

// What the checks found for one file offered for import.
struct ImportCheckResult
{
    FileCheck file;
    qint32 duplicateOf = 0;       // entry of the book with the same content, 0 when none
    QString duplicateDescription; // that entry's description
    int sameAsRow = -1;           // an earlier row of the list with the same content
    QString otherPatient;         // why a DICOM file is of another patient than the book's
};

// Checks the files of an import on a worker thread, a file at a time, and
// reports each as it is done: the file itself (checkImportFile) and whether
// its content (SHA-256) is already in the book or earlier in the list. Only
// files whose size matches another are hashed. Results arrive on the thread
// that owns the checker; destroying it stops the worker and waits for it.
class ImportChecker : public QObject
{
    Q_OBJECT

public:
    explicit ImportChecker(QObject *parent = nullptr);
    ~ImportChecker() override;

    // Checks paths (one per row, in order); a run still going is dropped.
    // DICOM files are compared with the book's patient when one is given.
    void start(const QStringList &paths, const QList<BookEntryFile> &book,
               const Dicom::Patient &patient = {});
    void stop();
    bool isRunning() const { return m_running; }

    // Test seam: runs on the worker before each file is checked.
    static void setBeforeEachFileHook(std::function<void(int row)> hook);

Q_SIGNALS:
    void fileChecked(int row, const tovradocs::Internal::ImportCheckResult &result);
    void finished();

private:
    struct Run;
    std::shared_ptr<Run> m_run;
    QFuture<void> m_future;
    quint64 m_generation = 0;
    bool m_running = false;
};

} // namespace tovradocs::Internal

Q_DECLARE_METATYPE(tovradocs::Internal::ImportCheckResult)
