#include "printing/previewer.h"

#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "component/windowutils.h"
#include "printing/clsmultipgpreview.h"

#include <tovradocs/hostobjects.h>
#include <tovradocs/recordset.h>

// The visit report printed ahead of a patient's pictures.

namespace tovradocs::Internal {

namespace patientreport {

const QString kWindowName = QStringLiteral("Previewer");

QString text(const Recordset *rs, const char *field)
{
    if (!rs || !rs->isOpen() || rs->isEof())
        return QString();
    const QVariant value = rs->value(QLatin1String(field));
    return value.isNull() ? QString() : value.toString();
}

bool hasRows(const std::unique_ptr<Recordset> &rs)
{
    return rs && rs->isOpen() && !rs->isEof();
}

struct Section
{
    qint32 bits;
    const char *title;
    const char *heading1;
    const char *heading2;
    const char *textField;
    const char *secondField; // null: the teeth of the row
    bool spaced;
};

const Section kSections[] = {
    {1, "Complaints :", "Complaint", "Teeth", "Description", nullptr, false},
    {2, "Present Condition :", "Finding", "Teeth", "Description", nullptr, true},
    {4 | 64, "Treatment Advised :", "Treatment", "Teeth", "Description", nullptr, true},
    {8, "Treatment Done :", "Complaint", "Teeth", "WorkName", nullptr, false},
    {16, "Prescriptions Advised :", "Medicine", "Dosage", "BrandName", "Dosage", true},
};

QString sectionSql(int section, qint32 reportKind, const QString &patient, const QString &visit)
{
    switch (section) {
    case 0:
        return QStringLiteral("Select PatientsComplaints.* ,Visits.VisitDate ,  Complaints.AppliesTo, Complaints.Description ,Complaints.ChartWorkAvailable ,Complaints.IconPos From PatientsComplaints  ,Visits, Complaints where ( PatientsComplaints.ComplaintCode = Complaints.Entry_Code)  and (PatientsComplaints.PatientCode = ")
               + patient + QStringLiteral("  )  and ( PatientsComplaints.VisitCode = Visits.Entry_Code ) ")
               + QStringLiteral(" and ( PatientsComplaints.VisitCode =") + visit + QStringLiteral(" ) ");
    case 1:
        return QStringLiteral("Select PatientsExaminations.*  ,Visits.VisitDate,PossibleExaminations.MtrlRequired , PossibleExaminations.AppliesTo , PossibleExaminations.Description ,PossibleExaminations.ChartWorkAvailable,PossibleExaminations.IconPos From PatientsExaminations ,Visits, PossibleExaminations where ( PatientsExaminations.ExaminationCode = PossibleExaminations.Entry_Code ) and ( PatientsExaminations.PatientCode = ")
               + patient + QStringLiteral(")  and ( PatientsExaminations.VisitCode = Visits.Entry_Code ) ")
               + QStringLiteral(" and ( PatientsExaminations.VisitCode =") + visit + QStringLiteral(" ) ");
    case 2: {
        QString sql = QStringLiteral("Select PatientsTreatments.*  ,Visits.VisitDate, PossibleTreatments.AppliesTo , PossibleTreatments.Description ,PossibleTreatments.ChartWorkAvailable ,PossibleTreatments.IconPos ")
                      + QStringLiteral("  From PatientsTreatments ,Visits, PossibleTreatments,PatientsTreatmentPlans where ( PatientsTreatments.TreatmentCode = PossibleTreatments.Entry_Code ) and ( PatientsTreatments.PatientCode = ")
                      + patient + QStringLiteral(") and ( PatientsTreatments.VisitCode = Visits.Entry_Code ) ")
                      + QStringLiteral(" and ( PatientsTreatments.TreatmentPlanCode = PatientsTreatmentPlans.Entry_Code )")
                      + QStringLiteral(" and ( PatientsTreatments.VisitCode =") + visit + QStringLiteral(" ) ");
        if (reportKind & 64)
            sql += QStringLiteral(" and ( PatientsTreatmentPlans.Accepted =True ) ");
        return sql;
    }
    case 3:
        return QStringLiteral("SELECT PatientsWorkDone.*, Visits.VisitDate, WorkSteps.AppliesTo ,WorkSteps.MtrlRequired,WorkSteps.Description AS WorkName, WorkSteps.ChartWorkAvailable ,WorkSteps.IconPos")
               + QStringLiteral(" From PatientsWorkDone, WorkSteps, Visits Where ( PatientsWorkDone.WorkDoneCode = WorkSteps.Entry_Code )  AND ")
               + QStringLiteral(" ( PatientsWorkDone.VisitCode = Visits.Entry_Code) AND   (Visits.OPDPatient = false) AND  (PatientsWorkDone.PatientCode = ")
               + patient + QStringLiteral(")") + QStringLiteral(" and ( PatientsWorkDone.VisitCode =") + visit
               + QStringLiteral(" ) ");
    default:
        return QStringLiteral("Select Visits.Visitdate , PatientsPrescriptions.*  , MedicineBrands.Description as BrandName ,  MedicineBrands.Dosageform  ,MedicineBrands.Potency From Visits INNER JOIN ( PatientsPrescriptions   INNER JOIN MedicineBrands ON PatientsPrescriptions.BrandVariantCode = MedicineBrands.Entry_Code ) ON Visits.Entry_Code = PatientsPrescriptions.VisitCode  where (PatientsPrescriptions.PatientCode = ")
               + patient + QStringLiteral(" )   order by Visits.VisitDate");
    }
}

QString joined(const QString &first, std::initializer_list<QString> more, const QString &separator)
{
    QString result = first;
    for (const QString &part : more)
        if (!part.isEmpty())
            result += separator + part;
    return result;
}

} // namespace patientreport

using namespace patientreport;

void Previewer::patientReport(qint32 reportKind, qint32 visitCode, const QString &chartFile,
                              qint32 patientCode, qint16 patientAge, qint32 reportCode)
{
    DataLink *link = dataLink();
    if (!link)
        return;
    clsMultiPgPreview &e = *m_engine;
    const float W = e.GetPaperWidth();
    const float H = e.GetPaperHeight();
    const QString visit = QString::number(visitCode);
    const QString patient = QString::number(patientCode);

    trapErrors(kWindowName, [&] {
        std::unique_ptr<Recordset> report;
        link->FillLibRecordSet(report, QStringLiteral("Select * from PatReports where Entry_code = ")
                                           + QString::number(reportCode));
        const QString title = text(report.get(), "Description");
        const QString footer = text(report.get(), "FooterText");
        closeRecordsetSafely(report);

        std::unique_ptr<Recordset> person;
        link->FillRecordSet(person, QStringLiteral("Select Patients.*  from Patients,Visits ")
                                        + QStringLiteral(" where (Visits.Patientcode = Patients.Entry_code) ")
                                        + QStringLiteral(" and ( Visits.Entry_code = ") + visit
                                        + QStringLiteral(" ) "));
        const Recordset *row = hasRows(person) ? person.get() : nullptr;

        e.setFontName(QStringLiteral("Times New Roman"));
        e.pBox(0.5f, 0.5f, W - 1, H - 1);
        e.setFontSize(24);
        e.setFontBold(true);
        e.setFontTransparent(true);
        e.setCurrentY(0.6f);
        e.pPrint(title, 0.55f);

        e.setFontSize(14);
        e.pPrint(QStringLiteral("Name"), 0.55f, true);
        e.setFontBold(false);
        qint32 code = patientCode;
        e.pPrint(link->GetNameOfPatient(code), 1.2f, true);
        e.setFontBold(true);
        e.pPrint(QStringLiteral("Age"), 5.5f, true);
        e.setFontBold(false);
        e.pPrint(patientAge >= 0 ? QStringLiteral(" %1").arg(patientAge) : QString::number(patientAge), 6);

        e.setFontBold(true);
        e.pPrint(QStringLiteral("Address"), 0.55f, true);
        e.setFontBold(false);
        e.pPrint(joined(text(row, "ResAdd1"), {text(row, "ResAdd2"), text(row, "ResAdd3")}, QStringLiteral(",")),
                 1.5f);
        e.pPrint(joined(text(row, "ResCity"), {text(row, "ResPin")}, QStringLiteral(" - ")), 0.55f, true);
        e.setFontBold(true);
        e.pPrint(QStringLiteral("Tel."), 4.5f, true);
        e.setFontBold(false);
        e.pPrint(joined(text(row, "PhoneRes1"), {text(row, "PhoneRes2")}, QStringLiteral(",")), 5.5f);
        closeRecordsetSafely(person);

        // The dental chart of the visit, in a box a quarter of the page high.
        const float y = e.CurrentY();
        e.pBox(1, y - 0.1f, W - 2, H / 4 + 0.1f);
        const QString chart = QString(chartFile).replace(u'\\', u'/');
        if (!chart.isEmpty() && doesFileExist(chart)) {
            if (const Result<QSize> size = imageSize(chart); size && !size->isEmpty()) {
                const QSizeF natural(size->width() / 96.0, size->height() / 96.0);
                const double th = e.GetTextHeight(QStringLiteral("Sample Text"));
                const QRectF drawn = pictureRectInCell(natural, 1, y, W - 2, H / 4, th);
                ImageLoadOptions options;
                options.scaledTo = QSize(int(drawn.width() * e.dpiX()) + 1, int(drawn.height() * e.dpiY()) + 1);
                options.keepAspect = true;
                if (const Result<QImage> picture = loadImage(chart, options))
                    printCell(picture.value(), natural, 1, y, W - 2, H / 4, QString());
            }
        }
        e.setCurrentY(std::max(e.CurrentY(), y + H / 4 + 0.1f));

        std::unique_ptr<Recordset> teeth;
        link->FillDaoRecordSet(teeth, QStringLiteral("Select * from teethnames"));
        std::unique_ptr<ToothNotation> notation;
        if (auto &make = hostObjectFactories().toothNotation)
            notation = make();
        closeRecordsetSafely(teeth);

        bool anyOfFirstThree = false;
        for (int s = 0; s < 5; ++s) {
            const Section &section = kSections[s];
            if (s == 3) {
                e.setFontSize(12);
                e.setFontBold(false);
                e.setCurrentY(H - 1);
                e.pPrint(footer, 0.55f);
                if (anyOfFirstThree) {
                    e.pNewPage();
                    e.setCurrentY(0.6f);
                }
            }
            if (!(reportKind & section.bits))
                continue;
            std::unique_ptr<Recordset> rows;
            link->FillRecordSet(rows, sectionSql(s, reportKind, patient, visit));
            if (!hasRows(rows)) {
                closeRecordsetSafely(rows);
                continue;
            }
            if (s < 3)
                anyOfFirstThree = true;
            if (section.spaced)
                e.setCurrentY(e.CurrentY() + 0.3f);
            const float y0 = e.CurrentY();
            e.setFontSize(14);
            e.setFontBold(true);
            e.pPrint(QLatin1String(section.title), 0.55f);
            e.setFontSize(12);
            e.pPrint(QLatin1String(section.heading1), 1, true);
            e.pPrint(QLatin1String(section.heading2), 4.5f);
            e.setFontBold(false);
            int number = 0;
            for (; !rows->isEof(); rows->moveNext()) {
                QString second;
                if (section.secondField) {
                    second = text(rows.get(), section.secondField);
                } else if (rows->value(QStringLiteral("AppliesTo")).toInt() != 3 && notation) {
                    second = notation->ToothName(rows->value(QStringLiteral("ToothFrom")).toInt() * 100
                                                 + rows->value(QStringLiteral("ToothTo")).toInt());
                }
                e.pPrint(QString::number(++number), 0.55f, true);
                e.pPrint(text(rows.get(), section.textField), 1, !second.isEmpty());
                if (!second.isEmpty())
                    e.pPrint(second, 4.5f);
            }
            closeRecordsetSafely(rows);
            e.pBox(0.53f, y0, W - 1.06f, e.CurrentY() - y0, -1, -1, 1);
        }
    });
}

} // namespace tovradocs::Internal
