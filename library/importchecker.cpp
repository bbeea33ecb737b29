#include "library/importchecker.h"

#include "component/dicomimage.h"
#include "library/librarylogging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMultiHash>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

namespace tovradocs::Internal {

namespace importchecker {

std::function<void(int)> &beforeEachFile()
{
    static std::function<void(int)> hook;
    return hook;
}

} // namespace importchecker

struct ImportChecker::Run
{
    std::atomic<bool> stopped {false};
    quint64 generation = 0;
    QStringList paths;
    QList<BookEntryFile> book;
    Dicom::Patient patient;

    // Empty unless the file is DICOM and names another patient than the book's.
    static QString otherPatientOf(const QString &path, const Dicom::Patient &patient)
    {
        const QString local = QDir::fromNativeSeparators(path);
        QFile file(local);
        if (!file.open(QIODevice::ReadOnly) || !Dicom::looksLikeDicom(local, file.read(132)))
            return QString();
        const Result<Dicom::SourceInfo> info = Dicom::readSourceInfo(local);
        return info ? Dicom::patientMismatch(*info, patient) : QString();
    }

    // The SHA-256 of a file, read in pieces so a stop is seen soon; empty
    // when it cannot be read or the run was stopped.
    QByteArray hash(const QString &path)
    {
        QFile file(QDir::fromNativeSeparators(path));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QCryptographicHash sha(QCryptographicHash::Sha256);
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            if (stopped)
                return {};
            const qint64 n = file.read(buffer.data(), buffer.size());
            if (n < 0)
                return {};
            if (n == 0)
                break;
            sha.addData(QByteArrayView(buffer.constData(), n));
        }
        return sha.result();
    }

    void run(ImportChecker *checker)
    {
        // Sizes first: only files that share a size can share content.
        QMultiHash<qint64, int> bookBySize;
        for (int i = 0; i < book.size(); ++i) {
            const QFileInfo info(QDir::fromNativeSeparators(book.at(i).fileName));
            if (info.isFile() && info.size() > 0)
                bookBySize.insert(info.size(), i);
        }
        QList<qint64> sizes(paths.size(), -1);
        QMultiHash<qint64, int> rowsBySize;
        for (int row = 0; row < paths.size(); ++row) {
            const QFileInfo info(QDir::fromNativeSeparators(paths.at(row)));
            if (info.isFile() && info.size() > 0) {
                sizes[row] = info.size();
                rowsBySize.insert(info.size(), row);
            }
        }
        QHash<QString, QByteArray> bookHashes;
        QHash<int, QByteArray> rowHashes;
        QList<bool> fine(paths.size(), false);
        const auto rowHash = [&](int row) {
            auto found = rowHashes.find(row);
            if (found == rowHashes.end())
                found = rowHashes.insert(row, hash(paths.at(row)));
            return found.value();
        };

        for (int row = 0; row < paths.size() && !stopped; ++row) {
            if (const auto &hook = importchecker::beforeEachFile())
                hook(row);
            ImportCheckResult result;
            result.file = checkImportFile(paths.at(row));
            fine[row] = result.file.isFine();
            const qint64 size = sizes.at(row);
            if (fine[row] && size > 0) {
                const QList<int> sameSizeEntries = bookBySize.values(size);
                for (int i : sameSizeEntries) {
                    const QString &entryFile = book.at(i).fileName;
                    auto known = bookHashes.find(entryFile);
                    if (known == bookHashes.end())
                        known = bookHashes.insert(entryFile, hash(entryFile));
                    const QByteArray mine = rowHash(row);
                    if (!mine.isEmpty() && known.value() == mine) {
                        result.duplicateOf = book.at(i).entryCode;
                        result.duplicateDescription = book.at(i).description;
                        break;
                    }
                }
                if (result.duplicateOf == 0) {
                    QList<int> earlier = rowsBySize.values(size);
                    std::sort(earlier.begin(), earlier.end());
                    for (int other : std::as_const(earlier)) {
                        if (other >= row || !fine.at(other))
                            continue;
                        const QByteArray mine = rowHash(row);
                        if (!mine.isEmpty() && rowHash(other) == mine) {
                            result.sameAsRow = other;
                            break;
                        }
                    }
                }
            }
            if (fine[row] && !patient.isEmpty())
                result.otherPatient = otherPatientOf(paths.at(row), patient);
            if (stopped)
                return;
            QMetaObject::invokeMethod(
                checker,
                [checker, generation = generation, row, result] {
                    if (checker->m_generation == generation) // not a run dropped since
                        Q_EMIT checker->fileChecked(row, result);
                },
                Qt::QueuedConnection);
        }
    }
};

ImportChecker::ImportChecker(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<ImportCheckResult>();
}

ImportChecker::~ImportChecker() { stop(); }

void ImportChecker::setBeforeEachFileHook(std::function<void(int)> hook)
{
    importchecker::beforeEachFile() = std::move(hook);
}

void ImportChecker::start(const QStringList &paths, const QList<BookEntryFile> &book,
                          const Dicom::Patient &patient)
{
    stop();
    auto run = std::make_shared<Run>();
    run->paths = paths;
    run->book = book;
    run->patient = patient;
    run->generation = ++m_generation;
    m_run = run;
    m_running = true;
    m_future = QtConcurrent::run([run, self = this] {
        run->run(self);
        if (!run->stopped)
            QMetaObject::invokeMethod(
                self,
                [self, run] {
                    // A later start() may have replaced this run meanwhile.
                    if (self->m_generation != run->generation)
                        return;
                    self->m_running = false;
                    Q_EMIT self->finished();
                },
                Qt::QueuedConnection);
    });
}

void ImportChecker::stop()
{
    if (!m_run)
        return;
    m_run->stopped = true;
    // The worker sees the flag between files and between pieces of a hash.
    m_future.waitForFinished();
    m_run.reset();
    ++m_generation; // results still queued from it are dropped
    m_running = false;
}

} // namespace tovradocs::Internal
