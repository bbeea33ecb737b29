#include "library/librarydata.h"

#include "component/filetypes.h"
#include "library/entryopeners.h"
#include "library/librarycopier.h"

#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>

namespace tovradocs::Internal {

namespace librarydata {

QString text(const QVariant &value) { return value.isNull() ? QString() : value.toString(); }

// Opens sql into a fresh set; nullptr when no rows came back.
std::unique_ptr<Recordset> rowsOf(DataLink &link, const QString &sql)
{
    std::unique_ptr<Recordset> rs;
    const bool found = link.FillRecordSet(rs, sql);
    if (!rs)
        return nullptr;
    if (!found || rs->isEof()) {
        rs->close();
        return nullptr;
    }
    return rs;
}

// Every row of sql with all its columns.
QList<QVariantMap> allRows(DataLink &link, const QString &sql)
{
    QList<QVariantMap> rows;
    auto rs = rowsOf(link, sql);
    if (!rs)
        return rows;
    const QStringList fields = rs->fieldNames();
    for (; !rs->isEof(); rs->moveNext()) {
        QVariantMap row;
        for (const QString &field : fields)
            row.insert(field, rs->value(field));
        rows.append(row);
    }
    rs->close();
    return rows;
}

void addRows(DataLink &link, const QString &emptySet, const QList<QVariantMap> &rows)
{
    if (rows.isEmpty())
        return;
    std::unique_ptr<Recordset> rs;
    link.FillRecordSet(rs, emptySet);
    if (!rs)
        throw HostError(5, QStringLiteral("The host opened no recordset to put the rows back."));
    for (const QVariantMap &row : rows) {
        rs->addNew();
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            rs->setValue(it.key(), it.value());
        rs->update();
    }
    rs->close();
}

// A column of a row read whole, whatever letter case the host gave its name.
QVariant field(const QVariantMap &row, const QString &name)
{
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    return {};
}

// One page-table page from the row a set stands on.
PageTable::Page pageOf(Recordset &rs)
{
    const QVariant effect = rs.value(QStringLiteral("CTEffect"));
    const QString file = text(rs.value(QStringLiteral("FileName")));
    const QVariant type = rs.value(QStringLiteral("EntryType"));
    return {text(rs.value(QStringLiteral("Entry_Code"))), file,
            text(rs.value(QStringLiteral("Description"))),
            type.isNull() ? QString() : QString::number(shownEntryType(type.toInt(), file)),
            QStringLiteral("0"), effect.isNull() ? QStringLiteral("0") : effect.toString()};
}

bool isTrue(const QVariant &value)
{
    if (value.isNull())
        return false;
    if (value.typeId() == QMetaType::QString) {
        const QString t = value.toString().trimmed().toLower();
        return t == QLatin1String("true") || t.toInt() != 0;
    }
    return value.toInt() != 0 || value.toBool();
}

// A stored path as this machine names the file, cleaned; "" for a path not
// absolute, since what it is relative to is the host's business.
QString localFile(const QString &stored)
{
    const QString local = localLibraryPath(stored).trimmed();
    if (local.isEmpty() || !QDir::isAbsolutePath(local))
        return QString();
    return QDir::cleanPath(local);
}

// The part of path below the library folder (prefix ends in '/'); "" outside it.
QString belowFolder(const QString &prefix, const QString &path)
{
    if (prefix.isEmpty() || path.size() <= prefix.size()
        || !path.startsWith(prefix, Qt::CaseInsensitive))
        return QString();
    return path.mid(prefix.size());
}

QString folderPrefix(DataLink &link)
{
    const QString folder = localFile(link.GetLibraryFilesFolder());
    if (folder.isEmpty())
        return folder;
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

// The rows that may point at files of these names, as cleaned local paths in
// lower case; relative paths by their file name alone, so a file one of them
// might mean is kept too.
struct FilesInUse
{
    QSet<QString> paths;
    QSet<QString> relativeNames;

    bool contains(const QString &path) const
    {
        return paths.contains(path.toLower())
            || relativeNames.contains(QFileInfo(path).fileName().toLower());
    }
    void add(const QString &stored)
    {
        const QString local = localFile(stored);
        if (!local.isEmpty())
            paths.insert(local.toLower());
        else if (!stored.trimmed().isEmpty())
            relativeNames.insert(QFileInfo(localLibraryPath(stored)).fileName().toLower());
    }
};

// A name under which nothing lies yet: the path itself, else name_1.ext, ...
QString freeName(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return path;
    const QFileInfo info(path);
    const QString stem = info.dir().filePath(info.completeBaseName());
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    for (int n = 1;; ++n) {
        const QString candidate = stem + u'_' + QString::number(n) + suffix;
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

} // namespace librarydata

int EntryRun::addedCount() const
{
    return int(std::count_if(items.cbegin(), items.cend(),
                             [](const EntryOutcome &o) { return o.added; }));
}

LibraryData::LibraryData(DataLink &link) : m_link(link) {}

QList<BookItem> LibraryData::listBooks(BookView view, int tab)
{
    QList<BookItem> books;
    auto rs = librarydata::rowsOf(m_link, LibrarySql::bookList(view, tab));
    if (!rs)
        return books;
    for (; !rs->isEof(); rs->moveNext())
        books.append({rs->value(QStringLiteral("Entry_Code")).toInt(),
                      librarydata::text(rs->value(QStringLiteral("Description")))});
    rs->close();
    return books;
}

std::optional<BookItem> LibraryData::findPatientBook(qint32 patientCode)
{
    auto rs = librarydata::rowsOf(m_link, LibrarySql::patientBook(patientCode));
    if (!rs)
        return std::nullopt;
    BookItem book{rs->value(QStringLiteral("Entry_Code")).toInt(),
                  librarydata::text(rs->value(QStringLiteral("Description")))};
    rs->close();
    return book;
}

qint32 LibraryData::addBook(const QString &description, qint32 patientCode)
{
    const qint32 code = m_link.GenerateEntrycode(false, QStringLiteral("Books"),
                                                 QStringLiteral("Entry_code"));
    std::unique_ptr<Recordset> rs;
    m_link.FillRecordSet(rs, LibrarySql::emptyBooks());
    if (!rs)
        throw HostError(5, QStringLiteral("The host opened no recordset for the new book."));
    rs->addNew();
    rs->setValue(QStringLiteral("Entry_Code"), code);
    rs->setValue(QStringLiteral("Description"), description);
    rs->setValue(QStringLiteral("PatientCode"), patientCode);
    rs->update();
    rs->close();
    return code;
}

void LibraryData::deleteBook(qint32 bookCode)
{
    m_link.ExecuteStmt(false, LibrarySql::deleteBook(bookCode));
    m_link.ExecuteStmt(false, LibrarySql::deleteBookPages(bookCode));
}

DeletedRows LibraryData::bookRows(qint32 bookCode)
{
    DeletedRows rows;
    rows.books = librarydata::allRows(m_link, LibrarySql::book(bookCode));
    rows.pages = librarydata::allRows(m_link, LibrarySql::bookPages(bookCode, true));
    return rows;
}

DeletedRows LibraryData::pageRows(const QList<qint32> &entryCodes)
{
    DeletedRows rows;
    for (qint32 code : entryCodes)
        rows.pages += librarydata::allRows(m_link, LibrarySql::pageRow(code));
    return rows;
}

void LibraryData::restore(const DeletedRows &rows)
{
    // Books first, so no page is ever back without its book.
    librarydata::addRows(m_link, LibrarySql::emptyBooks(), rows.books);
    librarydata::addRows(m_link, LibrarySql::emptyContentsByEntry(), rows.pages);
}

PageTable LibraryData::loadPages(qint32 bookCode, bool includeIndexImage)
{
    PageTable table;
    readPages(bookCode, includeIndexImage, table);
    return table;
}

void LibraryData::readPages(qint32 bookCode, bool includeIndexImage, PageTable &table,
                            qint32 *markedIndex)
{
    table = PageTable();
    if (markedIndex)
        *markedIndex = 0;
    auto rs = librarydata::rowsOf(m_link, LibrarySql::bookPages(bookCode, includeIndexImage));
    if (!rs)
        return;
    for (; !rs->isEof(); rs->moveNext()) {
        table.pages.append(librarydata::pageOf(*rs));
        // As the index picture statement picks it: a marked row stored as a picture.
        if (markedIndex && *markedIndex == 0
            && librarydata::isTrue(rs->value(QStringLiteral("IndexImage")))
            && rs->value(QStringLiteral("EntryType")).toInt() == 1)
            *markedIndex = table.pages.constLast().at(PageTable::EntryCodeRow - 1).toInt();
    }
    rs->close();
}

void LibraryData::deletePage(qint32 entryCode)
{
    m_link.ExecuteStmt(false, LibrarySql::deletePage(entryCode));
}

QString LibraryData::indexPicture(qint32 bookCode)
{
    std::unique_ptr<Recordset> rs;
    const bool found = m_link.FillDaoRecordSet(rs, LibrarySql::indexPicture(bookCode));
    if (!rs)
        return QString();
    QString file;
    if (found && !rs->isEof())
        file = librarydata::text(rs->value(QStringLiteral("Filename")));
    rs->close();
    return file;
}

std::optional<PageTable::Page> LibraryData::markedIndexRow(qint32 bookCode)
{
    auto rs = librarydata::rowsOf(m_link, LibrarySql::markedIndexRow(bookCode));
    if (!rs)
        return std::nullopt;
    PageTable::Page page = librarydata::pageOf(*rs);
    rs->close();
    return page;
}

QHash<qint32, int> LibraryData::onScreenTimes(qint32 bookCode)
{
    QHash<qint32, int> times;
    auto rs = librarydata::rowsOf(m_link, LibrarySql::bookPages(bookCode, true));
    if (!rs)
        return times;
    for (; !rs->isEof(); rs->moveNext()) {
        const QVariant seconds = rs->value(QStringLiteral("OnScreenTime"));
        if (!seconds.isNull())
            times.insert(rs->value(QStringLiteral("Entry_Code")).toInt(), seconds.toInt());
    }
    rs->close();
    return times;
}

const QString &LibraryData::deletedFolderName()
{
    static const QString name = QStringLiteral("Deleted");
    return name;
}

RetiredFiles LibraryData::retireFiles(const QList<QVariantMap> &pages, const QDate &day)
{
    RetiredFiles result;
    if (pages.isEmpty())
        return result;
    const QString prefix = librarydata::folderPrefix(m_link);
    const QString deletedPrefix = deletedFolderName() + u'/';
    // The library's own files among the rows', each once.
    QStringList files;
    QSet<QString> seen;
    QStringList names;
    for (const QVariantMap &row : pages) {
        const QString path = librarydata::localFile(
            librarydata::text(librarydata::field(row, QStringLiteral("FileName"))));
        const QString below = librarydata::belowFolder(prefix, path);
        if (below.isEmpty() || below.startsWith(deletedPrefix, Qt::CaseInsensitive)
            || seen.contains(path.toLower()))
            continue;
        seen.insert(path.toLower());
        files.append(path);
        names.append(QFileInfo(path).fileName());
    }
    if (files.isEmpty())
        return result;

    // A page that shares a file with a deleted one keeps it where it is.
    names.removeDuplicates();
    librarydata::FilesInUse inUse;
    constexpr int kNamesPerStatement = 40;
    for (qsizetype i = 0; i < names.size(); i += kNamesPerStatement) {
        const QList<QVariantMap> rows
            = librarydata::allRows(m_link, LibrarySql::rowsEndingIn(names.mid(i, kNamesPerStatement)));
        for (const QVariantMap &row : rows)
            inUse.add(librarydata::text(librarydata::field(row, QStringLiteral("FileName"))));
    }

    const QString dayFolder = prefix + deletedPrefix + day.toString(Qt::ISODate) + u'/';
    for (const QString &path : std::as_const(files)) {
        if (inUse.contains(path)) {
            result.shared.append(path);
            continue;
        }
        const QFileInfo info(path);
        if (!info.exists() || !info.isFile())
            continue; // gone already, or not a plain file
        const QString target = librarydata::freeName(dayFolder + librarydata::belowFolder(prefix, path));
        QFile file(path);
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !file.rename(target))
            result.failed.append(QStringLiteral("%1: %2").arg(path, file.errorString()));
        else
            result.moved.append(target);
    }
    return result;
}

int LibraryData::purgeDeleted(const QDate &today, int keepDays)
{
    const QString prefix = librarydata::folderPrefix(m_link);
    if (prefix.isEmpty())
        return 0;
    const QDir deleted(prefix + deletedFolderName());
    if (!deleted.exists())
        return 0;
    const QDate oldest = today.addDays(-keepDays);
    QStringList expired;
    for (const QString &name : deleted.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDate day = QDate::fromString(name, Qt::ISODate);
        if (day.isValid() && day < oldest)
            expired.append(deleted.filePath(name));
    }
    if (expired.isEmpty())
        return 0;

    // A row pointing into the folder (a file taken back by hand) keeps its file.
    librarydata::FilesInUse inUse;
    const QList<QVariantMap> rows = librarydata::allRows(m_link, LibrarySql::rowsMentioning(deletedFolderName()));
    for (const QVariantMap &row : rows)
        inUse.add(librarydata::text(librarydata::field(row, QStringLiteral("FileName"))));

    int removed = 0;
    for (const QString &folder : std::as_const(expired)) {
        QStringList folders{folder};
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir::cleanPath(it.next());
            const QFileInfo info = it.fileInfo();
            if (info.isDir() && !info.isSymLink())
                folders.append(path);
            else if (!inUse.contains(path) && QFile::remove(path))
                ++removed;
        }
        // Deepest first, so each folder is empty when its turn comes.
        std::sort(folders.begin(), folders.end(),
                  [](const QString &a, const QString &b) { return a.size() > b.size(); });
        for (const QString &dir : std::as_const(folders))
            QDir().rmdir(dir);
    }
    return removed;
}

void LibraryData::purgeDeletedOnce(DataLink &link)
{
    static QMutex mutex;
    static QSet<QString> purged;
    const QString folder = librarydata::folderPrefix(link);
    {
        QMutexLocker lock(&mutex);
        if (folder.isEmpty() || purged.contains(folder))
            return;
        purged.insert(folder);
    }
    LibraryData(link).purgeDeleted(QDate::currentDate());
}

void LibraryData::setIndexImage(qint32 bookCode, qint32 entryCode)
{
    m_link.ExecuteStmt(false, LibrarySql::clearIndexImage(bookCode));
    m_link.ExecuteStmt(false, LibrarySql::markIndexImage(entryCode));
}

EntryRun LibraryData::addEntries(const QList<NewEntry> &entries, EntryWriter::EmptySet emptySet)
{
    EntryRun run;
    if (entries.isEmpty())
        return run;
    EntryWriter writer(m_link, emptySet);
    run.items = writer.addAll(entries);
    const Outcome done = writer.finish();
    if (!done)
        run.error = done.error();
    return run;
}

Result<qint32> LibraryData::duplicateEntry(qint32 entryCode, qint32 bookCode)
{
    std::unique_ptr<Recordset> rs;
    const bool found = m_link.FillRecordSet(rs, LibrarySql::pageRow(entryCode));
    if (!rs || !found || rs->isEof()) {
        if (rs)
            rs->close();
        return Result<qint32>::failure(
            QStringLiteral("The library has no entry %1 to duplicate.").arg(entryCode));
    }
    const QString source = localLibraryPath(librarydata::text(rs->value(QStringLiteral("FileName"))));
    const QString description = librarydata::text(rs->value(QStringLiteral("Description")));
    const QVariant sourceBook = rs->value(QStringLiteral("BookCode"));
    const QVariant entryType = rs->value(QStringLiteral("EntryType"));

    const qint32 newKey = m_link.GenerateEntrycode(false, QStringLiteral("BookContents"),
                                                   QStringLiteral("Entry_code"));
    const QString target = m_link.NextFileName(1, bookCode, newKey, fileExtension(source));
    LibraryCopier copier(m_link);
    const Outcome copied = copier.copyTo(source, target);
    if (!copied) {
        rs->close();
        return Result<qint32>::failure(copied.error());
    }

    try {
        rs->addNew();
        rs->setValue(QStringLiteral("Entry_Code"), newKey);
        rs->setValue(QStringLiteral("Description"), description);
        rs->setValue(QStringLiteral("FileName"), target);
        rs->setValue(QStringLiteral("BookCode"), sourceBook);
        rs->setValue(QStringLiteral("EntryType"), shownEntryType(entryType.toInt(), source));
        rs->setValue(QStringLiteral("EntryDate"), QDate::currentDate());
        rs->setValue(QStringLiteral("IndexImage"), false);
        rs->update();
    } catch (...) {
        // No row points at the copy, so it must not stay behind.
        copier.discard(target);
        throw;
    }
    rs->close();
    return newKey;
}

} // namespace tovradocs::Internal
