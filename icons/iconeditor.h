#pragma once

#include "icons/iconkit.h"
#include "icons/icontools.h"

#include <QDialog>
#include <QPointer>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QRadioButton;
class QScrollBar;

namespace tovradocs::Internal {

class ColorPalette;
class EditArea;
class PaletteBox;
class ToolStrip;
class SlotBox;

// Edits up to six 32 x 32 icons; "Do&ne" hands the current slot's icon to
// the host's picture. Lives on the window thread; the kit it edits is its own.
class IconEditor : public QDialog
{
    Q_OBJECT

public:
    enum FileItem { FileNew = 0, FileOpen = 1, FileSave = 2, FileSaveAs = 3 };
    enum EditItem {
        EditUndo = 0, EditCut = 2, EditCopy = 3, EditPaste = 4, EditPasteOpaque = 5, EditDelete = 6,
        EditSelectAll = 7, EditFlipH = 9, EditFlipV = 10, EditRotateRight = 12, EditRotateLeft = 13,
        EditInvert = 15
    };
    enum ViewItem {
        ViewStatus = 0, ViewTools = 1, ViewColors = 2, ViewZoomBar = 3, ViewShowAll = 4, ViewGrid = 6,
        ViewLineGrid = 7, ViewDottedGrid = 8, ViewZoomIn = 10, ViewZoomOut = 11, ViewFocus = 13,
        ViewBorder = 14, ViewPopup = 15
    };
    enum ColorItem {
        ColorDialog = 0, ColorDefault = 1, ColorSolid = 2, ColorIni = 3, ColorSave = 5,
        ColorLeftRight = 7, ColorScreenInverse = 8
    };

    IconEditor(QWidget *owner, QLabel *drwBoard);
    ~IconEditor() override;

    IconKit &kit() { return m_kit; }
    QAction *item(const char *menu, int index) const;
    int zoom() const { return m_zoom; }
    bool screenMode() const;
    bool hasSelection() const { return m_hasSelection; }
    bool floating() const { return m_floating; }
    QRect selection() const { return m_selection; }
    // What the editing area shows, in icon pixels (floating piece included).
    QImage shownIcon() const;

    // The same as the matching menu and mouse actions; tests drive these too.
    void pickTool(int tool);
    void chooseSlot(int slot);
    void openIconFile(const QString &path);
    void pressPalette(int entry, bool rightButton);
    bool confirmDiscard();
    void redrawPalettes();

private:
    friend class EditArea;
    friend class ToolStrip;
    friend class PaletteBox;
    friend class SlotBox;

    void buildMenus();
    void buildLayout();
    void loadSettings();
    void saveSettings();
    void applyView();
    void setCaption();
    void setSlotCaption(int slot);
    void activateSlot();
    void rebuild();
    void refreshEditMenu();
    void refreshSwatches();
    void setZoomValue(int value);

    // Edit menu
    void undo();
    void copySelection();
    void paste(bool transparent);
    void deleteSelection();
    void selectAll();
    void transformSelection(int item);
    void dropFloating();
    void removeSelection();

    void fileCommand(int item);
    void saveSlot(bool ask);
    void viewCommand(int item);
    void colorCommand(int item);
    void setBrush(int index);
    void setScreenMode(bool screen);
    void finish(bool deliver);

    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    IconKit m_kit;
    QPointer<QLabel> m_drwBoard;
    QPointer<ColorPalette> m_colorDialog;
    int m_zoom = 10;
    bool m_hasSelection = false;
    bool m_floating = false;
    QRect m_selection;       // icon pixels
    Planes m_piece;          // the floating pixels
    bool m_settingsSaved = false;

    QMenuBar *m_menuBar = nullptr;
    QMenu *m_toolsMenu = nullptr;
    EditArea *m_edit = nullptr;
    ToolStrip *m_tools = nullptr;
    PaletteBox *m_palette = nullptr;
    QWidget *m_status = nullptr;
    QLabel *m_x = nullptr;
    QLabel *m_y = nullptr;
    QLabel *m_swatch[2] = {};
    SlotBox *m_slots[IconKit::SlotCount] = {};
    SlotBox *m_undo = nullptr;
    QScrollBar *m_zoomBar = nullptr;
    QRadioButton *m_mode[2] = {};
};

} // namespace tovradocs::Internal
