#include "objdraw.h"

#include "component/dialogservice.h"
#include "controls/drawitem.h"
#include "controls/ilsformat.h"

#include <QFileInfo>
#include <QGraphicsScene>
#include <QImageWriter>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QScrollBar>
#include <QSvgGenerator>

namespace tovradocs::Internal {

const QString ObjDraw::kClipboardFormat = QStringLiteral("application/x-tovradocs-illustration");
const QString ObjDraw::kInsertableFormat = QStringLiteral("application/x-tovradocs-insertable");

namespace {

ShapeKind kindOf(ObjDraw::Tool tool)
{
    switch (tool) {
    case ObjDraw::Tool::Line: return ShapeKind::Line;
    case ObjDraw::Tool::Arc: return ShapeKind::Arc;
    case ObjDraw::Tool::RoundRectangle: return ShapeKind::RoundRectangle;
    case ObjDraw::Tool::Ellipse: return ShapeKind::Ellipse;
    case ObjDraw::Tool::Polygon: return ShapeKind::Polygon;
    case ObjDraw::Tool::Star: return ShapeKind::Star;
    case ObjDraw::Tool::Text: return ShapeKind::Text;
    default: return ShapeKind::Rectangle;
    }
}

} // namespace

ObjDraw::ObjDraw(QWidget *parent) : QGraphicsView(parent), m_scene(new QGraphicsScene(this))
{
    setScene(m_scene);
    setAcceptDrops(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setDragMode(RubberBandDrag);
    setRubberBandSelectionMode(Qt::IntersectsItemShape);
    setTransformationAnchor(AnchorUnderMouse);
    setViewportUpdateMode(SmartViewportUpdate);
    setRenderHint(QPainter::Antialiasing);
    m_scene->setItemIndexMethod(QGraphicsScene::BspTreeIndex);
    updateSceneRect();
    connect(m_scene, &QGraphicsScene::selectionChanged, this, [this] {
        Q_EMIT selectionChanged();
        Q_EMIT objectChanged();
    });
}

ObjDraw::~ObjDraw()
{
    // Items go before the view so no selection signal reaches a half-destroyed control.
    m_scene->blockSignals(true);
    m_scene->clear();
}

void ObjDraw::updateSceneRect()
{
    // A margin around the canvas keeps its edges reachable at any zoom.
    m_scene->setSceneRect(QRectF(QPointF(0, 0), m_canvas).adjusted(-20, -20, 20, 20));
    viewport()->update();
}

void ObjDraw::setCanvasWidth(int width)
{
    width = qBound(1, width, IlsLimits().maxCanvas);
    if (width == m_canvas.width())
        return;
    m_canvas.setWidth(width);
    updateSceneRect();
    Q_EMIT drawingChanged();
}

void ObjDraw::setCanvasHeight(int height)
{
    height = qBound(1, height, IlsLimits().maxCanvas);
    if (height == m_canvas.height())
        return;
    m_canvas.setHeight(height);
    updateSceneRect();
    Q_EMIT drawingChanged();
}

void ObjDraw::setUndoBufferSize(int size)
{
    m_undoSize = qMax(0, size);
    while (m_undo.size() > m_undoSize)
        m_undo.removeFirst();
    while (m_redo.size() > m_undoSize)
        m_redo.removeFirst();
}

void ObjDraw::setShowCanvasSize(bool show)
{
    m_showCanvasSize = show;
    viewport()->update();
}

void ObjDraw::setArrowStep(int step)
{
    m_arrowStep = qMax(1, step);
}

void ObjDraw::setZoomFactor(qreal factor)
{
    factor = qBound(kMinZoom, factor, kMaxZoom);
    if (qFuzzyCompare(factor, m_zoom))
        return;
    m_zoom = factor;
    setTransform(QTransform::fromScale(m_zoom, m_zoom));
    Q_EMIT zoomChanged(m_zoom);
}

void ObjDraw::setBackColor(const QColor &color)
{
    if (color == m_background)
        return;
    remember();
    m_background = color;
    viewport()->update();
    changed();
}

// --- whole drawing ---------------------------------------------------------

Drawing ObjDraw::drawing() const
{
    Drawing d;
    d.canvas = m_canvas;
    d.background = m_background;
    const QList<DrawItem *> items = orderedItems();
    d.objects.reserve(items.size());
    for (const DrawItem *item : items)
        d.objects << item->object();
    return d;
}

void ObjDraw::setDrawing(const Drawing &drawing)
{
    rebuild(drawing);
    m_undo.clear();
    m_redo.clear();
}

void ObjDraw::rebuild(const Drawing &drawing)
{
    clearItems();
    m_canvas = drawing.canvas;
    m_background = drawing.background;
    for (qsizetype i = 0; i < drawing.objects.size(); ++i)
        addItem(drawing.objects.at(i), qreal(i));
    updateSceneRect();
    Q_EMIT selectionChanged();
    Q_EMIT objectChanged();
}

void ObjDraw::clearItems()
{
    m_drawing = nullptr;
    m_resizing = nullptr;
    m_moveStart.clear();
    const QSignalBlocker block(m_scene);
    m_scene->clear();
}

DrawItem *ObjDraw::addItem(const DrawObject &object, qreal z)
{
    auto *item = new DrawItem(object);
    item->setZValue(z);
    m_scene->addItem(item);
    return item;
}

qreal ObjDraw::topZ() const
{
    const QList<DrawItem *> items = orderedItems();
    return items.isEmpty() ? 0 : items.last()->zValue() + 1;
}

int ObjDraw::objectCount() const
{
    int count = 0;
    for (const QGraphicsItem *item : m_scene->items()) {
        if (!item->parentItem() && item->type() == DrawItem::Type)
            ++count;
    }
    return count;
}

QList<DrawItem *> ObjDraw::orderedItems() const
{
    QList<DrawItem *> items;
    for (QGraphicsItem *item : m_scene->items(Qt::AscendingOrder)) {
        if (!item->parentItem() && item->type() == DrawItem::Type)
            items << static_cast<DrawItem *>(item);
    }
    return items;
}

QList<DrawItem *> ObjDraw::selectedItems() const
{
    QList<DrawItem *> items;
    for (DrawItem *item : orderedItems()) {
        if (item->isSelected())
            items << item;
    }
    return items;
}

void ObjDraw::renumber(const QList<DrawItem *> &order)
{
    for (int i = 0; i < order.size(); ++i)
        order.at(i)->setZValue(i);
}

void ObjDraw::newDrawing()
{
    Drawing empty;
    empty.canvas = m_canvas;
    empty.background = m_background;
    setDrawing(empty);
}

Outcome ObjDraw::loadDrawing(const QString &path)
{
    Result<Drawing> loaded = loadIlsFile(path);
    if (!loaded)
        return Outcome::failure(loaded.error());
    setDrawing(*loaded);
    return Outcome();
}

Outcome ObjDraw::saveDrawing(const QString &path)
{
    Drawing d = drawing();
    Outcome saved = saveIlsFile(path, d);
    return saved;
}

void ObjDraw::render(QPainter *painter) const
{
    const QRectF canvas(QPointF(0, 0), m_canvas);
    painter->fillRect(canvas, m_background);
    // Selection marks belong to the screen, not to the picture.
    QList<QGraphicsItem *> selected = m_scene->selectedItems();
    {
        const QSignalBlocker block(m_scene);
        for (QGraphicsItem *item : selected)
            item->setSelected(false);
        m_scene->render(painter, canvas, canvas);
        for (QGraphicsItem *item : selected)
            item->setSelected(true);
    }
}

QImage ObjDraw::drawingPicture() const
{
    QImage picture(m_canvas, QImage::Format_RGB32);
    QPainter painter(&picture);
    render(&painter);
    return picture;
}

Outcome ObjDraw::exportBitmap(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Outcome::failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    bool written = false;
    if (suffix == u"svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(m_canvas);
        svg.setViewBox(QRect(QPoint(0, 0), m_canvas));
        svg.setResolution(96);
        QPainter painter(&svg);
        render(&painter);
        written = painter.end();
    } else if (suffix == u"pdf") {
        // One page the size of the canvas at 96 pixels per inch.
        QPdfWriter pdf(&file);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(m_canvas) * 72.0 / 96.0, QPageSize::Point, QString(),
                                  QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF());
        QPainter painter(&pdf);
        render(&painter);
        written = painter.end();
    } else {
        QImageWriter writer(&file, suffix == u"png" ? "png" : "bmp");
        written = writer.write(drawingPicture());
        if (!written)
            return Outcome::failure(QStringLiteral("Cannot write %1: %2").arg(path, writer.errorString()));
    }
    if (!written || !file.commit())
        return Outcome::failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return Outcome();
}

// --- undo ------------------------------------------------------------------

void ObjDraw::remember()
{
    if (m_undoSize > 0)
        remember(drawing());
}

void ObjDraw::remember(const Drawing &before)
{
    remember(UndoStep {before, {}, {}});
}

void ObjDraw::rememberMove(const QList<int> &moved, const QPointF &by)
{
    remember(UndoStep {{}, moved, by});
}

void ObjDraw::remember(UndoStep step)
{
    if (m_undoSize <= 0)
        return;
    m_undo << std::move(step);
    while (m_undo.size() > m_undoSize)
        m_undo.removeFirst();
    m_redo.clear();
}

void ObjDraw::changed()
{
    Q_EMIT drawingChanged();
    Q_EMIT objectChanged();
}

void ObjDraw::undo()
{
    if (m_undo.isEmpty())
        return;
    m_redo << step(m_undo.takeLast(), -1);
    Q_EMIT drawingChanged();
}

ObjDraw::UndoStep ObjDraw::step(UndoStep step, int direction)
{
    if (step.moved.isEmpty()) {
        UndoStep back {drawing(), {}, {}};
        rebuild(step.drawing);
        return back;
    }
    // Objects are found by their place in the order, which undo keeps.
    QHash<int, DrawItem *> byOrder;
    for (QGraphicsItem *item : m_scene->items()) {
        if (!item->parentItem() && item->type() == DrawItem::Type)
            byOrder.insert(int(item->zValue()), static_cast<DrawItem *>(item));
    }
    for (int z : std::as_const(step.moved)) {
        if (DrawItem *item = byOrder.value(z))
            item->moveBy(direction * step.by.x(), direction * step.by.y());
    }
    Q_EMIT objectChanged();
    return step;
}

void ObjDraw::redo()
{
    if (m_redo.isEmpty())
        return;
    m_undo << step(m_redo.takeLast(), 1);
    Q_EMIT drawingChanged();
}

// --- painting --------------------------------------------------------------

void ObjDraw::drawBackground(QPainter *painter, const QRectF &rect)
{
    painter->fillRect(rect, palette().color(QPalette::Dark));
    const QRectF canvas(QPointF(0, 0), m_canvas);
    painter->fillRect(canvas.translated(3 / m_zoom, 3 / m_zoom), QColor(0, 0, 0, 60));
    painter->fillRect(canvas, m_background);
}

void ObjDraw::drawForeground(QPainter *painter, const QRectF &)
{
    if (!m_showCanvasSize)
        return;
    painter->save();
    painter->resetTransform();
    const QRect canvas = mapFromScene(QRectF(QPointF(0, 0), m_canvas)).boundingRect();
    painter->setPen(QPen(palette().color(QPalette::Highlight), 0, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(canvas);
    painter->setPen(palette().color(QPalette::BrightText));
    painter->drawText(QRect(canvas.bottomRight() + QPoint(-150, 4), QSize(150, 16)), Qt::AlignRight,
                      QStringLiteral("%1 x %2").arg(m_canvas.width()).arg(m_canvas.height()));
    painter->restore();
}

// --- tools and mouse -------------------------------------------------------

void ObjDraw::setTool(Tool tool)
{
    m_tool = tool;
    setDragMode(tool == Tool::Select ? RubberBandDrag : NoDrag);
    viewport()->setCursor(tool == Tool::Select ? Qt::ArrowCursor : Qt::CrossCursor);
}

QRectF ObjDraw::dragBox(const QPointF &from, const QPointF &to, bool square) const
{
    QPointF end = to;
    if (square) {
        const qreal side = qMax(qAbs(to.x() - from.x()), qAbs(to.y() - from.y()));
        end = QPointF(from.x() + (to.x() < from.x() ? -side : side), from.y() + (to.y() < from.y() ? -side : side));
    }
    return QRectF(from, end);
}

void ObjDraw::mousePressEvent(QMouseEvent *event)
{
    const QPointF at = mapToScene(event->position().toPoint());
    m_pressPos = QPointF(qRound(at.x()), qRound(at.y()));
    if (event->button() != Qt::LeftButton) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    if (m_tool != Tool::Select && m_tool != Tool::Picture) {
        m_beforeGesture = drawing();
        DrawObject o = m_style;
        o.kind = kindOf(m_tool);
        o.rect = QRectF(m_pressPos, QSizeF(0, 0));
        o.rotation = 0;
        if (o.kind != ShapeKind::Text)
            o.text.clear();
        m_drawing = addItem(o, topZ());
        return;
    }
    // The grip of a single selected object resizes it.
    const QList<DrawItem *> selected = selectedItems();
    if (selected.size() == 1 && selected.first()->gripRect().contains(selected.first()->mapFromScene(at))) {
        m_beforeGesture = drawing();
        m_resizing = selected.first();
        return;
    }
    QGraphicsView::mousePressEvent(event);
    m_moveStart.clear();
    for (DrawItem *item : selectedItems())
        m_moveStart << qMakePair(item, item->pos());
}

void ObjDraw::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = mapToScene(event->position().toPoint());
    const QPointF snapped(qRound(at.x()), qRound(at.y()));
    Q_EMIT mouseMoved(snapped);
    if (m_drawing) {
        const bool square = (event->modifiers() & Qt::ControlModifier) && m_drawing->kind() != ShapeKind::Line;
        QRectF box = dragBox(m_pressPos, snapped, square);
        if (m_drawing->kind() != ShapeKind::Line)
            box = box.normalized();
        DrawObject o = m_drawing->properties();
        o.rect = box;
        m_drawing->setObject(o);
        return;
    }
    if (m_resizing) {
        QPointF local = m_resizing->mapFromScene(at);
        if (m_resizing->kind() != ShapeKind::Line)
            local = QPointF(qMax<qreal>(1, local.x()), qMax<qreal>(1, local.y()));
        m_resizing->setSize(QSizeF(qRound(local.x()), qRound(local.y())));
        Q_EMIT objectChanged();
        return;
    }
    QGraphicsView::mouseMoveEvent(event);
}

void ObjDraw::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drawing) {
        DrawItem *item = std::exchange(m_drawing, nullptr);
        QRectF box = item->properties().rect;
        if (item->kind() == ShapeKind::Text && qAbs(box.width()) < 4 && qAbs(box.height()) < 4)
            box.setSize(QSizeF(150, 40)); // a click places a text box of a useful size
        if (qAbs(box.width()) < 2 && qAbs(box.height()) < 2) {
            delete item; // a click without a drag draws nothing
            return;
        }
        DrawObject o = item->properties();
        o.rect = box;
        item->setObject(o);
        if (item->kind() == ShapeKind::Text && !editText(item)) {
            delete item;
            return;
        }
        remember(m_beforeGesture);
        {
            const QSignalBlocker block(m_scene);
            m_scene->clearSelection();
            item->setSelected(true);
        }
        finishShape();
        changed();
        return;
    }
    if (m_resizing) {
        m_resizing = nullptr;
        remember(m_beforeGesture);
        changed();
        return;
    }
    QGraphicsView::mouseReleaseEvent(event);
    // A drag moves every selected object by the same distance.
    const QList<QPair<DrawItem *, QPointF>> started = std::exchange(m_moveStart, {});
    if (started.isEmpty() || started.first().first->pos() == started.first().second)
        return;
    const QPointF by = started.first().first->pos() - started.first().second;
    QList<int> moved;
    for (const auto &[item, from] : started)
        moved << int(item->zValue());
    rememberMove(moved, by);
    changed();
}

void ObjDraw::finishShape()
{
    setTool(Tool::Select);
    Q_EMIT shapeFinished();
}

bool ObjDraw::editText(DrawItem *item)
{
    const std::optional<QString> text =
        DialogService::input(this, QStringLiteral("Text:"), QStringLiteral("Draw Text"), item->properties().text);
    if (!text || text->isEmpty())
        return false;
    DrawObject o = item->properties();
    o.text = *text;
    item->setObject(o);
    return true;
}

void ObjDraw::mouseDoubleClickEvent(QMouseEvent *event)
{
    auto *item = dynamic_cast<DrawItem *>(itemAt(event->position().toPoint()));
    while (item && item->parentItem())
        item = dynamic_cast<DrawItem *>(item->parentItem());
    if (m_tool == Tool::Select && item && item->kind() == ShapeKind::Text) {
        const Drawing before = drawing();
        const DrawObject old = item->properties();
        if (editText(item) && !(item->properties() == old)) {
            remember(before);
            changed();
        }
        return;
    }
    QGraphicsView::mouseDoubleClickEvent(event);
}

// --- keys ------------------------------------------------------------------

void ObjDraw::keyPressEvent(QKeyEvent *event)
{
    handleKey(event);
    // Reported after the key did its work, so a listener's text is the last word.
    Q_EMIT keyPressed(event->key(), event->modifiers());
}

void ObjDraw::handleKey(QKeyEvent *event)
{
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Plus:
        if (keypad)
            setZoomFactor(m_zoom + 0.1);
        return;
    case Qt::Key_Minus:
        if (keypad)
            setZoomFactor(m_zoom - 0.1);
        return;
    case Qt::Key_Delete:
        deleteSelection();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const bool forward = event->key() == Qt::Key_Right || event->key() == Qt::Key_Down;
        if (event->modifiers() & Qt::ControlModifier) {
            const int count = objectCount();
            if (count > 0)
                selectObject((selectedIndex() + (forward ? 1 : count - 1) + (selectedIndex() < 0 && !forward ? 1 : 0)) % count);
            return;
        }
        const qreal step = m_arrowStep;
        const QPointF by = event->key() == Qt::Key_Left ? QPointF(-step, 0)
            : event->key() == Qt::Key_Right             ? QPointF(step, 0)
            : event->key() == Qt::Key_Up                ? QPointF(0, -step)
                                                        : QPointF(0, step);
        moveSelection(by);
        return;
    }
    default:
        QGraphicsView::keyPressEvent(event);
    }
}

void ObjDraw::keyReleaseEvent(QKeyEvent *event)
{
    Q_EMIT keyReleased(event->key());
    QGraphicsView::keyReleaseEvent(event);
}

// --- drops -----------------------------------------------------------------

void ObjDraw::dragEnterEvent(QDragEnterEvent *event)
{
    event->setAccepted(event->mimeData()->hasImage() || event->mimeData()->hasFormat(kInsertableFormat));
}

void ObjDraw::dragMoveEvent(QDragMoveEvent *event)
{
    event->setAccepted(event->mimeData()->hasImage() || event->mimeData()->hasFormat(kInsertableFormat));
}

void ObjDraw::dropEvent(QDropEvent *event)
{
    event->acceptProposedAction();
    Q_EMIT dropped(event->mimeData(), mapToScene(event->position().toPoint()));
}

} // namespace tovradocs::Internal
