#pragma once

#include <QObject>
#include <QTimer>

namespace tovradocs::Internal {

// A foot switch wired as a joystick: button presses of the first joystick
// arrive as buttonPressed(1) or buttonPressed(2). Joysticks plugged in or out
// while the program runs are picked up. Lives on the user-interface thread.
class FootSwitch : public QObject
{
    Q_OBJECT
public:
    static FootSwitch *shared();
    ~FootSwitch() override;

    bool isAvailable() const { return m_initialised; }
    // Joysticks present now.
    int count() const;
    // Events are read while at least one listener holds the switch.
    void retain();
    void release();
    // Reads pending events at once; the timer does this while retained.
    void poll();

Q_SIGNALS:
    // button: 1 or 2 (further buttons of the first joystick count as 2).
    void buttonPressed(int button);
    void devicesChanged();

private:
    FootSwitch();
    void openFirst();

    bool m_initialised = false;
    int m_listeners = 0;
    QTimer m_timer;
    void *m_joystick = nullptr; // SDL_Joystick
    qint32 m_instance = -1;
};

} // namespace tovradocs::Internal
