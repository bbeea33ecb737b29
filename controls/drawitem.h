#pragma once

#include "controls/drawing.h"

#include <QGraphicsItem>

namespace tovradocs::Internal {

// One object of an ObjDraw drawing on its scene. The item's position is the
// object's top-left (a line's start) and its local box starts at (0, 0), so
// moving, rotating and z-order stay Qt's own; a group's children are child items.
class DrawItem : public QGraphicsItem
{
public:
    explicit DrawItem(const DrawObject &object, QGraphicsItem *parent = nullptr);

    enum { Type = UserType + 71 };
    int type() const override { return Type; }

    // The object as it stands now, children included, rect in parent coordinates.
    DrawObject object() const;
    ShapeKind kind() const { return m_object.kind; }
    // Changes what is drawn; position and rotation come from the object too.
    void setObject(const DrawObject &object);
    // The object's own fields without geometry or children, for property edits.
    const DrawObject &properties() const { return m_object; }

    // The box in local coordinates; a line's may have a negative size.
    QRectF localBox() const { return QRectF(QPointF(0, 0), m_object.rect.size()); }
    void setSize(const QSizeF &size);

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    static Qt::BrushStyle brushStyle(FillStyle style);
    // Where the resize grip of a selected item is, in local coordinates.
    QRectF gripRect() const;

private:
    void applyGeometry();

    DrawObject m_object; // children live as child items, not here
};

} // namespace tovradocs::Internal
