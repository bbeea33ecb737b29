#pragma once

#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

typedef struct _GstDevice GstDevice;
typedef struct _GstDeviceMonitor GstDeviceMonitor;

namespace tovradocs::Internal {

namespace CaptureGst {
class Relay;
}

// One picture format a source can deliver.
struct CaptureFormat
{
    QSize size;
    int framesPerSecond = 0;
    // Motion JPEG from the device, decoded here; otherwise raw pictures.
    bool compressed = false;

    QString text() const;
    friend bool operator==(const CaptureFormat &, const CaptureFormat &) = default;
};

// A camera the system offers (V4L2, or PipeWire where it runs).
struct CaptureDevice
{
    QString name;
    // "V4L2", "PipeWire", ...: the system interface it comes through.
    QString api;
    // Stays the same while the device is plugged in, so a list rebuilt after
    // another device came or went keeps the choice.
    QByteArray id;
    QList<CaptureFormat> formats;
    std::shared_ptr<GstDevice> handle;

    // The format a window opens the device with: the largest picture up to
    // full HD at 15 frames a second or more, raw before compressed.
    CaptureFormat preferredFormat() const;
};

// Watches the system's video sources. Lives on the user-interface thread;
// changed() follows a device being plugged in or out.
class CaptureDevices : public QObject
{
    Q_OBJECT
public:
    explicit CaptureDevices(QObject *parent = nullptr);
    ~CaptureDevices() override;

    QList<CaptureDevice> devices() const { return m_devices; }

    // Whether the system has a sound input a clip could record.
    static bool hasAudioInput();

Q_SIGNALS:
    void changed();

private:
    void refresh();

    GstDeviceMonitor *m_monitor = nullptr;
    QList<CaptureDevice> m_devices;
    std::shared_ptr<CaptureGst::Relay> m_relay;
};

} // namespace tovradocs::Internal
