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
        QFile dicom(m_dicom = m_dir.filePath(QStringLiteral("RADIOGRAPH")));
        QVERIFY(dicom.open(QIODevice::WriteOnly) && dicom.write(QByteArray(128, 0) + "DICM") == 132);
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
        QTest::newRow("png is a picture") << "a.png" << "PNG" << 1 << "a.png";
        QTest::newRow("folder with a dot") << "/a.mp4/clip" << "MP4/CLIP" << 101 << "clip";
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

    // Every picture and video a practice has today, by extension in any case.
    void classificationByExtension_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("kind");
        for (const char *e : {"bmp", "jpg", "jpeg", "jpe", "jfif", "tif", "tiff", "pcx", "dcx", "png",
                              "gif", "webp", "heic", "heif", "avif", "jxl", "dcm", "dicom"})
            QTest::newRow(e) << QString::fromLatin1(e) << 1;
        for (const char *e : {"avi", "fli", "flc", "mp4", "m4v", "mov", "mkv", "webm", "mpg", "mpeg",
                              "mts", "m2ts", "3gp", "wmv", "ogv"})
            QTest::newRow(e) << QString::fromLatin1(e) << 2;
        QTest::newRow("rtf stays a document") << "rtf" << 4;
        QTest::newRow("tga stays kind 100") << "tga" << 100;
    }

    void classificationByExtension()
    {
        QFETCH(QString, extension);
        QFETCH(int, kind);
        QCOMPARE(fileViewer(extension), kind);
        QCOMPARE(fileViewer(extension.toUpper()), kind);
        // A known extension decides without opening the file (it does not exist).
        QCOMPARE(classifyFile(m_dir.filePath(QStringLiteral("none.") + extension.toUpper())), kind);
        const QString patterns = kindPatterns(kind);
        QVERIFY(patterns.split(u';').contains(QStringLiteral("*.") + extension));
    }

    // Files with no extension or an unknown one are what their first bytes say.
    void classificationByContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("kind");
        const auto iso = [](const char *major, const char *compatible) -> QByteArray {
            return QByteArray("\0\0\0\x18" "ftyp", 8) + major + QByteArray(4, 0) + compatible
                   + QByteArray(64, 'x');
        };
        QByteArray dicom(128, 0);
        dicom += "DICM";
        dicom += QByteArray(64, 2);
        QByteArray bmp("BM");
        bmp += QByteArray(12, 0) + QByteArray("\x28\0\0\0", 4) + QByteArray(40, 1);
        QByteArray ts;
        for (int i = 0; i < 4; ++i)
            ts += '\x47' + QByteArray(187, 1);
        QByteArray m2ts;
        for (int i = 0; i < 4; ++i)
            m2ts += QByteArray(4, 0) + '\x47' + QByteArray(187, 1);
        QByteArray theora("OggS");
        theora += QByteArray(24, 0) + "\x80theora" + QByteArray(20, 0);

        QTest::newRow("dicom from a sensor") << "IMG0001" << dicom << 1;
        QTest::newRow("jpeg") << "photo" << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 10) << 1;
        QTest::newRow("png under an unknown extension") << "shot.dat" << QByteArray("\x89PNG\r\n\x1A\n....") << 1;
        QTest::newRow("gif") << "anim" << QByteArray("GIF89a....") << 1;
        QTest::newRow("tiff, Intel") << "scan" << QByteArray("II*\0\x08\0\0\0", 8) << 1;
        QTest::newRow("tiff, Motorola") << "scan" << QByteArray("MM\0*\0\0\0\x08", 8) << 1;
        QTest::newRow("webp") << "still" << QByteArray("RIFF\x10\0\0\0WEBPVP8 ", 16) << 1;
        QTest::newRow("bitmap") << "old" << bmp << 1;
        QTest::newRow("heic from a phone") << "IMG_4711" << iso("heic", "mif1heic") << 1;
        QTest::newRow("heix") << "burst" << iso("heix", "mif1heix") << 1;
        QTest::newRow("mif1, heic compatible") << "photo" << iso("mif1", "heic") << 1;
        QTest::newRow("avif") << "photo" << iso("avif", "mif1miaf") << 1;
        QTest::newRow("mp4 from a camera") << "clip" << iso("isom", "isomiso2avc1mp41") << 2;
        QTest::newRow("mp42") << "clip" << iso("mp42", "mp42isom") << 2;
        QTest::newRow("quicktime") << "clip" << iso("qt  ", "qt  ") << 2;
        QTest::newRow("unknown brand, video compatible") << "clip" << iso("xxxx", "mp42") << 2;
        QTest::newRow("matroska") << "clip" << QByteArray("\x1A\x45\xDF\xA3\x9F\x42\x86\x81", 8) << 2;
        QTest::newRow("avi") << "clip" << QByteArray("RIFF\x10\0\0\0AVI LIST", 16) << 2;
        QTest::newRow("mpeg program stream") << "clip" << QByteArray("\0\0\x01\xBA\x44", 5) << 2;
        QTest::newRow("transport stream") << "clip" << ts << 2;
        QTest::newRow("blu-ray transport stream") << "clip" << m2ts << 2;
        QTest::newRow("ogg theora") << "clip" << theora << 2;
        QTest::newRow("pdf") << "referral" << QByteArray("%PDF-1.7\n") << 5;
        QTest::newRow("plain text") << "notes" << QByteArray("Patient notes\n") << 101;
        QTest::newRow("empty") << "empty" << QByteArray() << 101;
        QTest::newRow("png named as text stays text") << "notes.txt" << QByteArray("\x89PNG\r\n\x1A\n....") << 4;
        QTest::newRow("brand box longer than the file") << "cut" << QByteArray("\0\0\xFF\xFF" "ftypzzzz\0\0\0\0abc", 19) << 101;
    }

    void classificationByContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(int, kind);
        QTemporaryDir dir;
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(head) == head.size());
        f.close();
        QCOMPARE(classifyFile(f.fileName()), kind);
        // Stored with a Windows separator, as older rows are.
        QCOMPARE(classifyFile(QString(f.fileName()).replace(u'/', u'\\').replace(0, 1, u'/')), kind);
        // Writers store pictures and videos as such, other files as they were asked.
        QCOMPARE(entryTypeFor(f.fileName(), 101), kind == 1 || kind == 2 ? kind : 101);
        // Readers show a picture or video stored as a document as what it is.
        for (int stored : {3, 5, 101})
            QCOMPARE(shownEntryType(stored, f.fileName()), kind == 1 || kind == 2 ? kind : stored);
        QCOMPARE(shownEntryType(4, f.fileName()), 4);
    }

    void classificationReadsOnlyFiles()
    {
        // A pipe without an extension would block a reader for ever.
        const QString fifo = m_dir.filePath(QStringLiteral("pipe"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QCOMPARE(classifyFile(fifo), 101);
        QCOMPARE(classifyFile(m_dir.filePath(QStringLiteral("missing"))), 101);
        QCOMPARE(classifyFile(m_dir.path()), 101);
        QCOMPARE(withKindPatterns(QStringLiteral("*.avi;*.MOV"), 2).split(u';').count(u"*.avi"_qs), 1);
        QVERIFY(!withKindPatterns(QStringLiteral("*.avi;*.MOV"), 2).split(u';').contains(u"*.mov"_qs));
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
        QTest::newRow("radiograph without extension to host") << m_dicom << true << true << 1 << "" << "";
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
    QString m_jpg, m_avi, m_tga, m_dcr, m_unknown, m_fifo, m_dicom;
    std::shared_ptr<ViewerHost> m_host;
};

QTEST_MAIN(tst_FileTypes)
#include "tst_filetypes.moc"
