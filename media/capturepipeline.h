#pragma once

#include "media/capturedevices.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;

namespace tovradocs::Internal {

// One live source and everything it feeds: the source's pictures go through
// a tee to the window and, while a clip is recorded, to the clip, so the
// window's picture, the stills taken from it and the clip are the same
// frames. Lives on the user-interface thread; pictures and outcomes arrive
// there through signals, and no call waits for GStreamer except start() (for
// the first picture) and finishRecording().
class CapturePipeline : public QObject
{
    Q_OBJECT
public:
    // Colour bars that carry their frame number (CaptureFrameStamp).
    static std::unique_ptr<CapturePipeline> testPattern(const CaptureFormat &format);
    static std::unique_ptr<CapturePipeline> device(const CaptureDevice &device, const CaptureFormat &format);
    // Ends a clip being recorded (the file stays playable) and stops.
    ~CapturePipeline() override;

    // Starts the source and waits a few seconds at most for its first
    // picture. Empty when it runs, else the reason it does not.
    QString start();
    // Stops the source; a clip being recorded is finished first.
    void stop();
    bool isRunning() const { return m_pipeline != nullptr; }

    CaptureFormat format() const { return m_format; }
    // The picture frameReady handed out last; null before the first.
    QImage currentFrame() const { return m_current; }
    // Pictures the source gave, and those handed to the window, since start().
    qint64 framesProduced() const;
    qint64 framesShown() const { return m_shown; }

    enum class Container { Avi, Mp4 };
    struct Recording
    {
        QString path;
        // Motion JPEG in AVI, or H.264 in MP4 where an encoder is installed.
        Container container = Container::Avi;
        int quality = 85; // 1 - 100
        bool audio = false;
        int audioRate = 22050;
        int audioChannels = 1;
        // The clip ends by itself after this many seconds of pictures; 0 never.
        int timeLimitSeconds = 0;
    };
    struct RecordingResult
    {
        QString path;
        qint64 frames = 0;
        // Why the clip ended early (disk full, device gone); empty otherwise.
        QString failure;
        // It ended because its source stopped; failed() follows.
        bool sourceStopped = false;
    };
    // Empty when the clip is being recorded, else why it is not.
    QString startRecording(const Recording &recording);
    // Ends the clip; recordingFinished follows once the file is complete.
    void stopRecording();
    // Ends the clip and waits until the file is complete (recordingFinished
    // is emitted before this returns).
    void finishRecording();
    bool isRecording() const { return m_record != nullptr; }
    qint64 framesRecorded() const;

    static bool canRecord(Container container);
    // Sound for clips comes from this element description; empty means the
    // system's default input. Tests use "audiotestsrc is-live=true".
    static void setAudioSourceDescription(const QString &description);
    static QString audioSourceDescription();
    // GStreamer pipelines of the engine that still exist, for tests.
    static int livePipelines();

Q_SIGNALS:
    void frameReady(const QImage &frame);
    void recordingFinished(const tovradocs::Internal::CapturePipeline::RecordingResult &result);
    // The source stopped for good (unplugged, or an error); after a clip
    // being recorded has been finished and reported.
    void failed(const QString &message, bool deviceLost);

private:
    struct Shared;
    struct Record;

    CapturePipeline(const CaptureDevice &device, const CaptureFormat &format, bool testPattern);
    GstElement *build(QString *error);
    void teardown();
    void deliverFrame(int generation);
    void sourceFailed(int generation, const QString &message, bool lost);
    void recordingEnded(int generation, int recordId);
    void requestEndOfClip(bool wait);
    void dropRecordBranch();

    CaptureDevice m_device;
    CaptureFormat m_format;
    bool m_testPattern = false;
    GstElement *m_pipeline = nullptr;
    GstElement *m_tee = nullptr;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Record> m_record;
    int m_generation = 0;
    QImage m_current;
    qint64 m_shown = 0;
    qint64 m_produced = 0;
    bool m_failed = false;
    QString m_failure;
    bool m_failureLost = false;
    QTimer m_finishGuard;
};

} // namespace tovradocs::Internal

Q_DECLARE_METATYPE(tovradocs::Internal::CapturePipeline::RecordingResult)
