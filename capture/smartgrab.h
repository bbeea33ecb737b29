#pragma once

#include "capture/capturesource.h"
#include "capture/grabcontroller.h"
#include "component/result.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QMainWindow>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace tovradocs {
class Capturer;
class Recordset;
}

class QAction;
class QMenu;

namespace tovradocs::Internal {

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

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QImage m_frame;
    QElapsedTimer m_recording;
};

// The capture window: connects to a capture driver, shows its live picture
// and saves stills and clips straight into the book as new entries.
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

    // Ends a running clip and releases the driver; the background window
    // calls it before it closes.
    void shutdown();
    // Stores the stills whose files are written, in the order they were
    // taken; with wait, waits for all of them first.
    void collectSnaps(bool wait);
    // Reports syncs that failed; with wait, waits for all of them first.
    void collectSyncs(bool wait);
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
    void firstActivation();
    void closeEnvironment();
    void snap();
    void record();
    void finishClipNow();
    void clipFinished(const CapturePipeline::RecordingResult &result);
    void finishRecording(const QString &failure, bool sourceStopped);
    void addEntry(qint16 entryType, const QString &fileName, const QString &description, qint32 entryCode);
    void saveFrameAs();
    void saveVideoAs();
    void chooseCaptureFile();
    void copyFrame();
    void toggleOverlay();
    void togglePreview();
    void driverDialog(qint16 command);
    void syncStills();
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
    struct Snap
    {
        QFuture<Outcome> written;
        QString fileName;
        qint32 entryCode = 0;
    };
    QList<Snap> m_snaps;                    // stills being written, oldest first
    QThreadPool m_snapWriter;               // one thread: stills are written in order
    QStringList m_unsynced;                 // stills stored, not yet synced
    QTimer m_syncPause;
    QList<QFuture<Outcome>> m_pendingSyncs; // syncs under way
    QString m_videoFile;
    QString m_captureFile;
    std::unique_ptr<Recordset> m_set;
    bool m_activated = false;
    bool m_closing = false;
    bool m_immediateVideo = false;
    SequenceParms m_sequence;
    int m_audioRate = 22050;
    int m_audioChannels = 1;
    bool m_recording = false;
    bool m_recordIntoLibrary = false;
    bool m_clipSavedBeforeLoss = false;
    qint64 m_framesRecorded = 0;
    qint32 m_clipEntryCode = 0;

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
