#include "viewers/scrollpicture.h"

#include "component/dialogservice.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace tovradocs::Internal {

namespace {

// The surface paints the scaled copy it is given and nothing else.
class PictureSurface : public QWidget
{
public:
    explicit PictureSurface(const QImage &image, QWidget *parent)
        : QWidget(parent)
        , m_image(image)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(this);
        p.drawImage(event->rect().topLeft(), m_image, event->rect());
    }

private:
    const QImage &m_image;
};

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
        m_scaled = m_loaded;
    } else {
        m_scaled = m_loaded.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (m_scaled.isNull()) {
            // Too large to scale: show the picture as it is.
            m_zoomIndex = kActualPixelsIndex;
            m_scaled = m_loaded;
        }
    }
    m_scroll->resize(m_scaled.size());
    m_scroll->update();
    layoutPicture();
    QGuiApplication::restoreOverrideCursor();
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
        Q_EMIT MouseMove(mouse->buttons(), mouse->modifiers(), at.x(), at.y());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
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
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace tovradocs::Internal
