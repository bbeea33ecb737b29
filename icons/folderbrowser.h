#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QListWidget;
class QWidget;

namespace tovradocs::Internal {

// The drive, folder and file lists the icon windows browse with. Drives are
// the mounted volumes; the folder list shows ".." and the subfolders.
class FolderBrowser
{
public:
    FolderBrowser(QWidget *parent, const char *driveName, const char *folderName, const char *fileName);

    QComboBox *drives() const { return m_drives; }
    QListWidget *folders() const { return m_folders; }
    QListWidget *files() const { return m_files; }

    QString folder() const { return m_folder; }
    void setFolder(const QString &folder);
    // Patterns joined by ";", matched without regard to case ("*.*" lists all).
    void setPattern(const QString &pattern);
    QStringList fileNames() const;
    QString currentFile() const; // the selected file's name, or ""

    std::function<void()> folderChanged;
    std::function<void()> fileChosen;

private:
    void chooseDrive(int index);
    void refreshFiles();

    QComboBox *m_drives;
    QListWidget *m_folders;
    QListWidget *m_files;
    QString m_folder;
    QString m_pattern = QStringLiteral("*.*");
};

} // namespace tovradocs::Internal
