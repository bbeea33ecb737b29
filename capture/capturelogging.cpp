#include "capture/capturelogging.h"

Q_LOGGING_CATEGORY(lcCapture, "tovradocs.capture")
