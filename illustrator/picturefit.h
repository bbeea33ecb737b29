#pragma once

#include <QRect>
#include <QSize>

namespace tovradocs::Internal {

// Where a picture of size picture goes in box: unchanged and centred when it
// fits; otherwise scaled by the box's shape (a box wider than high fixes the
// height, any other box the width) and centred. A picture much wider than a
// wide box therefore stays wider than the box. An empty picture is returned
// unchanged at (0, 0).
QRect fitPicture(QSize picture, QSize box);

// The size a picture shown at shown is kept at: shown, or smaller in the same
// proportions when it would hold more than maxPixels. The drawing still shows
// it at shown.
QSize storedPictureSize(QSize shown, qint64 maxPixels);

} // namespace tovradocs::Internal
