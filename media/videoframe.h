#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Internal {

// One decoded picture of a video, for thumbnails and previews.
struct VideoFrame
{
    QImage image;        // Format_RGB32, fits the bound; null on failure
    QString error;       // a sentence for the user when image is null
    qint64 positionMs = -1; // where in the clip the picture lies
    qint64 durationMs = -1; // the clip's length, -1 when the file does not say
    QSize videoSize;     // the picture's natural size (pixel aspect applied)

    bool ok() const { return !image.isNull(); }
};

// Where a grab lands: exactly at the fraction (the decoder runs from the key
// frame before it, so long key-frame intervals cost time), or on that key
// frame itself (one picture decoded; for thumbnails).
enum class GrabAt { ExactFrame, KeyFrameBefore };

// Decodes the picture at fraction (0 to 1) of the clip's length, scaled to fit
// bound keeping its aspect and never enlarged. Gives up with a readable error once timeoutMs have
// passed; the pipeline is then torn down on a worker, so the call returns on
// time even when a decoder hangs.
//
// Blocks the calling thread: call it from a worker thread, never from the UI
// thread. Thread-safe; any number may run at once.
VideoFrame grabVideoFrame(const QString &path, double fraction, QSize bound, int timeoutMs = 5000,
                          GrabAt at = GrabAt::ExactFrame);

} // namespace tovradocs::Internal
