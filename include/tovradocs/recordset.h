#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <stdexcept>

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
    virtual void addRows(const QStringList &fields, const QList<QVariantList> &rows,
                         qsizetype *stored = nullptr)
    {
        if (stored)
            *stored = 0;
        for (const QVariantList &row : rows) {
            addNew();
            try {
                for (qsizetype i = 0; i < fields.size(); ++i)
                    setValue(fields.at(i), row.value(i));
                update();
            } catch (...) {
                cancelUpdate();
                throw;
            }
            if (stored)
                ++*stored;
        }
    }
};

} // namespace tovradocs
