#include "controls/vidplay.h"
#include "support/mediafixtures.h"
#include "support/numberedclips.h"
#include "support/testhost.h"

#include <QImageReader>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

class TestVidPlay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (!canMakeClips())
            QSKIP("gst-launch-1.0 is needed to make the test clip");
        // Two seconds at 25 frames per second, as the capture window writes them.
        m_clip = makeClip(m_dir.filePath(QStringLiteral("clip.avi")), {320, 240}, 50);
        QVERIFY(!m_clip.isEmpty());
    }

    void playsPausesAndRewinds()
    {
        VidPlay view;
        view.setMuted(true);
        QSignalSpy loaded(&view, &VidPlay::loaded);
        QSignalSpy ended(&view, &VidPlay::ended);
        QVERIFY(view.open(m_clip));
        view.play();
        QVERIFY(ended.wait(10000));
        QCOMPARE(view.statusText(), QStringLiteral("stopped"));
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded.first().first().toBool(), true);
        QCOMPARE(view.videoWidth(), 320);
        QCOMPARE(view.videoHeight(), 240);
        // The last picture stays on screen after the end.
        QVERIFY(!view.currentFrame().isNull());

        // Playing again after the end starts over; the toggle pauses and resumes.
        view.ToggleMovement();
        QCOMPARE(view.statusText(), QStringLiteral("playing"));
        // The backend reports the position only while it plays.
        QTRY_VERIFY_WITH_TIMEOUT(view.position() > 0, 10000);
        view.ToggleMovement();
        QCOMPARE(view.statusText(), QStringLiteral("paused"));
        view.Rewind();
        QTRY_COMPARE_WITH_TIMEOUT(view.position(), qint64(0), 10000);
        QCOMPARE(view.statusText(), QStringLiteral("paused"));
        view.ToggleMovement();
        QCOMPARE(view.statusText(), QStringLiteral("playing"));
        QVERIFY(ended.wait(10000));
    }

    void previewsAnH264Mp4AsThePickerDoes()
    {
        // The video picker's preview: muted, played once it has loaded.
        QString error;
        const QString mp4 = makeNumberedClip(m_dir.filePath(QStringLiteral("preview.mp4")),
                                             ClipFormat::Mp4, {320, 240}, 25, 25, &error);
        QVERIFY2(!mp4.isEmpty(), qPrintable(error));
        VidPlay view;
        view.resize(160, 120);
        view.setMuted(true);
        QSet<int> seen;
        connect(&view, &VidPlay::loaded, &view, [&](bool ok) {
            if (ok)
                view.play();
        });
        connect(&view, &VidPlay::frameShown, &view,
                [&] { seen.insert(frameNumber(view.currentFrame())); });
        QSignalSpy ended(&view, &VidPlay::ended);
        QVERIFY(view.open(mp4));
        QVERIFY(ended.wait(10000));
        QCOMPARE(view.videoSize(), QSize(320, 240));
        // Scaled in the pipeline to the view, and in order to the last picture.
        QCOMPARE(view.currentFrame().size(), QSize(160, 120));
        QCOMPARE(frameNumber(view.currentFrame()), 24);
        QVERIFY2(seen.size() >= 20, qPrintable(QString::number(seen.size())));
        QVERIFY(!seen.contains(-1));
    }

    void savesCurrentFrame_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("png") << QStringLiteral("frame.png") << QByteArray("png");
        QTest::newRow("bmp") << QStringLiteral("frame.bmp") << QByteArray("bmp");
        QTest::newRow("no extension is a bitmap") << QStringLiteral("frame") << QByteArray("bmp");
    }

    void savesCurrentFrame()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);

        VidPlay view;
        view.setMuted(true);
        view.setSaveFileName(m_dir.filePath(name));
        QVERIFY(!view.SavePicture(true)); // nothing decoded yet

        QSignalSpy frames(&view, &VidPlay::frameShown);
        QVERIFY(view.open(m_clip));
        view.play();
        QVERIFY(frames.wait(10000));
        view.pause();

        const Outcome saved = view.SavePicture(true);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QImageReader reader(m_dir.filePath(name));
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read();
        QCOMPARE(image.size(), QSize(320, 240));
    }

    void unplayableFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("openSucceeds");
        QTest::newRow("missing file") << QStringLiteral("missing.avi") << QByteArray() << false;
        QTest::newRow("text named avi")
            << QStringLiteral("notes.avi") << QByteArray("these are not frames\n").repeated(50) << true;
    }

    void unplayableFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, openSucceeds);

        const QString path = m_dir.filePath(name);
        QVERIFY(content.isEmpty() || writeFile(path, content));
        VidPlay view;
        QSignalSpy loaded(&view, &VidPlay::loaded);
        QCOMPARE(view.open(path), openSucceeds);
        if (loaded.isEmpty())
            QVERIFY(loaded.wait(10000));
        QCOMPARE(loaded.first().first().toBool(), false);
        QCOMPARE(view.statusText(), QStringLiteral("error"));
        QVERIFY(!view.errorString().isEmpty());
        view.play(); // must not throw or start anything
        QCOMPARE(view.statusText(), QStringLiteral("error"));
        QCOMPARE(view.videoWidth(), 0);
    }

private:
    QTemporaryDir m_dir;
    QString m_clip;
};

QTEST_MAIN(TestVidPlay)
#include "tst_vidplay.moc"
