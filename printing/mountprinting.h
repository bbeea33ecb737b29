#pragma once

#include "component/mount.h"

#include <QImage>
#include <QSize>
#include <QStringList>

#include <functional>

class QWidget;

namespace tovradocs::Internal {

class clsMultiPgPreview;

// A mount on one page through the preview engine: its title and the
// patient above, every slot framed where the layout puts it, its picture
// fitted in and its teeth named below.
struct MountPrint
{
    Mount mount;
    QStringList captions; // one per slot
    QString title;
    QString subtitle;
    // The picture of a slot decoded to fit a box of pixels; null when empty.
    std::function<QImage(int slot, QSize box)> picture;
};

// Composes the page on the engine's current surface.
void composeMount(clsMultiPgPreview &engine, const MountPrint &job);

// Shows the page in the preview window; printing from there composes it
// again on the printer.
void previewMount(const MountPrint &job, QWidget *owner);

} // namespace tovradocs::Internal
