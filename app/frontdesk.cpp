#include "app/frontdesk.h"

#include <tovradocs/mediamanager.h>

#include "app/optionswindow.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "component/windowutils.h"
#include "host/referencehost.h"
#include "host/demopractice.h"

#include <tovradocs/recordset.h>

#include <QFileInfo>
#include "host/demoillustrations.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace tovradocs {

namespace {

QTableView *makeTable(QAbstractItemModel *model, const QString &name, QWidget *parent)
{
    auto *view = new QTableView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(true);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setAlternatingRowColors(true);
    // Tab leaves the table for the next control instead of walking its cells.
    view->setTabKeyNavigation(false);
    return view;
}

// Columns sort on what they mean, not on their text: dates as dates.
constexpr int kSortRole = Qt::UserRole + 1;

QStandardItem *textItem(const QString &text)
{
    auto *item = new QStandardItem(text);
    item->setData(text.toLower(), kSortRole);
    return item;
}

QStandardItem *codeItem(qint32 code)
{
    auto *item = new QStandardItem;
    item->setData(code, Qt::DisplayRole);
    item->setData(code, kSortRole);
    return item;
}

} // namespace

FrontDesk::FrontDesk(std::shared_ptr<DataLink> link, MediaManager &manager, const QString &where,
                     QWidget *parent)
    : QMainWindow(parent)
    , m_link(std::move(link))
    , m_manager(manager)
{
    setObjectName(QStringLiteral("FrontDesk"));
    setWindowTitle(QStringLiteral("TovraDocs - Front Desk"));

    m_patients = new QStandardItemModel(0, 4, this);
    m_patients->setHorizontalHeaderLabels({QStringLiteral("Code"), QStringLiteral("Patient"),
                                           QStringLiteral("Born"), QStringLiteral("Book")});
    m_patientFilter = new QSortFilterProxyModel(this);
    m_patientFilter->setSourceModel(m_patients);
    m_patientFilter->setFilterKeyColumn(1);
    m_patientFilter->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_books = new QStandardItemModel(0, 3, this);
    m_books->setHorizontalHeaderLabels(
        {QStringLiteral("Code"), QStringLiteral("Book"), QStringLiteral("Owner")});

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);

    auto *searchRow = new QHBoxLayout;
    auto *searchLabel = new QLabel(QStringLiteral("Fi&nd patient:"), central);
    m_search = new QLineEdit(central);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_search->setPlaceholderText(QStringLiteral("Type part of a name"));
    m_search->setClearButtonEnabled(true);
    searchLabel->setBuddy(m_search);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_search, 1);
    outer->addLayout(searchRow);

    auto *splitter = new QSplitter(Qt::Horizontal, central);
    auto *patientsBox = new QGroupBox(QStringLiteral("Patients"), splitter);
    auto *patientsLayout = new QVBoxLayout(patientsBox);
    m_patientView = makeTable(m_patientFilter, QStringLiteral("lstPatients"), patientsBox);
    patientsLayout->addWidget(m_patientView);
    auto *booksBox = new QGroupBox(QStringLiteral("Books"), splitter);
    auto *booksLayout = new QVBoxLayout(booksBox);
    m_bookView = makeTable(m_books, QStringLiteral("lstBooks"), booksBox);
    booksLayout->addWidget(m_bookView);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    outer->addWidget(splitter, 1);

    auto *buttons = new QHBoxLayout;
    m_patientLabel = new QLabel(central);
    m_patientLabel->setObjectName(QStringLiteral("lblPatient"));
    m_documents = new QPushButton(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                  QStringLiteral("&Documents"), central);
    m_documents->setObjectName(QStringLiteral("cmdDocuments"));
    m_documents->setToolTip(QStringLiteral("Open the selected patient's documents"));
    // Alt+L belongs to the Library menu, Alt+F to the File menu.
    m_practice = new QPushButton(style()->standardIcon(QStyle::SP_DirHomeIcon),
                                 QStringLiteral("&Practice library"), central);
    m_practice->setObjectName(QStringLiteral("cmdPracticeLibrary"));
    m_practice->setToolTip(QStringLiteral("Open the practice's books"));
    buttons->addWidget(m_patientLabel, 1);
    buttons->addWidget(m_documents);
    m_visitReport = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                    QStringLiteral("&Visit report"), central);
    m_visitReport->setObjectName(QStringLiteral("cmdVisitReport"));
    m_visitReport->setToolTip(QStringLiteral("Print the report of the selected patient's last visit with its pictures"));
    buttons->addWidget(m_visitReport);
    buttons->addWidget(m_practice);
    // The selected patient's illustration; one file per patient beside the library files.
    auto *illustration = new QPushButton(QStringLiteral("&Illustration"), central);
    illustration->setObjectName(QStringLiteral("cmdIllustration"));
    illustration->setToolTip(QStringLiteral("Draw on the selected patient's illustration"));
    buttons->insertWidget(buttons->indexOf(m_practice), illustration);
    connect(illustration, &QPushButton::clicked, this, [this] {
        int row = -1;
        const qint32 code = selectedCode(m_patientView, &row);
        if (code <= 0) {
            Internal::DialogService::message(this, QStringLiteral("Select a patient first."));
            return;
        }
        const QString name = m_patientFilter->index(row, 1).data().toString();
        m_manager.EditIllustration(name, Internal::patientIllustrationPath(m_link->GetLibraryFilesFolder(), code),
                                   0, 2, code, false);
    });
    outer->addLayout(buttons);
    setCentralWidget(central);

    auto *fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    auto *refresh = fileMenu->addAction(QStringLiteral("&Refresh"), this, &FrontDesk::reload);
    refresh->setShortcut(QKeySequence::Refresh);
    fileMenu->addAction(QStringLiteral("File &properties..."), this, &FrontDesk::showFileProperties);
    fileMenu->addSeparator();
    auto *quit = fileMenu->addAction(QStringLiteral("&Quit"), qApp, &QApplication::closeAllWindows);
    quit->setShortcut(QKeySequence::Quit);
    auto *toolsMenu = menuBar()->addMenu(QStringLiteral("&Tools"));
    toolsMenu->addAction(QStringLiteral("&Options..."), this, &FrontDesk::showOptions)
        ->setObjectName(QStringLiteral("mnuOptions"));
    // The foot switch: which action each button asks for, and assigning one.
    toolsMenu->addSeparator();
    const std::pair<const char *, qint16> footSwitch[] = {
        {"Test the &foot switch...", -1}, {"Foot switch button: &Capture...", 0}, {"Foot switch button: F&reeze...", 1}};
    for (const auto &[caption, mode] : footSwitch) {
        toolsMenu->addAction(QString::fromLatin1(caption), this, [this, mode = mode] {
            QWidget *owner = this;
            m_manager.OpenJoyToy(mode, owner);
        });
    }
    auto *libraryMenu = menuBar()->addMenu(QStringLiteral("&Library"));
    libraryMenu->addAction(QStringLiteral("&Documents"), this, &FrontDesk::openDocuments);
    libraryMenu->addAction(QStringLiteral("&Practice library"), this, &FrontDesk::openPracticeLibrary);

    statusBar()->showMessage(where);

    connect(m_search, &QLineEdit::textChanged, m_patientFilter,
            &QSortFilterProxyModel::setFilterFixedString);
    m_search->installEventFilter(this);
    connect(m_documents, &QPushButton::clicked, this, &FrontDesk::openDocuments);
    connect(m_practice, &QPushButton::clicked, this, &FrontDesk::openPracticeLibrary);
    connect(m_visitReport, &QPushButton::clicked, this, &FrontDesk::openVisitReport);
    connect(m_patientView, &QTableView::activated, this, &FrontDesk::openDocuments);
    connect(m_bookView, &QTableView::activated, this, &FrontDesk::openBook);
    connect(m_patientView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FrontDesk::updateButtons);

    m_patientFilter->setSortRole(kSortRole);
    m_patientFilter->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_books->setSortRole(kSortRole);
    // By name until the user picks another column.
    m_patientView->sortByColumn(1, Qt::AscendingOrder);
    m_bookView->sortByColumn(1, Qt::AscendingOrder);
    resize(900, 560);
    Internal::rememberPlacement(this, QStringLiteral("FrontDesk"), nullptr);
    reload();
    m_loaded = true;
}

void FrontDesk::reload()
{
    Internal::trapErrors(QStringLiteral("FrontDesk"), [this] {
        m_patients->removeRows(0, m_patients->rowCount());
        m_books->removeRows(0, m_books->rowCount());

        QHash<qint32, QString> bookOfPatient;
        QHash<qint32, QString> patientNames;
        std::unique_ptr<Recordset> rs;
        m_link->FillRecordSet(rs, QStringLiteral("Select Entry_Code , Title , FirstName , LastName , BirthDate From Patients Where ( Entry_Code > 0 ) Order by LastName"));
        for (; rs && rs->isOpen() && !rs->isEof(); rs->moveNext()) {
            const qint32 code = rs->value(QStringLiteral("Entry_Code")).toInt();
            // The book is named without the courtesy title, as the library's
            // own "Add Patient" names it, so it files under the name's letter.
            const QString bookName = QStringList{rs->value(QStringLiteral("FirstName")).toString(),
                                                 rs->value(QStringLiteral("LastName")).toString()}
                                         .join(QLatin1Char(' '))
                                         .simplified();
            const QString name = QString(rs->value(QStringLiteral("Title")).toString()
                                         + QLatin1Char(' ') + bookName).simplified();
            patientNames.insert(code, name);
            const QDate born = rs->value(QStringLiteral("BirthDate")).toDate();
            auto *nameItem = textItem(name);
            nameItem->setData(bookName, Qt::UserRole);
            // Sorted by the name itself; a courtesy title would group Mr before Ms.
            nameItem->setData(bookName.toLower(), kSortRole);
            auto *bornItem = new QStandardItem(QLocale().toString(born, QLocale::ShortFormat));
            bornItem->setData(born, kSortRole);
            m_patients->appendRow({codeItem(code), nameItem, bornItem, textItem(QString())});
        }
        if (rs)
            rs->close();

        m_link->FillRecordSet(rs, QStringLiteral("Select Entry_Code , Description , PatientCode From Books Where ( Entry_Code > 0 ) Order by Description"));
        for (; rs && rs->isOpen() && !rs->isEof(); rs->moveNext()) {
            const qint32 code = rs->value(QStringLiteral("Entry_Code")).toInt();
            const qint32 patient = rs->value(QStringLiteral("PatientCode")).toInt();
            const QString description = rs->value(QStringLiteral("Description")).toString();
            if (patient > 0)
                bookOfPatient.insert(patient, description);
            auto *owner = textItem(patient > 0 ? patientNames.value(patient) : QStringLiteral("Practice"));
            owner->setData(patient, Qt::UserRole);
            m_books->appendRow({codeItem(code), textItem(description), owner});
        }
        if (rs)
            rs->close();

        for (int row = 0; row < m_patients->rowCount(); ++row) {
            const qint32 code = m_patients->item(row, 0)->data(Qt::DisplayRole).toInt();
            const QString book = bookOfPatient.value(code, QStringLiteral("-"));
            m_patients->item(row, 3)->setText(book);
            m_patients->item(row, 3)->setData(book.toLower(), kSortRole);
        }
        m_patientView->resizeColumnsToContents();
        m_bookView->resizeColumnsToContents();
    });
    updateButtons();
}

qint32 FrontDesk::selectedCode(QTableView *view, int *row) const
{
    const QModelIndexList rows = view->selectionModel()->selectedRows(0);
    if (rows.isEmpty())
        return 0;
    if (row)
        *row = rows.first().row();
    return rows.first().data(Qt::DisplayRole).toInt();
}

void FrontDesk::updateButtons()
{
    int row = -1;
    const qint32 code = selectedCode(m_patientView, &row);
    m_documents->setEnabled(code > 0);
    m_visitReport->setEnabled(code > 0);
    m_patientLabel->setText(code > 0 ? m_patientFilter->index(row, 1).data().toString()
                                     : QStringLiteral("No patient selected"));
}

void FrontDesk::openDocuments()
{
    int row = -1;
    const qint32 code = selectedCode(m_patientView, &row);
    if (code <= 0) {
        Internal::DialogService::message(this, QStringLiteral("Select a patient first."));
        return;
    }
    m_manager.ViewLibrary(true, code, m_patientFilter->index(row, 1).data(Qt::UserRole).toString());
}

void FrontDesk::openPracticeLibrary()
{
    m_manager.ViewLibrary(false, 0, QString());
}

void FrontDesk::openBook()
{
    int row = -1;
    if (selectedCode(m_bookView, &row) <= 0)
        return;
    const QModelIndex owner = m_books->index(row, 2);
    const qint32 patient = owner.data(Qt::UserRole).toInt();
    if (patient > 0)
        m_manager.ViewLibrary(true, patient, m_books->index(row, 1).data().toString());
    else
        m_manager.ViewLibrary(false, 0, QString());
}

void FrontDesk::showOptions()
{
    auto host = std::dynamic_pointer_cast<ReferenceHost>(m_link);
    if (!host)
        return;
    OptionsWindow options(host, this);
    Internal::DialogService::showModal(&options);
}

bool FrontDesk::eventFilter(QObject *watched, QEvent *event)
{
    // Enter or Down in the find box goes to the first patient that matches.
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down)
            && m_patientFilter->rowCount() > 0) {
            m_patientView->setFocus();
            m_patientView->selectRow(0);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrontDesk::changeEvent(QEvent *event)
{
    // The library window may have added or removed books meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_loaded)
        reloadKeepingSelection();
    QMainWindow::changeEvent(event);
}

void FrontDesk::reloadKeepingSelection()
{
    const qint32 patient = selectedCode(m_patientView);
    reload();
    if (patient <= 0)
        return;
    for (int row = 0; row < m_patientFilter->rowCount(); ++row) {
        if (m_patientFilter->index(row, 0).data().toInt() == patient) {
            m_patientView->selectRow(row);
            break;
        }
    }
}

void FrontDesk::showFileProperties()
{
    const QString file = Internal::DialogService::openFile(this, QStringLiteral("File Properties"),
                                                           QStringLiteral("All Files (*)"));
    if (!file.isEmpty())
        m_manager.ShowFileProps(this, file);
}

} // namespace tovradocs

namespace tovradocs {

// The report of the patient's last visit: every section, the practice's first
// report definition and the visit's dental chart when one was drawn.
void FrontDesk::openVisitReport()
{
    const qint32 patient = selectedCode(m_patientView);
    if (patient <= 0) {
        Internal::DialogService::message(this, QStringLiteral("Select a patient first."));
        return;
    }
    qint32 visit = 0;
    QDate visitDate;
    QDate birthDate;
    qint32 report = 0;
    std::unique_ptr<Recordset> rs;
    if (m_link->FillRecordSet(rs, QStringLiteral("Select Entry_Code, VisitDate From Visits where (PatientCode = %1) "
                                                 "order by VisitDate desc, Entry_Code desc").arg(patient))
        && rs && !rs->isEof()) {
        visit = rs->value(QStringLiteral("Entry_Code")).toInt();
        visitDate = rs->value(QStringLiteral("VisitDate")).toDate();
    }
    if (visit <= 0) {
        Internal::DialogService::message(this, QStringLiteral("This patient has no visit yet."));
        return;
    }
    if (m_link->FillRecordSet(rs, QStringLiteral("Select BirthDate From Patients where (Entry_Code = %1)").arg(patient))
        && rs && !rs->isEof())
        birthDate = rs->value(QStringLiteral("BirthDate")).toDate();
    if (m_link->FillLibRecordSet(rs, QStringLiteral("Select Entry_Code From PatReports order by Entry_Code")) && rs
        && !rs->isEof())
        report = rs->value(QStringLiteral("Entry_Code")).toInt();
    int age = 0;
    if (birthDate.isValid() && visitDate.isValid()) {
        age = visitDate.year() - birthDate.year();
        if (visitDate < birthDate.addYears(age))
            --age;
    }
    QString chart = Internal::DemoPractice::chartFile(m_link->GetLibraryFilesFolder(), visit);
    if (!QFileInfo::exists(chart))
        chart.clear();
    const auto everySection = PtImageReports(pirComplaints | pirExamination | pirRxAdvised | pirWorkDone
                                             | pirPrescriptions);
    m_manager.RunPatientReportWithImages(everySection, visit, chart, qint16(age), report);
}

} // namespace tovradocs
