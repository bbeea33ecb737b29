// Reading: running the SELECT, the columns, moving through the rows.
#include "sqlrecordset.h"
#include "sqlrecordset_p.h"
#include "hostdatabase.h"
#include "sqlfailure.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcHostRecordset, "tovradocs.host.recordset")

namespace tovradocs::Internal {

namespace {

// "Select <list> From <one table> [Where|Order ...]": the only shape that
// can be written back.
QString singleTable(const QString &sql)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+(?:.*?\\s)?from\\s+([A-Za-z_][A-Za-z0-9_]*)\\s*(?:$|;|where\\b|order\\b|group\\b|\\()"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(sql);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace

namespace sqlrecordset {

sqlite3 *sqliteEngine(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(handle.constData());
    return nullptr;
}

} // namespace sqlrecordset

using sqlrecordset::sqliteEngine;

SqlRecordset::SqlRecordset(std::shared_ptr<HostDatabase> db, const QString &sql)
    : m_db(std::move(db))
{
    load(sql);
}

SqlRecordset::~SqlRecordset()
{
    if (!m_open)
        return;
    try {
        close();
    } catch (const HostError &e) {
        qCWarning(lcHostRecordset) << "closing a recordset failed:" << e.description();
    }
}


void SqlRecordset::load(const QString &sql)
{
    const Dialect dialect = m_db->dialect();
    const QString translated = SqlDialect::translate(sql, dialect);
    QSqlDatabase db = m_db->database();
    if (dialect == Dialect::SQLite) {
        // Straight from the engine: the driver's row cache and its UTF-16
        // round trip cost more than the query itself on a large book.
        if (sqlite3 *engine = sqliteEngine(db)) {
            loadFromSqlite(engine, sql, translated);
            return;
        }
    }

    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(translated))
        throwSqlFailure(q.lastError(), sql);
    const QSqlRecord record = q.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names.append(record.fieldName(i));
    setUpColumns(sql, names);

    const int count = int(m_columns.size());
    std::vector<ColumnKind> kinds;
    for (const Column &c : std::as_const(m_columns))
        kinds.push_back(c.kind);
    while (q.next()) {
        for (int i = 0; i < count; ++i) {
            const Cell c = box(readValue(q.value(i), kinds[size_t(i)]));
            *m_types.grow(1) = c.type;
            *m_payload.grow(1) = c.payload;
        }
    }
    if (q.lastError().isValid())
        throwSqlFailure(q.lastError(), sql);
    finishLoad();
}

void SqlRecordset::loadFromSqlite(sqlite3 *engine, const QString &sql, const QString &translated)
{
    const auto failure = [&](int code) {
        throwSqlFailure(QSqlError(QStringLiteral("Unable to execute statement"),
                                  QString::fromUtf8(sqlite3_errmsg(engine)),
                                  QSqlError::StatementError, QString::number(code)),
                        sql);
    };
    const QByteArray text = translated.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    int rc = sqlite3_prepare_v2(engine, text.constData(), int(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        failure(rc);
    // Finalised however we leave.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> owned(stmt, sqlite3_finalize);
    if (tail && !QByteArrayView(tail).trimmed().isEmpty())
        throwSqlFailure(QSqlError(QStringLiteral("Unable to execute multiple statements at a time"),
                                  QString(), QSqlError::StatementError),
                        sql);
    if (!stmt) { // only blanks or a comment
        setUpColumns(sql, {});
        finishLoad();
        return;
    }

    const int count = sqlite3_column_count(stmt);
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QString::fromUtf8(sqlite3_column_name(stmt, i)).remove(u'"'));
    setUpColumns(sql, names);

    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        CellType *types = m_types.grow(size_t(count));
        qint64 *payload = m_payload.grow(size_t(count));
        for (int i = 0; i < count; ++i) {
            // One call into the connection per cell, then the value's own
            // accessors; read before the next step.
            sqlite3_value *v = sqlite3_column_value(stmt, i);
            switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER:
                types[i] = CellType::Integer;
                payload[i] = sqlite3_value_int64(v);
                break;
            case SQLITE_FLOAT: {
                const double d = sqlite3_value_double(v);
                types[i] = CellType::Float;
                std::memcpy(&payload[i], &d, sizeof d);
                break;
            }
            case SQLITE_TEXT: {
                const unsigned char *text = sqlite3_value_text(v);
                types[i] = CellType::Text;
                payload[i] = appendBytes(text, size_t(sqlite3_value_bytes(v)));
                break;
            }
            case SQLITE_BLOB: {
                const void *blob = sqlite3_value_blob(v);
                types[i] = CellType::Blob;
                payload[i] = appendBytes(blob, size_t(sqlite3_value_bytes(v)));
                break;
            }
            default:
                types[i] = CellType::Null;
                payload[i] = 0;
                break;
            }
        }
    }
    if (rc != SQLITE_DONE)
        failure(rc);
    finishLoad();
}

void SqlRecordset::setUpColumns(const QString &sql, const QStringList &rawNames)
{
    // Names as the statement spells its aliases, else as the schema declares
    // them (PostgreSQL hands back folded lower-case names).
    QHash<QString, QString> aliases;
    static const QRegularExpression aliasRe(QStringLiteral("\\bas\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (auto it = aliasRe.globalMatch(sql); it.hasNext();) {
        const QString alias = it.next().captured(1);
        aliases.insert(alias.toLower(), alias);
    }

    const QString tableName = singleTable(sql);
    const TableDef *table = tableName.isEmpty() ? nullptr : Schema::table(tableName);
    const int count = int(rawNames.size());
    m_columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString &raw = rawNames.at(i);
        const QString lower = raw.toLower();
        QString name = aliases.value(lower);
        const bool aliased = !name.isEmpty();
        if (!aliased) {
            name = Schema::canonicalName(raw);
            if (name.isEmpty())
                name = raw;
        }
        ColumnKind kind = aliased ? ColumnKind::Unknown : Schema::kindOf(lower);
        bool writable = false;
        if (table && !aliased) {
            for (const ColumnDef &def : table->columns) {
                if (def.name.compare(raw, Qt::CaseInsensitive) == 0) {
                    writable = true;
                    kind = def.kind;
                    break;
                }
            }
        }
        m_columns.append(Column{name, kind, writable});
        if (!m_index.contains(lower))
            m_index.insert(lower, i);
    }
    if (table) {
        m_table = table->name;
        m_keyName = table->key();
        m_keyColumn = m_index.value(m_keyName.toLower(), -1);
    }
}

void SqlRecordset::StatementDeleter::operator()(sqlite3_stmt *stmt) const
{
    sqlite3_finalize(stmt);
}

void SqlRecordset::finishLoad()
{
    m_types.fit();
    m_payload.fit();
    m_bytes.fit();
    m_deleted.assign(size_t(rowCount()), false);
    m_dirty.assign(size_t(m_columns.size()), false);
    m_pos = 0;
    m_open = true;
}

int SqlRecordset::columnIndex(const QString &name) const
{
    // Callers name the same few fields row after row; each spelling is
    // folded to lower case once.
    // A literal name arrives with the same characters every time: the
    // pointer settles most lookups without comparing text.
    const size_t recent = m_recent.size();
    for (size_t k = 0; k < recent; ++k) {
        size_t at = m_nextRecent + k;
        if (at >= recent)
            at -= recent;
        const auto &[spelled, column] = m_recent[at];
        if (spelled.constData() == name.constData() && spelled.size() == name.size()) {
            m_nextRecent = at + 1;
            return column;
        }
    }
    for (const auto &[spelled, column] : m_recent) {
        if (spelled == name)
            return column;
    }
    if (const auto hit = m_spelled.constFind(name); hit != m_spelled.cend()) {
        if (m_recent.size() < 16)
            m_recent.emplace_back(name, *hit);
        return *hit;
    }
    const auto it = m_index.constFind(name.toLower());
    if (it == m_index.cend())
        throw HostError(3265, QStringLiteral("Item \"%1\" not found in this collection.").arg(name));
    m_spelled.insert(name, *it);
    return *it;
}

void SqlRecordset::requireCurrent() const
{
    if (!m_open)
        throw HostError(3420, QStringLiteral("The recordset is closed."));
    if (m_pos < 0 || m_pos >= rowCount() || (m_deletedCount && m_deleted[size_t(m_pos)]))
        throw HostError(3021, QStringLiteral("No current record."));
}

void SqlRecordset::requireWritable() const
{
    if (!m_open)
        throw HostError(3420, QStringLiteral("The recordset is closed."));
    if (m_table.isEmpty())
        throw HostError(3027, QStringLiteral("Cannot update: the recordset was not opened on a single table."));
}

bool SqlRecordset::isBof() const
{
    return m_pos < 0 || recordCount() == 0;
}

bool SqlRecordset::isEof() const
{
    return m_pos >= rowCount() || recordCount() == 0;
}

qint32 SqlRecordset::recordCount() const
{
    return qint32(rowCount() - m_deletedCount);
}

qsizetype SqlRecordset::firstLive(qsizetype from, int step) const
{
    const qsizetype n = rowCount();
    while (from >= 0 && from < n && m_deleted[size_t(from)])
        from += step;
    return from;
}

void SqlRecordset::moveFirst()
{
    flushPending();
    m_pos = firstLive(0, 1);
}

void SqlRecordset::moveLast()
{
    flushPending();
    m_pos = recordCount() == 0 ? rowCount() : firstLive(rowCount() - 1, -1);
}

void SqlRecordset::moveNext()
{
    if (isEof())
        throw HostError(3021, QStringLiteral("No current record."));
    flushPending();
    m_pos = firstLive(m_pos + 1, 1);
}

void SqlRecordset::movePrevious()
{
    if (isBof())
        throw HostError(3021, QStringLiteral("No current record."));
    flushPending();
    m_pos = firstLive(m_pos - 1, -1);
}

QVariant SqlRecordset::value(const QString &name) const
{
    const int column = columnIndex(name);
    requireCurrent();
    return cell(m_pos, column);
}

QStringList SqlRecordset::fieldNames() const
{
    QStringList names;
    names.reserve(m_columns.size());
    for (const Column &c : m_columns)
        names.append(c.name);
    return names;
}


} // namespace tovradocs::Internal
