#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <stdexcept>
#include <vector>

namespace tovradocs {

// An error raised by the host inside a call. It travels back to the calling
// window, which shows it through PassMessage and stays as it was.
class HostError : public std::runtime_error
{
public:
    HostError(qint32 number, const QString &description)
        : std::runtime_error(description.toStdString())
        , m_number(number)
        , m_description(description)
    {}
    qint32 number() const { return m_number; }
    QString description() const { return m_description; }

private:
    qint32 m_number;
    QString m_description;
};

// Rows for Recordset::addRows, each giving every field in order. Values keep
// their own types instead of one QVariant each, so that a run of thousands of
// rows costs little more than the values themselves.
class RowBatch
{
public:
    enum class Kind : quint8 { Null, Int, Bool, Text, Date, Variant };

    RowBatch() = default;
    explicit RowBatch(QStringList fields) : m_fields(std::move(fields)) {}

    const QStringList &fields() const { return m_fields; }
    qsizetype rowCount() const
    {
        return m_fields.isEmpty() ? 0 : qsizetype(m_kinds.size()) / m_fields.size();
    }
    bool isEmpty() const { return m_kinds.empty(); }
    // Drops the rows and keeps the fields and the memory, for the next run.
    void clear()
    {
        m_kinds.clear();
        m_values.clear();
        m_texts.clear();
        m_variants.clear();
    }
    void reserve(qsizetype rows)
    {
        m_kinds.reserve(size_t(rows * m_fields.size()));
        m_values.reserve(size_t(rows * m_fields.size()));
    }

    // The next value of the row being filled.
    void addNull() { push(Kind::Null, 0); }
    void add(qint32 v) { push(Kind::Int, v); }
    void add(bool v) { push(Kind::Bool, v ? 1 : 0); }
    void add(const QString &v)
    {
        push(Kind::Text, qint64(m_texts.size()));
        m_texts.push_back(v);
    }
    void add(QDate v) { push(Kind::Date, v.toJulianDay()); }
    void add(const char *) = delete; // would be taken as a bool
    void add(const QVariant &v)
    {
        switch (v.isNull() ? QMetaType::UnknownType : v.typeId()) {
        case QMetaType::UnknownType: addNull(); break;
        case QMetaType::Int: add(*static_cast<const int *>(v.constData())); break;
        case QMetaType::Bool: add(*static_cast<const bool *>(v.constData())); break;
        case QMetaType::QString: add(*static_cast<const QString *>(v.constData())); break;
        case QMetaType::QDate: add(*static_cast<const QDate *>(v.constData())); break;
        default:
            push(Kind::Variant, qint64(m_variants.size()));
            m_variants.push_back(v);
            break;
        }
    }

    // Reading, by row and by the field's place in fields().
    Kind kind(qsizetype row, qsizetype field) const { return m_kinds[at(row, field)]; }
    qint32 intAt(qsizetype row, qsizetype field) const { return qint32(m_values[at(row, field)]); }
    bool boolAt(qsizetype row, qsizetype field) const { return m_values[at(row, field)] != 0; }
    const QString &textAt(qsizetype row, qsizetype field) const
    {
        return m_texts[size_t(m_values[at(row, field)])];
    }
    QDate dateAt(qsizetype row, qsizetype field) const { return QDate::fromJulianDay(m_values[at(row, field)]); }
    // Any value as the variant it was given as.
    QVariant value(qsizetype row, qsizetype field) const
    {
        switch (kind(row, field)) {
        case Kind::Null: return QVariant();
        case Kind::Int: return intAt(row, field);
        case Kind::Bool: return boolAt(row, field);
        case Kind::Text: return textAt(row, field);
        case Kind::Date: return dateAt(row, field);
        case Kind::Variant: return m_variants[size_t(m_values[at(row, field)])];
        }
        return QVariant();
    }

private:
    size_t at(qsizetype row, qsizetype field) const { return size_t(row * m_fields.size() + field); }
    void push(Kind kind, qint64 value)
    {
        m_kinds.push_back(kind);
        m_values.push_back(value);
    }

    QStringList m_fields;
    std::vector<Kind> m_kinds;
    // The number, the day, or the place in m_texts or m_variants.
    std::vector<qint64> m_values;
    std::vector<QString> m_texts;
    std::vector<QVariant> m_variants;
};

// Rows returned by the host. Field names are matched case-insensitively; a
// null field reads as a null QVariant. Writing a field of the current row
// starts an edit that update() stores and cancelUpdate() drops. Recordsets are
// used on the thread that made them. Operations the host cannot carry out
// throw HostError.
class Recordset
{
public:
    virtual ~Recordset() = default;

    virtual bool isOpen() const = 0;
    virtual bool isBof() const = 0;
    virtual bool isEof() const = 0;
    virtual qint32 recordCount() const = 0;

    virtual void moveFirst() = 0;
    virtual void moveLast() = 0;
    virtual void moveNext() = 0;
    virtual void movePrevious() = 0;

    virtual QVariant value(const QString &name) const = 0;
    virtual void setValue(const QString &name, const QVariant &value) = 0;
    virtual QStringList fieldNames() const = 0;

    // addNew() appends an empty row and makes it current; update() writes the
    // pending new row or edit to the table the recordset was opened on.
    virtual void addNew() = 0;
    virtual void update() = 0;
    virtual void cancelUpdate() = 0;
    virtual void deleteCurrent() = 0;
    virtual void close() = 0;

    // Appends rows as addNew(), setValue() of each named field and update()
    // would, in order; hosts override it to store long runs faster. The first
    // row that fails is not stored and its HostError is thrown; the rows
    // before it stay stored, and *stored tells how many those were.
    virtual void addRows(const RowBatch &rows, qsizetype *stored = nullptr)
    {
        if (stored)
            *stored = 0;
        const QStringList &fields = rows.fields();
        for (qsizetype r = 0; r < rows.rowCount(); ++r) {
            addNew();
            try {
                for (qsizetype i = 0; i < fields.size(); ++i)
                    setValue(fields.at(i), rows.value(r, i));
                update();
            } catch (...) {
                cancelUpdate();
                throw;
            }
            if (stored)
                ++*stored;
        }
    }
    // The same for rows of variants; a short row leaves its last fields null.
    void addRows(const QStringList &fields, const QList<QVariantList> &rows, qsizetype *stored = nullptr)
    {
        RowBatch batch(fields);
        batch.reserve(rows.size());
        for (const QVariantList &row : rows)
            for (qsizetype i = 0; i < fields.size(); ++i)
                batch.add(row.value(i));
        addRows(batch, stored);
    }
};

} // namespace tovradocs
