#include "capture/grabcontroller.h"

#include "capture/smartgrab.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStyle>
#include <QToolBar>

namespace tovradocs::Internal {

namespace grabcontroller {

struct Button
{
    const char *key; // command number followed by "CK", or a separator's key
    const char *caption;
    qint16 command; // 0 for separators
    QStyle::StandardPixmap icon;
};

const Button kButtons[] = {
    {"154CK", "Capture Snap", 154, QStyle::SP_DialogApplyButton},
    {"SepCX2", nullptr, 0, {}},
    {"812CK", "Capture Video", 812, QStyle::SP_MediaPlay},
    {"SepCX3", nullptr, 0, {}},
    {"SepCX4", nullptr, 0, {}},
    {"SepD", nullptr, 0, {}},
    {"814CK", "ClipBoard Copy", 814, QStyle::SP_FileDialogDetailedView},
    {"383CK", "Save As", 383, QStyle::SP_DialogSaveButton},
    {"SepC1", nullptr, 0, {}},
    {"813CK", "Overlay", 813, QStyle::SP_TitleBarNormalButton},
    {"815CK", "Preview", 815, QStyle::SP_DesktopIcon},
    {"SepC3", nullptr, 0, {}},
    {"757CK", "Video Source", 757, QStyle::SP_DriveCDIcon},
    {"255CK", "Video Display", 255, QStyle::SP_ComputerIcon},
    {"253CK", "Video Format", 253, QStyle::SP_FileDialogInfoView},
    {"805CK", "Video Compression", 805, QStyle::SP_DriveHDIcon},
    {"SepF", nullptr, 0, {}},
    {"208CK", "Close", 208, QStyle::SP_DialogCloseButton},
};

} // namespace grabcontroller

GrabController::GrabController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("GrabController"));
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("tbrCapture"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const auto &button : grabcontroller::kButtons) {
        QAction *action = nullptr;
        if (!button.caption) {
            action = m_toolbar->addSeparator();
        } else {
            action = m_toolbar->addAction(style()->standardIcon(button.icon),
                                          QLatin1String(button.caption));
            action->setData(button.command); // the button's tag
            const qint16 command = button.command;
            connect(action, &QAction::triggered, this, [this, command] {
                if (m_grab)
                    m_grab->TranslateToMenuClicks(command);
            });
        }
        action->setObjectName(QLatin1String(button.key));
    }
    m_drivers = new QComboBox(this);
    m_drivers->setObjectName(QStringLiteral("cboDrivers"));
    m_drivers->setMinimumContentsLength(24);
    connect(m_drivers, &QComboBox::activated, this, &GrabController::driverChosen);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_toolbar, 1);
    layout->addWidget(m_drivers);
}

void GrabController::setDrivers(const QStringList &names)
{
    m_busy = true;
    m_drivers->clear();
    for (int i = 0; i < names.size(); ++i)
        m_drivers->addItem(names.at(i), i);
    m_busy = false;
}

void GrabController::SelectDriver(int index)
{
    m_busy = true;
    m_drivers->setCurrentIndex(m_drivers->findData(index));
    m_busy = false;
}

void GrabController::enableDriverButtons(const DriverCaps &caps)
{
    const std::pair<const char *, bool> states[] = {{"757CK", caps.hasDlgVideoSource},
                                                    {"253CK", caps.hasDlgVideoFormat},
                                                    {"255CK", caps.hasDlgVideoDisplay},
                                                    {"813CK", caps.hasOverlay}};
    for (const auto &[key, enabled] : states)
        if (auto *action = m_toolbar->findChild<QAction *>(QLatin1String(key)))
            action->setEnabled(enabled);
}

void GrabController::driverChosen(int row)
{
    // Choosing a driver here connects to it, as the driver menu does.
    if (m_busy || !m_grab || row < 0)
        return;
    m_grab->RemoteSelectDriver(m_drivers->itemData(row).toInt());
    // Back to the picture, where the capture keys work.
    m_grab->setFocus(Qt::OtherFocusReason);
}

void GrabController::keyPressEvent(QKeyEvent *event)
{
    if (m_grab)
        m_grab->Form_KeyDown(event->key(), int(event->modifiers()));
}

} // namespace tovradocs::Internal
