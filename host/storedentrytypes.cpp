#include "storedentrytypes.h"

#include "hostdatabase.h"
#include "schema.h"
#include "sqlfailure.h"

#include "component/filetypes.h"

#include <QDateTime>
#include <QSqlQuery>

namespace tovradocs::Internal {

namespace {

const QString kUpgrade = QStringLiteral("entry types from file content");

QSqlQuery prepared(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throwSqlFailure(q.lastError(), sql);
    return q;
}

void exec(QSqlQuery &q)
{
    if (!q.exec())
        throwSqlFailure(q.lastError(), q.lastQuery());
}

bool applied(QSqlDatabase db)
{
    QSqlQuery q = prepared(db, QStringLiteral("SELECT Name FROM %1 WHERE Name = ?").arg(Schema::upgradesTable()));
    q.addBindValue(kUpgrade);
    exec(q);
    return q.next();
}

} // namespace

Result<int> correctStoredEntryTypes(HostDatabase &db,
                                    const std::function<QString(const QString &)> &resolvePath)
{
    int changed = 0;
    try {
        // Read first, so a database already corrected never takes the write lock.
        if (applied(db.database()))
            return 0;
        db.beginWrite();
        try {
            struct Row
            {
                qint64 code;
                qint32 type;
            };
            QList<Row> rows;
            QSqlQuery read = prepared(db.database(),
                                      QStringLiteral("SELECT Entry_Code, FileName, EntryType FROM BookContents "
                                                     "WHERE EntryType IS NOT NULL AND EntryType NOT IN (1, 2, 4)"));
            read.setForwardOnly(true);
            exec(read);
            while (read.next()) {
                const qint32 stored = read.value(2).toInt();
                const qint32 shown = shownEntryType(stored, resolvePath(read.value(1).toString()));
                if (shown != stored)
                    rows.append({read.value(0).toLongLong(), shown});
            }
            read.finish();
            QSqlQuery update = prepared(db.database(),
                                        QStringLiteral("UPDATE BookContents SET EntryType = ? WHERE Entry_Code = ?"));
            for (const Row &row : std::as_const(rows)) {
                update.bindValue(0, row.type);
                update.bindValue(1, row.code);
                exec(update);
            }
            changed = int(rows.size());
            // Another workstation may have made the same correction meanwhile.
            QSqlQuery mark = prepared(db.database(),
                                      QStringLiteral("INSERT INTO %1 (Name, Applied) VALUES (?, ?) "
                                                     "ON CONFLICT (Name) DO NOTHING").arg(Schema::upgradesTable()));
            mark.addBindValue(kUpgrade);
            mark.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
            exec(mark);
        } catch (...) {
            db.rollbackWrite();
            throw;
        }
        db.endWrite();
    } catch (const HostError &e) {
        return Result<int>::failure(e.description());
    }
    return changed;
}

} // namespace tovradocs::Internal
