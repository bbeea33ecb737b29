#include "icons/iconeditorwidgets.h"

#include "icons/iconeditor.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace tovradocs::Internal {

using namespace IconTools;

EditArea::EditArea(IconEditor *editor) : QWidget(editor), m_ed(editor)
{
    setObjectName(QStringLiteral("Pic_Edit"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

QSize EditArea::sizeHint() const
{
    return {32 * m_ed->zoom(), 32 * m_ed->zoom()};
}

QPoint EditArea::pixelAt(QPoint pos) const
{
    const int z = m_ed->zoom();
    // Integer division rounding toward minus infinity keeps -1 outside the icon.
    auto cell = [z](int v) { return v >= 0 ? v / z : -((-v + z - 1) / z); };
    return {cell(pos.x()), cell(pos.y())};
}

void EditArea::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int z = m_ed->zoom();
    p.drawImage(QRect(0, 0, 32 * z, 32 * z), m_ed->shownIcon());
    if (m_ed->item("Menu_View", IconEditor::ViewGrid)->isChecked()) {
        p.setPen(Qt::black);
        if (m_ed->item("Menu_View", IconEditor::ViewDottedGrid)->isChecked()) {
            for (int i = 0; i < 32; ++i)
                for (int j = 0; j < 32; ++j)
                    p.drawPoint(z * i + z / 2, z * j + z / 2);
        } else {
            for (int i = 0; i <= 32; ++i) {
                p.drawLine(z * i, 0, z * i, 32 * z);
                p.drawLine(0, z * i, 32 * z, z * i);
            }
        }
    }
    // Frames and rubber bands invert what is under them.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    if (m_ed->hasSelection()) {
        const QRect r = m_ed->selection();
        p.setPen(QPen(Qt::white, 1, m_ed->floating() ? Qt::SolidLine : Qt::DotLine));
        p.drawRect(QRect(r.left() * z, r.top() * z, r.width() * z - 1, r.height() * z - 1));
    }
    if (!m_button)
        return;
    const int tool = m_ed->kit().tool;
    const QPoint a(m_start.x() * z + z / 2, m_start.y() * z + z / 2);
    const QPoint b(m_last.x() * z + z / 2, m_last.y() * z + z / 2);
    p.setPen(QPen(Qt::white, 1, tool == Select ? Qt::DotLine : Qt::SolidLine));
    if (tool == Select && m_selecting)
        {
        const QRect r = spanning(m_start, m_last);
        p.drawRect(QRect(r.topLeft() * z, r.size() * z - QSize(1, 1)));
    }
    else if (tool == Line)
        p.drawLine(a, b);
    else if (tool == Square || tool == FilledSquare)
        p.drawRect(spanning(a, b));
    else if ((tool == Circle || tool == FilledCircle) && a.x() != b.x())
        p.drawEllipse(QRectF(spanning(a, b)));
}

void EditArea::mousePressEvent(QMouseEvent *event)
{
    const int button = event->button() == Qt::LeftButton ? 1 : event->button() == Qt::RightButton ? 2 : 0;
    if (!button || m_button)
        return; // other buttons, and a second press during a drag, are ignored
    m_button = button;
    IconKit &kit = m_ed->kit();
    m_pens = pensFor(kit, m_ed->screenMode(), button == 2);
    const QPoint p = pixelAt(event->position().toPoint());
    m_start = m_last = p;
    switch (kit.tool) {
    case Paint:
        paint(kit.planes, p, kit.brush, m_pens);
        m_ed->rebuild();
        break;
    case Select:
        if (m_ed->m_hasSelection && m_ed->m_selection.contains(p)) {
            if (!m_ed->m_floating) {
                m_ed->m_piece = kit.planes.copy(m_ed->m_selection);
                if (!(event->modifiers() & Qt::ShiftModifier))
                    clear(kit.planes, m_ed->m_selection);
                m_ed->m_floating = true;
                m_ed->rebuild();
            }
            m_moving = true;
            m_pointer = event->position().toPoint();
        } else {
            m_ed->dropFloating();
            m_ed->m_hasSelection = false;
            m_selecting = true;
        }
        break;
    default:
        break;
    }
    update();
}

void EditArea::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = pixelAt(event->position().toPoint());
    auto shown = [](int v) -> QString { return (v < 10 && v >= 0 ? QStringLiteral(" ") : QString()) + QString::number(v); };
    m_ed->m_x->setText(QStringLiteral("X=") + shown(p.x()));
    m_ed->m_y->setText(QStringLiteral("Y=") + shown(p.y()));
    if (!m_button)
        return;
    IconKit &kit = m_ed->kit();
    if (kit.tool == Paint) {
        paint(kit.planes, p, kit.brush, m_pens);
        m_ed->rebuild();
    } else if (kit.tool == Select && m_moving) {
        const int z = m_ed->zoom();
        const QPoint delta = (event->position().toPoint() - m_pointer) / z;
        QRect &sel = m_ed->m_selection;
        // A move that would leave the icon is undone on that axis only.
        const QRect across = sel.translated(delta.x(), 0);
        if (delta.x() && across.left() >= 0 && across.right() <= 31) {
            sel = across;
            m_pointer.rx() += delta.x() * z;
        }
        const QRect down = sel.translated(0, delta.y());
        if (delta.y() && down.top() >= 0 && down.bottom() <= 31) {
            sel = down;
            m_pointer.ry() += delta.y() * z;
        }
    } else if (kit.tool == Select && m_selecting) {
        m_last = QPoint(qBound(0, p.x(), 31), qBound(0, p.y(), 31));
    } else {
        m_last = p;
    }
    update();
}

void EditArea::mouseReleaseEvent(QMouseEvent *event)
{
    const int button = event->button() == Qt::LeftButton ? 1 : event->button() == Qt::RightButton ? 2 : 0;
    if (!m_button || button != m_button)
        return;
    IconKit &kit = m_ed->kit();
    const QPoint p = pixelAt(event->position().toPoint());
    switch (kit.tool) {
    case Select:
        if (m_selecting) {
            const QPoint end(qBound(0, p.x(), 31), qBound(0, p.y(), 31));
            m_ed->m_selection = spanning(m_start, end) & QRect(0, 0, 32, 32);
            m_ed->m_hasSelection = !m_ed->m_selection.isEmpty();
        }
        break;
    case Fill:
        if (kit.planes.image.rect().contains(p) && fill(kit.planes, p, toRgb(kit.mouse[IconKit::ScreenColour]), m_pens))
            m_ed->rebuild();
        break;
    case Line:
    case Square:
    case FilledSquare:
    case Circle:
    case FilledCircle:
        drawShape(kit.planes, kit.tool, m_start, p, kit.brush, m_pens);
        m_ed->rebuild();
        break;
    default:
        break;
    }
    m_button = 0;
    m_selecting = m_moving = false;
    m_ed->refreshEditMenu();
    update();
}

ToolStrip::ToolStrip(IconEditor *editor) : QWidget(editor), m_ed(editor)
{
    setObjectName(QStringLiteral("Pic_ToolPalette"));
    setFixedSize(32, 256);
}

void ToolStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(192, 192, 192));
    for (int i = 0; i < 8; ++i) {
        const int y = 32 * i;
        p.setPen(Qt::gray);
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, y, 31, 31);
        p.setPen(QPen(Qt::black, 2));
        const QRect box(8, y + 8, 16, 16);
        switch (i) {
        case Select:
            p.setPen(QPen(Qt::black, 1, Qt::DotLine));
            p.drawRect(box);
            break;
        case Paint:
            p.drawLine(9, y + 23, 22, y + 10);
            p.fillRect(8, y + 22, 3, 3, Qt::black);
            break;
        case Fill:
            p.setBrush(Qt::black);
            p.drawPolygon(QPolygon({QPoint(8, y + 16), QPoint(16, y + 8), QPoint(24, y + 16), QPoint(16, y + 24)}));
            break;
        case Line:
            p.drawLine(8, y + 24, 24, y + 8);
            break;
        case FilledSquare:
            p.setBrush(Qt::black);
            Q_FALLTHROUGH();
        case Square:
            p.drawRect(box);
            break;
        case FilledCircle:
            p.setBrush(Qt::black);
            Q_FALLTHROUGH();
        default:
            p.drawEllipse(box);
        }
    }
    // The current tool's cell shows inverted.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.fillRect(QRect(0, 32 * m_ed->kit().tool + 1, 32, 31), Qt::white);
}

void ToolStrip::mousePressEvent(QMouseEvent *event)
{
    const int cell = event->position().toPoint().y() / 32;
    if (cell >= 0 && cell < 8)
        m_ed->pickTool(cell);
}

void ToolStrip::mouseMoveEvent(QMouseEvent *event)
{
    const int cell = event->position().toPoint().y() / 32;
    if (event->buttons() != Qt::NoButton && cell >= 0 && cell < 8 && cell != m_ed->kit().tool) {
        m_ed->item("Menu_Tools", m_ed->kit().tool)->setChecked(false);
        m_ed->kit().tool = cell;
        m_ed->item("Menu_Tools", cell)->setChecked(true);
        update();
    }
}

PaletteBox::PaletteBox(IconEditor *editor, std::function<void()> afterPress)
    : QWidget(editor), m_ed(editor), m_afterPress(std::move(afterPress))
{
    setObjectName(QStringLiteral("Pic_ColorPalette"));
    setMinimumSize(16 * 12, 3 * 12);
}

void PaletteBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(Qt::gray);
    const double w = width() / 16.0;
    const double h = height() / 3.0;
    for (int i = 0; i < IconKit::PaletteSize; ++i) {
        const QRectF cell((i % 16) * w, (i / 16) * h, w, h);
        p.setBrush(QColor::fromRgb(toRgb(m_ed->kit().palette[i])));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
    }
}

void PaletteBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return;
    const QPoint pos = event->position().toPoint();
    const int c = pos.x() * 16 / qMax(1, width());
    const int r = pos.y() * 3 / qMax(1, height());
    if (c < 0 || c > 15 || r < 0 || r > 2)
        return;
    m_ed->pressPalette(16 * r + c, event->button() == Qt::RightButton);
    if (m_afterPress)
        m_afterPress();
}

SlotBox::SlotBox(IconEditor *editor, int slot) : QWidget(editor), m_ed(editor), m_slot(slot)
{
    setObjectName(slot < 0 ? QStringLiteral("Pic_Undo") : QStringLiteral("Pic_Icons_%1").arg(slot));
    setFixedSize(38, 38);
}

void SlotBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const IconKit &kit = m_ed->kit();
    const QRgb screen = toRgb(kit.mouse[IconKit::ScreenColour]);
    p.fillRect(rect(), QColor::fromRgb(screen));
    const IconImage &icon = m_slot < 0 ? kit.undo : kit.slots[m_slot].icon;
    p.drawImage(3, 3, icon.composite(screen));
    if (m_slot == kit.current && m_ed->item("Menu_View", IconEditor::ViewBorder)->isChecked()) {
        p.setPen(QPen(Qt::blue, 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void SlotBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool current = m_slot == m_ed->kit().current;
    if (m_slot < 0)
        m_ed->undo();
    else
        m_ed->chooseSlot(m_slot);
    m_dragFrom = current ? event->position().toPoint() : QPoint(-1, -1);
}

void SlotBox::mouseMoveEvent(QMouseEvent *event)
{
    // The current slot's thumbnail drags its icon as a picture.
    if (m_dragFrom.x() < 0 || !(event->buttons() & Qt::LeftButton)
        || (event->position().toPoint() - m_dragFrom).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragFrom = QPoint(-1, -1);
    const QImage image = m_ed->kit().slot().icon.toImage();
    auto *drag = new QDrag(this);
    auto *data = new QMimeData;
    data->setImageData(image);
    drag->setMimeData(data);
    drag->setPixmap(QPixmap::fromImage(image));
    drag->exec(Qt::CopyAction);
}

} // namespace tovradocs::Internal
