// The capture window's stills and clips: what goes into the library.

#include "capture/smartgrab.h"
#include "capture/smartgrab_p.h"

#include "capture/capturedialogs.h"
#include "capture/captureentries.h"
#include "capture/captureenvironment.h"
#include "capture/capturelogging.h"
#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "component/result.h"
#include "library/librarycopier.h"
#include "media/mediaengine.h"

#include <tovradocs/capturer.h>
#include <tovradocs/datalink.h>

#include <QBuffer>
#include <QFileInfo>

namespace tovradocs::Internal {

using namespace CaptureEnvironment;

namespace smartgrab {

// Stills of every capture window are encoded and written here, in the order
// they were taken.
MediaEngine::Strand &stillWriter()
{
    static const std::shared_ptr<MediaEngine::Strand> strand = MediaEngine::Strand::create();
    return *strand;
}

// Encoded whole, in the format the extension names, and written as a new file.
Outcome writeStill(const QImage &frame, const QString &fileName)
{
    const QByteArray format = QFileInfo(fileName).suffix().toLatin1();
    QByteArray encoded;
    encoded.reserve(qsizetype(frame.width()) * frame.height() * 3 + 4096);
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!frame.save(&buffer, format.isEmpty() ? "bmp" : format.constData()))
        return Outcome::failure(QStringLiteral("The picture could not be encoded as ")
                                + QString::fromLatin1(format));
    return LibraryCopier::writeNew(encoded, fileName, false);
}

// Stores the row of a clip whose file is closed; false when there is nothing
// to keep.
bool storeClip(CaptureEntries &entries, Capturer *capturer, qint32 entryCode,
               const CapturePipeline::RecordingResult &result)
{
    const QFileInfo file(result.path);
    if (!file.exists() || file.size() == 0 || result.frames == 0) {
        QFile::remove(result.path);
        return false;
    }
    return entries.add(2, result.path, QStringLiteral("Desc"), entryCode, capturer);
}

} // namespace smartgrab

void SmartGrab::snap()
{
    DataLink *link = dataLink();
    if (!link || !m_source || !m_source->isConnected())
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
    // The next still takes the next number at once, so two in flight never share a name.
    const qint32 entryCode = m_entryCode++;
    // The row is stored once the file is whole, through the window's set,
    // also when the window has closed meanwhile.
    auto stored = [entries = m_entries, window = QPointer<SmartGrab>(this),
                   capturer = QPointer<Capturer>(currentCapturer()), fileName,
                   entryCode](const Outcome &written) {
        if (!written) {
            qCWarning(lcCapture) << "still not saved:" << written.error();
            if (window && !window->m_closing)
                window->message(QStringLiteral("Problem saving frame"));
            return;
        }
        if (window)
            window->m_frameFile = fileName;
        if (entries->add(1, fileName, QStringLiteral("Desc"), entryCode, capturer) && window)
            window->m_syncPause.start();
    };
    // One hand-over there and one back: the worker encodes and writes, and
    // the row follows as one queued call.
    smartgrab::stillWriter().post([frame, fileName, stored = std::move(stored)]() mutable {
        const Outcome written = smartgrab::writeStill(frame, fileName);
        MediaEngine::postToUi([stored = std::move(stored), written] { stored(written); });
    });
}

void SmartGrab::record()
{
    DataLink *link = dataLink();
    if (!link || !m_source || !m_source->isConnected())
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

    // A new rate restarts the source; the clip then starts with its first picture.
    const int fps = m_sequence.requestMicroSecPerFrame > 0
                        ? qRound(1e6 / m_sequence.requestMicroSecPerFrame)
                        : m_source->frameRate();
    m_source->setFrameRate(fps);
    showConnecting();
    m_framesRecorded = 0;
    const qint32 entryCode = m_entryCode++;
    const int clipId = ++m_clipId;
    CapturePipeline::Recording clip;
    clip.path = m_captureFile;
    clip.container = container;
    clip.quality = compressionQuality();
    clip.audio = m_sequence.captureAudio && audioInputAvailable();
    clip.audioRate = m_audioRate;
    clip.audioChannels = m_audioChannels;
    clip.timeLimitSeconds = m_sequence.limitEnabled ? m_sequence.timeLimit : 0;
    // Runs when the file is closed, also after the window has gone.
    clip.whenFinished = [entries = m_entries, window = QPointer<SmartGrab>(this),
                         capturer = QPointer<Capturer>(currentCapturer()), entryCode,
                         clipId](const CapturePipeline::RecordingResult &result) {
        const bool saved = smartgrab::storeClip(*entries, capturer, entryCode, result);
        if (window)
            window->clipEnded(clipId, result, saved);
        else if (!saved)
            qCWarning(lcCapture) << "clip not saved:" << result.path << result.failure;
    };
    m_recording = true;
    setWindowTitle(QStringLiteral("Capture - Recording"));
    m_capwnd->setRecording(true);
    CapturePipeline *pipeline = m_source->pipeline();
    const auto whenFinished = clip.whenFinished;
    const QString refused = pipeline ? pipeline->startRecording(std::move(clip))
                                     : QStringLiteral("The capture device is not running.");
    if (!refused.isEmpty()) {
        qCWarning(lcCapture) << "recording:" << refused;
        whenFinished({m_captureFile, 0, refused, false});
    }
}

qint64 SmartGrab::framesRecorded() const
{
    const CapturePipeline *pipeline = m_source ? m_source->pipeline() : nullptr;
    return m_recording && pipeline ? pipeline->framesRecorded() : m_framesRecorded;
}

void SmartGrab::stopRecording()
{
    if (!isRecording())
        return;
    if (CapturePipeline *pipeline = m_source ? m_source->pipeline() : nullptr)
        pipeline->stopRecording();
}

void SmartGrab::clipEnded(int clipId, const CapturePipeline::RecordingResult &result, bool saved)
{
    if (!m_recording || clipId != m_clipId)
        return;
    m_recording = false;
    m_framesRecorded = result.frames;
    setWindowTitle(QStringLiteral("Capture"));
    m_capwnd->setRecording(false);
    const QString failure = result.frames > 0 ? result.failure : QStringLiteral("no frames");
    if (!failure.isEmpty())
        qCWarning(lcCapture) << "clip ended with" << failure;
    if (saved)
        m_videoFile = result.path;
    // A source that stopped says so itself, with what was kept; a window
    // closing says nothing more.
    if (!m_closing && !result.sourceStopped) {
        if (!saved)
            message(QStringLiteral("Problem saving video"));
        else if (!failure.isEmpty())
            message(QStringLiteral("Recording stopped: ") + failure);
    }
    m_clipSavedBeforeLoss = result.sourceStopped && saved;
    Q_EMIT recordingFinished(saved);
    if (m_immediateVideo && !result.sourceStopped)
        closeEnvironment();
}

} // namespace tovradocs::Internal
