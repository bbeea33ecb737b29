#include "capture/cameradevice.h"

#include "capture/capturelogging.h"

#include <gphoto2/gphoto2.h>

namespace tovradocs::Internal {

namespace cameradevice {

QList<CameraPort> &extraPorts()
{
    static QList<CameraPort> ports;
    return ports;
}

QString errorText(int code) { return QString::fromLocal8Bit(gp_result_as_string(code)); }

} // namespace cameradevice

struct CameraDevice::Handles
{
    GPContext *context = nullptr;
    Camera *camera = nullptr;
    ~Handles()
    {
        if (camera) {
            gp_camera_exit(camera, context);
            gp_camera_unref(camera);
        }
        if (context)
            gp_context_unref(context);
    }
};

CameraDevice::~CameraDevice() = default;

void CameraDevice::setExtraPorts(QList<CameraPort> ports) { cameradevice::extraPorts() = std::move(ports); }

QList<CameraPort> CameraDevice::detect()
{
    QList<CameraPort> found = cameradevice::extraPorts();
    GPContext *context = gp_context_new();
    CameraList *list = nullptr;
    if (gp_list_new(&list) == GP_OK) {
        if (gp_camera_autodetect(list, context) >= GP_OK) {
            for (int i = 0; i < gp_list_count(list); ++i) {
                const char *model = nullptr;
                const char *port = nullptr;
                gp_list_get_name(list, i, &model);
                gp_list_get_value(list, i, &port);
                found.append({QString::fromLocal8Bit(model), QString::fromLocal8Bit(port)});
            }
        }
        gp_list_free(list);
    }
    gp_context_unref(context);
    return found;
}

Result<std::shared_ptr<CameraDevice>> CameraDevice::open(const CameraPort &port)
{
    using R = Result<std::shared_ptr<CameraDevice>>;
    std::shared_ptr<CameraDevice> device(new CameraDevice);
    device->d = std::make_unique<Handles>();
    Handles &h = *device->d;
    h.context = gp_context_new();
    int rc = gp_camera_new(&h.camera);
    if (rc < GP_OK)
        return R::failure(cameradevice::errorText(rc));

    CameraAbilitiesList *abilities = nullptr;
    gp_abilities_list_new(&abilities);
    gp_abilities_list_load(abilities, h.context);
    const int model = gp_abilities_list_lookup_model(abilities, port.model.toLocal8Bit().constData());
    if (model >= 0) {
        CameraAbilities a;
        gp_abilities_list_get_abilities(abilities, model, &a);
        gp_camera_set_abilities(h.camera, a);
    }
    gp_abilities_list_free(abilities);
    if (model < 0)
        return R::failure(QStringLiteral("Unknown camera model: ") + port.model);

    GPPortInfoList *ports = nullptr;
    gp_port_info_list_new(&ports);
    gp_port_info_list_load(ports);
    const int index = gp_port_info_list_lookup_path(ports, port.port.toLocal8Bit().constData());
    if (index >= 0) {
        GPPortInfo info;
        gp_port_info_list_get_info(ports, index, &info);
        gp_camera_set_port_info(h.camera, info);
    }
    gp_port_info_list_free(ports);
    if (index < 0)
        return R::failure(QStringLiteral("Unknown camera port: ") + port.port);

    rc = gp_camera_init(h.camera, h.context);
    if (rc < GP_OK)
        return R::failure(cameradevice::errorText(rc));
    return device;
}

void CameraDevice::walk(const QString &folder, QList<CameraFile> &found, int depth)
{
    // Cards are shallow; the limit guards against a looping file system.
    if (depth > 8)
        return;
    const QByteArray path = folder.toLocal8Bit();
    CameraList *list = nullptr;
    gp_list_new(&list);
    if (gp_camera_folder_list_files(d->camera, path.constData(), list, d->context) >= GP_OK) {
        for (int i = 0; i < gp_list_count(list); ++i) {
            const char *name = nullptr;
            gp_list_get_name(list, i, &name);
            CameraFileInfo info;
            QString mime;
            if (gp_camera_file_get_info(d->camera, path.constData(), name, &info, d->context) >= GP_OK
                && (info.file.fields & GP_FILE_INFO_TYPE))
                mime = QString::fromLatin1(info.file.type);
            if (mime.startsWith(QLatin1String("image/")))
                found.append({folder, QString::fromLocal8Bit(name), mime});
        }
    } else {
        qCWarning(lcCapture) << "camera folder" << folder << "cannot be read";
    }
    gp_list_reset(list);
    if (gp_camera_folder_list_folders(d->camera, path.constData(), list, d->context) >= GP_OK) {
        QStringList subfolders;
        for (int i = 0; i < gp_list_count(list); ++i) {
            const char *name = nullptr;
            gp_list_get_name(list, i, &name);
            subfolders << QString::fromLocal8Bit(name);
        }
        for (const QString &sub : std::as_const(subfolders))
            walk(QString(folder.endsWith(u'/') ? folder : folder + u'/') + sub, found, depth + 1);
    }
    gp_list_free(list);
}

QList<CameraFile> CameraDevice::pictures()
{
    QList<CameraFile> found;
    walk(QStringLiteral("/"), found, 0);
    return found;
}

Result<QByteArray> CameraDevice::download(const CameraFile &file)
{
    ::CameraFile *data = nullptr;
    gp_file_new(&data);
    const int rc = gp_camera_file_get(d->camera, file.folder.toLocal8Bit().constData(),
                                      file.name.toLocal8Bit().constData(), GP_FILE_TYPE_NORMAL, data,
                                      d->context);
    QByteArray bytes;
    if (rc >= GP_OK) {
        const char *raw = nullptr;
        unsigned long size = 0;
        gp_file_get_data_and_size(data, &raw, &size);
        bytes = QByteArray(raw, qsizetype(size));
    }
    gp_file_unref(data);
    if (rc < GP_OK)
        return Result<QByteArray>::failure(cameradevice::errorText(rc));
    return bytes;
}

namespace cameradevice {

CameraDevice::ShutterStandIn &shutterStandIn()
{
    static CameraDevice::ShutterStandIn standIn;
    return standIn;
}

} // namespace cameradevice

void CameraDevice::setShutterStandIn(ShutterStandIn standIn)
{
    cameradevice::shutterStandIn() = std::move(standIn);
}

Result<CameraFile> CameraDevice::capture()
{
    if (const ShutterStandIn &standIn = cameradevice::shutterStandIn())
        return standIn();
    CameraFilePath path;
    const int rc = gp_camera_capture(d->camera, GP_CAPTURE_IMAGE, &path, d->context);
    if (rc < GP_OK)
        return Result<CameraFile>::failure(cameradevice::errorText(rc));
    return CameraFile {QString::fromLocal8Bit(path.folder), QString::fromLocal8Bit(path.name),
                       QStringLiteral("image/jpeg")};
}

} // namespace tovradocs::Internal
