#include "media/captureclipwriter.h"

#include "media/gstsupport_p.h"
#include "media/mediaengine.h"

#include <gst/app/gstappsrc.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tovradocs::Internal {

struct CaptureClipWriter::Shared
{
    std::shared_ptr<MediaEngine::Strand> strand = MediaEngine::Strand::create();
    std::shared_ptr<Gst::Relay> relay;
    CaptureClipWriter *owner = nullptr; // used only in calls the relay queues
    GstElement *pipeline = nullptr; // owned; state changes on the strand only
    GstElement *source = nullptr;
};

CaptureClipWriter::CaptureClipWriter(QObject *parent)
    : QObject(parent)
    , m_relay(std::make_shared<Gst::Relay>(this))
{
}

CaptureClipWriter::~CaptureClipWriter()
{
    stop();
    m_relay->close();
}

QString CaptureClipWriter::start(const QString &path, const Format &format)
{
    using Gst::makeElement;
    if (m_shared)
        return QStringLiteral("A clip is being written already.");
    if (path.isEmpty())
        return QStringLiteral("No file was named for the clip.");
    if (format.frameSize.isEmpty())
        return QStringLiteral("The source has no picture yet.");
    if (!QFileInfo(path).absoluteDir().exists())
        return QStringLiteral("The folder of %1 does not exist.")
            .arg(QDir::toNativeSeparators(path));
    QString error;
    if (!MediaEngine::start(&error))
        return error;
    // JPEG wants even sizes for its colour planes.
    m_size = QSize(format.frameSize.width() & ~1, format.frameSize.height() & ~1);
    m_fps = qBound(1, format.framesPerSecond, 100);
    m_frames = 0;

    GstElement *pipeline = gst_pipeline_new("frames");
    GstElement *source = makeElement("appsrc", "src");
    GstElement *convert = makeElement("videoconvert");
    GstElement *encoder = makeElement("jpegenc");
    GstElement *mux = makeElement("avimux");
    GstElement *sink = makeElement("filesink");
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
    Gst::adoptPipeline(pipeline);

    m_shared = std::make_shared<Shared>();
    m_shared->relay = m_relay;
    m_shared->owner = this;
    m_shared->pipeline = pipeline;
    m_shared->source = source;
    m_watch = std::make_unique<Gst::BusWatch>(pipeline,
                                              [this](GstMessage *message) { busMessage(message); });
    m_shared->strand->post([shared = m_shared] {
        // A file that cannot be opened says why on the bus.
        gst_element_set_state(shared->pipeline, GST_STATE_PLAYING);
    });
    return {};
}

bool CaptureClipWriter::push(const QImage &picture)
{
    if (!m_shared || picture.isNull())
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
    // After the start on the strand: appsrc takes nothing before it runs.
    m_shared->strand->post([shared = m_shared, buffer] {
        gst_app_src_push_buffer(GST_APP_SRC(shared->source), buffer);
    });
    ++m_frames;
    return true;
}

void CaptureClipWriter::stop()
{
    if (!m_shared)
        return;
    // From here the bus keeps its messages, for the worker to wait on.
    m_watch.reset();
    const std::shared_ptr<Shared> shared = std::exchange(m_shared, nullptr);
    shared->strand->post([shared] {
        QString error;
        gst_app_src_end_of_stream(GST_APP_SRC(shared->source));
        GstBus *bus = gst_element_get_bus(shared->pipeline);
        GstMessage *message = gst_bus_timed_pop_filtered(
            bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!message)
            error = QStringLiteral("The clip could not be finished in time.");
        else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
            error = Gst::describeError(message);
        if (message)
            gst_message_unref(message);
        gst_object_unref(bus);
        Gst::releasePipeline(std::exchange(shared->pipeline, nullptr));
        shared->relay->post([owner = shared->owner, error] { Q_EMIT owner->finished(error); });
    });
}

void CaptureClipWriter::busMessage(GstMessage *message)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR)
        return;
    const QString text = Gst::describeError(message);
    release();
    Q_EMIT failed(text);
}

void CaptureClipWriter::release()
{
    if (!m_shared)
        return;
    m_watch.reset();
    const std::shared_ptr<Shared> shared = std::exchange(m_shared, nullptr);
    shared->strand->post(
        [shared] { Gst::releasePipeline(std::exchange(shared->pipeline, nullptr)); });
}

} // namespace tovradocs::Internal
