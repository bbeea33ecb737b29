#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
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

// One video source: a camera or the built-in test pattern. Frames arrive on
// the user-interface thread through frameReady.
class CaptureSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~CaptureSource() override = default;

    virtual QString name() const = 0;
    virtual QString version() const = 0;
    // A stable identity, so a list rebuilt after hot-plug keeps the choice.
    virtual QByteArray id() const = 0;
    virtual bool connectDriver() = 0;
    virtual void disconnectDriver() = 0;
    virtual bool isConnected() const = 0;
    virtual DriverCaps caps() const = 0;
    virtual CaptureStatus status() const = 0;
    // The newest frame at full resolution; null before the first one.
    virtual QImage currentFrame() const = 0;
    // Frames per second the source delivers; a source that cannot change its
    // rate keeps it.
    virtual int frameRate() const = 0;
    virtual void setFrameRate(int framesPerSecond) { Q_UNUSED(framesPerSecond) }
    // The driver's own dialogs; false when there is none.
    virtual bool showSourceDialog(QWidget *parent) { Q_UNUSED(parent) return false; }
    virtual bool showFormatDialog(QWidget *parent) { Q_UNUSED(parent) return false; }
    virtual bool showDisplayDialog(QWidget *parent) { Q_UNUSED(parent) return false; }

Q_SIGNALS:
    void frameReady(const QImage &frame);
    // The device went away (unplugged); no more frames will come.
    void lost();
};

// Lists the drivers the capture window offers, at most nine: the cameras the
// system sees and, where enabled, the test pattern. Emits changed when a
// camera is plugged in or out.
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

    // Extra sources a test or an embedding host adds in front of the list.
    using SourceFactory = std::function<std::unique_ptr<CaptureSource>()>;
    static void setExtraSources(std::vector<SourceFactory> factories);

Q_SIGNALS:
    void changed();

private:
    void rebuild();

    std::vector<std::unique_ptr<CaptureSource>> m_drivers;
};

} // namespace tovradocs::Internal
