#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Testing {

// Containers and the codec each is written with here.
enum class ClipFormat {
    Avi,  // MJPEG, as the capture window writes
    Mp4,  // H.264 with B-frames (MJPEG where x264enc is missing)
    Mov,  // MJPEG, as photo cameras write
    Mkv,  // H.264 (MJPEG where x264enc is missing)
    WebM, // VP8
};

// Writes a clip whose frame i shows the number i (0..1023) as a row of
// stripes, so a test can read which frame is on screen at any scale and
// after lossy coding. "" and *error when it cannot be written.
QString makeNumberedClip(const QString &path, ClipFormat format, QSize size, int frames,
                         int fps = 25, QString *error = nullptr);

// The number a frame of such a clip shows; -1 for a picture that shows none
// (black, blank, torn).
int frameNumber(const QImage &picture);

// A copy of an MJPEG AVI whose codec tag names a codec nobody has a decoder
// for; "" on failure.
QString withUnknownCodec(const QString &aviPath, const QString &path);

// The usual file suffix of a format ("avi", "mp4", ...).
QString clipSuffix(ClipFormat format);

} // namespace tovradocs::Testing
