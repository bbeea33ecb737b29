#pragma once

#include "component/result.h"

#include <QImage>
#include <QMediaPlayer>
#include <QVideoFrame>
#include <QTimer>
#include <QWidget>

class QAudioOutput;
class QVideoSink;

namespace tovradocs::Internal {

// A video view: opens a file by path, plays it and draws the frames itself
// (through a video sink), so it shows and grabs the same on every platform
// plugin, offscreen included. The status text reads "stopped" once playback
// has ended. UI thread only.
class VidPlay : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName)
    Q_PROPERTY(QString SaveFileName READ saveFileName WRITE setSaveFileName)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusChanged)

public:
    explicit VidPlay(QWidget *parent = nullptr);
    ~VidPlay() override;

    // Opens the file without playing it; false when it cannot be read at all
    // (missing). A file that turns out not to be a video reports loaded(false).
    bool setFileName(const QString &fileName);
    QString fileName() const { return m_fileName; }
    bool open(const QString &fileName) { return setFileName(fileName); }

    void load(); // (re)opens fileName()
    // Opens the file and starts it; false when it cannot be read at all.
    bool openAndPlay(const QString &fileName);
    // Resumes a paused video, restarts one that has ended.
    void play();
    void pause();
    void stop();
    void ToggleMovement(); // pause when playing, else play
    void Rewind();

    // "stopped", "playing", "paused", "loading" or "error"; "" with no file.
    QString statusText() const;
    bool isLoaded() const;
    QString errorString() const { return m_error; }

    // Pixels of the video; 0 until known.
    int videoWidth() const { return videoSize().width(); }
    int videoHeight() const { return videoSize().height(); }
    QSize videoSize() const;

    void setMuted(bool muted);
    // Milliseconds from the start of the video.
    qint64 position() const { return m_player->position(); }
    qint64 duration() const { return m_player->duration(); }
    void setPosition(qint64 milliseconds);
    // One frame on (steps > 0) or back; meant for a paused video.
    void stepFrames(int steps);
    // Milliseconds per frame from the stream's rate; 40 when it is not known.
    qint64 frameInterval() const;

    // The frame on screen (the last one decoded).
    QImage currentFrame() const;
    QString saveFileName() const { return m_saveFileName; }
    void setSaveFileName(const QString &fileName) { m_saveFileName = fileName; }
    // true: writes the current frame to SaveFileName, format from its extension.
    Outcome SavePicture(bool save);

    QMediaPlayer *player() const { return m_player; }
    QSize sizeHint() const override;

public Q_SLOTS:
    // The library's video menu reaches any player by these names.
    bool saveFrame(const QString &fileName);
    void togglePause() { ToggleMovement(); }
    void rewind() { Rewind(); }

Q_SIGNALS:
    void statusChanged(const QString &status);
    // Once per opened file: true when the media loaded, false when it cannot play.
    void loaded(bool ok);
    void frameShown();
    void ended();
    void positionChanged(qint64 milliseconds);
    // The right button was released over the picture (global position).
    void contextRequested(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void mediaStatusChanged(QMediaPlayer::MediaStatus status);
    void playerError(QMediaPlayer::Error error, const QString &text);
    void frameArrived(const QVideoFrame &frame);
    void reportLoaded(bool ok);
    void loadTimedOut();
    void emitStatus();

    QMediaPlayer *m_player;
    QVideoSink *m_sink;
    QAudioOutput *m_audio = nullptr;
    QTimer *m_loadWatch;
    QVideoFrame m_frame;
    QString m_fileName;
    QString m_saveFileName;
    QString m_error;
    QString m_lastStatus;
    bool m_loadReported = false;
};

} // namespace tovradocs::Internal
