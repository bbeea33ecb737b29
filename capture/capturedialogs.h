#pragma once

#include "media/capturepipeline.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tovradocs::Internal {

class CaptureClipWriter;
class SmartGrab;

// "Capture Video Sequence": the recording parameters of the next clip.
// After it closes, a non-empty "tag" property means the user confirmed.
class frmCapVid : public QDialog
{
    Q_OBJECT
public:
    explicit frmCapVid(SmartGrab *grab);
    void done(int result) override;

private:
    void ok();
    void keepRateInRange();

    SmartGrab *m_grab;
    QLineEdit *m_fps;
    QLineEdit *m_seconds;
    QCheckBox *m_limit;
    QCheckBox *m_audio;
    bool m_busy = false;
};

// "Capture Frames": adds single frames to the capture file, one per click.
class frmCapFrame : public QDialog
{
    Q_OBJECT
public:
    explicit frmCapFrame(SmartGrab *grab);
    ~frmCapFrame() override;

private:
    void capture();

    SmartGrab *m_grab;
    std::unique_ptr<CaptureClipWriter> m_writer;
    QLabel *m_frames;
    QPushButton *m_cancel;
    int m_count = 0;
};

// "Set File Size": space set aside for the capture file.
class frmAlloc : public QDialog
{
    Q_OBJECT
public:
    explicit frmAlloc(SmartGrab *grab);

    // Free space on the drive of path, in whole megabytes, less one.
    static qint64 freeMegabytes(const QString &path);

private:
    void ok();

    SmartGrab *m_grab;
    QLineEdit *m_size;
    qint64 m_free = 0;
    bool m_busy = false;
};

// "Tovra Cap Preferences".
class frmPrefs : public QDialog
{
    Q_OBJECT
public:
    explicit frmPrefs(QWidget *parent);

private:
    void ok();

    QString m_colour;
    QString m_maxFrames;
    QString m_streamMaster;
};

// "Video Compression": the kind and picture quality of new clips. H.264 in
// MP4 is offered only where an H.264 encoder is installed.
class frmCompression : public QDialog
{
    Q_OBJECT
public:
    explicit frmCompression(QWidget *parent);

private:
    void ok();

    QComboBox *m_codec;
    QLineEdit *m_quality;
};

// "Select Sound Format": sets the audio format of the capture window's clips.
void chooseAudioFormat(SmartGrab *grab);
// The compression dialog, shown modally.
void chooseCompression(SmartGrab *grab);
// Picture quality of new clips, 1 to 100.
int compressionQuality();
// The container of new clips: MP4 when H.264 is chosen and can be written,
// else AVI.
CapturePipeline::Container clipContainer();
// A clip can take sound from the system's input, or tests stand one in.
bool audioInputAvailable();

} // namespace tovradocs::Internal
