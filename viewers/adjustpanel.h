#pragma once

#include "viewers/picturecanvas.h"

#include <QWidget>

class QAbstractButton;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QToolButton;

namespace tovradocs::Internal {

// The commands over an adjustable picture: window presets and numbers,
// tone, turns, crop, the drawing and measuring tools, the overlay's
// visibility, the loupe, undo and "Reset". Every control changes the
// canvas's state, which stores it for the entry.
class AdjustPanel : public QWidget
{
    Q_OBJECT

public:
    explicit AdjustPanel(PictureCanvas *canvas, QWidget *parent = nullptr);

    // Follows the canvas's state into the controls.
    void refresh();

private:
    void changeAdjust(const std::function<void(PictureState &)> &change);
    QToolButton *button(const char *name, const QString &text, const QString &tip, bool checkable = false);
    void chooseTool(PictureCanvas::Tool tool, QToolButton *pressed);

    PictureCanvas *m_canvas;
    QComboBox *m_preset;
    QDoubleSpinBox *m_center;
    QDoubleSpinBox *m_width;
    QToolButton *m_invert;
    QDoubleSpinBox *m_gamma;
    QDoubleSpinBox *m_sharpen;
    QToolButton *m_equalise;
    QToolButton *m_showOverlay;
    QToolButton *m_loupe;
    QSpinBox *m_loupeFactor;
    QLabel *m_calibration;
    QList<QPair<QToolButton *, PictureCanvas::Tool>> m_tools;
    bool m_refreshing = false;
};

// A picture with its panel above it: what each picture viewer shows.
class AdjustableView : public QWidget
{
    Q_OBJECT

public:
    explicit AdjustableView(QWidget *parent = nullptr);
    PictureCanvas *canvas() const { return m_canvas; }
    AdjustPanel *panel() const { return m_panel; }

private:
    PictureCanvas *m_canvas;
    AdjustPanel *m_panel;
};

} // namespace tovradocs::Internal
