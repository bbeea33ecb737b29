#include "viewers/picturecanvas.h"

#include "component/adjustmentstore.h"
#include "component/dialogservice.h"

#include <QKeyEvent>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

namespace tovradocs::Internal {

namespace {

constexpr int kLoupeRadius = 110;
constexpr int kDragThreshold = 3;

} // namespace

PictureCanvas::PictureCanvas(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picCanvas"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(64, 64);
}

PictureCanvas::~PictureCanvas()
{
    if (m_reader)
        m_reader->waitForFinished();
}

void PictureCanvas::openPicture(qint32 entryCode, const QString &path)
{
    m_path = path;
    m_error.clear();
    m_entryCode = entryCode > 0 ? entryCode : AdjustmentStore::instance()->entryForFile(path);
    const AdjustmentStore::Loaded stored = AdjustmentStore::instance()->load(m_entryCode, path);
    m_state = stored.state;
    m_saved = m_state;
    m_undo.clear();
    for (const QString &problem : stored.problems)
        tellUser(problem);
    if (!m_reader) {
        m_reader = new QFutureWatcher<Loaded>(this);
        connect(m_reader, &QFutureWatcher<Loaded>::finished, this, &PictureCanvas::sourceArrived);
    } else {
        m_reader->waitForFinished();
    }
    m_reader->setFuture(QtConcurrent::run([path] { return Loaded{loadSourcePicture(path)}; }));
}

void PictureCanvas::sourceArrived()
{
    const Loaded result = m_reader->result();
    if (!result.source) {
        m_source = {};
        m_error = result.source.error();
        m_shown = {};
        update();
        Q_EMIT loaded(false);
        return;
    }
    m_source = *result.source;
    rebuild(true);
    Q_EMIT loaded(true);
}

void PictureCanvas::setPicture(const SourcePicture &source, const PictureState &state, qint32 entryCode)
{
    m_source = source;
    m_state = state;
    m_saved = state;
    m_entryCode = entryCode;
    m_undo.clear();
    rebuild(true);
}

void PictureCanvas::tellUser(const QString &text)
{
    DialogService::message(window(), text, QStringLiteral("Image Viewer"), Buttons::Ok, Severity::Warning);
}

Calibration PictureCanvas::calibration() const
{
    return calibrationFor(m_state, m_source.spacing);
}

void PictureCanvas::rebuild(bool reshape)
{
    m_full = QImage();
    if (m_source.isNull()) {
        m_shown = {};
        update();
        return;
    }
    const ShownGeometry g = shownGeometry(m_state.adjust, m_source.fileSize, m_source.size(), size());
    // The reduced picture is kept while only the tone changes, so a drag of
    // the window maps the shown pixels through a table and nothing more.
    if (reshape || g.region != m_geometry.region || g.unturned != m_geometry.unturned) {
        if (m_source.isDeepGrey()) {
            m_reduced = reduceGrey(m_source.grey, g.region, g.unturned);
            m_base = {};
        } else {
            m_base = reducedBase(m_source, g);
            m_reduced = {};
        }
    }
    m_geometry = g;
    const Adjustments &a = m_state.adjust;
    QImage toned;
    if (m_source.isDeepGrey()) {
        const WindowRange own = defaultWindow(m_source);
        toned = applyWindow(m_reduced, a.windowWidth > 0 ? a.windowCenter : own.center,
                            a.windowWidth > 0 ? a.windowWidth : own.width, a.invert, a.gamma);
    } else {
        toned = toneBase(m_base, a);
    }
    m_shown = finishPicture(toned, m_state, g, calibration(), true);
    update();
}

const QImage &PictureCanvas::fullPicture()
{
    if (m_full.isNull() && !m_source.isNull())
        m_full = renderPicture(m_source, m_state, {}, true);
    return m_full;
}

QRect PictureCanvas::pictureRect() const
{
    if (m_shown.isNull())
        return {};
    const QSize s = m_shown.size();
    return QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s);
}

QPointF PictureCanvas::toFile(QPointF widgetPos) const
{
    return m_geometry.fileToShown.inverted().map(widgetPos - QPointF(pictureRect().topLeft()));
}

QPointF PictureCanvas::toWidget(QPointF filePos) const
{
    return m_geometry.fileToShown.map(filePos) + QPointF(pictureRect().topLeft());
}

void PictureCanvas::setState(const PictureState &state)
{
    if (state == m_state && state == m_saved)
        return;
    const bool reshape = state.adjust.crop != m_state.adjust.crop
                         || state.adjust.quarterTurns != m_state.adjust.quarterTurns;
    m_undo.append(m_saved);
    m_state = state;
    rebuild(reshape);
    store();
    Q_EMIT stateChanged();
}

void PictureCanvas::undo()
{
    if (m_undo.isEmpty())
        return;
    m_state = m_undo.takeLast();
    rebuild(true);
    store();
    Q_EMIT stateChanged();
}

void PictureCanvas::reset()
{
    setState(PictureState());
}

void PictureCanvas::store()
{
    m_saved = m_state;
    if (m_entryCode <= 0)
        return;
    if (const Outcome saved = AdjustmentStore::instance()->save(m_entryCode, m_path, m_state); !saved)
        tellUser(QStringLiteral("The adjustments could not be stored: %1").arg(saved.error()));
}

void PictureCanvas::setTool(Tool tool)
{
    m_tool = tool;
    m_stroke.clear();
    setCursor(tool == NoTool ? Qt::ArrowCursor : Qt::CrossCursor);
    update();
}

void PictureCanvas::setLoupe(bool on)
{
    m_loupe = on;
    update();
}

void PictureCanvas::setLoupeFactor(int factor)
{
    m_loupeFactor = std::clamp(factor, 2, 8);
    update();
}

void PictureCanvas::dragWindow(QPoint from, QPoint to, bool finish)
{
    if (m_source.isNull())
        return;
    const WindowRange range = defaultWindow(m_source);
    const Adjustments &a = m_saved.adjust;
    const double center = a.windowWidth > 0 ? a.windowCenter : range.center;
    const double width = a.windowWidth > 0 ? a.windowWidth : range.width;
    // The whole range across the widget: one sweep covers every window.
    const double span = std::max(1.0, range.maximum - range.minimum);
    const QPoint d = to - from;
    m_state.adjust.windowWidth = std::clamp(width + d.x() * span / std::max(1, this->width()), 1.0, span * 2);
    m_state.adjust.windowCenter = center + d.y() * span / std::max(1, height());
    rebuild(false);
    Q_EMIT stateChanged();
    if (finish) {
        m_undo.append(m_saved);
        store();
    }
}

void PictureCanvas::addMark(const OverlayItem &item)
{
    PictureState next = m_state;
    next.overlay.append(item);
    next.overlayHidden = false;
    setState(next);
}

void PictureCanvas::finishStroke(QPointF end)
{
    const Tool tool = m_tool;
    QList<QPointF> points = m_stroke;
    m_stroke.clear();
    switch (tool) {
    case MeasureLength:
    case AddArrow:
        if (QLineF(points.value(0), end).length() >= 1)
            addMark({tool == MeasureLength ? OverlayItem::Length : OverlayItem::Arrow, {points.value(0), end}, {}});
        break;
    case Freehand:
        points.append(end);
        if (points.size() >= 2)
            addMark({OverlayItem::Freehand, points, {}});
        break;
    case Calibrate: {
        const QPointF start = points.value(0);
        // A refused line leaves the tool on, so the user draws it again.
        if (QLineF(start, end).length() < 1) {
            tellUser(userCalibration(start, end, 1).error());
            update();
            return;
        }
        const std::optional<QString> typed = DialogService::input(
            window(), QStringLiteral("Length of the line in mm (for example the implant's length):"),
            QStringLiteral("Calibrate"));
        if (!typed)
            break;
        bool ok = false;
        const double mm = QLocale().toDouble(typed->trimmed(), &ok);
        const Result<double> perPixel = userCalibration(start, end, ok ? mm : (typed->trimmed().toDouble(&ok)));
        if (!perPixel) {
            tellUser(perPixel.error());
            update();
            return;
        }
        PictureState next = m_state;
        next.userMmPerPixel = *perPixel;
        setState(next);
        break;
    }
    case Crop: {
        const QRectF r = QRectF(points.value(0), end).normalized();
        const QRect crop = r.toAlignedRect().intersected(QRect(QPoint(), m_source.fileSize));
        if (crop.width() >= 8 && crop.height() >= 8) {
            PictureState next = m_state;
            next.adjust.crop = crop;
            setState(next);
        }
        break;
    }
    case NoTool:
    case MeasureAngle:
    case AddText: break;
    }
    update();
    Q_EMIT toolFinished();
}

void PictureCanvas::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    m_pressed = event->button();
    m_pressPos = pos;
    m_moved = false;
    if (m_source.isNull())
        return;
    const QPointF at = toFile(event->position());
    if (event->button() == Qt::RightButton) {
        m_dragging = true;
        return;
    }
    if (event->button() != Qt::LeftButton || m_tool == NoTool)
        return;
    switch (m_tool) {
    case MeasureAngle:
        m_stroke.append(at);
        if (m_stroke.size() == 3) {
            addMark({OverlayItem::Angle, m_stroke, {}});
            m_stroke.clear();
            Q_EMIT toolFinished();
        }
        break;
    case AddText: {
        const std::optional<QString> text =
            DialogService::input(window(), QStringLiteral("Text of the note:"), QStringLiteral("Add Text"));
        if (text && !text->trimmed().isEmpty())
            addMark({OverlayItem::Text, {at}, text->trimmed()});
        m_pressed = Qt::NoButton;
        Q_EMIT toolFinished();
        break;
    }
    default:
        m_stroke = {at};
        break;
    }
    update();
}

void PictureCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    m_pointer = pos;
    if ((pos - m_pressPos).manhattanLength() > kDragThreshold)
        m_moved = true;
    if (m_pressed == Qt::RightButton && m_dragging && m_moved) {
        dragWindow(m_pressPos, pos, false);
        return;
    }
    if (!m_source.isNull() && m_tool != NoTool) {
        m_hover = toFile(event->position());
        if (m_tool == Freehand && m_pressed == Qt::LeftButton && !m_stroke.isEmpty()
            && QLineF(toWidget(m_stroke.last()), pos).length() >= 2)
            m_stroke.append(m_hover);
    }
    update();
}

void PictureCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = m_pressed;
    m_pressed = Qt::NoButton;
    if (button != event->button())
        return;
    if (button == Qt::RightButton) {
        m_dragging = false;
        if (m_moved)
            dragWindow(m_pressPos, pos, true);
        else
            Q_EMIT clicked(button, pos);
        return;
    }
    if (button == Qt::LeftButton && m_tool != NoTool && m_tool != MeasureAngle && m_tool != AddText
        && !m_stroke.isEmpty()) {
        finishStroke(toFile(event->position()));
        return;
    }
    if (m_tool == NoTool && !m_moved)
        Q_EMIT clicked(button, pos);
}

void PictureCanvas::leaveEvent(QEvent *event)
{
    m_pointer = QPoint(-1, -1);
    update();
    QWidget::leaveEvent(event);
}

void PictureCanvas::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && (m_tool != NoTool || !m_stroke.isEmpty())) {
        m_stroke.clear();
        setTool(NoTool);
        Q_EMIT toolFinished();
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        undo();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PictureCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_source.isNull())
        rebuild(true);
}

void PictureCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 24, 24));
    if (m_shown.isNull()) {
        p.setPen(Qt::lightGray);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                   m_error.isEmpty() ? QString() : QStringLiteral("The picture cannot be shown: %1").arg(m_error));
        return;
    }
    const QRect r = pictureRect();
    p.drawImage(r.topLeft(), m_shown);

    // The mark being drawn.
    if (!m_stroke.isEmpty() && m_tool != NoTool) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0, 220, 255), 2, m_tool == Crop ? Qt::DashLine : Qt::SolidLine));
        QList<QPointF> pts;
        for (const QPointF &pt : std::as_const(m_stroke))
            pts.append(toWidget(pt));
        pts.append(toWidget(m_hover));
        if (m_tool == Crop)
            p.drawRect(QRectF(pts.first(), pts.last()).normalized());
        else
            p.drawPolyline(pts.data(), int(pts.size()));
        if (m_tool == MeasureLength || m_tool == Calibrate) {
            const QString text = m_tool == Calibrate ? QStringLiteral("%1 px").arg(QLineF(m_stroke.first(), m_hover).length(), 0, 'f', 0)
                                                     : lengthText(m_stroke.first(), m_hover, calibration());
            p.setPen(QColor(0, 220, 255));
            p.drawText(pts.last() + QPointF(10, -10), text);
        }
    }

    // The loupe: the full-resolution picture around the pointer.
    if (m_loupe && r.contains(m_pointer) && m_pressed != Qt::RightButton) {
        const QImage &full = fullPicture();
        if (!full.isNull()) {
            const ShownGeometry fullGeometry = shownGeometry(m_state.adjust, m_source.fileSize, m_source.size(), {});
            const QPointF centre = fullGeometry.fileToShown.map(toFile(m_pointer));
            const double perScreenPixel = double(full.width()) / m_shown.width();
            const double half = kLoupeRadius / double(m_loupeFactor) * perScreenPixel;
            const QRectF from(centre.x() - half, centre.y() - half, half * 2, half * 2);
            const QRectF to(m_pointer.x() - kLoupeRadius, m_pointer.y() - kLoupeRadius, kLoupeRadius * 2,
                            kLoupeRadius * 2);
            p.save();
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            QPainterPath circle;
            circle.addEllipse(to);
            p.setClipPath(circle);
            p.fillRect(to, Qt::black);
            p.drawImage(to, full, from);
            p.setClipping(false);
            p.setPen(QPen(QColor(255, 255, 255, 200), 2));
            p.drawEllipse(to);
            p.drawText(to.adjusted(0, 0, 0, -8), Qt::AlignHCenter | Qt::AlignBottom,
                       QStringLiteral("%1x").arg(m_loupeFactor));
            p.restore();
        }
    }
}

} // namespace tovradocs::Internal
