#pragma once

#include "library/importrun.h"

#include <QDialog>
#include <QStringList>

#include <memory>

class QCheckBox;
class QLineEdit;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QTableView;
class QTimer;

namespace tovradocs {
class Dokumentz;
}

namespace tovradocs::Internal {

class ImgView;
class ImportChecker;
class ImportItemsModel;
struct ImportCheckResult;
class TovraCheck;
class TovraCombo;
class TovraText;

// "Add Multiple Documents": the files a caller hands over, reviewed in a grid
// and saved into one book in a single pass. Each file is checked as it is
// listed, off the UI thread: one that cannot be read, is empty or cut short,
// or is already in the book is marked with the reason and left unticked.
// Nothing is written before "&Save", which asks once about marked files still
// ticked; saving imports a file at a time behind a progress dialog that can
// stop between files, and ends with a summary of what was added, skipped and
// failed. Files that were not imported stay listed for another try.
// Created for one AddMultipleFiles call; UI thread only.
class AddMultipleDocs : public QDialog
{
    Q_OBJECT

public:
    explicit AddMultipleDocs(QWidget *owner = nullptr);
    ~AddMultipleDocs() override;

    // Fills the grid from Files ("?" before a path marks a temporary file),
    // shows the window modally and returns when it closes. New documents are
    // appended to Docs, whose DefSourceID names the book.
    void AddMultipleFiles(const QStringList &Files, Dokumentz &Docs);

    // The caller's entries (as given, "?" included) that were imported, in order.
    QStringList importedFiles() const { return m_importedFiles; }
    // Why the last save stopped early; empty when it ran through.
    QString lastError() const { return m_lastError; }
    bool isImporting() const { return m_run != nullptr; }
    bool isChecking() const;

    // Row moves of the grid: store the details into the row left, show the row reached.
    void DocRecsToImport_WillMove(int row);
    void DocRecsToImport_MoveComplete(int row);

Q_SIGNALS:
    void importFinished();
    // Every listed file has been checked.
    void checksFinished();

protected:
    void done(int result) override;

private:
    void buildControls();
    void loadWindow();
    void fill(const QStringList &files);
    void startChecks();
    void fileChecked(int row, const ImportCheckResult &result);
    void selectClicked(bool checked);
    void detailsEdited();
    void commitGridEditor();
    void save();
    void startImport();
    void importStep();
    void endImport();
    void showSummary(const QList<int> &imported, const QList<ImportFailure> &failures,
                     int notTried, const QString &stopped);

    QTableView *m_tgFiles = nullptr;
    ImportItemsModel *m_model = nullptr;
    QGroupBox *m_frmDetails = nullptr;
    QCheckBox *m_chkSelect = nullptr;
    QLabel *m_lblFileName = nullptr;
    QLabel *m_lblCheck = nullptr;
    QLabel *m_lblCheckIcon = nullptr;
    TovraText *m_stDescription = nullptr;
    TovraCheck *m_chkImport = nullptr;
    TovraCombo *m_fcDocCategory = nullptr;
    TovraCombo *m_fcTransition = nullptr;
    QPlainTextEdit *m_txtComments = nullptr;
    ImgView *m_ImxPic = nullptr;
    QPushButton *m_cbOK = nullptr;
    QPushButton *m_cbClose = nullptr;
    QProgressDialog *m_progress = nullptr;
    QTimer *m_stepper = nullptr;
    ImportChecker *m_checker = nullptr;

    Dokumentz *m_docs = nullptr;
    QList<QStringList> m_callerFiles; // per model row, as the caller gave them
    int m_skipped = 0;                // rows left out of the running import
    std::unique_ptr<ImportRun> m_run;
    QStringList m_importedFiles;
    QString m_lastError;
    int m_currentRow = -1;
    bool m_loading = false;
    bool m_loaded = false;
    bool m_closing = false;
    bool m_saveAfterChecks = false;
};

} // namespace tovradocs::Internal
