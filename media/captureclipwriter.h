#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

typedef struct _GstMessage GstMessage;

namespace tovradocs::Internal {

namespace Gst {
class BusWatch;
class Relay;
} // namespace Gst

// Writes a Motion-JPEG AVI one picture at a time, each one frame after the
// last, for clips made frame by frame. Lives on the UI thread; its pipeline
// starts, takes the pictures and ends on a worker of the engine, so no call
// here waits for GStreamer.
class CaptureClipWriter : public QObject
{
    Q_OBJECT
public:
    explicit CaptureClipWriter(QObject *parent = nullptr);
    // Returns at once; a clip still open is finished as by stop().
    ~CaptureClipWriter() override;

    struct Format
    {
        QSize frameSize;
        int framesPerSecond = 15;
        int quality = 85;
    };
    // Empty when the clip is open, else why it is not. A file that cannot be
    // written after all is reported by failed().
    QString start(const QString &path, const Format &format);
    // Takes the picture as the clip's next frame; pictures of another size
    // are scaled to the clip's. False when no clip is open.
    bool push(const QImage &picture);
    // Ends the clip. Its file is completed on a worker (also when this object
    // goes first); finished() follows, with an error or empty.
    void stop();

    bool isRecording() const { return m_shared != nullptr; }
    qint64 framesPushed() const { return m_frames; }

Q_SIGNALS:
    // Writing failed (disk full); the clip has been closed, what was written stays.
    void failed(const QString &message);
    void finished(const QString &error);

private:
    struct Shared;
    void busMessage(GstMessage *message);
    void release();

    std::shared_ptr<Gst::Relay> m_relay;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Gst::BusWatch> m_watch;
    QSize m_size;
    int m_fps = 15;
    qint64 m_frames = 0;
};

} // namespace tovradocs::Internal
