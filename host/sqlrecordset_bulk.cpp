// addRows: many new rows through statements that each carry a group of them.
#include "sqlrecordset.h"
#include "sqlrecordset_p.h"
#include "hostdatabase.h"
#include "sqlfailure.h"

#include <QDate>
#include <QDateTime>

#include <sqlite3.h>

#include <cstring>
#include <exception>
#include <limits>

namespace tovradocs::Internal {

namespace {

// A whole number of a variant's own integer types that fits 32 bits, as
// storageValue() would store it for a whole-number column.
std::optional<qint32> smallWhole(const QVariant &value)
{
    qint64 n;
    switch (value.typeId()) {
    case QMetaType::Int: return *static_cast<const int *>(value.constData());
    case QMetaType::Short: return *static_cast<const short *>(value.constData());
    case QMetaType::UShort: return *static_cast<const ushort *>(value.constData());
    case QMetaType::LongLong: n = *static_cast<const qlonglong *>(value.constData()); break;
    case QMetaType::UInt: n = *static_cast<const uint *>(value.constData()); break;
    default: return std::nullopt;
    }
    if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(n);
}

// "yyyy-mm-dd" into ten bytes; false for years outside 1..9999.
bool isoBytes(const QDate &d, char *out)
{
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (y < 1 || y > 9999)
        return false;
    const char text[10] = {char('0' + y / 1000), char('0' + y / 100 % 10), char('0' + y / 10 % 10),
                           char('0' + y % 10), '-', char('0' + m / 10), char('0' + m % 10), '-',
                           char('0' + day / 10), char('0' + day % 10)};
    std::memcpy(out, text, sizeof text);
    return true;
}


} // namespace

using sqlrecordset::sqliteEngine;
using sqlrecordset::bindSqlite;

// Rows a multi-row statement carries: one statement a row costs about a
// third more than the insert itself.
constexpr qsizetype kBulkGroupRows = 64;

sqlite3_stmt *SqlRecordset::bulkStatement(sqlite3 *engine, const std::vector<int> &columns, qsizetype rows)
{
    if (columns != m_bulkColumns) {
        m_bulkGroup.reset();
        m_bulkSingle.reset();
        m_bulkColumns = columns;
    }
    auto &slot = rows == 1 ? m_bulkSingle : m_bulkGroup;
    if (slot && (rows == 1 || rows == m_bulkGroupRows))
        return slot.get();
    QStringList names;
    for (const int c : columns)
        names.append(m_columns.at(c).name);
    const QString one = QLatin1Char('(') + QStringList(names.size(), QStringLiteral("?")).join(u',')
        + QLatin1Char(')');
    m_bulkSql = QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                    .arg(m_table, names.join(u", "), QStringList(rows, one).join(u','));
    const QByteArray text = m_bulkSql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v2(engine, text.constData(), int(text.size()), &stmt, nullptr);
    slot.reset(stmt);
    if (rc != SQLITE_OK)
        throwSqlFailure(QSqlError(QStringLiteral("Unable to execute statement"),
                                  QString::fromUtf8(sqlite3_errmsg(engine)), QSqlError::StatementError,
                                  QString::number(rc)),
                        m_bulkSql);
    if (rows > 1)
        m_bulkGroupRows = rows;
    return stmt;
}

// Appends one row's cells as addNew() and setValue() would leave them; throws
// for a value its column cannot hold, leaving the set as it was.
void SqlRecordset::appendBulkRow(const std::vector<int> &columns, const RowBatch &rows, qsizetype row)
{
    const size_t width = size_t(m_columns.size());
    const size_t first = m_types.size();
    const size_t bytesBefore = m_bytes.size();
    const size_t boxedBefore = m_boxed.size();
    CellType *types = m_types.grow(width);
    qint64 *payload = m_payload.grow(width);
    for (size_t i = 0; i < width; ++i) {
        const Column &c = m_columns.at(int(i));
        types[i] = c.kind == ColumnKind::Bool && c.writable ? CellType::Integer : CellType::Null;
        payload[i] = 0;
    }
    const Dialect dialect = m_db->dialect();
    try {
        for (size_t k = 0; k < columns.size(); ++k) {
            const int column = columns[k];
            const ColumnKind kind = m_columns.at(column).kind;
            const qsizetype field = qsizetype(k);
            const bool whole = kind == ColumnKind::Key || kind == ColumnKind::Long;
            std::optional<Cell> cell;
            switch (rows.kind(row, field)) {
            case RowBatch::Kind::Null:
                cell = Cell{};
                if (column == m_keyColumn && kind == ColumnKind::Key)
                    cell = Cell{CellType::Integer, m_db->generateKey(m_table, m_keyName)};
                break;
            case RowBatch::Kind::Int:
                if (whole)
                    cell = Cell{CellType::Integer, rows.intAt(row, field)};
                break;
            case RowBatch::Kind::Bool:
                if (kind == ColumnKind::Bool)
                    cell = Cell{CellType::Integer, rows.boolAt(row, field) ? 1 : 0};
                break;
            case RowBatch::Kind::Text:
                if (kind == ColumnKind::Text)
                    cell = Cell{CellType::Text, appendUtf8(rows.textAt(row, field))};
                break;
            case RowBatch::Kind::Date:
                if (kind == ColumnKind::Date && dialect == Dialect::SQLite) {
                    const QDate d = rows.dateAt(row, field);
                    char iso[10];
                    if (d.isValid() && isoBytes(d, iso))
                        cell = Cell{CellType::Text, appendBytes(iso, sizeof iso)};
                }
                break;
            case RowBatch::Kind::Variant:
                if (whole)
                    if (const std::optional<qint32> n = smallWhole(rows.value(row, field)))
                        cell = Cell{CellType::Integer, *n};
                break;
            }
            if (!cell) {
                // Everything else as setValue() takes it, checked the same way.
                const QVariant stored = storageValue(rows.value(row, field), kind, dialect);
                const QVariant read = readValue(stored, kind);
                if (read.typeId() == QMetaType::Int && whole)
                    cell = Cell{CellType::Integer, *static_cast<const int *>(read.constData())};
                else if (read.typeId() == QMetaType::Bool && kind == ColumnKind::Bool)
                    cell = Cell{CellType::Integer, *static_cast<const bool *>(read.constData())};
                else
                    cell = box(read);
                if (cell->type == CellType::Boxed) {
                    const size_t slot = (first / width % size_t(kBulkGroupRows)) * columns.size() + k;
                    if (m_bulkStored.size() <= slot)
                        m_bulkStored.resize(size_t(kBulkGroupRows) * columns.size());
                    m_bulkStored[slot] = stored;
                }
            }
            setCell(first + size_t(column), *cell);
        }
    } catch (...) {
        m_types.shrink(width);
        m_payload.shrink(width);
        m_bytes.shrink(m_bytes.size() - bytesBefore);
        m_boxed.resize(boxedBefore);
        throw;
    }
    m_deleted.push_back(false);
}

void SqlRecordset::bindBulkRow(sqlite3_stmt *stmt, int first, qsizetype row, const std::vector<int> &columns)
{
    const size_t width = size_t(m_columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        const int index = first + int(k);
        const Cell c = cellAt(size_t(row) * width + size_t(columns[k]));
        switch (c.type) {
        case CellType::Null:
            sqlite3_bind_null(stmt, index);
            break;
        case CellType::Integer:
            // Yes is stored as -1, as storageValue() gives it.
            if (m_columns.at(columns[k]).kind == ColumnKind::Bool)
                sqlite3_bind_int(stmt, index, c.payload ? -1 : 0);
            else
                sqlite3_bind_int64(stmt, index, c.payload);
            break;
        case CellType::Text: {
            // The bytes stay put until the statement has run.
            quint32 length;
            const char *at = m_bytes.data() + c.payload;
            std::memcpy(&length, at, sizeof length);
            sqlite3_bind_text(stmt, index, at + sizeof length, int(length), SQLITE_STATIC);
            break;
        }
        default:
            bindSqlite(stmt, index,
                       m_bulkStored[size_t(row % kBulkGroupRows) * columns.size() + k]);
            break;
        }
    }
}

void SqlRecordset::addRows(const RowBatch &rows, qsizetype *stored)
{
    if (stored)
        *stored = 0;
    requireWritable();
    flushPending();
    sqlite3 *engine = m_db->dialect() == Dialect::SQLite ? sqliteEngine(m_db->database()) : nullptr;
    const QStringList &fields = rows.fields();
    std::vector<int> columns;
    columns.reserve(size_t(fields.size()));
    bool plain = engine != nullptr;
    for (const QString &field : fields) {
        const int column = columnIndex(field);
        if (!m_columns.at(column).writable)
            throw HostError(3164, QStringLiteral("Field \"%1\" cannot be updated.").arg(m_columns.at(column).name));
        // A field named twice keeps its last value, as setValue() would.
        plain = plain && std::find(columns.begin(), columns.end(), column) == columns.end();
        columns.push_back(column);
    }
    // A row without its key takes it from the counters as update() does.
    if (m_keyColumn >= 0 && m_columns.at(m_keyColumn).kind == ColumnKind::Key
        && std::find(columns.begin(), columns.end(), m_keyColumn) == columns.end())
        plain = false;
    if (!plain || columns.empty() || rows.isEmpty()) {
        Recordset::addRows(rows, stored);
        return;
    }
    ensureWriting();
    const bool countKeys = m_keyColumn >= 0 && m_keyName.compare(QLatin1String("Entry_Code"), Qt::CaseInsensitive) == 0;
    const qsizetype groupRows = std::min<qsizetype>(
        kBulkGroupRows, std::max(1, sqlite3_limit(engine, SQLITE_LIMIT_VARIABLE_NUMBER, -1) / int(columns.size())));
    const size_t width = size_t(m_columns.size());
    qsizetype done = 0;
    while (done < rows.rowCount()) {
        const qsizetype firstRow = rowCount();
        const qsizetype wanted = std::min(groupRows, rows.rowCount() - done);
        // A value no column can hold ends the run after the rows before it.
        std::exception_ptr badValue;
        qsizetype ready = 0;
        for (; ready < wanted; ++ready) {
            try {
                appendBulkRow(columns, rows, done + ready);
            } catch (...) {
                badValue = std::current_exception();
                break;
            }
        }
        const auto dropFrom = [&](qsizetype row) {
            const size_t extra = size_t(rowCount() - row);
            m_types.shrink(extra * width);
            m_payload.shrink(extra * width);
            m_deleted.resize(size_t(row));
        };
        qsizetype inserted = 0;
        if (ready == groupRows && groupRows > 1) {
            sqlite3_stmt *stmt = bulkStatement(engine, columns, groupRows);
            for (qsizetype r = 0; r < ready; ++r)
                bindBulkRow(stmt, int(r * qsizetype(columns.size())) + 1, firstRow + r, columns);
            const int rc = sqlite3_step(stmt);
            sqlite3_reset(stmt);
            // A refused row undoes the whole statement; the rows then go one
            // by one to find it.
            if (rc == SQLITE_DONE)
                inserted = ready;
        }
        if (inserted < ready) {
            sqlite3_stmt *stmt = bulkStatement(engine, columns, 1);
            for (; inserted < ready; ++inserted) {
                bindBulkRow(stmt, 1, firstRow + inserted, columns);
                const int rc = sqlite3_step(stmt);
                sqlite3_reset(stmt);
                if (rc != SQLITE_DONE) {
                    const QString message = QString::fromUtf8(sqlite3_errmsg(engine));
                    dropFrom(firstRow + inserted);
                    if (countKeys && inserted > 0)
                        m_db->noteKeyWritten(m_table, cellAt(at(firstRow + inserted - 1, m_keyColumn)).payload);
                    done += inserted;
                    if (stored)
                        *stored = done;
                    m_pos = recordCount() == 0 ? 0 : firstLive(rowCount() - 1, -1);
                    throwSqlFailure(QSqlError(QStringLiteral("Unable to fetch row"), message,
                                              QSqlError::StatementError, QString::number(rc)),
                                    m_bulkSql);
                }
            }
        }
        if (countKeys && ready > 0) {
            const Cell key = cellAt(at(firstRow + ready - 1, m_keyColumn));
            if (key.type == CellType::Integer)
                m_db->noteKeyWritten(m_table, key.payload);
        }
        done += ready;
        if (stored)
            *stored = done;
        m_pos = rowCount() - 1;
        if (badValue)
            std::rethrow_exception(badValue);
    }
}


} // namespace tovradocs::Internal
