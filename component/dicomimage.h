#pragma once

#include "component/result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

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

// The first frame's grey values as the modality gives them, kept at full
// depth so the window can be moved later without going back to the file.
struct GreyPixels
{
    QSize size;
    std::vector<quint16> values; // row by row
    double offset = 0; // modality value = value + offset
    // The window the file asks for, in modality values (else the range).
    double windowCenter = 0;
    double windowWidth = 0;
    bool monochrome1 = false; // the lowest value is white
    double minimum = 0; // modality values present
    double maximum = 0;
};

// For colour pictures (which have no grey values to keep) a failure says
// "it is not a grey picture". A valid box reduces as decode() does.
Result<GreyPixels> decodeGrey(const QString &path, QSize box = {});

// Millimetres between pixel centres (x: between columns, y: between rows).
struct PixelSpacing
{
    enum Source { None, Patient, Imager };
    Source source = None;
    double x = 0;
    double y = 0;
};

// Pixel Spacing, else Imager Pixel Spacing; None when neither holds two
// positive numbers. Reads the header only.
PixelSpacing pixelSpacing(const QString &path);

} // namespace tovradocs::Internal::Dicom
