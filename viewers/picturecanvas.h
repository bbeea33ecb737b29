#pragma once

#include "component/pictureadjust.h"

#include <QFutureWatcher>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QWidget>

namespace tovradocs::Internal {

// One picture shown with its adjustments and marks, fitted to the widget.
// Right-drag moves the window (sideways: width, up and down: level); a
// right click without a drag is passed on as clicked(). The left button
// draws with the chosen tool, or is passed on as clicked() without one.
// The loupe magnifies the full-resolution picture under the pointer.
//
// Changes are stored for the entry when the drag or drawing ends; the file
// is never written. UI thread only; the file is read on a worker thread.
class PictureCanvas : public QWidget
{
    Q_OBJECT

public:
    enum Tool { NoTool, MeasureLength, MeasureAngle, AddText, AddArrow, Freehand, Calibrate, Crop };

    explicit PictureCanvas(QWidget *parent = nullptr);
    ~PictureCanvas() override;

    // Reads the picture and the entry's stored state (entryCode 0: found by
    // the file, if it is an entry). loaded() follows.
    void openPicture(qint32 entryCode, const QString &path);
    // A picture already read, for tests and benchmarks; nothing is stored
    // while entryCode is 0.
    void setPicture(const SourcePicture &source, const PictureState &state, qint32 entryCode = 0);

    bool hasPicture() const { return !m_source.isNull(); }
    QString path() const { return m_path; }
    qint32 entryCode() const { return m_entryCode; }
    QString errorString() const { return m_error; }
    const SourcePicture &source() const { return m_source; }
    const PictureState &state() const { return m_state; }
    // Applies and stores a new state (one undo step).
    void setState(const PictureState &state);
    void undo();
    bool canUndo() const { return !m_undo.isEmpty(); }
    // Back to the file as it is: the record is removed.
    void reset();

    Tool tool() const { return m_tool; }
    void setTool(Tool tool);
    bool loupe() const { return m_loupe; }
    void setLoupe(bool on);
    int loupeFactor() const { return m_loupeFactor; }
    void setLoupeFactor(int factor); // 2..8

    Calibration calibration() const;
    // The picture as drawn now, and where it stands in the widget.
    QImage shownImage() const { return m_shown; }
    QRect pictureRect() const;
    // Widget position to the file's pixels and back.
    QPointF toFile(QPointF widgetPos) const;
    QPointF toWidget(QPointF filePos) const;

    // Drag updates of the window, as the right button makes them; for tests
    // and benchmarks that cannot move a real pointer.
    void dragWindow(QPoint from, QPoint to, bool finish = true);

Q_SIGNALS:
    void loaded(bool ok);
    void stateChanged();
    void clicked(Qt::MouseButton button, const QPoint &pos);
    void toolFinished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Loaded
    {
        Result<SourcePicture> source = Result<SourcePicture>::failure(QString());
    };
    void sourceArrived();
    void rebuild(bool reshape);
    void store();
    void finishStroke(QPointF end);
    void addMark(const OverlayItem &item);
    void tellUser(const QString &text);
    const QImage &fullPicture();

    SourcePicture m_source;
    PictureState m_state;
    PictureState m_saved; // as stored, for undo steps of a drag
    QList<PictureState> m_undo;
    qint32 m_entryCode = 0;
    QString m_path;
    QString m_error;
    QFutureWatcher<Loaded> *m_reader = nullptr;

    ShownGeometry m_geometry;
    ReducedGrey m_reduced; // deep grey at the shown size
    QImage m_base; // 8-bit or colour at the shown size
    QImage m_shown;
    QImage m_full; // for the loupe; null when out of date
    bool m_dragging = false;

    Tool m_tool = NoTool;
    QList<QPointF> m_stroke; // file pixels of the mark being drawn
    QPointF m_hover; // file pixels under the pointer while drawing
    Qt::MouseButton m_pressed = Qt::NoButton;
    QPoint m_pressPos;
    double m_startCenter = 0;
    double m_startWidth = 0;
    bool m_moved = false;

    bool m_loupe = false;
    int m_loupeFactor = 3;
    QPoint m_pointer{-1, -1};
};

} // namespace tovradocs::Internal
