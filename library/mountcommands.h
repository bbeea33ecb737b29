#pragma once

#include "component/pagetable.h"

#include <QList>
#include <QString>

class QWidget;

namespace tovradocs::Internal {

// The library window's mount and DICOM commands, kept out of the window's
// own file.

bool isMountFile(const QString &fileName);

// Asks for a template and a caption, adds the new mount to the book as an
// entry (through the same writer as every other entry) and opens it.
// Returns its entry code, 0 when nothing was added.
qint32 newMount(QWidget *owner, qint32 bookCode);

// Opens a mount entry in its window; a message when its file is no mount.
bool openMountEntry(QWidget *owner, qint32 bookCode, const QString &fileName);

// Writes one picture entry as a new DICOM file: Secondary Capture, or DX
// when the picture came from a DX file, with the patient from the host and
// the source's pixel spacing. Messages on failure.
bool exportEntryAsDicom(QWidget *owner, qint32 bookCode, qint32 entryCode, const QString &fileName,
                        const QString &description, const QString &target);

// "Export as DICOM" of the library window: the selected pictures and mounts,
// one file asked for, or a folder for several.
void exportSelectedAsDicom(QWidget *owner, qint32 bookCode, const PageTable &pages,
                           const QList<int> &selectedPages);

} // namespace tovradocs::Internal
