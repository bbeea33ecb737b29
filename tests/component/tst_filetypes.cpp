#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "support/nulldatalink.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

QString zeroJoined(const QStringList &parts) { return parts.join(QChar(0)); }

class ViewerHost : public Testing::NullDataLink
{
public:
    struct Call
    {
        qint32 kind;
        QString path;
        QString caption;
    };
    QList<Call> calls;
    bool answer = true;

    bool ViewExtendedFile(qint32 &viewerKind, QString &filePath, QString &caption) override
    {
        calls.append({viewerKind, filePath, caption});
        return answer;
    }
};

class RecordingTargets : public ViewerTargets
{
public:
    QStringList videos;
    QStringList pages;
    bool browserAnswer = true;

    bool showVideo(const QString &path, const QString &caption) override
    {
        videos << path + QLatin1Char('|') + caption;
        return true;
    }
    bool showBrowser(const QString &address, const QString &caption) override
    {
        pages << address + QLatin1Char('|') + caption;
        return browserAnswer;
    }
};

} // namespace

class tst_FileTypes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const auto touch = [&](QString *path, const char *name) {
            QFile f(m_dir.filePath(QLatin1String(name)));
            *path = f.fileName();
            return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
        };
        QVERIFY(touch(&m_jpg, "scan one.JPG") && touch(&m_avi, "clip.avi") && touch(&m_tga, "old.tga")
                && touch(&m_dcr, "movie.dcr") && touch(&m_unknown, "notes.xyz"));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("sub.folder")));
        m_fifo = m_dir.filePath(QStringLiteral("picture.jpg"));
        QVERIFY(::mkfifo(QFile::encodeName(m_fifo).constData(), 0600) == 0);
    }

    void cleanup()
    {
        clearHostLink();
        m_host.reset();
    }

    void extensionAndViewer_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");

        QTest::newRow("drive path") << "c:\\x\\a.jpg" << "JPG" << 1 << "a.jpg";
        QTest::newRow("mixed case, mixed separators") << "/a\\b/photo.JpG" << "JPG" << 1 << "photo.JpG";
        QTest::newRow("last dot wins") << "a.tar.pcx" << "PCX" << 1 << "a.tar.pcx";
        QTest::newRow("ending in dot") << "name." << "" << 101 << "name.";
        QTest::newRow("no dot") << "README" << "" << 101 << "README";
        QTest::newRow("folder") << "/a/" << "" << 101 << "";
        QTest::newRow("com is a page") << "a.com" << "COM" << 3 << "a.com";
        QTest::newRow("pdf") << "a.PDF" << "PDF" << 5 << "a.PDF";
        QTest::newRow("png is unknown") << "a.png" << "PNG" << 101 << "a.png";
    }

    void extensionAndViewer()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(int, kind);
        QFETCH(QString, title);
        QCOMPARE(fileExtension(name), extension);
        QCOMPARE(fileViewer(fileExtension(name)), kind);
        QCOMPARE(fileViewer(extension.toLower()), kind);
        QCOMPARE(Internal::fileTitle(name), title);
    }

    void qtFilter_data()
    {
        QTest::addColumn<QString>("zeroSeparated");
        QTest::addColumn<QString>("qt");

        QTest::newRow("two pairs") << viewerFilterString(0)
                                   << "Bitmap Files (*.bmp);;JPEG Images Files (*.jpg)";
        QTest::newRow("semicolon patterns") << zeroJoined({"Pictures", "*.bmp;*.jpg"})
                                            << "Pictures (*.bmp *.jpg)";
        QTest::newRow("trailing zero") << zeroJoined({"Text", "*.txt", ""}) << "Text (*.txt)";
        QTest::newRow("pipe form") << "Text|*.txt|All|*.*" << "Text (*.txt);;All (*.*)";
        QTest::newRow("empty") << "" << "";
    }

    void qtFilter()
    {
        QFETCH(QString, zeroSeparated);
        QFETCH(QString, qt);
        QCOMPARE(qtFilterFromZeroSeparated(zeroSeparated), qt);
    }

    void relativePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("relative");

        QTest::newRow("exactly LIBRARY") << "LIBRARY" << false;
        QTest::newRow("library file, lower case") << "library\\x.jpg" << true;
        QTest::newRow("exactly HELP") << "HELP" << false;
        QTest::newRow("workspc") << "WORKSPC\\a.bmp" << true;
        QTest::newRow("exactly BACKUP") << "backup" << false;
        QTest::newRow("backup file") << "backup/a" << true;
        QTest::newRow("absolute") << "/data/LIBRARY/x.jpg" << false;
        QTest::newRow("drive path") << "C:\\LIBRARY\\x.jpg" << false;
        QTest::newRow("empty") << "" << false;
    }

    void relativePath()
    {
        QFETCH(QString, path);
        QFETCH(bool, relative);
        QCOMPARE(isRelativePath(path), relative);
    }

    void fileExistence_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("folder");

        QTest::newRow("plain") << m_jpg << true << false;
        QTest::newRow("quoted") << '"' + m_jpg + '"' << true << false;
        QTest::newRow("quoted with blanks around") << "  \"" + m_jpg + "\" " << true << false;
        QTest::newRow("trailing backslash") << m_jpg + '\\' << true << false;
        QTest::newRow("trailing slash") << m_jpg + '/' << true << false;
        QTest::newRow("backslash separators") << QString(m_jpg).replace('/', '\\') << true << false;
        QTest::newRow("one quote only") << '"' + m_jpg << false << false;
        QTest::newRow("missing") << m_dir.filePath(QStringLiteral("nope.jpg")) << false << false;
        QTest::newRow("folder, trailing slash") << m_dir.path() + '/' << false << true;
        QTest::newRow("folder, blanks and backslash")
            << "  " + m_dir.filePath(QStringLiteral("sub.folder")) + "\\ " << false << true;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("quotes only") << "\"\"" << false << false;
        // Opening a pipe blocks until a writer comes: a picture test must never open one.
        QTest::newRow("pipe") << m_fifo << false << false;
        QTest::newRow("device") << "/dev/zero" << false << false;
    }

    void fileExistence()
    {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QFETCH(bool, folder);
        QCOMPARE(doesFileExist(name), exists);
        QCOMPARE(folderExists(name), folder);
    }

    void tempFiles()
    {
        const QString first = tempFileName(QStringLiteral("bmp"));
        const QString second = tempFileName(QStringLiteral("bmp"));
        QVERIFY(first != second);
        for (const QString &name : {first, second}) {
            QVERIFY(name.endsWith(QLatin1String(".bmp")));
            QCOMPARE(QFileInfo(name).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
            // The stem file is kept so no one else is handed the same name.
            const QString stem = name.chopped(4);
            QVERIFY(QFile::exists(stem));
            QFile::remove(stem);
        }
    }

    void commonDialog()
    {
        ScriptedResponder responder;
        ResponderGuard guard(&responder);
        responder.pushText(QStringLiteral("/tmp/picked.jpg"));
        responder.pushText(QStringLiteral("/tmp/report"));
        responder.pushText(std::nullopt);

        const QString filter = viewerFilterString(0);
        QCOMPARE(commonFileDialog(nullptr, 1, QStringLiteral("Open"), QString(), filter,
                                  QStringLiteral("/data"), QString()),
                 QStringLiteral("/tmp/picked.jpg"));
        // Save adds the default extension when the user typed none.
        QCOMPARE(commonFileDialog(nullptr, 2, QStringLiteral("Save"), QStringLiteral("report"),
                                  filter, QStringLiteral("/data"), QStringLiteral("bmp")),
                 QStringLiteral("/tmp/report.bmp"));
        QCOMPARE(commonFileDialog(nullptr, 2, QStringLiteral("Save"), QString(), filter, QString(),
                                  QString()),
                 QString());

        const auto prompts = responder.prompts();
        QCOMPARE(prompts[0].kind, Prompt::OpenFile);
        QCOMPARE(prompts[0].filter, qtFilterFromZeroSeparated(filter));
        QCOMPARE(prompts[0].initial, QStringLiteral("/data"));
        QCOMPARE(prompts[1].kind, Prompt::SaveFile);
        QCOMPARE(prompts[1].initial, QStringLiteral("/data/report"));
    }

    void propertiesDialog()
    {
        const QString png = m_dir.filePath(QStringLiteral("tooth.png"));
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(png));

        ScriptedResponder responder;
        ResponderGuard guard(&responder);
        QStringList labels;
        responder.pushModal([&](QDialog *dialog) {
            for (const char *name : {"lblName", "lblType", "lblDimensions"})
                labels << dialog->findChild<QLabel *>(QLatin1String(name))->text();
            return int(QDialog::Accepted);
        });
        showFileProperties(nullptr, png);
        QCOMPARE(responder.prompts().constFirst().title, QStringLiteral("Properties"));
        QCOMPARE(labels.value(0), QStringLiteral("tooth.png"));
        QVERIFY2(labels.value(1).contains(QLatin1String("PNG")), qPrintable(labels.value(1)));
        QCOMPARE(labels.value(2), QStringLiteral("40 x 30 pixels"));
    }

    void viewFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("answer"); // what the host or the browser says
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("hostKind"); // 0: the host is not asked
        QTest::addColumn<QString>("video");
        QTest::addColumn<QString>("page");

        QTest::newRow("picture to host") << m_jpg << true << true << 1 << "" << "";
        QTest::newRow("host declines") << m_jpg << false << false << 1 << "" << "";
        // The extension keeps the closing quote, so the kind is 101 although the file exists.
        QTest::newRow("quoted name shows nothing") << '"' + m_jpg + '"' << true << false << 0 << "" << "";
        QTest::newRow("video to player") << m_avi << true << true << 0 << m_avi + "|Caption" << "";
        QTest::newRow("missing picture") << m_dir.filePath("gone.jpg") << true << false << 0 << "" << "";
        QTest::newRow("relative, used as given") << "LIBRARY\\nowhere.jpg" << true << false << 0 << "" << "";
        QTest::newRow("kind 100 shows nothing") << m_tga << true << false << 0 << "" << "";
        QTest::newRow("kind 6 shows nothing") << m_dcr << true << false << 0 << "" << "";
        QTest::newRow("kind 101 shows nothing") << m_unknown << true << false << 0 << "" << "";
        QTest::newRow("http, any case, any extension")
            << "hTTp://example.org/a.jpg" << true << true << 0 << "" << "hTTp://example.org/a.jpg|Caption";
        QTest::newRow("browser declines")
            << "http://example.org/" << false << false << 0 << "" << "http://example.org/|Caption";
        QTest::newRow("file address loses its prefix")
            << "file:///srv/page.htm" << true << true << 0 << "" << "/srv/page.htm|Caption";
        QTest::newRow("FILE of 8 characters is kept") << "FILE:/ab" << true << true << 0 << "" << "FILE:/ab|Caption";
        QTest::newRow("HTTP alone is no address") << "HTTP" << true << false << 0 << "" << "";
    }

    void viewFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, answer);
        QFETCH(bool, shown);
        QFETCH(int, hostKind);
        QFETCH(QString, video);
        QFETCH(QString, page);

        m_host = std::make_shared<ViewerHost>();
        m_host->answer = answer;
        setHostLink(m_host, nullptr);
        RecordingTargets targets;
        targets.browserAnswer = answer;

        QCOMPARE(Internal::viewFile(name, QStringLiteral("Caption"), targets), shown);
        QCOMPARE(m_host->calls.size(), hostKind ? 1 : 0);
        if (hostKind) {
            QCOMPARE(m_host->calls[0].kind, hostKind);
            QCOMPARE(m_host->calls[0].path, name);
            QCOMPARE(m_host->calls[0].caption, QStringLiteral("Caption"));
        }
        QCOMPARE(targets.videos, video.isEmpty() ? QStringList() : QStringList{video});
        QCOMPARE(targets.pages, page.isEmpty() ? QStringList() : QStringList{page});
    }

private:
    QTemporaryDir m_dir;
    QString m_jpg, m_avi, m_tga, m_dcr, m_unknown, m_fifo;
    std::shared_ptr<ViewerHost> m_host;
};

QTEST_MAIN(tst_FileTypes)
#include "tst_filetypes.moc"
