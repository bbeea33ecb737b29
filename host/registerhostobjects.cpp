#include "desktopimageeditor.h"
#include "fditoothnotation.h"
#include "referencehost.h"

namespace tovradocs {

void registerHostObjects()
{
    HostObjectFactories &factories = hostObjectFactories();
    factories.imageEditor = [] { return std::make_unique<Internal::DesktopImageEditor>(); };
    factories.toothNotation = [] { return std::make_unique<Internal::FdiToothNotation>(); };
}

} // namespace tovradocs
