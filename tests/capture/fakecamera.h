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
    Broken, // a V4L2 element on a device node that is not there
    Slow, // as Working, but it opens, and gives each picture, only when not held
};
// Plugs a camera in; the device monitor reports it as added.
void plugIn(Kind kind = Kind::Working);
// The camera's stream fails with the error a V4L2 source gives when its
// device goes away, then the device monitor reports it removed; a held
// camera is let go.
void unplug();

// A slow camera held waits in its opening (as a device that takes seconds to
// answer) and before its next picture (as one hung in a read) until let go.
void hold();
void letGo();
bool isHeld();
// Whether the camera's streaming thread is waiting to be let go.
bool isStalled();

} // namespace FakeCamera
