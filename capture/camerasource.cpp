#include "capture/camerasource.h"

#include "capture/capturelogging.h"
#include "component/dialogservice.h"

#include <QCamera>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMediaCaptureSession>
#include <QVBoxLayout>
#include <QVideoFrame>
#include <QVideoSink>

namespace tovradocs::Internal {

CameraSource::CameraSource(const QCameraDevice &device, QObject *parent)
    : CaptureSource(parent)
    , m_device(device)
{}

CameraSource::~CameraSource() { disconnectDriver(); }

QString CameraSource::name() const { return m_device.description(); }
QString CameraSource::version() const { return QStringLiteral("(camera)"); }
QByteArray CameraSource::id() const { return m_device.id(); }

bool CameraSource::connectDriver()
{
    if (m_removed)
        return false;
    if (m_camera)
        return true;
    m_camera = std::make_unique<QCamera>(m_device);
    m_session = std::make_unique<QMediaCaptureSession>();
    m_sink = std::make_unique<QVideoSink>();
    m_session->setCamera(m_camera.get());
    m_session->setVideoSink(m_sink.get());
    connect(m_sink.get(), &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame &frame) {
        m_frame = frame.toImage();
        if (!m_frame.isNull())
            Q_EMIT frameReady(m_frame);
    });
    connect(m_camera.get(), &QCamera::errorOccurred, this,
            [this](QCamera::Error, const QString &text) {
                qCWarning(lcCapture) << "camera" << m_device.description() << text;
            });
    m_camera->start();
    return true;
}

void CameraSource::disconnectDriver()
{
    if (m_camera)
        m_camera->stop();
    m_session.reset();
    m_sink.reset();
    m_camera.reset();
}

bool CameraSource::isConnected() const { return m_camera != nullptr; }

DriverCaps CameraSource::caps() const
{
    DriverCaps caps;
    caps.hasDlgVideoFormat = m_device.videoFormats().size() > 1;
    return caps;
}

CaptureStatus CameraSource::status() const
{
    if (!m_frame.isNull())
        return {m_frame.width(), m_frame.height()};
    const QSize size = m_camera ? m_camera->cameraFormat().resolution() : QSize();
    return {size.width(), size.height()};
}

QImage CameraSource::currentFrame() const { return m_frame; }

int CameraSource::frameRate() const
{
    const float rate = m_camera ? m_camera->cameraFormat().maxFrameRate() : 0.0f;
    return rate >= 1.0f ? int(rate + 0.5f) : 15;
}

bool CameraSource::showFormatDialog(QWidget *parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmVideoFormat"));
    dialog.setWindowTitle(QStringLiteral("Video Format"));
    auto *list = new QComboBox(&dialog);
    list->setObjectName(QStringLiteral("cboFormat"));
    const QList<QCameraFormat> formats = m_device.videoFormats();
    for (int i = 0; i < formats.size(); ++i) {
        const QCameraFormat &f = formats.at(i);
        list->addItem(QStringLiteral("%1 x %2, %3 fps")
                          .arg(f.resolution().width())
                          .arg(f.resolution().height())
                          .arg(double(f.maxFrameRate())),
                      i);
        if (m_camera && f == m_camera->cameraFormat())
            list->setCurrentIndex(i);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (DialogService::showModal(&dialog) != QDialog::Accepted || !m_camera)
        return false;
    m_camera->setCameraFormat(formats.value(list->currentData().toInt()));
    m_frame = QImage();
    return true;
}

void CameraSource::deviceRemoved()
{
    if (m_removed)
        return;
    m_removed = true;
    disconnectDriver();
    Q_EMIT lost();
}

} // namespace tovradocs::Internal
