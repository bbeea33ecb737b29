// Saves pictures of the printing windows on the demo practice:
//   shot_printing <folder>
// writes printer-setup.png, preview-four-up.png and visit-report.png there.
// Not a test; run it under a real or virtual display to check the layout.

#include <tovradocs/mediamanager.h>

#include "component/dialogservice.h"
#include "host/demopractice.h"
#include "host/referencehost.h"
#include "support/testhost.h"
#include "printing/frmmultipgpreview.h"
#include "printing/previewer.h"
#include "printing/systemprinter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

std::function<int(QDialog *)> setup(const QString &shot)
{
    return [shot](QDialog *dialog) {
        auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("cboPrinter"));
        printers->setCurrentIndex(printers->findText(SystemPrinter::pdfPrinterName()));
        Q_EMIT printers->activated(printers->currentIndex());
        dialog->findChild<QComboBox *>(QStringLiteral("cboPrintTemplates"))->setCurrentIndex(3);
        for (const char *name : {"chkDrNames", "chkPrintImageDescription"})
            dialog->findChild<QCheckBox *>(QLatin1String(name))->setChecked(true);
        if (!shot.isEmpty()) {
            dialog->show();
            settle();
            dialog->grab().save(shot);
        }
        dialog->findChild<QPushButton *>(QStringLiteral("cmdPreview"))->click();
        return dialog->result();
    };
}

std::function<int(QDialog *)> preview(const QString &shot, bool pageOnly)
{
    return [shot, pageOnly](QDialog *dialog) {
        auto *window = static_cast<frmMultiPgPreview *>(dialog);
        if (pageOnly) {
            window->shownPage().save(shot);
        } else {
            window->setWindowState(Qt::WindowNoState);
            window->resize(1280, 900);
            window->show();
            settle();
            window->findChild<QPushButton *>(QStringLiteral("cmdFullPage"))->click();
            settle();
            window->grab().save(shot);
        }
        dialog->reject();
        return int(QDialog::Rejected);
    };
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_printing folder\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir dir;
    const std::shared_ptr<ReferenceHost> host = Testing::openTestHost(dir.path(), true);
    if (!host)
        return 1;
    registerHostObjects();
    MediaManager manager;
    manager.SetDataLink(host, nullptr);
    ScriptedResponder responder;
    DialogService::setResponder(&responder);
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));

    // The practice's "Before and After" book, four to a page.
    std::unique_ptr<Recordset> rows;
    host->FillRecordSet(rows, QStringLiteral("Select BookContents.* From Books,BookContents where "
                                                     "(Books.Description = 'Before and After') and "
                                                     "(BookContents.BookCode = Books.Entry_Code) order by BookContents.Entry_Code"));
    PageTable table;
    for (; rows && !rows->isEof(); rows->moveNext())
        table.pages.append({rows->value(QStringLiteral("Entry_Code")).toString(),
                            rows->value(QStringLiteral("FileName")).toString(),
                            rows->value(QStringLiteral("Description")).toString(),
                            rows->value(QStringLiteral("EntryType")).toString(), QStringLiteral("1"), QString()});
    responder.pushModal(setup(out.filePath(QStringLiteral("printer-setup.png"))));
    responder.pushModal(preview(out.filePath(QStringLiteral("preview-four-up.png")), false));
    Previewer().ShowPrintPreview(table, 0, qint16(table.count()));

    responder.pushModal(setup(QString()));
    responder.pushModal(preview(out.filePath(QStringLiteral("visit-report.png")), true));
    manager.RunPatientReportWithImages(PtImageReports(31), 1,
                                       DemoPractice::chartFile(host->GetLibraryFilesFolder(), 1), 41, 1);
    DialogService::setResponder(nullptr);
    return 0;
}
