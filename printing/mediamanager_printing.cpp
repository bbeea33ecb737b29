#include <tovradocs/mediamanager.h>

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/windowutils.h"
#include "printing/clsprintdialog.h"
#include "printing/previewer.h"
#include "printing/systemprinter.h"

// The members of MediaManager that print; the component layer below cannot
// see the printing windows.

namespace tovradocs {

using namespace Internal;

namespace mediamanager_printing {

const QString kWindowName = QStringLiteral("MediaManager");

} // namespace mediamanager_printing

void MediaManager::RunPatientReportWithImages(PtImageReports PirRpt, qint32 RecID,
                                              const QString &ChartFileName, qint16 Ptage,
                                              qint32 PatReportCode, Recordset *RecSet1,
                                              Recordset *RecSet2, QObject *tg)
{
    trapErrors(mediamanager_printing::kWindowName, [&] {
        Previewer previewer(parentWindow());
        if (PirRpt == pirDrOndalReport) {
            previewer.ShowCrossTabReport(RecSet1, RecSet2, tg);
            return;
        }
        PageTable table;
        qint32 patientCode = 0;
        DataLink *link = dataLink();
        if (PirRpt != pirNone && RecID > 0 && link) {
            std::unique_ptr<Recordset> visit;
            link->FillRecordSet(visit, QStringLiteral("Select PatientCode , VisitDate From Visits where (Entry_Code = ")
                                           + QString::number(RecID) + QStringLiteral(")"));
            if (visit && visit->isOpen() && !visit->isEof()) {
                patientCode = visit->value(QStringLiteral("PatientCode")).toInt();
                closeRecordsetSafely(visit);
                std::unique_ptr<Recordset> rows;
                link->FillRecordSet(rows, QStringLiteral("Select BookContents.* From Books,BookContents where (Books.Patientcode = ")
                                              + QString::number(patientCode) + QStringLiteral(")")
                                              + QStringLiteral(" and (BookContents.BookCode = Books.Entry_Code) "));
                for (; rows && rows->isOpen() && !rows->isEof(); rows->moveNext()) {
                    const QString file = rows->value(QStringLiteral("FileName")).toString();
                    const qint32 type = shownEntryType(rows->value(QStringLiteral("EntryType")).toInt(), file);
                    table.pages.append({rows->value(QStringLiteral("Entry_Code")).toString(), file,
                                        rows->value(QStringLiteral("Description")).toString(),
                                        QString::number(type),
                                        QStringLiteral("1"), QString()});
                }
                closeRecordsetSafely(rows);
            }
            closeRecordsetSafely(visit);
        }
        previewer.ShowPrintPreview(table, 0, qint16(table.count()), PirRpt, RecID, ChartFileName,
                                   patientCode, Ptage, PatReportCode);
    });
}

bool MediaManager::PrintSetupDlg(QWidget *&hWnd)
{
    if (!SystemPrinter::printerNames().contains(SystemPrinter::currentName())) {
        DialogService::message(hWnd, QStringLiteral("Error retrieving printer information !"));
        return false;
    }
    clsPrintDialog dialog;
    dialog.Owner_hWnd = hWnd;
    dialog.ShowPrinter(clsPrintDialog::PrintSetupFlag);
    return true;
}

} // namespace tovradocs
