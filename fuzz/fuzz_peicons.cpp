#include "icons/peiconreader.h"

#include <cstddef>
#include <cstdint>

using namespace tovradocs::Internal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const PeIconReader reader(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (int i = 0; i < reader.iconCount() && i < 64; ++i)
        (void)reader.icon(i);
    return 0;
}
