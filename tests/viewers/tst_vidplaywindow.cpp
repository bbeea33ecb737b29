#include "viewers/vidplaywindow.h"

#include "controls/mediacontrol.h"
#include "controls/vidplay.h"
#include "support/mediafixtures.h"
#include "viewerfixture.h"

#include <tovradocs/dokumentz.h>

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
        QCOMPARE(window->controlBar()->geometry().bottom(), window->height() - 1);
        QCOMPARE(window->controlBar()->width(), window->width());
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
        QSignalSpy ended(window->videoBox(0), &VidPlay::ended);
        QVERIFY(ended.wait(10000));
        QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("stopped"));
        if (repeat) {
            QSignalSpy status(window->videoBox(0), &VidPlay::statusChanged);
            QVERIFY(status.wait(10000)); // a tick of the half-second timer restarts it
            QCOMPARE(window->videoBox(0)->statusText(), QStringLiteral("playing"));
        } else {
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

        // While playing the arrows leave the videos alone.
        window->buttonClicked(MediaControl::PlayButton);
        const qint64 before = window->videoBox(1)->position();
        QTest::keyClick(window, Qt::Key_Left);
        QTRY_VERIFY_WITH_TIMEOUT(window->videoBox(1)->position() > before, 5000);
    }

    void badFilesGiveAMessage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("missing") << QStringLiteral("gone.avi");
        QTest::newRow("truncated") << QStringLiteral("truncated.avi");
        QTest::newRow("not a video at all") << QStringLiteral("text.avi");
        QTest::newRow("sound without pictures") << QStringLiteral("sound.wav");
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

        QPointer<VidPlayWindow> window = compare({path, m_short}, false);
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->callsOf(QStringLiteral("PassMessage")).isEmpty(), 15000);
        QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).first().contains(path));
        // The good video of the pair plays on, and the window still answers.
        QTRY_VERIFY_WITH_TIMEOUT(window->videoBox(1)->statusText() == QLatin1String("playing")
                                     || window->videoBox(1)->statusText() == QLatin1String("stopped"),
                                 10000);
        window->buttonClicked(MediaControl::StopButton);
        QVERIFY(window);
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
};

QTEST_MAIN(TestVidPlayWindow)
#include "tst_vidplaywindow.moc"
