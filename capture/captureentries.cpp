#include "capture/captureentries.h"

#include "capture/capturelogging.h"
#include "capture/capturesettings.h"
#include "capture/smartgrab_p.h"
#include "component/dialogservice.h"
#include "component/entrynotifier.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "library/librarycopier.h"
#include "library/librarysql.h"
#include "media/mediaengine.h"

#include <tovradocs/capturer.h>
#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <QCoreApplication>
#include <QDate>
#include <QThread>

namespace tovradocs::Internal {

namespace captureentries {

// Syncs run one after another, apart from the stills being written.
MediaEngine::Strand &syncs()
{
    static const std::shared_ptr<MediaEngine::Strand> strand = MediaEngine::Strand::create();
    return *strand;
}

void closeSet(const std::shared_ptr<Recordset> &set)
{
    trapErrors(smartgrab::kWindowName, [&] { set->close(); });
}

// With the capture window gone, a problem is told over the host's window.
void tellHost(const QString &text)
{
    DialogService::message(parentWindow(), text, CaptureSettings::componentTitle(), Buttons::Ok,
                           Severity::Information);
}

} // namespace captureentries

CaptureEntries::CaptureEntries(qint32 bookCode)
    : m_bookCode(bookCode)
    , m_problem(captureentries::tellHost)
{
}

std::shared_ptr<CaptureEntries> CaptureEntries::open(qint32 bookCode)
{
    std::shared_ptr<CaptureEntries> entries(new CaptureEntries(bookCode));
    if (DataLink *link = dataLink()) {
        std::unique_ptr<Recordset> set;
        if (trapErrors(smartgrab::kWindowName,
                       [&] { link->FillRecordSet(set, LibrarySql::emptyContentsByBook()); }))
            entries->m_set = std::move(set);
    }
    return entries;
}

CaptureEntries::~CaptureEntries()
{
    if (!m_set)
        return;
    // Only the UI thread talks to the host.
    if (QCoreApplication::instance()
        && QThread::currentThread() != QCoreApplication::instance()->thread())
        MediaEngine::postToUi([set = m_set] { captureentries::closeSet(set); });
    else
        captureentries::closeSet(m_set);
}

bool CaptureEntries::add(qint16 entryType, const QString &fileName, const QString &description,
                         qint32 entryCode, Capturer *capturer)
{
    if (!m_set)
        return false;
    const bool added = trapErrors(smartgrab::kWindowName, [&] {
        m_set->addNew();
        m_set->setValue(QStringLiteral("Description"),
                        description.isEmpty() ? QDate::currentDate().toString(Qt::TextDate)
                                              : description);
        m_set->setValue(QStringLiteral("EntryType"), entryTypeFor(fileName, entryType));
        m_set->setValue(QStringLiteral("FileName"), fileName);
        m_set->setValue(QStringLiteral("BookCode"), qAbs(m_bookCode));
        m_set->setValue(QStringLiteral("Entry_Code"), entryCode);
        m_set->setValue(QStringLiteral("EntryDate"), QDate::currentDate());
        m_set->setValue(QStringLiteral("IndexImage"), false);
        m_set->update();
    });
    if (!added) {
        trapErrors(smartgrab::kWindowName, [&] { m_set->cancelUpdate(); });
        return false;
    }
    m_unsynced.append(fileName);
    if (m_detached)
        sync();
    // An open mount fills its next empty slot with it.
    Q_EMIT EntryNotifier::instance()->entryAdded(qAbs(m_bookCode), entryCode, entryTypeFor(fileName, entryType));
    if (capturer)
        capturer->TransferFileEntryToDB(entryType == 2, fileName, QString::number(entryCode));
    return true;
}

void CaptureEntries::sync()
{
    if (m_unsynced.isEmpty())
        return;
    // The rows stay uncommitted, and this set open, until their files are on disk.
    captureentries::syncs().post(
        [files = std::exchange(m_unsynced, {}), self = shared_from_this()]() mutable {
            Outcome result;
            for (const QString &file : std::as_const(files))
                if (const Outcome synced = LibraryCopier::syncFile(file); !synced && result)
                    result = synced;
            MediaEngine::postToUi([self = std::move(self), result] {
                if (!result)
                    self->m_problem(result.error());
            });
        });
}

void CaptureEntries::setProblemHandler(std::function<void(const QString &)> handler)
{
    m_problem = std::move(handler);
}

void CaptureEntries::detach()
{
    m_detached = true;
    m_problem = captureentries::tellHost;
    sync();
}

} // namespace tovradocs::Internal
