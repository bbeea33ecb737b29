#include "pdfcheck.h"

#include "component/dialogservice.h"
#include "printing/clsmultipgpreview.h"
#include "printing/frmmultipgpreview.h"
#include "printing/systemprinter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;

namespace {

constexpr double kDpi = 96.0;

QImage page(int index) { return QImage(clsMultiPgPreview::pageFile(index)); }

// The canvas page being composed, saved by starting the next one.
QImage flush(clsMultiPgPreview &e)
{
    const int index = e.GetPage().toInt() - 1;
    e.pNewPage();
    return page(index);
}

QRectF ink(const QImage &image) { return pdfcheck::inkBox(image, kDpi, pdfcheck::dark); }

} // namespace

class TestMultiPgPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void textHelpers_data();
    void textHelpers();
    void newEngineResetsPrinter();
    void previewPagesAndWindow();
    void pictureBoxAndLineGeometry();
    void wrappingBetweenMarginsWithPageBreaks();
    void hangingIndentAndCut();
    void centringAndRightJustification();
    void headerFooterAndPrintedDate();

private:
    QTemporaryDir m_temp;
    ScriptedResponder m_responder;
    std::unique_ptr<clsMultiPgPreview> m_engine;
};

void TestMultiPgPreview::initTestCase()
{
    QVERIFY(m_temp.isValid());
    qputenv("TMPDIR", m_temp.path().toLocal8Bit());
    QCOMPARE(clsMultiPgPreview::pageFolder(), m_temp.path());
    DialogService::setResponder(&m_responder);
}

void TestMultiPgPreview::init()
{
    SystemPrinter::reset();
    QVERIFY(SystemPrinter::select(SystemPrinter::pdfPrinterName()));
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
    m_engine = std::make_unique<clsMultiPgPreview>();
    m_engine->setSendToPrinter(false);
    m_engine->pStartDoc();
    m_engine->setFontName(QStringLiteral("Times New Roman"));
    m_engine->setFontSize(12);
}

void TestMultiPgPreview::cleanup()
{
    m_engine.reset();
    m_responder.clearPrompts();
}

void TestMultiPgPreview::textHelpers_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CR LF pairs") << "breaks" << "a\r\nb\r\nc" << "a b c";
    QTest::newRow("leading LF dropped") << "breaks" << "\nab" << "ab";
    QTest::newRow("lone LF") << "breaks" << "a\nb" << "a b";
    QTest::newRow("lone CR") << "breaks" << "a\rb" << "a b";
    QTest::newRow("upper and O'") << "formal" << "JOHN o'brien" << "John O'Brien";
    QTest::newRow("Mc and hyphen") << "formal" << "mcdonald-smith o'neil" << "McDonald-Smith O'Neil";
    QTest::newRow("initials") << "formal" << "a.b. jones" << "A.B. Jones";
    QTest::newRow("trailing space") << "formal" << "ann " << "Ann ";
    QTest::newRow("leading spaces") << "formal" << "  ann" << "Ann";
    QTest::newRow("empty") << "formal" << "" << "";
    QTest::newRow("quoted") << "quotes" << "\"x\"" << "x";
    QTest::newRow("closing quote only") << "quotes" << "x\"" << "x";
}

void TestMultiPgPreview::textHelpers()
{
    QFETCH(QString, helper);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const auto apply = helper == u"breaks"   ? &clsMultiPgPreview::GetRemoveCRLF
                       : helper == u"formal" ? &clsMultiPgPreview::GetFormalCase
                                             : &clsMultiPgPreview::GetStripQuotes;
    QCOMPARE(apply(text), expected);
}

void TestMultiPgPreview::newEngineResetsPrinter()
{
    SystemPrinter::setOrientation(2);
    SystemPrinter::setCopies(7);
    clsMultiPgPreview fresh;
    QCOMPARE(SystemPrinter::orientation(), 1);
    QCOMPARE(SystemPrinter::copies(), 1);
    QVERIFY(fresh.SendToPrinter());
    QCOMPARE(fresh.ColorMode(), qint16(2));
}

void TestMultiPgPreview::previewPagesAndWindow()
{
    clsMultiPgPreview &e = *m_engine;
    // Files of an earlier preview go when the window closes too.
    QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(clsMultiPgPreview::pageFile(7), "BMP"));
    QList<int> pages {e.GetPage().toInt()};
    for (int i = 0; i < 2; ++i) {
        e.pPrint(QStringLiteral("Page %1").arg(i + 1));
        e.pNewPage();
        pages << e.GetPage().toInt();
    }
    QCOMPARE(pages, (QList<int>{1, 2, 3}));
    e.setReportTitle(QStringLiteral("Print Selected Images"));

    const QString copies = m_temp.filePath(QStringLiteral("copies"));
    QDir().mkpath(copies);
    int lastPage = -1;
    QStringList label;
    QStringList files;
    QString gotoText;
    int afterGoto = -1;
    QSize clipped;
    m_responder.pushModal([&](QDialog *dialog) {
        auto *window = static_cast<frmMultiPgPreview *>(dialog);
        lastPage = window->LastPage();
        files = QDir(m_temp.path()).entryList({QStringLiteral("PPview*.bmp")}, QDir::Files, QDir::Name);
        auto *next = dialog->findChild<QPushButton *>(QStringLiteral("Command1_1"));
        next->click();
        next->click();
        next->click();
        label = dialog->findChild<QLabel *>(QStringLiteral("Label1"))->text().split(u'\n');
        // Go to: beyond the last page means the last page.
        dialog->findChild<QPushButton *>(QStringLiteral("Command1_0"))->click();
        dialog->findChild<QPushButton *>(QStringLiteral("cmdGoTo"))->click();
        auto *gotoPage = dialog->findChild<QLineEdit *>(QStringLiteral("txtGoto"));
        QTest::keyClicks(gotoPage, QStringLiteral("x9"));
        gotoText = gotoPage->text();
        dialog->findChild<QPushButton *>(QStringLiteral("cmdGotoOK"))->click();
        afterGoto = window->currentPage();
        // The shown page onto the clipboard.
        dialog->findChild<QPushButton *>(QStringLiteral("cmd_print"))->click();
        dialog->findChild<QRadioButton *>(QStringLiteral("optPrint_0"))->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("cmdPrint"))->click();
        clipped = QGuiApplication::clipboard()->image().size();
        // Copy all pages to a folder, named after the report title.
        dialog->findChild<QPushButton *>(QStringLiteral("cmd_print"))->click();
        dialog->findChild<QRadioButton *>(QStringLiteral("optPrint_4"))->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("cmdPrint"))->click();
        window->setShownFolder(copies);
        dialog->findChild<QPushButton *>(QStringLiteral("cmdOpen"))->click();
        dialog->reject();
        return QDialog::Rejected;
    });
    e.pEndDoc(1, nullptr);
    QCOMPARE(lastPage, 2);
    QCOMPARE(files, (QStringList{QStringLiteral("PPview0.bmp"), QStringLiteral("PPview1.bmp"),
                                 QStringLiteral("PPview2.bmp"), QStringLiteral("PPview7.bmp")}));
    QCOMPARE(label, (QStringList{QStringLiteral("3"), QStringLiteral("-- of --"), QStringLiteral("3")}));
    QCOMPARE(gotoText, QStringLiteral("3"));
    // The printable area and a quarter inch, at 96 dpi.
    const QSizeF area = SystemPrinter::printableArea().size();
    QCOMPARE(clipped, QSize(qRound((area.width() + 0.25) * 96), qRound((area.height() + 0.25) * 96)));
    QCOMPARE(afterGoto, 2);
    QCOMPARE(QDir(copies).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("Print Selected Images1.bmp"), QStringLiteral("Print Selected Images2.bmp"),
                          QStringLiteral("Print Selected Images3.bmp")}));
    QVERIFY(QDir(m_temp.path()).entryList({QStringLiteral("PPview*.bmp")}, QDir::Files).isEmpty());
    QVERIFY(!e.SendToPrinter());
}

void TestMultiPgPreview::pictureBoxAndLineGeometry()
{
    clsMultiPgPreview &e = *m_engine;
    const float W = e.GetPaperWidth();
    const float H = e.GetPaperHeight();
    // The printable area of the PDF printer, inside its margins.
    const QRectF area = SystemPrinter::printableArea();
    QCOMPARE(W, float(area.width()));
    QCOMPARE(H, float(area.height()));
    QVERIFY(W < 8.5f - 0.39f && H < 11.0f - 0.39f);

    // A picture twice as wide as high in a 4 x 4 box keeps its shape, centred vertically.
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::black);
    e.pPrintPicture(picture, 1, -1, 4, 4, false, true);
    QRectF box = ink(flush(e));
    QVERIFY2(qAbs(box.width() - 4) < 0.03 && qAbs(box.height() - 2) < 0.03, qPrintable(QString::number(box.height())));
    QVERIFY(qAbs(box.center().y() - H / 2) < 0.03);
    QVERIFY(qAbs(box.left() - 1) < 0.03);

    // Width and height 0 fill the printable area.
    e.pPrintPicture(picture, 0, 0, 0, 0, false, false);
    box = ink(flush(e));
    QVERIFY(qAbs(box.width() - W) < 0.03 && qAbs(box.height() - H) < 0.03);

    // Outline only with fill style 1; filled with fill style 0.
    e.pBox(1, 1, 2, 2, 0x000000, 0x0000FF, 1);
    e.pBox(4, 1, 2, 2, 0x000000, 0x0000FF, 0);
    const QImage boxes = flush(e);
    QCOMPARE(QColor(boxes.pixel(int(2 * kDpi), int(2 * kDpi))), QColor(Qt::white));
    QCOMPARE(QColor(boxes.pixel(int(5 * kDpi), int(2 * kDpi))), QColor(Qt::red));

    // A line whose end is left of its start runs to the right edge.
    e.setCurrentY(3);
    e.pLine(2, 1, 1, false);
    box = ink(flush(e));
    QVERIFY(qAbs(box.left() - 2) < 0.03);
    QVERIFY(box.right() > W - 0.05);

    // Rotated text: the angle is kept within 0 to 359 degrees.
    const auto rotated = [&](int angle) {
        e.setCurrentY(5);
        e.pPrintRotate(QStringLiteral("Mesial"), angle, 4);
        return flush(e);
    };
    QCOMPARE(rotated(400), rotated(359));
    QCOMPARE(rotated(-5), rotated(0));
    const QRectF upright = ink(rotated(90));
    QVERIFY(upright.height() > upright.width());

    // Canvas line widths are half the asked width, read back doubled.
    e.setDrawWidth(3);
    QCOMPARE(e.DrawWidth(), qint16(4));
    e.setSendToPrinter(true);
    e.setDrawWidth(3);
    QCOMPARE(e.DrawWidth(), qint16(3));
    e.setSendToPrinter(false);
}

void TestMultiPgPreview::wrappingBetweenMarginsWithPageBreaks()
{
    clsMultiPgPreview &e = *m_engine;
    const float W = e.GetPaperWidth();
    const float lineHeight = e.GetTextHeight(QStringLiteral("Sample Text"));
    const QString words = QStringLiteral("molar incisor ").repeated(40);
    e.setCurrentY(1);
    e.pPrint(words, 1);
    const int lines = qRound((e.CurrentY() - 1) / lineHeight);
    QVERIFY2(lines >= 5, qPrintable(QString::number(lines)));
    QCOMPARE(e.CurrentX(), 0.0f);
    const QRectF box = ink(flush(e));
    QVERIFY(box.left() >= 1 - 0.02);
    QVERIFY(box.right() <= W - 0.1 + 0.02);
    QVERIFY(box.height() > (lines - 2) * lineHeight && box.height() < lines * lineHeight);

    // Text that runs over the foot of the page continues on a new one with footer and header.
    e.setReportTitle(QStringLiteral("Notes"));
    e.setCurrentY(9.5f);
    const int before = e.GetPage().toInt();
    e.pPrint(words + words, 1);
    QCOMPARE(e.GetPage().toInt(), before + 1);
    const QImage first = page(before - 1);
    const QRectF foot = pdfcheck::inkBox(first.copy(0, int(10.4 * kDpi), first.width(), int(0.6 * kDpi)), kDpi,
                                         pdfcheck::dark);
    QVERIFY2(!foot.isEmpty(), "footer line and page number at the foot");
    const QImage next = flush(e);
    QVERIFY(ink(next).top() < 0.2); // the header title at the top
}

void TestMultiPgPreview::hangingIndentAndCut()
{
    clsMultiPgPreview &e = *m_engine;
    const QString words = QStringLiteral("wwwww ").repeated(30);
    const float lineHeight = e.GetTextHeight(QStringLiteral("Sample Text"));
    e.setCurrentY(1);
    e.pMultiline(words, 1, 4, QStringLiteral("   "), false, false);
    const QImage image = flush(e);
    const auto lineInk = [&](int line) {
        const int top = int((1 + line * lineHeight) * kDpi);
        return pdfcheck::inkBox(image.copy(0, top, image.width(), int(lineHeight * kDpi)), kDpi, pdfcheck::dark);
    };
    const double indent = e.GetTextWidth(QStringLiteral("   "));
    QVERIFY(qAbs(lineInk(0).left() - 1) < 0.05);
    QVERIFY(qAbs(lineInk(1).left() - (1 + indent)) < 0.05);
    QVERIFY(lineInk(0).right() <= 4.02);

    // A word longer than the whole line is cut, not lost.
    const QString word(60, u'm');
    e.setCurrentY(1);
    e.pMultiline(word, 1, 2, QString(), false, false);
    QVERIFY(e.CurrentY() > 1 + 3 * lineHeight);
    const QRectF cut = ink(flush(e));
    QVERIFY(cut.right() <= 2.02);
}

void TestMultiPgPreview::centringAndRightJustification()
{
    clsMultiPgPreview &e = *m_engine;
    const float W = e.GetPaperWidth();
    // The ink of what print puts on a page an inch down.
    const auto inkOf = [&](const std::function<void()> &print) {
        e.setCurrentY(1);
        print();
        return ink(flush(e));
    };
    QVERIFY(qAbs(inkOf([&] { e.pCenter(QStringLiteral("Centred heading")); }).center().x() - W / 2) < 0.05);
    QVERIFY(qAbs(inkOf([&] { e.pCenter(QStringLiteral("In a field"), false, 2, 1); }).center().x() - 2) < 0.05);
    QVERIFY(qAbs(inkOf([&] { e.pRightJust(QStringLiteral("Pg. 12"), 7); }).right() - 7) < 0.05);
    QVERIFY(qAbs(inkOf([&] { e.pRightTab(QStringLiteral("Total"), 1); }).right() - (W - 1)) < 0.05);

    // Long text centred line by line between left and right.
    const QString words = QStringLiteral("crown bridge ").repeated(20);
    const QRectF box = inkOf([&] { e.pCenterMultiline(words, 2, 6); });
    QVERIFY(box.left() >= 1.98 && box.right() <= 6.02);
    QVERIFY(qAbs(box.center().x() - 4) < 0.1);
}

void TestMultiPgPreview::headerFooterAndPrintedDate()
{
    clsMultiPgPreview &e = *m_engine;
    const float H = e.GetPaperHeight();
    e.pHeader(QStringLiteral("Visit Summary"), QStringLiteral("Dr. Example"));
    QCOMPARE(e.ReportTitle(), QStringLiteral("Visit Summary"));
    QCOMPARE(e.FontSize(), qint16(12)); // restored
    QVERIFY(e.CurrentY() > 0.4);
    QString text;
    e.pFooter(text);
    QVERIFY(text.startsWith(QStringLiteral("Printed: ")));
    QVERIFY(text.contains(u'@'));
    QVERIFY(text.contains(QStringLiteral("AM")) || text.contains(QStringLiteral("PM")));
    const QImage image = flush(e);
    const QRectF box = ink(image);
    QVERIFY(box.top() < 0.1);
    QVERIFY(box.bottom() > H - 0.5);

    // A header with no title and no stored title prints nothing.
    e.setReportTitle(QString());
    e.pHeader();
    e.pPrintedDate(true, -1, false);
    QVERIFY(qAbs(ink(flush(e)).center().x() - e.GetPaperWidth() / 2) < 0.05);
}

QTEST_MAIN(TestMultiPgPreview)
#include "tst_multipgpreview.moc"
