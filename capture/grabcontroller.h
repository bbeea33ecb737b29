#pragma once

#include "capture/capturesource.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QToolBar;

namespace tovradocs::Internal {

class SmartGrab;

// The control bar above the capture window: the capture commands as
// toolbar buttons and the list of capture drivers.
class GrabController : public QWidget
{
    Q_OBJECT
public:
    explicit GrabController(QWidget *parent);

    void setGrab(SmartGrab *grab) { m_grab = grab; }
    void setDrivers(const QStringList &names);
    // Selects the list item whose item data is index, without connecting.
    void SelectDriver(int index);
    void enableDriverButtons(const DriverCaps &caps);

    QToolBar *toolbar() const { return m_toolbar; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void driverChosen(int row);

    QPointer<SmartGrab> m_grab;
    QToolBar *m_toolbar = nullptr;
    QComboBox *m_drivers = nullptr;
    bool m_busy = false;
};

} // namespace tovradocs::Internal
