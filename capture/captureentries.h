#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tovradocs {
class Capturer;
class Recordset;
} // namespace tovradocs

namespace tovradocs::Internal {

// The rows one capture window adds to its book, through one empty, updatable
// BookContents set. Shared by the window and every still and clip it started,
// it lasts until the last of them has its row: a file completed after the
// window closed is still stored. The host commits the rows when the set
// closes, so the set closes only once their files have been synced to disk.
// UI thread only.
class CaptureEntries : public std::enable_shared_from_this<CaptureEntries>
{
public:
    // Opens the set through the host link; a set that cannot be opened is
    // reported as the window's error, and stores nothing.
    static std::shared_ptr<CaptureEntries> open(qint32 bookCode);
    ~CaptureEntries();
    CaptureEntries(const CaptureEntries &) = delete;
    CaptureEntries &operator=(const CaptureEntries &) = delete;

    qint32 bookCode() const { return m_bookCode; }
    // Adds the row of a complete file and tells capturer; false when the
    // host refused the row (reported).
    bool add(qint16 entryType, const QString &fileName, const QString &description,
             qint32 entryCode, Capturer *capturer);
    // Syncs the files stored since the last sync to disk on a worker.
    void sync();
    // Where a failed sync is reported; by default a message box over the host's window.
    void setProblemHandler(std::function<void(const QString &)> handler);
    // The window has gone: what is stored from now on is synced at once.
    void detach();

private:
    explicit CaptureEntries(qint32 bookCode);

    qint32 m_bookCode;
    std::shared_ptr<Recordset> m_set;
    QStringList m_unsynced;
    bool m_detached = false;
    std::function<void(const QString &)> m_problem;
};

} // namespace tovradocs::Internal
