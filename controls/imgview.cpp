#include "controls/imgview.h"
#include "component/shownpicture.h"

#include "component/fileprobe.h"
#include "component/imageloader.h"
#include "component/thumbnailprovider.h"

#include <QClipboard>
#include <QtConcurrent/QtConcurrentRun>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMouseEvent>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace tovradocs::Internal {

namespace ImgViewLook {
const QColor background(0x2b, 0x2b, 0x2b);
const QColor placeholder(0x3c, 0x3c, 0x3c);
const QColor frame(0x5a, 0x5a, 0x5a);
const QColor captionText(0xd8, 0xd8, 0xd8);
constexpr int twipsPerPixel = 15; // at 96 dpi
} // namespace ImgViewLook

ImgView::ImgView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ImgView::~ImgView() = default;

void ImgView::setFileName(const QString &fileName)
{
    if (m_waiting && m_provider)
        m_provider->cancel(m_fileName);
    m_fileName = fileName;
    clearPicture();
    if (fileName.isEmpty()) {
        update();
        return;
    }
    if (m_thumbnailPixels > 0)
        requestThumbnail();
    else
        loadFull();
}

void ImgView::clearPicture()
{
    m_shown = QImage();
    m_full = QImage();
    m_fullSize = QSize();
    m_scaled = QPixmap();
    m_error.clear();
    m_problem.clear();
    m_fittedBox = QSize();
    m_fitPending = false;
    m_waiting = false;
    m_decoding = false;
}

// The size to decode at in fit mode: the view's pixels, never more than the
// picture has. Invalid: decode the whole picture.
QSize ImgView::fitBox() const
{
    const QSize box = size() * devicePixelRatioF();
    if (!m_fullSize.isValid() || box.width() >= m_fullSize.width()
        || box.height() >= m_fullSize.height())
        return {};
    return box;
}

void ImgView::loadFull()
{
    if (m_background) {
        if (!m_fullSize.isValid()) {
            if (const Result<QSize> size = imageSize(m_fileName))
                m_fullSize = *size;
        }
        if (!m_decoder) {
            m_decoder = new QFutureWatcher<Decoded>(this);
            connect(m_decoder, &QFutureWatcherBase::finished, this, &ImgView::fullArrived);
        }
        m_decoding = true;
        update();
        // A hidden view has no size yet; it decodes when it is first shown.
        m_fitPending = m_fit && !isVisible();
        if (m_fitPending)
            return;
        ImageLoadOptions options;
        if (m_fit) {
            options.scaledTo = fitBox();
            options.keepAspect = true;
            m_fittedBox = options.scaledTo.isValid() ? size() * devicePixelRatioF() : QSize();
        }
        m_decoder->setFuture(QtConcurrent::run([path = m_fileName, options] {
            const Result<QImage> image = pictureAsShown(0, path, options.scaledTo);
            return image ? Decoded{path, *image, {}} : Decoded{path, {}, image.error()};
        }));
        return;
    }
    const Result<QImage> image = pictureAsShown(0, m_fileName, {});
    if (!image) {
        noteFailure(image.error());
    } else {
        m_full = *image;
        m_fullSize = m_full.size();
        m_shown = m_full;
    }
    update();
    Q_EMIT loaded(image.ok());
}

void ImgView::fullArrived()
{
    const Decoded decoded = m_decoder->result();
    // A later file name, or none, replaced this one while it was read.
    if (!m_decoding || decoded.path != m_fileName)
        return;
    m_decoding = false;
    if (!decoded.error.isEmpty())
        noteFailure(decoded.error);
    const bool reduced = m_fit && m_fittedBox.isValid();
    // A picture decoded to fit the view is all that is kept; the whole one is
    // read again only when asked for (copy, save).
    m_full = reduced ? QImage() : decoded.image;
    m_shown = decoded.image;
    if (!reduced && !m_full.isNull())
        m_fullSize = m_full.size();
    m_scaled = QPixmap();
    update();
    Q_EMIT loaded(!decoded.image.isNull());
}

void ImgView::setThumbnailMode(int pixels)
{
    m_thumbnailPixels = std::max(0, pixels);
}

void ImgView::setThumbnailProvider(ThumbnailProvider *provider)
{
    if (m_provider) {
        disconnect(m_loadedConnection);
        disconnect(m_failedConnection);
        m_loadedConnection = {};
        m_failedConnection = {};
    }
    m_provider = provider;
}

ThumbnailProvider *ImgView::provider() const
{
    return m_provider ? m_provider.data() : ThumbnailProvider::shared();
}

void ImgView::requestThumbnail()
{
    ThumbnailProvider *service = provider();
    // A warm cache answers here, without a placeholder blinking in between.
    const QImage cached = service->cachedThumbnail(m_fileName, m_thumbnailPixels);
    if (!cached.isNull()) {
        m_shown = cached;
        update();
        Q_EMIT loaded(true);
        return;
    }
    if (m_provider != service || !m_loadedConnection) {
        m_provider = service;
        m_loadedConnection = connect(service, &ThumbnailProvider::thumbnailLoaded, this,
                                     &ImgView::thumbnailArrived);
        m_failedConnection = connect(service, &ThumbnailProvider::thumbnailFailed, this,
                                     &ImgView::thumbnailMissing);
    }
    m_waiting = true;
    update();
    service->request(m_fileName, m_thumbnailPixels);
}

void ImgView::thumbnailArrived(const QString &path, const QImage &image)
{
    // A new answer for the shown file (its adjustments changed) replaces
    // the picture too.
    if (path != m_fileName || (!m_waiting && (m_thumbnailPixels <= 0 || m_shown.isNull())))
        return;
    const bool first = m_waiting;
    m_waiting = false;
    m_shown = image;
    m_scaled = QPixmap();
    update();
    if (first)
        Q_EMIT loaded(true);
}

void ImgView::thumbnailMissing(const QString &path, const QString &message)
{
    if (!m_waiting || path != m_fileName)
        return;
    m_waiting = false;
    noteFailure(message);
    update();
    Q_EMIT loaded(false);
}

void ImgView::noteFailure(const QString &message)
{
    m_error = message;
    m_problem = unreadableLabel(m_fileName);
}

void ImgView::setPlayMark(bool on)
{
    if (m_playMark == on)
        return;
    m_playMark = on;
    update();
}

void ImgView::setCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void ImgView::setLabel(const QString &label)
{
    m_label = label;
    update();
}

void ImgView::setTag(const QString &tag)
{
    m_tag = tag;
}

void ImgView::setCurrent(bool current)
{
    if (m_current == current)
        return;
    m_current = current;
    update();
}

void ImgView::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

QImage ImgView::picture() const
{
    // Asked for while the worker still reads it (copy, save): read it here too.
    if (m_full.isNull() && (m_decoding || (!m_shown.isNull() && (m_thumbnailPixels > 0 || m_fit)))) {
        if (const Result<QImage> image = pictureAsShown(0, m_fileName, {}))
            m_full = *image;
    }
    return m_full;
}

QSize ImgView::pictureSize() const
{
    if (m_decoding)
        return m_fullSize;
    if (m_shown.isNull())
        return {};
    if (!m_fullSize.isValid()) {
        if (const Result<QSize> size = imageSize(m_fileName))
            m_fullSize = *size;
        else
            m_fullSize = picture().size();
    }
    return m_fullSize;
}

QSize ImgView::pictureSizeTwips() const
{
    return pictureSize() * ImgViewLook::twipsPerPixel;
}

bool ImgView::copyToClipboard() const
{
    const QImage image = picture();
    if (image.isNull())
        return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

Outcome ImgView::saveToFile(const QString &path) const
{
    const QImage image = picture();
    if (image.isNull())
        return Outcome::failure(QStringLiteral("There is no picture to save."));
    QImageWriter writer(path);
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        return Outcome::failure(
            QStringLiteral("Pictures cannot be saved as \"%1\" files.").arg(QFileInfo(path).suffix()));
    }
    writer.setFormat(format);
    if (format == "jpg" || format == "jpeg")
        writer.setQuality(90);
    if (!writer.write(image)) {
        return Outcome::failure(
            QStringLiteral("Cannot save the picture to %1: %2").arg(path, writer.errorString()));
    }
    return {};
}

QSize ImgView::sizeHint() const
{
    return {128, 128};
}

void ImgView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), ImgViewLook::background);
    const QRect inner = rect().adjusted(2, 2, -2, -2);

    if (!m_shown.isNull() && inner.isValid()) {
        const qreal dpr = devicePixelRatioF();
        const QSize target = m_shown.size().scaled(inner.size(), Qt::KeepAspectRatio);
        if (m_scaled.isNull() || m_scaled.deviceIndependentSize().toSize() != target) {
            m_scaled = QPixmap::fromImage(
                m_shown.scaled(target * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            m_scaled.setDevicePixelRatio(dpr);
        }
        const QSize drawn = m_scaled.deviceIndependentSize().toSize();
        p.drawPixmap(inner.x() + (inner.width() - drawn.width()) / 2,
                     inner.y() + (inner.height() - drawn.height()) / 2, m_scaled);
        if (m_playMark)
            paintPlayMark(p, QRect(QPoint(inner.x() + (inner.width() - drawn.width()) / 2,
                                          inner.y() + (inner.height() - drawn.height()) / 2),
                                   drawn));
    } else if (m_waiting || m_decoding) {
        p.fillRect(inner.adjusted(inner.width() / 8, inner.height() / 8, -inner.width() / 8,
                                  -inner.height() / 8),
                   ImgViewLook::placeholder);
    } else if (!m_problem.isEmpty() && inner.isValid()) {
        // A broken file must not look like a picture still on its way.
        const int side = std::min({32, inner.width() / 2, inner.height() / 2});
        const QIcon icon = style()->standardIcon(m_problem == QLatin1String("File missing")
                                                     ? QStyle::SP_FileDialogDetailedView
                                                     : QStyle::SP_MessageBoxWarning);
        const QRect iconRect(inner.center().x() - side / 2, inner.y() + inner.height() / 2 - side,
                             side, side);
        icon.paint(&p, iconRect);
        p.setPen(ImgViewLook::captionText);
        const QRect below(inner.x() + 4, iconRect.bottom() + 2, inner.width() - 8,
                          inner.bottom() - iconRect.bottom() - 2);
        QRect used;
        p.drawText(below, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_problem, &used);
        // A viewer's pane has room for the reason itself.
        const QRect reason(below.x(), used.bottom() + fontMetrics().height() / 2, below.width(),
                           below.bottom() - used.bottom());
        if (!m_error.isEmpty() && reason.height() > 3 * fontMetrics().height()
            && reason.width() > 20 * fontMetrics().averageCharWidth())
            p.drawText(reason, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_error);
    } else if (!m_caption.isEmpty()) {
        p.setPen(ImgViewLook::captionText);
        p.drawText(inner, Qt::AlignCenter | Qt::TextWordWrap, m_caption);
    }

    if (!m_label.isEmpty() && !m_shown.isNull() && inner.height() > 3 * fontMetrics().height()) {
        const int h = fontMetrics().height() + 4;
        const QRect strip(inner.left(), inner.bottom() - h + 1, inner.width(), h);
        p.fillRect(strip, QColor(0, 0, 0, 150));
        p.setPen(Qt::white);
        p.drawText(strip.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(m_label, Qt::ElideRight, strip.width() - 8));
    }

    if (m_selected) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 3));
        p.drawRect(rect().adjusted(1, 1, -2, -2));
    } else {
        p.setPen(ImgViewLook::frame);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (m_current) {
        p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
        p.drawRect(rect().adjusted(4, 4, -5, -5));
    }
}

// A round mark with a triangle in the lower left corner of the picture, small
// enough to leave the frame readable.
void ImgView::paintPlayMark(QPainter &p, const QRect &picture) const
{
    const int d = std::clamp(std::min(picture.width(), picture.height()) / 4, 12, 40);
    if (picture.width() < d + 4 || picture.height() < d + 4)
        return;
    const QRectF circle(picture.left() + d / 4.0, picture.bottom() - d - d / 4.0, d, d);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 220), std::max(1.0, d / 16.0)));
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawEllipse(circle);
    QPainterPath triangle;
    const QPointF c = circle.center();
    const double r = d * 0.22;
    triangle.moveTo(c.x() - r * 0.7, c.y() - r);
    triangle.lineTo(c.x() + r * 1.1, c.y());
    triangle.lineTo(c.x() - r * 0.7, c.y() + r);
    triangle.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawPath(triangle);
    p.restore();
}

void ImgView::resizeEvent(QResizeEvent *event)
{
    m_scaled = QPixmap();
    QWidget::resizeEvent(event);
    // Grown well past what was decoded: decode again at the new size, once
    // the layout has settled.
    const QSize now = size() * devicePixelRatioF();
    if (m_fit && m_fittedBox.isValid() && !m_fileName.isEmpty() && !m_refitQueued
        && (now.width() > m_fittedBox.width() * 5 / 4 || now.height() > m_fittedBox.height() * 5 / 4)) {
        m_refitQueued = true;
        QMetaObject::invokeMethod(this, [this] {
            m_refitQueued = false;
            if (!m_fileName.isEmpty() && m_problem.isEmpty())
                loadFull();
        }, Qt::QueuedConnection);
    }
}

void ImgView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_fitPending && !m_fileName.isEmpty()) {
        // After the layout that comes with showing, so the size is final.
        QMetaObject::invokeMethod(this, [this] {
            if (m_fitPending && isVisible())
                loadFull();
        }, Qt::QueuedConnection);
    }
}

void ImgView::setFitDecoding(bool on)
{
    m_fit = on;
    if (on)
        m_background = true;
}

void ImgView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button();
    Q_EMIT mouseDown(event->button(), event->position().toPoint());
}

void ImgView::mouseReleaseEvent(QMouseEvent *event)
{
    const Qt::MouseButton button = event->button();
    const bool click = button == m_pressed && rect().contains(event->position().toPoint());
    m_pressed = Qt::NoButton;
    QPointer<ImgView> alive(this);
    Q_EMIT mouseUp(button, event->position().toPoint());
    // A handler may have closed the window that holds us.
    if (click && alive)
        Q_EMIT clicked(button);
}

} // namespace tovradocs::Internal
