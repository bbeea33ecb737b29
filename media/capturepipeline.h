#pragma once

#include "media/capturedevices.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

typedef struct _GstMessage GstMessage;

namespace tovradocs::Internal {

namespace Gst {
class BusWatch;
class Relay;
} // namespace Gst

// One live source and everything it feeds: the source's pictures go through
// a tee to the window and, while a clip is recorded, to the clip, so the
// window's picture, the stills taken from it and the clip are the same
// frames.
//
// Threads: make, call and destroy on the UI thread; signals arrive there.
// Nothing here waits for GStreamer: starting, the clip's branch coming and
// going, and stopping run in order on a worker of the engine (one per device,
// so a camera is let go before it is opened again), and their outcome
// arrives later.
class CapturePipeline : public QObject
{
    Q_OBJECT
public:
    // Colour bars that carry their frame number (CaptureFrameStamp).
    static std::unique_ptr<CapturePipeline> testPattern(const CaptureFormat &format);
    static std::unique_ptr<CapturePipeline> device(const CaptureDevice &device, const CaptureFormat &format);
    // Returns at once; as stop().
    ~CapturePipeline() override;

    // Starts the source; started() follows with its first picture, or
    // startFailed() when it gives none within startTimeout() milliseconds.
    void start();
    // Stops the source and returns at once. A clip being recorded is finished
    // first on the worker (its file closed whole) and reported through its
    // whenFinished, even after this object has gone.
    void stop();
    bool isStarting() const { return m_state == State::Starting; }
    bool isRunning() const { return m_state == State::Running; }
    static int startTimeout() { return 8000; }

    CaptureFormat format() const { return m_format; }
    // The picture frameReady handed out last; null before the first.
    QImage currentFrame() const { return m_current; }
    // Pictures the source gave, and those handed to the window, since start().
    qint64 framesProduced() const;
    qint64 framesShown() const { return m_shown; }

    enum class Container { Avi, Mp4 };
    struct RecordingResult
    {
        QString path;
        qint64 frames = 0;
        // Why the clip ended early (disk full, device gone) or did not start;
        // empty otherwise.
        QString failure;
        // It ended because its source stopped; failed() follows.
        bool sourceStopped = false;
    };
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
        // Runs once on the UI thread when the clip's file is closed, or with
        // a failure when the clip could not start; also when this pipeline
        // has gone by then.
        std::function<void(const RecordingResult &)> whenFinished;
    };
    // Empty when the clip will be recorded from the next picture on (also
    // while the source is starting), else why it will not be.
    QString startRecording(Recording recording);
    // Ends the clip; its whenFinished follows once the file is complete.
    void stopRecording();
    bool isRecording() const { return m_record != nullptr; }
    qint64 framesRecorded() const;

    static bool canRecord(Container container);
    // Sound for clips comes from this element description; empty means the
    // system's default input. Tests use "audiotestsrc is-live=true".
    static void setAudioSourceDescription(const QString &description);
    static QString audioSourceDescription();

Q_SIGNALS:
    void started();
    void startFailed(const QString &reason);
    void frameReady(const QImage &frame);
    // The running source stopped for good (unplugged, or an error); after a
    // clip being recorded has been finished and reported.
    void failed(const QString &message, bool deviceLost);

private:
    struct Shared;
    struct Clip;
    struct Record;
    enum class State { Stopped, Starting, Running };

    CapturePipeline(const CaptureDevice &device, const CaptureFormat &format, bool testPattern);
    void built(int generation);
    void busMessage(GstMessage *message);
    void deliverFrame(int generation);
    void fail(const QString &message, bool lost);
    void reportFailure(bool wasStarting, const QString &message, bool lost);
    void clipEnded(const QString &failure);
    // Lets the worker finish a clip, run thenReport and release the pipeline.
    void teardown(std::function<void()> thenReport, const QString &sourceFailure);
    void recordRefused(int generation, int recordId);

    CaptureDevice m_device;
    CaptureFormat m_format;
    bool m_testPattern = false;
    State m_state = State::Stopped;
    std::shared_ptr<Gst::Relay> m_relay;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Gst::BusWatch> m_watch;
    std::unique_ptr<Record> m_record;
    int m_generation = 0;
    QImage m_current;
    qint64 m_shown = 0;
    qint64 m_produced = 0;
    QTimer m_startGuard;
    QTimer m_finishGuard;
};

} // namespace tovradocs::Internal
