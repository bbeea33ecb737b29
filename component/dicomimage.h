#pragma once

#include "component/result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tovradocs::Internal::Dicom {

// DICOM radiographs through DCMTK. Failures are short clauses ("it holds no
// pixel data") for the caller's sentence. Safe to call from any thread.

// By name (.dcm, .dicom) or by the "DICM" mark after the 128-byte preamble.
bool looksLikeDicom(const QString &path, const QByteArray &head);

// Rows and columns from the header, without loading the pixels. Refuses a
// file without pixel data and one whose pixel data the file does not hold
// in full.
Result<QSize> pictureSize(const QString &path);

// The first frame as a person reading the radiograph sees it: the file's own
// window (Window Center / Width, else its VOI LUT, else the pixels' range),
// every stored bit depth mapped onto 8 bits, MONOCHROME1 shown inverted.
// A valid box gives a picture reduced to fit it, averaged at full depth
// before the window is applied, so no full-size 8-bit copy is made.
// Grayscale8 for grey pictures, RGB888 for colour ones.
Result<QImage> decode(const QString &path, QSize box = {});

} // namespace tovradocs::Internal::Dicom
