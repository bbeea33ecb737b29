#include "viewers/tovrabrowser.h"

#include <tovradocs/mediamanager.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <unistd.h>

using namespace tovradocs;
using namespace tovradocs::Internal;

// A host that knows nothing of the web engine's sandbox: it neither sets the
// engine's variables nor calls anything before its application object. Run
// as root, the engine would end the whole process if the web page window
// left the sandbox on.
class TestBrowserAsRoot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void visitSiteShowsThePage()
    {
        if (::geteuid() != 0)
            QSKIP("only a process running as root needs the sandbox turned off");
        if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
            QSKIP("the sandbox variable was set before the test started, as no host would");
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("hours.htm"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html><head><title>Opening hours</title></head><body>8 to 5</body></html>");
        file.close();

        MediaManager manager;
        manager.VisitSiteInline(QUrl::fromLocalFile(page).toString(), QStringLiteral("Practice"));
        TovraBrowser *browser = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<TovraBrowser *>(w); b && b->isVisible())
                browser = b;
        QVERIFY(browser);
        QTRY_COMPARE_WITH_TIMEOUT(browser->windowTitle(), QStringLiteral("Opening hours"), 30000);
        QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("1"));
        browser->close();
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestBrowserAsRoot test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_browserasroot.moc"
