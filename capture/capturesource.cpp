#include "capture/capturesource.h"

#include "capture/capturelogging.h"
#include "component/dialogservice.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace tovradocs::Internal {

CaptureSource::CaptureSource(const CaptureDevice &device, QObject *parent)
    : CaptureSource(device, device.preferredFormat(), false)
{
    setParent(parent);
}

CaptureSource::CaptureSource(const CaptureDevice &device, const CaptureFormat &format, bool testPattern)
    : m_device(device)
    , m_format(format)
    , m_testPattern(testPattern)
{}

std::unique_ptr<CaptureSource> CaptureSource::testPattern(QSize size, int framesPerSecond)
{
    CaptureDevice pattern;
    pattern.name = QStringLiteral("Test Pattern");
    pattern.id = QByteArrayLiteral("testpattern");
    const CaptureFormat format {size, qBound(1, framesPerSecond, 100), false};
    return std::unique_ptr<CaptureSource>(new CaptureSource(pattern, format, true));
}

CaptureSource::~CaptureSource() = default;

QString CaptureSource::name() const { return m_device.name; }

QString CaptureSource::version() const
{
    return m_testPattern ? QStringLiteral("1.0") : u'(' + m_device.api + u')';
}

QByteArray CaptureSource::id() const { return m_device.id; }

bool CaptureSource::connectDriver()
{
    if (m_pipeline)
        return true;
    m_pipeline = m_testPattern ? CapturePipeline::testPattern(m_format) : CapturePipeline::device(m_device, m_format);
    m_error = m_pipeline->start();
    if (!m_error.isEmpty()) {
        qCWarning(lcCapture) << "cannot start" << name() << m_error;
        m_pipeline.reset();
        return false;
    }
    connect(m_pipeline.get(), &CapturePipeline::frameReady, this, &CaptureSource::frameReady);
    connect(m_pipeline.get(), &CapturePipeline::recordingFinished, this, &CaptureSource::recordingFinished);
    connect(m_pipeline.get(), &CapturePipeline::failed, this, [this](const QString &message, bool deviceLost) {
        // The pipeline has stopped itself; it goes once its signal returns.
        m_pipeline.release()->deleteLater();
        Q_EMIT lost(message, deviceLost);
    });
    return true;
}

void CaptureSource::disconnectDriver()
{
    if (m_pipeline)
        m_pipeline->stop();
    m_pipeline.reset();
}

DriverCaps CaptureSource::caps() const
{
    DriverCaps caps;
    caps.hasDlgVideoFormat = offeredFormats().size() > 1;
    return caps;
}

CaptureStatus CaptureSource::status() const
{
    const QImage frame = currentFrame();
    const QSize size = frame.isNull() ? m_format.size : frame.size();
    return {size.width(), size.height()};
}

QImage CaptureSource::currentFrame() const { return m_pipeline ? m_pipeline->currentFrame() : QImage(); }

QList<CaptureFormat> CaptureSource::offeredFormats() const
{
    if (!m_testPattern)
        return m_device.formats;
    QList<CaptureFormat> formats;
    for (const QSize size : {QSize(320, 240), QSize(640, 480), QSize(1280, 720), QSize(1920, 1080)})
        formats.append({size, m_format.framesPerSecond, false});
    return formats;
}

bool CaptureSource::switchFormat(const CaptureFormat &format)
{
    if (format == m_format)
        return true;
    const bool running = isConnected();
    if (running && m_pipeline->isRecording())
        return false;
    const CaptureFormat previous = m_format;
    m_format = format;
    if (!running)
        return true;
    disconnectDriver();
    if (connectDriver())
        return true;
    m_format = previous;
    connectDriver();
    return false;
}

void CaptureSource::setFrameRate(int framesPerSecond)
{
    framesPerSecond = qBound(1, framesPerSecond, 100);
    if (m_testPattern) {
        switchFormat({m_format.size, framesPerSecond, false});
        return;
    }
    // A camera has the rates its formats list; the nearest at this size.
    const CaptureFormat *best = nullptr;
    for (const CaptureFormat &f : std::as_const(m_device.formats))
        if (f.size == m_format.size && f.compressed == m_format.compressed
            && (!best || qAbs(f.framesPerSecond - framesPerSecond) < qAbs(best->framesPerSecond - framesPerSecond)))
            best = &f;
    if (best)
        switchFormat(*best);
}

bool CaptureSource::showFormatDialog(QWidget *parent)
{
    const QList<CaptureFormat> formats = offeredFormats();
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmVideoFormat"));
    dialog.setWindowTitle(QStringLiteral("Video Format"));
    auto *list = new QComboBox(&dialog);
    list->setObjectName(QStringLiteral("cboFormat"));
    for (int i = 0; i < formats.size(); ++i) {
        const CaptureFormat &f = formats.at(i);
        list->addItem(m_testPattern ? QStringLiteral("%1 x %2").arg(f.size.width()).arg(f.size.height()) : f.text(), i);
        if (f.size == m_format.size && f.compressed == m_format.compressed)
            list->setCurrentIndex(i);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (DialogService::showModal(&dialog) != QDialog::Accepted)
        return false;
    return switchFormat(formats.value(list->currentData().toInt(), m_format));
}

} // namespace tovradocs::Internal
