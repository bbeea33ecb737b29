#include <tovradocs/hostobjects.h>

namespace tovradocs {

HostObjectFactories &hostObjectFactories()
{
    static HostObjectFactories factories;
    return factories;
}

} // namespace tovradocs
