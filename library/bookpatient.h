#pragma once

#include "component/dicomexport.h"

#include <QDate>

namespace tovradocs {
class DataLink;
}

namespace tovradocs::Internal {

// The patient whose book this is, as the host holds him; empty for a
// practice book or a patient the host no longer has. Throws HostError.
Dicom::Patient bookPatient(DataLink &link, qint32 bookCode);

// An entry's date, null when the entry is gone. Throws HostError.
QDate entryDate(DataLink &link, qint32 entryCode);

// Asks whether a DICOM file naming another patient than the book's should
// be added anyway; true when it names the same patient, nobody, or the user
// says so. Files that are not DICOM pass without a question.
bool confirmDicomPatient(QWidget *owner, const QString &fileName, qint32 bookCode);

} // namespace tovradocs::Internal
