#pragma once

#include "component/windowutils.h"
#include "viewers/menutarget.h"

#include <QDialog>
#include <QList>
#include <QRect>
#include <QSize>

class QComboBox;
class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace tovradocs {
class Dokumentz;
}

namespace tovradocs::Internal {

class MediaControl;
class PlaybackGroup;
class VidPlay;

// Where compared videos stand in a video area of areaSize pixels, given their
// natural sizes: two that fit side by side share the width with three equal
// gaps and are centred vertically; two that do not are stacked; any other
// count goes into the viewer's near-square grid.
QList<QRect> arrangeVideos(const QList<QSize> &natural, QSize areaSize);

// The video player (objectName "VidPlay"): one video in a window sized to it,
// or several side by side, all on one clock, under one strip: the control bar
// "mcPlayer", frame steps "cmdStepBack" / "cmdStepForward" (also Left and
// Right, wherever the focus is), the repeat switch "chkRepeat", the speed "cboSpeed", the shared
// position slider "sldPosition" and the time "lblTime". "tmrRepeat" restarts
// ended videos while repeating. The views are "VideoBox_0", "VideoBox_1", ...
// Modeless; deletes itself when closed. UI thread only.
class VidPlayWindow : public QDialog, public MenuTarget, public HelpIdentified
{
    Q_OBJECT

public:
    explicit VidPlayWindow(QWidget *owner = nullptr);
    ~VidPlayWindow() override;

    void ViewVideo(const QString &fileName, const QString &caption, QWidget *owner);
    void CompareVideos(const Dokumentz &docs, bool repeat);

    qint32 GetWindowID() const override { return 202; }
    QWidget *menuWindow() override { return this; }

    VidPlay *videoBox(int index) const;
    int videoCount() const { return m_count; }
    MediaControl *controlBar() const { return m_bar; }
    PlaybackGroup *playbackGroup() const { return m_group; }
    QTimer *repeatTimer() const { return m_repeatTimer; }
    bool isSingleVideo() const { return m_single; }
    // The rectangle left for the videos above the control strip.
    QRect videoArea() const;
    // Acts as a press of the control bar's button.
    void buttonClicked(int button);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    VidPlay *boxAt(int index);
    void arrange();
    void layoutControls();
    void repeatTick();
    void boxLoaded(int index, bool ok);
    void positionMoved(int value);
    void boxPositionChanged();
    void refreshStrip();
    void stepAll(int frames);
    void sizeToVideo();
    void setRepeating(bool on);
    void repeatToggled(bool on);
    void speedChosen(int index);
    void sliderPressed();
    void sliderReleased();
    int stripHeight() const;
    QList<VidPlay *> playing() const;

    QList<VidPlay *> m_boxes;
    QStringList m_descriptions;
    PlaybackGroup *m_group;
    QWidget *m_strip;
    MediaControl *m_bar;
    QToolButton *m_stepBack;
    QToolButton *m_stepForward;
    QToolButton *m_repeatButton;
    QComboBox *m_speed;
    QLabel *m_time;
    QSlider *m_position;
    QTimer *m_repeatTimer;
    QTimer *m_stripRefresh;
    bool m_resumeAfterScrub = false;
    int m_count = 0;
    bool m_single = false;
    bool m_arrangeOnActivate = false;
    bool m_repeat = false;
    bool m_shown = false;
};

} // namespace tovradocs::Internal
