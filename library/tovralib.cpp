#include "library/tovralib.h"
#include "library/tovralib_p.h"

#include "component/hostlink.h"
#include "component/keyhandler.h"
#include "controls/imgview.h"
#include "library/importrun.h"
#include "library/librarydata.h"
#include "library/menuman.h"
#include "library/toolbaricons.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace tovradocs::Internal {

namespace tovralib {

const QString kWindowName = QStringLiteral("TovraLib");

int g_openCount = 0;
int g_imageViewingMode = 0;
std::function<bool()> g_printerCheck;

QVariant setting(qint16 number)
{
    DataLink *link = dataLink();
    return link ? link->GetSystemSetting(number) : QVariant();
}

int settingInt(qint16 number, int fallback)
{
    bool ok = false;
    const int value = setting(number).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

bool settingBool(qint16 number)
{
    const QVariant value = setting(number);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        return text == QLatin1String("true") || text == QLatin1String("yes")
               || (text.toInt() != 0);
    }
    return value.toBool();
}

} // namespace tovralib

TovraLib::TovraLib(QWidget *owner)
    : QMainWindow(owner, owner ? Qt::Window : Qt::WindowFlags())
{
    setObjectName(QStringLiteral("TovraLib"));
    setWindowTitle(QStringLiteral("Document Manager"));
    ++tovralib::g_openCount;
    MenuMan::installHook();

    m_includeIndexImage = tovralib::settingBool(130);
    m_viewingMode = tovralib::setting(132).toInt();
    tovralib::g_imageViewingMode = m_viewingMode;
    m_thumbWidth = tovralib::settingInt(57, 120);
    m_thumbHeight = tovralib::settingInt(58, 90);
    if (DataLink *link = dataLink()) {
        trapErrors(tovralib::kWindowName, [&] {
            const QImage icon = link->GetRemoteIcon(0, 130);
            if (!icon.isNull())
                setWindowIcon(QIcon(QPixmap::fromImage(icon)));
        });
        // Copies left by an import that was killed before its rows were stored.
        ImportRun::recoverInterrupted(*link);
        trapErrors(tovralib::kWindowName, [&] { LibraryData::purgeDeletedOnce(*link); });
    }

    buildControls();
    buildToolbars();
    buildMenu();
    KeyHandler::install(this);
    resize(1000, 700);
    rememberPlacement(this, QStringLiteral("TovraLib"), owner);
}

TovraLib::~TovraLib()
{
    // Undo ends with the window.
    putAwayDeletedFiles();
    --tovralib::g_openCount;
    m_gatheredFiles.clear();
}

bool TovraLib::isOpen() { return tovralib::g_openCount > 0; }

int TovraLib::imageViewingMode() { return tovralib::g_imageViewingMode; }

void TovraLib::setPrinterCheck(std::function<bool()> check) { tovralib::g_printerCheck = std::move(check); }

void TovraLib::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);

    m_books = new QComboBox(central);
    m_books->setObjectName(QStringLiteral("cboBooks"));
    m_books->setMinimumContentsLength(24);
    m_books->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto *booksLabel = new QLabel(QStringLiteral("B&ook:"), central);
    booksLabel->setBuddy(m_books);

    auto makeButton = [central](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, central);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        return button;
    };
    m_addBook = makeButton("cmdAddBook", QStringLiteral("Add &Book"));
    m_addPatient = makeButton("cmdAddPatient", QStringLiteral("Add &Patient"));
    m_deleteBook = makeButton("cmdDeleteBook", QStringLiteral("Delete Book"));
    m_refresh = makeButton("cmdRefresh", QStringLiteral("Refresh"));
    m_deleteSelected = makeButton("cmdDelSelPages", QStringLiteral("Delete selected"));
    const QString keptFor = QStringLiteral(" Undo (Ctrl+Z) brings them back while this window is open; "
                                           "their files are then kept %1 days in the library's "
                                           "\"%2\" folder.")
                                .arg(LibraryData::kDeletedKeepDays)
                                .arg(LibraryData::deletedFolderName());
    m_deleteBook->setToolTip(QStringLiteral("Deletes the book with all its pages.") + keptFor);
    m_deleteSelected->setToolTip(QStringLiteral("Deletes the checked pages.") + keptFor);

    m_viewFrame = new QGroupBox(QStringLiteral("View"), central);
    m_viewFrame->setObjectName(QStringLiteral("Frame1"));
    auto *viewLayout = new QHBoxLayout(m_viewFrame);
    viewLayout->setContentsMargins(6, 2, 6, 2);
    m_viewGroup = new QButtonGroup(this);
    const QStringList captions = {QStringLiteral("Patients"), QStringLiteral("Books"),
                                  QStringLiteral("Both")};
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions.at(i), m_viewFrame);
        option->setObjectName(QStringLiteral("optView_") + QString::number(i));
        m_viewGroup->addButton(option, i);
        viewLayout->addWidget(option);
        m_views.append(option);
    }
    m_views.at(2)->setChecked(true);

    m_tabs = new QTabBar(central);
    m_tabs->setObjectName(QStringLiteral("TabAlpha"));
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(true);
    m_tabs->setDrawBase(false);
    // Narrow tabs, so that A to Z and "All" fit across a normal window.
    m_tabs->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 3px 7px; min-width: 14px; margin-right: 1px;"
        " border: 1px solid palette(mid); border-bottom: none;"
        " border-top-left-radius: 3px; border-top-right-radius: 3px; background: palette(button); }"
        "QTabBar::tab:selected { background: palette(base); font-weight: bold; }"));
    for (int n = 1; n < AllBooksTab; ++n)
        m_tabs->addTab(QString(QChar(u'A' + n - 1)));
    m_tabs->addTab(QStringLiteral("All"));
    m_tabs->setCurrentIndex(AllBooksTab - 1);

    m_indexImage = new ImgView(central);
    m_indexImage->setObjectName(QStringLiteral("ImxIndexImage"));
    m_indexImage->setThumbnailMode(128);
    m_indexImage->setFixedSize(96, 72);
    showIndexState();
    connect(m_indexImage, &ImgView::clicked, this, [this](Qt::MouseButton button) {
        if (button == Qt::RightButton)
            showPageMenu(kIndexSlot, QCursor::pos());
        else if (button == Qt::LeftButton)
            viewSlot(kIndexSlot);
    });

    m_pageArea = new QWidget(central);
    m_pageArea->setObjectName(QStringLiteral("PicPages"));
    m_pageArea->setAcceptDrops(true);
    m_pageArea->setAutoFillBackground(true);
    m_pageArea->setBackgroundRole(QPalette::Base);
    m_pageArea->setMinimumSize(200, 160);
    m_pageArea->setFocusPolicy(Qt::StrongFocus);
    m_pageArea->setProperty(KeyHandler::kKeepsEnter, true);
    m_pageArea->setToolTip(QStringLiteral("Arrow keys move between pages, Space chooses, Enter views, "
                                          "the Menu key opens the page menu"));
    m_pageArea->installEventFilter(this);

    m_scroll = new QScrollBar(Qt::Vertical, m_pageArea);
    m_scroll->setObjectName(QStringLiteral("fsbControl"));
    m_scroll->setRange(1, 1);

    auto *topRow = new QHBoxLayout;
    topRow->addWidget(booksLabel);
    topRow->addWidget(m_books, 1);
    topRow->addWidget(m_addBook);
    topRow->addWidget(m_addPatient);
    topRow->addWidget(m_deleteBook);
    topRow->addWidget(m_refresh);
    topRow->addWidget(m_deleteSelected);

    auto *secondRow = new QHBoxLayout;
    secondRow->addWidget(m_viewFrame);
    secondRow->addStretch(1);

    auto *rows = new QVBoxLayout;
    rows->addLayout(topRow);
    rows->addLayout(secondRow);

    auto *header = new QHBoxLayout;
    header->addLayout(rows, 1);
    header->addWidget(m_indexImage, 0, Qt::AlignTop);

    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(header);
    layout->addWidget(m_tabs);
    layout->addWidget(m_pageArea, 1);

    connect(m_books, &QComboBox::currentIndexChanged, this, [this] {
        if (!isBusy(m_books))
            booksClicked();
    });
    connect(m_tabs, &QTabBar::currentChanged, this, [this] {
        if (!isBusy(m_tabs))
            viewOrTabClicked();
    });
    connect(m_viewGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked && !isBusy(m_viewFrame))
            viewOrTabClicked();
    });
    connect(m_scroll, &QScrollBar::valueChanged, this, [this] {
        if (!isBusy(m_scroll))
            drawGrid();
    });
    connect(m_addBook, &QPushButton::clicked, this, [this] { addBook(); });
    connect(m_addPatient, &QPushButton::clicked, this, [this] { addPatient(); });
    connect(m_deleteBook, &QPushButton::clicked, this, [this] { deleteBook(); });
    connect(m_refresh, &QPushButton::clicked, this, [this] { booksClicked(); });
    connect(m_deleteSelected, &QPushButton::clicked, this, [this] { deleteSelectedPages(); });

    layoutGrid();
}

QAction *TovraLib::addCommand(QToolBar *bar, const QString &key, const QString &caption,
                              const QString &toolTip, bool exportBar)
{
    auto *action = new QAction(libraryToolbarIcon(key), caption.isEmpty() ? key : caption, bar);
    action->setObjectName(key);
    action->setData(key);
    action->setToolTip(toolTip.isEmpty() ? key : toolTip);
    action->setStatusTip(action->toolTip());
    connect(action, &QAction::triggered, this, [this, key, exportBar] {
        if (exportBar)
            tbrExportCommand(key);
        else
            tbrLibCommand(key);
    });
    bar->addAction(action);
    // Keys without a caption show only their picture.
    if (caption.isEmpty()) {
        if (auto *button = bar->widgetForAction(action))
            button->setProperty("iconOnly", true);
    }
    m_commands.append(action);
    return action;
}

QToolBar *TovraLib::makeToolbar(const QString &name, Qt::ToolBarArea area)
{
    auto *bar = new QToolBar(name, this);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 24));
    addToolBar(area, bar);
    return bar;
}

void TovraLib::buildToolbars()
{
    QToolBar *left = makeToolbar(QStringLiteral("tbrLeftBar"), Qt::LeftToolBarArea);
    left->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addCommand(left, QStringLiteral("Capture"), QString(), QString(), false);
    addCommand(left, QStringLiteral("Scan"), QString(), QString(), false);
    left->addSeparator();
    addCommand(left, QStringLiteral("Paste Image"), QString(), QString(), false);
    addCommand(left, QStringLiteral("PasteExplorer"), QStringLiteral("Paste from Explorer"),
               QStringLiteral("Paste From Explorer"), false);
    left->addSeparator();
    addCommand(left, QStringLiteral("SerialGrab"), QStringLiteral("Serial Grabber"),
               QStringLiteral("Serial Image Grabber"), false);
    left->addSeparator();
    addCommand(left, QStringLiteral("Load Image"), QString(), QString(), false);
    addCommand(left, QStringLiteral("Load Video"), QString(), QString(), false);
    addCommand(left, QStringLiteral("Add Document"), QString(), QString(), false);
    left->addSeparator();

    QToolBar *lib = makeToolbar(QStringLiteral("tbrLib"), Qt::TopToolBarArea);
    lib->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addCommand(lib, QStringLiteral("Select All"), QStringLiteral("Select All"),
               QStringLiteral("Select All Pages"), false);
    addCommand(lib, QStringLiteral("DeSelect All"), QStringLiteral("DeSelect All"),
               QStringLiteral("DeSelect All Pages"), false);
    lib->addSeparator();
    m_undo = new QAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Undo"), lib);
    m_undo->setObjectName(QStringLiteral("cmdUndoDelete"));
    m_undo->setShortcut(QKeySequence::Undo);
    m_undo->setToolTip(QStringLiteral("Bring back the book or pages just deleted (Ctrl+Z)"));
    m_undo->setEnabled(false);
    connect(m_undo, &QAction::triggered, this, [this] { undoDelete(); });
    lib->addAction(m_undo);
    lib->addSeparator();
    addCommand(lib, QStringLiteral("Close"), QStringLiteral("Close"), QString(), false);

    QToolBar *out = makeToolbar(QStringLiteral("tbrExport"), Qt::TopToolBarArea);
    out->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addCommand(out, QStringLiteral("CopyToExplorer"), QStringLiteral("Copy Explorer"),
               QStringLiteral("Copy Selected files to Windows Explorer"), true);
    addCommand(out, QStringLiteral("SelViewWindow"), QStringLiteral("Compare"),
               QStringLiteral("View Selected Images in one window"), true);
    addCommand(out, QStringLiteral("View Selected Entry"), QStringLiteral("View"),
               QStringLiteral("View Selected Entries in individual windows"), true);
    addCommand(out, QStringLiteral("SelEmail"), QStringLiteral("email"),
               QStringLiteral("Send Selected Documents as email attachments"), true);
    addCommand(out, QStringLiteral("SelPrint"), QStringLiteral("Print"),
               QStringLiteral("Print Selected Images"), true);
    addCommand(out, QStringLiteral("Export DICOM"), QStringLiteral("Export as DICOM"),
               QStringLiteral("Save the selected pictures and mounts as DICOM files"), true);
    out->addSeparator();
    addCommand(out, QStringLiteral("SelViewShow"), QStringLiteral("Slide Show"),
               QStringLiteral("View Selected images as Slideshow"), true);

    // The left bar shows captions only where it has them.
    for (QAction *action : left->actions()) {
        if (action->isSeparator())
            continue;
        if (auto *button = qobject_cast<QToolButton *>(left->widgetForAction(action))) {
            if (!button->property("iconOnly").toBool())
                button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        }
    }
}

// The commands that have no toolbar key of their own are reachable from the menu.
void TovraLib::buildMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Library"));
    menu->setObjectName(QStringLiteral("mnuLibrary"));
    auto add = [this, menu](const QString &caption, const QString &key, const QKeySequence &shortcut) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QStringLiteral("mnu") + QString(key).remove(u' '));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, [this, key] { tbrLibCommand(key); });
    };
    add(QStringLiteral("&Refresh"), QStringLiteral("Refresh"), QKeySequence::Refresh);
    add(QStringLiteral("&Copy Picture"), QStringLiteral("Copy"), QKeySequence::Copy);
    add(QStringLiteral("&Paste Image"), QStringLiteral("Paste Image"), QKeySequence::Paste);
    menu->addSeparator();
    add(QStringLiteral("Edit &Selected"), QStringLiteral("Edit Selected"), QKeySequence());
    add(QStringLiteral("Edit Page &Details"), QStringLiteral("Edit Page Details"), QKeySequence());
    add(QStringLiteral("Edit Slide S&how"), QStringLiteral("Edit Slideshow"), QKeySequence());
    add(QStringLiteral("New &Mount..."), QStringLiteral("New Mount"), QKeySequence());
    add(QStringLiteral("E&xport as DICOM..."), QStringLiteral("Export DICOM"), QKeySequence());
    menu->addSeparator();
    add(QStringLiteral("Select &All"), QStringLiteral("Select All"), QKeySequence::SelectAll);
    add(QStringLiteral("D&eselect All"), QStringLiteral("DeSelect All"), QKeySequence());
    menu->addSeparator();
    add(QStringLiteral("Picture from &Camera"), QStringLiteral("TakeCameraPic"), QKeySequence());
    add(QStringLiteral("Picture from &Imaging Device"), QStringLiteral("GetPicFromImgDevice"),
        QKeySequence());
    menu->addSeparator();
    add(QStringLiteral("C&lose"), QStringLiteral("Close"), QKeySequence::Close);
}

QAction *TovraLib::command(const QString &key) const
{
    for (QAction *action : m_commands)
        if (action->data().toString() == key)
            return action;
    return nullptr;
}

MenuMan *TovraLib::menuMan() { return MenuMan::forWindow(this); }

void TovraLib::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        if (m_books->count() == 0)
            fillBookList(true);
    }
}

bool TovraLib::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pageArea) {
        switch (event->type()) {
        case QEvent::Resize:
            layoutGrid();
            break;
        case QEvent::Wheel: {
            // One notch, one row of pages, whatever the desktop's lines per notch.
            m_wheelRemainder += static_cast<QWheelEvent *>(event)->angleDelta().y();
            const int notches = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
            m_wheelRemainder -= notches * QWheelEvent::DefaultDeltasPerStep;
            if (notches)
                m_scroll->setValue(m_scroll->value() - notches * std::max(1, m_columns));
            return true;
        }
        case QEvent::KeyPress:
            if (gridKey(static_cast<QKeyEvent *>(event)))
                return true;
            break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            if (m_currentPage < 1 && m_pages.count() > 0)
                m_currentPage = m_scroll->value();
            drawGrid();
            break;
        case QEvent::DragEnter: {
            auto *drag = static_cast<QDragEnterEvent *>(event);
            if (drag->mimeData()->hasUrls() && hasBook()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            if (drop->mimeData()->hasUrls()) {
                drop->acceptProposedAction();
                gatherFiles(drop->mimeData()->urls());
                importGathered();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

BookView TovraLib::chosenView() const
{
    switch (m_viewGroup->checkedId()) {
    case 0:
        return BookView::Patients;
    case 1:
        return BookView::Books;
    default:
        return BookView::Both;
    }
}

int TovraLib::chosenTab() const { return m_tabs->currentIndex() + 1; }

bool TovraLib::hasBook() const { return m_books->currentIndex() >= 0; }

qint32 TovraLib::currentBookCode() const
{
    return hasBook() ? m_books->currentData().toInt() : 0;
}

QString TovraLib::currentBookName() const { return hasBook() ? m_books->currentText() : QString(); }

void TovraLib::fillBookList(bool selectFirst)
{
    clearGrid();
    m_pages = PageTable();
    m_indexImage->setFileName(QString());
    m_indexRow.reset();
    m_indexMarked = false;
    showIndexState();
    {
        BusyMark busy(m_books);
        m_books->clear();
        withLibrary([&](LibraryData &data) {
            const QList<BookItem> books = data.listBooks(chosenView(), chosenTab());
            for (const BookItem &book : books)
                m_books->addItem(book.description, book.code);
        });
        m_books->setCurrentIndex(-1);
    }
    m_books->setProperty("tag", QVariant());
    if (selectFirst && m_books->count() > 0)
        m_books->setCurrentIndex(0); // loads its pages
}

void TovraLib::booksClicked()
{
    if (hasBook())
        loadPages();
}

void TovraLib::viewOrTabClicked() { fillBookList(true); }

void TovraLib::openPatientBook(qint32 patientCode, const QString &patientName, bool notice)
{
    qint32 code = 0;
    QString name = patientName;
    const bool done = withLibrary([&](LibraryData &data) {
        if (const std::optional<BookItem> book = data.findPatientBook(patientCode)) {
            code = book->code;
            name = book->description;
            if (notice)
                notify(QStringLiteral("Patient : ") + patientName
                       + QStringLiteral("'s documents are already included in the book :") + name);
        } else {
            code = data.addBook(patientName, patientCode);
        }
    });
    if (!done || code <= 0)
        return;

    const int tab = tabForName(name);
    {
        BusyMark busy(m_tabs);
        m_tabs->setCurrentIndex(tab - 1);
    }
    if (chosenView() == BookView::Books) {
        BusyMark busy(m_viewFrame);
        m_views.at(0)->setChecked(true);
    }
    fillBookList(false);
    if (selectComboByItemData(m_books, code, true))
        loadPages();
}

void TovraLib::DisplayData(bool bPatientsOnly, qint32 PatientID, const QString &PatientName)
{
    if (bPatientsOnly && PatientID > 0)
        openPatientBook(PatientID, PatientName, false);
    show();
    raise();
    activateWindow();
}

void TovraLib::RefreshDocuments()
{
    if (!isBusy(m_books) && hasBook())
        loadPages();
}

} // namespace tovradocs::Internal
