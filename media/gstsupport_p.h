#pragma once

// GStreamer helpers shared by the engine's files; never included outside media/.

#include <gst/gst.h>

#include "media/mediaengine.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>

namespace tovradocs::Internal::Gst {

// Owns one reference to a GstObject.
template<typename T>
struct ObjectUnref
{
    void operator()(T *object) const
    {
        if (object)
            gst_object_unref(object);
    }
};
template<typename T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref<T>>;

struct MiniObjectUnref
{
    void operator()(GstMiniObject *object) const
    {
        if (object)
            gst_mini_object_unref(object);
    }
};

using Strand = MediaEngine::Strand;

// Counts a pipeline made by the engine until releasePipeline, so tests see
// that nothing is left running.
void adoptPipeline(GstElement *pipeline);
// Sets the pipeline to NULL and drops the caller's reference; run on a worker.
void releasePipeline(GstElement *pipeline);
// Runs job on a worker thread of its own (not ordered with any strand).
void runDetached(std::function<void()> job);

// An element from its factory, or null (logged).
GstElement *makeElement(const char *factory, const char *name = nullptr);
// True when every named element can be made on this machine; what is
// installed decides, looked up on every call.
bool hasElements(std::initializer_list<const char *> factories);

// GStreamer's own sentence for an error message ("unknown error" without one).
QString describeError(GstMessage *message);
// Whether an error says the device itself went away or cannot be read.
bool isDeviceLost(GstMessage *message);
// What a missing-plugin message says is missing ("H.265 decoder"), else "".
QString missingPlugin(GstMessage *message);
// Whether a stream-collection message lists a video stream.
bool collectionHasVideo(GstMessage *message);

// "scale ! convert ! capsfilter ! appsink" as one sink bin for playbin; the
// appsink gives BGRx (QImage::Format_RGB32) with square pixels. The bin keeps
// the references; *appsink and *capsfilter are borrowed.
GstElement *makeVideoSinkBin(GstElement **appsink, GstElement **capsfilter);
// playbin for path with the given sinks; flags from GstPlayFlags. (playbin3
// of GStreamer 1.22 stalled in 7 of 250 loads here, never prerolling and
// swallowing demuxer errors; playbin stalled in none.)
GstElement *makePlaybin(const QString &path, GstElement *videoSink, GstElement *audioSink,
                        unsigned flags);
// Wraps the sample's picture without copying; the image holds the sample.
QImage imageFromSample(GstSample *sample);

// Queues calls onto a QObject's thread from any thread. close() returns only
// when no call is being queued, and after it none is, so the object may then
// go while workers still hold the relay.
class Relay
{
public:
    explicit Relay(QObject *target)
        : m_target(target)
    {
    }
    void post(std::function<void()> call);
    void close();

private:
    std::mutex m_lock;
    QObject *m_target;
};

// Delivers a bus's messages (a pipeline's, a device monitor's) to handler on
// the thread that made the watch, through the GLib main context Qt's event
// loop already runs there. Under an event dispatcher without GLib it polls
// the bus instead. Make and destroy it on one thread; no message arrives
// after the destructor, and the bus then keeps what comes, for a worker to
// pop.
class BusWatch
{
public:
    using Handler = std::function<void(GstMessage *)>;
    BusWatch(GstElement *pipeline, Handler handler);
    BusWatch(GstBus *bus, Handler handler);
    ~BusWatch();
    BusWatch(const BusWatch &) = delete;
    BusWatch &operator=(const BusWatch &) = delete;

private:
    static gboolean onMessage(GstBus *bus, GstMessage *message, gpointer self);
    void attach();
    void poll();

    GstBus *m_bus = nullptr;
    GSource *m_source = nullptr;
    std::unique_ptr<QObject> m_pollTimer;
    Handler m_handler;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tovradocs::Internal::Gst
