#pragma once

#include <QImage>

namespace tovradocs::Internal {

// The component's own numbered icons, drawn rather than shipped as files.
// Numbers without a drawing of their own get a tile showing the number.
// 32 x 32, premultiplied ARGB; needs a QGuiApplication (text is drawn).
QImage mediaIcon(int id);

// Icon numbers the windows use.
enum MediaIconId {
    ImageViewerIcon = 584,
};

} // namespace tovradocs::Internal
