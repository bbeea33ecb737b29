#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Testing {

// True when gst-launch-1.0 is on the path (the clip makers below need it).
bool canMakeClips();

// An MJPEG AVI of frames frames at 25 per second from GStreamer's test source,
// as the capture window writes them; "" when it cannot be made.
QString makeClip(const QString &path, QSize size, int frames, const QString &pattern = {});

// The same as an MPEG-4 file when GStreamer has an encoder for it; "" otherwise.
QString makeMp4Clip(const QString &path, QSize size, int frames);

// A file with a sound track and no video stream; "" when it cannot be made.
QString makeSoundOnlyFile(const QString &path);

// A phone's HEIC photo of picture, made with libheif's encoder; "" when it cannot be made.
QString makeHeic(const QString &path, const QImage &picture);

// A radiograph as a sensor writes it: DICOM of picture made by DCMTK's
// img2dcm, under any name (often none with an extension); "" on failure.
QString makeDicom(const QString &path, const QImage &picture);

// The first bytes of source written to path; "" on failure.
QString truncatedCopy(const QString &source, const QString &path, qint64 bytes);

} // namespace tovradocs::Testing
