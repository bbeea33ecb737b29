#include "libraryfixture.h"

#include "component/filetypes.h"
#include "library/addmultipledocs.h"
#include "library/clipboardfiles.h"
#include "library/filepicker.h"
#include "library/importitemsmodel.h"
#include "library/serialgrabber.h"
#include "support/mediafixtures.h"

#include <tovradocs/dokumentz.h>
#include <tovradocs/mediamanager.h>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

constexpr qint32 kBook = 12;

enum class Writer {
    LoadImage,
    LoadVideo,
    AddDocument,
    AddToBook,
    Paste,
    Drop,
    BatchImport,
    SerialGrabber,
    AddLibEntry,
};

void click(const QObject *window, const char *name) { child<QPushButton>(window, name)->click(); }

// The entry editor, given a caption and saved.
int describeAndSave(QDialog *d)
{
    child<QLineEdit>(d, "txtDescription")->setText(QStringLiteral("From a phone"));
    click(d, "cbOK");
    return d->result();
}

// The import window saved and run to its end.
int importAll(QDialog *d)
{
    QSignalSpy finished(d, SIGNAL(importFinished()));
    click(d, "cbOK");
    if (finished.isEmpty())
        finished.wait(20000);
    return d->result();
}

// A picker: every file listed, the one named chosen.
std::function<int(QDialog *)> pick(const QString &name)
{
    return [name](QDialog *d) {
        child<QComboBox>(d, "PatternCombo")->setCurrentIndex(1);
        static_cast<FilePicker *>(d)->chooseFile(name);
        click(d, "cb_ok");
        return d->result();
    };
}

} // namespace

class tst_EntryTypes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void everyWriterStoresWhatTheFileIs_data();
    void everyWriterStoresWhatTheFileIs();
    void olderRowsAreShownAsWhatTheyAre();

private:
    // Adds file to the book through the writer; the stored EntryType of the
    // new row, 0 when none was added.
    qint32 addThrough(Writer writer, const QString &file);

    LibraryFixture m_fx;
    QTemporaryDir m_media;
    QHash<QString, QString> m_files;
};

void tst_EntryTypes::initTestCase()
{
    QVERIFY(m_media.isValid());
    QImage picture(96, 64, QImage::Format_RGB32);
    picture.fill(QColor(40, 120, 160));
    const auto made = [&](const QString &key, const QString &path) {
        m_files.insert(key, path);
        return !path.isEmpty();
    };
    QVERIFY(made(u"png"_qs, LibraryFixture::savePicture(m_media.filePath(u"screenshot.png"_qs))));
    QVERIFY2(made(u"heic"_qs, makeHeic(m_media.filePath(u"IMG_0042.HEIC"_qs), picture)),
             "heif-enc could not make the phone photo");
    QVERIFY2(made(u"dicom"_qs, makeDicom(m_media.filePath(u"RADIOGRAPH01"_qs), picture.convertToFormat(QImage::Format_Grayscale8))),
             "img2dcm could not make the radiograph");
    QVERIFY2(made(u"mp4"_qs, makeMp4Clip(m_media.filePath(u"intraoral.mp4"_qs), QSize(64, 48), 10)),
             "GStreamer could not make the clip");
}

void tst_EntryTypes::init()
{
    QVERIFY(m_fx.open());
    m_fx.addBook(kBook, QStringLiteral("Lee, Ann"), 7);
    lastPickerDrive().clear();
    lastPickerFolder() = m_media.path();
}

void tst_EntryTypes::cleanup()
{
    LibraryFixture::closeOtherWindows(nullptr);
    QGuiApplication::clipboard()->clear();
    m_fx.close();
}

qint32 tst_EntryTypes::addThrough(Writer writer, const QString &file)
{
    const qint64 before = m_fx.scalar(u"Select Max(Entry_Code) From BookContents"_qs);
    std::unique_ptr<TovraLib> lib;
    const auto library = [&] {
        lib = LibraryFixture::openLibrary(kBook);
        return lib.get();
    };
    Dokumentz documents;
    documents.DefSourceID = kBook;
    switch (writer) {
    case Writer::LoadImage:
    case Writer::LoadVideo:
        m_fx.dialogs->pushModal(pick(QFileInfo(file).fileName()));
        m_fx.dialogs->pushModal(describeAndSave);
        library()->tbrLibCommand(writer == Writer::LoadImage ? u"Load Image"_qs : u"Load Video"_qs);
        break;
    case Writer::AddDocument:
        m_fx.dialogs->pushText(file);
        m_fx.dialogs->pushModal(describeAndSave);
        library()->tbrLibCommand(u"Add Document"_qs);
        break;
    case Writer::AddToBook: {
        m_fx.dialogs->pushModal([](QDialog *d) {
            auto *books = child<QListWidget>(d, "lstBooks");
            books->setCurrentRow(0);
            d->accept();
            return d->result();
        });
        QString path = file;
        qint16 type = 3;
        m_fx.host->AddFileToLib(path, type);
        break;
    }
    case Writer::Paste:
        QGuiApplication::clipboard()->setMimeData(mimeDataForFiles({file}));
        m_fx.dialogs->pushModal(importAll);
        library()->tbrLibCommand(u"PasteExplorer"_qs);
        break;
    case Writer::Drop:
        m_fx.dialogs->pushModal(importAll);
        if (!LibraryFixture::dropFiles(child<QWidget>(library(), "PicPages"), {file}))
            return -1;
        break;
    case Writer::BatchImport: {
        m_fx.dialogs->pushModal(importAll);
        documents.DefDocumentType = 3;
        AddMultipleDocs window;
        window.AddMultipleFiles({file}, documents);
        break;
    }
    case Writer::SerialGrabber: {
        Internal::SerialGrabber grabber;
        grabber.GrabFor(kBook, QStringLiteral("Lee, Ann"));
        child<QPushButton>(&grabber, "cmdClear")->click();
        std::unique_ptr<QMimeData> copied(mimeDataForFiles({file}));
        if (grabber.grabFrom(copied.get()) == 0)
            return 0; // it takes pictures only
        m_fx.dialogs->pushModal(importAll);
        click(&grabber, "cbOK");
        break;
    }
    case Writer::AddLibEntry: {
        m_fx.dialogs->pushModal(describeAndSave);
        MediaManager manager;
        manager.AddLibEntry(3, file, kBook, QStringLiteral("Lee, Ann"));
        break;
    }
    }
    const qint64 added = m_fx.scalar(u"Select Max(Entry_Code) From BookContents"_qs);
    if (added == before)
        return 0;
    return m_fx.row(qint32(added)).value(u"entrytype"_qs).toInt();
}

void tst_EntryTypes::everyWriterStoresWhatTheFileIs_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("type");
    const QList<std::pair<const char *, Writer>> writers {
        {"Load Image", Writer::LoadImage},     {"Load Video", Writer::LoadVideo},
        {"Add Document", Writer::AddDocument}, {"Add to book", Writer::AddToBook},
        {"paste", Writer::Paste},              {"drop", Writer::Drop},
        {"batch import", Writer::BatchImport}, {"serial grabber", Writer::SerialGrabber},
        {"AddLibEntry", Writer::AddLibEntry},
    };
    for (const auto &[name, writer] : writers) {
        for (const char *file : {"png", "heic", "dicom", "mp4"}) {
            const bool video = qstrcmp(file, "mp4") == 0;
            // The serial grabber takes pictures only.
            const int type = video ? (writer == Writer::SerialGrabber ? 0 : 2) : 1;
            QTest::addRow("%s, %s", name, file) << int(writer) << QString::fromLatin1(file) << type;
        }
    }
}

void tst_EntryTypes::everyWriterStoresWhatTheFileIs()
{
    QFETCH(int, writer);
    QFETCH(QString, file);
    QFETCH(int, type);
    QCOMPARE(addThrough(Writer(writer), m_files.value(file)), type);
}

// Rows another host stored as documents are shown as what their files are,
// and the component does not rewrite them.
void tst_EntryTypes::olderRowsAreShownAsWhatTheyAre()
{
    const QString png = m_fx.picture(u"scan.png"_qs);
    m_fx.addPage(1, kBook, png, 101, u"screenshot"_qs);
    m_fx.addPage(2, kBook, m_files.value(u"mp4"_qs), 3, u"clip"_qs);
    m_fx.addPage(3, kBook, m_files.value(u"dicom"_qs), 101, u"radiograph"_qs);
    m_fx.addPage(4, kBook, m_fx.path(u"notes.txt"_qs), 4, u"notes"_qs);
    auto lib = LibraryFixture::openLibrary(kBook);
    const PageTable &pages = lib->pageTable();
    QStringList shown;
    for (int page = 1; page <= pages.count(); ++page)
        shown << pages.at(PageTable::DescriptionRow, page) + u'=' + pages.at(PageTable::EntryTypeRow, page);
    shown.sort();
    QCOMPARE(shown, QStringList({u"clip=2"_qs, u"notes=4"_qs, u"radiograph=1"_qs, u"screenshot=1"_qs}));
    QCOMPARE(m_fx.pageCount(u"EntryType > 2"_qs), 4);
    for (const QString &sql : m_fx.link->sqlTexts())
        QVERIFY2(!sql.startsWith(u"Update"_qs, Qt::CaseInsensitive), qPrintable(sql));
}

QTEST_MAIN(tst_EntryTypes)
#include "tst_entrytypes.moc"
