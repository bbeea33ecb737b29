#include "viewers/vidplaywindow.h"

#include "controls/slidefx.h"
#include "viewers/showman.h"

#include "controls/mediacontrol.h"
#include "controls/vidplay.h"
#include "media/mediaengine.h"
#include "media/mediaplayer.h"
#include "support/mediafixtures.h"
#include "support/numberedclips.h"
#include "viewerfixture.h"

#include <tovradocs/dokumentz.h>

#include <QComboBox>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

Q_DECLARE_METATYPE(QList<QSize>)

class TestVidPlayWindow : public QObject, public ViewerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(openPractice());
        if (!canMakeClips())
            QSKIP("gst-launch-1.0 is needed to make the test clips");
        m_wide = makeClip(m_dir.filePath(QStringLiteral("wide.avi")), {320, 240}, 50);
        m_small = makeClip(m_dir.filePath(QStringLiteral("small.avi")), {240, 180}, 25,
                           QStringLiteral("ball"));
        m_short = makeClip(m_dir.filePath(QStringLiteral("short.avi")), {160, 120}, 10);
        QVERIFY(!m_wide.isEmpty() && !m_small.isEmpty() && !m_short.isEmpty());
        QString error;
        m_numbered = makeNumberedClip(m_dir.filePath(QStringLiteral("numbered.avi")), ClipFormat::Avi,
                                      {320, 240}, 50, 25, &error);
        QVERIFY2(!m_numbered.isEmpty(), qPrintable(error));
        m_numberedMp4 = makeNumberedClip(m_dir.filePath(QStringLiteral("numbered.mp4")),
                                         ClipFormat::Mp4, {320, 240}, 50, 25, &error);
        QVERIFY2(!m_numberedMp4.isEmpty(), qPrintable(error));
    }

    void init() { startTest(); }
    void cleanup() { endTest(); }

    void arrangement_data()
    {
        QTest::addColumn<QList<QSize>>("natural");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QList<QRect>>("expected");

        QTest::newRow("two side by side, three equal gaps, centred")
            << QList<QSize>{{320, 240}, {240, 180}} << QSize(1000, 600)
            << QList<QRect>{{146, 180, 320, 240}, {612, 210, 240, 180}};
        QTest::newRow("two too wide stack, both visible")
            << QList<QSize>{{640, 480}, {640, 480}} << QSize(1000, 600)
            << QList<QRect>{{7, 7, 987, 290}, {7, 303, 987, 290}};
        QTest::newRow("two taller than the area shrink alike")
            << QList<QSize>{{200, 800}, {200, 400}} << QSize(1000, 400)
            << QList<QRect>{{266, 0, 100, 400}, {632, 100, 100, 200}};
        QTest::newRow("three in a two by two grid, row by row")
            << QList<QSize>{{320, 240}, {320, 240}, {320, 240}} << QSize(1000, 600)
            << QList<QRect>{{7, 7, 490, 290}, {503, 7, 490, 290}, {7, 303, 490, 290}};
    }

    void arrangement()
    {
        QFETCH(QList<QSize>, natural);
        QFETCH(QSize, area);
        QFETCH(QList<QRect>, expected);
        QCOMPARE(arrangeVideos(natural, area), expected);
    }

    void singleVideoWindowTakesTheVideosSize()
    {
        QPointer<VidPlayWindow> window = new VidPlayWindow;
        window->ViewVideo(m_wide, QStringLiteral("Upper arch"), nullptr);
        window->videoBox(0)->setMuted(true);
        QVERIFY(window->isVisible());
        QVERIFY(window->isSingleVideo());
        QCOMPARE(window->windowTitle(), QStringLiteral("Upper arch"));
        QTRY_COMPARE_WITH_TIMEOUT(window->videoArea().size(), QSize(320, 240), 10000);
        QCOMPARE(window->width(), 320);
        QCOMPARE(window->videoBox(0)->geometry(), window->videoArea());
        QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("playing"));
        // The bar lies along the bottom at full width, its buttons showing.
        QVERIFY(window->controlBar()->isVisible());
        QVERIFY(window->controlBar()->button(MediaControl::PlayButton)->isVisible());
        auto *strip = window->findChild<QWidget *>(QStringLiteral("ControlStrip"));
        QVERIFY(strip);
        QCOMPARE(strip->geometry().bottom(), window->height() - 1);
        QCOMPARE(strip->width(), window->width());
        for (const char *name : {"cmdStepBack", "cmdStepForward", "chkRepeat", "cboSpeed", "sldPosition"})
            QVERIFY2(window->findChild<QWidget *>(QLatin1String(name))->isVisible(), name);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window.isNull());
    }

    void mp4PlaysWhenAnEncoderIsPresent()
    {
        const QString mp4 = makeMp4Clip(m_dir.filePath(QStringLiteral("clip.mp4")), {288, 224}, 25);
        if (mp4.isEmpty())
            QSKIP("GStreamer has no MPEG-4 encoder here");
        auto *window = new VidPlayWindow;
        window->ViewVideo(mp4, QString(), nullptr);
        // Watched from the start: on a loaded machine the clip can end before
        // the window has taken its size.
        QSignalSpy ended(window->videoBox(0), &VidPlay::ended);
        window->videoBox(0)->setMuted(true);
        QTRY_COMPARE_WITH_TIMEOUT(window->videoArea().size(), QSize(288, 224), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 20000);
        QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).isEmpty());
    }

    void comparedVideosStandAsArranged()
    {
        for (const QStringList &files : {QStringList{m_wide, m_small}, QStringList{m_wide, m_small, m_short}}) {
            VidPlayWindow *window = compare(files, false);
            QVERIFY(window->isMaximized());
            QCOMPARE(window->videoCount(), int(files.size()));
            QTRY_VERIFY_WITH_TIMEOUT(allStatus(window, QStringLiteral("playing")), 10000);
            for (int i = 0; i < files.size(); ++i)
                QTRY_VERIFY_WITH_TIMEOUT(window->videoBox(i)->videoWidth() > 0, 10000);
            QList<QSize> natural;
            for (int i = 0; i < files.size(); ++i)
                natural << window->videoBox(i)->videoSize();
            const QList<QRect> expected = arrangeVideos(natural, window->videoArea().size());
            for (int i = 0; i < files.size(); ++i) {
                QVERIFY(window->videoBox(i)->isVisible());
                // The layout follows the last size to arrive a moment later.
                QTRY_COMPARE_WITH_TIMEOUT(window->videoBox(i)->geometry(), expected.at(i), 5000);
            }
            QCOMPARE(window->controlBar()->state(), 2);
            window->close();
        }
    }

    void controlButtonsDriveEveryVideo()
    {
        VidPlayWindow *window = compare({m_wide, m_small}, true);
        QTRY_VERIFY_WITH_TIMEOUT(allStatus(window, QStringLiteral("playing")), 10000);
        QVERIFY(window->repeatTimer()->isActive());
        // Button 1 twice pauses and resumes them all.
        QToolButton *play = window->controlBar()->button(MediaControl::PlayButton);
        QVERIFY(play);
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(allStatus(window, QStringLiteral("paused")));
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(allStatus(window, QStringLiteral("playing")));
        QCOMPARE(window->controlBar()->state(), 2);
        // Button 0 stops them all and ends repeating.
        QTest::mouseClick(window->controlBar()->button(MediaControl::StopButton), Qt::LeftButton);
        QVERIFY(!window->repeatTimer()->isActive());
        QVERIFY(allStatus(window, QStringLiteral("stopped")));
        QCOMPARE(window->controlBar()->state(), 0);
        // Button 2 restarts every video from the beginning, still without repeating.
        window->buttonClicked(MediaControl::RewindButton);
        QVERIFY(allStatus(window, QStringLiteral("playing")));
        QVERIFY(!window->repeatTimer()->isActive());
    }

    void repeatRestartsEndedVideos_data()
    {
        QTest::addColumn<bool>("repeat");
        QTest::newRow("repeat on") << true;
        QTest::newRow("repeat off") << false;
    }

    void repeatRestartsEndedVideos()
    {
        QFETCH(bool, repeat);
        VidPlayWindow *window = compare({m_short, m_small}, repeat);
        QCOMPARE(window->repeatTimer()->interval(), 500);
        if (repeat) {
            // Repeating clips loop on their own and never read "stopped".
            QSignalSpy looped(window->videoBox(0), &VidPlay::looped);
            QVERIFY(looped.wait(10000));
            QVERIFY(window->repeatTimer()->isActive());
            QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("playing"));
        } else {
            QSignalSpy ended(window->videoBox(0), &VidPlay::ended);
            QVERIFY(ended.wait(10000));
            QVERIFY(!window->repeatTimer()->isActive());
            QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("stopped"));
        }
    }

    void pausedVideosStepAndScrubTogether()
    {
        VidPlayWindow *window = compare({m_wide, m_wide}, false);
        QTRY_VERIFY_WITH_TIMEOUT(window->videoBox(0)->position() > 200
                                     && window->videoBox(1)->position() > 200, 10000);
        window->buttonClicked(MediaControl::PlayButton);
        QVERIFY(allStatus(window, QStringLiteral("paused")));

        auto *slider = window->findChild<QSlider *>(QStringLiteral("sldPosition"));
        QVERIFY(slider);
        QCOMPARE(slider->maximum(), 2000);
        Q_EMIT slider->sliderMoved(1000);
        QTRY_COMPARE_WITH_TIMEOUT(window->videoBox(0)->position(), qint64(1000), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window->videoBox(1)->position(), qint64(1000), 5000);

        QTest::keyClick(window, Qt::Key_Right);
        QTRY_COMPARE_WITH_TIMEOUT(window->videoBox(0)->position(), qint64(1040), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window->videoBox(1)->position(), qint64(1040), 5000);
        QTest::keyClick(window, Qt::Key_Left);
        QTest::keyClick(window, Qt::Key_Left);
        QTRY_COMPARE_WITH_TIMEOUT(window->videoBox(0)->position(), qint64(960), 5000);
        QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("paused"));

        // While playing an arrow pauses them all on the next picture.
        window->buttonClicked(MediaControl::PlayButton);
        QVERIFY(allStatus(window, QStringLiteral("playing")));
        QTest::keyClick(window, Qt::Key_Right);
        QVERIFY(allStatus(window, QStringLiteral("paused")));
        QCOMPARE(window->controlBar()->state(), 1);
    }

    void framesStepOnAndBack_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::newRow("MJPEG AVI") << m_numbered;
        QTest::newRow("H.264 MP4 with B-frames") << m_numberedMp4;
    }

    void framesStepOnAndBack()
    {
        QFETCH(QString, clip);
        VidPlayWindow *window = compare({clip, clip}, false);
        QTRY_VERIFY_WITH_TIMEOUT(shownFrame(window, 0) >= 3, 10000);
        window->buttonClicked(MediaControl::StopButton);
        QTRY_VERIFY_WITH_TIMEOUT(shownFrame(window, 0) == 0 && shownFrame(window, 1) == 0, 10000);
        constexpr int steps = 7;
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(window, Qt::Key_Right);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), steps, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 1), steps, 10000);
        QCOMPARE(window->videoBox(0)->position(), qint64(steps * 40));
        // The bar's buttons step as the keys do.
        auto *back = window->findChild<QToolButton *>(QStringLiteral("cmdStepBack"));
        for (int i = 0; i < steps; ++i)
            i % 2 ? QTest::mouseClick(back, Qt::LeftButton) : QTest::keyClick(window, Qt::Key_Left);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), 0, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 1), 0, 10000);
        QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("paused"));
    }

    void leftAndRightStepFramesWhereverTheFocusIs()
    {
        auto *window = new VidPlayWindow;
        window->ViewVideo(m_numbered, QString(), nullptr);
        window->videoBox(0)->setMuted(true);
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->buttonClicked(MediaControl::StopButton);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), 0, 10000);
        // The window keeps the focus, so Space plays and pauses rather than
        // pressing the strip's first button (Stop).
        QCOMPARE(QApplication::focusWidget(), window);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("playing"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("paused"));
        window->buttonClicked(MediaControl::StopButton);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), 0, 10000);
        auto *speed = window->findChild<QComboBox *>(QStringLiteral("cboSpeed"));
        auto *slider = window->findChild<QSlider *>(QStringLiteral("sldPosition"));
        // Buttons would move the focus on with the arrows, the slider its handle.
        const QList<QWidget *> places = {window,
                                         window->findChild<QWidget *>(QStringLiteral("cmdStepForward")),
                                         window->controlBar()->button(MediaControl::PlayButton),
                                         window->findChild<QWidget *>(QStringLiteral("chkRepeat")),
                                         speed, slider};
        int expected = 0;
        for (QWidget *place : places) {
            place->setFocus(Qt::TabFocusReason);
            QCOMPARE(QApplication::focusWidget(), place);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
            ++expected;
            QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), expected, 10000);
            QVERIFY2(QApplication::focusWidget() == place, qPrintable(place->objectName()));
        }
        QCOMPARE(speed->currentText(), QStringLiteral("1x"));
        QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("paused"));
        // The slider's own keys move by seconds, the speed box's choose the speed.
        QTest::keyClick(slider, Qt::Key_Up);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), expected + 25, 10000);
        QTest::keyClick(slider, Qt::Key_Home);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), 0, 10000);
        speed->setFocus(Qt::TabFocusReason);
        QTest::keyClick(speed, Qt::Key_Down);
        QCOMPARE(speed->currentText(), QStringLiteral("1.25x"));
        QCOMPARE(window->playbackGroup()->rate(), 1.25);
    }

    void slideShowHoldsAVideoUntilItsEnd()
    {
        // Three seconds of video, longer than a slide's two.
        const QString clip = makeNumberedClip(m_dir.filePath(QStringLiteral("slide.mp4")),
                                              ClipFormat::Mp4, {160, 120}, 75, 25);
        QVERIFY(!clip.isEmpty());
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        const QString still = m_dir.filePath(QStringLiteral("after.png"));
        QVERIFY(picture.save(still));
        auto docs = std::make_shared<Dokumentz>();
        docs->Add(1, clip, QString(), 2, 2, 0, 0);
        docs->Add(2, still, QString(), 1, 1, 0, 0);
        QPointer<ShowMan> show = new ShowMan;
        QSignalSpy ticks(show->slideTimer(), &QTimer::timeout);
        show->ViewSlideShow(docs);
        VidPlay *video = show->slideControl()->videoView();
        QVERIFY(video);
        video->setMuted(true);
        QSignalSpy ended(video, &VidPlay::ended);
        QVERIFY(ticks.wait(10000));
        // The slide's time is up but the clip plays on, and so does the show.
        QVERIFY(ended.isEmpty());
        QCOMPARE(show->currentItem(), 1);
        QCOMPARE(video->statusText(), QStringLiteral("playing"));
        QVERIFY(ended.wait(10000));
        QCOMPARE(show->currentItem(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(show->slideControl()->currentFile(), still, 10000);
        QVERIFY(frameNumber(video->currentFrame()) >= 70); // it was seen to the end
        // The last slide's time closes the show.
        QTRY_VERIFY_WITH_TIMEOUT(show.isNull(), 10000);
    }

    void comparedVideosShowOneFrame()
    {
        VidPlayWindow *window = compare({m_numbered, m_numbered}, false);
        QTRY_VERIFY_WITH_TIMEOUT(shownFrame(window, 0) >= 10, 10000);
        window->buttonClicked(MediaControl::PlayButton); // pause
        QTRY_VERIFY_WITH_TIMEOUT(window->playbackGroup()->players().first()->isSettled(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 1), shownFrame(window, 0), 10000);
        QVERIFY(shownFrame(window, 0) >= 10);

        auto *slider = window->findChild<QSlider *>(QStringLiteral("sldPosition"));
        Q_EMIT slider->sliderMoved(1000);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), 25, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 1), 25, 10000);
        QTest::keyClick(window, Qt::Key_Right);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 0), 26, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 1), 26, 10000);

        // Played on from one instant, they stay on one picture.
        window->buttonClicked(MediaControl::PlayButton);
        QTRY_VERIFY_WITH_TIMEOUT(shownFrame(window, 0) >= 40, 10000);
        window->buttonClicked(MediaControl::PlayButton);
        QTRY_COMPARE_WITH_TIMEOUT(shownFrame(window, 1), shownFrame(window, 0), 10000);
    }

    void repeatLoopsWithoutAGap()
    {
        const QString clip = makeNumberedClip(m_dir.filePath(QStringLiteral("loop.avi")),
                                              ClipFormat::Avi, {160, 120}, 10, 25);
        QVERIFY(!clip.isEmpty());
        VidPlayWindow *window = compare({clip}, true);
        MediaPlayer *player = window->videoBox(0)->player();
        // Every picture's place on the running time: pass p, frame k at (10 p + k) frame intervals.
        int checked = 0;
        int loops = 0;
        connect(player, &MediaPlayer::looped, this, [&] { ++loops; });
        connect(player, &MediaPlayer::frameChanged, this, [&] {
            const int k = frameNumber(player->frame());
            const qint64 slot = player->runningTimeNs() / 40000000;
            if (k < 0 || player->runningTimeNs() % 40000000 > 1000000)
                return;
            QCOMPARE(int(slot % 10), k);
            ++checked;
        });
        // Three passes shown. The demuxer signals each pass's end as it reads
        // it, ahead of the pictures on screen, so count what was shown.
        QTRY_VERIFY_WITH_TIMEOUT(player->runningTimeNs() >= 3 * 10 * 40000000LL, 15000);
        QVERIFY(loops >= 2);
        QVERIFY(checked > 10);
    }

    void badFilesGiveAMessage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("missing") << QStringLiteral("gone.avi");
        QTest::newRow("truncated") << QStringLiteral("truncated.avi");
        QTest::newRow("not a video at all") << QStringLiteral("text.avi");
        QTest::newRow("sound without pictures") << QStringLiteral("sound.wav");
        QTest::newRow("truncated mp4") << QStringLiteral("truncated.mp4");
        QTest::newRow("empty") << QStringLiteral("empty.avi");
        QTest::newRow("codec without decoder") << QStringLiteral("unknown.avi");
    }

    void badFilesGiveAMessage()
    {
        QFETCH(QString, file);
        const QString path = m_dir.filePath(file);
        if (file == QLatin1String("truncated.avi"))
            QVERIFY(!truncatedCopy(m_wide, path, 300).isEmpty());
        else if (file == QLatin1String("text.avi"))
            QVERIFY(writeFile(path, "This is no video.\n"));
        else if (file == QLatin1String("sound.wav"))
            QVERIFY(!makeSoundOnlyFile(path).isEmpty());
        else if (file == QLatin1String("truncated.mp4"))
            QVERIFY(!truncatedCopy(m_numberedMp4, path, QFileInfo(m_numberedMp4).size() / 2).isEmpty());
        else if (file == QLatin1String("empty.avi"))
            QVERIFY(writeFile(path, {}));
        else if (file == QLatin1String("unknown.avi"))
            QVERIFY(!withUnknownCodec(m_numbered, path).isEmpty());

        const int pipelinesBefore = MediaEngine::livePipelines();
        QPointer<VidPlayWindow> window = compare({path, m_short}, false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->callsOf(QStringLiteral("PassMessage")).isEmpty(), 15000);
        QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).first().contains(path));
        // The good video of the pair plays on, and the window still answers.
        QTRY_VERIFY_WITH_TIMEOUT(window->videoBox(1)->statusText() == QLatin1String("playing")
                                     || window->videoBox(1)->statusText() == QLatin1String("stopped"),
                                 10000);
        window->buttonClicked(MediaControl::StopButton);
        QVERIFY(window);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Nothing of the bad clip's pipeline stays behind.
        QTRY_VERIFY_WITH_TIMEOUT(MediaEngine::livePipelines() <= pipelinesBefore, 10000);
    }

private:
    VidPlayWindow *compare(const QStringList &files, bool repeat)
    {
        Dokumentz docs;
        int id = 1;
        for (const QString &file : files)
            docs.Add(id++, file, QString(), 1, 1, 0, 0);
        auto *window = new VidPlayWindow;
        window->CompareVideos(docs, repeat);
        for (int i = 0; i < files.size(); ++i)
            window->videoBox(i)->setMuted(true);
        return window;
    }

    static int shownFrame(VidPlayWindow *w, int box)
    {
        return frameNumber(w->videoBox(box)->currentFrame());
    }

    static bool allStatus(VidPlayWindow *w, const QString &status)
    {
        for (int i = 0; i < w->videoCount(); ++i)
            if (w->videoBox(i)->statusText() != status)
                return false;
        return true;
    }

    QString m_wide;   // 320 x 240, 2 s
    QString m_small;  // 240 x 180, 1 s
    QString m_short;  // 160 x 120, 0.4 s
    QString m_numbered;    // frames show their numbers, 2 s
    QString m_numberedMp4; // the same in H.264 with B-frames
};

QTEST_MAIN(TestVidPlayWindow)
#include "tst_vidplaywindow.moc"
