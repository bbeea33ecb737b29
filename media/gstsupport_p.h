#pragma once

// GStreamer helpers shared by the engine's files; never included outside media/.

#include <gst/gst.h>

#include <QObject>
#include <QImage>
#include <QString>

#include <deque>
#include <functional>
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

// Runs jobs one after another, in order, on the engine's worker threads. Every
// call that may wait on a state or stream lock of a pipeline goes through its
// strand, so those calls never run on the UI thread and never overlap.
class Strand : public std::enable_shared_from_this<Strand>
{
public:
    static std::shared_ptr<Strand> create();
    void post(std::function<void()> job);

private:
    Strand() = default;
    void drain();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_jobs;
    bool m_running = false;
};

// Counts a pipeline made by the engine; pair with releasePipeline.
void adoptPipeline(GstElement *pipeline);
// Sets the pipeline to NULL and drops the caller's reference; run on a worker.
void releasePipeline(GstElement *pipeline);
// Runs job on a worker thread of its own (not ordered with any strand).
void runDetached(std::function<void()> job);

// The text of an error message on a bus.
QString describeError(GstMessage *message);
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

// Delivers a pipeline's bus messages to handler on the thread that made the
// watch, through the GLib main context Qt's event loop already runs there.
// Under an event dispatcher without GLib it polls the bus instead. Make and
// destroy it on one thread; no message arrives after the destructor.
class BusWatch
{
public:
    using Handler = std::function<void(GstMessage *)>;
    BusWatch(GstElement *pipeline, Handler handler);
    ~BusWatch();
    BusWatch(const BusWatch &) = delete;
    BusWatch &operator=(const BusWatch &) = delete;

private:
    static gboolean onMessage(GstBus *bus, GstMessage *message, gpointer self);
    void poll();

    GstBus *m_bus = nullptr;
    GSource *m_source = nullptr;
    std::unique_ptr<QObject> m_pollTimer;
    Handler m_handler;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tovradocs::Internal::Gst
