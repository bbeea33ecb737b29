#pragma once

#include "component/result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Internal::Heif {

// HEIC, HEIF and AVIF pictures (phones) through libheif. Failures are short
// clauses for the caller's sentence. Safe to call from any thread.

// An ISO media file whose brands name a still picture (HEIC, HEIF, AVIF).
bool looksLikeHeif(const QByteArray &head);

// The primary picture's size as it is shown (turned where the file says).
Result<QSize> pictureSize(const QString &path);

struct Decoded
{
    QImage image; // RGB32 or ARGB32, upright
    QSize original; // the primary picture's size, upright
    QSize decoded; // what came out of the decoder, before any turn
};

// The primary picture, upright: the file's own turn and mirror ('irot',
// 'imir') as libheif applies them, or, in a file that has none, the EXIF
// orientation a converter copied from a phone's JPEG. A valid box gives a
// picture that fits it: the embedded thumbnail when it is large enough, else
// the decoded planes averaged down before colour conversion. Pictures
// claiming more than maxPixels are refused before decoding.
Result<Decoded> decode(const QString &path, QSize box, qint64 maxPixels);

} // namespace tovradocs::Internal::Heif
