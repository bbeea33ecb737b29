#pragma once

#include <QImage>

class QPainter;
#include <QPoint>
#include <QWidget>

namespace tovradocs::Internal {

// A zoomable picture: shows one picture at a zoom from a fixed table inside its
// own area, centred when smaller than the area and draggable with the mouse
// when larger. Every zoom scales the unscaled picture once (never a scaled
// copy again). The surface is the child "PicScroll"; "PicLoaded" stands for
// the unscaled holder. UI thread only.
class ScrollPicture : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qint32 BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(QImage Picture READ picture WRITE setPicture)
    Q_PROPERTY(int ZoomPercent READ ZoomPercent)

public:
    static constexpr int kZoomTable[] = {5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 125, 150, 175, 200};
    static constexpr int kActualPixelsIndex = 10;
    static constexpr qint32 kButtonFace = qint32(0x8000000F);

    explicit ScrollPicture(QWidget *parent = nullptr);
    ~ScrollPicture() override;

    // A colour as red + 256 x green + 65536 x blue, or a system colour with the
    // high bit set (0x8000000F is the button face).
    qint32 backColor() const { return m_backColor; }
    void setBackColor(qint32 color);
    QImage picture() const { return m_loaded; }
    void setPicture(const QImage &picture);
    int ZoomPercent() const { return kZoomTable[m_zoomIndex]; }
    int zoomIndex() const { return m_zoomIndex; }

    void Clear();
    void BestFit();
    void z_Stretch();
    void z_ZoomIn();
    void z_ZoomOut();
    void z_ZoomPrevious();
    void z_ZoomActualPixels();
    void About();

    // Window and level of the shown picture, set by dragging with the right
    // button (sideways: width, up and down: level), on the grey values 0..255
    // of every channel; the picture itself is kept. Width 0: as it is.
    double windowCenter() const { return m_windowCenter; }
    double windowWidth() const { return m_windowWidth; }
    void setWindow(double center, double width);
    // A magnifier of the unscaled picture that follows the pointer.
    bool loupe() const { return m_loupe; }
    void setLoupe(bool on, int factor = 3);
    int loupeFactor() const { return m_loupeFactor; }
    // Paints the loupe over the surface; the surface calls it.
    void paintLoupe(QPainter &p) const;

    // The scaled picture and where it stands in the area.
    QWidget *surface() const { return m_scroll; }
    QImage shownPicture() const { return m_scaled; }

Q_SIGNALS:
    void Click();
    void DblClick();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool hasPicture() const { return !m_loaded.isNull(); }
    void tableZoom();
    void applySize(int width, int height);
    void layoutPicture();
    QPoint clamped(QPoint position) const;

    QWidget *m_scroll;
    QWidget *m_loadedHolder;
    void applyTone();

    QImage m_loaded;
    QImage m_scaledBase; // m_loaded at the zoom, before the window
    QImage m_scaled;
    double m_windowCenter = 128;
    double m_windowWidth = 0;
    bool m_windowDrag = false;
    QPoint m_windowFrom;
    double m_dragCenter = 128;
    double m_dragWidth = 256;
    bool m_loupe = false;
    int m_loupeFactor = 3;
    QPoint m_pointer{-1, -1};
    qint32 m_backColor = kButtonFace;
    int m_zoomIndex = kActualPixelsIndex;
    bool m_dragging = false;
    QPoint m_dragCursor;
    QPoint m_dragPicture;
};

} // namespace tovradocs::Internal
