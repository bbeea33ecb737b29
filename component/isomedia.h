#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

namespace tovradocs::Internal {

// What the box structure of an ISO media file (MP4, MOV, 3GP, HEIC, AVIF)
// says about it, read from the box headers and a few small boxes only: a
// multi-gigabyte clip costs a handful of page reads.
struct IsoMedia
{
    enum Damage { Whole, Truncated, Broken };
    Damage damage = Whole;
    QString problem; // what is wrong, in a few words; empty when Whole
    QByteArray majorBrand;
    bool hasMovie = false; // 'moov': a clip's index
    bool hasMediaData = false; // 'mdat'
    bool hasMeta = false; // top-level 'meta': a HEIF picture's items
    bool heifTransforms = false; // 'irot' or 'imir' among the item properties
    QSize videoSize; // first video track's display size, from 'tkhd'
    qint64 durationMs = -1; // from 'mvhd'
};

// data holds the whole file (mapped, not read). Sizes are checked against the
// enclosing box before anything is read, boxes are visited at most a fixed
// number of times, and only known containers are entered.
IsoMedia readIsoMedia(const uchar *data, qint64 size);

} // namespace tovradocs::Internal
