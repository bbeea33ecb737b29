// Arbitrary text through both dialect translations. A translation may rewrite
// words, names and dates, but must never change the text of a string literal,
// never merge two quoted spans into one, never open a comment, and must give
// the same text when run again on its own output.

#include "host/sqldialect.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using tovradocs::Internal::Dialect;
using tovradocs::Internal::SqlDialect;

namespace {

[[noreturn]] void fail(const char *what, const QString &in, const QString &out)
{
    std::fprintf(stderr, "%s\n  in:  %s\n  out: %s\n", what, qUtf8Printable(in),
                 qUtf8Printable(out));
    std::abort();
}

// Comment openers outside quoted spans ('..', "..", [..]).
int commentOpeners(const QString &sql)
{
    int count = 0;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            qsizetype j = i + 1;
            while (j < n) {
                if (sql.at(j) == close) {
                    if (close != u']' && j + 1 < n && sql.at(j + 1) == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            i = j + 1;
            continue;
        }
        if (i + 1 < n
            && ((c == u'-' && sql.at(i + 1) == u'-') || (c == u'/' && sql.at(i + 1) == u'*'))) {
            ++count;
            i += 2;
            continue;
        }
        ++i;
    }
    return count;
}

void check(const QString &in, Dialect dialect)
{
    static const QRegularExpression isoDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QString out = SqlDialect::translate(in, dialect);

    // Every literal of the input, in order; the only new ones are translated dates.
    const QStringList before = SqlDialect::stringLiterals(in);
    const QStringList after = SqlDialect::stringLiterals(out);
    qsizetype b = 0;
    for (const QString &literal : after) {
        if (b < before.size() && literal == before.at(b))
            ++b;
        else if (!isoDate.match(literal).hasMatch())
            fail("a literal changed or appeared", in, out);
    }
    if (b != before.size())
        fail("a literal was lost", in, out);

    if (commentOpeners(out) != commentOpeners(in))
        fail("the translation opened or closed a comment", in, out);

    if (SqlDialect::translate(out, dialect) != out)
        fail("translating the output again changed it", in, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    // The first byte picks how the rest becomes text: UTF-8 as the host
    // sends it, or raw UTF-16 to reach lone surrogates and odd code points.
    QString text;
    if (size > 0 && (data[0] & 1)) {
        text.resize(qsizetype((size - 1) / 2));
        std::memcpy(text.data(), data + 1, size_t(text.size()) * 2); // data need not be aligned
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char *>(size ? data + 1 : data),
                                 qsizetype(size ? size - 1 : 0));
    }
    check(text, Dialect::SQLite);
    check(text, Dialect::PostgreSQL);
    return 0;
}
