#pragma once

#include <QColor>
#include <QDialog>
#include <QImage>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMimeData;
class QRadioButton;
class QScrollBar;
class QSlider;
class QStatusBar;
class QTableWidget;
class QTableWidgetItem;
class QToolBar;

namespace tovradocs::Internal {

class ColorPal;
class ObjDraw;

// The editor of one illustration: the drawing control with menus, four
// toolbars, colour, line and fill panels, fonts, rotation, the insertables
// list and a status bar. Opened by MediaManager::EditIllustration; the saved
// drawing is the file the host named.
class Illustrator : public QDialog
{
    Q_OBJECT

public:
    static const QString kWindowName;

    explicit Illustrator(QWidget *parent = nullptr);
    ~Illustrator() override;

    // Takes the illustration, fills the insertables list, loads the file (or
    // starts a new drawing) and shows the window modally. Returns 0.
    int EditIllustration(const QString &IllustrationName, const QString &Illustrationfile,
                         qint32 DocumentId, qint32 ParentTblID, qint32 ParentRecID, bool bIsolated);

    ObjDraw *drawing() const { return m_draw; }
    bool isModified() const { return m_modified; }
    QString illustrationFile() const { return m_file; }
    // Panel 1 mouse position, 2 object information and hints, 3 CAPS, 4 NUM, 5 time.
    QString statusText(int panel) const;

    // The three colours being edited: border, fill, back.
    QColor editColor(int index) const { return m_colors[index]; }

protected:
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Building the window (illustrator.cpp).
    void buildMenus();
    void buildToolbars();
    void buildPanels();
    void buildTemplatesMenu();
    QAction *menuItem(QMenu *menu, const QString &name, int index, const QString &caption);

    // File commands and closing (illustrator_file.cpp).
    void fileNew();
    void fileOpen();
    bool fileSave();
    void fileExport();
    void filePrint();
    void loadTemplate(qint32 code);
    // False when the user cancelled or the save failed; the window then stays.
    bool askToSave();
    bool saveTo(const QString &path);
    void showLoadFailure(const QString &message);
    void showCanvasSize();
    // The drawing's background in the back-colour swatch.
    void showBackColor();
    void clearContext();

    // Edit, zoom, tools, status (illustrator_commands.cpp).
    void prepareEditMenu();
    void setZoom(qreal factor);
    void showZoom(qreal factor);
    void chooseTool(int tool);
    void insertPictureFile();
    // Inserts picture, decoded from a picture of size original, fitted to the
    // canvas; false, after saying why, when the drawing cannot hold it.
    bool insertFitted(const QImage &picture, QSize original, const QPoint *at);
    // The size to decode a picture of this size at for insertion.
    QSize insertionSize(QSize original) const;
    void showObjectInfo();
    void fillPanels();
    void applyColor();
    void setEditColor(const QColor &color);
    void chooseColorTarget(int index);
    void loadPalette();
    void fontChosen();
    void setStatus(int panel, const QString &text);
    void updateKeyPanels();

    // Insertables (illustrator_insertables.cpp).
    void fillInsertableKinds();
    void showInsertables(int index);
    void addCell(const QImage &picture, const QString &description, qint32 code);
    void cellPressed(int row, int column);
    void startCellDrag(QTableWidgetItem *item);
    void dropped(const QMimeData *data, const QPointF &at);

    ObjDraw *m_draw = nullptr;
    QMenuBar *m_menuBar = nullptr;
    ColorPal *m_pal = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_editMenu = nullptr;
    QMenu *m_zoomMenu = nullptr;
    QMenu *m_templatesMenu = nullptr;
    QList<QAction *> m_zoomItems;
    QList<QAction *> m_templateItems;
    QToolBar *m_toolbars[4] = {};
    QActionGroup *m_tools = nullptr;
    QComboBox *m_fontName = nullptr;
    QComboBox *m_fontSize = nullptr;
    QComboBox *m_fill = nullptr;
    QRadioButton *m_colorTargets[3] = {};
    QScrollBar *m_colorBars[3] = {};
    QLineEdit *m_colorTexts[3] = {};
    QLabel *m_colorSwatch = nullptr;
    QScrollBar *m_border = nullptr;
    QLineEdit *m_borderText = nullptr;
    QScrollBar *m_points = nullptr;
    QLineEdit *m_pointsText = nullptr;
    QScrollBar *m_round = nullptr;
    QLineEdit *m_roundText = nullptr;
    QSlider *m_rotation = nullptr;
    QLabel *m_rotationLabel = nullptr;
    QComboBox *m_insertables = nullptr;
    QTableWidget *m_grid = nullptr;
    QWidget *m_dataImager = nullptr;
    QStatusBar *m_status = nullptr;
    QLabel *m_panels[5] = {};

    // Illustration context.
    QString m_file;
    QString m_name;
    qint32 m_documentId = 0;
    qint32 m_parentTable = 0;
    qint32 m_parentRecord = 0;
    bool m_isolated = false;
    bool m_modified = false;

    QColor m_colors[3];
    int m_colorTarget = 0;
    bool m_filling = false; // panels are being filled from the selection
    int m_gridKind = 0;
    QPoint m_pressPos;
    QTableWidgetItem *m_pressedCell = nullptr;
};

} // namespace tovradocs::Internal
