#pragma once

#include "capture/capturesource.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

namespace tovradocs::Internal {

// A source that needs no hardware: colour bars with a moving block, the time
// of day and a frame counter, so every frame differs and its age can be read
// off the picture.
class TestPatternSource : public CaptureSource
{
    Q_OBJECT
public:
    explicit TestPatternSource(QSize size = QSize(640, 480), int framesPerSecond = 15,
                               QObject *parent = nullptr);

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
    void setFrameRate(int framesPerSecond) override;
    bool showFormatDialog(QWidget *parent) override;

    void setFrameSize(QSize size);
    // Frames made since connecting.
    qint64 framesOffered() const { return m_frameCount; }
    // Behaves like a camera pulled out of its socket.
    void unplug();

    // Draws frame number n; the moving block's place follows n.
    static QImage makeFrame(const QImage &background, qint64 n, const QDateTime &when);
    static QImage makeBackground(QSize size);

private:
    void tick();

    QSize m_size;
    int m_fps;
    QTimer m_timer;
    QImage m_background;
    QImage m_frame;
    qint64 m_frameCount = 0;
    bool m_connected = false;
    bool m_unplugged = false;
};

} // namespace tovradocs::Internal
