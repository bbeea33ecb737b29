#pragma once

#include "capture/grabcontroller.h"
#include "capture/smartgrab.h"

#include <QPointer>
#include <QWidget>

namespace tovradocs::Internal {

// The plain window behind the capture window and its control bar; it fills
// the desktop's work area and closing it closes the whole environment.
class CaptureBkgnd : public QWidget
{
    Q_OBJECT
public:
    explicit CaptureBkgnd(bool immediateVideo, QWidget *owner = nullptr);
    ~CaptureBkgnd() override;

    bool immediateVideo() const { return m_immediateVideo; }
    SmartGrab *grab() const { return m_grab; }
    GrabController *controller() const { return m_controller; }

    // Lays the control bar above the capture window.
    void arrange();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_immediateVideo;
    QPointer<SmartGrab> m_grab;
    QPointer<GrabController> m_controller;
};

} // namespace tovradocs::Internal
