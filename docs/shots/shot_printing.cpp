// Saves pictures of the printing windows on the demo practice:
//   shot_printing <folder>
// writes printer-setup.png and preview-four-up.png there, and the first two
// printed pages of a long visit report as visit-report.png and
// visit-report-2.png (the PDF printer's pages through pdftoppm, with a grey
// line where the sheet ends). Not a test; run it under a real or virtual
// display to check the layout.

#include <tovradocs/mediamanager.h>

#include "component/dialogservice.h"
#include "host/demopractice.h"
#include "host/referencehost.h"
#include "support/testhost.h"
#include "printing/frmmultipgpreview.h"
#include "printing/previewer.h"
#include "printing/systemprinter.h"
#include "printing/longvisit.h" // from tests/: the visit the report tests print

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
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

std::function<int(QDialog *)> setup(const QString &shot, bool print = false)
{
    return [shot, print](QDialog *dialog) {
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
        dialog->findChild<QPushButton *>(QLatin1String(print ? "cmdPrint" : "cmdPreview"))->click();
        return dialog->result();
    };
}

std::function<int(QDialog *)> preview(const QString &shot)
{
    return [shot](QDialog *dialog) {
        auto *window = static_cast<frmMultiPgPreview *>(dialog);
        window->setWindowState(Qt::WindowNoState);
        window->resize(1280, 900);
        window->show();
        settle();
        window->findChild<QPushButton *>(QStringLiteral("cmdFullPage"))->click();
        settle();
        window->grab().save(shot);
        dialog->reject();
        return int(QDialog::Rejected);
    };
}

// Page page of pdf as the picture shot, framed where the sheet ends.
bool savePage(const QString &pdf, int page, const QString &shot)
{
    const QString base = shot.chopped(4);
    if (QProcess::execute(QStringLiteral("pdftoppm"),
                          {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-f"), QString::number(page),
                           QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile"),
                           QStringLiteral("-png"), pdf, base})
        != 0)
        return false;
    QImage image(shot);
    QPainter painter(&image);
    painter.setPen(QColor(0xB0, 0xB0, 0xB0));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    painter.end();
    return image.save(shot);
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
    responder.pushModal(preview(out.filePath(QStringLiteral("preview-four-up.png"))));
    Previewer().ShowPrintPreview(table, 0, qint16(table.count()));

    // A visit with more records than a page holds, printed with every section.
    longvisit::add(*host);
    const QString pdf = dir.filePath(QStringLiteral("visit-report.pdf"));
    responder.pushModal(setup(QString(), true));
    responder.pushText(pdf);
    manager.RunPatientReportWithImages(PtImageReports(31), longvisit::kVisit,
                                       DemoPractice::chartFile(host->GetLibraryFilesFolder(), 1), 41, 1);
    DialogService::setResponder(nullptr);
    if (!savePage(pdf, 1, out.filePath(QStringLiteral("visit-report.png")))
        || !savePage(pdf, 2, out.filePath(QStringLiteral("visit-report-2.png")))) {
        std::fprintf(stderr, "cannot turn %s into pictures (is pdftoppm installed?)\n", qPrintable(pdf));
        return 1;
    }
    return 0;
}
