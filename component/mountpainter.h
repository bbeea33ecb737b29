#pragma once

#include "component/mount.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QStringList>

class QPainter;

namespace tovradocs::Internal {

// How a mount looks on screen and in exported pictures and PDFs: a dark
// board, each slot a frame with its picture fitted in and its teeth named
// below. An empty slot (null picture) shows its frame and caption, so the
// layout reads the same however many slots are filled.
struct MountDrawing
{
    const Mount *mount = nullptr;
    QStringList captions;    // one per slot
    QList<QImage> pictures;  // one per slot; null: empty
    int selected = -1;       // slot drawn highlighted, -1 none
    bool numberEmptySlots = true;
};

// The rectangle of the picture inside a slot's rectangle (the caption
// strip below it excluded), for a caption font of captionHeight.
QRectF slotPictureRect(const QRectF &slot, qreal captionHeight);

// Draws into area; returns the slot rectangles it used.
QList<QRectF> drawMount(QPainter &painter, const QRectF &area, const MountDrawing &drawing);

// The whole mount as one picture of width pixels (height from the layout).
QImage renderMount(const MountDrawing &drawing, int width);

} // namespace tovradocs::Internal
