#include "capture/footswitch.h"

#include "capture/capturelogging.h"

#include <SDL.h>

namespace tovradocs::Internal {

FootSwitch *FootSwitch::shared()
{
    static FootSwitch *instance = new FootSwitch;
    return instance;
}

FootSwitch::FootSwitch()
{
    // Our windows are not SDL windows, so SDL must not wait for focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_initialised = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    if (!m_initialised)
        qCWarning(lcCapture) << "joystick service:" << SDL_GetError();
    // A foot switch press lasts a good tenth of a second; 20 ms never misses one.
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &FootSwitch::poll);
    if (m_initialised)
        openFirst();
}

FootSwitch::~FootSwitch()
{
    if (m_joystick)
        SDL_JoystickClose(static_cast<SDL_Joystick *>(m_joystick));
    if (m_initialised)
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

int FootSwitch::count() const
{
    if (!m_initialised)
        return 0;
    SDL_JoystickUpdate();
    return qMax(0, SDL_NumJoysticks());
}

void FootSwitch::retain()
{
    if (++m_listeners == 1 && m_initialised) {
        openFirst();
        m_timer.start();
    }
}

void FootSwitch::release()
{
    if (m_listeners > 0 && --m_listeners == 0)
        m_timer.stop();
}

void FootSwitch::openFirst()
{
    if (m_joystick || SDL_NumJoysticks() < 1)
        return;
    SDL_Joystick *joystick = SDL_JoystickOpen(0);
    if (!joystick)
        return;
    m_joystick = joystick;
    m_instance = SDL_JoystickInstanceID(joystick);
}

void FootSwitch::poll()
{
    if (!m_initialised)
        return;
    SDL_Event event;
    bool changed = false;
    SDL_PumpEvents();
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_JOYAXISMOTION, SDL_JOYDEVICEREMOVED) > 0) {
        switch (event.type) {
        case SDL_JOYBUTTONDOWN:
            if (event.jbutton.which == m_instance)
                Q_EMIT buttonPressed(event.jbutton.button == 0 ? 1 : 2);
            break;
        case SDL_JOYDEVICEADDED:
            changed = true;
            openFirst();
            break;
        case SDL_JOYDEVICEREMOVED:
            changed = true;
            if (event.jdevice.which == m_instance) {
                SDL_JoystickClose(static_cast<SDL_Joystick *>(m_joystick));
                m_joystick = nullptr;
                m_instance = -1;
                openFirst();
            }
            break;
        default:
            break;
        }
    }
    if (changed)
        Q_EMIT devicesChanged();
}

} // namespace tovradocs::Internal
