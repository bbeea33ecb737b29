#include "library/librarydata.h"

#include "component/filetypes.h"
#include "library/entryopeners.h"
#include "library/librarycopier.h"

#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <QDate>

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

void LibraryData::readPages(qint32 bookCode, bool includeIndexImage, PageTable &table)
{
    table = PageTable();
    auto rs = librarydata::rowsOf(m_link, LibrarySql::bookPages(bookCode, includeIndexImage));
    if (!rs)
        return;
    for (; !rs->isEof(); rs->moveNext()) {
        const QVariant effect = rs->value(QStringLiteral("CTEffect"));
        const QString file = librarydata::text(rs->value(QStringLiteral("FileName")));
        const QVariant type = rs->value(QStringLiteral("EntryType"));
        table.pages.append({librarydata::text(rs->value(QStringLiteral("Entry_Code"))), file,
                            librarydata::text(rs->value(QStringLiteral("Description"))),
                            type.isNull() ? QString()
                                          : QString::number(shownEntryType(type.toInt(), file)),
                            QStringLiteral("0"),
                            effect.isNull() ? QStringLiteral("0") : effect.toString()});
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
