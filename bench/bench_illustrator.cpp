// A drawing of 5,000 objects (shapes, text and 50 pictures inserted from
// 12-megapixel photographs, kept at the size they are shown) in the drawing
// control, against the same items on a plain QGraphicsScene in the same run:
// save, load, a full repaint at 100 % and 400 %, and moving 500 selected
// objects. The plain scene saves with QDataStream (pixmaps as PNG). Also the
// saved file's size against the pictures alone encoded as PNG. Median of runs.

#include "component/imageloader.h"
#include "controls/drawitem.h"
#include "controls/objdraw.h"

#include <QApplication>
#include <QBuffer>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsEllipseItem>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tovradocs::Internal;

namespace {

constexpr int kObjects = 5000;
constexpr int kPictures = 50;
constexpr int kMoved = 500;
constexpr int kRuns = 5;
const QSize kCanvas(4000, 3000);
const QSize kShown(400, 300);

double median(std::function<void()> work, int runs = kRuns)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

QString photo(const QString &folder)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 4000, 3000);
    g.setColorAt(0, QColor(200, 120, 90));
    g.setColorAt(1, QColor(30, 60, 140));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 400; ++i)
        p.fillRect(QRect((i * 397) % 3900, (i * 211) % 2900, 100, 100), QColor::fromHsv(i % 360, 150, 220));
    p.end();
    const QString path = folder + QStringLiteral("/photo.jpg");
    image.save(path, "jpg", 90);
    return path;
}

DrawObject shapeAt(int i)
{
    DrawObject o;
    static const ShapeKind kinds[] = {ShapeKind::Rectangle, ShapeKind::Ellipse, ShapeKind::Star,
                                      ShapeKind::Line, ShapeKind::RoundRectangle, ShapeKind::Text};
    o.kind = kinds[i % 6];
    o.rect = QRectF((i * 37) % 3900, (i * 53) % 2900, 40 + i % 60, 30 + i % 40);
    o.fill = QColor::fromHsv((i * 7) % 360, 180, 230);
    o.border = Qt::black;
    o.borderWidth = 1 + i % 3;
    if (o.kind == ShapeKind::Text)
        o.text = QStringLiteral("Tooth %1").arg(i % 48);
    return o;
}

// The same object as a stock item of a plain scene.
QGraphicsItem *plainItem(const DrawObject &o)
{
    QGraphicsItem *item = nullptr;
    const QRectF box(QPointF(0, 0), o.rect.size());
    switch (o.kind) {
    case ShapeKind::Ellipse: item = new QGraphicsEllipseItem(box); break;
    case ShapeKind::Line: item = new QGraphicsLineItem(QLineF(QPointF(0, 0), box.bottomRight())); break;
    case ShapeKind::Star: item = new QGraphicsPolygonItem(shapeOutline(o.kind, o.points, box)); break;
    case ShapeKind::Text: item = new QGraphicsSimpleTextItem(o.text); break;
    case ShapeKind::Picture: item = new QGraphicsPixmapItem(QPixmap::fromImage(o.picture)); break;
    default: item = new QGraphicsRectItem(box); break;
    }
    if (auto *shape = dynamic_cast<QAbstractGraphicsShapeItem *>(item)) {
        shape->setPen(QPen(o.border, o.borderWidth));
        shape->setBrush(o.fill);
    }
    item->setPos(o.rect.topLeft());
    item->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsMovable);
    return item;
}

void savePlain(QGraphicsScene &scene, const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QDataStream out(&file);
    const QList<QGraphicsItem *> items = scene.items(Qt::AscendingOrder);
    out << quint32(items.size());
    for (QGraphicsItem *item : items) {
        out << item->type() << item->pos() << item->boundingRect() << item->zValue();
        if (auto *shape = dynamic_cast<QAbstractGraphicsShapeItem *>(item))
            out << shape->pen() << shape->brush();
        if (auto *text = dynamic_cast<QGraphicsSimpleTextItem *>(item))
            out << text->text();
        if (auto *pixmap = dynamic_cast<QGraphicsPixmapItem *>(item))
            out << pixmap->pixmap();
    }
}

void loadPlain(QGraphicsScene &scene, const QString &path)
{
    scene.clear();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QDataStream in(&file);
    quint32 count = 0;
    in >> count;
    for (quint32 i = 0; i < count; ++i) {
        int type = 0;
        QPointF pos;
        QRectF box;
        qreal z = 0;
        in >> type >> pos >> box >> z;
        QGraphicsItem *item = nullptr;
        QPen pen;
        QBrush brush;
        if (type == QGraphicsRectItem::Type || type == QGraphicsEllipseItem::Type || type == QGraphicsPolygonItem::Type
            || type == QGraphicsLineItem::Type || type == QGraphicsSimpleTextItem::Type)
            in >> pen >> brush;
        if (type == QGraphicsSimpleTextItem::Type) {
            QString text;
            in >> text;
            item = new QGraphicsSimpleTextItem(text);
        } else if (type == QGraphicsPixmapItem::Type) {
            QPixmap pixmap;
            in >> pixmap;
            item = new QGraphicsPixmapItem(pixmap);
        } else if (type == QGraphicsEllipseItem::Type) {
            item = new QGraphicsEllipseItem(box);
        } else {
            item = new QGraphicsRectItem(box);
        }
        item->setPos(pos);
        item->setZValue(z);
        scene.addItem(item);
    }
}

void report(const char *what, double ours, double plain)
{
    std::printf("%-28s %10.1f ms %10.1f ms   %5.2fx\n", what, ours, plain, ours / plain);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString source = photo(dir.path());

    ObjDraw draw;
    draw.setUndoBufferSize(20);
    draw.setCanvasWidth(kCanvas.width());
    draw.setCanvasHeight(kCanvas.height());
    draw.resize(1600, 1000);
    QGraphicsScene plainScene(QRectF(QPointF(0, 0), kCanvas));
    QGraphicsView plainView(&plainScene);
    plainView.resize(1600, 1000);
    plainView.setRenderHint(QPainter::Antialiasing);

    // Pictures go in the way the window inserts them: decoded at the shown size.
    QElapsedTimer insertTimer;
    insertTimer.start();
    qint64 pngBytes = 0;
    for (int i = 0; i < kPictures; ++i) {
        ImageLoadOptions options;
        options.scaledTo = kShown;
        const QImage picture = *loadImage(source, options);
        const QRectF where((i % 10) * 400, (i / 10) * 600, kShown.width(), kShown.height());
        draw.insertPicture(picture, where);
        DrawObject o;
        o.kind = ShapeKind::Picture;
        o.rect = where;
        o.picture = picture;
        plainScene.addItem(plainItem(o));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "png");
        pngBytes += png.size();
    }
    const double insertMs = insertTimer.nsecsElapsed() / 1e6;
    Drawing d = draw.drawing();
    for (int i = 0; i < kObjects - kPictures; ++i) {
        d.objects << shapeAt(i);
        plainScene.addItem(plainItem(shapeAt(i)));
    }
    draw.setDrawing(d);
    draw.show();
    plainView.show();
    QApplication::processEvents();

    const QString ours = dir.filePath(QStringLiteral("bench.ils"));
    const QString plain = dir.filePath(QStringLiteral("bench.dat"));
    std::printf("%d objects, %d pictures from 4000x3000 JPEG shown at %dx%d (inserting took %.0f ms)\n\n",
                kObjects, kPictures, kShown.width(), kShown.height(), insertMs);
    std::printf("%-28s %13s %13s %8s\n", "operation", "ObjDraw", "QGraphicsScene", "ratio");
    report("save", median([&] { draw.saveDrawing(ours); }), median([&] { savePlain(plainScene, plain); }));
    report("load", median([&] { draw.loadDrawing(ours); }), median([&] { loadPlain(plainScene, plain); }));
    // Loading rebuilt both scenes; put the plain one back as it was for painting.
    plainScene.clear();
    for (const DrawObject &o : draw.drawing().objects)
        plainScene.addItem(plainItem(o));
    for (qreal zoom : {1.0, 4.0}) {
        draw.setZoomFactor(zoom);
        plainView.setTransform(QTransform::fromScale(zoom, zoom));
        draw.centerOn(2000, 1500);
        plainView.centerOn(2000, 1500);
        const double a = median([&] { draw.viewport()->grab(); });
        const double b = median([&] { plainView.viewport()->grab(); });
        report(zoom == 1 ? "repaint at 100 %" : "repaint at 400 %", a, b);
    }
    // Every tenth object selected in both.
    for (int i = 0; i < kMoved; ++i)
        draw.scene()->items(Qt::AscendingOrder).at(i * 10)->setSelected(true);
    const QList<QGraphicsItem *> plainItems = plainScene.items(Qt::AscendingOrder);
    for (int i = 0; i < kMoved; ++i)
        plainItems.at(i * 10)->setSelected(true);
    report("move 500 selected", median([&] { draw.moveSelection(QPointF(3, 2)); }),
           median([&] {
               for (QGraphicsItem *item : plainScene.selectedItems())
                   item->moveBy(3, 2);
           }));
    std::printf("\nfile size %.2f MB; pictures alone as PNG %.2f MB; ratio %.2f\n",
                QFileInfo(ours).size() / 1e6, pngBytes / 1e6, double(QFileInfo(ours).size()) / pngBytes);
    return 0;
}
