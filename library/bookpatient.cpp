#include "library/bookpatient.h"

#include "component/dialogservice.h"
#include "component/dicomimage.h"
#include "component/hostlink.h"

#include <tovradocs/datalink.h>

#include <QDir>
#include <QFile>

namespace tovradocs::Internal {

namespace {

std::unique_ptr<Recordset> query(DataLink &link, const QString &sql)
{
    std::unique_ptr<Recordset> rs;
    link.FillRecordSet(rs, sql);
    return rs && rs->isOpen() && !rs->isEof() ? std::move(rs) : nullptr;
}

} // namespace

Dicom::Patient bookPatient(DataLink &link, qint32 bookCode)
{
    Dicom::Patient patient;
    const auto book = query(link, QStringLiteral("Select PatientCode From Books Where Entry_Code = %1").arg(bookCode));
    const qint32 code = book ? book->value(QStringLiteral("PatientCode")).toInt() : 0;
    if (book)
        book->close();
    if (code <= 0)
        return patient;
    if (const auto row = query(link, QStringLiteral("Select * From Patients Where Entry_Code = %1").arg(code))) {
        patient.familyName = row->value(QStringLiteral("LastName")).toString().trimmed();
        patient.givenName = row->value(QStringLiteral("FirstName")).toString().trimmed();
        patient.birthDate = row->value(QStringLiteral("BirthDate")).toDate();
        patient.id = QString::number(code);
        row->close();
    }
    return patient;
}

QDate entryDate(DataLink &link, qint32 entryCode)
{
    const auto row = query(link, QStringLiteral("Select EntryDate From BookContents Where Entry_Code = %1")
                                     .arg(entryCode));
    if (!row)
        return QDate();
    const QDate date = row->value(QStringLiteral("EntryDate")).toDate();
    row->close();
    return date;
}

bool confirmDicomPatient(QWidget *owner, const QString &fileName, qint32 bookCode)
{
    DataLink *link = dataLink();
    const QString path = QString(fileName).replace(u'\\', u'/');
    QFile file(path);
    if (!link || !file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray head = file.read(132);
    file.close();
    if (!Dicom::looksLikeDicom(path, head))
        return true;
    const Result<Dicom::SourceInfo> info = Dicom::readSourceInfo(path);
    if (!info)
        return true; // the import's own checks say what is wrong with the file
    Dicom::Patient patient;
    if (!trapErrors(QStringLiteral("TovraLib"), [&] { patient = bookPatient(*link, bookCode); }))
        return true;
    const QString mismatch = Dicom::patientMismatch(*info, patient);
    if (mismatch.isEmpty())
        return true;
    return DialogService::message(owner,
                                  mismatch + QStringLiteral("\n%1\n\nAdd it to this book anyway?")
                                                 .arg(QDir::toNativeSeparators(path)),
                                  QStringLiteral("DICOM patient"), Buttons::YesNo, Severity::Warning)
           == Answer::Yes;
}

} // namespace tovradocs::Internal
