#include "pdfcheck.h"
#include "support/testhost.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "printing/clsmultipgpreview.h"
#include "printing/clsprintdialog.h"
#include "printing/frmmultipgpreview.h"
#include "printing/frmprintersetup.h"
#include "printing/previewer.h"
#include "printing/systemprinter.h"

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
    void namesAndDescriptionsOnlyThroughPreview();
    void copiesAndPageRanges();
    void badInputAndCancelling();
    void setupWindowRules();
    void printDialogWrapper();
    void gridReport();
    void cupsQueue();

private:
    QString picture(const QString &name, QSize size, QColor colour);
    PageTable table(const QStringList &files);
    QString pdf(const QString &name) const { return m_temp.filePath(name + QStringLiteral(".pdf")); }

    QTemporaryDir m_temp;
    std::shared_ptr<ReferenceHost> m_host;
    ScriptedResponder m_responder;
    int m_unexpected = 0;
};

void TestImagePrinting::initTestCase()
{
    if (!pdfcheck::toolsPresent())
        QSKIP("poppler-utils (pdfinfo, pdftoppm, pdftotext) are not installed");
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_temp.isValid());
    qputenv("TMPDIR", m_temp.filePath(QStringLiteral("tmp")).toLocal8Bit());
    QDir().mkpath(m_temp.filePath(QStringLiteral("tmp")));
    m_host = openTestHost(m_temp.filePath(QStringLiteral("host")), true);
    QVERIFY(m_host);
    setHostLink(m_host, nullptr);
    DialogService::setResponder(&m_responder);
}

void TestImagePrinting::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TovraDocs"), QStringLiteral("TovraDocs")).clear();
    SystemPrinter::reset();
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
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
    m_responder.pushModal(setupScript(choice));
    const QString out = pdf(QStringLiteral("layout%1%2").arg(layout).arg(landscape));
    m_responder.pushText(out);
    Previewer().ShowPrintPreview(table(files), 0, 5);
    QCOMPARE(pdfcheck::pages(out), pages);
    const QSizeF size = pdfcheck::pageSize(out);
    QCOMPARE(size.width() > size.height(), landscape);
    QVERIFY(qAbs(std::max(size.width(), size.height()) - 11) < 0.01);
}

void TestImagePrinting::placementInCells_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QList<QRectF>>("expected"); // y of -1: centred for the caption height
    const double th = captionHeight();
    const double ch2 = 11 - 1 - th;
    const double ch4 = (11 - 1 - (2 * th + 1.2)) / 2;
    // 1200 x 900 pixels is 12.5 x 9.375 inches: scaled to the cell width and a whole number of inches high.
    QTest::newRow("one a page, scaled") << 1 << QSize(1200, 900) << QList<QRectF>{{1, 3, 6.5, 5}};
    QTest::newRow("one a page, natural size centred")
        << 1 << QSize(192, 96) << QList<QRectF>{{3.25, 1 + (9 - (1 + th)) / 2, 2, 1}};
    QTest::newRow("two side by side") << 2 << QSize(1200, 900)
                                      << QList<QRectF>{{0.7, 1 + (ch2 - 3) / 2, 3.35, 3},
                                                       {0.7 + 3.75, 1 + (ch2 - 3) / 2, 3.35, 3}};
    QList<QRectF> grid;
    for (int k = 0; k < 4; ++k)
        grid.append({0.7 + (k % 2) * 3.75, 1 + (k / 2) * (ch4 + 0.6) + (ch4 - 3) / 2, 3.35, 3});
    QTest::newRow("two by two") << 4 << QSize(1200, 900) << grid;
}

void TestImagePrinting::placementInCells()
{
    QFETCH(int, layout);
    QFETCH(QSize, pixels);
    QFETCH(QList<QRectF>, expected);
    QStringList files;
    for (int i = 0; i < expected.size(); ++i)
        files << picture(QStringLiteral("cell%1.png").arg(i), pixels, kColours[i]);
    SetupChoice choice;
    choice.layout = layout;
    m_responder.pushModal(setupScript(choice));
    const QString out = pdf(QStringLiteral("placement"));
    m_responder.pushText(out);
    Previewer().ShowPrintPreview(table(files), 0, qint16(files.size()));
    QCOMPARE(pdfcheck::pages(out), 1);
    const QImage page = pdfcheck::render(out, 1, kRenderDpi);
    for (int i = 0; i < expected.size(); ++i) {
        const QRectF found = pdfcheck::inkBox(page, kRenderDpi, [&](QRgb p) { return pdfcheck::near(p, kColours[i]); });
        const QRectF want = expected.at(i);
        const double tolerance = 0.05;
        QVERIFY2(qAbs(found.left() - want.left()) < tolerance && qAbs(found.top() - want.top()) < tolerance
                     && qAbs(found.width() - want.width()) < tolerance
                     && qAbs(found.height() - want.height()) < tolerance,
                 qPrintable(QStringLiteral("picture %1 at %2,%3 %4x%5").arg(i).arg(found.left()).arg(found.top())
                                .arg(found.width()).arg(found.height())));
    }
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
    m_responder.pushModal(setupScript(choice));
    m_responder.pushText(pdf(QStringLiteral("direct")));
    Previewer().ShowPrintPreview(table(files), 0, 2);
    QVERIFY(!pdfcheck::text(pdf(QStringLiteral("direct"))).contains(QStringLiteral("Dr. ")));

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
    m_responder.pushModal(setupScript(choice));
    m_responder.pushText(pdf(QStringLiteral("copies")));
    Previewer().ShowPrintPreview(table(files), 0, 4);
    QCOMPARE(pdfcheck::pages(pdf(QStringLiteral("copies"))), 8);
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
    m_responder.pushModal(setupScript(choice));
    m_responder.pushText(pdf(QStringLiteral("bad")));
    Previewer().ShowPrintPreview(pages, 0, 5);
    QCOMPARE(pdfcheck::pages(pdf(QStringLiteral("bad"))), 1);
    QVERIFY(pdfcheck::text(pdf(QStringLiteral("bad"))).contains(QStringLiteral("broken_scan.jpg")));

    // Nothing selected: the footer alone.
    pages = table({good});
    pages.at(PageTable::SelectedRow, 1) = QStringLiteral("0");
    m_responder.pushModal(setupScript(choice));
    m_responder.pushText(pdf(QStringLiteral("empty")));
    Previewer().ShowPrintPreview(pages, 0, 1);
    QCOMPARE(pdfcheck::pages(pdf(QStringLiteral("empty"))), 1);
    QVERIFY(pdfcheck::text(pdf(QStringLiteral("empty"))).contains(QStringLiteral("Pg. 1")));

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
    // One copy at most by default; orientation untouched when not allowed.
    dialog.AllowOrientation = false;
    m_responder.pushModal([](QDialog *shown) {
        auto *print = qobject_cast<QPrintDialog *>(shown);
        print->printer()->setCopyCount(5);
        print->printer()->setPageOrientation(QPageLayout::Landscape);
        print->printer()->setColorMode(QPrinter::GrayScale);
        return int(QDialog::Accepted);
    });
    QVERIFY(!dialog.ShowPrinter(clsPrintDialog::PrintSetupFlag));
    QVERIFY(dialog.lastFlags() & clsPrintDialog::NoPrintToFileFlag);
    QCOMPARE(SystemPrinter::copies(), 1);
    QCOMPARE(SystemPrinter::orientation(), 1);
    QCOMPARE(SystemPrinter::colorMode(), 1);

    dialog.AllowOrientation = true;
    dialog.setMaxCopies(9);
    m_responder.pushModal([](QDialog *shown) {
        auto *print = qobject_cast<QPrintDialog *>(shown);
        print->printer()->setCopyCount(5);
        print->printer()->setPageOrientation(QPageLayout::Landscape);
        return int(QDialog::Accepted);
    });
    QVERIFY(!dialog.ShowPrinter(clsPrintDialog::PrintSetupFlag));
    QCOMPARE(SystemPrinter::copies(), 5);
    QCOMPARE(SystemPrinter::orientation(), 2);

    m_responder.pushModal([](QDialog *shown) {
        qobject_cast<QPrintDialog *>(shown)->printer()->setCopyCount(2);
        return int(QDialog::Rejected);
    });
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

QTEST_MAIN(TestImagePrinting)
#include "tst_imageprinting.moc"
