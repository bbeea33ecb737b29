#include <tovradocs/iconlibrary.h>

#include "component/hostlink.h"

namespace tovradocs {

namespace {
bool iconToolsMissing()
{
    Internal::notify(QStringLiteral("The icon tools are not available in this build."));
    return false;
}
} // namespace

IconLibrary::IconLibrary() = default;
IconLibrary::~IconLibrary() = default;

bool IconLibrary::ShowIconLib(QWidget *, QLabel *) { return iconToolsMissing(); }
bool IconLibrary::ShowIconEditor(QWidget *, QLabel *) { return iconToolsMissing(); }
bool IconLibrary::GrabIcons(QWidget *, QLabel *) { return iconToolsMissing(); }

} // namespace tovradocs
