#include "printing/previewer.h"

#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/imageloader.h"
#include "component/windowutils.h"
#include "printing/clsmultipgpreview.h"

#include <tovradocs/hostobjects.h>
#include <tovradocs/recordset.h>

#include <algorithm>
#include <functional>

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

// Where continued pages of the report start.
constexpr float kPageTop = 0.6f;

// One piece of text of a report line, wrapped between left and right.
struct TextCell
{
    float left;
    float right;
    QString text;
    bool bold = false;
};

// Lays the report out in columns: each text wraps inside its own column, and
// nothing goes below the report's lowest line; a line that would is printed
// on the next page, after what breakPage prints there.
class ReportLayout
{
public:
    explicit ReportLayout(clsMultiPgPreview &engine) : m_e(engine) {}

    void setBottom(float bottom) { m_bottom = bottom; }
    float bottom() const { return m_bottom; }
    bool fits(float height) const { return m_e.CurrentY() + height <= m_bottom + 0.001f; }
    float lineHeight() const { return m_e.GetTextHeight(QStringLiteral("Sample Text")); }

    // The lines of text in the current font, none wider than width; a word
    // longer than the whole width is cut.
    QStringList wrap(const QString &text, float width) const
    {
        QStringList lines;
        QString line;
        const QStringList words = clsMultiPgPreview::GetRemoveCRLF(text).split(u' ', Qt::SkipEmptyParts);
        for (QString word : words) {
            const QString longer = line.isEmpty() ? word : line + u' ' + word;
            if (m_e.GetTextWidth(longer) <= width) {
                line = longer;
                continue;
            }
            if (!line.isEmpty())
                lines << line;
            while (word.size() > 1 && m_e.GetTextWidth(word) > width) {
                qsizetype n = word.size() - 1;
                while (n > 1 && m_e.GetTextWidth(word.left(n)) > width)
                    --n;
                lines << word.left(n);
                word.remove(0, n);
            }
            line = word;
        }
        if (!line.isEmpty() || lines.isEmpty())
            lines << line;
        return lines;
    }

    QList<QStringList> lay(const QList<TextCell> &cells) const
    {
        QList<QStringList> laid;
        const bool bold = m_e.FontBold();
        for (const TextCell &cell : cells) {
            m_e.setFontBold(cell.bold);
            laid << wrap(cell.text, cell.right - cell.left);
        }
        m_e.setFontBold(bold);
        return laid;
    }

    static qsizetype lineCount(const QList<QStringList> &laid)
    {
        qsizetype most = 1;
        for (const QStringList &lines : laid)
            most = std::max(most, lines.size());
        return most;
    }

    float height(const QList<TextCell> &cells) const { return float(lineCount(lay(cells))) * lineHeight(); }

    // Prints the cells from the current line down; the print position ends
    // at the left edge below the tallest cell.
    void print(const QList<TextCell> &cells, const std::function<void()> &breakPage = {})
    {
        const QList<QStringList> laid = lay(cells);
        const float h = lineHeight();
        const bool bold = m_e.FontBold();
        for (qsizetype i = 0; i < lineCount(laid); ++i) {
            if (breakPage && !fits(h))
                breakPage();
            const float y = m_e.CurrentY();
            for (qsizetype c = 0; c < cells.size(); ++c) {
                if (i >= laid.at(c).size() || laid.at(c).at(i).isEmpty())
                    continue;
                m_e.setFontBold(cells.at(c).bold);
                m_e.setCurrentY(y);
                m_e.pPrint(laid.at(c).at(i), cells.at(c).left, true);
            }
            m_e.setFontBold(bold);
            m_e.setCurrentX(0);
            m_e.setCurrentY(y + h);
        }
    }

    void newPage()
    {
        m_e.pNewPage();
        m_e.setCurrentX(0);
        m_e.setCurrentY(kPageTop);
    }

private:
    clsMultiPgPreview &m_e;
    float m_bottom = 0;
};

} // namespace patientreport

using namespace patientreport;

bool Previewer::patientReport(qint32 reportKind, qint32 visitCode, const QString &chartFile,
                              qint32 patientCode, qint16 patientAge, qint32 reportCode)
{
    DataLink *link = dataLink();
    if (!link)
        return false;
    clsMultiPgPreview &e = *m_engine;
    const float W = e.GetPaperWidth();
    const float H = e.GetPaperHeight();
    // Right edge of every text: inside the box round the sections and the frame.
    const float right = W - 0.6f;
    const QString visit = QString::number(visitCode);
    const QString patient = QString::number(patientCode);
    ReportLayout layout(e);
    bool printed = false;

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
        printed = true;
        e.setFontSize(24);
        e.setFontBold(true);
        e.setFontTransparent(true);
        e.setCurrentY(0.6f);
        layout.print({{0.55f, right, title, true}});

        e.setFontSize(14);
        e.setFontBold(false);
        qint32 code = patientCode;
        const QString age = patientAge >= 0 ? QStringLiteral(" %1").arg(patientAge) : QString::number(patientAge);
        layout.print({{0.55f, right, QStringLiteral("Name"), true},
                      {1.2f, 5.4f, link->GetNameOfPatient(code)},
                      {5.5f, right, QStringLiteral("Age"), true},
                      {6, right, age}});
        layout.print({{0.55f, right, QStringLiteral("Address"), true},
                      {1.5f, right, joined(text(row, "ResAdd1"), {text(row, "ResAdd2"), text(row, "ResAdd3")},
                                           QStringLiteral(","))}});
        layout.print({{0.55f, 4.4f, joined(text(row, "ResCity"), {text(row, "ResPin")}, QStringLiteral(" - "))},
                      {4.5f, right, QStringLiteral("Tel."), true},
                      {5.5f, right, joined(text(row, "PhoneRes1"), {text(row, "PhoneRes2")}, QStringLiteral(","))}});
        closeRecordsetSafely(person);

        // The dental chart of the visit, in a box a quarter of the page high
        // that starts below the last line of the particulars.
        const float boxTop = e.CurrentY() + 0.05f;
        const float y = boxTop + 0.1f;
        e.pBox(1, boxTop, W - 2, H / 4 + 0.1f);
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
        // The sections start a little below the box, not on its edge.
        const float belowChart = y + H / 4 + 0.1f;
        e.setCurrentX(0);
        e.setCurrentY(belowChart);

        std::unique_ptr<Recordset> teeth;
        link->FillDaoRecordSet(teeth, QStringLiteral("Select * from teethnames"));
        std::unique_ptr<ToothNotation> notation;
        if (auto &make = hostObjectFactories().toothNotation)
            notation = make();
        closeRecordsetSafely(teeth);

        std::unique_ptr<Recordset> rows[5];
        for (int s = 0; s < 5; ++s) {
            if (!(reportKind & kSections[s].bits))
                continue;
            link->FillRecordSet(rows[s], sectionSql(s, reportKind, patient, visit));
            if (!hasRows(rows[s]))
                closeRecordsetSafely(rows[s]);
        }
        const auto present = [&](int s) { return rows[s] && rows[s]->isOpen(); };

        // The closing text stands at the foot of the page where the first
        // three sections end, and no section line may come down to it.
        e.setFontSize(12);
        e.setFontBold(false);
        const QStringList closing = layout.wrap(footer, right - 0.55f);
        const float closingTop = std::min(H - 1, H - 0.55f - float(closing.size()) * layout.lineHeight());
        layout.setBottom(closingTop - 0.1f);

        const auto section = [&](int s) {
            const Section &sec = kSections[s];
            Recordset &rs = *rows[s];
            e.setFontSize(14);
            e.setFontBold(true);
            const float titleHeight = layout.lineHeight();
            e.setFontSize(12);
            const float headingHeight = titleHeight + layout.lineHeight();
            e.setFontBold(false);
            int number = 0;
            const auto cells = [&] {
                QString second;
                if (sec.secondField) {
                    second = text(&rs, sec.secondField);
                } else if (rs.value(QStringLiteral("AppliesTo")).toInt() != 3 && notation) {
                    second = notation->ToothName(rs.value(QStringLiteral("ToothFrom")).toInt() * 100
                                                 + rs.value(QStringLiteral("ToothTo")).toInt());
                }
                return QList<TextCell>{{0.55f, 0.95f, QString::number(number + 1)},
                                       {1, 4.4f, text(&rs, sec.textField)},
                                       {4.5f, right, second}};
            };
            float y0 = 0;
            const auto startPart = [&](bool continued) {
                y0 = e.CurrentY();
                e.setFontSize(14);
                e.setFontBold(true);
                layout.print({{0.55f, right,
                               continued ? QLatin1String(sec.title) + QStringLiteral(" (continued)")
                                         : QString::fromLatin1(sec.title),
                               true}});
                e.setFontSize(12);
                layout.print({{1, 4.4f, QLatin1String(sec.heading1), true},
                              {4.5f, right, QLatin1String(sec.heading2), true}});
                e.setFontBold(false);
            };
            const auto closePart = [&] { e.pBox(0.53f, y0, W - 1.06f, e.CurrentY() - y0, -1, -1, 1); };
            const auto breakPage = [&] {
                closePart();
                layout.newPage();
                startPart(true);
            };
            // A title never stands alone at the foot of a page: it goes with its first row.
            const float spacing = sec.spaced ? 0.3f : 0;
            if (layout.fits(spacing + headingHeight + layout.height(cells())))
                e.setCurrentY(e.CurrentY() + spacing);
            else
                layout.newPage();
            startPart(false);
            for (; !rs.isEof(); rs.moveNext(), ++number) {
                const QList<TextCell> row = cells();
                // Rows stay whole unless one is taller than a page.
                const float h = layout.height(row);
                if (!layout.fits(h) && kPageTop + headingHeight + h <= layout.bottom())
                    breakPage();
                layout.print(row, breakPage);
            }
            closePart();
            closeRecordsetSafely(rows[s]);
        };

        bool anyOfFirstThree = false;
        for (int s = 0; s < 3; ++s) {
            if (present(s)) {
                section(s);
                anyOfFirstThree = true;
            }
        }
        e.setFontSize(12);
        e.setFontBold(false);
        e.setCurrentY(closingTop);
        layout.print({{0.55f, right, footer}});
        // The later sections start a page of their own after the first three;
        // without those they follow the chart, above the closing text.
        if (present(3) || present(4)) {
            if (anyOfFirstThree)
                layout.newPage();
            else
                e.setCurrentY(belowChart);
        }
        for (int s = 3; s < 5; ++s) {
            if (present(s))
                section(s);
        }
    });
    return printed;
}

} // namespace tovradocs::Internal
