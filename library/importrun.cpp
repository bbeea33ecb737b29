#include "library/importrun.h"

#include "component/filetypes.h"
#include "library/librarycopier.h"
#include "library/librarylogging.h"
#include "library/librarysql.h"

#include <tovradocs/datalink.h>
#include <tovradocs/dokumentz.h>
#include <tovradocs/recordset.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tovradocs::Internal {

namespace importrun {

const QString journalPrefix = QStringLiteral(".tovra-import-");
const QString journalSuffix = QStringLiteral(".journal");
// Rows are committed in groups so a crash late in a long run keeps most of it.
constexpr int commitEvery = 25;

QString describe(const std::exception &e)
{
    if (const auto *host = dynamic_cast<const HostError *>(&e))
        return host->description();
    return QString::fromLocal8Bit(e.what());
}

} // namespace importrun

// Lists "key<TAB>path" for every copy of a run until its row is committed.
// The run holds an exclusive lock on it, so a journal nobody holds belongs to
// a run that died.
class ImportJournal
{
public:
    explicit ImportJournal(const QString &libraryFolder)
    {
        if (libraryFolder.isEmpty() || !QDir().mkpath(libraryFolder))
            return;
        QByteArray name = QFile::encodeName(libraryFolder + u'/' + importrun::journalPrefix)
                          + "XXXXXX" + QFile::encodeName(importrun::journalSuffix);
        m_fd = ::mkostemps(name.data(), int(importrun::journalSuffix.size()), O_CLOEXEC);
        if (m_fd < 0)
            return;
        m_path = QFile::decodeName(name);
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ImportJournal() { remove(); }

    bool isValid() const { return m_fd >= 0; }

    // Written before the copy starts. The page cache is enough: a killed
    // process loses nothing it wrote, and the copies are synced with the rows.
    bool note(qint32 key, const QString &path)
    {
        const QByteArray line = QByteArray::number(key) + '\t' + QFile::encodeName(path) + '\n';
        qsizetype written = 0;
        while (written < line.size()) {
            const ssize_t n = ::write(m_fd, line.constData() + written, size_t(line.size() - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            written += n;
        }
        return true;
    }

    void remove()
    {
        if (m_fd < 0)
            return;
        ::unlink(QFile::encodeName(m_path).constData());
        ::close(m_fd);
        m_fd = -1;
    }

private:
    QString m_path;
    int m_fd = -1;
};

QList<ImportItem> importItemsFromFiles(const QStringList &files, QList<int> *rowOfFile)
{
    QList<ImportItem> items;
    items.reserve(files.size());
    QHash<QString, int> rowOfKey;
    if (rowOfFile)
        rowOfFile->clear();
    for (const QString &given : files) {
        const bool temporary = given.startsWith(u'?');
        const QString fileName = temporary ? given.mid(1) : given;
        // The same file reached twice (two drops, a link) is one row.
        const QFileInfo info(QDir::fromNativeSeparators(fileName));
        QString key = info.canonicalFilePath();
        if (key.isEmpty())
            key = QDir::cleanPath(info.absoluteFilePath());
        if (const auto known = rowOfKey.constFind(key); known != rowOfKey.cend()) {
            items[known.value()].isTempfile = items[known.value()].isTempfile || temporary;
            if (rowOfFile)
                rowOfFile->append(known.value());
            continue;
        }
        ImportItem item;
        item.isTempfile = temporary;
        item.fileName = fileName;
        item.srNo = items.size() + 1;
        item.description = fileTitle(item.fileName);
        item.docFileType = classifyFile(item.fileName);
        rowOfKey.insert(key, int(items.size()));
        if (rowOfFile)
            rowOfFile->append(int(items.size()));
        items.append(item);
    }
    return items;
}

ImportRun::ImportRun(DataLink &link, Dokumentz &documents, QList<ImportItem> items)
    : m_link(link)
    , m_documents(documents)
    , m_items(std::move(items))
{
    for (const ImportItem &item : std::as_const(m_items))
        if (item.select)
            ++m_total;
}

ImportRun::~ImportRun() { finish(); }

void ImportRun::begin()
{
    m_begun = true;
    m_libraryFolder = m_link.GetLibraryFilesFolder();
    m_copier = std::make_unique<LibraryCopier>(m_link);
    m_journal = std::make_unique<ImportJournal>(QDir::fromNativeSeparators(m_libraryFolder));
    if (!m_journal->isValid())
        throw HostError(75, QStringLiteral("Cannot write in the library folder \"%1\".")
                                .arg(QDir::toNativeSeparators(m_libraryFolder)));
}

void ImportRun::fail(int index, const QString &reason)
{
    m_failures.append({index, reason});
    qCWarning(lcLibrary) << "not imported:" << m_items.at(index).fileName << reason;
}

void ImportRun::stop(int index, const QString &message)
{
    m_ended = true;
    m_failedIndex = index;
    m_error = QStringLiteral("The import stopped at \"%1\":\n%2")
                  .arg(QDir::toNativeSeparators(m_items.at(index).fileName), message);
    fail(index, message);
}

void ImportRun::commitRows()
{
    if (!m_set)
        return;
    std::unique_ptr<Recordset> set = std::move(m_set);
    m_uncommitted = 0;
    set->close();
    // The host has them now.
    m_pending.clear();
}

void ImportRun::reconcile(const QString &why)
{
    // After a failure the host may have rolled back rows it had accepted:
    // read each back, and take back what it does not hold.
    QList<Pending> pending = std::move(m_pending);
    m_pending.clear();
    for (const Pending &row : std::as_const(pending)) {
        bool stored = false;
        try {
            std::unique_ptr<Recordset> rs;
            m_link.FillRecordSet(rs, LibrarySql::pageRow(row.key));
            stored = rs && rs->recordCount() > 0
                     && QDir::fromNativeSeparators(rs->value(QStringLiteral("FileName")).toString())
                            == QDir::fromNativeSeparators(row.file);
            if (rs)
                rs->close();
        } catch (const std::exception &e) {
            // Unknown: the journal stays, and the next start settles the copy.
            qCWarning(lcLibrary) << "cannot read back entry" << row.key << importrun::describe(e);
            m_journalKept = true;
            m_temporarySources.remove(row.index);
            m_imported.removeAll(row.index);
            m_codes.removeAll(row.key);
            fail(row.index, QStringLiteral("It is not known whether the entry was stored: %1")
                                .arg(importrun::describe(e)));
            continue;
        }
        if (stored)
            continue;
        if (!row.copy.isEmpty())
            m_copier->discard(row.copy);
        for (qint32 i = m_documents.Count(); i >= 1; --i) {
            if (m_documents.Item(i) == row.document) {
                m_documents.Remove(i);
                break;
            }
        }
        m_temporarySources.remove(row.index);
        m_imported.removeAll(row.index);
        m_codes.removeAll(row.key);
        fail(row.index, QStringLiteral("The entry was not stored: %1").arg(why));
    }
    std::sort(m_failures.begin(), m_failures.end(),
              [](const ImportFailure &a, const ImportFailure &b) { return a.index < b.index; });
}

bool ImportRun::step()
{
    if (m_ended)
        return false;
    while (m_next < m_items.size() && !m_items.at(m_next).select)
        ++m_next;
    if (m_next >= m_items.size()) {
        m_ended = true;
        return false;
    }
    const int index = m_next++;
    const ImportItem &item = m_items.at(index);
    const qint32 bookCode = m_documents.DefSourceID;
    ++m_processed;

    QString file = item.fileName;
    QString copy;
    qint32 key = 0;
    try {
        if (!m_begun)
            begin();
        key = m_imported.isEmpty() && m_nextKey == 0
                  ? m_link.GenerateEntrycode(false, QStringLiteral("BookContents"),
                                             QStringLiteral("Entry_code"))
                  : m_nextKey;
        if ((item.import || item.isTempfile) && !LibraryCopier::isInLibrary(m_libraryFolder, file)) {
            const QString target = m_link.NextFileName(1, bookCode, key, fileExtension(file));
            if (target.isEmpty()) {
                stop(index, QStringLiteral("The host gave no library file name."));
                return false;
            }
            if (!m_journal->note(key, target)) {
                stop(index, QStringLiteral("Cannot write in the library folder \"%1\".")
                                .arg(QDir::toNativeSeparators(m_libraryFolder)));
                return false;
            }
            const Outcome copied = m_copier->copyTo(file, target);
            if (!copied) {
                // A source that went away fails on its own; the rest of the run goes on.
                QFile source(QDir::fromNativeSeparators(file));
                if (!source.open(QIODevice::ReadOnly)) {
                    fail(index, QFileInfo::exists(source.fileName())
                                    ? QStringLiteral("The file cannot be read: %1.").arg(source.errorString())
                                    : QStringLiteral("The file is missing."));
                    return true;
                }
                stop(index, copied.error());
                return false;
            }
            copy = target;
            file = target;
            if (m_afterCopy)
                m_afterCopy(index);
        }
    } catch (const std::exception &e) {
        stop(index, importrun::describe(e));
        return false;
    }

    const qint32 countBefore = m_documents.Count();
    std::shared_ptr<Dokument> document;
    try {
        document = m_documents.Add(0, file, item.comments, 1, qint32(item.docFileType),
                                   m_documents.DefSourceTable, m_documents.DefSourceID, QString());
        document->Description = item.description;
        document->SlideTransition = qint16(item.ctEffect);
        document->DocCategory = qint32(item.category);

        if (!m_set)
            m_link.FillRecordSet(m_set, LibrarySql::emptyContentsByBook());
        if (!m_set)
            throw HostError(5, QStringLiteral("The host opened no recordset for new entries."));
        if (m_hasComments < 0) {
            const QStringList fields = m_set->fieldNames();
            m_hasComments = fields.contains(QStringLiteral("Comments"), Qt::CaseInsensitive) ? 1 : 0;
        }
        m_set->addNew();
        m_set->setValue(QStringLiteral("Description"), item.description);
        m_set->setValue(QStringLiteral("EntryType"), item.docFileType);
        m_set->setValue(QStringLiteral("FileName"), file);
        m_set->setValue(QStringLiteral("BookCode"), bookCode);
        m_set->setValue(QStringLiteral("EntryDate"), QDate::currentDate());
        m_set->setValue(QStringLiteral("IndexImage"), false);
        m_set->setValue(QStringLiteral("CTEffect"), item.ctEffect);
        m_set->setValue(QStringLiteral("Category"), item.category);
        m_set->setValue(QStringLiteral("Entry_Code"), key);
        m_set->setValue(QStringLiteral("PlaySound"), false);
        m_set->setValue(QStringLiteral("SoundFile"), QString());
        m_set->setValue(QStringLiteral("OnScreenTime"), 5);
        // Hosts without the column keep the comments in the caller's documents only.
        if (m_hasComments == 1)
            m_set->setValue(QStringLiteral("Comments"), item.comments);
        m_set->update();
    } catch (const std::exception &e) {
        if (m_set) {
            try {
                m_set->cancelUpdate();
            } catch (const std::exception &) {
                // The row was never stored; nothing more to undo.
            }
        }
        if (m_documents.Count() > countBefore)
            m_documents.Remove(m_documents.Count());
        if (!copy.isEmpty())
            m_copier->discard(copy);
        stop(index, importrun::describe(e));
        return false;
    }

    m_imported.append(index);
    m_codes.append(key);
    m_nextKey = key + 1;
    m_pending.append({index, key, file, copy, document});
    if (!copy.isEmpty() && item.isTempfile)
        m_temporarySources.insert(index, item.fileName);
    if (++m_uncommitted >= importrun::commitEvery) {
        try {
            commitRows();
        } catch (const std::exception &e) {
            stop(index, importrun::describe(e));
            return false;
        }
    }
    return true;
}

void ImportRun::runAll()
{
    while (step()) {
    }
}

void ImportRun::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_ended = true;
    QString commitError;
    try {
        commitRows();
    } catch (const std::exception &e) {
        commitError = importrun::describe(e);
        if (m_error.isEmpty())
            m_error = commitError;
    }
    // After any failure, what the host holds decides what was imported.
    if (!m_pending.isEmpty() && (m_failedIndex >= 0 || !commitError.isEmpty()))
        reconcile(commitError.isEmpty() ? m_error : commitError);
    m_pending.clear();
    Outcome durable;
    if (m_copier)
        durable = m_copier->finish();
    if (!durable && m_error.isEmpty())
        m_error = durable.error();
    // Only now are the rows and copies safe; a temporary source goes last.
    if (durable) {
        for (int index : std::as_const(m_imported)) {
            const QString source = m_temporarySources.value(index);
            if (!source.isEmpty() && !QFile::remove(source) && QFileInfo::exists(source))
                qCWarning(lcLibrary) << "cannot delete the temporary file" << source;
        }
    }
    // A copy whose row may or may not be stored is left to the next start.
    if (m_journal && !m_journalKept)
        m_journal->remove();
}

int ImportRun::recoverInterrupted(DataLink &link)
{
    int removed = 0;
    try {
        const QString folder = QDir::fromNativeSeparators(link.GetLibraryFilesFolder());
        const QStringList journals = QDir(folder).entryList(
            {importrun::journalPrefix + u'*' + importrun::journalSuffix}, QDir::Files | QDir::Hidden);
        for (const QString &name : journals) {
            const QString path = folder + u'/' + name;
            QFile journal(path);
            if (!journal.open(QIODevice::ReadOnly))
                continue;
            // A live run holds its lock.
            if (::flock(journal.handle(), LOCK_EX | LOCK_NB) != 0)
                continue;
            const QList<QByteArray> lines = journal.readAll().split('\n');
            for (const QByteArray &line : lines) {
                const int tab = line.indexOf('\t');
                if (tab <= 0)
                    continue;
                bool ok = false;
                const qint32 key = line.left(tab).toInt(&ok);
                const QString file = QFile::decodeName(line.mid(tab + 1));
                if (!ok || file.isEmpty() || !QFileInfo::exists(file))
                    continue;
                std::unique_ptr<Recordset> row;
                link.FillRecordSet(row, LibrarySql::pageRow(key));
                const bool stored = row && row->recordCount() > 0
                                    && QDir::fromNativeSeparators(
                                           row->value(QStringLiteral("FileName")).toString())
                                           == file;
                if (row)
                    row->close();
                if (!stored && QFile::remove(file))
                    ++removed;
            }
            QFile::remove(path);
        }
    } catch (const std::exception &e) {
        qCWarning(lcLibrary) << "recovering interrupted imports:" << importrun::describe(e);
    }
    return removed;
}

} // namespace tovradocs::Internal
