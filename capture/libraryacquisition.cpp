#include "capture/captureenvironment.h"
#include "capture/scandialog.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "library/acquisitionhooks.h"
#include "library/entrydetails.h"
#include "library/tovralib.h"

#include <tovradocs/capturer.h>
#include <tovradocs/hostobjects.h>

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QWidget>

// Answers the library window's capture commands.

namespace tovradocs::Internal {

namespace libraryacquisition {

constexpr qint16 kUseCaptureServerSetting = 104;

void capture(QWidget *library, qint32 bookCode, const QString &bookName)
{
    DataLink *link = dataLink();
    if (!link)
        return;
    // The practice may run its own capture server instead of ours.
    if (link->GetSystemSetting(kUseCaptureServerSetting).toBool()) {
        if (const auto &factory = hostObjectFactories().captureServer) {
            if (std::unique_ptr<CaptureServer> server = factory()) {
                server->SetDataLink(sharedDataLink(), library);
                server->CaptureImages(bookCode, bookName);
                return;
            }
        }
    }
    // The library window's Capturer lives as long as the window.
    static QPointer<Capturer> capturer;
    if (!capturer || capturer->parent() != library)
        capturer = new Capturer(library);
    CaptureEnvironment::setTarget(bookCode, bookName);
    capturer->ShowCapture(bookName);
}

constexpr qint16 kImageExtensionSetting = 61;

// Adds a new picture file to the book through the entry details window and
// shows it in the library window.
void addToBook(QWidget *library, qint32 bookCode, const QString &bookName, const QString &file)
{
    EntryDetails details(library);
    QString description;
    details.AddLibraryEntry(1, bookName, bookCode, file, description, library);
    if (auto *window = qobject_cast<TovraLib *>(library))
        window->tbrLibCommand(QStringLiteral("Refresh"));
}

void scan(QWidget *library, qint32 bookCode, const QString &bookName)
{
    DataLink *link = dataLink();
    if (!link)
        return;
    const QString file = link->NextFileName(
        1, bookCode, 0, link->GetSystemSetting(kImageExtensionSetting).toString().trimmed());
    if (QFileInfo::exists(file))
        QFile::remove(file);
    ScanDialog dialog(library);
    bool scanned = DialogService::showModal(&dialog) == QDialog::Accepted && !dialog.image().isNull();
    if (scanned) {
        // Written whole or not at all: a failed save leaves no half file.
        QSaveFile out(file);
        const QByteArray format = QFileInfo(file).suffix().toLatin1();
        scanned = out.open(QIODevice::WriteOnly)
                  && dialog.image().save(&out, format.isEmpty() ? "bmp" : format.constData())
                  && out.commit();
    }
    if (!scanned) {
        if (QFileInfo::exists(file))
            QFile::remove(file);
        DialogService::message(library,
                               QStringLiteral("Scan unsuccessful\nPlease check that your Scanner is "
                                              "switched On, and that you have Selected the right Scanner."),
                               QStringLiteral("TWAIN Acquire Failed."), Buttons::Ok, Severity::Warning);
        return;
    }
    addToBook(library, bookCode, bookName, file);
}

void install()
{
    AcquisitionHooks &hooks = acquisitionHooks();
    hooks.capture = capture;
    hooks.scan = [](QWidget *library, qint32 bookCode, const QString &bookName) {
        // Errors go to the host as plain notices.
        try {
            scan(library, bookCode, bookName);
        } catch (const std::exception &e) {
            if (const auto *host = dynamic_cast<const HostError *>(&e))
                notify(host->description());
            else
                notify(QString::fromLocal8Bit(e.what()));
        }
    };
}

// Filled when the library is loaded, before any window can ask.
Q_CONSTRUCTOR_FUNCTION(install)

} // namespace libraryacquisition

} // namespace tovradocs::Internal
