// The program's front desk and its Options window, used from the keyboard.
#include "app/frontdesk.h"
#include "app/optionswindow.h"

#include "component/dialogservice.h"
#include "support/testhost.h"

#include <tovradocs/mediamanager.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tovradocs;
using namespace tovradocs::Internal;
using namespace tovradocs::Testing;

namespace {

// The Alt+letter keys a window offers, each with the captions that claim it,
// and the labels whose "&" has no control to go to (it would show as a
// literal ampersand). Menus count by their titles only; their items take
// plain letters once open.
struct AccessKeys
{
    QMap<QString, QStringList> owners;
    QStringList labelsWithoutBuddy;

    QStringList clashes() const
    {
        QStringList found;
        for (auto it = owners.cbegin(); it != owners.cend(); ++it)
            if (it.value().size() > 1)
                found << it.key() + QStringLiteral(": ") + it.value().join(QStringLiteral(" / "));
        return found;
    }
};

AccessKeys accessKeys(const QWidget *window)
{
    AccessKeys keys;
    auto claim = [&keys](const QString &caption) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (!key.isEmpty())
            keys.owners[key.toString()].append(caption);
    };
    for (const QMenuBar *bar : window->findChildren<QMenuBar *>())
        for (const QAction *menu : bar->actions())
            claim(menu->text());
    for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
        if (button->window() == window)
            claim(button->text());
    for (const QGroupBox *box : window->findChildren<QGroupBox *>())
        if (box->isCheckable())
            claim(box->title());
    for (const QLabel *label : window->findChildren<QLabel *>()) {
        if (label->window() != window || QKeySequence::mnemonic(label->text()).isEmpty())
            continue;
        if (label->buddy())
            claim(label->text());
        else
            keys.labelsWithoutBuddy << label->text();
    }
    return keys;
}

} // namespace

class TestFrontDesk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void accessKeysAreUnique();
    void altFOpensTheFileMenu();
    void optionsCaptionsAreAccessKeys();
    void footSwitchWindowFromTheToolsMenu();

private:
    QTemporaryDir m_dir;
    std::shared_ptr<ReferenceHost> m_host;
    std::unique_ptr<ScriptedResponder> m_responder;
    std::unique_ptr<MediaManager> m_manager;
    std::unique_ptr<FrontDesk> m_desk;
};

void TestFrontDesk::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_host = openTestHost(m_dir.path());
    QVERIFY(m_host);
}

void TestFrontDesk::init()
{
    m_responder = std::make_unique<ScriptedResponder>();
    DialogService::setResponder(m_responder.get());
    m_manager = std::make_unique<MediaManager>();
    m_desk = std::make_unique<FrontDesk>(m_host, *m_manager, QStringLiteral("test"));
    m_manager->SetDataLink(m_host, m_desk.get());
    m_desk->show();
    QApplication::setActiveWindow(m_desk.get());
    QVERIFY(QTest::qWaitForWindowActive(m_desk.get()));
}

void TestFrontDesk::cleanup()
{
    m_desk.reset();
    m_manager.reset();
    DialogService::setResponder(nullptr);
    m_responder.reset();
}

void TestFrontDesk::accessKeysAreUnique()
{
    const AccessKeys keys = accessKeys(m_desk.get());
    QVERIFY2(keys.clashes().isEmpty(), qPrintable(keys.clashes().join(u"; ")));
    QVERIFY2(keys.labelsWithoutBuddy.isEmpty(), qPrintable(keys.labelsWithoutBuddy.join(u"; ")));
    // Inside each menu its items' keys are unique too.
    for (const QAction *title : m_desk->menuBar()->actions()) {
        QMap<QString, QStringList> items;
        for (const QAction *item : title->menu()->actions())
            if (!item->isSeparator())
                items[QKeySequence::mnemonic(item->text()).toString()].append(item->text());
        items.remove(QString());
        for (auto it = items.cbegin(); it != items.cend(); ++it)
            QVERIFY2(it.value().size() == 1, qPrintable(title->text() + u": " + it.value().join(u" / ")));
    }
    // The keys the desk is used by every day.
    for (const char *key : {"Alt+F", "Alt+T", "Alt+L", "Alt+D", "Alt+P"})
        QVERIFY2(keys.owners.contains(QLatin1String(key)), key);
}

void TestFrontDesk::altFOpensTheFileMenu()
{
    auto *search = child<QLineEdit>(m_desk, "txtSearch");
    QMenu *fileMenu = m_desk->menuBar()->actions().constFirst()->menu();
    QCOMPARE(fileMenu->title(), QStringLiteral("&File"));

    QTest::keyClick(m_desk.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(fileMenu->isVisible());
    QTest::keyClick(fileMenu, Qt::Key_Escape);
    QTRY_VERIFY(!fileMenu->isVisible());

    // The find box has a key of its own.
    QTest::keyClick(m_desk.get(), Qt::Key_N, Qt::AltModifier);
    QTRY_VERIFY(search->hasFocus());
}

void TestFrontDesk::optionsCaptionsAreAccessKeys()
{
    AccessKeys keys;
    bool altEReachesTheEditor = false;
    m_responder->pushModal([&](QDialog *dialog) {
        keys = accessKeys(dialog);
        dialog->show();
        // The offscreen platform does not activate a window by itself.
        QApplication::setActiveWindow(dialog);
        if (QTest::qWaitForWindowActive(dialog)) {
            child<QWidget>(dialog, "spnThumbHeight")->setFocus();
            QTest::keyClick(dialog, Qt::Key_E, Qt::AltModifier);
            altEReachesTheEditor = child<QLineEdit>(dialog, "txtExternalEditor")->hasFocus();
        }
        return int(QDialog::Rejected);
    });
    m_desk->findChild<QAction *>(QStringLiteral("mnuOptions"))->trigger();
    QCOMPARE(m_responder->unexpected(), 0);
    QVERIFY2(keys.labelsWithoutBuddy.isEmpty(), qPrintable(keys.labelsWithoutBuddy.join(u"; ")));
    QVERIFY2(keys.clashes().isEmpty(), qPrintable(keys.clashes().join(u"; ")));
    QVERIFY(keys.owners.value(QStringLiteral("Alt+E")).contains(QStringLiteral("External image &editor:")));
    QVERIFY(altEReachesTheEditor);
}

void TestFrontDesk::footSwitchWindowFromTheToolsMenu()
{
    QString title;
    m_responder->pushModal([&](QDialog *dialog) {
        title = dialog->windowTitle() + u' ' + child<QLabel>(dialog, "lblMessage")->text();
        return int(QDialog::Rejected);
    });
    QMenu *tools = m_desk->menuBar()->actions().at(1)->menu();
    const auto items = tools->actions();
    const auto test = std::find_if(items.cbegin(), items.cend(), [](const QAction *a) {
        return a->text() == QLatin1String("Test the &foot switch...");
    });
    QVERIFY(test != items.cend());
    (*test)->trigger();
    QCOMPARE(title, QStringLiteral("Test Joystick Click a button"));
}

QTEST_MAIN(TestFrontDesk)
#include "tst_frontdesk.moc"
