#include "library/acquisitionhooks.h"

namespace tovradocs::Internal {

AcquisitionHooks &acquisitionHooks()
{
    static AcquisitionHooks hooks;
    return hooks;
}

} // namespace tovradocs::Internal
