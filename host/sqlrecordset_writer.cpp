// Writing: edits of a row, new rows one at a time, deletes, and the
// transaction that holds them until close().
#include "sqlrecordset.h"
#include "sqlrecordset_p.h"
#include "hostdatabase.h"
#include "sqlfailure.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>

#include <sqlite3.h>

#include <cstring>
#include <exception>

namespace tovradocs::Internal {

namespace sqlrecordset {

void bindSqlite(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (value.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(stmt, index, *static_cast<const bool *>(value.constData()) ? 1 : 0);
        return;
    case QMetaType::Int:
        sqlite3_bind_int(stmt, index, *static_cast<const int *>(value.constData()));
        return;
    case QMetaType::UInt:
    case QMetaType::LongLong:
        sqlite3_bind_int64(stmt, index, value.toLongLong());
        return;
    case QMetaType::Double:
        sqlite3_bind_double(stmt, index, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        return;
    }
    default: {
        const QByteArray text = value.typeId() == QMetaType::QString
            ? static_cast<const QString *>(value.constData())->toUtf8()
            : value.toString().toUtf8();
        sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        return;
    }
    }
}


} // namespace sqlrecordset

using sqlrecordset::sqliteEngine;
using sqlrecordset::bindSqlite;

void SqlRecordset::setValue(const QString &name, const QVariant &value)
{
    const int column = columnIndex(name);
    requireCurrent();
    requireWritable();
    const Column &c = m_columns.at(column);
    if (!c.writable)
        throw HostError(3164, QStringLiteral("Field \"%1\" cannot be updated.").arg(c.name));
    // Checks the value now, so a bad one is refused before the row is touched.
    const QVariant stored = storageValue(value, c.kind, m_db->dialect());
    if (m_mode == EditMode::None) {
        m_mode = EditMode::Edit;
        const size_t width = size_t(m_columns.size());
        m_original.clear();
        for (size_t i = at(m_pos, 0), end = i + width; i < end; ++i)
            m_original.push_back(cellAt(i));
        m_dirty.assign(width, false);
    }
    const QVariant read = readValue(stored, c.kind);
    if (read.typeId() == QMetaType::Int && (c.kind == ColumnKind::Key || c.kind == ColumnKind::Long))
        setCell(at(m_pos, column), Cell{CellType::Integer, *static_cast<const int *>(read.constData())});
    else if (read.typeId() == QMetaType::Bool && c.kind == ColumnKind::Bool)
        setCell(at(m_pos, column), Cell{CellType::Integer, *static_cast<const bool *>(read.constData())});
    else
        setCell(at(m_pos, column), box(read));
    m_dirty[size_t(column)] = true;
}


void SqlRecordset::addNew()
{
    requireWritable();
    flushPending();
    const qsizetype row = rowCount();
    for (const Column &c : std::as_const(m_columns)) {
        const bool no = c.kind == ColumnKind::Bool && c.writable; // reads as false
        *m_types.grow(1) = no ? CellType::Integer : CellType::Null;
        *m_payload.grow(1) = 0;
    }
    m_deleted.push_back(false);
    m_pos = row;
    m_mode = EditMode::AddNew;
    m_dirty.assign(size_t(m_columns.size()), false);
}

void SqlRecordset::update()
{
    if (!m_open)
        throw HostError(3420, QStringLiteral("The recordset is closed."));
    if (m_mode == EditMode::None)
        return;
    try {
        ensureWriting();
        if (m_mode == EditMode::AddNew)
            insertRow();
        else
            updateRow();
    } catch (...) {
        // The failed row is dropped; rows stored before it stay.
        cancelUpdate();
        throw;
    }
    m_mode = EditMode::None;
}

void SqlRecordset::flushPending()
{
    if (m_mode != EditMode::None)
        update();
}

void SqlRecordset::ensureWriting()
{
    if (m_writing)
        return;
    m_db->beginWrite();
    m_writing = true;
}

void SqlRecordset::insertRow()
{
    const Dialect dialect = m_db->dialect();
    // A row without a key gets one from the counters.
    if (m_keyColumn >= 0 && cell(m_pos, m_keyColumn).isNull()
        && m_columns.at(m_keyColumn).kind == ColumnKind::Key) {
        setCell(at(m_pos, m_keyColumn), Cell{CellType::Integer, m_db->generateKey(m_table, m_keyName)});
        m_dirty[size_t(m_keyColumn)] = true;
    }
    // Which columns the row sets: the statement is made again only when that changes.
    std::vector<bool> shape(size_t(m_columns.size()), false);
    QVariantList values;
    values.reserve(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns.at(i);
        if (!c.writable || !m_dirty[size_t(i)])
            continue;
        shape[size_t(i)] = true;
        values.append(storageValue(cell(m_pos, i), c.kind, dialect));
    }
    m_db->guardedWrite([&] {
        if (shape != m_insertShape || (!m_insert && !m_sqliteInsert)) {
            m_insert.reset();
            m_sqliteInsert.reset();
            m_insertShape.clear();
            QStringList names;
            for (int i = 0; i < m_columns.size(); ++i) {
                if (m_columns.at(i).writable && m_dirty[size_t(i)])
                    names.append(m_columns.at(i).name);
            }
            const QString sql = names.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_table)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(m_table, names.join(u", "),
                           QStringList(names.size(), QStringLiteral("?")).join(u", "));
            QSqlDatabase db = m_db->database();
            sqlite3 *engine = dialect == Dialect::SQLite ? sqliteEngine(db) : nullptr;
            if (engine) {
                // A run of thousands of rows: the driver's binding by
                // placeholder name costs more than the insert.
                const QByteArray text = sql.toUtf8();
                sqlite3_stmt *stmt = nullptr;
                const int rc = sqlite3_prepare_v2(engine, text.constData(), int(text.size()), &stmt,
                                                  nullptr);
                m_sqliteInsert.reset(stmt);
                if (rc != SQLITE_OK)
                    throwSqlFailure(QSqlError(QStringLiteral("Unable to execute statement"),
                                              QString::fromUtf8(sqlite3_errmsg(engine)),
                                              QSqlError::StatementError, QString::number(rc)),
                                    sql);
            } else {
                m_insert.emplace(db);
                if (!m_insert->prepare(sql)) {
                    const QSqlError error = m_insert->lastError();
                    m_insert.reset();
                    throwSqlFailure(error, sql);
                }
            }
            m_insertShape = shape;
            m_insertSql = sql;
        }
        if (sqlite3_stmt *stmt = m_sqliteInsert.get()) {
            for (int i = 0; i < values.size(); ++i)
                bindSqlite(stmt, i + 1, values.at(i));
            const int rc = sqlite3_step(stmt);
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
            if (rc != SQLITE_DONE) {
                sqlite3 *engine = sqlite3_db_handle(stmt);
                throwSqlFailure(QSqlError(QStringLiteral("Unable to fetch row"),
                                          QString::fromUtf8(sqlite3_errmsg(engine)),
                                          QSqlError::StatementError, QString::number(rc)),
                                m_insertSql);
            }
            return;
        }
        for (int i = 0; i < values.size(); ++i)
            m_insert->bindValue(i, values.at(i));
        if (!m_insert->exec())
            throwSqlFailure(m_insert->lastError(), m_insertSql);
    });
    if (m_keyColumn >= 0 && m_keyName.compare(QLatin1String("Entry_Code"), Qt::CaseInsensitive) == 0) {
        const QVariant key = cell(m_pos, m_keyColumn);
        if (!key.isNull())
            m_db->noteKeyWritten(m_table, key.toLongLong());
    }
}


void SqlRecordset::updateRow()
{
    if (m_keyColumn < 0)
        throw HostError(3027, QStringLiteral("Cannot update: the recordset does not hold the key field %1.")
                                  .arg(m_keyName));
    const Dialect dialect = m_db->dialect();
    QStringList sets;
    QVariantList values;
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns.at(i);
        if (!c.writable || !m_dirty[size_t(i)])
            continue;
        sets.append(c.name + QStringLiteral(" = ?"));
        values.append(storageValue(cell(m_pos, i), c.kind, dialect));
    }
    if (sets.isEmpty())
        return;
    const QVariant key = read(m_original[size_t(m_keyColumn)], m_columns.at(m_keyColumn).kind);
    if (key.isNull())
        throw HostError(3027, QStringLiteral("Cannot update a row whose key is empty."));
    values.append(storageValue(key, m_columns.at(m_keyColumn).kind, dialect));
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(m_table, sets.join(u", "), m_keyName);
    m_db->guardedWrite([&] {
        const QSqlQuery q = execBound(m_db->database(), sql, values);
        if (q.numRowsAffected() == 0)
            throw HostError(3197, QStringLiteral("The record was deleted by another user."));
    });
    if (m_dirty[size_t(m_keyColumn)])
        m_db->noteKeyWritten(m_table, cell(m_pos, m_keyColumn).toLongLong());
}

void SqlRecordset::cancelUpdate()
{
    if (m_mode == EditMode::AddNew) {
        const size_t width = size_t(m_columns.size());
        m_types.shrink(width);
        m_payload.shrink(width);
        m_deleted.pop_back();
        m_pos = recordCount() == 0 ? 0 : firstLive(rowCount() - 1, -1);
    } else if (m_mode == EditMode::Edit) {
        const size_t first = at(m_pos, 0);
        for (size_t i = 0; i < m_original.size(); ++i)
            setCell(first + i, m_original[i]);
    }
    m_mode = EditMode::None;
}

void SqlRecordset::deleteCurrent()
{
    requireCurrent();
    requireWritable();
    if (m_mode != EditMode::None)
        cancelUpdate();
    requireCurrent();
    if (m_keyColumn < 0)
        throw HostError(3027, QStringLiteral("Cannot delete: the recordset does not hold the key field %1.")
                                  .arg(m_keyName));
    const QVariant key = cell(m_pos, m_keyColumn);
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(m_table, m_keyName);
    ensureWriting();
    m_db->guardedWrite([&] {
        execBound(m_db->database(), sql,
                  {storageValue(key, m_columns.at(m_keyColumn).kind, m_db->dialect())});
    });
    // The row stays current but unreadable until the next move, as a
    // deleting loop expects.
    m_deleted[size_t(m_pos)] = true;
    ++m_deletedCount;
}

void SqlRecordset::close()
{
    if (!m_open)
        return;
    std::exception_ptr failure;
    try {
        flushPending();
    } catch (...) {
        failure = std::current_exception();
    }
    m_insert.reset();
    m_sqliteInsert.reset();
    m_insertShape.clear();
    m_bulkGroup.reset();
    m_bulkSingle.reset();
    m_bulkColumns.clear();
    m_bulkStored = {};
    m_open = false;
    m_types.clear();
    m_payload.clear();
    m_bytes.clear();
    m_boxed = {};
    m_deleted.clear();
    if (m_writing) {
        m_writing = false;
        m_db->endWrite();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace tovradocs::Internal
