#pragma once

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class QTimer;

namespace tovradocs {
class Dokumentz;
}

namespace tovradocs::Internal {

class SlideFX;
class VidPlay;

// The slide show (objectName "ShowMan"): every picture and video of a
// collection in the transition control "SlideMan", one after another, closing
// itself after the last. Each slide stays its own on-screen time (2 seconds
// unless set), counted by "tmrSlide" from the moment the slide appears, so a
// slow disk shortens no slide; a video stays at least until its clip has
// ended. The next picture is decoded while the current one shows. A slide
// whose file is gone or unreadable is skipped; Escape ends the show.
// Modeless, centred on its owner's screen; deletes itself when closed.
class ShowMan : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kDefaultSeconds = 2;
    static constexpr int kLongestSeconds = 180;

    explicit ShowMan(QWidget *owner = nullptr);
    ~ShowMan() override;

    // Seconds on screen by Dokument id; ids not listed, and times outside 1 to
    // 180 seconds, keep the default. Call before ViewSlideShow.
    void setSlideSeconds(const QHash<qint32, int> &secondsById);
    // size is not used. An empty collection closes the window unseen.
    void ViewSlideShow(std::shared_ptr<Dokumentz> collection, qint16 size = 0);

    int currentItem() const { return m_current; }
    // How long item index (1-based) stays on screen, in milliseconds.
    int holdTime(int index) const;
    SlideFX *slideControl() const { return m_slides; }
    QTimer *slideTimer() const { return m_timer; }
    // What a tick of the timer does.
    void tick();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showItem(int index);
    void preloadAfter(int index);
    void shown(const QString &fileName);
    void skip(const QString &fileName);
    bool isCurrent(const QString &fileName) const;
    void placeOnOwnersScreen();
    void videoEnded();

    std::shared_ptr<Dokumentz> m_collection;
    QHash<qint32, int> m_seconds;
    SlideFX *m_slides;
    QTimer *m_timer;
    int m_current = 0;
    bool m_waiting = false; // the current slide is asked for and not yet on screen
    QPointer<VidPlay> m_watchedVideo;
    bool m_videoRunning = false; // the slide on screen is a clip that has not ended
    bool m_tickDue = false;      // the timer fired while it ran
};

} // namespace tovradocs::Internal
