#include "longvisit.h"
#include "pdfcheck.h"
#include "reportrun.h"
#include "support/testhost.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "host/demopractice.h"
#include "printing/systemprinter.h"

#include <tovradocs/hostobjects.h>
#include <tovradocs/mediamanager.h>

#include <QComboBox>
#include <QDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;
using pdfcheck::Word;

// The visit report as it comes out of the PDF printer, read back word by word
// and pixel by pixel.

namespace {

constexpr int kDpi = 72;
constexpr double kMillimetre = 1 / 25.4;
// Where the row texts and the second column stand, from the printable area's left edge.
constexpr double kTextX = 1;
constexpr double kSecondX = 4.5;

struct Section
{
    QString title;
    QList<longvisit::Row> rows;
};

QString toothText(const longvisit::Row &row)
{
    static std::unique_ptr<ToothNotation> notation = hostObjectFactories().toothNotation();
    return row.toothFrom ? notation->ToothName(row.toothFrom * 100 + row.toothTo) : QString();
}

QStringList split(const QString &text) { return text.split(u' ', Qt::SkipEmptyParts); }

QString describe(const QList<Word> &words)
{
    QStringList parts;
    for (const Word &w : words)
        parts << QStringLiteral("%1@p%2(%3,%4)").arg(w.text).arg(w.page).arg(w.box.left(), 0, 'f', 2).arg(w.box.top(), 0, 'f', 2);
    return parts.join(u' ');
}

} // namespace

class TestVisitReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void longVisitContinuesOnNewPages_data();
    void longVisitContinuesOnNewPages();
    void laterSectionsAlone_data();
    void laterSectionsAlone();
    void checkupWithPicturesHasNoTrailingPage();
    void chartBoxBelowTheParticulars();
    void footerInsidePrintableArea();

private:
    QString report(PtImageReports kind, qint32 visit, const QString &name, int layout = 1);
    QRectF area() const;
    void checkSheets(const QString &pdf, const QList<Word> &words);
    // The words of the row numbered number whose texts are first and second,
    // checked to stand whole in their columns inside the printable area; the
    // row's first word.
    Word checkRow(const QList<Word> &words, int number, const QString &first, const QString &second);

    QTemporaryDir m_temp;
    std::shared_ptr<ReferenceHost> m_host;
    QString m_chart;
    ScriptedResponder m_responder;
    int m_unexpected = 0;
};

void TestVisitReport::initTestCase()
{
    if (!pdfcheck::toolsPresent())
        QSKIP("poppler-utils (pdfinfo, pdftoppm, pdftotext) are not installed");
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_temp.isValid());
    // The printer setup remembers copies and printer in the user's settings;
    // printing tests run side by side must not share that file.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_temp.filePath(QStringLiteral("settings")));
    reportrun::keepTemporaryFilesIn(m_temp);
    m_host = openTestHost(m_temp.filePath(QStringLiteral("host")), true);
    QVERIFY(m_host);
    longvisit::add(*m_host);
    QCOMPARE(scalar(*m_host, QStringLiteral("Select count(*) from PatientsComplaints where VisitCode = %1")
                                 .arg(longvisit::kVisit)),
             longvisit::complaints().size());
    m_chart = DemoPractice::chartFile(m_host->GetLibraryFilesFolder(), 1);
    registerHostObjects();
    DialogService::setResponder(&m_responder);
}

void TestVisitReport::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TovraDocs"), QStringLiteral("TovraDocs")).clear();
    SystemPrinter::reset();
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
    m_responder.clearPrompts();
    m_unexpected = m_responder.unexpected();
}

void TestVisitReport::cleanup() { QCOMPARE(m_responder.unexpected(), m_unexpected); }

// The report and the patient's pictures, printed straight to the named PDF; its path.
QString TestVisitReport::report(PtImageReports kind, qint32 visit, const QString &name, int layout)
{
    const QString pdf = m_temp.filePath(name + QStringLiteral(".pdf"));
    m_responder.pushModal([layout](QDialog *dialog) {
        auto *printers = child<QComboBox>(dialog, "cboPrinter");
        printers->setCurrentIndex(printers->findText(SystemPrinter::pdfPrinterName()));
        Q_EMIT printers->activated(printers->currentIndex());
        child<QComboBox>(dialog, "cboPrintTemplates")->setCurrentIndex(layout - 1);
        child<QPushButton>(dialog, "cmdPrint")->click();
        return dialog->result();
    });
    m_responder.pushText(pdf);
    reportrun::print(m_host, kind, visit, m_chart);
    return pdf;
}

// The printable area of the PDF printer, in inches on the sheet.
QRectF TestVisitReport::area() const
{
    return SystemPrinter::printableArea();
}

// Every page: all ink and every word inside the printable area, no two words
// on top of each other, and something above the footer.
void TestVisitReport::checkSheets(const QString &pdf, const QList<Word> &words)
{
    const QRectF inside = area();
    const int pages = pdfcheck::pages(pdf);
    QVERIFY(pages > 0);
    const double pixel = 1.5 / kDpi;
    for (int page = 1; page <= pages; ++page) {
        const QImage sheet = pdfcheck::render(pdf, page, kDpi);
        // The footer takes the last 0.4 inch; a page with nothing above it is empty.
        const QImage body = sheet.copy(0, 0, sheet.width(), int((inside.bottom() - 0.4) * kDpi));
        QVERIFY2(!pdfcheck::inkBox(body, kDpi, pdfcheck::ink).isEmpty(),
                 qPrintable(QStringLiteral("page %1 of %2 holds only the footer").arg(page).arg(pages)));
        const QRectF ink = pdfcheck::inkBox(sheet, kDpi, pdfcheck::ink);
        QVERIFY2(inside.adjusted(-pixel, -pixel, pixel, pixel).contains(ink),
                 qPrintable(QStringLiteral("page %1: ink %2,%3 to %4,%5 outside %6,%7 to %8,%9")
                                .arg(page).arg(ink.left()).arg(ink.top()).arg(ink.right()).arg(ink.bottom())
                                .arg(inside.left()).arg(inside.top()).arg(inside.right()).arg(inside.bottom())));
    }
    for (int i = 0; i < words.size(); ++i) {
        const Word &w = words.at(i);
        QVERIFY2(inside.contains(w.box), qPrintable(describe({w}) + QStringLiteral(" outside the printable area")));
        for (int j = i + 1; j < words.size(); ++j) {
            const Word &v = words.at(j);
            if (v.page != w.page)
                continue;
            // Neighbouring lines may touch; ink on ink goes deeper.
            const QRectF overlap = w.box.adjusted(0.01, 0.03, -0.01, -0.03) & v.box.adjusted(0.01, 0.03, -0.01, -0.03);
            QVERIFY2(overlap.isEmpty(), qPrintable(describe({w, v}) + QStringLiteral(" overlap")));
        }
    }
}

Word TestVisitReport::checkRow(const QList<Word> &words, int number, const QString &first, const QString &second)
{
    const QRectF inside = area();
    const QStringList firstWords = split(first);
    const QStringList lead = QStringList{QString::number(number)} + firstWords.mid(0, 2);
    const QList<QList<Word>> places = pdfcheck::findLines(words, lead);
    if (places.size() != 1) {
        qWarning("row %d %s found %d times", number, qPrintable(first), int(places.size()));
        return {};
    }
    const Word start = places.first().at(1);
    // The words of a column from the row's first line down, in reading order.
    const auto column = [&](double left, double right, qsizetype count) {
        QList<Word> in;
        for (const Word &w : words) {
            if (w.page != start.page || w.box.top() < start.box.top() - 0.04)
                continue;
            const double x = w.box.left() - inside.left();
            if (x >= left - 0.02 && x < right - 0.02)
                in.append(w);
        }
        std::sort(in.begin(), in.end(), [](const Word &a, const Word &b) {
            return pdfcheck::sameLine(a, b) ? a.box.left() < b.box.left() : a.box.top() < b.box.top();
        });
        QStringList texts;
        for (const Word &w : in.mid(0, count))
            texts << w.text;
        return texts.join(u' ');
    };
    if (column(kTextX, kSecondX, firstWords.size()) != firstWords.join(u' ')) {
        qWarning("row %d: %s instead of %s", number, qPrintable(column(kTextX, kSecondX, firstWords.size())),
                 qPrintable(first));
        return {};
    }
    if (!second.isEmpty()) {
        const QStringList secondWords = split(second);
        const QString found = column(kSecondX, inside.width(), secondWords.size());
        if (found != secondWords.join(u' ')) {
            qWarning("row %d: %s instead of %s", number, qPrintable(found), qPrintable(second));
            return {};
        }
    }
    return places.first().first();
}

void TestVisitReport::longVisitContinuesOnNewPages_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("every section") << 31;
    // Without the first three the later sections follow the chart.
    QTest::newRow("treatment done and prescriptions") << 24;
}

void TestVisitReport::longVisitContinuesOnNewPages()
{
    QFETCH(int, kind);
    const QString pdf = report(PtImageReports(kind), longvisit::kVisit, QStringLiteral("long%1").arg(kind));
    const QList<Word> words = pdfcheck::words(pdf);
    checkSheets(pdf, words);
    if (QTest::currentTestFailed())
        return;

    const QList<QPair<int, Section>> sections {
        {1, {QStringLiteral("Complaints :"), longvisit::complaints()}},
        {2, {QStringLiteral("Present Condition :"), longvisit::findings()}},
        {4, {QStringLiteral("Treatment Advised :"), longvisit::treatmentsAdvised()}},
        {8, {QStringLiteral("Treatment Done :"), longvisit::workDone()}}};
    int continued = 0;
    int lastPage = 0;
    const auto checkSection = [&](const QString &title, const QList<QPair<QString, QString>> &rows) {
        QSet<int> pages;
        for (int i = 0; i < rows.size(); ++i) {
            const Word row = checkRow(words, i + 1, rows.at(i).first, rows.at(i).second);
            QVERIFY2(row.page > 0, qPrintable(title + rows.at(i).first));
            // Sections follow one another down the pages.
            QVERIFY(row.page >= lastPage);
            lastPage = row.page;
            pages.insert(row.page);
        }
        // The title stands on each page of the section, continued after the first.
        const QStringList titleWords = split(title);
        const int firstPage = *std::min_element(pages.begin(), pages.end());
        for (const int page : pages) {
            const QStringList phrase = page == firstPage ? titleWords : titleWords + QStringList{QStringLiteral("(continued)")};
            int found = 0;
            for (const QList<Word> &line : pdfcheck::findLines(words, phrase))
                found += line.first().page == page;
            QVERIFY2(found == 1, qPrintable(QStringLiteral("%1 on page %2").arg(phrase.join(u' ')).arg(page)));
            continued += page != firstPage;
        }
    };
    for (const auto &[bit, section] : sections) {
        if (!(kind & bit))
            continue;
        QList<QPair<QString, QString>> rows;
        for (const longvisit::Row &row : section.rows)
            rows.append({row.text, toothText(row)});
        checkSection(section.title, rows);
        if (QTest::currentTestFailed())
            return;
    }
    QList<QPair<QString, QString>> prescriptions;
    for (const longvisit::Prescription &p : longvisit::prescriptions())
        prescriptions.append({p.medicine, p.dosage});
    checkSection(QStringLiteral("Prescriptions Advised :"), prescriptions);
    QVERIFY2(continued >= 1, "a section continues on the next page");

    // The closing text once; the patient's four pictures after the report,
    // one a page, and nothing after them.
    const QList<QList<Word>> thanks = pdfcheck::findLines(words, split(QStringLiteral("Thank you for visiting.")));
    QCOMPARE(thanks.size(), 1);
    QCOMPARE(pdfcheck::pages(pdf), lastPage + 4);
}

void TestVisitReport::laterSectionsAlone_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("prescriptions") << 16;
    QTest::newRow("treatment done and prescriptions") << 24;
}

void TestVisitReport::laterSectionsAlone()
{
    QFETCH(int, kind);
    const QString pdf = report(PtImageReports(kind), 1, QStringLiteral("later%1").arg(kind));
    const QList<Word> words = pdfcheck::words(pdf);
    checkSheets(pdf, words);
    if (QTest::currentTestFailed())
        return;
    const Word amoxicillin = checkRow(words, 1, QStringLiteral("Amoxicillin"), QStringLiteral("1 capsule every 8 hours"));
    const Word ibuprofen = checkRow(words, 2, QStringLiteral("Ibuprofen"), QStringLiteral("1 tablet three times a day"));
    QVERIFY(amoxicillin.page > 0 && ibuprofen.page > 0);
    if (kind & 8)
        QVERIFY(checkRow(words, 1, QStringLiteral("Composite placed"), QStringLiteral("36")).page > 0);
    // Above the closing text of the page, not over or under it.
    const QList<QList<Word>> thanks = pdfcheck::findLines(words, split(QStringLiteral("Thank you for visiting.")));
    QCOMPARE(thanks.size(), 1);
    if (thanks.first().first().page == ibuprofen.page)
        QVERIFY(ibuprofen.box.bottom() < thanks.first().first().box.top());
}

void TestVisitReport::checkupWithPicturesHasNoTrailingPage()
{
    // Two sections of the first visit, then the patient's two pictures.
    for (const int layout : {1, 2}) {
        const QString pdf = report(pirCheckup, 1, QStringLiteral("checkup%1").arg(layout), layout);
        const QList<Word> words = pdfcheck::words(pdf);
        checkSheets(pdf, words);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(pdfcheck::pages(pdf), layout == 1 ? 3 : 2);
        for (const char *title : {"Present Condition :", "Treatment Advised :"}) {
            const QList<QList<Word>> found = pdfcheck::findLines(words, split(QLatin1String(title)));
            QVERIFY(found.size() == 1 && found.first().first().page == 1);
        }
    }
    // Pictures only: no blank page ahead of them.
    QString pdf = report(pirImages, 1, QStringLiteral("images"));
    checkSheets(pdf, pdfcheck::words(pdf));
    QCOMPARE(pdfcheck::pages(pdf), 2);
    // A patient without pictures: the report alone, with the footer on its page.
    pdf = report(pirComplaints, 21, QStringLiteral("nopictures"));
    checkSheets(pdf, pdfcheck::words(pdf));
    QCOMPARE(pdfcheck::pages(pdf), 1);
    QVERIFY(pdfcheck::text(pdf).contains(QStringLiteral("Pg. 1")));
}

void TestVisitReport::chartBoxBelowTheParticulars()
{
    const QString pdf = report(pirComplaints, 1, QStringLiteral("chart"));
    const QList<Word> words = pdfcheck::words(pdf);
    checkSheets(pdf, words);
    if (QTest::currentTestFailed())
        return;
    const QList<QList<Word>> tel = pdfcheck::findLines(words, {QStringLiteral("Tel.")});
    QCOMPARE(tel.size(), 1);
    double lastLine = 0;
    for (const Word &w : words)
        if (pdfcheck::sameLine(w, tel.first().first()))
            lastLine = std::max(lastLine, w.box.bottom());

    // The chart box's top edge: the first line across the page below the title.
    const QRectF inside = area();
    const int dpi = 200;
    const QImage sheet = pdfcheck::render(pdf, 1, dpi);
    const int x0 = int((inside.left() + 1.2) * dpi), x1 = int((inside.right() - 1.2) * dpi);
    double boxTop = -1;
    for (int y = int((inside.top() + 0.7) * dpi); y < sheet.height() && boxTop < 0; ++y) {
        int inked = 0;
        for (int x = x0; x < x1; ++x)
            inked += pdfcheck::ink(sheet.pixel(x, y));
        if (inked > (x1 - x0) * 9 / 10)
            boxTop = double(y) / dpi;
    }
    QVERIFY(boxTop > 0);
    QVERIFY2(boxTop >= lastLine, qPrintable(QStringLiteral("box at %1, last line ends at %2").arg(boxTop).arg(lastLine)));
    // The chart inside its box.
    const QRectF chart = pdfcheck::inkBox(sheet, dpi, [](QRgb p) { return pdfcheck::near(p, QColor(0xE0, 0x40, 0x40), 40); });
    QVERIFY(!chart.isEmpty() && chart.top() > boxTop);
    QVERIFY(checkRow(words, 1, QStringLiteral("Toothache"), QStringLiteral("36")).box.top() > chart.bottom());
}

void TestVisitReport::footerInsidePrintableArea()
{
    const QString pdf = report(pirComplaints, 1, QStringLiteral("footer"));
    const QList<Word> words = pdfcheck::words(pdf);
    const QSizeF sheet = pdfcheck::pageSize(pdf);
    const QRectF inside = area();
    QVERIFY2(inside.left() >= 5 * kMillimetre - 0.001 && inside.top() >= 5 * kMillimetre - 0.001
                 && sheet.width() - inside.right() >= 5 * kMillimetre - 0.001
                 && sheet.height() - inside.bottom() >= 5 * kMillimetre - 0.001,
             qPrintable(QStringLiteral("printable area %1,%2 to %3,%4").arg(inside.left()).arg(inside.top())
                            .arg(inside.right()).arg(inside.bottom())));
    // checkSheets holds every mark inside it: the rule under the text too.
    checkSheets(pdf, words);
    const int pages = pdfcheck::pages(pdf);
    const QList<QList<Word>> printed = pdfcheck::findLines(words, {QStringLiteral("Printed:")});
    const QList<QList<Word>> number = pdfcheck::findLines(words, {QStringLiteral("Pg."), QString::number(pages)});
    QVERIFY(printed.size() == 1 && number.size() == 1);
    QCOMPARE(printed.first().first().page, pages);
    QVERIFY(printed.first().first().box.bottom() <= inside.bottom());
    QVERIFY(number.first().last().box.right() <= inside.right());
}

QTEST_MAIN(TestVisitReport)
#include "tst_visitreport.moc"
