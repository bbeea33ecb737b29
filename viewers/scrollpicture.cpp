#include "viewers/scrollpicture.h"

#include "component/pictureadjust.h"

#include "component/dialogservice.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tovradocs::Internal {

namespace {

// The surface paints the scaled copy it is given and nothing else.
class PictureSurface : public QWidget
{
public:
    explicit PictureSurface(const QImage &image, ScrollPicture *parent)
        : QWidget(parent)
        , m_image(image)
        , m_owner(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        p.drawImage(event->rect().topLeft(), m_image, event->rect());
        m_owner->paintLoupe(p);
    }

private:
    const QImage &m_image;
    ScrollPicture *m_owner;
};

constexpr int kScrollLoupeRadius = 100;

int roundHalfEven(double value)
{
    return int(std::nearbyint(value)); // the default rounding mode rounds half to even
}

} // namespace

ScrollPicture::ScrollPicture(QWidget *parent)
    : QWidget(parent)
    , m_scroll(new PictureSurface(m_scaled, this))
    , m_loadedHolder(new QWidget(this))
{
    setObjectName(QStringLiteral("ScrollPicture"));
    m_scroll->setObjectName(QStringLiteral("PicScroll"));
    m_scroll->hide();
    m_scroll->installEventFilter(this);
    m_loadedHolder->setObjectName(QStringLiteral("PicLoaded"));
    m_loadedHolder->hide();
    setAutoFillBackground(true);
    setBackColor(kButtonFace);
}

ScrollPicture::~ScrollPicture() = default;

void ScrollPicture::setBackColor(qint32 color)
{
    m_backColor = color;
    QPalette pal = palette();
    if (quint32(color) & 0x80000000u)
        pal.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Button));
    else
        pal.setColor(QPalette::Window, QColor(color & 0xff, (color >> 8) & 0xff, (color >> 16) & 0xff));
    setPalette(pal);
}

void ScrollPicture::setPicture(const QImage &picture)
{
    m_scroll->hide();
    m_loaded = picture;
    m_scaledBase = picture;
    m_scaled = picture;
    if (!hasPicture()) {
        m_scroll->resize(0, 0);
        return;
    }
    m_scroll->resize(picture.size());
    m_scroll->show();
    layoutPicture();
}

void ScrollPicture::Clear()
{
    setPicture(QImage());
}

void ScrollPicture::tableZoom()
{
    const int percent = kZoomTable[m_zoomIndex];
    applySize(roundHalfEven(percent * double(m_loaded.width()) / 100.0),
              roundHalfEven(percent * double(m_loaded.height()) / 100.0));
}

void ScrollPicture::BestFit()
{
    if (!hasPicture())
        return;
    const int aw = width();
    const int ah = height();
    const QSize natural = m_loaded.size();
    if (natural == QSize(aw, ah)) {
        applySize(natural.width(), natural.height());
        return;
    }
    const double rx = double(aw) / natural.width();
    const double ry = double(ah) / natural.height();
    if (ry >= rx)
        applySize(aw, int(rx * natural.height()));
    else
        applySize(int(ry * natural.width()), ah);
}

void ScrollPicture::z_Stretch()
{
    if (hasPicture())
        applySize(width(), height());
}

void ScrollPicture::z_ZoomIn()
{
    if (!hasPicture() || m_zoomIndex >= 14)
        return;
    ++m_zoomIndex;
    tableZoom();
}

void ScrollPicture::z_ZoomOut()
{
    if (!hasPicture() || m_zoomIndex <= 0)
        return;
    --m_zoomIndex;
    tableZoom();
}

void ScrollPicture::z_ZoomPrevious()
{
    if (hasPicture())
        tableZoom();
}

void ScrollPicture::z_ZoomActualPixels()
{
    if (!hasPicture())
        return;
    m_zoomIndex = kActualPixelsIndex;
    applySize(m_loaded.width(), m_loaded.height());
}

void ScrollPicture::About()
{
    DialogService::message(this,
                           QStringLiteral("Zoomable picture\n\nZoom from 5 % to 200 %, fit the "
                                          "picture to the area or stretch it, and drag a "
                                          "large picture with the mouse."),
                           QStringLiteral("About"), Buttons::Ok, Severity::Information);
}

void ScrollPicture::applySize(int width, int height)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    width = std::max(1, width);
    height = std::max(1, height);
    if (QSize(width, height) == m_loaded.size()) {
        m_scaledBase = m_loaded;
    } else {
        m_scaledBase = m_loaded.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (m_scaledBase.isNull()) {
            // Too large to scale: show the picture as it is.
            m_zoomIndex = kActualPixelsIndex;
            m_scaledBase = m_loaded;
        }
    }
    m_scaled = m_scaledBase;
    if (m_windowWidth > 0)
        applyTone();
    m_scroll->resize(m_scaled.size());
    m_scroll->update();
    layoutPicture();
    QGuiApplication::restoreOverrideCursor();
}

void ScrollPicture::setWindow(double center, double width)
{
    m_windowCenter = center;
    m_windowWidth = std::max(0.0, width);
    m_scaled = m_scaledBase;
    if (m_windowWidth > 0)
        applyTone();
    m_scroll->update();
}

// Through a table on the shown size only, never the whole picture.
void ScrollPicture::applyTone()
{
    Adjustments a;
    a.windowCenter = m_windowCenter;
    a.windowWidth = m_windowWidth;
    m_scaled = toneBase(m_scaledBase.format() == QImage::Format_Grayscale8
                            ? m_scaledBase
                            : m_scaledBase.convertToFormat(QImage::Format_RGB32),
                        a);
}

void ScrollPicture::setLoupe(bool on, int factor)
{
    m_loupe = on;
    m_loupeFactor = std::clamp(factor, 2, 8);
    m_scroll->update();
}

void ScrollPicture::paintLoupe(QPainter &p) const
{
    if (!m_loupe || m_scaled.isNull() || !m_scroll->rect().contains(m_pointer))
        return;
    const double perShown = double(m_loaded.width()) / std::max(1, m_scaled.width());
    const double half = kScrollLoupeRadius / double(m_loupeFactor) * perShown;
    const QRectF from(m_pointer.x() * perShown - half, m_pointer.y() * perShown - half, half * 2, half * 2);
    QImage part = m_loaded.copy(from.toAlignedRect());
    if (m_windowWidth > 0) {
        Adjustments a;
        a.windowCenter = m_windowCenter;
        a.windowWidth = m_windowWidth;
        part = toneBase(part.format() == QImage::Format_Grayscale8 ? part : part.convertToFormat(QImage::Format_RGB32), a);
    }
    const QRectF to(m_pointer.x() - kScrollLoupeRadius, m_pointer.y() - kScrollLoupeRadius, kScrollLoupeRadius * 2, kScrollLoupeRadius * 2);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.addEllipse(to);
    p.setClipPath(circle);
    p.fillRect(to, Qt::black);
    p.drawImage(to, part, QRectF(from.topLeft() - from.toAlignedRect().topLeft(), from.size()));
    p.setClipping(false);
    p.setPen(QPen(QColor(255, 255, 255, 200), 2));
    p.drawEllipse(to);
    p.restore();
}

QPoint ScrollPicture::clamped(QPoint position) const
{
    const QSize shown = m_scroll->size();
    int x = position.x();
    int y = position.y();
    if (shown.width() < width())
        x = (width() - shown.width()) / 2;
    else
        x = std::clamp(x, width() - shown.width(), 0);
    if (shown.height() < height())
        y = (height() - shown.height()) / 2;
    else
        y = std::clamp(y, height() - shown.height(), 0);
    return {x, y};
}

void ScrollPicture::layoutPicture()
{
    if (!hasPicture())
        return;
    m_scroll->move(clamped(m_scroll->pos()));
    const bool larger = m_scroll->width() > width() || m_scroll->height() > height();
    if (larger)
        m_scroll->setCursor(m_dragging ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    else
        m_scroll->unsetCursor();
}

void ScrollPicture::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPicture();
}

bool ScrollPicture::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_scroll)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        if (mouse->button() == Qt::RightButton) {
            m_windowDrag = true;
            m_windowFrom = mouse->globalPosition().toPoint();
            m_dragCenter = m_windowWidth > 0 ? m_windowCenter : 128;
            m_dragWidth = m_windowWidth > 0 ? m_windowWidth : 256;
        }
        if (mouse->button() == Qt::LeftButton) {
            m_dragging = true;
            m_dragCursor = mouse->globalPosition().toPoint();
            m_dragPicture = m_scroll->pos();
            m_scroll->setCursor(Qt::ClosedHandCursor);
        }
        Q_EMIT MouseDown(mouse->button(), mouse->modifiers(), at.x(), at.y());
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_dragging)
            m_scroll->move(clamped(m_dragPicture + mouse->globalPosition().toPoint() - m_dragCursor));
        const QPoint at = mouse->position().toPoint();
        if (m_windowDrag && (mouse->buttons() & Qt::RightButton)) {
            const QPoint d = mouse->globalPosition().toPoint() - m_windowFrom;
            setWindow(m_dragCenter + d.y() * 256.0 / std::max(1, height()),
                      std::clamp(m_dragWidth + d.x() * 256.0 / std::max(1, width()), 1.0, 512.0));
        }
        if (m_loupe) {
            m_pointer = at;
            m_scroll->update();
        }
        Q_EMIT MouseMove(mouse->buttons(), mouse->modifiers(), at.x(), at.y());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        if (mouse->button() == Qt::RightButton)
            m_windowDrag = false;
        if (mouse->button() == Qt::LeftButton && m_dragging) {
            m_dragging = false;
            layoutPicture();
        }
        Q_EMIT MouseUp(mouse->button(), mouse->modifiers(), at.x(), at.y());
        if (m_scroll->rect().contains(at))
            Q_EMIT Click();
        return true;
    }
    case QEvent::MouseButtonDblClick:
        Q_EMIT DblClick();
        return true;
    case QEvent::Leave:
        m_pointer = QPoint(-1, -1);
        if (m_loupe)
            m_scroll->update();
        return QWidget::eventFilter(watched, event);
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace tovradocs::Internal
