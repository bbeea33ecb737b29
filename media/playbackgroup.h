#pragma once

#include <QList>
#include <QObject>

#include <functional>

namespace tovradocs::Internal {

class MediaPlayer;

// The players of one window. They run on one clock and start from one
// instant, so compared videos start, pause, scrub and step together and stay
// frame-locked while they play. Every call acts on the players given, or on
// all of them when the list is empty. UI thread only; nothing here waits.
class PlaybackGroup : public QObject
{
    Q_OBJECT

public:
    explicit PlaybackGroup(QObject *parent = nullptr);
    ~PlaybackGroup() override;

    QList<MediaPlayer *> players() const { return m_players; }

    // Starts the players from where they are (from the beginning once ended),
    // all at the same instant once each has its picture ready.
    void play(QList<MediaPlayer *> which = {});
    // Pauses them on one picture: a player that went on a frame further than
    // the others is brought back to theirs.
    void pause(QList<MediaPlayer *> which = {});
    // Pauses them on their first picture.
    void stop(QList<MediaPlayer *> which = {});
    void seek(qint64 ms, QList<MediaPlayer *> which = {});
    // Pauses them and moves them frames pictures on (back when negative).
    void step(int frames, QList<MediaPlayer *> which = {});

    static constexpr double kSlowest = 0.25;
    static constexpr double kFastest = 2.0;
    void setRate(double rate);
    double rate() const { return m_rate; }
    // Repeating clips start again from the beginning without a gap.
    void setLooping(bool looping);
    bool isLooping() const { return m_looping; }

    // The furthest picture shown, and the longest clip, in milliseconds.
    qint64 position() const;
    qint64 duration() const;

    // The clock the players' pipelines share (a GstClock).
    void *clock() const { return m_clock; }

private:
    friend class MediaPlayer;
    void join(MediaPlayer *player);
    void leave(MediaPlayer *player);
    void memberSettled();
    void tryStart();
    // Runs action once every one of players has finished what it was doing.
    void whenSettled(const QList<MediaPlayer *> &players, std::function<void()> action);
    QList<MediaPlayer *> members(const QList<MediaPlayer *> &which) const;
    void holdStill(MediaPlayer *player);
    void align(const QList<MediaPlayer *> &players);
    void moveTo(const QList<MediaPlayer *> &players, qint64 positionNs);

    struct Pending
    {
        QList<MediaPlayer *> players;
        std::function<void()> action;
    };

    void *m_clock;
    QList<MediaPlayer *> m_players;
    QList<MediaPlayer *> m_toStart; // wait for all of them to settle, then start together
    QList<Pending> m_pending;
    bool m_running = false;
    double m_rate = 1.0;
    bool m_looping = false;
};

} // namespace tovradocs::Internal
