#include "picturefit.h"

#include <algorithm>
#include <cmath>

namespace tovradocs::Internal {

QRect fitPicture(QSize picture, QSize box)
{
    const int w = picture.width();
    const int h = picture.height();
    if (w <= 0 || h <= 0)
        return QRect(QPoint(0, 0), picture);
    const int W = box.width();
    const int H = box.height();
    QSize size = picture;
    if (w > W || h > H) {
        const double r = double(w) / h;
        size = W > H ? QSize(int(std::lround(H * r)), H) : QSize(W, int(std::lround(W / r)));
    }
    return QRect(QPoint((W - size.width()) / 2, (H - size.height()) / 2), size);
}

QSize storedPictureSize(QSize shown, qint64 maxPixels)
{
    const qint64 pixels = qint64(shown.width()) * shown.height();
    if (pixels <= maxPixels || shown.isEmpty())
        return shown;
    const double f = std::sqrt(double(maxPixels) / double(pixels));
    const int h = std::max(1, int(shown.height() * f));
    const int w
        = int(std::clamp<qint64>(qint64(shown.width() * f), 1, std::max<qint64>(1, maxPixels / h)));
    return QSize(w, h);
}

} // namespace tovradocs::Internal
