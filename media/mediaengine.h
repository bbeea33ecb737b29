#pragma once

#include <QString>

namespace tovradocs::Internal::MediaEngine {

// The process-wide part of the media engine: GStreamer, started once, and the
// worker threads on which every call that may wait on a GStreamer lock runs,
// so the UI thread never does. All functions are thread-safe.

// Starts GStreamer on first use; false, with a readable reason, when it cannot.
bool start(QString *error = nullptr);

// Pipelines made and not yet torn down (players, frame grabs).
int livePipelines();

// Waits until no GStreamer call is queued or running, at most msecs; for
// tests, benchmarks and shutdown, never for windows.
bool waitForIdle(int msecs);

} // namespace tovradocs::Internal::MediaEngine
