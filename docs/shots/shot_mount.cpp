// Saves pictures of a full-mouth series in the mount window:
//   shot_mount <folder> [--universal]
// writes mount.png (the window, two slots left empty) and mount-print.png
// (the page the PDF printer makes of it, through pdftoppm, with a grey line
// where the sheet ends). Not a test; run it under a real or virtual display.

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "component/mount.h"
#include "host/referencehost.h"
#include "library/mountwindow.h"
#include "printing/systemprinter.h"
#include "support/testhost.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

// Roots and crowns on a dark film: enough to see that each slot holds its own picture.
QImage radiograph(int seed, QSize size, bool bitewing)
{
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(25);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int teeth = bitewing ? 4 : 3;
    const qreal w = size.width() / qreal(teeth);
    for (int i = 0; i < teeth; ++i) {
        const qreal x = i * w + w * 0.12;
        QLinearGradient body(0, 0, 0, size.height());
        body.setColorAt(0, QColor(215, 215, 215));
        body.setColorAt(1, QColor(120, 120, 120));
        p.setBrush(body);
        const qreal crown = size.height() * (bitewing ? 0.32 : 0.3);
        p.drawRoundedRect(QRectF(x, size.height() * 0.08 + (seed + i) % 3 * 4, w * 0.76, crown), 18, 18);
        p.setBrush(QColor(150, 150, 150));
        p.drawRoundedRect(QRectF(x + w * 0.2, size.height() * 0.08 + crown - 6, w * 0.36,
                                 size.height() * (bitewing ? 0.25 : 0.55)),
                          14, 14);
        if (bitewing) {
            p.setBrush(body);
            p.drawRoundedRect(QRectF(x, size.height() * 0.6, w * 0.76, size.height() * 0.32), 18, 18);
        }
        p.setBrush(QColor(245, 245, 245));
        if ((seed + i) % 4 == 0)
            p.drawEllipse(QRectF(x + w * 0.25, size.height() * 0.12, w * 0.28, size.height() * 0.1));
    }
    return image;
}

void settle()
{
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_mount folder [--universal]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const bool universal = argc > 2 && QByteArray(argv[2]) == "--universal";
    QTemporaryDir dir;
    const std::shared_ptr<ReferenceHost> host = Testing::openTestHost(dir.path(), true);
    if (!host)
        return 1;
    registerHostObjects(universal ? ToothSystem::Universal : ToothSystem::Fdi);
    setHostLink(host, nullptr);
    ScriptedResponder responder;
    DialogService::setResponder(&responder);

    const qint32 book = 900;
    host->ExecuteStmt(false, QStringLiteral("Insert Into Books (Entry_Code, Description, PatientCode) "
                                            "Values (%1, 'Radiographs', 1)")
                                 .arg(book));
    Mount mount = mountTemplates().first();
    const QString library = host->GetLibraryFilesFolder();
    for (int i = 0; i < mount.slots.size(); ++i) {
        if (i == 5 || i == 15)
            continue; // not taken yet
        const bool bitewing = i >= 7 && i < 11;
        const QString file = QDir(library).filePath(QStringLiteral("fmx-%1.png").arg(i));
        radiograph(i, bitewing ? QSize(900, 640) : QSize(640, 840), bitewing).save(file);
        host->ExecuteStmt(false, QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, "
                                                "Description, EntryType, EntryDate) "
                                                "Values (%1, %2, '%3', 'Radiograph %4', 1, '2026-11-30')")
                                     .arg(9000 + i)
                                     .arg(book)
                                     .arg(file)
                                     .arg(i + 1));
        mount.slots[i].entryCode = 9000 + i;
    }
    const QString mountFile = QDir(library).filePath(QStringLiteral("fmx.mount"));
    writeMount(mountFile, mount);
    host->ExecuteStmt(false, QStringLiteral("Insert Into BookContents (Entry_Code, BookCode, FileName, Description, "
                                            "EntryType, EntryDate) Values (9100, %1, '%2', 'FMX', 3, '2026-11-30')")
                                 .arg(book)
                                 .arg(mountFile));

    auto *window = new MountWindow;
    window->resize(1400, 900);
    QEventLoop loop;
    QObject::connect(window, &MountWindow::slotsDrawn, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    window->openMount(book, 9100, mountFile);
    if (window->isLoading())
        loop.exec();
    settle();
    window->grab().save(out.filePath(universal ? QStringLiteral("mount-universal.png") : QStringLiteral("mount.png")));

    SystemPrinter::select(SystemPrinter::pdfPrinterName());
    SystemPrinter::printer().setPageSize(QPageSize(QPageSize::Letter));
    const QString pdf = dir.filePath(QStringLiteral("mount.pdf"));
    responder.pushModal([](QDialog *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("cmd_print"))->click();
        dialog->findChild<QPushButton *>(QStringLiteral("cmdPrint"))->click();
        return dialog->result();
    });
    responder.pushText(pdf);
    window->print();
    window->close();
    DialogService::setResponder(nullptr);
    if (universal)
        return 0;
    const QString shot = out.filePath(QStringLiteral("mount-print.png"));
    if (QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("100"),
                                                         QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf,
                                                         shot.chopped(4)})
        != 0) {
        std::fprintf(stderr, "cannot turn %s into a picture (is pdftoppm installed?)\n", qPrintable(pdf));
        return 1;
    }
    QImage page(shot);
    QPainter painter(&page);
    painter.setPen(QColor(0xB0, 0xB0, 0xB0));
    painter.drawRect(page.rect().adjusted(0, 0, -1, -1));
    painter.end();
    return page.save(shot) ? 0 : 1;
}
