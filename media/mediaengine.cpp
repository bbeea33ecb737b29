#include "media/mediaengine.h"

#include "media/gstsupport_p.h"
#include "media/medialogging.h"

#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <atomic>

namespace tovradocs::Internal {

namespace {

std::atomic<int> g_livePipelines{0};

QThreadPool *workers()
{
    // Never destroyed: a pipeline still winding down at exit must not make the
    // process wait in a static destructor; the post routine below waits, bounded.
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        // Each strand holds at most one thread; a pipeline stuck in a plugin
        // must not starve the others.
        p->setMaxThreadCount(64);
        p->setExpiryTimeout(5000);
        p->setObjectName(QStringLiteral("tovradocs.media"));
        return p;
    }();
    return pool;
}

void waitAtExit()
{
    workers()->waitForDone(5000);
}

} // namespace

namespace MediaEngine {

bool start(QString *error)
{
    static std::once_flag once;
    static QString failure;
    std::call_once(once, [] {
        GError *err = nullptr;
        if (!gst_init_check(nullptr, nullptr, &err)) {
            failure = QCoreApplication::translate("MediaEngine", "GStreamer cannot start: %1")
                          .arg(err ? QString::fromUtf8(err->message) : QStringLiteral("unknown error"));
            g_clear_error(&err);
            qCWarning(lcMedia) << failure;
            return;
        }
        gst_pb_utils_init();
        if (QCoreApplication::instance())
            qAddPostRoutine(waitAtExit);
        // Loading the playback plugins and setting up their element types took
        // most of the first video's start (0.95 s against 0.14 s for the next
        // one); done here, on a worker, the first video finds them ready.
        workers()->start([] {
            for (const char *name : {"playback", "libav", "isomp4", "typefindfunctions", "app",
                                     "videoconvertscale", "videoscale", "videoconvert", "avi",
                                     "matroska", "jpeg", "autodetect"})
                if (GstPlugin *plugin = gst_plugin_load_by_name(name))
                    gst_object_unref(plugin);
            // Each element type is set up the first time one is made.
            for (const char *name : {"playbin", "uridecodebin", "decodebin", "typefind", "multiqueue",
                                     "queue", "qtdemux", "avdec_h264", "videoscale", "videoconvert",
                                     "capsfilter", "appsink", "scaletempo", "autoaudiosink"})
                if (GstElement *element = gst_element_factory_make(name, nullptr))
                    gst_object_unref(gst_object_ref_sink(element));
        });
        qCDebug(lcMedia) << "GStreamer" << gst_version_string();
    });
    if (error)
        *error = failure;
    return failure.isEmpty();
}

int livePipelines()
{
    return g_livePipelines.load();
}

bool waitForIdle(int msecs)
{
    return workers()->waitForDone(msecs);
}

} // namespace MediaEngine

namespace Gst {

std::shared_ptr<Strand> Strand::create()
{
    return std::shared_ptr<Strand>(new Strand);
}

void Strand::post(std::function<void()> job)
{
    std::lock_guard lock(m_mutex);
    m_jobs.push_back(std::move(job));
    if (m_running)
        return;
    m_running = true;
    workers()->start([self = shared_from_this()] { self->drain(); });
}

void Strand::drain()
{
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard lock(m_mutex);
            if (m_jobs.empty()) {
                m_running = false;
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

void adoptPipeline(GstElement *)
{
    ++g_livePipelines;
}

void releasePipeline(GstElement *pipeline)
{
    if (!pipeline)
        return;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    --g_livePipelines;
}

void runDetached(std::function<void()> job)
{
    workers()->start(std::move(job));
}

QString describeError(GstMessage *message)
{
    GError *err = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &err, &debug);
    QString text = err ? QString::fromUtf8(err->message) : QString();
    qCDebug(lcMedia) << "error from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message)) << text
                     << (debug ? debug : "");
    g_clear_error(&err);
    g_free(debug);
    return text;
}

QString missingPlugin(GstMessage *message)
{
    if (!gst_is_missing_plugin_message(message))
        return {};
    gchar *text = gst_missing_plugin_message_get_description(message);
    const QString description = QString::fromUtf8(text);
    g_free(text);
    return description;
}

bool collectionHasVideo(GstMessage *message)
{
    GstStreamCollection *collection = nullptr;
    gst_message_parse_stream_collection(message, &collection);
    bool video = false;
    for (guint i = 0; collection && i < gst_stream_collection_get_size(collection); ++i) {
        GstStream *stream = gst_stream_collection_get_stream(collection, i);
        video = video || (gst_stream_get_stream_type(stream) & GST_STREAM_TYPE_VIDEO);
    }
    if (collection)
        gst_object_unref(collection);
    return video;
}

GstElement *makeVideoSinkBin(GstElement **appsink, GstElement **capsfilter)
{
    GstElement *bin = gst_bin_new("videosink");
    // Scaling first converts only the pixels that are shown. (videoconvertscale,
    // both in one element, took 1.55x gst-launch's CPU where these two take 1.2x.)
    GstElement *scale = gst_element_factory_make("videoscale", nullptr);
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    if (!scale || !convert || !filter || !sink) {
        for (GstElement *e : {scale, convert, filter, sink})
            if (e)
                gst_object_unref(e);
        gst_object_unref(bin);
        return nullptr;
    }
    GstCaps *caps = gst_caps_from_string("video/x-raw,format=BGRx,pixel-aspect-ratio=1/1");
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "max-buffers", 2u, "enable-last-sample", FALSE, "qos", TRUE, nullptr);
    gst_bin_add_many(GST_BIN(bin), scale, convert, filter, sink, nullptr);
    gst_element_link_many(scale, convert, filter, sink, nullptr);
    GstPad *pad = gst_element_get_static_pad(scale, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
    *appsink = sink;
    if (capsfilter)
        *capsfilter = filter;
    return bin;
}

GstElement *makePlaybin(const QString &path, GstElement *videoSink, GstElement *audioSink,
                        unsigned flags)
{
    GstElement *playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        for (GstElement *e : {videoSink, audioSink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return nullptr;
    }
    gchar *uri = gst_filename_to_uri(QFile::encodeName(path).constData(), nullptr);
    g_object_set(playbin, "uri", uri, "flags", flags, nullptr);
    g_free(uri);
    if (videoSink)
        g_object_set(playbin, "video-sink", videoSink, nullptr);
    if (audioSink)
        g_object_set(playbin, "audio-sink", audioSink, nullptr);
    return playbin;
}

QImage imageFromSample(GstSample *sample)
{
    GstVideoInfo info;
    GstCaps *caps = gst_sample_get_caps(sample);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)
        || GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx)
        return {};
    auto *frame = new GstVideoFrame;
    if (!gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        delete frame;
        return {};
    }
    return QImage(static_cast<uchar *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)),
                  GST_VIDEO_FRAME_WIDTH(frame), GST_VIDEO_FRAME_HEIGHT(frame),
                  GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32,
                  [](void *mapped) {
                      auto *f = static_cast<GstVideoFrame *>(mapped);
                      gst_video_frame_unmap(f);
                      delete f;
                  },
                  frame);
}

BusWatch::BusWatch(GstElement *pipeline, Handler handler)
    : m_bus(gst_element_get_bus(pipeline))
    , m_handler(std::move(handler))
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher && dispatcher->inherits("QEventDispatcherGlib")) {
        // Qt made this thread's context the thread default when it started its loop.
        GMainContext *context = g_main_context_get_thread_default();
        m_source = gst_bus_create_watch(m_bus);
        g_source_set_callback(m_source, G_SOURCE_FUNC(&BusWatch::onMessage), this, nullptr);
        g_source_attach(m_source, context ? context : g_main_context_default());
        return;
    }
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [this] { poll(); });
    timer->start();
    m_pollTimer.reset(timer);
}

BusWatch::~BusWatch()
{
    *m_alive = false;
    if (m_source) {
        g_source_destroy(m_source);
        g_source_unref(m_source);
    }
    if (m_pollTimer) {
        // May run inside the timer's own timeout.
        static_cast<QTimer *>(m_pollTimer.get())->stop();
        m_pollTimer.release()->deleteLater();
    }
    gst_object_unref(m_bus);
}

gboolean BusWatch::onMessage(GstBus *, GstMessage *message, gpointer self)
{
    // A copy: the handler may destroy this watch (GLib keeps the source alive).
    const Handler handler = static_cast<BusWatch *>(self)->m_handler;
    handler(message);
    return G_SOURCE_CONTINUE;
}

void BusWatch::poll()
{
    const std::shared_ptr<bool> alive = m_alive;
    const Handler handler = m_handler;
    GstBus *bus = GST_BUS(gst_object_ref(m_bus));
    while (*alive) {
        GstMessage *message = gst_bus_pop(bus);
        if (!message)
            break;
        handler(message);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
}

} // namespace Gst

} // namespace tovradocs::Internal
