#pragma once

#include "capture/cameradevice.h"

#include <QDialog>

#include <functional>
#include <memory>

class QListWidget;

namespace tovradocs {
class Dokumentz;
}

namespace tovradocs::Internal {

// "Pictures on the Camera": the card's pictures with thumbnails; the user
// ticks those to fetch. Files that cannot be read are listed without one.
class CameraPictures : public QDialog
{
    Q_OBJECT
public:
    CameraPictures(std::shared_ptr<CameraDevice> camera, QWidget *parent);

    // The ticked pictures, in the order of the list.
    QList<CameraFile> chosen() const;
    // Their contents, fetched when the list was filled.
    QByteArray contents(const CameraFile &file) const;

private:
    std::shared_ptr<CameraDevice> m_camera;
    QListWidget *m_list;
    QList<CameraFile> m_files;
    QList<QByteArray> m_data;
};

// Hands acquired files to the batch import window; filled by whoever links
// the import (files, and the documents collection describing them).
using BatchImportHook = std::function<void(QWidget *, const QStringList &, Dokumentz &)>;
BatchImportHook &batchImportHook();

} // namespace tovradocs::Internal
