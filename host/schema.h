#pragma once

#include "sqldialect.h"

#include <QList>
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace tovradocs::Internal {

// How a column is stored and how it reads back. Booleans are integers -1/0 on
// every engine so that ascending order puts true first.
enum class ColumnKind { Key, Long, Double, Text, Bool, Date, DateTime, Blob, Unknown };

struct ColumnDef
{
    QString name;
    ColumnKind kind;
};

struct TableDef
{
    QString name;
    QList<ColumnDef> columns;
    QString key() const { return columns.isEmpty() ? QString() : columns.first().name; }
};

// The practice and list tables the component and the front desk use.
class Schema
{
public:
    static const QList<TableDef> &tables();
    static const TableDef *table(const QString &name); // case-insensitive
    // Kind of a column known by name in any table; Unknown otherwise. Columns
    // of one name have one kind in every table.
    static ColumnKind kindOf(const QString &column);
    // The declared spelling of a column or table name; empty when unknown.
    static QString canonicalName(const QString &name);

    // Creates what is missing: tables, indexes, default settings.
    static void create(QSqlDatabase &db, Dialect dialect); // throws HostError

    // Settings table and its defaults (number, value).
    static QString settingsTable() { return QStringLiteral("SystemSettings"); }
    static QString keyCountersTable() { return QStringLiteral("KeyCounters"); }
    // One row per one-time correction of stored rows this host has made.
    static QString upgradesTable() { return QStringLiteral("HostUpgrades"); }
};

} // namespace tovradocs::Internal
