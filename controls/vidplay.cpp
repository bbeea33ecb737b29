#include "controls/vidplay.h"

#include "media/mediaplayer.h"
#include "media/playbackgroup.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace tovradocs::Internal {

VidPlay::VidPlay(QWidget *parent)
    : QWidget(parent)
    , m_player(new MediaPlayer(nullptr, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(m_player, &MediaPlayer::frameChanged, this, [this] {
        update();
        Q_EMIT frameShown();
    });
    connect(m_player, &MediaPlayer::loaded, this, &VidPlay::loaded);
    connect(m_player, &MediaPlayer::stateChanged, this, &VidPlay::emitStatus);
    connect(m_player, &MediaPlayer::ended, this, &VidPlay::ended);
    connect(m_player, &MediaPlayer::looped, this, &VidPlay::looped);
    connect(m_player, &MediaPlayer::positionChanged, this, &VidPlay::positionChanged);
}

VidPlay::~VidPlay()
{
    // Nobody may hear a status change from a half-gone view.
    disconnect(m_player, nullptr, this, nullptr);
}

void VidPlay::setGroup(PlaybackGroup *group)
{
    m_player->setGroup(group);
}

bool VidPlay::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    load();
    return fileName.isEmpty() || QFileInfo(fileName).isFile();
}

void VidPlay::load()
{
    update();
    if (m_fileName.isEmpty())
        m_player->close();
    else
        m_player->open(m_fileName);
    m_player->setViewSize(size());
    emitStatus();
}

bool VidPlay::openAndPlay(const QString &fileName)
{
    const bool ok = setFileName(fileName);
    play();
    return ok;
}

void VidPlay::play()
{
    if (m_fileName.isEmpty() || m_player->status() == MediaPlayer::Failed)
        return;
    if (m_player->status() == MediaPlayer::NoMedia)
        load();
    m_player->play();
}

void VidPlay::pause()
{
    m_player->pause();
}

void VidPlay::stop()
{
    m_player->stop();
}

void VidPlay::ToggleMovement()
{
    if (m_player->isPlaying() && !m_player->atEnd())
        pause();
    else
        play();
}

void VidPlay::Rewind()
{
    m_player->seek(0);
}

qint64 VidPlay::position() const
{
    return m_player->position();
}

qint64 VidPlay::duration() const
{
    return std::max<qint64>(0, m_player->duration());
}

void VidPlay::setPosition(qint64 milliseconds)
{
    m_player->seek(std::max<qint64>(0, milliseconds));
}

qint64 VidPlay::frameInterval() const
{
    return (m_player->frameIntervalNs() + 500000) / 1000000;
}

void VidPlay::stepFrames(int steps)
{
    if (steps != 0 && isLoaded())
        m_player->step(steps);
}

QString VidPlay::statusText() const
{
    if (m_fileName.isEmpty())
        return QString();
    switch (m_player->status()) {
    case MediaPlayer::Failed:
        return QStringLiteral("error");
    case MediaPlayer::NoMedia:
        return QStringLiteral("stopped");
    default:
        break;
    }
    if (m_player->isPlaying() && !m_player->atEnd())
        return QStringLiteral("playing");
    if (m_player->status() == MediaPlayer::Loading && m_player->isUntouched())
        return QStringLiteral("loading");
    if (m_player->atEnd() || m_player->isStopped())
        return QStringLiteral("stopped");
    return QStringLiteral("paused");
}

bool VidPlay::isLoaded() const
{
    return m_player->isLoaded();
}

QString VidPlay::errorString() const
{
    return m_player->errorString();
}

QSize VidPlay::videoSize() const
{
    // An unknown size reads as 0 x 0, never as Qt's invalid -1 x -1.
    const QSize size = m_player->videoSize();
    return size.isValid() ? size : QSize(0, 0);
}

void VidPlay::setMuted(bool muted)
{
    m_player->setMuted(muted);
}

QImage VidPlay::currentFrame() const
{
    return m_player->frame();
}

Outcome VidPlay::SavePicture(bool save)
{
    if (!save)
        return {};
    if (m_saveFileName.isEmpty())
        return Outcome::failure(tr("No file name was given for the picture."));
    QImage frame = currentFrame();
    if (frame.isNull())
        return Outcome::failure(tr("There is no picture to save yet."));
    // The view gets its pictures scaled to fit; a saved picture has the video's own size.
    if (const QSize natural = videoSize(); !natural.isEmpty() && frame.size() != natural)
        frame = frame.scaled(natural, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // QImageWriter only guesses the format from the name while writing; pick it
    // here so an unknown or missing extension gives a bitmap, as the name promises.
    QByteArray format = QFileInfo(m_saveFileName).suffix().toLower().toLatin1();
    if (format == "jpg" || format == "jif" || format == "jpe")
        format = "jpeg";
    else if (format == "tif")
        format = "tiff";
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
        format = "bmp";
    QImageWriter writer(m_saveFileName, format);
    if (format == "jpeg")
        writer.setQuality(90);
    // Bitmaps and JPEGs have no alpha; a frame converted with one would come out dark.
    if (!writer.write(frame.convertToFormat(QImage::Format_RGB32)))
        return Outcome::failure(
            tr("The picture cannot be saved to %1: %2").arg(m_saveFileName, writer.errorString()));
    return {};
}

QSize VidPlay::sizeHint() const
{
    return {320, 240};
}

void VidPlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QImage image = m_player->frame();
    if (image.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // Usually the pipeline already scaled the picture to fit; a resize that
    // has not reached it yet is bridged here.
    const QSize shape = videoSize().isEmpty() ? image.size() : videoSize();
    const QSize fitted = shape.scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                       fitted);
    const QRegion border = QRegion(rect()).subtracted(target);
    for (const QRect &r : border)
        p.fillRect(r, Qt::black);
    if (image.size() == fitted) {
        p.drawImage(target.topLeft(), image);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, image);
    }
}

void VidPlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_player->setViewSize(size());
}

void VidPlay::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        Q_EMIT contextRequested(event->globalPosition().toPoint());
    QWidget::mouseReleaseEvent(event);
}

void VidPlay::emitStatus()
{
    const QString status = statusText();
    if (status == m_lastStatus)
        return;
    m_lastStatus = status;
    Q_EMIT statusChanged(status);
}

bool VidPlay::saveFrame(const QString &fileName)
{
    setSaveFileName(fileName);
    return SavePicture(true).ok();
}

} // namespace tovradocs::Internal
