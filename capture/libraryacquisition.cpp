#include "capture/libraryacquisition.h"

#include "capture/camerapictures.h"
#include "capture/captureenvironment.h"
#include "capture/capturesettings.h"
#include "capture/scandialog.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "library/acquisitionhooks.h"
#include "library/addmultipledocs.h"
#include "library/entrydetails.h"
#include "library/tovralib.h"

#include <tovradocs/capturer.h>
#include <tovradocs/dokumentz.h>
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
                server->SetDataLink(sharedDataLink(), parentWindow());
                server->CaptureImages(bookCode, bookName);
                return;
            }
        }
    }
    // The library window's Capturer lives as long as the window.
    static QPointer<Capturer> capturer;
    if (!capturer || capturer->parent() != library) {
        capturer = new Capturer(library);
        // The pages behind the capture window show each capture as it is stored.
        if (auto *window = qobject_cast<TovraLib *>(library)) {
            const auto refresh = [window = QPointer<TovraLib>(window)] {
                if (window)
                    window->RefreshDocuments();
            };
            QObject::connect(capturer, &Capturer::ImageFileSaved, window, refresh, Qt::QueuedConnection);
            QObject::connect(capturer, &Capturer::VideoFileSaved, window, refresh, Qt::QueuedConnection);
        }
    }
    CaptureEnvironment::setTarget(capturer, bookCode, bookName);
    capturer->ShowCapture(QStringLiteral("Capture Images for ") + bookName);
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

// Writes a picture fetched from a device in the format its name asks for;
// bytes that do not decode are kept as they came.
bool writePicture(const QString &file, const QByteArray &bytes)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QImage image = QImage::fromData(bytes);
    const QByteArray format = QFileInfo(file).suffix().toLatin1();
    const bool written = image.isNull() ? out.write(bytes) == bytes.size()
                                        : image.save(&out, format.isEmpty() ? "bmp" : format.constData());
    return written && out.commit();
}

void deviceMessage(QWidget *parent, const QString &text)
{
    DialogService::message(parent, text, CaptureSettings::componentTitle(), Buttons::Ok,
                           Severity::Information);
}

std::shared_ptr<CameraDevice> openFirstCamera(QWidget *library)
{
    const QList<CameraPort> ports = CameraDevice::detect();
    if (ports.isEmpty()) {
        deviceMessage(library, QStringLiteral("No camera or imaging device found."));
        return nullptr;
    }
    auto camera = CameraDevice::open(ports.first());
    if (!camera) {
        deviceMessage(library, camera.error());
        return nullptr;
    }
    return *camera;
}

void picturesFromDevice(QWidget *library, qint32 bookCode, const QString &)
{
    DataLink *link = dataLink();
    std::shared_ptr<CameraDevice> camera = link ? openFirstCamera(library) : nullptr;
    if (!camera)
        return;
    CameraPictures chooser(camera, library);
    if (DialogService::showModal(&chooser) != QDialog::Accepted)
        return;
    const QString extension = link->GetSystemSetting(kImageExtensionSetting).toString().trimmed();
    QStringList files;
    qint32 code = 0;
    for (const CameraFile &picture : chooser.chosen()) {
        // The first picture asks the host for a key; each further one takes the next.
        code = files.isEmpty() ? link->GenerateEntrycode(false, QStringLiteral("BookContents"),
                                                         QStringLiteral("Entry_code"))
                               : code + 1;
        const QString file = link->NextFileName(1, bookCode, code, extension);
        if (writePicture(file, chooser.contents(picture)))
            files << file;
    }
    if (files.isEmpty())
        return;
    Dokumentz documents;
    documents.DefDocumentType = 1;
    documents.DefFileType = 1;
    documents.DefSourceID = bookCode;
    if (const BatchImportHook &import = batchImportHook()) {
        import(library, files, documents);
        return;
    }
    QStringList imported;
    {
        AddMultipleDocs importer(library);
        importer.AddMultipleFiles(files, documents);
        imported = importer.importedFiles();
    }
    // The pictures were written for entries that were never saved; the card
    // still holds them, so nothing is lost by taking them away again.
    for (const QString &file : std::as_const(files)) {
        if (!imported.contains(file))
            QFile::remove(file);
    }
    if (auto *window = qobject_cast<TovraLib *>(library))
        window->RefreshDocuments();
}

void cameraPicture(QWidget *library, qint32 bookCode, const QString &bookName)
{
    DataLink *link = dataLink();
    std::shared_ptr<CameraDevice> camera = link ? openFirstCamera(library) : nullptr;
    if (!camera)
        return;
    const auto taken = camera->capture();
    const auto bytes = taken ? camera->download(*taken) : Result<QByteArray>::failure(taken.error());
    if (!bytes || QImage::fromData(*bytes).isNull()) {
        DialogService::message(library, QStringLiteral("Selected device does not support this command !"));
        return;
    }
    const qint32 code = link->GenerateEntrycode(false, QStringLiteral("BookContents"),
                                                QStringLiteral("Entry_code"));
    const QString file = link->NextFileName(
        1, bookCode, code, link->GetSystemSetting(kImageExtensionSetting).toString().trimmed());
    if (!writePicture(file, *bytes)) {
        deviceMessage(library, QStringLiteral("Problem saving frame"));
        return;
    }
    addToBook(library, bookCode, bookName, file);
}

void install()
{
    AcquisitionHooks &hooks = acquisitionHooks();
    hooks.capture = capture;
    hooks.pictureFromDevice = picturesFromDevice;
    hooks.cameraPicture = cameraPicture;
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

void installLibraryAcquisition() { libraryacquisition::install(); }

} // namespace tovradocs::Internal
