#include "component/dialogservice.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using namespace tovradocs::Internal;

namespace {

// A small modal form as the windows build them: a named field and OK/Cancel.
class NameDialog : public QDialog
{
public:
    NameDialog()
    {
        setObjectName(QStringLiteral("NameDialog"));
        setWindowTitle(QStringLiteral("Book name"));
        m_name = new QLineEdit(this);
        m_name->setObjectName(QStringLiteral("txtName"));
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_name);
        layout->addWidget(buttons);
    }
    QString name() const { return m_name->text(); }
    int shownCount = 0;

protected:
    void showEvent(QShowEvent *event) override
    {
        ++shownCount;
        QDialog::showEvent(event);
    }

private:
    QLineEdit *m_name;
};

} // namespace

class tst_DialogService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersInOrderAndRecordsPrompts()
    {
        ScriptedResponder responder;
        ResponderGuard guard(&responder);
        responder.pushAnswer(Answer::Yes);
        responder.pushAnswer(Answer::No);
        responder.pushText(QStringLiteral("Smile gallery"));
        responder.pushText(QStringLiteral("/tmp/out"));
        responder.pushFont(QFont(QStringLiteral("Liberation Serif"), 14));
        responder.pushColor(QColor(Qt::blue));

        QCOMPARE(DialogService::message(nullptr, QStringLiteral("Delete the entry?"), QStringLiteral("Library"),
                                        Buttons::YesNo, Severity::Question),
                 Answer::Yes);
        QCOMPARE(DialogService::message(nullptr, QStringLiteral("Delete the book?")), Answer::No);
        QCOMPARE(DialogService::input(nullptr, QStringLiteral("Name:"), QStringLiteral("New book"),
                                      QStringLiteral("Book 1")),
                 std::optional<QString>(QStringLiteral("Smile gallery")));
        QCOMPARE(DialogService::folder(nullptr, QStringLiteral("Export to")), QStringLiteral("/tmp/out"));
        QCOMPARE(DialogService::font(nullptr, QFont())->pointSize(), 14);
        QCOMPARE(*DialogService::color(nullptr, Qt::red), QColor(Qt::blue));

        const QList<Prompt> prompts = responder.prompts();
        QCOMPARE(prompts.size(), 6);
        QCOMPARE(prompts[0].text, QStringLiteral("Delete the entry?"));
        QCOMPARE(prompts[0].title, QStringLiteral("Library"));
        QCOMPARE(prompts[2].initial, QStringLiteral("Book 1"));
        QCOMPARE(prompts[5].kind, Prompt::Color);
        QCOMPARE(responder.unexpected(), 0);
    }

    void unexpectedPromptsAreCancelled()
    {
        ScriptedResponder responder;
        auto guard = std::make_unique<ResponderGuard>(&responder);
        QCOMPARE(DialogService::responder(), &responder);
        QCOMPARE(DialogService::message(nullptr, QStringLiteral("?"), QString(), Buttons::OkCancel),
                 Answer::Cancel);
        QCOMPARE(DialogService::input(nullptr, QStringLiteral("Name:"), QString()), std::nullopt);
        QVERIFY(DialogService::openFile(nullptr, QStringLiteral("Open"), QString()).isEmpty());
        QVERIFY(!DialogService::font(nullptr, QFont()));
        QCOMPARE(responder.unexpected(), 4);
        QCOMPARE(responder.prompts().size(), 4);
        // A cancelled input is different from an empty one.
        responder.pushText(QString());
        QCOMPARE(DialogService::input(nullptr, QStringLiteral("Name:"), QString()),
                 std::optional<QString>(QString()));

        // A modal window without a script is rejected too.
        NameDialog dialog;
        QCOMPARE(DialogService::showModal(&dialog), int(QDialog::Rejected));
        QCOMPARE(responder.unexpected(), 5);
        QCOMPARE(DialogService::showModal(nullptr), int(QDialog::Rejected));

        // Its guard gone, the real dialogs are back.
        guard.reset();
        QCOMPARE(DialogService::responder(), nullptr);
    }

    // A short prompt must not leave the title bar too narrow for its title.
    void inputBoxIsWideEnoughForItsTitle()
    {
        const auto dialog = DialogService::inputDialog(nullptr, QStringLiteral("Your Book Name here"),
                                                       QStringLiteral("Enter Book Name"), QString());
        dialog->show();
        QFont bold = dialog->font();
        bold.setBold(true);
        QVERIFY(dialog->width() >= QFontMetrics(bold).horizontalAdvance(dialog->windowTitle()) + 150);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Enter Book Name"));
        QCOMPARE(dialog->labelText(), QStringLiteral("Your Book Name here"));
    }

    void modalScriptDrivesTheDialog()
    {
        ScriptedResponder responder;
        ResponderGuard guard(&responder);
        bool visibleDuringScript = false;
        responder.pushModal([&](QDialog *dialog) {
            visibleDuringScript = dialog->isVisible();
            QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("txtName")),
                             QStringLiteral("Orthodontics"));
            dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
            return dialog->result();
        });

        NameDialog dialog;
        // No nested loop: the call returns as soon as the script has run.
        QCOMPARE(DialogService::showModal(&dialog), int(QDialog::Accepted));
        QVERIFY(visibleDuringScript);
        QCOMPARE(dialog.shownCount, 1);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.name(), QStringLiteral("Orthodontics"));
        QCOMPARE(responder.prompts().size(), 1);
        QCOMPARE(responder.prompts()[0].kind, Prompt::Modal);
        QCOMPARE(responder.prompts()[0].text, QStringLiteral("NameDialog"));
    }
};

QTEST_MAIN(tst_DialogService)
#include "tst_dialogservice.moc"
