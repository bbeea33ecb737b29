#pragma once

#include "icons/iconimage.h"

#include <QDialog>

#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace tovradocs::Internal {

class FolderBrowser;
class IconEditor;
class IconStrip;

// Browses the icon files of a folder, shows them all at once and opens the
// chosen one in the editor's current slot.
class ViewIcon : public QDialog
{
public:
    static constexpr int MaxIcons = 900;
    static constexpr int Cell = 34;

    ViewIcon(QWidget *owner, IconEditor *editor);
    ~ViewIcon() override;

    FolderBrowser &browser() { return *m_browser; }
    QAction *item(const char *menu, int index) const;
    void showAllIcons();
    void selectFile(int row);
    void openSelected(); // in the editor's current slot

private:
    friend class IconStrip;
    void fileChosen();
    void layoutStrip();

    IconEditor *m_editor;
    std::unique_ptr<FolderBrowser> m_browser;
    QLineEdit *m_fileName = nullptr;
    QLabel *m_currentDir = nullptr;
    QLabel *m_selected = nullptr;
    QLabel *m_selectedLabel = nullptr;
    IconStrip *m_all = nullptr;
    QScrollBar *m_scroll = nullptr;
    QLabel *m_count = nullptr;
    QList<QImage> m_cells;
    IconImage m_icon;
};

} // namespace tovradocs::Internal
