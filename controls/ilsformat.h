#pragma once

#include "component/result.h"
#include "controls/drawing.h"

#include <QByteArray>
#include <QString>

namespace tovradocs::Internal {

// The illustration file (".ils"). All numbers are big-endian.
//
//   offset  size  field
//   0       8     magic "TOVRAILS"
//   8       2     format version, 1
//   10      2     flags, 0
//   12      4     body length in bytes
//   16      4     CRC-32 (ISO 3309, as zlib) of the body
//   20      ...   body
//
// Body: i32 canvas width, i32 canvas height, u32 background ARGB, u32 object
// count, then the objects from bottom to top. Each object:
//   u8 kind (ShapeKind), f64 x, y, width, height, f64 rotation (degrees),
//   u32 border ARGB, u32 fill ARGB, u16 border width, u8 fill style,
//   u16 points, u16 round size, f64 arc start, f64 arc span (degrees),
//   str text, str font family, f64 font size (points), u8 font flags
//   (1 bold, 2 italic, 4 underline, 8 strike-out), u8 text alignment,
//   then for a picture: u32 length + PNG bytes; for a group: u32 child count
//   + children (coordinates relative to the group's top-left).
// str is u32 byte length + UTF-8.
//
// A reader of a later version refuses the file instead of guessing. Every
// length, count, number and picture is checked against limits before use.
constexpr quint16 kIlsVersion = 1;

// What one drawing may hold. Pictures are kept at four bytes a pixel, so the
// picture limit bounds a drawing's memory (32 MB of pictures, about four
// times that while a file of it loads, and under a second of decoding).
// Inserted pictures are fitted to the canvas: on the 640 x 480 canvas that is
// 27 canvas-filling pictures.
struct IlsLimits
{
    int maxCanvas = 20000;          // pixels per side
    qint64 maxPicturePixels = 8 * 1024 * 1024;
    qint64 maxTotalPixels = 8 * 1024 * 1024; // all pictures of one drawing
    int maxObjects = 100'000;       // groups and their children included
    int maxDepth = 16;              // nesting of groups
};

// Larger than the limits let a drawing be (its pictures even stored
// uncompressed): such a file is refused unread.
constexpr qint64 kMaxIlsFileSize = 48 * 1024 * 1024;

// The picture limits in words, for messages: "16.8 million pixels".
QString pixelCountText(qint64 pixels);

QByteArray writeIls(const Drawing &drawing);
Result<Drawing> readIls(const QByteArray &bytes, const IlsLimits &limits = {});

// Whole files. Saving writes a temporary beside the target and then replaces
// it, so a failed save leaves the previous file as it was.
Result<Drawing> loadIlsFile(const QString &path, const IlsLimits &limits = {});
Outcome saveIlsFile(const QString &path, const Drawing &drawing);

// CRC-32 as zlib computes it.
quint32 crc32(QByteArrayView bytes);

} // namespace tovradocs::Internal
