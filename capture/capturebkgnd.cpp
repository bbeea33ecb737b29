#include "capture/capturebkgnd.h"

#include "capture/captureenvironment.h"
#include "capture/grabcontroller.h"
#include "capture/smartgrab.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace tovradocs::Internal {

CaptureBkgnd::CaptureBkgnd(bool immediateVideo, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_immediateVideo(immediateVideo)
{
    setObjectName(QStringLiteral("CaptureBkgnd"));
    setAttribute(Qt::WA_DeleteOnClose);
    QScreen *screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect();
    if (area.isEmpty() && screen)
        area = screen->geometry();
    if (!area.isEmpty())
        setGeometry(area);
    m_controller = new GrabController(this);
    m_grab = new SmartGrab(this, m_controller);
    m_controller->setGrab(m_grab);
    arrange();
}

CaptureBkgnd::~CaptureBkgnd()
{
    if (CaptureEnvironment::background() == this) {
        CaptureEnvironment::currentCapturer().clear();
        CaptureEnvironment::clearTarget();
    }
}

void CaptureBkgnd::arrange()
{
    if (!m_controller || !m_grab)
        return;
    m_controller->setGeometry(0, 0, width(), m_controller->sizeHint().height());
    m_grab->move(0, m_controller->height());
}

void CaptureBkgnd::keyPressEvent(QKeyEvent *event)
{
    if (m_grab)
        m_grab->Form_KeyDown(event->key(), int(event->modifiers()));
}

void CaptureBkgnd::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    arrange();
}

void CaptureBkgnd::closeEvent(QCloseEvent *event)
{
    // The capture window finishes a running clip and closes its set first.
    if (m_grab)
        m_grab->shutdown();
    // The capture ends here: whatever opens the next one chooses its own book.
    if (CaptureEnvironment::background() == this) {
        CaptureEnvironment::currentCapturer().clear();
        CaptureEnvironment::clearTarget();
    }
    event->accept();
}

} // namespace tovradocs::Internal
