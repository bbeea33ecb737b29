// The program as a desktop sees it once installed: a menu entry, an icon in
// the icon theme and AppStream metadata, installed by "cmake --install" into
// a scratch prefix and checked by the desktop's own validators.
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

const QString kAppId = QStringLiteral(TOVRA_APP_ID);

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(120000))
        return {-1, process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

// The keys of a desktop entry's main group.
QMap<QString, QString> desktopEntry(const QString &path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inMain = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inMain = line == QLatin1String("[Desktop Entry]");
        else if (inMain && line.contains(u'=') && !line.startsWith(u'#'))
            keys.insert(line.section(u'=', 0, 0).trimmed(), line.section(u'=', 1).trimmed());
    }
    return keys;
}

} // namespace

class TestDesktopFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void installedWhereDesktopsLook();
    void desktopEntryIsValid();
    void metainfoIsValid();
    void entryAndMetainfoAgree();
    void iconIsClearAtEverySize_data();
    void iconIsClearAtEverySize();

private:
    QString installed(const QString &relative) const { return m_prefix.filePath(relative); }
    QString desktopFile() const { return installed(QStringLiteral("share/applications/") + kAppId + QStringLiteral(".desktop")); }
    QString metainfoFile() const { return installed(QStringLiteral("share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml")); }
    QString iconFile(const QString &size = QStringLiteral("scalable")) const
    {
        return installed(QStringLiteral("share/icons/hicolor/%1/apps/%2.svg").arg(size, kAppId));
    }

    QTemporaryDir m_prefix;
};

void TestDesktopFiles::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    const Run install = run(QStringLiteral(TOVRA_CMAKE_COMMAND),
                            {QStringLiteral("--install"), QStringLiteral(TOVRA_BUILD_DIR), QStringLiteral("--prefix"),
                             m_prefix.path()});
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
}

void TestDesktopFiles::installedWhereDesktopsLook()
{
    for (const QString &file : {desktopFile(), metainfoFile(), iconFile(), iconFile(QStringLiteral("16x16"))})
        QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/tovradocs"))).isExecutable());
}

void TestDesktopFiles::desktopEntryIsValid()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is missing: install desktop-file-utils (scripts/setup-debian.sh)");
    const Run check = run(validator, {desktopFile()});
    QVERIFY2(check.exitCode == 0, qPrintable(check.output));
    // Hints are advice; warnings and errors are not.
    QVERIFY2(!check.output.contains(QLatin1String("error:")) && !check.output.contains(QLatin1String("warning:")),
             qPrintable(check.output));
}

void TestDesktopFiles::metainfoIsValid()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty())
        QSKIP("appstreamcli is missing: install appstream (scripts/setup-debian.sh)");
    // --no-net: the build machines reach no web site, so the screenshots' and
    // home page's addresses are checked for their form only.
    const Run file = run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfoFile()});
    QVERIFY2(file.exitCode == 0, qPrintable(file.output));
    // The tree check also finds the desktop entry the metadata launches.
    const Run tree = run(validator, {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), m_prefix.path()});
    QVERIFY2(tree.exitCode == 0, qPrintable(tree.output));
}

void TestDesktopFiles::entryAndMetainfoAgree()
{
    const QMap<QString, QString> entry = desktopEntry(desktopFile());
    // The menu starts the installed program and shows the installed icon.
    QCOMPARE(entry.value(QStringLiteral("Exec")).section(u' ', 0, 0), QStringLiteral("tovradocs"));
    QCOMPARE(entry.value(QStringLiteral("Icon")), kAppId);
    QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));

    QFile file(metainfoFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QDomDocument doc;
    QVERIFY(doc.setContent(&file));
    const QDomElement component = doc.documentElement();
    QCOMPARE(component.firstChildElement(QStringLiteral("id")).text(), kAppId);
    QCOMPARE(component.firstChildElement(QStringLiteral("launchable")).text(), kAppId + QStringLiteral(".desktop"));
    QCOMPARE(component.firstChildElement(QStringLiteral("releases")).firstChildElement().attribute(QStringLiteral("version")),
             QStringLiteral(TOVRA_VERSION));
    // Every screenshot is one the repository keeps.
    int screenshots = 0;
    const QDomNodeList images = component.elementsByTagName(QStringLiteral("image"));
    for (int i = 0; i < images.size(); ++i, ++screenshots) {
        const QUrl url(images.at(i).toElement().text());
        QCOMPARE(url.scheme(), QStringLiteral("https"));
        const QString kept = QStringLiteral(TOVRA_SOURCE_DIR "/docs/screenshots/") + url.fileName();
        QVERIFY2(QFileInfo::exists(kept), qPrintable(url.toString()));
    }
    QVERIFY(screenshots >= 3);
}

void TestDesktopFiles::iconIsClearAtEverySize_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        QTest::addRow("scalable at %d", size) << QStringLiteral("scalable") << size;
    QTest::newRow("its own drawing at 16") << QStringLiteral("16x16") << 16;
}

void TestDesktopFiles::iconIsClearAtEverySize()
{
    QFETCH(QString, file);
    QFETCH(int, size);
    QSvgRenderer renderer(iconFile(file));
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBoxF().width(), renderer.viewBoxF().height());
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    // A light tooth in the middle of a darker cover that fills most of the
    // square, and nothing cut off at the edges.
    const QColor middle = image.pixelColor(size / 2, size / 2);
    QVERIFY(middle.alpha() == 255 && middle.lightness() > 200);
    int opaque = 0;
    int darkest = 255;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255) {
                ++opaque;
                darkest = std::min(darkest, c.lightness());
            }
        }
    QVERIFY(opaque > size * size * 6 / 10);
    QVERIFY(darkest < 100);
    QCOMPARE(qAlpha(image.pixel(size - 1, 0)), 0);
}

QTEST_MAIN(TestDesktopFiles)
#include "tst_desktopfiles.moc"
