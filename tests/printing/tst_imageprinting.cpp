#include "component/adjustmentstore.h"
#include "pdfcheck.h"
#include "reportrun.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "host/demopractice.h"
#include "printing/clsmultipgpreview.h"
#include "printing/clsprintdialog.h"
#include "printing/frmmultipgpreview.h"
#include "printing/frmprintersetup.h"
#include "printing/previewer.h"
#include "printing/systemprinter.h"

#include <tovradocs/mediamanager.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

constexpr int kRenderDpi = 50;
const QColor kColours[] = {Qt::red, Qt::green, Qt::blue, QColor(255, 200, 0), Qt::magenta};

struct SetupChoice
{
    int layout = 1;
    bool print = true;
    bool landscape = false;
    QStringList checks;
    QString copies;
    QString printer = SystemPrinter::pdfPrinterName();
};

std::function<int(QDialog *)> setupScript(const SetupChoice &choice)
{
    return [choice](QDialog *dialog) {
        auto *printers = child<QComboBox>(dialog, "cboPrinter");
        printers->setCurrentIndex(printers->findText(choice.printer));
        Q_EMIT printers->activated(printers->currentIndex());
        child<QComboBox>(dialog, "cboPrintTemplates")->setCurrentIndex(choice.layout - 1);
        for (const QString &name : choice.checks)
            child<QCheckBox>(dialog, qPrintable(name))->setChecked(true);
        child<QRadioButton>(dialog, choice.landscape ? "optOrien_1" : "optOrien_0")->click();
        if (!choice.copies.isEmpty())
            child<QLineEdit>(dialog, "txtCopies")->setText(choice.copies);
        child<QPushButton>(dialog, choice.print ? "cmdPrint" : "cmdPreview")->click();
        return dialog->result();
    };
}

int printAllFromPreview(QDialog *dialog)
{
    child<QPushButton>(dialog, "cmd_print")->click();
    child<QPushButton>(dialog, "cmdPrint")->click();
    return dialog->result();
}

// The visit of the demo practice whose every section has rows.
constexpr qint32 kVisit = 1;
constexpr qint32 kPatient = 1;

// Which clinical section each statement reads, in the order sent.
QStringList sectionsRead(const QStringList &sql)
{
    QStringList sections;
    for (const QString &s : sql) {
        for (const char *table : {"PatientsComplaints", "PatientsExaminations", "PatientsTreatments",
                                  "PatientsWorkDone", "PatientsPrescriptions", "teethnames", "PatReports"}) {
            if (s.contains(QLatin1String(table) + QLatin1Char('.')) || s.endsWith(QLatin1String(table))
                || s.contains(QStringLiteral("from %1 ").arg(QLatin1String(table)))) {
                sections << QLatin1String(table);
                break;
            }
        }
    }
    return sections;
}

// The printable area of the PDF printer on Letter paper, in inches.
QRectF letterArea()
{
    SystemPrinter::reset();
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
    return SystemPrinter::printableArea();
}

double captionHeight()
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(12);
    QPrinter &printer = SystemPrinter::printer();
    return QFontMetricsF(font, &printer).height() / printer.logicalDpiY();
}

} // namespace

class TestImagePrinting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void layoutsPagesAndSize_data();
    void layoutsPagesAndSize();
    void placementInCells_data();
    void placementInCells();
    void adjustedPicturePrintsAsShown();
    void namesAndDescriptionsOnlyThroughPreview();
    void copiesAndPageRanges();
    void badInputAndCancelling();
    void setupWindowRules();
    void printDialogWrapper();
    void gridReport();
    void cupsQueue();
    void reportReadsTheSectionsOfItsKind_data();
    void reportReadsTheSectionsOfItsKind();
    void reportSectionsOnThePage();
    void reportOfAVisitWithoutRowsPrintsHeadingsOnly();

private:
    QString picture(const QString &name, QSize size, QColor colour);
    PageTable table(const QStringList &files);
    QString print(const QString &name, const SetupChoice &choice, const PageTable &pages);
    QString report(PtImageReports kind, qint32 visit, const QString &name);
    QString pdf(const QString &name) const { return m_temp.filePath(name + QStringLiteral(".pdf")); }

    QTemporaryDir m_temp;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_recording;
    QString m_chart;
    ScriptedResponder m_responder;
    int m_unexpected = 0;
};

void TestImagePrinting::initTestCase()
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
    setHostLink(m_host, nullptr);
    m_recording = std::make_shared<RecordingDataLink>(m_host);
    m_chart = DemoPractice::chartFile(m_host->GetLibraryFilesFolder(), kVisit);
    QVERIFY(QFile::exists(m_chart));
    registerHostObjects();
    DialogService::setResponder(&m_responder);
}

void TestImagePrinting::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TovraDocs"), QStringLiteral("TovraDocs")).clear();
    SystemPrinter::reset();
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
    m_recording->clear();
    m_responder.clearPrompts();
    m_unexpected = m_responder.unexpected();
}

void TestImagePrinting::cleanup()
{
    QCOMPARE(m_responder.unexpected(), m_unexpected);
}

QString TestImagePrinting::picture(const QString &name, QSize size, QColor colour)
{
    const QString path = m_temp.filePath(name);
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path);
    return path;
}

PageTable TestImagePrinting::table(const QStringList &files)
{
    PageTable pages;
    for (int i = 0; i < files.size(); ++i)
        pages.pages.append({QString::number(i + 1), files.at(i), QStringLiteral("Picture %1").arg(i + 1),
                            QStringLiteral(" 1 "), QStringLiteral("1"), QString()});
    return pages;
}

// Prints every page through the setup window into the named PDF; its path.
QString TestImagePrinting::print(const QString &name, const SetupChoice &choice, const PageTable &pages)
{
    m_responder.pushModal(setupScript(choice));
    m_responder.pushText(pdf(name));
    Previewer().ShowPrintPreview(pages, 0, qint16(pages.count()));
    return pdf(name);
}

// The patient report of a visit, printed straight away into the named PDF; its path.
QString TestImagePrinting::report(PtImageReports kind, qint32 visit, const QString &name)
{
    m_responder.pushModal(setupScript({}));
    m_responder.pushText(pdf(name));
    reportrun::print(m_recording, kind, visit, m_chart);
    return pdf(name);
}

void TestImagePrinting::layoutsPagesAndSize_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<int>("pages");
    const int perPage[] = {1, 2, 2, 4, 4, 4};
    for (int layout = 1; layout <= 6; ++layout) {
        for (bool landscape : {false, true})
            QTest::addRow("layout %d %s", layout, landscape ? "landscape" : "portrait")
                << layout << landscape << (5 + perPage[layout - 1] - 1) / perPage[layout - 1];
    }
}

void TestImagePrinting::layoutsPagesAndSize()
{
    QFETCH(int, layout);
    QFETCH(bool, landscape);
    QFETCH(int, pages);
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files << picture(QStringLiteral("p%1.png").arg(i), {400, 300}, kColours[i]);
    SetupChoice choice;
    choice.layout = layout;
    choice.landscape = landscape;
    const QString out = print(QStringLiteral("layout%1%2").arg(layout).arg(landscape), choice, table(files));
    QCOMPARE(pdfcheck::pages(out), pages);
    const QSizeF size = pdfcheck::pageSize(out);
    QCOMPARE(size.width() > size.height(), landscape);
    QVERIFY(qAbs(std::max(size.width(), size.height()) - 11) < 0.01);
}

void TestImagePrinting::placementInCells_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<int>("perPage");
    // Where each picture lands, in inches from the printable area's corner.
    QTest::addColumn<QList<QRectF>>("expected");
    const QRectF area = letterArea();
    const double W = area.width(), H = area.height();
    const double th = captionHeight();
    // 1200 x 900 pixels is 12.5 x 9.375 inches: scaled to the cell's narrower
    // side and a whole number of inches along the other.
    const QSize photo(1200, 900);
    const auto wholeInches = [](double v) { return std::nearbyint(v); };

    const double h1 = wholeInches((W - 2) * 0.75);
    QTest::newRow("one a page, scaled")
        << 1 << photo << 1 << QList<QRectF>{{1, 1 + (H - 2 - h1) / 2, W - 2, h1}};
    QTest::newRow("one a page, natural size centred")
        << 1 << QSize(192, 96) << 1 << QList<QRectF>{{1 + (W - 2 - 2) / 2, 1 + (H - 2 - (1 + th)) / 2, 2, 1}};
    // Rounded to 24 inches it would run off the page: it fits the cell with room for its caption.
    const double tallRoom = H - 2 - th - 0.1;
    const double tallWidth = 3.125 * tallRoom / 12.5;
    QTest::newRow("one a page, taller than the page")
        << 1 << QSize(300, 1200) << 1 << QList<QRectF>{{1 + (W - 2 - tallWidth) / 2, 1, tallWidth, tallRoom}};

    const double cw2 = (W - 1 - 0.8) / 2;
    const double ch2 = H - 1 - th;
    const double h2 = wholeInches(cw2 * 0.75);
    QTest::newRow("two side by side") << 2 << photo << 2
                                      << QList<QRectF>{{0.7, 1 + (ch2 - h2) / 2, cw2, h2},
                                                       {0.7 + cw2 + 0.4, 1 + (ch2 - h2) / 2, cw2, h2}};

    // The stacked layouts: a cell's height comes from the page, the width from
    // the picture; the last picture starts the next page at the top.
    const double ch3 = (H - 1 - (0.2 * 6 + 2 * th)) / 2;
    const double w3 = wholeInches(ch3 * 4 / 3);
    QList<QRectF> stacked2;
    for (int k = 0; k < 3; ++k)
        stacked2.append({0.7 + (W - 1.4 - w3) / 2, 1 + (k % 2) * (ch3 + 0.6), w3, ch3});
    QTest::newRow("two stacked") << 3 << photo << 2 << stacked2;

    const double cw5 = (W - 1 - 1.6) / 4;
    QList<QRectF> row4;
    const double h5 = wholeInches(cw5 * 0.75);
    for (int k = 0; k < 5; ++k)
        row4.append({0.7 + (k % 4) * (cw5 + 0.4), 1 + (ch2 - h5) / 2, cw5, h5});
    QTest::newRow("four in a row") << 5 << photo << 4 << row4;
    // A panoramic film 25 x 6.25 inches: a whole number of inches high would be none.
    const double panoramaHeight = cw5 * 6.25 / 25;
    QList<QRectF> panoramas;
    for (int k = 0; k < 2; ++k)
        panoramas.append({0.7 + k * (cw5 + 0.4), 1 + (ch2 - th - 0.1 - panoramaHeight) / 2, cw5, panoramaHeight});
    QTest::newRow("four in a row, panoramic films") << 5 << QSize(2400, 600) << 4 << panoramas;

    const double ch6 = (H - 1 - (0.2 * 10 + 4 * th)) / 4;
    const double w6 = wholeInches(ch6 * 4 / 3);
    QList<QRectF> stacked4;
    for (int k = 0; k < 5; ++k)
        stacked4.append({0.7 + (W - 1.4 - w6) / 2, 1 + (k % 4) * (ch6 + 0.6), w6, ch6});
    QTest::newRow("four stacked") << 6 << photo << 4 << stacked4;

    const double ch4 = (H - 1 - (2 * th + 1.2)) / 2;
    QList<QRectF> grid;
    for (int k = 0; k < 4; ++k)
        grid.append({0.7 + (k % 2) * (cw2 + 0.4), 1 + (k / 2) * (ch4 + 0.6) + (ch4 - h2) / 2, cw2, h2});
    QTest::newRow("two by two") << 4 << photo << 4 << grid;
}

void TestImagePrinting::placementInCells()
{
    QFETCH(int, layout);
    QFETCH(QSize, pixels);
    QFETCH(int, perPage);
    QFETCH(QList<QRectF>, expected);
    QStringList files;
    for (int i = 0; i < expected.size(); ++i)
        files << picture(QStringLiteral("cell%1.png").arg(i), pixels, kColours[i]);
    SetupChoice choice;
    choice.layout = layout;
    const QString out = print(QStringLiteral("placement"), choice, table(files));
    QCOMPARE(pdfcheck::pages(out), int(expected.size() + perPage - 1) / perPage);
    const QPointF corner = SystemPrinter::printableArea().topLeft();
    QImage page;
    for (int i = 0; i < expected.size(); ++i) {
        if (i % perPage == 0)
            page = pdfcheck::render(out, i / perPage + 1, kRenderDpi);
        const QRectF found = pdfcheck::inkBox(page, kRenderDpi, [&](QRgb p) { return pdfcheck::near(p, kColours[i]); });
        const QRectF want = expected.at(i).translated(corner);
        const bool close = qAbs(found.left() - want.left()) < 0.05 && qAbs(found.top() - want.top()) < 0.05
                           && qAbs(found.width() - want.width()) < 0.05 && qAbs(found.height() - want.height()) < 0.05;
        QVERIFY2(close, qPrintable(QStringLiteral("picture %1 on page %2 at %3,%4 %5x%6, not %7,%8 %9x%10")
                                       .arg(i).arg(i / perPage + 1).arg(found.left()).arg(found.top())
                                       .arg(found.width()).arg(found.height()).arg(want.left()).arg(want.top())
                                       .arg(want.width()).arg(want.height())));
    }
}

void TestImagePrinting::adjustedPicturePrintsAsShown()
{
    // Inverted and turned upright in the viewer: the page carries the
    // picture as shown, placed by its shown shape; the file stays red.
    const QString file = picture(QStringLiteral("turned.png"), {300, 200}, Qt::red);
    const QByteArray before = fileContents(file);
    PictureState state;
    state.adjust.invert = true;
    state.adjust.quarterTurns = 1;
    QVERIFY(AdjustmentStore::instance()->save(77, file, state).ok());
    SetupChoice choice;
    choice.layout = 1;
    const QString out = print(QStringLiteral("adjusted"), choice, table({file}));
    QVERIFY(AdjustmentStore::instance()->save(77, file, {}).ok());
    const QImage page = pdfcheck::render(out, 1, kRenderDpi);
    const QRectF cyan = pdfcheck::inkBox(page, kRenderDpi, [](QRgb p) { return pdfcheck::near(p, Qt::cyan); });
    const QRectF red = pdfcheck::inkBox(page, kRenderDpi, [](QRgb p) { return pdfcheck::near(p, Qt::red); });
    QVERIFY(!cyan.isEmpty());
    QVERIFY(red.isEmpty());
    QVERIFY2(cyan.height() > cyan.width() * 1.3, qPrintable(QStringLiteral("%1 x %2").arg(cyan.width()).arg(cyan.height())));
    QCOMPARE(fileContents(file), before);
}

void TestImagePrinting::namesAndDescriptionsOnlyThroughPreview()
{
    const QStringList files {picture(QStringLiteral("a.png"), {300, 200}, Qt::red),
                             picture(QStringLiteral("b.png"), {300, 200}, Qt::blue)};
    const QString doctor = m_host->GetSystemSetting(2).toString();
    QVERIFY(!doctor.isEmpty());
    SetupChoice choice;
    choice.layout = 2;
    choice.checks = {QStringLiteral("chkDrNames"), QStringLiteral("chkPrintImageDescription"),
                     QStringLiteral("chkPrintBoundingBox")};

    // Printed straight away the boxes do not reach the composer.
    QVERIFY(!pdfcheck::text(print(QStringLiteral("direct"), choice, table(files))).contains(QStringLiteral("Dr. ")));

    choice.print = false;
    m_responder.pushModal(setupScript(choice));
    m_responder.pushModal(printAllFromPreview);
    m_responder.pushText(pdf(QStringLiteral("named")));
    Previewer().ShowPrintPreview(table(files), 0, 2);
    const QString text = pdfcheck::text(pdf(QStringLiteral("named")));
    QVERIFY2(text.contains(QStringLiteral("Dr. ") + doctor), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Picture 1")) && text.contains(QStringLiteral("Picture 2")));
    QVERIFY(text.contains(QStringLiteral("Printed: ")) && text.contains(QStringLiteral("Pg. 1")));
}

void TestImagePrinting::copiesAndPageRanges()
{
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files << picture(QStringLiteral("r%1.png").arg(i), {300, 200}, kColours[i]);

    SetupChoice choice;
    choice.copies = QStringLiteral("2");
    QCOMPARE(pdfcheck::pages(print(QStringLiteral("copies"), choice, table(files))), 8);
    QCOMPARE(frmPrinterSetUp::savedCopies(), QStringLiteral("2"));
    QCOMPARE(frmPrinterSetUp::savedPrinter(), SystemPrinter::pdfPrinterName());

    // From the preview: pages 2 to 3 as two jobs, then the current page alone.
    choice.copies = QStringLiteral("1");
    choice.print = false;
    m_responder.pushModal(setupScript(choice));
    QStringList labels;
    m_responder.pushModal([&](QDialog *dialog) {
        child<QPushButton>(dialog, "Command1_1")->click();
        child<QPushButton>(dialog, "cmd_print")->click();
        child<QRadioButton>(dialog, "optPrint_2")->setChecked(true);
        child<QLineEdit>(dialog, "txtFrom")->setText(QStringLiteral("2"));
        child<QLineEdit>(dialog, "txtTo")->setText(QStringLiteral("9"));
        child<QPushButton>(dialog, "cmdPrint")->click();
        labels << child<QLabel>(dialog, "Label1")->text() << child<QLineEdit>(dialog, "txtTo")->text();
        child<QPushButton>(dialog, "cmd_print")->click();
        child<QRadioButton>(dialog, "optPrint_1")->setChecked(true);
        child<QPushButton>(dialog, "cmdPrint")->click();
        child<QPushButton>(dialog, "cmd_quit")->click();
        return dialog->result();
    });
    for (const char *name : {"range2", "range3", "range4", "current"})
        m_responder.pushText(pdf(QLatin1String(name)));
    Previewer().ShowPrintPreview(table(files), 0, 4);
    QCOMPARE(labels, (QStringList{QStringLiteral("2\n-- of --\n4"), QStringLiteral("4")}));
    for (const char *name : {"range2", "range3", "range4", "current"})
        QCOMPARE(pdfcheck::pages(pdf(QLatin1String(name))), 1);
    // Page 3 holds the third picture (blue) and nothing else.
    const QImage third = pdfcheck::render(pdf(QStringLiteral("range3")), 1, kRenderDpi);
    QVERIFY(!pdfcheck::inkBox(third, kRenderDpi, [](QRgb p) { return pdfcheck::near(p, Qt::blue); }).isEmpty());
    QVERIFY(pdfcheck::inkBox(third, kRenderDpi, [](QRgb p) { return pdfcheck::near(p, Qt::red); }).isEmpty());
}

void TestImagePrinting::badInputAndCancelling()
{
    const QString broken = m_temp.filePath(QStringLiteral("broken_scan.jpg"));
    QVERIFY(writeFile(broken, QByteArray("\xFF\xD8\xFF\xE0 not really a picture", 28)));
    const QString good = picture(QStringLiteral("good.png"), {300, 200}, Qt::red);
    PageTable pages = table({good, broken, m_temp.filePath(QStringLiteral("missing.png")), good, good});
    pages.at(PageTable::SelectedRow, 4) = QStringLiteral("0");
    pages.at(PageTable::EntryTypeRow, 5) = QStringLiteral("2");
    SetupChoice choice;
    choice.layout = 4;
    const QString bad = print(QStringLiteral("bad"), choice, pages);
    QCOMPARE(pdfcheck::pages(bad), 1);
    QVERIFY(pdfcheck::text(bad).contains(QStringLiteral("broken_scan.jpg")));

    // Nothing selected: the footer alone.
    pages = table({good});
    pages.at(PageTable::SelectedRow, 1) = QStringLiteral("0");
    const QString empty = print(QStringLiteral("empty"), choice, pages);
    QCOMPARE(pdfcheck::pages(empty), 1);
    QVERIFY(pdfcheck::text(empty).contains(QStringLiteral("Pg. 1")));

    // Cancel in the setup window, then in the file question: no job, no file.
    m_responder.clearPrompts();
    m_responder.pushModal([](QDialog *dialog) {
        child<QPushButton>(dialog, "cmdQuit")->click();
        return dialog->result();
    });
    Previewer().ShowPrintPreview(table({good}), 0, 1);
    QCOMPARE(m_responder.prompts().size(), 1);
    QVERIFY(frmPrinterSetUp::cancelled());
    m_responder.pushModal(setupScript(choice));
    m_responder.pushText(std::nullopt);
    Previewer().ShowPrintPreview(table({good}), 0, 1);
    QVERIFY(!QFile::exists(m_temp.filePath(QStringLiteral("Print.pdf"))));
    QVERIFY(clsMultiPgPreview::shared() == nullptr);
}

void TestImagePrinting::setupWindowRules()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TovraDocs"), QStringLiteral("TovraDocs"));
    settings.setValue(QStringLiteral("Options/Printer"), QStringLiteral("Gone Printer"));
    settings.setValue(QStringLiteral("Options/Copies"), QStringLiteral("3"));
    settings.sync();
    clsMultiPgPreview::setShared(std::make_unique<clsMultiPgPreview>());
    {
        frmPrinterSetUp setup;
        auto *printers = child<QComboBox>(&setup, "cboPrinter");
        QCOMPARE(printers->currentText(), SystemPrinter::defaultPrinterName());
        QVERIFY(printers->findText(SystemPrinter::pdfPrinterName()) >= 0);
        QCOMPARE(child<QComboBox>(&setup, "cboPrintTemplates")->currentText(), QStringLiteral("One Image / Page"));
        auto *copies = child<QLineEdit>(&setup, "txtCopies");
        QCOMPARE(copies->text(), QStringLiteral("3"));
        copies->clear();
        QCOMPARE(copies->text(), QStringLiteral("1"));
        copies->selectAll();
        QTest::keyClicks(copies, QStringLiteral("12a"));
        QCOMPARE(copies->text(), QStringLiteral("12"));
        copies->setText(QStringLiteral("2000"));
        QCOMPARE(copies->text(), QStringLiteral("999"));
        QCOMPARE(child<QScrollBar>(&setup, "VScroll")->value(), 999);
        copies->setText(QStringLiteral("0"));
        QCOMPARE(copies->text(), QStringLiteral("1"));

        // Without a printer neither Preview nor Print goes on.
        printers->setCurrentIndex(-1);
        m_responder.pushAnswer(Answer::Ok);
        child<QPushButton>(&setup, "cmdPreview")->click();
        QCOMPARE(messageTexts(m_responder),
                 QStringList{QStringLiteral("Cannot proceed without a  valid printer selection !")});
        QVERIFY(frmPrinterSetUp::cancelled());

        printers->setCurrentIndex(printers->findText(SystemPrinter::pdfPrinterName()));
        Q_EMIT printers->activated(printers->currentIndex());
        QCOMPARE(child<QLineEdit>(&setup, "txtPort")->text(), QStringLiteral("FILE:"));
        child<QRadioButton>(&setup, "optOrien_1")->click();
        child<QRadioButton>(&setup, "optColor_1")->click();
        child<QRadioButton>(&setup, "optDuplex_1")->click();
        child<QRadioButton>(&setup, "optQuality_2")->click();
        child<QPushButton>(&setup, "cmdPreview")->click();
    }
    QVERIFY(!frmPrinterSetUp::cancelled());
    const clsMultiPgPreview &engine = *clsMultiPgPreview::shared();
    QVERIFY(!engine.SendToPrinter());
    QCOMPARE(engine.Orientation(), qint16(2));
    QCOMPARE(engine.ColorMode(), qint16(1));
    QCOMPARE(engine.PrintTemplate, qint16(1));
    QCOMPARE(SystemPrinter::imageDpi(), 600);
    QCOMPARE(SystemPrinter::copies(), 1);
    QCOMPARE(frmPrinterSetUp::savedPrinter(), SystemPrinter::pdfPrinterName());
    clsMultiPgPreview::releaseShared();
}

void TestImagePrinting::printDialogWrapper()
{
    clsPrintDialog dialog;
    // Answers the print dialog with copies, landscape and grey chosen.
    const auto choose = [](int copies, QDialog::DialogCode answer) {
        return [=](QDialog *shown) {
            QPrinter *printer = qobject_cast<QPrintDialog *>(shown)->printer();
            printer->setCopyCount(copies);
            printer->setPageOrientation(QPageLayout::Landscape);
            printer->setColorMode(QPrinter::GrayScale);
            return int(answer);
        };
    };
    // One copy at most by default; orientation untouched when not allowed.
    dialog.AllowOrientation = false;
    m_responder.pushModal(choose(5, QDialog::Accepted));
    QVERIFY(!dialog.ShowPrinter(clsPrintDialog::PrintSetupFlag));
    QVERIFY(dialog.lastFlags() & clsPrintDialog::NoPrintToFileFlag);
    QCOMPARE(SystemPrinter::copies(), 1);
    QCOMPARE(SystemPrinter::orientation(), 1);
    QCOMPARE(SystemPrinter::colorMode(), 1);

    dialog.AllowOrientation = true;
    dialog.setMaxCopies(9);
    m_responder.pushModal(choose(5, QDialog::Accepted));
    QVERIFY(!dialog.ShowPrinter(clsPrintDialog::PrintSetupFlag));
    QCOMPARE(SystemPrinter::copies(), 5);
    QCOMPARE(SystemPrinter::orientation(), 2);

    m_responder.pushModal(choose(2, QDialog::Rejected));
    QVERIFY(dialog.ShowPrinter(0));
    QCOMPARE(SystemPrinter::copies(), 5);
}

void TestImagePrinting::gridReport()
{
    std::unique_ptr<Recordset> patients;
    QVERIFY(m_host->FillRecordSet(patients, QStringLiteral("Select * from Patients order by Entry_Code")));
    QStandardItemModel model(0, 3);
    model.setHorizontalHeaderLabels({QStringLiteral("First name"), QStringLiteral("Surname"), QStringLiteral("Town")});
    model.setHeaderData(0, Qt::Horizontal, QStringLiteral("FirstName"), Qt::UserRole);
    model.setHeaderData(1, Qt::Horizontal, QStringLiteral("LastName"), Qt::UserRole);
    model.setHeaderData(2, Qt::Horizontal, QStringLiteral("ResCity"), Qt::UserRole);
    QTableView grid;
    grid.setModel(&model);
    grid.setColumnWidth(0, 150);
    grid.setColumnWidth(1, 150);
    grid.setColumnHidden(2, true);
    const QString first = patients->value(QStringLiteral("FirstName")).toString();
    const QString city = patients->value(QStringLiteral("ResCity")).toString();

    m_responder.pushModal(setupScript({}));
    m_responder.pushText(pdf(QStringLiteral("grid")));
    Previewer().ShowCrossTabReport(patients.get(), nullptr, &grid);
    const QString text = pdfcheck::text(pdf(QStringLiteral("grid")));
    QVERIFY(text.contains(QStringLiteral("First name")) && text.contains(QStringLiteral("Surname")));
    QVERIFY(text.contains(first));
    QVERIFY(!text.contains(QStringLiteral("Town")) && !text.contains(city));
}

void TestImagePrinting::cupsQueue()
{
    if (geteuid() != 0)
        QSKIP("a CUPS scheduler with a test queue needs root");
    if (QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")}).isEmpty()
        || !QFile::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf")))
        QSKIP("cups and printer-driver-cups-pdf are not installed");
    const auto schedulerRunning = [] {
        return pdfcheck::run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).startsWith(QLatin1String("scheduler is running"));
    };
    const bool ownScheduler = !schedulerRunning();
    QProcess scheduler;
    if (ownScheduler) {
        scheduler.start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f")});
        QVERIFY(scheduler.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(schedulerRunning(), 10000);
    }
    const QString queue = QStringLiteral("TovraTestPDF");
    const auto removeQueue = [&] { QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue}); };
    QCOMPARE(QProcess::execute(QStringLiteral("lpadmin"),
                               {QStringLiteral("-p"), queue, QStringLiteral("-E"), QStringLiteral("-v"),
                                QStringLiteral("cups-pdf:/"), QStringLiteral("-m"),
                                QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd")}),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(QPrinterInfo::availablePrinterNames().contains(queue), 10000);
    QVERIFY(SystemPrinter::printerNames().contains(queue));
    QCOMPARE(SystemPrinter::printerNames().last(), SystemPrinter::pdfPrinterName());

    const QDir output(QDir::home().filePath(QStringLiteral("PDF")));
    const QStringList before = output.entryList({QStringLiteral("*.pdf")}, QDir::Files);
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files << picture(QStringLiteral("q%1.png").arg(i), {300, 200}, kColours[i]);
    SetupChoice choice;
    choice.layout = 4;
    choice.printer = queue;
    m_responder.pushModal(setupScript(choice));
    Previewer().ShowPrintPreview(table(files), 0, 5);
    QString printed;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const QString &name : output.entryList({QStringLiteral("*.pdf")}, QDir::Files))
                if (!before.contains(name))
                    printed = output.filePath(name);
            return !printed.isEmpty() && pdfcheck::pages(printed) == 2;
        }(),
        30000);
    QFile::remove(printed);

    // The queue goes away between setup and printing: a clear message, no job.
    m_responder.clearPrompts();
    m_responder.pushModal([&](QDialog *dialog) {
        const int result = setupScript(choice)(dialog);
        removeQueue();
        return result;
    });
    m_responder.pushAnswer(Answer::Ok);
    Previewer().ShowPrintPreview(table(files), 0, 5);
    QCOMPARE(messageTexts(m_responder),
             QStringList{QStringLiteral("The printer \"%1\" is not available any more. Nothing was printed.").arg(queue)});
    removeQueue();
    if (ownScheduler) {
        scheduler.terminate();
        scheduler.waitForFinished(5000);
    }
}

void TestImagePrinting::reportReadsTheSectionsOfItsKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("sections");
    const QString c = QStringLiteral("PatientsComplaints"), e = QStringLiteral("PatientsExaminations"),
                  t = QStringLiteral("PatientsTreatments"), w = QStringLiteral("PatientsWorkDone"),
                  p = QStringLiteral("PatientsPrescriptions");
    QTest::newRow("complaints") << 1 << QStringList{c};
    QTest::newRow("condition") << 2 << QStringList{e};
    QTest::newRow("treatment advised") << 4 << QStringList{t};
    QTest::newRow("treatment done") << 24 << QStringList{w, p};
    QTest::newRow("check-up") << 66 << QStringList{e, t};
    QTest::newRow("every section") << 31 << QStringList{c, e, t, w, p};
    QTest::newRow("images only") << 128 << QStringList{};
}

void TestImagePrinting::reportReadsTheSectionsOfItsKind()
{
    QFETCH(int, kind);
    QFETCH(QStringList, sections);
    report(PtImageReports(kind), kVisit, QStringLiteral("bits%1").arg(kind));
    QStringList expected;
    if (kind != 128)
        expected << QStringLiteral("PatReports") << QStringLiteral("teethnames");
    expected += sections;
    // The visit and the patient's pictures come first.
    QCOMPARE(sectionsRead(m_recording->sqlTexts().mid(2)), expected);
}

void TestImagePrinting::reportSectionsOnThePage()
{
    const QString out = report(PtImageReports(31), kVisit, QStringLiteral("full"));
    const QString first = pdfcheck::text(out, 1);
    qint32 patient = kPatient;
    const QString name = m_host->GetNameOfPatient(patient);
    for (const QString &expected : {QStringLiteral("Visit Summary"), name, QStringLiteral("Address"),
                                    QStringLiteral("Harbour Street"), QStringLiteral("Tel."), QStringLiteral("41"), QStringLiteral("555-0110"),
                                    QStringLiteral("Complaints :"), QStringLiteral("Toothache"),
                                    QStringLiteral("Present Condition :"), QStringLiteral("Caries"),
                                    QStringLiteral("36-37"), QStringLiteral("Treatment Advised :"),
                                    QStringLiteral("Composite filling"), QStringLiteral("Crown"),
                                    QStringLiteral("Thank you for visiting.")})
        QVERIFY2(first.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + first));
    // A complaint of the whole mouth has no teeth.
    const QString gums = first.section(QStringLiteral("Bleeding gums"), 1).section(u'\n', 0, 0);
    QVERIFY2(gums.trimmed().isEmpty(), qPrintable(gums));
    const QString second = pdfcheck::text(out, 2);
    for (const QString &expected : {QStringLiteral("Treatment Done :"), QStringLiteral("Composite placed"),
                                    QStringLiteral("Prescriptions Advised :"), QStringLiteral("Amoxicillin"),
                                    // prescribed at the next visit, listed all the same
                                    QStringLiteral("Ibuprofen"), QStringLiteral("1 tablet three times a day")})
        QVERIFY2(second.contains(expected), qPrintable(expected + QStringLiteral(" missing from:\n") + second));
    QVERIFY(second.indexOf(QStringLiteral("Amoxicillin")) < second.indexOf(QStringLiteral("Ibuprofen")));
    // The pictures of the patient follow on pages of their own.
    QVERIFY(pdfcheck::pages(out) >= 3);

    // The chart is drawn in its box below the particulars.
    const QImage page = pdfcheck::render(out, 1, 50);
    const QRectF marked = pdfcheck::inkBox(page, 50, [](QRgb p) { return pdfcheck::near(p, QColor(0xE0, 0x40, 0x40), 40); });
    QVERIFY(!marked.isEmpty());
    QVERIFY(marked.top() > 1.5 && marked.bottom() < 1.5 + 11.0 / 4 + 0.3);

    // Accepted plans only for a check-up.
    const QString checkup = pdfcheck::text(report(pirCheckup, kVisit, QStringLiteral("checkup")), 1);
    QVERIFY(checkup.contains(QStringLiteral("Composite filling")));
    QVERIFY(!checkup.contains(QStringLiteral("Crown")));
    QVERIFY(!checkup.contains(QStringLiteral("Complaints :")));
}

void TestImagePrinting::reportOfAVisitWithoutRowsPrintsHeadingsOnly()
{
    // The patient's second visit has no complaints.
    const QString text = pdfcheck::text(report(pirComplaints, kVisit + 1, QStringLiteral("norows")), 1);
    QVERIFY(text.contains(QStringLiteral("Visit Summary")));
    QVERIFY(text.contains(QStringLiteral("Thank you for visiting.")));
    QVERIFY(!text.contains(QStringLiteral("Complaints :")));
}

QTEST_MAIN(TestImagePrinting)
#include "tst_imageprinting.moc"
