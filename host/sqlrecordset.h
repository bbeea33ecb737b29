#pragma once

#include "schema.h"

#include <tovradocs/recordset.h>

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tovradocs::Internal {

class HostDatabase;

// The rows of one SELECT, read into memory at once. A SELECT from exactly one
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
    QVariant &cell(qsizetype row, int column) { return m_cells[size_t(row) * m_columns.size() + column]; }
    const QVariant &cell(qsizetype row, int column) const { return m_cells[size_t(row) * m_columns.size() + column]; }
    qsizetype rowCount() const { return m_columns.isEmpty() ? 0 : qsizetype(m_cells.size() / m_columns.size()); }
    qsizetype firstLive(qsizetype from, int step) const;

    std::shared_ptr<HostDatabase> m_db;
    QList<Column> m_columns;
    QHash<QString, int> m_index; // lower-case name -> first column of that name
    mutable QHash<QString, int> m_spelled; // names as callers spell them -> column
    mutable std::vector<std::pair<QString, int>> m_recent; // the first few of them, searched first
    QList<QVariant> m_cells; // QList grows by realloc, which suits QVariant
    std::vector<bool> m_deleted;
    qsizetype m_deletedCount = 0;
    qsizetype m_pos = 0; // -1: BOF; rowCount(): EOF
    bool m_open = false;

    QString m_table; // updatable table, as declared
    int m_keyColumn = -1;
    QString m_keyName;
    EditMode m_mode = EditMode::None;
    std::vector<QVariant> m_original; // the row before the pending edit
    std::vector<bool> m_dirty;
    bool m_writing = false;

    struct StatementDeleter
    {
        void operator()(sqlite3_stmt *stmt) const;
    };
    std::optional<QSqlQuery> m_insert;
    std::unique_ptr<sqlite3_stmt, StatementDeleter> m_sqliteInsert; // SQLite instead of m_insert
    QString m_insertShape;
    QString m_insertSql;
};

} // namespace tovradocs::Internal
