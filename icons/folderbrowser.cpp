#include "icons/folderbrowser.h"

#include "component/hostlink.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QStorageInfo>

namespace tovradocs::Internal {

namespace {

QString driveOf(const QString &folder)
{
    return QStorageInfo(folder).rootPath();
}

} // namespace

FolderBrowser::FolderBrowser(QWidget *parent, const char *driveName, const char *folderName,
                             const char *fileName)
    : m_drives(new QComboBox(parent)), m_folders(new QListWidget(parent)), m_files(new QListWidget(parent))
{
    m_drives->setObjectName(QLatin1String(driveName));
    m_folders->setObjectName(QLatin1String(folderName));
    m_files->setObjectName(QLatin1String(fileName));
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && !roots.contains(volume.rootPath()))
            roots << volume.rootPath();
    roots.sort();
    m_drives->addItems(roots);
    QObject::connect(m_drives, &QComboBox::activated, m_drives, [this](int i) { chooseDrive(i); });
    QObject::connect(m_folders, &QListWidget::itemActivated, m_folders, [this](QListWidgetItem *item) {
        setFolder(QDir(m_folder).absoluteFilePath(item->text()));
    });
    QObject::connect(m_files, &QListWidget::currentRowChanged, m_files, [this](int row) {
        if (row >= 0 && fileChosen)
            fileChosen();
    });
}

void FolderBrowser::chooseDrive(int index)
{
    const QString root = m_drives->itemText(index);
    if (!QDir(root).isReadable()) {
        notify(QStringLiteral("Error Accessing Drive "));
        m_drives->setCurrentText(driveOf(m_folder));
        return;
    }
    setFolder(root);
}

void FolderBrowser::setFolder(const QString &folder)
{
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    m_folder = path;
    m_drives->setCurrentText(driveOf(path));
    m_folders->clear();
    QDir dir(path);
    if (!dir.isRoot())
        m_folders->addItem(QStringLiteral(".."));
    m_folders->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    refreshFiles();
    if (folderChanged)
        folderChanged();
}

void FolderBrowser::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    refreshFiles();
}

void FolderBrowser::refreshFiles()
{
    m_files->clear();
    if (m_folder.isEmpty())
        return;
    QDir dir(m_folder);
    const QStringList filters = m_pattern == QStringLiteral("*.*") ? QStringList{QStringLiteral("*")}
                                                                    : m_pattern.split(u';');
    dir.setNameFilters(filters);
    m_files->addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

QStringList FolderBrowser::fileNames() const
{
    QStringList names;
    for (int i = 0; i < m_files->count(); ++i)
        names << m_files->item(i)->text();
    return names;
}

QString FolderBrowser::currentFile() const
{
    const QListWidgetItem *item = m_files->currentItem();
    return item ? item->text() : QString();
}

} // namespace tovradocs::Internal
