#pragma once

#include "media/capturedevices.h"
#include "media/capturepipeline.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

namespace tovradocs::Internal {

// What a capture driver can do; the capture window enables its dialogs and
// the overlay from these flags.
struct DriverCaps
{
    bool hasOverlay = false;
    bool hasDlgVideoSource = false;
    bool hasDlgVideoFormat = false;
    bool hasDlgVideoDisplay = false;
};

// The part of the driver status the capture window reads.
struct CaptureStatus
{
    int imageWidth = 0;
    int imageHeight = 0;
};

// Recording parameters as the video-recording dialog fills them.
struct SequenceParms
{
    qint32 requestMicroSecPerFrame = 66667;
    bool makeUserHitOKToCapture = true;
    int percentDropForError = 10;
    bool yield = false;
    qint32 indexSize = 27000;
    int chunkGranularity = 0;
    bool usingDOSMemory = false;
    int numVideoRequested = 32;
    bool captureAudio = false;
    int numAudioRequested = 4;
    bool abortLeftMouse = true;
    bool abortRightMouse = true;
    bool limitEnabled = false;
    int timeLimit = 30;
    bool mciControl = false;
    bool stepCaptureAt2x = false;
    qint32 audioBufferSize = 0;
    bool disableWriteCache = true;
    int avStreamMaster = 0; // 0 audio, 1 none
};

// One capture driver: a camera the system offers or the built-in test
// pattern, each a live pipeline of the media engine while connected. Frames
// and outcomes arrive on the user-interface thread.
class CaptureSource : public QObject
{
    Q_OBJECT
public:
    explicit CaptureSource(const CaptureDevice &device, QObject *parent = nullptr);
    // The built-in test pattern: colour bars carrying their frame number.
    static std::unique_ptr<CaptureSource> testPattern(QSize size, int framesPerSecond);
    ~CaptureSource() override;

    QString name() const;
    QString version() const;
    // A stable identity, so a list rebuilt after hot-plug keeps the choice.
    QByteArray id() const;
    bool isTestPattern() const { return m_testPattern; }
    bool connectDriver();
    void disconnectDriver();
    bool isConnected() const { return m_pipeline != nullptr; }
    // Why the last connectDriver() failed.
    QString lastError() const { return m_error; }
    DriverCaps caps() const;
    CaptureStatus status() const;
    // The newest frame at full resolution; null before the first one.
    QImage currentFrame() const;
    int frameRate() const { return m_format.framesPerSecond; }
    // Takes the rate where the source offers it at its current size; a
    // connected source restarts on it.
    void setFrameRate(int framesPerSecond);
    // Lets the user choose the picture size (and rate) among those offered.
    bool showFormatDialog(QWidget *parent);
    bool showSourceDialog(QWidget *) { return false; }
    bool showDisplayDialog(QWidget *) { return false; }
    // The running pipeline, through which clips are recorded; null when not connected.
    CapturePipeline *pipeline() const { return m_pipeline.get(); }

Q_SIGNALS:
    void frameReady(const QImage &frame);
    void recordingFinished(const tovradocs::Internal::CapturePipeline::RecordingResult &result);
    // The source stopped for good (unplugged, or an error); no more frames will come.
    void lost(const QString &message, bool deviceLost);

private:
    CaptureSource(const CaptureDevice &device, const CaptureFormat &format, bool testPattern);
    QList<CaptureFormat> offeredFormats() const;
    bool switchFormat(const CaptureFormat &format);

    CaptureDevice m_device;
    CaptureFormat m_format;
    bool m_testPattern = false;
    std::unique_ptr<CapturePipeline> m_pipeline;
    QString m_error;
};

// Lists the drivers the capture window offers, at most nine: the cameras the
// system sees and, where enabled, the test pattern after them. Emits changed
// when a camera is plugged in or out.
class CaptureDrivers : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxDrivers = 9;

    explicit CaptureDrivers(QObject *parent = nullptr);
    ~CaptureDrivers() override;

    int count() const;
    CaptureSource *driver(int index) const;

    // The built-in test pattern is listed after the cameras; tests that need a
    // machine without capture hardware turn it off.
    static void setTestPatternEnabled(bool enabled);
    static bool testPatternEnabled();
    // The test pattern's frame size and rate for drivers made from now on.
    static void setTestPatternFormat(QSize size, int framesPerSecond);

Q_SIGNALS:
    void changed();

private:
    void rebuild();

    std::unique_ptr<CaptureDevices> m_devices;
    std::vector<std::unique_ptr<CaptureSource>> m_drivers;
    // Cameras unplugged while connected, kept until the window lets go.
    std::vector<std::unique_ptr<CaptureSource>> m_retired;
};

} // namespace tovradocs::Internal
