#include "libraryfixture.h"

#include "component/filetypes.h"
#include "controls/imgview.h"
#include "controls/vidplay.h"
#include "library/picselector.h"
#include "library/vidselector.h"
#include "support/mediafixtures.h"

#include <QListWidget>
#include <QPushButton>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

void click(QDialog *dialog, const char *name)
{
    child<QPushButton>(dialog, name)->click();
}

int cancel(QDialog *dialog)
{
    click(dialog, "cb_Cancel");
    return dialog->result();
}

} // namespace

class TestPickers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void listsTheFilesOfItsTypes();
    void doneNeedsAChoiceButNotAReadableOne();
    void folderIsRememberedAndHelpAsked();
    void videoChooser();
    void videoPreviewIsAFrameThatPlaysWhenClicked();

private:
    void makeFile(const QString &name, const QByteArray &content = QByteArray("x"));

    QTemporaryDir m_dir;
    QString m_folder;
    LibraryFixture m_fx;
};

void TestPickers::initTestCase()
{
    QVERIFY(m_dir.isValid());
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
    QVERIFY(m_fx.open());
    lastPickerDrive().clear();
    lastPickerFolder() = m_folder;
}

void TestPickers::cleanup()
{
    m_fx.close();
}

void TestPickers::makeFile(const QString &name, const QByteArray &content)
{
    if (!writeFile(m_folder + u'/' + name, content))
        qFatal("cannot write %s", qPrintable(name));
}

void TestPickers::listsTheFilesOfItsTypes()
{
    QStringList listed, all;
    QString allPattern;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *picker = static_cast<PicSelector *>(d);
        listed = picker->listedFiles();
        child<QComboBox>(d, "PatternCombo")->setCurrentIndex(1);
        allPattern = picker->filePattern();
        all = picker->listedFiles();
        picker->chooseFile(QStringLiteral("molar.jpg"));
        return cancel(d);
    });
    PicSelector picker;
    QVERIFY(picker.SelectImage().isEmpty());
    QVERIFY(picker.chosenPath().isEmpty());
    // Extensions match in any letter case.
    QCOMPARE(listed, (QStringList{"arch.png", "broken.jpg", "CANINE.BMP", "molar.jpg"}));
    QCOMPARE(allPattern, QStringLiteral("*.*"));
    // Every file, those without a dot in their name too; folders are not files.
    QCOMPARE(all, (QStringList{"arch.png", "broken.jpg", "CANINE.BMP", "clip.avi", "molar.jpg",
                               "notes.txt", "README"}));

    // System pictures are bitmaps and JPEGs, chosen for the window that asked.
    QWidget owner;
    QWidget *parentSeen = nullptr;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        listed = static_cast<PicSelector *>(d)->listedFiles();
        parentSeen = d->parentWidget();
        static_cast<PicSelector *>(d)->chooseFile(QStringLiteral("molar.jpg"));
        click(d, "cb_ok");
        return d->result();
    });
    QCOMPARE(PicSelector().SelectSystemImage(&owner), m_folder + QStringLiteral("/molar.jpg"));
    QCOMPARE(listed, (QStringList{"broken.jpg", "CANINE.BMP", "molar.jpg"}));
    QCOMPARE(parentSeen, &owner);
}

void TestPickers::doneNeedsAChoiceButNotAReadableOne()
{
    bool stayedOpen = false, previewShown = false, invalid = false;
    QString caption;
    m_fx.dialogs->pushAnswer(Answer::Ok);
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *picker = static_cast<PicSelector *>(d);
        click(d, "cb_ok");
        stayedOpen = d->isVisible();
        picker->chooseFile(QStringLiteral("arch.png"));
        caption = d->windowTitle();
        auto *preview = child<ImgView>(d, "ImxPreview");
        previewShown = QTest::qWaitFor([&] { return preview->hasPicture(); }, 10000);
        // A picture the preview cannot read may still be chosen.
        picker->chooseFile(QStringLiteral("broken.jpg"));
        invalid = QTest::qWaitFor(
            [&] { return d->windowTitle() == QLatin1String("Viewer [Invalid picture]"); }, 10000);
        click(d, "cb_ok");
        return d->result();
    });
    PicSelector::lastChosenImage().clear();
    const QString chosen = PicSelector().SelectImage();
    QVERIFY(stayedOpen);
    QCOMPARE(messageTexts(*m_fx.dialogs),
             QStringList{"You need to select an Image before proceeding "});
    QCOMPARE(caption, QStringLiteral("Viewer [%1/arch.png]").arg(m_folder));
    QVERIFY(previewShown);
    QVERIFY(invalid);
    QCOMPARE(chosen, m_folder + QStringLiteral("/broken.jpg"));
    QCOMPARE(PicSelector::lastChosenImage(), chosen);
}

void TestPickers::folderIsRememberedAndHelpAsked()
{
    const QString sub = m_folder + QStringLiteral("/sub");
    QString firstFolder;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        firstFolder = static_cast<PicSelector *>(d)->currentFolder();
        // Down into "sub" the way a user goes, by activating it in the folder list.
        auto *folders = child<QListWidget>(d, "DirList");
        const auto found = folders->findItems(QStringLiteral("sub"), Qt::MatchExactly);
        if (!found.isEmpty())
            Q_EMIT folders->itemActivated(found.first());
        QTest::keyClick(child<QListWidget>(d, "FileList"), Qt::Key_F1);
        return cancel(d);
    });
    PicSelector().SelectImage();
    QCOMPARE(firstFolder, m_folder);
    QCOMPARE(lastPickerFolder(), sub);
    QVERIFY(!lastPickerDrive().isEmpty());

    // The video chooser shares the memory.
    QString secondFolder, up;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        secondFolder = static_cast<VidSelector *>(d)->currentFolder();
        auto *folders = child<QListWidget>(d, "DirList");
        up = folders->item(0)->text();
        Q_EMIT folders->itemActivated(folders->item(0));
        QTest::keyClick(d, Qt::Key_F1);
        return cancel(d);
    });
    VidSelector().SelectVideo();
    QCOMPARE(secondFolder, sub);
    QCOMPARE(up, QStringLiteral(".."));
    QCOMPARE(lastPickerFolder(), m_folder);
    // F1 asked each window's own help topic.
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("ShowHelp")), (QStringList{"W208.htm", "W158.htm"}));

    // A folder that is gone is not gone back to; a drive opens at its top.
    QTemporaryDir gone;
    const QString vanished = gone.path();
    gone.remove();
    lastPickerFolder() = vanished;
    QString folder, atDriveRoot;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        folder = static_cast<PicSelector *>(d)->currentFolder();
        auto *drives = child<QComboBox>(d, "DriveList");
        const int root = drives->findData(QStringLiteral("/"));
        drives->setCurrentIndex(root);
        Q_EMIT drives->activated(root);
        atDriveRoot = static_cast<PicSelector *>(d)->currentFolder();
        return cancel(d);
    });
    PicSelector().SelectImage();
    QVERIFY(folder != vanished && QFileInfo(folder).isDir());
    QCOMPARE(atDriveRoot, QStringLiteral("/"));
    QCOMPARE(lastPickerDrive(), QStringLiteral("/"));
}

void TestPickers::videoChooser()
{
    QStringList listed;
    bool stayedOpen = false, invalid = false;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *picker = static_cast<VidSelector *>(d);
        listed = picker->listedFiles();
        click(d, "cb_ok"); // nothing chosen yet: stays open, says nothing
        stayedOpen = d->isVisible();
        picker->chooseFile(QStringLiteral("clip.avi"));
        invalid = QTest::qWaitFor(
            [&] { return d->windowTitle() == QLatin1String("Viewer [Invalid video]"); }, 15000);
        click(d, "cb_ok");
        return d->result();
    });
    QCOMPARE(VidSelector().SelectVideo(), m_folder + QStringLiteral("/clip.avi"));
    QCOMPARE(listed, QStringList{"clip.avi"});
    QVERIFY(stayedOpen);
    QVERIFY(invalid);
    QVERIFY(messageTexts(*m_fx.dialogs).isEmpty());
}

void TestPickers::videoPreviewIsAFrameThatPlaysWhenClicked()
{
    const QString folder = m_dir.filePath(QStringLiteral("videos"));
    QVERIFY(QDir().mkpath(folder));
    if (makeClip(folder + QStringLiteral("/red.avi"), QSize(160, 120), 50, QStringLiteral("red")).isEmpty())
        QSKIP("gst-launch-1.0 is not installed; the setup script installs it");
    lastPickerFolder() = folder;
    bool framed = false, marked = false, waited = false, played = false;
    QColor centre;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        auto *picker = static_cast<VidSelector *>(d);
        picker->chooseFile(QStringLiteral("red.avi"));
        auto *frame = child<ImgView>(d, "ImxVideoFrame");
        auto *player = child<VidPlay>(d, "VidPreview");
        framed = QTest::qWaitFor([&] { return frame->hasPicture(); }, 20000);
        const QImage shown = frame->shownImage();
        centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
        marked = frame->hasPlayMark();
        // Nothing plays until asked.
        waited = frame->isVisible() && !player->isVisible();
        QTest::qWaitFor([&] { return player->isLoaded(); }, 20000);
        QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(10, 10));
        played = player->isVisible() && !frame->isVisible();
        return cancel(d);
    });
    VidSelector().SelectVideo();
    QVERIFY(framed);
    QVERIFY2(centre.red() > 200 && centre.green() < 60, qPrintable(centre.name()));
    QVERIFY(marked);
    QVERIFY(waited);
    QVERIFY(played);
}

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
