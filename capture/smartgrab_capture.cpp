// The capture window's stills and clips: what goes into the library.

#include "capture/smartgrab.h"
#include "capture/smartgrab_p.h"

#include "capture/capturedialogs.h"
#include "component/entrynotifier.h"
#include "capture/captureenvironment.h"
#include "capture/capturelogging.h"
#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "library/librarycopier.h"

#include <tovradocs/capturer.h>
#include <tovradocs/datalink.h>
#include <tovradocs/recordset.h>

#include <QBuffer>
#include <QDate>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace tovradocs::Internal {

using namespace CaptureEnvironment;

void SmartGrab::snap()
{
    DataLink *link = dataLink();
    if (!link || !m_source)
        return;
    // The frame on screen now, not a later one.
    const QImage frame = m_source->currentFrame();
    if (frame.isNull()) {
        message(QStringLiteral("Problem saving frame"));
        return;
    }
    QString fileName;
    if (!trapErrors(smartgrab::kWindowName, [&] {
            fileName = link->NextFileName(1, m_bookCode, m_entryCode,
                                          link->GetSystemSetting(smartgrab::kImageExtensionSetting)
                                              .toString()
                                              .trimmed());
        }))
        return;
    // Encoded and written whole, in the format the extension names, beside
    // the live picture; its row is stored once the file is complete.
    const QByteArray format = QFileInfo(fileName).suffix().toLatin1();
    auto write = [frame, fileName, format]() -> Outcome {
        QByteArray encoded;
        encoded.reserve(qsizetype(frame.width()) * frame.height() * 3 + 4096);
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        if (!frame.save(&buffer, format.isEmpty() ? "bmp" : format.constData()))
            return Outcome::failure(QStringLiteral("The picture could not be encoded as ") + QString::fromLatin1(format));
        return LibraryCopier::writeNew(encoded, fileName, false);
    };
    Snap still {QtConcurrent::run(&m_snapWriter, write), fileName, m_entryCode};
    // The next still takes the next number at once, so two in flight never share a name.
    ++m_entryCode;
    auto *watcher = new QFutureWatcher<Outcome>(this);
    connect(watcher, &QFutureWatcher<Outcome>::finished, this, [this, watcher] {
        watcher->deleteLater();
        collectSnaps(false);
    });
    watcher->setFuture(still.written);
    m_snaps.append(std::move(still));
}

void SmartGrab::collectSnaps(bool wait)
{
    while (!m_snaps.isEmpty() && (wait || m_snaps.constFirst().written.isFinished())) {
        const Snap still = m_snaps.takeFirst();
        const Outcome written = still.written.result();
        if (!written) {
            qCWarning(lcCapture) << "still not saved:" << written.error();
            message(QStringLiteral("Problem saving frame"));
            continue;
        }
        m_frameFile = still.fileName;
        addEntry(1, still.fileName, QStringLiteral("Desc"), still.entryCode);
        m_unsynced.append(still.fileName);
    }
    // A sync beside the next still's write would hold it up for the
    // journal; the files go to disk once snapping pauses.
    if (!m_unsynced.isEmpty())
        m_syncPause.start();
    collectSyncs(false);
}

void SmartGrab::syncStills()
{
    m_syncPause.stop();
    if (m_unsynced.isEmpty())
        return;
    m_pendingSyncs.append(QtConcurrent::run([files = std::exchange(m_unsynced, {})] {
        Outcome result;
        for (const QString &file : files)
            if (const Outcome synced = LibraryCopier::syncFile(file); !synced && result)
                result = synced;
        return result;
    }));
}

void SmartGrab::collectSyncs(bool wait)
{
    for (auto it = m_pendingSyncs.begin(); it != m_pendingSyncs.end();) {
        if (!wait && !it->isFinished()) {
            ++it;
            continue;
        }
        const Outcome done = it->result();
        if (!done)
            message(done.error());
        it = m_pendingSyncs.erase(it);
    }
}

void SmartGrab::record()
{
    DataLink *link = dataLink();
    if (!link || !m_source)
        return;
    const CapturePipeline::Container container = clipContainer();
    const QString extension = container == CapturePipeline::Container::Mp4 ? QStringLiteral("mp4") : QStringLiteral("avi");
    QString fileName;
    if (!trapErrors(smartgrab::kWindowName, [&] {
            fileName = link->NextFileName(1, m_bookCode, m_entryCode, extension);
        }))
        return;
    if (!setCaptureFile(fileName)) {
        message(QStringLiteral("Could not set new capture file: ") + fileName);
        return;
    }
    frmCapVid dialog(this);
    DialogService::showModal(&dialog);
    if (dialog.property("tag").toString().isEmpty() || !m_source)
        return;

    const int fps = m_sequence.requestMicroSecPerFrame > 0
                        ? qRound(1e6 / m_sequence.requestMicroSecPerFrame)
                        : m_source->frameRate();
    m_source->setFrameRate(fps);
    m_recordIntoLibrary = true;
    m_framesRecorded = 0;
    CapturePipeline *pipeline = m_source->pipeline();
    CapturePipeline::Recording clip;
    clip.path = m_captureFile;
    clip.container = container;
    clip.quality = compressionQuality();
    clip.audio = m_sequence.captureAudio && audioInputAvailable();
    clip.audioRate = m_audioRate;
    clip.audioChannels = m_audioChannels;
    clip.timeLimitSeconds = m_sequence.limitEnabled ? m_sequence.timeLimit : 0;
    const QString refused = pipeline ? pipeline->startRecording(clip) : QStringLiteral("The capture device is not running.");
    if (!refused.isEmpty()) {
        qCWarning(lcCapture) << "recording:" << refused;
        finishRecording(refused, false);
        return;
    }
    m_recording = true;
    m_clipEntryCode = m_entryCode++;
    setWindowTitle(QStringLiteral("Capture - Recording"));
    m_capwnd->setRecording(true);
}

qint64 SmartGrab::framesRecorded() const
{
    const CapturePipeline *pipeline = m_source ? m_source->pipeline() : nullptr;
    return m_recording && pipeline ? pipeline->framesRecorded() : m_framesRecorded;
}

void SmartGrab::finishClipNow()
{
    if (!isRecording())
        return;
    if (CapturePipeline *pipeline = m_source ? m_source->pipeline() : nullptr)
        pipeline->finishRecording(); // clipFinished() runs before this returns
    else
        finishRecording(QString(), false);
}

void SmartGrab::stopRecording()
{
    if (!isRecording())
        return;
    if (CapturePipeline *pipeline = m_source ? m_source->pipeline() : nullptr)
        pipeline->stopRecording();
}

void SmartGrab::clipFinished(const CapturePipeline::RecordingResult &result)
{
    if (!m_recording)
        return;
    m_framesRecorded = result.frames;
    finishRecording(result.frames > 0 ? result.failure : QStringLiteral("no frames"), result.sourceStopped);
}

void SmartGrab::finishRecording(const QString &failure, bool sourceStopped)
{
    m_recording = false;
    setWindowTitle(QStringLiteral("Capture"));
    m_capwnd->setRecording(false);
    if (!failure.isEmpty())
        qCWarning(lcCapture) << "clip ended with" << failure;
    bool saved = false;
    const QFileInfo file(m_captureFile);
    if (m_recordIntoLibrary) {
        m_recordIntoLibrary = false;
        if (file.exists() && file.size() > 0 && m_framesRecorded > 0) {
            m_videoFile = m_captureFile;
            // A source that stopped says so itself, with what was kept.
            if (!failure.isEmpty() && !sourceStopped)
                message(QStringLiteral("Recording stopped: ") + failure);
            addEntry(2, m_captureFile, QStringLiteral("Desc"), m_clipEntryCode);
            saved = true;
        } else {
            QFile::remove(m_captureFile);
            if (!sourceStopped)
                message(QStringLiteral("Problem saving video"));
        }
    }
    m_clipSavedBeforeLoss = sourceStopped && saved;
    Q_EMIT recordingFinished(saved);
    if (m_immediateVideo && !sourceStopped)
        closeEnvironment();
}

void SmartGrab::addEntry(qint16 entryType, const QString &fileName, const QString &description, qint32 entryCode)
{
    if (!m_set)
        return;
    const bool added = trapErrors(smartgrab::kWindowName, [&] {
        m_set->addNew();
        m_set->setValue(QStringLiteral("Description"),
                        description.isEmpty() ? QDate::currentDate().toString(Qt::TextDate) : description);
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
        return;
    }
    Q_EMIT EntryNotifier::instance()->entryAdded(qAbs(m_bookCode), entryCode, entryTypeFor(fileName, entryType));
    if (Capturer *capturer = currentCapturer())
        capturer->TransferFileEntryToDB(entryType == 2, fileName, QString::number(entryCode));
}

} // namespace tovradocs::Internal
