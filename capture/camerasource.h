#pragma once

#include "capture/capturesource.h"

#include <QCameraDevice>

#include <memory>

class QCamera;
class QMediaCaptureSession;
class QVideoSink;

namespace tovradocs::Internal {

// A camera that Qt Multimedia sees (V4L2 / UVC intraoral cameras).
class CameraSource : public CaptureSource
{
    Q_OBJECT
public:
    explicit CameraSource(const QCameraDevice &device, QObject *parent = nullptr);
    ~CameraSource() override;

    QString name() const override;
    QString version() const override;
    QByteArray id() const override;
    bool connectDriver() override;
    void disconnectDriver() override;
    bool isConnected() const override;
    DriverCaps caps() const override;
    CaptureStatus status() const override;
    QImage currentFrame() const override;
    int frameRate() const override;
    bool showFormatDialog(QWidget *parent) override;

    // Called by the driver list when the device is no longer present.
    void deviceRemoved();

private:
    QCameraDevice m_device;
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QMediaCaptureSession> m_session;
    std::unique_ptr<QVideoSink> m_sink;
    QImage m_frame;
    bool m_removed = false;
};

} // namespace tovradocs::Internal
