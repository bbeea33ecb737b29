#include "support/dicomfixtures.h"

#include <QFile>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <vector>

namespace tovradocs::Testing {

QString makeDicomPicture(const QString &path, const DicomContent &content)
{
    DcmFileFormat file;
    DcmDataset *data = file.getDataset();
    const int width = content.size.width();
    const int height = content.size.height();
    const Uint16 allocated = content.bitsStored <= 8 ? 8 : 16;
    data->putAndInsertString(DCM_SOPClassUID, UID_DigitalIntraOralXRayImageStorageForPresentation);
    data->putAndInsertString(DCM_SOPInstanceUID, "1.2.826.0.1.3680043.2.1143.1");
    data->putAndInsertString(DCM_Modality, "IO");
    data->putAndInsertString(DCM_PatientName, content.patientName.toLatin1().constData());
    if (!content.patientId.isEmpty())
        data->putAndInsertString(DCM_PatientID, content.patientId.toLatin1().constData());
    if (!content.patientOrientation.isEmpty())
        data->putAndInsertString(DCM_PatientOrientation, content.patientOrientation.toLatin1().constData());
    data->putAndInsertUint16(DCM_Rows, Uint16(height));
    data->putAndInsertUint16(DCM_Columns, Uint16(width));
    data->putAndInsertUint16(DCM_SamplesPerPixel, 1);
    data->putAndInsertString(DCM_PhotometricInterpretation,
                             content.monochrome1 ? "MONOCHROME1" : "MONOCHROME2");
    data->putAndInsertUint16(DCM_BitsAllocated, allocated);
    data->putAndInsertUint16(DCM_BitsStored, Uint16(content.bitsStored));
    data->putAndInsertUint16(DCM_HighBit, Uint16(content.bitsStored - 1));
    data->putAndInsertUint16(DCM_PixelRepresentation, 0);
    if (content.windowCenter && content.windowWidth) {
        data->putAndInsertString(DCM_WindowCenter, QByteArray::number(*content.windowCenter).constData());
        data->putAndInsertString(DCM_WindowWidth, QByteArray::number(*content.windowWidth).constData());
    }
    if (!content.pixelSpacing.isEmpty())
        data->putAndInsertString(DCM_PixelSpacing, content.pixelSpacing.toLatin1().constData());
    if (!content.imagerPixelSpacing.isEmpty())
        data->putAndInsertString(DCM_ImagerPixelSpacing, content.imagerPixelSpacing.toLatin1().constData());
    if (!content.voiLut.isEmpty()) {
        DcmItem *item = nullptr;
        if (data->findOrCreateSequenceItem(DCM_VOILUTSequence, item, -2).bad() || !item)
            return {};
        const Uint16 descriptor[3] = {Uint16(content.voiLut.size()), Uint16(content.voiLutFirst), 16};
        item->putAndInsertUint16Array(DCM_LUTDescriptor, descriptor, 3);
        std::vector<Uint16> table(content.voiLut.begin(), content.voiLut.end());
        item->putAndInsertUint16Array(DCM_LUTData, table.data(), unsigned(table.size()));
    }
    if (content.pixelData) {
        const auto valueAt = [&](int x, int y) { return content.value ? content.value(x, y) : 0; };
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
