#include "component/thumbnailprovider.h"
#include "controls/imgview.h"
#include "support/testhost.h"

#include <QApplication>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;

class TestImgView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
    }

    void loadsAndClearsByFileName()
    {
        ImgView view;
        QSignalSpy loaded(&view, &ImgView::loaded);
        const QString path = writePicture(QStringLiteral("a.png"), QSize(40, 30), Qt::red);
        view.setFileName(path);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded.at(0).at(0).toBool(), true);
        QVERIFY(view.hasPicture());
        QCOMPARE(view.picture().pixelColor(3, 3), QColor(Qt::red));
        QCOMPARE(view.pictureSize(), QSize(40, 30));
        QCOMPARE(view.pictureSizeTwips(), QSize(600, 450));

        view.setFileName(QString());
        QVERIFY(!view.hasPicture());
        QVERIFY(view.pictureSize().isEmpty());
        QVERIFY(!view.copyToClipboard());
        QVERIFY(!view.saveToFile(m_dir->filePath(QStringLiteral("none.png"))).ok());
    }

    void drawsThePictureFittedAndCentred()
    {
        ImgView view;
        view.resize(104, 104);
        view.setFileName(writePicture(QStringLiteral("wide.png"), QSize(200, 100), Qt::red));
        const QImage shot = view.grab().toImage();
        // 100 pixels inside the frame: the 2:1 picture is 100 x 50, centred vertically.
        QCOMPARE(shot.pixelColor(52, 52), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(5, 52), QColor(Qt::red));
        QVERIFY(shot.pixelColor(52, 10) != QColor(Qt::red));
        QVERIFY(shot.pixelColor(52, 94) != QColor(Qt::red));
    }

    void captionShowsOnlyWithoutPicture()
    {
        const auto brightPixels = [](const QImage &shot) {
            int n = 0;
            for (int y = 4; y < shot.height() - 4; ++y)
                for (int x = 4; x < shot.width() - 4; ++x)
                    n += qGray(shot.pixel(x, y)) > 160;
            return n;
        };
        ImgView view;
        view.resize(120, 90);
        QCOMPARE(brightPixels(view.grab().toImage()), 0);
        view.setCaption(QStringLiteral("Video"));
        QCOMPARE(view.caption(), QStringLiteral("Video"));
        QVERIFY(brightPixels(view.grab().toImage()) > 10);

        view.setFileName(writePicture(QStringLiteral("dark.png"), QSize(120, 90), QColor(20, 20, 20)));
        QCOMPARE(brightPixels(view.grab().toImage()), 0);
    }

    void savesInTheFormatTheExtensionNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");

        QTest::newRow("png") << "out.png" << QByteArray("png");
        QTest::newRow("jpg") << "out.jpg" << QByteArray("jpeg");
        QTest::newRow("upper-case JPG") << "OUT.JPG" << QByteArray("jpeg");
        QTest::newRow("unknown extension") << "out.xyz" << QByteArray();
        QTest::newRow("no extension") << "out" << QByteArray();
    }

    void savesInTheFormatTheExtensionNames()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);

        ImgView view;
        view.setFileName(writePicture(QStringLiteral("src.png"), QSize(32, 16), Qt::blue));
        const QString target = m_dir->filePath(name);
        const Outcome saved = view.saveToFile(target);
        if (format.isEmpty()) {
            QVERIFY(!saved.ok() && !saved.error().isEmpty());
            QVERIFY(!QFileInfo::exists(target));
            return;
        }
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QImageReader reader(target);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        QVERIFY(reader.read().pixelColor(8, 8).blue() > 230);
    }

    void mouseEventsCarryTheButton()
    {
        ImgView view;
        view.resize(80, 60);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy down(&view, &ImgView::mouseDown);
        QSignalSpy up(&view, &ImgView::mouseUp);
        QSignalSpy clicked(&view, &ImgView::clicked);
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            down.clear();
            up.clear();
            clicked.clear();
            QTest::mouseClick(&view, button, {}, QPoint(30, 20));
            QCOMPARE(down.count(), 1);
            QCOMPARE(down.at(0).at(1).toPoint(), QPoint(30, 20));
            QCOMPARE(up.count(), 1);
            QCOMPARE(clicked.count(), 1);
            QCOMPARE(clicked.at(0).at(0).value<Qt::MouseButton>(), button);

            // Released outside: up, but no click.
            QTest::mousePress(&view, button, {}, QPoint(30, 20));
            QTest::mouseRelease(&view, button, {}, QPoint(200, 200));
            QCOMPARE(up.count(), 2);
            QCOMPARE(clicked.count(), 1);
        }
    }

    void unreadableFileLeavesNoPicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing file") << "missing.jpg" << QByteArray();
        QTest::newRow("garbage with a jpeg name") << "bad.jpg" << QByteArray(3000, '\x5a');
        QTest::newRow("empty file") << "empty.png" << QByteArray("");
    }

    void unreadableFileLeavesNoPicture()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString path = m_dir->filePath(name);
        QVERIFY(content.isNull() || Testing::writeFile(path, content));
        ImgView view;
        view.setFileName(writePicture(QStringLiteral("good.png"), QSize(10, 10), Qt::red));
        QSignalSpy loaded(&view, &ImgView::loaded);
        view.setFileName(path);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded.at(0).at(0).toBool(), false);
        QVERIFY(!view.hasPicture());
        QVERIFY(!view.errorString().isEmpty());
    }

    void thumbnailModeFillsInLater()
    {
        QTemporaryDir cache;
        ThumbnailProvider provider;
        provider.setThumbnailBaseDir(cache.path());
        const QString path = writePicture(QStringLiteral("big.jpg"), QSize(1200, 900), Qt::green);

        ImgView view;
        view.setThumbnailProvider(&provider);
        view.setThumbnailMode(120);
        QSignalSpy loaded(&view, &ImgView::loaded);
        view.setFileName(path);
        QVERIFY(!view.hasPicture()); // placeholder until the thumbnail arrives
        QVERIFY(loaded.wait(10000));
        QCOMPARE(loaded.at(0).at(0).toBool(), true);
        QCOMPARE(view.shownImage().size(), QSize(120, 90));
        QCOMPARE(view.pictureSize(), QSize(1200, 900));
        QCOMPARE(view.picture().size(), QSize(1200, 900)); // copies and prints use the whole picture

        // A second view finds the thumbnail in the cache at once.
        ImgView again;
        again.setThumbnailProvider(&provider);
        again.setThumbnailMode(120);
        QSignalSpy againLoaded(&again, &ImgView::loaded);
        again.setFileName(path);
        QVERIFY(again.hasPicture());
        QCOMPARE(againLoaded.count(), 1);

        // A view switched to another file ignores the first file's late answer.
        ImgView switched;
        switched.setThumbnailProvider(&provider);
        switched.setThumbnailMode(64);
        const QString other = writePicture(QStringLiteral("other.jpg"), QSize(300, 300), Qt::blue);
        switched.setFileName(writePicture(QStringLiteral("first.jpg"), QSize(300, 300), Qt::red));
        switched.setFileName(other);
        QSignalSpy switchedLoaded(&switched, &ImgView::loaded);
        QVERIFY(switchedLoaded.wait(10000));
        QVERIFY(provider.waitForIdle(10000));
        QCOMPARE(switchedLoaded.count(), 1);
        QVERIFY(switched.shownImage().pixelColor(30, 30).blue() > 200);
    }

    void backgroundLoadingKeepsTheLatestFile()
    {
        const QString first = writePicture(QStringLiteral("first.png"), QSize(300, 200), Qt::red);
        const QString second = writePicture(QStringLiteral("second.png"), QSize(120, 90), Qt::blue);
        ImgView view;
        view.setBackgroundLoading(true);
        QSignalSpy loaded(&view, &ImgView::loaded);
        view.setFileName(first);
        QVERIFY(!view.hasPicture());
        QCOMPARE(view.pictureSize(), QSize(300, 200)); // from the header, before the pixels
        // Replaced while the first is still being read: only the second may arrive.
        view.setFileName(second);
        QVERIFY(loaded.wait(5000));
        QCOMPARE(view.shownImage().size(), QSize(120, 90));
        QCOMPARE(view.shownImage().pixelColor(5, 5), QColor(Qt::blue));
        QCOMPARE(loaded.count(), 1);

        // A copy asked for during the read gets the picture at once.
        view.setFileName(first);
        QCOMPARE(view.picture().size(), QSize(300, 200));
        QVERIFY(loaded.wait(5000));
    }

private:
    QString writePicture(const QString &name, QSize size, QColor colour)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = m_dir->filePath(name);
        if (!image.save(path))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestImgView)
#include "tst_imgview.moc"
