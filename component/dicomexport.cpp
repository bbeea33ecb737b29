#include "component/dicomexport.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

namespace tovradocs::Internal::Dicom {

namespace {

QString text(DcmItem &item, const DcmTagKey &tag)
{
    OFString value;
    if (item.findAndGetOFStringArray(tag, value).good())
        return QString::fromLatin1(value.c_str()).trimmed();
    return QString();
}

std::optional<QSizeF> spacing(DcmItem &item, const DcmTagKey &tag)
{
    Float64 row = 0, column = 0;
    if (item.findAndGetFloat64(tag, row, 0).good() && item.findAndGetFloat64(tag, column, 1).good()
        && row > 0 && column > 0 && std::isfinite(row) && std::isfinite(column))
        return QSizeF(column, row);
    return std::nullopt;
}

QByteArray da(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyyMMdd")).toLatin1() : QByteArray();
}

QByteArray newUid(const char *root)
{
    char buffer[100];
    return QByteArray(dcmGenerateUniqueIdentifier(buffer, root));
}

// DICOM strings here are ISO-IR 100 (Latin-1); other letters become '?'.
QByteArray latin1(const QString &value)
{
    return value.toLatin1();
}

QSet<QString> nameWords(const QString &name)
{
    static const QRegularExpression separators(QStringLiteral("[\\^\\s,.]+"));
    QSet<QString> words;
    for (const QString &word : name.toCaseFolded().split(separators, Qt::SkipEmptyParts))
        words.insert(word);
    return words;
}

// "Family^Given^Middle^Prefix^Suffix" as people write it: "Prefix Given Middle Family Suffix".
QString readableName(const QString &personName)
{
    QStringList parts = personName.split(u'^');
    parts.resize(5);
    return QStringList{parts.at(3), parts.at(1), parts.at(2), parts.at(0), parts.at(4)}
        .join(u' ')
        .simplified();
}

} // namespace

QString Patient::dicomName() const
{
    if (givenName.isEmpty())
        return familyName;
    return familyName + u'^' + givenName;
}

Result<SourceInfo> readSourceInfo(const QString &path)
{
    DcmFileFormat file;
    // The header only: reading stops before the pixels.
    const OFCondition status = file.loadFileUntilTag(QFile::encodeName(path).constData(), EXS_Unknown,
                                                     EGL_noChange, 4096, ERM_autoDetect, DCM_PixelData);
    if (status.bad())
        return Result<SourceInfo>::failure(QStringLiteral("it cannot be read as DICOM (%1)")
                                               .arg(QString::fromLatin1(status.text())));
    DcmDataset &data = *file.getDataset();
    SourceInfo info;
    info.modality = text(data, DCM_Modality);
    const QString sopClass = text(data, DCM_SOPClassUID);
    // DX, mammography and intraoral, for presentation or processing.
    info.digitalXRay = sopClass.startsWith(QLatin1String("1.2.840.10008.5.1.4.1.1.1."));
    info.pixelSpacing = spacing(data, DCM_PixelSpacing);
    if (!info.pixelSpacing)
        info.pixelSpacing = spacing(data, DCM_ImagerPixelSpacing);
    info.patientName = text(data, DCM_PatientName);
    info.patientId = text(data, DCM_PatientID);
    info.patientOrientation = text(data, DCM_PatientOrientation);
    return info;
}

Outcome writePicture(const QString &path, const ExportRequest &request)
{
    if (request.picture.isNull())
        return Outcome::failure(QStringLiteral("There is no picture to export."));
    if (QFile::exists(path))
        return Outcome::failure(QStringLiteral("%1 exists already; it is not replaced.").arg(path));
    const bool grey = request.picture.isGrayscale();
    const QImage pixels = request.picture.convertToFormat(grey ? QImage::Format_Grayscale8
                                                               : QImage::Format_RGB888);
    const int width = pixels.width();
    const int height = pixels.height();
    if (width > 65535 || height > 65535)
        return Outcome::failure(QStringLiteral("The picture is too large for DICOM (at most 65535 pixels a side)."));

    DcmFileFormat file;
    DcmDataset &d = *file.getDataset();
    const bool dx = request.digitalXRay && grey && !request.patientOrientation.isEmpty();
    const QDate study = request.studyDate.isValid() ? request.studyDate : QDate::currentDate();
    const QByteArray studyUid = newUid(SITE_STUDY_UID_ROOT);
    const QByteArray seriesUid = newUid(SITE_SERIES_UID_ROOT);
    const QByteArray instanceUid = newUid(SITE_INSTANCE_UID_ROOT);
    const QByteArray now = QTime::currentTime().toString(QStringLiteral("HHmmss")).toLatin1();
    const QByteArray today = da(QDate::currentDate());
    auto put = [&d](const DcmTagKey &tag, const QByteArray &value) {
        return d.putAndInsertString(tag, value.constData()).good();
    };
    bool ok = true;
    ok &= put(DCM_SpecificCharacterSet, "ISO_IR 100");
    ok &= put(DCM_SOPClassUID, dx ? UID_DigitalXRayImageStorageForPresentation
                                  : UID_SecondaryCaptureImageStorage);
    ok &= put(DCM_SOPInstanceUID, instanceUid);
    ok &= put(DCM_InstanceCreationDate, today);
    ok &= put(DCM_InstanceCreationTime, now);
    // Patient and study, from the host.
    ok &= put(DCM_PatientName, latin1(request.patient.dicomName()));
    ok &= put(DCM_PatientID, latin1(request.patient.id));
    ok &= put(DCM_PatientBirthDate, da(request.patient.birthDate));
    ok &= put(DCM_PatientSex, "");
    ok &= put(DCM_StudyInstanceUID, studyUid);
    ok &= put(DCM_StudyDate, da(study));
    ok &= put(DCM_StudyTime, "");
    ok &= put(DCM_ReferringPhysicianName, "");
    ok &= put(DCM_StudyID, "");
    ok &= put(DCM_AccessionNumber, "");
    // Series and equipment.
    ok &= put(DCM_Modality, dx ? latin1(request.modality.isEmpty() ? QStringLiteral("DX") : request.modality)
                               : QByteArray("OT"));
    ok &= put(DCM_SeriesInstanceUID, seriesUid);
    ok &= put(DCM_SeriesNumber, "1");
    ok &= put(DCM_SeriesDescription, latin1(request.description.left(64)));
    ok &= put(DCM_Manufacturer, "");
    ok &= put(DCM_InstanceNumber, "1");
    ok &= put(DCM_ContentDate, da(study));
    ok &= put(DCM_ContentTime, "");
    ok &= put(DCM_BurnedInAnnotation, "NO");
    if (dx) {
        ok &= put(DCM_ImageType, "DERIVED\\PRIMARY");
        ok &= put(DCM_PatientOrientation, latin1(request.patientOrientation));
        ok &= put(DCM_PresentationIntentType, "FOR PRESENTATION");
        ok &= put(DCM_PixelIntensityRelationship, "LOG");
        ok &= d.putAndInsertSint16(DCM_PixelIntensityRelationshipSign, 1).good();
        ok &= put(DCM_RescaleIntercept, "0");
        ok &= put(DCM_RescaleSlope, "1");
        ok &= put(DCM_RescaleType, "US");
        ok &= put(DCM_PresentationLUTShape, "IDENTITY");
        ok &= put(DCM_LossyImageCompression, "00");
        ok &= put(DCM_DetectorType, "");
        ok &= put(DCM_BodyPartExamined, "");
        ok &= put(DCM_ImageLaterality, "U");
        ok &= put(DCM_WindowCenter, "127.5");
        ok &= put(DCM_WindowWidth, "256");
        ok &= d.insertEmptyElement(DCM_AcquisitionContextSequence).good();
        ok &= d.insertEmptyElement(DCM_AnatomicRegionSequence).good();
    } else {
        ok &= put(DCM_ConversionType, "WSD");
        ok &= put(DCM_Laterality, "");
        ok &= put(DCM_PatientOrientation, "");
        ok &= put(DCM_ImageType, "DERIVED\\SECONDARY");
    }
    if (request.pixelSpacing) {
        const QByteArray value = QByteArray::number(request.pixelSpacing->height(), 'g', 8) + '\\'
                                 + QByteArray::number(request.pixelSpacing->width(), 'g', 8);
        // The detector's spacing for DX; the picture's own for anything else.
        ok &= put(dx ? DCM_ImagerPixelSpacing : DCM_PixelSpacing, value);
        if (dx)
            ok &= put(DCM_PixelSpacing, value);
    } else if (dx) {
        ok &= put(DCM_ImagerPixelSpacing, "");
    }
    // Pixels.
    ok &= d.putAndInsertUint16(DCM_SamplesPerPixel, grey ? 1 : 3).good();
    ok &= put(DCM_PhotometricInterpretation, grey ? "MONOCHROME2" : "RGB");
    if (!grey)
        ok &= d.putAndInsertUint16(DCM_PlanarConfiguration, 0).good();
    ok &= d.putAndInsertUint16(DCM_Rows, Uint16(height)).good();
    ok &= d.putAndInsertUint16(DCM_Columns, Uint16(width)).good();
    ok &= d.putAndInsertUint16(DCM_BitsAllocated, 8).good();
    ok &= d.putAndInsertUint16(DCM_BitsStored, 8).good();
    ok &= d.putAndInsertUint16(DCM_HighBit, 7).good();
    ok &= d.putAndInsertUint16(DCM_PixelRepresentation, 0).good();
    const int rowBytes = width * (grey ? 1 : 3);
    std::vector<Uint8> bytes(size_t(rowBytes) * height + ((size_t(rowBytes) * height) & 1));
    for (int y = 0; y < height; ++y)
        std::memcpy(bytes.data() + size_t(y) * rowBytes, pixels.constScanLine(y), size_t(rowBytes));
    ok &= d.putAndInsertUint8Array(DCM_PixelData, bytes.data(), unsigned(bytes.size())).good();
    if (!ok)
        return Outcome::failure(QStringLiteral("The DICOM data set could not be built."));

    // Written beside the target and linked into place, so a failed export
    // leaves no half file under the name the user chose.
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    const OFCondition saved = file.saveFile(QFile::encodeName(partial).constData(), EXS_LittleEndianExplicit);
    if (saved.bad()) {
        QFile::remove(partial);
        return Outcome::failure(QStringLiteral("%1 could not be written: %2")
                                    .arg(path, QString::fromLatin1(saved.text())));
    }
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        return Outcome::failure(QStringLiteral("%1 could not be written.").arg(path));
    }
    return {};
}

QString patientMismatch(const SourceInfo &file, const Patient &book)
{
    const QSet<QString> fileWords = nameWords(file.patientName);
    const QSet<QString> bookWords = nameWords(QString(book.familyName + u' ' + book.givenName));
    const bool nameDiffers = !fileWords.isEmpty() && !bookWords.isEmpty() && fileWords != bookWords;
    const bool idDiffers = !file.patientId.isEmpty() && !book.id.isEmpty()
                           && file.patientId.compare(book.id, Qt::CaseInsensitive) != 0;
    if (!nameDiffers && !idDiffers)
        return QString();
    const auto who = [](const QString &name, const QString &id) {
        QString text = name.isEmpty() ? QStringLiteral("no name") : u'"' + name + u'"';
        if (!id.isEmpty())
            text += QStringLiteral(" (ID %1)").arg(id);
        return text;
    };
    return QStringLiteral("This DICOM file is of another patient: it names %1, the book is of %2.")
        .arg(who(readableName(file.patientName), file.patientId),
             who(QString(book.givenName + u' ' + book.familyName).simplified(), book.id));
}

} // namespace tovradocs::Internal::Dicom
