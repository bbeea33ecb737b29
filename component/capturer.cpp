#include <tovradocs/capturer.h>

#include "component/hostlink.h"

namespace tovradocs {

Capturer::Capturer(QObject *parent) : QObject(parent) {}
Capturer::~Capturer() = default;

void Capturer::ShowCapture(const QString &caption)
{
    Q_UNUSED(caption)
    Internal::notify(QStringLiteral("Capturing from video devices is not available in this build."));
}

void Capturer::CaptureVideo(const QString &caption)
{
    ShowCapture(caption);
}

void Capturer::TransferFileEntryToDB(bool bVideofile, const QString &first, const QString &second)
{
    if (bVideofile)
        Q_EMIT VideoFileSaved(first, second);
    else
        Q_EMIT ImageFileSaved(first, second);
}

QString Capturer::RequestNextTempFileName(bool video)
{
    QString name;
    if (video)
        Q_EMIT GetNextTempVideoFileName(name);
    else
        Q_EMIT GetNextTempImageFileName(name);
    return name;
}

} // namespace tovradocs
