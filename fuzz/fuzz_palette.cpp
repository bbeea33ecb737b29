// Bytes as a "*.pal" palette. A palette that reads must hold a sane number of
// colours and come back the same from both formats we write.

#include "controls/palettefile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace tovradocs::Internal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<QList<QColor>> colors = readPalette(bytes);
    if (!colors) {
        if (colors.error().isEmpty())
            std::abort();
        return 0;
    }
    if (colors->isEmpty() || colors->size() > kMaxPaletteColors)
        std::abort();
    const Result<QList<QColor>> riff = readPalette(writeRiffPalette(*colors));
    const Result<QList<QColor>> jasc = readPalette(writeJascPalette(*colors));
    if (!riff || !jasc || *riff != *colors || *jasc != *colors)
        std::abort();
    return 0;
}
