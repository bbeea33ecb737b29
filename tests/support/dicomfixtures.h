#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace tovradocs::Testing {

// A grey radiograph as a sensor stores it, written through DCMTK's own API
// (explicit little endian, uncompressed), so a test controls every value.
struct DicomContent
{
    QSize size{64, 48};
    int bitsStored = 16; // 8 gives 8 bits allocated, else 16
    bool monochrome1 = false; // white is the lowest value
    std::optional<double> windowCenter;
    std::optional<double> windowWidth;
    QList<quint16> voiLut; // a VOI LUT Sequence with this table when not empty
    int voiLutFirst = 0; // the first stored value the table maps
    bool pixelData = true; // false: the header alone, as a broken export leaves it
    // Millimetres between rows and columns as written ("0.1\\0.1"); empty: absent.
    QString pixelSpacing;
    QString imagerPixelSpacing;
    QString patientName = QStringLiteral("Test^Patient");
    QString patientId;
    QString patientOrientation; // "A\\R"; empty leaves it out
    // The stored value of each pixel; the default is 0.
    std::function<int(int x, int y)> value;
};

// path, or "" when DCMTK cannot write it.
QString makeDicomPicture(const QString &path, const DicomContent &content);

} // namespace tovradocs::Testing
