#pragma once

#include <QString>

#include <functional>

class QPoint;
class QWidget;

namespace tovradocs::Internal {

// A window that opens the library's popup menu over one of its pictures and
// answers the menu's commands. The library window and the image viewer are
// such windows. Operations a window does not offer do nothing there.
class MenuTarget
{
public:
    virtual ~MenuTarget() = default;
    virtual QWidget *menuWindow() = 0;
    // index: the picture's slot or pane index.
    virtual void ViewEntry(const QString &fileName, const QString &description, qint16 entryType,
                           bool fullScreen) { Q_UNUSED(fileName) Q_UNUSED(description) Q_UNUSED(entryType) Q_UNUSED(fullScreen) }
    virtual void ViewFullScreen() {}
    virtual void ViewSingleImage(const QString &fileName, const QString &caption) { Q_UNUSED(fileName) Q_UNUSED(caption) }
    virtual void PrintImages(int index, bool singlePage) { Q_UNUSED(index) Q_UNUSED(singlePage) }
    virtual void EditPageDetails(int index) { Q_UNUSED(index) }
    virtual void SetIndexImage(int index) { Q_UNUSED(index) }
    virtual void DuplicateEntry(int index) { Q_UNUSED(index) }
    virtual void OpenInExternalEditor(int index) { Q_UNUSED(index) }
    // The host may have added pages ("Add to book"); reread the book.
    virtual void RefreshDocuments() {}
};

// The library's popup menu lives above the viewers; the library installs this
// hook when it loads so a viewer can open the menu without depending on it.
// Arguments: target, the picture control, its index, from-viewer flag, entry
// type, file, description, global position.
using LibraryMenuHook = std::function<void(MenuTarget *, QWidget *, int, bool, qint16,
                                           const QString &, const QString &, const QPoint &)>;
LibraryMenuHook &libraryMenuHook();

} // namespace tovradocs::Internal
