#pragma once

#include "component/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace tovradocs::Internal {

// One picture file on a camera's card.
struct CameraFile
{
    QString folder;
    QString name;
    QString mimeType;
};

struct CameraPort
{
    QString model; // libgphoto2's model name, e.g. "Directory Browse"
    QString port;  // e.g. "usb:001,004" or "disk:/media/card"
};

// A digital camera through libgphoto2: lists and downloads the card's
// pictures and takes a picture where the camera can. Calls block; callers
// keep them short (listing, one file at a time).
class CameraDevice
{
public:
    ~CameraDevice();

    // Cameras connected now, plus those added for tests or card readers.
    static QList<CameraPort> detect();
    static void setExtraPorts(QList<CameraPort> ports);

    static Result<std::shared_ptr<CameraDevice>> open(const CameraPort &port);

    // Picture files in every folder of the card; other files are left out,
    // and a folder that cannot be read is skipped.
    QList<CameraFile> pictures();
    Result<QByteArray> download(const CameraFile &file);
    // Takes a picture and returns its file on the card.
    Result<CameraFile> capture();

    // A camera that takes pictures on command cannot exist on a build
    // machine: for tests, standIn presses the shutter instead (it leaves a
    // picture on the card and names it); the picture is then downloaded
    // from the card as from any camera. Empty restores the real shutter.
    using ShutterStandIn = std::function<Result<CameraFile>()>;
    static void setShutterStandIn(ShutterStandIn standIn);

private:
    CameraDevice() = default;
    void walk(const QString &folder, QList<CameraFile> &found, int depth);

    struct Handles;
    std::unique_ptr<Handles> d;
};

} // namespace tovradocs::Internal
