#include "media/capturegst_p.h"

#include <atomic>

Q_LOGGING_CATEGORY(lcMediaCapture, "tovradocs.media.capture")

namespace tovradocs::Internal::CaptureGst {

namespace {

std::atomic<int> g_livePipelines {0};

GstBusSyncReply dispatch(GstBus *, GstMessage *message, gpointer data)
{
    (*static_cast<BusHandler *>(data))(message);
    // Nobody pops this bus; queued messages would only pile up. A message
    // dropped here is the handler's to release.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void deleteHandler(gpointer data) { delete static_cast<BusHandler *>(data); }

} // namespace

void ensureInit()
{
    static const bool done = [] {
        gst_init(nullptr, nullptr);
        return true;
    }();
    Q_UNUSED(done)
}

bool hasElements(std::initializer_list<const char *> factories)
{
    ensureInit();
    for (const char *name : factories) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory)
            return false;
        gst_object_unref(factory);
    }
    return true;
}

GstElement *make(const char *factory, const char *name)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element)
        qCWarning(lcMediaCapture) << "no GStreamer element" << factory;
    return element;
}

QString errorText(GstMessage *message)
{
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const QString text = QString::fromUtf8(error && error->message ? error->message : "unknown error");
    qCWarning(lcMediaCapture) << "error from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message)) << text
                              << (debug ? debug : "");
    g_clear_error(&error);
    g_free(debug);
    return text;
}

bool isDeviceLost(GstMessage *message)
{
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const bool lost = error && error->domain == GST_RESOURCE_ERROR
                      && (error->code == GST_RESOURCE_ERROR_NOT_FOUND || error->code == GST_RESOURCE_ERROR_READ
                          || error->code == GST_RESOURCE_ERROR_OPEN_READ
                          || error->code == GST_RESOURCE_ERROR_FAILED);
    g_clear_error(&error);
    return lost;
}

void Relay::post(std::function<void()> call)
{
    const std::lock_guard guard(m_lock);
    if (m_target)
        QMetaObject::invokeMethod(m_target, std::move(call), Qt::QueuedConnection);
}

void Relay::close()
{
    const std::lock_guard guard(m_lock);
    m_target = nullptr;
}

void watchBus(GstBus *bus, BusHandler handler)
{
    gst_bus_set_sync_handler(bus, dispatch, new BusHandler(std::move(handler)), deleteHandler);
}

void unwatchBus(GstBus *bus) { gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr); }

void trackPipeline(GstElement *pipeline)
{
    ++g_livePipelines;
    g_object_weak_ref(G_OBJECT(pipeline), [](gpointer, GObject *) { --g_livePipelines; }, nullptr);
}

int livePipelines() { return g_livePipelines.load(); }

} // namespace tovradocs::Internal::CaptureGst
