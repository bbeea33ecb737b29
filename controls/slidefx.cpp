#include "controls/slidefx.h"

#include "component/filetypes.h"
#include "component/shownpicture.h"
#include "component/adjustmentstore.h"
#include "component/imageloader.h"
#include "controls/vidplay.h"

#include <QEasingCurve>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QVariantAnimation>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace tovradocs::Internal {

namespace {

const QColor kStageColor(Qt::black);

// A fixed field of thresholds for the dissolve, one per 16 x 16 block of a
// full-HD frame; the same every run so the effect looks the same.
const QImage &dissolveNoise()
{
    static const QImage noise = [] {
        QImage image(120, 68, QImage::Format_Grayscale8);
        QRandomGenerator random(71);
        for (int y = 0; y < image.height(); ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x)
                line[x] = uchar(random.bounded(1, 255));
        }
        return image;
    }();
    return noise;
}

} // namespace

SlideFX::Effect SlideFX::effectFor(int transition)
{
    if (transition < 1 || transition > int(EffectCount))
        return Cut;
    return Effect(transition - 1);
}

SlideFX::SlideFX(QWidget *parent)
    : QWidget(parent)
    , m_animation(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("SlideFX"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_progress = value.toDouble();
        update();
    });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        m_progress = 1.0;
        m_from = QImage();
        update();
        Q_EMIT transitionFinished();
    });
    connect(&m_decode, &QFutureWatcher<Decoded>::finished, this, &SlideFX::decodeFinished);
}

SlideFX::~SlideFX()
{
    // The worker only reads its file; let it finish rather than leave it running.
    m_decode.waitForFinished();
}

bool SlideFX::isVideoFile(const QString &fileName)
{
    const QString extension = fileExtension(fileName);
    static const QStringList more = {QStringLiteral("MP4"), QStringLiteral("MOV"),
                                     QStringLiteral("MKV"), QStringLiteral("MPG"),
                                     QStringLiteral("MPEG"), QStringLiteral("WMV"),
                                     QStringLiteral("WEBM"), QStringLiteral("M4V")};
    return fileViewer(extension) == 2 || more.contains(extension);
}

QImage SlideFX::composeSlide(const QString &fileName, QSize size, const QColor &background,
                             QString *error)
{
    if (size.isEmpty())
        return {};
    const Result<QSize> natural = imageSize(fileName);
    if (!natural) {
        if (error)
            *error = natural.error();
        return {};
    }
    ImageLoadOptions options;
    // Shrink into the frame in the decoder; a smaller picture keeps its pixels.
    if (natural->width() > size.width() || natural->height() > size.height()) {
        options.scaledTo = size;
        options.keepAspect = true;
    }
    const Result<QImage> picture = pictureAsShown(0, fileName, options.scaledTo);
    if (!picture) {
        if (error)
            *error = picture.error();
        return {};
    }
    QImage frame(size, QImage::Format_RGB32);
    frame.fill(background);
    QPainter p(&frame);
    QImage image = picture.value();
    if (image.width() > size.width() || image.height() > size.height())
        image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawImage(QPoint((size.width() - image.width()) / 2, (size.height() - image.height()) / 2),
                image);
    return frame;
}

void SlideFX::paintTransition(QPainter &p, const QImage &from, const QImage &to, Effect effect,
                              double t)
{
    const int w = to.width();
    const int h = to.height();
    t = std::clamp(t, 0.0, 1.0);
    if (effect == Cut || from.isNull() || from.size() != to.size() || t >= 1.0) {
        p.drawImage(0, 0, to);
        return;
    }
    switch (effect) {
    case Fade:
        p.drawImage(0, 0, from);
        p.setOpacity(t);
        p.drawImage(0, 0, to);
        p.setOpacity(1.0);
        break;
    case Dissolve: {
        // Blocks of the new slide appear in a fixed random order.
        const QImage &noise = dissolveNoise();
        const int limit = int(t * 255.0);
        QImage mask(noise.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < noise.height(); ++y) {
            const uchar *in = noise.constScanLine(y);
            auto *out = reinterpret_cast<QRgb *>(mask.scanLine(y));
            for (int x = 0; x < noise.width(); ++x)
                out[x] = in[x] <= limit ? 0xffffffffu : 0u;
        }
        QImage layer = to.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        {
            QPainter lp(&layer);
            lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            lp.drawImage(layer.rect(), mask);
        }
        p.drawImage(0, 0, from);
        p.drawImage(0, 0, layer);
        break;
    }
    case WipeLeft:
    case WipeRight:
    case WipeUp:
    case WipeDown: {
        p.drawImage(0, 0, from);
        const int dx = int(std::lround(w * t));
        const int dy = int(std::lround(h * t));
        QRect shown;
        if (effect == WipeLeft)
            shown = QRect(w - dx, 0, dx, h); // the new slide comes in from the right
        else if (effect == WipeRight)
            shown = QRect(0, 0, dx, h);
        else if (effect == WipeUp)
            shown = QRect(0, h - dy, w, dy);
        else
            shown = QRect(0, 0, w, dy);
        if (!shown.isEmpty()) // an empty source would mean the whole picture
            p.drawImage(shown.topLeft(), to, shown);
        break;
    }
    case PushLeft:
    case PushRight: {
        const int dx = int(std::lround(w * t));
        const int sign = effect == PushLeft ? -1 : 1;
        p.drawImage(sign * dx, 0, from);
        p.drawImage(sign * (dx - w), 0, to);
        break;
    }
    case ZoomIn: {
        p.drawImage(0, 0, from);
        const QSizeF size(w * t, h * t);
        const QRectF target(QPointF((w - size.width()) / 2, (h - size.height()) / 2), size);
        if (!target.isEmpty())
            p.drawImage(target, to);
        break;
    }
    case BoxOut: {
        p.drawImage(0, 0, from);
        const int bw = int(std::lround(w * t));
        const int bh = int(std::lround(h * t));
        const QRect shown((w - bw) / 2, (h - bh) / 2, bw, bh);
        if (!shown.isEmpty())
            p.drawImage(shown.topLeft(), to, shown);
        break;
    }
    case Blinds: {
        p.drawImage(0, 0, from);
        constexpr int bands = 10;
        const int band = (h + bands - 1) / bands;
        const int open = int(std::lround(band * t));
        for (int top = 0; open > 0 && top < h; top += band) {
            const QRect shown(0, top, w, std::min(open, h - top));
            p.drawImage(shown.topLeft(), to, shown);
        }
        break;
    }
    case Cut:
    case EffectCount:
        p.drawImage(0, 0, to);
        break;
    }
}

QImage SlideFX::transitionFrame(const QImage &from, const QImage &to, Effect effect,
                                double progress)
{
    QImage frame(to.size(), QImage::Format_RGB32);
    QPainter p(&frame);
    paintTransition(p, from, to, effect, progress);
    return frame;
}

void SlideFX::Move(int left, int top, int width, int height)
{
    setGeometry(left, top, std::max(0, width), std::max(0, height));
}

void SlideFX::preload(const QString &fileName)
{
    if (fileName.isEmpty() || isVideoFile(fileName))
        return;
    if (m_ready.file == fileName && m_ready.size == size())
        return;
    if (m_decoding && m_decodingFile == fileName && m_decodingSize == size())
        return;
    startDecode(fileName);
}

void SlideFX::ShowSlide(const QString &fileName, int transition)
{
    m_wantedEffect = effectFor(transition);
    if (isVideoFile(fileName)) {
        m_wantedFile.clear();
        showVideo(fileName);
        return;
    }
    if (m_ready.file == fileName && m_ready.size == size()) {
        Decoded ready = std::exchange(m_ready, {});
        m_wantedFile.clear();
        if (ready.image.isNull())
            Q_EMIT slideFailed(fileName, ready.error);
        else
            begin(ready.image, fileName);
        return;
    }
    m_wantedFile = fileName;
    if (!(m_decoding && m_decodingFile == fileName && m_decodingSize == size()))
        startDecode(fileName);
}

void SlideFX::startDecode(const QString &fileName)
{
    // A decode that has ended but whose result has not arrived yet still
    // counts: replacing its future would lose that result.
    if (m_decoding) {
        // One decode at a time; the newest request follows when this one ends.
        m_decodingFile = fileName;
        m_decodingSize = size();
        return;
    }
    m_decodingFile = fileName;
    m_decodingSize = size();
    const QSize frameSize = size();
    m_decoding = true;
    m_decode.setFuture(QtConcurrent::run([fileName, frameSize] {
        Decoded result{fileName, frameSize, {}, {}};
        result.image = composeSlide(fileName, frameSize, kStageColor, &result.error);
        if (result.image.isNull() && result.error.isEmpty())
            result.error = QStringLiteral("The picture %1 cannot be shown.").arg(fileName);
        return result;
    }));
}

void SlideFX::decodeFinished()
{
    m_decoding = false;
    Decoded result = m_decode.result();
    const bool superseded = result.file != m_decodingFile || result.size != m_decodingSize;
    if (result.file == m_wantedFile && result.size == size()) {
        m_wantedFile.clear();
        if (result.image.isNull())
            Q_EMIT slideFailed(result.file, result.error);
        else
            begin(result.image, result.file);
    } else {
        m_ready = std::move(result);
    }
    if (superseded && !m_decodingFile.isEmpty())
        startDecode(m_decodingFile);
}

void SlideFX::begin(const QImage &slide, const QString &fileName)
{
    stopVideo();
    m_animation->stop();
    m_from = m_current.size() == slide.size() ? m_current : QImage();
    m_current = slide;
    m_currentFile = fileName;
    m_effect = m_from.isNull() ? Cut : m_wantedEffect;
    if (m_effect == Cut) {
        m_progress = 1.0;
        m_from = QImage();
        update();
    } else {
        m_progress = 0.0;
        m_animation->setDuration(m_duration);
        m_animation->start();
        update();
    }
    Q_EMIT slideShown(fileName);
}

void SlideFX::showVideo(const QString &fileName)
{
    m_animation->stop();
    m_progress = 1.0;
    m_from = QImage();
    m_effect = Cut;
    if (!m_video) {
        m_video = new VidPlay(this);
        m_video->setObjectName(QStringLiteral("SlideVideo"));
        connect(m_video, &VidPlay::loaded, this, [this](bool ok) {
            if (!ok && m_video)
                Q_EMIT slideFailed(m_video->fileName(), m_video->errorString());
        });
    }
    m_video->setGeometry(rect());
    m_video->show();
    m_video->raise();
    m_currentFile = fileName;
    if (!m_video->openAndPlay(fileName)) {
        Q_EMIT slideFailed(fileName, m_video->errorString());
        return;
    }
    Q_EMIT slideShown(fileName);
}

void SlideFX::stopVideo()
{
    if (!m_video || m_video->isHidden())
        return;
    m_video->stop();
    m_video->hide();
}

bool SlideFX::isTransitioning() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

QImage SlideFX::frame() const
{
    if (m_current.isNull())
        return {};
    return transitionFrame(m_from, m_current, m_effect, m_progress);
}

void SlideFX::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_current.isNull()) {
        p.fillRect(rect(), kStageColor);
        return;
    }
    if (m_current.size() != size()) {
        // Resized since the slide was laid out; the next slide is laid out anew.
        p.fillRect(rect(), kStageColor);
        const QSize fitted = m_current.size().scaled(size(), Qt::KeepAspectRatio);
        p.drawImage(QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                          fitted),
                    m_current);
        return;
    }
    paintTransition(p, m_from, m_current, m_effect, m_progress);
}

void SlideFX::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_video)
        m_video->setGeometry(rect());
}

} // namespace tovradocs::Internal
