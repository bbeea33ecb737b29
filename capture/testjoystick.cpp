#include "capture/testjoystick.h"

#include "capture/footswitch.h"
#include "component/hostlink.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace testjoystick {

QString actionName(qint32 action)
{
    return action == 0 ? QStringLiteral("Capture") : QStringLiteral("Freeze");
}

} // namespace testjoystick

TestJoystick::TestJoystick(qint16 mode, QWidget *parent) : QDialog(parent), m_mode(mode)
{
    setObjectName(QStringLiteral("TestJoystick"));
    setWindowTitle(QStringLiteral("Test Joystick"));
    m_message = new QLabel(QStringLiteral("Click a button"), this);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    QFont font = m_message->font();
    font.setPointSize(font.pointSize() + 4);
    font.setBold(true);
    m_message->setFont(font);
    m_message->setMinimumSize(260, 60);
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("CancelButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_message, 1);
    layout->addWidget(close, 0, Qt::AlignRight);
    KeyHandler::install(this);

    FootSwitch *footSwitch = FootSwitch::shared();
    footSwitch->retain();
    connect(footSwitch, &FootSwitch::buttonPressed, this,
            [this](int button) { ButtonPressed(qint16(button)); });
}

TestJoystick::~TestJoystick() { FootSwitch::shared()->release(); }

void TestJoystick::ButtonPressed(qint16 button)
{
    DataLink *link = dataLink();
    if (!link)
        return;
    qint16 setting = button == 1 ? kButton1Setting : kButton2Setting;
    trapErrors(objectName(), [&] {
        if (m_mode != -1) {
            qint16 action = m_mode;
            link->SetSystemSetting(setting, action);
            m_message->setText(testjoystick::actionName(m_mode) + QStringLiteral(" Control assigned !"));
        } else {
            const qint32 action = link->GetSystemSetting(setting).toInt();
            m_message->setText(testjoystick::actionName(action) + QStringLiteral(" requested !"));
        }
    });
}

} // namespace tovradocs::Internal
