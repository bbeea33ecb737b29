#pragma once

#include "icons/iconimage.h"

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QStatusBar;

namespace tovradocs::Internal {

class FolderBrowser;

// Pulls the icons out of the programs, libraries and icon files of a folder.
// The files are read on a worker thread; the list fills as they come in.
class IconGrabber : public QDialog
{
    Q_OBJECT

public:
    IconGrabber(QWidget *owner, QLabel *drwBoard);
    ~IconGrabber() override;

    // The file list's pattern for the checked types (Exe, Dll, Ico, Others).
    static QString patternFor(bool exe, bool dll, bool ico, bool others);

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
        IconImage icon;
    };
    void applyTypes();
    void addFound(const QString &fileName, const QList<Found> &found);
    void finishGrab();
    void selectItem(int row);
    void stopWorker();

    QPointer<QLabel> m_drwBoard;
    std::unique_ptr<FolderBrowser> m_browser;
    QCheckBox *m_look[5] = {};
    QListWidget *m_list = nullptr;
    QLabel *m_preview = nullptr;
    QStatusBar *m_status = nullptr;
    QList<IconImage> m_icons;
    std::shared_ptr<std::atomic<bool>> m_running; // set to false to stop the worker
};

} // namespace tovradocs::Internal
