#pragma once

#include <QString>
#include <QStringList>

namespace tovradocs::Internal {

// Which books the library window lists.
enum class BookView { Patients, Books, Both };

// Tabs of the library window: 1..26 are the letters A..Z, 27 shows every book.
inline constexpr int AllBooksTab = 27;

// The statements the library sends through the host. The hosts we talk to
// match on these texts, blanks included, so they are kept exactly as they
// have always been sent.
namespace LibrarySql {

QString bookList(BookView view, int tab);
QString book(qint32 bookCode);
QString patientBook(qint32 patientCode);
QString bookPages(qint32 bookCode, bool includeIndexImage);
QString indexPicture(qint32 bookCode);
// The book's marked index picture row, every column.
QString markedIndexRow(qint32 bookCode);
QString pageRow(qint32 entryCode);     // what duplicating reads
QString entryDetails(qint32 entryCode); // what the entry editor reads and writes

// Empty, updatable sets that new rows are added to.
QString emptyBooks();
QString emptyContentsByEntry();
QString emptyContentsByBook();

QString deleteBook(qint32 bookCode);
QString deleteBookPages(qint32 bookCode);
QString deletePage(qint32 entryCode);

QString clearIndexImage(qint32 bookCode);
QString markIndexImage(qint32 entryCode);

// Rows whose file name ends in one of names (letter case aside): the rows
// that may still point at files about to move. Names are taken as they are;
// a '%' or '_' in one only widens the match.
QString rowsEndingIn(const QStringList &names);
// Rows whose file name mentions folder (letter case aside).
QString rowsMentioning(const QString &folder);

} // namespace LibrarySql

// The tab that lists a name: its upper-cased first letter, or "All".
int tabForName(const QString &name);

} // namespace tovradocs::Internal
