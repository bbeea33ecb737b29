#pragma once

// GStreamer plumbing of the capture engine; included by its .cpp files only.

#include <gst/gst.h>

#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>

Q_DECLARE_LOGGING_CATEGORY(lcMediaCapture)

namespace tovradocs::Internal::CaptureGst {

// gst_init, once per process.
void ensureInit();
// True when every named element can be made on this machine.
bool hasElements(std::initializer_list<const char *> factories);
// An element from its factory, or null (logged).
GstElement *make(const char *factory, const char *name = nullptr);
// GStreamer's own sentence for an error message.
QString errorText(GstMessage *message);
// Whether an error says the device itself went away or cannot be read.
bool isDeviceLost(GstMessage *message);

// Queues calls onto a QObject's thread from GStreamer's threads. close()
// returns only when no call is being queued, and after it none is, so the
// object may then go while GStreamer still holds this.
class Relay
{
public:
    explicit Relay(QObject *target) : m_target(target) {}
    void post(std::function<void()> call);
    void close();

private:
    std::mutex m_lock;
    QObject *m_target;
};

// A bus whose messages are handled on the thread that posts them. The
// handler must only copy what it needs and hand it on through a Relay.
// Unwatch after the elements behind the bus have stopped.
using BusHandler = std::function<void(GstMessage *)>;
void watchBus(GstBus *bus, BusHandler handler);
void unwatchBus(GstBus *bus);

// Counts GStreamer pipelines the engine made that are not yet finalized, so
// tests can see that nothing is left running.
void trackPipeline(GstElement *pipeline);
int livePipelines();

} // namespace tovradocs::Internal::CaptureGst
