#include "printing/systemprinter.h"

#include "component/dialogservice.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <algorithm>

Q_LOGGING_CATEGORY(lcPrinting, "tovradocs.printing")

namespace tovradocs::Internal {

namespace systemprinter {

// A PDF is printed on paper later, by printers that cannot reach the edge:
// 5 mm, rounded up to whole points as the page layout keeps them.
constexpr double kPdfMargin = 15.0; // points

struct State
{
    QPrinter printer {QPrinter::HighResolution};
    QString name;
    int quality = -3;
    QString lastPdfFolder;
    bool chosen = false;
};

State &state()
{
    static State s;
    return s;
}

void applyName(State &s, const QString &name)
{
    if (name == SystemPrinter::pdfPrinterName()) {
        s.printer.setPrinterName(QString());
        s.printer.setOutputFormat(QPrinter::PdfFormat);
        s.printer.setPageMargins(QMarginsF(kPdfMargin, kPdfMargin, kPdfMargin, kPdfMargin),
                                 QPageLayout::Point);
    } else {
        const QPageLayout::Orientation orientation = s.printer.pageLayout().orientation();
        s.printer.setOutputFileName(QString());
        s.printer.setOutputFormat(QPrinter::NativeFormat);
        s.printer.setPrinterName(name);
        s.printer.setPageOrientation(orientation);
    }
    s.name = name;
    s.chosen = true;
}

State &ready()
{
    State &s = state();
    if (!s.chosen)
        applyName(s, SystemPrinter::defaultPrinterName());
    return s;
}

} // namespace systemprinter

using systemprinter::kPdfMargin;
using systemprinter::ready;

QPrinter &SystemPrinter::printer() { return ready().printer; }

QString SystemPrinter::pdfPrinterName() { return QStringLiteral("Save as PDF"); }

QStringList SystemPrinter::printerNames()
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names.removeAll(pdfPrinterName());
    names << pdfPrinterName();
    return names;
}

QString SystemPrinter::defaultPrinterName()
{
    const QString name = QPrinterInfo::defaultPrinterName();
    return name.isEmpty() ? pdfPrinterName() : name;
}

QString SystemPrinter::currentName() { return ready().name; }

bool SystemPrinter::isPdf() { return currentName() == pdfPrinterName(); }

bool SystemPrinter::select(const QString &name)
{
    if (!printerNames().contains(name))
        return false;
    systemprinter::State &s = ready();
    if (s.name != name)
        systemprinter::applyName(s, name);
    return true;
}

QString SystemPrinter::driverName()
{
    if (isPdf())
        return QStringLiteral("PDF");
    const QPrinterInfo info = QPrinterInfo::printerInfo(currentName());
    return info.makeAndModel().isEmpty() ? QStringLiteral("CUPS") : info.makeAndModel();
}

QString SystemPrinter::portName()
{
    if (isPdf())
        return QStringLiteral("FILE:");
    const QPrinterInfo info = QPrinterInfo::printerInfo(currentName());
    return info.location().isEmpty() ? currentName() : info.location();
}

QRectF SystemPrinter::printableArea()
{
    QPrinter &p = printer();
    if (isPdf()) {
        const QMarginsF m = p.pageLayout().margins(QPageLayout::Point);
        const QMarginsF least(std::max(m.left(), kPdfMargin), std::max(m.top(), kPdfMargin),
                              std::max(m.right(), kPdfMargin), std::max(m.bottom(), kPdfMargin));
        if (least != m)
            p.setPageMargins(least, QPageLayout::Point);
    }
    // In device dots, as the painter places its origin; inches would be rounded.
    const QRect dots = p.pageLayout().paintRectPixels(p.resolution());
    const double dpi = p.resolution();
    return {dots.x() / dpi, dots.y() / dpi, dots.width() / dpi, dots.height() / dpi};
}

int SystemPrinter::orientation()
{
    return printer().pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
}

bool SystemPrinter::setOrientation(int value)
{
    if (value != 1 && value != 2)
        return false;
    const auto wanted = value == 2 ? QPageLayout::Landscape : QPageLayout::Portrait;
    printer().setPageOrientation(wanted);
    return printer().pageLayout().orientation() == wanted;
}

int SystemPrinter::colorMode() { return printer().colorMode() == QPrinter::GrayScale ? 1 : 2; }

void SystemPrinter::setColorMode(int value)
{
    printer().setColorMode(value == 1 ? QPrinter::GrayScale : QPrinter::Color);
}

int SystemPrinter::duplex()
{
    switch (printer().duplex()) {
    case QPrinter::DuplexLongSide:
        return 2;
    case QPrinter::DuplexShortSide:
        return 3;
    default:
        return 1;
    }
}

void SystemPrinter::setDuplex(int value)
{
    printer().setDuplex(value == 2   ? QPrinter::DuplexLongSide
                        : value == 3 ? QPrinter::DuplexShortSide
                                     : QPrinter::DuplexNone);
}

int SystemPrinter::quality() { return ready().quality; }

void SystemPrinter::setQuality(int value)
{
    if (value == -1 || value == -3 || value == -4)
        ready().quality = value;
}

int SystemPrinter::imageDpi()
{
    switch (quality()) {
    case -1:
        return 150;
    case -4:
        return 600;
    default:
        return 300;
    }
}

int SystemPrinter::copies() { return printer().copyCount(); }

void SystemPrinter::setCopies(int value) { printer().setCopyCount(qBound(1, value, 999)); }

int SystemPrinter::repeatsForCopies()
{
    if (isPdf() || !printer().supportsMultipleCopies())
        return copies();
    return 1;
}

bool SystemPrinter::beginJob(QPainter &painter, QWidget *owner)
{
    systemprinter::State &s = ready();
    printableArea(); // margins are fixed once the job starts
    if (isPdf()) {
        if (s.lastPdfFolder.isEmpty())
            s.lastPdfFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QString file = DialogService::saveFile(owner, QStringLiteral("Save as PDF"),
                                               QStringLiteral("PDF files (*.pdf)"),
                                               QDir(s.lastPdfFolder).filePath(QStringLiteral("Print.pdf")));
        if (file.isEmpty())
            return false;
        if (!file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            file += QStringLiteral(".pdf");
        s.lastPdfFolder = QFileInfo(file).absolutePath();
        s.printer.setOutputFileName(file);
    } else if (!QPrinterInfo::availablePrinterNames().contains(s.name)) {
        DialogService::message(owner,
                               QStringLiteral("The printer \"%1\" is not available any more. Nothing was printed.")
                                   .arg(s.name),
                               QString(), Buttons::Ok, Severity::Warning);
        return false;
    }
    if (painter.begin(&s.printer))
        return true;
    DialogService::message(owner,
                           QStringLiteral("The printer \"%1\" could not start the print job.").arg(s.name),
                           QString(), Buttons::Ok, Severity::Warning);
    return false;
}

void SystemPrinter::reset()
{
    systemprinter::State &s = systemprinter::state();
    s.chosen = false;
    s.quality = -3;
    ready();
    s.printer.setPageOrientation(QPageLayout::Portrait);
    s.printer.setColorMode(QPrinter::Color);
    s.printer.setDuplex(QPrinter::DuplexNone);
    s.printer.setCopyCount(1);
}

} // namespace tovradocs::Internal
