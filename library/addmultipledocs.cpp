#include "library/addmultipledocs.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/windowutils.h"
#include "controls/imgview.h"
#include "controls/tovracheck.h"
#include "controls/tovracombo.h"
#include "controls/tovratext.h"
#include "library/importitemsmodel.h"
#include "library/valuelistdelegate.h"

#include <tovradocs/dokumentz.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace addmultipledocs {

const QString windowName = QStringLiteral("AddMultipleDocs");

} // namespace addmultipledocs

AddMultipleDocs::AddMultipleDocs(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("AddMultipleDocs"));
    setWindowTitle(QStringLiteral("Add Multiple Documents"));
    buildControls();
}

AddMultipleDocs::~AddMultipleDocs()
{
    if (m_run)
        m_run->finish();
}

void AddMultipleDocs::buildControls()
{
    m_model = new ImportItemsModel(this);
    m_tgFiles = new QTableView(this);
    m_tgFiles->setObjectName(QStringLiteral("tgFiles"));
    m_tgFiles->setModel(m_model);
    m_tgFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tgFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tgFiles->verticalHeader()->hide();
    m_tgFiles->horizontalHeader()->setSectionResizeMode(ImportItemsModel::FileNameColumn,
                                                        QHeaderView::Stretch);
    m_tgFiles->setItemDelegateForColumn(
        ImportItemsModel::TransitionColumn,
        new ValueListDelegate([this] { return m_model->valueList(ImportItemsModel::TransitionColumn); },
                              this));
    m_tgFiles->setItemDelegateForColumn(
        ImportItemsModel::CategoryColumn,
        new ValueListDelegate([this] { return m_model->valueList(ImportItemsModel::CategoryColumn); },
                              this));
    connect(m_tgFiles->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                DocRecsToImport_WillMove(previous.row());
                DocRecsToImport_MoveComplete(current.row());
            });
    // Edits in the grid show at once in the details of the current row.
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from) {
        if (!m_loading && from.row() == m_currentRow)
            DocRecsToImport_MoveComplete(m_currentRow);
    });

    m_frmDetails = new QGroupBox(QStringLiteral("Document Details"), this);
    m_frmDetails->setObjectName(QStringLiteral("frmDetails"));
    m_chkSelect = new QCheckBox(QStringLiteral("Select"), this);
    m_chkSelect->setObjectName(QStringLiteral("chkSelect"));
    m_lblFileName = new QLabel(m_frmDetails);
    m_lblFileName->setObjectName(QStringLiteral("lblFileName"));
    m_lblFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblFileName->setWordWrap(true);
    m_stDescription = new TovraText(m_frmDetails);
    m_stDescription->setObjectName(QStringLiteral("stDescription"));
    m_stDescription->setCaption(QStringLiteral("Description"));
    m_chkImport = new TovraCheck(m_frmDetails);
    m_chkImport->setObjectName(QStringLiteral("chkImport"));
    m_chkImport->setCaption(QStringLiteral("Copy to Library folder"));
    m_fcDocCategory = new TovraCombo(m_frmDetails);
    m_fcDocCategory->setObjectName(QStringLiteral("fcDocCategory"));
    m_fcDocCategory->setCaption(QStringLiteral("Document Category"));
    m_fcTransition = new TovraCombo(m_frmDetails);
    m_fcTransition->setObjectName(QStringLiteral("fcTransition"));
    m_fcTransition->setCaption(QStringLiteral("Slideshow Transition"));
    m_txtComments = new QPlainTextEdit(m_frmDetails);
    m_txtComments->setObjectName(QStringLiteral("txtComments"));
    m_txtComments->setPlaceholderText(QStringLiteral("Comments"));
    m_ImxPic = new ImgView(m_frmDetails);
    m_ImxPic->setObjectName(QStringLiteral("ImxPic"));
    m_ImxPic->setBackgroundLoading(true);
    m_ImxPic->setMinimumSize(220, 165);
    connect(m_chkSelect, &QCheckBox::clicked, this, &AddMultipleDocs::selectClicked);

    auto *details = new QGridLayout(m_frmDetails);
    details->addWidget(m_lblFileName, 0, 0, 1, 2);
    details->addWidget(m_stDescription, 1, 0);
    details->addWidget(m_chkImport, 2, 0);
    details->addWidget(m_fcDocCategory, 3, 0);
    details->addWidget(m_fcTransition, 4, 0);
    details->addWidget(m_txtComments, 5, 0);
    details->addWidget(m_ImxPic, 1, 1, 5, 1);
    details->setColumnStretch(0, 1);
    details->setColumnStretch(1, 1);

    m_cbOK = new QPushButton(QStringLiteral("&Save"), this);
    m_cbOK->setObjectName(QStringLiteral("cbOK"));
    m_cbClose = new QPushButton(QStringLiteral("C&lose"), this);
    m_cbClose->setObjectName(QStringLiteral("cbClose"));
    m_cbOK->setAutoDefault(false);
    m_cbClose->setAutoDefault(false);
    connect(m_cbOK, &QPushButton::clicked, this, &AddMultipleDocs::save);
    connect(m_cbClose, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_chkSelect);
    buttons->addStretch(1);
    buttons->addWidget(m_cbOK);
    buttons->addWidget(m_cbClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tgFiles, 3);
    layout->addWidget(m_frmDetails, 2);
    layout->addLayout(buttons);
    resize(900, 680);

    m_stepper = new QTimer(this);
    m_stepper->setInterval(0);
    connect(m_stepper, &QTimer::timeout, this, &AddMultipleDocs::importStep);
}

void AddMultipleDocs::loadWindow()
{
    if (m_loaded)
        return;
    m_loaded = true;
    trapErrors(addmultipledocs::windowName, [&] {
        fillComboFromTable(m_fcDocCategory->comboBox(), QStringLiteral("DocumentCategories"),
                           QStringLiteral("Description"), QStringLiteral("entry_Code"), QString(),
                           false);
        m_model->setValueList(
            ImportItemsModel::CategoryColumn,
            fillListFromSql(QStringLiteral("Select * from DocumentCategories where Entry_Code > 0 "
                                           "order by Description"),
                            QStringLiteral("Description"), QStringLiteral("entry_Code"), false));
    });
    trapErrors(addmultipledocs::windowName, [&] {
        fillComboFromTable(m_fcTransition->comboBox(), QStringLiteral("SystemLists"),
                           QStringLiteral("Description"), QStringLiteral("SubID"),
                           QStringLiteral(" ParentID = 71 "), true);
        m_model->setValueList(
            ImportItemsModel::TransitionColumn,
            fillListFromSql(QStringLiteral("Select * from SystemLists where ParentID = 71 order by "
                                           "Description"),
                            QStringLiteral("Description"), QStringLiteral("SubID"), true));
    });
    m_fcDocCategory->setCurrentIndex(-1);
    m_fcTransition->setCurrentIndex(-1);
}

void AddMultipleDocs::fill(const QStringList &files)
{
    m_loading = true;
    m_callerFiles = files;
    m_model->setItems(importItemsFromFiles(files));
    m_currentRow = -1;
    m_loading = false;
    if (m_model->rowCount() > 0)
        m_tgFiles->setCurrentIndex(m_model->index(0, ImportItemsModel::FileNameColumn));
    else
        m_frmDetails->setEnabled(false);
}

void AddMultipleDocs::DocRecsToImport_WillMove(int row)
{
    if (m_loading || row < 0 || row >= m_model->rowCount())
        return;
    ImportItem item = m_model->item(row);
    item.description = m_stDescription->text();
    item.import = m_chkImport->isChecked();
    item.category = m_fcDocCategory->currentIndex() < 0
                        ? 0 : m_fcDocCategory->currentItemData().toLongLong();
    item.ctEffect = m_fcTransition->currentIndex() < 0
                        ? 0 : m_fcTransition->currentItemData().toLongLong();
    item.comments = m_txtComments->toPlainText();
    item.select = m_chkSelect->isChecked();
    m_loading = true;
    m_model->setItem(row, item);
    m_loading = false;
}

void AddMultipleDocs::DocRecsToImport_MoveComplete(int row)
{
    if (m_loading)
        return;
    m_currentRow = row;
    if (row < 0 || row >= m_model->rowCount()) {
        m_frmDetails->setEnabled(false);
        return;
    }
    m_loading = true;
    const ImportItem &item = m_model->item(row);
    m_chkSelect->setChecked(item.select);
    m_stDescription->setText(item.description);
    m_chkImport->setChecked(item.import);
    m_lblFileName->setText(QDir::toNativeSeparators(item.fileName));
    m_ImxPic->setFileName(item.docFileType == 1 ? item.fileName : QString());
    m_ImxPic->setCaption(item.docFileType == 1 ? QString() : QStringLiteral("Document"));
    if (!m_fcDocCategory->selectByItemData(item.category))
        m_fcDocCategory->setCurrentIndex(-1);
    if (!m_fcTransition->selectByItemData(item.ctEffect))
        m_fcTransition->setCurrentIndex(-1);
    m_txtComments->setPlainText(item.comments);
    m_frmDetails->setEnabled(m_chkSelect->isChecked());
    m_loading = false;
}

void AddMultipleDocs::selectClicked(bool checked)
{
    m_frmDetails->setEnabled(checked);
    if (m_currentRow >= 0) {
        ImportItem item = m_model->item(m_currentRow);
        item.select = checked;
        m_loading = true;
        m_model->setItem(m_currentRow, item);
        m_loading = false;
    }
}

void AddMultipleDocs::AddMultipleFiles(const QStringList &Files, Dokumentz &Docs)
{
    loadWindow();
    m_docs = &Docs;
    m_importedFiles.clear();
    m_lastError.clear();
    fill(Files);
    if (QWidget *wanted = parentWidget() ? parentWidget() : parentWindow(); wanted && wanted != parentWidget())
        setParent(wanted, windowFlags());
    DialogService::showModal(this);
    m_docs = nullptr;
}

void AddMultipleDocs::save()
{
    DataLink *link = dataLink();
    if (m_run || !m_docs || !link)
        return;
    // Storing the current row first, as moving away from it would.
    DocRecsToImport_WillMove(m_currentRow);
    m_loading = true;
    m_lastError.clear();
    ImportRun::recoverInterrupted(*link);
    m_run = std::make_unique<ImportRun>(*link, *m_docs, m_model->items());
    if (m_run->total() > 0) {
        m_progress = new QProgressDialog(QStringLiteral("Importing documents..."),
                                         QStringLiteral("Cancel"), 0, m_run->total(), this);
        m_progress->setObjectName(QStringLiteral("prgImport"));
        m_progress->setWindowTitle(windowTitle());
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(500);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setValue(0);
    }
    m_cbOK->setEnabled(false);
    m_stepper->start();
}

void AddMultipleDocs::importStep()
{
    if (!m_run)
        return;
    if (m_progress && m_progress->wasCanceled()) {
        endImport();
        return;
    }
    const bool more = m_run->step();
    if (m_progress) {
        m_progress->setValue(m_run->done());
        if (m_run->done() < m_run->total())
            m_progress->setLabelText(
                QStringLiteral("Importing %1 of %2...").arg(m_run->done() + 1).arg(m_run->total()));
    }
    if (!more)
        endImport();
}

void AddMultipleDocs::endImport()
{
    m_stepper->stop();
    m_run->finish();
    const QList<int> imported = m_run->imported();
    const bool complete = m_run->error().isEmpty() && m_run->done() == m_run->total();
    m_lastError = m_run->error();
    for (int row : imported)
        m_importedFiles.append(m_callerFiles.value(row));
    const int total = m_run->total();
    m_run.reset();
    delete m_progress;
    m_progress = nullptr;
    m_cbOK->setEnabled(true);

    if (complete || m_closing) {
        Q_EMIT importFinished();
        if (!m_closing)
            accept();
        return;
    }
    // What was not imported stays listed, so the user can try again.
    for (int i = int(imported.size()) - 1; i >= 0; --i)
        m_callerFiles.removeAt(imported.at(i));
    m_model->removeItems(imported);
    m_currentRow = -1;
    m_tgFiles->setCurrentIndex({});
    m_loading = false;
    if (m_model->rowCount() > 0) {
        m_tgFiles->setCurrentIndex(m_model->index(0, ImportItemsModel::FileNameColumn));
    } else {
        m_frmDetails->setEnabled(false);
    }
    if (!m_lastError.isEmpty())
        DialogService::message(this, m_lastError + QStringLiteral("\n\n%1 of %2 documents were imported.")
                                                       .arg(imported.size())
                                                       .arg(total),
                               windowTitle(), Buttons::Ok, Severity::Warning);
    Q_EMIT importFinished();
}

void AddMultipleDocs::done(int result)
{
    // Closing while files are being imported stops after the current file.
    if (m_run) {
        m_closing = true;
        endImport();
    }
    m_loading = true;
    m_docs = nullptr;
    QDialog::done(result);
}

} // namespace tovradocs::Internal
