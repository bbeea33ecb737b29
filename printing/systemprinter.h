#pragma once

#include <QLoggingCategory>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;
class QPrinter;
class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcPrinting)

namespace tovradocs::Internal {

// The one printer object all printing of the component goes through, like the
// system printer of the desktop: choosing a printer anywhere changes it for
// every later job. Besides the CUPS queues there is always "Save as PDF", so a
// practice without a printer can still hand out a PDF.
class SystemPrinter
{
public:
    static QPrinter &printer();

    static QString pdfPrinterName(); // "Save as PDF"
    // Installed queues in the system's order, then the PDF printer.
    static QStringList printerNames();
    // The system default queue, or the PDF printer when there is none.
    static QString defaultPrinterName();
    static QString currentName();
    static bool isPdf();
    // False (nothing changed) when no printer of that name exists.
    static bool select(const QString &name);
    // The part of the sheet the printer can mark, in inches from the sheet's
    // top-left corner; the PDF printer keeps a margin of at least 5 mm.
    static QRectF printableArea();
    static QString driverName();
    static QString portName();

    // The design's printer numbers: orientation 1 portrait / 2 landscape;
    // colour mode 1 monochrome / 2 colour; duplex 1 single, 2 long edge,
    // 3 short edge; quality -1 draft, -3 normal, -4 best.
    static int orientation();
    static bool setOrientation(int value);
    static int colorMode();
    static void setColorMode(int value);
    static int duplex();
    static void setDuplex(int value);
    static int quality();
    static void setQuality(int value);
    static int copies();
    static void setCopies(int value);
    // Resolution pictures are decoded for when printed, from the quality.
    static int imageDpi();

    // Opens a job on painter: refuses (with a message, nothing printed) when
    // the chosen queue has gone; for the PDF printer asks for the file, and a
    // cancelled question prints nothing.
    static bool beginJob(QPainter &painter, QWidget *owner);
    // Copies the PDF printer cannot make by itself; the composer repeats the
    // document this many times in one job.
    static int repeatsForCopies();

    // Back to the default printer, portrait, colour, one copy. Tests only.
    static void reset();
};

} // namespace tovradocs::Internal
