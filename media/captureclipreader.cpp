#include "media/captureclipreader.h"

#include "media/capturegst_p.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace tovradocs::Internal {

namespace captureclipreader {

struct Branches
{
    GstElement *pipeline = nullptr;
    GstElement *convert = nullptr;
    std::atomic<bool> audio {false};
};

void padAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *branches = static_cast<Branches *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    const gchar *kind = caps ? gst_structure_get_name(gst_caps_get_structure(caps, 0)) : "";
    if (g_str_has_prefix(kind, "video/")) {
        GstPad *sink = gst_element_get_static_pad(branches->convert, "sink");
        if (!gst_pad_is_linked(sink))
            gst_pad_link(pad, sink);
        gst_object_unref(sink);
    } else if (g_str_has_prefix(kind, "audio/")) {
        branches->audio = true;
        // Sound is only noted; it goes nowhere, but must not stop the clip.
        GstElement *drain = gst_element_factory_make("fakesink", nullptr);
        g_object_set(drain, "sync", FALSE, nullptr);
        gst_bin_add(GST_BIN(branches->pipeline), drain);
        gst_element_sync_state_with_parent(drain);
        GstPad *sink = gst_element_get_static_pad(drain, "sink");
        gst_pad_link(pad, sink);
        gst_object_unref(sink);
    }
    if (caps)
        gst_caps_unref(caps);
}

QString popError(GstBus *bus)
{
    GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (!message)
        return {};
    const QString text = CaptureGst::errorText(message);
    gst_message_unref(message);
    return text;
}

} // namespace captureclipreader

CaptureClipReader::Info CaptureClipReader::read(const QString &path, const std::function<void(const QImage &)> &onFrame)
{
    using namespace captureclipreader;
    CaptureGst::ensureInit();
    Info info;
    if (!QFileInfo(path).isFile()) {
        info.error = QStringLiteral("No such file: ") + path;
        return info;
    }
    Branches branches;
    branches.pipeline = gst_pipeline_new("clip");
    GstElement *source = CaptureGst::make("filesrc");
    GstElement *decode = CaptureGst::make("decodebin");
    branches.convert = CaptureGst::make("videoconvert");
    GstElement *sink = CaptureGst::make("appsink");
    if (!source || !decode || !branches.convert || !sink) {
        gst_object_unref(branches.pipeline);
        info.error = QStringLiteral("The clip reader could not be set up.");
        return info;
    }
    gst_bin_add_many(GST_BIN(branches.pipeline), source, decode, branches.convert, sink, nullptr);
    gst_element_link(source, decode);
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
    gst_element_link_filtered(branches.convert, sink, caps);
    gst_caps_unref(caps);
    g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    g_signal_connect(decode, "pad-added", G_CALLBACK(padAdded), &branches);

    gst_element_set_state(branches.pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(branches.pipeline);
    QElapsedTimer idle;
    idle.start();
    for (;;) {
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 100 * GST_MSECOND);
        if (!sample) {
            if (gst_app_sink_is_eos(GST_APP_SINK(sink)))
                break;
            // A broken file stops with an error, never with an end.
            info.error = popError(bus);
            if (!info.error.isEmpty())
                break;
            if (idle.elapsed() > 30000) {
                info.error = QStringLiteral("The clip could not be decoded.");
                break;
            }
            continue;
        }
        idle.restart();
        GstVideoInfo video;
        if (gst_video_info_from_caps(&video, gst_sample_get_caps(sample))) {
            info.size = QSize(GST_VIDEO_INFO_WIDTH(&video), GST_VIDEO_INFO_HEIGHT(&video));
            GstVideoFrame frame;
            if (onFrame && gst_video_frame_map(&frame, &video, gst_sample_get_buffer(sample), GST_MAP_READ)) {
                onFrame(QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                               info.size.width(), info.size.height(), GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0),
                               QImage::Format_RGB32));
                gst_video_frame_unmap(&frame);
            }
        }
        ++info.frames;
        gst_sample_unref(sample);
    }
    gst_object_unref(bus);
    gst_element_set_state(branches.pipeline, GST_STATE_NULL);
    gst_object_unref(branches.pipeline);
    info.hasAudio = branches.audio;
    // What decoded before a damaged end still counts.
    if (info.frames > 0 && !info.error.isEmpty()) {
        qCInfo(lcMediaCapture) << path << "ends damaged:" << info.error;
        info.error.clear();
    }
    return info;
}

} // namespace tovradocs::Internal
