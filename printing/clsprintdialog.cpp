#include "printing/clsprintdialog.h"

#include "component/dialogservice.h"
#include "printing/systemprinter.h"

#include <QPrintDialog>
#include <QPrinter>

namespace tovradocs::Internal {

void clsPrintDialog::setMinPage(qint16 value)
{
    m_minPage = qMax<qint16>(0, value);
    m_fromPage = qMax(m_fromPage, m_minPage);
    m_toPage = qMax(m_toPage, m_minPage);
    m_maxPage = qMax(m_maxPage, m_minPage);
}

void clsPrintDialog::setFromPage(qint16 value)
{
    m_fromPage = qMax<qint16>(0, value);
    m_toPage = qMax(m_toPage, m_fromPage);
    m_maxPage = qMax(m_maxPage, m_fromPage);
    m_minPage = qMin(m_minPage, m_fromPage);
}

void clsPrintDialog::setToPage(qint16 value)
{
    m_toPage = qMax<qint16>(0, value);
    m_maxPage = qMax(m_maxPage, m_toPage);
    m_fromPage = qMin(m_fromPage, m_toPage);
    m_minPage = qMin(m_minPage, m_toPage);
}

void clsPrintDialog::setMaxPage(qint16 value)
{
    m_maxPage = qMax<qint16>(0, value);
    m_toPage = qMin(m_toPage, m_maxPage);
    m_fromPage = qMin(m_fromPage, m_maxPage);
    m_minPage = qMin(m_minPage, m_maxPage);
}

bool clsPrintDialog::ShowPrinter(qint32 flags)
{
    if (!AllowPrintToFile)
        flags |= NoPrintToFileFlag;
    m_lastFlags = flags;

    // The dialog edits a copy, so a cancelled dialog changes nothing.
    QPrinter &current = SystemPrinter::printer();
    QPrinter edited(QPrinter::HighResolution);
    if (SystemPrinter::isPdf())
        edited.setOutputFormat(QPrinter::PdfFormat);
    else
        edited.setPrinterName(SystemPrinter::currentName());
    edited.setPageLayout(current.pageLayout());
    edited.setColorMode(current.colorMode());
    edited.setDuplex(current.duplex());
    edited.setCopyCount(m_copies);
    edited.setFromTo(m_fromPage, m_toPage);

    QPrintDialog dialog(&edited, Owner_hWnd);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
    options.setFlag(QAbstractPrintDialog::PrintToFile, !(flags & NoPrintToFileFlag));
    options.setFlag(QAbstractPrintDialog::PrintPageRange, !(flags & PrintSetupFlag) && m_maxPage > 0);
    dialog.setOptions(options);
    if (m_maxPage > 0)
        dialog.setMinMax(m_minPage, m_maxPage);
    if (DialogService::showModal(&dialog) != QDialog::Accepted)
        return true;

    m_fromPage = qint16(edited.fromPage());
    m_toPage = qint16(edited.toPage());
    const QString chosen = edited.outputFormat() == QPrinter::PdfFormat ? SystemPrinter::pdfPrinterName()
                                                                        : edited.printerName();
    if (chosen.toUpper() != SystemPrinter::currentName().toUpper())
        SystemPrinter::select(chosen);
    QPrinter &target = SystemPrinter::printer();
    target.setColorMode(edited.colorMode());
    target.setCopyCount(qMin(edited.copyCount(), int(m_maxCopies)));
    target.setDuplex(edited.duplex());
    if (AllowOrientation)
        target.setPageOrientation(edited.pageLayout().orientation());
    target.setPageSize(edited.pageLayout().pageSize());
    return false;
}

} // namespace tovradocs::Internal
