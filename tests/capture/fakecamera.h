#pragma once

// A camera for machines that have none, offered through GStreamer's own
// device-provider interface: the capture window finds it with the same
// device monitor, opens it with the same code, and loses it the way it
// loses a real V4L2 camera pulled from its socket.
namespace FakeCamera {

// Registers the provider; call once, before the first device monitor.
void install();

enum class Kind {
    Working, // live pictures from videotestsrc, 320 x 240 at 30 fps
    Broken,  // a V4L2 element on a device node that is not there
};
// Plugs a camera in; the device monitor reports it as added.
void plugIn(Kind kind = Kind::Working);
// The camera's stream fails with the error a V4L2 source gives when its
// device goes away, then the device monitor reports it removed.
void unplug();

} // namespace FakeCamera
