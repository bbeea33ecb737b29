#include "component/thumbnailprovider.h"
#include "support/testhost.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QImageReader>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using tovradocs::Internal::ThumbnailProvider;

namespace {

QImage photoLike(QSize size, QColor tint)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, tint);
    g.setColorAt(1, tint.darker(300));
    p.fillRect(image.rect(), g);
    p.end();
    return image;
}

QString uri(const QString &path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded());
}

QString md5Name(const QString &path)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri(path).toLatin1(), QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
}

} // namespace

class TestThumbnailProvider : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void cacheFileFollowsTheSharedLayout_data();
    void cacheFileFollowsTheSharedLayout();
    void cachedThumbnailIsUsedUntilTheFileChanges();
    void thumbnailOfAnotherFileIsNotUsed();
    void manyRequestsAllArriveAsCompleteFiles();
    void unreadableFilesFail_data();
    void unreadableFilesFail();
    void cameraJpegIsDecodedScaled();
    void cancelAllDropsPendingAndRunningAnswers();
    void newestRequestRunsFirst();

private:
    QString writeJpeg(const QString &name, QSize size, QColor tint = QColor(40, 120, 200));
    // Writes a red 128-pixel cache entry for source with the given tags.
    bool plantEntry(const QString &source, const QString &uriTag, bool withTags = true);
    std::unique_ptr<QTemporaryDir> m_cache;
    std::unique_ptr<QTemporaryDir> m_files;
    std::unique_ptr<ThumbnailProvider> m_provider;
};

QString TestThumbnailProvider::writeJpeg(const QString &name, QSize size, QColor tint)
{
    const QString path = m_files->filePath(name);
    if (!photoLike(size, tint).save(path, "JPEG", 85))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

bool TestThumbnailProvider::plantEntry(const QString &source, const QString &uriTag, bool withTags)
{
    QImage planted(128, 96, QImage::Format_RGB32);
    planted.fill(Qt::red);
    if (withTags) {
        planted.setText(QStringLiteral("Thumb::URI"), uriTag);
        planted.setText(QStringLiteral("Thumb::MTime"),
                        QString::number(QFileInfo(source).lastModified().toSecsSinceEpoch()));
    }
    const QString cacheFile = m_provider->thumbnailFileName(source, 128);
    return QDir().mkpath(QFileInfo(cacheFile).path()) && planted.save(cacheFile);
}

void TestThumbnailProvider::init()
{
    m_cache = std::make_unique<QTemporaryDir>();
    m_files = std::make_unique<QTemporaryDir>();
    m_provider = std::make_unique<ThumbnailProvider>();
    m_provider->setThumbnailBaseDir(m_cache->path());
}

void TestThumbnailProvider::cleanup()
{
    m_provider.reset();
}

void TestThumbnailProvider::cacheFileFollowsTheSharedLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("handedOut");

    QTest::newRow("120 pixels use normal") << "a.jpg" << 120 << "normal" << QSize(128, 96)
                                           << QSize(120, 90);
    QTest::newRow("200 pixels use large") << "a.jpg" << 200 << "large" << QSize(256, 192)
                                          << QSize(200, 150);
    QTest::newRow("name needing escapes") << "Röntgen #1 (2).jpg" << 256 << "large"
                                          << QSize(256, 192) << QSize(256, 192);
}

void TestThumbnailProvider::cacheFileFollowsTheSharedLayout()
{
    QFETCH(QString, name);
    QFETCH(int, pixels);
    QFETCH(QString, folder);
    QFETCH(QSize, stored);
    QFETCH(QSize, handedOut);

    const QString source = writeJpeg(name, QSize(800, 600));
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    m_provider->request(source, pixels);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.at(0).at(0).toString(), source);
    QCOMPARE(loaded.at(0).at(1).value<QImage>().size(), handedOut);

    const QString cacheFile = m_cache->path() + u'/' + folder + u'/' + md5Name(source);
    QCOMPARE(m_provider->thumbnailFileName(source, pixels), cacheFile);
    QVERIFY(QFileInfo::exists(cacheFile));
    // Thumbnails of patients' pictures are for this user's eyes only.
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
        | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(cacheFile).permissions() & others, QFileDevice::Permissions());

    QCOMPARE(QImageReader(cacheFile).format(), QByteArray("png"));
    const QImage reader(cacheFile);
    QCOMPARE(reader.text("Thumb::URI"), uri(source));
    QCOMPARE(reader.text("Thumb::MTime"),
             QString::number(QFileInfo(source).lastModified().toSecsSinceEpoch()));
    QCOMPARE(reader.size(), stored);
}

void TestThumbnailProvider::cachedThumbnailIsUsedUntilTheFileChanges()
{
    const QString source = writeJpeg(QStringLiteral("blue.jpg"), QSize(400, 300), Qt::blue);
    const QFileInfo info(source);

    // A valid entry that differs from the file's content shows the cache was used.
    QVERIFY(plantEntry(source, uri(source)));
    const QString cacheFile = m_provider->thumbnailFileName(source, 128);

    QCOMPARE(m_provider->cachedThumbnail(source, 128).pixelColor(5, 5), QColor(Qt::red));
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    m_provider->request(source, 128);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.at(0).at(1).value<QImage>().pixelColor(5, 5), QColor(Qt::red));

    // Touching the file makes the entry stale; the next request decodes again.
    QFile file(source);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(info.lastModified().addSecs(60), QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(m_provider->cachedThumbnail(source, 128).isNull());
    m_provider->request(source, 128);
    QVERIFY(loaded.wait(10000));
    const QColor fresh = loaded.at(1).at(1).value<QImage>().pixelColor(5, 5);
    QVERIFY2(fresh.blue() > 150 && fresh.red() < 80, qPrintable(fresh.name()));
    QCOMPARE(QImage(cacheFile).text("Thumb::MTime"),
             QString::number(info.lastModified().addSecs(60).toSecsSinceEpoch()));
}

void TestThumbnailProvider::thumbnailOfAnotherFileIsNotUsed()
{
    const QString source = writeJpeg(QStringLiteral("x.jpg"), QSize(300, 200));
    QVERIFY(plantEntry(source, QStringLiteral("file:///elsewhere/x.jpg")));
    QVERIFY(m_provider->cachedThumbnail(source, 128).isNull());
    QVERIFY(plantEntry(source, QString(), false));
    QVERIFY(m_provider->cachedThumbnail(source, 128).isNull());
}

void TestThumbnailProvider::manyRequestsAllArriveAsCompleteFiles()
{
    m_provider->setWorkerCount(2);
    QStringList sources;
    for (int i = 0; i < 40; ++i)
        sources << writeJpeg(QStringLiteral("m%1.jpg").arg(i), QSize(640, 480));
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
    for (const QString &s : sources)
        m_provider->request(s, 256);
    m_provider->request(sources.first(), 256); // a repeat is answered once
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 40, 30000);
    QVERIFY(m_provider->waitForIdle(5000));
    QCOMPARE(loaded.count(), 40);
    QCOMPARE(failed.count(), 0);
    QStringList answered;
    for (const QList<QVariant> &args : loaded)
        answered << args.at(0).toString();
    answered.sort();
    sources.sort();
    QCOMPARE(answered, sources);
    QCOMPARE(m_provider->pendingCount(), 0);

    // Workers write aside and rename: no partial or temporary files remain.
    QDirIterator it(m_cache->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int files = 0;
    for (; it.hasNext(); ++files) {
        const QString file = it.next();
        QVERIFY2(file.endsWith(QLatin1String(".png")), qPrintable(file));
        QImageReader reader(file);
        QVERIFY2(!reader.read().isNull(), qPrintable(file + u' ' + reader.errorString()));
    }
    QCOMPARE(files, 40);
}

void TestThumbnailProvider::unreadableFilesFail_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("recorded");

    QTest::newRow("garbage with a jpeg name") << "garbage.jpg" << QByteArray(4000, 'x') << true;
    QTest::newRow("empty file") << "empty.png" << QByteArray() << true;
    QTest::newRow("png signature only") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n", 8) << true;
    QTest::newRow("missing file") << "missing.jpg" << QByteArray() << false;
}

void TestThumbnailProvider::unreadableFilesFail()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, recorded);

    const QString path = m_files->filePath(name);
    if (recorded)
        QVERIFY(tovradocs::Testing::writeFile(path, content));
    QSignalSpy failed(m_provider.get(), &ThumbnailProvider::thumbnailFailed);
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    m_provider->request(path, 128);
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.at(0).at(0).toString(), path);
    const QString message = failed.at(0).at(1).toString();
    QVERIFY2(message.contains(name), qPrintable(message));
    QCOMPARE(loaded.count(), 0);
    QVERIFY(!QFileInfo::exists(m_provider->thumbnailFileName(path, 128)));

    const QString failureFile = m_provider->failureFileName(path);
    QVERIFY(failureFile.startsWith(m_cache->path() + QStringLiteral("/fail/")));
    QCOMPARE(QFileInfo::exists(failureFile), recorded);
    if (!recorded)
        return;
    QCOMPARE(QImage(failureFile).text("Thumb::URI"), uri(path));

    // The record answers the next request with the same message.
    m_provider->request(path, 128);
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.at(1).at(1).toString(), message);
}

void TestThumbnailProvider::cameraJpegIsDecodedScaled()
{
    const QString source = writeJpeg(QStringLiteral("camera.jpg"), QSize(4032, 3024));
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    QSignalSpy decoded(m_provider.get(), &ThumbnailProvider::pictureDecoded);
    m_provider->request(source, 256);
    QVERIFY(loaded.wait(20000));
    QCOMPARE(loaded.at(0).at(1).value<QImage>().size(), QSize(256, 192));
    // 1/8 in the DCT: 4032 / 8 = 504.
    QCOMPARE(decoded.count(), 1);
    QCOMPARE(decoded.at(0).at(2).toSize(), QSize(504, 378));
}

void TestThumbnailProvider::cancelAllDropsPendingAndRunningAnswers()
{
    m_provider->setWorkerCount(1);
    for (int i = 0; i < 8; ++i)
        m_provider->request(writeJpeg(QStringLiteral("c%1.jpg").arg(i), QSize(1600, 1200)), 128);
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    m_provider->cancelAll();
    const QString wanted = writeJpeg(QStringLiteral("wanted.jpg"), QSize(200, 100));
    m_provider->request(wanted, 128);
    QVERIFY(m_provider->waitForIdle(20000));
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).toString(), wanted);
}

void TestThumbnailProvider::newestRequestRunsFirst()
{
    m_provider->setWorkerCount(1);
    QStringList sources;
    for (int i = 0; i < 5; ++i)
        sources << writeJpeg(QStringLiteral("o%1.jpg").arg(i), QSize(1600, 1200));
    QSignalSpy loaded(m_provider.get(), &ThumbnailProvider::thumbnailLoaded);
    for (const QString &s : sources)
        m_provider->request(s, 128);
    QVERIFY(m_provider->waitForIdle(20000));
    QCOMPARE(loaded.count(), 5);
    // The first may already be running when the others come in; the rest run newest first.
    QStringList order;
    for (const QList<QVariant> &args : loaded)
        order << args.at(0).toString();
    QStringList expected{sources[4], sources[3], sources[2], sources[1]};
    if (order.first() == sources[0])
        order.removeFirst();
    else
        expected << sources[0];
    QCOMPARE(order, expected);
}

QTEST_GUILESS_MAIN(TestThumbnailProvider)
#include "tst_thumbnailprovider.moc"
