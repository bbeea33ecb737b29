#pragma once

#include "component/result.h"

#include <QSize>
#include <QString>

namespace tovradocs::Internal {

// Whether a file can be shown, told from its header and structure without
// decoding it: cheap (box and chunk headers, a DICOM header; no pixels, no
// GStreamer), safe on any thread, bounded in time and memory whatever the
// file claims.
struct FileProbe
{
    enum Problem {
        None,
        Missing, // no such file, or not an ordinary file
        Unreadable, // exists but cannot be opened
        Empty, // zero bytes
        Truncated, // cut short: what its header promises is not all there
        Damaged, // its structure contradicts itself
        TooLarge, // claims more pixels than the viewer opens
        NoPicture, // a picture or video file that holds no picture (DICOM without pixel data)
    };

    Problem problem = None;
    // One sentence naming the file and the reason; empty when problem is None.
    QString reason;
    qint32 kind = 101; // classifyFile(): 1 picture, 2 video, 5 PDF, ...
    // Pixels of a picture (upright) or video when its header gives them;
    // invalid for PDFs, documents and formats that do not say cheaply.
    QSize size;

    bool ok() const { return problem == None; }
};

FileProbe inspectFile(const QString &path);

// The short form the import checks use: the size (possibly invalid, see
// FileProbe::size) of a file that looks whole, else the reason it cannot be
// shown ("The file "x.mp4" is cut short: ...").
Result<QSize> probeFile(const QString &path);

// The few words a tile shows for a problem ("Empty file", "Cannot read
// picture", "Cannot read video"); empty for None.
QString problemLabel(FileProbe::Problem problem, qint32 kind);

// The same for a file a tile could not draw, from cheap facts alone
// (existence, size, kind), so it may be asked on the UI thread.
QString unreadableLabel(const QString &path);

} // namespace tovradocs::Internal
