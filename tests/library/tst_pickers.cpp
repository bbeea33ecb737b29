#include "library/picselector.h"
#include "library/vidselector.h"

#include "component/dialogservice.h"
#include "component/filetypes.h"
#include "component/hostlink.h"
#include "component/thumbnailprovider.h"
#include "controls/imgview.h"
#include "host/referencehost.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using tovradocs::Testing::RecordingDataLink;
using tovradocs::Testing::openTestHost;
using tovradocs::Testing::messageTexts;

namespace {

void click(QDialog *dialog, const char *name)
{
    Testing::child<QPushButton>(dialog, name)->click();
}

QStringList comboItems(QDialog *dialog)
{
    auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("PatternCombo"));
    QStringList items;
    for (int i = 0; combo && i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}


} // namespace

class TestPickers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void imageTypeList();
    void systemImageTypeList();
    void doneNeedsAChoice();
    void unreadablePictureStaysChosen();
    void folderIsRememberedAcrossOpenings();
    void vanishedFolderIsNotRestored();
    void videoChooser();
    void helpKeyAsksForTheWindowsTopic();

private:
    void makeFile(const QString &name, const QByteArray &content = QByteArray("x"));

    QTemporaryDir m_dir;
    QString m_folder;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_link;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<ResponderGuard> m_guard;
};

void TestPickers::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ThumbnailProvider::shared()->setThumbnailBaseDir(m_dir.filePath(QStringLiteral("thumbnails")));
    m_host = openTestHost(m_dir.path());
    QVERIFY(m_host);

    m_folder = m_dir.filePath(QStringLiteral("pictures"));
    QDir().mkpath(m_folder + QStringLiteral("/sub"));
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(m_folder + QStringLiteral("/molar.jpg")));
    QVERIFY(image.save(m_folder + QStringLiteral("/CANINE.BMP"), "BMP"));
    QVERIFY(image.save(m_folder + QStringLiteral("/arch.png")));
    makeFile(QStringLiteral("notes.txt"));
    makeFile(QStringLiteral("README"));
    makeFile(QStringLiteral("broken.jpg"), QByteArray("not a picture at all").repeated(20));
    makeFile(QStringLiteral("clip.avi"), QByteArray("not a video either").repeated(20));
}

void TestPickers::init()
{
    m_link = std::make_shared<RecordingDataLink>(m_host);
    setHostLink(m_link, nullptr);
    m_responder = std::make_unique<ScriptedResponder>();
    m_guard = std::make_unique<ResponderGuard>(m_responder.get());
    lastPickerDrive().clear();
    lastPickerFolder() = m_folder;
}

void TestPickers::cleanup()
{
    m_guard.reset();
    m_responder.reset();
    clearHostLink();
    m_link.reset();
}

void TestPickers::makeFile(const QString &name, const QByteArray &content)
{
    if (!Testing::writeFile(m_folder + u'/' + name, content))
        qFatal("cannot write %s", qPrintable(name));
}

void TestPickers::imageTypeList()
{
    QStringList types, listed, all;
    QString pattern, allPattern;
    m_responder->pushModal([&](QDialog *d) {
        auto *picker = static_cast<PicSelector *>(d);
        types = comboItems(d);
        pattern = picker->filePattern();
        listed = picker->listedFiles();
        Testing::child<QComboBox>(d, "PatternCombo")->setCurrentIndex(1);
        allPattern = picker->filePattern();
        all = picker->listedFiles();
        picker->chooseFile(QStringLiteral("molar.jpg"));
        click(d, "cb_Cancel");
        return d->result();
    });
    PicSelector picker;
    QVERIFY(picker.SelectImage().isEmpty());
    QVERIFY(picker.chosenPath().isEmpty());
    QCOMPARE(types,
             (QStringList {QStringLiteral("*.bmp;*.dcx;*.dib;*.jif;*.jpg;*.pbm;*.pcx;*.pgm;*.pic;*."
                                          "png;*.ppm;*.rle;*.tga;*.tif;*.wmf;*.wpg"),
                           QStringLiteral("All Files (*.*)")}));
    QCOMPARE(pattern, types.first());
    // Extensions match in any letter case.
    QCOMPARE(listed, (QStringList{"arch.png", "broken.jpg", "CANINE.BMP", "molar.jpg"}));
    QCOMPARE(allPattern, QStringLiteral("*.*"));
    // Every file, those without a dot in their name too; folders are not files.
    QCOMPARE(all, (QStringList{"arch.png", "broken.jpg", "CANINE.BMP", "clip.avi", "molar.jpg",
                               "notes.txt", "README"}));
}

void TestPickers::systemImageTypeList()
{
    QStringList types, listed;
    QWidget owner;
    QWidget *parentSeen = nullptr;
    m_responder->pushModal([&](QDialog *d) {
        types = comboItems(d);
        listed = static_cast<PicSelector *>(d)->listedFiles();
        parentSeen = d->parentWidget();
        static_cast<PicSelector *>(d)->chooseFile(QStringLiteral("molar.jpg"));
        click(d, "cb_ok");
        return d->result();
    });
    PicSelector picker;
    QCOMPARE(picker.SelectSystemImage(&owner), m_folder + QStringLiteral("/molar.jpg"));
    QCOMPARE(types, QStringList {QStringLiteral("*.bmp;*.jpg")});
    QCOMPARE(listed, (QStringList{"broken.jpg", "CANINE.BMP", "molar.jpg"}));
    QCOMPARE(parentSeen, &owner);
}

void TestPickers::doneNeedsAChoice()
{
    bool stayedOpen = false, previewShown = false;
    QString caption;
    m_responder->pushAnswer(Answer::Ok);
    m_responder->pushModal([&](QDialog *d) {
        auto *picker = static_cast<PicSelector *>(d);
        click(d, "cb_ok");
        stayedOpen = d->isVisible();
        picker->chooseFile(QStringLiteral("arch.png"));
        caption = d->windowTitle();
        auto *preview = d->findChild<ImgView *>(QStringLiteral("ImxPreview"));
        previewShown = QTest::qWaitFor([&] { return preview->hasPicture(); }, 10000);
        click(d, "cb_ok");
        return d->result();
    });
    PicSelector::lastChosenImage().clear();
    PicSelector picker;
    const QString chosen = picker.SelectImage();
    QVERIFY(stayedOpen);
    QCOMPARE(messageTexts(*m_responder),
             QStringList {QStringLiteral("You need to select an Image before proceeding ")});
    QCOMPARE(chosen, m_folder + QStringLiteral("/arch.png"));
    QCOMPARE(caption, QStringLiteral("Viewer [") + chosen + QLatin1Char(']'));
    QVERIFY(previewShown);
    QCOMPARE(PicSelector::lastChosenImage(), chosen);
}

void TestPickers::unreadablePictureStaysChosen()
{
    bool invalid = false;
    m_responder->pushModal([&](QDialog *d) {
        static_cast<PicSelector *>(d)->chooseFile(QStringLiteral("broken.jpg"));
        invalid = QTest::qWaitFor(
            [&] { return d->windowTitle() == QLatin1String("Viewer [Invalid picture]"); }, 10000);
        click(d, "cb_ok");
        return d->result();
    });
    PicSelector picker;
    QCOMPARE(picker.SelectImage(), m_folder + QStringLiteral("/broken.jpg"));
    QVERIFY(invalid);
}

void TestPickers::folderIsRememberedAcrossOpenings()
{
    const QString sub = m_folder + QStringLiteral("/sub");
    QString firstFolder;
    m_responder->pushModal([&](QDialog *d) {
        auto *picker = static_cast<PicSelector *>(d);
        firstFolder = picker->currentFolder();
        // Down into "sub" the way a user goes, by activating it in the folder list.
        auto *folders = Testing::child<QListWidget>(d, "DirList");
        const auto found = folders->findItems(QStringLiteral("sub"), Qt::MatchExactly);
        if (!found.isEmpty())
            Q_EMIT folders->itemActivated(found.first());
        click(d, "cb_Cancel");
        return d->result();
    });
    PicSelector().SelectImage();
    QCOMPARE(firstFolder, m_folder);
    QCOMPARE(lastPickerFolder(), sub);
    QVERIFY(!lastPickerDrive().isEmpty());

    // The video chooser shares the memory.
    QString secondFolder;
    QStringList secondFolders;
    m_responder->pushModal([&](QDialog *d) {
        secondFolder = static_cast<VidSelector *>(d)->currentFolder();
        auto *folders = Testing::child<QListWidget>(d, "DirList");
        secondFolders << folders->item(0)->text();
        Q_EMIT folders->itemActivated(folders->item(0)); // ".." goes back up
        click(d, "cb_Cancel");
        return d->result();
    });
    VidSelector().SelectVideo();
    QCOMPARE(secondFolder, sub);
    QCOMPARE(secondFolders, QStringList {QStringLiteral("..")});
    QCOMPARE(lastPickerFolder(), m_folder);
}

void TestPickers::vanishedFolderIsNotRestored()
{
    QTemporaryDir gone;
    const QString vanished = gone.path();
    gone.remove();
    lastPickerFolder() = vanished;
    QString folder;
    m_responder->pushModal([&](QDialog *d) {
        folder = static_cast<PicSelector *>(d)->currentFolder();
        click(d, "cb_Cancel");
        return d->result();
    });
    PicSelector().SelectImage();
    QVERIFY(folder != vanished && QFileInfo(folder).isDir());

    // Choosing a drive goes to its top folder.
    QString atDriveRoot;
    m_responder->pushModal([&](QDialog *d) {
        auto *drives = Testing::child<QComboBox>(d, "DriveList");
        const int root = drives->findData(QStringLiteral("/"));
        drives->setCurrentIndex(root);
        Q_EMIT drives->activated(root);
        atDriveRoot = static_cast<PicSelector *>(d)->currentFolder();
        click(d, "cb_Cancel");
        return d->result();
    });
    PicSelector().SelectImage();
    QCOMPARE(atDriveRoot, QStringLiteral("/"));
    QCOMPARE(lastPickerDrive(), QStringLiteral("/"));
}

void TestPickers::videoChooser()
{
    QStringList types, listed;
    bool stayedOpen = false, invalid = false;
    m_responder->pushModal([&](QDialog *d) {
        auto *picker = static_cast<VidSelector *>(d);
        types = comboItems(d);
        listed = picker->listedFiles();
        click(d, "cb_ok"); // nothing chosen yet: stays open, says nothing
        stayedOpen = d->isVisible();
        picker->chooseFile(QStringLiteral("clip.avi"));
        invalid = QTest::qWaitFor(
            [&] { return d->windowTitle() == QLatin1String("Viewer [Invalid video]"); }, 15000);
        click(d, "cb_ok");
        return d->result();
    });
    VidSelector picker;
    QCOMPARE(picker.SelectVideo(), m_folder + QStringLiteral("/clip.avi"));
    QCOMPARE(types, (QStringList{"*.avi;*.mov", "All Files (*.*)"}));
    QCOMPARE(listed, QStringList {QStringLiteral("clip.avi")});
    QVERIFY(stayedOpen);
    QVERIFY(invalid);
    QVERIFY(messageTexts(*m_responder).isEmpty());
}

void TestPickers::helpKeyAsksForTheWindowsTopic()
{
    m_responder->pushAnswer(Answer::Ok); // the reference host has no help installed
    m_responder->pushAnswer(Answer::Ok);
    m_responder->pushModal([&](QDialog *d) {
        QTest::keyClick(d->findChild<QListWidget *>(QStringLiteral("FileList")), Qt::Key_F1);
        click(d, "cb_Cancel");
        return d->result();
    });
    m_responder->pushModal([&](QDialog *d) {
        QTest::keyClick(d, Qt::Key_F1);
        click(d, "cb_Cancel");
        return d->result();
    });
    PicSelector().SelectImage();
    VidSelector().SelectVideo();
    QCOMPARE(m_link->callsOf(QStringLiteral("ShowHelp")), (QStringList{"W208.htm", "W158.htm"}));
}

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
