// F1 in every window that has a help number asks the host for that window's
// topic. The table must name every number the sources declare, so a new
// window cannot be left without its key handler unnoticed.
#include "capture/testjoystick.h"
#include "icons/colorpalette.h"
#include "icons/iconeditor.h"
#include "icons/iconkit.h"
#include "library/mountwindow.h"
#include "library/picselector.h"
#include "library/tovralib.h"
#include "library/vidselector.h"
#include "viewers/edittovrashow.h"
#include "viewers/tovrabrowser.h"
#include "viewers/tovratutor.h"
#include "viewers/vidplaywindow.h"
#include "viewers/viewimg.h"

#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

struct HelpWindow
{
    const char *name;
    qint32 id;
    // Makes the window; the test deletes it.
    std::function<QWidget *()> make;
};

// A picture for the viewer, and the icon editor a palette dialog belongs to.
QString g_picture;
std::unique_ptr<QLabel> g_board;
std::unique_ptr<IconEditor> g_editor;

const QList<HelpWindow> &helpWindows()
{
    static const QList<HelpWindow> windows = {
        {"TestJoystick", 27, [] { return new TestJoystick(-1, nullptr); }},
        {"TovraLib", 130, [] { return new TovraLib(nullptr); }},
        {"VidSelector", 158, [] { return new VidSelector(nullptr); }},
        {"ViewImg", 201,
         [] {
             // An empty viewer closes itself at once.
             auto *viewer = new ViewImg(nullptr);
             viewer->ViewSingleImage(g_picture, QStringLiteral("Molar"));
             return viewer;
         }},
        {"VidPlayWindow", 202, [] { return new VidPlayWindow(nullptr); }},
        {"EditTovraShow", 204, [] { return new EditTovraShow(nullptr); }},
        {"TovraTutor", 205, [] { return new TovraTutor(nullptr); }},
        {"TovraBrowser", 206, [] { return new TovraBrowser(nullptr); }},
        {"PicSelector", 208, [] { return new PicSelector(nullptr); }},
        {"MountWindow", 290, [] { return new MountWindow(nullptr); }},
        {"ColorPalette", 230,
         [] {
             g_board = std::make_unique<QLabel>();
             g_editor = std::make_unique<IconEditor>(nullptr, g_board.get());
             return new ColorPalette(g_editor.get());
         }},
    };
    return windows;
}

// The help numbers the window headers declare, each with the file saying so.
QMap<qint32, QString> declaredNumbers()
{
    static const QRegularExpression declared(
        QStringLiteral(R"(GetWindowID\(\)[^{;]*\{\s*return\s+(\d+)|\bWindowId\s*=\s*(\d+))"));
    QMap<qint32, QString> numbers;
    QDirIterator it(QStringLiteral(TOVRA_SOURCE_DIR), {QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains(QLatin1String("/build/")) || path.contains(QLatin1String("/tests/")))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = declared.globalMatch(text); match.hasNext();) {
            const auto m = match.next();
            const QString number = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
            numbers.insert(number.toInt(), QDir(QStringLiteral(TOVRA_SOURCE_DIR)).relativeFilePath(path));
        }
    }
    return numbers;
}

} // namespace

class TestWindowHelp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void everyDeclaredNumberIsInTheTable();
    void f1AsksForTheWindowsTopic_data();
    void f1AsksForTheWindowsTopic();

private:
    QTemporaryDir m_dir;
    std::shared_ptr<ReferenceHost> m_host;
    std::shared_ptr<RecordingDataLink> m_link;
    ScriptedResponder m_responder;
};

void TestWindowHelp::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    IconKit::setSettingsFolder(m_dir.filePath(QStringLiteral("config")));
    g_picture = m_dir.filePath(QStringLiteral("molar.png"));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(g_picture));
    m_host = openTestHost(m_dir.filePath(QStringLiteral("host")));
    QVERIFY(m_host);
    m_link = std::make_shared<RecordingDataLink>(m_host);
    setHostLink(m_link, nullptr);
    DialogService::setResponder(&m_responder);
}

void TestWindowHelp::cleanup()
{
    g_editor.reset();
    g_board.reset();
    m_link->clear();
}

void TestWindowHelp::everyDeclaredNumberIsInTheTable()
{
    const QMap<qint32, QString> declared = declaredNumbers();
    QVERIFY(declared.size() >= 2);
    QStringList missing;
    for (auto it = declared.cbegin(); it != declared.cend(); ++it) {
        const bool listed = std::any_of(helpWindows().cbegin(), helpWindows().cend(),
                                        [&](const HelpWindow &w) { return w.id == it.key(); });
        if (!listed)
            missing << QStringLiteral("%1 (%2)").arg(it.key()).arg(it.value());
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not in the table: ") + missing.join(u", ")));
}

void TestWindowHelp::f1AsksForTheWindowsTopic_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < helpWindows().size(); ++i)
        QTest::newRow(helpWindows().at(i).name) << i;
}

void TestWindowHelp::f1AsksForTheWindowsTopic()
{
    QFETCH(int, row);
    const HelpWindow &entry = helpWindows().at(row);
    QPointer<QWidget> window = entry.make();
    QVERIFY(window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QCoreApplication::processEvents(); // a window that closes itself on showing does it now
    QVERIFY2(window && window->isVisible(), "the window closed itself");
    QWidget *focus = window->focusWidget() ? window->focusWidget() : window.data();
    m_link->clear();
    QTest::keyClick(focus, Qt::Key_F1);
    QCOMPARE(m_link->callsOf(QStringLiteral("ShowHelp")),
             QStringList(QStringLiteral("W%1.htm").arg(entry.id)));
    delete window.data();
}

int main(int argc, char **argv)
{
    prepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestWindowHelp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowhelp.moc"
