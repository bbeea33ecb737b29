// Bytes as an illustration file. Reading may refuse them, always with a
// message; a drawing it accepts must write back to bytes that read as the
// same drawing.

#include "controls/ilsformat.h"

#include <QByteArray>
#include <QtEndian>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tovradocs::Internal;

namespace {

void check(const QByteArray &bytes)
{
    IlsLimits limits;
    limits.maxPicturePixels = 4'000'000; // keeps each run short; the checks are the same
    limits.maxTotalPixels = 8'000'000;
    const Result<Drawing> drawing = readIls(bytes, limits);
    if (!drawing) {
        if (drawing.error().isEmpty())
            std::abort();
        return;
    }
    const Result<Drawing> again = readIls(writeIls(*drawing), limits);
    if (!again || !(*again == *drawing)) {
        std::fprintf(stderr, "accepted drawing does not survive a save: %s\n", qUtf8Printable(again.error()));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check(bytes);
    // Mutations rarely keep the checksum right; a resealed copy lets the body be explored.
    if (bytes.size() >= 20) {
        const QByteArray body = bytes.mid(20);
        qToBigEndian(quint32(body.size()), bytes.data() + 12);
        qToBigEndian(crc32(body), bytes.data() + 16);
        check(bytes);
    }
    return 0;
}
