#include "icons/iconkit.h"
#include "icons/inifile.h"

#include <cstddef>
#include <cstdint>

using namespace tovradocs::Internal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    IniFile ini;
    ini.parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    IconKit kit;
    kit.loadPaletteFrom(ini);
    for (const auto &flag : IconKit::flags())
        (void)IconKit::readFlag(ini, flag.key);
    kit.writePaletteTo(ini);
    ini.setValue(QStringLiteral("Icon Editor"), QStringLiteral("Grid"), QStringLiteral("1"));
    IniFile again;
    again.parse(ini.text());
    if (again.intValue(IconKit::section(), QStringLiteral("Grid"), 0) != 1)
        __builtin_trap(); // a value just set must read back
    return 0;
}
