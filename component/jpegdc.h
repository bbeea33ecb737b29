#pragma once

#include <QImage>
#include <QSize>

#include <cstddef>
#include <optional>

namespace tovradocs::Internal {

// A baseline JPEG read at 1/8 of its size: each 8 x 8 block becomes the value
// of its DC coefficient, as libjpeg's scaled decoding gives it, but without
// building the AC coefficients libjpeg decodes and then drops. The Huffman
// decoding of every block is the whole cost of a 1/8 decode, so this is where
// thumbnails of camera pictures spend their time.
struct JpegDcPicture
{
    QImage image; // RGB32 or Grayscale8, ceil(width / 8) x ceil(height / 8)
    QSize original;
    int orientation = 1; // from the first EXIF block
};

// nullopt for anything but an 8-bit Huffman JPEG of one grey or three YCbCr
// components, sequential in one scan or progressive (only its DC scans are
// read, and nothing after the last of them), for a stream that breaks off or
// does not follow its own tables (libjpeg, with its recovery, takes those),
// and when 1/8 of the picture would not cover an edge x edge thumbnail.
std::optional<JpegDcPicture> decodeJpegDc(const unsigned char *data, std::size_t size, int edge);

} // namespace tovradocs::Internal
