#pragma once

#include "icons/icontools.h"

#include <QWidget>

#include <functional>

namespace tovradocs::Internal {

class IconEditor;

// The enlarged editing area; all drawing with the mouse happens here.
class EditArea : public QWidget
{
public:
    explicit EditArea(IconEditor *editor);
    QSize sizeHint() const override;
    QPoint pixelAt(QPoint pos) const;

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    IconEditor *m_ed;
    int m_button = 0; // 1 left, 2 right, 0 idle
    IconTools::Pens m_pens;
    QPoint m_start;
    QPoint m_last;
    QPoint m_pointer; // screen position the floating piece was last moved to
    bool m_selecting = false;
    bool m_moving = false;
};

// The vertical strip of eight tools.
class ToolStrip : public QWidget
{
public:
    explicit ToolStrip(IconEditor *editor);
    QSize sizeHint() const override { return {32, 256}; }

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    IconEditor *m_ed;
};

// The 16 x 3 palette grid, in the editor and in the colour palette dialog.
class PaletteBox : public QWidget
{
public:
    PaletteBox(IconEditor *editor, std::function<void()> afterPress = {});
    QSize sizeHint() const override { return {16 * 20, 3 * 16}; }

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    IconEditor *m_ed;
    std::function<void()> m_afterPress;
};

// A slot thumbnail at real size, or the undo thumbnail (slot -1).
class SlotBox : public QWidget
{
public:
    SlotBox(IconEditor *editor, int slot);
    QSize sizeHint() const override { return {38, 38}; }

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    IconEditor *m_ed;
    int m_slot;
    QPoint m_dragFrom{-1, -1};
};

} // namespace tovradocs::Internal
