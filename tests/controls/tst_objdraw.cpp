#include "component/dialogservice.h"
#include "controls/drawitem.h"
#include "controls/ilsformat.h"
#include "controls/objdraw.h"
#include "sampledrawing.h"
#include "support/testhost.h"

#include <QApplication>
#include <QClipboard>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;

class TestObjDraw : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_responder = std::make_unique<ScriptedResponder>();
        DialogService::setResponder(m_responder.get());
        m_dir = std::make_unique<QTemporaryDir>();
        m_view = std::make_unique<ObjDraw>();
        m_view->resize(900, 700);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanup()
    {
        m_view.reset();
        DialogService::setResponder(nullptr);
    }

    void toolsDrawWhatTheMouseDrags_data()
    {
        QTest::addColumn<ObjDraw::Tool>("tool");
        QTest::addColumn<ShapeKind>("kind");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QRectF>("rect");
        QTest::newRow("rectangle") << ObjDraw::Tool::Rectangle << ShapeKind::Rectangle << false << QRectF(100, 100, 50, 40);
        QTest::newRow("round rectangle") << ObjDraw::Tool::RoundRectangle << ShapeKind::RoundRectangle << false << QRectF(100, 100, 50, 40);
        QTest::newRow("ellipse with ctrl is a circle") << ObjDraw::Tool::Ellipse << ShapeKind::Ellipse << true << QRectF(100, 100, 50, 50);
        QTest::newRow("star with ctrl") << ObjDraw::Tool::Star << ShapeKind::Star << true << QRectF(100, 100, 50, 50);
        QTest::newRow("polygon") << ObjDraw::Tool::Polygon << ShapeKind::Polygon << false << QRectF(100, 100, 50, 40);
        QTest::newRow("arc") << ObjDraw::Tool::Arc << ShapeKind::Arc << false << QRectF(100, 100, 50, 40);
        QTest::newRow("line keeps its direction") << ObjDraw::Tool::Line << ShapeKind::Line << true << QRectF(100, 100, 50, 40);
    }

    void toolsDrawWhatTheMouseDrags()
    {
        QFETCH(ObjDraw::Tool, tool);
        QFETCH(ShapeKind, kind);
        QFETCH(bool, ctrl);
        QFETCH(QRectF, rect);
        QSignalSpy finished(m_view.get(), &ObjDraw::shapeFinished);
        QSignalSpy changed(m_view.get(), &ObjDraw::drawingChanged);
        m_view->setTool(tool);
        drag(QPointF(100, 100), QPointF(150, 140), ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(finished.count(), 1);
        QVERIFY(changed.count() >= 1);
        QCOMPARE(m_view->tool(), ObjDraw::Tool::Select);
        QCOMPARE(m_view->selectedIndex(), 0);
        const DrawObject o = *m_view->selectedObject();
        QCOMPARE(o.kind, kind);
        QCOMPARE(o.rect, rect);

        // A click without a drag draws nothing.
        m_view->setTool(tool);
        drag(QPointF(300, 300), QPointF(300, 300));
        QCOMPARE(m_view->objectCount(), 1);
    }

    void textToolAsksForTheText()
    {
        m_view->setTool(ObjDraw::Tool::Text);
        m_responder->pushText(QStringLiteral("Crown on 36"));
        drag(QPointF(50, 60), QPointF(50, 60));
        QCOMPARE(m_responder->prompts().size(), 1);
        QCOMPARE(m_responder->prompts().first().title, QStringLiteral("Draw Text"));
        const DrawObject o = *m_view->selectedObject();
        QCOMPARE(o.kind, ShapeKind::Text);
        QCOMPARE(o.text, QStringLiteral("Crown on 36"));
        QCOMPARE(o.rect, QRectF(50, 60, 150, 40));

        // Cancelling the text leaves no empty text object behind.
        m_view->setTool(ObjDraw::Tool::Text);
        m_responder->pushText(std::nullopt);
        drag(QPointF(300, 60), QPointF(400, 100));
        QCOMPARE(m_view->objectCount(), 1);
    }

    void everyKindSurvivesSaveAndLoadButNotADamagedFile()
    {
        const Drawing original = Testing::everyKindDrawing();
        m_view->setDrawing(original);
        QCOMPARE(m_view->drawing(), original);
        const QString path = m_dir->filePath(QStringLiteral("every.ils"));
        QVERIFY(m_view->saveDrawing(path).ok());

        ObjDraw other;
        QSignalSpy changed(&other, &ObjDraw::drawingChanged);
        QVERIFY(other.loadDrawing(path).ok());
        QCOMPARE(changed.count(), 0); // loading is not a change of the drawing
        QCOMPARE(other.drawing(), original);
        QCOMPARE(other.canvasWidth(), 800);
        QCOMPARE(other.backColor(), original.background);
        QCOMPARE(other.drawingPicture(), m_view->drawingPicture());

        // A damaged or missing file leaves the drawing as it was.
        const QString damaged = m_dir->filePath(QStringLiteral("damaged.ils"));
        QVERIFY(Testing::writeFile(damaged, writeIls(Drawing()).chopped(3)));
        const Outcome refused = other.loadDrawing(damaged);
        QVERIFY(!refused.ok());
        QVERIFY(refused.error().contains(QStringLiteral("damaged.ils")));
        QVERIFY(!other.loadDrawing(m_dir->filePath(QStringLiteral("missing.ils"))).ok());
        QCOMPARE(other.drawing(), original);
    }

    void undoReachesBackToTheBufferSize()
    {
        m_view->setUndoBufferSize(3);
        addRect(QRectF(0, 0, 10, 10), Qt::red);
        for (int i = 0; i < 5; ++i)
            m_view->moveSelection(QPointF(10, 0));
        QCOMPARE(m_view->selectedObject()->rect.x(), 50.0);
        for (int i = 0; i < 5; ++i)
            m_view->undo();
        // Three steps back and no further.
        QCOMPARE(m_view->objectCount(), 1);
        m_view->selectObject(0);
        QCOMPARE(m_view->selectedObject()->rect.x(), 20.0);
        QVERIFY(!m_view->canUndo());
        m_view->redo();
        m_view->selectObject(0);
        QCOMPARE(m_view->selectedObject()->rect.x(), 30.0);
        // A new change drops what could be redone.
        m_view->moveSelection(QPointF(0, 5));
        QVERIFY(!m_view->canRedo());

        m_view->setUndoBufferSize(0);
        m_view->deleteSelection();
        QVERIFY(!m_view->canUndo());
    }

    void draggedObjectsMoveBackOnUndo()
    {
        addRect(QRectF(100, 100, 40, 40), Qt::red);
        addRect(QRectF(300, 100, 40, 40), Qt::green);
        addRect(QRectF(500, 100, 40, 40), Qt::blue);
        m_view->selectAll();
        drag(QPointF(120, 120), QPointF(150, 140));
        const Drawing moved = m_view->drawing();
        QCOMPARE(moved.objects.at(0).rect.topLeft(), QPointF(130, 120));
        QCOMPARE(moved.objects.at(2).rect.topLeft(), QPointF(530, 120));
        // A later delete renumbers the objects; undoing both still finds the moved ones.
        m_view->selectObject(1);
        m_view->deleteSelection();
        m_view->undo();
        QCOMPARE(m_view->drawing(), moved);
        m_view->undo();
        QCOMPARE(m_view->drawing().objects.at(1).rect.topLeft(), QPointF(300, 100));
        m_view->redo();
        QCOMPARE(m_view->drawing(), moved);
    }

    void clipboardRoundTrip()
    {
        const Drawing sample = Testing::everyKindDrawing();
        m_view->setDrawing(sample);
        m_view->selectAll();
        m_view->copy();
        const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
        QVERIFY(mime->hasFormat(ObjDraw::kClipboardFormat));
        QVERIFY(mime->hasImage()); // other programs get a picture
        QVERIFY(m_view->canPaste());

        ObjDraw other;
        QVERIFY(other.paste().ok());
        const Drawing pasted = other.drawing();
        QCOMPARE(pasted.objects.size(), sample.objects.size());
        for (int i = 0; i < sample.objects.size(); ++i) {
            DrawObject expected = sample.objects.at(i);
            expected.rect.translate(10, 10);
            QVERIFY2(pasted.objects.at(i) == expected, qPrintable(QString::number(i)));
        }
        QCOMPARE(other.selectedCount(), int(sample.objects.size()));

        // Cut copies, then removes.
        m_view->selectObject(2);
        m_view->cut();
        QCOMPARE(m_view->objectCount(), int(sample.objects.size()) - 1);
        ObjDraw third;
        QVERIFY(third.paste().ok());
        QCOMPARE(third.objectCount(), 1);
        QCOMPARE(third.selectedObject()->kind, sample.objects.at(2).kind);

        // Bytes under our format that are no drawing are refused, leaving the drawing as it was.
        auto *foreign = new QMimeData;
        foreign->setData(ObjDraw::kClipboardFormat, QByteArray("TOVRAILS garbage"));
        QGuiApplication::clipboard()->setMimeData(foreign);
        QVERIFY(!third.paste().ok());
        QCOMPARE(third.objectCount(), 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("plain"));
        QVERIFY(!third.canPaste());
    }

    void orderCommandsMoveTheSelection()
    {
        const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
        for (const QColor &c : colours)
            addRect(QRectF(0, 0, 10, 10), c);
        auto order = [&] {
            QString s;
            for (const DrawObject &o : m_view->drawing().objects)
                s += QString::number(colours.indexOf(o.fill));
            return s;
        };
        QCOMPARE(order(), QStringLiteral("0123"));
        m_view->selectObject(1);
        m_view->bringToFront();
        QCOMPARE(order(), QStringLiteral("0231"));
        m_view->sendBackward();
        QCOMPARE(order(), QStringLiteral("0213"));
        m_view->sendToBack();
        QCOMPARE(order(), QStringLiteral("1023"));
        m_view->bringForward();
        QCOMPARE(order(), QStringLiteral("0123"));
        // The order is kept by a save.
        m_view->selectObject(0);
        m_view->bringToFront();
        const QString path = m_dir->filePath(QStringLiteral("order.ils"));
        QVERIFY(m_view->saveDrawing(path).ok());
        QVERIFY(m_view->loadDrawing(path).ok());
        QCOMPARE(order(), QStringLiteral("1230"));
    }

    void groupAndUngroupKeepWhereThingsAre()
    {
        addRect(QRectF(10, 10, 40, 20), Qt::red);
        addRect(QRectF(100, 50, 20, 20), Qt::green);
        DrawObject o;
        o.rect = QRectF(300, 300, 10, 10);
        m_view->insertObject(o);
        const QImage before = m_view->drawingPicture();
        // The two upper objects only.
        for (QGraphicsItem *item : m_view->scene()->items()) {
            if (!item->parentItem())
                item->setSelected(item->sceneBoundingRect().top() < 200);
        }
        m_view->group();
        QCOMPARE(m_view->objectCount(), 2);
        const DrawObject group = *m_view->selectedObject();
        QCOMPARE(group.kind, ShapeKind::Group);
        QCOMPARE(group.rect, QRectF(10, 10, 110, 60));
        QCOMPARE(group.children.size(), 2);
        QCOMPARE(m_view->drawingPicture(), before);

        // A turned group hands its turn to its children.
        m_view->setObjectProperty(ObjDraw::Property::Rotation, 90);
        const QImage turned = m_view->drawingPicture();
        m_view->ungroup();
        QCOMPARE(m_view->objectCount(), 3);
        QCOMPARE(m_view->selectedCount(), 2);
        const QImage after = m_view->drawingPicture();
        int differing = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                differing += after.pixel(x, y) != turned.pixel(x, y);
        QVERIFY2(differing < 100, qPrintable(QString::number(differing))); // edge pixels only
        m_view->undo();
        m_view->undo();
        QCOMPARE(m_view->drawingPicture(), before);
    }

    void alignUsesTheSelectionBox()
    {
        addRect(QRectF(10, 10, 40, 20), Qt::red);
        addRect(QRectF(100, 50, 20, 20), Qt::green);
        m_view->selectAll();
        m_view->align(ObjDraw::Align::Left);
        const Drawing d = m_view->drawing();
        QCOMPARE(d.objects.at(0).rect.left(), 10.0);
        QCOMPARE(d.objects.at(1).rect.left(), 10.0);
        m_view->align(ObjDraw::Align::Bottom);
        QCOMPARE(m_view->drawing().objects.at(0).rect.bottom(), 70.0);
        // One object aligns to the canvas.
        m_view->selectObject(1);
        m_view->align(ObjDraw::Align::CenterBoth);
        QCOMPARE(m_view->selectedObject()->rect.center(), QPointF(320, 240));
    }

    void propertiesChangeTheSelectionAndNewObjects()
    {
        addRect(QRectF(10, 10, 40, 20), Qt::red);
        QSignalSpy changed(m_view.get(), &ObjDraw::drawingChanged);
        m_view->setObjectProperty(ObjDraw::Property::BorderWidth, 7);
        m_view->setObjectProperty(ObjDraw::Property::FillStyle, int(FillStyle::DiagCross));
        m_view->setObjectProperty(ObjDraw::Property::BorderColor, QColor(Qt::blue));
        m_view->setObjectProperty(ObjDraw::Property::Points, 1); // kept at the least a polygon has
        QCOMPARE(changed.count(), 4);
        const DrawObject o = *m_view->selectedObject();
        QCOMPARE(o.borderWidth, 7);
        QCOMPARE(o.fillStyle, FillStyle::DiagCross);
        QCOMPARE(o.border, QColor(Qt::blue));
        QCOMPARE(o.points, 3);
        QCOMPARE(m_view->style().borderWidth, 7);
        m_view->unselectAll();
        m_view->setObjectProperty(ObjDraw::Property::FillColor, QColor(Qt::green));
        QCOMPARE(m_view->drawing().objects.first().fill, QColor(Qt::red));
        QCOMPARE(m_view->style().fill, QColor(Qt::green));
    }

    void zoomStaysWithinLimitsAndFollowsTheKeypad()
    {
        QSignalSpy zoomed(m_view.get(), &ObjDraw::zoomChanged);
        m_view->setZoomFactor(4);
        QCOMPARE(m_view->transform().m11(), 4.0);
        m_view->setZoomFactor(100);
        QCOMPARE(m_view->zoomFactor(), ObjDraw::kMaxZoom);
        m_view->setZoomFactor(-1);
        QCOMPARE(m_view->zoomFactor(), ObjDraw::kMinZoom);
        m_view->setZoomFactor(1);
        QTest::keyClick(m_view.get(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(m_view->zoomFactor(), 1.1);
        QTest::keyClick(m_view.get(), Qt::Key_Minus, Qt::KeypadModifier);
        QTest::keyClick(m_view.get(), Qt::Key_Minus, Qt::KeypadModifier);
        QVERIFY(qFuzzyCompare(m_view->zoomFactor(), 0.9));
        QCOMPARE(zoomed.count(), 7);
    }

    void arrowsMoveAndCtrlArrowsSwitchSelection()
    {
        addRect(QRectF(10, 10, 40, 20), Qt::red);
        addRect(QRectF(100, 50, 20, 20), Qt::green);
        m_view->setArrowStep(5);
        m_view->selectObject(0);
        QTest::keyClick(m_view.get(), Qt::Key_Right);
        QTest::keyClick(m_view.get(), Qt::Key_Down);
        QCOMPARE(m_view->selectedObject()->rect.topLeft(), QPointF(15, 15));
        QTest::keyClick(m_view.get(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(m_view->selectedIndex(), 1);
        QTest::keyClick(m_view.get(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(m_view->selectedIndex(), 0);
        QTest::keyClick(m_view.get(), Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(m_view->selectedIndex(), 1);
    }

    void exportsDecodeBackToTheDrawing_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("bmp") << "bmp";
        QTest::newRow("png") << "png";
        QTest::newRow("svg") << "svg";
    }

    void exportsDecodeBackToTheDrawing()
    {
        QFETCH(QString, suffix);
        m_view->setBackColor(QColor(255, 255, 200));
        addRect(QRectF(100, 100, 200, 100), QColor(200, 0, 0));
        const QString path = m_dir->filePath(QStringLiteral("out.") + suffix);
        QVERIFY(m_view->exportBitmap(path).ok());
        QImage decoded;
        if (suffix == u"svg") {
            QSvgRenderer svg(path);
            QVERIFY(svg.isValid());
            QCOMPARE(svg.viewBox(), QRect(0, 0, 640, 480));
            decoded = QImage(640, 480, QImage::Format_RGB32);
            QPainter p(&decoded);
            svg.render(&p);
            p.end();
            QCOMPARE(decoded.pixelColor(200, 150), QColor(200, 0, 0));
            QCOMPARE(decoded.pixelColor(20, 20), QColor(255, 255, 200));
            return;
        }
        QImageReader reader(path);
        QCOMPARE(reader.format(), suffix.toLatin1());
        decoded = reader.read().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(decoded, m_view->drawingPicture());
    }

    void pdfExportHasTheCanvasAsItsPage()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("poppler-utils are not installed");
        m_view->setCanvasWidth(960);
        m_view->setCanvasHeight(480);
        addRect(QRectF(480, 0, 480, 240), QColor(0, 0, 200));
        const QString pdf = m_dir->filePath(QStringLiteral("lab.pdf"));
        QVERIFY(m_view->exportBitmap(pdf).ok());
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY(info.waitForFinished());
        QVERIFY2(info.readAllStandardOutput().contains("720 x 360 pts"), "page is 10 x 5 inches");
        QProcess render;
        render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("48"), QStringLiteral("-png"),
                                                 pdf, m_dir->filePath(QStringLiteral("page"))});
        QVERIFY(render.waitForFinished());
        const QImage page(m_dir->filePath(QStringLiteral("page-1.png")));
        QCOMPARE(page.size(), QSize(480, 240));
        QCOMPARE(page.pixelColor(360, 60), QColor(0, 0, 200));
        QCOMPARE(page.pixelColor(120, 180), QColor(Qt::white));
    }

private:
    QPoint at(qreal x, qreal y) const { return m_view->mapFromScene(QPointF(x, y)); }

    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget *vp = m_view->viewport();
        const QPoint a = at(from.x(), from.y());
        const QPoint b = at(to.x(), to.y());
        QMouseEvent press(QEvent::MouseButtonPress, a, vp->mapToGlobal(a), Qt::LeftButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(vp, &press);
        const QPoint mid = (a + b) / 2;
        QMouseEvent move1(QEvent::MouseMove, mid, vp->mapToGlobal(mid), Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(vp, &move1);
        QMouseEvent move2(QEvent::MouseMove, b, vp->mapToGlobal(b), Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(vp, &move2);
        QMouseEvent release(QEvent::MouseButtonRelease, b, vp->mapToGlobal(b), Qt::LeftButton, Qt::NoButton, modifiers);
        QApplication::sendEvent(vp, &release);
    }

    void addRect(QRectF rect, QColor fill)
    {
        DrawObject o;
        o.rect = rect;
        o.fill = fill;
        o.borderWidth = 0;
        m_view->insertObject(o);
    }

    std::unique_ptr<ObjDraw> m_view;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestObjDraw)
#include "tst_objdraw.moc"
