// A 50-page print job of four 12-megapixel JPEG pictures a page ("4 Images /
// Page 2 X 2") through the image printing path to the PDF printer at 300 dpi,
// against img2pdf making a PDF of the same pictures; then the preview of the
// same job at screen resolution against a 1/8-scale decode of the pictures.
//
//   bench_printing [--dir /tmp/tovra-bench-print] [--pages 50] [--distinct 8]
//
// Run it on the offscreen platform: QT_QPA_PLATFORM=offscreen bench_printing
// The pictures are generated once and kept in --dir; delete it to regenerate.

#include "benchhost.h"
#include "component/dialogservice.h"
#include "printing/clsmultipgpreview.h"
#include "printing/frmmultipgpreview.h"
#include "printing/previewer.h"
#include "printing/systemprinter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadialGradient>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentMap>

#include <cstdio>

#include "benchpictures.h"

using namespace tovradocs::Internal;

namespace {

long peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Restarts clock as the user presses Preview or Print, so the set-up window's
// own time is left out.
std::function<int(QDialog *)> setup(bool print, QElapsedTimer *clock = nullptr)
{
    return [print, clock](QDialog *dialog) {
        auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("cboPrinter"));
        printers->setCurrentIndex(printers->findText(SystemPrinter::pdfPrinterName()));
        Q_EMIT printers->activated(printers->currentIndex());
        dialog->findChild<QComboBox *>(QStringLiteral("cboPrintTemplates"))->setCurrentIndex(3);
        if (clock)
            clock->restart();
        dialog->findChild<QPushButton *>(print ? QStringLiteral("cmdPrint") : QStringLiteral("cmdPreview"))->click();
        return dialog->result();
    };
}

} // namespace

int main(int argc, char **argv)
{
    offscreenWithoutDisplay();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Working folder."), QStringLiteral("dir"),
                      QDir::temp().filePath(QStringLiteral("tovra-bench-print"))});
    parser.addOption({QStringLiteral("pages"), QStringLiteral("Pages of four pictures."), QStringLiteral("n"),
                      QStringLiteral("50")});
    parser.addOption({QStringLiteral("distinct"), QStringLiteral("Distinct pictures, used in turn."),
                      QStringLiteral("n"), QStringLiteral("8")});
    parser.process(app);
    const QDir dir(parser.value(QStringLiteral("dir")));
    QDir().mkpath(dir.path());
    const int pages = parser.value(QStringLiteral("pages")).toInt();
    const int distinct = parser.value(QStringLiteral("distinct")).toInt();
    const QString img2pdf = QStandardPaths::findExecutable(QStringLiteral("img2pdf"));
    if (img2pdf.isEmpty()) {
        std::fprintf(stderr, "img2pdf is not installed (Debian package img2pdf)\n");
        return 1;
    }

    QStringList sources;
    for (int i = 0; i < distinct; ++i) {
        const QString path = dir.filePath(QStringLiteral("camera%1.jpg").arg(i));
        if (!QFile::exists(path))
            benchpictures::cameraPicture(i, QSize(4000, 3000)).save(path, "JPEG", 90);
        sources << path;
    }
    QStringList files;
    PageTable table;
    for (int i = 0; i < pages * 4; ++i) {
        files << sources.at(i % distinct);
        table.pages.append({QString::number(i + 1), files.last(), QStringLiteral("Picture %1").arg(i + 1),
                            QStringLiteral("1"), QStringLiteral("1"), QString()});
    }

    ScriptedResponder responder;
    DialogService::setResponder(&responder);
    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));

    // Peer first: the same pictures, one a page.
    const QString peerOut = dir.filePath(QStringLiteral("img2pdf.pdf"));
    QElapsedTimer timer;
    timer.start();
    QProcess peer;
    peer.start(img2pdf, QStringList{QStringLiteral("-o"), peerOut} + files);
    peer.waitForFinished(-1);
    const double peerSeconds = timer.elapsed() / 1000.0;

    const QString ours = dir.filePath(QStringLiteral("ours.pdf"));
    responder.pushModal(setup(true, &timer));
    responder.pushText(ours);
    Previewer().ShowPrintPreview(table, 0, qint16(table.count()));
    const double printSeconds = timer.elapsed() / 1000.0;
    const long printPeak = peakMemoryKb();

    // Preview: time to the first page (a one-page job) and the whole job.
    PageTable firstPage;
    firstPage.pages = table.pages.mid(0, 4);
    double windowAt = 0;
    const auto closeAtOnce = [&](QDialog *dialog) {
        windowAt = timer.elapsed() / 1000.0;
        dialog->reject();
        return int(QDialog::Rejected);
    };
    responder.pushModal(setup(false, &timer));
    responder.pushModal(closeAtOnce);
    Previewer().ShowPrintPreview(firstPage, 0, 4);
    const double firstPageSeconds = windowAt;
    responder.pushModal(setup(false, &timer));
    responder.pushModal(closeAtOnce);
    Previewer().ShowPrintPreview(table, 0, qint16(table.count()));
    const double previewSeconds = windowAt;

    QThreadPool pool;
    pool.setMaxThreadCount(2);
    timer.restart();
    QtConcurrent::blockingMap(&pool, files, [](const QString &path) {
        QImageReader reader(path);
        reader.setScaledSize(reader.size() / 8);
        reader.read();
    });
    const double eighthSeconds = timer.elapsed() / 1000.0;
    // The decoding share of the printed job: the same sizes, two threads, nothing drawn.
    timer.restart();
    QtConcurrent::blockingMap(&pool, files, [](const QString &path) {
        QImageReader reader(path);
        reader.setScaledSize(QSize(1005, 754));
        reader.read();
    });
    const double printDecodeSeconds = timer.elapsed() / 1000.0;

    std::printf("job: %d pages, %lld pictures of 4000x3000 (%d distinct), layout 2 x 2, Letter, 300 dpi\n",
                pages, qlonglong(files.size()), distinct);
    std::printf("print to PDF      %7.2f s  (%.1f MB)\n", printSeconds, QFileInfo(ours).size() / 1e6);
    std::printf("  of which decoding at print size, alone %.2f s\n", printDecodeSeconds);
    std::printf("img2pdf           %7.2f s  (%.1f MB)  ratio ours/img2pdf %.2f\n", peerSeconds,
                QFileInfo(peerOut).size() / 1e6, printSeconds / peerSeconds);
    std::printf("preview 1st page  %7.2f s\n", firstPageSeconds);
    std::printf("preview all       %7.2f s\n", previewSeconds);
    std::printf("1/8 decode all    %7.2f s  ratio preview/decode %.2f\n", eighthSeconds, previewSeconds / eighthSeconds);
    std::printf("peak memory after printing %.0f MB, at the end %.0f MB\n", printPeak / 1024.0, peakMemoryKb() / 1024.0);
    DialogService::setResponder(nullptr);
    return 0;
}
