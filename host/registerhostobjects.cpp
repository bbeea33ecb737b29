#include "desktopimageeditor.h"
#include "fditoothnotation.h"
#include "referencehost.h"
#include "universaltoothnotation.h"

namespace tovradocs {

void registerHostObjects(ToothSystem teeth)
{
    HostObjectFactories &factories = hostObjectFactories();
    factories.imageEditor = [] { return std::make_unique<Internal::DesktopImageEditor>(); };
    if (teeth == ToothSystem::Universal)
        factories.toothNotation = [] { return std::make_unique<Internal::UniversalToothNotation>(); };
    else
        factories.toothNotation = [] { return std::make_unique<Internal::FdiToothNotation>(); };
}

} // namespace tovradocs
