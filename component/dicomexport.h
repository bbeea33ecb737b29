#pragma once

#include "component/result.h"

#include <QDate>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <optional>

namespace tovradocs::Internal::Dicom {

// Who a radiograph shows, as the host knows the patient.
struct Patient
{
    QString familyName;
    QString givenName;
    QString id;
    QDate birthDate;

    // "Family^Given", the way DICOM stores a person's name.
    QString dicomName() const;
    bool isEmpty() const { return familyName.isEmpty() && givenName.isEmpty() && id.isEmpty(); }
};

// What an exported picture keeps of the DICOM file it came from.
struct SourceInfo
{
    bool digitalXRay = false;             // a DX-family object (DX, intraoral, mammography)
    QString modality;                     // "IO", "DX", ...
    std::optional<QSizeF> pixelSpacing;   // mm per pixel: width is the column spacing
    QString patientName;                  // as stored, "Family^Given"
    QString patientId;
    QString patientOrientation;           // "A\F": a DX copy needs it
};

// Reads the header only. Zero or missing spacing is left out, so calibration
// falls back to what the user draws.
Result<SourceInfo> readSourceInfo(const QString &path);

struct ExportRequest
{
    QImage picture;               // as shown: adjustments are already in it
    Patient patient;
    QDate studyDate;              // the entry's date
    QString description;          // the entry's caption, as Series Description
    // DX for presentation when the source was DX and said how the patient
    // lay (a DX object must); else Secondary Capture.
    bool digitalXRay = false;
    QString modality;             // kept from a DX source; SC writes "OT"
    QString patientOrientation;
    std::optional<QSizeF> pixelSpacing;
};

// Writes a new file (never one that exists): grey pictures as 8-bit
// MONOCHROME2, others as RGB, explicit little endian.
Outcome writePicture(const QString &path, const ExportRequest &request);

// How the patient a file names compares with the book's: an empty text
// when they agree or the file names nobody, else a sentence for the user.
QString patientMismatch(const SourceInfo &file, const Patient &book);

} // namespace tovradocs::Internal::Dicom
