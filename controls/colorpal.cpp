#include "colorpal.h"

#include "controls/palettefile.h"

#include <QMouseEvent>
#include <QPainter>

namespace tovradocs::Internal {

ColorPal::ColorPal(QWidget *parent) : QWidget(parent), m_colors(defaultColors())
{
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QList<QColor> ColorPal::defaultColors()
{
    // The sixteen basic colours, then a light and a dark row.
    static const QRgb basics[] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                  0x008080, 0xc0c0c0, 0x808080, 0xff0000, 0x00ff00, 0xffff00,
                                  0x0000ff, 0xff00ff, 0x00ffff, 0xffffff};
    QList<QColor> colors;
    for (QRgb rgb : basics)
        colors << QColor(rgb);
    for (int i = 0; i < 16; ++i)
        colors << QColor::fromHsv(i * 360 / 16, 90, 255);
    for (int i = 0; i < 16; ++i)
        colors << QColor::fromHsv(i * 360 / 16, 255, 150);
    return colors;
}

void ColorPal::setColors(const QList<QColor> &colors)
{
    m_colors = colors;
    m_hovered = -1;
    updateGeometry();
    update();
}

Outcome ColorPal::loadPalette(const QString &path)
{
    const Result<QList<QColor>> colors = loadPaletteFile(path);
    if (!colors)
        return Outcome::failure(colors.error());
    setColors(*colors);
    return Outcome();
}

void ColorPal::setColumns(int columns)
{
    m_columns = qMax(1, columns);
    updateGeometry();
    update();
}

QSize ColorPal::swatchSize() const
{
    const int side = qMax(6, (width() - 1) / m_columns);
    return {side, side};
}

QRect ColorPal::swatchRect(int index) const
{
    const QSize s = swatchSize();
    return QRect((index % m_columns) * s.width(), (index / m_columns) * s.height(), s.width(), s.height());
}

int ColorPal::indexAt(const QPoint &pos) const
{
    const QSize s = swatchSize();
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= s.width() * m_columns)
        return -1;
    const int index = (pos.y() / s.height()) * m_columns + pos.x() / s.width();
    return index < m_colors.size() ? index : -1;
}

QSize ColorPal::sizeHint() const
{
    const int rows = int((m_colors.size() + m_columns - 1) / m_columns);
    return {m_columns * 14 + 1, qMax(1, rows) * 14 + 1};
}

void ColorPal::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    for (int i = 0; i < m_colors.size(); ++i) {
        const QRect r = swatchRect(i);
        p.fillRect(r, m_colors.at(i));
        p.setPen(i == m_hovered ? palette().color(QPalette::Highlight) : QColor(Qt::gray));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void ColorPal::mousePressEvent(QMouseEvent *event)
{
    const int index = indexAt(event->position().toPoint());
    if (index >= 0)
        Q_EMIT colorClicked(m_colors.at(index), event->button());
}

void ColorPal::mouseMoveEvent(QMouseEvent *event)
{
    const int index = indexAt(event->position().toPoint());
    if (index == m_hovered)
        return;
    m_hovered = index;
    update();
    if (index >= 0)
        Q_EMIT colorHovered(m_colors.at(index));
}

} // namespace tovradocs::Internal
