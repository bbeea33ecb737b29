#include "drawitem.h"

#include <QFont>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace tovradocs::Internal {

DrawItem::DrawItem(const DrawObject &object, QGraphicsItem *parent) : QGraphicsItem(parent)
{
    setFlags(ItemIsSelectable | ItemIsMovable);
    setObject(object);
}

void DrawItem::setObject(const DrawObject &object)
{
    prepareGeometryChange();
    for (QGraphicsItem *child : childItems())
        delete child;
    m_object = object;
    m_object.children.clear();
    for (const DrawObject &child : object.children) {
        auto *item = new DrawItem(child, this);
        item->setFlag(ItemIsSelectable, false);
        item->setFlag(ItemIsMovable, false);
    }
    applyGeometry();
    update();
}

void DrawItem::applyGeometry()
{
    setPos(m_object.rect.topLeft());
    setTransformOriginPoint(localBox().center());
    setRotation(m_object.rotation);
}

void DrawItem::setSize(const QSizeF &size)
{
    prepareGeometryChange();
    m_object.rect.setSize(size);
    setTransformOriginPoint(localBox().center());
    update();
}

DrawObject DrawItem::object() const
{
    DrawObject o = m_object;
    o.rect.moveTopLeft(pos());
    o.rotation = rotation();
    for (const QGraphicsItem *child : childItems()) {
        if (child->type() == Type)
            o.children << static_cast<const DrawItem *>(child)->object();
    }
    return o;
}

Qt::BrushStyle DrawItem::brushStyle(FillStyle style)
{
    switch (style) {
    case FillStyle::Solid: return Qt::SolidPattern;
    case FillStyle::Transparent: return Qt::NoBrush;
    case FillStyle::HorLine: return Qt::HorPattern;
    case FillStyle::VertLine: return Qt::VerPattern;
    case FillStyle::UpwardDiag: return Qt::BDiagPattern;
    case FillStyle::DownwardDiag: return Qt::FDiagPattern;
    case FillStyle::Cross: return Qt::CrossPattern;
    case FillStyle::DiagCross: return Qt::DiagCrossPattern;
    }
    return Qt::NoBrush;
}

QRectF DrawItem::gripRect() const
{
    const QPointF corner = localBox().normalized().bottomRight();
    return QRectF(corner - QPointF(4, 4), QSizeF(8, 8));
}

QRectF DrawItem::boundingRect() const
{
    const qreal margin = m_object.borderWidth / 2.0 + 5; // pen and resize grip
    QRectF box = localBox().normalized();
    if (m_object.kind == ShapeKind::Group)
        box = childrenBoundingRect() | box;
    return box.adjusted(-margin, -margin, margin, margin);
}

QPainterPath DrawItem::shape() const
{
    QPainterPath path;
    const QRectF box = localBox().normalized();
    if (m_object.kind == ShapeKind::Line) {
        // A thin line is hard to hit; give it a few pixels either side.
        QPainterPathStroker stroker;
        stroker.setWidth(qMax(6, m_object.borderWidth + 4));
        QPainterPath line;
        line.moveTo(0, 0);
        line.lineTo(localBox().bottomRight());
        return stroker.createStroke(line);
    }
    path.addRect(box);
    return path;
}

void DrawItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const DrawObject &o = m_object;
    const QRectF box = localBox().normalized();
    QPen pen = o.borderWidth > 0 ? QPen(o.border, o.borderWidth) : QPen(Qt::NoPen);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(QBrush(o.fill, brushStyle(o.fillStyle)));
    painter->setRenderHint(QPainter::Antialiasing, o.kind != ShapeKind::Rectangle && o.kind != ShapeKind::Picture);

    switch (o.kind) {
    case ShapeKind::Line:
        painter->drawLine(QPointF(0, 0), localBox().bottomRight());
        break;
    case ShapeKind::Arc:
        painter->drawArc(box, qRound(o.arcStart * 16), qRound(o.arcSpan * 16));
        break;
    case ShapeKind::Rectangle:
        painter->drawRect(box);
        break;
    case ShapeKind::RoundRectangle:
        painter->drawRoundedRect(box, o.roundSize / 2.0, o.roundSize / 2.0);
        break;
    case ShapeKind::Ellipse:
        painter->drawEllipse(box);
        break;
    case ShapeKind::Polygon:
    case ShapeKind::Star:
        painter->drawPolygon(shapeOutline(o.kind, o.points, box));
        break;
    case ShapeKind::Text: {
        if (o.fillStyle != FillStyle::Transparent)
            painter->fillRect(box, QBrush(o.fill, brushStyle(o.fillStyle)));
        QFont font(o.fontFamily);
        font.setPointSizeF(o.fontSize);
        font.setBold(o.bold);
        font.setItalic(o.italic);
        font.setUnderline(o.underline);
        font.setStrikeOut(o.strikeOut);
        painter->setFont(font);
        painter->setPen(o.border);
        const Qt::Alignment align = o.align == TextAlign::Center ? Qt::AlignHCenter
            : o.align == TextAlign::Right                       ? Qt::AlignRight
                                                                : Qt::AlignLeft;
        painter->drawText(box, int(align | Qt::AlignTop | Qt::TextWordWrap), o.text);
        break;
    }
    case ShapeKind::Picture:
        painter->setRenderHint(QPainter::SmoothPixmapTransform,
                               painter->worldTransform().m11() * painter->worldTransform().m22() < 4);
        painter->drawImage(box, o.picture);
        break;
    case ShapeKind::Group:
        break;
    }

    if (option->state & QStyle::State_Selected) {
        painter->setRenderHint(QPainter::Antialiasing, false);
        QPen dash(QColor(0, 120, 215), 0, Qt::DashLine);
        painter->setPen(dash);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(o.kind == ShapeKind::Group ? childrenBoundingRect() | box : box);
        painter->setPen(QPen(QColor(0, 120, 215), 0));
        painter->setBrush(Qt::white);
        painter->drawRect(gripRect());
    }
}

} // namespace tovradocs::Internal
