#include "libraryfixture.h"

#include "component/dialogservice.h"
#include "controls/slidefx.h"
#include "controls/vidplay.h"
#include "support/mediafixtures.h"
#include "viewers/showman.h"
#include "viewers/vidplaywindow.h"

#include <tovradocs/mediamanager.h>

#include <QAction>
#include <QCheckBox>
#include <QScreen>
#include <QLineEdit>
#include <QTimer>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

// The library's commands that open the player, the slide show and its settings.
class TestLibraryViewers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void compareOfVideosOpensOnePlayerRepeatingAsTheBookSays();
    void compareOfOneVideoPlaysIt();
    void slideShowTakesEveryPictureAndVideo();
    void slideShowKeepsEachEntrysOnScreenTime();
    void viewFileSendsVideosToThePlayer();

private:
    LibraryFixture m_fx;
    QTemporaryDir m_clips;
    QString m_before;
    QString m_after;
};

void TestLibraryViewers::initTestCase()
{
    if (!canMakeClips())
        QSKIP("gst-launch-1.0 is needed to make the test clips");
    m_before = makeClip(m_clips.filePath(QStringLiteral("before.avi")), {160, 120}, 25);
    m_after = makeClip(m_clips.filePath(QStringLiteral("after.avi")), {160, 120}, 25, QStringLiteral("ball"));
    QVERIFY(!m_before.isEmpty() && !m_after.isEmpty());
}

void TestLibraryViewers::init()
{
    QVERIFY(m_fx.open());
    m_fx.addBook(1, QStringLiteral("Ortho videos"), 0);
    m_fx.exec(QStringLiteral("Update Books Set Repeat = true where Entry_Code = 1"));
    m_fx.addPage(10, 1, m_before, 2, QStringLiteral("Before"));
    m_fx.addPage(11, 1, m_after, 2, QStringLiteral("After"));
    m_fx.addBook(2, QStringLiteral("Mixed"), 0);
    m_fx.addPage(20, 2, m_before, 2, QStringLiteral("Before"));
    m_fx.addPage(21, 2, m_after, 2, QStringLiteral("After"));
    m_fx.addPictures(2, 22, {QStringLiteral("Smile")});
    m_fx.addPage(23, 2, m_fx.path(QStringLiteral("letter.txt")), 3, QStringLiteral("Letter"));
}

void TestLibraryViewers::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<VidPlayWindow *>(w) || qobject_cast<ShowMan *>(w))
            w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_fx.close();
}

void TestLibraryViewers::compareOfVideosOpensOnePlayerRepeatingAsTheBookSays()
{
    auto lib = m_fx.openLibrary(1);
    lib->command(QStringLiteral("Select All"))->trigger();
    lib->tbrExportCommand(QStringLiteral("SelViewWindow"));
    const auto players = m_fx.shownWindows<VidPlayWindow>();
    QCOMPARE(players.size(), 1);
    VidPlayWindow *player = players.first();
    QCOMPARE(player->videoCount(), 2);
    QVERIFY(!player->isSingleVideo());
    QCOMPARE(player->videoBox(0)->fileName(), m_before);
    QCOMPARE(player->videoBox(1)->fileName(), m_after);
    QVERIFY(player->repeatTimer()->isActive());
    QCOMPARE(m_fx.dialogs->prompts().size(), 0);
    player->close();

    // "Edit Slideshow" opens the settings of the book shown.
    QString name;
    m_fx.dialogs->pushModal([&](QDialog *d) {
        name = child<QLineEdit>(d, "txtDescription")->text();
        return int(QDialog::Rejected);
    });
    lib->tbrLibCommand(QStringLiteral("Edit Slideshow"));
    QCOMPARE(name, QStringLiteral("Ortho videos"));

    // With a picture among them the image viewer compares them.
    auto *books = child<QComboBox>(lib, "cboBooks");
    books->setCurrentIndex(books->findData(2));
    lib->command(QStringLiteral("Select All"))->trigger();
    m_fx.dialogs->pushModal([&](QDialog *d) {
        name = d->objectName();
        return int(QDialog::Rejected);
    });
    lib->tbrExportCommand(QStringLiteral("SelViewWindow"));
    QCOMPARE(name, QStringLiteral("ViewImg"));
    QVERIFY(m_fx.shownWindows<VidPlayWindow>().isEmpty());
}

void TestLibraryViewers::compareOfOneVideoPlaysIt()
{
    auto lib = m_fx.openLibrary(1);
    // Nothing chosen: the user is told what the command needs.
    lib->tbrExportCommand(QStringLiteral("SelViewWindow"));
    QCOMPARE(messageTexts(*m_fx.dialogs), QStringList{"Select the pictures or videos to compare first."});
    QVERIFY(m_fx.shownWindows<VidPlayWindow>().isEmpty());

    lib->findChild<QCheckBox *>(QStringLiteral("chkEntries_1"))->click();
    m_fx.dialogs->clearPrompts();
    lib->tbrExportCommand(QStringLiteral("SelViewWindow"));
    const auto players = m_fx.shownWindows<VidPlayWindow>();
    QCOMPARE(players.size(), 1);
    QVERIFY(players.first()->isSingleVideo());
    QCOMPARE(players.first()->videoBox(0)->fileName(), m_after);
    QCOMPARE(players.first()->windowTitle(), QStringLiteral("After"));
    QVERIFY(m_fx.dialogs->prompts().isEmpty());
}

void TestLibraryViewers::slideShowTakesEveryPictureAndVideo()
{
    auto lib = m_fx.openLibrary(2);
    // Nothing selected: the show still takes every picture and video, no documents.
    lib->tbrExportCommand(QStringLiteral("SelViewShow"));
    const auto shows = m_fx.shownWindows<ShowMan>();
    QCOMPARE(shows.size(), 1);
    ShowMan *show = shows.first();
    QTRY_COMPARE_WITH_TIMEOUT(show->slideControl()->currentFile(), m_before, 5000);
    // A clip stays until it has played to its end, then the show moves on.
    show->tick();
    QTRY_COMPARE_WITH_TIMEOUT(show->slideControl()->currentFile(), m_after, 15000);
    show->tick();
    QTRY_VERIFY_WITH_TIMEOUT(show->slideControl()->currentFile().endsWith(QLatin1String("22.png")), 5000);
    show->tick(); // the text document is not part of the show
    QCOMPARE(show->currentItem(), 0);
    QVERIFY(!show->isVisible());
}

void TestLibraryViewers::slideShowKeepsEachEntrysOnScreenTime()
{
    // 5 s for the first video, none set for the second, 9 s for the picture.
    m_fx.exec(QStringLiteral("Update BookContents Set OnScreenTime = 5 where Entry_Code = 20"));
    m_fx.exec(QStringLiteral("Update BookContents Set OnScreenTime = Null where Entry_Code = 21"));
    m_fx.exec(QStringLiteral("Update BookContents Set OnScreenTime = 9 where Entry_Code = 22"));
    auto lib = m_fx.openLibrary(2);
    lib->tbrExportCommand(QStringLiteral("SelViewShow"));
    const auto shows = m_fx.shownWindows<ShowMan>();
    QCOMPARE(shows.size(), 1);
    ShowMan *show = shows.first();
    QCOMPARE((QList<int>{show->holdTime(1), show->holdTime(2), show->holdTime(3)}),
             (QList<int>{5000, 2000, 9000}));
    QTRY_VERIFY_WITH_TIMEOUT(show->slideTimer()->isActive(), 5000);
    QCOMPARE(show->slideTimer()->interval(), 5000);
    // Opened from the library, the show stands in the middle of its screen.
    QCOMPARE(show->geometry().center(), lib->screen()->availableGeometry().center());
}

void TestLibraryViewers::viewFileSendsVideosToThePlayer()
{
    MediaManager manager;
    QVERIFY(manager.ViewFile(m_after, QStringLiteral("After")));
    const auto players = m_fx.shownWindows<VidPlayWindow>();
    QCOMPARE(players.size(), 1);
    QVERIFY(players.first()->isSingleVideo());
    QCOMPARE(players.first()->videoBox(0)->fileName(), m_after);
    QVERIFY(!manager.ViewFile(m_fx.path(QStringLiteral("gone.avi")), QString()));
    QCOMPARE(m_fx.shownWindows<VidPlayWindow>().size(), 1);
}

QTEST_MAIN(TestLibraryViewers)
#include "tst_libraryviewers.moc"
