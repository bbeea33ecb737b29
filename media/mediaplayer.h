#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>

#include "media/playbackgroup.h"
#include <QSize>
#include <QString>

#include <deque>
#include <memory>

class QTimer;

namespace tovradocs::Internal {

namespace Gst {
class BusWatch;
}


// One clip in a GStreamer pipeline of its own (playbin with the pictures
// scaled and converted for the view and handed over through an appsink). The
// clip's sound goes to the desktop's sound server, or nowhere when there is
// none. Transport goes through the player's PlaybackGroup, which keeps the
// players of a window on one clock.
//
// Threads: make, call and destroy on the UI thread; signals arrive there.
// Nothing here waits for GStreamer: state changes, seeks and tear-down run in
// order on a worker, and their outcome arrives later.
class MediaPlayer : public QObject
{
    Q_OBJECT

public:
    enum Status { NoMedia, Loading, Loaded, Failed };

    // In group, or in a group of its own when group is null.
    explicit MediaPlayer(PlaybackGroup *group = nullptr, QObject *parent = nullptr);
    ~MediaPlayer() override; // returns at once; the pipeline is torn down on a worker

    PlaybackGroup *group() const { return m_group; }
    void setGroup(PlaybackGroup *group);

    // Loads path paused on its first picture; loaded(bool) follows. A load
    // that shows no picture within loadTimeout() milliseconds fails.
    void open(const QString &path);
    void close();
    QString fileName() const { return m_path; }
    Status status() const { return m_status; }
    bool isLoaded() const { return m_status == Loaded; }
    QString errorString() const { return m_error; }
    static int loadTimeout() { return 8000; }

    // One clip alone; the group's calls move all of its players together.
    void play();
    void pause();
    void stop();
    void seek(qint64 ms);
    void step(int frames);

    // Loaded or failed, with no seek, step or pause left to finish.
    bool isSettled() const;
    bool isPlaying() const { return m_playing; }
    bool isStopped() const { return m_stopped; }
    // Nobody has asked for play, pause or stop since the file was opened.
    bool isUntouched() const { return m_untouched; }
    bool atEnd() const { return m_atEnd; }

    void setMuted(bool muted);
    bool isMuted() const { return m_muted; }
    // Pictures come scaled down to fit this size (never up).
    void setViewSize(QSize size);

    QImage frame() const { return m_frame; }
    // Position of the picture shown, from the start of the clip.
    qint64 position() const { return m_positionNs / 1000000; }
    qint64 positionNs() const { return m_positionNs; }
    qint64 duration() const { return m_durationNs < 0 ? -1 : m_durationNs / 1000000; }
    qint64 durationNs() const { return m_durationNs; }
    // Nominal time between pictures; 40 ms when the clip does not say.
    qint64 frameIntervalNs() const { return m_frameNs; }
    QSize videoSize() const { return m_videoSize; }
    // Where the picture shown lies on the pipeline's running time (the clock
    // minus the start instant); it goes on growing across repeats.
    qint64 runningTimeNs() const { return m_runningNs; }

    // A step of the transport, run in order on the worker (the group's business).
    struct Op
    {
        enum Kind { Seek, Pause } kind = Seek;
        qint64 positionNs = 0;
        bool segment = false;
        qint64 nominalNs = -1; // the picture's own time when positionNs lies inside it
    };

Q_SIGNALS:
    void loaded(bool ok);
    void frameChanged();
    void positionChanged(qint64 ms);
    void stateChanged();
    void ended();
    // Repeating: the clip started again from its beginning without a gap.
    void looped();
    // The pending seek, step or pause has finished (for the group).
    void settled();

private:
    friend class PlaybackGroup;
    struct Shared;

    // Group side: every call below only posts work to the worker.
    void enqueue(const Op &op);
    void runNext();
    void opFinished(bool ok);
    void startAt(quint64 clockTime);
    void pausePipeline();
    void setRateInternal(double rate) { m_rate = rate; }
    double rate() const { return m_rate; }
    void setLoopingInternal(bool looping);
    bool inLoopSegment() const { return m_segmentMode; }
    void markStopped(bool stopped);
    void setPlayingFlag(bool playing);

    void pipelineBuilt();
    void handleMessage(void *message);
    void frameArrived();
    void loadFinished(bool ok, const QString &error);
    void infoArrived(qint64 durationNs, QSize natural, qint64 frameNs);
    void fail(const QString &error);
    void applyViewSize();
    void teardown();

    QPointer<PlaybackGroup> m_group;
    std::shared_ptr<Shared> m_shared;
    QTimer *m_loadWatch;
    QString m_path;
    QString m_error;
    QString m_missing;
    Status m_status = NoMedia;
    QImage m_frame;
    qint64 m_positionNs = 0;
    qint64 m_runningNs = 0;
    qint64 m_seekTargetNs = -1;
    qint64 m_seekNominalNs = -1;
    qint64 m_durationNs = -1;
    qint64 m_frameNs = 40000000;
    QSize m_videoSize;
    QSize m_viewSize;
    double m_rate = 1.0;
    bool m_muted = false;
    bool m_hasVideo = true;
    bool m_prerolled = false;
    bool m_playing = false;     // asked to play (what the user sees)
    bool m_pipelinePlaying = false;
    bool m_stopped = true;
    bool m_untouched = true;
    bool m_atEnd = false;
    bool m_looping = false;
    bool m_segmentMode = false; // the running segment repeats
    bool m_inFlight = false;
    std::deque<Op> m_ops;
    std::unique_ptr<Gst::BusWatch> m_watch;
};

} // namespace tovradocs::Internal
