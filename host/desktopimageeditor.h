#pragma once

#include <tovradocs/hostobjects.h>

namespace tovradocs::Internal {

// Opens a picture in the desktop's image editor, or the command of setting
// 164 when the front desk passes one.
class DesktopImageEditor : public ImageEditor
{
public:
    explicit DesktopImageEditor(QString command = QString()) : m_command(std::move(command)) {}
    void EditImage(const QString &fileName, QWidget *parentWnd) override;

private:
    QString m_command;
};

} // namespace tovradocs::Internal
