#include "libraryfixture.h"

#include "component/dialogservice.h"
#include "controls/imgview.h"
#include "library/menuman.h"
#include "viewers/menutarget.h"

#include <QAction>
#include <QClipboard>
#include <QMenu>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace menutest {

// A window that opens the menu and writes down what the menu asks of it.
class CallingWindow : public QWidget, public MenuTarget
{
public:
    QStringList calls;

    QWidget *menuWindow() override { return this; }
    void ViewEntry(const QString &file, const QString &, qint16 type, bool full) override
    {
        calls << QStringLiteral("ViewEntry %1 %2 %3").arg(file).arg(type).arg(full);
    }
    void ViewFullScreen() override { calls << QStringLiteral("ViewFullScreen"); }
    void ViewSingleImage(const QString &file, const QString &caption) override
    {
        calls << QStringLiteral("ViewSingleImage %1 %2").arg(file, caption);
    }
    void PrintImages(int index, bool single) override
    {
        calls << QStringLiteral("PrintImages %1 %2").arg(index).arg(single);
    }
    void EditPageDetails(int index) override { calls << QStringLiteral("EditPageDetails %1").arg(index); }
    void SetIndexImage(int index) override { calls << QStringLiteral("SetIndexImage %1").arg(index); }
    void DuplicateEntry(int index) override { calls << QStringLiteral("DuplicateEntry %1").arg(index); }
    void OpenInExternalEditor(int index) override
    {
        calls << QStringLiteral("OpenInExternalEditor %1").arg(index);
    }
};

// Any player with these slots answers the video menu.
class Player : public QWidget
{
    Q_OBJECT
public:
    QStringList calls;
    bool saveWorks = true;
public Q_SLOTS:
    bool saveFrame(const QString &path)
    {
        calls << QStringLiteral("saveFrame ") + path;
        return saveWorks;
    }
    void togglePause() { calls << QStringLiteral("togglePause"); }
    void rewind() { calls << QStringLiteral("rewind"); }
};

inline QList<int> shownItems(const MenuMan &menu)
{
    QList<int> shown;
    for (int i = 0; i < MenuMan::LibItemCount; ++i)
        if (menu.libItem(i)->isVisible())
            shown << i;
    return shown;
}

} // namespace menutest

using menutest::CallingWindow;
using menutest::Player;
using menutest::shownItems;

class TestMenuMan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void visibility_data();
    void visibility();
    void commandsCallBackIntoWindow();
    void pictureCommands();
    void videoMenu();

private:
    LibraryFixture m_fx;
    std::unique_ptr<CallingWindow> m_window;
};

void TestMenuMan::init()
{
    QVERIFY(m_fx.open());
    m_window = std::make_unique<CallingWindow>();
    m_window->resize(300, 200);
    m_window->show();
}

void TestMenuMan::cleanup()
{
    m_window.reset();
    m_fx.close();
}

void TestMenuMan::visibility_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("fromViewer");
    QTest::addColumn<QList<int>>("shown");
    const QList<int> all = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    const QList<int> notPicture = {0, 1, 2, 5, 7, 9, 10, 11, 12, 17, 18, 19};
    QTest::newRow("picture in library") << 1 << false << all;
    QTest::newRow("video in library") << 2 << false << notPicture;
    QTest::newRow("document in library") << 3 << false << notPicture;
    QTest::newRow("picture in viewer") << 1 << true << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 11, 12, 13, 14, 17, 18, 19};
}

void TestMenuMan::visibility()
{
    QFETCH(int, type);
    QFETCH(bool, fromViewer);
    QFETCH(QList<int>, shown);
    MenuMan *menu = MenuMan::forWindow(m_window.get());
    menu->ShowLibMenu(m_window.get(), nullptr, 0, fromViewer, qint16(type), QStringLiteral("f"),
                      QStringLiteral("d"), m_window->mapToGlobal(QPoint(10, 10)));
    QVERIFY(menu->libMenu()->isVisible());
    QVERIFY(!menu->videoMenu()->isVisible());
    QCOMPARE(shownItems(*menu), shown);
    menu->libMenu()->hide();
}

void TestMenuMan::commandsCallBackIntoWindow()
{
    MenuMan *menu = MenuMan::forWindow(m_window.get());
    menu->ShowLibMenu(m_window.get(), nullptr, 4, false, 1, QStringLiteral("/x/a.png"),
                      QStringLiteral("A"), QPoint());
    menu->libMenu()->hide();
    for (int item : {0, 1, 6, 7, 10, 16, 18, 19})
        menu->libItem(item)->trigger();
    QCOMPARE(m_window->calls,
             (QStringList{"ViewEntry /x/a.png 1 0", "ViewEntry /x/a.png 1 1", "PrintImages 4 1",
                          "PrintImages 4 0", "EditPageDetails 4", "SetIndexImage 4",
                          "DuplicateEntry 4", "OpenInExternalEditor 4"}));

    // From a viewer, Full Screen and Refresh go to the viewer's own commands.
    m_window->calls.clear();
    menu->ShowLibMenu(m_window.get(), nullptr, 0, true, 1, QStringLiteral("/x/b.png"),
                      QStringLiteral("B"), QPoint());
    menu->libMenu()->hide();
    menu->libItem(MenuMan::ViewFullScreenItem)->trigger();
    menu->libItem(MenuMan::RefreshItem)->trigger();
    QCOMPARE(m_window->calls, (QStringList{"ViewFullScreen", "ViewSingleImage /x/b.png B"}));
}

void TestMenuMan::pictureCommands()
{
    const QString file = m_fx.picture(QStringLiteral("save me.png"), Qt::green);
    ImgView picture(m_window.get());
    picture.setFileName(file);
    QVERIFY(picture.hasPicture());
    MenuMan *menu = MenuMan::forWindow(m_window.get());
    menu->ShowLibMenu(m_window.get(), &picture, 0, false, 1, file, QStringLiteral("Green"), QPoint());
    menu->libMenu()->hide();

    const QString target = m_fx.path(QStringLiteral("saved.bmp"));
    m_fx.dialogs->pushText(target);
    menu->libItem(MenuMan::SaveAsItem)->trigger();
    const Prompt asked = m_fx.dialogs->prompts().constLast();
    QCOMPARE(asked.kind, Prompt::SaveFile);
    QCOMPARE(asked.title, QStringLiteral("Save As"));
    QVERIFY2(asked.filter.contains(QStringLiteral("*.bmp")) && asked.filter.contains(QStringLiteral("*.tif")),
             qPrintable(asked.filter));
    QCOMPARE(QImage(target).pixelColor(2, 2), QColor(Qt::green));

    // Cancelled: nothing written.
    m_fx.dialogs->pushText(std::nullopt);
    QFile::remove(target);
    menu->libItem(MenuMan::SaveAsItem)->trigger();
    QVERIFY(!QFile::exists(target));

    menu->libItem(MenuMan::CopyItem)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(64, 48));

    // Adding to a book and mailing are the host's.
    m_fx.host->setMailDropFolder(m_fx.path(QString()));
    menu->libItem(MenuMan::AddToBookItem)->trigger();
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("AddFileToLib")), QStringList{file + ", 1"});
    menu->libItem(MenuMan::EmailItem)->trigger();
    QCOMPARE(m_fx.link->callsOf(QStringLiteral("EmailDocuments")).size(), 1);
}

void TestMenuMan::videoMenu()
{
    // Loading the library installs the hook viewers reach the menu through;
    // a video from a viewer gets the video menu.
    LibraryMenuHook &hook = libraryMenuHook();
    QVERIFY(hook);
    Player player;
    hook(m_window.get(), &player, 0, true, 2, QStringLiteral("v.avi"), QStringLiteral("Clip"), QPoint(5, 5));
    MenuMan *menu = m_window->findChild<MenuMan *>();
    QVERIFY(menu);
    QVERIFY(menu->videoMenu()->isVisible());
    QVERIFY(!menu->libMenu()->isVisible());
    menu->videoMenu()->hide();

    menu->videoItem(MenuMan::PauseResumeItem)->trigger();
    menu->videoItem(MenuMan::RewindItem)->trigger();
    const QString target = m_fx.path(QStringLiteral("frame.bmp"));
    m_fx.dialogs->pushText(target);
    menu->videoItem(MenuMan::SaveFrameItem)->trigger();
    QCOMPARE(player.calls, (QStringList{"togglePause", "rewind", "saveFrame " + target}));
    QCOMPARE(m_fx.dialogs->prompts().constLast().kind, Prompt::SaveFile);
    QVERIFY(m_fx.dialogs->prompts().constLast().filter.contains(QStringLiteral("*.bmp")));

    // A failed save is told, not swallowed.
    player.saveWorks = false;
    m_fx.dialogs->pushText(target);
    menu->videoItem(MenuMan::SaveFrameItem)->trigger();
    QVERIFY(m_fx.dialogs->prompts().constLast().text.contains(QStringLiteral("could not be saved")));

    // Cancelling the dialog asks nothing of the player.
    player.calls.clear();
    m_fx.dialogs->pushText(std::nullopt);
    menu->videoItem(MenuMan::SaveFrameItem)->trigger();
    QVERIFY(player.calls.isEmpty());
}

QTEST_MAIN(TestMenuMan)
#include "tst_menuman.moc"
