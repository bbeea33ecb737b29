#include "media/captureframestamp.h"

#include <QtGlobal>

namespace tovradocs::Internal::CaptureFrameStamp {

namespace {

int cellSize(int width) { return qBound(4, width / 40, 16); }

} // namespace

void write(uchar *pixels, int width, int height, qsizetype bytesPerLine, qint64 index)
{
    const int cell = cellSize(width);
    if (width < cell * kBits || height < 2 * cell)
        return;
    for (int bit = 0; bit < kBits; ++bit) {
        const bool one = (index >> bit) & 1;
        for (int y = 0; y < 2 * cell; ++y) {
            const quint32 value = (one == (y < cell)) ? 0xFFFFFFFFu : 0xFF000000u;
            auto *line = reinterpret_cast<quint32 *>(pixels + y * bytesPerLine) + bit * cell;
            for (int x = 0; x < cell; ++x)
                line[x] = value;
        }
    }
}

qint64 read(const QImage &picture)
{
    const int cell = cellSize(picture.width());
    if (picture.isNull() || picture.width() < cell * kBits || picture.height() < 2 * cell)
        return -1;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    // The middle of a cell, away from the blur JPEG puts on its edges.
    const auto bright = [&](int bit, int row) {
        const int x = bit * cell + cell / 2;
        const int y = row * cell + cell / 2;
        return qGray(image.pixel(x, y)) > 128;
    };
    qint64 index = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        const bool top = bright(bit, 0);
        if (top == bright(bit, 1))
            return -1;
        if (top)
            index |= qint64(1) << bit;
    }
    return index;
}

} // namespace tovradocs::Internal::CaptureFrameStamp
