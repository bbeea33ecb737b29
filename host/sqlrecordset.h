#pragma once

#include "schema.h"

#include <tovradocs/recordset.h>

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tovradocs::Internal {

class HostDatabase;

// A growing array of plain values that moves by realloc: a large book's
// cells grow without copying, and the slack is handed back when loading ends.
template<typename T>
class PodBuffer
{
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodBuffer() = default;
    PodBuffer(const PodBuffer &) = delete;
    PodBuffer &operator=(const PodBuffer &) = delete;
    ~PodBuffer() { std::free(m_data); }

    // n more elements, uninitialised.
    T *grow(size_t n)
    {
        if (m_size + n > m_capacity)
            reallocate(std::max({m_capacity * 2, m_size + n, 4096 / sizeof(T)}));
        T *at = m_data + m_size;
        m_size += n;
        return at;
    }
    void shrink(size_t n) { m_size -= std::min(n, m_size); }
    void fit()
    {
        if (m_size && m_size < m_capacity)
            reallocate(m_size);
    }
    void clear()
    {
        std::free(m_data);
        m_data = nullptr;
        m_size = m_capacity = 0;
    }
    size_t size() const { return m_size; }
    T *data() { return m_data; }
    const T *data() const { return m_data; }
    T &operator[](size_t i) { return m_data[i]; }
    const T &operator[](size_t i) const { return m_data[i]; }

private:
    void reallocate(size_t capacity)
    {
        T *moved = static_cast<T *>(std::realloc(m_data, capacity * sizeof(T)));
        if (!moved)
            throw std::bad_alloc();
        m_data = moved;
        m_capacity = capacity;
    }

    T *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// The rows of one SELECT, read into memory at once, each cell as the engine
// handed it over (whole number, double, UTF-8 text, bytes); a cell becomes a
// QVariant only when it is read. A SELECT from exactly one
// table can be written back: addNew/update insert, edits of a row update it
// by its key, deleteCurrent deletes it. Everything written through one
// recordset is one transaction, committed by close() or the destructor; a
// row that fails is reported and leaves the rows before it in place.
// Moving away from a row with a pending edit stores the edit first.
class SqlRecordset : public Recordset
{
public:
    SqlRecordset(std::shared_ptr<HostDatabase> db, const QString &sql); // throws HostError
    ~SqlRecordset() override;

    bool isOpen() const override { return m_open; }
    bool isBof() const override;
    bool isEof() const override;
    qint32 recordCount() const override;

    void moveFirst() override;
    void moveLast() override;
    void moveNext() override;
    void movePrevious() override;

    QVariant value(const QString &name) const override;
    void setValue(const QString &name, const QVariant &value) override;
    QStringList fieldNames() const override;

    void addNew() override;
    void update() override;
    void cancelUpdate() override;
    void deleteCurrent() override;
    void close() override;
    using Recordset::addRows;
    void addRows(const RowBatch &rows, qsizetype *stored = nullptr) override;

    // The table written back to; empty for a read-only result.
    QString updatableTable() const { return m_table; }

    // How a stored value reads back, and how a value is bound for storage.
    static QVariant readValue(const QVariant &raw, ColumnKind kind);
    static QVariant storageValue(const QVariant &value, ColumnKind kind, Dialect dialect);

private:
    enum class EditMode { None, Edit, AddNew };
    struct Column
    {
        QString name;
        ColumnKind kind;
        bool writable;
    };

    void load(const QString &sql);
    void loadFromSqlite(sqlite3 *engine, const QString &sql, const QString &translated);
    void setUpColumns(const QString &sql, const QStringList &rawNames);
    void finishLoad();
    int columnIndex(const QString &name) const; // throws for unknown names
    void requireCurrent() const;
    void requireWritable() const;
    void flushPending();
    void ensureWriting();
    void insertRow();
    void updateRow();
    sqlite3_stmt *bulkStatement(sqlite3 *engine, const std::vector<int> &columns, qsizetype rows);
    void appendBulkRow(const std::vector<int> &columns, const RowBatch &rows, qsizetype row);
    void bindBulkRow(sqlite3_stmt *stmt, int first, qsizetype row, const std::vector<int> &columns);

    // A cell: its type, and a whole number, a double's bits, the offset of
    // its bytes in m_bytes, or its index in m_boxed.
    enum class CellType : quint8 { Null, Integer, Float, Text, Blob, Boxed };
    struct Cell
    {
        CellType type = CellType::Null;
        qint64 payload = 0;
    };
    size_t at(qsizetype row, int column) const { return size_t(row) * size_t(m_columns.size()) + size_t(column); }
    Cell cellAt(size_t i) const { return Cell{m_types[i], m_payload[i]}; }
    void setCell(size_t i, Cell c)
    {
        m_types[i] = c.type;
        m_payload[i] = c.payload;
    }
    Cell box(const QVariant &value);
    qint64 appendBytes(const void *data, size_t size); // where it went in m_bytes
    qint64 appendUtf8(QStringView text);
    QVariant read(Cell c, ColumnKind kind) const;
    QVariant cell(qsizetype row, int column) const { return read(cellAt(at(row, column)), m_columns.at(column).kind); }
    qsizetype rowCount() const { return m_columns.isEmpty() ? 0 : qsizetype(m_types.size() / size_t(m_columns.size())); }
    qsizetype firstLive(qsizetype from, int step) const;

    std::shared_ptr<HostDatabase> m_db;
    QList<Column> m_columns;
    QHash<QString, int> m_index; // lower-case name -> first column of that name
    mutable QHash<QString, int> m_spelled; // names as callers spell them -> column
    mutable std::vector<std::pair<QString, int>> m_recent; // the first few of them, searched first
    mutable size_t m_nextRecent = 0; // fields are read in the same order row after row
    PodBuffer<CellType> m_types; // row by row
    PodBuffer<qint64> m_payload;
    PodBuffer<char> m_bytes; // texts and blobs, each after its 32-bit length
    std::vector<QVariant> m_boxed; // values written by callers and from other drivers, as read
    std::vector<bool> m_deleted;
    qsizetype m_deletedCount = 0;
    qsizetype m_pos = 0; // -1: BOF; rowCount(): EOF
    bool m_open = false;

    QString m_table; // updatable table, as declared
    int m_keyColumn = -1;
    QString m_keyName;
    EditMode m_mode = EditMode::None;
    std::vector<Cell> m_original; // the row before the pending edit
    std::vector<bool> m_dirty;
    bool m_writing = false;

    struct StatementDeleter
    {
        void operator()(sqlite3_stmt *stmt) const;
    };
    std::optional<QSqlQuery> m_insert;
    std::unique_ptr<sqlite3_stmt, StatementDeleter> m_sqliteInsert; // SQLite instead of m_insert
    std::vector<bool> m_insertShape; // the columns m_insert and m_sqliteInsert set
    QString m_insertSql;
    // addRows: one statement for a group of rows and one for a single row, for
    // the columns in m_bulkColumns; values that need more than a cell's bytes
    // to bind wait in m_bulkStored.
    std::vector<int> m_bulkColumns;
    std::unique_ptr<sqlite3_stmt, StatementDeleter> m_bulkGroup;
    std::unique_ptr<sqlite3_stmt, StatementDeleter> m_bulkSingle;
    qsizetype m_bulkGroupRows = 0;
    QString m_bulkSql;
    std::vector<QVariant> m_bulkStored;
};

} // namespace tovradocs::Internal
