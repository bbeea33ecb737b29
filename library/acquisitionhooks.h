#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tovradocs::Internal {

// The library window's capture, scan and camera commands live in the capture
// layer above; it fills these hooks when it loads. An empty hook means the
// command is not available in this build.
struct AcquisitionHooks
{
    // library window, book code, book name
    using BookCommand = std::function<void(QWidget *, qint32, const QString &)>;
    BookCommand capture;
    BookCommand scan;
    BookCommand pictureFromDevice;
    BookCommand cameraPicture;
};
AcquisitionHooks &acquisitionHooks();

} // namespace tovradocs::Internal
