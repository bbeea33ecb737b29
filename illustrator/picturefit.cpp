#include "picturefit.h"

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

} // namespace tovradocs::Internal
