#pragma once

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
// collection in the transition control "SlideMan", one per tick of "tmrSlide"
// (2 seconds), closing itself after the last. A video stays until its clip
// has ended. The next picture is decoded while the current one shows. A slide
// whose file is gone or unreadable is skipped; Escape ends the show. Modeless; deletes itself when closed.
class ShowMan : public QWidget
{
    Q_OBJECT

public:
    explicit ShowMan(QWidget *owner = nullptr);
    ~ShowMan() override;

    // size is not used. An empty collection closes the window unseen.
    void ViewSlideShow(std::shared_ptr<Dokumentz> collection, qint16 size = 0);

    int currentItem() const { return m_current; }
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
    void skip(const QString &fileName);
    void videoEnded();

    std::shared_ptr<Dokumentz> m_collection;
    SlideFX *m_slides;
    QTimer *m_timer;
    int m_current = 0;
    QPointer<VidPlay> m_watchedVideo;
    bool m_videoRunning = false; // the slide on screen is a clip that has not ended
    bool m_tickDue = false;      // the timer fired while it ran
};

} // namespace tovradocs::Internal
