#include "icons/iconimage.h"

#include <cstddef>
#include <cstdint>

using namespace tovradocs::Internal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto icon = Ico::read(bytes);
    if (icon) {
        // What the editor and the host do with a decoded icon.
        (void)icon->composite(0xff808080);
        (void)icon->toImage();
        (void)Ico::read(Ico::write(icon->scaled32()));
    }
    return 0;
}
