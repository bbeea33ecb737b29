#pragma once

#include "component/result.h"

#include <QColor>
#include <QList>
#include <QWidget>

namespace tovradocs::Internal {

// A grid of colour swatches. Pressing one reports its colour; hovering reports
// the colour under the pointer so the window can show it. A "*.pal" file
// replaces the swatches.
class ColorPal : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int columns READ columns WRITE setColumns)

public:
    explicit ColorPal(QWidget *parent = nullptr);

    QList<QColor> colors() const { return m_colors; }
    void setColors(const QList<QColor> &colors);
    // The swatches stay as they were when the file cannot be used.
    Outcome loadPalette(const QString &path);

    int columns() const { return m_columns; }
    void setColumns(int columns);

    // The swatch at a point; -1 outside every swatch.
    int indexAt(const QPoint &pos) const;
    QRect swatchRect(int index) const;

    QSize sizeHint() const override;

    static QList<QColor> defaultColors();

Q_SIGNALS:
    void colorClicked(const QColor &color, Qt::MouseButton button);
    void colorHovered(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QSize swatchSize() const;

    QList<QColor> m_colors;
    int m_columns = 16;
    int m_hovered = -1;
};

} // namespace tovradocs::Internal
