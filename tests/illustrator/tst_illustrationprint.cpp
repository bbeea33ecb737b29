#include "controls/objdraw.h"
#include "illustrator/printillustration.h"
#include "illustratorfixture.h"

#include <tovradocs/mediamanager.h>

#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

using namespace tovradocs;
using namespace tovradocs::Internal;
using Testing::child;
using Testing::messageTexts;

class TestIllustrationPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void missingFileSaysSoAndStillOpens();
    void printsThePictureAtThePageCorner();
    void cancelledPrinterChoicePrintsNothing();

private:
    QString pdftoppm(int dpi);

    IllustratorFixture f;
};

void TestIllustrationPrint::init()
{
    QVERIFY(f.open());
}

void TestIllustrationPrint::cleanup()
{
    f.close();
}

QString TestIllustrationPrint::pdftoppm(int dpi)
{
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                             QStringLiteral("-singlefile"), f.pdfPath(), f.path(QStringLiteral("page"))});
    render.waitForFinished();
    return f.path(QStringLiteral("page.png"));
}

void TestIllustrationPrint::missingFileSaysSoAndStillOpens()
{
    int objects = -1;
    f.responder->pushModal([&](QDialog *d) {
        objects = child<ObjDraw>(d, "objDrawer")->objectCount();
        return 0;
    });
    MediaManager manager;
    manager.ShowIllustrationPrint(f.path(QStringLiteral("gone.ils")), 1, 2);
    QCOMPARE(objects, 0);
    QCOMPARE(messageTexts(*f.responder),
             QStringList {QStringLiteral("Illustration File : ") + f.path(QStringLiteral("gone.ils")) + QStringLiteral(" not found !")});
}

void TestIllustrationPrint::printsThePictureAtThePageCorner()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        QSKIP("poppler-utils are not installed");
    // A 192 x 96 canvas is two inches by one on paper; its rectangle sits at (20, 30).
    const QString file = f.drawingFile(QStringLiteral("plan.ils"), QColor(0, 0, 255), QSize(192, 96));
    PrintIllustration window;
    int objects = -1;
    f.responder->pushModal([&](QDialog *d) {
        objects = child<ObjDraw>(d, "objDrawer")->objectCount();
        QTest::mouseClick(child<QPushButton>(d, "cmdPrint"), Qt::LeftButton);
        return 0;
    });
    QCOMPARE(window.ShowIllustrationPrint(file, 0, 0), 0);
    QCOMPARE(objects, 1);
    QCOMPARE(messageTexts(*f.responder), QStringList {QStringLiteral("Illustration  routed to printer !")});

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {f.pdfPath()});
    QVERIFY(info.waitForFinished());
    const QByteArray text = info.readAllStandardOutput();
    QVERIFY2(text.contains("Pages:           1\n"), text.constData());
    QVERIFY2(text.contains("595.276 x 841.89 pts") || text.contains("595 x 842 pts"), text.constData());

    // At 96 dpi one page pixel is one drawing pixel.
    const QImage page(pdftoppm(96));
    QCOMPARE(page.size(), QSize(794, 1123));
    auto near = [](QColor a, QColor b) {
        return qAbs(a.red() - b.red()) < 8 && qAbs(a.green() - b.green()) < 8 && qAbs(a.blue() - b.blue()) < 8;
    };
    QVERIFY(near(page.pixelColor(70, 60), QColor(0, 0, 255)));   // inside the rectangle
    QVERIFY(near(page.pixelColor(10, 10), QColor(Qt::white)));   // canvas, outside it
    QVERIFY(near(page.pixelColor(118, 88), QColor(0, 0, 255)));  // near its far corner
    QVERIFY(near(page.pixelColor(125, 95), QColor(Qt::white)));
    QVERIFY(near(page.pixelColor(300, 300), QColor(Qt::white))); // beyond the canvas
    // The canvas border is where the picture ends: black outline of the
    // rectangle stops at 120 + 1 and nothing is drawn past 192 x 96.
    for (int x = 193; x < 260; x += 10)
        QVERIFY(near(page.pixelColor(x, 40), QColor(Qt::white)));
}

void TestIllustrationPrint::cancelledPrinterChoicePrintsNothing()
{
    setIllustrationPrinterFactory([](QWidget *) { return std::unique_ptr<QPrinter>(); });
    PrintIllustration window;
    f.responder->pushModal([&](QDialog *d) {
        QTest::mouseClick(child<QPushButton>(d, "cmdPrint"), Qt::LeftButton);
        return 0;
    });
    window.ShowIllustrationPrint(f.drawingFile(QStringLiteral("plan.ils"), Qt::red), 0, 0);
    QCOMPARE(messageTexts(*f.responder), QStringList());
    QVERIFY(!QFile::exists(f.pdfPath()));
}

QTEST_MAIN(TestIllustrationPrint)
#include "tst_illustrationprint.moc"
