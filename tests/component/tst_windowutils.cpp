#include "component/dialogservice.h"
#include "component/hostlink.h"
#include "component/windowutils.h"
#include "support/nulldatalink.h"
#include "support/recordingdatalink.h"
#include "support/testhost.h"

#include <tovradocs/recordset.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace tovradocs;
using namespace tovradocs::Internal;

namespace {

class KeyHost : public Testing::NullDataLink
{
public:
    QStringList calls;
    bool failMessages = false;

    void PassMessage(const QString &text, qint32 style, const QString &, qint32) override
    {
        if (failMessages)
            throw HostError(91, QStringLiteral("no message window"));
        calls << QStringLiteral("PassMessage %1 %2").arg(text).arg(style);
    }
    void ShowHelp(const QString &topic) override { calls << QStringLiteral("ShowHelp ") + topic; }
    void SpeakControlText(QWidget *control) override
    {
        if (failMessages)
            throw HostError(91, QStringLiteral("no speech"));
        calls << QStringLiteral("Speak ") + control->objectName();
    }
};

template<typename Base>
class IdentifiedWindow : public Base, public HelpIdentified
{
public:
    explicit IdentifiedWindow(qint32 id, QWidget *parent = nullptr) : Base(parent), m_id(id)
    {
        KeyHandler::install(this);
    }
    qint32 GetWindowID() const override { return m_id; }

private:
    qint32 m_id;
};

// Controls in focus order, as a window lays them out.
struct Form
{
    IdentifiedWindow<QWidget> window{130};
    QVBoxLayout *layout = new QVBoxLayout(&window);
    QLineEdit *first = add<QLineEdit>("txtFirst");
    QSpinBox *count = add<QSpinBox>("txtCount");
    QLineEdit *second = add<QLineEdit>("txtSecond");
    QPlainTextEdit *notes = add<QPlainTextEdit>("txtNotes");
    QPushButton *button = add<QPushButton>("cmdSave");

    Form() { first->setToolTip(QStringLiteral("Patient's first name")); }

    template<typename T>
    T *add(const char *name)
    {
        auto *control = new T(&window);
        control->setObjectName(QLatin1String(name));
        layout->addWidget(control);
        return control;
    }

    bool showAndFocus(QWidget *control)
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        control->setFocus();
        return QApplication::focusWidget() == control;
    }
};

} // namespace

class tst_WindowUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_keys = std::make_shared<KeyHost>();
        setHostLink(m_keys, nullptr);
    }

    void cleanup()
    {
        clearHostLink();
        m_host.reset();
        m_dir.reset();
    }

    void f1OpensTheWindowsHelpTopic()
    {
        Form form;
        QVERIFY(form.showAndFocus(form.first));
        QTest::keyClick(form.first, Qt::Key_F1);
        QCOMPARE(m_keys->calls, QStringList{QStringLiteral("ShowHelp W130.htm")});

        // A window that has no number lets F1 through.
        QWidget plain;
        auto *edit = new QLineEdit(&plain);
        KeyHandler::install(&plain);
        QTest::keyClick(edit, Qt::Key_F1);
        QCOMPARE(m_keys->calls.size(), 1);

        // A dialog of the window uses its own number.
        IdentifiedWindow<QDialog> dialog(305, &form.window);
        auto *field = new QLineEdit(&dialog);
        dialog.show();
        QTest::keyClick(field, Qt::Key_F1);
        QCOMPARE(m_keys->calls.value(1), QStringLiteral("ShowHelp W305.htm"));
    }

    void enterMovesFocusOn_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("key");

        QTest::newRow("text box, Return") << "txtFirst" << "txtCount" << int(Qt::Key_Return);
        QTest::newRow("text box, keypad Enter") << "txtSecond" << "txtNotes" << int(Qt::Key_Enter);
        QTest::newRow("spin box") << "txtCount" << "txtSecond" << int(Qt::Key_Return);
        QTest::newRow("multi-line text keeps Enter") << "txtNotes" << "txtNotes" << int(Qt::Key_Return);
        QTest::newRow("button moves on, never presses the default") << "cmdSave" << "txtFirst" << int(Qt::Key_Return);
    }

    void enterMovesFocusOn()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, key);

        Form form;
        auto *start = form.window.findChild<QWidget *>(from);
        QVERIFY(form.showAndFocus(start));
        QTest::keyClick(start, Qt::Key(key));
        QCOMPARE(QApplication::focusWidget()->objectName(), to);
        // Moving on never types into the control it leaves.
        if (auto *edit = qobject_cast<QLineEdit *>(start))
            QVERIFY(edit->text().isEmpty());
        if (from == to)
            QCOMPARE(form.notes->toPlainText(), QStringLiteral("\n"));
    }

    void ctrlPAndCtrlQ()
    {
        Form form;
        QVERIFY(form.showAndFocus(form.first));
        QTest::keyClick(form.first, Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(form.first, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(m_keys->calls, (QStringList{QStringLiteral("PassMessage Patient's first name 0"),
                                             QStringLiteral("Speak txtFirst")}));
        QVERIFY(form.first->text().isEmpty());

        // Plain P and Q are typed as usual.
        QTest::keyClicks(form.first, QStringLiteral("pq"));
        QCOMPARE(form.first->text(), QStringLiteral("pq"));
        QCOMPARE(m_keys->calls.size(), 2);

        // A host that throws is ignored.
        m_keys->failMessages = true;
        QTest::keyClick(form.first, Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(form.first, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(m_keys->calls.size(), 2);
        QCOMPARE(form.first->text(), QStringLiteral("pq"));
    }

    void fillComboTwiceLeavesSecondSet()
    {
        QVERIFY(openHost());
        QComboBox combo;
        combo.setProperty("tag", QStringLiteral("keep"));
        QStringList tagsSeen;
        connect(&combo, &QComboBox::currentIndexChanged, &combo,
                [&] { tagsSeen << combo.property("tag").toString(); });

        QCOMPARE(fillComboFromTable(&combo, QStringLiteral("DocumentCategories"),
                                    QStringLiteral(" Description "), QStringLiteral("Entry_Code"),
                                    QString(), false),
                 3);
        QCOMPARE(fillComboFromTable(&combo, QStringLiteral("DocumentCategories"),
                                    QStringLiteral("Description"), QStringLiteral("Entry_Code"),
                                    QStringLiteral("Entry_Code > 10"), false),
                 2);

        QCOMPARE(combo.count(), 2);
        QCOMPARE(combo.itemText(0), QStringLiteral("Letters"));
        QCOMPARE(combo.itemData(0).toInt(), 11);
        QCOMPARE(combo.itemText(1), QString()); // a null description reads as empty
        QCOMPARE(combo.itemData(1).toInt(), 12);
        QVERIFY(!tagsSeen.isEmpty());
        for (const QString &tag : tagsSeen)
            QCOMPARE(tag, QStringLiteral("P"));
        QCOMPARE(combo.property("tag").toString(), QStringLiteral("keep"));

        // From the library database; no rows leaves the combo empty.
        fillComboFromTable(&combo, QStringLiteral("SystemLists"), QStringLiteral("Description"),
                           QStringLiteral("Entry_Code"), QStringLiteral(" ParentID = 71 "), true);
        QCOMPARE(combo.count(), 2);
        fillComboFromTable(&combo, QStringLiteral("SystemLists"), QStringLiteral("Description"),
                           QStringLiteral("Entry_Code"), QStringLiteral("ParentID = 999"), true);
        QCOMPARE(combo.count(), 0);
    }

    void selectByItemData()
    {
        QComboBox combo;
        combo.addItem(QStringLiteral("Before"), QVariant(qlonglong(1)));
        combo.addItem(QStringLiteral("After"), QVariant(qlonglong(2)));
        combo.addItem(QStringLiteral("Again after"), QVariant(qlonglong(2)));
        QStringList tagsSeen;
        connect(&combo, &QComboBox::currentIndexChanged, &combo,
                [&] { tagsSeen << combo.property("tag").toString(); });

        QVERIFY(selectComboByItemData(&combo, 2, true));
        QCOMPARE(combo.currentIndex(), 1);
        QCOMPARE(tagsSeen, QStringList{QStringLiteral("P")});
        QCOMPARE(combo.property("tag").toString(), QString());

        QVERIFY(selectComboByItemData(&combo, QStringLiteral("1"), false));
        QCOMPARE(combo.currentIndex(), 0);
        QCOMPARE(tagsSeen.last(), QString());

        QVERIFY(!selectComboByItemData(&combo, 7, true));
        QCOMPARE(combo.currentIndex(), 0);
    }

    void fillListAndCloseSafely()
    {
        QVERIFY(openHost());
        const ValueList list = Internal::fillListFromSql(
            QStringLiteral("Select SubID, Description from SystemLists where ParentID = 71 order by SubID"),
            QStringLiteral("Description"), QStringLiteral("SubID"), true);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].first, QStringLiteral("Before treatment"));
        QCOMPARE(list[0].second.toInt(), 1);
        QCOMPARE(list[1].first, QStringLiteral("After treatment"));

        // Closing drops a row that was never updated.
        std::unique_ptr<Recordset> rs;
        m_host->FillRecordSet(rs, QStringLiteral("Select * from DocumentCategories where Entry_Code = -1"));
        QVERIFY(rs);
        rs->addNew();
        rs->setValue(QStringLiteral("Entry_Code"), 50);
        closeRecordsetSafely(rs);
        QVERIFY(!rs);
        closeRecordsetSafely(rs); // nothing left to close
        QCOMPARE(Testing::scalar(*m_host, QStringLiteral("Select Count(*) From DocumentCategories")), 3);
    }

    void bytesToText()
    {
        QCOMPARE(Internal::bytesToText(QByteArray("C:\\Temp\0garbage", 15)), QStringLiteral("C:\\Temp"));
        QCOMPARE(Internal::bytesToText(QByteArray("abc")), QStringLiteral("abc"));
        QCOMPARE(Internal::bytesToText(QByteArray("\0abc", 4)), QString());
    }

    void twipsRoundHalfAwayFromZero()
    {
        const QList<std::pair<int, int>> cases = {{1440, 96}, {7, 0}, {8, 1}, {-7, 0}, {-8, -1}};
        for (const auto &[twips, pixels] : cases) {
            QCOMPARE(twipsToPixels(twips), pixels);
            QCOMPARE(twipsToPixels(pixelsToTwips(pixels)), pixels);
            QCOMPARE(twipsToPixels(QRect(twips, 0, 1440, twips)), QRect(pixels, 0, 96, pixels));
        }
    }

private:
    bool openHost()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        auto host = Testing::openTestHost(m_dir->path());
        if (!host)
            return false;
        m_host = std::make_shared<Testing::RecordingDataLink>(host);
        setHostLink(m_host, nullptr);
        const QStringList rows = {
            "Insert into SystemLists (Entry_Code, SubID, Description, ParentID) values (1, 1, 'Before treatment', 71)",
            "Insert into SystemLists (Entry_Code, SubID, Description, ParentID) values (2, 2, 'After treatment', 71)",
            "Insert into SystemLists (Entry_Code, SubID, Description, ParentID) values (3, 3, 'Unrelated', 12)",
            "Insert into DocumentCategories (Entry_Code, Description) values (10, 'Radiographs')",
            "Insert into DocumentCategories (Entry_Code, Description) values (11, 'Letters')",
            "Insert into DocumentCategories (Entry_Code, Description) values (12, NULL)",
        };
        for (const QString &sql : rows)
            m_host->ExecuteStmt(false, sql);
        m_host->clear();
        return true;
    }

    std::shared_ptr<KeyHost> m_keys;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<Testing::RecordingDataLink> m_host;
};

QTEST_MAIN(tst_WindowUtils)
#include "tst_windowutils.moc"
