#include "sqlrecordset.h"
#include "hostdatabase.h"
#include "sqlfailure.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QStringEncoder>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>

Q_LOGGING_CATEGORY(lcHostRecordset, "tovradocs.host.recordset")

namespace tovradocs::Internal {

namespace {

QVariant intOrLong(qlonglong v)
{
    if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
        return QVariant(int(v));
    return QVariant(v);
}

// "yyyy-mm-dd", as SQLite stores dates, without the general parser: a page
// of a large book reads thousands of them.
QDate plainIsoDate(const QString &s)
{
    if (s.size() < 10 || s.at(4) != u'-' || s.at(7) != u'-'
        || (s.size() > 10 && s.at(10) != u' ' && s.at(10) != u'T'))
        return QDate();
    int parts[3] = {0, 0, 0};
    const int from[3] = {0, 5, 8};
    const int to[3] = {4, 7, 10};
    for (int p = 0; p < 3; ++p) {
        for (int i = from[p]; i < to[p]; ++i) {
            const char16_t c = s.at(i).unicode();
            if (c < u'0' || c > u'9')
                return QDate();
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    }
    return QDate(parts[0], parts[1], parts[2]);
}

QDate dateFrom(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate();
    case QMetaType::QDateTime: return v.toDateTime().date();
    case QMetaType::QString:
        if (const QDate d = plainIsoDate(*static_cast<const QString *>(v.constData())); d.isValid())
            return d;
        break;
    default: break;
    }
    const QString s = v.toString().trimmed();
    QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    if (!d.isValid())
        d = QDate::fromString(s, QStringLiteral("M/d/yyyy"));
    return d;
}

QDateTime dateTimeFrom(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime: return v.toDateTime();
    case QMetaType::QDate: return v.toDate().startOfDay();
    default: break;
    }
    QString s = v.toString().trimmed();
    QDateTime dt = QDateTime::fromString(s, Qt::ISODate);
    if (!dt.isValid())
        dt = QDateTime::fromString(s.replace(u' ', u'T'), Qt::ISODate);
    if (!dt.isValid())
        dt = QDate::fromString(s.left(10), Qt::ISODate).startOfDay();
    return dt;
}

[[noreturn]] void mismatch(const QVariant &value, const char *what)
{
    throw HostError(3464, QStringLiteral("Data type mismatch: \"%1\" is not %2.")
                              .arg(value.toString(), QLatin1String(what)));
}

// "Select <list> From <one table> [Where|Order ...]": the only shape that
// can be written back.
QString singleTable(const QString &sql)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+(?:.*?\\s)?from\\s+([A-Za-z_][A-Za-z0-9_]*)\\s*(?:$|;|where\\b|order\\b|group\\b|\\()"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(sql);
    return m.hasMatch() ? m.captured(1) : QString();
}

// The SQLite connection under the Qt driver, for the paths where the
// driver's own overhead outweighs the work.
sqlite3 *sqliteEngine(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(handle.constData());
    return nullptr;
}

// QDate::toString(Qt::ISODate) without its general formatter.
QString isoText(const QDate &d)
{
    const int y = d.year();
    if (y < 1 || y > 9999)
        return d.toString(Qt::ISODate);
    const int m = d.month();
    const int day = d.day();
    const char16_t text[10] = {char16_t(u'0' + y / 1000),
                               char16_t(u'0' + y / 100 % 10),
                               char16_t(u'0' + y / 10 % 10),
                               char16_t(u'0' + y % 10),
                               u'-',
                               char16_t(u'0' + m / 10),
                               char16_t(u'0' + m % 10),
                               u'-',
                               char16_t(u'0' + day / 10),
                               char16_t(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar *>(text), 10);
}

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

// Binds numbers as numbers, text as UTF-8 (SQLite would translate UTF-16
// itself, slower), bytes as a blob.
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

// "yyyy-mm-dd" straight from the stored bytes; invalid when it is not.
QDate isoDateBytes(const char *t, qsizetype n)
{
    if (n != 10 || t[4] != '-' || t[7] != '-')
        return QDate();
    const auto digits = [t](int from, int to) {
        int v = 0;
        for (int k = from; k < to; ++k) {
            if (t[k] < '0' || t[k] > '9')
                return -1;
            v = v * 10 + (t[k] - '0');
        }
        return v;
    };
    const int y = digits(0, 4), m = digits(5, 7), d = digits(8, 10);
    return y >= 0 && m >= 0 && d >= 0 ? QDate(y, m, d) : QDate();
}

} // namespace

SqlRecordset::SqlRecordset(std::shared_ptr<HostDatabase> db, const QString &sql)
    : m_db(std::move(db))
{
    load(sql);
}

SqlRecordset::~SqlRecordset()
{
    if (!m_open)
        return;
    try {
        close();
    } catch (const HostError &e) {
        qCWarning(lcHostRecordset) << "closing a recordset failed:" << e.description();
    }
}

SqlRecordset::Cell SqlRecordset::box(const QVariant &value)
{
    if (value.isNull())
        return Cell{};
    m_boxed.push_back(value);
    return Cell{CellType::Boxed, qint64(m_boxed.size() - 1)};
}

qint64 SqlRecordset::appendBytes(const void *data, size_t size)
{
    const quint32 length = quint32(size);
    const size_t offset = m_bytes.size();
    char *at = m_bytes.grow(sizeof length + size);
    std::memcpy(at, &length, sizeof length);
    if (size)
        std::memcpy(at + sizeof length, data, size);
    return qint64(offset);
}

qint64 SqlRecordset::appendUtf8(QStringView text)
{
    // Straight into the cell bytes: no QByteArray a value.
    const size_t offset = m_bytes.size();
    QStringEncoder encoder(QStringEncoder::Utf8);
    const size_t room = size_t(encoder.requiredSpace(text.size()));
    char *at = m_bytes.grow(sizeof(quint32) + room);
    char *end = encoder.appendToBuffer(at + sizeof(quint32), text);
    const quint32 length = quint32(end - (at + sizeof(quint32)));
    std::memcpy(at, &length, sizeof length);
    m_bytes.shrink(room - length);
    return qint64(offset);
}

// As readValue would give the value the driver hands over, without building
// that intermediate variant for the common cases.
QVariant SqlRecordset::read(Cell c, ColumnKind kind) const
{
    switch (c.type) {
    case CellType::Null:
        return QVariant();
    case CellType::Boxed:
        return m_boxed[size_t(c.payload)];
    case CellType::Integer:
        switch (kind) {
        case ColumnKind::Key:
        case ColumnKind::Long:
        case ColumnKind::Unknown: return intOrLong(c.payload);
        case ColumnKind::Bool: return QVariant(c.payload != 0);
        default: return readValue(QVariant(qlonglong(c.payload)), kind);
        }
    case CellType::Float: {
        double d;
        std::memcpy(&d, &c.payload, sizeof d);
        return kind == ColumnKind::Double ? QVariant(d) : readValue(QVariant(d), kind);
    }
    case CellType::Text:
    case CellType::Blob:
        break;
    }
    quint32 length;
    const char *at = m_bytes.data() + c.payload;
    std::memcpy(&length, at, sizeof length);
    const char *bytes = at + sizeof length;
    if (c.type == CellType::Blob)
        return readValue(QVariant(QByteArray(bytes, qsizetype(length))), kind);
    if (kind == ColumnKind::Text)
        return QVariant(QString::fromUtf8(bytes, qsizetype(length)));
    if (kind == ColumnKind::Date) {
        if (const QDate d = isoDateBytes(bytes, qsizetype(length)); d.isValid())
            return QVariant(d);
    }
    return readValue(QVariant(QString::fromUtf8(bytes, qsizetype(length))), kind);
}

QVariant SqlRecordset::readValue(const QVariant &raw, ColumnKind kind)
{
    if (raw.isNull())
        return QVariant();
    switch (kind) {
    case ColumnKind::Bool:
        if (raw.typeId() == QMetaType::QString) {
            const QString s = raw.toString();
            return QVariant(s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s.toLongLong() != 0);
        }
        return QVariant(raw.toLongLong() != 0);
    case ColumnKind::Key:
    case ColumnKind::Long:
        if (raw.typeId() == QMetaType::Int)
            return raw;
        return intOrLong(raw.toLongLong());
    case ColumnKind::Double:
        return QVariant(raw.toDouble());
    case ColumnKind::Date: {
        const QDate d = dateFrom(raw);
        return d.isValid() ? QVariant(d) : raw;
    }
    case ColumnKind::DateTime: {
        const QDateTime dt = dateTimeFrom(raw);
        return dt.isValid() ? QVariant(dt) : raw;
    }
    case ColumnKind::Text:
        return raw.typeId() == QMetaType::QString ? raw : QVariant(raw.toString());
    case ColumnKind::Blob:
        return raw;
    case ColumnKind::Unknown:
        if (raw.typeId() == QMetaType::LongLong)
            return intOrLong(raw.toLongLong());
        return raw;
    }
    return raw;
}

QVariant SqlRecordset::storageValue(const QVariant &value, ColumnKind kind, Dialect dialect)
{
    const bool pg = dialect == Dialect::PostgreSQL;
    if (value.isNull()) {
        switch (kind) {
        case ColumnKind::Key:
        case ColumnKind::Long:
        case ColumnKind::Bool: return QVariant(QMetaType::fromType<int>());
        case ColumnKind::Double: return QVariant(QMetaType::fromType<double>());
        case ColumnKind::Date: return pg ? QVariant(QMetaType::fromType<QDate>()) : QVariant(QMetaType::fromType<QString>());
        case ColumnKind::DateTime: return pg ? QVariant(QMetaType::fromType<QDateTime>()) : QVariant(QMetaType::fromType<QString>());
        case ColumnKind::Blob: return QVariant(QMetaType::fromType<QByteArray>());
        default: return QVariant(QMetaType::fromType<QString>());
        }
    }
    bool ok = true;
    switch (kind) {
    case ColumnKind::Bool: {
        if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed();
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                return -1;
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.isEmpty())
                return 0;
            const qlonglong n = s.toLongLong(&ok);
            if (!ok)
                mismatch(value, "a Yes/No value");
            return n != 0 ? -1 : 0;
        }
        return value.toBool() ? -1 : 0;
    }
    case ColumnKind::Key:
    case ColumnKind::Long: {
        if (value.typeId() == QMetaType::Int)
            return value;
        if (value.typeId() == QMetaType::Bool)
            return value.toBool() ? -1 : 0;
        qlonglong n = value.toLongLong(&ok);
        if (!ok) {
            const double d = value.toDouble(&ok);
            n = qRound64(d);
        }
        if (!ok || n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
            mismatch(value, "a whole number");
        return int(n);
    }
    case ColumnKind::Double: {
        const double d = value.toDouble(&ok);
        if (!ok)
            mismatch(value, "a number");
        return d;
    }
    case ColumnKind::Date: {
        const QDate d = dateFrom(value);
        if (!d.isValid())
            mismatch(value, "a date");
        return pg ? QVariant(d) : QVariant(isoText(d));
    }
    case ColumnKind::DateTime: {
        const QDateTime dt = dateTimeFrom(value);
        if (!dt.isValid())
            mismatch(value, "a date and time");
        return pg ? QVariant(dt) : QVariant(dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    case ColumnKind::Text:
        return value.typeId() == QMetaType::QString ? value : QVariant(value.toString());
    case ColumnKind::Blob: {
        if (value.typeId() == QMetaType::QImage) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            value.value<QImage>().save(&buffer, "PNG");
            return png;
        }
        return value.toByteArray();
    }
    case ColumnKind::Unknown:
        break;
    }
    return value;
}

void SqlRecordset::load(const QString &sql)
{
    const Dialect dialect = m_db->dialect();
    const QString translated = SqlDialect::translate(sql, dialect);
    QSqlDatabase db = m_db->database();
    if (dialect == Dialect::SQLite) {
        // Straight from the engine: the driver's row cache and its UTF-16
        // round trip cost more than the query itself on a large book.
        if (sqlite3 *engine = sqliteEngine(db)) {
            loadFromSqlite(engine, sql, translated);
            return;
        }
    }

    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(translated))
        throwSqlFailure(q.lastError(), sql);
    const QSqlRecord record = q.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names.append(record.fieldName(i));
    setUpColumns(sql, names);

    const int count = int(m_columns.size());
    std::vector<ColumnKind> kinds;
    for (const Column &c : std::as_const(m_columns))
        kinds.push_back(c.kind);
    while (q.next()) {
        for (int i = 0; i < count; ++i) {
            const Cell c = box(readValue(q.value(i), kinds[size_t(i)]));
            *m_types.grow(1) = c.type;
            *m_payload.grow(1) = c.payload;
        }
    }
    if (q.lastError().isValid())
        throwSqlFailure(q.lastError(), sql);
    finishLoad();
}

void SqlRecordset::loadFromSqlite(sqlite3 *engine, const QString &sql, const QString &translated)
{
    const auto failure = [&](int code) {
        throwSqlFailure(QSqlError(QStringLiteral("Unable to execute statement"),
                                  QString::fromUtf8(sqlite3_errmsg(engine)),
                                  QSqlError::StatementError, QString::number(code)),
                        sql);
    };
    const QByteArray text = translated.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    int rc = sqlite3_prepare_v2(engine, text.constData(), int(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        failure(rc);
    // Finalised however we leave.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> owned(stmt, sqlite3_finalize);
    if (tail && !QByteArrayView(tail).trimmed().isEmpty())
        throwSqlFailure(QSqlError(QStringLiteral("Unable to execute multiple statements at a time"),
                                  QString(), QSqlError::StatementError),
                        sql);
    if (!stmt) { // only blanks or a comment
        setUpColumns(sql, {});
        finishLoad();
        return;
    }

    const int count = sqlite3_column_count(stmt);
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QString::fromUtf8(sqlite3_column_name(stmt, i)).remove(u'"'));
    setUpColumns(sql, names);

    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        CellType *types = m_types.grow(size_t(count));
        qint64 *payload = m_payload.grow(size_t(count));
        for (int i = 0; i < count; ++i) {
            // One call into the connection per cell, then the value's own
            // accessors; read before the next step.
            sqlite3_value *v = sqlite3_column_value(stmt, i);
            switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER:
                types[i] = CellType::Integer;
                payload[i] = sqlite3_value_int64(v);
                break;
            case SQLITE_FLOAT: {
                const double d = sqlite3_value_double(v);
                types[i] = CellType::Float;
                std::memcpy(&payload[i], &d, sizeof d);
                break;
            }
            case SQLITE_TEXT: {
                const unsigned char *text = sqlite3_value_text(v);
                types[i] = CellType::Text;
                payload[i] = appendBytes(text, size_t(sqlite3_value_bytes(v)));
                break;
            }
            case SQLITE_BLOB: {
                const void *blob = sqlite3_value_blob(v);
                types[i] = CellType::Blob;
                payload[i] = appendBytes(blob, size_t(sqlite3_value_bytes(v)));
                break;
            }
            default:
                types[i] = CellType::Null;
                payload[i] = 0;
                break;
            }
        }
    }
    if (rc != SQLITE_DONE)
        failure(rc);
    finishLoad();
}

void SqlRecordset::setUpColumns(const QString &sql, const QStringList &rawNames)
{
    // Names as the statement spells its aliases, else as the schema declares
    // them (PostgreSQL hands back folded lower-case names).
    QHash<QString, QString> aliases;
    static const QRegularExpression aliasRe(QStringLiteral("\\bas\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (auto it = aliasRe.globalMatch(sql); it.hasNext();) {
        const QString alias = it.next().captured(1);
        aliases.insert(alias.toLower(), alias);
    }

    const QString tableName = singleTable(sql);
    const TableDef *table = tableName.isEmpty() ? nullptr : Schema::table(tableName);
    const int count = int(rawNames.size());
    m_columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString &raw = rawNames.at(i);
        const QString lower = raw.toLower();
        QString name = aliases.value(lower);
        const bool aliased = !name.isEmpty();
        if (!aliased) {
            name = Schema::canonicalName(raw);
            if (name.isEmpty())
                name = raw;
        }
        ColumnKind kind = aliased ? ColumnKind::Unknown : Schema::kindOf(lower);
        bool writable = false;
        if (table && !aliased) {
            for (const ColumnDef &def : table->columns) {
                if (def.name.compare(raw, Qt::CaseInsensitive) == 0) {
                    writable = true;
                    kind = def.kind;
                    break;
                }
            }
        }
        m_columns.append(Column{name, kind, writable});
        if (!m_index.contains(lower))
            m_index.insert(lower, i);
    }
    if (table) {
        m_table = table->name;
        m_keyName = table->key();
        m_keyColumn = m_index.value(m_keyName.toLower(), -1);
    }
}

void SqlRecordset::StatementDeleter::operator()(sqlite3_stmt *stmt) const
{
    sqlite3_finalize(stmt);
}

void SqlRecordset::finishLoad()
{
    m_types.fit();
    m_payload.fit();
    m_bytes.fit();
    m_deleted.assign(size_t(rowCount()), false);
    m_dirty.assign(size_t(m_columns.size()), false);
    m_pos = 0;
    m_open = true;
}

int SqlRecordset::columnIndex(const QString &name) const
{
    // Callers name the same few fields row after row; each spelling is
    // folded to lower case once.
    // A literal name arrives with the same characters every time: the
    // pointer settles most lookups without comparing text.
    const size_t recent = m_recent.size();
    for (size_t k = 0; k < recent; ++k) {
        size_t at = m_nextRecent + k;
        if (at >= recent)
            at -= recent;
        const auto &[spelled, column] = m_recent[at];
        if (spelled.constData() == name.constData() && spelled.size() == name.size()) {
            m_nextRecent = at + 1;
            return column;
        }
    }
    for (const auto &[spelled, column] : m_recent) {
        if (spelled == name)
            return column;
    }
    if (const auto hit = m_spelled.constFind(name); hit != m_spelled.cend()) {
        if (m_recent.size() < 16)
            m_recent.emplace_back(name, *hit);
        return *hit;
    }
    const auto it = m_index.constFind(name.toLower());
    if (it == m_index.cend())
        throw HostError(3265, QStringLiteral("Item \"%1\" not found in this collection.").arg(name));
    m_spelled.insert(name, *it);
    return *it;
}

void SqlRecordset::requireCurrent() const
{
    if (!m_open)
        throw HostError(3420, QStringLiteral("The recordset is closed."));
    if (m_pos < 0 || m_pos >= rowCount() || (m_deletedCount && m_deleted[size_t(m_pos)]))
        throw HostError(3021, QStringLiteral("No current record."));
}

void SqlRecordset::requireWritable() const
{
    if (!m_open)
        throw HostError(3420, QStringLiteral("The recordset is closed."));
    if (m_table.isEmpty())
        throw HostError(3027, QStringLiteral("Cannot update: the recordset was not opened on a single table."));
}

bool SqlRecordset::isBof() const
{
    return m_pos < 0 || recordCount() == 0;
}

bool SqlRecordset::isEof() const
{
    return m_pos >= rowCount() || recordCount() == 0;
}

qint32 SqlRecordset::recordCount() const
{
    return qint32(rowCount() - m_deletedCount);
}

qsizetype SqlRecordset::firstLive(qsizetype from, int step) const
{
    const qsizetype n = rowCount();
    while (from >= 0 && from < n && m_deleted[size_t(from)])
        from += step;
    return from;
}

void SqlRecordset::moveFirst()
{
    flushPending();
    m_pos = firstLive(0, 1);
}

void SqlRecordset::moveLast()
{
    flushPending();
    m_pos = recordCount() == 0 ? rowCount() : firstLive(rowCount() - 1, -1);
}

void SqlRecordset::moveNext()
{
    if (isEof())
        throw HostError(3021, QStringLiteral("No current record."));
    flushPending();
    m_pos = firstLive(m_pos + 1, 1);
}

void SqlRecordset::movePrevious()
{
    if (isBof())
        throw HostError(3021, QStringLiteral("No current record."));
    flushPending();
    m_pos = firstLive(m_pos - 1, -1);
}

QVariant SqlRecordset::value(const QString &name) const
{
    const int column = columnIndex(name);
    requireCurrent();
    return cell(m_pos, column);
}

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

QStringList SqlRecordset::fieldNames() const
{
    QStringList names;
    names.reserve(m_columns.size());
    for (const Column &c : m_columns)
        names.append(c.name);
    return names;
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
