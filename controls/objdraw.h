#pragma once

#include "component/result.h"
#include "controls/drawing.h"

#include <QGraphicsView>
#include <QMimeData>
#include <QPointer>

#include <optional>

class QMimeData;

namespace tovradocs::Internal {

class DrawItem;

// The drawing control: shapes, text and pictures on a canvas of a set size,
// drawn with tools, selected, moved, resized, rotated, ordered, grouped, cut
// and pasted through the system clipboard, undone to a set depth, saved to and
// loaded from ".ils" files and exported as pictures, SVG or PDF.
// Coordinates are canvas pixels; the zoom factor only changes the view.
class ObjDraw : public QGraphicsView
{
    Q_OBJECT
    Q_PROPERTY(int canvaswidth READ canvasWidth WRITE setCanvasWidth)
    Q_PROPERTY(int canvasheight READ canvasHeight WRITE setCanvasHeight)
    Q_PROPERTY(int undobuffersize READ undoBufferSize WRITE setUndoBufferSize)
    Q_PROPERTY(bool showcanvassize READ showCanvasSize WRITE setShowCanvasSize)
    Q_PROPERTY(int arrowstep READ arrowStep WRITE setArrowStep)
    Q_PROPERTY(double zoomfactor READ zoomFactor WRITE setZoomFactor NOTIFY zoomChanged)

public:
    enum class Tool { Select, Line, Arc, Rectangle, RoundRectangle, Ellipse, Polygon, Star, Text, Picture };
    enum class Align { Left, CenterVertical, Right, Top, CenterHorizontal, Bottom, CenterBoth };
    enum class Property {
        BorderColor, FillColor, BorderWidth, FillStyle, Points, RoundSize, Rotation,
        FontName, FontSize, Bold, Italic, Underline, StrikeOut, TextAlignment,
    };
    static constexpr qreal kMinZoom = 0.1;
    static constexpr qreal kMaxZoom = 8.0;
    // What copy puts on the clipboard beside a picture of the selection.
    static const QString kClipboardFormat;
    // Dragged pictures from the window's lists; drops of it or of any picture are reported.
    static const QString kInsertableFormat;

    explicit ObjDraw(QWidget *parent = nullptr);
    ~ObjDraw() override;

    // Canvas and design-time properties.
    int canvasWidth() const { return m_canvas.width(); }
    int canvasHeight() const { return m_canvas.height(); }
    void setCanvasWidth(int width);
    void setCanvasHeight(int height);
    int undoBufferSize() const { return m_undoSize; }
    void setUndoBufferSize(int size);
    bool showCanvasSize() const { return m_showCanvasSize; }
    void setShowCanvasSize(bool show);
    int arrowStep() const { return m_arrowStep; }
    void setArrowStep(int step);
    qreal zoomFactor() const { return m_zoom; }
    // Kept between kMinZoom and kMaxZoom.
    void setZoomFactor(qreal factor);
    QColor backColor() const { return m_background; }
    void setBackColor(const QColor &color);

    // Whole drawing. Loading replaces everything; a file that cannot be used
    // leaves the drawing as it was and says why.
    void newDrawing();
    Outcome loadDrawing(const QString &path);
    Outcome saveDrawing(const QString &path);
    // The format follows the suffix: bmp, png, svg or pdf (bmp for any other).
    Outcome exportBitmap(const QString &path);
    QImage drawingPicture() const;
    // The drawing painted at its own size, from the canvas's top-left.
    void render(QPainter *painter) const;
    Drawing drawing() const;
    void setDrawing(const Drawing &drawing);
    int objectCount() const;

    Tool tool() const { return m_tool; }
    void setTool(Tool tool);
    // The object a tool draws next; property changes update it as well.
    DrawObject style() const { return m_style; }
    void setStyle(const DrawObject &style) { m_style = style; }

    // Edit commands; each one that changes the drawing can be undone.
    void undo();
    void redo();
    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    void copy();
    void cut();
    Outcome paste();
    bool canPaste() const;
    void deleteSelection();
    void selectAll();
    void unselectAll();
    void align(Align how);
    void bringToFront();
    void sendToBack();
    void bringForward();
    void sendBackward();
    void group();
    void ungroup();

    // Position of the first selected object from the bottom; -1 when none is.
    int selectedIndex() const;
    std::optional<DrawObject> selectedObject() const;
    int selectedCount() const;
    void selectObject(int index);
    // Changes the selected objects and the style of new ones.
    void setObjectProperty(Property property, const QVariant &value);

    // Adds an object on top and selects it.
    void insertObject(const DrawObject &object);
    void insertPicture(const QImage &picture, const QRectF &where);
    // Moves the selection; for tools that drive the control like a user.
    void moveSelection(const QPointF &by);

Q_SIGNALS:
    void mouseMoved(const QPointF &canvasPos);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void keyReleased(int key);
    void selectionChanged();
    // The selected object changed or another one was selected.
    void objectChanged();
    // Anything a save would keep changed; not sent for new, load or setDrawing.
    void drawingChanged();
    void shapeFinished();
    void zoomChanged(qreal factor);
    void dropped(const QMimeData *data, const QPointF &canvasPos);

protected:
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void handleKey(QKeyEvent *event);
    QList<DrawItem *> orderedItems() const;
    QList<DrawItem *> selectedItems() const;
    void renumber(const QList<DrawItem *> &order);
    void moveSelectionToEnd(bool front);
    DrawItem *addItem(const DrawObject &object, qreal z);
    // The z-value that puts a new object on top.
    qreal topZ() const;
    void clearItems();
    void rebuild(const Drawing &drawing);
    void updateSceneRect();
    // Call before a change: keeps the drawing for undo.
    void remember();
    void remember(const Drawing &before);
    void rememberMove(const QList<int> &moved, const QPointF &by);
    // An undo step: a whole drawing, or a move of the objects at these places.
    struct UndoStep
    {
        Drawing drawing;
        QList<int> moved;
        QPointF by;
    };
    void remember(UndoStep step);
    // Applies a step (direction -1 undoes a move, 1 redoes it); returns its opposite.
    UndoStep step(UndoStep step, int direction);
    void changed();
    void finishShape();
    bool editText(DrawItem *item);
    QRectF dragBox(const QPointF &from, const QPointF &to, bool square) const;

    QGraphicsScene *m_scene;
    QSize m_canvas {640, 480};
    QColor m_background = Qt::white;
    int m_undoSize = 20;
    bool m_showCanvasSize = false;
    int m_arrowStep = 1;
    qreal m_zoom = 1;
    Tool m_tool = Tool::Select;
    DrawObject m_style;
    QList<UndoStep> m_undo;
    QList<UndoStep> m_redo;

    // Mouse gestures in progress.
    DrawItem *m_drawing = nullptr;
    QPointF m_pressPos;
    DrawItem *m_resizing = nullptr;
    Drawing m_beforeGesture;
    QList<QPair<DrawItem *, QPointF>> m_moveStart;
};

} // namespace tovradocs::Internal
