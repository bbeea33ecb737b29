#pragma once

#include <tovradocs/datalink.h>

#include <QLoggingCategory>
#include <QString>

#include <exception>
#include <memory>

class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcComponent)

namespace tovradocs::Internal {

// The module-wide host link: one DataLink and one parent window shared by
// every MediaManager and every window, released by ClearDataLink and by the
// end of the last MediaManager.
DataLink *dataLink();
std::shared_ptr<DataLink> sharedDataLink();
QWidget *parentWindow();
void setHostLink(std::shared_ptr<DataLink> link, QWidget *parent);
void clearHostLink();

// Live MediaManager count; the link is released when it drops to zero.
void retainHostLink();
void releaseHostLink();

// The trapped-error path every window uses:
// PassMessage(description, 16, windowName & " - ERROR: " & number, 0).
void reportError(const QString &windowName, qint32 number, const QString &description);
// Maps HostError to its number; any other exception is reported as number 5.
void reportError(const QString &windowName, const std::exception &error);

// Runs fn and reports anything it throws; true when it ran through.
template<typename F>
bool trapErrors(const QString &windowName, F &&fn)
{
    try {
        fn();
        return true;
    } catch (const std::exception &e) {
        reportError(windowName, e);
    }
    return false;
}

// PassMessage(text, 0) when a host is linked.
void notify(const QString &text);

} // namespace tovradocs::Internal
