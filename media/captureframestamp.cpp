#include "media/captureframestamp.h"

#include <QRect>
#include <QString>

namespace tovradocs::Internal::CaptureFrameStamp {

namespace {

int cellSize(int width) { return qBound(8, width / 80, 16); }

// Digits of three by five dots, row by row from the top, for the number a
// person reads beside the code.
constexpr quint16 kDigits[10] = {0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

void fill(uchar *pixels, qsizetype bytesPerLine, QRect area, quint32 value)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(pixels + y * bytesPerLine);
        for (int x = area.left(); x <= area.right(); ++x)
            line[x] = value;
    }
}

} // namespace

void write(uchar *pixels, int width, int height, qsizetype bytesPerLine, qint64 index)
{
    const int cell = cellSize(width);
    if (width < cell * kBits || height < 2 * cell)
        return;
    constexpr quint32 kWhite = 0xFFFFFFFFu;
    constexpr quint32 kBlack = 0xFF000000u;
    for (int bit = 0; bit < kBits; ++bit) {
        const bool one = (index >> bit) & 1;
        fill(pixels, bytesPerLine, QRect(bit * cell, 0, cell, cell), one ? kWhite : kBlack);
        fill(pixels, bytesPerLine, QRect(bit * cell, cell, cell, cell), one ? kBlack : kWhite);
    }
    // The same number in digits, on black, where the picture is wide enough.
    const QString digits = QString::number(index);
    const int dot = cell / 4;
    const int left = kBits * cell;
    const QRect box(left, 0, (int(digits.size()) * 4 + 1) * dot, 2 * cell);
    if (box.right() >= width)
        return;
    fill(pixels, bytesPerLine, box, kBlack);
    const int top = (2 * cell - 5 * dot) / 2;
    for (int d = 0; d < digits.size(); ++d) {
        const quint16 glyph = kDigits[digits.at(d).unicode() - u'0'];
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (glyph & (1 << (14 - row * 3 - col)))
                    fill(pixels, bytesPerLine,
                         QRect(left + (d * 4 + 1 + col) * dot, top + row * dot, dot, dot), kWhite);
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
