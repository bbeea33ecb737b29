#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace tovradocs::Internal {

class ObjDraw;

// Sets the drawing's canvas in pixels, inches or millimetres. The size is kept
// in pixels while the window is open and reaches the drawing only with OK.
class CanvasSize : public QDialog
{
    Q_OBJECT

public:
    static constexpr double kPixelsPerInch = 96;

    CanvasSize(ObjDraw *drawing, QWidget *parent = nullptr);

    qint32 keptWidth() const { return m_width; }
    qint32 keptHeight() const { return m_height; }
    // A pixel count in unit 0 (pixels), 1 (inches) or 2 (millimetres), and back.
    static double fromPixels(qint32 pixels, int unit);
    static qint32 toPixels(double value, int unit);
    // As the sizes are shown: a blank before a number that is not negative.
    static QString formatted(double value);

private:
    void showValues();
    void edited(QLineEdit *edit, qint32 &kept);
    void accepted();

    ObjDraw *m_drawing;
    QRadioButton *m_units[3] = {};
    QLineEdit *m_widthText;
    QLineEdit *m_heightText;
    qint32 m_width;
    qint32 m_height;
    int m_unit = 0;
};

} // namespace tovradocs::Internal
