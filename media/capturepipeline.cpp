#include "media/capturepipeline.h"

#include "media/captureframestamp.h"
#include "media/gstsupport_p.h"
#include "media/mediaengine.h"
#include "media/medialogging.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QFile>

#include <algorithm>
#include <atomic>
#include <map>

namespace tovradocs::Internal {

namespace capturepipeline {

constexpr int kFinishWaitMs = 10000;
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

// One strand per device: a camera is let go before it is opened again, by
// this window or the next.
std::shared_ptr<MediaEngine::Strand> strandFor(const QByteArray &device)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::weak_ptr<MediaEngine::Strand>> strands;
    const std::lock_guard guard(mutex);
    std::weak_ptr<MediaEngine::Strand> &slot = strands[device];
    std::shared_ptr<MediaEngine::Strand> strand = slot.lock();
    if (!strand) {
        strand = MediaEngine::Strand::create();
        slot = strand;
    }
    return strand;
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
        if (Gst::hasElements({chain.encoder, "mp4mux"})
            && (!chain.parser || Gst::hasElements({chain.parser})))
            return &chain;
    return nullptr;
}

void setArg(GstElement *element, const char *property, const QString &value)
{
    gst_util_set_object_arg(G_OBJECT(element), property, value.toUtf8().constData());
}

GstElement *capsFilter(GstCaps *caps)
{
    GstElement *filter = Gst::makeElement("capsfilter");
    if (filter)
        g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    return filter;
}

bool linkAll(std::initializer_list<GstElement *> chain)
{
    GstElement *previous = nullptr;
    for (GstElement *element : chain) {
        if (!element)
            continue;
        if (previous && !gst_element_link(previous, element)) {
            qCWarning(lcMedia) << "cannot link" << GST_OBJECT_NAME(previous) << "to"
                               << GST_OBJECT_NAME(element);
            return false;
        }
        previous = element;
    }
    return true;
}

bool isForwardedEos(GstMessage *message, GstObject **from)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ELEMENT
        || !gst_message_has_name(message, "GstBinForwarded"))
        return false;
    GstMessage *inner = nullptr;
    gst_structure_get(gst_message_get_structure(message), "message", GST_TYPE_MESSAGE, &inner,
                      nullptr);
    if (!inner)
        return false;
    const bool eos = GST_MESSAGE_TYPE(inner) == GST_MESSAGE_EOS;
    *from = GST_MESSAGE_SRC(inner); // the outer message holds it
    gst_message_unref(inner);
    return eos;
}

bool within(GstObject *object, GstElement *ancestor)
{
    return ancestor
        && (object == GST_OBJECT(ancestor)
            || gst_object_has_as_ancestor(object, GST_OBJECT(ancestor)));
}

} // namespace capturepipeline

using namespace capturepipeline;
using Result = CapturePipeline::RecordingResult;
using Finished = std::function<void(const Result &)>;

// One clip as the streaming threads see it; each clip has its own, so what
// one counts never mixes with the next.
struct CapturePipeline::Clip
{
    std::atomic<bool> closing {false};
    std::atomic<qint64> frames {0};
    std::atomic<guint64> first {GST_CLOCK_TIME_NONE};
    guint64 limit = 0;
    // To end the clip at its time limit.
    std::shared_ptr<MediaEngine::Strand> strand;
    std::weak_ptr<Shared> shared;

    static gpointer hold(const std::shared_ptr<Clip> &clip)
    {
        return new std::shared_ptr<Clip>(clip);
    }
    static void release(gpointer data) { delete static_cast<std::shared_ptr<Clip> *>(data); }
    static Clip &of(gpointer data) { return **static_cast<std::shared_ptr<Clip> *>(data); }
};

// What the worker, GStreamer's threads and the UI thread share while one run
// of the pipeline lasts. The pipeline and the clip's branch are made, changed
// and let go on the strand only.
struct CapturePipeline::Shared : std::enable_shared_from_this<Shared>
{
    Shared(std::shared_ptr<MediaEngine::Strand> strand, std::shared_ptr<Gst::Relay> relay,
           CapturePipeline *owner, int generation)
        : strand(std::move(strand))
        , relay(std::move(relay))
        , owner(owner)
        , generation(generation)
    {
    }

    const std::shared_ptr<MediaEngine::Strand> strand;
    const std::shared_ptr<Gst::Relay> relay;
    CapturePipeline *const owner; // used only in calls the relay queues
    const int generation;

    // Set by the start job before the UI thread hears of it.
    GstElement *pipeline = nullptr;
    GstElement *tee = nullptr;
    // The test pattern's frame numbers.
    bool stamp = false;
    int width = 0;
    int height = 0;
    int stride = 0;
    std::atomic<qint64> produced {0};

    std::mutex lock;
    // Under lock: the newest picture, not yet taken by the window.
    QImage latest;
    bool posted = false;
    // Under lock: the clip's bin and file, so messages can be told apart.
    GstElement *recBin = nullptr;
    GstElement *recSink = nullptr;

    // The clip, on the strand.
    std::shared_ptr<Clip> clip;
    GstPad *recPad = nullptr; // the bin's sink
    GstPad *teePad = nullptr;
    GstElement *recAudio = nullptr;
    QString recPath;
    Finished recFinished;
    bool recEosSent = false;

    gpointer hold() { return new std::shared_ptr<Shared>(shared_from_this()); }
    static void release(gpointer data) { delete static_cast<std::shared_ptr<Shared> *>(data); }
    static Shared &of(gpointer data) { return **static_cast<std::shared_ptr<Shared> *>(data); }

    enum class Origin { Source, Clip, GoneClip };
    // Where an error on the bus comes from; UI thread.
    Origin originOf(GstObject *from)
    {
        const std::lock_guard guard(lock);
        if (within(from, recBin))
            return Origin::Clip;
        // A clip's branch taken away already is no longer inside the pipeline.
        return within(from, pipeline) ? Origin::Source : Origin::GoneClip;
    }

    bool isClipFile(GstObject *from)
    {
        const std::lock_guard guard(lock);
        return recSink && from == GST_OBJECT(recSink);
    }

    // Strand from here on.
    GstElement *build(const CaptureDevice &device, const CaptureFormat &format, bool testPattern,
                      QString *error);
    void addClip(CapturePipeline::Recording recording, int id, std::shared_ptr<Clip> state,
                 const CaptureFormat &format);
    void refuseClip(int id, Finished finished, const QString &path, const QString &why);
    // Sends the end of the clip into its branch and to its sound source;
    // only when which is still the clip being recorded.
    void endClip(const Clip *which = nullptr);
    // Ends the clip and waits for its file to be complete; the pipeline's bus
    // has no watch by then.
    void finishClip(const QString &sourceFailure);
    // Takes the clip's branch away (its file closes) and reports the clip.
    void dropClip(const QString &failure, const QString &sourceFailure);
    void releasePipeline();
};

struct CapturePipeline::Record
{
    int id = 0;
    bool ending = false;
    std::shared_ptr<Clip> clip;
};

GstElement *CapturePipeline::Shared::build(const CaptureDevice &device, const CaptureFormat &format,
                                           bool testPattern, QString *error)
{
    using Gst::makeElement;
    const int width = format.size.width();
    const int height = format.size.height();
    GstElement *source = nullptr;
    GstElement *sourceCaps = nullptr;
    GstElement *decoder = nullptr;
    GstElement *convert = nullptr;
    GstElement *outCaps = nullptr;
    if (testPattern) {
        source = makeElement("videotestsrc", "src");
        if (source) {
            g_object_set(source, "is-live", TRUE, nullptr);
            gst_util_set_object_arg(G_OBJECT(source), "pattern", "smpte");
        }
        sourceCaps = capsFilter(gst_caps_new_simple(
            "video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT, width, "height",
            G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION, qMax(1, format.framesPerSecond), 1,
            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
    } else {
        source = device.handle ? gst_device_create_element(device.handle.get(), "src") : nullptr;
        GstCaps *caps = gst_caps_new_empty_simple(format.compressed ? "image/jpeg" : "video/x-raw");
        if (!format.size.isEmpty())
            gst_caps_set_simple(caps, "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
        sourceCaps = capsFilter(caps);
        if (format.compressed)
            decoder = makeElement("jpegdec");
        convert = makeElement("videoconvert");
        outCaps = capsFilter(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr));
    }
    GstElement *split = makeElement("tee", "split");
    GstElement *view = makeElement("appsink", "view");
    const bool complete = source && sourceCaps && split && view
        && (testPattern || (convert && outCaps)) && (!format.compressed || decoder);
    GstElement *bin = gst_pipeline_new("capture");
    for (GstElement *element : {source, sourceCaps, decoder, convert, outCaps, split, view})
        if (element)
            gst_bin_add(GST_BIN(bin), element);
    if (!complete || !linkAll({source, sourceCaps, decoder, convert, outCaps, split, view})) {
        gst_object_unref(bin);
        *error = QStringLiteral("The capture device could not be set up.");
        return nullptr;
    }
    // A branch being added or removed must not stop the others.
    g_object_set(split, "allow-not-linked", TRUE, nullptr);

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
        QImage picture = Gst::imageFromSample(sample);
        gst_sample_unref(sample);
        const std::lock_guard guard(s.lock);
        s.latest = std::move(picture);
        if (!s.posted) {
            s.posted = true;
            s.relay->post(
                [owner = s.owner, generation = s.generation] { owner->deliverFrame(generation); });
        }
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(view), &callbacks, hold(), release);

    // Every picture passes here once: counted, and numbered when it is ours.
    GstPad *into = gst_element_get_static_pad(split, "sink");
    gst_pad_add_probe(
        into, GST_PAD_PROBE_TYPE_BUFFER,
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
        hold(), release);
    gst_object_unref(into);
    tee = split;
    return bin;
}

void CapturePipeline::Shared::addClip(CapturePipeline::Recording recording, int id,
                                      std::shared_ptr<Clip> state, const CaptureFormat &format)
{
    using Gst::makeElement;
    Finished finished = std::move(recording.whenFinished);
    if (!pipeline)
        return refuseClip(id, std::move(finished), recording.path,
                          QStringLiteral("The capture device is not running."));
    const bool mp4 = recording.container == Container::Mp4;
    const H264Chain *h264 = mp4 ? h264Chain() : nullptr;
    if (mp4 && !h264)
        return refuseClip(id, std::move(finished), recording.path,
                          QStringLiteral("No H.264 encoder is installed."));
    const int fps = qMax(1, format.framesPerSecond);
    const int quality = qBound(1, recording.quality, 100);

    GstElement *bin = gst_bin_new("record");
    // The file's end of stream comes up to the bus: the clip is complete.
    g_object_set(bin, "message-forward", TRUE, nullptr);
    GstElement *queue = makeElement("queue");
    GstElement *convert = makeElement("videoconvert");
    GstElement *encoder = makeElement(mp4 ? h264->encoder : "jpegenc");
    GstElement *parser = mp4 && h264->parser ? makeElement(h264->parser) : nullptr;
    GstElement *mux = makeElement(mp4 ? "mp4mux" : "avimux", "mux");
    GstElement *sink = makeElement("filesink", "file");
    bool complete = queue && convert && encoder && mux && sink && (!mp4 || !h264->parser || parser);
    if (queue)
        g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", kRecordQueueBytes,
                     "max-size-time", kRecordQueue, nullptr);
    if (encoder && mp4 && qstrcmp(h264->encoder, "x264enc") == 0) {
        setArg(encoder, "speed-preset", QStringLiteral("veryfast"));
        setArg(encoder, "tune", QStringLiteral("zerolatency"));
        setArg(encoder, "pass", QStringLiteral("qual"));
        // Quality 85 gives 17, near what the eye tells from the original.
        setArg(encoder, "quantizer", QString::number(qBound(0, 51 - quality * 2 / 5, 50)));
        setArg(encoder, "key-int-max", QString::number(2 * fps));
    } else if (encoder && mp4) {
        const qint64 pixels = qint64(format.size.width()) * format.size.height() * fps;
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
        const bool aac = !mp4 || Gst::hasElements({"avenc_aac"});
        const QString description = audioSource().isEmpty() ? QStringLiteral("autoaudiosrc") : audioSource();
        GError *parseError = nullptr;
        audio = aac ? gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &parseError) : nullptr;
        if (parseError) {
            qCWarning(lcMedia) << "sound source" << description << parseError->message;
            g_clear_error(&parseError);
        }
        GstCaps *caps = gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, recording.audioRate, "channels",
                                            G_TYPE_INT, qBound(1, recording.audioChannels, 2), nullptr);
        if (!mp4)
            gst_caps_set_simple(caps, "format", G_TYPE_STRING, "S16LE", nullptr);
        GstElement *audioCaps = capsFilter(caps);
        GstElement *chain[] = {audio,
                               makeElement("audioconvert"),
                               makeElement("audioresample"),
                               audioCaps,
                               makeElement("queue"),
                               mp4 ? makeElement("audioconvert") : nullptr,
                               mp4 ? makeElement("avenc_aac") : nullptr};
        bool built = std::all_of(std::begin(chain), std::begin(chain) + (mp4 ? 7 : 5),
                                 [](GstElement *e) { return e != nullptr; });
        for (GstElement *element : chain)
            if (element)
                gst_bin_add(GST_BIN(bin), element);
        // The muxer is asked for a sound pad last, so a failure leaves it none.
        built = built
            && linkAll({chain[0], chain[1], chain[2], chain[3], chain[4], chain[5], chain[6]})
            && gst_element_link(mp4 ? chain[6] : chain[4], mux);
        if (!built) {
            // A clip without sound is better than none.
            qCWarning(lcMedia) << "the clip is recorded without sound";
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
                    const guint64 first = Clip::of(data).first;
                    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
                    const GstClockTime pts = GST_BUFFER_PTS(buffer);
                    const GstClockTime end = pts
                        + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
                    if (first == GST_CLOCK_TIME_NONE || !GST_CLOCK_TIME_IS_VALID(pts) || end <= first)
                        return GST_PAD_PROBE_DROP;
                    buffer = gst_buffer_make_writable(buffer);
                    GST_PAD_PROBE_INFO_DATA(info) = buffer;
                    GST_BUFFER_PTS(buffer) = pts > first ? pts - first : 0;
                    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
                    return GST_PAD_PROBE_OK;
                },
                Clip::hold(state), Clip::release);
            gst_object_unref(pad);
        }
    }
    if (!complete) {
        gst_object_unref(bin);
        return refuseClip(id, std::move(finished), recording.path,
                          QStringLiteral("The clip could not be set up."));
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
            Clip &c = Clip::of(data);
            if (c.closing)
                return GST_PAD_PROBE_DROP;
            GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            const GstClockTime pts = GST_BUFFER_PTS(buffer);
            if (!GST_CLOCK_TIME_IS_VALID(pts))
                return GST_PAD_PROBE_DROP;
            guint64 first = c.first;
            if (first == GST_CLOCK_TIME_NONE)
                c.first = first = pts;
            if (c.limit > 0 && pts >= first + c.limit) {
                c.closing = true;
                c.strand->post(
                    [shared = c.shared, which = *static_cast<std::shared_ptr<Clip> *>(data)] {
                        if (const std::shared_ptr<Shared> s = shared.lock())
                            s->endClip(which.get());
                    });
                return GST_PAD_PROBE_DROP;
            }
            buffer = gst_buffer_make_writable(buffer);
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            GST_BUFFER_PTS(buffer) = pts - first;
            GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
            ++c.frames;
            return GST_PAD_PROBE_OK;
        },
        Clip::hold(state), Clip::release);

    state->limit
        = recording.timeLimitSeconds > 0 ? guint64(recording.timeLimitSeconds) * GST_SECOND : 0;
    state->strand = strand;
    state->shared = weak_from_this();
    clip = state;
    recPad = GST_PAD(gst_object_ref(ghost));
    recAudio = audio ? GST_ELEMENT(gst_object_ref(audio)) : nullptr;
    recPath = recording.path;
    recFinished = std::move(finished);
    recEosSent = false;
    {
        const std::lock_guard guard(lock);
        recBin = bin;
        recSink = sink;
    }
    gst_bin_add(GST_BIN(pipeline), bin);
    // The file opens here; a folder that cannot take it fails at once.
    if (!gst_element_sync_state_with_parent(bin)) {
        refuseClip(id, {}, recording.path, {});
        return dropClip(QStringLiteral("The clip file could not be created."), QString());
    }
    teePad = gst_element_request_pad_simple(tee, "src_%u");
    if (!teePad || gst_pad_link(teePad, ghost) != GST_PAD_LINK_OK) {
        refuseClip(id, {}, recording.path, {});
        return dropClip(QStringLiteral("The clip could not be set up."), QString());
    }
    // The tee stops the source on any branch's failure or end; the clip's
    // branch hands it pictures itself and always answers OK, so a full
    // disk or a finished clip ends the clip and nothing else.
    gst_pad_add_probe(
        teePad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        [](GstPad *pad, GstPadProbeInfo *info, gpointer data) -> GstPadProbeReturn {
            Clip &c = Clip::of(data);
            GstPad *branch = c.closing ? nullptr : gst_pad_get_peer(pad);
            if (!branch)
                return GST_PAD_PROBE_DROP;
            const GstFlowReturn result = (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST)
                ? gst_pad_chain_list(branch, GST_PAD_PROBE_INFO_BUFFER_LIST(info))
                : gst_pad_chain(branch, GST_PAD_PROBE_INFO_BUFFER(info));
            gst_object_unref(branch);
            if (result != GST_FLOW_OK)
                c.closing = true;
            GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_OK;
            return GST_PAD_PROBE_HANDLED;
        },
        Clip::hold(state), Clip::release);
}

void CapturePipeline::Shared::refuseClip(int id, Finished finished, const QString &path,
                                         const QString &why)
{
    // The window lets go of the clip before it hears why, so it may start the next.
    relay->post(
        [owner = owner, generation = generation, id] { owner->recordRefused(generation, id); });
    if (finished)
        MediaEngine::postToUi([finished = std::move(finished),
                               result = Result {path, 0, why, false}] { finished(result); });
}

void CapturePipeline::Shared::endClip(const Clip *which)
{
    if (!recPad || recEosSent || (which && which != clip.get()))
        return;
    recEosSent = true;
    clip->closing = true;
    gst_pad_send_event(recPad, gst_event_new_eos());
    if (recAudio)
        gst_element_send_event(recAudio, gst_event_new_eos());
}

void CapturePipeline::Shared::finishClip(const QString &sourceFailure)
{
    if (!recPad)
        return;
    endClip();
    // No picture reached the file: there is nothing to wait for.
    if (clip->frames == 0)
        return dropClip(QString(), sourceFailure);
    QString failure;
    GstBus *bus = gst_element_get_bus(pipeline);
    const gint64 deadline = g_get_monotonic_time() + gint64(kFinishWaitMs) * 1000;
    for (bool done = false; !done;) {
        const gint64 left = deadline - g_get_monotonic_time();
        GstMessage *message = left > 0
            ? gst_bus_timed_pop_filtered(bus, GstClockTime(left) * GST_USECOND,
                                         GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_ELEMENT))
            : nullptr;
        if (!message) {
            failure = QStringLiteral("The clip could not be finished in time.");
            break;
        }
        GstObject *from = nullptr;
        if (isForwardedEos(message, &from)) {
            done = isClipFile(from);
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR
                   && within(GST_MESSAGE_SRC(message), recBin)) {
            failure = Gst::describeError(message);
            done = true;
        }
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    dropClip(failure, sourceFailure);
}

void CapturePipeline::Shared::dropClip(const QString &failure, const QString &sourceFailure)
{
    GstElement *bin = nullptr;
    {
        const std::lock_guard guard(lock);
        bin = recBin;
    }
    if (!bin)
        return;
    clip->closing = true;
    if (teePad) {
        if (GstPad *peer = gst_pad_get_peer(teePad)) {
            gst_pad_unlink(teePad, peer);
            gst_object_unref(peer);
        }
        gst_element_release_request_pad(tee, teePad);
        gst_object_unref(teePad);
        teePad = nullptr;
    }
    // Closes the file.
    gst_element_set_state(bin, GST_STATE_NULL);
    {
        const std::lock_guard guard(lock);
        recBin = nullptr;
        recSink = nullptr;
    }
    if (recPad)
        gst_object_unref(recPad);
    if (recAudio)
        gst_object_unref(recAudio);
    recPad = nullptr;
    recAudio = nullptr;
    gst_bin_remove(GST_BIN(pipeline), bin);
    Result result {recPath, clip->frames, failure.isEmpty() ? sourceFailure : failure,
                   !sourceFailure.isEmpty()};
    clip.reset();
    if (Finished finished = std::exchange(recFinished, {}))
        MediaEngine::postToUi([finished = std::move(finished), result] { finished(result); });
}

void CapturePipeline::Shared::releasePipeline()
{
    // Waits for the source's streaming thread, which a hung device may hold.
    Gst::releasePipeline(std::exchange(pipeline, nullptr));
    tee = nullptr;
}

std::unique_ptr<CapturePipeline> CapturePipeline::testPattern(const CaptureFormat &format)
{
    CaptureDevice pattern;
    pattern.id = QByteArrayLiteral("test pattern");
    return std::unique_ptr<CapturePipeline>(new CapturePipeline(pattern, format, true));
}

std::unique_ptr<CapturePipeline> CapturePipeline::device(const CaptureDevice &device,
                                                         const CaptureFormat &format)
{
    return std::unique_ptr<CapturePipeline>(new CapturePipeline(device, format, false));
}

CapturePipeline::CapturePipeline(const CaptureDevice &device, const CaptureFormat &format,
                                 bool testPattern)
    : m_device(device)
    , m_format(format)
    , m_testPattern(testPattern)
    , m_relay(std::make_shared<Gst::Relay>(this))
{
    m_startGuard.setSingleShot(true);
    connect(&m_startGuard, &QTimer::timeout, this, [this] {
        if (isStarting())
            fail(QStringLiteral("No picture came from the capture device within %1 seconds.")
                     .arg(startTimeout() / 1000),
                 false);
    });
    m_finishGuard.setSingleShot(true);
    connect(&m_finishGuard, &QTimer::timeout, this,
            [this] { clipEnded(QStringLiteral("The clip could not be finished in time.")); });
}

CapturePipeline::~CapturePipeline()
{
    stop();
    m_relay->close();
}

qint64 CapturePipeline::framesProduced() const
{
    return m_shared ? m_shared->produced.load() : m_produced;
}

qint64 CapturePipeline::framesRecorded() const
{
    return m_record ? m_record->clip->frames.load() : 0;
}

bool CapturePipeline::canRecord(Container container)
{
    return container == Container::Avi ? Gst::hasElements({"jpegenc", "avimux", "filesink"})
                                       : h264Chain() != nullptr;
}

void CapturePipeline::setAudioSourceDescription(const QString &description)
{
    audioSource() = description;
}

QString CapturePipeline::audioSourceDescription()
{
    return audioSource();
}

void CapturePipeline::start()
{
    if (m_state != State::Stopped)
        return;
    m_state = State::Starting;
    m_generation = ++g_generation;
    m_shown = 0;
    m_current = QImage();
    m_shared = std::make_shared<Shared>(strandFor(m_device.id), m_relay, this, m_generation);
    if (m_testPattern) {
        GstVideoInfo info;
        gst_video_info_set_format(&info, GST_VIDEO_FORMAT_BGRx, guint(m_format.size.width()),
                                  guint(m_format.size.height()));
        m_shared->stamp = true;
        m_shared->width = m_format.size.width();
        m_shared->height = m_format.size.height();
        m_shared->stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    }
    m_startGuard.start(startTimeout());
    m_shared->strand->post(
        [shared = m_shared, device = m_device, format = m_format, pattern = m_testPattern] {
            const auto refuse = [&](const QString &why) {
                shared->relay->post([owner = shared->owner, generation = shared->generation, why] {
                    if (generation == owner->m_generation)
                        owner->fail(why, false);
                });
            };
            QString error;
            if (!MediaEngine::start(&error))
                return refuse(error);
            GstElement *pipeline = shared->build(device, format, pattern, &error);
            if (!pipeline)
                return refuse(error);
            Gst::adoptPipeline(pipeline);
            shared->pipeline = pipeline;
            shared->relay->post([owner = shared->owner, generation = shared->generation] {
                owner->built(generation);
            });
            // A camera opens here, which may take a while.
            if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
                return;
            // The reason is on the bus, unless the window's watch took it first.
            GstBus *bus = gst_element_get_bus(pipeline);
            GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
            gst_object_unref(bus);
            error = message ? Gst::describeError(message)
                            : QStringLiteral("The capture device could not be started.");
            if (message)
                gst_message_unref(message);
            refuse(error);
        });
}

void CapturePipeline::built(int generation)
{
    if (generation != m_generation)
        return;
    // The bus keeps what was posted before the watch, so nothing is missed.
    m_watch = std::make_unique<Gst::BusWatch>(m_shared->pipeline,
                                              [this](GstMessage *message) { busMessage(message); });
}

void CapturePipeline::busMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        const QString text = Gst::describeError(message);
        switch (m_shared->originOf(GST_MESSAGE_SRC(message))) {
        case Shared::Origin::Clip:
            clipEnded(text);
            break;
        case Shared::Origin::GoneClip:
            break;
        case Shared::Origin::Source:
            fail(text, Gst::isDeviceLost(message));
            break;
        }
        return;
    }
    case GST_MESSAGE_ELEMENT: {
        // The clip's bin forwards its file's end of stream: the file is complete.
        GstObject *from = nullptr;
        if (isForwardedEos(message, &from) && m_shared->isClipFile(from))
            clipEnded(QString());
        return;
    }
    case GST_MESSAGE_WARNING: {
        GError *warning = nullptr;
        gst_message_parse_warning(message, &warning, nullptr);
        qCInfo(lcMedia) << "warning from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message))
                        << (warning ? warning->message : "");
        g_clear_error(&warning);
        return;
    }
    default:
        return;
    }
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
    if (m_state == State::Starting) {
        m_state = State::Running;
        m_startGuard.stop();
        Q_EMIT started();
    }
    Q_EMIT frameReady(picture);
}

void CapturePipeline::fail(const QString &message, bool lost)
{
    if (m_state == State::Stopped)
        return;
    const bool wasStarting = m_state == State::Starting;
    qCInfo(lcMedia) << "capture source stopped:" << message;
    // What a clip holds so far is closed and reported first.
    teardown([relay = m_relay, owner = this, wasStarting, message,
              lost] { relay->post([=] { owner->reportFailure(wasStarting, message, lost); }); },
             message);
}

void CapturePipeline::reportFailure(bool wasStarting, const QString &message, bool lost)
{
    // Started again since: this run's failure is history.
    if (m_state != State::Stopped)
        return;
    if (wasStarting)
        Q_EMIT startFailed(message);
    else
        Q_EMIT failed(message, lost);
}

void CapturePipeline::stop()
{
    teardown({}, {});
}

void CapturePipeline::teardown(std::function<void()> thenReport, const QString &sourceFailure)
{
    if (m_state == State::Stopped)
        return;
    m_state = State::Stopped;
    m_startGuard.stop();
    m_finishGuard.stop();
    // From here the bus keeps its messages, for the worker finishing a clip.
    m_watch.reset();
    const bool clip = m_record != nullptr;
    m_record.reset();
    m_generation = 0;
    m_produced = m_shared->produced;
    const std::shared_ptr<Shared> shared = std::move(m_shared);
    if (clip)
        shared->strand->post([shared, sourceFailure] { shared->finishClip(sourceFailure); });
    if (thenReport)
        shared->strand->post(std::move(thenReport));
    shared->strand->post([shared] { shared->releasePipeline(); });
}

QString CapturePipeline::startRecording(Recording recording)
{
    if (m_state == State::Stopped)
        return QStringLiteral("The capture device is not running.");
    if (m_record)
        return QStringLiteral("A clip is being recorded already.");
    if (recording.path.isEmpty())
        return QStringLiteral("No file was named for the clip.");
    if (recording.container == Container::Mp4 && !h264Chain())
        return QStringLiteral("No H.264 encoder is installed.");
    m_record = std::make_unique<Record>();
    m_record->id = ++g_recordId;
    m_record->clip = std::make_shared<Clip>();
    m_shared->strand->post([shared = m_shared, recording = std::move(recording), id = m_record->id,
                            clip = m_record->clip, format = m_format]() mutable {
        shared->addClip(std::move(recording), id, std::move(clip), format);
    });
    return {};
}

void CapturePipeline::stopRecording()
{
    if (!m_record || m_record->ending)
        return;
    m_record->ending = true;
    m_shared->strand->post([shared = m_shared] { shared->endClip(); });
    m_finishGuard.start(kFinishWaitMs);
}

void CapturePipeline::clipEnded(const QString &failure)
{
    if (!m_record)
        return;
    m_finishGuard.stop();
    // A next clip may start at once; its branch is added after this one is gone.
    m_record.reset();
    m_shared->strand->post([shared = m_shared, failure] { shared->dropClip(failure, QString()); });
}

void CapturePipeline::recordRefused(int generation, int recordId)
{
    if (generation != m_generation || !m_record || m_record->id != recordId)
        return;
    m_finishGuard.stop();
    m_record.reset();
}

} // namespace tovradocs::Internal
