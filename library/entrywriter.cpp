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

EntryOutcome EntryWriter::add(const NewEntry &entry)
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

    try {
        m_set->addNew();
        m_set->setValue(QStringLiteral("Entry_Code"), outcome.entryCode);
        m_set->setValue(QStringLiteral("BookCode"), entry.bookCode);
        m_set->setValue(QStringLiteral("Description"), entry.description);
        m_set->setValue(QStringLiteral("FileName"), outcome.fileName);
        m_set->setValue(QStringLiteral("EntryType"), entry.entryType);
        m_set->setValue(QStringLiteral("EntryDate"),
                        entry.entryDate.isValid() ? entry.entryDate : QDate::currentDate());
        m_set->setValue(QStringLiteral("IndexImage"), false);
        if (entry.ctEffect)
            m_set->setValue(QStringLiteral("CTEffect"), *entry.ctEffect);
        if (entry.category)
            m_set->setValue(QStringLiteral("Category"), *entry.category);
        if (entry.playSound)
            m_set->setValue(QStringLiteral("PlaySound"), *entry.playSound);
        if (entry.soundFile)
            m_set->setValue(QStringLiteral("SoundFile"), *entry.soundFile);
        if (entry.onScreenTime)
            m_set->setValue(QStringLiteral("OnScreenTime"), *entry.onScreenTime);
        m_set->update();
    } catch (const std::exception &e) {
        outcome.error = entrywriter::describe(e);
        try {
            m_set->cancelUpdate();
        } catch (const std::exception &) {
            // The row was never stored; nothing more to undo in the set.
        }
        if (outcome.copied)
            m_copier.discard(outcome.fileName);
        outcome.fileName.clear();
        return outcome;
    }

    outcome.added = true;
    m_nextKey = outcome.entryCode + 1;
    return outcome;
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
