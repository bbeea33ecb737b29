#include "media/capturedevices.h"

#include "media/capturegst_p.h"

#include <algorithm>
#include <map>

namespace tovradocs::Internal {

namespace capturedevices {

// Fixed sizes and their best rates from a device's caps. Ranges give their
// upper end; raw formats videoconvert cannot read are rare enough to keep.
QList<CaptureFormat> formatsOf(GstCaps *caps)
{
    std::map<std::tuple<int, int, bool>, int> best;
    for (guint i = 0; caps && i < gst_caps_get_size(caps); ++i) {
        const GstStructure *s = gst_caps_get_structure(caps, i);
        const bool jpeg = gst_structure_has_name(s, "image/jpeg");
        if (!jpeg && !gst_structure_has_name(s, "video/x-raw"))
            continue;
        int width = 0, height = 0;
        if (!gst_structure_get_int(s, "width", &width) || !gst_structure_get_int(s, "height", &height))
            continue;
        const GValue *rate = gst_structure_get_value(s, "framerate");
        int fps = 0;
        const auto consider = [&](const GValue *v) {
            if (v && GST_VALUE_HOLDS_FRACTION(v) && gst_value_get_fraction_denominator(v) > 0)
                fps = qMax(fps, gst_value_get_fraction_numerator(v) / gst_value_get_fraction_denominator(v));
        };
        if (rate && GST_VALUE_HOLDS_LIST(rate)) {
            for (guint n = 0; n < gst_value_list_get_size(rate); ++n)
                consider(gst_value_list_get_value(rate, n));
        } else if (rate && GST_VALUE_HOLDS_FRACTION_RANGE(rate)) {
            consider(gst_value_get_fraction_range_max(rate));
        } else {
            consider(rate);
        }
        int &kept = best[{width, height, jpeg}];
        kept = qMax(kept, fps);
    }
    QList<CaptureFormat> formats;
    for (const auto &[key, fps] : best)
        formats.append({QSize(std::get<0>(key), std::get<1>(key)), fps, std::get<2>(key)});
    return formats;
}

QString stringProperty(GstStructure *properties, const char *name)
{
    const gchar *value = properties ? gst_structure_get_string(properties, name) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

CaptureDevice describe(GstDevice *device)
{
    CaptureDevice d;
    gchar *name = gst_device_get_display_name(device);
    d.name = QString::fromUtf8(name ? name : "Camera");
    g_free(name);
    GstStructure *properties = gst_device_get_properties(device);
    const QString api = stringProperty(properties, "device.api");
    d.api = api == QLatin1String("v4l2")       ? QStringLiteral("V4L2")
            : api == QLatin1String("pipewire") ? QStringLiteral("PipeWire")
                                               : api;
    QString where = stringProperty(properties, "device.path");
    if (where.isEmpty())
        where = stringProperty(properties, "object.path");
    if (where.isEmpty())
        where = d.name;
    d.id = (api + u':' + where).toUtf8();
    if (properties)
        gst_structure_free(properties);
    GstCaps *caps = gst_device_get_caps(device);
    d.formats = formatsOf(caps);
    if (caps)
        gst_caps_unref(caps);
    d.handle = std::shared_ptr<GstDevice>(GST_DEVICE(gst_object_ref(device)),
                                          [](GstDevice *p) { gst_object_unref(p); });
    return d;
}

} // namespace capturedevices

QString CaptureFormat::text() const
{
    return QStringLiteral("%1 x %2, %3 fps%4")
        .arg(size.width())
        .arg(size.height())
        .arg(framesPerSecond)
        .arg(compressed ? QStringLiteral(" (MJPEG)") : QString());
}

CaptureFormat CaptureDevice::preferredFormat() const
{
    const auto score = [](const CaptureFormat &f) {
        const qint64 area = qint64(f.size.width()) * f.size.height();
        const bool fits = area <= 1920 * 1080;
        return std::make_tuple(f.framesPerSecond >= 15, fits, fits ? area : -area, !f.compressed,
                               f.framesPerSecond);
    };
    const auto best = std::max_element(formats.begin(), formats.end(),
                                       [&](const auto &a, const auto &b) { return score(a) < score(b); });
    return best == formats.end() ? CaptureFormat() : *best;
}

CaptureDevices::CaptureDevices(QObject *parent) : QObject(parent)
{
    CaptureGst::ensureInit();
    m_monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(m_monitor, "Video/Source", nullptr);
    m_relay = std::make_shared<CaptureGst::Relay>(this);
    GstBus *bus = gst_device_monitor_get_bus(m_monitor);
    CaptureGst::watchBus(bus, [relay = m_relay, self = this](GstMessage *message) {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_DEVICE_ADDED:
        case GST_MESSAGE_DEVICE_REMOVED:
        case GST_MESSAGE_DEVICE_CHANGED: relay->post([self] { self->refresh(); }); break;
        default: break;
        }
    });
    gst_object_unref(bus);
    if (!gst_device_monitor_start(m_monitor))
        qCInfo(lcMediaCapture) << "no video device provider could start";
    refresh();
}

CaptureDevices::~CaptureDevices()
{
    m_relay->close();
    gst_device_monitor_stop(m_monitor);
    GstBus *bus = gst_device_monitor_get_bus(m_monitor);
    CaptureGst::unwatchBus(bus);
    gst_object_unref(bus);
    gst_object_unref(m_monitor);
}

void CaptureDevices::refresh()
{
    QList<CaptureDevice> found;
    GList *list = gst_device_monitor_get_devices(m_monitor);
    for (GList *item = list; item; item = item->next) {
        CaptureDevice device = capturedevices::describe(GST_DEVICE(item->data));
        if (!device.formats.isEmpty())
            found.append(std::move(device));
    }
    g_list_free_full(list, gst_object_unref);
    const auto ids = [](const QList<CaptureDevice> &devices) {
        QList<QByteArray> result;
        for (const CaptureDevice &d : devices)
            result << d.id;
        return result;
    };
    const bool same = ids(found) == ids(m_devices);
    m_devices = std::move(found);
    if (!same)
        Q_EMIT changed();
}

bool CaptureDevices::hasAudioInput()
{
    CaptureGst::ensureInit();
    GstDeviceMonitor *monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
    GList *list = gst_device_monitor_get_devices(monitor);
    const bool any = list != nullptr;
    g_list_free_full(list, gst_object_unref);
    gst_object_unref(monitor);
    return any;
}

} // namespace tovradocs::Internal
