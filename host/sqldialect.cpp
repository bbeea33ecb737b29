#include "sqldialect.h"

#include <QDate>
#include <QRegularExpression>

namespace tovradocs::Internal {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

struct QuotedSpan
{
    qsizetype end; // just past the closing quote, or the end of the text
    bool closed;
};

// The literal or quoted name that opens at from. A doubled closing quote is
// an escape (not inside brackets).
QuotedSpan skipQuoted(const QString &sql, qsizetype from, QChar close)
{
    qsizetype i = from + 1;
    while (i < sql.size()) {
        if (sql.at(i) == close) {
            if (close != u']' && i + 1 < sql.size() && sql.at(i + 1) == close) {
                i += 2;
                continue;
            }
            return {i + 1, true};
        }
        ++i;
    }
    return {sql.size(), false};
}

bool nextNonSpaceIsParen(const QString &sql, qsizetype from)
{
    while (from < sql.size() && sql.at(from).isSpace())
        ++from;
    return from < sql.size() && sql.at(from) == u'(';
}

// #2024-01-31# or #1/31/2024# (month first, as the date literals of the
// original SQL dialect are written).
QString dateLiteral(const QString &inner)
{
    static const QRegularExpression iso(QStringLiteral("^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})\\s*$"));
    static const QRegularExpression us(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    QDate date;
    if (const auto m = iso.match(inner); m.hasMatch())
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    else if (const auto m = us.match(inner); m.hasMatch())
        date = QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    if (!date.isValid())
        return QString();
    return u'\'' + date.toString(Qt::ISODate) + u'\'';
}

// A quoted span written right after one with the same quote would merge with
// it ('a''b' is one literal), so the two are kept apart by a blank.
void appendQuoted(QString &out, QStringView quoted)
{
    if (!out.isEmpty() && !quoted.isEmpty() && out.back() == quoted.front())
        out += u' ';
    out += quoted;
}

} // namespace

QString SqlDialect::translate(const QString &sql, Dialect dialect)
{
    QString out;
    out.reserve(sql.size() + 16);
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"') {
            const qsizetype end = skipQuoted(sql, i, c).end;
            appendQuoted(out, QStringView(sql).mid(i, end - i));
            i = end;
            continue;
        }
        if (c == u'[') {
            const auto [end, closed] = skipQuoted(sql, i, u']');
            const QStringView name = QStringView(sql).mid(i + 1, end - i - 2);
            if (closed && !name.isEmpty() && !name.contains(u'"')) {
                appendQuoted(out, QString(u'"' + name + u'"'));
            } else {
                out += QStringView(sql).mid(i, end - i);
            }
            i = end;
            continue;
        }
        if (c == u'#') {
            const qsizetype close = sql.indexOf(u'#', i + 1);
            if (close > i) {
                const QString literal = dateLiteral(sql.mid(i + 1, close - i - 1));
                if (!literal.isEmpty()) {
                    appendQuoted(out, literal);
                    i = close + 1;
                    continue;
                }
            }
            out += c;
            ++i;
            continue;
        }
        if (isWordChar(c)) {
            qsizetype end = i;
            while (end < n && isWordChar(sql.at(end)))
                ++end;
            const QStringView word = QStringView(sql).mid(i, end - i);
            // A qualified name (Table.True) is a column, not a constant.
            const bool qualified = i > 0 && sql.at(i - 1) == u'.';
            if (!qualified && (word.compare(u"true", Qt::CaseInsensitive) == 0
                               || word.compare(u"false", Qt::CaseInsensitive) == 0)) {
                const bool isTrue = word.size() == 4;
                // "-true" must not turn into the comment "--1".
                if (isTrue && !out.isEmpty() && out.back() == u'-')
                    out += u' ';
                out += isTrue ? u"-1" : u"0";
            } else if (!qualified && nextNonSpaceIsParen(sql, end)
                       && (word.compare(u"Ucase$", Qt::CaseInsensitive) == 0
                           || word.compare(u"Ucase", Qt::CaseInsensitive) == 0)) {
                out += u"UPPER";
            } else if (!qualified && nextNonSpaceIsParen(sql, end)
                       && (word.compare(u"Lcase$", Qt::CaseInsensitive) == 0
                           || word.compare(u"Lcase", Qt::CaseInsensitive) == 0)) {
                out += u"LOWER";
            } else if (dialect == Dialect::PostgreSQL && !qualified
                       && word.compare(u"like", Qt::CaseInsensitive) == 0) {
                out += u"ILIKE";
            } else {
                out += word;
            }
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

QStringList SqlDialect::stringLiterals(const QString &sql)
{
    QStringList literals;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c == u'"' || c == u'[') {
            i = skipQuoted(sql, i, c == u'[' ? u']' : c).end;
            continue;
        }
        if (c != u'\'') {
            ++i;
            continue;
        }
        const auto [end, closed] = skipQuoted(sql, i, u'\'');
        QString inner = sql.mid(i + 1, end - i - 1 - (closed ? 1 : 0));
        inner.replace(QStringLiteral("''"), QStringLiteral("'"));
        literals.append(inner);
        i = end;
    }
    return literals;
}

} // namespace tovradocs::Internal
