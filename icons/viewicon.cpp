#include "icons/viewicon.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "icons/folderbrowser.h"
#include "icons/iconeditor.h"
#include "icons/iconkit.h"
#include "icons/inifile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace tovradocs::Internal {

// All icons of the folder as rows of 34 x 34 cells.
class IconStrip : public QWidget
{
public:
    explicit IconStrip(ViewIcon *viewer) : QWidget(viewer), m_viewer(viewer)
    {
        setObjectName(QStringLiteral("Pic_AllIcons"));
        setMinimumSize(8 * ViewIcon::Cell, 4 * ViewIcon::Cell);
    }
    int perRow() const { return qMax(1, width() / ViewIcon::Cell); }
    int firstRow = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        const int n = perRow();
        for (int i = firstRow * n; i < m_viewer->m_cells.size(); ++i) {
            const int row = i / n - firstRow;
            if (row * ViewIcon::Cell > height())
                break;
            p.drawImage((i % n) * ViewIcon::Cell + 1, row * ViewIcon::Cell + 1, m_viewer->m_cells.at(i));
        }
    }
    int fileAt(QPoint pos) const
    {
        const int column = pos.x() / ViewIcon::Cell;
        if (column >= perRow())
            return -1;
        return (firstRow + pos.y() / ViewIcon::Cell) * perRow() + column;
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        const int file = fileAt(event->position().toPoint());
        m_pressed = -1;
        if (event->button() == Qt::LeftButton && file >= 0 && file < m_viewer->m_cells.size()) {
            m_viewer->selectFile(file);
            m_pressed = file;
            m_pressAt = event->position().toPoint();
        }
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        // Dragging a cell carries its file, for the editor to open.
        if (m_pressed < 0 || !(event->buttons() & Qt::LeftButton)
            || (event->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance())
            return;
        const QString name = m_viewer->m_browser->currentFile();
        const int file = m_pressed;
        m_pressed = -1;
        if (name.isEmpty())
            return;
        auto *drag = new QDrag(this);
        auto *data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(QDir(m_viewer->m_browser->folder()).filePath(name))});
        drag->setMimeData(data);
        drag->setPixmap(QPixmap::fromImage(m_viewer->m_cells.at(file)));
        drag->exec(Qt::CopyAction);
    }
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        const int file = fileAt(event->position().toPoint());
        if (file >= 0 && file < m_viewer->m_cells.size()) {
            m_viewer->selectFile(file);
            m_viewer->openSelected();
        }
    }

private:
    ViewIcon *m_viewer;
    int m_pressed = -1;
    QPoint m_pressAt;
};

ViewIcon::ViewIcon(QWidget *owner, IconEditor *editor) : QDialog(owner), m_editor(editor)
{
    setObjectName(QStringLiteral("ViewIcon"));
    setWindowTitle(QStringLiteral("Icon Explorer"));
    auto *bar = new QMenuBar(this);
    struct MenuLayout
    {
        const char *name;
        const char *caption;
        QList<const char *> items;
    };
    const QList<MenuLayout> layouts = {{"Menu_File", "&File", {"&Open", nullptr, "E&xit"}},
                               {"Menu_Edit", "&Edit", {"&Copy"}},
                               {"Menu_Options", "&Options",
                                {"&Editor...", "&Show all Icons", nullptr, "Show all icons on &DIR change"}}};
    for (const MenuLayout &layout : layouts) {
        QMenu *menu = bar->addMenu(QLatin1String(layout.caption));
        menu->setObjectName(QLatin1String(layout.name));
        for (int i = 0; i < layout.items.size(); ++i) {
            QAction *a = layout.items[i] ? menu->addAction(QLatin1String(layout.items[i])) : menu->addSeparator();
            a->setObjectName(QStringLiteral("%1Selection_%2").arg(QLatin1String(layout.name)).arg(i));
        }
    }
    item("Menu_File", 2)->setText(QStringLiteral("E&xit\tAlt+F4"));
    item("Menu_Options", 3)->setCheckable(true);
    connect(item("Menu_File", 0), &QAction::triggered, this, [this] {
        openSelected();
        accept();
    });
    connect(item("Menu_File", 2), &QAction::triggered, this, &QDialog::reject);
    connect(item("Menu_Edit", 0), &QAction::triggered, this, [this] {
        QApplication::clipboard()->clear();
        QApplication::clipboard()->setImage(m_icon.toImage());
    });
    connect(item("Menu_Options", 0), &QAction::triggered, this, &QDialog::reject);
    connect(item("Menu_Options", 1), &QAction::triggered, this, &ViewIcon::showAllIcons);

    auto *grid = new QGridLayout(this);
    grid->setMenuBar(bar);
    m_browser = std::make_unique<FolderBrowser>(this, "Drv_DriveList", "Dir_DirectoryList", "File_FileList");
    m_browser->setPattern(QStringLiteral("*.ico"));
    m_fileName = new QLineEdit(this);
    m_fileName->setObjectName(QStringLiteral("Txt_FileName"));
    m_currentDir = new QLabel(this);
    m_currentDir->setObjectName(QStringLiteral("Lbl_CurrentDirectory"));
    m_selected = new QLabel(this);
    m_selected->setObjectName(QStringLiteral("Pic_SelectedIcon"));
    m_selected->setFixedSize(36, 36);
    m_selected->setFrameShape(QFrame::Box);
    m_selectedLabel = new QLabel(this);
    m_selectedLabel->setObjectName(QStringLiteral("Pic_SelectedIconLabel"));
    m_all = new IconStrip(this);
    m_scroll = new QScrollBar(Qt::Vertical, this);
    m_scroll->setObjectName(QStringLiteral("Scrl_AllIcons"));
    auto *strip = new QLabel(this);
    strip->setObjectName(QStringLiteral("Pic_IconsBitmap"));
    strip->hide();
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("Pic_IconCount"));

    grid->addWidget(m_fileName, 0, 0);
    grid->addWidget(m_currentDir, 0, 1, 1, 2);
    grid->addWidget(m_browser->files(), 1, 0, 2, 1);
    grid->addWidget(m_browser->folders(), 1, 1, 1, 2);
    grid->addWidget(m_browser->drives(), 2, 1, 1, 2);
    grid->addWidget(m_selected, 3, 0);
    grid->addWidget(m_selectedLabel, 3, 1, 1, 2);
    grid->addWidget(m_all, 4, 0, 1, 2);
    grid->addWidget(m_scroll, 4, 2);
    grid->addWidget(m_count, 5, 0, 1, 3);

    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int v) {
        m_all->firstRow = v;
        m_all->update();
    });
    m_browser->fileChosen = [this] { fileChosen(); };
    m_browser->folderChanged = [this] {
        m_currentDir->setText(QDir::toNativeSeparators(m_browser->folder()));
        m_cells.clear();
        m_all->update();
        if (item("Menu_Options", 3)->isChecked())
            showAllIcons();
    };
    connect(m_browser->files(), &QListWidget::itemDoubleClicked, this, [this] { openSelected(); });

    item("Menu_Options", 3)->setChecked(
        IconKit::readFlag(IniFile(IconKit::settingsPath()), "Show Icons"));
    const IconKit::Slot *slot = editor ? &editor->kit().slot() : nullptr;
    m_browser->setFolder(slot && !slot->folder.isEmpty() ? slot->folder : QDir::currentPath());
    item("Menu_Edit", 0)->setEnabled(false);
}

ViewIcon::~ViewIcon() = default;

QAction *ViewIcon::item(const char *menu, int index) const
{
    return findChild<QAction *>(QStringLiteral("%1Selection_%2").arg(QLatin1String(menu)).arg(index));
}

void ViewIcon::fileChosen()
{
    const QString name = m_browser->currentFile();
    const auto icon = Ico::readFile(QDir(m_browser->folder()).filePath(name));
    m_fileName->setText(name);
    if (!icon) {
        QApplication::beep();
        DialogService::message(this, name + QStringLiteral(" is not a standard ICON file"),
                               QStringLiteral("Bad File"), Buttons::Ok, Severity::Critical);
        m_icon = IconImage();
        m_selected->clear();
        m_selectedLabel->clear();
        item("Menu_Edit", 0)->setEnabled(false);
        return;
    }
    m_icon = *icon;
    m_selected->setPixmap(QPixmap::fromImage(m_icon.toImage()));
    m_selectedLabel->setText(QStringLiteral("Selected Icon:\n") + name);
    item("Menu_Edit", 0)->setEnabled(true);
}

void ViewIcon::selectFile(int row)
{
    if (row >= 0 && row < m_browser->files()->count())
        m_browser->files()->setCurrentRow(row);
}

void ViewIcon::showAllIcons()
{
    const QStringList names = m_browser->fileNames();
    if (names.size() > MaxIcons) {
        notify(QStringLiteral("Can display upto a maximum of 900 icons"));
        return;
    }
    m_cells.clear();
    const QRgb background = qRgb(255, 255, 255);
    for (const QString &name : names) {
        const auto icon = Ico::readFile(QDir(m_browser->folder()).filePath(name));
        m_cells << (icon ? icon->scaled32().composite(background) : QImage());
    }
    layoutStrip();
    m_count->setText(QStringLiteral("%1 Icons Loaded").arg(m_cells.size()));
    item("Menu_Edit", 0)->setEnabled(false);
}

void ViewIcon::layoutStrip()
{
    const int rows = (int(m_cells.size()) + m_all->perRow() - 1) / m_all->perRow();
    m_scroll->setRange(0, qMax(0, rows - m_all->height() / Cell));
    m_scroll->setValue(0);
    m_all->update();
}

void ViewIcon::openSelected()
{
    const QString name = m_browser->currentFile();
    if (m_editor && !name.isEmpty())
        m_editor->openIconFile(QDir(m_browser->folder()).filePath(name));
}

} // namespace tovradocs::Internal
