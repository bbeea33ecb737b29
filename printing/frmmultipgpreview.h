#pragma once

#include <QDialog>
#include <QImage>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tovradocs::Internal {

class clsMultiPgPreview;

// Shows a previewed document page by page from the engine's page files, and
// prints, copies or exports them. Closing removes every page file.
class frmMultiPgPreview : public QDialog
{
public:
    frmMultiPgPreview(clsMultiPgPreview *engine, QWidget *parent = nullptr);
    ~frmMultiPgPreview() override;

    // Called by the engine before the window is shown.
    void setCanvasSize(const QSize &pixels);
    void setLastPage(int lastPage);
    int LastPage() const { return m_lastPage; }
    int currentPage() const { return m_currentPage; }
    void showPage(int page);
    QImage shownPage() const { return m_page; }

    // The folder the folder panel shows; the copy goes there.
    QString shownFolder() const { return m_folder; }
    void setShownFolder(const QString &folder);

protected:
    void done(int result) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void updatePageLabel();
    void placeCanvas();
    void goTo();
    void toggleFullPage();
    void openPrintOptions();
    void runPrintOption();
    void closePanels();
    bool printPage(const QImage &page);
    void copyAllPages();
    void makeNewFolder();
    void fixFrom();
    void fixTo();
    void removePageFiles();

    clsMultiPgPreview *m_engine;
    int m_lastPage = 0;
    int m_currentPage = 0;
    QImage m_page;
    QString m_folder;
    QPoint m_dragStart;
    QPoint m_dragScroll;

    QFrame *m_picture2 = nullptr;
    QLabel *m_picture1 = nullptr;
    QScrollBar *m_vscroll = nullptr;
    QScrollBar *m_hscroll = nullptr;
    QLabel *m_label1 = nullptr;
    QFrame *m_picGoto = nullptr;
    QLabel *m_label5 = nullptr;
    QLineEdit *m_txtGoto = nullptr;
    QLabel *m_picFullPage = nullptr;
    QPushButton *m_cmdFullPage = nullptr;
    QWidget *m_picPrintOptions = nullptr;
    QRadioButton *m_optPrint[5] = {};
    QLineEdit *m_txtFrom = nullptr;
    QLineEdit *m_txtTo = nullptr;
    QPushButton *m_cmdPrint = nullptr;
    QLabel *m_lblPrintingPg = nullptr;
    QWidget *m_picGetFolder = nullptr;
    QComboBox *m_drive1 = nullptr;
    QListWidget *m_dir1 = nullptr;
    QLabel *m_folderLabel = nullptr;
};

} // namespace tovradocs::Internal
