#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace tovradocs {
class Dokumentz;
}

namespace tovradocs::Internal {

// Opening an entry elsewhere than in our own image viewer.

// The host's image editor object; tells the user when the host has none.
void openInImageEditor(const QString &fileName, QWidget *owner);
// The video player window.
void openInVideoPlayer(const QString &fileName, const QString &description, QWidget *owner);
// Videos side by side in one player, repeating as the book's settings say.
void compareVideos(const Dokumentz &videos, qint32 bookCode);
// The slide show of a collection; an empty one shows nothing.
void startSlideShow(std::shared_ptr<Dokumentz> collection, QWidget *owner);
// The book's presentation settings dialog.
void editSlideShow(qint32 bookCode, QWidget *owner);
// Any other document goes to the host's viewer.
void openOtherDocument(const QString &fileName, const QString &description);

// Tells the user plainly that a feature is missing from this build.
void notifyNotAvailable(const QString &feature);

// A stored library path as a local path ('\' becomes '/').
QString localLibraryPath(const QString &storedPath);

} // namespace tovradocs::Internal
