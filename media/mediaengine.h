#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tovradocs::Internal::MediaEngine {

// The process-wide part of the media engine: GStreamer, started once, and the
// worker threads on which every call that may wait on a GStreamer lock runs,
// so the UI thread never does. All functions are thread-safe.

// Starts GStreamer on first use; false, with a readable reason, when it cannot.
bool start(QString *error = nullptr);

// Pipelines made and not yet torn down (players, frame grabs, cameras, clips).
int livePipelines();

// Waits until no job is queued or running on the workers, at most msecs; for
// tests, benchmarks and shutdown, never for windows.
bool waitForIdle(int msecs);

// Runs job on the UI thread (the application object's), after the events
// queued there before it. Jobs still queued when the event loop has ended run
// from the application's exit routine once the workers are done, so work a
// worker finishes late (a clip closed as the program ends) still gets to the
// UI side. Thread-safe.
void postToUi(std::function<void()> job);

// Runs jobs one after another, in order, on the engine's worker threads. Every
// call that may wait on a state or stream lock of a pipeline goes through a
// strand, so those calls never run on the UI thread and never overlap; the UI
// thread hands other slow work (encoding and writing files) to one as well.
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

} // namespace tovradocs::Internal::MediaEngine
