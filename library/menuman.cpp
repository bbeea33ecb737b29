#include "library/menuman.h"
#include "printing/previewer.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "controls/imgview.h"
#include "library/entryopeners.h"
#include "viewers/menutarget.h"

#include <tovradocs/dokumentz.h>

#include <QAction>
#include <QFileInfo>
#include <QImageWriter>
#include <QDir>
#include <QMenu>
#include <QMetaObject>

namespace tovradocs::Internal {

namespace menuman {

const QString kWindowName = QStringLiteral("MenuMan");

// Captions by index; an empty caption is a separator.
const char *const kLibCaptions[MenuMan::LibItemCount] = {
    "View", "View Full Screen", "", "Copy", "Save As", "eMail", "Print", "Print Book", "",
    "Edit Entry", "Edit Page Detail", "", "Add to book", "", "Refresh", "",
    "Set as Index Image", "", "Create Duplicate", "Open in External Editor",
};
const char *const kVideoCaptions[] = {"Save Frame As", "Pause / Resume", "Rewind"};

QString zeroSeparated(const QString &description, const QString &patterns)
{
    return description + QChar(0) + patterns;
}

// Installed when the library is loaded, so a viewer can ask for the menu
// before any library window exists.
[[maybe_unused]] const bool kMenuHookInstalled = (MenuMan::installHook(), true);

} // namespace menuman

MenuMan::MenuMan(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MenuMan"));
    hide();

    m_libMenu = new QMenu(QStringLiteral("LibMenu"), this);
    m_libMenu->setObjectName(QStringLiteral("mLibMenu"));
    for (int i = 0; i < LibItemCount; ++i) {
        auto *action = new QAction(QString::fromLatin1(menuman::kLibCaptions[i]), m_libMenu);
        action->setObjectName(QStringLiteral("mLibMenus_") + QString::number(i));
        if (action->text().isEmpty())
            action->setSeparator(true);
        else
            connect(action, &QAction::triggered, this, [this, i] { libCommand(i); });
        m_libMenu->addAction(action);
        m_libItems.append(action);
    }

    m_videoMenu = new QMenu(QStringLiteral("Video Menu"), this);
    m_videoMenu->setObjectName(QStringLiteral("mVideoMenu"));
    for (int i = 0; i < 3; ++i) {
        auto *action = new QAction(QString::fromLatin1(menuman::kVideoCaptions[i]), m_videoMenu);
        action->setObjectName(QStringLiteral("mVideoMenus_") + QString::number(i));
        connect(action, &QAction::triggered, this, [this, i] { videoCommand(i); });
        m_videoMenu->addAction(action);
        m_videoItems.append(action);
    }
}

MenuMan::~MenuMan() = default;

MenuMan *MenuMan::forWindow(QWidget *window)
{
    if (!window)
        return nullptr;
    if (auto *existing = window->findChild<MenuMan *>(QStringLiteral("MenuMan"),
                                                      Qt::FindDirectChildrenOnly))
        return existing;
    return new MenuMan(window);
}

void MenuMan::installHook()
{
    LibraryMenuHook &hook = libraryMenuHook();
    if (hook)
        return;
    hook = [](MenuTarget *target, QWidget *control, int index, bool fromViewer, qint16 entryType,
              const QString &fileName, const QString &description, const QPoint &globalPos) {
        if (!target)
            return;
        if (MenuMan *menu = forWindow(target->menuWindow()))
            menu->ShowLibMenu(target, control, index, fromViewer, entryType, fileName,
                              description, globalPos);
    };
}

QAction *MenuMan::libItem(int index) const
{
    return index >= 0 && index < m_libItems.size() ? m_libItems.at(index) : nullptr;
}

QAction *MenuMan::videoItem(int index) const
{
    return index >= 0 && index < m_videoItems.size() ? m_videoItems.at(index) : nullptr;
}

void MenuMan::ShowLibMenu(MenuTarget *window, QWidget *control, int index, bool fromViewer,
                          qint16 EntryType, const QString &FileName, const QString &Description,
                          const QPoint &globalPos)
{
    m_target = window;
    m_targetWindow = window ? window->menuWindow() : nullptr;
    m_control = control;
    m_index = index;
    m_fromViewer = fromViewer;
    m_entryType = EntryType;
    m_fileName = FileName;
    m_description = Description;

    // popup, not exec: the command runs from the event loop the window already has.
    if (EntryType == 2 && fromViewer) {
        m_videoMenu->popup(globalPos);
        return;
    }
    setVisibility();
    m_libMenu->popup(globalPos);
}

void MenuMan::setVisibility()
{
    const bool picture = m_entryType == 1;
    const bool library = !m_fromViewer;
    for (int i = 0; i < LibItemCount; ++i) {
        bool shown = true;
        switch (i) {
        case 3: case 4: case 6: case 13: case 14:
            shown = picture;
            break;
        case 8: case 15: case 16:
            shown = picture && library;
            break;
        case 9: case 10:
            shown = library;
            break;
        default:
            break;
        }
        m_libItems.at(i)->setVisible(shown);
    }
}

void MenuMan::libCommand(int index)
{
    if (!m_targetWindow)
        return; // the window went away while the menu was open
    MenuTarget *target = m_target;
    QWidget *owner = m_targetWindow;
    auto *picture = qobject_cast<ImgView *>(m_control.data());

    trapErrors(menuman::kWindowName, [&] {
        switch (index) {
        case ViewItem:
            target->ViewEntry(m_fileName, m_description, m_entryType, false);
            break;
        case ViewFullScreenItem:
            if (m_fromViewer)
                target->ViewFullScreen();
            else
                target->ViewEntry(m_fileName, m_description, m_entryType, true);
            break;
        case CopyItem:
            if (picture && !picture->copyToClipboard())
                notify(QStringLiteral("The picture could not be copied to the clipboard."));
            break;
        case SaveAsItem: {
            if (!picture)
                break;
            // Only the types a picture can be written as; a name without an
            // extension keeps the picture's own type where it can be written.
            QStringList writable;
            const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
            for (const char *ext : {"bmp", "dib", "jif", "jpg", "png", "rle", "tif"}) {
                if (formats.contains(QByteArray(ext)))
                    writable << QStringLiteral("*.") + QLatin1String(ext);
            }
            QString path = commonFileDialog(
                owner, 2, QStringLiteral("Save As"), localLibraryPath(picture->fileName()),
                menuman::zeroSeparated(QStringLiteral("Image Files"), writable.join(u';')),
                QString(), QString());
            if (path.isEmpty())
                break;
            if (QFileInfo(path).suffix().isEmpty()) {
                const QString own = QFileInfo(picture->fileName()).suffix().toLower();
                path += u'.' + (writable.contains(QStringLiteral("*.") + own) ? own : QStringLiteral("png"));
            }
            const Outcome saved = picture->saveToFile(path);
            if (!saved)
                DialogService::message(owner, saved.error());
            break;
        }
        case EmailItem: {
            DataLink *link = dataLink();
            if (!link)
                break;
            Dokumentz documents;
            documents.DefDocumentType = 1;
            documents.DefFileType = 1;
            auto document = documents.Add(0, m_fileName, QString(), 1, 1, 0, 0);
            document->Description = m_description;
            link->EmailDocuments(documents);
            break;
        }
        case PrintItem:
        case PrintBookItem:
            if (m_fromViewer && m_entryType == 1) {
                // A viewer shows one picture; both items print it.
                PageTable table;
                table.pages.append({QString(), m_fileName, m_description, QStringLiteral("1"),
                                    QStringLiteral("1"), QString()});
                Previewer(owner).ShowPrintPreview(table, 0, 1);
            } else {
                target->PrintImages(m_index, index == PrintItem);
            }
            break;
        case EditEntryItem:
            if (m_entryType == 1)
                openInImageEditor(m_fileName, owner);
            else if (m_entryType == 2)
                openInVideoPlayer(m_fileName, m_description, owner);
            else
                openOtherDocument(m_fileName, m_description);
            break;
        case EditPageDetailItem:
            target->EditPageDetails(m_index);
            break;
        case AddToBookItem:
            if (DataLink *link = dataLink()) {
                QString file = m_fileName;
                qint16 type = m_entryType;
                link->AddFileToLib(file, type);
                target->RefreshDocuments();
            }
            break;
        case RefreshItem:
            if (m_fromViewer) {
                target->ViewSingleImage(m_fileName, m_description);
            } else if (picture) {
                picture->setFileName(QString());
                picture->setFileName(localLibraryPath(m_fileName));
            }
            break;
        case SetIndexImageItem:
            target->SetIndexImage(m_index);
            break;
        case CreateDuplicateItem:
            target->DuplicateEntry(m_index);
            break;
        case ExternalEditorItem:
            target->OpenInExternalEditor(m_index);
            break;
        default:
            break;
        }
    });
}

void MenuMan::videoCommand(int index)
{
    QWidget *video = m_control.data();
    if (!video || !m_targetWindow)
        return;
    QWidget *owner = m_targetWindow;
    trapErrors(menuman::kWindowName, [&] {
        switch (index) {
        case SaveFrameItem:
            saveVideoFrame(video, owner);
            break;
        case PauseResumeItem:
            QMetaObject::invokeMethod(video, "togglePause");
            break;
        case RewindItem:
            QMetaObject::invokeMethod(video, "rewind");
            break;
        default:
            break;
        }
    });
}

void MenuMan::saveVideoFrame(QWidget *video, QWidget *owner)
{
    const QString path = commonFileDialog(
        owner, 2, QStringLiteral("Save As"), QString(),
        menuman::zeroSeparated(QStringLiteral("Image Files"), QStringLiteral("*.bmp")), QString(),
        QString());
    if (path.isEmpty())
        return;
    bool saved = false;
    if (QMetaObject::invokeMethod(video, "saveFrame", Q_RETURN_ARG(bool, saved),
                                  Q_ARG(QString, path))) {
        if (!saved)
            DialogService::message(owner, QStringLiteral("The frame could not be saved to %1.")
                                              .arg(QDir::toNativeSeparators(path)));
        return;
    }
    DialogService::message(owner, QStringLiteral("The frame could not be saved to %1.")
                                      .arg(QDir::toNativeSeparators(path)));
}

} // namespace tovradocs::Internal
