#pragma once

#include <QObject>
#include <QPointer>
#include <QVariant>

namespace tovradocs::Internal {

// The tag "P" on a control says the component itself is changing it, so the
// control's change handlers stay out of the way.
inline bool isBusy(const QObject *control)
{
    return control && control->property("tag").toString() == QLatin1String("P");
}

// Marks a control busy for a scope and puts its previous tag back afterwards.
class BusyMark
{
public:
    explicit BusyMark(QObject *control)
        : m_control(control)
    {
        if (m_control) {
            m_previous = m_control->property("tag");
            m_control->setProperty("tag", QStringLiteral("P"));
        }
    }
    ~BusyMark()
    {
        if (m_control)
            m_control->setProperty("tag", m_previous);
    }
    BusyMark(const BusyMark &) = delete;
    BusyMark &operator=(const BusyMark &) = delete;

private:
    QPointer<QObject> m_control;
    QVariant m_previous;
};

} // namespace tovradocs::Internal
