#pragma once

#include <QString>
#include <QStringList>

namespace tovradocs::Internal {

enum class Dialect { SQLite, PostgreSQL };

// Turns the host-neutral SQL the component sends into the engine's own:
// Ucase$( and Lcase$( become UPPER( and LOWER(, the words true and false become
// -1 and 0 (Booleans are stored as -1/0), [bracketed] names become "quoted"
// names, #date# literals become 'yyyy-mm-dd', and on PostgreSQL Like becomes
// ILIKE so that matching stays case-insensitive as on SQLite. Text inside
// string literals and quoted names is never changed.
class SqlDialect
{
public:
    static QString translate(const QString &sql, Dialect dialect);

    // The contents of the '...' literals of sql, '' escapes undone, in order.
    // An unterminated literal counts up to the end of the text.
    static QStringList stringLiterals(const QString &sql);
};

} // namespace tovradocs::Internal
