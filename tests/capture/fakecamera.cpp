#include "fakecamera.h"

#include <gst/gst.h>

#include <atomic>

namespace {

struct FakeCameraDevice
{
    GstDevice parent;
};
struct FakeCameraDeviceClass
{
    GstDeviceClass parentClass;
};
struct FakeCameraProvider
{
    GstDeviceProvider parent;
};
struct FakeCameraProviderClass
{
    GstDeviceProviderClass parentClass;
};

G_DEFINE_TYPE(FakeCameraDevice, fake_camera_device, GST_TYPE_DEVICE)
G_DEFINE_TYPE(FakeCameraProvider, fake_camera_provider, GST_TYPE_DEVICE_PROVIDER)

GstDevice *g_device = nullptr;       // the camera plugged in, if any
GstDeviceProvider *g_provider = nullptr; // set while a monitor runs it
FakeCamera::Kind g_kind = FakeCamera::Kind::Working;
std::atomic<bool> g_unplugged {false};

// As a V4L2 source's buffer pool does when its device is gone: an element
// error, then the source's loop stops with an error flow.
GstPadProbeReturn failWhenUnplugged(GstPad *pad, GstPadProbeInfo *info, gpointer)
{
    if (!g_unplugged)
        return GST_PAD_PROBE_OK;
    GstElement *source = GST_ELEMENT(gst_pad_get_parent(pad));
    GST_ELEMENT_ERROR(source, RESOURCE, READ, ("Could not read from resource."),
                      ("poll error 1: No such device (19)"));
    gst_object_unref(source);
    gst_buffer_unref(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_ERROR;
    return GST_PAD_PROBE_HANDLED;
}

GstElement *createElement(GstDevice *, const gchar *name)
{
    if (g_kind == FakeCamera::Kind::Broken) {
        GstElement *v4l2 = gst_element_factory_make("v4l2src", name);
        if (v4l2)
            g_object_set(v4l2, "device", "/dev/video-unplugged", nullptr);
        return v4l2;
    }
    GstElement *source = gst_element_factory_make("videotestsrc", name);
    g_object_set(source, "is-live", TRUE, nullptr);
    GstPad *pad = gst_element_get_static_pad(source, "src");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, failWhenUnplugged, nullptr, nullptr);
    gst_object_unref(pad);
    return source;
}

void fake_camera_device_class_init(FakeCameraDeviceClass *klass)
{
    GST_DEVICE_CLASS(klass)->create_element = createElement;
}
void fake_camera_device_init(FakeCameraDevice *) {}

GList *probe(GstDeviceProvider *)
{
    return g_device ? g_list_append(nullptr, gst_object_ref(g_device)) : nullptr;
}

gboolean start(GstDeviceProvider *provider)
{
    g_provider = provider;
    if (g_device)
        gst_device_provider_device_add(provider, g_device);
    return TRUE;
}

void stop(GstDeviceProvider *provider)
{
    if (g_provider == provider)
        g_provider = nullptr;
}

void fake_camera_provider_class_init(FakeCameraProviderClass *klass)
{
    auto *provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = probe;
    provider->start = start;
    provider->stop = stop;
    gst_device_provider_class_set_static_metadata(provider, "Test cameras", "Source/Video",
                                                  "Cameras for machines without one", "TovraDocs");
}
void fake_camera_provider_init(FakeCameraProvider *) {}

} // namespace

namespace FakeCamera {

void install()
{
    gst_init(nullptr, nullptr);
    gst_device_provider_register(nullptr, "tovratestcameras", GST_RANK_PRIMARY, fake_camera_provider_get_type());
}

void plugIn(Kind kind)
{
    unplug();
    g_kind = kind;
    g_unplugged = false;
    GstCaps *caps = gst_caps_from_string("video/x-raw,format=YUY2,width=320,height=240,framerate=30/1");
    GstStructure *properties = gst_structure_new("properties", "device.api", G_TYPE_STRING, "test", "device.path",
                                                 G_TYPE_STRING, "/dev/video-test", nullptr);
    g_device = GST_DEVICE(g_object_new(fake_camera_device_get_type(), "display-name", "Intraoral Camera",
                                       "device-class", "Video/Source", "caps", caps, "properties", properties,
                                       nullptr));
    gst_object_ref_sink(g_device);
    gst_caps_unref(caps);
    gst_structure_free(properties);
    if (g_provider)
        gst_device_provider_device_add(g_provider, g_device);
}

void unplug()
{
    if (!g_device)
        return;
    g_unplugged = true;
    if (g_provider)
        gst_device_provider_device_remove(g_provider, g_device);
    gst_object_unref(g_device);
    g_device = nullptr;
}

} // namespace FakeCamera
