#include "support/dicomfixtures.h"

#include <QFile>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <vector>

namespace tovradocs::Testing {

QString makeDicomPicture(const QString &path, const DicomSpec &spec)
{
    DcmFileFormat file;
    DcmDataset *data = file.getDataset();
    const int width = spec.size.width();
    const int height = spec.size.height();
    const Uint16 allocated = spec.bitsStored <= 8 ? 8 : 16;
    data->putAndInsertString(DCM_SOPClassUID, UID_DigitalIntraOralXRayImageStorageForPresentation);
    data->putAndInsertString(DCM_SOPInstanceUID, "1.2.826.0.1.3680043.2.1143.1");
    data->putAndInsertString(DCM_Modality, "IO");
    data->putAndInsertString(DCM_PatientName, spec.patientName.toLatin1().constData());
    if (!spec.patientId.isEmpty())
        data->putAndInsertString(DCM_PatientID, spec.patientId.toLatin1().constData());
    if (!spec.patientOrientation.isEmpty())
        data->putAndInsertString(DCM_PatientOrientation, spec.patientOrientation.toLatin1().constData());
    data->putAndInsertUint16(DCM_Rows, Uint16(height));
    data->putAndInsertUint16(DCM_Columns, Uint16(width));
    data->putAndInsertUint16(DCM_SamplesPerPixel, 1);
    data->putAndInsertString(DCM_PhotometricInterpretation,
                             spec.monochrome1 ? "MONOCHROME1" : "MONOCHROME2");
    data->putAndInsertUint16(DCM_BitsAllocated, allocated);
    data->putAndInsertUint16(DCM_BitsStored, Uint16(spec.bitsStored));
    data->putAndInsertUint16(DCM_HighBit, Uint16(spec.bitsStored - 1));
    data->putAndInsertUint16(DCM_PixelRepresentation, 0);
    if (spec.windowCenter && spec.windowWidth) {
        data->putAndInsertString(DCM_WindowCenter, QByteArray::number(*spec.windowCenter).constData());
        data->putAndInsertString(DCM_WindowWidth, QByteArray::number(*spec.windowWidth).constData());
    }
    if (!spec.pixelSpacing.isEmpty())
        data->putAndInsertString(DCM_PixelSpacing, spec.pixelSpacing.toLatin1().constData());
    if (!spec.imagerPixelSpacing.isEmpty())
        data->putAndInsertString(DCM_ImagerPixelSpacing, spec.imagerPixelSpacing.toLatin1().constData());
    if (!spec.voiLut.isEmpty()) {
        DcmItem *item = nullptr;
        if (data->findOrCreateSequenceItem(DCM_VOILUTSequence, item, -2).bad() || !item)
            return {};
        const Uint16 descriptor[3] = {Uint16(spec.voiLut.size()), Uint16(spec.voiLutFirst), 16};
        item->putAndInsertUint16Array(DCM_LUTDescriptor, descriptor, 3);
        std::vector<Uint16> table(spec.voiLut.begin(), spec.voiLut.end());
        item->putAndInsertUint16Array(DCM_LUTData, table.data(), unsigned(table.size()));
    }
    if (spec.pixelData) {
        const auto valueAt = [&](int x, int y) { return spec.value ? spec.value(x, y) : 0; };
        if (allocated == 8) {
            std::vector<Uint8> pixels(size_t(width) * height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    pixels[size_t(y) * width + x] = Uint8(valueAt(x, y));
            data->putAndInsertUint8Array(DCM_PixelData, pixels.data(), unsigned(pixels.size()));
        } else {
            std::vector<Uint16> pixels(size_t(width) * height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    pixels[size_t(y) * width + x] = Uint16(valueAt(x, y));
            data->putAndInsertUint16Array(DCM_PixelData, pixels.data(), unsigned(pixels.size()));
        }
    }
    const OFCondition status = file.saveFile(QFile::encodeName(path).constData(), EXS_LittleEndianExplicit);
    return status.good() ? path : QString();
}

} // namespace tovradocs::Testing
