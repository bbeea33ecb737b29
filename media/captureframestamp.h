#pragma once

#include <QImage>

namespace tovradocs::Internal {

// The test pattern carries its frame number in its top left corner as a row
// of black and white cells, with the row below inverted so a damaged code is
// told from a real one, and beside it in digits for a person. It survives
// JPEG, so a still or a clip can be read back to the frame it came from.
namespace CaptureFrameStamp {

constexpr int kBits = 24;

// Writes index into 32-bit pixels (BGRx / RGB32) of the given size.
void write(uchar *pixels, int width, int height, qsizetype bytesPerLine, qint64 index);
// The index a picture carries, or -1 when it carries none.
qint64 read(const QImage &picture);

} // namespace CaptureFrameStamp

} // namespace tovradocs::Internal
