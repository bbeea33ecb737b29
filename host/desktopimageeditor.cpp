#include "desktopimageeditor.h"

#include "component/dialogservice.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace tovradocs::Internal {

void DesktopImageEditor::EditImage(const QString &fileName, QWidget *parentWnd)
{
    const QString path = QString(fileName).replace(u'\\', u'/');
    if (!QFileInfo(path).isFile()) {
        DialogService::message(parentWnd, QStringLiteral("File not found: %1").arg(path),
                               QStringLiteral("Image Editor"), Buttons::Ok, Severity::Warning);
        return;
    }
    bool started = false;
    if (!m_command.trimmed().isEmpty()) {
        QStringList args = QProcess::splitCommand(m_command);
        const QString program = args.isEmpty() ? QString() : args.takeFirst();
        args.append(path);
        started = !program.isEmpty() && QProcess::startDetached(program, args);
    }
    if (!started)
        started = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (!started)
        DialogService::message(parentWnd, QStringLiteral("No image editor is set up to open %1.").arg(path),
                               QStringLiteral("Image Editor"), Buttons::Ok, Severity::Information);
}

} // namespace tovradocs::Internal
