#pragma once

#include "capture/capturesource.h"
#include "capture/grabcontroller.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace tovradocs {
class Capturer;
}

class QAction;
class QMenu;

namespace tovradocs::Internal {

class CaptureEntries;
class GrabController;

// Shows the newest frame of the connected source.
class CaptureView : public QWidget
{
    Q_OBJECT
public:
    explicit CaptureView(QWidget *parent);
    void setFrame(const QImage &frame);
    QImage frame() const { return m_frame; }
    // While a clip is recorded the picture says so, with its running time.
    void setRecording(bool recording);
    bool isRecording() const { return m_recording.isValid(); }
    // A line over the picture ("Connecting to ..."); empty for none.
    void setNotice(const QString &text);
    QString notice() const { return m_notice; }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QImage m_frame;
    QElapsedTimer m_recording;
    QString m_notice;
};

// The capture window: connects to a capture driver, shows its live picture
// and saves stills and clips straight into the book as new entries. It never
// waits: a camera connects while the picture says so, stills are encoded and
// written on a worker, and a clip still running when the window closes is
// finished by the media engine and stored through the window's set after it
// has gone.
class SmartGrab : public QMainWindow
{
    Q_OBJECT
public:
    explicit SmartGrab(QWidget *parent, GrabController *controller = nullptr);
    ~SmartGrab() override;

    // The capture child window; null when it could not be made.
    CaptureView *capwnd() const { return m_capwnd; }
    int MenuHeight() const;
    int CaptionHeight() const;
    int XBorder() const;
    int YBorder() const;
    void TranslateToMenuClicks(qint16 command);
    void Form_Resize();
    void RemoteSelectDriver(int index);
    void Form_KeyDown(int key, int shift);

    void setController(GrabController *controller) { m_controller = controller; }
    CaptureDrivers *drivers() const { return m_drivers.get(); }
    CaptureSource *source() const;
    // From choosing a driver until its first picture.
    bool isConnecting() const;
    int driverIndex() const { return m_driverIndex; }
    int driverCount() const { return m_driverCount; }
    qint32 bookCode() const { return m_bookCode; }
    // The book a capture window opened now for `capturer` would fill, when
    // that is known without asking the user; 0 otherwise.
    static qint32 knownBook(const Capturer *capturer);
    qint32 entryCode() const { return m_entryCode; }
    QString currentFrameFile() const { return m_frameFile; }
    QString currentVideoFile() const { return m_videoFile; }
    // From the start of a clip until its file is complete and stored.
    bool isRecording() const { return m_recording; }
    qint64 framesRecorded() const;

    // Recording parameters, read and set by the recording dialog.
    SequenceParms sequenceSetup() const { return m_sequence; }
    void setSequenceSetup(const SequenceParms &parms) { m_sequence = parms; }
    QString captureFile() const { return m_captureFile; }
    bool setCaptureFile(const QString &path);
    // Audio of new clips: samples per second and channels.
    int audioRate() const { return m_audioRate; }
    int audioChannels() const { return m_audioChannels; }
    void setAudioFormat(int rate, int channels);

    // Releases the driver and lets the stills and the clip under way finish
    // without the window; returns at once. The background window calls it
    // before it closes.
    void shutdown();
    // Ends the clip being recorded, as a click in the picture does;
    // recordingFinished follows when its file is complete.
    void stopRecording();

Q_SIGNALS:
    // A clip has ended, saved or not; the entry (if any) is already stored.
    void recordingFinished(bool saved);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildMenus();
    void findDrivers();
    void refreshDriverMenu();
    bool connectDriver(int index);
    void chooseDriver(int index);
    void sourceConnected();
    void sourceNotConnected(const QString &reason);
    void formatRefused(const QString &reason);
    void firstActivation();
    void closeEnvironment();
    void snap();
    void record();
    void clipEnded(int clipId, const CapturePipeline::RecordingResult &result, bool saved);
    void saveFrameAs();
    void saveVideoAs();
    void chooseCaptureFile();
    void copyFrame();
    void toggleOverlay();
    void togglePreview();
    void driverDialog(qint16 command);
    void showConnecting();
    void showFrame(const QImage &frame);
    void sourceLost(const QString &message, bool deviceLost);
    void fitToImage();
    void message(const QString &text, bool critical = false);

    std::unique_ptr<CaptureDrivers> m_drivers;
    QPointer<CaptureSource> m_source;
    QPointer<GrabController> m_controller;
    CaptureView *m_capwnd = nullptr;
    int m_driverIndex = 0;
    int m_driverCount = 0;
    qint32 m_bookCode = 0;
    qint32 m_entryCode = 0;
    QString m_frameFile;
    QTimer m_syncPause;
    QString m_videoFile;
    QString m_captureFile;
    std::shared_ptr<CaptureEntries> m_entries;
    bool m_activated = false;
    bool m_closing = false;
    bool m_immediateVideo = false;
    bool m_recordWhenConnected = false;
    bool m_rememberDriver = false;
    SequenceParms m_sequence;
    int m_audioRate = 22050;
    int m_audioChannels = 1;
    bool m_recording = false;
    int m_clipId = 0;
    bool m_clipSavedBeforeLoss = false;
    qint64 m_framesRecorded = 0;

    QMenu *m_driverMenu = nullptr;
    QList<QAction *> m_driverActions;
    QAction *m_actSource = nullptr;
    QAction *m_actFormat = nullptr;
    QAction *m_actDisplay = nullptr;
    QAction *m_actOverlay = nullptr;
    QAction *m_actPreview = nullptr;
    QAction *m_actRecord = nullptr;
};

} // namespace tovradocs::Internal
