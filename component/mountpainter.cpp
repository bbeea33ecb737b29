#include "component/mountpainter.h"

#include <QFontMetricsF>
#include <QPainter>

namespace tovradocs::Internal {

namespace {

const QColor kBoard(34, 34, 38);
const QColor kFrame(110, 110, 118);
const QColor kEmpty(52, 52, 58);
const QColor kCaption(235, 235, 235);
const QColor kSelected(80, 160, 255);

QRectF fitted(const QSizeF &picture, const QRectF &box)
{
    if (picture.isEmpty() || box.isEmpty())
        return {};
    const QSizeF size = picture.scaled(box.size(), Qt::KeepAspectRatio);
    return QRectF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2,
                  size.width(), size.height());
}

} // namespace

QRectF slotPictureRect(const QRectF &slot, qreal captionHeight)
{
    const qreal pad = std::max<qreal>(1, captionHeight * 0.15);
    return slot.adjusted(pad, pad, -pad, -(captionHeight + pad));
}

QList<QRectF> drawMount(QPainter &painter, const QRectF &area, const MountDrawing &drawing)
{
    painter.save();
    painter.fillRect(area, kBoard);
    const Mount &mount = *drawing.mount;
    const qreal unit = std::min(area.width() / mount.grid.width(), area.height() / mount.grid.height());
    QFont font = painter.font();
    // Captions scale with the layout so a printed or exported mount reads as on screen.
    font.setPixelSize(std::max(8, int(unit * 0.42)));
    painter.setFont(font);
    const qreal captionHeight = QFontMetricsF(font, painter.device()).height() * 1.1;
    const QList<QRectF> rects = slotRects(mount, area.adjusted(unit * 0.3, unit * 0.3, -unit * 0.3, -unit * 0.3),
                                          unit * 0.25);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < rects.size(); ++i) {
        const QRectF &slot = rects.at(i);
        const QRectF pictureArea = slotPictureRect(slot, captionHeight);
        const QImage picture = i < drawing.pictures.size() ? drawing.pictures.at(i) : QImage();
        painter.fillRect(pictureArea, kEmpty);
        if (!picture.isNull()) {
            painter.drawImage(fitted(picture.size(), pictureArea), picture);
        } else if (drawing.numberEmptySlots) {
            painter.setPen(kFrame);
            painter.drawText(pictureArea, Qt::AlignCenter, QString::number(i + 1));
        }
        painter.setPen(QPen(i == drawing.selected ? kSelected : kFrame, i == drawing.selected ? 3 : 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(slot);
        painter.setPen(kCaption);
        const QRectF captionArea(slot.left(), slot.bottom() - captionHeight, slot.width(), captionHeight);
        const QString caption = i < drawing.captions.size() ? drawing.captions.at(i) : QString();
        painter.drawText(captionArea, Qt::AlignCenter,
                         QFontMetricsF(font, painter.device()).elidedText(caption, Qt::ElideRight, captionArea.width()));
    }
    painter.restore();
    return rects;
}

QImage renderMount(const MountDrawing &drawing, int width)
{
    const Mount &mount = *drawing.mount;
    const int height = std::max(1, int(qint64(width) * mount.grid.height() / mount.grid.width()));
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBoard);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawMount(painter, QRectF(0, 0, width, height), drawing);
    return image;
}

} // namespace tovradocs::Internal
