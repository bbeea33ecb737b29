// The edit commands of the drawing control: clipboard, order, alignment,
// groups and object properties.
#include "objdraw.h"

#include "controls/drawitem.h"
#include "controls/ilsformat.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QGraphicsScene>
#include <QImageWriter>
#include <QMimeData>
#include <QPainter>

namespace tovradocs::Internal {

namespace {

// Pasted objects land this far from the originals so both stay visible.
constexpr qreal kPasteOffset = 10;

QRectF sceneBounds(const QList<DrawItem *> &items)
{
    QRectF bounds;
    for (const DrawItem *item : items)
        bounds |= item->mapRectToScene(item->localBox().normalized());
    return bounds;
}

} // namespace

int ObjDraw::selectedIndex() const
{
    const QList<DrawItem *> items = orderedItems();
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i)->isSelected())
            return i;
    }
    return -1;
}

int ObjDraw::selectedCount() const
{
    return int(selectedItems().size());
}

std::optional<DrawObject> ObjDraw::selectedObject() const
{
    const QList<DrawItem *> items = selectedItems();
    if (items.isEmpty())
        return std::nullopt;
    return items.first()->object();
}

void ObjDraw::selectObject(int index)
{
    const QList<DrawItem *> items = orderedItems();
    const QSignalBlocker block(m_scene);
    m_scene->clearSelection();
    if (index >= 0 && index < items.size()) {
        items.at(index)->setSelected(true);
        ensureVisible(items.at(index));
    }
    Q_EMIT selectionChanged();
    Q_EMIT objectChanged();
}

void ObjDraw::selectAll()
{
    {
        const QSignalBlocker block(m_scene);
        for (DrawItem *item : orderedItems())
            item->setSelected(true);
    }
    Q_EMIT selectionChanged();
    Q_EMIT objectChanged();
}

void ObjDraw::unselectAll()
{
    m_scene->clearSelection();
}

void ObjDraw::insertObject(const DrawObject &object)
{
    remember();
    DrawItem *item = addItem(object, topZ());
    {
        const QSignalBlocker block(m_scene);
        m_scene->clearSelection();
        item->setSelected(true);
    }
    Q_EMIT selectionChanged();
    changed();
}

void ObjDraw::insertPicture(const QImage &picture, const QRectF &where)
{
    if (picture.isNull())
        return;
    DrawObject o = m_style;
    o.kind = ShapeKind::Picture;
    o.rect = where;
    o.rotation = 0;
    o.text.clear();
    o.picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Encoded once here, so every later save writes the bytes as they are;
    // from the picture as given, so an opaque one is stored without alpha.
    QBuffer buffer(&o.pictureData);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(picture.hasAlphaChannel() ? o.picture : picture);
    insertObject(o);
}

void ObjDraw::moveSelection(const QPointF &by)
{
    // No ordering needed: a move is remembered by the objects' places, not by a copy.
    QList<int> moved;
    for (QGraphicsItem *item : m_scene->selectedItems()) {
        if (item->parentItem() || item->type() != DrawItem::Type)
            continue;
        moved << int(item->zValue());
        item->moveBy(by.x(), by.y());
    }
    if (moved.isEmpty())
        return;
    rememberMove(moved, by);
    changed();
}

void ObjDraw::deleteSelection()
{
    const QList<DrawItem *> items = selectedItems();
    if (items.isEmpty())
        return;
    remember();
    {
        const QSignalBlocker block(m_scene);
        qDeleteAll(items);
    }
    renumber(orderedItems()); // places stay 0..n-1, which moves are remembered by
    Q_EMIT selectionChanged();
    changed();
}

// --- clipboard -------------------------------------------------------------

void ObjDraw::copy()
{
    const QList<DrawItem *> items = selectedItems();
    if (items.isEmpty())
        return;
    Drawing part;
    part.canvas = m_canvas;
    part.background = m_background;
    for (const DrawItem *item : items)
        part.objects << item->object();

    // Other programs get a picture of the copied objects.
    const QRect bounds = sceneBounds(items).toAlignedRect().intersected(QRect(QPoint(0, 0), m_canvas));
    QImage picture(bounds.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        ObjDraw scratch;
        scratch.setDrawing(part);
        scratch.setBackColor(Qt::transparent);
        QPainter painter(&picture);
        painter.translate(-bounds.topLeft());
        scratch.render(&painter);
    }
    auto *mime = new QMimeData;
    mime->setData(kClipboardFormat, writeIls(part));
    mime->setImageData(picture);
    QGuiApplication::clipboard()->setMimeData(mime);
}

void ObjDraw::cut()
{
    copy();
    deleteSelection();
}

bool ObjDraw::canPaste() const
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasFormat(kClipboardFormat);
}

Outcome ObjDraw::paste()
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasFormat(kClipboardFormat))
        return Outcome::failure(QStringLiteral("The clipboard holds no drawing objects."));
    // Another program may have put anything under our format.
    const Result<Drawing> part = readIls(mime->data(kClipboardFormat));
    if (!part)
        return Outcome::failure(part.error());
    remember();
    QList<DrawItem *> pasted;
    qreal z = topZ();
    for (DrawObject o : part->objects) {
        o.rect.translate(kPasteOffset, kPasteOffset);
        pasted << addItem(o, z++);
    }
    {
        const QSignalBlocker block(m_scene);
        m_scene->clearSelection();
        for (DrawItem *item : pasted)
            item->setSelected(true);
    }
    Q_EMIT selectionChanged();
    changed();
    return Outcome();
}

// --- order and alignment ---------------------------------------------------

void ObjDraw::bringToFront()
{
    moveSelectionToEnd(true);
}

void ObjDraw::sendToBack()
{
    moveSelectionToEnd(false);
}

// The selected objects above (front) or below all the others, keeping
// their own order.
void ObjDraw::moveSelectionToEnd(bool front)
{
    QList<DrawItem *> order = orderedItems();
    const QList<DrawItem *> selected = selectedItems();
    if (selected.isEmpty())
        return;
    remember();
    for (DrawItem *item : selected)
        order.removeOne(item);
    renumber(front ? order + selected : selected + order);
    changed();
}

void ObjDraw::bringForward()
{
    QList<DrawItem *> order = orderedItems();
    if (selectedItems().isEmpty())
        return;
    remember();
    // From the top down, so a run of selected objects moves up together.
    for (qsizetype i = order.size() - 2; i >= 0; --i) {
        if (order.at(i)->isSelected() && !order.at(i + 1)->isSelected())
            order.swapItemsAt(i, i + 1);
    }
    renumber(order);
    changed();
}

void ObjDraw::sendBackward()
{
    QList<DrawItem *> order = orderedItems();
    if (selectedItems().isEmpty())
        return;
    remember();
    for (qsizetype i = 1; i < order.size(); ++i) {
        if (order.at(i)->isSelected() && !order.at(i - 1)->isSelected())
            order.swapItemsAt(i, i - 1);
    }
    renumber(order);
    changed();
}

void ObjDraw::align(Align how)
{
    const QList<DrawItem *> items = selectedItems();
    if (items.isEmpty())
        return;
    // One object aligns to the canvas, several to the box around them.
    const QRectF target = items.size() == 1 ? QRectF(QPointF(0, 0), m_canvas) : sceneBounds(items);
    remember();
    for (DrawItem *item : items) {
        const QRectF box = item->mapRectToScene(item->localBox().normalized());
        QPointF by;
        switch (how) {
        case Align::Left: by.setX(target.left() - box.left()); break;
        case Align::Right: by.setX(target.right() - box.right()); break;
        case Align::CenterVertical: by.setX(target.center().x() - box.center().x()); break;
        case Align::Top: by.setY(target.top() - box.top()); break;
        case Align::Bottom: by.setY(target.bottom() - box.bottom()); break;
        case Align::CenterHorizontal: by.setY(target.center().y() - box.center().y()); break;
        case Align::CenterBoth: by = target.center() - box.center(); break;
        }
        item->moveBy(by.x(), by.y());
    }
    changed();
}

// --- groups ----------------------------------------------------------------

void ObjDraw::group()
{
    const QList<DrawItem *> items = selectedItems();
    if (items.size() < 2)
        return;
    remember();
    const QRectF bounds = sceneBounds(items);
    DrawObject g = m_style;
    g.kind = ShapeKind::Group;
    g.rect = bounds;
    g.rotation = 0;
    g.text.clear();
    g.picture = QImage();
    g.pictureData.clear();
    for (const DrawItem *item : items) {
        DrawObject child = item->object();
        child.rect.translate(-bounds.topLeft());
        g.children << child;
    }
    const qreal z = items.last()->zValue();
    {
        const QSignalBlocker block(m_scene);
        qDeleteAll(items);
    }
    DrawItem *grouped = addItem(g, z);
    renumber(orderedItems());
    {
        const QSignalBlocker block(m_scene);
        grouped->setSelected(true);
    }
    Q_EMIT selectionChanged();
    changed();
}

void ObjDraw::ungroup()
{
    QList<DrawItem *> groups;
    for (DrawItem *item : selectedItems()) {
        if (item->kind() == ShapeKind::Group)
            groups << item;
    }
    if (groups.isEmpty())
        return;
    remember();
    QList<DrawItem *> order = orderedItems();
    QList<DrawItem *> freed;
    for (DrawItem *g : groups) {
        QList<DrawItem *> children;
        for (QGraphicsItem *child : g->childItems()) {
            if (child->type() != DrawItem::Type)
                continue;
            auto *item = static_cast<DrawItem *>(child);
            // Keep where the child shows on the canvas: its centre and its turn.
            const QPointF centre = item->mapToScene(item->localBox().center());
            DrawObject o = item->object();
            o.rotation = std::fmod(o.rotation + g->rotation(), 360.0);
            o.rect.moveTopLeft(centre - item->localBox().center());
            children << new DrawItem(o);
        }
        const qsizetype at = order.indexOf(g);
        order.removeAt(at);
        for (qsizetype i = 0; i < children.size(); ++i) {
            m_scene->addItem(children.at(i));
            order.insert(at + i, children.at(i));
        }
        freed << children;
        const QSignalBlocker block(m_scene);
        delete g;
    }
    renumber(order);
    {
        const QSignalBlocker block(m_scene);
        for (DrawItem *item : freed)
            item->setSelected(true);
    }
    Q_EMIT selectionChanged();
    changed();
}

// --- properties ------------------------------------------------------------

void ObjDraw::setObjectProperty(Property property, const QVariant &value)
{
    auto apply = [&](DrawObject &o) {
        switch (property) {
        case Property::BorderColor: o.border = value.value<QColor>(); break;
        case Property::FillColor: o.fill = value.value<QColor>(); break;
        case Property::BorderWidth: o.borderWidth = qBound(0, value.toInt(), 100); break;
        case Property::FillStyle: o.fillStyle = FillStyle(qBound(0, value.toInt(), int(kLastFillStyle))); break;
        case Property::Points: o.points = qBound(3, value.toInt(), 100); break;
        case Property::RoundSize: o.roundSize = qBound(0, value.toInt(), 10000); break;
        case Property::Rotation: o.rotation = qBound(-360.0, value.toDouble(), 360.0); break;
        case Property::FontName: o.fontFamily = value.toString().left(256); break;
        case Property::FontSize: o.fontSize = qBound(1.0, value.toDouble(), 1000.0); break;
        case Property::Bold: o.bold = value.toBool(); break;
        case Property::Italic: o.italic = value.toBool(); break;
        case Property::Underline: o.underline = value.toBool(); break;
        case Property::StrikeOut: o.strikeOut = value.toBool(); break;
        case Property::TextAlignment: o.align = TextAlign(qBound(0, value.toInt(), 2)); break;
        }
    };
    if (property != Property::Rotation)
        apply(m_style);
    const QList<DrawItem *> items = selectedItems();
    if (items.isEmpty())
        return;
    remember();
    for (DrawItem *item : items) {
        DrawObject o = item->object();
        apply(o);
        item->setObject(o);
        item->setSelected(true);
    }
    changed();
}

} // namespace tovradocs::Internal
