#include "library/entrywriter.h"

#include "component/filetypes.h"
#include "library/librarylogging.h"
#include "library/librarysql.h"

#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <exception>

namespace tovradocs::Internal {

namespace entrywriter {

QString describe(const std::exception &e)
{
    if (const auto *host = dynamic_cast<const HostError *>(&e))
        return host->description();
    return QString::fromLocal8Bit(e.what());
}

} // namespace entrywriter

EntryWriter::EntryWriter(DataLink &link, EmptySet emptySet)
    : m_link(link)
    , m_emptySet(emptySet)
    , m_copier(link)
{}

EntryWriter::~EntryWriter()
{
    const Outcome done = finish();
    if (!done)
        qCWarning(lcLibrary) << done.error();
}

void EntryWriter::openSet()
{
    if (m_set)
        return;
    std::unique_ptr<Recordset> set;
    m_link.FillRecordSet(set, m_emptySet == ByEntryCode ? LibrarySql::emptyContentsByEntry()
                                                        : LibrarySql::emptyContentsByBook());
    if (!set)
        throw HostError(5, QStringLiteral("The host opened no recordset for new entries."));
    m_set = std::move(set);
}

qint32 EntryWriter::nextKey()
{
    if (!m_nextKey)
        m_nextKey = m_link.GenerateEntrycode(false, QStringLiteral("BookContents"),
                                             QStringLiteral("Entry_code"));
    return *m_nextKey;
}

EntryOutcome EntryWriter::place(const NewEntry &entry)
{
    EntryOutcome outcome;
    try {
        openSet();
        outcome.entryCode = nextKey();
    } catch (const std::exception &e) {
        outcome.error = entrywriter::describe(e);
        return outcome;
    }

    Result<QString> path = Result<QString>::failure(QString());
    try {
        if (entry.alwaysCopy) {
            const QString target = m_link.NextFileName(
                1, entry.bookCode, outcome.entryCode,
                entry.extension.isEmpty() ? fileExtension(entry.sourcePath) : entry.extension);
            const Outcome copied = m_copier.copyTo(entry.sourcePath, target);
            path = copied ? Result<QString>(target) : Result<QString>::failure(copied.error());
        } else {
            path = m_copier.copy(entry.sourcePath, 1, entry.bookCode, outcome.entryCode,
                                 entry.deleteSource, entry.extension);
        }
    } catch (const std::exception &e) {
        outcome.error = entrywriter::describe(e);
        return outcome;
    }
    if (!path) {
        outcome.error = path.error();
        return outcome;
    }
    outcome.fileName = *path;
    outcome.copied = outcome.fileName != entry.sourcePath;
    return outcome;
}

namespace entrywriter {

// The fields an entry sets beyond the seven every entry has, one bit each.
enum OptionalField : unsigned { CTEffect = 1, Category = 2, PlaySound = 4, SoundFile = 8, OnScreenTime = 16 };

unsigned optionalFields(const NewEntry &e)
{
    return (e.ctEffect ? CTEffect : 0u) | (e.category ? Category : 0u) | (e.playSound ? PlaySound : 0u)
        | (e.soundFile ? SoundFile : 0u) | (e.onScreenTime ? OnScreenTime : 0u);
}

QStringList fieldNames(unsigned optional)
{
    QStringList names{QStringLiteral("Entry_Code"), QStringLiteral("BookCode"), QStringLiteral("Description"),
                      QStringLiteral("FileName"),   QStringLiteral("EntryType"), QStringLiteral("EntryDate"),
                      QStringLiteral("IndexImage")};
    if (optional & CTEffect)
        names.append(QStringLiteral("CTEffect"));
    if (optional & Category)
        names.append(QStringLiteral("Category"));
    if (optional & PlaySound)
        names.append(QStringLiteral("PlaySound"));
    if (optional & SoundFile)
        names.append(QStringLiteral("SoundFile"));
    if (optional & OnScreenTime)
        names.append(QStringLiteral("OnScreenTime"));
    return names;
}

// Appends the entry's row to batch, in the order fieldNames() gives.
void addRow(RowBatch &batch, const NewEntry &e, const EntryOutcome &placed)
{
    batch.add(placed.entryCode);
    batch.add(e.bookCode);
    batch.add(e.description);
    batch.add(placed.fileName);
    batch.add(entryTypeFor(placed.fileName, e.entryType));
    batch.add(e.entryDate.isValid() ? e.entryDate : QDate::currentDate());
    batch.add(false);
    if (e.ctEffect)
        batch.add(*e.ctEffect);
    if (e.category)
        batch.add(*e.category);
    if (e.playSound)
        batch.add(*e.playSound);
    if (e.soundFile)
        batch.add(*e.soundFile);
    if (e.onScreenTime)
        batch.add(qint32(*e.onScreenTime));
}

} // namespace entrywriter

EntryOutcome EntryWriter::add(const NewEntry &entry)
{
    EntryOutcome outcome = place(entry);
    if (outcome.fileName.isEmpty())
        return outcome;
    RowBatch row(entrywriter::fieldNames(entrywriter::optionalFields(entry)));
    entrywriter::addRow(row, entry, outcome);
    try {
        m_set->addRows(row);
    } catch (const std::exception &e) {
        unplace(outcome, entrywriter::describe(e));
        return outcome;
    }

    outcome.added = true;
    m_nextKey = outcome.entryCode + 1;
    return outcome;
}

void EntryWriter::unplace(EntryOutcome &outcome, const QString &error)
{
    outcome.error = error;
    outcome.added = false;
    if (outcome.copied)
        m_copier.discard(outcome.fileName);
    outcome.fileName.clear();
}

QList<EntryOutcome> EntryWriter::addAll(const QList<NewEntry> &entries)
{
    // Rows wait until a run of entries with the same fields is complete, then
    // go to the set together. Short runs keep the batch's memory, reused from
    // run to run, in the cache.
    constexpr qsizetype kRunRows = 128;
    QList<EntryOutcome> outcomes;
    outcomes.reserve(entries.size());
    RowBatch rows;
    QList<qsizetype> rowEntry;
    unsigned runFields = 0;
    const auto flush = [&] {
        if (rows.isEmpty())
            return;
        qsizetype stored = 0;
        try {
            m_set->addRows(rows, &stored);
        } catch (const std::exception &e) {
            // The refused row gives up its key and its copy; the rows after it
            // are added again one at a time so that no key is skipped.
            EntryOutcome &failed = outcomes[rowEntry.at(stored)];
            m_nextKey = failed.entryCode;
            unplace(failed, entrywriter::describe(e));
            for (qsizetype j = stored + 1; j < rowEntry.size(); ++j) {
                const qsizetype index = rowEntry.at(j);
                unplace(outcomes[index], QString());
                outcomes[index] = add(entries.at(index));
            }
        }
        rows.clear();
        rowEntry.clear();
    };
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const NewEntry &entry = entries.at(i);
        EntryOutcome outcome = place(entry);
        if (outcome.fileName.isEmpty()) {
            outcomes.append(outcome);
            continue;
        }
        const unsigned optional = entrywriter::optionalFields(entry);
        if (optional != runFields || rows.fields().isEmpty()) {
            flush();
            runFields = optional;
            rows = RowBatch(entrywriter::fieldNames(optional));
            rows.reserve(kRunRows);
        } else if (rowEntry.size() >= kRunRows) {
            flush();
        }
        entrywriter::addRow(rows, entry, outcome);
        rowEntry.append(i);
        outcome.added = true;
        m_nextKey = outcome.entryCode + 1;
        outcomes.append(std::move(outcome));
    }
    flush();
    return outcomes;
}

Outcome EntryWriter::finish()
{
    if (m_set) {
        try {
            m_set->close();
        } catch (const std::exception &e) {
            qCWarning(lcLibrary) << "closing the entry set:" << e.what();
        }
        m_set.reset();
    }
    return m_copier.finish();
}

} // namespace tovradocs::Internal
