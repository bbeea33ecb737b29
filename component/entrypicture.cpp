#include "component/entrypicture.h"

#include "component/imageloader.h"

namespace tovradocs::Internal {

Result<QImage> entryPicture(qint32 entryCode, const QString &fileName, QSize box)
{
    Q_UNUSED(entryCode)
    ImageLoadOptions options;
    options.scaledTo = box;
    options.keepAspect = true;
    return loadImage(fileName, options);
}

} // namespace tovradocs::Internal
