#pragma once

#include "component/windowutils.h"
#include "library/pagetable.h"
#include "library/librarydata.h"
#include "library/librarysql.h"
#include "viewers/menutarget.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QPoint;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabBar;
class QToolBar;

namespace tovradocs {
class Dokumentz;
}

class QUrl;

namespace tovradocs::Internal {

class ImgView;
class LibraryData;
class MenuMan;
class ViewImg;

// "Document Manager": the books of the library and the pages of the chosen
// book as a grid of thumbnails with selection boxes. The page table's row 5
// is the selection; the check boxes are only redrawn from it.
class TovraLib : public QMainWindow, public MenuTarget, public HelpIdentified
{
    Q_OBJECT

public:
    explicit TovraLib(QWidget *owner = nullptr);
    ~TovraLib() override;

    // True while a library window exists.
    static bool isOpen();
    // Setting 132 as read by the last library window that opened.
    static int imageViewingMode();

    // Opens the patient's book when asked, then shows the window modeless.
    void DisplayData(bool bPatientsOnly, qint32 PatientID, const QString &PatientName);
    void RefreshDocuments() override;

    QWidget *menuWindow() override { return this; }
    void ViewEntry(const QString &FileName, const QString &Description, qint16 EntryType,
                   bool bFullScreen) override;
    // index: a thumbnail slot, or -1 for the selected (else all) pictures.
    void PrintImages(int index, bool singlePage) override;
    void SetIndexImage(int index) override;
    void EditPageDetails(int index) override;
    void DuplicateEntry(int index) override;
    void OpenInExternalEditor(int index) override;
    qint32 GetWindowID() const override { return 130; }

    // The toolbar commands by key; the left bar's keys go to the first.
    void tbrLibCommand(const QString &key);
    void tbrExportCommand(const QString &key);

    const PageTable &pageTable() const { return m_pages; }
    int slotCount() const { return int(m_slots.size()); }
    int columnCount() const { return m_columns; }
    int rowCount() const { return m_rows; }
    qint32 currentBookCode() const;
    QString currentBookName() const;
    // Files taken from the last drop or paste from the file manager.
    QStringList gatheredFiles() const { return m_gatheredFiles; }

    // Tests only: replaces the default printer check (nullptr restores it).
    static void setPrinterCheck(std::function<bool()> check);

    // The toolbar actions by key (also the action's objectName).
    QAction *command(const QString &key) const;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Slot
    {
        ImgView *picture = nullptr;
        QCheckBox *check = nullptr;
    };

    void buildControls();
    void buildToolbars();
    QToolBar *makeToolbar(const QString &name, Qt::ToolBarArea area);
    QAction *addCommand(QToolBar *bar, const QString &key, const QString &caption,
                        const QString &toolTip, bool exportBar);
    void buildMenu();

    // Runs fn with the library over the host link; host failures are reported.
    template<typename F>
    bool withLibrary(F &&fn);
    BookView chosenView() const;
    int chosenTab() const;
    bool hasBook() const;

    void fillBookList(bool selectFirst);
    void booksClicked();
    void viewOrTabClicked();
    void openPatientBook(qint32 patientCode, const QString &patientName, bool notice);
    void addBook();
    void addPatient();
    void deleteBook();
    void deleteSelectedPages();
    void keepForUndo(DeletedRows rows, qint32 bookCode);
    void forgetUndo();
    void undoDelete();
    void putAwayDeletedFiles();

    void clearGrid();
    void loadPages();
    void setScrollRange();
    void drawGrid();
    void layoutGrid();
    void placeScrollBar();
    void checkClicked(int slot, bool checked);
    void pictureClicked(int slot, Qt::MouseButton button);
    void viewSlot(int slot);
    std::optional<PageTable::Page> rowOfSlot(int slot) const;
    void findIndexRow(qint32 markedInGrid);
    void showIndexState();
    void showPageMenu(int slot, const QPoint &globalPos);
    bool gridKey(QKeyEvent *event);
    int pageOfSlot(int slot) const;
    void setAllSelected(bool selected);

    void editPage(int page);
    QList<int> selectedPages() const;
    qint32 newEntryCode();
    qint32 addEntry(qint16 entryType, const QString &fileName);
    void pasteImage();
    void editSelected();
    void copyFirstChecked();
    void viewSelectedEntries();
    void compareSelected();
    void slideShow();
    void copyToFileManager();
    void emailSelected();
    void gatherFromClipboard();
    void gatherFiles(const QList<QUrl> &urls);
    void importGathered();
    std::unique_ptr<Dokumentz> collectDocuments(bool allPages) const;
    MenuMan *menuMan();

    PageTable m_pages;
    QList<Slot> m_slots;
    int m_rows = 0;
    int m_columns = 0;
    bool m_includeIndexImage = false;
    bool m_firstShow = true;
    int m_thumbWidth = 120;  // pixels, setting 57
    int m_thumbHeight = 90;  // pixels, setting 58
    int m_viewingMode = 0;   // setting 132
    QStringList m_gatheredFiles;

    QComboBox *m_books = nullptr;
    QTabBar *m_tabs = nullptr;
    QGroupBox *m_viewFrame = nullptr;
    QList<QRadioButton *> m_views;
    QButtonGroup *m_viewGroup = nullptr;
    QPushButton *m_addBook = nullptr;
    QPushButton *m_addPatient = nullptr;
    QPushButton *m_deleteBook = nullptr;
    QPushButton *m_refresh = nullptr;
    QPushButton *m_deleteSelected = nullptr;
    QWidget *m_pageArea = nullptr;
    QScrollBar *m_scroll = nullptr;
    ImgView *m_indexImage = nullptr;
    QPointer<QWidget> m_singleView; // the single-image view, reused
    QList<QAction *> m_commands;
    QAction *m_undo = nullptr;
    DeletedRows m_undoRows;
    qint32 m_undoBook = 0;
    // The index picture box's entry when the grid leaves it out.
    static constexpr int kIndexSlot = -2;
    std::optional<PageTable::Page> m_indexRow;
    // True when a page is marked as index picture; else the box shows the first picture.
    bool m_indexMarked = false;
    int m_currentPage = 0;    // the keyboard's page in the grid, 1-based
    int m_wheelRemainder = 0; // wheel angle short of a notch
};

} // namespace tovradocs::Internal
