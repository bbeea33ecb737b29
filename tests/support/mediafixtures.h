#pragma once

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

// The first bytes of source written to path; "" on failure.
QString truncatedCopy(const QString &source, const QString &path, qint64 bytes);

} // namespace tovradocs::Testing
