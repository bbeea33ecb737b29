#pragma once

#include "icons/iconimage.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;

namespace tovradocs::Internal {

class FolderBrowser;

// Pulls the icons out of the programs, libraries and icon files of a folder.
// The files are read on a worker thread; the list fills as they come in. A
// new grab or closing the window stops the worker, also inside a file. Files
// refused or read only in part are listed behind a button in the status bar.
class IconGrabber : public QDialog
{
    Q_OBJECT

public:
    IconGrabber(QWidget *owner, QLabel *drwBoard);
    ~IconGrabber() override;

    // The file list's pattern for the checked types (Exe, Dll, Ico, Others).
    static QString patternFor(bool exe, bool dll, bool ico, bool others);
    // Icons one grab collects at most: far more than a user can look through.
    static constexpr int MaxIcons = 8192;

    FolderBrowser &browser() { return *m_browser; }
    void setFolder(const QString &folder);
    void grab();
    bool busy() const { return m_running != nullptr; }

Q_SIGNALS:
    void grabFinished(int icons);

private:
    struct Found
    {
        QString key;
        QImage picture; // 32 x 32, as the host gets it
    };
    void applyTypes();
    void addFound(const QString &fileName, const QList<Found> &found, const QString &problem);
    void finishGrab();
    void showProblems();
    void selectItem(int row);
    void stopWorker();

    QPointer<QLabel> m_drwBoard;
    std::unique_ptr<FolderBrowser> m_browser;
    QCheckBox *m_look[5] = {};
    QListWidget *m_list = nullptr;
    QLabel *m_preview = nullptr;
    QStatusBar *m_status = nullptr;
    QPushButton *m_leftOut = nullptr;
    QList<QImage> m_icons;
    QStringList m_problems; // "file: why", for files refused or read in part
    std::shared_ptr<std::atomic<bool>> m_running; // set to false to stop the worker
};

} // namespace tovradocs::Internal
