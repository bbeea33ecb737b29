#include "icons/folderbrowser.h"
#include "icons/iconeditor.h"
#include "icons/icongrabber.h"
#include "icons/iconlib.h"
#include "icons/viewicon.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <tovradocs/iconlibrary.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

IconImage filled(QRgb colour)
{
    Planes p = Planes::blank();
    p.image.fill(colour);
    p.mask.fill(0xff000000);
    return p.toIcon();
}

bool run(const QString &program, const QStringList &args)
{
    QProcess proc;
    proc.start(program, args);
    return proc.waitForFinished(30000) && proc.exitCode() == 0;
}

} // namespace

class TestIconWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void setArithmetic_data();
    void setArithmetic();
    void librarySets();
    void libraryDeliversOrLeavesTheBoard();
    void grabberPattern_data();
    void grabberPattern();
    void grabberWithoutTypes();
    void grabberReadsLibrariesAndSkipsDamage();
    void viewerRefusesBadFiles();
    void viewerLimitAndOpen();

private:
    QTemporaryDir m_dir;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_link;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<ResponderGuard> m_guard;
};

void TestIconWindows::initTestCase()
{
    QVERIFY(m_dir.isValid());
    IconKit::setSettingsFolder(m_dir.filePath(QStringLiteral("config")));
    m_host = openTestHost(m_dir.filePath(QStringLiteral("host")));
    QVERIFY(m_host);
}

void TestIconWindows::init()
{
    m_link = std::make_shared<RecordingDataLink>(m_host);
    setHostLink(m_link, nullptr);
    m_responder = std::make_unique<ScriptedResponder>();
    m_guard = std::make_unique<ResponderGuard>(m_responder.get());
}

void TestIconWindows::cleanup()
{
    m_guard.reset();
    m_responder.reset();
    clearHostLink();
}

void TestIconWindows::setArithmetic_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("set 1") << "T1" << 101 << 150;
    QTest::newRow("set 2") << "T2" << 151 << 200;
    QTest::newRow("set 15 stops at 814") << "T15" << 801 << 814;
    QTest::newRow("empty key") << "" << 101 << 150;
    QTest::newRow("below 1") << "T-4" << 101 << 150;
}

void TestIconWindows::setArithmetic()
{
    QFETCH(QString, key);
    QFETCH(int, first);
    QFETCH(int, last);
    const auto range = IconLib::setRange(IconLib::setOfKey(key));
    QCOMPARE(range.first, first);
    QCOMPARE(range.second, last);
}

void TestIconWindows::librarySets()
{
    for (int n : {101, 450, 814}) {
        const IconImage icon = IconLib::icon(n);
        QCOMPARE(icon.size(), QSize(32, 32));
    }
    QVERIFY(IconLib::icon(815).isNull());

    IconLib window(nullptr, nullptr);
    QCOMPARE(window.windowTitle(), QStringLiteral("Tovra Icons"));
    auto *tabs = child<QTabBar>(&window, "TabSet");
    auto *list = child<QListWidget>(&window, "lvw_icons");
    auto *status = child<QStatusBar>(&window, "st_status");
    QCOMPARE(tabs->count(), 15);
    QCOMPARE(tabs->tabText(14), QStringLiteral("15"));
    QCOMPARE(tabs->tabData(14).toString(), QStringLiteral("T15"));
    QCOMPARE(list->count(), 50);
    QCOMPARE(list->item(0)->text(), QStringLiteral("101"));
    QCOMPARE(list->item(0)->data(Qt::UserRole).toString(), QStringLiteral("I101"));
    QCOMPARE(status->currentMessage(), QStringLiteral("Total Icons :  50"));

    QElapsedTimer timer;
    timer.start();
    tabs->setCurrentIndex(14);
    qInfo() << "set of 14 shown in" << timer.elapsed() << "ms";
    QCOMPARE(list->count(), 14);
    QCOMPARE(list->item(13)->text(), QStringLiteral("814"));
    QCOMPARE(list->currentRow(), 0);
    list->setCurrentRow(3);
    QCOMPARE(status->currentMessage(), QStringLiteral("Selected Icon No : 804"));
}

void TestIconWindows::libraryDeliversOrLeavesTheBoard()
{
    QLabel board(QStringLiteral("before"));
    IconLibrary library;
    m_responder->pushModal([](QDialog *d) {
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cb_Cancel")), Qt::LeftButton);
        return d->result();
    });
    QVERIFY(!library.ShowIconLib(nullptr, &board));
    QCOMPARE(board.text(), QStringLiteral("before"));

    m_responder->pushModal([](QDialog *d) {
        d->findChild<QListWidget *>(QStringLiteral("lvw_icons"))->setCurrentRow(2);
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cb_ok")), Qt::LeftButton);
        return d->result();
    });
    QVERIFY(!library.ShowIconLib(nullptr, &board));
    QCOMPARE(board.pixmap().toImage(), QPixmap::fromImage(IconLib::icon(103).toImage()).toImage());
}

void TestIconWindows::grabberPattern_data()
{
    QTest::addColumn<int>("checked"); // bits: Exe, Dll, Ico, Others
    QTest::addColumn<QString>("pattern");
    QTest::newRow("none") << 0 << "*.xxx";
    QTest::newRow("exe and dll") << 3 << "*.xxx;*.Exe;*.Dll";
    QTest::newRow("exe and ico") << 5 << "*.xxx;*.Exe;*.Ico";
    QTest::newRow("others win") << 9 << "*.*";
}

void TestIconWindows::grabberPattern()
{
    QFETCH(int, checked);
    QFETCH(QString, pattern);
    QCOMPARE(IconGrabber::patternFor(checked & 1, checked & 2, checked & 4, checked & 8), pattern);
}

void TestIconWindows::grabberWithoutTypes()
{
    IconGrabber grabber(nullptr, nullptr);
    QSignalSpy finished(&grabber, &IconGrabber::grabFinished);
    for (int i : {0, 1, 2})
        child<QCheckBox>(&grabber, QStringLiteral("chk_look_%1").arg(i).toLatin1().constData())->setChecked(false);
    QCOMPARE(child<QListWidget>(&grabber, "File1")->count(), 0);
    QCOMPARE(child<QStatusBar>(&grabber, "st_status")->currentMessage(), QStringLiteral("No Files available"));
}

void TestIconWindows::grabberReadsLibrariesAndSkipsDamage()
{
    if (QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-windres")).isEmpty())
        QSKIP("MinGW binutils are not installed (scripts/setup-debian.sh installs them)");
    const QString folder = m_dir.filePath(QStringLiteral("programs"));
    QVERIFY(QDir().mkpath(folder));
    const QList<QRgb> colours = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)};
    QString rc;
    for (int i = 0; i < colours.size(); ++i) {
        const QString ico = m_dir.filePath(QStringLiteral("c%1.ico").arg(i));
        QVERIFY(Ico::writeFile(ico, filled(colours.at(i))));
        rc += QStringLiteral("%1 ICON \"%2\"\n").arg(i + 1).arg(ico);
    }
    QFile rcFile(m_dir.filePath(QStringLiteral("g.rc")));
    QVERIFY(rcFile.open(QIODevice::WriteOnly));
    rcFile.write(rc.toUtf8());
    rcFile.close();
    const QString obj = m_dir.filePath(QStringLiteral("g.o"));
    QVERIFY(run(QStringLiteral("x86_64-w64-mingw32-windres"),
                {QStringLiteral("--preprocessor=cpp"), rcFile.fileName(), QStringLiteral("-O"),
                 QStringLiteral("coff"), QStringLiteral("-o"), obj}));
    QVERIFY(run(QStringLiteral("x86_64-w64-mingw32-ld"),
                {QStringLiteral("-shared"), QStringLiteral("-e"), QStringLiteral("0"), QStringLiteral("-o"),
                 folder + QStringLiteral("/three.dll"), obj}));
    QFile good(folder + QStringLiteral("/three.dll"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    QVERIFY(writeFile(folder + QStringLiteral("/broken.dll"), bytes.left(bytes.size() - 400)));
    QVERIFY(writeFile(folder + QStringLiteral("/notes.exe"), QByteArray("plain text, not a program")));
    QVERIFY(writeFile(folder + QStringLiteral("/MZ.dll"), QByteArray("MZ") + QByteArray(100, '\xff')));
    QVERIFY(Ico::writeFile(folder + QStringLiteral("/single.ico"), filled(qRgb(9, 9, 9))));

    IconGrabber grabber(nullptr, nullptr);
    QSignalSpy finished(&grabber, &IconGrabber::grabFinished);
    grabber.setFolder(folder);
    QVERIFY(finished.wait(10000));
    auto *list = child<QListWidget>(&grabber, "lvw_icons");
    QStringList keys;
    for (int i = 0; i < list->count(); ++i)
        keys << list->item(i)->text();
    QVERIFY2(keys.contains(QStringLiteral("three.dll - 1")) && keys.contains(QStringLiteral("three.dll - 3"))
                 && keys.contains(QStringLiteral("single.ico - 1")),
             qPrintable(keys.join(u',')));
    QVERIFY(!keys.contains(QStringLiteral("notes.exe - 1")));
    QVERIFY(!keys.contains(QStringLiteral("MZ.dll - 1")));
    QCOMPARE(child<QStatusBar>(&grabber, "st_status")->currentMessage(),
             QStringLiteral("Total Icons :  %1").arg(list->count()));
    list->setCurrentRow(keys.indexOf(QStringLiteral("three.dll - 2")));
    QCOMPARE(child<QStatusBar>(&grabber, "st_status")->currentMessage(), QStringLiteral("selected : three.dll - 2"));
    const QImage shown = child<QLabel>(&grabber, "pic_icon")->pixmap().toImage();
    QCOMPARE(shown.pixel(10, 10) & 0xffffff, qRgb(0, 200, 0) & 0xffffff);

    QLabel board;
    m_responder->pushModal([](QDialog *d) {
        auto *g = qobject_cast<IconGrabber *>(d);
        g->grab();
        QSignalSpy done(g, &IconGrabber::grabFinished);
        done.wait(10000);
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cb_ok")), Qt::LeftButton);
        return d->result();
    });
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder);
    IconLibrary().GrabIcons(nullptr, &board);
    QDir::setCurrent(before);
    QVERIFY(!board.pixmap().isNull());
}

void TestIconWindows::viewerRefusesBadFiles()
{
    const QString folder = m_dir.filePath(QStringLiteral("viewer-bad"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + QStringLiteral("/bad.ico"), QByteArray("not an icon")));
    IconEditor editor(nullptr, nullptr);
    ViewIcon viewer(nullptr, &editor);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Icon Explorer"));
    viewer.browser().setFolder(folder);
    viewer.selectFile(0);
    const QList<Prompt> prompts = m_responder->prompts();
    QCOMPARE(prompts.size(), 1);
    QCOMPARE(prompts.first().title, QStringLiteral("Bad File"));
    QCOMPARE(prompts.first().text, QStringLiteral("bad.ico is not a standard ICON file"));
    QVERIFY(!viewer.item("Menu_Edit", 0)->isEnabled());
    QCOMPARE(child<QLineEdit>(&viewer, "Txt_FileName")->text(), QStringLiteral("bad.ico"));
}

void TestIconWindows::viewerLimitAndOpen()
{
    const QString folder = m_dir.filePath(QStringLiteral("viewer-many"));
    QVERIFY(QDir().mkpath(folder));
    const QByteArray icon = Ico::write(filled(qRgb(0, 0, 255)));
    for (int i = 0; i < ViewIcon::MaxIcons; ++i)
        QVERIFY(writeFile(folder + QStringLiteral("/i%1.ico").arg(i, 3, 10, QLatin1Char('0')), icon));
    IconEditor editor(nullptr, nullptr);
    ViewIcon viewer(nullptr, &editor);
    viewer.browser().setFolder(folder);
    viewer.item("Menu_Options", 1)->trigger();
    QCOMPARE(child<QLabel>(&viewer, "Pic_IconCount")->text(), QStringLiteral("900 Icons Loaded"));
    QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).isEmpty());

    // Pressing a cell selects its file; double-clicking opens it in the editor.
    QWidget *all = child(&viewer, "Pic_AllIcons");
    all->resize(10 * ViewIcon::Cell, 4 * ViewIcon::Cell);
    QTest::mouseDClick(all, Qt::LeftButton, {}, QPoint(2 * ViewIcon::Cell + 5, ViewIcon::Cell + 5));
    QCOMPARE(viewer.browser().currentFile(), QStringLiteral("i012.ico"));
    QCOMPARE(editor.kit().slot().fileName, QStringLiteral("i012.ico"));
    QCOMPARE(editor.kit().planes.image.pixel(3, 3), qRgb(0, 0, 255));

    QVERIFY(writeFile(folder + QStringLiteral("/z.ico"), icon));
    viewer.browser().setFolder(folder);
    viewer.item("Menu_Options", 1)->trigger();
    QCOMPARE(m_link->callsOf(QStringLiteral("PassMessage")).size(), 1);
    QVERIFY(m_link->callsOf(QStringLiteral("PassMessage")).first().contains(
        QStringLiteral("Can display upto a maximum of 900 icons")));

}

QTEST_MAIN(TestIconWindows)
#include "tst_iconwindows.moc"
