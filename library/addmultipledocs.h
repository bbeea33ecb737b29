#pragma once

#include "library/importrun.h"

#include <QDialog>
#include <QStringList>

#include <memory>

class QCheckBox;
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
class ImportItemsModel;
class TovraCheck;
class TovraCombo;
class TovraText;

// "Add Multiple Documents": the files a caller hands over, reviewed in a grid
// and saved into one book in a single pass. Nothing is written before "&Save";
// saving imports a file at a time behind a progress dialog that can stop
// between files, and what was imported stays imported. Files that were not
// imported (stopped, or a file that failed) stay listed for another try.
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

    // Row moves of the grid: store the details into the row left, show the row reached.
    void DocRecsToImport_WillMove(int row);
    void DocRecsToImport_MoveComplete(int row);

Q_SIGNALS:
    void importFinished();

protected:
    void done(int result) override;

private:
    void buildControls();
    void loadWindow();
    void fill(const QStringList &files);
    void selectClicked(bool checked);
    void save();
    void importStep();
    void endImport();

    QTableView *m_tgFiles = nullptr;
    ImportItemsModel *m_model = nullptr;
    QGroupBox *m_frmDetails = nullptr;
    QCheckBox *m_chkSelect = nullptr;
    QLabel *m_lblFileName = nullptr;
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

    Dokumentz *m_docs = nullptr;
    QStringList m_callerFiles; // per model row, as the caller gave them
    std::unique_ptr<ImportRun> m_run;
    QStringList m_importedFiles;
    QString m_lastError;
    int m_currentRow = -1;
    bool m_loading = false;
    bool m_loaded = false;
    bool m_closing = false;
};

} // namespace tovradocs::Internal
