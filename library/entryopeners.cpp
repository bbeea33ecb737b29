#include "library/entryopeners.h"

#include "component/hostlink.h"
#include "viewers/edittovrashow.h"
#include "viewers/showman.h"
#include "viewers/vidplaywindow.h"

#include <tovradocs/dokumentz.h>

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

void openInVideoPlayer(const QString &fileName, const QString &description, QWidget *owner)
{
    (new VidPlayWindow(owner))->ViewVideo(localLibraryPath(fileName), description, owner);
}

void compareVideos(const Dokumentz &videos, qint32 bookCode)
{
    bool repeat = false;
    if (DataLink *link = dataLink()) {
        std::unique_ptr<Recordset> book;
        link->FillRecordSet(book, QStringLiteral("Select * From Books where (Entry_Code = ")
                                      + QString::number(bookCode) + QStringLiteral(")"));
        if (book && book->isOpen() && !book->isEof())
            repeat = book->value(QStringLiteral("Repeat")).toBool();
        if (book)
            book->close();
    }
    (new VidPlayWindow(parentWindow()))->CompareVideos(videos, repeat);
}

void startSlideShow(std::shared_ptr<Dokumentz> collection, QWidget *owner)
{
    (new ShowMan(owner))->ViewSlideShow(std::move(collection), 0);
}

void editSlideShow(qint32 bookCode, QWidget *owner)
{
    EditTovraShow dialog(owner);
    dialog.EditDetails(bookCode, owner);
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
