#include "media/videoframe.h"

#include "media/gstsupport_p.h"
#include "media/mediaengine.h"
#include "media/medialogging.h"

#include <gst/app/gstappsink.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

namespace tovradocs::Internal {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VideoFrame", text);
}

constexpr unsigned kPlayVideoOnly = 0x1 | 0x40; // GST_PLAY_FLAG_VIDEO | NATIVE_VIDEO

struct Grab
{
    GstElement *pipeline = nullptr;
    GstElement *sink = nullptr;
    QElapsedTimer clock;
    int timeoutMs = 0;
    QString missing;
    bool hasVideo = true;

    GstClockTime remaining() const
    {
        return GstClockTime(std::max<qint64>(0, timeoutMs - clock.elapsed())) * GST_MSECOND;
    }

    // Waits for the pipeline to settle after a state change or seek; "" when it did.
    QString settle()
    {
        GstBus *bus = gst_element_get_bus(pipeline);
        QString error;
        for (;;) {
            GstMessage *message = gst_bus_timed_pop_filtered(
                bus, remaining(),
                GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR | GST_MESSAGE_EOS
                               | GST_MESSAGE_ELEMENT | GST_MESSAGE_STREAM_COLLECTION));
            if (!message) {
                error = tr("No picture came out within %1 seconds.").arg(timeoutMs / 1000.0);
                break;
            }
            const GstMessageType type = GST_MESSAGE_TYPE(message);
            if (type == GST_MESSAGE_ELEMENT) {
                const QString what = Gst::missingPlugin(message);
                if (!what.isEmpty())
                    missing = what;
            } else if (type == GST_MESSAGE_STREAM_COLLECTION) {
                hasVideo = Gst::collectionHasVideo(message);
            } else if (type == GST_MESSAGE_ERROR) {
                error = Gst::describeError(message);
            } else if (type == GST_MESSAGE_EOS) {
                error = tr("The clip ended before a picture came out.");
            }
            gst_message_unref(message);
            if (type == GST_MESSAGE_ASYNC_DONE || !error.isEmpty())
                break;
            if (type == GST_MESSAGE_STREAM_COLLECTION && !hasVideo)
                break;
        }
        gst_object_unref(bus);
        if (!hasVideo)
            return tr("The file holds no video.");
        if (!missing.isEmpty())
            return tr("No decoder is installed for this video (%1).").arg(missing);
        return error;
    }
};

void singleThreadedDecoder(GstElement *, GstElement *element, gpointer)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    if (factory && g_str_has_prefix(GST_OBJECT_NAME(factory), "avdec_")
        && g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-threads"))
        g_object_set(element, "max-threads", 1, nullptr);
}

} // namespace

VideoFrame grabVideoFrame(const QString &path, double fraction, QSize bound, int timeoutMs, GrabAt at)
{
    VideoFrame out;
    const QFileInfo info(path);
    QString error;
    if (!MediaEngine::start(&error))
        out.error = error;
    else if (!info.isFile())
        out.error = tr("The file %1 does not exist.").arg(path);
    else if (!info.isReadable())
        out.error = tr("The file %1 cannot be read.").arg(path);
    else if (info.size() == 0)
        out.error = tr("The file %1 is empty.").arg(path);
    if (!out.error.isEmpty())
        return out;

    Grab grab;
    grab.clock.start();
    grab.timeoutMs = std::max(0, timeoutMs);
    GstElement *videoSink = Gst::makeVideoSinkBin(&grab.sink, nullptr);
    GstElement *audioSink = gst_element_factory_make("fakesink", nullptr);
    grab.pipeline = Gst::makePlaybin(info.absoluteFilePath(), videoSink, audioSink, kPlayVideoOnly);
    if (!grab.pipeline) {
        out.error = tr("GStreamer's playbin or appsink element is not installed.");
        return out;
    }
    gst_object_ref_sink(grab.pipeline);
    Gst::adoptPipeline(grab.pipeline);
    // One picture needs no decoder threads: they only allocate frames and
    // decode ahead, and thumbnail workers already run side by side.
    if (at == GrabAt::KeyFrameBefore)
        g_signal_connect(grab.pipeline, "element-setup", G_CALLBACK(singleThreadedDecoder), nullptr);
    g_object_set(grab.sink, "sync", FALSE, nullptr);

    if (gst_element_set_state(grab.pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        error = tr("The file cannot be opened.");
    if (error.isEmpty())
        error = grab.settle();
    if (error.isEmpty()) {
        gint nVideo = 0;
        g_object_get(grab.pipeline, "n-video", &nVideo, nullptr);
        if (nVideo == 0)
            error = tr("The file holds no video.");
    }
    if (error.isEmpty()) {
        gint64 duration = -1;
        if (gst_element_query_duration(grab.pipeline, GST_FORMAT_TIME, &duration) && duration > 0) {
            out.durationMs = duration / GST_MSECOND;
            const auto target = gint64(std::clamp(fraction, 0.0, 1.0) * double(duration));
            if (target > 0
                && gst_element_seek_simple(grab.pipeline, GST_FORMAT_TIME,
                                           GstSeekFlags(GST_SEEK_FLAG_FLUSH
                                                        | (at == GrabAt::ExactFrame
                                                               ? GST_SEEK_FLAG_ACCURATE
                                                               : GST_SEEK_FLAG_KEY_UNIT
                                                                     | GST_SEEK_FLAG_SNAP_BEFORE)),
                                           target))
                error = grab.settle();
        }
    }
    if (error.isEmpty()) {
        GstSample *sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(grab.sink), grab.remaining());
        const QImage picture = sample ? Gst::imageFromSample(sample) : QImage();
        if (picture.isNull()) {
            error = tr("No picture came out within %1 seconds.").arg(grab.timeoutMs / 1000.0);
        } else {
            out.videoSize = picture.size();
            // Stream time, so a clip whose first picture is delayed still starts at 0.
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            const GstSegment *segment = gst_sample_get_segment(sample);
            if (GST_BUFFER_PTS_IS_VALID(buffer) && segment) {
                guint64 position = 0;
                if (gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer),
                                                    &position) > 0)
                    out.positionMs = qint64(position / GST_MSECOND);
                else
                    out.positionMs = 0;
            }
            const QSize fitted = picture.size().scaled(bound, Qt::KeepAspectRatio);
            out.image = bound.isValid() && fitted.width() < picture.width()
                ? picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                : picture.copy();
        }
        if (sample)
            gst_sample_unref(sample);
    }
    if (!error.isEmpty())
        out.error = tr("The video %1 cannot be shown: %2").arg(path, error);
    // A decoder that hangs must not hold the caller past its deadline.
    GstElement *pipeline = grab.pipeline;
    Gst::runDetached([pipeline] { Gst::releasePipeline(pipeline); });
    qCDebug(lcMedia) << "grabbed" << path << out.positionMs << "ms in" << grab.clock.elapsed() << "ms"
                     << out.error;
    return out;
}

} // namespace tovradocs::Internal
