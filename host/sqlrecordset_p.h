#pragma once

// Helpers the recordset's reader, writer and bulk insert share.

#include <QVariant>

class QSqlDatabase;
struct sqlite3;
struct sqlite3_stmt;

namespace tovradocs::Internal::sqlrecordset {

// The SQLite connection under the Qt driver, for the paths where the
// driver's own overhead outweighs the work; null for other drivers.
sqlite3 *sqliteEngine(const QSqlDatabase &db);
// Binds numbers as numbers, text as UTF-8 (SQLite would translate UTF-16
// itself, slower), bytes as a blob.
void bindSqlite(sqlite3_stmt *stmt, int index, const QVariant &value);

} // namespace tovradocs::Internal::sqlrecordset
