#pragma once

#include "icons/iconkit.h"

#include <QPoint>
#include <QRect>

namespace tovradocs::Internal::IconTools {

enum Tool { Select, Paint, Fill, Line, Square, FilledSquare, Circle, FilledCircle };

// What one mouse button draws with: the colour-plane pen, the mask-plane pen
// and the colour the editing area shows.
struct Pens
{
    QRgb image = 0xff000000;
    QRgb mask = 0xff000000;
    QRgb display = 0xff000000;
};

// The rectangle with a and b as opposite corners, both inside it.
QRect spanning(QPoint a, QPoint b);

// Pens for a button in Left/Right mode (screenMode false) or Screen/Inverse mode.
Pens pensFor(const IconKit &kit, bool screenMode, bool rightButton);

// A brush-sized square centred on p, clipped to the icon.
void paint(Planes &planes, QPoint p, int brush, const Pens &pens);
// Line, Square, Filled Square, Circle or Filled Circle from a to b.
void drawShape(Planes &planes, int tool, QPoint a, QPoint b, int brush, const Pens &pens);
// Fills the area of one colour around p as the icon looks over the screen
// colour; the pixels that change take the pens. False when nothing changed.
bool fill(Planes &planes, QPoint p, QRgb screen, const Pens &pens);

// Selection operations on a rectangle of icon pixels.
void clear(Planes &planes, const QRect &r);
void flipHorizontal(Planes &planes, const QRect &r);
void flipVertical(Planes &planes, const QRect &r);
void rotate(Planes &planes, const QRect &r, bool right); // r must be square
void invert(Planes &planes, const QRect &r);

// A pasted picture as a floating piece. With transparent set, pixels of the
// screen colour become transparent.
Planes fromPicture(const QImage &picture, bool transparent, QRgb screen);

} // namespace tovradocs::Internal::IconTools
