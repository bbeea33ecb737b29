#include "controls/vidplay.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QImageWriter>
#include <QMediaMetaData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QVideoSink>

#include <algorithm>

namespace tovradocs::Internal {

VidPlay::VidPlay(QWidget *parent)
    : QWidget(parent)
    , m_player(new QMediaPlayer(this))
    , m_sink(new QVideoSink(this))
    , m_loadWatch(new QTimer(this))
{
    // Some damaged files leave the backend loading for ever; the window must
    // still say what is wrong.
    m_loadWatch->setSingleShot(true);
    m_loadWatch->setInterval(8000);
    connect(m_loadWatch, &QTimer::timeout, this, &VidPlay::loadTimedOut);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_player->setVideoSink(m_sink);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);

    connect(m_sink, &QVideoSink::videoFrameChanged, this, &VidPlay::frameArrived);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &VidPlay::mediaStatusChanged);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &VidPlay::emitStatus);
    connect(m_player, &QMediaPlayer::errorOccurred, this, &VidPlay::playerError);
    connect(m_player, &QMediaPlayer::positionChanged, this, &VidPlay::positionChanged);
}

VidPlay::~VidPlay()
{
    // The backend may still deliver a frame while the player winds down.
    disconnect(m_sink, nullptr, this, nullptr);
    // Stopping reports a status change; nobody may hear it from a half-gone view.
    disconnect(m_player, nullptr, this, nullptr);
    m_player->stop();
}

bool VidPlay::setFileName(const QString &fileName)
{
    m_fileName = fileName;
    load();
    return fileName.isEmpty() || m_error.isEmpty();
}

void VidPlay::load()
{
    m_player->stop();
    m_frame = QVideoFrame();
    m_error.clear();
    m_loadReported = false;
    update();
    if (m_fileName.isEmpty()) {
        m_player->setSource(QUrl());
        emitStatus();
        return;
    }
    const QFileInfo info(m_fileName);
    if (!info.isFile() || !info.isReadable()) {
        m_player->setSource(QUrl());
        m_error = tr("The file %1 cannot be read.").arg(m_fileName);
        reportLoaded(false);
        emitStatus();
        return;
    }
    m_player->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    m_loadWatch->start();
    emitStatus();
}

void VidPlay::loadTimedOut()
{
    if (m_loadReported)
        return;
    m_error = tr("The file %1 could not be opened as a video.").arg(m_fileName);
    m_player->stop();
    reportLoaded(false);
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
    if (!m_error.isEmpty() || m_fileName.isEmpty())
        return;
    if (m_player->source().isEmpty())
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
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        pause();
    else
        play();
}

void VidPlay::Rewind()
{
    m_player->setPosition(0);
}

void VidPlay::setPosition(qint64 milliseconds)
{
    const qint64 end = m_player->duration();
    m_player->setPosition(std::clamp<qint64>(milliseconds, 0, end > 0 ? end : milliseconds));
}

qint64 VidPlay::frameInterval() const
{
    const double rate = m_player->metaData().value(QMediaMetaData::VideoFrameRate).toDouble();
    return rate > 1.0 ? qint64(1000.0 / rate + 0.5) : 40;
}

void VidPlay::stepFrames(int steps)
{
    if (steps == 0 || !isLoaded())
        return;
    setPosition(m_player->position() + steps * frameInterval());
}

QString VidPlay::statusText() const
{
    if (m_fileName.isEmpty())
        return QString();
    if (!m_error.isEmpty())
        return QStringLiteral("error");
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState:
        return QStringLiteral("playing");
    case QMediaPlayer::PausedState:
        return QStringLiteral("paused");
    case QMediaPlayer::StoppedState:
        break;
    }
    const auto status = m_player->mediaStatus();
    if (status == QMediaPlayer::LoadingMedia)
        return QStringLiteral("loading");
    return QStringLiteral("stopped");
}

bool VidPlay::isLoaded() const
{
    if (!m_error.isEmpty())
        return false;
    const auto status = m_player->mediaStatus();
    return status != QMediaPlayer::NoMedia && status != QMediaPlayer::LoadingMedia
        && status != QMediaPlayer::InvalidMedia;
}

QSize VidPlay::videoSize() const
{
    if (m_frame.isValid())
        return m_frame.size();
    const QSize size = m_player->metaData().value(QMediaMetaData::Resolution).toSize();
    // An unknown size reads as 0 x 0, never as Qt's invalid -1 x -1.
    return size.isValid() ? size : QSize(0, 0);
}

void VidPlay::setMuted(bool muted)
{
    if (m_audio)
        m_audio->setMuted(muted);
}

QImage VidPlay::currentFrame() const
{
    return m_frame.isValid() ? m_frame.toImage() : QImage();
}

Outcome VidPlay::SavePicture(bool save)
{
    if (!save)
        return {};
    if (m_saveFileName.isEmpty())
        return Outcome::failure(tr("No file name was given for the picture."));
    const QImage frame = currentFrame();
    if (frame.isNull())
        return Outcome::failure(tr("There is no picture to save yet."));
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
    p.fillRect(rect(), Qt::black);
    if (!m_frame.isValid())
        return;
    // Converted here rather than per frame: a hidden or covered view costs nothing.
    const QImage image = m_frame.toImage();
    if (image.isNull())
        return;
    const QSize fitted = image.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                       fitted);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, image);
}

void VidPlay::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        Q_EMIT contextRequested(event->globalPosition().toPoint());
    QWidget::mouseReleaseEvent(event);
}

void VidPlay::mediaStatusChanged(QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferedMedia:
        if (!m_loadReported && !m_player->hasVideo()) {
            // Sound alone would play on behind a black picture.
            m_error = tr("The file %1 holds no video.").arg(m_fileName);
            m_player->stop();
            reportLoaded(false);
            break;
        }
        reportLoaded(true);
        break;
    case QMediaPlayer::InvalidMedia:
        if (m_error.isEmpty())
            m_error = m_player->errorString().isEmpty()
                ? tr("The file is not a video that can be played.")
                : m_player->errorString();
        reportLoaded(false);
        break;
    case QMediaPlayer::EndOfMedia:
        emitStatus(); // "stopped" before ended(), so handlers of either see it
        Q_EMIT ended();
        break;
    default:
        break;
    }
    emitStatus();
}

void VidPlay::playerError(QMediaPlayer::Error error, const QString &text)
{
    if (error == QMediaPlayer::NoError)
        return;
    m_error = text.isEmpty() ? tr("The video cannot be played.") : text;
    reportLoaded(false);
    emitStatus();
}

void VidPlay::frameArrived(const QVideoFrame &frame)
{
    if (!frame.isValid())
        return; // keep the last picture on screen when playback ends
    m_frame = frame;
    update();
    Q_EMIT frameShown();
}

void VidPlay::reportLoaded(bool ok)
{
    m_loadWatch->stop();
    if (m_loadReported)
        return;
    m_loadReported = true;
    Q_EMIT loaded(ok);
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
