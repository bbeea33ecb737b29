#pragma once

#include <tovradocs/datalink.h>

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace tovradocs {

// Objects the component creates by name but the host provides. The host fills
// these factories once at start; an empty factory means the host has none,
// and the command that needs it tells the user so.

// The separate capture server used when setting 104 is on.
class CaptureServer
{
public:
    virtual ~CaptureServer() = default;
    virtual void SetDataLink(std::shared_ptr<DataLink> link, QWidget *parentWnd) = 0;
    virtual void CaptureImages(qint32 bookCode, const QString &bookName) = 0;
};

// The image editor behind MediaManager::ViewImageEditor. Nothing is read back.
class ImageEditor
{
public:
    virtual ~ImageEditor() = default;
    virtual void EditImage(const QString &fileName, QWidget *parentWnd) = 0;
};

// Tooth notation used by the patient report: the printable name of a tooth.
class ToothNotation
{
public:
    virtual ~ToothNotation() = default;
    virtual QString ToothName(qint32 toothNumber) = 0;
};

struct HostObjectFactories
{
    std::function<std::unique_ptr<CaptureServer>()> captureServer;
    std::function<std::unique_ptr<ImageEditor>()> imageEditor;
    std::function<std::unique_ptr<ToothNotation>()> toothNotation;
};

// The process-wide registry. Fill it before the first MediaManager call.
HostObjectFactories &hostObjectFactories();

} // namespace tovradocs
