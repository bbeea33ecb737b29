#include "library/tovralib.h"
#include "printing/previewer.h"

#include "component/dialogservice.h"
#include "library/acquisitionhooks.h"
#include "component/hostlink.h"
#include "component/fileprobe.h"
#include "component/filetypes.h"
#include "component/imageloader.h"
#include "component/keyhandler.h"
#include "component/twips.h"
#include "controls/imgview.h"
#include "library/entryopeners.h"
#include "library/librarydata.h"
#include "library/menuman.h"
#include "library/entrydrag.h"
#include "library/mountcommands.h"
#include "library/toolbaricons.h"
#include "viewers/viewimg.h"
#include "viewers/singleimageview.h"

#include "library/entrydetails.h"
#include "library/picselector.h"
#include "library/vidselector.h"
#include "library/addmultipledocs.h"
#include "library/clipboardfiles.h"
#include "library/importrun.h"
#include "library/serialgrabber.h"

#include <tovradocs/dokument.h>
#include <tovradocs/dokumentz.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QUrl>
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

// Grid rules in twips, as the layout has always been described.
constexpr int kGridOrigin = 5;
constexpr int kCheckGap = 100;
constexpr int kCheckHeight = 480;
constexpr int kCellExtraWidth = 100;
constexpr int kCellExtraHeight = 680;

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
    --tovralib::g_openCount;
    m_gatheredFiles.clear();
}

bool TovraLib::isOpen() { return tovralib::g_openCount > 0; }

int TovraLib::imageViewingMode() { return tovralib::g_imageViewingMode; }

void TovraLib::setPrinterCheck(std::function<bool()> check) { tovralib::g_printerCheck = std::move(check); }

template<typename F>
bool TovraLib::withLibrary(F &&fn)
{
    DataLink *link = dataLink();
    if (!link)
        return false;
    return trapErrors(tovralib::kWindowName, [&] {
        LibraryData data(*link);
        fn(data);
    });
}

// ---------------------------------------------------------------- building

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
    m_indexImage->setToolTip(QStringLiteral("Index picture of the book"));
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

// ---------------------------------------------------------------- grid

void TovraLib::placeScrollBar()
{
    const int width = m_scroll->sizeHint().width();
    m_scroll->setGeometry(m_pageArea->width() - width, 0, width, m_pageArea->height());
}

void TovraLib::layoutGrid()
{
    placeScrollBar();
    const int thumbW = pixelsToTwips(m_thumbWidth);
    const int thumbH = pixelsToTwips(m_thumbHeight);
    const int cellW = thumbW + tovralib::kCellExtraWidth;
    const int cellH = thumbH + tovralib::kCellExtraHeight;
    const int areaW = pixelsToTwips(m_pageArea->width());
    const int areaH = pixelsToTwips(m_pageArea->height());
    const int scrollW = pixelsToTwips(m_scroll->width());
    const int rows = std::max(1, areaH / cellH);
    const int columns = std::max(1, (areaW - scrollW) / cellW);

    if (rows * columns != m_slots.size()) {
        // More or fewer slots: make them again; the first page shown stays.
        for (const Slot &slot : std::as_const(m_slots)) {
            delete slot.picture;
            delete slot.check;
        }
        m_slots.clear();
        for (int i = 0; i < rows * columns; ++i) {
            Slot slot;
            slot.picture = new ImgView(m_pageArea);
            slot.picture->setObjectName(QStringLiteral("ImxPics_") + QString::number(i));
            slot.picture->setThumbnailMode(std::max(m_thumbWidth, m_thumbHeight));
            slot.picture->setCursor(Qt::PointingHandCursor);
            enableEntryDrag(slot.picture);
            slot.picture->hide();
            slot.check = new QCheckBox(m_pageArea);
            slot.check->setObjectName(QStringLiteral("chkEntries_") + QString::number(i));
            slot.check->setToolTip(QStringLiteral("Click to toggle selection"));
            slot.check->hide();
            connect(slot.check, &QCheckBox::clicked, this,
                    [this, i](bool checked) { checkClicked(i, checked); });
            connect(slot.picture, &ImgView::clicked, this,
                    [this, i](Qt::MouseButton button) { pictureClicked(i, button); });
            m_slots.append(slot);
        }
    }
    m_rows = rows;
    m_columns = columns;
    for (int i = 0; i < m_slots.size(); ++i) {
        const int left = tovralib::kGridOrigin + (i % columns) * cellW;
        const int top = tovralib::kGridOrigin + (i / columns) * cellH;
        m_slots[i].picture->setGeometry(twipsToPixels(QRect(left, top, thumbW, thumbH)));
        m_slots[i].check->setGeometry(
            twipsToPixels(QRect(left, top + thumbH + tovralib::kCheckGap, thumbW, tovralib::kCheckHeight)));
    }
    m_scroll->raise();
    if (!m_pages.isEmpty()) {
        setScrollRange();
        drawGrid();
    }
}

void TovraLib::clearGrid()
{
    for (const Slot &slot : std::as_const(m_slots)) {
        slot.picture->hide();
        slot.picture->setFileName(QString());
        slot.picture->setCaption(QString());
        slot.picture->setTag(QString());
        slot.check->hide();
        slot.check->setProperty("tag", QVariant());
    }
}

void TovraLib::setScrollRange()
{
    BusyMark busy(m_scroll);
    const int slots = int(m_slots.size());
    const int count = m_pages.count();
    const int value = m_scroll->value();
    m_scroll->setMinimum(1);
    // One more than count - slots, or the last page could never be scrolled to.
    m_scroll->setMaximum(std::max(1, count - slots + 1));
    m_scroll->setPageStep(count > slots ? slots : 1);
    m_scroll->setSingleStep(std::max(1, m_columns));
    m_scroll->setValue(std::clamp(value, 1, m_scroll->maximum()));
}

void TovraLib::drawGrid()
{
    const int first = m_scroll->value();
    const QFontMetrics metrics(font());
    for (int i = 0; i < m_slots.size(); ++i) {
        const Slot &slot = m_slots.at(i);
        const int page = first + i;
        if (page > m_pages.count()) {
            slot.picture->setSelected(false);
            slot.picture->setCurrent(false);
            slot.picture->hide();
            slot.picture->setFileName(QString());
            slot.check->hide();
            slot.check->setProperty("tag", QVariant());
            continue;
        }
        const QString code = m_pages.at(PageTable::EntryCodeRow, page);
        const QString description = m_pages.at(PageTable::DescriptionRow, page);
        slot.check->setToolTip(description);
        slot.check->setText(metrics.elidedText(description, Qt::ElideRight,
                                               std::max(0, slot.check->width() - 24)));
        const bool chosen = m_pages.at(PageTable::SelectedRow, page) == QLatin1String("1");
        slot.check->setChecked(chosen);
        slot.picture->setSelected(chosen);
        slot.picture->setCurrent(page == m_currentPage && m_pageArea->hasFocus());
        slot.check->setProperty("tag", code);
        slot.picture->setTag(code);
        const int type = m_pages.at(PageTable::EntryTypeRow, page).toInt();
        const QString file = localLibraryPath(m_pages.at(PageTable::FileNameRow, page));
        if (type == 1) {
            slot.picture->setCaption(QString());
            slot.picture->setFileName(file);
        } else if (type == 2 || classifyFile(file) == 5) {
            // A video shows a frame and a PDF its first page; the caption
            // still names the kind, for a file that cannot be drawn.
            slot.picture->setCaption(type == 2 ? QStringLiteral("Video") : QStringLiteral("Document"));
            slot.picture->setFileName(file);
        } else {
            slot.picture->setFileName(QString());
            slot.picture->setCaption(isMountFile(file) ? QStringLiteral("Mount") : QStringLiteral("Document"));
        }
        slot.picture->setPlayMark(type == 2);
        slot.picture->setToolTip(description);
        slot.picture->show();
        slot.check->show();
    }
}

// The page-table row behind a slot, or behind the index picture box.
std::optional<PageTable::Page> TovraLib::rowOfSlot(int slot) const
{
    if (slot == kIndexSlot)
        return m_indexRow;
    if (const int page = pageOfSlot(slot))
        return m_pages.pages.at(page - 1);
    return std::nullopt;
}

int TovraLib::pageOfSlot(int slot) const
{
    if (slot < 0 || slot >= m_slots.size())
        return 0;
    const QVariant tag = m_slots.at(slot).check->property("tag");
    if (!tag.isValid() || tag.toString().isEmpty())
        return 0;
    return m_pages.pageOf(tag.toInt());
}

void TovraLib::checkClicked(int slot, bool checked)
{
    if (const int page = pageOfSlot(slot)) {
        m_pages.at(PageTable::SelectedRow, page) = checked ? QStringLiteral("1") : QStringLiteral("0");
        m_slots.at(slot).picture->setSelected(checked);
    }
}

void TovraLib::pictureClicked(int slot, Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        showPageMenu(slot, QCursor::pos());
    else
        viewSlot(slot);
}

void TovraLib::viewSlot(int slot)
{
    const std::optional<PageTable::Page> row = rowOfSlot(slot);
    if (!row)
        return;
    ViewEntry(row->at(PageTable::FileNameRow - 1), row->at(PageTable::DescriptionRow - 1),
              qint16(row->at(PageTable::EntryTypeRow - 1).toInt()), false);
}

void TovraLib::showPageMenu(int slot, const QPoint &globalPos)
{
    const std::optional<PageTable::Page> row = rowOfSlot(slot);
    if (!row)
        return;
    ImgView *tile = slot == kIndexSlot ? m_indexImage : m_slots.at(slot).picture;
    if (MenuMan *menu = menuMan())
        menu->ShowLibMenu(this, tile, slot, false, qint16(row->at(PageTable::EntryTypeRow - 1).toInt()),
                          row->at(PageTable::FileNameRow - 1), row->at(PageTable::DescriptionRow - 1),
                          globalPos);
}

// With the index picture left out of the grid, its box stands in for the
// page, so the picture can still be viewed, printed, edited or deleted.
void TovraLib::findIndexRow()
{
    m_indexRow.reset();
    const QString file = m_indexImage->fileName();
    if (m_includeIndexImage || file.isEmpty() || !hasBook())
        return;
    const qint32 book = currentBookCode();
    withLibrary([&](LibraryData &data) {
        const PageTable all = data.loadPages(book, true);
        for (const PageTable::Page &row : all.pages) {
            if (localLibraryPath(row.at(PageTable::FileNameRow - 1)) == file) {
                m_indexRow = row;
                return;
            }
        }
    });
}

// The page grid by keyboard: arrows move, Space chooses, Enter views, the
// Menu key or Shift+F10 opens the page menu.
bool TovraLib::gridKey(QKeyEvent *event)
{
    const int count = m_pages.count();
    if (count == 0 || m_slots.isEmpty())
        return false;
    const int columns = std::max(1, m_columns);
    const int current = std::clamp(m_currentPage, 1, count);
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    int target = current;
    switch (event->key()) {
    case Qt::Key_Left: target = current - 1; break;
    case Qt::Key_Right: target = current + 1; break;
    case Qt::Key_Up: target = current - columns; break;
    case Qt::Key_Down: target = current + columns; break;
    case Qt::Key_PageUp: target = current - int(m_slots.size()); break;
    case Qt::Key_PageDown: target = current + int(m_slots.size()); break;
    case Qt::Key_Home: target = 1; break;
    case Qt::Key_End: target = count; break;
    case Qt::Key_Space: {
        m_currentPage = current;
        QString &flag = m_pages.at(PageTable::SelectedRow, current);
        flag = flag == QLatin1String("1") ? QStringLiteral("0") : QStringLiteral("1");
        drawGrid();
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods != Qt::NoModifier)
            return false;
        m_currentPage = current;
        viewSlot(current - m_scroll->value());
        return true;
    case Qt::Key_Menu:
    case Qt::Key_F10:
        if (event->key() == Qt::Key_F10 && mods != Qt::ShiftModifier)
            return false;
        m_currentPage = current;
        if (const int slot = current - m_scroll->value(); slot >= 0 && slot < m_slots.size()) {
            ImgView *tile = m_slots.at(slot).picture;
            showPageMenu(slot, tile->mapToGlobal(tile->rect().center()));
        }
        return true;
    default:
        return false;
    }
    m_currentPage = std::clamp(target, 1, count);
    // Scroll by whole rows until the page is on the screen.
    int first = m_scroll->value();
    while (m_currentPage < first)
        first -= columns;
    while (m_currentPage >= first + m_slots.size())
        first += columns;
    first = std::clamp(first, 1, m_scroll->maximum());
    if (first != m_scroll->value())
        m_scroll->setValue(first); // redraws
    else
        drawGrid();
    return true;
}

void TovraLib::setAllSelected(bool selected)
{
    const QString flag = selected ? QStringLiteral("1") : QStringLiteral("0");
    for (auto &page : m_pages.pages)
        page[PageTable::SelectedRow - 1] = flag;
    for (const Slot &slot : std::as_const(m_slots))
        if (slot.check->isVisible() || slot.check->property("tag").isValid()) {
            slot.check->setChecked(selected);
            slot.picture->setSelected(selected);
        }
}

QList<int> TovraLib::selectedPages() const
{
    QList<int> pages;
    for (int page = 1; page <= m_pages.count(); ++page)
        if (m_pages.at(PageTable::SelectedRow, page) == QLatin1String("1"))
            pages.append(page);
    return pages;
}

MenuMan *TovraLib::menuMan() { return MenuMan::forWindow(this); }

// ---------------------------------------------------------------- events

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

// ---------------------------------------------------------------- books

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

void TovraLib::addBook()
{
    const std::optional<QString> answer =
        DialogService::input(this, QStringLiteral("Your Book Name here"),
                             QStringLiteral("Enter Book Name"));
    const QString name = answer.value_or(QString()).trimmed();
    if (name.isEmpty())
        return;
    bool taken = false;
    withLibrary([&](LibraryData &data) {
        const QList<BookItem> books = data.listBooks(BookView::Both, AllBooksTab);
        taken = std::any_of(books.cbegin(), books.cend(), [&](const BookItem &book) {
            return book.description.trimmed().compare(name, Qt::CaseInsensitive) == 0;
        });
    });
    if (taken
        && DialogService::message(this,
                                  QStringLiteral("A book named \"%1\" already exists. Add a second "
                                                 "book with the same name?").arg(name),
                                  QStringLiteral("Add Book"), Buttons::YesNo, Severity::Question)
               != Answer::Yes)
        return;
    qint32 code = 0;
    if (!withLibrary([&](LibraryData &data) { code = data.addBook(name, 0); }) || code <= 0)
        return;
    forgetUndo();
    m_books->addItem(name, code);
    m_books->setCurrentIndex(m_books->count() - 1);
}

void TovraLib::addPatient()
{
    DataLink *link = dataLink();
    if (!link)
        return;
    QString name;
    qint32 code = 0;
    if (!trapErrors(tovralib::kWindowName, [&] { code = link->GetPatientData(name); }))
        return;
    if (code > 0)
        openPatientBook(code, name, true);
}

void TovraLib::deleteBook()
{
    if (!hasBook())
        return;
    const qint32 code = currentBookCode();
    DeletedRows removed;
    if (!withLibrary([&](LibraryData &data) {
            removed = data.bookRows(code);
            data.deleteBook(code);
        }))
        return;
    keepForUndo(std::move(removed), code);
    {
        BusyMark busy(m_books);
        m_books->removeItem(m_books->currentIndex());
    }
    fillBookList(true);
}

void TovraLib::deleteSelectedPages()
{
    if (!hasBook())
        return;
    const QList<int> pages = selectedPages();
    if (pages.isEmpty())
        return;
    QList<qint32> codes;
    for (int page : pages)
        codes.append(m_pages.at(PageTable::EntryCodeRow, page).toInt());
    DeletedRows removed;
    const qint32 book = currentBookCode();
    withLibrary([&](LibraryData &data) {
        removed = data.pageRows(codes);
        for (qint32 code : std::as_const(codes))
            data.deletePage(code);
    });
    keepForUndo(std::move(removed), book);
    loadPages();
}

// The delete buttons act at once; this makes a misclick cheap to take back.
void TovraLib::keepForUndo(DeletedRows rows, qint32 bookCode)
{
    m_undoRows = std::move(rows);
    m_undoBook = bookCode;
    m_undo->setEnabled(!m_undoRows.isEmpty());
}

void TovraLib::forgetUndo()
{
    m_undoRows = DeletedRows();
    m_undo->setEnabled(false);
}

void TovraLib::undoDelete()
{
    if (m_undoRows.isEmpty())
        return;
    const DeletedRows rows = std::exchange(m_undoRows, DeletedRows());
    m_undo->setEnabled(false);
    if (!withLibrary([&](LibraryData &data) { data.restore(rows); }))
        return;
    if (!rows.books.isEmpty())
        fillBookList(false);
    if (!selectComboByItemData(m_books, m_undoBook, true))
        return;
    loadPages();
}

// ---------------------------------------------------------------- pages

void TovraLib::loadPages()
{
    clearGrid();
    const qint32 code = currentBookCode();
    m_pages = PageTable();
    m_indexImage->setFileName(QString());
    withLibrary([&](LibraryData &data) {
        m_indexImage->setFileName(localLibraryPath(data.indexPicture(code)));
        data.readPages(code, m_includeIndexImage, m_pages);
    });
    m_currentPage = m_pages.count() > 0 ? 1 : 0;
    findIndexRow();
    {
        BusyMark busy(m_scroll);
        m_scroll->setValue(1);
    }
    setScrollRange();
    drawGrid();
}

void TovraLib::ViewEntry(const QString &FileName, const QString &Description, qint16 EntryType,
                         bool bFullScreen)
{
    if (EntryType == 1 || EntryType == 2) {
        // An empty viewer or a silent player would only puzzle; say what is
        // wrong with the file.
        const FileProbe probe = inspectFile(localLibraryPath(FileName));
        if (!probe.ok()) {
            DialogService::message(this,
                                   QStringLiteral("%1: %2\n%3\n%4")
                                       .arg(Description.isEmpty() ? QStringLiteral("This page") : Description,
                                            problemLabel(probe.problem, EntryType), probe.reason,
                                            QDir::toNativeSeparators(localLibraryPath(FileName))),
                                   QString(), Buttons::Ok, Severity::Warning);
            return;
        }
    }
    trapErrors(tovralib::kWindowName, [&] {
        if (EntryType == 1) {
            if (bFullScreen) {
                auto *viewer = new ViewImg(this);
                viewer->ViewSingleImage(FileName, Description);
                viewer->ViewFullScreen();
            } else if (m_viewingMode != 5) {
                using SingleView = SingleImageView;
                auto *view = qobject_cast<SingleView *>(m_singleView.data());
                if (!view) {
                    view = new SingleView(this);
                    m_singleView = view;
                }
                view->ViewSingleImage(FileName, Description);
            } else {
                (new ViewImg(this))->ViewSingleImage(FileName, Description);
            }
        } else if (EntryType == 2) {
            openInVideoPlayer(FileName, Description, this);
        } else if (isMountFile(FileName)) {
            openMountEntry(this, currentBookCode(), FileName);
        } else {
            openOtherDocument(FileName, Description);
        }
    });
}

void TovraLib::PrintImages(int index, bool singlePage)
{
    const bool printer = tovralib::g_printerCheck ? tovralib::g_printerCheck() : defaultPrinterAvailable();
    if (!printer) {
        DialogService::message(this, QStringLiteral("Default Printer not available !"));
        return;
    }
    if ((index >= 0 || index == kIndexSlot) && singlePage) {
        if (const std::optional<PageTable::Page> row = rowOfSlot(index)) {
            PageTable one;
            one.pages.append(*row);
            one.at(PageTable::SelectedRow, 1) = QStringLiteral("1");
            Previewer(this).ShowPrintPreview(one, 0, 1);
        }
        return;
    }
    int printable = 0;
    int selected = 0;
    for (int page = 1; page <= m_pages.count(); ++page) {
        if (m_pages.at(PageTable::EntryTypeRow, page).toInt() != 1
            || !QFileInfo::exists(localLibraryPath(m_pages.at(PageTable::FileNameRow, page))))
            continue;
        ++printable;
        if (m_pages.at(PageTable::SelectedRow, page) == QLatin1String("1"))
            ++selected;
    }
    if (selected == 0) {
        if (printable == 0) {
            DialogService::message(this, QStringLiteral("No images available for print ! "));
            return;
        }
        if (DialogService::message(this,
                                   QStringLiteral("No images selected !\nDo you want to print all images ?"),
                                   QString(), Buttons::YesNo, Severity::Question)
            != Answer::Yes)
            return;
    }
    // Printing never changes the library's own selection.
    PageTable chosen = m_pages;
    if (selected == 0) {
        for (int page = 1; page <= chosen.count(); ++page)
            chosen.at(PageTable::SelectedRow, page) = QStringLiteral("1");
    }
    Previewer(this).ShowPrintPreview(chosen, 0, qint16(chosen.count()));
}

void TovraLib::SetIndexImage(int index)
{
    const std::optional<PageTable::Page> row = rowOfSlot(index);
    if (!row || !hasBook() || index == kIndexSlot)
        return;
    if (!m_indexImage->fileName().isEmpty()) {
        const Answer answer = DialogService::message(
            this,
            QStringLiteral("Index Image has already been assigned to this entry.\nDo you want to replace it ?"),
            QString(), Buttons::YesNo, Severity::Question);
        if (answer != Answer::Yes)
            return;
    }
    const qint32 book = currentBookCode();
    const qint32 entry = row->at(PageTable::EntryCodeRow - 1).toInt();
    const QString file = row->at(PageTable::FileNameRow - 1);
    if (withLibrary([&](LibraryData &data) { data.setIndexImage(book, entry); })) {
        // Left out of the grid, the new index picture leaves it: read the book again.
        if (!m_includeIndexImage)
            loadPages();
        else
            m_indexImage->setFileName(localLibraryPath(file));
    }
}

void TovraLib::EditPageDetails(int index)
{
    if (index == kIndexSlot) {
        if (const std::optional<PageTable::Page> row = rowOfSlot(index)) {
            trapErrors(tovralib::kWindowName, [&] {
                EntryDetails details(this);
                details.EditLibraryEntry(row->at(PageTable::EntryCodeRow - 1).toInt(),
                                         currentBookName(), this);
            });
            loadPages();
        }
        return;
    }
    if (const int page = pageOfSlot(index))
        editPage(page);
}

void TovraLib::editPage(int page)
{
    if (page < 1 || page > m_pages.count())
        return;
    const qint32 code = m_pages.at(PageTable::EntryCodeRow, page).toInt();
    QString description;
    trapErrors(tovralib::kWindowName, [&] {
        EntryDetails details(this);
        description = details.EditLibraryEntry(code, currentBookName(), this);
    });
    if (description.isEmpty())
        return;
    // The page may have gone while the editor was open.
    if (page <= m_pages.count() && m_pages.at(PageTable::EntryCodeRow, page).toInt() == code) {
        m_pages.at(PageTable::DescriptionRow, page) = description;
        drawGrid();
    }
}

qint32 TovraLib::newEntryCode()
{
    DataLink *link = dataLink();
    return link ? link->GenerateEntrycode(false, QStringLiteral("BookContents"),
                                          QStringLiteral("Entry_code"))
                : 0;
}

void TovraLib::DuplicateEntry(int index)
{
    const std::optional<PageTable::Page> row = rowOfSlot(index);
    if (!row || !hasBook())
        return;
    const qint32 entry = row->at(PageTable::EntryCodeRow - 1).toInt();
    const qint32 book = currentBookCode();
    std::optional<QString> failure;
    const bool ran = withLibrary([&](LibraryData &data) {
        const Result<qint32> copy = data.duplicateEntry(entry, book);
        if (!copy.ok())
            failure = copy.error();
    });
    if (failure)
        DialogService::message(this, *failure, QString(), Buttons::Ok, Severity::Warning);
    if (ran && !failure) {
        forgetUndo();
        loadPages();
    }
}

void TovraLib::OpenInExternalEditor(int index)
{
    const std::optional<PageTable::Page> row = rowOfSlot(index);
    if (!row)
        return;
    const QString editor = tovralib::setting(164).toString().trimmed();
    if (editor.isEmpty()) {
        DialogService::message(this, QStringLiteral("You need to define an external Image Editor "
                                                    "under the Library section in the Options window"));
        return;
    }
    // The setting may carry arguments; split as a command line, never by a
    // shell, and the path is one argument whatever characters it holds.
    const QString file = localLibraryPath(row->at(PageTable::FileNameRow - 1));
    QStringList arguments;
    QString program = editor;
    // A program path with blanks in it is taken whole; anything else as a command line.
    if (!QFileInfo(editor).isExecutable()) {
        arguments = QProcess::splitCommand(editor);
        program = arguments.isEmpty() ? editor : arguments.takeFirst();
    }
    arguments << file;
    if (!QProcess::startDetached(program, arguments))
        DialogService::message(this, QStringLiteral("The external editor \"%1\" could not be started.")
                                         .arg(editor),
                               QString(), Buttons::Ok, Severity::Warning);
}

// ---------------------------------------------------------------- commands

qint32 TovraLib::addEntry(qint16 entryType, const QString &fileName)
{
    if (fileName.isEmpty() || !hasBook())
        return 0;
    const qint32 book = currentBookCode();
    const QString bookName = currentBookName();
    qint32 added = 0;
    trapErrors(tovralib::kWindowName, [&] {
        EntryDetails details(this);
        QString description;
        added = details.AddLibraryEntry(entryType, bookName, book, fileName, description, this);
    });
    if (added)
        forgetUndo();
    RefreshDocuments();
    return added;
}

void TovraLib::pasteImage()
{
    DataLink *link = dataLink();
    if (!link || !hasBook())
        return;
    QString path;
    QPointer<ViewImg> viewer;
    const bool ran = trapErrors(tovralib::kWindowName, [&] {
        const qint32 key = newEntryCode();
        QString extension = link->GetSystemSetting(61).toString().trimmed();
        if (extension.isEmpty())
            extension = QStringLiteral("jpg");
        const QString target = link->NextFileName(1, currentBookCode(), key, extension);
        viewer = new ViewImg(this);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        path = viewer->PasteNSaveImage(target);
        if (path.isEmpty())
            viewer->deleteLater(); // nothing was shown
    });
    if (!ran || path.isEmpty())
        return;
    if (addEntry(1, path) != 0)
        return;
    // The entry was never saved: the picture we wrote belongs to nothing.
    if (viewer)
        viewer->close();
    QFile::remove(localLibraryPath(path));
}

void TovraLib::editSelected()
{
    bool imageOpened = false;
    for (int page : selectedPages()) {
        const QString file = m_pages.at(PageTable::FileNameRow, page);
        const QString description = m_pages.at(PageTable::DescriptionRow, page);
        switch (m_pages.at(PageTable::EntryTypeRow, page).toInt()) {
        case 1:
            // One image editor at a time.
            if (!imageOpened) {
                imageOpened = true;
                openInImageEditor(file, this);
            }
            break;
        case 2:
            openInVideoPlayer(file, description, this);
            break;
        default:
            openOtherDocument(file, description);
            break;
        }
    }
}

void TovraLib::copyFirstChecked()
{
    for (const Slot &slot : std::as_const(m_slots)) {
        if (slot.check->isVisible() && slot.check->isChecked()) {
            if (!slot.picture->copyToClipboard())
                notify(QStringLiteral("The picture could not be copied to the clipboard."));
            return;
        }
    }
}

void TovraLib::viewSelectedEntries()
{
    for (int page : selectedPages()) {
        const QString file = m_pages.at(PageTable::FileNameRow, page);
        const QString description = m_pages.at(PageTable::DescriptionRow, page);
        const int type = m_pages.at(PageTable::EntryTypeRow, page).toInt();
        trapErrors(tovralib::kWindowName, [&] {
            if (type == 1)
                (new ViewImg(this))->ViewSingleImage(file, description);
            else if (type == 2)
                openInVideoPlayer(file, description, this);
            else
                openOtherDocument(file, description);
        });
    }
}

std::unique_ptr<Dokumentz> TovraLib::collectDocuments(bool allPages) const
{
    auto documents = std::make_unique<Dokumentz>();
    documents->DefDocumentType = 1;
    documents->DefFileType = 1;
    documents->DefSourceID = currentBookCode();
    for (int page = 1; page <= m_pages.count(); ++page) {
        const int type = m_pages.at(PageTable::EntryTypeRow, page).toInt();
        if (type != 1 && type != 2)
            continue;
        if (!allPages && m_pages.at(PageTable::SelectedRow, page) != QLatin1String("1"))
            continue;
        const QString code = m_pages.at(PageTable::EntryCodeRow, page);
        auto document = documents->Add(code.toInt(), m_pages.at(PageTable::FileNameRow, page),
                                       QString(), documents->DefDocumentType,
                                       documents->DefFileType, documents->DefSourceTable,
                                       documents->DefSourceID, code + QStringLiteral("ND"));
        document->Description = m_pages.at(PageTable::DescriptionRow, page);
        document->SlideTransition = qint16(m_pages.at(PageTable::CTEffectRow, page).toInt());
    }
    return documents;
}

void TovraLib::emailSelected()
{
    DataLink *link = dataLink();
    if (!link || m_pages.isEmpty())
        return;
    trapErrors(tovralib::kWindowName, [&] {
        std::unique_ptr<Dokumentz> documents = collectDocuments(false);
        link->EmailDocuments(*documents);
    });
}

void TovraLib::copyToFileManager()
{
    const std::unique_ptr<Dokumentz> documents = collectDocuments(false);
    if (documents->Count() == 0) {
        DialogService::message(this, QStringLiteral("You need to select at least one document !"));
        return;
    }
    QStringList paths;
    for (const Dokument &document : *documents)
        paths.append(localLibraryPath(document.FileName));
    QGuiApplication::clipboard()->setMimeData(mimeDataForFiles(paths));
    const int count = documents->Count();
    DialogService::message(this, QString::number(count) + QStringLiteral(" file")
                                      + (count >= 2 ? QStringLiteral("s") : QString())
                                      + QStringLiteral(" copied to clipboard !"));
}

void TovraLib::gatherFiles(const QList<QUrl> &urls)
{
    m_gatheredFiles.clear();
    for (const QUrl &url : urls) {
        const QString path = localPathFromUrl(url.toEncoded());
        if (!path.isEmpty() && !m_gatheredFiles.contains(path))
            m_gatheredFiles.append(path);
    }
}

void TovraLib::gatherFromClipboard()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    m_gatheredFiles = filesFromMimeData(data).paths;
    if (m_gatheredFiles.isEmpty()) {
        DialogService::message(this, QStringLiteral("No files found on clipboard !"));
        return;
    }
    importGathered();
}

void TovraLib::importGathered()
{
    if (m_gatheredFiles.isEmpty() || !hasBook())
        return;
    Dokumentz documents;
    documents.DefDocumentType = 1;
    documents.DefFileType = 0;
    documents.DefSourceID = currentBookCode();
    {
        AddMultipleDocs importer(this);
        importer.AddMultipleFiles(m_gatheredFiles, documents);
    }
    m_gatheredFiles.clear();
    if (documents.Count() > 0)
        booksClicked();
}

// Capture, scan and camera commands are answered by the capture layer.
static void runAcquisition(TovraLib *window, const AcquisitionHooks::BookCommand &hook,
                           const QString &what)
{
    if (hook)
        trapErrors(tovralib::kWindowName,
                   [&] { hook(window, window->currentBookCode(), window->currentBookName()); });
    else
        notifyNotAvailable(what);
}

void TovraLib::tbrLibCommand(const QString &key)
{
    if (key == QLatin1String("Close")) {
        close();
        return;
    }
    if (!hasBook())
        return;
    if (key == QLatin1String("Refresh")) {
        booksClicked();
    } else if (key == QLatin1String("Export DICOM")) {
        tbrExportCommand(key);
    } else if (key == QLatin1String("New Mount")) {
        if (newMount(this, currentBookCode()))
            RefreshDocuments();
    } else if (key == QLatin1String("Edit Slideshow")) {
        trapErrors(tovralib::kWindowName, [&] { editSlideShow(currentBookCode(), this); });
    } else if (key == QLatin1String("Copy")) {
        copyFirstChecked();
    } else if (key == QLatin1String("Capture")) {
        runAcquisition(this, acquisitionHooks().capture, QStringLiteral("Capture"));
    } else if (key == QLatin1String("Scan")) {
        runAcquisition(this, acquisitionHooks().scan, QStringLiteral("Scanning"));
    } else if (key == QLatin1String("Load Image")) {
        QString file;
        trapErrors(tovralib::kWindowName, [&] {
            PicSelector picker(this);
            file = picker.SelectImage();
        });
        addEntry(1, file);
    } else if (key == QLatin1String("Load Video")) {
        QString file;
        trapErrors(tovralib::kWindowName, [&] {
            VidSelector picker(this);
            file = picker.SelectVideo();
        });
        addEntry(2, file);
    } else if (key == QLatin1String("Add Document")) {
        QString file;
        if (DataLink *link = dataLink())
            trapErrors(tovralib::kWindowName, [&] { file = link->SelectDocument(3); });
        addEntry(3, file);
    } else if (key == QLatin1String("Paste Image")) {
        pasteImage();
    } else if (key == QLatin1String("PasteExplorer")) {
        gatherFromClipboard();
    } else if (key == QLatin1String("Edit Selected")) {
        editSelected();
    } else if (key == QLatin1String("Edit Page Details")) {
        const QList<int> pages = selectedPages();
        if (!pages.isEmpty())
            editPage(pages.first());
    } else if (key == QLatin1String("Select All")) {
        setAllSelected(true);
    } else if (key == QLatin1String("DeSelect All")) {
        setAllSelected(false);
    } else if (key == QLatin1String("SerialGrab")) {
        SerialGrabber::openFor(currentBookCode(), currentBookName());
    } else if (key == QLatin1String("GetPicFromImgDevice")) {
        runAcquisition(this, acquisitionHooks().pictureFromDevice,
                       QStringLiteral("Imaging device acquisition"));
    } else if (key == QLatin1String("TakeCameraPic")) {
        runAcquisition(this, acquisitionHooks().cameraPicture, QStringLiteral("Camera pictures"));
    }
}

void TovraLib::tbrExportCommand(const QString &key)
{
    if (!hasBook())
        return;
    if (key == QLatin1String("SelViewWindow")) {
        if (m_pages.isEmpty())
            return;
        // Two or more videos and no picture selected: compare them in the player.
        const std::unique_ptr<Dokumentz> chosen = collectDocuments(false);
        int videos = 0;
        for (int page : selectedPages())
            videos += m_pages.at(PageTable::EntryTypeRow, page).toInt() == 2 ? 1 : 0;
        if (videos >= 2 && videos == chosen->Count()) {
            trapErrors(tovralib::kWindowName, [&] { compareVideos(*chosen, currentBookCode()); });
            return;
        }
        trapErrors(tovralib::kWindowName, [&] {
            ViewImg viewer(this);
            viewer.setAttribute(Qt::WA_DeleteOnClose, false);
            viewer.ViewSelectedImages(m_pages, false, qint16(m_pages.count()));
        });
    } else if (key == QLatin1String("SelViewShow")) {
        if (!m_pages.isEmpty())
            trapErrors(tovralib::kWindowName, [&] { startSlideShow(collectDocuments(true), this); });
    } else if (key == QLatin1String("View Selected Entry")) {
        viewSelectedEntries();
    } else if (key == QLatin1String("SelEmail")) {
        emailSelected();
    } else if (key == QLatin1String("SelPrint")) {
        PrintImages(-1, false);
    } else if (key == QLatin1String("CopyToExplorer")) {
        copyToFileManager();
    } else if (key == QLatin1String("Export DICOM")) {
        exportSelectedAsDicom(this, currentBookCode(), m_pages, selectedPages());
    } else if (key == QLatin1String("PhotoPrintingWizard")) {
        const QList<int> pages = selectedPages();
        const bool anyImage = std::any_of(pages.begin(), pages.end(), [this](int page) {
            return m_pages.at(PageTable::EntryTypeRow, page).toInt() == 1;
        });
        if (!anyImage)
            DialogService::message(this, QStringLiteral("No Images Selected !"));
        else // the selected pictures through the image printing, with its setup and preview
            PrintImages(-1, false);
    }
}

} // namespace tovradocs::Internal
