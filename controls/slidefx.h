#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QPointer>

#include "controls/vidplay.h"
#include <QWidget>

class QVariantAnimation;

namespace tovradocs::Internal {


// Shows one slide at a time: a picture (or a video) brought in with a
// transition chosen by number. Pictures are decoded and laid out at the
// control's size on a worker thread, so a slide change on the UI thread only
// starts the animation; call preload() with the next slide's file ahead of
// time. Pictures keep their proportions and are never enlarged. UI thread only.
class SlideFX : public QWidget
{
    Q_OBJECT

public:
    // The effects of the host's transition list, in its order (1 = None).
    enum Effect { Cut, Fade, Dissolve, WipeLeft, WipeRight, WipeUp, WipeDown, PushLeft,
                  PushRight, ZoomIn, BoxOut, Blinds, EffectCount };
    static Effect effectFor(int transition); // unknown numbers cut

    explicit SlideFX(QWidget *parent = nullptr);
    ~SlideFX() override;

    // Shows file with the transition. A picture appears once decoded (at once
    // when preloaded); a file that cannot be shown reports slideFailed and
    // the current slide stays.
    void ShowSlide(const QString &fileName, int transition);
    // Moves the control to the rectangle, in the parent's pixels.
    void Move(int left, int top, int width, int height);
    // Starts decoding file for the current size; ShowSlide of it then needs no decode.
    void preload(const QString &fileName);

    static bool isVideoFile(const QString &fileName);
    // A picture as the control lays it out: centred on background, shrunk to
    // fit, never enlarged, EXIF orientation applied. Safe on any thread.
    static QImage composeSlide(const QString &fileName, QSize size, const QColor &background,
                               QString *error = nullptr);
    // One frame of a transition from one laid-out slide to another (same size).
    static QImage transitionFrame(const QImage &from, const QImage &to, Effect effect,
                                  double progress);

    // True once file's decode for the current size is done and waiting.
    bool isPreloaded(const QString &fileName) const
    {
        return m_ready.file == fileName && m_ready.size == size();
    }
    QString currentFile() const { return m_currentFile; }
    bool isTransitioning() const;
    Effect currentEffect() const { return m_effect; }
    // The frame on screen now, as painted.
    QImage frame() const;
    VidPlay *videoView() const { return m_video; }
    void setTransitionDuration(int milliseconds) { m_duration = milliseconds; }

Q_SIGNALS:
    void slideShown(const QString &fileName);
    void slideFailed(const QString &fileName, const QString &message);
    void transitionFinished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Decoded
    {
        QString file;
        QSize size;
        QImage image;
        QString error;
    };
    void startDecode(const QString &fileName);
    void decodeFinished();
    void begin(const QImage &slide, const QString &fileName);
    void showVideo(const QString &fileName);
    void stopVideo();
    static void paintTransition(QPainter &p, const QImage &from, const QImage &to, Effect effect,
                                double progress);

    QImage m_from;
    QImage m_current;
    QString m_currentFile;
    QString m_wantedFile; // asked for while its decode runs
    Effect m_effect = Cut;
    Effect m_wantedEffect = Cut;
    double m_progress = 1.0;
    int m_duration = 800;
    QVariantAnimation *m_animation;
    QFutureWatcher<Decoded> m_decode;
    bool m_decoding = false; // from the start of a decode until its result is taken
    QString m_decodingFile;
    QSize m_decodingSize;
    Decoded m_ready;
    QPointer<VidPlay> m_video;
};

} // namespace tovradocs::Internal
