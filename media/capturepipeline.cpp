#include "media/capturepipeline.h"

#include "media/captureframestamp.h"
#include "media/capturegst_p.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>

namespace tovradocs::Internal {

namespace capturepipeline {

constexpr auto kFirstFrameWait = std::chrono::seconds(4);
constexpr auto kFinishWait = std::chrono::seconds(10);
// A slow disk or encoder may lag this far behind (or this much memory, for
// large pictures) before the source waits.
constexpr guint64 kRecordQueue = 2 * GST_SECOND;
constexpr guint kRecordQueueBytes = 256u << 20;

std::atomic<int> g_generation {0};
std::atomic<int> g_recordId {0};

QString &audioSource()
{
    static QString description;
    return description;
}

// Software H.264 encoders whose output mp4mux takes, best first. Looked up
// on every use: what is installed decides, not what was.
struct H264Chain
{
    const char *encoder;
    const char *parser;
};

const H264Chain *h264Chain()
{
    static const H264Chain chains[] = {{"x264enc", nullptr}, {"openh264enc", "h264parse"}};
    for (const H264Chain &chain : chains)
        if (CaptureGst::hasElements({chain.encoder, "mp4mux"})
            && (!chain.parser || CaptureGst::hasElements({chain.parser})))
            return &chain;
    return nullptr;
}

void setArg(GstElement *element, const char *property, const QString &value)
{
    gst_util_set_object_arg(G_OBJECT(element), property, value.toUtf8().constData());
}

GstElement *capsFilter(GstCaps *caps)
{
    GstElement *filter = CaptureGst::make("capsfilter");
    if (filter)
        g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    return filter;
}

// The picture of a sample, sharing its memory; the buffer stays mapped
// until the last copy of the picture goes.
QImage imageOf(GstSample *sample)
{
    GstVideoInfo info;
    GstCaps *caps = gst_sample_get_caps(sample);
    auto *frame = new GstVideoFrame;
    if (!caps || !gst_video_info_from_caps(&info, caps)
        || !gst_video_frame_map(frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
        delete frame;
        gst_sample_unref(sample);
        return {};
    }
    gst_sample_unref(sample);
    return QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)),
                  GST_VIDEO_FRAME_WIDTH(frame), GST_VIDEO_FRAME_HEIGHT(frame),
                  GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32,
                  [](void *p) {
                      auto *mapped = static_cast<GstVideoFrame *>(p);
                      gst_video_frame_unmap(mapped);
                      delete mapped;
                  },
                  frame);
}

bool linkAll(std::initializer_list<GstElement *> chain)
{
    GstElement *previous = nullptr;
    for (GstElement *element : chain) {
        if (!element)
            continue;
        if (previous && !gst_element_link(previous, element)) {
            qCWarning(lcMediaCapture) << "cannot link" << GST_OBJECT_NAME(previous) << "to"
                                      << GST_OBJECT_NAME(element);
            return false;
        }
        previous = element;
    }
    return true;
}

} // namespace capturepipeline

using namespace capturepipeline;

// What GStreamer's threads and the user-interface thread share while one
// run of the pipeline lasts.
struct CapturePipeline::Shared
{
    Shared(CapturePipeline *owner, int generation) : relay(owner), owner(owner), generation(generation) {}

    CaptureGst::Relay relay;
    CapturePipeline *const owner; // used only in calls the relay queues
    const int generation;
    bool stamp = false;
    int width = 0;
    int height = 0;
    int stride = 0;
    std::atomic<qint64> produced {0};

    std::mutex lock;
    std::condition_variable wake;
    // Under lock: the newest picture, not yet taken by the window.
    QImage latest;
    bool posted = false;
    bool haveFrame = false;
    bool stopped = false;
    QString error;

    // Under lock: the clip being recorded.
    int recId = 0;
    GstElement *recBin = nullptr;
    GstElement *recSink = nullptr;
    GstPad *recPad = nullptr;
    GstElement *recAudio = nullptr;
    bool recEnded = false;
    QString recFailure;
    // The recording branch's own streaming thread.
    std::atomic<bool> recClosing {false};
    std::atomic<qint64> recFrames {0};
    std::atomic<guint64> recFirst {GST_CLOCK_TIME_NONE};
    guint64 recLimit = 0;

    static gpointer hold(const std::shared_ptr<Shared> &shared) { return new std::shared_ptr<Shared>(shared); }
    static void release(gpointer data) { delete static_cast<std::shared_ptr<Shared> *>(data); }
    static Shared &of(gpointer data) { return **static_cast<std::shared_ptr<Shared> *>(data); }

    // Sends the end of the clip into its branch and to its sound source.
    void endClip()
    {
        GstPad *pad = nullptr;
        GstElement *audio = nullptr;
        {
            const std::lock_guard guard(lock);
            if (recPad)
                pad = GST_PAD(gst_object_ref(recPad));
            if (recAudio)
                audio = GST_ELEMENT(gst_object_ref(recAudio));
        }
        if (pad) {
            gst_pad_send_event(pad, gst_event_new_eos());
            gst_object_unref(pad);
        }
        if (audio) {
            gst_element_send_event(audio, gst_event_new_eos());
            gst_object_unref(audio);
        }
    }

    void clipEnded(const QString &failure)
    {
        if (!recEnded) {
            recEnded = true;
            recFailure = failure;
        }
        wake.notify_all();
        relay.post([self = owner, gen = generation, id = recId] { self->recordingEnded(gen, id); });
    }
};

struct CapturePipeline::Record
{
    int id = 0;
    QString path;
    GstElement *bin = nullptr;
    GstPad *teePad = nullptr;
    bool ending = false;
};

std::unique_ptr<CapturePipeline> CapturePipeline::testPattern(const CaptureFormat &format)
{
    return std::unique_ptr<CapturePipeline>(new CapturePipeline(CaptureDevice(), format, true));
}

std::unique_ptr<CapturePipeline> CapturePipeline::device(const CaptureDevice &device, const CaptureFormat &format)
{
    return std::unique_ptr<CapturePipeline>(new CapturePipeline(device, format, false));
}

CapturePipeline::CapturePipeline(const CaptureDevice &device, const CaptureFormat &format, bool testPattern)
    : m_device(device)
    , m_format(format)
    , m_testPattern(testPattern)
{
    qRegisterMetaType<RecordingResult>();
    CaptureGst::ensureInit();
    m_finishGuard.setSingleShot(true);
    connect(&m_finishGuard, &QTimer::timeout, this, [this] {
        if (m_shared) {
            const std::lock_guard guard(m_shared->lock);
            if (!m_shared->recEnded) {
                m_shared->recEnded = true;
                m_shared->recFailure = QStringLiteral("The clip could not be finished in time.");
            }
        }
        if (m_record)
            recordingEnded(m_generation, m_record->id);
    });
}

CapturePipeline::~CapturePipeline()
{
    // Whoever listens may be going too; the clip is still finished.
    blockSignals(true);
    stop();
}

qint64 CapturePipeline::framesProduced() const { return m_shared ? m_shared->produced.load() : m_produced; }

qint64 CapturePipeline::framesRecorded() const { return m_shared ? m_shared->recFrames.load() : 0; }

bool CapturePipeline::canRecord(Container container)
{
    return container == Container::Avi ? CaptureGst::hasElements({"jpegenc", "avimux", "filesink"})
                                       : h264Chain() != nullptr;
}

void CapturePipeline::setAudioSourceDescription(const QString &description)
{
    audioSource() = description;
}

QString CapturePipeline::audioSourceDescription() { return audioSource(); }

int CapturePipeline::livePipelines() { return CaptureGst::livePipelines(); }

GstElement *CapturePipeline::build(QString *error)
{
    using CaptureGst::make;
    const int width = m_format.size.width();
    const int height = m_format.size.height();
    GstElement *source = nullptr;
    GstElement *sourceCaps = nullptr;
    GstElement *decoder = nullptr;
    GstElement *convert = nullptr;
    GstElement *outCaps = nullptr;
    if (m_testPattern) {
        source = make("videotestsrc", "src");
        if (source) {
            g_object_set(source, "is-live", TRUE, nullptr);
            gst_util_set_object_arg(G_OBJECT(source), "pattern", "smpte");
        }
        sourceCaps = capsFilter(gst_caps_new_simple(
            "video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT, width, "height", G_TYPE_INT,
            height, "framerate", GST_TYPE_FRACTION, qMax(1, m_format.framesPerSecond), 1,
            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
    } else {
        source = m_device.handle ? gst_device_create_element(m_device.handle.get(), "src") : nullptr;
        GstCaps *caps = gst_caps_new_empty_simple(m_format.compressed ? "image/jpeg" : "video/x-raw");
        if (!m_format.size.isEmpty())
            gst_caps_set_simple(caps, "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
        sourceCaps = capsFilter(caps);
        if (m_format.compressed)
            decoder = make("jpegdec");
        convert = make("videoconvert");
        outCaps = capsFilter(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr));
    }
    GstElement *tee = make("tee", "split");
    GstElement *view = make("appsink", "view");
    const bool complete = source && sourceCaps && tee && view && (m_testPattern || (convert && outCaps))
                          && (!m_format.compressed || decoder);
    GstElement *pipeline = gst_pipeline_new("capture");
    for (GstElement *element : {source, sourceCaps, decoder, convert, outCaps, tee, view})
        if (element)
            gst_bin_add(GST_BIN(pipeline), element);
    if (!complete || !linkAll({source, sourceCaps, decoder, convert, outCaps, tee, view})) {
        gst_object_unref(pipeline);
        *error = QStringLiteral("The capture device could not be set up.");
        return nullptr;
    }
    m_tee = tee;
    // A branch being added or removed must not stop the others.
    g_object_set(tee, "allow-not-linked", TRUE, nullptr);

    // The window takes the newest picture; one that is late is replaced.
    GstCaps *viewCaps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
    g_object_set(view, "sync", FALSE, "max-buffers", 1u, "drop", TRUE, "enable-last-sample", FALSE, "caps",
                 viewCaps, nullptr);
    gst_caps_unref(viewCaps);
    GstAppSinkCallbacks callbacks {};
    callbacks.new_sample = [](GstAppSink *sink, gpointer data) -> GstFlowReturn {
        Shared &s = Shared::of(data);
        GstSample *sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_OK;
        QImage picture = imageOf(sample);
        const std::lock_guard guard(s.lock);
        s.latest = std::move(picture);
        if (!s.haveFrame) {
            s.haveFrame = true;
            s.wake.notify_all();
        }
        if (!s.posted) {
            s.posted = true;
            s.relay.post([self = s.owner, gen = s.generation] { self->deliverFrame(gen); });
        }
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(view), &callbacks, Shared::hold(m_shared), Shared::release);

    // Every picture passes here once: counted, and numbered when it is ours.
    GstPad *split = gst_element_get_static_pad(tee, "sink");
    gst_pad_add_probe(
        split, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) -> GstPadProbeReturn {
            Shared &s = Shared::of(data);
            const qint64 n = s.produced++;
            if (s.stamp) {
                GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
                GST_PAD_PROBE_INFO_DATA(info) = buffer;
                GstMapInfo map;
                if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
                    if (map.size >= gsize(s.stride) * gsize(s.height))
                        CaptureFrameStamp::write(map.data, s.width, s.height, s.stride, n);
                    gst_buffer_unmap(buffer, &map);
                }
            }
            return GST_PAD_PROBE_OK;
        },
        Shared::hold(m_shared), Shared::release);
    gst_object_unref(split);
    return pipeline;
}

QString CapturePipeline::start()
{
    if (m_pipeline)
        return {};
    m_generation = ++g_generation;
    m_shared = std::make_shared<Shared>(this, m_generation);
    if (m_testPattern) {
        GstVideoInfo info;
        gst_video_info_set_format(&info, GST_VIDEO_FORMAT_BGRx, guint(m_format.size.width()),
                                  guint(m_format.size.height()));
        m_shared->stamp = true;
        m_shared->width = m_format.size.width();
        m_shared->height = m_format.size.height();
        m_shared->stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    }
    m_failed = false;
    m_shown = 0;
    m_current = QImage();
    QString error;
    m_pipeline = build(&error);
    if (!m_pipeline) {
        m_shared->relay.close();
        m_shared.reset();
        m_generation = 0;
        return error;
    }
    CaptureGst::trackPipeline(m_pipeline);

    GstBus *bus = gst_element_get_bus(m_pipeline);
    CaptureGst::watchBus(bus, [shared = m_shared](GstMessage *message) {
        Shared &s = *shared;
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            const QString text = CaptureGst::errorText(message);
            const bool lost = CaptureGst::isDeviceLost(message);
            GstObject *from = GST_MESSAGE_SRC(message);
            const std::lock_guard guard(s.lock);
            if (s.recBin && (from == GST_OBJECT(s.recBin) || gst_object_has_as_ancestor(from, GST_OBJECT(s.recBin)))) {
                s.clipEnded(text);
                return;
            }
            // A source that fails is followed by its base class's own error.
            if (s.stopped)
                return;
            s.stopped = true;
            s.error = text;
            s.wake.notify_all();
            s.relay.post([self = s.owner, gen = s.generation, text, lost] { self->sourceFailed(gen, text, lost); });
            return;
        }
        case GST_MESSAGE_ELEMENT: {
            // The clip's bin forwards its file's end of stream: the file is complete.
            if (!gst_message_has_name(message, "GstBinForwarded"))
                return;
            GstMessage *inner = nullptr;
            gst_structure_get(gst_message_get_structure(message), "message", GST_TYPE_MESSAGE, &inner, nullptr);
            if (!inner)
                return;
            const bool ended = GST_MESSAGE_TYPE(inner) == GST_MESSAGE_EOS;
            GstObject *from = GST_MESSAGE_SRC(inner);
            const std::lock_guard guard(s.lock);
            if (ended && s.recSink && from == GST_OBJECT(s.recSink))
                s.clipEnded(QString());
            gst_message_unref(inner);
            return;
        }
        case GST_MESSAGE_WARNING: {
            GError *warning = nullptr;
            gst_message_parse_warning(message, &warning, nullptr);
            qCInfo(lcMediaCapture) << "warning from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message))
                                   << (warning ? warning->message : "");
            g_clear_error(&warning);
            return;
        }
        default: return;
        }
    });
    gst_object_unref(bus);

    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        {
            const std::lock_guard guard(m_shared->lock);
            error = m_shared->error;
        }
        teardown();
        return error.isEmpty() ? QStringLiteral("The capture device could not be started.") : error;
    }
    {
        Shared &s = *m_shared;
        std::unique_lock guard(s.lock);
        s.wake.wait_for(guard, kFirstFrameWait, [&] { return s.haveFrame || s.stopped; });
        if (s.stopped)
            error = s.error;
        else if (s.haveFrame)
            m_current = s.latest;
    }
    if (!error.isEmpty()) {
        teardown();
        return error;
    }
    return {};
}

void CapturePipeline::stop()
{
    if (m_record)
        finishRecording();
    teardown();
}

void CapturePipeline::teardown()
{
    if (!m_pipeline)
        return;
    m_finishGuard.stop();
    m_generation = 0;
    m_shared->relay.close();
    // Joins every streaming thread of the pipeline.
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    if (m_record)
        dropRecordBranch();
    GstBus *bus = gst_element_get_bus(m_pipeline);
    CaptureGst::unwatchBus(bus);
    gst_object_unref(bus);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
    m_tee = nullptr;
    m_produced = m_shared->produced;
    m_shared.reset();
}

void CapturePipeline::deliverFrame(int generation)
{
    if (generation != m_generation)
        return;
    QImage picture;
    {
        const std::lock_guard guard(m_shared->lock);
        picture = m_shared->latest;
        m_shared->posted = false;
    }
    if (picture.isNull())
        return;
    m_current = picture;
    ++m_shown;
    Q_EMIT frameReady(picture);
}

void CapturePipeline::sourceFailed(int generation, const QString &message, bool lost)
{
    if (generation != m_generation || m_failed)
        return;
    m_failed = true;
    m_failure = message;
    m_failureLost = lost;
    // What the clip holds so far is closed first; recordingEnded goes on.
    if (m_record) {
        requestEndOfClip(false);
        return;
    }
    teardown();
    Q_EMIT failed(message, lost);
}

QString CapturePipeline::startRecording(const Recording &recording)
{
    using CaptureGst::make;
    if (!m_pipeline || m_failed)
        return QStringLiteral("The capture device is not running.");
    if (m_record)
        return QStringLiteral("A clip is being recorded already.");
    if (recording.path.isEmpty())
        return QStringLiteral("No file was named for the clip.");
    const bool mp4 = recording.container == Container::Mp4;
    const H264Chain *h264 = mp4 ? h264Chain() : nullptr;
    if (mp4 && !h264)
        return QStringLiteral("No H.264 encoder is installed.");
    const int fps = qMax(1, m_format.framesPerSecond);
    const int quality = qBound(1, recording.quality, 100);

    GstElement *bin = gst_bin_new("record");
    // The file's end of stream comes up to the bus: the clip is complete.
    g_object_set(bin, "message-forward", TRUE, nullptr);
    GstElement *queue = make("queue");
    GstElement *convert = make("videoconvert");
    GstElement *encoder = make(mp4 ? h264->encoder : "jpegenc");
    GstElement *parser = mp4 && h264->parser ? make(h264->parser) : nullptr;
    GstElement *mux = make(mp4 ? "mp4mux" : "avimux", "mux");
    GstElement *sink = make("filesink", "file");
    bool complete = queue && convert && encoder && mux && sink && (!mp4 || !h264->parser || parser);
    if (queue)
        g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", kRecordQueueBytes, "max-size-time", kRecordQueue,
                     nullptr);
    if (encoder && mp4 && qstrcmp(h264->encoder, "x264enc") == 0) {
        setArg(encoder, "speed-preset", QStringLiteral("veryfast"));
        setArg(encoder, "tune", QStringLiteral("zerolatency"));
        setArg(encoder, "pass", QStringLiteral("qual"));
        // Quality 85 gives 17, near what the eye tells from the original.
        setArg(encoder, "quantizer", QString::number(qBound(0, 51 - quality * 2 / 5, 50)));
        setArg(encoder, "key-int-max", QString::number(2 * fps));
    } else if (encoder && mp4) {
        const qint64 pixels = qint64(m_format.size.width()) * m_format.size.height() * fps;
        setArg(encoder, "bitrate", QString::number(qBound(qint64(500000), pixels * quality / 400, qint64(20000000))));
    } else if (encoder) {
        g_object_set(encoder, "quality", quality, nullptr);
    }
    if (sink)
        g_object_set(sink, "location", QFile::encodeName(recording.path).constData(), "async", FALSE, nullptr);
    for (GstElement *element : {queue, convert, encoder, parser, mux, sink})
        if (element)
            gst_bin_add(GST_BIN(bin), element);
    complete = complete && linkAll({queue, convert, encoder, parser, mux, sink});

    GstElement *audio = nullptr;
    if (complete && recording.audio) {
        const bool aac = !mp4 || CaptureGst::hasElements({"avenc_aac"});
        const QString description = audioSource().isEmpty() ? QStringLiteral("autoaudiosrc") : audioSource();
        GError *parseError = nullptr;
        audio = aac ? gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &parseError) : nullptr;
        if (parseError) {
            qCWarning(lcMediaCapture) << "sound source" << description << parseError->message;
            g_clear_error(&parseError);
        }
        GstCaps *caps = gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, recording.audioRate, "channels",
                                            G_TYPE_INT, qBound(1, recording.audioChannels, 2), nullptr);
        if (!mp4)
            gst_caps_set_simple(caps, "format", G_TYPE_STRING, "S16LE", nullptr);
        GstElement *audioCaps = capsFilter(caps);
        GstElement *chain[] = {audio,         make("audioconvert"),
                               make("audioresample"), audioCaps,
                               make("queue"), mp4 ? make("audioconvert") : nullptr,
                               mp4 ? make("avenc_aac") : nullptr};
        bool built = std::all_of(std::begin(chain), std::begin(chain) + (mp4 ? 7 : 5),
                                 [](GstElement *e) { return e != nullptr; });
        for (GstElement *element : chain)
            if (element)
                gst_bin_add(GST_BIN(bin), element);
        // The muxer is asked for a sound pad last, so a failure leaves it none.
        built = built && linkAll({chain[0], chain[1], chain[2], chain[3], chain[4], chain[5], chain[6]})
                && gst_element_link(mp4 ? chain[6] : chain[4], mux);
        if (!built) {
            // A clip without sound is better than none.
            qCWarning(lcMediaCapture) << "the clip is recorded without sound";
            for (GstElement *element : chain)
                if (element)
                    gst_bin_remove(GST_BIN(bin), element);
            audio = nullptr;
        } else {
            // Sound starts with the clip's first picture, at time 0 like it.
            GstPad *pad = gst_element_get_static_pad(chain[3], "src");
            gst_pad_add_probe(
                pad, GST_PAD_PROBE_TYPE_BUFFER,
                [](GstPad *, GstPadProbeInfo *info, gpointer data) -> GstPadProbeReturn {
                    Shared &s = Shared::of(data);
                    const guint64 first = s.recFirst;
                    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
                    const GstClockTime pts = GST_BUFFER_PTS(buffer);
                    const GstClockTime end = pts + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
                    if (first == GST_CLOCK_TIME_NONE || !GST_CLOCK_TIME_IS_VALID(pts) || end <= first)
                        return GST_PAD_PROBE_DROP;
                    buffer = gst_buffer_make_writable(buffer);
                    GST_PAD_PROBE_INFO_DATA(info) = buffer;
                    GST_BUFFER_PTS(buffer) = pts > first ? pts - first : 0;
                    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
                    return GST_PAD_PROBE_OK;
                },
                Shared::hold(m_shared), Shared::release);
            gst_object_unref(pad);
        }
    }
    if (!complete) {
        gst_object_unref(bin);
        return QStringLiteral("The clip could not be set up.");
    }

    GstPad *queueSink = gst_element_get_static_pad(queue, "sink");
    GstPad *ghost = gst_ghost_pad_new("sink", queueSink);
    gst_object_unref(queueSink);
    gst_element_add_pad(bin, ghost);
    // The clip takes the pictures from the first one it sees, restamped from
    // 0, up to the time limit; after its end it takes none.
    gst_pad_add_probe(
        ghost, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) -> GstPadProbeReturn {
            Shared &s = Shared::of(data);
            if (s.recClosing)
                return GST_PAD_PROBE_DROP;
            GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            const GstClockTime pts = GST_BUFFER_PTS(buffer);
            if (!GST_CLOCK_TIME_IS_VALID(pts))
                return GST_PAD_PROBE_DROP;
            guint64 first = s.recFirst;
            if (first == GST_CLOCK_TIME_NONE)
                s.recFirst = first = pts;
            if (s.recLimit > 0 && pts >= first + s.recLimit) {
                s.recClosing = true;
                GstElement *bin = nullptr;
                {
                    const std::lock_guard guard(s.lock);
                    bin = s.recBin;
                }
                if (bin)
                    gst_element_call_async(
                        bin, [](GstElement *, gpointer d) { Shared::of(d).endClip(); },
                        Shared::hold(*static_cast<std::shared_ptr<Shared> *>(data)), Shared::release);
                return GST_PAD_PROBE_DROP;
            }
            buffer = gst_buffer_make_writable(buffer);
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            GST_BUFFER_PTS(buffer) = pts - first;
            GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
            ++s.recFrames;
            return GST_PAD_PROBE_OK;
        },
        Shared::hold(m_shared), Shared::release);

    auto record = std::make_unique<Record>();
    record->id = ++g_recordId;
    record->path = recording.path;
    record->bin = bin;
    {
        Shared &s = *m_shared;
        const std::lock_guard guard(s.lock);
        s.recId = record->id;
        s.recBin = bin;
        s.recSink = sink;
        s.recPad = GST_PAD(gst_object_ref(ghost));
        s.recAudio = audio ? GST_ELEMENT(gst_object_ref(audio)) : nullptr;
        s.recEnded = false;
        s.recFailure.clear();
        s.recClosing = false;
        s.recFrames = 0;
        s.recFirst = GST_CLOCK_TIME_NONE;
        s.recLimit = recording.timeLimitSeconds > 0 ? guint64(recording.timeLimitSeconds) * GST_SECOND : 0;
    }
    m_record = std::move(record);
    gst_bin_add(GST_BIN(m_pipeline), bin);
    // The file opens here; a folder that cannot take it fails at once.
    if (!gst_element_sync_state_with_parent(bin)) {
        QString failure;
        {
            const std::lock_guard guard(m_shared->lock);
            failure = m_shared->recFailure;
        }
        dropRecordBranch();
        return failure.isEmpty() ? QStringLiteral("The clip file could not be created.") : failure;
    }
    m_record->teePad = gst_element_request_pad_simple(m_tee, "src_%u");
    if (!m_record->teePad || gst_pad_link(m_record->teePad, ghost) != GST_PAD_LINK_OK) {
        dropRecordBranch();
        return QStringLiteral("The clip could not be set up.");
    }
    // The tee stops the source on any branch's failure or end; the clip's
    // branch hands it pictures itself and always answers OK, so a full
    // disk or a finished clip ends the clip and nothing else.
    gst_pad_add_probe(
        m_record->teePad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        [](GstPad *pad, GstPadProbeInfo *info, gpointer data) -> GstPadProbeReturn {
            Shared &s = Shared::of(data);
            GstPad *branch = s.recClosing ? nullptr : gst_pad_get_peer(pad);
            if (!branch)
                return GST_PAD_PROBE_DROP;
            const GstFlowReturn result = (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST)
                                             ? gst_pad_chain_list(branch, GST_PAD_PROBE_INFO_BUFFER_LIST(info))
                                             : gst_pad_chain(branch, GST_PAD_PROBE_INFO_BUFFER(info));
            gst_object_unref(branch);
            if (result != GST_FLOW_OK)
                s.recClosing = true;
            GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_OK;
            return GST_PAD_PROBE_HANDLED;
        },
        Shared::hold(m_shared), Shared::release);
    return {};
}

void CapturePipeline::stopRecording() { requestEndOfClip(false); }

void CapturePipeline::finishRecording() { requestEndOfClip(true); }

void CapturePipeline::requestEndOfClip(bool wait)
{
    if (!m_record)
        return;
    const std::shared_ptr<Shared> shared = m_shared;
    shared->recClosing = true;
    if (!m_record->ending) {
        m_record->ending = true;
        if (wait)
            shared->endClip();
        else
            gst_element_call_async(
                m_record->bin, [](GstElement *, gpointer data) { Shared::of(data).endClip(); },
                Shared::hold(shared), Shared::release);
    }
    if (!wait) {
        m_finishGuard.start(std::chrono::duration_cast<std::chrono::milliseconds>(kFinishWait));
        return;
    }
    {
        std::unique_lock guard(shared->lock);
        if (!shared->wake.wait_for(guard, kFinishWait, [&] { return shared->recEnded; })) {
            shared->recEnded = true;
            shared->recFailure = QStringLiteral("The clip could not be finished in time.");
        }
    }
    recordingEnded(m_generation, m_record->id);
}

void CapturePipeline::recordingEnded(int generation, int recordId)
{
    if (generation != m_generation || !m_record || m_record->id != recordId)
        return;
    RecordingResult result;
    result.path = m_record->path;
    result.frames = m_shared->recFrames;
    {
        const std::lock_guard guard(m_shared->lock);
        result.failure = m_shared->recFailure;
    }
    dropRecordBranch();
    result.sourceStopped = m_failed;
    if (m_failed && result.failure.isEmpty())
        result.failure = m_failure;
    Q_EMIT recordingFinished(result);
    if (m_failed) {
        const QString message = m_failure;
        const bool lost = m_failureLost;
        teardown();
        Q_EMIT failed(message, lost);
    }
}

void CapturePipeline::dropRecordBranch()
{
    if (!m_record)
        return;
    m_finishGuard.stop();
    m_shared->recClosing = true;
    GstElement *bin = m_record->bin;
    if (m_record->teePad) {
        GstPad *peer = gst_pad_get_peer(m_record->teePad);
        if (peer) {
            gst_pad_unlink(m_record->teePad, peer);
            gst_object_unref(peer);
        }
        gst_element_release_request_pad(m_tee, m_record->teePad);
        gst_object_unref(m_record->teePad);
    }
    gst_element_set_state(bin, GST_STATE_NULL);
    {
        const std::lock_guard guard(m_shared->lock);
        m_shared->recBin = nullptr;
        m_shared->recSink = nullptr;
        if (m_shared->recPad)
            gst_object_unref(m_shared->recPad);
        if (m_shared->recAudio)
            gst_object_unref(m_shared->recAudio);
        m_shared->recPad = nullptr;
        m_shared->recAudio = nullptr;
    }
    gst_bin_remove(GST_BIN(m_pipeline), bin);
    m_record.reset();
}

} // namespace tovradocs::Internal
