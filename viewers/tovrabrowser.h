#pragma once

#include "component/windowutils.h"

#include <QWidget>

class QComboBox;
class QTimer;
class QToolBar;
class QWebEngineView;

namespace tovradocs::Internal {

// Lets the web page window start when the process runs as root, where the
// engine's sandbox cannot: turns the sandbox off for this process then. Must
// come before the engine starts, which is when the first page view is made;
// the web page window calls it itself, so a host need not.
void prepareWebEngine();

// The web page window: the page in "brwWebBrowser", its address in
// "cboAddress" (one list entry per address visited), Back / Forward /
// Refresh / Home / Search / Stop on "tbToolBar". The caption follows the
// page's title and reads "Working..." while a page loads. Modeless; deletes
// itself when closed.
class TovraBrowser : public QWidget, public HelpIdentified
{
    Q_OBJECT

public:
    explicit TovraBrowser(QWidget *owner = nullptr);
    ~TovraBrowser() override;

    bool Open(const QString &address, const QString &caption);
    qint32 GetWindowID() const override { return 206; }

    QWebEngineView *view() const { return m_view; }
    QComboBox *addressBox() const { return m_address; }
    void toolbarCommand(const QString &key);

Q_SIGNALS:
    void pageLoaded(bool ok);

private:
    void navigate(const QString &address);
    void navigationFinished(bool ok);
    void timerTick();

    QWebEngineView *m_view;
    QComboBox *m_address;
    QToolBar *m_toolBar;
    QTimer *m_timer;
    QString m_startAddress;
    bool m_busy = false;
    bool m_stopped = false;
};

} // namespace tovradocs::Internal
