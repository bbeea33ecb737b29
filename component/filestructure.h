#pragma once

#include "component/fileprobe.h"

#include <QSize>
#include <QString>

namespace tovradocs::Internal {

// What the structure of a file's bytes says, for the formats whose structure
// is cheap to walk: JPEG markers up to the scan and its end mark, PNG chunks,
// a GIF's trailer, a bitmap's rows,
// RIFF (AVI, WebP) and Matroska lengths, ISO media boxes (MP4, MOV, HEIC),
// a PDF's end mark. No pixel is decoded; every length is checked against the
// bytes there are before it is followed.
struct FileStructure
{
    enum Format { Unchecked, Jpeg, Png, Gif, Bmp, Riff, IsoVideo, HeifPicture, Matroska, Pdf };
    Format format = Unchecked; // Unchecked: none of these
    FileProbe::Problem problem = FileProbe::None;
    QString clause; // "it is cut short (...)"; empty when whole
    QSize size; // where the structure gives it (JPEG upright, PNG, a video track)
};

// data holds the whole file (mapped).
FileStructure checkStructure(const uchar *data, qint64 size);

} // namespace tovradocs::Internal
