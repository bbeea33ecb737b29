#pragma once

#include "component/result.h"

#include <QImage>
#include <QWidget>

namespace tovradocs::Internal {

class MediaPlayer;
class PlaybackGroup;

// A video view: opens a file by path, plays it through the media engine and
// paints the pictures itself, so it shows and grabs the same on every
// platform plugin, offscreen included. The status text reads "stopped" once
// playback has ended. Views that join one PlaybackGroup run on one clock.
// UI thread only; no call waits for the engine.
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
    QString errorString() const;

    // Pixels of the video; 0 until known.
    int videoWidth() const { return videoSize().width(); }
    int videoHeight() const { return videoSize().height(); }
    QSize videoSize() const;

    void setMuted(bool muted);
    // Milliseconds from the start of the video to the picture shown.
    qint64 position() const;
    qint64 duration() const;
    void setPosition(qint64 milliseconds);
    // Pauses and moves steps pictures on (back when negative).
    void stepFrames(int steps);
    // Milliseconds per frame from the stream's rate; 40 when it is not known.
    qint64 frameInterval() const;

    // Joins the views of a window on one clock (null: a clock of its own).
    void setGroup(PlaybackGroup *group);

    // The frame on screen (the last one decoded).
    QImage currentFrame() const;
    QString saveFileName() const { return m_saveFileName; }
    void setSaveFileName(const QString &fileName) { m_saveFileName = fileName; }
    // true: writes the current frame to SaveFileName, format from its extension.
    Outcome SavePicture(bool save);

    MediaPlayer *player() const { return m_player; }
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
    // Repeating: the video started again from its beginning.
    void looped();
    void positionChanged(qint64 milliseconds);
    // The right button was released over the picture (global position).
    void contextRequested(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void emitStatus();

    MediaPlayer *m_player;
    QString m_fileName;
    QString m_saveFileName;
    QString m_lastStatus;
};

} // namespace tovradocs::Internal
