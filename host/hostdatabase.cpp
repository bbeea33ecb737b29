#include "hostdatabase.h"
#include "schema.h"
#include "sqlfailure.h"
#include "sqlrecordset.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QUrl>

#include <limits>

namespace tovradocs::Internal {

namespace {

QString uniqueConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("tovradocs-host-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

bool isIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

Result<QSqlDatabase> openPostgres(const QUrl &url, const QString &name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isValid())
        return Result<QSqlDatabase>::failure(
            QStringLiteral("The PostgreSQL driver for Qt SQL is not installed."));
    db.setHostName(url.host().isEmpty() ? QStringLiteral("localhost") : url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    db.setUserName(url.userName());
    db.setPassword(url.password());
    db.setDatabaseName(url.path().mid(1));
    db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    if (!db.open())
        return Result<QSqlDatabase>::failure(
            QStringLiteral("Cannot connect to the practice database at %1: %2")
                .arg(url.toDisplayString(QUrl::RemovePassword), db.lastError().text()));
    return db;
}

} // namespace

Result<std::shared_ptr<HostDatabase>> HostDatabase::open(const QString &database)
{
    using R = Result<std::shared_ptr<HostDatabase>>;
    std::shared_ptr<HostDatabase> self(new HostDatabase);
    self->m_connection = uniqueConnectionName();
    const QUrl url(database);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("postgresql") || scheme == QLatin1String("postgres")) {
        if (url.path().size() < 2)
            return R::failure(QStringLiteral("The database URL names no database: %1")
                                  .arg(url.toDisplayString(QUrl::RemovePassword)));
        self->m_dialect = Dialect::PostgreSQL;
        self->m_location = url.toDisplayString(QUrl::RemovePassword);
        auto main = openPostgres(url, self->m_connection);
        if (!main)
            return R::failure(main.error());
        self->m_keyConnection = self->m_connection + QStringLiteral("-keys");
        auto keys = openPostgres(url, self->m_keyConnection);
        if (!keys)
            return R::failure(keys.error());
    } else {
        if (database.trimmed().isEmpty())
            return R::failure(QStringLiteral("No practice database was given."));
        const QFileInfo file(database);
        if (!QDir().mkpath(file.absolutePath()))
            return R::failure(QStringLiteral("Cannot create the folder %1 for the practice database.")
                                  .arg(file.absolutePath()));
        self->m_location = file.absoluteFilePath();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), self->m_connection);
        if (!db.isValid())
            return R::failure(QStringLiteral("The SQLite driver for Qt SQL is not installed."));
        db.setDatabaseName(self->m_location);
        // Other workstations' writers are waited for rather than failed.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
        if (!db.open())
            return R::failure(QStringLiteral("Cannot open the practice database %1: %2")
                                  .arg(self->m_location, db.lastError().text()));
    }
    try {
        QSqlDatabase db = self->database();
        if (self->m_dialect == Dialect::SQLite) {
            self->run(QStringLiteral("PRAGMA journal_mode=WAL"));
            self->run(QStringLiteral("PRAGMA synchronous=NORMAL"));
        } else {
            self->run(QStringLiteral("SET client_min_messages TO WARNING"));
        }
        // A complete database is left alone, so that opening never waits for
        // another workstation's write lock.
        QStringList present = db.tables();
        for (QString &t : present)
            t = t.toLower();
        bool complete = present.contains(Schema::settingsTable().toLower())
                        && present.contains(Schema::keyCountersTable().toLower())
                        && present.contains(Schema::upgradesTable().toLower());
        for (const TableDef &t : Schema::tables())
            complete = complete && present.contains(t.name.toLower());
        if (complete)
            return self;
        self->beginWrite();
        try {
            Schema::create(db, self->m_dialect);
        } catch (...) {
            self->run(QStringLiteral("ROLLBACK"));
            self->m_writeDepth = 0;
            throw;
        }
        self->endWrite();
    } catch (const HostError &e) {
        return R::failure(QStringLiteral("Cannot prepare the practice database %1: %2")
                              .arg(self->m_location, e.description()));
    }
    return self;
}

HostDatabase::~HostDatabase()
{
    if (m_writeDepth > 0) {
        QSqlQuery q(database());
        q.exec(QStringLiteral("COMMIT"));
    }
    for (const QString &name : {m_connection, m_keyConnection}) {
        if (name.isEmpty())
            continue;
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

QSqlDatabase HostDatabase::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

QSqlDatabase HostDatabase::keyDatabase() const
{
    return QSqlDatabase::database(m_keyConnection.isEmpty() ? m_connection : m_keyConnection, false);
}

void HostDatabase::runOn(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throwSqlFailure(q.lastError(), sql);
}

void HostDatabase::run(const QString &sql)
{
    QSqlDatabase db = database();
    runOn(db, sql);
}

std::unique_ptr<SqlRecordset> HostDatabase::select(const QString &sql)
{
    return std::make_unique<SqlRecordset>(shared_from_this(), sql);
}

void HostDatabase::execute(const QString &sql)
{
    const QString translated = SqlDialect::translate(sql, m_dialect);
    guardedWrite([&] { run(translated); });
}

void HostDatabase::beginWrite()
{
    if (m_writeDepth == 0)
        run(m_dialect == Dialect::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    ++m_writeDepth;
}

void HostDatabase::endWrite()
{
    if (m_writeDepth == 0)
        return;
    if (--m_writeDepth > 0)
        return;
    QSqlDatabase db = database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const QSqlError error = q.lastError();
        q.exec(QStringLiteral("ROLLBACK"));
        throwSqlFailure(error, QStringLiteral("COMMIT"));
    }
}

void HostDatabase::rollbackWrite()
{
    if (m_writeDepth == 0)
        return;
    m_writeDepth = 0;
    QSqlQuery(database()).exec(QStringLiteral("ROLLBACK"));
}

qint64 HostDatabase::counterUpdate(const QString &sql, const QVariantList &values, bool returnsValue)
{
    QSqlQuery q = execBound(keyDatabase(), sql, values);
    if (!returnsValue)
        return q.numRowsAffected();
    if (!q.next())
        throw HostError(3146, QStringLiteral("The key counter of %1 is missing.").arg(values.last().toString()));
    return q.value(0).toLongLong();
}

void HostDatabase::ensureCounter(const QString &table)
{
    counterUpdate(QStringLiteral("INSERT INTO %1 (TableName, NextKey) VALUES (?, 1) "
                                 "ON CONFLICT (TableName) DO NOTHING").arg(Schema::keyCountersTable()),
                  {table}, false);
}

qint32 HostDatabase::generateKey(const QString &table, const QString &keyField)
{
    const TableDef *def = Schema::table(table);
    if (!def || !isIdentifier(keyField))
        throw HostError(3078, QStringLiteral("No keys are kept for the table \"%1\".").arg(table));
    const QString name = def->name.toLower();
    // The counter never falls behind the rows, whoever wrote them.
    const QString sql = QStringLiteral(
        "UPDATE %1 SET NextKey = %2(NextKey, (SELECT COALESCE(MAX(%3), 0) + 1 FROM %4)) + %5 "
        "WHERE TableName = ? RETURNING NextKey")
        .arg(Schema::keyCountersTable(),
             m_dialect == Dialect::PostgreSQL ? QStringLiteral("GREATEST") : QStringLiteral("MAX"),
             keyField, def->name)
        .arg(KeyBlock);

    // SQLite: one writer at a time; take the lock now, or run inside the
    // transaction this connection already holds.
    const bool ownTransaction = m_dialect == Dialect::SQLite && m_writeDepth == 0;
    if (ownTransaction)
        beginWrite();
    qint64 next = 0;
    try {
        ensureCounter(name);
        next = counterUpdate(sql, {name}, true);
    } catch (...) {
        if (ownTransaction) {
            m_writeDepth = 0;
            QSqlQuery q(database());
            q.exec(QStringLiteral("ROLLBACK"));
        }
        throw;
    }
    if (ownTransaction)
        endWrite();
    if (next > std::numeric_limits<qint32>::max())
        throw HostError(3146, QStringLiteral("The keys of %1 are used up.").arg(def->name));
    KeyBlockState &state = m_keys[name];
    state.start = next - KeyBlock;
    state.end = next;
    state.floor = std::max(state.floor, next);
    state.extendFailed = false;
    return qint32(state.start);
}

void HostDatabase::noteKeyWritten(const QString &table, qint64 key)
{
    const QString name = table.toLower();
    KeyBlockState &state = m_keys[name];
    if (key >= state.floor) {
        // A key the counter has not reached (rows keyed by hand, or a run
        // that outgrew its block): move the counter past it.
        ensureCounter(name);
        counterUpdate(QStringLiteral("UPDATE %1 SET NextKey = ? WHERE TableName = ? AND NextKey <= ?")
                          .arg(Schema::keyCountersTable()),
                      {key + 1, name, key}, false);
        state.floor = key + 1;
        return;
    }
    // A long run is eating its block: grow the block while nobody has
    // reserved past it yet.
    if (key >= state.start && key < state.end && key >= state.end - KeyBlock / 2 && !state.extendFailed) {
        const qint64 grown = counterUpdate(
            QStringLiteral("UPDATE %1 SET NextKey = NextKey + %2 WHERE TableName = ? AND NextKey = ?")
                .arg(Schema::keyCountersTable())
                .arg(KeyBlock),
            {name, state.end}, false);
        if (grown == 1) {
            state.end += KeyBlock;
            state.floor = std::max(state.floor, state.end);
        } else {
            state.extendFailed = true;
        }
    }
}

QVariant HostDatabase::setting(int number)
{
    const QString sql = QStringLiteral("SELECT SettingValue, ValueType FROM %1 WHERE SettingNumber = ?")
                            .arg(Schema::settingsTable());
    QSqlQuery q = execBound(database(), sql, {number});
    if (!q.next())
        return QVariant();
    const QString value = q.value(0).toString();
    const QString type = q.value(1).toString();
    if (type == QLatin1String("b"))
        return QVariant(value == QLatin1String("-1") || value == QLatin1String("1")
                        || value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
    if (type == QLatin1String("i"))
        return QVariant(value.toInt());
    if (type == QLatin1String("d"))
        return QVariant(value.toDouble());
    return QVariant(value);
}

void HostDatabase::setSetting(int number, const QVariant &value)
{
    QString type = QStringLiteral("s");
    QString text = value.toString();
    switch (value.typeId()) {
    case QMetaType::Bool:
        type = QStringLiteral("b");
        text = value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        type = QStringLiteral("i");
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        type = QStringLiteral("d");
        break;
    default:
        break;
    }
    const QString sql = QStringLiteral(
        "INSERT INTO %1 (SettingNumber, SettingValue, ValueType) VALUES (?, ?, ?) "
        "ON CONFLICT (SettingNumber) DO UPDATE SET SettingValue = excluded.SettingValue, "
        "ValueType = excluded.ValueType").arg(Schema::settingsTable());
    guardedWrite([&] { execBound(database(), sql, {number, text, type}); });
}

} // namespace tovradocs::Internal
