#include "capturefixture.h"

#include "capture/scandialog.h"
#include "capture/scanner.h"
#include "library/acquisitionhooks.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

// SANE's own test backend, and nothing else, answers these tests.
class TestScanner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { QVERIFY(m_fx.open()); ScanDialog::setExtraOptions({}); }
    void cleanup();

    void devicesAndCapabilities();
    void scanInEachMode_data();
    void scanInEachMode();
    void lineArtKeepsWhiteWhite_data();
    void lineArtKeepsWhiteWhite();
    void backendFaultsBecomeOutcomes_data();
    void backendFaultsBecomeOutcomes();
    void cancelMidScan();
    void scanCommandAddsTheEntry();
    void enterScansEvenAfterAPreview();
    void cancelledScanLeavesNothing();

private:
    struct Finished
    {
        Scanner::Outcome outcome = Scanner::Failed;
        QString message;
        QImage image;
    };
    Finished scan(const ScanRequest &request)
    {
        Scanner scanner;
        QSignalSpy done(&scanner, &Scanner::finished);
        scanner.start(request);
        if (!done.wait(20000))
            return {};
        return {done.at(0).at(0).value<Scanner::Outcome>(), done.at(0).at(1).toString(),
                done.at(0).at(2).value<QImage>()};
    }

    QTemporaryDir m_config;
    CaptureFixture m_fx;
};

void TestScanner::initTestCase()
{
    QVERIFY(m_config.isValid());
    QVERIFY(writeFile(m_config.filePath(u"dll.conf"_qs), "test\n"));
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(m_config.path()));
}

void TestScanner::cleanup()
{
    // The test backend keeps option values from one opening to the next.
    scan({.device = u"test:0"_qs, .resolution = 50, .areaMm = QRectF(0, 0, 5, 5),
          .extra = {{"enable-test-options", u"1"_qs}, {"read-return-value", u"Default"_qs}, {"read-limit", u"0"_qs},
                    {"read-delay", u"0"_qs}, {"test-picture", u"Solid black"_qs}, {"enable-test-options", u"0"_qs}}});
    m_fx.close();
}

void TestScanner::devicesAndCapabilities()
{
    const auto devices = Scanner::devices();
    QVERIFY2(devices.ok(), qPrintable(devices.error()));
    QVERIFY(devices->size() >= 1);
    QCOMPARE(devices->at(0).name, u"test:0"_qs);
    const auto caps = Scanner::capabilities(u"test:0"_qs);
    QVERIFY(caps.ok());
    QVERIFY(caps->modes.contains(u"Color"_qs) && caps->modes.contains(u"Gray"_qs));
    QVERIFY(caps->resolutions.contains(300));
    QVERIFY(caps->maxAreaMm.width() > 100);
    QVERIFY(!Scanner::capabilities(u"test:99"_qs).ok());
}

void TestScanner::scanInEachMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("colour") << u"Color"_qs << QImage::Format_RGB888;
    QTest::newRow("grey") << u"Gray"_qs << QImage::Format_Grayscale8;
}

void TestScanner::scanInEachMode()
{
    QFETCH(QString, mode);
    QFETCH(QImage::Format, format);
    const ScanRequest request{.device = u"test:0"_qs, .mode = mode, .resolution = 100,
                              .areaMm = QRectF(0, 0, 50.8, 25.4), // 2 x 1 inches
                              .extra = {{"test-picture", u"Color pattern"_qs}}};
    // A second scan asked for the moment the first one is handed over runs too.
    Scanner scanner;
    QList<Finished> results;
    connect(&scanner, &Scanner::finished, this,
            [&](Scanner::Outcome outcome, const QString &message, const QImage &image) {
                results.append({outcome, message, image});
                if (results.size() == 1)
                    scanner.start(request);
            });
    scanner.start(request);
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 20000);
    for (const Finished &done : std::as_const(results)) {
        QCOMPARE(done.outcome, Scanner::Scanned);
        QCOMPARE(done.image.format(), format);
        // The backend rounds the area to whole lines.
        QCOMPARE(done.image.width(), 200);
        QVERIFY(qAbs(done.image.height() - 100) <= 2);
    }

    // Pixel for pixel what SANE's own scanimage gets from the same request.
    QProcess scanimage;
    scanimage.start(u"scanimage"_qs, {u"-d"_qs, u"test:0"_qs, u"--mode"_qs, mode, u"--resolution"_qs, u"100"_qs,
                                      u"--test-picture"_qs, u"Color pattern"_qs, u"-x"_qs, u"50.8"_qs, u"-y"_qs,
                                      u"25.4"_qs, u"--format=pnm"_qs});
    if (!scanimage.waitForStarted())
        QSKIP("scanimage is not installed (Debian package sane-utils)");
    QVERIFY(scanimage.waitForFinished(20000));
    QImage peer;
    QVERIFY(peer.loadFromData(scanimage.readAllStandardOutput(), "PNM"));
    QCOMPARE(results.at(0).image, peer.convertToFormat(format));
}

void TestScanner::lineArtKeepsWhiteWhite_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<int>("grey"); // every pixel's, or -1 for a pattern
    QTest::newRow("white page") << u"Solid white"_qs << 255;
    QTest::newRow("black page") << u"Solid black"_qs << 0;
    QTest::newRow("grid") << u"Grid"_qs << -1;
}

// One bit a pixel, as line-art scanners send it; a set bit is black.
void TestScanner::lineArtKeepsWhiteWhite()
{
    QFETCH(QString, picture);
    QFETCH(int, grey);
    const Finished done = scan({.device = u"test:0"_qs, .mode = u"Gray"_qs, .resolution = 100,
                                .areaMm = QRectF(0, 0, 50.8, 25.4),
                                .extra = {{"depth", u"1"_qs}, {"test-picture", picture}}});
    QCOMPARE(done.outcome, Scanner::Scanned);
    QCOMPARE(done.image.depth(), 1);
    QCOMPARE(done.image.width(), 200);
    const QImage seen = done.image.convertToFormat(QImage::Format_Grayscale8);
    if (grey >= 0) {
        for (int y = 0; y < seen.height(); ++y)
            for (int x = 0; x < seen.width(); ++x)
                if (qGray(seen.pixel(x, y)) != grey)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(qGray(seen.pixel(x, y)))));
        return;
    }
    // The pattern as SANE's own scanimage writes it (PBM: a set bit is black too).
    QProcess scanimage;
    scanimage.start(u"scanimage"_qs, {u"-d"_qs, u"test:0"_qs, u"--mode"_qs, u"Gray"_qs, u"--depth"_qs, u"1"_qs,
                                      u"--resolution"_qs, u"100"_qs, u"--test-picture"_qs, picture, u"-x"_qs,
                                      u"50.8"_qs, u"-y"_qs, u"25.4"_qs, u"--format=pnm"_qs});
    if (!scanimage.waitForStarted())
        QSKIP("scanimage is not installed (Debian package sane-utils)");
    QVERIFY(scanimage.waitForFinished(20000));
    QImage peer;
    QVERIFY(peer.loadFromData(scanimage.readAllStandardOutput(), "PBM"));
    QCOMPARE(seen, peer.convertToFormat(QImage::Format_Grayscale8));
}

void TestScanner::backendFaultsBecomeOutcomes_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<Scanner::Outcome>("outcome");
    QTest::newRow("jammed") << u"SANE_STATUS_JAMMED"_qs << Scanner::Failed;
    QTest::newRow("cover open") << u"SANE_STATUS_COVER_OPEN"_qs << Scanner::Failed;
    QTest::newRow("no paper") << u"SANE_STATUS_NO_DOCS"_qs << Scanner::NoDocument;
    QTest::newRow("cancelled by the device") << u"SANE_STATUS_CANCELLED"_qs << Scanner::Cancelled;
}

void TestScanner::backendFaultsBecomeOutcomes()
{
    QFETCH(QString, status);
    QFETCH(Scanner::Outcome, outcome);
    // A page small enough for the backend to hand over whole before the
    // fault is read, so its reading thread has ended when the scan is cancelled.
    const Finished done = scan({.device = u"test:0"_qs, .mode = u"Gray"_qs, .resolution = 50,
                                .areaMm = QRectF(0, 0, 25.4, 25.4),
                                .extra = {{"enable-test-options", u"1"_qs}, {"read-return-value", status}}});
    QCOMPARE(done.outcome, outcome);
    QVERIFY(!done.message.isEmpty());
    QVERIFY(done.image.isNull());
}

void TestScanner::cancelMidScan()
{
    Scanner scanner;
    QSignalSpy progress(&scanner, &Scanner::progress);
    QSignalSpy done(&scanner, &Scanner::finished);
    // The second test device keeps its own options, untouched by the other tests.
    // Small, slow reads keep the scan going long enough to stop it.
    scanner.start({.device = u"test:1"_qs, .resolution = 300,
                   .extra = {{"read-limit", u"1"_qs}, {"read-limit-size", u"256"_qs}, {"read-delay", u"1"_qs},
                             {"read-delay-duration", u"20000"_qs}}});
    QVERIFY(scanner.isRunning());
    QVERIFY2(progress.wait(10000), qPrintable(QString::number(done.count())));
    scanner.cancel();
    QVERIFY(done.wait(10000));
    QCOMPARE(done.at(0).at(0).value<Scanner::Outcome>(), Scanner::Cancelled);
    QTRY_VERIFY(!scanner.isRunning());
}

void TestScanner::scanCommandAddsTheEntry()
{
    ScanDialog::setExtraOptions({{"test-picture", u"Grid"_qs}});
    bool previewShown = false;
    QString device;
    m_fx.responder.pushModal([&](QDialog *dialog) -> int {
        auto *scan = static_cast<ScanDialog *>(dialog);
        device = child<QComboBox>(dialog, "cboScanner")->currentData().toString();
        child<QComboBox>(dialog, "cboMode")->setCurrentText(u"Gray"_qs);
        child<QComboBox>(dialog, "cboResolution")->setCurrentText(u"75"_qs);
        child<QDoubleSpinBox>(dialog, "txtWidth")->setValue(101.6);
        child<QDoubleSpinBox>(dialog, "txtHeight")->setValue(50.8);
        QSignalSpy done(scan->scanner(), &Scanner::finished);
        child<QPushButton>(dialog, "cmdPreview")->click();
        if (!done.wait(10000))
            return int(QDialog::Rejected);
        previewShown = !child<QLabel>(dialog, "Pic_Preview")->pixmap().isNull();
        child<QPushButton>(dialog, "cmdScan")->click();
        if (!done.wait(10000))
            return int(QDialog::Rejected);
        return dialog->result();
    });
    m_fx.responder.pushModal([](QDialog *dialog) {
        child<QLineEdit>(dialog, "txtDescription")->setText(u"Referral letter"_qs);
        child<QPushButton>(dialog, "cbOK")->click();
        return dialog->result();
    });
    acquisitionHooks().scan(nullptr, CaptureFixture::kBook, u"Smith"_qs);
    QCOMPARE(device, u"test:0"_qs);
    QVERIFY(previewShown);
    QCOMPARE(messageTexts(m_fx.responder), QStringList());
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents Where BookCode = 5 And EntryType = 1"_qs), 1);
    const qint64 code = m_fx.scalar(u"Select Entry_Code From BookContents Where BookCode = 5"_qs);
    const QVariantMap row = m_fx.row(qint32(code));
    QCOMPARE(row.value(u"description"_qs).toString(), u"Referral letter"_qs);
    // Four by two inches at 75 dpi, give or take the backend's rounding.
    const QSize size = QImageReader(row.value(u"filename"_qs).toString()).size();
    QVERIFY2(qAbs(size.width() - 300) <= 2 && qAbs(size.height() - 150) <= 2,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
}

void TestScanner::enterScansEvenAfterAPreview()
{
    // Enter in a field scans at once; after a preview has left the focus on
    // its button, Enter still scans instead of previewing again.
    for (const bool previewFirst : {false, true}) {
        ScanDialog dialog(nullptr);
        child<QComboBox>(&dialog, "cboMode")->setCurrentText(u"Gray"_qs);
        child<QComboBox>(&dialog, "cboResolution")->setCurrentText(u"75"_qs);
        child<QDoubleSpinBox>(&dialog, "txtWidth")->setValue(25.4);
        child<QDoubleSpinBox>(&dialog, "txtHeight")->setValue(25.4);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy done(dialog.scanner(), &Scanner::finished);
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        if (previewFirst) {
            QTest::mouseClick(child<QPushButton>(&dialog, "cmdPreview"), Qt::LeftButton);
            QVERIFY(done.wait(20000));
            // Focus went to Cancel while the buttons were off; a press there would close the dialog.
            QCOMPARE(dialog.focusWidget()->objectName(), u"cmdPreview"_qs);
        } else {
            child<QWidget>(&dialog, "cboResolution")->setFocus();
        }
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        QVERIFY2(accepted.wait(20000), previewFirst ? "after a preview" : "from a field");
        // A one-inch square at the chosen 75 dpi, not the bed at the preview's 50.
        const QSize size = dialog.image().size();
        QVERIFY2(qAbs(size.width() - 75) <= 3 && qAbs(size.height() - 75) <= 3,
                 qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    }
}

void TestScanner::cancelledScanLeavesNothing()
{
    QString file;
    m_fx.link->setNextFileNameHook([&](qint16, qint32 book, qint32, const QString &ext) {
        file = m_fx.path(QStringLiteral("scan-%1.%2").arg(book).arg(ext));
        writeFile(file, "left over from an earlier try");
        return file;
    });
    m_fx.responder.pushModal([](QDialog *dialog) {
        child<QPushButton>(dialog, "cmdCancel")->click();
        return dialog->result();
    });
    acquisitionHooks().scan(nullptr, CaptureFixture::kBook, u"Smith"_qs);
    QVERIFY(!file.isEmpty());
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(messageTexts(m_fx.responder),
             QStringList(u"Scan unsuccessful\nPlease check that your Scanner is switched On, and that "
                         "you have Selected the right Scanner."_qs));
    QCOMPARE(m_fx.responder.prompts().constLast().title, u"TWAIN Acquire Failed."_qs);
    QCOMPARE(m_fx.scalar(u"Select Count(*) From BookContents"_qs), 0);
}

QTEST_MAIN(TestScanner)
#include "tst_scanner.moc"
