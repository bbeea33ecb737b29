#include "library/librarysql.h"

namespace tovradocs::Internal {

namespace librarysql {

QString quoted(const QString &text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace librarysql

namespace LibrarySql {

QString bookList(BookView view, int tab)
{
    QString sql = QStringLiteral("Select Entry_Code , Description from Books ")
                  + QStringLiteral(" Where ( entry_Code > 0 )");
    switch (view) {
    case BookView::Patients:
        sql += QStringLiteral(" AND ( PatientCode > 0 )");
        break;
    case BookView::Books:
        sql += QStringLiteral(" AND ( PatientCode = 0 )");
        break;
    case BookView::Both:
        break;
    }
    if (tab >= 1 && tab < AllBooksTab) {
        const QChar letter(char16_t(tab + 64));
        sql += QStringLiteral(" AND ") + QStringLiteral(" ( Ucase$(") + QStringLiteral("Description")
               + QStringLiteral(") Like '") + letter + QStringLiteral("%' )");
    }
    return sql;
}

QString book(qint32 bookCode)
{
    return QStringLiteral("Select * From Books where (Entry_Code = ") + QString::number(bookCode)
           + QStringLiteral(")");
}

QString patientBook(qint32 patientCode)
{
    return QStringLiteral("Select * From Books where ( Patientcode = ")
           + QString::number(patientCode) + QStringLiteral(" ) ");
}

QString bookPages(qint32 bookCode, bool includeIndexImage)
{
    QString sql = QStringLiteral("Select * From BookContents where (BookCode = ")
                  + QString::number(bookCode) + QStringLiteral(")");
    if (!includeIndexImage)
        sql += QStringLiteral(" AND ( IndexImage = false) ");
    return sql;
}

QString indexPicture(qint32 bookCode)
{
    // True is stored as -1, so ascending order puts the marked row first.
    return QStringLiteral("Select Filename From BookContents where (BookCode = ")
           + QString::number(bookCode) + QStringLiteral(" ) And ( EntryType = ")
           + QString::number(1) + QStringLiteral(" ) Order by IndexImage");
}

QString markedIndexRow(qint32 bookCode)
{
    return QStringLiteral("Select * From BookContents where (BookCode = ")
           + QString::number(bookCode) + QStringLiteral(" ) And ( EntryType = ")
           + QString::number(1) + QStringLiteral(" ) And ( IndexImage = true) ");
}

QString pageRow(qint32 entryCode)
{
    return QStringLiteral("Select * from BookContents where Entry_Code =")
           + QString::number(entryCode);
}

QString entryDetails(qint32 entryCode)
{
    return QStringLiteral("Select * From BookContents where Entry_Code = ")
           + QString::number(entryCode);
}

QString emptyBooks() { return QStringLiteral("Select * From Books where entry_code = -1"); }

QString emptyContentsByEntry()
{
    return QStringLiteral("Select * from BookContents where Entry_Code = -1");
}

QString emptyContentsByBook()
{
    return QStringLiteral("Select * From BookContents where BookCode = -1");
}

QString deleteBook(qint32 bookCode)
{
    return QStringLiteral("Delete From Books where Entry_Code = ") + QString::number(bookCode);
}

QString deleteBookPages(qint32 bookCode)
{
    return QStringLiteral("Delete From BookContents where BookCode = ") + QString::number(bookCode);
}

QString deletePage(qint32 entryCode)
{
    return QStringLiteral("Delete From BookContents where entry_Code = ")
           + QString::number(entryCode);
}

QString clearIndexImage(qint32 bookCode)
{
    return QStringLiteral("Update BookContents Set IndexImage = false where ( BookCode = ")
           + QString::number(bookCode) + QStringLiteral(" )   and ( IndexImage = true) ");
}

QString markIndexImage(qint32 entryCode)
{
    return QStringLiteral("Update BookContents Set IndexImage = True where ( Entry_Code = ")
           + QString::number(entryCode) + QStringLiteral(" ) ");
}

QString rowsEndingIn(const QStringList &names)
{
    QString sql = QStringLiteral("Select Entry_Code , FileName From BookContents where ");
    for (int i = 0; i < names.size(); ++i) {
        if (i > 0)
            sql += QStringLiteral(" OR ");
        sql += QStringLiteral("( Ucase$(FileName) Like ") + librarysql::quoted(u'%' + names.at(i).toUpper())
               + QStringLiteral(" )");
    }
    return sql;
}

QString rowsMentioning(const QString &folder)
{
    return QStringLiteral("Select Entry_Code , FileName From BookContents where ( Ucase$(FileName) Like ")
           + librarysql::quoted(u'%' + folder.toUpper() + u'%') + QStringLiteral(" )");
}

} // namespace LibrarySql

int tabForName(const QString &name)
{
    if (name.isEmpty())
        return AllBooksTab;
    const int tab = int(name.left(1).toUpper().at(0).unicode()) - 64;
    return (tab >= 1 && tab <= AllBooksTab) ? tab : AllBooksTab;
}

} // namespace tovradocs::Internal
