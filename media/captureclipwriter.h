#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

typedef struct _GstElement GstElement;

namespace tovradocs::Internal {

namespace CaptureGst {
class Relay;
}

// Writes a Motion-JPEG AVI one picture at a time, each one frame after the
// last, for clips made frame by frame. Pictures are encoded and written on
// GStreamer's threads; push() does not wait for them.
class CaptureClipWriter : public QObject
{
    Q_OBJECT
public:
    explicit CaptureClipWriter(QObject *parent = nullptr);
    ~CaptureClipWriter() override;

    struct Format
    {
        QSize frameSize;
        int framesPerSecond = 15;
        int quality = 85;
    };
    // Empty when the clip is open, else why it is not.
    QString start(const QString &path, const Format &format);
    // Pictures of another size are scaled to the clip's.
    bool push(const QImage &picture);
    // Ends the clip and waits until the file is complete; empty on success.
    QString stop();

    bool isRecording() const { return m_pipeline != nullptr; }
    qint64 framesPushed() const { return m_frames; }

Q_SIGNALS:
    // Writing failed (disk full); the clip has been closed, what was written stays.
    void failed(const QString &message);

private:
    struct Errors;
    void writeFailed(const QString &message);
    void teardown();

    GstElement *m_pipeline = nullptr;
    GstElement *m_source = nullptr;
    std::shared_ptr<CaptureGst::Relay> m_relay;
    std::shared_ptr<Errors> m_errors;
    QSize m_size;
    int m_fps = 15;
    qint64 m_frames = 0;
};

} // namespace tovradocs::Internal
