#pragma once

#include "component/result.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Internal {

// The picture of an entry as mounts, their prints and DICOM export show it,
// fitted into box (full size when box is invalid). Every such reader goes
// through here, so what they show changes in this one place. Safe to call
// from any thread.
Result<QImage> entryPicture(qint32 entryCode, const QString &fileName, QSize box = {});

} // namespace tovradocs::Internal
