#include "media/medialogging.h"

namespace tovradocs::Internal {

Q_LOGGING_CATEGORY(lcMedia, "tovradocs.media", QtWarningMsg)

} // namespace tovradocs::Internal
