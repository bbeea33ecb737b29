#include "media/playbackgroup.h"

#include "media/mediaengine.h"
#include "media/mediaplayer.h"

#include <gst/gst.h>

#include <algorithm>

namespace tovradocs::Internal {

namespace {

// Time from "go" to the first picture, so every pipeline's worker has set its
// base time before the clock reaches it.
constexpr GstClockTime kStartMargin = 60 * GST_MSECOND;

// A seek that keeps the picture on screen (to start a repeating segment there).
MediaPlayer::Op stayOn(const MediaPlayer *player, bool segment)
{
    const qint64 at = player->positionNs();
    return {MediaPlayer::Op::Seek, at > 0 ? at + player->frameIntervalNs() / 4 : 0, segment, at};
}

} // namespace

PlaybackGroup::PlaybackGroup(QObject *parent)
    : QObject(parent)
{
    MediaEngine::start();
    m_clock = gst_system_clock_obtain();
}

PlaybackGroup::~PlaybackGroup()
{
    for (MediaPlayer *player : std::as_const(m_players))
        player->m_group = nullptr;
    gst_object_unref(static_cast<GstClock *>(m_clock));
}

void PlaybackGroup::join(MediaPlayer *player)
{
    if (!m_players.contains(player))
        m_players.append(player);
    player->setRateInternal(m_rate);
    player->setLoopingInternal(m_looping);
}

void PlaybackGroup::leave(MediaPlayer *player)
{
    m_players.removeAll(player);
    m_toStart.removeAll(player);
    for (Pending &pending : m_pending)
        pending.players.removeAll(player);
    memberSettled();
}

QList<MediaPlayer *> PlaybackGroup::members(const QList<MediaPlayer *> &which) const
{
    if (which.isEmpty())
        return m_players;
    QList<MediaPlayer *> chosen;
    for (MediaPlayer *player : which)
        if (m_players.contains(player))
            chosen.append(player);
    return chosen;
}

void PlaybackGroup::holdStill(MediaPlayer *player)
{
    m_toStart.removeAll(player);
    player->setPlayingFlag(false);
    player->pausePipeline();
}

void PlaybackGroup::play(QList<MediaPlayer *> which)
{
    for (MediaPlayer *player : members(which)) {
        if (player->status() != MediaPlayer::Loaded && player->status() != MediaPlayer::Loading)
            continue;
        if (player->m_pipelinePlaying && !player->atEnd()
            && (!m_looping || player->inLoopSegment())) {
            player->setPlayingFlag(true); // already on its way
            continue;
        }
        if (player->atEnd() || (m_looping && player->isLoaded() && !player->inLoopSegment())) {
            player->pausePipeline();
            player->enqueue(player->atEnd() ? MediaPlayer::Op{MediaPlayer::Op::Seek, 0, m_looping}
                                            : stayOn(player, m_looping));
            player->m_atEnd = false;
        }
        player->setPlayingFlag(true);
        if (!m_toStart.contains(player))
            m_toStart.append(player);
    }
    tryStart();
}

void PlaybackGroup::pause(QList<MediaPlayer *> which)
{
    const QList<MediaPlayer *> players = members(which);
    for (MediaPlayer *player : players)
        holdStill(player);
    if (players.size() > 1)
        whenSettled(players, [this, players] { align(players); });
}

void PlaybackGroup::align(const QList<MediaPlayer *> &players)
{
    // One may have shown a picture more before its pause took hold.
    qint64 leader = -1;
    for (MediaPlayer *player : players)
        if (player->isLoaded() && !player->atEnd())
            leader = std::max(leader, player->positionNs());
    if (leader < 0)
        return;
    for (MediaPlayer *player : players)
        if (player->isLoaded() && !player->atEnd()
            && player->positionNs() < leader - player->frameIntervalNs() / 2)
            player->enqueue({MediaPlayer::Op::Seek, leader + player->frameIntervalNs() / 4, m_looping,
                             leader});
}

void PlaybackGroup::stop(QList<MediaPlayer *> which)
{
    for (MediaPlayer *player : members(which)) {
        holdStill(player);
        player->markStopped(true);
        player->enqueue({MediaPlayer::Op::Seek, 0, m_looping});
        player->m_atEnd = false;
        Q_EMIT player->stateChanged();
    }
}

void PlaybackGroup::moveTo(const QList<MediaPlayer *> &players, qint64 positionNs)
{
    for (MediaPlayer *player : players) {
        if (!player->isLoaded())
            continue;
        qint64 target = positionNs;
        if (player->durationNs() > 0)
            target = std::min(target, player->durationNs() - player->frameIntervalNs());
        target = std::max<qint64>(0, target);
        // A quarter picture in, so rounding of time stamps cannot land on the one before.
        const qint64 inside = target > 0 ? target + player->frameIntervalNs() / 4 : 0;
        if (player->m_pipelinePlaying)
            player->pausePipeline();
        player->markStopped(false);
        player->enqueue({MediaPlayer::Op::Seek, inside, m_looping, target});
        if (player->isPlaying() && !m_toStart.contains(player))
            m_toStart.append(player);
    }
    tryStart();
}

void PlaybackGroup::seek(qint64 ms, QList<MediaPlayer *> which)
{
    moveTo(members(which), ms * 1000000);
}

void PlaybackGroup::step(int frames, QList<MediaPlayer *> which)
{
    const QList<MediaPlayer *> players = members(which);
    if (frames == 0 || players.isEmpty())
        return;
    for (MediaPlayer *player : players)
        holdStill(player);
    // The target is taken once the pauses have settled on their pictures.
    whenSettled(players, [this, players, frames] {
        qint64 leader = -1;
        qint64 interval = 0;
        for (MediaPlayer *player : players)
            if (player->isLoaded() && player->positionNs() > leader) {
                leader = player->positionNs();
                interval = player->frameIntervalNs();
            }
        if (leader >= 0)
            moveTo(players, leader + frames * interval);
    });
}

void PlaybackGroup::setRate(double rate)
{
    rate = std::clamp(rate, kSlowest, kFastest);
    if (qFuzzyCompare(rate, m_rate))
        return;
    m_rate = rate;
    for (MediaPlayer *player : std::as_const(m_players)) {
        player->setRateInternal(rate);
        if (player->isLoaded())
            moveTo({player}, player->positionNs());
    }
}

void PlaybackGroup::setLooping(bool looping)
{
    m_looping = looping;
    for (MediaPlayer *player : std::as_const(m_players)) {
        player->setLoopingInternal(looping);
        // A clip playing on an ordinary segment needs a repeating one.
        if (looping && player->isLoaded() && player->isPlaying() && !player->inLoopSegment()
            && !player->atEnd())
            moveTo({player}, player->positionNs());
    }
}

qint64 PlaybackGroup::position() const
{
    qint64 furthest = 0;
    for (MediaPlayer *player : m_players)
        if (player->isLoaded())
            furthest = std::max(furthest, player->position());
    return furthest;
}

qint64 PlaybackGroup::duration() const
{
    qint64 longest = 0;
    for (MediaPlayer *player : m_players)
        longest = std::max(longest, player->duration());
    return longest;
}

void PlaybackGroup::whenSettled(const QList<MediaPlayer *> &players, std::function<void()> action)
{
    m_pending.append({players, std::move(action)});
    memberSettled();
}

void PlaybackGroup::memberSettled()
{
    if (m_running)
        return; // an action below asked again; the loop sees its effect
    m_running = true;
    // In order: each action may start work that the next one must wait for.
    while (!m_pending.isEmpty()) {
        const Pending &first = m_pending.first();
        const bool ready = std::all_of(first.players.begin(), first.players.end(),
                                       [](MediaPlayer *p) { return p->isSettled(); });
        if (!ready)
            break;
        const std::function<void()> action = first.action;
        m_pending.removeFirst();
        action();
    }
    m_running = false;
    tryStart();
}

void PlaybackGroup::tryStart()
{
    m_toStart.erase(std::remove_if(m_toStart.begin(), m_toStart.end(),
                                   [](MediaPlayer *p) {
                                       return !p->isPlaying()
                                           || (p->status() != MediaPlayer::Loaded
                                               && p->status() != MediaPlayer::Loading);
                                   }),
                    m_toStart.end());
    if (m_toStart.isEmpty() || !m_pending.isEmpty())
        return;
    for (MediaPlayer *player : std::as_const(m_toStart)) {
        if (!player->isSettled())
            return;
        if (m_looping && !player->inLoopSegment()) {
            // Loaded while repeating was on: the first pass must repeat too.
            player->enqueue(stayOn(player, true));
            return;
        }
    }
    const GstClockTime now = gst_clock_get_time(static_cast<GstClock *>(m_clock));
    const QList<MediaPlayer *> starting = std::exchange(m_toStart, {});
    for (MediaPlayer *player : starting)
        player->startAt(now + kStartMargin);
}

} // namespace tovradocs::Internal
