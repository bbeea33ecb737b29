#include "library/addmultipledocs.h"
#include "library/bookpatient.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/windowutils.h"
#include "controls/imgview.h"
#include "controls/tovracheck.h"
#include "controls/tovracombo.h"
#include "controls/tovratext.h"
#include "library/importchecker.h"
#include "library/importitemsmodel.h"
#include "library/librarylogging.h"
#include "library/librarysql.h"
#include "library/valuelistdelegate.h"

#include <tovradocs/datalink.h>
#include <tovradocs/dokumentz.h>
#include <tovradocs/recordset.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace addmultipledocs {

const QString windowName = QStringLiteral("AddMultipleDocs");
// The entry type of a file stored as a document when it cannot be read as what it claims.
constexpr qint64 documentType = 3;
// Lines of files a message lists before it only counts the rest.
constexpr int listedAtMost = 12;

QString fileLine(const QString &file, const QString &reason)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file), reason);
}

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
    m_checker->stop();
}

bool AddMultipleDocs::isChecking() const { return m_checker->isRunning(); }

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
    // Paths keep their file names in view; a row holds one line.
    m_tgFiles->setTextElideMode(Qt::ElideMiddle);
    m_tgFiles->setWordWrap(false);
    m_tgFiles->horizontalHeader()->resizeSection(ImportItemsModel::SelectColumn, 56);
    m_tgFiles->horizontalHeader()->resizeSection(ImportItemsModel::CheckColumn, 390);
    m_tgFiles->horizontalHeader()->resizeSection(ImportItemsModel::DescriptionColumn, 120);
    m_tgFiles->horizontalHeader()->resizeSection(ImportItemsModel::ImportColumn, 56);
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
    // Outside the details frame, so an unticked row's reason is not greyed out.
    m_lblCheck = new QLabel(this);
    m_lblCheck->setObjectName(QStringLiteral("lblCheck"));
    m_lblCheck->setWordWrap(true);
    m_lblCheck->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblCheckIcon = new QLabel(this);
    m_lblCheckIcon->setObjectName(QStringLiteral("lblCheckIcon"));
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
    // What is typed in the details goes into the row at once, so no way of
    // leaving the row (or the window) can lose it.
    connect(m_stDescription, &TovraText::textChanged, this, &AddMultipleDocs::detailsEdited);
    connect(m_chkImport, &TovraCheck::toggled, this, &AddMultipleDocs::detailsEdited);
    connect(m_fcDocCategory->comboBox(), &QComboBox::currentIndexChanged, this,
            &AddMultipleDocs::detailsEdited);
    connect(m_fcTransition->comboBox(), &QComboBox::currentIndexChanged, this,
            &AddMultipleDocs::detailsEdited);
    connect(m_txtComments, &QPlainTextEdit::textChanged, this, &AddMultipleDocs::detailsEdited);

    auto *details = new QGridLayout(m_frmDetails);
    details->addWidget(m_lblFileName, 1, 0, 1, 2);
    details->addWidget(m_stDescription, 2, 0);
    details->addWidget(m_chkImport, 3, 0);
    details->addWidget(m_fcDocCategory, 4, 0);
    details->addWidget(m_fcTransition, 5, 0);
    details->addWidget(m_txtComments, 6, 0);
    details->addWidget(m_ImxPic, 2, 1, 5, 1);
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
    auto *check = new QHBoxLayout;
    check->addWidget(m_lblCheckIcon);
    check->addWidget(m_lblCheck, 1);
    layout->addLayout(check);
    layout->addWidget(m_frmDetails, 2);
    layout->addLayout(buttons);
    resize(1100, 720);

    m_checker = new ImportChecker(this);
    connect(m_checker, &ImportChecker::fileChecked, this, &AddMultipleDocs::fileChecked);
    connect(m_checker, &ImportChecker::finished, this, [this] {
        Q_EMIT checksFinished();
        if (std::exchange(m_saveAfterChecks, false))
            save();
    });

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
    QList<int> rowOfFile;
    m_model->setItems(importItemsFromFiles(files, &rowOfFile));
    m_callerFiles = QList<QStringList>(m_model->rowCount());
    for (int i = 0; i < files.size(); ++i)
        m_callerFiles[rowOfFile.at(i)].append(files.at(i));
    m_currentRow = -1;
    m_loading = false;
    if (m_model->rowCount() > 0)
        m_tgFiles->setCurrentIndex(m_model->index(0, ImportItemsModel::FileNameColumn));
    else
        m_frmDetails->setEnabled(false);
    startChecks();
}

void AddMultipleDocs::startChecks()
{
    QStringList paths;
    for (const ImportItem &item : m_model->items())
        paths << item.fileName;
    // The book's entries, for the duplicate check; without them it is skipped.
    QList<BookEntryFile> book;
    Dicom::Patient patient;
    DataLink *link = dataLink();
    if (link && m_docs && m_docs->DefSourceID != 0) {
        try {
            std::unique_ptr<Recordset> rs;
            link->FillRecordSet(rs, LibrarySql::bookPages(qAbs(m_docs->DefSourceID), true));
            if (rs && rs->recordCount() > 0) {
                for (rs->moveFirst(); !rs->isEof(); rs->moveNext())
                    book.append({rs->value(QStringLiteral("Entry_Code")).toInt(),
                                 rs->value(QStringLiteral("Description")).toString(),
                                 rs->value(QStringLiteral("FileName")).toString()});
            }
            if (rs)
                rs->close();
            patient = bookPatient(*link, qAbs(m_docs->DefSourceID));
        } catch (const std::exception &e) {
            qCWarning(lcLibrary) << "reading the book for the duplicate check:" << e.what();
        }
    }
    m_checker->start(paths, book, patient);
}

void AddMultipleDocs::fileChecked(int row, const ImportCheckResult &result)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    ImportItem item = m_model->item(row);
    if (!result.file.isFine()) {
        item.mark = ImportItem::Broken;
        item.reason = result.file.reason;
    } else if (result.duplicateOf != 0) {
        item.mark = ImportItem::Duplicate;
        item.reason = QStringLiteral("Already in this book as \"%1\" (entry %2).")
                          .arg(result.duplicateDescription)
                          .arg(result.duplicateOf);
    } else if (result.sameAsRow >= 0 && result.sameAsRow < m_model->rowCount()) {
        item.mark = ImportItem::Duplicate;
        item.reason = QStringLiteral("The same file as row %1 (%2).")
                          .arg(result.sameAsRow + 1)
                          .arg(fileTitle(m_model->item(result.sameAsRow).fileName));
    } else if (!result.otherPatient.isEmpty()) {
        item.mark = ImportItem::OtherPatient;
        item.reason = result.otherPatient;
    } else {
        item.mark = ImportItem::Fine;
        item.reason.clear();
    }
    // A marked row is left out unless the user has ticked it himself.
    if (item.mark != ImportItem::Fine && !item.selectSet)
        item.select = false;
    m_model->setItem(row, item);
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
        m_lblCheck->hide();
        m_lblCheckIcon->hide();
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
    if (m_txtComments->toPlainText() != item.comments)
        m_txtComments->setPlainText(item.comments);
    m_lblCheck->setText(item.mark == ImportItem::Unchecked ? QStringLiteral("Checking the file...")
                                                           : item.reason);
    const QIcon icon = ImportItemsModel::markIcon(item.mark);
    m_lblCheckIcon->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(16, 16));
    m_lblCheck->setVisible(item.mark != ImportItem::Fine);
    m_lblCheckIcon->setVisible(item.mark != ImportItem::Fine);
    m_frmDetails->setEnabled(m_chkSelect->isChecked());
    m_loading = false;
}

void AddMultipleDocs::detailsEdited()
{
    if (m_loading || m_currentRow < 0)
        return;
    DocRecsToImport_WillMove(m_currentRow);
}

void AddMultipleDocs::commitGridEditor()
{
    // An editor still open in the grid holds what the user typed last; a
    // shortcut such as Alt+S does not take the focus from it, so commit it here.
    // The grid's editors are the only widgets placed on its viewport.
    QWidget *editor = nullptr;
    for (QWidget *child : m_tgFiles->viewport()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && !child->isWindow())
            editor = child;
    if (!editor)
        return;
    QMetaObject::invokeMethod(m_tgFiles, "commitData", Qt::DirectConnection,
                              Q_ARG(QWidget *, editor));
    QMetaObject::invokeMethod(m_tgFiles, "closeEditor", Qt::DirectConnection,
                              Q_ARG(QWidget *, editor),
                              Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
}

void AddMultipleDocs::selectClicked(bool checked)
{
    m_frmDetails->setEnabled(checked);
    if (m_currentRow >= 0) {
        ImportItem item = m_model->item(m_currentRow);
        item.select = checked;
        item.selectSet = true;
        m_loading = true;
        m_model->setItem(m_currentRow, item);
        m_loading = false;
    }
}

void AddMultipleDocs::AddMultipleFiles(const QStringList &Files, Dokumentz &Docs)
{
    loadWindow();
    m_docs = &Docs;
    m_saveAfterChecks = false;
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
    if (m_run || !m_docs || !dataLink())
        return;
    commitGridEditor();
    // Storing the current row first, as moving away from it would.
    DocRecsToImport_WillMove(m_currentRow);
    // The question below needs every check; they go on while the window waits.
    if (m_checker->isRunning()) {
        m_saveAfterChecks = true;
        m_cbOK->setEnabled(false);
        m_cbOK->setText(QStringLiteral("Checking..."));
        return;
    }
    m_cbOK->setText(QStringLiteral("&Save"));
    m_cbOK->setEnabled(true);

    QList<int> marked;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const ImportItem &item = m_model->item(row);
        if (item.select && item.mark != ImportItem::Fine && item.mark != ImportItem::Unchecked)
            marked << row;
    }
    if (!marked.isEmpty()) {
        QStringList lines;
        for (int row : std::as_const(marked).first(std::min<qsizetype>(marked.size(), addmultipledocs::listedAtMost)))
            lines << addmultipledocs::fileLine(m_model->item(row).fileName, m_model->item(row).reason);
        if (marked.size() > addmultipledocs::listedAtMost)
            lines << QStringLiteral("... and %1 more.").arg(marked.size() - addmultipledocs::listedAtMost);
        const QString text
            = (marked.size() == 1 ? QStringLiteral("A ticked file is marked:\n\n")
                                  : QStringLiteral("%1 ticked files are marked:\n\n").arg(marked.size()))
              + lines.join(u'\n')
              + (marked.size() == 1
                     ? QStringLiteral("\n\nImport it as a document?\n\nYes imports it; a file that cannot "
                                      "be read is stored as a document. No skips it. Cancel returns to the list.")
                     : QStringLiteral("\n\nImport them as documents?\n\nYes imports them; a file that cannot "
                                      "be read is stored as a document. No skips them. Cancel returns to the "
                                      "list."));
        const Answer answer = DialogService::message(this, text, windowTitle(), Buttons::YesNoCancel,
                                                     Severity::Question);
        if (answer == Answer::Cancel)
            return;
        m_loading = true;
        for (int row : std::as_const(marked)) {
            ImportItem item = m_model->item(row);
            if (answer == Answer::Yes) {
                if (item.mark == ImportItem::Broken)
                    item.docFileType = addmultipledocs::documentType;
            } else {
                item.select = false;
            }
            m_model->setItem(row, item);
        }
        m_loading = false;
        DocRecsToImport_MoveComplete(m_currentRow);
    }
    startImport();
}

void AddMultipleDocs::startImport()
{
    DataLink *link = dataLink();
    if (!link)
        return;
    m_loading = true;
    m_lastError.clear();
    m_skipped = 0;
    for (const ImportItem &item : m_model->items())
        if (!item.select)
            ++m_skipped;
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
        m_progress->setValue(m_run->processed());
        if (m_run->processed() < m_run->total())
            m_progress->setLabelText(QStringLiteral("Importing %1 of %2...")
                                         .arg(m_run->processed() + 1)
                                         .arg(m_run->total()));
    }
    if (!more)
        endImport();
}

void AddMultipleDocs::endImport()
{
    m_stepper->stop();
    m_run->finish();
    const QList<int> imported = m_run->imported();
    const QList<ImportFailure> failures = m_run->failures();
    const int notTried = m_run->total() - m_run->processed();
    m_lastError = m_run->error();
    const bool complete = failures.isEmpty() && notTried == 0 && m_lastError.isEmpty();
    for (int row : imported)
        m_importedFiles.append(m_callerFiles.value(row));
    QString stopped;
    if (const int at = m_run->failedIndex(); at >= 0)
        stopped = QStringLiteral("The import stopped at \"%1\".").arg(fileTitle(m_model->item(at).fileName));
    else if (!m_lastError.isEmpty())
        stopped = m_lastError;
    else if (notTried > 0)
        stopped = QStringLiteral("The import was cancelled.");
    m_run.reset();
    delete m_progress;
    m_progress = nullptr;
    m_cbOK->setEnabled(true);

    showSummary(imported, failures, notTried, stopped);
    if (complete || m_closing) {
        Q_EMIT importFinished();
        if (!m_closing)
            accept();
        return;
    }
    // What was not imported stays listed, so the user can try again; a file
    // that failed says why and is left out until ticked again.
    for (const ImportFailure &failure : failures) {
        ImportItem item = m_model->item(failure.index);
        item.mark = ImportItem::Broken;
        item.reason = failure.reason;
        item.select = false;
        item.selectSet = false;
        m_model->setItem(failure.index, item);
    }
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
    Q_EMIT importFinished();
}

void AddMultipleDocs::showSummary(const QList<int> &imported, const QList<ImportFailure> &failures,
                                  int notTried, const QString &stopped)
{
    QString text = QStringLiteral("Added: %1\nSkipped: %2\nFailed: %3")
                       .arg(imported.size())
                       .arg(m_skipped)
                       .arg(failures.size());
    if (!failures.isEmpty()) {
        QStringList lines;
        for (const ImportFailure &failure : failures.first(std::min<qsizetype>(failures.size(), addmultipledocs::listedAtMost)))
            lines << addmultipledocs::fileLine(m_model->item(failure.index).fileName, failure.reason);
        if (failures.size() > addmultipledocs::listedAtMost)
            lines << QStringLiteral("... and %1 more.").arg(failures.size() - addmultipledocs::listedAtMost);
        text += QStringLiteral("\n\n") + lines.join(u'\n');
    }
    if (!stopped.isEmpty())
        text += QStringLiteral("\n\n") + stopped;
    if (notTried > 0)
        text += QStringLiteral("\n\n%1 %2 not tried and stay%3 listed.")
                    .arg(notTried)
                    .arg(notTried == 1 ? QStringLiteral("file was") : QStringLiteral("files were"))
                    .arg(notTried == 1 ? QStringLiteral("s") : QString());
    DialogService::message(this, text, windowTitle(), Buttons::Ok,
                           failures.isEmpty() && notTried == 0 ? Severity::Information
                                                                : Severity::Warning);
}

void AddMultipleDocs::done(int result)
{
    // Closing while files are being imported stops after the current file.
    if (m_run) {
        m_closing = true;
        endImport();
    }
    m_saveAfterChecks = false;
    m_checker->stop();
    m_loading = true;
    m_docs = nullptr;
    QDialog::done(result);
}

} // namespace tovradocs::Internal
