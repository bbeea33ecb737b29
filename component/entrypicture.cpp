#include "component/entrypicture.h"

#include "component/shownpicture.h"

namespace tovradocs::Internal {

Result<QImage> entryPicture(qint32 entryCode, const QString &fileName, QSize box)
{
    // Mounts, their prints and exports show what the viewers show: the
    // stored adjustments and marks, never the file's bytes rewritten.
    return pictureAsShown(entryCode, fileName, box);
}

} // namespace tovradocs::Internal
