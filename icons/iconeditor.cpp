#include "icons/iconeditor.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "icons/colorpalette.h"
#include "icons/iconeditorwidgets.h"
#include "icons/inifile.h"
#include "icons/viewicon.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tovradocs::Internal {

using namespace IconTools;

namespace {

struct MenuLayout
{
    const char *name;
    const char *caption;
    QList<const char *> items; // nullptr: separator
};

const QList<MenuLayout> &menuLayouts()
{
    static const QList<MenuLayout> layouts = {
        {"Menu_File", "&File", {"&New", "&Open...", "&Save", "Save &As..."}},
        {"Menu_Edit", "&Edit",
         {"&Undo", nullptr, "Cu&t", "&Copy", "&Paste", "Paste &Opaque", "&Delete", "&Select All", nullptr,
          "Flip &Horizontal", "Flip &Vertical", nullptr, "Rotate 90  &Right", "Rotate 90  &Left", nullptr,
          "&Invert"}},
        {"Menu_View", "&View",
         {"&Status Area", "&Tool Palette", "&Color Palette", "&Zooming Scroll bar", "Show &All", nullptr,
          "&Grid", "&Line Grid", "&Dotted Grid", nullptr, "Zoom &In", "Zoom &Out", nullptr,
          "&Focus to Editor on Drag&&Drop", "Display &Border on selected Icon",
          "&Pop-up Tools menu on Form Click"}},
        {"Menu_Tools", "&Tools",
         {"&Select", "&Paint", "&Fill", "&Line", "&Square", "Filled S&quare", "&Circle", "Filled C&ircle"}},
        {"Menu_Icons", "&Icons",
         {"&1 - [Untitled]", "&2 - [Untitled]", "&3 - [Untitled]", "&4 - [Untitled]", "&5 - [Untitled]",
          "&6 - [Untitled]"}},
        {"Menu_Color", "&Color",
         {"&Colors...", "&Default Color Palette", "S&olid Colors Only", "I&NI File Color Palette", nullptr,
          "&Save Color Palette to INI file", nullptr, "&Left/Right Colors", "Screen/&Inverse Colors"}},
        {"Menu_Brush", "&Brush", {"&Small (1 x 1)", "&Medium (3 x 3)", "&Large (5 x 5)"}},
    };
    return layouts;
}

// Settings keys and the menu items they hold.
struct FlagItem
{
    const char *key;
    const char *menu;
    int index;
};
constexpr FlagItem FlagItems[] = {
    {"Status Bar", "Menu_View", IconEditor::ViewStatus},
    {"Tool Palette", "Menu_View", IconEditor::ViewTools},
    {"Color Palette", "Menu_View", IconEditor::ViewColors},
    {"Zoom Scrollbar", "Menu_View", IconEditor::ViewZoomBar},
    {"Grid", "Menu_View", IconEditor::ViewGrid},
    {"Line Grid", "Menu_View", IconEditor::ViewLineGrid},
    {"Dotted Grid", "Menu_View", IconEditor::ViewDottedGrid},
    {"Editor Focus", "Menu_View", IconEditor::ViewFocus},
    {"Icon Border", "Menu_View", IconEditor::ViewBorder},
    {"Popup Menu", "Menu_View", IconEditor::ViewPopup},
    {"Default Colors", "Menu_Color", IconEditor::ColorDefault},
    {"Solid Colors", "Menu_Color", IconEditor::ColorSolid},
    {"INI File Colors", "Menu_Color", IconEditor::ColorIni},
};

constexpr int ZoomStep = 32;

// On displays of 256 colours and fewer only the 16 standard colours are solid.
BgrColour nearestSolid(BgrColour c)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || screen->depth() > 8)
        return c;
    BgrColour best = 0;
    int bestDistance = INT_MAX;
    for (BgrColour s : IconKit::solidColours()) {
        const int d = qAbs(qRed(toRgb(s)) - qRed(toRgb(c))) + qAbs(qGreen(toRgb(s)) - qGreen(toRgb(c)))
                      + qAbs(qBlue(toRgb(s)) - qBlue(toRgb(c)));
        if (d < bestDistance) {
            bestDistance = d;
            best = s;
        }
    }
    return best;
}

QLabel *offscreenBox(QWidget *parent, const char *name)
{
    auto *box = new QLabel(parent);
    box->setObjectName(QLatin1String(name));
    box->hide();
    return box;
}

} // namespace

IconEditor::IconEditor(QWidget *owner, QLabel *drwBoard) : QDialog(owner), m_drwBoard(drwBoard)
{
    setObjectName(QStringLiteral("IconEditor"));
    setWindowTitle(QStringLiteral("Icon Editor:1 - [Untitled]"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAcceptDrops(true);
    buildMenus();
    buildLayout();
    loadSettings();
    activateSlot();
}

IconEditor::~IconEditor()
{
    saveSettings();
    delete m_colorDialog;
}

QAction *IconEditor::item(const char *menu, int index) const
{
    return findChild<QAction *>(QStringLiteral("%1Selection_%2").arg(QLatin1String(menu)).arg(index));
}

bool IconEditor::screenMode() const
{
    return m_mode[1]->isChecked();
}

void IconEditor::buildMenus()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    for (const MenuLayout &layout : menuLayouts()) {
        QMenu *menu = m_menuBar->addMenu(QLatin1String(layout.caption));
        menu->setObjectName(QLatin1String(layout.name));
        for (int i = 0; i < layout.items.size(); ++i) {
            QAction *action = layout.items[i] ? menu->addAction(QLatin1String(layout.items[i])) : menu->addSeparator();
            action->setObjectName(QStringLiteral("%1Selection_%2").arg(QLatin1String(layout.name)).arg(i));
        }
    }
    m_toolsMenu = m_menuBar->findChild<QMenu *>(QStringLiteral("Menu_Tools"));
    QAction *done = m_menuBar->addAction(QStringLiteral("Do&ne"));
    done->setObjectName(QStringLiteral("mDone"));
    QAction *close = m_menuBar->addAction(QStringLiteral("C&lose"));
    close->setObjectName(QStringLiteral("mclose"));
    connect(done, &QAction::triggered, this, [this] { finish(true); });
    connect(close, &QAction::triggered, this, [this] { finish(false); });

    for (int i : {FileNew, FileOpen, FileSave, FileSaveAs})
        connect(item("Menu_File", i), &QAction::triggered, this, [this, i] { fileCommand(i); });
    connect(item("Menu_Edit", EditUndo), &QAction::triggered, this, &IconEditor::undo);
    connect(item("Menu_Edit", EditCut), &QAction::triggered, this, [this] {
        copySelection();
        deleteSelection();
    });
    connect(item("Menu_Edit", EditCopy), &QAction::triggered, this, &IconEditor::copySelection);
    connect(item("Menu_Edit", EditPaste), &QAction::triggered, this, [this] { paste(true); });
    connect(item("Menu_Edit", EditPasteOpaque), &QAction::triggered, this, [this] { paste(false); });
    connect(item("Menu_Edit", EditDelete), &QAction::triggered, this, &IconEditor::deleteSelection);
    connect(item("Menu_Edit", EditSelectAll), &QAction::triggered, this, &IconEditor::selectAll);
    for (int i : {EditFlipH, EditFlipV, EditRotateRight, EditRotateLeft, EditInvert})
        connect(item("Menu_Edit", i), &QAction::triggered, this, [this, i] { transformSelection(i); });
    connect(m_menuBar->findChild<QMenu *>(QStringLiteral("Menu_Edit")), &QMenu::aboutToShow, this,
            &IconEditor::refreshEditMenu);

    for (int i : {ViewStatus, ViewTools, ViewColors, ViewZoomBar, ViewGrid, ViewLineGrid, ViewDottedGrid,
                  ViewFocus, ViewBorder, ViewPopup})
        item("Menu_View", i)->setCheckable(true);
    for (int i : {ViewStatus, ViewTools, ViewColors, ViewZoomBar, ViewShowAll, ViewGrid, ViewLineGrid,
                  ViewDottedGrid, ViewZoomIn, ViewZoomOut, ViewFocus, ViewBorder, ViewPopup})
        connect(item("Menu_View", i), &QAction::triggered, this, [this, i] { viewCommand(i); });

    for (int i = 0; i < 8; ++i) {
        item("Menu_Tools", i)->setCheckable(true);
        connect(item("Menu_Tools", i), &QAction::triggered, this, [this, i] { pickTool(i); });
    }
    for (int i = 0; i < IconKit::SlotCount; ++i) {
        item("Menu_Icons", i)->setCheckable(true);
        connect(item("Menu_Icons", i), &QAction::triggered, this, [this, i] { chooseSlot(i); });
    }
    for (int i : {ColorDefault, ColorSolid, ColorIni, ColorLeftRight, ColorScreenInverse})
        item("Menu_Color", i)->setCheckable(true);
    for (int i : {ColorDialog, ColorDefault, ColorSolid, ColorIni, ColorSave, ColorLeftRight, ColorScreenInverse})
        connect(item("Menu_Color", i), &QAction::triggered, this, [this, i] { colorCommand(i); });
    for (int i = 0; i < 3; ++i) {
        item("Menu_Brush", i)->setCheckable(true);
        connect(item("Menu_Brush", i), &QAction::triggered, this, [this, i] { setBrush(i); });
    }
    item("Menu_Tools", 1)->setChecked(true);
    item("Menu_Brush", 0)->setChecked(true);
    item("Menu_Icons", 0)->setChecked(true);
    item("Menu_Color", ColorLeftRight)->setChecked(true);
}

void IconEditor::buildLayout()
{
    for (const char *name : {"Pic_Image", "Pic_Mask", "Pic_TempImage", "Pic_TempMask", "Pic_Work", "Pic_Grid",
                             "Pic_EditTemp"})
        offscreenBox(this, name);

    auto *root = new QVBoxLayout(this);
    root->setMenuBar(m_menuBar);
    root->setSizeConstraint(QLayout::SetFixedSize);

    auto *middle = new QHBoxLayout;
    m_tools = new ToolStrip(this);
    middle->addWidget(m_tools, 0, Qt::AlignTop);
    auto *editColumn = new QVBoxLayout;
    m_edit = new EditArea(this);
    m_edit->setFixedSize(32 * m_zoom, 32 * m_zoom);
    editColumn->addWidget(m_edit);
    m_zoomBar = new QScrollBar(Qt::Horizontal, this);
    m_zoomBar->setObjectName(QStringLiteral("Scrl_Zoom"));
    m_zoomBar->setRange(2 * ZoomStep, 20 * ZoomStep);
    m_zoomBar->setSingleStep(ZoomStep);
    m_zoomBar->setPageStep(ZoomStep);
    m_zoomBar->setValue(m_zoom * ZoomStep);
    connect(m_zoomBar, &QScrollBar::valueChanged, this, &IconEditor::setZoomValue);
    editColumn->addWidget(m_zoomBar);
    middle->addLayout(editColumn);
    auto *slotColumn = new QVBoxLayout;
    for (int i = 0; i < IconKit::SlotCount; ++i) {
        m_slots[i] = new SlotBox(this, i);
        slotColumn->addWidget(m_slots[i]);
    }
    slotColumn->addStretch();
    middle->addLayout(slotColumn);
    root->addLayout(middle);

    auto *paletteRow = new QHBoxLayout;
    auto *modes = new QVBoxLayout;
    m_mode[0] = new QRadioButton(QStringLiteral("Left/Right"), this);
    m_mode[1] = new QRadioButton(QStringLiteral("Screen/Inverse"), this);
    for (int i = 0; i < 2; ++i) {
        m_mode[i]->setObjectName(QStringLiteral("Opt_Mouse_%1").arg(i));
        modes->addWidget(m_mode[i]);
        connect(m_mode[i], &QRadioButton::clicked, this, [this, i] { setScreenMode(i == 1); });
    }
    m_mode[0]->setChecked(true);
    paletteRow->addLayout(modes);
    m_palette = new PaletteBox(this);
    m_palette->setFixedSize(16 * 20, 3 * 16);
    paletteRow->addWidget(m_palette);
    root->addLayout(paletteRow);

    m_status = new QWidget(this);
    m_status->setObjectName(QStringLiteral("Pic_StatusArea"));
    auto *status = new QHBoxLayout(m_status);
    status->setContentsMargins(2, 2, 2, 2);
    const QFont sans(QStringLiteral("MS Sans Serif"), 8);
    const QFont courier(QStringLiteral("Courier"), 9);
    auto *buttons = new QLabel(QStringLiteral("Mouse Buttons"), m_status);
    buttons->setFont(sans);
    status->addWidget(buttons);
    for (auto &swatch : m_swatch) {
        swatch = new QLabel(m_status);
        swatch->setFixedSize(24, 16);
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        status->addWidget(swatch);
    }
    m_x = new QLabel(QStringLiteral("X= 0"), m_status);
    m_y = new QLabel(QStringLiteral("Y= 0"), m_status);
    for (QLabel *l : {m_x, m_y}) {
        l->setFont(courier);
        l->setMinimumWidth(48);
        status->addWidget(l);
    }
    status->addStretch();
    auto *undoLabel = new QLabel(QStringLiteral("Undo to:"), m_status);
    undoLabel->setFont(sans);
    status->addWidget(undoLabel);
    m_undo = new SlotBox(this, -1);
    m_undo->setParent(m_status);
    status->addWidget(m_undo);
    root->addWidget(m_status);
}

void IconEditor::loadSettings()
{
    const IniFile ini(IconKit::settingsPath());
    for (const FlagItem &f : FlagItems)
        item(f.menu, f.index)->setChecked(IconKit::readFlag(ini, f.key));
    int choice = -1;
    for (int i : {ColorDefault, ColorSolid, ColorIni})
        if (item("Menu_Color", i)->isChecked())
            choice = i;
    colorCommand(choice < 0 ? int(ColorDefault) : choice);
    applyView();
}

void IconEditor::saveSettings()
{
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    const QString path = IconKit::settingsPath();
    IniFile ini(path);
    for (const FlagItem &f : FlagItems)
        ini.setValue(IconKit::section(), QLatin1String(f.key),
                     item(f.menu, f.index)->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // A settings file that cannot be written keeps what it had; icons are not affected.
    ini.save(path);
}

void IconEditor::applyView()
{
    m_status->setVisible(item("Menu_View", ViewStatus)->isChecked());
    m_tools->setVisible(item("Menu_View", ViewTools)->isChecked());
    m_palette->setVisible(item("Menu_View", ViewColors)->isChecked());
    m_mode[0]->setVisible(m_palette->isVisibleTo(this));
    m_mode[1]->setVisible(m_palette->isVisibleTo(this));
    m_zoomBar->setVisible(item("Menu_View", ViewZoomBar)->isChecked());
    const bool grid = item("Menu_View", ViewGrid)->isChecked();
    item("Menu_View", ViewLineGrid)->setEnabled(grid);
    item("Menu_View", ViewDottedGrid)->setEnabled(grid);
    m_edit->update();
    for (SlotBox *s : m_slots)
        s->update();
}

void IconEditor::setCaption()
{
    setWindowTitle(QStringLiteral("Icon IconEditor: %1 - %2").arg(m_kit.current + 1).arg(m_kit.slot().fileName));
}

void IconEditor::setSlotCaption(int slot)
{
    const IconKit::Slot &s = m_kit.slots[slot];
    QString caption = QStringLiteral("&%1 - [").arg(slot + 1);
    caption += s.fileName == IconKit::untitled() ? QStringLiteral("Untitled]")
                                                 : QDir::toNativeSeparators(s.folder) + QStringLiteral("]\t") + s.fileName;
    item("Menu_Icons", slot)->setText(caption);
}

void IconEditor::activateSlot()
{
    removeSelection();
    refreshSwatches();
    m_kit.splitIcon(m_kit.slot().icon);
    m_kit.buildUndo();
    m_edit->update();
    m_undo->update();
    setCaption();
}

void IconEditor::rebuild()
{
    m_kit.buildIcon();
    m_edit->update();
    m_slots[m_kit.current]->update();
}

QImage IconEditor::shownIcon() const
{
    Planes view = m_kit.planes;
    if (m_floating)
        view.paste(m_piece, m_selection.topLeft());
    return view.toIcon().composite(toRgb(m_kit.mouse[IconKit::ScreenColour]));
}

void IconEditor::refreshEditMenu()
{
    const bool fixed = m_hasSelection && !m_floating;
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    const bool picture = clip && clip->hasImage();
    item("Menu_Edit", EditCut)->setEnabled(fixed);
    item("Menu_Edit", EditCopy)->setEnabled(fixed);
    item("Menu_Edit", EditDelete)->setEnabled(fixed);
    item("Menu_Edit", EditPaste)->setEnabled(picture);
    item("Menu_Edit", EditPasteOpaque)->setEnabled(picture);
    for (int i : {EditFlipH, EditFlipV, EditInvert})
        item("Menu_Edit", i)->setEnabled(m_hasSelection);
    const bool square = fixed && m_selection.width() == m_selection.height();
    item("Menu_Edit", EditRotateRight)->setEnabled(square);
    item("Menu_Edit", EditRotateLeft)->setEnabled(square);
}

void IconEditor::refreshSwatches()
{
    const int first = screenMode() ? IconKit::ScreenColour : IconKit::LeftColour;
    for (int i = 0; i < 2; ++i) {
        QPalette pal = m_swatch[i]->palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(toRgb(m_kit.mouse[first + i])));
        m_swatch[i]->setPalette(pal);
    }
}

void IconEditor::redrawPalettes()
{
    m_palette->update();
    if (m_colorDialog)
        m_colorDialog->redrawPalette();
}

void IconEditor::setZoomValue(int value)
{
    m_zoom = qMax(1, value / ZoomStep);
    m_edit->setFixedSize(32 * m_zoom, 32 * m_zoom);
    m_edit->update();
}

void IconEditor::pickTool(int tool)
{
    dropFloating();
    m_kit.buildUndo();
    m_undo->update();
    item("Menu_Tools", m_kit.tool)->setChecked(false);
    m_kit.tool = qBound(0, tool, 7);
    item("Menu_Tools", m_kit.tool)->setChecked(true);
    m_tools->update();
}

void IconEditor::chooseSlot(int slot)
{
    if (slot == m_kit.current) {
        removeSelection();
        item("Menu_Icons", slot)->setChecked(true);
        return;
    }
    dropFloating();
    item("Menu_Icons", m_kit.current)->setChecked(false);
    m_kit.current = slot;
    item("Menu_Icons", slot)->setChecked(true);
    activateSlot();
    for (SlotBox *s : m_slots)
        s->update();
}

bool IconEditor::confirmDiscard()
{
    const IconKit::Slot &s = m_kit.slot();
    if (!s.changed)
        return true;
    const QString text = QStringLiteral("Icon:# %1\r\nName: %2\r\nPath: %3\r\n Do you want to discard changes?")
                             .arg(m_kit.current + 1)
                             .arg(s.fileName, QDir::toNativeSeparators(s.folder));
    return DialogService::message(this, text, QStringLiteral("ICON HAS CHANGED"), Buttons::YesNo,
                                  Severity::Question)
           == Answer::Yes;
}

void IconEditor::openIconFile(const QString &path)
{
    if (!confirmDiscard()) {
        m_edit->update();
        return;
    }
    const auto icon = Ico::readFile(path);
    if (!icon) {
        DialogService::message(this, QFileInfo(path).fileName() + QStringLiteral(" is not a standard ICON file"),
                               QStringLiteral("Bad File"), Buttons::Ok, Severity::Critical);
        return;
    }
    const QFileInfo info(path);
    IconKit::Slot &s = m_kit.slot();
    s.fileName = info.fileName();
    s.folder = info.absolutePath() + u'/';
    s.changed = false;
    s.icon = icon->scaled32();
    setSlotCaption(m_kit.current);
    if (item("Menu_View", ViewFocus)->isChecked()) {
        show();
        raise();
        activateWindow();
    }
    activateSlot();
    m_slots[m_kit.current]->update();
}

void IconEditor::pressPalette(int entry, bool rightButton)
{
    const BgrColour c = m_kit.palette[entry];
    if (!screenMode()) {
        m_kit.mouse[rightButton ? IconKit::RightColour : IconKit::LeftColour] = c;
    } else {
        if (nearestSolid(c) != c) {
            notify(QStringLiteral("Screen and Inverse colors can only be set to solid colors"));
            return;
        }
        // The other of the two is what the screen colour looks like inverted.
        m_kit.mouse[rightButton ? IconKit::InverseColour : IconKit::ScreenColour] = c;
        m_kit.mouse[rightButton ? IconKit::ScreenColour : IconKit::InverseColour] = c ^ 0xffffff;
        m_edit->update();
        m_undo->update();
        for (SlotBox *s : m_slots)
            s->update();
    }
    m_kit.selectedIndex = entry;
    refreshSwatches();
}

void IconEditor::setScreenMode(bool screen)
{
    m_mode[screen ? 1 : 0]->setChecked(true);
    item("Menu_Color", ColorLeftRight)->setChecked(!screen);
    item("Menu_Color", ColorScreenInverse)->setChecked(screen);
    refreshSwatches();
}

void IconEditor::setBrush(int index)
{
    for (int i = 0; i < 3; ++i)
        item("Menu_Brush", i)->setChecked(i == index);
    m_kit.brush = 2 * index + 1;
}

void IconEditor::removeSelection()
{
    m_hasSelection = false;
    m_floating = false;
    m_selection = QRect();
    m_edit->update();
}

void IconEditor::dropFloating()
{
    if (!m_floating)
        return;
    m_kit.planes.paste(m_piece, m_selection.topLeft());
    m_floating = false;
    rebuild();
}

void IconEditor::undo()
{
    removeSelection();
    m_kit.splitIcon(m_kit.undo);
    rebuild();
    refreshEditMenu();
}

void IconEditor::copySelection()
{
    if (!m_hasSelection)
        return;
    const QImage look = m_kit.slot().icon.composite(toRgb(m_kit.mouse[IconKit::ScreenColour]));
    QApplication::clipboard()->setImage(look.copy(m_selection));
}

void IconEditor::deleteSelection()
{
    if (!m_hasSelection)
        return;
    if (m_floating) {
        m_floating = false;
    } else {
        clear(m_kit.planes, m_selection);
    }
    rebuild();
    refreshEditMenu();
}

void IconEditor::paste(bool transparent)
{
    const QImage picture = QApplication::clipboard()->image();
    if (picture.isNull())
        return;
    if (picture.width() > 32 || picture.height() > 32) {
        notify(QStringLiteral("ClipBoard image is too large:  %1 x %2\r\nImage not pasted")
                   .arg(picture.width())
                   .arg(picture.height()));
        return;
    }
    if (m_kit.tool != Select)
        pickTool(Select);
    dropFloating();
    m_piece = fromPicture(picture, transparent, toRgb(m_kit.mouse[IconKit::ScreenColour]));
    m_selection = QRect(QPoint(0, 0), picture.size());
    m_hasSelection = true;
    m_floating = true;
    m_edit->update();
    refreshEditMenu();
}

void IconEditor::selectAll()
{
    pickTool(Select);
    m_selection = QRect(0, 0, 32, 32);
    m_hasSelection = true;
    m_edit->update();
    refreshEditMenu();
}

void IconEditor::transformSelection(int which)
{
    if (!m_hasSelection)
        return;
    // A floating piece is transformed where it floats.
    Planes &target = m_floating ? m_piece : m_kit.planes;
    const QRect r = m_floating ? QRect(QPoint(0, 0), m_selection.size()) : m_selection;
    switch (which) {
    case EditFlipH: flipHorizontal(target, r); break;
    case EditFlipV: flipVertical(target, r); break;
    case EditRotateRight: rotate(target, r, true); break;
    case EditRotateLeft: rotate(target, r, false); break;
    default: invert(target, r); break;
    }
    rebuild();
}

void IconEditor::fileCommand(int which)
{
    switch (which) {
    case FileNew:
        if (!confirmDiscard())
            return;
        removeSelection();
        clear(m_kit.planes, QRect(0, 0, 32, 32));
        m_kit.buildIcon();
        m_kit.slot().fileName = IconKit::untitled();
        m_kit.slot().changed = false;
        setSlotCaption(m_kit.current);
        setCaption();
        m_edit->update();
        m_slots[m_kit.current]->update();
        break;
    case FileOpen: {
        ViewIcon viewer(this, this);
        DialogService::showModal(&viewer);
        break;
    }
    case FileSave:
        saveSlot(false);
        break;
    default:
        saveSlot(true);
    }
}

void IconEditor::saveSlot(bool ask)
{
    dropFloating();
    IconKit::Slot &s = m_kit.slot();
    if (!ask && s.fileName != IconKit::untitled()) {
        const Outcome saved = m_kit.saveIconFile(s.folder, s.fileName);
        if (!saved)
            notify(saved.error());
        setSlotCaption(m_kit.current);
        setCaption();
        return;
    }
    const QString initial = s.fileName == IconKit::untitled() ? QStringLiteral("*.ico") : s.folder + s.fileName;
    QString path = DialogService::saveFile(this, QStringLiteral("Save Icon as.."),
                                           QStringLiteral("Icon Files (*.ico)"), initial);
    if (path.isEmpty())
        return;
    path.replace(u'\\', u'/');
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".ICO");
    const QFileInfo info(path);
    QDir::setCurrent(info.absolutePath());
    const Outcome saved = m_kit.saveIconFile(info.absolutePath(), info.fileName());
    if (!saved) {
        notify(saved.error());
        return;
    }
    setSlotCaption(m_kit.current);
    setCaption();
}

void IconEditor::viewCommand(int which)
{
    switch (which) {
    case ViewShowAll:
        for (int i : {ViewStatus, ViewTools, ViewColors, ViewZoomBar})
            item("Menu_View", i)->setChecked(true);
        break;
    case ViewLineGrid:
    case ViewDottedGrid:
        item("Menu_View", ViewLineGrid)->setChecked(which == ViewLineGrid);
        item("Menu_View", ViewDottedGrid)->setChecked(which == ViewDottedGrid);
        break;
    case ViewZoomIn:
        m_zoomBar->setValue(m_zoomBar->value() + ZoomStep);
        break;
    case ViewZoomOut:
        m_zoomBar->setValue(m_zoomBar->value() - ZoomStep);
        break;
    default:
        break;
    }
    applyView();
}

void IconEditor::colorCommand(int which)
{
    switch (which) {
    case ColorDialog:
        if (!m_colorDialog) {
            m_colorDialog = new ColorPalette(this);
            m_colorDialog->show();
        }
        m_colorDialog->raise();
        return;
    case ColorSave: {
        const QString path = IconKit::settingsPath();
        IniFile ini(path);
        m_kit.writePaletteTo(ini);
        ini.save(path);
        return;
    }
    case ColorLeftRight:
    case ColorScreenInverse:
        setScreenMode(which == ColorScreenInverse);
        return;
    case ColorDefault:
        m_kit.loadDefaultPalette();
        break;
    case ColorSolid:
        m_kit.loadSolidPalette();
        break;
    default:
        m_kit.loadPaletteFrom(IniFile(IconKit::settingsPath()));
    }
    for (int i : {ColorDefault, ColorSolid, ColorIni})
        item("Menu_Color", i)->setChecked(i == which);
    redrawPalettes();
}

void IconEditor::finish(bool deliver)
{
    delete m_colorDialog;
    if (deliver && m_drwBoard) {
        dropFloating();
        m_drwBoard->setPixmap(QPixmap::fromImage(m_kit.slot().icon.toImage()));
        m_drwBoard->update();
    }
    if (deliver)
        accept();
    else
        reject();
}

void IconEditor::mousePressEvent(QMouseEvent *event)
{
    if (item("Menu_View", ViewPopup)->isChecked())
        m_toolsMenu->popup(event->globalPosition().toPoint());
}

void IconEditor::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void IconEditor::dropEvent(QDropEvent *event)
{
    // An icon file dropped from the icon viewer opens in the current slot.
    openIconFile(event->mimeData()->urls().first().toLocalFile());
    event->acceptProposedAction();
}

void IconEditor::closeEvent(QCloseEvent *event)
{
    delete m_colorDialog;
    saveSettings();
    m_drwBoard = nullptr;
    QDialog::closeEvent(event);
}

} // namespace tovradocs::Internal
