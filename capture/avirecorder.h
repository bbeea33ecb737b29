#pragma once

#include "component/result.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

typedef struct _GstElement GstElement;

namespace tovradocs::Internal {

// Writes a clip as Motion-JPEG AVI: frames pushed from the user-interface
// thread are encoded and muxed on GStreamer's own threads, so the preview
// keeps running while a clip is recorded.
class AviRecorder : public QObject
{
    Q_OBJECT
public:
    explicit AviRecorder(QObject *parent = nullptr);
    ~AviRecorder() override;

    // Audio comes from this element when a clip asks for it; empty means the
    // system's default input. Tests use "audiotestsrc is-live=true".
    static void setAudioSourceDescription(const QString &description);
    static bool hasAudioSourceOverride();

    struct Format
    {
        QSize frameSize;
        int framesPerSecond = 15;
        bool audio = false;
        int audioRate = 22050;
        int audioChannels = 1;
        int quality = 85;
        // Frame-by-frame clips stamp each frame one frame after the last;
        // live clips take the time the frame arrived.
        bool stepped = false;
    };
    Outcome start(const QString &path, const Format &format);
    // Frames of another size are scaled to the clip's size.
    bool push(const QImage &frame);
    // Ends the clip and waits until the file is complete.
    Outcome stop();

    bool isRecording() const { return m_pipeline != nullptr; }
    qint64 framesPushed() const { return m_frames; }
    QString path() const { return m_path; }

    // Frame count and size of an AVI file as GStreamer decodes it; tests and
    // benchmarks read clips back with this.
    struct ClipInfo
    {
        qint64 frames = 0;
        QSize size;
        bool hasAudio = false;
    };
    static Result<ClipInfo> readClip(const QString &path);

Q_SIGNALS:
    // The pipeline failed (disk full, device gone); the clip has been closed.
    void failed(const QString &message);

private:
    void pollBus();
    void teardown();

    GstElement *m_pipeline = nullptr;
    GstElement *m_appsrc = nullptr;
    QString m_path;
    QSize m_size;
    int m_fps = 15;
    bool m_stepped = false;
    qint64 m_frames = 0;
    QTimer m_busTimer;
};

} // namespace tovradocs::Internal
