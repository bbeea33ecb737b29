#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace tovradocs::Internal {

// Reads a recorded clip back as GStreamer decodes it: how many pictures it
// holds, their size, whether it has sound. Tests and benchmarks check the
// clips the capture window writes with this.
class CaptureClipReader
{
public:
    struct Info
    {
        qint64 frames = 0;
        QSize size;
        bool hasAudio = false;
        // Why the clip could not be read; empty when it could.
        QString error;
        bool ok() const { return error.isEmpty(); }
    };
    // onFrame, when given, sees every picture in order.
    static Info read(const QString &path, const std::function<void(const QImage &)> &onFrame = {});
};

} // namespace tovradocs::Internal
