#include "viewers/menutarget.h"

namespace tovradocs::Internal {

LibraryMenuHook &libraryMenuHook()
{
    static LibraryMenuHook hook;
    return hook;
}

} // namespace tovradocs::Internal
