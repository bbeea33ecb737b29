#include "media/captureclipwriter.h"

#include "media/capturegst_p.h"

#include <gst/app/gstappsrc.h>

#include <QFile>

namespace tovradocs::Internal {

// The first error GStreamer's threads saw.
struct CaptureClipWriter::Errors
{
    std::mutex lock;
    QString first;
};

CaptureClipWriter::CaptureClipWriter(QObject *parent) : QObject(parent) { CaptureGst::ensureInit(); }

CaptureClipWriter::~CaptureClipWriter()
{
    if (m_pipeline)
        stop();
}

QString CaptureClipWriter::start(const QString &path, const Format &format)
{
    using CaptureGst::make;
    if (m_pipeline)
        return QStringLiteral("A clip is being written already.");
    if (path.isEmpty())
        return QStringLiteral("No file was named for the clip.");
    if (format.frameSize.isEmpty())
        return QStringLiteral("The source has no picture yet.");
    // JPEG wants even sizes for its colour planes.
    m_size = QSize(format.frameSize.width() & ~1, format.frameSize.height() & ~1);
    m_fps = qBound(1, format.framesPerSecond, 100);
    m_frames = 0;

    GstElement *pipeline = gst_pipeline_new("frames");
    GstElement *source = make("appsrc", "src");
    GstElement *convert = make("videoconvert");
    GstElement *encoder = make("jpegenc");
    GstElement *mux = make("avimux");
    GstElement *sink = make("filesink");
    for (GstElement *element : {source, convert, encoder, mux, sink})
        if (element)
            gst_bin_add(GST_BIN(pipeline), element);
    if (!source || !convert || !encoder || !mux || !sink
        || !gst_element_link_many(source, convert, encoder, mux, sink, nullptr)) {
        gst_object_unref(pipeline);
        return QStringLiteral("The clip could not be set up.");
    }
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                                        m_size.width(), "height", G_TYPE_INT, m_size.height(), "framerate",
                                        GST_TYPE_FRACTION, m_fps, 1, nullptr);
    g_object_set(source, "caps", caps, "format", GST_FORMAT_TIME, "is-live", FALSE, nullptr);
    gst_caps_unref(caps);
    g_object_set(encoder, "quality", qBound(1, format.quality, 100), nullptr);
    g_object_set(sink, "location", QFile::encodeName(path).constData(), nullptr);
    CaptureGst::trackPipeline(pipeline);

    m_relay = std::make_shared<CaptureGst::Relay>(this);
    GstBus *bus = gst_element_get_bus(pipeline);
    m_errors = std::make_shared<Errors>();
    CaptureGst::watchBus(bus, [relay = m_relay, errors = m_errors, self = this](GstMessage *message) {
        if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR)
            return;
        const QString text = CaptureGst::errorText(message);
        {
            const std::lock_guard guard(errors->lock);
            if (errors->first.isEmpty())
                errors->first = text;
        }
        relay->post([self, text] { self->writeFailed(text); });
    });
    gst_object_unref(bus);
    m_pipeline = pipeline;
    m_source = source;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        QString text;
        {
            const std::lock_guard guard(m_errors->lock);
            text = m_errors->first;
        }
        if (text.isEmpty())
            text = QStringLiteral("The clip could not be started.");
        teardown();
        return text;
    }
    return {};
}

bool CaptureClipWriter::push(const QImage &picture)
{
    if (!m_pipeline || picture.isNull())
        return false;
    auto *held = new QImage(picture.size() == m_size && picture.format() == QImage::Format_RGB32
                                ? picture
                                : picture.convertToFormat(QImage::Format_RGB32)
                                      .scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    // The buffer borrows the picture's pixels and lets the copy go with it.
    GstBuffer *buffer = gst_buffer_new_wrapped_full(
        GST_MEMORY_FLAG_READONLY, const_cast<uchar *>(held->constBits()), gsize(held->sizeInBytes()), 0,
        gsize(held->sizeInBytes()), held, [](gpointer p) { delete static_cast<QImage *>(p); });
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(GstClockTime(m_frames), GST_SECOND, guint64(m_fps));
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, guint64(m_fps));
    if (gst_app_src_push_buffer(GST_APP_SRC(m_source), buffer) != GST_FLOW_OK)
        return false;
    ++m_frames;
    return true;
}

QString CaptureClipWriter::stop()
{
    if (!m_pipeline)
        return {};
    // From here the bus keeps its messages, so the end can be waited for.
    GstBus *bus = gst_element_get_bus(m_pipeline);
    CaptureGst::unwatchBus(bus);
    QString error;
    {
        const std::lock_guard guard(m_errors->lock);
        error = m_errors->first;
    }
    if (error.isEmpty()) {
        gst_app_src_end_of_stream(GST_APP_SRC(m_source));
        GstMessage *message = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                                         GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!message)
            error = QStringLiteral("The clip could not be finished in time.");
        else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
            error = CaptureGst::errorText(message);
        if (message)
            gst_message_unref(message);
    }
    gst_object_unref(bus);
    teardown();
    return error;
}

void CaptureClipWriter::writeFailed(const QString &message)
{
    if (!m_pipeline)
        return;
    teardown();
    Q_EMIT failed(message);
}

void CaptureClipWriter::teardown()
{
    if (!m_pipeline)
        return;
    m_relay->close();
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    GstBus *bus = gst_element_get_bus(m_pipeline);
    CaptureGst::unwatchBus(bus);
    gst_object_unref(bus);
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
    m_source = nullptr;
}

} // namespace tovradocs::Internal
