#include "viewers/scrollpicture.h"

#include "component/dialogservice.h"

#include <QMouseEvent>
#include <QTest>

using namespace tovradocs::Internal;

static QImage picture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

class TestScrollPicture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zoomTableLimits()
    {
        ScrollPicture control;
        control.resize(300, 300);
        control.setPicture(picture(100, 80));
        QCOMPARE(control.ZoomPercent(), 100);
        for (int i = 0; i < 5; ++i)
            control.z_ZoomIn();
        QCOMPARE(control.ZoomPercent(), 200);
        QCOMPARE(control.surface()->size(), QSize(200, 160));
        control.z_ZoomIn();
        QCOMPARE(control.ZoomPercent(), 200);
        for (int i = 0; i < 20; ++i)
            control.z_ZoomOut();
        QCOMPARE(control.ZoomPercent(), 5);
        QCOMPARE(control.surface()->size(), QSize(5, 4));
        control.z_ZoomActualPixels();
        QCOMPARE(control.ZoomPercent(), 100);
        QCOMPARE(control.surface()->size(), QSize(100, 80));
        // Actual pixels shows the picture itself, not a copy scaled to the same size.
        QCOMPARE(control.shownPicture().constBits(), control.picture().constBits());

        // At 5 %, 50 x 30 is 2.5 x 1.5: both round half to even, to 2.
        control.setPicture(picture(50, 30));
        for (int i = 0; i < 20; ++i)
            control.z_ZoomOut();
        QCOMPARE(control.surface()->size(), QSize(2, 2));
    }

    void nothingHappensWithoutAPicture()
    {
        ScrollPicture control;
        control.resize(200, 200);
        control.z_ZoomIn();
        control.z_ZoomOut();
        control.BestFit();
        control.z_Stretch();
        QCOMPARE(control.ZoomPercent(), 100);
        QVERIFY(control.surface()->isHidden());
        control.setPicture(picture(10, 10));
        control.Clear();
        control.z_ZoomIn();
        QCOMPARE(control.ZoomPercent(), 100);
        QCOMPARE(control.backColor(), ScrollPicture::kButtonFace);
    }

    void bestFit_data()
    {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("wide in square") << QSize(400, 200) << QSize(200, 200) << QSize(200, 100);
        QTest::newRow("tall in square") << QSize(200, 400) << QSize(200, 200) << QSize(100, 200);
        QTest::newRow("small grows to fit") << QSize(50, 25) << QSize(200, 200) << QSize(200, 100);
        QTest::newRow("exact size kept") << QSize(200, 150) << QSize(200, 150) << QSize(200, 150);
    }

    void bestFit()
    {
        QFETCH(QSize, natural);
        QFETCH(QSize, area);
        QFETCH(QSize, shown);
        ScrollPicture control;
        control.resize(area);
        control.setPicture(picture(natural.width(), natural.height()));
        control.z_ZoomIn();
        control.BestFit();
        QCOMPARE(control.surface()->size(), shown);
        QCOMPARE(control.shownPicture().size(), shown);
        QCOMPARE(control.ZoomPercent(), 125); // best fit leaves the table alone
    }

    void stretchThenPrevious()
    {
        ScrollPicture control;
        control.resize(300, 100);
        control.setPicture(picture(80, 80));
        control.z_ZoomOut();
        control.z_Stretch();
        QCOMPARE(control.surface()->size(), QSize(300, 100));
        QCOMPARE(control.ZoomPercent(), 90);
        control.z_ZoomPrevious();
        QCOMPARE(control.surface()->size(), QSize(72, 72));
    }

    void smallPictureStaysCentred()
    {
        ScrollPicture control;
        control.resize(300, 200);
        control.setPicture(picture(100, 50));
        control.show();
        QCOMPARE(control.surface()->geometry(), QRect(100, 75, 100, 50));
        for (const QSize &size : {QSize(500, 400), QSize(101, 51), QSize(240, 90)}) {
            control.resize(size);
            QCOMPARE(control.surface()->geometry(),
                     QRect((size.width() - 100) / 2, (size.height() - 50) / 2, 100, 50));
        }
        QCOMPARE(control.surface()->cursor().shape(), Qt::ArrowCursor);
    }

    void largePictureDragsWithinTheArea()
    {
        ScrollPicture control;
        control.resize(200, 100);
        control.setPicture(picture(400, 80));
        control.show();
        QWidget *surface = control.surface();
        // Wider than the area: dragging possible sideways, centred vertically.
        QCOMPARE(surface->pos(), QPoint(0, 10));
        QCOMPARE(surface->cursor().shape(), Qt::OpenHandCursor);
        int downs = 0;
        connect(&control, &ScrollPicture::MouseDown, this, [&downs] { ++downs; });
        QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(150, 40));
        QCOMPARE(surface->cursor().shape(), Qt::ClosedHandCursor);
        QMouseEvent move(QEvent::MouseMove, QPointF(100, 40), surface->mapToGlobal(QPointF(100, 40)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &move);
        QCOMPARE(surface->pos(), QPoint(-50, 10));
        // Never past the far edge.
        QMouseEvent far(QEvent::MouseMove, QPointF(-400, 90), surface->mapToGlobal(QPointF(-400, 40)) + QPoint(0, 50),
                        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &far);
        QCOMPARE(surface->pos(), QPoint(-200, 10));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(10, 40));
        QCOMPARE(surface->cursor().shape(), Qt::OpenHandCursor);
        QCOMPARE(downs, 1);
    }
};

QTEST_MAIN(TestScrollPicture)
#include "tst_scrollpicture.moc"
