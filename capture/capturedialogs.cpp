#include "capture/capturedialogs.h"

#include "capture/capturesettings.h"
#include "capture/smartgrab.h"
#include "component/dialogservice.h"
#include "media/captureclipwriter.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace capturedialogs {

const QString kCapture = QStringLiteral("capture settings");
const QString kPrefs = QStringLiteral("preferences");

QString setting(const QString &section, const QString &key, const QString &fallback)
{
    return CaptureSettings::value(section, key, fallback);
}

QLineEdit *digitsBox(QWidget *parent, const char *name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), box));
    return box;
}

QPushButton *button(QWidget *parent, const QString &caption, const QString &name)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

void message(QWidget *parent, const QString &text)
{
    DialogService::message(parent, text, CaptureSettings::componentTitle(), Buttons::Ok,
                           Severity::Information);
}

} // namespace capturedialogs

using namespace capturedialogs;

frmCapVid::frmCapVid(SmartGrab *grab) : QDialog(grab), m_grab(grab)
{
    setObjectName(QStringLiteral("frmCapVid"));
    setWindowTitle(QStringLiteral("Capture Video Sequence"));
    m_fps = digitsBox(this, "txtFps");
    m_seconds = digitsBox(this, "txtSec");
    m_limit = new QCheckBox(QStringLiteral("Enable capture time limit"), this);
    m_limit->setObjectName(QStringLiteral("chkLimit"));
    m_audio = new QCheckBox(QStringLiteral("Capture Audio"), this);
    m_audio->setObjectName(QStringLiteral("chkAudio"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Frame Rate (FPS):"), m_fps);
    form->addRow(m_limit);
    form->addRow(QStringLiteral("Seconds:"), m_seconds);
    form->addRow(m_audio);
    const QString captions[] = {QStringLiteral("&OK"), QStringLiteral("&Cancel"),
                                QStringLiteral("&Audio..."), QStringLiteral("&Video..."),
                                QStringLiteral("Com&press...")};
    auto *buttons = new QVBoxLayout;
    for (int i = 0; i < 5; ++i) {
        QPushButton *b = button(this, captions[i], QStringLiteral("Command1_%1").arg(i));
        // Return confirms, as in any dialog.
        b->setDefault(i == 0);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] {
            switch (i) {
            case 0: ok(); break;
            case 1: reject(); break;
            case 2: chooseAudioFormat(m_grab); break;
            case 3: m_grab->TranslateToMenuClicks(253); break;
            case 4: chooseCompression(m_grab); break;
            }
        });
    }
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addLayout(buttons);

    m_fps->setText(setting(kCapture, QStringLiteral("fps"), QStringLiteral("15")));
    m_limit->setChecked(setting(kCapture, QStringLiteral("time limit"), QStringLiteral("0")) == QLatin1String("1"));
    m_seconds->setText(setting(kCapture, QStringLiteral("seconds"), QStringLiteral("30")));
    m_audio->setChecked(setting(kCapture, QStringLiteral("cap audio"), QStringLiteral("0")) == QLatin1String("1"));
    connect(m_fps, &QLineEdit::textChanged, this, &frmCapVid::keepRateInRange);
}

void frmCapVid::keepRateInRange()
{
    if (m_busy || m_fps->text().isEmpty())
        return;
    const int rate = m_fps->text().toInt();
    m_busy = true;
    if (rate < 1)
        m_fps->setText(QStringLiteral("1"));
    else if (rate > 100)
        m_fps->setText(QStringLiteral("100"));
    m_busy = false;
}

void frmCapVid::ok()
{
    SequenceParms parms = m_grab->sequenceSetup();
    const int rate = m_fps->text().toInt();
    parms.requestMicroSecPerFrame = rate > 0 ? qRound(1e6 / rate) : 0;
    parms.makeUserHitOKToCapture = true;
    parms.percentDropForError = 10;
    parms.yield = false;
    parms.indexSize = qint32(setting(kPrefs, QStringLiteral("maxframes"), QStringLiteral("27000")).toLong());
    parms.chunkGranularity = 0;
    parms.usingDOSMemory = false;
    parms.numVideoRequested = 32;
    parms.captureAudio = m_audio->isChecked();
    parms.numAudioRequested = 4;
    parms.abortLeftMouse = true;
    parms.abortRightMouse = true;
    parms.limitEnabled = m_limit->isChecked();
    parms.timeLimit = m_seconds->text().toInt();
    parms.mciControl = false;
    parms.stepCaptureAt2x = false;
    parms.audioBufferSize = 0;
    parms.disableWriteCache = true;
    parms.avStreamMaster =
        setting(kPrefs, QStringLiteral("streammaster"), QStringLiteral("AUDIO")).trimmed().toUpper()
                == QLatin1String("AUDIO")
            ? 0
            : 1;
    m_grab->setSequenceSetup(parms);
    setProperty("tag", QStringLiteral("True"));
    accept();
}

void frmCapVid::done(int result)
{
    CaptureSettings::setValue(kCapture, QStringLiteral("fps"), m_fps->text());
    CaptureSettings::setValue(kCapture, QStringLiteral("time limit"),
                              m_limit->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    CaptureSettings::setValue(kCapture, QStringLiteral("seconds"), m_seconds->text());
    CaptureSettings::setValue(kCapture, QStringLiteral("cap audio"),
                              m_audio->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    QDialog::done(result);
}

frmCapFrame::frmCapFrame(SmartGrab *grab) : QDialog(grab), m_grab(grab)
{
    setObjectName(QStringLiteral("frmCapFrame"));
    setWindowTitle(QStringLiteral("Capture Frames"));
    auto *prompt = new QLabel(QStringLiteral("Select Capture to capture an image to"), this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    auto *file = new QLabel(this);
    file->setObjectName(QStringLiteral("lblCapFile"));
    m_frames = new QLabel(QStringLiteral("0 Frames"), this);
    m_frames->setObjectName(QStringLiteral("lblFrames"));
    QPushButton *capture = button(this, QStringLiteral("C&apture"), QStringLiteral("cmdCapture"));
    m_cancel = button(this, QStringLiteral("&Cancel"), QStringLiteral("cmdCancel"));
    connect(capture, &QPushButton::clicked, this, &frmCapFrame::capture);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QGridLayout(this);
    layout->addWidget(prompt, 0, 0, 1, 2);
    layout->addWidget(file, 1, 0, 1, 2);
    layout->addWidget(m_frames, 2, 0, 1, 2);
    layout->addWidget(capture, 3, 0);
    layout->addWidget(m_cancel, 3, 1);

    const QString captureFile = grab->captureFile();
    file->setText(captureFile.isEmpty() ? QStringLiteral("<error: no cap file>") : captureFile);
    CaptureSource *source = grab->source();
    if (!captureFile.isEmpty() && source) {
        CaptureClipWriter::Format format;
        const QImage frame = source->currentFrame();
        format.frameSize = frame.isNull() ? QSize(source->status().imageWidth, source->status().imageHeight)
                                          : frame.size();
        format.framesPerSecond = setting(kCapture, QStringLiteral("fps"), QStringLiteral("15")).toInt();
        format.quality = compressionQuality();
        m_writer = std::make_unique<CaptureClipWriter>();
        if (const QString refused = m_writer->start(captureFile, format); !refused.isEmpty())
            m_writer.reset();
    }
}

frmCapFrame::~frmCapFrame()
{
    if (m_writer)
        m_writer->stop();
}

void frmCapFrame::capture()
{
    CaptureSource *source = m_grab->source();
    if (!m_writer || !source || !m_writer->push(source->currentFrame())) {
        message(this, QStringLiteral("Could not capture frame"));
        return;
    }
    ++m_count;
    m_frames->setText(QString::number(m_count) + QStringLiteral(" Frames"));
    m_cancel->setText(QStringLiteral("Close"));
}

frmAlloc::frmAlloc(SmartGrab *grab) : QDialog(grab), m_grab(grab)
{
    setObjectName(QStringLiteral("frmAlloc"));
    setWindowTitle(QStringLiteral("Set File Size"));
    auto *text = new QLabel(QStringLiteral("Enter the Amount of disk space to set aside for the "
                                           "capture file.  Existing video data in the file will be lost."),
                            this);
    text->setWordWrap(true);
    auto *free = new QLabel(this);
    free->setObjectName(QStringLiteral("lblFreeDisk"));
    m_size = digitsBox(this, "txtAlloc");
    QPushButton *ok = button(this, QStringLiteral("&OK"), QStringLiteral("cmdOK"));
    QPushButton *cancel = button(this, QStringLiteral("&Cancel"), QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &frmAlloc::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QGridLayout(this);
    layout->addWidget(text, 0, 0, 1, 3);
    layout->addWidget(new QLabel(QStringLiteral("Free disk space:"), this), 1, 0);
    layout->addWidget(free, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("MBytes"), this), 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Capture file size:"), this), 2, 0);
    layout->addWidget(m_size, 2, 1);
    layout->addWidget(new QLabel(QStringLiteral("MBytes"), this), 2, 2);
    layout->addWidget(ok, 3, 1);
    layout->addWidget(cancel, 3, 2);

    const QString file = grab->captureFile();
    m_free = freeMegabytes(file);
    free->setText(QString::number(m_free));
    const qint64 bytes = QFileInfo(file).size();
    if (bytes > 512 * 1024)
        m_size->setText(QString::number(bytes / (1024 * 1024)));
    connect(m_size, &QLineEdit::textChanged, this, [this](const QString &typed) {
        if (m_busy || typed.toLongLong() <= m_free)
            return;
        m_busy = true;
        m_size->setText(QString::number(m_free));
        m_busy = false;
    });
}

qint64 frmAlloc::freeMegabytes(const QString &path)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    return qMax<qint64>(0, storage.bytesAvailable() / (1024 * 1024) - 1);
}

void frmAlloc::ok()
{
    const qint64 megabytes = m_size->text().toLongLong();
    const QString path = m_grab->captureFile();
    QFile file(path);
    // The space is reserved by sizing the file; a clip written there replaces it.
    if (!path.isEmpty() && megabytes > 0 && file.open(QIODevice::ReadWrite))
        file.resize(megabytes * 1048576);
    accept();
}

frmPrefs::frmPrefs(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPrefs"));
    setWindowTitle(QStringLiteral("Tovra Cap Preferences"));
    auto group = [this](const QString &title, const QStringList &captions, const QString &name,
                        int checked, const std::function<void(int)> &choose) {
        auto *box = new QGroupBox(title, this);
        auto *layout = new QVBoxLayout(box);
        auto *buttons = new QButtonGroup(box);
        for (int i = 0; i < captions.size(); ++i) {
            auto *option = new QRadioButton(captions.at(i), box);
            option->setObjectName(name + u'_' + QString::number(i));
            option->setChecked(i == checked);
            buttons->addButton(option, i);
            layout->addWidget(option);
        }
        connect(buttons, &QButtonGroup::idClicked, this, choose);
        return box;
    };
    m_colour = setting(kPrefs, QStringLiteral("backcolor"), QStringLiteral("&H404040"));
    m_maxFrames = setting(kPrefs, QStringLiteral("maxframes"), QStringLiteral("27000"));
    m_streamMaster = setting(kPrefs, QStringLiteral("streammaster"), QStringLiteral("AUDIO"));
    const qint64 colour = CaptureSettings::parseNumber(m_colour, -1);
    const int colourIndex = colour == 0xC0C0C0 ? 1 : colour == 0x404040 ? 2 : colour == 0 ? 3 : 0;
    const QString colourValues[] = {QStringLiteral("&H80000005"), QStringLiteral("&HC0C0C0"),
                                    QStringLiteral("&H404040"), QStringLiteral("0")};
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group(QStringLiteral("Background color"),
                            {QStringLiteral("Default"), QStringLiteral("Lt Gray"),
                             QStringLiteral("Dk Gray"), QStringLiteral("Black")},
                            QStringLiteral("optColor"), colourIndex,
                            [this, colourValues](int i) { m_colour = colourValues[i]; }));
    layout->addWidget(group(QStringLiteral("Maximum number of frames"),
                            {QStringLiteral("27,000    (15 minutes @ 30fps)"),
                             QStringLiteral("324,000    (3 hours @ 30fps)")},
                            QStringLiteral("optMaxFrames"), m_maxFrames.trimmed() == QLatin1String("27000") ? 0 : 1,
                            [this](int i) {
                                m_maxFrames = i == 0 ? QStringLiteral("27000") : QStringLiteral("324000");
                            }));
    QGroupBox *synch = group(QStringLiteral("Video and audio synchronization"),
                             {QStringLiteral("Synch &video to audio"),
                              QStringLiteral("&No master (streams may differ in length)")},
                             QStringLiteral("optSynch"),
                             m_streamMaster.trimmed().toUpper() == QLatin1String("AUDIO") ? 0 : 1,
                             [this](int i) {
                                 m_streamMaster = i == 0 ? QStringLiteral("AUDIO") : QStringLiteral("NONE");
                             });
    static_cast<QVBoxLayout *>(synch->layout())
        ->insertWidget(1, new QLabel(QStringLiteral("(video frame rate may change, VFW 1.x default)"), synch));
    layout->addWidget(synch);
    auto *row = new QHBoxLayout;
    QPushButton *ok = button(this, QStringLiteral("&OK"), QStringLiteral("cmdOK"));
    QPushButton *cancel = button(this, QStringLiteral("&Cancel"), QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &frmPrefs::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
}

void frmPrefs::ok()
{
    CaptureSettings::setValue(kPrefs, QStringLiteral("backcolor"), m_colour);
    CaptureSettings::setValue(kPrefs, QStringLiteral("maxframes"), m_maxFrames);
    CaptureSettings::setValue(kPrefs, QStringLiteral("streammaster"), m_streamMaster);
    accept();
}

void chooseAudioFormat(SmartGrab *grab)
{
    struct Format { int rate; int channels; };
    const Format formats[] = {{8000, 1}, {11025, 1}, {22050, 1}, {22050, 2},
                              {44100, 1}, {44100, 2}, {48000, 2}};
    QDialog dialog(grab);
    dialog.setObjectName(QStringLiteral("frmAudioFormat"));
    dialog.setWindowTitle(QStringLiteral("Select Sound Format"));
    auto *list = new QComboBox(&dialog);
    list->setObjectName(QStringLiteral("cboFormat"));
    for (const Format &f : formats) {
        list->addItem(QStringLiteral("%1 Hz, 16 Bit, %2")
                          .arg(QLocale().toString(f.rate))
                          .arg(f.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo")),
                      QPoint(f.rate, f.channels));
        if (f.rate == grab->audioRate() && f.channels == grab->audioChannels())
            list->setCurrentIndex(list->count() - 1);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (DialogService::showModal(&dialog) != QDialog::Accepted)
        return;
    const QPoint chosen = list->currentData().toPoint();
    grab->setAudioFormat(chosen.x(), chosen.y());
}

int compressionQuality()
{
    return qBound(1, setting(kCapture, QStringLiteral("quality"), QStringLiteral("85")).toInt(), 100);
}

CapturePipeline::Container clipContainer()
{
    const bool h264 = setting(kCapture, QStringLiteral("codec"), QStringLiteral("mjpeg")) == QLatin1String("h264");
    return h264 && CapturePipeline::canRecord(CapturePipeline::Container::Mp4) ? CapturePipeline::Container::Mp4
                                                                              : CapturePipeline::Container::Avi;
}

frmCompression::frmCompression(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCompression"));
    setWindowTitle(QStringLiteral("Video Compression"));
    m_codec = new QComboBox(this);
    m_codec->setObjectName(QStringLiteral("cboCodec"));
    m_codec->addItem(QStringLiteral("Motion JPEG (AVI)"), QStringLiteral("mjpeg"));
    if (CapturePipeline::canRecord(CapturePipeline::Container::Mp4))
        m_codec->addItem(QStringLiteral("H.264 (MP4)"), QStringLiteral("h264"));
    m_codec->setCurrentIndex(clipContainer() == CapturePipeline::Container::Mp4 ? 1 : 0);
    m_quality = digitsBox(this, "txtQuality");
    m_quality->setText(QString::number(compressionQuality()));
    QPushButton *ok = button(this, QStringLiteral("&OK"), QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton *cancel = button(this, QStringLiteral("&Cancel"), QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &frmCompression::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Compressor:"), m_codec);
    form->addRow(QStringLiteral("Picture &quality (1 - 100):"), m_quality);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(row);
}

void frmCompression::ok()
{
    CaptureSettings::setValue(kCapture, QStringLiteral("codec"), m_codec->currentData().toString());
    bool typed = false;
    const int quality = m_quality->text().trimmed().toInt(&typed);
    if (typed)
        CaptureSettings::setValue(kCapture, QStringLiteral("quality"), QString::number(qBound(1, quality, 100)));
    accept();
}

void chooseCompression(SmartGrab *grab)
{
    frmCompression dialog(grab);
    DialogService::showModal(&dialog);
}

bool audioInputAvailable()
{
    return !CapturePipeline::audioSourceDescription().isEmpty() || CaptureDevices::hasAudioInput();
}

} // namespace tovradocs::Internal
