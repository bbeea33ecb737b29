#include "capture/avirecorder.h"

#include "capture/capturelogging.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <QElapsedTimer>
#include <QFileInfo>

namespace tovradocs::Internal {

namespace avirecorder {

QString &audioSource()
{
    static QString description;
    return description;
}

void ensureInit()
{
    static const bool done = [] {
        gst_init(nullptr, nullptr);
        return true;
    }();
    Q_UNUSED(done)
}

QString quoted(const QString &path)
{
    QString escaped = path;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

// Reads the first error or end of stream off the bus within timeout.
QString waitForEnd(GstElement *pipeline, GstClockTime timeout, bool *reachedEnd)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *msg = gst_bus_timed_pop_filtered(
        bus, timeout, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    QString error;
    *reachedEnd = false;
    if (msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        GError *err = nullptr;
        gst_message_parse_error(msg, &err, nullptr);
        error = QString::fromUtf8(err ? err->message : "unknown error");
        g_clear_error(&err);
    } else if (msg) {
        *reachedEnd = true;
    } else {
        error = QStringLiteral("timed out");
    }
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    return error;
}

void releaseImage(gpointer data) { delete static_cast<QImage *>(data); }

// A pipeline from its text form, or GStreamer's reason why not.
Result<GstElement *> launch(const QString &description)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!error)
        return pipeline;
    const QString text = QString::fromUtf8(error->message);
    g_clear_error(&error);
    if (pipeline)
        gst_object_unref(pipeline);
    return Result<GstElement *>::failure(text);
}

} // namespace avirecorder

AviRecorder::AviRecorder(QObject *parent) : QObject(parent)
{
    avirecorder::ensureInit();
    connect(&m_busTimer, &QTimer::timeout, this, &AviRecorder::pollBus);
}

AviRecorder::~AviRecorder()
{
    if (m_pipeline)
        stop();
}

void AviRecorder::setAudioSourceDescription(const QString &description)
{
    avirecorder::audioSource() = description;
}

bool AviRecorder::hasAudioSourceOverride() { return !avirecorder::audioSource().isEmpty(); }

Outcome AviRecorder::start(const QString &path, const Format &format)
{
    const QSize frameSize = format.frameSize;
    if (m_pipeline)
        return Outcome::failure(QStringLiteral("A clip is being recorded already."));
    if (frameSize.isEmpty())
        return Outcome::failure(QStringLiteral("The source has no picture yet."));
    // JPEG wants even sizes for its chroma planes.
    m_size = QSize(frameSize.width() & ~1, frameSize.height() & ~1);
    const int fps = qBound(1, format.framesPerSecond, 100);
    m_fps = fps;
    m_stepped = format.stepped;
    QString description =
        QStringLiteral("appsrc name=src is-live=%4 format=time do-timestamp=false "
                       "caps=video/x-raw,format=BGRx,width=%1,height=%2,framerate=%3/1 "
                       "! queue max-size-buffers=120 max-size-time=0 max-size-bytes=0 "
                       "! videoconvert ! jpegenc quality=%5 ! avimux name=mux "
                       "! filesink location=%6")
            .arg(m_size.width())
            .arg(m_size.height())
            .arg(fps)
            .arg(format.stepped ? QStringLiteral("false") : QStringLiteral("true"))
            .arg(qBound(1, format.quality, 100))
            .arg(avirecorder::quoted(path)); // last, so a "%" in the path stays as it is
    if (format.audio && !format.stepped) {
        const QString source = avirecorder::audioSource().isEmpty()
                                   ? QStringLiteral("autoaudiosrc")
                                   : avirecorder::audioSource();
        description += QStringLiteral(" %1 name=asrc ! audioconvert ! audioresample "
                                      "! audio/x-raw,format=S16LE,rate=%2,channels=%3 "
                                      "! queue ! mux.")
                           .arg(source)
                           .arg(format.audioRate)
                           .arg(qBound(1, format.audioChannels, 2));
    }
    Result<GstElement *> pipeline = avirecorder::launch(description);
    if (!pipeline)
        return Outcome::failure(pipeline.error());
    m_pipeline = *pipeline;
    m_appsrc = gst_bin_get_by_name(GST_BIN(m_pipeline), "src");
    m_path = path;
    m_frames = 0;
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        bool ended = false;
        QString text = avirecorder::waitForEnd(m_pipeline, 0, &ended);
        teardown();
        return Outcome::failure(text.isEmpty() || text == QLatin1String("timed out")
                                    ? QStringLiteral("The recording could not start.")
                                    : text);
    }
    m_busTimer.start(100);
    return {};
}

bool AviRecorder::push(const QImage &frame)
{
    if (!m_pipeline || frame.isNull())
        return false;
    auto *held = new QImage(frame.size() == m_size && frame.format() == QImage::Format_RGB32
                                ? frame
                                : frame.convertToFormat(QImage::Format_RGB32)
                                      .scaled(m_size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    // The buffer borrows the picture's pixels; the copy is released with it.
    GstBuffer *buffer = gst_buffer_new_wrapped_full(
        GST_MEMORY_FLAG_READONLY, const_cast<uchar *>(held->constBits()), size_t(held->sizeInBytes()),
        0, size_t(held->sizeInBytes()), held, avirecorder::releaseImage);
    // Stamps come from the pipeline's clock so that video and audio line up.
    GstClock *clock = m_stepped ? nullptr : gst_element_get_clock(m_pipeline);
    if (m_stepped) {
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(GstClockTime(m_frames), GST_SECOND, guint64(m_fps));
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, guint64(m_fps));
    } else if (clock) {
        const GstClockTime now = gst_clock_get_time(clock);
        const GstClockTime base = gst_element_get_base_time(m_pipeline);
        GST_BUFFER_PTS(buffer) = now > base ? now - base : 0;
        gst_object_unref(clock);
    }
    if (gst_app_src_push_buffer(GST_APP_SRC(m_appsrc), buffer) != GST_FLOW_OK)
        return false;
    ++m_frames;
    return true;
}

Outcome AviRecorder::stop()
{
    if (!m_pipeline)
        return {};
    m_busTimer.stop();
    gst_app_src_end_of_stream(GST_APP_SRC(m_appsrc));
    // A live sound source never ends by itself; the muxer waits for both.
    if (GstElement *audio = gst_bin_get_by_name(GST_BIN(m_pipeline), "asrc")) {
        gst_element_send_event(audio, gst_event_new_eos());
        gst_object_unref(audio);
    }
    bool ended = false;
    const QString error = avirecorder::waitForEnd(m_pipeline, 30 * GST_SECOND, &ended);
    teardown();
    if (!ended)
        return Outcome::failure(error);
    return {};
}

void AviRecorder::pollBus()
{
    if (!m_pipeline)
        return;
    GstBus *bus = gst_element_get_bus(m_pipeline);
    GstMessage *msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    gst_object_unref(bus);
    if (!msg)
        return;
    GError *err = nullptr;
    gst_message_parse_error(msg, &err, nullptr);
    const QString text = QString::fromUtf8(err ? err->message : "unknown error");
    g_clear_error(&err);
    gst_message_unref(msg);
    qCWarning(lcCapture) << "recording failed:" << text;
    m_busTimer.stop();
    teardown();
    Q_EMIT failed(text);
}

void AviRecorder::teardown()
{
    if (!m_pipeline)
        return;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    if (m_appsrc)
        gst_object_unref(m_appsrc);
    gst_object_unref(m_pipeline);
    m_appsrc = nullptr;
    m_pipeline = nullptr;
}

Result<AviRecorder::ClipInfo> AviRecorder::readClip(const QString &path)
{
    avirecorder::ensureInit();
    if (!QFileInfo(path).isFile())
        return Result<ClipInfo>::failure(QStringLiteral("No such file: ") + path);
    const QString description =
        QStringLiteral("filesrc location=%1 ! avidemux name=demux demux.video_0 ! queue "
                       "! jpegdec ! videoconvert ! video/x-raw,format=BGRx ! appsink name=sink sync=false")
            .arg(avirecorder::quoted(path));
    Result<GstElement *> launched = avirecorder::launch(description);
    if (!launched)
        return Result<ClipInfo>::failure(launched.error());
    GstElement *pipeline = *launched;
    ClipInfo info;
    GstElement *demux = gst_bin_get_by_name(GST_BIN(pipeline), "demux");
    g_signal_connect(demux, "pad-added", G_CALLBACK(+[](GstElement *, GstPad *pad, gpointer data) {
                         gchar *name = gst_pad_get_name(pad);
                         if (g_str_has_prefix(name, "audio"))
                             static_cast<ClipInfo *>(data)->hasAudio = true;
                         g_free(name);
                     }),
                     &info);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    QString failure;
    GstBus *bus = gst_element_get_bus(pipeline);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 100 * GST_MSECOND);
        if (!sample) {
            if (gst_app_sink_is_eos(GST_APP_SINK(sink)))
                break;
            // A broken file stops the pipeline with an error, never with an end.
            if (GstMessage *msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
                GError *err = nullptr;
                gst_message_parse_error(msg, &err, nullptr);
                failure = QString::fromUtf8(err ? err->message : "The clip could not be decoded.");
                g_clear_error(&err);
                gst_message_unref(msg);
                break;
            }
            if (waited.elapsed() > 30000) {
                failure = QStringLiteral("The clip could not be decoded.");
                break;
            }
            continue;
        }
        waited.restart();
        if (GstCaps *caps = gst_sample_get_caps(sample)) {
            const GstStructure *s = gst_caps_get_structure(caps, 0);
            int w = 0, h = 0;
            gst_structure_get_int(s, "width", &w);
            gst_structure_get_int(s, "height", &h);
            info.size = QSize(w, h);
        }
        ++info.frames;
        gst_sample_unref(sample);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(demux);
    gst_object_unref(pipeline);
    if (!failure.isEmpty() && info.frames == 0)
        return Result<ClipInfo>::failure(failure);
    return info;
}

} // namespace tovradocs::Internal
