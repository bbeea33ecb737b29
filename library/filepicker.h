#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tovradocs::Internal {

// The common body of the image and video choosers: a drive list (the mounted
// volumes), a folder list, a file list filtered by a type list, a live
// preview, "Do&ne" and "C&lose". The drive and folder last used in either
// chooser are remembered for the next opening. UI thread only.
class FilePicker : public QDialog
{
    Q_OBJECT

public:
    ~FilePicker() override;

    // Folder and file list; for the remembered folder and for tests.
    QString currentDrive() const;
    QString currentFolder() const { return m_folder; }
    void setDrive(const QString &drive);
    bool setFolder(const QString &folder);
    // Pattern(s) the file list shows, e.g. "*.avi;*.mov" or "*.*".
    QString filePattern() const { return m_pattern; }
    QStringList listedFiles() const;
    // Clicks the file named name in the file list; false when it is not listed.
    bool chooseFile(const QString &name);

    QString chosenPath() const { return m_chosenPath; }

protected:
    FilePicker(QWidget *owner, qint32 windowId, const QString &title);

    // Sets up the lists for one showing; types are the type list's items.
    void prepare(const QStringList &types);
    // Shows the window modally with owner (the host's parent window when null)
    // and returns the chosen path, "" when none.
    QString run(QWidget *owner);

    void setPreview(QWidget *preview);
    // Loads path into the preview; the subclass calls previewLoaded() when done.
    virtual void loadPreview(const QString &path) = 0;
    virtual void clearPreview() = 0;
    virtual void doneClicked() = 0;
    void previewLoaded(const QString &path, bool ok);
    virtual QString invalidCaption() const = 0;
    void clearChosenPath() { m_chosenPath.clear(); }

    void hideEvent(QHideEvent *event) override;

private:
    void buildControls(QWidget *preview);
    void fillDrives();
    void driveChosen(int index);
    void typeChosen(int index);
    void folderActivated(QListWidgetItem *item);
    void fillFolders();
    void fillFiles();
    void fileClicked(QListWidgetItem *item);
    void cancelClicked();

    QString m_title;
    QComboBox *m_driveList = nullptr;
    QLabel *m_folderLabel = nullptr;
    QListWidget *m_dirList = nullptr;
    QListWidget *m_fileList = nullptr;
    QComboBox *m_patternCombo = nullptr;
    QWidget *m_previewFrame = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QStringList m_roots; // mount points, read when the drive list is filled
    QString m_folder;
    QString m_pattern;
    QString m_chosenPath;
    QString m_loadingPath;
};

} // namespace tovradocs::Internal
