#pragma once

#include "component/result.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Internal {

// The picture of an entry as the viewers show it: its stored adjustments
// (window, tone, equalisation, sharpening, crop, turns, flips) and, unless
// withOverlay is false or the user hid it, its marks and measurements,
// fitted into target (an invalid target: the picture's own size).
//
// entryCode 0 finds the entry by its file among the stored records. On the
// UI thread the entry's record is read from the host; on other threads the
// record the UI thread last read is used (AdjustmentStore::preload reads
// them all). A picture without adjustments is read as loadImage() reads it.
// The result is in a format QPainter draws on.
Result<QImage> pictureAsShown(qint32 entryCode, const QString &path, QSize target, bool withOverlay = true);

// The size the picture has as shown at full resolution (a crop or a
// quarter turn changes it), for layouts that place it before decoding.
QSize shownPictureSize(qint32 entryCode, const QString &path, QSize fileSize);

// True when the entry (or file) has stored adjustments or marks; any thread.
bool hasShownChanges(qint32 entryCode, const QString &path);

} // namespace tovradocs::Internal
