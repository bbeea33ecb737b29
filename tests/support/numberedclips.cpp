#include "support/numberedclips.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <QColor>
#include <QFile>

#include <cstring>
#include <mutex>

namespace tovradocs::Testing {

namespace {

// Stripes: a white guard, ten bits (most significant first), a black guard.
constexpr int kStripes = 12;
constexpr int kBits = 10;

QImage numberedFrame(QSize size, int number)
{
    QImage image(size, QImage::Format_RGB32);
    // The top quarter changes colour with every frame, so motion is real.
    image.fill(QColor::fromHsv((number * 37) % 360, 200, 220));
    const int top = size.height() / 4;
    for (int y = top; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int stripe = x * kStripes / size.width();
            bool white = stripe == 0;
            if (stripe >= 1 && stripe <= kBits)
                white = (number >> (kBits - stripe)) & 1;
            line[x] = white ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        }
    }
    return image;
}

QString encoderFor(ClipFormat format)
{
    const bool x264 = gst_element_factory_find("x264enc") != nullptr;
    const QString h264 = x264 ? QStringLiteral("x264enc speed-preset=veryfast key-int-max=30 bitrate=4000 option-string=scenecut=0")
                              : QStringLiteral("jpegenc quality=90");
    switch (format) {
    case ClipFormat::Avi:
        return QStringLiteral("jpegenc quality=90 ! avimux");
    case ClipFormat::Mp4:
        return h264 + QStringLiteral(" ! mp4mux");
    case ClipFormat::Mov:
        return QStringLiteral("jpegenc quality=90 ! qtmux");
    case ClipFormat::Mkv:
        return h264 + QStringLiteral(" ! matroskamux");
    case ClipFormat::WebM:
        return QStringLiteral("vp8enc deadline=1 target-bitrate=4000000 keyframe-max-dist=30 ! webmmux");
    }
    return {};
}

} // namespace

QString clipSuffix(ClipFormat format)
{
    switch (format) {
    case ClipFormat::Avi:
        return QStringLiteral("avi");
    case ClipFormat::Mp4:
        return QStringLiteral("mp4");
    case ClipFormat::Mov:
        return QStringLiteral("mov");
    case ClipFormat::Mkv:
        return QStringLiteral("mkv");
    case ClipFormat::WebM:
        return QStringLiteral("webm");
    }
    return {};
}

QString makeNumberedClip(const QString &path, ClipFormat format, QSize size, int frames, int fps,
                         QString *error)
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return QString();
    };
    const QString description =
        QStringLiteral("appsrc name=src format=time caps=video/x-raw,format=BGRx,width=%1,height=%2,"
                       "framerate=%3/1 ! videoconvert ! %4 ! filesink name=out")
            .arg(size.width())
            .arg(size.height())
            .arg(fps)
            .arg(encoderFor(format));
    GError *err = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &err);
    if (!pipeline || err) {
        const QString why = err ? QString::fromUtf8(err->message) : QStringLiteral("no pipeline");
        g_clear_error(&err);
        if (pipeline)
            gst_object_unref(pipeline);
        return fail(why);
    }
    GstElement *src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GstElement *out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(out, "location", QFile::encodeName(path).constData(), nullptr);
    g_object_set(src, "block", TRUE, "max-bytes", guint64(8) << 20, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    for (int i = 0; i < frames; ++i) {
        const QImage frame = numberedFrame(size, i);
        GstBuffer *buffer = gst_buffer_new_allocate(nullptr, gsize(frame.sizeInBytes()), nullptr);
        gst_buffer_fill(buffer, 0, frame.constBits(), gsize(frame.sizeInBytes()));
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(i), GST_SECOND, guint64(fps));
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, guint64(fps));
        if (gst_app_src_push_buffer(GST_APP_SRC(src), buffer) != GST_FLOW_OK)
            break;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message = gst_bus_timed_pop_filtered(
        bus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    QString why;
    if (!message) {
        why = QStringLiteral("the encoder did not finish");
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        gst_message_parse_error(message, &err, nullptr);
        why = QString::fromUtf8(err->message);
        g_clear_error(&err);
    }
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(src);
    gst_object_unref(out);
    gst_object_unref(pipeline);
    if (!why.isEmpty())
        return fail(why);
    return path;
}

QString withUnknownCodec(const QString &aviPath, const QString &path)
{
    QFile in(aviPath);
    QFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return {};
    // The tag stands in the stream header and in the bitmap header.
    QByteArray bytes = in.readAll();
    bytes.replace("MJPG", "TVQZ");
    return out.write(bytes) == bytes.size() ? path : QString();
}

int frameNumber(const QImage &picture)
{
    if (picture.isNull())
        return -1;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int y = image.height() * 5 / 8;
    int number = 0;
    for (int stripe = 0; stripe < kStripes; ++stripe) {
        const int x = (2 * stripe + 1) * image.width() / (2 * kStripes);
        const int gray = qGray(image.pixel(x, y));
        if (gray > 70 && gray < 185)
            return -1; // neither black nor white: not one of our frames
        const bool white = gray >= 185;
        if ((stripe == 0 && !white) || (stripe == kStripes - 1 && white))
            return -1;
        if (stripe >= 1 && stripe <= kBits)
            number = (number << 1) | (white ? 1 : 0);
    }
    return number;
}

} // namespace tovradocs::Testing
