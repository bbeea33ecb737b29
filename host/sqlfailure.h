#pragma once

#include <tovradocs/recordset.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>
#include <QString>

namespace tovradocs::Internal {

// Raises a database failure as the HostError the calling window reports. The
// number is the engine's own code when it is numeric (SQLite result codes,
// PostgreSQL SQLSTATE digits), else 3146, the generic call failure.
[[noreturn]] inline void throwSqlFailure(const QSqlError &error, const QString &sql)
{
    bool numeric = false;
    qint32 number = error.nativeErrorCode().toInt(&numeric);
    if (!numeric || number == 0)
        number = 3146;
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("The database refused the statement.");
    if (!sql.isEmpty())
        text += QStringLiteral("\nStatement: ") + sql;
    throw HostError(number, text);
}

// Prepares sql, binds values by position and runs it; a refusal at any step
// is raised as above. The query is handed back for its rows or counts.
inline QSqlQuery execBound(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throwSqlFailure(q.lastError(), sql);
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        throwSqlFailure(q.lastError(), sql);
    return q;
}

} // namespace tovradocs::Internal
