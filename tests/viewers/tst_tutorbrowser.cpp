#include "viewers/tovrabrowser.h"
#include "viewers/tovratutor.h"
#include "viewers/vidplaywindow.h"

#include "controls/vidplay.h"
#include "support/mediafixtures.h"
#include "viewerfixture.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWebEngineView>

#include <tovradocs/mediamanager.h>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

static int folderPrompts(const ScriptedResponder &responder)
{
    int count = 0;
    for (const Prompt &prompt : responder.prompts())
        count += prompt.kind == Prompt::Folder ? 1 : 0;
    return count;
}

class TestTutorBrowser : public QObject, public ViewerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(openPractice());
        m_host->ExecuteStmt(false, QStringLiteral("Delete From Videos"));
        m_host->ExecuteStmt(false, QStringLiteral("Insert Into Videos (Entry_Code, Description, FileName) Values (7, 'Flossing', '\\flossing.avi')"));
        m_host->ExecuteStmt(false, QStringLiteral("Insert Into Videos (Entry_Code, Description, FileName) Values (9, 'Brushing', '\\brushing.avi')"));
        m_folder = m_dir.filePath(QStringLiteral("Tutorials"));
        QVERIFY(QDir().mkpath(m_folder));
        if (canMakeClips())
            QVERIFY(!makeClip(m_folder + QStringLiteral("/brushing.avi"), {160, 120}, 25).isEmpty());
    }

    void init()
    {
        startTest();
        setTutorialFolder(m_folder);
    }

    void cleanup() { endTest(); }

    void tutorListsTheVideosAndPlaysTheChosenOne()
    {
        if (!canMakeClips())
            QSKIP("gst-launch-1.0 is needed to make the tutorial clip");
        auto *tutor = new TovraTutor;
        QCOMPARE(tutor->windowTitle(), QStringLiteral("Video Tutorials"));
        QComboBox *videos = child<QComboBox>(tutor, "cboVideos");
        QCOMPARE(videos->count(), 2);
        QCOMPARE(videos->itemText(0), QStringLiteral("Brushing"));
        QCOMPARE(videos->itemData(0).toInt(), 9);
        QCOMPARE(videos->currentIndex(), -1);
        tutor->ShowTutorial(9);
        QVERIFY(tutor->isVisible());
        auto *player = tutor->findChild<VidPlayWindow *>();
        QVERIFY(player);
        QCOMPARE(player->windowTitle(), QStringLiteral("Brushing"));
        QCOMPARE(player->videoBox(0)->fileName(), m_folder + QStringLiteral("/brushing.avi"));
        QVERIFY(tutor->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).isEmpty());
    }

    void missingTutorialKeepsTheRememberedFolder()
    {
        auto *tutor = new TovraTutor;
        tutor->ShowTutorial(7);
        const QStringList messages = m_link->callsOf(QStringLiteral("PassMessage"));
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first(), QStringLiteral("Video file : ") + m_folder
                                       + QStringLiteral("/flossing.avi not found , 0, , 0"));
        QVERIFY(!tutor->findChild<VidPlayWindow *>());
        QCOMPARE(tutorialFolder(), m_folder);
        QCOMPARE(folderPrompts(*m_responder), 0);
    }

    void removedFolderIsAskedForAndRemembered()
    {
        setTutorialFolder(m_dir.filePath(QStringLiteral("removed")));
        // First asked: the user cancels and is told why nothing plays.
        m_responder->pushText(std::nullopt);
        auto *tutor = new TovraTutor;
        tutor->ShowTutorial(9);
        QCOMPARE(folderPrompts(*m_responder), 1);
        QCOMPARE(m_responder->prompts().first().title, QStringLiteral("Specify Backup Location"));
        QCOMPARE(m_link->callsOf(QStringLiteral("PassMessage")).size(), 1);
        QVERIFY(!tutor->findChild<VidPlayWindow *>());
        // Then the user names the folder that holds the file: it is remembered.
        if (!canMakeClips())
            return;
        m_responder->pushText(m_folder);
        child<QComboBox>(tutor, "cboVideos")->setCurrentIndex(-1);
        tutor->ShowTutorial(9);
        QCOMPARE(tutorialFolder(), m_folder);
        QVERIFY(tutor->findChild<VidPlayWindow *>());
    }

    void demoPracticeShipsPlayableTutorials()
    {
        if (!canMakeClips())
            QSKIP("gst-launch-1.0 is needed for the demo tutorials");
        setTutorialFolder(QString());
        QTemporaryDir practice;
        auto demo = openTestHost(practice.path(), true);
        QVERIFY(demo);
        QCOMPARE(scalar(*demo, QStringLiteral("Select Count(*) From Videos")), 2);
        const QString folder = demo->GetLibraryFilesFolder() + QStringLiteral("/Tutorials");
        QCOMPARE(tutorialFolder(), folder);
        std::unique_ptr<Recordset> rows;
        demo->FillLibRecordSet(rows, QStringLiteral("Select * From Videos Order by Description"));
        for (; rows && !rows->isEof(); rows->moveNext()) {
            const QString path = QString(folder + rows->value(QStringLiteral("FileName")).toString())
                                     .replace(u'\\', u'/');
            VidPlay video;
            video.setMuted(true);
            QSignalSpy loaded(&video, &VidPlay::loaded);
            video.open(path);
            QVERIFY2(loaded.wait(10000), qPrintable(path));
            QVERIFY(loaded.first().first().toBool());
        }
    }

    void browserTakesThePageTitleAndListsEachAddressOnce()
    {
        const QString page = m_dir.filePath(QStringLiteral("page.html"));
        QVERIFY(writeFile(page, "<html><head><title>Practice News</title></head><body>Hello</body></html>"));
        const QString address = QUrl::fromLocalFile(page).toString();
        auto *browser = new TovraBrowser;
        QSignalSpy loaded(browser, &TovraBrowser::pageLoaded);
        QVERIFY(browser->Open(address, QStringLiteral("News")));
        QVERIFY(browser->isVisible());
        QVERIFY(loaded.wait(20000));
        QVERIFY(loaded.last().first().toBool());
        QTRY_COMPARE_WITH_TIMEOUT(browser->windowTitle(), QStringLiteral("Practice News"), 10000);
        QComboBox *addresses = child<QComboBox>(browser, "cboAddress");
        QCOMPARE(addresses->currentText(), address);
        QCOMPARE(addresses->findText(address), addresses->count() - 1);
        const int count = addresses->count();

        // The same address again, typed and entered.
        addresses->setCurrentText(address);
        QTest::keyClick(addresses->lineEdit(), Qt::Key_Return);
        QVERIFY(loaded.wait(20000));
        QCOMPARE(addresses->count(), count);
        // Home goes back to the address the window was opened on.
        browser->toolbarCommand(QStringLiteral("Home"));
        QVERIFY(loaded.wait(20000));
        QCOMPARE(addresses->count(), count);
        QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).isEmpty());
    }

    void unresolvableAddressSaysSo()
    {
        auto *browser = new TovraBrowser;
        QSignalSpy loaded(browser, &TovraBrowser::pageLoaded);
        const QString gone = QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("nowhere.html"))).toString();
        browser->Open(gone, QStringLiteral("Nowhere"));
        QVERIFY(loaded.wait(20000));
        QVERIFY(!loaded.last().first().toBool());
        const QStringList messages = m_link->callsOf(QStringLiteral("PassMessage"));
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().contains(QStringLiteral("cannot be shown")));
        QVERIFY(browser->isVisible());
    }

    void viewFileAndVisitSiteOpenTheWebPageWindow()
    {
        const QString page = m_dir.filePath(QStringLiteral("leaflet.htm"));
        QVERIFY(writeFile(page, "<html><head><title>Leaflet</title></head><body>Care</body></html>"));
        auto browsers = [] {
            QList<TovraBrowser *> found;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *b = qobject_cast<TovraBrowser *>(w); b && b->isVisible())
                    found << b;
            return found;
        };
        MediaManager manager;
        QVERIFY(manager.ViewFile(page, QStringLiteral("Leaflet")));
        QCOMPARE(browsers().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(browsers().first()->windowTitle(), QStringLiteral("Leaflet"), 20000);
        // "file:" addresses lose their scheme before the window gets them.
        manager.VisitSiteInline(QUrl::fromLocalFile(page).toString(), QStringLiteral("Site"));
        QCOMPARE(browsers().size(), 2);
    }

private:
    QString m_folder;
};

int main(int argc, char **argv)
{
    prepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestTutorBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tutorbrowser.moc"
