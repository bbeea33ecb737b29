#include "library/entryopeners.h"

#include "component/hostlink.h"

#include <tovradocs/hostobjects.h>

namespace tovradocs::Internal {

void notifyNotAvailable(const QString &feature)
{
    notify(feature + QStringLiteral(" is not available in this build."));
}

QString localLibraryPath(const QString &storedPath)
{
    return QString(storedPath).replace(u'\\', u'/');
}

void openInImageEditor(const QString &fileName, QWidget *owner)
{
    auto &make = hostObjectFactories().imageEditor;
    std::unique_ptr<ImageEditor> editor = make ? make() : nullptr;
    if (!editor) {
        notifyNotAvailable(QStringLiteral("An image editor"));
        return;
    }
    editor->EditImage(fileName, owner ? owner : parentWindow());
}

void openInVideoPlayer(const QString &, const QString &, QWidget *)
{
    notifyNotAvailable(QStringLiteral("The video player"));
}

void openOtherDocument(const QString &fileName, const QString &description)
{
    if (DataLink *link = dataLink()) {
        QString file = fileName;
        QString caption = description;
        link->ViewOtherDocument(file, caption);
    }
}

} // namespace tovradocs::Internal
