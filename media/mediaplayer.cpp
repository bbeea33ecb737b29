#include "media/mediaplayer.h"

#include "media/gstsupport_p.h"
#include "media/mediaengine.h"
#include "media/medialogging.h"


#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace tovradocs::Internal {

namespace {

// GST_PLAY_FLAG_VIDEO | AUDIO | SOFT_VOLUME | NATIVE_VIDEO: no subtitles, and
// the sink bin does the only conversion.
constexpr unsigned kPlayFlags = 0x1 | 0x2 | 0x10 | 0x40;
constexpr GstClockTime kSettleWait = 10 * GST_SECOND;

GstElement *makeAudioSink()
{
    // Without a sound server the clip still plays, silently, on the same clock.
    GstElement *sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (sink && gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(sink, GST_STATE_NULL);
        return sink;
    }
    if (sink)
        gst_object_unref(gst_object_ref_sink(sink));
    sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

} // namespace

struct MediaPlayer::Shared
{
    std::shared_ptr<Gst::Strand> strand = Gst::Strand::create();
    GstElement *pipeline = nullptr; // owned; used on the strand only
    GstElement *appsink = nullptr;
    GstElement *capsfilter = nullptr;

    std::mutex mutex; // guards what follows
    QPointer<MediaPlayer> receiver;
    QImage frame;
    qint64 streamNs = 0;
    qint64 runningNs = 0;
    bool posted = false;

    // Runs f on the UI thread with the player, unless it let go of this pipeline.
    void post(std::function<void(MediaPlayer *)> f)
    {
        std::lock_guard lock(mutex);
        if (MediaPlayer *player = receiver.data())
            QMetaObject::invokeMethod(
                player, [player, f = std::move(f)] { f(player); }, Qt::QueuedConnection);
    }

    static GstFlowReturn onPreroll(GstAppSink *sink, gpointer self)
    {
        return static_cast<Shared *>(self)->take(gst_app_sink_pull_preroll(sink));
    }
    static GstFlowReturn onSample(GstAppSink *sink, gpointer self)
    {
        return static_cast<Shared *>(self)->take(gst_app_sink_pull_sample(sink));
    }

    GstFlowReturn take(GstSample *sample)
    {
        if (!sample)
            return GST_FLOW_OK;
        QImage image = Gst::imageFromSample(sample);
        qint64 stream = 0;
        qint64 running = 0;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        const GstSegment *segment = gst_sample_get_segment(sample);
        if (buffer && segment && GST_BUFFER_PTS_IS_VALID(buffer)) {
            guint64 value = 0;
            // Pictures before the segment's start (accurate seeks) count negative.
            int sign = gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME,
                                                       GST_BUFFER_PTS(buffer), &value);
            stream = sign > 0 ? qint64(value) : 0;
            sign = gst_segment_to_running_time_full(segment, GST_FORMAT_TIME,
                                                    GST_BUFFER_PTS(buffer), &value);
            running = sign >= 0 ? qint64(value) : -qint64(value);
        }
        gst_sample_unref(sample);
        std::lock_guard lock(mutex);
        frame = std::move(image);
        streamNs = stream;
        runningNs = running;
        MediaPlayer *player = receiver.data();
        if (!posted && player) {
            posted = true;
            QMetaObject::invokeMethod(player, [player] { player->frameArrived(); },
                                      Qt::QueuedConnection);
        }
        return GST_FLOW_OK;
    }
};

MediaPlayer::MediaPlayer(PlaybackGroup *group, QObject *parent)
    : QObject(parent)
    , m_loadWatch(new QTimer(this))
{
    m_loadWatch->setSingleShot(true);
    m_loadWatch->setInterval(loadTimeout());
    connect(m_loadWatch, &QTimer::timeout, this, [this] {
        if (m_status == Loading)
            fail(tr("The file %1 could not be opened within %2 seconds.")
                     .arg(m_path)
                     .arg(loadTimeout() / 1000));
    });
    setGroup(group ? group : new PlaybackGroup(this));
}

MediaPlayer::~MediaPlayer()
{
    teardown();
    if (m_group)
        m_group->leave(this);
}

void MediaPlayer::setGroup(PlaybackGroup *group)
{
    if (group == m_group || !group)
        return;
    if (m_group)
        m_group->leave(this);
    m_group = group;
    m_group->join(this);
}

void MediaPlayer::teardown()
{
    m_watch.reset();
    m_loadWatch->stop();
    m_ops.clear();
    m_inFlight = false;
    if (!m_shared)
        return;
    std::shared_ptr<Shared> shared = std::move(m_shared);
    {
        std::lock_guard lock(shared->mutex);
        shared->receiver = nullptr;
    }
    // Queued after whatever the worker still has to do for this pipeline.
    shared->strand->post([shared] {
        Gst::releasePipeline(shared->pipeline);
        shared->pipeline = nullptr;
    });
}

void MediaPlayer::close()
{
    teardown();
    m_path.clear();
    m_error.clear();
    m_status = NoMedia;
    m_frame = QImage();
    m_positionNs = m_runningNs = 0;
    m_durationNs = -1;
    m_videoSize = QSize();
    m_playing = m_pipelinePlaying = m_atEnd = m_segmentMode = false;
    m_stopped = m_untouched = true;
    Q_EMIT stateChanged();
}

void MediaPlayer::open(const QString &path)
{
    close();
    m_path = path;
    m_status = Loading;
    m_missing.clear();
    m_hasVideo = true;
    m_prerolled = false;
    const QFileInfo info(path);
    QString error;
    if (!MediaEngine::start(&error))
        return fail(error);
    if (!info.isFile())
        return fail(tr("The file %1 does not exist.").arg(path));
    if (!info.isReadable())
        return fail(tr("The file %1 cannot be read.").arg(path));
    if (info.size() == 0)
        return fail(tr("The file %1 is empty.").arg(path));

    m_shared = std::make_shared<Shared>();
    m_shared->receiver = this;
    m_loadWatch->start();
    Q_EMIT stateChanged();
    auto *clock = static_cast<GstClock *>(m_group->clock());
    const QString absolute = info.absoluteFilePath();
    const bool muted = m_muted;
    std::weak_ptr<Shared> weak = m_shared;
    m_shared->strand->post([weak, clock, absolute, muted] {
        const std::shared_ptr<Shared> shared = weak.lock();
        if (!shared)
            return;
        GstElement *videoSink = Gst::makeVideoSinkBin(&shared->appsink, &shared->capsfilter);
        GstElement *pipeline = Gst::makePlaybin(absolute, videoSink, makeAudioSink(), kPlayFlags);
        if (!pipeline || !videoSink)
            return shared->post([](MediaPlayer *p) {
                p->fail(tr("GStreamer's playbin or appsink element is not installed."));
            });
        gst_object_ref_sink(pipeline);
        Gst::adoptPipeline(pipeline);
        shared->pipeline = pipeline;
        if (GstElement *tempo = gst_element_factory_make("scaletempo", nullptr))
            g_object_set(pipeline, "audio-filter", tempo, nullptr); // speed without a change of pitch
        g_object_set(pipeline, "mute", gboolean(muted), nullptr);
        // The group starts every pipeline itself, from one instant on one clock.
        gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock);
        gst_element_set_start_time(pipeline, GST_CLOCK_TIME_NONE);
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_preroll = &Shared::onPreroll;
        callbacks.new_sample = &Shared::onSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(shared->appsink), &callbacks, shared.get(), nullptr);
        shared->post([](MediaPlayer *p) { p->pipelineBuilt(); });
        // A failure here comes with an error on the bus, which says more.
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
    });
}

void MediaPlayer::pipelineBuilt()
{
    // The bus keeps what was posted before the watch, so nothing is missed.
    m_watch = std::make_unique<Gst::BusWatch>(m_shared->pipeline, [this](GstMessage *message) {
        handleMessage(message);
    });
}

void MediaPlayer::handleMessage(void *raw)
{
    auto *message = static_cast<GstMessage *>(raw);
    if (!m_shared)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        const QString text = Gst::describeError(message);
        if (!m_missing.isEmpty())
            fail(tr("No decoder is installed for the video in %1 (%2).").arg(m_path, m_missing));
        else
            fail(tr("The file %1 cannot be played: %2").arg(m_path, text));
        break;
    }
    case GST_MESSAGE_ELEMENT:
        if (const QString what = Gst::missingPlugin(message); !what.isEmpty())
            m_missing = what;
        break;
    case GST_MESSAGE_STREAM_COLLECTION:
        m_hasVideo = Gst::collectionHasVideo(message);
        break;
    case GST_MESSAGE_ASYNC_DONE:
        if (m_status == Loading && !m_prerolled) {
            m_prerolled = true;
            m_shared->strand->post([shared = m_shared] {
                gint64 duration = -1;
                gst_element_query_duration(shared->pipeline, GST_FORMAT_TIME, &duration);
                gint nVideo = 0;
                g_object_get(shared->pipeline, "n-video", &nVideo, nullptr);
                QSize natural;
                qint64 frameNs = 0;
                GstElement *bin = nullptr;
                g_object_get(shared->pipeline, "video-sink", &bin, nullptr);
                GstPad *pad = bin ? gst_element_get_static_pad(bin, "sink") : nullptr;
                GstCaps *caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
                GstVideoInfo info;
                if (caps && gst_video_info_from_caps(&info, caps)) {
                    const int parN = std::max(1, GST_VIDEO_INFO_PAR_N(&info));
                    const int parD = std::max(1, GST_VIDEO_INFO_PAR_D(&info));
                    natural = QSize(int(qint64(GST_VIDEO_INFO_WIDTH(&info)) * parN / parD),
                                    GST_VIDEO_INFO_HEIGHT(&info));
                    if (GST_VIDEO_INFO_FPS_N(&info) > 0 && GST_VIDEO_INFO_FPS_D(&info) > 0)
                        frameNs = qint64(gst_util_uint64_scale(GST_SECOND, GST_VIDEO_INFO_FPS_D(&info),
                                                               GST_VIDEO_INFO_FPS_N(&info)));
                }
                if (caps)
                    gst_caps_unref(caps);
                if (pad)
                    gst_object_unref(pad);
                if (bin)
                    gst_object_unref(bin);
                shared->post([duration, natural, frameNs, nVideo](MediaPlayer *p) {
                    p->m_hasVideo = p->m_hasVideo && nVideo > 0;
                    p->infoArrived(duration, natural, frameNs);
                });
            });
        }
        break;
    case GST_MESSAGE_EOS:
        if (m_status == Loaded && !m_atEnd) {
            m_atEnd = true;
            Q_EMIT stateChanged(); // "stopped" before ended(), so handlers of either see it
            Q_EMIT ended();
        }
        break;
    case GST_MESSAGE_SEGMENT_DONE: {
        // Queued behind the last pictures of this pass, so the next one follows
        // them without a gap; without repeating, the same kind of seek to the
        // end lets the clip end after its last picture.
        const bool again = m_looping;
        const double rate = m_rate;
        const qint64 end = m_durationNs;
        m_segmentMode = again;
        m_shared->strand->post([shared = m_shared, again, rate, end] {
            // An explicit end: without one the next pass would start at the
            // last picture's start and cut it short.
            if (again)
                gst_element_seek(shared->pipeline, rate, GST_FORMAT_TIME, GST_SEEK_FLAG_SEGMENT,
                                 GST_SEEK_TYPE_SET, 0, end > 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
                                 end > 0 ? end : GST_CLOCK_TIME_NONE);
            else
                gst_element_seek(shared->pipeline, rate, GST_FORMAT_TIME, GST_SEEK_FLAG_NONE,
                                 GST_SEEK_TYPE_SET, end > 0 ? end : 0, GST_SEEK_TYPE_NONE,
                                 GST_CLOCK_TIME_NONE);
        });
        if (again)
            Q_EMIT looped();
        break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
        m_shared->strand->post([shared = m_shared] {
            gint64 duration = -1;
            if (gst_element_query_duration(shared->pipeline, GST_FORMAT_TIME, &duration))
                shared->post([duration](MediaPlayer *p) { p->m_durationNs = duration; });
        });
        break;
    default:
        break;
    }
}

void MediaPlayer::infoArrived(qint64 durationNs, QSize natural, qint64 frameNs)
{
    if (m_status != Loading)
        return;
    if (!m_hasVideo || natural.isEmpty()) {
        // Sound alone would play on behind a black picture.
        return fail(tr("The file %1 holds no video.").arg(m_path));
    }
    m_loadWatch->stop();
    m_durationNs = durationNs;
    m_videoSize = natural;
    if (frameNs > 0)
        m_frameNs = frameNs;
    m_status = Loaded;
    applyViewSize();
    Q_EMIT loaded(true);
    Q_EMIT stateChanged();
    if (m_group)
        m_group->memberSettled();
}

void MediaPlayer::fail(const QString &error)
{
    if (m_status == Failed)
        return;
    const bool wasLoading = m_status == Loading;
    qCDebug(lcMedia) << "failed:" << error;
    m_error = error;
    m_status = Failed;
    teardown();
    m_playing = m_pipelinePlaying = false;
    if (wasLoading)
        Q_EMIT loaded(false);
    Q_EMIT stateChanged();
    if (m_group)
        m_group->memberSettled();
}

void MediaPlayer::frameArrived()
{
    if (!m_shared)
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->posted = false;
        m_frame = m_shared->frame;
        m_positionNs = m_shared->streamNs;
        m_runningNs = m_shared->runningNs;
    }
    // The decoder stamps the picture a seek landed inside with the seek's
    // time; it shows the picture that begins at the nominal time.
    if (m_positionNs == m_seekTargetNs && m_seekNominalNs >= 0)
        m_positionNs = m_seekNominalNs;
    Q_EMIT frameChanged();
    Q_EMIT positionChanged(position());
}

bool MediaPlayer::isSettled() const
{
    return m_status != Loading && !m_inFlight && m_ops.empty();
}

void MediaPlayer::enqueue(const Op &op)
{
    if (m_status != Loaded)
        return;
    // A newer seek replaces one that has not started (a slider being dragged).
    if (op.kind == Op::Seek && !m_ops.empty() && m_ops.back().kind == Op::Seek)
        m_ops.back() = op;
    else if (!(op.kind == Op::Pause && !m_ops.empty() && m_ops.back().kind == Op::Pause))
        m_ops.push_back(op);
    runNext();
}

void MediaPlayer::runNext()
{
    if (m_inFlight || m_ops.empty() || !m_shared)
        return;
    const Op op = m_ops.front();
    m_ops.pop_front();
    m_inFlight = true;
    if (op.kind == Op::Pause) {
        m_pipelinePlaying = false;
        m_shared->strand->post([shared = m_shared] {
            gst_element_set_state(shared->pipeline, GST_STATE_PAUSED);
            // The picture the sink holds when paused arrives before this answer.
            gst_element_get_state(shared->pipeline, nullptr, nullptr, kSettleWait);
            shared->post([](MediaPlayer *p) { p->opFinished(true); });
        });
        return;
    }
    m_atEnd = false;
    m_segmentMode = op.segment;
    m_seekTargetNs = std::max<qint64>(0, op.positionNs);
    m_seekNominalNs = op.nominalNs;
    const double rate = m_rate;
    const qint64 end = m_durationNs;
    m_shared->strand->post([shared = m_shared, op, rate, end] {
        auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
        if (op.segment)
            flags = GstSeekFlags(flags | GST_SEEK_FLAG_SEGMENT);
        const bool bounded = op.segment && end > 0;
        bool ok = gst_element_seek(shared->pipeline, rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                                   std::max<qint64>(0, op.positionNs),
                                   bounded ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
                                   bounded ? end : GST_CLOCK_TIME_NONE);
        if (ok)
            ok = gst_element_get_state(shared->pipeline, nullptr, nullptr, kSettleWait)
                == GST_STATE_CHANGE_SUCCESS;
        shared->post([ok](MediaPlayer *p) { p->opFinished(ok); });
    });
}

void MediaPlayer::opFinished(bool ok)
{
    if (!ok)
        qCDebug(lcMedia) << "a seek did not settle in" << m_path;
    m_inFlight = false;
    if (!m_ops.empty())
        return runNext();
    Q_EMIT stateChanged();
    if (m_group)
        m_group->memberSettled();
}

void MediaPlayer::startAt(quint64 clockTime)
{
    if (!m_shared || m_status != Loaded)
        return;
    // The picture on screen belongs at clockTime; the rest follow on the clock.
    const quint64 base = quint64(qint64(clockTime) - m_runningNs);
    m_pipelinePlaying = true;
    m_shared->strand->post([shared = m_shared, base] {
        gst_element_set_base_time(shared->pipeline, base);
        gst_element_set_state(shared->pipeline, GST_STATE_PLAYING);
    });
}

void MediaPlayer::pausePipeline()
{
    if (m_pipelinePlaying)
        enqueue({Op::Pause, 0, false});
}

void MediaPlayer::setLoopingInternal(bool looping)
{
    m_looping = looping;
}

void MediaPlayer::markStopped(bool stopped)
{
    m_stopped = stopped;
    m_untouched = false;
}

void MediaPlayer::setPlayingFlag(bool playing)
{
    m_playing = playing;
    m_untouched = false;
    if (playing)
        m_stopped = false;
    Q_EMIT stateChanged();
}

void MediaPlayer::play()
{
    if (m_group)
        m_group->play({this});
}

void MediaPlayer::pause()
{
    if (m_group)
        m_group->pause({this});
}

void MediaPlayer::stop()
{
    if (m_group)
        m_group->stop({this});
}

void MediaPlayer::seek(qint64 ms)
{
    if (m_group)
        m_group->seek(ms, {this});
}

void MediaPlayer::step(int frames)
{
    if (m_group)
        m_group->step(frames, {this});
}

void MediaPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (m_shared)
        m_shared->strand->post([shared = m_shared, muted] {
            if (shared->pipeline)
                g_object_set(shared->pipeline, "mute", gboolean(muted), nullptr);
        });
}

void MediaPlayer::setViewSize(QSize size)
{
    if (size == m_viewSize)
        return;
    m_viewSize = size;
    applyViewSize();
}

void MediaPlayer::applyViewSize()
{
    if (!m_shared || m_videoSize.isEmpty() || m_viewSize.isEmpty())
        return;
    // Scaled in the pipeline, so only the pixels shown are converted and painted.
    QSize fitted = m_videoSize.scaled(m_viewSize, Qt::KeepAspectRatio);
    if (fitted.width() >= m_videoSize.width())
        fitted = m_videoSize;
    fitted = fitted.expandedTo({2, 2});
    m_shared->strand->post([shared = m_shared, fitted] {
        GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx",
                                            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, "width",
                                            G_TYPE_INT, fitted.width(), "height", G_TYPE_INT,
                                            fitted.height(), nullptr);
        g_object_set(shared->capsfilter, "caps", caps, nullptr);
        gst_caps_unref(caps);
    });
}

} // namespace tovradocs::Internal
