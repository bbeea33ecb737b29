#include "capture/smartgrab.h"
#include "capture/smartgrab_p.h"

#include "capture/capturebkgnd.h"
#include "capture/capturedialogs.h"
#include "capture/captureenvironment.h"
#include "capture/capturesettings.h"
#include "capture/footswitch.h"
#include "capture/testjoystick.h"
#include "capture/grabcontroller.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "library/librarysql.h"
#include "library/tovralib.h"

#include <tovradocs/capturer.h>
#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QSaveFile>
#include <QStyle>

namespace tovradocs::Internal {

namespace smartgrab {

constexpr int kMinClientWidth = 320;
constexpr int kMinClientHeight = 240;

// The book of the open library window, when there is one.
TovraLib *libraryWindow()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (auto *lib = qobject_cast<TovraLib *>(w); lib && lib->isVisible())
            return lib;
    return nullptr;
}

} // namespace smartgrab

using namespace CaptureEnvironment;

qint32 SmartGrab::knownBook(const Capturer *capturer)
{
    if (const std::optional<Target> own = targetOf(capturer))
        return own->bookCode;
    if (TovraLib *lib = smartgrab::libraryWindow())
        return lib->currentBookCode();
    return 0;
}

CaptureView::CaptureView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("capwnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CaptureView::setFrame(const QImage &frame)
{
    m_frame = frame;
    update();
}

void CaptureView::setRecording(bool recording)
{
    if (recording)
        m_recording.start();
    else
        m_recording.invalidate();
    update();
}

void CaptureView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_frame.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(rect(), m_frame);
    if (!m_recording.isValid())
        return;
    const qint64 seconds = m_recording.elapsed() / 1000;
    const QString text = QStringLiteral("REC %1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const QFontMetrics metrics(font());
    const int dot = metrics.height() * 2 / 3;
    QRect box(0, 0, dot + metrics.horizontalAdvance(text) + metrics.height(), metrics.height() * 3 / 2);
    box.moveTopRight(rect().topRight() + QPoint(-8, 8));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 170));
    painter.drawRoundedRect(box, 4, 4);
    painter.setBrush(QColor(220, 30, 30));
    painter.drawEllipse(QRect(box.left() + metrics.height() / 3, box.center().y() - dot / 2, dot, dot));
    painter.setPen(Qt::white);
    painter.drawText(box.adjusted(dot + metrics.height() / 2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
}

void CaptureView::mousePressEvent(QMouseEvent *event)
{
    Q_EMIT clicked();
    QWidget::mousePressEvent(event);
}

SmartGrab::SmartGrab(QWidget *parent, GrabController *controller)
    : QMainWindow(parent, Qt::Widget)
    , m_controller(controller)
{
    // QMainWindow always makes itself a window; this one lives inside the background.
    setWindowFlags(Qt::Widget);
    setObjectName(QStringLiteral("SmartGrab"));
    // F5, Space and F8 reach the window, not the driver list beside it.
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QStringLiteral("Capture"));
    m_immediateVideo = false;
    if (auto *bkgnd = qobject_cast<CaptureBkgnd *>(parent))
        m_immediateVideo = bkgnd->immediateVideo();
    m_snapWriter.setMaxThreadCount(1);
    m_syncPause.setSingleShot(true);
    m_syncPause.setInterval(1000);
    connect(&m_syncPause, &QTimer::timeout, this, &SmartGrab::syncStills);

    // 1. Background colour from the preferences.
    m_activated = false;
    const qint64 colour = CaptureSettings::parseNumber(
        CaptureSettings::value(QStringLiteral("preferences"), QStringLiteral("backcolor"),
                               QStringLiteral("&H404040")),
        0x404040);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    QPalette palette = client->palette();
    palette.setColor(QPalette::Window, CaptureSettings::colourOf(colour));
    client->setPalette(palette);
    client->setMinimumSize(smartgrab::kMinClientWidth, smartgrab::kMinClientHeight);
    setCentralWidget(client);
    buildMenus();

    // 2. The book that receives the captures.
    m_bookCode = knownBook(currentCapturer());
    if (m_bookCode == 0) {
        if (DataLink *link = dataLink())
            trapErrors(smartgrab::kWindowName, [&] {
                QString name;
                m_bookCode = qMax(0, link->GetLibraryEntry(name));
            });
    }

    // 3. The drivers.
    m_drivers = std::make_unique<CaptureDrivers>();
    connect(m_drivers.get(), &CaptureDrivers::changed, this, &SmartGrab::refreshDriverMenu);
    findDrivers();
    if (m_driverCount == 0)
        message(QStringLiteral("No capture hardware detected"), true);

    // 4. The driver chosen last time.
    m_driverIndex = CaptureSettings::value(QStringLiteral("driver"), QStringLiteral("index"),
                                           QStringLiteral("0"))
                        .toInt();
    if (m_driverIndex < 0 || m_driverIndex > m_driverActions.size() - 1)
        m_driverIndex = 0;
    if (m_driverIndex < m_driverActions.size())
        m_driverActions.at(m_driverIndex)->setChecked(true);

    // 5. The capture child window.
    m_capwnd = new CaptureView(client);
    m_capwnd->setGeometry(0, 0, 160, 120);
    connect(m_capwnd, &CaptureView::clicked, this, [this] {
        // A click in the picture ends a clip, as the recording parameters ask.
        if (isRecording() && (m_sequence.abortLeftMouse || m_sequence.abortRightMouse))
            stopRecording();
    });

    // 6. Connect.
    if (m_driverCount > 0 && !connectDriver(m_driverIndex))
        message(QStringLiteral("could not connect to capture driver"));

    // 7. Temporary names from the creator.
    if (Capturer *capturer = currentCapturer()) {
        m_frameFile = capturer->RequestNextTempFileName(false);
        m_videoFile = capturer->RequestNextTempFileName(true);
    }

    // 8. The empty set new entries are added to.
    if (DataLink *link = dataLink())
        trapErrors(smartgrab::kWindowName,
                   [&] { link->FillRecordSet(m_set, LibrarySql::emptyContentsByBook()); });
    Form_Resize();

    // The foot switch: a button set to "Capture" snaps, any other records.
    FootSwitch::shared()->retain();
    connect(FootSwitch::shared(), &FootSwitch::buttonPressed, this, [this](int button) {
        DataLink *link = dataLink();
        if (!link || !m_activated)
            return;
        qint32 action = 0;
        trapErrors(smartgrab::kWindowName, [&] {
            action = link->GetSystemSetting(button == 1 ? TestJoystick::kButton1Setting
                                                        : TestJoystick::kButton2Setting)
                         .toInt();
        });
        TranslateToMenuClicks(action == 0 ? CmdSnap : CmdRecord);
    });
}

SmartGrab::~SmartGrab()
{
    FootSwitch::shared()->release();
    shutdown();
}

void SmartGrab::buildMenus()
{
    auto add = [this](QMenu *menu, const QString &caption, const char *name, auto slot) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    add(file, QStringLiteral("&Set Capture File..."), "mnuSetCaptureFile", [this] { chooseCaptureFile(); });
    add(file, QStringLiteral("&Allocate File Space"), "mnuAllocate", [this] {
        frmAlloc dialog(this);
        DialogService::showModal(&dialog);
    });
    add(file, QStringLiteral("Save &Captured Video As..."), "mnuSaveVideoAs", [this] { saveVideoAs(); });
    add(file, QStringLiteral("Save Single &Frame..."), "mnuSaveFrame",
        [this] { TranslateToMenuClicks(CmdSaveFrameAs); });
    file->addSeparator();
    add(file, QStringLiteral("&Load Palette..."), "mnuLoadPalette", [] {});
    add(file, QStringLiteral("Save &Palette..."), "mnuSavePalette", [] {});
    file->addSeparator();
    add(file, QStringLiteral("E&xit"), "mnuExit", [this] { TranslateToMenuClicks(CmdClose); });

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    add(edit, QStringLiteral("&Copy"), "mnuCopy", [this] { TranslateToMenuClicks(CmdCopy); });
    add(edit, QStringLiteral("&Paste Palette"), "mnuPastePalette", [] {});

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    add(options, QStringLiteral("&Audio Format..."), "mnuAudioFormat", [this] { chooseAudioFormat(this); });
    m_actSource = add(options, QStringLiteral("S&ource..."), "mnuSource",
                      [this] { TranslateToMenuClicks(CmdVideoSource); });
    m_actFormat = add(options, QStringLiteral("&Format..."), "mnuFormat",
                      [this] { TranslateToMenuClicks(CmdVideoFormat); });
    m_actDisplay = add(options, QStringLiteral("&Display..."), "mnuDisplay",
                       [this] { TranslateToMenuClicks(CmdVideoDisplay); });
    add(options, QStringLiteral("Com&pression..."), "mnuCompression",
        [this] { TranslateToMenuClicks(CmdVideoCompression); });
    add(options, QStringLiteral("&Palette..."), "mnuPalette", [] {});
    options->addSeparator();
    m_actPreview = add(options, QStringLiteral("&Preview"), "mnuPreview",
                       [this] { TranslateToMenuClicks(CmdPreview); });
    m_actPreview->setCheckable(true);
    m_actOverlay = add(options, QStringLiteral("&Overlay"), "mnuOverlay",
                       [this] { TranslateToMenuClicks(CmdOverlay); });
    m_actOverlay->setCheckable(true);
    options->addSeparator();
    add(options, QStringLiteral("Pre&ferences..."), "mnuPreferences", [this] {
        frmPrefs dialog(this);
        DialogService::showModal(&dialog);
    });

    QMenu *capture = menuBar()->addMenu(QStringLiteral("&Capture"));
    capture->setObjectName(QStringLiteral("mnuCapture"));
    add(capture, QStringLiteral("Single &Frame\tF5"), "mnuSnap", [this] { TranslateToMenuClicks(CmdSnap); });
    m_actRecord = add(capture, QStringLiteral("&Video\tF8"), "mnuVideo",
                      [this] { TranslateToMenuClicks(CmdRecord); });
    add(capture, QStringLiteral("&Frames..."), "mnuFrames", [this] {
        frmCapFrame dialog(this);
        DialogService::showModal(&dialog);
    });

    m_driverMenu = menuBar()->addMenu(QStringLiteral("&Driver"));
    m_driverMenu->setObjectName(QStringLiteral("mnuDriver"));
}

void SmartGrab::findDrivers()
{
    m_driverMenu->clear();
    m_driverActions.clear();
    // Index 0 always has an item, "<none>" until a driver is found.
    QAction *none = m_driverMenu->addAction(QStringLiteral("<none>"));
    none->setObjectName(QStringLiteral("mnuDriver_0"));
    none->setCheckable(true);
    m_driverActions << none;
    m_driverCount = 0;
    QStringList names;
    for (int i = 0; i < CaptureDrivers::kMaxDrivers; ++i) {
        CaptureSource *source = m_drivers->driver(i);
        if (!source)
            break;
        const QString text = source->name() + u' ' + source->version();
        QAction *item = i == 0 ? none : m_driverMenu->addAction(text);
        item->setText(text);
        item->setObjectName(QStringLiteral("mnuDriver_%1").arg(i));
        item->setCheckable(true);
        if (i > 0)
            m_driverActions << item;
        connect(item, &QAction::triggered, this, [this, i] { chooseDriver(i); });
        names << text;
        ++m_driverCount;
    }
    if (m_controller)
        m_controller->setDrivers(names);
}

void SmartGrab::refreshDriverMenu()
{
    // A camera came or went: rebuild the list and keep the connected source
    // ticked where it now stands.
    CaptureSource *current = m_source;
    findDrivers();
    int index = -1;
    for (int i = 0; i < m_driverCount; ++i)
        if (m_drivers->driver(i) == current)
            index = i;
    if (index >= 0) {
        m_driverIndex = index;
        m_driverActions.at(index)->setChecked(true);
        if (m_controller)
            m_controller->SelectDriver(index);
    }
}

CaptureSource *SmartGrab::source() const { return m_source; }

bool SmartGrab::connectDriver(int index)
{
    CaptureSource *next = m_drivers->driver(index);
    if (!next)
        return false;
    if (m_source && m_source != next) {
        finishClipNow();
        disconnect(m_source, nullptr, this, nullptr);
        m_source->disconnectDriver();
    }
    if (!next->connectDriver())
        return false;
    m_source = next;
    m_driverIndex = index;
    connect(next, &CaptureSource::frameReady, this, &SmartGrab::showFrame, Qt::UniqueConnection);
    connect(next, &CaptureSource::recordingFinished, this, &SmartGrab::clipFinished, Qt::UniqueConnection);
    connect(next, &CaptureSource::lost, this, &SmartGrab::sourceLost, Qt::UniqueConnection);

    const DriverCaps caps = next->caps();
    for (QAction *item : std::as_const(m_driverActions))
        item->setChecked(false);
    m_driverActions.at(index)->setChecked(true);
    if (m_controller)
        m_controller->SelectDriver(index);
    m_actSource->setEnabled(caps.hasDlgVideoSource);
    m_actFormat->setEnabled(caps.hasDlgVideoFormat);
    m_actDisplay->setEnabled(caps.hasDlgVideoDisplay);
    m_actOverlay->setEnabled(caps.hasOverlay);
    if (m_controller)
        m_controller->enableDriverButtons(caps);

    m_actPreview->setChecked(true);
    showFrame(next->currentFrame());
    fitToImage();
    return true;
}

void SmartGrab::chooseDriver(int index)
{
    if (connectDriver(index))
        CaptureSettings::setValue(QStringLiteral("driver"), QStringLiteral("index"),
                                  QString::number(index));
    else
        message(QStringLiteral("could not connect to capture driver"));
    if (m_controller)
        m_controller->SelectDriver(index);
}

void SmartGrab::RemoteSelectDriver(int index)
{
    if (index >= 0 && index < m_driverCount)
        chooseDriver(index);
}

void SmartGrab::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_activated && !m_closing)
        QMetaObject::invokeMethod(this, &SmartGrab::firstActivation, Qt::QueuedConnection);
}

void SmartGrab::firstActivation()
{
    if (m_activated || m_closing)
        return;
    if (m_driverCount == 0) {
        closeEnvironment();
        return;
    }
    m_activated = true;
    setFocus(Qt::ActiveWindowFocusReason);
    DataLink *link = dataLink();
    if (!link || !trapErrors(smartgrab::kWindowName, [&] {
            m_entryCode = link->GenerateEntrycode(false, QStringLiteral("BookContents"),
                                                  QStringLiteral("Entry_code"));
        }))
        return;
    if (m_immediateVideo) {
        TranslateToMenuClicks(CmdRecord);
        // A clip still running closes the environment when it ends.
        if (!isRecording())
            closeEnvironment();
    }
}

void SmartGrab::closeEnvironment()
{
    if (m_closing)
        return;
    m_closing = true;
    if (QWidget *bkgnd = qobject_cast<CaptureBkgnd *>(parentWidget()))
        bkgnd->close();
    else
        close();
}

void SmartGrab::shutdown()
{
    if (isRecording()) {
        m_immediateVideo = false;
        // The clip is finished here and stored before the set closes.
        finishClipNow();
    }
    collectSnaps(true);
    syncStills();
    collectSyncs(true);
    if (m_set) {
        trapErrors(smartgrab::kWindowName, [&] { m_set->close(); });
        m_set.reset();
    }
    if (m_source) {
        disconnect(m_source, nullptr, this, nullptr);
        m_source->disconnectDriver();
        m_source.clear();
    }
}

void SmartGrab::TranslateToMenuClicks(qint16 command)
{
    switch (command) {
    case CmdSnap: snap(); break;
    case CmdClose: closeEnvironment(); break;
    case CmdVideoFormat:
    case CmdVideoDisplay:
    case CmdVideoSource:
    case CmdVideoCompression: driverDialog(command); break;
    case CmdSaveFrameAs: saveFrameAs(); break;
    case CmdRecord:
        if (isRecording())
            stopRecording();
        else
            record();
        break;
    case CmdOverlay: toggleOverlay(); break;
    case CmdCopy: copyFrame(); break;
    case CmdPreview: togglePreview(); break;
    default: break;
    }
}

void SmartGrab::Form_KeyDown(int key, int shift)
{
    Q_UNUSED(shift)
    if (key == Qt::Key_F5 || key == Qt::Key_Space)
        TranslateToMenuClicks(CmdSnap);
    else if (key == Qt::Key_F8)
        TranslateToMenuClicks(CmdRecord);
}

void SmartGrab::keyPressEvent(QKeyEvent *event) { Form_KeyDown(event->key(), int(event->modifiers())); }

bool SmartGrab::setCaptureFile(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.absoluteDir().exists())
        return false;
    m_captureFile = path;
    return true;
}

void SmartGrab::setAudioFormat(int rate, int channels)
{
    m_audioRate = rate;
    m_audioChannels = channels;
}

void SmartGrab::saveFrameAs()
{
    const QString file = DialogService::saveFile(this, QStringLiteral("Save Single Frame"),
                                                 QStringLiteral("Bitmap Files (*.bmp)"));
    if (file.isEmpty())
        return;
    const QString path = QFileInfo(file).suffix().isEmpty() ? file + QStringLiteral(".bmp") : file;
    const QImage frame = m_source ? m_source->currentFrame() : QImage();
    QSaveFile out(path);
    if (frame.isNull() || !out.open(QIODevice::WriteOnly) || !frame.save(&out, "bmp") || !out.commit())
        message(QStringLiteral("Problem saving frame"));
}

void SmartGrab::saveVideoAs()
{
    const QString file = DialogService::saveFile(this, QStringLiteral("Save Captured Video As"),
                                                 QStringLiteral("AVI Files (*.avi)"));
    if (file.isEmpty())
        return;
    const QString path = QFileInfo(file).suffix().isEmpty() ? file + QStringLiteral(".avi") : file;
    if (QFileInfo(path).exists())
        QFile::remove(path);
    if (m_captureFile.isEmpty() || !QFile::copy(m_captureFile, path))
        message(QStringLiteral("Problems saving capture file"));
}

void SmartGrab::chooseCaptureFile()
{
    const QFileInfo current(m_captureFile);
    const QString file = DialogService::saveFile(
        this, QStringLiteral("Set Capture File"), QStringLiteral("AVI Files (*.avi)"),
        m_captureFile.isEmpty() ? QString() : current.absolutePath());
    if (file.isEmpty())
        return;
    const QString path = QFileInfo(file).suffix().isEmpty() ? file + QStringLiteral(".avi") : file;
    const bool existed = QFileInfo::exists(path);
    if (!setCaptureFile(path)) {
        message(QStringLiteral("Could not set new capture file: ") + path);
        return;
    }
    if (!existed) {
        frmAlloc dialog(this);
        DialogService::showModal(&dialog);
    }
}

void SmartGrab::copyFrame()
{
    if (m_source && !m_source->currentFrame().isNull())
        QApplication::clipboard()->setImage(m_source->currentFrame());
}

void SmartGrab::toggleOverlay()
{
    // Overlay drivers draw straight to the screen; none of ours does, so only
    // the check mark follows the command.
    m_actOverlay->setChecked(!m_actOverlay->isChecked());
}

void SmartGrab::togglePreview()
{
    m_actPreview->setChecked(!m_actPreview->isChecked());
    if (m_actPreview->isChecked() && m_source)
        m_capwnd->setFrame(m_source->currentFrame());
}

void SmartGrab::driverDialog(qint16 command)
{
    if (!m_source)
        return;
    switch (command) {
    case CmdVideoSource: m_source->showSourceDialog(this); break;
    case CmdVideoDisplay: m_source->showDisplayDialog(this); break;
    case CmdVideoFormat:
        if (m_source->showFormatDialog(this)) {
            showFrame(m_source->currentFrame());
            fitToImage();
        }
        break;
    case CmdVideoCompression: chooseCompression(this); break;
    default: break;
    }
}

void SmartGrab::showFrame(const QImage &frame)
{
    if (m_actPreview->isChecked() && m_capwnd)
        m_capwnd->setFrame(frame);
}

void SmartGrab::sourceLost(const QString &text, bool deviceLost)
{
    // A clip being recorded has been finished and stored (clipFinished) by now.
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source.clear();
    if (m_capwnd)
        m_capwnd->setFrame(QImage());
    QString explanation = deviceLost ? QStringLiteral("The capture device was disconnected or stopped responding.")
                                     : QStringLiteral("The capture device stopped: ") + text;
    if (m_clipSavedBeforeLoss)
        explanation += QStringLiteral(" The video recorded until then has been saved.");
    m_clipSavedBeforeLoss = false;
    message(explanation);
    if (m_immediateVideo)
        closeEnvironment();
}

void SmartGrab::fitToImage()
{
    if (!m_source || !m_capwnd)
        return;
    const CaptureStatus status = m_source->status();
    if (status.imageWidth > 0 && status.imageHeight > 0)
        m_capwnd->resize(status.imageWidth, status.imageHeight);
    const QSize client(qMax(smartgrab::kMinClientWidth, m_capwnd->width()),
                       qMax(smartgrab::kMinClientHeight, m_capwnd->height()));
    resize(client.width() + 2 * XBorder(), client.height() + MenuHeight() + 2 * YBorder());
    Form_Resize();
}

int SmartGrab::MenuHeight() const { return menuBar()->sizeHint().height(); }
int SmartGrab::CaptionHeight() const { return style()->pixelMetric(QStyle::PM_TitleBarHeight); }
int SmartGrab::XBorder() const { return style()->pixelMetric(QStyle::PM_DefaultFrameWidth); }
int SmartGrab::YBorder() const { return style()->pixelMetric(QStyle::PM_DefaultFrameWidth); }

void SmartGrab::Form_Resize()
{
    QWidget *client = centralWidget();
    if (!client || !m_capwnd)
        return;
    const int minWidth = smartgrab::kMinClientWidth + 2 * XBorder();
    const int minHeight = smartgrab::kMinClientHeight + MenuHeight() + 2 * YBorder();
    if (width() < minWidth || height() < minHeight)
        resize(qMax(width(), minWidth), qMax(height(), minHeight));
    m_capwnd->move((client->width() - m_capwnd->width()) / 2,
                   (client->height() - m_capwnd->height()) / 2);
}

void SmartGrab::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void SmartGrab::message(const QString &text, bool critical)
{
    DialogService::message(this, text, CaptureSettings::componentTitle(), Buttons::Ok,
                           critical ? Severity::Critical : Severity::Information);
}

} // namespace tovradocs::Internal
