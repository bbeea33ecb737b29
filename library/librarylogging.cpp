#include "library/librarylogging.h"

Q_LOGGING_CATEGORY(lcLibrary, "tovradocs.library")
