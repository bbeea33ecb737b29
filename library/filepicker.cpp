#include "library/filepicker.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/keyhandler.h"

#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace tovradocs::Internal {

namespace FilePickerDetail {

constexpr int parentRole = Qt::UserRole + 1; // set on the ".." item

// Volumes a user keeps files on; the kernel's own file systems are left out.
QStringList mountPoints()
{
    static const QStringList hidden
        = {QStringLiteral("/proc"), QStringLiteral("/sys"),  QStringLiteral("/dev"),
           QStringLiteral("/run"),  QStringLiteral("/snap"), QStringLiteral("/boot")};
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        bool skip = false;
        for (const QString &h : hidden)
            skip = skip || root == h || root.startsWith(h + QLatin1Char('/'));
        if (root.startsWith(QLatin1String("/run/media/")))
            skip = false;
        if (!skip && !roots.contains(root))
            roots << root;
    }
    if (!roots.contains(QStringLiteral("/")))
        roots << QStringLiteral("/");
    roots.sort();
    return roots;
}

// The mount point holding path: the longest root that contains it.
QString driveOf(const QString &path, const QStringList &roots)
{
    QString best = QStringLiteral("/");
    for (const QString &root : roots) {
        const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
        if ((path == root || path.startsWith(prefix)) && root.size() > best.size())
            best = root;
    }
    return best;
}

// "All Files (*.*)" gives "*.*"; an item without parentheses is its own pattern.
QString patternOf(const QString &item)
{
    const int open = item.lastIndexOf(QLatin1Char('('));
    const int close = item.lastIndexOf(QLatin1Char(')'));
    if (open >= 0 && close > open)
        return item.mid(open + 1, close - open - 1);
    return item;
}

QStringList nameFilters(const QString &pattern)
{
    QStringList filters;
    for (QString p : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        p = p.trimmed();
        // Names here need no dot, and "*.*" means every file.
        if (p == QLatin1String("*.*"))
            p = QStringLiteral("*");
        if (!p.isEmpty())
            filters << p;
    }
    return filters.isEmpty() ? QStringList {QStringLiteral("*")} : filters;
}

} // namespace FilePickerDetail

FilePicker::FilePicker(QWidget *owner, qint32 windowId, const QString &title)
    : QDialog(owner)
    , m_title(title)
{
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setProperty("windowID", windowId);
    setSizeGripEnabled(true);
    buildControls(nullptr);
    KeyHandler::install(this);
}

FilePicker::~FilePicker() = default;

void FilePicker::buildControls(QWidget *)
{
    m_driveList = new QComboBox(this);
    m_driveList->setObjectName(QStringLiteral("DriveList"));
    m_driveList->setToolTip(QStringLiteral("The disk or volume to look on"));
    m_folderLabel = new QLabel(this);
    m_folderLabel->setObjectName(QStringLiteral("lblFolder"));
    m_folderLabel->setWordWrap(true);
    m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_dirList = new QListWidget(this);
    m_dirList->setObjectName(QStringLiteral("DirList"));
    m_dirList->setToolTip(QStringLiteral("Double-click a folder to open it"));
    m_fileList = new QListWidget(this);
    m_fileList->setObjectName(QStringLiteral("FileList"));
    m_fileList->setToolTip(QStringLiteral("Click a file to preview it, double-click to choose it"));
    m_patternCombo = new QComboBox(this);
    m_patternCombo->setObjectName(QStringLiteral("PatternCombo"));
    m_patternCombo->setToolTip(QStringLiteral("The kinds of files listed"));
    m_patternCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_patternCombo->setMinimumContentsLength(14);

    m_previewFrame = new QWidget(this);
    m_previewFrame->setObjectName(QStringLiteral("previewFrame"));
    auto *previewLayout = new QVBoxLayout(m_previewFrame);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    m_previewFrame->setMinimumSize(320, 240);

    m_ok = new QPushButton(QStringLiteral("Do&ne"), this);
    m_ok->setObjectName(QStringLiteral("cb_ok"));
    m_ok->setAutoDefault(false);
    m_cancel = new QPushButton(QStringLiteral("C&lose"), this);
    m_cancel->setObjectName(QStringLiteral("cb_Cancel"));
    m_cancel->setAutoDefault(false);

    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    auto *left = new QVBoxLayout;
    left->addWidget(label(QStringLiteral("Dri&ve"), m_driveList));
    left->addWidget(m_driveList);
    left->addWidget(label(QStringLiteral("F&older"), m_dirList));
    left->addWidget(m_folderLabel);
    left->addWidget(m_dirList, 1);

    auto *middle = new QVBoxLayout;
    middle->addWidget(label(QStringLiteral("&Files"), m_fileList));
    middle->addWidget(m_fileList, 1);
    middle->addWidget(label(QStringLiteral("Files of &type"), m_patternCombo));
    middle->addWidget(m_patternCombo);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *right = new QVBoxLayout;
    right->addWidget(m_previewFrame, 1);
    right->addLayout(buttons);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 2);
    layout->addLayout(middle, 2);
    layout->addLayout(right, 4);
    resize(920, 520);

    connect(m_driveList, &QComboBox::activated, this, &FilePicker::driveChosen);
    connect(m_patternCombo, &QComboBox::currentIndexChanged, this, &FilePicker::typeChosen);
    connect(m_dirList, &QListWidget::itemActivated, this, &FilePicker::folderActivated);
    connect(m_fileList, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *item) { fileClicked(item); });
    connect(m_fileList, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        fileClicked(item);
        doneClicked();
    });
    connect(m_ok, &QPushButton::clicked, this, [this] { doneClicked(); });
    connect(m_cancel, &QPushButton::clicked, this, &FilePicker::cancelClicked);
}

void FilePicker::setPreview(QWidget *preview)
{
    preview->setParent(m_previewFrame);
    m_previewFrame->layout()->addWidget(preview);
}

void FilePicker::prepare(const QStringList &types)
{
    {
        const QSignalBlocker block(m_patternCombo);
        m_patternCombo->clear();
        m_patternCombo->addItems(types);
        m_patternCombo->setCurrentIndex(0);
    }
    m_pattern = FilePickerDetail::patternOf(m_patternCombo->currentText());
    m_chosenPath.clear();
    fillDrives();

    const QString drive = lastPickerDrive();
    const QString folder = lastPickerFolder();
    if (!drive.isEmpty())
        setDrive(drive);
    if (!folder.isEmpty() && folderExists(folder))
        setFolder(folder);
    else if (drive.isEmpty())
        setFolder(QDir::homePath());
}

void FilePicker::fillDrives()
{
    const QSignalBlocker block(m_driveList);
    m_driveList->clear();
    QFileIconProvider icons;
    m_roots = FilePickerDetail::mountPoints();
    for (const QString &root : std::as_const(m_roots))
        m_driveList->addItem(icons.icon(QFileIconProvider::Drive), root, root);
}

QString FilePicker::currentDrive() const
{
    return m_driveList->currentData().toString();
}

void FilePicker::setDrive(const QString &drive)
{
    int index = m_driveList->findData(drive);
    if (index < 0) {
        // A volume mounted since the list was made.
        if (!QFileInfo(drive).isDir())
            return;
        m_driveList->addItem(QFileIconProvider().icon(QFileIconProvider::Drive), drive, drive);
        index = m_driveList->count() - 1;
    }
    {
        const QSignalBlocker block(m_driveList);
        m_driveList->setCurrentIndex(index);
    }
    driveChosen(index);
}

void FilePicker::driveChosen(int index)
{
    const QString root = m_driveList->itemData(index).toString();
    // A volume that went away is no reason for a message; the folder stays.
    if (!root.isEmpty() && folderExists(root))
        setFolder(root);
}

bool FilePicker::setFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable())
        return false;
    m_folder = QDir::cleanPath(info.absoluteFilePath());
    const QString drive = FilePickerDetail::driveOf(m_folder, m_roots);
    if (currentDrive() != drive) {
        int index = m_driveList->findData(drive);
        if (index < 0) {
            m_driveList->addItem(QFileIconProvider().icon(QFileIconProvider::Drive), drive, drive);
            index = m_driveList->count() - 1;
        }
        const QSignalBlocker block(m_driveList);
        m_driveList->setCurrentIndex(index);
    }
    m_folderLabel->setText(m_folder);
    m_folderLabel->setToolTip(m_folder);
    fillFolders();
    fillFiles();
    return true;
}

void FilePicker::fillFolders()
{
    m_dirList->clear();
    QFileIconProvider icons;
    const QIcon folderIcon = icons.icon(QFileIconProvider::Folder);
    const QDir dir(m_folder);
    if (!dir.isRoot()) {
        auto *up = new QListWidgetItem(folderIcon, QStringLiteral(".."), m_dirList);
        up->setData(FilePickerDetail::parentRole, true);
        up->setToolTip(QStringLiteral("Up one folder"));
    }
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable,
                                            QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names)
        new QListWidgetItem(folderIcon, name, m_dirList);
}

void FilePicker::folderActivated(QListWidgetItem *item)
{
    if (!item)
        return;
    QDir dir(m_folder);
    if (item->data(FilePickerDetail::parentRole).toBool())
        dir.cdUp();
    else if (!dir.cd(item->text()))
        return;
    setFolder(dir.path());
}

void FilePicker::typeChosen(int index)
{
    m_pattern = FilePickerDetail::patternOf(m_patternCombo->itemText(index));
    fillFiles();
}

void FilePicker::fillFiles()
{
    const QSignalBlocker block(m_fileList);
    m_fileList->clear();
    if (m_folder.isEmpty())
        return;
    const QDir dir(m_folder);
    m_fileList->addItems(dir.entryList(FilePickerDetail::nameFilters(m_pattern),
                                       QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase));
    m_fileList->setCurrentRow(-1);
}

QStringList FilePicker::listedFiles() const
{
    QStringList names;
    for (int i = 0; i < m_fileList->count(); ++i)
        names << m_fileList->item(i)->text();
    return names;
}

bool FilePicker::chooseFile(const QString &name)
{
    const QList<QListWidgetItem *> found = m_fileList->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    m_fileList->setCurrentItem(found.first());
    return true;
}

void FilePicker::fileClicked(QListWidgetItem *item)
{
    if (!item)
        return;
    QString path = m_folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += item->text();
    if (path == m_chosenPath && m_loadingPath.isEmpty())
        return;
    m_chosenPath = path;
    setWindowTitle(QStringLiteral("Viewer [") + path + QLatin1Char(']'));
    m_loadingPath = path;
    // The preview loads off the window's thread; the window stays usable meanwhile.
    setCursor(Qt::BusyCursor);
    loadPreview(path);
}

void FilePicker::previewLoaded(const QString &path, bool ok)
{
    if (path != m_loadingPath)
        return; // an earlier click, overtaken
    m_loadingPath.clear();
    unsetCursor();
    if (!ok)
        setWindowTitle(invalidCaption());
}

void FilePicker::cancelClicked()
{
    m_chosenPath.clear();
    reject();
}

void FilePicker::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous()) {
        lastPickerDrive() = currentDrive();
        lastPickerFolder() = m_folder;
        clearPreview();
        m_loadingPath.clear();
        unsetCursor();
    }
    QDialog::hideEvent(event);
}

QString FilePicker::run(QWidget *owner)
{
    QWidget *wanted = owner ? owner : parentWindow();
    if (wanted && wanted != parentWidget())
        setParent(wanted, windowFlags());
    // Closing the window any other way than "Do&ne" chooses nothing.
    if (DialogService::showModal(this) != QDialog::Accepted)
        m_chosenPath.clear();
    return m_chosenPath;
}

} // namespace tovradocs::Internal
