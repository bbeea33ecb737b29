#include "host/sqldialect.h"

#include <QTest>

using tovradocs::Internal::Dialect;
using tovradocs::Internal::SqlDialect;

class tst_SqlDialect : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void translate_data();
    void translate();
    void literalsSurvive_data();
    void literalsSurvive();
};

void tst_SqlDialect::translate_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("sqlite");
    QTest::addColumn<QString>("postgres");
    // Most statements read the same in both dialects.
    const auto same = [](const char *tag, const char *sql, const char *out) {
        QTest::newRow(tag) << sql << out << out;
    };

    QTest::newRow("ucase with like")
        << "Select Entry_Code , Description from Books  Where ( entry_Code > 0 ) AND  ( Ucase$(Description) Like 'A%' )"
        << "Select Entry_Code , Description from Books  Where ( entry_Code > 0 ) AND  ( UPPER(Description) Like 'A%' )"
        << "Select Entry_Code , Description from Books  Where ( entry_Code > 0 ) AND  ( UPPER(Description) ILIKE 'A%' )";
    QTest::newRow("not like") << "where a Not Like 'b%'" << "where a Not Like 'b%'" << "where a Not ILIKE 'b%'";
    same("ucase without dollar, space before paren", "select UCase (x) from t", "select UPPER (x) from t");
    same("lcase", "select lcase$(x) from t", "select LOWER(x) from t");
    same("ucase as a column name", "select Ucase from t", "select Ucase from t");
    same("pages without index picture",
         "Select * From BookContents where (BookCode = 7) AND ( IndexImage = false) ",
         "Select * From BookContents where (BookCode = 7) AND ( IndexImage = 0) ");
    same("clear index picture",
         "Update BookContents Set IndexImage = false where ( BookCode = 7 )   and ( IndexImage = true) ",
         "Update BookContents Set IndexImage = 0 where ( BookCode = 7 )   and ( IndexImage = -1) ");
    same("upper-case TRUE, no space", "x =TRUE and y=FALSE", "x =-1 and y=0");
    same("minus true is not a comment", "select -true", "select - -1");
    same("words containing true untouched", "select IsTrueColor, FalseStart, true_x, xtrue from t",
         "select IsTrueColor, FalseStart, true_x, xtrue from t");
    same("qualified column named true", "select t.True from t", "select t.True from t");
    same("literal true untouched", "select * from t where a = 'true' and b = true",
         "select * from t where a = 'true' and b = -1");
    same("escaped quote in literal", "select * from t where d = 'O''Brien true Ucase$(x)' and f = false",
         "select * from t where d = 'O''Brien true Ucase$(x)' and f = 0");
    same("unterminated literal copied", "select 'true", "select 'true");
    same("quoted name untouched", "select \"true\" from t", "select \"true\" from t");
    same("bracketed name", "select [Entry Code] from t", "select \"Entry Code\" from t");
    same("date literals", "where d = #2024-01-31# or d = #2/29/2024#",
         "where d = '2024-01-31' or d = '2024-02-29'");
    same("adjacent quoted spans stay apart", "where a = 'x'#2024-01-31# or [b][c] = 1",
         "where a = 'x' '2024-01-31' or \"b\" \"c\" = 1");
    same("hash that is no date", "select a # b", "select a # b");
    same("empty", "", "");
}

void tst_SqlDialect::translate()
{
    QFETCH(QString, sql);
    QFETCH(QString, sqlite);
    QFETCH(QString, postgres);
    QCOMPARE(SqlDialect::translate(sql, Dialect::SQLite), sqlite);
    QCOMPARE(SqlDialect::translate(sql, Dialect::PostgreSQL), postgres);
}

void tst_SqlDialect::literalsSurvive_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("literals");
    QTest::newRow("plain") << "a = 'x' and b = 'y'" << QStringList{"x", "y"};
    QTest::newRow("doubled quotes") << "a = 'it''s true' or b = ''" << QStringList{"it's true", ""};
    QTest::newRow("quote inside quoted name") << "select \"a'b\" from t where c = 'd'" << QStringList{"d"};
    QTest::newRow("unterminated") << "a = 'false" << QStringList{"false"};
}

void tst_SqlDialect::literalsSurvive()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, literals);
    QCOMPARE(SqlDialect::stringLiterals(sql), literals);
    for (Dialect dialect : {Dialect::SQLite, Dialect::PostgreSQL})
        QCOMPARE(SqlDialect::stringLiterals(SqlDialect::translate(sql, dialect)), literals);
}

QTEST_GUILESS_MAIN(tst_SqlDialect)
#include "tst_sqldialect.moc"
