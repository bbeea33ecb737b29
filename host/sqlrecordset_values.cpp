// Cells and values: how the engine's values are kept, read back and stored.
#include "sqlrecordset.h"
#include "sqlfailure.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QStringEncoder>

#include <cstring>
#include <limits>

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


} // namespace tovradocs::Internal
