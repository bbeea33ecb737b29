#include "controls/slidefx.h"

#include "support/testhost.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;
using tovradocs::Testing::writeFile;

namespace {

QImage gradient(QSize size, bool horizontal, QColor a, QColor b)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, horizontal ? size.width() : 0, horizontal ? 0 : size.height());
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    p.fillRect(image.rect(), g);
    return image;
}

} // namespace

class TestSlideFX : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_red = m_dir.filePath(QStringLiteral("red.png"));
        m_blue = m_dir.filePath(QStringLiteral("blue.jpg"));
        QImage red(600, 400, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(m_red));
        QVERIFY(gradient({1200, 900}, true, Qt::blue, Qt::cyan).save(m_blue, "JPEG", 90));
    }

    void everyEffectIsDistinctAndGradual()
    {
        const QImage from = gradient({320, 200}, true, Qt::red, Qt::yellow);
        const QImage to = gradient({320, 200}, false, Qt::blue, Qt::green);
        QList<QImage> middles;
        for (int e = SlideFX::Fade; e < SlideFX::EffectCount; ++e) {
            const auto effect = SlideFX::Effect(e);
            const QImage start = SlideFX::transitionFrame(from, to, effect, 0.0);
            const QImage quarter = SlideFX::transitionFrame(from, to, effect, 0.25);
            const QImage middle = SlideFX::transitionFrame(from, to, effect, 0.5);
            const QImage end = SlideFX::transitionFrame(from, to, effect, 1.0);
            QVERIFY2(start == from.convertToFormat(start.format()), qPrintable(QString::number(e)));
            QVERIFY2(end == to.convertToFormat(end.format()), qPrintable(QString::number(e)));
            // A real transition passes through states that are neither slide.
            QVERIFY2(middle != start && middle != end && quarter != middle,
                     qPrintable(QString::number(e)));
            for (const QImage &other : std::as_const(middles))
                QVERIFY2(other != middle, qPrintable(QStringLiteral("effect %1 repeats another").arg(e)));
            middles << middle;
        }
        // A cut shows the new slide at once; it is what "none" and numbers out of range give.
        QCOMPARE(SlideFX::transitionFrame(from, to, SlideFX::Cut, 0.1), to);
        for (const int number : {-4, 0, 1, 13})
            QCOMPARE(SlideFX::effectFor(number), SlideFX::Cut);
        QCOMPARE(SlideFX::effectFor(12), SlideFX::Blinds);
    }

    void slidesAreNeverEnlarged()
    {
        const QString small = m_dir.filePath(QStringLiteral("small.png"));
        QImage image(50, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(image.save(small));
        const QImage slide = SlideFX::composeSlide(small, {400, 300}, Qt::black);
        QCOMPARE(slide.size(), QSize(400, 300));
        // Centred, 50 x 40, the rest stage colour.
        QCOMPARE(slide.pixel(175, 130), qRgb(255, 255, 255));
        QCOMPARE(slide.pixel(224, 169), qRgb(255, 255, 255));
        QCOMPARE(slide.pixel(174, 130), qRgb(0, 0, 0));
        QCOMPARE(slide.pixel(225, 169), qRgb(0, 0, 0));
        QCOMPARE(slide.pixel(200, 170), qRgb(0, 0, 0));

        // A large one is shrunk to fit, keeping its proportions (1200 x 900 into 400 x 300).
        const QImage large = SlideFX::composeSlide(m_blue, {400, 400}, Qt::black);
        QCOMPARE(large.pixel(200, 49), qRgb(0, 0, 0));
        QVERIFY(large.pixel(200, 51) != qRgb(0, 0, 0));
        QVERIFY(large.pixel(200, 348) != qRgb(0, 0, 0));
        QCOMPARE(large.pixel(200, 351), qRgb(0, 0, 0));
    }

    void preloadedSlideShowsWithoutWaiting()
    {
        SlideFX fx;
        fx.resize(400, 300);
        QSignalSpy shown(&fx, &SlideFX::slideShown);
        fx.ShowSlide(m_red, 1);
        QVERIFY(shown.wait(5000));
        fx.preload(m_blue);
        QTRY_VERIFY_WITH_TIMEOUT(fx.isPreloaded(m_blue), 5000);
        fx.ShowSlide(m_blue, 2);
        // Shown in the same call: the change costs no decode on this thread.
        QCOMPARE(shown.count(), 2);
        QCOMPARE(fx.currentFile(), m_blue);
        QVERIFY(fx.isTransitioning());
        QCOMPARE(fx.currentEffect(), SlideFX::Fade);
        QSignalSpy finished(&fx, &SlideFX::transitionFinished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(fx.frame().pixel(200, 150), SlideFX::composeSlide(m_blue, {400, 300}, Qt::black).pixel(200, 150));
    }

    void unshowableSlidesAreReported_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: there is no file
        QTest::newRow("gone") << QByteArray();
        QTest::newRow("not a picture") << QByteArray("no picture here");
        QTest::newRow("truncated") << tovradocs::Testing::fileContents(m_blue).left(200);
    }

    void unshowableSlidesAreReported()
    {
        QFETCH(QByteArray, content);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".jpg"));
        QVERIFY(content.isNull() || writeFile(path, content));
        SlideFX fx;
        fx.resize(300, 200);
        QSignalSpy shown(&fx, &SlideFX::slideShown);
        fx.ShowSlide(m_red, 1);
        QVERIFY(shown.wait(5000));
        QSignalSpy failed(&fx, &SlideFX::slideFailed);
        fx.ShowSlide(path, 2);
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.first().first().toString(), path);
        QVERIFY(!failed.first().at(1).toString().isEmpty());
        QCOMPARE(fx.currentFile(), m_red); // the last good slide stays
    }

private:
    QTemporaryDir m_dir;
    QString m_red;
    QString m_blue;
};

QTEST_MAIN(TestSlideFX)
#include "tst_slidefx.moc"
